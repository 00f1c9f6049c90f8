#pragma once
// The option dialog: store the current parameter values as the defaults of new instances, or restore the
// built-in defaults. Its result says which: 0 nothing (OK or the close box), 1 store, 2 restore.
#include <cstdint>

#include "optiondlg/DialogBase.h"

namespace FxOptionDlg {

enum : std::int32_t { kLanguageJapanese = 1, kLanguageEnglish = 2 };
enum : std::intptr_t { kResultNothing = 0, kResultStore = 1, kResultRestore = 2 };

// The dialog's texts: 0 the settings group, 1 the store button, 2 the restore button. Japanese texts are
// code page 932 bytes, the encoding the ...A window functions take them in on a Japanese system. A
// language other than Japanese gives the English texts; an index outside 0 to 2 the empty text.
const char* OptionDialogText(std::int32_t language, int index) noexcept;

class AEFxOptionDialog : public DialogBase {
public:
    AEFxOptionDialog(int templateId, platform::ModuleHandle module, platform::WindowHandle parent,
                     const char* title, bool settingsEnabled, std::int32_t language);

    // A dialog box that cannot be shown counts as closed: 0.
    std::intptr_t DoModal() override;
    // Caption, centring, the texts of the chosen language, and the settings buttons disabled when settings
    // are not enabled. Returns 0.
    std::intptr_t OnInitDialog(platform::WindowHandle window) override;
    // OK and cancel end with 0, the store button with 1, the restore button with 2; other controls: 1.
    std::intptr_t OnCommand(platform::WindowHandle window, std::uintptr_t command, int controlId) override;

    bool SettingsEnabled() const { return settingsEnabled_ != 0; }
    std::int32_t Language() const { return language_; }

private:
    std::uint8_t settingsEnabled_;
    std::int32_t language_;
};

} // namespace FxOptionDlg
