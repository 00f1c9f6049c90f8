#include "edgesmooth/EdgeFlagMap.h"

#include <cstring>

int32_t EdgeFlagMapStride(int32_t width) noexcept {
    return (width + 5 + 3) & ~3;
}

std::size_t EdgeFlagMapBytes(int32_t width, int32_t height) noexcept {
    return static_cast<std::size_t>(EdgeFlagMapStride(width)) * static_cast<std::size_t>(height + 2);
}

EdgeFlagMap ClearEdgeFlagMap(uint8_t* block, std::ptrdiff_t rowbytes, int32_t width,
                             int32_t height) noexcept {
    const std::size_t used = static_cast<std::size_t>(EdgeFlagMapStride(width));
    for (int32_t r = 0; r < height + 2; ++r)
        std::memset(block + r * rowbytes, 0, used);
    EdgeFlagMap map;
    map.stride = rowbytes;
    map.origin = block + rowbytes + 4;
    map.width = width;
    map.height = height;
    return map;
}
