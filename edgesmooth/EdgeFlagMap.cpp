#include "edgesmooth/EdgeFlagMap.h"

#include <cstring>

int32_t EdgeFlagMapStride(int32_t width) noexcept {
    return (width + 5 + 3) & ~3;
}

std::size_t EdgeFlagMapBytes(int32_t width, int32_t height) noexcept {
    return static_cast<std::size_t>(EdgeFlagMapStride(width)) * static_cast<std::size_t>(height + 2);
}

EdgeFlagMap ClearEdgeFlagMap(uint8_t* block, int32_t width, int32_t height) noexcept {
    std::memset(block, 0, EdgeFlagMapBytes(width, height));
    EdgeFlagMap map;
    map.stride = EdgeFlagMapStride(width);
    map.origin = block + map.stride + 4;
    map.width = width;
    map.height = height;
    return map;
}
