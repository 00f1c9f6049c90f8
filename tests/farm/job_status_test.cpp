// Where a job stands: frames from the outputs and the task logs, tasks from the queue and their logs.
#include <set>

#include <gtest/gtest.h>

#include "cli/FarmStatus.h"

namespace cli {
namespace {

TaskEvidence Task(std::vector<int> frames, std::optional<std::string> log, std::string queueState = "",
                  bool queueAnswered = true) {
    TaskEvidence t;
    t.frames = std::move(frames);
    t.log = std::move(log);
    t.queueState = std::move(queueState);
    t.queueAnswered = queueAnswered;
    return t;
}

TEST(JobStatus, FramesAndTasksFromOutputsLogsAndQueue) {
    const std::vector<TaskEvidence> tasks = {
        // Finished; frame 2's output was removed since, so it is pending again.
        Task({1, 2},
             "FRAME 1 start\nPROGRESS: 50%\nFRAME 1 done /o/1.png\nFRAME 2 skipped /o/2.png\nEXIT 0\n"),
        // One frame failed and the task with it.
        Task({3, 4}, "FRAME 3 start\nFRAME 3 failed: cannot read \"/i/3.png\": Not a PNG file\n"
                     "tovrin: frame 3: cannot read \"/i/3.png\": Not a PNG file\nFRAME 4 done /o/4.png\n"
                     "tovrin: 1 of 2 frames failed\nEXIT 3\n"),
        // Failed before any frame: the last thing it said is why.
        Task({5, 6}, "tovrin: cannot find the plug-in file Tovrin.so\nEXIT 4\n"),
        // The queue knows better than an old log.
        Task({7, 8}, "FRAME 7 start\n", "RUNNING"),
        Task({9, 10}, std::nullopt, "PENDING"),
        // Started, gone from the queue, never finished.
        Task({11, 12}, "FRAME 11 start\nslurmstepd: error: *** JOB 9 ON n1 CANCELLED AT 2025-01-01 DUE TO "
                       "TIME LIMIT ***\n"),
        Task({13}, std::nullopt),
        Task({14}, "FRAME 14 start\n", "", false),
    };
    const std::set<int> outputs = {1, 4};
    const JobReport report = SummariseJob(tasks, [&](int f) { return outputs.count(f) > 0; });

    EXPECT_EQ(report.done, (std::vector<int>{1, 4}));
    EXPECT_EQ(report.failed, (std::vector<int>{3}));
    EXPECT_EQ(report.pending, (std::vector<int>{2, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
    EXPECT_EQ(report.failures.at(3), "cannot read \"/i/3.png\": Not a PNG file");

    ASSERT_EQ(report.tasks.size(), tasks.size());
    const TaskState expected[] = {TaskState::Finished, TaskState::Failed,  TaskState::Failed,
                                  TaskState::Running,  TaskState::Waiting, TaskState::Stopped,
                                  TaskState::NoLog,    TaskState::Unknown};
    for (std::size_t i = 0; i < tasks.size(); ++i)
        EXPECT_EQ(report.tasks[i].state, expected[i]) << "task " << i;
    EXPECT_EQ(report.tasks[1].exitCode, 3);
    EXPECT_EQ(report.tasks[1].note, "") << "its frame says why";
    EXPECT_EQ(report.tasks[2].exitCode, 4);
    EXPECT_EQ(report.tasks[2].note, "tovrin: cannot find the plug-in file Tovrin.so");
    EXPECT_NE(report.tasks[5].note.find("DUE TO TIME LIMIT"), std::string::npos);

    const std::string text = FormatJobReport(report);
    EXPECT_EQ(text.substr(0, text.find("task 0")),
              "done: 2 frames\nfailed: 1 frame (3)\npending: 11 frames (2,5-14)\n");
    EXPECT_NE(text.find("task 1, frames 3-4: failed (exit 3)\n  frame 3: cannot read"), std::string::npos)
        << text;
}

} // namespace
} // namespace cli
