#include "SkinWindowItem.h"

#include <algorithm>

namespace ui {

CSkinWindowItem::CSkinWindowItem(ISkinWindowItemAccessor* accessor, int id)
    : _accessor(accessor), _id(id), _tool() {
  _tool.cbSize = sizeof(_tool);
  _tool.lpszText = LPSTR_TEXTCALLBACKA;
}

INT_PTR CSkinWindowItem::OnNotify(int, INT_PTR, INT_PTR) { return 0; }

void CSkinWindowItem::SetRect(int left, int top, int, int) { SetPosition(left, top); }

bool CSkinWindowItem::Contains(POINT pt) const {
  return pt.x >= 0 && pt.y >= 0 && pt.x < _width && pt.y < _height;
}

void CSkinWindowItem::SetEnabled(bool enabled) {
  if (_enabled == enabled) return;
  _enabled = enabled;
  OnEnabledChanged();
}

void CSkinWindowItem::SetVisible(bool visible) {
  if (_visible == visible) return;
  _visible = visible;
  OnVisibleChanged();
  Redraw(false);
}

void CSkinWindowItem::SetPosition(int x, int y) {
  _x = x;
  _y = y;
}

void CSkinWindowItem::SetSize(int width, int height) {
  _width = width;
  _height = height;
}

void CSkinWindowItem::SetBounds(int left, int top, int right, int bottom) {
  SetPosition(left, top);
  SetSize(right - left, bottom - top);
}

void CSkinWindowItem::SetToolTipText(const char* text) {
  if (text) {
    _tool_text = text;
    _tool.lpszText = &_tool_text[0];
  } else {
    _tool_text.clear();
    _tool.lpszText = LPSTR_TEXTCALLBACKA;
  }
  if (_accessor && _accessor->IsDrawable()) _accessor->AddToolTip(this);
}

COLORREF CSkinWindowItem::GetDisabledColour(COLORREF colour) {
  const int grey =
      (GetRValue(colour) * 306 + GetGValue(colour) * 600 + GetBValue(colour) * 117) / 1024;
  const int light = std::min(grey + 102, 255);
  return RGB(light, light, light);
}

void CSkinWindowItem::Redraw(bool update) {
  if (!_accessor) return;
  const RECT r = Rect();
  _accessor->InvalidateItemRect(r.left, r.top, r.right, r.bottom, update);
}

}  // namespace ui
