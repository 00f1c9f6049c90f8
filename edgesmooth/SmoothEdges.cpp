#include "edgesmooth/EdgeSmooth.h"

#include <cstdint>

#include "edgesmooth/EdgeDetect.h"
#include "edgesmooth/SmoothingPass.h"
#include "share/AEUtil/SuiteHolder.h"

namespace {

// The flag map's storage: a temporary 8-bit host world of stride / 4 pixels by height + 2 rows, one map
// row in each world row (the host may pad its rows; the padding is not the map's). Given back to the
// host when the job ends.
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
        PF_Err err = suite_->new_world(effect_ref_, stride / 4, height + 2, PF_NewWorldFlag_NONE, &world_);
        if (err != PF_Err_NONE)
            return err;
        created_ = true;
        if (!world_.data || world_.rowbytes < stride || world_.height < height + 2)
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
    PF_Err err = suites.WorldTransformSuite()->copy(effect_ref, &source, &destination, nullptr, nullptr);
    if (err != PF_Err_NONE)
        return err;
    const int32_t width = source.width, height = source.height;
    if (job->strength == 0 || width == 0 || height == 0)
        return PF_Err_NONE;

    FlagMapWorld storage(suites.WorldSuite1(), effect_ref);
    err = storage.Create(width, height);
    if (err != PF_Err_NONE)
        return err;

    EdgePass<Depth> pass;
    pass.map = ClearEdgeFlagMap(storage.Bytes(), storage.RowBytes(), width, height);
    pass.source = ImageOfWorld<const Pixel>(source);
    pass.target = ImageOfWorld<Pixel>(destination);
    pass.strength = job->strength;
    pass.lightWeight = scale.lightWeight;
    pass.loneWeight = scale.loneWeight;
    // The destination holds the copy now; edges are found there.
    DetectEdges<Depth>(pass.map, ImageOfWorld<const Pixel>(destination), scale.threshold);
    RunSmoothingPass(pass);
    return PF_Err_NONE;
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
