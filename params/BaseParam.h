#pragma once
// Parameter definitions: one object per host parameter. A definition registers itself with the host
// (starting from its built-in default or a stored one), copies its current value into the render record,
// and writes a value back as a stored default.
#include "sdk/AE_Effect.h"

class ParamGetter;
struct RenderParams;

class BaseParam {
public:
    virtual ~BaseParam() = default;
    BaseParam(const BaseParam&) = delete;
    BaseParam& operator=(const BaseParam&) = delete;

    // Fetches the value through the getter into the getter's private copy and, when a record is given,
    // copies recordSize bytes from the start of the value into the record at recordOffset. Parameters
    // without a record field (topics) answer 0 without asking the getter.
    virtual PF_Err ReadValue(RenderParams* record, ParamGetter& getter);
    // Gives back what ReadValue fetched through the same getter; nothing when it fetched nothing.
    virtual PF_Err ReleaseValue(ParamGetter& getter);
    // Registers the parameter with the host under `id`. `path` names the stored-defaults file, or is null
    // when stored defaults are not used.
    virtual PF_Err AddToHost(PF_InData* in_data, A_long id, const char* path) = 0;
    // Writes `value` (a record of this parameter as the host holds it) as the stored default; nothing
    // when `path` is null.
    virtual void SaveDefault(const char* path, const PF_ParamDef& value) const;

    const char* name; // display name, also the key of the stored default
    PF_ParamDef def;  // the definition given to the host at registration
    A_long id = 0;    // persistent id (def.uu.id), the definition's slot in the table
    A_long index;     // host parameter index: 1 for the first definition created
    A_long recordOffset;
    A_long recordSize; // 0: no field in RenderParams

protected:
    // Takes the next host index. `tmpl` (may be null: all zero) is the starting content of def.
    BaseParam(A_long recordOffset, A_long recordSize, const char* name, const PF_ParamDef* tmpl);
    // The common end of every AddToHost: type, name, id, then add_param.
    PF_Err Register(PF_InData* in_data, A_long id, PF_ParamType type);
};

class ParamAddSlider final : public BaseParam {
public:
    ParamAddSlider(A_long recordOffset, A_long recordSize, const char* name, A_long validMin, A_long validMax,
                   A_long sliderMin, A_long sliderMax, A_long defaultValue, const PF_ParamDef* tmpl);
    PF_Err AddToHost(PF_InData* in_data, A_long id, const char* path) override;
    void SaveDefault(const char* path, const PF_ParamDef& value) const override;

    A_long validMin, validMax, sliderMin, sliderMax, defaultValue;
};

class ParamAddFloatSlider final : public BaseParam {
public:
    ParamAddFloatSlider(A_long recordOffset, A_long recordSize, const char* name, float validMin,
                        float validMax, float sliderMin, float sliderMax, float defaultValue,
                        A_short precision, A_short displayFlags, A_long wantPhase, const PF_ParamDef* tmpl);
    PF_Err AddToHost(PF_InData* in_data, A_long id, const char* path) override;
    void SaveDefault(const char* path, const PF_ParamDef& value) const override;

    float validMin, validMax, sliderMin, sliderMax, defaultValue;
    A_short precision, displayFlags;
    A_long wantPhase;
};

class ParamAddCheckbox final : public BaseParam {
public:
    ParamAddCheckbox(A_long recordOffset, A_long recordSize, const char* name, const char* label,
                     signed char defaultValue, A_long extraFlags, const PF_ParamDef* tmpl);
    PF_Err AddToHost(PF_InData* in_data, A_long id, const char* path) override;
    void SaveDefault(const char* path, const PF_ParamDef& value) const override;

    const char* label;
    signed char defaultValue;
    A_long extraFlags; // OR-ed into def.flags
};

class ParamAddPopup final : public BaseParam {
public:
    ParamAddPopup(A_long recordOffset, A_long recordSize, const char* name, A_short numChoices,
                  A_short defaultValue, const char* choices, const PF_ParamDef* tmpl);
    PF_Err AddToHost(PF_InData* in_data, A_long id, const char* path) override;
    void SaveDefault(const char* path, const PF_ParamDef& value) const override;

    A_short numChoices;
    A_short defaultValue; // 1-based item number
    const char* choices;  // items separated by '|'
};

class ParamAddColor final : public BaseParam {
public:
    ParamAddColor(A_long recordOffset, A_long recordSize, const char* name, PF_Pixel defaultColor,
                  const PF_ParamDef* tmpl);
    PF_Err AddToHost(PF_InData* in_data, A_long id, const char* path) override;
    void SaveDefault(const char* path, const PF_ParamDef& value) const override;

    PF_Pixel defaultColor; // alpha 255
};

class ParamAddTopic final : public BaseParam {
public:
    ParamAddTopic(const char* name, const PF_ParamDef* tmpl);
    PF_Err AddToHost(PF_InData* in_data, A_long id, const char* path) override;
};

class ParamEndTopic final : public BaseParam {
public:
    explicit ParamEndTopic(const PF_ParamDef* tmpl);
    PF_Err AddToHost(PF_InData* in_data, A_long id, const char* path) override;
};
