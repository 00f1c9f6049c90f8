// A NaN or an infinity in a float image reaches only the outputs whose window holds it: everywhere else
// the bytes are those of the image with a zero in its place (the running sums keep no trace of it), in
// box and Gaussian, on one line and on a whole HD frame. (Down a box's columns below it, the clean frame's
// own running sums keep a rounding trace of the values its first pass wrote there: close, not the same.)
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "blur_support.h"
#include "host/World.h"
#include "kernels/BlurSequence.h"
#include "passes_support.h"

namespace {

using namespace blur_test;
using passes_test::TestPlane;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

bool SameChannel(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

class NonFiniteSamples : public BlurEnv {};

// One line, box and Gaussian (a table with a flat part: its mean is a running sum too), every instruction
// set: red holds a NaN at 120, green +Inf at 40 and blue -Inf at 300.
TEST_F(NonFiniteSamples, ReachOnlyTheWindowsThatHoldThemOnALine) {
    constexpr int32_t kLength = 420;
    std::mt19937 rng(3);
    std::vector<PF_PixelFloat> clean(kLength);
    for (auto& p : clean)
        p = PxF(1.0f, float(rng() % 1000) / 997.0f, float(rng() % 1000) / 991.0f,
                float(rng() % 1000) / 983.0f);
    clean[120].red = clean[40].green = clean[300].blue = 0.0f;
    std::vector<PF_PixelFloat> spoilt = clean;
    spoilt[120].red = kNaN;
    spoilt[40].green = kInf;
    spoilt[300].blue = -kInf;
    const std::vector<uint8_t> selection(kLength, 255);
    const std::vector<PF_PixelFloat> initial(kLength, PxF(0, 0, 0, 0));

    const GaussTable table = BuildGaussTable(130, 130.0 * 130.0 / 8.0);
    ASSERT_NE(table.flatTotal, 0);
    struct Case {
        BlurKernel kernel;
        BlurLineKernel kernels;
        int32_t h;
    };
    for (const Case& c : {Case{BlurKernel::Box, BoxKernel(9, 9, 9, 9), 8},
                          Case{BlurKernel::Gauss, GaussKernel(table, table, table, table), 129}})
        for (BlurVariant v : {BlurVariant::Spanning, BlurVariant::Confined})
            for (BlurIsa isa : AvailableIsas()) {
                const auto expected = FilterLine(c.kernel, v, isa, c.kernels, clean, selection, initial);
                const auto got = FilterLine(c.kernel, v, isa, c.kernels, spoilt, selection, initial);
                for (int32_t x = 0; x < kLength; ++x) {
                    const struct {
                        float PF_PixelFloat::*channel;
                        int32_t at;
                    } specials[] = {
                        {&PF_PixelFloat::red, 120}, {&PF_PixelFloat::green, 40}, {&PF_PixelFloat::blue, 300}};
                    for (const auto& s : specials) {
                        const float value = got[x].*s.channel;
                        if (std::abs(x - s.at) <= c.h)
                            EXPECT_FALSE(std::isfinite(value)) << IsaName(isa) << " x " << x;
                        else
                            ASSERT_TRUE(SameChannel(value, expected[x].*s.channel))
                                << IsaName(isa) << " x " << x << " from " << s.at;
                    }
                    ASSERT_TRUE(SameChannel(got[x].alpha, expected[x].alpha));
                }
            }
}

// A whole HD frame through the render's blur, one repeat: box (a float running sum down every column) and
// Gaussian (the fused bands).
TEST_F(NonFiniteSamples, ReachOnlyTheirFootprintInAnHdFrame) {
    constexpr int W = 1920, H = 1080;
    constexpr int kX = 700, kY = 500;
    TestPlane plane(W, H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            plane.Select(x, y);
    host::World clean = MakeWorld(W, H, PF_PixelFormat_ARGB128);
    std::mt19937 rng(9);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            clean.AtFloat(x, y) = PxF(1.0f, float(rng() & 0xFFFF) * 0x1p-16f,
                                      float(rng() & 0xFFFF) * 0x1p-16f, float(rng() & 0xFFFF) * 0x1p-16f);
    clean.AtFloat(kX, kY) = PxF(1.0f, 0.0f, 0.0f, 0.0f);
    host::World spoilt = MakeWorld(W, H, PF_PixelFormat_ARGB128);
    for (int y = 0; y < H; ++y)
        std::memcpy(spoilt.Row(y), clean.Row(y), static_cast<std::size_t>(W) * sizeof(PF_PixelFloat));
    spoilt.AtFloat(kX, kY) = PxF(1.0f, kNaN, kInf, -kInf);

    for (BlurKernel kernel : {BlurKernel::Box, BlurKernel::Gauss}) {
        BlurOptions options;
        options.kernel = kernel;
        options.variant = BlurVariant::Confined;
        options.repeat = 1;
        for (double& l : options.lengths)
            l = 12;
        const int reach = 11; // each pass's half-window
        const auto render = [&](host::World& source) {
            host::World output = MakeWorld(W, H, PF_PixelFormat_ARGB128);
            host::World scratch = MakeWorld(W, H, PF_PixelFormat_ARGB128);
            PF_EffectWorld* worlds[1] = {scratch.get()};
            BlurLayerJob job;
            job.output = output.get();
            job.source = source.get();
            job.options = options;
            job.plane = plane.plane();
            job.rect = PF_Rect{0, 0, W, H};
            job.in_data = InData();
            EXPECT_EQ(BlurLayer<DepthFloat>(job, worlds), PF_Err_NONE);
            return output;
        };
        host::World expected = render(clean);
        host::World got = render(spoilt);
        int touched = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const bool inside = std::abs(x - kX) <= reach && std::abs(y - kY) <= reach;
                const PF_PixelFloat& g = got.AtFloat(x, y);
                if (inside) {
                    touched += !std::isfinite(g.red);
                    continue;
                }
                const PF_PixelFloat& e = expected.AtFloat(x, y);
                // Below the footprint a column's running sum kept, in the clean frame, the rounding trace
                // of the values the first pass wrote where the spoilt frame has its NaN: finite and close.
                if (kernel == BlurKernel::Box && std::abs(x - kX) <= reach && y > kY) {
                    for (const float PF_PixelFloat::*c :
                         {&PF_PixelFloat::red, &PF_PixelFloat::green, &PF_PixelFloat::blue})
                        ASSERT_NEAR(g.*c, e.*c, 1e-5f) << x << ", " << y;
                    continue;
                }
                ASSERT_EQ(std::memcmp(&g, &e, sizeof g), 0)
                    << (kernel == BlurKernel::Box ? "box" : "gauss") << " at " << x << ", " << y;
            }
        EXPECT_EQ(touched, (2 * reach + 1) * (2 * reach + 1)) << "the footprint is the NaN's";
    }
}

} // namespace
