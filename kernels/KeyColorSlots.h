#pragma once
// The first step of the key selection over a run of pixels: each pixel's 8-bit colour (red << 16 |
// green << 8 | blue) as the key test sees it (KeyColorOfFloat's for float pixels), and its slot in the key
// colour cache. The same loop is built for the baseline instruction set and, in KeyColorSlotsAvx2.cpp, for
// AVX2; the cache read and the key test stay in SelectKeyColors.cpp.
#include <bit>
#include <cstdint>

#include "sdk/AE_Effect.h"

enum class KeySlotIsa : uint8_t { Plain, Avx2 };

// The widest instruction set of this processor that the slot loop is built for; chosen once.
KeySlotIsa BestKeySlotIsa() noexcept;

// Colours and slots of n pixels (n up to any count) with the loop of `isa`, which the processor must have.
void MakeKeySlots(KeySlotIsa isa, const PF_Pixel8* pixels, int32_t n, uint32_t* colours,
                  uint32_t* slots) noexcept;
void MakeKeySlots(KeySlotIsa isa, const PF_Pixel16* pixels, int32_t n, uint32_t* colours,
                  uint32_t* slots) noexcept;
void MakeKeySlots(KeySlotIsa isa, const PF_PixelFloat* pixels, int32_t n, uint32_t* colours,
                  uint32_t* slots) noexcept;

// The AVX2 build of the loop (KeyColorSlotsAvx2.cpp); only where the processor has AVX2.
void Avx2KeySlots(const PF_Pixel8* pixels, int32_t n, uint32_t* colours, uint32_t* slots) noexcept;
void Avx2KeySlots(const PF_Pixel16* pixels, int32_t n, uint32_t* colours, uint32_t* slots) noexcept;
void Avx2KeySlots(const PF_PixelFloat* pixels, int32_t n, uint32_t* colours, uint32_t* slots) noexcept;

// The slot of a colour (red << 16 | green << 8 | blue): red, green and blue interleaved bit by bit (red's
// bit i at 3i + 2, green's at 3i + 1, blue's at 3i), so that colours close to each other (a grainy
// region's) share cache lines instead of lying 64 KB apart.
uint32_t KeyColorSlot(uint32_t colour) noexcept;

// The loops themselves, for the two builds; each translation unit has its own copy (internal linkage), so
// the AVX2 build of one never stands in for the other.
namespace {

struct KeyChannels {
    uint32_t red, green, blue;
};
inline KeyChannels KeyChannelsOf(const PF_Pixel8& p) noexcept {
    return {p.red, p.green, p.blue};
}
inline KeyChannels KeyChannelsOf(const PF_Pixel16& p) noexcept {
    // ConvertChannel16To8 written out on 32-bit lanes, so that the loop vectorises.
    const auto to8 = [](uint32_t c) noexcept { return ((c > 32768u ? 32768u : c) * 255u + 16384u) >> 15; };
    return {to8(p.red), to8(p.green), to8(p.blue)};
}

// KeyColorOfFloat's byte (clamp(c) × 255 in single precision, then trunc(· + 0.5) in double) without the
// double, so that the loop vectorises: the whole part plus whether the fraction reaches one half (a float
// from 0 to 255 less its whole part is exact).
inline uint32_t KeyByteOfFloat(PF_FpShort c) noexcept {
    // Scaled first (a value beyond 1 scales to 255 or more, NaN stays NaN), then clamped to 0..255 on the
    // product's bits, where a float without its sign orders as an integer: an ordered comparison of floats
    // that may be NaN (it may trap) would keep the loop's branches.
    const PF_FpShort product = c * 255.0f;
    int32_t bits = std::bit_cast<int32_t>(product) & -static_cast<int32_t>(product == product); // NaN: 0
    bits = bits < 0 ? 0 : bits;                   // negative, -0
    bits = bits > 0x437f0000 ? 0x437f0000 : bits; // beyond 255 (0x437f0000), infinity
    const PF_FpShort scaled = std::bit_cast<PF_FpShort>(bits);
    const int32_t whole = static_cast<int32_t>(scaled);
    const int32_t fraction = std::bit_cast<int32_t>(scaled - static_cast<PF_FpShort>(whole));
    return static_cast<uint32_t>(whole) + (fraction >= 0x3f000000 ? 1u : 0u); // 0.5
}
inline KeyChannels KeyChannelsOf(const PF_PixelFloat& p) noexcept {
    return {KeyByteOfFloat(p.red), KeyByteOfFloat(p.green), KeyByteOfFloat(p.blue)};
}

// A byte's bits spread three apart (bit i to bit 3i), by shifts and masks rather than a table so that it
// vectorises.
constexpr uint32_t SpreadBits(uint32_t v) noexcept {
    v = (v | v << 8) & 0x00f00fu;
    v = (v | v << 4) & 0x0c30c3u;
    return (v | v << 2) & 0x249249u;
}

constexpr uint32_t SlotOf(const KeyChannels& c) noexcept {
    return SpreadBits(c.red) << 2 | SpreadBits(c.green) << 1 | SpreadBits(c.blue);
}

template <class Pixel>
inline void KeySlotsLoop(const Pixel* pixels, int32_t n, uint32_t* colours, uint32_t* slots) noexcept {
    for (int32_t k = 0; k < n; ++k) {
        const KeyChannels c = KeyChannelsOf(pixels[k]);
        colours[k] = c.red << 16 | c.green << 8 | c.blue;
        slots[k] = SlotOf(c);
    }
}

} // namespace
