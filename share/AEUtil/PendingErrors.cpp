#include "share/AEUtil/PendingErrors.h"

#include <atomic>

namespace AEUtil {

namespace {
// Only the earliest code is ever returned, so a list bounded at 256 entries loses nothing.
constexpr int kCapacity = 256;

struct PendingList {
    int count;
    PF_Err codes[kCapacity];
};

// One list per thread in static storage: concurrent commands never share it, and it needs no allocation.
thread_local PendingList tls_list;
std::atomic<bool> g_exists{false};
} // namespace

void CreatePendingErrors() noexcept {
    g_exists.store(true, std::memory_order_relaxed);
}

void DestroyPendingErrors() noexcept {
    g_exists.store(false, std::memory_order_relaxed);
    tls_list.count = 0;
}

bool PendingErrorsExist() noexcept {
    return g_exists.load(std::memory_order_relaxed);
}

void ClearPendingErrors() noexcept {
    tls_list.count = 0;
}

void RecordPendingError(PF_Err err) noexcept {
    if (err == PF_Err_NONE || !PendingErrorsExist())
        return;
    if (tls_list.count < kCapacity)
        tls_list.codes[tls_list.count++] = err;
}

PF_Err FirstPendingError() noexcept {
    return tls_list.count > 0 ? tls_list.codes[0] : PF_Err_NONE;
}

} // namespace AEUtil
