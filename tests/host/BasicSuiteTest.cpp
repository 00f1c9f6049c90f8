// The basic suite: counted acquisitions, the served table layouts, refused suites, and unserved slots.
#include <cstring>

#include "host/HostError.h"

#include "tests/host/HostFixture.h"

namespace tovrin::test {
namespace {

using BasicSuite = HostTest;

TEST_F(BasicSuite, CountsAcquisitionsAndReportsSuitesStillHeld) {
    SPBasicSuite* basic = host.BasicSuite();
    const void* a = nullptr;
    const void* b = nullptr;
    ASSERT_EQ(basic->AcquireSuite(kPFHandleSuite, kPFHandleSuiteVersion1, &a), kSPNoError);
    ASSERT_EQ(basic->AcquireSuite(kPFHandleSuite, kPFHandleSuiteVersion1, &b), kSPNoError);
    EXPECT_EQ(a, b);
    EXPECT_EQ(host.SuitesHeld(), 2);
    EXPECT_EQ(basic->ReleaseSuite(kPFHandleSuite, kPFHandleSuiteVersion1), kSPNoError);
    EXPECT_NE(host.LeakReport().find("\"PF Handle Suite\" 2"), std::string::npos);
    EXPECT_EQ(basic->ReleaseSuite(kPFHandleSuite, kPFHandleSuiteVersion1), kSPNoError);
    EXPECT_TRUE(host.LeakReport().empty());
    EXPECT_EQ(basic->ReleaseSuite(kPFHandleSuite, kPFHandleSuiteVersion1), kSPBadParameterError);
    EXPECT_EQ(host.Violations().size(), 1u);
}

TEST_F(BasicSuite, ServesExactlyTheVersionsOfThePublicNumbering) {
    SPBasicSuite* basic = host.BasicSuite();
    struct Case {
        const char* name;
        A_long version;
        bool served;
    } cases[] = {
        {kPFHandleSuite, 2, true},      {kPFHandleSuite, 1, false},        {kPFWorldSuite, 1, true},
        {kPFWorldSuite, 2, true},       {kPFWorldTransformSuite, 1, true}, {kPFParamUtilsSuite, 2, true},
        {kPFParamUtilsSuite, 1, false}, {kPFParamUtilsSuite, 3, false},    {kPFAppSuite, 6, true},
        {kPFAppSuite, 1, false},        {"PF Unknown Suite", 1, false}};
    for (const Case& c : cases) {
        const void* suite = reinterpret_cast<const void*>(1);
        SPErr err = basic->AcquireSuite(c.name, c.version, &suite);
        EXPECT_EQ(err == kSPNoError, c.served) << c.name << " " << c.version;
        if (c.served)
            basic->ReleaseSuite(c.name, c.version);
        else {
            EXPECT_EQ(err, kSPSuiteNotFoundError);
            EXPECT_EQ(suite, nullptr);
        }
    }
}

TEST_F(BasicSuite, ARefusedSuiteIsMissingUntilAllowed) {
    host.Faults().RefuseSuite(kPFParamUtilsSuite, kPFParamUtilsSuiteVersion1);
    const void* suite = nullptr;
    EXPECT_EQ(host.BasicSuite()->AcquireSuite(kPFParamUtilsSuite, 2, &suite), kSPSuiteNotFoundError);
    EXPECT_EQ(host.BasicSuite()->AcquireSuite(kPFWorldSuite, 2, &suite), kSPNoError);
    host.BasicSuite()->ReleaseSuite(kPFWorldSuite, 2);
    host.Faults().AllowSuite(kPFParamUtilsSuite, kPFParamUtilsSuiteVersion1);
    EXPECT_EQ(host.BasicSuite()->AcquireSuite(kPFParamUtilsSuite, 2, &suite), kSPNoError);
    host.BasicSuite()->ReleaseSuite(kPFParamUtilsSuite, 2);
}

TEST_F(BasicSuite, AppSuiteAnswersRenderEngineAtItsOffset) {
    auto* app = Acquire<PFAppSuite4>(kPFAppSuite, kPFAppSuiteVersion4);
    // The slot at byte 40 is PF_IsRenderEngine in this layout.
    using Fn = PF_Err (*)(PF_Boolean*);
    Fn atForty;
    std::memcpy(&atForty, reinterpret_cast<const char*>(app) + 40, sizeof(atForty));
    PF_Boolean engine = 7;
    ASSERT_EQ(atForty(&engine), PF_Err_NONE);
    EXPECT_EQ(engine, 0);
    host.settings().renderEngine = true;
    ASSERT_EQ(app->PF_IsRenderEngine(&engine), PF_Err_NONE);
    EXPECT_EQ(engine, 1);
    Release(kPFAppSuite, kPFAppSuiteVersion4);
}

TEST_F(BasicSuite, UnservedSlotsFailLoudly) {
    auto* app = Acquire<PFAppSuite4>(kPFAppSuite, kPFAppSuiteVersion4);
    EXPECT_EQ(app->PF_SetCursor(0), PF_Err_INVALID_CALLBACK);
    EXPECT_EQ(utils.fill(ref(), nullptr, nullptr, nullptr), PF_Err_INVALID_CALLBACK);
    EXPECT_EQ(in.inter.register_ui(ref(), nullptr), PF_Err_INVALID_CALLBACK);
    EXPECT_EQ(host.BasicSuite()->Undefined(), kSPUnimplementedError);
    ASSERT_EQ(host.Violations().size(), 4u);
    EXPECT_NE(host.Violations()[0].find("PF_SetCursor"), std::string::npos);
    EXPECT_NE(host.Violations()[1].find("fill"), std::string::npos);
    Release(kPFAppSuite, kPFAppSuiteVersion4);
}

TEST_F(BasicSuite, OnlyOneHostServesAtATime) {
    EXPECT_EQ(host::Host::Current(), &host);
    EXPECT_THROW(host::Host second, host::HostError);
    EXPECT_EQ(host::Host::Current(), &host);
}

TEST_F(BasicSuite, BlocksAreAccounted) {
    void* block = nullptr;
    ASSERT_EQ(host.BasicSuite()->AllocateBlock(10, &block), kSPNoError);
    EXPECT_FALSE(host.LeakReport().empty());
    ASSERT_EQ(host.BasicSuite()->ReallocateBlock(block, 20, &block), kSPNoError);
    EXPECT_EQ(host.BasicSuite()->FreeBlock(block), kSPNoError);
    EXPECT_TRUE(host.LeakReport().empty());
}

} // namespace
} // namespace tovrin::test
