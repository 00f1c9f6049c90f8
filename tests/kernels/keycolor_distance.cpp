// The key test's measure: weighted HLS distance with hue wrap-around, the colour a float pixel is tested
// as, and the stand-in HLS conversion for hosts without one.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "host/Color.h"
#include "kernels/SelectKeyColors.h"

namespace {

constexpr PF_Fixed Degrees(int d) {
    return d * 65536;
}

TEST(KeyDistance, HueWrapsAroundAtThreeHundredSixtyDegrees) {
    const KeyColorEntry key{Degrees(350), 32768, 65536, 0};
    const PF_Fixed near[3] = {Degrees(10), 32768, 65536};
    // 20 degrees × 512 units per degree / 8.
    EXPECT_EQ(KeyDistance(near, key), 1280);
    const PF_Fixed mirrored[3] = {Degrees(330), 32768, 65536};
    EXPECT_EQ(KeyDistance(mirrored, key), 1280);
}

TEST(KeyDistance, WeightsLightnessAndSaturationByFullScaleOverEight) {
    const KeyColorEntry key{0, 0, 0, 0};
    const PF_Fixed light[3] = {0, 65536, 0};
    EXPECT_EQ(KeyDistance(light, key), 8192);
    const PF_Fixed both[3] = {0, 32768, 32768};
    EXPECT_EQ(KeyDistance(both, key), 8192);
    const PF_Fixed tiny[3] = {0, 7, 0};
    EXPECT_EQ(KeyDistance(tiny, key), 0); // a weighted sum below 8 is distance 0
}

TEST(KeyDistance, LargestDistanceIs27904) {
    const KeyColorEntry key{0, 0, 0, 0};
    const PF_Fixed far[3] = {Degrees(180), 65536, 65536};
    EXPECT_EQ(KeyDistance(far, key), 27904);
    const PF_Fixed past[3] = {Degrees(181), 65536, 65536};
    EXPECT_LT(KeyDistance(past, key), 27904);
}

TEST(KeyColorOfFloat, RoundsEachChannelToTheNearestByteWithAlpha255) {
    const PF_Pixel p = KeyColorOfFloat({1.0f, 0.5f, 0.25f, 0.0f});
    EXPECT_EQ(p.alpha, 255);
    EXPECT_EQ(p.red, 128);
    EXPECT_EQ(p.green, 64);
    EXPECT_EQ(p.blue, 0);
    const PF_Pixel q = KeyColorOfFloat({0.0f, 1.0f, 0.998f, 0.002f});
    EXPECT_EQ(q.alpha, 255);
    EXPECT_EQ(q.red, 255);
    EXPECT_EQ(q.green, 254);
    EXPECT_EQ(q.blue, 1);
}

TEST(KeyColorOfFloat, ChannelsOutsideTheRangeClampInsteadOfWrapping) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const PF_Pixel p = KeyColorOfFloat({0.5f, 2.0f, -1.0f, nan});
    EXPECT_EQ(p.red, 255);
    EXPECT_EQ(p.green, 0);
    EXPECT_EQ(p.blue, 0);
    const PF_Pixel q = KeyColorOfFloat({0.5f, inf, -inf, 1.0000001f});
    EXPECT_EQ(q.red, 255);
    EXPECT_EQ(q.green, 0);
    EXPECT_EQ(q.blue, 255);
}

TEST(StandInRgbToHls, PrimariesAndGreyHaveTheHostsScales) {
    PF_Fixed hls[3];
    StandInRgbToHls({255, 255, 0, 0}, hls);
    EXPECT_EQ(hls[0], 0);
    EXPECT_EQ(hls[1], 32768);
    EXPECT_EQ(hls[2], 65536);
    StandInRgbToHls({255, 0, 255, 0}, hls);
    EXPECT_EQ(hls[0], Degrees(120));
    StandInRgbToHls({255, 0, 0, 255}, hls);
    EXPECT_EQ(hls[0], Degrees(240));
    StandInRgbToHls({255, 255, 0, 255}, hls);
    EXPECT_EQ(hls[0], Degrees(300));
    StandInRgbToHls({255, 255, 255, 255}, hls);
    EXPECT_EQ(hls[0], 0);
    EXPECT_EQ(hls[1], 65536);
    EXPECT_EQ(hls[2], 0);
    StandInRgbToHls({255, 0, 0, 0}, hls);
    EXPECT_EQ(hls[1], 0);
    EXPECT_EQ(hls[2], 0);
}

TEST(StandInRgbToHls, AgreesWithTheEmbeddedHostToOneUnit) {
    for (int r = 0; r < 256; r += 15)
        for (int g = 0; g < 256; g += 15)
            for (int b = 0; b < 256; b += 15) {
                const PF_Pixel p{255, static_cast<A_u_char>(r), static_cast<A_u_char>(g),
                                 static_cast<A_u_char>(b)};
                PF_Fixed ours[3];
                PF_Fixed theirs[3];
                StandInRgbToHls(p, ours);
                host::RGBtoHLS(p, theirs);
                for (int k = 0; k < 3; ++k)
                    ASSERT_LE(std::abs(ours[k] - theirs[k]), 1)
                        << r << "," << g << "," << b << " component " << k;
            }
}

TEST(ConvertRgbToHls, FallsBackToTheStandInWithoutAHost) {
    PF_Fixed hls[3] = {-1, -1, -1};
    EXPECT_EQ(ConvertRgbToHls(nullptr, {255, 0, 255, 0}, hls), PF_Err_NONE);
    EXPECT_EQ(hls[0], Degrees(120));
}

} // namespace
