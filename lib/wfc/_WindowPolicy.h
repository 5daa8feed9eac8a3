// The framework's start and end, its process globals, the per-thread record
// of the message being dispatched and the message switch that turns each
// window message into one virtual operation. Globals are written by
// Initialize/Terminate on the main thread; the record belongs to its thread.
#pragma once

#include <new>
#include <string>

#include "OvWindows.h"

namespace lib::wfc {

// What every failure of the window system that must not happen throws.
class bad_alloc : public std::bad_alloc {
 public:
  const char* what() const noexcept override;
};

void Initialize(HINSTANCE instance, const char* app_name, HICON icon, HICON small_icon);
void Terminate();
// Around the message loop of every thread that owns windows.
void InitThread();
void TermThread();

HINSTANCE GetInstanceHandle();
const char* GetAppName();
UINT TaskbarCreatedMessage();
UINT InternalMessage();

extern const char kDefaultWindowClass[];

// Registers a class once per process; zero arguments take the defaults.
void RegisterWindowClass(const char* name, UINT style = 0, HICON icon = nullptr,
                         HICON small_icon = nullptr, HCURSOR cursor = nullptr,
                         HBRUSH background = nullptr);
// How many times RegisterClassExA has really been called, for tests.
int RegisterClassCallCount();
UINT RegisterWindowMessageA(const char* name);

// The message the calling thread is dispatching.
struct CurrentMessage {
  HWND window = nullptr;
  UINT message = 0;
  WPARAM wparam = 0;
  LPARAM lparam = 0;
  LONG time = 0;
  DWORD pos = 0;
  UINT_PTR extra = 0;  // cleared for every message
};
struct ThreadRecord {
  int depth = 0;
  CurrentMessage current;
};
// Null on a thread that has not called InitThread.
ThreadRecord* GetThreadRecord();

// The one line every catch-all barrier logs (window procedure, creation
// hook, thread bodies).
void LogEscapedException(const char* what);

// Turns wheel deltas into steps of 40 units; a pause of over 500 ms or a
// change of direction drops what was left over.
class CWheelAccumulator final {
 public:
  // Returns the steps to report (negative away from the user), 0 for none.
  int Feed(int delta, int time_ms);

 private:
  int _accumulated = 0;
  int _last_delta = 0;
  int _last_time = 0;
};

template <typename E>
class CWindowPolicyBase {
 public:
  virtual ~CWindowPolicyBase() = default;
};

// One virtual operation per message; every base implementation goes to
// Default unless noted.
class CWindowPolicy : public CWindowPolicyBase<std::exception> {
 public:
  CWindowPolicy() = default;
  CWindowPolicy(const CWindowPolicy&) = delete;
  CWindowPolicy& operator=(const CWindowPolicy&) = delete;

  virtual HWND GetTopLevelParent() = 0;
  virtual LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam);
  virtual bool OnCreate(CREATESTRUCTA* cs);
  virtual void OnDestroy();
  virtual void OnMove(int x, int y);
  virtual void OnSize(UINT type, int cx, int cy);
  virtual void OnActivate(UINT state, HWND other);
  virtual void OnDevModeChange(const char* device);
  virtual void OnSetFocus(HWND previous);
  virtual void OnKillFocus(HWND next);
  virtual void OnEnable(bool enabled);
  virtual void OnPaint();
  virtual void OnClose();
  virtual bool OnQueryEndSession(LPARAM lparam);
  virtual bool OnQueryOpen();
  virtual void OnEndSession(bool ending, LPARAM lparam);
  virtual bool OnEraseBkgnd(HDC dc);
  virtual void OnShowWindow(bool shown, UINT status);
  virtual void OnSettingChange(WPARAM wparam, LPARAM lparam);
  virtual void OnActivateApp(bool active, DWORD thread_id);
  virtual bool OnSetCursor(LPARAM lparam);
  virtual LRESULT OnDrawItem(UINT id, DRAWITEMSTRUCT* dis);
  virtual LRESULT OnMeasureItem(UINT id, MEASUREITEMSTRUCT* mis);
  virtual void OnMouseMove(UINT keys, int x, int y);
  virtual void OnLButtonDown(UINT keys, int x, int y);
  virtual void OnLButtonUp(UINT keys, int x, int y);
  virtual void OnLButtonDblClk(UINT keys, int x, int y);
  virtual void OnRButtonDown(UINT keys, int x, int y);
  virtual void OnRButtonUp(UINT keys, int x, int y);
  virtual void OnRButtonDblClk(UINT keys, int x, int y);
  virtual void OnMouseWheel(UINT keys, int delta, int x, int y);
  virtual void OnMouseHover();
  virtual void OnMouseLeave();
  virtual void OnCaptureChanged(HWND gaining);
  virtual void OnParentNotify(UINT event, UINT id, LPARAM lparam);
  virtual bool OnSizing(UINT edge, RECT* rect);
  virtual void OnMoving(RECT* rect);
  virtual bool OnNotify(UINT id, NMHDR* header, LRESULT* result);
  virtual void OnDisplayChange(UINT bits, int cx, int cy);
  virtual bool OnNcCreate(CREATESTRUCTA* cs);
  virtual void OnNcDestroy();
  virtual void OnNcCalcSize(WPARAM wparam, LPARAM params);
  virtual LRESULT OnNcHitTest(int x, int y);
  virtual void OnNcPaint();
  virtual LRESULT OnNcActivate(bool active);
  virtual void OnNcMouseMove(UINT hit, int x, int y);
  virtual void OnNcLButtonDown(UINT hit, int x, int y);
  virtual void OnNcLButtonUp(UINT hit, int x, int y);
  virtual void OnNcLButtonDblClk(UINT hit, int x, int y);
  virtual void OnNcRButtonDown(UINT hit, int x, int y);
  virtual void OnNcRButtonUp(UINT hit, int x, int y);
  virtual void OnNcRButtonDblClk(UINT hit, int x, int y);
  virtual void OnNcMButtonDown(UINT hit, int x, int y);
  virtual void OnNcMButtonUp(UINT hit, int x, int y);
  virtual void OnNcMButtonDblClk(UINT hit, int x, int y);
  virtual void OnKeyDown(UINT key, UINT flags);
  virtual void OnKeyUp(UINT key, UINT flags);
  virtual void OnChar(UINT ch, UINT flags);
  virtual void OnUniChar(UINT ch, UINT zero, UINT flags);
  virtual void OnSysKeyDown(UINT key, UINT flags);
  virtual void OnSysKeyUp(UINT key, UINT flags);
  virtual bool OnInitDialog();
  virtual void OnCommand(UINT id, UINT code, HWND control);
  virtual void OnSysCommand(UINT command, LPARAM lparam);
  virtual void OnTimer(UINT_PTR id);
  virtual void OnHScroll(UINT code, UINT pos, HWND control);
  virtual void OnVScroll(UINT code, UINT pos, HWND control);
  virtual LRESULT OnPowerBroadcast(WPARAM event, LPARAM data);
  virtual void OnEnterSizeMove();
  virtual void OnExitSizeMove();
  virtual void OnDropFiles(HDROP drop);
  virtual void OnGetMinMaxInfo(MINMAXINFO* info);
  virtual void OnTaskbarCreated();
  virtual void OnMouseWheelNotch(UINT keys, int steps, int x, int y);
  virtual LRESULT Default() = 0;
  virtual bool OnReflectedDrawItem(DRAWITEMSTRUCT* dis);
  virtual bool OnReflectedMeasureItem(MEASUREITEMSTRUCT* mis);

 protected:
  // The internal message's sub-commands 1 to 4 need the window.
  virtual LRESULT OnInternal(WPARAM command, LPARAM argument) = 0;
  CWheelAccumulator _wheel;
};

// The argument of the internal message's sub-command 0.
struct ReflectedMessage {
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
};
// The argument of sub-command 3.
struct ActivationSync {
  bool active;
  HWND other;
};

}  // namespace lib::wfc
