// Greys out the controls that have no effect under the current settings.
#include "params/ParamsCommands.h"

#include <cstring>

#include "params/Controls.h"
#include "share/AEUtil/SuiteHolder.h"

namespace {

class ParamUI {
public:
    ParamUI(PF_InData* in_data, PF_ParamDef* params[])
        : in_data_(in_data), params_(params), suites_(in_data->pica_basicP) {
        // The array holds in_data->num_params records; never reach past them.
        count_ = in_data->num_params > 0 ? in_data->num_params : kParamCount;
    }

    // The 32-bit value of the control in slot `id`; 0 when the command did not bring it.
    A_long Value(A_long id) const {
        const PF_ParamDef* def = Record(IndexOfControl(id));
        if (!def)
            return 0;
        A_long value; // slider, checkbox and popup all keep their 32-bit value first
        std::memcpy(&value, &def->u, sizeof value);
        return value;
    }

    // Sends a copy of the command's record with the disabled flag set or cleared. The host's answer does
    // not matter: the next update sends the state again.
    void Update(PF_ParamIndex index, bool disabled) {
        const PF_ParamDef* def = Record(index);
        if (!def)
            return;
        PF_ParamDef copy = *def;
        if (disabled)
            copy.ui_flags |= PF_PUI_DISABLED;
        else
            copy.ui_flags &= ~PF_PUI_DISABLED;
        suites_.ParamUtilsSuite()->PF_UpdateParamUI(in_data_->effect_ref, index, &copy);
    }
    void UpdateId(A_long id, bool disabled) { Update(IndexOfControl(id), disabled); }

private:
    const PF_ParamDef* Record(PF_ParamIndex index) const {
        if (!params_ || index < 1 || index >= count_)
            return nullptr;
        return params_[index];
    }

    PF_InData* in_data_;
    PF_ParamDef** params_;
    AEUtil::SuiteHolder suites_;
    A_long count_ = 0;
};

} // namespace

PF_Err UpdateParamsUI(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[]) {
    ParamUI ui(in_data, params);
    if (AEUtil::IsRenderEngine(in_data)) {
        for (PF_ParamIndex i = 1; i < out_data->num_params; ++i)
            ui.Update(i, true);
        return PF_Err_NONE;
    }

    const A_long mode = ui.Value(kModeId);
    const bool disableAll = mode == kModeDisableAll;
    bool anyKey = false;
    bool enabled[kKeyColorCount];
    for (int k = 1; k <= kKeyColorCount; ++k) {
        enabled[k - 1] = ui.Value(KeyEnableId(k)) != 0;
        anyKey = anyKey || enabled[k - 1];
    }

    for (int k = 1; k <= kKeyColorCount; ++k)
        ui.UpdateId(KeyEnableId(k), disableAll);
    ui.UpdateId(kInvertId, disableAll);
    ui.UpdateId(kKeepDivisionId, disableAll);
    ui.UpdateId(kAlphaId, ui.Value(kAutoAlphaId) != 0);
    for (int k = 1; k <= kKeyColorCount; ++k) {
        const bool keyOn = enabled[k - 1] && !disableAll;
        ui.UpdateId(KeyColorId(k), !keyOn);
        ui.UpdateId(KeyColorRangeId(k), !keyOn);
    }
    // Invert and Keep Division only matter when some key selects pixels; this update is the final one.
    ui.UpdateId(kInvertId, disableAll || !anyKey);
    ui.UpdateId(kKeepDivisionId, disableAll || !anyKey);
    return PF_Err_NONE;
}
