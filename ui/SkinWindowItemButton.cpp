// The button's and toggle button's reactions to the mouse, the timer and the
// window's codes. Drawing and reading the skin are in files of their own.
#include "SkinWindowItemButton.h"

namespace ui {

namespace {

DWORD SystemClock() { return GetTickCount(); }

DWORD (*g_clock)() = &SystemClock;

}  // namespace

void CSkinWindowItemButton::SetClock(DWORD (*clock)()) { g_clock = clock ? clock : &SystemClock; }

CSkinWindowItemButton::CSkinWindowItemButton(ISkinWindowItemAccessor* accessor, int id,
                                             ButtonLook look, CSkinItemResources* resources)
    : CSkinWindowItem(accessor, id), _look(std::move(look)), _resources(resources) {
  const int width = _look.divided && _look.layout_width > 0 ? _look.layout_width : _look.width;
  SetBounds(_look.x, _look.y, _look.x + width, _look.y + _look.height);
}

std::string CSkinWindowItemButton::GetText() const {
  return _selected ? _look.tooltip_selected : _look.tooltip;
}

void CSkinWindowItemButton::Report(int code) {
  if (Accessor()) Accessor()->Notify(Id(), code, 0);
}

INT_PTR CSkinWindowItemButton::OnNotify(int code, INT_PTR value, INT_PTR extra) {
  switch (code) {
    case kItemSetSelected: {
      const bool selected = value != 0;
      if (_tracking || selected == _selected) return 0;
      _selected = selected;
      Redraw();
      if (Accessor() && Accessor()->IsDrawable()) Accessor()->AddToolTip(this);
      return 0;
    }
    case kItemGetSelected:
      return _selected ? 1 : 0;
    case kItemGetClickToggles:
      return _click_toggles ? 1 : 0;
    case kItemSetBlinking:
      _blinking = value != 0;
      _blink_phase = _blinking ? BlinkPhaseAt(g_clock()) : true;
      Redraw();
      return 0;
    case kItemSetIconMode:
      _icon_mode = static_cast<int>(value);
      Redraw();
      return 0;
    default:
      return CSkinWindowItem::OnNotify(code, value, extra);
  }
}

void CSkinWindowItemButton::OnMouseMove(POINT pt) {
  if (!IsEnabled()) return;
  const bool over = Contains(pt);
  const bool was_inside = _inside;
  const bool was_hot = _hot;
  if (_tracking) {
    if (over != _inside) {
      _inside = over;
      Report(over ? kReportTrackIn : kReportTrackOut);
    }
    _hot = !_inside;
  } else {
    _hot = over;
  }
  Report(kReportMouseMove);
  if (was_inside != _inside || was_hot != _hot) Redraw();
}

bool CSkinWindowItemButton::OnLButtonDown(POINT pt) {
  if (!IsEnabled()) return false;
  if (!_tracking) {
    _tracking = true;
    OnMouseMove(pt);
  }
  return true;
}

bool CSkinWindowItemButton::OnLButtonDblClk(POINT pt) {
  if (!IsEnabled()) return false;
  if (Accessor() && Accessor()->Notify(Id(), kReportDoubleClick, 0)) return false;
  return OnLButtonDown(pt);
}

void CSkinWindowItemButton::EndTracking(POINT pt, bool lost) {
  if (!_tracking) return;
  _tracking = false;
  if (_inside) {
    _inside = false;
    Report(kReportTrackOut);
  }
  const bool over = Contains(pt);
  _hot = over && IsEnabled();
  Redraw();
  if (over && !lost) Report(kReportClick);
  Report(kReportTrackEnd);
}

void CSkinWindowItemButton::OnLButtonUp(POINT pt) { EndTracking(pt, false); }

void CSkinWindowItemButton::OnLButtonCancel(POINT pt) { EndTracking(pt, true); }

bool CSkinWindowItemButton::OnRButtonDown(POINT) {
  if (IsEnabled()) Report(kReportRightDown);
  return false;
}

bool CSkinWindowItemButton::OnRButtonDblClk(POINT pt) {
  if (!IsEnabled()) return false;
  if (Accessor() && Accessor()->Notify(Id(), kReportRightDoubleClick, 0)) return false;
  return OnRButtonDown(pt);
}

void CSkinWindowItemButton::OnRButtonUp(POINT) {
  if (IsEnabled()) Report(kReportRightUp);
}

void CSkinWindowItemButton::OnMouseLeave() {
  if (!IsEnabled()) return;
  const bool hot = _tracking;
  const bool changed = hot != _hot;
  _hot = hot;
  if (changed) Redraw();
  Report(kReportMouseLeave);
}

bool CSkinWindowItemButton::OnSetCursor(POINT) {
  if (!IsEnabled() || !IsVisible()) return false;
  ::SetCursor(::LoadCursorA(nullptr, _hand_cursor ? MAKEINTRESOURCEA(32649) : IDC_ARROW));
  return true;
}

void CSkinWindowItemButton::OnTick(DWORD tick) {
  if (!_blinking) return;
  const bool phase = BlinkPhaseAt(tick);
  if (phase == _blink_phase) return;
  _blink_phase = phase;
  Redraw();
}

void CSkinWindowItemButton::SetRect(int left, int top, int right, int) {
  SetPosition(left, top);
  SetSize(right - left, Height());
}

void CSkinWindowItemButton::OnEnabledChanged() {
  if (!IsEnabled()) {
    // As if the capture were lost: no click from a button that went grey.
    if (_tracking) OnLButtonCancel(POINT{-1, -1});
    _hot = false;
  }
  Redraw();
}

void CSkinWindowItemButton::SetAlpha(int alpha) {
  if (alpha == _alpha) return;
  _alpha = alpha;
  Redraw();
}

bool CSkinWindowItemButton::IconShown(bool* selected) const {
  if (_icon_mode == 1) {
    *selected = _blinking ? _blink_phase : _selected;
    return true;
  }
  *selected = _selected;
  return _blink_phase || !IsEnabled();
}

// Toggle button: the pushed look (`_inside`) follows the selected state.

INT_PTR CSkinWindowItemToggleButton::OnNotify(int code, INT_PTR value, INT_PTR extra) {
  switch (code) {
    case kItemSetSelected: {
      if (_tracking) return 0;
      const bool selected = value != 0;
      const bool changed = selected != _selected || selected != _inside;
      _selected = selected;
      _inside = selected;
      if (changed) {
        Redraw();
        if (Accessor() && Accessor()->IsDrawable()) Accessor()->AddToolTip(this);
      }
      return 0;
    }
    case kItemGetSelected:
      return _selected ? 1 : 0;
    default:
      return CSkinWindowItemButton::OnNotify(code, value, extra);
  }
}

void CSkinWindowItemToggleButton::OnMouseMove(POINT pt) {
  if (!IsEnabled()) return;
  const bool over = Contains(pt);
  const bool was_inside = _inside;
  const bool was_hot = _hot;
  if (_tracking) {
    if (over) {
      _inside = _selected ? _inside : true;
      _hot = false;
    } else {
      _inside = _selected;
      _hot = true;
    }
  } else {
    _hot = over;
  }
  Report(kReportMouseMove);
  if (was_inside != _inside || was_hot != _hot) Redraw();
}

void CSkinWindowItemToggleButton::EndToggleTracking(POINT pt, bool lost) {
  if (!_tracking) return;
  _tracking = false;
  const bool over = Contains(pt);
  const bool click = over && !lost;
  if (click && _click_toggles) _selected = !_selected;
  _inside = _selected;
  _hot = over && IsEnabled();
  Redraw();
  if (click) Report(kReportClick);
}

void CSkinWindowItemToggleButton::OnLButtonUp(POINT pt) { EndToggleTracking(pt, false); }

void CSkinWindowItemToggleButton::OnLButtonCancel(POINT pt) { EndToggleTracking(pt, true); }

void CSkinWindowItemToggleButton::OnMouseLeave() {
  if (!IsEnabled()) return;
  const bool was_inside = _inside;
  const bool was_hot = _hot;
  if (_tracking) {
    _inside = _selected;
    _hot = true;
  } else {
    _hot = false;
  }
  if (was_inside != _inside || was_hot != _hot) Redraw();
  Report(kReportMouseLeave);
}

}  // namespace ui
