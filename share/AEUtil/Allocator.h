#pragma once
// The framework allocator: every block of the library is a locked host handle, so the host accounts for
// all of the effect's memory. Containers and owner types below route through it.
#include <cstddef>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace AEUtil {

// n bytes from a host handle; null when n is 0 or before the process-wide suite holder exists.
// A refused handle or lock records PF_Err_OUT_OF_MEMORY as a pending error and throws std::bad_alloc.
void* Allocate(std::size_t n);
// Gives a block from Allocate back to the host; null does nothing.
void Release(void* p) noexcept;

// Standard allocator over Allocate/Release, for containers of the effect.
template <class T>
struct Allocator {
    using value_type = T;
    Allocator() noexcept = default;
    template <class U>
    Allocator(const Allocator<U>&) noexcept {}
    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T))
            throw std::bad_array_new_length();
        void* p = Allocate(n * sizeof(T));
        if (!p)
            throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t) noexcept { Release(p); }
    template <class U>
    bool operator==(const Allocator<U>&) const noexcept {
        return true;
    }
};

template <class T>
using Vector = std::vector<T, Allocator<T>>;

// Object creation through the host: New throws std::bad_alloc when no block is given.
template <class T, class... Args>
T* New(Args&&... args) {
    void* p = Allocate(sizeof(T));
    if (!p)
        throw std::bad_alloc();
    try {
        return ::new (p) T(std::forward<Args>(args)...);
    } catch (...) {
        Release(p);
        throw;
    }
}

template <class T>
void Delete(T* p) noexcept {
    if (p) {
        p->~T();
        Release(const_cast<void*>(static_cast<const void*>(p)));
    }
}

template <class T>
struct Deleter {
    void operator()(T* p) const noexcept { Delete(p); }
};

template <class T>
using UniquePtr = std::unique_ptr<T, Deleter<T>>;

template <class T, class... Args>
UniquePtr<T> MakeUnique(Args&&... args) {
    return UniquePtr<T>(New<T>(std::forward<Args>(args)...));
}

// Arrays of trivial elements (tables, planes, line buffers): uninitialised unless the caller fills them.
template <class T>
struct ArrayDeleter {
    void operator()(T* p) const noexcept { Release(p); }
};

template <class T>
using UniqueArray = std::unique_ptr<T[], ArrayDeleter<T>>;

template <class T>
UniqueArray<T> MakeArray(std::size_t count) {
    static_assert(std::is_trivially_destructible_v<T>);
    if (count > static_cast<std::size_t>(-1) / sizeof(T))
        throw std::bad_array_new_length();
    void* p = Allocate(count * sizeof(T));
    if (!p && count)
        throw std::bad_alloc();
    return UniqueArray<T>(static_cast<T*>(p));
}

} // namespace AEUtil
