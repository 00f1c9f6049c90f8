#pragma once
// The key-colour selection: a pixel is selected when its colour lies within the range of one of the key
// colours. The pass writes the selection plane of the rectangle with its row and column flags. Whether a
// colour is selected depends on its 8-bit colour alone, so the pass remembers the answer for every 8-bit
// colour it has met (KeyColorCache) and asks the host's RGBtoHLS once per distinct colour.
#include <cstddef>
#include <cstdint>

#include "kernels/PassContext.h"
#include "kernels/PixelTraits.h"
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

// What the key list answers for each of the 2^24 8-bit colours met so far: two bits per colour (known,
// selected), 64-bit words of 32 colours, the colours in bit-interleaved order. Calls share it; whoever
// sets a colour's bits sets the same ones, and a colour whose bits another call's store dropped is only
// asked again, so neither the order of the calls nor the thread count changes an answer.
struct KeyColorCache {
    uint64_t* words = nullptr; // kKeyColorCacheWords words, all zero at first; null: nothing is remembered
};
constexpr std::size_t kKeyColorCacheWords = (std::size_t{1} << 24) / 32;

// The record every call of a key selection pass reads; the calls write disjoint rows of the plane and
// share its column flags.
struct KeySelectContext {
    PF_EffectWorld* source = nullptr;
    PF_Rect rect{};
    const PF_InData* in_data = nullptr; // the host's RGBtoHLS and effect reference
    KeyList keys;                       // tested in order; the first match wins
    uint8_t selectedValue = 0;          // written into the plane for a matching pixel, 0 elsewhere
    SelectionPlane plane;
    KeyColorCache cache;
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

// The largest distance the key test can produce; a colour range of 100% reaches every colour.
constexpr int32_t kKeyDistanceLimit = 27904;

// The tolerance of a key colour for a range given as a fraction: trunc(range × 27904). NaN counts as 0.
int32_t KeyTolerance(double range) noexcept;

// Appends an enabled key colour, given as the host's HLS of its colour and its range as a fraction.
// Raises std::bad_alloc when the host refuses memory.
void AppendKeyColor(KeyList& keys, const PF_Fixed hls[3], double range);

// The pass over a KeySelectContext, one template over the depth. Returns 0, or
// PF_Err_INTERNAL_STRUCT_DAMAGED when the context does not describe a world and plane that hold the
// rectangle.
template <class Depth>
PF_Err SelectKeyColors(void* context, A_long threadIndex, A_long i, A_long count);
extern template PF_Err SelectKeyColors<Depth8>(void*, A_long, A_long, A_long);
extern template PF_Err SelectKeyColors<Depth16>(void*, A_long, A_long, A_long);
extern template PF_Err SelectKeyColors<DepthFloat>(void*, A_long, A_long, A_long);
inline constexpr PassFunction SelectKeyColors8 = SelectKeyColors<Depth8>;
inline constexpr PassFunction SelectKeyColors16 = SelectKeyColors<Depth16>;
inline constexpr PassFunction SelectKeyColorsFloat = SelectKeyColors<DepthFloat>;

// Whether the key list selects an 8-bit colour (alpha not looked at): its HLS from ConvertRgbToHls, then the
// keys in order. The host's result is stored in *err.
bool KeyListSelects(const PF_InData* in_data, const KeyList& keys, const PF_Pixel& colour,
                    PF_Err* err) noexcept;

// Runs the key selection pass of the source's format over area with iterate_generic and replaces the
// plane with the result; pixels matching a key get value. PF_Iterations_ONCE_PER_PROCESSOR lets the pass
// split the rows into blocks that the host's threads take as they finish. The pass's colour cache comes from
// the host and goes with the call. Returns the host's result, or PF_Err_UNRECOGNIZED_PARAM_TYPE (plane
// unchanged) for a format other than 8-bit, 16-bit and float, or PF_Err_INTERNAL_STRUCT_DAMAGED (plane
// unchanged) for a source that does not hold the area. Raises std::bad_alloc when the host refuses memory.
PF_Err BuildSelectionPlane(SelectionPlane& plane, const PF_InData* in_data, A_long iterations,
                           PF_EffectWorld* source, PF_PixelFormat format, const PF_Rect& area,
                           const KeyList& keys, uint8_t value);
