#pragma once
// Renders through the plug-in file as a host does, with helpers to set controls by name and to make
// images of each depth.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "host/World.h"
#include "kernels/MaskedPasses.h"
#include "tests/support/PluginFixture.h"

class RenderTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        ASSERT_EQ(instance->Apply(), PF_Err_NONE);
    }
    void TearDown() override {
        if (instance) {
            EXPECT_EQ(instance->SequenceSetdown(), PF_Err_NONE);
        }
        PluginTest::TearDown();
    }

    PF_ParamIndex Index(const std::string& name) const {
        const PF_ParamIndex i = instance->IndexOfName(name);
        EXPECT_GT(i, 0) << name;
        return i;
    }
    void SetFloat(const std::string& name, double v) { instance->SetFloat(Index(name), v); }
    void SetCheckbox(const std::string& name, bool v) { instance->SetCheckbox(Index(name), v); }
    void SetPopup(const std::string& name, A_long v) { instance->SetPopup(Index(name), v); }
    void SetColor(const std::string& name, PF_Pixel v) { instance->SetColor(Index(name), v); }
    void SetSlider(const std::string& name, A_long v) { instance->SetSlider(Index(name), v); }

    // No blur at all: every length 0 and brightness 0.
    void NoBlur() {
        for (const char* name : {"Blur Amount", "R", "G", "B", "A", "Brightness"})
            SetFloat(name, 0);
    }

    // Cel-like content: flat regions with hard edges, a transparent corner, random noise in a band.
    host::World MakeImage(PF_PixelFormat format, A_long width = 23, A_long height = 17, unsigned seed = 7) {
        host::World w(*hostPtr, width, height, format);
        std::mt19937 rng(seed);
        for (A_long y = 0; y < height; ++y)
            for (A_long x = 0; x < width; ++x) {
                PF_Pixel p;
                if (x + y < 5)
                    p = PF_Pixel{0, 40, 200, 90};
                else if (x * 2 < width)
                    p = PF_Pixel{255, 250, 153, 36};
                else if (y * 3 < height)
                    p = PF_Pixel{255, 3, 180, 245};
                else
                    p = PF_Pixel{static_cast<A_u_char>(rng() & 255), static_cast<A_u_char>(rng() & 255),
                                 static_cast<A_u_char>(rng() & 255), static_cast<A_u_char>(rng() & 255)};
                Put(w, x, y, p);
            }
        return w;
    }

    static void Put(host::World& w, A_long x, A_long y, PF_Pixel p) {
        switch (w.Format()) {
        case PF_PixelFormat_ARGB32:
            w.At8(x, y) = p;
            break;
        case PF_PixelFormat_ARGB64:
            w.At16(x, y) = PF_Pixel16{ConvertChannel8To16(p.alpha), ConvertChannel8To16(p.red),
                                      ConvertChannel8To16(p.green), ConvertChannel8To16(p.blue)};
            break;
        default:
            w.AtFloat(x, y) =
                PF_PixelFloat{p.alpha / 255.0f, p.red / 255.0f, p.green / 255.0f, p.blue / 255.0f};
            break;
        }
    }

    host::World Output(const host::World& like) {
        return host::World(*hostPtr, like.Width(), like.Height(), like.Format(), false);
    }

    // The output's pixels after a classic render, or empty when the render failed.
    std::vector<std::uint8_t> RenderClassic(host::World& input, PF_Err expected = PF_Err_NONE) {
        host::World out = Output(input);
        const PF_Err err = instance->Render(input, out);
        EXPECT_EQ(err, expected);
        return err == PF_Err_NONE ? out.Pixels() : std::vector<std::uint8_t>{};
    }
    std::vector<std::uint8_t> RenderSmart(host::World& input, PF_Err expected = PF_Err_NONE) {
        host::World out = Output(input);
        const PF_Err err = instance->SmartRenderFrame(input, out);
        EXPECT_EQ(err, expected);
        return err == PF_Err_NONE ? out.Pixels() : std::vector<std::uint8_t>{};
    }
};
