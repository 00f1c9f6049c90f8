// The sixteen blur passes run through the host: each row, or each gathered column, comes out exactly as
// the plain line filter makes it; skipped lines stay untouched; a line buffer the host refuses ends the
// pass with PF_Err_OUT_OF_MEMORY and no exception crosses iterate_generic.
#include <gtest/gtest.h>

#include <random>

#include "blur_support.h"
#include "host/Faults.h"
#include "host/World.h"
#include "kernels/BlurBands.h"
#include "kernels/BlurLineFilters.h"
#include "passes_support.h"

namespace {

using namespace blur_test;
using passes_test::TestPlane;

struct PassCase {
    const char* name;
    PassFunction pass;
    BlurKernel kernel;
    BlurVariant variant;
    bool columns;
    bool isFloat;
};

constexpr BlurKernel G = BlurKernel::Gauss;
constexpr BlurKernel B = BlurKernel::Box;
constexpr BlurVariant S = BlurVariant::Spanning;
constexpr BlurVariant C = BlurVariant::Confined;

const PassCase kPasses[] = {
    {"GaussSpanningRows16", GaussSpanningRows16, G, S, false, false},
    {"GaussSpanningColumns16", GaussSpanningColumns16, G, S, true, false},
    {"GaussConfinedRows16", GaussConfinedRows16, G, C, false, false},
    {"GaussConfinedColumns16", GaussConfinedColumns16, G, C, true, false},
    {"BoxSpanningRows16", BoxSpanningRows16, B, S, false, false},
    {"BoxSpanningColumns16", BoxSpanningColumns16, B, S, true, false},
    {"BoxConfinedRows16", BoxConfinedRows16, B, C, false, false},
    {"BoxConfinedColumns16", BoxConfinedColumns16, B, C, true, false},
    {"GaussSpanningRowsFloat", GaussSpanningRowsFloat, G, S, false, true},
    {"GaussSpanningColumnsFloat", GaussSpanningColumnsFloat, G, S, true, true},
    {"GaussConfinedRowsFloat", GaussConfinedRowsFloat, G, C, false, true},
    {"GaussConfinedColumnsFloat", GaussConfinedColumnsFloat, G, C, true, true},
    {"BoxSpanningRowsFloat", BoxSpanningRowsFloat, B, S, false, true},
    {"BoxSpanningColumnsFloat", BoxSpanningColumnsFloat, B, S, true, true},
    {"BoxConfinedRowsFloat", BoxConfinedRowsFloat, B, C, false, true},
    {"BoxConfinedColumnsFloat", BoxConfinedColumnsFloat, B, C, true, true},
};

class BlurPasses : public BlurEnv {
protected:
    // The world is larger than the rectangle, so that a pass addressing the world instead of the
    // rectangle shows; the plane covers the rectangle.
    static constexpr A_long kWidth = 45, kHeight = 31;
    static constexpr PF_Rect kRect{3, 2, 3 + 37, 2 + 26};
    static constexpr int kRectWidth = 37, kRectHeight = 26;

    struct Geometry {
        A_long width, height; // the worlds
        PF_Rect rect;
    };
    static constexpr Geometry kSmall{kWidth, kHeight, kRect};
    // Wider than several in-place strips of the vertical passes at either depth, and not a multiple of one.
    static constexpr Geometry kWide{1109, 14, PF_Rect{3, 2, 3 + 1101, 2 + 11}};

    // Content: 0 a random selection; 1 everything selected and opaque; 2 the same but for one
    // transparent pixel.
    template <class Pixel>
    void Check(const PassCase& pc, int threads, uint32_t seed, int content = 0, const Geometry& g = kSmall);
};

template <class Pixel>
Pixel& At(host::World& w, int x, int y) {
    return reinterpret_cast<Pixel*>(w.Row(y))[x];
}

template <class Pixel>
void BlurPasses::Check(const PassCase& pc, int threads, uint32_t seed, int content, const Geometry& g) {
    const A_long kWidth = g.width, kHeight = g.height;
    const PF_Rect kRect = g.rect;
    const int kRectWidth = kRect.right - kRect.left, kRectHeight = kRect.bottom - kRect.top;
    std::mt19937 rng(seed);
    const PF_PixelFormat format = pc.isFloat ? PF_PixelFormat_ARGB128 : PF_PixelFormat_ARGB64;
    host::World source = MakeWorld(kWidth, kHeight, format);
    host::World destination = MakeWorld(kWidth, kHeight, format);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            At<Pixel>(source, x, y) = RandomPixel<Pixel>(rng);
            At<Pixel>(destination, x, y) = RandomPixel<Pixel>(rng);
        }
    TestPlane plane(kRectWidth, kRectHeight);
    for (int y = 0; y < kRectHeight; ++y)
        for (int x = 0; x < kRectWidth; ++x)
            if (content != 0 || (rng() % 5 != 0 && (x + y) % 11 != 0))
                plane.Select(x, y);
    if (content == 0) {
        // A line whose flag is 0 is skipped even though bytes of it are selected.
        plane.RowFlag(4) = 0;
    } else {
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                if (At<Pixel>(source, x, y).alpha == 0)
                    At<Pixel>(source, x, y).alpha = 1;
        if (content == 2)
            At<Pixel>(source, kRect.left + kRectWidth * 2 / 3, kRect.top + kRectHeight / 2).alpha = 0;
    }

    PassContext ctx;
    ctx.destination = destination.get();
    ctx.source = source.get();
    ctx.rect = kRect;
    ctx.plane = plane.plane();
    const int32_t radius[4] = {3, 7, 1, 120};
    for (int c = 0; c < 4; ++c) {
        ctx.gauss[c] = BuildGaussTable(radius[c], radius[c] * radius[c] / 8.0);
        ctx.boxRadius[c] = radius[c];
    }
    BlurLineKernel kernels;
    for (int c = 0; c < 4; ++c) {
        kernels.gauss[c] = &ctx.gauss[c];
        kernels.boxRadius[c] = radius[c];
    }

    // The expectation: the plain line filter over every flagged line.
    std::vector<std::vector<Pixel>> expected(kHeight, std::vector<Pixel>(kWidth));
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            expected[y][x] = At<Pixel>(destination, x, y);
    const int lines = pc.columns ? kRectWidth : kRectHeight;
    const int length = pc.columns ? kRectHeight : kRectWidth;
    for (int l = 0; l < lines; ++l) {
        const SelectionPlane& p = plane.plane();
        if (pc.columns ? !p.columnFlags[l] : !p.rowFlags[l])
            continue;
        std::vector<Pixel> src(length), dst(length);
        std::vector<uint8_t> sel(length);
        for (int k = 0; k < length; ++k) {
            const int x = pc.columns ? l : k, y = pc.columns ? k : l;
            src[k] = At<Pixel>(source, kRect.left + x, kRect.top + y);
            dst[k] = expected[kRect.top + y][kRect.left + x];
            sel[k] = plane.At(x, y);
        }
        dst = FilterLine(pc.kernel, pc.variant, BlurIsa::Plain, kernels, src, sel, dst);
        for (int k = 0; k < length; ++k) {
            const int x = pc.columns ? l : k, y = pc.columns ? k : l;
            expected[kRect.top + y][kRect.left + x] = dst[k];
        }
    }

    Host().SetWorkerThreads(threads);
    ASSERT_EQ(RunPass(InData(), PF_Iterations_ONCE_PER_PROCESSOR, &ctx, pc.pass), PF_Err_NONE) << pc.name;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            ASSERT_EQ(std::memcmp(&expected[y][x], &At<Pixel>(destination, x, y), sizeof(Pixel)), 0)
                << pc.name << " at " << x << ", " << y << " with " << threads << " threads";
    destination.Check("after the pass");
}

TEST_F(BlurPasses, EachLineAsThePlainFilterMakesIt) {
    uint32_t seed = 1;
    for (const PassCase& pc : kPasses)
        for (int threads : {1, 2, 7}) {
            if (pc.isFloat)
                Check<PF_PixelFloat>(pc, threads, seed++);
            else
                Check<PF_Pixel16>(pc, threads, seed++);
        }
}

// Fully selected, opaque content takes the vertical passes' in-place strips.
TEST_F(BlurPasses, OpaqueContentAsThePlainFilterMakesIt) {
    uint32_t seed = 100;
    for (const PassCase& pc : kPasses)
        for (int content : {1, 2})
            for (int threads : {1, 3}) {
                if (pc.isFloat)
                    Check<PF_PixelFloat>(pc, threads, seed++, content);
                else
                    Check<PF_Pixel16>(pc, threads, seed++, content);
            }
}

// Several strips a block: each gives up or goes through on its own.
TEST_F(BlurPasses, WideOpaqueContentAsThePlainFilterMakesIt) {
    uint32_t seed = 200;
    for (const PassCase& pc : kPasses)
        for (int content : {1, 2}) {
            if (pc.isFloat)
                Check<PF_PixelFloat>(pc, 2, seed++, content, kWide);
            else
                Check<PF_Pixel16>(pc, 2, seed++, content, kWide);
        }
}

TEST_F(BlurPasses, RefusedLineBufferEndsThePassWithOutOfMemory) {
    host::World source16 = MakeWorld(kWidth, kHeight, PF_PixelFormat_ARGB64);
    host::World destination16 = MakeWorld(kWidth, kHeight, PF_PixelFormat_ARGB64);
    host::World sourceFloat = MakeWorld(kWidth, kHeight, PF_PixelFormat_ARGB128);
    host::World destinationFloat = MakeWorld(kWidth, kHeight, PF_PixelFormat_ARGB128);
    TestPlane plane(kRectWidth, kRectHeight);
    for (int y = 0; y < kRectHeight; ++y)
        for (int x = 0; x < kRectWidth; ++x)
            plane.Select(x, y);
    PassContext ctx;
    ctx.rect = kRect;
    ctx.plane = plane.plane();
    for (int c = 0; c < 4; ++c) {
        ctx.gauss[c] = BuildGaussTable(5, 3.0);
        ctx.boxRadius[c] = 5;
    }
    Host().SetWorkerThreads(2);
    for (const PassCase& pc : kPasses) {
        ctx.destination = pc.isFloat ? destinationFloat.get() : destination16.get();
        ctx.source = pc.isFloat ? sourceFloat.get() : source16.get();
        Host().Faults().Inject(host::Fault::NewHandle, 1, host::DefaultFaultCode(host::Fault::NewHandle),
                               true);
        EXPECT_EQ(RunPass(InData(), PF_Iterations_ONCE_PER_PROCESSOR, &ctx, pc.pass), PF_Err_OUT_OF_MEMORY)
            << pc.name;
        Host().Faults().Clear();
    }
    EXPECT_TRUE(Host().Violations().empty());
}

// Chained pairs ask for many buffers: whichever is refused, the pass ends with out of memory and leaves
// nothing behind; rectangles that differ between the pairs are refused before anything is read.
TEST_F(BlurPasses, ChainedPairsRefuseCleanly) {
    host::World source = MakeWorld(kWidth, kHeight, PF_PixelFormat_ARGB64);
    host::World destination = MakeWorld(kWidth, kHeight, PF_PixelFormat_ARGB64);
    TestPlane plane(kRectWidth, kRectHeight);
    for (int y = 0; y < kRectHeight; ++y)
        for (int x = 0; x < kRectWidth; ++x)
            plane.Select(x, y);
    ChainedBandContext ctx;
    for (BandPassContext* pair : {&ctx.first, &ctx.second}) {
        pair->rect = kRect;
        pair->plane = plane.plane();
        for (PassContext* pass : {&pair->rows, &pair->columns})
            for (int c = 0; c < 4; ++c)
                pass->boxRadius[c] = 4;
    }
    ctx.first.source = source.get();
    ctx.second.destination = destination.get();
    const PassFunction pass = ChainedBandPassOf<Depth16, Depth16>(BlurKernel::Box, BlurVariant::Confined);
    Host().SetWorkerThreads(2);
    ASSERT_EQ(RunPass(InData(), PF_Iterations_ONCE_PER_PROCESSOR, &ctx, pass), PF_Err_NONE);
    int refused = 0;
    for (int nth = 1; nth <= 40; ++nth) {
        Host().Faults().Inject(host::Fault::NewHandle, nth, host::DefaultFaultCode(host::Fault::NewHandle));
        const PF_Err err = RunPass(InData(), PF_Iterations_ONCE_PER_PROCESSOR, &ctx, pass);
        EXPECT_TRUE(err == PF_Err_OUT_OF_MEMORY || err == PF_Err_NONE) << nth;
        refused += err == PF_Err_OUT_OF_MEMORY;
        Host().Faults().Clear();
    }
    EXPECT_GE(refused, 16); // every buffer of both pairs and the rows between them
    ctx.second.rect.bottom -= 1;
    EXPECT_EQ(RunPass(InData(), PF_Iterations_ONCE_PER_PROCESSOR, &ctx, pass),
              PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_TRUE(Host().Violations().empty());
}

TEST_F(BlurPasses, EmptyRectangleAndMissingTablesAreHarmless) {
    host::World source = MakeWorld(8, 8, PF_PixelFormat_ARGB64);
    host::World destination = MakeWorld(8, 8, PF_PixelFormat_ARGB64);
    const std::vector<uint8_t> before = destination.Pixels();
    TestPlane plane(8, 8);
    PassContext ctx;
    ctx.destination = destination.get();
    ctx.source = source.get();
    ctx.rect = PF_Rect{2, 2, 2, 8};
    ctx.plane = plane.plane();
    for (const PassCase& pc : kPasses) {
        if (!pc.isFloat) {
            EXPECT_EQ(RunPass(InData(), PF_Iterations_ONCE_PER_PROCESSOR, &ctx, pc.pass), PF_Err_NONE)
                << pc.name;
        }
    }
    // A Gaussian pass whose context holds no tables cannot filter.
    ctx.rect = PF_Rect{0, 0, 8, 8};
    EXPECT_EQ(RunPass(InData(), PF_Iterations_ONCE_PER_PROCESSOR, &ctx, GaussSpanningRows16),
              PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(destination.Pixels(), before);
}

} // namespace
