#include "cli/Controls.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "cli/Suggest.h"
#include "cli/ToolError.h"

namespace cli {
namespace {

std::string Trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return s.substr(b, e - b);
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string BoundedText(const char* text, std::size_t capacity) {
    return std::string(text, strnlen(text, capacity));
}

ControlKind KindOf(PF_ParamType type) {
    switch (type) {
    case PF_Param_POPUP:
        return ControlKind::Popup;
    case PF_Param_FLOAT_SLIDER:
        return ControlKind::FloatSlider;
    case PF_Param_SLIDER:
        return ControlKind::Slider;
    case PF_Param_CHECKBOX:
        return ControlKind::Checkbox;
    case PF_Param_COLOR:
        return ControlKind::Color;
    case PF_Param_GROUP_START:
        return ControlKind::GroupStart;
    case PF_Param_GROUP_END:
        return ControlKind::GroupEnd;
    default:
        return ControlKind::Other;
    }
}

std::vector<std::string> SplitChoices(const char* names, int count) {
    std::vector<std::string> choices;
    if (!names)
        return choices;
    std::string all = names, item;
    for (char c : all) {
        if (c == '|') {
            choices.push_back(item);
            item.clear();
        } else {
            item += c;
        }
    }
    choices.push_back(item);
    if (count >= 0 && choices.size() > std::size_t(count))
        choices.resize(std::size_t(count));
    return choices;
}

// Shortest text that reads back as the same value; values that are single-precision floats print as such
// (the host's ranges are floats: 0.1f prints as 0.1).
std::string FormatNumber(double v) {
    char buf[64];
    std::to_chars_result r;
    if (double(float(v)) == v)
        r = std::to_chars(buf, buf + sizeof buf, float(v));
    else
        r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

bool ParseDouble(const std::string& text, double* out) {
    std::string t = Trim(text);
    if (!t.empty() && t[0] == '+')
        t.erase(0, 1);
    if (t.empty())
        return false;
    auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), *out);
    return ec == std::errc() && ptr == t.data() + t.size() && std::isfinite(*out);
}

bool ParseLong(const std::string& text, long* out) {
    std::string t = Trim(text);
    if (!t.empty() && t[0] == '+')
        t.erase(0, 1);
    if (t.empty())
        return false;
    auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), *out);
    return ec == std::errc() && ptr == t.data() + t.size();
}

ToolError Refuse(const Control& c, const std::string& text, const char* problem) {
    return UsageError("control \"" + c.name + "\": \"" + text + "\" " + problem + "; it takes " +
                      AcceptedText(c));
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = char(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

bool ParseColor(const std::string& text, PF_Pixel* out) {
    std::string t = Trim(text);
    if (!t.empty() && t[0] == '#') {
        if (t.size() != 7)
            return false;
        int v[6];
        for (int i = 0; i < 6; ++i)
            if ((v[i] = HexDigit(t[std::size_t(i) + 1])) < 0)
                return false;
        *out =
            PF_Pixel{255, A_u_char(v[0] * 16 + v[1]), A_u_char(v[2] * 16 + v[3]), A_u_char(v[4] * 16 + v[5])};
        return true;
    }
    long rgb[3];
    std::size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        std::size_t comma = t.find(',', start);
        if ((i < 2) != (comma != std::string::npos))
            return false;
        if (!ParseLong(t.substr(start, comma == std::string::npos ? std::string::npos : comma - start),
                       &rgb[i]) ||
            rgb[i] < 0 || rgb[i] > 255)
            return false;
        start = comma + 1;
    }
    *out = PF_Pixel{255, A_u_char(rgb[0]), A_u_char(rgb[1]), A_u_char(rgb[2])};
    return true;
}

std::string HexColor(const PF_Pixel& p) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02X%02X%02X", p.red, p.green, p.blue);
    return buf;
}

} // namespace

const char* KindName(ControlKind kind) {
    switch (kind) {
    case ControlKind::Popup:
        return "popup";
    case ControlKind::FloatSlider:
        return "float_slider";
    case ControlKind::Slider:
        return "slider";
    case ControlKind::Checkbox:
        return "checkbox";
    case ControlKind::Color:
        return "color";
    case ControlKind::GroupStart:
        return "group_start";
    case ControlKind::GroupEnd:
        return "group_end";
    case ControlKind::Other:
        break;
    }
    return "other";
}

std::vector<Control> ListControls(const host::Instance& instance) {
    std::vector<Control> controls;
    for (PF_ParamIndex i = 1; i < instance.ParamCount(); ++i) {
        const PF_ParamDef& def = instance.Param(i);
        Control c;
        c.index = i;
        c.id = def.uu.id;
        c.name = BoundedText(def.name, sizeof def.name);
        c.kind = KindOf(def.param_type);
        switch (c.kind) {
        case ControlKind::FloatSlider:
            c.validMin = def.u.fs_d.valid_min;
            c.validMax = def.u.fs_d.valid_max;
            c.sliderMin = def.u.fs_d.slider_min;
            c.sliderMax = def.u.fs_d.slider_max;
            c.precision = def.u.fs_d.precision;
            c.displayFlags = def.u.fs_d.display_flags;
            break;
        case ControlKind::Slider:
            c.validMin = def.u.sd.valid_min;
            c.validMax = def.u.sd.valid_max;
            c.sliderMin = def.u.sd.slider_min;
            c.sliderMax = def.u.sd.slider_max;
            break;
        case ControlKind::Popup:
            c.choices = SplitChoices(def.u.pd.u.namesptr, def.u.pd.num_choices);
            break;
        default:
            break;
        }
        controls.push_back(std::move(c));
    }
    return controls;
}

const Control& FindControl(const std::vector<Control>& controls, const std::string& name) {
    const std::string wanted = Trim(name);
    for (const Control& c : controls) {
        if (c.name != wanted || c.kind == ControlKind::GroupEnd)
            continue;
        if (!c.Settable())
            throw UsageError("\"" + c.name +
                             "\" is a group of controls, not a control; set the controls inside it");
        return c;
    }
    std::vector<std::string> names;
    for (const Control& c : controls)
        if (c.Settable())
            names.push_back(c.name);
    const std::string closest = ClosestName(wanted, names);
    const std::string hint = closest.empty() ? "" : "; did you mean \"" + closest + "\"?";
    throw UsageError("unknown control \"" + wanted + "\"" + hint + " ('tovrin info' lists the controls)");
}

const Control* FindControlById(const std::vector<Control>& controls, A_long id) {
    for (const Control& c : controls)
        if (c.id == id && c.kind != ControlKind::GroupEnd && c.kind != ControlKind::GroupStart)
            return &c;
    return nullptr;
}

std::string AcceptedText(const Control& c) {
    switch (c.kind) {
    case ControlKind::FloatSlider:
        return "a number from " + FormatNumber(c.validMin) + " to " + FormatNumber(c.validMax);
    case ControlKind::Slider:
        return "a whole number from " + FormatNumber(c.validMin) + " to " + FormatNumber(c.validMax);
    case ControlKind::Checkbox:
        return "on, off, true, false, yes, no, 1 or 0";
    case ControlKind::Popup: {
        std::string s = "1 to " + std::to_string(c.choices.size()) + ", or one of";
        for (std::size_t i = 0; i < c.choices.size(); ++i)
            s += (i ? ", \"" : " \"") + c.choices[i] + "\"";
        return s;
    }
    case ControlKind::Color:
        return "R,G,B with each from 0 to 255, or #RRGGBB";
    default:
        return "no value";
    }
}

ControlValue ParseControlValue(const Control& c, const std::string& text) {
    ControlValue v;
    switch (c.kind) {
    case ControlKind::FloatSlider: {
        if (!ParseDouble(text, &v.number))
            throw Refuse(c, text, "is not a number");
        break;
    }
    case ControlKind::Slider: {
        long n = 0;
        if (!ParseLong(text, &n)) {
            double d = 0;
            throw Refuse(c, text, ParseDouble(text, &d) ? "is not a whole number" : "is not a number");
        }
        v.number = double(n);
        break;
    }
    case ControlKind::Checkbox: {
        const std::string t = Lower(Trim(text));
        if (t == "on" || t == "true" || t == "yes" || t == "1")
            v.number = 1;
        else if (t == "off" || t == "false" || t == "no" || t == "0")
            v.number = 0;
        else
            throw Refuse(c, text, "is not a checkbox value");
        break;
    }
    case ControlKind::Popup: {
        long n = 0;
        if (ParseLong(text, &n)) {
            v.number = double(n);
            break;
        }
        const std::string t = Lower(Trim(text));
        for (std::size_t i = 0; i < c.choices.size(); ++i)
            if (Lower(c.choices[i]) == t) {
                v.number = double(i + 1);
                return v;
            }
        throw Refuse(c, text, "is not one of the choices");
    }
    case ControlKind::Color:
        if (!ParseColor(text, &v.color))
            throw Refuse(c, text, "is not a colour");
        return v;
    default:
        throw UsageError("\"" + c.name + "\" takes no value");
    }
    try {
        CheckControlValue(c, v);
    } catch (const ToolError&) {
        throw Refuse(c, text, "is out of range");
    }
    return v;
}

void CheckControlValue(const Control& c, const ControlValue& v) {
    const auto outOfRange = [&] {
        return UsageError("control \"" + c.name + "\": " + FormatControlValue(c, v) +
                          " is out of range; it takes " + AcceptedText(c));
    };
    switch (c.kind) {
    case ControlKind::FloatSlider:
        if (!std::isfinite(v.number) || v.number < c.validMin || v.number > c.validMax)
            throw outOfRange();
        break;
    case ControlKind::Slider:
        if (v.number != std::trunc(v.number) || v.number < c.validMin || v.number > c.validMax)
            throw outOfRange();
        break;
    case ControlKind::Checkbox:
        if (v.number != 0 && v.number != 1)
            throw outOfRange();
        break;
    case ControlKind::Popup:
        if (v.number != std::trunc(v.number) || v.number < 1 || v.number > double(c.choices.size()))
            throw outOfRange();
        break;
    default:
        break;
    }
}

std::string FormatControlValue(const Control& c, const ControlValue& v) {
    switch (c.kind) {
    case ControlKind::Checkbox:
        return v.number != 0 ? "on" : "off";
    case ControlKind::Popup:
        // Checked as a double first: a value from a preset may be anything (1e300, -1) that no size_t holds.
        if (v.number >= 1 && v.number <= double(c.choices.size()) && v.number == std::trunc(v.number))
            return c.choices[std::size_t(v.number) - 1];
        return FormatNumber(v.number);
    case ControlKind::Color:
        return std::to_string(v.color.red) + "," + std::to_string(v.color.green) + "," +
               std::to_string(v.color.blue) + " (" + HexColor(v.color) + ")";
    default:
        return FormatNumber(v.number);
    }
}

ControlValue CurrentValue(const host::Instance& instance, const Control& c) {
    const PF_ParamDef& def = instance.Param(c.index);
    ControlValue v;
    switch (c.kind) {
    case ControlKind::FloatSlider:
        v.number = def.u.fs_d.value;
        break;
    case ControlKind::Slider:
        v.number = def.u.sd.value;
        break;
    case ControlKind::Checkbox:
        v.number = def.u.bd.value ? 1 : 0;
        break;
    case ControlKind::Popup:
        v.number = def.u.pd.value;
        break;
    case ControlKind::Color:
        v.color = def.u.cd.value;
        break;
    default:
        break;
    }
    return v;
}

ControlValue DefaultValue(const host::Instance& instance, const Control& c) {
    const PF_ParamDef& def = instance.Param(c.index);
    ControlValue v;
    switch (c.kind) {
    case ControlKind::FloatSlider:
        v.number = def.u.fs_d.dephault;
        break;
    case ControlKind::Slider:
        v.number = def.u.sd.dephault;
        break;
    case ControlKind::Checkbox:
        v.number = def.u.bd.dephault ? 1 : 0;
        break;
    case ControlKind::Popup:
        v.number = def.u.pd.dephault;
        break;
    case ControlKind::Color:
        v.color = def.u.cd.dephault;
        break;
    default:
        break;
    }
    return v;
}

void ApplyValue(host::Instance& instance, const Control& c, const ControlValue& v) {
    switch (c.kind) {
    case ControlKind::FloatSlider:
        instance.SetFloat(c.index, v.number);
        break;
    case ControlKind::Slider:
        instance.SetSlider(c.index, A_long(v.number));
        break;
    case ControlKind::Checkbox:
        instance.SetCheckbox(c.index, v.number != 0);
        break;
    case ControlKind::Popup:
        instance.SetPopup(c.index, A_long(v.number));
        break;
    case ControlKind::Color:
        instance.SetColor(c.index, v.color);
        break;
    default:
        break;
    }
}

std::pair<std::string, std::string> SplitAssignment(const std::string& text) {
    const std::size_t eq = text.find('=');
    if (eq == std::string::npos || Trim(text.substr(0, eq)).empty())
        throw UsageError("--set \"" + text + "\": expected NAME=VALUE, e.g. --set \"Blur Amount=12\"");
    return {Trim(text.substr(0, eq)), Trim(text.substr(eq + 1))};
}

} // namespace cli
