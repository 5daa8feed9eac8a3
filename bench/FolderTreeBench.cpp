// The folder tree on a folder of many sub-folders: expanding it to its
// first paint and selecting a path eight levels deep, each beside bare
// loops over the same folders (the shell's enumeration with display names,
// and FindFirstFile) that fill a plain tree-view control.
// Usage: OvFolderTreeBench.exe <root folder> <deep path> [rounds]
// Prints "key milliseconds" lines.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>
#include <memory>
#include <string>

#include "BenchTiming.h"
#include "FolderTreeView.h"
#include "MessageBox.h"

namespace {

ui::CTreeViewBase* g_routed = nullptr;

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
  if (message == WM_NOTIFY && g_routed)
    return g_routed->OnNotify(message, wp, reinterpret_cast<NMHDR*>(lp));
  return DefWindowProcW(window, message, wp, lp);
}

int AnswerOk(HWND, const char*, const char*, UINT) { return IDOK; }
int AnswerOkW(HWND, const wchar_t*, const wchar_t*, UINT) { return IDOK; }

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

HWND PlainTree(HWND parent) {
  return CreateWindowExW(0, WC_TREEVIEWW, L"",
                         WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_LINESATROOT, 0, 0, 400, 500,
                         parent, nullptr, GetModuleHandleW(nullptr), nullptr);
}

HTREEITEM Insert(HWND tree, HTREEITEM parent, const wchar_t* text) {
  TVINSERTSTRUCTW insert = {};
  insert.hParent = parent;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_CHILDREN;
  insert.item.pszText = const_cast<wchar_t*>(text);
  insert.item.cChildren = 1;
  return reinterpret_cast<HTREEITEM>(
      SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

// The shell's folders of one folder with their display names into the tree.
void ShellChildren(HWND tree, HTREEITEM under, const std::wstring& folder_path) {
  IShellFolder* desktop = nullptr;
  SHGetDesktopFolder(&desktop);
  std::wstring name = folder_path;
  LPITEMIDLIST list = nullptr;
  desktop->ParseDisplayName(nullptr, nullptr, &name[0], nullptr, &list, nullptr);
  IShellFolder* folder = nullptr;
  desktop->BindToObject(list, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder));
  IEnumIDList* children = nullptr;
  folder->EnumObjects(tree, SHCONTF_FOLDERS, &children);
  LPITEMIDLIST child = nullptr;
  while (children && children->Next(1, &child, nullptr) == S_OK) {
    STRRET ret = {};
    wchar_t text[MAX_PATH] = {};
    if (SUCCEEDED(folder->GetDisplayNameOf(child, SHGDN_NORMAL, &ret)))
      StrRetToBufW(&ret, child, text, MAX_PATH);
    Insert(tree, under, text);
    CoTaskMemFree(child);
  }
  if (children) children->Release();
  folder->Release();
  CoTaskMemFree(list);
  desktop->Release();
}

void FileChildren(HWND tree, HTREEITEM under, const std::wstring& folder_path) {
  WIN32_FIND_DATAW found = {};
  HANDLE find = FindFirstFileW((folder_path + L"\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || found.cFileName[0] == L'.')
      continue;
    Insert(tree, under, found.cFileName);
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

using Filler = void (*)(HWND, HTREEITEM, const std::wstring&);

double BareExpand(HWND parent, const std::wstring& root, Filler fill) {
  HWND tree = PlainTree(parent);
  const double start = NowMs();
  const HTREEITEM top = Insert(tree, TVI_ROOT, L"root");
  fill(tree, top, root);
  TreeView_Expand(tree, top, TVE_EXPAND);
  UpdateWindow(tree);
  const double took = NowMs() - start;
  DestroyWindow(tree);
  return took;
}

// Down the path level by level, each level listed into the tree.
double BareSelect(HWND parent, const std::wstring& root, const std::wstring& deep, Filler fill) {
  HWND tree = PlainTree(parent);
  const double start = NowMs();
  HTREEITEM item = Insert(tree, TVI_ROOT, L"root");
  std::wstring path = root;
  size_t at = root.size() + 1;
  while (at <= deep.size()) {
    const size_t end = std::min(deep.find(L'\\', at), deep.size());
    const std::wstring level = deep.substr(at, end - at);
    fill(tree, item, path);
    TreeView_Expand(tree, item, TVE_EXPAND);
    HTREEITEM next = nullptr;
    wchar_t text[MAX_PATH];
    for (HTREEITEM c = TreeView_GetChild(tree, item); c && !next;
         c = TreeView_GetNextSibling(tree, c)) {
      TVITEMW tv = {};
      tv.mask = TVIF_TEXT | TVIF_HANDLE;
      tv.hItem = c;
      tv.pszText = text;
      tv.cchTextMax = MAX_PATH;
      SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
      if (level == text) next = c;
    }
    if (!next) break;
    item = next;
    path += L"\\" + level;
    at = end + 1;
  }
  TreeView_SelectItem(tree, item);
  UpdateWindow(tree);
  const double took = NowMs() - start;
  DestroyWindow(tree);
  return took;
}

// The tree's work per folder, step by step over every folder of the root:
// "key milliseconds" lines.
void Steps(const std::wstring& root) {
  IShellFolder* desktop = nullptr;
  SHGetDesktopFolder(&desktop);
  std::wstring name = root;
  LPITEMIDLIST list = nullptr;
  desktop->ParseDisplayName(nullptr, nullptr, &name[0], nullptr, &list, nullptr);
  IShellFolder* folder = nullptr;
  desktop->BindToObject(list, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder));
  std::vector<LPITEMIDLIST> children;
  IEnumIDList* listing = nullptr;
  double start = NowMs();
  folder->EnumObjects(nullptr, SHCONTF_FOLDERS, &listing);
  LPITEMIDLIST child = nullptr;
  while (listing && listing->Next(1, &child, nullptr) == S_OK) children.push_back(child);
  if (listing) listing->Release();
  std::printf("step_enumerate %.1f\n", NowMs() - start);
  const auto step = [&](const char* key, const std::function<void(LPITEMIDLIST)>& work) {
    const double begin = NowMs();
    for (LPITEMIDLIST c : children) work(c);
    std::printf("%s %.1f\n", key, NowMs() - begin);
  };
  step("step_attributes", [&](LPITEMIDLIST c) {
    ULONG attributes = SFGAO_FOLDER | SFGAO_HASSUBFOLDER | SFGAO_SHARE | SFGAO_FILESYSTEM;
    LPCITEMIDLIST one = c;
    folder->GetAttributesOf(1, &one, &attributes);
  });
  step("step_attributes_no_subfolders", [&](LPITEMIDLIST c) {
    ULONG attributes = SFGAO_FOLDER | SFGAO_SHARE | SFGAO_FILESYSTEM;
    LPCITEMIDLIST one = c;
    folder->GetAttributesOf(1, &one, &attributes);
  });
  step("step_display_name", [&](LPITEMIDLIST c) {
    STRRET ret = {};
    folder->GetDisplayNameOf(c, SHGDN_NORMAL, &ret);
    if (ret.uType == STRRET_WSTR) CoTaskMemFree(ret.pOleStr);
  });
  step("step_bind", [&](LPITEMIDLIST c) {
    IShellFolder* bound = nullptr;
    if (SUCCEEDED(
            folder->BindToObject(c, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&bound))))
      bound->Release();
  });
  const auto full = [&](LPITEMIDLIST c) { return ILCombine(list, c); };
  step("step_path", [&](LPITEMIDLIST c) {
    LPITEMIDLIST f = full(c);
    wchar_t path[MAX_PATH];
    SHGetPathFromIDListW(f, path);
    GetFileAttributesW(path);
    ILFree(f);
  });
  step("step_icon", [&](LPITEMIDLIST c) {
    LPITEMIDLIST f = full(c);
    SHFILEINFOW info = {};
    SHGetFileInfoW(reinterpret_cast<LPCWSTR>(f), 0, &info, sizeof(info),
                   SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    ILFree(f);
  });
  step("step_open_icon", [&](LPITEMIDLIST c) {
    LPITEMIDLIST f = full(c);
    SHFILEINFOW info = {};
    SHGetFileInfoW(reinterpret_cast<LPCWSTR>(f), 0, &info, sizeof(info),
                   SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_OPENICON);
    ILFree(f);
  });
  start = NowMs();
  std::sort(children.begin(), children.end(), [&](LPITEMIDLIST a, LPITEMIDLIST b) {
    return static_cast<short>(HRESULT_CODE(folder->CompareIDs(0, a, b))) < 0;
  });
  std::printf("step_sort %.1f\n", NowMs() - start);
  for (LPITEMIDLIST c : children) CoTaskMemFree(c);
  folder->Release();
  CoTaskMemFree(list);
  desktop->Release();
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc < 3) {
    std::fprintf(stderr, "usage: OvFolderTreeBench <root> <deep path> [rounds]\n");
    return 2;
  }
  const std::wstring root = argv[1];
  const std::wstring deep = argv[2];
  const int rounds = argc > 3 ? _wtoi(argv[3]) : 3;
  CoInitialize(nullptr);
  lib::wfc::SetMessageBoxHandler(AnswerOk);
  lib::wfc::SetMessageBoxHandler(AnswerOkW);
  WNDCLASSW cls = {};
  cls.lpfnWndProc = ParentProc;
  cls.hInstance = GetModuleHandleW(nullptr);
  cls.lpszClassName = L"OvFolderTreeBench";
  RegisterClassW(&cls);
  HWND parent = CreateWindowExW(0, cls.lpszClassName, L"bench", WS_POPUP | WS_VISIBLE, 0, 0, 420,
                                520, nullptr, nullptr, cls.hInstance, nullptr);
  auto view = std::make_unique<ui::CFolderTreeView>(1);
  RECT rect = {0, 0, 400, 500};
  if (!view->Create(parent, rect)) return 1;
  g_routed = view.get();
  Pump();

  int shown = 0;
  const double expand = Best(rounds, [&] {
    view->Refresh(root);
    const HTREEITEM top = TreeView_GetRoot(view->Handle());
    TreeView_Expand(view->Handle(), top, TVE_EXPAND);
    UpdateWindow(view->Handle());
    shown = static_cast<int>(TreeView_GetCount(view->Handle())) - 1;
  });
  bool selected = false;
  const double select = Best(rounds, [&] {
    view->Refresh(root);
    selected = view->SelectFolder(deep) && view->GetSelectedPath() == deep;
    UpdateWindow(view->Handle());
  });
  const double shell_expand = Best(rounds, [&] { BareExpand(parent, root, ShellChildren); });
  const double files_expand = Best(rounds, [&] { BareExpand(parent, root, FileChildren); });
  const double shell_select = Best(rounds, [&] { BareSelect(parent, root, deep, ShellChildren); });
  const double files_select = Best(rounds, [&] { BareSelect(parent, root, deep, FileChildren); });

  Steps(root);
  std::printf("shown %d\nselected %d\n", shown, selected ? 1 : 0);
  std::printf("tree_expand %.1f\nshell_expand %.1f\nfiles_expand %.1f\n", expand, shell_expand,
              files_expand);
  std::printf("tree_select %.1f\nshell_select %.1f\nfiles_select %.1f\n", select, shell_select,
              files_select);
  g_routed = nullptr;
  view.reset();
  DestroyWindow(parent);
  CoUninitialize();
  return 0;
}
