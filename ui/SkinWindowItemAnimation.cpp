#include "SkinWindowItemAnimation.h"

namespace ui {

int AnimationFrameAt(DWORD tick, DWORD start_tick, DWORD time, int frames, int start_frame) {
  // A skin that gives no time or no cells shows its first cell still rather
  // than dividing by zero.
  if (time == 0 || frames <= 0) return 0;
  const DWORD elapsed = tick - start_tick;
  const DWORD step = (elapsed / time) % static_cast<DWORD>(frames);
  return static_cast<int>((step + static_cast<DWORD>(start_frame)) % static_cast<DWORD>(frames));
}

CSkinWindowItemAnimation::CSkinWindowItemAnimation(ISkinWindowItemAccessor* accessor, int id,
                                                   AnimationLook look,
                                                   CSkinItemResources* resources)
    : CSkinWindowItem(accessor, id), _look(std::move(look)), _resources(resources) {
  SetBounds(_look.rect.left, _look.rect.top, _look.rect.right, _look.rect.bottom);
}

void CSkinWindowItemAnimation::OnMouseMove(POINT) {
  if (Accessor()) Accessor()->Notify(Id(), kReportMouseMove, 0);
}

bool CSkinWindowItemAnimation::OnLButtonDown(POINT) {
  if (Accessor()) Accessor()->Notify(Id(), kReportPress, 0);
  return false;
}

void CSkinWindowItemAnimation::OnMouseLeave() {
  if (Accessor()) Accessor()->Notify(Id(), kReportMouseLeave, 0);
}

void CSkinWindowItemAnimation::OnTick(DWORD tick) {
  if (!_running) return;
  if (!_started) {
    _started = true;
    _start_tick = tick;
  }
  const int frame =
      AnimationFrameAt(tick, _start_tick, static_cast<DWORD>(_look.time), Frames(), _start_frame);
  if (frame == _frame) return;
  _frame = frame;
  Redraw();
}

void CSkinWindowItemAnimation::OnEnabledChanged() {
  if (Enabled())
    Start();
  else
    Stop();
  Redraw();
}

void CSkinWindowItemAnimation::Start() {
  _started = false;
  _start_tick = 0;
  _start_frame = _frame;
  _running = true;
}

void CSkinWindowItemAnimation::Stop() {
  _running = false;
  _frame = 0;
  Redraw();
}

RECT CSkinWindowItemAnimation::CellRect(int frame) const {
  const int column = _look.columns > 0 ? frame % _look.columns : 0;
  const int row = _look.columns > 0 ? frame / _look.columns : 0;
  const int left = _look.origin.x + column * Width();
  const int top = _look.origin.y + row * Height();
  return RECT{left, top, left + Width(), top + Height()};
}

}  // namespace ui
