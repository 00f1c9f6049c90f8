// The key selection on a 3840 × 2160 grainy frame (a smooth picture under film grain: most 8-bit colours
// occur a few times each), at each depth, on one and two threads of the embedded host (production mode, as
// the tool runs it): the selection plane built for one key colour of range 25 %; and a whole 16-bit render
// of a blur with that key (box, Blur Amount 20, one repeat: 41 × 41) against OpenCV's box filter 41 on
// the same frame and the same number of threads, with and without a copy render's cost (the same render with
// nothing to do). The ratios are printed at the end.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/GrainFrame.h"
#include "kernels/SelectKeyColors.h"

namespace {

using bench::kHeight;
using bench::kWidth;

// The orange of the frame's first disc.
constexpr PF_Pixel kKey{255, 242, 140, 38};
constexpr double kRange = 0.25;

bench::BenchHost* gEnv = nullptr;

template <class Pixel>
const std::vector<Pixel>& FrameOf() {
    static const std::vector<Pixel> frame = bench::GrainFrame<Pixel>(kWidth, kHeight);
    return frame;
}

template <class Depth>
void RunSelection(benchmark::State& state, int threads) {
    gEnv->Host().SetWorkerThreads(threads);
    host::World source(gEnv->Host(), kWidth, kHeight, Depth::kFormat);
    bench::Fill(source, FrameOf<typename Depth::Pixel>());
    KeyList keys;
    PF_Pixel key = kKey;
    PF_Fixed hls[3];
    gEnv->InData()->utils->colorCB.RGBtoHLS(gEnv->InData()->effect_ref, &key, hls);
    AppendKeyColor(keys, hls, kRange);
    std::size_t selected = 0;
    for (auto _ : state) {
        SelectionPlane plane;
        if (BuildSelectionPlane(plane, gEnv->InData(), PF_Iterations_ONCE_PER_PROCESSOR, source.get(),
                                Depth::kFormat, {0, 0, kWidth, kHeight}, keys, 255) != PF_Err_NONE)
            state.SkipWithError("the selection failed");
        selected = 0;
        for (A_long y = 0; y < kHeight; ++y)
            selected += plane.rowFlags[y];
    }
    state.counters["selected rows"] = double(selected);
}

// Box 20 (41 × 41) over the pixels of the key colour.
void RunRender(benchmark::State& state, int threads) {
    bench::RunBoxRender(state, *gEnv, FrameOf<PF_Pixel16>(), threads, 20, [](RenderParams& record) {
        record.keys[0] = KeyColorParams{1, kKey, kRange * 100};
    });
}

// The same frame rendered with nothing to do (Blur Amount 0): the render's fixed cost, which the comparison
// with OpenCV takes off.
void RunCopyRender(benchmark::State& state, int threads) {
    bench::RunBoxRender(state, *gEnv, FrameOf<PF_Pixel16>(), threads, 0, [](RenderParams&) {});
}

void RunCvBox(benchmark::State& state, int threads) {
    bench::RunCvBox(state, FrameOf<PF_Pixel16>(), threads, 41);
}

} // namespace

int main(int argc, char** argv) {
    bench::BenchHost env;
    gEnv = &env;

    const auto reg = [](const std::string& name, auto fn, auto... args) {
        benchmark::RegisterBenchmark(name.c_str(), fn, args...)->Unit(benchmark::kMillisecond)->UseRealTime();
    };
    for (int threads : {1, 2}) {
        const std::string t = "/threads:" + std::to_string(threads);
        reg("select/8/grain" + t, RunSelection<Depth8>, threads);
        reg("select/16/grain" + t, RunSelection<Depth16>, threads);
        reg("select/float/grain" + t, RunSelection<DepthFloat>, threads);
        reg("render/16/grain/box20+key" + t, RunRender, threads);
        reg("render/16/grain/copy" + t, RunCopyRender, threads);
        reg("cv.boxFilter/16/grain/d=41" + t, RunCvBox, threads);
    }

    benchmark::Initialize(&argc, argv);
    bench::RatioReporter r;
    benchmark::RunSpecifiedBenchmarks(&r);
    std::printf("\nRatios (wall time; below 1 is faster)\n");
    for (const char* depth : {"8", "16", "float"})
        std::printf("select/%-5s 2 threads / 1 thread %5.2f\n", depth,
                    r.Get(std::string("select/") + depth + "/grain/threads:2") /
                        r.Get(std::string("select/") + depth + "/grain/threads:1"));
    for (int threads : {1, 2}) {
        const std::string t = "/threads:" + std::to_string(threads);
        std::printf("render 16/grain box 20 + key / cv.boxFilter 41, %d thread(s): %6.2f\n", threads,
                    r.Get("render/16/grain/box20+key" + t) / r.Get("cv.boxFilter/16/grain/d=41" + t));
        std::printf("(render 16/grain box 20 + key - copy render) / cv.boxFilter 41, %d thread(s): %6.2f\n",
                    threads,
                    (r.Get("render/16/grain/box20+key" + t) - r.Get("render/16/grain/copy" + t)) /
                        r.Get("cv.boxFilter/16/grain/d=41" + t));
    }
    benchmark::Shutdown();
    return 0;
}
