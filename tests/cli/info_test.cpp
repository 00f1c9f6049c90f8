// tovrin info: the PiPL, the global-setup answers and the 29 controls with their ids and defaults.
#include <nlohmann/json.hpp>

#include "ToolRun.h"

namespace clitest {
namespace {

using Info = ToolTest;

TEST_F(Info, JsonListsThePluginAndThe29Controls) {
    ToolResult r = RunTool({"info", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const nlohmann::json doc = nlohmann::json::parse(r.out);

    const nlohmann::json& pipl = doc["pipl"];
    EXPECT_EQ(pipl["name"], "Tovrin");
    EXPECT_EQ(pipl["category"], "Ostrel");
    EXPECT_EQ(pipl["match_name"], "OSTREL TOVRIN");
    EXPECT_EQ(pipl["entry_point"], "EntryPointFunc");
    EXPECT_EQ(pipl["version"], 0x00081602);
    EXPECT_EQ(pipl["out_flags"], 0x06000470);
    EXPECT_EQ(pipl["out_flags2"], 0x00001498);
    EXPECT_EQ(doc["global_setup"]["version"], 0x00081602);
    EXPECT_EQ(doc["global_setup"]["out_flags"], 0x06000470);
    EXPECT_EQ(doc["global_setup"]["out_flags2"], 0x00001498);
    EXPECT_EQ(doc["params_setup"]["num_params"], 30);

    const struct {
        int id;
        const char* name;
        const char* kind;
        nlohmann::json dephault;
    } expected[] = {
        {50, "Blur Type", "popup", 2},
        {51, "Blur Amount", "float_slider", 0.0},
        {52, "Blur Repeat Num", "slider", 3},
        {53, "Blur Aspect", "float_slider", 0.0},
        {55, "Brightness", "float_slider", 0.0},
        {100, "RGB Blur", "group_start", nullptr},
        {103, "R", "float_slider", 0.0},
        {104, "G", "float_slider", 5.0},
        {105, "B", "float_slider", 15.0},
        {102, "Auto Alpha", "checkbox", 1},
        {106, "A", "float_slider", 0.0},
        {101, "", "group_end", nullptr},
        {150, "Key Colors", "group_start", nullptr},
        {152, "1 : Enable", "checkbox", 0},
        {153, "1 : Color", "color", {3, 180, 245}},
        {154, "1 : Color Range", "float_slider", 0.0},
        {155, "2 : Enable", "checkbox", 0},
        {156, "2 : Color", "color", {3, 180, 245}},
        {157, "2 : Color Range", "float_slider", 0.0},
        {158, "3 : Enable", "checkbox", 0},
        {159, "3 : Color", "color", {3, 180, 245}},
        {160, "3 : Color Range", "float_slider", 0.0},
        {161, "4 : Enable", "checkbox", 0},
        {162, "4 : Color", "color", {3, 180, 245}},
        {163, "4 : Color Range", "float_slider", 0.0},
        {164, "Mode", "popup", 1},
        {165, "Invert", "checkbox", 0},
        {54, "Keep Division", "checkbox", 1},
        {151, "", "group_end", nullptr},
    };
    const nlohmann::json& controls = doc["controls"];
    ASSERT_EQ(controls.size(), 29u);
    for (std::size_t i = 0; i < 29; ++i) {
        const nlohmann::json& c = controls[i];
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(c["index"], i + 1);
        EXPECT_EQ(c["id"], expected[i].id);
        EXPECT_EQ(c["name"], expected[i].name);
        EXPECT_EQ(c["kind"], expected[i].kind);
        if (expected[i].dephault.is_null())
            EXPECT_FALSE(c.contains("default"));
        else
            EXPECT_EQ(c["default"], expected[i].dephault);
        EXPECT_TRUE(c["enabled"].is_boolean());
    }

    // Ranges, choices, display flags; and the UI state the effect set for its defaults.
    EXPECT_EQ(controls[0]["choices"], nlohmann::json::array({"Gaussian", "Box"}));
    EXPECT_EQ(controls[25]["choices"], nlohmann::json::array({"Normal", "Extract", "Disable All"}));
    EXPECT_EQ(controls[1]["valid_max"], 1000.0);
    EXPECT_EQ(controls[1]["slider_max"], 100.0);
    EXPECT_EQ(controls[1]["precision"], 1);
    EXPECT_EQ(controls[3]["valid_min"], -100.0);
    EXPECT_EQ(controls[3]["slider_min"], -10.0);
    EXPECT_EQ(controls[2]["valid_min"], 1);
    EXPECT_EQ(controls[2]["valid_max"], 10);
    EXPECT_EQ(controls[15]["display_flags"], 1);
    EXPECT_EQ(controls[1]["display_flags"], 0);
    EXPECT_EQ(controls[10]["enabled"], false); // "A" while "Auto Alpha" is on
    EXPECT_EQ(controls[1]["enabled"], true);
}

TEST_F(Info, TableNamesEveryControl) {
    ToolResult r = RunTool({"info"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const char* text : {"OSTREL TOVRIN", "EntryPointFunc", "0x06000470", "num_params  30",
                             "Blur Repeat Num", "Keep Division", "4 : Color Range", "1 Gaussian | 2 Box"})
        EXPECT_NE(r.out.find(text), std::string::npos) << text;
}

TEST_F(Info, MissingPluginIsAHostError) {
    ToolResult r = RunTool({"info", "--plugin", File("nothing.so")});
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_NE(r.err.find("nothing.so"), std::string::npos) << r.err;
}

} // namespace
} // namespace clitest
