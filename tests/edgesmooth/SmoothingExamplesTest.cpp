// The smoothing pass on small images whose whole result follows by hand from the rules: which pixels
// are blended, towards which colour, with which weight, in which order. Weights are those of the
// integer engines (65536 = 1.0); the float engine runs the same steps with its own ramp values.
#include <vector>

#include "edgesmooth/EdgeBlend.h"
#include "tests/edgesmooth/EdgeTestSupport.h"

namespace {

template <class Depth>
struct Palette;

template <>
struct Palette<EdgeDepth8> {
    static std::map<char, PF_Pixel8> Get() {
        return {{'A', {255, 240, 200, 40}}, {'B', {255, 16, 60, 220}}, {'a', {255, 130, 0, 0}},
                {'c', {255, 120, 0, 0}},    {'l', {255, 100, 0, 0}},   {'m', {255, 110, 0, 0}}};
    }
};
template <>
struct Palette<EdgeDepth16> {
    static std::map<char, PF_Pixel16> Get() {
        return {{'A', {32768, 30840, 25700, 5140}}, {'B', {32768, 2056, 7710, 28270}},
                {'a', {32768, 16640, 0, 0}},        {'c', {32768, 15360, 0, 0}},
                {'l', {32768, 12800, 0, 0}},        {'m', {32768, 14080, 0, 0}}};
    }
};
template <>
struct Palette<EdgeDepthFloat> {
    static std::map<char, PF_PixelFloat> Get() {
        return {{'A', {1, 0.9375f, 0.78125f, 0.15625f}},
                {'B', {1, 0.0625f, 0.234375f, 0.859375f}},
                {'a', {1, 0.5f, 0, 0}},
                {'c', {1, 0.46875f, 0, 0}},
                {'l', {1, 0.40625f, 0, 0}},
                {'m', {1, 0.4375f, 0, 0}}};
    }
};

// Ramp weights at strength 70 and the light blend weight, per depth.
template <class Depth>
std::vector<typename Depth::Weight> Ramp(typename Depth::Weight start, int32_t length, int factor = 1) {
    using W = typename Depth::Weight;
    W d;
    if constexpr (std::is_same_v<W, float>)
        d = RampDecrementFloat(length, 70);
    else
        d = RampDecrement(length, 70);
    RampState<W> r = StartRamp<W>(start, W(factor * d));
    std::vector<W> w;
    while (!r.done)
        w.push_back(NextRampWeight(r));
    return w;
}
template <class Depth>
std::vector<typename Depth::Weight> LongRamp(int32_t run) {
    return Ramp<Depth>(Depth::Weights::kLongRampStart, run);
}

template <class Depth>
class SmoothingExamples : public testing::Test {
protected:
    using Pixel = typename Depth::Pixel;
    using W = typename Depth::Weight;
    TestImage<Pixel> Image(const std::vector<std::string>& rows) { return Draw(rows, Palette<Depth>::Get()); }
    Pixel C(char c) { return Palette<Depth>::Get().at(c); }
    static Pixel Bl(Pixel t, Pixel c, W w) {
        BlendTowards(t, c, w);
        return t;
    }
    static W Light() { return ScaleJob<Depth>(EdgeSmoothJob{}).lightWeight; }
    void ExpectSame(const TestImage<Pixel>& expected, const TestImage<Pixel>& actual) {
        EXPECT_EQ(Differences(expected, actual), std::vector<std::string>{});
    }
};

using Depths = testing::Types<EdgeDepth8, EdgeDepth16, EdgeDepthFloat>;
TYPED_TEST_SUITE(SmoothingExamples, Depths);

TEST(SmoothingRampWeights, IntegerValues) {
    // The weights the examples below use, as the rules give them at strength 70.
    EXPECT_EQ(LongRamp<EdgeDepth8>(1), (std::vector<int32_t>{21065, 1872}));
    EXPECT_EQ(LongRamp<EdgeDepth8>(2), (std::vector<int32_t>{24966, 9363, 78}));
    EXPECT_EQ(LongRamp<EdgeDepth8>(5), (std::vector<int32_t>{28867, 21066, 13265, 5464, 156}));
    EXPECT_EQ(LongRamp<EdgeDepth8>(6), (std::vector<int32_t>{29424, 22737, 16050, 9363, 2708}));
    EXPECT_EQ(Ramp<EdgeDepth8>(21844, 3), (std::vector<int32_t>{15993, 4394}));           // tracer, first
    EXPECT_EQ(Ramp<EdgeDepth8>(32767, 3), (std::vector<int32_t>{26916, 15214, 3745}));    // tracer, second
    EXPECT_EQ(Ramp<EdgeDepth8>(65535, 3, 2), (std::vector<int32_t>{53833, 30429, 7492})); // thin line of 3
}

// In an image one pixel high, a single colour change: no run on either side, and the two step pixels
// each take the light blend towards the other's colour.
TEST(SmoothingExamples8, OnePixelHighStep) {
    const std::map<char, PF_Pixel8> p = {{'A', {255, 200, 100, 0}}, {'B', {255, 0, 50, 250}}};
    const auto out = SmoothInMemory<EdgeDepth8>(Draw({"AAAABBBB"}, p));
    auto expected = Draw({"AAAABBBB"}, p);
    // (6553 × B + 58982 × A + 32768) >> 16 and the reverse
    expected.At(3, 0) = PF_Pixel8{255, 180, 95, 25};
    expected.At(4, 0) = PF_Pixel8{255, 20, 55, 225};
    EXPECT_EQ(Differences(expected, out), std::vector<std::string>{});
}

TEST(SmoothingExamples16, OnePixelHighStep) {
    const std::map<char, PF_Pixel16> p = {{'A', {32768, 25700, 12850, 0}}, {'B', {32768, 0, 6425, 32125}}};
    const auto out = SmoothInMemory<EdgeDepth16>(Draw({"AAAABBBB"}, p));
    auto expected = Draw({"AAAABBBB"}, p);
    expected.At(3, 0) = PF_Pixel16{32768, 23130, 12207, 3212};
    expected.At(4, 0) = PF_Pixel16{32768, 2570, 7067, 28912};
    EXPECT_EQ(Differences(expected, out), std::vector<std::string>{});
}

TEST(SmoothingExamplesFloat, OnePixelHighStep) {
    const std::map<char, PF_PixelFloat> p = {{'A', {1, 0.5f, 0.25f, 0}}, {'B', {1, 0, 0.75f, 1}}};
    const auto out = SmoothInMemory<EdgeDepthFloat>(Draw({"AAAABBBB"}, p));
    auto expected = Draw({"AAAABBBB"}, p);
    // 0.1 × B + (1 − 0.1) × A in single precision
    expected.At(3, 0) = PF_PixelFloat{1, 0x1.ccccccp-2f, 0x1.333334p-2f, 0x1.99999ap-4f};
    expected.At(4, 0) = PF_PixelFloat{1, 0x1.99999ap-5f, 0x1.666664p-1f, 0x1.ccccccp-1f};
    EXPECT_EQ(Differences(expected, out), std::vector<std::string>{});
}

// Below bits bring no light blend: a one-pixel-wide column keeps its step.
TYPED_TEST(SmoothingExamples, OnePixelWideStepIsKept) {
    const auto source = this->Image({"A", "A", "A", "A", "B", "B", "B", "B"});
    this->ExpectSame(source, SmoothInMemory<TypeParam>(source));
}

// A single pixel of another colour in a flat area: nothing but the lone-pixel average applies, with
// weight 65535 for itself and 11468 for each of its four neighbours.
TEST(SmoothingExamples8, LonePixelInFlatArea) {
    const std::map<char, PF_Pixel8> p = {{'F', {255, 0, 0, 255}}, {'P', {255, 255, 0, 0}}};
    const std::vector<std::string> rows = {"FFFFF", "FFFFF", "FFPFF", "FFFFF", "FFFFF"};
    auto expected = Draw(rows, p);
    // weights 111407, alpha sum 255 × 111407, q = 433; red 255 × 254 → 150, blue 4 × 255 × 44 → 104
    expected.At(2, 2) = PF_Pixel8{255, 150, 0, 104};
    EXPECT_EQ(Differences(expected, SmoothInMemory<EdgeDepth8>(Draw(rows, p))), std::vector<std::string>{});
}

TEST(SmoothingExamples16, LonePixelInFlatArea) {
    const std::map<char, PF_Pixel16> p = {{'F', {32768, 0, 0, 32768}}, {'P', {32768, 32768, 0, 0}}};
    const std::vector<std::string> rows = {"FFFFF", "FFFFF", "FFPFF", "FFFFF", "FFFFF"};
    auto expected = Draw(rows, p);
    // single-precision sums with weights 11468 / 65535 and 1; colour quotients rounded half up
    expected.At(2, 2) = PF_Pixel16{32768, 19276, 0, 13492};
    EXPECT_EQ(Differences(expected, SmoothInMemory<EdgeDepth16>(Draw(rows, p))), std::vector<std::string>{});
}

TEST(SmoothingExamplesFloat, LonePixelInFlatArea) {
    const std::map<char, PF_PixelFloat> p = {{'F', {1, 0, 0, 1}}, {'P', {1, 1, 0, 0}}};
    const std::vector<std::string> rows = {"FFFFF", "FFFFF", "FFPFF", "FFFFF", "FFFFF"};
    auto expected = Draw(rows, p);
    // neighbour weight 70 × 0.5 / 200 = 0.175: red 1 / 1.7, blue 0.7 / 1.7 in single precision
    expected.At(2, 2) = PF_PixelFloat{1, 0x1.2d2d2cp-1f, 0, 0x1.a5a5a4p-2f};
    EXPECT_EQ(Differences(expected, SmoothInMemory<EdgeDepthFloat>(Draw(rows, p))),
              std::vector<std::string>{});
}

// On the left border (not in a corner) three sides are edges and the open side's diagonals differ: the
// pixel is averaged with its three neighbours inside the image.
TEST(SmoothingExamples8, LonePixelOnLeftBorder) {
    const std::map<char, PF_Pixel8> p = {{'F', {255, 0, 0, 255}}, {'P', {255, 255, 0, 0}}};
    const std::vector<std::string> rows = {"FFFF", "FFFF", "PFFF", "FFFF", "FFFF"};
    auto expected = Draw(rows, p);
    // weights 99939, q = 388: red 64770 → 167, blue 3 × 255 × 44 → 87
    expected.At(0, 2) = PF_Pixel8{255, 167, 0, 87};
    EXPECT_EQ(Differences(expected, SmoothInMemory<EdgeDepth8>(Draw(rows, p))), std::vector<std::string>{});
}

TEST(SmoothingExamples16, LonePixelOnLeftBorder) {
    const std::map<char, PF_Pixel16> p = {{'F', {32768, 0, 0, 32768}}, {'P', {32768, 32768, 0, 0}}};
    const std::vector<std::string> rows = {"FFFF", "FFFF", "PFFF", "FFFF", "FFFF"};
    auto expected = Draw(rows, p);
    expected.At(0, 2) = PF_Pixel16{32768, 21488, 0, 11280};
    EXPECT_EQ(Differences(expected, SmoothInMemory<EdgeDepth16>(Draw(rows, p))), std::vector<std::string>{});
}

TEST(SmoothingExamplesFloat, LonePixelOnLeftBorder) {
    const std::map<char, PF_PixelFloat> p = {{'F', {1, 0, 0, 1}}, {'P', {1, 1, 0, 0}}};
    const std::vector<std::string> rows = {"FFFF", "FFFF", "PFFF", "FFFF", "FFFF"};
    auto expected = Draw(rows, p);
    expected.At(0, 2) = PF_PixelFloat{1, 0x1.4fbcdap-1f, 0, 0x1.60864ap-2f};
    EXPECT_EQ(Differences(expected, SmoothInMemory<EdgeDepthFloat>(Draw(rows, p))),
              std::vector<std::string>{});
}

// In a corner at most two sides are edges: no average; the step to the right gets the light blends
// (the pixel's below bit brings none).
TEST(SmoothingExamples8, LonePixelInCornerIsNotAveraged) {
    const std::map<char, PF_Pixel8> p = {{'F', {255, 0, 0, 255}}, {'P', {255, 255, 0, 0}}};
    const std::vector<std::string> rows = {"PFFF", "FFFF", "FFFF", "FFFF"};
    auto expected = Draw(rows, p);
    expected.At(0, 0) = PF_Pixel8{255, 229, 0, 25};
    expected.At(1, 0) = PF_Pixel8{255, 25, 0, 229};
    EXPECT_EQ(Differences(expected, SmoothInMemory<EdgeDepth8>(Draw(rows, p))), std::vector<std::string>{});
}

// A staircase whose first tread is 2 pixels and the others 6. Each step ramps along its runs: a run of
// 1 at the left border (no shape correction there), runs of 5 on both sides of the middle steps, and a
// run of 6 to the image's right edge. No other rule applies: treads carry below bits only, and their
// searches all come back empty.
TYPED_TEST(SmoothingExamples, StaircaseRampsAlongEachRun) {
    const std::vector<std::string> rows = {
        "AAAAAAAAAAAAAAAAAAAA", "BBAAAAAAAAAAAAAAAAAA", "BBBBBBBBAAAAAAAAAAAA",
        "BBBBBBBBBBBBBBAAAAAA", "BBBBBBBBBBBBBBBBBBBB",
    };
    const auto source = this->Image(rows);
    auto expected = source;
    const auto A = this->C('A'), B = this->C('B');
    auto ramp = [&](int32_t x, int32_t y, int dx, typename TypeParam::Pixel colour,
                    const std::vector<typename TypeParam::Weight>& weights) {
        for (auto w : weights) {
            expected.At(x, y) = this->Bl(expected.At(x, y), colour, w);
            x += dx;
        }
    };
    ramp(1, 1, -1, A, LongRamp<TypeParam>(1));  // step (1, 1): left to column 0
    ramp(2, 1, +1, B, LongRamp<TypeParam>(5));  // columns 2..6
    ramp(7, 2, -1, A, LongRamp<TypeParam>(5));  // step (7, 2): columns 7..3
    ramp(8, 2, +1, B, LongRamp<TypeParam>(5));  // columns 8..12
    ramp(13, 3, -1, A, LongRamp<TypeParam>(5)); // step (13, 3): columns 13..9
    ramp(14, 3, +1, B, LongRamp<TypeParam>(6)); // a run of 6 to the right edge, covering 14..18
    this->ExpectSame(expected, SmoothInMemory<TypeParam>(source));
}

// A 45° staircase of one-pixel steps ending in a vertical edge two pixels high: from that edge's top
// pixel the up-right tracer follows three steps (n = 3). The steps themselves take the light blends, the
// last one also a downward ramp along the vertical edge, which stops at the bottom row.
TYPED_TEST(SmoothingExamples, DiagonalStaircaseIsTraced) {
    const std::vector<std::string> rows = {
        "AAAAAAA", //
        "AAAAAAB", //
        "AAAAABB", //
        "AAAABBB", //
        "AAABBBB", //
        "AAABBBB", //
    };
    const auto source = this->Image(rows);
    auto expected = source;
    const auto A = this->C('A'), B = this->C('B');
    const auto light = this->Light();
    const auto first = Ramp<TypeParam>(TypeParam::Weights::kTracerFirstStart, 3);
    const auto second = Ramp<TypeParam>(TypeParam::Weights::kTracerSecondStart, 3);
    ASSERT_EQ(first.size(), 2u);
    // step (5, 1): a run of 1 to the right, whose ramp leaves the image after one pixel; light blend left
    expected.At(6, 1) = this->Bl(B, A, LongRamp<TypeParam>(1)[0]);
    expected.At(5, 1) = this->Bl(A, B, light);
    // step (4, 2): light blends both ways
    expected.At(5, 2) = this->Bl(B, A, light);
    expected.At(4, 2) = this->Bl(A, B, light);
    // step (3, 3): light blends, then a run of 2 downwards beside the vertical edge
    expected.At(4, 3) = this->Bl(B, A, light);
    expected.At(3, 3) = this->Bl(A, B, light);
    expected.At(3, 4) = this->Bl(B, A, LongRamp<TypeParam>(2)[0]);
    expected.At(3, 5) = this->Bl(B, A, LongRamp<TypeParam>(2)[1]);
    // (2, 4): the tracer at P0 = (3, 3) and P1 = (4, 2), blending the pixel below each towards it and
    // restoring the position itself
    expected.At(3, 4) = this->Bl(expected.At(3, 4), A, first[0]);
    expected.At(3, 3) = this->Bl(expected.At(3, 3), A, second[0]);
    expected.At(4, 3) = this->Bl(expected.At(4, 3), A, first[1]);
    expected.At(4, 2) = this->Bl(expected.At(4, 2), A, second[1]);
    this->ExpectSame(expected, SmoothInMemory<TypeParam>(source));
}

// A single diagonal step (n = 0): no tracer applies. The crossing diagonals also suppress the light
// blends; the step's vertical runs are ramped instead, the lower one stopped by the bottom row.
TYPED_TEST(SmoothingExamples, IsolatedDiagonalStepIsNotTraced) {
    const auto source = this->Image({"AAAABB", "AAAABB", "AAABBB", "AAABBB"});
    auto expected = source;
    const auto A = this->C('A'), B = this->C('B');
    expected.At(3, 1) = this->Bl(A, B, LongRamp<TypeParam>(1)[0]); // up from (3, 1), run of 1
    expected.At(3, 0) = this->Bl(A, B, LongRamp<TypeParam>(1)[1]);
    expected.At(3, 2) = this->Bl(B, A, LongRamp<TypeParam>(2)[0]); // down, run of 2
    expected.At(3, 3) = this->Bl(B, A, LongRamp<TypeParam>(2)[1]);
    this->ExpectSame(expected, SmoothInMemory<TypeParam>(source));
}

// A one-pixel-high line of three 'l' pixels and a slightly lighter end 'm', under a 'c' that differs
// from the line but not from its end. Both ends take a thin ramp along the line. The end pixel (4, 1) has
// edges on three sides and the diagonals of its open side: it would be averaged as a lone pixel, but a
// pixel with a thin ramp is neither averaged nor corner-restored.
TYPED_TEST(SmoothingExamples, ThinLineEndIsNeitherAveragedNorRestored) {
    const auto image = this->Image({"aaacaaa", "alllmaa", "aaaaaaa"});
    auto map = MapOf<TypeParam>(image);
    ASSERT_TRUE(IsLonePixel(map->map, 4, 1));
    auto expected = image;
    const auto a = this->C('a');
    const auto thin = Ramp<TypeParam>(TypeParam::Weights::kThinRampStart, 3, 2);
    ASSERT_EQ(thin.size(), 3u);
    // from (0, 1) rightwards, towards 'a'
    expected.At(1, 1) = this->Bl(expected.At(1, 1), a, thin[0]);
    expected.At(2, 1) = this->Bl(expected.At(2, 1), a, thin[1]);
    expected.At(3, 1) = this->Bl(expected.At(3, 1), a, thin[2]);
    // from (4, 1) leftwards, towards 'a'
    expected.At(4, 1) = this->Bl(expected.At(4, 1), a, thin[0]);
    expected.At(3, 1) = this->Bl(expected.At(3, 1), a, thin[1]);
    expected.At(2, 1) = this->Bl(expected.At(2, 1), a, thin[2]);
    this->ExpectSame(expected, SmoothInMemory<TypeParam>(image));
}

// A 2×2 block of A in the corner, its diagonal neighbour also A. The inner corner (1, 1) takes ramps of
// runs of 1 to the left and upwards, then is restored by 49151 towards its own colour; the other steps
// ramp along their runs, so several pixels take two blends.
TYPED_TEST(SmoothingExamples, InnerCornerIsRestored) {
    const auto source = this->Image({"AAB", "AAB", "BBA"});
    auto expected = source;
    const auto A = this->C('A'), B = this->C('B');
    const auto run1 = LongRamp<TypeParam>(1);
    const auto restore = TypeParam::Weights::kCornerRestore;
    // (1, 1): left ramp (1, 1), (0, 1) and right ramp (2, 1); up ramp (1, 1), (1, 0) and down ramp (1, 2);
    // then the corner restoration of (1, 1)
    expected.At(1, 1) = this->Bl(this->Bl(this->Bl(A, B, run1[0]), B, run1[0]), A, restore);
    expected.At(0, 1) = this->Bl(A, B, run1[1]);
    expected.At(1, 0) = this->Bl(A, B, run1[1]);
    // (2, 1): after the ramp from (1, 1), its own upward run of 1 towards the A below it
    expected.At(2, 1) = this->Bl(this->Bl(B, A, run1[0]), A, run1[0]);
    expected.At(2, 0) = this->Bl(B, A, run1[1]);
    // (1, 2): after the ramp from (1, 1), its own run of 1 to the left, towards the A to its right
    expected.At(1, 2) = this->Bl(this->Bl(B, A, run1[0]), A, run1[0]);
    expected.At(0, 2) = this->Bl(B, A, run1[1]);
    // (2, 2): the downward ramp of (2, 1), then the rightward ramp of (1, 2)
    expected.At(2, 2) = this->Bl(this->Bl(A, B, run1[0]), B, run1[0]);
    this->ExpectSame(expected, SmoothInMemory<TypeParam>(source));
}

TYPED_TEST(SmoothingExamples, FlatTransparentAndGentleImagesAreUnchanged) {
    using Pixel = typename TypeParam::Pixel;
    TestImage<Pixel> flat(9, 7, this->C('A'));
    this->ExpectSame(flat, SmoothInMemory<TypeParam>(flat));
    // Transparent pixels of any colour form no edge.
    const Pixel colours[] = {this->C('A'), this->C('B'), this->C('l')};
    TestImage<Pixel> clear(9, 7);
    for (int32_t i = 0; i < 63; ++i) {
        clear.pixels[size_t(i)] = colours[(i * 7) % 3];
        clear.pixels[size_t(i)].alpha = 0;
    }
    this->ExpectSame(clear, SmoothInMemory<TypeParam>(clear));
    // Opaque shapes on a transparent ground: no pixel borders an edge.
    TestImage<Pixel> cut(9, 7);
    for (int32_t y = 0; y < 7; ++y)
        for (int32_t x = 0; x < 9; ++x)
            cut.At(x, y) = ((x + y) % 2 == 0) ? this->C('A') : clear.At(x, y);
    this->ExpectSame(cut, SmoothInMemory<TypeParam>(cut));
    // A gradient whose neighbours, diagonal ones included, differ by no more than the threshold.
    TestImage<Pixel> gentle(9, 7, this->C('A'));
    for (int32_t y = 0; y < 7; ++y)
        for (int32_t x = 0; x < 9; ++x) {
            if constexpr (std::is_same_v<Pixel, PF_PixelFloat>)
                gentle.At(x, y).red = 0.004f * float(x + y);
            else
                gentle.At(x, y).red =
                    decltype(Pixel{}.red)((std::is_same_v<Pixel, PF_Pixel8> ? 2 : 300) * (x + y));
        }
    this->ExpectSame(gentle, SmoothInMemory<TypeParam>(gentle));
}

} // namespace
