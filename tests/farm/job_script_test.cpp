// The job script: chunks of the frames, and what the status reads back from a script.
#include <gtest/gtest.h>

#include "cli/SlurmScript.h"
#include "cli/ToolError.h"

namespace cli {
namespace {

std::vector<int> Range(int first, int last, int step = 1) {
    std::vector<int> frames;
    for (int f = first; f <= last; f += step)
        frames.push_back(f);
    return frames;
}

TEST(ChunkFrames, EvenlySpacedChunksCoverEveryFrameOnce) {
    const struct {
        std::vector<int> frames;
        int chunk;
        std::vector<std::string> expected;
    } cases[] = {
        {Range(1, 12), 4, {"1-4", "5-8", "9-12"}},
        {Range(1, 10), 4, {"1-4", "5-8", "9-10"}},
        {Range(7, 7), 4, {"7"}},
        {Range(1, 3), 10, {"1-3"}},
        {Range(0, 5), 1, {"0", "1", "2", "3", "4", "5"}},
        {Range(1, 41, 10), 2, {"1-11x10", "21-31x10", "41"}},
        // Frames found on disk with gaps: a chunk never spans one.
        {{1, 2, 3, 7, 8, 20}, 4, {"1-3", "7-8", "20"}},
        {{1, 2, 4, 6, 8, 9}, 3, {"1-2", "4-8x2", "9"}},
    };
    for (const auto& c : cases) {
        const std::vector<std::string> chunks = ChunkFrames(c.frames, c.chunk);
        EXPECT_EQ(chunks, c.expected);
        std::vector<int> covered;
        for (const std::string& chunk : chunks) {
            const std::vector<int> some = ChunkFrameList(chunk);
            EXPECT_LE(int(some.size()), c.chunk) << chunk;
            covered.insert(covered.end(), some.begin(), some.end());
        }
        EXPECT_EQ(covered, c.frames);
    }
}

TEST(FrameListText, RunsOfFramesAreShortened) {
    EXPECT_EQ(FrameListText({1, 2, 3, 5, 7, 8}), "1-3,5,7-8");
    EXPECT_EQ(FrameListText({4}), "4");
    EXPECT_EQ(FrameListText({}), "");
}

SlurmJob AJob() {
    SlurmJob job;
    job.name = "shot";
    job.tool = "/opt/tovrin/bin/tovrin";
    job.plugin = "/opt/tovrin/lib/tovrin/Tovrin.so";
    job.input = "/shared/in/plate.####.exr";
    job.output = "/shared/out 100%/it's.%04d.exr"; // a blank, a quote and a percent sign
    job.folder = "/shared/out 100%";
    job.preset = "/shared/out 100%/shot.preset.json";
    job.logPattern = EscapeSlurmPattern("/shared/out 100%/shot") + ".%A_%a.log";
    job.chunks = ChunkFrames(Range(1, 10), 4);
    job.renderArgs = {"--depth", "16", "--downsample", "2,2"};
    return job;
}

TEST(SlurmScript, StatusReadsBackWhatTheScriptWrote) {
    const SlurmJob job = AJob();
    const std::string text = SlurmScriptText(job);
    EXPECT_NE(text.find("#SBATCH --array=0-2\n"), std::string::npos) << text;
    EXPECT_NE(text.find("--depth 16 --downsample 2,2\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("--partition"), std::string::npos) << "only what was asked for";

    const SlurmScriptInfo info = ReadSlurmScript(text);
    EXPECT_EQ(info.name, "shot");
    EXPECT_EQ(info.output, job.output);
    EXPECT_EQ(info.chunks, (std::vector<std::string>{"1-4", "5-8", "9-10"}));
    // Slurm's "%%" is one percent sign in the file name.
    EXPECT_EQ(info.LogOf("812", 2), "/shared/out 100%/shot.812_2.log");
}

TEST(SlurmScript, SchedulerOptionsBecomeSbatchLines) {
    SlurmJob job = AJob();
    job.partition = "render";
    job.timeLimit = "2:00:00";
    job.cpusPerTask = 8;
    job.sbatchArgs = {"--mem=16G", "--exclusive"};
    const std::string text = SlurmScriptText(job);
    for (const char* line : {"#SBATCH --partition=render\n", "#SBATCH --time=2:00:00\n",
                             "#SBATCH --cpus-per-task=8\n", "#SBATCH --mem=16G\n", "#SBATCH --exclusive\n",
                             "#SBATCH --output=\"/shared/out 100%%/shot.%A_%a.log\"\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << text;
    // sbatch reads #SBATCH lines only before the first command.
    EXPECT_LT(text.rfind("#SBATCH"), text.find("\ntool="));
}

TEST(SlurmScript, ScriptsNotWrittenHereAreRefused) {
    const std::string text = SlurmScriptText(AJob());
    const auto without = [&](const std::string& start) {
        const std::size_t at = text.find("\n" + start) + 1;
        return text.substr(0, at) + text.substr(text.find('\n', at) + 1);
    };
    EXPECT_THROW(ReadSlurmScript(without("#SBATCH --output=")), ToolError);
    EXPECT_THROW(ReadSlurmScript(without("output=")), ToolError);
    EXPECT_THROW(ReadSlurmScript(without("chunks=(")), ToolError);
    EXPECT_THROW(ReadSlurmScript("#!/bin/sh\nsrun hostname\n"), ToolError);
    std::string badChunk = text;
    badChunk.replace(badChunk.find("chunks=(1-4"), 11, "chunks=(a-b");
    EXPECT_THROW(ReadSlurmScript(badChunk), ToolError);
}

} // namespace
} // namespace cli
