#include "params/ParamReading.h"

#include <cstring>

#include "params/BaseParam.h"
#include "params/ParamList.h"

ParamGetter::~ParamGetter() = default;

ParamGetter::Copy* ParamGetter::CopyFor(PF_ParamIndex index) {
    if (!copies_) {
        const A_long count = ParamIndexCounter();
        if (count <= 1)
            return nullptr;
        copies_ = AEUtil::MakeArray<Copy>(static_cast<std::size_t>(count));
        std::memset(static_cast<void*>(copies_.get()), 0, sizeof(Copy) * static_cast<std::size_t>(count));
        count_ = count;
    }
    if (index < 1 || index >= count_)
        return nullptr;
    return &copies_[static_cast<std::size_t>(index)];
}

const PF_ParamDef* ParamGetter::Fetched(PF_ParamIndex index) const noexcept {
    if (!copies_ || index < 1 || index >= count_)
        return nullptr;
    const Copy& copy = copies_[static_cast<std::size_t>(index)];
    return copy.fetched ? &copy.def : nullptr;
}

PF_Err GetParamFromArray::Get(PF_ParamIndex index, PF_ParamDef* def) {
    if (!params_ || !params_[index])
        return PF_Err_BAD_CALLBACK_PARAM;
    *def = *params_[index];
    return PF_Err_NONE;
}

PF_Err GetParamFromArray::Release(PF_ParamDef*) {
    return PF_Err_NONE;
}

int GetParamFromArray::IsEnabled(PF_ParamIndex index) const {
    if (!params_ || !params_[index])
        return 1;
    return (params_[index]->ui_flags & PF_PUI_DISABLED) ? 0 : 1;
}

PF_Err GetParamByCheckout::Get(PF_ParamIndex index, PF_ParamDef* def) {
    const PF_Err err = in_data_->inter.checkout_param(in_data_->effect_ref, index, in_data_->current_time,
                                                      in_data_->time_step, in_data_->time_scale, def);
    if (err != PF_Err_NONE)
        std::memset(static_cast<void*>(def), 0, sizeof *def);
    return err;
}

PF_Err GetParamByCheckout::Release(PF_ParamDef* def) {
    return in_data_->inter.checkin_param(in_data_->effect_ref, def);
}

int GetParamByCheckout::IsEnabled(PF_ParamIndex index) const {
    if (!params_ || !params_[index])
        return 1;
    return (params_[index]->ui_flags & PF_PUI_DISABLED) ? 0 : 1;
}

PF_Err ReadAllParams(RenderParams* record, ParamGetter& getter) {
    for (A_long p = 1; p <= kParamSlots; ++p) {
        BaseParam* param = ParamAtPosition(p);
        if (!param)
            break;
        if (const PF_Err err = param->ReadValue(record, getter))
            return err;
    }
    return PF_Err_NONE;
}

PF_Err ReleaseAllParams(ParamGetter& getter) {
    PF_Err first = PF_Err_NONE;
    for (A_long p = 1; p <= kParamSlots; ++p) {
        BaseParam* param = ParamAtPosition(p);
        if (!param)
            break;
        const PF_Err err = param->ReleaseValue(getter);
        if (first == PF_Err_NONE)
            first = err;
    }
    return first;
}

void SaveAllDefaults(const char* path, const ParamGetter& getter) {
    if (!path)
        return;
    for (A_long p = 1; p <= kParamSlots; ++p) {
        const BaseParam* param = ParamAtPosition(p);
        if (!param)
            break;
        const PF_ParamDef* fetched = getter.Fetched(param->index);
        param->SaveDefault(path, fetched ? *fetched : param->def);
    }
}
