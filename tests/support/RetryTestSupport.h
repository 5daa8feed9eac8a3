// Test helpers for code that retries and logs: the retry pauses recorded
// instead of made, and the log of the test process captured in a file of
// the test's own. One object of each at a time per process (each test case
// runs in a process of its own).
#pragma once

#include "Log.h"
#include "RetryPause.h"
#include "TestSupport.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace ovtest {

// While it lives, the retry pauses are recorded and not made; on_pause (if
// any) runs at each pause with the pause's number from 1, for instance to
// make the next try succeed.
class CPauseRecorder final {
 public:
  explicit CPauseRecorder(std::function<void(int)> on_pause = nullptr)
      : _on_pause(std::move(on_pause)) {
    s_current = this;
    retrytest::SetPauseHook(&CPauseRecorder::Hook);
  }
  ~CPauseRecorder() {
    retrytest::SetPauseHook(nullptr);
    s_current = nullptr;
  }
  CPauseRecorder(const CPauseRecorder&) = delete;
  CPauseRecorder& operator=(const CPauseRecorder&) = delete;

  std::vector<DWORD> Pauses() const {
    std::lock_guard<std::mutex> lock(_lock);
    return _pauses;
  }
  std::vector<HANDLE> Events() const {
    std::lock_guard<std::mutex> lock(_lock);
    return _events;
  }

 private:
  static void Hook(HANDLE abort_event, DWORD ms) {
    CPauseRecorder* self = s_current;
    if (!self) return;
    int number = 0;
    {
      std::lock_guard<std::mutex> lock(self->_lock);
      self->_pauses.push_back(ms);
      self->_events.push_back(abort_event);
      number = static_cast<int>(self->_pauses.size());
    }
    if (self->_on_pause) self->_on_pause(number);
  }

  static inline CPauseRecorder* s_current = nullptr;
  std::function<void(int)> _on_pause;
  mutable std::mutex _lock;  // guards _pauses and _events
  std::vector<DWORD> _pauses;
  std::vector<HANDLE> _events;
};

}  // namespace ovtest
