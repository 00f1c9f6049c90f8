#include "cli/Interrupt.h"

#include <csignal>

namespace cli {
namespace {

volatile std::sig_atomic_t gInterrupted = 0;
struct sigaction gPreviousInt, gPreviousTerm;

extern "C" void OnInterrupt(int signal) {
    if (gInterrupted) {
        // Asked twice: stop now.
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    gInterrupted = 1;
}

} // namespace

InterruptGuard::InterruptGuard() {
    struct sigaction action {};
    action.sa_handler = &OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &gPreviousInt);
    sigaction(SIGTERM, &action, &gPreviousTerm);
}

InterruptGuard::~InterruptGuard() {
    sigaction(SIGINT, &gPreviousInt, nullptr);
    sigaction(SIGTERM, &gPreviousTerm, nullptr);
}

bool Interrupted() {
    return gInterrupted != 0;
}

} // namespace cli
