// The plug-in renders the same bytes under the production host as under the strict one, at every depth,
// also when the production host serves a frame from the memory of the frame before; and every host
// allocation of a real render failing in turn ends as an out-of-memory code or as the host's own error,
// never as a leak or a crash.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "host/HostError.h"
#include "host/Instance.h"
#include "host/Plugin.h"

namespace tovrin::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A frame with flat regions, hard edges, partial and zero alpha; `seed` changes the content.
void Fill(host::World& w, int seed) {
    for (A_long y = 0; y < w.Height(); ++y)
        for (A_long x = 0; x < w.Width(); ++x) {
            unsigned v = unsigned(((x / 9 + y / 7 + seed) % 4) * 70 + (x * y + seed) % 13);
            unsigned a = (x + y + seed) % 23 == 0 ? 0 : (x > w.Width() / 2 ? 255 : 140);
            unsigned r = v & 0xFF, g = (v * 3 + 40) & 0xFF, b = (x * 5 + seed * 11) & 0xFF;
            switch (w.Format()) {
            case PF_PixelFormat_ARGB32:
                w.At8(x, y) = PF_Pixel8{A_u_char(a), A_u_char(r), A_u_char(g), A_u_char(b)};
                break;
            case PF_PixelFormat_ARGB64:
                w.At16(x, y) = PF_Pixel16{A_u_short(a * 128), A_u_short(r * 128), A_u_short(g * 128 + 3),
                                          A_u_short(b * 128)};
                break;
            default:
                w.AtFloat(x, y) = PF_PixelFloat{a / 255.f, r / 255.f, g / 250.f, b / 255.f};
            }
        }
}

struct Case {
    const char* name;
    std::function<void(host::Instance&)> set;
};

std::vector<Case> Cases() {
    auto index = [](host::Instance& fx, const char* name) { return fx.IndexOfName(name); };
    return {
        {"defaults", [](host::Instance&) {}},
        {"gaussian-bright",
         [=](host::Instance& fx) {
             fx.SetPopup(index(fx, "Blur Type"), 1);
             fx.SetFloat(index(fx, "Blur Amount"), 6);
             fx.SetFloat(index(fx, "Brightness"), 40);
         }},
        {"smoothing-key-extract",
         [=](host::Instance& fx) {
             fx.SetFloat(index(fx, "Blur Amount"), 3);
             fx.SetSlider(index(fx, "Blur Repeat Num"), 1);
             fx.SetCheckbox(index(fx, "1 : Enable"), true);
             fx.SetColor(index(fx, "1 : Color"), PF_Pixel{255, 140, 180, 0});
             fx.SetFloat(index(fx, "1 : Color Range"), 30);
             fx.SetPopup(index(fx, "Mode"), 2);
         }},
    };
}

class ProductionRender : public ::testing::Test {
protected:
    void SetUp() override {
        const char* path = std::getenv("TOVRIN_PLUGIN");
        if (!path)
            GTEST_SKIP() << "TOVRIN_PLUGIN is not set";
        plugin = host::Plugin::Load(path);
    }

    // Every case at every depth through one host; with `dirtyFirst`, each frame follows a render of other
    // content in the same host, so that its worlds come from memory that held other pixels.
    std::vector<Bytes> RenderAll(const host::Settings& settings, bool dirtyFirst,
                                 std::size_t* reused = nullptr) {
        host::Host h(settings);
        h.SetViolationObserver([](const std::string& what) { ADD_FAILURE() << "embedded host: " << what; });
        std::vector<Bytes> out;
        {
            host::Instance fx(h, plugin);
            EXPECT_EQ(fx.Apply(), PF_Err_NONE);
            for (PF_PixelFormat format :
                 {PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB64, PF_PixelFormat_ARGB128})
                for (const Case& c : Cases()) {
                    fx.ResetParams();
                    c.set(fx);
                    if (dirtyFirst) {
                        host::World other(h, 97, 61, format), sink(h, 97, 61, format);
                        Fill(other, 5);
                        EXPECT_EQ(fx.SmartRenderFrame(other, sink), PF_Err_NONE);
                    }
                    host::World input(h, 97, 61, format), output(h, 97, 61, format);
                    Fill(input, 0);
                    EXPECT_EQ(fx.SmartRenderFrame(input, output), PF_Err_NONE) << c.name;
                    out.push_back(output.Pixels());
                }
            EXPECT_EQ(fx.SequenceSetdown(), PF_Err_NONE);
            EXPECT_EQ(fx.GlobalSetdown(), PF_Err_NONE);
        }
        EXPECT_EQ(h.LeakReport(), "");
        if (reused)
            *reused = h.Pool().reused;
        return out;
    }

    std::shared_ptr<host::Plugin> plugin;
};

TEST_F(ProductionRender, TheSameBytesAsTheStrictHostAtEveryDepthFromFreshAndReusedMemory) {
    std::vector<Bytes> strict = RenderAll(host::Settings{}, false);
    std::size_t reused = 0;
    std::vector<Bytes> production = RenderAll(host::Settings::Production(), true, &reused);
    ASSERT_EQ(strict.size(), production.size());
    for (std::size_t i = 0; i < strict.size(); ++i)
        EXPECT_TRUE(strict[i] == production[i]) << "case " << i % 3 << ", depth " << i / 3;
    EXPECT_GT(reused, strict.size()); // every frame's worlds came from the pool
}

TEST_F(ProductionRender, EveryFailingHostAllocationOfARealRenderIsReportedAndLeavesNothing) {
    host::Host h;
    h.SetViolationObserver([](const std::string& what) { ADD_FAILURE() << "embedded host: " << what; });
    {
        host::Instance fx(h, plugin);
        ASSERT_EQ(fx.Apply(), PF_Err_NONE);
        fx.SetFloat(fx.IndexOfName("Blur Amount"), 3);
        fx.SetCheckbox(fx.IndexOfName("1 : Enable"), true);
        host::World input(h, 40, 30, PF_PixelFormat_ARGB32), output(h, 40, 30, PF_PixelFormat_ARGB32);
        Fill(input, 1);
        std::size_t held = h.Handles().live;
        h.Faults().Clear();
        ASSERT_EQ(fx.SmartRenderFrame(input, output), PF_Err_NONE);
        int uses = h.Faults().Uses(host::Fault::HostMemory);
        ASSERT_GT(uses, 3);
        int refusedWorlds = 0;
        for (int n = 1; n <= uses; ++n) {
            h.Faults().Inject(host::Fault::HostMemory, n, PF_Err_OUT_OF_MEMORY);
            try {
                // A world the host refuses comes back as the effect's out-of-memory code; a handle its
                // allocator cannot get ends as the effect's allocation failure, which it answers with 512.
                PF_Err err = fx.SmartRenderFrame(input, output);
                EXPECT_TRUE(err == PF_Err_OUT_OF_MEMORY || err == PF_Err_INTERNAL_STRUCT_DAMAGED)
                    << n << ": " << err;
                refusedWorlds += err == PF_Err_OUT_OF_MEMORY;
            } catch (const host::HostError& e) {
                EXPECT_NE(std::string(e.what()).find("the host ran out of memory"), std::string::npos) << n;
            }
            EXPECT_EQ(h.Handles().live, held) << n;
            EXPECT_EQ(h.Worlds().livePluginWorlds, 0u) << n;
        }
        EXPECT_GT(refusedWorlds, 0);
        h.Faults().Clear();
        EXPECT_EQ(fx.SmartRenderFrame(input, output), PF_Err_NONE);
        EXPECT_EQ(fx.SequenceSetdown(), PF_Err_NONE);
        EXPECT_EQ(fx.GlobalSetdown(), PF_Err_NONE);
    }
    EXPECT_EQ(h.LeakReport(), "");
}

} // namespace
} // namespace tovrin::test
