// The edge-smoothing engine on a 3840 × 2160 cel-like frame (flat shapes, one-pixel lines, a transparent
// part) at each depth: the whole job through the embedded host (copy, flag map world, detection, pass),
// the detection and pass alone on plain memory, and a memcpy of the frame as the floor.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "edgesmooth/EdgeDetect.h"
#include "edgesmooth/EdgeSmooth.h"
#include "edgesmooth/SmoothingPass.h"
#include "host/Host.h"
#include "host/Instance.h"
#include "host/World.h"

namespace {

constexpr A_long kWidth = 3840;
constexpr A_long kHeight = 2160;

struct Env {
    std::unique_ptr<host::Host> host;
    std::unique_ptr<host::Instance> instance;
    PF_InData inData{};
};
Env& TheEnv() {
    static Env env = [] {
        Env e;
        e.host = std::make_unique<host::Host>();
        e.instance = std::make_unique<host::Instance>(*e.host);
        e.inData = e.instance->MakeInData();
        return e;
    }();
    return env;
}

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

template <class Depth>
void BM_SmoothEdgesJob(benchmark::State& state) {
    using Pixel = typename Depth::Pixel;
    Env& env = TheEnv();
    host::World source(*env.host, kWidth, kHeight, Depth::kFormat);
    host::World destination(*env.host, kWidth, kHeight, Depth::kFormat, false);
    const std::vector<Pixel> frame = CelFrame<Pixel>();
    std::vector<std::uint8_t> bytes(frame.size() * sizeof(Pixel));
    std::memcpy(bytes.data(), frame.data(), bytes.size());
    source.SetPixels(bytes);
    EdgeSmoothJob job;
    job.in_data = &env.inData;
    job.source = source.get();
    job.destination = destination.get();
    job.pixelFormat = Depth::kFormat;
    for (auto _ : state)
        if (SmoothEdges(&job) != PF_Err_NONE)
            state.SkipWithError("SmoothEdges failed");
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

// Detection and pass on plain memory: the engine's own work without the host's copy and world.
template <class Depth>
void BM_DetectAndSmooth(benchmark::State& state) {
    using Pixel = typename Depth::Pixel;
    const std::vector<Pixel> frame = CelFrame<Pixel>();
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
        DetectEdges<Depth>(pass.map, view(static_cast<const Pixel*>(target.data())), scale.threshold);
        RunSmoothingPass(pass);
        benchmark::DoNotOptimize(target.data());
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

template <class Depth>
void BM_CopyFloor(benchmark::State& state) {
    using Pixel = typename Depth::Pixel;
    const std::vector<Pixel> frame = CelFrame<Pixel>();
    std::vector<Pixel> target(frame.size());
    for (auto _ : state) {
        std::memcpy(target.data(), frame.data(), frame.size() * sizeof(Pixel));
        benchmark::DoNotOptimize(target.data());
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

BENCHMARK(BM_SmoothEdgesJob<EdgeDepth8>)->Name("SmoothEdges8/job")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmoothEdgesJob<EdgeDepth16>)->Name("SmoothEdges16/job")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmoothEdgesJob<EdgeDepthFloat>)->Name("SmoothEdgesFloat/job")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DetectAndSmooth<EdgeDepth8>)->Name("SmoothEdges8/pass")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DetectAndSmooth<EdgeDepth16>)->Name("SmoothEdges16/pass")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DetectAndSmooth<EdgeDepthFloat>)->Name("SmoothEdgesFloat/pass")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyFloor<EdgeDepth8>)->Name("memcpy8")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyFloor<EdgeDepth16>)->Name("memcpy16")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyFloor<EdgeDepthFloat>)->Name("memcpyFloat")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
