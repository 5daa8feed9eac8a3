// The two items that draw a nine-grid: the overlay (the window frame, with an
// alpha, magenta transparent) and the nine-grid image (opaque, with caption).
#include <algorithm>

#include "SkinItemDraw.h"
#include "SkinItemResources.h"
#include "SkinWindowItemOverlay.h"

namespace ui {

using lib::wfc::CDIB;

void DrawItemNineGrid(CDIB& target, const CDIB& source, const RECT& dest, const int xs[4],
                      const int ys[4], int alpha, COLORREF key) {
  const int wl = xs[1] - xs[0];
  const int wr = xs[3] - xs[2];
  const int ht = ys[1] - ys[0];
  const int hb = ys[3] - ys[2];
  const int cx[3] = {dest.left, dest.left + wl, dest.right - wr};
  const int cw[3] = {wl, dest.right - dest.left - wl - wr, wr};
  const int cy[3] = {dest.top, dest.top + ht, dest.bottom - hb};
  const int ch[3] = {ht, dest.bottom - dest.top - ht - hb, hb};
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) {
      if (cw[column] <= 0 || ch[row] <= 0) continue;
      const RECT cell = {xs[column], ys[row], xs[column + 1], ys[row + 1]};
      target.TileBlit(cx[column], cy[row], cw[column], ch[row], source, true, &cell, alpha, key);
    }
  }
}

void CSkinWindowItemOverlay::Draw() {
  if (!IsVisible() || !Accessor()) return;
  CDIB* back = Accessor()->GetBackBuffer();
  if (!back || !*back) return;
  CItemPicture source(_look.picture);
  if (!source.Get()) return;
  DrawItemNineGrid(*back, *source.Get(), Rect(), _look.xs, _look.ys, DrawnAlpha(),
                   lib::wfc::kMagenta);
}

void CSkinWindowItemResizableStaticImage::Draw() {
  if (!IsVisible() || !Accessor() || !Accessor()->IsDrawable()) return;
  CDIB* back = Accessor()->GetBackBuffer();
  if (!back || !*back) return;
  {
    CItemPicture source(_look.picture);
    if (source.Get())
      DrawItemNineGrid(*back, *source.Get(), Rect(), _look.xs, _look.ys, 255, lib::wfc::kNoKey);
  }
  DrawTextBlock(*back, _look.text, _text, POINT{X(), Y()}, !Enabled());
}

}  // namespace ui
