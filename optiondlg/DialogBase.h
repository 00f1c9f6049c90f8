#pragma once
// A modal dialog from a template in a module's resources, and the one dialog procedure behind every such
// dialog: it finds the dialog object of a window in a process-wide map and forwards the messages to the
// object's handlers.
#include <cstdint>

#include "platform/Dialog.h"

namespace FxOptionDlg {

class DialogBase {
public:
    DialogBase(int templateId, platform::ModuleHandle module, platform::WindowHandle parent,
               const char* title);
    virtual ~DialogBase();
    DialogBase(const DialogBase&) = delete;
    DialogBase& operator=(const DialogBase&) = delete;

    // Shows the template modally and returns the dialog box result (-1 when it cannot be shown).
    virtual std::intptr_t DoModal();
    virtual std::intptr_t OnInitDialog(platform::WindowHandle window);
    virtual std::intptr_t OnCommand(platform::WindowHandle window, std::uintptr_t command, int controlId);
    virtual std::intptr_t OnNotify(platform::WindowHandle window, std::uintptr_t wParam,
                                   std::intptr_t lParam);
    // Ends the dialog with 0.
    virtual std::intptr_t OnClose(platform::WindowHandle window);
    virtual std::intptr_t OnDestroy(platform::WindowHandle window);
    // Moves the dialog to the centre of its parent window, keeping its size.
    virtual void CenterOnParent(platform::WindowHandle window);
    virtual void SetTitle(platform::WindowHandle window, const char* text);

    int TemplateId() const { return templateId_; }
    const char* Title() const { return title_; }

protected:
    platform::ModuleHandle module_;
    platform::WindowHandle parent_;
    int templateId_;
    char title_[256];
};

// The dialog procedure of every DialogBase.
std::intptr_t DialogProcedure(platform::WindowHandle window, unsigned int message, std::uintptr_t wParam,
                              std::intptr_t lParam) noexcept;

// The dialog object the procedure has recorded for `window`, or null.
DialogBase* DialogOfWindow(platform::WindowHandle window) noexcept;

// The top-left corner that centres a rectangle of the dialog's size on the parent's: the halves of
// (parent left + parent right - dialog width) and (parent top + parent bottom - dialog height), rounded
// toward zero.
struct WindowOrigin {
    std::int32_t left, top;
};
WindowOrigin CenteredOrigin(const platform::WindowRect& dialog, const platform::WindowRect& parent) noexcept;

// The layout of a template of the plug-in's resources, for the platform's stand-in dialog; null when the
// plug-in has no template of that id.
const platform::DialogLayout* DialogLayoutOf(int templateId) noexcept;

} // namespace FxOptionDlg
