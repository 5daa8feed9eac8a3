// The base of every element drawn inside a skinned window, and the two small
// interfaces through which an element reaches its window. Items live on the
// thread of their window; the window forwards mouse, keyboard, timer and
// drawing work to them and owns them.
#pragma once

#include <string>

#include "OvWindows.h"

namespace lib::wfc {
class CDIB;
}  // namespace lib::wfc

namespace ui {

class CSkinWindowItem;
class CSkinItemResources;

// Codes a window passes to an item's OnNotify.
enum SkinItemCode : int {
  kItemSetSelected = 100000001,
  kItemGetSelected = 100000002,
  kItemGetClickToggles = 100000003,
  kItemSetBlinking = 100000004,
  kItemSetIconMode = 100000005,
};

// Codes items report to their window through ISkinWindowItemAccessor::Notify.
enum SkinItemReport : int {
  kReportClick = 0,
  kReportTrackIn = 1,
  kReportTrackOut = 2,
  kReportDoubleClick = 3,
  kReportTrackEnd = 4,
  kReportRightDown = 5,
  kReportRightUp = 6,
  kReportRightDoubleClick = 7,
  kReportPress = 12,
  kReportMouseMove = 14,
  kReportMouseLeave = 15,
};

// What an item may ask of its window.
class ISkinWindowItemAccessor {
 public:
  virtual ~ISkinWindowItemAccessor() = default;
  // The window exists and has its back buffer.
  virtual bool IsDrawable() = 0;
  virtual void* GetItemResource(int id) = 0;
  virtual CSkinItemResources* GetItemResourceObject() = 0;
  virtual lib::wfc::CDIB* GetBackBuffer() = 0;
  // Redraws the rectangle (and the items it touches) into the back buffer and
  // onto the screen.
  virtual void InvalidateItemRect(int left, int top, int right, int bottom, bool update) = 0;
  // Code 0 reaches the window as a click (WM_COMMAND); true when handled.
  virtual bool Notify(int id, int code, int value) = 0;
  virtual void Accept(int id) = 0;
  virtual void Cancel(int id) = 0;
  virtual bool ForwardKey(UINT key, UINT flags) = 0;
  virtual LRESULT SendMessageToWindow(UINT message, WPARAM wparam, LPARAM lparam) = 0;
  virtual CSkinWindowItem* GetCaptureItem() = 0;
  virtual bool IsCreated() = 0;
  virtual void AddToolTip(CSkinWindowItem* item) = 0;
  // Returns the previous value; unlocking a created window repaints it.
  virtual bool SetRedrawLock(bool lock) = 0;
};

// What tab-order helpers ask of a window.
class CSkinWindowItemTabAccessor {
 public:
  virtual ~CSkinWindowItemTabAccessor() = default;
  virtual CSkinWindowItem* FindItem(int id) = 0;
  virtual void RefreshToolTips() = 0;
};

// The part an item plays in the window's tooltips.
enum class ToolState : int { kNone = -1, kAdd = 0, kAdded = 1, kRemove = 2 };

class CSkinWindowItem {
 public:
  CSkinWindowItem(ISkinWindowItemAccessor* accessor, int id);
  virtual ~CSkinWindowItem() = default;
  CSkinWindowItem(const CSkinWindowItem&) = delete;
  CSkinWindowItem& operator=(const CSkinWindowItem&) = delete;

  // Item points are relative to the item's top-left corner. A true result of
  // a button-down operation makes the window capture the mouse for the item.
  virtual bool IsEnabled() const { return _enabled; }
  // The tooltip text.
  virtual std::string GetText() const { return std::string(); }
  virtual bool HitTest() const { return true; }
  virtual INT_PTR OnNotify(int code, INT_PTR value, INT_PTR extra);
  virtual void OnMouseMove(POINT) {}
  virtual bool OnLButtonDown(POINT) { return false; }
  virtual bool OnLButtonDblClk(POINT pt) { return OnLButtonDown(pt); }
  virtual void OnLButtonUp(POINT) {}
  // The capture was lost.
  virtual void OnLButtonCancel(POINT pt) { OnLButtonUp(pt); }
  virtual bool OnRButtonDown(POINT) { return false; }
  virtual bool OnRButtonDblClk(POINT pt) { return OnRButtonDown(pt); }
  virtual void OnRButtonUp(POINT) {}
  virtual void OnRButtonCancel(POINT pt) { OnRButtonUp(pt); }
  virtual void OnMouseLeave() {}
  virtual bool OnSetCursor(POINT) { return false; }
  virtual void OnTick(DWORD) {}
  virtual void CreateChild(HWND, int, int) {}
  virtual void OnSetFocus() {}
  virtual void OnKillFocus() {}
  virtual bool OnWindowMessage(UINT, WPARAM, LPARAM, LRESULT*) { return false; }
  virtual void Draw() {}
  // Moves the item; the size stays unless a kind says otherwise.
  virtual void SetRect(int left, int top, int right, int bottom);
  virtual void OnEnabledChanged() {}
  virtual void OnVisibleChanged() {}

  int Id() const { return _id; }
  int X() const { return _x; }
  int Y() const { return _y; }
  int Width() const { return _width; }
  int Height() const { return _height; }
  RECT Rect() const { return RECT{_x, _y, _x + _width, _y + _height}; }
  bool IsVisible() const { return _visible; }
  // The enabled flag itself, whatever a kind makes of IsEnabled.
  bool Enabled() const { return _enabled; }
  bool Contains(POINT item_point) const;

  void SetEnabled(bool enabled);
  void SetVisible(bool visible);
  void SetPosition(int x, int y);
  void SetSize(int width, int height);
  void SetBounds(int left, int top, int right, int bottom);
  // Null: the window asks for the text when it shows the tip.
  void SetToolTipText(const char* text);

  // The window's record of the item's tool. Its size is the real size of the
  // platform's structure; the state is kept apart from it.
  TOOLINFOA& ToolRecord() { return _tool; }
  ToolState GetToolState() const { return _tool_state; }
  void SetToolState(ToolState state) { _tool_state = state; }

  ISkinWindowItemAccessor* Accessor() const { return _accessor; }

  // The grey of a colour, lightened by 40 per cent, for disabled items.
  static COLORREF GetDisabledColour(COLORREF colour);

 protected:
  // Has the window redraw the item's rectangle, when it can.
  void Redraw(bool update = false);

 private:
  ISkinWindowItemAccessor* _accessor;  // not owned
  int _id;
  int _x = 0;
  int _y = 0;
  int _width = 0;
  int _height = 0;
  bool _visible = true;
  bool _enabled = true;
  TOOLINFOA _tool;
  ToolState _tool_state = ToolState::kAdd;
  std::string _tool_text;
};

}  // namespace ui
