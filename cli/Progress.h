#pragma once
// What the tool tells about a render while it runs. On a terminal: one status line on stderr that fits the
// terminal's width (percent, bar, frame, phase: reading, rendering or writing, and time left once it can be
// told). Otherwise: plain lines on stdout that render-farm managers can parse:
//
//   FRAME 12 start
//   PROGRESS: 42%                      each value once, never going back
//   FRAME 12 done out/shot.0012.png
//   FRAME 13 skipped out/shot.0013.png (--skip-existing: the output was there)
//   FRAME 14 failed: <reason on one line>
//   FRAME 15 cancelled
//   CANCELLED
//
// (a single file says "DONE <file>", "SKIPPED <file>", "FAILED: <reason>" or "CANCELLED"). Quiet: nothing
// but errors.
#include <array>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "cli/OneLine.h"
#include "host/Host.h"
#include "host/Instance.h"

namespace cli {

enum class ProgressMode { Bar, Plain, Quiet };

// Bar on a terminal, plain lines elsewhere, or quiet.
ProgressMode ChooseProgressMode(bool quiet);

// The steps of one frame, in order.
enum class FramePhase { Reading = 0, Rendering = 1, Writing = 2 };

class ProgressReporter {
public:
    // `sequence`: frames are numbered; otherwise one single file.
    ProgressReporter(ProgressMode mode, int totalFrames, bool sequence);

    void FrameStarted(int frame);
    void Phase(FramePhase phase);
    // A progress call of the effect within the current frame.
    void Step(A_long current, A_long total);
    void FrameDone(int frame, const std::string& output);
    void FrameSkipped(int frame, const std::string& output);
    void FrameFailed(int frame, const std::string& reason);
    // The frame in progress was stopped by a signal and nothing of it written.
    void FrameCancelled(int frame);
    // The whole command was cancelled: the protocol's last line.
    void Cancelled(const std::string& why);
    // A note or warning, on stderr, around the bar.
    void Note(const std::string& text);
    // A line on stderr around the bar that quiet mode keeps too (what --stats asked for).
    void Line(const std::string& text);
    // Redraws the bar (the clock moves on even without progress calls).
    void Tick();
    void Finish();

    // The bar for a terminal `columns` wide, never wider than columns - 1 (so that it never wraps).
    // Exposed for tests of the layout.
    static std::string LayoutBar(int columns, int percent, const std::string& frameText,
                                 const std::string& phase, const std::string& clock);

private:
    void DrawBarLocked();
    void ClearBarLocked();
    double FrameFractionLocked() const;
    double FractionLocked() const;
    void PrintPercentLocked();
    void FinishFrameLocked();
    // "FRAME n <word> <output>" in a sequence, "<singleWord> <output>" for a single file.
    void PrintOutcomeLocked(int frame, const char* word, const char* singleWord, const std::string& output);
    std::string ClockTextLocked();

    std::mutex mutex_;
    ProgressMode mode_;
    int totalFrames_;
    bool sequence_;
    int framesFinished_ = 0;
    int framesRendered_ = 0; // finished frames that were worked on (not skipped)
    int framesSkipped_ = 0;
    int currentFrame_ = 0;
    bool inFrame_ = false;
    FramePhase phase_ = FramePhase::Reading;
    double renderFraction_ = 0; // the effect's own progress within the render phase
    int lastPercent_ = -1;
    bool barShown_ = false;
    std::string lastBar_;
    // How long each phase took over the frames so far: the weights of the phases within a frame.
    std::array<double, 3> phaseSeconds_{};
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point phaseStart_ = start_;
    std::chrono::steady_clock::time_point workStart_{}; // when the first frame that was worked on began
    bool workStarted_ = false;
    std::optional<double> shownLeft_; // the last time left shown: the estimate never climbs
};

// Watches one frame's render from a second thread: passes the effect's progress calls on (to `onStep`, or
// to the reporter's Step) and, after Ctrl-C, makes the host's progress callback answer cancel.
class RenderWatch {
public:
    using StepSink = std::function<void(A_long current, A_long total)>;
    RenderWatch(host::Host& host, host::Instance& instance, ProgressReporter& reporter, StepSink onStep = {});
    ~RenderWatch(); // stops the thread after passing on the last calls

    RenderWatch(const RenderWatch&) = delete;
    RenderWatch& operator=(const RenderWatch&) = delete;

private:
    void Poll();
    void Run();

    host::Host& host_;
    host::Instance& instance_;
    ProgressReporter& reporter_;
    StepSink onStep_;
    std::size_t seen_;
    bool cancelSent_ = false;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;
};

} // namespace cli
