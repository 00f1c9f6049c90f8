#include "params/StoredDefaults.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/Profile.h"
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

A_long ReadStoredInt(const char* path, const char* key, A_long fallback) {
    return static_cast<A_long>(platform::ReadProfileInt(g_section, key, fallback, path));
}

float ReadStoredFloat(const char* path, const char* key, float fallback) {
    char fallbackText[128];
    std::snprintf(fallbackText, sizeof fallbackText, "%f", static_cast<double>(fallback));
    char text[128];
    platform::ReadProfileString(g_section, key, fallbackText, text, sizeof text, path);
    const double value = std::strtod(text, nullptr);
    // An infinity, a NaN or a number beyond float range would reach the host as a control value.
    if (!std::isfinite(value) || std::fabs(value) > std::numeric_limits<float>::max())
        return fallback;
    return static_cast<float>(value);
}

void WriteStoredInt(const char* path, const char* key, A_long value) {
    if (!path || g_section[0] == '\0')
        return;
    char text[32];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    platform::WriteProfileEntry(g_section, key, text, path);
}

void WriteStoredFloat(const char* path, const char* key, double value) {
    if (!path || g_section[0] == '\0')
        return;
    char text[512];
    std::snprintf(text, sizeof text, "%f", value);
    platform::WriteProfileEntry(g_section, key, text, path);
}

PF_Pixel ReadStoredColor(const char* path, const char* name, PF_Pixel fallback) {
    auto channel = [&](char c, A_u_char dflt) {
        return static_cast<A_u_char>(ReadStoredInt(path, ChannelKey(name, c).text, dflt) & 0xFF);
    };
    PF_Pixel color = fallback;
    color.red = channel('r', fallback.red);
    color.green = channel('g', fallback.green);
    color.blue = channel('b', fallback.blue);
    return color;
}

void WriteStoredDefault(const char* path, const ControlDef& control, const PF_ParamDef& value) {
    switch (control.kind) {
    case ControlKind::Popup:
    case ControlKind::Slider:
    case ControlKind::Checkbox:
        WriteStoredInt(path, control.name, IntegerValue(value));
        break;
    case ControlKind::FloatSlider:
        WriteStoredFloat(path, control.name, value.u.fs_d.value);
        break;
    case ControlKind::Color: {
        const PF_Pixel& c = value.u.cd.value;
        WriteStoredInt(path, ChannelKey(control.name, 'r').text, c.red);
        WriteStoredInt(path, ChannelKey(control.name, 'g').text, c.green);
        WriteStoredInt(path, ChannelKey(control.name, 'b').text, c.blue);
        WriteStoredInt(path, ChannelKey(control.name, 'a').text, c.alpha);
        break;
    }
    case ControlKind::TopicStart:
    case ControlKind::TopicEnd:
        break;
    }
}

bool IsLegacyHost(const PF_InData* in_data) noexcept {
    if (in_data->appl_id != AEUtil::kAfterEffects)
        return false;
    return in_data->version.major < 12 || (in_data->version.major == 12 && in_data->version.minor <= 11);
}
