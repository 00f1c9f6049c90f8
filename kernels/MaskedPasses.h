#pragma once
// The simple masked passes over the rectangle of a PassContext: alpha clearing, copying, depth
// conversion and colour lookup of the selected pixels. Each is a pass for RunPass and returns 0, or
// PF_Err_INTERNAL_STRUCT_DAMAGED when the context does not describe worlds, plane and table that hold
// the rectangle.
#include <cstdint>

#include "kernels/PassContext.h"
#include "kernels/PixelTraits.h"

// 8-bit to 16-bit: 0 → 0, 128 → 16448, 255 → 32768.
constexpr A_u_short ConvertChannel8To16(A_u_char c) noexcept {
    return static_cast<A_u_short>((static_cast<uint32_t>(c) * 32768u + 128u) / 255u);
}

// 16-bit to 8-bit, the inverse at both ends. A value above 32768 lies outside the format; it counts as
// 32768 so that it cannot wrap round to a dark byte.
constexpr A_u_char ConvertChannel16To8(A_u_short c) noexcept {
    const uint32_t v = c > 32768u ? 32768u : c;
    return static_cast<A_u_char>((v * 255u + 16384u) >> 15);
}

// Entry of a float channel in a 32769-entry table: trunc(c × 32768 + 0.5) with the product in single
// precision. Values outside 0..1 clamp to the ends of the table; NaN takes entry 0.
inline int32_t FloatTableIndex(PF_FpShort c) noexcept {
    const PF_FpShort scaled = c * 32768.0f;
    const double k = static_cast<double>(scaled) + 0.5;
    if (!(k >= 0.0))
        return 0;
    if (k >= 32768.0)
        return 32768;
    return static_cast<int32_t>(k);
}

// Entry of a 16-bit channel in a 32769-entry table; values above 32768 take the last entry.
constexpr int32_t Channel16TableIndex(A_u_short c) noexcept {
    return c > 32768u ? 32768 : c;
}

// The passes are one template each over the depth (PixelTraits.h); the per-depth names are the
// instantiations callers look for.

// Unselected pixels of the destination get alpha 0, in place; selected pixels are left alone.
template <class Depth>
PF_Err ClearUnselectedAlpha(void* context, A_long threadIndex, A_long i, A_long count);

// Selected pixels are copied from the source; unselected ones are cleared when the context asks.
template <class Depth>
PF_Err CopySelected(void* context, A_long threadIndex, A_long i, A_long count);

// Selected pixels of flagged rows: alpha copied, red, green and blue looked up in the context's table
// (Depth::kTableEntries entries of the depth's channel type). Unselected pixels are cleared when asked;
// rows whose flag is 0 are not touched.
template <class Depth>
PF_Err MapSelectedRgb(void* context, A_long threadIndex, A_long i, A_long count);

#define TOVRIN_MASKED_PASSES(Depth)                                                                          \
    extern template PF_Err ClearUnselectedAlpha<Depth>(void*, A_long, A_long, A_long);                       \
    extern template PF_Err CopySelected<Depth>(void*, A_long, A_long, A_long);                               \
    extern template PF_Err MapSelectedRgb<Depth>(void*, A_long, A_long, A_long);
TOVRIN_MASKED_PASSES(Depth8)
TOVRIN_MASKED_PASSES(Depth16)
TOVRIN_MASKED_PASSES(DepthFloat)
#undef TOVRIN_MASKED_PASSES

inline constexpr PassFunction ClearUnselectedAlpha8 = ClearUnselectedAlpha<Depth8>;
inline constexpr PassFunction ClearUnselectedAlpha16 = ClearUnselectedAlpha<Depth16>;
inline constexpr PassFunction ClearUnselectedAlphaFloat = ClearUnselectedAlpha<DepthFloat>;
inline constexpr PassFunction CopySelected8 = CopySelected<Depth8>;
inline constexpr PassFunction CopySelected16 = CopySelected<Depth16>;
inline constexpr PassFunction CopySelectedFloat = CopySelected<DepthFloat>;
inline constexpr PassFunction MapSelectedRgb8 = MapSelectedRgb<Depth8>;
inline constexpr PassFunction MapSelectedRgb16 = MapSelectedRgb<Depth16>;
inline constexpr PassFunction MapSelectedRgbFloat = MapSelectedRgb<DepthFloat>;

// Selected pixels are converted between 8-bit and 16-bit; unselected ones are cleared when asked.
PF_Err ConvertSelected8To16(void* context, A_long threadIndex, A_long i, A_long count);
PF_Err ConvertSelected16To8(void* context, A_long threadIndex, A_long i, A_long count);
