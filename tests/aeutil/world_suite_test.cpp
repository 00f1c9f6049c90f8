// Host worlds behind reference-counted handles.
#include "share/AEUtil/AEException.h"
#include "share/AEUtil/AEWorldSuite.h"
#include "tests/aeutil/FrameworkFixture.h"

using WorldSuiteTest = FrameworkTest;

TEST_F(WorldSuiteTest, ThreeHandlesDisposeTheWorldOnceWhicheverGoesLast) {
    for (int order = 0; order < 6; ++order) {
        AEUtil::EffectWorldPtr handles[3];
        handles[0] = AEUtil::WorldSuite::newWorld(in_data.effect_ref, 7, 5, 0, PF_PixelFormat_ARGB64);
        handles[1] = handles[0];
        handles[2] = AEUtil::EffectWorldPtr(handles[1]);
        EXPECT_EQ(handles[0].use_count(), 3u);
        EXPECT_EQ(hostPtr->Worlds().livePluginWorlds, 1u);
        static const int orders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
        handles[orders[order][0]].reset();
        handles[orders[order][1]].reset();
        EXPECT_EQ(hostPtr->Worlds().livePluginWorlds, 1u);
        handles[orders[order][2]].reset();
        EXPECT_EQ(hostPtr->Worlds().livePluginWorlds, 0u);
        handles[orders[order][2]].reset(); // an empty handle does nothing
    }
}

TEST_F(WorldSuiteTest, ARefusedWorldRaisesTheHostCodeAndLeavesNothing) {
    hostPtr->Faults().Inject(host::Fault::NewWorld, 1, PF_Err_OUT_OF_MEMORY);
    try {
        AEUtil::WorldSuite::newWorld(in_data.effect_ref, 7, 5, 0, PF_PixelFormat_ARGB32);
        FAIL() << "the refusal must be raised";
    } catch (const AEUtil::AEException& e) {
        EXPECT_EQ(e.Error(), PF_Err_OUT_OF_MEMORY);
        EXPECT_STREQ(e.what(), ".\\share\\AEUtil\\AEWorldSuite(151): AEUtil::EffectWorldPtr "
                               "AEUtil::WorldSuite::newWorld(PF_ProgressInfo *, long, long, char, long)");
    }
    EXPECT_EQ(hostPtr->Worlds().livePluginWorlds, 0u);
    EXPECT_EQ(hostPtr->Handles().live, 0u);
}

TEST_F(WorldSuiteTest, WithoutVersionTwoIntegerWorldsComeFromVersionOneAndFloatIsRefused) {
    hostPtr->Faults().RefuseSuite("PF World Suite", 2);
    AEUtil::EffectWorldPtr deep =
        AEUtil::WorldSuite::newWorld(in_data.effect_ref, 3, 2, 0, PF_PixelFormat_ARGB64);
    EXPECT_TRUE(deep->world_flags & PF_WorldFlag_DEEP);
    PF_PixelFormat format = 0;
    EXPECT_EQ(AEUtil::QueryPixelFormat(deep.get(), &format), PF_Err_NONE);
    EXPECT_EQ(format, PF_PixelFormat_ARGB64) << "by the deep flag";
    AEUtil::EffectWorldPtr eight =
        AEUtil::WorldSuite::newWorld(in_data.effect_ref, 3, 2, 0, PF_PixelFormat_ARGB32);
    EXPECT_EQ(AEUtil::QueryPixelFormat(eight.get(), &format), PF_Err_NONE);
    EXPECT_EQ(format, PF_PixelFormat_ARGB32);
    try {
        AEUtil::WorldSuite::newWorld(in_data.effect_ref, 3, 2, 0, PF_PixelFormat_ARGB128);
        FAIL() << "version 1 cannot make a float world";
    } catch (const AEUtil::AEException& e) {
        EXPECT_EQ(e.Error(), PF_Err_UNRECOGNIZED_PARAM_TYPE);
    }
}

TEST_F(WorldSuiteTest, FloatWorldsReportTheirFormatThroughVersionTwo) {
    AEUtil::EffectWorldPtr w =
        AEUtil::WorldSuite::newWorld(in_data.effect_ref, 3, 2, 0, PF_PixelFormat_ARGB128);
    PF_PixelFormat format = 0;
    EXPECT_EQ(AEUtil::QueryPixelFormat(w.get(), &format), PF_Err_NONE);
    EXPECT_EQ(format, PF_PixelFormat_ARGB128);
}
