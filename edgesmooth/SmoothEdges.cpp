#include "edgesmooth/EdgeSmooth.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "edgesmooth/EdgeDetect.h"
#include "edgesmooth/SmoothingSchedule.h"
#include "kernels/PassContext.h"
#include "kernels/RowBlocks.h"
#include "share/AEUtil/SuiteHolder.h"

namespace {

// The flag map's storage: a temporary 8-bit host world of stride / 4 pixels by EdgeFlagMapRows(height)
// rows, one map row in each world row (the host may pad its rows; the padding is not the map's). Given
// back to the host when the job ends.
class FlagMapWorld {
public:
    FlagMapWorld(const PF_WorldSuite1* suite, PF_ProgPtr effect_ref)
        : suite_(suite), effect_ref_(effect_ref) {}
    ~FlagMapWorld() {
        if (created_)
            suite_->dispose_world(effect_ref_, &world_); // nothing to do about a refusal here
    }
    FlagMapWorld(const FlagMapWorld&) = delete;
    FlagMapWorld& operator=(const FlagMapWorld&) = delete;

    PF_Err Create(int32_t width, int32_t height) {
        const int32_t stride = EdgeFlagMapStride(width);
        const int32_t rows = EdgeFlagMapRows(height);
        PF_Err err = suite_->new_world(effect_ref_, stride / 4, rows, PF_NewWorldFlag_NONE, &world_);
        if (err != PF_Err_NONE)
            return err;
        created_ = true;
        if (!world_.data || world_.rowbytes < stride || world_.height < rows)
            return PF_Err_INTERNAL_STRUCT_DAMAGED;
        return PF_Err_NONE;
    }
    uint8_t* Bytes() const noexcept { return reinterpret_cast<uint8_t*>(world_.data); }
    std::ptrdiff_t RowBytes() const noexcept { return world_.rowbytes; }

private:
    const PF_WorldSuite1* suite_;
    PF_ProgPtr effect_ref_;
    PF_EffectWorld world_{};
    bool created_ = false;
};

// A locked block of host memory, given back when the owner goes.
class HostBlock {
public:
    HostBlock() = default;
    ~HostBlock() { Release(); }
    HostBlock(const HostBlock&) = delete;
    HostBlock& operator=(const HostBlock&) = delete;

    // Replaces the block with a fresh one of `bytes` bytes (content undefined).
    PF_Err Reserve(const PF_HandleSuite1* suite, std::size_t bytes) noexcept {
        Release();
        suite_ = suite;
        handle_ = suite->host_new_handle(bytes);
        if (!handle_)
            return PF_Err_OUT_OF_MEMORY;
        data_ = suite->host_lock_handle(handle_);
        if (!data_) {
            Release();
            return PF_Err_OUT_OF_MEMORY;
        }
        return PF_Err_NONE;
    }
    void* Data() const noexcept { return data_; }

private:
    void Release() noexcept {
        if (handle_) {
            if (data_)
                suite_->host_unlock_handle(handle_);
            suite_->host_dispose_handle(handle_);
        }
        handle_ = nullptr;
        data_ = nullptr;
    }
    const PF_HandleSuite1* suite_ = nullptr;
    PF_Handle handle_ = nullptr;
    void* data_ = nullptr;
};

// Calls beyond this share the host's threads among this many bands.
constexpr int32_t kMaxBands = 64;
// The rows at the top of a band that the band above may reach with its down-going blends (one-pixel
// jogs, short ramps and tracers) without making it decide again.
constexpr int32_t kHeadRows = 16;

// The record every call of the job's passes reads. The detection calls write disjoint rows of the map; a
// band's calls write T in the band's rows and the band's lists only.
template <class Depth>
struct SmoothingContext {
    using Pixel = typename Depth::Pixel;
    using Weight = typename Depth::Weight;
    struct Band {
        HostBlock headMemory;
        HostBlock acrossMemory;
        HostBlock productMemory;
        std::conditional_t<std::is_same_v<Depth, EdgeDepth8>, bool, LoneProductRows<Depth>> products{};
        EdgeBlendList<Weight> head;
        EdgeBlendList<Weight> across;
        RowSpan rows;
        RowSpan direct;
        bool decided = false;
        bool reachedDeep = false; // a band above reaches below the head: its blends go first
    };

    PF_Rect rect{}; // the image's rows, shared out among the calls
    EdgeImage<const Pixel> source;
    EdgeImage<Pixel> target;
    EdgeFlagMap map;
    typename Depth::Level threshold{};
    int64_t strength = 0;
    Weight lightWeight{};
    LoneAverage<Depth> lone;
    std::atomic<int32_t> detectionCalls{1};
    int32_t bands = 1;
    Band band[kMaxBands];

    EdgeBlendApplier<Depth> Applier() const noexcept { return {source, target, lone}; }
    // The blends of the bands above band i that land below its head, in pass order.
    template <class Fn>
    void ForEachDeepBlend(int32_t i, Fn&& fn) const noexcept {
        for (int32_t j = 0; j < i; ++j) {
            const auto& list = band[j].across;
            for (std::size_t k = 0; k < list.count; ++k)
                if (band[i].direct.Holds(list.ops[k].targetY))
                    fn(list.ops[k]);
        }
    }
};

// The job checked its worlds and made the map before any pass.
constexpr auto kCovered = [](const LineBlock&) noexcept { return true; };

// Map rows for a block of the image's rows.
template <class Depth>
PF_Err DetectRows(void* refcon, A_long, A_long i, A_long count) noexcept {
    auto* c = static_cast<SmoothingContext<Depth>*>(refcon);
    if (c)
        c->detectionCalls.store(count, std::memory_order_relaxed);
    return ForEachRowOfBlock(c, i, count, kCovered, [c](const LineBlock&, int32_t y) {
        DetectEdgeRow<Depth>(c->map, c->source, c->threshold, y);
    });
}

// Decides band i, unless it is decided already: T's rows of the band from S, the blends of the bands
// above that reach below its head when it has them, then its own.
template <class Depth>
PF_Err DecideBand(void* refcon, A_long, A_long i, A_long count) noexcept {
    auto* c = static_cast<SmoothingContext<Depth>*>(refcon);
    if (!c || i < 0 || i >= count || count != c->bands)
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    auto& band = c->band[i];
    if (band.decided)
        return PF_Err_NONE;
    // A band decided again after the blends from above keeps its lists: they are complete (a band is
    // reached deep only once every band's lists are), and the bands below it read them in this same pass.
    const bool record = !band.reachedDeep;
    if (record) {
        band.head.Clear();
        band.across.Clear();
    }
    EdgeBandPass<Depth> pass;
    pass.map = c->map;
    pass.strength = c->strength;
    pass.lightWeight = c->lightWeight;
    pass.applier = c->Applier();
    pass.own = band.rows;
    pass.direct = band.direct;
    pass.copiedEnd = band.rows.first;
    pass.head = &band.head;
    pass.across = &band.across;
    pass.record = record;
    if constexpr (!std::is_same_v<Depth, EdgeDepth8>)
        if (band.products.Usable()) {
            band.products.Restart();
            pass.products = &band.products;
        }
    if (band.reachedDeep)
        c->ForEachDeepBlend(i, [&pass](const EdgeBlendOp<typename Depth::Weight>& op) {
            pass.CopyThrough(op.targetY);
            pass.applier.Apply(op);
        });
    SmoothCodedRows(pass, band.rows.first, band.rows.end);
    pass.CopyThrough(band.rows.end - 1);
    band.decided = !band.head.overflowed && !band.across.overflowed;
    return PF_Err_NONE;
}

// The written blends that land in band p's rows, in pass order: in its head, those of the bands above and
// then its own; in all its rows, those of the bands below.
template <class Depth>
PF_Err FinishBand(void* refcon, A_long, A_long p, A_long count) noexcept {
    auto* c = static_cast<SmoothingContext<Depth>*>(refcon);
    if (!c || p < 0 || p >= count || count != c->bands)
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    const auto& band = c->band[p];
    const EdgeBlendApplier<Depth> applier = c->Applier();
    const RowSpan headRows{band.rows.first, band.direct.first};
    for (A_long i = 0; i < p; ++i)
        applier.ApplyHeld(c->band[i].across, headRows);
    applier.ApplyAll(band.head);
    for (A_long i = p + 1; i < count; ++i)
        applier.ApplyHeld(c->band[i].across, band.rows);
    return PF_Err_NONE;
}

// Room for a list of `capacity` blends (content undefined).
template <class Weight>
PF_Err GiveRoom(const PF_HandleSuite1* handles, HostBlock& memory, EdgeBlendList<Weight>& list,
                std::size_t capacity) noexcept {
    const PF_Err err = memory.Reserve(handles, capacity * sizeof(EdgeBlendOp<Weight>));
    list.ops = static_cast<EdgeBlendOp<Weight>*>(memory.Data());
    list.capacity = err == PF_Err_NONE ? capacity : 0;
    list.Clear();
    return err;
}

template <class Depth>
PF_Err SmoothInBands(const PF_InData* in_data, const PF_HandleSuite1* handles, SmoothingContext<Depth>& c) {
    const int32_t width = c.map.width, height = c.map.height;
    const int32_t calls = c.bands;
    // About two blends per pixel of the head, and of a row at either end of the band for the lists across;
    // doubled whenever a band runs out.
    const std::size_t headRows = static_cast<std::size_t>(std::min(height, kHeadRows));
    for (int32_t b = 0; b < calls; ++b) {
        auto& band = c.band[b];
        const Block rows = SplitBlock(height, b, calls);
        band.rows = RowSpan{rows.first, rows.first + rows.count};
        band.direct = RowSpan{b == 0 ? band.rows.first : std::min(band.rows.end, band.rows.first + kHeadRows),
                              band.rows.end};
        PF_Err err = GiveRoom(handles, band.headMemory, band.head,
                              2 * headRows * static_cast<std::size_t>(width) + 64);
        if (err == PF_Err_NONE)
            err = GiveRoom(handles, band.acrossMemory, band.across, 4 * static_cast<std::size_t>(width) + 64);
        if constexpr (!std::is_same_v<Depth, EdgeDepth8>)
            if (err == PF_Err_NONE && c.lone.Avx2() && height >= 3) {
                err = band.productMemory.Reserve(handles, LoneProductRows<Depth>::Bytes(width));
                if (err == PF_Err_NONE)
                    band.products = LoneProductRows<Depth>(band.productMemory.Data(), width);
            }
        if (err != PF_Err_NONE)
            return err;
    }
    for (;;) {
        if (const PF_Err err = RunPass(in_data, calls, &c, DecideBand<Depth>))
            return err;
        // A band that ran out of room gets twice as much and is decided again; the others keep theirs.
        bool complete = true;
        for (int32_t b = 0; b < calls; ++b) {
            auto& band = c.band[b];
            complete = complete && band.decided;
            if (band.head.overflowed)
                if (const PF_Err err = GiveRoom(handles, band.headMemory, band.head, 2 * band.head.capacity))
                    return err;
            if (band.across.overflowed)
                if (const PF_Err err =
                        GiveRoom(handles, band.acrossMemory, band.across, 2 * band.across.capacity))
                    return err;
        }
        if (!complete)
            continue;
        // A band reached below its head by a band above is decided again after those blends.
        bool again = false;
        for (int32_t b = 1; b < calls; ++b) {
            auto& band = c.band[b];
            if (band.reachedDeep)
                continue;
            c.ForEachDeepBlend(b, [&band](const auto&) { band.reachedDeep = true; });
            if (band.reachedDeep) {
                band.decided = false;
                again = true;
            }
        }
        if (!again)
            break;
    }
    return RunPass(in_data, calls, &c, FinishBand<Depth>);
}

// Each of width × height pixels is addressable: no negative size, and rows that hold a full line.
template <class Pixel>
bool WorldIsUsable(const PF_EffectWorld& w) noexcept {
    if (w.width < 0 || w.height < 0)
        return false;
    if (w.width == 0 || w.height == 0)
        return true;
    const int64_t rowbytes = w.rowbytes < 0 ? -static_cast<int64_t>(w.rowbytes) : w.rowbytes;
    return w.data != nullptr &&
           rowbytes >= static_cast<int64_t>(w.width) * static_cast<int64_t>(sizeof(Pixel));
}

// Widths up to this keep the map's stride and size within 32-bit arithmetic.
constexpr int32_t kMaxSide = 1 << 28;

template <class Depth>
PF_Err SmoothEdgesAtDepth(const EdgeSmoothJob* job) {
    using Pixel = typename Depth::Pixel;
    if (!job || !job->in_data || !job->source || !job->destination)
        return PF_Err_BAD_CALLBACK_PARAM;
    PF_EffectWorld& source = *job->source;
    PF_EffectWorld& destination = *job->destination;
    if (source.width != destination.width || source.height != destination.height)
        return PF_Err_BAD_CALLBACK_PARAM;
    // Weights that would turn negative are refused before anything is written.
    if (job->strength < 0)
        return PF_Err_BAD_CALLBACK_PARAM;
    if (!WorldIsUsable<Pixel>(source) || !WorldIsUsable<Pixel>(destination) || source.width > kMaxSide ||
        source.height > kMaxSide)
        return PF_Err_BAD_CALLBACK_PARAM;

    const EdgeScale<Depth> scale = ScaleJob<Depth>(*job);
    AEUtil::SuiteHolder suites(job->in_data->pica_basicP);
    const PF_ProgPtr effect_ref = job->in_data->effect_ref;
    const int32_t width = source.width, height = source.height;
    // Nothing to smooth: the destination is the source's copy.
    if (job->strength == 0 || width == 0 || height == 0)
        return suites.WorldTransformSuite()->copy(effect_ref, &source, &destination, nullptr, nullptr);

    FlagMapWorld storage(suites.WorldSuite1(), effect_ref);
    const PF_HandleSuite1* handles = suites.HandleSuite();
    PF_Err err = storage.Create(width, height);
    if (err != PF_Err_NONE)
        return err;

    SmoothingContext<Depth> c;
    c.rect = PF_Rect{0, 0, width, height};
    c.source = ImageOfWorld<const Pixel>(source);
    c.target = ImageOfWorld<Pixel>(destination);
    c.map = LayOutEdgeFlagMap(storage.Bytes(), storage.RowBytes(), width, height);
    ClearEdgeFlagMapBorderRows(c.map);
    c.threshold = scale.threshold;
    c.strength = job->strength;
    c.lightWeight = scale.lightWeight;
    c.lone = LoneAverage<Depth>(scale.loneWeight);
    // The map is complete before any decision: the walks along runs may read rows far away.
    if ((err = RunPass(job->in_data, PF_Iterations_ONCE_PER_PROCESSOR, &c, DetectRows<Depth>)) != PF_Err_NONE)
        return err;
    c.bands = std::clamp(c.detectionCalls.load(std::memory_order_relaxed), 1, kMaxBands);
    return SmoothInBands(job->in_data, handles, c);
}

} // namespace

PF_Err SmoothEdges8(const EdgeSmoothJob* job) {
    return SmoothEdgesAtDepth<EdgeDepth8>(job);
}

PF_Err SmoothEdges16(const EdgeSmoothJob* job) {
    return SmoothEdgesAtDepth<EdgeDepth16>(job);
}

PF_Err SmoothEdgesFloat(const EdgeSmoothJob* job) {
    return SmoothEdgesAtDepth<EdgeDepthFloat>(job);
}

PF_Err SmoothEdges(const EdgeSmoothJob* job) {
    if (!job)
        return PF_Err_BAD_CALLBACK_PARAM;
    return VisitDepth(job->pixelFormat,
                      [job]<class D>(D) -> PF_Err { return SmoothEdgesAtDepth<EdgeTraits<D>>(job); });
}
