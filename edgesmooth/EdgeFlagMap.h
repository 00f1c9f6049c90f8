#pragma once
// One byte per pixel saying how the pixel differs from three of its neighbours. The block has a zero
// border (one row above and below, four columns to the left, at least one to the right) so that the
// smoothing pass can look at the group of four bytes that ends past the last column.
#include <cstddef>
#include <cstdint>

enum EdgeBit : uint8_t {
    kEdgeRight = 1, // (x, y) differs from (x + 1, y)
    kEdgeBelow = 2, // (x, y) differs from (x, y + 1)
    kEdgeDiag = 4,  // (x, y) differs from (x + 1, y + 1)
    kEdgeAnti = 8,  // (x + 1, y) differs from (x, y + 1)
};

struct EdgeFlagMap {
    uint8_t* origin = nullptr; // the byte of pixel (0, 0)
    std::ptrdiff_t stride = 0; // bytes from one row to the next
    int32_t width = 0;
    int32_t height = 0;

    bool Contains(int32_t x, int32_t y) const noexcept {
        return static_cast<uint32_t>(x) < static_cast<uint32_t>(width) &&
               static_cast<uint32_t>(y) < static_cast<uint32_t>(height);
    }
    uint8_t* Row(int32_t y) const noexcept { return origin + static_cast<std::ptrdiff_t>(y) * stride; }
    // The probes of the smoothing pass look up to three rows and columns away from a pixel; anything
    // outside the image reads as no edge, without touching memory beyond the map.
    uint8_t At(int32_t x, int32_t y) const noexcept { return Contains(x, y) ? Row(y)[x] : uint8_t{0}; }

    bool Right(int32_t x, int32_t y) const noexcept { return (At(x, y) & kEdgeRight) != 0; }
    bool Below(int32_t x, int32_t y) const noexcept { return (At(x, y) & kEdgeBelow) != 0; }
    bool Diag(int32_t x, int32_t y) const noexcept { return (At(x, y) & kEdgeDiag) != 0; }
    bool Anti(int32_t x, int32_t y) const noexcept { return (At(x, y) & kEdgeAnti) != 0; }
};

// (width + 5) rounded up to a multiple of 4.
int32_t EdgeFlagMapStride(int32_t width) noexcept;
// Bytes of a block without row padding: stride × (height + 2).
std::size_t EdgeFlagMapBytes(int32_t width, int32_t height) noexcept;
// Lays the map over height + 2 rows of `rowbytes` bytes each (at least EdgeFlagMapStride(width)), pixel
// (0, 0) one row down and four bytes in, and zeroes the first EdgeFlagMapStride(width) bytes of every row.
// A host world's rows may be padded; the padding is left alone.
EdgeFlagMap ClearEdgeFlagMap(uint8_t* block, std::ptrdiff_t rowbytes, int32_t width, int32_t height) noexcept;
