// tovrin options: the option dialog answered without asking stores the current values as the defaults of
// new instances, or restores the built-in ones; the file lies beside the plug-in.
#include <fstream>

#include <nlohmann/json.hpp>

#include "ToolRun.h"

namespace clitest {
namespace {

class OptionDialog : public ToolTest {
protected:
    void SetUp() override {
        ToolTest::SetUp();
        // A plug-in of its own, so that the stored defaults land in this test's folder.
        std::filesystem::copy_file(std::getenv("TOVRIN_PLUGIN"), Path("Tovrin.so"));
    }
    ToolResult Run(std::vector<std::string> args) {
        args.push_back("--plugin");
        args.push_back(File("Tovrin.so"));
        return RunTool(args);
    }
};

TEST_F(OptionDialog, StoreThenRestore) {
    ToolResult stored = Run({"options", "--store", "-s", "Blur Amount=7.25", "-s", "Mode=Extract"});
    ASSERT_EQ(stored.exitCode, 0) << stored.err;
    ASSERT_TRUE(std::filesystem::exists(Path("Tovrin.ini"))) << stored.out << stored.err;
    std::ifstream ini(Path("Tovrin.ini"));
    const std::string text(std::istreambuf_iterator<char>(ini), {});
    EXPECT_NE(text.find("Blur Amount=7.250000"), std::string::npos) << text;

    // The next start of a host begins from the stored values.
    ToolResult info = Run({"info", "--json"});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    const nlohmann::json controls = nlohmann::json::parse(info.out)["controls"];
    EXPECT_EQ(controls[1]["default"], 7.25);
    EXPECT_EQ(controls[25]["default"], 2);

    ToolResult restored = Run({"options", "--restore"});
    ASSERT_EQ(restored.exitCode, 0) << restored.err;
    EXPECT_FALSE(std::filesystem::exists(Path("Tovrin.ini")));
}

TEST_F(OptionDialog, AStoreOrRestoreThatCannotHappenSaysWhy) {
    std::filesystem::create_directory(Path("Tovrin.ini")); // a folder where the file should be
    const std::string why = "(a folder or device has the file's name): " + File("Tovrin.ini");
    ToolResult stored = Run({"options", "--store"});
    EXPECT_EQ(stored.exitCode, 3) << stored.out;
    EXPECT_EQ(stored.err, "tovrin: Tovrin could not store the default values " + why + "\n");
    ToolResult restored = Run({"options", "--restore"});
    EXPECT_EQ(restored.exitCode, 3) << restored.out;
    EXPECT_EQ(restored.err, "tovrin: Tovrin could not remove the stored default values " + why + "\n");
    EXPECT_TRUE(std::filesystem::is_directory(Path("Tovrin.ini")));
}

TEST_F(OptionDialog, StoreAndRestoreTogetherAreRefused) {
    EXPECT_EQ(Run({"options", "--store", "--restore"}).exitCode, 2);
    EXPECT_EQ(Run({"options", "--store", "-s", "Nope=1"}).exitCode, 2);
    EXPECT_FALSE(std::filesystem::exists(Path("Tovrin.ini")));
}

} // namespace
} // namespace clitest
