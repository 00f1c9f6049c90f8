// The frame pipeline: with overlap a frame renders on the calling thread while the next is read and the
// last written beside it, never more than three frames in flight; a failing step ends its frame only; a
// cancel starts nothing new and still reports what finished; the reports come out in frame order.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "cli/FrameOrder.h"
#include "cli/FramePipeline.h"

namespace {

using cli::FrameCancelled;

// Steps that log what ran where, and can be told to fail, skip, cancel or wait for another step.
class FakeSteps : public cli::FrameSteps {
public:
    explicit FakeSteps(std::size_t frames) : frames_(frames) {}

    bool Read(std::size_t f) override {
        Enter("read", f);
        if (skip.count(f)) {
            Leave("read", f, true);
            return false;
        }
        if (failRead.count(f)) {
            Leave("read", f, true);
            throw std::runtime_error("unreadable");
        }
        Leave("read", f, false);
        return true;
    }
    void Render(std::size_t f) override {
        Enter("render", f);
        if (overlapProof) {
            // Passes only when the next frame's read and the last frame's write run meanwhile.
            if (f + 1 < frames_) {
                EXPECT_TRUE(WaitFor("read", f + 1))
                    << "frame " << f + 1 << " was not read during render " << f;
            }
            if (f > 0) {
                EXPECT_TRUE(WaitFor("write", f - 1))
                    << "frame " << f - 1 << " was not written during render " << f;
            }
        }
        if (cancelRender.count(f)) {
            Leave("render", f, true);
            throw FrameCancelled{};
        }
        Leave("render", f, false);
    }
    void Write(std::size_t f) override {
        Enter("write", f);
        if (failWrite.count(f)) {
            Leave("write", f, true);
            throw std::runtime_error("disk full");
        }
        Leave("write", f, true);
    }
    void Failed(std::size_t f, std::exception_ptr) noexcept override {
        std::lock_guard lock(mutex_);
        failed.push_back(f);
    }
    bool StopRequested() override {
        std::lock_guard lock(mutex_);
        return stop;
    }
    void Finished(std::size_t f) override {
        std::lock_guard lock(mutex_);
        EXPECT_EQ(std::this_thread::get_id(), caller);
        finished.push_back(f);
    }

    std::set<std::size_t> skip, failRead, failWrite, cancelRender;
    bool overlapProof = false;
    bool stop = false;
    std::thread::id caller = std::this_thread::get_id();
    std::vector<std::string> log; // "read 0" ... in the order the steps began
    std::map<std::string, std::set<std::thread::id>> threads;
    std::vector<std::size_t> failed, finished;
    int inFlight = 0, mostInFlight = 0;

private:
    void Enter(const std::string& step, std::size_t f) {
        std::lock_guard lock(mutex_);
        log.push_back(step + " " + std::to_string(f));
        threads[step].insert(std::this_thread::get_id());
        if (step == "read") {
            ++inFlight;
            mostInFlight = std::max(mostInFlight, inFlight);
        }
        begun_.insert(step + " " + std::to_string(f));
        changed_.notify_all();
    }
    void Leave(const std::string&, std::size_t, bool frameOver) {
        std::lock_guard lock(mutex_);
        if (frameOver)
            --inFlight;
    }
    bool WaitFor(const std::string& step, std::size_t f) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10),
                                 [&] { return begun_.count(step + " " + std::to_string(f)) > 0; });
    }

    std::size_t frames_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::set<std::string> begun_;
};

TEST(FramePipeline, OverlapReadsAheadAndWritesBehindTheRenderWithAtMostThreeFramesInFlight) {
    FakeSteps steps(6);
    steps.overlapProof = true;
    EXPECT_FALSE(cli::RunFramePipeline(6, steps, true));
    EXPECT_EQ(steps.finished, (std::vector<std::size_t>{0, 1, 2, 3, 4, 5}));
    EXPECT_TRUE(steps.failed.empty());
    EXPECT_LE(steps.mostInFlight, 3);
    // The renders hold the effect's host: always the calling thread; reads and writes never on it.
    EXPECT_EQ(steps.threads["render"], std::set<std::thread::id>{steps.caller});
    EXPECT_EQ(steps.threads["read"].count(steps.caller), 0u);
    EXPECT_EQ(steps.threads["write"].count(steps.caller), 0u);
}

TEST(FramePipeline, WithoutOverlapEachFrameRunsItsStepsInTurnOnTheCallingThread) {
    FakeSteps steps(3);
    EXPECT_FALSE(cli::RunFramePipeline(3, steps, false));
    EXPECT_EQ(steps.log, (std::vector<std::string>{"read 0", "render 0", "write 0", "read 1", "render 1",
                                                   "write 1", "read 2", "render 2", "write 2"}));
    EXPECT_EQ(steps.threads.size(), 3u);
    for (const auto& [step, ids] : steps.threads)
        EXPECT_EQ(ids, std::set<std::thread::id>{steps.caller}) << step;
    EXPECT_EQ(steps.mostInFlight, 1);
}

TEST(FramePipeline, AFailedOrSkippedFrameEndsAloneAndTheOthersGoOn) {
    for (bool overlap : {false, true}) {
        FakeSteps steps(6);
        steps.failRead = {1};
        steps.skip = {2};
        steps.failWrite = {4};
        EXPECT_FALSE(cli::RunFramePipeline(6, steps, overlap));
        EXPECT_EQ(steps.failed, (std::vector<std::size_t>{1, 4})) << overlap;
        EXPECT_EQ(steps.finished, (std::vector<std::size_t>{0, 1, 2, 3, 4, 5})) << overlap;
        for (const char* never : {"render 1", "write 1", "render 2", "write 2"})
            EXPECT_EQ(std::count(steps.log.begin(), steps.log.end(), never), 0) << never << overlap;
        EXPECT_EQ(steps.inFlight, 0) << overlap;
    }
}

TEST(FramePipeline, ACancelStartsNothingNewAndStillFinishesWhatWasWritten) {
    for (bool overlap : {false, true}) {
        FakeSteps steps(8);
        steps.cancelRender = {3};
        EXPECT_TRUE(cli::RunFramePipeline(8, steps, overlap));
        // Frames before the cancelled one were written and are reported; nothing after it is written.
        EXPECT_EQ(steps.finished, (std::vector<std::size_t>{0, 1, 2})) << overlap;
        for (std::size_t f = 3; f < 8; ++f)
            EXPECT_EQ(std::count(steps.log.begin(), steps.log.end(), "write " + std::to_string(f)), 0);
        // At most the one frame read ahead.
        for (std::size_t f = 5; f < 8; ++f)
            EXPECT_EQ(std::count(steps.log.begin(), steps.log.end(), "read " + std::to_string(f)), 0);
    }
    FakeSteps stopped(4);
    stopped.stop = true;
    EXPECT_TRUE(cli::RunFramePipeline(4, stopped, true));
    EXPECT_TRUE(stopped.log.empty());
}

TEST(FrameOrder, ReportsOfLaterFramesWaitUntilEveryFrameBeforeThemIsClosed) {
    cli::FrameOrder order(4);
    std::vector<std::string> out;
    order.Post(1, [&] { out.push_back("1 start"); });
    order.Post(0, [&] { out.push_back("0 start"); });
    order.Post(2, [&] { out.push_back("2 failed"); });
    order.Close(2); // closed before its turn: its report still waits for 0 and 1
    order.Post(0, [&] { out.push_back("0 done"); });
    EXPECT_EQ(out, (std::vector<std::string>{"0 start", "0 done"}));
    order.Close(0);
    EXPECT_EQ(out.back(), "1 start");
    EXPECT_EQ(order.Head(), 1u);
    order.Post(1, [&] { out.push_back("1 done"); });
    order.Close(1);
    EXPECT_EQ(out, (std::vector<std::string>{"0 start", "0 done", "1 start", "1 done", "2 failed"}));
    EXPECT_EQ(order.Head(), 3u);                   // 2 had closed
    order.Post(2, [&] { out.push_back("late"); }); // a closed frame reports nothing more
    EXPECT_EQ(out.size(), 5u);
}

} // namespace
