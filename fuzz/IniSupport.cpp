#include "fuzz/IniSupport.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "fuzz/FuzzSupport.h"
#include "params/Controls.h"

namespace fuzz {

using platform::profile_text::Document;
using platform::profile_text::Line;

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    FUZZ_CHECK(out.good(), "cannot write the scratch file " + path);
}

namespace {

// What the lookups trim from a name: spaces, the controls from tab to carriage return, and Ctrl-Z.
std::string_view Trimmed(std::string_view s) {
    const auto space = [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u == ' ' || (u >= '\t' && u <= '\r') || u == 0x1a;
    };
    while (!s.empty() && space(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && space(s.back()))
        s.remove_suffix(1);
    return s;
}

} // namespace

bool SameProfileName(std::string_view a, std::string_view b) {
    a = Trimmed(a);
    b = Trimmed(b);
    if (a.size() != b.size())
        return false;
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

std::string Shown(std::string_view s) {
    std::string out;
    for (unsigned char c : s) {
        if (c >= 0x20 && c < 0x7f && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    return out;
}

Answer Lookup(const Document& doc, std::string_view section, std::string_view key) {
    const Line* line = doc.FindKey(section, key);
    if (!line || !line->hasValue)
        return {};
    return {true, std::string(line->value)};
}

std::vector<Entry> KeysOf(const Document& doc) {
    std::vector<Entry> entries;
    std::string_view section;
    for (const Line& line : doc.lines()) {
        if (line.kind == Line::Section)
            section = line.name;
        else if (line.kind == Line::Key)
            entries.push_back({std::string(section), std::string(line.name)});
    }
    return entries;
}

void CheckStoredDefaultsInRange(const StoredDefaultsReader& reader) {
    for (const ControlDef& control : kControls) {
        const std::string name = control.name;
        switch (control.kind) {
        case ControlKind::Popup: {
            const A_long v = reader.Integer(control);
            FUZZ_CHECK(v >= 1 && v <= control.choiceCount, name + " " + std::to_string(v));
            break;
        }
        case ControlKind::Slider: {
            const A_long v = reader.Integer(control);
            FUZZ_CHECK(v >= control.range.validMin && v <= control.range.validMax,
                       name + " " + std::to_string(v));
            break;
        }
        case ControlKind::Checkbox: {
            const A_long v = reader.Integer(control);
            FUZZ_CHECK(v == 0 || v == 1, name + " " + std::to_string(v));
            break;
        }
        case ControlKind::FloatSlider: {
            const float v = reader.Float(control);
            FUZZ_CHECK(std::isfinite(v) && v >= control.range.validMin && v <= control.range.validMax,
                       name + " " + std::to_string(v));
            break;
        }
        case ControlKind::Color:
            FUZZ_CHECK(reader.Color(control).alpha == 255, name);
            break;
        case ControlKind::TopicStart:
        case ControlKind::TopicEnd:
            break;
        }
    }
}

} // namespace fuzz
