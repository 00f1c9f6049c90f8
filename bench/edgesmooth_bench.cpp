// The edge smoothing on 3840 × 2160 frames at each depth, on three kinds of content: a cel-like frame (flat
// shapes, one-pixel lines, a transparent band), a grainy one (a smooth picture under film grain, where
// nearly every pixel lies on an edge) and a heavily grainy one (as the tool benchmark's frames: nearly
// every pixel differs from all its neighbours, so most are averaged as lone pixels). Measured:
// - job: the whole job through the embedded host (production mode, as the tool runs it) on 1 and 2 threads;
// - pass: edge detection and the plain serial smoothing pass on plain memory, the order every job keeps;
// - detect: edge detection alone, one thread, with the plain tests and with the vector ones;
// - codes: the neighbourhood codes of every segment of the 16-bit frame's map, one thread, from the plain
//   byte loop and from the vector code;
// - render: a whole 16-bit render at Blur Amount 3 (box 7 after the smoothing) on the grainy frames, against
//   OpenCV's box filter 7 on the same frame and the same number of threads;
// - memcpy of the frame as the floor.
// The ratios are printed at the end.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/GrainFrame.h"
#include "edgesmooth/EdgeDetect.h"
#include "edgesmooth/EdgeSmooth.h"
#include "edgesmooth/NeighbourhoodCodes.h"
#include "edgesmooth/SmoothingPass.h"

namespace {

using bench::kHeight;
using bench::kWidth;

bench::BenchHost* gEnv = nullptr;

template <class Pixel>
Pixel Colour(int r, int g, int b, int a = 255) {
    if constexpr (std::is_same_v<Pixel, PF_Pixel8>)
        return Pixel{A_u_char(a), A_u_char(r), A_u_char(g), A_u_char(b)};
    else if constexpr (std::is_same_v<Pixel, PF_Pixel16>)
        return Pixel{A_u_short(a * 32768 / 255), A_u_short(r * 32768 / 255), A_u_short(g * 32768 / 255),
                     A_u_short(b * 32768 / 255)};
    else
        return Pixel{a / 255.0f, r / 255.0f, g / 255.0f, b / 255.0f};
}

// Flat shapes of a few colours with hard (aliased) edges, thin lines, and a transparent band.
template <class Pixel>
std::vector<Pixel> CelFrame() {
    const Pixel palette[] = {Colour<Pixel>(250, 245, 235), Colour<Pixel>(30, 30, 40),
                             Colour<Pixel>(220, 60, 50),   Colour<Pixel>(60, 120, 220),
                             Colour<Pixel>(240, 200, 80),  Colour<Pixel>(90, 170, 90)};
    std::vector<Pixel> frame(std::size_t(kWidth) * kHeight, palette[0]);
    auto at = [&](int x, int y) -> Pixel& { return frame[std::size_t(y) * kWidth + x]; };
    std::mt19937 rng(20);
    for (int shape = 0; shape < 400; ++shape) {
        const Pixel c = palette[1 + rng() % 5];
        const int cx = int(rng() % kWidth), cy = int(rng() % kHeight), r = 8 + int(rng() % 120);
        const bool disc = rng() % 2 == 0;
        for (int y = std::max(0, cy - r); y < std::min<int>(kHeight, cy + r); ++y)
            for (int x = std::max(0, cx - r); x < std::min<int>(kWidth, cx + r); ++x)
                if (!disc || (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r)
                    at(x, y) = c;
    }
    for (int line = 0; line < 300; ++line) { // one-pixel outlines at shallow and steep slopes
        const Pixel c = palette[1];
        double x = rng() % kWidth, y = rng() % kHeight;
        const double dx = (int(rng() % 200) - 100) / 100.0, dy = (int(rng() % 200) - 100) / 100.0;
        for (int i = 0; i < 400 && x >= 0 && y >= 0 && x < kWidth && y < kHeight; ++i, x += dx, y += dy)
            at(int(x), int(y)) = c;
    }
    for (int y = kHeight * 3 / 4; y < kHeight; ++y) // a transparent band
        for (int x = 0; x < kWidth; ++x)
            at(x, y).alpha = 0;
    return frame;
}

enum class Content { Cel, Grain, HeavyGrain };
const char* ContentName(Content c) {
    return c == Content::Cel ? "cel" : c == Content::Grain ? "grain" : "heavygrain";
}

template <class Pixel>
const std::vector<Pixel>& FrameOf(Content content) {
    static std::map<Content, std::vector<Pixel>> frames;
    auto it = frames.find(content);
    if (it == frames.end())
        it = frames
                 .emplace(content, content == Content::Cel ? CelFrame<Pixel>()
                                   : content == Content::Grain
                                       ? bench::GrainFrame<Pixel>(kWidth, kHeight)
                                       : bench::GrainFrame<Pixel>(kWidth, kHeight, 24.0f))
                 .first;
    return it->second;
}

template <class Depth>
void RunJob(benchmark::State& state, Content content, int threads) {
    using Pixel = typename Depth::Pixel;
    gEnv->Host().SetWorkerThreads(threads);
    host::World source(gEnv->Host(), kWidth, kHeight, Depth::kFormat);
    host::World destination(gEnv->Host(), kWidth, kHeight, Depth::kFormat, false);
    bench::Fill(source, FrameOf<Pixel>(content));
    EdgeSmoothJob job;
    job.in_data = gEnv->InData();
    job.source = source.get();
    job.destination = destination.get();
    job.pixelFormat = Depth::kFormat;
    for (auto _ : state)
        if (SmoothEdges(&job) != PF_Err_NONE)
            state.SkipWithError("SmoothEdges failed");
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

// Detection and the plain serial pass on plain memory: the engine's own work without the host.
template <class Depth>
void RunPlainPass(benchmark::State& state, Content content) {
    using Pixel = typename Depth::Pixel;
    const std::vector<Pixel>& frame = FrameOf<Pixel>(content);
    std::vector<Pixel> target(frame.size());
    std::vector<std::uint8_t> mapBlock(EdgeFlagMapBytes(kWidth, kHeight));
    EdgeSmoothJob job;
    const EdgeScale<Depth> scale = ScaleJob<Depth>(job);
    auto view = [](auto* data) {
        using P = std::remove_pointer_t<decltype(data)>;
        EdgeImage<P> v;
        v.data = reinterpret_cast<typename EdgeImage<P>::Byte*>(data);
        v.rowbytes = std::ptrdiff_t(kWidth) * std::ptrdiff_t(sizeof(Pixel));
        v.width = kWidth;
        v.height = kHeight;
        return v;
    };
    for (auto _ : state) {
        std::memcpy(target.data(), frame.data(), frame.size() * sizeof(Pixel));
        EdgePass<Depth> pass;
        pass.map = ClearEdgeFlagMap(mapBlock.data(), EdgeFlagMapStride(kWidth), kWidth, kHeight);
        pass.source = view(frame.data());
        pass.target = view(target.data());
        pass.strength = job.strength;
        pass.lightWeight = scale.lightWeight;
        pass.loneWeight = scale.loneWeight;
        DetectEdges<Depth>(pass.map, view(frame.data()), scale.threshold);
        RunSmoothingPass(pass);
        benchmark::DoNotOptimize(target.data());
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

// Edge detection of a whole frame on one thread, its tests at one instruction set.
template <class Depth>
void RunDetect(benchmark::State& state, Content content, EdgeIsa isa) {
    using Pixel = typename Depth::Pixel;
    const std::vector<Pixel>& frame = FrameOf<Pixel>(content);
    std::vector<std::uint8_t> mapBlock(EdgeFlagMapBytes(kWidth, kHeight));
    const EdgeFlagMap map = ClearEdgeFlagMap(mapBlock.data(), EdgeFlagMapStride(kWidth), kWidth, kHeight);
    EdgeImage<const Pixel> image;
    image.data = reinterpret_cast<typename EdgeImage<const Pixel>::Byte*>(frame.data());
    image.rowbytes = std::ptrdiff_t(kWidth) * std::ptrdiff_t(sizeof(Pixel));
    image.width = kWidth;
    image.height = kHeight;
    const auto threshold = ScaleJob<Depth>(EdgeSmoothJob{}).threshold;
    for (auto _ : state) {
        DetectEdges<Depth>(map, image, threshold, isa);
        benchmark::DoNotOptimize(mapBlock.data());
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

// The neighbourhood codes of every 64-pixel segment of every row of the 16-bit frame's map, at one
// instruction set, as the smoothing pass asks for them.
void RunCodes(benchmark::State& state, Content content, EdgeIsa isa) {
    const std::vector<PF_Pixel16>& frame = FrameOf<PF_Pixel16>(content);
    std::vector<std::uint8_t> mapBlock(EdgeFlagMapBytes(kWidth, kHeight));
    const EdgeFlagMap map = ClearEdgeFlagMap(mapBlock.data(), EdgeFlagMapStride(kWidth), kWidth, kHeight);
    EdgeImage<const PF_Pixel16> image;
    image.data = reinterpret_cast<EdgeImage<const PF_Pixel16>::Byte*>(frame.data());
    image.rowbytes = std::ptrdiff_t(kWidth) * std::ptrdiff_t(sizeof(PF_Pixel16));
    image.width = kWidth;
    image.height = kHeight;
    DetectEdges<EdgeDepth16>(map, image, ScaleJob<EdgeDepth16>(EdgeSmoothJob{}).threshold);
    SegmentCodes codes;
    for (auto _ : state)
        for (int32_t y = 0; y < kHeight; ++y)
            for (int32_t x0 = 0; x0 < kWidth; x0 += kCodedPixels) {
                CodeSegment(codes, map, x0, y, isa);
                benchmark::DoNotOptimize(codes);
            }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

// A whole 16-bit render of the grainy frame: Blur Amount 3 and no channel lengths give a box of 7 × 7,
// one repeat, with the edges smoothed first.
void RunRender(benchmark::State& state, Content content, int threads) {
    bench::RunBoxRender(state, *gEnv, FrameOf<PF_Pixel16>(content), threads, 3, [](RenderParams&) {});
}

void RunCvBox(benchmark::State& state, Content content, int threads) {
    bench::RunCvBox(state, FrameOf<PF_Pixel16>(content), threads, 7);
}

template <class Pixel>
void RunMemcpy(benchmark::State& state) {
    const std::vector<Pixel>& frame = FrameOf<Pixel>(Content::Grain);
    std::vector<Pixel> target(frame.size());
    for (auto _ : state) {
        std::memcpy(target.data(), frame.data(), frame.size() * sizeof(Pixel));
        benchmark::DoNotOptimize(target.data());
    }
}

const char* const kDepths[] = {"8", "16", "float"};

void PrintRatios(const bench::RatioReporter& r) {
    std::printf("\nRatios (wall time; below 1 is faster)\n");
    for (const char* depth : kDepths)
        for (Content c : {Content::Cel, Content::Grain, Content::HeavyGrain}) {
            const std::string name = std::string(depth) + "/" + ContentName(c);
            const double plain = r.Get("pass/" + name), one = r.Get("job/" + name + "/threads:1"),
                         two = r.Get("job/" + name + "/threads:2"),
                         floor = r.Get(std::string("memcpy/") + depth);
            std::printf(
                "%-12s job 1 thread / plain pass %5.2f   2 threads / 1 thread %5.2f   2 threads / memcpy "
                "%6.2f\n",
                name.c_str(), one / plain, two / one, two / floor);
        }
    for (const char* depth : kDepths)
        for (Content c : {Content::Cel, Content::Grain, Content::HeavyGrain}) {
            const std::string name = std::string("detect/") + depth + "/" + ContentName(c);
            std::printf("%-20s vector tests / plain tests %5.2f\n", name.c_str(),
                        r.Get(name + "/best") / r.Get(name + "/plain"));
        }
    for (Content c : {Content::Cel, Content::Grain, Content::HeavyGrain}) {
        const std::string name = std::string("codes/16/") + ContentName(c);
        std::printf("%-20s vector codes / plain codes %5.2f\n", name.c_str(),
                    r.Get(name + "/best") / r.Get(name + "/plain"));
    }
    for (Content c : {Content::Grain, Content::HeavyGrain})
        for (int threads : {1, 2}) {
            const std::string t = "/threads:" + std::to_string(threads);
            const std::string content = ContentName(c);
            std::printf("render 16/%s Blur Amount 3 / cv.boxFilter 7, %d thread(s): %6.2f\n", content.c_str(),
                        threads,
                        r.Get("render/16/" + content + "/amount:3" + t) /
                            r.Get("cv.boxFilter/16/" + content + "/d=7" + t));
        }
}

} // namespace

int main(int argc, char** argv) {
    bench::BenchHost env;
    gEnv = &env;

    const auto reg = [](const std::string& name, auto fn, auto... args) {
        benchmark::RegisterBenchmark(name.c_str(), fn, args...)->Unit(benchmark::kMillisecond)->UseRealTime();
    };
    for (Content c : {Content::Cel, Content::Grain, Content::HeavyGrain}) {
        const std::string content = ContentName(c);
        reg("pass/8/" + content, RunPlainPass<EdgeDepth8>, c);
        reg("pass/16/" + content, RunPlainPass<EdgeDepth16>, c);
        reg("pass/float/" + content, RunPlainPass<EdgeDepthFloat>, c);
        for (EdgeIsa isa : {EdgeIsa::Plain, BestEdgeIsa()}) {
            const std::string suffix = isa == EdgeIsa::Plain ? "/plain" : "/best";
            reg("detect/8/" + content + suffix, RunDetect<EdgeDepth8>, c, isa);
            reg("detect/16/" + content + suffix, RunDetect<EdgeDepth16>, c, isa);
            reg("detect/float/" + content + suffix, RunDetect<EdgeDepthFloat>, c, isa);
            reg("codes/16/" + content + suffix, RunCodes, c, isa);
        }
        for (int threads : {1, 2}) {
            const std::string t = "/threads:" + std::to_string(threads);
            reg("job/8/" + content + t, RunJob<EdgeDepth8>, c, threads);
            reg("job/16/" + content + t, RunJob<EdgeDepth16>, c, threads);
            reg("job/float/" + content + t, RunJob<EdgeDepthFloat>, c, threads);
        }
    }
    for (Content c : {Content::Grain, Content::HeavyGrain})
        for (int threads : {1, 2}) {
            const std::string t = "/threads:" + std::to_string(threads);
            const std::string content = ContentName(c);
            reg("render/16/" + content + "/amount:3" + t, RunRender, c, threads);
            reg("cv.boxFilter/16/" + content + "/d=7" + t, RunCvBox, c, threads);
        }
    reg("memcpy/8", RunMemcpy<PF_Pixel8>);
    reg("memcpy/16", RunMemcpy<PF_Pixel16>);
    reg("memcpy/float", RunMemcpy<PF_PixelFloat>);

    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintRatios(reporter);
    benchmark::Shutdown();
    return 0;
}
