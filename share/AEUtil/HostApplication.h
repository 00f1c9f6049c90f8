#pragma once
// The host applications the effect tells apart by the input record's appl_id.
#include "sdk/AE_Effect.h"

namespace AEUtil {

constexpr A_long kAfterEffects = 0x46585443; // 'FXTC'
constexpr A_long kPremiere = 0x50724D72;     // 'PrMr'

} // namespace AEUtil
