#pragma once
// The lone-pixel average as the band passes run it: the job's neighbour weight turned into what each
// average needs once per job instead of once per pixel, the four neighbours of an inner pixel read
// straight from S, and the arithmetic of EdgeBlend.cpp's definitions in the same order, so every bit
// agrees (held to them by LoneAverageTest). On grainy frames most stepped pixels are averaged.
//
// Built for the baseline instruction set only: files built for a wider one must not include this.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "edgesmooth/EdgeBlend.h"
#include "edgesmooth/EdgeDepth.h"
#include "edgesmooth/EdgeImage.h"
#include "edgesmooth/EdgeTests.h"
#include "edgesmooth/LoneAverageAvx2.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

template <class Depth>
class LoneAverage;

// 8 bits: the sums are integers and the quotients floor divisions. Where every numerator plus its
// divisor stays below 2^53 (strengths far above the drivers' do not), the double quotient of two
// integers never rounds up to the next integer, so its truncation is the integer quotient, and double
// divisions (two of them in one instruction) cost less than four integer ones.
template <>
class LoneAverage<EdgeDepth8> {
public:
    explicit LoneAverage(int64_t w = 0, EdgeIsa isa = BestEdgeIsa()) noexcept
        : w_(w), inDouble_(w >= 0 && w < (int64_t(1) << 40)),
          avx2_(isa == EdgeIsa::Avx2 && BestEdgeIsa() == isa && w >= 0 && w < (int64_t(1) << 24)) {}

    template <int N, bool kTargetWhole = false>
    void Average(PF_Pixel8& t, const PF_Pixel8* const* neighbours) const noexcept {
        if (!inDouble_) {
            AverageLonePixel(t, neighbours, N, w_);
            return;
        }
        int64_t weightSum = 0, alphaSum = 0, red = 0, green = 0, blue = 0;
        const auto add = [&](const PF_Pixel8& p, int64_t weight) {
            weightSum += weight;
            alphaSum += p.alpha * weight;
            const int64_t alphaWeight = (p.alpha * weight) >> 16;
            red += p.red * alphaWeight;
            green += p.green * alphaWeight;
            blue += p.blue * alphaWeight;
        };
        for (int i = 0; i < N; ++i)
            add(*neighbours[i], w_);
        add(t, kOwnWeight);
        const int64_t q = alphaSum >> 16;
#if defined(__SSE2__)
        const __m128d alphaQuotient =
            _mm_div_sd(_mm_set_sd(double(alphaSum + weightSum / 2)), _mm_set_sd(double(weightSum)));
        t.alpha = static_cast<A_u_char>(_mm_cvttsd_si64(alphaQuotient));
        if (q != 0) {
            const __m128d divisor = _mm_set1_pd(double(q));
            const __m128d redGreen =
                _mm_div_pd(_mm_setr_pd(double(red + q / 2), double(green + q / 2)), divisor);
            const __m128d blueQuotient = _mm_div_sd(_mm_set_sd(double(blue + q / 2)), divisor);
            t.red = static_cast<A_u_char>(_mm_cvttsd_si64(redGreen));
            t.green = static_cast<A_u_char>(_mm_cvttsd_si64(_mm_unpackhi_pd(redGreen, redGreen)));
            t.blue = static_cast<A_u_char>(_mm_cvttsd_si64(blueQuotient));
        }
#else
        t.alpha = static_cast<A_u_char>(int64_t(double(alphaSum + weightSum / 2) / double(weightSum)));
        if (q != 0) {
            t.red = static_cast<A_u_char>(int64_t(double(red + q / 2) / double(q)));
            t.green = static_cast<A_u_char>(int64_t(double(green + q / 2) / double(q)));
            t.blue = static_cast<A_u_char>(int64_t(double(blue + q / 2) / double(q)));
        }
#endif
    }

    // The pixels of `run` (inner pixels x0 + i; t and the S pointers at x0) in wider vectors where the
    // processor allows; returns the pixels left. `paired`: as the 16-bit form's.
    uint64_t AveragePairs(PF_Pixel8* t, const PF_Pixel8* centre, const PF_Pixel8* up, const PF_Pixel8* down,
                          uint64_t run, uint64_t /*paired*/) const noexcept {
        return avx2_ ? Avx2AverageLonePixels8(t, centre, up, down, run, w_, 4 * w_ + kOwnWeight) : run;
    }

private:
    static constexpr int64_t kOwnWeight = 65535;
    int64_t w_;
    bool inDouble_; // every sum below 257 × (4w + 65535) < 2^53
    bool avx2_;
};

// 16 bits: the neighbour's share w / 65535 and the weight sums for each neighbour count, made as the
// definition makes them; the four sums in one vector (lane 0 the alpha sum, lanes 1 to 3 the colour sums,
// the alpha lane taking 1 × alphaWeight, which is alphaWeight) and the quotients single divisions.
template <>
class LoneAverage<EdgeDepth16> {
public:
    explicit LoneAverage(int64_t w = 0, EdgeIsa isa = BestEdgeIsa()) noexcept
        : w_(w), share_(static_cast<float>(w) / 65535.0f),
          avx2_(isa == EdgeIsa::Avx2 && BestEdgeIsa() == isa) {
        for (int n = 0; n <= 4; ++n) {
            float sum = 0.0f;
            for (int i = 0; i < n; ++i)
                sum += share_;
            weightSums_[n] = sum + static_cast<float>(kOwnWeight) / 65535.0f;
        }
    }

    // kTargetWhole: no store to t is in flight, so it is read in one load.
    template <int N, bool kTargetWhole = false>
    void Average(PF_Pixel16& t, const PF_Pixel16* const* neighbours) const noexcept {
#if defined(__SSE2__)
        __m128 sums = _mm_setzero_ps();
        const auto add = [&sums](__m128i wide, __m128 fw) {
            const __m128 channels = _mm_cvtepi32_ps(wide); // alpha, red, green, blue
            const __m128 alphaWeight = _mm_mul_ps(_mm_shuffle_ps(channels, channels, 0), fw);
            sums = _mm_add_ps(sums, _mm_mul_ps(_mm_move_ss(channels, _mm_set_ss(1.0f)), alphaWeight));
        };
        const __m128 share = _mm_set1_ps(share_);
        for (int i = 0; i < N; ++i)
            add(_mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(neighbours[i])),
                                   _mm_setzero_si128()),
                share);
        // The target, just written channel by channel by the blends before, is read channel by channel
        // and written whole, so that no load waits on those stores.
        const __m128i own = kTargetWhole
                                ? _mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(&t)),
                                                     _mm_setzero_si128())
                                : _mm_setr_epi32(t.alpha, t.red, t.green, t.blue);
        add(own, _mm_set1_ps(static_cast<float>(kOwnWeight) / 65535.0f));
        const float alphaSum = _mm_cvtss_f32(sums);
        // alpha / weightSum, colours / alphaSum; half up by truncation, never past the channel's range.
        const __m128 divisors = _mm_move_ss(_mm_set1_ps(alphaSum), _mm_set_ss(weightSums_[N]));
        const __m128 rounded =
            _mm_min_ps(_mm_add_ps(_mm_div_ps(sums, divisors), _mm_set1_ps(0.5f)), _mm_set1_ps(65535.0f));
        __m128i values = _mm_cvttps_epi32(rounded);
        if (alphaSum == 0.0f) // no alpha weight: the colour stays
            values = _mm_castps_si128(_mm_move_ss(_mm_castsi128_ps(own), _mm_castsi128_ps(values)));
        // 0 … 65535 in 32-bit lanes to 16 bits: shifted into the signed range, packed, shifted back.
        const __m128i half =
            _mm_packs_epi32(_mm_sub_epi32(values, _mm_set1_epi32(32768)), _mm_setzero_si128());
        _mm_storel_epi64(reinterpret_cast<__m128i*>(&t), _mm_xor_si128(half, _mm_set1_epi16(-32768)));
#else
        AverageLonePixelPlain(t, neighbours, N, w_);
#endif
    }

    bool Avx2() const noexcept {
        return avx2_;
    }
    float Share() const noexcept {
        return share_;
    }
    float FourNeighbourWeightSum() const noexcept {
        return weightSums_[4];
    }

    // The pixels of `run` (inner pixels x0 + i; t and the S pointers at x0) two at a time where the processor
    // allows; returns the pixels left. `paired`: the pixels whose aligned pair (i & ~1, i | 1) lies inside,
    // away from the border, in rows the caller alone writes (see Avx2AverageLonePairs16).
    uint64_t AveragePairs(PF_Pixel16* t, const PF_Pixel16* centre, const PF_Pixel16* up,
                          const PF_Pixel16* down, uint64_t run, uint64_t paired) const noexcept {
        if (!avx2_)
            return run;
        Avx2AverageLonePairs16(t, centre, up, down, run & paired, share_, weightSums_[4]);
        return run & ~paired;
    }

private:
    static constexpr int32_t kOwnWeight = 65535;
    int64_t w_;
    float share_;
    float weightSums_[5];
    bool avx2_;
};

// Float: the sums (alpha, red, green, blue) in one vector; lane 0 multiplies alpha by 1 where the colour
// lanes multiply by alpha, then every lane by the weight, as the definition's (c × alpha) × w; the
// quotients single divisions.
template <>
class LoneAverage<EdgeDepthFloat> {
public:
    explicit LoneAverage(float w = 0.0f, EdgeIsa isa = BestEdgeIsa()) noexcept
        : w_(w), avx2_(isa == EdgeIsa::Avx2 && BestEdgeIsa() == isa) {
        for (int n = 0; n <= 4; ++n) {
            float sum = 0.0f;
            for (int i = 0; i < n; ++i)
                sum += w;
            weightSums_[n] = sum + 1.0f;
        }
    }

    template <int N, bool kTargetWhole = false>
    void Average(PF_PixelFloat& t, const PF_PixelFloat* const* neighbours) const noexcept {
#if defined(__SSE2__)
        __m128 sums = _mm_setzero_ps();
        const auto add = [&sums](__m128 channels, __m128 weight) {
            const __m128 alphas = _mm_move_ss(_mm_shuffle_ps(channels, channels, 0), _mm_set_ss(1.0f));
            sums = _mm_add_ps(sums, _mm_mul_ps(_mm_mul_ps(channels, alphas), weight));
        };
        const __m128 weight = _mm_set1_ps(w_);
        for (int i = 0; i < N; ++i)
            add(_mm_loadu_ps(&neighbours[i]->alpha), weight);
        // Read channel by channel for the reason the 16-bit average does.
        const __m128 own =
            kTargetWhole ? _mm_loadu_ps(&t.alpha) : _mm_setr_ps(t.alpha, t.red, t.green, t.blue);
        add(own, _mm_set1_ps(1.0f));
        const float alphaSum = _mm_cvtss_f32(sums);
        const __m128 divisors = _mm_move_ss(_mm_set1_ps(alphaSum), _mm_set_ss(weightSums_[N]));
        __m128 values = _mm_div_ps(sums, divisors);
        if (alphaSum == 0.0f) // no alpha weight: the colour stays
            values = _mm_move_ss(own, values);
        _mm_storeu_ps(&t.alpha, values);
#else
        AverageLonePixel(t, neighbours, N, w_);
#endif
    }

    bool Avx2() const noexcept {
        return avx2_;
    }
    float Share() const noexcept {
        return w_;
    }
    float FourNeighbourWeightSum() const noexcept {
        return weightSums_[4];
    }

    uint64_t AveragePairs(PF_PixelFloat* t, const PF_PixelFloat* centre, const PF_PixelFloat* up,
                          const PF_PixelFloat* down, uint64_t run, uint64_t paired) const noexcept {
        if (!avx2_)
            return run;
        Avx2AverageLonePairsFloat(t, centre, up, down, run & paired, w_, weightSums_[4]);
        return run & ~paired;
    }

private:
    float w_;
    float weightSums_[5];
    bool avx2_;
};

// The average of T(x, y) with its neighbours in S inside the image, as AverageLonePixelOf makes it.
template <class Depth>
void AverageLonePixelAt(const EdgeImage<const typename Depth::Pixel>& source,
                        const EdgeImage<typename Depth::Pixel>& target, int32_t x, int32_t y,
                        const LoneAverage<Depth>& average) noexcept {
    using Pixel = typename Depth::Pixel;
    if (x > 0 && y > 0 && x < source.width - 1 && y < source.height - 1) {
        const Pixel* centre = &source.At(x, y);
        const Pixel* const neighbours[4] = {centre - 1, centre + 1, &source.At(x, y - 1),
                                            &source.At(x, y + 1)};
        average.template Average<4>(target.At(x, y), neighbours);
        return;
    }
    const Pixel* neighbours[4];
    const int count = InsideNeighbours(source, x, y, neighbours);
    Pixel& t = target.At(x, y);
    switch (count) {
    case 1:
        average.template Average<1>(t, neighbours);
        break;
    case 2:
        average.template Average<2>(t, neighbours);
        break;
    case 3:
        average.template Average<3>(t, neighbours);
        break;
    default: // a one-pixel image: no neighbour, nothing changes
        break;
    }
}

// Bit i for the columns x0 + i of 64 that lie inside, away from the first and last column.
inline uint64_t InnerColumns(int32_t x0, int32_t width) noexcept {
    uint64_t inner = ~uint64_t(0);
    if (x0 == 0)
        inner &= ~uint64_t(1);
    if (const int32_t last = width - 1 - x0; last < 64)
        inner &= (uint64_t(1) << last) - 1;
    return inner;
}

// Bit i for the columns x0 + i whose aligned pair (i & ~1, i | 1) lies wholly among the inner columns.
inline uint64_t PairedColumns(int32_t x0, int32_t width) noexcept {
    uint64_t paired = ~uint64_t(0);
    if (x0 == 0)
        paired &= ~uint64_t(3);
    if (const int32_t last = width - 1 - x0; last < 64)
        paired &= (uint64_t(1) << (last & ~1)) - 1;
    return paired;
}

// The averages of pixels x0 + i of row y for the bits i of `run`, one after another: pixels whose averages
// nothing comes between, so no store to their T is in flight. T's pixels of the row between them may be
// written back unchanged: no other thread may write T's row y meanwhile.
template <class Depth>
void AverageLonePixelsAt(const EdgeImage<const typename Depth::Pixel>& source,
                         const EdgeImage<typename Depth::Pixel>& target, int32_t x0, int32_t y, uint64_t run,
                         const LoneAverage<Depth>& average) noexcept {
    using Pixel = typename Depth::Pixel;
    if (y > 0 && y < source.height - 1) {
        // Each average reads S and its own pixel of T alone, so the pixels may go in any order: the
        // first and last columns, pairs where the processor takes them, the rest one by one.
        const uint64_t inner = run & InnerColumns(x0, source.width);
        const uint64_t paired = PairedColumns(x0, source.width);
        for (uint64_t border = run & ~inner; border != 0; border &= border - 1)
            AverageLonePixelAt(source, target, x0 + std::countr_zero(border), y, average);
        const Pixel* centre = &source.At(x0, y);
        const Pixel* up = &source.At(x0, y - 1);
        const Pixel* down = &source.At(x0, y + 1);
        Pixel* t = &target.At(x0, y);
        for (uint64_t left = average.AveragePairs(t, centre, up, down, inner, paired); left != 0;
             left &= left - 1) {
            const int i = std::countr_zero(left);
            const Pixel* const neighbours[4] = {centre + i - 1, centre + i + 1, up + i, down + i};
            average.template Average<4, true>(t[i], neighbours);
        }
        return;
    }
    for (; run != 0; run &= run - 1)
        AverageLonePixelAt(source, target, x0 + std::countr_zero(run), y, average);
}

// The neighbours' products of the 16-bit and float averages (Avx2LoneProducts*) of three rows of S, made a
// segment of 64 columns at a time where a run first needs them and kept while the pass walks down the rows,
// so that each pixel of S is multiplied once rather than once for each of the four averages it takes part in.
// Used with AVX2 only; the memory (Bytes) comes from the caller.
template <class Depth>
class LoneProductRows {
    using Pixel = typename Depth::Pixel;
    static_assert(!std::is_same_v<Depth, EdgeDepth8>, "8-bit averages take integer sums");

public:
    static constexpr int32_t kSlots = 3;
    static constexpr int kDense = 24;

    static std::size_t Bytes(int32_t width) noexcept {
        return static_cast<std::size_t>(kSlots) * (static_cast<std::size_t>(width) * 4 * sizeof(float) +
                                                   static_cast<std::size_t>(Segments(width)));
    }
    LoneProductRows() = default;
    // Lays the rows out in `memory` (Bytes(width) bytes), all empty.
    LoneProductRows(void* memory, int32_t width) noexcept : width_(width) {
        auto* floats = static_cast<float*>(memory);
        auto* flags = reinterpret_cast<uint8_t*>(floats + static_cast<std::size_t>(kSlots) * width * 4);
        for (int32_t s = 0; s < kSlots; ++s) {
            slot_[s].products = floats + static_cast<std::size_t>(s) * width * 4;
            slot_[s].made = flags + static_cast<std::size_t>(s) * Segments(width);
        }
    }
    bool Usable() const noexcept { return slot_[0].products != nullptr; }

    // The averages of the inner pixels x0 + i of row y (0 < y < height - 1) for the bits i of `run` whose
    // aligned pair lies inside, where the segment has enough of them (`alone`: its pixels averaged alone)
    // to repay its rows of products; returns the bits left.
    uint64_t AveragePairs(const EdgeImage<const Pixel>& source, const EdgeImage<Pixel>& target, int32_t x0,
                          int32_t y, uint64_t run, uint64_t alone,
                          const LoneAverage<Depth>& average) noexcept {
        if (x0 != x0_ || y != y_) { // the runs of a segment share its rows
            x0_ = x0;
            y_ = y;
            // Fewer pixels cost less averaged straight from S than the products of three rows.
            paired_ = std::popcount(alone) >= kDense ? PairedColumns(x0, width_) : 0;
            if (paired_ == 0)
                return run;
            const int32_t segment = x0 / 64;
            const std::size_t at = static_cast<std::size_t>(x0) * 4;
            above_ = Products(source, y - 1, segment, average.Share()) + at;
            row_ = Products(source, y, segment, average.Share()) + at;
            below_ = Products(source, y + 1, segment, average.Share()) + at;
        }
        const uint64_t pairs = run & paired_;
        if (pairs == 0)
            return run;
        if constexpr (std::is_same_v<Depth, EdgeDepth16>)
            Avx2AverageLonePairsFromProducts16(&target.At(x0, y), row_, above_, below_, pairs,
                                               average.FourNeighbourWeightSum());
        else
            Avx2AverageLonePairsFromProductsFloat(&target.At(x0, y), row_, above_, below_, pairs,
                                                  average.FourNeighbourWeightSum());
        return run & ~pairs;
    }
    // Forgets the rows made: a band decided again makes them afresh.
    void Restart() noexcept {
        x0_ = y_ = -1;
        for (Slot& slot : slot_)
            slot.y = -1;
    }

private:
    struct Slot {
        float* products = nullptr;
        uint8_t* made = nullptr; // per segment: its columns x0 - 1 … x0 + 64 hold row y's products
        int32_t y = -1;
    };
    static int32_t Segments(int32_t width) noexcept { return (width + 63) / 64; }

    const float* Products(const EdgeImage<const Pixel>& source, int32_t y, int32_t segment,
                          float share) noexcept {
        Slot& slot = slot_[y % kSlots];
        if (slot.y != y) {
            slot.y = y;
            std::memset(slot.made, 0, static_cast<std::size_t>(Segments(width_)));
        }
        if (!slot.made[segment]) {
            const int32_t first = segment == 0 ? 0 : segment * 64 - 1;
            const int32_t end = std::min(width_, segment * 64 + 65);
            float* products = slot.products + static_cast<std::size_t>(first) * 4;
            if constexpr (std::is_same_v<Depth, EdgeDepth16>)
                Avx2LoneProducts16(products, &source.At(first, y), end - first, share);
            else
                Avx2LoneProductsFloat(products, &source.At(first, y), end - first, share);
            slot.made[segment] = 1;
        }
        return slot.products;
    }

    int32_t width_ = 0;
    Slot slot_[kSlots];
    int32_t x0_ = -1, y_ = -1; // the segment last used, its paired columns and rows of products
    uint64_t paired_ = 0;
    const float* above_ = nullptr;
    const float* row_ = nullptr;
    const float* below_ = nullptr;
};
