#pragma once
// The brightness step: every colour channel of the selected pixels is multiplied by a gain and lifted by
// an offset, both growing with the strength b, and clipped at full scale; alpha is kept. A lookup table
// per depth replaces the per-pixel arithmetic.
#include <cstdint>

#include "kernels/SelectionPlane.h"
#include "sdk/AE_Effect.h"
#include "share/AEUtil/SharedArray.h"

// gain = 1 + b × (g1 − 1), lift = b to the power e.
struct BrightnessCurve {
    double gain = 1.0;
    double lift = 0.0;
};
BrightnessCurve MakeBrightnessCurve(double b, double fullGain, double liftExponent) noexcept;

// b to the power e, the same on every platform: correctly rounded for a whole exponent 0..64 (the
// step's 4 among them), the C library's pow otherwise.
double BrightnessPower(double b, double e) noexcept;

// A table of entries of the depth's channel type: 256 for 8-bit, 32769 for 16-bit and float.
template <class Entry>
struct BrightnessTable {
    AEUtil::SharedArray<Entry> entries;
    int32_t count = 0;
};

// The entries for channel value i (16-bit, float: i / 32768), in double arithmetic.
A_u_char BrightnessEntry8(int32_t i, const BrightnessCurve& curve) noexcept;
A_u_short BrightnessEntry16(int32_t i, const BrightnessCurve& curve) noexcept;
PF_FpShort BrightnessEntryFloat(int32_t i, const BrightnessCurve& curve) noexcept;

// Whole tables; raise std::bad_alloc when the host refuses memory.
BrightnessTable<A_u_char> BuildBrightnessTable8(const BrightnessCurve& curve);
BrightnessTable<A_u_short> BuildBrightnessTable16(const BrightnessCurve& curve);
BrightnessTable<PF_FpShort> BuildBrightnessTableFloat(const BrightnessCurve& curve);

// Brightens the selected pixels of the source's rows that hold one into the destination over area with
// the lookup pass of the depth, run through iterate_generic; other pixels of the destination are cleared
// when clearUnselected is set and left alone otherwise. Returns the host's result; raises std::bad_alloc
// when the host refuses memory for the table.
PF_Err ApplyBrightness8(PF_EffectWorld* destination, const PF_InData* in_data, A_long iterations,
                        PF_EffectWorld* source, const PF_Rect& area, const SelectionPlane& plane, double b,
                        double fullGain, double liftExponent, uint8_t clearUnselected);
PF_Err ApplyBrightness16(PF_EffectWorld* destination, const PF_InData* in_data, A_long iterations,
                         PF_EffectWorld* source, const PF_Rect& area, const SelectionPlane& plane, double b,
                         double fullGain, double liftExponent, uint8_t clearUnselected);
PF_Err ApplyBrightnessFloat(PF_EffectWorld* destination, const PF_InData* in_data, A_long iterations,
                            PF_EffectWorld* source, const PF_Rect& area, const SelectionPlane& plane,
                            double b, double fullGain, double liftExponent, uint8_t clearUnselected);
// The variant of the pixel format; PF_Err_UNRECOGNIZED_PARAM_TYPE for any other format.
PF_Err ApplyBrightness(PF_PixelFormat format, PF_EffectWorld* destination, const PF_InData* in_data,
                       A_long iterations, PF_EffectWorld* source, const PF_Rect& area,
                       const SelectionPlane& plane, double b, double fullGain, double liftExponent,
                       uint8_t clearUnselected);
