// Sequences: # and %04d patterns, --frames A-B[xSTEP], frames found on disk; a frame that fails is reported
// and the others go on, and the exit code says that not all succeeded.
#include "ToolRun.h"

namespace clitest {
namespace {

class Sequence : public ToolTest {
protected:
    void WriteFrames(const std::vector<int>& frames) {
        for (int f : frames) {
            char name[32];
            std::snprintf(name, sizeof name, "in.%04d.png", f);
            WriteImage(Path(name), CelFrame8(12, 8, f));
        }
    }
    ToolResult Render(const std::string& in, const std::string& out, std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"render", File(in), "-o", File(out), "-s", "Blur Amount=2"};
        args.insert(args.end(), extra.begin(), extra.end());
        return RunTool(args);
    }
};

TEST_F(Sequence, RangeWithStepRendersEachFrame) {
    WriteFrames({1, 2, 3, 4, 5});
    ToolResult r = Render("in.####.png", "out.%04d.png", {"--frames", "1-5x2"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const char* name : {"out.0001.png", "out.0003.png", "out.0005.png"})
        EXPECT_TRUE(std::filesystem::exists(Path(name))) << name;
    EXPECT_FALSE(std::filesystem::exists(Path("out.0002.png")));
    // One plain line per frame that a farm manager can parse.
    EXPECT_NE(r.out.find("FRAME 3 done " + File("out.0003.png")), std::string::npos) << r.out;
    // Frames differ, so each came from its own input.
    EXPECT_NE(ReadImage(Path("out.0001.png")).bytes, ReadImage(Path("out.0003.png")).bytes);
}

TEST_F(Sequence, WithoutFramesTheFilesOnDiskAreRendered) {
    WriteFrames({7, 9});
    ToolResult r = Render("in.#.png", "o_##.png", {"-q"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists(Path("o_07.png")));
    EXPECT_TRUE(std::filesystem::exists(Path("o_09.png")));
}

TEST_F(Sequence, MissingFrameIsReportedAndTheOthersGoOn) {
    WriteFrames({1, 2, 4});
    ToolResult r = Render("in.####.png", "out.####.png", {"--frames", "1-4"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_NE(r.err.find("frame 3"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("in.0003.png"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("FRAME 3 failed"), std::string::npos) << r.out;
    for (const char* name : {"out.0001.png", "out.0002.png", "out.0004.png"})
        EXPECT_TRUE(std::filesystem::exists(Path(name))) << name;
    EXPECT_FALSE(std::filesystem::exists(Path("out.0003.png")));
}

TEST_F(Sequence, PatternAndRangeMistakesAreUsageErrors) {
    WriteFrames({1});
    const std::vector<std::vector<std::string>> cases = {
        {File("in.####.png"), "-o", File("out.png")},
        {File("in.0001.png"), "-o", File("out.####.png")},
        {File("in.0001.png"), "-o", File("out.png"), "--frames", "1-2"},
        {File("in.####.png"), "-o", File("out.####.png"), "--frames", "5-1"},
        {File("in.####.png"), "-o", File("out.####.png"), "--frames", "1-5x0"},
        {File("in.####.png"), "-o", File("out.####.png"), "--frames", "a-b"},
        {File("in.##.%04d.png"), "-o", File("out.####.png")},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"render"};
        args.insert(args.end(), c.begin(), c.end());
        ToolResult r = RunTool(args);
        EXPECT_EQ(r.exitCode, 2) << args[1] << " " << args.back() << "\n" << r.err;
    }
    EXPECT_EQ(Listing(), std::vector<std::string>{"in.0001.png"});
}

} // namespace
} // namespace clitest
