// Skinned scroll bars over the engine; see the header.
#include "CustomScrollBar.h"

#include <algorithm>
#include <new>

#include "Log.h"

namespace ui {

namespace {
constexpr UINT kFramePos = SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
}

CCustomScrollBar::~CCustomScrollBar() {
  if (_dc && _replaced) SelectObject(_dc->Get(), _replaced);
}

bool CCustomScrollBar::Attach(HWND control) {
  _control = control;
  try {
    _dc = std::make_unique<lib::wfc::CMemDC>();
  } catch (...) {
    OV_LOG(kLogError, "CreateCompatibleDC()失敗");
    return false;
  }
  _bitmap.Reset(static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr),
                                                MAKEINTRESOURCEA(_info.ResourceId()), IMAGE_BITMAP,
                                                0, 0, LR_CREATEDIBSECTION)));
  if (!_bitmap) {
    OV_LOG(kLogError, "スクロールバーのbitmapイメージ読込失敗");
    _dc.reset();
    return false;
  }
  _replaced = SelectObject(_dc->Get(), _bitmap.Get());
  Install(control);
  const SIZE button = _info.ButtonSize();
  SetStyle(control, SB_BOTH, kScrollStyleHotTrack);
  SetSize(control, SB_BOTH, button.cx, button.cy);
  SetMinThumbSize(control, SB_BOTH, std::min(button.cx, button.cy));
  return true;
}

void CCustomScrollBar::Enable(BOOL enable) {
  EnableScrollBar(_control, SB_BOTH, enable ? ESB_ENABLE_BOTH : ESB_DISABLE_BOTH);
}

void CCustomScrollBar::Refresh() {
  // Showing the system bars makes the control resize and call back into
  // OnMessage; the guard keeps that from starting another refresh.
  if (_refreshing) return;
  _refreshing = true;
  ::ShowScrollBar(_control, SB_BOTH, TRUE);
  _vert.fMask = SIF_ALL | SIF_TRACKPOS;
  _horz.fMask = SIF_ALL | SIF_TRACKPOS;
  ::GetScrollInfo(_control, SB_VERT, &_vert);
  ::GetScrollInfo(_control, SB_HORZ, &_horz);
  ::ShowScrollBar(_control, SB_BOTH, FALSE);
  for (SCROLLINFO* copy : {&_vert, &_horz}) {
    if (copy->nPage == 0) {
      copy->nMax = 0;
      copy->nPos = 0;
    }
  }
  SetScrollInfo(_control, SB_VERT, &_vert, TRUE);
  SetScrollInfo(_control, SB_HORZ, &_horz, TRUE);
  _refreshing = false;
}

int CCustomScrollBar::OnScroll(WPARAM request, int bar, SCROLLINFO& copy) {
  int pos = copy.nPos;
  switch (LOWORD(request)) {
    case SB_LINEUP:
      pos -= 1;
      break;
    case SB_LINEDOWN:
      pos += 1;
      break;
    case SB_PAGEUP:
      pos -= static_cast<int>(copy.nPage);
      break;
    case SB_PAGEDOWN:
      pos += static_cast<int>(copy.nPage);
      break;
    case SB_THUMBTRACK:
      pos = static_cast<short>(HIWORD(request));
      break;
    case SB_TOP:
      pos = copy.nMin;
      break;
    case SB_BOTTOM:
      pos = copy.nMax;
      break;
    default:
      break;
  }
  copy.nPos = std::max(copy.nMin, std::min(pos, copy.nMax));
  return SetScrollPos(_control, bar, copy.nPos, TRUE);
}

void CCustomScrollBar::Redraw(bool frame_changed) {
  SetWindowPos(_control, nullptr, 0, 0, 0, 0, kFramePos | (frame_changed ? SWP_FRAMECHANGED : 0));
}

LRESULT CCustomScrollBar::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  (void)lparam;
  if (_refreshing) return 0;
  ::ShowScrollBar(_control, SB_BOTH, FALSE);
  switch (message) {
    case WM_SIZE:
      Refresh();
      Redraw(true);
      break;
    case WM_NOTIFY:
    case WM_KEYDOWN:
      Redraw(true);
      break;
    case WM_HSCROLL:
      OnScroll(wparam, SB_HORZ, _horz);
      break;
    case WM_VSCROLL:
      OnScroll(wparam, SB_VERT, _vert);
      break;
    default:
      if (message >= WM_LBUTTONDOWN && message <= WM_XBUTTONUP) Redraw(true);
      break;
  }
  return 0;
}

LRESULT CCustomScrollBar::OnCustomDraw(const CustomScrollBarDraw* draw) {
  if (!draw) return 0;
  if (draw->stage == CDDS_PREPAINT) return CDRF_SKIPDEFAULT;
  if (draw->stage != CDDS_ITEMPREPAINT || !_dc) return 0;
  const int row = draw->state == CDIS_HOT ? 1 : draw->state == CDIS_SELECTED ? 2 : 0;
  const RECT& to = draw->rect;
  const auto blit = [&](const RECT& dest, const RECT& src) {
    StretchBlt(draw->dc, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top,
               _dc->Get(), src.left, src.top, src.right - src.left, src.bottom - src.top, SRCCOPY);
  };
  if (draw->bar == SB_BOTH) {
    blit(to, _info.CornerRect());
    return CDRF_SKIPDEFAULT;
  }
  if (draw->bar != SB_HORZ && draw->bar != SB_VERT) return 0;
  const int bar = static_cast<int>(draw->bar);
  if (draw->item != 5) {
    blit(to, _info.GetPartRect(bar, row, static_cast<int>(draw->item)));
    return CDRF_SKIPDEFAULT;
  }
  // The thumb: both ends at their own length, the middle stretched between.
  const RECT& first = _info.GetPartRect(bar, row, 5);
  const RECT& middle = _info.GetPartRect(bar, row, 6);
  const RECT& last = _info.GetPartRect(bar, row, 7);
  RECT a = to, m = to, z = to;
  if (bar == SB_VERT) {
    a.bottom = a.top + (first.bottom - first.top);
    z.top = z.bottom - (last.bottom - last.top);
    m.top = a.bottom;
    m.bottom = z.top;
  } else {
    a.right = a.left + (first.right - first.left);
    z.left = z.right - (last.right - last.left);
    m.left = a.right;
    m.right = z.left;
  }
  blit(a, first);
  if (m.bottom > m.top && m.right > m.left) blit(m, middle);
  blit(z, last);
  return CDRF_SKIPDEFAULT;
}

std::unique_ptr<CCustomScrollBar> CreateCustomScrollBar(const SkinDefinition& skin,
                                                        const std::string& section) {
  std::unique_ptr<CCustomScrollBar> bar;
  try {
    bar = std::make_unique<CCustomScrollBar>();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  bar->Info().Load(skin.GetSection(section));
  return bar;
}

}  // namespace ui
