// tovrin submit: a sequence handed to Slurm as a job array of chunks, and the status of such a job.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include "cli/AtomicFile.h"
#include "cli/ChildProcess.h"
#include "cli/Commands.h"
#include "cli/ControlSettings.h"
#include "cli/EffectSession.h"
#include "cli/FarmStatus.h"
#include "cli/FileChecks.h"
#include "cli/FrameSequence.h"
#include "cli/ImageFile.h"
#include "cli/PluginLocator.h"
#include "cli/Preset.h"
#include "cli/SlurmScript.h"
#include "cli/ToolError.h"

namespace cli {
namespace {

void Note(const SubmitOptions& o, const std::string& text) {
    if (!o.render.quiet)
        std::fprintf(stderr, "tovrin: %s\n", text.c_str());
}

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool IsNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.' || c == '+';
}

// The output's file name before its frame pattern ("shot" of "shot.####.exr"), made fit for a file name.
std::string DefaultJobName(const std::filesystem::path& output, const FramePattern& pattern) {
    const std::string file = output.filename().string();
    std::string name = file.substr(0, file.find(pattern.Text()));
    while (!name.empty() && (name.back() == '.' || name.back() == '_' || name.back() == '-'))
        name.pop_back();
    for (char& c : name)
        if (!IsNameCharacter(c))
            c = '_';
    while (!name.empty() && (name.front() == '.' || name.front() == '-'))
        name.erase(0, 1);
    return name.empty() ? "tovrin" : name;
}

void CheckJobName(const std::string& name) {
    bool fit = !name.empty() && name.size() <= 64 && name.front() != '.' && name.front() != '-';
    for (char c : name)
        fit = fit && IsNameCharacter(c);
    if (!fit)
        throw UsageError("--job-name \"" + name +
                         "\": use up to 64 letters, digits and . _ - +, not starting with . or -");
}

// Options the script itself sets; another value given through --sbatch-arg would contradict it.
void CheckSbatchArg(const std::string& arg) {
    if (arg.size() < 2 || arg[0] != '-')
        throw UsageError("--sbatch-arg \"" + arg +
                         "\": expected an sbatch option, e.g. --sbatch-arg=--mem=4G");
    if (arg.find_first_of("\n\r") != std::string::npos)
        throw UsageError("--sbatch-arg: an option cannot span lines");
    std::string name = arg[1] == '-' ? arg.substr(2, arg.find('=') - 2) : arg.substr(1, 1);
    struct Taken {
        const char *longName, *shortName, *instead;
    };
    static const Taken taken[] = {
        {"array", "a", "--chunk and --frames"},
        {"output", "o", "the job's own log names"},
        {"error", "e", "the job's own log names"},
        {"job-name", "J", "--job-name"},
        {"chdir", "D", "the output's folder"},
        {"partition", "p", "--partition"},
        {"time", "t", "--time"},
        {"cpus-per-task", "c", "--cpus-per-task"},
    };
    for (const Taken& t : taken)
        if (name == t.longName || name == t.shortName)
            throw UsageError("--sbatch-arg \"" + arg + "\": the job script sets this itself; use " +
                             t.instead);
}

void CheckSingleLine(const std::string& option, const std::string& value) {
    if (value.find_first_of(" \t\n\r\"'") != std::string::npos)
        throw UsageError(option + " \"" + value + "\": no blanks or quotes");
}

// Fails here rather than in every task on the cluster.
void CheckDownsample(const std::string& text) {
    std::size_t start = 0;
    int parts = 0;
    bool fit = true;
    while (fit && start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        int value = 0;
        auto [ptr, ec] = std::from_chars(text.data() + start, text.data() + comma, value);
        fit = comma > start && ec == std::errc() && ptr == text.data() + comma && value >= 1 &&
              value <= 256 && ++parts <= 2;
        start = comma + 1;
    }
    if (!fit)
        throw UsageError("--downsample \"" + text + "\": expected X or X,Y with whole numbers from 1 to 256");
}

std::filesystem::path ToolPath() {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        throw EffectError("cannot tell where the tovrin tool is: " + ec.message());
    return self;
}

// The file that remembers which script each submitted job runs, for --status after Slurm forgets the job.
std::filesystem::path JobRecordPath() {
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state == '/')
        return std::filesystem::path(state) / "tovrin" / "slurm-jobs";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home && *home ? home : "/tmp") / ".local" / "state" / "tovrin" /
           "slurm-jobs";
}

void RecordJob(const SubmitOptions& o, const std::string& jobId, const std::filesystem::path& script) {
    const std::filesystem::path record = JobRecordPath();
    std::error_code ec;
    std::filesystem::create_directories(record.parent_path(), ec);
    std::ofstream out(record, std::ios::app);
    out << jobId << '\t' << script.string() << '\n';
    out.close();
    if (!out)
        Note(o, "warning: cannot note the job in " + Quoted(record) +
                    "; --status finds it only while Slurm still knows it");
}

std::optional<std::filesystem::path> RecordedScript(const std::string& jobId) {
    std::ifstream in(JobRecordPath());
    std::optional<std::filesystem::path> found;
    for (std::string line; std::getline(in, line);) {
        const std::size_t tab = line.find('\t');
        if (tab != std::string::npos && line.compare(0, tab, jobId) == 0 && tab == jobId.size())
            found = line.substr(tab + 1); // the last submission under this id wins
    }
    return found;
}

struct KnownJob {
    std::string id; // the array's job id
    std::filesystem::path script;
};

// While Slurm still knows the job: the script it runs, and the array's id when `jobId` is one task's.
std::optional<KnownJob> JobFromSlurm(const std::string& jobId) {
    const auto scontrol = FindProgram("scontrol");
    if (!scontrol)
        return std::nullopt;
    const ProgramResult r = RunProgram({scontrol->string(), "show", "job", jobId});
    if (r.exitCode != 0)
        return std::nullopt;
    KnownJob job{jobId, {}};
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        if (const std::size_t at = line.find("ArrayJobId="); at != std::string::npos && job.id == jobId) {
            const std::string id = line.substr(at + 11, line.find(' ', at) - at - 11);
            if (!id.empty() && id.find_first_not_of("0123456789") == std::string::npos)
                job.id = id;
        }
        const std::size_t at = line.find("Command=");
        if (at != std::string::npos && line.find_first_not_of(' ') == at && job.script.empty())
            job.script = line.substr(at + 8);
    }
    if (job.script.empty())
        return std::nullopt;
    return job;
}

// squeue's state of each task still queued; none when squeue cannot be asked.
std::optional<std::map<int, std::string>> QueuedTasks(const std::string& jobId) {
    const auto squeue = FindProgram("squeue");
    if (!squeue)
        return std::nullopt;
    const ProgramResult r =
        RunProgram({squeue->string(), "--noheader", "--array", "--jobs=" + jobId, "--format=%K %T"});
    std::map<int, std::string> states;
    if (r.exitCode != 0) {
        // A job that has left the queue is "invalid" to squeue; anything else means no answer.
        if (r.err.find("Invalid job id") != std::string::npos)
            return states;
        return std::nullopt;
    }
    std::istringstream lines(r.out);
    std::string task, state;
    while (lines >> task >> state) {
        int first = 0, last = 0;
        // A pending array may still be listed as one line, "0-2" or "1-5%2".
        const char* end = task.data() + task.size();
        auto [p, ec] = std::from_chars(task.data(), end, first);
        if (ec != std::errc())
            continue;
        last = first;
        if (p != end && *p == '-')
            std::from_chars(p + 1, end, last);
        for (int t = first; t <= last; ++t)
            states[t] = state;
    }
    return states;
}

int RunStatus(const SubmitOptions& o) {
    // "12" or one task's "12_3".
    std::string jobId = o.status.substr(0, o.status.find('_'));
    if (jobId.empty() || jobId.find_first_not_of("0123456789") != std::string::npos)
        throw UsageError("--status \"" + o.status + "\": expected a job id, as tovrin submit printed it");
    const RenderOptions& r = o.render;
    if (!r.input.empty() || !r.output.empty() || o.dryRun)
        throw UsageError("--status JOBID takes no INPUT, -o or --dry-run");

    std::optional<std::filesystem::path> script = RecordedScript(jobId);
    if (!script) {
        if (const auto known = JobFromSlurm(jobId)) {
            jobId = known->id;
            script = known->script;
        }
    }
    if (!script)
        throw UsageError("job " + jobId + ": not submitted by tovrin submit here (no note in " +
                         Quoted(JobRecordPath()) + "), and Slurm does not know it");
    const auto text = ReadWholeFile(*script);
    if (!text)
        throw FileError("job " + jobId + ": cannot read its script " + Quoted(*script));
    SlurmScriptInfo info;
    try {
        info = ReadSlurmScript(*text);
    } catch (const ToolError& e) {
        throw FileError(Quoted(*script) + ": " + e.what());
    }
    const auto pattern = FramePattern::Find(info.output);
    if (!pattern)
        throw FileError(Quoted(*script) + ": its output " + Quoted(info.output) + " has no frame pattern");

    const auto queued = QueuedTasks(jobId);
    std::vector<TaskEvidence> tasks;
    std::size_t frameCount = 0;
    for (std::size_t i = 0; i < info.chunks.size(); ++i) {
        TaskEvidence task;
        task.frames = ChunkFrameList(info.chunks[i]);
        frameCount += task.frames.size();
        task.log = ReadWholeFile(info.LogOf(jobId, int(i)));
        task.queueAnswered = queued.has_value();
        if (queued)
            if (auto q = queued->find(int(i)); q != queued->end())
                task.queueState = q->second;
        tasks.push_back(std::move(task));
    }
    const JobReport report = SummariseJob(tasks, [&](int frame) {
        std::error_code ec;
        return std::filesystem::exists(pattern->Format(frame), ec);
    });
    std::printf("job %s (%s): %s in %s, %s\n%s", jobId.c_str(), info.name.c_str(),
                Counted(frameCount, "frame").c_str(), Counted(info.chunks.size(), "task").c_str(),
                script->c_str(), FormatJobReport(report).c_str());
    return kExitOk;
}

// The render options every task repeats; the control values travel in the preset instead.
std::vector<std::string> TaskRenderArgs(const RenderOptions& r) {
    std::vector<std::string> args;
    if (r.depth != 0)
        args.insert(args.end(), {"--depth", std::to_string(r.depth)});
    if (r.quality != "high")
        args.insert(args.end(), {"--quality", r.quality});
    if (r.downsample != "1")
        args.insert(args.end(), {"--downsample", r.downsample});
    if (r.path != "smart")
        args.insert(args.end(), {"--path", r.path});
    if (!r.alpha.empty())
        args.insert(args.end(), {"--alpha", r.alpha});
    return args;
}

// Every control's value (stored defaults, then --preset, then --set) written into `path`, so that every
// task renders with the same values whatever happens to the stored defaults meanwhile.
std::string JobPresetText(const RenderOptions& r, const std::filesystem::path& plugin,
                          const SubmitOptions& o) {
    SessionSettings settings;
    settings.plugin = plugin;
    EffectSession session(settings);
    const std::string matchName = session.Plugin().pipl() ? session.Plugin().pipl()->matchName : "";
    const std::vector<Control> controls = ListControls(session.Instance());
    std::vector<std::string> warnings;
    ApplyPresetAndSets(session.Instance(), controls, matchName, r.preset, r.sets, &warnings);
    for (const std::string& w : warnings)
        Note(o, "warning: " + w);
    return PresetText(controls, session.Instance(), matchName);
}

std::string SubmitWithSbatch(const std::filesystem::path& sbatch, const std::filesystem::path& script) {
    const ProgramResult r = RunProgram({sbatch.string(), "--parsable", script.string()});
    std::string id = r.out.substr(0, r.out.find_first_of(";\n")); // "id" or "id;cluster"
    if (r.exitCode != 0 || id.empty() || id.find_first_not_of("0123456789") != std::string::npos) {
        std::string why = r.err.empty() ? r.out : r.err;
        while (!why.empty() && (why.back() == '\n' || why.back() == ' '))
            why.pop_back();
        throw UsageError("sbatch did not take the job (exit " + std::to_string(r.exitCode) + "): " + why +
                         "\n  the script stays in " + Quoted(script) +
                         "; submit it with sbatch once that is put right");
    }
    return id;
}

} // namespace

int RunSubmit(const SubmitOptions& o) {
    if (!o.status.empty())
        return RunStatus(o);

    // Everything the command line alone can refuse is refused before the plug-in loads.
    const RenderOptions& r = o.render;
    if (r.input.empty() || r.output.empty())
        throw UsageError("tovrin submit needs INPUT and -o OUTPUT (or --status JOBID)");
    const auto inPattern = FramePattern::Find(r.input);
    const auto outPattern = FramePattern::Find(r.output);
    if (!inPattern || !outPattern)
        throw UsageError(
            "tovrin submit renders sequences: INPUT and -o OUTPUT need a frame pattern (# or %04d)");
    if (o.chunk < 1)
        throw UsageError("--chunk " + std::to_string(o.chunk) + ": expected 1 or more frames per task");
    const std::string name = o.jobName.empty() ? DefaultJobName(r.output, *outPattern) : o.jobName;
    CheckJobName(name);
    for (const std::string& arg : o.sbatchArgs)
        CheckSbatchArg(arg);
    CheckSingleLine("--partition", o.partition);
    CheckSingleLine("--time", o.timeLimit);
    CheckDownsample(r.downsample);
    std::optional<std::filesystem::path> sbatch;
    if (!o.dryRun) {
        sbatch = FindProgram("sbatch");
        if (!sbatch)
            throw UsageError("sbatch, Slurm's submit command, is not installed: apt-get install slurm-client "
                             "(the Debian package), or run tovrin submit where the cluster's commands are; "
                             "--dry-run shows the job script without it");
    }

    const std::vector<int> frames = r.frames.empty() ? inPattern->FramesOnDisk() : ParseFrameList(r.frames);
    if (frames.empty())
        throw FileError("no files match the input pattern \"" + r.input +
                        "\"; give the frames with --frames");

    // The tasks may run anywhere on the cluster: every path in the script is absolute.
    const std::filesystem::path input = std::filesystem::absolute(r.input).lexically_normal();
    const std::filesystem::path output = std::filesystem::absolute(r.output).lexically_normal();
    const std::filesystem::path folder = output.parent_path();
    if (folder.string().find_first_of("\"\n\r") != std::string::npos)
        throw UsageError("the output folder " + Quoted(folder) +
                         " holds a quote or a line break, which a job script cannot name");
    CheckImageOutputPath(outPattern->Format(frames.front()), true);
    const std::filesystem::path plugin = std::filesystem::absolute(LocatePlugin(r.plugin)).lexically_normal();

    SlurmJob job;
    job.name = name;
    job.tool = ToolPath();
    job.plugin = plugin;
    job.input = input;
    job.output = output;
    job.folder = folder;
    job.preset = folder / (name + ".preset.json");
    job.logPattern = EscapeSlurmPattern((folder / name).string()) + ".%A_%a.log";
    job.renderArgs = TaskRenderArgs(r);
    job.chunks = ChunkFrames(frames, o.chunk);
    job.partition = o.partition;
    job.timeLimit = o.timeLimit;
    job.cpusPerTask = o.cpusPerTask;
    job.sbatchArgs = o.sbatchArgs;
    const std::filesystem::path scriptPath = folder / (name + ".sbatch");
    const std::string script = SlurmScriptText(job);

    const std::string presetText = JobPresetText(r, plugin, o);

    // A job of the same name with other settings may still have tasks waiting to read these files.
    if (!r.overwrite) {
        const auto oldScript = ReadWholeFile(scriptPath);
        const auto oldPreset = ReadWholeFile(job.preset);
        if ((oldScript && *oldScript != script) || (oldPreset && *oldPreset != presetText))
            throw FileError(Quoted(scriptPath) + " or its preset exists with other settings; use -y to " +
                            "replace them, --job-name for another job, or sbatch " + Quoted(scriptPath) +
                            " to submit it again as it is");
    }

    std::size_t existing = 0;
    std::vector<int> missingInputs;
    for (int f : frames) {
        std::error_code ec;
        existing += std::filesystem::exists(outPattern->Format(f), ec);
        if (!std::filesystem::exists(inPattern->Format(f), ec))
            missingInputs.push_back(f);
    }
    if (!missingInputs.empty())
        Note(o, "warning: " + std::to_string(missingInputs.size()) + " of " + std::to_string(frames.size()) +
                    " input frames do not exist (" + FrameListText(missingInputs) +
                    "); those frames will fail");

    if (o.dryRun) {
        std::fputs(script.c_str(), stdout);
        Note(o, "dry run: " + Quoted(scriptPath) + " and " + Quoted(job.preset) +
                    " are not written, and nothing is submitted");
        return kExitOk;
    }
    WriteFileAtomically(job.preset, presetText, true);
    WriteFileAtomically(scriptPath, script, true);
    const std::string jobId = SubmitWithSbatch(*sbatch, scriptPath);
    RecordJob(o, jobId, scriptPath);
    std::printf("%s\n", jobId.c_str());
    std::fflush(stdout);
    Note(o, "submitted job " + jobId + ": " + Counted(frames.size(), "frame") + " in " +
                Counted(job.chunks.size(), "task") +
                (existing ? " (" + std::to_string(existing) + " already rendered, skipped)" : "") +
                "; script " + Quoted(scriptPath) + ", logs " +
                Quoted(folder / (name + "." + jobId + "_*.log")) + "; tovrin submit --status " + jobId);
    return kExitOk;
}

} // namespace cli
