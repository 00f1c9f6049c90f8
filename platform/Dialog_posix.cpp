#include <dlfcn.h>
#include <iconv.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/Dialog.h"
#include "platform/Platform.h"

namespace platform {

namespace {
constexpr int kMaxItems = 16;
constexpr std::size_t kTextSize = 1024;
constexpr unsigned int kButtonClicked = 0; // BN_CLICKED

// The base units of the template's font (9 pt at 96 dots per inch) and the frame around the client area.
constexpr int kBaseUnitX = 6, kBaseUnitY = 12;
constexpr int kBorder = 3, kCaption = 20;

struct StandInDialog;

struct StandInWindow {
    StandInDialog* dialog = nullptr;
    int id = 0;
    DialogItemKind kind = DialogItemKind::Button;
    bool enabled = true;
    WindowRect rect{}; // the frame: screen pixels; a control: client pixels of its dialog
    char text[kTextSize] = {};
};

// Where the answers come from and the dialog goes to; shared by nested dialogs.
struct Session {
    std::FILE* in = nullptr;
    std::FILE* out = nullptr;
    bool ownIn = false, ownOut = false;
    bool echo = false; // scripted answers are written after the prompt, so that the transcript reads well
};

struct StandInDialog {
    StandInWindow frame;
    StandInWindow items[kMaxItems];
    int itemCount = 0;
    int order[kMaxItems] = {}; // item positions sorted top to bottom, then left to right
    WindowHandle parent = nullptr;
    DialogProc proc = nullptr;
    bool ended = false;
    std::intptr_t result = 0;
    Session* session = nullptr;
    StandInDialog* outer = nullptr;
};

// The open dialogs, innermost first: only their windows are valid handles.
StandInDialog* g_innermost = nullptr;

StandInWindow* FindWindow(WindowHandle handle) {
    if (!handle)
        return nullptr;
    for (StandInDialog* d = g_innermost; d; d = d->outer) {
        if (handle == &d->frame)
            return &d->frame;
        for (int i = 0; i < d->itemCount; ++i) {
            if (handle == &d->items[i])
                return &d->items[i];
        }
    }
    return nullptr;
}

StandInDialog* FindDialog(WindowHandle handle) {
    StandInWindow* w = FindWindow(handle);
    return w && w == &w->dialog->frame ? w->dialog : nullptr;
}

// Copies UTF-8 text, cut at a character boundary when it does not fit.
void CopyUtf8(char (&out)[kTextSize], const char* text) {
    std::size_t n = text ? std::strlen(text) : 0;
    if (n > kTextSize - 1) {
        n = kTextSize - 1;
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
            --n;
    }
    if (n)
        std::memcpy(out, text, n);
    out[n] = '\0';
}

// Text in the ANSI code page (932 under a Japanese locale, else 1252) as UTF-8; bytes the code page does
// not map show as '?'.
void AnsiToUtf8(char (&out)[kTextSize], const char* text) {
    if (!text)
        text = "";
    bool ascii = true;
    for (const char* p = text; *p; ++p)
        ascii = ascii && static_cast<unsigned char>(*p) < 0x80;
    if (ascii) {
        CopyUtf8(out, text);
        return;
    }
    iconv_t cd = iconv_open("UTF-8", MultibyteCodePage() == 932 ? "CP932" : "CP1252");
    char* in = const_cast<char*>(text);
    std::size_t inLeft = std::strlen(text);
    char* o = out;
    std::size_t outLeft = kTextSize - 1;
    while (inLeft > 0 && outLeft > 0) {
        if (cd != reinterpret_cast<iconv_t>(-1) &&
            iconv(cd, &in, &inLeft, &o, &outLeft) != static_cast<std::size_t>(-1))
            break;
        if (cd != reinterpret_cast<iconv_t>(-1) && errno == E2BIG)
            break;
        const unsigned char c = static_cast<unsigned char>(*in);
        *o++ = c < 0x80 ? static_cast<char>(c) : '?';
        --outLeft;
        ++in;
        --inLeft;
    }
    *o = '\0';
    if (cd != reinterpret_cast<iconv_t>(-1))
        iconv_close(cd);
}

int ToPixelsX(int units) {
    return units * kBaseUnitX / 4;
}
int ToPixelsY(int units) {
    return units * kBaseUnitY / 8;
}

bool IsButton(const StandInWindow& w) {
    return w.kind == DialogItemKind::Button || w.kind == DialogItemKind::DefaultButton;
}

bool Inside(const StandInWindow& inner, const StandInWindow& outer) {
    return inner.rect.left >= outer.rect.left && inner.rect.right <= outer.rect.right &&
           inner.rect.top >= outer.rect.top && inner.rect.bottom <= outer.rect.bottom;
}

void Write(Session& s, const char* text) {
    if (s.out)
        std::fputs(text, s.out);
}

// The buttons in the order shown; `number` counts from 1. Null past the last.
StandInWindow* ButtonNumber(StandInDialog& d, int number) {
    int n = 0;
    for (int i = 0; i < d.itemCount; ++i) {
        StandInWindow& w = d.items[d.order[i]];
        if (IsButton(w) && ++n == number)
            return &w;
    }
    return nullptr;
}

int ButtonCount(StandInDialog& d) {
    int n = 0;
    while (ButtonNumber(d, n + 1))
        ++n;
    return n;
}

void Show(StandInDialog& d) {
    Session& s = *d.session;
    Write(s, "\n== ");
    Write(s, d.frame.text);
    Write(s, " ==\n");
    int number = 0;
    for (int i = 0; i < d.itemCount; ++i) {
        const StandInWindow& w = d.items[d.order[i]];
        int depth = 0;
        for (int j = 0; j < d.itemCount; ++j) {
            const StandInWindow& g = d.items[j];
            if (&g != &w && g.kind == DialogItemKind::GroupBox && Inside(w, g))
                ++depth;
        }
        if (w.kind == DialogItemKind::Picture)
            continue;
        for (int k = 0; k < depth; ++k)
            Write(s, "  ");
        if (w.kind == DialogItemKind::GroupBox) {
            Write(s, w.text);
            Write(s, w.enabled ? "\n" : " (disabled)\n");
            continue;
        }
        char label[32];
        std::snprintf(label, sizeof label, "%d. ", ++number);
        Write(s, label);
        Write(s, w.text);
        Write(s, w.enabled ? "\n" : " (disabled)\n");
    }
}

// One answer line without its line end; false at the end of the input. Overlong lines are cut.
bool ReadAnswer(Session& s, char (&line)[256]) {
    if (!s.in || !std::fgets(line, sizeof line, s.in))
        return false;
    std::size_t n = std::strlen(line);
    if (n > 0 && line[n - 1] != '\n') {
        int c;
        while ((c = std::fgetc(s.in)) != EOF && c != '\n') {
        }
    }
    while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r'))
        line[--n] = '\0';
    return true;
}

// The answer as a button: its number in the list, or '#' and a control id.
StandInWindow* ButtonOfAnswer(StandInDialog& d, const char* answer) {
    const bool byId = *answer == '#';
    const char* digits = byId ? answer + 1 : answer;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(digits, &end, 10);
    if (end == digits || *end != '\0' || errno == ERANGE)
        return nullptr;
    if (!byId)
        return value > 0 && value <= kMaxItems ? ButtonNumber(d, static_cast<int>(value)) : nullptr;
    for (int i = 0; i < d.itemCount; ++i) {
        if (IsButton(d.items[i]) && d.items[i].id == value)
            return &d.items[i];
    }
    return nullptr;
}

std::uintptr_t CommandParam(int id, unsigned int code) {
    return (static_cast<std::uintptr_t>(code & 0xFFFF) << 16) | (static_cast<unsigned int>(id) & 0xFFFF);
}

// The close box: the close message, then what the dialog manager does with one the procedure leaves.
void CloseBox(StandInDialog& d) {
    const std::intptr_t handled = d.proc(&d.frame, kMsgClose, 0, 0);
    if (!d.ended && !handled)
        d.proc(&d.frame, kMsgCommand, CommandParam(kIdCancel, kButtonClicked), 0);
    if (!d.ended) {
        d.ended = true;
        d.result = 0;
    }
}

void Converse(StandInDialog& d) {
    Session& s = *d.session;
    bool show = true;
    while (!d.ended) {
        if (show)
            Show(d);
        show = false;
        char prompt[96];
        std::snprintf(prompt, sizeof prompt, "Choose 1-%d (end of input closes): ", ButtonCount(d));
        Write(s, prompt);
        if (s.out)
            std::fflush(s.out);
        char line[256];
        if (!ReadAnswer(s, line)) {
            Write(s, "\n");
            CloseBox(d);
            break;
        }
        if (s.echo) {
            Write(s, line);
            Write(s, "\n");
        }
        const char* answer = line;
        while (*answer == ' ' || *answer == '\t')
            ++answer;
        char* tail = line + std::strlen(line);
        while (tail > answer && (tail[-1] == ' ' || tail[-1] == '\t'))
            *--tail = '\0';
        if (!*answer)
            continue;
        StandInWindow* button = ButtonOfAnswer(d, answer);
        if (!button) {
            Write(s, "No such choice.\n");
            continue;
        }
        if (!button->enabled) {
            Write(s, "That button is disabled.\n");
            continue;
        }
        d.proc(&d.frame, kMsgCommand, CommandParam(button->id, kButtonClicked),
               reinterpret_cast<std::intptr_t>(static_cast<WindowHandle>(button)));
        show = true;
    }
    if (s.out)
        std::fflush(s.out);
}

void OpenSession(Session& s) {
    const char* input = std::getenv("TOVRIN_DIALOG_INPUT");
    if (!input) {
        // Interactive: the controlling terminal, or, without one, nothing at all.
        s.in = std::fopen("/dev/tty", "r");
        s.ownIn = s.in != nullptr;
        if (s.in) {
            s.out = std::fopen("/dev/tty", "w");
            s.ownOut = s.out != nullptr;
        }
        return;
    }
    if (std::strcmp(input, "-") == 0) {
        s.in = stdin;
    } else {
        s.in = std::fopen(input, "r");
        s.ownIn = s.in != nullptr;
    }
    s.echo = !(s.in && isatty(fileno(s.in)));
    const char* output = std::getenv("TOVRIN_DIALOG_OUTPUT");
    if (!output || std::strcmp(output, "-") == 0) {
        s.out = stdout;
    } else {
        s.out = std::fopen(output, "w");
        s.ownOut = s.out != nullptr;
    }
}

void CloseSession(Session& s) {
    if (s.ownIn)
        std::fclose(s.in);
    if (s.ownOut)
        std::fclose(s.out);
    s = Session{};
}

void LayOut(StandInDialog& d, const DialogLayout& layout) {
    CopyUtf8(d.frame.text, layout.caption);
    d.frame.dialog = &d;
    d.frame.id = 0;
    d.frame.rect =
        WindowRect{0, 0, ToPixelsX(layout.cx) + 2 * kBorder, ToPixelsY(layout.cy) + 2 * kBorder + kCaption};
    d.itemCount = layout.itemCount;
    for (int i = 0; i < d.itemCount; ++i) {
        const DialogItemLayout& item = layout.items[i];
        StandInWindow& w = d.items[i];
        w.dialog = &d;
        w.id = item.id;
        w.kind = item.kind;
        w.rect = WindowRect{ToPixelsX(item.x), ToPixelsY(item.y), ToPixelsX(item.x + item.cx),
                            ToPixelsY(item.y + item.cy)};
        CopyUtf8(w.text, item.text);
        d.order[i] = i;
    }
    std::stable_sort(d.order, d.order + d.itemCount, [&d](int a, int b) {
        const WindowRect& ra = d.items[a].rect;
        const WindowRect& rb = d.items[b].rect;
        return ra.top != rb.top ? ra.top < rb.top : ra.left < rb.left;
    });
}
} // namespace

ModuleHandle ModuleOfFile(const char* path) {
    if (!path)
        return nullptr;
    // Like GetModuleHandleA, this neither loads the file nor keeps it loaded.
    void* module = dlopen(path, RTLD_LAZY | RTLD_NOLOAD);
    if (module)
        dlclose(module);
    return module;
}

std::intptr_t RunModalDialog(const DialogTemplateRef& source, WindowHandle parent, DialogProc proc,
                             std::intptr_t param) {
    const DialogLayout* layout = source.layout;
    if (!proc || !layout || layout->itemCount < 0 || layout->itemCount > kMaxItems ||
        (layout->itemCount > 0 && !layout->items))
        return -1;
    StandInDialog d;
    LayOut(d, *layout);
    d.parent = parent;
    d.proc = proc;
    Session own;
    d.session = g_innermost ? g_innermost->session : &own;
    if (!g_innermost)
        OpenSession(own);
    d.outer = g_innermost;
    g_innermost = &d;

    // The init message names the control that gets the focus: the first button.
    WindowHandle focus = ButtonNumber(d, 1);
    proc(&d.frame, kMsgInitDialog, reinterpret_cast<std::uintptr_t>(focus), param);
    Converse(d);
    proc(&d.frame, kMsgDestroy, 0, 0);

    g_innermost = d.outer;
    if (!g_innermost)
        CloseSession(own);
    return d.result;
}

bool EndModalDialog(WindowHandle dialog, std::intptr_t result) {
    StandInDialog* d = FindDialog(dialog);
    if (!d)
        return false;
    d->ended = true;
    d->result = result;
    return true;
}

bool SetWindowTextAnsi(WindowHandle window, const char* text) {
    StandInWindow* w = FindWindow(window);
    if (!w)
        return false;
    AnsiToUtf8(w->text, text);
    return true;
}

bool SetDialogItemTextAnsi(WindowHandle dialog, int id, const char* text) {
    return SetWindowTextAnsi(DialogItem(dialog, id), text);
}

WindowHandle DialogItem(WindowHandle dialog, int id) {
    StandInDialog* d = FindDialog(dialog);
    if (!d)
        return nullptr;
    for (int i = 0; i < d->itemCount; ++i) {
        if (d->items[i].id == id)
            return &d->items[i];
    }
    return nullptr;
}

void EnableWindowInput(WindowHandle window, bool enable) {
    if (StandInWindow* w = FindWindow(window))
        w->enabled = enable;
}

WindowHandle ParentWindow(WindowHandle window) {
    StandInWindow* w = FindWindow(window);
    if (!w)
        return nullptr;
    return w == &w->dialog->frame ? w->dialog->parent : &w->dialog->frame;
}

bool GetWindowRectangle(WindowHandle window, WindowRect* rect) {
    StandInWindow* w = FindWindow(window);
    if (!w || !rect)
        return false;
    *rect = w->rect;
    if (w != &w->dialog->frame) {
        // A control's rectangle is kept in client pixels of its dialog.
        const WindowRect& f = w->dialog->frame.rect;
        const int dx = f.left + kBorder, dy = f.top + kBorder + kCaption;
        *rect = WindowRect{rect->left + dx, rect->top + dy, rect->right + dx, rect->bottom + dy};
    }
    return true;
}

bool MoveWindowTo(WindowHandle window, int left, int top, int width, int height, bool) {
    StandInWindow* w = FindWindow(window);
    if (!w || width < 0 || height < 0)
        return false;
    const long long right = static_cast<long long>(left) + width,
                    bottom = static_cast<long long>(top) + height;
    if (right > INT32_MAX || bottom > INT32_MAX)
        return false;
    w->rect = WindowRect{left, top, static_cast<std::int32_t>(right), static_cast<std::int32_t>(bottom)};
    return true;
}

} // namespace platform
