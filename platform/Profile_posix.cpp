// The INI reader and writer that stands in for the Win32 profile functions. It answers as they do on the
// same files: whitespace and quotes as documented, names without regard to ASCII case, the first matching
// section and key, a missing file as empty. Non-ASCII text is compared and returned byte for byte.
#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Profile.h"

namespace platform {

namespace {

// Windows also counts Ctrl-Z, the old end-of-file mark, as a space in profile files.
bool IsProfileSpace(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u == ' ' || (u >= '\t' && u <= '\r') || u == 0x1a;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsProfileSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsProfileSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

// Names and values are C strings on Windows: an embedded NUL ends them.
std::string_view CutAtNul(std::string_view s) {
    const std::size_t nul = s.find('\0');
    return nul == std::string_view::npos ? s : s.substr(0, nul);
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    }
    return true;
}

enum class Encoding { Ansi, Utf8, Utf16 };

struct ProfileText {
    std::string bytes;         // the file as stored
    std::size_t textStart = 0; // after a UTF-8 byte-order mark
    std::string narrowed;      // a UTF-16 file as 8-bit text (non-ASCII becomes '?')
    Encoding encoding = Encoding::Ansi;

    std::string_view Text() const {
        if (encoding == Encoding::Utf16)
            return narrowed;
        return std::string_view(bytes).substr(textStart);
    }
};

enum class Load { Ok, Missing, Unreadable };

bool ParentFolderExists(const char* path) {
    std::string folder(path);
    const std::size_t slash = folder.find_last_of('/');
    if (slash == std::string::npos)
        return true;
    folder.resize(slash == 0 ? 1 : slash);
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void Decode(ProfileText& file) {
    const std::string& b = file.bytes;
    if (b.size() >= 3 && b.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        file.encoding = Encoding::Utf8;
        file.textStart = 3;
        return;
    }
    const bool little = b.size() >= 2 && b[0] == '\xFF' && b[1] == '\xFE';
    const bool big = b.size() >= 2 && b[0] == '\xFE' && b[1] == '\xFF';
    if (!little && !big)
        return;
    file.encoding = Encoding::Utf16;
    file.narrowed.reserve(b.size() / 2);
    for (std::size_t i = 2; i + 1 < b.size(); i += 2) {
        const auto lo = static_cast<unsigned char>(b[little ? i : i + 1]);
        const auto hi = static_cast<unsigned char>(b[little ? i + 1 : i]);
        const unsigned unit = lo | (hi << 8);
        file.narrowed.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    }
}

// A missing file is an empty profile; a folder missing on the way, a directory or a file that cannot be
// read is not a profile at all (Windows then answers with the caller's default untouched).
Load LoadProfile(const char* path, ProfileText& file) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT && ParentFolderExists(path))
            return Load::Missing;
        return Load::Unreadable;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Load::Unreadable;
    }
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            return Load::Unreadable;
        }
        if (n == 0)
            break;
        file.bytes.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    Decode(file);
    return Load::Ok;
}

struct Line {
    enum Kind { Blank, Section, Key } kind = Blank;
    std::size_t start = 0;      // first character of the line
    std::size_t contentEnd = 0; // end of the line without its line end
    std::size_t next = 0;       // start of the following line
    std::string_view name;      // section or key name
    bool hasValue = false;      // a key line without '=' has no value
    std::string_view value;
};

// A line ends at "\r\n", "\n" or a lone "\r".
std::vector<Line> ParseLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        Line line;
        line.start = pos;
        const std::size_t stop = text.find_first_of("\r\n", pos);
        line.contentEnd = stop == std::string_view::npos ? text.size() : stop;
        if (stop == std::string_view::npos)
            line.next = text.size();
        else if (text[stop] == '\r' && stop + 1 < text.size() && text[stop + 1] == '\n')
            line.next = stop + 2;
        else
            line.next = stop + 1;
        pos = line.next;

        const std::string_view content = Trim(text.substr(line.start, line.contentEnd - line.start));
        if (content.empty()) {
            lines.push_back(line);
            continue;
        }
        if (content.front() == '[') {
            const std::size_t close = content.find_last_of(']');
            if (close != std::string_view::npos && close > 0) {
                line.kind = Line::Section;
                line.name = CutAtNul(Trim(content.substr(1, close - 1)));
                lines.push_back(line);
                continue;
            }
        }
        line.kind = Line::Key;
        const std::size_t equals = content.find('=');
        if (equals == std::string_view::npos) {
            line.name = CutAtNul(content);
        } else {
            line.name = CutAtNul(Trim(content.substr(0, equals)));
            line.hasValue = true;
            line.value = CutAtNul(Trim(content.substr(equals + 1)));
        }
        lines.push_back(line);
    }
    return lines;
}

struct Found {
    std::ptrdiff_t section = -1; // index of the section line; -1 for the nameless part before any section
    bool sectionFound = false;
    std::ptrdiff_t key = -1;           // index of the key line, -1 when absent
    std::ptrdiff_t lastInSection = -1; // last non-blank line of the section (its header when it has no keys)
};

// The first section of that name and, in it, the first key of that name. Later sections of the same
// name are never looked at.
Found Find(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
    Found found;
    std::ptrdiff_t i = 0;
    const auto count = static_cast<std::ptrdiff_t>(lines.size());
    if (section.empty()) {
        found.sectionFound = true;
    } else {
        for (; i < count; ++i) {
            if (lines[i].kind == Line::Section && SameName(lines[i].name, section))
                break;
        }
        if (i == count)
            return found;
        found.sectionFound = true;
        found.section = i;
        found.lastInSection = i;
        ++i;
    }
    for (; i < count && lines[i].kind != Line::Section; ++i) {
        if (lines[i].kind == Line::Blank)
            continue;
        found.lastInSection = i;
        if (found.key < 0 && SameName(lines[i].name, key))
            found.key = i;
    }
    return found;
}

// Windows drops trailing spaces from the caller's default but always keeps its first character.
std::string_view DefaultText(const char* fallback) {
    std::string_view text = fallback ? fallback : "";
    while (text.size() > 1 && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

unsigned int CopyCut(std::string_view text, char* out, unsigned int size) {
    const std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
    return static_cast<unsigned int>(std::strlen(out));
}

// One pair of matching quotes around a value is dropped; when the value has to be cut, the closing quote
// is dropped with the last character that fits, exactly as Windows does.
unsigned int CopyEntry(std::string_view value, char* out, unsigned int size) {
    bool quoted = false;
    if (value.size() >= 2 && (value.front() == '\'' || value.front() == '"') &&
        value.back() == value.front()) {
        quoted = true;
        value.remove_prefix(1);
    }
    CopyCut(value, out, size);
    if (quoted && size >= value.size()) {
        const std::size_t n = std::strlen(out);
        if (n > 0)
            out[n - 1] = '\0';
    }
    return static_cast<unsigned int>(std::strlen(out));
}

// RtlCharToInteger with base 0: leading controls and spaces skipped, one sign, a lower-case base prefix,
// digits up to the first that does not belong to the base, wrapping modulo 2^32.
unsigned int ParseInteger(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && static_cast<unsigned char>(s[i]) <= ' ')
        ++i;
    bool minus = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        minus = s[i] == '-';
        ++i;
    }
    unsigned base = 10;
    if (s.size() - i >= 2 && s[i] == '0') {
        if (s[i + 1] == 'x')
            base = 16;
        else if (s[i + 1] == 'o')
            base = 8;
        else if (s[i + 1] == 'b')
            base = 2;
        if (base != 10)
            i += 2;
    }
    unsigned int total = 0;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'z')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'Z')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            break;
        if (digit >= base)
            break;
        total = total * base + digit;
    }
    return minus ? 0u - total : total;
}

bool WriteWholeFile(const char* path, const std::string& bytes) {
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return ::close(fd) == 0;
}

} // namespace

unsigned int ReadProfileString(const char* section, const char* key, const char* fallback, char* out,
                               unsigned int size, const char* path) {
    if (!out || size == 0)
        return 0;
    if (!section || !key || !path) {
        std::string_view text = fallback ? fallback : "";
        while (!text.empty() && text.back() == ' ')
            text.remove_suffix(1);
        return CopyCut(text, out, size);
    }
    ProfileText file;
    switch (LoadProfile(path, file)) {
    case Load::Unreadable:
        return CopyCut(DefaultText(fallback), out, size);
    case Load::Missing:
        return CopyEntry(DefaultText(fallback), out, size);
    case Load::Ok:
        break;
    }
    const std::string_view text = file.Text();
    const std::vector<Line> lines = ParseLines(text);
    const Found found = Find(lines, Trim(section), Trim(key));
    if (found.key >= 0 && lines[static_cast<std::size_t>(found.key)].hasValue)
        return CopyEntry(lines[static_cast<std::size_t>(found.key)].value, out, size);
    return CopyEntry(DefaultText(fallback), out, size);
}

unsigned int ReadProfileInt(const char* section, const char* key, int fallback, const char* path) {
    char value[30];
    const unsigned int n = ReadProfileString(section, key, "", value, sizeof value, path);
    if (n == 0)
        return static_cast<unsigned int>(fallback);
    return ParseInteger(std::string_view(value, n));
}

bool WriteProfileEntry(const char* section, const char* key, const char* value, const char* path) {
    if (!section || !key || !value || !path)
        return false;
    ProfileText file;
    switch (LoadProfile(path, file)) {
    case Load::Unreadable:
        return false;
    case Load::Missing:
    case Load::Ok:
        break;
    }
    // A UTF-16 file is read through a lossy narrowing; rewriting it would lose its other text.
    if (file.encoding == Encoding::Utf16)
        return false;

    std::string_view newValue = value;
    while (!newValue.empty() && IsProfileSpace(newValue.front()))
        newValue.remove_prefix(1);
    const std::string_view sectionName = Trim(section);
    const std::string_view keyName = Trim(key);

    const std::size_t base = file.textStart;
    const std::string_view text = file.Text();
    const std::vector<Line> lines = ParseLines(text);
    const Found found = Find(lines, sectionName, keyName);
    std::string& bytes = file.bytes;

    if (found.key >= 0) {
        const Line& line = lines[static_cast<std::size_t>(found.key)];
        std::string replacement(line.name);
        replacement += '=';
        replacement.append(newValue);
        bytes.replace(base + line.start, line.contentEnd - line.start, replacement);
    } else if (found.sectionFound && found.lastInSection >= 0) {
        const Line& last = lines[static_cast<std::size_t>(found.lastInSection)];
        std::string insertion;
        if (last.next == last.contentEnd)
            insertion += "\r\n"; // the last line of the file had no line end
        insertion.append(keyName);
        insertion += '=';
        insertion.append(newValue);
        insertion += "\r\n";
        bytes.insert(base + last.next, insertion);
    } else if (found.sectionFound) {
        // The nameless part before the first section, still empty: the key goes first in the file.
        std::string insertion(keyName);
        insertion += '=';
        insertion.append(newValue);
        insertion += "\r\n";
        bytes.insert(base, insertion);
    } else {
        if (!text.empty() && text.back() != '\n')
            bytes += "\r\n";
        bytes += '[';
        bytes.append(sectionName);
        bytes += "]\r\n";
        bytes.append(keyName);
        bytes += '=';
        bytes.append(newValue);
        bytes += "\r\n";
    }
    return WriteWholeFile(path, bytes);
}

} // namespace platform
