#include <windows.h>

#include <type_traits>

#include "platform/Dialog.h"

namespace platform {

static_assert(std::is_same_v<INT_PTR, std::intptr_t> && std::is_same_v<WPARAM, std::uintptr_t> &&
              std::is_same_v<LPARAM, std::intptr_t>);
static_assert(kMsgDestroy == WM_DESTROY && kMsgClose == WM_CLOSE && kMsgNotify == WM_NOTIFY &&
              kMsgInitDialog == WM_INITDIALOG && kMsgCommand == WM_COMMAND && kIdOk == IDOK &&
              kIdCancel == IDCANCEL);

namespace {
// What RunModalDialog hands to the dialog manager: the caller's procedure and its init parameter. It lives
// on RunModalDialog's stack for as long as the modal loop runs.
struct Launch {
    DialogProc proc;
    std::intptr_t param;
};

// Forwards every message to the caller's procedure, which the init message makes known to the window.
// Messages before it (font, size) get the dialog manager's default handling.
INT_PTR CALLBACK ForwardingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* launch = reinterpret_cast<const Launch*>(GetWindowLongPtrA(window, DWLP_USER));
    if (message == WM_INITDIALOG) {
        launch = reinterpret_cast<const Launch*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(launch));
        lParam = launch->param;
    }
    if (!launch)
        return FALSE;
    return launch->proc(window, message, wParam, lParam);
}
} // namespace

ModuleHandle ModuleOfFile(const char* path) {
    return path ? GetModuleHandleA(path) : nullptr;
}

std::intptr_t RunModalDialog(const DialogTemplateRef& source, WindowHandle parent, DialogProc proc,
                             std::intptr_t param) {
    // Without a module Windows would look in the host program's own resources and could show a dialog of
    // the host's that merely shares the template's id.
    if (!proc || !source.module)
        return -1;
    const Launch launch{proc, param};
    return DialogBoxParamA(static_cast<HINSTANCE>(source.module), MAKEINTRESOURCEA(source.templateId),
                           static_cast<HWND>(parent), &ForwardingProc, reinterpret_cast<LPARAM>(&launch));
}

bool EndModalDialog(WindowHandle dialog, std::intptr_t result) {
    return EndDialog(static_cast<HWND>(dialog), result) != FALSE;
}

bool SetWindowTextAnsi(WindowHandle window, const char* text) {
    return SetWindowTextA(static_cast<HWND>(window), text) != FALSE;
}

bool SetDialogItemTextAnsi(WindowHandle dialog, int id, const char* text) {
    return SetDlgItemTextA(static_cast<HWND>(dialog), id, text) != FALSE;
}

WindowHandle DialogItem(WindowHandle dialog, int id) {
    return GetDlgItem(static_cast<HWND>(dialog), id);
}

void EnableWindowInput(WindowHandle window, bool enable) {
    EnableWindow(static_cast<HWND>(window), enable ? TRUE : FALSE);
}

WindowHandle ParentWindow(WindowHandle window) {
    return GetParent(static_cast<HWND>(window));
}

bool GetWindowRectangle(WindowHandle window, WindowRect* rect) {
    RECT r;
    if (!rect || !GetWindowRect(static_cast<HWND>(window), &r))
        return false;
    *rect = WindowRect{r.left, r.top, r.right, r.bottom};
    return true;
}

bool MoveWindowTo(WindowHandle window, int left, int top, int width, int height, bool repaint) {
    return MoveWindow(static_cast<HWND>(window), left, top, width, height, repaint ? TRUE : FALSE) != FALSE;
}

} // namespace platform
