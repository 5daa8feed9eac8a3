// The user agent of every HTTP request: it names the navigation unit whose
// SD card is in use ("%02X%s/%X.%06X": the program record's year, the model
// code, the program version), built from the card's unit information file.
// One CUserAgent per process (GetUserAgent); any thread may use it, its
// text is guarded by a lock. Also the helper that opens a web page in the
// user's browser.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "OvWindows.h"

class CUserAgent final {
 public:
  static constexpr const char* kModelCode = "VuqTRNO";
  static constexpr uint8_t kUnitModel = 9;

  CUserAgent() = default;
  ~CUserAgent() = default;
  CUserAgent(const CUserAgent&) = delete;
  CUserAgent& operator=(const CUserAgent&) = delete;

  // Rebuilds the text from the card of the stored drive. False with the
  // text unchanged when there is no drive or no readable unit information
  // file; false with an empty text when the unit is of another model.
  bool Generate();
  void SetDrive(char drive);
  char GetDrive() const;

  std::string GetUserAgentA() const;
  std::wstring GetUserAgentW() const;

  // The text for a program record: year in binary-coded decimal, version
  // with the major number in the top byte.
  static std::string Format(uint16_t year_bcd, uint32_t version);

 private:
  mutable std::mutex _lock;  // guards _text and _drive
  std::string _text;
  char _drive = 0;
};

// Stores the drive in the process's user agent and rebuilds its text.
CUserAgent& GetUserAgent(char drive);

// Opens a web page (http or https only) in the default browser, falling
// back on Internet Explorer. False for anything else or when both fail.
bool OpenDefaultBrowser(const char* url);

namespace browsertest {
using ShellExecuteFunction = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
// Replaces the shell call (null: the real one), so tests open no browser.
void SetShellExecute(ShellExecuteFunction function);
}  // namespace browsertest
