#include "render/Brightness.h"

#include <cmath>
#include <limits>

#include "kernels/MaskedPasses.h"
#include "kernels/PassContext.h"
#include "kernels/PixelTraits.h"

namespace {

// Double-double arithmetic from exact products (Dekker's split, no fused multiply-add), so that a whole
// power is computed to about 104 bits with the same operations on every platform.
struct DoubleDouble {
    double hi;
    double lo;
};

inline void Split(double a, double& hi, double& lo) noexcept {
    const double c = 134217729.0 * a; // 2^27 + 1
    hi = c - (c - a);
    lo = a - hi;
}

inline DoubleDouble ExactProduct(double a, double b) noexcept {
    const double p = a * b;
    double ah, al, bh, bl;
    Split(a, ah, al);
    Split(b, bh, bl);
    return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}

inline DoubleDouble Multiply(DoubleDouble a, DoubleDouble b) noexcept {
    const DoubleDouble p = ExactProduct(a.hi, b.hi);
    const double e = p.lo + (a.hi * b.lo + a.lo * b.hi);
    const double s = p.hi + e;
    return {s, e - (s - p.hi)};
}

template <class Depth>
struct BrightnessOf;

template <>
struct BrightnessOf<Depth8> {
    using Entry = A_u_char;
    static constexpr int32_t count = 256;
    static Entry EntryOf(int32_t i, const BrightnessCurve& c) noexcept { return BrightnessEntry8(i, c); }
    static constexpr PassFunction pass = MapSelectedRgb8;
};

template <>
struct BrightnessOf<Depth16> {
    using Entry = A_u_short;
    static constexpr int32_t count = 32769;
    static Entry EntryOf(int32_t i, const BrightnessCurve& c) noexcept { return BrightnessEntry16(i, c); }
    static constexpr PassFunction pass = MapSelectedRgb16;
};

template <>
struct BrightnessOf<DepthFloat> {
    using Entry = PF_FpShort;
    static constexpr int32_t count = 32769;
    static Entry EntryOf(int32_t i, const BrightnessCurve& c) noexcept { return BrightnessEntryFloat(i, c); }
    static constexpr PassFunction pass = MapSelectedRgbFloat;
};

// v clipped at full scale and rounded half up; below zero (possible only for a negative strength) or NaN
// gives 0 instead of an undefined conversion.
inline int32_t RoundedEntry(double v, double fullScale) noexcept {
    if (v > fullScale)
        return static_cast<int32_t>(fullScale);
    const double r = v + 0.5;
    if (!(r >= 0.0))
        return 0;
    return static_cast<int32_t>(r);
}

template <class Depth>
BrightnessTable<typename BrightnessOf<Depth>::Entry> BuildBrightnessTable(const BrightnessCurve& curve) {
    using Traits = BrightnessOf<Depth>;
    BrightnessTable<typename Traits::Entry> table;
    table.entries = AEUtil::SharedArray<typename Traits::Entry>::Allocate(Traits::count);
    for (int32_t i = 0; i < Traits::count; ++i)
        table.entries.get()[i] = Traits::EntryOf(i, curve);
    table.count = Traits::count;
    return table;
}

template <class Depth>
PF_Err ApplyBrightnessOf(PF_EffectWorld* destination, const PF_InData* in_data, A_long iterations,
                         PF_EffectWorld* source, const PF_Rect& area, const SelectionPlane& plane, double b,
                         double fullGain, double liftExponent, uint8_t clearUnselected) {
    const auto table = BuildBrightnessTable<Depth>(MakeBrightnessCurve(b, fullGain, liftExponent));
    PassContext context;
    context.destination = destination;
    context.source = source;
    context.rect = area;
    context.plane = plane;
    context.clearUnselected = clearUnselected;
    context.lookupTable = table.entries.get();
    return RunPass(in_data, iterations, &context, BrightnessOf<Depth>::pass);
}

} // namespace

double BrightnessPower(double b, double e) noexcept {
    // pow differs in the last bit between C libraries; a whole exponent is done by hand.
    if (e >= 0.0 && e <= 64.0 && e == std::trunc(e) && std::isfinite(b) && std::fabs(b) <= 1.0e4) {
        auto n = static_cast<unsigned>(e);
        DoubleDouble result{1.0, 0.0};
        DoubleDouble square{b, 0.0};
        while (n) {
            if (n & 1u)
                result = Multiply(result, square);
            n >>= 1;
            if (n)
                square = Multiply(square, square);
        }
        return result.hi + result.lo;
    }
    return std::pow(b, e);
}

BrightnessCurve MakeBrightnessCurve(double b, double fullGain, double liftExponent) noexcept {
    return {1.0 + b * (fullGain - 1.0), BrightnessPower(b, liftExponent)};
}

A_u_char BrightnessEntry8(int32_t i, const BrightnessCurve& curve) noexcept {
    const double v = i * curve.gain + curve.lift * 255.0;
    return static_cast<A_u_char>(RoundedEntry(v, 255.0));
}

A_u_short BrightnessEntry16(int32_t i, const BrightnessCurve& curve) noexcept {
    const double v = i * curve.gain + curve.lift * 32768.0;
    return static_cast<A_u_short>(RoundedEntry(v, 32768.0));
}

PF_FpShort BrightnessEntryFloat(int32_t i, const BrightnessCurve& curve) noexcept {
    const double v = (i / 32768.0) * curve.gain + curve.lift;
    if (v > 1.0)
        return 1.0f;
    constexpr double lowest = std::numeric_limits<PF_FpShort>::lowest();
    return static_cast<PF_FpShort>(v < lowest ? lowest : v);
}

BrightnessTable<A_u_char> BuildBrightnessTable8(const BrightnessCurve& curve) {
    return BuildBrightnessTable<Depth8>(curve);
}
BrightnessTable<A_u_short> BuildBrightnessTable16(const BrightnessCurve& curve) {
    return BuildBrightnessTable<Depth16>(curve);
}
BrightnessTable<PF_FpShort> BuildBrightnessTableFloat(const BrightnessCurve& curve) {
    return BuildBrightnessTable<DepthFloat>(curve);
}

PF_Err ApplyBrightness8(PF_EffectWorld* destination, const PF_InData* in_data, A_long iterations,
                        PF_EffectWorld* source, const PF_Rect& area, const SelectionPlane& plane, double b,
                        double fullGain, double liftExponent, uint8_t clearUnselected) {
    return ApplyBrightnessOf<Depth8>(destination, in_data, iterations, source, area, plane, b, fullGain,
                                     liftExponent, clearUnselected);
}

PF_Err ApplyBrightness16(PF_EffectWorld* destination, const PF_InData* in_data, A_long iterations,
                         PF_EffectWorld* source, const PF_Rect& area, const SelectionPlane& plane, double b,
                         double fullGain, double liftExponent, uint8_t clearUnselected) {
    return ApplyBrightnessOf<Depth16>(destination, in_data, iterations, source, area, plane, b, fullGain,
                                      liftExponent, clearUnselected);
}

PF_Err ApplyBrightnessFloat(PF_EffectWorld* destination, const PF_InData* in_data, A_long iterations,
                            PF_EffectWorld* source, const PF_Rect& area, const SelectionPlane& plane,
                            double b, double fullGain, double liftExponent, uint8_t clearUnselected) {
    return ApplyBrightnessOf<DepthFloat>(destination, in_data, iterations, source, area, plane, b, fullGain,
                                         liftExponent, clearUnselected);
}

PF_Err ApplyBrightness(PF_PixelFormat format, PF_EffectWorld* destination, const PF_InData* in_data,
                       A_long iterations, PF_EffectWorld* source, const PF_Rect& area,
                       const SelectionPlane& plane, double b, double fullGain, double liftExponent,
                       uint8_t clearUnselected) {
    switch (format) {
    case PF_PixelFormat_ARGB32:
        return ApplyBrightness8(destination, in_data, iterations, source, area, plane, b, fullGain,
                                liftExponent, clearUnselected);
    case PF_PixelFormat_ARGB64:
        return ApplyBrightness16(destination, in_data, iterations, source, area, plane, b, fullGain,
                                 liftExponent, clearUnselected);
    case PF_PixelFormat_ARGB128:
        return ApplyBrightnessFloat(destination, in_data, iterations, source, area, plane, b, fullGain,
                                    liftExponent, clearUnselected);
    default:
        return PF_Err_UNRECOGNIZED_PARAM_TYPE;
    }
}
