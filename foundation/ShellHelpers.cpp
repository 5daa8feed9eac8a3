// The shell's change-notification entries and folder picker.
#include "ShellHelpers.h"

#include <cstring>
#include <vector>

#include "Log.h"
#include "StringUtil.h"

namespace {

// shell32 exports these only by ordinal.
constexpr WORD kRegisterOrdinal = 2;
constexpr WORD kDeregisterOrdinal = 4;
constexpr WORD kLockOrdinal = 644;
constexpr WORD kUnlockOrdinal = 645;

// A notification's path in the ANSI code page must leave room for its end.
constexpr size_t kNarrowPathLimit = CWrapSHChangeNotifyRegister::kPathBufferSize - 1;

template <typename Entry>
Entry TakeOrdinal(HMODULE module, WORD ordinal) {
  return reinterpret_cast<Entry>(
      reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(ordinal))));
}

// The ANSI form of a wide text, or false when a character has none: a path
// with a stand-in character would name another file or none.
bool ToExactAnsi(const std::wstring& wide, std::string* narrow) {
  narrow->clear();
  if (wide.empty()) return true;
  BOOL lossy = FALSE;
  const int size = static_cast<int>(wide.size());
  const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr, 0,
                                    nullptr, &lossy);
  if (n <= 0 || lossy) return false;
  std::string out(n, '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, &out[0], n, nullptr,
                      nullptr);
  narrow->swap(out);
  return true;
}

// The file-system path of an item list; empty for items outside it.
std::wstring ItemPath(PCIDLIST_ABSOLUTE item) {
  wchar_t path[MAX_PATH] = {};
  if (!item || !SHGetPathFromIDListW(item, path)) return std::wstring();
  return path;
}

void CopyNotifiedPath(PCIDLIST_ABSOLUTE item, char* out) {
  if (!out) return;
  std::string narrow;
  if (!ToExactAnsi(ItemPath(item), &narrow) || narrow.size() >= kNarrowPathLimit) return;
  memcpy(out, narrow.c_str(), narrow.size() + 1);
}

// The shell's allocator, held while the picker is open; it frees the item
// list the picker hands back.
class CShellAllocator final {
 public:
  CShellAllocator() {
    if (FAILED(SHGetMalloc(&_malloc))) _malloc = nullptr;
  }
  ~CShellAllocator() {
    if (_malloc) _malloc->Release();
  }
  CShellAllocator(const CShellAllocator&) = delete;
  CShellAllocator& operator=(const CShellAllocator&) = delete;

  explicit operator bool() const { return _malloc != nullptr; }
  void Free(void* p) const {
    if (p) _malloc->Free(p);
  }

 private:
  IMalloc* _malloc = nullptr;
};

}  // namespace

bool CWrapSHChangeNotifyRegister::Load(const char* library) {
  Clear();
  _shell.Reset(LoadLibraryA(library));
  if (!_shell) return false;
  const HMODULE shell = _shell.Get();
  _entries.register_entry = TakeOrdinal<RegisterEntry>(shell, kRegisterOrdinal);
  _entries.deregister_entry = TakeOrdinal<DeregisterEntry>(shell, kDeregisterOrdinal);
  _entries.lock_entry = TakeOrdinal<LockEntry>(shell, kLockOrdinal);
  _entries.unlock_entry = TakeOrdinal<UnlockEntry>(shell, kUnlockOrdinal);
  if (IsLoaded()) return true;
  Clear();
  return false;
}

bool CWrapSHChangeNotifyRegister::IsLoaded() const {
  return _entries.register_entry && _entries.deregister_entry && _entries.lock_entry &&
         _entries.unlock_entry;
}

void CWrapSHChangeNotifyRegister::Clear() {
  _entries = Entries();
  _shell.Reset();
}

ULONG CWrapSHChangeNotifyRegister::Register(HWND window, int sources, LONG events, UINT message,
                                            int count, const SHChangeNotifyEntry* entries) const {
  if (!_entries.register_entry) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return 0;
  }
  return _entries.register_entry(window, sources, events, message, count, entries);
}

BOOL CWrapSHChangeNotifyRegister::Deregister(ULONG id) const {
  if (!_entries.deregister_entry) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return FALSE;
  }
  return _entries.deregister_entry(id);
}

bool CWrapSHChangeNotifyRegister::OnNotify(LONG* event, char* path1, char* path2, WPARAM wparam,
                                           LPARAM lparam) const {
  if (path1) path1[0] = '\0';
  if (path2) path2[0] = '\0';
  if (!_entries.lock_entry) return false;
  PIDLIST_ABSOLUTE* items = nullptr;
  LONG code = 0;
  const HANDLE lock = _entries.lock_entry(reinterpret_cast<HANDLE>(wparam),
                                          static_cast<DWORD>(lparam), &items, &code);
  if (!lock) return false;
  if (event) *event = code;
  if (items) {
    CopyNotifiedPath(items[0], path1);
    CopyNotifiedPath(items[1], path2);
  }
  if (_entries.unlock_entry) _entries.unlock_entry(lock);
  return true;
}

namespace lib {

void CBrowseForFolder::SetInitialFolder(const std::string& folder) {
  _initial = folder;
  _initial_w = ToWide(folder);
}

void CBrowseForFolder::SetInitialFolderW(const std::wstring& folder) {
  _initial_w = folder;
  if (!ToExactAnsi(folder, &_initial)) _initial.clear();
}

bool CBrowseForFolder::Show(HWND owner, const char* title, bool status_text, UINT extra_flags) {
  const std::wstring wide_title = title ? ToWide(title) : std::wstring();
  return Show(owner, title ? wide_title.c_str() : nullptr, status_text, extra_flags);
}

bool CBrowseForFolder::Show(HWND owner, const wchar_t* title, bool status_text, UINT extra_flags) {
  _path.clear();
  _path_w.clear();
  _display_name.clear();
  _display_name_w.clear();
  const CShellAllocator allocator;
  if (!allocator) return false;

  wchar_t display_name[MAX_PATH] = {};
  BROWSEINFOW info = {};
  info.hwndOwner = owner;
  info.pszDisplayName = display_name;
  info.lpszTitle = title;
  info.ulFlags = BIF_RETURNONLYFSDIRS | (status_text ? BIF_STATUSTEXT : 0) | extra_flags;
  info.lpfn = &BrowseCallbackProc;
  info.lParam = reinterpret_cast<LPARAM>(this);
  const PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
  _picker = nullptr;
  if (!chosen) return false;

  _path_w = ItemPath(chosen);
  allocator.Free(chosen);
  // An item outside the file system has no path to hand on: not a folder.
  if (_path_w.empty()) return false;
  if (!ToExactAnsi(_path_w, &_path)) _path.clear();
  _display_name_w = display_name;
  _display_name = ToMultiByte(_display_name_w);
  return true;
}

int CALLBACK CBrowseForFolder::BrowseCallbackProc(HWND window, UINT notice, LPARAM lparam,
                                                  LPARAM data) {
  // The picker's dialog procedure is below us: nothing may escape into it.
  try {
    return reinterpret_cast<CBrowseForFolder*>(data)->OnCallback(window, notice, lparam);
  } catch (...) {
    OV_LOG(kLogError, "フォルダ選択 コールバック致命的エラー ERR:0x%08lX",
           static_cast<unsigned long>(GetLastError()));
    return 0;
  }
}

void CBrowseForFolder::SelectInitialFolder(HWND window) {
  if (_initial_w.empty()) return;
  std::wstring wanted = _initial_w;
  while (wanted.size() > 3 && wanted.back() == L'\\') wanted.pop_back();
  // The selection notice arrives inside the send, so the path it names tells
  // whether the attempt took. A folder that does not exist fails both ways
  // and the default selection stays.
  _selection_changed = false;
  _selected_w.clear();
  SendMessageW(window, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(_initial_w.c_str()));
  if (_selection_changed && lstrcmpiW(_selected_w.c_str(), wanted.c_str()) == 0) return;
  // Wine's picker finds the folder by comparing the parsed item list byte for
  // byte with the items it listed, and an item's bytes hold its folder's time
  // stamp: a folder created or removed beside any parent (the temporary
  // folder is busy) between the listing and the parse makes it miss. The
  // tree is then walked by the names it shows.
  SelectByNames(window, wanted);
}

namespace {

// The name the picker's tree shows for each level of an item list, from the
// desktop's child down to the item itself.
bool ShownNames(PCIDLIST_ABSOLUTE item, std::vector<std::wstring>* names) {
  names->clear();
  const UINT depth = [item] {
    UINT n = 0;
    for (auto* id = reinterpret_cast<const SHITEMID*>(item); id->cb; ++n) {
      id = reinterpret_cast<const SHITEMID*>(reinterpret_cast<const BYTE*>(id) + id->cb);
    }
    return n;
  }();
  for (UINT level = 1; level <= depth; ++level) {
    PIDLIST_ABSOLUTE prefix = ILClone(item);
    if (!prefix) return false;
    // Cut the copy after `level` items.
    auto* id = reinterpret_cast<SHITEMID*>(prefix);
    for (UINT i = 0; i < level; ++i) {
      id = reinterpret_cast<SHITEMID*>(reinterpret_cast<BYTE*>(id) + id->cb);
    }
    id->cb = 0;
    IShellFolder* parent = nullptr;
    PCUITEMID_CHILD child = nullptr;
    wchar_t name[MAX_PATH] = {};
    bool named = false;
    if (SUCCEEDED(
            SHBindToParent(prefix, IID_IShellFolder, reinterpret_cast<void**>(&parent), &child))) {
      STRRET shown = {};
      named = SUCCEEDED(parent->GetDisplayNameOf(child, SHGDN_NORMAL, &shown)) &&
              SUCCEEDED(StrRetToBufW(&shown, child, name, MAX_PATH));
      parent->Release();
    }
    ILFree(prefix);
    if (!named) return false;
    names->push_back(name);
  }
  return !names->empty();
}

BOOL CALLBACK FindTreeChild(HWND child, LPARAM found) {
  wchar_t kind[32] = {};
  GetClassNameW(child, kind, 32);
  if (lstrcmpiW(kind, WC_TREEVIEWW) != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = child;
  return FALSE;
}

HWND FindTree(HWND picker) {
  HWND tree = nullptr;
  EnumChildWindows(picker, &FindTreeChild, reinterpret_cast<LPARAM>(&tree));
  return tree;
}

std::wstring ItemText(HWND tree, HTREEITEM item) {
  wchar_t text[MAX_PATH] = {};
  TVITEMW tv = {};
  tv.mask = TVIF_TEXT;
  tv.hItem = item;
  tv.pszText = text;
  tv.cchTextMax = MAX_PATH;
  if (!SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv))) return std::wstring();
  return text;
}

}  // namespace

void CBrowseForFolder::SelectByNames(HWND window, const std::wstring& folder) {
  PIDLIST_ABSOLUTE item = nullptr;
  if (FAILED(SHParseDisplayName(folder.c_str(), nullptr, &item, 0, nullptr)) || !item) return;
  std::vector<std::wstring> names;
  const bool named = ShownNames(item, &names);
  ILFree(item);
  const HWND tree = FindTree(window);
  if (!named || !tree) return;
  // The tree's root is the desktop; each level is expanded (the picker lists
  // a folder's children when it first opens) and searched by its shown name.
  HTREEITEM at = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  for (const std::wstring& name : names) {
    if (!at) return;
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(at));
    HTREEITEM child = reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(at)));
    while (child && ItemText(tree, child) != name) {
      child = reinterpret_cast<HTREEITEM>(
          SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(child)));
    }
    at = child;
  }
  if (!at) return;
  SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(at));
  SendMessageW(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(at));
}

int CBrowseForFolder::OnCallback(HWND window, UINT notice, LPARAM lparam) {
  _picker = window;
  switch (notice) {
    case BFFM_INITIALIZED:
      SelectInitialFolder(window);
      OnInitialized();
      return 0;
    case BFFM_SELCHANGED: {
      _selection_changed = true;
      const std::wstring path_w = ItemPath(reinterpret_cast<PCIDLIST_ABSOLUTE>(lparam));
      _selected_w = path_w;
      std::string path;
      if (!ToExactAnsi(path_w, &path)) path.clear();
      return OnSelectionChanged(path, path_w);
    }
    default:
      return 0;
  }
}

}  // namespace lib
