#pragma once
// The text of a profile (INI) file as the Win32 profile functions see it: its encoding, its lines, the first
// matching section and key, and the edit that setting a key makes. The stand-in's reads and every platform's
// whole-file store share it; the format is described in Profile.h.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace platform::profile_text {

enum class Encoding { Ansi, Utf8, Utf16 };

struct Line {
    enum Kind { Blank, Section, Key } kind = Blank;
    std::size_t start = 0;      // first character of the line
    std::size_t contentEnd = 0; // end of the line without its line end
    std::size_t next = 0;       // start of the following line
    std::string_view name;      // section or key name
    bool hasValue = false;      // a key line without '=' has no value
    std::string_view value;
};

// A file's bytes with their lines. Not copyable: the lines point into the text.
class Document {
public:
    explicit Document(std::string bytes);
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    Encoding encoding() const { return encoding_; }
    const std::string& bytes() const { return bytes_; }
    // The lines as the profile functions see them, in the order of the file.
    const std::vector<Line>& lines() const { return lines_; }

    // The line of the first key of that name in the first section of that name; null when there is none
    // (an empty section name is the part before the first section).
    const Line* FindKey(std::string_view section, std::string_view key) const;

    // Sets the key to `value` as WritePrivateProfileStringA does: replaces the first matching key of the
    // first matching section, or adds the key (and the section) where Windows adds it; every other line is
    // kept byte for byte. Leading spaces of the value are dropped. False for a UTF-16 file, whose other text
    // the 8-bit view has lost.
    bool Set(std::string_view section, std::string_view key, std::string_view value);

private:
    void Parse();

    std::string bytes_;
    std::size_t textStart_ = 0; // after a UTF-8 byte-order mark
    std::string narrowed_;      // a UTF-16 file as 8-bit text (non-ASCII becomes '?')
    Encoding encoding_ = Encoding::Ansi;
    std::vector<Line> lines_;
};

// Windows drops the trailing spaces of a caller's default but always keeps its first character.
std::string_view DefaultText(const char* fallback);

// Copies `text` into `out`, cut to size - 1 characters and terminated; returns the length copied. Size > 0.
unsigned int CopyCut(std::string_view text, char* out, unsigned int size);

// As CopyCut, but one pair of matching quotes around the value is dropped; when the value has to be cut,
// the closing quote goes with the last character that fits, exactly as Windows does.
unsigned int CopyEntry(std::string_view value, char* out, unsigned int size);

// RtlCharToInteger with base 0, as GetPrivateProfileIntA uses it: leading controls and spaces skipped, one
// sign, a lower-case base prefix ("0x", "0o", "0b"), digits up to the first that does not belong to the
// base, wrapping modulo 2^32.
unsigned int ParseWrappingInteger(std::string_view s);

} // namespace platform::profile_text
