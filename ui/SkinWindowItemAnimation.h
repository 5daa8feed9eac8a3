// An animation: frames in a grid of cells of one picture, advanced by the
// window's timer tick. Same thread rules as every item.
#pragma once

#include "SkinItemPicture.h"
#include "SkinTextBlock.h"
#include "SkinWindowItem.h"

namespace ui {

class SkinSection;
class CSkinItemResources;

struct AnimationLook {
  RECT rect = {0, 0, 0, 0};
  std::string picture;
  POINT origin = {0, 0};  // the first cell's top-left corner in the picture
  int columns = 0;
  int rows = 0;
  int time = 0;  // ms per frame
  SkinTextBlock text;
};

AnimationLook ReadAnimationLook(const SkinSection& section);

// The frame shown `tick` ms after the run started at `start_tick` from
// `start_frame`. Tick counts wrap: the elapsed time is taken modulo 2^32.
// Without a frame sequence (time, or frames, 0) the first frame.
int AnimationFrameAt(DWORD tick, DWORD start_tick, DWORD time, int frames, int start_frame);

class CSkinWindowItemAnimation final : public CSkinWindowItem {
 public:
  CSkinWindowItemAnimation(ISkinWindowItemAccessor* accessor, int id, const SkinSection& section,
                           CSkinItemResources* resources);
  CSkinWindowItemAnimation(ISkinWindowItemAccessor* accessor, int id, AnimationLook look,
                           CSkinItemResources* resources);

  void OnMouseMove(POINT pt) override;
  bool OnLButtonDown(POINT pt) override;
  void OnMouseLeave() override;
  void OnTick(DWORD tick) override;
  void Draw() override;
  // Start when enabled, stop when disabled; redraw either way.
  void OnEnabledChanged() override;

  // Runs on from the current frame; the timing starts at the next tick.
  void Start();
  // Stands still at frame 0, drawn at once.
  void Stop();

  bool IsRunning() const { return _running; }
  int Frame() const { return _frame; }
  int Frames() const { return _look.columns * _look.rows; }
  // The cell of the picture a frame is cut from.
  RECT CellRect(int frame) const;
  const AnimationLook& Look() const { return _look; }

 private:
  AnimationLook _look;
  lib::wfc::CFont _text_font;      // made on first use
  CSkinItemResources* _resources;  // not owned
  bool _running = false;
  int _frame = 0;
  bool _started = false;  // whether the start tick has been taken
  DWORD _start_tick = 0;
  int _start_frame = 0;
};

}  // namespace ui
