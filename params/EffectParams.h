#pragma once
// The effect's 29 controls. The ids are persistent: projects store values under them, so they never
// change, whatever the order of the controls.
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
