#include "cli/FarmStatus.h"

#include <algorithm>
#include <charconv>
#include <set>
#include <sstream>

#include "cli/SlurmScript.h"

namespace cli {
namespace {

std::optional<int> LeadingNumber(const std::string& text, std::size_t* used) {
    int value = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr == text.data())
        return std::nullopt;
    *used = std::size_t(ptr - text.data());
    return value;
}

// What one task's log says about its frames and its end.
struct LogFacts {
    std::map<int, std::string> failures; // frames whose last word is a failure
    std::optional<int> exitCode;
    std::string lastWord, stopNote;
};

LogFacts ReadLog(const std::string& text) {
    LogFacts facts;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::size_t used = 0;
        if (line.rfind("FRAME ", 0) == 0) {
            const std::string rest = line.substr(6);
            const auto frame = LeadingNumber(rest, &used);
            if (!frame)
                continue;
            const std::string what = rest.substr(used);
            if (what.rfind(" failed: ", 0) == 0)
                facts.failures[*frame] = what.substr(9);
            else if (what.rfind(" done", 0) == 0 || what.rfind(" skipped", 0) == 0)
                facts.failures.erase(*frame);
        } else if (line.rfind("EXIT ", 0) == 0) {
            if (auto code = LeadingNumber(line.substr(5), &used))
                facts.exitCode = *code;
        } else if (line.find("*** ") != std::string::npos && line.find("slurmstepd") != std::string::npos) {
            facts.stopNote = line; // e.g. "slurmstepd: error: *** JOB 12 ... CANCELLED AT ... ***"
        } else if (!line.empty() && line.rfind("PROGRESS: ", 0) != 0) {
            facts.lastWord = line; // an error ends a task that fails before any frame
        }
    }
    return facts;
}

TaskState StateFromQueue(const std::string& state) {
    if (state == "PENDING" || state == "REQUEUED" || state == "CONFIGURING" || state == "SUSPENDED")
        return TaskState::Waiting;
    return TaskState::Running; // RUNNING, COMPLETING and the like
}

const char* StateText(TaskState state) {
    switch (state) {
    case TaskState::Waiting:
        return "waiting in the queue";
    case TaskState::Running:
        return "running";
    case TaskState::Finished:
        return "finished";
    case TaskState::Failed:
        return "failed";
    case TaskState::Stopped:
        return "stopped before it finished";
    case TaskState::Unknown:
        return "started, not finished (the queue did not answer)";
    case TaskState::NoLog:
        return "no log (not run, or its log was removed)";
    }
    return "";
}

} // namespace

JobReport SummariseJob(const std::vector<TaskEvidence>& tasks, const std::function<bool(int)>& outputExists) {
    JobReport report;
    std::set<int> done, failed, pending;
    for (std::size_t i = 0; i < tasks.size(); ++i) {
        const TaskEvidence& evidence = tasks[i];
        TaskReport task;
        task.task = int(i);
        task.frames = evidence.frames;
        const LogFacts facts = evidence.log ? ReadLog(*evidence.log) : LogFacts{};
        if (!evidence.queueState.empty()) {
            task.state = StateFromQueue(evidence.queueState);
        } else if (facts.exitCode) {
            task.exitCode = *facts.exitCode;
            task.state = task.exitCode == 0 ? TaskState::Finished : TaskState::Failed;
            if (task.exitCode != 0 && facts.failures.empty())
                task.note = facts.lastWord;
        } else if (evidence.log) {
            task.state = evidence.queueAnswered ? TaskState::Stopped : TaskState::Unknown;
            task.note = facts.stopNote;
        }
        for (int frame : evidence.frames) {
            if (outputExists(frame)) {
                done.insert(frame);
            } else if (auto f = facts.failures.find(frame); f != facts.failures.end()) {
                failed.insert(frame);
                report.failures[frame] = f->second;
            } else {
                pending.insert(frame);
            }
        }
        report.tasks.push_back(std::move(task));
    }
    report.done.assign(done.begin(), done.end());
    report.failed.assign(failed.begin(), failed.end());
    report.pending.assign(pending.begin(), pending.end());
    return report;
}

std::string FormatJobReport(const JobReport& report) {
    std::ostringstream s;
    const auto counts = [&](const char* label, const std::vector<int>& frames) {
        s << label << ": " << Counted(frames.size(), "frame");
        if (!frames.empty() && label != std::string("done"))
            s << " (" << FrameListText(frames) << ")";
        s << "\n";
    };
    counts("done", report.done);
    counts("failed", report.failed);
    counts("pending", report.pending);
    for (const TaskReport& task : report.tasks) {
        s << "task " << task.task << ", frames " << FrameListText(task.frames) << ": "
          << StateText(task.state);
        if (task.state == TaskState::Failed)
            s << " (exit " << task.exitCode << ")";
        s << "\n";
        for (int frame : task.frames)
            if (auto f = report.failures.find(frame); f != report.failures.end())
                s << "  frame " << frame << ": " << f->second << "\n";
        if (!task.note.empty())
            s << "  " << task.note << "\n";
    }
    return s.str();
}

} // namespace cli
