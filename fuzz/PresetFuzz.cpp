// The tool's preset parser over arbitrary text, with the controls of the loaded plug-in. For any text:
//   - it is refused with a file error, or every value it gives is one its control takes, and setting them
//     leaves each control holding the last value given for it;
//   - the preset then saved from those values loads back to the same values, and saving again writes the
//     same text.
// Nothing else may escape: any other exception ends the run as a crash.
#include <map>
#include <string>
#include <vector>

#include "cli/Controls.h"
#include "cli/Preset.h"
#include "cli/ToolError.h"
#include "fuzz/EffectHost.h"
#include "fuzz/FuzzSupport.h"

namespace {

// One instance for every input (the parser runs in the tool, not in the plug-in), and the controls as the
// tool lists them.
struct PresetSetup {
    fuzz::AppliedInstance instance;
    std::vector<cli::Control> controls;
    std::string matchName;

    explicit PresetSetup(fuzz::EffectHost& effect)
        : instance(effect, false), controls(cli::ListControls(*instance)),
          matchName(effect.plugin->pipl() ? effect.plugin->pipl()->matchName : "") {}
};

std::string Shown(const cli::Control& c, const cli::ControlValue& v) {
    return "\"" + c.name + "\" = " + cli::FormatControlValue(c, v);
}

// Sets the values in order; returns the last value given to each control.
std::map<const cli::Control*, cli::ControlValue> Apply(host::Instance& instance,
                                                       const std::vector<cli::PresetValue>& values) {
    std::map<const cli::Control*, cli::ControlValue> last;
    for (const cli::PresetValue& v : values) {
        try {
            cli::CheckControlValue(*v.control, v.value);
        } catch (const cli::ToolError& e) {
            FUZZ_CHECK(false, "a preset gave a value its control does not take: " + std::string(e.what()));
        }
        cli::ApplyValue(instance, *v.control, v.value);
        last[v.control] = v.value;
    }
    return last;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static PresetSetup& setup = *new PresetSetup(fuzz::TheEffectHost());
    host::Instance& instance = *setup.instance;
    const std::string text(reinterpret_cast<const char*>(data), size);

    std::vector<cli::PresetValue> values;
    std::vector<std::string> warnings;
    try {
        values = cli::ParsePreset(text, "preset", setup.controls, setup.matchName, &warnings);
    } catch (const cli::ToolError& e) {
        FUZZ_CHECK(e.ExitCode() == cli::kExitFile, e.what());
        return 0;
    }
    instance.ResetParams();
    for (const auto& [control, value] : Apply(instance, values)) {
        const cli::ControlValue held = cli::CurrentValue(instance, *control);
        FUZZ_CHECK(held == value,
                   Shown(*control, value) + " was set, the control holds " + Shown(*control, held));
    }

    const std::string saved = cli::PresetText(setup.controls, instance, setup.matchName);
    std::vector<cli::PresetValue> reloaded;
    try {
        reloaded = cli::ParsePreset(saved, "saved preset", setup.controls, setup.matchName, nullptr);
    } catch (const cli::ToolError& e) {
        FUZZ_CHECK(false, "a saved preset does not load: " + std::string(e.what()) + "\n" + saved);
    }
    for (const cli::PresetValue& v : reloaded) {
        const cli::ControlValue held = cli::CurrentValue(instance, *v.control);
        FUZZ_CHECK(held == v.value,
                   "saved " + Shown(*v.control, held) + ", loaded " + Shown(*v.control, v.value));
    }
    instance.ResetParams();
    Apply(instance, reloaded);
    FUZZ_CHECK(cli::PresetText(setup.controls, instance, setup.matchName) == saved,
               "saving a loaded preset wrote other text");

    const std::vector<std::string> violations = fuzz::TheEffectHost().host->Violations();
    FUZZ_CHECK(violations.empty(), violations.front());
    return 0;
}
