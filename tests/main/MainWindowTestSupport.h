// What the tests of the main program's windows share: the framework started
// once per process, a recording parent standing in for the launcher, a
// message pump that drops the real pointer's input and waits on conditions
// with a limit, and the settings written as a test needs them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "OvWindows.h"

namespace ovtest {
class CMessageBoxCapture;
}

namespace maintest {

// A top-level window in the launcher's place: it records the messages the
// windows send it and keeps itself alive on WM_CLOSE.
class CRecordingParent final {
 public:
  struct Record {
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
  };

  CRecordingParent(int x, int y, int width, int height);
  ~CRecordingParent();
  CRecordingParent(const CRecordingParent&) = delete;
  CRecordingParent& operator=(const CRecordingParent&) = delete;

  HWND Get() const { return _window; }
  RECT Rect() const;
  // The records of one message, in order.
  std::vector<Record> Of(UINT message) const;
  // The messages of interest in the order they came.
  std::vector<UINT> Sequence() const;
  bool Has(UINT message) const { return !Of(message).empty(); }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  HWND _window = nullptr;
  std::vector<Record> _records;
};

// Dispatches the thread's messages, without the mouse input the test did not
// send, until `done` holds; false when `limit_ms` passed first.
bool PumpUntil(const std::function<bool()>& done, DWORD limit_ms);
// Dispatches what is waiting now.
void Pump();

// Writes [Setting] of the test's settings file.
void WriteSetting(int auto_update, int notifies_later, const SYSTEMTIME& confirmed);
// The local time `days` days ago.
SYSTEMTIME DaysAgo(int days);
// [Setting] values as the file holds them now.
int ReadLauncherAutoUpdate();
int ReadNotifiesLater();

// The texts of the captured boxes in order, in code page 932.
std::vector<std::string> BoxTexts(const ovtest::CMessageBoxCapture& boxes);

// A screenshot into build/screens; failures are reported, not fatal.
void Screenshot(const std::string& name);
// Waits until the shown window's title band is on the screen, then takes the
// screenshot with its owner stepped aside (Wine would stack the owner over
// the owned window); false when the window never showed.
bool ScreenshotOverOwner(HWND owner, HWND window, const std::string& name);

}  // namespace maintest
