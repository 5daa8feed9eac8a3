// The skinned scroll bar: an arrow button at each end, a track and a thumb
// whose length shows the page. The bar reports scrolling with the standard
// scroll codes and its owner answers by setting the position. Repeats while
// a part is held follow the window's item tick. Same thread rules as every
// item.
#pragma once

#include "SkinItemPicture.h"
#include "SkinWindowItem.h"

namespace ui {

class SkinSection;
class CSkinItemResources;
class CSkinWindowItemScrollBar;

// Everything a scroll bar reads from its skin section.
struct ScrollBarLook {
  bool vertical = true;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  SIZE button = {0, 0};
  SIZE thumb = {0, 0};
  int thumb_start = 0;  // fixed lengths at the thumb's ends
  int thumb_middle = 0;
  int thumb_end = 0;
  SkinItemPicture track;
  int track_start = 0;
  int track_end = 0;
  // Normal, hot, pushed, pushed and hot.
  SkinItemPicture first[4];
  SkinItemPicture second[4];
  SkinItemPicture thumb_pictures[4];
  SkinItemPicture first_label;
  SkinItemPicture second_label;
  SkinItemPicture first_label_disabled;
  SkinItemPicture second_label_disabled;
};

// Reads and tests a scroll bar's section; throws CSkinWindowException.
ScrollBarLook ReadScrollBarLook(const SkinSection& section);

enum ScrollBarPart : int {
  kScrollPartNone = -1,
  kScrollPartFirst = 0,
  kScrollPartSecond = 1,
  kScrollPartThumb = 2,
  kScrollPartTrackBefore = 4,
  kScrollPartTrackAfter = 5,
};

// The bar's layout along its length, in item coordinates of that axis.
struct ScrollBarGeometry {
  int length = 0;
  int button = 0;
  int track_start = 0;
  int track_end = 0;
  // The room the thumb's middle and its travel share: the track less the
  // thumb's fixed ends. The thumb exists only when it is above 0.
  int travel = 0;
  bool has_thumb = false;
  int thumb_start = 0;
  int thumb_end = 0;

  // The part at a coordinate along the bar (-1 outside).
  int PartAt(int along) const;
};

// The pure layout: position 0..maximum, page at least 1.
ScrollBarGeometry ComputeScrollBarGeometry(int length, int button, int fixed_start, int fixed_end,
                                           int position, int maximum, int page);
// The position a thumb offset within the track stands for, clamped to
// 0..maximum; 0 when there is no room to travel.
int ScrollPositionFromOffset(int offset, int travel, int maximum, int page);

// Who hears the bar's scroll codes instead of the owner window.
class IScrollBarListener {
 public:
  virtual ~IScrollBarListener() = default;
  // `message` is WM_VSCROLL or WM_HSCROLL; `position` the new position for
  // SB_THUMBPOSITION, else 0.
  virtual void OnScroll(CSkinWindowItemScrollBar* bar, UINT message, int code, int position) = 0;
};

class CSkinWindowItemScrollBar final : public CSkinWindowItem {
 public:
  static constexpr DWORD kFirstRepeatMs = 500;
  static constexpr DWORD kRepeatMs = 40;

  CSkinWindowItemScrollBar(ISkinWindowItemAccessor* accessor, int id, const SkinSection& section,
                           CSkinItemResources* resources);
  CSkinWindowItemScrollBar(ISkinWindowItemAccessor* accessor, int id, ScrollBarLook look);

  bool IsEnabled() const override;
  void OnMouseMove(POINT pt) override;
  bool OnLButtonDown(POINT pt) override;
  void OnLButtonUp(POINT pt) override;
  void OnMouseLeave() override;
  void OnTick(DWORD tick) override;
  void Draw() override;
  // Takes position and size from the four edges.
  void SetRect(int left, int top, int right, int bottom) override;
  void OnEnabledChanged() override;

  int GetPos() const { return _position; }
  void SetPos(int position);
  // A page of 0 counts as 1; the maximum is 0 when the rows fit in a page.
  void SetRange(int last, int page);
  int GetMaximum() const { return _maximum; }
  int GetPage() const { return _page; }
  // Moves the position by delta (clamped to the range) and tells the target
  // item (the view it scrolls) with a thumb-track code at the new position.
  void ScrollBy(int delta, CSkinWindowItem* target);

  // Null: the codes go to the owner window as scroll messages.
  void SetListener(IScrollBarListener* listener) { _listener = listener; }

  const ScrollBarLook& Look() const { return _look; }
  ScrollBarGeometry Geometry() const;
  int HoverPart() const { return _hover; }
  int PressedPart() const { return _pressed; }
  // The pressed part while the pointer is over it, else -1.
  int HeldPart() const { return _held; }
  // 0 normal, 1 hot, 2 pushed, 3 pushed and hot; 0 while disabled.
  int StateOf(int part) const;
  bool RepeatPending() const { return _repeat_pending; }

  // The clock presses start their repeat from.
  static void SetClock(DWORD (*clock)());

 private:
  int Along(POINT pt) const { return _look.vertical ? pt.y : pt.x; }
  int PartAt(POINT pt) const;
  void Send(int code, int position);
  // Sends the code of a button or track part, when it applies.
  void SendPartCode(int part);

  ScrollBarLook _look;
  IScrollBarListener* _listener = nullptr;  // not owned
  int _position = 0;
  int _maximum = 0;
  int _page = 1;
  int _hover = kScrollPartNone;
  int _pressed = kScrollPartNone;
  int _held = kScrollPartNone;
  int _press_position = 0;
  int _press_along = 0;
  int _along = 0;
  // A flag beside the due time: any tick count, 0 included, can be due.
  bool _repeat_pending = false;
  DWORD _repeat_due = 0;
};

}  // namespace ui
