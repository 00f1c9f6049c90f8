// The render depth: taken from the file unless --depth says otherwise, converted with the effect's own
// formulas; an output format that cannot hold the depth gets the nearest one it can, and the tool says so.
#include <cmath>

#include "ToolRun.h"

namespace clitest {
namespace {

class Depth : public ToolTest {
protected:
    ToolResult Render(const std::string& in, const std::string& out, std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"render", File(in), "-o", File(out)};
        for (const std::string& s : NoWorkSettings())
            args.push_back(s);
        args.insert(args.end(), extra.begin(), extra.end());
        return RunTool(args);
    }
};

std::uint32_t FileToHost16(std::uint32_t v) {
    return (v * 32768u + 32767u) / 65535u;
}
std::uint32_t HostToFile16(std::uint32_t h) {
    return (h * 65535u + 16384u) / 32768u;
}
std::uint32_t FloatToHost16(float c) {
    const float clamped = c < 0.0f ? 0.0f : c > 1.0f ? 1.0f : c;
    return std::uint32_t(std::trunc(double(clamped * 32768.0f) + 0.5));
}

TEST_F(Depth, ChosenFromTheFile) {
    WriteImage(Path("in8.png"), CelFrame8(8, 8));
    WriteImage(Path("in16.png"), MakeImage(8, 8, 4, OIIO::TypeDesc::UINT16));
    WriteImage(Path("inh.exr"), MakeImage(8, 8, 4, OIIO::TypeDesc::HALF));
    WriteImage(Path("inf.tif"), MakeImage(8, 8, 3, OIIO::TypeDesc::FLOAT));
    const struct {
        const char *in, *out, *format;
        OIIO::TypeDesc type;
    } cases[] = {{"in8.png", "o8.png", "'argb'", OIIO::TypeDesc::UINT8},
                 {"in16.png", "o16.png", "'ae16'", OIIO::TypeDesc::UINT16},
                 {"inh.exr", "oh.exr", "'ae32'", OIIO::TypeDesc::HALF},
                 {"inf.tif", "of.tif", "'ae32'", OIIO::TypeDesc::FLOAT}};
    for (const auto& c : cases) {
        ToolResult r = Render(c.in, c.out);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(r.err.find(std::string("rendering in ") + c.format), std::string::npos) << r.err;
        EXPECT_EQ(ReadImage(Path(c.out)).type, c.type) << c.in;
    }
}

TEST_F(Depth, EightBitConvertsWithTheEffectsFormulas) {
    Image in = MakeImage(256, 1, 4, OIIO::TypeDesc::UINT8);
    for (int x = 0; x < 256; ++x)
        for (int c = 0; c < 4; ++c)
            in.Data<std::uint8_t>()[x * 4 + c] = std::uint8_t(c == 3 ? 255 : x);
    WriteImage(Path("in.png"), in);
    ASSERT_EQ(Render("in.png", "o16.png", {"--depth", "16"}).exitCode, 0);
    ASSERT_EQ(Render("in.png", "o32.exr", {"--depth", "32"}).exitCode, 0);
    const Image o16 = ReadImage(Path("o16.png")), o32 = ReadImage(Path("o32.exr"));
    ASSERT_EQ(o16.type, OIIO::TypeDesc::UINT16);
    ASSERT_EQ(o32.type, OIIO::TypeDesc::FLOAT);
    for (std::uint32_t c = 0; c < 256; ++c) {
        EXPECT_EQ(o16.At<std::uint16_t>(int(c), 0, 0), HostToFile16((c * 32768u + 128u) / 255u)) << c;
        EXPECT_EQ(o32.At<float>(int(c), 0, 1), float(c) / 255.0f) << c;
    }
}

TEST_F(Depth, SixteenBitAndFloatConvertDown) {
    Image in16 = MakeImage(1024, 1, 3, OIIO::TypeDesc::UINT16);
    for (int i = 0; i < 1024 * 3; ++i)
        in16.Data<std::uint16_t>()[i] = std::uint16_t(i * 64 + i % 64);
    WriteImage(Path("in16.png"), in16);
    ASSERT_EQ(Render("in16.png", "o8.png", {"--depth", "8"}).exitCode, 0);
    const Image o8 = ReadImage(Path("o8.png"));
    ASSERT_EQ(o8.type, OIIO::TypeDesc::UINT8);
    for (int i = 0; i < 1024 * 3; ++i)
        EXPECT_EQ(o8.Data<std::uint8_t>()[i],
                  (FileToHost16(in16.Data<std::uint16_t>()[i]) * 255u + 16384u) >> 15);

    // Float into PNG: clamped, 16-bit (the nearest depth PNG holds), said on stderr.
    const float values[] = {-0.5f, 0.0f, 0.1f, 0.3f, 0.5f, 0.7f, 0.999f, 1.0f, 1.5f};
    Image inf = MakeImage(9, 1, 3, OIIO::TypeDesc::FLOAT);
    for (int i = 0; i < 27; ++i)
        inf.Data<float>()[i] = values[i / 3];
    WriteImage(Path("inf.exr"), inf);
    ToolResult r = Render("inf.exr", "of.png");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("png files cannot hold 32-bit float; writing 16-bit"), std::string::npos) << r.err;
    const Image of = ReadImage(Path("of.png"));
    ASSERT_EQ(of.type, OIIO::TypeDesc::UINT16);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(of.At<std::uint16_t>(i, 0, 0), HostToFile16(FloatToHost16(values[i]))) << values[i];
}

} // namespace
} // namespace clitest
