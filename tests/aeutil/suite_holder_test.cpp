// Suites are acquired once, on first use, and released with the name and version they were taken under.
#include "tests/aeutil/FrameworkFixture.h"

namespace {
long Held(const host::Host& h, const std::string& name, A_long version) {
    for (const host::SuiteUse& use : h.Suites())
        if (use.name == name && use.version == version)
            return use.acquired;
    return 0;
}
} // namespace

using SuiteHolderTest = FrameworkTest;

TEST_F(SuiteHolderTest, AcquiresOnceAndReleasesExactlyWhatItHolds) {
    {
        AEUtil::SuiteHolder local(in_data.pica_basicP);
        EXPECT_EQ(local.ParamUtilsSuite(), local.ParamUtilsSuite());
        EXPECT_EQ(Held(*hostPtr, "PF Param Utils Suite", 2), 1);
    }
    EXPECT_EQ(Held(*hostPtr, "PF Param Utils Suite", 2), 0);
}

TEST_F(SuiteHolderTest, MissingSuitesAndBasicSuiteRaiseTheSuiteFailure) {
    EXPECT_THROW(AEUtil::SuiteHolder(nullptr), A_long);
    hostPtr->Faults().RefuseSuite("PF Param Utils Suite", 2);
    AEUtil::SuiteHolder local(in_data.pica_basicP);
    try {
        local.ParamUtilsSuite();
        FAIL() << "no suite, no pointer";
    } catch (A_long code) {
        EXPECT_EQ(code, PF_Err_BAD_CALLBACK_PARAM);
    }
    EXPECT_THROW(AEUtil::SuiteHolder::IndexOf("No Such Suite", 1), A_long);
}

TEST_F(SuiteHolderTest, TheTableNamesTheUsedSuitesWithTheirAcquireNumbers) {
    EXPECT_NO_THROW(AEUtil::SuiteHolder::IndexOf("PF Handle Suite", 2));
    EXPECT_NO_THROW(AEUtil::SuiteHolder::IndexOf("PF AE App Suite", 6));
    EXPECT_NO_THROW(AEUtil::SuiteHolder::IndexOf("PF World Transform Suite", 1));
    EXPECT_EQ(AEUtil::kSuiteEntries.size(), 101u);
}

TEST_F(SuiteHolderTest, RenderEngineAsksOnlyAfterEffects) {
    hostPtr->settings().renderEngine = true;
    in_data.appl_id = host::kPremiere;
    EXPECT_FALSE(AEUtil::IsRenderEngine(&in_data));
    EXPECT_EQ(Held(*hostPtr, "PF AE App Suite", 6), 0);
    for (const host::SuiteUse& use : hostPtr->Suites())
        EXPECT_NE(use.name, "PF AE App Suite") << "not even asked";
    in_data.appl_id = host::kAfterEffects;
    EXPECT_TRUE(AEUtil::IsRenderEngine(&in_data));
    hostPtr->settings().renderEngine = false;
    EXPECT_FALSE(AEUtil::IsRenderEngine(&in_data));
    EXPECT_EQ(Held(*hostPtr, "PF AE App Suite", 6), 0) << "the local holder gave it back";
}
