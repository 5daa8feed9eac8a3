// The folder tree of the manual window: shell folders under one root (a
// given folder or the desktop), each folder's children listed when it is
// first expanded, a history of selections for Back, a path given by the
// owner followed down the tree, and the selected folder's path reported to
// the owner. Drag and right-click items are kept for the owner's
// drag-and-drop and context menu; an attached skinned scroll bar replaces
// the control's system bars.
//
// Thread contract: the UI thread. The owner routes the control's WM_NOTIFY
// records (tree notices and the scroll bar's custom drawing) to OnNotify.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "CustomScrollBar.h"
#include "FolderLister.h"
#include "ItemIdList.h"
#include "OvWindows.h"
#include "TreeViewBase.h"

namespace ui {

// The window that lists the folder a tree selects.
class IFolderTreeOwner {
 public:
  virtual ~IFolderTreeOwner() = default;
  // folder: the selected folder's path, empty for a folder outside the file
  // system (the desktop's virtual entries).
  virtual void ListFolder(int target, const std::wstring& folder) = 0;
};

class CFolderTreeView : public CTreeViewBase {
 public:
  static constexpr int kDefaultLimit = 1000;
  static constexpr size_t kHistoryLimit = 100;
  // The message code of the folder-limit box.
  static constexpr DWORD kLimitMessageCode = 0xFF00BB20;

  explicit CFolderTreeView(int target);
  ~CFolderTreeView() override;

  LRESULT OnNotify(UINT message, WPARAM wparam, NMHDR* header) override;
  void Enable(bool enable) override;
  // False, with a log line, when the control or the system's small-icon
  // list cannot be had.
  virtual bool Create(HWND parent, const RECT& rect);

  void SetOwner(IFolderTreeOwner* owner) { _owner = owner; }
  // Taken before or after Create; a bar whose bitmap cannot be loaded is
  // dropped and the control keeps its system bars.
  void SetCustomScrollBar(std::unique_ptr<CCustomScrollBar> bar);
  CCustomScrollBar* CustomScrollBar() const { return _scroll.get(); }
  void SetLimit(int limit) { _limit = limit; }
  void SetDraggingAllowed(bool allowed) { _dragging_allowed = allowed; }
  bool DraggingAllowed() const { return _dragging_allowed; }

  // From now on folders are listed on a thread of their own: an expansion
  // and a walk down to a folder go on when the listing comes back, so the
  // window's thread is never held by the shell; a listing for a tree
  // rebuilt meanwhile is dropped. Off (the default): listed in place.
  void SetBackgroundListing(bool on);
  // Whether a walk down to a folder waits for a listing.
  bool IsListing() const;
  // The folder a waiting walk goes to, else the selected folder's path.
  std::wstring GetWantedPath() const;

  // Rebuilds the tree on the root folder (empty: the current root, the
  // desktop when there is none). A disabled tree refuses.
  bool Refresh(const std::wstring& root_path);
  // Expands the tree down to the folder (or its deepest existing ancestor)
  // and selects it; with background listing possibly later, when the
  // folders on the way are listed (true then means the walk is under way).
  bool SelectFolder(const std::wstring& path);
  bool Back();
  bool Up();
  size_t HistorySize() const { return _history.size(); }

  std::wstring GetSelectedPath() const;
  std::wstring GetRightClickedPath() const;
  std::wstring GetDraggedPath() const;
  // The folder under a screen point (a drop target).
  std::wstring GetPathAt(POINT screen) const;
  // Drop-highlights the item under a point of the parent's client area.
  void HighlightAt(POINT parent_point);
  // The context menu went without a choice: the highlight goes back to the
  // selection.
  void ForgetRightClicked();
  void ScrollByWheel(int delta);

 protected:
  LRESULT OnSelChanging(NMTREEVIEWW* notify) override;
  LRESULT OnSelChanged(NMTREEVIEWW* notify) override;
  LRESULT OnItemExpanding(NMTREEVIEWW* notify) override;
  LRESULT OnItemExpanded(NMTREEVIEWW* notify) override;
  LRESULT OnBeginDrag(NMTREEVIEWW* notify) override;
  LRESULT OnDeleteItem(NMTREEVIEWW* notify) override;
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  struct ItemData;
  // A walk down to a folder, one level at a time.
  struct Walk {
    std::wstring path;
    lib::CItemIdList target;  // from the desktop
    int next = 0;             // the target's id to find below `current`
    HTREEITEM current = nullptr;
    bool back = false;  // the selection it ends with comes from Back
  };

  bool BuildTree(const std::wstring& root_path);
  // Lists the item's children once: in place, or queued on the lister.
  bool ListChildren(HTREEITEM item);
  void InsertChildren(HTREEITEM item, const std::vector<FolderChild>& children);
  // A folder's children are all in: the limit box, no children.
  void EndChildren(HTREEITEM item, bool over_limit);
  void OnListing(std::unique_ptr<FolderListing> batch);
  bool ContinueWalk();
  // Takes `full` and the reference of `folder` (null: bound when needed).
  HTREEITEM InsertFolderItem(HTREEITEM parent, const FolderChild& child, LPITEMIDLIST full,
                             IShellFolder* folder);
  IShellFolder* FolderOf(ItemData* data);
  ItemData* Data(HTREEITEM item) const;
  std::wstring ItemPath(HTREEITEM item) const;
  void FreeItemData(HTREEITEM item);
  static void FreeData(ItemData* data);
  bool SelectAndForget(HTREEITEM item);
  void ForwardToParent(UINT message, WPARAM wparam, LPARAM lparam);
  void RefreshScrollBar();
  void HideUnneededBar();

  const int _target;
  HWND _parent = nullptr;              // not owned
  IShellFolder* _desktop = nullptr;    // one reference
  IFolderTreeOwner* _owner = nullptr;  // not owned
  int _limit = kDefaultLimit;
  std::deque<std::wstring> _history;  // paths, newest last
  bool _back = false;                 // the next selection change comes from Back
  bool _rebuilding = false;           // items go away: no history, no notices
  bool _dragging_allowed = false;
  HTREEITEM _dragged = nullptr;
  HTREEITEM _right_clicked = nullptr;
  std::unique_ptr<CCustomScrollBar> _scroll;
  uint32_t _generation = 0;  // counts rebuilds: older listings are stale
  std::unique_ptr<Walk> _walk;
  std::unique_ptr<CFolderLister> _lister;  // null: folders are listed in place
};

}  // namespace ui
