// The text item: a rectangle of text in a font and colour, drawn with
// DrawTextA or anti-aliased into the window's back buffer. It never takes the
// mouse. Same thread rules as every item.
#pragma once

#include <string>

#include "GdiObject.h"
#include "SkinWindowItem.h"

namespace ui {

class SkinSection;
class CSkinItemResources;

struct StaticLook {
  RECT rect = {0, 0, 0, 0};
  LOGFONTA font{};
  bool antialias = false;
  COLORREF colour = 0;
  std::string text;
};

StaticLook ReadStaticLook(const SkinSection& section);

// Every two-character sequence backslash-r-backslash-n becomes CR LF; bytes of
// double-byte characters are never taken for the escape.
std::string ExpandLineBreaks(const std::string& text);

class CSkinWindowItemStatic : public CSkinWindowItem {
 public:
  CSkinWindowItemStatic(ISkinWindowItemAccessor* accessor, int id, const SkinSection& section,
                        CSkinItemResources* resources);
  CSkinWindowItemStatic(ISkinWindowItemAccessor* accessor, int id, StaticLook look);

  std::string GetText() const override { return _tooltip; }
  bool HitTest() const override { return false; }
  void Draw() override;
  void SetRect(int left, int top, int right, int bottom) override;
  void OnEnabledChanged() override { Redraw(); }

  void SetText(const std::string& text);
  const std::string& Text() const { return _text; }
  void SetFormat(UINT format) { _format = format; }
  UINT Format() const { return _format; }
  void SetAntialias(bool on) { _antialias = on; }
  bool Antialias() const { return _antialias; }
  void SetColour(COLORREF colour) { _colour = colour; }
  COLORREF Colour() const { return _colour; }
  // The colour drawn now: greyed while disabled.
  COLORREF DrawnColour() const;
  // The text's extent in the item's own font (one line per line break).
  SIZE MeasureText();

 private:
  std::string _text;
  std::string _tooltip;
  LOGFONTA _font;
  COLORREF _colour;
  UINT _format = DT_WORDBREAK;
  bool _antialias;
  lib::wfc::CFont _face;  // made on first use
};

}  // namespace ui
