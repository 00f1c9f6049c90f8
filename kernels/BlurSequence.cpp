#include "kernels/BlurSequence.h"

#include <cmath>

#include "kernels/BlurLineFilters.h"
#include "kernels/GaussTable.h"
#include "kernels/MaskedPasses.h"
#include "kernels/PassContext.h"

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
                    const PF_InData* in_data, A_long iterations, ProgressCounter* progress) {
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
        return RunPass(in_data, iterations, &ctx, CopySelected<Depth>);
    }
    const bool gauss = options.kernel == BlurKernel::Gauss;
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
        if (gauss) {
            SetGaussTables(ctx, pass);
        } else {
            for (int c = 0; c < 4; ++c)
                ctx.boxRadius[c] = pass.radius[c];
            ctx.boxCenterWeight = options.centerWeight;
        }
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
                                      ProgressCounter*);
template PF_Err BlurSequence<DepthFloat>(PF_EffectWorld*, PF_EffectWorld*, PF_EffectWorld*,
                                         const BlurOptions&, const SelectionPlane&, const PF_Rect&,
                                         const PF_InData*, A_long, ProgressCounter*);
