#pragma once
// Where a submitted sequence stands, worked out from what the job leaves behind: a frame is done when its
// output exists, failed when its task's log says so last, and pending otherwise; a task's state comes from
// the queue while it is there, and from its log afterwards.
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace cli {

enum class TaskState {
    Waiting,  // in the queue, not yet started
    Running,  // the queue says it runs
    Finished, // its render ended with success
    Failed,   // its render ended with an error
    Stopped,  // it started but never finished (cancelled, out of time, its node lost)
    Unknown,  // started, not finished, and the queue could not be asked
    NoLog,    // neither in the queue nor a log: never ran, or its log was removed
};

struct TaskEvidence {
    std::vector<int> frames;
    std::optional<std::string> log; // the text of its log, if there is one
    bool queueAnswered = false;     // whether squeue could be asked
    std::string queueState;         // squeue's state ("PENDING", "RUNNING", ...); empty: not queued
};

struct TaskReport {
    int task = 0;
    std::vector<int> frames;
    TaskState state = TaskState::NoLog;
    int exitCode = 0;
    std::string note; // why it failed or stopped, when no frame says
};

struct JobReport {
    std::vector<int> done, failed, pending;
    std::map<int, std::string> failures; // frame → the reason its task's log gives
    std::vector<TaskReport> tasks;
};

JobReport SummariseJob(const std::vector<TaskEvidence>& tasks, const std::function<bool(int)>& outputExists);

// A few lines for people, the counts first.
std::string FormatJobReport(const JobReport& report);

} // namespace cli
