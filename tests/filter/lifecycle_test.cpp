// The effect's process-wide lifecycle as a host sees it through EntryPointFunc.
#include <string>

#include "host/World.h"
#include "tests/support/PluginFixture.h"

using LifecycleTest = PluginTest;

TEST_F(LifecycleTest, FirstCommandNeedNotBeGlobalSetup) {
    std::string message;
    EXPECT_EQ(instance->About(&message), PF_Err_NONE);
    EXPECT_EQ(message.rfind("Tovrin 1.0.2 Release\r\r", 0), 0u) << message;
}

TEST_F(LifecycleTest, SetdownWithoutSetupSucceedsAndLeavesNothing) {
    EXPECT_EQ(instance->GlobalSetdown(), PF_Err_NONE);
    EXPECT_EQ(hostPtr->LeakReport(), "");
}

TEST_F(LifecycleTest, ANewLifecycleAfterSetdownGivesTheSameParameters) {
    ASSERT_EQ(instance->Apply(), PF_Err_NONE);
    const A_long first = instance->LastOutData().num_params;
    ASSERT_EQ(instance->SequenceSetdown(), PF_Err_NONE);
    ASSERT_EQ(instance->GlobalSetdown(), PF_Err_NONE);
    EXPECT_EQ(hostPtr->Handles().live, 0u) << hostPtr->LeakReport();

    host::Instance again(*hostPtr, plugin);
    ASSERT_EQ(again.GlobalSetup(), PF_Err_NONE);
    ASSERT_EQ(again.ParamsSetup(), PF_Err_NONE);
    EXPECT_EQ(again.LastOutData().num_params, first);
    for (PF_ParamIndex i = 1; i < again.ParamCount(); ++i)
        EXPECT_EQ(again.Param(i).uu.id, instance->Param(i).uu.id) << "index " << i;
    EXPECT_EQ(again.GlobalSetdown(), PF_Err_NONE);
}

TEST_F(LifecycleTest, AMissingSuiteFailsTheSetupAndTheNextCommandRetries) {
    hostPtr->Faults().RefuseSuite("PF Handle Suite", 2);
    EXPECT_EQ(instance->Send(PF_Cmd_GLOBAL_SETUP), PF_Err_BAD_CALLBACK_PARAM);
    hostPtr->Faults().AllowSuite("PF Handle Suite", 2);
    EXPECT_EQ(instance->GlobalSetup(), PF_Err_NONE);
}

TEST_F(LifecycleTest, ARefusedHandleFailsTheCommandThatNeededItAndTheNextOneSucceeds) {
    hostPtr->Faults().Inject(host::Fault::NewHandle, 1);
    EXPECT_EQ(instance->GlobalSetup(), PF_Err_NONE) << "the setup needs no memory";
    ASSERT_EQ(instance->ParamsSetup(), PF_Err_NONE);
    EXPECT_EQ(instance->SequenceSetup(), PF_Err_OUT_OF_MEMORY);
    hostPtr->Faults().Clear();
    EXPECT_EQ(instance->SequenceSetup(), PF_Err_NONE);
    EXPECT_EQ(instance->SequenceSetdown(), PF_Err_NONE);
}

TEST_F(LifecycleTest, EveryAllocationIsAHostHandleAndTeardownReturnsThemAll) {
    ASSERT_EQ(hostPtr->Handles().live, 0u);
    ASSERT_EQ(instance->Apply(), PF_Err_NONE);
    instance->SetFloat(instance->IndexOfName("Blur Amount"), 4);
    host::World input(*hostPtr, 9, 7, PF_PixelFormat_ARGB32);
    host::World output(*hostPtr, 9, 7, PF_PixelFormat_ARGB32, false);
    const std::size_t before = hostPtr->Handles().created;
    ASSERT_EQ(instance->Render(input, output), PF_Err_NONE);
    EXPECT_GT(hostPtr->Handles().created, before) << "the render's plane and tables";
    ASSERT_EQ(instance->SequenceSetdown(), PF_Err_NONE);
    ASSERT_EQ(instance->GlobalSetdown(), PF_Err_NONE);
    EXPECT_EQ(hostPtr->Handles().live, 0u) << hostPtr->LeakReport();
    EXPECT_EQ(hostPtr->SuitesHeld(), 0);
}
