// The brightness step over host worlds: selected pixels of flagged rows through the table of their depth,
// alpha and everything else kept, the same bytes for any number of worker threads.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "kernels/SelectionPlane.h"
#include "render/Brightness.h"
#include "tests/support/EffectSuites.h"

namespace {

constexpr double kHalf = 0.5;
constexpr PF_Rect kArea{1, 1, 6, 5};

class BrightnessStep : public tovrin::test::EffectSuitesEnv {
protected:
    // Plane over kArea: (1, 0) and (3, 2) selected; row 1 holds nothing.
    void MakePlane(SelectionPlane& plane) {
        plane = MakeSelectionPlane(5, 4);
        plane.bytes[1] = 255;
        plane.bytes[2 * plane.stride + 3] = 255;
        plane.rowFlags[0] = plane.rowFlags[2] = 1;
        plane.columnFlags[1] = plane.columnFlags[3] = 1;
    }
    static bool Selected(int x, int y) { return (x == 2 && y == 1) || (x == 4 && y == 3); }
    static bool InFlaggedRow(int x, int y) {
        return x >= kArea.left && x < kArea.right && (y == 1 || y == 3);
    }
    host::World Random(PF_PixelFormat format, unsigned seed, A_long width = 7, A_long height = 6) {
        host::World world = MakeWorld(width, height, format);
        std::mt19937 random(seed);
        for (A_long y = 0; y < height; ++y)
            for (A_long x = 0; x < width; ++x) {
                if (format == PF_PixelFormat_ARGB32)
                    world.At8(x, y) = {static_cast<A_u_char>(random()), static_cast<A_u_char>(random()),
                                       static_cast<A_u_char>(random()), static_cast<A_u_char>(random())};
                else if (format == PF_PixelFormat_ARGB64)
                    world.At16(x, y) = {
                        static_cast<A_u_short>(random() % 32769), static_cast<A_u_short>(random() % 32769),
                        static_cast<A_u_short>(random() % 32769), static_cast<A_u_short>(random() % 32769)};
                else
                    world.AtFloat(x, y) = {static_cast<float>(random() % 1000) / 999.0f,
                                           static_cast<float>(random() % 1000) / 999.0f,
                                           static_cast<float>(random() % 1000) / 999.0f,
                                           static_cast<float>(random() % 1000) / 999.0f};
            }
        return world;
    }
};

TEST_F(BrightnessStep, EightBitSelectedPixelsGoThroughTheTable) {
    const BrightnessCurve curve = MakeBrightnessCurve(kHalf, 8.0, 4.0);
    for (uint8_t clear : {0, 1}) {
        host::World source = Random(PF_PixelFormat_ARGB32, 1);
        host::World destination = Random(PF_PixelFormat_ARGB32, 2);
        host::World before = Random(PF_PixelFormat_ARGB32, 2);
        SelectionPlane plane;
        MakePlane(plane);
        ASSERT_EQ(ApplyBrightness<Depth8>(destination.get(), InData(), -1, source.get(), kArea, plane, kHalf,
                                          8.0, 4.0, clear),
                  PF_Err_NONE);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 7; ++x) {
                const PF_Pixel8 in = source.At8(x, y);
                const PF_Pixel8 out = destination.At8(x, y);
                PF_Pixel8 expected = before.At8(x, y);
                if (Selected(x, y))
                    expected = {in.alpha, BrightnessEntry8(in.red, curve), BrightnessEntry8(in.green, curve),
                                BrightnessEntry8(in.blue, curve)};
                else if (clear && InFlaggedRow(x, y))
                    expected = {0, 0, 0, 0};
                EXPECT_EQ(0, std::memcmp(&out, &expected, sizeof out))
                    << x << "," << y << " clear " << int(clear);
            }
    }
}

TEST_F(BrightnessStep, SixteenBitAndFloatUseTheirOwnTables) {
    const BrightnessCurve curve = MakeBrightnessCurve(kHalf, 8.0, 4.0);
    host::World source16 = Random(PF_PixelFormat_ARGB64, 3);
    host::World destination16 = Random(PF_PixelFormat_ARGB64, 4);
    host::World sourceFloat = Random(PF_PixelFormat_ARGB128, 5);
    host::World destinationFloat = Random(PF_PixelFormat_ARGB128, 6);
    source16.At16(2, 1) = {123, 0, 32768, 1000};
    sourceFloat.AtFloat(4, 3) = {0.3f, 0.0f, 1.0f, 4096.0f / 32768.0f};
    SelectionPlane plane;
    MakePlane(plane);
    ASSERT_EQ(ApplyBrightness(PF_PixelFormat_ARGB64, destination16.get(), InData(), -1, source16.get(), kArea,
                              plane, kHalf, 8.0, 4.0, 0),
              PF_Err_NONE);
    ASSERT_EQ(ApplyBrightness(PF_PixelFormat_ARGB128, destinationFloat.get(), InData(), -1, sourceFloat.get(),
                              kArea, plane, kHalf, 8.0, 4.0, 0),
              PF_Err_NONE);
    const PF_Pixel16 a = destination16.At16(2, 1);
    EXPECT_EQ(a.alpha, 123);
    EXPECT_EQ(a.red, 2048);
    EXPECT_EQ(a.green, 32768);
    EXPECT_EQ(a.blue, 6548);
    const PF_Pixel16 s = source16.At16(4, 3);
    EXPECT_EQ(destination16.At16(4, 3).green, BrightnessEntry16(s.green, curve));
    const PF_PixelFloat b = destinationFloat.AtFloat(4, 3);
    EXPECT_EQ(b.alpha, 0.3f);
    EXPECT_EQ(b.red, 0.0625f);
    EXPECT_EQ(b.green, 1.0f);
    EXPECT_EQ(b.blue, 0.625f);
    // Unselected pixels and the row without a selected pixel keep what the destination held.
    host::World untouched16 = Random(PF_PixelFormat_ARGB64, 4);
    host::World untouchedFloat = Random(PF_PixelFormat_ARGB128, 6);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 7; ++x)
            if (!Selected(x, y)) {
                EXPECT_EQ(0, std::memcmp(&destination16.At16(x, y), &untouched16.At16(x, y), 8))
                    << x << "," << y;
                EXPECT_EQ(0, std::memcmp(&destinationFloat.AtFloat(x, y), &untouchedFloat.AtFloat(x, y), 16))
                    << x << "," << y;
            }
}

TEST_F(BrightnessStep, SameBytesForOneTwoAndSevenThreads) {
    for (PF_PixelFormat format : {PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB64, PF_PixelFormat_ARGB128}) {
        host::World source = Random(format, 7, 53, 31);
        SelectionPlane plane = MakeSelectionPlane(53, 31);
        FillSelectionPlane(plane, 255);
        for (int i = 0; i < 53 * 31; i += 3)
            plane.bytes[(i / 53) * plane.stride + i % 53] = 0;
        std::vector<std::uint8_t> reference;
        for (int threads : {1, 2, 7}) {
            Host().SetWorkerThreads(threads);
            host::World destination = Random(format, 8, 53, 31);
            ASSERT_EQ(ApplyBrightness(format, destination.get(), InData(), -1, source.get(), {0, 0, 53, 31},
                                      plane, 0.37, 8.0, 4.0, 0),
                      PF_Err_NONE);
            if (reference.empty())
                reference = destination.Pixels();
            EXPECT_EQ(destination.Pixels(), reference)
                << "format " << format << ", " << threads << " threads";
        }
    }
}

TEST_F(BrightnessStep, UnknownFormatIsRefused) {
    host::World world = Random(PF_PixelFormat_ARGB32, 9);
    SelectionPlane plane;
    MakePlane(plane);
    EXPECT_EQ(ApplyBrightness(PF_PixelFormat_BGRA32, world.get(), InData(), -1, world.get(), kArea, plane,
                              kHalf, 8.0, 4.0, 0),
              PF_Err_UNRECOGNIZED_PARAM_TYPE);
}

} // namespace
