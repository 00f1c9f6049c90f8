// The effect's list of parameters: creation order gives the host order, the id gives the slot.
#include "params/EffectParams.h"

#include <cstddef>
#include <utility>

#include "filter/RoomHandlers.h"
#include "params/BaseParam.h"
#include "params/ParamList.h"
#include "params/RenderParams.h"
#include "share/AEUtil/Allocator.h"
#include "share/AEUtil/SuiteHolder.h"

namespace {

#define TOVRIN_FIELD(field) static_cast<A_long>(offsetof(RenderParams, field))

A_long KeyField(int k, std::size_t member) {
    return static_cast<A_long>(offsetof(RenderParams, keys) +
                               sizeof(KeyColorParams) * static_cast<std::size_t>(k - 1) + member);
}

// Bytes copied from the host's value into the record, per kind.
constexpr A_long kPopupBytes = 4, kSliderBytes = 4, kFloatBytes = 8, kCheckboxBytes = 1, kColorBytes = 4;
static_assert(sizeof(RenderParams::blurType) == kPopupBytes && sizeof(RenderParams::mode) == kPopupBytes);
static_assert(sizeof(RenderParams::repeat) == kSliderBytes);
static_assert(sizeof(RenderParams::blurAmount) == kFloatBytes &&
              sizeof(KeyColorParams::range) == kFloatBytes);
static_assert(sizeof(RenderParams::autoAlpha) == kCheckboxBytes &&
              sizeof(KeyColorParams::enable) == kCheckboxBytes);
static_assert(sizeof(KeyColorParams::color) == kColorBytes);

constexpr A_short kPrecision = 1;
constexpr A_long kNoPhase = 0;
constexpr A_long kNoExtraFlags = 0;
constexpr PF_Pixel kKeyColorDefault = {255, 3, 180, 245};

const char* const kEnableNames[kKeyColorCount] = {"1 : Enable", "2 : Enable", "3 : Enable", "4 : Enable"};
const char* const kColorNames[kKeyColorCount] = {"1 : Color", "2 : Color", "3 : Color", "4 : Color"};
const char* const kRangeNames[kKeyColorCount] = {"1 : Color Range", "2 : Color Range", "3 : Color Range",
                                                 "4 : Color Range"};

template <class Kind, class... Args>
void Add(A_long id, Args&&... args) {
    PlaceParam(id, AEUtil::New<Kind>(std::forward<Args>(args)...));
}

void AddFloat(A_long id, A_long offset, const char* name, float validMin, float validMax, float sliderMin,
              float sliderMax, float dflt, A_short displayFlags, const PF_ParamDef* tmpl) {
    Add<ParamAddFloatSlider>(id, offset, kFloatBytes, name, validMin, validMax, sliderMin, sliderMax, dflt,
                             kPrecision, displayFlags, kNoPhase, tmpl);
}

} // namespace

void BuildParamList(PF_InData* in_data) {
    EmptyParamTable();
    const ParamTemplates templates = MakeParamTemplates(AEUtil::IsRenderEngine(in_data));
    const PF_ParamDef* standard = &templates.standard;
    const PF_ParamDef* expanded = &templates.expandedTopic;
    const A_short none = PF_ValueDisplayFlag_NONE;
    const A_short percent = PF_ValueDisplayFlag_PERCENT;

    Add<ParamAddPopup>(kBlurTypeId, TOVRIN_FIELD(blurType), kPopupBytes, "Blur Type", A_short{2},
                       A_short{kBlurTypeBox}, "Gaussian|Box", standard);
    AddFloat(kBlurAmountId, TOVRIN_FIELD(blurAmount), "Blur Amount", 0, 1000, 0, 100, 0, none, standard);
    Add<ParamAddSlider>(kBlurRepeatNumId, TOVRIN_FIELD(repeat), kSliderBytes, "Blur Repeat Num", A_long{1},
                        A_long{10}, A_long{1}, A_long{10}, A_long{3}, standard);
    AddFloat(kBlurAspectId, TOVRIN_FIELD(blurAspect), "Blur Aspect", -100, 100, -10, 10, 0, none, standard);
    AddFloat(kBrightnessId, TOVRIN_FIELD(brightness), "Brightness", 0, 100, 0, 100, 0, none, standard);

    Add<ParamAddTopic>(kRgbBlurTopicId, "RGB Blur", expanded);
    AddFloat(kRedId, TOVRIN_FIELD(r), "R", 0, 1000, 0, 100, 0, none, standard);
    AddFloat(kGreenId, TOVRIN_FIELD(g), "G", 0, 1000, 0, 100, 5, none, standard);
    AddFloat(kBlueId, TOVRIN_FIELD(b), "B", 0, 1000, 0, 100, 15, none, standard);
    Add<ParamAddCheckbox>(kAutoAlphaId, TOVRIN_FIELD(autoAlpha), kCheckboxBytes, "Auto Alpha", "",
                          static_cast<signed char>(1), kNoExtraFlags, standard);
    AddFloat(kAlphaId, TOVRIN_FIELD(a), "A", 0, 1000, 0, 100, 0, none, standard);
    Add<ParamEndTopic>(kRgbBlurTopicEndId, standard);

    Add<ParamAddTopic>(kKeyColorsTopicId, "Key Colors", standard);
    for (int k = 1; k <= kKeyColorCount; ++k) {
        Add<ParamAddCheckbox>(KeyEnableId(k), KeyField(k, offsetof(KeyColorParams, enable)), kCheckboxBytes,
                              kEnableNames[k - 1], "", static_cast<signed char>(0), kNoExtraFlags, standard);
        Add<ParamAddColor>(KeyColorId(k), KeyField(k, offsetof(KeyColorParams, color)), kColorBytes,
                           kColorNames[k - 1], kKeyColorDefault, standard);
        AddFloat(KeyColorRangeId(k), KeyField(k, offsetof(KeyColorParams, range)), kRangeNames[k - 1], 0, 100,
                 0, 50, 0, percent, standard);
    }
    Add<ParamAddPopup>(kModeId, TOVRIN_FIELD(mode), kPopupBytes, "Mode", A_short{3}, A_short{kModeNormal},
                       "Normal|Extract|Disable All", standard);
    Add<ParamAddCheckbox>(kInvertId, TOVRIN_FIELD(invert), kCheckboxBytes, "Invert", "",
                          static_cast<signed char>(0), kNoExtraFlags, standard);
    Add<ParamAddCheckbox>(kKeepDivisionId, TOVRIN_FIELD(keepDivision), kCheckboxBytes, "Keep Division", "",
                          static_cast<signed char>(1), kNoExtraFlags, standard);
    Add<ParamEndTopic>(kKeyColorsTopicEndId, standard);

    FinishParamList();
}

void DestroyParamList() noexcept {
    EmptyParamTable();
}
