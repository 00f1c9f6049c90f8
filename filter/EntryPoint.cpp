// The host's single entry: builds the effect's process-wide state on the first call, decodes every command
// and runs its handler, turns every failure into a host error code and tears the state down after the
// host's global set-down.
#include "filter/EntryPoint.h"

#include "filter/Command.h"
#include "filter/ErrorConversion.h"
#include "params/ParamsCommands.h"
#include "share/AEUtil/PendingErrors.h"
#include "share/AEUtil/SuiteHolder.h"

namespace {

// Written only by the first-call setup and the teardown, which the host sends before and after every
// other command of the effect.
bool g_ready = false;

// The suite holder cannot come from the allocator, which needs it: it lives in static storage.
alignas(AEUtil::SuiteHolder) unsigned char g_suiteStorage[sizeof(AEUtil::SuiteHolder)];

PF_Err FirstCallSetup(PF_InData* in_data) {
    if (!AEUtil::GlobalSuites() && in_data && in_data->pica_basicP)
        AEUtil::SetGlobalSuites(::new (g_suiteStorage) AEUtil::SuiteHolder(in_data->pica_basicP));
    if (!AEUtil::PendingErrorsExist())
        AEUtil::CreatePendingErrors();
    BeginParamsLifecycle(in_data);
    // Every later command allocates through host handles: a host that cannot lend them is refused at its
    // first command, and the next command tries the setup again.
    AEUtil::SuiteHolder* suites = AEUtil::GlobalSuites();
    if (!suites)
        return PF_Err_OUT_OF_MEMORY;
    (void)suites->HandleSuite();
    g_ready = true;
    return PF_Err_NONE;
}

void Teardown() noexcept {
    g_ready = false;
    EndParamsLifecycle();
    AEUtil::DestroyPendingErrors();
    if (AEUtil::SuiteHolder* holder = AEUtil::GlobalSuites()) {
        AEUtil::SetGlobalSuites(nullptr);
        holder->~SuiteHolder();
    }
}

PF_Err Run(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output,
           void* extra) {
    if (!g_ready) {
        if (const PF_Err err = FirstCallSetup(in_data))
            return err;
    }
    AEUtil::ClearPendingErrors();
    const Command command = DecodeCommand(cmd, in_data, out_data, params, output, extra);
    PF_Err result = PF_Err_NONE;
    if (std::holds_alternative<command::GlobalSetdown>(command)) {
        try {
            result = RunCommand(command);
        } catch (...) {
            Teardown();
            throw;
        }
        Teardown();
    } else {
        result = RunCommand(command);
    }
    if (result != PF_Err_NONE)
        return result;
    return AEUtil::FirstPendingError();
}

} // namespace

extern "C" DllExport PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                           PF_ParamDef* params[], PF_LayerDef* output, void* extra) {
    return ConvertExceptions([&] { return Run(cmd, in_data, out_data, params, output, extra); });
}
