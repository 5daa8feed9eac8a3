#include "Drawer.h"

#include "Placement.h"
#include "SkinDefinition.h"
#include "SkinWindow.h"
#include "SkinWindowItemOverlay.h"

namespace mainwin {

namespace {

RECT WorkAreaOf(HWND window) {
  MONITORINFO info = {};
  info.cbSize = sizeof(info);
  const HMONITOR monitor = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
  if (monitor && GetMonitorInfoA(monitor, &info)) return info.rcWork;
  RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  return work;
}

}  // namespace

int OwnerTopForDrawer(int owner_top, int height, int work_top) {
  const int needed = height - kDrawerOverlap;
  return owner_top - needed < work_top ? work_top + needed : owner_top;
}

RECT DrawerStartRect(const RECT& owner) {
  const int bottom = owner.top + kDrawerOverlap;
  return RECT{owner.left, bottom, owner.right, bottom};
}

bool SlideStep(RECT* rect, int height) {
  rect->top -= kSlideStep;
  if (rect->bottom - rect->top < height) return false;
  rect->top = rect->bottom - height;
  return true;
}

bool FadeStep(int* alpha) {
  *alpha -= kFadeStep;
  if (*alpha > 0) return false;
  *alpha = 0;
  return true;
}

ui::CSkinWindowItemOverlay* CreateScreenOverlay(ui::CSkinWindow* window,
                                                const ui::SkinDefinition& definition,
                                                const ui::SkinItemDescriptor& item) {
  auto* overlay = static_cast<ui::CSkinWindowItemOverlay*>(
      window->CreateOverlay(item.id, definition.GetSection(item)));
  const SIZE layout = window->GetLayoutSize();
  overlay->SetRect(0, 0, layout.cx, layout.cy);
  return overlay;
}

void CDrawer::Open(HWND window, HWND owner, int height, ui::CSkinWindowItemOverlay* overlay) {
  Stop();
  _window = window;
  _overlay = overlay;
  _height = height;
  _opened = true;
  if (_overlay) _overlay->SetAlpha(255);
  // A minimised owner has no place on the screen to slide out of: it is
  // restored before its place is taken.
  SendMessageA(owner, WM_SYSCOMMAND, SC_RESTORE, 0);
  RECT owner_rect = {0, 0, 0, 0};
  GetWindowRect(owner, &owner_rect);
  const int top = OwnerTopForDrawer(owner_rect.top, height, WorkAreaOf(owner).top);
  if (top != owner_rect.top) {
    SetWindowPos(owner, nullptr, owner_rect.left, top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    OffsetRect(&owner_rect, 0, top - owner_rect.top);
  }
  _rect = DrawerStartRect(owner_rect);
  SetWindowPos(window, owner, _rect.left, _rect.top, _rect.right - _rect.left, 0, SWP_NOACTIVATE);
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  SetActiveWindow(window);
  lib::wfc::ForceForegroundWindow(window);
  _sliding = SetTimer(window, kSlideTimer, kSlideMs, nullptr) != 0;
}

bool CDrawer::OnTimer(UINT_PTR id) {
  if (id == kSlideTimer) {
    if (!_sliding) return true;
    const bool done = SlideStep(&_rect, _height);
    SetWindowPos(_window, nullptr, _rect.left, _rect.top, _rect.right - _rect.left,
                 _rect.bottom - _rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (done) {
      KillTimer(_window, kSlideTimer);
      _sliding = false;
      _fading = SetTimer(_window, kFadeTimer, kFadeMs, nullptr) != 0;
    }
    return true;
  }
  if (id == kFadeTimer) {
    if (!_fading) return true;
    int alpha = _overlay ? _overlay->Alpha() : 0;
    const bool done = FadeStep(&alpha);
    if (_overlay) _overlay->SetAlpha(alpha);
    if (done) {
      KillTimer(_window, kFadeTimer);
      _fading = false;
    }
    return true;
  }
  return false;
}

void CDrawer::Stop() {
  if (_window) {
    KillTimer(_window, kSlideTimer);
    KillTimer(_window, kFadeTimer);
  }
  _sliding = false;
  _fading = false;
}

}  // namespace mainwin
