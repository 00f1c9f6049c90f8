#include <windows.h>

#include <cstring>

#include "platform/Profile.h"

namespace platform {

namespace {
// Windows would open a pipe or a device named like the file and could wait on it for ever; such a path, and
// a folder, answer as a file that cannot be read.
bool MayOpen(const char* path) {
    const FileProblem problem = ProbeRegularFile(path).problem;
    return problem == FileProblem::None || problem == FileProblem::Missing ||
           problem == FileProblem::NoFolder;
}
} // namespace

unsigned int ReadProfileInt(const char* section, const char* key, int fallback, const char* path) {
    if (!section || !key || !path || !MayOpen(path))
        return static_cast<unsigned int>(fallback);
    return GetPrivateProfileIntA(section, key, fallback, path);
}

unsigned int ReadProfileString(const char* section, const char* key, const char* fallback, char* out,
                               unsigned int size, const char* path) {
    if (!out || size == 0)
        return 0;
    if (!section || !key || !path) {
        // Answer as for a missing entry, without letting Windows list section or key names into `out`.
        return ProfileSnapshot(nullptr).ReadString(nullptr, nullptr, fallback, out, size);
    }
    if (!MayOpen(path))
        return profile_text::CopyCut(profile_text::DefaultText(fallback), out, size);
    return GetPrivateProfileStringA(section, key, fallback, out, size, path);
}

bool WriteProfileEntry(const char* section, const char* key, const char* value, const char* path) {
    if (!section || !key || !value || !path || !MayOpen(path))
        return false;
    return WritePrivateProfileStringA(section, key, value, path) != FALSE;
}

} // namespace platform
