#include "filter/Command.h"

#include "filter/GlobalSetup.h"
#include "optiondlg/OptionDialogCommand.h"
#include "params/ParamsCommands.h"
#include "render/RenderCommands.h"

Command DecodeCommand(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                      PF_LayerDef* output, void* extra) noexcept {
    switch (cmd) {
    case PF_Cmd_ABOUT:
        return command::About{in_data, out_data};
    case PF_Cmd_GLOBAL_SETUP:
        return command::GlobalSetup{out_data};
    case PF_Cmd_GLOBAL_SETDOWN:
        return command::GlobalSetdown{};
    case PF_Cmd_PARAMS_SETUP:
        return command::ParamsSetup{in_data, out_data};
    case PF_Cmd_SEQUENCE_SETUP:
        return command::SequenceSetup{in_data, out_data};
    case PF_Cmd_SEQUENCE_RESETUP:
        return command::SequenceResetup{in_data, out_data};
    case PF_Cmd_SEQUENCE_FLATTEN:
        return command::SequenceFlatten{in_data, out_data};
    case PF_Cmd_SEQUENCE_SETDOWN:
        return command::SequenceSetdown{in_data, out_data};
    case PF_Cmd_DO_DIALOG:
        return command::DoDialog{in_data, out_data, params};
    case PF_Cmd_RENDER:
        return command::Render{in_data, out_data, params, output};
    case PF_Cmd_UPDATE_PARAMS_UI:
        return command::UpdateParamsUI{in_data, out_data, params};
    case PF_Cmd_QUERY_DYNAMIC_FLAGS:
        return command::QueryDynamicFlags{in_data};
    case PF_Cmd_SMART_PRE_RENDER:
        return command::SmartPreRender{in_data, out_data, static_cast<PF_PreRenderExtra*>(extra)};
    case PF_Cmd_SMART_RENDER:
        return command::SmartRender{in_data, out_data, static_cast<PF_SmartRenderExtra*>(extra)};
    default:
        return command::Ignored{cmd};
    }
}

namespace {

PF_Err Run(const command::About& c) {
    return About(c.in_data, c.out_data);
}
PF_Err Run(const command::GlobalSetup& c) {
    return GlobalSetup(c.out_data);
}
PF_Err Run(const command::GlobalSetdown&) {
    return PF_Err_NONE;
}
PF_Err Run(const command::ParamsSetup& c) {
    return ParamsSetup(c.in_data, c.out_data);
}
PF_Err Run(const command::SequenceSetup& c) {
    return SequenceSetup(c.in_data, c.out_data);
}
PF_Err Run(const command::SequenceResetup& c) {
    return SequenceResetup(c.in_data, c.out_data);
}
PF_Err Run(const command::SequenceFlatten& c) {
    return SequenceFlatten(c.in_data, c.out_data);
}
PF_Err Run(const command::SequenceSetdown& c) {
    return SequenceSetdown(c.in_data, c.out_data);
}
PF_Err Run(const command::DoDialog& c) {
    (void)DoOptionDialog(c.in_data, c.out_data, c.params);
    return PF_Err_NONE;
}
PF_Err Run(const command::Render& c) {
    return RenderClassic(c.in_data, c.out_data, c.params, c.output);
}
PF_Err Run(const command::UpdateParamsUI& c) {
    return UpdateParamsUI(c.in_data, c.out_data, c.params);
}
PF_Err Run(const command::QueryDynamicFlags& c) {
    return QueryDynamicFlags(c.in_data);
}
PF_Err Run(const command::SmartPreRender& c) {
    return RenderSmartPre(c.in_data, c.out_data, c.extra);
}
PF_Err Run(const command::SmartRender& c) {
    return RenderSmart(c.in_data, c.out_data, c.extra);
}
PF_Err Run(const command::Ignored&) {
    return PF_Err_NONE;
}

} // namespace

PF_Err RunCommand(const Command& command) {
    return std::visit([](const auto& c) { return Run(c); }, command);
}
