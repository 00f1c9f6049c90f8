// The embedded host's services on the hot paths of a render: the colour callback from one and from two
// threads at once (the key test calls it from every thread of a pass; two threads must not be slower than
// one), and a 4K working world made and disposed by the strict host (fresh, guarded, poisoned memory) and by
// the production host (memory from its pool).
#include <benchmark/benchmark.h>

#include <memory>

#include "host/Color.h"
#include "host/Host.h"
#include "host/Instance.h"
#include "host/World.h"

namespace {

struct Served {
    explicit Served(const host::Settings& settings) : host(settings), instance(host) {}
    host::Host host;
    host::Instance instance;
    PF_InData in = instance.MakeInData();
};

// One host serves at a time: the benchmark's host is replaced when it needs the other mode.
std::unique_ptr<Served> gServed;

Served& Ensure(bool strict) {
    if (!gServed || gServed->host.settings().strict != strict) {
        gServed.reset();
        gServed = std::make_unique<Served>(strict ? host::Settings{} : host::Settings::Production());
    }
    return *gServed;
}

// A different colour every call, differently on every thread.
PF_Pixel NextColour(unsigned& n) {
    ++n;
    return PF_Pixel{255, A_u_char(n), A_u_char(n >> 8), A_u_char(n >> 3)};
}

void ColourCallback(benchmark::State& state) {
    if (state.thread_index() == 0)
        Ensure(false); // the loop starts on every thread only after this
    PF_Fixed hls[3];
    unsigned n = unsigned(state.thread_index()) * 7919u;
    for (auto _ : state) {
        PF_Pixel p = NextColour(n);
        benchmark::DoNotOptimize(gServed->in.utils->colorCB.RGBtoHLS(gServed->in.effect_ref, &p, hls));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ColourCallback)->Threads(1)->Threads(2)->UseRealTime();

// The conversion alone, without the callback: what the machine gives two threads.
void ColourConversion(benchmark::State& state) {
    PF_Fixed hls[3];
    unsigned n = unsigned(state.thread_index()) * 7919u;
    for (auto _ : state) {
        host::RGBtoHLS(NextColour(n), hls);
        benchmark::DoNotOptimize(hls);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ColourConversion)->Threads(1)->Threads(2)->UseRealTime();

void WorkingWorld4K16(benchmark::State& state) {
    Served& s = Ensure(state.range(0) != 0);
    for (auto _ : state) {
        host::World world(s.host, 3840, 2160, PF_PixelFormat_ARGB64, false);
        world.Row(1000)[8] = 1; // touch it, as a pass would
        benchmark::DoNotOptimize(world.get()->data);
    }
    state.SetLabel(state.range(0) ? "strict" : "production");
}
BENCHMARK(WorkingWorld4K16)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
