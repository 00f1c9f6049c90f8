// Building the selection plane from key colours over host worlds of each depth.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "host/Color.h"
#include "host/Faults.h"
#include "kernels/MaskedPasses.h"
#include "kernels/SelectKeyColors.h"
#include "kernels/SelectionPlane.h"
#include "tests/support/EffectSuites.h"

namespace {

class SelectionBuild : public tovrin::test::EffectSuitesEnv {
protected:
    void AppendKey(KeyList& keys, PF_Pixel rgb, double range) {
        PF_Fixed hls[3];
        host::RGBtoHLS(rgb, hls);
        AppendKeyColor(keys, hls, range);
    }
    static uint8_t At(const SelectionPlane& plane, int x, int y) { return plane.bytes[y * plane.stride + x]; }
};

TEST(KeyTolerance, IsTheRangeFractionOfTheLargestDistance) {
    EXPECT_EQ(KeyTolerance(1.0), 27904);
    EXPECT_EQ(KeyTolerance(0.0), 0);
    EXPECT_EQ(KeyTolerance(0.5), 13952);
    EXPECT_EQ(KeyTolerance(0.333), 9292); // trunc(9292.032)
    EXPECT_EQ(KeyTolerance(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(KeyTolerance(1.0e30), std::numeric_limits<int32_t>::max());
}

TEST_F(SelectionBuild, KeyListHoldsTheEnabledColoursInOrder) {
    KeyList keys;
    AppendKey(keys, {255, 255, 0, 0}, 0.25);
    AppendKey(keys, {255, 0, 0, 255}, 1.0);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].hue, 0);
    EXPECT_EQ(keys[0].lightness, 32768);
    EXPECT_EQ(keys[0].saturation, 65536);
    EXPECT_EQ(keys[0].range, 6976);
    EXPECT_EQ(keys[1].hue, 240 * 65536);
    EXPECT_EQ(keys[1].range, 27904);
}

TEST_F(SelectionBuild, SelectsMatchingPixelsOfTheAreaAndFlagsTheirLines) {
    host::World world = MakeWorld(9, 7, PF_PixelFormat_ARGB32);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x)
            world.At8(x, y) = {255, 40, 40, 40};
    world.At8(3, 2) = {255, 250, 0, 0};
    world.At8(0, 0) = {255, 250, 0, 0}; // outside the area
    KeyList keys;
    AppendKey(keys, {255, 250, 0, 0}, 0.0);
    SelectionPlane plane;
    const PF_Rect area{1, 1, 8, 6};
    ASSERT_EQ(BuildSelectionPlane(plane, InData(), PF_Iterations_ONCE_PER_PROCESSOR, world.get(),
                                  PF_PixelFormat_ARGB32, area, keys, 255),
              PF_Err_NONE);
    EXPECT_EQ(plane.width, 7);
    EXPECT_EQ(plane.height, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(At(plane, x, y), x == 2 && y == 1 ? 255 : 0) << x << "," << y;
    EXPECT_EQ(plane.rowFlags[1], 1);
    EXPECT_EQ(plane.rowFlags[0], 0);
    EXPECT_EQ(plane.columnFlags[2], 1);
    EXPECT_EQ(plane.columnFlags[3], 0);
    EXPECT_EQ(plane.storage.use_count(), 1); // the pass's share has gone

    KeyList none;
    ASSERT_EQ(BuildSelectionPlane(plane, InData(), PF_Iterations_ONCE_PER_PROCESSOR, world.get(),
                                  PF_PixelFormat_ARGB32, area, none, 255),
              PF_Err_NONE);
    EXPECT_EQ(At(plane, 2, 1), 0);
    EXPECT_EQ(plane.rowFlags[1], 0);
}

TEST_F(SelectionBuild, FullRangeSelectsEveryPixelAtEveryDepth) {
    for (PF_PixelFormat format : {PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB64, PF_PixelFormat_ARGB128}) {
        host::World world = MakeWorld(6, 5, format, false); // poisoned pixels: any colour at all
        KeyList keys;
        AppendKey(keys, {255, 0, 255, 0}, 1.0);
        SelectionPlane plane;
        ASSERT_EQ(BuildSelectionPlane(plane, InData(), PF_Iterations_ONCE_PER_PROCESSOR, world.get(), format,
                                      {0, 0, 6, 5}, keys, 255),
                  PF_Err_NONE);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 6; ++x)
                EXPECT_EQ(At(plane, x, y), 255) << "format " << format << " " << x << "," << y;
    }
}

TEST_F(SelectionBuild, FloatWorldsUseTheFloatTest) {
    host::World world = MakeWorld(2, 1, PF_PixelFormat_ARGB128);
    world.AtFloat(0, 0) = {1.0f, 0.5f, 0.25f, 0.0f};
    world.AtFloat(1, 0) = {1.0f, 0.5f, 0.26f, 0.0f};
    KeyList keys;
    AppendKey(keys, {255, 128, 64, 0}, 0.0);
    SelectionPlane plane;
    ASSERT_EQ(BuildSelectionPlane(plane, InData(), PF_Iterations_ONCE_PER_PROCESSOR, world.get(),
                                  PF_PixelFormat_ARGB128, {0, 0, 2, 1}, keys, 255),
              PF_Err_NONE);
    EXPECT_EQ(At(plane, 0, 0), 255);
    EXPECT_EQ(At(plane, 1, 0), 0);
}

TEST_F(SelectionBuild, RefusesWhatItCannotTestAndKeepsThePlane) {
    host::World world = MakeWorld(4, 4, PF_PixelFormat_ARGB32);
    KeyList keys;
    AppendKey(keys, {255, 0, 0, 0}, 1.0);
    SelectionPlane plane = MakeSelectionPlane(4, 4);
    FillSelectionPlane(plane, 7);
    uint8_t* const before = plane.bytes;
    EXPECT_EQ(
        BuildSelectionPlane(plane, InData(), -1, world.get(), PF_PixelFormat_BGRA32, {0, 0, 4, 4}, keys, 255),
        PF_Err_UNRECOGNIZED_PARAM_TYPE);
    EXPECT_EQ(plane.bytes, before);
    // An area larger than the source is refused before a plane is sized by it.
    EXPECT_EQ(BuildSelectionPlane(plane, InData(), -1, world.get(), PF_PixelFormat_ARGB32,
                                  {0, 0, 30000, 30000}, keys, 255),
              PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(plane.bytes, before);
    EXPECT_EQ(At(plane, 3, 3), 7);
}

TEST_F(SelectionBuild, TheHostsIterationErrorIsReturned) {
    host::World world = MakeWorld(4, 4, PF_PixelFormat_ARGB32);
    KeyList keys;
    AppendKey(keys, {255, 0, 0, 0}, 1.0);
    SelectionPlane plane;
    Host().Faults().Inject(host::Fault::IterateGeneric, 1, PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(
        BuildSelectionPlane(plane, InData(), -1, world.get(), PF_PixelFormat_ARGB32, {0, 0, 4, 4}, keys, 255),
        PF_Err_INTERNAL_STRUCT_DAMAGED);
}

TEST_F(SelectionBuild, EmptyAreaGivesAnEmptyPlane) {
    host::World world = MakeWorld(4, 4, PF_PixelFormat_ARGB32);
    KeyList keys;
    SelectionPlane plane;
    EXPECT_EQ(
        BuildSelectionPlane(plane, InData(), -1, world.get(), PF_PixelFormat_ARGB32, {2, 2, 2, 4}, keys, 255),
        PF_Err_NONE);
    EXPECT_EQ(plane.bytes, nullptr);
}

// The 8-bit colour the key test sees, per depth.
PF_Pixel SeenColour(const host::World& world, int x, int y) {
    switch (world.Format()) {
    case PF_PixelFormat_ARGB32:
        return PF_Pixel{255, world.At8(x, y).red, world.At8(x, y).green, world.At8(x, y).blue};
    case PF_PixelFormat_ARGB64:
        return PF_Pixel{255, ConvertChannel16To8(world.At16(x, y).red),
                        ConvertChannel16To8(world.At16(x, y).green),
                        ConvertChannel16To8(world.At16(x, y).blue)};
    default:
        return KeyColorOfFloat(world.AtFloat(x, y));
    }
}

// Random pixels: a palette's colours (so that colours repeat, near and far), colours a little apart, anything
// at all, and values outside the format (16-bit above full scale; float below 0, above 1, not a number).
void FillRandomly(host::World& world, std::mt19937& rng) {
    std::vector<PF_Pixel> palette(8);
    for (PF_Pixel& p : palette)
        p = PF_Pixel{A_u_char(rng()), A_u_char(rng()), A_u_char(rng()), A_u_char(rng())};
    const float specials[] = {-0.5f, 1.5f, std::numeric_limits<float>::quiet_NaN(), 0.5f / 255.0f,
                              254.5f / 255.0f};
    for (int y = 0; y < world.Height(); ++y)
        for (int x = 0; x < world.Width(); ++x) {
            const unsigned kind = rng() % 8;
            PF_Pixel p = kind < 5
                             ? palette[rng() % palette.size()]
                             : PF_Pixel{A_u_char(rng()), A_u_char(rng()), A_u_char(rng()), A_u_char(rng())};
            if (kind < 2) // neighbours in the colour cube, as grain makes them
                p.blue = A_u_char(p.blue + rng() % 64);
            switch (world.Format()) {
            case PF_PixelFormat_ARGB32:
                world.At8(x, y) = p;
                break;
            case PF_PixelFormat_ARGB64:
                world.At16(x, y) = {ConvertChannel8To16(p.alpha), ConvertChannel8To16(p.red),
                                    ConvertChannel8To16(p.green), ConvertChannel8To16(p.blue)};
                if (kind == 7)
                    world.At16(x, y).green = A_u_short(32769 + rng() % 32767);
                break;
            default:
                world.AtFloat(x, y) = {p.alpha / 255.0f, p.red / 255.0f, p.green / 255.0f, p.blue / 255.0f};
                if (kind == 7)
                    world.AtFloat(x, y).red = specials[rng() % 5];
                break;
            }
        }
}

// The cached selection gives the plain key test's answer for every pixel (the host's HLS of the colour the
// test sees, the keys in order), with the flags that go with it, for one, two and seven threads. Most
// images are small; one spans several of the pass's chunks of 256 pixels and one is wider than the 8192
// columns whose flags a call tracks.
TEST_F(SelectionBuild, MatchesThePlainKeyTestOnRandomImages) {
    std::mt19937 rng(31);
    for (PF_PixelFormat format : {PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB64, PF_PixelFormat_ARGB128})
        for (int round = 0; round < 8; ++round) {
            const int w = round == 6   ? 300 + int(rng() % 700)
                          : round == 7 ? 8193 + int(rng() % 300)
                                       : 1 + int(rng() % 70);
            const int h = round == 7 ? 1 + int(rng() % 3) : 1 + int(rng() % 40);
            host::World world = MakeWorld(w, h, format);
            FillRandomly(world, rng);
            KeyList keys;
            std::vector<KeyColorEntry> plainKeys;
            for (unsigned k = 0, n = 1 + rng() % 4; k < n; ++k) {
                const PF_Pixel colour = SeenColour(world, int(rng() % unsigned(w)), int(rng() % unsigned(h)));
                AppendKey(keys, colour, double(rng() % 1000) / 2000.0);
                plainKeys.push_back(keys.back());
            }
            const PF_Rect area{int(rng() % unsigned(std::min(w, 70))) / 2, int(rng() % unsigned(h)) / 2, w,
                               h};
            for (int threads : {1, 2, 7}) {
                Host().SetWorkerThreads(threads);
                SelectionPlane plane;
                ASSERT_EQ(BuildSelectionPlane(plane, InData(), PF_Iterations_ONCE_PER_PROCESSOR, world.get(),
                                              format, area, keys, 200),
                          PF_Err_NONE);
                std::vector<int> rows(size_t(h), 0), columns(size_t(w), 0);
                for (int y = area.top; y < h; ++y)
                    for (int x = area.left; x < w; ++x) {
                        PF_Fixed hls[3];
                        host::RGBtoHLS(SeenColour(world, x, y), hls);
                        bool selected = false;
                        for (const KeyColorEntry& key : plainKeys)
                            selected = selected || KeyDistance(hls, key) <= key.range;
                        ASSERT_EQ(At(plane, x - area.left, y - area.top), selected ? 200 : 0)
                            << "format " << format << ", " << threads << " threads, pixel " << x << "," << y;
                        rows[y - area.top] |= selected;
                        columns[x - area.left] |= selected;
                    }
                for (int y = 0; y < plane.height; ++y)
                    EXPECT_EQ(plane.rowFlags[y], rows[y]) << "row " << y;
                for (int x = 0; x < plane.width; ++x)
                    EXPECT_EQ(plane.columnFlags[x], columns[x]) << "column " << x;
                // The plane is not cleared before the pass, which writes each row's padding too.
                for (int y = 0; y < plane.height; ++y)
                    for (int x = plane.width; x < plane.stride; ++x)
                        ASSERT_EQ(plane.bytes[std::ptrdiff_t(y) * plane.stride + x], 0)
                            << "padding " << x << "," << y;
            }
        }
}

} // namespace
