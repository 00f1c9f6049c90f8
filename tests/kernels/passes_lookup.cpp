// The lookup passes: colour channels through the table, alpha kept, rows without a flag untouched, and
// never an index outside the table.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "kernels/MaskedPasses.h"
#include "passes_support.h"

namespace {

using passes_test::RunSerially;
using passes_test::TestPlane;
using passes_test::TestWorld;

TEST(LookupIndex, FloatChannelsTakeTheNearestEntryAndStayInsideTheTable) {
    EXPECT_EQ(FloatTableIndex(0.0f), 0);
    EXPECT_EQ(FloatTableIndex(1.0f), 32768);
    EXPECT_EQ(FloatTableIndex(0.5f), 16384);
    // Half an entry rounds up: 1.5 / 32768 lands on entry 2.
    EXPECT_EQ(FloatTableIndex(1.5f / 32768.0f), 2);
    EXPECT_EQ(FloatTableIndex(1.4f / 32768.0f), 1);
    EXPECT_EQ(FloatTableIndex(-0.25f), 0);
    EXPECT_EQ(FloatTableIndex(1.0001f), 32768);
    EXPECT_EQ(FloatTableIndex(7.0f), 32768);
    EXPECT_EQ(FloatTableIndex(std::numeric_limits<float>::infinity()), 32768);
    EXPECT_EQ(FloatTableIndex(-std::numeric_limits<float>::infinity()), 0);
    EXPECT_EQ(FloatTableIndex(std::numeric_limits<float>::quiet_NaN()), 0);
}

TEST(LookupIndex, SixteenBitValuesAboveFullScaleTakeTheLastEntry) {
    EXPECT_EQ(Channel16TableIndex(0), 0);
    EXPECT_EQ(Channel16TableIndex(32768), 32768);
    EXPECT_EQ(Channel16TableIndex(32769), 32768);
    EXPECT_EQ(Channel16TableIndex(65535), 32768);
}

// Worlds of 4 × 3 with the rectangle (0, 0, 4, 3): row 0 flagged with pixels 1 and 2 selected, row 1
// holds a selected pixel but its flag is cleared, row 2 has nothing selected.
template <class Pixel>
struct LookupScene {
    LookupScene() : source(4, 3), destination(4, 3), plane(4, 3) {
        plane.Select(1, 0);
        plane.Select(2, 0);
        plane.Select(0, 1);
        plane.RowFlag(1) = 0;
    }
    PassContext Context(const void* table, uint8_t clear) {
        PassContext c;
        c.destination = destination.world();
        c.source = source.world();
        c.rect = {0, 0, 4, 3};
        c.plane = plane.plane();
        c.clearUnselected = clear;
        c.lookupTable = table;
        return c;
    }
    TestWorld<Pixel> source;
    TestWorld<Pixel> destination;
    TestPlane plane;
};

TEST(LookupPasses, EightBitMapsColourKeepsAlphaAndSkipsUnflaggedRows) {
    A_u_char table[256];
    for (int i = 0; i < 256; ++i)
        table[i] = static_cast<A_u_char>(255 - i);
    for (uint8_t clear : {0, 1}) {
        LookupScene<PF_Pixel8> s;
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x) {
                s.source.at(x, y) = {static_cast<A_u_char>(10 + x), 20, 30, 40};
                s.destination.at(x, y) = {7, 7, 7, 7};
            }
        PassContext c = s.Context(table, clear);
        ASSERT_EQ(RunSerially(MapSelectedRgb8, c, 2), PF_Err_NONE);
        const PF_Pixel8 mapped = s.destination.at(1, 0);
        EXPECT_EQ(mapped.alpha, 11);
        EXPECT_EQ(mapped.red, 235);
        EXPECT_EQ(mapped.green, 225);
        EXPECT_EQ(mapped.blue, 215);
        const PF_Pixel8 other = s.destination.at(0, 0);
        EXPECT_EQ(other.alpha, clear ? 0 : 7) << "unselected pixel of a flagged row";
        EXPECT_EQ(other.red, clear ? 0 : 7);
        // Rows whose flag is 0 are not touched even when the flag asks to clear.
        for (int y = 1; y < 3; ++y)
            for (int x = 0; x < 4; ++x)
                EXPECT_EQ(s.destination.at(x, y).red, 7) << x << "," << y;
        EXPECT_TRUE(s.destination.GuardsIntact());
    }
}

TEST(LookupPasses, SixteenBitUsesTheLastEntryAboveFullScale) {
    std::vector<A_u_short> table(32769);
    for (int i = 0; i <= 32768; ++i)
        table[i] = static_cast<A_u_short>(i / 2);
    LookupScene<PF_Pixel16> s;
    s.source.at(1, 0) = {40000, 0, 32768, 65535};
    s.source.at(2, 0) = {5, 1001, 16384, 3};
    s.destination.at(0, 0) = {7, 7, 7, 7};
    PassContext c = s.Context(table.data(), 1);
    ASSERT_EQ(RunSerially(MapSelectedRgb16, c, 3), PF_Err_NONE);
    const PF_Pixel16 a = s.destination.at(1, 0);
    EXPECT_EQ(a.alpha, 40000); // alpha is copied, not mapped
    EXPECT_EQ(a.red, 0);
    EXPECT_EQ(a.green, 16384);
    EXPECT_EQ(a.blue, 16384);
    const PF_Pixel16 b = s.destination.at(2, 0);
    EXPECT_EQ(b.alpha, 5);
    EXPECT_EQ(b.red, 500);
    EXPECT_EQ(b.green, 8192);
    EXPECT_EQ(b.blue, 1);
    EXPECT_EQ(s.destination.at(0, 0).alpha, 0); // cleared
    EXPECT_TRUE(s.destination.GuardsIntact());
}

TEST(LookupPasses, FloatIndexesBySinglePrecisionProductAndClampsOutOfRangeValues) {
    std::vector<PF_FpShort> table(32769);
    for (int i = 0; i <= 32768; ++i)
        table[i] = static_cast<PF_FpShort>(i);
    LookupScene<PF_PixelFloat> s;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    s.source.at(1, 0) = {nan, 0.25f, -3.0f, 2.0f};
    s.source.at(2, 0) = {0.5f, nan, 1.0f, 0.0f};
    PassContext c = s.Context(table.data(), 0);
    ASSERT_EQ(RunSerially(MapSelectedRgbFloat, c, 1), PF_Err_NONE);
    const PF_PixelFloat a = s.destination.at(1, 0);
    EXPECT_TRUE(std::isnan(a.alpha)); // alpha copied as it is
    EXPECT_EQ(a.red, 8192.0f);
    EXPECT_EQ(a.green, 0.0f);
    EXPECT_EQ(a.blue, 32768.0f);
    const PF_PixelFloat b = s.destination.at(2, 0);
    EXPECT_EQ(b.alpha, 0.5f);
    EXPECT_EQ(b.red, 0.0f);
    EXPECT_EQ(b.green, 32768.0f);
    EXPECT_EQ(b.blue, 0.0f);
    EXPECT_TRUE(s.destination.GuardsIntact());
}

} // namespace
