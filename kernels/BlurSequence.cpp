#include "kernels/BlurSequence.h"

#include <atomic>
#include <cmath>
#include <type_traits>

#include "kernels/BlurBands.h"
#include "kernels/BlurLineFilters.h"
#include "kernels/BlurSchedule.h"
#include "kernels/GaussTable.h"
#include "kernels/MaskedPasses.h"
#include "kernels/PassContext.h"
#include "kernels/RowBlocks.h"

namespace {

// Far above any length the controls reach (2001 × an aspect scale of 101); keeps radii, windows and
// tables of absurd lengths inside 32-bit arithmetic.
constexpr double kLongestLength = 4194304.0;

double Clamped(double d) {
    if (!(d >= 1.0)) // also NaN
        return 1.0;
    return d > kLongestLength ? kLongestLength : d;
}

PF_Err ReportPass(const ProgressCounter* progress) {
    if (!progress || !progress->in_data)
        return PF_Err_NONE;
    return progress->Report();
}

void SetGaussTables(PassContext& ctx, const BlurPass& pass) {
    for (int c = 0; c < 4; ++c) {
        // Channels of equal length share one table.
        int same = 0;
        while (same < c && !(pass.radius[same] == pass.radius[c] && pass.variance[same] == pass.variance[c]))
            ++same;
        if (same < c)
            ctx.gauss[c] = ctx.gauss[same];
        else
            ctx.gauss[c] = BuildGaussTable(pass.radius[c], pass.variance[c]);
    }
}

void SetPassKernels(PassContext& ctx, const BlurPass& pass, const BlurOptions& options) {
    if (options.kernel == BlurKernel::Gauss) {
        SetGaussTables(ctx, pass);
    } else {
        for (int c = 0; c < 4; ++c)
            ctx.boxRadius[c] = pass.radius[c];
        ctx.boxCenterWeight = options.centerWeight;
    }
}

// Every pixel of the destination from its fallback worlds (BlurSchedule.h): the n = 0 sequence over a
// destination that need not be prepared.
template <class Pixel>
PF_Err FillAll(void* refcon, A_long, A_long i, A_long calls) noexcept {
    const auto* context = static_cast<const PassContext*>(refcon);
    const auto covered = [context](const LineBlock& block) {
        return WorldCoversRect(context->destination, context->rect, sizeof(Pixel)) &&
               WorldCoversRect(context->fallback, context->rect, sizeof(Pixel)) &&
               (!context->unselectedFallback ||
                WorldCoversRect(context->unselectedFallback, context->rect, sizeof(Pixel))) &&
               PlaneCovers(context->plane, block.width, block.height);
    };
    return ForEachRowOfBlock(context, i, calls, covered, [context](const LineBlock& block, int32_t y) {
        Pixel* row = WorldRow<Pixel>(*context->destination, context->rect.top + y) + context->rect.left;
        blur_schedule::FillUnfiltered(row, *context, y, 0, block.width);
    });
}

// 8-bit layers: the 16-bit result back to 8 bits where selected; the unselected world's pixel elsewhere.
PF_Err NarrowSelected(void* refcon, A_long, A_long i, A_long calls) noexcept {
    const auto* context = static_cast<const PassContext*>(refcon);
    const auto covered = [context](const LineBlock& block) {
        return WorldCoversRect(context->destination, context->rect, sizeof(PF_Pixel8)) &&
               WorldCoversRect(context->source, context->rect, sizeof(PF_Pixel16)) &&
               WorldCoversRect(context->unselectedFallback, context->rect, sizeof(PF_Pixel8)) &&
               PlaneCovers(context->plane, block.width, block.height);
    };
    return ForEachRowOfBlock(context, i, calls, covered, [context](const LineBlock& block, int32_t y) {
        const PF_Rect& r = context->rect;
        const PF_Pixel16* from = WorldRow<const PF_Pixel16>(*context->source, r.top + y) + r.left;
        const PF_Pixel8* other = WorldRow<const PF_Pixel8>(*context->unselectedFallback, r.top + y) + r.left;
        const uint8_t* selection =
            context->plane.bytes + static_cast<std::ptrdiff_t>(y) * context->plane.stride;
        PF_Pixel8* to = WorldRow<PF_Pixel8>(*context->destination, r.top + y) + r.left;
        for (int32_t x = 0; x < block.width; ++x) {
            if (selection[x])
                to[x] = PF_Pixel8{ConvertChannel16To8(from[x].alpha), ConvertChannel16To8(from[x].red),
                                  ConvertChannel16To8(from[x].green), ConvertChannel16To8(from[x].blue)};
            else
                to[x] = other[x];
        }
    });
}

// One repeat whose two passes the band form gives exactly, at this depth.
template <class Depth>
bool FusesPasses(const BlurOptions& options) {
    if (options.repeat != 1)
        return false;
    BlurLengthPlan plan = StartBlurLengths(options.aspect, options.lengths, 1);
    (void)NextBlurPass(plan);
    return BandsApply(options.kernel, std::is_same_v<Depth, DepthFloat>, NextBlurPass(plan).radius);
}

// More repeats at an integer depth: every vertical pass within the band form's margins.
template <class Depth>
bool ChainsPasses(const BlurOptions& options) {
    if (std::is_same_v<Depth, DepthFloat> || options.repeat < 2)
        return false;
    BlurLengthPlan plan = StartBlurLengths(options.aspect, options.lengths, options.repeat);
    for (int32_t p = 1; p <= options.repeat + 1; ++p) {
        const BlurPass pass = NextBlurPass(plan);
        if (!pass.horizontal && !BandsApply(options.kernel, false, pass.radius))
            return false;
    }
    return true;
}

// One fused pair of passes (or the last, horizontal pass alone) of a chain.
template <class SourceDepth, class DestinationDepth>
PF_Err RunFusedPair(const BlurLayerJob& job, BlurLengthPlan& plan, const PF_EffectWorld* source,
                    PF_EffectWorld* destination, const PF_EffectWorld* unselected,
                    std::atomic<bool>* transparentSeen) {
    BandPassContext ctx;
    ctx.transparentSeen = transparentSeen;
    ctx.destination = destination;
    ctx.source = source;
    ctx.unselected = unselected;
    ctx.rect = job.rect;
    ctx.plane = job.plane;
    SetPassKernels(ctx.rows, NextBlurPass(plan), job.options);
    SetPassKernels(ctx.columns, NextBlurPass(plan), job.options);
    PF_Err err = RunPass(job.in_data, job.iterations, &ctx,
                         BandPassOf<SourceDepth, DestinationDepth>(job.options.kernel, job.options.variant));
    if (transparentSeen && transparentSeen->load())
        return err;
    for (int pass = 0; pass < 2 && err == PF_Err_NONE; ++pass)
        err = ReportPass(job.progress);
    return err;
}

// Two fused pairs chained, from the source world to the destination.
template <class SourceDepth, class DestinationDepth>
PF_Err RunChainedPairs(const BlurLayerJob& job, BlurLengthPlan& plan, const PF_EffectWorld* source,
                       PF_EffectWorld* destination, const PF_EffectWorld* unselected,
                       std::atomic<bool>* transparentSeen) {
    ChainedBandContext ctx;
    ctx.first.transparentSeen = transparentSeen;
    ctx.first.source = source;
    ctx.first.rect = job.rect;
    ctx.first.plane = job.plane;
    SetPassKernels(ctx.first.rows, NextBlurPass(plan), job.options);
    SetPassKernels(ctx.first.columns, NextBlurPass(plan), job.options);
    ctx.second.destination = destination;
    ctx.second.unselected = unselected;
    ctx.second.rect = job.rect;
    ctx.second.plane = job.plane;
    SetPassKernels(ctx.second.rows, NextBlurPass(plan), job.options);
    SetPassKernels(ctx.second.columns, NextBlurPass(plan), job.options);
    PF_Err err =
        RunPass(job.in_data, job.iterations, &ctx,
                ChainedBandPassOf<SourceDepth, DestinationDepth>(job.options.kernel, job.options.variant));
    if (transparentSeen && transparentSeen->load())
        return err;
    for (int pass = 0; pass < 4 && err == PF_Err_NONE; ++pass)
        err = ReportPass(job.progress);
    return err;
}

// The repeats as fused pairs of passes, each from the last one's world, the last writing the output.
// Exact where no pass leaves a selected pixel unfiltered, which then needs the value an earlier pass
// gave it: so when every selected pixel is opaque (an average of such pixels stays so at 8 and 16 bits).
// The first pair (or chain) gives up at the first selected transparent pixel of the source it meets and
// sets `transparentSeen`; then nothing else runs, and what was written is to be written again.
// 16-bit: the output and one scratch take turns; 8-bit: three 16-bit worlds, the ends converted.
template <class Depth>
PF_Err ChainPasses(const BlurLayerJob& job, PF_EffectWorld* const* worlds,
                   std::atomic<bool>& transparentSeen) {
    using Blur = typename Depth::BlurDepth;
    constexpr bool k8 = std::is_same_v<Depth, Depth8>;
    const int32_t passes = job.options.repeat + 1;
    const int32_t pairs = passes / 2;
    const bool single = passes % 2 == 1;
    const int32_t writes = pairs + (single ? 1 : 0);
    BlurLengthPlan plan = StartBlurLengths(job.options.aspect, job.options.lengths, job.options.repeat);
    // Where write k goes: the last lands in the output (8-bit: in 16-bit form, when the last is a single
    // pass); before it the worlds alternate.
    const auto target = [&](int32_t k) -> PF_EffectWorld* {
        if constexpr (k8) {
            if (k == writes - 1)
                return single ? worlds[2] : job.output;
            return worlds[k % 2];
        } else {
            return (writes - 1 - k) % 2 == 0 ? job.output : worlds[0];
        }
    };
    const PF_EffectWorld* from = job.source;
    PF_Err err = PF_Err_NONE;
    int32_t k0 = 0;
    // The first two pairs in one walk: the frame between them is never written. (Float passes do not
    // come here: their running sums do not fuse.)
    if constexpr (!std::is_same_v<Depth, DepthFloat>) {
        if (pairs >= 2) {
            PF_EffectWorld* to = target(1);
            const bool last = writes == 2;
            if constexpr (k8) {
                if (last)
                    err = RunChainedPairs<Depth8, Depth8>(job, plan, from, to, job.unselected,
                                                          &transparentSeen);
                else
                    err = RunChainedPairs<Depth8, Depth16>(job, plan, from, to, nullptr, &transparentSeen);
            } else {
                err = RunChainedPairs<Depth, Depth>(job, plan, from, to, last ? job.unselected : nullptr,
                                                    &transparentSeen);
            }
            if (transparentSeen.load())
                return err;
            from = to;
            k0 = 2;
        }
    }
    for (int32_t k = k0; k < pairs && err == PF_Err_NONE; ++k) {
        PF_EffectWorld* to = target(k);
        const bool last = k == writes - 1;
        // Only the first pair reads the source; the later ones read averages of its opaque pixels.
        std::atomic<bool>* seen = k == 0 ? &transparentSeen : nullptr;
        if constexpr (k8) {
            if (k == 0 && last)
                err = RunFusedPair<Depth8, Depth8>(job, plan, from, to, job.unselected, seen);
            else if (k == 0)
                err = RunFusedPair<Depth8, Depth16>(job, plan, from, to, nullptr, seen);
            else if (last)
                err = RunFusedPair<Depth16, Depth8>(job, plan, from, to, job.unselected, seen);
            else
                err = RunFusedPair<Depth16, Depth16>(job, plan, from, to, nullptr, seen);
        } else {
            err = RunFusedPair<Depth, Depth>(job, plan, from, to, last ? job.unselected : nullptr, seen);
        }
        if (transparentSeen.load())
            return err;
        from = to;
    }
    if (err != PF_Err_NONE || !single)
        return err;
    // The last pass alone (an even repeat count): horizontal, into a world of the blur depth.
    PassContext ctx;
    ctx.rect = job.rect;
    ctx.plane = job.plane;
    ctx.source = const_cast<PF_EffectWorld*>(from);
    ctx.destination = target(writes - 1);
    ctx.fallback = from;
    ctx.unselectedFallback = k8 ? nullptr : job.unselected;
    SetPassKernels(ctx, NextBlurPass(plan), job.options);
    err = RunPass(job.in_data, job.iterations, &ctx,
                  BlurPassOf<typename Blur::Pixel>(job.options.kernel, job.options.variant, false));
    if (err == PF_Err_NONE)
        err = ReportPass(job.progress);
    if constexpr (k8) {
        if (err == PF_Err_NONE) {
            PassContext narrow;
            narrow.rect = job.rect;
            narrow.plane = job.plane;
            narrow.destination = job.output;
            narrow.source = ctx.destination;
            narrow.unselectedFallback = job.unselected ? job.unselected : job.source;
            err = RunPass(job.in_data, job.iterations, &narrow, NarrowSelected);
        }
    }
    return err;
}

} // namespace

BlurLengthPlan StartBlurLengths(double aspect, const double* lengths, int32_t repeat) {
    BlurLengthPlan plan;
    plan.repeat = repeat;
    const double scale[2] = {aspect > 0.0 ? 1.0 + aspect : 1.0, aspect < 0.0 ? 1.0 - aspect : 1.0};
    for (int dir = 0; dir < 2; ++dir)
        for (int c = 0; c < 4; ++c) {
            plan.length[dir][c] = Clamped(scale[dir] * Clamped(lengths[c]));
            if (repeat > 1)
                plan.root[dir][c] = std::pow(plan.length[dir][c], 1.0 / repeat);
        }
    return plan;
}

BlurPass NextBlurPass(BlurLengthPlan& plan) {
    const int32_t p = ++plan.pass;
    if (p >= 3)
        for (int dir = 0; dir < 2; ++dir)
            for (int c = 0; c < 4; ++c) {
                const double shrunk = plan.length[dir][c] / plan.root[dir][c];
                plan.length[dir][c] = shrunk > 1.0 ? shrunk : 1.0;
            }
    BlurPass pass;
    pass.horizontal = p % 2 == 1;
    const int dir = pass.horizontal ? 0 : 1;
    for (int c = 0; c < 4; ++c) {
        const double d = plan.length[dir][c];
        pass.length[c] = d;
        pass.radius[c] = static_cast<int32_t>(std::ceil(d));
        pass.variance[c] = p <= 2 ? d * d / 8.0 : d * d;
    }
    return pass;
}

template <class Depth>
PF_Err BlurSequence(PF_EffectWorld* output, PF_EffectWorld* source, PF_EffectWorld* scratch,
                    const BlurOptions& options, const SelectionPlane& plane, const PF_Rect& rect,
                    const PF_InData* in_data, A_long iterations, ProgressCounter* progress,
                    const PF_EffectWorld* fillFrom, const PF_EffectWorld* fillUnselectedFrom) {
    using Pixel = typename Depth::Pixel;
    if (!output || !source || !scratch)
        return PF_Err_BAD_CALLBACK_PARAM;
    PassContext ctx;
    ctx.rect = rect;
    ctx.plane = plane;
    ctx.clearUnselected = 0;
    const int32_t repeat = options.repeat;
    if (repeat <= 0) {
        ctx.destination = output;
        ctx.source = source;
        if (!fillFrom)
            return RunPass(in_data, iterations, &ctx, CopySelected<Depth>);
        ctx.fallback = source;
        ctx.unselectedFallback = fillUnselectedFrom ? fillUnselectedFrom : fillFrom;
        return RunPass(in_data, iterations, &ctx, FillAll<Pixel>);
    }
    const PassFunction rows = BlurPassOf<Pixel>(options.kernel, options.variant, false);
    const PassFunction columns = BlurPassOf<Pixel>(options.kernel, options.variant, true);
    // The last pass, n + 1, must write the output.
    PF_EffectWorld* from = source;
    PF_EffectWorld* to = repeat % 2 == 1 ? scratch : output;
    BlurLengthPlan plan = StartBlurLengths(options.aspect, options.lengths, repeat);
    for (int32_t p = 1; p <= repeat + 1; ++p) {
        if (p == 2) {
            from = to;
            to = to == output ? scratch : output;
        } else if (p > 2) {
            PF_EffectWorld* t = from;
            from = to;
            to = t;
        }
        const BlurPass pass = NextBlurPass(plan);
        ctx.source = from;
        ctx.destination = to;
        // Passes 1 and 2 write worlds that held the prepared image; later ones keep what is there.
        ctx.fallback = p <= 2 ? fillFrom : nullptr;
        ctx.unselectedFallback = p <= 2 ? fillUnselectedFrom : nullptr;
        SetPassKernels(ctx, pass, options);
        PF_Err err = RunPass(in_data, iterations, &ctx, pass.horizontal ? rows : columns);
        if (err == PF_Err_NONE)
            err = ReportPass(progress);
        if (err != PF_Err_NONE)
            return err;
    }
    return PF_Err_NONE;
}

template PF_Err BlurSequence<Depth16>(PF_EffectWorld*, PF_EffectWorld*, PF_EffectWorld*, const BlurOptions&,
                                      const SelectionPlane&, const PF_Rect&, const PF_InData*, A_long,
                                      ProgressCounter*, const PF_EffectWorld*, const PF_EffectWorld*);
template PF_Err BlurSequence<DepthFloat>(PF_EffectWorld*, PF_EffectWorld*, PF_EffectWorld*,
                                         const BlurOptions&, const SelectionPlane&, const PF_Rect&,
                                         const PF_InData*, A_long, ProgressCounter*, const PF_EffectWorld*,
                                         const PF_EffectWorld*);

template <class Depth>
int32_t BlurLayerWorlds(const BlurOptions& options) {
    if (FusesPasses<Depth>(options))
        return 0;
    // 8-bit: the 16-bit source, result and scratch; otherwise the scratch.
    return std::is_same_v<Depth, Depth8> ? 3 : 1;
}

template <class Depth>
PF_Err BlurLayer(const BlurLayerJob& job, PF_EffectWorld* const* worlds) {
    if (!job.output || !job.source)
        return PF_Err_BAD_CALLBACK_PARAM;
    const BlurOptions& options = job.options;
    if (FusesPasses<Depth>(options)) {
        BandPassContext ctx;
        ctx.destination = job.output;
        ctx.source = job.source;
        ctx.unselected = job.unselected;
        ctx.rect = job.rect;
        ctx.plane = job.plane;
        ctx.lookup = job.lookup;
        BlurLengthPlan plan = StartBlurLengths(options.aspect, options.lengths, 1);
        SetPassKernels(ctx.rows, NextBlurPass(plan), options);
        SetPassKernels(ctx.columns, NextBlurPass(plan), options);
        PF_Err err = RunPass(job.in_data, job.iterations, &ctx,
                             BandPassOf<Depth, Depth>(options.kernel, options.variant));
        // Both passes are done.
        for (int pass = 0; pass < 2 && err == PF_Err_NONE; ++pass)
            err = ReportPass(job.progress);
        return err;
    }
    if (!worlds || job.lookup)
        return PF_Err_BAD_CALLBACK_PARAM;
    if (ChainsPasses<Depth>(options)) {
        // A selected transparent pixel stops the fused pairs where they meet it: the passes below then
        // write every pixel again.
        std::atomic<bool> transparentSeen{false};
        const PF_Err err = ChainPasses<Depth>(job, worlds, transparentSeen);
        if (err != PF_Err_NONE || !transparentSeen.load())
            return err;
    }
    if constexpr (std::is_same_v<Depth, Depth8>) {
        PF_EffectWorld* source = worlds[0];
        PF_EffectWorld* output = worlds[1];
        PassContext ctx;
        ctx.rect = job.rect;
        ctx.plane = job.plane;
        ctx.destination = source;
        ctx.source = job.source;
        PF_Err err = RunPass(job.in_data, job.iterations, &ctx, ConvertSelected8To16);
        if (err == PF_Err_NONE)
            err = BlurSequence<Depth16>(output, source, worlds[2], options, job.plane, job.rect, job.in_data,
                                        job.iterations, job.progress, source, nullptr);
        if (err != PF_Err_NONE)
            return err;
        ctx.destination = job.output;
        ctx.source = output;
        ctx.unselectedFallback = job.unselected ? job.unselected : job.source;
        return RunPass(job.in_data, job.iterations, &ctx, NarrowSelected);
    } else {
        return BlurSequence<Depth>(job.output, job.source, worlds[0], options, job.plane, job.rect,
                                   job.in_data, job.iterations, job.progress, job.source, job.unselected);
    }
}

#define TOVRIN_BLUR_LAYER(Depth)                                                                             \
    template int32_t BlurLayerWorlds<Depth>(const BlurOptions&);                                             \
    template PF_Err BlurLayer<Depth>(const BlurLayerJob&, PF_EffectWorld* const*);
TOVRIN_BLUR_LAYER(Depth8)
TOVRIN_BLUR_LAYER(Depth16)
TOVRIN_BLUR_LAYER(DepthFloat)
#undef TOVRIN_BLUR_LAYER
