// The edge tests for processors with SSE4.1: four 8-bit pixels, two 16-bit pixels or one float pixel per
// vector.
#include "edgesmooth/EdgeTests.h"

#include <immintrin.h>

#include <cstring>

namespace {

#include "edgesmooth/EdgeTestsSpread.inl"

inline __m128i Load(const uint8_t* p) noexcept {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// ---- 8-bit: a pixel per 32-bit lane ------------------------------------------------------------------

constexpr int kNatural[8] = {0, 1, 2, 3, 4, 5, 6, 7};
constexpr Spread kSpreadNatural = MakeSpread(kNatural);

// All ones in the lanes whose pixels differ: both opaque somewhere and a sum of distances above limit.
inline __m128i Differ8(__m128i p, __m128i q, __m128i limit) noexcept {
    const __m128i low = _mm_min_epu8(p, q);
    const __m128i distance = _mm_sub_epi8(_mm_max_epu8(p, q), low);
    const __m128i pairs = _mm_maddubs_epi16(distance, _mm_set1_epi8(1));
    const __m128i sum = _mm_madd_epi16(pairs, _mm_set1_epi16(1));
    const __m128i clear = _mm_cmpeq_epi32(_mm_and_si128(low, _mm_set1_epi32(0xFF)), _mm_setzero_si128());
    return _mm_andnot_si128(clear, _mm_cmpgt_epi32(sum, limit));
}

// Pixels 0–3 from the first vector, 4–7 from the second.
inline unsigned Mask8(__m128i first, __m128i second) noexcept {
    return static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(first)) |
                                 _mm_movemask_ps(_mm_castsi128_ps(second)) << 4);
}

// ---- 16-bit: a pixel per 64-bit lane ------------------------------------------------------------------

// Of each four pixels, 0 and 2 in the even lanes, 1 and 3 in the odd ones.
constexpr int kInterleaved[8] = {0, 2, 1, 3, 4, 6, 5, 7};
constexpr Spread kSpread16 = MakeSpread(kInterleaved);

// In the low 32 bits of each pixel's lane: all ones where the pixels differ.
inline __m128i Differ16(__m128i p, __m128i q, __m128i limit) noexcept {
    const __m128i low = _mm_min_epu16(p, q);
    const __m128i distance = _mm_sub_epi16(_mm_max_epu16(p, q), low);
    const __m128i pairs =
        _mm_add_epi32(_mm_and_si128(distance, _mm_set1_epi32(0xFFFF)), _mm_srli_epi32(distance, 16));
    const __m128i sum = _mm_add_epi32(pairs, _mm_srli_epi64(pairs, 32));
    const __m128i clear = _mm_cmpeq_epi32(_mm_and_si128(low, _mm_set1_epi64x(0xFFFF)), _mm_setzero_si128());
    return _mm_andnot_si128(clear, _mm_cmpgt_epi32(sum, limit));
}

inline unsigned Mask4(__m128i first, __m128i second) noexcept {
    const __m128i both = _mm_blend_epi16(first, _mm_slli_epi64(second, 32), 0xCC);
    return static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(both)));
}

// The test of pixels x … x + 7 against the pixels `qa` and `qb` bytes on in the two rows.
inline unsigned Tests16(const uint8_t* p, const uint8_t* q, __m128i limit) noexcept {
    unsigned bits = 0;
    for (int half = 0; half < 2; ++half) {
        const uint8_t* pp = p + 32 * half;
        const uint8_t* qq = q + 32 * half;
        bits |= Mask4(Differ16(Load(pp), Load(qq), limit), Differ16(Load(pp + 16), Load(qq + 16), limit))
                << (4 * half);
    }
    return bits;
}

// ---- float: four pixels turned into a vector per channel ----------------------------------------------

struct Channels {
    __m128 alpha, red, green, blue;
    __m128 alive; // alpha != 0
};

inline Channels LoadChannels(const float* p) noexcept {
    __m128 x0 = _mm_loadu_ps(p), x1 = _mm_loadu_ps(p + 4), x2 = _mm_loadu_ps(p + 8),
           x3 = _mm_loadu_ps(p + 12);
    _MM_TRANSPOSE4_PS(x0, x1, x2, x3);
    return Channels{x0, x1, x2, x3, _mm_cmpneq_ps(x0, _mm_setzero_ps())};
}

inline __m128 Distance(__m128 a, __m128 b) noexcept {
    return _mm_andnot_ps(_mm_set1_ps(-0.0f), _mm_sub_ps(a, b));
}

inline __m128i SameBits(__m128 a, __m128 b) noexcept {
    return _mm_cmpeq_epi32(_mm_castps_si128(a), _mm_castps_si128(b));
}

// The channel distances added in the order alpha, red, green, blue, as the plain test adds them. Identical
// pixels are excluded only when the limit is below 0 (or NaN): otherwise their sum, 0 or NaN, never
// exceeds it.
inline unsigned DifferFloat(const Channels& p, const Channels& q, __m128 limit,
                            bool checkIdentical) noexcept {
    __m128 sum = Distance(p.alpha, q.alpha);
    sum = _mm_add_ps(sum, Distance(p.red, q.red));
    sum = _mm_add_ps(sum, Distance(p.green, q.green));
    sum = _mm_add_ps(sum, Distance(p.blue, q.blue));
    __m128 differ = _mm_and_ps(_mm_cmpgt_ps(sum, limit), _mm_and_ps(p.alive, q.alive));
    if (checkIdentical) {
        const __m128i same =
            _mm_and_si128(_mm_and_si128(SameBits(p.alpha, q.alpha), SameBits(p.red, q.red)),
                          _mm_and_si128(SameBits(p.green, q.green), SameBits(p.blue, q.blue)));
        differ = _mm_andnot_ps(_mm_castsi128_ps(same), differ);
    }
    return static_cast<unsigned>(_mm_movemask_ps(differ));
}

template <bool kCheckIdentical>
int32_t TestsFloat(uint8_t* row, const float* above, const float* below, int32_t count,
                   float limit) noexcept {
    const __m128 bound = _mm_set1_ps(limit);
    int32_t x = 0;
    for (; x + 8 <= count; x += 8) {
        unsigned right = 0, down = 0, diag = 0, anti = 0;
        for (int half = 0; half < 2; ++half) {
            const float* a = above + 4 * (x + 4 * half);
            const float* b = below + 4 * (x + 4 * half);
            const Channels p = LoadChannels(a), q = LoadChannels(a + 4), r = LoadChannels(b),
                           s = LoadChannels(b + 4);
            const int shift = 4 * half;
            right |= DifferFloat(p, q, bound, kCheckIdentical) << shift;
            down |= DifferFloat(p, r, bound, kCheckIdentical) << shift;
            diag |= DifferFloat(p, s, bound, kCheckIdentical) << shift;
            anti |= DifferFloat(q, r, bound, kCheckIdentical) << shift;
        }
        const uint64_t bytes = TestBytes(kSpreadNatural, right, down, diag, anti);
        std::memcpy(row + x, &bytes, 8);
    }
    return x;
}

} // namespace

int32_t Sse41EdgeTests8(uint8_t* row, const void* above, const void* below, int32_t count,
                        int32_t limit) noexcept {
    const auto* a = static_cast<const uint8_t*>(above);
    const auto* b = static_cast<const uint8_t*>(below);
    const __m128i bound = _mm_set1_epi32(limit);
    int32_t x = 0;
    for (; x + 8 <= count; x += 8) {
        const uint8_t* pa = a + 4 * x;
        const uint8_t* pb = b + 4 * x;
        const __m128i p0 = Load(pa), p1 = Load(pa + 16), q0 = Load(pa + 4), q1 = Load(pa + 20);
        const __m128i r0 = Load(pb), r1 = Load(pb + 16), s0 = Load(pb + 4), s1 = Load(pb + 20);
        const uint64_t bytes =
            TestBytes(kSpreadNatural, Mask8(Differ8(p0, q0, bound), Differ8(p1, q1, bound)),
                      Mask8(Differ8(p0, r0, bound), Differ8(p1, r1, bound)),
                      Mask8(Differ8(p0, s0, bound), Differ8(p1, s1, bound)),
                      Mask8(Differ8(q0, r0, bound), Differ8(q1, r1, bound)));
        std::memcpy(row + x, &bytes, 8);
    }
    return x;
}

int32_t Sse41EdgeTests16(uint8_t* row, const void* above, const void* below, int32_t count,
                         int32_t limit) noexcept {
    const auto* a = static_cast<const uint8_t*>(above);
    const auto* b = static_cast<const uint8_t*>(below);
    const __m128i bound = _mm_set1_epi32(limit);
    int32_t x = 0;
    for (; x + 8 <= count; x += 8) {
        const uint8_t* pa = a + 8 * x;
        const uint8_t* pb = b + 8 * x;
        const uint64_t bytes = TestBytes(kSpread16, Tests16(pa, pa + 8, bound), Tests16(pa, pb, bound),
                                         Tests16(pa, pb + 8, bound), Tests16(pa + 8, pb, bound));
        std::memcpy(row + x, &bytes, 8);
    }
    return x;
}

int32_t Sse41EdgeTestsFloat(uint8_t* row, const void* above, const void* below, int32_t count,
                            float limit) noexcept {
    const auto* a = static_cast<const float*>(above);
    const auto* b = static_cast<const float*>(below);
    return limit >= 0.0f ? TestsFloat<false>(row, a, b, count, limit)
                         : TestsFloat<true>(row, a, b, count, limit);
}
