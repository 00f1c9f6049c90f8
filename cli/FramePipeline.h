#pragma once
// The frames of a sequence through their three steps: read, render, write. With overlap, frame i + 1 is
// read on a reader thread and frame i - 1 written on a writer thread while frame i renders on the calling
// thread (the one that holds the effect's host). At most three frames are in flight, one read ahead, one
// rendering, one being written, so memory stays bounded; the next read starts only when the last one has
// ended, and the next write only when the last one has. Without overlap each frame's steps run one after
// another on the calling thread.
//
// A step ends normally, throws FrameCancelled when it stopped at a cancel, or throws the frame's failure,
// which goes to Failed and ends that frame only. After a cancel nothing new starts; the steps in flight are
// waited for (they see the cancel themselves), and the frames that had finished are still reported.
#include <cstddef>
#include <exception>

namespace cli {

struct FrameCancelled {};

class FrameSteps {
public:
    virtual ~FrameSteps() = default;
    // Reads frame i; false when it has nothing to render (skipped). On the reader thread.
    virtual bool Read(std::size_t frame) = 0;
    virtual void Render(std::size_t frame) = 0; // on the calling thread
    virtual void Write(std::size_t frame) = 0;  // on the writer thread
    // A step of the frame threw; on that step's thread. Must not throw.
    virtual void Failed(std::size_t frame, std::exception_ptr failure) noexcept = 0;
    // Asked before a frame is read: true stops the sequence (a cancel).
    virtual bool StopRequested() = 0;
    // The frame is over (written, failed or skipped), after the round it ended in; on the calling thread,
    // in frame order.
    virtual void Finished(std::size_t frame) = 0;
    // A round is the render of one frame with the read and the write beside it (with overlap), or one
    // frame's three steps (without). Frames first to last were in flight during the round that just ended.
    virtual void RoundBegan() {}
    virtual void RoundEnded(std::size_t first, std::size_t last) {
        (void)first;
        (void)last;
    }
};

// Returns true when the sequence was cancelled.
bool RunFramePipeline(std::size_t frames, FrameSteps& steps, bool overlap);

} // namespace cli
