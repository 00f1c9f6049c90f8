// The blur on a 3840 × 2160 frame, 16-bit and float, fully selected opaque content and cel-like keyed
// content: each sequence at lengths 3, 15, 50 and 200, repeat 1 and 3, one box pass, and in the same run
// the peers a user would otherwise pick (OpenCV's box filter, also on two row stripes in parallel, and its
// Gaussian blur with σ² = d²/8) and a memcpy of the frame as the floor. The effect's passes run through
// the embedded host's iterate_generic on two threads; OpenCV gets two threads as well. The ratios to
// the peers are printed at the end.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "host/Host.h"
#include "host/Instance.h"
#include "host/World.h"
#include "kernels/BlurLineFilters.h"
#include "kernels/BlurSequence.h"
#include "kernels/PassContext.h"
#include "kernels/SelectionPlane.h"
#include "share/AEUtil/SuiteHolder.h"

namespace {

constexpr A_long kWidth = 3840;
constexpr A_long kHeight = 2160;
constexpr int kThreads = 2;
const int kLengths[] = {3, 15, 50, 200};

struct Env {
    std::unique_ptr<host::Host> host;
    std::unique_ptr<host::Instance> instance;
    std::unique_ptr<AEUtil::SuiteHolder> suites;
    PF_InData inData{};
};
Env* gEnv = nullptr;

// A selection plane on the benchmark's own memory, laid out by the plane's own layout.
struct Plane {
    std::vector<uint8_t> memory;
    SelectionPlane plane;
    void Init(int width, int height) {
        memory.assign(static_cast<std::size_t>(SelectionPlaneBytes(width, height)), 0);
        plane = LayOutSelectionPlane(memory.data(), width, height);
    }
    void Select(int x, int y) {
        plane.bytes[static_cast<std::size_t>(y) * plane.stride + x] = 255;
        plane.rowFlags[y] = 1;
        plane.columnFlags[x] = 1;
    }
};

struct Frame {
    bool isFloat;
    bool keyed;
    std::unique_ptr<host::World> source, output, scratch;
    Plane plane;
    cv::Mat cvSource, cvDestination;
};

template <class Pixel>
Pixel& At(host::World& w, int x, int y) {
    return reinterpret_cast<Pixel*>(w.Row(y))[x];
}

void SetPixel(host::World& w, bool isFloat, int x, int y, double a, double r, double g, double b) {
    if (isFloat)
        At<PF_PixelFloat>(w, x, y) = {float(a), float(r), float(g), float(b)};
    else
        At<PF_Pixel16>(w, x, y) = {A_u_short(a * 32768), A_u_short(r * 32768), A_u_short(g * 32768),
                                   A_u_short(b * 32768)};
}

// Opaque: a smooth gradient with noise, everything selected. Keyed: flat-coloured shapes on a key
// background (unselected), some of them transparent, as a cel animation's layer looks.
std::unique_ptr<Frame> MakeFrame(bool isFloat, bool keyed) {
    auto f = std::make_unique<Frame>();
    f->isFloat = isFloat;
    f->keyed = keyed;
    const PF_PixelFormat format = isFloat ? PF_PixelFormat_ARGB128 : PF_PixelFormat_ARGB64;
    f->source = std::make_unique<host::World>(*gEnv->host, kWidth, kHeight, format, true);
    f->output = std::make_unique<host::World>(*gEnv->host, kWidth, kHeight, format, true);
    f->scratch = std::make_unique<host::World>(*gEnv->host, kWidth, kHeight, format, true);
    f->plane.Init(kWidth, kHeight);
    std::mt19937 rng(keyed ? 7 : 3);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    if (!keyed) {
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                SetPixel(*f->source, isFloat, x, y, 1.0, double(x) / kWidth * 0.9 + u(rng) * 0.1,
                         double(y) / kHeight * 0.9 + u(rng) * 0.1, 0.5 + u(rng) * 0.1);
                f->plane.Select(x, y);
            }
    } else {
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                SetPixel(*f->source, isFloat, x, y, 1.0, 0.0, 1.0, 0.0);
        for (int shape = 0; shape < 400; ++shape) {
            const int cx = int(u(rng) * kWidth), cy = int(u(rng) * kHeight);
            const int rx = 20 + int(u(rng) * 300), ry = 20 + int(u(rng) * 300);
            const double a = u(rng) < 0.15 ? 0.0 : 1.0, r = u(rng), g = u(rng) * 0.8, b = u(rng);
            for (int y = std::max(0, cy - ry); y < std::min<int>(kHeight, cy + ry); ++y)
                for (int x = std::max(0, cx - rx); x < std::min<int>(kWidth, cx + rx); ++x) {
                    const double dx = double(x - cx) / rx, dy = double(y - cy) / ry;
                    if (dx * dx + dy * dy <= 1.0) {
                        SetPixel(*f->source, isFloat, x, y, a, r, g, b);
                        f->plane.Select(x, y);
                    }
                }
        }
    }
    const int type = isFloat ? CV_32FC4 : CV_16UC4;
    f->cvSource = cv::Mat(kHeight, kWidth, type, f->source->get()->data, f->source->RowBytes());
    f->cvDestination = cv::Mat(kHeight, kWidth, type, f->output->get()->data, f->output->RowBytes());
    return f;
}

std::vector<std::unique_ptr<Frame>> gFrames;
Frame& FrameOf(bool isFloat, bool keyed) {
    for (auto& f : gFrames)
        if (f->isFloat == isFloat && f->keyed == keyed)
            return *f;
    gFrames.push_back(MakeFrame(isFloat, keyed));
    return *gFrames.back();
}

struct Sequence {
    const char* name;
    BlurKernel kernel;
    BlurVariant variant;
};
const Sequence kSequences[] = {
    {"GaussSpanning", BlurKernel::Gauss, BlurVariant::Spanning},
    {"GaussConfined", BlurKernel::Gauss, BlurVariant::Confined},
    {"BoxSpanning", BlurKernel::Box, BlurVariant::Spanning},
    {"BoxConfined", BlurKernel::Box, BlurVariant::Confined},
};

const char* DepthName(bool isFloat) {
    return isFloat ? "float" : "16";
}
const char* ContentName(bool keyed) {
    return keyed ? "keyed" : "opaque";
}

void RunSequence(benchmark::State& state, const Sequence& seq, bool isFloat, bool keyed, int length,
                 int repeat) {
    Frame& f = FrameOf(isFloat, keyed);
    BlurOptions options;
    options.kernel = seq.kernel;
    options.variant = seq.variant;
    for (double& l : options.lengths)
        l = length;
    options.repeat = repeat;
    const PF_Rect rect{0, 0, kWidth, kHeight};
    const auto run = isFloat ? BlurSequence<DepthFloat> : BlurSequence<Depth16>;
    for (auto _ : state) {
        const PF_Err err = run(f.output->get(), f.source->get(), f.scratch->get(), options, f.plane.plane,
                               rect, &gEnv->inData, PF_Iterations_ONCE_PER_PROCESSOR, nullptr);
        if (err)
            state.SkipWithError("the sequence failed");
    }
}

void RunBoxPass(benchmark::State& state, bool isFloat, bool columns, int length) {
    Frame& f = FrameOf(isFloat, false);
    PassContext ctx;
    ctx.destination = f.output->get();
    ctx.source = f.source->get();
    ctx.rect = PF_Rect{0, 0, kWidth, kHeight};
    ctx.plane = f.plane.plane;
    for (int c = 0; c < 4; ++c)
        ctx.boxRadius[c] = length;
    const PassFunction pass = isFloat ? (columns ? BoxSpanningColumnsFloat : BoxSpanningRowsFloat)
                                      : (columns ? BoxSpanningColumns16 : BoxSpanningRows16);
    for (auto _ : state)
        if (RunPass(&gEnv->inData, PF_Iterations_ONCE_PER_PROCESSOR, &ctx, pass))
            state.SkipWithError("the pass failed");
}

void RunMemcpy(benchmark::State& state, bool isFloat) {
    Frame& f = FrameOf(isFloat, false);
    const std::size_t bytes = static_cast<std::size_t>(f.source->RowBytes()) * kHeight;
    for (auto _ : state) {
        std::memcpy(f.output->get()->data, f.source->get()->data, bytes);
        benchmark::ClobberMemory();
    }
}

void RunCvBox(benchmark::State& state, bool isFloat, int length, bool stripes) {
    Frame& f = FrameOf(isFloat, false);
    const cv::Size k(2 * length - 1, 2 * length - 1);
    for (auto _ : state) {
        if (!stripes) {
            cv::boxFilter(f.cvSource, f.cvDestination, -1, k);
        } else {
            const int half = kHeight / 2;
            std::thread other([&] {
                cv::Mat d = f.cvDestination.rowRange(half, kHeight);
                cv::boxFilter(f.cvSource.rowRange(half, kHeight), d, -1, k);
            });
            cv::Mat d = f.cvDestination.rowRange(0, half);
            cv::boxFilter(f.cvSource.rowRange(0, half), d, -1, k);
            other.join();
        }
    }
}

void RunCvGauss(benchmark::State& state, bool isFloat, int length) {
    Frame& f = FrameOf(isFloat, false);
    const double sigma = std::sqrt(double(length) * length / 8.0);
    for (auto _ : state)
        cv::GaussianBlur(f.cvSource, f.cvDestination, cv::Size(0, 0), sigma, sigma);
}

// Keeps every result so that the ratios can be printed after the run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> ms;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (!r.error_occurred)
                ms[r.run_name.function_name] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

double Get(const RatioReporter& r, const std::string& name) {
    const auto it = r.ms.find(name);
    return it == r.ms.end() ? NAN : it->second;
}

void PrintRatios(const RatioReporter& r) {
    std::printf("\nRatios (ours / peer; below 1 is faster than the peer)\n");
    for (bool isFloat : {false, true}) {
        const std::string depth = DepthName(isFloat);
        const double floor = Get(r, "memcpy/" + depth);
        for (int length : kLengths) {
            const std::string l = std::to_string(length);
            const double cvBox = std::fmin(Get(r, "cv.boxFilter/" + depth + "/d=" + l),
                                           Get(r, "cv.boxFilter.2stripes/" + depth + "/d=" + l));
            const double cvGauss = Get(r, "cv.GaussianBlur/" + depth + "/d=" + l);
            std::printf("%-5s d=%-3d  box pass rows / memcpy %5.2f  columns / memcpy %5.2f\n", depth.c_str(),
                        length, Get(r, "pass.BoxSpanningRows/" + depth + "/d=" + l) / floor,
                        Get(r, "pass.BoxSpanningColumns/" + depth + "/d=" + l) / floor);
            for (bool keyed : {false, true})
                for (const Sequence& s : kSequences)
                    for (int repeat : {1, 3}) {
                        const std::string name = std::string("seq.") + s.name + "/" + depth + "/" +
                                                 ContentName(keyed) + "/d=" + l +
                                                 "/n=" + std::to_string(repeat);
                        const bool gauss = s.name[0] == 'G';
                        const double ours = Get(r, name);
                        if (std::isnan(ours))
                            continue; // filtered out of this run
                        std::printf("  %-42s %9.2f ms  / %s %6.2f   / memcpy %7.2f\n", name.c_str(), ours,
                                    gauss ? "cv.GaussianBlur" : "cv.boxFilter   ",
                                    ours / (gauss ? cvGauss : cvBox), ours / floor);
                    }
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    host::Settings settings;
    settings.workerThreads = kThreads;
    Env env;
    env.host = std::make_unique<host::Host>(settings);
    env.instance = std::make_unique<host::Instance>(*env.host);
    env.inData = env.instance->MakeInData();
    env.suites = std::make_unique<AEUtil::SuiteHolder>(env.host->BasicSuite());
    AEUtil::SetGlobalSuites(env.suites.get());
    gEnv = &env;
    cv::setNumThreads(kThreads);

    const auto reg = [](const std::string& name, auto fn, auto... args) {
        benchmark::RegisterBenchmark(name.c_str(), fn, args...)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MinTime(0.3);
    };
    for (bool isFloat : {false, true}) {
        const std::string depth = DepthName(isFloat);
        reg("memcpy/" + depth, RunMemcpy, isFloat);
        for (int length : kLengths) {
            const std::string l = "/d=" + std::to_string(length);
            reg("pass.BoxSpanningRows/" + depth + l, RunBoxPass, isFloat, false, length);
            reg("pass.BoxSpanningColumns/" + depth + l, RunBoxPass, isFloat, true, length);
            reg("cv.boxFilter/" + depth + l, RunCvBox, isFloat, length, false);
            reg("cv.boxFilter.2stripes/" + depth + l, RunCvBox, isFloat, length, true);
            reg("cv.GaussianBlur/" + depth + l, RunCvGauss, isFloat, length);
            for (bool keyed : {false, true})
                for (const Sequence& s : kSequences)
                    for (int repeat : {1, 3})
                        reg(std::string("seq.") + s.name + "/" + depth + "/" + ContentName(keyed) + l +
                                "/n=" + std::to_string(repeat),
                            RunSequence, s, isFloat, keyed, length, repeat);
        }
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintRatios(reporter);
    benchmark::Shutdown();

    gFrames.clear();
    AEUtil::SetGlobalSuites(nullptr);
    env.suites.reset();
    env.instance.reset();
    env.host.reset();
    return 0;
}
