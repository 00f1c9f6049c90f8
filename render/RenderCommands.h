#pragma once
// The render room's commands, as the dispatcher calls them: the classic render and the SmartFX pair.
#include "sdk/AE_Effect.h"

// PF_Cmd_RENDER: reads the controls at the command's time, renders params[0] into `output` and checks
// the controls in again. Premiere gets a plain copy.
PF_Err RenderClassic(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output);

// PF_Cmd_SMART_PRE_RENDER: reads the controls into a record the host keeps for the render, and asks for the
// input with the colour of fully transparent pixels kept (the blur must see it).
PF_Err RenderSmartPre(PF_InData* in_data, PF_OutData* out_data, PF_PreRenderExtra* extra);

// PF_Cmd_SMART_RENDER: renders the checked-out input into the checked-out output with the record
// pre-render filled.
PF_Err RenderSmart(PF_InData* in_data, PF_OutData* out_data, PF_SmartRenderExtra* extra);
