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
            // Each value once: a farm manager's log holds no repeats.
            const int percent = std::stoi(m[2]);
            EXPECT_GT(percent, last);
            last = percent;
            ++progressLines;
        }
    }
    EXPECT_GE(progressLines, 2);
    EXPECT_EQ(last, 100);
    EXPECT_NE(r.out.find("FRAME 1 start\n"), std::string::npos);
    EXPECT_NE(r.out.find("FRAME 2 done"), std::string::npos);
}

TEST_F(Progress, TheBarFitsANarrowTerminalAndNamesThePhases) {
    for (int f = 1; f <= 3; ++f)
        WriteImage(Path("in.000" + std::to_string(f) + ".png"), CelFrame8(400, 300, f));
    RunOptions terminal;
    terminal.terminal = true;
    terminal.columns = 40;
    ToolResult r = RunTool({"render", File("in.####.png"), "-o", File("out.####.png"), "-s", "Blur Amount=30",
                            "-s", "Blur Type=Gaussian"},
                           terminal);
    ASSERT_EQ(r.exitCode, 0) << r.out;
    // Every redraw stays within 39 columns, so the terminal never wraps it into a new line.
    std::string text = r.out;
    for (std::size_t at; (at = text.find("\033[K")) != std::string::npos;)
        text.erase(at, 3);
    std::size_t bars = 0;
    std::string line;
    for (char c : text + "\n") {
        if (c != '\r' && c != '\n') {
            line += c;
            continue;
        }
        if (line.find("% [") != std::string::npos || line.find("elapsed") != std::string::npos) {
            ++bars;
            EXPECT_LE(line.size(), 39u) << line;
        }
        line.clear();
    }
    EXPECT_GE(bars, 3u) << r.out;
    EXPECT_NE(r.out.find("100% ["), std::string::npos) << r.out;
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
