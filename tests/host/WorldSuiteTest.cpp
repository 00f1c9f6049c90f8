// Worlds through World suites 1 and 2, the pixel format query, copies, and the guards around pixels.
#include <cstring>

#include "host/World.h"
#include "tests/host/HostFixture.h"

namespace tovrin::test {
namespace {

class WorldSuite : public HostTest {
protected:
    void SetUp() override {
        v1 = Acquire<PF_WorldSuite1>(kPFWorldSuite, kPFWorldSuiteVersion1);
        v2 = Acquire<PF_WorldSuite2>(kPFWorldSuite, kPFWorldSuiteVersion2);
        transform = Acquire<PF_WorldTransformSuite1>(kPFWorldTransformSuite, kPFWorldTransformSuiteVersion1);
        ASSERT_TRUE(v1 && v2 && transform);
    }
    void TearDown() override {
        Release(kPFWorldSuite, kPFWorldSuiteVersion1);
        Release(kPFWorldSuite, kPFWorldSuiteVersion2);
        Release(kPFWorldTransformSuite, kPFWorldTransformSuiteVersion1);
        EXPECT_TRUE(host.LeakReport().empty()) << host.LeakReport();
    }
    const PF_WorldSuite1* v1 = nullptr;
    const PF_WorldSuite2* v2 = nullptr;
    const PF_WorldTransformSuite1* transform = nullptr;
};

TEST_F(WorldSuite, MakesWorldsOfTheThreeFormatsWithPaddedRows) {
    for (auto [format, size] : {std::pair{PF_PixelFormat_ARGB32, 4}, std::pair{PF_PixelFormat_ARGB64, 8},
                                std::pair{PF_PixelFormat_ARGB128, 16}}) {
        PF_EffectWorld w{};
        ASSERT_EQ(v2->PF_NewWorld(ref(), 7, 5, true, format, &w), PF_Err_NONE);
        EXPECT_EQ(w.width, 7);
        EXPECT_EQ(w.height, 5);
        EXPECT_GT(w.rowbytes, 7 * size); // rows are longer than their pixels
        EXPECT_EQ(w.rowbytes % size, 0);
        EXPECT_EQ((w.world_flags & PF_WorldFlag_DEEP) != 0, format == PF_PixelFormat_ARGB64);
        PF_PixelFormat got = 0;
        ASSERT_EQ(v2->PF_GetPixelFormat(&w, &got), PF_Err_NONE);
        EXPECT_EQ(got, format);
        auto* row = reinterpret_cast<unsigned char*>(w.data) + 4 * w.rowbytes;
        for (int i = 0; i < 7 * size; ++i)
            EXPECT_EQ(row[i], 0); // cleared
        EXPECT_EQ(host.Worlds().livePluginWorlds, 1u);
        ASSERT_EQ(v2->PF_DisposeWorld(ref(), &w), PF_Err_NONE);
        EXPECT_EQ(w.data, nullptr);
    }
    EXPECT_TRUE(host.Violations().empty());
}

TEST_F(WorldSuite, PaddingAndPoisonFollowTheSettingsOfTheMoment) {
    host.settings().rowPaddingBytes = 0;
    host.settings().poisonByte = 0x5A;
    PF_EffectWorld w{};
    ASSERT_EQ(v2->PF_NewWorld(ref(), 3, 2, false, PF_PixelFormat_ARGB128, &w), PF_Err_NONE);
    EXPECT_EQ(w.rowbytes, 3 * 16);
    EXPECT_EQ(reinterpret_cast<unsigned char*>(w.data)[5], 0x5A);
    v2->PF_DisposeWorld(ref(), &w);
    host.settings().rowPaddingBytes = 5; // rounded up to whole pixels
    ASSERT_EQ(v2->PF_NewWorld(ref(), 3, 2, false, PF_PixelFormat_ARGB64, &w), PF_Err_NONE);
    EXPECT_EQ(w.rowbytes, 3 * 8 + 8);
    v2->PF_DisposeWorld(ref(), &w);
    PF_Handle h = utils.host_new_handle(1);
    EXPECT_EQ(*static_cast<unsigned char*>(*h), 0x5A);
    utils.host_dispose_handle(h);
}

TEST_F(WorldSuite, VersionOneMakesEightAndSixteenBitWorlds) {
    PF_EffectWorld deep{}, plain{};
    ASSERT_EQ(v1->new_world(ref(), 3, 3, PF_NewWorldFlag_DEEP_PIXELS, &deep), PF_Err_NONE);
    ASSERT_EQ(v1->new_world(ref(), 3, 3, PF_NewWorldFlag_CLEAR_PIXELS, &plain), PF_Err_NONE);
    PF_PixelFormat f = 0;
    v2->PF_GetPixelFormat(&deep, &f);
    EXPECT_EQ(f, PF_PixelFormat_ARGB64);
    v2->PF_GetPixelFormat(&plain, &f);
    EXPECT_EQ(f, PF_PixelFormat_ARGB32);
    // Without clearing, the pixels hold the poison byte.
    EXPECT_EQ(reinterpret_cast<unsigned char*>(deep.data)[0], host.settings().poisonByte);
    EXPECT_EQ(v1->dispose_world(ref(), &deep), PF_Err_NONE);
    EXPECT_EQ(utils.dispose_world(ref(), &plain), PF_Err_NONE);
}

TEST_F(WorldSuite, RefusesTheNthWorldAndUnknownFormats) {
    host.Faults().Inject(host::Fault::NewWorld, 1, PF_Err_OUT_OF_MEMORY);
    PF_EffectWorld w{};
    EXPECT_EQ(v2->PF_NewWorld(ref(), 4, 4, false, PF_PixelFormat_ARGB32, &w), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(v2->PF_NewWorld(ref(), 4, 4, false, PF_PixelFormat_BGRA32, &w), PF_Err_UNRECOGNIZED_PARAM_TYPE);
    EXPECT_EQ(v2->PF_NewWorld(ref(), -1, 4, false, PF_PixelFormat_ARGB32, &w), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(host.Worlds().livePluginWorlds, 0u);
    EXPECT_EQ(host.Worlds().refused, 1u);
}

TEST_F(WorldSuite, WritingBeyondARowOrDisposingTwiceIsAViolation) {
    PF_EffectWorld w{};
    ASSERT_EQ(v2->PF_NewWorld(ref(), 4, 2, true, PF_PixelFormat_ARGB32, &w), PF_Err_NONE);
    reinterpret_cast<PF_Pixel*>(w.data)[4] = PF_Pixel{1, 2, 3, 4}; // x = width: into the padding
    PF_EffectWorld copy = w;
    ASSERT_EQ(v2->PF_DisposeWorld(ref(), &w), PF_Err_NONE);
    EXPECT_EQ(v2->PF_DisposeWorld(ref(), &copy), PF_Err_BAD_CALLBACK_PARAM);
    ASSERT_EQ(host.Violations().size(), 2u);
    EXPECT_NE(host.Violations()[0].find("padding"), std::string::npos);
}

TEST_F(WorldSuite, CopiesWholeWorldsAndRectanglesRowByRow) {
    host::World src(host, 5, 4, PF_PixelFormat_ARGB64);
    host::World dst(host, 5, 4, PF_PixelFormat_ARGB64);
    for (A_long y = 0; y < 4; ++y)
        for (A_long x = 0; x < 5; ++x)
            src.At16(x, y) = PF_Pixel16{A_u_short(x), A_u_short(y), 7, 8};
    ASSERT_EQ(transform->copy(ref(), src.get(), dst.get(), nullptr, nullptr), PF_Err_NONE);
    EXPECT_EQ(dst.Pixels(), src.Pixels());

    host::World small(host, 2, 2, PF_PixelFormat_ARGB64);
    PF_Rect from{3, 2, 5, 4};
    ASSERT_EQ(utils.copy(ref(), src.get(), small.get(), &from, nullptr), PF_Err_NONE);
    EXPECT_EQ(small.At16(1, 1).alpha, 4);
    EXPECT_EQ(small.At16(1, 1).red, 3);
    ASSERT_EQ(transform->copy_hq(ref(), small.get(), small.get(), nullptr, nullptr), PF_Err_NONE);

    // Different sizes or formats are not copied.
    EXPECT_EQ(transform->copy(ref(), src.get(), small.get(), nullptr, nullptr), PF_Err_BAD_CALLBACK_PARAM);
    host::World eight(host, 5, 4, PF_PixelFormat_ARGB32);
    EXPECT_EQ(utils.copy(ref(), src.get(), eight.get(), nullptr, nullptr), PF_Err_BAD_CALLBACK_PARAM);
    host.Faults().Inject(host::Fault::CopyHQ, 1);
    EXPECT_EQ(transform->copy_hq(ref(), src.get(), dst.get(), nullptr, nullptr), PF_Err_BAD_CALLBACK_PARAM);
    host.Faults().Inject(host::Fault::Copy, 1, PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(transform->copy(ref(), src.get(), dst.get(), nullptr, nullptr), PF_Err_OUT_OF_MEMORY);
    EXPECT_TRUE(host.Violations().empty());
}

// Frame-sized copies between two worlds run in row bands over the workers; every row lands once, in
// place, whatever the thread count, and a copy within one world stays in the safe order.
TEST_F(WorldSuite, LargeCopiesGoInBandsAndLandRowForRow) {
    constexpr A_long kW = 1500, kH = 700; // 16.8 MB of float pixels: above the banding size
    host::World src(host, kW, kH, PF_PixelFormat_ARGB128);
    for (A_long y = 0; y < kH; ++y)
        for (A_long x = 0; x < kW; ++x)
            src.AtFloat(x, y) = PF_PixelFloat{float(x), float(y), 0.5f, 1.0f};
    for (int threads : {1, 2, 3, 7}) {
        host.SetWorkerThreads(threads);
        host::World dst(host, kW, kH, PF_PixelFormat_ARGB128);
        ASSERT_EQ(utils.copy(ref(), src.get(), dst.get(), nullptr, nullptr), PF_Err_NONE);
        EXPECT_EQ(dst.Pixels(), src.Pixels()) << threads << " threads";
        // A rectangle into another place of a second world.
        host::World part(host, kW, kH, PF_PixelFormat_ARGB128);
        PF_Rect from{10, 3, kW - 20, kH - 1}, to{0, 0, kW - 30, kH - 4};
        ASSERT_EQ(utils.copy(ref(), src.get(), part.get(), &from, &to), PF_Err_NONE);
        for (A_long y : {A_long(0), A_long(1), kH / 2, kH - 5})
            for (A_long x : {A_long(0), A_long(7), kW - 31}) {
                EXPECT_EQ(part.AtFloat(x, y).alpha, float(x + 10)) << threads << " threads " << x << "," << y;
                EXPECT_EQ(part.AtFloat(x, y).red, float(y + 3)) << threads << " threads " << x << "," << y;
            }
    }
    // Within one world, downwards by one row: every row is read before it is overwritten.
    host::World same(host, kW, kH, PF_PixelFormat_ARGB128);
    ASSERT_EQ(utils.copy(ref(), src.get(), same.get(), nullptr, nullptr), PF_Err_NONE);
    PF_Rect upper{0, 0, kW, kH - 1}, lower{0, 1, kW, kH};
    ASSERT_EQ(utils.copy(ref(), same.get(), same.get(), &upper, &lower), PF_Err_NONE);
    for (A_long y = 1; y < kH; ++y)
        ASSERT_EQ(same.AtFloat(5, y).red, float(y - 1)) << y;
    EXPECT_TRUE(host.Violations().empty());
}

TEST_F(WorldSuite, WorldsTheHostDidNotMakeAreRefused) {
    PF_EffectWorld stranger{};
    PF_Pixel pixels[4] = {};
    stranger.data = pixels;
    stranger.width = stranger.height = 2;
    stranger.rowbytes = 8;
    PF_PixelFormat f = 0;
    EXPECT_EQ(v2->PF_GetPixelFormat(&stranger, &f), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(v2->PF_DisposeWorld(ref(), &stranger), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(host.Violations().size(), 2u);
}

TEST_F(WorldSuite, APluginWorldLeftUndisposedIsALeak) {
    PF_EffectWorld w{};
    ASSERT_EQ(v2->PF_NewWorld(ref(), 2, 2, false, PF_PixelFormat_ARGB128, &w), PF_Err_NONE);
    EXPECT_NE(host.LeakReport().find("'ae32'"), std::string::npos);
    v2->PF_DisposeWorld(ref(), &w);
}

} // namespace
} // namespace tovrin::test
