// One picture, centred in the item or tiled over it, with an optional
// caption. Same thread rules as every item.
#pragma once

#include "SkinItemPicture.h"
#include "SkinTextBlock.h"
#include "SkinWindowItem.h"

namespace ui {

class SkinSection;
class CSkinItemResources;

struct StaticImageLook {
  RECT rect = {0, 0, 0, 0};
  SkinItemPicture picture;
  bool tile = false;
  std::string tooltip;
  SkinTextBlock text;
};

StaticImageLook ReadStaticImageLook(const SkinSection& section);

// Where a picture of the given size lands in an item: centred, with integer
// halving (negative when the picture is larger).
POINT CentreIn(int item_width, int item_height, int picture_width, int picture_height);

class CSkinWindowItemStaticImage final : public CSkinWindowItem {
 public:
  CSkinWindowItemStaticImage(ISkinWindowItemAccessor* accessor, int id, const SkinSection& section,
                             CSkinItemResources* resources);
  CSkinWindowItemStaticImage(ISkinWindowItemAccessor* accessor, int id, StaticImageLook look,
                             CSkinItemResources* resources);

  std::string GetText() const override { return _tooltip; }
  void OnMouseMove(POINT pt) override;
  bool OnLButtonDown(POINT pt) override;
  void OnMouseLeave() override;
  void Draw() override;
  void SetRect(int left, int top, int right, int bottom) override;
  void OnEnabledChanged() override { Redraw(); }

  void SetToolTipText(const std::string& text) { _tooltip = text; }
  void SetText(const std::string& text);
  const StaticImageLook& Look() const { return _look; }

 private:
  StaticImageLook _look;
  lib::wfc::CFont _text_font;      // made on first use
  CSkinItemResources* _resources;  // not owned
  std::string _tooltip;
};

}  // namespace ui
