// The band passes' lone-pixel averages give the definitions' bits at every depth: every neighbour count,
// weights from none to far above the drivers' strengths (at 8 bits on both sides of the limit of the
// double quotients), transparent and full-range channels, and pixels whose alpha sum is 0.
#include "edgesmooth/LoneAverage.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <limits>
#include <random>

#include "tests/edgesmooth/EdgeTestSupport.h"

namespace {

template <class Pixel, class Rng>
Pixel RandomPixel(Rng& rng) {
    if constexpr (std::is_same_v<Pixel, PF_PixelFloat>) {
        const auto channel = [&rng]() -> float {
            switch (rng() % 6) {
            case 0:
                return 0.0f;
            case 1:
                return 1.0f;
            case 2:
                return -0.0f;
            case 3:
                return float(rng() % 4000) / 1000.0f - 1.0f; // out of range too
            default:
                return float(rng() % 100001) / 100000.0f;
            }
        };
        return Pixel{rng() % 3 == 0 ? 0.0f : channel(), channel(), channel(), channel()};
    } else {
        using Channel = decltype(Pixel{}.alpha);
        constexpr uint32_t top = std::numeric_limits<Channel>::max();
        const auto channel = [&rng]() -> Channel {
            switch (rng() % 4) {
            case 0:
                return 0;
            case 1:
                return Channel(top);
            case 2:
                return Channel(top / 2 + 1);
            default:
                return Channel(rng() % (top + 1));
            }
        };
        return Pixel{rng() % 3 == 0 ? Channel(0) : channel(), channel(), channel(), channel()};
    }
}

template <class Depth>
typename Depth::LoneWeight WeightOf(int64_t strength) {
    if constexpr (std::is_same_v<typename Depth::LoneWeight, float>)
        return LoneWeightFloat(strength);
    else
        return LoneWeightInteger(strength);
}

template <class Depth, int N>
void ExpectAverageOf(const LoneAverage<Depth>& average, typename Depth::LoneWeight w,
                     const typename Depth::Pixel& target, const typename Depth::Pixel* const* neighbours) {
    typename Depth::Pixel fast = target, plain = target;
    average.template Average<N>(fast, neighbours);
    AverageLonePixel(plain, neighbours, N, w);
    ASSERT_EQ(fast, plain) << "count " << N << " weight " << w;
}

template <class Depth>
void ExpectAveragesMatchTheDefinition(unsigned seed, const std::vector<int64_t>& strengths) {
    using Pixel = typename Depth::Pixel;
    std::mt19937 rng(seed);
    for (const int64_t strength : strengths) {
        const auto w = WeightOf<Depth>(strength);
        const LoneAverage<Depth> average(w);
        for (int round = 0; round < 4000; ++round) {
            Pixel pixels[5];
            for (Pixel& p : pixels)
                p = RandomPixel<Pixel>(rng);
            if (round % 7 == 0) // every neighbour transparent: only the target's own alpha weighs
                for (int i = 1; i < 5; ++i)
                    pixels[i].alpha = 0;
            const Pixel* const neighbours[4] = {&pixels[1], &pixels[2], &pixels[3], &pixels[4]};
            ExpectAverageOf<Depth, 1>(average, w, pixels[0], neighbours);
            ExpectAverageOf<Depth, 2>(average, w, pixels[0], neighbours);
            ExpectAverageOf<Depth, 3>(average, w, pixels[0], neighbours);
            ExpectAverageOf<Depth, 4>(average, w, pixels[0], neighbours);
        }
    }
}

TEST(LoneAverage, MatchesTheDefinitionAtEveryDepth) {
    // Strength 2^40 × 200 / 32767 puts the 8-bit weight just past the double quotients' limit.
    const int64_t limit = (int64_t(1) << 40) * 200 / 32767;
    const std::vector<int64_t> strengths = {0,   1,   13,   35,        70,        100,
                                            200, 400, 1000, limit - 1, limit + 1, int64_t(1) << 44};
    ExpectAveragesMatchTheDefinition<EdgeDepth8>(51, strengths);
    ExpectAveragesMatchTheDefinition<EdgeDepth16>(52, strengths);
    ExpectAveragesMatchTheDefinition<EdgeDepthFloat>(53, strengths);
}

// At 8 bits the largest sums the double quotients take: every channel full, the weight at its limit.
TEST(LoneAverage, EightBitFullChannelsAtTheWeightLimit) {
    for (const int64_t w : {(int64_t(1) << 40) - 1, int64_t(1) << 40, int64_t(65535), int64_t(1)}) {
        const LoneAverage<EdgeDepth8> average(w);
        for (const int alpha : {1, 128, 255}) {
            const PF_Pixel8 full{A_u_char(alpha), 255, 255, 255};
            const PF_Pixel8 dark{255, 0, 0, 1};
            const PF_Pixel8* const neighbours[4] = {&full, &full, &full, &full};
            ExpectAverageOf<EdgeDepth8, 4>(average, w, dark, neighbours);
            ExpectAverageOf<EdgeDepth8, 4>(average, w, full, neighbours);
        }
    }
}

// Runs of pixels of small and wide images, borders and corners included, as the plain pass averages them
// one by one: every instruction set the processor has, runs with gaps and pairs, single pixels.
template <class Depth>
void ExpectRunsAsThePlainPass(std::mt19937_64& rng, typename Depth::LoneWeight w) {
    using Pixel = typename Depth::Pixel;
    for (const auto& [width, height] :
         {std::pair{1, 1}, {1, 4}, {4, 1}, {2, 2}, {5, 3}, {64, 3}, {66, 4}, {130, 5}}) {
        TestImage<Pixel> source(width, height), target(width, height);
        for (Pixel& p : source.pixels)
            p = RandomPixel<Pixel>(rng);
        for (Pixel& p : target.pixels) // T differs from S where earlier blends moved it
            p = RandomPixel<Pixel>(rng);
        for (const EdgeIsa isa : {EdgeIsa::Plain, EdgeIsa::Avx2}) {
            if (isa > BestEdgeIsa())
                continue;
            const LoneAverage<Depth> average(w, isa);
            for (int32_t y = 0; y < height; ++y)
                for (int32_t x0 = 0; x0 < width; x0 += 64) {
                    const int32_t n = std::min(64, width - x0);
                    const uint64_t all = n == 64 ? ~uint64_t(0) : (uint64_t(1) << n) - 1;
                    for (const uint64_t run : {all, all & rng(), all & (rng() | rng()), all & uint64_t(1)}) {
                        TestImage<Pixel> fast = target, plain = target;
                        AverageLonePixelsAt<Depth>(source.template ViewAs<const Pixel>(),
                                                   fast.template ViewAs<Pixel>(), x0, y, run, average);
                        for (uint64_t a = run; a != 0; a &= a - 1)
                            AverageLonePixelOf<Depth>(source.template ViewAs<const Pixel>(),
                                                      plain.template ViewAs<Pixel>(),
                                                      x0 + std::countr_zero(a), y, w);
                        ASSERT_EQ(Differences(plain, fast), std::vector<std::string>{})
                            << width << " × " << height << ", row " << y << ", from " << x0 << ", isa "
                            << int(isa);
                    }
                }
        }
    }
}

template <class Depth>
void ExpectRunsAsThePlainPass(unsigned seed) {
    std::mt19937_64 rng(seed);
    // The drivers' strength; at 8 bits, the last below the AVX2 form's weight limit (2^24) and one past it.
    for (const int64_t strength : {70, 102400, 102406})
        ExpectRunsAsThePlainPass<Depth>(rng, WeightOf<Depth>(strength));
}

TEST(LoneAverage, RunsAsThePlainPassAtEveryInstructionSet) {
    ExpectRunsAsThePlainPass<EdgeDepth8>(61);
    ExpectRunsAsThePlainPass<EdgeDepth16>(62);
    ExpectRunsAsThePlainPass<EdgeDepthFloat>(63);
}

// The 16-bit and float averages from rows of products, used as the band pass uses them: rows top to
// bottom, the runs of a segment one after another (gaps between them, and pixels outside every run, left
// as they are), the pixels they leave averaged one by one; then the band decided again from its top after
// Restart, over a T that has changed. Every pixel as the plain pass averages it, nothing else written.
template <class Depth>
void ExpectProductRowsAverageAsThePlainPass(unsigned seed) {
    using Pixel = typename Depth::Pixel;
    std::mt19937_64 rng(seed);
    for (const int64_t strength : {70, 102400})
        for (const auto& [width, height] : {std::pair{3, 3},
                                            {4, 3},
                                            {5, 4},
                                            {64, 3},
                                            {65, 4},
                                            {66, 5},
                                            {127, 3},
                                            {128, 4},
                                            {130, 5},
                                            {200, 6}}) {
            const auto w = WeightOf<Depth>(strength);
            const LoneAverage<Depth> average(w);
            TestImage<Pixel> source(width, height);
            for (Pixel& p : source.pixels)
                p = RandomPixel<Pixel>(rng);
            std::vector<std::byte> memory(LoneProductRows<Depth>::Bytes(width));
            LoneProductRows<Depth> rows(memory.data(), width);
            const auto S = source.template ViewAs<const Pixel>();
            for (int decision = 0; decision < 2; ++decision) {
                rows.Restart();
                TestImage<Pixel> fast(width, height);
                for (Pixel& p : fast.pixels)
                    p = RandomPixel<Pixel>(rng);
                TestImage<Pixel> plain = fast;
                for (int32_t y = 1; y < height - 1; ++y)
                    for (int32_t x0 = 0; x0 < width; x0 += 64) {
                        const int32_t n = std::min(64, width - x0);
                        const uint64_t all = n == 64 ? ~uint64_t(0) : (uint64_t(1) << n) - 1;
                        // Up to four runs, each the pixels between two cuts, some thinned out; the segment
                        // dense enough for the products, or not.
                        const uint64_t alone = rng() % 4 == 0 ? 0 : ~uint64_t(0);
                        int from = 0;
                        for (int r = 0; r < 4 && from < n; ++r) {
                            const int to = r == 3 ? n : from + int(rng() % (n - from + 1));
                            const uint64_t below = to == 64 ? ~uint64_t(0) : (uint64_t(1) << to) - 1;
                            const uint64_t span = below & ~((uint64_t(1) << from) - 1);
                            const uint64_t run = span & all & (rng() % 3 == 0 ? rng() : ~uint64_t(0));
                            from = to;
                            const auto T = fast.template ViewAs<Pixel>();
                            const uint64_t left = rows.AveragePairs(S, T, x0, y, run, alone, average);
                            EXPECT_EQ(left & ~run, 0u);
                            AverageLonePixelsAt<Depth>(S, T, x0, y, left, average);
                            for (uint64_t a = run; a != 0; a &= a - 1)
                                AverageLonePixelOf<Depth>(S, plain.template ViewAs<Pixel>(),
                                                          x0 + std::countr_zero(a), y, w);
                            ASSERT_EQ(Differences(plain, fast), std::vector<std::string>{})
                                << width << " × " << height << ", row " << y << ", from " << x0 << ", run "
                                << r << ", decision " << decision;
                        }
                    }
            }
        }
}

TEST(LoneAverage, ProductRowsAverageAsThePlainPass) {
    if (BestEdgeIsa() != EdgeIsa::Avx2)
        GTEST_SKIP() << "the products are made with AVX2 only";
    ExpectProductRowsAverageAsThePlainPass<EdgeDepth16>(64);
    ExpectProductRowsAverageAsThePlainPass<EdgeDepthFloat>(65);
}

} // namespace
