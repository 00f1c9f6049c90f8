// The blur passes: the schedule around the line functions of BlurLine.h. A horizontal pass filters the
// rows of its block in place in the worlds. A vertical pass takes its columns a page of pixels at a time:
// columns that are selected and opaque throughout are filtered in place a row of all of them at a time
// (BlurStrip); the others are gathered 16 at a time (source, destination and selection) into contiguous
// buffers, filtered as rows and written back, visiting each row of the worlds twice per strip, not per
// column.
// Every schedule gives the bytes of the plain line function on each line.
#include "kernels/BlurLineFilters.h"

#include <cstring>
#include <type_traits>

#include "kernels/BlurLine.h"
#include "kernels/BlurSchedule.h"
#include "kernels/PixelTraits.h"
#include "kernels/RowBlocks.h"
#include "share/AEUtil/Allocator.h"

namespace {

using namespace blur_schedule;

template <class Pixel, BlurKernel K, BlurVariant V>
PF_Err FilterRows(const PassContext& ctx, const LineBlock& rows) {
    const Block block = rows.lines;
    const int32_t width = rows.width;
    LinePlan<Pixel, K, V> plan;
    if (!plan.Prepare(ctx, width))
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    AlignedBuffer scratch(plan.scratchBytes);
    const SelectionPlane& plane = ctx.plane;
    for (int32_t y = block.first; y < block.first + block.count; ++y) {
        Pixel* destination = WorldRow<Pixel>(*ctx.destination, ctx.rect.top + y) + ctx.rect.left;
        if (ctx.fallback)
            FillUnfiltered(destination, ctx, y, 0, width);
        if (plane.rowFlags && !plane.rowFlags[y])
            continue;
        BlurLine<Pixel> line;
        line.source = WorldRow<Pixel>(*ctx.source, ctx.rect.top + y) + ctx.rect.left;
        line.selection = plane.bytes + static_cast<std::ptrdiff_t>(y) * plane.stride;
        line.length = width;
        line.destination = reinterpret_cast<unsigned char*>(destination);
        line.destinationStep = sizeof(Pixel);
        if (y + 1 < block.first + block.count)
            line.nextSource = WorldRow<Pixel>(*ctx.source, ctx.rect.top + y + 1) + ctx.rect.left;
        plan.filter(line, plan.kernel, scratch.data);
    }
    return PF_Err_NONE;
}

// Columns [g0, g0 + n) gathered into the strip buffers, filtered line by line and written back.
template <class Pixel>
void FilterGathered(const PassContext& ctx, BlurLineFunction<Pixel> filter, const BlurLineKernel& kernel,
                    void* scratch, const GatheredColumns<Pixel>& gathered, int32_t g0, int32_t n,
                    int32_t height) {
    const SelectionPlane& plane = ctx.plane;
    bool any = false;
    for (int32_t c = 0; c < n; ++c)
        any = any || !plane.columnFlags || plane.columnFlags[g0 + c];
    if (!any) {
        if (ctx.fallback)
            for (int32_t y = 0; y < height; ++y)
                FillUnfiltered(WorldRow<Pixel>(*ctx.destination, ctx.rect.top + y) + ctx.rect.left + g0, ctx,
                               y, g0, n);
        return;
    }
    const GatheredColumns<Pixel> cols = gathered;
    // Read and written a row at a time: one visit per row instead of one per column.
    Pixel unfiltered[kStripColumns];
    for (int32_t y = 0; y < height; ++y) {
        const Pixel* from = WorldRow<Pixel>(*ctx.source, ctx.rect.top + y) + ctx.rect.left + g0;
        const Pixel* to = WorldRow<Pixel>(*ctx.destination, ctx.rect.top + y) + ctx.rect.left + g0;
        FetchNextStrip(from);
        if (ctx.fallback) {
            FetchNextStrip(WorldRow<const Pixel>(*ctx.fallback, ctx.rect.top + y) + ctx.rect.left + g0);
            FillUnfiltered(unfiltered, ctx, y, g0, n);
            to = unfiltered;
        } else {
            FetchNextStrip(to);
        }
        const uint8_t* selRow = plane.bytes + static_cast<std::ptrdiff_t>(y) * plane.stride + g0;
        for (int32_t c = 0; c < n; ++c) {
            cols.src[c][y] = from[c];
            cols.dst[c][y] = to[c];
            cols.sel[c][y] = selRow[c];
        }
    }
    for (int32_t c = 0; c < n; ++c) {
        if (plane.columnFlags && !plane.columnFlags[g0 + c])
            continue;
        BlurLine<Pixel> line;
        line.source = cols.src[c];
        line.selection = cols.sel[c];
        line.length = height;
        line.destination = reinterpret_cast<unsigned char*>(cols.dst[c]);
        line.destinationStep = sizeof(Pixel);
        filter(line, kernel, scratch);
    }
    // Pixels the filter left alone go back unchanged; no other call writes these columns.
    for (int32_t y = 0; y < height; ++y) {
        Pixel* to = WorldRow<Pixel>(*ctx.destination, ctx.rect.top + y) + ctx.rect.left + g0;
        FetchNextStrip(to);
        for (int32_t c = 0; c < n; ++c)
            to[c] = cols.dst[c][y];
    }
}

template <class Pixel, BlurKernel K, BlurVariant V>
PF_Err FilterColumns(const PassContext& ctx, const LineBlock& columns) {
    const Block block = columns.lines;
    const int32_t height = columns.height;
    LinePlan<Pixel, K, V> plan;
    if (!plan.Prepare(ctx, height))
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    const BlurStripFunction<Pixel> strip = SelectBlurStrip<Pixel>(K, V, BestBlurIsa(), plan.kernel, height);
    const SelectionPlane& plane = ctx.plane;
    const std::size_t rows = RoundUp64(height);
    // Per column of the strip: its source pixels, its destination pixels, its selection bytes.
    const std::size_t columnBytes = rows * (1 + 2 * sizeof(Pixel));
    AlignedBuffer gather(kStripColumns * columnBytes);
    AlignedBuffer scratch(plan.scratchBytes);
    const int32_t end = block.first + block.count;
    GatheredColumns<Pixel> gathered;
    gathered.Lay(gather.data, columnBytes, rows);
    constexpr int32_t kDirect = kDirectColumns<Pixel>;
    for (int32_t x0 = block.first; x0 < end; x0 += kDirect) {
        const int32_t chunk = end - x0 < kDirect ? end - x0 : kDirect;
        // Columns selected and opaque throughout are filtered in place, a row of all of them at a time.
        int32_t direct = chunk & ~1;
        if (plane.columnFlags)
            for (int32_t c = 0; c < direct; ++c)
                if (!plane.columnFlags[x0 + c])
                    direct = 0;
        if (strip && direct > 0) {
            BlurStrip<Pixel> s;
            s.source = reinterpret_cast<const unsigned char*>(WorldRow<Pixel>(*ctx.source, ctx.rect.top) +
                                                              ctx.rect.left + x0);
            s.sourceStride = ctx.source->rowbytes;
            s.selection = plane.bytes + x0;
            s.selectionStride = plane.stride;
            s.destination = reinterpret_cast<unsigned char*>(WorldRow<Pixel>(*ctx.destination, ctx.rect.top) +
                                                             ctx.rect.left + x0);
            s.destinationStride = ctx.destination->rowbytes;
            s.columns = direct;
            s.rows = height;
            if (!strip(s, plan.kernel))
                direct = 0;
        } else {
            direct = 0;
        }
        // The rest is gathered a few columns at a time, filtered line by line and written back.
        for (int32_t g0 = x0 + direct; g0 < x0 + chunk; g0 += kStripColumns) {
            const int32_t n = x0 + chunk - g0 < kStripColumns ? x0 + chunk - g0 : kStripColumns;
            FilterGathered<Pixel>(ctx, plan.filter, plan.kernel, scratch.data, gathered, g0, n, height);
        }
    }
    return PF_Err_NONE;
}

template <class Pixel, BlurKernel K, BlurVariant V, bool Columns>
PF_Err BlurPass(void* refcon, A_long i, A_long calls) noexcept {
    const auto* context = static_cast<const PassContext*>(refcon);
    const auto covered = [context](const LineBlock& block) {
        return WorldCoversRect(context->source, context->rect, sizeof(Pixel)) &&
               WorldCoversRect(context->destination, context->rect, sizeof(Pixel)) &&
               (!context->fallback || WorldCoversRect(context->fallback, context->rect, sizeof(Pixel))) &&
               (!context->unselectedFallback ||
                WorldCoversRect(context->unselectedFallback, context->rect, sizeof(Pixel))) &&
               PlaneCovers(context->plane, block.width, block.height);
    };
    if constexpr (Columns)
        return RunLineBlock<SplitLines::Columns>(
            context, i, calls, covered,
            [context](const LineBlock& block) { return FilterColumns<Pixel, K, V>(*context, block); });
    else
        return RunLineBlock(context, i, calls, covered, [context](const LineBlock& block) {
            return FilterRows<Pixel, K, V>(*context, block);
        });
}

constexpr BlurKernel kGauss = BlurKernel::Gauss;
constexpr BlurKernel kBox = BlurKernel::Box;
constexpr BlurVariant kSpanning = BlurVariant::Spanning;
constexpr BlurVariant kConfined = BlurVariant::Confined;

} // namespace

PF_Err GaussSpanningRows16(void* context, A_long, A_long i, A_long count) {
    return BlurPass<PF_Pixel16, kGauss, kSpanning, false>(context, i, count);
}
PF_Err GaussSpanningColumns16(void* context, A_long, A_long i, A_long count) {
    return BlurPass<PF_Pixel16, kGauss, kSpanning, true>(context, i, count);
}
PF_Err GaussConfinedRows16(void* context, A_long, A_long i, A_long count) {
    return BlurPass<PF_Pixel16, kGauss, kConfined, false>(context, i, count);
}
PF_Err GaussConfinedColumns16(void* context, A_long, A_long i, A_long count) {
    return BlurPass<PF_Pixel16, kGauss, kConfined, true>(context, i, count);
}
PF_Err BoxSpanningRows16(void* context, A_long, A_long i, A_long count) {
    return BlurPass<PF_Pixel16, kBox, kSpanning, false>(context, i, count);
}
PF_Err BoxSpanningColumns16(void* context, A_long, A_long i, A_long count) {
    return BlurPass<PF_Pixel16, kBox, kSpanning, true>(context, i, count);
}
PF_Err BoxConfinedRows16(void* context, A_long, A_long i, A_long count) {
    return BlurPass<PF_Pixel16, kBox, kConfined, false>(context, i, count);
}
PF_Err BoxConfinedColumns16(void* context, A_long, A_long i, A_long count) {
    return BlurPass<PF_Pixel16, kBox, kConfined, true>(context, i, count);
}
PF_Err GaussSpanningRowsFloat(void* context, A_long, A_long i, A_long count) {
    return BlurPass<PF_PixelFloat, kGauss, kSpanning, false>(context, i, count);
}
PF_Err GaussSpanningColumnsFloat(void* context, A_long, A_long i, A_long count) {
    return BlurPass<PF_PixelFloat, kGauss, kSpanning, true>(context, i, count);
}
PF_Err GaussConfinedRowsFloat(void* context, A_long, A_long i, A_long count) {
    return BlurPass<PF_PixelFloat, kGauss, kConfined, false>(context, i, count);
}
PF_Err GaussConfinedColumnsFloat(void* context, A_long, A_long i, A_long count) {
    return BlurPass<PF_PixelFloat, kGauss, kConfined, true>(context, i, count);
}
PF_Err BoxSpanningRowsFloat(void* context, A_long, A_long i, A_long count) {
    return BlurPass<PF_PixelFloat, kBox, kSpanning, false>(context, i, count);
}
PF_Err BoxSpanningColumnsFloat(void* context, A_long, A_long i, A_long count) {
    return BlurPass<PF_PixelFloat, kBox, kSpanning, true>(context, i, count);
}
PF_Err BoxConfinedRowsFloat(void* context, A_long, A_long i, A_long count) {
    return BlurPass<PF_PixelFloat, kBox, kConfined, false>(context, i, count);
}
PF_Err BoxConfinedColumnsFloat(void* context, A_long, A_long i, A_long count) {
    return BlurPass<PF_PixelFloat, kBox, kConfined, true>(context, i, count);
}

template <class Pixel>
PassFunction BlurPassOf(BlurKernel kernel, BlurVariant variant, bool columns) {
    constexpr bool k16 = std::is_same_v<Pixel, PF_Pixel16>;
    // Index: kernel, variant, direction.
    constexpr PassFunction passes[2][2][2] = {{{k16 ? GaussSpanningRows16 : GaussSpanningRowsFloat,
                                                k16 ? GaussSpanningColumns16 : GaussSpanningColumnsFloat},
                                               {k16 ? GaussConfinedRows16 : GaussConfinedRowsFloat,
                                                k16 ? GaussConfinedColumns16 : GaussConfinedColumnsFloat}},
                                              {{k16 ? BoxSpanningRows16 : BoxSpanningRowsFloat,
                                                k16 ? BoxSpanningColumns16 : BoxSpanningColumnsFloat},
                                               {k16 ? BoxConfinedRows16 : BoxConfinedRowsFloat,
                                                k16 ? BoxConfinedColumns16 : BoxConfinedColumnsFloat}}};
    return passes[kernel == BlurKernel::Box][variant == BlurVariant::Confined][columns];
}

template PassFunction BlurPassOf<PF_Pixel16>(BlurKernel, BlurVariant, bool);
template PassFunction BlurPassOf<PF_PixelFloat>(BlurKernel, BlurVariant, bool);
