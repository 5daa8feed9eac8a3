#include "Threads.h"

#include <process.h>

#include <cmath>

#include "_WindowPolicy.h"

namespace lib::wfc {

CThread::~CThread() {
  if (_thread) CloseHandle(_thread);
}

bool CThread::Start() {
  const uintptr_t h =
      _beginthreadex(nullptr, 0, &CThread::ThreadProc, this, CREATE_SUSPENDED, &_thread_id);
  if (!h) return false;
  _thread = reinterpret_cast<HANDLE>(h);
  ResumeThread(_thread);
  return true;
}

DWORD CThread::Wait(DWORD ms) { return _thread ? WaitForSingleObject(_thread, ms) : WAIT_FAILED; }

unsigned __stdcall CThread::ThreadProc(void* self) {
  InitThread();
  int result = -1;
  try {
    result = static_cast<CThread*>(self)->Run();
  } catch (const std::exception& e) {
    LogEscapedException(e.what());
  } catch (...) {
    LogEscapedException("unknown exception");
  }
  TermThread();
  return static_cast<unsigned>(result);
}

CTooltipActivator::CTooltipActivator(DWORD (*tick)()) : _tick(tick), _last_move(Now()) {}

CTooltipActivator::~CTooltipActivator() { Stop(); }

DWORD CTooltipActivator::Now() const { return _tick ? _tick() : GetTickCount(); }

void CTooltipActivator::Attach(HWND tooltip, bool start_thread) {
  {
    CLock lock(&_lock);
    _tooltip = tooltip;
    _delay = static_cast<DWORD>(SendMessageA(tooltip, TTM_GETDELAYTIME, TTDT_INITIAL, 0));
  }
  if (!start_thread) return;
  OSVERSIONINFOA v = {};
  v.dwOSVersionInfoSize = sizeof v;
  GetVersionExA(&v);
  if (v.dwMajorVersion < 5 || (v.dwMajorVersion == 5 && v.dwMinorVersion == 0)) Start();
}

void CTooltipActivator::Check() {
  CLock lock(&_lock);
  if (_armed && Now() - _last_move > _delay && _tooltip && !IsWindowVisible(_tooltip)) {
    PostMessageA(_tooltip, TTM_UPDATE, 0, 0);
    _armed = false;
  }
}

void CTooltipActivator::PointerMoved(int x, int y) {
  CLock lock(&_lock);
  if (x == _x && y == _y) return;
  _armed = true;
  _x = x;
  _y = y;
  _last_move = Now();
}

void CTooltipActivator::Stop() {
  bool wait = false;
  {
    CLock lock(&_lock);
    if (!_stop && Handle()) {
      _stop = true;
      wait = true;
    }
  }
  if (wait) Wait(INFINITE);
  CLock lock(&_lock);
  _tooltip = nullptr;
}

int CTooltipActivator::Run() {
  for (;;) {
    {
      CLock lock(&_lock);
      if (_stop) return 0;
    }
    Sleep(100);
    Check();
  }
}

namespace {

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  if (GetMonitorInfoA(monitor, &info))
    reinterpret_cast<std::vector<MONITORINFO>*>(data)->push_back(info);
  return TRUE;
}

bool Overlaps(const RECT& a, const RECT& b) {
  RECT out;
  return IntersectRect(&out, &a, &b) != FALSE;
}

}  // namespace

void CMonitorList::Fill() {
  _monitors.clear();
  EnumDisplayMonitors(nullptr, nullptr, &AddMonitor, reinterpret_cast<LPARAM>(&_monitors));
  if (_monitors.empty()) {
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &info.rcWork, 0);
    info.rcMonitor = info.rcWork;
    info.dwFlags = MONITORINFOF_PRIMARY;
    _monitors.push_back(info);
  }
  for (size_t i = 0; i < _monitors.size(); ++i) {
    if (_monitors[i].dwFlags & MONITORINFOF_PRIMARY) {
      const MONITORINFO primary = _monitors[i];
      _monitors.erase(_monitors.begin() + static_cast<std::ptrdiff_t>(i));
      _monitors.insert(_monitors.begin(), primary);
      break;
    }
  }
}

const MONITORINFO* CMonitorList::Nearest(const RECT& rect) {
  if (_monitors.empty()) Fill();
  const long cx = (rect.left + rect.right) / 2;
  const long cy = (rect.top + rect.bottom) / 2;
  const MONITORINFO* best = nullptr;
  long best_distance = 0;
  for (const MONITORINFO& m : _monitors) {
    const double dx = (m.rcMonitor.left + m.rcMonitor.right) / 2 - cx;
    const double dy = (m.rcMonitor.top + m.rcMonitor.bottom) / 2 - cy;
    const long distance = static_cast<long>(std::sqrt(dx * dx + dy * dy));
    if (!best || distance < best_distance) {
      best = &m;
      best_distance = distance;
    }
  }
  return best;
}

bool WorkAreaFor(CMonitorList& monitors, const RECT& window, RECT* area) {
  if (monitors.Monitors().empty()) monitors.Fill();
  for (const MONITORINFO& m : monitors.Monitors())
    if (Overlaps(window, m.rcWork)) return false;
  for (const MONITORINFO& m : monitors.Monitors()) {
    if (Overlaps(window, m.rcMonitor)) {
      *area = m.rcWork;
      return true;
    }
  }
  const MONITORINFO* nearest = monitors.Nearest(window);
  if (!nearest) return false;
  *area = nearest->rcWork;
  return true;
}

POINT PositionInArea(const RECT& window, const RECT& area) {
  const long width = window.right - window.left;
  const long height = window.bottom - window.top;
  const long x = std::max(area.left, std::min(window.left, area.right - width));
  const long y = std::max(area.top, std::min(window.top, area.bottom - height));
  return POINT{x, y};
}

bool BringOntoWorkArea(HWND window, CMonitorList& monitors) {
  RECT r, area;
  if (!GetWindowRect(window, &r) || !WorkAreaFor(monitors, r, &area)) return false;
  const POINT at = PositionInArea(r, area);
  if (at.x == r.left && at.y == r.top) return false;
  MoveWindow(window, at.x, at.y, r.right - r.left, r.bottom - r.top, TRUE);
  return true;
}

bool BringOntoWorkArea(HWND window) {
  CMonitorList monitors;
  monitors.Fill();
  return BringOntoWorkArea(window, monitors);
}

CWaitCursor::CWaitCursor() : _previous(SetCursor(LoadCursorA(nullptr, IDC_WAIT))) {}
CWaitCursor::~CWaitCursor() { SetCursor(_previous); }

namespace {
BOOL CALLBACK AddChild(HWND child, LPARAM data) {
  reinterpret_cast<std::vector<HWND>*>(data)->push_back(child);
  return TRUE;
}
}  // namespace

std::vector<HWND> CollectChildWindows(HWND window) {
  std::vector<HWND> children;
  EnumChildWindows(window, &AddChild, reinterpret_cast<LPARAM>(&children));
  return children;
}

std::string GetModuleFolder(HINSTANCE instance) {
  char path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameA(instance, path, MAX_PATH);
  std::string folder(path, n);
  // The last separator, scanned lead-byte-aware: 0x5C may be a trail byte.
  size_t cut = 0;
  for (size_t i = 0; i < folder.size(); ++i) {
    if (IsDBCSLeadByteEx(932, static_cast<BYTE>(folder[i])) && i + 1 < folder.size()) {
      ++i;
      continue;
    }
    if (folder[i] == '\\' || folder[i] == '/') cut = i + 1;
  }
  folder.resize(cut);
  return folder;
}

}  // namespace lib::wfc
