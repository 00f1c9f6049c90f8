#pragma once
// What the effect declares about itself; the PiPL resource carries the same values.
#include "sdk/AE_Effect.h"

namespace effect_info {

constexpr A_u_long kMajor = 1, kMinor = 0, kFixLevel = 2, kStage = PF_Stage_RELEASE, kBuild = 2;
constexpr A_u_long kVersion = PF_VERSION(kMajor, kMinor, kFixLevel, kStage, kBuild);
static_assert(kVersion == 0x00081602);

constexpr A_u_long kOutFlags = PF_OutFlag_SEQUENCE_DATA_NEEDS_FLATTENING | PF_OutFlag_I_DO_DIALOG |
                               PF_OutFlag_USE_OUTPUT_EXTENT | PF_OutFlag_PIX_INDEPENDENT |
                               PF_OutFlag_DEEP_COLOR_AWARE | PF_OutFlag_SEND_UPDATE_PARAMS_UI;
static_assert(kOutFlags == 0x06000470);

constexpr A_u_long kOutFlags2 = PF_OutFlag2_PARAM_GROUP_START_COLLAPSED_FLAG | PF_OutFlag2_I_AM_THREADSAFE |
                                PF_OutFlag2_REVEALS_ZERO_ALPHA | PF_OutFlag2_SUPPORTS_SMART_RENDER |
                                PF_OutFlag2_FLOAT_COLOR_AWARE;
static_assert(kOutFlags2 == 0x00001498);

constexpr const char* kName = "Tovrin";
constexpr const char* kStageWord = "Release";

constexpr A_long kAfterEffects = 0x46585443; // 'FXTC'
constexpr A_long kPremiere = 0x50724D72;     // 'PrMr'

} // namespace effect_info
