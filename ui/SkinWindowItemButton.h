// The skinned push button and the toggle button. Four state pictures cut from
// the skin's picture, an optional icon with selected and disabled variants,
// an optional caption, a tooltip, blinking, an alpha and a width-stretchable
// three-part background. Presses and clicks reach the window through the
// item accessor. Same thread rules as every item.
#pragma once

#include <string>

#include "DIB.h"
#include "GdiObject.h"
#include "SkinItemPicture.h"
#include "SkinWindowItem.h"

namespace ui {

class SkinSection;

// Everything a button reads from its skin section.
struct ButtonLook {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  // NormalImage, HotNormalImage, PushImage, HotPushImage, Image, ImageP,
  // DisableImage, DisableImageP.
  SkinItemPicture pictures[8];
  std::string tooltip;
  std::string tooltip_selected;
  std::string text;
  std::string text_selected;
  COLORREF text_colour = 0;
  COLORREF text_colour_selected = 0;
  LOGFONTA font{};
  bool has_font = false;
  bool antialias = false;
  UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
  int text_indent = 0;
  POINT push_shift = {0, 0};
  // Width layout: the initial width and the two caps; off when `divided` is
  // false.
  bool divided = false;
  int layout_width = 0;
  int left_cap = 0;
  int right_cap = 0;
  bool auto_disable = false;
};

enum ButtonPictureSlot : int {
  kPictureNormal = 0,
  kPictureHotNormal = 1,
  kPicturePush = 2,
  kPictureHotPush = 3,
  kPictureIcon = 4,
  kPictureIconSelected = 5,
  kPictureDisabled = 6,
  kPictureDisabledSelected = 7,
};

// Reads and tests a button's section; throws CSkinWindowException.
ButtonLook ReadButtonLook(const SkinSection& section);

class CSkinWindowItemButton : public CSkinWindowItem {
 public:
  CSkinWindowItemButton(ISkinWindowItemAccessor* accessor, int id, const SkinSection& section,
                        CSkinItemResources* resources);
  CSkinWindowItemButton(ISkinWindowItemAccessor* accessor, int id, ButtonLook look,
                        CSkinItemResources* resources);
  ~CSkinWindowItemButton() override = default;

  std::string GetText() const override;
  INT_PTR OnNotify(int code, INT_PTR value, INT_PTR extra) override;
  void OnMouseMove(POINT pt) override;
  bool OnLButtonDown(POINT pt) override;
  bool OnLButtonDblClk(POINT pt) override;
  void OnLButtonUp(POINT pt) override;
  void OnLButtonCancel(POINT pt) override;
  bool OnRButtonDown(POINT pt) override;
  bool OnRButtonDblClk(POINT pt) override;
  void OnRButtonUp(POINT pt) override;
  void OnMouseLeave() override;
  bool OnSetCursor(POINT pt) override;
  void OnTick(DWORD tick) override;
  void Draw() override;
  // Moves the button and takes the new width; the height stays.
  void SetRect(int left, int top, int right, int bottom) override;
  void OnEnabledChanged() override;

  void SetAlpha(int alpha);
  int Alpha() const { return _alpha; }
  void SetHandCursor(bool hand) { _hand_cursor = hand; }
  bool IsAutoDisable() const { return _look.auto_disable; }
  const ButtonLook& Look() const { return _look; }

  // The state, for the window's code and for tests.
  bool IsTracking() const { return _tracking; }
  bool IsInside() const { return _inside; }
  bool IsHot() const { return _hot; }
  bool IsSelected() const { return _selected; }
  bool IsBlinking() const { return _blinking; }
  bool BlinkPhase() const { return _blink_phase; }
  int IconMode() const { return _icon_mode; }
  // 0 normal, 1 hot, 2 pushed, 3 hot pushed.
  int StatePicture() const { return _inside ? (_hot ? 3 : 2) : (_hot ? 1 : 0); }
  // Whether the icon is drawn now, and with which selected flag.
  bool IconShown(bool* selected) const;
  // The clock the blink phase follows when blinking is switched on.
  static void SetClock(DWORD (*clock)());

  static bool BlinkPhaseAt(DWORD tick) { return tick % 800 < 400; }

 protected:
  // Draws the icon picture into `target` (item coordinates).
  virtual void DrawIcon(lib::wfc::CDIB& target, const RECT& rect, bool selected);
  void Report(int code);
  void EndTracking(POINT pt, bool lost);

  bool _tracking = false;
  bool _inside = false;
  bool _hot = false;
  bool _selected = false;
  bool _blinking = false;
  bool _blink_phase = true;
  int _icon_mode = 0;
  bool _click_toggles = true;
  int _alpha = 255;
  bool _hand_cursor = true;
  ButtonLook _look;
  CSkinItemResources* _resources;  // not owned
  lib::wfc::CFont _face;           // made on first use
  lib::wfc::CDIB _canvas;          // the item's size, redrawn for every Draw

 private:
  void DrawCaption(lib::wfc::CDIB& target);
  void DrawBackgroundPicture(lib::wfc::CDIB& target);
};

// Keeps a selected state that a click flips; drawn pushed while selected.
class CSkinWindowItemToggleButton : public CSkinWindowItemButton {
 public:
  using CSkinWindowItemButton::CSkinWindowItemButton;

  INT_PTR OnNotify(int code, INT_PTR value, INT_PTR extra) override;
  void OnMouseMove(POINT pt) override;
  void OnLButtonUp(POINT pt) override;
  void OnLButtonCancel(POINT pt) override;
  void OnMouseLeave() override;

 private:
  void EndToggleTracking(POINT pt, bool lost);
};

}  // namespace ui
