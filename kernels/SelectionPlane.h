#pragma once
// One byte per pixel of the processing rectangle saying whether the pixel takes part, with a flag per
// row and per column so that passes can skip empty lines. Copies share the one allocation.
#include <cstdint>

#include "share/AEUtil/SharedArray.h"

struct SelectionPlane {
    uint8_t* bytes = nullptr; // pixel (x, y) at (y - top) * stride + (x - left); non-zero = selected
    AEUtil::SharedArray<uint8_t> storage;
    uint32_t size = 0; // bytes in the allocation
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    int32_t passStride = 0; // the same value; the copy that passes read
    int32_t boundsLeft = 0;
    int32_t boundsTop = 0;
    int32_t boundsRight = 0;
    int32_t boundsBottom = 0;
    uint8_t fresh = 0;
    uint8_t anythingSelected = 0;
    uint8_t* rowFlags = nullptr;    // one byte per plane row
    uint8_t* columnFlags = nullptr; // one byte per plane column
};
