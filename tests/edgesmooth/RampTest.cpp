// Ramps of falling weights: the area under a line from the start value to 0, one pixel at a time.
#include <vector>

#include "edgesmooth/EdgeBlend.h"
#include "tests/edgesmooth/EdgeTestSupport.h"

namespace {

std::vector<int32_t> Weights(int32_t start, int32_t step) {
    RampState<int32_t> r = StartRamp(start, step);
    std::vector<int32_t> out;
    while (!r.done && out.size() < 100)
        out.push_back(NextRampWeight(r));
    return out;
}

TEST(Ramp, RunOfFiveAtStrength70) {
    EXPECT_EQ(RampDecrement(5, 70), 7801); // 3276700 / (70 × 6)
    // the last one is 1563 × 1563 / 15602
    EXPECT_EQ(Weights(32767, 7801), (std::vector<int32_t>{28867, 21066, 13265, 5464, 156}));
}

TEST(Ramp, RunOfOneAtStrength70) {
    EXPECT_EQ(RampDecrement(1, 70), 23405);
    EXPECT_EQ(Weights(32767, 23405), (std::vector<int32_t>{21065, 1872}));
}

TEST(Ramp, ValueReachingExactlyZeroEndsTheRamp) {
    // 100 − 50 = 50 > 0: weight 75; 50 − 50 = 0: the final weight 50 × 50 / 100 = 25.
    EXPECT_EQ(Weights(100, 50), (std::vector<int32_t>{75, 25}));
}

TEST(Ramp, DecrementIsAtLeastOne) {
    EXPECT_EQ(RampDecrement(1, 0), 1638350); // strength taken as 1
    EXPECT_EQ(RampDecrement(1, -5), 1638350);
    EXPECT_EQ(RampDecrement(30000, 2000000000), 1); // 3276700 / 6e13 is 0
}

TEST(Ramp, ThinLineStartsAtFullWeight) {
    // A line of 12 (compressed) at strength 70: 2 × (3276700 / 910) = 7200.
    EXPECT_EQ(2 * RampDecrement(12, 70), 7200);
    EXPECT_EQ(Weights(65535, 7200),
              // 65535 − 9 × 7200 = 735 is left for the last pixel: 735 × 735 / 14400 = 37
              (std::vector<int32_t>{61935, 54735, 47535, 40335, 33135, 25935, 18735, 11535, 4335, 37}));
}

TEST(Ramp, FloatRampInSinglePrecision) {
    const float d = RampDecrementFloat(5, 70);
    EXPECT_EQ(d, float(50.0 / 420.0));
    RampState<float> r = StartRamp(0.5f, d);
    std::vector<float> w;
    while (!r.done && w.size() < 100)
        w.push_back(NextRampWeight(r));
    ASSERT_EQ(w.size(), 5u);
    // 0.5 − d × 0.5 first; the last is v × v / (2d) with v = 0.5 − 4d, each step rounded to single.
    EXPECT_EQ(w[0], 0x1.c30c30p-2f);
    EXPECT_EQ(w[4], 0x1.3813a6p-9f);
}

} // namespace
