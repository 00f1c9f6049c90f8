#pragma once
// One repeat of the blur, its horizontal and its vertical pass, fused over bands of rows: each call of
// the pass filters the rows a band needs into a buffer of its own, filters the band's columns from there
// straight into the destination, and keeps the rows the next band shares. No working world holds the
// horizontal result, and every destination pixel is written once: pixels the passes do not filter take
// the source's value (the unselected world's, for unselected pixels). 8-bit layers are converted to
// 16 bits as rows are read and back as the band is written.
//
// A vertical window then sees its column's rows only within a band and its margins, which gives the
// whole column's result wherever the result does not depend on where the column starts: integer sums,
// and float Gaussian tables without a flat part. A float running sum keeps its rounding from the top of
// the column, so those passes stay apart (BandsApply).
#include <atomic>
#include <cstdint>

#include "kernels/BlurLine.h"
#include "kernels/PassContext.h"
#include "kernels/PixelTraits.h"

struct BandPassContext {
    PF_EffectWorld* destination = nullptr;      // every pixel of rect is written
    const PF_EffectWorld* source = nullptr;     // the image blurred
    const PF_EffectWorld* unselected = nullptr; // the destination's unselected pixels; null: the source's
    PF_Rect rect{};
    SelectionPlane plane;
    // Or null: a table of the source depth's channel (Depth::kTableEntries entries) that the colour
    // channels of selected source pixels pass through before the blur, as MapSelectedRgb would.
    const void* lookup = nullptr;
    // The kernels of the two passes, in the blur fields of a pass context.
    PassContext rows;
    PassContext columns;
    // Or null: the pass gives up as soon as one of its calls meets a selected, fully transparent source
    // pixel, and sets this. Repeats run as fused pairs only without such pixels, and finding them on the
    // way costs no walk of the frame of its own.
    std::atomic<bool>* transparentSeen = nullptr;
};

// The largest vertical half-window the fused form takes; beyond it the margins cost more than a world.
constexpr int32_t kLongestBandReach = 64;

// Whether the fused form gives the bytes of the two passes whose vertical kernels have these radii
// (alpha, red, green, blue), at 16-bit (floatDepth false) or float depth. Within kLongestBandReach a
// Gaussian table has no flat part.
bool BandsApply(BlurKernel kernel, bool floatDepth, const int32_t* verticalRadius);

// The fused pass from a source world of one depth to a destination of another (Depth8, Depth16,
// DepthFloat; the pairs instantiated in BlurBands.cpp share their blur depth), for a kernel and variant.
// The unselected world has the destination's depth. Returns 0; PF_Err_OUT_OF_MEMORY when its buffers
// cannot be had; PF_Err_INTERNAL_STRUCT_DAMAGED when the context does not hold the rectangle.
template <class SourceDepth, class DestinationDepth>
PassFunction BandPassOf(BlurKernel kernel, BlurVariant variant);
extern template PassFunction BandPassOf<Depth8, Depth8>(BlurKernel, BlurVariant);
extern template PassFunction BandPassOf<Depth8, Depth16>(BlurKernel, BlurVariant);
extern template PassFunction BandPassOf<Depth16, Depth8>(BlurKernel, BlurVariant);
extern template PassFunction BandPassOf<Depth16, Depth16>(BlurKernel, BlurVariant);
extern template PassFunction BandPassOf<DepthFloat, DepthFloat>(BlurKernel, BlurVariant);

// Two fused pairs in a row: the second takes the first's results as they are made, a few bands at a time,
// so the frame between them is never written. `first.destination` and `second.source` are not read; the
// rectangles and planes are the same and there is no lookup. `first.transparentSeen` works as in a single
// pair; the second's is not read.
struct ChainedBandContext {
    BandPassContext first;
    BandPassContext second;
};

// The chained passes from a source world to a destination (Depth8 or Depth16; the first pair's results
// have their blur depth). Returns as BandPassOf's passes do.
template <class SourceDepth, class DestinationDepth>
PassFunction ChainedBandPassOf(BlurKernel kernel, BlurVariant variant);
extern template PassFunction ChainedBandPassOf<Depth8, Depth8>(BlurKernel, BlurVariant);
extern template PassFunction ChainedBandPassOf<Depth8, Depth16>(BlurKernel, BlurVariant);
extern template PassFunction ChainedBandPassOf<Depth16, Depth8>(BlurKernel, BlurVariant);
extern template PassFunction ChainedBandPassOf<Depth16, Depth16>(BlurKernel, BlurVariant);
