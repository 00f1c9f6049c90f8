// The 8-bit ↔ 16-bit conversion passes: exact values at the ends, every byte round-trips, masking.
#include <gtest/gtest.h>

#include "kernels/MaskedPasses.h"
#include "passes_support.h"

namespace {

using passes_test::RunSerially;
using passes_test::TestPlane;
using passes_test::TestWorld;

TEST(ChannelConversion, EndsAndMiddleMapExactly) {
    EXPECT_EQ(ConvertChannel8To16(0), 0);
    EXPECT_EQ(ConvertChannel8To16(128), 16448);
    EXPECT_EQ(ConvertChannel8To16(255), 32768);
    EXPECT_EQ(ConvertChannel16To8(0), 0);
    EXPECT_EQ(ConvertChannel16To8(16448), 128);
    EXPECT_EQ(ConvertChannel16To8(32768), 255);
}

TEST(ChannelConversion, EveryByteRoundTrips) {
    for (int c = 0; c < 256; ++c)
        EXPECT_EQ(ConvertChannel16To8(ConvertChannel8To16(static_cast<A_u_char>(c))), c) << c;
}

TEST(ChannelConversion, ValuesAboveFullScaleStayWhite) {
    // Outside the 16-bit format; must not wrap round to a dark byte.
    EXPECT_EQ(ConvertChannel16To8(32769), 255);
    EXPECT_EQ(ConvertChannel16To8(40000), 255);
    EXPECT_EQ(ConvertChannel16To8(65535), 255);
}

// A 16 × 16 world holding every byte value in every channel, so the passes convert all 256 values.
class ConvertPasses : public ::testing::Test {
protected:
    ConvertPasses() : eight_(16, 16), sixteen_(16, 16), back_(16, 16), plane_(16, 16) {
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const auto v = static_cast<A_u_char>(y * 16 + x);
                eight_.at(x, y) = {v, static_cast<A_u_char>(255 - v), static_cast<A_u_char>(v ^ 0x5A), v};
                sixteen_.at(x, y) = {1, 2, 3, 4};
                back_.at(x, y) = {9, 9, 9, 9};
                plane_.Select(x, y);
            }
    }
    PassContext Context(PF_EffectWorld* destination, PF_EffectWorld* source, uint8_t clear) {
        PassContext c;
        c.destination = destination;
        c.source = source;
        c.rect = {0, 0, 16, 16};
        c.plane = plane_.plane();
        c.clearUnselected = clear;
        return c;
    }
    TestWorld<PF_Pixel8> eight_;
    TestWorld<PF_Pixel16> sixteen_;
    TestWorld<PF_Pixel8> back_;
    TestPlane plane_;
};

TEST_F(ConvertPasses, EveryValueConvertsAndComesBack) {
    PassContext up = Context(sixteen_.world(), eight_.world(), 0);
    ASSERT_EQ(RunSerially(ConvertSelected8To16, up, 4), PF_Err_NONE);
    PassContext down = Context(back_.world(), sixteen_.world(), 0);
    ASSERT_EQ(RunSerially(ConvertSelected16To8, down, 5), PF_Err_NONE);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const PF_Pixel8 in = eight_.at(x, y);
            const PF_Pixel16 mid = sixteen_.at(x, y);
            EXPECT_EQ(mid.alpha, ConvertChannel8To16(in.alpha));
            EXPECT_EQ(mid.red, ConvertChannel8To16(in.red));
            EXPECT_EQ(mid.green, ConvertChannel8To16(in.green));
            EXPECT_EQ(mid.blue, ConvertChannel8To16(in.blue));
            EXPECT_EQ(0, std::memcmp(&back_.at(x, y), &in, sizeof in)) << x << "," << y;
        }
    EXPECT_TRUE(sixteen_.GuardsIntact());
    EXPECT_TRUE(back_.GuardsIntact());
}

TEST_F(ConvertPasses, UnselectedPixelsAreClearedOnlyWhenAsked) {
    TestPlane sparse(16, 16);
    sparse.Select(3, 4);
    for (uint8_t clear : {0, 1}) {
        PassContext up = Context(sixteen_.world(), eight_.world(), clear);
        up.plane = sparse.plane();
        ASSERT_EQ(RunSerially(ConvertSelected8To16, up, 2), PF_Err_NONE);
        const PF_Pixel16 kept = clear ? PF_Pixel16{0, 0, 0, 0} : PF_Pixel16{1, 2, 3, 4};
        EXPECT_EQ(0, std::memcmp(&sixteen_.at(0, 0), &kept, sizeof kept)) << "clear " << int(clear);
        EXPECT_EQ(sixteen_.at(3, 4).red, ConvertChannel8To16(eight_.at(3, 4).red));

        PassContext down = Context(back_.world(), sixteen_.world(), clear);
        down.plane = sparse.plane();
        ASSERT_EQ(RunSerially(ConvertSelected16To8, down, 3), PF_Err_NONE);
        const PF_Pixel8 keptBack = clear ? PF_Pixel8{0, 0, 0, 0} : PF_Pixel8{9, 9, 9, 9};
        EXPECT_EQ(0, std::memcmp(&back_.at(15, 15), &keptBack, sizeof keptBack)) << "clear " << int(clear);
        EXPECT_EQ(0, std::memcmp(&back_.at(3, 4), &eight_.at(3, 4), sizeof(PF_Pixel8)));
    }
}

} // namespace
