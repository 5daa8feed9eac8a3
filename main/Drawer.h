// The drawer of the main program's notice windows: the window grows upward
// out of its owner's top edge, 20 pixels every 3 ms, then its screen overlay
// fades out, 10 alpha every 20 ms, uncovering the window's content. The
// geometry is pure and tested apart; CDrawer drives it on the window's own
// timers and belongs to the window's thread.
#pragma once

#include "OvWindows.h"

namespace ui {
class CSkinWindow;
class CSkinWindowItemOverlay;
class SkinDefinition;
struct SkinItemDescriptor;
}  // namespace ui

namespace mainwin {

constexpr UINT_PTR kSlideTimer = 2001;
constexpr UINT kSlideMs = 3;
constexpr int kSlideStep = 20;
constexpr UINT_PTR kFadeTimer = 2002;
constexpr UINT kFadeMs = 20;
constexpr int kFadeStep = 10;
// The drawer's bottom edge lies this far below the owner's top, behind it.
constexpr int kDrawerOverlap = 4;

// The owner's top at which a drawer of `height` still fits below the work
// area's top; the owner's own top when it already does.
int OwnerTopForDrawer(int owner_top, int height, int work_top);
// The drawer before it slides: the owner's left and width, height 0, its
// bottom edge kDrawerOverlap below the owner's top.
RECT DrawerStartRect(const RECT& owner);
// One slide tick: the top moves up kSlideStep; true once the height has
// reached `height` (the top is then fixed there).
bool SlideStep(RECT* rect, int height);
// One fade tick: the alpha drops kFadeStep, not below 0; true at 0.
bool FadeStep(int* alpha);

// The overlay a drawer fades, made from its skin section to cover the
// window's whole layout; owned by the window. Throws CSkinWindowException.
ui::CSkinWindowItemOverlay* CreateScreenOverlay(ui::CSkinWindow* window,
                                                const ui::SkinDefinition& definition,
                                                const ui::SkinItemDescriptor& item);

class CDrawer final {
 public:
  CDrawer() = default;
  CDrawer(const CDrawer&) = delete;
  CDrawer& operator=(const CDrawer&) = delete;

  // Restores the owner, moves it down when the drawer would not fit above
  // it, places `window` on the owner's top edge, shows and activates it and
  // starts the slide. The overlay (not owned, may be null) starts opaque.
  void Open(HWND window, HWND owner, int height, ui::CSkinWindowItemOverlay* overlay);
  // The window's timer ticks; false for a timer that is not the drawer's.
  bool OnTimer(UINT_PTR id);
  // Stops both timers (the window is going).
  void Stop();

  bool Sliding() const { return _sliding; }
  bool Fading() const { return _fading; }
  bool Opened() const { return _opened; }
  const RECT& Rect() const { return _rect; }
  int Height() const { return _height; }

 private:
  HWND _window = nullptr;                          // not owned
  ui::CSkinWindowItemOverlay* _overlay = nullptr;  // not owned
  int _height = 0;
  RECT _rect = {0, 0, 0, 0};
  bool _sliding = false;
  bool _fading = false;
  bool _opened = false;
};

}  // namespace mainwin
