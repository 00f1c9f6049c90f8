// Every command code the host can send reaches its own handler through EntryPointFunc: each handled
// command leaves the mark only its handler leaves, and the commands the effect ignores leave none. (The
// option dialog's command is driven through the dialog in the option dialog's tests.)
#include <cstring>
#include <set>
#include <vector>

#include "host/World.h"
#include "tests/support/PluginFixture.h"

namespace {

class DispatchTest : public PluginTest {
protected:
    // What any handler could leave behind in the host.
    struct Marks {
        A_long paramCount;
        int uiUpdates;
        std::size_t worldsCreated;
        std::size_t handlesCreated;
        PF_Handle sequenceData;
        std::size_t progressCalls;
        bool operator==(const Marks&) const = default;
    };
    Marks Now() const {
        return Marks{instance->ParamCount(),    instance->UpdateParamUICalls(),
                     hostPtr->Worlds().created, hostPtr->Handles().created,
                     instance->SequenceData(),  instance->ProgressCalls().size()};
    }
    // The output record as Instance::Send hands it over, before any handler writes into it.
    PF_OutData FreshOutData() const {
        PF_OutData o{};
        o.sequence_data = instance->SequenceData();
        o.global_data = instance->GlobalData();
        o.num_params = instance->ParamCount();
        return o;
    }
    static bool NotPoison(const std::vector<std::uint8_t>& pixels, std::uint8_t poison) {
        for (std::uint8_t b : pixels)
            if (b != poison)
                return true;
        return false;
    }
};

TEST_F(DispatchTest, CommandsTheEffectIgnoresLeaveNoMark) {
    ASSERT_EQ(instance->Apply(), PF_Err_NONE);
    host::World output(*hostPtr, 8, 6, PF_PixelFormat_ARGB32);
    output.FillBytes(0x5A);
    // A full parameter array and an output, so that a command routed to a handler that uses them shows.
    std::vector<PF_ParamDef> records;
    for (PF_ParamIndex i = 0; i < instance->ParamCount(); ++i)
        records.push_back(instance->Param(i));
    std::vector<PF_ParamDef*> params;
    for (PF_ParamDef& r : records)
        params.push_back(&r);

    const std::set<PF_Cmd> handled = {
        PF_Cmd_ABOUT,          PF_Cmd_GLOBAL_SETUP,     PF_Cmd_GLOBAL_SETDOWN,   PF_Cmd_PARAMS_SETUP,
        PF_Cmd_SEQUENCE_SETUP, PF_Cmd_SEQUENCE_RESETUP, PF_Cmd_SEQUENCE_FLATTEN, PF_Cmd_SEQUENCE_SETDOWN,
        PF_Cmd_DO_DIALOG,      PF_Cmd_RENDER,           PF_Cmd_UPDATE_PARAMS_UI, PF_Cmd_SMART_PRE_RENDER,
        PF_Cmd_SMART_RENDER};
    std::vector<PF_Cmd> ignored;
    for (PF_Cmd cmd = 0; cmd <= 40; ++cmd)
        if (!handled.count(cmd))
            ignored.push_back(cmd);
    ASSERT_EQ(ignored.size(), 28u) << "2, 10, 12, 13, 15 to 22 and 25 to 40";

    const std::vector<std::uint8_t> outputBefore = output.Pixels();
    for (PF_Cmd cmd : ignored) {
        SCOPED_TRACE(cmd);
        const Marks before = Now();
        const PF_OutData expected = FreshOutData();
        PF_OutData out;
        EXPECT_EQ(instance->Send(cmd, params.data(), output.get(), nullptr, &out), PF_Err_NONE);
        EXPECT_EQ(std::memcmp(&out, &expected, sizeof out), 0) << "the output record is untouched";
        EXPECT_TRUE(Now() == before);
        EXPECT_EQ(output.Pixels(), outputBefore);
    }
    EXPECT_EQ(instance->SequenceSetdown(), PF_Err_NONE);
}

TEST_F(DispatchTest, EachHandledCommandLeavesItsOwnMark) {
    PF_OutData out;
    ASSERT_EQ(instance->Send(PF_Cmd_GLOBAL_SETUP, nullptr, nullptr, nullptr, &out), PF_Err_NONE);
    EXPECT_EQ(out.my_version, 0x00081602u);
    EXPECT_EQ(static_cast<A_u_long>(out.out_flags), 0x06000470u);

    ASSERT_EQ(instance->Send(PF_Cmd_ABOUT, nullptr, nullptr, nullptr, &out), PF_Err_NONE);
    EXPECT_EQ(std::strncmp(out.return_msg, "Tovrin 1.0.2", 12), 0);

    ASSERT_EQ(instance->ParamsSetup(), PF_Err_NONE);
    EXPECT_EQ(instance->ParamCount(), 30);
    EXPECT_EQ(instance->LastOutData().num_params, 30);

    ASSERT_EQ(instance->SequenceSetup(), PF_Err_NONE);
    ASSERT_NE(instance->SequenceData(), nullptr);
    EXPECT_EQ(instance->SequenceBytes().size(), 24u);
    std::vector<std::uint8_t> flat;
    ASSERT_EQ(instance->SequenceFlatten(&flat), PF_Err_NONE);
    ASSERT_EQ(flat.size(), 24u);
    EXPECT_EQ(flat[4], 1) << "the flat form's marker";
    ASSERT_EQ(instance->SequenceResetup(), PF_Err_NONE);
    EXPECT_EQ(instance->SequenceBytes()[4], 0) << "the record in memory again";

    const int uiUpdates = instance->UpdateParamUICalls();
    ASSERT_EQ(instance->UpdateParamsUI(), PF_Err_NONE);
    EXPECT_GT(instance->UpdateParamUICalls(), uiUpdates);

    const Marks before = Now();
    EXPECT_EQ(instance->QueryDynamicFlags(), PF_Err_NONE);
    EXPECT_TRUE(Now() == before);

    instance->SetFloat(instance->IndexOfName("Blur Amount"), 3);
    host::World input(*hostPtr, 8, 6, PF_PixelFormat_ARGB64);
    input.FillBytes(0x21);
    host::World classic(*hostPtr, 8, 6, PF_PixelFormat_ARGB64, false);
    ASSERT_EQ(instance->Render(input, classic), PF_Err_NONE);
    EXPECT_TRUE(NotPoison(classic.Pixels(), hostPtr->settings().poisonByte));

    host::PreRenderResult pre;
    ASSERT_EQ(instance->SmartPreRender(input, &pre), PF_Err_NONE);
    EXPECT_NE(pre.output.pre_render_data, nullptr);
    ASSERT_EQ(pre.layerRequests.size(), 1u);
    EXPECT_EQ(pre.layerRequests[0].preserve_rgb_of_zero_alpha, 1);
    host::World smart(*hostPtr, 8, 6, PF_PixelFormat_ARGB64, false);
    ASSERT_EQ(instance->SmartRender(input, smart), PF_Err_NONE);
    EXPECT_EQ(smart.Pixels(), classic.Pixels());

    ASSERT_EQ(instance->SequenceSetdown(), PF_Err_NONE);
    EXPECT_EQ(instance->SequenceData(), nullptr);
    ASSERT_EQ(instance->GlobalSetdown(), PF_Err_NONE);
    EXPECT_EQ(hostPtr->SuitesHeld(), 0) << "the teardown gave every suite back";
    EXPECT_EQ(hostPtr->Handles().live, 0u);
}

TEST_F(DispatchTest, SmartRenderWithoutPreRenderDataIsRefused) {
    ASSERT_EQ(instance->Apply(), PF_Err_NONE);
    host::World input(*hostPtr, 4, 4, PF_PixelFormat_ARGB64);
    host::World output(*hostPtr, 4, 4, PF_PixelFormat_ARGB64);
    EXPECT_EQ(instance->SmartRender(input, output), PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(instance->SequenceSetdown(), PF_Err_NONE);
}

} // namespace
