// Captures every message box that goes through the framework's handlers,
// narrow and wide, and answers each with the next scripted button (OK when
// the script has run out), so no box ever waits for a person. One capture at
// a time; the previous handlers come back when it ends.
#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "OvWindows.h"

namespace ovtest {

struct CapturedBox {
  HWND owner;
  std::wstring text;  // narrow boxes are widened from code page 932
  std::wstring caption;
  UINT style;
  bool wide;
};

class CMessageBoxCapture final {
 public:
  explicit CMessageBoxCapture(std::vector<int> answers = {});
  ~CMessageBoxCapture();
  CMessageBoxCapture(const CMessageBoxCapture&) = delete;
  CMessageBoxCapture& operator=(const CMessageBoxCapture&) = delete;

  void Answer(int button);
  std::vector<CapturedBox> Boxes() const;

 private:
  static int Narrow(HWND owner, const char* text, const char* caption, UINT type);
  static int Wide(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);
  int Record(CapturedBox box);

  mutable std::mutex _mutex;
  std::deque<int> _answers;         // guarded by _mutex
  std::vector<CapturedBox> _boxes;  // guarded by _mutex
  void* _previous = nullptr;
  void* _previous_w = nullptr;
};

}  // namespace ovtest
