#pragma once
// The effect's own filter: asks for the input with the colour of transparent pixels kept, and renders.
#include "filter/BaseFilter.h"

class CustomFilter : public BaseFilter {
public:
    PF_Err Dispatch(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                    PF_LayerDef* output, void* extra) override;
    PF_Err SmartPreRender(PF_InData* in_data, PF_OutData* out_data, PF_PreRenderExtra* extra) override;
    PF_Err QueryDynamicFlags(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                             void* extra) override;
    PF_Err RenderByDepth(RenderParams* record) override;
};
