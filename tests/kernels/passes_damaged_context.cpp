// A pass whose context does not describe memory that holds its rectangle reports the damage instead of
// reading or writing outside it; an empty rectangle needs no memory at all.
#include <gtest/gtest.h>

#include "kernels/MaskedPasses.h"
#include "kernels/SelectKeyColors.h"
#include "passes_support.h"

namespace {

using passes_test::TestPlane;
using passes_test::TestWorld;

const PassFunction kMaskedPasses[] = {
    ClearUnselectedAlpha8, ClearUnselectedAlpha16, ClearUnselectedAlphaFloat, CopySelected8,
    CopySelected16,        CopySelectedFloat,      ConvertSelected8To16,      ConvertSelected16To8,
    MapSelectedRgb8,       MapSelectedRgb16,       MapSelectedRgbFloat};

TEST(DamagedPassContext, EmptyRectangleSucceedsWithoutAnyMemory) {
    for (const PF_Rect rect : {PF_Rect{0, 0, 0, 0}, PF_Rect{5, 5, 5, 9}, PF_Rect{3, 3, 1, 1}}) {
        PassContext context;
        context.rect = rect;
        for (PassFunction pass : kMaskedPasses)
            for (A_long i = 0; i < 3; ++i)
                EXPECT_EQ(pass(&context, 0, i, 3), PF_Err_NONE);
        KeySelectContext keys;
        keys.rect = rect;
        EXPECT_EQ(SelectKeyColors8(&keys, 0, 0, 1), PF_Err_NONE);
    }
}

TEST(DamagedPassContext, CallsBeyondTheRowsSucceedWithoutMemory) {
    PassContext context;
    context.rect = {0, 0, 4, 2};
    // Two rows over five calls: calls 2..4 hold nothing and must not look at the missing worlds.
    for (PassFunction pass : kMaskedPasses)
        for (A_long i = 2; i < 5; ++i)
            EXPECT_EQ(pass(&context, 0, i, 5), PF_Err_NONE);
}

TEST(DamagedPassContext, RectangleOutsideTheWorldsIsReported) {
    TestWorld<PF_Pixel8> source(4, 4);
    TestWorld<PF_Pixel8> destination(4, 4);
    TestPlane plane(8, 8);
    A_u_char table[256] = {};
    for (const PF_Rect rect :
         {PF_Rect{0, 0, 5, 4}, PF_Rect{0, 0, 4, 5}, PF_Rect{-1, 0, 3, 4}, PF_Rect{0, -2, 4, 2}}) {
        PassContext context;
        context.destination = destination.world();
        context.source = source.world();
        context.rect = rect;
        context.plane = plane.plane();
        context.lookupTable = table;
        for (PassFunction pass : {CopySelected8, ClearUnselectedAlpha8, MapSelectedRgb8})
            EXPECT_EQ(pass(&context, 0, 0, 1), PF_Err_INTERNAL_STRUCT_DAMAGED);
    }
    EXPECT_TRUE(destination.GuardsIntact());
}

TEST(DamagedPassContext, MissingPiecesAreReported) {
    TestWorld<PF_Pixel16> source(4, 4);
    TestWorld<PF_Pixel16> destination(4, 4);
    TestPlane plane(4, 4);
    TestPlane small(3, 4);
    std::vector<A_u_short> table(32769);
    const auto context = [&] {
        PassContext c;
        c.destination = destination.world();
        c.source = source.world();
        c.rect = {0, 0, 4, 4};
        c.plane = plane.plane();
        c.lookupTable = table.data();
        return c;
    };
    PassContext c = context();
    EXPECT_EQ(MapSelectedRgb16(&c, 0, 0, 1), PF_Err_NONE);
    c = context();
    c.lookupTable = nullptr;
    EXPECT_EQ(MapSelectedRgb16(&c, 0, 0, 1), PF_Err_INTERNAL_STRUCT_DAMAGED);
    c = context();
    c.plane = small.plane();
    EXPECT_EQ(CopySelected16(&c, 0, 0, 1), PF_Err_INTERNAL_STRUCT_DAMAGED);
    c = context();
    c.plane.rowFlags = nullptr;
    EXPECT_EQ(MapSelectedRgb16(&c, 0, 0, 1), PF_Err_INTERNAL_STRUCT_DAMAGED);
    c = context();
    c.source = nullptr;
    EXPECT_EQ(CopySelected16(&c, 0, 0, 1), PF_Err_INTERNAL_STRUCT_DAMAGED);
    // Rows shorter than the rectangle: a stride below width × pixel size.
    c = context();
    source.world()->rowbytes = 3 * sizeof(PF_Pixel16);
    EXPECT_EQ(CopySelected16(&c, 0, 0, 1), PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(CopySelected16(nullptr, 0, 0, 1), PF_Err_INTERNAL_STRUCT_DAMAGED);
}

} // namespace
