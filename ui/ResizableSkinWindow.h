// A skinned window the user resizes by dragging its borders: the Base
// picture is stretched as a nine-grid over the whole client, and anchored
// items keep their places relative to the window's edges. The drag is done
// by the window itself on client-area mouse messages, so the borders stay
// part of the skin.
#pragma once

#include "LayoutManager.h"
#include "NineGrid.h"
#include "SkinWindow.h"

namespace ui {

class CResizableSkinWindow : public CSkinWindow, public CLayoutManager, public CResizableDIBHelper {
 public:
  CResizableSkinWindow() = default;

  // Adding an item and anchoring it share a name.
  using CLayoutManager::AddItem;
  using CSkinWindow::AddItem;

  SIZE GetLayoutSize() const override { return _layout_size; }
  RECT GetDefaultClientRect() const override;
  // Reads the resizing keys after the Base section's own; throws
  // CSkinWindowException.
  void LoadBase(const SkinSection& section) override;
  void DeleteItems() override;
  void DrawBackground(int x, int y, lib::wfc::CDIB& back, const lib::wfc::CDIB* base,
                      const RECT* clip) override;
  bool ResizeBuffers(UINT type, int cx, int cy) override;

  // CLayoutManager
  CSkinWindowItem* GetItem(int id) override { return FindItem(id); }
  SIZE GetBaseSize() const override { return GetLayoutSize(); }

  // The resizing keys without a skin section; the grid needs the Base
  // picture's rectangle first and throws CSkinWindowException for dividing
  // points outside it or out of order.
  void SetBorderWidth(int width) { _border = width; }
  int BorderWidth() const { return _border; }
  void SetGrid(int x1, int y1, int x2, int y2, SIZE min_override);
  const RECT& GridCell(int index) const { return _grid.cells[index]; }
  SIZE MinimumSize() const { return _grid.minimum; }
  void SetLayoutSize(SIZE size);
  // Fixed-size windows clear it: no resize zones, cursors or dragging.
  void SetResizingEnabled(bool enabled) { _resizing = enabled; }
  bool ResizingEnabled() const { return _resizing; }

  // The zone under a client point; kZoneNone while no drag runs.
  int ZoneAt(POINT client) const;
  int DragZone() const { return _drag_zone; }

 protected:
  bool OnSetCursor(LPARAM lparam) override;
  void OnMouseMove(UINT keys, int x, int y) override;
  void OnLButtonDown(UINT keys, int x, int y) override;
  void OnLButtonUp(UINT keys, int x, int y) override;
  void OnCaptureChanged(HWND gaining) override;
  bool OnSizing(UINT edge, RECT* rect) override;
  void OnExitSizeMove() override;
  LRESULT OnNcHitTest(int x, int y) override;

 private:
  bool IsMaximised() const;
  bool Dragging() const;
  void DragTo(POINT client);

  int _border = 0;
  ResizableGrid _grid = {};
  SIZE _layout_size = {0, 0};
  int _drag_zone = kZoneNone;
  POINT _drag_start = {0, 0};  // screen
  RECT _drag_rect = {0, 0, 0, 0};
  DragLimits _limits = {0, 0, 0, 0};
  bool _resizing = true;
};

}  // namespace ui
