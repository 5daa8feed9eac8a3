// The test's posing window; see PosingWindow.h.
#include "PosingWindow.h"

#include <dbt.h>

namespace maintest {

namespace {

constexpr char kFrameworkClass[] = "WFC-OstrovelleEVDefaultWindowClass";

}  // namespace

CPosingWindow::CPosingWindow(const char* title) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = &Proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kFrameworkClass;
  // Once per process; later windows find the class registered. Where the
  // test process runs the window framework, the framework registered the
  // class first with its own procedure, which takes the window's user data
  // for a framework window: the window is given this procedure before the
  // object is bound to it.
  RegisterClassA(&wc);
  _hwnd = CreateWindowExA(0, kFrameworkClass, title, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                          wc.hInstance, nullptr);
  SetWindowLongPtrA(_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc));
  SetWindowLongPtrA(_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

CPosingWindow::~CPosingWindow() {
  SetWindowLongPtrA(_hwnd, GWLP_USERDATA, 0);
  DestroyWindow(_hwnd);
}

std::vector<Recorded> CPosingWindow::Of(UINT message) const {
  std::vector<Recorded> out;
  for (const Recorded& m : _messages) {
    if (m.message == message) out.push_back(m);
  }
  return out;
}

LRESULT CALLBACK CPosingWindow::Proc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<CPosingWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcA(hwnd, message, wp, lp);
  Recorded m;
  m.message = message;
  m.wparam = wp;
  m.lparam = lp;
  if (message == WM_DEVICECHANGE && lp) {
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lp);
    m.record_size = header->dbch_size;
    m.device_type = header->dbch_devicetype;
    if (header->dbch_devicetype == DBT_DEVTYP_VOLUME) {
      m.unit_mask = reinterpret_cast<const DEV_BROADCAST_VOLUME*>(lp)->dbcv_unitmask;
    }
  }
  self->_messages.push_back(m);
  if (message == WM_DEVICECHANGE) return TRUE;
  return DefWindowProcA(hwnd, message, wp, lp);
}

bool PumpUntil(bool (*done)(void*), void* context, DWORD limit_ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (done(context)) return true;
    const DWORD spent = GetTickCount() - start;
    if (spent >= limit_ms) return false;
    const DWORD left = limit_ms - spent;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, left < 50 ? left : 50, QS_ALLINPUT);
  }
}

}  // namespace maintest
