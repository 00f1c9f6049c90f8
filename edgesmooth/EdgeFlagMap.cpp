#include "edgesmooth/EdgeFlagMap.h"

#include <cstring>

int32_t EdgeFlagMapStride(int32_t width) noexcept {
    return (width + 2 * kEdgeMapBorder + 3) & ~3;
}

int32_t EdgeFlagMapRows(int32_t height) noexcept {
    return height + 2 * kEdgeMapBorder;
}

std::size_t EdgeFlagMapBytes(int32_t width, int32_t height) noexcept {
    return static_cast<std::size_t>(EdgeFlagMapStride(width)) *
           static_cast<std::size_t>(EdgeFlagMapRows(height));
}

EdgeFlagMap LayOutEdgeFlagMap(uint8_t* block, std::ptrdiff_t rowbytes, int32_t width,
                              int32_t height) noexcept {
    EdgeFlagMap map;
    map.stride = rowbytes;
    map.origin = block + kEdgeMapBorder * rowbytes + kEdgeMapBorder;
    map.width = width;
    map.height = height;
    return map;
}

void ClearEdgeFlagMapRow(const EdgeFlagMap& map, int32_t y) noexcept {
    std::memset(map.Row(y) - kEdgeMapBorder, 0, static_cast<std::size_t>(EdgeFlagMapStride(map.width)));
}

void ClearEdgeFlagMapBorderRows(const EdgeFlagMap& map) noexcept {
    for (int32_t r = 1; r <= kEdgeMapBorder; ++r) {
        ClearEdgeFlagMapRow(map, -r);
        ClearEdgeFlagMapRow(map, map.height - 1 + r);
    }
}

EdgeFlagMap ClearEdgeFlagMap(uint8_t* block, std::ptrdiff_t rowbytes, int32_t width,
                             int32_t height) noexcept {
    const EdgeFlagMap map = LayOutEdgeFlagMap(block, rowbytes, width, height);
    for (int32_t y = -kEdgeMapBorder; y < height + kEdgeMapBorder; ++y)
        ClearEdgeFlagMapRow(map, y);
    return map;
}
