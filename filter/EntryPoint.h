#pragma once
// The host's single entry, exported under this name (the PiPL names it): every command of the effect
// protocol arrives here, and a host error code always goes back, never an exception.
#include "sdk/AE_Effect.h"

extern "C" DllExport PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                           PF_ParamDef* params[], PF_LayerDef* output, void* extra);
