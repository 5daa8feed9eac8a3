#include "SkinWindowItemStaticImage.h"

namespace ui {

POINT CentreIn(int item_width, int item_height, int picture_width, int picture_height) {
  return POINT{(item_width - picture_width) / 2, (item_height - picture_height) / 2};
}

CSkinWindowItemStaticImage::CSkinWindowItemStaticImage(ISkinWindowItemAccessor* accessor, int id,
                                                       StaticImageLook look,
                                                       CSkinItemResources* resources)
    : CSkinWindowItem(accessor, id), _look(std::move(look)), _resources(resources) {
  SetBounds(_look.rect.left, _look.rect.top, _look.rect.right, _look.rect.bottom);
  _tooltip = _look.tooltip;
}

void CSkinWindowItemStaticImage::OnMouseMove(POINT) {
  if (Accessor()) Accessor()->Notify(Id(), kReportMouseMove, 0);
}

bool CSkinWindowItemStaticImage::OnLButtonDown(POINT) {
  if (Accessor()) Accessor()->Notify(Id(), kReportPress, 0);
  return false;
}

void CSkinWindowItemStaticImage::OnMouseLeave() {
  if (Accessor()) Accessor()->Notify(Id(), kReportMouseLeave, 0);
}

void CSkinWindowItemStaticImage::SetRect(int left, int top, int right, int bottom) {
  SetBounds(left, top, right, bottom);
}

void CSkinWindowItemStaticImage::SetText(const std::string& text) {
  _look.text.text = text;
  if (Accessor() && Accessor()->IsCreated()) Redraw();
}

}  // namespace ui
