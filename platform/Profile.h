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

} // namespace platform
