// The folder tree over the shell namespace; see the header.
#include "FolderTreeView.h"

#include <cstring>
#include <vector>

#include "FolderLister.h"
#include "ItemIdList.h"
#include "Log.h"
#include "MessageBox.h"
#include "StringUtil.h"

namespace ui {

// The block each tree item carries in its data value, allocated with the
// shell's task allocator. Sized from this structure: four pointer-sized
// words.
struct CFolderTreeView::ItemData {
  IShellFolder* folder;  // the item's own folder, one reference; bound when first needed
  LPITEMIDLIST id;       // relative to the parent folder
  LPITEMIDLIST full;     // from the desktop
  // Set at insertion to 0; 1 once the item's children have been listed, so
  // a walk down the tree lists each folder once even when the control's
  // expansion notices do not come back here; 2 or 3 while the lister has
  // them (3: the item opens when they are in).
  DWORD_PTR listed;
};

namespace {

constexpr DWORD kTreeStyle =
    WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | TVS_HASBUTTONS | TVS_LINESATROOT;
constexpr COLORREF kBackground = 0xe0e0e0;
// A batch of child folders from the lister (lParam: the batch).
constexpr UINT kListingMessage = WM_APP + 0x31;

// An item's listing state (ItemData::listed).
constexpr DWORD_PTR kNotListed = 0;
constexpr DWORD_PTR kListed = 1;
constexpr DWORD_PTR kListing = 2;        // on the lister's thread
constexpr DWORD_PTR kListingExpand = 3;  // and to be expanded when it is back

std::string Narrow(const std::wstring& text) { return ToMultiByte(text); }

std::string Dump(LPCITEMIDLIST list) {
  std::string text;
  const UINT size = lib::CItemIdList::GetSize(list, true);
  const BYTE* bytes = reinterpret_cast<const BYTE*>(list);
  for (UINT i = 0; i < size; ++i) text += FormatString("%02X ", bytes[i]);
  return text;
}

bool IsDirectory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring PathOf(LPCITEMIDLIST full) { return ShellPathOf(full); }

struct FolderIcons {
  int normal;
  int open;
};

// The small system icons of an item. A plain folder of the file system gets
// the system's folder icons, asked for once: asking the shell per folder
// costs about 4 ms each under Wine (8 s for a folder of 1000), and a music
// folder tree loses little without a folder's own icon. Drives and
// folders outside the file system are asked for by their id list.
FolderIcons IconsOf(LPCITEMIDLIST full, const std::wstring& path) {
  const auto ask = [](LPCWSTR what, DWORD attributes, UINT flags) {
    SHFILEINFOW info = {};
    SHGetFileInfoW(what, attributes, &info, sizeof(info),
                   flags | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    return info.iIcon;
  };
  if (!path.empty() && !PathIsRootW(path.c_str())) {
    static const FolderIcons folder = {
        ask(L"folder", FILE_ATTRIBUTE_DIRECTORY, SHGFI_USEFILEATTRIBUTES),
        ask(L"folder", FILE_ATTRIBUTE_DIRECTORY, SHGFI_USEFILEATTRIBUTES | SHGFI_OPENICON)};
    return folder;
  }
  const auto id = reinterpret_cast<LPCWSTR>(full);
  return {ask(id, 0, SHGFI_PIDL), ask(id, 0, SHGFI_PIDL | SHGFI_OPENICON)};
}

}  // namespace

CFolderTreeView::CFolderTreeView(int target) : _target(target) {
  LearnHiddenFolders();
  const HRESULT hr = SHGetDesktopFolder(&_desktop);
  if (FAILED(hr)) {
    OV_LOG(kLogError, "SHGetDesktopFolder失敗 [0x%08X]", static_cast<unsigned>(hr));
    _desktop = nullptr;
  }
}

CFolderTreeView::~CFolderTreeView() {
  // The lister posts to the control: it stops first.
  _lister.reset();
  // The control goes first, while this object can still free its items.
  if (Handle() && IsWindow(Handle())) DestroyWindow(Handle());
  _history.clear();
  if (_desktop) _desktop->Release();
}

bool CFolderTreeView::Create(HWND parent, const RECT& rect) {
  _parent = parent;
  if (!CTreeViewBase::Create(parent, rect, kTreeStyle, 0)) return false;
  SetBkColor(kBackground);
  if (_scroll && !_scroll->Attach(Handle())) _scroll.reset();
  SHFILEINFOW info = {};
  const auto list = reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoW(L"C:\\", 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
  if (!list) {
    OV_LOG(kLogError, "イメージリストのハンドル取得失敗");
    return false;
  }
  SetImageList(list, TVSIL_NORMAL, kBackground);
  return true;
}

void CFolderTreeView::SetCustomScrollBar(std::unique_ptr<CCustomScrollBar> bar) {
  _scroll = std::move(bar);
  if (_scroll && Handle() && !_scroll->Attach(Handle())) _scroll.reset();
}

LRESULT CFolderTreeView::OnNotify(UINT message, WPARAM wparam, NMHDR* header) {
  if (message == WM_NOTIFY && header && header->code == kCustomScrollBarDrawCode && _scroll &&
      header->hwndFrom == Handle())
    return _scroll->OnCustomDraw(reinterpret_cast<CustomScrollBarDraw*>(header));
  return CTreeViewBase::OnNotify(message, wparam, header);
}

void CFolderTreeView::Enable(bool enable) {
  CTreeViewBase::Enable(enable);
  if (_scroll) _scroll->Enable(enable ? TRUE : FALSE);
}

CFolderTreeView::ItemData* CFolderTreeView::Data(HTREEITEM item) const {
  return reinterpret_cast<ItemData*>(_GetItemParam(item));
}

std::wstring CFolderTreeView::ItemPath(HTREEITEM item) const {
  const ItemData* data = Data(item);
  if (!data) {
    OV_LOG(kLogError, "_GetItemParam失敗 [0x%08X]",
           static_cast<unsigned>(reinterpret_cast<UINT_PTR>(item)));
    return std::wstring();
  }
  return PathOf(data->full);
}

void CFolderTreeView::FreeData(ItemData* data) {
  if (!data) return;
  if (data->folder) data->folder->Release();
  CoTaskMemFree(data->id);
  CoTaskMemFree(data->full);
  CoTaskMemFree(data);
}

void CFolderTreeView::FreeItemData(HTREEITEM item) {
  for (; item; item = _GetNextItem(item)) {
    FreeItemData(_GetChildItem(item));
    FreeData(Data(item));
    TVITEMW tv = {};
    tv.mask = TVIF_HANDLE | TVIF_PARAM;
    tv.hItem = item;
    tv.lParam = 0;
    SendMessageW(Handle(), TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
  }
}

IShellFolder* CFolderTreeView::FolderOf(ItemData* data) {
  if (!data) return nullptr;
  // Bound when first needed: a listing's children are only described.
  if (!data->folder) data->folder = BindFolder(_desktop, data->full);
  return data->folder;
}

bool CFolderTreeView::ListChildren(HTREEITEM item) {
  ItemData* data = Data(item);
  if (!data) return false;
  if (data->listed != kNotListed) return true;
  if (_lister) {
    data->listed = kListing;
    if (_lister->Queue(Handle(), kListingMessage, _generation, item, data->full, _limit))
      return true;
  }
  data->listed = kListed;
  std::vector<FolderChild> children;
  bool over = false;
  const bool listed = ListChildFolders(
      _desktop, data->full, _limit,
      [&](FolderChild&& child) {
        children.push_back(std::move(child));
        return true;
      },
      &over);
  InsertChildren(item, children);
  EndChildren(item, over);
  return listed;
}

void CFolderTreeView::InsertChildren(HTREEITEM item, const std::vector<FolderChild>& children) {
  const ItemData* data = Data(item);
  if (!data) return;
  lib::CItemIdList parent_list;  // borrowed for Append only
  parent_list.Attach(data->full);
  for (const FolderChild& child : children) {
    LPITEMIDLIST full = parent_list.Append(reinterpret_cast<LPCITEMIDLIST>(child.id.data()));
    if (full) InsertFolderItem(item, child, full, nullptr);
  }
  parent_list.Detach();
}

void CFolderTreeView::EndChildren(HTREEITEM item, bool over_limit) {
  if (over_limit) {
    const std::string text = FormatString(
        "表示フォルダ数が上限(%d件)を超えました。\r\n%d件まで表示します。\r\n\r\n"
        "(メッセージコード：%08X)",
        _limit, _limit, static_cast<unsigned>(kLimitMessageCode));
    lib::wfc::MessageBox(_parent, text.c_str(), MB_ICONEXCLAMATION | MB_OK);
  }
  // The children came sorted.
  if (!_GetChildItem(item)) SetItemChildren(item, 0);
}

void CFolderTreeView::OnListing(std::unique_ptr<FolderListing> batch) {
  // A batch for a tree rebuilt since names items that are gone.
  if (!batch || batch->generation != _generation) return;
  ItemData* data = Data(batch->item);
  if (!data || (data->listed != kListing && data->listed != kListingExpand)) return;
  InsertChildren(batch->item, batch->children);
  if (!batch->last) return;
  const bool expand = data->listed == kListingExpand;
  data->listed = kListed;
  EndChildren(batch->item, batch->over_limit);
  // The limit's box pumps messages: the tree may have been rebuilt under it.
  if (batch->generation != _generation) return;
  if (expand) Expand(batch->item, TVE_EXPAND);
  RefreshScrollBar();
  if (_walk && _walk->current == batch->item) ContinueWalk();
}

void CFolderTreeView::SetBackgroundListing(bool on) {
  if (!on) {
    _lister.reset();
  } else if (!_lister) {
    _lister = std::make_unique<CFolderLister>();
  }
}

bool CFolderTreeView::IsListing() const { return _walk != nullptr; }

std::wstring CFolderTreeView::GetWantedPath() const {
  if (_walk) return _walk->path;
  return GetSelectedPath();
}

HTREEITEM CFolderTreeView::InsertFolderItem(HTREEITEM parent, const FolderChild& child,
                                            LPITEMIDLIST full, IShellFolder* folder) {
  lib::CItemIdList full_list(full);
  auto* data = static_cast<ItemData*>(CoTaskMemAlloc(sizeof(ItemData)));
  if (!data) {
    OV_LOG(kLogError, "lpFTItemDataの領域確保失敗");
    if (folder) folder->Release();
    return nullptr;
  }
  *data = ItemData{};
  data->folder = folder;
  data->id = static_cast<LPITEMIDLIST>(CoTaskMemAlloc(child.id.size()));
  if (data->id) std::memcpy(data->id, child.id.data(), child.id.size());
  data->full = full_list.Detach();

  const FolderIcons icons = IconsOf(data->full, child.path);
  std::wstring text = child.name;
  TVITEMW item = {};
  item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN | TVIF_PARAM;
  item.pszText = &text[0];
  item.iImage = icons.normal;
  item.iSelectedImage = icons.open;
  item.cChildren = (child.attributes & SFGAO_HASSUBFOLDER) ? 1 : 0;
  item.lParam = reinterpret_cast<LPARAM>(data);
  if (child.attributes & SFGAO_SHARE) {
    item.mask |= TVIF_STATE;
    item.state = INDEXTOOVERLAYMASK(1);
    item.stateMask = TVIS_OVERLAYMASK;
  }
  const HTREEITEM added = _InsertItem(item, parent, TVI_LAST);
  if (!added) {
    OV_LOG(kLogError, "_InsertItem失敗 [%s]", Narrow(child.name).c_str());
    FreeData(data);
  }
  return added;
}

LRESULT CFolderTreeView::OnItemExpanding(NMTREEVIEWW* notify) {
  const HTREEITEM item = notify->itemNew.hItem;
  if (!item || (GetItemState(item, TVIS_EXPANDEDONCE) & TVIS_EXPANDEDONCE)) return 0;
  ListChildren(item);
  // Children still on their way: the item opens once they are in.
  ItemData* data = Data(item);
  if (data && data->listed == kListing) data->listed = kListingExpand;
  return 0;
}

LRESULT CFolderTreeView::OnItemExpanded(NMTREEVIEWW*) {
  RefreshScrollBar();
  return 0;
}

LRESULT CFolderTreeView::OnSelChanging(NMTREEVIEWW* notify) {
  if (_rebuilding) return 0;
  if (_back) {
    _back = false;
    return 0;
  }
  // Paths, not items: a rebuild deletes every item, a path outlives it.
  if (!notify->itemOld.hItem) return 0;
  const std::wstring path = ItemPath(notify->itemOld.hItem);
  if (path.empty()) return 0;
  _history.push_back(path);
  while (_history.size() > kHistoryLimit) _history.pop_front();
  return 0;
}

LRESULT CFolderTreeView::OnSelChanged(NMTREEVIEWW* notify) {
  if (_rebuilding) return 0;
  // The user chose a folder while a walk waited for a listing: the walk ends.
  _walk.reset();
  // Keeps the selection visible while the tree has no focus.
  SetDropHighlight(notify->itemNew.hItem);
  RefreshScrollBar();
  if (!_owner) {
    OV_LOG(kLogError, "コールバック情報未設定");
    return 0;
  }
  _owner->ListFolder(_target, notify->itemNew.hItem ? ItemPath(notify->itemNew.hItem) : L"");
  return 0;
}

LRESULT CFolderTreeView::OnBeginDrag(NMTREEVIEWW* notify) {
  if (_dragging_allowed) _dragged = notify->itemNew.hItem;
  return 0;
}

LRESULT CFolderTreeView::OnDeleteItem(NMTREEVIEWW* notify) {
  const HTREEITEM item = notify->itemOld.hItem;
  if (item == _dragged) _dragged = nullptr;
  if (item == _right_clicked) _right_clicked = nullptr;
  FreeData(reinterpret_cast<ItemData*>(notify->itemOld.lParam));
  return 0;
}

bool CFolderTreeView::Refresh(const std::wstring& root_path) {
  if (!IsEnabled()) return false;
  OV_LOG(kLogInfo, "ツリービュー表示更新開始[Target:%d][Root:%s]", _target,
         Narrow(root_path).c_str());
  const HTREEITEM root = _GetRoot();
  const std::wstring path = root_path.empty() && root ? ItemPath(root) : root_path;
  // Listings and a walk under way name items about to go.
  _walk.reset();
  ++_generation;
  if (_lister) _lister->SetGeneration(_generation);
  if (root) {
    // The items' blocks are freed here, whether or not the owner routes the
    // deletion notices back.
    _rebuilding = true;
    FreeItemData(root);
    const bool deleted = DeleteItem(TVI_ROOT);
    _rebuilding = false;
    _dragged = nullptr;
    _right_clicked = nullptr;
    if (!deleted) {
      OV_LOG(kLogError, "ツリービュー削除失敗[Target:%d]", _target);
      return false;
    }
  }
  if (!BuildTree(path)) {
    OV_LOG(kLogError, "ツリービュー構築失敗[Target:%d]", _target);
    return false;
  }
  RefreshScrollBar();
  OV_LOG(kLogInfo, "ツリービュー表示更新完了[Target:%d]", _target);
  return true;
}

bool CFolderTreeView::BuildTree(const std::wstring& root_path) {
  IShellFolder* desktop = nullptr;
  const HRESULT hr = SHGetDesktopFolder(&desktop);
  if (FAILED(hr) || !desktop) {
    OV_LOG(kLogError, "SHGetDesktopFolder失敗 [0x%08X]", static_cast<unsigned>(hr));
    return false;
  }
  bool built = false;
  if (root_path.empty()) {
    lib::CItemIdList list;
    if (!list.SetSpecialFolder(Handle(), CSIDL_DESKTOP)) {
      OV_LOG(kLogError, "ITEMIDLIST取得失敗 [デスクトップ]");
    } else {
      // The desktop stands for itself: it is no child of a folder.
      FolderChild self;
      self.id.assign(2, 0);
      self.name = list.GetDisplayName(desktop, SHGDN_NORMAL);
      self.attributes = SFGAO_FOLDER | SFGAO_HASSUBFOLDER;
      if (self.name.empty()) {
        OV_LOG(kLogError, "フォルダ表示名の取得失敗");
      } else {
        desktop->AddRef();
        built = InsertFolderItem(TVI_ROOT, self, list.Detach(), desktop) != nullptr;
      }
    }
    desktop->Release();
    return built;
  }
  lib::CItemIdList list;
  if (!list.ParseDisplayName(desktop, root_path)) {
    OV_LOG(kLogError, "ITEMIDLIST取得失敗 [%s]", Narrow(root_path).c_str());
    desktop->Release();
    return false;
  }
  lib::CItemIdList parent(list.GetParent());
  lib::CItemIdList last(list.GetLastItem());
  IShellFolder* folder = nullptr;
  HRESULT bound = S_OK;
  if (parent.IsEmpty()) {
    // A folder right below the desktop.
    desktop->AddRef();
    folder = desktop;
  } else {
    bound = desktop->BindToObject(parent.Get(), nullptr, IID_IShellFolder,
                                  reinterpret_cast<void**>(&folder));
  }
  if (FAILED(bound) || !folder || last.IsEmpty()) {
    OV_LOG(kLogError, "BindToObject失敗 [0x%08X][%s]", static_cast<unsigned>(bound),
           Narrow(root_path).c_str());
    OV_LOG(kLogDump, "%s", Dump(list.Get()).c_str());
  } else {
    FolderChild self;
    if (DescribeFolder(_desktop, folder, last.Get(), list.Get(), L"", &self))
      built = InsertFolderItem(TVI_ROOT, self, list.Detach(), nullptr) != nullptr;
  }
  if (folder) folder->Release();
  desktop->Release();
  return built;
}

bool CFolderTreeView::SelectAndForget(HTREEITEM item) {
  if (_SelectItem(item)) return true;
  OV_LOG(kLogError, "_SelectItem失敗 [0x%08X]",
         static_cast<unsigned>(reinterpret_cast<UINT_PTR>(item)));
  return false;
}

bool CFolderTreeView::SelectFolder(const std::wstring& wanted) {
  std::wstring path = wanted.substr(0, MAX_PATH);
  while (!IsDirectory(path)) {
    OV_LOG(kLogError, "フォルダ存在せず [%s]", Narrow(path).c_str());
    wchar_t buffer[MAX_PATH + 1] = {};
    path.copy(buffer, MAX_PATH);
    if (path.empty() || !PathRemoveFileSpecW(buffer) || path == buffer) {
      OV_LOG(kLogError, "親フォルダ取得失敗 [%s]", Narrow(path).c_str());
      return false;
    }
    path = buffer;
  }
  lib::CItemIdList list;
  if (!_desktop || !list.ParseDisplayName(_desktop, path)) {
    OV_LOG(kLogError, "ITEMIDLIST取得失敗 [%s]", Narrow(path).c_str());
    return false;
  }
  const HTREEITEM root = _GetRoot();
  if (!root) {
    OV_LOG(kLogError, "_GetRoot失敗");
    return false;
  }
  const ItemData* root_data = Data(root);
  if (!root_data) {
    OV_LOG(kLogError, "_GetItemParam失敗 [0x%08X]",
           static_cast<unsigned>(reinterpret_cast<UINT_PTR>(root)));
    return false;
  }
  // The root's ids must begin the path's; a desktop root begins every path.
  const int depth = lib::CItemIdList::Count(root_data->full);
  const int count = lib::CItemIdList::Count(list.Get());
  bool matches = depth <= count;
  if (matches && depth > 0) {
    lib::CItemIdList head(list.CopyRange(0, depth));
    matches = !head.IsEmpty() && SameShellId(_desktop, head.Get(), root_data->full);
  }
  if (!matches) {
    OV_LOG(kLogError, "ルートIDLが見つからない [0x%08X]",
           static_cast<unsigned>(reinterpret_cast<UINT_PTR>(root)));
    return false;
  }
  // The path is the root itself when nothing is left to walk.
  _walk = std::make_unique<Walk>();
  _walk->path = path;
  _walk->next = depth;
  _walk->current = root;
  _walk->back = _back;
  _walk->target.Attach(list.Detach());
  return ContinueWalk();
}

bool CFolderTreeView::ContinueWalk() {
  const int count = lib::CItemIdList::Count(_walk->target.Get());
  for (; _walk->next < count; ++_walk->next) {
    const HTREEITEM current = _walk->current;
    ListChildren(current);
    ItemData* data = Data(current);
    // The listing runs on the lister's thread: the walk goes on when it is in.
    if (data && data->listed != kListed) return true;
    Expand(current, TVE_EXPAND);
    IShellFolder* folder = FolderOf(data);
    lib::CItemIdList id(_walk->target.CopyRange(_walk->next, 1));
    HTREEITEM found = nullptr;
    for (HTREEITEM child = _GetChildItem(current); child && folder; child = _GetNextItem(child)) {
      const ItemData* child_data = Data(child);
      if (child_data && child_data->id && SameShellId(folder, child_data->id, id.Get())) {
        found = child;
        break;
      }
    }
    if (!found) break;
    _walk->current = found;
  }
  const std::unique_ptr<Walk> walk = std::move(_walk);
  _back = walk->back;
  const bool selected = SelectAndForget(walk->current);
  // Selecting the item already selected sends no notice to clear the flag.
  _back = false;
  if (!selected) return false;
  Expand(walk->current, TVE_EXPAND);
  return true;
}

bool CFolderTreeView::Back() {
  if (_history.empty()) return false;
  const std::wstring path = _history.back();
  _history.pop_back();
  _back = true;
  const bool selected = SelectFolder(path);
  _back = false;
  if (!selected) {
    OV_LOG(kLogError, "_SelectItem失敗 [0x%08X]", 0u);
    return false;
  }
  return true;
}

bool CFolderTreeView::Up() {
  const HTREEITEM selected = _GetSelectedItem();
  if (!selected) {
    OV_LOG(kLogError, "_GetSelectedItem失敗");
    return false;
  }
  const HTREEITEM parent = _GetParentItem(selected);
  if (!parent) {
    OV_LOG(kLogError, "_GetParentItem失敗 [0x%08X]",
           static_cast<unsigned>(reinterpret_cast<UINT_PTR>(selected)));
    return false;
  }
  return SelectAndForget(parent);
}

std::wstring CFolderTreeView::GetSelectedPath() const {
  const HTREEITEM selected = _GetSelectedItem();
  if (!selected) {
    OV_LOG(kLogError, "_GetSelectedItem失敗");
    return std::wstring();
  }
  return ItemPath(selected);
}

std::wstring CFolderTreeView::GetRightClickedPath() const {
  return _right_clicked ? ItemPath(_right_clicked) : std::wstring();
}

std::wstring CFolderTreeView::GetDraggedPath() const {
  return _dragged ? ItemPath(_dragged) : std::wstring();
}

std::wstring CFolderTreeView::GetPathAt(POINT screen) const {
  ScreenToClient(Handle(), &screen);
  const HTREEITEM item = HitTest(screen);
  return item ? ItemPath(item) : std::wstring();
}

void CFolderTreeView::HighlightAt(POINT parent_point) {
  MapWindowPoints(_parent, Handle(), &parent_point, 1);
  SetDropHighlight(HitTest(parent_point));
}

void CFolderTreeView::ForgetRightClicked() {
  _right_clicked = nullptr;
  SetDropHighlight(_GetSelectedItem());
}

void CFolderTreeView::ScrollByWheel(int delta) {
  int low = 0, high = 0;
  CCustomScrollBarBase::GetScrollRange(Handle(), SB_VERT, &low, &high);
  int pos = CCustomScrollBarBase::GetScrollPos(Handle(), SB_VERT) + delta;
  pos = pos < low ? low : pos > high ? high : pos;
  SendMessageW(Handle(), WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, pos), 0);
  // The skinned bar mirrors the control, which clamps to its own page.
  RefreshScrollBar();
}

void CFolderTreeView::RefreshScrollBar() {
  if (!_scroll) return;
  _scroll->Refresh();
  HideUnneededBar();
}

void CFolderTreeView::HideUnneededBar() {
  // Wine's control hides a vertical bar it no longer needs without a new
  // range, so the mirrored range still overflows: count the rows instead.
  UINT rows = 0;
  for (HTREEITEM item = _GetRoot(); item && rows <= 0x7fff;
       item = TreeView_GetNextVisible(Handle(), item))
    ++rows;
  if (rows > TreeView_GetVisibleCount(Handle())) return;
  SCROLLINFO info = {sizeof(info), SIF_ALL, 0, 0, 2, 0, 0};
  CCustomScrollBarBase::SetScrollInfo(Handle(), SB_VERT, &info, TRUE);
}

void CFolderTreeView::ForwardToParent(UINT message, WPARAM wparam, LPARAM lparam) {
  if (!_parent) return;
  POINT point = {static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
  MapWindowPoints(Handle(), _parent, &point, 1);
  SendMessageW(_parent, message, wparam, MAKELPARAM(point.x, point.y));
}

LRESULT CFolderTreeView::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kListingMessage) {
    // Only a batch the lister posted and has not handed back yet.
    if (_lister) OnListing(_lister->Take(lparam));
    return 0;
  }
  if (message == WM_DESTROY) {
    _walk.reset();
    ++_generation;
    if (_lister) _lister->SetGeneration(_generation);
    // The control deletes its items after this; their blocks go now, while
    // this object still knows them.
    _rebuilding = true;
    FreeItemData(_GetRoot());
  }
  const LRESULT result = CTreeViewBase::WindowProc(message, wparam, lparam);
  if (_scroll && message != WM_NCDESTROY) {
    _scroll->OnMessage(message, wparam, lparam);
    if (message == WM_SIZE) HideUnneededBar();
  }
  switch (message) {
    case WM_RBUTTONDOWN: {
      const POINT point = {static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
      _right_clicked = HitTest(point);
      SetDropHighlight(_right_clicked);
      ForwardToParent(message, wparam, lparam);
      break;
    }
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
      ForwardToParent(message, wparam, lparam);
      break;
    default:
      break;
  }
  return result;
}

}  // namespace ui
