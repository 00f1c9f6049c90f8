#include "kernels/MaskedPasses.h"

#include "kernels/RowBlocks.h"

namespace {

enum class Rows { All, Flagged };
enum class Source { Separate, InPlace };

// The walk of every masked pass: each row of the call's block (only flagged rows for Rows::Flagged), left
// to right, handing fn the selection byte, the destination pixel and the source pixel (the destination
// itself for passes that work in place). `complete` tells whether the pass's own fields are usable.
template <class DstDepth, class SrcDepth, Rows rows, Source source, class Fn>
PF_Err ForEachPixelOfBlock(void* refcon, A_long i, A_long calls, bool complete, Fn fn) noexcept {
    using DstPixel = typename DstDepth::Pixel;
    using SrcPixel = typename SrcDepth::Pixel;
    const auto* context = static_cast<const PassContext*>(refcon);
    const auto sourceOf = [](const PassContext& c) {
        return source == Source::InPlace ? c.destination : c.source;
    };
    const auto covered = [&](const LineBlock& block) {
        const SelectionPlane& plane = context->plane;
        return complete && WorldCoversRect(context->destination, context->rect, sizeof(DstPixel)) &&
               WorldCoversRect(sourceOf(*context), context->rect, sizeof(SrcPixel)) &&
               PlaneCovers(plane, block.width, block.height) && (rows == Rows::All || plane.rowFlags);
    };
    return ForEachRowOfBlock(context, i, calls, covered, [&](const LineBlock& block, int32_t row) {
        const SelectionPlane& plane = context->plane;
        if constexpr (rows == Rows::Flagged) {
            if (!plane.rowFlags[row])
                return;
        }
        const PF_Rect& rect = context->rect;
        const int32_t y = rect.top + row;
        const uint8_t* selection = plane.bytes + static_cast<std::ptrdiff_t>(row) * plane.stride;
        DstPixel* dst = WorldRow<DstPixel>(*context->destination, y) + rect.left;
        const SrcPixel* src = WorldRow<const SrcPixel>(*sourceOf(*context), y) + rect.left;
        for (int32_t x = 0; x < block.width; ++x)
            fn(selection[x], dst[x], src[x]);
    });
}

template <class Pixel>
void ClearPixel(Pixel& p) noexcept {
    p.alpha = p.red = p.green = p.blue = 0;
}

bool ClearsUnselected(void* refcon) noexcept {
    return refcon && static_cast<const PassContext*>(refcon)->clearUnselected;
}

template <class SrcDepth, class DstDepth, class Convert>
PF_Err ConvertSelected(void* refcon, A_long i, A_long calls, Convert convert) noexcept {
    using SrcPixel = typename SrcDepth::Pixel;
    using DstPixel = typename DstDepth::Pixel;
    const bool clear = ClearsUnselected(refcon);
    return ForEachPixelOfBlock<DstDepth, SrcDepth, Rows::All, Source::Separate>(
        refcon, i, calls, true, [clear, convert](uint8_t selected, DstPixel& dst, const SrcPixel& src) {
            if (selected) {
                dst.alpha = convert(src.alpha);
                dst.red = convert(src.red);
                dst.green = convert(src.green);
                dst.blue = convert(src.blue);
            } else if (clear) {
                ClearPixel(dst);
            }
        });
}

// A table entry for a channel value of each depth, never outside the table.
inline A_u_char LookUp(const A_u_char* table, A_u_char c) noexcept {
    return table[c];
}
inline A_u_short LookUp(const A_u_short* table, A_u_short c) noexcept {
    return table[Channel16TableIndex(c)];
}
inline PF_FpShort LookUp(const PF_FpShort* table, PF_FpShort c) noexcept {
    return table[FloatTableIndex(c)];
}

} // namespace

template <class Depth>
PF_Err ClearUnselectedAlpha(void* context, A_long, A_long i, A_long count) {
    using Pixel = typename Depth::Pixel;
    return ForEachPixelOfBlock<Depth, Depth, Rows::All, Source::InPlace>(
        context, i, count, true, [](uint8_t selected, Pixel& dst, const Pixel&) {
            if (!selected)
                dst.alpha = 0;
        });
}

template <class Depth>
PF_Err CopySelected(void* context, A_long, A_long i, A_long count) {
    using Pixel = typename Depth::Pixel;
    const bool clear = ClearsUnselected(context);
    return ForEachPixelOfBlock<Depth, Depth, Rows::All, Source::Separate>(
        context, i, count, true, [clear](uint8_t selected, Pixel& dst, const Pixel& src) {
            if (selected)
                dst = src;
            else if (clear)
                ClearPixel(dst);
        });
}

template <class Depth>
PF_Err MapSelectedRgb(void* refcon, A_long, A_long i, A_long count) {
    using Pixel = typename Depth::Pixel;
    using Channel = typename Depth::Channel;
    const auto* context = static_cast<const PassContext*>(refcon);
    const auto* table = context ? static_cast<const Channel*>(context->lookupTable) : nullptr;
    const bool clear = ClearsUnselected(refcon);
    return ForEachPixelOfBlock<Depth, Depth, Rows::Flagged, Source::Separate>(
        refcon, i, count, table != nullptr, [clear, table](uint8_t selected, Pixel& dst, const Pixel& src) {
            if (selected) {
                // Read the whole source pixel first: source and destination may be the same world.
                const Pixel in = src;
                dst.alpha = in.alpha;
                dst.red = LookUp(table, in.red);
                dst.green = LookUp(table, in.green);
                dst.blue = LookUp(table, in.blue);
            } else if (clear) {
                ClearPixel(dst);
            }
        });
}

#define TOVRIN_MASKED_PASSES(Depth)                                                                          \
    template PF_Err ClearUnselectedAlpha<Depth>(void*, A_long, A_long, A_long);                              \
    template PF_Err CopySelected<Depth>(void*, A_long, A_long, A_long);                                      \
    template PF_Err MapSelectedRgb<Depth>(void*, A_long, A_long, A_long);
TOVRIN_MASKED_PASSES(Depth8)
TOVRIN_MASKED_PASSES(Depth16)
TOVRIN_MASKED_PASSES(DepthFloat)
#undef TOVRIN_MASKED_PASSES

// Lambdas rather than the functions themselves: a function pointer would be called for every channel.
PF_Err ConvertSelected8To16(void* context, A_long, A_long i, A_long count) {
    return ConvertSelected<Depth8, Depth16>(context, i, count,
                                            [](A_u_char c) { return ConvertChannel8To16(c); });
}
PF_Err ConvertSelected16To8(void* context, A_long, A_long i, A_long count) {
    return ConvertSelected<Depth16, Depth8>(context, i, count,
                                            [](A_u_short c) { return ConvertChannel16To8(c); });
}
