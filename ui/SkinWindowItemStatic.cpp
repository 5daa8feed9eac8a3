#include "SkinWindowItemStatic.h"

namespace ui {

std::string ExpandLineBreaks(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (IsDBCSLeadByteEx(932, c) && i + 1 < text.size()) {
      out += text[i];
      out += text[++i];
      continue;
    }
    if (text.compare(i, 4, "\\r\\n") == 0) {
      out += "\r\n";
      i += 3;
      continue;
    }
    out += text[i];
  }
  return out;
}

CSkinWindowItemStatic::CSkinWindowItemStatic(ISkinWindowItemAccessor* accessor, int id,
                                             StaticLook look)
    : CSkinWindowItem(accessor, id),
      _text(ExpandLineBreaks(look.text)),
      _font(look.font),
      _colour(look.colour),
      _antialias(look.antialias) {
  SetBounds(look.rect.left, look.rect.top, look.rect.right, look.rect.bottom);
}

void CSkinWindowItemStatic::SetRect(int left, int top, int right, int bottom) {
  SetBounds(left, top, right, bottom);
}

void CSkinWindowItemStatic::SetText(const std::string& text) {
  _text = ExpandLineBreaks(text);
  if (Accessor() && Accessor()->IsCreated()) Redraw();
}

COLORREF CSkinWindowItemStatic::DrawnColour() const {
  return Enabled() ? _colour : GetDisabledColour(_colour);
}

}  // namespace ui
