// How each kind of item draws itself into its window's back buffer. Every
// picture is taken from the cache and held locked while it is drawn; magenta
// pixels of a picture stay transparent.
#include "SkinItemDraw.h"

#include <algorithm>

#include "DC.h"
#include "GdiObject.h"
#include "SkinItemResources.h"
#include "SkinTextBlock.h"
#include "SkinWindowItemAnimation.h"
#include "SkinWindowItemButton.h"
#include "SkinWindowItemDigitImage.h"
#include "SkinWindowItemStatic.h"
#include "SkinWindowItemStaticImage.h"

namespace ui {

using lib::wfc::CDIB;
using lib::wfc::kMagenta;

CNarrowClip::CNarrowClip(CDIB& dib, const RECT& rect) : _dib(dib), _previous(dib.Clip()) {
  RECT narrowed;
  if (!IntersectRect(&narrowed, &_previous, &rect)) narrowed = RECT{0, 0, 0, 0};
  _dib.SetClip(narrowed);
}

namespace {

// The back buffer, when the item can draw now.
CDIB* Target(const CSkinWindowItem& item) {
  if (!item.IsVisible() || item.Width() <= 0 || item.Height() <= 0) return nullptr;
  ISkinWindowItemAccessor* accessor = item.Accessor();
  CDIB* back = accessor ? accessor->GetBackBuffer() : nullptr;
  return back && *back ? back : nullptr;
}

}  // namespace

// Button

void CSkinWindowItemButton::DrawBackgroundPicture(CDIB& target) {
  const SkinItemPicture& picture = _look.pictures[StatePicture()];
  CItemPicture source(picture.name);
  if (!source.Get()) return;
  const CDIB& pic = *source.Get();
  const RECT& src = picture.rect;
  const int width = Width();
  const int height = Height();
  if (!_look.divided) {
    target.BlitKeyed(0, 0, width, height, pic, src.left, src.top, kMagenta);
    return;
  }
  const int left = std::min(std::max(_look.left_cap, 0), width);
  const int right = std::min(std::max(_look.right_cap, 0), width - left);
  target.BlitKeyed(0, 0, left, height, pic, src.left, src.top, kMagenta);
  // Caps that fill the whole picture leave no middle to repeat.
  const int middle = picture.Width() - _look.left_cap - _look.right_cap;
  if (middle > 0 && width - left - right > 0) {
    const RECT tile = {src.left + _look.left_cap, src.top, src.left + _look.left_cap + middle,
                       src.top + height};
    target.TileBlit(left, 0, width - left - right, height, pic, true, &tile, 255, kMagenta);
  }
  target.BlitKeyed(width - right, 0, right, height, pic, src.right - right, src.top, kMagenta);
}

void CSkinWindowItemButton::DrawIcon(CDIB& target, const RECT& rect, bool selected) {
  int slot = selected ? kPictureIconSelected : kPictureIcon;
  if (!IsEnabled()) {
    const int disabled = selected ? kPictureDisabledSelected : kPictureDisabled;
    if (_look.pictures[disabled].IsSet()) slot = disabled;
  }
  const SkinItemPicture& picture = _look.pictures[slot];
  if (!picture.IsSet()) return;
  CItemPicture source(picture.name);
  if (!source.Get()) return;
  // The icon sits in the middle of the button.
  POINT at =
      CentreIn(rect.right - rect.left, rect.bottom - rect.top, picture.Width(), picture.Height());
  at.x += rect.left;
  at.y += rect.top;
  if (_inside) {
    at.x += _look.push_shift.x;
    at.y += _look.push_shift.y;
  }
  target.BlitKeyed(at.x, at.y, picture.Width(), picture.Height(), *source.Get(), picture.rect.left,
                   picture.rect.top, kMagenta);
}

void CSkinWindowItemButton::DrawCaption(CDIB& target) {
  const std::string& text = _selected ? _look.text_selected : _look.text;
  if (text.empty()) return;
  RECT r = {0, 0, Width(), Height()};
  if (_inside) OffsetRect(&r, _look.push_shift.x, _look.push_shift.y);
  r.left += _look.text_indent;
  COLORREF colour = _selected ? _look.text_colour_selected : _look.text_colour;
  if (!IsEnabled()) colour = GetDisabledColour(colour);
  if ((_look.format & DT_VCENTER) && !(_look.format & DT_SINGLELINE)) {
    // DrawTextA centres only single lines; measure and place the block.
    lib::wfc::CMemDC dc;
    lib::wfc::CDCStateSaver saver(dc);
    saver.SelectObject(0, CachedFont(&_face, _look.font));
    RECT measured = r;
    dc.DrawTextA(text.c_str(), &measured, _look.format | DT_CALCRECT);
    const int text_height = measured.bottom - measured.top;
    r.top = Height() / 2 - text_height / 2;
  }
  DrawItemText(target, text, r, CachedFont(&_face, _look.font), colour, _look.format,
               _look.antialias);
}

void CSkinWindowItemButton::Draw() {
  CDIB* back = Target(*this);
  if (!back) return;
  if (_canvas.Width() != Width() || _canvas.Height() != Height()) _canvas.Create(Width(), Height());
  CDIB& canvas = _canvas;
  canvas.Fill(kMagenta);
  DrawBackgroundPicture(canvas);
  bool icon_selected = false;
  if (IconShown(&icon_selected)) DrawIcon(canvas, RECT{0, 0, Width(), Height()}, icon_selected);
  DrawCaption(canvas);
  if (_alpha >= 255 || _hot || _tracking)
    back->BlitKeyed(X(), Y(), Width(), Height(), canvas, 0, 0, kMagenta);
  else
    back->AlphaBlit(X(), Y(), Width(), Height(), canvas, 0, 0, std::max(_alpha, 0), kMagenta);
}

// Text item

SIZE CSkinWindowItemStatic::MeasureText() {
  if (_text.empty()) return SIZE{0, 0};
  lib::wfc::CMemDC dc;
  lib::wfc::CDCStateSaver saver(dc);
  saver.SelectObject(0, CachedFont(&_face, _font));
  RECT measured = {0, 0, 0, 0};
  dc.DrawTextA(_text.c_str(), &measured, DT_CALCRECT | (_format & DT_SINGLELINE));
  return SIZE{measured.right - measured.left, measured.bottom - measured.top};
}

void CSkinWindowItemStatic::Draw() {
  CDIB* back = Target(*this);
  if (!back) return;
  DrawItemText(*back, _text, Rect(), CachedFont(&_face, _font), DrawnColour(), _format, _antialias);
}

// Animation

void CSkinWindowItemAnimation::Draw() {
  CDIB* back = Target(*this);
  if (!back) return;
  {
    CItemPicture source(_look.picture);
    if (source.Get()) {
      const RECT cell = CellRect(_frame);
      back->BlitKeyed(X(), Y(), Width(), Height(), *source.Get(), cell.left, cell.top, kMagenta);
    }
  }
  DrawTextBlock(*back, _look.text, _look.text.text, POINT{X(), Y()}, !Enabled(), &_text_font);
}

// Digit image

void CSkinWindowItemDigitImage::Draw() {
  CDIB* back = Target(*this);
  if (!back || !Enabled()) return;
  CItemPicture source(_look.strip.name);
  if (!source.Get()) return;
  const CDIB& pic = *source.Get();
  const RECT& strip = _look.strip.rect;
  const int digit_width = (strip.right - strip.left) / 10;
  const int digit_height = strip.bottom - strip.top;
  const DigitPlacement placement = PlaceDigits(_number, maximum_digits, minimum_digits);
  for (const auto& digit : placement.digits)
    back->BlitKeyed(X() + digit.second * digit_width, Y(), digit_width, digit_height, pic,
                    strip.left + digit.first * digit_width, strip.top, kMagenta);
  if (show_tilde)
    back->BlitKeyed(X() + placement.tilde_offset * digit_width, Y(),
                    _look.tilde.right - _look.tilde.left, _look.tilde.bottom - _look.tilde.top, pic,
                    _look.tilde.left, _look.tilde.top, kMagenta);
}

// Static image

void CSkinWindowItemStaticImage::Draw() {
  CDIB* back = Target(*this);
  if (!back) return;
  {
    CItemPicture source(_look.picture.name);
    const int width = _look.picture.Width();
    const int height = _look.picture.Height();
    // An empty picture has nothing to repeat or centre.
    if (source.Get() && width > 0 && height > 0) {
      CNarrowClip clip(*back, Rect());
      if (_look.tile) {
        back->TileBlit(X(), Y(), Width(), Height(), *source.Get(), true, &_look.picture.rect, 255,
                       kMagenta);
      } else {
        const POINT at = CentreIn(Width(), Height(), width, height);
        back->BlitKeyed(X() + at.x, Y() + at.y, width, height, *source.Get(),
                        _look.picture.rect.left, _look.picture.rect.top, kMagenta);
      }
    }
  }
  DrawTextBlock(*back, _look.text, _look.text.text, POINT{X(), Y()}, !Enabled(), &_text_font);
}

}  // namespace ui
