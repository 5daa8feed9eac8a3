// The custom scroll bar engine: the subclass procedure, the per-window state
// behind the window property and the process-wide press and hover state.
#include "CustomScrollBarBase.h"

#include <algorithm>

#include "CustomScrollBarGeometry.h"
#include "Log.h"

namespace ui {

namespace sb = scrollbar;

namespace {

const char kProperty[] = "CCustomScrollBarBase";
constexpr UINT_PTR kRepeatFirstTimer = 65533;
constexpr UINT_PTR kRepeatTimer = 65534;
constexpr UINT_PTR kHoverTimer = static_cast<UINT_PTR>(-14);
constexpr UINT kRepeatFirstDelay = 300;
constexpr UINT kRepeatDelay = 55;
constexpr UINT kHoverDelay = 10;
constexpr UINT kFramePos = SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
constexpr DWORD kScrollStyles = WS_HSCROLL | WS_VSCROLL;

struct Bar {
  int flags = 0;
  bool shown = false;
  SCROLLINFO info = {};
  int arrow = -1;
  int width = -1;
  int kind = 0;
  int style = kScrollStyleStandard;
  int min_thumb = 0;
};

// One press and one hot bar at a time in the whole process.
struct Tracking {
  HWND window = nullptr;  // not owned
  UINT message = 0;
  int bar = -1;
  int part = sb::kPartNone;
  int repeat_part = sb::kPartNone;
  bool inert = false;  // a press on a bar that cannot scroll: capture only
  RECT thumb_at_press = {};
  int drag_offset = 0;
  int press_start = 0;
  int drag_start = 0;
  int last_track = 0;
  HWND hot_window = nullptr;  // not owned
  int hot_bar = -1;
  int hot_part = sb::kPartNone;
  RECT hot_rect = {};
};
Tracking g_tracking;

void ClearPress() {
  const Tracking keep_hot = g_tracking;
  g_tracking = Tracking();
  g_tracking.hot_window = keep_hot.hot_window;
  g_tracking.hot_bar = keep_hot.hot_bar;
  g_tracking.hot_part = keep_hot.hot_part;
  g_tracking.hot_rect = keep_hot.hot_rect;
}

// GetWindowDC; ReleaseDC.
class CWindowDC final {
 public:
  explicit CWindowDC(HWND window) : _window(window), _dc(GetWindowDC(window)) {}
  ~CWindowDC() {
    if (_dc) ReleaseDC(_window, _dc);
  }
  CWindowDC(const CWindowDC&) = delete;
  CWindowDC& operator=(const CWindowDC&) = delete;
  HDC Get() const { return _dc; }

 private:
  HWND _window;  // not owned
  HDC _dc;
};

void RedrawFrame(HWND window) {
  SetWindowPos(window, nullptr, 0, 0, 0, 0, kFramePos | SWP_FRAMECHANGED);
}

int ArrowOf(const Bar& bar) {
  return sb::ResolveMetric(bar.arrow,
                           GetSystemMetrics(bar.kind == 0 ? SM_CXHSCROLL : SM_CYVSCROLL));
}

int WidthOf(const Bar& bar) {
  return sb::ResolveMetric(bar.width,
                           GetSystemMetrics(bar.kind == 0 ? SM_CYHSCROLL : SM_CXVSCROLL));
}

// A screen point in window coordinates.
POINT ToWindow(HWND window, POINT screen) {
  RECT frame;
  GetWindowRect(window, &frame);
  return {screen.x - frame.left, screen.y - frame.top};
}

POINT FromLparamScreen(LPARAM lparam) {
  return {static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
}

}  // namespace

struct CCustomScrollBarBase::State {
  HWND window = nullptr;  // not owned
  WNDPROC previous = nullptr;
  Bar bars[2];
  bool dragging = false;
  bool left_scroll = false;
  RECT insets = {};  // left, top, right, bottom as the previous procedure reserved
  bool style_change = false;

  LRESULT CallPrevious(UINT message, WPARAM wparam, LPARAM lparam) {
    return CallWindowProcW(previous, window, message, wparam, lparam);
  }

  // Calls the previous procedure with the scroll styles removed, so that
  // the system neither reserves room for nor paints its own bars.
  LRESULT CallWithoutScrollStyles(UINT message, WPARAM wparam, LPARAM lparam) {
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    style_change = true;
    if (style & kScrollStyles) SetWindowLongW(window, GWL_STYLE, style & ~kScrollStyles);
    const LRESULT result = CallPrevious(message, wparam, lparam);
    if (style & kScrollStyles) SetWindowLongW(window, GWL_STYLE, style);
    style_change = false;
    return result;
  }

  RECT BarRect(int which) const {
    RECT frame;
    GetWindowRect(window, &frame);
    const int w = frame.right - frame.left;
    const int h = frame.bottom - frame.top;
    const Bar& horz = bars[SB_HORZ];
    const Bar& vert = bars[SB_VERT];
    const int hw = horz.shown ? WidthOf(horz) : 0;
    const int vw = vert.shown ? WidthOf(vert) : 0;
    RECT r;
    if (which == SB_HORZ) {
      r.left = insets.left + (left_scroll ? vw : 0);
      r.right = w - insets.right - (left_scroll ? 0 : vw);
      r.bottom = h - insets.bottom;
      r.top = r.bottom - hw;
      return r;
    }
    r.top = insets.top;
    r.bottom = h - insets.bottom - hw;
    if (left_scroll) {
      r.left = insets.left;
      r.right = r.left + vw;
    } else {
      r.right = w - insets.right;
      r.left = r.right - vw;
    }
    return r;
  }

  int HitTest(int which, POINT window_point) const {
    const Bar& bar = bars[which];
    return sb::HitTestBar(BarRect(which), which == SB_VERT, ArrowOf(bar), bar.info, bar.min_thumb,
                          window_point);
  }

  sb::ThumbLayout Layout(int which) const {
    const Bar& bar = bars[which];
    const RECT r = BarRect(which);
    const bool vertical = which == SB_VERT;
    const int start = vertical ? r.top : r.left;
    const int end = vertical ? r.bottom : r.right;
    return sb::LayoutThumb(start, end, sb::EffectiveArrow(start, end, ArrowOf(bar)), bar.info,
                           bar.min_thumb);
  }

  LRESULT NcCalcSize(WPARAM wparam, LPARAM lparam);
  LRESULT NcPaint(WPARAM wparam, LPARAM lparam);
  void PaintBar(HDC dc, int which);
  void PaintCorner(HDC dc);
  LRESULT Press(WPARAM wparam, LPARAM lparam);
  LRESULT Move(WPARAM wparam, LPARAM lparam);
  LRESULT Release(WPARAM wparam, LPARAM lparam);
  LRESULT Timer(WPARAM wparam, LPARAM lparam);
  LRESULT HoverStart(WPARAM wparam, LPARAM lparam);
  void PressedMove(POINT window_point);
  void Drag(POINT window_point);
  void RepaintBar(int which) {
    if (!bars[which].shown) return;
    CWindowDC dc(window);
    if (dc.Get()) PaintBar(dc.Get(), which);
  }
  LRESULT Notify(CustomScrollBarDraw& draw, bool item);
};

LRESULT CCustomScrollBarBase::State::NcCalcSize(WPARAM wparam, LPARAM lparam) {
  RECT* client = reinterpret_cast<RECT*>(lparam);
  const RECT before = *client;
  const LRESULT result = CallWithoutScrollStyles(WM_NCCALCSIZE, wparam, lparam);
  insets = {client->left - before.left, client->top - before.top, before.right - client->right,
            before.bottom - client->bottom};
  Bar& horz = bars[SB_HORZ];
  Bar& vert = bars[SB_VERT];
  horz.shown = false;
  vert.shown = false;
  if ((horz.flags & sb::kVisible) && client->bottom - client->top >= WidthOf(horz)) {
    client->bottom -= WidthOf(horz);
    horz.shown = true;
  }
  if ((vert.flags & sb::kVisible) && client->right - client->left >= WidthOf(vert)) {
    if (left_scroll) {
      client->left += WidthOf(vert);
    } else {
      client->right -= WidthOf(vert);
    }
    vert.shown = true;
  }
  return result;
}

LRESULT CCustomScrollBarBase::State::Notify(CustomScrollBarDraw& draw, bool item) {
  const HWND parent = GetParent(window);
  if (!parent) return 0;
  draw.hdr.hwndFrom = window;
  draw.hdr.idFrom = static_cast<UINT_PTR>(GetWindowLongPtrW(window, GWLP_ID));
  draw.hdr.code = kCustomScrollBarDrawCode;
  return SendMessageW(parent, WM_NOTIFY, item ? draw.hdr.idFrom : 0,
                      reinterpret_cast<LPARAM>(&draw));
}

namespace {

RECT PartRect(const RECT& bar, bool vertical, int start, int end) {
  RECT r = bar;
  if (vertical) {
    r.top = start;
    r.bottom = end;
  } else {
    r.left = start;
    r.right = end;
  }
  return r;
}

// The standard and flat looks.
void DrawDefaultPart(HDC dc, const RECT& r, int part, bool vertical, bool inactive, bool pressed,
                     bool hot, int style) {
  if (part == sb::kPartFirstArrow || part == sb::kPartSecondArrow) {
    UINT kind = vertical ? (part == 0 ? DFCS_SCROLLUP : DFCS_SCROLLDOWN)
                         : (part == 0 ? DFCS_SCROLLLEFT : DFCS_SCROLLRIGHT);
    if (inactive) kind |= DFCS_INACTIVE;
    if (pressed) kind |= DFCS_PUSHED | DFCS_FLAT;
    if (style != kScrollStyleStandard) kind |= DFCS_FLAT;
    if (hot && style == kScrollStyleHotTrack) kind |= DFCS_HOT;
    RECT copy = r;
    DrawFrameControl(dc, &copy, DFC_SCROLL, kind);
    return;
  }
  if (part == sb::kPartThumb) {
    if ((pressed && style != kScrollStyleStandard) || (hot && style == kScrollStyleHotTrack)) {
      FillRect(dc, &r, GetSysColorBrush(COLOR_3DSHADOW));
      return;
    }
    FillRect(dc, &r, GetSysColorBrush(COLOR_3DFACE));
    RECT copy = r;
    DrawEdge(dc, &copy, EDGE_RAISED, BF_RECT | (style != kScrollStyleStandard ? BF_FLAT : 0));
    return;
  }
  FillRect(dc, &r, GetSysColorBrush(pressed ? COLOR_3DDKSHADOW : COLOR_SCROLLBAR));
}

}  // namespace

void CCustomScrollBarBase::State::PaintBar(HDC dc, int which) {
  const Bar& bar = bars[which];
  const RECT r = BarRect(which);
  const bool vertical = which == SB_VERT;
  const int start = vertical ? r.top : r.left;
  const int end = vertical ? r.bottom : r.right;
  std::vector<sb::PaintPart> parts =
      sb::LayoutPaint(start, end, ArrowOf(bar), bar.flags, bar.info, bar.min_thumb);
  const bool pressed_bar = g_tracking.window == window && g_tracking.bar == which;
  if (pressed_bar && dragging) {
    const sb::ThumbLayout layout = Layout(which);
    const int thumb_end = g_tracking.drag_start + layout.thumb_size;
    for (auto& part : parts) {
      if (part.part == sb::kPartPageBefore) part.end = g_tracking.drag_start;
      if (part.part == sb::kPartPageAfter) part.start = thumb_end;
      if (part.part == sb::kPartThumb) {
        part.start = g_tracking.drag_start;
        part.end = thumb_end;
      }
    }
  }
  const bool hot_bar = bar.style == kScrollStyleHotTrack && g_tracking.hot_window == window &&
                       g_tracking.hot_bar == which;

  CustomScrollBarDraw draw = {};
  draw.stage = CDDS_PREPAINT;
  draw.dc = dc;
  draw.rect = r;
  draw.bar = static_cast<UINT>(which);
  const bool custom = Notify(draw, false) == CDRF_SKIPDEFAULT;
  for (const auto& part : parts) {
    const RECT pr = PartRect(r, vertical, part.start, part.end);
    const bool pressed = pressed_bar && (g_tracking.repeat_part == part.part ||
                                         (dragging && part.part == sb::kPartThumb));
    const bool hot = hot_bar && g_tracking.hot_part == part.part;
    if (custom) {
      draw.stage = CDDS_ITEMPREPAINT;
      draw.rect = pr;
      draw.item = static_cast<UINT>(part.part);
      draw.state = pressed         ? CDIS_SELECTED
                   : hot           ? CDIS_HOT
                   : part.inactive ? CDIS_DISABLED
                                   : CDIS_DEFAULT;
      Notify(draw, true);
    } else {
      DrawDefaultPart(dc, pr, part.part, vertical, part.inactive, pressed, hot, bar.style);
    }
  }
  draw.stage = CDDS_POSTPAINT;
  draw.rect = r;
  draw.item = 0;
  draw.state = 0;
  Notify(draw, false);
}

void CCustomScrollBarBase::State::PaintCorner(HDC dc) {
  const RECT horz = BarRect(SB_HORZ);
  const RECT vert = BarRect(SB_VERT);
  const RECT corner = {vert.left, horz.top, vert.right, horz.bottom};
  CustomScrollBarDraw draw = {};
  draw.stage = CDDS_PREPAINT;
  draw.dc = dc;
  draw.rect = corner;
  draw.bar = SB_BOTH;
  if (Notify(draw, false) == CDRF_SKIPDEFAULT) {
    draw.stage = CDDS_ITEMPREPAINT;
    draw.item = kCustomScrollBarCorner;
    draw.state = CDIS_DEFAULT;
    Notify(draw, true);
    return;
  }
  // A size grip only where the corner meets the parent's client corner.
  bool grip = false;
  const HWND parent = GetParent(window);
  if (parent) {
    RECT frame, client;
    GetWindowRect(window, &frame);
    GetClientRect(parent, &client);
    POINT parent_corner = {left_scroll ? client.left : client.right, client.bottom};
    ClientToScreen(parent, &parent_corner);
    grip = parent_corner.y == frame.bottom &&
           parent_corner.x == (left_scroll ? frame.left : frame.right);
  }
  RECT copy = corner;
  if (grip) {
    DrawFrameControl(dc, &copy, DFC_SCROLL,
                     left_scroll ? DFCS_SCROLLSIZEGRIPRIGHT : DFCS_SCROLLSIZEGRIP);
  } else {
    FillRect(dc, &copy, GetSysColorBrush(COLOR_3DFACE));
  }
}

LRESULT CCustomScrollBarBase::State::NcPaint(WPARAM wparam, LPARAM lparam) {
  {
    CWindowDC dc(window);
    if (dc.Get()) {
      if (bars[SB_HORZ].shown) PaintBar(dc.Get(), SB_HORZ);
      if (bars[SB_VERT].shown) PaintBar(dc.Get(), SB_VERT);
    }
  }
  const LRESULT result = CallWithoutScrollStyles(WM_NCPAINT, wparam, lparam);
  if (bars[SB_HORZ].shown && bars[SB_VERT].shown) {
    CWindowDC dc(window);
    if (dc.Get()) PaintCorner(dc.Get());
  }
  return result;
}

LRESULT CCustomScrollBarBase::State::Press(WPARAM wparam, LPARAM lparam) {
  if (wparam != HTHSCROLL && wparam != HTVSCROLL)
    return CallPrevious(WM_NCLBUTTONDOWN, wparam, lparam);
  const int which = wparam == HTHSCROLL ? SB_HORZ : SB_VERT;
  const POINT at = ToWindow(window, FromLparamScreen(lparam));
  const int part = HitTest(which, at);
  if (part == sb::kPartNone) return CallPrevious(WM_NCLBUTTONDOWN, wparam, lparam);
  Bar& bar = bars[which];
  if ((part == sb::kPartFirstArrow && (bar.flags & sb::kFirstArrowDisabled)) ||
      (part == sb::kPartSecondArrow && (bar.flags & sb::kSecondArrowDisabled)))
    return 0;
  const bool operable = sb::IsOperable(bar.flags, bar.info);
  if (part == sb::kPartThumb && !operable) return 0;

  ClearPress();
  g_tracking.window = window;
  g_tracking.message = which == SB_HORZ ? WM_HSCROLL : WM_VSCROLL;
  g_tracking.bar = which;
  g_tracking.part = part;
  if (!operable) {
    g_tracking.inert = true;
    SetCapture(window);
    return 0;
  }
  if (part == sb::kPartThumb) {
    const sb::ThumbLayout layout = Layout(which);
    const RECT r = BarRect(which);
    g_tracking.thumb_at_press =
        PartRect(r, which == SB_VERT, layout.thumb_start, layout.thumb_start + layout.thumb_size);
    dragging = true;
    bar.info.nTrackPos = bar.info.nPos;
    g_tracking.drag_offset = (which == SB_VERT ? at.y : at.x) - layout.thumb_start;
    g_tracking.last_track = -bar.info.nPos;
    g_tracking.press_start = layout.thumb_start;
    g_tracking.drag_start = layout.thumb_start;
    SetCapture(window);
    RepaintBar(which);
    return 0;
  }
  g_tracking.repeat_part = part;
  SendMessageW(window, g_tracking.message, MAKEWPARAM(part, 0), 0);
  // The request may have destroyed the window or ended the press.
  if (g_tracking.window != window) return 0;
  RepaintBar(which);
  SetTimer(window, kRepeatFirstTimer, kRepeatFirstDelay, nullptr);
  SetCapture(window);
  return 0;
}

void CCustomScrollBarBase::State::Drag(POINT at) {
  const int which = g_tracking.bar;
  Bar& bar = bars[which];
  const sb::ThumbLayout layout = Layout(which);
  // The snap rectangle grows from the whole bar, not from the thumb alone:
  // around the thumb a drag could never go further than 48 pixels.
  g_tracking.drag_start = sb::DragThumbStart(
      BarRect(which), which == SB_VERT, g_tracking.press_start, g_tracking.drag_offset, layout, at);
  RepaintBar(which);
  const int pos = sb::TrackPosFromThumb(layout, g_tracking.drag_start, bar.info);
  if (pos == g_tracking.last_track) return;
  g_tracking.last_track = pos;
  bar.info.nTrackPos = pos;
  SendMessageW(window, g_tracking.message, MAKEWPARAM(SB_THUMBTRACK, pos), 0);
}

void CCustomScrollBarBase::State::PressedMove(POINT at) {
  const int which = g_tracking.bar;
  const int over = HitTest(which, at);
  const int repeat = over == g_tracking.part ? g_tracking.part : sb::kPartNone;
  if (repeat == g_tracking.repeat_part) return;
  g_tracking.repeat_part = repeat;
  RepaintBar(which);
}

LRESULT CCustomScrollBarBase::State::Move(WPARAM wparam, LPARAM lparam) {
  if (g_tracking.window != window || g_tracking.part == sb::kPartNone)
    return CallPrevious(WM_MOUSEMOVE, wparam, lparam);
  POINT screen = FromLparamScreen(lparam);
  ClientToScreen(window, &screen);
  const POINT at = ToWindow(window, screen);
  if (dragging) {
    Drag(at);
  } else if (!g_tracking.inert) {
    PressedMove(at);
  }
  return 0;
}

LRESULT CCustomScrollBarBase::State::Release(WPARAM wparam, LPARAM lparam) {
  if (g_tracking.window != window || g_tracking.part == sb::kPartNone)
    return CallPrevious(WM_LBUTTONUP, wparam, lparam);
  const Tracking pressed = g_tracking;
  ClearPress();
  ReleaseCapture();
  KillTimer(window, kRepeatFirstTimer);
  KillTimer(window, kRepeatTimer);
  if (pressed.inert) return 0;
  if (dragging) {
    dragging = false;
    // The position last sent; the position at the press when the thumb
    // never moved (the record starts at its negative to force a first send).
    const int pos = bars[pressed.bar].info.nTrackPos;
    SendMessageW(window, pressed.message, MAKEWPARAM(SB_THUMBPOSITION, pos), 0);
  }
  SendMessageW(window, pressed.message, MAKEWPARAM(SB_ENDSCROLL, 0), 0);
  if (IsWindow(window)) RepaintBar(pressed.bar);
  return 0;
}

LRESULT CCustomScrollBarBase::State::Timer(WPARAM wparam, LPARAM lparam) {
  if (wparam == kHoverTimer) {
    if (dragging || g_tracking.hot_window != window) return 0;
    POINT cursor;
    GetCursorPos(&cursor);
    const POINT at = ToWindow(window, cursor);
    const int which = g_tracking.hot_bar;
    if (!PtInRect(&g_tracking.hot_rect, at)) {
      KillTimer(window, kHoverTimer);
      g_tracking.hot_window = nullptr;
      g_tracking.hot_bar = -1;
      g_tracking.hot_part = sb::kPartNone;
      RepaintBar(which);
      return 0;
    }
    const int part = HitTest(which, at);
    if (part != g_tracking.hot_part) {
      g_tracking.hot_part = part;
      RepaintBar(which);
    }
    return 0;
  }
  if (wparam != kRepeatFirstTimer && wparam != kRepeatTimer)
    return CallPrevious(WM_TIMER, wparam, lparam);
  if (g_tracking.window != window || g_tracking.part == sb::kPartNone) {
    KillTimer(window, wparam);
    return 0;
  }
  if (wparam == kRepeatFirstTimer) {
    KillTimer(window, kRepeatFirstTimer);
    SetTimer(window, kRepeatTimer, kRepeatDelay, nullptr);
  }
  // The first repeat comes when the first delay ends, then every short one.
  POINT cursor;
  GetCursorPos(&cursor);
  PressedMove(ToWindow(window, cursor));
  if (g_tracking.repeat_part != sb::kPartNone)
    SendMessageW(window, g_tracking.message, MAKEWPARAM(g_tracking.repeat_part, 0), 0);
  return 0;
}

LRESULT CCustomScrollBarBase::State::HoverStart(WPARAM wparam, LPARAM lparam) {
  if (wparam != HTHSCROLL && wparam != HTVSCROLL)
    return CallPrevious(WM_NCMOUSEMOVE, wparam, lparam);
  const int which = wparam == HTHSCROLL ? SB_HORZ : SB_VERT;
  if (g_tracking.hot_window == window && g_tracking.hot_bar == which) return 0;
  const HWND old_window = g_tracking.hot_window;
  if (old_window && old_window != window) KillTimer(old_window, kHoverTimer);
  const int old_bar = old_window == window ? g_tracking.hot_bar : -1;
  g_tracking.hot_window = window;
  g_tracking.hot_bar = which;
  g_tracking.hot_part = sb::kPartNone;
  g_tracking.hot_rect = BarRect(which);
  SetTimer(window, kHoverTimer, kHoverDelay, nullptr);
  if (old_bar >= 0) RepaintBar(old_bar);
  RepaintBar(which);
  return 0;
}

CCustomScrollBarBase::CCustomScrollBarBase() = default;

CCustomScrollBarBase::~CCustomScrollBarBase() {
  if (_state && IsWindow(_state->window) && Find(_state->window) == this) Uninstall(_state->window);
}

CCustomScrollBarBase* CCustomScrollBarBase::Find(HWND window) {
  if (!window) return nullptr;
  return static_cast<CCustomScrollBarBase*>(GetPropA(window, kProperty));
}

int CCustomScrollBarBase::Install(HWND window) {
  if (!window || Find(window) || _state) return 0;
  auto state = std::make_unique<State>();
  state->window = window;
  for (int which : {SB_HORZ, SB_VERT}) {
    Bar& bar = state->bars[which];
    bar.info.cbSize = sizeof(bar.info);
    bar.info.fMask = SIF_ALL;
    if (!::GetScrollInfo(window, which, &bar.info)) {
      bar.info = {};
      bar.info.cbSize = sizeof(bar.info);
      bar.info.fMask = SIF_ALL;
    }
    bar.kind = which;
    bar.min_thumb = sb::DefaultMinThumb(GetVersion());
  }
  state->left_scroll = (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_LEFTSCROLLBAR) != 0;
  const LONG style = GetWindowLongW(window, GWL_STYLE);
  if (style & WS_HSCROLL) state->bars[SB_HORZ].flags |= sb::kVisible;
  if (style & WS_VSCROLL) state->bars[SB_VERT].flags |= sb::kVisible;
  if (!SetPropA(window, kProperty, this)) return 0;
  _state = std::move(state);
  _state->previous = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
  RedrawFrame(window);
  return 1;
}

HRESULT CCustomScrollBarBase::Uninstall(HWND window) {
  CCustomScrollBarBase* self = Find(window);
  if (!self || !self->_state) return E_FAIL;
  SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(self->_state->previous));
  RemovePropA(window, kProperty);
  self->_state.reset();
  // The press and hover state must not outlive the window it names.
  if (g_tracking.window == window) {
    KillTimer(window, kRepeatFirstTimer);
    KillTimer(window, kRepeatTimer);
    if (GetCapture() == window) ReleaseCapture();
    ClearPress();
  }
  if (g_tracking.hot_window == window) {
    KillTimer(window, kHoverTimer);
    g_tracking.hot_window = nullptr;
    g_tracking.hot_bar = -1;
    g_tracking.hot_part = sb::kPartNone;
  }
  RedrawFrame(window);
  return 0;
}

BOOL CCustomScrollBarBase::IsInstalled(HWND window) { return Find(window) != nullptr; }

BOOL CCustomScrollBarBase::IsThumbTracking(HWND window) {
  const CCustomScrollBarBase* self = Find(window);
  return self && self->_state->dragging;
}

namespace {

// The bars a SB_HORZ / SB_VERT / SB_BOTH argument names.
template <typename F>
bool ForBars(int bar, F&& f) {
  if (bar != SB_HORZ && bar != SB_VERT && bar != SB_BOTH) return false;
  if (bar == SB_HORZ || bar == SB_BOTH) f(SB_HORZ);
  if (bar == SB_VERT || bar == SB_BOTH) f(SB_VERT);
  return true;
}

}  // namespace

int CCustomScrollBarBase::SetScrollInfo(HWND window, int bar, const SCROLLINFO* info, BOOL redraw) {
  CCustomScrollBarBase* self = Find(window);
  if (!self || (bar != SB_HORZ && bar != SB_VERT))
    return ::SetScrollInfo(window, bar, info, redraw);
  if (!info) return 0;
  State& state = *self->_state;
  Bar& b = state.bars[bar];
  const bool was_visible = (b.flags & sb::kVisible) != 0;
  const int pos = sb::ApplyScrollInfo(b.info, *info);
  bool visible = was_visible;
  if (!(info->fMask & SIF_DISABLENOSCROLL) && !(b.flags & sb::kKeepShown)) {
    visible = sb::WantsVisible(b.info);
  } else {
    visible = true;
  }
  if (visible != was_visible) ShowScrollBar(window, bar, visible);
  if (redraw && !state.dragging && visible == was_visible) SendMessageW(window, WM_NCPAINT, 1, 0);
  return pos;
}

BOOL CCustomScrollBarBase::GetScrollInfo(HWND window, int bar, SCROLLINFO* info) {
  CCustomScrollBarBase* self = Find(window);
  if (!self || (bar != SB_HORZ && bar != SB_VERT)) return ::GetScrollInfo(window, bar, info);
  if (!info) return FALSE;
  const SCROLLINFO& mine = self->_state->bars[bar].info;
  bool copied = false;
  if (info->fMask & SIF_RANGE) {
    info->nMin = mine.nMin;
    info->nMax = mine.nMax;
    copied = true;
  }
  if (info->fMask & SIF_PAGE) {
    info->nPage = mine.nPage;
    copied = true;
  }
  if (info->fMask & SIF_POS) {
    info->nPos = mine.nPos;
    copied = true;
  }
  if (info->fMask & SIF_TRACKPOS) {
    info->nTrackPos = mine.nTrackPos;
    copied = true;
  }
  return copied;
}

int CCustomScrollBarBase::SetScrollPos(HWND window, int bar, int pos, BOOL redraw) {
  CCustomScrollBarBase* self = Find(window);
  if (!self || (bar != SB_HORZ && bar != SB_VERT)) return ::SetScrollPos(window, bar, pos, redraw);
  const int previous = sb::ApplyScrollPos(self->_state->bars[bar].info, pos);
  if (redraw && !self->_state->dragging) SendMessageW(window, WM_NCPAINT, 1, 0);
  return previous;
}

int CCustomScrollBarBase::GetScrollPos(HWND window, int bar) {
  CCustomScrollBarBase* self = Find(window);
  if (!self || (bar != SB_HORZ && bar != SB_VERT)) return ::GetScrollPos(window, bar);
  return self->_state->bars[bar].info.nPos;
}

BOOL CCustomScrollBarBase::GetScrollRange(HWND window, int bar, int* min, int* max) {
  CCustomScrollBarBase* self = Find(window);
  if (!self || (bar != SB_HORZ && bar != SB_VERT)) return ::GetScrollRange(window, bar, min, max);
  if (!min || !max) return FALSE;
  *min = self->_state->bars[bar].info.nMin;
  *max = self->_state->bars[bar].info.nMax;
  return TRUE;
}

BOOL CCustomScrollBarBase::ShowScrollBar(HWND window, int bar, BOOL show) {
  CCustomScrollBarBase* self = Find(window);
  if (!self) return ::ShowScrollBar(window, bar, show);
  State& state = *self->_state;
  LONG style = GetWindowLongW(window, GWL_STYLE);
  const bool known = ForBars(bar, [&](int which) {
    const DWORD bit = which == SB_HORZ ? WS_HSCROLL : WS_VSCROLL;
    if (show) {
      state.bars[which].flags |= sb::kVisible;
      style |= bit;
    } else {
      state.bars[which].flags &= ~sb::kVisible;
      style &= ~bit;
    }
  });
  if (!known) return FALSE;
  // The control is not told: the bars are ours.
  state.style_change = true;
  SetWindowLongW(window, GWL_STYLE, style);
  state.style_change = false;
  RedrawFrame(window);
  return TRUE;
}

BOOL CCustomScrollBarBase::EnableScrollBar(HWND window, int bar, UINT arrows) {
  CCustomScrollBarBase* self = Find(window);
  if (!self) return ::EnableScrollBar(window, bar, arrows);
  bool changed = false;
  ForBars(bar, [&](int which) {
    int& flags = self->_state->bars[which].flags;
    const int next = (flags & ~3) | static_cast<int>(arrows & 3);
    changed |= next != flags;
    flags = next;
  });
  if (changed) SendMessageW(window, WM_NCPAINT, 1, 0);
  return changed;
}

BOOL CCustomScrollBarBase::SetSize(HWND window, int bar, int arrow, int width) {
  CCustomScrollBarBase* self = Find(window);
  if (!self || !sb::IsValidSize(arrow, width)) return FALSE;
  const bool known = ForBars(bar, [&](int which) {
    self->_state->bars[which].arrow = arrow;
    self->_state->bars[which].width = width;
  });
  if (known) RedrawFrame(window);
  return known;
}

BOOL CCustomScrollBarBase::SetStyle(HWND window, int bar, int style) {
  CCustomScrollBarBase* self = Find(window);
  if (!self) return FALSE;
  const bool known = ForBars(bar, [&](int which) { self->_state->bars[which].style = style; });
  if (known) SendMessageW(window, WM_NCPAINT, 1, 0);
  return known;
}

BOOL CCustomScrollBarBase::SetMinThumbSize(HWND window, int bar, int size) {
  CCustomScrollBarBase* self = Find(window);
  if (!self) return FALSE;
  const int value = size == -1 ? sb::DefaultMinThumb(GetVersion()) : size;
  return ForBars(bar, [&](int which) { self->_state->bars[which].min_thumb = value; });
}

LRESULT CALLBACK CCustomScrollBarBase::Proc(HWND window, UINT message, WPARAM wparam,
                                            LPARAM lparam) {
  CCustomScrollBarBase* self = Find(window);
  if (!self || !self->_state) return DefWindowProcW(window, message, wparam, lparam);
  State& state = *self->_state;
  try {
    switch (message) {
      case WM_SETCURSOR:
      case WM_NOTIFY:
        return state.CallPrevious(message, wparam, lparam);
      case WM_STYLECHANGED:
        if (state.style_change) return 0;
        if (wparam == static_cast<WPARAM>(GWL_EXSTYLE))
          state.left_scroll =
              (reinterpret_cast<const STYLESTRUCT*>(lparam)->styleNew & WS_EX_LEFTSCROLLBAR) != 0;
        return state.CallPrevious(message, wparam, lparam);
      case WM_STYLECHANGING:
        if (state.style_change) return 0;
        return state.CallPrevious(message, wparam, lparam);
      case WM_NCDESTROY: {
        const WNDPROC previous = state.previous;
        Uninstall(window);
        return CallWindowProcW(previous, window, message, wparam, lparam);
      }
      case WM_NCCALCSIZE:
        return state.NcCalcSize(wparam, lparam);
      case WM_NCHITTEST: {
        const POINT at = ToWindow(window, FromLparamScreen(lparam));
        for (int which : {SB_HORZ, SB_VERT}) {
          const RECT r = state.BarRect(which);
          if (state.bars[which].shown && PtInRect(&r, at))
            return which == SB_HORZ ? HTHSCROLL : HTVSCROLL;
        }
        return state.CallPrevious(message, wparam, lparam);
      }
      case WM_NCPAINT:
        return state.NcPaint(wparam, lparam);
      case WM_NCMOUSEMOVE:
        return state.HoverStart(wparam, lparam);
      case WM_NCLBUTTONDOWN:
        return state.Press(wparam, lparam);
      case WM_NCLBUTTONDBLCLK:
        if (wparam == HTHSCROLL || wparam == HTVSCROLL) return state.Press(wparam, lparam);
        return state.CallPrevious(message, wparam, lparam);
      case WM_NCRBUTTONDOWN:
      case WM_NCRBUTTONUP:
      case WM_NCMBUTTONDOWN:
      case WM_NCMBUTTONUP:
        if (wparam == HTHSCROLL || wparam == HTVSCROLL) return 0;
        return state.CallPrevious(message, wparam, lparam);
      case WM_TIMER:
        return state.Timer(wparam, lparam);
      case WM_MOUSEMOVE:
        return state.Move(wparam, lparam);
      case WM_LBUTTONUP:
        return state.Release(wparam, lparam);
      default:
        return state.CallPrevious(message, wparam, lparam);
    }
  } catch (...) {
    OV_LOG(kLogError, "scroll bar message %u failed", message);
    return 0;
  }
}

}  // namespace ui
