// A signal cancels through the host's progress callback: the tool stops, says so on its last plain line,
// exits with 130 (SIGINT) or 143 (SIGTERM), never 4, and leaves no partial or temporary file; frames
// finished before stay whole. A second signal ends it at once, still removing the temporary file.
#include <csignal>

#include "ToolRun.h"

namespace clitest {
namespace {

class Cancel : public ToolTest {
protected:
    void WriteFrames(int count, int width, int height) {
        for (int f = 1; f <= count; ++f) {
            char name[32];
            std::snprintf(name, sizeof name, "in.%04d.png", f);
            WriteImage(Path(name), CelFrame8(width, height, f));
        }
    }
    // Every file but the inputs is a whole output.
    int CountWholeOutputs(int width) {
        int outputs = 0;
        for (const std::string& name : Listing()) {
            if (name.rfind("in.", 0) == 0)
                continue;
            EXPECT_EQ(name.rfind("out.", 0), 0u) << "left behind: " << name;
            if (name.rfind("out.", 0) != 0)
                continue;
            EXPECT_EQ(ReadImage(Path(name)).width, width) << name;
            ++outputs;
        }
        return outputs;
    }
};

TEST_F(Cancel, EachSignalHasItsExitCodeAndTheLastLineSaysCancelled) {
    constexpr int kFrames = 30;
    WriteFrames(kFrames, 160, 120);
    for (const int signal : {SIGINT, SIGTERM}) {
        for (const std::string& name : Listing())
            if (name.rfind("out.", 0) == 0)
                std::filesystem::remove(Path(name));
        RunOptions options;
        options.interruptSignal = signal;
        // While the second frame renders.
        options.interruptWhen = [](const std::string& out) {
            return out.find("FRAME 2 start\nPROGRESS:") != std::string::npos;
        };
        ToolResult r = RunTool({"render", File("in.####.png"), "-o", File("out.####.png"), "-s",
                                "Blur Amount=40", "-s", "Blur Type=Gaussian"},
                               options);
        EXPECT_EQ(r.exitCode, 128 + signal) << r.err;
        EXPECT_NE(r.err.find(signal == SIGINT ? "cancelled by SIGINT" : "cancelled by SIGTERM"),
                  std::string::npos)
            << r.err;
        // The frame in progress says it was cancelled; the protocol ends with CANCELLED.
        ASSERT_GE(r.out.size(), 10u);
        EXPECT_EQ(r.out.substr(r.out.size() - 10), "CANCELLED\n") << r.out;
        EXPECT_NE(r.out.find("FRAME 1 done"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("cancelled\nCANCELLED\n"), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("failed"), std::string::npos) << r.out;
        const int outputs = CountWholeOutputs(160);
        EXPECT_GE(outputs, 1);
        EXPECT_LT(outputs, kFrames);
    }
}

TEST_F(Cancel, SecondSignalWhileWritingLeavesNoTemporaryFile) {
    // A frame big enough that writing it takes a while (the slowest compression); the signals come while the
    // tool holds its temporary file open, named or not.
    WriteImage(Path("in.png"), CelFrame8(2400, 1200));
    RunOptions options;
    options.interruptCount = 2;
    const std::string dir = dir_.string();
    options.interruptWhenProcess = [dir](int pid) {
        std::error_code ec;
        for (const auto& e :
             std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
            std::error_code ignored;
            const std::string target = std::filesystem::read_symlink(e.path(), ignored).string();
            if (target.rfind(dir + "/", 0) == 0 && target.find("in.png") == std::string::npos)
                return true; // an open file in the output's folder other than the input: the write
        }
        return false;
    };
    std::vector<std::string> args{"render", File("in.png"), "-o", File("out.png"), "--compression", "9"};
    for (const std::string& s : NoWorkSettings())
        args.push_back(s);
    ToolResult r = RunTool(args, options);
    EXPECT_EQ(r.exitCode, 130) << r.err;
    EXPECT_NE(r.out.find("CANCELLED"), std::string::npos) << r.out;
    EXPECT_EQ(Listing(), std::vector<std::string>{"in.png"});
}

} // namespace
} // namespace clitest
