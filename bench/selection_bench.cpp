// The key selection on a 3840 × 2160 grainy frame (a smooth picture under film grain: most 8-bit colours
// occur a few times each), at each depth, on one and two threads of the embedded host (production mode, as
// the tool runs it): the selection plane built for one key colour of range 25 %; and a whole 16-bit render
// of a blur with that key (box, Blur Amount 20, one repeat: 41 × 41) against OpenCV's box filter 41 on
// the same frame and the same number of threads. The ratios are printed at the end.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "bench/GrainFrame.h"
#include "host/Host.h"
#include "host/Instance.h"
#include "host/World.h"
#include "kernels/SelectKeyColors.h"
#include "params/Controls.h"
#include "params/RenderParams.h"
#include "render/RenderDriver.h"
#include "share/AEUtil/SuiteHolder.h"

namespace {

constexpr A_long kWidth = 3840;
constexpr A_long kHeight = 2160;
// The orange of the frame's first disc.
constexpr PF_Pixel kKey{255, 242, 140, 38};
constexpr double kRange = 0.25;

struct Env {
    std::unique_ptr<host::Host> host;
    std::unique_ptr<host::Instance> instance;
    std::unique_ptr<AEUtil::SuiteHolder> suites;
    PF_InData inData{};
};
Env* gEnv = nullptr;

template <class Pixel>
const std::vector<Pixel>& FrameOf() {
    static const std::vector<Pixel> frame = bench::GrainFrame<Pixel>(kWidth, kHeight);
    return frame;
}

template <class Pixel>
void Fill(host::World& world) {
    const std::vector<Pixel>& frame = FrameOf<Pixel>();
    for (A_long y = 0; y < kHeight; ++y)
        std::memcpy(world.Row(y), &frame[std::size_t(y) * kWidth], std::size_t(kWidth) * sizeof(Pixel));
}

template <class Depth>
void RunSelection(benchmark::State& state, int threads) {
    gEnv->host->SetWorkerThreads(threads);
    host::World source(*gEnv->host, kWidth, kHeight, Depth::kFormat);
    Fill<typename Depth::Pixel>(source);
    KeyList keys;
    PF_Pixel key = kKey;
    PF_Fixed hls[3];
    gEnv->inData.utils->colorCB.RGBtoHLS(gEnv->inData.effect_ref, &key, hls);
    AppendKeyColor(keys, hls, kRange);
    std::size_t selected = 0;
    for (auto _ : state) {
        SelectionPlane plane;
        if (BuildSelectionPlane(plane, &gEnv->inData, PF_Iterations_ONCE_PER_PROCESSOR, source.get(),
                                Depth::kFormat, {0, 0, kWidth, kHeight}, keys, 255) != PF_Err_NONE)
            state.SkipWithError("the selection failed");
        selected = 0;
        for (A_long y = 0; y < kHeight; ++y)
            selected += plane.rowFlags[y];
    }
    state.counters["selected rows"] = double(selected);
}

void RunRender(benchmark::State& state, int threads) {
    gEnv->host->SetWorkerThreads(threads);
    host::World input(*gEnv->host, kWidth, kHeight, PF_PixelFormat_ARGB64);
    host::World output(*gEnv->host, kWidth, kHeight, PF_PixelFormat_ARGB64, false);
    Fill<PF_Pixel16>(input);
    RenderParams record;
    record.blurAmount = 20;
    record.autoAlpha = 1;
    record.keys[0] = KeyColorParams{1, kKey, kRange * 100};
    record.mode = kModeNormal;
    record.keepDivision = 1;
    record.repeat = 1;
    record.blurType = kBlurTypeBox;
    record.in_data = &gEnv->inData;
    record.input = input.get();
    record.output = output.get();
    record.pixelFormat = PF_PixelFormat_ARGB64;
    record.area = {0, 0, kWidth, kHeight};
    for (auto _ : state)
        if (RenderFrame(record) != PF_Err_NONE)
            state.SkipWithError("the render failed");
}

void RunCvBox(benchmark::State& state, int threads) {
    static std::vector<PF_Pixel16> destination(std::size_t(kWidth) * kHeight);
    const std::vector<PF_Pixel16>& frame = FrameOf<PF_Pixel16>();
    cv::setNumThreads(threads);
    const cv::Mat source(kHeight, kWidth, CV_16UC4, const_cast<PF_Pixel16*>(frame.data()));
    cv::Mat out(kHeight, kWidth, CV_16UC4, destination.data());
    for (auto _ : state)
        cv::boxFilter(source, out, -1, cv::Size(41, 41));
}

class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> ms;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (!r.error_occurred)
                ms[r.run_name.function_name] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    double Get(const std::string& name) const {
        const auto it = ms.find(name);
        return it == ms.end() ? NAN : it->second;
    }
};

} // namespace

int main(int argc, char** argv) {
    Env env;
    env.host = std::make_unique<host::Host>(host::Settings::Production());
    env.instance = std::make_unique<host::Instance>(*env.host);
    env.inData = env.instance->MakeInData();
    env.suites = std::make_unique<AEUtil::SuiteHolder>(env.host->BasicSuite());
    AEUtil::SetGlobalSuites(env.suites.get());
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
        reg("cv.boxFilter/16/grain/d=41" + t, RunCvBox, threads);
    }

    benchmark::Initialize(&argc, argv);
    RatioReporter r;
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
    }
    benchmark::Shutdown();

    AEUtil::SetGlobalSuites(nullptr);
    env.suites.reset();
    env.instance.reset();
    env.host.reset();
    return 0;
}
