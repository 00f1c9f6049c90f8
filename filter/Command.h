#pragma once
// One typed command per command code of the host's effect protocol, holding the arguments its handler
// takes. The entry point decodes the host's call into a command and runs it; the handlers live in the
// rooms that own them and are declared in each room's command header.
#include <variant>

#include "sdk/AE_Effect.h"

namespace command {

struct About {
    PF_InData* in_data;
    PF_OutData* out_data;
};
struct GlobalSetup {
    PF_OutData* out_data;
};
// The work of the set-down is the entry point's teardown.
struct GlobalSetdown {};
struct ParamsSetup {
    PF_InData* in_data;
    PF_OutData* out_data;
};
struct SequenceSetup {
    PF_InData* in_data;
    PF_OutData* out_data;
};
struct SequenceResetup {
    PF_InData* in_data;
    PF_OutData* out_data;
};
struct SequenceFlatten {
    PF_InData* in_data;
    PF_OutData* out_data;
};
struct SequenceSetdown {
    PF_InData* in_data;
    PF_OutData* out_data;
};
struct DoDialog {
    PF_InData* in_data;
    PF_OutData* out_data;
    PF_ParamDef** params;
};
struct Render {
    PF_InData* in_data;
    PF_OutData* out_data;
    PF_ParamDef** params;
    PF_LayerDef* output;
};
struct UpdateParamsUI {
    PF_InData* in_data;
    PF_OutData* out_data;
    PF_ParamDef** params;
};
struct QueryDynamicFlags {
    PF_InData* in_data;
};
struct SmartPreRender {
    PF_InData* in_data;
    PF_OutData* out_data;
    PF_PreRenderExtra* extra;
};
struct SmartRender {
    PF_InData* in_data;
    PF_OutData* out_data;
    PF_SmartRenderExtra* extra;
};
// Every other code: a changed parameter, events, arbitrary data, frame setup and set-down, external
// dependencies, the completely general and audio commands, and codes this protocol version lacks.
struct Ignored {
    PF_Cmd cmd;
};

} // namespace command

using Command =
    std::variant<command::About, command::GlobalSetup, command::GlobalSetdown, command::ParamsSetup,
                 command::SequenceSetup, command::SequenceResetup, command::SequenceFlatten,
                 command::SequenceSetdown, command::DoDialog, command::Render, command::UpdateParamsUI,
                 command::QueryDynamicFlags, command::SmartPreRender, command::SmartRender, command::Ignored>;

// The command of the host's call.
Command DecodeCommand(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                      PF_LayerDef* output, void* extra) noexcept;

// Runs the command's handler and returns its result. The option dialog's outcome is the user's business:
// the host always hears success. Ignored commands succeed without doing anything.
PF_Err RunCommand(const Command& command);
