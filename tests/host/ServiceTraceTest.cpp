// The service trace: what a render spends in the host's memory services, copies and passes, when the
// effect reports progress and which passes converted colours; nothing recorded unless asked, and a service
// inside a pass never recorded twice.
#include <chrono>
#include <thread>

#include "host/World.h"
#include "tests/host/HostFixture.h"

namespace tovrin::test {
namespace {

class ServiceTrace : public HostTest {
protected:
    ServiceTrace() : HostTest(host::Settings::Production()) { host.SetWorkerThreads(2); }

    PF_Err ConvertColour() {
        PF_Pixel rgb{255, 10, 200, 30};
        PF_Fixed hls[3] = {};
        return utils.colorCB.RGBtoHLS(ref(), &rgb, hls);
    }
};

struct PassInput {
    ServiceTrace* test = nullptr;
    PF_InData* in = nullptr;
    bool convert = false;
    bool makeHandle = false;
};

PF_Err Pass(void* refcon, A_long, A_long, A_long) {
    auto* p = static_cast<PassInput*>(refcon);
    if (p->makeHandle) {
        PF_Handle h = p->in->utils->host_new_handle(4096);
        p->in->utils->host_dispose_handle(h);
    }
    if (p->convert) {
        PF_Pixel rgb{255, 1, 2, 3};
        PF_Fixed hls[3] = {};
        return p->in->utils->colorCB.RGBtoHLS(p->in->effect_ref, &rgb, hls);
    }
    return PF_Err_NONE;
}

TEST_F(ServiceTrace, RecordsNothingUntilAsked) {
    PF_EffectWorld world{};
    ASSERT_EQ(utils.new_world(ref(), 64, 32, 0, &world), PF_Err_NONE);
    ASSERT_EQ(utils.dispose_world(ref(), &world), PF_Err_NONE);
    PassInput input{this, &in, true, false};
    ASSERT_EQ(utils.iterate_generic(PF_Iterations_ONCE_PER_PROCESSOR, &input, &Pass), PF_Err_NONE);
    ASSERT_EQ(in.inter.progress(ref(), 1, 2), PF_Err_NONE);
    ASSERT_EQ(ConvertColour(), PF_Err_NONE);

    const host::ServiceTrace trace = host.TakeServiceTrace();
    EXPECT_TRUE(trace.memory.empty());
    EXPECT_TRUE(trace.passes.empty());
    EXPECT_TRUE(trace.progress.empty());
    EXPECT_EQ(trace.colourCalls, 0u);
}

TEST_F(ServiceTrace, RecordsServicesInOrderWithoutCountingAPassesServicesTwice) {
    host.TraceServices(true);
    const auto before = host::ServiceTrace::Clock::now();
    PF_EffectWorld world{};
    ASSERT_EQ(utils.new_world(ref(), 640, 480, PF_NewWorldFlag_CLEAR_PIXELS, &world), PF_Err_NONE);
    ASSERT_EQ(ConvertColour(), PF_Err_NONE); // outside a pass: the key colours themselves
    PassInput selection{this, &in, true, true};
    ASSERT_EQ(utils.iterate_generic(PF_Iterations_ONCE_PER_PROCESSOR, &selection, &Pass), PF_Err_NONE);
    ASSERT_EQ(in.inter.progress(ref(), 50, 100), PF_Err_NONE);
    PassInput blur{this, &in, false, false};
    ASSERT_EQ(utils.iterate_generic(5, &blur, &Pass), PF_Err_NONE);
    ASSERT_EQ(utils.copy(ref(), &world, &world, nullptr, nullptr), PF_Err_NONE);
    ASSERT_EQ(utils.dispose_world(ref(), &world), PF_Err_NONE);
    const auto after = host::ServiceTrace::Clock::now();

    const host::ServiceTrace trace = host.TakeServiceTrace();
    // The handles made inside the pass belong to the pass.
    ASSERT_EQ(trace.memory.size(), 2u);
    ASSERT_EQ(trace.copies.size(), 1u);
    ASSERT_EQ(trace.passes.size(), 2u);
    ASSERT_EQ(trace.progress.size(), 1u);
    EXPECT_EQ(trace.colourCalls, 1u);
    EXPECT_EQ(trace.passes[0].calls, 2);
    EXPECT_EQ(trace.passes[0].colourCalls, 2u); // one per call, counted on the workers' threads
    EXPECT_EQ(trace.passes[1].calls, 5);
    EXPECT_EQ(trace.passes[1].colourCalls, 0u);
    // In the order they happened, inside the time the test watched.
    EXPECT_LE(before, trace.memory[0].start);
    EXPECT_LE(trace.memory[0].end, trace.passes[0].start);
    EXPECT_LE(trace.passes[0].end, trace.progress[0]);
    EXPECT_LE(trace.progress[0], trace.passes[1].start);
    EXPECT_LE(trace.passes[1].end, trace.copies[0].start);
    EXPECT_LE(trace.copies[0].end, trace.memory[1].start);
    EXPECT_LE(trace.memory[1].end, after);

    // Taking clears; stopping stops.
    EXPECT_TRUE(host.TakeServiceTrace().passes.empty());
    host.TraceServices(false);
    ASSERT_EQ(utils.iterate_generic(2, &blur, &Pass), PF_Err_NONE);
    EXPECT_TRUE(host.TakeServiceTrace().passes.empty());
}

} // namespace
} // namespace tovrin::test
