// The host's colour conversion, which the key test depends on bit for bit.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <thread>
#include <vector>

#include "host/Color.h"
#include "tests/host/HostFixture.h"

namespace tovrin::test {
namespace {

struct HLS {
    PF_Fixed h, l, s;
};

HLS Convert(A_u_char r, A_u_char g, A_u_char b) {
    PF_Pixel p{255, r, g, b};
    PF_Fixed out[3];
    host::RGBtoHLS(p, out);
    return {out[0], out[1], out[2]};
}

TEST(RGBtoHLS, GreysHaveNoHueOrSaturation) {
    for (int v : {0, 1, 128, 254, 255}) {
        HLS c = Convert(A_u_char(v), A_u_char(v), A_u_char(v));
        EXPECT_EQ(c.h, 0);
        EXPECT_EQ(c.s, 0);
        EXPECT_EQ(c.l, PF_Fixed(std::floor(v / 255.0 * 65536.0 + 0.5)));
    }
}

TEST(RGBtoHLS, PrimariesAndSecondaries) {
    EXPECT_EQ(Convert(255, 0, 0).h, 0);
    EXPECT_EQ(Convert(0, 255, 0).h, 120 << 16);
    EXPECT_EQ(Convert(0, 0, 255).h, 240 << 16);
    EXPECT_EQ(Convert(255, 255, 0).h, 60 << 16);
    EXPECT_EQ(Convert(255, 0, 255).h, 300 << 16); // negative h wraps by 360
    HLS red = Convert(255, 0, 0);
    EXPECT_EQ(red.l, 32768); // 0.5
    EXPECT_EQ(red.s, 65536); // 1.0
}

TEST(RGBtoHLS, SaturationUsesTheUpperFormulaAboveHalfLightness) {
    // (255, 128, 128): mx 1, mn 128/255, L > 0.5, S = d / (2 - mx - mn).
    double mn = 128 / 255.0;
    double d = 1.0 - mn;
    HLS c = Convert(255, 128, 128);
    EXPECT_EQ(c.s, PF_Fixed(std::floor(d / (2.0 - 1.0 - mn) * 65536.0 + 0.5)));
    EXPECT_EQ(c.l, PF_Fixed(std::floor((1.0 + mn) / 2.0 * 65536.0 + 0.5)));
    // (10, 20, 30): L below one half, blue largest.
    double r = 10 / 255.0, g = 20 / 255.0, b = 30 / 255.0;
    HLS dark = Convert(10, 20, 30);
    EXPECT_EQ(dark.s, PF_Fixed(std::floor((b - r) / (b + r) * 65536.0 + 0.5)));
    EXPECT_EQ(dark.h, PF_Fixed(std::floor(60.0 * (4.0 + (r - g) / (b - r)) * 65536.0 + 0.5)));
}

// The conversion written with the divisions it is defined by, in double precision.
HLS DividingConversion(int red, int green, int blue) {
    const double r = red / 255.0, g = green / 255.0, b = blue / 255.0;
    const double mx = std::max(r, std::max(g, b)), mn = std::min(r, std::min(g, b));
    const double l = (mx + mn) / 2.0;
    double h = 0.0, s = 0.0;
    if (mx != mn) {
        const double d = mx - mn;
        s = l <= 0.5 ? d / (mx + mn) : d / (2.0 - mx - mn);
        if (mx == r)
            h = (g - b) / d;
        else if (mx == g)
            h = 2.0 + (b - r) / d;
        else
            h = 4.0 + (r - g) / d;
        h = 60.0 * h;
        if (h < 0.0)
            h += 360.0;
    }
    const auto fixed = [](double x) { return PF_Fixed(std::floor(x * 65536.0 + 0.5)); };
    return {fixed(h), fixed(l), fixed(s)};
}

// The host multiplies by reciprocals instead of dividing; every 24-bit colour must round the same.
TEST(RGBtoHLS, EveryColourRoundsAsTheDivisionsDo) {
    int64_t differing = 0;
    PF_Pixel first{};
    for (int r = 0; r < 256; ++r)
        for (int g = 0; g < 256; ++g)
            for (int b = 0; b < 256; ++b) {
                const HLS want = DividingConversion(r, g, b);
                const HLS got = Convert(A_u_char(r), A_u_char(g), A_u_char(b));
                if (got.h != want.h || got.l != want.l || got.s != want.s) {
                    if (differing++ == 0)
                        first = PF_Pixel{255, A_u_char(r), A_u_char(g), A_u_char(b)};
                }
            }
    EXPECT_EQ(differing, 0) << "first at " << int(first.red) << ", " << int(first.green) << ", "
                            << int(first.blue);
}

using RGBtoHLSCallback = HostTest;

TEST_F(RGBtoHLSCallback, ServesTheConversionAndFailsWhenTold) {
    PF_Pixel p{255, 0, 255, 0};
    PF_Fixed hls[3] = {};
    ASSERT_EQ(utils.colorCB.RGBtoHLS(ref(), &p, hls), PF_Err_NONE);
    EXPECT_EQ(hls[0], 120 << 16);
    host.Faults().Inject(host::Fault::RGBtoHLS, 1, PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(utils.colorCB.RGBtoHLS(ref(), &p, hls), PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(utils.colorCB.RGBtoHLS(ref(), &p, hls), PF_Err_NONE);
}

// The key test calls the conversion from every thread of a pass: the results and the fault plan's count
// of uses hold under that, and a reference stops being valid the moment its instance goes, even on a
// thread that used it before.
TEST_F(RGBtoHLSCallback, ServesManyThreadsAndForgetsInstancesThatWent) {
    host.Faults().Clear();
    constexpr int kThreads = 4, kCalls = 20000;
    std::vector<int> wrong(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kCalls; ++i) {
                PF_Pixel p{255, A_u_char(i), A_u_char(t * 50), A_u_char(i >> 8)};
                PF_Fixed got[3] = {}, want[3] = {};
                host::RGBtoHLS(p, want);
                if (utils.colorCB.RGBtoHLS(ref(), &p, got) != PF_Err_NONE || got[0] != want[0] ||
                    got[1] != want[1] || got[2] != want[2])
                    ++wrong[std::size_t(t)];
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(wrong, std::vector<int>(kThreads, 0));
    EXPECT_EQ(host.Faults().Uses(host::Fault::RGBtoHLS), kThreads * kCalls);

    PF_ProgPtr gone;
    PF_Pixel p{255, 1, 2, 3};
    PF_Fixed hls[3];
    {
        host::Instance other(host);
        gone = other.EffectRef();
        ASSERT_EQ(utils.colorCB.RGBtoHLS(gone, &p, hls), PF_Err_NONE);
    }
    EXPECT_EQ(utils.colorCB.RGBtoHLS(gone, &p, hls), PF_Err_BAD_CALLBACK_PARAM);
    ASSERT_EQ(host.Violations().size(), 1u);
    EXPECT_NE(host.Violations()[0].find("effect reference"), std::string::npos);
}

} // namespace
} // namespace tovrin::test
