#include "render/SelectionPlane.h"

#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "kernels/PassContext.h"
#include "kernels/PixelTraits.h"

namespace {

constexpr int64_t RoundUpTo4(int64_t n) noexcept {
    return (n + 3) & ~int64_t{3};
}

std::size_t PixelSizeOf(PF_PixelFormat format) noexcept {
    switch (format) {
    case PF_PixelFormat_ARGB32:
        return sizeof(PF_Pixel8);
    case PF_PixelFormat_ARGB64:
        return sizeof(PF_Pixel16);
    case PF_PixelFormat_ARGB128:
        return sizeof(PF_PixelFloat);
    default:
        return 0;
    }
}

PassFunction KeyPassOf(PF_PixelFormat format) noexcept {
    switch (format) {
    case PF_PixelFormat_ARGB32:
        return SelectKeyColors8;
    case PF_PixelFormat_ARGB64:
        return SelectKeyColors16;
    case PF_PixelFormat_ARGB128:
        return SelectKeyColorsFloat;
    default:
        return nullptr;
    }
}

} // namespace

int32_t KeyTolerance(double range) noexcept {
    const double t = range * kKeyDistanceLimit;
    if (!(t == t))
        return 0;
    if (t >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (t <= static_cast<double>(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(t);
}

void AppendKeyColor(KeyList& keys, const PF_Fixed hls[3], double range) {
    keys.push_back(KeyColorEntry{hls[0], hls[1], hls[2], KeyTolerance(range)});
}

void InitSelectionPlane(SelectionPlane& plane, int32_t width, int32_t height) {
    SelectionPlane fresh;
    if (width > 0 && height > 0) {
        const int64_t stride = RoundUpTo4(width);
        const int64_t h4 = RoundUpTo4(height);
        const int64_t size = stride * (static_cast<int64_t>(height) + 1) + h4;
        if (size > std::numeric_limits<uint32_t>::max())
            throw std::bad_array_new_length();
        fresh.storage = AEUtil::SharedArray<uint8_t>::Allocate(static_cast<std::size_t>(size));
        fresh.bytes = fresh.storage.get();
        // Cleared although every user fills or builds the plane: no byte of the allocation can reach a
        // pass unwritten.
        std::memset(fresh.bytes, 0, static_cast<std::size_t>(size));
        fresh.size = static_cast<uint32_t>(size);
        fresh.width = width;
        fresh.height = height;
        fresh.stride = static_cast<int32_t>(stride);
        fresh.passStride = fresh.stride;
        fresh.boundsRight = width;
        fresh.boundsBottom = height;
        fresh.rowFlags = fresh.bytes + stride * height;
        fresh.columnFlags = fresh.rowFlags + h4;
    }
    fresh.fresh = 1;
    fresh.anythingSelected = 1;
    plane = std::move(fresh);
}

void FillSelectionPlane(SelectionPlane& plane, uint8_t value) {
    if (plane.bytes) {
        for (int32_t y = 0; y < plane.height; ++y)
            std::memset(plane.bytes + static_cast<std::ptrdiff_t>(y) * plane.stride, value,
                        static_cast<std::size_t>(plane.width));
        std::memset(plane.rowFlags, value ? 1 : 0, static_cast<std::size_t>(plane.height));
        std::memset(plane.columnFlags, value ? 1 : 0, static_cast<std::size_t>(plane.width));
    }
    plane.boundsLeft = 0;
    plane.boundsTop = 0;
    plane.boundsRight = value ? plane.width : 0;
    plane.boundsBottom = value ? plane.height : 0;
    plane.fresh = 0;
    plane.anythingSelected = 0;
}

void InvertSelectionPlane(SelectionPlane& plane, uint8_t value) {
    if (plane.bytes) {
        std::memset(plane.rowFlags, 0, static_cast<std::size_t>(plane.height));
        std::memset(plane.columnFlags, 0, static_cast<std::size_t>(plane.width));
        for (int32_t y = 0; y < plane.height; ++y) {
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
    }
    plane.fresh = 0;
    plane.anythingSelected = 1;
}

PF_Err BuildSelectionPlane(SelectionPlane& plane, const PF_InData* in_data, A_long iterations,
                           PF_EffectWorld* source, PF_PixelFormat format, const PF_Rect& area,
                           const KeyList& keys, uint8_t value) {
    const PassFunction pass = KeyPassOf(format);
    if (!pass)
        return PF_Err_UNRECOGNIZED_PARAM_TYPE;
    const int64_t width = static_cast<int64_t>(area.right) - area.left;
    const int64_t height = static_cast<int64_t>(area.bottom) - area.top;
    // Checked before the plane is sized by it, so a damaged area cannot ask for a huge allocation.
    const bool empty = width <= 0 || height <= 0;
    if (!empty && !WorldCoversRect(source, area, PixelSizeOf(format)))
        return PF_Err_INTERNAL_STRUCT_DAMAGED;

    KeySelectContext context;
    context.source = source;
    context.rect = area;
    context.in_data = in_data;
    context.keys = keys;
    context.selectedValue = value;
    InitSelectionPlane(context.plane, empty ? 0 : static_cast<int32_t>(width),
                       empty ? 0 : static_cast<int32_t>(height));
    FillSelectionPlane(context.plane, 0);
    const PF_Err err = RunPassOn(in_data, iterations, &context, pass);
    plane = context.plane;
    return err;
}
