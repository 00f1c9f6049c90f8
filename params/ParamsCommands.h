#pragma once
// The parameter room's commands, as the dispatcher calls them, and its part in the effect's lifecycle.
#include "sdk/AE_Effect.h"

// First-call setup: how this host registers the controls (disabled on a render engine, which asks the
// host's App suite), and no control registered yet. Raises the suite failure when the suite is missing.
void BeginParamsLifecycle(PF_InData* in_data);
// Teardown.
void EndParamsLifecycle() noexcept;

// PF_Cmd_PARAMS_SETUP: registers every control in host order, each starting from its stored default when
// the host reads them and the file has one, else from its built-in default; stops at the first refusal.
PF_Err ParamsSetup(PF_InData* in_data, PF_OutData* out_data);

// PF_Cmd_UPDATE_PARAMS_UI: greys out the controls that have no effect under the current settings.
PF_Err UpdateParamsUI(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[]);

// The sequence commands: the per-instance record (SequenceData.h) and its flat form.
PF_Err SequenceSetup(PF_InData* in_data, PF_OutData* out_data);
PF_Err SequenceSetdown(PF_InData* in_data, PF_OutData* out_data);
PF_Err SequenceFlatten(PF_InData* in_data, PF_OutData* out_data);
PF_Err SequenceResetup(PF_InData* in_data, PF_OutData* out_data);
