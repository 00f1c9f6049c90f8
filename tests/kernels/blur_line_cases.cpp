// The line filters' rules on small lines worked by hand, for the plain form and every fast form.
#include <gtest/gtest.h>

#include "blur_support.h"

namespace {

using namespace blur_test;

class BlurLineCases : public BlurEnv {};

const PF_Pixel16 kUntouched16{11, 22, 33, 44};
const PF_PixelFloat kUntouchedF{-9.0f, -9.0f, -9.0f, -9.0f};

std::vector<PF_Pixel16> Opaque16(std::initializer_list<int> reds) {
    std::vector<PF_Pixel16> v;
    for (int r : reds)
        v.push_back(Px16(32768, A_u_short(r), A_u_short(r), A_u_short(r)));
    return v;
}

std::vector<PF_Pixel16> Untouched16(std::size_t n) {
    return std::vector<PF_Pixel16>(n, kUntouched16);
}

// Radius 1: the window is the sample itself, so every selected, eligible pixel comes back unchanged.
TEST_F(BlurLineCases, RadiusOneReproducesEverySelectedEligiblePixel) {
    std::mt19937 rng(5);
    std::vector<PF_Pixel16> src16(57);
    std::vector<PF_PixelFloat> srcF(57);
    for (std::size_t i = 0; i < src16.size(); ++i) {
        src16[i] = RandomPixel<PF_Pixel16>(rng);
        srcF[i] = RandomPixel<PF_PixelFloat>(rng);
    }
    const std::vector<uint8_t> sel = RandomSelection(rng, 57);
    const GaussTable one = BuildGaussTable(1, 0.125);
    for (BlurIsa isa : AvailableIsas())
        for (BlurKernel k : {BlurKernel::Gauss, BlurKernel::Box})
            for (BlurVariant v : {BlurVariant::Spanning, BlurVariant::Confined}) {
                const BlurLineKernel kernels =
                    k == BlurKernel::Gauss ? GaussKernel(one, one, one, one) : BoxKernel(1, 1, 1, 1);
                const auto d16 = FilterLine(k, v, isa, kernels, src16, sel, Untouched16(57));
                const auto dF =
                    FilterLine(k, v, isa, kernels, srcF, sel, std::vector<PF_PixelFloat>(57, kUntouchedF));
                for (std::size_t i = 0; i < sel.size(); ++i) {
                    const bool colour = sel[i] && src16[i].alpha != 0;
                    EXPECT_EQ(d16[i].alpha, sel[i] ? src16[i].alpha : kUntouched16.alpha)
                        << IsaName(isa) << i;
                    EXPECT_EQ(d16[i].red, colour ? src16[i].red : kUntouched16.red) << IsaName(isa) << i;
                    const bool colourF = sel[i] && srcF[i].alpha != 0.0f;
                    EXPECT_EQ(dF[i].alpha, sel[i] ? srcF[i].alpha : kUntouchedF.alpha) << IsaName(isa) << i;
                    EXPECT_EQ(dF[i].blue, colourF ? srcF[i].blue : kUntouchedF.blue) << IsaName(isa) << i;
                }
            }
}

// Line ends clip the window: the first pixel at radius 3 averages samples 0..2. And 16-bit box sums
// round half up: (0 + 0 + 1 + 1) / 3 = 0, (0 + 1 + 1 + 1) / 3 = 1.
TEST_F(BlurLineCases, ClippedEndsAndBoxRounding) {
    const std::vector<uint8_t> all(5, 255);
    for (BlurIsa isa : AvailableIsas()) {
        const auto d = FilterLine(BlurKernel::Box, BlurVariant::Spanning, isa, BoxKernel(3, 3, 3, 3),
                                  Opaque16({10, 20, 30, 40, 51}), all, Untouched16(5));
        EXPECT_EQ(d[0].red, 20) << IsaName(isa); // (10 + 20 + 30 + 1) / 3
        EXPECT_EQ(d[2].red, 30) << IsaName(isa); // (151 + 2) / 5
        EXPECT_EQ(d[4].red, 40) << IsaName(isa); // (121 + 1) / 3 = 40
        const std::vector<uint8_t> three(3, 255);
        EXPECT_EQ(FilterLine(BlurKernel::Box, BlurVariant::Confined, isa, BoxKernel(2, 2, 2, 2),
                             Opaque16({0, 0, 1}), three, Untouched16(3))[1]
                      .green,
                  0)
            << IsaName(isa);
        EXPECT_EQ(FilterLine(BlurKernel::Box, BlurVariant::Confined, isa, BoxKernel(2, 2, 2, 2),
                             Opaque16({0, 1, 1}), three, Untouched16(3))[1]
                      .green,
                  1)
            << IsaName(isa);
        const std::vector<PF_PixelFloat> f{PxF(1, 0.5f, 0, 0), PxF(1, 1.0f, 0, 0), PxF(1, 0.25f, 0, 0)};
        const auto df = FilterLine(BlurKernel::Box, BlurVariant::Spanning, isa, BoxKernel(3, 3, 3, 3), f,
                                   three, std::vector<PF_PixelFloat>(3, kUntouchedF));
        EXPECT_EQ(df[0].red, 1.75f / 3.0f) << IsaName(isa);
    }
}

// A Gaussian without a flat part returns a constant window's value exactly.
TEST_F(BlurLineCases, FlatWindowReturnsItsValue) {
    const GaussTable t = BuildGaussTable(7, 49.0 / 8.0);
    const std::vector<uint8_t> all(20, 255);
    for (BlurIsa isa : AvailableIsas()) {
        const auto d =
            FilterLine(BlurKernel::Gauss, BlurVariant::Spanning, isa, GaussKernel(t, t, t, t),
                       std::vector<PF_Pixel16>(20, Px16(32768, 12345, 65535, 1)), all, Untouched16(20));
        for (const PF_Pixel16& p : d) {
            EXPECT_EQ(p.red, 12345) << IsaName(isa);
            EXPECT_EQ(p.green, 65535) << IsaName(isa);
            EXPECT_EQ(p.blue, 1) << IsaName(isa);
        }
        const auto f = FilterLine(BlurKernel::Gauss, BlurVariant::Confined, isa, GaussKernel(t, t, t, t),
                                  std::vector<PF_PixelFloat>(20, PxF(1.0f, 0.5f, 0.25f, 0.0f)), all,
                                  std::vector<PF_PixelFloat>(20, kUntouchedF));
        for (const PF_PixelFloat& p : f) {
            EXPECT_EQ(p.red, 0.5f) << IsaName(isa);
            EXPECT_EQ(p.green, 0.25f) << IsaName(isa);
        }
    }
}

// Transparent samples lend no colour, while alpha is still filtered over every selected sample; a pixel
// whose colour window holds only transparent samples keeps its colour in the destination. Unselected
// pixels are never written.
TEST_F(BlurLineCases, TransparencyAndSelection) {
    std::vector<PF_Pixel16> src{Px16(0, 60000, 60000, 60000), Px16(0, 50000, 1, 1),
                                Px16(32768, 300, 300, 300),   Px16(0, 9999, 9999, 9999),
                                Px16(32768, 600, 900, 0),     Px16(100, 5, 5, 5)};
    const std::vector<uint8_t> sel{255, 255, 255, 255, 255, 0};
    for (BlurIsa isa : AvailableIsas())
        for (BlurVariant v : {BlurVariant::Spanning, BlurVariant::Confined}) {
            const auto d =
                FilterLine(BlurKernel::Box, v, isa, BoxKernel(2, 2, 2, 2), src, sel, Untouched16(6));
            // Pixel 0: window 0..1, both transparent: colour kept, alpha (0 + 0) / 2.
            EXPECT_EQ(d[0].alpha, 0);
            EXPECT_EQ(d[0].red, kUntouched16.red);
            // Pixel 1: window 0..2, colour from pixel 2 alone.
            EXPECT_EQ(d[1].red, 300);
            EXPECT_EQ(d[1].alpha, (32768 + 1) / 3);
            // Pixel 3: colour from pixels 2 and 4, never from its own 9999.
            EXPECT_EQ(d[3].red, 450);
            EXPECT_EQ(d[3].green, 600);
            // Pixel 4: window 3..4 (5 is unselected): colour from pixel 4 alone.
            EXPECT_EQ(d[4].green, 900);
            EXPECT_EQ(d[4].alpha, (32768 + 1) / 2);
            EXPECT_EQ(std::memcmp(&d[5], &kUntouched16, sizeof(PF_Pixel16)), 0) << IsaName(isa);
        }
}

// Two selected areas with a narrow gap: the spanning window reaches across, the confined one does not,
// and a sample at the end of a run is averaged with its own run only.
TEST_F(BlurLineCases, SpanningBlendsAcrossAGapConfinedDoesNot) {
    const auto src = Opaque16({100, 100, 100, 0, 700, 700, 700});
    const std::vector<uint8_t> sel{255, 255, 255, 0, 255, 255, 255};
    for (BlurIsa isa : AvailableIsas()) {
        const auto span = FilterLine(BlurKernel::Box, BlurVariant::Spanning, isa, BoxKernel(3, 3, 3, 3), src,
                                     sel, Untouched16(7));
        EXPECT_EQ(span[2].red, (300 + 700 + 2) / 4) << IsaName(isa); // 0..4 without the gap
        EXPECT_EQ(span[4].red, (100 + 2100 + 2) / 4) << IsaName(isa);
        const auto conf = FilterLine(BlurKernel::Box, BlurVariant::Confined, isa, BoxKernel(3, 3, 3, 3), src,
                                     sel, Untouched16(7));
        EXPECT_EQ(conf[2].red, 100) << IsaName(isa);
        EXPECT_EQ(conf[4].red, 700) << IsaName(isa);
        EXPECT_EQ(conf[3].red, kUntouched16.red) << IsaName(isa);
        const GaussTable t = BuildGaussTable(3, 9.0 / 8.0);
        const auto gauss = FilterLine(BlurKernel::Gauss, BlurVariant::Confined, isa, GaussKernel(t, t, t, t),
                                      src, sel, Untouched16(7));
        EXPECT_EQ(gauss[2].red, 100) << IsaName(isa);
        EXPECT_EQ(gauss[4].red, 700) << IsaName(isa);
    }
}

// Radius 150 on a line of 301: the table reaches 99 samples, the flat part the whole window. A sample
// 140 away counts in the flat part only: (A × b + G × (32768 − b) + 16384) / 32768 with A its mean.
// Alone in the window it gives the flat part's mean itself, not its darkened share.
TEST_F(BlurLineCases, FlatPartBeyondTheTable) {
    const GaussTable t = BuildGaussTable(150, 150.0 * 150.0);
    ASSERT_GT(t.flatTotal, 0);
    std::vector<PF_Pixel16> src(301, Px16(32768, 0, 0, 0));
    src[10] = Px16(32768, 29900, 29900, 29900);
    std::vector<uint8_t> all(301, 255);
    std::vector<uint8_t> lonely(301, 0);
    lonely[10] = lonely[150] = 255;
    src[150].alpha = 0; // pixel 150 lends no colour: its colour window holds pixel 10 alone
    for (BlurIsa isa : AvailableIsas()) {
        const auto d = FilterLine(BlurKernel::Gauss, BlurVariant::Spanning, isa, GaussKernel(t, t, t, t), src,
                                  all, Untouched16(301));
        // Window 1..299 without pixel 150's colour: A = 29900 / 298 = 100, G = 0.
        EXPECT_EQ(d[150].red, (100 * t.flatTotal + 16384) / 32768) << IsaName(isa);
        const auto alone = FilterLine(BlurKernel::Gauss, BlurVariant::Spanning, isa, GaussKernel(t, t, t, t),
                                      src, lonely, Untouched16(301));
        EXPECT_EQ(alone[150].red, 29900) << IsaName(isa);
    }
}

// Floats: each output sums its table terms left of the centre outwards, then from the centre rightwards,
// in single precision (values worked with single-precision rounding after every operation).
TEST_F(BlurLineCases, FloatOrderOfAccumulation) {
    const GaussTable t = BuildGaussTable(3, 9.0 / 8.0);
    const float reds[6] = {3.0f, 1e-4f, 7.0f, 0.3f, 5.0f, 1e-7f};
    std::vector<PF_PixelFloat> src;
    for (float r : reds)
        src.push_back(PxF(1.0f, r, 0.0f, 0.0f));
    const std::vector<uint8_t> all(6, 255);
    const uint32_t expected[6] = {0x4013e44e, 0x4028b8cd, 0x4050b21a, 0x40434002, 0x402672e7, 0x3fe64589};
    for (BlurIsa isa : AvailableIsas()) {
        const auto d = FilterLine(BlurKernel::Gauss, BlurVariant::Spanning, isa, GaussKernel(t, t, t, t), src,
                                  all, std::vector<PF_PixelFloat>(6, kUntouchedF));
        for (int i = 0; i < 6; ++i) {
            uint32_t bits;
            std::memcpy(&bits, &d[i].red, 4);
            EXPECT_EQ(bits, expected[i]) << IsaName(isa) << " at " << i;
        }
    }
}

} // namespace
