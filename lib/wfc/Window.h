// A window handle wrapped in an object whose virtual operations receive the
// decoded messages. An object belongs to the thread that created its window
// and must outlive it.
#pragma once

#include <string>
#include <vector>

#include "_WindowPolicy.h"

namespace lib::wfc {

class CWindow : public CWindowPolicy {
 public:
  CWindow() = default;
  ~CWindow() override;

  // The framework's window procedure of every class it registers.
  static LRESULT CALLBACK FrameworkProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp);

  // Throws bad_alloc when the window cannot be made (also when OnCreate refused).
  HWND Create(DWORD ex_style, const char* class_name, const char* title, DWORD style, int x, int y,
              int width, int height, HWND parent, HMENU menu = nullptr);
  HWND Create(DWORD ex_style, const char* class_name, const char* title, DWORD style, int x, int y,
              int width, int height);
  // Subclasses an existing window.
  void Attach(HWND hwnd);
  // Subclasses with a wide procedure: a wide control then hands its
  // characters over whole instead of as code-page bytes.
  void AttachWide(HWND hwnd);
  HWND Detach();

  HWND Handle() const { return _hwnd; }
  HWND GetTopLevelParent() override;
  LRESULT Default() override;

  void OnActivate(UINT state, HWND other) override;
  void OnEnable(bool enabled) override;

  BOOL DestroyWindow() { return ::DestroyWindow(_hwnd); }
  BOOL GetClientRect(RECT* r) const { return ::GetClientRect(_hwnd, r); }
  BOOL GetWindowRect(RECT* r) const { return ::GetWindowRect(_hwnd, r); }
  LRESULT SendMessageA(UINT m, WPARAM wp = 0, LPARAM lp = 0) {
    return ::SendMessageA(_hwnd, m, wp, lp);
  }
  bool PostMessageA(UINT m, WPARAM wp = 0, LPARAM lp = 0) {
    return ::PostMessageA(_hwnd, m, wp, lp) != FALSE;
  }
  BOOL ShowWindow(int cmd) { return ::ShowWindow(_hwnd, cmd); }
  BOOL UpdateWindow() { return ::UpdateWindow(_hwnd); }
  BOOL MoveWindow(int x, int y, int w, int h, bool repaint = true) {
    return ::MoveWindow(_hwnd, x, y, w, h, repaint);
  }
  BOOL MoveWindow(const RECT& r, bool repaint = true) {
    return MoveWindow(r.left, r.top, r.right - r.left, r.bottom - r.top, repaint);
  }
  BOOL InvalidateRect(const RECT* r, bool erase) { return ::InvalidateRect(_hwnd, r, erase); }
  UINT_PTR SetTimer(UINT_PTR id, UINT ms) { return ::SetTimer(_hwnd, id, ms, nullptr); }
  bool KillTimer(UINT_PTR id) { return ::KillTimer(_hwnd, id) != FALSE; }
  HWND GetParent() const { return ::GetParent(_hwnd); }
  BOOL ClientToScreen(POINT* p) const { return ::ClientToScreen(_hwnd, p); }
  BOOL ScreenToClient(POINT* p) const { return ::ScreenToClient(_hwnd, p); }
  BOOL SetWindowTextA(const std::string& text) { return ::SetWindowTextA(_hwnd, text.c_str()); }
  BOOL SetWindowTextW(const std::wstring& text) { return ::SetWindowTextW(_hwnd, text.c_str()); }
  std::string GetWindowTextA() const;
  std::wstring GetWindowTextW() const;
  void SetIcon(HICON icon, bool big) { ::SendMessageA(_hwnd, WM_SETICON, big, (LPARAM)icon); }
  int MessageBox(const char* text, UINT type);
  void CenterWindow(HWND other = nullptr);
  void EnableIME(bool enable);

 protected:
  LRESULT OnInternal(WPARAM command, LPARAM argument) override;
  // What Default does, for another message than the current one.
  LRESULT CallPreviousProc(UINT message, WPARAM wp, LPARAM lp);

 private:
  static LRESULT CALLBACK FrameworkProcW(HWND hwnd, UINT message, WPARAM wp, LPARAM lp);
  LRESULT Dispatch(HWND hwnd, UINT message, WPARAM wp, LPARAM lp);

  HWND _hwnd = nullptr;
  WNDPROC _previous_proc = nullptr;
  std::vector<HWND> _linked;  // not owned
  HIMC _saved_ime = nullptr;
  bool _wide = false;
};

// A window that may take a window region.
class CRegionWindow : public CWindow {
 public:
  // The window owns the region afterwards.
  BOOL SetWindowRgn(HRGN region, bool redraw) { return ::SetWindowRgn(Handle(), region, redraw); }
  // Gives the window a copy of the region (the caller keeps its own), redraws
  // the frame and invalidates the client without erasing; throws bad_alloc
  // when the copy cannot be made.
  void ApplyRegion(HRGN region);
};

// Posts WM_COMMAND (id, notification 1) as a click on an item does.
bool PostCommand(HWND window, UINT id);

// Plain child windows without an object; failure throws bad_alloc.
HWND CreatePlainWindowA(DWORD ex_style, const char* class_name, const char* title, DWORD style,
                        int x, int y, int w, int h, HWND parent, UINT_PTR id);
HWND CreatePlainWindowW(DWORD ex_style, const wchar_t* class_name, const wchar_t* title,
                        DWORD style, int x, int y, int w, int h, HWND parent, UINT_PTR id);

}  // namespace lib::wfc
