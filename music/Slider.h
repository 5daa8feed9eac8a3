// The horizontal slider item: an integer range with a step, a thumb and a
// second value marker, drawn from track and thumb pictures whose magenta
// pixels stay transparent. The section holds one or two sets of keys (one
// per orientation) as the layout mode says; the item draws and takes the
// mouse from the horizontal set. Same thread rules as every item.
#pragma once

#include <string>

#include "SkinItemPicture.h"
#include "SkinWindow.h"
#include "SkinWindowItem.h"
#include "SliderMath.h"

namespace ui {

// Codes a window passes to the slider's OnNotify.
enum SliderItemCode : int {
  kSliderGetMinimum = 100000007,
  kSliderGetMaximum = 100000008,
  kSliderSetMinimum = 100000009,
  kSliderSetMaximum = 100000010,
  kSliderSetStep = 100000011,
  kSliderGetValue = 100000012,
  kSliderSetValue = 100000013,
};

// Codes the slider reports to its window.
enum SliderReport : int {
  kSliderReportMoved = 8,
  kSliderReportReleased = 9,
};

// Which sets a section holds: 0 the vertical set under the plain key names,
// 1 the horizontal set under the plain names, 2 both, under the names with
// ".h" and ".v" appended.
enum SliderLayout : int {
  kSliderLayoutVertical = 0,
  kSliderLayoutHorizontal = 1,
  kSliderLayoutBoth = 2,
};

enum SliderPictureSlot : int {
  kSliderMax = 0,  // the track from the minimum end to the position
  kSliderMin = 1,  // the track from the position to the maximum end
  kSliderMaxSecond = 2,
  kSliderDisabled = 3,
  kSliderThumb = 4,
  kSliderThumbDisabled = 5,
  kSliderThumbHot = 6,
  kSliderSlots = 7,
};

struct SliderSet {
  RECT rect = {0, 0, 0, 0};
  SkinItemPicture pictures[kSliderSlots];
};

class CSkinWindowItemSlider : public CSkinWindowItem {
 public:
  // Tests and reads the section; throws CSkinWindowException (after its
  // box) for a missing key or a picture that cannot be read.
  CSkinWindowItemSlider(ISkinWindowItemAccessor* accessor, int id, const SkinSection& section,
                        CSkinItemResources* resources, int layout);
  ~CSkinWindowItemSlider() override = default;

  void Load(const SkinSection& section, CSkinItemResources* resources);

  std::string GetText() const override { return _tooltip; }
  INT_PTR OnNotify(int code, INT_PTR value, INT_PTR extra) override;
  void OnMouseMove(POINT pt) override;
  bool OnLButtonDown(POINT pt) override;
  void OnLButtonUp(POINT pt) override;
  void OnLButtonCancel(POINT pt) override;
  void OnMouseLeave() override;
  bool OnSetCursor(POINT pt) override;
  void Draw() override;
  void OnEnabledChanged() override;

  // The state, for the window's code and for tests.
  const SliderRange& Range() const { return _range; }
  double Position() const { return _position; }
  double SecondPosition() const { return _second; }
  bool IsDragging() const { return _dragging; }
  bool IsHot() const { return _hot; }
  const SliderSet& Horizontal() const { return _sets[0]; }
  const SliderSet& Vertical() const { return _sets[1]; }
  // Relative to the item's top-left corner.
  RECT ThumbRect() const;

 private:
  bool MoveTo(POINT pt);
  void Report(int code);

  int _layout;
  SliderSet _sets[2];  // horizontal, vertical
  SliderRange _range;
  double _position = 0.0;
  double _second = 0.0;
  bool _dragging = false;
  bool _hot = false;
  std::string _tooltip;
  int _last_reported = -1;
};

// Constructs the slider from the section and adds it to the window.
CSkinWindowItem* CreateSlider(CSkinWindow* window, int id, const SkinSection& section, int layout);

}  // namespace ui
