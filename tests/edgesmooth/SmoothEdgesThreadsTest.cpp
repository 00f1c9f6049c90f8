// A job split among the host's threads gives the plain pass's bytes: for 1, 2 and 7 calls per pass, at
// each depth, on content whose blends stay near their step (noise), reach across bands and chunks (long
// straight edges, strengths that run ramps to the border), overflow a band's first room for blends, and
// whose steps lie sparse or dense along the rows, and grain (lone pixels almost everywhere).
#include <algorithm>
#include <cstring>
#include <random>

#include "edgesmooth/EdgeSmooth.h"
#include "host/Host.h"
#include "tests/edgesmooth/EdgeTestSupport.h"
#include "tests/support/EffectEnv.h"

namespace {

template <class Pixel>
Pixel Grey(int v, int a = 255) {
    if constexpr (std::is_same_v<Pixel, PF_Pixel8>)
        return Pixel{A_u_char(a), A_u_char(v), A_u_char(v / 2), A_u_char(255 - v)};
    else if constexpr (std::is_same_v<Pixel, PF_Pixel16>)
        return Pixel{A_u_short(a * 128), A_u_short(v * 128), A_u_short(v * 64), A_u_short((255 - v) * 128)};
    else
        return Pixel{a / 255.0f, v / 255.0f, v / 510.0f, (255 - v) / 255.0f};
}

// Noise from a few levels (some transparent), with tall and wide bars and diagonal lines over it, so that
// long runs, thin lines and tracers all occur and ramps reach many rows away.
template <class Pixel>
TestImage<Pixel> Content(int32_t w, int32_t h, unsigned seed) {
    std::mt19937 rng(seed);
    TestImage<Pixel> image(w, h);
    for (Pixel& p : image.pixels)
        p = Grey<Pixel>(int(rng() % 6) * 40, rng() % 9 == 0 ? 0 : 255);
    for (int bar = 0; bar < 6; ++bar) {
        const int32_t x0 = int32_t(rng() % unsigned(w)), y0 = int32_t(rng() % unsigned(h));
        const bool tall = bar % 2 == 0;
        const int32_t bw = tall ? 1 + int32_t(rng() % 4) : w, bh = tall ? h : 1 + int32_t(rng() % 4);
        const Pixel c = Grey<Pixel>(int(rng() % 256));
        for (int32_t y = tall ? 0 : y0; y < std::min(h, (tall ? 0 : y0) + bh); ++y)
            for (int32_t x = tall ? x0 : 0; x < std::min(w, (tall ? x0 : 0) + bw); ++x)
                image.At(x, y) = c;
    }
    for (int line = 0; line < 4; ++line) {
        int32_t x = int32_t(rng() % unsigned(w)), y = 0;
        const int32_t step = 1 + int32_t(rng() % 3);
        const Pixel c = Grey<Pixel>(250);
        for (; x >= 0 && x < w && y < h; ++y, x += (y % step == 0 ? 1 : 0))
            image.At(x, y) = c;
    }
    return image;
}

// Flat ground with a few rectangles and a noisy block: most runs of 64 pixels hold few steps, some many.
template <class Pixel>
TestImage<Pixel> SparseContent(int32_t w, int32_t h, unsigned seed) {
    std::mt19937 rng(seed);
    TestImage<Pixel> image(w, h, Grey<Pixel>(90));
    for (int box = 0; box < 8; ++box) {
        const int32_t x0 = int32_t(rng() % unsigned(w)), y0 = int32_t(rng() % unsigned(h));
        const int32_t x1 = std::min(w, x0 + 1 + int32_t(rng() % 40)),
                      y1 = std::min(h, y0 + 1 + int32_t(rng() % 30));
        const Pixel c = Grey<Pixel>(int(rng() % 256), box == 0 ? 0 : 255);
        for (int32_t y = y0; y < y1; ++y)
            for (int32_t x = x0; x < x1; ++x)
                image.At(x, y) = c;
    }
    for (int32_t y = h / 3; y < h / 3 + 12 && y < h; ++y)
        for (int32_t x = w / 2; x < w / 2 + 70 && x < w; ++x)
            image.At(x, y) = Grey<Pixel>(int(rng() % 6) * 40);
    return image;
}

// A gradient under heavy grain, every channel moved on its own, some pixels transparent: nearly every
// pixel is averaged as a lone pixel with nothing else to do, in runs that other pixels' blends break, up
// to the image's borders and across the bands' first rows.
template <class Pixel>
TestImage<Pixel> GrainContent(int32_t w, int32_t h, unsigned seed) {
    std::mt19937 rng(seed);
    TestImage<Pixel> image(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const int v = std::clamp(40 + x * 160 / std::max(w, 1) + int(rng() % 49) - 24, 0, 255);
            Pixel p = Grey<Pixel>(v, rng() % 50 == 0 ? 0 : 255);
            p.green = Grey<Pixel>(std::clamp(v + int(rng() % 49) - 24, 0, 255)).green;
            image.At(x, y) = p;
        }
    return image;
}

class SmoothEdgesThreads : public tovrin::test::EffectEnv {
protected:
    template <class Depth>
    TestImage<typename Depth::Pixel> Run(const TestImage<typename Depth::Pixel>& image, int32_t strength) {
        using Pixel = typename Depth::Pixel;
        host::World source = MakeWorld(image.width, image.height, Depth::kFormat);
        std::vector<std::uint8_t> bytes(image.pixels.size() * sizeof(Pixel));
        std::memcpy(bytes.data(), image.pixels.data(), bytes.size());
        source.SetPixels(bytes);
        host::World destination = MakeWorld(image.width, image.height, Depth::kFormat, false);
        EdgeSmoothJob job;
        job.in_data = InData();
        job.source = source.get();
        job.destination = destination.get();
        job.pixelFormat = Depth::kFormat;
        job.strength = strength;
        EXPECT_EQ(SmoothEdges(&job), PF_Err_NONE);
        TestImage<Pixel> out(image.width, image.height);
        const std::vector<std::uint8_t> result = destination.Pixels();
        std::memcpy(out.pixels.data(), result.data(), result.size());
        return out;
    }

    template <class Depth>
    void ExpectPlainBytes(unsigned seed) {
        using Pixel = typename Depth::Pixel;
        struct Size {
            int32_t w, h;
        };
        // Taller than a chunk of every call count here; thin ones; more calls than rows; and one whose ramps
        // run to the border (a strength far above the drivers'), so that blends reach across chunks.
        // And a wide sparse one, most of whose runs of 64 pixels hold few steps.
        struct Case {
            int32_t w, h, strength;
            bool sparse = false;
            bool grain = false;
        };
        for (Case c :
             {Case{37, 301, 70}, Case{37, 301, 400}, Case{3, 260, 70}, Case{260, 5, 70}, Case{1, 9, 70},
              Case{9, 1, 70}, Case{64, 130, 70}, Case{12, 150, 1000000}, Case{300, 90, 70, true},
              Case{150, 120, 70, false, true}, Case{2, 40, 70, false, true}}) {
            const TestImage<Pixel> image = c.grain    ? GrainContent<Pixel>(c.w, c.h, seed++)
                                           : c.sparse ? SparseContent<Pixel>(c.w, c.h, seed++)
                                                      : Content<Pixel>(c.w, c.h, seed++);
            const TestImage<Pixel> plain = SmoothInMemory<Depth>(image, c.strength);
            for (int threads : {1, 2, 7}) {
                Host().SetWorkerThreads(threads);
                EXPECT_EQ(Differences(plain, Run<Depth>(image, c.strength)), std::vector<std::string>{})
                    << c.w << "x" << c.h << ", strength " << c.strength << ", " << threads << " threads";
            }
        }
    }
};

TEST_F(SmoothEdgesThreads, EightBitGivesThePlainPassBytes) {
    ExpectPlainBytes<EdgeDepth8>(100);
}
TEST_F(SmoothEdgesThreads, SixteenBitGivesThePlainPassBytes) {
    ExpectPlainBytes<EdgeDepth16>(200);
}
TEST_F(SmoothEdgesThreads, FloatGivesThePlainPassBytes) {
    ExpectPlainBytes<EdgeDepthFloat>(300);
}

} // namespace
