#pragma once
// The effect object: one virtual operation per host command, a dispatcher that routes a command code to
// its operation, and a default behaviour for each. The effect's own class overrides what it needs.
#include "sdk/AE_Effect.h"

struct RenderParams;

class BaseFilter {
public:
    virtual ~BaseFilter() = default;

    virtual PF_Err Dispatch(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                            PF_LayerDef* output, void* extra);
    virtual PF_Err About(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                         PF_LayerDef* output);
    virtual PF_Err GlobalSetup(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                               PF_LayerDef* output);
    virtual PF_Err GlobalSetdown(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                                 PF_LayerDef* output);
    virtual PF_Err ParamsSetup(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                               PF_LayerDef* output);
    virtual PF_Err UserChangedParam(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                                    PF_LayerDef* output, void* extra);
    virtual PF_Err UpdateParamsUI(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                                  PF_LayerDef* output);
    virtual PF_Err Render(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                          PF_LayerDef* output);
    virtual PF_Err SmartPreRender(PF_InData* in_data, PF_OutData* out_data, PF_PreRenderExtra* extra);
    virtual PF_Err SmartRender(PF_InData* in_data, PF_OutData* out_data, PF_SmartRenderExtra* extra);
    virtual PF_Err SequenceSetup(PF_InData* in_data, PF_OutData* out_data);
    virtual PF_Err SequenceSetdown(PF_InData* in_data, PF_OutData* out_data);
    virtual PF_Err SequenceFlatten(PF_InData* in_data, PF_OutData* out_data);
    virtual PF_Err SequenceResetup(PF_InData* in_data, PF_OutData* out_data);
    virtual PF_Err QueryDynamicFlags(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                                     void* extra);
    virtual PF_Err HandleEvent(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                               PF_LayerDef* output, void* extra);
    virtual PF_Err ArbitraryCallback(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                                     PF_LayerDef* output, void* extra);
    // A filter that does not override this cannot render.
    virtual PF_Err RenderByDepth(RenderParams* record);

protected:
    // The routing shared by BaseFilter::Dispatch and the overrides that keep it.
    PF_Err Route(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                 PF_LayerDef* output, void* extra);
};
