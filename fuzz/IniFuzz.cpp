// Profile (INI) files and the stored defaults over arbitrary file bytes. For any file:
//   - every stored default read from it is a value its control takes;
//   - a text read into a buffer of any size is terminated inside it, and a snapshot answers as a fresh read;
//   - storing defaults into it succeeds (a UTF-16 file is refused and left as it was); afterwards every
//     stored value reads back as written, every key of the other sections reads as before, and storing the
//     same values again changes no byte.
// A store sets a few of the controls, now and then all of them: each key costs a pass over the file.
//
// Input: one byte for the size of the read buffers, four choosing the controls stored and their values,
// then the file.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "params/Controls.h"
#include "params/StoredDefaults.h"
#include "platform/Files.h"
#include "platform/Profile.h"
#include "platform/ProfileText.h"

namespace {

using platform::profile_text::Document;
using platform::profile_text::Line;

std::string ReadBack(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    FUZZ_CHECK(out.good(), "cannot write the scratch file " + path);
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
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

// What a reader of the file answers for (section, key): whether the key has a value, and the value.
struct Answer {
    bool found = false;
    std::string value;
    bool operator==(const Answer&) const = default;
};

Answer Lookup(const Document& doc, std::string_view section, std::string_view key) {
    const Line* line = doc.FindKey(section, key);
    if (!line || !line->hasValue)
        return {};
    return {true, std::string(line->value)};
}

// The section and key of every key line of the file (the nameless part before any section is "").
struct Entry {
    std::string section, key;
};

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

// Values to store, each one its control takes, drawn from `seed`: every control one time in 32, else
// one to four of them.
struct StoredValue {
    const ControlDef* control;
    PF_ParamDef def;
};

std::vector<StoredValue> ValuesToStore(std::uint32_t seed) {
    std::mt19937 random(seed);
    const bool all = random() % 32 == 0;
    const unsigned count = 1 + random() % 4;
    std::vector<StoredValue> values;
    for (unsigned k = 0; k < (all ? std::size(kControls) : count); ++k) {
        const ControlDef& control = kControls[all ? k : random() % std::size(kControls)];
        if (std::any_of(values.begin(), values.end(),
                        [&](const StoredValue& v) { return v.control == &control; }))
            continue;
        PF_ParamDef def{};
        A_long integer = 0;
        switch (control.kind) {
        case ControlKind::Popup:
            integer = 1 + static_cast<A_long>(random() % static_cast<unsigned>(control.choiceCount));
            break;
        case ControlKind::Slider:
            integer = static_cast<A_long>(control.range.validMin) +
                      static_cast<A_long>(random() % static_cast<unsigned>(control.range.validMax -
                                                                           control.range.validMin + 1));
            break;
        case ControlKind::Checkbox:
            integer = static_cast<A_long>(random() & 1);
            break;
        case ControlKind::FloatSlider: {
            const double t = static_cast<double>(random()) / static_cast<double>(std::mt19937::max());
            // Whole numbers, halves and arbitrary fractions, as people set them.
            double v = control.range.validMin + t * (control.range.validMax - control.range.validMin);
            if (random() % 3 == 0)
                v = std::round(v);
            def.u.fs_d.value = v;
            break;
        }
        case ControlKind::Color:
            def.u.cd.value = PF_Pixel{static_cast<A_u_char>(random()), static_cast<A_u_char>(random()),
                                      static_cast<A_u_char>(random()), static_cast<A_u_char>(random())};
            break;
        case ControlKind::TopicStart:
        case ControlKind::TopicEnd:
            continue;
        }
        if (control.kind != ControlKind::FloatSlider && control.kind != ControlKind::Color)
            std::memcpy(&def.u, &integer, sizeof integer);
        values.push_back({&control, def});
    }
    return values;
}

// A float slider's value as it comes back from the file: "%f" text, read and held to the range.
float ThroughText(const ControlDef& control, double value) {
    char text[320];
    std::snprintf(text, sizeof text, "%f", value);
    double read = std::strtod(text, nullptr);
    read = read < control.range.validMin   ? control.range.validMin
           : read > control.range.validMax ? control.range.validMax
                                           : read;
    return static_cast<float>(read);
}

void CheckReadsInRange(const StoredDefaultsReader& reader) {
    for (const ControlDef& control : kControls) {
        switch (control.kind) {
        case ControlKind::Popup: {
            const A_long v = reader.Integer(control);
            FUZZ_CHECK(v >= 1 && v <= control.choiceCount,
                       std::string(control.name) + " " + std::to_string(v));
            break;
        }
        case ControlKind::Slider: {
            const A_long v = reader.Integer(control);
            FUZZ_CHECK(v >= control.range.validMin && v <= control.range.validMax,
                       std::string(control.name) + " " + std::to_string(v));
            break;
        }
        case ControlKind::Checkbox: {
            const A_long v = reader.Integer(control);
            FUZZ_CHECK(v == 0 || v == 1, std::string(control.name) + " " + std::to_string(v));
            break;
        }
        case ControlKind::FloatSlider: {
            const float v = reader.Float(control);
            FUZZ_CHECK(std::isfinite(v) && v >= control.range.validMin && v <= control.range.validMax,
                       std::string(control.name) + " " + std::to_string(v));
            break;
        }
        case ControlKind::Color:
            FUZZ_CHECK(reader.Color(control).alpha == 255, control.name);
            break;
        case ControlKind::TopicStart:
        case ControlKind::TopicEnd:
            break;
        }
    }
}

void CheckReadsAsStored(const StoredDefaultsReader& reader, const std::vector<StoredValue>& values) {
    for (const StoredValue& stored : values) {
        const ControlDef& control = *stored.control;
        switch (control.kind) {
        case ControlKind::Popup:
        case ControlKind::Slider:
        case ControlKind::Checkbox: {
            A_long written;
            std::memcpy(&written, &stored.def.u, sizeof written);
            const A_long read = reader.Integer(control);
            FUZZ_CHECK(read == written, std::string(control.name) + ": wrote " + std::to_string(written) +
                                            ", read " + std::to_string(read));
            break;
        }
        case ControlKind::FloatSlider: {
            const float read = reader.Float(control);
            const float expected = ThroughText(control, stored.def.u.fs_d.value);
            FUZZ_CHECK(read == expected, std::string(control.name) + ": expected " +
                                             std::to_string(expected) + ", read " + std::to_string(read));
            break;
        }
        case ControlKind::Color: {
            const PF_Pixel written = stored.def.u.cd.value, read = reader.Color(control);
            FUZZ_CHECK(read.red == written.red && read.green == written.green && read.blue == written.blue &&
                           read.alpha == 255,
                       control.name);
            break;
        }
        default:
            break;
        }
    }
}

// Reads of names the file holds into a buffer of `size`: terminated inside the buffer, the length returned
// is the text's, and a snapshot of the file answers as the one-off read does.
void CheckStringReads(const std::string& path, const std::vector<Entry>& entries, unsigned size) {
    const platform::ProfileSnapshot snapshot(path.c_str());
    std::vector<char> once(size + 1, '\x7f'), again(size + 1, '\x7f');
    for (const Entry& entry : entries) {
        const unsigned n = platform::ReadProfileString(entry.section.c_str(), entry.key.c_str(), "fallback  ",
                                                       once.data(), size, path.c_str());
        FUZZ_CHECK(n < size && std::strlen(once.data()) == n,
                   "[" + Shown(entry.section) + "] " + Shown(entry.key) + " read " + std::to_string(n) +
                       " into " + std::to_string(size));
        FUZZ_CHECK(once[size] == '\x7f', "a read wrote past its buffer");
        const unsigned m =
            snapshot.ReadString(entry.section.c_str(), entry.key.c_str(), "fallback  ", again.data(), size);
        FUZZ_CHECK(m == n && std::memcmp(once.data(), again.data(), n + 1) == 0,
                   "a snapshot answers [" + Shown(entry.section) + "] " + Shown(entry.key) + " otherwise");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Bytes in(data, size);
    const unsigned bufferSize = 1 + in.Byte();
    const std::uint32_t seed = in.U32();
    const std::string original = in.Rest();

    const std::string path = fuzz::ScratchFolder() + "/Tovrin.ini";
    WriteFile(path, original);
    FillStoredDefaultsSection();
    const std::string section = StoredDefaultsSection();

    // Reading: any file gives values the controls take, and string reads stay in their buffers.
    CheckReadsInRange(StoredDefaultsReader(path.c_str()));
    const Document before(original);
    const std::vector<Entry> entries = KeysOf(before);
    // Each one-off read reads the file again: a few names are enough.
    std::vector<Entry> someEntries(entries.begin(),
                                   entries.begin() + std::min<std::size_t>(entries.size(), 3));
    someEntries.push_back({section, "Blur Repeat Num"});
    someEntries.push_back({"", ""});
    CheckStringReads(path, someEntries, bufferSize);
    (void)platform::ReadProfileInt(someEntries[0].section.c_str(), someEntries[0].key.c_str(), -1,
                                   path.c_str());

    // Storing: every value reads back, other sections are untouched, a second store changes nothing.
    const std::vector<StoredValue> values = ValuesToStore(seed);
    StoredDefaultsText text;
    for (const StoredValue& v : values)
        text.Add(*v.control, v.def);
    const platform::FileResult stored = text.WriteTo(path.c_str());
    const std::string after = ReadBack(path);
    if (before.encoding() == platform::profile_text::Encoding::Utf16 && !values.empty()) {
        FUZZ_CHECK(stored.problem == platform::FileProblem::NotEditable, "a UTF-16 file was not refused");
        FUZZ_CHECK(after == original, "a refused store changed the file");
        return 0;
    }
    FUZZ_CHECK(stored.Ok(), "the store failed");
    CheckReadsAsStored(StoredDefaultsReader(path.c_str()), values);
    const Document written(after);
    for (const Entry& entry : entries)
        if (!SameName(entry.section, section))
            FUZZ_CHECK(Lookup(written, entry.section, entry.key) == Lookup(before, entry.section, entry.key),
                       "[" + Shown(entry.section) + "] " + Shown(entry.key) + " changed");
    FUZZ_CHECK(text.WriteTo(path.c_str()).Ok(), "the second store failed");
    FUZZ_CHECK(ReadBack(path) == after, "storing the same values again changed the file");
    return 0;
}
