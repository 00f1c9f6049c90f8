#pragma once
// The memory behind handles and worlds. A production host hands a freed world's block (or a large
// handle's) to the next request of the same size, so that the frames of a sequence reuse the pages of the
// frame before instead of asking the system for fresh ones, which it maps and faults in page by page.
// The pool never makes the host hold more than the most its blocks ever held live at once: a request the
// pool cannot serve first frees the pool's least recently returned blocks until the new block fits under
// that mark.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <utility>

namespace host {

struct PoolStats {
    std::size_t taken = 0;       // poolable blocks handed out
    std::size_t reused = 0;      // of them, served from the pool
    std::size_t liveBytes = 0;   // poolable bytes handed out and not returned
    std::size_t pooledBytes = 0; // bytes waiting in the pool
    std::size_t highWater = 0;   // the most poolable bytes live at once
};

class BlockPool {
public:
    // Blocks start 64-byte aligned; their contents are undefined. `beforeTake` runs before every block is
    // handed out (the fault plan's hook) and may throw std::bad_alloc.
    explicit BlockPool(std::function<void()> beforeTake = {}) : beforeTake_(std::move(beforeTake)) {}
    ~BlockPool();
    BlockPool(const BlockPool&) = delete;
    BlockPool& operator=(const BlockPool&) = delete;

    // Throws std::bad_alloc. Blocks that are not poolable come from the system and go back to it.
    std::uint8_t* Take(std::size_t bytes, bool poolable);
    void Give(std::uint8_t* block, std::size_t bytes, bool poolable) noexcept;
    // Frees every block waiting in the pool.
    void Trim() noexcept;
    PoolStats Stats() const;

private:
    struct Free {
        std::uint8_t* block;
        std::size_t bytes;
    };
    static constexpr std::size_t kMaxPooled = 32;
    void FreeOldest(); // caller holds the mutex

    std::function<void()> beforeTake_;
    mutable std::mutex mutex_;
    std::list<Free> free_; // most recently returned first
    PoolStats stats_;
};

// A block of a pool, given back when the owner goes.
class PoolBlock {
public:
    PoolBlock() = default;
    PoolBlock(BlockPool& pool, std::size_t bytes, bool poolable)
        : pool_(&pool), block_(pool.Take(bytes, poolable)), bytes_(bytes), poolable_(poolable) {}
    ~PoolBlock() { Reset(); }
    PoolBlock(PoolBlock&& other) noexcept { *this = std::move(other); }
    PoolBlock& operator=(PoolBlock&& other) noexcept {
        if (this != &other) {
            Reset();
            pool_ = other.pool_;
            block_ = other.block_;
            bytes_ = other.bytes_;
            poolable_ = other.poolable_;
            other.block_ = nullptr;
        }
        return *this;
    }
    PoolBlock(const PoolBlock&) = delete;
    PoolBlock& operator=(const PoolBlock&) = delete;

    std::uint8_t* get() const { return block_; }
    std::size_t size() const { return bytes_; }
    void Reset() noexcept {
        if (block_)
            pool_->Give(block_, bytes_, poolable_);
        block_ = nullptr;
    }

private:
    BlockPool* pool_ = nullptr;
    std::uint8_t* block_ = nullptr;
    std::size_t bytes_ = 0;
    bool poolable_ = false;
};

} // namespace host
