#pragma once
// Names of the protocol's error codes, for messages of whatever runs the host (the tool, the frei0r module).
#include <string>

#include "sdk/AE_Effect.h"

namespace host {

// "PF_Err_OUT_OF_MEMORY (4)", or "unnamed PF_Err 1234".
std::string DescribeError(PF_Err err);

} // namespace host
