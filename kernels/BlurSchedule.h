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

// The columns of a gathered strip, each its source pixels, destination pixels and selection bytes. Users
// copy it into a local: a selection byte stored through a member's address could change the members,
// which would then be read again for every sample.
template <class Pixel>
struct GatheredColumns {
    Pixel* src[kStripColumns] = {};
    Pixel* dst[kStripColumns] = {};
    uint8_t* sel[kStripColumns] = {};

    // Column c at data + c × columnBytes: `rows` source pixels, `rows` destination pixels, the bytes.
    void Lay(unsigned char* data, std::size_t columnBytes, std::size_t rows) {
        for (int32_t c = 0; c < kStripColumns; ++c) {
            src[c] = reinterpret_cast<Pixel*>(data + c * columnBytes);
            dst[c] = src[c] + rows;
            sel[c] = reinterpret_cast<uint8_t*>(dst[c] + rows);
        }
    }
};

// A hint to fetch the strip of kStripColumns pixels after the one at `p` (beyond a row's end, the hint is
// ignored): rows of gathered columns lie far apart and are seldom still cached.
template <class Pixel>
void FetchNextStrip(const Pixel* p) {
    const std::uintptr_t next = reinterpret_cast<std::uintptr_t>(p) + kStripColumns * sizeof(Pixel);
    for (std::size_t at = 0; at < kStripColumns * sizeof(Pixel); at += 64)
        __builtin_prefetch(reinterpret_cast<const void*>(next + at));
}

// The value a pass leaves in a destination pixel it does not filter: the fallback world's where the pixel
// is selected, the unselected world's (the fallback's when null) where it is not.
template <class Pixel>
void FillUnfiltered(Pixel* destination, const PassContext& ctx, int32_t y, int32_t x0, int32_t n) {
    const Pixel* fallback = WorldRow<const Pixel>(*ctx.fallback, ctx.rect.top + y) + ctx.rect.left + x0;
    if (!ctx.unselectedFallback || ctx.unselectedFallback == ctx.fallback) {
        // A whole strip is a copy of known size, a few vector moves: a copy of any length becomes a
        // string move whose start-up costs more than a strip's copy.
        if (n == kStripColumns)
            std::memcpy(destination, fallback, kStripColumns * sizeof(Pixel));
        else
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
