#pragma once
// What the effect object hands to the other rooms: the parameter list and its commands, the render
// entry, and the option dialog.
#include "sdk/AE_Effect.h"

class BaseFilter;
struct RenderParams;

// Parameters: the list of definitions, registration, UI updates, sequence data.
void BuildParamList(PF_InData* in_data);
void DestroyParamList() noexcept;
PF_Err ParamsSetup(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output);
PF_Err UpdateParamsUI(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output);
PF_Err SequenceSetup(PF_InData* in_data, PF_OutData* out_data);
PF_Err SequenceSetdown(PF_InData* in_data, PF_OutData* out_data);
PF_Err SequenceFlatten(PF_InData* in_data, PF_OutData* out_data);
PF_Err SequenceResetup(PF_InData* in_data, PF_OutData* out_data);

// Render entry: the three render commands, each ending in the filter's RenderByDepth.
PF_Err RenderClassic(BaseFilter& filter, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                     PF_LayerDef* output);
PF_Err RenderSmartPre(PF_InData* in_data, PF_OutData* out_data, PF_PreRenderExtra* extra,
                      bool preserveRgbOfZeroAlpha);
PF_Err RenderSmart(BaseFilter& filter, PF_InData* in_data, PF_OutData* out_data, PF_SmartRenderExtra* extra);
// The per-depth render drivers.
PF_Err RenderDrivers(RenderParams* record);

// The option dialog of PF_Cmd_DO_DIALOG.
PF_Err DoOptionDialog(PF_InData* in_data, PF_ParamDef* params[]);
