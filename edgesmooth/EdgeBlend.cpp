#include "edgesmooth/EdgeBlend.h"

#include <algorithm>

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

void AverageLonePixel(PF_Pixel16& t, const PF_Pixel16* const* neighbours, int count, int64_t w) noexcept {
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
