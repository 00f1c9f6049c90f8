// What an output says about its making and how it is compressed: this tool and its version as Software, the
// time of writing, the command line in the image's history; --compression per format, checked against the
// output's format, with defaults for intermediates.
#include "TestFiles.h"
#include "ToolRun.h"

namespace clitest {
namespace {

using Metadata = ToolTest;

TEST_F(Metadata, OutputsNameThisToolAndRecordTheCommand) {
    WriteImage(Path("in.exr"), CelFrame8(8, 8),
               {{"Software", "OtherApp 3.1"},
                {"DateTime", "2001:02:03 04:05:06"},
                {"ImageDescription", "plate 12"},
                {"Exif:ImageHistory", "otherapp grade in.dpx"}});
    for (const char* out : {"out.tif", "out.png", "out.exr"}) {
        ToolResult r = RunTool({"render", File("in.exr"), "-o", File(out), "-s", "Blur Amount=2", "-q"});
        ASSERT_EQ(r.exitCode, 0) << out << "\n" << r.err;
        const OIIO::ImageSpec spec = ReadParts(Path(out)).at(0).spec;
        const std::string software = spec.get_string_attribute("Software");
        EXPECT_EQ(software.rfind("tovrin ", 0), 0u) << out << ": " << software;
        EXPECT_NE(software.find(" : tovrin render "), std::string::npos) << out << ": " << software;
        EXPECT_NE(software.find("'Blur Amount=2'"), std::string::npos) << out << ": " << software;
        EXPECT_NE(spec.get_string_attribute("DateTime"), "2001:02:03 04:05:06") << out;
        EXPECT_EQ(spec.get_string_attribute("ImageDescription"), "plate 12") << out;
        if (std::string(out) != "out.tif") { // this TIFF writer keeps no Exif block
            const std::string history = spec.get_string_attribute("Exif:ImageHistory");
            EXPECT_EQ(history.rfind("otherapp grade in.dpx\ntovrin render ", 0), 0u)
                << out << ": " << history;
            EXPECT_NE(history.find("'Blur Amount=2'"), std::string::npos) << history;
        }
    }
}

using Compression = ToolTest;

TEST_F(Compression, ChosenPerFormatAndCheckedAgainstIt) {
    Image grain = MakeImage(128, 96, 3, OIIO::TypeDesc::UINT16);
    std::uint32_t state = 7;
    for (std::size_t i = 0; i < grain.bytes.size() / 2; ++i) {
        state = state * 1664525u + 1013904223u;
        grain.Data<std::uint16_t>()[i] = std::uint16_t(30000 + (state >> 22) + (i % 128) * 100);
    }
    WriteImage(Path("in.png"), grain);
    const auto render = [&](const std::string& out, const std::vector<std::string>& extra) {
        std::vector<std::string> args{"render", File("in.png"), "-o", File(out), "-q"};
        for (const std::string& s : NoWorkSettings())
            args.push_back(s);
        args.insert(args.end(), extra.begin(), extra.end());
        return RunTool(args);
    };
    ASSERT_EQ(render("fast.png", {"--compression", "0"}).exitCode, 0);
    ASSERT_EQ(render("small.png", {"--compression", "9"}).exitCode, 0);
    EXPECT_GT(std::filesystem::file_size(Path("fast.png")),
              std::filesystem::file_size(Path("small.png")) + 1000);
    EXPECT_EQ(ReadImage(Path("fast.png")).bytes, ReadImage(Path("small.png")).bytes);

    ASSERT_EQ(render("lzw.tif", {"--compression", "lzw"}).exitCode, 0);
    EXPECT_EQ(ReadImage(Path("lzw.tif")).spec.get_string_attribute("compression"), "lzw");
    ASSERT_EQ(render("dwaa.exr", {"--compression", "dwaa:60"}).exitCode, 0);
    EXPECT_EQ(ReadImage(Path("dwaa.exr")).spec.get_string_attribute("compression"), "dwaa");

    // Defaults: the input's own for the same format, else the format's.
    ASSERT_EQ(render("default.exr", {}).exitCode, 0);
    EXPECT_EQ(ReadImage(Path("default.exr")).spec.get_string_attribute("compression"), "piz");
    ToolResult r = RunTool({"render", File("dwaa.exr"), "-o", File("again.exr"), "-q"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadImage(Path("again.exr")).spec.get_string_attribute("compression"), "dwaa");

    const struct {
        std::string out, choice, says;
    } wrong[] = {
        {"x.png", "zip", "png files take a zlib level from 0"},
        {"x.png", "10", "png files take a zlib level from 0"},
        {"x.exr", "lzw", "openexr files take none, rle, zips, zip, piz"},
        {"x.tif", "piz", "tiff files take none, lzw, zip"},
        {"x.jpg", "9", "jpeg files take no --compression"},
    };
    for (const auto& w : wrong) {
        r = render(w.out, {"--compression", w.choice});
        EXPECT_EQ(r.exitCode, 2) << w.out << " " << w.choice << "\n" << r.err;
        EXPECT_NE(r.err.find("--compression \"" + w.choice + "\": " + w.says), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(Path("x.png")));
}

} // namespace
} // namespace clitest
