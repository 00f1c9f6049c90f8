#include <windows.h>

#include <cstring>

#include "platform/Profile.h"

namespace platform {

unsigned int ReadProfileInt(const char* section, const char* key, int fallback, const char* path) {
    if (!section || !key || !path)
        return static_cast<unsigned int>(fallback);
    return GetPrivateProfileIntA(section, key, fallback, path);
}

unsigned int ReadProfileString(const char* section, const char* key, const char* fallback, char* out,
                               unsigned int size, const char* path) {
    if (!out || size == 0)
        return 0;
    if (!section || !key || !path) {
        // Answer as for a missing entry, without letting Windows list section or key names into `out`.
        const char* text = fallback ? fallback : "";
        std::size_t n = std::strlen(text);
        while (n > 0 && text[n - 1] == ' ')
            --n;
        if (n > size - 1)
            n = size - 1;
        std::memcpy(out, text, n);
        out[n] = '\0';
        return static_cast<unsigned int>(n);
    }
    return GetPrivateProfileStringA(section, key, fallback, out, size, path);
}

bool WriteProfileEntry(const char* section, const char* key, const char* value, const char* path) {
    if (!section || !key || !value || !path)
        return false;
    return WritePrivateProfileStringA(section, key, value, path) != FALSE;
}

} // namespace platform
