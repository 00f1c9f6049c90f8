// The rendered region of a file whose data window is not its display window: by default their union, with
// transparent pixels where nothing is stored, so that a blur spreads up to the frame's edge; --region data
// and --region display for the other choices. The written data window is the rendered region.
#include "TestFiles.h"
#include "ToolRun.h"

namespace clitest {
namespace {

class Region : public ToolTest {
protected:
    // A CG-style half-float frame: 400 × 300 display window, a 120 × 100 data window at (140, 100) holding an
    // orange block 100 × 80 at (150, 110) on transparent black.
    void WriteSmallDataWindow(const std::string& name) {
        Part part = MakePart(120, 100, {"R", "G", "B", "A"}, {OIIO::TypeDesc::HALF}, 140, 100);
        part.spec.full_x = part.spec.full_y = 0;
        part.spec.full_width = 400;
        part.spec.full_height = 300;
        for (int y = 10; y < 90; ++y)
            for (int x = 10; x < 110; ++x) {
                const float c[4] = {1.0f, 0.5f, 0.2f, 1.0f};
                for (int k = 0; k < 4; ++k)
                    part.SetValue(x, y, k, c[k]);
            }
        WriteParts(Path(name), {part});
    }

    ToolResult Render(const std::vector<std::string>& extra) {
        std::vector<std::string> args{"render", File("dw.exr"), "-o", File("out.exr"), "-y", "-q"};
        args.insert(args.end(), extra.begin(), extra.end());
        return RunTool(args);
    }
};

TEST_F(Region, ABlurSpreadsFromASmallDataWindowUpToTheDisplayWindow) {
    WriteSmallDataWindow("dw.exr");
    const std::vector<std::string> gauss{
        "-s", "Blur Type=Gaussian", "-s", "Blur Amount=20", "-s", "R=0", "-s", "G=0", "-s", "B=0", "-s",
        "A=0"};
    ToolResult r = Render(gauss);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Part grown = ReadParts(Path("out.exr")).at(0);
    EXPECT_EQ(grown.spec.x, 0);
    EXPECT_EQ(grown.spec.y, 0);
    EXPECT_EQ(grown.spec.width, 400);
    EXPECT_EQ(grown.spec.height, 300);
    EXPECT_EQ(grown.spec.full_width, 400);
    const int a = grown.Channel("A");
    // Beyond the old data window (which ended at x = 140), within the blur's reach of the block (x ≥ 150).
    EXPECT_GT(grown.Value(135, 150, a), 0.01f);
    EXPECT_GT(grown.Value(200, 95, a), 0.01f);
    EXPECT_EQ(grown.Value(20, 20, a), 0.0f); // out of reach stays transparent

    // --region data keeps the stored rectangle, and the blur stops at its edge.
    std::vector<std::string> dataOnly = gauss;
    dataOnly.insert(dataOnly.end(), {"--region", "data"});
    ASSERT_EQ(Render(dataOnly).exitCode, 0);
    const Part cut = ReadParts(Path("out.exr")).at(0);
    EXPECT_EQ(cut.spec.x, 140);
    EXPECT_EQ(cut.spec.y, 100);
    EXPECT_EQ(cut.spec.width, 120);
    EXPECT_EQ(cut.spec.height, 100);
    EXPECT_EQ(cut.spec.full_width, 400);
}

TEST_F(Region, ACopyRenderKeepsThePixelsWhereTheyLieAndCropsToTheDisplayWindow) {
    WriteSmallDataWindow("dw.exr");
    std::vector<std::string> none = NoWorkSettings();
    const ToolResult copied = Render(none);
    ASSERT_EQ(copied.exitCode, 0) << copied.err;
    const Part in = ReadParts(Path("dw.exr")).at(0), out = ReadParts(Path("out.exr")).at(0);
    ASSERT_EQ(out.spec.width, 400);
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(out.Value(150 + 5, 110 + 5, c), in.Value(15, 15, c)) << c;
        EXPECT_EQ(out.Value(141, 101, c), in.Value(1, 1, c)) << c;
        EXPECT_EQ(out.Value(100, 50, c), 0.0f) << c;
    }

    // Overscan: a data window larger than the display window, cut to the display window; stored in tiles,
    // so the cut falls inside a row of tiles.
    Part over = MakePart(100, 80, {"R", "G", "B", "A"}, {OIIO::TypeDesc::FLOAT}, -10, -10);
    over.spec.tile_width = over.spec.tile_height = 16;
    over.spec.full_x = 0, over.spec.full_y = 0, over.spec.full_width = 60, over.spec.full_height = 40;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 100; ++x) {
            over.SetValue(x, y, 0, float(x) / 100.0f);
            over.SetValue(x, y, 1, float(y) / 80.0f);
            over.SetValue(x, y, 3, 1.0f);
        }
    WriteParts(Path("over.exr"), {over});
    none.insert(none.end(), {"--region", "display"});
    std::vector<std::string> args{"render", File("over.exr"), "-o", File("crop.exr"), "-q"};
    args.insert(args.end(), none.begin(), none.end());
    ToolResult r = RunTool(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Part crop = ReadParts(Path("crop.exr")).at(0);
    EXPECT_EQ(crop.spec.x, 0);
    EXPECT_EQ(crop.spec.width, 60);
    EXPECT_EQ(crop.spec.height, 40);
    EXPECT_EQ(crop.Value(0, 0, 0), over.Value(10, 10, 0));
    EXPECT_EQ(crop.Value(59, 39, 1), over.Value(69, 49, 1));
}

TEST_F(Region, AUnionBeyondTheHostsLimitIsRefusedNamingIt) {
    // Four stored pixels far from a small display window: their union is 40 004 pixels wide.
    Part far = MakePart(4, 4, {"R", "G", "B", "A"}, {OIIO::TypeDesc::HALF}, 40000, 0);
    far.spec.full_x = far.spec.full_y = 0, far.spec.full_width = far.spec.full_height = 100;
    WriteParts(Path("dw.exr"), {far});
    ToolResult r = Render({});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_NE(r.err.find("the union of its data and display windows is 40004 × 100 pixels, beyond the host's "
                         "limit of 30000 pixels per side"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(Listing(), std::vector<std::string>{"dw.exr"});
    EXPECT_EQ(Render({"--region", "data"}).exitCode, 0);
}

} // namespace
} // namespace clitest
