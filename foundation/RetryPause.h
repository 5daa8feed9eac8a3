// The pause of the retry scheme that every retrying file and archive
// operation follows: three tries, a pause after each failed one. The pause
// waits on the caller's abort event, when there is one, so that a charge
// being aborted does not sleep through it. Safe on any thread.
#pragma once

#include "OvWindows.h"

constexpr int kRetryTries = 3;
constexpr DWORD kRetryPauseMs = 3000;
// Opening a file that does not exist yet: the writer is likely about to
// create it, so the next look comes sooner.
constexpr DWORD kRetryPauseMissingFileMs = 500;

// Waits ms milliseconds on abort_event (not owned; may be null, then a
// plain sleep). A signalled event only ends the pause early: the caller's
// tries go on.
void PauseBeforeRetry(HANDLE abort_event, DWORD ms);

namespace retrytest {
// Called instead of the real pause, for the whole process (nullptr puts the
// real pause back), so that a test of a failing path costs no seconds and
// can see the pauses the product would make.
using PauseHook = void (*)(HANDLE abort_event, DWORD ms);
void SetPauseHook(PauseHook hook);
// The real pause, for a hook that wants to make it (shortened or not).
void RealPause(HANDLE abort_event, DWORD ms);
}  // namespace retrytest
