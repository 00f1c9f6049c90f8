// The blur on a 3840 × 2160 frame, two ways, in one run with the peers a user would otherwise pick
// (OpenCV's box filter and Gaussian blur, given the same two threads with cv::setNumThreads) and a memcpy
// of the frame as the floor:
// - render.*: the effect's whole render command through the embedded host (production mode, two worker
//   threads) on a frame with film grain, at 8-bit, 16-bit and float: box n = 1 at Blur Amount 20 (41 × 41),
//   the default settings (box, three repeats, lengths up to 31), box 20 with a key colour, Gaussian n = 1
//   at Blur Amount 20 (41 taps), and a render with nothing to do (the host's copy), which the ratios
//   subtract as "minus copy";
// - seq.* and pass.*: the blur sequences and single box passes alone on 16-bit and float frames, fully
//   selected opaque content and cel-like keyed content, at lengths 3, 15, 50 and 200, repeat 1 and 3.
// Every benchmark reports wall time and the process's CPU time (all threads); the ratios are printed at the
// end.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
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
#include "host/Plugin.h"
#include "host/World.h"
#include "kernels/BlurLineFilters.h"
#include "kernels/BlurSequence.h"
#include "kernels/PassContext.h"
#include "kernels/SelectKeyColors.h"
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
    for (auto _ : state) {
        const PF_Err err = isFloat
                               ? BlurSequence<DepthFloat>(f.output->get(), f.source->get(), f.scratch->get(),
                                                          options, f.plane.plane, rect, &gEnv->inData,
                                                          PF_Iterations_ONCE_PER_PROCESSOR, nullptr)
                               : BlurSequence<Depth16>(f.output->get(), f.source->get(), f.scratch->get(),
                                                       options, f.plane.plane, rect, &gEnv->inData,
                                                       PF_Iterations_ONCE_PER_PROCESSOR, nullptr);
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

// ---- The render command ---------------------------------------------------------------------------------

// The plug-in the build made beside this program, or the one TOVRIN_PLUGIN names.
std::string PluginPath() {
    if (const char* path = std::getenv("TOVRIN_PLUGIN"))
        return path;
    return TOVRIN_BENCH_PLUGIN;
}

// On the benchmark's one host (only one can serve at a time).
struct RenderEnv {
    host::Host* host = nullptr;
    std::shared_ptr<host::Plugin> plugin;
    std::unique_ptr<host::Instance> instance;
};
RenderEnv* gRender = nullptr;

RenderEnv& Renderer() {
    if (!gRender) {
        static RenderEnv env;
        env.host = gEnv->host.get();
        env.plugin = host::Plugin::Load(PluginPath());
        env.instance = std::make_unique<host::Instance>(*env.host, env.plugin);
        if (env.instance->Apply() != PF_Err_NONE)
            std::fprintf(stderr, "the effect refused its setup\n");
        gRender = &env;
    }
    return *gRender;
}

// A photograph's worth of texture: smooth colour gradients under Gaussian film grain (σ 6 %), opaque.
struct GrainFrame {
    std::unique_ptr<host::World> input, output;
    cv::Mat cvInput, cvOutput;
};
std::map<int, GrainFrame> gGrain;

GrainFrame& GrainOf(int depth) {
    auto it = gGrain.find(depth);
    if (it != gGrain.end())
        return it->second;
    GrainFrame& f = gGrain[depth];
    const PF_PixelFormat format = depth == 8    ? PF_PixelFormat_ARGB32
                                  : depth == 16 ? PF_PixelFormat_ARGB64
                                                : PF_PixelFormat_ARGB128;
    host::Host& h = *Renderer().host;
    f.input = std::make_unique<host::World>(h, kWidth, kHeight, format, true);
    f.output = std::make_unique<host::World>(h, kWidth, kHeight, format, true);
    std::mt19937 rng(5);
    std::normal_distribution<double> grain(0.0, 0.06);
    const auto clamp = [](double v) { return v < 0.0 ? 0.0 : v > 1.0 ? 1.0 : v; };
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const double u = double(x) / kWidth, v = double(y) / kHeight;
            const double r = clamp(0.1 + 0.8 * u + grain(rng)), g = clamp(0.2 + 0.5 * v + grain(rng)),
                         b = clamp(0.8 - 0.6 * u * v + grain(rng));
            if (depth == 8)
                reinterpret_cast<PF_Pixel8*>(f.input->Row(y))[x] = {
                    255, A_u_char(r * 255 + 0.5), A_u_char(g * 255 + 0.5), A_u_char(b * 255 + 0.5)};
            else
                SetPixel(*f.input, depth == 32, x, y, 1.0, r, g, b);
        }
    const int type = depth == 8 ? CV_8UC4 : depth == 16 ? CV_16UC4 : CV_32FC4;
    f.cvInput = cv::Mat(kHeight, kWidth, type, f.input->get()->data, f.input->RowBytes());
    f.cvOutput = cv::Mat(kHeight, kWidth, type, f.output->get()->data, f.output->RowBytes());
    return f;
}

struct RenderCase {
    const char* name;
    const char* peer; // the ratio's OpenCV benchmark, by name without the depth
    int blurType;     // 1 Gaussian, 2 Box
    double amount;
    int repeat;
    double g, b;
    bool keyed;
};
const RenderCase kRenderCases[] = {
    {"copy", "", 2, 0, 3, 0, 0, false},
    {"box20n1", "cv.boxFilter41", 2, 20, 1, 0, 0, false},
    {"defaults", "cv.boxFilter31", 2, 0, 3, 5, 15, false},
    {"box20key", "cv.boxFilter41", 2, 20, 1, 0, 0, true},
    {"gauss20n1", "cv.GaussianBlur41", 1, 20, 1, 0, 0, false},
};

void Configure(host::Instance& in, const RenderCase& c) {
    in.SetPopup(in.IndexOfName("Blur Type"), c.blurType);
    in.SetFloat(in.IndexOfName("Blur Amount"), c.amount);
    in.SetSlider(in.IndexOfName("Blur Repeat Num"), c.repeat);
    in.SetFloat(in.IndexOfName("R"), 0);
    in.SetFloat(in.IndexOfName("G"), c.g);
    in.SetFloat(in.IndexOfName("B"), c.b);
    // A quarter of the frame's colours: the reds of the right-hand side.
    in.SetCheckbox(in.IndexOfName("1 : Enable"), c.keyed);
    in.SetColor(in.IndexOfName("1 : Color"), PF_Pixel{255, 230, 90, 120});
    in.SetFloat(in.IndexOfName("1 : Color Range"), 25);
}

void RunRender(benchmark::State& state, const RenderCase& c, int depth) {
    GrainFrame& f = GrainOf(depth);
    host::Instance& in = *Renderer().instance;
    Configure(in, c);
    for (auto _ : state)
        if (in.SmartRenderFrame(*f.input, *f.output) != PF_Err_NONE)
            state.SkipWithError("the render failed");
}

void RunGrainMemcpy(benchmark::State& state, int depth) {
    GrainFrame& f = GrainOf(depth);
    const std::size_t bytes = static_cast<std::size_t>(f.input->RowBytes()) * kHeight;
    for (auto _ : state) {
        std::memcpy(f.output->get()->data, f.input->get()->data, bytes);
        benchmark::ClobberMemory();
    }
}

// The blur stage alone on the grain frame, as the render cases above run it: every pixel selected, or the
// key colour's selection (made once, as the render makes it), into the output, unselected pixels from the
// input.
struct LayerPlanes {
    SelectionPlane all;
    SelectionPlane keyed;
};
std::map<int, LayerPlanes> gLayerPlanes;

LayerPlanes& LayerPlanesOf(int depth) {
    auto it = gLayerPlanes.find(depth);
    if (it != gLayerPlanes.end())
        return it->second;
    GrainFrame& f = GrainOf(depth);
    LayerPlanes& p = gLayerPlanes[depth];
    p.all = MakeSelectionPlane(kWidth, kHeight);
    FillSelectionPlane(p.all, 255);
    KeyList keys;
    PF_Fixed hls[3] = {0, 0, 0};
    ConvertRgbToHls(&gEnv->inData, PF_Pixel{255, 230, 90, 120}, hls);
    AppendKeyColor(keys, hls, 0.25);
    const PF_PixelFormat format = depth == 8    ? PF_PixelFormat_ARGB32
                                  : depth == 16 ? PF_PixelFormat_ARGB64
                                                : PF_PixelFormat_ARGB128;
    if (BuildSelectionPlane(p.keyed, &gEnv->inData, PF_Iterations_ONCE_PER_PROCESSOR, f.input->get(), format,
                            PF_Rect{0, 0, kWidth, kHeight}, keys, 255) != PF_Err_NONE)
        std::fprintf(stderr, "the key selection failed\n");
    return p;
}

template <class Depth>
void RunLayerAt(benchmark::State& state, const RenderCase& c, int depth) {
    GrainFrame& f = GrainOf(depth);
    LayerPlanes& planes = LayerPlanesOf(depth);
    BlurLayerJob job;
    job.output = f.output->get();
    job.source = f.input->get();
    job.unselected = c.keyed ? f.input->get() : nullptr;
    job.options.kernel = c.blurType == 1 ? BlurKernel::Gauss : BlurKernel::Box;
    job.options.variant = BlurVariant::Confined;
    // The render's extents: the channel length plus Blur Amount plus one; alpha follows the longest.
    const double r = 1 + c.amount, g = c.g + 1 + c.amount, b = c.b + 1 + c.amount;
    const double lengths[4] = {std::fmax(r, std::fmax(g, b)), r, g, b};
    for (int k = 0; k < 4; ++k)
        job.options.lengths[k] = lengths[k];
    job.options.repeat = c.repeat;
    job.plane = c.keyed ? planes.keyed : planes.all;
    job.rect = PF_Rect{0, 0, kWidth, kHeight};
    job.in_data = &gEnv->inData;
    using Blur = typename Depth::BlurDepth;
    const PF_PixelFormat blurFormat = std::is_same_v<Blur, Depth16> ? PF_PixelFormat_ARGB64 : Depth::kFormat;
    std::vector<std::unique_ptr<host::World>> worlds;
    PF_EffectWorld* handed[3] = {nullptr, nullptr, nullptr};
    for (int32_t k = 0; k < BlurLayerWorlds<Depth>(job.options); ++k) {
        worlds.push_back(std::make_unique<host::World>(*gEnv->host, kWidth, kHeight, blurFormat, true));
        handed[k] = worlds.back()->get();
    }
    for (auto _ : state)
        if (BlurLayer<Depth>(job, handed) != PF_Err_NONE)
            state.SkipWithError("the blur failed");
}

void RunLayer(benchmark::State& state, const RenderCase& c, int depth) {
    if (depth == 8)
        RunLayerAt<Depth8>(state, c, depth);
    else if (depth == 16)
        RunLayerAt<Depth16>(state, c, depth);
    else
        RunLayerAt<DepthFloat>(state, c, depth);
}

// OpenCV's filter over the frame, in one call (cv::setNumThreads(2)), or as two row stripes on two threads
// of our own: its box filter does not split a 16-bit or float frame among threads itself. The ratios take
// the faster of the two.
void RunGrainCv(benchmark::State& state, int depth, bool gauss, int taps, bool stripes) {
    GrainFrame& f = GrainOf(depth);
    const int radius = (taps + 1) / 2; // the effect's extent for this many taps
    const double sigma = std::sqrt(double(radius) * radius / 8.0);
    const auto filter = [&](int top, int bottom) {
        cv::Mat out = f.cvOutput.rowRange(top, bottom);
        if (gauss)
            cv::GaussianBlur(f.cvInput.rowRange(top, bottom), out, cv::Size(taps, taps), sigma, sigma);
        else
            cv::boxFilter(f.cvInput.rowRange(top, bottom), out, -1, cv::Size(taps, taps));
    };
    for (auto _ : state) {
        if (!stripes) {
            filter(0, kHeight);
        } else {
            std::thread other([&] { filter(kHeight / 2, kHeight); });
            filter(0, kHeight / 2);
            other.join();
        }
    }
}

// Keeps every result so that the ratios can be printed after the run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> ms;
    std::map<std::string, double> cpu;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (!r.error_occurred) {
                ms[r.run_name.function_name] = r.GetAdjustedRealTime();
                cpu[r.run_name.function_name] = r.GetAdjustedCPUTime();
            }
        ConsoleReporter::ReportRuns(runs);
    }
};

double Get(const RatioReporter& r, const std::string& name) {
    const auto it = r.ms.find(name);
    return it == r.ms.end() ? NAN : it->second;
}

double GetCpu(const RatioReporter& r, const std::string& name) {
    const auto it = r.cpu.find(name);
    return it == r.cpu.end() ? NAN : it->second;
}

void PrintRenderRatios(const RatioReporter& r) {
    std::printf("\nThe render command on a 4K frame with film grain, %d threads on both sides (ms; ratios "
                "ours / peer)\n",
                kThreads);
    std::printf("%-22s %9s %9s %9s %9s  %-18s %8s %9s %8s %8s\n", "render", "wall", "cpu", "-copy",
                "-copy cpu", "peer", "peer", "/peer", "-copy/", "/memcpy");
    for (int depth : {8, 16, 32}) {
        std::string d = "/";
        d += std::to_string(depth);
        const double copy = Get(r, "render.copy" + d), copyCpu = GetCpu(r, "render.copy" + d);
        const double floor = Get(r, "memcpy.grain" + d);
        for (const RenderCase& c : kRenderCases) {
            const std::string name = std::string("render.") + c.name + d;
            const double ours = Get(r, name), oursCpu = GetCpu(r, name);
            if (std::isnan(ours))
                continue;
            const std::string peerName = std::string(c.peer) + d;
            const double peer = c.peer[0] ? std::fmin(Get(r, peerName), Get(r, peerName + ".2stripes")) : NAN;
            std::printf("%-22s %9.1f %9.1f %9.1f %9.1f  %-18s %8.1f %9.2f %8.2f %8.2f\n", name.c_str(), ours,
                        oursCpu, ours - copy, oursCpu - copyCpu, c.peer[0] ? peerName.c_str() : "-", peer,
                        ours / peer, (ours - copy) / peer, ours / floor);
        }
    }
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
    // As the tool renders: the production host, on two threads.
    host::Settings settings = host::Settings::Production();
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
            ->MeasureProcessCPUTime()
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
    for (int depth : {8, 16, 32}) {
        std::string d = "/";
        d += std::to_string(depth);
        reg("memcpy.grain" + d, RunGrainMemcpy, depth);
        for (bool stripes : {false, true}) {
            const std::string how = stripes ? ".2stripes" : "";
            reg("cv.boxFilter41" + d + how, RunGrainCv, depth, false, 41, stripes);
            reg("cv.boxFilter31" + d + how, RunGrainCv, depth, false, 31, stripes);
            reg("cv.GaussianBlur41" + d + how, RunGrainCv, depth, true, 41, stripes);
        }
        for (const RenderCase& c : kRenderCases) {
            reg(std::string("render.") + c.name + d, RunRender, c, depth);
            if (c.amount > 0 || c.g > 0)
                reg(std::string("layer.") + c.name + d, RunLayer, c, depth);
        }
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintRenderRatios(reporter);
    PrintRatios(reporter);
    benchmark::Shutdown();

    gFrames.clear();
    gLayerPlanes.clear();
    gGrain.clear();
    if (gRender) {
        gRender->instance.reset();
        gRender->plugin.reset();
    }
    AEUtil::SetGlobalSuites(nullptr);
    env.suites.reset();
    env.instance.reset();
    env.host.reset();
    return 0;
}
