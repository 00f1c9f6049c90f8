#include "kernels/AlphaScan.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

template <class Pixel>
bool NoneTransparentPlain(const Pixel* pixels, int32_t from, int32_t n) noexcept {
    bool transparent = false;
    for (int32_t x = from; x < n; ++x)
        transparent |= pixels[x].alpha == 0;
    return !transparent;
}

} // namespace

// Each function tests the alphas of whole vectors (the instruction set every 64-bit x86 processor has),
// then the pixels left over one by one.

bool NoneTransparent(const PF_Pixel8* pixels, int32_t n) noexcept {
    int32_t x = 0;
#if defined(__SSE2__)
    __m128i zero = _mm_setzero_si128();
    for (; x + 4 <= n; x += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + x));
        zero = _mm_or_si128(zero, _mm_cmpeq_epi8(v, _mm_setzero_si128()));
    }
    // The alpha bytes: the first of each four.
    if (_mm_movemask_epi8(zero) & 0x1111)
        return false;
#endif
    return NoneTransparentPlain(pixels, x, n);
}

bool NoneTransparent(const PF_Pixel16* pixels, int32_t n) noexcept {
    int32_t x = 0;
#if defined(__SSE2__)
    __m128i zero = _mm_setzero_si128();
    for (; x + 2 <= n; x += 2) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + x));
        zero = _mm_or_si128(zero, _mm_cmpeq_epi16(v, _mm_setzero_si128()));
    }
    // The alpha words: bytes 0-1 and 8-9.
    if (_mm_movemask_epi8(zero) & 0x0303)
        return false;
#endif
    return NoneTransparentPlain(pixels, x, n);
}

bool NoneTransparent(const PF_PixelFloat* pixels, int32_t n) noexcept {
    int32_t x = 0;
#if defined(__SSE2__)
    // Compared as floats, so that -0 counts as 0 and NaN does not, as alpha == 0 has it.
    __m128 zero = _mm_setzero_ps();
    for (; x < n; ++x) {
        const __m128 v = _mm_loadu_ps(reinterpret_cast<const float*>(pixels + x));
        zero = _mm_or_ps(zero, _mm_cmpeq_ps(v, _mm_setzero_ps()));
    }
    if (_mm_movemask_ps(zero) & 1)
        return false;
#endif
    return NoneTransparentPlain(pixels, x, n);
}
