#pragma once
// The selection plane of a render: allocation, filling, inversion, and building it from the key colours.
// These run on the render thread; only the key selection pass inside BuildSelectionPlane is parallel.
#include <cstdint>

#include "kernels/SelectKeyColors.h"
#include "kernels/SelectionPlane.h"
#include "sdk/AE_Effect.h"

// The largest distance the key test can produce; a colour range of 100% reaches every colour.
constexpr int32_t kKeyDistanceLimit = 27904;

// The tolerance of a key colour for a range given as a fraction: trunc(range × 27904). NaN counts as 0.
int32_t KeyTolerance(double range) noexcept;

// Appends an enabled key colour, given as the host's HLS of its colour and its range as a fraction.
// Raises std::bad_alloc when the host refuses memory.
void AppendKeyColor(KeyList& keys, const PF_Fixed hls[3], double range);

// Gives the plane fresh storage for width × height pixels: one allocation of stride × (height + 1) + H4
// bytes holding the plane, the row flags (H4 bytes) and the column flags (stride bytes), with stride and
// H4 the width and height rounded up to multiples of 4. An empty size gives empty storage. The previous
// storage is released. Raises std::bad_alloc when the host refuses memory.
void InitSelectionPlane(SelectionPlane& plane, int32_t width, int32_t height);

// Sets every plane byte to value; a non-zero value flags every row and column, zero clears them.
void FillSelectionPlane(SelectionPlane& plane, uint8_t value);

// Selected bytes become 0 and unselected ones value; the flags then mark the newly selected pixels.
void InvertSelectionPlane(SelectionPlane& plane, uint8_t value);

// Runs the key selection pass of the source's format over area with iterate_generic and replaces the
// plane with the result; pixels matching a key get value. Returns the host's result, or
// PF_Err_UNRECOGNIZED_PARAM_TYPE (plane unchanged) for a format other than 8-bit, 16-bit and float.
// Raises std::bad_alloc when the host refuses memory.
PF_Err BuildSelectionPlane(SelectionPlane& plane, const PF_InData* in_data, A_long iterations,
                           PF_EffectWorld* source, PF_PixelFormat format, const PF_Rect& area,
                           const KeyList& keys, uint8_t value);
