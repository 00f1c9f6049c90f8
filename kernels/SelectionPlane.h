#pragma once
// One byte per pixel of the processing rectangle saying whether the pixel takes part, with a flag per
// row and per column so that passes can skip empty lines. These run on the render thread; the key
// selection pass that fills a plane from the key colours is in SelectKeyColors.h.
#include <cstddef>
#include <cstdint>

#include "share/AEUtil/SharedArray.h"

struct SelectionPlane {
    uint8_t* bytes = nullptr; // pixel (x, y) of the rectangle at y * stride + x; non-zero = selected
    AEUtil::SharedArray<uint8_t> storage; // copies share it; empty for a plane over the caller's memory
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;             // width rounded up to a multiple of 4; 0: every row is the first
    uint8_t* rowFlags = nullptr;    // one byte per plane row: 1 when the row holds a selected pixel
    uint8_t* columnFlags = nullptr; // one byte per plane column, likewise
};

// The bytes of a plane of width × height pixels: stride × (height + 1) + H4, holding the plane, the row
// flags (H4 bytes) and the column flags (stride bytes), with stride and H4 the width and height rounded up
// to multiples of 4. 0 for an empty size.
int64_t SelectionPlaneBytes(int32_t width, int32_t height) noexcept;

// A plane laid out over `bytes`, which hold SelectionPlaneBytes(width, height) bytes; the empty plane for
// an empty size. The caller keeps the memory alive and its content as it is.
SelectionPlane LayOutSelectionPlane(uint8_t* bytes, int32_t width, int32_t height) noexcept;

// A plane of fresh storage, every byte 0. Raises std::bad_alloc when the host refuses memory (or the size
// lies beyond 32-bit byte counts).
SelectionPlane MakeSelectionPlane(int32_t width, int32_t height);

// The same with only the flags cleared, for a pass that writes every byte of every row (the padding up to
// the stride included) before anything reads the plane: clearing 8 MB of a 4K plane first, on one thread,
// was most of a key selection's preparation.
SelectionPlane MakeUnfilledSelectionPlane(int32_t width, int32_t height);

// A plane in which every pixel takes `value`, its flags set accordingly: one row of bytes that every row
// reads (stride 0), so that a render whose every pixel takes part neither fills nor reads a byte a pixel.
// Raises std::bad_alloc when the host refuses memory.
SelectionPlane MakeUniformSelectionPlane(int32_t width, int32_t height, uint8_t value);

// Sets every plane byte to value; a non-zero value flags every row and column, zero clears them.
void FillSelectionPlane(SelectionPlane& plane, uint8_t value);

// Selected bytes become 0 and unselected ones value; the flags then mark the newly selected pixels.
void InvertSelectionPlane(SelectionPlane& plane, uint8_t value);
