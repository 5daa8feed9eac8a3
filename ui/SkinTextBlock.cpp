#include "SkinTextBlock.h"

#include "AntialiasedText.h"
#include "DC.h"
#include "DIB.h"
#include "GdiObject.h"
#include "SkinWindowItem.h"

namespace ui {

HFONT CachedFont(lib::wfc::CFont* cache, const LOGFONTA& font) {
  if (!*cache) cache->Create(font);
  return cache->Get();
}

void DrawItemText(lib::wfc::CDIB& target, const std::string& text, const RECT& rect, HFONT font,
                  COLORREF colour, UINT format, bool antialias) {
  if (text.empty() || !target) return;
  const RECT clip = target.Clip();
  if (clip.left >= clip.right || clip.top >= clip.bottom) return;
  lib::wfc::CMemDC dc;
  lib::wfc::CDCStateSaver saver(dc);
  saver.SelectObject(0, font);
  saver.SelectObject(1, target.Get());
  saver.SetBkMode(TRANSPARENT);
  saver.SetTextColor(colour);
  RECT r = rect;
  bool drawn = false;
  if (antialias)
    drawn = lib::wfc::DrawTextAntialiased(dc, target.Header(), target.Bits(), text.c_str(), &r,
                                          format, &clip);
  if (!drawn) {
    // GDI text honours the redraw's clip too, or a lower text item would
    // paint over the items above it.
    IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
    r = rect;
    dc.DrawTextA(text.c_str(), &r, format);
    SelectClipRgn(dc, nullptr);
  }
  GdiFlush();
}

void DrawTextBlock(lib::wfc::CDIB& target, const SkinTextBlock& block, const std::string& text,
                   POINT origin, bool disabled, lib::wfc::CFont* font_cache) {
  if (text.empty()) return;
  RECT r = block.rect;
  OffsetRect(&r, origin.x, origin.y);
  const COLORREF colour =
      disabled ? CSkinWindowItem::GetDisabledColour(block.colour) : block.colour;
  DrawItemText(target, text, r, CachedFont(font_cache, block.font), colour, block.format,
               block.antialias);
}

}  // namespace ui
