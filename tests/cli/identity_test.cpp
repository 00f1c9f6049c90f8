// With every blur length at 0 the effect copies its input: what comes back must be what went in, bit for
// bit, including the colour under zero alpha, through each file convention.
#include <cstring>

#include "ToolRun.h"

namespace clitest {
namespace {

class Identity : public ToolTest {
protected:
    ToolResult NoWork(const std::string& in, const std::string& out, std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"render", File(in), "-o", File(out), "-q"};
        for (const std::string& s : NoWorkSettings())
            args.push_back(s);
        args.insert(args.end(), extra.begin(), extra.end());
        return RunTool(args);
    }
};

TEST_F(Identity, EightBitPngComesBackWithIdenticalPixels) {
    const Image in = CelFrame8(40, 30);
    WriteImage(Path("in.png"), in);
    ToolResult r = NoWork("in.png", "out.png");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Image out = ReadImage(Path("out.png"));
    EXPECT_EQ(out.type, OIIO::TypeDesc::UINT8);
    EXPECT_EQ(out.channels, 4);
    EXPECT_EQ(out.bytes, in.bytes);
    EXPECT_EQ(out.At<std::uint8_t>(39, 5, 1), 99); // colour under zero alpha
}

TEST_F(Identity, SixteenBitPngWrittenByTheToolComesBackBitIdentical) {
    // Every 16-bit value in every channel: the file's 0..65535 lands on the host's 0..32768 grid once, and
    // from then on the mapping is exact.
    Image in = MakeImage(256, 256, 4, OIIO::TypeDesc::UINT16);
    std::uint16_t* p = in.Data<std::uint16_t>();
    for (std::uint32_t i = 0; i < 65536; ++i) {
        p[i * 4 + 0] = std::uint16_t(i);
        p[i * 4 + 1] = std::uint16_t(65535 - i);
        p[i * 4 + 2] = std::uint16_t(i * 7919u);
        p[i * 4 + 3] = std::uint16_t(i % 3 == 0 ? 0 : i);
    }
    WriteImage(Path("in.png"), in);
    ASSERT_EQ(NoWork("in.png", "once.png").exitCode, 0);
    ASSERT_EQ(NoWork("once.png", "twice.png").exitCode, 0);
    const Image once = ReadImage(Path("once.png")), twice = ReadImage(Path("twice.png"));
    EXPECT_EQ(once.type, OIIO::TypeDesc::UINT16);
    EXPECT_EQ(twice.bytes, once.bytes);
    // The first pass is the documented mapping there and back.
    for (std::uint32_t v : {0u, 1u, 2u, 32767u, 32768u, 65534u, 65535u}) {
        const std::uint32_t h = (v * 32768u + 32767u) / 65535u;
        EXPECT_EQ(once.At<std::uint16_t>(int(v % 256), int(v / 256), 0), (h * 65535u + 16384u) / 32768u) << v;
    }
}

TEST_F(Identity, StraightTiffAndGreyFilesComeBackUnchanged) {
    const Image cel = CelFrame8(20, 10);
    WriteImage(Path("in.tif"), cel);
    ASSERT_EQ(NoWork("in.tif", "out.tif").exitCode, 0);
    EXPECT_EQ(ReadImage(Path("out.tif")).bytes, cel.bytes);

    // A TIFF with associated alpha is un-associated and re-associated, exactly for premultiplied data, and
    // stays associated.
    Image pre = MakeImage(256, 1, 4, OIIO::TypeDesc::UINT8);
    for (int x = 0; x < 256; ++x) {
        std::uint8_t* p = pre.Data<std::uint8_t>() + x * 4;
        p[0] = std::uint8_t(x / 2), p[1] = std::uint8_t(x), p[2] = std::uint8_t(x * 3 / 4),
        p[3] = std::uint8_t(x);
    }
    WriteImage(Path("pre.tif"), pre, {}, true);
    ASSERT_EQ(NoWork("pre.tif", "pre_out.tif").exitCode, 0);
    const Image preOut = ReadImage(Path("pre_out.tif"));
    EXPECT_EQ(preOut.bytes, pre.bytes);
    EXPECT_EQ(preOut.spec.get_int_attribute("oiio:UnassociatedAlpha", 0), 0);

    // Grey with alpha becomes R = G = B and keeps its alpha.
    Image grey = MakeImage(16, 4, 2, OIIO::TypeDesc::UINT8);
    for (std::size_t i = 0; i < grey.bytes.size(); ++i)
        grey.bytes[i] = std::uint8_t(i * 37);
    WriteImage(Path("grey.png"), grey);
    ASSERT_EQ(NoWork("grey.png", "grey_out.png").exitCode, 0);
    const Image out = ReadImage(Path("grey_out.png"));
    ASSERT_EQ(out.channels, 4);
    for (int x = 0; x < 16; ++x) {
        const std::uint8_t y = grey.At<std::uint8_t>(x, 3, 0);
        EXPECT_EQ(out.At<std::uint8_t>(x, 3, 0), y);
        EXPECT_EQ(out.At<std::uint8_t>(x, 3, 1), y);
        EXPECT_EQ(out.At<std::uint8_t>(x, 3, 2), y);
        EXPECT_EQ(out.At<std::uint8_t>(x, 3, 3), grey.At<std::uint8_t>(x, 3, 1));
    }
}

TEST_F(Identity, FloatExrKeepsItsValuesAndPremultipliedAlpha) {
    Image in = MakeImage(8, 2, 4, OIIO::TypeDesc::FLOAT);
    float* p = in.Data<float>();
    for (int i = 0; i < 16; ++i) {
        const float a = float(i) / 15.0f;
        p[i * 4 + 0] = 0.5f * a, p[i * 4 + 1] = 1.5f * a, p[i * 4 + 2] = -0.25f * a, p[i * 4 + 3] = a;
    }
    WriteImage(Path("in.exr"), in);
    ASSERT_EQ(NoWork("in.exr", "out.exr").exitCode, 0);
    const Image out = ReadImage(Path("out.exr"));
    ASSERT_EQ(out.type, OIIO::TypeDesc::FLOAT);
    // Un-associated on the way in and re-associated on the way out: equal up to float rounding; values
    // beyond 0..1 are kept.
    for (int i = 0; i < 64; ++i)
        EXPECT_NEAR(out.Data<float>()[i], in.Data<float>()[i], 1e-6f) << i;
}

} // namespace
} // namespace clitest
