// The overlay (a nine-grid drawn with an alpha over the window, the window
// frame; it never takes the mouse) and the nine-grid image (a nine-grid
// stretched to the item, with an optional caption). Same thread rules as
// every item.
#pragma once

#include "NineGrid.h"
#include "SkinItemPicture.h"
#include "SkinTextBlock.h"
#include "SkinWindowItem.h"

namespace ui {

class SkinSection;
class CSkinItemResources;

struct NineGridLook {
  RECT rect = {0, 0, 0, 0};
  std::string picture;
  int xs[4] = {0, 0, 0, 0};  // left, first divider, second divider, right
  int ys[4] = {0, 0, 0, 0};  // top, first divider, second divider, bottom
  int alpha = 255;           // the skin's Alpha, clamped to 0-255
  SkinTextBlock text;
};

NineGridLook ReadOverlayLook(const SkinSection& section);
NineGridLook ReadNineGridImageLook(const SkinSection& section);

class CSkinWindowItemOverlay final : public CSkinWindowItem, public CResizableDIBHelper {
 public:
  CSkinWindowItemOverlay(ISkinWindowItemAccessor* accessor, int id, const SkinSection& section,
                         CSkinItemResources* resources);
  CSkinWindowItemOverlay(ISkinWindowItemAccessor* accessor, int id, NineGridLook look,
                         CSkinItemResources* resources);

  bool HitTest() const override { return false; }
  void Draw() override;
  void SetRect(int left, int top, int right, int bottom) override;
  void OnEnabledChanged() override { Redraw(); }

  // Kept as given so a window can fade step by step from its own value;
  // clamped to 0-255 only when drawn. Redraws even when unchanged.
  void SetAlpha(int alpha);
  int Alpha() const { return _alpha; }
  int DrawnAlpha() const;
  int TabIndex() const { return -1; }

 private:
  NineGridLook _look;
  CSkinItemResources* _resources;  // not owned
  int _alpha;
};

class CSkinWindowItemResizableStaticImage final : public CSkinWindowItem,
                                                  public CResizableDIBHelper {
 public:
  CSkinWindowItemResizableStaticImage(ISkinWindowItemAccessor* accessor, int id,
                                      const SkinSection& section, CSkinItemResources* resources);
  CSkinWindowItemResizableStaticImage(ISkinWindowItemAccessor* accessor, int id, NineGridLook look,
                                      CSkinItemResources* resources);

  void Draw() override;
  void SetRect(int left, int top, int right, int bottom) override;
  void OnEnabledChanged() override { Redraw(); }

  void SetText(const std::string& text);
  const std::string& Text() const { return _text; }

 private:
  NineGridLook _look;
  CSkinItemResources* _resources;  // not owned
  std::string _text;
  lib::wfc::CFont _text_font;  // made on first use
};

}  // namespace ui
