#include "kernels/MaskedPasses.h"


#include "kernels/PixelTraits.h"

namespace {

enum class Rows { All, Flagged };
enum class Source { Separate, InPlace };

// The shared walk of every masked pass: the call's block of rows, each row left to right, handing
// fn the selection byte, the destination pixel and the source pixel (the destination itself for
// passes that work in place). `complete` tells whether the pass's own fields are usable; like every
// other check it is looked at only by a call that has rows to treat.
template <class DstDepth, class SrcDepth, Rows rows, Source source, class Fn>
PF_Err ForEachPixelOfBlock(void* refcon, A_long i, A_long calls, bool complete, Fn fn) noexcept {
    using DstPixel = typename DstDepth::Pixel;
    using SrcPixel = typename SrcDepth::Pixel;
    const auto* context = static_cast<const PassContext*>(refcon);
    if (!context)
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    const PF_Rect& rect = context->rect;
    RectBlock split;
    if (const PF_Err err = SplitRectRows(rect, i, calls, &split); err != PF_Err_NONE)
        return err;
    const Block block = split.rows;
    if (block.count == 0)
        return PF_Err_NONE;
    const int32_t width = split.width;
    const int32_t height = split.height;

    const PF_EffectWorld* destination = context->destination;
    const PF_EffectWorld* sourceWorld = source == Source::InPlace ? destination : context->source;
    const SelectionPlane& plane = context->plane;
    if (!complete || !WorldCoversRect(destination, rect, sizeof(DstPixel)) ||
        !WorldCoversRect(sourceWorld, rect, sizeof(SrcPixel)) || !PlaneCovers(plane, width, height) ||
        (rows == Rows::Flagged && !plane.rowFlags))
        return PF_Err_INTERNAL_STRUCT_DAMAGED;

    const int32_t w = width;
    for (int32_t row = block.first; row < block.first + block.count; ++row) {
        if constexpr (rows == Rows::Flagged) {
            if (!plane.rowFlags[row])
                continue;
        }
        const int32_t y = rect.top + row;
        const uint8_t* selection = plane.bytes + static_cast<std::ptrdiff_t>(row) * plane.passStride;
        DstPixel* dst = WorldRow<DstPixel>(*destination, y) + rect.left;
        const SrcPixel* src = WorldRow<const SrcPixel>(*sourceWorld, y) + rect.left;
        for (int32_t x = 0; x < w; ++x)
            fn(selection[x], dst[x], src[x]);
    }
    return PF_Err_NONE;
}

template <class Pixel>
void ClearPixel(Pixel& p) noexcept {
    p.alpha = p.red = p.green = p.blue = 0;
}

template <class Depth>
PF_Err ClearUnselectedAlpha(void* refcon, A_long i, A_long calls) noexcept {
    using Pixel = typename Depth::Pixel;
    return ForEachPixelOfBlock<Depth, Depth, Rows::All, Source::InPlace>(
        refcon, i, calls, true, [](uint8_t selected, Pixel& dst, const Pixel&) {
            if (!selected)
                dst.alpha = 0;
        });
}

template <class Depth>
PF_Err CopySelected(void* refcon, A_long i, A_long calls) noexcept {
    using Pixel = typename Depth::Pixel;
    const bool clear = refcon && static_cast<const PassContext*>(refcon)->clearUnselected;
    return ForEachPixelOfBlock<Depth, Depth, Rows::All, Source::Separate>(
        refcon, i, calls, true, [clear](uint8_t selected, Pixel& dst, const Pixel& src) {
            if (selected)
                dst = src;
            else if (clear)
                ClearPixel(dst);
        });
}

template <class SrcDepth, class DstDepth, class Convert>
PF_Err ConvertSelected(void* refcon, A_long i, A_long calls, Convert convert) noexcept {
    using SrcPixel = typename SrcDepth::Pixel;
    using DstPixel = typename DstDepth::Pixel;
    const bool clear = refcon && static_cast<const PassContext*>(refcon)->clearUnselected;
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

template <class Depth>
PF_Err MapSelectedRgb(void* refcon, A_long i, A_long calls) noexcept {
    using Pixel = typename Depth::Pixel;
    using Channel = typename Depth::Channel;
    const auto* context = static_cast<const PassContext*>(refcon);
    const auto* table = context ? static_cast<const Channel*>(context->lookupTable) : nullptr;
    const bool clear = context && context->clearUnselected;
    return ForEachPixelOfBlock<Depth, Depth, Rows::Flagged, Source::Separate>(
        refcon, i, calls, table != nullptr, [clear, table](uint8_t selected, Pixel& dst, const Pixel& src) {
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

} // namespace

PF_Err ClearUnselectedAlpha8(void* context, A_long, A_long i, A_long count) {
    return ClearUnselectedAlpha<Depth8>(context, i, count);
}
PF_Err ClearUnselectedAlpha16(void* context, A_long, A_long i, A_long count) {
    return ClearUnselectedAlpha<Depth16>(context, i, count);
}
PF_Err ClearUnselectedAlphaFloat(void* context, A_long, A_long i, A_long count) {
    return ClearUnselectedAlpha<DepthFloat>(context, i, count);
}

PF_Err CopySelected8(void* context, A_long, A_long i, A_long count) {
    return CopySelected<Depth8>(context, i, count);
}
PF_Err CopySelected16(void* context, A_long, A_long i, A_long count) {
    return CopySelected<Depth16>(context, i, count);
}
PF_Err CopySelectedFloat(void* context, A_long, A_long i, A_long count) {
    return CopySelected<DepthFloat>(context, i, count);
}

PF_Err ConvertSelected8To16(void* context, A_long, A_long i, A_long count) {
    return ConvertSelected<Depth8, Depth16>(context, i, count, ConvertChannel8To16);
}
PF_Err ConvertSelected16To8(void* context, A_long, A_long i, A_long count) {
    return ConvertSelected<Depth16, Depth8>(context, i, count, ConvertChannel16To8);
}

PF_Err MapSelectedRgb8(void* context, A_long, A_long i, A_long count) {
    return MapSelectedRgb<Depth8>(context, i, count);
}
PF_Err MapSelectedRgb16(void* context, A_long, A_long i, A_long count) {
    return MapSelectedRgb<Depth16>(context, i, count);
}
PF_Err MapSelectedRgbFloat(void* context, A_long, A_long i, A_long count) {
    return MapSelectedRgb<DepthFloat>(context, i, count);
}
