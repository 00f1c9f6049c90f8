// The host's single entry: builds the effect's process-wide state on the first call, hands every command
// to the effect object, turns every failure into a host error code and tears the state down after the
// host's global set-down.
#include <new>

#include "filter/CustomFilter.h"
#include "filter/ErrorConversion.h"
#include "filter/RoomHandlers.h"
#include "share/AEUtil/Allocator.h"
#include "share/AEUtil/PendingErrors.h"
#include "share/AEUtil/SuiteHolder.h"

namespace {

// Written only by the first-call setup and the teardown, which the host sends before and after every
// other command of the effect.
BaseFilter* g_effect = nullptr;

// The suite holder cannot come from the allocator, which needs it: it lives in static storage.
alignas(AEUtil::SuiteHolder) unsigned char g_suiteStorage[sizeof(AEUtil::SuiteHolder)];

PF_Err FirstCallSetup(PF_InData* in_data) {
    if (!AEUtil::GlobalSuites() && in_data && in_data->pica_basicP)
        AEUtil::SetGlobalSuites(::new (g_suiteStorage) AEUtil::SuiteHolder(in_data->pica_basicP));
    if (!AEUtil::PendingErrorsExist())
        AEUtil::CreatePendingErrors();
    BuildParamList(in_data);
    try {
        g_effect = AEUtil::New<CustomFilter>();
    } catch (const std::bad_alloc&) {
        g_effect = nullptr;
    }
    return g_effect ? PF_Err_NONE : PF_Err_OUT_OF_MEMORY;
}

void Teardown() noexcept {
    AEUtil::Delete(g_effect);
    g_effect = nullptr;
    DestroyParamList();
    AEUtil::DestroyPendingErrors();
    if (AEUtil::SuiteHolder* holder = AEUtil::GlobalSuites()) {
        AEUtil::SetGlobalSuites(nullptr);
        holder->~SuiteHolder();
    }
}

PF_Err Run(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output,
           void* extra) {
    PF_Err result = PF_Err_NONE;
    if (!g_effect) {
        result = FirstCallSetup(in_data);
        if (result != PF_Err_NONE)
            return result;
    }
    AEUtil::ClearPendingErrors();
    if (cmd == PF_Cmd_GLOBAL_SETDOWN) {
        try {
            if (g_effect && result == PF_Err_NONE)
                result = g_effect->Dispatch(cmd, in_data, out_data, params, output, extra);
        } catch (...) {
            Teardown();
            throw;
        }
        Teardown();
    } else if (g_effect && result == PF_Err_NONE) {
        result = g_effect->Dispatch(cmd, in_data, out_data, params, output, extra);
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
