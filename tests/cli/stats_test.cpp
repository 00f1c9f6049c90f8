// render --stats: where a frame's time goes, from the host's record of its services, as one line a frame
// for people or one JSON object a frame plus a summary; and the frames' overlap, which changes no byte and
// no line of the plain protocol.
#include <sstream>

#include <nlohmann/json.hpp>

#include "ToolRun.h"
#include "cli/FrameStats.h"

namespace clitest {
namespace {

using Clock = host::ServiceTrace::Clock;
using std::chrono::milliseconds;

TEST(RenderBreakdown, StagesFollowTheProgressCallsAndAddUpToTheRender) {
    const Clock::time_point t0 = Clock::now();
    const auto at = [&](int ms) { return t0 + milliseconds(ms); };
    host::ServiceTrace trace;
    trace.memory = {{at(0), at(10)}, {at(95), at(100)}}; // worlds made at the start, freed at the end
    host::ServiceTrace::Pass key;
    key.start = at(10);
    key.end = at(30);
    key.colourCalls = 7;
    host::ServiceTrace::Pass brighten;
    brighten.start = at(30);
    brighten.end = at(35);
    host::ServiceTrace::Pass blur1 = brighten, blur2 = brighten;
    blur1.start = at(50);
    blur1.end = at(70);
    blur2.start = at(72);
    blur2.end = at(90);
    trace.passes = {key, brighten, blur1, blur2};
    trace.copies = {{at(45), at(50)}};
    trace.progress = {at(40), at(70), at(90)}; // preparation done, then after each pass
    trace.colourCalls = 2;

    const cli::RenderBreakdown r = cli::BreakDownRender(trace, at(0), at(100));
    EXPECT_NEAR(r.worlds, 0.015, 1e-9);
    EXPECT_NEAR(r.copies, 0.005, 1e-9);
    EXPECT_NEAR(r.selection, 0.020, 1e-9);
    EXPECT_NEAR(r.smoothing, 0.010, 1e-9); // 40 ms of preparation less the worlds and the key test
    EXPECT_NEAR(r.passes, 0.038, 1e-9);
    ASSERT_EQ(r.passSeconds.size(), 2u);
    EXPECT_NEAR(r.other, 0.012, 1e-9);
    EXPECT_EQ(r.colourCalls, 9u);
    EXPECT_NEAR(r.worlds + r.copies + r.selection + r.smoothing + r.passes + r.other, 0.100, 1e-9);

    // Without progress calls there is no preparation to speak of; spans outside the render are cut off.
    host::ServiceTrace plain;
    plain.copies = {{at(-5), at(20)}};
    const cli::RenderBreakdown p = cli::BreakDownRender(plain, at(0), at(30));
    EXPECT_NEAR(p.copies, 0.020, 1e-9);
    EXPECT_EQ(p.smoothing, 0.0);
    EXPECT_NEAR(p.other, 0.010, 1e-9);
}

class Stats : public ToolTest {
protected:
    void WriteFrames(int count, int width = 96, int height = 64) {
        for (int f = 1; f <= count; ++f) {
            char name[32];
            std::snprintf(name, sizeof name, "in.%04d.png", f);
            WriteImage(Path(name), CelFrame8(width, height, f));
        }
    }
    static std::vector<std::string> Lines(const std::string& text, const std::string& prefix) {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            if (line.rfind(prefix, 0) == 0)
                lines.push_back(line);
        return lines;
    }
    // A blur with a key colour and edge smoothing: every stage of the render has work.
    static std::vector<std::string> Busy() {
        return {"-s", "Blur Amount=3",      "-s", "1 : Enable=on", "-s", "1 : Color=#FF2010",
                "-s", "1 : Color Range=40", "-s", "Brightness=5"};
    }
};

TEST_F(Stats, JsonGivesEachFrameStagesThatAddUpWithinItsTimeAndItsPeakMemory) {
    WriteFrames(3);
    // Frame 4 has no input: it fails on its own and is counted as failed.
    std::vector<std::string> args{"render", File("in.####.png"), "-o", File("out.####.png"), "--stats=json",
                                  "-q",     "--frames",          "1-4"};
    for (const std::string& a : Busy())
        args.push_back(a);
    const ToolResult r = RunTool(args);
    ASSERT_EQ(r.exitCode, 3) << r.err;
    const std::vector<std::string> lines = Lines(r.err, "{");
    ASSERT_EQ(lines.size(), 5u) << r.err;
    for (int i = 0; i < 3; ++i) {
        const auto j = nlohmann::json::parse(lines[std::size_t(i)]);
        EXPECT_EQ(j["frame"], i + 1);
        EXPECT_EQ(j["status"], "done");
        EXPECT_EQ(j["width"], 96);
        EXPECT_EQ(j["bits"], 8);
        const auto& s = j["seconds"];
        const double read = s["read"], render = s["render"], write = s["write"], wall = s["wall"];
        EXPECT_GT(render, 0.0);
        // Figures are rounded to microseconds: a few of them may be over by as much.
        EXPECT_LE(read + render + write, wall + 5e-6) << lines[std::size_t(i)];
        const auto& in = j["render"];
        double inside = 0;
        for (const char* stage : {"worlds", "copies", "selection", "smoothing", "passes", "other"}) {
            EXPECT_GE(double(in[stage]), 0.0) << stage;
            inside += double(in[stage]);
        }
        EXPECT_LE(inside, render + 1e-5) << lines[std::size_t(i)];
        EXPECT_GE(in["pass"].size(), 1u);
        EXPECT_GT(in["colourCalls"], 0u) << "the key test converts colours through the host";
        const auto& m = j["memory"];
        EXPECT_EQ(m["frameBytes"], 96u * 64u * 4u);
        EXPECT_GT(m["peakBytes"], m["frameBytes"]);
    }
    const auto missing = nlohmann::json::parse(lines[3]);
    EXPECT_EQ(missing["frame"], 4);
    EXPECT_EQ(missing["status"], "failed");
    const auto summary = nlohmann::json::parse(lines.back())["summary"];
    EXPECT_EQ(summary["frames"], 4);
    EXPECT_EQ(summary["done"], 3);
    EXPECT_EQ(summary["failed"], 1);
    EXPECT_EQ(summary["overlap"], true);
}

TEST_F(Stats, TextIsOneLineAFrameAndQuietKeepsIt) {
    WriteFrames(3);
    const ToolResult r = RunTool(
        {"render", File("in.####.png"), "-o", File("out.####.png"), "--stats", "-q", "-s", "Blur Amount=4"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::vector<std::string> frames = Lines(r.err, "tovrin: frame ");
    ASSERT_EQ(frames.size(), 3u) << r.err;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(frames[std::size_t(i)].rfind("tovrin: frame " + std::to_string(i + 1) + ": ", 0), 0u);
        for (const char* word : {"read ", "render ", "worlds ", "passes ", "write ", "peak "})
            EXPECT_NE(frames[std::size_t(i)].find(word), std::string::npos) << word;
    }
    EXPECT_EQ(Lines(r.err, "tovrin: 3 frames (3 done").size(), 1u) << r.err;

    const ToolResult single =
        RunTool({"render", File("in.0001.png"), "-o", File("one.png"), "--stats", "-s", "Blur Amount=4"});
    ASSERT_EQ(single.exitCode, 0) << single.err;
    EXPECT_EQ(Lines(single.err, "tovrin: " + File("one.png") + ": ").size(), 1u) << single.err;
    EXPECT_EQ(single.out.find("{"), std::string::npos) << "the plain protocol stays as it is";
}

TEST_F(Stats, OverlapChangesNoByteAndNoFrameLineWhateverTheThreads) {
    WriteFrames(6, 160, 90);
    const auto render = [&](const std::string& out, std::vector<std::string> extra) {
        std::vector<std::string> args{"render", File("in.####.png"), "-o", File(out)};
        for (const std::string& a : Busy())
            args.push_back(a);
        args.insert(args.end(), extra.begin(), extra.end());
        const ToolResult r = RunTool(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return Lines(r.out, "FRAME");
    };
    const std::vector<std::string> inTurn = render("a.####.png", {"--no-overlap", "--threads", "1"});
    const std::vector<std::string> overlapped = render("b.####.png", {"--threads", "3"});
    ASSERT_EQ(inTurn.size(), 12u);
    // The same lines in the same order but for the outputs' names.
    for (std::size_t i = 0; i < inTurn.size(); ++i) {
        std::string expected = inTurn[i];
        if (const std::size_t at = expected.find(File("a.")); at != std::string::npos)
            expected.replace(at, File("a.").size(), File("b."));
        EXPECT_EQ(overlapped[i], expected);
    }
    for (int f = 1; f <= 6; ++f) {
        char a[32], b[32];
        std::snprintf(a, sizeof a, "a.%04d.png", f);
        std::snprintf(b, sizeof b, "b.%04d.png", f);
        EXPECT_EQ(ReadImage(Path(a)).bytes, ReadImage(Path(b)).bytes) << f;
    }
}

} // namespace
} // namespace clitest
