#pragma once
// The colour arithmetic of the engine: the blend of a pixel towards a colour, the ramps of falling
// weights, and the alpha-weighted average of a lone pixel. Colours are straight (not premultiplied):
// alpha is a weight of its own.
#include <algorithm>
#include <cstdint>

#include "sdk/AE_Effect.h"

// ---- BlendTowards -----------------------------------------------------------------------------------

// Integer depths, weight w in 0..65535. Sums are unsigned: in 16 bits two channels at 32768 with
// w = 65535 add up to exactly 2^31.
template <class Pixel>
void BlendTowards(Pixel& t, const Pixel& c, int32_t w) noexcept {
    using Channel = decltype(t.alpha);
    const uint32_t wc = static_cast<uint32_t>(w);
    const uint32_t wt = 65535u - wc;
    auto mix = [](uint32_t k, uint32_t a, uint32_t b) {
        return static_cast<Channel>((k * a + (65535u - k) * b + 32768u) >> 16);
    };
    if (t.alpha == c.alpha) {
        t.red = mix(wc, c.red, t.red);
        t.green = mix(wc, c.green, t.green);
        t.blue = mix(wc, c.blue, t.blue);
    } else if (c.alpha == 0) {
        t.alpha = static_cast<Channel>((wt * t.alpha + 32768u) >> 16);
    } else if (t.alpha == 0) {
        t = c;
        t.alpha = static_cast<Channel>((wc * c.alpha + 32768u) >> 16);
    } else {
        const uint32_t a1 = c.alpha * wc;
        const uint32_t a2 = wt * t.alpha;
        // The colour share goes through single precision, one rounding per operation.
        uint32_t k = 0; // a1 = 0 (w = 0): the quotient is infinite and the share 0
        if (a1 != 0) {
            float q = static_cast<float>(a2) / static_cast<float>(a1);
            q = q + 1.0f;
            q = 65535.0f / q;
            q = q + 0.5f;
            k = static_cast<uint32_t>(q);
        }
        t.red = mix(k, c.red, t.red);
        t.green = mix(k, c.green, t.green);
        t.blue = mix(k, c.blue, t.blue);
        t.alpha = static_cast<Channel>((a1 + a2 + 32768u) >> 16);
    }
}

// Float depth, weight w in 0..1. A transparent target takes the colour through the general formula.
inline void BlendTowards(PF_PixelFloat& t, const PF_PixelFloat& c, float w) noexcept {
    const float wt = 1.0f - w;
    if (t.alpha == c.alpha) {
        t.red = w * c.red + wt * t.red;
        t.green = w * c.green + wt * t.green;
        t.blue = w * c.blue + wt * t.blue;
    } else if (c.alpha == 0.0f) {
        t.alpha = wt * t.alpha;
    } else {
        const float a1 = c.alpha * w;
        const float a2 = wt * t.alpha;
        float k;
        if (a1 != 0.0f)
            k = 1.0f / (a2 / a1 + 1.0f);
        else
            k = a2 == 0.0f ? 1.0f : 0.0f; // w = 0: a transparent target still takes the colour
        const float kt = 1.0f - k;
        t.red = k * c.red + kt * t.red;
        t.green = k * c.green + kt * t.green;
        t.blue = k * c.blue + kt * t.blue;
        t.alpha = a1 + a2;
    }
}

// ---- Ramps ------------------------------------------------------------------------------------------

template <class Weight>
struct RampState {
    int32_t done = 0;
    Weight peak{};    // the start value
    Weight current{}; // the value before the next step
    Weight step{};    // the decrement per pixel
};

template <class Weight>
RampState<Weight> StartRamp(Weight start, Weight step) noexcept {
    RampState<Weight> r;
    r.peak = start;
    r.current = start;
    r.step = step;
    return r;
}

// 3276700 / (max(strength, 1) × (length + 1)); at least 1, so that every ramp ends.
inline int32_t RampDecrement(int32_t length, int64_t strength) noexcept {
    const int64_t divisor = std::max<int64_t>(strength, 1) * (static_cast<int64_t>(length) + 1);
    return static_cast<int32_t>(std::max<int64_t>(3276700 / divisor, 1));
}
inline float RampDecrementFloat(int32_t length, int64_t strength) noexcept {
    const int64_t divisor = std::max<int64_t>(strength, 1) * (static_cast<int64_t>(length) + 1);
    return static_cast<float>(50.0 / static_cast<double>(divisor));
}

// The weight of the next pixel: the area under the falling line across the pixel.
inline int32_t NextRampWeight(RampState<int32_t>& r) noexcept {
    const int32_t v = r.current;
    r.current = v - r.step;
    if (r.current > 0)
        return v - (r.step >> 1);
    r.done = 1;
    return static_cast<int32_t>(static_cast<int64_t>(v) * v / (2 * static_cast<int64_t>(r.step)));
}
inline float NextRampWeight(RampState<float>& r) noexcept {
    const float v = r.current;
    r.current = v - r.step;
    if (r.current > 0.0f)
        return v - r.step * 0.5f;
    r.done = 1;
    return v * v / (2.0f * r.step);
}

// ---- Lone-pixel average -----------------------------------------------------------------------------

// The target (weight "own") and its neighbours inside the image (weight w each), alpha-weighted. A
// colour without any alpha weight stays the target's. These are the definitions, one value at a time;
// the band passes run LoneAverage.h's forms, held equal to them.
void AverageLonePixel(PF_Pixel8& t, const PF_Pixel8* const* neighbours, int count, int64_t w) noexcept;
// The 16-bit average one sum at a time, in single precision.
void AverageLonePixel(PF_Pixel16& t, const PF_Pixel16* const* neighbours, int count, int64_t w) noexcept;
void AverageLonePixel(PF_PixelFloat& t, const PF_PixelFloat* const* neighbours, int count, float w) noexcept;
