#include "ResizableSkinWindow.h"

#include <algorithm>

#include "SkinException.h"
#include "SkinKeySchema.h"
#include "SkinValues.h"

namespace ui {

RECT CResizableSkinWindow::GetDefaultClientRect() const {
  return RECT{0, 0, std::max(_layout_size.cx, _grid.minimum.cx),
              std::max(_layout_size.cy, _grid.minimum.cy)};
}

void CResizableSkinWindow::SetGrid(int x1, int y1, int x2, int y2, SIZE min_override) {
  ResizableGrid grid;
  if (!MakeResizableGrid(GetBaseImageRect(), x1, y1, x2, y2, min_override, &grid)) {
    // Cells of negative size would stretch the picture inside out and give
    // a negative minimum size.
    ThrowSkinException("DivPoint " + std::to_string(x1) + ", " + std::to_string(y1) + ", " +
                       std::to_string(x2) + ", " + std::to_string(y2) +
                       " does not divide the Base picture " + GetBaseImageName() + ".");
  }
  _grid = grid;
}

void CResizableSkinWindow::SetLayoutSize(SIZE size) {
  _layout_size = size;
  SetManagerLayoutSize(size);
}

void CResizableSkinWindow::LoadBase(const SkinSection& base) {
  CSkinWindow::LoadBase(base);
  SkinSection section = base;
  CheckSkinItemSection(section, SkinItemKind::kResizableWindow);
  _border = IntFromValues(section, "BorderWidth", 0);
  SetGrid(IntFromValues(section, "DivPoint", 0), IntFromValues(section, "DivPoint", 1),
          IntFromValues(section, "DivPoint", 2), IntFromValues(section, "DivPoint", 3),
          SIZE{IntFromValues(section, "MinSize", 0), IntFromValues(section, "MinSize", 1)});
  SetLayoutSize(
      SIZE{IntFromValues(section, "LayoutSize", 0), IntFromValues(section, "LayoutSize", 1)});
}

void CResizableSkinWindow::DeleteItems() {
  ClearEntries();
  CSkinWindow::DeleteItems();
}

void CResizableSkinWindow::DrawBackground(int x, int y, lib::wfc::CDIB& back,
                                          const lib::wfc::CDIB* base, const RECT* clip) {
  if (!base) return;
  const RECT& tl = _grid.cells[0];
  const RECT& br = _grid.cells[8];
  const NineGrid grid = {{static_cast<int>(tl.left), static_cast<int>(tl.right),
                          static_cast<int>(br.left), static_cast<int>(br.right)},
                         {static_cast<int>(tl.top), static_cast<int>(tl.bottom),
                          static_cast<int>(br.top), static_cast<int>(br.bottom)}};
  DrawNineGrid(back, *base, RECT{x, y, x + back.Width(), y + back.Height()}, clip, grid, 255,
               lib::wfc::kNoKey);
}

bool CResizableSkinWindow::ResizeBuffers(UINT type, int cx, int cy) {
  CLayoutManager::OnSize(cx, cy);
  return CSkinWindow::ResizeBuffers(type, cx, cy);
}

int CResizableSkinWindow::ZoneAt(POINT client) const {
  if (ItemAt(client)) return kZoneInside;
  RECT r = {0, 0, 0, 0};
  if (Handle()) GetClientRect(&r);
  return BorderZoneAt(client, r, _border, CaptionHeight());
}

bool CResizableSkinWindow::IsMaximised() const {
  return (::GetWindowLongA(Handle(), GWL_STYLE) & WS_MAXIMIZE) != 0;
}

bool CResizableSkinWindow::Dragging() const {
  return _resizing && _drag_zone != kZoneNone && ::GetCapture() == Handle();
}

LRESULT CResizableSkinWindow::OnNcHitTest(int x, int y) {
  POINT pt = {x, y};
  ScreenToClient(&pt);
  const int zone = ZoneAt(pt);
  if (IsResizeZone(zone)) return HTCLIENT;
  if (zone == kZoneCaption) return HTCAPTION;
  return CSkinWindow::OnNcHitTest(x, y);
}

bool CResizableSkinWindow::OnSetCursor(LPARAM lparam) {
  if (!IsMaximised() && _resizing) {
    POINT pt = {0, 0};
    ::GetCursorPos(&pt);
    ScreenToClient(&pt);
    const char* shape = nullptr;
    switch (ZoneAt(pt)) {
      case kZoneTopLeft:
      case kZoneBottomRight:
        shape = IDC_SIZENWSE;
        break;
      case kZoneTop:
      case kZoneBottom:
        shape = IDC_SIZENS;
        break;
      case kZoneTopRight:
      case kZoneBottomLeft:
        shape = IDC_SIZENESW;
        break;
      case kZoneLeft:
      case kZoneRight:
        shape = IDC_SIZEWE;
        break;
      default:
        break;
    }
    if (shape) {
      ::SetCursor(::LoadCursorA(nullptr, shape));
      return true;
    }
  }
  return CSkinWindow::OnSetCursor(lparam);
}

void CResizableSkinWindow::OnLButtonDown(UINT keys, int x, int y) {
  const POINT pt = {x, y};
  const int zone = ZoneAt(pt);
  if (!_resizing || !IsResizeZone(zone) || IsMaximised()) {
    CSkinWindow::OnLButtonDown(keys, x, y);
    return;
  }
  ::SetCapture(Handle());
  _drag_zone = zone;
  _drag_start = pt;
  ClientToScreen(&_drag_start);
  GetWindowRect(&_drag_rect);
  _limits = DragLimitsFor(zone, _drag_rect, _grid.minimum);
}

void CResizableSkinWindow::DragTo(POINT client) {
  POINT screen = client;
  ClientToScreen(&screen);
  RECT r = DraggedRect(_drag_zone, _drag_rect,
                       POINT{screen.x - _drag_start.x, screen.y - _drag_start.y}, _limits);
  ::SendMessageA(Handle(), WM_SIZING, static_cast<WPARAM>(SizingEdgeOfZone(_drag_zone)),
                 reinterpret_cast<LPARAM>(&r));
  RECT now = {0, 0, 0, 0};
  GetWindowRect(&now);
  if (!::EqualRect(&r, &now)) {
    ::SetWindowPos(Handle(), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_NOCOPYBITS | SWP_NOACTIVATE);
  }
}

void CResizableSkinWindow::OnMouseMove(UINT keys, int x, int y) {
  if (!Dragging()) {
    CSkinWindow::OnMouseMove(keys, x, y);
    return;
  }
  DragTo(POINT{x, y});
}

void CResizableSkinWindow::OnLButtonUp(UINT keys, int x, int y) {
  if (!Dragging()) {
    CSkinWindow::OnLButtonUp(keys, x, y);
    return;
  }
  DragTo(POINT{x, y});
  _drag_zone = kZoneNone;
  ::ReleaseCapture();
  ::SendMessageA(Handle(), WM_EXITSIZEMOVE, 0, 0);
}

void CResizableSkinWindow::OnCaptureChanged(HWND gaining) {
  // A drag whose capture is taken away ends where it is; otherwise the next
  // button-up anywhere would still resize the window.
  if (_drag_zone != kZoneNone && gaining != Handle()) {
    _drag_zone = kZoneNone;
    ::SendMessageA(Handle(), WM_EXITSIZEMOVE, 0, 0);
  }
  CSkinWindow::OnCaptureChanged(gaining);
}

bool CResizableSkinWindow::OnSizing(UINT edge, RECT* rect) {
  const SIZE largest = {::GetSystemMetrics(SM_CXMAXTRACK), ::GetSystemMetrics(SM_CYMAXTRACK)};
  if (LimitSizingRect(static_cast<int>(edge), rect, largest)) return true;
  return CSkinWindow::OnSizing(edge, rect);
}

void CResizableSkinWindow::OnExitSizeMove() {
  lib::wfc::BringOntoWorkArea(Handle());
  CSkinWindow::OnExitSizeMove();
}

}  // namespace ui
