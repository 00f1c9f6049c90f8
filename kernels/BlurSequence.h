#pragma once
// The blur: a horizontal pass, a vertical pass and, for a repeat count n above 1, n - 1 further passes
// alternating direction with lengths shrunk by their n-th root each time. The output and the scratch
// world ping-pong so that the last pass writes the output; the source is read by the first pass only.
// Only selected pixels are written (a copy of them for n = 0). After each pass the progress counter, if
// it has a host record, is reported without advancing. Returns 0, or the first non-zero code of a pass
// or of the progress callback; a table that cannot be allocated raises std::bad_alloc.
#include <cstdint>

#include "kernels/ProgressCounter.h"
#include "kernels/SelectionPlane.h"
#include "sdk/AE_Effect.h"

// Arguments: output world; host record (for iterate_generic); iteration count (-1: one call per
// processor); source world; scratch world; rectangle; selection plane; aspect (> 0 stretches the
// horizontal lengths by 1 + aspect, < 0 the vertical ones by 1 - aspect); four lengths alpha, red, green,
// blue in pixels (below 1.0 taken as 1.0); repeat count n (below 0 taken as 0); the box passes' extra
// weight of a pixel's own value (ignored by the Gaussian sequences); progress counter or null.
using BlurSequenceFunction = PF_Err(PF_EffectWorld* output, const PF_InData* in_data, A_long iterations,
                                    PF_EffectWorld* source, PF_EffectWorld* scratch, const PF_Rect* rect,
                                    const SelectionPlane* plane, double aspect, const double* lengths,
                                    int32_t repeat, uint32_t centerWeight, ProgressCounter* progress);

BlurSequenceFunction GaussBlurSpanning16;
BlurSequenceFunction GaussBlurConfined16;
BlurSequenceFunction BoxBlurSpanning16;
BlurSequenceFunction BoxBlurConfined16;
BlurSequenceFunction GaussBlurSpanningFloat;
BlurSequenceFunction GaussBlurConfinedFloat;
BlurSequenceFunction BoxBlurSpanningFloat;
BlurSequenceFunction BoxBlurConfinedFloat;

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
