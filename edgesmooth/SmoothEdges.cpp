#include "edgesmooth/EdgeSmooth.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

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

// Calls per chunk beyond this share the host's threads among this many bands.
constexpr int32_t kMaxBands = 64;

// The record every call of the job's passes reads. The detection calls write disjoint rows of the map and
// of T; a decision call writes its band's lists; an apply call writes T in its band's target rows.
template <class Depth>
struct SmoothingContext {
    using Pixel = typename Depth::Pixel;
    using Weight = typename Depth::Weight;
    struct Band {
        HostBlock ownMemory;
        HostBlock acrossMemory;
        EdgeBlendList<Weight> own;
        EdgeBlendList<Weight> across;
        bool decided = false;
    };

    PF_Rect rect{}; // the rows the pass frame shares out: the image, then the chunk being decided
    EdgeImage<const Pixel> source;
    EdgeImage<Pixel> target;
    EdgeFlagMap map;
    typename Depth::Level threshold{};
    int64_t strength = 0;
    Weight lightWeight{};
    typename Depth::LoneWeight loneWeight{};
    std::atomic<int32_t> detectionCalls{1};
    int32_t bands = 1;
    Band band[kMaxBands];

    int32_t ChunkFirst() const noexcept { return rect.top; }
    int32_t ChunkRows() const noexcept { return rect.bottom - rect.top; }
    // The target rows of band i of `count` (see TargetRows).
    TargetRows RowsOfBand(int32_t i, int32_t count) const noexcept {
        TargetRows rows;
        if (i > 0)
            rows.first = ChunkFirst() + SplitBlock(ChunkRows(), i, count).first;
        if (i + 1 < count)
            rows.end = ChunkFirst() + SplitBlock(ChunkRows(), i + 1, count).first;
        return rows;
    }
};

// The job checked its worlds and made the map before any pass.
constexpr auto kCovered = [](const LineBlock&) noexcept { return true; };

// Map rows and T's copy of S for a block of the image's rows.
template <class Depth>
PF_Err DetectAndCopyRows(void* refcon, A_long, A_long i, A_long count) noexcept {
    auto* c = static_cast<SmoothingContext<Depth>*>(refcon);
    if (c)
        c->detectionCalls.store(count, std::memory_order_relaxed);
    const std::size_t rowBytes =
        static_cast<std::size_t>(c ? c->source.width : 0) * sizeof(typename Depth::Pixel);
    return ForEachRowOfBlock(c, i, count, kCovered, [c, rowBytes](const LineBlock&, int32_t y) {
        DetectEdgeRow<Depth>(c->map, c->source, c->threshold, y);
        std::memcpy(c->target.Row(y), c->source.Row(y), rowBytes);
    });
}

// The decisions of band i of the chunk, unless they are written down already.
template <class Depth>
PF_Err DecideBand(void* refcon, A_long, A_long i, A_long count) noexcept {
    auto* c = static_cast<SmoothingContext<Depth>*>(refcon);
    return RunLineBlock(c, i, count, kCovered, [c, i, count](const LineBlock& block) {
        auto& band = c->band[i];
        if (band.decided)
            return PF_Err_NONE;
        band.own.Clear();
        band.across.Clear();
        EdgeRecorder<Depth> recorder;
        recorder.map = c->map;
        recorder.strength = c->strength;
        recorder.lightWeight = c->lightWeight;
        recorder.rows = c->RowsOfBand(i, count);
        recorder.own = &band.own;
        recorder.across = &band.across;
        const int32_t first = c->ChunkFirst() + block.lines.first;
        SmoothRows(recorder, first, first + block.lines.count);
        band.decided = !band.own.overflowed && !band.across.overflowed;
        return PF_Err_NONE;
    });
}

// The blends of the chunk whose targets lie in band p's rows, in pass order. A band without rows of its
// own (more calls than rows) still takes blends below the chunk when it is the last.
template <class Depth>
PF_Err ApplyBand(void* refcon, A_long, A_long p, A_long count) noexcept {
    auto* c = static_cast<SmoothingContext<Depth>*>(refcon);
    if (!c || p < 0 || p >= count || count > c->bands)
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    EdgeBlendApplier<Depth> applier{c->source, c->target, c->loneWeight};
    const TargetRows rows = c->RowsOfBand(p, count);
    for (A_long i = 0; i < p; ++i)
        applier.ApplyHeld(c->band[i].across, rows);
    applier.ApplyAll(c->band[p].own);
    for (A_long i = p + 1; i < count; ++i)
        applier.ApplyHeld(c->band[i].across, rows);
    return PF_Err_NONE;
}

// Room for a band's lists: about one blend per pixel of its rows, and a few rows' worth across; doubled
// whenever a band runs out.
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
PF_Err SmoothInChunks(const PF_InData* in_data, const PF_HandleSuite1* handles, SmoothingContext<Depth>& c) {
    const int32_t width = c.map.width, height = c.map.height;
    const int32_t calls = c.bands;
    // Tall enough that few blends cross bands, short enough that the lists stay small and hot.
    const int32_t chunkRows = std::max(64, 16 * calls);
    const std::size_t bandRows = static_cast<std::size_t>(std::min(height, (chunkRows + calls - 1) / calls));
    for (int32_t b = 0; b < calls; ++b) {
        auto& band = c.band[b];
        PF_Err err =
            GiveRoom(handles, band.ownMemory, band.own, bandRows * static_cast<std::size_t>(width) + 64);
        if (err == PF_Err_NONE)
            err = GiveRoom(handles, band.acrossMemory, band.across,
                           static_cast<std::size_t>(std::min(height, 4)) * static_cast<std::size_t>(width) +
                               64);
        if (err != PF_Err_NONE)
            return err;
    }
    for (int32_t first = 0; first < height; first += chunkRows) {
        c.rect = PF_Rect{0, first, width, std::min(height, first + chunkRows)};
        for (int32_t b = 0; b < calls; ++b) {
            c.band[b].own.Clear();
            c.band[b].across.Clear();
            c.band[b].decided = false;
        }
        for (;;) {
            if (const PF_Err err = RunPass(in_data, calls, &c, DecideBand<Depth>))
                return err;
            // A band that ran out of room gets twice as much and is decided again; the others keep their
            // lists.
            bool complete = true;
            for (int32_t b = 0; b < calls; ++b) {
                auto& band = c.band[b];
                complete = complete && !band.own.overflowed && !band.across.overflowed;
                if (band.own.overflowed)
                    if (const PF_Err err = GiveRoom(handles, band.ownMemory, band.own, 2 * band.own.capacity))
                        return err;
                if (band.across.overflowed)
                    if (const PF_Err err =
                            GiveRoom(handles, band.acrossMemory, band.across, 2 * band.across.capacity))
                        return err;
            }
            if (complete)
                break;
        }
        if (const PF_Err err = RunPass(in_data, calls, &c, ApplyBand<Depth>))
            return err;
    }
    return PF_Err_NONE;
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
    c.loneWeight = scale.loneWeight;
    // The map is complete before any decision: the walks along runs may read rows far away.
    if ((err = RunPass(job->in_data, PF_Iterations_ONCE_PER_PROCESSOR, &c, DetectAndCopyRows<Depth>)) !=
        PF_Err_NONE)
        return err;
    c.bands = std::clamp(c.detectionCalls.load(std::memory_order_relaxed), 1, kMaxBands);
    return SmoothInChunks(job->in_data, handles, c);
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
