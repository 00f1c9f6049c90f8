// PF_Cmd_DO_DIALOG: the option dialog, and what its answer does to the stored defaults.
#include "optiondlg/OptionDialogCommand.h"

#include "optiondlg/AEFxOptionDialog.h"
#include "optiondlg/OptionDialogIds.h"
#include "optiondlg/StoreDefaults.h"
#include "optiondlg/UiLanguage.h"
#include "params/StoredDefaults.h"
#include "platform/Dialog.h"

PF_Err DoOptionDialog(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[]) {
    if (!in_data || !in_data->utils || !in_data->utils->get_platform_data)
        return PF_Err_BAD_CALLBACK_PARAM;
    auto* getPlatformData = in_data->utils->get_platform_data;

    // A host that cannot name its main window or the plug-in's file still gets the dialog: unowned, or
    // failing to find its template (which counts as closed).
    void* mainWindow = nullptr;
    if (getPlatformData(in_data->effect_ref, PF_PlatData_MAIN_WND, &mainWindow) != PF_Err_NONE)
        mainWindow = nullptr;
    char pluginPath[AEFX_MAX_PATH] = {};
    if (getPlatformData(in_data->effect_ref, PF_PlatData_EXE_FILE_PATH_DEPRECATED, pluginPath) != PF_Err_NONE)
        pluginPath[0] = '\0';
    pluginPath[AEFX_MAX_PATH - 1] = '\0';
    const platform::ModuleHandle module = platform::ModuleOfFile(pluginPath[0] ? pluginPath : nullptr);

    const std::int32_t language = UiLanguage() == UiLanguageKind::Japanese ? FxOptionDlg::kLanguageJapanese
                                                                           : FxOptionDlg::kLanguageEnglish;
    // A legacy host never reads stored defaults, so there is nothing to set.
    const bool settingsEnabled = !IsLegacyHost(in_data);

    FxOptionDlg::AEFxOptionDialog dialog(IDD_OPTION, module, mainWindow, "Tovrin", settingsEnabled, language);
    StoreResult result;
    bool restore = false;
    switch (dialog.DoModal()) {
    case FxOptionDlg::kResultStore:
        result = StoreCurrentDefaults(in_data, params);
        break;
    case FxOptionDlg::kResultRestore:
        restore = true;
        result = RestoreBuiltInDefaults(in_data);
        break;
    default:
        break;
    }
    // The host shows the message once the dialog has gone; the command itself succeeded.
    if (result.outcome != StoreOutcome::Done && out_data) {
        DescribeStoreResult(result, restore, out_data->return_msg, sizeof out_data->return_msg);
        out_data->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
    }
    return PF_Err_NONE;
}
