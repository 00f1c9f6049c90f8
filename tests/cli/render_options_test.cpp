// The render options: each accepted value works, each other value is a usage error (2).
#include "ToolRun.h"

namespace clitest {
namespace {

class RenderOptions : public ToolTest {
protected:
    void SetUp() override {
        ToolTest::SetUp();
        // Taller than the reader's bands of 64 rows, the last one odd: a read on two threads splits each.
        WriteImage(Path("in.png"), CelFrame8(64, 149));
    }
    // Renders with a blur and the given options; returns the pixels (empty on failure).
    std::vector<std::uint8_t> Render(const std::string& out, std::vector<std::string> extra) {
        std::vector<std::string> args{"render", File("in.png"),  "-o", File(out),           "-q",
                                      "-s",     "Blur Amount=6", "-s", "Blur Type=Gaussian"};
        args.insert(args.end(), extra.begin(), extra.end());
        ToolResult r = RunTool(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return r.exitCode == 0 ? ReadImage(Path(out)).bytes : std::vector<std::uint8_t>{};
    }
};

TEST_F(RenderOptions, ThreadsAndRenderPathDoNotChangeTheResult) {
    const auto all = Render("all.png", {});
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(Render("one.png", {"--threads", "1"}), all);
    EXPECT_EQ(Render("three.png", {"--threads", "3"}), all);
    EXPECT_EQ(Render("classic.png", {"--path", "classic"}), all);
    EXPECT_EQ(Render("smart.png", {"--path", "smart", "--quality", "high"}), all);
    EXPECT_FALSE(Render("draft.png", {"--quality", "draft"}).empty());
}

TEST_F(RenderOptions, DownsampleScalesTheBlur) {
    const auto full = Render("full.png", {});
    const auto half = Render("half.png", {"--downsample", "2"});
    EXPECT_FALSE(half.empty());
    EXPECT_NE(half, full);
    EXPECT_EQ(Render("same.png", {"--downsample", "2,2"}), half);
    EXPECT_FALSE(Render("mixed.png", {"--downsample", "1,4"}).empty());
}

TEST_F(RenderOptions, AlphaConventionCanBeDeclared) {
    // Premultiplied data declared as such: un-associated and re-associated exactly.
    Image pre = MakeImage(256, 1, 4, OIIO::TypeDesc::UINT8);
    for (int x = 0; x < 256; ++x) {
        std::uint8_t* p = pre.Data<std::uint8_t>() + x * 4;
        p[3] = std::uint8_t(x), p[0] = std::uint8_t(x / 2), p[1] = std::uint8_t(x),
        p[2] = std::uint8_t(x / 3);
    }
    WriteImage(Path("pre.png"), pre);
    std::vector<std::string> args{"render", File("pre.png"), "-o",           File("pre_out.png"),
                                  "-q",     "--alpha",       "premultiplied"};
    for (const std::string& s : NoWorkSettings())
        args.push_back(s);
    ASSERT_EQ(RunTool(args).exitCode, 0);
    EXPECT_EQ(ReadImage(Path("pre_out.png")).bytes, pre.bytes);

    // An EXR declared straight is not divided by its alpha at all.
    Image exr = MakeImage(4, 1, 4, OIIO::TypeDesc::FLOAT);
    const float values[16] = {0.3f, 0.6f, 0.9f, 0.25f, 1.0f, 0.5f, 0.1f, 0.0f,
                              0.7f, 0.2f, 0.3f, 0.75f, 0,    0,    0,    1};
    std::copy(values, values + 16, exr.Data<float>());
    WriteImage(Path("in.exr"), exr);
    args = {"render", File("in.exr"), "-o", File("out.exr"), "-q", "--alpha", "straight"};
    for (const std::string& s : NoWorkSettings())
        args.push_back(s);
    ASSERT_EQ(RunTool(args).exitCode, 0);
    EXPECT_EQ(ReadImage(Path("out.exr")).bytes, exr.bytes);
}

TEST_F(RenderOptions, OtherValuesAreUsageErrors) {
    const std::vector<std::vector<std::string>> cases = {
        {"--downsample", "0"},  {"--downsample", "x"},
        {"--downsample", "2,"}, {"--threads", "0"},
        {"--quality", "best"},  {"--path", "fast"},
        {"--alpha", "other"},   {"--depth", "12"},
        {"--no-such-option"},   {"--set"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"render", File("in.png"), "-o", File("out.png")};
        args.insert(args.end(), c.begin(), c.end());
        ToolResult r = RunTool(args);
        EXPECT_EQ(r.exitCode, 2) << c[0] << "\n" << r.err;
    }
    EXPECT_EQ(RunTool({"render"}).exitCode, 2);
    EXPECT_EQ(RunTool({}).exitCode, 2);
    EXPECT_FALSE(std::filesystem::exists(Path("out.png")));
}

} // namespace
} // namespace clitest
