// Commands through an instance: the PiPL check at global setup, parameters kept by the host, checkouts,
// sequence data ownership, platform data and progress.
#include <cstring>

#include "host/HostError.h"
#include "tests/host/FakeEffect.h"
#include "tests/host/HostFixture.h"

namespace tovrin::test {
namespace {

class InstanceCommands : public ::testing::Test {
protected:
    InstanceCommands()
        : plugin(host::Plugin::Wrap(&fake::Entry, fake::Pipl(), "/plug-ins/Fake.aex")),
          instance(host, plugin) {
        fake::behaviour = {};
    }
    void TearDown() override { EXPECT_EQ(host.LeakReport() + instance.LeakReport(), ""); }
    host::Host host;
    std::shared_ptr<host::Plugin> plugin;
    host::Instance instance;
};

TEST_F(InstanceCommands, GlobalSetupAgreeingWithThePiPLIsAccepted) {
    EXPECT_EQ(instance.GlobalSetup(), PF_Err_NONE);
    EXPECT_EQ(instance.LastOutData().my_version, fake::kVersion);
    std::string about;
    EXPECT_EQ(instance.About(&about), PF_Err_NONE);
    EXPECT_EQ(about, "Fake 1.0");
}

TEST_F(InstanceCommands, APluginDisagreeingWithItsPiPLIsRefusedWithTheReason) {
    fake::behaviour.outFlags = fake::kOutFlags | PF_OutFlag_I_DO_DIALOG;
    try {
        instance.GlobalSetup();
        FAIL() << "accepted";
    } catch (const host::HostError& e) {
        EXPECT_NE(std::string(e.what()).find("'eGLO'"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("Fake"), std::string::npos) << e.what();
    }
}

TEST_F(InstanceCommands, KeepsCopiesOfTheParameterDefinitions) {
    ASSERT_EQ(instance.ParamsSetup(), PF_Err_NONE);
    ASSERT_EQ(instance.ParamCount(), 6);
    EXPECT_EQ(instance.Param(0).param_type, PF_Param_LAYER);
    PF_ParamIndex invert = instance.IndexOfId(fake::kInvert);
    ASSERT_EQ(invert, 2);
    EXPECT_STREQ(instance.Param(invert).u.bd.u.nameptr, "Invert"); // the effect overwrote its own buffer
    EXPECT_STREQ(instance.Param(instance.IndexOfName("Mode")).u.pd.u.namesptr, "One|Two|Three");
    EXPECT_EQ(instance.IndexOfId(999), -1);
    EXPECT_EQ(instance.MakeInData().num_params, 6);

    instance.SetSlider(1, 77);
    instance.SetPopup(3, 3);
    EXPECT_THROW(instance.SetFloat(1, 2.0), host::HostError); // a slider is not a float slider
    EXPECT_EQ(instance.Param(1).u.sd.value, 77);
    instance.ResetParams();
    EXPECT_EQ(instance.Param(1).u.sd.value, 10);
    EXPECT_EQ(instance.Param(3).u.pd.value, 2);
}

TEST_F(InstanceCommands, CheckoutsGiveTheValueAtTheirTimeAndMustBeBalanced) {
    ASSERT_EQ(instance.ParamsSetup(), PF_Err_NONE);
    PF_ParamDefUnion later = instance.Param(1).u;
    later.sd.value = 50;
    instance.SetValueAt(1, 10, later);
    PF_InData in = instance.MakeInData();
    PF_ParamDef before, after;
    ASSERT_EQ(in.inter.checkout_param(in.effect_ref, 1, 9, 1, 30, &before), PF_Err_NONE);
    ASSERT_EQ(in.inter.checkout_param(in.effect_ref, 1, 10, 1, 30, &after), PF_Err_NONE);
    EXPECT_EQ(before.u.sd.value, 50); // before the first keyframe its value holds
    EXPECT_EQ(after.u.sd.value, 50);
    EXPECT_EQ(after.uu.id, fake::kAmount);
    EXPECT_EQ(instance.OutstandingCheckouts(), 2);
    in.inter.checkin_param(in.effect_ref, &before);
    in.inter.checkin_param(in.effect_ref, &after);
    EXPECT_EQ(instance.OutstandingCheckouts(), 0);
    PF_ParamDef zero{};
    in.inter.checkin_param(in.effect_ref, &zero); // as after a failed checkout: tolerated, counted
    EXPECT_EQ(instance.UnmatchedCheckins(), 1);
    EXPECT_EQ(in.inter.checkout_param(in.effect_ref, 6, 0, 1, 30, &before), PF_Err_INVALID_INDEX);
}

TEST_F(InstanceCommands, ALeftOverCheckoutIsAViolation) {
    ASSERT_EQ(instance.ParamsSetup(), PF_Err_NONE);
    fake::behaviour.forgetCheckin = true;
    host::World input(host, 4, 4, PF_PixelFormat_ARGB32), output(host, 4, 4, PF_PixelFormat_ARGB32);
    EXPECT_EQ(instance.Render(input, output), PF_Err_NONE);
    ASSERT_EQ(host.Violations().size(), 1u);
    EXPECT_NE(host.Violations()[0].find("checkout"), std::string::npos);
    PF_ParamDef amount = instance.Param(1);
    PF_InData in = instance.MakeInData();
    in.inter.checkin_param(in.effect_ref, &amount);
}

TEST_F(InstanceCommands, SequenceDataIsKeptFlattenedAndRestored) {
    ASSERT_EQ(instance.SequenceSetup(), PF_Err_NONE);
    PF_Handle live = instance.SequenceData();
    ASSERT_NE(live, nullptr);
    std::vector<std::uint8_t> flat;
    ASSERT_EQ(instance.SequenceFlatten(&flat), PF_Err_NONE);
    EXPECT_EQ(flat.size(), 8u);
    EXPECT_EQ(host.Handles().live, 1u); // the effect freed its live record; the host holds the flat one
    ASSERT_EQ(instance.SequenceResetup(), PF_Err_NONE);
    EXPECT_EQ(host.Handles().live, 1u); // the host let the flat data go once the record was made
    EXPECT_EQ(instance.SequenceBytes()[4], 2);
    ASSERT_EQ(instance.SequenceSetdown(), PF_Err_NONE);
    EXPECT_EQ(instance.SequenceData(), nullptr);
}

TEST_F(InstanceCommands, AFailedResetupLeavesNoStoredDataBehind) {
    host.Faults().Inject(host::Fault::NewHandle, 1); // the record re-setup would make from the stored data
    EXPECT_EQ(instance.SequenceResetup(std::vector<std::uint8_t>(8, 0)), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(instance.SequenceData(), nullptr);
    EXPECT_EQ(host.Handles().live, 0u);
}

TEST_F(InstanceCommands, UnflatDataTheEffectKeepsShowsAsALeak) {
    fake::behaviour.keepUnflatData = true;
    ASSERT_EQ(instance.SequenceSetup(), PF_Err_NONE);
    PF_Handle live = instance.SequenceData();
    ASSERT_EQ(instance.SequenceFlatten(), PF_Err_NONE);
    ASSERT_EQ(instance.SequenceSetdown(), PF_Err_NONE);
    EXPECT_NE(host.LeakReport(), "");
    host.Utils()->host_dispose_handle(live);
}

TEST_F(InstanceCommands, PlatformDataNamesThePluginFile) {
    PF_InData in = instance.MakeInData();
    char path[AEFX_MAX_PATH] = {};
    ASSERT_EQ(in.utils->get_platform_data(in.effect_ref, PF_PlatData_EXE_FILE_PATH_DEPRECATED, path),
              PF_Err_NONE);
    EXPECT_EQ(std::string(path), plugin->AnsiPath());
    EXPECT_NE(std::string(path).find("Fake.aex"), std::string::npos);
    void* window = nullptr;
    ASSERT_EQ(in.utils->get_platform_data(in.effect_ref, PF_PlatData_MAIN_WND, &window), PF_Err_NONE);
#if !defined(_WIN32)
    EXPECT_NE(window, nullptr);
#endif
    plugin->SetFile(std::string(300, 'x'));
    EXPECT_EQ(in.utils->get_platform_data(in.effect_ref, PF_PlatData_EXE_FILE_PATH_DEPRECATED, path),
              PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(path[0], '\0');
}

TEST_F(InstanceCommands, ProgressIsRecordedAndCancelsAtTheNthCall) {
    ASSERT_EQ(instance.ParamsSetup(), PF_Err_NONE);
    host::World input(host, 4, 4, PF_PixelFormat_ARGB32), output(host, 4, 4, PF_PixelFormat_ARGB32);
    EXPECT_EQ(instance.Render(input, output), PF_Err_NONE);
    host.Faults().Inject(host::Fault::Progress, 1);
    EXPECT_EQ(instance.Render(input, output), PF_Interrupt_CANCEL);
    auto calls = instance.ProgressCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], std::make_pair(A_long(1), A_long(2)));
}

TEST_F(InstanceCommands, AForeignEffectReferenceIsRefused) {
    PF_InData in = instance.MakeInData();
    int stranger = 0;
    PF_Pixel p{};
    PF_Fixed hls[3];
    EXPECT_EQ(in.utils->colorCB.RGBtoHLS(reinterpret_cast<PF_ProgPtr>(&stranger), &p, hls),
              PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(host.Violations().size(), 1u);
}

TEST_F(InstanceCommands, AFailedParameterAddStopsTheSetup) {
    host.Faults().Inject(host::Fault::AddParam, 3);
    EXPECT_EQ(instance.ParamsSetup(), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(instance.ParamCount(), 3);
}

} // namespace
} // namespace tovrin::test
