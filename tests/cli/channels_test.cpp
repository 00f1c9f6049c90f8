// Every channel and part survives: the effect renders R, G, B and A, found by name (or a layer's
// "<layer>.R/G/B/A"), and every other channel and part is copied through with its name, type and values,
// with a note; a format that cannot hold them says what it leaves out.
#include "TestFiles.h"
#include "ToolRun.h"

namespace clitest {
namespace {

using OIIO::TypeDesc;

class Channels : public ToolTest {
protected:
    ToolResult Render(const std::string& in, const std::string& out, const std::vector<std::string>& extra) {
        std::vector<std::string> args{"render", File(in), "-o", File(out)};
        args.insert(args.end(), extra.begin(), extra.end());
        return RunTool(args);
    }
};

// A 32 × 24 frame with a soft-edged block, and channels beside it that the effect must not touch.
Part AovFrame(const std::vector<std::string>& names, const std::vector<TypeDesc>& types) {
    Part part = MakePart(32, 24, names, types);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 32; ++x)
            for (int c = 0; c < part.spec.nchannels; ++c) {
                const std::string name = part.spec.channel_name(c);
                const bool block = x >= 8 && x < 20 && y >= 6 && y < 16;
                float v = float((x * 7 + y * 13 + c * 5) % 17) / 4.0f; // not a picture: depth, ids, vectors
                if (name == "A" || name == "beauty.A")
                    v = block ? 1.0f : 0.0f;
                else if (name == "R" || name == "G" || name == "B" || name.rfind("beauty.", 0) == 0)
                    v = block ? 0.25f * float(c % 4 + 1) : 0.0f;
                part.SetValue(x, y, c, v);
            }
    return part;
}

TEST_F(Channels, AovsAreCopiedThroughWithTheirNamesTypesAndValues) {
    const Part in = AovFrame({"R", "G", "B", "A", "Z", "diffuse.R", "diffuse.G", "diffuse.B", "N.x"},
                             {TypeDesc::HALF, TypeDesc::HALF, TypeDesc::HALF, TypeDesc::HALF, TypeDesc::FLOAT,
                              TypeDesc::HALF, TypeDesc::HALF, TypeDesc::HALF, TypeDesc::FLOAT});
    for (const char* frame : {"in.0001.exr", "in.0002.exr"})
        WriteParts(Path(frame), {in});
    ToolResult r = Render("in.####.exr", "out.####.exr", {"-s", "Blur Amount=6"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string note =
        "the channels Z, N.x, diffuse.R, diffuse.G and diffuse.B are not rendered; copied through unchanged";
    const std::size_t at = r.err.find(note);
    EXPECT_NE(at, std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(note, at + 1), std::string::npos) << "said once for the sequence:\n" << r.err;

    const Part src = ReadParts(Path("in.0001.exr")).at(0), out = ReadParts(Path("out.0002.exr")).at(0);
    ASSERT_EQ(out.spec.nchannels, 9);
    for (const char* name : {"Z", "diffuse.R", "diffuse.G", "diffuse.B", "N.x"}) {
        const int o = out.Channel(name), i = src.Channel(name);
        ASSERT_GE(o, 0) << name;
        EXPECT_EQ(out.spec.channelformat(o), src.spec.channelformat(i)) << name;
        EXPECT_EQ(out.ChannelBytes(o), src.ChannelBytes(i)) << name;
    }
    EXPECT_EQ(out.spec.channelformat(out.Channel("R")), TypeDesc::HALF);
    EXPECT_NE(out.ChannelBytes(out.Channel("A")), src.ChannelBytes(src.Channel("A"))) << "rendered";

    // PNG holds four channels: the others are left out, and the tool says which.
    r = Render("in.0001.exr", "out.png", {"-s", "Blur Amount=6"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(
        r.err.find("png files cannot hold the input's further channels Z, N.x, diffuse.R, diffuse.G and "
                   "diffuse.B; they are not written"),
        std::string::npos)
        << r.err;
}

TEST_F(Channels, ALayeredFileRendersItsFirstLayerByName) {
    // No plain R, G, B: red must come from beauty.R, not from Z (which sorts first in the file).
    WriteParts(Path("layers.exr"),
               {AovFrame({"Z", "beauty.R", "beauty.G", "beauty.B", "beauty.A", "spec.R", "spec.G", "spec.B"},
                         {TypeDesc::FLOAT})});
    std::vector<std::string> copy = NoWorkSettings();
    ToolResult r = Render("layers.exr", "copy.exr", copy);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Part in = ReadParts(Path("layers.exr")).at(0), out = ReadParts(Path("copy.exr")).at(0);
    ASSERT_EQ(out.spec.nchannels, 8);
    for (const char* name :
         {"Z", "beauty.R", "beauty.G", "beauty.B", "beauty.A", "spec.R", "spec.G", "spec.B"}) {
        const int o = out.Channel(name), i = in.Channel(name);
        ASSERT_GE(o, 0) << name;
        for (int y = 0; y < 24; y += 3)
            for (int x = 0; x < 32; x += 3)
                EXPECT_NEAR(out.Value(x, y, o), in.Value(x, y, i), 1e-6f) << name << " at " << x << "," << y;
    }

    r = Render("layers.exr", "blur.exr", {"-s", "Blur Amount=6"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Part blur = ReadParts(Path("blur.exr")).at(0);
    EXPECT_EQ(blur.ChannelBytes(blur.Channel("Z")), in.ChannelBytes(in.Channel("Z")));
    EXPECT_EQ(blur.ChannelBytes(blur.Channel("spec.G")), in.ChannelBytes(in.Channel("spec.G")));
    EXPECT_NE(blur.ChannelBytes(blur.Channel("beauty.A")), in.ChannelBytes(in.Channel("beauty.A")));

    // Nothing to render at all is a file error naming the channels.
    WriteParts(Path("normals.exr"), {MakePart(4, 4, {"N.x", "N.y", "N.z"}, {TypeDesc::FLOAT})});
    r = Render("normals.exr", "n.exr", {});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_NE(r.err.find("no channels to render"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("N.x, N.y and N.z"), std::string::npos) << r.err;
}

TEST_F(Channels, FurtherPartsAreCopiedThrough) {
    Part beauty = AovFrame({"R", "G", "B", "A"}, {TypeDesc::HALF});
    beauty.spec.attribute("name", "beauty");
    Part depth = MakePart(16, 8, {"Z"}, {TypeDesc::FLOAT}, 3, 2);
    depth.spec.attribute("name", "depth");
    depth.spec.full_x = depth.spec.full_y = 0; // the parts share the frame
    depth.spec.full_width = 32, depth.spec.full_height = 24;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            depth.SetValue(x, y, 0, float(x * 100 + y));
    WriteParts(Path("two.exr"), {beauty, depth});

    ToolResult r = Render("two.exr", "out.exr", {"-s", "Blur Amount=4"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("the input's 1 other part is not rendered; copied through unchanged"),
              std::string::npos)
        << r.err;
    const std::vector<Part> in = ReadParts(Path("two.exr")), out = ReadParts(Path("out.exr"));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].spec.get_string_attribute("name"), "beauty");
    EXPECT_EQ(out[1].spec.get_string_attribute("name"), "depth");
    EXPECT_EQ(out[1].spec.x, 3);
    EXPECT_EQ(out[1].spec.width, 16);
    EXPECT_EQ(out[1].spec.channelnames, in[1].spec.channelnames);
    EXPECT_EQ(out[1].pixels, in[1].pixels);
    EXPECT_NE(out[0].pixels, in[0].pixels);

    r = Render("two.exr", "out.png", {"-s", "Blur Amount=4"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("png files hold one image; the input's 1 other part is not written"),
              std::string::npos)
        << r.err;
}

} // namespace
} // namespace clitest
