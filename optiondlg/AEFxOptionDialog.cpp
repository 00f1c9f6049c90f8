#include "optiondlg/AEFxOptionDialog.h"

#include "optiondlg/OptionDialogIds.h"

namespace FxOptionDlg {

namespace {
// Code page 932: "設定 （次回起動から有効になります）", "現在のパラメータ設定をデフォルト値として記憶する",
// "パラメータのデフォルト値設定を初期状態に復帰する".
constexpr const char* kJapaneseTexts[] = {
    "\x90\xdd\x92\xe8\x20\x81\x69\x8e\x9f\x89\xf1\x8b\x4e\x93\xae\x82\xa9\x82\xe7\x97\x4c\x8c\xf8\x82\xc9\x82"
    "\xc8"
    "\x82\xe8\x82\xdc\x82\xb7\x81\x6a",
    "\x8c\xbb\x8d\xdd\x82\xcc\x83\x70\x83\x89\x83\x81\x81\x5b\x83\x5e\x90\xdd\x92\xe8\x82\xf0\x83\x66\x83\x74"
    "\x83"
    "\x48\x83\x8b\x83\x67\x92\x6c\x82\xc6\x82\xb5\x82\xc4\x8b\x4c\x89\xaf\x82\xb7\x82\xe9",
    "\x83\x70\x83\x89\x83\x81\x81\x5b\x83\x5e\x82\xcc\x83\x66\x83\x74\x83\x48\x83\x8b\x83\x67\x92\x6c\x90\xdd"
    "\x92"
    "\xe8\x82\xf0\x8f\x89\x8a\xfa\x8f\xf3\x91\xd4\x82\xc9\x95\x9c\x8b\x41\x82\xb7\x82\xe9",
};
constexpr const char* kEnglishTexts[] = {
    "Settings (Valid from next start-up)",
    "Set current parameter values to default",
    "Restore initial default parameter values",
};
constexpr int kTextControls[] = {IDC_SETTINGS_GROUP, IDC_STORE_DEFAULTS, IDC_RESTORE_DEFAULTS};
} // namespace

const char* OptionDialogText(std::int32_t language, int index) noexcept {
    if (index < 0 || index > 2)
        return "";
    return language == kLanguageJapanese ? kJapaneseTexts[index] : kEnglishTexts[index];
}

AEFxOptionDialog::AEFxOptionDialog(int templateId, platform::ModuleHandle module,
                                   platform::WindowHandle parent, const char* title, bool settingsEnabled,
                                   std::int32_t language)
    : DialogBase(templateId, module, parent, title), settingsEnabled_(settingsEnabled ? 1 : 0),
      language_(language) {}

std::intptr_t AEFxOptionDialog::DoModal() {
    const std::intptr_t result = DialogBase::DoModal();
    return result == -1 ? kResultNothing : result;
}

std::intptr_t AEFxOptionDialog::OnInitDialog(platform::WindowHandle window) {
    SetTitle(window, title_);
    CenterOnParent(window);
    for (int i = 0; i < 3; ++i)
        platform::SetDialogItemTextAnsi(window, kTextControls[i], OptionDialogText(language_, i));
    if (!settingsEnabled_) {
        platform::EnableWindowInput(platform::DialogItem(window, IDC_STORE_DEFAULTS), false);
        platform::EnableWindowInput(platform::DialogItem(window, IDC_RESTORE_DEFAULTS), false);
    }
    return 0;
}

std::intptr_t AEFxOptionDialog::OnCommand(platform::WindowHandle window, std::uintptr_t, int controlId) {
    switch (controlId) {
    case platform::kIdOk:
    case platform::kIdCancel:
        platform::EndModalDialog(window, kResultNothing);
        return 0;
    case IDC_STORE_DEFAULTS:
        platform::EndModalDialog(window, kResultStore);
        return 0;
    case IDC_RESTORE_DEFAULTS:
        platform::EndModalDialog(window, kResultRestore);
        return 0;
    default:
        return 1;
    }
}

} // namespace FxOptionDlg
