// tovrin info: what the plug-in declares (PiPL), what global and parameter setup answer, and its controls.
#include <charconv>
#include <cstdio>
#include <iostream>

#include <nlohmann/json.hpp>

#include "cli/Commands.h"
#include "cli/Controls.h"
#include "cli/EffectSession.h"
#include "cli/PluginLocator.h"
#include "host/PiPL.h"

namespace cli {
namespace {

using Json = nlohmann::ordered_json;

// The host's single-precision values as the short decimals people wrote (0.1f as 0.1, not 0.100000001).
double Decimal(double v) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, float(v));
    double d = 0;
    std::from_chars(buf, r.ptr, d);
    return d;
}

std::string Hex(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", v);
    return buf;
}

// The host's packed version: major, minor, fix level, stage, build.
std::string VersionText(std::uint32_t v) {
    static const char* const kStages[] = {"develop", "alpha", "beta", "release"};
    char buf[96];
    std::snprintf(buf, sizeof buf, "%u.%u.%u %s build %u (%s)", v >> 19, (v >> 15) & 0xF, (v >> 11) & 0xF,
                  kStages[(v >> 9) & 3], v & 0x1FF, Hex(v).c_str());
    return buf;
}

Json DefaultJson(const host::Instance& instance, const Control& c) {
    const ControlValue v = DefaultValue(instance, c);
    switch (c.kind) {
    case ControlKind::Color:
        return Json::array({v.color.red, v.color.green, v.color.blue});
    case ControlKind::FloatSlider:
        return Decimal(v.number);
    default:
        return static_cast<long long>(v.number);
    }
}

Json ControlJson(const host::Instance& instance, const Control& c) {
    Json j = {{"index", c.index}, {"id", c.id}, {"name", c.name}, {"kind", KindName(c.kind)}};
    switch (c.kind) {
    case ControlKind::FloatSlider:
        j["valid_min"] = Decimal(c.validMin);
        j["valid_max"] = Decimal(c.validMax);
        j["slider_min"] = Decimal(c.sliderMin);
        j["slider_max"] = Decimal(c.sliderMax);
        j["precision"] = c.precision;
        j["display_flags"] = c.displayFlags;
        break;
    case ControlKind::Slider:
        j["valid_min"] = static_cast<long long>(c.validMin);
        j["valid_max"] = static_cast<long long>(c.validMax);
        j["slider_min"] = static_cast<long long>(c.sliderMin);
        j["slider_max"] = static_cast<long long>(c.sliderMax);
        break;
    case ControlKind::Popup:
        j["choices"] = c.choices;
        break;
    default:
        break;
    }
    if (c.Settable())
        j["default"] = DefaultJson(instance, c);
    j["enabled"] = instance.IsEnabled(c.index);
    return j;
}

std::string RangeText(const Control& c) {
    char buf[128];
    switch (c.kind) {
    case ControlKind::FloatSlider:
        std::snprintf(buf, sizeof buf, "%g … %g / %g … %g, precision %d%s", Decimal(c.validMin),
                      Decimal(c.validMax), Decimal(c.sliderMin), Decimal(c.sliderMax), c.precision,
                      (c.displayFlags & PF_ValueDisplayFlag_PERCENT) ? ", percent" : "");
        return buf;
    case ControlKind::Slider:
        std::snprintf(buf, sizeof buf, "%g … %g / %g … %g", c.validMin, c.validMax, c.sliderMin, c.sliderMax);
        return buf;
    case ControlKind::Popup: {
        std::string s;
        for (std::size_t i = 0; i < c.choices.size(); ++i)
            s += (i ? " | " : "") + std::to_string(i + 1) + " " + c.choices[i];
        return s;
    }
    case ControlKind::Checkbox:
        return "on | off";
    case ControlKind::Color:
        return "R,G,B 0 … 255";
    default:
        return "";
    }
}

void PrintTable(const EffectSession& session, const std::vector<Control>& controls) {
    const host::PiPL* pipl = session.Plugin().pipl();
    const PF_OutData& gs = session.GlobalSetupAnswer();
    std::printf("Plug-in       %s\n", session.Plugin().File().string().c_str());
    if (pipl) {
        std::printf("PiPL\n");
        std::printf("  name        %s\n", pipl->name.c_str());
        std::printf("  category    %s\n", pipl->category.c_str());
        std::printf("  match name  %s\n", pipl->matchName.c_str());
        std::printf("  entry point %s\n", pipl->entryPoint.c_str());
        std::printf("  version     %s\n", pipl->version ? VersionText(*pipl->version).c_str() : "(none)");
        std::printf("  out_flags   %s\n", pipl->outFlags ? Hex(*pipl->outFlags).c_str() : "(none)");
        std::printf("  out_flags2  %s\n", pipl->outFlags2 ? Hex(*pipl->outFlags2).c_str() : "(none)");
    }
    std::printf("Global setup\n");
    std::printf("  version     %s\n", VersionText(gs.my_version).c_str());
    std::printf("  out_flags   %s\n", Hex(std::uint32_t(gs.out_flags)).c_str());
    std::printf("  out_flags2  %s\n", Hex(std::uint32_t(gs.out_flags2)).c_str());
    std::printf("Parameter setup\n");
    std::printf("  num_params  %d\n", int(session.NumParams()));
    std::printf("Controls (%zu)\n", controls.size());
    std::printf("  %5s %5s  %-18s %-13s %-22s %s\n", "index", "id", "name", "kind", "default",
                "valid / slider range");
    for (const Control& c : controls) {
        std::string name = c.kind == ControlKind::GroupEnd ? "(end of group)" : c.name;
        std::string def = c.Settable() ? FormatControlValue(c, DefaultValue(session.Instance(), c)) : "";
        std::string range = RangeText(c);
        if (!session.Instance().IsEnabled(c.index))
            range += range.empty() ? "(disabled)" : "  (disabled)";
        std::printf("  %5d %5d  %-18s %-13s %-22s %s\n", int(c.index), int(c.id), name.c_str(),
                    KindName(c.kind), def.c_str(), range.c_str());
    }
}

} // namespace

int RunInfo(const InfoOptions& o) {
    SessionSettings settings;
    settings.plugin = LocatePlugin(o.plugin);
    EffectSession session(settings);
    session.UpdateParamsUI();
    const std::vector<Control> controls = ListControls(session.Instance());
    if (!o.json) {
        PrintTable(session, controls);
        return 0;
    }
    const host::PiPL* pipl = session.Plugin().pipl();
    const PF_OutData& gs = session.GlobalSetupAnswer();
    Json doc;
    Json p = Json::object();
    if (pipl) {
        p["name"] = pipl->name;
        p["category"] = pipl->category;
        p["match_name"] = pipl->matchName;
        p["entry_point"] = pipl->entryPoint;
        p["version"] = pipl->version ? Json(*pipl->version) : Json();
        p["out_flags"] = pipl->outFlags ? Json(*pipl->outFlags) : Json();
        p["out_flags2"] = pipl->outFlags2 ? Json(*pipl->outFlags2) : Json();
    }
    doc["pipl"] = p;
    doc["global_setup"] = {{"version", gs.my_version},
                           {"out_flags", std::uint32_t(gs.out_flags)},
                           {"out_flags2", std::uint32_t(gs.out_flags2)}};
    doc["params_setup"] = {{"num_params", session.NumParams()}};
    Json list = Json::array();
    for (const Control& c : controls)
        list.push_back(ControlJson(session.Instance(), c));
    doc["controls"] = list;
    std::cout << doc.dump(2) << "\n";
    return 0;
}

} // namespace cli
