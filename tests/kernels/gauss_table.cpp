// The Gaussian weight table: worked examples, and the invariants for every radius a blur can ask for.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "blur_support.h"

namespace {

using blur_test::BlurEnv;

class GaussTables : public BlurEnv {};

std::vector<int> Weights(const GaussTable& t) {
    return std::vector<int>(t.weights, t.weights + t.count);
}

int64_t Total(const GaussTable& t) {
    int64_t total = t.weights[0];
    for (int32_t k = 1; k < t.count; ++k)
        total += 2 * int64_t{t.weights[k]};
    return total + int64_t{t.flatWeight} * (2 * int64_t{t.radius} - 1);
}

// Worked with a calculator from exp(-k²/2v), the normalisation over 2r - 1 taps, truncation to 1/32768
// and the round-robin correction.
TEST_F(GaussTables, SmallTablesAsWorkedByHand) {
    EXPECT_EQ(Weights(BuildGaussTable(2, 0.5)), (std::vector<int>{18880, 6944}));
    EXPECT_EQ(Weights(BuildGaussTable(3, 9.0 / 8.0)), (std::vector<int>{12506, 8018, 2113}));
    EXPECT_EQ(Weights(BuildGaussTable(4, 2.0)), (std::vector<int>{9352, 7283, 3440, 985}));
    EXPECT_EQ(Weights(BuildGaussTable(2, 4.0)), (std::vector<int>{11852, 10458}));
}

TEST_F(GaussTables, RadiusOneOrLessIsTheCentreAlone) {
    for (int32_t r : {1, 0, -7}) {
        const GaussTable t = BuildGaussTable(r, 0.125);
        EXPECT_EQ(t.count, 1);
        EXPECT_EQ(t.radius, 1);
        EXPECT_EQ(t.weights[0], 32768);
        EXPECT_EQ(t.flatWeight, 0);
        EXPECT_EQ(t.flatTotal, 0);
    }
}

TEST_F(GaussTables, EveryRadiusTo300SumsToExactly32768) {
    for (int32_t r = 2; r <= 300; ++r)
        for (double d : {double(r), r - 0.5}) // r = ⌈d⌉ for both
            for (double v : {d * d / 8.0, d * d}) {
                const GaussTable t = BuildGaussTable(r, v);
                ASSERT_EQ(Total(t), 32768) << "r " << r << " v " << v;
                ASSERT_EQ(t.radius, r);
                ASSERT_EQ(t.count, r <= 100 ? r : 100);
                if (r <= 100) {
                    ASSERT_EQ(t.flatWeight, 0) << r;
                }
                ASSERT_EQ(t.flatTotal, t.flatWeight * (2 * r - 1)) << r;
                for (int32_t k = 0; k < t.count; ++k) {
                    ASSERT_LE(t.weights[k], 32768) << r;
                }
            }
}

// r = 101: the tail is g[100] alone, its 32768ths are the flat weight over 201 samples, and the table
// holds only what stands above it.
TEST_F(GaussTables, Radius101CarriesItsTailFlat) {
    const GaussTable t = BuildGaussTable(101, 101.0 * 101.0 / 8.0);
    EXPECT_EQ(t.count, 100);
    EXPECT_EQ(t.flatWeight, 7);
    EXPECT_EQ(t.flatTotal, 7 * 201);
    EXPECT_EQ(t.weights[0], 361);
    EXPECT_EQ(t.weights[1], 361);
    EXPECT_EQ(t.weights[99], 0);
    EXPECT_EQ(Total(t), 32768);
}

// Radii above 46340 would overflow a 32-bit k²; the longest blurs reach about 200 000. A narrow kernel
// has nothing left beyond distance 100, so any longer radius gives the table of radius 101.
TEST_F(GaussTables, HugeRadiiStayExact) {
    const GaussTable reference = BuildGaussTable(101, 100.0);
    for (int32_t r : {46341, 60000, 202101}) {
        const GaussTable t = BuildGaussTable(r, 100.0);
        EXPECT_EQ(Weights(t), Weights(reference)) << r;
        EXPECT_EQ(t.flatWeight, 0) << r;
        EXPECT_EQ(Total(BuildGaussTable(r, double(r) * r)), 32768) << r;
    }
}

TEST_F(GaussTables, CopiesShareTheWeights) {
    GaussTable a = BuildGaussTable(5, 3.0);
    const GaussTable b = a;
    EXPECT_EQ(a.weights, b.weights);
    EXPECT_EQ(a.owner.use_count(), 2);
    a = BuildGaussTable(3, 1.0);
    EXPECT_EQ(b.owner.use_count(), 1);
    EXPECT_EQ(Total(b), 32768);
}

} // namespace
