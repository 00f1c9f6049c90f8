// Every read and write stays inside the image and the map (the sanitizer build checks the exact-size
// blocks), on tiny, thin and random images at all strengths; and blends never leave the range of the
// source's channel values.
#include <cmath>
#include <limits>
#include <random>

#include "tests/edgesmooth/EdgeTestSupport.h"

namespace {

struct Size {
    int32_t w, h;
};

std::vector<Size> Sizes(std::mt19937& rng) {
    std::vector<Size> sizes = {{1, 1}, {1, 2}, {2, 1}, {1, 7}, {7, 1},
                               {2, 2}, {3, 3}, {4, 4}, {5, 2}, {2, 5}};
    for (int i = 0; i < 14; ++i)
        sizes.push_back({1 + int32_t(rng() % 33), 1 + int32_t(rng() % 29)});
    return sizes;
}

const int32_t kStrengths[] = {1, 7, 69, 70, 1000, std::numeric_limits<int32_t>::max()};
const int32_t kThresholds[] = {-1, 0, 10, 300};

// Random pixels from a small set of channel values, so that edges, runs and lines all occur.
template <class Depth>
typename Depth::Pixel RandomPixel(std::mt19937& rng) {
    using Pixel = typename Depth::Pixel;
    if constexpr (std::is_same_v<Pixel, PF_PixelFloat>) {
        const float values[] = {0.0f, 0.25f, 0.5f, 1.0f};
        return Pixel{rng() % 5 == 0 ? 0.0f : values[rng() % 4], values[rng() % 4], values[rng() % 4],
                     values[rng() % 4]};
    } else {
        using C = decltype(Pixel{}.alpha);
        const int full = std::is_same_v<Pixel, PF_Pixel8> ? 255 : 32768;
        auto v = [&] { return C((full * int(rng() % 5)) / 4); };
        return Pixel{rng() % 5 == 0 ? C(0) : C(full), v(), v(), v()};
    }
}

template <class Pixel>
auto Channel(const Pixel& p, int c) {
    return c == 0 ? p.alpha : c == 1 ? p.red : c == 2 ? p.green : p.blue;
}

template <class Depth>
void SmoothRandomImages(unsigned seed) {
    using Pixel = typename Depth::Pixel;
    std::mt19937 rng(seed);
    for (Size s : Sizes(rng)) {
        TestImage<Pixel> image(s.w, s.h);
        // Blocks of 1–3 pixels of one colour, so that runs and thin lines appear.
        for (int32_t y = 0; y < s.h; ++y)
            for (int32_t x = 0; x < s.w; ++x)
                image.At(x, y) = (x > 0 && rng() % 3 == 0)   ? image.At(x - 1, y)
                                 : (y > 0 && rng() % 3 == 0) ? image.At(x, y - 1)
                                                             : RandomPixel<Depth>(rng);
        for (int32_t strength : kStrengths)
            for (int32_t threshold : kThresholds) {
                const TestImage<Pixel> out = SmoothInMemory<Depth>(image, strength, threshold);
                for (int c = 0; c < 4; ++c) {
                    auto lo = Channel(image.pixels[0], c), hi = lo;
                    for (const Pixel& p : image.pixels) {
                        lo = std::min(lo, Channel(p, c));
                        hi = std::max(hi, Channel(p, c));
                    }
                    for (const Pixel& p : out.pixels) {
                        ASSERT_GE(Channel(p, c), lo) << s.w << "x" << s.h << " strength " << strength;
                        ASSERT_LE(Channel(p, c), hi) << s.w << "x" << s.h << " strength " << strength;
                    }
                }
            }
    }
}

TEST(EdgeSmoothBounds, RandomImages8) {
    SmoothRandomImages<EdgeDepth8>(1);
}
TEST(EdgeSmoothBounds, RandomImages16) {
    SmoothRandomImages<EdgeDepth16>(2);
}
TEST(EdgeSmoothBounds, RandomImagesFloat) {
    SmoothRandomImages<EdgeDepthFloat>(3);
}

// Full-scale 16-bit values next to anything; channels above full scale are not the host's, but they
// must not break the engine either.
TEST(EdgeSmoothBounds, SixteenBitExtremes) {
    std::mt19937 rng(4);
    TestImage<PF_Pixel16> image(17, 13);
    const A_u_short values[] = {0, 1, 32767, 32768, 65535};
    for (auto& p : image.pixels)
        p = PF_Pixel16{values[rng() % 5], values[rng() % 5], values[rng() % 5], values[rng() % 5]};
    for (int32_t strength : kStrengths)
        SmoothInMemory<EdgeDepth16>(image, strength);
}

// Float pixels may hold anything: negative, above 1, infinite or not a number.
TEST(EdgeSmoothBounds, FloatSpecialValues) {
    std::mt19937 rng(5);
    TestImage<PF_PixelFloat> image(19, 11);
    const float values[] = {0.0f,
                            -0.0f,
                            1.0f,
                            -2.5f,
                            1e30f,
                            std::numeric_limits<float>::infinity(),
                            std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::denorm_min()};
    for (auto& p : image.pixels)
        p = PF_PixelFloat{values[rng() % 8], values[rng() % 8], values[rng() % 8], values[rng() % 8]};
    for (int32_t strength : kStrengths)
        SmoothInMemory<EdgeDepthFloat>(image, strength);
}

} // namespace
