// Storing defaults into an arbitrary existing file, through the files as the option dialog stores them.
// For any file, storing succeeds (a UTF-16 file is refused and left as it was), and afterwards:
//   - every stored value reads back as written (a float slider's through its "%f" text);
//   - every key of the other sections reads as before;
//   - storing the same values again (every fourth input) changes no byte.
// A store sets a few of the controls, one input in 32 all of them: each key costs a pass over the file.
//
// Input: four bytes choosing the controls stored and their values, then the file.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "fuzz/IniSupport.h"
#include "params/Controls.h"
#include "params/StoredDefaults.h"
#include "platform/Files.h"
#include "platform/ProfileText.h"

namespace {

using fuzz::Entry;
using fuzz::Shown;
using platform::profile_text::Document;

struct StoredValue {
    const ControlDef* control;
    PF_ParamDef def;
};

// Values to store, each one its control takes, drawn from `seed`.
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
            // Whole numbers, and arbitrary fractions, as people set them.
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
    const double read = std::strtod(text, nullptr);
    return static_cast<float>(std::clamp(read, static_cast<double>(control.range.validMin),
                                         static_cast<double>(control.range.validMax)));
}

void CheckReadsAsStored(const StoredDefaultsReader& reader, const std::vector<StoredValue>& values) {
    for (const StoredValue& stored : values) {
        const ControlDef& control = *stored.control;
        const std::string name = control.name;
        switch (control.kind) {
        case ControlKind::Popup:
        case ControlKind::Slider:
        case ControlKind::Checkbox: {
            A_long written;
            std::memcpy(&written, &stored.def.u, sizeof written);
            const A_long read = reader.Integer(control);
            FUZZ_CHECK(read == written,
                       name + ": wrote " + std::to_string(written) + ", read " + std::to_string(read));
            break;
        }
        case ControlKind::FloatSlider: {
            const float read = reader.Float(control);
            const float expected = ThroughText(control, stored.def.u.fs_d.value);
            FUZZ_CHECK(read == expected,
                       name + ": expected " + std::to_string(expected) + ", read " + std::to_string(read));
            break;
        }
        case ControlKind::Color: {
            const PF_Pixel written = stored.def.u.cd.value, read = reader.Color(control);
            FUZZ_CHECK(read.red == written.red && read.green == written.green && read.blue == written.blue &&
                           read.alpha == 255,
                       name);
            break;
        }
        case ControlKind::TopicStart:
        case ControlKind::TopicEnd:
            break;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Bytes in(data, size);
    const std::uint32_t seed = in.U32();
    const std::string original = in.Rest();

    const std::string path = fuzz::ScratchFolder() + "/Tovrin.ini";
    fuzz::WriteWholeFile(path, original);
    FillStoredDefaultsSection();
    const std::string section = StoredDefaultsSection();

    const std::vector<StoredValue> values = ValuesToStore(seed);
    StoredDefaultsText text;
    for (const StoredValue& v : values)
        text.Add(*v.control, v.def);
    const platform::FileResult stored = text.WriteTo(path.c_str());
    const std::string after = fuzz::ReadWholeFile(path);
    const Document before(original);
    if (before.encoding() == platform::profile_text::Encoding::Utf16 && !values.empty()) {
        FUZZ_CHECK(stored.problem == platform::FileProblem::NotEditable, "a UTF-16 file was not refused");
        FUZZ_CHECK(after == original, "a refused store changed the file");
        return 0;
    }
    FUZZ_CHECK(stored.Ok(), "the store failed");

    const StoredDefaultsReader reader(path.c_str());
    CheckReadsAsStored(reader, values);
    fuzz::CheckStoredDefaultsInRange(reader);
    const Document written(after);
    for (const Entry& entry : fuzz::KeysOf(before))
        if (!fuzz::SameProfileName(entry.section, section))
            FUZZ_CHECK(fuzz::Lookup(written, entry.section, entry.key) ==
                           fuzz::Lookup(before, entry.section, entry.key),
                       "[" + Shown(entry.section) + "] " + Shown(entry.key) + " changed");
    if (seed % 4 == 0) {
        FUZZ_CHECK(text.WriteTo(path.c_str()).Ok(), "the second store failed");
        FUZZ_CHECK(fuzz::ReadWholeFile(path) == after, "storing the same values again changed the file");
    }
    return 0;
}
