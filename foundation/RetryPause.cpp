// The retry pause; see RetryPause.h.
#include "RetryPause.h"

#include <atomic>

namespace {

std::atomic<retrytest::PauseHook> g_pause_hook{nullptr};

}  // namespace

void PauseBeforeRetry(HANDLE abort_event, DWORD ms) {
  const retrytest::PauseHook hook = g_pause_hook.load();
  if (hook) {
    hook(abort_event, ms);
  } else {
    retrytest::RealPause(abort_event, ms);
  }
}

namespace retrytest {

void SetPauseHook(PauseHook hook) { g_pause_hook.store(hook); }

void RealPause(HANDLE abort_event, DWORD ms) {
  // The callers keep the error of their failed try: the pause must not
  // change it.
  const DWORD error = GetLastError();
  if (abort_event) {
    WaitForSingleObject(abort_event, ms);
  } else {
    Sleep(ms);
  }
  SetLastError(error);
}

}  // namespace retrytest
