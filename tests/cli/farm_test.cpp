// What render farms rely on: --skip-existing resumes a range, frame lists pick frames, and one frame's
// failure of any kind (here a frame beyond the host's size limit) is that frame's alone.
#include <fstream>

#include "ToolRun.h"

namespace clitest {
namespace {

class Farm : public ToolTest {
protected:
    void WriteFrames(const std::string& format, const std::vector<int>& frames) {
        for (int f : frames) {
            char name[64];
            std::snprintf(name, sizeof name, format.c_str(), f);
            WriteImage(Path(name), CelFrame8(12, 8, f));
        }
    }
    static std::string Contents(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};

TEST_F(Farm, SkipExistingResumesARange) {
    WriteFrames("in.%04d.png", {1, 2, 3, 4, 5});
    const std::vector<std::string> render{"render", File("in.####.png"), "-o", File("out.####.png"),
                                          "-s",     "Blur Amount=2"};
    auto with = [&](std::vector<std::string> extra) {
        std::vector<std::string> args = render;
        args.insert(args.end(), extra.begin(), extra.end());
        return RunTool(args);
    };
    ASSERT_EQ(with({"--frames", "1-3"}).exitCode, 0);
    // A first run's output stands for a finished frame: it must not be touched.
    std::ofstream(Path("out.0002.png"), std::ios::app) << "";
    const std::string before = Contents(Path("out.0002.png"));
    const auto stamp = std::filesystem::last_write_time(Path("out.0002.png"));

    // Without -n the existing outputs are refused before anything renders.
    ToolResult refused = with({"--frames", "1-5"});
    EXPECT_EQ(refused.exitCode, 3) << refused.err;
    EXPECT_FALSE(std::filesystem::exists(Path("out.0004.png")));

    ToolResult resumed = with({"--frames", "1-5", "--skip-existing"});
    ASSERT_EQ(resumed.exitCode, 0) << resumed.err;
    for (int f : {1, 2, 3})
        EXPECT_NE(resumed.out.find("FRAME " + std::to_string(f) + " skipped " +
                                   File("out.000" + std::to_string(f) + ".png") + "\n"),
                  std::string::npos)
            << resumed.out;
    EXPECT_NE(resumed.out.find("FRAME 4 done"), std::string::npos) << resumed.out;
    EXPECT_NE(resumed.out.find("FRAME 5 done"), std::string::npos) << resumed.out;
    EXPECT_EQ(resumed.out.find("FRAME 2 start"), std::string::npos) << resumed.out;
    EXPECT_EQ(Contents(Path("out.0002.png")), before);
    EXPECT_EQ(std::filesystem::last_write_time(Path("out.0002.png")), stamp);

    // Everything there: all skipped, still success; a single file says SKIPPED.
    ToolResult again = with({"-n", "-y"});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(again.out.find(" done "), std::string::npos) << again.out;
    ToolResult single = RunTool({"render", File("in.0001.png"), "-o", File("out.0001.png"), "-n"});
    EXPECT_EQ(single.exitCode, 0) << single.err;
    EXPECT_NE(single.out.find("SKIPPED " + File("out.0001.png")), std::string::npos) << single.out;
}

TEST_F(Farm, FrameListsPickTheirFramesOnce) {
    WriteFrames("in.%04d.png", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    ToolResult r = RunTool({"render", File("in.####.png"), "-o", File("out.####.png"), "--frames",
                            "1-2,8,5-11x3,2", "-s", "Blur Amount=1"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> expected{
        "in.0001.png",  "in.0002.png",  "in.0003.png",  "in.0004.png",  "in.0005.png", "in.0006.png",
        "in.0007.png",  "in.0008.png",  "in.0009.png",  "in.0010.png",  "in.0011.png", "in.0012.png",
        "out.0001.png", "out.0002.png", "out.0005.png", "out.0008.png", "out.0011.png"};
    EXPECT_EQ(Listing(), expected);
    // In the order given, each frame once.
    const std::size_t one = r.out.find("FRAME 1 start"), eight = r.out.find("FRAME 8 start"),
                      five = r.out.find("FRAME 5 start");
    EXPECT_LT(one, eight);
    EXPECT_LT(eight, five);
    EXPECT_EQ(r.out.find("FRAME 2 start", r.out.find("FRAME 2 start") + 1), std::string::npos) << r.out;

    for (const char* bad : {"1-", "1,,2", "3-1", "1-4x0", "x2", "1-2x", "a", "1-3;5"}) {
        ToolResult refused =
            RunTool({"render", File("in.####.png"), "-o", File("bad.####.png"), "--frames", bad});
        EXPECT_EQ(refused.exitCode, 2) << bad << "\n" << refused.err;
        EXPECT_NE(refused.err.find("tovrin: --frames \""), std::string::npos) << refused.err;
    }
}

TEST_F(Farm, NegativeFramesAndAtPadding) {
    WriteFrames("neg.%04d.png", {-2, -1, 0, 1});
    ToolResult r =
        RunTool({"render", File("neg.####.png"), "-o", File("o.@@@.png"), "--frames=-2--1,1", "-q"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const char* name : {"o.-02.png", "o.-01.png", "o.001.png"})
        EXPECT_TRUE(std::filesystem::exists(Path(name))) << name;
    EXPECT_FALSE(std::filesystem::exists(Path("o.000.png")));
    // Without --frames the frames on disk, negative ones too.
    ToolResult all = RunTool({"render", File("neg.%04d.png"), "-o", File("p.%d.png"), "-q"});
    ASSERT_EQ(all.exitCode, 0) << all.err;
    for (const char* name : {"p.-2.png", "p.-1.png", "p.0.png", "p.1.png"})
        EXPECT_TRUE(std::filesystem::exists(Path(name))) << name;
}

TEST_F(Farm, PatternsPadAsPrintfDoesAndNeverCut) {
    WriteFrames("in.%04d.png", {1, 2});
    // %4d pads with spaces, so it cannot land on the zero-padded inputs.
    ToolResult spaces = RunTool({"render", File("in.%04d.png"), "-o", File("in.%4d.png"), "-y", "-q"});
    ASSERT_EQ(spaces.exitCode, 0) << spaces.err;
    EXPECT_TRUE(std::filesystem::exists(Path("in.   1.png")));
    EXPECT_TRUE(std::filesystem::exists(Path("in.   2.png")));
    // %% is a literal percent sign beside a pattern, and a name with only %%d is no sequence.
    ToolResult percent = RunTool({"render", File("in.%04d.png"), "-o", File("50%%.%02d.png"), "-q"});
    ASSERT_EQ(percent.exitCode, 0) << percent.err;
    EXPECT_TRUE(std::filesystem::exists(Path("50%.01.png")));
    ToolResult literal = RunTool({"render", File("in.0001.png"), "-o", File("a%%d.png"), "-q"});
    ASSERT_EQ(literal.exitCode, 0) << literal.err;
    EXPECT_TRUE(std::filesystem::exists(Path("a%%d.png")));
    // 18 digits are honoured; 19 or a run of 40 '#' are refused, never cut.
    ToolResult wide = RunTool({"render", File("in.%04d.png"), "-o", File("w.%018d.png"), "-q"});
    ASSERT_EQ(wide.exitCode, 0) << wide.err;
    EXPECT_TRUE(std::filesystem::exists(Path("w.000000000000000001.png")));
    for (const std::string& out : {std::string("x.%019d.png"), "x." + std::string(40, '#') + ".png",
                                   "x." + std::string(19, '@') + ".png"}) {
        ToolResult refused = RunTool({"render", File("in.%04d.png"), "-o", File(out)});
        EXPECT_EQ(refused.exitCode, 2) << out << "\n" << refused.err;
        EXPECT_NE(refused.err.find("more than 18 digits"), std::string::npos) << refused.err;
    }
    for (const std::string& name : Listing())
        EXPECT_NE(name.rfind("x.", 0), 0u) << name;
}

TEST_F(Farm, OneFrameBeyondTheHostsLimitFailsAloneOnOneLine) {
    WriteImage(Path("in.0001.png"), CelFrame8(12, 8, 1));
    WriteImage(Path("in.0002.png"), MakeImage(30001, 2, 4, OIIO::TypeDesc::UINT8));
    WriteImage(Path("in.0003.png"), CelFrame8(12, 8, 3));
    ToolResult r =
        RunTool({"render", File("in.####.png"), "-o", File("out.####.png"), "-s", "Blur Amount=2"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.exitCode, -1) << "the tool died";
    EXPECT_NE(r.out.find("FRAME 1 done"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("FRAME 3 done"), std::string::npos) << r.out;
    const std::size_t failed = r.out.find("FRAME 2 failed: ");
    ASSERT_NE(failed, std::string::npos) << r.out;
    // One line: the next line is a protocol line again.
    const std::size_t next = r.out.find('\n', failed) + 1;
    EXPECT_TRUE(r.out.compare(next, 6, "FRAME ") == 0 || r.out.compare(next, 9, "PROGRESS:") == 0) << r.out;
    EXPECT_NE(r.err.find("1 of 3 frames failed"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(Path("out.0002.png")));
}

} // namespace
} // namespace clitest
