#pragma once
// Fills the edge flag map from an image, one map row at a time, so that bands of rows can be detected by
// separate calls. Row y reads image rows y and y + 1 and writes map row y alone, borders included.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

#include "edgesmooth/EdgeDepth.h"
#include "edgesmooth/EdgeFlagMap.h"
#include "edgesmooth/EdgeImage.h"
#include "edgesmooth/EdgeTests.h"

namespace edgesmooth_detail {

// PixelsDiffer without branches, so that a row of tests runs as straight arithmetic: for integer channels
// the sum of differences is 0 exactly when the pixels are identical.
template <class Pixel>
inline uint8_t DifferBit(const Pixel& p, const Pixel& q, int32_t t) noexcept {
    const int32_t sum = ChannelDistance(p.alpha, q.alpha) + ChannelDistance(p.red, q.red) +
                        ChannelDistance(p.green, q.green) + ChannelDistance(p.blue, q.blue);
    return static_cast<uint8_t>((p.alpha != 0) & (q.alpha != 0) & (sum != 0) & (sum > t));
}
inline uint8_t DifferBit(const PF_PixelFloat& p, const PF_PixelFloat& q, float t) noexcept {
    return static_cast<uint8_t>(PixelsDiffer(p, q, t));
}

// The threshold in the type of the sums: a sum of integer channels lies between 0 and 4 × 65535, so any
// threshold below 0 acts as −1 and any above 2^31 − 1 as 2^31 − 1.
inline int32_t SumThreshold(int64_t t) noexcept {
    return static_cast<int32_t>(std::clamp<int64_t>(t, -1, std::numeric_limits<int32_t>::max()));
}
inline float SumThreshold(float t) noexcept {
    return t;
}

// The tests of pixels [0, n) of a row at `isa` (EdgeTests.h); returns n, 0 for the plain instruction set.
// Integer sums are never below 0, so a limit below 0 acts as 0 there.
inline int32_t FastEdgeTests(EdgeIsa isa, uint8_t* row, const PF_Pixel8* above, const PF_Pixel8* below,
                             int32_t count, int32_t limit) noexcept {
    limit = std::max(limit, 0);
    return isa == EdgeIsa::Avx2    ? Avx2EdgeTests8(row, above, below, count, limit)
           : isa == EdgeIsa::Sse41 ? Sse41EdgeTests8(row, above, below, count, limit)
                                   : 0;
}
inline int32_t FastEdgeTests(EdgeIsa isa, uint8_t* row, const PF_Pixel16* above, const PF_Pixel16* below,
                             int32_t count, int32_t limit) noexcept {
    limit = std::max(limit, 0);
    return isa == EdgeIsa::Avx2    ? Avx2EdgeTests16(row, above, below, count, limit)
           : isa == EdgeIsa::Sse41 ? Sse41EdgeTests16(row, above, below, count, limit)
                                   : 0;
}
inline int32_t FastEdgeTests(EdgeIsa isa, uint8_t* row, const PF_PixelFloat* above,
                             const PF_PixelFloat* below, int32_t count, float limit) noexcept {
    return isa == EdgeIsa::Avx2    ? Avx2EdgeTestsFloat(row, above, below, count, limit)
           : isa == EdgeIsa::Sse41 ? Sse41EdgeTestsFloat(row, above, below, count, limit)
                                   : 0;
}

// The grouped columns' rule on the groups of four map bytes in `bytes` (byte 0 the group's first pixel,
// little-endian): pixel k < 3 of a group keeps its diagonal bits only when one of pixels 0 … k + 1 has a
// right or below bit. All groups of the word at once, as a word.
inline uint64_t DropLoneDiagonals(uint64_t bytes) noexcept {
    constexpr uint64_t kEach = 0x0101010101010101ull;
    const uint64_t steps = bytes & (3 * kEach);
    // Byte k: the steps of pixels 0 … k of its group.
    uint64_t upTo = steps | ((steps << 8) & 0xFFFFFF00FFFFFF00ull);
    upTo |= (upTo << 16) & 0xFFFF0000FFFF0000ull;
    // Byte k < 3: the steps of pixels 0 … k + 1; byte 3: none.
    const uint64_t near = (upTo >> 8) & 0x00FFFFFF00FFFFFFull;
    const uint64_t nearAny = ((near | near >> 1) & kEach) * 0xFF;
    return bytes & (nearAny | 3 * kEach | 0xFF000000FF000000ull);
}

} // namespace edgesmooth_detail

// Map row y of the image's map: the four bits of every pixel but the last column, the below bit of the
// last column, and the right bits alone in the last row. In the columns below (width − 1) rounded down to
// a multiple of 4, pixels go in groups of four, and the diagonal bits of pixel k < 3 of a group stand only
// when one of the group's pixels 0 … k + 1 has a right or below bit. Which diagonal bits exist is visible
// in the result, so this rule is kept exactly. The tests run at `isa`, or the best the processor has if it
// lacks that one; every instruction set gives the same bytes.
template <class Depth>
void DetectEdgeRow(const EdgeFlagMap& map, const EdgeImage<const typename Depth::Pixel>& image,
                   typename Depth::Level threshold, int32_t y, EdgeIsa isa = BestEdgeIsa()) noexcept {
    using edgesmooth_detail::DifferBit;
    using Pixel = typename Depth::Pixel;
    const auto limit = edgesmooth_detail::SumThreshold(threshold);
    isa = std::min(isa, BestEdgeIsa());
    ClearEdgeFlagMapRow(map, y);
    const int32_t w = image.width;
    uint8_t* row = map.Row(y);
    const Pixel* above = image.Row(y);
    if (y + 1 >= image.height) {
        for (int32_t x = 0; x + 1 < w; ++x)
            row[x] = DifferBit(above[x], above[x + 1], limit) * kEdgeRight;
        return;
    }
    const Pixel* below = image.Row(y + 1);
    const auto tests = [&](int32_t x) {
        const Pixel p = above[x], q = above[x + 1], r = below[x], s = below[x + 1];
        return static_cast<uint8_t>(DifferBit(p, q, limit) * kEdgeRight |
                                    DifferBit(p, r, limit) * kEdgeBelow | DifferBit(p, s, limit) * kEdgeDiag |
                                    DifferBit(q, r, limit) * kEdgeAnti);
    };
    // Spans of 16 pixels whose pixels in both rows (and the next pixel's) are all identical have no edge.
    // Between them, every pixel gets all four tests: eight at a time in vector code where the processor
    // has it, the rest in one straight loop. Then the grouped columns drop their diagonal bits.
    constexpr int32_t kSpan = 16;
    const auto flatSpan = [&](int32_t x) {
        if (x + kSpan >= w)
            return false;
        for (int32_t k = 0; k <= kSpan; ++k)
            if (!PixelsIdentical(above[x + k], above[x]) || !PixelsIdentical(below[x + k], above[x]))
                return false;
        return true;
    };
    for (int32_t x = 0; x + 1 < w;) {
        if (flatSpan(x)) {
            std::memset(row + x, 0, kSpan);
            x += kSpan;
            continue;
        }
        int32_t end = x + kSpan;
        while (end + 1 < w && !flatSpan(end))
            end += kSpan;
        end = std::min(end, w - 1);
        x += edgesmooth_detail::FastEdgeTests(isa, row + x, above + x, below + x, end - x, limit);
        for (; x < end; ++x)
            row[x] = tests(x);
    }
    const int32_t grouped = (w - 1) / 4 * 4;
    int32_t x = 0;
    for (; x + 8 <= grouped; x += 8) {
        uint64_t two;
        std::memcpy(&two, row + x, 8);
        two = edgesmooth_detail::DropLoneDiagonals(two);
        std::memcpy(row + x, &two, 8);
    }
    if (x < grouped) {
        uint32_t one;
        std::memcpy(&one, row + x, 4);
        one = static_cast<uint32_t>(edgesmooth_detail::DropLoneDiagonals(one));
        std::memcpy(row + x, &one, 4);
    }
    if (w > 0)
        row[w - 1] = DifferBit(above[w - 1], below[w - 1], limit) * kEdgeBelow;
}

// Every row of the map, and its border rows cleared. The map must be laid out for the image's size.
template <class Depth>
void DetectEdges(const EdgeFlagMap& map, const EdgeImage<const typename Depth::Pixel>& image,
                 typename Depth::Level threshold, EdgeIsa isa = BestEdgeIsa()) noexcept {
    ClearEdgeFlagMapBorderRows(map);
    for (int32_t y = 0; y < image.height; ++y)
        DetectEdgeRow<Depth>(map, image, threshold, y, isa);
}
