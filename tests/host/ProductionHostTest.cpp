// The production host: worlds and large handles reuse pooled memory, cleared worlds stay cleared however
// dirty the reused memory was, renders take no copy of the input, and accounting still finds leaks and
// misuse. The pool never holds more than the most memory its blocks held live at once.
#include <cstring>
#include <random>
#include <vector>

#include "host/BlockPool.h"
#include "host/Color.h"
#include "host/World.h"
#include "tests/host/FakeEffect.h"
#include "tests/host/HostFixture.h"

namespace tovrin::test {
namespace {

class ProductionHost : public HostTest {
protected:
    ProductionHost() : HostTest(host::Settings::Production()) {}
    void SetUp() override { v2 = Acquire<PF_WorldSuite2>(kPFWorldSuite, kPFWorldSuiteVersion2); }
    void TearDown() override {
        Release(kPFWorldSuite, kPFWorldSuiteVersion2);
        EXPECT_EQ(host.LeakReport(), "");
    }
    const PF_WorldSuite2* v2 = nullptr;
};

bool AllZero(const PF_EffectWorld& w, int pixelSize) {
    for (A_long y = 0; y < w.height; ++y) {
        auto* row = reinterpret_cast<const unsigned char*>(w.data) + std::ptrdiff_t(y) * w.rowbytes;
        for (A_long i = 0; i < w.width * pixelSize; ++i)
            if (row[i] != 0)
                return false;
    }
    return true;
}

TEST_F(ProductionHost, AFreedWorldsMemoryServesTheNextWorldOfItsSize) {
    PF_EffectWorld a{}, b{};
    ASSERT_EQ(v2->PF_NewWorld(ref(), 640, 360, false, PF_PixelFormat_ARGB64, &a), PF_Err_NONE);
    EXPECT_EQ(a.rowbytes, 640 * 8); // no padding
    void* first = a.data;
    ASSERT_EQ(v2->PF_DisposeWorld(ref(), &a), PF_Err_NONE);
    ASSERT_EQ(v2->PF_NewWorld(ref(), 640, 360, false, PF_PixelFormat_ARGB64, &b), PF_Err_NONE);
    EXPECT_EQ(b.data, first);
    EXPECT_EQ(host.Pool().reused, 1u);
    {
        // The caller's worlds share the pool: an 'argb' world of twice the width has the same bytes.
        host::World caller(host, 1280, 360, PF_PixelFormat_ARGB32);
    }
    host::World again(host, 1280, 360, PF_PixelFormat_ARGB32);
    EXPECT_EQ(host.Pool().reused, 2u);
    ASSERT_EQ(v2->PF_DisposeWorld(ref(), &b), PF_Err_NONE);
}

TEST_F(ProductionHost, ClearedWorldsHoldZerosEvenFromDirtyReusedMemory) {
    for (A_long padding : {0, 24}) {
        host.settings().rowPaddingBytes = padding;
        PF_EffectWorld dirty{};
        ASSERT_EQ(v2->PF_NewWorld(ref(), 33, 17, false, PF_PixelFormat_ARGB128, &dirty), PF_Err_NONE);
        std::memset(dirty.data, 0xAB, std::size_t(dirty.rowbytes) * 17);
        ASSERT_EQ(v2->PF_DisposeWorld(ref(), &dirty), PF_Err_NONE);
        std::size_t reused = host.Pool().reused;

        PF_EffectWorld clean{};
        ASSERT_EQ(v2->PF_NewWorld(ref(), 33, 17, true, PF_PixelFormat_ARGB128, &clean), PF_Err_NONE);
        EXPECT_EQ(host.Pool().reused, reused + 1) << padding;
        EXPECT_TRUE(AllZero(clean, 16)) << padding;
        std::memset(clean.data, 0xCD, std::size_t(clean.rowbytes) * 17);
        ASSERT_EQ(v2->PF_DisposeWorld(ref(), &clean), PF_Err_NONE);

        // The same through World suite 1's clear flag and through the caller's worlds.
        const auto* v1 = Acquire<PF_WorldSuite1>(kPFWorldSuite, kPFWorldSuiteVersion1);
        PF_EffectWorld deep{};
        ASSERT_EQ(
            v1->new_world(ref(), 66, 17, PF_NewWorldFlag_CLEAR_PIXELS | PF_NewWorldFlag_DEEP_PIXELS, &deep),
            PF_Err_NONE);
        EXPECT_TRUE(AllZero(deep, 8)) << padding;
        std::memset(deep.data, 0xEF, std::size_t(deep.rowbytes) * 17);
        ASSERT_EQ(v1->dispose_world(ref(), &deep), PF_Err_NONE);
        Release(kPFWorldSuite, kPFWorldSuiteVersion1);
        host::World caller(host, 132, 17, PF_PixelFormat_ARGB32);
        EXPECT_TRUE(AllZero(*caller.get(), 4)) << padding;
    }
    EXPECT_GE(host.Pool().reused, 4u);
}

TEST_F(ProductionHost, LargeHandlesReuseMemorySmallOnesDoNot) {
    PF_Handle big = utils.host_new_handle(1 << 20);
    PF_Handle small = utils.host_new_handle(100);
    ASSERT_TRUE(big && small);
    utils.host_dispose_handle(big);
    utils.host_dispose_handle(small);
    PF_Handle again = utils.host_new_handle(1 << 20);
    PF_Handle smallAgain = utils.host_new_handle(100);
    EXPECT_EQ(host.Pool().reused, 1u);
    EXPECT_EQ(host.Pool().taken, 2u);
    // Resizing keeps the bytes, from pooled memory or not.
    std::memset(*smallAgain, 0x11, 100);
    ASSERT_EQ(utils.host_resize_handle(1 << 20, &smallAgain), PF_Err_NONE);
    EXPECT_EQ(static_cast<unsigned char*>(*smallAgain)[99], 0x11);
    utils.host_dispose_handle(again);
    utils.host_dispose_handle(smallAgain);
}

TEST_F(ProductionHost, AccountingStillFindsLeaksAndMisuse) {
    PF_Handle h = utils.host_new_handle(1 << 20);
    PF_EffectWorld w{};
    ASSERT_EQ(v2->PF_NewWorld(ref(), 8, 8, false, PF_PixelFormat_ARGB32, &w), PF_Err_NONE);
    std::string leaks = host.LeakReport();
    EXPECT_NE(leaks.find("1048576 bytes"), std::string::npos) << leaks;
    EXPECT_NE(leaks.find("8x8 'argb'"), std::string::npos) << leaks;
    utils.host_dispose_handle(h);
    PF_EffectWorld copy = w;
    ASSERT_EQ(v2->PF_DisposeWorld(ref(), &w), PF_Err_NONE);
    EXPECT_EQ(v2->PF_DisposeWorld(ref(), &copy), PF_Err_BAD_CALLBACK_PARAM);
    utils.host_dispose_handle(h);
    EXPECT_EQ(host.Violations().size(), 2u);
}

// The colour conversion goes uncounted while nothing is armed for it, but a failure armed for it still
// comes on the use it names, and a reference the host never gave is still refused.
TEST_F(ProductionHost, ColourConversionFailsWhenToldAndChecksItsReference) {
    PF_Pixel p{255, 10, 200, 30};
    PF_Fixed hls[3] = {}, want[3] = {};
    host::RGBtoHLS(p, want);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(utils.colorCB.RGBtoHLS(ref(), &p, hls), PF_Err_NONE);
    EXPECT_EQ(std::vector<PF_Fixed>(hls, hls + 3), std::vector<PF_Fixed>(want, want + 3));
    EXPECT_EQ(host.Faults().Uses(host::Fault::RGBtoHLS), 0);
    host.Faults().Inject(host::Fault::RGBtoHLS, 2, PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(utils.colorCB.RGBtoHLS(ref(), &p, hls), PF_Err_NONE);
    EXPECT_EQ(utils.colorCB.RGBtoHLS(ref(), &p, hls), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(utils.colorCB.RGBtoHLS(ref(), &p, hls), PF_Err_NONE);
    EXPECT_EQ(host.Faults().Uses(host::Fault::RGBtoHLS), 3);
    host.Faults().Clear();
    int foreign = 0;
    EXPECT_EQ(utils.colorCB.RGBtoHLS(reinterpret_cast<PF_ProgPtr>(&foreign), &p, hls),
              PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(utils.colorCB.RGBtoHLS(ref(), nullptr, hls), PF_Err_BAD_CALLBACK_PARAM);
    ASSERT_EQ(host.Violations().size(), 1u);
    host.ClearViolations();
}

TEST_F(ProductionHost, RendersTakeNoCopyOfTheInputAndLeaveTheOutputUnpoisoned) {
    host::Instance fx(host, host::Plugin::Wrap(&fake::Entry, fake::Pipl()));
    fake::behaviour = {};
    ASSERT_EQ(fx.ParamsSetup(), PF_Err_NONE);
    host::World input(host, 64, 64, PF_PixelFormat_ARGB64);
    host::World output(host, 64, 64, PF_PixelFormat_ARGB64);
    input.FillBytes(0x21);
    output.FillBytes(0x42);
    host.Faults().Inject(host::Fault::HostMemory, 1, PF_Err_OUT_OF_MEMORY, true); // any host memory fails
    fake::behaviour.skipOutput = true;
    ASSERT_EQ(fx.Render(input, output), PF_Err_NONE);
    EXPECT_EQ(host.Faults().Uses(host::Fault::HostMemory), 0);
    for (std::uint8_t b : output.Pixels())
        ASSERT_EQ(b, 0x42);
    host.Faults().Clear();
    fake::behaviour = {};
}

TEST(BlockPool, NeverHoldsMoreThanTheMostEverLiveAndReusesEqualSizes) {
    host::BlockPool pool;
    std::mt19937 random(7);
    std::vector<std::pair<std::uint8_t*, std::size_t>> live;
    const std::size_t sizes[] = {4096, 8192, 65536, 1 << 20, 3 << 20};
    for (int step = 0; step < 2000; ++step) {
        if (live.empty() || random() % 2) {
            std::size_t bytes = sizes[random() % 5];
            live.emplace_back(pool.Take(bytes, true), bytes);
            std::memset(live.back().first, 0x5A, bytes);
        } else {
            std::size_t i = random() % live.size();
            pool.Give(live[i].first, live[i].second, true);
            live.erase(live.begin() + std::ptrdiff_t(i));
        }
        host::PoolStats s = pool.Stats();
        ASSERT_LE(s.liveBytes + s.pooledBytes, s.highWater) << step;
    }
    EXPECT_GT(pool.Stats().reused, 500u);
    for (auto& [block, bytes] : live)
        pool.Give(block, bytes, true);
    pool.Trim();
    EXPECT_EQ(pool.Stats().pooledBytes, 0u);
}

} // namespace
} // namespace tovrin::test
