#include <windows.h>

#include <clocale>
#include <mbctype.h>

#include "platform/Platform.h"

namespace platform {

const char* CommandLineA() {
    return GetCommandLineA();
}

bool IsShiftKeyDown() {
    return (GetKeyState(VK_SHIFT) & 0x8000) != 0;
}

int MultibyteCodePage() {
    return _getmbcp();
}

void UseUserDefaultLocale() {
    std::setlocale(LC_ALL, "");
}

} // namespace platform
