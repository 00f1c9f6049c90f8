#pragma once
// The second error channel: allocation failures are recorded here before they are raised, so that a
// failure swallowed by inner code still reaches the host. Each thread keeps its own list in fixed storage,
// since commands run concurrently on several host threads.
#include "sdk/AE_Effect.h"

namespace AEUtil {

void CreatePendingErrors() noexcept;  // first-call setup
void DestroyPendingErrors() noexcept; // teardown
bool PendingErrorsExist() noexcept;
void ClearPendingErrors() noexcept;           // start of every command, on the calling thread
void RecordPendingError(PF_Err err) noexcept; // appends a non-zero code when the list exists
PF_Err FirstPendingError() noexcept;          // the earliest code of this thread's list, or 0

} // namespace AEUtil
