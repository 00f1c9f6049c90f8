// Profile text as Windows reads and edits it: whitespace and quotes as documented, names without regard to
// ASCII case, the first matching section and key. Non-ASCII text is compared and returned byte for byte.
#include "platform/ProfileText.h"

#include <cstring>
#include <utility>

namespace platform::profile_text {

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

// The marks Parse takes for a UTF-8 or a UTF-16 text.
bool StartsWithByteOrderMark(const std::string& b) {
    return (b.size() >= 3 && b.compare(0, 3, "\xEF\xBB\xBF") == 0) ||
           (b.size() >= 2 && ((b[0] == '\xFF' && b[1] == '\xFE') || (b[0] == '\xFE' && b[1] == '\xFF')));
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

} // namespace

Document::Document(std::string bytes) : bytes_(std::move(bytes)) {
    Parse();
}

void Document::Parse() {
    const std::string& b = bytes_;
    textStart_ = 0;
    narrowed_.clear();
    encoding_ = Encoding::Ansi;
    if (b.size() >= 3 && b.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        encoding_ = Encoding::Utf8;
        textStart_ = 3;
    } else if (b.size() >= 2 && ((b[0] == '\xFF' && b[1] == '\xFE') || (b[0] == '\xFE' && b[1] == '\xFF'))) {
        const bool little = b[0] == '\xFF';
        encoding_ = Encoding::Utf16;
        narrowed_.reserve(b.size() / 2);
        for (std::size_t i = 2; i + 1 < b.size(); i += 2) {
            const auto lo = static_cast<unsigned char>(b[little ? i : i + 1]);
            const auto hi = static_cast<unsigned char>(b[little ? i + 1 : i]);
            const unsigned unit = lo | (hi << 8);
            narrowed_.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
        }
    }
    const std::string_view text = encoding_ == Encoding::Utf16 ? std::string_view(narrowed_)
                                                               : std::string_view(bytes_).substr(textStart_);
    lines_ = ParseLines(text);
}

const Line* Document::FindKey(std::string_view section, std::string_view key) const {
    const Found found = Find(lines_, Trim(section), Trim(key));
    return found.key >= 0 ? &lines_[static_cast<std::size_t>(found.key)] : nullptr;
}

bool Document::Set(std::string_view section, std::string_view key, std::string_view value) {
    if (encoding_ == Encoding::Utf16)
        return false;
    while (!value.empty() && IsProfileSpace(value.front()))
        value.remove_prefix(1);
    const std::string_view sectionName = Trim(section);
    const std::string_view keyName = Trim(key);
    const std::string_view text = std::string_view(bytes_).substr(textStart_);
    const std::size_t base = textStart_;
    const Found found = Find(lines_, sectionName, keyName);

    // Built apart first: the names and the value may point into the text being edited.
    std::string edit;
    if (found.key >= 0) {
        const Line& line = lines_[static_cast<std::size_t>(found.key)];
        edit.append(line.name);
        edit += '=';
        edit.append(value);
        bytes_.replace(base + line.start, line.contentEnd - line.start, edit);
    } else if (found.sectionFound && found.lastInSection >= 0) {
        const Line& last = lines_[static_cast<std::size_t>(found.lastInSection)];
        if (last.next == last.contentEnd)
            edit += "\r\n"; // the last line of the file had no line end
        edit.append(keyName);
        edit += '=';
        edit.append(value);
        edit += "\r\n";
        bytes_.insert(base + last.next, edit);
    } else if (found.sectionFound) {
        // The nameless part before the first section, still empty: the key goes first in the file.
        edit.append(keyName);
        edit += '=';
        edit.append(value);
        edit += "\r\n";
        bytes_.insert(base, edit);
    } else {
        if (!text.empty() && text.back() != '\n')
            edit += "\r\n";
        edit += '[';
        edit.append(sectionName);
        edit += "]\r\n";
        edit.append(keyName);
        edit += '=';
        edit.append(value);
        edit += "\r\n";
        bytes_ += edit;
    }
    // An 8-bit text whose first line now starts with a byte-order mark (a key named "\xFE\xFF" written at
    // the start) would read as another encoding: a line end before it keeps every line as it was.
    if (encoding_ == Encoding::Ansi && StartsWithByteOrderMark(bytes_))
        bytes_.insert(0, "\r\n");
    Parse();
    return true;
}

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

unsigned int ParseWrappingInteger(std::string_view s) {
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

} // namespace platform::profile_text
