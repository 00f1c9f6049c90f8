#pragma once
// The brightness step: every colour channel of the selected pixels is multiplied by a gain and lifted by
// an offset, both growing with the strength b, and clipped at full scale; alpha is kept. A lookup table
// per depth replaces the per-pixel arithmetic.
#include <cstdint>

#include "kernels/PixelTraits.h"
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

// A whole table of the depth (Depth::kTableEntries entries); raises std::bad_alloc when the host refuses
// memory.
template <class Depth>
BrightnessTable<typename Depth::Channel> BuildBrightnessTable(const BrightnessCurve& curve);

// Brightens the selected pixels of the source's rows that hold one into the destination over area with
// the lookup pass of the depth, run through iterate_generic; other pixels of the destination are cleared
// when clearUnselected is set and left alone otherwise. Returns the host's result; raises std::bad_alloc
// when the host refuses memory for the table.
template <class Depth>
PF_Err ApplyBrightness(PF_EffectWorld* destination, const PF_InData* in_data, A_long iterations,
                       PF_EffectWorld* source, const PF_Rect& area, const SelectionPlane& plane, double b,
                       double fullGain, double liftExponent, uint8_t clearUnselected);

#define TOVRIN_BRIGHTNESS(Depth)                                                                             \
    extern template BrightnessTable<Depth::Channel> BuildBrightnessTable<Depth>(const BrightnessCurve&);     \
    extern template PF_Err ApplyBrightness<Depth>(PF_EffectWorld*, const PF_InData*, A_long,                 \
                                                  PF_EffectWorld*, const PF_Rect&, const SelectionPlane&,    \
                                                  double, double, double, uint8_t);
TOVRIN_BRIGHTNESS(Depth8)
TOVRIN_BRIGHTNESS(Depth16)
TOVRIN_BRIGHTNESS(DepthFloat)
#undef TOVRIN_BRIGHTNESS

// The depth of the pixel format; PF_Err_UNRECOGNIZED_PARAM_TYPE for any other format.
PF_Err ApplyBrightness(PF_PixelFormat format, PF_EffectWorld* destination, const PF_InData* in_data,
                       A_long iterations, PF_EffectWorld* source, const PF_Rect& area,
                       const SelectionPlane& plane, double b, double fullGain, double liftExponent,
                       uint8_t clearUnselected);
