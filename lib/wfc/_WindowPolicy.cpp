// Start and end of the framework, its globals and the message switch.
#include "_WindowPolicy.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "Log.h"
#include "Window.h"

namespace lib::wfc {

namespace {

HINSTANCE g_instance = nullptr;
char g_app_name[257] = {};
std::new_handler g_previous_new_handler = nullptr;
DWORD g_tls = TLS_OUT_OF_INDEXES;
UINT g_taskbar_created = 0;
UINT g_internal_message = 0;
std::map<std::string, bool> g_registered_classes;
int g_register_calls = 0;

void ThrowingNewHandler() { throw bad_alloc(); }

int Sign(int v) { return (v > 0) - (v < 0); }

}  // namespace

const char kDefaultWindowClass[] = "WFC-OstrovelleEVDefaultWindowClass";

const char* bad_alloc::what() const noexcept { return "メモリが不足しています。"; }

void Initialize(HINSTANCE instance, const char* app_name, HICON icon, HICON small_icon) {
  g_instance = instance;
  lstrcpynA(g_app_name, app_name ? app_name : "", sizeof g_app_name);
  g_previous_new_handler = std::set_new_handler(&ThrowingNewHandler);
  INITCOMMONCONTROLSEX icc = {8, 0x8FF};
  InitCommonControlsEx(&icc);
  LoadLibraryA("Riched20.dll");  // kept loaded: the edit item uses its classes
  g_taskbar_created = ::RegisterWindowMessageA("TaskbarCreated");
  g_internal_message = ::RegisterWindowMessageA("WFC-InternalMessage");
  RegisterWindowClass(kDefaultWindowClass, 0, icon, small_icon);
  if (g_tls == TLS_OUT_OF_INDEXES) {
    g_tls = TlsAlloc();
    if (g_tls == TLS_OUT_OF_INDEXES) throw std::bad_alloc();
  }
}

void Terminate() {
  std::set_new_handler(g_previous_new_handler);
  g_previous_new_handler = nullptr;
  if (g_tls != TLS_OUT_OF_INDEXES) TlsFree(g_tls);
  g_tls = TLS_OUT_OF_INDEXES;
}

void InitThread() {
  if (g_tls == TLS_OUT_OF_INDEXES || TlsGetValue(g_tls)) return;
  TlsSetValue(g_tls, new ThreadRecord());
}

void TermThread() {
  if (g_tls == TLS_OUT_OF_INDEXES) return;
  delete static_cast<ThreadRecord*>(TlsGetValue(g_tls));
  TlsSetValue(g_tls, nullptr);
}

ThreadRecord* GetThreadRecord() {
  if (g_tls == TLS_OUT_OF_INDEXES) return nullptr;
  return static_cast<ThreadRecord*>(TlsGetValue(g_tls));
}

HINSTANCE GetInstanceHandle() { return g_instance; }
const char* GetAppName() { return g_app_name; }
UINT TaskbarCreatedMessage() { return g_taskbar_created; }
UINT InternalMessage() { return g_internal_message; }

void RegisterWindowClass(const char* name, UINT style, HICON icon, HICON small_icon, HCURSOR cursor,
                         HBRUSH background) {
  if (g_registered_classes[name]) return;
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.style = style ? style : CS_DBLCLKS;
  wc.lpfnWndProc = &CWindow::FrameworkProc;
  wc.hInstance = g_instance;
  wc.hIcon = icon ? icon : LoadIconA(nullptr, IDI_APPLICATION);
  wc.hIconSm = small_icon ? small_icon : wc.hIcon;
  wc.hCursor = cursor ? cursor : LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = background ? background : GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = name;
  ++g_register_calls;
  if (!RegisterClassExA(&wc)) throw bad_alloc();
  g_registered_classes[name] = true;
}

int RegisterClassCallCount() { return g_register_calls; }

UINT RegisterWindowMessageA(const char* name) { return ::RegisterWindowMessageA(name); }

void LogEscapedException(const char* what) {
  const DWORD error = GetLastError();
  OV_LOG(kLogError, "ウィンドウプロシージャ コールバック致命的エラー %s ERR:0x%08lX", what,
         static_cast<unsigned long>(error));
}

int CWheelAccumulator::Feed(int delta, int time_ms) {
  if (delta == 0) return 0;
  if (std::abs(time_ms - _last_time) > 500 || Sign(delta) != Sign(_last_delta)) _accumulated = 0;
  _accumulated += delta;
  _last_delta = delta;
  _last_time = time_ms;
  const int steps = _accumulated / 40;
  if (steps == 0) return 0;
  _accumulated -= steps * 40;
  return -steps;
}

namespace {
int LoX(LPARAM l) { return static_cast<short>(LOWORD(l)); }
int HiY(LPARAM l) { return static_cast<short>(HIWORD(l)); }
}  // namespace

LRESULT CWindowPolicy::WindowProc(UINT message, WPARAM wp, LPARAM lp) {
  switch (message) {
    case WM_CREATE:
      return OnCreate(reinterpret_cast<CREATESTRUCTA*>(lp)) ? 0 : -1;
    case WM_DESTROY:
      OnDestroy();
      return 0;
    case WM_MOVE:
      OnMove(LoX(lp), HiY(lp));
      return 0;
    case WM_SIZE:
      OnSize(static_cast<UINT>(wp), LoX(lp), HiY(lp));
      return 0;
    case WM_ACTIVATE:
      OnActivate(LOWORD(wp), reinterpret_cast<HWND>(lp));
      return 0;
    case WM_DEVMODECHANGE:
      OnDevModeChange(reinterpret_cast<const char*>(lp));
      return 0;
    case WM_SETFOCUS:
      OnSetFocus(reinterpret_cast<HWND>(wp));
      return 0;
    case WM_KILLFOCUS:
      OnKillFocus(reinterpret_cast<HWND>(wp));
      return 0;
    case WM_ENABLE:
      OnEnable(wp != 0);
      return 0;
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_QUERYENDSESSION:
      return OnQueryEndSession(lp) ? 1 : 0;
    case WM_QUERYOPEN:
      return OnQueryOpen() ? 1 : 0;
    case WM_ENDSESSION:
      OnEndSession(wp != 0, lp);
      return 0;
    case WM_ERASEBKGND:
      return OnEraseBkgnd(reinterpret_cast<HDC>(wp)) ? 1 : 0;
    case WM_SHOWWINDOW:
      OnShowWindow(wp != 0, static_cast<UINT>(lp));
      return 0;
    case WM_SETTINGCHANGE:
      OnSettingChange(wp, lp);
      return 0;
    case WM_ACTIVATEAPP:
      OnActivateApp(wp != 0, static_cast<DWORD>(lp));
      return 0;
    case WM_SETCURSOR:
      return OnSetCursor(lp) ? 1 : 0;
    case WM_DRAWITEM:
      return OnDrawItem(static_cast<UINT>(wp), reinterpret_cast<DRAWITEMSTRUCT*>(lp));
    case WM_MEASUREITEM:
      return OnMeasureItem(static_cast<UINT>(wp), reinterpret_cast<MEASUREITEMSTRUCT*>(lp));
    case WM_MOUSEMOVE:
      OnMouseMove(static_cast<UINT>(wp), LoX(lp), HiY(lp));
      return 0;
    case WM_LBUTTONDOWN:
      OnLButtonDown(static_cast<UINT>(wp), LoX(lp), HiY(lp));
      return 0;
    case WM_LBUTTONUP:
      OnLButtonUp(static_cast<UINT>(wp), LoX(lp), HiY(lp));
      return 0;
    case WM_LBUTTONDBLCLK:
      OnLButtonDblClk(static_cast<UINT>(wp), LoX(lp), HiY(lp));
      return 0;
    case WM_RBUTTONDOWN:
      OnRButtonDown(static_cast<UINT>(wp), LoX(lp), HiY(lp));
      return 0;
    case WM_RBUTTONUP:
      OnRButtonUp(static_cast<UINT>(wp), LoX(lp), HiY(lp));
      return 0;
    case WM_RBUTTONDBLCLK:
      OnRButtonDblClk(static_cast<UINT>(wp), LoX(lp), HiY(lp));
      return 0;
    case WM_MOUSEWHEEL: {
      const int delta = static_cast<short>(HIWORD(wp));
      const ThreadRecord* record = GetThreadRecord();
      const int time = record ? record->current.time : GetMessageTime();
      const int steps = _wheel.Feed(delta, time);
      if (steps != 0) OnMouseWheelNotch(LOWORD(wp), steps, LoX(lp), HiY(lp));
      OnMouseWheel(LOWORD(wp), delta, LoX(lp), HiY(lp));
      return 0;
    }
    case WM_MOUSEHOVER:
      OnMouseHover();
      return 0;
    case WM_MOUSELEAVE:
      OnMouseLeave();
      return 0;
    case WM_CAPTURECHANGED:
      OnCaptureChanged(reinterpret_cast<HWND>(lp));
      return 0;
    case WM_PARENTNOTIFY:
      OnParentNotify(LOWORD(wp), HIWORD(wp), lp);
      return 0;
    case WM_SIZING:
      return OnSizing(static_cast<UINT>(wp), reinterpret_cast<RECT*>(lp)) ? 1 : 0;
    case WM_MOVING:
      OnMoving(reinterpret_cast<RECT*>(lp));
      return 0;
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (OnNotify(static_cast<UINT>(wp), reinterpret_cast<NMHDR*>(lp), &result)) return result;
      return Default();
    }
    case WM_DISPLAYCHANGE:
      OnDisplayChange(static_cast<UINT>(wp), LOWORD(lp), HIWORD(lp));
      return 0;
    case WM_NCCREATE:
      return OnNcCreate(reinterpret_cast<CREATESTRUCTA*>(lp)) ? 1 : 0;
    case WM_NCDESTROY:
      OnNcDestroy();
      return 0;
    case WM_NCCALCSIZE:
      OnNcCalcSize(wp, lp);
      return 0;
    case WM_NCHITTEST:
      return OnNcHitTest(LoX(lp), HiY(lp));
    case WM_NCPAINT:
      OnNcPaint();
      return 0;
    case WM_NCACTIVATE:
      return OnNcActivate(wp != 0);
    case WM_NCMOUSEMOVE:
      OnNcMouseMove(static_cast<UINT>(wp), LoX(lp), HiY(lp));
      return 0;
    case WM_NCLBUTTONDOWN:
      OnNcLButtonDown(static_cast<UINT>(wp), LoX(lp), HiY(lp));
      return 0;
    case WM_NCLBUTTONUP:
      OnNcLButtonUp(static_cast<UINT>(wp), LoX(lp), HiY(lp));
      return 0;
    case WM_NCLBUTTONDBLCLK:
      OnNcLButtonDblClk(static_cast<UINT>(wp), LoX(lp), HiY(lp));
      return 0;
    case WM_NCRBUTTONDOWN:
      OnNcRButtonDown(static_cast<UINT>(wp), LoX(lp), HiY(lp));
      return 0;
    case WM_NCRBUTTONUP:
      OnNcRButtonUp(static_cast<UINT>(wp), LoX(lp), HiY(lp));
      return 0;
    case WM_NCRBUTTONDBLCLK:
      OnNcRButtonDblClk(static_cast<UINT>(wp), LoX(lp), HiY(lp));
      return 0;
    case WM_NCMBUTTONDOWN:
      OnNcMButtonDown(static_cast<UINT>(wp), LoX(lp), HiY(lp));
      return 0;
    case WM_NCMBUTTONUP:
      OnNcMButtonUp(static_cast<UINT>(wp), LoX(lp), HiY(lp));
      return 0;
    case WM_NCMBUTTONDBLCLK:
      OnNcMButtonDblClk(static_cast<UINT>(wp), LoX(lp), HiY(lp));
      return 0;
    case WM_KEYDOWN:
      OnKeyDown(static_cast<UINT>(wp), static_cast<UINT>(lp));
      return 0;
    case WM_KEYUP:
      OnKeyUp(static_cast<UINT>(wp), static_cast<UINT>(lp));
      return 0;
    case WM_CHAR:
      OnChar(static_cast<UINT>(wp), static_cast<UINT>(lp));
      return 0;
    case WM_UNICHAR:
      OnUniChar(static_cast<UINT>(wp), 0, static_cast<UINT>(lp));
      return 0;
    case WM_SYSKEYDOWN:
      OnSysKeyDown(static_cast<UINT>(wp), static_cast<UINT>(lp));
      return 0;
    case WM_SYSKEYUP:
      OnSysKeyUp(static_cast<UINT>(wp), static_cast<UINT>(lp));
      return 0;
    case WM_INITDIALOG:
      return OnInitDialog() ? 1 : 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
      return 0;
    case WM_SYSCOMMAND:
      OnSysCommand(static_cast<UINT>(wp), lp);
      return 0;
    case WM_TIMER:
      OnTimer(wp);
      return 0;
    case WM_HSCROLL:
      OnHScroll(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
      return 0;
    case WM_VSCROLL:
      OnVScroll(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
      return 0;
    case WM_POWERBROADCAST:
      return OnPowerBroadcast(wp, lp);
    case WM_ENTERSIZEMOVE:
      OnEnterSizeMove();
      return 0;
    case WM_EXITSIZEMOVE:
      OnExitSizeMove();
      return 0;
    case WM_DROPFILES:
      OnDropFiles(reinterpret_cast<HDROP>(wp));
      return 0;
    case WM_GETMINMAXINFO:
      OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lp));
      return 0;
    default:
      break;
  }
  if (message != 0 && message == g_taskbar_created) {
    OnTaskbarCreated();
    return 0;
  }
  if (message != 0 && message == g_internal_message) return OnInternal(wp, lp);
  return Default();
}

// Base operations: each hands the message to Default.
bool CWindowPolicy::OnCreate(CREATESTRUCTA*) { return true; }
void CWindowPolicy::OnDestroy() { Default(); }
void CWindowPolicy::OnMove(int, int) { Default(); }
void CWindowPolicy::OnSize(UINT, int, int) { Default(); }
void CWindowPolicy::OnActivate(UINT, HWND) { Default(); }
void CWindowPolicy::OnDevModeChange(const char*) { Default(); }
void CWindowPolicy::OnSetFocus(HWND) { Default(); }
void CWindowPolicy::OnKillFocus(HWND) { Default(); }
void CWindowPolicy::OnEnable(bool) { Default(); }
void CWindowPolicy::OnPaint() { Default(); }
void CWindowPolicy::OnClose() { Default(); }
bool CWindowPolicy::OnQueryEndSession(LPARAM) { return Default() != 0; }
bool CWindowPolicy::OnQueryOpen() { return Default() != 0; }
void CWindowPolicy::OnEndSession(bool, LPARAM) { Default(); }
bool CWindowPolicy::OnEraseBkgnd(HDC) { return Default() != 0; }
void CWindowPolicy::OnShowWindow(bool, UINT) { Default(); }
void CWindowPolicy::OnSettingChange(WPARAM, LPARAM) { Default(); }
void CWindowPolicy::OnActivateApp(bool, DWORD) { Default(); }
bool CWindowPolicy::OnSetCursor(LPARAM) { return Default() != 0; }
LRESULT CWindowPolicy::OnDrawItem(UINT, DRAWITEMSTRUCT*) { return Default(); }
LRESULT CWindowPolicy::OnMeasureItem(UINT, MEASUREITEMSTRUCT*) { return Default(); }
void CWindowPolicy::OnMouseMove(UINT, int, int) { Default(); }
void CWindowPolicy::OnLButtonDown(UINT, int, int) { Default(); }
void CWindowPolicy::OnLButtonUp(UINT, int, int) { Default(); }
void CWindowPolicy::OnLButtonDblClk(UINT, int, int) { Default(); }
void CWindowPolicy::OnRButtonDown(UINT, int, int) { Default(); }
void CWindowPolicy::OnRButtonUp(UINT, int, int) { Default(); }
void CWindowPolicy::OnRButtonDblClk(UINT, int, int) { Default(); }
void CWindowPolicy::OnMouseWheel(UINT, int, int, int) { Default(); }
void CWindowPolicy::OnMouseHover() { Default(); }
void CWindowPolicy::OnMouseLeave() { Default(); }
void CWindowPolicy::OnCaptureChanged(HWND) { Default(); }
void CWindowPolicy::OnParentNotify(UINT, UINT, LPARAM) { Default(); }
bool CWindowPolicy::OnSizing(UINT, RECT*) { return Default() != 0; }
void CWindowPolicy::OnMoving(RECT*) { Default(); }
bool CWindowPolicy::OnNotify(UINT, NMHDR*, LRESULT*) { return false; }
void CWindowPolicy::OnDisplayChange(UINT, int, int) { Default(); }
bool CWindowPolicy::OnNcCreate(CREATESTRUCTA*) { return Default() != 0; }
void CWindowPolicy::OnNcDestroy() { Default(); }
void CWindowPolicy::OnNcCalcSize(WPARAM, LPARAM) { Default(); }
LRESULT CWindowPolicy::OnNcHitTest(int, int) { return Default(); }
void CWindowPolicy::OnNcPaint() { Default(); }
LRESULT CWindowPolicy::OnNcActivate(bool) { return Default(); }
void CWindowPolicy::OnNcMouseMove(UINT, int, int) { Default(); }
void CWindowPolicy::OnNcLButtonDown(UINT, int, int) { Default(); }
void CWindowPolicy::OnNcLButtonUp(UINT, int, int) { Default(); }
void CWindowPolicy::OnNcLButtonDblClk(UINT, int, int) { Default(); }
void CWindowPolicy::OnNcRButtonDown(UINT, int, int) { Default(); }
void CWindowPolicy::OnNcRButtonUp(UINT, int, int) { Default(); }
void CWindowPolicy::OnNcRButtonDblClk(UINT, int, int) { Default(); }
void CWindowPolicy::OnNcMButtonDown(UINT, int, int) { Default(); }
void CWindowPolicy::OnNcMButtonUp(UINT, int, int) { Default(); }
void CWindowPolicy::OnNcMButtonDblClk(UINT, int, int) { Default(); }
void CWindowPolicy::OnKeyDown(UINT, UINT) { Default(); }
void CWindowPolicy::OnKeyUp(UINT, UINT) { Default(); }
void CWindowPolicy::OnChar(UINT, UINT) { Default(); }
void CWindowPolicy::OnUniChar(UINT, UINT, UINT) { Default(); }
void CWindowPolicy::OnSysKeyDown(UINT, UINT) { Default(); }
void CWindowPolicy::OnSysKeyUp(UINT, UINT) { Default(); }
bool CWindowPolicy::OnInitDialog() { return Default() != 0; }
void CWindowPolicy::OnCommand(UINT, UINT, HWND) { Default(); }
void CWindowPolicy::OnSysCommand(UINT, LPARAM) { Default(); }
void CWindowPolicy::OnTimer(UINT_PTR) { Default(); }
void CWindowPolicy::OnHScroll(UINT, UINT, HWND) { Default(); }
void CWindowPolicy::OnVScroll(UINT, UINT, HWND) { Default(); }
LRESULT CWindowPolicy::OnPowerBroadcast(WPARAM, LPARAM) { return Default(); }
void CWindowPolicy::OnEnterSizeMove() { Default(); }
void CWindowPolicy::OnExitSizeMove() { Default(); }
void CWindowPolicy::OnDropFiles(HDROP) { Default(); }
void CWindowPolicy::OnGetMinMaxInfo(MINMAXINFO*) { Default(); }
void CWindowPolicy::OnTaskbarCreated() { Default(); }
void CWindowPolicy::OnMouseWheelNotch(UINT, int, int, int) {}
bool CWindowPolicy::OnReflectedDrawItem(DRAWITEMSTRUCT*) { return false; }
bool CWindowPolicy::OnReflectedMeasureItem(MEASUREITEMSTRUCT*) { return false; }

}  // namespace lib::wfc
