#include "frei0r/Controls.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>

#include <frei0r.h>

namespace frei0r {
namespace {

std::string Number(double v) {
    std::ostringstream s;
    s << v;
    return s.str();
}

// "1 Gaussian, 2 Box" from the popup's "Gaussian|Box".
std::string Items(const char* names) {
    std::string out, item;
    int n = 1;
    std::istringstream in(names ? names : "");
    while (std::getline(in, item, '|'))
        out += (out.empty() ? "" : ", ") + std::to_string(n++) + " " + item;
    return out;
}

A_u_char ColorByte(float c, A_u_char old) {
    if (std::isnan(c))
        return old;
    return A_u_char(std::floor(std::clamp(c, 0.0f, 1.0f) * 255.0f + 0.5f));
}

} // namespace

std::vector<Control> ControlsOf(const std::vector<PF_ParamDef>& params) {
    std::vector<Control> controls;
    for (std::size_t i = 1; i < params.size(); ++i) {
        const PF_ParamDef& def = params[i];
        Control c;
        c.index = PF_ParamIndex(i);
        c.name.assign(def.name, strnlen(def.name, sizeof(def.name)));
        c.initial = def.u;
        switch (def.param_type) {
        case PF_Param_FLOAT_SLIDER:
            c.kind = Kind::Float;
            c.validMin = def.u.fs_d.valid_min;
            c.validMax = def.u.fs_d.valid_max;
            c.explanation = Number(c.validMin) + " to " + Number(c.validMax);
            break;
        case PF_Param_SLIDER:
            c.kind = Kind::Slider;
            c.validMin = def.u.sd.valid_min;
            c.validMax = def.u.sd.valid_max;
            c.explanation = "whole numbers " + Number(c.validMin) + " to " + Number(c.validMax);
            break;
        case PF_Param_POPUP:
            c.kind = Kind::Popup;
            c.validMin = 1;
            c.validMax = std::max<double>(1, def.u.pd.num_choices);
            c.explanation = Items(def.u.pd.u.namesptr);
            break;
        case PF_Param_CHECKBOX:
            c.kind = Kind::Checkbox;
            break;
        case PF_Param_COLOR:
            c.kind = Kind::Color;
            break;
        default:
            continue; // topics and kinds without a frei0r counterpart
        }
        controls.push_back(std::move(c));
    }
    return controls;
}

int Frei0rType(Kind kind) {
    switch (kind) {
    case Kind::Checkbox:
        return F0R_PARAM_BOOL;
    case Kind::Color:
        return F0R_PARAM_COLOR;
    default:
        return F0R_PARAM_DOUBLE;
    }
}

void SetFromFrei0r(const Control& control, const void* param, PF_ParamDefUnion& value) {
    if (control.kind == Kind::Color) {
        const auto* c = static_cast<const f0r_param_color_t*>(param);
        PF_Pixel& p = value.cd.value;
        p = PF_Pixel{p.alpha, ColorByte(c->r, p.red), ColorByte(c->g, p.green), ColorByte(c->b, p.blue)};
        return;
    }
    double v = *static_cast<const double*>(param);
    if (std::isnan(v))
        return;
    switch (control.kind) {
    case Kind::Float:
        value.fs_d.value = std::clamp(v, control.validMin, control.validMax);
        break;
    case Kind::Slider:
        value.sd.value = A_long(std::lround(std::clamp(v, control.validMin, control.validMax)));
        break;
    case Kind::Popup:
        value.pd.value = A_long(std::lround(std::clamp(v, control.validMin, control.validMax)));
        break;
    case Kind::Checkbox:
        value.bd.value = v >= 0.5 ? 1 : 0;
        break;
    case Kind::Color:
        break;
    }
}

void GetAsFrei0r(const Control& control, const PF_ParamDefUnion& value, void* param) {
    double* d = static_cast<double*>(param);
    switch (control.kind) {
    case Kind::Float:
        *d = value.fs_d.value;
        break;
    case Kind::Slider:
        *d = value.sd.value;
        break;
    case Kind::Popup:
        *d = value.pd.value;
        break;
    case Kind::Checkbox:
        *d = value.bd.value ? 1.0 : 0.0;
        break;
    case Kind::Color: {
        auto* c = static_cast<f0r_param_color_t*>(param);
        const PF_Pixel& p = value.cd.value;
        *c = f0r_param_color_t{p.red / 255.0f, p.green / 255.0f, p.blue / 255.0f};
        break;
    }
    }
}

} // namespace frei0r
