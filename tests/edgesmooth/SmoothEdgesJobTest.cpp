// A whole job through the embedded host: dispatch by pixel format, the checks before anything is
// written, the copy, the flag map's world and every host failure on the way.
#include <cstring>
#include <random>

#include "edgesmooth/EdgeSmooth.h"
#include "host/Host.h"
#include "sdk/AE_EffectSuites.h"
#include "tests/edgesmooth/EdgeTestSupport.h"
#include "tests/support/EffectEnv.h"

namespace {

// A cel-like image: flat blobs of a few colours, some transparent, on a flat ground.
template <class Pixel>
TestImage<Pixel> Cel(int32_t w, int32_t h, const std::vector<Pixel>& colours, unsigned seed) {
    std::mt19937 rng(seed);
    TestImage<Pixel> image(w, h, colours[0]);
    for (int blob = 0; blob < 12; ++blob) {
        const int32_t cx = int32_t(rng() % unsigned(w)), cy = int32_t(rng() % unsigned(h));
        const int32_t r = 1 + int32_t(rng() % 6);
        const Pixel c = colours[rng() % colours.size()];
        for (int32_t y = std::max(0, cy - r); y < std::min(h, cy + r); ++y)
            for (int32_t x = std::max(0, cx - r); x < std::min(w, cx + r); ++x)
                if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r)
                    image.At(x, y) = c;
    }
    return image;
}

class SmoothEdgesJob : public tovrin::test::EffectEnv {
protected:
    template <class Pixel>
    host::World WorldOf(const TestImage<Pixel>& image, PF_PixelFormat format) {
        host::World world = MakeWorld(image.width, image.height, format);
        std::vector<std::uint8_t> bytes(image.pixels.size() * sizeof(Pixel));
        std::memcpy(bytes.data(), image.pixels.data(), bytes.size());
        world.SetPixels(bytes);
        return world;
    }
    template <class Pixel>
    static TestImage<Pixel> ImageOf(const host::World& world) {
        TestImage<Pixel> image(world.Width(), world.Height());
        const std::vector<std::uint8_t> bytes = world.Pixels();
        std::memcpy(image.pixels.data(), bytes.data(), bytes.size());
        return image;
    }
    EdgeSmoothJob Job(host::World& source, host::World& destination, PF_PixelFormat format) {
        EdgeSmoothJob job;
        job.in_data = InData();
        job.source = source.get();
        job.destination = destination.get();
        job.pixelFormat = format;
        return job;
    }
    // Runs a job on `image` and checks the source is untouched and the map's world was given back.
    template <class Depth>
    TestImage<typename Depth::Pixel> Run(const TestImage<typename Depth::Pixel>& image,
                                         int32_t strength = 70) {
        using Pixel = typename Depth::Pixel;
        host::World source = WorldOf(image, Depth::kFormat);
        host::World destination = MakeWorld(image.width, image.height, Depth::kFormat, false);
        EdgeSmoothJob job = Job(source, destination, Depth::kFormat);
        job.strength = strength;
        EXPECT_EQ(SmoothEdges(&job), PF_Err_NONE);
        EXPECT_EQ(Differences(image, ImageOf<Pixel>(source)), std::vector<std::string>{});
        EXPECT_EQ(Host().Worlds().livePluginWorlds, 0u);
        return ImageOf<Pixel>(destination);
    }
};

TEST_F(SmoothEdgesJob, EachFormatRunsItsDepth) {
    const auto cel8 = Cel<PF_Pixel8>(
        37, 23,
        {{255, 250, 250, 240}, {255, 20, 20, 30}, {255, 200, 40, 40}, {0, 0, 0, 0}, {128, 40, 200, 40}}, 1);
    EXPECT_EQ(Differences(SmoothInMemory<EdgeDepth8>(cel8), Run<EdgeDepth8>(cel8)),
              std::vector<std::string>{});
    const auto cel16 = Cel<PF_Pixel16>(
        29, 31, {{32768, 32000, 32000, 30000}, {32768, 100, 2000, 0}, {0, 0, 0, 0}, {20000, 0, 32768, 9}}, 2);
    EXPECT_EQ(Differences(SmoothInMemory<EdgeDepth16>(cel16), Run<EdgeDepth16>(cel16)),
              std::vector<std::string>{});
    const auto celF = Cel<PF_PixelFloat>(
        31, 17, {{1, 1, 1, 0.9f}, {1, 0.1f, 0.05f, 0}, {0.5f, 0.2f, 0.9f, 0.3f}, {0, 0, 0, 0}}, 3);
    EXPECT_EQ(Differences(SmoothInMemory<EdgeDepthFloat>(celF), Run<EdgeDepthFloat>(celF)),
              std::vector<std::string>{});
    // Something did change: the test images have edges.
    EXPECT_FALSE(Differences(cel8, Run<EdgeDepth8>(cel8)).empty());
    EXPECT_EQ(Host().Worlds().created, 4u * 3u); // four jobs: the test's two worlds and the map each
}

TEST_F(SmoothEdgesJob, HostRowPaddingDoesNotMatter) {
    const auto cel = Cel<PF_Pixel8>(21, 19, {{255, 250, 250, 240}, {255, 20, 20, 30}, {0, 0, 0, 0}}, 4);
    Host().settings().rowPaddingBytes = 0;
    const auto tight = Run<EdgeDepth8>(cel);
    Host().settings().rowPaddingBytes = 1000;
    EXPECT_EQ(Differences(tight, Run<EdgeDepth8>(cel)), std::vector<std::string>{});
}

TEST_F(SmoothEdgesJob, StrengthZeroIsAPlainCopyWithoutAMap) {
    const auto cel = Cel<PF_Pixel8>(16, 9, {{255, 250, 250, 240}, {255, 20, 20, 30}}, 5);
    const std::size_t before = Host().Worlds().created;
    EXPECT_EQ(Differences(cel, Run<EdgeDepth8>(cel, 0)), std::vector<std::string>{});
    EXPECT_EQ(Host().Worlds().created, before + 2); // the test's own two worlds
}

// A job refused before the copy leaves the destination as it was (the host's poison).
class RefusedJob : public SmoothEdgesJob {
protected:
    void ExpectRefused(EdgeSmoothJob& job, PF_Err expected, host::World& destination) {
        const std::vector<std::uint8_t> before = destination.Pixels();
        EXPECT_EQ(SmoothEdges(&job), expected);
        EXPECT_EQ(destination.Pixels(), before);
    }
};

TEST_F(RefusedJob, UnknownPixelFormat) {
    host::World a = MakeWorld(8, 8, PF_PixelFormat_ARGB32), b = MakeWorld(8, 8, PF_PixelFormat_ARGB32, false);
    EdgeSmoothJob job = Job(a, b, PF_PixelFormat_BGRA32);
    ExpectRefused(job, PF_Err_UNRECOGNIZED_PARAM_TYPE, b);
    job.pixelFormat = 0;
    ExpectRefused(job, PF_Err_UNRECOGNIZED_PARAM_TYPE, b);
}

TEST_F(RefusedJob, WorldsOfDifferentSizes) {
    host::World a = MakeWorld(8, 8, PF_PixelFormat_ARGB64);
    host::World wider = MakeWorld(9, 8, PF_PixelFormat_ARGB64, false);
    host::World taller = MakeWorld(8, 9, PF_PixelFormat_ARGB64, false);
    EdgeSmoothJob job = Job(a, wider, PF_PixelFormat_ARGB64);
    ExpectRefused(job, PF_Err_BAD_CALLBACK_PARAM, wider);
    job = Job(a, taller, PF_PixelFormat_ARGB64);
    ExpectRefused(job, PF_Err_BAD_CALLBACK_PARAM, taller);
}

TEST_F(RefusedJob, NegativeStrength) {
    host::World a = MakeWorld(8, 8, PF_PixelFormat_ARGB128),
                b = MakeWorld(8, 8, PF_PixelFormat_ARGB128, false);
    EdgeSmoothJob job = Job(a, b, PF_PixelFormat_ARGB128);
    job.strength = -1;
    ExpectRefused(job, PF_Err_BAD_CALLBACK_PARAM, b);
}

TEST_F(RefusedJob, MissingPieces) {
    EXPECT_EQ(SmoothEdges(nullptr), PF_Err_BAD_CALLBACK_PARAM);
    host::World a = MakeWorld(4, 4, PF_PixelFormat_ARGB32), b = MakeWorld(4, 4, PF_PixelFormat_ARGB32, false);
    EdgeSmoothJob job = Job(a, b, PF_PixelFormat_ARGB32);
    job.in_data = nullptr;
    ExpectRefused(job, PF_Err_BAD_CALLBACK_PARAM, b);
    job = Job(a, b, PF_PixelFormat_ARGB32);
    job.source = nullptr;
    ExpectRefused(job, PF_Err_BAD_CALLBACK_PARAM, b);
    // A world whose rows are shorter than its width: refused rather than read past.
    job = Job(a, b, PF_PixelFormat_ARGB32);
    PF_EffectWorld shortRows = *a.get();
    shortRows.rowbytes = 4 * 3;
    job.source = &shortRows;
    ExpectRefused(job, PF_Err_BAD_CALLBACK_PARAM, b);
}

TEST_F(SmoothEdgesJob, CopyFailureIsReturned) {
    const auto cel = Cel<PF_Pixel8>(12, 12, {{255, 250, 250, 240}, {255, 20, 20, 30}}, 6);
    host::World a = WorldOf(cel, PF_PixelFormat_ARGB32), b = MakeWorld(12, 12, PF_PixelFormat_ARGB32, false);
    const std::size_t before = Host().Worlds().created;
    Host().Faults().Inject(host::Fault::Copy, 1, PF_Err_INTERNAL_STRUCT_DAMAGED);
    EdgeSmoothJob job = Job(a, b, PF_PixelFormat_ARGB32);
    EXPECT_EQ(SmoothEdges(&job), PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(Host().Worlds().created, before); // no map was made
}

TEST_F(SmoothEdgesJob, MapWorldRefusalLeavesTheCopy) {
    const auto cel = Cel<PF_Pixel16>(12, 12, {{32768, 32000, 32000, 30000}, {32768, 100, 2000, 0}}, 7);
    host::World a = WorldOf(cel, PF_PixelFormat_ARGB64), b = MakeWorld(12, 12, PF_PixelFormat_ARGB64, false);
    Host().Faults().Inject(host::Fault::NewWorld, 1);
    EdgeSmoothJob job = Job(a, b, PF_PixelFormat_ARGB64);
    EXPECT_EQ(SmoothEdges(&job), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(Differences(cel, ImageOf<PF_Pixel16>(b)), std::vector<std::string>{});
}

TEST_F(SmoothEdgesJob, MissingSuiteRaisesTheSuiteFailure) {
    host::World a = MakeWorld(6, 6, PF_PixelFormat_ARGB32), b = MakeWorld(6, 6, PF_PixelFormat_ARGB32, false);
    EdgeSmoothJob job = Job(a, b, PF_PixelFormat_ARGB32);
    Host().Faults().RefuseSuite(kPFWorldTransformSuite, kPFWorldTransformSuiteVersion1);
    try {
        SmoothEdges(&job);
        ADD_FAILURE() << "no suite failure raised";
    } catch (A_long err) {
        EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
    }
    // Without World Suite 1 the copy is made first; the transform suite is released on the way out
    // (the fixture checks that no suite stays held).
    Host().Faults().AllowSuite(kPFWorldTransformSuite, kPFWorldTransformSuiteVersion1);
    Host().Faults().RefuseSuite(kPFWorldSuite, kPFWorldSuiteVersion1);
    EXPECT_THROW(SmoothEdges(&job), A_long);
    EXPECT_EQ(Host().SuitesHeld(), 0);
}

} // namespace
