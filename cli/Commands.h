#pragma once
// The tool's sub-commands. Each returns the process's exit code or throws a ToolError.
#include <string>
#include <vector>

namespace cli {

struct RenderOptions {
    std::string input, output;
    std::vector<std::string> sets;
    std::string preset, savePreset;
    int depth = 0; // 8, 16 or 32; 0: the input file's
    std::string quality = "high";
    std::string downsample = "1";
    std::string path = "smart";
    int threads = 0; // 0: one per processor
    std::string frames;
    std::string alpha; // "", "straight" or "premultiplied"
    bool overwrite = false;
    bool skipExisting = false; // frames whose output exists are not rendered
    bool inPlace = false;      // the output may be the input file itself
    bool quiet = false;
    std::string plugin;
    std::string region = "union"; // what of a file with a data window: "union", "data" or "display"
    std::string workingSpace;     // the colour space the effect renders in; "": the file's
    std::string inputSpace;       // the input's colour space; "": what the file says
    std::string outputSpace;      // the output's colour space; "": the input's
    std::string compression;      // the output's; "": the input's (same format) or the format's default
    std::string commandLine;      // as given, recorded in the outputs' history
    std::string stats;            // "", "text" or "json": where each frame's time and memory went
    bool overlap = true;          // read the next frame and write the last one while a frame renders
};
int RunRender(const RenderOptions& options);

struct SubmitOptions {
    RenderOptions render; // INPUT, -o, --frames, the controls and render options; -y replaces the job files
    int chunk = 10;       // frames per task
    std::string partition, timeLimit;
    int cpusPerTask = 0; // 0: the cluster's default
    std::string jobName; // default: from the output's file name
    std::vector<std::string> sbatchArgs;
    bool dryRun = false;
    std::string status; // a job id: tell where that job stands instead
};
int RunSubmit(const SubmitOptions& options);

struct InfoOptions {
    bool json = false;
    std::string plugin;
};
int RunInfo(const InfoOptions& options);

struct OptionDialogOptions {
    bool store = false;
    bool restore = false;
    std::vector<std::string> sets;
    std::string preset;
    std::string plugin;
};
int RunOptionDialog(const OptionDialogOptions& options);

} // namespace cli
