#include "params/ParamReading.h"

#include <cstring>
#include <type_traits>

namespace {

// Popups, sliders and checkboxes all keep their 32-bit value first in their part of the host record.
A_long IntegerValue(const PF_ParamDef& value) {
    A_long v;
    std::memcpy(&v, &value.u, sizeof v);
    return v;
}

// The value of the host's record in the type of the record field it goes into. A slider's value is held
// to its valid range: a host or a project may hand over any 32-bit number, and the render counts passes
// with it.
template <class T>
T ValueAs(const ControlDef& control, const PF_ParamDef& value) {
    if constexpr (std::is_same_v<T, double>) {
        return value.u.fs_d.value;
    } else if constexpr (std::is_same_v<T, PF_Pixel>) {
        return value.u.cd.value;
    } else {
        A_long v = IntegerValue(value);
        if (control.kind == ControlKind::Slider) {
            const auto low = static_cast<A_long>(control.range.validMin);
            const auto high = static_cast<A_long>(control.range.validMax);
            v = v < low ? low : v > high ? high : v;
        }
        return static_cast<T>(v); // a checkbox's byte is the low byte of its value
    }
}

} // namespace

PF_Err ParamGetter::Fetch(PF_ParamIndex index) {
    if (index < 1 || index >= kParamCount)
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    // The earlier value goes back whatever the host answers; the new fetch decides the result.
    (void)Release(index);
    Copy& copy = copies_[static_cast<std::size_t>(index)];
    const PF_Err err = Get(index, &copy.def);
    copy.fetched = err == PF_Err_NONE;
    return err;
}

PF_Err ParamGetter::Release(PF_ParamIndex index) {
    if (index < 1 || index >= kParamCount)
        return PF_Err_NONE;
    Copy& copy = copies_[static_cast<std::size_t>(index)];
    if (!copy.fetched)
        return PF_Err_NONE;
    copy.fetched = false;
    return Put(&copy.def);
}

const PF_ParamDef* ParamGetter::Fetched(PF_ParamIndex index) const noexcept {
    if (index < 1 || index >= kParamCount)
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

PF_Err GetParamFromArray::Put(PF_ParamDef*) {
    return PF_Err_NONE;
}

PF_Err GetParamByCheckout::Get(PF_ParamIndex index, PF_ParamDef* def) {
    const PF_Err err = in_data_->inter.checkout_param(in_data_->effect_ref, index, in_data_->current_time,
                                                      in_data_->time_step, in_data_->time_scale, def);
    if (err != PF_Err_NONE)
        std::memset(static_cast<void*>(def), 0, sizeof *def);
    return err;
}

PF_Err GetParamByCheckout::Put(PF_ParamDef* def) {
    return in_data_->inter.checkin_param(in_data_->effect_ref, def);
}

PF_Err ReadAllParams(RenderParams* record, ParamGetter& getter) {
    for (PF_ParamIndex index = 1; index < kParamCount; ++index) {
        const ControlDef& control = ControlAt(index);
        if (std::holds_alternative<std::monostate>(control.value))
            continue; // topics hold no value
        if (const PF_Err err = getter.Fetch(index))
            return err;
        if (record) {
            const PF_ParamDef& value = *getter.Fetched(index);
            std::visit(
                [&](const auto& field) {
                    using Field = std::decay_t<decltype(field)>;
                    if constexpr (!std::is_same_v<Field, std::monostate>) {
                        using T = std::decay_t<decltype(field.In(*record))>;
                        field.In(*record) = ValueAs<T>(control, value);
                    }
                },
                control.value);
        }
    }
    return PF_Err_NONE;
}

PF_Err ReleaseAllParams(ParamGetter& getter) {
    PF_Err first = PF_Err_NONE;
    for (PF_ParamIndex index = 1; index < kParamCount; ++index) {
        const PF_Err err = getter.Release(index);
        if (first == PF_Err_NONE)
            first = err;
    }
    return first;
}
