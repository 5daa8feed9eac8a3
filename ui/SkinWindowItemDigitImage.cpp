#include "SkinWindowItemDigitImage.h"

namespace ui {

DigitPlacement PlaceDigits(DWORD number, int maximum_digits, int minimum_digits) {
  int digits[10];
  int count = 0;
  do {
    digits[count++] = static_cast<int>(number % 10);
    number /= 10;
  } while (number != 0 && count < 10);

  DigitPlacement placement;
  const int skip = count - maximum_digits > 0 ? count - maximum_digits : 0;
  int offset = minimum_digits > count ? minimum_digits - count : 0;
  for (int i = count - 1 - skip; i >= 0; --i) {
    placement.digits.emplace_back(digits[i], offset);
    ++offset;
  }
  placement.tilde_offset = offset;
  return placement;
}

CSkinWindowItemDigitImage::CSkinWindowItemDigitImage(ISkinWindowItemAccessor* accessor, int id,
                                                     DigitImageLook look,
                                                     CSkinItemResources* resources)
    : CSkinWindowItem(accessor, id), _look(std::move(look)), _resources(resources) {
  SetBounds(_look.rect.left, _look.rect.top, _look.rect.right, _look.rect.bottom);
  show_tilde = _look.tilde.left < _look.tilde.right && _look.tilde.top < _look.tilde.bottom;
  _tooltip = _look.tooltip;
}

void CSkinWindowItemDigitImage::OnMouseMove(POINT) {
  if (Accessor()) Accessor()->Notify(Id(), kReportMouseMove, 0);
}

void CSkinWindowItemDigitImage::OnMouseLeave() {
  if (Accessor()) Accessor()->Notify(Id(), kReportMouseLeave, 0);
}

void CSkinWindowItemDigitImage::SetRect(int left, int top, int right, int bottom) {
  SetBounds(left, top, right, bottom);
}

void CSkinWindowItemDigitImage::SetValue(DWORD number) {
  _number = number;
  if (Accessor() && Accessor()->IsCreated()) Redraw();
}

}  // namespace ui
