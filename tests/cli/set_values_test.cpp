// --set: every kind of control takes the texts people write; anything else is refused, naming the control
// and what it takes, and nothing is rendered.
#include <fstream>

#include <nlohmann/json.hpp>

#include "ToolRun.h"

namespace clitest {
namespace {

class SetValues : public ToolTest {
protected:
    // The values after the settings, as the tool saves them.
    nlohmann::json Saved(const std::vector<std::string>& settings) {
        std::vector<std::string> args{"render", "--save-preset", File("p.json"), "-y", "-q"};
        args.insert(args.end(), settings.begin(), settings.end());
        ToolResult r = RunTool(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        std::ifstream in(Path("p.json"));
        return nlohmann::json::parse(in)["controls"];
    }
};

TEST_F(SetValues, EveryKindTakesItsTexts) {
    nlohmann::json c =
        Saved({"-s", "Blur Amount=500",      "-s", "Blur Aspect = -50",  "-s", "Blur Repeat Num=10",
               "-s", "Auto Alpha=false",     "-s", "1 : Enable=1",       "-s", "Invert=yes",
               "-s", "Keep Division=No",     "-s", "Blur Type=Gaussian", "-s", "Mode=3",
               "-s", "1 : Color=10, 20, 30", "-s", "2 : Color=#FF8000",  "-s", "1 : Color Range=100"});
    // Valid beyond the sliders' ends: 500 past 100, -50 past -10.
    EXPECT_EQ(c["51"]["value"], 500.0);
    EXPECT_EQ(c["53"]["value"], -50.0);
    EXPECT_EQ(c["52"]["value"], 10);
    EXPECT_EQ(c["102"]["value"], false);
    EXPECT_EQ(c["152"]["value"], true);
    EXPECT_EQ(c["165"]["value"], true);
    EXPECT_EQ(c["54"]["value"], false);
    EXPECT_EQ(c["50"]["value"], 1);
    EXPECT_EQ(c["164"]["value"], 3);
    EXPECT_EQ(c["164"]["choice"], "Disable All");
    EXPECT_EQ(c["153"]["value"], nlohmann::json::array({10, 20, 30}));
    EXPECT_EQ(c["156"]["value"], nlohmann::json::array({255, 128, 0}));
    EXPECT_EQ(c["154"]["value"], 100.0);
}

TEST_F(SetValues, LaterSettingsWinAndOthersKeepTheirDefaults) {
    nlohmann::json c = Saved({"-s", "G=1", "-s", "G=2.5"});
    EXPECT_EQ(c["104"]["value"], 2.5);
    EXPECT_EQ(c["105"]["value"], 15.0);
    EXPECT_EQ(c["50"]["value"], 2);
}

TEST_F(SetValues, RefusalsNameTheControlAndWhatItTakes) {
    WriteImage(Path("in.png"), CelFrame8(16, 16));
    const struct {
        std::string setting;
        std::vector<std::string> mentions;
    } cases[] = {
        {"Blur Amountt=3", {"unknown control", "\"Blur Amountt\""}},
        {"blur amount=3", {"did you mean \"Blur Amount\""}},
        {"Blur Amount=1000.5", {"\"Blur Amount\"", "out of range", "0 to 1000"}},
        {"Blur Amount=12abc", {"\"Blur Amount\"", "not a number"}},
        {"Blur Repeat Num=0", {"\"Blur Repeat Num\"", "1 to 10"}},
        {"Blur Repeat Num=2.5", {"not a whole number"}},
        {"Auto Alpha=maybe", {"\"Auto Alpha\"", "on, off, true, false, yes, no, 1 or 0"}},
        {"Blur Amout=5", {"unknown control \"Blur Amout\"", "did you mean \"Blur Amount\""}},
        {"1:Color Rnge=5", {"did you mean \"1 : Color Range\""}},
        {"Mode=4", {"\"Mode\"", "\"Normal\", \"Extract\", \"Disable All\""}},
        {"Blur Type=Triangle", {"\"Blur Type\"", "not one of the choices"}},
        {"1 : Color=256,0,0", {"\"1 : Color\"", "R,G,B with each from 0 to 255, or #RRGGBB"}},
        {"1 : Color=1,2", {"not a colour"}},
        {"1 : Color=#12345G", {"not a colour"}},
        {"RGB Blur=1", {"group of controls"}},
        {"Blur Amount", {"expected NAME=VALUE"}},
    };
    for (const auto& c : cases) {
        ToolResult r = RunTool({"render", File("in.png"), "-o", File("out.png"), "-s", c.setting});
        EXPECT_EQ(r.exitCode, 2) << c.setting << "\n" << r.err;
        for (const std::string& m : c.mentions)
            EXPECT_NE(r.err.find(m), std::string::npos) << c.setting << ": no \"" << m << "\" in\n" << r.err;
        EXPECT_FALSE(std::filesystem::exists(Path("out.png"))) << c.setting;
    }
}

} // namespace
} // namespace clitest
