#include "filter/BaseFilter.h"

#include "filter/RoomHandlers.h"

namespace {
// The one empty handler that the do-nothing defaults share.
PF_Err Nothing() {
    return PF_Err_NONE;
}
} // namespace

PF_Err BaseFilter::Dispatch(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                            PF_LayerDef* output, void* extra) {
    return Route(cmd, in_data, out_data, params, output, extra);
}

PF_Err BaseFilter::Route(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                         PF_LayerDef* output, void* extra) {
    switch (cmd) {
    case PF_Cmd_ABOUT:
        return About(in_data, out_data, params, output);
    case PF_Cmd_GLOBAL_SETUP:
        return GlobalSetup(in_data, out_data, params, output);
    case PF_Cmd_GLOBAL_SETDOWN:
        return GlobalSetdown(in_data, out_data, params, output);
    case PF_Cmd_PARAMS_SETUP:
        return ParamsSetup(in_data, out_data, params, output);
    case PF_Cmd_SEQUENCE_SETUP:
        return SequenceSetup(in_data, out_data);
    case PF_Cmd_SEQUENCE_RESETUP:
        return SequenceResetup(in_data, out_data);
    case PF_Cmd_SEQUENCE_FLATTEN:
        return SequenceFlatten(in_data, out_data);
    case PF_Cmd_SEQUENCE_SETDOWN:
        return SequenceSetdown(in_data, out_data);
    case PF_Cmd_DO_DIALOG:
        // The dialog's outcome is the user's business; the host always hears success.
        (void)DoOptionDialog(in_data, params);
        return PF_Err_NONE;
    case PF_Cmd_RENDER:
        return Render(in_data, out_data, params, output);
    case PF_Cmd_USER_CHANGED_PARAM:
        return UserChangedParam(in_data, out_data, params, output, extra);
    case PF_Cmd_UPDATE_PARAMS_UI:
        return UpdateParamsUI(in_data, out_data, params, output);
    case PF_Cmd_EVENT:
        return HandleEvent(in_data, out_data, params, output, extra);
    case PF_Cmd_QUERY_DYNAMIC_FLAGS:
        return QueryDynamicFlags(in_data, out_data, params, extra);
    case PF_Cmd_ARBITRARY_CALLBACK:
        return ArbitraryCallback(in_data, out_data, params, output, extra);
    case PF_Cmd_SMART_PRE_RENDER:
        return SmartPreRender(in_data, out_data, static_cast<PF_PreRenderExtra*>(extra));
    case PF_Cmd_SMART_RENDER:
        return SmartRender(in_data, out_data, static_cast<PF_SmartRenderExtra*>(extra));
    default:
        // 2, frame setup and setdown, external dependencies, completely general, the audio commands and
        // every code above 24 need nothing from this effect.
        return PF_Err_NONE;
    }
}

PF_Err BaseFilter::GlobalSetdown(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*) {
    return Nothing();
}

PF_Err BaseFilter::ParamsSetup(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                               PF_LayerDef* output) {
    return ::ParamsSetup(in_data, out_data, params, output);
}

PF_Err BaseFilter::UserChangedParam(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*, void*) {
    return Nothing();
}

PF_Err BaseFilter::UpdateParamsUI(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                                  PF_LayerDef* output) {
    return ::UpdateParamsUI(in_data, out_data, params, output);
}

PF_Err BaseFilter::Render(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                          PF_LayerDef* output) {
    return RenderClassic(*this, in_data, out_data, params, output);
}

PF_Err BaseFilter::SmartPreRender(PF_InData* in_data, PF_OutData* out_data, PF_PreRenderExtra* extra) {
    return RenderSmartPre(in_data, out_data, extra, false);
}

PF_Err BaseFilter::SmartRender(PF_InData* in_data, PF_OutData* out_data, PF_SmartRenderExtra* extra) {
    return RenderSmart(*this, in_data, out_data, extra);
}

PF_Err BaseFilter::SequenceSetup(PF_InData* in_data, PF_OutData* out_data) {
    return ::SequenceSetup(in_data, out_data);
}

PF_Err BaseFilter::SequenceSetdown(PF_InData* in_data, PF_OutData* out_data) {
    return ::SequenceSetdown(in_data, out_data);
}

PF_Err BaseFilter::SequenceFlatten(PF_InData* in_data, PF_OutData* out_data) {
    return ::SequenceFlatten(in_data, out_data);
}

PF_Err BaseFilter::SequenceResetup(PF_InData* in_data, PF_OutData* out_data) {
    return ::SequenceResetup(in_data, out_data);
}

PF_Err BaseFilter::QueryDynamicFlags(PF_InData*, PF_OutData*, PF_ParamDef*[], void*) {
    return Nothing();
}

PF_Err BaseFilter::HandleEvent(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*, void*) {
    return Nothing();
}

PF_Err BaseFilter::ArbitraryCallback(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*, void*) {
    return Nothing();
}

PF_Err BaseFilter::RenderByDepth(RenderParams*) {
    return PF_Err_INTERNAL_STRUCT_DAMAGED;
}
