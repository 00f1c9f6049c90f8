#pragma once
// The three pixel depths of the host and how a pass reaches a pixel of a world.
#include <cstddef>
#include <cstdint>

#include "kernels/SelectionPlane.h"
#include "sdk/AE_Effect.h"

struct Depth8 {
    using Pixel = PF_Pixel8;
    using Channel = A_u_char;
    static constexpr PF_PixelFormat format = PF_PixelFormat_ARGB32;
};

struct Depth16 {
    using Pixel = PF_Pixel16;
    using Channel = A_u_short;
    static constexpr PF_PixelFormat format = PF_PixelFormat_ARGB64;
};

struct DepthFloat {
    using Pixel = PF_PixelFloat;
    using Channel = PF_FpShort;
    static constexpr PF_PixelFormat format = PF_PixelFormat_ARGB128;
};

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

// True when the plane has a byte for each of the width × height pixels a pass addresses.
inline bool PlaneCovers(const SelectionPlane& plane, int32_t width, int32_t height) noexcept {
    return plane.bytes && plane.width >= width && plane.height >= height && plane.passStride >= width;
}
