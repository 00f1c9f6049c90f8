#pragma once
// Pixels as the host hands them to the effect: rows packed without padding, four channels in the order
// alpha, red, green, blue, at one of the three depths. Colour is straight (not premultiplied).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sdk/AE_Effect.h"

namespace cli {

enum class Depth { k8, k16, k32 };

PF_PixelFormat FormatOf(Depth depth);
int BitsOf(Depth depth); // 8, 16 or 32
std::size_t PixelBytes(Depth depth);
std::string FormatText(Depth depth); // "'argb'", "'ae16'", "'ae32'"

struct HostImage {
    int width = 0;
    int height = 0;
    Depth depth = Depth::k8;
    std::vector<std::uint8_t> bytes;

    HostImage() = default;
    HostImage(int w, int h, Depth d)
        : width(w), height(h), depth(d), bytes(std::size_t(w) * h * PixelBytes(d)) {}
    std::size_t Pixels() const { return std::size_t(width) * std::size_t(height); }
    template <class P>
    P* As() {
        return reinterpret_cast<P*>(bytes.data());
    }
    template <class P>
    const P* As() const {
        return reinterpret_cast<const P*>(bytes.data());
    }
};

} // namespace cli
