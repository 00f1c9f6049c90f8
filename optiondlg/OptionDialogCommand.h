#pragma once
// The option dialog's command, as the dispatcher calls it.
#include "sdk/AE_Effect.h"

// PF_Cmd_DO_DIALOG: shows the option dialog; its store button writes the current values of the
// command's parameter array as the stored defaults, its restore button deletes the stored-defaults file. A
// store or restore that did not happen leaves its reason in `out_data->return_msg` with
// PF_OutFlag_DISPLAY_ERROR_MESSAGE, for the host to show. Returns 516 when the host offers no platform data,
// else 0 whatever the user chose.
PF_Err DoOptionDialog(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[]);
