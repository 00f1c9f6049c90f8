// Which pixel each notch and corner restoration pulls back, and which pixels a jog softens, on the maps
// of small two-colour images. Each case was checked by hand against the rule's conditions on the map.
#include "edgesmooth/CornerRules.h"
#include "tests/edgesmooth/EdgeTestSupport.h"

namespace {

const std::map<char, PF_Pixel8> kPalette = {
    {'A', {255, 240, 200, 40}}, {'B', {255, 16, 60, 220}}, {'P', {255, 200, 30, 30}},
    {'Q', {255, 30, 200, 30}},  {'R', {255, 30, 30, 200}},
};

using Rule = std::optional<EdgePoint> (*)(const EdgeFlagMap&, int32_t, int32_t) noexcept;

struct Case {
    const char* name;
    std::vector<std::string> rows;
    Rule rule;
    EdgePoint at;
    EdgePoint target;
};

TEST(CornerRules, EachRestorationStep) {
    const Case cases[] = {
        // FixNotchRight step 2: no right bit to the left; the pixel to the left is restored.
        {"notch right, step 2", {"BBAA", "ABBB", "BAAB", "BBBA"}, NotchRightTarget, {2, 2}, {1, 2}},
        // step 3: the pixel up and to the right.
        {"notch right, step 3", {"AAAB", "BABB", "AABA", "ABAB"}, NotchRightTarget, {1, 3}, {2, 2}},
        // step 4, after step 3's condition failed: the pixel up and to the left.
        {"notch right, step 4", {"BABB", "ABAA", "ABAA", "BABA"}, NotchRightTarget, {2, 3}, {1, 2}},
        // FixNotchBelow step 1: the hook holds and no right bit to the left; the pixel itself.
        {"notch below, step 1", {"AAAB", "BBBA", "BAAB", "AABB"}, NotchBelowTarget, {2, 2}, {2, 2}},
        // step 3: the pixel up and to the left.
        {"notch below, step 3", {"ABBA", "BAAB", "ABBA", "AAAB"}, NotchBelowTarget, {3, 2}, {2, 1}},
        // step 4: the pixel above.
        {"notch below, step 4", {"BABB", "BBAB", "BBAB", "BBBA"}, NotchBelowTarget, {2, 2}, {2, 1}},
        // FixNotchCorner step 1: up and to the right; step 2: above.
        {"notch corner, step 1", {"BABB", "ABBA", "BAAA", "AABB"}, NotchCornerTarget, {0, 2}, {1, 1}},
        {"notch corner, step 2", {"BBAB", "BABA", "BABB", "ABAA"}, NotchCornerTarget, {1, 2}, {1, 1}},
        // RestoreCorner, third pattern: the inner corner of a 2×2 block whose diagonal neighbour is alike.
        {"corner", {"AAB", "AAB", "BBA"}, CornerRestoreTarget, {1, 1}, {1, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto m = MapOf<EdgeDepth8>(Draw(c.rows, kPalette));
        const std::optional<EdgePoint> target = c.rule(m->map, c.at.x, c.at.y);
        ASSERT_TRUE(target.has_value());
        EXPECT_EQ(*target, c.target);
    }
}

TEST(CornerRules, NotchNeedsTheEdgeAboveTheStep) {
    // A plain vertical edge: no below bit above any step pixel, nothing to restore.
    auto m = MapOf<EdgeDepth8>(Draw({"AABB", "AABB", "AABB"}, kPalette));
    for (int32_t y = 0; y < 3; ++y) {
        EXPECT_FALSE(NotchRightTarget(m->map, 1, y).has_value());
        EXPECT_FALSE(CornerRestoreTarget(m->map, 1, y).has_value());
    }
}

TEST(CornerRules, JogUnderATJunctionIsSoftened) {
    // A two-pixel bar of R under the meeting of P and Q: each bar pixel is softened towards the colour
    // above it.
    auto m = MapOf<EdgeDepth8>(Draw({"PPQQ", "PPQQ", "PRRQ", "PPQQ"}, kPalette));
    const JogMoves jogs = SoftenJogMoves(m->map, 1, 1);
    ASSERT_EQ(jogs.count, 2);
    EXPECT_EQ(jogs.moves[0].target, (EdgePoint{1, 2}));
    EXPECT_EQ(jogs.moves[0].colour, (EdgePoint{1, 1}));
    EXPECT_EQ(jogs.moves[1].target, (EdgePoint{2, 2}));
    EXPECT_EQ(jogs.moves[1].colour, (EdgePoint{2, 1}));
    // When the bar reaches further left, the pixel under P differs diagonally from (0, 2): only the
    // right half is softened.
    auto wide = MapOf<EdgeDepth8>(Draw({"PPQQ", "PPQQ", "RRRQ", "PPQQ"}, kPalette));
    const JogMoves one = SoftenJogMoves(wide->map, 1, 1);
    ASSERT_EQ(one.count, 1);
    EXPECT_EQ(one.moves[0].target, (EdgePoint{2, 2}));
}

TEST(CornerRules, LonePixelSides) {
    // Edges on all four sides with differing diagonals: lone.
    auto centre = MapOf<EdgeDepth8>(Draw({"AAA", "ABA", "AAA"}, kPalette));
    EXPECT_TRUE(IsLonePixel(centre->map, 1, 1));
    // Three sides (top open, in row 0) with both lower diagonals differing: lone.
    auto atTop = MapOf<EdgeDepth8>(Draw({"ABA", "AAA", "AAA"}, kPalette));
    EXPECT_TRUE(IsLonePixel(atTop->map, 1, 0));
    // The end of a two-pixel bar: three sides, but all four diagonals differ as well: not lone.
    auto bar = MapOf<EdgeDepth8>(Draw({"AAAA", "ABBA", "AAAA"}, kPalette));
    EXPECT_FALSE(IsLonePixel(bar->map, 2, 1));
    // A corner pixel has at most two sides.
    auto corner = MapOf<EdgeDepth8>(Draw({"BA", "AA"}, kPalette));
    EXPECT_FALSE(IsLonePixel(corner->map, 0, 0));
}

} // namespace
