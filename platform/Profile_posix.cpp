// The stand-in for the Win32 profile functions: the shared profile text over POSIX files. It answers as
// Windows does on the same files.
#include <string_view>

#include "platform/Profile.h"

namespace platform {

unsigned int ReadProfileString(const char* section, const char* key, const char* fallback, char* out,
                               unsigned int size, const char* path) {
    if (!out || size == 0)
        return 0;
    if (!section || !key || !path)
        return ProfileSnapshot(nullptr).ReadString(nullptr, nullptr, fallback, out, size);
    return ProfileSnapshot(path).ReadString(section, key, fallback, out, size);
}

unsigned int ReadProfileInt(const char* section, const char* key, int fallback, const char* path) {
    char value[30];
    const unsigned int n = ReadProfileString(section, key, "", value, sizeof value, path);
    if (n == 0)
        return static_cast<unsigned int>(fallback);
    return profile_text::ParseWrappingInteger(std::string_view(value, n));
}

bool WriteProfileEntry(const char* section, const char* key, const char* value, const char* path) {
    if (!section || !key || !value || !path)
        return false;
    const ProfileEntry entry{key, value};
    return WriteProfileEntries(section, &entry, 1, path).Ok();
}

} // namespace platform
