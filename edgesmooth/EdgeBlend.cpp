#include "edgesmooth/EdgeBlend.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr int32_t kOwnWeight = 65535;

} // namespace

void AverageLonePixel(PF_Pixel8& t, const PF_Pixel8* const* neighbours, int count, int64_t w) noexcept {
    int64_t weightSum = 0, alphaSum = 0, red = 0, green = 0, blue = 0;
    auto add = [&](const PF_Pixel8& p, int64_t weight) {
        weightSum += weight;
        alphaSum += p.alpha * weight;
        const int64_t alphaWeight = (p.alpha * weight) >> 16;
        red += p.red * alphaWeight;
        green += p.green * alphaWeight;
        blue += p.blue * alphaWeight;
    };
    for (int i = 0; i < count; ++i)
        add(*neighbours[i], w);
    add(t, kOwnWeight);
    t.alpha = static_cast<A_u_char>((alphaSum + weightSum / 2) / weightSum);
    const int64_t q = alphaSum >> 16;
    if (q != 0) {
        t.red = static_cast<A_u_char>((red + q / 2) / q);
        t.green = static_cast<A_u_char>((green + q / 2) / q);
        t.blue = static_cast<A_u_char>((blue + q / 2) / q);
    }
}

void AverageLonePixelPlain(PF_Pixel16& t, const PF_Pixel16* const* neighbours, int count,
                           int64_t w) noexcept {
    float weightSum = 0.0f, alphaSum = 0.0f, red = 0.0f, green = 0.0f, blue = 0.0f;
    auto add = [&](const PF_Pixel16& p, int64_t weight) {
        const float fw = static_cast<float>(weight) / 65535.0f;
        const float alphaWeight = static_cast<float>(p.alpha) * fw;
        weightSum += fw;
        alphaSum += alphaWeight;
        red += static_cast<float>(p.red) * alphaWeight;
        green += static_cast<float>(p.green) * alphaWeight;
        blue += static_cast<float>(p.blue) * alphaWeight;
    };
    // Half up by truncation; never past the channel's range, whatever the input held.
    auto round = [](float v) { return static_cast<A_u_short>(std::min(v + 0.5f, 65535.0f)); };
    for (int i = 0; i < count; ++i)
        add(*neighbours[i], w);
    add(t, kOwnWeight);
    t.alpha = round(alphaSum / weightSum);
    if (alphaSum != 0.0f) {
        t.red = round(red / alphaSum);
        t.green = round(green / alphaSum);
        t.blue = round(blue / alphaSum);
    }
}

#if defined(__SSE2__)
// The plain average's operations on its four sums at once: lane 0 the alpha sum, lanes 1 to 3 the colour
// sums. Each lane adds and multiplies what the plain code does, in the same order (the alpha lane takes
// 1 × alphaWeight, which is alphaWeight), and the quotients are the same single divisions, so every bit
// agrees; grainy frames average most of their pixels. The target, just written channel by channel by the
// blends before, is read channel by channel and written whole, so that no load waits on those stores.
void AverageLonePixel(PF_Pixel16& t, const PF_Pixel16* const* neighbours, int count, int64_t w) noexcept {
    __m128 sums = _mm_setzero_ps();
    float weightSum = 0.0f;
    const auto add = [&sums, &weightSum](__m128i wide, float fw) {
        const __m128 channels = _mm_cvtepi32_ps(wide); // alpha, red, green, blue
        const __m128 alphaWeight = _mm_mul_ps(_mm_shuffle_ps(channels, channels, 0), _mm_set1_ps(fw));
        weightSum += fw;
        sums = _mm_add_ps(sums, _mm_mul_ps(_mm_move_ss(channels, _mm_set_ss(1.0f)), alphaWeight));
    };
    const float fw = static_cast<float>(w) / 65535.0f;
    for (int i = 0; i < count; ++i)
        add(_mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(neighbours[i])),
                               _mm_setzero_si128()),
            fw);
    const __m128i own = _mm_setr_epi32(t.alpha, t.red, t.green, t.blue);
    add(own, static_cast<float>(kOwnWeight) / 65535.0f);
    const float alphaSum = _mm_cvtss_f32(sums);
    // alpha / weightSum, colours / alphaSum; half up by truncation, never past the channel's range.
    const __m128 divisors = _mm_move_ss(_mm_set1_ps(alphaSum), _mm_set_ss(weightSum));
    const __m128 rounded =
        _mm_min_ps(_mm_add_ps(_mm_div_ps(sums, divisors), _mm_set1_ps(0.5f)), _mm_set1_ps(65535.0f));
    __m128i values = _mm_cvttps_epi32(rounded);
    if (alphaSum == 0.0f) // no alpha weight: the colour stays
        values = _mm_castps_si128(_mm_move_ss(_mm_castsi128_ps(own), _mm_castsi128_ps(values)));
    // 0 … 65535 in 32-bit lanes to 16 bits: shifted into the signed range, packed, shifted back.
    const __m128i half = _mm_packs_epi32(_mm_sub_epi32(values, _mm_set1_epi32(32768)), _mm_setzero_si128());
    _mm_storel_epi64(reinterpret_cast<__m128i*>(&t), _mm_xor_si128(half, _mm_set1_epi16(-32768)));
}
#else
void AverageLonePixel(PF_Pixel16& t, const PF_Pixel16* const* neighbours, int count, int64_t w) noexcept {
    AverageLonePixelPlain(t, neighbours, count, w);
}
#endif

void AverageLonePixel(PF_PixelFloat& t, const PF_PixelFloat* const* neighbours, int count, float w) noexcept {
    float weightSum = 0.0f, alphaSum = 0.0f, red = 0.0f, green = 0.0f, blue = 0.0f;
    auto add = [&](const PF_PixelFloat& p, float weight) {
        weightSum += weight;
        alphaSum += p.alpha * weight;
        red += p.red * p.alpha * weight;
        green += p.green * p.alpha * weight;
        blue += p.blue * p.alpha * weight;
    };
    for (int i = 0; i < count; ++i)
        add(*neighbours[i], w);
    add(t, 1.0f);
    t.alpha = alphaSum / weightSum;
    if (alphaSum != 0.0f) {
        t.red = red / alphaSum;
        t.green = green / alphaSum;
        t.blue = blue / alphaSum;
    }
}
