// Every command code the host can send reaches EntryPointFunc and returns the code its handler gives.
#include <set>

#include "host/World.h"
#include "tests/support/PluginFixture.h"

using DispatchTest = PluginTest;

TEST_F(DispatchTest, EveryCommandFromZeroToFortyAnswers) {
    ASSERT_EQ(instance->Apply(), PF_Err_NONE);
    host::World input(*hostPtr, 8, 6, PF_PixelFormat_ARGB32);
    host::World output(*hostPtr, 8, 6, PF_PixelFormat_ARGB32);

    // Apply sent global, parameter and sequence setup. Commands that need records of their own go
    // through the host's own calls.
    EXPECT_EQ(instance->SequenceFlatten(), PF_Err_NONE);
    EXPECT_EQ(instance->SequenceResetup(), PF_Err_NONE);
    EXPECT_EQ(instance->Render(input, output), PF_Err_NONE);
    EXPECT_EQ(instance->UserChangedParam(1), PF_Err_NONE);
    EXPECT_EQ(instance->UpdateParamsUI(), PF_Err_NONE);
    EXPECT_EQ(instance->QueryDynamicFlags(), PF_Err_NONE);
    EXPECT_EQ(instance->SmartRenderFrame(input, output), PF_Err_NONE);

    const std::set<PF_Cmd> handledAbove = {
        PF_Cmd_GLOBAL_SETUP,     PF_Cmd_PARAMS_SETUP,       PF_Cmd_GLOBAL_SETDOWN,   PF_Cmd_SEQUENCE_SETUP,
        PF_Cmd_SEQUENCE_RESETUP, PF_Cmd_SEQUENCE_FLATTEN,   PF_Cmd_SEQUENCE_SETDOWN, PF_Cmd_DO_DIALOG,
        PF_Cmd_RENDER,           PF_Cmd_USER_CHANGED_PARAM, PF_Cmd_SMART_PRE_RENDER, PF_Cmd_SMART_RENDER};
    for (PF_Cmd cmd = 0; cmd <= 40; ++cmd) {
        if (handledAbove.count(cmd))
            continue;
        EXPECT_EQ(instance->Send(cmd), PF_Err_NONE) << "command " << cmd;
    }
    EXPECT_EQ(instance->SequenceSetdown(), PF_Err_NONE);
    EXPECT_EQ(instance->GlobalSetdown(), PF_Err_NONE);
}

TEST_F(DispatchTest, SmartRenderWithoutPreRenderDataIsRefused) {
    ASSERT_EQ(instance->Apply(), PF_Err_NONE);
    host::World input(*hostPtr, 4, 4, PF_PixelFormat_ARGB64);
    host::World output(*hostPtr, 4, 4, PF_PixelFormat_ARGB64);
    EXPECT_EQ(instance->SmartRender(input, output), PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(instance->SequenceSetdown(), PF_Err_NONE);
}
