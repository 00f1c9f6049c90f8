// A whole job through the embedded host: dispatch by pixel format, the checks before anything is
// written, the flag map's world, the host memory of the passes and every host failure on the way.
#include <cstring>
#include <random>

#include "edgesmooth/EdgeSmooth.h"
#include "host/Faults.h"
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

TEST_F(SmoothEdgesJob, TheHostCopiesOnlyWhenThereIsNothingToSmooth) {
    const auto cel = Cel<PF_Pixel8>(12, 12, {{255, 250, 250, 240}, {255, 20, 20, 30}}, 6);
    host::World a = WorldOf(cel, PF_PixelFormat_ARGB32), b = MakeWorld(12, 12, PF_PixelFormat_ARGB32, false);
    EdgeSmoothJob job = Job(a, b, PF_PixelFormat_ARGB32);
    Host().Faults().Clear();
    EXPECT_EQ(SmoothEdges(&job), PF_Err_NONE);
    EXPECT_EQ(Host().Faults().Uses(host::Fault::Copy), 0); // the passes copy the rows they detect
    job.strength = 0;
    Host().Faults().Inject(host::Fault::Copy, 1, PF_Err_INTERNAL_STRUCT_DAMAGED);
    const std::size_t before = Host().Worlds().created;
    EXPECT_EQ(SmoothEdges(&job), PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(Host().Worlds().created, before); // no map was made
}

// Every refused service of the host ends the job with the host's code and gives back what it took.
TEST_F(SmoothEdgesJob, RefusedServicesAreReturned) {
    const auto cel = Cel<PF_Pixel16>(40, 150, {{32768, 32000, 32000, 30000}, {32768, 100, 2000, 0}}, 7);
    host::World a = WorldOf(cel, PF_PixelFormat_ARGB64), b = MakeWorld(40, 150, PF_PixelFormat_ARGB64, false);
    EdgeSmoothJob job = Job(a, b, PF_PixelFormat_ARGB64);
    for (host::Fault f : {host::Fault::NewWorld, host::Fault::NewHandle, host::Fault::LockHandle,
                          host::Fault::IterateGeneric}) {
        Host().Faults().Clear();
        ASSERT_EQ(SmoothEdges(&job), PF_Err_NONE);
        const int uses = Host().Faults().Uses(f);
        ASSERT_GT(uses, 0) << host::FaultName(f);
        for (int n = 1; n <= uses; ++n) {
            Host().Faults().Clear();
            Host().Faults().Inject(f, n, PF_Err_OUT_OF_MEMORY);
            EXPECT_EQ(SmoothEdges(&job), PF_Err_OUT_OF_MEMORY) << host::FaultName(f) << " #" << n;
            EXPECT_EQ(Host().Worlds().livePluginWorlds, 0u);
            EXPECT_EQ(Host().Handles().live, 0u);
        }
    }
    Host().Faults().Clear();
}

TEST_F(SmoothEdgesJob, MissingSuiteRaisesTheSuiteFailure) {
    host::World a = MakeWorld(6, 6, PF_PixelFormat_ARGB32), b = MakeWorld(6, 6, PF_PixelFormat_ARGB32, false);
    EdgeSmoothJob job = Job(a, b, PF_PixelFormat_ARGB32);
    for (auto [name, version] : {std::pair{kPFWorldSuite, kPFWorldSuiteVersion1},
                                 std::pair{kPFHandleSuite, kPFHandleSuiteVersion1}}) {
        Host().Faults().RefuseSuite(name, version);
        try {
            SmoothEdges(&job);
            ADD_FAILURE() << "no suite failure raised without " << name;
        } catch (A_long err) {
            EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
        }
        Host().Faults().AllowSuite(name, version);
        EXPECT_EQ(Host().SuitesHeld(), 0);
        EXPECT_EQ(Host().Worlds().livePluginWorlds, 0u);
    }
    // The copy of a job with nothing to smooth needs the transform suite.
    job.strength = 0;
    Host().Faults().RefuseSuite(kPFWorldTransformSuite, kPFWorldTransformSuiteVersion1);
    EXPECT_THROW(SmoothEdges(&job), A_long);
    EXPECT_EQ(Host().SuitesHeld(), 0);
}

} // namespace
