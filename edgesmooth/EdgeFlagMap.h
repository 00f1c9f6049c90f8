#pragma once
// One byte per pixel saying how the pixel differs from three of its neighbours. The block has a zero
// border of four rows above and below and at least four columns on either side: the smoothing pass looks at
// the group of four bytes that ends past the last column, and its probes and walks, which reach at most
// four pixels outside the image, read zero there without a bounds test.
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
    // Anything outside the image reads as no edge: x and y may lie up to kEdgeMapBorder outside it. Every
    // walk of the smoothing pass ends at the first zero byte beyond the image and probes at most three
    // pixels around a position, so no read of the pass leaves the border.
    uint8_t At(int32_t x, int32_t y) const noexcept { return Row(y)[x]; }

    bool Right(int32_t x, int32_t y) const noexcept { return (At(x, y) & kEdgeRight) != 0; }
    bool Below(int32_t x, int32_t y) const noexcept { return (At(x, y) & kEdgeBelow) != 0; }
    bool Diag(int32_t x, int32_t y) const noexcept { return (At(x, y) & kEdgeDiag) != 0; }
    bool Anti(int32_t x, int32_t y) const noexcept { return (At(x, y) & kEdgeAnti) != 0; }
};

// Rows and columns of zero bytes around the image.
constexpr int32_t kEdgeMapBorder = 4;

// (width + 8) rounded up to a multiple of 4.
int32_t EdgeFlagMapStride(int32_t width) noexcept;
// Rows of a block: height + 8.
int32_t EdgeFlagMapRows(int32_t height) noexcept;
// Bytes of a block without row padding: stride × (height + 8).
std::size_t EdgeFlagMapBytes(int32_t width, int32_t height) noexcept;
// Lays the map over EdgeFlagMapRows(height) rows of `rowbytes` bytes each (at least
// EdgeFlagMapStride(width)), pixel (0, 0) four rows down and four bytes in, without touching the bytes.
EdgeFlagMap LayOutEdgeFlagMap(uint8_t* block, std::ptrdiff_t rowbytes, int32_t width,
                              int32_t height) noexcept;
// Zeroes the first EdgeFlagMapStride(width) bytes of map row y, its borders included.
void ClearEdgeFlagMapRow(const EdgeFlagMap& map, int32_t y) noexcept;
// Zeroes the border rows above and below the image.
void ClearEdgeFlagMapBorderRows(const EdgeFlagMap& map) noexcept;
// Lays the map out and zeroes the first EdgeFlagMapStride(width) bytes of every row. A host world's rows
// may be padded; the padding is left alone.
EdgeFlagMap ClearEdgeFlagMap(uint8_t* block, std::ptrdiff_t rowbytes, int32_t width, int32_t height) noexcept;
