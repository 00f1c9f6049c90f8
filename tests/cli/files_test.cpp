// Input and output files: unreadable inputs and unwritable outputs are file errors (3) that leave nothing
// behind; an existing output is replaced only with -y; metadata travels with the picture.
#include <fstream>

#include "ToolRun.h"

namespace clitest {
namespace {

using Files = ToolTest;

TEST_F(Files, UnreadableInputsAndUnwritableOutputsAreRefused) {
    WriteImage(Path("in.png"), CelFrame8(8, 8));
    std::ofstream(Path("text.png")) << "not an image";
    std::ofstream(Path("plain")) << "a file, not a folder";
    const struct {
        std::string in, out, mention;
    } cases[] = {
        {File("missing.png"), File("out.png"), "missing.png"},
        {File("text.png"), File("out.png"), "text.png"},
        {File("in.png"), File("no/such/folder/out.png"), "does not exist"},
        {File("in.png"), File("plain/out.png"), "does not exist"},
        {File("in.png"), File("out.unknownformat"), "out.unknownformat"},
    };
    for (const auto& c : cases) {
        ToolResult r = RunTool({"render", c.in, "-o", c.out});
        EXPECT_EQ(r.exitCode, 3) << c.in << " -> " << c.out << "\n" << r.err;
        EXPECT_NE(r.err.find(c.mention), std::string::npos) << r.err;
    }
    EXPECT_EQ(Listing(), (std::vector<std::string>{"in.png", "plain", "text.png"}));
}

TEST_F(Files, ExistingOutputIsReplacedOnlyWithYes) {
    WriteImage(Path("in.png"), CelFrame8(8, 8));
    std::ofstream(Path("out.png")) << "keep me";
    ToolResult refused = RunTool({"render", File("in.png"), "-o", File("out.png")});
    EXPECT_EQ(refused.exitCode, 3);
    EXPECT_NE(refused.err.find("out.png\" exists; use -y"), std::string::npos) << refused.err;
    std::ifstream kept(Path("out.png"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "keep me");

    ToolResult replaced = RunTool({"render", File("in.png"), "-o", File("out.png"), "-y", "-q"});
    EXPECT_EQ(replaced.exitCode, 0) << replaced.err;
    EXPECT_EQ(ReadImage(Path("out.png")).width, 8);
    EXPECT_EQ(Listing(), (std::vector<std::string>{"in.png", "out.png"}));
}

TEST_F(Files, MetadataIsKept) {
    WriteImage(Path("in.tif"), CelFrame8(8, 8),
               {{"ImageDescription", "a test frame"}, {"Artist", "someone"}});
    WriteImage(Path("in.png"), CelFrame8(8, 8), {{"ImageDescription", "a png frame"}});
    ASSERT_EQ(RunTool({"render", File("in.tif"), "-o", File("out.tif"), "-q"}).exitCode, 0);
    ASSERT_EQ(RunTool({"render", File("in.png"), "-o", File("out.exr"), "-q"}).exitCode, 0);
    const Image tif = ReadImage(Path("out.tif")), exr = ReadImage(Path("out.exr"));
    EXPECT_EQ(tif.spec.get_string_attribute("ImageDescription"), "a test frame");
    EXPECT_EQ(tif.spec.get_string_attribute("Artist"), "someone");
    EXPECT_EQ(exr.spec.get_string_attribute("ImageDescription"), "a png frame");
}

} // namespace
} // namespace clitest
