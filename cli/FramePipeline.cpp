#include "cli/FramePipeline.h"

#include <algorithm>
#include <future>
#include <vector>

namespace cli {
namespace {

// Where a frame stands after a step.
enum class After { Next, Over, Cancelled };

template <class F>
After RunStep(FrameSteps& steps, std::size_t frame, F&& step) {
    try {
        return step() ? After::Next : After::Over;
    } catch (const FrameCancelled&) {
        return After::Cancelled;
    } catch (...) {
        steps.Failed(frame, std::current_exception());
        return After::Over;
    }
}

After Read(FrameSteps& s, std::size_t f) {
    return RunStep(s, f, [&] { return s.Read(f); });
}
After Render(FrameSteps& s, std::size_t f) {
    return RunStep(s, f, [&] {
        s.Render(f);
        return true;
    });
}
After Write(FrameSteps& s, std::size_t f) {
    // Written is over.
    return RunStep(s, f, [&] {
        s.Write(f);
        return false;
    });
}

bool RunInTurn(std::size_t frames, FrameSteps& steps) {
    for (std::size_t f = 0; f < frames; ++f) {
        if (steps.StopRequested())
            return true;
        steps.RoundBegan();
        After a = Read(steps, f);
        if (a == After::Next)
            a = Render(steps, f);
        if (a == After::Next)
            a = Write(steps, f);
        steps.RoundEnded(f, f);
        if (a == After::Cancelled)
            return true;
        steps.Finished(f);
    }
    return false;
}

} // namespace

bool RunFramePipeline(std::size_t frames, FrameSteps& steps, bool overlap) {
    if (!overlap || frames < 2)
        return RunInTurn(frames, steps);

    std::size_t next = 0, readingFrame = 0, writingFrame = 0;
    std::future<After> reading, writing;
    const auto startReading = [&] {
        if (next >= frames || steps.StopRequested())
            return;
        readingFrame = next++;
        reading = std::async(std::launch::async, [&steps, f = readingFrame] { return Read(steps, f); });
    };
    // The futures' destructors wait for their threads, also when a report below throws.
    bool cancelled = false;
    std::vector<std::size_t> over;
    startReading();
    while (reading.valid() && !cancelled) {
        steps.RoundBegan();
        const std::size_t f = readingFrame;
        After a = reading.get();
        if (a != After::Cancelled)
            startReading(); // the next frame is read while this one renders
        if (a == After::Next)
            a = Render(steps, f);
        // One frame is written at a time: the last one ends before this one starts.
        const bool wrote = writing.valid();
        if (wrote) {
            if (writing.get() == After::Cancelled)
                cancelled = true;
            else
                over.push_back(writingFrame);
        }
        if (a == After::Next && !cancelled) {
            writingFrame = f;
            writing = std::async(std::launch::async, [&steps, f] { return Write(steps, f); });
        } else if (a == After::Over) {
            over.push_back(f);
        } else if (a == After::Cancelled) {
            cancelled = true;
        }
        steps.RoundEnded(wrote ? f - 1 : f, std::min(f + 1, frames - 1));
        std::sort(over.begin(), over.end());
        for (std::size_t done : over)
            steps.Finished(done);
        over.clear();
    }
    // What is still in flight: a read ahead (after a cancel) and the last write.
    if (reading.valid()) {
        const std::size_t f = readingFrame;
        if (reading.get() == After::Over)
            over.push_back(f); // skipped or failed while reading: reported as such
    }
    if (writing.valid()) {
        if (writing.get() == After::Cancelled)
            cancelled = true;
        else
            over.push_back(writingFrame);
        steps.RoundEnded(writingFrame, writingFrame);
    }
    std::sort(over.begin(), over.end());
    for (std::size_t done : over)
        steps.Finished(done);
    return cancelled || (next < frames && steps.StopRequested());
}

} // namespace cli
