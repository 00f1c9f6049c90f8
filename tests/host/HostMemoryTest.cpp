// The host's own memory running out: every callback answers with the protocol's out-of-memory result
// instead of letting an exception cross the plug-in, and a render the host cannot prepare is the host's
// failure, with nothing left behind that the leak report would blame on the effect.
#include <cstring>

#include "host/HostError.h"
#include "host/World.h"
#include "tests/host/FakeEffect.h"
#include "tests/host/HostFixture.h"

namespace tovrin::test {
namespace {

using HostMemory = HostTest;

TEST_F(HostMemory, CallbacksAnswerOutOfMemoryAndHoldNothing) {
    auto fail = [&] { host.Faults().Inject(host::Fault::HostMemory, 1, PF_Err_OUT_OF_MEMORY); };
    fail();
    EXPECT_EQ(utils.host_new_handle(64), nullptr);

    PF_Handle h = utils.host_new_handle(8);
    ASSERT_NE(h, nullptr);
    fail();
    EXPECT_EQ(utils.host_resize_handle(4096, &h), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(utils.host_get_handle_size(h), 8u); // the handle is as it was
    utils.host_dispose_handle(h);

    const auto* v2 = Acquire<PF_WorldSuite2>(kPFWorldSuite, kPFWorldSuiteVersion2);
    PF_EffectWorld w{};
    fail();
    EXPECT_EQ(v2->PF_NewWorld(ref(), 16, 16, true, PF_PixelFormat_ARGB128, &w), PF_Err_OUT_OF_MEMORY);
    fail();
    EXPECT_EQ(utils.new_world(ref(), 16, 16, PF_NewWorldFlag_DEEP_PIXELS, &w), PF_Err_OUT_OF_MEMORY);
    Release(kPFWorldSuite, kPFWorldSuiteVersion2);

    void* block = nullptr;
    fail();
    EXPECT_EQ(host.BasicSuite()->AllocateBlock(32, &block), kSPOutOfMemoryError);
    EXPECT_EQ(block, nullptr);
    ASSERT_EQ(host.BasicSuite()->AllocateBlock(32, &block), kSPNoError);
    fail();
    void* moved = nullptr;
    EXPECT_EQ(host.BasicSuite()->ReallocateBlock(block, 1 << 16, &moved), kSPOutOfMemoryError);
    EXPECT_EQ(host.BasicSuite()->FreeBlock(block), kSPNoError); // still the host's block

    EXPECT_EQ(host.LeakReport(), "");
    EXPECT_EQ(host.Handles().live, 0u);
    EXPECT_EQ(host.Worlds().livePluginWorlds, 0u);
    EXPECT_TRUE(host.Violations().empty());
}

TEST_F(HostMemory, HostWorldsOfTheCallerThrowWithTheReason) {
    host.Faults().Inject(host::Fault::HostMemory, 1, PF_Err_OUT_OF_MEMORY);
    EXPECT_THROW(host::World(host, 8, 8, PF_PixelFormat_ARGB32), std::bad_alloc);
    EXPECT_EQ(host.Worlds().liveHostWorlds, 0u);
}

class HostMemoryRender : public ::testing::TestWithParam<bool> {
protected:
    HostMemoryRender() : instance(host, host::Plugin::Wrap(&fake::Entry, fake::Pipl())) {
        fake::behaviour = {};
        EXPECT_EQ(instance.ParamsSetup(), PF_Err_NONE);
    }
    host::Host host;
    host::Instance instance;
};

// Every host allocation of a SmartFX frame fails in turn: the frame either fails with the effect's
// out-of-memory code or throws the host's own error naming the host, and nothing stays behind.
TEST_P(HostMemoryRender, EachFailingAllocationOfAFrameIsReportedAndLeavesNothing) {
    host::World input(host, 12, 7, PF_PixelFormat_ARGB64);
    host::World output(host, 12, 7, PF_PixelFormat_ARGB64);
    bool smart = GetParam();
    auto frame = [&] {
        return smart ? instance.SmartRenderFrame(input, output) : instance.Render(input, output);
    };
    host.Faults().Clear();
    ASSERT_EQ(frame(), PF_Err_NONE);
    int uses = host.Faults().Uses(host::Fault::HostMemory);
    ASSERT_GE(uses, 1); // at least the strict host's copy of the input
    int hostFailures = 0;
    for (int n = 1; n <= uses; ++n) {
        host.Faults().Inject(host::Fault::HostMemory, n, PF_Err_OUT_OF_MEMORY);
        try {
            EXPECT_EQ(frame(), PF_Err_OUT_OF_MEMORY) << n;
        } catch (const host::HostError& e) {
            ++hostFailures;
            EXPECT_NE(std::string(e.what()).find("the host ran out of memory"), std::string::npos)
                << e.what();
        }
        EXPECT_EQ(host.Handles().live, 0u) << n;
        EXPECT_EQ(host.LeakReport() + instance.LeakReport(), "") << n;
    }
    EXPECT_EQ(hostFailures, 1); // the copy of the input
    EXPECT_TRUE(host.Violations().empty());
}

INSTANTIATE_TEST_SUITE_P(Paths, HostMemoryRender, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "SmartFX" : "Classic"; });

} // namespace
} // namespace tovrin::test
