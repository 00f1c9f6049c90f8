#include "share/AEUtil/Allocator.h"

#include <cstring>

#include "share/AEUtil/PendingErrors.h"
#include "share/AEUtil/SuiteHolder.h"

namespace AEUtil {

namespace {
// The handle sits in the first 8 bytes of the locked block; the caller's memory starts 32 bytes in, which
// keeps every block aligned for any scalar type and for 16-byte vectors.
constexpr std::size_t kHeader = 32;

[[noreturn]] void FailAllocation() {
    RecordPendingError(PF_Err_OUT_OF_MEMORY);
    throw std::bad_alloc();
}
} // namespace

void* Allocate(std::size_t n) {
    SuiteHolder* holder = GlobalSuites();
    if (n == 0 || !holder)
        return nullptr;
    if (n > static_cast<std::size_t>(-1) - kHeader)
        FailAllocation();
    const PF_HandleSuite1* handles = holder->HandleSuite();
    PF_Handle h = handles->host_new_handle(n + kHeader);
    if (!h)
        FailAllocation();
    auto* block = static_cast<unsigned char*>(handles->host_lock_handle(h));
    if (!block) {
        handles->host_dispose_handle(h);
        FailAllocation();
    }
    std::memcpy(block, &h, sizeof h);
    return block + kHeader;
}

void Release(void* p) noexcept {
    SuiteHolder* holder = GlobalSuites();
    if (!holder || !p)
        return;
    PF_Handle h;
    std::memcpy(&h, static_cast<unsigned char*>(p) - kHeader, sizeof h);
    if (!h)
        return;
    try {
        const PF_HandleSuite1* handles = holder->HandleSuite();
        handles->host_unlock_handle(h);
        handles->host_dispose_handle(h);
    } catch (...) {
        // The handle suite was acquired when the block was made, so it is cached; nothing can throw here.
    }
}

} // namespace AEUtil
