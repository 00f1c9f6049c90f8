#pragma once
// The job script `tovrin submit` hands to Slurm: a job array whose task i renders chunk i of the frames
// with `tovrin render --frames <chunk> --skip-existing`, so that submitting the same script again renders
// only what is missing. The script is meant to be read by people and re-submitted as it is; the status
// command reads back the few lines it needs (the chunks, the output and the log names).
#include <filesystem>
#include <string>
#include <vector>

namespace cli {

// Splits frames (in increasing order) into chunks of at most `chunk` frames that are evenly spaced, each
// written as a frame range: "A" (one frame), "A-B" (consecutive frames) or "A-BxS" (every S-th).
std::vector<std::string> ChunkFrames(const std::vector<int>& frames, int chunk);

// The frame numbers of a chunk as ChunkFrames writes it. Throws a usage error.
std::vector<int> ChunkFrameList(const std::string& chunk);

// "1-4,7,9-10": increasing frames in short form, for people.
std::string FrameListText(const std::vector<int>& frames);

// "1 frame", "3 frames".
std::string Counted(std::size_t n, const char* noun);

// Single-quoted for the shell.
std::string ShellQuote(const std::string& text);

struct SlurmJob {
    std::string name;
    std::filesystem::path tool, plugin, input, output, preset; // absolute
    std::filesystem::path logPattern;                          // with Slurm's %A (job) and %a (task)
    std::filesystem::path folder;                              // where the tasks run
    std::vector<std::string> renderArgs;                       // further options of every task's render
    std::vector<std::string> chunks;                           // task i renders chunks[i]
    std::string partition, timeLimit;                          // empty: the cluster's default
    int cpusPerTask = 0;                                       // 0: the cluster's default
    std::vector<std::string> sbatchArgs;                       // each a #SBATCH line as given
};

std::string SlurmScriptText(const SlurmJob& job);

// Slurm's file-name pattern for a literal path: '%' doubled.
std::string EscapeSlurmPattern(const std::string& path);

// What the status needs from a script SlurmScriptText wrote.
struct SlurmScriptInfo {
    std::string name;
    std::filesystem::path output;
    std::string logPattern;
    std::vector<std::string> chunks;

    // The log of one task of one submission.
    std::filesystem::path LogOf(const std::string& jobId, int task) const;
};

// Throws a file error naming what is missing or malformed.
SlurmScriptInfo ReadSlurmScript(const std::string& text);

} // namespace cli
