#pragma once
// The key-colour selection passes: a pixel is selected when its colour lies within the range of one of
// the key colours. They write the selection plane of the rectangle with its row flags, column flags and
// anything-selected byte.
#include <cstdint>

#include "kernels/PassContext.h"
#include "kernels/SelectionPlane.h"
#include "sdk/AE_Effect.h"
#include "share/AEUtil/Allocator.h"

// An enabled key colour: hue (degrees), lightness and saturation in 16.16 fixed point as the host's HLS
// pixel gives them, and the largest distance that still matches.
struct KeyColorEntry {
    int32_t hue;
    int32_t lightness;
    int32_t saturation;
    int32_t range;
};
static_assert(sizeof(KeyColorEntry) == 16);

using KeyList = AEUtil::Vector<KeyColorEntry>;

// The record every call of a key selection pass reads; the calls write disjoint rows of the plane and
// share its column flags and anything-selected byte.
struct KeySelectContext {
    PF_EffectWorld* source = nullptr;
    PF_Rect rect{};
    const PF_InData* in_data = nullptr; // the host's RGBtoHLS and effect reference
    KeyList keys;                       // tested in order; the first match wins
    uint8_t selectedValue = 0;          // written into the plane for a matching pixel
    SelectionPlane plane;
};

// Hue 360° in 16.16 fixed point; half of it is the largest hue difference.
constexpr int32_t kFullHue = 23592960;

// The weighted distance of a colour to a key: one degree of hue counts 512, full lightness or
// saturation 65536, the sum divided by 8. Hue wraps around, so 350° and 10° are 20° apart.
constexpr int64_t KeyDistance(const PF_Fixed hls[3], const KeyColorEntry& key) noexcept {
    int64_t dH = static_cast<int64_t>(hls[0]) - key.hue;
    if (dH < 0)
        dH = -dH;
    if (dH > kFullHue / 2)
        dH = kFullHue - dH;
    int64_t dL = static_cast<int64_t>(hls[1]) - key.lightness;
    int64_t dS = static_cast<int64_t>(hls[2]) - key.saturation;
    if (dL < 0)
        dL = -dL;
    if (dS < 0)
        dS = -dS;
    return (dL + dS + (dH >> 7)) >> 3;
}

// HLS of an 8-bit colour through the host's RGBtoHLS, or through the stand-in conversion below when the
// host offers none. The host's result is returned.
PF_Err ConvertRgbToHls(const PF_InData* in_data, const PF_Pixel& rgb, PF_Fixed hls[3]) noexcept;
// The stand-in: hue in degrees 0..360, lightness and saturation 0..1, all 16.16 fixed point.
void StandInRgbToHls(const PF_Pixel& rgb, PF_Fixed hls[3]) noexcept;

// The 8-bit colour the key test sees for a float pixel: each channel clamped to 0..1 (NaN as 0), then
// trunc(c × 255 + 0.5) with the product in single precision; alpha 255.
PF_Pixel KeyColorOfFloat(const PF_PixelFloat& p) noexcept;

// Passes over a KeySelectContext for 8-bit, 16-bit and float source worlds. Each returns 0, or
// PF_Err_INTERNAL_STRUCT_DAMAGED when the context does not describe a world and plane that hold the
// rectangle.
PF_Err SelectKeyColors8(void* context, A_long threadIndex, A_long i, A_long count);
PF_Err SelectKeyColors16(void* context, A_long threadIndex, A_long i, A_long count);
PF_Err SelectKeyColorsFloat(void* context, A_long threadIndex, A_long i, A_long count);
