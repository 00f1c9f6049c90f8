#include "optiondlg/DialogBase.h"

#include <algorithm>
#include <cstring>

namespace FxOptionDlg {

namespace {
// The map from open dialog windows to their objects. Dialogs are modal and nest only as deep as one dialog
// opening another, so a small fixed table serves and the procedure never allocates.
struct DialogEntry {
    platform::WindowHandle window;
    DialogBase* dialog;
};
constexpr int kMaxOpenDialogs = 8;
DialogEntry g_dialogs[kMaxOpenDialogs] = {};

bool Remember(platform::WindowHandle window, DialogBase* dialog) noexcept {
    DialogEntry* free = nullptr;
    for (DialogEntry& e : g_dialogs) {
        if (e.window == window) {
            e.dialog = dialog;
            return true;
        }
        if (!e.window && !free)
            free = &e;
    }
    if (!free)
        return false;
    *free = DialogEntry{window, dialog};
    return true;
}

void Forget(platform::WindowHandle window) noexcept {
    for (DialogEntry& e : g_dialogs) {
        if (e.window == window)
            e = DialogEntry{};
    }
}

std::int32_t ClampToInt32(long long v) noexcept {
    return static_cast<std::int32_t>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}
} // namespace

DialogBase::DialogBase(int templateId, platform::ModuleHandle module, platform::WindowHandle parent,
                       const char* title)
    : module_(module), parent_(parent), templateId_(templateId), title_{} {
    if (title) {
        std::strncpy(title_, title, sizeof title_ - 1);
        title_[sizeof title_ - 1] = '\0';
    }
}

DialogBase::~DialogBase() {
    // A window must never lead to an object that is gone.
    for (DialogEntry& e : g_dialogs) {
        if (e.dialog == this)
            e = DialogEntry{};
    }
}

std::intptr_t DialogBase::DoModal() {
    const platform::DialogTemplateRef source{module_, templateId_, DialogLayoutOf(templateId_)};
    return platform::RunModalDialog(source, parent_, &DialogProcedure, reinterpret_cast<std::intptr_t>(this));
}

std::intptr_t DialogBase::OnInitDialog(platform::WindowHandle) {
    return 1;
}

std::intptr_t DialogBase::OnCommand(platform::WindowHandle, std::uintptr_t, int) {
    return 1;
}

std::intptr_t DialogBase::OnNotify(platform::WindowHandle, std::uintptr_t, std::intptr_t) {
    return 0;
}

std::intptr_t DialogBase::OnClose(platform::WindowHandle window) {
    platform::EndModalDialog(window, 0);
    return 1;
}

std::intptr_t DialogBase::OnDestroy(platform::WindowHandle) {
    return 1;
}

void DialogBase::CenterOnParent(platform::WindowHandle window) {
    platform::WindowRect dialog, parent;
    // Without a parent, or a rectangle of one, the dialog stays where it is.
    if (!platform::GetWindowRectangle(window, &dialog) ||
        !platform::GetWindowRectangle(platform::ParentWindow(window), &parent))
        return;
    const WindowOrigin origin = CenteredOrigin(dialog, parent);
    platform::MoveWindowTo(window, origin.left, origin.top, dialog.right - dialog.left,
                           dialog.bottom - dialog.top, true);
}

void DialogBase::SetTitle(platform::WindowHandle window, const char* text) {
    platform::SetWindowTextAnsi(window, text);
}

WindowOrigin CenteredOrigin(const platform::WindowRect& dialog, const platform::WindowRect& parent) noexcept {
    // 64-bit sums: screen coordinates near the ends of the 32-bit range must not overflow.
    const long long width = static_cast<long long>(dialog.right) - dialog.left;
    const long long height = static_cast<long long>(dialog.bottom) - dialog.top;
    return WindowOrigin{ClampToInt32((static_cast<long long>(parent.left) + parent.right - width) / 2),
                        ClampToInt32((static_cast<long long>(parent.top) + parent.bottom - height) / 2)};
}

DialogBase* DialogOfWindow(platform::WindowHandle window) noexcept {
    if (!window)
        return nullptr;
    for (const DialogEntry& e : g_dialogs) {
        if (e.window == window)
            return e.dialog;
    }
    return nullptr;
}

std::intptr_t DialogProcedure(platform::WindowHandle window, unsigned int message, std::uintptr_t wParam,
                              std::intptr_t lParam) noexcept {
    if (message == platform::kMsgInitDialog && lParam) {
        if (!Remember(window, reinterpret_cast<DialogBase*>(lParam))) {
            // No room to know the dialog by: it could never be answered, so it ends at once.
            platform::EndModalDialog(window, -1);
            return 0;
        }
    }
    DialogBase* dialog = DialogOfWindow(window);
    if (!dialog)
        return 0;
    switch (message) {
    case platform::kMsgInitDialog:
        return dialog->OnInitDialog(window);
    case platform::kMsgCommand:
        return dialog->OnCommand(window, wParam, static_cast<int>(wParam & 0xFFFF));
    case platform::kMsgNotify:
        return dialog->OnNotify(window, wParam, lParam);
    case platform::kMsgClose:
        return dialog->OnClose(window);
    case platform::kMsgDestroy: {
        const std::intptr_t result = dialog->OnDestroy(window);
        // Window handles are reused: the entry goes with its window.
        Forget(window);
        return result;
    }
    default:
        return 0;
    }
}

} // namespace FxOptionDlg
