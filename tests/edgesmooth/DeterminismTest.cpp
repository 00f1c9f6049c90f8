// The same bytes on every platform: digests of the engine's output on fixed pseudo-random cel images at
// each depth. The generator (mt19937) and every operation of the engine are exactly specified, so a
// digest that differs between the Linux and the Windows build names a platform-dependent result.
#include <cstring>
#include <random>

#include "tests/edgesmooth/EdgeTestSupport.h"

namespace {

uint64_t Fnv1a(const void* data, size_t n, uint64_t h = 1469598103934665603ull) {
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < n; ++i)
        h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

// Rectangles of six colours (one half transparent, one semi-transparent) on a ground; values spread so
// that colour shares and averages take many roundings.
template <class Depth>
uint64_t DigestOfSmoothedCels(unsigned seed) {
    using Pixel = typename Depth::Pixel;
    std::mt19937 rng(seed);
    uint64_t h = Fnv1a(nullptr, 0);
    for (int image = 0; image < 6; ++image) {
        const int32_t w = 8 + int32_t(rng() % 56), hgt = 8 + int32_t(rng() % 40);
        Pixel colours[6];
        for (Pixel& c : colours) {
            const uint32_t v[4] = {uint32_t(rng()), uint32_t(rng()), uint32_t(rng()), uint32_t(rng())};
            if constexpr (std::is_same_v<Pixel, PF_PixelFloat>)
                c = Pixel{float(v[0] % 1000) / 999.0f, float(v[1] % 1000) / 999.0f,
                          float(v[2] % 1000) / 999.0f, float(v[3] % 1000) / 999.0f};
            else if constexpr (std::is_same_v<Pixel, PF_Pixel16>)
                c = Pixel{A_u_short(v[0] % 32769), A_u_short(v[1] % 32769), A_u_short(v[2] % 32769),
                          A_u_short(v[3] % 32769)};
            else
                c = Pixel{A_u_char(v[0]), A_u_char(v[1]), A_u_char(v[2]), A_u_char(v[3])};
        }
        colours[1].alpha = 0;
        TestImage<Pixel> cel(w, hgt, colours[0]);
        for (int r = 0; r < 25; ++r) {
            const int32_t x0 = int32_t(rng() % unsigned(w)), y0 = int32_t(rng() % unsigned(hgt));
            const int32_t x1 = std::min(w, x0 + 1 + int32_t(rng() % 12)),
                          y1 = std::min(hgt, y0 + 1 + int32_t(rng() % 9));
            const Pixel c = colours[rng() % 6];
            for (int32_t y = y0; y < y1; ++y)
                for (int32_t x = x0; x < x1; ++x)
                    cel.At(x, y) = c;
        }
        for (int32_t strength : {70, 13, 400}) {
            const auto out = SmoothInMemory<Depth>(cel, strength);
            h = Fnv1a(out.pixels.data(), out.pixels.size() * sizeof(Pixel), h);
        }
    }
    return h;
}

TEST(EdgeSmoothDeterminism, SameBytesOnEveryPlatform) {
    EXPECT_EQ(DigestOfSmoothedCels<EdgeDepth8>(101), 0xc9f6a30b8f12975full);
    EXPECT_EQ(DigestOfSmoothedCels<EdgeDepth16>(102), 0x063c9b4b3c9bf645ull);
    EXPECT_EQ(DigestOfSmoothedCels<EdgeDepthFloat>(103), 0x706d2a7f079afba1ull);
}

} // namespace
