// The masked passes run through the host's iterate_generic: the same bytes for any number of worker
// threads, the host's error handed back, and a serial run where the host offers no iteration.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "host/Faults.h"
#include "kernels/MaskedPasses.h"
#include "passes_support.h"
#include "tests/support/EffectEnv.h"

namespace {

using passes_test::TestPlane;

struct PassCase {
    const char* name;
    PassFunction pass;
    PF_PixelFormat destination;
    PF_PixelFormat source;
};

const PassCase kCases[] = {
    {"ClearUnselectedAlpha8", ClearUnselectedAlpha8, PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB32},
    {"ClearUnselectedAlpha16", ClearUnselectedAlpha16, PF_PixelFormat_ARGB64, PF_PixelFormat_ARGB64},
    {"ClearUnselectedAlphaFloat", ClearUnselectedAlphaFloat, PF_PixelFormat_ARGB128, PF_PixelFormat_ARGB128},
    {"CopySelected8", CopySelected8, PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB32},
    {"CopySelected16", CopySelected16, PF_PixelFormat_ARGB64, PF_PixelFormat_ARGB64},
    {"CopySelectedFloat", CopySelectedFloat, PF_PixelFormat_ARGB128, PF_PixelFormat_ARGB128},
    {"ConvertSelected8To16", ConvertSelected8To16, PF_PixelFormat_ARGB64, PF_PixelFormat_ARGB32},
    {"ConvertSelected16To8", ConvertSelected16To8, PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB64},
    {"MapSelectedRgb8", MapSelectedRgb8, PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB32},
    {"MapSelectedRgb16", MapSelectedRgb16, PF_PixelFormat_ARGB64, PF_PixelFormat_ARGB64},
    {"MapSelectedRgbFloat", MapSelectedRgbFloat, PF_PixelFormat_ARGB128, PF_PixelFormat_ARGB128},
};

class PassesThroughTheHost : public tovrin::test::EffectEnv {
protected:
    static constexpr A_long kWidth = 37;
    static constexpr A_long kHeight = 23;
    static constexpr PF_Rect kRect{2, 1, 35, 22};

    PassesThroughTheHost() : plane_(kRect.right - kRect.left, kRect.bottom - kRect.top) {
        std::mt19937 random(7);
        for (int y = 0; y < kRect.bottom - kRect.top; ++y) {
            if (y % 5 == 3)
                continue; // rows with nothing selected
            for (int x = 0; x < kRect.right - kRect.left; ++x)
                if (random() % 3)
                    plane_.Select(x, y);
        }
        plane_.RowFlag(7) = 0; // a flagged-off row that holds selected pixels
        for (std::size_t i = 0; i < table8_.size(); ++i)
            table8_[i] = static_cast<A_u_char>(255 - i);
        for (std::size_t i = 0; i < table16_.size(); ++i)
            table16_[i] = static_cast<A_u_short>(32768 - i);
        for (std::size_t i = 0; i < tableFloat_.size(); ++i)
            tableFloat_[i] = static_cast<float>(i) / 65536.0f;
    }

    host::World Filled(PF_PixelFormat format, unsigned seed) {
        host::World world = MakeWorld(kWidth, kHeight, format);
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(kWidth) * kHeight * world.PixelSize());
        std::mt19937 random(seed);
        if (format == PF_PixelFormat_ARGB128) {
            std::vector<float> values(bytes.size() / sizeof(float));
            for (float& v : values)
                v = static_cast<float>(random() % 1200) / 1000.0f - 0.1f;
            std::memcpy(bytes.data(), values.data(), bytes.size());
        } else if (format == PF_PixelFormat_ARGB64) {
            std::vector<A_u_short> values(bytes.size() / sizeof(A_u_short));
            for (A_u_short& v : values)
                v = static_cast<A_u_short>(random() % 32769);
            std::memcpy(bytes.data(), values.data(), bytes.size());
        } else {
            for (std::uint8_t& b : bytes)
                b = static_cast<std::uint8_t>(random());
        }
        world.SetPixels(bytes);
        return world;
    }

    const void* TableFor(const PassCase& c) const {
        switch (c.destination) {
        case PF_PixelFormat_ARGB32:
            return table8_.data();
        case PF_PixelFormat_ARGB64:
            return table16_.data();
        default:
            return tableFloat_.data();
        }
    }

    // The destination's pixels after the pass with `threads` workers.
    std::vector<std::uint8_t> Run(const PassCase& c, int threads, uint8_t clear) {
        Host().SetWorkerThreads(threads);
        host::World source = Filled(c.source, 11);
        host::World destination = Filled(c.destination, 12);
        PassContext context;
        context.destination = destination.get();
        context.source = source.get();
        context.rect = kRect;
        context.plane = plane_.plane();
        context.clearUnselected = clear;
        context.lookupTable = TableFor(c);
        EXPECT_EQ(RunPass(InData(), PF_Iterations_ONCE_PER_PROCESSOR, &context, c.pass), PF_Err_NONE)
            << c.name;
        destination.Check(c.name);
        return destination.Pixels();
    }

    TestPlane plane_;
    std::vector<A_u_char> table8_ = std::vector<A_u_char>(256);
    std::vector<A_u_short> table16_ = std::vector<A_u_short>(32769);
    std::vector<float> tableFloat_ = std::vector<float>(32769);
};

TEST_F(PassesThroughTheHost, EveryPassGivesTheSameBytesForOneTwoAndSevenThreads) {
    for (const PassCase& c : kCases)
        for (uint8_t clear : {0, 1}) {
            const std::vector<std::uint8_t> one = Run(c, 1, clear);
            EXPECT_EQ(Run(c, 2, clear), one) << c.name << " clear " << int(clear);
            EXPECT_EQ(Run(c, 7, clear), one) << c.name << " clear " << int(clear);
            // And the pass did something: the destination is not what it was.
            EXPECT_NE(one, Filled(c.destination, 12).Pixels()) << c.name;
        }
}

TEST_F(PassesThroughTheHost, TheHostsErrorIsThePassResult) {
    host::World world = Filled(PF_PixelFormat_ARGB32, 3);
    const std::vector<std::uint8_t> before = world.Pixels();
    PassContext context;
    context.destination = world.get();
    context.source = world.get();
    context.rect = kRect;
    context.plane = plane_.plane();
    context.clearUnselected = 1;
    Host().Faults().Inject(host::Fault::IterateGeneric, 1, PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(RunPass(InData(), PF_Iterations_ONCE_PER_PROCESSOR, &context, CopySelected8),
              PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(world.Pixels(), before);
}

TEST_F(PassesThroughTheHost, WithoutTheHostsIterationOneCallTakesEveryRow) {
    const PassCase& c = kCases[3]; // CopySelected8
    const std::vector<std::uint8_t> expected = Run(c, 3, 1);
    host::World source = Filled(c.source, 11);
    host::World destination = Filled(c.destination, 12);
    PassContext context;
    context.destination = destination.get();
    context.source = source.get();
    context.rect = kRect;
    context.plane = plane_.plane();
    context.clearUnselected = 1;
    PF_UtilCallbacks utils = *InData()->utils;
    utils.iterate_generic = nullptr;
    PF_InData in = *InData();
    in.utils = &utils;
    EXPECT_EQ(RunPass(&in, PF_Iterations_ONCE_PER_PROCESSOR, &context, c.pass), PF_Err_NONE);
    EXPECT_EQ(destination.Pixels(), expected);
    EXPECT_EQ(RunPass(nullptr, PF_Iterations_ONCE_PER_PROCESSOR, &context, c.pass),
              PF_Err_BAD_CALLBACK_PARAM);
}

} // namespace
