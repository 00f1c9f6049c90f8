#pragma once
// Modal dialog boxes: the Win32 dialog manager on Windows; elsewhere a text dialog that shows the same
// controls and sends the same messages to the same dialog procedure.
//
// The stand-in. It opens the dialog with the init message, then writes the caption, each group box as a
// heading, and the push buttons (ordered top to bottom, left to right) as numbered choices, marking the
// disabled ones; the picture controls are left out. It reads one answer per line: the number of a choice,
// or "#" and a control id (presses that control whatever the numbering). An enabled button sends the
// command message the real button sends; a disabled one is refused. End of input is the close box: the
// close message, then (when the procedure does not end the dialog) the cancel command, and, since no
// more answers can come, the dialog ends with 0 if it is still open.
//
// Where the stand-in reads and writes:
//   TOVRIN_DIALOG_INPUT   unset: the controlling terminal (/dev/tty), which it also writes to; "-": standard
//                         input; otherwise a file's path. A missing terminal or an unreadable file is an
//                         immediate end of input, so a process without either never blocks.
//   TOVRIN_DIALOG_OUTPUT  with scripted input: "-" or unset: standard output; otherwise a file's path
//                         (rewritten for each dialog that is not opened from inside another).
// Texts given through the ...Ansi functions are in the process's ANSI code page (932 under a Japanese
// locale, see MultibyteCodePage); the stand-in writes every text as UTF-8.
#include <cstdint>

namespace platform {

using WindowHandle = void*; // HWND
using ModuleHandle = void*; // HMODULE

// The messages a dialog procedure handles, with their Win32 values.
constexpr unsigned int kMsgDestroy = 0x0002;    // WM_DESTROY
constexpr unsigned int kMsgClose = 0x0010;      // WM_CLOSE
constexpr unsigned int kMsgNotify = 0x004E;     // WM_NOTIFY
constexpr unsigned int kMsgInitDialog = 0x0110; // WM_INITDIALOG
constexpr unsigned int kMsgCommand = 0x0111;    // WM_COMMAND

constexpr int kIdOk = 1;     // IDOK
constexpr int kIdCancel = 2; // IDCANCEL

// A dialog procedure: message, then the message's two parameters as Win32 passes them (for the command
// message, the control id in the low 16 bits of `wParam`).
using DialogProc = std::intptr_t (*)(WindowHandle dialog, unsigned int message, std::uintptr_t wParam,
                                     std::intptr_t lParam);

struct WindowRect {
    std::int32_t left, top, right, bottom;
};

// The layout of a dialog template, as the stand-in needs it (it has no resources to read). Positions and
// sizes in dialog units; texts in UTF-8, as the template holds them.
enum class DialogItemKind { DefaultButton, Button, GroupBox, Picture };

struct DialogItemLayout {
    int id; // -1 for a control without one
    DialogItemKind kind;
    short x, y, cx, cy;
    const char* text;
};

struct DialogLayout {
    const char* caption;
    short cx, cy;
    const DialogItemLayout* items;
    int itemCount;
};

// Which template to show: Windows loads `templateId` from `module`'s resources; the stand-in lays out
// `layout`, which describes the same template.
struct DialogTemplateRef {
    ModuleHandle module;
    int templateId;
    const DialogLayout* layout;
};

// GetModuleHandleA: the loaded module of that file, or null (also for a null path).
ModuleHandle ModuleOfFile(const char* path);

// DialogBoxParamA: runs the dialog modally; `param` reaches the procedure with the init message. Returns
// the value given to EndModalDialog, or -1 when the dialog cannot be created. On Windows a null module is
// refused (-1) rather than taken as the program's own module; the stand-in needs no module.
std::intptr_t RunModalDialog(const DialogTemplateRef& source, WindowHandle parent, DialogProc proc,
                             std::intptr_t param);
// EndDialog: the modal loop ends with `result` once the procedure returns.
bool EndModalDialog(WindowHandle dialog, std::intptr_t result);

bool SetWindowTextAnsi(WindowHandle window, const char* text);             // SetWindowTextA
bool SetDialogItemTextAnsi(WindowHandle dialog, int id, const char* text); // SetDlgItemTextA
WindowHandle DialogItem(WindowHandle dialog, int id);                      // GetDlgItem; null when none
void EnableWindowInput(WindowHandle window, bool enable);                  // EnableWindow
WindowHandle ParentWindow(WindowHandle window);                            // GetParent (a dialog's owner)
bool GetWindowRectangle(WindowHandle window, WindowRect* rect);            // GetWindowRect, screen pixels
bool MoveWindowTo(WindowHandle window, int left, int top, int width, int height, bool repaint); // MoveWindow

} // namespace platform
