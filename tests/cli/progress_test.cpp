// Progress: plain parsable lines when not on a terminal, a bar on a terminal, nothing with --quiet.
#include <regex>
#include <sstream>

#include "ToolRun.h"

namespace clitest {
namespace {

using Progress = ToolTest;

TEST_F(Progress, PlainLinesWhenNotOnATerminal) {
    WriteImage(Path("in.0001.png"), CelFrame8(16, 16));
    WriteImage(Path("in.0002.png"), CelFrame8(16, 16, 3));
    ToolResult r =
        RunTool({"render", File("in.####.png"), "-o", File("out.####.png"), "-s", "Blur Amount=4"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // Every stdout line is one of the documented forms, and the percent never goes back.
    const std::regex line(R"(FRAME \d+ (start|done .+)|PROGRESS: (\d+)%)");
    std::istringstream lines(r.out);
    std::string l;
    int last = -1, progressLines = 0;
    while (std::getline(lines, l)) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(l, m, line)) << l;
        if (m[2].matched) {
            const int percent = std::stoi(m[2]);
            EXPECT_GE(percent, last);
            last = percent;
            ++progressLines;
        }
    }
    EXPECT_GE(progressLines, 2);
    EXPECT_EQ(last, 100);
    EXPECT_NE(r.out.find("FRAME 1 start\n"), std::string::npos);
    EXPECT_NE(r.out.find("FRAME 2 done"), std::string::npos);
}

TEST_F(Progress, QuietSaysNothing) {
    WriteImage(Path("in.png"), CelFrame8(16, 16));
    ToolResult r =
        RunTool({"render", File("in.png"), "-o", File("out.png"), "--quiet", "-s", "Blur Amount=4"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
}

TEST_F(Progress, BarOnATerminal) {
    WriteImage(Path("in.png"), CelFrame8(16, 16));
    RunOptions terminal;
    terminal.terminal = true;
    ToolResult r =
        RunTool({"render", File("in.png"), "-o", File("out.png"), "-s", "Blur Amount=4"}, terminal);
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("100% [##############################]"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("PROGRESS:"), std::string::npos) << r.out;
}

} // namespace
} // namespace clitest
