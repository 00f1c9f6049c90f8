#pragma once
// Fills the edge flag map from an image. The map must be zero on entry.
#include <cstring>

#include "edgesmooth/EdgeDepth.h"
#include "edgesmooth/EdgeFlagMap.h"
#include "edgesmooth/EdgeImage.h"

template <class Depth>
void DetectEdges(const EdgeFlagMap& map, const EdgeImage<const typename Depth::Pixel>& image,
                 typename Depth::Level threshold) noexcept {
    const int32_t w = image.width;
    const int32_t h = image.height;
    auto differ = [&](int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
        return PixelsDiffer(image.At(x1, y1), image.At(x2, y2), threshold);
    };
    auto diagonalBits = [&](int32_t x, int32_t y) {
        return static_cast<uint8_t>((differ(x, y, x + 1, y + 1) ? kEdgeDiag : 0) |
                                    (differ(x + 1, y, x, y + 1) ? kEdgeAnti : 0));
    };
    // Columns below this one go in groups of four. Within a group the diagonal bits of a pixel are
    // looked at only when the group has an edge so far (finished pixels to the left and the pixel's own
    // right and below bits) or the next pixel has a right or below bit; the fourth pixel always. Which
    // diagonal bits exist is visible in the result, so this rule is kept exactly.
    const int32_t grouped = (w - 1) / 4 * 4;
    for (int32_t y = 0; y + 1 < h; ++y) {
        uint8_t* row = map.Row(y);
        const typename Depth::Pixel* above = image.Row(y);
        const typename Depth::Pixel* below = image.Row(y + 1);
        int32_t x = 0;
        for (; x < grouped; x += 4) {
            // A flat patch (the five pixels of both rows the group compares all identical) has no edge.
            bool flat = PixelsIdentical(above[x], below[x]);
            for (int k = 1; flat && k <= 4; ++k)
                flat = PixelsIdentical(above[x + k], above[x]) && PixelsIdentical(below[x + k], above[x]);
            if (flat)
                continue;
            uint8_t bytes[4];
            for (int k = 0; k < 4; ++k)
                bytes[k] = static_cast<uint8_t>((differ(x + k, y, x + k + 1, y) ? kEdgeRight : 0) |
                                                (differ(x + k, y, x + k, y + 1) ? kEdgeBelow : 0));
            uint8_t sofar = 0;
            for (int k = 0; k < 4; ++k) {
                sofar |= bytes[k];
                if (k == 3 || sofar != 0 || bytes[k + 1] != 0)
                    bytes[k] |= diagonalBits(x + k, y);
                sofar |= bytes[k];
            }
            uint32_t word;
            std::memcpy(&word, bytes, 4);
            if (word != 0)
                std::memcpy(row + x, bytes, 4);
        }
        for (; x + 1 < w; ++x)
            row[x] = static_cast<uint8_t>((differ(x, y, x + 1, y) ? kEdgeRight : 0) |
                                          (differ(x, y, x, y + 1) ? kEdgeBelow : 0) | diagonalBits(x, y));
    }
    if (h > 0) {
        uint8_t* bottom = map.Row(h - 1);
        for (int32_t x = 0; x + 1 < w; ++x)
            if (differ(x, h - 1, x + 1, h - 1))
                bottom[x] |= kEdgeRight;
    }
    if (w > 0)
        for (int32_t y = 0; y + 1 < h; ++y)
            if (differ(w - 1, y, w - 1, y + 1))
                map.Row(y)[w - 1] |= kEdgeBelow;
}
