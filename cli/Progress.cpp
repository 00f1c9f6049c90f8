#include "cli/Progress.h"

#include <cstdio>

#include <unistd.h>

#include "cli/Interrupt.h"
#include "host/Faults.h"

namespace cli {

ProgressMode ChooseProgressMode(bool quiet) {
    if (quiet)
        return ProgressMode::Quiet;
    return ::isatty(STDERR_FILENO) ? ProgressMode::Bar : ProgressMode::Plain;
}

ProgressReporter::ProgressReporter(ProgressMode mode, int totalFrames, bool sequence)
    : mode_(mode), totalFrames_(totalFrames > 0 ? totalFrames : 1), sequence_(sequence) {}

double ProgressReporter::FractionLocked() const {
    return (framesFinished_ + frameFraction_) / totalFrames_;
}

void ProgressReporter::ClearBarLocked() {
    if (barShown_) {
        std::fputs("\r\033[K", stderr);
        barShown_ = false;
    }
}

void ProgressReporter::DrawBarLocked() {
    if (mode_ != ProgressMode::Bar)
        return;
    constexpr int kWidth = 30;
    const double f = FractionLocked();
    const int filled = int(f * kWidth);
    std::string bar(std::size_t(filled), '#');
    bar.append(std::size_t(kWidth - filled), '-');
    char line[160];
    int n = std::snprintf(line, sizeof line, "\r%3d%% [%s]", int(f * 100), bar.c_str());
    if (sequence_)
        n += std::snprintf(line + n, sizeof line - std::size_t(n), "  frame %d (%d/%d done)", currentFrame_,
                           framesFinished_, totalFrames_);
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    if (f > 0.01 && f < 1.0) {
        const long left = long(elapsed / f * (1.0 - f) + 0.5);
        std::snprintf(line + n, sizeof line - std::size_t(n), "  %ld:%02ld left", left / 60, left % 60);
    }
    // Redrawn only when it changes: the watch ticks often.
    if (barShown_ && lastBar_ == line)
        return;
    lastBar_ = line;
    std::fputs(line, stderr);
    std::fputs("\033[K", stderr);
    std::fflush(stderr);
    barShown_ = true;
}

void ProgressReporter::FrameStarted(int frame) {
    std::lock_guard lock(mutex_);
    currentFrame_ = frame;
    frameFraction_ = 0;
    if (mode_ == ProgressMode::Plain && sequence_) {
        std::printf("FRAME %d start\n", frame);
        std::fflush(stdout);
    }
    DrawBarLocked();
}

void ProgressReporter::Step(A_long current, A_long total) {
    std::lock_guard lock(mutex_);
    if (total > 0)
        frameFraction_ = current <= 0 ? 0.0 : current >= total ? 1.0 : double(current) / double(total);
    if (mode_ == ProgressMode::Plain) {
        std::printf("PROGRESS: %d%%\n", int(FractionLocked() * 100));
        std::fflush(stdout);
    }
    DrawBarLocked();
}

void ProgressReporter::FrameDone(int frame, const std::string& output) {
    std::lock_guard lock(mutex_);
    ++framesFinished_;
    frameFraction_ = 0;
    if (mode_ == ProgressMode::Plain) {
        std::printf("PROGRESS: %d%%\n", int(FractionLocked() * 100));
        if (sequence_)
            std::printf("FRAME %d done %s\n", frame, output.c_str());
        else
            std::printf("DONE %s\n", output.c_str());
        std::fflush(stdout);
    }
    DrawBarLocked();
}

void ProgressReporter::FrameFailed(int frame, const std::string& reason) {
    std::lock_guard lock(mutex_);
    ++framesFinished_;
    frameFraction_ = 0;
    ClearBarLocked();
    if (sequence_)
        std::fprintf(stderr, "tovrin: frame %d: %s\n", frame, reason.c_str());
    else
        std::fprintf(stderr, "tovrin: %s\n", reason.c_str());
    if (mode_ == ProgressMode::Plain) {
        if (sequence_)
            std::printf("FRAME %d failed: %s\n", frame, reason.c_str());
        else
            std::printf("FAILED: %s\n", reason.c_str());
        std::fflush(stdout);
    }
    DrawBarLocked();
}

void ProgressReporter::Note(const std::string& text) {
    std::lock_guard lock(mutex_);
    if (mode_ == ProgressMode::Quiet)
        return;
    ClearBarLocked();
    std::fprintf(stderr, "tovrin: %s\n", text.c_str());
    DrawBarLocked();
}

void ProgressReporter::Tick() {
    std::lock_guard lock(mutex_);
    DrawBarLocked();
}

void ProgressReporter::Finish() {
    std::lock_guard lock(mutex_);
    if (barShown_) {
        std::fputs("\n", stderr);
        barShown_ = false;
    }
}

RenderWatch::RenderWatch(host::Host& host, host::Instance& instance, ProgressReporter& reporter)
    : host_(host), instance_(instance), reporter_(reporter), seen_(instance.ProgressCalls().size()) {
    thread_ = std::thread([this] { Run(); });
}

RenderWatch::~RenderWatch() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
    Poll();
}

void RenderWatch::Poll() {
    const auto calls = instance_.ProgressCalls();
    for (; seen_ < calls.size(); ++seen_)
        reporter_.Step(calls[seen_].first, calls[seen_].second);
    if (Interrupted() && !cancelSent_) {
        // From now on every progress call answers cancel, which the effect hands back as its result.
        host_.Faults().Inject(host::Fault::Progress, 1, PF_Interrupt_CANCEL, true);
        cancelSent_ = true;
    }
}

void RenderWatch::Run() {
    std::unique_lock lock(mutex_);
    while (!stop_) {
        wake_.wait_for(lock, std::chrono::milliseconds(50));
        if (stop_)
            break;
        lock.unlock();
        Poll();
        reporter_.Tick();
        lock.lock();
    }
}

} // namespace cli
