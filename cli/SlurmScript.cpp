#include "cli/SlurmScript.h"

#include <algorithm>
#include <sstream>

#include "cli/FrameSequence.h"
#include "cli/ToolError.h"

namespace cli {
namespace {

std::string RangeText(int first, int last, int step) {
    if (first == last)
        return std::to_string(first);
    // Appended piece by piece: GCC 12 at -O3 warns falsely about "x" + string.
    std::string text = std::to_string(first);
    text += '-';
    text += std::to_string(last);
    if (step != 1) {
        text += 'x';
        text += std::to_string(step);
    }
    return text;
}

// An #SBATCH value: sbatch reads these lines as words, so a value with blanks is double-quoted.
std::string SbatchValue(const std::string& value) {
    return value.find_first_of(" \t") == std::string::npos ? value : "\"" + value + "\"";
}

std::string Unquoted(const std::string& text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        return text.substr(1, text.size() - 2);
    return text;
}

// The inverse of ShellQuote: a run of '...' pieces joined by \'.
bool ShellUnquote(const std::string& text, std::string* value) {
    value->clear();
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '\'') {
            const std::size_t close = text.find('\'', i + 1);
            if (close == std::string::npos)
                return false;
            value->append(text, i + 1, close - i - 1);
            i = close + 1;
        } else if (text.compare(i, 2, "\\'") == 0) {
            value->push_back('\'');
            i += 2;
        } else {
            return false;
        }
    }
    return !text.empty();
}

} // namespace

std::vector<std::string> ChunkFrames(const std::vector<int>& frames, int chunk) {
    std::vector<std::string> chunks;
    std::size_t i = 0;
    while (i < frames.size()) {
        // The spacing of the chunk is that of its first two frames; it ends where the spacing changes.
        std::size_t end = i + 1;
        const int step = end < frames.size() ? frames[end] - frames[i] : 1;
        while (end < frames.size() && int(end - i) < chunk && frames[end] - frames[end - 1] == step)
            ++end;
        chunks.push_back(RangeText(frames[i], frames[end - 1], end - i > 1 ? step : 1));
        i = end;
    }
    return chunks;
}

std::vector<int> ChunkFrameList(const std::string& chunk) {
    return ParseFrameList(chunk);
}

std::string FrameListText(const std::vector<int>& frames) {
    std::string text;
    for (std::size_t i = 0; i < frames.size();) {
        std::size_t end = i + 1;
        while (end < frames.size() && frames[end] == frames[end - 1] + 1)
            ++end;
        if (!text.empty())
            text += ",";
        text += RangeText(frames[i], frames[end - 1], 1);
        i = end;
    }
    return text;
}

std::string Counted(std::size_t n, const char* noun) {
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::string EscapeSlurmPattern(const std::string& path) {
    std::string escaped;
    for (char c : path) {
        escaped += c;
        if (c == '%')
            escaped += '%';
    }
    return escaped;
}

std::string SlurmScriptText(const SlurmJob& job) {
    std::vector<int> frames;
    for (const std::string& chunk : job.chunks) {
        const std::vector<int> some = ChunkFrameList(chunk);
        frames.insert(frames.end(), some.begin(), some.end());
    }
    std::sort(frames.begin(), frames.end());
    std::size_t largest = 0;
    for (const std::string& chunk : job.chunks)
        largest = std::max(largest, ChunkFrameList(chunk).size());

    std::ostringstream s;
    s << "#!/bin/bash\n"
      << "# Written by tovrin submit. Renders frames " << FrameListText(frames) << " of\n"
      << "#   " << job.input.string() << "\n"
      << "# into\n"
      << "#   " << job.output.string() << "\n"
      << "# as a Slurm job array of " << job.chunks.size() << (job.chunks.size() == 1 ? " task" : " tasks")
      << " (at most " << largest << (largest == 1 ? " frame" : " frames")
      << " each), with the settings saved in\n"
      << "#   " << job.preset.string() << "\n"
      << "# Each task skips the frames whose output exists, so submitting this script again\n"
      << "#   sbatch " << ShellQuote(job.folder.string() + "/" + job.name + ".sbatch") << "\n"
      << "# renders only the frames still missing. Each task's lines go to its log.\n"
      << "#SBATCH --job-name=" << job.name << "\n"
      << "#SBATCH --array=0-" << job.chunks.size() - 1 << "\n"
      << "#SBATCH --output=" << SbatchValue(job.logPattern.string()) << "\n"
      << "#SBATCH --chdir=" << SbatchValue(job.folder.string()) << "\n";
    if (!job.partition.empty())
        s << "#SBATCH --partition=" << job.partition << "\n";
    if (!job.timeLimit.empty())
        s << "#SBATCH --time=" << job.timeLimit << "\n";
    if (job.cpusPerTask > 0)
        s << "#SBATCH --cpus-per-task=" << job.cpusPerTask << "\n";
    for (const std::string& arg : job.sbatchArgs)
        s << "#SBATCH " << arg << "\n";

    s << "\ntool=" << ShellQuote(job.tool.string()) << "\n"
      << "plugin=" << ShellQuote(job.plugin.string()) << "\n"
      << "input=" << ShellQuote(job.input.string()) << "\n"
      << "output=" << ShellQuote(job.output.string()) << "\n"
      << "preset=" << ShellQuote(job.preset.string()) << "\n"
      << "chunks=(";
    for (std::size_t i = 0; i < job.chunks.size(); ++i)
        s << (i ? " " : "") << job.chunks[i];
    s << ")\n\n"
      << "task=${SLURM_ARRAY_TASK_ID:?submit this script with sbatch, or set SLURM_ARRAY_TASK_ID}\n"
      << "frames=${chunks[task]:?no chunk for task $task}\n"
      << "# As many threads as Slurm gave the task processors.\n"
      << "threads=${SLURM_CPUS_PER_TASK:-${SLURM_CPUS_ON_NODE:-1}}\n"
      << "\"$tool\" render \"$input\" -o \"$output\" --plugin \"$plugin\" --preset \"$preset\" \\\n"
      << "    --frames \"$frames\" --skip-existing --threads \"$threads\"";
    for (const std::string& arg : job.renderArgs)
        s << " "
          << (arg.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-,.") == std::string::npos
                  ? arg
                  : ShellQuote(arg));
    s << "\n"
      << "status=$?\n"
      << "# A failed frame fails the task, so that the scheduler shows it.\n"
      << "echo \"EXIT $status\"\n"
      << "exit $status\n";
    return s.str();
}

std::filesystem::path SlurmScriptInfo::LogOf(const std::string& jobId, int task) const {
    std::string path;
    for (std::size_t i = 0; i < logPattern.size(); ++i) {
        if (logPattern[i] != '%' || i + 1 == logPattern.size()) {
            path += logPattern[i];
            continue;
        }
        const char code = logPattern[++i];
        if (code == 'A')
            path += jobId;
        else if (code == 'a')
            path += std::to_string(task);
        else if (code == '%')
            path += '%';
        else
            path += std::string{'%', code}; // a pattern our scripts do not write
    }
    return path;
}

SlurmScriptInfo ReadSlurmScript(const std::string& text) {
    SlurmScriptInfo info;
    bool haveOutput = false, haveChunks = false;
    std::istringstream lines(text);
    std::string line;
    const auto value = [&](const std::string& prefix, std::string* rest) {
        if (line.rfind(prefix, 0) != 0)
            return false;
        *rest = line.substr(prefix.size());
        return true;
    };
    while (std::getline(lines, line)) {
        std::string rest;
        if (value("#SBATCH --job-name=", &rest)) {
            info.name = Unquoted(rest);
        } else if (value("#SBATCH --output=", &rest)) {
            info.logPattern = Unquoted(rest);
        } else if (value("output=", &rest)) {
            std::string path;
            if (!ShellUnquote(rest, &path))
                throw FileError("the job script's output line is not one tovrin wrote: " + line);
            info.output = path;
            haveOutput = true;
        } else if (value("chunks=(", &rest)) {
            if (rest.empty() || rest.back() != ')')
                throw FileError("the job script's chunks line is not one tovrin wrote: " + line);
            std::istringstream words(rest.substr(0, rest.size() - 1));
            for (std::string chunk; words >> chunk;) {
                try {
                    ChunkFrameList(chunk);
                } catch (const ToolError&) {
                    throw FileError("the job script's chunk \"" + chunk + "\" is not a frame range");
                }
                info.chunks.push_back(chunk);
            }
            haveChunks = true;
        }
    }
    if (info.logPattern.empty() || !haveOutput || !haveChunks || info.chunks.empty())
        throw FileError("not a job script of tovrin submit: it lacks its " +
                        std::string(info.logPattern.empty() ? "#SBATCH --output"
                                    : !haveOutput           ? "output="
                                                            : "chunks=") +
                        " line");
    return info;
}

} // namespace cli
