// What a render reads: the RenderParams record that SmartFX pre-render fills and hands to the host, and
// the checkouts of the classic render, which must all be checked in again.
#include <cstring>

#include "params/Controls.h"
#include "params/RenderParams.h"
#include "tests/params/ParamsPluginFixture.h"

namespace {

using params_test::ParamsPluginTest;

class RecordTest : public ParamsPluginTest {
protected:
    void SetUp() override {
        ParamsPluginTest::SetUp();
        if (HasFatalFailure())
            return;
        SetUpParams();
        ASSERT_EQ(instance->SequenceSetup(), PF_Err_NONE);
    }

    // The record pre-render filled, copied before the host releases it.
    RenderParams PreRenderRecord() {
        host::World input(*hostPtr, 8, 4, PF_PixelFormat_ARGB32);
        host::PreRenderResult result;
        EXPECT_EQ(instance->SmartPreRender(input, &result), PF_Err_NONE);
        RenderParams copy;
        if (result.output.pre_render_data)
            std::memcpy(static_cast<void*>(&copy), result.output.pre_render_data, sizeof copy);
        instance->ReleasePreRenderData();
        EXPECT_EQ(instance->OutstandingCheckouts(), 0);
        EXPECT_EQ(instance->UnmatchedCheckins(), 0);
        return copy;
    }
};

TEST_F(RecordTest, AFreshInstanceGivesItsDefaults) {
    const RenderParams r = PreRenderRecord();
    EXPECT_EQ(r.blurType, kBlurTypeBox);
    EXPECT_EQ(r.blurAmount, 0.0);
    EXPECT_EQ(r.repeat, 3);
    EXPECT_EQ(r.blurAspect, 0.0);
    EXPECT_EQ(r.brightness, 0.0);
    EXPECT_EQ(r.brightnessGain, 8.0);
    EXPECT_EQ(r.brightnessExponent, 4.0);
    EXPECT_EQ(r.r, 0.0);
    EXPECT_EQ(r.g, 5.0);
    EXPECT_EQ(r.b, 15.0);
    EXPECT_EQ(r.autoAlpha, 1);
    EXPECT_EQ(r.a, 0.0);
    for (const KeyColorParams& key : r.keys) {
        EXPECT_EQ(key.enable, 0);
        EXPECT_EQ(key.color.alpha, 255);
        EXPECT_EQ(key.color.red, 3);
        EXPECT_EQ(key.color.green, 180);
        EXPECT_EQ(key.color.blue, 245);
        EXPECT_EQ(key.range, 0.0);
    }
    EXPECT_EQ(r.mode, kModeNormal);
    EXPECT_EQ(r.invert, 0);
    EXPECT_EQ(r.keepDivision, 1);
}

TEST_F(RecordTest, ValuesArriveAsTheHostHoldsThem) {
    instance->SetCheckbox(Index(KeyEnableId(1)), true);
    instance->SetPopup(Index(kModeId), kModeExtract);
    instance->SetPopup(Index(kBlurTypeId), kBlurTypeGaussian);
    instance->SetColor(Index(KeyColorId(2)), PF_Pixel{255, 10, 20, 30});
    instance->SetFloat(Index(KeyColorRangeId(1)), 25.0);
    // Beyond the sliders, within the valid ranges: accepted, not clamped.
    instance->SetFloat(Index(kBlurAmountId), 500.0);
    instance->SetFloat(Index(kBlurAspectId), -50.0);
    instance->SetSlider(Index(kBlurRepeatNumId), 10);
    instance->SetFloat(Index(kBrightnessId), 12.5);
    instance->SetFloat(Index(kAlphaId), 7.25);
    instance->SetCheckbox(Index(kAutoAlphaId), false);
    instance->SetCheckbox(Index(kInvertId), true);
    instance->SetCheckbox(Index(kKeepDivisionId), false);
    // A checkbox value the host holds as 257 arrives as its low byte.
    instance->MutableParam(Index(KeyEnableId(4))).u.bd.value = 257;

    const RenderParams r = PreRenderRecord();
    EXPECT_EQ(r.keys[0].enable, 1);
    EXPECT_EQ(r.keys[3].enable, 1);
    EXPECT_EQ(r.keys[1].enable, 0);
    EXPECT_EQ(r.mode, kModeExtract);
    EXPECT_EQ(r.blurType, kBlurTypeGaussian);
    EXPECT_EQ(r.keys[1].color.alpha, 255);
    EXPECT_EQ(r.keys[1].color.red, 10);
    EXPECT_EQ(r.keys[1].color.green, 20);
    EXPECT_EQ(r.keys[1].color.blue, 30);
    EXPECT_EQ(r.keys[0].range, 25.0); // percent, not a fraction
    EXPECT_EQ(r.blurAmount, 500.0);
    EXPECT_EQ(r.blurAspect, -50.0);
    EXPECT_EQ(r.repeat, 10);
    EXPECT_EQ(r.brightness, 12.5);
    EXPECT_EQ(r.a, 7.25);
    EXPECT_EQ(r.autoAlpha, 0);
    EXPECT_EQ(r.invert, 1);
    EXPECT_EQ(r.keepDivision, 0);
}

TEST_F(RecordTest, ARepeatCountBeyondItsValidRangeArrivesWithinIt) {
    // A host or a project may hold any 32-bit number; the render counts its passes with this one.
    const struct {
        A_long held, arrives;
    } cases[] = {{2147483647, 10}, {11, 10}, {0, 1}, {-2147483647 - 1, 1}, {7, 7}};
    for (const auto& c : cases) {
        instance->MutableParam(Index(kBlurRepeatNumId)).u.sd.value = c.held;
        EXPECT_EQ(PreRenderRecord().repeat, c.arrives) << c.held;
    }
}

TEST_F(RecordTest, ValuesAreThoseAtTheCommandsTime) {
    PF_ParamDefUnion later = instance->Param(Index(kBlurAmountId)).u;
    instance->SetValueAt(Index(kBlurAmountId), 0, later);
    later.fs_d.value = 40.0;
    instance->SetValueAt(Index(kBlurAmountId), 10, later);
    instance->SetTime(0, 1, 30);
    EXPECT_EQ(PreRenderRecord().blurAmount, 0.0);
    instance->SetTime(12, 1, 30);
    EXPECT_EQ(PreRenderRecord().blurAmount, 40.0);
}

TEST_F(RecordTest, ClassicRenderChecksInWhatItCheckedOut) {
    host::World input(*hostPtr, 8, 4, PF_PixelFormat_ARGB32);
    host::World output(*hostPtr, 8, 4, PF_PixelFormat_ARGB32);
    (void)instance->Render(input, output);
    EXPECT_EQ(instance->OutstandingCheckouts(), 0);
    EXPECT_EQ(instance->UnmatchedCheckins(), 0);

    // A checkout that fails midway: the render fails with its code, and exactly the parameters checked
    // out before it are checked in.
    hostPtr->Faults().Inject(host::Fault::CheckoutParam, 6, PF_Err_INVALID_INDEX);
    EXPECT_EQ(instance->Render(input, output), PF_Err_INVALID_INDEX);
    EXPECT_EQ(instance->OutstandingCheckouts(), 0);
    EXPECT_EQ(instance->UnmatchedCheckins(), 0);
}

TEST_F(RecordTest, AFailedCheckinStillChecksInTheRest) {
    host::World input(*hostPtr, 8, 4, PF_PixelFormat_ARGB32);
    hostPtr->Faults().Inject(host::Fault::CheckinParam, 3, PF_Err_INTERNAL_STRUCT_DAMAGED);
    host::PreRenderResult result;
    EXPECT_EQ(instance->SmartPreRender(input, &result), PF_Err_NONE);
    instance->ReleasePreRenderData();
    EXPECT_EQ(instance->OutstandingCheckouts(), 0);
    EXPECT_EQ(instance->UnmatchedCheckins(), 0);
}

} // namespace
