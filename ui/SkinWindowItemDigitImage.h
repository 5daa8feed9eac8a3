// A number drawn from a strip of ten digit pictures, with an optional tilde
// after it. Same thread rules as every item.
#pragma once

#include <vector>

#include "SkinItemPicture.h"
#include "SkinWindowItem.h"

namespace ui {

class SkinSection;
class CSkinItemResources;

struct DigitImageLook {
  RECT rect = {0, 0, 0, 0};
  SkinItemPicture strip;  // ten digits side by side
  RECT tilde = {0, 0, 0, 0};
  std::string tooltip;
};

DigitImageLook ReadDigitImageLook(const SkinSection& section);

// Where the digits of a number go: each drawn digit with its x offset in
// digit widths from the item's left, and the offset of the tilde.
struct DigitPlacement {
  std::vector<std::pair<int, int>> digits;  // (digit, offset)
  int tilde_offset = 0;
};
DigitPlacement PlaceDigits(DWORD number, int maximum_digits, int minimum_digits);

class CSkinWindowItemDigitImage final : public CSkinWindowItem {
 public:
  CSkinWindowItemDigitImage(ISkinWindowItemAccessor* accessor, int id, const SkinSection& section,
                            CSkinItemResources* resources);
  CSkinWindowItemDigitImage(ISkinWindowItemAccessor* accessor, int id, DigitImageLook look,
                            CSkinItemResources* resources);

  std::string GetText() const override { return _tooltip; }
  void OnMouseMove(POINT pt) override;
  void OnMouseLeave() override;
  void Draw() override;
  void SetRect(int left, int top, int right, int bottom) override;
  void OnEnabledChanged() override { Redraw(); }

  void SetValue(DWORD number);
  DWORD Value() const { return _number; }
  void SetToolTipText(const std::string& text) { _tooltip = text; }

  // Written by the owning window after construction.
  bool show_tilde = false;
  int maximum_digits = 0;
  int minimum_digits = 0;

 private:
  DigitImageLook _look;
  CSkinItemResources* _resources;  // not owned
  std::string _tooltip;
  DWORD _number = 0;
};

}  // namespace ui
