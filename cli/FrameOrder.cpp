#include "cli/FrameOrder.h"

namespace cli {

FrameOrder::FrameOrder(std::size_t frames) : waiting_(frames), closed_(frames, false) {}

void FrameOrder::Post(std::size_t frame, std::function<void()> action) {
    std::lock_guard lock(mutex_);
    if (frame >= waiting_.size() || closed_[frame])
        return;
    if (frame == head_)
        action();
    else
        waiting_[frame].push_back(std::move(action));
}

void FrameOrder::Close(std::size_t frame) {
    std::lock_guard lock(mutex_);
    if (frame >= closed_.size())
        return;
    closed_[frame] = true;
    AdvanceLocked();
}

std::size_t FrameOrder::Head() const {
    std::lock_guard lock(mutex_);
    return head_;
}

void FrameOrder::AdvanceLocked() {
    while (head_ < closed_.size() && closed_[head_]) {
        ++head_;
        if (head_ == closed_.size())
            break;
        // The new head's actions were posted while it waited; once they have run, it reports live.
        std::vector<std::function<void()>> actions = std::move(waiting_[head_]);
        waiting_[head_].clear();
        for (auto& action : actions)
            action();
    }
}

} // namespace cli
