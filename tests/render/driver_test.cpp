// The render driver as a host sees it: what needs work, which steps run, what unselected pixels hold.
#include <utility>

#include "params/RenderParams.h"
#include "render/RenderDriver.h"
#include "tests/render/RenderFixture.h"

namespace {
constexpr PF_Pixel kOrange{255, 250, 153, 36};

// Worlds made during a render: the output the test makes is not among them.
std::size_t WorldsMadeByRender(host::Host& h, host::Instance& instance, host::World& input) {
    host::World out(h, input.Width(), input.Height(), input.Format(), false);
    const std::size_t before = h.Worlds().created;
    EXPECT_EQ(instance.Render(input, out), PF_Err_NONE);
    return h.Worlds().created - before;
}
} // namespace

using DriverTest = RenderTest;

TEST_F(DriverTest, NoWorkIsOneHostCopyHighQualityOrNot) {
    NoBlur();
    host::World input = MakeImage(PF_PixelFormat_ARGB64);
    hostPtr->Faults().Clear();
    EXPECT_EQ(WorldsMadeByRender(*hostPtr, *instance, input), 0u) << "nothing allocated";
    EXPECT_EQ(hostPtr->Faults().Uses(host::Fault::CopyHQ), 1);
    hostPtr->Faults().Clear();
    EXPECT_EQ(RenderClassic(input), input.Pixels());
    EXPECT_EQ(hostPtr->Faults().Uses(host::Fault::CopyHQ), 1);
    EXPECT_EQ(hostPtr->Faults().Uses(host::Fault::Copy), 0);

    hostPtr->settings().quality = PF_Quality_LO;
    hostPtr->Faults().Clear();
    EXPECT_EQ(RenderClassic(input), input.Pixels());
    EXPECT_EQ(hostPtr->Faults().Uses(host::Fault::CopyHQ), 0);
    EXPECT_EQ(hostPtr->Faults().Uses(host::Fault::Copy), 1);
}

TEST_F(DriverTest, ExtractClearsOnlyUnselectedAlphaAndOnlyWithKeys) {
    NoBlur();
    SetPopup("Mode", 2);
    host::World input = MakeImage(PF_PixelFormat_ARGB32);
    EXPECT_EQ(RenderClassic(input), input.Pixels()) << "no key: every pixel is selected; extents all 1";

    SetCheckbox("1 : Enable", true);
    SetColor("1 : Color", kOrange);
    const std::vector<std::uint8_t> out = RenderClassic(input);
    ASSERT_EQ(out.size(), input.Pixels().size());
    const auto* pixels = reinterpret_cast<const PF_Pixel*>(out.data());
    for (A_long y = 0; y < input.Height(); ++y)
        for (A_long x = 0; x < input.Width(); ++x) {
            const PF_Pixel in = input.At8(x, y);
            const PF_Pixel o = pixels[y * input.Width() + x];
            const bool orange = in.red == kOrange.red && in.green == kOrange.green && in.blue == kOrange.blue;
            if (orange) {
                EXPECT_EQ(o.alpha, in.alpha) << x << "," << y;
            } else {
                EXPECT_EQ(o.alpha, 0) << x << "," << y;
                EXPECT_EQ(o.red, in.red) << "the colour under a cleared alpha is the input's";
            }
        }
}

TEST_F(DriverTest, DisableAllAndARangeOfHundredSelectEverything) {
    SetFloat("Blur Amount", 4);
    host::World input = MakeImage(PF_PixelFormat_ARGB64);
    const std::vector<std::uint8_t> unkeyed = RenderClassic(input); // no key: confined, all selected

    SetCheckbox("Keep Division", false);
    SetCheckbox("1 : Enable", true);
    SetCheckbox("Invert", true);
    SetPopup("Mode", 3);
    EXPECT_EQ(RenderClassic(input), unkeyed) << "Disable All: plane all selected, no invert, confined blur";

    SetPopup("Mode", 1);
    SetCheckbox("Invert", false);
    SetCheckbox("Keep Division", true);
    SetFloat("1 : Color Range", 100);
    EXPECT_EQ(RenderClassic(input), unkeyed) << "a range of 100 % matches every colour";
}

TEST_F(DriverTest, DownsamplingScalesTheLengthsByTheSmallerFactor) {
    host::World input = MakeImage(PF_PixelFormat_ARGB64, 31, 19);
    for (const char* name : {"R", "G", "B", "A"})
        SetFloat(name, 0);
    SetFloat("Blur Amount", 3);
    const std::vector<std::uint8_t> three = RenderClassic(input);
    SetFloat("Blur Amount", 1);
    const std::vector<std::uint8_t> one = RenderClassic(input);

    SetFloat("Blur Amount", 5);
    hostPtr->settings().downsampleX = {1, 2};
    hostPtr->settings().downsampleY = {1, 2};
    EXPECT_EQ(RenderClassic(input), three) << "trunc(5 / 2 + 0.5) = 3";
    hostPtr->settings().downsampleY = {1, 4};
    EXPECT_EQ(RenderClassic(input), one) << "1/4 wins: trunc(1.25 + 0.5) = 1";
}

TEST_F(DriverTest, EdgeSmoothingRunsForMinimumExtentsTwoToFifteen) {
    // 8-bit renders of three repeats blur in three 16-bit worlds; smoothing adds an 8-bit world for its
    // result (unkeyed, it reads the input itself) and its flag map.
    host::World input = MakeImage(PF_PixelFormat_ARGB32);
    for (const char* name : {"R", "G", "B", "A"})
        SetFloat(name, 0);
    const auto worldsFor = [&](double amount) {
        SetFloat("Blur Amount", amount);
        return WorldsMadeByRender(*hostPtr, *instance, input);
    };
    EXPECT_EQ(worldsFor(1), 5u);
    EXPECT_EQ(worldsFor(14), 5u);
    EXPECT_EQ(worldsFor(15), 3u);
    SetFloat("Blur Amount", 0);
    SetFloat("R", 1);
    EXPECT_EQ(WorldsMadeByRender(*hostPtr, *instance, input), 3u)
        << "red extent 2 needs work, but the minimum extent is 1";
}

TEST_F(DriverTest, AutoAlphaTakesTheLargestColourLength) {
    host::World input = MakeImage(PF_PixelFormat_ARGB64);
    SetFloat("R", 3);
    SetFloat("G", 7);
    SetFloat("B", 5);
    SetCheckbox("Auto Alpha", false);
    SetFloat("A", 7);
    const std::vector<std::uint8_t> manual = RenderClassic(input);
    SetCheckbox("Auto Alpha", true);
    SetFloat("A", 40);
    EXPECT_EQ(RenderClassic(input), manual);
}

TEST_F(DriverTest, EightBitRendersEqualSixteenBitRendersConvertedBack) {
    for (const bool gauss : {false, true}) {
        SetPopup("Blur Type", gauss ? 1 : 2);
        SetFloat("Blur Amount", 20); // no smoothing
        SetSlider("Blur Repeat Num", 2);
        host::World input8 = MakeImage(PF_PixelFormat_ARGB32);
        host::World input16 = MakeImage(PF_PixelFormat_ARGB64);
        const std::vector<std::uint8_t> out8 = RenderClassic(input8);
        const std::vector<std::uint8_t> out16 = RenderClassic(input16);
        ASSERT_EQ(out16.size(), out8.size() * 2);
        const auto* wide = reinterpret_cast<const A_u_short*>(out16.data());
        for (std::size_t i = 0; i < out8.size(); ++i)
            ASSERT_EQ(out8[i], ConvertChannel16To8(wide[i])) << "byte " << i << (gauss ? " gauss" : " box");
    }
}

TEST_F(DriverTest, ResultsDoNotDependOnTheWorkerCount) {
    SetFloat("Blur Amount", 6);
    SetCheckbox("1 : Enable", true);
    SetColor("1 : Color", kOrange);
    SetFloat("1 : Color Range", 30);
    SetCheckbox("Keep Division", false);
    SetFloat("Brightness", 20);
    for (PF_PixelFormat format : {PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB64, PF_PixelFormat_ARGB128}) {
        host::World input = MakeImage(format, 40, 33);
        hostPtr->SetWorkerThreads(1);
        const std::vector<std::uint8_t> one = RenderSmart(input);
        for (int threads : {2, 7}) {
            hostPtr->SetWorkerThreads(threads);
            EXPECT_EQ(RenderSmart(input), one) << threads << " threads, format " << format;
        }
    }
}

TEST_F(DriverTest, KeyedRendersKeepTheInputWhereNothingIsSelectedAtEveryDepth) {
    SetFloat("Blur Amount", 3); // smoothing runs
    SetFloat("Brightness", 30);
    SetCheckbox("1 : Enable", true);
    SetColor("1 : Color", kOrange);
    for (PF_PixelFormat format : {PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB64, PF_PixelFormat_ARGB128}) {
        host::World input = MakeImage(format);
        const std::vector<std::uint8_t> in = input.Pixels();
        const std::vector<std::uint8_t> out = RenderClassic(input);
        ASSERT_EQ(out.size(), in.size());
        const std::size_t pixelSize = in.size() / (input.Width() * input.Height());
        for (A_long y = 0; y < input.Height(); ++y)
            for (A_long x = 0; x < input.Width(); ++x) {
                if (x * 2 < input.Width() && x + y >= 5)
                    continue; // the orange region is selected
                const std::size_t at = (y * input.Width() + x) * pixelSize;
                ASSERT_TRUE(std::equal(in.begin() + at, in.begin() + at + pixelSize, out.begin() + at))
                    << "pixel " << x << "," << y << " format " << format;
            }
    }
}

TEST_F(DriverTest, LayersWiderThanTheDriverCanAddressAreRefusedUntouched) {
    // No host hands over such a layer (they stop at 30000), so the record is made here.
    std::vector<PF_Pixel> pixels(32768, PF_Pixel{255, 1, 2, 3});
    std::vector<PF_Pixel> outPixels(32768, PF_Pixel{9, 9, 9, 9});
    PF_EffectWorld in{}, out{};
    for (auto [world, data] : {std::pair{&in, pixels.data()}, std::pair{&out, outPixels.data()}}) {
        world->data = data;
        world->width = 32768;
        world->height = 1;
        world->rowbytes = 32768 * 4;
    }
    PF_InData in_data = instance->MakeInData();
    RenderParams record;
    record.in_data = &in_data;
    record.input = &in;
    record.output = &out;
    record.blurAmount = 2;
    const std::size_t worlds = hostPtr->Worlds().created;
    for (uint32_t format : {PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB64, PF_PixelFormat_ARGB128}) {
        record.pixelFormat = format;
        EXPECT_EQ(RenderFrame(record), PF_Err_INTERNAL_STRUCT_DAMAGED);
    }
    EXPECT_EQ(hostPtr->Worlds().created, worlds);
    for (const PF_Pixel& p : outPixels)
        ASSERT_EQ(p.alpha, 9) << "the output is not written";
}
