#include "SkinWindowItemOverlay.h"

#include <algorithm>

namespace ui {

CSkinWindowItemOverlay::CSkinWindowItemOverlay(ISkinWindowItemAccessor* accessor, int id,
                                               NineGridLook look, CSkinItemResources* resources)
    : CSkinWindowItem(accessor, id),
      _look(std::move(look)),
      _resources(resources),
      _alpha(_look.alpha) {
  SetBounds(_look.rect.left, _look.rect.top, _look.rect.right, _look.rect.bottom);
}

void CSkinWindowItemOverlay::SetRect(int left, int top, int right, int bottom) {
  SetBounds(left, top, right, bottom);
}

void CSkinWindowItemOverlay::SetAlpha(int alpha) {
  _alpha = alpha;
  if (Accessor() && Accessor()->IsDrawable()) Redraw();
}

int CSkinWindowItemOverlay::DrawnAlpha() const { return std::clamp(_alpha, 0, 255); }

CSkinWindowItemResizableStaticImage::CSkinWindowItemResizableStaticImage(
    ISkinWindowItemAccessor* accessor, int id, NineGridLook look, CSkinItemResources* resources)
    : CSkinWindowItem(accessor, id), _look(std::move(look)), _resources(resources) {
  SetBounds(_look.rect.left, _look.rect.top, _look.rect.right, _look.rect.bottom);
  _text = _look.text.text;
}

void CSkinWindowItemResizableStaticImage::SetRect(int left, int top, int right, int bottom) {
  SetBounds(left, top, right, bottom);
}

void CSkinWindowItemResizableStaticImage::SetText(const std::string& text) {
  _text = text;
  if (Accessor() && Accessor()->IsCreated()) Redraw();
}

}  // namespace ui
