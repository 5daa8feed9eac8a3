// The caption that animation, static image and nine-grid image items can
// carry: text, a rectangle relative to the item, a font and a colour. Also
// the text drawing every item shares: anti-aliased into the bitmap when the
// format allows, DrawTextA otherwise, always inside the bitmap's clip.
#pragma once

#include <string>

#include "GdiObject.h"
#include "OvWindows.h"

namespace lib::wfc {
class CDIB;
}  // namespace lib::wfc

namespace ui {

class SkinSection;

struct SkinTextBlock {
  std::string text;
  RECT rect = {0, 0, 0, 0};  // relative to the item's top-left corner
  LOGFONTA font{};
  COLORREF colour = 0;
  bool antialias = true;
  UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
};

// The text block keys of a section that has "Text" (tested first); the
// defaults otherwise. Throws CSkinWindowException.
SkinTextBlock ReadTextBlock(const SkinSection& section);

// Draws text into the bitmap in `rect` (bitmap coordinates): anti-aliased
// when asked and possible, else DrawTextA with the format plus DT_NOPREFIX.
// Nothing is drawn outside the bitmap's clip rectangle.
void DrawItemText(lib::wfc::CDIB& target, const std::string& text, const RECT& rect, HFONT font,
                  COLORREF colour, UINT format, bool antialias);

// The font of a logical font, made on first use and kept: items draw often.
HFONT CachedFont(lib::wfc::CFont* cache, const LOGFONTA& font);

// The block's text at the item's position, greyed when the item is disabled.
void DrawTextBlock(lib::wfc::CDIB& target, const SkinTextBlock& block, const std::string& text,
                   POINT item_origin, bool disabled, lib::wfc::CFont* font_cache);

}  // namespace ui
