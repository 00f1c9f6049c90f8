#pragma once
// Presets: control values in a JSON file, keyed by the controls' persistent ids (which do not change when
// controls are renamed or reordered), each with the control's name for people. Hand-written presets may
// key controls by name instead ("Blur Amount": 12).
//
//   { "effect": "OSTREL TOVRIN", "format": "tovrin-preset", "version": 1,
//     "controls": { "51": { "name": "Blur Amount", "value": 12.5 },
//                   "153": { "name": "1 : Color", "value": [3, 180, 245] }, ... } }
//
// Popups hold their 1-based number (and "choice", their text), checkboxes true or false. A value may also
// be a text in the form --set takes.
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "cli/Controls.h"

namespace cli {

struct PresetValue {
    const Control* control = nullptr;
    ControlValue value;
};

// Reads and checks every value; throws a file error naming the file and the control (an unknown name
// with the closest one). Ids the effect does not know are skipped with a line in `warnings`. Files nested
// deeper than a preset can be are refused before they are parsed.
std::vector<PresetValue> LoadPreset(const std::filesystem::path& path, const std::vector<Control>& controls,
                                    const std::string& matchName, std::vector<std::string>* warnings);
// The same for a preset's text; `where` names it in messages ("preset \"look.json\"").
std::vector<PresetValue> ParsePreset(const std::string& text, const std::string& where,
                                     const std::vector<Control>& controls, const std::string& matchName,
                                     std::vector<std::string>* warnings);

// The current value of every control, written atomically.
// The preset file's text for the instance's current values.
std::string PresetText(const std::vector<Control>& controls, const host::Instance& instance,
                       const std::string& matchName);
void SavePreset(const std::filesystem::path& path, const std::vector<Control>& controls,
                const host::Instance& instance, const std::string& matchName, bool overwrite);

} // namespace cli
