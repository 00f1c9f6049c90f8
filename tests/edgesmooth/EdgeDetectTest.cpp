// Edge detection: which neighbours differ, at each depth, and which bits the grouped columns keep.
#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "tests/edgesmooth/EdgeTestSupport.h"

namespace {

PF_Pixel8 P8(int a, int r, int g, int b) {
    return PF_Pixel8{A_u_char(a), A_u_char(r), A_u_char(g), A_u_char(b)};
}

template <class Depth>
uint8_t RightBitOfPair(const typename Depth::Pixel& p, const typename Depth::Pixel& q) {
    TestImage<typename Depth::Pixel> image(2, 1);
    image.At(0, 0) = p;
    image.At(1, 0) = q;
    return MapOf<Depth>(image)->map.At(0, 0);
}

TEST(EdgeDetect, ThresholdIsStrictAtEachDepth) {
    // 8-bit: |Δalpha| + |Δred| + |Δgreen| + |Δblue| = 10 is no edge, 11 is one.
    EXPECT_EQ(RightBitOfPair<EdgeDepth8>(P8(250, 100, 100, 100), P8(255, 103, 98, 100)), 0);
    EXPECT_EQ(RightBitOfPair<EdgeDepth8>(P8(250, 100, 100, 100), P8(255, 103, 98, 101)), kEdgeRight);
    // 16-bit: the threshold is 10 × 32768 / 255 = 1285.
    EXPECT_EQ(RightBitOfPair<EdgeDepth16>(PF_Pixel16{32768, 1000, 0, 0}, PF_Pixel16{32768, 2285, 0, 0}), 0);
    EXPECT_EQ(RightBitOfPair<EdgeDepth16>(PF_Pixel16{32768, 1000, 0, 0}, PF_Pixel16{32768, 2286, 0, 0}),
              kEdgeRight);
    // float: 10 / 255 in single precision, and the next value above it.
    const float t = 10.0f / 255.0f;
    EXPECT_EQ(RightBitOfPair<EdgeDepthFloat>(PF_PixelFloat{1, 0, 0, 0}, PF_PixelFloat{1, t, 0, 0}), 0);
    EXPECT_EQ(RightBitOfPair<EdgeDepthFloat>(PF_PixelFloat{1, 0, 0, 0},
                                             PF_PixelFloat{1, std::nextafter(t, 1.0f), 0, 0}),
              kEdgeRight);
}

TEST(EdgeDetect, TransparentPixelsNeverFormAnEdge) {
    EXPECT_EQ(RightBitOfPair<EdgeDepth8>(P8(255, 255, 0, 0), P8(0, 0, 0, 255)), 0);
    EXPECT_EQ(RightBitOfPair<EdgeDepth8>(P8(0, 255, 255, 255), P8(255, 0, 0, 0)), 0);
    EXPECT_EQ(RightBitOfPair<EdgeDepth16>(PF_Pixel16{0, 32768, 0, 0}, PF_Pixel16{32768, 0, 0, 0}), 0);
    EXPECT_EQ(RightBitOfPair<EdgeDepthFloat>(PF_PixelFloat{1, 1, 0, 0}, PF_PixelFloat{0, 0, 1, 1}), 0);
    // Only alpha differs, from full to a sliver: still an edge (alpha counts in the sum).
    EXPECT_EQ(RightBitOfPair<EdgeDepth8>(P8(255, 9, 9, 9), P8(1, 9, 9, 9)), kEdgeRight);
}

TEST(EdgeDetect, FloatIdentityIsBitwise) {
    // −0 and +0 red are not identical pixels, but their difference (0) is no edge either.
    EXPECT_EQ(RightBitOfPair<EdgeDepthFloat>(PF_PixelFloat{1, -0.0f, 0, 0}, PF_PixelFloat{1, 0.0f, 0, 0}), 0);
}

// A diagonal gradient: neighbours across and down differ by 10 (no edge), diagonal ones by 20 (an edge);
// the anti-diagonal pairs are equal. So only diagonal bits exist, and the grouped columns drop the
// ones of a group that has no right or below bit nearby.
TEST(EdgeDetect, GroupedColumnsKeepDiagonalsOnlyNearOtherEdges) {
    TestImage<PF_Pixel8> image(10, 2);
    for (int32_t y = 0; y < 2; ++y)
        for (int32_t x = 0; x < 10; ++x)
            image.At(x, y) = P8(255, 10 * (x + y), 0, 0);
    // Groups cover columns 0–3 and 4–7 (below (10 − 1) rounded down to 4); 8 stands alone, 9 is last.
    EXPECT_EQ(MapRows(MapOf<EdgeDepth8>(image)->map), (std::vector<std::string>{"0004000440", "0000000000"}));

    // A right-and-below edge at the first pixel opens its whole group to diagonal tests.
    image.At(0, 0).green = 50;
    EXPECT_EQ(MapRows(MapOf<EdgeDepth8>(image)->map)[0], "7444000440");

    // A right bit at pixel 1 of the second group: pixel 0 of that group is looked at because of it.
    image.At(0, 0).green = 0;
    image.At(6, 0).green = 50;
    EXPECT_EQ(MapRows(MapOf<EdgeDepth8>(image)->map)[0], "00044d7440");
}

TEST(EdgeDetect, SingleRowAndColumnGetOnlyTheirOneBit) {
    TestImage<PF_Pixel8> row(5, 1);
    TestImage<PF_Pixel8> column(1, 5);
    for (int32_t i = 0; i < 5; ++i)
        row.At(i, 0) = column.At(0, i) = P8(255, 60 * i, 0, 0);
    EXPECT_EQ(MapRows(MapOf<EdgeDepth8>(row)->map), (std::vector<std::string>{"11110"}));
    EXPECT_EQ(MapRows(MapOf<EdgeDepth8>(column)->map), (std::vector<std::string>{"2", "2", "2", "2", "0"}));
    TestImage<PF_Pixel8> single(1, 1, P8(255, 1, 2, 3));
    EXPECT_EQ(MapRows(MapOf<EdgeDepth8>(single)->map), (std::vector<std::string>{"0"}));
}

TEST(EdgeDetect, LastColumnAndRowCarryNoOutwardBits) {
    std::mt19937 rng(7);
    for (int round = 0; round < 50; ++round) {
        const int32_t w = 1 + int32_t(rng() % 13), h = 1 + int32_t(rng() % 9);
        TestImage<PF_Pixel8> image(w, h);
        for (auto& p : image.pixels)
            p = P8(rng() % 4 == 0 ? 0 : 255, 80 * (rng() % 3), 80 * (rng() % 3), 0);
        auto m = MapOf<EdgeDepth8>(image);
        for (int32_t y = 0; y < h; ++y)
            EXPECT_EQ(m->map.At(w - 1, y) & (kEdgeRight | kEdgeDiag | kEdgeAnti), 0) << w << "x" << h;
        for (int32_t x = 0; x < w; ++x)
            EXPECT_EQ(m->map.At(x, h - 1) & (kEdgeBelow | kEdgeDiag | kEdgeAnti), 0) << w << "x" << h;
        // The border stays zero.
        for (size_t i = 0; i < size_t(m->map.stride); ++i) {
            EXPECT_EQ(m->block[i], 0);
            EXPECT_EQ(m->block[m->block.size() - 1 - i], 0);
        }
    }
}

// The map as the rules state it: all four tests for every pixel, then, in the grouped columns, the
// diagonal bits of pixel k < 3 of a group kept only when bits of the group's earlier pixels, or the right
// or below bits of pixels k and k + 1, are set. Detection must match it exactly, flat patches included.
template <class Depth>
std::vector<std::string> ReferenceMapRows(const TestImage<typename Depth::Pixel>& image) {
    const int32_t w = image.width, h = image.height;
    const auto t = Depth::ScaleLevel(10);
    auto differ = [&](int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
        return x2 < w && y2 < h && PixelsDiffer(image.At(x1, y1), image.At(x2, y2), t);
    };
    std::vector<std::vector<int>> m(size_t(h), std::vector<int>(size_t(w), 0));
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            m[y][x] = (differ(x, y, x + 1, y) ? 1 : 0) | (differ(x, y, x, y + 1) ? 2 : 0);
            if (x + 1 < w && y + 1 < h)
                m[y][x] |= (differ(x, y, x + 1, y + 1) ? 4 : 0) | (differ(x + 1, y, x, y + 1) ? 8 : 0);
        }
    for (int32_t y = 0; y + 1 < h; ++y)
        for (int32_t g = 0; g + 4 <= (w - 1) / 4 * 4; g += 4) {
            int before = 0;
            for (int k = 0; k < 3; ++k) {
                if (!(before || (m[y][g + k] & 3) || (m[y][g + k + 1] & 3)))
                    m[y][g + k] &= 3;
                before |= m[y][g + k];
            }
        }
    std::vector<std::string> rows;
    for (auto& r : m) {
        rows.emplace_back();
        for (int b : r)
            rows.back() += "0123456789abcdef"[b];
    }
    return rows;
}

template <class Depth>
void CompareWithReference(unsigned seed) {
    std::mt19937 rng(seed);
    for (int round = 0; round < 60; ++round) {
        const int32_t w = 1 + int32_t(rng() % 70),
                      h = 1 + int32_t(rng() % 7); // flat spans and tests between them
        TestImage<typename Depth::Pixel> image(w, h);
        // Mostly flat rows with a few changes, some only slightly different, some transparent.
        const int unit =
            std::is_same_v<typename Depth::Pixel, PF_Pixel16> ? 600 : 6; // 1 or 2 over the threshold
        typename Depth::Pixel p{};
        for (auto& q : image.pixels) {
            if (rng() % 4 == 0) {
                const int v = int(rng() % 4);
                if constexpr (std::is_same_v<typename Depth::Pixel, PF_PixelFloat>)
                    p = {rng() % 6 ? 1.0f : 0.0f, 0.02f * float(v), 0.5f, 0.25f};
                else
                    p = {decltype(p.alpha)(rng() % 6 ? 200 : 0), decltype(p.alpha)(v * unit), 9, 9};
            }
            q = p;
        }
        EXPECT_EQ(MapRows(MapOf<Depth>(image)->map), ReferenceMapRows<Depth>(image)) << w << "x" << h;
    }
}

TEST(EdgeDetect, MatchesTheRulesPixelByPixel) {
    CompareWithReference<EdgeDepth8>(21);
    CompareWithReference<EdgeDepth16>(22);
    CompareWithReference<EdgeDepthFloat>(23);
}

// Extreme and near-threshold channels: copies of the pixel before, one channel nudged by about the
// threshold, full-range values, transparent pixels, and for float signed zeros, infinities and NaN.
template <class Pixel>
Pixel RandomPixel(std::mt19937& rng, const Pixel& before, float nudge) {
    using Channel = decltype(Pixel{}.alpha);
    Pixel p = before;
    Channel* channels[] = {&p.alpha, &p.red, &p.green, &p.blue};
    const int kind = int(rng() % 8);
    if (kind < 2)
        return p;
    Channel& c = *channels[rng() % 4];
    if constexpr (std::is_same_v<Channel, float>) {
        const float special[] = {0.0f, -0.0f, 1.0f, INFINITY, -INFINITY, NAN, 0.5f};
        if (kind < 5)
            c = c + std::uniform_real_distribution<float>(-2 * nudge, 2 * nudge)(rng);
        else if (kind < 7)
            c = special[rng() % 7];
        else
            c = std::uniform_real_distribution<float>(-2.0f, 2.0f)(rng);
    } else {
        const int top = std::numeric_limits<Channel>::max();
        if (kind < 5)
            c = Channel(std::clamp(
                int(c) + int(std::lround(std::uniform_real_distribution<float>(-2 * nudge, 2 * nudge)(rng))),
                0, top));
        else if (kind < 7)
            c = Channel(rng() % 2 ? top : 0);
        else
            c = Channel(rng() % (top + 1));
    }
    return p;
}

// The vector tests of every instruction set the processor has give the plain tests' map, byte for byte:
// across row lengths around the eight-pixel steps, at thresholds below 0, at 0 and far above every sum.
template <class Depth>
void CompareInstructionSets(unsigned seed) {
    using Pixel = typename Depth::Pixel;
    std::mt19937 rng(seed);
    std::vector<typename Depth::Level> thresholds;
    for (int32_t t : {-3, 0, 1, 10, 255, 1 << 24})
        thresholds.push_back(Depth::ScaleLevel(t));
    if constexpr (std::is_same_v<Pixel, PF_PixelFloat>)
        thresholds.push_back(NAN);
    for (int round = 0; round < 120; ++round) {
        const int32_t w = 1 + int32_t(rng() % 90), h = 1 + int32_t(rng() % 4);
        const auto threshold = thresholds[size_t(round) % thresholds.size()];
        const float nudge = std::max(1.0f, float(threshold)) / 2;
        TestImage<Pixel> image(w, h);
        Pixel p{};
        if constexpr (std::is_same_v<Pixel, PF_PixelFloat>)
            p = Pixel{1, 0.5f, 0.5f, 0.5f};
        else
            p = Pixel{200, 90, 90, 90};
        for (auto& q : image.pixels)
            q = p = RandomPixel(rng, p, std::is_same_v<Pixel, PF_PixelFloat> ? nudge : std::ceil(nudge));
        const auto view = image.template ViewAs<const Pixel>();
        TestMap plain(w, h);
        DetectEdges<Depth>(plain.map, view, threshold, EdgeIsa::Plain);
        for (EdgeIsa isa : {EdgeIsa::Sse41, EdgeIsa::Avx2}) {
            if (isa > BestEdgeIsa())
                continue;
            TestMap fast(w, h);
            DetectEdges<Depth>(fast.map, view, threshold, isa);
            EXPECT_EQ(fast.block, plain.block)
                << w << "x" << h << " threshold " << threshold << " isa " << int(isa);
        }
    }
}

TEST(EdgeDetect, EveryInstructionSetGivesThePlainMap) {
    EXPECT_NE(BestEdgeIsa(), EdgeIsa::Plain) << "this machine should test a vector path";
    CompareInstructionSets<EdgeDepth8>(31);
    CompareInstructionSets<EdgeDepth16>(32);
    CompareInstructionSets<EdgeDepthFloat>(33);
}

} // namespace
