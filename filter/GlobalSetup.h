#pragma once
// What the effect declares about itself at run time: the global setup's version and flags, the About
// text, and the answer to the dynamic-flags query.
#include "sdk/AE_Effect.h"

// PF_Cmd_GLOBAL_SETUP: the version and flags of EffectInfo.h; the runtime's locale follows the user's
// from here on (stored float defaults are parsed with it).
PF_Err GlobalSetup(PF_OutData* out_data);

// PF_Cmd_ABOUT: name, version and stage, the build too while Shift is held, then the notice line in the
// UI language, through the host's sprintf into return_msg.
PF_Err About(PF_InData* in_data, PF_OutData* out_data);

// PF_Cmd_QUERY_DYNAMIC_FLAGS: no flag changes. The host never sends it (the effect does not ask for it);
// a record without the host's basic suite is refused with the suite failure (516).
PF_Err QueryDynamicFlags(PF_InData* in_data);
