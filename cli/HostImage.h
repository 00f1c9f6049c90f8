#pragma once
// Pixels as the host hands them to the effect: four channels in the order alpha, red, green, blue, at one
// of the three depths, in the rows of a world the host owns. Colour is straight (not premultiplied).
#include <cstddef>
#include <cstdint>
#include <string>

#include "host/World.h"
#include "sdk/AE_Effect.h"

namespace cli {

enum class Depth { k8, k16, k32 };

PF_PixelFormat FormatOf(Depth depth);
int BitsOf(Depth depth); // 8, 16 or 32
std::size_t PixelBytes(Depth depth);
std::string FormatText(Depth depth); // "'argb'", "'ae16'", "'ae32'"

// The rows of a world, seen without owning them: files are decoded into them and encoded from them, so a
// frame never needs a second full-size copy.
struct HostRows {
    std::uint8_t* data = nullptr;
    std::ptrdiff_t rowBytes = 0;
    int width = 0;
    int height = 0;
    Depth depth = Depth::k8;

    template <class P>
    P* Row(int y) const {
        return reinterpret_cast<P*>(data + std::ptrdiff_t(y) * rowBytes);
    }
};

HostRows RowsOf(host::World& world);

// Calls `f` with a value of the pixel type of `depth` (PF_Pixel8, PF_Pixel16 or PF_PixelFloat), so that
// one template serves the three depths.
template <class F>
decltype(auto) VisitDepth(Depth depth, F&& f) {
    switch (depth) {
    case Depth::k8:
        return f(PF_Pixel8{});
    case Depth::k16:
        return f(PF_Pixel16{});
    case Depth::k32:
        break;
    }
    return f(PF_PixelFloat{});
}

} // namespace cli
