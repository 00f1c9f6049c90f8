#include "params/StoredDefaults.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>

#include "share/AEUtil/HostApplication.h"

namespace {

constexpr int kSettingsMajor = 1;
constexpr int kSettingsMinor = 0;

// Filled by the parameter setup; stays for the life of the library.
char g_section[128] = {};

// The key of one colour channel: the control's name and ".r", ".g", ".b" or ".a".
struct ChannelKey {
    char text[PF_MAX_EFFECT_PARAM_NAME_LEN + 8];
    ChannelKey(const char* name, char channel) { std::snprintf(text, sizeof text, "%s.%c", name, channel); }
};

// Popups, sliders and checkboxes all keep their 32-bit value first in their part of the host record.
A_long IntegerValue(const PF_ParamDef& value) {
    A_long v;
    std::memcpy(&v, &value.u, sizeof v);
    return v;
}

// The leading whole number of a stored text in the syntax the profile functions read, but without their
// wrap-around: nothing for a text without digits or a number that does not fit 32 bits.
std::optional<A_long> ParseStoredInteger(const char* text) {
    const char* p = text;
    while (*p && static_cast<unsigned char>(*p) <= ' ')
        ++p;
    bool minus = false;
    if (*p == '+' || *p == '-')
        minus = *p++ == '-';
    int base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'o' || p[1] == 'b')) {
        base = p[1] == 'x' ? 16 : p[1] == 'o' ? 8 : 2;
        p += 2;
    }
    const std::int64_t limit = minus ? -static_cast<std::int64_t>(std::numeric_limits<A_long>::min())
                                     : std::numeric_limits<A_long>::max();
    std::int64_t magnitude = 0;
    bool digits = false;
    for (;; ++p) {
        int digit;
        if (*p >= '0' && *p <= '9')
            digit = *p - '0';
        else if (*p >= 'a' && *p <= 'z')
            digit = *p - 'a' + 10;
        else if (*p >= 'A' && *p <= 'Z')
            digit = *p - 'A' + 10;
        else
            break;
        if (digit >= base)
            break;
        digits = true;
        magnitude = magnitude * base + digit;
        if (magnitude > limit)
            return std::nullopt;
    }
    if (!digits)
        return std::nullopt;
    return static_cast<A_long>(minus ? -magnitude : magnitude);
}

template <class T>
T Clamp(T value, T low, T high) {
    return value < low ? low : value > high ? high : value;
}

} // namespace

const char* StoredDefaultsSection() noexcept {
    return g_section;
}

void FillStoredDefaultsSection() noexcept {
    std::snprintf(g_section, sizeof g_section, "Version=%d.%d", kSettingsMajor, kSettingsMinor);
}

void EmptyStoredDefaultsSection() noexcept {
    g_section[0] = '\0';
}

bool RenameExtension(char* path, std::size_t size, const char* extension) {
    if (!path || !extension)
        return false;
    // The extension starts at the last '.' of the last component; a space also ends a would-be extension.
    char* end = path + std::strlen(path);
    char* dot = nullptr;
    for (char* p = path; p < end; ++p) {
        if (*p == '\\' || *p == '/' || *p == ' ')
            dot = nullptr;
        else if (*p == '.')
            dot = p;
    }
    char* at = dot ? dot : end;
    if (static_cast<std::size_t>(at - path) + std::strlen(extension) >= size)
        return false;
    std::strcpy(at, extension);
    return true;
}

bool StoredDefaultsPath(PF_InData* in_data, char (&path)[kStoredDefaultsPathSize]) {
    path[0] = '\0';
    if (!in_data || !in_data->utils || !in_data->utils->get_platform_data)
        return false;
    const PF_Err err =
        in_data->utils->get_platform_data(in_data->effect_ref, PF_PlatData_EXE_FILE_PATH_DEPRECATED, path);
    path[kStoredDefaultsPathSize - 1] = '\0';
    if (err != PF_Err_NONE || path[0] == '\0' || !RenameExtension(path, sizeof path, ".ini")) {
        path[0] = '\0';
        return false;
    }
    return true;
}

std::optional<A_long> StoredDefaultsReader::ReadInteger(const char* key) const {
    char text[128];
    snapshot_.ReadString(g_section, key, "", text, sizeof text);
    return ParseStoredInteger(text);
}

A_long StoredDefaultsReader::Integer(const ControlDef& control) const {
    const auto builtIn = static_cast<A_long>(control.defaultValue);
    const std::optional<A_long> stored = ReadInteger(control.name);
    if (!stored)
        return builtIn;
    switch (control.kind) {
    case ControlKind::Slider:
        return Clamp(*stored, static_cast<A_long>(control.range.validMin),
                     static_cast<A_long>(control.range.validMax));
    case ControlKind::Popup:
        // An item number is a choice, not a size: one outside the list chooses nothing in particular.
        return *stored >= 1 && *stored <= control.choiceCount ? *stored : builtIn;
    case ControlKind::Checkbox:
        return *stored != 0 ? 1 : 0;
    default:
        return builtIn;
    }
}

float StoredDefaultsReader::Float(const ControlDef& control) const {
    char fallbackText[128];
    std::snprintf(fallbackText, sizeof fallbackText, "%f", static_cast<double>(control.defaultValue));
    const double builtIn = std::strtod(fallbackText, nullptr);
    char text[128];
    snapshot_.ReadString(g_section, control.name, fallbackText, text, sizeof text);
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    // No number, a NaN, an infinity or a number beyond float range: the float the host would hold is no
    // value of the control.
    if (end == text || !std::isfinite(value) || std::fabs(value) > std::numeric_limits<float>::max())
        return static_cast<float>(builtIn);
    return static_cast<float>(Clamp(value, static_cast<double>(control.range.validMin),
                                    static_cast<double>(control.range.validMax)));
}

PF_Pixel StoredDefaultsReader::Color(const ControlDef& control) const {
    auto channel = [&](char c, A_u_char builtIn) {
        const std::optional<A_long> stored = ReadInteger(ChannelKey(control.name, c).text);
        return stored ? static_cast<A_u_char>(Clamp<A_long>(*stored, 0, 255)) : builtIn;
    };
    PF_Pixel color = control.defaultColor;
    color.alpha = 255;
    color.red = channel('r', color.red);
    color.green = channel('g', color.green);
    color.blue = channel('b', color.blue);
    return color;
}

void StoredDefaultsText::Put(const char* key, const char* value) {
    if (count_ >= kMaxEntries)
        return;
    std::snprintf(entries_[count_].key, sizeof entries_[count_].key, "%s", key);
    std::snprintf(entries_[count_].value, sizeof entries_[count_].value, "%s", value);
    ++count_;
}

void StoredDefaultsText::Add(const ControlDef& control, const PF_ParamDef& value) {
    char text[sizeof entries_[0].value];
    auto integer = [&](const char* key, A_long v) {
        std::snprintf(text, sizeof text, "%d", static_cast<int>(v));
        Put(key, text);
    };
    switch (control.kind) {
    case ControlKind::Popup:
    case ControlKind::Slider:
    case ControlKind::Checkbox:
        integer(control.name, IntegerValue(value));
        break;
    case ControlKind::FloatSlider:
        std::snprintf(text, sizeof text, "%f", value.u.fs_d.value);
        Put(control.name, text);
        break;
    case ControlKind::Color: {
        const PF_Pixel& c = value.u.cd.value;
        integer(ChannelKey(control.name, 'r').text, c.red);
        integer(ChannelKey(control.name, 'g').text, c.green);
        integer(ChannelKey(control.name, 'b').text, c.blue);
        integer(ChannelKey(control.name, 'a').text, c.alpha);
        break;
    }
    case ControlKind::TopicStart:
    case ControlKind::TopicEnd:
        break;
    }
}

platform::FileResult StoredDefaultsText::WriteTo(const char* path) const {
    platform::ProfileEntry entries[kMaxEntries];
    for (int i = 0; i < count_; ++i)
        entries[i] = platform::ProfileEntry{entries_[i].key, entries_[i].value};
    return platform::WriteProfileEntries(g_section, entries, static_cast<std::size_t>(count_), path);
}

bool IsLegacyHost(const PF_InData* in_data) noexcept {
    if (in_data->appl_id != AEUtil::kAfterEffects)
        return false;
    return in_data->version.major < 12 || (in_data->version.major == 12 && in_data->version.minor <= 11);
}
