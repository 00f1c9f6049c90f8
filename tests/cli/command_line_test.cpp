// Command-line slips: every error says "tovrin:" first, misspelt commands and options get a suggestion, and
// an output that is the input (also through a link, or another frame's input) is refused unless
// --in-place asks for it.
#include "ToolRun.h"

namespace clitest {
namespace {

using CommandLine = ToolTest;

TEST_F(CommandLine, SlipsArePrefixedAndSuggested) {
    WriteImage(Path("in.png"), CelFrame8(8, 8));
    const struct {
        std::vector<std::string> args;
        std::string mention;
    } cases[] = {
        {{}, "give a command: render, submit, info or options"},
        {{"rendr", File("in.png")}, "unknown command \"rendr\"; did you mean \"render\"?"},
        {{"inof"}, "did you mean \"info\"?"},
        {{"render", File("in.png"), "-o", File("out.png"), "--depht", "16"},
         "unknown option --depht for 'tovrin render'; did you mean --depth?"},
        {{"render", File("in.png"), "-o", File("out.png"), "--skip-exisiting"},
         "did you mean --skip-existing?"},
        {{"render", File("in.png"), "-o", File("out.png"), "--depth", "7"}, "--depth: 7 not in {8,16,32}"},
        {{"render", File("in.png"), File("in.png"), "-o", File("out.png")}, "unexpected argument"},
        {{"render", File("in.png"), "-o", File("out.png"), "--threads", "many"}, "--threads"},
        {{"options", "--store", "--restore"}, "excludes"},
    };
    for (const auto& c : cases) {
        ToolResult r = RunTool(c.args);
        EXPECT_EQ(r.exitCode, 2) << r.err;
        EXPECT_EQ(r.err.rfind("tovrin: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.mention), std::string::npos) << r.err;
        // One line.
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    }
    EXPECT_EQ(Listing(), std::vector<std::string>{"in.png"});
}

TEST_F(CommandLine, VersionAndHelpGoToStandardOutput) {
    ToolResult version = RunTool({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("tovrin ", 0), 0u) << version.out;
    EXPECT_NE(version.out.find('.'), std::string::npos) << version.out;
    ToolResult help = RunTool({"render", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--skip-existing"), std::string::npos);
    EXPECT_NE(help.out.find("FRAME n cancelled"), std::string::npos);
}

TEST_F(CommandLine, AnOutputThatIsAnInputNeedsInPlace) {
    WriteImage(Path("in.png"), CelFrame8(8, 8));
    const Image original = ReadImage(Path("in.png"));
    std::filesystem::create_symlink(Path("in.png"), Path("link.png"));
    std::filesystem::create_hard_link(Path("in.png"), Path("hard.png"));
    for (const char* out : {"in.png", "link.png", "hard.png"}) {
        ToolResult r = RunTool({"render", File("in.png"), "-o", File(out), "-y", "-s", "Blur Amount=3"});
        EXPECT_EQ(r.exitCode, 2) << out << "\n" << r.err;
        EXPECT_NE(r.err.find("is the input file"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("--in-place"), std::string::npos) << r.err;
    }
    EXPECT_EQ(ReadImage(Path("in.png")).bytes, original.bytes);
    ToolResult inPlace = RunTool({"render", File("in.png"), "-o", File("in.png"), "--in-place", "-q", "-s",
                                  "Blur Amount=3", "-s", "Blur Type=Gaussian"});
    ASSERT_EQ(inPlace.exitCode, 0) << inPlace.err;
    EXPECT_NE(ReadImage(Path("in.png")).bytes, original.bytes);

    // Another frame's input is never replaced, --in-place or not: it would be gone before it is read.
    WriteImage(Path("s.0001.png"), CelFrame8(8, 8, 1));
    WriteImage(Path("s.0002.png"), CelFrame8(8, 8, 2));
    std::filesystem::create_symlink(Path("s.0002.png"), Path("t.0001.png"));
    ToolResult shifted = RunTool(
        {"render", File("s.####.png"), "-o", File("t.####.png"), "--in-place", "-y", "--frames", "1-2"});
    EXPECT_EQ(shifted.exitCode, 2) << shifted.err;
    EXPECT_NE(shifted.err.find("is the input of frame 2"), std::string::npos) << shifted.err;
}

} // namespace
} // namespace clitest
