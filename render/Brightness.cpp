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

// The brightness view of a depth: its traits extended by the table entry of a channel value.
template <class Depth>
struct BrightnessOf;

template <>
struct BrightnessOf<Depth8> : Depth8 {
    static Channel EntryOf(int32_t i, const BrightnessCurve& c) noexcept { return BrightnessEntry8(i, c); }
};

template <>
struct BrightnessOf<Depth16> : Depth16 {
    static Channel EntryOf(int32_t i, const BrightnessCurve& c) noexcept { return BrightnessEntry16(i, c); }
};

template <>
struct BrightnessOf<DepthFloat> : DepthFloat {
    static Channel EntryOf(int32_t i, const BrightnessCurve& c) noexcept {
        return BrightnessEntryFloat(i, c);
    }
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

template <class Depth>
BrightnessTable<typename Depth::Channel> BuildBrightnessTable(const BrightnessCurve& curve) {
    using Traits = BrightnessOf<Depth>;
    BrightnessTable<typename Depth::Channel> table;
    table.entries = AEUtil::SharedArray<typename Depth::Channel>::Allocate(Depth::kTableEntries);
    for (int32_t i = 0; i < Depth::kTableEntries; ++i)
        table.entries.get()[i] = Traits::EntryOf(i, curve);
    table.count = Depth::kTableEntries;
    return table;
}

template <class Depth>
PF_Err ApplyBrightness(PF_EffectWorld* destination, const PF_InData* in_data, A_long iterations,
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
    return RunPass(in_data, iterations, &context, MapSelectedRgb<Depth>);
}

#define TOVRIN_BRIGHTNESS(Depth)                                                                             \
    template BrightnessTable<Depth::Channel> BuildBrightnessTable<Depth>(const BrightnessCurve&);            \
    template PF_Err ApplyBrightness<Depth>(PF_EffectWorld*, const PF_InData*, A_long, PF_EffectWorld*,       \
                                           const PF_Rect&, const SelectionPlane&, double, double, double,    \
                                           uint8_t);
TOVRIN_BRIGHTNESS(Depth8)
TOVRIN_BRIGHTNESS(Depth16)
TOVRIN_BRIGHTNESS(DepthFloat)
#undef TOVRIN_BRIGHTNESS

PF_Err ApplyBrightness(PF_PixelFormat format, PF_EffectWorld* destination, const PF_InData* in_data,
                       A_long iterations, PF_EffectWorld* source, const PF_Rect& area,
                       const SelectionPlane& plane, double b, double fullGain, double liftExponent,
                       uint8_t clearUnselected) {
    return VisitDepth(format, [&]<class D>(D) -> PF_Err {
        return ApplyBrightness<D>(destination, in_data, iterations, source, area, plane, b, fullGain,
                                  liftExponent, clearUnselected);
    });
}
