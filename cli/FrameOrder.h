#pragma once
// What a sequence tells about its frames, in frame order, whatever thread finishes what first. The frames
// of a sequence overlap (one read ahead, one written behind the render), yet the plain progress lines must
// read as if they ran one after another: "FRAME 12 start ... FRAME 12 done" before "FRAME 13 start". Each
// frame's reporting is posted here as actions; the actions of the oldest frame not yet closed (the head) run
// at once, the others wait until every frame before theirs is closed.
#include <cstddef>
#include <functional>
#include <mutex>
#include <vector>

namespace cli {

class FrameOrder {
public:
    explicit FrameOrder(std::size_t frames);

    // Runs `action` now if `frame` is the head, else when it becomes the head. Actions run one at a time.
    void Post(std::size_t frame, std::function<void()> action);
    // The frame's reporting is complete: the next frame's waiting actions run (and so on while they close).
    void Close(std::size_t frame);
    // The oldest frame not closed; the number of frames once all are.
    std::size_t Head() const;

private:
    void AdvanceLocked();

    mutable std::mutex mutex_;
    std::size_t head_ = 0;
    std::vector<std::vector<std::function<void()>>> waiting_;
    std::vector<bool> closed_;
};

} // namespace cli
