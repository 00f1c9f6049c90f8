#include "cli/Interrupt.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>

#include <unistd.h>

namespace cli {
namespace {

// Everything the handler touches is a lock-free atomic or a buffer published through one.
std::atomic<int> gSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

// Two buffers: a registration fills the one the handler is not told about, then publishes its index, so
// the handler never reads a half-written path.
constexpr std::size_t kPathCapacity = 4096;
char gPending[2][kPathCapacity];
std::atomic<int> gPendingSlot{-1};
std::atomic<const char*> gCancelLine{nullptr};

struct sigaction gPreviousInt, gPreviousTerm;

void WriteAll(int fd, const char* text) {
    std::size_t length = std::strlen(text);
    while (length > 0) {
        const ssize_t n = ::write(fd, text, length);
        if (n <= 0)
            return;
        text += n;
        length -= std::size_t(n);
    }
}

extern "C" void OnInterrupt(int signal) {
    const int savedErrno = errno;
    int expected = 0;
    if (gSignal.compare_exchange_strong(expected, signal)) {
        errno = savedErrno;
        return;
    }
    // Asked twice: stop now, leaving no temporary file behind.
    const int slot = gPendingSlot.load();
    if (slot >= 0)
        ::unlink(gPending[slot]);
    if (const char* line = gCancelLine.load())
        WriteAll(STDOUT_FILENO, line);
    WriteAll(STDERR_FILENO, "tovrin: stopped at once by a second signal\n");
    ::_exit(128 + expected);
}

} // namespace

InterruptGuard::InterruptGuard() {
    struct sigaction action {};
    action.sa_handler = &OnInterrupt;
    sigemptyset(&action.sa_mask);
    // Both signals block each other, so that a second one never interrupts the handler of the first.
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &gPreviousInt);
    sigaction(SIGTERM, &action, &gPreviousTerm);
}

InterruptGuard::~InterruptGuard() {
    sigaction(SIGINT, &gPreviousInt, nullptr);
    sigaction(SIGTERM, &gPreviousTerm, nullptr);
}

bool Interrupted() {
    return gSignal.load() != 0;
}

int InterruptSignal() {
    return gSignal.load();
}

int CancelExitCode() {
    const int signal = gSignal.load();
    return 128 + (signal ? signal : SIGINT);
}

void RegisterPendingFile(const char* path) noexcept {
    if (!path)
        return;
    const std::size_t length = std::strlen(path);
    if (length >= kPathCapacity) {
        gPendingSlot.store(-1);
        return;
    }
    const int slot = gPendingSlot.load() == 0 ? 1 : 0;
    std::memcpy(gPending[slot], path, length + 1);
    gPendingSlot.store(slot);
}

void ClearPendingFile() noexcept {
    gPendingSlot.store(-1);
}

void SetCancelLine(const char* line) noexcept {
    gCancelLine.store(line);
}

} // namespace cli
