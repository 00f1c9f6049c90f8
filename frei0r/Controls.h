#pragma once
// The effect's controls as frei0r parameters: one per control that holds a value (topics hold none), named
// as the effect names it, in the effect's order. Floats and sliders are doubles in the control's own units,
// popups doubles holding the 1-based item number, checkboxes bools, colours colours. A value from the
// application is clamped to the control's valid range before it reaches the effect.
#include <string>
#include <vector>

#include "sdk/AE_Effect.h"

namespace frei0r {

enum class Kind { Float, Slider, Popup, Checkbox, Color };

struct Control {
    PF_ParamIndex index = 0; // in the host's parameter list (0 is the layer)
    Kind kind = Kind::Float;
    std::string name;
    std::string explanation;
    double validMin = 0, validMax = 0; // Float, Slider; Popup: 1 .. items
    PF_ParamDefUnion initial{};        // the value a new instance starts with
};

// The controls among the parameters the effect registered (params[0] is the layer).
std::vector<Control> ControlsOf(const std::vector<PF_ParamDef>& params);

// frei0r's parameter type for a control (F0R_PARAM_*).
int Frei0rType(Kind kind);

// Reads a frei0r value (`param` points to a double or an f0r_param_color) into `value`, clamped to the
// control's range; a value that is not a number leaves `value` as it was.
void SetFromFrei0r(const Control& control, const void* param, PF_ParamDefUnion& value);
// Writes `value` as frei0r's type into `param`.
void GetAsFrei0r(const Control& control, const PF_ParamDefUnion& value, void* param);

} // namespace frei0r
