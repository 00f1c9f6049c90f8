#pragma once
// A pointer to an array together with a shared count block: copying a holder adds one, releasing
// subtracts one, and the last release frees the array and the block. Counts are plain integers because
// holders are copied only on the thread that owns the render; passes only read through them.
#include <cstddef>
#include <cstdint>
#include <utility>

#include "share/AEUtil/Allocator.h"

namespace AEUtil {

struct SharedCountBase {
    long count = 1;
    virtual ~SharedCountBase() = default;
    virtual void DisposeArray() noexcept = 0;
};

// Owns an array of T taken from the framework allocator.
template <class T>
struct SharedCountImpl_PD final : SharedCountBase {
    explicit SharedCountImpl_PD(T* p) noexcept : array(p) {}
    void DisposeArray() noexcept override { Release(array); }
    T* array;
};

template <class T>
class SharedArray {
public:
    SharedArray() noexcept = default;
    // An uninitialised array of `count` elements; throws std::bad_alloc when the host refuses.
    static SharedArray Allocate(std::size_t count) {
        static_assert(std::is_trivially_destructible_v<T>);
        UniqueArray<T> block = MakeArray<T>(count);
        SharedArray a;
        a.count_ = New<SharedCountImpl_PD<T>>(block.get());
        a.data_ = block.release();
        return a;
    }
    SharedArray(const SharedArray& o) noexcept : data_(o.data_), count_(o.count_) {
        if (count_)
            ++count_->count;
    }
    SharedArray(SharedArray&& o) noexcept
        : data_(std::exchange(o.data_, nullptr)), count_(std::exchange(o.count_, nullptr)) {}
    SharedArray& operator=(SharedArray o) noexcept {
        std::swap(data_, o.data_);
        std::swap(count_, o.count_);
        return *this;
    }
    ~SharedArray() { reset(); }

    void reset() noexcept {
        if (count_ && --count_->count == 0) {
            count_->DisposeArray();
            Delete(count_);
        }
        data_ = nullptr;
        count_ = nullptr;
    }
    T* get() const noexcept { return data_; }
    long use_count() const noexcept { return count_ ? count_->count : 0; }
    explicit operator bool() const noexcept { return data_ != nullptr; }

private:
    T* data_ = nullptr;
    SharedCountBase* count_ = nullptr;
};

} // namespace AEUtil
