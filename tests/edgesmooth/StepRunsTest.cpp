// Run searches beside a step, thin-line searches and the shape correction, on the maps of small images.
#include <random>

#include "edgesmooth/StepRuns.h"
#include "tests/edgesmooth/EdgeTestSupport.h"

namespace {

const std::map<char, PF_Pixel8> kPalette = {
    {'A', {255, 240, 200, 40}}, {'B', {255, 16, 60, 220}}, {'C', {255, 120, 120, 0}},
    {'D', {255, 0, 255, 0}},    {'E', {255, 90, 0, 200}},  {'L', {255, 30, 30, 30}},
};

std::unique_ptr<TestMap> MapOfRows(const std::vector<std::string>& rows) {
    return MapOf<EdgeDepth8>(Draw(rows, kPalette));
}

// Treads of 6 pixels: each step has a run of 5 on either side.
const std::vector<std::string> kStaircase = {
    "AAAAAAAAAAAAAAAAAAAAAAAA", "BBBBBBAAAAAAAAAAAAAAAAAA", "BBBBBBBBBBBBAAAAAAAAAAAA",
    "BBBBBBBBBBBBBBBBBBAAAAAA", "BBBBBBBBBBBBBBBBBBBBBBBB",
};

TEST(StepRuns, StaircaseTreadsGiveRunsOfFive) {
    auto m = MapOfRows(kStaircase);
    const EdgeFlagMap& map = m->map;
    ASSERT_TRUE(map.Right(11, 2));
    EXPECT_EQ(FindRunLeft(map, 11, 2), 5);  // upper side: row 2 under the tread of row 1
    EXPECT_EQ(FindRunRight(map, 11, 2), 5); // lower side: row 2 above the tread of row 3
    // The pixels beyond the runs' far ends see no run back, so no shape correction applies.
    EXPECT_EQ(FindRunRight(map, 5, 2), 0);
    EXPECT_EQ(FindRunLeft(map, 17, 2), 0);
    // The same steps, read up and down on the transposed staircase.
    std::vector<std::string> transposed(kStaircase[0].size(), std::string(kStaircase.size(), ' '));
    for (size_t y = 0; y < kStaircase.size(); ++y)
        for (size_t x = 0; x < kStaircase[0].size(); ++x)
            transposed[x][y] = kStaircase[y][x];
    auto t = MapOfRows(transposed);
    ASSERT_TRUE(t->map.Below(2, 11));
    EXPECT_EQ(FindRunUp(t->map, 2, 11), 5);
    EXPECT_EQ(FindRunDown(t->map, 2, 11), 5);
}

TEST(StepRuns, UpperRunOfThreeMeetingTheNextStep) {
    // Row 2 has a step at x = 0 and a run of 3 beneath row 1 (x = 1..3) that meets the next step at x = 4.
    // Without a below bit at the step pixel the upper run is discarded and the lower walk, stopped at
    // once by the right bit of (1, 3), gives 0.
    auto dropped = MapOfRows({
        "AAAAAAAA",
        "CAAAAAAA",
        "ABBBBAAA",
        "AADAAAAA",
    });
    ASSERT_FALSE(dropped->map.Below(0, 2));
    EXPECT_EQ(FindRunRight(dropped->map, 0, 2), 0);
    // With a below bit at the step pixel the run of 3 stands.
    auto kept = MapOfRows({
        "AAAAAAAA",
        "CAAAAAAA",
        "ABBBBAAA",
        "EADAAAAA",
    });
    ASSERT_TRUE(kept->map.Below(0, 2));
    EXPECT_EQ(FindRunRight(kept->map, 0, 2), 3);
}

TEST(StepRuns, ThinLinesAreCompressedBeyondFive) {
    // A one-pixel-high line of 20 pixels beside its step pixel (x = 20): 5 + 15 / 2 = 12.
    std::string line(21, 'L');
    auto twenty = MapOfRows({std::string(23, 'A'), line + "AA", std::string(23, 'A')});
    ASSERT_TRUE(twenty->map.Right(20, 1));
    EXPECT_EQ(FindRunLeft(twenty->map, 20, 1), 0);
    EXPECT_EQ(FindThinRunLeft(twenty->map, 20, 1), 12);
    // Mirrored: the step pixel (1, 1) is background and the 20 line pixels follow it.
    auto mirrored =
        MapOfRows({std::string(23, 'A'), "AA" + std::string(20, 'L') + "A", std::string(23, 'A')});
    ASSERT_TRUE(mirrored->map.Right(1, 1));
    EXPECT_EQ(FindThinRunRight(mirrored->map, 1, 1), 12);
    // Nine pixels count as 7.
    auto nine = MapOfRows({std::string(12, 'A'), std::string(10, 'L') + "AA", std::string(12, 'A')});
    EXPECT_EQ(FindThinRunLeft(nine->map, 9, 1), 7);
}

TEST(StepRuns, ShapeCorrectionProtectsTinyBlocks) {
    // A run of 1 with an opposite run of 1 on an isolated 2×2 block: s / 10.
    auto block = MapOfRows({
        "AAAA",
        "ABBA",
        "ABBA",
        "AAAA",
    });
    EXPECT_EQ(FindRunLeft(block->map, 2, 1), 1);
    EXPECT_EQ(FindRunRight(block->map, 0, 1), 1);
    EXPECT_TRUE(IsIsolatedBlock(block->map, kRampLeft, 2, 1));
    EXPECT_EQ(AdjustStrengthForShape(block->map, kRampLeft, 1, 1, 70, 2, 1), 7);

    // A 1×2 bar on top of such a block: only the probe one row down finds it, s × 36 / 100.
    auto bar = MapOfRows({
        "AAAAA",
        "ACCAA",
        "ABBAA",
        "ABBAA",
        "AAAAA",
    });
    EXPECT_EQ(FindRunLeft(bar->map, 2, 1), 1);
    EXPECT_EQ(FindRunRight(bar->map, 0, 1), 1);
    EXPECT_FALSE(IsIsolatedBlock(bar->map, kRampLeft, 2, 1));
    EXPECT_TRUE(IsIsolatedBlock(bar->map, kRampLeft, 2, 2));
    EXPECT_EQ(AdjustStrengthForShape(bar->map, kRampLeft, 1, 1, 70, 2, 1), 25);

    // The bar alone: no block, s × 100 × (2 − 1) / 140.
    auto lone = MapOfRows({
        "AAAA",
        "ACCA",
        "AAAA",
        "AAAA",
    });
    EXPECT_EQ(FindRunLeft(lone->map, 2, 1), 1);
    EXPECT_EQ(FindRunRight(lone->map, 0, 1), 1);
    EXPECT_EQ(AdjustStrengthForShape(lone->map, kRampLeft, 1, 1, 70, 2, 1), 50);

    // Longer runs follow s × 100 × (2L − L2) / (140 L), down to 0 and below.
    EXPECT_EQ(AdjustStrengthForShape(lone->map, kRampLeft, 4, 2, 70, 2, 1), 75);
    EXPECT_EQ(AdjustStrengthForShape(lone->map, kRampLeft, 2, 9, 70, 2, 1), -125);
    EXPECT_EQ(AdjustStrengthForShape(lone->map, kRampLeft, 1, 1, 2000000000, 2, 1), 1428571428);
}

// Swaps the right and below bits: the map of the transposed image.
std::unique_ptr<TestMap> Transposed(const EdgeFlagMap& m) {
    auto t = std::make_unique<TestMap>(m.height, m.width);
    for (int32_t y = 0; y < m.height; ++y)
        for (int32_t x = 0; x < m.width; ++x) {
            const uint8_t b = m.At(x, y);
            t->map.Row(x)[y] = uint8_t((b & ~3) | ((b & kEdgeRight) << 1) | ((b & kEdgeBelow) >> 1));
        }
    return t;
}

TEST(StepRuns, UpAndDownAreLeftAndRightTransposed) {
    std::mt19937 rng(11);
    for (int round = 0; round < 200; ++round) {
        const int32_t w = 1 + int32_t(rng() % 9), h = 1 + int32_t(rng() % 9);
        TestMap m(w, h);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                m.map.Row(y)[x] = uint8_t(rng() % 16);
        auto t = Transposed(m.map);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                SCOPED_TRACE(testing::Message() << w << "x" << h << " at " << x << "," << y);
                EXPECT_EQ(FindRunUp(m.map, x, y), FindRunLeft(t->map, y, x));
                EXPECT_EQ(FindRunDown(m.map, x, y), FindRunRight(t->map, y, x));
                EXPECT_EQ(FindThinRunUp(m.map, x, y), FindThinRunLeft(t->map, y, x));
                EXPECT_EQ(FindThinRunDown(m.map, x, y), FindThinRunRight(t->map, y, x));
                EXPECT_EQ(IsIsolatedBlock(m.map, kRampUp, x, y), IsIsolatedBlock(t->map, kRampLeft, y, x));
                EXPECT_EQ(IsIsolatedBlock(m.map, kRampDown, x, y), IsIsolatedBlock(t->map, kRampRight, y, x));
            }
    }
}

// The quick test before a ramp: wherever it says no ramp can start, neither a run nor a thin line is found,
// on random maps (any bits, edges of the image included) in each direction.
TEST(StepRuns, RampMayStartOnlyPassesOverStepsWithoutRuns) {
    std::mt19937 rng(17);
    int passedOver = 0;
    for (int round = 0; round < 400; ++round) {
        const int32_t w = 1 + int32_t(rng() % 12), h = 1 + int32_t(rng() % 12);
        TestMap m(w, h);
        const unsigned density = 1 + rng() % 15;
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                m.map.Row(y)[x] = rng() % 16 < density ? uint8_t(rng() % 16) : uint8_t{0};
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                struct Side {
                    RampDirection direction;
                    int32_t run, thin;
                };
                const EdgeFlagMap& map = m.map;
                for (Side s : {Side{kRampLeft, FindRunLeft(map, x, y), FindThinRunLeft(map, x, y)},
                               Side{kRampRight, FindRunRight(map, x, y), FindThinRunRight(map, x, y)},
                               Side{kRampUp, FindRunUp(map, x, y), FindThinRunUp(map, x, y)},
                               Side{kRampDown, FindRunDown(map, x, y), FindThinRunDown(map, x, y)}}) {
                    if (RampMayStart(map, s.direction, x, y))
                        continue;
                    ++passedOver;
                    ASSERT_EQ(s.run, 0)
                        << "direction " << s.direction << " at " << x << "," << y << " of " << w << "x" << h;
                    ASSERT_EQ(s.thin, 0) << "direction " << s.direction << " at " << x << "," << y;
                }
            }
    }
    EXPECT_GT(passedOver, 10000);
}

} // namespace
