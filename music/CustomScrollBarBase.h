// Replaces the system scroll bars of an existing control by bars that this
// code lays out, paints and operates in the control's non-client area. It
// subclasses the control, keeps its own scroll information per bar and sends
// the control the WM_HSCROLL / WM_VSCROLL requests the system bars would.
// The parent may draw every part through WM_NOTIFY custom-draw records.
//
// Thread contract: every call runs on the thread that owns the window; the
// one pressed bar and the one hot bar of the process are kept unlocked.
#pragma once

#include <memory>

#include "OvWindows.h"

namespace ui {

// The custom-draw record sent to the control's parent.
struct CustomScrollBarDraw {
  NMHDR hdr;  // the control, its id, kCustomScrollBarDrawCode
  DWORD stage;
  HDC dc;
  RECT rect;
  UINT item;   // a part code, or kCustomScrollBarCorner
  UINT state;  // CDIS_SELECTED pressed, CDIS_HOT, CDIS_DISABLED, else CDIS_DEFAULT
  UINT bar;    // SB_HORZ, SB_VERT, or SB_BOTH for the corner
};

constexpr UINT kCustomScrollBarDrawCode = static_cast<UINT>(-4095);
constexpr UINT kCustomScrollBarCorner = 32;

// Bar styles.
constexpr int kScrollStyleStandard = 0;
constexpr int kScrollStyleFlat = 1;
constexpr int kScrollStyleHotTrack = 2;

class CCustomScrollBarBase {
 public:
  CCustomScrollBarBase();
  // Removes the engine from a window it is still installed on.
  virtual ~CCustomScrollBarBase();
  CCustomScrollBarBase(const CCustomScrollBarBase&) = delete;
  CCustomScrollBarBase& operator=(const CCustomScrollBarBase&) = delete;

  // 1 when installed, 0 when the window already has an engine.
  int Install(HWND window);
  // 0, or E_FAIL when the window has no engine.
  static HRESULT Uninstall(HWND window);
  static BOOL IsInstalled(HWND window);
  static BOOL IsThumbTracking(HWND window);

  // The system's calls of the same names answer for windows without an
  // engine. bar: SB_HORZ, SB_VERT, or SB_BOTH where it makes sense.
  static int SetScrollInfo(HWND window, int bar, const SCROLLINFO* info, BOOL redraw);
  static BOOL GetScrollInfo(HWND window, int bar, SCROLLINFO* info);
  static int SetScrollPos(HWND window, int bar, int pos, BOOL redraw);
  static int GetScrollPos(HWND window, int bar);
  static BOOL GetScrollRange(HWND window, int bar, int* min, int* max);
  static BOOL ShowScrollBar(HWND window, int bar, BOOL show);
  static BOOL EnableScrollBar(HWND window, int bar, UINT arrows);
  // Arrow length and bar width; a negative value counts system metrics.
  static BOOL SetSize(HWND window, int bar, int arrow, int width);
  static BOOL SetStyle(HWND window, int bar, int style);
  // -1 for the system's default.
  static BOOL SetMinThumbSize(HWND window, int bar, int size);

 private:
  struct State;
  static CCustomScrollBarBase* Find(HWND window);
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  std::unique_ptr<State> _state;
};

}  // namespace ui
