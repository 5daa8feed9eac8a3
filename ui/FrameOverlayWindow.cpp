#include "FrameOverlayWindow.h"

#include <map>
#include <mutex>

namespace ui {

namespace {

std::mutex& TableLock() {
  static std::mutex lock;
  return lock;
}

std::map<HWND, UINT>& Table() {
  static std::map<HWND, UINT> table;
  return table;
}

}  // namespace

void RegisterOverlayWindow(HWND window, UINT message) {
  {
    std::lock_guard<std::mutex> hold(TableLock());
    Table()[window] = message;
  }
  ::PostMessageA(window, message, 0, 0);
}

void UnregisterOverlayWindow(HWND window) {
  std::lock_guard<std::mutex> hold(TableLock());
  Table().erase(window);
}

UINT RegisteredOverlayMessage(HWND window) {
  std::lock_guard<std::mutex> hold(TableLock());
  const auto it = Table().find(window);
  return it == Table().end() ? 0 : it->second;
}

namespace FrameOverlayWindowBase {

void CBaseFunc::Hide(HWND window) {
  if (!::IsWindowVisible(window) || (::GetWindowLongA(window, GWL_STYLE) & WS_CHILD) != 0) return;
  ::ShowWindow(window, SW_HIDE);
  _hidden_by_us = true;
}

void CBaseFunc::Show(HWND window) {
  if (!_hidden_by_us) return;
  ::ShowWindow(window, SW_SHOWNA);
  _hidden_by_us = false;
}

}  // namespace FrameOverlayWindowBase

}  // namespace ui
