// The processor-specific line filters give exactly the bytes of the plain ones, on random lines,
// selections, transparency, radii and per-channel kernels.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>

#include "blur_support.h"

namespace {

using namespace blur_test;

class FastLines : public BlurEnv {};

// Lengths from 1 to past the flat-part threshold; radii from 1 to beyond the line.
int32_t RandomLength(std::mt19937& rng) {
    const uint32_t kind = rng() % 4;
    return kind == 0   ? 1 + static_cast<int32_t>(rng() % 8)
           : kind == 3 ? 200 + static_cast<int32_t>(rng() % 400)
                       : 1 + static_cast<int32_t>(rng() % 120);
}

int32_t RandomRadius(std::mt19937& rng, int32_t length) {
    const uint32_t kind = rng() % 4;
    if (kind == 0)
        return 1 + static_cast<int32_t>(rng() % 3);
    if (kind == 1)
        return 100 + static_cast<int32_t>(rng() % 60); // the table's tail turns into the flat part
    return 1 + static_cast<int32_t>(rng() % static_cast<uint32_t>(length + 4));
}

// With `whole`, every line is opaque and wholly selected (the 16-bit Gaussian's neighbouring-tap sums).
template <class Pixel>
void CompareOnRandomLines(BlurKernel kernel, BlurVariant variant, uint32_t seed, bool whole = false) {
    std::mt19937 rng(seed);
    for (int trial = 0; trial < 150; ++trial) {
        const int32_t length = RandomLength(rng);
        std::vector<Pixel> source(static_cast<std::size_t>(length));
        // A third of the lines are opaque throughout, which the fast forms treat apart.
        const bool opaque = whole || rng() % 3 == 0;
        for (auto& p : source) {
            p = RandomPixel<Pixel>(rng);
            if (opaque && p.alpha == 0)
                p.alpha = 1;
        }
        // Float lines sometimes hold a NaN or an infinity, which the fast forms leave to the plain one.
        if constexpr (std::is_same_v<Pixel, PF_PixelFloat>)
            if (trial % 5 == 4)
                for (uint32_t n = 1 + rng() % 3; n > 0; --n) {
                    const float special[] = {std::numeric_limits<float>::quiet_NaN(),
                                             std::numeric_limits<float>::infinity(),
                                             -std::numeric_limits<float>::infinity()};
                    float* channel = &source[rng() % source.size()].alpha + rng() % 4;
                    *channel = special[rng() % 3];
                }
        // Half the opaque lines are wholly selected too, which the fast forms treat apart again.
        std::vector<uint8_t> selection = RandomSelection(rng, length);
        if (opaque && (whole || rng() % 2 == 0))
            std::fill(selection.begin(), selection.end(), static_cast<uint8_t>(1 + rng() % 255));
        std::vector<Pixel> initial(source.size());
        for (auto& p : initial)
            p = RandomPixel<Pixel>(rng);

        // Equal kernels for all channels, or a separate one for alpha, or four different ones.
        int32_t radius[4];
        radius[0] = RandomRadius(rng, length);
        const uint32_t spread = rng() % 3;
        for (int c = 1; c < 4; ++c)
            radius[c] = spread == 0            ? radius[0]
                        : spread == 1 && c > 1 ? radius[1]
                                               : RandomRadius(rng, length);
        // Equal radii share one table, so that all four lanes are filtered together.
        GaussTable tables[4];
        for (int c = 0; c < 4; ++c) {
            const double d = radius[c] - (rng() % 10) * 0.1;
            tables[c] = spread == 0 && c > 0 ? tables[0]
                                             : BuildGaussTable(radius[c], rng() % 2 ? d * d / 8.0 : d * d);
        }
        const BlurLineKernel kernels = kernel == BlurKernel::Gauss
                                           ? GaussKernel(tables[0], tables[1], tables[2], tables[3])
                                           : BoxKernel(radius[0], radius[1], radius[2], radius[3]);

        const std::vector<Pixel> plain =
            FilterLine(kernel, variant, BlurIsa::Plain, kernels, source, selection, initial);
        for (BlurIsa isa : AvailableIsas()) {
            if (isa == BlurIsa::Plain)
                continue;
            const std::vector<Pixel> fast =
                FilterLine(kernel, variant, isa, kernels, source, selection, initial);
            ASSERT_TRUE(SameBytes(plain, fast))
                << IsaName(isa) << " trial " << trial << " length " << length << " radii " << radius[0] << ' '
                << radius[1] << ' ' << radius[2] << ' ' << radius[3];
        }
    }
}

TEST_F(FastLines, GaussSpanningMatchesPlain) {
    CompareOnRandomLines<PF_Pixel16>(BlurKernel::Gauss, BlurVariant::Spanning, 1);
    CompareOnRandomLines<PF_PixelFloat>(BlurKernel::Gauss, BlurVariant::Spanning, 2);
}

TEST_F(FastLines, GaussConfinedMatchesPlain) {
    CompareOnRandomLines<PF_Pixel16>(BlurKernel::Gauss, BlurVariant::Confined, 3);
    CompareOnRandomLines<PF_PixelFloat>(BlurKernel::Gauss, BlurVariant::Confined, 4);
}

TEST_F(FastLines, WholeOpaqueGaussLinesMatchPlain) {
    CompareOnRandomLines<PF_Pixel16>(BlurKernel::Gauss, BlurVariant::Spanning, 9, true);
    CompareOnRandomLines<PF_Pixel16>(BlurKernel::Gauss, BlurVariant::Confined, 10, true);
}

TEST_F(FastLines, BoxSpanningMatchesPlain) {
    CompareOnRandomLines<PF_Pixel16>(BlurKernel::Box, BlurVariant::Spanning, 5);
    CompareOnRandomLines<PF_PixelFloat>(BlurKernel::Box, BlurVariant::Spanning, 6);
}

TEST_F(FastLines, BoxConfinedMatchesPlain) {
    CompareOnRandomLines<PF_Pixel16>(BlurKernel::Box, BlurVariant::Confined, 7);
    CompareOnRandomLines<PF_PixelFloat>(BlurKernel::Box, BlurVariant::Confined, 8);
}

// The comparisons above compare something: each instruction set has its own form, except where only
// the plain form is exact (a centre weight) or its 32-bit sums could overflow (very long lines).
TEST_F(FastLines, FastFormsAreChosenWhereExact) {
    const auto box = [](BlurIsa isa, uint32_t weight, int32_t length) {
        return SelectBlurLine<PF_Pixel16>(BlurKernel::Box, BlurVariant::Spanning, isa,
                                          BoxKernel(2, 2, 2, 2, weight), length);
    };
    for (BlurIsa isa : AvailableIsas()) {
        if (isa == BlurIsa::Plain)
            continue;
        EXPECT_NE(box(isa, 0, 10), box(BlurIsa::Plain, 0, 10)) << IsaName(isa);
        EXPECT_EQ(box(isa, 3, 10), box(BlurIsa::Plain, 3, 10)) << IsaName(isa);
        EXPECT_EQ(box(isa, 0, 40000), box(BlurIsa::Plain, 0, 40000)) << IsaName(isa);
    }
}

} // namespace

namespace {

// Strips of opaque, fully selected columns, filtered a row at a time, against the plain line filter
// on each column; a transparent sample part-way down makes the strip give up with the rows before it done.
template <class Pixel>
// With `tablesInside`, radii whose Gaussian tables have no flat part and fit many times in the column,
// which the strips take a block of columns at a time from rows laid side by side.
void CompareStrips(BlurKernel kernel, BlurVariant variant, uint32_t seed, bool tablesInside = false) {
    std::mt19937 rng(seed);
    for (int trial = 0; trial < 24; ++trial) {
        // The last trials take strips as wide as a strip function allows.
        const int32_t pairs = trial < 20 ? 32 : kLongestBlurStrip / 2;
        const int32_t columns = 2 * (1 + static_cast<int32_t>(rng() % pairs));
        const int32_t rows = 1 + static_cast<int32_t>(rng() % 300);
        std::vector<Pixel> source(static_cast<std::size_t>(columns) * rows), initial(source.size());
        for (auto& p : source) {
            p = RandomPixel<Pixel>(rng);
            if (p.alpha == 0)
                p.alpha = 1;
        }
        for (auto& p : initial)
            p = RandomPixel<Pixel>(rng);
        const bool spoil = trial % 4 == 3;
        if (spoil) {
            Pixel& p = source[(rng() % rows) * columns + rng() % columns];
            // Transparent, or at float depth a NaN or an infinity: the plain form keeps those apart.
            if constexpr (std::is_same_v<Pixel, PF_PixelFloat>)
                p.green = trial % 8 == 3 ? std::numeric_limits<float>::quiet_NaN()
                                         : -std::numeric_limits<float>::infinity();
            else
                p.alpha = 0;
        }
        // Some strips store only a band of their rows, as the fused passes ask.
        const bool banded = trial % 3 == 1;
        const int32_t storeFirst = banded ? static_cast<int32_t>(rng() % static_cast<uint32_t>(rows)) : 0;
        const int32_t storeEnd =
            banded ? storeFirst + 1 + static_cast<int32_t>(rng() % static_cast<uint32_t>(rows - storeFirst))
                   : rows;
        const std::vector<uint8_t> selection(source.size(), 255);
        int32_t radius[4];
        for (int c = 0; c < 4; ++c)
            radius[c] = c > 0 && trial % 2 ? radius[0]
                        : tablesInside     ? 2 + static_cast<int32_t>(rng() % 64)
                                           : RandomRadius(rng, rows);
        GaussTable tables[4];
        for (int c = 0; c < 4; ++c)
            tables[c] = BuildGaussTable(radius[c], radius[c] * radius[c] / (rng() % 2 ? 8.0 : 1.0));
        const BlurLineKernel kernels = kernel == BlurKernel::Gauss
                                           ? GaussKernel(tables[0], tables[1], tables[2], tables[3])
                                           : BoxKernel(radius[0], radius[1], radius[2], radius[3]);
        // Expected: each column on its own.
        std::vector<Pixel> expected = initial;
        for (int32_t x = 0; x < columns; ++x) {
            std::vector<Pixel> src(rows), dst(rows);
            for (int32_t y = 0; y < rows; ++y) {
                src[y] = source[static_cast<std::size_t>(y) * columns + x];
                dst[y] = initial[static_cast<std::size_t>(y) * columns + x];
            }
            dst = FilterLine(kernel, variant, BlurIsa::Plain, kernels, src, std::vector<uint8_t>(rows, 255),
                             dst);
            for (int32_t y = storeFirst; y < storeEnd; ++y)
                expected[static_cast<std::size_t>(y) * columns + x] = dst[y];
        }
        for (BlurIsa isa : AvailableIsas()) {
            const BlurStripFunction<Pixel> f = SelectBlurStrip<Pixel>(kernel, variant, isa, kernels, rows);
            if (isa == BlurIsa::Plain) {
                EXPECT_EQ(f, nullptr);
                continue;
            }
            ASSERT_NE(f, nullptr);
            std::vector<Pixel> out = initial;
            BlurStrip<Pixel> s;
            s.source = reinterpret_cast<const unsigned char*>(source.data());
            s.sourceStride = columns * static_cast<std::ptrdiff_t>(sizeof(Pixel));
            s.selection = selection.data();
            s.selectionStride = columns;
            s.destinationStride = s.sourceStride;
            s.destination = reinterpret_cast<unsigned char*>(out.data()) + storeFirst * s.destinationStride;
            s.columns = columns;
            s.rows = rows;
            if (banded) {
                s.storeFirst = storeFirst;
                s.storeEnd = storeEnd;
            }
            // A spoiled sample beyond the reach of the stored rows changes nothing and may go unseen.
            const bool whole = f(s, kernels);
            EXPECT_TRUE(whole || spoil) << IsaName(isa) << " trial " << trial;
            if (whole) {
                ASSERT_EQ(std::memcmp(out.data(), expected.data(), out.size() * sizeof(Pixel)), 0)
                    << IsaName(isa) << " trial " << trial;
                continue;
            }
            // Given up part-way: whatever was written is what the line filter writes there.
            for (std::size_t i = 0; i < out.size(); ++i)
                for (int c = 0; c < 4; ++c) {
                    const auto* o =
                        reinterpret_cast<const unsigned char*>(&out[i]) + c * sizeof(out[i].alpha);
                    const auto* e =
                        reinterpret_cast<const unsigned char*>(&expected[i]) + c * sizeof(out[i].alpha);
                    const auto* b =
                        reinterpret_cast<const unsigned char*>(&initial[i]) + c * sizeof(out[i].alpha);
                    ASSERT_TRUE(std::memcmp(o, e, sizeof(out[i].alpha)) == 0 ||
                                std::memcmp(o, b, sizeof(out[i].alpha)) == 0)
                        << IsaName(isa) << " trial " << trial << " sample " << i;
                }
        }
    }
}

// Box strips filtered band by band as the fused passes filter them: each band's rows with the rows its
// windows reach, the sums kept from the band above, give the whole columns' bytes; a band whose strip
// gives up is filtered afresh, and the band below starts over.
template <class Pixel>
void CompareKeptSums(BlurVariant variant, uint32_t seed) {
    std::mt19937 rng(seed);
    for (int trial = 0; trial < 30; ++trial) {
        const int32_t columns = 2 * (1 + static_cast<int32_t>(rng() % 40));
        const int32_t rows = 1 + static_cast<int32_t>(rng() % 300);
        std::vector<Pixel> source(static_cast<std::size_t>(columns) * rows);
        for (auto& p : source) {
            p = RandomPixel<Pixel>(rng);
            if (p.alpha == 0)
                p.alpha = 1;
        }
        // A transparent sample makes the bands that reach it start over; integer sums do not depend on
        // where a walk starts, float ones (which the fused passes do not take) do.
        if (std::is_same_v<Pixel, PF_Pixel16> && trial % 3 == 2)
            source[(rng() % rows) * columns + rng() % columns].alpha = 0;
        int32_t radius[4];
        for (int c = 0; c < 4; ++c)
            radius[c] = c > 0 && trial % 2 ? radius[0] : 1 + static_cast<int32_t>(rng() % 40);
        const BlurLineKernel kernels = BoxKernel(radius[0], radius[1], radius[2], radius[3]);
        int32_t reach = 0;
        for (int32_t r : radius)
            reach = std::max(reach, r - 1);
        std::vector<Pixel> expected(source.size());
        for (int32_t x = 0; x < columns; ++x) {
            std::vector<Pixel> src(rows);
            std::vector<uint8_t> sel(rows, 255);
            for (int32_t y = 0; y < rows; ++y)
                src[y] = source[static_cast<std::size_t>(y) * columns + x];
            const std::vector<Pixel> dst =
                FilterLine(BlurKernel::Box, variant, BlurIsa::Plain, kernels, src, sel, src);
            for (int32_t y = 0; y < rows; ++y)
                expected[static_cast<std::size_t>(y) * columns + x] = dst[y];
        }
        const std::vector<uint8_t> selection(source.size(), 255);
        for (BlurIsa isa : AvailableIsas()) {
            const BlurStripFunction<Pixel> f =
                SelectBlurStrip<Pixel>(BlurKernel::Box, variant, isa, kernels, rows);
            if (isa == BlurIsa::Plain)
                continue;
            ASSERT_NE(f, nullptr);
            std::vector<Pixel> out(source.size());
            alignas(64) static unsigned char sums[kBlurStripSumBytes];
            bool resumable = false;
            for (int32_t y0 = 0; y0 < rows;) {
                const int32_t y1 = std::min(rows, y0 + 1 + static_cast<int32_t>(rng() % 60));
                const int32_t a = std::max(0, y0 - reach - 1), b = std::min(rows, y1 + reach);
                BlurStrip<Pixel> s;
                s.source = reinterpret_cast<const unsigned char*>(source.data() +
                                                                  static_cast<std::size_t>(a) * columns);
                s.sourceStride = columns * static_cast<std::ptrdiff_t>(sizeof(Pixel));
                s.selection = selection.data() + static_cast<std::size_t>(a) * columns;
                s.selectionStride = columns;
                s.destinationStride = s.sourceStride;
                s.destination =
                    reinterpret_cast<unsigned char*>(out.data() + static_cast<std::size_t>(y0) * columns);
                s.columns = columns;
                s.rows = b - a;
                s.storeFirst = y0 - a;
                s.storeEnd = y1 - a;
                s.sums = sums;
                s.resumed = resumable && y0 > a;
                resumable = f(s, kernels);
                if (!resumable) // the plain filter's answer for the band, as the fused passes give it
                    for (int32_t y = y0; y < y1; ++y)
                        for (int32_t x = 0; x < columns; ++x)
                            out[static_cast<std::size_t>(y) * columns + x] =
                                expected[static_cast<std::size_t>(y) * columns + x];
                y0 = y1;
            }
            ASSERT_TRUE(SameBytes(out, expected)) << IsaName(isa) << " trial " << trial;
        }
    }
}

TEST_F(FastLines, StripsKeepTheirSumsFromBandToBand) {
    uint32_t seed = 60;
    for (BlurVariant v : {BlurVariant::Spanning, BlurVariant::Confined}) {
        CompareKeptSums<PF_Pixel16>(v, seed++);
        CompareKeptSums<PF_PixelFloat>(v, seed++);
    }
}

// Box lengths that differ per channel share one walk over a selected, opaque line (and strip); a channel
// of length 1 is then its sample, as the plain sum leaves it: minus zero comes out as zero.
TEST_F(FastLines, PerChannelBoxLengthsShareOneWalk) {
    std::mt19937 rng(41);
    for (int trial = 0; trial < 120; ++trial) {
        const int32_t length = 1 + static_cast<int32_t>(rng() % 300);
        std::vector<PF_PixelFloat> source(static_cast<std::size_t>(length));
        std::vector<PF_Pixel16> source16(source.size());
        for (std::size_t i = 0; i < source.size(); ++i) {
            source[i] = RandomPixel<PF_PixelFloat>(rng);
            source16[i] = RandomPixel<PF_Pixel16>(rng);
            if (source[i].alpha == 0.0f)
                source[i].alpha = 0.5f;
            if (source16[i].alpha == 0)
                source16[i].alpha = 7;
            if (rng() % 5 == 0)
                source[i].red = -0.0f;
        }
        const std::vector<uint8_t> selection(source.size(), 255);
        // 32 and 33: the widest window a single-precision quotient divides exactly, and one past it.
        const int32_t radii[] = {1, 1, 2, 3, 6, 9, 16, 32, 33, 40, 200};
        const auto radius = [&rng, &radii] { return radii[rng() % std::size(radii)]; };
        const BlurLineKernel kernels = BoxKernel(radius(), radius(), radius(), radius());
        for (BlurVariant v : {BlurVariant::Spanning, BlurVariant::Confined}) {
            const auto plain =
                FilterLine(BlurKernel::Box, v, BlurIsa::Plain, kernels, source, selection, source);
            const auto plain16 =
                FilterLine(BlurKernel::Box, v, BlurIsa::Plain, kernels, source16, selection, source16);
            for (BlurIsa isa : AvailableIsas()) {
                ASSERT_TRUE(
                    SameBytes(plain, FilterLine(BlurKernel::Box, v, isa, kernels, source, selection, source)))
                    << IsaName(isa) << " trial " << trial;
                ASSERT_TRUE(SameBytes(
                    plain16, FilterLine(BlurKernel::Box, v, isa, kernels, source16, selection, source16)))
                    << IsaName(isa) << " trial " << trial;
            }
        }
    }
}

// Ragged selections: runs a little shorter and a little longer than a window's reach (so that each window
// is the whole run, or not), their ends on either side of sixteen-sample steps, transparency, channels of
// their own lengths.
template <class Pixel>
void CompareRaggedRuns(uint32_t seed) {
    std::mt19937 rng(seed);
    for (int trial = 0; trial < 80; ++trial) {
        const int32_t r = 1 + static_cast<int32_t>(rng() % 24);
        const int32_t length = 1 + static_cast<int32_t>(rng() % 160);
        std::vector<Pixel> source(static_cast<std::size_t>(length));
        std::vector<Pixel> initial(source.size());
        for (std::size_t i = 0; i < source.size(); ++i) {
            source[i] = RandomPixel<Pixel>(rng);
            initial[i] = RandomPixel<Pixel>(rng);
        }
        std::vector<uint8_t> selection(source.size(), 0);
        for (int32_t x = static_cast<int32_t>(rng() % 3); x < length;) {
            const int32_t run = std::max(1, r - 2 + static_cast<int32_t>(rng() % 5));
            for (int32_t k = x; k < std::min(length, x + run); ++k)
                selection[static_cast<std::size_t>(k)] = static_cast<uint8_t>(1 + rng() % 255);
            x += run + 1 + static_cast<int32_t>(rng() % 3);
        }
        const int32_t other = rng() % 2 ? r : 1 + static_cast<int32_t>(rng() % 24);
        const BlurLineKernel kernels = BoxKernel(other, r, r, rng() % 2 ? r : other);
        for (BlurVariant v : {BlurVariant::Spanning, BlurVariant::Confined}) {
            const auto plain =
                FilterLine(BlurKernel::Box, v, BlurIsa::Plain, kernels, source, selection, initial);
            for (BlurIsa isa : AvailableIsas()) {
                if (isa == BlurIsa::Plain)
                    continue;
                ASSERT_TRUE(SameBytes(
                    plain, FilterLine(BlurKernel::Box, v, isa, kernels, source, selection, initial)))
                    << IsaName(isa) << " trial " << trial << " length " << length << " radius " << r;
            }
        }
    }
}

TEST_F(FastLines, RaggedRunsMatchPlain) {
    CompareRaggedRuns<PF_Pixel16>(50);
    CompareRaggedRuns<PF_PixelFloat>(51);
}

TEST_F(FastLines, StripsMatchThePlainLines) {
    uint32_t seed = 20;
    for (BlurKernel k : {BlurKernel::Gauss, BlurKernel::Box})
        for (BlurVariant v : {BlurVariant::Spanning, BlurVariant::Confined}) {
            CompareStrips<PF_Pixel16>(k, v, seed++);
            CompareStrips<PF_PixelFloat>(k, v, seed++);
        }
    for (BlurVariant v : {BlurVariant::Spanning, BlurVariant::Confined}) {
        CompareStrips<PF_Pixel16>(BlurKernel::Gauss, v, seed++, true);
        CompareStrips<PF_PixelFloat>(BlurKernel::Gauss, v, seed++, true);
    }
}

} // namespace
