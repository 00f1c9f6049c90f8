// Built for AVX2 alone; nothing here may call an inline function shared with other files (the linker
// could keep this file's copy, built for an instruction set the processor lacks), so pixels are raw bytes.
#include "edgesmooth/LoneAverageAvx2.h"

#include <immintrin.h>

#include <cstddef>

namespace {

constexpr int kAlphaLanes = 0x11; // lane 0 of each pixel's half

// Two pixels' alpha in every lane of their half.
inline __m256 AlphaOf(__m256 channels) noexcept {
    return _mm256_shuffle_ps(channels, channels, 0);
}

// For each pattern of two bits, all ones in the 32-bit lanes of the pixels whose bit is clear.
alignas(32) constexpr int32_t kPassedOver[4][8] = {
    {-1, -1, -1, -1, -1, -1, -1, -1}, {0, 0, 0, 0, -1, -1, -1, -1}, {-1, -1, -1, -1, 0, 0, 0, 0}, {}};

// The aligned pairs (2k, 2k + 1) from the first that holds a pixel of `run` to the last, each handed to
// `average` with its offset from x0 and all ones in the lanes of the pixels outside `run`, which keep their
// T. No branch depends on the pixels: on grain the runs have gaps where no pattern holds.
template <class Fn>
inline void ForEachAlignedPair(uint64_t run, Fn&& average) noexcept {
    if (run == 0)
        return;
    const int first = __builtin_ctzll(run) >> 1, end = ((63 - __builtin_clzll(run)) >> 1) + 1;
    for (int k = first; k < end; ++k) {
        const auto* passedOver = kPassedOver[(run >> (2 * k)) & 3];
        average(2 * k, _mm256_castsi256_ps(_mm256_load_si256(reinterpret_cast<const __m256i*>(passedOver))));
    }
}

// Two pixels' divisions, alpha by the weight sum and colours by the alpha sum, as LoneAverage divides one.
inline __m256 Quotients(__m256 sums, float weightSum) noexcept {
    const __m256 divisors = _mm256_blend_ps(AlphaOf(sums), _mm256_set1_ps(weightSum), kAlphaLanes);
    return _mm256_div_ps(sums, divisors);
}

// Pixels i and i + 1's sums of their neighbours' products: 0 + left, then right, above and below, the order
// the averages sum them in.
inline __m256 NeighbourSums(const float* row, const float* above, const float* below, int i) noexcept {
    const float* p = row + 4 * i;
    __m256 sums = _mm256_add_ps(_mm256_setzero_ps(), _mm256_loadu_ps(p - 4));
    sums = _mm256_add_ps(sums, _mm256_loadu_ps(p + 4));
    sums = _mm256_add_ps(sums, _mm256_loadu_ps(above + 4 * i));
    return _mm256_add_ps(sums, _mm256_loadu_ps(below + 4 * i));
}

// All ones in the colour lanes of a pixel whose alpha sum is 0 (its colour stays).
inline __m256 ColourStays(__m256 sums) noexcept {
    const __m256 none = _mm256_cmp_ps(AlphaOf(sums), _mm256_setzero_ps(), _CMP_EQ_OQ);
    return _mm256_blend_ps(none, _mm256_setzero_ps(), kAlphaLanes);
}

} // namespace

uint64_t Avx2AverageLonePixels8(void* target, const void* centre, const void* above, const void* below,
                                uint64_t run, int64_t share, int64_t weightSum) noexcept {
    auto* t = static_cast<char*>(target);
    const auto* s = static_cast<const char*>(centre);
    const auto* up = static_cast<const char*>(above);
    const auto* down = static_cast<const char*>(below);
    const auto wide = [](const char* p) {
        int32_t four;
        __builtin_memcpy(&four, p, 4);
        return _mm256_cvtepu8_epi64(_mm_cvtsi32_si128(four)); // alpha, red, green, blue
    };
    // Integers below 2^52 to doubles and back, exactly: placed in the mantissa of 2^52.
    const __m256i magicBits = _mm256_set1_epi64x(0x4330000000000000);
    const __m256d magic = _mm256_castsi256_pd(magicBits);
    const auto toDouble = [&](__m256i v) {
        return _mm256_sub_pd(_mm256_castsi256_pd(_mm256_or_si256(v, magicBits)), magic);
    };
    const __m256i fw = _mm256_set1_epi64x(share);
    const __m256i ownWeight = _mm256_set1_epi64x(65535);
    for (; run != 0; run &= run - 1) {
        const std::ptrdiff_t at = std::ptrdiff_t(__builtin_ctzll(run)) * 4;
        // Alpha × weight in lane 0; colour × ((alpha × weight) >> 16) in the others. Integer sums, so their
        // order does not matter.
        __m256i sums = _mm256_setzero_si256();
        const auto add = [&sums](__m256i pixel, __m256i weight) {
            const __m256i alphaWeight = _mm256_mul_epu32(_mm256_permute4x64_epi64(pixel, 0), weight);
            const __m256i colour = _mm256_mul_epu32(pixel, _mm256_srli_epi64(alphaWeight, 16));
            sums = _mm256_add_epi64(sums, _mm256_blend_epi32(colour, alphaWeight, 0x03));
        };
        add(wide(s + at - 4), fw);
        add(wide(s + at + 4), fw);
        add(wide(up + at), fw);
        add(wide(down + at), fw);
        const __m256i own = wide(t + at);
        add(own, ownWeight);
        // alpha: (alphaSum + weightSum / 2) / weightSum; colours: (sum + q / 2) / q, q = alphaSum >> 16.
        const __m256i q = _mm256_permute4x64_epi64(_mm256_srli_epi64(sums, 16), 0);
        const __m256i divisors = _mm256_blend_epi32(q, _mm256_set1_epi64x(weightSum), 0x03);
        const __m256i numerators = _mm256_add_epi64(sums, _mm256_srli_epi64(divisors, 1));
        const __m256d quotients = _mm256_round_pd(_mm256_div_pd(toDouble(numerators), toDouble(divisors)),
                                                  _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
        __m256i values = _mm256_xor_si256(_mm256_castpd_si256(_mm256_add_pd(quotients, magic)), magicBits);
        // q = 0: the colour stays.
        const __m256i stays =
            _mm256_blend_epi32(_mm256_cmpeq_epi64(q, _mm256_setzero_si256()), _mm256_setzero_si256(), 0x03);
        values = _mm256_blendv_epi8(values, own, stays);
        const __m128i four = _mm256_castsi256_si128(
            _mm256_permutevar8x32_epi32(values, _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6)));
        const int32_t bytes = _mm_cvtsi128_si32(_mm_packus_epi16(_mm_packus_epi32(four, four), four));
        __builtin_memcpy(t + at, &bytes, 4);
    }
    return 0;
}

uint64_t Avx2AverageLonePairs16(void* target, const void* centre, const void* above, const void* below,
                                uint64_t run, float share, float weightSum) noexcept {
    auto* t = static_cast<char*>(target);
    const auto* s = static_cast<const char*>(centre);
    const auto* up = static_cast<const char*>(above);
    const auto* down = static_cast<const char*>(below);
    const __m256 fw = _mm256_set1_ps(share);
    const __m256 one = _mm256_set1_ps(1.0f);
    const auto wide = [](const char* p) {
        return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    };
    ForEachAlignedPair(run, [&](int i, __m256 passedOver) {
        const std::ptrdiff_t at = std::ptrdiff_t(i) * 8;
        __m256 sums = _mm256_setzero_ps();
        const auto add = [&sums, one](__m256i pixels, __m256 weight) {
            const __m256 channels = _mm256_cvtepi32_ps(pixels);
            const __m256 alphaWeight = _mm256_mul_ps(AlphaOf(channels), weight);
            sums =
                _mm256_add_ps(sums, _mm256_mul_ps(_mm256_blend_ps(channels, one, kAlphaLanes), alphaWeight));
        };
        add(wide(s + at - 8), fw);
        add(wide(s + at + 8), fw);
        add(wide(up + at), fw);
        add(wide(down + at), fw);
        const __m256i own = wide(t + at);
        add(own, one);
        const __m256 rounded = _mm256_min_ps(_mm256_add_ps(Quotients(sums, weightSum), _mm256_set1_ps(0.5f)),
                                             _mm256_set1_ps(65535.0f));
        const __m256 stays = _mm256_or_ps(ColourStays(sums), passedOver);
        const __m256i values = _mm256_castps_si256(_mm256_blendv_ps(
            _mm256_castsi256_ps(_mm256_cvttps_epi32(rounded)), _mm256_castsi256_ps(own), stays));
        // 0 … 65535 in 32-bit lanes to 16 bits: shifted into the signed range, packed, shifted back.
        const __m256i half =
            _mm256_packs_epi32(_mm256_sub_epi32(values, _mm256_set1_epi32(32768)), _mm256_setzero_si256());
        const __m256i both =
            _mm256_permute4x64_epi64(_mm256_xor_si256(half, _mm256_set1_epi16(-32768)), 0x08);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(t + at), _mm256_castsi256_si128(both));
    });
    return 0;
}

uint64_t Avx2AverageLonePairsFloat(void* target, const void* centre, const void* above, const void* below,
                                   uint64_t run, float share, float weightSum) noexcept {
    auto* t = static_cast<float*>(target);
    const auto* s = static_cast<const float*>(centre);
    const auto* up = static_cast<const float*>(above);
    const auto* down = static_cast<const float*>(below);
    const __m256 w = _mm256_set1_ps(share);
    const __m256 one = _mm256_set1_ps(1.0f);
    ForEachAlignedPair(run, [&](int i, __m256 passedOver) {
        const std::ptrdiff_t at = std::ptrdiff_t(i) * 4;
        __m256 sums = _mm256_setzero_ps();
        // (c × alpha) × w in the colour lanes, (alpha × 1) × w in the alpha lane.
        const auto add = [&sums, one](__m256 channels, __m256 weight) {
            const __m256 alphas = _mm256_blend_ps(AlphaOf(channels), one, kAlphaLanes);
            sums = _mm256_add_ps(sums, _mm256_mul_ps(_mm256_mul_ps(channels, alphas), weight));
        };
        add(_mm256_loadu_ps(s + at - 4), w);
        add(_mm256_loadu_ps(s + at + 4), w);
        add(_mm256_loadu_ps(up + at), w);
        add(_mm256_loadu_ps(down + at), w);
        const __m256 own = _mm256_loadu_ps(t + at);
        add(own, one);
        const __m256 stays = _mm256_or_ps(ColourStays(sums), passedOver);
        _mm256_storeu_ps(t + at, _mm256_blendv_ps(Quotients(sums, weightSum), own, stays));
    });
    return 0;
}

void Avx2LoneProducts16(float* products, const void* pixels, int32_t count, float share) noexcept {
    const auto* s = static_cast<const char*>(pixels);
    const __m256 fw = _mm256_set1_ps(share);
    const __m256 one = _mm256_set1_ps(1.0f);
    int32_t i = 0;
    for (; i + 2 <= count; i += 2) {
        const __m256 channels = _mm256_cvtepi32_ps(
            _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 8 * i))));
        const __m256 alphaWeight = _mm256_mul_ps(AlphaOf(channels), fw);
        _mm256_storeu_ps(products + 4 * i,
                         _mm256_mul_ps(_mm256_blend_ps(channels, one, kAlphaLanes), alphaWeight));
    }
    if (i < count) { // the last pixel of an odd count: the same products in one half
        const __m128 channels =
            _mm_cvtepi32_ps(_mm_cvtepu16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + 8 * i))));
        const __m128 alphaWeight = _mm_mul_ps(_mm_shuffle_ps(channels, channels, 0), _mm_set1_ps(share));
        _mm_storeu_ps(products + 4 * i,
                      _mm_mul_ps(_mm_blend_ps(channels, _mm_set1_ps(1.0f), 1), alphaWeight));
    }
}

void Avx2AverageLonePairsFromProducts16(void* target, const float* row, const float* above,
                                        const float* below, uint64_t run, float weightSum) noexcept {
    auto* t = static_cast<char*>(target);
    const __m256 one = _mm256_set1_ps(1.0f);
    ForEachAlignedPair(run, [&](int i, __m256 passedOver) {
        __m256 sums = NeighbourSums(row, above, below, i);
        // The own pixel's weight is 1: its alpha weight is its alpha.
        const __m256i own =
            _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(t + 8 * i)));
        const __m256 channels = _mm256_cvtepi32_ps(own);
        sums = _mm256_add_ps(sums,
                             _mm256_mul_ps(_mm256_blend_ps(channels, one, kAlphaLanes), AlphaOf(channels)));
        const __m256 rounded = _mm256_min_ps(_mm256_add_ps(Quotients(sums, weightSum), _mm256_set1_ps(0.5f)),
                                             _mm256_set1_ps(65535.0f));
        const __m256 stays = _mm256_or_ps(ColourStays(sums), passedOver);
        const __m256i values = _mm256_castps_si256(_mm256_blendv_ps(
            _mm256_castsi256_ps(_mm256_cvttps_epi32(rounded)), _mm256_castsi256_ps(own), stays));
        // 0 … 65535 in 32-bit lanes to 16 bits.
        const __m256i both = _mm256_permute4x64_epi64(_mm256_packus_epi32(values, values), 0x08);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(t + 8 * i), _mm256_castsi256_si128(both));
    });
}

void Avx2LoneProductsFloat(float* products, const void* pixels, int32_t count, float share) noexcept {
    const auto* s = static_cast<const float*>(pixels);
    const __m256 w = _mm256_set1_ps(share);
    const __m256 one = _mm256_set1_ps(1.0f);
    int32_t i = 0;
    for (; i + 2 <= count; i += 2) {
        const __m256 channels = _mm256_loadu_ps(s + 4 * i);
        const __m256 alphas = _mm256_blend_ps(AlphaOf(channels), one, kAlphaLanes);
        _mm256_storeu_ps(products + 4 * i, _mm256_mul_ps(_mm256_mul_ps(channels, alphas), w));
    }
    if (i < count) { // the last pixel of an odd count: the same products in one half
        const __m128 channels = _mm_loadu_ps(s + 4 * i);
        const __m128 alphas = _mm_blend_ps(_mm_shuffle_ps(channels, channels, 0), _mm_set1_ps(1.0f), 1);
        _mm_storeu_ps(products + 4 * i, _mm_mul_ps(_mm_mul_ps(channels, alphas), _mm_set1_ps(share)));
    }
}

void Avx2AverageLonePairsFromProductsFloat(void* target, const float* row, const float* above,
                                           const float* below, uint64_t run, float weightSum) noexcept {
    auto* t = static_cast<float*>(target);
    const __m256 one = _mm256_set1_ps(1.0f);
    ForEachAlignedPair(run, [&](int i, __m256 passedOver) {
        __m256 sums = NeighbourSums(row, above, below, i);
        // The own pixel's weight is 1, which changes no product.
        const __m256 own = _mm256_loadu_ps(t + 4 * i);
        sums = _mm256_add_ps(sums, _mm256_mul_ps(own, _mm256_blend_ps(AlphaOf(own), one, kAlphaLanes)));
        const __m256 stays = _mm256_or_ps(ColourStays(sums), passedOver);
        _mm256_storeu_ps(t + 4 * i, _mm256_blendv_ps(Quotients(sums, weightSum), own, stays));
    });
}
