#pragma once
// The effect's 29 controls as one table: id, name, kind, ranges, default, and the field of RenderParams
// that receives the value. Registration, reading and the stored-defaults text all walk this table.
//
// The table's order is the host order: the control at position p has host index p + 1 (index 0 is the
// input layer). The ids are persistent: projects store values under them, so neither changes, whatever
// the order of the controls.
#include <cstddef>
#include <iterator>
#include <variant>

#include "params/RenderParams.h"
#include "sdk/AE_Effect.h"

enum EffectParamId : A_long {
    kBlurTypeId = 50,
    kBlurAmountId = 51,
    kBlurRepeatNumId = 52,
    kBlurAspectId = 53,
    kKeepDivisionId = 54,
    kBrightnessId = 55,
    kRgbBlurTopicId = 100,
    kRgbBlurTopicEndId = 101,
    kAutoAlphaId = 102,
    kRedId = 103,
    kGreenId = 104,
    kBlueId = 105,
    kAlphaId = 106,
    kKeyColorsTopicId = 150,
    kKeyColorsTopicEndId = 151,
    kKey1EnableId = 152, // key k (1 to 4): Enable, Color and Color Range at 152 + 3 (k - 1) + 0, 1, 2
    kModeId = 164,
    kInvertId = 165,
};

constexpr int kKeyColorCount = 4;
constexpr A_long KeyEnableId(int k) {
    return kKey1EnableId + 3 * (k - 1);
}
constexpr A_long KeyColorId(int k) {
    return KeyEnableId(k) + 1;
}
constexpr A_long KeyColorRangeId(int k) {
    return KeyEnableId(k) + 2;
}

// "Mode" items.
enum : A_long { kModeNormal = 1, kModeExtract = 2, kModeDisableAll = 3 };
// "Blur Type" items.
enum : A_long { kBlurTypeGaussian = 1, kBlurTypeBox = 2 };

enum class ControlKind { Popup, Slider, FloatSlider, Checkbox, Color, TopicStart, TopicEnd };

// Where a control's value goes in the render record: a field of the record, or a field of one of its key
// colours.
template <class T>
struct RecordField {
    T RenderParams::*field = nullptr;
    int key = 0;
    T KeyColorParams::*keyField = nullptr;

    constexpr T& In(RenderParams& record) const { return field ? record.*field : record.keys[key].*keyField; }
};

// Popups and sliders give their 32-bit value, float sliders their double, checkboxes the low byte of
// their value, colours their pixel; topics have no value.
using ValueField = std::variant<std::monostate, RecordField<int32_t>, RecordField<double>,
                                RecordField<uint8_t>, RecordField<PF_Pixel>>;

struct ControlRange {
    float validMin, validMax, sliderMin, sliderMax;
};

struct ControlDef {
    A_long id;
    const char* name; // display name, also the key of the stored default
    ControlKind kind;
    ValueField value;
    ControlRange range{};   // sliders and float sliders
    float defaultValue = 0; // sliders, float sliders; popups their 1-based item; checkboxes 0 or 1
    PF_ValueDisplayFlags displayFlags = PF_ValueDisplayFlag_NONE; // float sliders
    A_short choiceCount = 0;                                      // popups
    const char* choices = ""; // popups: items separated by '|'; checkboxes: the label
    PF_Pixel defaultColor{};  // colours
    bool expanded = false;    // topics that open expanded
};

namespace controls_detail {

template <class T>
constexpr RecordField<T> Field(T RenderParams::*field) {
    return {field, 0, nullptr};
}
template <class T>
constexpr RecordField<T> KeyField(int k, T KeyColorParams::*field) {
    return {nullptr, k - 1, field};
}

constexpr ControlDef Popup(A_long id, const char* name, const char* items, A_short count, A_long dflt,
                           RecordField<int32_t> field) {
    ControlDef c{id, name, ControlKind::Popup, field};
    c.defaultValue = static_cast<float>(dflt);
    c.choiceCount = count;
    c.choices = items;
    return c;
}
constexpr ControlDef Slider(A_long id, const char* name, ControlRange range, A_long dflt,
                            RecordField<int32_t> field) {
    ControlDef c{id, name, ControlKind::Slider, field};
    c.range = range;
    c.defaultValue = static_cast<float>(dflt);
    return c;
}
constexpr ControlDef FloatSlider(A_long id, const char* name, ControlRange range, float dflt,
                                 RecordField<double> field,
                                 PF_ValueDisplayFlags displayFlags = PF_ValueDisplayFlag_NONE) {
    ControlDef c{id, name, ControlKind::FloatSlider, field};
    c.range = range;
    c.defaultValue = dflt;
    c.displayFlags = displayFlags;
    return c;
}
constexpr ControlDef Checkbox(A_long id, const char* name, bool dflt, RecordField<uint8_t> field) {
    ControlDef c{id, name, ControlKind::Checkbox, field};
    c.defaultValue = dflt ? 1.0f : 0.0f;
    return c;
}
constexpr ControlDef Color(A_long id, const char* name, PF_Pixel dflt, RecordField<PF_Pixel> field) {
    ControlDef c{id, name, ControlKind::Color, field};
    c.defaultColor = dflt;
    return c;
}
constexpr ControlDef TopicStart(A_long id, const char* name, bool expanded = false) {
    ControlDef c{id, name, ControlKind::TopicStart, std::monostate{}};
    c.expanded = expanded;
    return c;
}
constexpr ControlDef TopicEnd(A_long id) {
    return ControlDef{id, "", ControlKind::TopicEnd, std::monostate{}};
}

constexpr ControlRange kLength{0, 1000, 0, 100};
constexpr ControlRange kColorRange{0, 100, 0, 50};
constexpr PF_Pixel kKeyColorDefault{255, 3, 180, 245};

inline constexpr ControlDef kTable[] = {
    Popup(kBlurTypeId, "Blur Type", "Gaussian|Box", 2, kBlurTypeBox, Field(&RenderParams::blurType)),
    FloatSlider(kBlurAmountId, "Blur Amount", kLength, 0, Field(&RenderParams::blurAmount)),
    Slider(kBlurRepeatNumId, "Blur Repeat Num", {1, 10, 1, 10}, 3, Field(&RenderParams::repeat)),
    FloatSlider(kBlurAspectId, "Blur Aspect", {-100, 100, -10, 10}, 0, Field(&RenderParams::blurAspect)),
    FloatSlider(kBrightnessId, "Brightness", {0, 100, 0, 100}, 0, Field(&RenderParams::brightness)),

    TopicStart(kRgbBlurTopicId, "RGB Blur", true),
    FloatSlider(kRedId, "R", kLength, 0, Field(&RenderParams::r)),
    FloatSlider(kGreenId, "G", kLength, 5, Field(&RenderParams::g)),
    FloatSlider(kBlueId, "B", kLength, 15, Field(&RenderParams::b)),
    Checkbox(kAutoAlphaId, "Auto Alpha", true, Field(&RenderParams::autoAlpha)),
    FloatSlider(kAlphaId, "A", kLength, 0, Field(&RenderParams::a)),
    TopicEnd(kRgbBlurTopicEndId),

    TopicStart(kKeyColorsTopicId, "Key Colors"),
    Checkbox(KeyEnableId(1), "1 : Enable", false, KeyField(1, &KeyColorParams::enable)),
    Color(KeyColorId(1), "1 : Color", kKeyColorDefault, KeyField(1, &KeyColorParams::color)),
    FloatSlider(KeyColorRangeId(1), "1 : Color Range", kColorRange, 0, KeyField(1, &KeyColorParams::range),
                PF_ValueDisplayFlag_PERCENT),
    Checkbox(KeyEnableId(2), "2 : Enable", false, KeyField(2, &KeyColorParams::enable)),
    Color(KeyColorId(2), "2 : Color", kKeyColorDefault, KeyField(2, &KeyColorParams::color)),
    FloatSlider(KeyColorRangeId(2), "2 : Color Range", kColorRange, 0, KeyField(2, &KeyColorParams::range),
                PF_ValueDisplayFlag_PERCENT),
    Checkbox(KeyEnableId(3), "3 : Enable", false, KeyField(3, &KeyColorParams::enable)),
    Color(KeyColorId(3), "3 : Color", kKeyColorDefault, KeyField(3, &KeyColorParams::color)),
    FloatSlider(KeyColorRangeId(3), "3 : Color Range", kColorRange, 0, KeyField(3, &KeyColorParams::range),
                PF_ValueDisplayFlag_PERCENT),
    Checkbox(KeyEnableId(4), "4 : Enable", false, KeyField(4, &KeyColorParams::enable)),
    Color(KeyColorId(4), "4 : Color", kKeyColorDefault, KeyField(4, &KeyColorParams::color)),
    FloatSlider(KeyColorRangeId(4), "4 : Color Range", kColorRange, 0, KeyField(4, &KeyColorParams::range),
                PF_ValueDisplayFlag_PERCENT),
    Popup(kModeId, "Mode", "Normal|Extract|Disable All", 3, kModeNormal, Field(&RenderParams::mode)),
    Checkbox(kInvertId, "Invert", false, Field(&RenderParams::invert)),
    Checkbox(kKeepDivisionId, "Keep Division", true, Field(&RenderParams::keepDivision)),
    TopicEnd(kKeyColorsTopicEndId),
};

} // namespace controls_detail

inline constexpr const auto& kControls = controls_detail::kTable;

// Host parameters: the input layer and the controls.
constexpr A_long kParamCount = static_cast<A_long>(std::size(kControls)) + 1;
static_assert(kParamCount == 30);

// The control of host index `index` (1 to kParamCount - 1).
constexpr const ControlDef& ControlAt(PF_ParamIndex index) {
    return kControls[index - 1];
}

// The host index of the control with `id`, or 0 when there is none.
constexpr PF_ParamIndex IndexOfControl(A_long id) {
    for (std::size_t p = 0; p < std::size(kControls); ++p)
        if (kControls[p].id == id)
            return static_cast<PF_ParamIndex>(p + 1);
    return 0;
}

namespace controls_detail {
constexpr bool IdsAreDistinct() {
    for (std::size_t p = 0; p < std::size(kControls); ++p)
        if (IndexOfControl(kControls[p].id) != static_cast<PF_ParamIndex>(p + 1))
            return false;
    return true;
}
static_assert(IdsAreDistinct(), "two controls share an id");
static_assert(IndexOfControl(kKeepDivisionId) == 28 && IndexOfControl(kKeyColorsTopicEndId) == 29);
} // namespace controls_detail
