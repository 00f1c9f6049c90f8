// The allocator takes every block from a locked host handle and gives it back.
#include <new>
#include <thread>

#include "share/AEUtil/Allocator.h"
#include "tests/aeutil/FrameworkFixture.h"

using AllocatorTest = FrameworkTest;

TEST_F(AllocatorTest, BlocksAreHostHandlesThatGoBackOnRelease) {
    const std::size_t before = hostPtr->Handles().live;
    void* p = AEUtil::Allocate(100);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(hostPtr->Handles().live, before + 1);
    EXPECT_EQ(hostPtr->Handles().liveBytes, 132u) << "n + 32 bytes";
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 16, 0u);
    AEUtil::Release(p);
    EXPECT_EQ(hostPtr->Handles().live, before);
}

TEST_F(AllocatorTest, ZeroBytesAndNullReleaseDoNothing) {
    EXPECT_EQ(AEUtil::Allocate(0), nullptr);
    AEUtil::Release(nullptr);
    EXPECT_EQ(hostPtr->Handles().live, 0u);
}

TEST_F(AllocatorTest, NothingIsAllocatedBeforeTheHolderExists) {
    AEUtil::SetGlobalSuites(nullptr);
    EXPECT_EQ(AEUtil::Allocate(16), nullptr);
    AEUtil::SetGlobalSuites(&*holder);
}

TEST_F(AllocatorTest, ARefusedHandleOrLockRecordsOutOfMemoryAndThrows) {
    hostPtr->Faults().Inject(host::Fault::NewHandle, 1);
    EXPECT_THROW(AEUtil::Allocate(8), std::bad_alloc);
    EXPECT_EQ(AEUtil::FirstPendingError(), PF_Err_OUT_OF_MEMORY);

    AEUtil::ClearPendingErrors();
    hostPtr->Faults().Inject(host::Fault::LockHandle, 1);
    EXPECT_THROW(AEUtil::Allocate(8), std::bad_alloc);
    EXPECT_EQ(AEUtil::FirstPendingError(), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(hostPtr->Handles().live, 0u) << "the unlockable handle is disposed of";
}

TEST_F(AllocatorTest, ContainersAndObjectsUseTheHost) {
    {
        AEUtil::Vector<int> v;
        v.resize(1000);
        auto object = AEUtil::MakeUnique<double>(2.5);
        EXPECT_GE(hostPtr->Handles().live, 2u);
    }
    EXPECT_EQ(hostPtr->Handles().live, 0u);
}

TEST_F(AllocatorTest, PendingErrorsKeepTheEarliestCodePerThread) {
    AEUtil::RecordPendingError(PF_Err_OUT_OF_MEMORY);
    AEUtil::RecordPendingError(PF_Err_INTERNAL_STRUCT_DAMAGED);
    AEUtil::RecordPendingError(PF_Err_NONE);
    EXPECT_EQ(AEUtil::FirstPendingError(), PF_Err_OUT_OF_MEMORY);
    PF_Err seenElsewhere = -1;
    std::thread([&] { seenElsewhere = AEUtil::FirstPendingError(); }).join();
    EXPECT_EQ(seenElsewhere, PF_Err_NONE) << "another thread's command has its own list";
    for (int i = 0; i < 1000; ++i)
        AEUtil::RecordPendingError(513);
    EXPECT_EQ(AEUtil::FirstPendingError(), PF_Err_OUT_OF_MEMORY) << "a full list keeps its first entry";
    AEUtil::ClearPendingErrors();
    EXPECT_EQ(AEUtil::FirstPendingError(), PF_Err_NONE);
}
