// The render plan from the record alone: the lengths at a downsampling, which pixels take part, and which
// steps and working worlds a render needs.
#include <gtest/gtest.h>

#include "params/Controls.h"
#include "render/RenderPlan.h"

namespace {

constexpr PF_RationalScale kFull{1, 1};

// A record as a fresh instance reads it, at 16 bits.
RenderParams Defaults() {
    RenderParams p;
    p.blurType = kBlurTypeBox;
    p.repeat = 3;
    p.g = 5;
    p.b = 15;
    p.autoAlpha = 1;
    p.mode = kModeNormal;
    p.keepDivision = 1;
    p.pixelFormat = PF_PixelFormat_ARGB64;
    for (KeyColorParams& key : p.keys)
        key.color = PF_Pixel{255, 3, 180, 245};
    return p;
}

TEST(RenderPlan, ExtentsAreLengthPlusAmountPlusOneAtTheSmallerDownsampling) {
    RenderParams p = Defaults();
    p.autoAlpha = 0;
    p.a = 2;
    p.r = 3;
    p.g = 7.4;
    p.b = 0.5;
    p.blurAmount = 1;
    RenderPlan plan = PlanRender(p, kFull, kFull);
    EXPECT_EQ(plan.extents.alpha, 4.0);
    EXPECT_EQ(plan.extents.red, 5.0);
    EXPECT_EQ(plan.extents.green, 9.0) << "7.4 rounds to 7";
    EXPECT_EQ(plan.extents.blue, 3.0) << "0.5 rounds half up";
    EXPECT_EQ(plan.blur.lengths[0], 4.0);
    EXPECT_EQ(plan.blur.lengths[3], 3.0);

    p.blurAmount = 5;
    plan = PlanRender(p, PF_RationalScale{1, 2}, PF_RationalScale{1, 4});
    EXPECT_EQ(plan.extents.red, 1.0 + 1.0 + 1.0) << "1/4 wins: trunc(0.75 + 0.5) + trunc(1.25 + 0.5) + 1";
    EXPECT_EQ(plan.extents.green, 2.0 + 1.0 + 1.0);
}

TEST(RenderPlan, AutoAlphaTakesTheLargestColourLength) {
    RenderParams p = Defaults();
    p.r = 3;
    p.g = 9;
    p.b = 5;
    p.a = 40;
    EXPECT_EQ(PlanRender(p, kFull, kFull).extents.alpha, 10.0);
    p.autoAlpha = 0;
    EXPECT_EQ(PlanRender(p, kFull, kFull).extents.alpha, 41.0);
}

TEST(RenderPlan, OnlyBlurBrightnessOrExtractNeedWork) {
    RenderParams p = Defaults();
    p.g = p.b = 0;
    RenderPlan plan = PlanRender(p, kFull, kFull);
    EXPECT_FALSE(plan.needsWork);
    EXPECT_EQ(plan.layerWorlds, 0);
    p.brightness = 0.5;
    EXPECT_TRUE(PlanRender(p, kFull, kFull).needsWork);
    p.brightness = 0;
    p.mode = kModeExtract;
    plan = PlanRender(p, kFull, kFull);
    EXPECT_TRUE(plan.needsWork);
    EXPECT_TRUE(plan.extract);
    p.mode = kModeNormal;
    p.b = 0.4; // rounds to 0
    EXPECT_FALSE(PlanRender(p, kFull, kFull).needsWork);
    p.b = 0.5;
    EXPECT_TRUE(PlanRender(p, kFull, kFull).needsWork);
}

TEST(RenderPlan, EnabledKeysChooseThePixelsUnlessDisableAll) {
    RenderParams p = Defaults();
    p.invert = 1;
    p.keepDivision = 0;
    RenderPlan plan = PlanRender(p, kFull, kFull);
    EXPECT_FALSE(plan.keyed);
    EXPECT_EQ(plan.keyCount, 0);
    EXPECT_FALSE(plan.invertKeys) << "nothing to invert without a key";
    EXPECT_EQ(plan.blur.variant, BlurVariant::Confined) << "every pixel takes part: the blur stays inside";

    p.keys[1].enable = 1;
    p.keys[1].color = PF_Pixel{255, 10, 20, 30};
    p.keys[1].range = 25;
    p.keys[3].enable = 1;
    p.keys[3].range = 100;
    plan = PlanRender(p, kFull, kFull);
    EXPECT_TRUE(plan.keyed);
    ASSERT_EQ(plan.keyCount, 2);
    EXPECT_EQ(plan.keys[0].color.red, 10);
    EXPECT_EQ(plan.keys[0].range, 0.25);
    EXPECT_EQ(plan.keys[1].range, 1.0);
    EXPECT_TRUE(plan.invertKeys);
    EXPECT_EQ(plan.blur.variant, BlurVariant::Spanning);

    p.mode = kModeDisableAll;
    plan = PlanRender(p, kFull, kFull);
    EXPECT_FALSE(plan.keyed);
    EXPECT_EQ(plan.keyCount, 0);
    EXPECT_FALSE(plan.invertKeys);
    EXPECT_EQ(plan.blur.variant, BlurVariant::Confined);
}

TEST(RenderPlan, SmoothingOnlyForSmallestExtentsTwoToFifteen) {
    RenderParams p = Defaults();
    p.r = p.g = p.b = 0;
    for (const auto& [amount, smooth] :
         {std::pair{0.0, false}, std::pair{1.0, true}, std::pair{14.0, true}, std::pair{15.0, false}}) {
        p.blurAmount = amount;
        EXPECT_EQ(PlanRender(p, kFull, kFull).smoothEdges, smooth) << "amount " << amount;
    }
    p.blurAmount = 0;
    p.r = 1;
    const RenderPlan plan = PlanRender(p, kFull, kFull);
    EXPECT_TRUE(plan.needsWork) << "red extent 2";
    EXPECT_FALSE(plan.smoothEdges) << "but the smallest extent is 1";
}

TEST(RenderPlan, EightBitLayersBlurInSixteenBitWorlds) {
    RenderParams p = Defaults();
    p.blurType = kBlurTypeGaussian;
    p.blurAspect = -2.5;
    p.repeat = 7;
    p.brightness = 40;
    for (const auto& [format, sixteen] :
         {std::pair{PF_PixelFormat_ARGB32, true}, std::pair{PF_PixelFormat_ARGB64, false},
          std::pair{PF_PixelFormat_ARGB128, false}}) {
        p.pixelFormat = format;
        const RenderPlan plan = PlanRender(p, kFull, kFull);
        EXPECT_EQ(plan.blurInSixteenBits, sixteen);
        // Brightness writes a layer world; seven repeats need a scratch: of the layer's format, or the
        // three 16-bit worlds of an 8-bit blur.
        EXPECT_EQ(plan.layerWorlds, sixteen ? 1 : 2);
        EXPECT_EQ(plan.sixteenBitWorlds, sixteen ? 3 : 0);
        EXPECT_EQ(plan.blurScratch, !sixteen);
        EXPECT_EQ(plan.blur.kernel, BlurKernel::Gauss);
        EXPECT_EQ(plan.blur.aspect, -2.5);
        EXPECT_EQ(plan.blur.repeat, 7);
        EXPECT_TRUE(plan.brighten);
        EXPECT_EQ(plan.brightness, 0.4);
        EXPECT_EQ(plan.brightnessGain, 8.0);
        EXPECT_EQ(plan.brightnessExponent, 4.0);
    }
}

// One repeat whose passes run fused needs no world for the blur; a float box, whose running sums keep
// their rounding down the whole column, and reaches beyond the fused form's margins take a scratch.
TEST(RenderPlan, OneRepeatNeedsNoBlurWorldWhereThePassesFuse) {
    RenderParams p = Defaults();
    p.repeat = 1;
    p.blurAmount = 20;
    struct Case {
        PF_PixelFormat format;
        int32_t blurType;
        double amount;
        int32_t layerWorlds;
        int32_t sixteenBitWorlds;
    };
    for (const Case& c : {Case{PF_PixelFormat_ARGB32, kBlurTypeBox, 20, 0, 0},
                          Case{PF_PixelFormat_ARGB64, kBlurTypeBox, 20, 0, 0},
                          Case{PF_PixelFormat_ARGB64, kBlurTypeGaussian, 20, 0, 0},
                          Case{PF_PixelFormat_ARGB128, kBlurTypeGaussian, 20, 0, 0},
                          Case{PF_PixelFormat_ARGB128, kBlurTypeBox, 20, 1, 0},
                          Case{PF_PixelFormat_ARGB64, kBlurTypeBox, 200, 1, 0},
                          Case{PF_PixelFormat_ARGB32, kBlurTypeBox, 200, 0, 3}}) {
        p.pixelFormat = c.format;
        p.blurType = c.blurType;
        p.blurAmount = c.amount;
        const RenderPlan plan = PlanRender(p, kFull, kFull);
        EXPECT_EQ(plan.layerWorlds, c.layerWorlds) << c.format << ' ' << c.blurType << ' ' << c.amount;
        EXPECT_EQ(plan.sixteenBitWorlds, c.sixteenBitWorlds)
            << c.format << ' ' << c.blurType << ' ' << c.amount;
        // Brightness rides along in fused passes; otherwise it is a step with a world of its own.
        RenderParams bright = p;
        bright.brightness = 10;
        const RenderPlan lit = PlanRender(bright, kFull, kFull);
        const bool fused = c.layerWorlds == 0 && c.sixteenBitWorlds == 0;
        EXPECT_EQ(lit.brightnessInBlur, fused) << c.format << ' ' << c.blurType << ' ' << c.amount;
        EXPECT_EQ(lit.layerWorlds, fused ? 0 : c.sixteenBitWorlds ? 1 : 2);
    }
}

// Unkeyed, every pixel takes part and the smoothing reads the input itself; a key colour makes it read a
// masked copy of its own, one world more.
TEST(RenderPlan, OnlyAKeyedSmoothingNeedsAMaskedCopy) {
    RenderParams p = Defaults();
    p.g = p.b = 0;
    p.repeat = 1;
    p.blurAmount = 3;
    struct Case {
        PF_PixelFormat format;
        int32_t repeat;
        double brightness;
        int32_t unkeyed;
        int32_t keyed;
    };
    for (const Case& c :
         {Case{PF_PixelFormat_ARGB64, 1, 0, 1, 2}, Case{PF_PixelFormat_ARGB32, 1, 0, 1, 2},
          Case{PF_PixelFormat_ARGB128, 1, 0, 2, 2}, Case{PF_PixelFormat_ARGB64, 5, 0, 2, 2},
          Case{PF_PixelFormat_ARGB64, 5, 20, 2, 2}, Case{PF_PixelFormat_ARGB32, 5, 20, 2, 2}}) {
        p.pixelFormat = c.format;
        p.repeat = c.repeat;
        p.brightness = c.brightness;
        p.keys[0].enable = 0;
        const RenderPlan plain = PlanRender(p, kFull, kFull);
        ASSERT_TRUE(plain.smoothEdges);
        EXPECT_EQ(plain.layerWorlds, c.unkeyed) << c.format << ' ' << c.repeat << ' ' << c.brightness;
        p.keys[0].enable = 1;
        const RenderPlan keyed = PlanRender(p, kFull, kFull);
        ASSERT_TRUE(keyed.keyed);
        EXPECT_EQ(keyed.layerWorlds, c.keyed) << c.format << ' ' << c.repeat << ' ' << c.brightness;
    }
}

} // namespace
