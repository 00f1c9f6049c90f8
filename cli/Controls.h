#pragma once
// The effect's controls as the host registered them, and their values as people write them:
// numbers for sliders, on/off, true/false, yes/no or 1/0 for checkboxes, a 1-based number or the item's text
// for popups, R,G,B (0..255) or #RRGGBB for colours.
#include <string>
#include <vector>

#include "host/Instance.h"
#include "sdk/AE_Effect.h"

namespace cli {

enum class ControlKind { Popup, FloatSlider, Slider, Checkbox, Color, GroupStart, GroupEnd, Other };
const char* KindName(ControlKind kind); // "popup", "float_slider", ...

struct Control {
    PF_ParamIndex index = 0;
    A_long id = 0;
    std::string name;
    ControlKind kind = ControlKind::Other;
    double validMin = 0, validMax = 0, sliderMin = 0, sliderMax = 0; // sliders
    int precision = 0, displayFlags = 0;                             // float sliders
    std::vector<std::string> choices;                                // popups
    bool Settable() const {
        return kind == ControlKind::Popup || kind == ControlKind::FloatSlider ||
               kind == ControlKind::Slider || kind == ControlKind::Checkbox || kind == ControlKind::Color;
    }
};

// One value: `number` for every kind but colours (popups 1-based, checkboxes 0 or 1), `color` for colours.
struct ControlValue {
    double number = 0;
    PF_Pixel color{255, 0, 0, 0};
    friend bool operator==(const ControlValue& a, const ControlValue& b) {
        return a.number == b.number && a.color.alpha == b.color.alpha && a.color.red == b.color.red &&
               a.color.green == b.color.green && a.color.blue == b.color.blue;
    }
};

// The parameters after the input layer, in host-index order.
std::vector<Control> ListControls(const host::Instance& instance);

// By display name; throws a usage error for an unknown name (suggesting the closest) or a group.
const Control& FindControl(const std::vector<Control>& controls, const std::string& name);
const Control* FindControlById(const std::vector<Control>& controls, A_long id);

// What the control accepts, for messages: "a number from 0 to 1000", "on, off, 1 or 0", ...
std::string AcceptedText(const Control& control);
// Parses `text` for the control; throws a usage error naming the control and what it accepts.
ControlValue ParseControlValue(const Control& control, const std::string& text);
// Checks a value from elsewhere (a preset) against the control's valid range; throws a usage error.
void CheckControlValue(const Control& control, const ControlValue& value);
// The value as --set would take it back.
std::string FormatControlValue(const Control& control, const ControlValue& value);

ControlValue CurrentValue(const host::Instance& instance, const Control& control);
ControlValue DefaultValue(const host::Instance& instance, const Control& control);
void ApplyValue(host::Instance& instance, const Control& control, const ControlValue& value);

// Splits "NAME=VALUE" (spaces around either are ignored); throws a usage error.
std::pair<std::string, std::string> SplitAssignment(const std::string& text);

} // namespace cli
