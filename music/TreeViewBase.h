// A system tree-view control ("SysTreeView32") owned by an object: the
// control is created and subclassed here, its notifications (which reach
// its parent) come back through OnNotify as one virtual call each, and the
// tree-view messages the folder tree needs have thin wrappers.
//
// Thread contract: the control's thread only. The owner window routes the
// WM_NOTIFY records of this control to OnNotify.
#pragma once

#include "OvWindows.h"

namespace ui {

class CTreeViewBase {
 public:
  CTreeViewBase() = default;
  // Takes the object off a control that still lives (the control stays).
  virtual ~CTreeViewBase();
  CTreeViewBase(const CTreeViewBase&) = delete;
  CTreeViewBase& operator=(const CTreeViewBase&) = delete;

  // Narrow and wide codes alike (the control sends the set its parent asks
  // for; both records share one layout up to the text pointer, which no
  // handler reads). Only records from this control; else 0.
  virtual LRESULT OnNotify(UINT message, WPARAM wparam, NMHDR* header);
  virtual void Enable(bool enable);
  virtual bool IsEnabled() const;

  HWND Handle() const { return _hwnd; }
  // Whether the item shows the drop highlight.
  bool IsDropHighlighted(HTREEITEM item) const;

  // False, with a log line, when the control cannot be made.
  bool Create(HWND parent, const RECT& rect, DWORD style, DWORD ex_style);

 protected:
  virtual LRESULT OnSelChanging(NMTREEVIEWW* notify);
  virtual LRESULT OnSelChanged(NMTREEVIEWW* notify);
  virtual LRESULT OnItemExpanding(NMTREEVIEWW* notify);
  virtual LRESULT OnItemExpanded(NMTREEVIEWW* notify);
  virtual LRESULT OnBeginDrag(NMTREEVIEWW* notify);
  virtual LRESULT OnDeleteItem(NMTREEVIEWW* notify);
  // Every message of the control; the base passes it to the control.
  virtual LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam);

  HTREEITEM _GetRoot() const;
  HTREEITEM _GetChildItem(HTREEITEM item) const;
  HTREEITEM _GetNextItem(HTREEITEM item) const;
  HTREEITEM _GetParentItem(HTREEITEM item) const;
  HTREEITEM _GetSelectedItem() const;
  // The item under a client point, or null.
  HTREEITEM HitTest(POINT point) const;
  LPARAM _GetItemParam(HTREEITEM item) const;
  bool SetItemChildren(HTREEITEM item, int count);
  bool Expand(HTREEITEM item, UINT code);
  bool SortChildren(HTREEITEM parent, PFNTVCOMPARE compare, LPARAM data);
  HTREEITEM _InsertItem(const TVITEMW& item, HTREEITEM parent, HTREEITEM insert_after);
  bool DeleteItem(HTREEITEM item);
  // Null clears the drop highlight instead of the caret.
  bool _SelectItem(HTREEITEM item);
  bool SetDropHighlight(HTREEITEM item);
  void SetBkColor(COLORREF colour);
  void SetImageList(HIMAGELIST list, int kind, COLORREF background);
  void Move(const RECT& rect);
  // The item's state bits of the mask.
  UINT GetItemState(HTREEITEM item, UINT mask) const;
  bool SetItemState(HTREEITEM item, UINT state, UINT mask);

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  void Unhook();

  HWND _hwnd = nullptr;
  WNDPROC _previous = nullptr;
  HTREEITEM _marked = nullptr;  // highlighted through its state bit
};

}  // namespace ui
