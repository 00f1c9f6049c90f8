#pragma once
// The three depths of the engine: pixel and weight types, the conversion of a job's 8-bit-unit values,
// the fixed weights, and the pixel difference test. The integer engines weigh with 65536 = 1.0.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "edgesmooth/EdgeSmooth.h"
#include "kernels/PixelTraits.h"
#include "sdk/AE_Effect.h"

// Fixed weights and ramp starts of the integer engines.
struct IntegerWeights {
    using Weight = int32_t;
    static constexpr Weight kLongRampStart = 32767;     // 0.5
    static constexpr Weight kThinRampStart = 65535;     // 1.0
    static constexpr Weight kTracerFirstStart = 21844;  // 1/3
    static constexpr Weight kTracerSecondStart = 32767; // 1/2
    static constexpr Weight kNotchRestore = 32767;
    static constexpr Weight kCornerRestore = 49151;
    static constexpr Weight kJogSoften = 10922;
};

struct FloatWeights {
    using Weight = float;
    static constexpr Weight kLongRampStart = 0.5f;
    static constexpr Weight kThinRampStart = 1.0f;
    static constexpr Weight kTracerFirstStart = 0.33333334f;
    static constexpr Weight kTracerSecondStart = 0.5f;
    static constexpr Weight kNotchRestore = 0.5f;
    static constexpr Weight kCornerRestore = 0.75f;
    static constexpr Weight kJogSoften = 0.16666667f;
};

// The engine's view of a depth: the depth's own traits (pixel, format) extended by its weights and levels.
template <class Depth>
struct EdgeTraits;

template <>
struct EdgeTraits<Depth8> : Depth8 {
    using Weights = IntegerWeights;
    using Weight = IntegerWeights::Weight;
    using LoneWeight = int64_t; // a neighbour's share in a lone pixel's average
    using Level = int64_t;      // thresholds
    static Level ScaleLevel(int32_t v) noexcept { return v; }
};

template <>
struct EdgeTraits<Depth16> : Depth16 {
    using Weights = IntegerWeights;
    using Weight = IntegerWeights::Weight;
    using LoneWeight = int64_t;
    using Level = int64_t;
    static Level ScaleLevel(int32_t v) noexcept { return static_cast<int64_t>(v) * 32768 / 255; }
};

template <>
struct EdgeTraits<DepthFloat> : DepthFloat {
    using Weights = FloatWeights;
    using Weight = FloatWeights::Weight;
    using LoneWeight = float;
    using Level = float;
    static Level ScaleLevel(int32_t v) noexcept { return static_cast<float>(v) / 255.0f; }
};

using EdgeDepth8 = EdgeTraits<Depth8>;
using EdgeDepth16 = EdgeTraits<Depth16>;
using EdgeDepthFloat = EdgeTraits<DepthFloat>;

// The job's values at one depth.
template <class Depth>
struct EdgeScale {
    typename Depth::Level threshold{};
    typename Depth::Weight lightWeight{};    // the blend at a step without a run
    typename Depth::LoneWeight loneWeight{}; // each neighbour's weight when a lone pixel is averaged
};

// Light blend weight: 0.1 at strength 70 and above, falling linearly to 0 below.
inline int32_t LightWeightInteger(int64_t strength) noexcept {
    if (strength >= 70)
        return 6553;
    return static_cast<int32_t>((1.0 - static_cast<double>(70 - strength) / 70.0) * 6553.0);
}
inline float LightWeightFloat(int64_t strength) noexcept {
    if (strength >= 70)
        return 0.1f;
    return 0.1f * (1.0f - static_cast<float>(70 - strength) / 70.0f);
}

// Strengths are not negative here (the engine rejects them); large ones stay exact in 64 bits.
inline int64_t LoneWeightInteger(int64_t strength) noexcept {
    return strength * 32767 / 200;
}
inline float LoneWeightFloat(int64_t strength) noexcept {
    return static_cast<float>(strength) * 0.5f / 200.0f;
}

template <class Depth>
EdgeScale<Depth> ScaleJob(const EdgeSmoothJob& job) noexcept {
    EdgeScale<Depth> s;
    s.threshold = Depth::ScaleLevel(job.threshold);
    if constexpr (std::is_same_v<typename Depth::Weight, float>) {
        s.lightWeight = LightWeightFloat(job.strength);
        s.loneWeight = LoneWeightFloat(job.strength);
    } else {
        s.lightWeight = LightWeightInteger(job.strength);
        s.loneWeight = LoneWeightInteger(job.strength);
    }
    return s;
}

// ---- Pixel difference test --------------------------------------------------------------------------

// Identical pixels never differ: the 32-bit (8-bit), 64-bit (16-bit) or bitwise (float) pixels are equal.
template <class Pixel>
bool PixelsIdentical(const Pixel& p, const Pixel& q) noexcept {
    static_assert(sizeof(Pixel) == 4 * sizeof(p.alpha), "no padding inside a pixel");
    return std::memcmp(&p, &q, sizeof(Pixel)) == 0;
}

inline int32_t ChannelDistance(int32_t a, int32_t b) noexcept {
    return a > b ? a - b : b - a;
}

// Transparent pixels never form an edge; otherwise the channel differences must add up to more than t.
template <class Pixel>
bool PixelsDiffer(const Pixel& p, const Pixel& q, int64_t t) noexcept {
    if (p.alpha == 0 || q.alpha == 0 || PixelsIdentical(p, q))
        return false;
    const int32_t sum = ChannelDistance(p.alpha, q.alpha) + ChannelDistance(p.red, q.red) +
                        ChannelDistance(p.green, q.green) + ChannelDistance(p.blue, q.blue);
    return sum > t;
}
inline bool PixelsDiffer(const PF_PixelFloat& p, const PF_PixelFloat& q, float t) noexcept {
    if (p.alpha == 0.0f || q.alpha == 0.0f || PixelsIdentical(p, q))
        return false;
    float sum = std::fabs(p.alpha - q.alpha);
    sum = sum + std::fabs(p.red - q.red);
    sum = sum + std::fabs(p.green - q.green);
    sum = sum + std::fabs(p.blue - q.blue);
    return sum > t;
}
