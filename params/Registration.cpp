// Registration of the controls with the host: each control's record built from its row of the table,
// starting from its stored default where the host reads them.
#include "params/ParamsCommands.h"

#include <cstring>
#include <optional>

#include "params/Controls.h"
#include "params/Registration.h"
#include "params/StoredDefaults.h"
#include "share/AEUtil/SuiteHolder.h"

namespace {

// Written by the first-call setup, the parameter setup and the teardown. The records are what the store
// of defaults falls back on for a control it could not read.
bool g_registerDisabled = false;
PF_ParamDef g_registered[kParamCount] = {};

constexpr A_short kPrecision = 1;
constexpr float kCurveTolerance = 0.05f;

// All zero except the collapsed-group flag (not for a topic that opens expanded) and, on a render
// engine, the disabled UI flag.
PF_ParamDef Template(const ControlDef& control) {
    PF_ParamDef def;
    std::memset(static_cast<void*>(&def), 0, sizeof def);
    if (!control.expanded)
        def.flags = PF_ParamFlag_COLLAPSE_TWIRLY;
    if (g_registerDisabled)
        def.ui_flags = PF_PUI_DISABLED;
    return def;
}

PF_ParamType TypeOf(ControlKind kind) {
    switch (kind) {
    case ControlKind::Popup:
        return PF_Param_POPUP;
    case ControlKind::Slider:
        return PF_Param_SLIDER;
    case ControlKind::FloatSlider:
        return PF_Param_FLOAT_SLIDER;
    case ControlKind::Checkbox:
        return PF_Param_CHECKBOX;
    case ControlKind::Color:
        return PF_Param_COLOR;
    case ControlKind::TopicStart:
        return PF_Param_GROUP_START;
    case ControlKind::TopicEnd:
        break;
    }
    return PF_Param_GROUP_END;
}

// The value part of the record: the built-in default, or the stored one when there are stored defaults.
void FillValue(PF_ParamDef& def, const ControlDef& control, const StoredDefaultsReader* stored) {
    const A_long builtIn = static_cast<A_long>(control.defaultValue);
    switch (control.kind) {
    case ControlKind::Slider: {
        const A_long start = stored ? stored->Integer(control) : builtIn;
        PF_SliderDef& sd = def.u.sd;
        sd.value = start;
        sd.valid_min = static_cast<A_long>(control.range.validMin);
        sd.valid_max = static_cast<A_long>(control.range.validMax);
        sd.slider_min = static_cast<A_long>(control.range.sliderMin);
        sd.slider_max = static_cast<A_long>(control.range.sliderMax);
        sd.dephault = start;
        break;
    }
    case ControlKind::FloatSlider: {
        const float start = stored ? stored->Float(control) : control.defaultValue;
        PF_FloatSliderDef& fs = def.u.fs_d;
        fs.value = start;
        fs.valid_min = control.range.validMin;
        fs.valid_max = control.range.validMax;
        fs.slider_min = control.range.sliderMin;
        fs.slider_max = control.range.sliderMax;
        fs.dephault = start;
        fs.precision = kPrecision;
        fs.display_flags = control.displayFlags;
        fs.curve_tolerance = kCurveTolerance;
        break;
    }
    case ControlKind::Checkbox: {
        const A_long start = stored ? stored->Integer(control) : builtIn; // 0 or 1
        PF_CheckBoxDef& bd = def.u.bd;
        bd.value = start;
        bd.dephault = static_cast<PF_Boolean>(start);
        bd.u.nameptr = control.choices;
        break;
    }
    case ControlKind::Popup: {
        const A_long start = stored ? stored->Integer(control) : builtIn; // an item of the list
        PF_PopupDef& pd = def.u.pd;
        pd.value = start;
        pd.num_choices = control.choiceCount;
        pd.dephault = static_cast<A_short>(start);
        pd.u.namesptr = control.choices;
        break;
    }
    case ControlKind::Color: {
        PF_Pixel start = control.defaultColor;
        start.alpha = 255;
        if (stored)
            start = stored->Color(control);
        def.u.cd.value = start;
        def.u.cd.dephault = start;
        break;
    }
    case ControlKind::TopicStart:
    case ControlKind::TopicEnd:
        break;
    }
}

} // namespace

void BeginParamsLifecycle(PF_InData* in_data) {
    EndParamsLifecycle();
    g_registerDisabled = AEUtil::IsRenderEngine(in_data);
}

void EndParamsLifecycle() noexcept {
    g_registerDisabled = false;
    std::memset(static_cast<void*>(g_registered), 0, sizeof g_registered);
}

const PF_ParamDef& RegisteredControl(PF_ParamIndex index) noexcept {
    static const PF_ParamDef none{};
    return index >= 1 && index < kParamCount ? g_registered[index] : none;
}

PF_Err ParamsSetup(PF_InData* in_data, PF_OutData* out_data) {
    char path[kStoredDefaultsPathSize];
    const char* file = nullptr;
    if (IsLegacyHost(in_data)) {
        EmptyStoredDefaultsSection();
    } else {
        if (StoredDefaultsPath(in_data, path))
            file = path;
        FillStoredDefaultsSection();
    }
    // Read once for all controls: a store in progress elsewhere is seen whole or not at all.
    std::optional<StoredDefaultsReader> stored;
    if (file)
        stored.emplace(file);
    PF_Err err = PF_Err_NONE;
    for (PF_ParamIndex index = 1; index < kParamCount && err == PF_Err_NONE; ++index) {
        const ControlDef& control = ControlAt(index);
        PF_ParamDef& def = g_registered[index];
        def = Template(control);
        FillValue(def, control, stored ? &*stored : nullptr);
        def.param_type = TypeOf(control.kind);
        in_data->utils->ansi.strcpy(def.name, control.name);
        def.uu.id = control.id;
        err = in_data->inter.add_param(in_data->effect_ref, -1, &def);
    }
    out_data->num_params = kParamCount;
    return err;
}
