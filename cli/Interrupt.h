#pragma once
// Ctrl-C (and a termination request, as render-farm managers send): the first asks the work to stop at
// the next chance, through the host's progress callback; a second one ends the process at once.

namespace cli {

class InterruptGuard {
public:
    InterruptGuard();  // installs the handlers
    ~InterruptGuard(); // restores the previous ones
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
};

bool Interrupted();

} // namespace cli
