#pragma once
// The host's three pixel depths as one family of traits, the one visitor from a pixel format to them, and
// how a pass reaches a pixel of a world. Algorithms are written once as templates over a depth; rooms
// above extend the family where they need more of a depth (the edge smoothing's weights, say) by deriving
// from it.
#include <cstddef>
#include <cstdint>

#include "kernels/SelectionPlane.h"
#include "sdk/AE_Effect.h"

struct Depth16 {
    using Pixel = PF_Pixel16;
    using Channel = A_u_short;
    using BlurDepth = Depth16;
    static constexpr PF_PixelFormat kFormat = PF_PixelFormat_ARGB64;
    // Entries of a table indexed by channel value: 0 to full scale (32768).
    static constexpr int32_t kTableEntries = 32769;
};

struct Depth8 {
    using Pixel = PF_Pixel8;
    using Channel = A_u_char;
    // 8-bit layers are blurred in 16-bit form.
    using BlurDepth = Depth16;
    static constexpr PF_PixelFormat kFormat = PF_PixelFormat_ARGB32;
    static constexpr int32_t kTableEntries = 256;
};

struct DepthFloat {
    using Pixel = PF_PixelFloat;
    using Channel = PF_FpShort;
    using BlurDepth = DepthFloat;
    static constexpr PF_PixelFormat kFormat = PF_PixelFormat_ARGB128;
    // Float channels look up the entry of their value scaled to 0..32768.
    static constexpr int32_t kTableEntries = 32769;
};

// Calls visit with the traits of the format's depth, as in VisitDepth(format, [&]<class D>(D) { ... }),
// and returns its answer; PF_Err_UNRECOGNIZED_PARAM_TYPE for a format outside the three.
template <class Visitor>
PF_Err VisitDepth(PF_PixelFormat format, Visitor&& visit) {
    switch (format) {
    case Depth8::kFormat:
        return visit(Depth8{});
    case Depth16::kFormat:
        return visit(Depth16{});
    case DepthFloat::kFormat:
        return visit(DepthFloat{});
    default:
        return PF_Err_UNRECOGNIZED_PARAM_TYPE;
    }
}

// Row y of a world, addressed through its stride (which may exceed width × pixel size).
template <class Pixel>
Pixel* WorldRow(const PF_EffectWorld& world, int32_t y) noexcept {
    return reinterpret_cast<Pixel*>(reinterpret_cast<char*>(world.data) +
                                    static_cast<std::ptrdiff_t>(y) * world.rowbytes);
}

// True when every pixel of the non-empty rectangle lies inside the world's pixel block.
inline bool WorldCoversRect(const PF_EffectWorld* world, const PF_Rect& rect,
                            std::size_t pixelSize) noexcept {
    if (!world || !world->data)
        return false;
    if (rect.left < 0 || rect.top < 0 || rect.right > world->width || rect.bottom > world->height)
        return false;
    const int64_t rowBytes = world->rowbytes < 0 ? -static_cast<int64_t>(world->rowbytes) : world->rowbytes;
    return rowBytes >= static_cast<int64_t>(rect.right) * static_cast<int64_t>(pixelSize);
}

// True when the plane has a byte for each of the width × height pixels a pass addresses (a uniform plane's
// one row serves every row).
inline bool PlaneCovers(const SelectionPlane& plane, int32_t width, int32_t height) noexcept {
    return plane.bytes && plane.width >= width && plane.height >= height &&
           (plane.stride >= width || plane.stride == 0);
}
