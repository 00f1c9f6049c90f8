#pragma once
// A host world seen as rows of one pixel type.
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "sdk/AE_Effect.h"

template <class Pixel>
struct EdgeImage {
    using Byte = std::conditional_t<std::is_const_v<Pixel>, const char, char>;
    Byte* data = nullptr;
    std::ptrdiff_t rowbytes = 0;
    int32_t width = 0;
    int32_t height = 0;

    bool Contains(int32_t x, int32_t y) const noexcept {
        return static_cast<uint32_t>(x) < static_cast<uint32_t>(width) &&
               static_cast<uint32_t>(y) < static_cast<uint32_t>(height);
    }
    Pixel* Row(int32_t y) const noexcept { return reinterpret_cast<Pixel*>(data + y * rowbytes); }
    Pixel& At(int32_t x, int32_t y) const noexcept { return Row(y)[x]; }
};

template <class Pixel>
EdgeImage<Pixel> ImageOfWorld(const PF_EffectWorld& world) noexcept {
    EdgeImage<Pixel> image;
    image.data = reinterpret_cast<typename EdgeImage<Pixel>::Byte*>(world.data);
    image.rowbytes = world.rowbytes;
    image.width = world.width;
    image.height = world.height;
    return image;
}

// The neighbours of (x, y) that lie inside the image, left, right, above, below, into `neighbours`; their
// count. The lone-pixel average takes them in this order.
template <class Pixel>
int InsideNeighbours(const EdgeImage<Pixel>& image, int32_t x, int32_t y, Pixel* neighbours[4]) noexcept {
    int count = 0;
    if (x > 0)
        neighbours[count++] = &image.At(x - 1, y);
    if (x < image.width - 1)
        neighbours[count++] = &image.At(x + 1, y);
    if (y > 0)
        neighbours[count++] = &image.At(x, y - 1);
    if (y < image.height - 1)
        neighbours[count++] = &image.At(x, y + 1);
    return count;
}
