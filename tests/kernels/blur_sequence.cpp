// The eight blur sequences: pass lengths, whole sequences worked by hand, the copy of n = 0, progress and
// cancel after any pass, and the same bytes for any number of worker threads.
#include <gtest/gtest.h>

#include <random>

#include "blur_support.h"
#include "host/Faults.h"
#include "host/Instance.h"
#include "host/World.h"
#include "kernels/BlurSequence.h"
#include "passes_support.h"

namespace {

using namespace blur_test;
using passes_test::TestPlane;

struct Sequence {
    BlurKernel kernel;
    BlurVariant variant;
    bool isFloat;
};
constexpr Sequence kGaussSpanning16{BlurKernel::Gauss, BlurVariant::Spanning, false};
constexpr Sequence kGaussConfined16{BlurKernel::Gauss, BlurVariant::Confined, false};
constexpr Sequence kBoxSpanning16{BlurKernel::Box, BlurVariant::Spanning, false};
constexpr Sequence kBoxConfined16{BlurKernel::Box, BlurVariant::Confined, false};
constexpr Sequence kGaussSpanningFloat{BlurKernel::Gauss, BlurVariant::Spanning, true};
constexpr Sequence kGaussConfinedFloat{BlurKernel::Gauss, BlurVariant::Confined, true};
constexpr Sequence kBoxSpanningFloat{BlurKernel::Box, BlurVariant::Spanning, true};
constexpr Sequence kBoxConfinedFloat{BlurKernel::Box, BlurVariant::Confined, true};

PF_Err RunBlur(const Sequence& s, PF_EffectWorld* output, const PF_InData* in_data, PF_EffectWorld* source,
               PF_EffectWorld* scratch, const PF_Rect& rect, const SelectionPlane& plane, double aspect,
               const double (&lengths)[4], int32_t repeat, ProgressCounter* progress) {
    BlurOptions options;
    options.kernel = s.kernel;
    options.variant = s.variant;
    options.aspect = aspect;
    for (int c = 0; c < 4; ++c)
        options.lengths[c] = lengths[c];
    options.repeat = repeat;
    if (s.isFloat)
        return BlurSequence<DepthFloat>(output, source, scratch, options, plane, rect, in_data, -1, progress);
    return BlurSequence<Depth16>(output, source, scratch, options, plane, rect, in_data, -1, progress);
}

class BlurSequences : public BlurEnv {
protected:
    struct Worlds {
        host::World source, output, scratch;
    };
    Worlds Make(int w, int h, PF_PixelFormat f) {
        return Worlds{MakeWorld(w, h, f), MakeWorld(w, h, f), MakeWorld(w, h, f)};
    }
    static TestPlane& SelectAll(TestPlane& p, int w, int h) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                p.Select(x, y);
        return p;
    }
};

std::vector<BlurPass> Plan(double aspect, std::vector<double> lengths, int32_t repeat) {
    BlurLengthPlan plan = StartBlurLengths(aspect, lengths.data(), repeat);
    std::vector<BlurPass> passes;
    for (int32_t p = 0; p <= repeat; ++p)
        passes.push_back(NextBlurPass(plan));
    return passes;
}

// n = 3, d = 8: the root is 2; both directions shrink before passes 3 and 4: 8, 8, 4, 2. The variance is
// d²/8 in passes 1 and 2, d² after.
TEST_F(BlurSequences, PassLengths) {
    const auto p = Plan(0.0, {8, 8, 8, 8}, 3);
    ASSERT_EQ(p.size(), 4u);
    const int radius[4] = {8, 8, 4, 2};
    const double variance[4] = {8.0, 8.0, 16.0, 4.0};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(p[i].horizontal, i % 2 == 0);
        EXPECT_EQ(p[i].radius[1], radius[i]) << "pass " << i + 1;
        EXPECT_EQ(p[i].variance[1], variance[i]) << "pass " << i + 1;
    }
    // Aspect 2 triples the horizontal lengths, -2 the vertical ones; 0 leaves both.
    EXPECT_EQ(Plan(2.0, {8, 8, 8, 8}, 1)[0].length[0], 24.0);
    EXPECT_EQ(Plan(2.0, {8, 8, 8, 8}, 1)[1].length[0], 8.0);
    EXPECT_EQ(Plan(-2.0, {8, 8, 8, 8}, 1)[0].length[0], 8.0);
    EXPECT_EQ(Plan(-2.0, {8, 8, 8, 8}, 1)[1].length[0], 24.0);
    // 2.5 gives radius 3, 1.0 radius 1; lengths below 1.0 count as 1.0.
    const auto q = Plan(0.0, {2.5, 1.0, 0.25, -3.0}, 1);
    EXPECT_EQ(q[0].radius[0], 3);
    EXPECT_EQ(q[0].radius[1], 1);
    EXPECT_EQ(q[0].radius[2], 1);
    EXPECT_EQ(q[0].radius[3], 1);
    // Each channel keeps its own length.
    const auto r = Plan(0.0, {1, 4, 2, 9}, 2);
    EXPECT_EQ(r[2].radius[0], 1);
    EXPECT_EQ(r[2].radius[1], 2);
    EXPECT_EQ(r[2].radius[2], 2); // 2 / √2
    EXPECT_EQ(r[2].radius[3], 3);
}

std::vector<int> Channel(host::World& w, int c, bool column) {
    std::vector<int> v;
    const int n = column ? w.Height() : w.Width();
    for (int i = 0; i < n; ++i) {
        const PF_Pixel16& p = column ? w.At16(0, i) : w.At16(i, 0);
        v.push_back(c == 0 ? p.alpha : c == 1 ? p.red : c == 2 ? p.green : p.blue);
    }
    return v;
}

// Box, spanning, n = 2 on one row (the vertical pass sees columns of one pixel and changes nothing):
// pass 1 horizontal into the output with radii 1, 4, 2, 3; pass 3 horizontal into the output again with
// each length divided by its square root. A last pass writing the scratch world, or no shrinking, shows.
TEST_F(BlurSequences, BoxRowWorkedByHand) {
    Worlds w = Make(5, 1, PF_PixelFormat_ARGB64);
    const int red[5] = {0, 100, 200, 300, 4000}, green[5] = {5000, 0, 0, 0, 0}, blue[5] = {1, 2, 3, 4, 65535};
    for (int x = 0; x < 5; ++x)
        w.source.At16(x, 0) = Px16(32768, A_u_short(red[x]), A_u_short(green[x]), A_u_short(blue[x]));
    const std::vector<uint8_t> before = w.source.Pixels();
    TestPlane plane(5, 1);
    SelectAll(plane, 5, 1);
    const PF_Rect rect{0, 0, 5, 1};
    const double lengths[4] = {1, 4, 2, 3};
    ASSERT_EQ(RunBlur(kBoxSpanning16, w.output.get(), InData(), w.source.get(), w.scratch.get(), rect,
                      plane.plane(), 0.0, lengths, 2, nullptr),
              PF_Err_NONE);
    EXPECT_EQ(Channel(w.output, 0, false), (std::vector<int>{32768, 32768, 32768, 32768, 32768}));
    EXPECT_EQ(Channel(w.output, 1, false), (std::vector<int>{535, 663, 920, 997, 1035}));
    EXPECT_EQ(Channel(w.output, 2, false), (std::vector<int>{2084, 1389, 556, 0, 0}));
    EXPECT_EQ(Channel(w.output, 3, false), (std::vector<int>{3, 4371, 9833, 17114, 19117}));
    EXPECT_EQ(w.source.Pixels(), before);
}

// Box, confined, n = 3 on one column: the vertical passes 2 and 4 filter, with radius 8 and then 2,
// because both directions shrink before pass 3 and again before pass 4.
TEST_F(BlurSequences, BoxColumnWorkedByHand) {
    Worlds w = Make(1, 16, PF_PixelFormat_ARGB64);
    for (int y = 0; y < 16; ++y)
        w.source.At16(0, y) = Px16(32768, y == 3 ? 32768 : y == 12 ? 20000 : 0, 0, 0);
    TestPlane plane(1, 16);
    SelectAll(plane, 1, 16);
    const PF_Rect rect{0, 0, 1, 16};
    const double lengths[4] = {8, 8, 8, 8};
    ASSERT_EQ(RunBlur(kBoxConfined16, w.output.get(), InData(), w.source.get(), w.scratch.get(), rect,
                      plane.plane(), 0.0, lengths, 3, nullptr),
              PF_Err_NONE);
    EXPECT_EQ(Channel(w.output, 1, true), (std::vector<int>{3869, 3671, 3299, 2996, 3256, 3520, 3782, 3602,
                                                            3602, 3782, 3165, 2515, 1828, 2013, 2241, 2361}));
}

// Gaussian, spanning, n = 2, d = 4 on one row: Build(4, 16 / 8) for pass 1, Build(2, 2²) for pass 3.
TEST_F(BlurSequences, GaussRowWorkedByHand) {
    Worlds w = Make(5, 1, PF_PixelFormat_ARGB64);
    const int red[5] = {0, 100, 200, 300, 4000}, blue[5] = {1, 2, 3, 4, 65535};
    for (int x = 0; x < 5; ++x)
        w.source.At16(x, 0) = Px16(32768, A_u_short(red[x]), 0, A_u_short(blue[x]));
    TestPlane plane(5, 1);
    SelectAll(plane, 5, 1);
    const PF_Rect rect{0, 0, 5, 1};
    const double lengths[4] = {4, 4, 4, 4};
    ASSERT_EQ(RunBlur(kGaussSpanning16, w.output.get(), InData(), w.source.get(), w.scratch.get(), rect,
                      plane.plane(), 0.0, lengths, 2, nullptr),
              PF_Err_NONE);
    EXPECT_EQ(Channel(w.output, 1, false), (std::vector<int>{165, 312, 681, 1234, 1576}));
    EXPECT_EQ(Channel(w.output, 3, false), (std::vector<int>{1070, 3162, 8751, 17717, 23356}));
}

// Gaussian, float, n = 1: horizontal into the scratch world, vertical into the output.
TEST_F(BlurSequences, GaussFloatRowWorkedByHand) {
    Worlds w = Make(6, 1, PF_PixelFormat_ARGB128);
    const float reds[6] = {3.0f, 1e-4f, 7.0f, 0.3f, 5.0f, 1e-7f};
    for (int x = 0; x < 6; ++x)
        w.source.AtFloat(x, 0) = PxF(1.0f, reds[x], 0.0f, 0.0f);
    TestPlane plane(6, 1);
    SelectAll(plane, 6, 1);
    const PF_Rect rect{0, 0, 6, 1};
    const double lengths[4] = {3, 3, 3, 3};
    ASSERT_EQ(RunBlur(kGaussConfinedFloat, w.output.get(), InData(), w.source.get(), w.scratch.get(), rect,
                      plane.plane(), 0.0, lengths, 1, nullptr),
              PF_Err_NONE);
    const uint32_t expected[6] = {0x4013e44e, 0x4028b8cd, 0x4050b21a, 0x40434002, 0x402672e7, 0x3fe64589};
    for (int x = 0; x < 6; ++x) {
        uint32_t bits;
        std::memcpy(&bits, &w.output.AtFloat(x, 0).red, 4);
        EXPECT_EQ(bits, expected[x]) << x;
    }
}

// n = 0: the selected pixels are copied; everything else of the output and the whole scratch world stay.
TEST_F(BlurSequences, RepeatZeroCopiesTheSelection) {
    Worlds w = Make(9, 7, PF_PixelFormat_ARGB64);
    std::mt19937 rng(3);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x) {
            w.source.At16(x, y) = RandomPixel<PF_Pixel16>(rng);
            w.output.At16(x, y) = RandomPixel<PF_Pixel16>(rng);
        }
    TestPlane plane(9, 7);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x)
            if ((x * 3 + y) % 4)
                plane.Select(x, y);
    const std::vector<uint8_t> scratchBefore = w.scratch.Pixels();
    host::World expected = MakeWorld(9, 7, PF_PixelFormat_ARGB64);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x)
            expected.At16(x, y) = plane.At(x, y) ? w.source.At16(x, y) : w.output.At16(x, y);
    const PF_Rect rect{0, 0, 9, 7};
    const double lengths[4] = {5, 5, 5, 5};
    ASSERT_EQ(RunBlur(kGaussSpanning16, w.output.get(), InData(), w.source.get(), w.scratch.get(), rect,
                      plane.plane(), 0.0, lengths, 0, nullptr),
              PF_Err_NONE);
    EXPECT_EQ(w.output.Pixels(), expected.Pixels());
    EXPECT_EQ(w.scratch.Pixels(), scratchBefore);
}

class SequenceRuns : public BlurSequences {
protected:
    PF_Err Run(const Sequence& sequence, int32_t repeat, ProgressCounter* progress) {
        const PF_Rect rect{0, 0, 12, 10};
        const double lengths[4] = {3, 4, 2.5, 6};
        return RunBlur(sequence, w_.output.get(), InData(), w_.source.get(), w_.scratch.get(), rect,
                       plane_.plane(), 0.0, lengths, repeat, progress);
    }
    Worlds w_ = Make(12, 10, PF_PixelFormat_ARGB64);
    TestPlane plane_{12, 10};
    void SetUp() override {
        BlurSequences::SetUp();
        SelectAll(plane_, 12, 10);
    }
};

// Progress is reported after each pass with the counter's percentage, which the sequence never advances.
TEST_F(SequenceRuns, ProgressAfterEachPassWithoutAdvancing) {
    ProgressCounter counter{InData(), InData()->effect_ref, 4, 1};
    ASSERT_EQ(Run(kBoxSpanning16, 2, &counter), PF_Err_NONE);
    EXPECT_EQ(counter.done, 1);
    EXPECT_EQ(Instance().ProgressCalls(), (std::vector<std::pair<A_long, A_long>>(3, {25, 100})));
    ASSERT_EQ(Run(kGaussConfined16, 1, nullptr), PF_Err_NONE);
    ProgressCounter detached{nullptr, nullptr, 2, 0};
    ASSERT_EQ(Run(kGaussSpanning16, 3, &detached), PF_Err_NONE);
    EXPECT_EQ(Instance().ProgressCalls().size(), 3u);
}

// A cancel from the progress callback after pass k ends the sequence there with the host's code; so
// does a failing iterate_generic.
TEST_F(SequenceRuns, CancelAfterAnyPass) {
    const PF_Err cancel = host::DefaultFaultCode(host::Fault::Progress);
    for (int k = 1; k <= 4; ++k) {
        ProgressCounter counter{InData(), InData()->effect_ref, 2, 0};
        Host().Faults().Clear();
        Host().Faults().Inject(host::Fault::Progress, k);
        EXPECT_EQ(Run(kGaussSpanning16, 3, &counter), cancel) << k;
        EXPECT_EQ(Host().Faults().Uses(host::Fault::IterateGeneric), k) << k;
        Host().Faults().Clear();
        Host().Faults().Inject(host::Fault::IterateGeneric, k, PF_Err_INTERNAL_STRUCT_DAMAGED);
        EXPECT_EQ(Run(kBoxConfined16, 3, &counter), PF_Err_INTERNAL_STRUCT_DAMAGED) << k;
        EXPECT_EQ(Host().Faults().Uses(host::Fault::Progress), k - 1) << k;
    }
    Host().Faults().Clear();
}

TEST_F(BlurSequences, BadArgumentsAreRefused) {
    Worlds w = Make(4, 4, PF_PixelFormat_ARGB64);
    TestPlane plane(4, 4);
    const PF_Rect rect{0, 0, 4, 4};
    const double lengths[4] = {3, 3, 3, 3};
    EXPECT_EQ(RunBlur(kBoxSpanning16, nullptr, InData(), w.source.get(), w.scratch.get(), rect, plane.plane(),
                      0.0, lengths, 1, nullptr),
              PF_Err_BAD_CALLBACK_PARAM);
}

// Every sequence gives the same bytes for 1, 2 and 7 worker threads, on keyed content with transparency,
// distinct lengths, an aspect and repeats.
TEST_F(BlurSequences, SameBytesForAnyThreadCount) {
    const Sequence cases[] = {kGaussSpanning16,    kGaussConfined16,    kBoxSpanning16,    kBoxConfined16,
                              kGaussSpanningFloat, kGaussConfinedFloat, kBoxSpanningFloat, kBoxConfinedFloat};
    constexpr int W = 61, H = 43;
    TestPlane plane(W, H);
    std::mt19937 rng(11);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            if ((x / 7 + y / 5) % 3 != 0 || rng() % 9 == 0)
                plane.Select(x, y);
    const PF_Rect rect{0, 0, W, H};
    const double lengths[4] = {2, 9.5, 4, 130};
    for (const Sequence& c : cases) {
        const PF_PixelFormat format = c.isFloat ? PF_PixelFormat_ARGB128 : PF_PixelFormat_ARGB64;
        host::World source = MakeWorld(W, H, format);
        std::mt19937 content(7);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                if (c.isFloat)
                    source.AtFloat(x, y) = RandomPixel<PF_PixelFloat>(content);
                else
                    source.At16(x, y) = RandomPixel<PF_Pixel16>(content);
            }
        std::vector<uint8_t> first;
        for (int threads : {1, 2, 7}) {
            Host().SetWorkerThreads(threads);
            host::World output = MakeWorld(W, H, format);
            host::World scratch = MakeWorld(W, H, format);
            ASSERT_EQ(RunBlur(c, output.get(), InData(), source.get(), scratch.get(), rect, plane.plane(),
                              0.5, lengths, 3, nullptr),
                      PF_Err_NONE);
            if (first.empty())
                first = output.Pixels();
            else
                EXPECT_EQ(output.Pixels(), first) << threads << " threads";
            // Unselected pixels of the output are never written: they keep the world's cleared bytes.
            const int size = output.PixelSize();
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x) {
                    if (plane.At(x, y))
                        continue;
                    for (int b = 0; b < size; ++b) {
                        ASSERT_EQ(output.Row(y)[x * size + b], 0) << x << ", " << y;
                    }
                }
        }
    }
}

} // namespace
