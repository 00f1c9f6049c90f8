// The three render commands: rectangles, the host's pixel format, and what happens when the host says no.
#include "params/RenderParams.h"
#include "render/RenderDriver.h"
#include "tests/render/RenderFixture.h"

using RenderEntryTest = RenderTest;

TEST_F(RenderEntryTest, PreRenderReportsTheInputRectangleAndAsksForTransparentColour) {
    host::World input = MakeImage(PF_PixelFormat_ARGB64, 20, 10);
    for (double amount : {0.0, 1000.0}) {
        SetFloat("Blur Amount", amount);
        SetFloat("Blur Aspect", 50);
        SetSlider("Blur Repeat Num", 10);
        host::PreRenderResult result;
        ASSERT_EQ(instance->SmartPreRender(input, &result), PF_Err_NONE);
        instance->ReleasePreRenderData();
        const PF_LRect r = result.output.result_rect;
        EXPECT_EQ(r.left, 0);
        EXPECT_EQ(r.top, 0);
        EXPECT_EQ(r.right, 20) << "blur settings never grow the result";
        EXPECT_EQ(r.bottom, 10);
        ASSERT_EQ(result.layerRequests.size(), 1u);
        EXPECT_EQ(result.layerRequests[0].preserve_rgb_of_zero_alpha, 1);
    }
}

TEST_F(RenderEntryTest, SmartAndClassicPathsGiveTheSameImage) {
    SetFloat("Blur Amount", 5);
    SetCheckbox("1 : Enable", true);
    SetColor("1 : Color", PF_Pixel{255, 3, 180, 245});
    SetFloat("1 : Color Range", 20);
    for (PF_PixelFormat format : {PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB64, PF_PixelFormat_ARGB128}) {
        host::World input = MakeImage(format);
        EXPECT_EQ(RenderSmart(input), RenderClassic(input)) << format;
    }
}

TEST_F(RenderEntryTest, WithoutWorldSuiteTwoTheDeepFlagDecidesTheFormat) {
    SetFloat("Blur Amount", 5);
    host::World deep = MakeImage(PF_PixelFormat_ARGB64);
    host::World eight = MakeImage(PF_PixelFormat_ARGB32);
    const std::vector<std::uint8_t> deepExpected = RenderClassic(deep);
    const std::vector<std::uint8_t> eightExpected = RenderClassic(eight);
    hostPtr->Faults().RefuseSuite("PF World Suite", 2);
    EXPECT_EQ(RenderClassic(deep), deepExpected);
    EXPECT_EQ(RenderClassic(eight), eightExpected);
}

TEST_F(RenderEntryTest, PremiereGetsAPlainCopy) {
    hostPtr->settings().applicationId = host::kPremiere;
    SetFloat("Blur Amount", 30);
    host::World input = MakeImage(PF_PixelFormat_ARGB32);
    EXPECT_EQ(RenderClassic(input), input.Pixels());
}

TEST_F(RenderEntryTest, AFailedParameterCheckoutRendersNothingAndChecksInTheRest) {
    SetFloat("Blur Amount", 5);
    host::World input = MakeImage(PF_PixelFormat_ARGB64);
    host::World out = Output(input);
    hostPtr->Faults().Inject(host::Fault::CheckoutParam, 3, PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(instance->Render(input, out), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(instance->OutstandingCheckouts(), 0);
    EXPECT_EQ(instance->UnmatchedCheckins(), 0);
    for (std::uint8_t b : out.Pixels())
        ASSERT_EQ(b, hostPtr->settings().poisonByte);
}

TEST_F(RenderEntryTest, AnUnknownPixelFormatIsRefusedWithTheOutputUntouched) {
    RenderParams record;
    host::World input = MakeImage(PF_PixelFormat_ARGB32);
    host::World out = Output(input);
    PF_InData in_data = instance->MakeInData();
    record.in_data = &in_data;
    record.input = input.get();
    record.output = out.get();
    record.pixelFormat = static_cast<uint32_t>(PF_PixelFormat_BGRA32);
    const std::vector<std::uint8_t> before = out.Pixels();
    EXPECT_EQ(RenderFrame(record), PF_Err_UNRECOGNIZED_PARAM_TYPE);
    EXPECT_EQ(out.Pixels(), before);
}

TEST_F(RenderEntryTest, CancelAtEachProgressCallEndsTheRenderCleanly) {
    SetFloat("Blur Amount", 4);
    SetSlider("Blur Repeat Num", 3);
    host::World input = MakeImage(PF_PixelFormat_ARGB32);
    hostPtr->Faults().Clear();
    RenderClassic(input);
    const int calls = hostPtr->Faults().Uses(host::Fault::Progress);
    ASSERT_GE(calls, 2);
    for (int n = 1; n <= calls; ++n) {
        hostPtr->Faults().Inject(host::Fault::Progress, n, PF_Interrupt_CANCEL);
        RenderClassic(input, PF_Interrupt_CANCEL);
        EXPECT_EQ(hostPtr->Worlds().livePluginWorlds, 0u) << "cancel at call " << n;
    }
}

TEST_F(RenderEntryTest, EveryRefusedHostServiceEndsTheRenderWithItsCodeAndNoLeak) {
    SetFloat("Blur Amount", 3); // smoothing, blur, copies
    SetFloat("Brightness", 10);
    SetCheckbox("1 : Enable", true);
    SetColor("1 : Color", PF_Pixel{255, 250, 153, 36});
    SetFloat("1 : Color Range", 10);
    host::World input = MakeImage(PF_PixelFormat_ARGB32);
    const std::size_t handlesBefore = hostPtr->Handles().live;
    for (host::Fault f :
         {host::Fault::NewWorld, host::Fault::NewHandle, host::Fault::LockHandle, host::Fault::IterateGeneric,
          host::Fault::Copy, host::Fault::CopyHQ, host::Fault::RGBtoHLS}) {
        // The blur writes every output pixel itself; only a render with nothing to do copies.
        const bool copy = f == host::Fault::Copy || f == host::Fault::CopyHQ;
        SetFloat("Blur Amount", copy ? 0 : 3);
        SetFloat("Brightness", copy ? 0 : 10);
        for (const char* name : {"G", "B"})
            SetFloat(name, copy ? 0 : name[0] == 'G' ? 5 : 15);
        hostPtr->settings().quality = f == host::Fault::CopyHQ ? PF_Quality_HI : PF_Quality_LO;
        hostPtr->Faults().Clear();
        RenderClassic(input);
        // Inside the key pass the host's colour answer is not examined: only the key colours' count.
        const int uses = f == host::Fault::RGBtoHLS ? 1 : hostPtr->Faults().Uses(f);
        ASSERT_GT(uses, 0) << host::FaultName(f);
        for (int n = 1; n <= uses; ++n) {
            hostPtr->Faults().Inject(f, n, PF_Err_OUT_OF_MEMORY);
            host::World out = Output(input);
            const PF_Err err = instance->Render(input, out);
            EXPECT_NE(err, PF_Err_NONE) << host::FaultName(f) << " #" << n;
            EXPECT_EQ(hostPtr->Worlds().livePluginWorlds, 0u) << host::FaultName(f) << " #" << n;
            EXPECT_EQ(hostPtr->Handles().live, handlesBefore) << host::FaultName(f) << " #" << n;
            EXPECT_EQ(instance->OutstandingCheckouts(), 0);
        }
    }
}

// The smoothing acquires World Suite 1 for its job: refused, the render ends with the suite failure's code.
TEST_F(RenderEntryTest, ARefusedWorldSuiteEndsASmoothingRender) {
    SetFloat("Blur Amount", 3);
    host::World input = MakeImage(PF_PixelFormat_ARGB32);
    hostPtr->Faults().RefuseSuite("PF World Suite", 1);
    RenderClassic(input, PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(hostPtr->Worlds().livePluginWorlds, 0u);
}

// The suite is asked for when first needed, by a render with nothing to do (the blur copies nothing).
TEST_F(RenderEntryTest, ARefusedWorldTransformSuiteEndsACopyRender) {
    SetFloat("G", 0);
    SetFloat("B", 0);
    host::World input = MakeImage(PF_PixelFormat_ARGB32);
    hostPtr->Faults().RefuseSuite("PF World Transform Suite", 1);
    RenderClassic(input, PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(hostPtr->Worlds().livePluginWorlds, 0u);
}
