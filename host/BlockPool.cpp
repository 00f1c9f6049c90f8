#include "host/BlockPool.h"

#include <algorithm>
#include <new>

namespace host {
namespace {

constexpr std::align_val_t kAlignment{64};

std::uint8_t* Allocate(std::size_t bytes) {
    return static_cast<std::uint8_t*>(::operator new(std::max<std::size_t>(bytes, 1), kAlignment));
}

void Release(std::uint8_t* block) noexcept {
    ::operator delete(block, kAlignment);
}

} // namespace

BlockPool::~BlockPool() {
    Trim();
}

std::uint8_t* BlockPool::Take(std::size_t bytes, bool poolable) {
    if (beforeTake_)
        beforeTake_();
    if (!poolable)
        return Allocate(bytes);
    std::lock_guard lock(mutex_);
    ++stats_.taken;
    auto hit = std::find_if(free_.begin(), free_.end(), [&](const Free& f) { return f.bytes == bytes; });
    if (hit != free_.end()) {
        std::uint8_t* block = hit->block;
        free_.erase(hit);
        ++stats_.reused;
        stats_.pooledBytes -= bytes;
        stats_.liveBytes += bytes;
        return block;
    }
    // Make room under the high-water mark before asking the system for more.
    std::size_t mark = std::max(stats_.highWater, stats_.liveBytes + bytes);
    while (!free_.empty() && stats_.liveBytes + stats_.pooledBytes + bytes > mark)
        FreeOldest();
    std::uint8_t* block = Allocate(bytes);
    stats_.liveBytes += bytes;
    stats_.highWater = std::max(stats_.highWater, stats_.liveBytes);
    return block;
}

void BlockPool::Give(std::uint8_t* block, std::size_t bytes, bool poolable) noexcept {
    if (!block)
        return;
    if (!poolable) {
        Release(block);
        return;
    }
    std::lock_guard lock(mutex_);
    stats_.liveBytes -= bytes;
    try {
        free_.push_front(Free{block, bytes});
    } catch (...) {
        Release(block); // no room even for the list entry: the block goes back to the system
        return;
    }
    stats_.pooledBytes += bytes;
    if (free_.size() > kMaxPooled)
        FreeOldest();
}

void BlockPool::FreeOldest() {
    Free oldest = free_.back();
    free_.pop_back();
    stats_.pooledBytes -= oldest.bytes;
    Release(oldest.block);
}

void BlockPool::Trim() noexcept {
    std::lock_guard lock(mutex_);
    while (!free_.empty())
        FreeOldest();
}

PoolStats BlockPool::Stats() const {
    std::lock_guard lock(mutex_);
    return stats_;
}

} // namespace host
