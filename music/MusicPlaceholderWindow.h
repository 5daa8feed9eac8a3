// A plain framework window that stands in for a music manager window until
// the skinned one takes its place: the framework's default class and the
// title by which other programs find the window, closing on WM_CLOSE or
// OVEVRequestEnd and ending the message loop when destroyed. Main thread
// only.
#pragma once

#include <string>

#include "MusicWindow.h"
#include "Window.h"

class CMusicPlaceholderWindow final : public lib::wfc::CWindow, public IMusicWindow {
 public:
  // title: "Ostrovelle Music Manual" or "Ostrovelle Music Setting".
  explicit CMusicPlaceholderWindow(const char* title);
  ~CMusicPlaceholderWindow() override;

  void SetTarget(char drive, HWND notify) override;
  bool CreateMusicWindow() override;
  HWND WindowHandle() const override { return Handle(); }

  char Drive() const { return _drive; }
  HWND Notify() const { return _notify; }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;
  void OnPaint() override;
  void OnDestroy() override;

 private:
  const std::string _title;
  const UINT _request_end;
  char _drive = 0;
  HWND _notify = nullptr;  // not owned
};
