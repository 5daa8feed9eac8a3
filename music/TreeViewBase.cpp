// The tree-view control and its subclassing; see the header.
#include "TreeViewBase.h"

#include "Log.h"

namespace ui {

namespace {
const wchar_t kProperty[] = L"CTreeViewBase";
}

CTreeViewBase::~CTreeViewBase() { Unhook(); }

void CTreeViewBase::Unhook() {
  if (!_hwnd) return;
  if (IsWindow(_hwnd)) {
    RemovePropW(_hwnd, kProperty);
    // Only when no one has subclassed the control above us since.
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(_hwnd, GWLP_WNDPROC)) == Proc)
      SetWindowLongPtrW(_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(_previous));
  }
  _hwnd = nullptr;
}

bool CTreeViewBase::Create(HWND parent, const RECT& rect, DWORD style, DWORD ex_style) {
  INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_TREEVIEW_CLASSES};
  InitCommonControlsEx(&classes);
  _hwnd = CreateWindowExW(ex_style, WC_TREEVIEWW, L"", style, rect.left, rect.top,
                          rect.right - rect.left, rect.bottom - rect.top, parent, nullptr,
                          GetModuleHandleW(nullptr), nullptr);
  if (!_hwnd) {
    OV_LOG(kLogError, "ツリービューのウィンドウ生成失敗");
    return false;
  }
  SetPropW(_hwnd, kProperty, this);
  _previous = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Proc)));
  return true;
}

LRESULT CALLBACK CTreeViewBase::Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* self = static_cast<CTreeViewBase*>(GetPropW(hwnd, kProperty));
  if (!self) return 0;
  LRESULT result = 0;
  try {
    result = self->WindowProc(message, wparam, lparam);
  } catch (...) {
    // Nothing may cross the control's window procedure.
    OV_LOG(kLogError, "ツリービューの処理で例外 [0x%04X]", message);
  }
  if (message == WM_NCDESTROY) self->Unhook();
  return result;
}

LRESULT CTreeViewBase::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  return CallWindowProcW(_previous, _hwnd, message, wparam, lparam);
}

LRESULT CTreeViewBase::OnNotify(UINT message, WPARAM wparam, NMHDR* header) {
  (void)wparam;
  if (message != WM_NOTIFY || !header || !_hwnd || header->hwndFrom != _hwnd) return 0;
  auto* notify = reinterpret_cast<NMTREEVIEWW*>(header);
  switch (header->code) {
    case TVN_SELCHANGINGA:
    case TVN_SELCHANGINGW:
      return OnSelChanging(notify);
    case TVN_SELCHANGEDA:
    case TVN_SELCHANGEDW:
      return OnSelChanged(notify);
    case TVN_ITEMEXPANDINGA:
    case TVN_ITEMEXPANDINGW:
      return OnItemExpanding(notify);
    case TVN_ITEMEXPANDEDA:
    case TVN_ITEMEXPANDEDW:
      return OnItemExpanded(notify);
    case TVN_BEGINDRAGA:
    case TVN_BEGINDRAGW:
      return OnBeginDrag(notify);
    case TVN_DELETEITEMA:
    case TVN_DELETEITEMW:
      if (notify->itemOld.hItem == _marked) _marked = nullptr;
      return OnDeleteItem(notify);
    default:
      return 0;
  }
}

void CTreeViewBase::Enable(bool enable) { EnableWindow(_hwnd, enable ? TRUE : FALSE); }

bool CTreeViewBase::IsEnabled() const { return _hwnd && IsWindowEnabled(_hwnd); }

LRESULT CTreeViewBase::OnSelChanging(NMTREEVIEWW*) { return 0; }
LRESULT CTreeViewBase::OnSelChanged(NMTREEVIEWW*) { return 0; }
LRESULT CTreeViewBase::OnItemExpanding(NMTREEVIEWW*) { return 0; }
LRESULT CTreeViewBase::OnItemExpanded(NMTREEVIEWW*) { return 0; }
LRESULT CTreeViewBase::OnBeginDrag(NMTREEVIEWW*) { return 0; }
LRESULT CTreeViewBase::OnDeleteItem(NMTREEVIEWW*) { return 0; }

HTREEITEM CTreeViewBase::_GetRoot() const { return TreeView_GetRoot(_hwnd); }

HTREEITEM CTreeViewBase::_GetChildItem(HTREEITEM item) const {
  return TreeView_GetChild(_hwnd, item);
}

HTREEITEM CTreeViewBase::_GetNextItem(HTREEITEM item) const {
  return TreeView_GetNextSibling(_hwnd, item);
}

HTREEITEM CTreeViewBase::_GetParentItem(HTREEITEM item) const {
  return TreeView_GetParent(_hwnd, item);
}

HTREEITEM CTreeViewBase::_GetSelectedItem() const { return TreeView_GetSelection(_hwnd); }

HTREEITEM CTreeViewBase::HitTest(POINT point) const {
  TVHITTESTINFO info = {};
  info.pt = point;
  return TreeView_HitTest(_hwnd, &info);
}

LPARAM CTreeViewBase::_GetItemParam(HTREEITEM item) const {
  TVITEMW tv = {};
  tv.mask = TVIF_HANDLE | TVIF_PARAM;
  tv.hItem = item;
  if (!item || !SendMessageW(_hwnd, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv))) return 0;
  return tv.lParam;
}

bool CTreeViewBase::SetItemChildren(HTREEITEM item, int count) {
  TVITEMW tv = {};
  tv.mask = TVIF_HANDLE | TVIF_CHILDREN;
  tv.hItem = item;
  tv.cChildren = count;
  return SendMessageW(_hwnd, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tv)) != 0;
}

bool CTreeViewBase::Expand(HTREEITEM item, UINT code) {
  return TreeView_Expand(_hwnd, item, code) != FALSE;
}

bool CTreeViewBase::SortChildren(HTREEITEM parent, PFNTVCOMPARE compare, LPARAM data) {
  TVSORTCB sort = {parent, compare, data};
  return TreeView_SortChildrenCB(_hwnd, &sort, FALSE) != FALSE;
}

HTREEITEM CTreeViewBase::_InsertItem(const TVITEMW& item, HTREEITEM parent,
                                     HTREEITEM insert_after) {
  TVINSERTSTRUCTW insert = {};
  insert.hParent = parent;
  insert.hInsertAfter = insert_after;
  insert.item = item;
  return reinterpret_cast<HTREEITEM>(
      SendMessageW(_hwnd, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

bool CTreeViewBase::DeleteItem(HTREEITEM item) { return TreeView_DeleteItem(_hwnd, item) != FALSE; }

bool CTreeViewBase::_SelectItem(HTREEITEM item) {
  if (!item) return TreeView_Select(_hwnd, nullptr, TVGN_DROPHILITE) != FALSE;
  return TreeView_Select(_hwnd, item, TVGN_CARET) != FALSE;
}

bool CTreeViewBase::SetDropHighlight(HTREEITEM item) {
  TreeView_Select(_hwnd, nullptr, TVGN_DROPHILITE);
  if (_marked) SetItemState(_marked, 0, TVIS_DROPHILITED);
  _marked = nullptr;
  if (!item) return true;
  if (TreeView_Select(_hwnd, item, TVGN_DROPHILITE) && TreeView_GetDropHilight(_hwnd) == item)
    return true;
  // Wine's control takes no drop highlight on the selected item (it answers
  // before looking at the kind of selection); the item's state bit draws
  // the same.
  _marked = item;
  return SetItemState(item, TVIS_DROPHILITED, TVIS_DROPHILITED);
}

bool CTreeViewBase::SetItemState(HTREEITEM item, UINT state, UINT mask) {
  TVITEMW tv = {};
  tv.mask = TVIF_HANDLE | TVIF_STATE;
  tv.hItem = item;
  tv.state = state;
  tv.stateMask = mask;
  return SendMessageW(_hwnd, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tv)) != 0;
}

bool CTreeViewBase::IsDropHighlighted(HTREEITEM item) const {
  return item && (GetItemState(item, TVIS_DROPHILITED) & TVIS_DROPHILITED);
}

void CTreeViewBase::SetBkColor(COLORREF colour) { TreeView_SetBkColor(_hwnd, colour); }

void CTreeViewBase::SetImageList(HIMAGELIST list, int kind, COLORREF background) {
  ImageList_SetBkColor(list, background);
  TreeView_SetImageList(_hwnd, list, kind);
}

void CTreeViewBase::Move(const RECT& rect) {
  MoveWindow(_hwnd, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
}

UINT CTreeViewBase::GetItemState(HTREEITEM item, UINT mask) const {
  return TreeView_GetItemState(_hwnd, item, mask);
}

}  // namespace ui
