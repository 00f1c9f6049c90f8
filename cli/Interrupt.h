#pragma once
// Ctrl-C (SIGINT) and a termination request (SIGTERM, as render-farm managers send): the first asks the
// work to stop at the next chance, through the host's progress callback; a second one ends the process at
// once, after removing the temporary file of a write in progress, with the exit code of a cancel.

namespace cli {

class InterruptGuard {
public:
    InterruptGuard();  // installs the handlers
    ~InterruptGuard(); // restores the previous ones
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
};

// Whether a first signal has arrived. Safe to call from any thread.
bool Interrupted();
// The first signal that arrived (SIGINT or SIGTERM), or 0.
int InterruptSignal();
// The exit code of a cancel by that signal: 128 + its number (130 for SIGINT, 143 for SIGTERM).
int CancelExitCode();

// The file a write is filling, which a second signal removes before the process ends. One at a time; a
// new registration replaces the last. Paths longer than the registry holds are not registered.
void RegisterPendingFile(const char* path) noexcept;
void ClearPendingFile() noexcept;

// What a second signal prints on stdout before the process ends (the plain line protocol's last line), or
// nothing when null. The text must outlive the guard.
void SetCancelLine(const char* line) noexcept;

} // namespace cli
