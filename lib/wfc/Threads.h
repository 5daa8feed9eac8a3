// Threads, critical sections and small window utilities. The tooltip
// activator is the one object here used by two threads; its fields are under
// its own lock.
#pragma once

#include <string>
#include <vector>

#include "OvWindows.h"

namespace lib::wfc {

class CThread {
 public:
  CThread() = default;
  virtual ~CThread();
  CThread(const CThread&) = delete;
  CThread& operator=(const CThread&) = delete;

  virtual bool Start();
  DWORD Wait(DWORD ms);
  HANDLE Handle() const { return _thread; }
  unsigned ThreadId() const { return _thread_id; }

 protected:
  // Runs on the new thread between InitThread and TermThread; anything it
  // throws is logged and the thread ends with -1.
  virtual int Run() = 0;

 private:
  static unsigned __stdcall ThreadProc(void* self);

  HANDLE _thread = nullptr;
  unsigned _thread_id = 0;
};

class CCriticalSection final {
 public:
  CCriticalSection() { InitializeCriticalSection(&_cs); }
  ~CCriticalSection() { DeleteCriticalSection(&_cs); }
  CCriticalSection(const CCriticalSection&) = delete;
  CCriticalSection& operator=(const CCriticalSection&) = delete;

  void Enter() { EnterCriticalSection(&_cs); }
  void Leave() { LeaveCriticalSection(&_cs); }

 private:
  CRITICAL_SECTION _cs;
};

class CLock final {
 public:
  explicit CLock(CCriticalSection* cs, bool lock_now = true) : _cs(cs) {
    if (lock_now) {
      _cs->Enter();
      _locked = true;
    }
  }
  ~CLock() {
    if (_locked) _cs->Leave();
  }
  CLock(const CLock&) = delete;
  CLock& operator=(const CLock&) = delete;

 private:
  CCriticalSection* _cs;  // not owned
  bool _locked = false;
};

// Nudges a tooltip to show once the pointer has rested for its delay.
class CTooltipActivator final : public CThread {
 public:
  // `tick` is the clock, GetTickCount unless a test gives its own.
  explicit CTooltipActivator(DWORD (*tick)() = nullptr);
  ~CTooltipActivator() override;

  void Attach(HWND tooltip, bool start_thread);
  void Check();
  void PointerMoved(int x, int y);
  void Stop();

 protected:
  int Run() override;

 private:
  DWORD Now() const;

  DWORD (*_tick)();
  CCriticalSection _lock;
  HWND _tooltip = nullptr;  // guarded by _lock; not owned
  bool _stop = false;       // guarded by _lock
  bool _armed = true;       // guarded by _lock
  DWORD _last_move;         // guarded by _lock
  DWORD _delay = 500;       // guarded by _lock
  int _x = -1;              // guarded by _lock
  int _y = -1;              // guarded by _lock
};

// Monitors, primary first.
class CMonitorList final {
 public:
  CMonitorList() = default;
  // A given list, for tests.
  explicit CMonitorList(std::vector<MONITORINFO> monitors) : _monitors(std::move(monitors)) {}

  void Fill();
  // The monitor whose centre is closest to the rectangle's; null when empty.
  const MONITORINFO* Nearest(const RECT& rect);
  const std::vector<MONITORINFO>& Monitors() const { return _monitors; }

 private:
  std::vector<MONITORINFO> _monitors;
};

// The work area a window that lies on none should be moved onto; false when
// it overlaps one already.
bool WorkAreaFor(CMonitorList& monitors, const RECT& window, RECT* area);
// The window's top-left corner moved into the area.
POINT PositionInArea(const RECT& window, const RECT& area);
// Whether the window was moved.
bool BringOntoWorkArea(HWND window);
bool BringOntoWorkArea(HWND window, CMonitorList& monitors);

class CWaitCursor final {
 public:
  CWaitCursor();
  ~CWaitCursor();
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;

 private:
  HCURSOR _previous;
};

std::vector<HWND> CollectChildWindows(HWND window);
// The module's folder with its trailing backslash.
std::string GetModuleFolder(HINSTANCE instance);

}  // namespace lib::wfc
