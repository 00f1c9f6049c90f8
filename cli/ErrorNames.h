#pragma once
// Names of the host error codes, for messages.
#include <string>

#include "sdk/AE_Effect.h"

namespace cli {

// "PF_Err_OUT_OF_MEMORY" and so on; null for a code the protocol does not name.
const char* PfErrName(PF_Err err);
// "PF_Err_OUT_OF_MEMORY (4)", or "unnamed PF_Err 1234".
std::string DescribePfErr(PF_Err err);

} // namespace cli
