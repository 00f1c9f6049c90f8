#include "params/BaseParam.h"

#include <bit>
#include <cstdio>
#include <cstring>

#include "params/ParamList.h"
#include "params/ParamReading.h"
#include "params/RenderParams.h"
#include "params/StoredDefaults.h"

// A record field takes the first recordSize bytes of the host's value, so a checkbox's byte is the low
// byte of its 32-bit value only on a little-endian machine, which every host of the protocol is.
static_assert(std::endian::native == std::endian::little);

namespace {

// Slider, checkbox and popup all keep their 32-bit value first in their part of the host record.
A_long IntegerValue(const PF_ParamDef& value) {
    A_long v;
    std::memcpy(&v, &value.u, sizeof v);
    return v;
}

// The key of one colour channel: the parameter's name and ".r", ".g", ".b" or ".a".
struct ChannelKey {
    char text[PF_MAX_EFFECT_PARAM_NAME_LEN + 8];
    ChannelKey(const char* name, char channel) { std::snprintf(text, sizeof text, "%s.%c", name, channel); }
};

} // namespace

BaseParam::BaseParam(A_long offset, A_long size, const char* paramName, const PF_ParamDef* tmpl)
    : name(paramName), index(TakeParamIndex()), recordOffset(offset), recordSize(size) {
    if (tmpl)
        def = *tmpl;
    else
        std::memset(static_cast<void*>(&def), 0, sizeof def);
}

PF_Err BaseParam::ReadValue(RenderParams* record, ParamGetter& getter) {
    if (recordSize == 0)
        return PF_Err_NONE;
    ParamGetter::Copy* copy = getter.CopyFor(index);
    if (!copy)
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    if (copy->fetched) {
        // Read twice through one getter: give the first value back, or its checkout would be lost.
        copy->fetched = 0;
        (void)getter.Release(&copy->def);
    }
    const PF_Err err = getter.Get(index, &copy->def);
    if (err != PF_Err_NONE)
        return err;
    copy->fetched = 1;
    if (record) {
        std::memcpy(reinterpret_cast<unsigned char*>(record) + recordOffset, &copy->def.u,
                    static_cast<std::size_t>(recordSize));
    }
    return PF_Err_NONE;
}

PF_Err BaseParam::ReleaseValue(ParamGetter& getter) {
    if (recordSize == 0)
        return PF_Err_NONE;
    ParamGetter::Copy* copy = getter.copies_ ? getter.CopyFor(index) : nullptr;
    if (!copy || !copy->fetched)
        return PF_Err_NONE;
    copy->fetched = 0;
    return getter.Release(&copy->def);
}

void BaseParam::SaveDefault(const char*, const PF_ParamDef&) const {}

PF_Err BaseParam::Register(PF_InData* in_data, A_long paramId, PF_ParamType type) {
    def.param_type = type;
    in_data->utils->ansi.strcpy(def.name, name);
    def.uu.id = paramId;
    return in_data->inter.add_param(in_data->effect_ref, -1, &def);
}

// ---- Slider ---------------------------------------------------------------------------------------------

ParamAddSlider::ParamAddSlider(A_long offset, A_long size, const char* paramName, A_long vMin, A_long vMax,
                               A_long sMin, A_long sMax, A_long dflt, const PF_ParamDef* tmpl)
    : BaseParam(offset, size, paramName, tmpl), validMin(vMin), validMax(vMax), sliderMin(sMin),
      sliderMax(sMax), defaultValue(dflt) {}

PF_Err ParamAddSlider::AddToHost(PF_InData* in_data, A_long paramId, const char* path) {
    A_long start = defaultValue;
    if (path && !IsLegacyHost(in_data))
        start = ReadStoredInt(path, name, defaultValue);
    PF_SliderDef& sd = def.u.sd;
    sd.value = start;
    sd.valid_min = validMin;
    sd.valid_max = validMax;
    sd.slider_min = sliderMin;
    sd.slider_max = sliderMax;
    sd.dephault = start;
    std::memset(sd.value_str, 0, sizeof sd.value_str);
    std::memset(sd.value_desc, 0, sizeof sd.value_desc);
    return Register(in_data, paramId, PF_Param_SLIDER);
}

void ParamAddSlider::SaveDefault(const char* path, const PF_ParamDef& value) const {
    WriteStoredInt(path, name, IntegerValue(value));
}

// ---- Float slider ---------------------------------------------------------------------------------------

ParamAddFloatSlider::ParamAddFloatSlider(A_long offset, A_long size, const char* paramName, float vMin,
                                         float vMax, float sMin, float sMax, float dflt, A_short prec,
                                         A_short flags, A_long phase, const PF_ParamDef* tmpl)
    : BaseParam(offset, size, paramName, tmpl), validMin(vMin), validMax(vMax), sliderMin(sMin),
      sliderMax(sMax), defaultValue(dflt), precision(prec), displayFlags(flags), wantPhase(phase) {}

PF_Err ParamAddFloatSlider::AddToHost(PF_InData* in_data, A_long paramId, const char* path) {
    float start = defaultValue;
    if (path && !IsLegacyHost(in_data))
        start = ReadStoredFloat(path, name, defaultValue);
    PF_FloatSliderDef& fs = def.u.fs_d;
    fs.value = start;
    fs.valid_min = validMin;
    fs.valid_max = validMax;
    fs.slider_min = sliderMin;
    fs.slider_max = sliderMax;
    fs.dephault = start;
    fs.precision = precision;
    fs.display_flags = displayFlags;
    if (wantPhase)
        fs.fs_flags |= PF_FSliderFlag_WANT_PHASE;
    fs.curve_tolerance = 0.05f;
    return Register(in_data, paramId, PF_Param_FLOAT_SLIDER);
}

void ParamAddFloatSlider::SaveDefault(const char* path, const PF_ParamDef& value) const {
    WriteStoredFloat(path, name, value.u.fs_d.value);
}

// ---- Checkbox -------------------------------------------------------------------------------------------

ParamAddCheckbox::ParamAddCheckbox(A_long offset, A_long size, const char* paramName, const char* text,
                                   signed char dflt, A_long flags, const PF_ParamDef* tmpl)
    : BaseParam(offset, size, paramName, tmpl), label(text), defaultValue(dflt), extraFlags(flags) {}

PF_Err ParamAddCheckbox::AddToHost(PF_InData* in_data, A_long paramId, const char* path) {
    A_long start = defaultValue;
    if (path && !IsLegacyHost(in_data))
        start = ReadStoredInt(path, name, defaultValue);
    const auto low = static_cast<signed char>(static_cast<A_u_long>(start) & 0xFF);
    PF_CheckBoxDef& bd = def.u.bd;
    bd.value = low;
    bd.dephault = static_cast<PF_Boolean>(low);
    bd.u.nameptr = label;
    def.flags |= extraFlags;
    return Register(in_data, paramId, PF_Param_CHECKBOX);
}

void ParamAddCheckbox::SaveDefault(const char* path, const PF_ParamDef& value) const {
    WriteStoredInt(path, name, IntegerValue(value));
}

// ---- Popup ----------------------------------------------------------------------------------------------

ParamAddPopup::ParamAddPopup(A_long offset, A_long size, const char* paramName, A_short count, A_short dflt,
                             const char* items, const PF_ParamDef* tmpl)
    : BaseParam(offset, size, paramName, tmpl), numChoices(count), defaultValue(dflt), choices(items) {}

PF_Err ParamAddPopup::AddToHost(PF_InData* in_data, A_long paramId, const char* path) {
    A_long start = defaultValue;
    if (path && !IsLegacyHost(in_data))
        start = ReadStoredInt(path, name, defaultValue);
    const auto low = static_cast<A_short>(static_cast<A_u_long>(start) & 0xFFFF);
    PF_PopupDef& pd = def.u.pd;
    pd.value = low;
    pd.num_choices = numChoices;
    pd.dephault = low;
    pd.u.namesptr = choices;
    return Register(in_data, paramId, PF_Param_POPUP);
}

void ParamAddPopup::SaveDefault(const char* path, const PF_ParamDef& value) const {
    WriteStoredInt(path, name, IntegerValue(value));
}

// ---- Colour ---------------------------------------------------------------------------------------------

ParamAddColor::ParamAddColor(A_long offset, A_long size, const char* paramName, PF_Pixel color,
                             const PF_ParamDef* tmpl)
    : BaseParam(offset, size, paramName, tmpl), defaultColor(color) {}

PF_Err ParamAddColor::AddToHost(PF_InData* in_data, A_long paramId, const char* path) {
    PF_Pixel start = defaultColor;
    start.alpha = 255;
    if (path && !IsLegacyHost(in_data)) {
        auto channel = [&](char c, A_u_char fallback) {
            return static_cast<A_u_char>(ReadStoredInt(path, ChannelKey(name, c).text, fallback) & 0xFF);
        };
        start.red = channel('r', defaultColor.red);
        start.green = channel('g', defaultColor.green);
        start.blue = channel('b', defaultColor.blue);
    }
    def.u.cd.value = start;
    def.u.cd.dephault = start;
    return Register(in_data, paramId, PF_Param_COLOR);
}

void ParamAddColor::SaveDefault(const char* path, const PF_ParamDef& value) const {
    const PF_Pixel& c = value.u.cd.value;
    WriteStoredInt(path, ChannelKey(name, 'r').text, c.red);
    WriteStoredInt(path, ChannelKey(name, 'g').text, c.green);
    WriteStoredInt(path, ChannelKey(name, 'b').text, c.blue);
    WriteStoredInt(path, ChannelKey(name, 'a').text, c.alpha);
}

// ---- Topics ---------------------------------------------------------------------------------------------

ParamAddTopic::ParamAddTopic(const char* paramName, const PF_ParamDef* tmpl)
    : BaseParam(0, 0, paramName, tmpl) {}

PF_Err ParamAddTopic::AddToHost(PF_InData* in_data, A_long paramId, const char*) {
    return Register(in_data, paramId, PF_Param_GROUP_START);
}

ParamEndTopic::ParamEndTopic(const PF_ParamDef* tmpl) : BaseParam(0, 0, "", tmpl) {}

PF_Err ParamEndTopic::AddToHost(PF_InData* in_data, A_long paramId, const char*) {
    return Register(in_data, paramId, PF_Param_GROUP_END);
}
