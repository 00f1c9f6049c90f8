// The edge tests for processors with AVX2: eight 8-bit pixels, four 16-bit pixels or two float pixels
// per vector.
#include "edgesmooth/EdgeTests.h"

#include <immintrin.h>

#include <cstring>

namespace {

#include "edgesmooth/EdgeTestsSpread.inl"

// ---- 8-bit: a pixel per 32-bit lane ------------------------------------------------------------------

constexpr int kNatural[8] = {0, 1, 2, 3, 4, 5, 6, 7};
constexpr Spread kSpread8 = MakeSpread(kNatural);

// All ones in the lanes whose pixels differ: both opaque somewhere and a sum of distances above limit.
inline __m256i Differ8(__m256i p, __m256i q, __m256i limit) noexcept {
    const __m256i low = _mm256_min_epu8(p, q);
    const __m256i distance = _mm256_sub_epi8(_mm256_max_epu8(p, q), low);
    const __m256i pairs = _mm256_maddubs_epi16(distance, _mm256_set1_epi8(1));
    const __m256i sum = _mm256_madd_epi16(pairs, _mm256_set1_epi16(1));
    const __m256i clear =
        _mm256_cmpeq_epi32(_mm256_and_si256(low, _mm256_set1_epi32(0xFF)), _mm256_setzero_si256());
    return _mm256_andnot_si256(clear, _mm256_cmpgt_epi32(sum, limit));
}

inline unsigned Mask8(__m256i m) noexcept {
    return static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(m)));
}

// ---- 16-bit: a pixel per 64-bit lane ------------------------------------------------------------------

// Low 32-bit lanes of pixels 0–3 in the even lanes, of pixels 4–7 in the odd ones.
constexpr int kInterleaved[8] = {0, 4, 1, 5, 2, 6, 3, 7};
constexpr Spread kSpread16 = MakeSpread(kInterleaved);

// In the low 32 bits of each pixel's lane: all ones where the pixels differ.
inline __m256i Differ16(__m256i p, __m256i q, __m256i limit) noexcept {
    const __m256i low = _mm256_min_epu16(p, q);
    const __m256i distance = _mm256_sub_epi16(_mm256_max_epu16(p, q), low);
    const __m256i pairs = _mm256_add_epi32(_mm256_and_si256(distance, _mm256_set1_epi32(0xFFFF)),
                                           _mm256_srli_epi32(distance, 16));
    const __m256i sum = _mm256_add_epi32(pairs, _mm256_srli_epi64(pairs, 32));
    const __m256i clear =
        _mm256_cmpeq_epi32(_mm256_and_si256(low, _mm256_set1_epi64x(0xFFFF)), _mm256_setzero_si256());
    return _mm256_andnot_si256(clear, _mm256_cmpgt_epi32(sum, limit));
}

inline unsigned Mask16(__m256i first, __m256i second) noexcept {
    const __m256i both = _mm256_blend_epi32(first, _mm256_slli_epi64(second, 32), 0xAA);
    return static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(both)));
}

// ---- float: eight pixels turned into a vector per channel ---------------------------------------------

// Pixels 0, 2, 4, 6 in the low half, 1, 3, 5, 7 in the high half.
constexpr int kHalves[8] = {0, 2, 4, 6, 1, 3, 5, 7};
constexpr Spread kSpreadFloat = MakeSpread(kHalves);

struct Channels {
    __m256 alpha, red, green, blue;
    __m256 alive; // alpha != 0
};

inline Channels LoadChannels(const float* p) noexcept {
    const __m256 x0 = _mm256_loadu_ps(p), x1 = _mm256_loadu_ps(p + 8), x2 = _mm256_loadu_ps(p + 16),
                 x3 = _mm256_loadu_ps(p + 24);
    const __m256 t0 = _mm256_unpacklo_ps(x0, x1), t1 = _mm256_unpackhi_ps(x0, x1);
    const __m256 t2 = _mm256_unpacklo_ps(x2, x3), t3 = _mm256_unpackhi_ps(x2, x3);
    Channels c;
    c.alpha = _mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(1, 0, 1, 0));
    c.red = _mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(3, 2, 3, 2));
    c.green = _mm256_shuffle_ps(t1, t3, _MM_SHUFFLE(1, 0, 1, 0));
    c.blue = _mm256_shuffle_ps(t1, t3, _MM_SHUFFLE(3, 2, 3, 2));
    c.alive = _mm256_cmp_ps(c.alpha, _mm256_setzero_ps(), _CMP_NEQ_UQ);
    return c;
}

inline __m256 Distance(__m256 a, __m256 b) noexcept {
    return _mm256_andnot_ps(_mm256_set1_ps(-0.0f), _mm256_sub_ps(a, b));
}

inline __m256i SameBits(__m256 a, __m256 b) noexcept {
    return _mm256_cmpeq_epi32(_mm256_castps_si256(a), _mm256_castps_si256(b));
}

// The channel distances added in the order alpha, red, green, blue, as the plain test adds them. Identical
// pixels are excluded only when the limit is below 0 (or NaN): otherwise their sum, 0 or NaN, never
// exceeds it.
inline unsigned DifferFloat(const Channels& p, const Channels& q, __m256 limit,
                            bool checkIdentical) noexcept {
    __m256 sum = Distance(p.alpha, q.alpha);
    sum = _mm256_add_ps(sum, Distance(p.red, q.red));
    sum = _mm256_add_ps(sum, Distance(p.green, q.green));
    sum = _mm256_add_ps(sum, Distance(p.blue, q.blue));
    __m256 differ = _mm256_and_ps(_mm256_cmp_ps(sum, limit, _CMP_GT_OQ), _mm256_and_ps(p.alive, q.alive));
    if (checkIdentical) {
        const __m256i same =
            _mm256_and_si256(_mm256_and_si256(SameBits(p.alpha, q.alpha), SameBits(p.red, q.red)),
                             _mm256_and_si256(SameBits(p.green, q.green), SameBits(p.blue, q.blue)));
        differ = _mm256_andnot_ps(_mm256_castsi256_ps(same), differ);
    }
    return static_cast<unsigned>(_mm256_movemask_ps(differ));
}

template <bool kCheckIdentical>
int32_t TestsFloat(uint8_t* row, const float* above, const float* below, int32_t count,
                   float limit) noexcept {
    const __m256 bound = _mm256_set1_ps(limit);
    int32_t x = 0;
    for (; x + 8 <= count; x += 8) {
        const float* a = above + 4 * x;
        const float* b = below + 4 * x;
        const Channels p = LoadChannels(a), q = LoadChannels(a + 4), r = LoadChannels(b),
                       s = LoadChannels(b + 4);
        const uint64_t bytes =
            TestBytes(kSpreadFloat, DifferFloat(p, q, bound, kCheckIdentical),
                      DifferFloat(p, r, bound, kCheckIdentical), DifferFloat(p, s, bound, kCheckIdentical),
                      DifferFloat(q, r, bound, kCheckIdentical));
        std::memcpy(row + x, &bytes, 8);
    }
    return x;
}

} // namespace

int32_t Avx2EdgeTests8(uint8_t* row, const void* above, const void* below, int32_t count,
                       int32_t limit) noexcept {
    const auto* a = static_cast<const uint8_t*>(above);
    const auto* b = static_cast<const uint8_t*>(below);
    const __m256i bound = _mm256_set1_epi32(limit);
    int32_t x = 0;
    for (; x + 8 <= count; x += 8) {
        const auto load = [](const uint8_t* p) {
            return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        };
        const __m256i p = load(a + 4 * x), q = load(a + 4 * x + 4), r = load(b + 4 * x),
                      s = load(b + 4 * x + 4);
        const uint64_t bytes = TestBytes(kSpread8, Mask8(Differ8(p, q, bound)), Mask8(Differ8(p, r, bound)),
                                         Mask8(Differ8(p, s, bound)), Mask8(Differ8(q, r, bound)));
        std::memcpy(row + x, &bytes, 8);
    }
    return x;
}

int32_t Avx2EdgeTests16(uint8_t* row, const void* above, const void* below, int32_t count,
                        int32_t limit) noexcept {
    const auto* a = static_cast<const uint8_t*>(above);
    const auto* b = static_cast<const uint8_t*>(below);
    const __m256i bound = _mm256_set1_epi32(limit);
    int32_t x = 0;
    for (; x + 8 <= count; x += 8) {
        const auto load = [](const uint8_t* p) {
            return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        };
        const uint8_t* pa = a + 8 * x;
        const uint8_t* pb = b + 8 * x;
        const __m256i p0 = load(pa), p1 = load(pa + 32), q0 = load(pa + 8), q1 = load(pa + 40);
        const __m256i r0 = load(pb), r1 = load(pb + 32), s0 = load(pb + 8), s1 = load(pb + 40);
        const uint64_t bytes = TestBytes(kSpread16, Mask16(Differ16(p0, q0, bound), Differ16(p1, q1, bound)),
                                         Mask16(Differ16(p0, r0, bound), Differ16(p1, r1, bound)),
                                         Mask16(Differ16(p0, s0, bound), Differ16(p1, s1, bound)),
                                         Mask16(Differ16(q0, r0, bound), Differ16(q1, r1, bound)));
        std::memcpy(row + x, &bytes, 8);
    }
    return x;
}

int32_t Avx2EdgeTestsFloat(uint8_t* row, const void* above, const void* below, int32_t count,
                           float limit) noexcept {
    const auto* a = static_cast<const float*>(above);
    const auto* b = static_cast<const float*>(below);
    return limit >= 0.0f ? TestsFloat<false>(row, a, b, count, limit)
                         : TestsFloat<true>(row, a, b, count, limit);
}
