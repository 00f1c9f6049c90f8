#include "kernels/SelectionPlane.h"

#include <cstring>
#include <limits>
#include <new>
#include <utility>

namespace {

constexpr int64_t RoundUpTo4(int64_t n) noexcept {
    return (n + 3) & ~int64_t{3};
}

} // namespace

int64_t SelectionPlaneBytes(int32_t width, int32_t height) noexcept {
    if (width <= 0 || height <= 0)
        return 0;
    return RoundUpTo4(width) * (static_cast<int64_t>(height) + 1) + RoundUpTo4(height);
}

SelectionPlane LayOutSelectionPlane(uint8_t* bytes, int32_t width, int32_t height) noexcept {
    SelectionPlane plane;
    if (!bytes || width <= 0 || height <= 0)
        return plane;
    const int64_t stride = RoundUpTo4(width);
    plane.bytes = bytes;
    plane.width = width;
    plane.height = height;
    plane.stride = static_cast<int32_t>(stride);
    plane.rowFlags = bytes + stride * height;
    plane.columnFlags = plane.rowFlags + RoundUpTo4(height);
    return plane;
}

SelectionPlane MakeUnfilledSelectionPlane(int32_t width, int32_t height) {
    const int64_t size = SelectionPlaneBytes(width, height);
    if (size == 0)
        return SelectionPlane{};
    if (size > std::numeric_limits<uint32_t>::max())
        throw std::bad_array_new_length();
    auto storage = AEUtil::SharedArray<uint8_t>::Allocate(static_cast<std::size_t>(size));
    SelectionPlane plane = LayOutSelectionPlane(storage.get(), width, height);
    std::memset(plane.rowFlags, 0, static_cast<std::size_t>(size - int64_t{plane.stride} * height));
    plane.storage = std::move(storage);
    return plane;
}

SelectionPlane MakeSelectionPlane(int32_t width, int32_t height) {
    SelectionPlane plane = MakeUnfilledSelectionPlane(width, height);
    // Cleared although every user fills or builds the plane: no byte of the allocation can reach a pass
    // unwritten.
    if (plane.bytes)
        std::memset(plane.bytes, 0, static_cast<std::size_t>(int64_t{plane.stride} * plane.height));
    return plane;
}

SelectionPlane MakeUniformSelectionPlane(int32_t width, int32_t height, uint8_t value) {
    if (width <= 0 || height <= 0)
        return SelectionPlane{};
    const int64_t stride = RoundUpTo4(width);
    const int64_t size = stride * 2 + RoundUpTo4(height);
    if (size > std::numeric_limits<uint32_t>::max())
        throw std::bad_array_new_length();
    auto storage = AEUtil::SharedArray<uint8_t>::Allocate(static_cast<std::size_t>(size));
    std::memset(storage.get(), 0, static_cast<std::size_t>(size));
    SelectionPlane plane;
    plane.bytes = storage.get();
    plane.width = width;
    plane.height = height;
    plane.stride = 0;
    plane.rowFlags = plane.bytes + stride;
    plane.columnFlags = plane.rowFlags + RoundUpTo4(height);
    plane.storage = std::move(storage);
    FillSelectionPlane(plane, value);
    return plane;
}

void FillSelectionPlane(SelectionPlane& plane, uint8_t value) {
    if (!plane.bytes)
        return;
    const int32_t rows = plane.stride == 0 ? 1 : plane.height; // a uniform plane has one row
    for (int32_t y = 0; y < rows; ++y)
        std::memset(plane.bytes + static_cast<std::ptrdiff_t>(y) * plane.stride, value,
                    static_cast<std::size_t>(plane.width));
    std::memset(plane.rowFlags, value ? 1 : 0, static_cast<std::size_t>(plane.height));
    std::memset(plane.columnFlags, value ? 1 : 0, static_cast<std::size_t>(plane.width));
}

void InvertSelectionPlane(SelectionPlane& plane, uint8_t value) {
    if (!plane.bytes)
        return;
    std::memset(plane.rowFlags, 0, static_cast<std::size_t>(plane.height));
    std::memset(plane.columnFlags, 0, static_cast<std::size_t>(plane.width));
    // A uniform plane's one row stands for every row: inverted once, its flags raised for every row.
    const int32_t rows = plane.stride == 0 ? 1 : plane.height;
    for (int32_t y = 0; y < rows; ++y) {
        uint8_t* row = plane.bytes + static_cast<std::ptrdiff_t>(y) * plane.stride;
        for (int32_t x = 0; x < plane.width; ++x) {
            if (row[x] == 0) {
                row[x] = value;
                plane.rowFlags[y] = 1;
                plane.columnFlags[x] = 1;
            } else {
                row[x] = 0;
            }
        }
    }
    if (plane.stride == 0)
        std::memset(plane.rowFlags, plane.rowFlags[0], static_cast<std::size_t>(plane.height));
}
