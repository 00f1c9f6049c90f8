// Classic and SmartFX renders on host-owned worlds of the three depths: poisoned outputs, padded rows,
// the input left untouched, result rectangles and the release of the pre-render data.
#include <cstring>

#include "tests/host/FakeEffect.h"
#include "tests/host/HostFixture.h"

namespace tovrin::test {
namespace {

class Render : public ::testing::TestWithParam<PF_PixelFormat> {
protected:
    Render() : instance(host, host::Plugin::Wrap(&fake::Entry, fake::Pipl())) {
        fake::behaviour = {};
        EXPECT_EQ(instance.ParamsSetup(), PF_Err_NONE);
    }
    void TearDown() override { EXPECT_EQ(host.LeakReport() + instance.LeakReport(), ""); }
    host::World Pattern(A_long w, A_long h) {
        host::World world(host, w, h, GetParam());
        std::vector<std::uint8_t> bytes(std::size_t(w * h * world.PixelSize()));
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = std::uint8_t(i * 7 + 3);
        world.SetPixels(bytes);
        return world;
    }
    host::Host host;
    host::Instance instance;
};

TEST_P(Render, ClassicRenderSeesPaddedWorldsAndPoisonedOutput) {
    host::World input = Pattern(9, 5);
    host::World output(host, 9, 5, GetParam());
    EXPECT_GT(input.RowBytes(), 9 * input.PixelSize());
    ASSERT_EQ(instance.Render(input, output), PF_Err_NONE);
    EXPECT_EQ(output.Pixels(), input.Pixels());

    fake::behaviour.skipOutput = true;
    ASSERT_EQ(instance.Render(input, output), PF_Err_NONE);
    for (std::uint8_t b : output.Pixels())
        ASSERT_EQ(b, host.settings().poisonByte);
    EXPECT_TRUE(host.Violations().empty());
}

TEST_P(Render, WritingIntoTheInputIsAViolation) {
    host::World input = Pattern(3, 3);
    host::World output(host, 3, 3, GetParam());
    fake::behaviour.writeInput = true;
    instance.Render(input, output);
    ASSERT_EQ(host.Violations().size(), 1u);
    EXPECT_NE(host.Violations()[0].find("input"), std::string::npos);
}

TEST_P(Render, SmartRenderFromPreRenderDataReleasesIt) {
    host::World input = Pattern(6, 4);
    host::World output(host, 6, 4, GetParam());
    host::PreRenderResult pre;
    ASSERT_EQ(instance.SmartPreRender(input, &pre), PF_Err_NONE);
    EXPECT_EQ(pre.request.rect.right, 6);
    ASSERT_EQ(pre.layerRequests.size(), 1u);
    EXPECT_TRUE(pre.layerRequests[0].preserve_rgb_of_zero_alpha);
    EXPECT_EQ(pre.output.result_rect.right, 6);
    EXPECT_EQ(pre.output.result_rect.bottom, 4);
    EXPECT_EQ(host.Handles().live, 1u); // the pre-render record, held for the render
    ASSERT_EQ(instance.SmartRender(input, output), PF_Err_NONE);
    EXPECT_EQ(host.Handles().live, 0u); // released through the effect's function
    EXPECT_EQ(output.Pixels(), input.Pixels());
    EXPECT_EQ(instance.OutstandingLayerCheckouts(), 0);
}

TEST_P(Render, SmartRenderWithoutPreRenderGetsNoRecord) {
    host::World input = Pattern(2, 2);
    host::World output(host, 2, 2, GetParam());
    EXPECT_EQ(instance.SmartRender(input, output), PF_Err_INTERNAL_STRUCT_DAMAGED);
}

TEST_P(Render, InjectedCheckoutFailuresReachTheHostAndLeakNothing) {
    host::World input = Pattern(2, 2);
    host::World output(host, 2, 2, GetParam());
    host.Faults().Inject(host::Fault::CheckoutLayer, 1, PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(instance.SmartPreRender(input), PF_Err_OUT_OF_MEMORY);
    for (host::Fault f :
         {host::Fault::CheckoutLayerPixels, host::Fault::CheckoutOutput, host::Fault::CheckinLayerPixels}) {
        host.Faults().Inject(f, 1, PF_Err_INTERNAL_STRUCT_DAMAGED);
        EXPECT_EQ(instance.SmartRenderFrame(input, output), PF_Err_INTERNAL_STRUCT_DAMAGED)
            << host::FaultName(f);
        EXPECT_EQ(host.Handles().live, 0u) << host::FaultName(f);
    }
    EXPECT_TRUE(host.Violations().empty());
}

INSTANTIATE_TEST_SUITE_P(Depths, Render,
                         ::testing::Values(PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB64,
                                           PF_PixelFormat_ARGB128),
                         [](const auto& info) { return host::PixelFormatName(info.param).substr(1, 4); });

} // namespace
} // namespace tovrin::test
