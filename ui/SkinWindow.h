// A top-level window drawn entirely from a skin: the Base picture and a list
// of items that draw themselves into the window's back buffer and get the
// mouse and keyboard through the window. Pixels of the key colour are cut out
// of the window region. The window and its items belong to the thread that
// created the window; only the tooltip activator is shared with a thread,
// under its own lock.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "DIB.h"
#include "GdiObject.h"
#include "SkinWindowItem.h"
#include "Threads.h"
#include "Window.h"

namespace ui {

class SkinSection;
class SkinDefinition;
struct SkinItemDescriptor;
class CSkinItemResources;
class CSkinWindowItemScrollBar;
class CButtonListView;
class CButtonListViewListener;

// The registered message whose wParam 0 makes a skinned window rebuild.
UINT SkinWindowInternalMessage();

class CSkinWindow : public lib::wfc::CRegionWindow,
                    public ISkinWindowItemAccessor,
                    public CSkinWindowItemTabAccessor {
 public:
  CSkinWindow();
  ~CSkinWindow() override;

  // The window's own operations, which application windows may refine.
  virtual const std::string& GetBaseImageName() const { return _base_image; }
  virtual RECT GetBaseImageRect() const { return _base_rect; }
  virtual SIZE GetBaseImageSize() const;
  // The size the skin's coordinates refer to.
  virtual SIZE GetLayoutSize() const { return GetBaseImageSize(); }
  virtual RECT GetDefaultClientRect() const;
  // Called whenever an item's mouse capture ends.
  virtual void OnCaptureEnded() {}
  // Reads the Base section; throws CSkinWindowException.
  virtual void LoadBase(const SkinSection& section);
  virtual void DeleteItems();
  virtual void DrawBackground(int x, int y, lib::wfc::CDIB& back, const lib::wfc::CDIB* base,
                              const RECT* clip);
  virtual bool ResizeBuffers(UINT type, int cx, int cy);
  // Enter (accept true) and Escape reach here with id -1.
  virtual void OnAcceptOrCancel(int id, bool accept) { (void)id, (void)accept; }
  virtual bool IsForwardedKey(UINT key, UINT flags) { return (void)key, (void)flags, false; }
  virtual void OnBeforeRebuild() {}

  // The Base picture without a skin section.
  void SetBaseImage(const std::string& name, const RECT& rect);
  void SetTitle(const std::string& title) { _title = title; }
  const std::string& Title() const { return _title; }
  void SetCaptionHeight(int height) { _caption_height = height; }
  int CaptionHeight() const { return _caption_height; }
  void SetWindowFont(const LOGFONTA& font);
  HFONT WindowFont() const { return _font.Get(); }
  void SetUseRegion(bool use) { _use_region = use; }
  bool UseRegion() const { return _use_region; }

  // The window owns the item from now on; an item of the same id is
  // deleted and the new one takes its place.
  CSkinWindowItem* AddItem(std::unique_ptr<CSkinWindowItem> item);
  CSkinWindowItem* FindItem(int id) override;
  // Posts the click an item would; false when the window or item is
  // disabled or no item has the id.
  bool ClickItem(int id);
  const std::vector<std::unique_ptr<CSkinWindowItem>>& Items() const { return _items; }

  // Item creators, each (item id, section) -> the new item, already added.
  CSkinWindowItem* CreateButton(int id, const SkinSection& section);
  CSkinWindowItem* CreateToggleButton(int id, const SkinSection& section);
  CSkinWindowItem* CreateStatic(int id, const SkinSection& section);
  CSkinWindowItem* CreateStaticImage(int id, const SkinSection& section);
  CSkinWindowItem* CreateDigitImage(int id, const SkinSection& section);
  CSkinWindowItem* CreateResizableStaticImage(int id, const SkinSection& section);
  CSkinWindowItem* CreateAnimation(int id, const SkinSection& section);
  CSkinWindowItem* CreateOverlay(int id, const SkinSection& section);
  CSkinWindowItem* CreateEditBox(int id, const SkinSection& section);
  CSkinWindowItemScrollBar* CreateScrollBar(int id, const SkinSection& section);
  // The list view scrolls through `bar` (made first, may be null) and
  // tells `listener` (may be null); the window owns neither through it.
  CButtonListView* CreateButtonListView(int id, const SkinSection& section,
                                        CSkinWindowItemScrollBar* bar,
                                        CButtonListViewListener* listener);

  // What the window holds now, for tests and the application windows.
  lib::wfc::CDIB* BackBuffer() { return _back.get(); }
  HRGN Region() const { return _region.Get(); }
  HWND ToolTip() const { return _tooltip; }
  CSkinWindowItem* HoverItem() const { return _hover_item; }
  CSkinWindowItem* FocusItem() const { return _focus_item; }
  CSkinWindowItem* ToolTipItem() const { return _tooltip_item; }
  // The topmost visible item under a client point that takes the mouse.
  CSkinWindowItem* ItemAt(POINT client) const;
  // The topmost visible item under a client point that has a tooltip.
  CSkinWindowItem* ToolTipItemAt(POINT client) const;

  // ISkinWindowItemAccessor
  bool IsDrawable() override;
  void* GetItemResource(int id) override;
  CSkinItemResources* GetItemResourceObject() override { return _resources.get(); }
  lib::wfc::CDIB* GetBackBuffer() override { return _back.get(); }
  void InvalidateItemRect(int left, int top, int right, int bottom, bool update) override;
  bool Notify(int id, int code, int value) override;
  void Accept(int id) override { OnAcceptOrCancel(id, true); }
  void Cancel(int id) override { OnAcceptOrCancel(id, false); }
  bool ForwardKey(UINT key, UINT flags) override;
  LRESULT SendMessageToWindow(UINT message, WPARAM wparam, LPARAM lparam) override;
  CSkinWindowItem* GetCaptureItem() override { return _capture_item; }
  bool IsCreated() override;
  void AddToolTip(CSkinWindowItem* item) override;
  bool SetRedrawLock(bool lock) override;

  // CSkinWindowItemTabAccessor
  void RefreshToolTips() override;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;
  bool OnCreate(CREATESTRUCTA* cs) override;
  void OnDestroy() override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnSetFocus(HWND previous) override;
  void OnKillFocus(HWND next) override;
  void OnPaint() override;
  bool OnEraseBkgnd(HDC dc) override;
  bool OnSetCursor(LPARAM lparam) override;
  void OnMouseMove(UINT keys, int x, int y) override;
  void OnLButtonDown(UINT keys, int x, int y) override;
  void OnLButtonUp(UINT keys, int x, int y) override;
  void OnLButtonDblClk(UINT keys, int x, int y) override;
  void OnRButtonDown(UINT keys, int x, int y) override;
  void OnRButtonUp(UINT keys, int x, int y) override;
  void OnRButtonDblClk(UINT keys, int x, int y) override;
  void OnMouseLeave() override;
  void OnCaptureChanged(HWND gaining) override;
  bool OnNotify(UINT id, NMHDR* header, LRESULT* result) override;
  void OnDisplayChange(UINT bits, int cx, int cy) override;
  LRESULT OnNcHitTest(int x, int y) override;
  void OnNcMouseMove(UINT hit, int x, int y) override;
  void OnKeyDown(UINT key, UINT flags) override;
  void OnCommand(UINT id, UINT code, HWND control) override;
  void OnTimer(UINT_PTR id) override;

 private:
  // Holds the redraw lock for a scope and puts the previous value back.
  class CRedrawHold;

  void ButtonDown(POINT pt, bool left, bool double_click);
  void ButtonUp(POINT pt, bool left);
  void TakeCapture(CSkinWindowItem* item, bool left);
  void EndCapture(POINT pt, bool lost);
  void EndCaptureLostAtCursor();
  void SetFocusItem(CSkinWindowItem* item);
  void RenderAll();
  void RebuildRegion(int cx, int cy);
  void UpdateToolRects();
  void RemoveTool(CSkinWindowItem* item);
  void Rebuild();
  void Forget(CSkinWindowItem* item);
  bool HoldsCapture() const;
  SIZE ClientSize() const;

  std::string _title;
  int _caption_height = 0;
  HWND _tooltip = nullptr;  // owned: destroyed with the window
  lib::wfc::CTooltipActivator _activator;
  CSkinWindowItem* _tooltip_item = nullptr;  // not owned
  std::vector<std::unique_ptr<CSkinWindowItem>> _items;
  bool _redraw_locked = false;
  CSkinWindowItem* _capture_item = nullptr;  // not owned
  bool _capture_left = true;
  CSkinWindowItem* _hover_item = nullptr;  // not owned
  CSkinWindowItem* _focus_item = nullptr;  // not owned
  std::unique_ptr<lib::wfc::CDIB> _back;
  std::string _base_image;
  RECT _base_rect = {0, 0, 0, 0};
  bool _use_region = false;
  lib::wfc::CRegion _region;
  LOGFONTA _logfont;
  lib::wfc::CFont _font;
  std::unique_ptr<CSkinItemResources> _resources;
};

// Create an item from the section a descriptor names, through the window's
// creator.
CSkinWindowItem* CreateButtonItem(const SkinDefinition& definition,
                                  const SkinItemDescriptor& descriptor, CSkinWindow* window);
CSkinWindowItem* CreateStaticItem(const SkinDefinition& definition,
                                  const SkinItemDescriptor& descriptor, CSkinWindow* window);
CSkinWindowItem* CreateStaticImageItem(const SkinDefinition& definition,
                                       const SkinItemDescriptor& descriptor, CSkinWindow* window);
CSkinWindowItem* CreateDigitImageItem(const SkinDefinition& definition,
                                      const SkinItemDescriptor& descriptor, CSkinWindow* window);
CSkinWindowItem* CreateAnimationItem(const SkinDefinition& definition,
                                     const SkinItemDescriptor& descriptor, CSkinWindow* window);
CSkinWindowItem* CreateResizableStaticImageItem(const SkinDefinition& definition,
                                                const SkinItemDescriptor& descriptor,
                                                CSkinWindow* window);

}  // namespace ui
