#pragma once
// What the effect declares about itself. The global setup answers with these values, and the PiPL resource
// carries the same ones (resources/CMakeLists.txt reads them from this file), as the host requires: keep
// each of the first block on a line of its own, as `constexpr <type> k<Name> = <string or number>;`.
#include "sdk/AE_Effect.h"

namespace effect_info {

constexpr const char* kName = "Tovrin";
constexpr const char* kCategory = "Ostrel";
constexpr const char* kMatchName = "OSTREL TOVRIN";
constexpr const char* kEntryPoint = "EntryPointFunc";
constexpr A_u_long kVersion = 0x00081602;
constexpr A_u_long kOutFlags = 0x06000470;
constexpr A_u_long kOutFlags2 = 0x00001498;

// What those numbers are made of.
constexpr A_u_long kMajor = 1;
constexpr A_u_long kMinor = 0;
constexpr A_u_long kFixLevel = 2;
constexpr A_u_long kStage = PF_Stage_RELEASE;
constexpr A_u_long kBuild = 2;
constexpr const char* kStageWord = "Release";
static_assert(kVersion == PF_VERSION(kMajor, kMinor, kFixLevel, kStage, kBuild));

static_assert(kOutFlags == (PF_OutFlag_SEQUENCE_DATA_NEEDS_FLATTENING | PF_OutFlag_I_DO_DIALOG |
                            PF_OutFlag_USE_OUTPUT_EXTENT | PF_OutFlag_PIX_INDEPENDENT |
                            PF_OutFlag_DEEP_COLOR_AWARE | PF_OutFlag_SEND_UPDATE_PARAMS_UI));
static_assert(kOutFlags2 == (PF_OutFlag2_PARAM_GROUP_START_COLLAPSED_FLAG | PF_OutFlag2_I_AM_THREADSAFE |
                             PF_OutFlag2_REVEALS_ZERO_ALPHA | PF_OutFlag2_SUPPORTS_SMART_RENDER |
                             PF_OutFlag2_FLOAT_COLOR_AWARE));

} // namespace effect_info
