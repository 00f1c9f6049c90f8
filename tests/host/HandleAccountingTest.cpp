// The host's handles: accounting, leak report, guards, and refused allocations and locks.
#include <cstring>

#include "tests/host/HostFixture.h"

namespace tovrin::test {
namespace {

using HandleAccounting = HostTest;

TEST_F(HandleAccounting, CountsLiveHandlesAndBytesUntilDisposed) {
    PF_Handle a = utils.host_new_handle(24);
    PF_Handle b = utils.host_new_handle(100);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(host.Handles().live, 2u);
    EXPECT_EQ(host.Handles().liveBytes, 124u);
    EXPECT_EQ(utils.host_get_handle_size(b), 100u);
    EXPECT_NE(host.LeakReport().find("100 bytes"), std::string::npos);

    void* p = utils.host_lock_handle(a);
    ASSERT_EQ(p, *a); // a locked handle's pointer is its master pointer
    std::memset(p, 7, 24);
    utils.host_unlock_handle(a);
    utils.host_dispose_handle(a);
    utils.host_dispose_handle(b);
    EXPECT_EQ(host.Handles().live, 0u);
    EXPECT_EQ(host.Handles().liveBytes, 0u);
    EXPECT_EQ(host.Handles().peakBytes, 124u);
    EXPECT_TRUE(host.LeakReport().empty());
    EXPECT_TRUE(host.Violations().empty());
}

TEST_F(HandleAccounting, TheHandleSuiteSharesTheUtilityHandles) {
    auto* suite = Acquire<PF_HandleSuite1>(kPFHandleSuite, kPFHandleSuiteVersion1);
    ASSERT_NE(suite, nullptr);
    PF_Handle h = suite->host_new_handle(8);
    EXPECT_EQ(utils.host_get_handle_size(h), 8u);
    PF_Handle moved = h;
    ASSERT_EQ(suite->host_resize_handle(64, &moved), PF_Err_NONE);
    EXPECT_EQ(suite->host_get_handle_size(moved), 64u);
    utils.host_dispose_handle(moved);
    Release(kPFHandleSuite, kPFHandleSuiteVersion1);
    EXPECT_TRUE(host.LeakReport().empty());
}

TEST_F(HandleAccounting, WritingPastAHandleIsReportedAtDisposal) {
    PF_Handle h = utils.host_new_handle(16);
    auto* p = static_cast<unsigned char*>(utils.host_lock_handle(h));
    p[16] = 0; // one byte too far
    utils.host_unlock_handle(h);
    utils.host_dispose_handle(h);
    ASSERT_EQ(host.Violations().size(), 1u);
    EXPECT_NE(host.Violations()[0].find("overwritten"), std::string::npos);
}

TEST_F(HandleAccounting, DisposingTwiceOrAForeignHandleIsReported) {
    PF_Handle h = utils.host_new_handle(4);
    utils.host_dispose_handle(h);
    utils.host_dispose_handle(h);
    void* foreign = nullptr;
    EXPECT_EQ(utils.host_lock_handle(&foreign), nullptr);
    EXPECT_EQ(host.Violations().size(), 2u);
    utils.host_dispose_handle(nullptr); // null is not a handle and not an error
    EXPECT_EQ(host.Violations().size(), 2u);
}

TEST_F(HandleAccounting, RefusesTheNthAllocationAndLockOnly) {
    host.Faults().Inject(host::Fault::NewHandle, 2);
    PF_Handle first = utils.host_new_handle(1);
    EXPECT_EQ(utils.host_new_handle(1), nullptr);
    PF_Handle third = utils.host_new_handle(1);
    EXPECT_TRUE(first && third);

    host.Faults().Inject(host::Fault::LockHandle, 1);
    EXPECT_EQ(utils.host_lock_handle(first), nullptr);
    EXPECT_NE(utils.host_lock_handle(first), nullptr);
    EXPECT_EQ(host.Handles().refused, 2u);
    utils.host_dispose_handle(first);
    utils.host_dispose_handle(third);
    EXPECT_EQ(host.Handles().live, 0u);
}

TEST_F(HandleAccounting, FreshHandleBytesCarryThePoison) {
    PF_Handle h = utils.host_new_handle(8);
    auto* p = static_cast<unsigned char*>(*h);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(p[i], host.settings().poisonByte);
    utils.host_dispose_handle(h);
}

} // namespace
} // namespace tovrin::test
