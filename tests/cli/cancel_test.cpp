// Ctrl-C cancels through the host's progress callback: the tool stops, says so with exit code 4, and leaves
// no partial or temporary file; frames finished before stay whole.
#include "ToolRun.h"

namespace clitest {
namespace {

using Cancel = ToolTest;

TEST_F(Cancel, LeavesNoPartialFile) {
    constexpr int kFrames = 40;
    for (int f = 1; f <= kFrames; ++f) {
        char name[32];
        std::snprintf(name, sizeof name, "in.%04d.png", f);
        WriteImage(Path(name), CelFrame8(160, 120, f));
    }
    RunOptions options;
    // Interrupt while the first frame renders.
    options.interruptWhen = [](const std::string& out) { return out.find("PROGRESS:") != std::string::npos; };
    ToolResult r = RunTool({"render", File("in.####.png"), "-o", File("out.####.png"), "-s", "Blur Amount=40",
                            "-s", "Blur Type=Gaussian"},
                           options);
    EXPECT_EQ(r.exitCode, 4) << r.err;
    EXPECT_NE(r.err.find("cancelled"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("PF_Interrupt_CANCEL"), std::string::npos) << r.err;

    int outputs = 0;
    for (const std::string& name : Listing()) {
        if (name.rfind("in.", 0) == 0)
            continue;
        ASSERT_EQ(name.rfind("out.", 0), 0u) << "left behind: " << name;
        const Image out = ReadImage(Path(name));
        EXPECT_EQ(out.width, 160) << name;
        ++outputs;
    }
    EXPECT_LT(outputs, kFrames);
}

} // namespace
} // namespace clitest
