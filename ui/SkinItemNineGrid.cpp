// The two items that draw a nine-grid: the overlay (the window frame, with an
// alpha, magenta transparent) and the nine-grid image (opaque, with caption).
#include <algorithm>

#include "NineGrid.h"
#include "SkinItemDraw.h"
#include "SkinItemResources.h"
#include "SkinWindowItemOverlay.h"

namespace ui {

using lib::wfc::CDIB;

namespace {

NineGrid GridOf(const NineGridLook& look) {
  NineGrid grid;
  for (int i = 0; i < 4; ++i) {
    grid.x[i] = look.xs[i];
    grid.y[i] = look.ys[i];
  }
  return grid;
}

}  // namespace

void CSkinWindowItemOverlay::Draw() {
  if (!IsVisible() || !Accessor()) return;
  CDIB* back = Accessor()->GetBackBuffer();
  if (!back || !*back) return;
  CItemPicture source(_look.picture);
  if (!source.Get()) return;
  DrawNineGrid(*back, *source.Get(), Rect(), nullptr, GridOf(_look), DrawnAlpha(),
               lib::wfc::kMagenta);
}

void CSkinWindowItemResizableStaticImage::Draw() {
  if (!IsVisible() || !Accessor() || !Accessor()->IsDrawable()) return;
  CDIB* back = Accessor()->GetBackBuffer();
  if (!back || !*back) return;
  {
    CItemPicture source(_look.picture);
    if (source.Get())
      DrawNineGrid(*back, *source.Get(), Rect(), nullptr, GridOf(_look), 255, lib::wfc::kNoKey);
  }
  DrawTextBlock(*back, _look.text, _text, POINT{X(), Y()}, !Enabled(), &_text_font);
}

}  // namespace ui
