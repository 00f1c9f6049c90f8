#pragma once
// The blur: a horizontal pass, a vertical pass and, for a repeat count n above 1, n - 1 further passes
// alternating direction with lengths shrunk by their n-th root each time. The output and the scratch
// world ping-pong so that the last pass writes the output; the source is read by the first pass only.
// Only selected pixels are written (a copy of them for n = 0). After each pass the progress counter, if
// it has a host record, is reported without advancing. Returns 0, or the first non-zero code of a pass
// or of the progress callback; a table that cannot be allocated raises std::bad_alloc.
#include <cstdint>

#include "kernels/BlurLine.h"
#include "kernels/PixelTraits.h"
#include "kernels/ProgressCounter.h"
#include "kernels/SelectionPlane.h"
#include "sdk/AE_Effect.h"

struct BlurOptions {
    BlurKernel kernel = BlurKernel::Gauss;
    BlurVariant variant = BlurVariant::Spanning;
    // > 0 stretches the horizontal lengths by 1 + aspect, < 0 the vertical ones by 1 - aspect.
    double aspect = 0.0;
    // Alpha, red, green, blue in pixels; below 1.0 taken as 1.0.
    double lengths[4] = {1.0, 1.0, 1.0, 1.0};
    int32_t repeat = 1;        // n; below 0 taken as 0
    uint32_t centerWeight = 0; // box: the extra weight of a pixel's own value; ignored by the Gaussian
};

// The sequence into `output` (rect and plane as the passes take them); the passes run through the host's
// iterate_generic with `iterations` calls (-1: one per processor). Output, source and scratch are
// distinct worlds of the depth; a missing one is PF_Err_BAD_CALLBACK_PARAM.
// With `fillFrom`, output and scratch need no preparing: the first two passes (n = 0: the copy) write
// every pixel, those they do not filter taking fillFrom's value, or fillUnselectedFrom's where the pixel
// is not selected (when set): the result is that of the sequence over worlds prepared that way.
template <class Depth>
PF_Err BlurSequence(PF_EffectWorld* output, PF_EffectWorld* source, PF_EffectWorld* scratch,
                    const BlurOptions& options, const SelectionPlane& plane, const PF_Rect& rect,
                    const PF_InData* in_data, A_long iterations, ProgressCounter* progress,
                    const PF_EffectWorld* fillFrom = nullptr,
                    const PF_EffectWorld* fillUnselectedFrom = nullptr);
extern template PF_Err BlurSequence<Depth16>(PF_EffectWorld*, PF_EffectWorld*, PF_EffectWorld*,
                                             const BlurOptions&, const SelectionPlane&, const PF_Rect&,
                                             const PF_InData*, A_long, ProgressCounter*,
                                             const PF_EffectWorld*, const PF_EffectWorld*);
extern template PF_Err BlurSequence<DepthFloat>(PF_EffectWorld*, PF_EffectWorld*, PF_EffectWorld*,
                                                const BlurOptions&, const SelectionPlane&, const PF_Rect&,
                                                const PF_InData*, A_long, ProgressCounter*,
                                                const PF_EffectWorld*, const PF_EffectWorld*);

// The blur of a layer of any depth, as a render needs it: every pixel of rect in `output` is written,
// the selected ones blurred from `source` and the others copied from `unselected` (null: source), all of
// the layer's depth. 8-bit layers are blurred in 16-bit form. One repeat whose passes can be fused
// (BlurBands.h) needs no working world; otherwise BlurLayerWorlds says how many worlds of the blur depth
// (Depth::BlurDepth) the caller hands over, distinct from the three above.
struct BlurLayerJob {
    PF_EffectWorld* output = nullptr;
    PF_EffectWorld* source = nullptr;
    PF_EffectWorld* unselected = nullptr;
    BlurOptions options;
    SelectionPlane plane;
    PF_Rect rect{};
    const PF_InData* in_data = nullptr;
    A_long iterations = PF_Iterations_ONCE_PER_PROCESSOR;
    ProgressCounter* progress = nullptr;
    // Or null: a table the colour channels of selected source pixels pass through first (BlurBands.h),
    // taken only where BlurLayerWorlds is 0; elsewhere it is PF_Err_BAD_CALLBACK_PARAM.
    const void* lookup = nullptr;
};

template <class Depth>
int32_t BlurLayerWorlds(const BlurOptions& options);
template <class Depth>
PF_Err BlurLayer(const BlurLayerJob& job, PF_EffectWorld* const* worlds);

#define TOVRIN_BLUR_LAYER(Depth)                                                                             \
    extern template int32_t BlurLayerWorlds<Depth>(const BlurOptions&);                                      \
    extern template PF_Err BlurLayer<Depth>(const BlurLayerJob&, PF_EffectWorld* const*);
TOVRIN_BLUR_LAYER(Depth8)
TOVRIN_BLUR_LAYER(Depth16)
TOVRIN_BLUR_LAYER(DepthFloat)
#undef TOVRIN_BLUR_LAYER

// The lengths of a sequence's passes, one pass after the other.
struct BlurLengthPlan {
    double length[2][4] = {}; // current length, direction (0 horizontal, 1 vertical) × channel
    double root[2][4] = {};   // the n-th root of the starting length
    int32_t repeat = 0;
    int32_t pass = 0; // passes planned so far
};

struct BlurPass {
    bool horizontal;
    double length[4]; // lengths of the pass's direction, alpha, red, green, blue
    int32_t radius[4];
    double variance[4]; // of the Gaussian kernels: d²/8 for passes 1 and 2, d² after
};

BlurLengthPlan StartBlurLengths(double aspect, const double* lengths, int32_t repeat);
// Pass `plan.pass + 1`: shrinks the lengths first from the third pass on.
BlurPass NextBlurPass(BlurLengthPlan& plan);
