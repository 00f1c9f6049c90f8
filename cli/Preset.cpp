#include "cli/Preset.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "cli/ImageFile.h"
#include "cli/ToolError.h"

namespace cli {
namespace {

using nlohmann::json;

constexpr const char* kFormat = "tovrin-preset";
// A preset is a flat list of values: two levels of nesting, three with colours. Deeper files are refused
// before parsing, so that a hostile one cannot exhaust the stack.
constexpr std::size_t kMaxPresetDepth = 16;
constexpr std::size_t kMaxPresetBytes = 4 * 1024 * 1024;

// How deep arrays and objects nest in a JSON text (strings skipped).
std::size_t NestingDepth(const std::string& text) {
    std::size_t depth = 0, deepest = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

// Ids are whole numbers; anything else is a control's name.
bool LooksLikeId(const std::string& key) {
    std::size_t i = !key.empty() && key[0] == '-' ? 1 : 0;
    if (i == key.size())
        return false;
    for (; i < key.size(); ++i)
        if (key[i] < '0' || key[i] > '9')
            return false;
    return true;
}

nlohmann::ordered_json ValueToJson(const Control& c, const ControlValue& v) {
    switch (c.kind) {
    case ControlKind::Checkbox:
        return v.number != 0;
    case ControlKind::Slider:
    case ControlKind::Popup:
        return static_cast<long long>(v.number);
    case ControlKind::Color:
        return nlohmann::ordered_json::array({v.color.red, v.color.green, v.color.blue});
    default:
        return v.number;
    }
}

// A value from the file; throws a usage error (turned into a file error by the caller).
ControlValue ValueFromJson(const Control& c, const json& j) {
    if (j.is_string())
        return ParseControlValue(c, j.get<std::string>());
    ControlValue v;
    const auto wrong = [&](const char* expected) {
        return UsageError("control \"" + c.name + "\": " + j.dump() + " is not " + expected + "; it takes " +
                          AcceptedText(c));
    };
    switch (c.kind) {
    case ControlKind::Checkbox:
        if (j.is_boolean())
            v.number = j.get<bool>() ? 1 : 0;
        else if (j.is_number())
            v.number = j.get<double>();
        else
            throw wrong("a checkbox value");
        break;
    case ControlKind::Color: {
        if (!j.is_array() || j.size() != 3)
            throw wrong("a colour");
        A_u_char rgb[3];
        for (std::size_t i = 0; i < 3; ++i) {
            if (!j[i].is_number_integer() || j[i].get<long long>() < 0 || j[i].get<long long>() > 255)
                throw wrong("a colour");
            rgb[i] = A_u_char(j[i].get<long long>());
        }
        v.color = PF_Pixel{255, rgb[0], rgb[1], rgb[2]};
        return v;
    }
    default:
        if (!j.is_number())
            throw wrong("a number");
        v.number = j.get<double>();
        break;
    }
    CheckControlValue(c, v);
    return v;
}

} // namespace

std::vector<PresetValue> LoadPreset(const std::filesystem::path& path, const std::vector<Control>& controls,
                                    const std::string& matchName, std::vector<std::string>* warnings) {
    const std::string where = "preset \"" + path.string() + "\"";
    std::error_code ec;
    if (std::filesystem::exists(path, ec) && !std::filesystem::is_regular_file(path, ec))
        throw FileError("cannot read " + where + ": not a regular file");
    std::ifstream stream(path, std::ios::binary);
    if (!stream)
        throw FileError("cannot read " + where + ": " +
                        (std::filesystem::exists(path, ec) ? "not readable" : "no such file"));
    std::string text;
    char buffer[65536];
    while (stream.read(buffer, sizeof buffer) || stream.gcount() > 0) {
        text.append(buffer, std::size_t(stream.gcount()));
        if (text.size() > kMaxPresetBytes)
            throw FileError(where + " is larger than a preset can be (" +
                            std::to_string(kMaxPresetBytes / 1024) + " KiB)");
    }
    return ParsePreset(text, where, controls, matchName, warnings);
}

std::vector<PresetValue> ParsePreset(const std::string& text, const std::string& where,
                                     const std::vector<Control>& controls, const std::string& matchName,
                                     std::vector<std::string>* warnings) {
    if (const std::size_t depth = NestingDepth(text); depth > kMaxPresetDepth)
        throw FileError(where + " nests arrays or objects " + std::to_string(depth) +
                        " deep; a preset needs at most " + std::to_string(kMaxPresetDepth));
    json doc;
    try {
        doc = json::parse(text);
    } catch (const json::exception& e) {
        throw FileError(where + " is not valid JSON: " + e.what());
    }
    if (!doc.is_object() || !doc.contains("controls") || !doc["controls"].is_object())
        throw FileError(where + " has no \"controls\" object");
    if (doc.contains("effect") && doc["effect"].is_string() && doc["effect"].get<std::string>() != matchName)
        throw FileError(where + " is for the effect \"" + doc["effect"].get<std::string>() + "\", not \"" +
                        matchName + "\"");

    std::vector<PresetValue> values;
    for (const auto& [key, entry] : doc["controls"].items()) {
        const Control* c = nullptr;
        if (LooksLikeId(key)) {
            long id = 0;
            const auto [ptr, err] = std::from_chars(key.data(), key.data() + key.size(), id);
            if (err == std::errc() && ptr == key.data() + key.size())
                c = FindControlById(controls, A_long(id));
            if (!c) {
                if (warnings)
                    warnings->push_back(where + ": the effect has no control with id " + key + "; skipped");
                continue;
            }
        } else {
            // Keyed by name, as people write presets by hand.
            try {
                c = &FindControl(controls, key);
            } catch (const ToolError& e) {
                throw FileError(where + ": " + e.what());
            }
        }
        const json& value = entry.is_object() ? entry.value("value", json()) : entry;
        try {
            values.push_back({c, ValueFromJson(*c, value)});
        } catch (const ToolError& e) {
            throw FileError(where + ", " + (LooksLikeId(key) ? "id " + key : "\"" + key + "\"") + ": " +
                            e.what());
        }
    }
    return values;
}

std::string PresetText(const std::vector<Control>& controls, const host::Instance& instance,
                       const std::string& matchName) {
    // In the controls' order, which is easier to read than the ids' order.
    nlohmann::ordered_json values = nlohmann::ordered_json::object();
    for (const Control& c : controls) {
        if (!c.Settable())
            continue;
        const ControlValue v = CurrentValue(instance, c);
        nlohmann::ordered_json entry = {{"name", c.name}, {"value", ValueToJson(c, v)}};
        if (c.kind == ControlKind::Popup)
            entry["choice"] = FormatControlValue(c, v);
        values[std::to_string(c.id)] = std::move(entry);
    }
    // One control per line, so that people can read and edit the file.
    std::string text = "{\n  \"format\": \"" + std::string(kFormat) +
                       "\",\n  \"version\": 1,\n  \"effect\": " + nlohmann::ordered_json(matchName).dump() +
                       ",\n  \"controls\": {";
    bool first = true;
    for (const auto& [id, entry] : values.items()) {
        text += (first ? "\n    " : ",\n    ") + nlohmann::ordered_json(id).dump() + ": " + entry.dump();
        first = false;
    }
    text += "\n  }\n}\n";
    return text;
}

void SavePreset(const std::filesystem::path& path, const std::vector<Control>& controls,
                const host::Instance& instance, const std::string& matchName, bool overwrite) {
    WriteFileAtomically(path, PresetText(controls, instance, matchName), overwrite);
}

} // namespace cli
