// A window of the test process in the window framework's class, titled as
// one of the main program's windows ("Ostrovelle" by default), that records
// every message it gets; a WM_DEVICECHANGE volume record is copied while it
// is sent (it lives only during the send). Main thread of the test; hold
// the one-core lock while it exists, as the title is global.
#pragma once

#include <string>
#include <vector>

#include "OvWindows.h"

namespace maintest {

struct Recorded {
  UINT message = 0;
  WPARAM wparam = 0;
  LPARAM lparam = 0;
  // WM_DEVICECHANGE with a record: its header and, for a volume, the mask.
  DWORD record_size = 0;
  DWORD device_type = 0;
  DWORD unit_mask = 0;
};

class CPosingWindow final {
 public:
  explicit CPosingWindow(const char* title = "Ostrovelle");
  ~CPosingWindow();
  CPosingWindow(const CPosingWindow&) = delete;
  CPosingWindow& operator=(const CPosingWindow&) = delete;

  HWND Handle() const { return _hwnd; }
  std::vector<Recorded> Of(UINT message) const;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp);

  HWND _hwnd = nullptr;
  std::vector<Recorded> _messages;
};

// Pumps this thread's messages until done() holds; false after the limit.
bool PumpUntil(bool (*done)(void*), void* context, DWORD limit_ms);
template <typename Done>
bool PumpUntil(Done done, DWORD limit_ms) {
  return PumpUntil([](void* c) { return (*static_cast<Done*>(c))(); }, &done, limit_ms);
}

}  // namespace maintest
