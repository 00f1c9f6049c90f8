// The key selection passes over host worlds: which pixels match, the flags they raise, one conversion per
// colour, and the same plane for any number of worker threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <memory>
#include <random>

#include "host/Color.h"
#include "host/Faults.h"
#include "kernels/MaskedPasses.h"
#include "kernels/SelectKeyColors.h"
#include "passes_support.h"
#include "tests/support/EffectSuites.h"

namespace {

using passes_test::TestPlane;

KeyColorEntry KeyOf(PF_Pixel rgb, int32_t range) {
    PF_Fixed hls[3];
    host::RGBtoHLS(rgb, hls);
    return {hls[0], hls[1], hls[2], range};
}

class KeySelection : public tovrin::test::EffectSuitesEnv {
protected:
    // The key list goes back to the host before the leak check.
    void TearDown() override {
        context_.reset();
        EffectSuitesEnv::TearDown();
    }

    // Runs the pass over the whole world into a fresh, cleared plane, remembering colours in a fresh cache
    // unless told not to; returns the host's result.
    PF_Err Select(host::World& world, PassFunction pass, std::initializer_list<KeyColorEntry> keys,
                  uint8_t value = 255, bool cached = true) {
        plane_ = std::make_unique<TestPlane>(world.Width(), world.Height());
        context_ = std::make_unique<KeySelectContext>();
        context_->source = world.get();
        context_->rect = {0, 0, world.Width(), world.Height()};
        context_->in_data = standIn_ ? nullptr : InData();
        for (const KeyColorEntry& k : keys)
            context_->keys.push_back(k);
        context_->selectedValue = value;
        context_->plane = plane_->plane();
        if (!keepCache_ || !cached)
            cache_.assign(cached ? kKeyColorCacheWords : 0, 0);
        context_->cache.words = cached ? cache_.data() : nullptr;
        return RunPass(InData(), PF_Iterations_ONCE_PER_PROCESSOR, context_.get(), pass);
    }
    uint8_t At(int x, int y) const { return plane_->At(x, y); }
    const SelectionPlane& Plane() const { return context_->plane; }

    // Row and column flags agree with the plane bytes.
    void ExpectFlagsMatchBytes(int width, int height) {
        for (int y = 0; y < height; ++y) {
            bool row = false;
            for (int x = 0; x < width; ++x)
                row = row || At(x, y);
            EXPECT_EQ(Plane().rowFlags[y], row ? 1 : 0) << "row " << y;
        }
        for (int x = 0; x < width; ++x) {
            bool column = false;
            for (int y = 0; y < height; ++y)
                column = column || At(x, y);
            EXPECT_EQ(Plane().columnFlags[x], column ? 1 : 0) << "column " << x;
        }
    }

    std::unique_ptr<TestPlane> plane_;
    std::unique_ptr<KeySelectContext> context_;
    std::vector<uint64_t> cache_;
    bool keepCache_ = false; // the next Select starts from the cache the last one left
    bool standIn_ = false;   // the pass is given no in_data, so no host conversion
};

TEST_F(KeySelection, EmptyKeyListSelectsNothing) {
    host::World world = MakeWorld(6, 4, PF_PixelFormat_ARGB32);
    ASSERT_EQ(Select(world, SelectKeyColors8, {}), PF_Err_NONE);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(At(x, y), 0);
    ExpectFlagsMatchBytes(6, 4);
}

TEST_F(KeySelection, MatchingPixelsGetTheValueAndRaiseTheirFlags) {
    host::World world = MakeWorld(7, 5, PF_PixelFormat_ARGB32);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            world.At8(x, y) = {255, 20, 40, 60};
    world.At8(2, 1) = {0, 250, 10, 10}; // red, transparent: alpha plays no part
    world.At8(5, 3) = {255, 250, 10, 10};
    world.At8(6, 3) = {255, 10, 10, 250}; // blue
    ASSERT_EQ(
        Select(world, SelectKeyColors8, {KeyOf({255, 250, 10, 10}, 0), KeyOf({255, 10, 10, 250}, 0)}, 77),
        PF_Err_NONE);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) {
            const bool match = (x == 2 && y == 1) || (x == 5 && y == 3) || (x == 6 && y == 3);
            EXPECT_EQ(At(x, y), match ? 77 : 0) << x << "," << y;
        }
    ExpectFlagsMatchBytes(7, 5);
}

TEST_F(KeySelection, HueWrapsAroundInThePass) {
    // A colour of hue about 10 degrees against a key 20 degrees away across 0: distance exactly 1280.
    host::World world = MakeWorld(2, 1, PF_PixelFormat_ARGB32);
    world.At8(0, 0) = {255, 255, 43, 0};
    world.At8(1, 0) = {255, 0, 43, 255};
    KeyColorEntry key = KeyOf({255, 255, 43, 0}, 1280);
    key.hue += key.hue >= 20 * 65536 ? -20 * 65536 : 340 * 65536;
    ASSERT_EQ(Select(world, SelectKeyColors8, {key}), PF_Err_NONE);
    EXPECT_EQ(At(0, 0), 255);
    EXPECT_EQ(At(1, 0), 0);
    key.range = 1279;
    ASSERT_EQ(Select(world, SelectKeyColors8, {key}), PF_Err_NONE);
    EXPECT_EQ(At(0, 0), 0);
}

TEST_F(KeySelection, FullRangeSelectsEveryColourAndZeroRangeOnlyTheKey) {
    host::World world = MakeWorld(16, 16, PF_PixelFormat_ARGB32);
    std::mt19937 random(5);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            world.At8(x, y) = {255, static_cast<A_u_char>(random()), static_cast<A_u_char>(random()),
                               static_cast<A_u_char>(random())};
    world.At8(0, 0) = {255, 0, 0, 0};
    world.At8(15, 15) = {255, 255, 255, 255};
    world.At8(3, 9) = {255, 200, 100, 50};
    ASSERT_EQ(Select(world, SelectKeyColors8, {KeyOf({255, 255, 0, 0}, 27904)}), PF_Err_NONE);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(At(x, y), 255) << x << "," << y;
    ASSERT_EQ(Select(world, SelectKeyColors8, {KeyOf({255, 200, 100, 50}, 0)}), PF_Err_NONE);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            EXPECT_EQ(At(x, y), x == 3 && y == 9 ? 255 : 0) << x << "," << y;
    ExpectFlagsMatchBytes(16, 16);
}

TEST_F(KeySelection, ValueZeroFlagsNothing) {
    host::World world = MakeWorld(3, 3, PF_PixelFormat_ARGB32);
    ASSERT_EQ(Select(world, SelectKeyColors8, {KeyOf({255, 0, 0, 0}, 27904)}, 0), PF_Err_NONE);
    ExpectFlagsMatchBytes(3, 3);
    EXPECT_EQ(Plane().rowFlags[1], 0);
}

TEST_F(KeySelection, EachColourIsConvertedOnce) {
    Host().SetWorkerThreads(1);
    host::World world = MakeWorld(10, 3, PF_PixelFormat_ARGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 10; ++x)
            world.At8(x, y) = (x / 2 + y) % 3 == 0 ? PF_Pixel{255, 30, 60, 90} : PF_Pixel{255, 200, 60, 90};
    world.At8(1, 0).alpha = 17; // only alpha differs: the same colour
    world.At8(7, 2) = {255, 1, 2, 3};
    Host().Faults().Clear();
    ASSERT_EQ(Select(world, SelectKeyColors8, {KeyOf({255, 30, 60, 90}, 0)}), PF_Err_NONE);
    EXPECT_EQ(Host().Faults().Uses(host::Fault::RGBtoHLS), 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 10; ++x)
            EXPECT_EQ(At(x, y), world.At8(x, y).red == 30 ? 255 : 0) << x << "," << y;
    // Without a cache each run of one colour is converted: 4 + 3 + 5 runs.
    Host().Faults().Clear();
    ASSERT_EQ(Select(world, SelectKeyColors8, {KeyOf({255, 30, 60, 90}, 0)}, 255, false), PF_Err_NONE);
    EXPECT_EQ(Host().Faults().Uses(host::Fault::RGBtoHLS), 12);
    EXPECT_EQ(At(1, 0), 255);
}

// Threads store a cache word without a locked instruction, so one may drop colours another just added:
// those colours are asked again and answer as before.
TEST_F(KeySelection, ColoursDroppedFromTheCacheAreAskedAgainWithTheSameAnswer) {
    Host().SetWorkerThreads(1);
    host::World world = MakeWorld(64, 8, PF_PixelFormat_ARGB32);
    std::mt19937 random(5);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 64; ++x)
            world.At8(x, y) =
                PF_Pixel{255, static_cast<A_u_char>(120 + random() % 24),
                         static_cast<A_u_char>(60 + random() % 24), static_cast<A_u_char>(random())};
    const KeyColorEntry key = KeyOf({255, 130, 70, 128}, 3000);
    ASSERT_EQ(Select(world, SelectKeyColors8, {key}), PF_Err_NONE);
    std::vector<uint8_t> reference;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 64; ++x)
            reference.push_back(At(x, y));
    ASSERT_NE(std::count(reference.begin(), reference.end(), 255), 0);
    ASSERT_NE(std::count(reference.begin(), reference.end(), 0), 0);

    int dropped = 0, kept = 0;
    bool drop = false;
    for (uint64_t& word : cache_) {
        if (!word)
            continue;
        const int colours = std::popcount(word & 0x5555555555555555u);
        (drop ? dropped : kept) += colours;
        if (drop)
            word = 0;
        drop = !drop;
    }
    ASSERT_GT(dropped, 0);
    ASSERT_GT(kept, 0);
    keepCache_ = true;
    Host().Faults().Clear();
    ASSERT_EQ(Select(world, SelectKeyColors8, {key}), PF_Err_NONE);
    EXPECT_EQ(Host().Faults().Uses(host::Fault::RGBtoHLS), dropped);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 64; ++x)
            EXPECT_EQ(At(x, y), reference[static_cast<std::size_t>(y * 64 + x)]) << x << "," << y;
}

TEST_F(KeySelection, AFailedConversionIsNotRemembered) {
    Host().SetWorkerThreads(1);
    host::World world = MakeWorld(3, 1, PF_PixelFormat_ARGB32);
    world.At8(0, 0) = world.At8(2, 0) = {255, 250, 10, 10};
    world.At8(1, 0) = {255, 10, 250, 10};
    Host().Faults().Clear();
    Host().Faults().Inject(host::Fault::RGBtoHLS, 1, PF_Err_OUT_OF_MEMORY);
    ASSERT_EQ(Select(world, SelectKeyColors8, {KeyOf({255, 250, 10, 10}, 0)}), PF_Err_NONE);
    EXPECT_EQ(Host().Faults().Uses(host::Fault::RGBtoHLS), 3); // the red is asked again
    EXPECT_EQ(At(1, 0), 0);
    EXPECT_EQ(At(2, 0), 255);
    Host().Faults().Clear();
}

// Without the host's conversion the pass converts with the stand-in, whose answers can differ from the
// host's by a unit: a key at the stand-in's value of a colour, with no range, selects exactly that colour.
TEST_F(KeySelection, WithoutTheHostsConversionTheStandInAnswers) {
    host::World world = MakeWorld(4, 2, PF_PixelFormat_ARGB32);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            world.At8(x, y) = x == y + 1 ? PF_Pixel{255, 200, 37, 91} : PF_Pixel{255, 201, 37, 91};
    PF_Fixed hls[3];
    StandInRgbToHls({255, 200, 37, 91}, hls);
    standIn_ = true;
    ASSERT_EQ(Select(world, SelectKeyColors8, {{hls[0], hls[1], hls[2], 0}}), PF_Err_NONE);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(At(x, y), x == y + 1 ? 255 : 0) << x << "," << y;
    ExpectFlagsMatchBytes(4, 2);
}

TEST_F(KeySelection, FirstPixelOfABlockIsTestedWhateverItsRed) {
    // A block starting on a pixel whose red is already the altered value must still be tested.
    host::World world8 = MakeWorld(2, 1, PF_PixelFormat_ARGB32);
    world8.At8(0, 0) = {255, 255, 0, 0};
    world8.At8(1, 0) = {255, 255, 0, 0};
    ASSERT_EQ(Select(world8, SelectKeyColors8, {KeyOf({255, 255, 0, 0}, 0)}), PF_Err_NONE);
    EXPECT_EQ(At(0, 0), 255);
    EXPECT_EQ(At(1, 0), 255);
    host::World world16 = MakeWorld(1, 1, PF_PixelFormat_ARGB64);
    world16.At16(0, 0) = {32768, 32768, 0, 0};
    ASSERT_EQ(Select(world16, SelectKeyColors16, {KeyOf({255, 255, 0, 0}, 0)}), PF_Err_NONE);
    EXPECT_EQ(At(0, 0), 255);
    host::World worldFloat = MakeWorld(1, 1, PF_PixelFormat_ARGB128);
    worldFloat.AtFloat(0, 0) = {1.0f, 1.0f, 0.0f, 0.0f};
    ASSERT_EQ(Select(worldFloat, SelectKeyColorsFloat, {KeyOf({255, 255, 0, 0}, 0)}), PF_Err_NONE);
    EXPECT_EQ(At(0, 0), 255);
}

TEST_F(KeySelection, SixteenBitPixelsAreTestedAsTheirEightBitColour) {
    host::World world = MakeWorld(4, 1, PF_PixelFormat_ARGB64);
    world.At16(0, 0) = {32768, ConvertChannel8To16(200), ConvertChannel8To16(100), ConvertChannel8To16(50)};
    world.At16(1, 0) = {32768, ConvertChannel8To16(201), ConvertChannel8To16(100), ConvertChannel8To16(50)};
    // Above full scale (outside the format) counts as white, not as a wrapped dark value.
    world.At16(2, 0) = {32768, 65535, 65535, 40000};
    world.At16(3, 0) = {32768, 32768, 32768, 32768};
    ASSERT_EQ(
        Select(world, SelectKeyColors16, {KeyOf({255, 200, 100, 50}, 0), KeyOf({255, 255, 255, 255}, 0)}),
        PF_Err_NONE);
    EXPECT_EQ(At(0, 0), 255);
    EXPECT_EQ(At(1, 0), 0);
    EXPECT_EQ(At(2, 0), 255);
    EXPECT_EQ(At(3, 0), 255);
}

TEST_F(KeySelection, FloatPixelsAreTestedAsTheirRoundedBytes) {
    host::World world = MakeWorld(4, 1, PF_PixelFormat_ARGB128);
    world.AtFloat(0, 0) = {1.0f, 0.5f, 0.25f, 0.0f};                                    // (128, 64, 0)
    world.AtFloat(1, 0) = {0.0f, 0.5f, 0.25f, 0.0f};                                    // alpha differs only
    world.AtFloat(2, 0) = {1.0f, 0.51f, 0.25f, 0.0f};                                   // red 130
    world.AtFloat(3, 0) = {1.0f, 7.0f, -1.0f, std::numeric_limits<float>::quiet_NaN()}; // (255, 0, 0)
    ASSERT_EQ(Select(world, SelectKeyColorsFloat, {KeyOf({255, 128, 64, 0}, 0), KeyOf({255, 255, 0, 0}, 0)}),
              PF_Err_NONE);
    EXPECT_EQ(At(0, 0), 255);
    EXPECT_EQ(At(1, 0), 255);
    EXPECT_EQ(At(2, 0), 0);
    EXPECT_EQ(At(3, 0), 255);
}

TEST_F(KeySelection, TheHostsColourErrorIsNotExaminedInThePass) {
    host::World world = MakeWorld(3, 1, PF_PixelFormat_ARGB32);
    Host().Faults().Inject(host::Fault::RGBtoHLS, 1, PF_Err_OUT_OF_MEMORY, true);
    EXPECT_EQ(Select(world, SelectKeyColors8, {KeyOf({255, 0, 0, 0}, 27904)}), PF_Err_NONE);
    Host().Faults().Clear();
}

TEST_F(KeySelection, SamePlaneForOneTwoAndSevenThreads) {
    for (PF_PixelFormat format : {PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB64, PF_PixelFormat_ARGB128}) {
        host::World world = MakeWorld(41, 29, format);
        std::mt19937 random(9);
        // Runs of repeated colours from a small palette, so repeats cross row and block boundaries.
        const PF_Pixel palette[] = {{255, 250, 10, 10}, {255, 10, 250, 10}, {255, 128, 128, 128},
                                    {0, 250, 10, 10},   {255, 12, 12, 240}, {255, 0, 0, 0}};
        PF_Pixel current = palette[0];
        for (int y = 0; y < 29; ++y)
            for (int x = 0; x < 41; ++x) {
                if (random() % 4 == 0)
                    current = palette[random() % 6];
                if (format == PF_PixelFormat_ARGB32)
                    world.At8(x, y) = current;
                else if (format == PF_PixelFormat_ARGB64)
                    world.At16(x, y) = {ConvertChannel8To16(current.alpha), ConvertChannel8To16(current.red),
                                        ConvertChannel8To16(current.green),
                                        ConvertChannel8To16(current.blue)};
                else
                    world.AtFloat(x, y) = {current.alpha / 255.0f, current.red / 255.0f,
                                           current.green / 255.0f, current.blue / 255.0f};
            }
        const PassFunction pass = format == PF_PixelFormat_ARGB32   ? SelectKeyColors8
                                  : format == PF_PixelFormat_ARGB64 ? SelectKeyColors16
                                                                    : SelectKeyColorsFloat;
        std::vector<uint8_t> reference;
        for (int threads : {1, 2, 7}) {
            Host().SetWorkerThreads(threads);
            ASSERT_EQ(Select(world, pass, {KeyOf({255, 250, 12, 10}, 300), KeyOf({255, 10, 10, 250}, 800)}),
                      PF_Err_NONE);
            std::vector<uint8_t> result;
            for (int y = 0; y < 29; ++y)
                for (int x = 0; x < 41; ++x)
                    result.push_back(At(x, y));
            for (int y = 0; y < 29; ++y)
                result.push_back(Plane().rowFlags[y]);
            for (int x = 0; x < 41; ++x)
                result.push_back(Plane().columnFlags[x]);
            if (reference.empty())
                reference = result;
            EXPECT_EQ(result, reference) << "format " << format << ", " << threads << " threads";
            ExpectFlagsMatchBytes(41, 29);
        }
    }
}

} // namespace
