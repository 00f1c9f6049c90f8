#pragma once
// The Windows services the effect needs, behind one small interface: Win32 on Windows, a stand-in that
// behaves the same way elsewhere. Nothing here allocates through the C++ runtime's heap on the effect's
// behalf except where the Win32 function itself would.

namespace platform {

// The process's command line as one ANSI string (GetCommandLineA). The stand-in rebuilds it from the
// process's arguments, quoting those that hold spaces or tabs.
const char* CommandLineA();

// Whether the Shift key is down right now (GetKeyState). The stand-in answers from the environment
// variable TOVRIN_SHIFT_KEY ("1" = down), so that a test can hold the key for a plug-in it has loaded.
bool IsShiftKeyDown();

// The C runtime's multibyte code page (_getmbcp). The stand-in answers 932 when the runtime's character
// locale is Japanese (ja_*), and 0 otherwise.
int MultibyteCodePage();

// Sets the C runtime's locale for all categories to the user's default.
void UseUserDefaultLocale();

} // namespace platform
