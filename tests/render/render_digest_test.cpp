// Every render of a matrix of settings, at the three depths and on both render paths, gives exactly the
// bytes it gave when this table was written; the controls as registered likewise. A change that moves
// one output byte, or one byte of a control's definition, shows here by name.
//
// To print the table of the current build: TOVRIN_PRINT_DIGESTS=1 render_tests --gtest_filter=RenderDigest*
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tests/render/RenderFixture.h"

namespace {

std::uint64_t Fnv1a(const void* data, std::size_t size, std::uint64_t h = 14695981039346656037ull) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        h ^= p[i];
        h *= 1099511628211ull;
    }
    return h;
}

bool Printing() {
    const char* print = std::getenv("TOVRIN_PRINT_DIGESTS");
    return print && *print == '1';
}

constexpr PF_Pixel kOrange{255, 250, 153, 36};
constexpr PF_Pixel kBlue{255, 3, 180, 245};
constexpr PF_Pixel kPurple{255, 120, 40, 160};

class RenderDigest : public RenderTest {
protected:
    // Flat regions with staircase edges (the smoothing's food), the key colours, a gradient, noise,
    // transparent and half-transparent pixels.
    host::World MakeDigestImage(PF_PixelFormat format) {
        constexpr A_long width = 45, height = 33;
        host::World w(*hostPtr, width, height, format);
        unsigned state = 12345;
        const auto next = [&state] {
            state = state * 1103515245u + 12345u;
            return static_cast<A_u_char>(state >> 16);
        };
        for (A_long y = 0; y < height; ++y)
            for (A_long x = 0; x < width; ++x) {
                PF_Pixel p;
                if (x + y < 4)
                    p = PF_Pixel{0, 40, 200, 90};
                else if (3 * x < 2 * y + 9)
                    p = kOrange;
                else if ((x - 30) * (x - 30) + (y - 10) * (y - 10) < 40)
                    p = kPurple;
                else if (y < 14)
                    p = kBlue;
                else if (y < 20)
                    p = PF_Pixel{static_cast<A_u_char>(x * 5), static_cast<A_u_char>(x * 5),
                                 static_cast<A_u_char>(255 - x * 5), static_cast<A_u_char>(y * 12)};
                else if (x > 36 && y > 26)
                    p = PF_Pixel{128, 10, 220, 30};
                else
                    p = PF_Pixel{next(), next(), next(), next()};
                Put(w, x, y, p);
            }
        return w;
    }

    std::uint64_t Digest(host::World& input, bool smart) {
        host::World out = Output(input);
        const PF_Err err = smart ? instance->SmartRenderFrame(input, out) : instance->Render(input, out);
        const std::vector<std::uint8_t> pixels = out.Pixels();
        return Fnv1a(pixels.data(), pixels.size(), Fnv1a(&err, sizeof err));
    }
};

struct Setting {
    const char* name;
    std::function<void()> apply;
};

struct Expected {
    const char* name;
    std::uint64_t digests[6]; // 8-bit smart, classic; 16-bit smart, classic; float smart, classic
};

// Digests of the renders as this table was written.
const Expected kExpected[] = {
    {"defaults",
     {0xc6c9b4c886ba6f16ull, 0xc6c9b4c886ba6f16ull, 0xfcabde89053dff62ull, 0xfcabde89053dff62ull,
      0x8bcc5fa9387e7c9bull, 0x8bcc5fa9387e7c9bull}},
    {"nothing to do",
     {0x6f6c76e133a45eb8ull, 0x6f6c76e133a45eb8ull, 0x9a0b241b597c85b8ull, 0x9a0b241b597c85b8ull,
      0xe4d01bf72d990f48ull, 0xe4d01bf72d990f48ull}},
    {"nothing to do, draft",
     {0x6f6c76e133a45eb8ull, 0x6f6c76e133a45eb8ull, 0x9a0b241b597c85b8ull, 0x9a0b241b597c85b8ull,
      0xe4d01bf72d990f48ull, 0xe4d01bf72d990f48ull}},
    {"gauss 4",
     {0xf1ae4daf21ee66d0ull, 0xf1ae4daf21ee66d0ull, 0x1cdfa9396bd6c768ull, 0x1cdfa9396bd6c768ull,
      0xa25661939c46779dull, 0xa25661939c46779dull}},
    {"box 4 repeat 1",
     {0xd342d6fee240eea2ull, 0xd342d6fee240eea2ull, 0x19c55b192566a649ull, 0x19c55b192566a649ull,
      0x5a4e6c252c449037ull, 0x5a4e6c252c449037ull}},
    {"smoothing at extent 2",
     {0x4c6c19bebf6199ffull, 0x4c6c19bebf6199ffull, 0x1ba4d92492eb8c56ull, 0x1ba4d92492eb8c56ull,
      0x4bc8063dc305c6b1ull, 0x4bc8063dc305c6b1ull}},
    {"smoothing at extent 15",
     {0xf426f1cf24354fddull, 0xf426f1cf24354fddull, 0x1820cda566011eecull, 0x1820cda566011eecull,
      0x4c70d2b151905764ull, 0x4c70d2b151905764ull}},
    {"per-channel lengths",
     {0x7ffdc009e3cc67f8ull, 0x7ffdc009e3cc67f8ull, 0x96bdad5234c559c9ull, 0x96bdad5234c559c9ull,
      0x24a751d4ac69cd93ull, 0x24a751d4ac69cd93ull}},
    {"auto alpha, gauss repeat 5",
     {0x8d0ef84e3804d79full, 0x8d0ef84e3804d79full, 0xe0bb2003aeb94a3full, 0xe0bb2003aeb94a3full,
      0x3bcc3ffd7193a586ull, 0x3bcc3ffd7193a586ull}},
    {"repeat 10, aspect 3",
     {0x095a4781f0c28404ull, 0x095a4781f0c28404ull, 0x849f308a068aa151ull, 0x849f308a068aa151ull,
      0x91bdf3a333d9c234ull, 0x91bdf3a333d9c234ull}},
    {"gauss, aspect -2.5",
     {0x282ca48f1a70e976ull, 0x282ca48f1a70e976ull, 0x8c0685f845d7272full, 0x8c0685f845d7272full,
      0xd126c503674963feull, 0xd126c503674963feull}},
    {"brightness only",
     {0xaf05876ff7672dbfull, 0xaf05876ff7672dbfull, 0xfb492c2bd12c95e5ull, 0xfb492c2bd12c95e5ull,
      0x9029569f8fefa81bull, 0x9029569f8fefa81bull}},
    {"brightness and blur",
     {0xaf2e35cdb8aaa4afull, 0xaf2e35cdb8aaa4afull, 0x2bc6c6c1dc480046ull, 0x2bc6c6c1dc480046ull,
      0x1f732d2ba3cb8f2full, 0x1f732d2ba3cb8f2full}},
    {"key, keep division",
     {0x56ce8576ce966a61ull, 0x56ce8576ce966a61ull, 0x03fc44a3cdb0376eull, 0x03fc44a3cdb0376eull,
      0xc665120f4fecc2fdull, 0xc665120f4fecc2fdull}},
    {"two keys, spanning",
     {0x54b78c60c5a787c3ull, 0x54b78c60c5a787c3ull, 0xde2b894a78c35ce8ull, 0xde2b894a78c35ce8ull,
      0x8aa853fcf441e729ull, 0x8aa853fcf441e729ull}},
    {"key, gauss spanning",
     {0x1e073e909d443bdcull, 0x1e073e909d443bdcull, 0xfb21aae0105da7d6ull, 0xfb21aae0105da7d6ull,
      0xfbadb442e68958e0ull, 0xfbadb442e68958e0ull}},
    {"inverted key",
     {0xfcc6fb896757eae6ull, 0xfcc6fb896757eae6ull, 0x76512ae4e9869173ull, 0x76512ae4e9869173ull,
      0x14ed3cbf7b6377a8ull, 0x14ed3cbf7b6377a8ull}},
    {"inverted key, smoothing and brightness",
     {0xeb2df1a807b3a6ccull, 0xeb2df1a807b3a6ccull, 0xd2c731310d845fb9ull, 0xd2c731310d845fb9ull,
      0x5976e442ef514fa4ull, 0x5976e442ef514fa4ull}},
    {"extract",
     {0x92b6f3fa14e197f4ull, 0x92b6f3fa14e197f4ull, 0x363709a3f6f8decdull, 0x363709a3f6f8decdull,
      0x6bcbaad37d137d83ull, 0x6bcbaad37d137d83ull}},
    {"extract without blur",
     {0x9a13c5d8a3756899ull, 0x9a13c5d8a3756899ull, 0x7527beb6d92c3e1dull, 0x7527beb6d92c3e1dull,
      0x085939bca607d6a8ull, 0x085939bca607d6a8ull}},
    {"extract without key",
     {0x6f6c76e133a45eb8ull, 0x6f6c76e133a45eb8ull, 0x9a0b241b597c85b8ull, 0x9a0b241b597c85b8ull,
      0xe4d01bf72d990f48ull, 0xe4d01bf72d990f48ull}},
    {"disable all with keys",
     {0x46e485a1d5da3420ull, 0x46e485a1d5da3420ull, 0xdb4272ac6565f6e7ull, 0xdb4272ac6565f6e7ull,
      0xd32ca953b1ead786ull, 0xd32ca953b1ead786ull}},
    {"range 100",
     {0x65f69057e33c9b27ull, 0x65f69057e33c9b27ull, 0x12e565fca109a5aeull, 0x12e565fca109a5aeull,
      0x434bdbde58972e3aull, 0x434bdbde58972e3aull}},
    {"downsample 1/2",
     {0x10d2b36d71390585ull, 0x10d2b36d71390585ull, 0x4f16403ddc6e2a0bull, 0x4f16403ddc6e2a0bull,
      0xcb93d08682774289ull, 0xcb93d08682774289ull}},
    {"downsample 1/3 by 1/2, key",
     {0x33e12e52e1edd8bdull, 0x33e12e52e1edd8bdull, 0x16be02962c3b6c79ull, 0x16be02962c3b6c79ull,
      0x7acdf37b3170cd50ull, 0x7acdf37b3170cd50ull}},
    {"long blur",
     {0x100d6744d708dd35ull, 0x100d6744d708dd35ull, 0xd2780b22e2ba3563ull, 0xd2780b22e2ba3563ull,
      0x398d5e2a455de9d1ull, 0x398d5e2a455de9d1ull}},
};

} // namespace

TEST_F(RenderDigest, EveryRenderOfTheMatrixKeepsItsBytes) {
    const auto key = [this](int k, PF_Pixel color, double range) {
        const std::string n = std::to_string(k) + " : ";
        SetCheckbox(n + "Enable", true);
        SetColor(n + "Color", color);
        SetFloat(n + "Color Range", range);
    };
    const std::vector<Setting> settings = {
        {"defaults", [] {}},
        {"nothing to do", [&] { NoBlur(); }},
        {"nothing to do, draft",
         [&] {
             NoBlur();
             hostPtr->settings().quality = PF_Quality_LO;
         }},
        {"gauss 4",
         [&] {
             SetPopup("Blur Type", 1);
             SetFloat("Blur Amount", 4);
         }},
        {"box 4 repeat 1",
         [&] {
             SetFloat("Blur Amount", 4);
             SetSlider("Blur Repeat Num", 1);
         }},
        {"smoothing at extent 2",
         [&] {
             NoBlur();
             SetFloat("Blur Amount", 1);
         }},
        {"smoothing at extent 15",
         [&] {
             NoBlur();
             SetFloat("Blur Amount", 14);
             SetPopup("Blur Type", 1);
         }},
        {"per-channel lengths",
         [&] {
             SetCheckbox("Auto Alpha", false);
             SetFloat("R", 3);
             SetFloat("G", 7);
             SetFloat("B", 11);
             SetFloat("A", 2);
             SetFloat("Blur Amount", 1);
         }},
        {"auto alpha, gauss repeat 5",
         [&] {
             SetPopup("Blur Type", 1);
             SetFloat("R", 9);
             SetFloat("Blur Amount", 2);
             SetSlider("Blur Repeat Num", 5);
         }},
        {"repeat 10, aspect 3",
         [&] {
             SetFloat("Blur Amount", 6);
             SetSlider("Blur Repeat Num", 10);
             SetFloat("Blur Aspect", 3);
         }},
        {"gauss, aspect -2.5",
         [&] {
             SetPopup("Blur Type", 1);
             SetFloat("Blur Amount", 5);
             SetSlider("Blur Repeat Num", 2);
             SetFloat("Blur Aspect", -2.5);
         }},
        {"brightness only",
         [&] {
             NoBlur();
             SetFloat("Brightness", 35);
         }},
        {"brightness and blur",
         [&] {
             SetFloat("Brightness", 60);
             SetFloat("Blur Amount", 3);
         }},
        {"key, keep division",
         [&] {
             SetFloat("Blur Amount", 5);
             key(1, kOrange, 10);
         }},
        {"two keys, spanning",
         [&] {
             SetFloat("Blur Amount", 5);
             SetCheckbox("Keep Division", false);
             key(1, kOrange, 10);
             key(3, kBlue, 25);
         }},
        {"key, gauss spanning",
         [&] {
             SetPopup("Blur Type", 1);
             SetFloat("Blur Amount", 8);
             SetCheckbox("Keep Division", false);
             key(2, kPurple, 5);
         }},
        {"inverted key",
         [&] {
             SetFloat("Blur Amount", 5);
             SetCheckbox("Invert", true);
             key(1, kBlue, 15);
         }},
        {"inverted key, smoothing and brightness",
         [&] {
             NoBlur();
             SetFloat("Blur Amount", 2);
             SetFloat("Brightness", 20);
             SetCheckbox("Invert", true);
             key(4, kOrange, 30);
         }},
        {"extract",
         [&] {
             SetFloat("Blur Amount", 3);
             SetPopup("Mode", 2);
             key(1, kOrange, 10);
             key(2, kPurple, 10);
         }},
        {"extract without blur",
         [&] {
             NoBlur();
             SetPopup("Mode", 2);
             key(1, kBlue, 40);
         }},
        {"extract without key",
         [&] {
             NoBlur();
             SetPopup("Mode", 2);
         }},
        {"disable all with keys",
         [&] {
             SetFloat("Blur Amount", 5);
             SetPopup("Mode", 3);
             SetCheckbox("Invert", true);
             SetCheckbox("Keep Division", false);
             key(1, kOrange, 10);
         }},
        {"range 100",
         [&] {
             SetFloat("Blur Amount", 4);
             key(1, kOrange, 100);
         }},
        {"downsample 1/2",
         [&] {
             SetFloat("Blur Amount", 9);
             hostPtr->settings().downsampleX = {1, 2};
             hostPtr->settings().downsampleY = {1, 2};
         }},
        {"downsample 1/3 by 1/2, key",
         [&] {
             SetFloat("Blur Amount", 10);
             SetPopup("Blur Type", 1);
             hostPtr->settings().downsampleX = {1, 3};
             hostPtr->settings().downsampleY = {1, 2};
             key(1, kOrange, 20);
         }},
        {"long blur",
         [&] {
             SetFloat("Blur Amount", 60);
             SetSlider("Blur Repeat Num", 1);
         }},
    };

    const PF_PixelFormat formats[] = {PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB64, PF_PixelFormat_ARGB128};
    for (const Setting& setting : settings) {
        SCOPED_TRACE(setting.name);
        instance->ResetParams();
        hostPtr->settings() = host::Settings{};
        setting.apply();
        std::uint64_t digests[6];
        for (int f = 0; f < 3; ++f) {
            host::World input = MakeDigestImage(formats[f]);
            digests[2 * f] = Digest(input, true);
            digests[2 * f + 1] = Digest(input, false);
        }
        if (Printing()) {
            std::printf("    {\"%s\",\n     {", setting.name);
            for (int i = 0; i < 6; ++i)
                std::printf("0x%016" PRIx64 "ull%s", digests[i],
                            i == 5  ? "}},\n"
                            : i % 2 ? ",\n      "
                                    : ", ");
            continue;
        }
        const Expected* expected = nullptr;
        for (const Expected& e : kExpected)
            if (std::strcmp(e.name, setting.name) == 0)
                expected = &e;
        ASSERT_NE(expected, nullptr) << "no digests for this setting";
        const char* what[6] = {"8-bit smart",    "8-bit classic", "16-bit smart",
                               "16-bit classic", "float smart",   "float classic"};
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(digests[i], expected->digests[i]) << what[i];
    }
}

TEST_F(RenderDigest, EveryControlIsRegisteredWithTheSameBytes) {
    std::uint64_t h = Fnv1a(nullptr, 0);
    for (PF_ParamIndex i = 1; i < instance->ParamCount(); ++i) {
        PF_ParamDef def = instance->Param(i);
        // The choice and label texts are compared as texts; their addresses differ from load to load.
        const A_char** text = nullptr;
        if (def.param_type == PF_Param_POPUP)
            text = &def.u.pd.u.namesptr;
        else if (def.param_type == PF_Param_CHECKBOX)
            text = &def.u.bd.u.nameptr;
        if (text) {
            ASSERT_NE(*text, nullptr) << "index " << i;
            h = Fnv1a(*text, std::strlen(*text) + 1, h);
            *text = nullptr;
        }
        h = Fnv1a(&def, sizeof def, h);
    }
    if (Printing()) {
        std::printf("registration 0x%016" PRIx64 "\n", h);
        return;
    }
    EXPECT_EQ(h, 0x28acd685217c1b3bull);
}
