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

// Sends the process's log to a file in a temporary folder of its own.
class CLogCapture final {
 public:
  CLogCapture() {
    logtest::Reset();
    CBroxLogWrapper(__FILE__, __LINE__).Open(_dir.File("test.log").c_str(), 4096);
  }
  ~CLogCapture() { logtest::Reset(); }
  CLogCapture(const CLogCapture&) = delete;
  CLogCapture& operator=(const CLogCapture&) = delete;

  // The messages of the lines of one kind mark ("!!" errors, ".." info).
  std::vector<std::string> Messages(const std::string& mark) const {
    std::vector<std::string> out;
    const std::string text = ReadFileOrEmpty(_dir.File("test.log"));
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find("\r\n", start);
      if (end == std::string::npos) end = text.size();
      // time, mark, source, line, thread, message
      std::vector<std::string> fields;
      size_t pos = start;
      for (int i = 0; i < 5 && pos < end; ++i) {
        const size_t tab = text.find('\t', pos);
        if (tab == std::string::npos || tab > end) break;
        fields.push_back(text.substr(pos, tab - pos));
        pos = tab + 1;
      }
      if (fields.size() == 5 && fields[1] == mark) out.push_back(text.substr(pos, end - pos));
      start = end + 2;
    }
    return out;
  }
  std::vector<std::string> Errors() const { return Messages("!!"); }

 private:
  CTempDir _dir;
};

}  // namespace ovtest
