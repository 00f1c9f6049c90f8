// Brightness table entries: the double arithmetic and rounding per depth, and a lift that is the same
// number on every platform.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "render/Brightness.h"

namespace {

TEST(BrightnessCurve, GainAndLiftAtHalfStrength) {
    const BrightnessCurve c = MakeBrightnessCurve(0.5, 8.0, 4.0);
    EXPECT_EQ(c.gain, 4.5);
    EXPECT_EQ(c.lift, 0.0625);
}

TEST(BrightnessTable, HalfStrengthEntries) {
    const BrightnessCurve c = MakeBrightnessCurve(0.5, 8.0, 4.0);
    EXPECT_EQ(BrightnessEntry8(100, c), 255); // v = 465.9375 is clipped
    EXPECT_EQ(BrightnessEntry8(10, c), 61);   // trunc(45 + 15.9375 + 0.5)
    EXPECT_EQ(BrightnessEntry8(0, c), 16);    // trunc(15.9375 + 0.5)
    EXPECT_EQ(BrightnessEntry16(0, c), 2048); // trunc(0.0625 × 32768 + 0.5)
    EXPECT_EQ(BrightnessEntry16(1000, c), 6548);
    EXPECT_EQ(BrightnessEntry16(32768, c), 32768);
    EXPECT_EQ(BrightnessEntryFloat(0, c), 0.0625f);
    EXPECT_EQ(BrightnessEntryFloat(4096, c), static_cast<float>(0.125 * 4.5 + 0.0625));
    EXPECT_EQ(BrightnessEntryFloat(32768, c), 1.0f);
}

TEST(BrightnessTable, FullStrengthMakesEveryEntryFullScale) {
    const BrightnessCurve c = MakeBrightnessCurve(1.0, 8.0, 4.0);
    for (int32_t i = 0; i < 256; ++i)
        ASSERT_EQ(BrightnessEntry8(i, c), 255) << i;
    for (int32_t i = 0; i <= 32768; ++i) {
        ASSERT_EQ(BrightnessEntry16(i, c), 32768) << i;
        ASSERT_EQ(BrightnessEntryFloat(i, c), 1.0f) << i;
    }
}

TEST(BrightnessTable, EntriesRoundHalfUpAndNeverFallBelowTheirIndex) {
    // Gain 1 and no lift reproduce the index: rounding must not shift any entry.
    const BrightnessCurve identity{1.0, 0.0};
    for (int32_t i = 0; i < 256; ++i)
        ASSERT_EQ(BrightnessEntry8(i, identity), i);
    for (int32_t i = 0; i <= 32768; ++i)
        ASSERT_EQ(BrightnessEntry16(i, identity), i);
    // 1.5 × 1 + 0 = 1.5 rounds up to 2.
    EXPECT_EQ(BrightnessEntry8(1, BrightnessCurve{1.5, 0.0}), 2);
    const BrightnessCurve c = MakeBrightnessCurve(0.3, 8.0, 4.0);
    for (int32_t i = 0; i < 256; ++i)
        ASSERT_GE(BrightnessEntry8(i, c), i) << i;
}

TEST(BrightnessTable, NegativeOrUndefinedValuesGiveZeroInsteadOfWrapping) {
    const BrightnessCurve negative = MakeBrightnessCurve(-1.0, 8.0, 4.0); // gain −6, lift 1
    EXPECT_EQ(BrightnessEntry8(100, negative), 0);
    EXPECT_EQ(BrightnessEntry16(30000, negative), 0);
    const BrightnessCurve undefined{std::numeric_limits<double>::quiet_NaN(), 0.0};
    EXPECT_EQ(BrightnessEntry8(5, undefined), 0);
    EXPECT_EQ(BrightnessEntry16(5, undefined), 0);
}

TEST(BrightnessPower, IsTheCorrectlyRoundedPowerForWholeExponents) {
    EXPECT_EQ(BrightnessPower(0.5, 4.0), 0.0625);
    EXPECT_EQ(BrightnessPower(0.0, 4.0), 0.0);
    EXPECT_EQ(BrightnessPower(0.37, 0.0), 1.0);
    EXPECT_EQ(BrightnessPower(0.37, 1.0), 0.37);
    // Cases where C libraries' pow is off by one unit in the last place.
    EXPECT_EQ(BrightnessPower(0.0313, 4.0), 0x1.01a47027c9f94p-20);
    EXPECT_EQ(BrightnessPower(0.0967, 4.0), 0x1.6ebf10d49ec96p-14);
    EXPECT_EQ(BrightnessPower(0.1031, 4.0), 0x1.d9e898484445ep-14);
    // Few significant bits: the power is exact.
    for (int k = 0; k <= 8192; ++k) {
        const double b = k / 8192.0;
        ASSERT_EQ(BrightnessPower(b, 4.0), b * b * b * b) << k;
    }
}

} // namespace
