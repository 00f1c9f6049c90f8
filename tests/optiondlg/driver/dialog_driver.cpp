// Drives the option dialog of the built plug-in as a user would: the embedded host opens it from its main
// window, and another thread finds the dialog, reads its texts and states, optionally waits while a
// screenshot is taken, and presses a button or the close box with window messages. Checks the dialog's
// template, its texts in the expected language, its place over the main window, and what each answer does
// to the stored-defaults file and to the next lifecycle of the plug-in.
//
//   dialog_driver PLUGIN FOLDER en|ja [SHOTS]
//
// PLUGIN is copied into FOLDER, where its stored-defaults file then lies. With SHOTS, before pressing, the
// driver creates SHOTS/<case>.ready and waits (at most 30 s) for SHOTS/<case>.taken, for the cases "store"
// (English or Japanese texts) and "legacy" (settings disabled). Prints one line per
// check; exits with 0 when all passed, 1 when one failed, 2 for bad arguments, 3 when it hung.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "host/Host.h"
#include "host/Instance.h"
#include "host/Plugin.h"

namespace fs = std::filesystem;

namespace {

int g_failures = 0;

const DWORD g_start = GetTickCount();

void Check(bool ok, const std::string& what) {
    std::printf("%s: %s [%.1f s]\n", ok ? "ok" : "FAILED", what.c_str(), (GetTickCount() - g_start) / 1000.0);
    std::fflush(stdout);
    if (!ok)
        ++g_failures;
}

std::string Narrow(const std::wstring& text) {
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(std::size_t(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring ItemText(HWND dialog, int id) {
    wchar_t buffer[512] = {};
    GetDlgItemTextW(dialog, id, buffer, 512);
    return buffer;
}

std::wstring WindowText(HWND window) {
    wchar_t buffer[512] = {};
    GetWindowTextW(window, buffer, 512);
    return buffer;
}

struct Texts {
    std::wstring group, store, restore;
};

const Texts kJapanese = {
    L"\x8a2d\x5b9a "
    L"\xff08\x6b21\x56de\x8d77\x52d5\x304b\x3089\x6709\x52b9\x306b\x306a\x308a\x307e\x3059\xff09",
    L"\x73fe\x5728\x306e\x30d1\x30e9\x30e1\x30fc\x30bf\x8a2d\x5b9a\x3092\x30c7\x30d5\x30a9\x30eb\x30c8\x5024"
    L"\x3068"
    L"\x3057\x3066\x8a18\x61b6\x3059\x308b",
    L"\x30d1\x30e9\x30e1\x30fc\x30bf\x306e\x30c7\x30d5\x30a9\x30eb\x30c8\x5024\x8a2d\x5b9a\x3092\x521d\x671f"
    L"\x72b6"
    L"\x614b\x306b\x5fa9\x5e30\x3059\x308b",
};
const Texts kEnglish = {L"Settings (Valid from next start-up)", L"Set current parameter values to default",
                        L"Restore initial default parameter values"};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// ---- The template, loaded without the plug-in's dialog procedure ------------------------------------

INT_PTR CALLBACK QuietProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

struct ItemLayout {
    int id;
    int x, y, cx, cy;
};

// The control's rectangle in the dialog's client pixels, next to its template rectangle in dialog units.
void CheckItemPlace(HWND dialog, HWND item, const ItemLayout& layout, const char* name) {
    // The dialog manager converts position and size each on their own.
    RECT units{layout.x, layout.y, layout.cx, layout.cy};
    MapDialogRect(dialog, &units);
    const RECT expected{units.left, units.top, units.left + units.right, units.top + units.bottom};
    RECT actual;
    GetWindowRect(item, &actual);
    MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&actual), 2);
    auto text = [](const RECT& r) {
        return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
               std::to_string(r.bottom);
    };
    Check(EqualRect(&expected, &actual) != FALSE,
          std::string("template: ") + name + " at " + text(expected) + " (is at " + text(actual) + ")");
}

void CheckTemplate(HMODULE module) {
    HWND dialog = CreateDialogParamW(module, MAKEINTRESOURCEW(201), nullptr, &QuietProc, 0);
    Check(dialog != nullptr, "template 201 creates a dialog");
    if (!dialog)
        return;
    Check(WindowText(dialog) == L"Option", "template: caption \"Option\"");
    Check(ItemText(dialog, 1) == L"OK", "template: OK button");
    Check(ItemText(dialog, 2000) == kJapanese.group, "template: the group's Japanese text");
    Check(ItemText(dialog, 2001) == kJapanese.store, "template: the store button's Japanese text");
    Check(ItemText(dialog, 2002) == kJapanese.restore, "template: the restore button's Japanese text");
    Check((GetWindowLongW(GetDlgItem(dialog, 1), GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON,
          "template: OK is default");

    RECT units{0, 0, 235, 170};
    MapDialogRect(dialog, &units);
    RECT client;
    GetClientRect(dialog, &client);
    Check(client.right == units.right && client.bottom == units.bottom, "template: 235 x 170 dialog units");

    const ItemLayout layouts[] = {
        {1, 180, 144, 36, 18}, {2000, 6, 6, 222, 76}, {2001, 36, 30, 162, 15}, {2002, 36, 50, 162, 15}};
    for (const ItemLayout& l : layouts)
        CheckItemPlace(dialog, GetDlgItem(dialog, l.id), l, std::to_string(l.id).c_str());

    HWND picture = nullptr;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP)
            picture = child;
    }
    Check(picture != nullptr, "template: a picture control");
    if (picture) {
        CheckItemPlace(dialog, picture, ItemLayout{-1, 12, 90, 209, 43}, "picture");
        auto bitmap = reinterpret_cast<HBITMAP>(SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
        BITMAP info{};
        Check(bitmap && GetObjectW(bitmap, sizeof info, &info) == sizeof info && info.bmWidth > 0,
              "template: the picture shows bitmap 203");
    }
    DestroyWindow(dialog);
}

// ---- One opening of the dialog --------------------------------------------------------------------

enum class Press { Store, Restore, Ok, CloseBox };

struct Case {
    const char* name;
    A_long application;
    PF_SpecVersion version;
    RECT mainWindow; // left, top, right, bottom
    Press press;
    bool settingsEnabled;
    bool screenshot = false; // wait for a screenshot while the dialog is open
    bool expectDialog = true;
};

struct Seen {
    bool found = false;
    std::wstring caption, group, store, restore, ok;
    bool storeEnabled = false, restoreEnabled = false;
    RECT dialog{}, parent{};
    bool closed = false;
};

struct EnumState {
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindOwnedDialog(HWND window, LPARAM param) {
    auto* state = reinterpret_cast<EnumState*>(param);
    wchar_t cls[64] = {};
    GetClassNameW(window, cls, 64);
    if (std::wstring(cls) == L"#32770" && GetWindow(window, GW_OWNER) == state->owner &&
        IsWindowVisible(window)) {
        state->found = window;
        return FALSE;
    }
    return TRUE;
}

// Runs on its own thread while the host's thread is inside the dialog's modal loop.
void Operate(DWORD hostThread, HWND owner, const Case& c, const fs::path& shots, Seen* seen) {
    EnumState state{owner, nullptr};
    for (int i = 0; i < (c.expectDialog ? 300 : 40) && !state.found; ++i) {
        EnumThreadWindows(hostThread, &FindOwnedDialog, reinterpret_cast<LPARAM>(&state));
        if (!state.found)
            Sleep(50);
    }
    HWND dialog = state.found;
    if (!dialog)
        return;
    seen->found = true;
    seen->caption = WindowText(dialog);
    seen->group = ItemText(dialog, 2000);
    seen->store = ItemText(dialog, 2001);
    seen->restore = ItemText(dialog, 2002);
    seen->ok = ItemText(dialog, 1);
    seen->storeEnabled = IsWindowEnabled(GetDlgItem(dialog, 2001)) != FALSE;
    seen->restoreEnabled = IsWindowEnabled(GetDlgItem(dialog, 2002)) != FALSE;
    GetWindowRect(dialog, &seen->dialog);
    GetWindowRect(owner, &seen->parent);

    if (c.screenshot && !shots.empty()) {
        const fs::path ready = shots / (std::string(c.name) + ".ready");
        const fs::path taken = shots / (std::string(c.name) + ".taken");
        std::ofstream(ready) << "ready\n";
        for (int i = 0; i < 600 && !fs::exists(taken); ++i)
            Sleep(50);
    }

    DWORD_PTR answer = 0;
    switch (c.press) {
    case Press::Store:
        SendMessageTimeoutW(GetDlgItem(dialog, 2001), BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &answer);
        break;
    case Press::Restore:
        SendMessageTimeoutW(GetDlgItem(dialog, 2002), BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &answer);
        break;
    case Press::Ok:
        SendMessageTimeoutW(GetDlgItem(dialog, 1), BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &answer);
        break;
    case Press::CloseBox:
        PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    }
    for (int i = 0; i < 200 && IsWindow(dialog); ++i)
        Sleep(50);
    seen->closed = !IsWindow(dialog);
    if (!seen->closed)
        PostMessageW(dialog, WM_COMMAND, IDOK, 0); // let the host thread go on; the check has failed
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeMainWindow(const RECT& r) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &MainWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TovrinDriverMain";
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
        RegisterClassW(&wc);
        registered = true;
    }
    HWND window = CreateWindowExW(0, L"TovrinDriverMain", L"Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, r.left,
                                  r.top, r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
    return window;
}

class Driver {
public:
    Driver(fs::path plugin, fs::path folder, const Texts& texts, fs::path shots)
        : plugin_(host::Plugin::Load(plugin)), folder_(std::move(folder)), texts_(texts),
          shots_(std::move(shots)) {
        ini_ = plugin_->File();
        ini_.replace_extension(".ini");
    }

    HMODULE Module() const { return static_cast<HMODULE>(plugin_->Module()); }
    const fs::path& Ini() const { return ini_; }

    // Starts a host of the case's kind with the effect applied.
    void Start(const Case& c, HWND mainWindow) {
        host::Settings settings;
        settings.applicationId = c.application;
        settings.version = c.version;
        settings.mainWindow = mainWindow;
        host_ = std::make_unique<host::Host>(settings);
        NewLifecycle();
    }

    void NewLifecycle() {
        instance_ = std::make_unique<host::Instance>(*host_, plugin_);
        Check(instance_->Apply() == PF_Err_NONE, "the effect is applied");
    }

    void EndLifecycle() {
        instance_->SequenceSetdown();
        instance_->GlobalSetdown();
        instance_.reset();
    }

    void Stop() {
        if (instance_)
            EndLifecycle();
        Check(host_->LeakReport().empty(), "nothing leaked: " + host_->LeakReport());
        Check(host_->Violations().empty(), "no protocol violation");
        host_.reset();
    }

    host::Instance& Effect() { return *instance_; }
    host::Plugin& PlugIn() { return *plugin_; }
    PF_ParamIndex Index(const char* name) { return instance_->IndexOfName(name); }
    const PF_ParamDef& Param(const char* name) { return instance_->Param(Index(name)); }

    // Opens the dialog, lets the operating thread answer it, and checks what it saw.
    void Open(const Case& c, HWND mainWindow) {
        Seen seen;
        const DWORD thread = GetCurrentThreadId();
        std::thread operate([&] { Operate(thread, mainWindow, c, shots_, &seen); });
        const PF_Err err = instance_->DoDialog();
        operate.join();
        const std::string at = std::string(c.name) + ": ";
        Check(err == PF_Err_NONE, at + "the dialog command answers 0");
        if (!c.expectDialog) {
            Check(!seen.found, at + "no dialog opened");
            return;
        }
        Check(seen.found, at + "the dialog opened, owned by the host's main window");
        if (!seen.found)
            return;
        Check(seen.caption == L"Tovrin", at + "caption \"Tovrin\", not " + Narrow(seen.caption));
        Check(seen.group == texts_.group, at + "group text " + Narrow(seen.group));
        Check(seen.store == texts_.store, at + "store text " + Narrow(seen.store));
        Check(seen.restore == texts_.restore, at + "restore text " + Narrow(seen.restore));
        Check(seen.ok == L"OK", at + "OK text");
        Check(seen.storeEnabled == c.settingsEnabled && seen.restoreEnabled == c.settingsEnabled,
              at + (c.settingsEnabled ? "both settings buttons enabled" : "both settings buttons disabled"));
        const LONG width = seen.dialog.right - seen.dialog.left,
                   height = seen.dialog.bottom - seen.dialog.top;
        const LONG left = (seen.parent.left + seen.parent.right - width) / 2;
        const LONG top = (seen.parent.top + seen.parent.bottom - height) / 2;
        Check(seen.dialog.left == left && seen.dialog.top == top,
              at + "centred on the main window at " + std::to_string(left) + ", " + std::to_string(top) +
                  " (is at " + std::to_string(seen.dialog.left) + ", " + std::to_string(seen.dialog.top) +
                  ")");
        Check(seen.closed, at + "the answer closed the dialog");
    }

    std::string Stored(const char* key) {
        char buffer[128] = {};
        GetPrivateProfileStringA("Version=1.0", key, "<missing>", buffer, sizeof buffer,
                                 ini_.string().c_str());
        return buffer;
    }

private:
    std::shared_ptr<host::Plugin> plugin_;
    fs::path folder_;
    fs::path ini_;
    Texts texts_;
    fs::path shots_;
    std::unique_ptr<host::Host> host_;
    std::unique_ptr<host::Instance> instance_;
};

constexpr A_long kOtherApplication = 0x50724D72; // 'PrMr'

void RunCases(Driver& d) {
    const RECT onScreen{40, 30, 841, 631};              // 801 x 601: odd sizes
    const RECT partlyOffScreen{-301, -157, 1300, 1044}; // left of and above the origin
    fs::remove(d.Ini());

    // Store: the current values become the defaults of the next lifecycle.
    const Case store{"store", host::kAfterEffects, {13, 28}, onScreen, Press::Store, true, true};
    HWND main = MakeMainWindow(store.mainWindow);
    d.Start(store, main);
    d.Effect().SetFloat(d.Index("Blur Amount"), 12.5);
    d.Effect().SetFloat(d.Index("1 : Color Range"), 0.1234567);
    d.Effect().SetColor(d.Index("1 : Color"), PF_Pixel{255, 10, 20, 30});
    d.Effect().SetPopup(d.Index("Blur Type"), 1);
    d.Open(store, main);
    Check(fs::exists(d.Ini()), "store: the file exists beside the plug-in");
    Check(d.Stored("Blur Amount") == "12.500000", "store: a float as %f: " + d.Stored("Blur Amount"));
    Check(d.Stored("1 : Color Range") == "0.123457", "store: rounded to six decimals");
    Check(d.Stored("1 : Color.r") == "10" && d.Stored("1 : Color.g") == "20" &&
              d.Stored("1 : Color.b") == "30" && d.Stored("1 : Color.a") == "255",
          "store: a colour as four keys");
    Check(d.Stored("Blur Type") == "1", "store: a popup's item");
    d.EndLifecycle();
    d.NewLifecycle();
    Check(d.Param("Blur Amount").u.fs_d.value == 12.5,
          "store: the next lifecycle starts from the stored float");
    const PF_Pixel color = d.Param("1 : Color").u.cd.value;
    Check(color.red == 10 && color.green == 20 && color.blue == 30, "store: ... and from the stored colour");
    Check(d.Param("Blur Type").u.pd.value == 1, "store: ... and from the stored popup");

    // The close box stores nothing.
    const std::string before = ReadFile(d.Ini());
    const Case close{"close", host::kAfterEffects, {13, 28}, onScreen, Press::CloseBox, true};
    d.Effect().SetFloat(d.Index("Blur Amount"), 99.0);
    d.Open(close, main);
    Check(ReadFile(d.Ini()) == before, "close: the file is unchanged");

    // Restore: the file goes, and the next lifecycle has the built-in defaults.
    const Case restore{"restore", host::kAfterEffects, {13, 28}, onScreen, Press::Restore, true};
    d.Open(restore, main);
    Check(!fs::exists(d.Ini()), "restore: the file is deleted");
    d.EndLifecycle();
    d.NewLifecycle();
    Check(d.Param("Blur Amount").u.fs_d.value == 0.0 && d.Param("Blur Type").u.pd.value == 2,
          "restore: the next lifecycle has the built-in defaults");
    d.Stop();
    DestroyWindow(main);

    // A legacy After Effects: both settings buttons disabled, OK still closes; nothing is written.
    const Case legacy{"legacy", host::kAfterEffects, {12, 11}, partlyOffScreen, Press::Ok, false, true};
    main = MakeMainWindow(legacy.mainWindow);
    d.Start(legacy, main);
    d.Open(legacy, main);
    Check(!fs::exists(d.Ini()), "legacy: no file");
    d.Stop();
    DestroyWindow(main);

    // A host that names a plug-in file that is not loaded: there is no module to take the template from,
    // and the host program's own dialog 201 (this driver has one) must not stand in for it.
    const Case unloaded{"unloaded", host::kAfterEffects, {13, 28}, onScreen, Press::Store, true, false,
                        false};
    main = MakeMainWindow(unloaded.mainWindow);
    d.Start(unloaded, main);
    const fs::path loadedFile = d.PlugIn().File();
    d.PlugIn().SetFile(loadedFile.parent_path() / "Elsewhere.aex");
    d.Open(unloaded, main);
    d.PlugIn().SetFile(loadedFile);
    d.Stop();
    DestroyWindow(main);

    // Another application at the same version keeps them enabled.
    const Case other{"other", kOtherApplication, {12, 11}, onScreen, Press::Ok, true};
    main = MakeMainWindow(other.mainWindow);
    d.Start(other, main);
    d.Open(other, main);
    Check(!fs::exists(d.Ini()), "other: OK writes no file");
    d.Stop();
    DestroyWindow(main);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4 || (std::string(argv[3]) != "en" && std::string(argv[3]) != "ja")) {
        std::fprintf(stderr, "usage: dialog_driver PLUGIN FOLDER en|ja [SHOTS]\n");
        return 2;
    }
    // A dialog that never closes must not hold a test run forever.
    std::thread([] {
        Sleep(120000);
        std::fprintf(stderr, "dialog_driver: gave up after 120 s\n");
        ExitProcess(3);
    }).detach();

    const fs::path folder = fs::path(argv[2]).make_preferred();
    const fs::path copy = folder / fs::path(argv[1]).filename();
    fs::create_directories(folder);
    fs::copy_file(fs::path(argv[1]).make_preferred(), copy, fs::copy_options::overwrite_existing);
    const fs::path shots = argc > 4 ? fs::path(argv[4]).make_preferred() : fs::path();
    try {
        Driver driver(copy, folder, std::string(argv[3]) == "ja" ? kJapanese : kEnglish, shots);
        CheckTemplate(driver.Module());
        RunCases(driver);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "dialog_driver: %s\n", e.what());
        return 1;
    }
    std::printf("%d check(s) failed\n", g_failures);
    return g_failures ? 1 : 0;
}
