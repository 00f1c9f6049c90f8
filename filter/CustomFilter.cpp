#include "filter/CustomFilter.h"

#include "filter/RoomHandlers.h"
#include "share/AEUtil/SuiteHolder.h"

PF_Err CustomFilter::Dispatch(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                              PF_LayerDef* output, void* extra) {
    return Route(cmd, in_data, out_data, params, output, extra);
}

PF_Err CustomFilter::SmartPreRender(PF_InData* in_data, PF_OutData* out_data, PF_PreRenderExtra* extra) {
    // The blur must see the colour under fully transparent pixels.
    return RenderSmartPre(in_data, out_data, extra, true);
}

PF_Err CustomFilter::QueryDynamicFlags(PF_InData* in_data, PF_OutData*, PF_ParamDef*[], void*) {
    AEUtil::SuiteHolder local(in_data ? in_data->pica_basicP : nullptr);
    return PF_Err_NONE;
}

PF_Err CustomFilter::RenderByDepth(RenderParams* record) {
    return RenderDrivers(record);
}
