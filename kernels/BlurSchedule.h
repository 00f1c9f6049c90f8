#pragma once
// The parts every schedule of the blur passes shares: aligned line buffers from the framework allocator,
// the kernels of a pass read from its context, and the choice of line function for a line length.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "kernels/BlurLine.h"
#include "kernels/PassContext.h"
#include "kernels/PixelTraits.h"
#include "share/AEUtil/Allocator.h"

namespace blur_schedule {

constexpr int32_t kStripColumns = 16; // gathered together: two cache lines of 16-bit pixels, four of float

inline std::size_t RoundUp64(int32_t n) {
    return (static_cast<std::size_t>(n) + 63) / 64 * 64;
}

// A block from the framework allocator, aligned for the fast line functions.
struct AlignedBuffer {
    AEUtil::UniqueArray<unsigned char> block;
    unsigned char* data = nullptr;

    explicit AlignedBuffer(std::size_t bytes) {
        if (bytes == 0)
            return;
        block = AEUtil::MakeArray<unsigned char>(bytes + 64);
        const auto at = reinterpret_cast<std::uintptr_t>(block.get());
        data = block.get() + ((64 - at % 64) % 64);
    }
};

// Columns filtered in place together: a strip row is a page of pixels, so that each row of the worlds
// costs one page visit per strip and the running sums still sit in the first-level cache.
template <class Pixel>
constexpr int32_t kDirectColumns = 4096 / static_cast<int32_t>(sizeof(Pixel)) < kLongestBlurStrip
                                       ? 4096 / static_cast<int32_t>(sizeof(Pixel))
                                       : kLongestBlurStrip;

template <BlurKernel K>
bool KernelOf(const PassContext& ctx, BlurLineKernel& k) {
    for (int c = 0; c < 4; ++c) {
        if constexpr (K == BlurKernel::Gauss) {
            if (!ctx.gauss[c].weights || ctx.gauss[c].count < 1)
                return false;
            k.gauss[c] = &ctx.gauss[c];
        } else {
            k.boxRadius[c] = ctx.boxRadius[c];
        }
    }
    k.boxCenterWeight = ctx.boxCenterWeight;
    return true;
}

template <class Pixel, BlurKernel K, BlurVariant V>
struct LinePlan {
    BlurLineKernel kernel;
    BlurLineFunction<Pixel> filter = nullptr;
    std::size_t scratchBytes = 0;

    bool Prepare(const PassContext& ctx, int32_t length) {
        if (!KernelOf<K>(ctx, kernel))
            return false;
        filter = SelectBlurLine<Pixel>(K, V, BestBlurIsa(), kernel, length);
        // The plain form needs no scratch.
        if (filter != SelectBlurLine<Pixel>(K, V, BlurIsa::Plain, kernel, length))
            scratchBytes = BlurLineScratchBytes(length);
        return true;
    }
};

// The value a pass leaves in a destination pixel it does not filter: the fallback world's where the pixel
// is selected, the unselected world's (the fallback's when null) where it is not.
template <class Pixel>
void FillUnfiltered(Pixel* destination, const PassContext& ctx, int32_t y, int32_t x0, int32_t n) {
    const Pixel* fallback = WorldRow<const Pixel>(*ctx.fallback, ctx.rect.top + y) + ctx.rect.left + x0;
    if (!ctx.unselectedFallback || ctx.unselectedFallback == ctx.fallback) {
        std::memcpy(destination, fallback, static_cast<std::size_t>(n) * sizeof(Pixel));
        return;
    }
    const Pixel* other =
        WorldRow<const Pixel>(*ctx.unselectedFallback, ctx.rect.top + y) + ctx.rect.left + x0;
    const uint8_t* selection = ctx.plane.bytes + static_cast<std::ptrdiff_t>(y) * ctx.plane.stride + x0;
    for (int32_t x = 0; x < n; ++x)
        destination[x] = selection[x] ? fallback[x] : other[x];
}

} // namespace blur_schedule
