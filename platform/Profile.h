#pragma once
// Private-profile (INI) files: the Win32 profile functions on Windows, and elsewhere a reader and writer of
// the same text format that gives the same answers. The argument order follows the Win32 functions.
//
// The format: "[name]" lines open a section (the name is what lies between the '[' and the last ']' of
// the line); "key=value" lines belong to the section above them; "\r\n", "\n" and a lone "\r" end lines.
// Spaces around keys and values are ignored; section and key names compare without regard to case; the first
// matching section and, in it, the first matching key win. A missing file reads as empty. Paths must be full
// paths: Windows looks up a bare file name in the Windows directory.
//
// Section, key and path must not be null: the Win32 functions give a null section or key other meanings
// (listing names, deleting entries) that nothing here needs, so null is answered like a missing entry.
//
// Nothing here waits on a path that is not a regular file: a folder, a pipe or a device named like the file
// reads as an unreadable file (the caller's default) and refuses writes.
#include <cstddef>
#include <optional>

#include "platform/Files.h"
#include "platform/ProfileText.h"

namespace platform {

// GetPrivateProfileIntA: the value's leading integer (optional sign, then decimal digits, or "0x" hex,
// "0o" octal, "0b" binary), 0 when it has no digits; `fallback` when the key is missing or its value is
// empty. Only the first 29 characters of the value count; larger numbers wrap modulo 2^32.
unsigned int ReadProfileInt(const char* section, const char* key, int fallback, const char* path);

// GetPrivateProfileStringA: copies the value (without one pair of enclosing quotes) or, when the key is
// missing, `fallback` (without trailing spaces; null reads as empty) into `out`, cut to size - 1
// characters and always terminated. Returns the number of characters copied; 0 when out is null or size 0.
unsigned int ReadProfileString(const char* section, const char* key, const char* fallback, char* out,
                               unsigned int size, const char* path);

// WritePrivateProfileStringA: sets the key to the value (its leading spaces dropped), replacing the first
// matching key of the first matching section, or adding the key, the section and the file as needed.
// Every other line is kept. Returns false when the file cannot be read or written (the caller may ignore
// it); a null value is refused rather than deleting the key.
bool WriteProfileEntry(const char* section, const char* key, const char* value, const char* path);

// A profile file read once, so that many reads answer from the same state of the file even while another
// process replaces it.
class ProfileSnapshot {
public:
    explicit ProfileSnapshot(const char* path);
    ProfileSnapshot(const ProfileSnapshot&) = delete;
    ProfileSnapshot& operator=(const ProfileSnapshot&) = delete;

    // ReadProfileString's answer for the file as it was read.
    unsigned int ReadString(const char* section, const char* key, const char* fallback, char* out,
                            unsigned int size) const;

private:
    FileProblem load_ = FileProblem::None; // Missing reads as empty; any other problem as unreadable
    std::optional<profile_text::Document> document_;
};

struct ProfileEntry {
    const char* key;
    const char* value;
};

// Sets every entry's key under `section`, as WriteProfileEntry would one after the other, but writes the
// file once and replaces it whole (ReplaceWholeFile): a reader sees every entry or none. The result says what
// stopped the write; the file is then as it was. A UTF-16 file is refused (NotEditable) on every platform,
// since its text is edited through an 8-bit view.
FileResult WriteProfileEntries(const char* section, const ProfileEntry* entries, std::size_t count,
                               const char* path);

} // namespace platform
