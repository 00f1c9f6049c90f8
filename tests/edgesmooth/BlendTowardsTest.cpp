// The colour blend every weighting of the engine goes through: four cases by alpha, straight colours.
#include "edgesmooth/EdgeBlend.h"

#include "tests/edgesmooth/EdgeTestSupport.h"

namespace {

PF_Pixel8 P8(int a, int r, int g, int b) {
    return PF_Pixel8{A_u_char(a), A_u_char(r), A_u_char(g), A_u_char(b)};
}
PF_Pixel16 P16(int a, int r, int g, int b) {
    return PF_Pixel16{A_u_short(a), A_u_short(r), A_u_short(g), A_u_short(b)};
}

TEST(BlendTowards, EqualAlphaMovesOnlyTheColour) {
    PF_Pixel8 t = P8(200, 100, 50, 0);
    BlendTowards(t, P8(200, 0, 250, 255), 32767);
    // red (32768 × 100 + 32768) >> 16 = 50; green (32767 × 250 + 32768 × 50 + 32768) >> 16 = 150;
    // blue (32767 × 255 + 32768) >> 16 = 127
    EXPECT_EQ(t, P8(200, 50, 150, 127));
}

TEST(BlendTowards, TransparentColourFadesOnlyTheAlpha) {
    PF_Pixel8 t = P8(200, 100, 50, 0);
    BlendTowards(t, P8(0, 9, 9, 9), 16384);
    EXPECT_EQ(t, P8(150, 100, 50, 0)); // (49151 × 200 + 32768) >> 16 = 150
}

TEST(BlendTowards, TransparentTargetTakesTheColour) {
    PF_Pixel8 t = P8(0, 1, 2, 3);
    BlendTowards(t, P8(128, 10, 20, 30), 65535);
    EXPECT_EQ(t, P8(128, 10, 20, 30)); // alpha (65535 × 128 + 32768) >> 16 = 128
}

TEST(BlendTowards, DifferentAlphasShareTheColourByAlphaWeight) {
    PF_Pixel8 t = P8(100, 0, 0, 0);
    BlendTowards(t, P8(200, 255, 255, 255), 32768);
    // a1 = 6553600, a2 = 3276700: k = trunc(65535 / 1.4999847 + 0.5) = 43690 in single precision;
    // colour (43690 × 255 + 32768) >> 16 = 170; alpha (a1 + a2 + 32768) >> 16 = 150
    EXPECT_EQ(t, P8(150, 170, 170, 170));
}

TEST(BlendTowards, ZeroWeightLeavesThePixel) {
    PF_Pixel8 t = P8(100, 10, 20, 30);
    BlendTowards(t, P8(200, 255, 255, 255), 0); // a1 = 0: share 0 without dividing by zero
    EXPECT_EQ(t, P8(100, 10, 20, 30));
    PF_Pixel16 u = P16(32768, 32768, 0, 7);
    BlendTowards(u, P16(32768, 0, 32768, 9), 0);
    EXPECT_EQ(u, P16(32768, 32768, 0, 7));
}

TEST(BlendTowards, SixteenBitFullScaleDoesNotOverflow) {
    // 65535 × 32768 + 0 × 32768 + 32768 is exactly 2^31.
    PF_Pixel16 t = P16(32768, 32768, 0, 32768);
    BlendTowards(t, P16(32768, 32768, 32768, 0), 65535);
    EXPECT_EQ(t, P16(32768, 32768, 32768, 0));
}

TEST(BlendTowards, SixteenBitColourShare) {
    PF_Pixel16 t = P16(16384, 0, 32768, 1000);
    BlendTowards(t, P16(32768, 32768, 0, 30000), 40000);
    // a1 = 1310720000, a2 = 418365440: a2 / a1 = 0.31918749, + 1 = 1.3191875, 65535 / that = 49678.305,
    // + 0.5 → k = 49678. red (49678 × 32768 + 32768) >> 16 = 24839;
    // green (15857 × 32768 + 32768) >> 16 = 7929; blue (49678 × 30000 + 15857 × 1000 + 32768) >> 16 = 22983;
    // alpha (a1 + a2 + 32768) >> 16 = 26384
    EXPECT_EQ(t, P16(26384, 24839, 7929, 22983));
}

TEST(BlendTowards, FloatCases) {
    PF_PixelFloat t{1.0f, 0.5f, 0.25f, 0.0f};
    BlendTowards(t, PF_PixelFloat{1.0f, 1.0f, 0.75f, 0.125f}, 0.25f);
    EXPECT_EQ(t, (PF_PixelFloat{1.0f, 0.625f, 0.375f, 0.03125f}));

    t = PF_PixelFloat{0.5f, 0.1f, 0.2f, 0.3f};
    BlendTowards(t, PF_PixelFloat{0.0f, 1.0f, 1.0f, 1.0f}, 0.25f);
    EXPECT_EQ(t, (PF_PixelFloat{0.375f, 0.1f, 0.2f, 0.3f}));

    // a1 = 0.5, a2 = 0.25: k = 1 / 1.5 = 0x1.555556p-1 in single precision; alpha 0.75
    t = PF_PixelFloat{0.5f, 0.0f, 0.0f, 0.0f};
    BlendTowards(t, PF_PixelFloat{1.0f, 1.0f, 1.0f, 1.0f}, 0.5f);
    EXPECT_EQ(t, (PF_PixelFloat{0.75f, 0x1.555556p-1f, 0x1.555556p-1f, 0x1.555556p-1f}));
}

TEST(BlendTowards, FloatTransparentTargetThroughTheGeneralFormula) {
    PF_PixelFloat t{0.0f, 0.1f, 0.2f, 0.3f};
    BlendTowards(t, PF_PixelFloat{0.5f, 1.0f, 0.5f, 0.25f}, 0.5f);
    EXPECT_EQ(t, (PF_PixelFloat{0.25f, 1.0f, 0.5f, 0.25f}));
    // Weight 0: the share is still 1 (no 0 / 0), the alpha stays 0.
    t = PF_PixelFloat{0.0f, 0.1f, 0.2f, 0.3f};
    BlendTowards(t, PF_PixelFloat{0.5f, 1.0f, 0.5f, 0.25f}, 0.0f);
    EXPECT_EQ(t, (PF_PixelFloat{0.0f, 1.0f, 0.5f, 0.25f}));
    // Weight 0 on an opaque target: share 0, nothing moves.
    t = PF_PixelFloat{0.5f, 0.1f, 0.2f, 0.3f};
    BlendTowards(t, PF_PixelFloat{1.0f, 1.0f, 0.5f, 0.25f}, 0.0f);
    EXPECT_EQ(t, (PF_PixelFloat{0.5f, 0.1f, 0.2f, 0.3f}));
}

} // namespace
