// The vector test for transparent pixels answers as alpha == 0 does pixel by pixel: at every position of
// runs of every length (the vector part and the pixels left over), for each depth, float's -0 counting as
// transparent and NaN not.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "kernels/AlphaScan.h"

namespace {

template <class Pixel>
bool AnyZeroAlpha(const std::vector<Pixel>& p, int32_t n) {
    for (int32_t x = 0; x < n; ++x)
        if (p[static_cast<std::size_t>(x)].alpha == 0)
            return true;
    return false;
}

// Every run length up to 40, and for each a transparent pixel at every position, or none; the other
// channels are zero as often as not, so that only the alpha may decide.
template <class Pixel, class Channel>
void CheckEveryPosition(Channel opaque, Channel transparent, std::mt19937& rng) {
    for (int32_t n = 0; n <= 40; ++n)
        for (int32_t at = -1; at < n; ++at) {
            // One pixel more than the run: a transparent pixel just past its end must not count.
            std::vector<Pixel> p(static_cast<std::size_t>(n) + 1);
            for (Pixel& q : p) {
                q.alpha = opaque;
                q.red = rng() % 2 ? Channel{} : opaque;
                q.green = rng() % 2 ? Channel{} : opaque;
                q.blue = Channel{};
            }
            p[static_cast<std::size_t>(n)].alpha = transparent;
            if (at >= 0)
                p[static_cast<std::size_t>(at)].alpha = transparent;
            ASSERT_EQ(NoneTransparent(p.data(), n), !AnyZeroAlpha(p, n)) << "length " << n << " at " << at;
            ASSERT_EQ(NoneTransparent(p.data(), n), at < 0) << "length " << n << " at " << at;
        }
}

TEST(AlphaScan, FindsATransparentPixelWhereverItLies) {
    std::mt19937 rng(11);
    CheckEveryPosition<PF_Pixel8, A_u_char>(1, 0, rng);
    CheckEveryPosition<PF_Pixel8, A_u_char>(255, 0, rng);
    CheckEveryPosition<PF_Pixel16, A_u_short>(1, 0, rng);
    CheckEveryPosition<PF_Pixel16, A_u_short>(256, 0, rng);
    CheckEveryPosition<PF_PixelFloat, float>(1.0f, 0.0f, rng);
    CheckEveryPosition<PF_PixelFloat, float>(1e-30f, -0.0f, rng);
}

TEST(AlphaScan, FloatNaNAndInfinitiesAreNotTransparent) {
    const float values[] = {std::nanf(""), INFINITY, -INFINITY, -1.0f, 1e-45f};
    for (const float v : values) {
        std::vector<PF_PixelFloat> p(7, PF_PixelFloat{1.0f, 0.0f, 0.0f, 0.0f});
        p[3].alpha = v;
        EXPECT_TRUE(NoneTransparent(p.data(), 7)) << v;
    }
}

} // namespace
