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
    const std::size_t fromPreset = values.size();
    for (const std::string& set : sets) {
        const auto [name, text] = SplitAssignment(set);
        const Control& control = FindControl(controls, name);
        values.push_back({&control, ParseControlValue(control, text)});
    }
    std::vector<const Control*> byHand;
    for (std::size_t i = 0; i < values.size(); ++i) {
        ApplyValue(instance, *values[i].control, values[i].value);
        if (i >= fromPreset && std::find(byHand.begin(), byHand.end(), values[i].control) == byHand.end())
            byHand.push_back(values[i].control);
    }
    return byHand;
}

} // namespace cli
