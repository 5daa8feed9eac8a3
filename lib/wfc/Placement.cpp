#include "Placement.h"

#include "_WindowPolicy.h"

namespace lib::wfc {

namespace {
int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }
}  // namespace

std::optional<POINT> DialogPlacement(const RECT& p, SIZE d, const RECT& desk) {
  const int w = d.cx;
  const int h = d.cy;
  int x;
  if (Width(p) >= w + 40)
    x = p.left + Width(p) / 2 - w / 2;
  else if (p.left + Width(p) / 2 >= Width(desk) / 2)
    x = p.left - w;
  else
    x = p.right;
  int y;
  if (Height(p) < h + 20)
    y = (p.top + Height(p) / 2 >= Height(desk) / 2) ? p.bottom - h : p.top;
  else
    y = p.top + Height(p) / 2 - h / 2;
  if (x > 0 && x + w < desk.right && y > 0 && y + h < desk.bottom) return POINT{x, y};
  return std::nullopt;
}

POINT CenteredPosition(const RECT& other, SIZE s, const RECT* work) {
  int x = other.left + (Width(other) - s.cx) / 2;
  int y = other.top + (Height(other) - s.cy) / 2;
  if (work) {
    if (x + s.cx > work->right) x = work->right - s.cx;
    if (y + s.cy > work->bottom) y = work->bottom - s.cy;
    if (x < work->left) x = work->left;
    if (y < work->top) y = work->top;
  }
  return POINT{x, y};
}

void PlaceDialogOverParent(HWND dialog) {
  const HWND parent = dialog ? ::GetParent(dialog) : nullptr;
  const HWND desktop = GetDesktopWindow();
  if (!dialog || !parent || !desktop) return;
  RECT p, d, desk;
  if (!GetWindowRect(parent, &p) || !GetWindowRect(dialog, &d) || !GetWindowRect(desktop, &desk))
    return;
  const auto place = DialogPlacement(p, SIZE{Width(d), Height(d)}, desk);
  if (place)
    SetWindowPos(dialog, nullptr, place->x, place->y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CenterWindow(HWND window, HWND other) {
  if (!other) other = GetDesktopWindow();
  RECT o, r, work;
  if (!GetWindowRect(window, &r) || !GetWindowRect(other, &o)) return;
  const bool have_work = SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0) != FALSE;
  const POINT at = CenteredPosition(o, SIZE{Width(r), Height(r)}, have_work ? &work : nullptr);
  ::MoveWindow(window, at.x, at.y, Width(r), Height(r), TRUE);
}

HWND GetTopLevelWindow(HWND window) {
  HWND top = window;
  for (HWND p = window ? ::GetParent(window) : nullptr; p; p = ::GetParent(p)) top = p;
  return top;
}

bool ForceForegroundWindow(HWND window) {
  HWND f = GetForegroundWindow();
  if (!f) {
    f = FindWindowA("Progman", "Program Manager");
    if (f) SetForegroundWindow(f);
  }
  const DWORD own_thread = GetWindowThreadProcessId(window, nullptr);
  const DWORD f_thread = f ? GetWindowThreadProcessId(f, nullptr) : 0;
  if (!f || f_thread == own_thread) return SetForegroundWindow(window) != FALSE;
  AttachThreadInput(own_thread, f_thread, TRUE);
  SetForegroundWindow(window);
  SetFocus(window);
  BringWindowToTop(window);
  AttachThreadInput(own_thread, f_thread, FALSE);
  return true;
}

void ShowCenteredInFront(HWND window, HWND owner) {
  CenterWindow(window, owner);
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  SetActiveWindow(window);
  ForceForegroundWindow(window);
}

bool PumpMessage() {
  MSG msg;
  // -1 (an invalid call) ends the loop as WM_QUIT would rather than spinning.
  if (GetMessageA(&msg, nullptr, 0, 0) <= 0) return true;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
  return false;
}

int RunModalLoop(HWND window, HWND owner, const volatile bool* done) {
  const bool owner_visible = IsWindowVisible(owner) != FALSE;
  if (owner && GetActiveWindow() == owner) SetActiveWindow(window);
  bool disabled_owner = false;
  if (owner && IsWindowEnabled(owner)) {
    EnableWindow(owner, FALSE);
    disabled_owner = true;
  }
  while (!*done) {
    if (PumpMessage()) {
      PostQuitMessage(0);
      break;
    }
    if (!IsWindow(window)) break;
    if (owner_visible && !IsWindowVisible(owner)) break;
  }
  if (!IsWindow(owner)) return 0;
  if (disabled_owner) EnableWindow(owner, TRUE);
  if (IsWindow(window) && GetActiveWindow() == window) SetActiveWindow(owner);
  return 1;
}

HCURSOR LoadStandardCursor(const char* id) {
  const HCURSOR cursor = LoadCursorA(nullptr, id);
  if (!cursor) throw bad_alloc();
  return cursor;
}

}  // namespace lib::wfc
