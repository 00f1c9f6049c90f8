// Colour spaces: --working-space converts the file's colour (its recorded space, or --input-space) into
// the space the effect renders in and back after; with nothing to render the round trip is exact. By
// default the encoding is left as it is, and an output whose encoding is not its format's usual one says so
// and records the space truthfully.
#include <cmath>

#include "TestFiles.h"
#include "ToolRun.h"

namespace clitest {
namespace {

class Colour : public ToolTest {
protected:
    ToolResult Render(const std::string& in, const std::string& out, const std::vector<std::string>& extra) {
        std::vector<std::string> args{"render", File(in), "-o", File(out), "-y"};
        args.insert(args.end(), extra.begin(), extra.end());
        return RunTool(args);
    }
};

float SrgbToLinear(float c) {
    return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f);
}

TEST_F(Colour, ALinearBlurOfRedAndGreenMeetsInYellowWhereAnSrgbBlurMeetsInBrown) {
    Image stripes = MakeImage(64, 4, 3, OIIO::TypeDesc::UINT8);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 64; ++x) {
            std::uint8_t* p = stripes.Data<std::uint8_t>() + (y * 64 + x) * 3;
            p[0] = x < 32 ? 255 : 0;
            p[1] = x < 32 ? 0 : 255;
        }
    WriteImage(Path("stripes.png"), stripes);
    const std::vector<std::string> blur{"-s", "Blur Amount=8", "-s", "R=0", "-s", "G=0",
                                        "-s", "B=0",           "-s", "A=0"};
    ASSERT_EQ(Render("stripes.png", "srgb.png", blur).exitCode, 0);
    std::vector<std::string> linear = blur;
    linear.insert(linear.end(), {"--working-space", "linear"});
    ToolResult r = Render("stripes.png", "linear.png", linear);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("rendering in linear (the input is sRGB, the output sRGB)"), std::string::npos)
        << r.err;

    const Image a = ReadImage(Path("srgb.png")), b = ReadImage(Path("linear.png"));
    // Where the stripes meet, half of each light: in sRGB code values about 128 each (dark), in light
    // about 188 each once encoded again.
    const int red0 = a.At<std::uint8_t>(31, 2, 0), green0 = a.At<std::uint8_t>(32, 2, 1);
    const int red1 = b.At<std::uint8_t>(31, 2, 0), green1 = b.At<std::uint8_t>(32, 2, 1);
    EXPECT_GT(red1, red0 + 30) << red0 << " " << red1;
    EXPECT_GT(green1, green0 + 30) << green0 << " " << green1;
    // Far from the edge nothing mixes, in either space.
    EXPECT_EQ(b.At<std::uint8_t>(2, 2, 0), 255);
    EXPECT_EQ(b.At<std::uint8_t>(2, 2, 1), 0);
    EXPECT_EQ(b.At<std::uint8_t>(61, 2, 1), 255);
}

TEST_F(Colour, ACopyRenderInAnotherSpaceRoundTripsExactly) {
    Image eight = MakeImage(256, 2, 4, OIIO::TypeDesc::UINT8);
    for (int i = 0; i < 512; ++i)
        for (int c = 0; c < 4; ++c)
            eight.Data<std::uint8_t>()[i * 4 + c] =
                std::uint8_t(c == 3 ? (i < 256 ? 255 : i % 256) : (i + c * 85) % 256);
    WriteImage(Path("in8.png"), eight);
    Image sixteen = MakeImage(256, 256, 3, OIIO::TypeDesc::UINT16);
    for (std::uint32_t i = 0; i < 65536; ++i)
        for (int c = 0; c < 3; ++c)
            sixteen.Data<std::uint16_t>()[i * 3 + std::uint32_t(c)] = std::uint16_t(i * (c + 1));
    WriteImage(Path("in16.png"), sixteen);

    std::vector<std::string> copy = NoWorkSettings();
    copy.insert(copy.end(), {"--working-space", "linear", "-q"});
    ASSERT_EQ(Render("in8.png", "out8.png", copy).exitCode, 0);
    ASSERT_EQ(Render("in16.png", "once16.png", copy).exitCode, 0);
    ASSERT_EQ(Render("once16.png", "twice16.png", copy).exitCode, 0);
    EXPECT_EQ(ReadImage(Path("out8.png")).bytes, eight.bytes);
    // 16-bit files meet the host's 0..32768 grid once; from then on the trip is exact.
    EXPECT_EQ(ReadImage(Path("twice16.png")).bytes, ReadImage(Path("once16.png")).bytes);

    // An unknown space is refused before anything is read.
    ToolResult r = Render("in8.png", "bad.png", {"--working-space", "no such space"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("--working-space \"no such space\": not a colour space"), std::string::npos)
        << r.err;
}

TEST_F(Colour, IntegerSrgbInAFloatFileIsSaidAndRecorded) {
    Image in = MakeImage(256, 1, 3, OIIO::TypeDesc::UINT8);
    for (int x = 0; x < 256; ++x)
        for (int c = 0; c < 3; ++c)
            in.Data<std::uint8_t>()[x * 3 + c] = std::uint8_t(x);
    WriteImage(Path("in.png"), in);
    std::vector<std::string> args = NoWorkSettings();
    args.insert(args.end(), {"--depth", "32"});
    ToolResult r = Render("in.png", "coded.exr", args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(
        r.err.find("the values are sRGB-encoded, as in the input, not linear as float openexr files usually "
                   "are"),
        std::string::npos)
        << r.err;
    const Part coded = ReadParts(Path("coded.exr")).at(0);
    EXPECT_EQ(coded.spec.get_string_attribute("colorSpace"), "sRGB");
    EXPECT_EQ(coded.Value(128, 0, 0), 128.0f / 255.0f);

    // The tool takes the recorded space back: converting that file to linear decodes sRGB.
    std::vector<std::string> decode = NoWorkSettings();
    decode.insert(decode.end(), {"--output-space", "linear"});
    ASSERT_EQ(Render("coded.exr", "decoded.exr", decode).exitCode, 0);
    const Part decoded = ReadParts(Path("decoded.exr")).at(0);
    EXPECT_NEAR(decoded.Value(128, 0, 0), SrgbToLinear(128.0f / 255.0f), 2e-5f);

    // --output-space linear writes light, as float files usually hold, and says nothing.
    args.insert(args.end(), {"--output-space", "linear"});
    r = Render("in.png", "light.exr", args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err.find("-encoded"), std::string::npos) << r.err;
    const Part light = ReadParts(Path("light.exr")).at(0);
    EXPECT_EQ(light.spec.get_string_attribute("colorSpace"), "");
    for (int x : {0, 10, 128, 200, 255})
        EXPECT_NEAR(light.Value(x, 0, 1), SrgbToLinear(float(x) / 255.0f), 2e-5f) << x;
}

} // namespace
} // namespace clitest
