// Reading parameters shares nothing between readers: renders on several host threads, each at its own
// time, get exactly the records that sequential reads give; and a release walk checks in exactly what
// its read walk checked out.
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "params/Controls.h"
#include "params/ParamReading.h"
#include "params/RenderParams.h"
#include "tests/params/InnerFixture.h"

namespace {

using params_test::InnerParamsTest;

bool SameValues(const RenderParams& a, const RenderParams& b) {
    bool same = a.blurAmount == b.blurAmount && a.blurAspect == b.blurAspect &&
                a.brightness == b.brightness && a.brightnessGain == b.brightnessGain &&
                a.brightnessExponent == b.brightnessExponent && a.autoAlpha == b.autoAlpha && a.a == b.a &&
                a.r == b.r && a.g == b.g && a.b == b.b && a.mode == b.mode && a.invert == b.invert &&
                a.keepDivision == b.keepDivision && a.repeat == b.repeat && a.blurType == b.blurType &&
                a.pixelFormat == b.pixelFormat;
    for (int k = 0; k < kKeyColorCount; ++k)
        same = same && a.keys[k].enable == b.keys[k].enable &&
               std::memcmp(&a.keys[k].color, &b.keys[k].color, sizeof(PF_Pixel)) == 0 &&
               a.keys[k].range == b.keys[k].range;
    return same;
}

class ConcurrentReadTest : public InnerParamsTest {
protected:
    // Until time 10 every control holds its value, from time 10 on another one.
    void KeyEverythingAtTen() {
        for (PF_ParamIndex i = 1; i < Instance().ParamCount(); ++i) {
            PF_ParamDefUnion u = Instance().Param(i).u;
            Instance().SetValueAt(i, 0, u);
            switch (Instance().Param(i).param_type) {
            case PF_Param_FLOAT_SLIDER:
                u.fs_d.value += 3.5 * i;
                break;
            case PF_Param_SLIDER:
                u.sd.value += 2;
                break;
            case PF_Param_POPUP:
                u.pd.value = u.pd.value == 1 ? 2 : 1;
                break;
            case PF_Param_CHECKBOX:
                u.bd.value = !u.bd.value;
                break;
            case PF_Param_COLOR:
                u.cd.value = PF_Pixel{255, static_cast<A_u_char>(i), 20, 30};
                break;
            default:
                continue;
            }
            Instance().SetValueAt(i, 10, u);
        }
    }

    RenderParams ReadAt(A_long time) {
        PF_InData in = *InData();
        in.current_time = time;
        GetParamByCheckout getter(&in);
        RenderParams record;
        EXPECT_EQ(ReadAllParams(&record, getter), PF_Err_NONE);
        EXPECT_EQ(ReleaseAllParams(getter), PF_Err_NONE);
        return record;
    }
};

TEST_F(ConcurrentReadTest, ConcurrentReadsGiveTheSequentialRecords) {
    KeyEverythingAtTen();
    const RenderParams early = ReadAt(0);
    const RenderParams late = ReadAt(20);
    ASSERT_FALSE(SameValues(early, late));

    constexpr int kThreads = 6;
    constexpr int kReads = 150;
    std::atomic<int> mismatches{0};
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            PF_InData in = *InData();
            in.current_time = t % 2 ? 0 : 20;
            const RenderParams& expected = t % 2 ? early : late;
            for (int n = 0; n < kReads; ++n) {
                GetParamByCheckout getter(&in);
                RenderParams record;
                if (ReadAllParams(&record, getter) != PF_Err_NONE || ReleaseAllParams(getter) != PF_Err_NONE)
                    ++failures;
                if (!SameValues(record, expected))
                    ++mismatches;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_EQ(Instance().OutstandingCheckouts(), 0);
    EXPECT_EQ(Instance().UnmatchedCheckins(), 0);
}

TEST_F(ConcurrentReadTest, ANeverReadRecordHoldsItsFreshValues) {
    const RenderParams fresh;
    EXPECT_EQ(fresh.mode, 0);
    EXPECT_EQ(fresh.blurType, 0);
    EXPECT_EQ(fresh.repeat, 1);
    EXPECT_EQ(fresh.pixelFormat, static_cast<uint32_t>(PF_PixelFormat_INVALID));
    EXPECT_EQ(std::memcmp(&fresh.pixelFormat, "badf", 4), 0);

    // A first checkout that fails leaves the whole record fresh and nothing to check in.
    Host().Faults().Inject(host::Fault::CheckoutParam, 1, PF_Err_INVALID_INDEX);
    GetParamByCheckout getter(InData());
    RenderParams record;
    EXPECT_EQ(ReadAllParams(&record, getter), PF_Err_INVALID_INDEX);
    EXPECT_TRUE(SameValues(record, fresh));
    EXPECT_EQ(ReleaseAllParams(getter), PF_Err_NONE);
    EXPECT_EQ(Instance().OutstandingCheckouts(), 0);
    EXPECT_EQ(Instance().UnmatchedCheckins(), 0);
}

TEST_F(ConcurrentReadTest, AFailureMidwayKeepsTheLaterFieldsFreshAndReleasesTheEarlierOnes) {
    Instance().SetFloat(Index(kBlurAmountId), 42.0);
    Instance().SetFloat(Index(kBlurAspectId), 7.0);
    Host().Faults().Inject(host::Fault::CheckoutParam, 4, PF_Err_OUT_OF_MEMORY); // index 4: "Blur Aspect"
    GetParamByCheckout getter(InData());
    RenderParams record;
    EXPECT_EQ(ReadAllParams(&record, getter), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(record.blurType, kBlurTypeBox);
    EXPECT_EQ(record.blurAmount, 42.0);
    EXPECT_EQ(record.repeat, 3);
    EXPECT_EQ(record.blurAspect, 0.0);
    EXPECT_EQ(record.mode, 0);
    EXPECT_EQ(record.g, 0.0);
    EXPECT_EQ(Instance().OutstandingCheckouts(), 3);
    EXPECT_EQ(ReleaseAllParams(getter), PF_Err_NONE);
    EXPECT_EQ(Instance().OutstandingCheckouts(), 0);
    EXPECT_EQ(Instance().UnmatchedCheckins(), 0);
    // A second release walk has nothing left to give back.
    EXPECT_EQ(ReleaseAllParams(getter), PF_Err_NONE);
    EXPECT_EQ(Instance().UnmatchedCheckins(), 0);
}

TEST_F(ConcurrentReadTest, ReadingTwiceThroughOneGetterLosesNoCheckout) {
    GetParamByCheckout getter(InData());
    RenderParams record;
    EXPECT_EQ(ReadAllParams(&record, getter), PF_Err_NONE);
    EXPECT_EQ(ReadAllParams(&record, getter), PF_Err_NONE);
    EXPECT_EQ(Instance().OutstandingCheckouts(), 25); // every parameter but the four topic marks, once
    EXPECT_EQ(ReleaseAllParams(getter), PF_Err_NONE);
    EXPECT_EQ(Instance().OutstandingCheckouts(), 0);
    EXPECT_EQ(Instance().UnmatchedCheckins(), 0);
}

TEST_F(ConcurrentReadTest, ReadingFromTheArrayCopiesAndNeedsNoRelease) {
    Instance().SetPopup(Index(kModeId), kModeDisableAll);
    ParamArray params = CurrentParams();
    GetParamFromArray getter(params.pointers.data());
    RenderParams record;
    EXPECT_EQ(ReadAllParams(&record, getter), PF_Err_NONE);
    EXPECT_EQ(record.mode, kModeDisableAll);
    EXPECT_EQ(ReleaseAllParams(getter), PF_Err_NONE);

    // An array without a record where a parameter should be: an error, not a crash.
    params.pointers[static_cast<std::size_t>(Index(kGreenId))] = nullptr;
    GetParamFromArray holed(params.pointers.data());
    EXPECT_EQ(ReadAllParams(&record, holed), PF_Err_BAD_CALLBACK_PARAM);
}

} // namespace
