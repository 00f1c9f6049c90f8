#include "cli/Progress.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <sys/ioctl.h>
#include <unistd.h>

#include "cli/Interrupt.h"
#include "host/Faults.h"

namespace cli {
namespace {

// Until a frame has been measured, a frame is taken to spend this much of its time in each phase.
constexpr std::array<double, 3> kDefaultPhaseWeights{0.15, 0.6, 0.25};
constexpr int kMaxBarWidth = 30;
constexpr int kMinBarWidth = 10;

const char* PhaseName(FramePhase phase) {
    switch (phase) {
    case FramePhase::Reading:
        return "reading";
    case FramePhase::Rendering:
        return "rendering";
    case FramePhase::Writing:
        return "writing";
    }
    return "";
}

int TerminalColumns() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    if (const char* columns = std::getenv("COLUMNS")) {
        const int n = std::atoi(columns);
        if (n > 0)
            return n;
    }
    return 80;
}

std::string Clock(double seconds) {
    const long s = long(std::max(0.0, seconds) + 0.5);
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

} // namespace

ProgressMode ChooseProgressMode(bool quiet) {
    if (quiet)
        return ProgressMode::Quiet;
    return ::isatty(STDERR_FILENO) ? ProgressMode::Bar : ProgressMode::Plain;
}

ProgressReporter::ProgressReporter(ProgressMode mode, int totalFrames, bool sequence)
    : mode_(mode), totalFrames_(totalFrames > 0 ? totalFrames : 1), sequence_(sequence) {}

std::string ProgressReporter::LayoutBar(int columns, int percent, const std::string& frameText,
                                        const std::string& phase, const std::string& clock) {
    const int room = std::max(columns - 1, 4);
    char head[8];
    std::snprintf(head, sizeof head, "%3d%%", std::clamp(percent, 0, 100));
    // The richest line that fits with a bar of useful width: the phase goes first, then the frame.
    const std::vector<std::vector<std::string>> choices = {
        {frameText, phase, clock}, {frameText, clock}, {clock}, {}};
    for (const auto& parts : choices) {
        std::string tail;
        for (const std::string& p : parts)
            if (!p.empty())
                tail += "  " + p;
        const int barWidth =
            std::min(kMaxBarWidth, room - int(std::string(head).size()) - 3 - int(tail.size()));
        if (barWidth < kMinBarWidth)
            continue;
        const int filled = std::clamp(percent, 0, 100) * barWidth / 100;
        return std::string(head) + " [" + std::string(std::size_t(filled), '#') +
               std::string(std::size_t(barWidth - filled), '-') + "]" + tail;
    }
    std::string line = std::string(head) + (clock.empty() ? "" : "  " + clock);
    if (int(line.size()) > room)
        line.resize(std::size_t(room));
    return line;
}

double ProgressReporter::FrameFractionLocked() const {
    std::array<double, 3> weights = kDefaultPhaseWeights;
    const double measured = phaseSeconds_[0] + phaseSeconds_[1] + phaseSeconds_[2];
    if (framesRendered_ > 0 && measured > 0)
        for (std::size_t i = 0; i < 3; ++i)
            weights[i] = phaseSeconds_[i] / measured;
    const std::size_t p = std::size_t(phase_);
    double fraction = 0;
    for (std::size_t i = 0; i < p; ++i)
        fraction += weights[i];
    if (phase_ == FramePhase::Rendering)
        fraction += weights[p] * renderFraction_;
    return std::clamp(fraction, 0.0, 1.0);
}

double ProgressReporter::FractionLocked() const {
    return (framesFinished_ + (inFrame_ ? FrameFractionLocked() : 0.0)) / totalFrames_;
}

void ProgressReporter::PrintPercentLocked() {
    if (mode_ != ProgressMode::Plain)
        return;
    const int percent = int(FractionLocked() * 100);
    if (percent <= lastPercent_)
        return;
    lastPercent_ = percent;
    std::printf("PROGRESS: %d%%\n", percent);
    std::fflush(stdout);
}

std::string ProgressReporter::ClockTextLocked() {
    const auto now = std::chrono::steady_clock::now();
    if (framesRendered_ == 0 || !workStarted_ || framesFinished_ >= totalFrames_)
        return Clock(std::chrono::duration<double>(now - start_).count()) + " elapsed";
    // From the frames worked on so far; skipped frames take no time.
    const double worked = std::chrono::duration<double>(now - workStart_).count();
    const double done = framesRendered_ + (inFrame_ ? FrameFractionLocked() : 0.0);
    const double toDo = std::max(0.0, double(totalFrames_ - framesSkipped_) - done);
    double left = worked / done * toDo;
    if (shownLeft_)
        left = std::min(left, *shownLeft_);
    shownLeft_ = left;
    return Clock(left) + " left";
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
    std::string frameText;
    if (sequence_)
        frameText = "frame " + std::to_string(currentFrame_) + " (" + std::to_string(framesFinished_) + "/" +
                    std::to_string(totalFrames_) + ")";
    const std::string line = LayoutBar(TerminalColumns(), int(FractionLocked() * 100), frameText,
                                       inFrame_ ? PhaseName(phase_) : "", ClockTextLocked());
    // Redrawn only when it changes: the watch ticks often.
    if (barShown_ && lastBar_ == line)
        return;
    lastBar_ = line;
    std::fputs(("\r" + line + "\033[K").c_str(), stderr);
    std::fflush(stderr);
    barShown_ = true;
}

void ProgressReporter::FrameStarted(int frame) {
    std::lock_guard lock(mutex_);
    currentFrame_ = frame;
    inFrame_ = true;
    phase_ = FramePhase::Reading;
    renderFraction_ = 0;
    phaseStart_ = std::chrono::steady_clock::now();
    if (!workStarted_) {
        workStart_ = phaseStart_;
        workStarted_ = true;
    }
    if (mode_ == ProgressMode::Plain && sequence_) {
        std::printf("FRAME %d start\n", frame);
        std::fflush(stdout);
    }
    DrawBarLocked();
}

void ProgressReporter::Phase(FramePhase phase) {
    std::lock_guard lock(mutex_);
    if (!inFrame_ || phase <= phase_)
        return;
    const auto now = std::chrono::steady_clock::now();
    phaseSeconds_[std::size_t(phase_)] += std::chrono::duration<double>(now - phaseStart_).count();
    phaseStart_ = now;
    phase_ = phase;
    PrintPercentLocked();
    DrawBarLocked();
}

void ProgressReporter::Step(A_long current, A_long total) {
    std::lock_guard lock(mutex_);
    if (!inFrame_ || total <= 0)
        return;
    if (phase_ == FramePhase::Reading)
        phase_ = FramePhase::Rendering;
    if (phase_ == FramePhase::Rendering) {
        const double f = current <= 0 ? 0.0 : current >= total ? 1.0 : double(current) / double(total);
        renderFraction_ = std::max(renderFraction_, f);
    }
    PrintPercentLocked();
    DrawBarLocked();
}

void ProgressReporter::FinishFrameLocked() {
    if (inFrame_) {
        const auto now = std::chrono::steady_clock::now();
        phaseSeconds_[std::size_t(phase_)] += std::chrono::duration<double>(now - phaseStart_).count();
    }
    inFrame_ = false;
    ++framesFinished_;
    renderFraction_ = 0;
}

void ProgressReporter::PrintOutcomeLocked(int frame, const char* word, const char* singleWord,
                                          const std::string& output) {
    PrintPercentLocked();
    if (mode_ == ProgressMode::Plain) {
        if (sequence_)
            std::printf("FRAME %d %s %s\n", frame, word, output.c_str());
        else
            std::printf("%s %s\n", singleWord, output.c_str());
        std::fflush(stdout);
    }
    DrawBarLocked();
}

void ProgressReporter::FrameDone(int frame, const std::string& output) {
    std::lock_guard lock(mutex_);
    FinishFrameLocked();
    ++framesRendered_;
    PrintOutcomeLocked(frame, "done", "DONE", output);
}

void ProgressReporter::FrameSkipped(int frame, const std::string& output) {
    std::lock_guard lock(mutex_);
    inFrame_ = false;
    ++framesFinished_;
    ++framesSkipped_;
    PrintOutcomeLocked(frame, "skipped", "SKIPPED", output);
}

void ProgressReporter::FrameFailed(int frame, const std::string& reason) {
    std::lock_guard lock(mutex_);
    const bool worked = inFrame_;
    FinishFrameLocked();
    if (worked)
        ++framesRendered_;
    const std::string line = OneLine(reason);
    ClearBarLocked();
    if (sequence_)
        std::fprintf(stderr, "tovrin: frame %d: %s\n", frame, line.c_str());
    else
        std::fprintf(stderr, "tovrin: %s\n", line.c_str());
    PrintPercentLocked();
    if (mode_ == ProgressMode::Plain) {
        if (sequence_)
            std::printf("FRAME %d failed: %s\n", frame, line.c_str());
        else
            std::printf("FAILED: %s\n", line.c_str());
        std::fflush(stdout);
    }
    DrawBarLocked();
}

void ProgressReporter::FrameCancelled(int frame) {
    std::lock_guard lock(mutex_);
    inFrame_ = false;
    if (mode_ == ProgressMode::Plain && sequence_) {
        std::printf("FRAME %d cancelled\n", frame);
        std::fflush(stdout);
    }
}

void ProgressReporter::Cancelled(const std::string& why) {
    std::lock_guard lock(mutex_);
    inFrame_ = false;
    ClearBarLocked();
    std::fprintf(stderr, "tovrin: %s\n", OneLine(why).c_str());
    if (mode_ == ProgressMode::Plain) {
        std::printf("CANCELLED\n");
        std::fflush(stdout);
    }
}

void ProgressReporter::Note(const std::string& text) {
    std::lock_guard lock(mutex_);
    if (mode_ == ProgressMode::Quiet)
        return;
    ClearBarLocked();
    std::fprintf(stderr, "tovrin: %s\n", text.c_str());
    DrawBarLocked();
}

void ProgressReporter::Line(const std::string& text) {
    std::lock_guard lock(mutex_);
    ClearBarLocked();
    std::fprintf(stderr, "%s\n", text.c_str());
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

RenderWatch::RenderWatch(host::Host& host, host::Instance& instance, ProgressReporter& reporter,
                         StepSink onStep)
    : host_(host), instance_(instance), reporter_(reporter), onStep_(std::move(onStep)),
      seen_(instance.ProgressCalls().size()) {
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
    for (; seen_ < calls.size(); ++seen_) {
        if (onStep_)
            onStep_(calls[seen_].first, calls[seen_].second);
        else
            reporter_.Step(calls[seen_].first, calls[seen_].second);
    }
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
