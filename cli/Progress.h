#pragma once
// What the tool tells about a render while it runs. On a terminal: a progress bar on stderr (percent from
// the effect's own progress calls, frames done, time left). Otherwise: plain lines on stdout that
// render-farm managers can parse:
//
//   FRAME 12 start
//   PROGRESS: 42%
//   FRAME 12 done out/shot.0012.png
//   FRAME 13 failed: <reason>
//
// (a single file says "DONE <file>" or "FAILED: <reason>"). Quiet: nothing but errors.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "host/Host.h"
#include "host/Instance.h"

namespace cli {

enum class ProgressMode { Bar, Plain, Quiet };

// Bar on a terminal, plain lines elsewhere, or quiet.
ProgressMode ChooseProgressMode(bool quiet);

class ProgressReporter {
public:
    // `sequence`: frames are numbered; otherwise one single file.
    ProgressReporter(ProgressMode mode, int totalFrames, bool sequence);

    void FrameStarted(int frame);
    // A progress call of the effect within the current frame.
    void Step(A_long current, A_long total);
    void FrameDone(int frame, const std::string& output);
    void FrameFailed(int frame, const std::string& reason);
    // A note or warning, on stderr, around the bar.
    void Note(const std::string& text);
    // Redraws the bar (time left moves on even without progress calls).
    void Tick();
    void Finish();

private:
    void DrawBarLocked();
    void ClearBarLocked();
    double FractionLocked() const;

    std::mutex mutex_;
    ProgressMode mode_;
    int totalFrames_;
    bool sequence_;
    int framesFinished_ = 0;
    int currentFrame_ = 0;
    double frameFraction_ = 0;
    bool barShown_ = false;
    std::string lastBar_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Watches one frame's render from a second thread: passes the effect's progress calls to the reporter and,
// after Ctrl-C, makes the host's progress callback answer cancel.
class RenderWatch {
public:
    RenderWatch(host::Host& host, host::Instance& instance, ProgressReporter& reporter);
    ~RenderWatch(); // stops the thread after passing on the last calls

    RenderWatch(const RenderWatch&) = delete;
    RenderWatch& operator=(const RenderWatch&) = delete;

private:
    void Poll();
    void Run();

    host::Host& host_;
    host::Instance& instance_;
    ProgressReporter& reporter_;
    std::size_t seen_;
    bool cancelSent_ = false;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;
};

} // namespace cli
