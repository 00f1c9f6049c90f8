#include "cli/ControlSettings.h"

#include <algorithm>

#include "cli/Preset.h"

namespace cli {

std::vector<const Control*> ApplyPresetAndSets(host::Instance& instance, const std::vector<Control>& controls,
                                               const std::string& matchName, const std::string& preset,
                                               const std::vector<std::string>& sets,
                                               std::vector<std::string>* warnings) {
    std::vector<PresetValue> values;
    if (!preset.empty())
        values = LoadPreset(preset, controls, matchName, warnings);
    for (const std::string& set : sets) {
        const auto [name, text] = SplitAssignment(set);
        const Control& control = FindControl(controls, name);
        values.push_back({&control, ParseControlValue(control, text)});
    }
    std::vector<const Control*> given;
    for (const PresetValue& v : values) {
        ApplyValue(instance, *v.control, v.value);
        if (std::find(given.begin(), given.end(), v.control) == given.end())
            given.push_back(v.control);
    }
    return given;
}

} // namespace cli
