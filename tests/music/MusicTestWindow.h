// A message-only window that stands in for the manual window: it collects
// every OVEVMusicManual a worker posts (taking each posted request back as
// the window would) and pumps this thread's messages until a condition
// holds.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "MusicFileThreadRequest.h"
#include "OvWindows.h"

namespace musicmanualtest {

struct Posted {
  WPARAM code = 0;
  LPARAM value = 0;  // the percentage of a progress message
  // The request a result message carried; null for progress.
  std::shared_ptr<CMusicFileThreadRequest> request;
};

class CResultWindow final {
 public:
  CResultWindow();
  ~CResultWindow();
  CResultWindow(const CResultWindow&) = delete;
  CResultWindow& operator=(const CResultWindow&) = delete;

  HWND Handle() const { return _hwnd; }
  // Pumps messages until done() holds; false after the limit.
  bool PumpUntil(const std::function<bool()>& done, DWORD limit_ms = 20000);
  // Pumps until a result (not progress) of this kind has arrived.
  bool WaitResult(WPARAM kind, DWORD limit_ms = 20000);
  // Pumps what has already been posted.
  void Drain();

  const std::vector<Posted>& Messages() const { return _posted; }
  std::vector<Posted> Results(WPARAM kind) const;
  std::vector<int> Percentages() const;
  // Messages whose lParam was no live posted request.
  int Refused() const { return _refused; }
  void Clear() { _posted.clear(); }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp);

  HWND _hwnd = nullptr;
  UINT _message = 0;
  std::vector<Posted> _posted;
  int _refused = 0;
};

// Saves the window's pixels as it shows on the screen to
// build\screens\<name>.bmp; false when the window shows nothing (all
// black) or the file cannot be written.
bool SaveScreenshot(HWND window, const char* name);

template <typename T>
T* As(const Posted& posted) {
  return dynamic_cast<T*>(posted.request.get());
}

}  // namespace musicmanualtest
