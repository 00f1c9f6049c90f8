// Presets: values saved by id and loaded back give the same render; --set wins over a preset; a preset with
// a bad value is refused, naming the file and the control.
#include <fstream>

#include "ToolRun.h"

namespace clitest {
namespace {

using Preset = ToolTest;

void WriteText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path) << text;
}

TEST_F(Preset, SavedAndReloadedGivesTheSameRender) {
    WriteImage(Path("in.png"), CelFrame8(48, 32));
    ToolResult saved =
        RunTool({"render", File("in.png"), "-o", File("a.png"), "--save-preset", File("p.json"), "-s",
                 "Blur Amount=3.5", "-s", "Blur Type=Gaussian", "-s", "Brightness=20", "-s", "1 : Enable=on",
                 "-s", "1 : Color=200,120,40", "-s", "1 : Color Range=10", "-q"});
    ASSERT_EQ(saved.exitCode, 0) << saved.err;
    ToolResult loaded =
        RunTool({"render", File("in.png"), "-o", File("b.png"), "--preset", File("p.json"), "-q"});
    ASSERT_EQ(loaded.exitCode, 0) << loaded.err;
    EXPECT_EQ(ReadImage(Path("a.png")).bytes, ReadImage(Path("b.png")).bytes);

    // --set wins over the preset: the same as giving the value alone.
    ToolResult over = RunTool({"render", File("in.png"), "-o", File("c.png"), "--preset", File("p.json"),
                               "-s", "1 : Enable=off", "-q"});
    ToolResult alone = RunTool({"render", File("in.png"), "-o", File("d.png"), "-s", "Blur Amount=3.5", "-s",
                                "Blur Type=Gaussian", "-s", "Brightness=20", "-q"});
    ASSERT_EQ(over.exitCode, 0) << over.err;
    ASSERT_EQ(alone.exitCode, 0) << alone.err;
    EXPECT_EQ(ReadImage(Path("c.png")).bytes, ReadImage(Path("d.png")).bytes);
}

TEST_F(Preset, ValuesAreFoundByIdAndUnknownIdsAreSkipped) {
    // Names are for people: the id decides. Texts take the --set forms.
    WriteText(Path("p.json"), R"({"controls": {"51": {"name": "renamed", "value": 7},
        "153": {"value": "#102030"}, "164": {"value": "Extract"}, "999": {"value": 1}}})");
    ToolResult r = RunTool({"render", "--preset", File("p.json"), "--save-preset", File("q.json")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("no control with id 999"), std::string::npos) << r.err;
    std::ifstream in(Path("q.json"));
    std::string saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(saved.find(R"("51": {"name":"Blur Amount","value":7.0})"), std::string::npos) << saved;
    EXPECT_NE(saved.find(R"("value":[16,32,48])"), std::string::npos) << saved;
    EXPECT_NE(saved.find(R"("choice":"Extract")"), std::string::npos) << saved;
}

TEST_F(Preset, BadPresetsAreRefused) {
    WriteImage(Path("in.png"), CelFrame8(8, 8));
    const struct {
        std::string text;
        std::string mention;
    } cases[] = {
        {R"({"controls": {"51": {"value": 2000}}})", "\"Blur Amount\""},
        {R"({"controls": {"153": {"value": [1, 2]}}})", "\"1 : Color\""},
        {R"({"controls": {"51": )", "not valid JSON"},
        {R"({"effect": "SOMEONE ELSE", "controls": {}})", "SOMEONE ELSE"},
    };
    for (const auto& c : cases) {
        WriteText(Path("bad.json"), c.text);
        ToolResult r =
            RunTool({"render", File("in.png"), "-o", File("out.png"), "--preset", File("bad.json")});
        EXPECT_EQ(r.exitCode, 3) << c.text << "\n" << r.err;
        EXPECT_NE(r.err.find(c.mention), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("bad.json"), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(Path("out.png")));
    }
    ToolResult missing =
        RunTool({"render", File("in.png"), "-o", File("out.png"), "--preset", File("none.json")});
    EXPECT_EQ(missing.exitCode, 3) << missing.err;
}

TEST_F(Preset, ControlsMayBeKeyedByName) {
    WriteText(Path("named.json"), R"({"controls": {"Blur Amount": 7, "Auto Alpha": {"value": "false"},
        "Mode": "Extract"}})");
    ToolResult r = RunTool({"render", "--preset", File("named.json"), "--save-preset", File("q.json")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::ifstream in(Path("q.json"));
    std::string saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(saved.find(R"("name":"Auto Alpha","value":false)"), std::string::npos) << saved;
    EXPECT_NE(saved.find(R"("choice":"Extract")"), std::string::npos) << saved;
    EXPECT_NE(saved.find(R"("name":"Blur Amount","value":7.0)"), std::string::npos) << saved;

    WriteText(Path("typo.json"), R"({"controls": {"Blur Amout": 7}})");
    ToolResult typo = RunTool({"render", "--preset", File("typo.json"), "--save-preset", File("t.json")});
    EXPECT_EQ(typo.exitCode, 3) << typo.err;
    EXPECT_NE(typo.err.find("did you mean \"Blur Amount\""), std::string::npos) << typo.err;
    EXPECT_NE(typo.err.find("typo.json"), std::string::npos) << typo.err;
}

TEST_F(Preset, DeepNestingIsAClearErrorNotACrash) {
    WriteText(Path("deep.json"), std::string(100000, '[') + std::string(100000, ']'));
    WriteText(Path("deep2.json"), R"({"controls": {"51": {"value": )" + std::string(5000, '[') + "1" +
                                      std::string(5000, ']') + "}}}");
    for (const char* name : {"deep.json", "deep2.json"}) {
        ToolResult r = RunTool({"render", "--preset", File(name), "--save-preset", File("out.json")});
        EXPECT_EQ(r.exitCode, 3) << r.err;
        EXPECT_NE(r.err.find("tovrin: preset \"" + File(name) + "\" nests arrays or objects"),
                  std::string::npos)
            << r.err;
    }
    // Strings may hold brackets.
    WriteText(Path("brackets.json"), R"({"controls": {"Mode": "[[[[[[[[[[[[[[[[[[[["}})");
    ToolResult strings =
        RunTool({"render", "--preset", File("brackets.json"), "--save-preset", File("o.json")});
    EXPECT_EQ(strings.exitCode, 3);
    EXPECT_NE(strings.err.find("not one of the choices"), std::string::npos) << strings.err;
}

TEST_F(Preset, LoadingASavedPresetPrintsNoDisabledNotes) {
    WriteImage(Path("in.png"), CelFrame8(8, 8));
    ASSERT_EQ(RunTool({"render", "--save-preset", File("p.json")}).exitCode, 0);
    ToolResult loaded = RunTool({"render", File("in.png"), "-o", File("a.png"), "--preset", File("p.json")});
    ASSERT_EQ(loaded.exitCode, 0) << loaded.err;
    EXPECT_EQ(loaded.err.find("is disabled"), std::string::npos) << loaded.err;
    // A value set by hand on a disabled control still gets its note.
    ToolResult byHand = RunTool(
        {"render", File("in.png"), "-o", File("b.png"), "--preset", File("p.json"), "-s", "Invert=on"});
    ASSERT_EQ(byHand.exitCode, 0) << byHand.err;
    EXPECT_NE(byHand.err.find("\"Invert\" is disabled"), std::string::npos) << byHand.err;
}

} // namespace
} // namespace clitest
