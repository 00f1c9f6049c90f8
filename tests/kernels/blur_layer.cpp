// The blur of a layer (fused bands for one repeat, passes that fill what they do not filter for more)
// gives the bytes of the sequence over worlds prepared by copies, as the render made them before: on
// random frames of every depth with transparency, selections, per-channel lengths, aspects and repeats,
// for any number of worker threads, writing every output pixel.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "blur_support.h"
#include "host/World.h"
#include "kernels/BlurBands.h"
#include "kernels/BlurSequence.h"
#include "kernels/MaskedPasses.h"
#include "passes_support.h"

namespace {

using namespace blur_test;
using passes_test::TestPlane;

class BlurLayers : public BlurEnv {
public:
    using BlurEnv::Host;
    using BlurEnv::InData;
    using BlurEnv::MakeWorld;
    // Worlds start as noise, so that a pixel the blur forgets to write shows.
    host::World Noise(int w, int h, PF_PixelFormat format, std::mt19937& rng) {
        host::World world = MakeWorld(w, h, format);
        for (int y = 0; y < h; ++y)
            for (int b = 0; b < w * world.PixelSize(); ++b)
                world.Row(y)[b] = static_cast<uint8_t>(rng());
        return world;
    }
};

template <class Pixel>
Pixel& At(host::World& w, int x, int y) {
    return reinterpret_cast<Pixel*>(w.Row(y))[x];
}

PF_Pixel8 RandomPixel8(std::mt19937& rng) {
    const auto c = [&rng] {
        return static_cast<A_u_char>(rng() % 3 == 0 ? (rng() % 2) * 255 : rng() & 0xFF);
    };
    PF_Pixel8 p{c(), c(), c(), c()};
    if (rng() % 4 == 0)
        p.alpha = 0;
    return p;
}

template <class Pixel>
Pixel OpaquePixel(std::mt19937& rng) {
    Pixel p = RandomPixel<Pixel>(rng);
    if (p.alpha == 0)
        p.alpha = 1;
    return p;
}
template <>
PF_Pixel8 OpaquePixel<PF_Pixel8>(std::mt19937& rng) {
    PF_Pixel8 p = RandomPixel8(rng);
    p.alpha = static_cast<A_u_char>(1 + rng() % 255);
    return p;
}
template <class Pixel>
Pixel AnyPixel(std::mt19937& rng) {
    if constexpr (std::is_same_v<Pixel, PF_Pixel8>)
        return RandomPixel8(rng);
    else
        return RandomPixel<Pixel>(rng);
}

// Content whose bands differ: opaque and wholly selected above a random row, random below it (the
// column strips take the first, the gathered lines the rest), or random throughout.
// Or opaque throughout, however selected: more repeats then run as fused pairs of passes too.
// Columns whose `unselectable` byte is set are never selected.
template <class Pixel>
void FillFrame(host::World& source, TestPlane& plane, bool keyed, std::mt19937& rng, int w, int h,
               bool opaqueOnly = false, const std::vector<uint8_t>& unselectable = {}) {
    const int calm = rng() % 3 == 0 ? 0 : static_cast<int>(rng() % static_cast<uint32_t>(h + 1));
    const bool opaque = opaqueOnly || rng() % 3 == 0;
    const uint32_t selection = keyed ? 1 + rng() % 3 : 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool quiet = y < calm;
            At<Pixel>(source, x, y) = quiet || opaque ? OpaquePixel<Pixel>(rng) : AnyPixel<Pixel>(rng);
            bool selected = true;
            if (!quiet && selection == 1)
                selected = rng() % 3 != 0;
            else if (!quiet && selection == 2)
                selected = (x / 5 + y / 9) % 3 != 0;
            else if (!quiet && selection == 3)
                selected = (x * 7 + y * 3) % 11 < 8;
            if (selected && (unselectable.empty() || !unselectable[static_cast<std::size_t>(x)]))
                plane.Select(x, y);
        }
}

template <class Channel>
Channel LookupEntry(std::mt19937& rng) {
    if constexpr (std::is_same_v<Channel, A_u_char>)
        return static_cast<A_u_char>(rng());
    else if constexpr (std::is_same_v<Channel, A_u_short>)
        return static_cast<A_u_short>(rng() % 32769);
    else
        return static_cast<float>(rng() % 4096) / 4096.0f;
}
inline A_u_char LookedUp(const std::vector<A_u_char>& t, A_u_char c) {
    return t[c];
}
inline A_u_short LookedUp(const std::vector<A_u_short>& t, A_u_short c) {
    return t[static_cast<std::size_t>(Channel16TableIndex(c))];
}
inline float LookedUp(const std::vector<float>& t, float c) {
    return t[static_cast<std::size_t>(FloatTableIndex(c))];
}

BlurOptions RandomOptions(std::mt19937& rng, BlurKernel kernel, BlurVariant variant) {
    BlurOptions o;
    o.kernel = kernel;
    o.variant = variant;
    const double aspects[] = {0.0, 0.0, 0.5, -0.7};
    o.aspect = aspects[rng() % 4];
    const uint32_t reach = rng() % 6;
    for (double& l : o.lengths) {
        // Mostly within the fused form's margins; sometimes beyond them.
        const double top = reach == 0 ? 4 : reach < 4 ? 30 : reach == 4 ? 62 : 90;
        l = 1.0 + static_cast<double>(rng() % 1000) / 1000.0 * top;
    }
    if (rng() % 3 == 0)
        for (double& l : o.lengths)
            l = o.lengths[0];
    const int32_t repeats[] = {1, 1, 1, 2, 3, 4, 5};
    o.repeat = repeats[rng() % 7];
    return o;
}

// The render's old way: output prepared as the source where selected and the unselected world elsewhere,
// the scratch as the source, then the sequence, which writes only selected pixels; 8-bit layers through
// 16-bit copies and back.
template <class Depth>
std::vector<uint8_t> Prepared(BlurLayers& env, host::World& source, host::World* unselected,
                              const TestPlane& plane, const BlurOptions& options, int w, int h,
                              const PF_InData* in_data) {
    using Pixel = typename Depth::Pixel;
    using BlurPixel = typename Depth::BlurDepth::Pixel;
    constexpr bool k8 = std::is_same_v<Depth, Depth8>;
    const PF_PixelFormat blurFormat = Depth::BlurDepth::kFormat;
    host::World blurSource = env.MakeWorld(w, h, blurFormat);
    host::World output = env.MakeWorld(w, h, blurFormat);
    host::World scratch = env.MakeWorld(w, h, blurFormat);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Pixel s = At<Pixel>(source, x, y);
            BlurPixel b;
            if constexpr (k8)
                b = BlurPixel{ConvertChannel8To16(s.alpha), ConvertChannel8To16(s.red),
                              ConvertChannel8To16(s.green), ConvertChannel8To16(s.blue)};
            else
                b = s;
            At<BlurPixel>(blurSource, x, y) = b;
            At<BlurPixel>(scratch, x, y) = b;
            At<BlurPixel>(output, x, y) = b;
            if constexpr (!k8)
                if (!plane.At(x, y) && unselected)
                    At<BlurPixel>(output, x, y) = At<Pixel>(*unselected, x, y);
        }
    const PF_Rect rect{0, 0, w, h};
    EXPECT_EQ(BlurSequence<typename Depth::BlurDepth>(output.get(), blurSource.get(), scratch.get(), options,
                                                      plane.plane(), rect, in_data, -1, nullptr),
              PF_Err_NONE);
    if constexpr (!k8) {
        return output.Pixels();
    } else {
        host::World narrowed = env.MakeWorld(w, h, PF_PixelFormat_ARGB32);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const PF_Pixel16 p = At<PF_Pixel16>(output, x, y);
                At<PF_Pixel8>(narrowed, x, y) =
                    plane.At(x, y) ? PF_Pixel8{ConvertChannel16To8(p.alpha), ConvertChannel16To8(p.red),
                                               ConvertChannel16To8(p.green), ConvertChannel16To8(p.blue)}
                                   : At<PF_Pixel8>(unselected ? *unselected : source, x, y);
            }
        return narrowed.Pixels();
    }
}

enum class Frames { Random, Chained, LateTransparency, UnselectedColumns, PoisonedUnselected };

// With `chained`, opaque frames and three to five repeats within the band form's margins: the first two
// pairs of passes then run chained, the second taking the first's rows as they are made. With
// `lateTransparency` as well, a few pixels near the bottom or the right are fully transparent, selected or
// not: selected ones stop the fused pairs late, and the passes that follow must write every pixel again.
// UnselectedColumns: wide keyed frames in which runs of whole columns are never selected, across pages of
// columns, so that neighbouring strips that filter nothing are copied together. PoisonedUnselected: the
// same frames, whose unselected source pixels are then replaced by other values, transparent or not, after
// the expectation is made: no pass may read them (the bands' held rows keep only selected ones current).
template <class Depth>
void CompareWithPreparedWorlds(BlurLayers& env, uint32_t seed, int trials, Frames frames = Frames::Random) {
    using Pixel = typename Depth::Pixel;
    const bool chained = frames == Frames::Chained || frames == Frames::LateTransparency;
    const bool lateTransparency = frames == Frames::LateTransparency;
    const bool poisoned = frames == Frames::PoisonedUnselected;
    const bool columns = frames == Frames::UnselectedColumns || poisoned;
    std::mt19937 rng(seed);
    int fused = 0;
    for (int trial = 0; trial < trials; ++trial) {
        const int w = columns ? 40 + static_cast<int>(rng() % 700) : 9 + static_cast<int>(rng() % 80);
        const int h = columns          ? 20 + static_cast<int>(rng() % 160)
                      : rng() % 4 == 0 ? 1 + static_cast<int>(rng() % 40)
                                       : 150 + static_cast<int>(rng() % 300);
        const bool keyed = columns || rng() % 2 == 0;
        std::vector<uint8_t> unselectable;
        if (columns) {
            unselectable.assign(static_cast<std::size_t>(w), 0);
            for (int run = 1 + static_cast<int>(rng() % 3); run > 0; --run) {
                const int x0 = static_cast<int>(rng() % static_cast<uint32_t>(w));
                const int n = 1 + static_cast<int>(rng() % 300);
                for (int x = x0; x < x0 + n && x < w; ++x)
                    unselectable[static_cast<std::size_t>(x)] = 1;
            }
        }
        const BlurKernel kernel = rng() % 2 ? BlurKernel::Gauss : BlurKernel::Box;
        const BlurVariant variant = keyed && rng() % 2 ? BlurVariant::Spanning : BlurVariant::Confined;
        BlurOptions options = RandomOptions(rng, kernel, variant);
        if (chained) {
            options.repeat = 3 + static_cast<int32_t>(rng() % 3);
            for (double& l : options.lengths)
                l = 1.0 + static_cast<double>(rng() % 1000) / 1000.0 * (rng() % 2 ? 8 : 50);
        }
        host::World source = env.MakeWorld(w, h, Depth::kFormat);
        TestPlane plane(w, h);
        FillFrame<Pixel>(source, plane, keyed, rng, w, h, chained, unselectable);
        if (columns && options.repeat > 2)
            options.repeat = 1;
        if (lateTransparency) {
            // A block of up to 6 × 6 pixels, enough to hold a short window with no opaque sample.
            const int k = 1 + static_cast<int>(rng() % 6);
            const bool bottom = rng() % 2 == 0;
            const int x0 = bottom ? static_cast<int>(rng() % static_cast<uint32_t>(w)) : w - k;
            const int y0 = bottom ? h - k - static_cast<int>(rng() % 3)
                                  : static_cast<int>(rng() % static_cast<uint32_t>(h));
            const bool selected = rng() % 4 != 0;
            for (int y = y0; y < y0 + k; ++y)
                for (int x = x0; x < x0 + k; ++x)
                    if (x >= 0 && x < w && y >= 0 && y < h) {
                        At<Pixel>(source, x, y).alpha = 0;
                        if (selected)
                            plane.Select(x, y);
                    }
        }
        host::World unselected = env.Noise(w, h, Depth::kFormat, rng);
        // The render hands its source as the unselected world: the passes copy such pixels whole.
        host::World& unselectedWorld = keyed && !poisoned && rng() % 3 == 0 ? source : unselected;

        const int32_t worldCount = BlurLayerWorlds<Depth>(options);
        // The fused form may look the selected colours up first (the brightness step): then the old way
        // starts from the looked-up image.
        std::vector<typename Depth::Channel> table;
        host::World looked = env.MakeWorld(w, h, Depth::kFormat);
        if (worldCount == 0 && rng() % 2) {
            table.resize(Depth::kTableEntries);
            for (auto& e : table)
                e = LookupEntry<typename Depth::Channel>(rng);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    Pixel p = At<Pixel>(source, x, y);
                    if (plane.At(x, y))
                        p = Pixel{p.alpha, LookedUp(table, p.red), LookedUp(table, p.green),
                                  LookedUp(table, p.blue)};
                    At<Pixel>(looked, x, y) = p;
                }
        }
        const std::vector<uint8_t> expected =
            Prepared<Depth>(env, table.empty() ? source : looked, keyed ? &unselectedWorld : nullptr, plane,
                            options, w, h, env.InData());
        fused += worldCount == 0;
        if (poisoned)
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    if (!plane.At(x, y)) {
                        Pixel& p = At<Pixel>(source, x, y);
                        p = AnyPixel<Pixel>(rng);
                        if (rng() % 2)
                            p.alpha = 0;
                    }
        for (int threads : {1, 2, 3}) {
            env.Host().SetWorkerThreads(threads);
            host::World output = env.Noise(w, h, Depth::kFormat, rng);
            std::vector<host::World> worlds;
            PF_EffectWorld* handed[3] = {nullptr, nullptr, nullptr};
            for (int32_t i = 0; i < worldCount; ++i) {
                worlds.push_back(env.Noise(w, h, Depth::BlurDepth::kFormat, rng));
            }
            for (int32_t i = 0; i < worldCount; ++i)
                handed[i] = worlds[static_cast<std::size_t>(i)].get();
            BlurLayerJob job;
            job.output = output.get();
            job.source = source.get();
            job.unselected = keyed ? unselectedWorld.get() : nullptr;
            job.options = options;
            job.plane = plane.plane();
            job.rect = PF_Rect{0, 0, w, h};
            job.in_data = env.InData();
            job.lookup = table.empty() ? nullptr : table.data();
            ASSERT_EQ(BlurLayer<Depth>(job, handed), PF_Err_NONE);
            ASSERT_EQ(output.Pixels(), expected)
                << "trial " << trial << ", " << threads << " threads, " << w << "x" << h << ", repeat "
                << options.repeat << (kernel == BlurKernel::Gauss ? " gauss" : " box")
                << (variant == BlurVariant::Spanning ? " spanning" : " confined") << " lengths "
                << options.lengths[0] << ' ' << options.lengths[1] << ' ' << options.lengths[2] << ' '
                << options.lengths[3] << " aspect " << options.aspect << " fused " << (worldCount == 0);
        }
    }
    if (!chained) {
        EXPECT_GE(fused, columns ? trials / 4 : trials / 6) << "the fused form was hardly tried";
    }
}

TEST_F(BlurLayers, EightBitLayersGiveThePreparedWorldsBytes) {
    CompareWithPreparedWorlds<Depth8>(*this, 1, 40);
}

TEST_F(BlurLayers, SixteenBitLayersGiveThePreparedWorldsBytes) {
    CompareWithPreparedWorlds<Depth16>(*this, 2, 60);
}

TEST_F(BlurLayers, ChainedRepeatsGiveThePreparedWorldsBytes) {
    CompareWithPreparedWorlds<Depth8>(*this, 4, 20, Frames::Chained);
    CompareWithPreparedWorlds<Depth16>(*this, 5, 30, Frames::Chained);
}

TEST_F(BlurLayers, ATransparentPixelMetLateGivesThePreparedWorldsBytes) {
    CompareWithPreparedWorlds<Depth8>(*this, 6, 16, Frames::LateTransparency);
    CompareWithPreparedWorlds<Depth16>(*this, 7, 24, Frames::LateTransparency);
}

TEST_F(BlurLayers, FloatLayersGiveThePreparedWorldsBytes) {
    CompareWithPreparedWorlds<DepthFloat>(*this, 3, 50);
}

TEST_F(BlurLayers, ColumnsNeverSelectedGiveThePreparedWorldsBytes) {
    CompareWithPreparedWorlds<Depth8>(*this, 8, 8, Frames::UnselectedColumns);
    CompareWithPreparedWorlds<Depth16>(*this, 9, 12, Frames::UnselectedColumns);
    CompareWithPreparedWorlds<DepthFloat>(*this, 10, 8, Frames::UnselectedColumns);
}

TEST_F(BlurLayers, UnselectedSourcePixelsAreNeverRead) {
    CompareWithPreparedWorlds<Depth8>(*this, 11, 8, Frames::PoisonedUnselected);
    CompareWithPreparedWorlds<Depth16>(*this, 12, 16, Frames::PoisonedUnselected);
    CompareWithPreparedWorlds<DepthFloat>(*this, 13, 8, Frames::PoisonedUnselected);
}

// The fused form is taken where its bands give the columns' bytes, and only there.
TEST(BlurBands, ApplyToIntegerSumsAndFloatTablesWithinTheirMargins) {
    const int32_t near[4] = {1, 30, 65, 2};
    const int32_t far[4] = {1, 30, 66, 2};
    EXPECT_TRUE(BandsApply(BlurKernel::Box, false, near));
    EXPECT_TRUE(BandsApply(BlurKernel::Gauss, false, near));
    EXPECT_TRUE(BandsApply(BlurKernel::Gauss, true, near));
    EXPECT_FALSE(BandsApply(BlurKernel::Box, true, near))
        << "a float running sum rounds from the column's top";
    EXPECT_FALSE(BandsApply(BlurKernel::Box, false, far));
    EXPECT_FALSE(BandsApply(BlurKernel::Gauss, true, far));
}

} // namespace
