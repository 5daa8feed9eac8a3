// The folder tree's listing of child folders; see the header.
#include "FolderLister.h"

#include <process.h>

#include <algorithm>
#include <cstring>

#include "ItemIdList.h"
#include "Log.h"
#include "StringUtil.h"
#include "_WindowPolicy.h"

namespace ui {

namespace {

// Internet, Control Panel, Printers, Recycle Bin, Network: never shown.
const int kHiddenFolders[] = {CSIDL_INTERNET, CSIDL_CONTROLS, CSIDL_PRINTERS, CSIDL_BITBUCKET,
                              CSIDL_NETWORK};

// The hidden folders, for the whole process: written once by the first
// tree's thread before any listing, only read afterwards.
struct HiddenFolder {
  LPITEMIDLIST last;    // the last id of its location
  std::wstring parsed;  // its parsing name from the desktop
};
std::vector<HiddenFolder>& HiddenFolders() {
  static std::vector<HiddenFolder> folders;
  return folders;
}

// Wine's canonical comparison tells a folder's id listed by its parent from
// the same folder's id in its special location ("::{class id}" items of
// two forms); their parsing names agree. Folders of the file system are
// never hidden, so only the others pay for the name.
bool IsHidden(IShellFolder* desktop, IShellFolder* parent, LPCITEMIDLIST child, LPCITEMIDLIST full,
              ULONG attributes) {
  for (const HiddenFolder& hidden : HiddenFolders())
    if (SameShellId(parent, child, hidden.last)) return true;
  if ((attributes & SFGAO_FILESYSTEM) || !desktop) return false;
  lib::CItemIdList borrowed(const_cast<LPITEMIDLIST>(full));
  const std::wstring parsed = borrowed.GetDisplayName(desktop, SHGDN_FORPARSING);
  borrowed.Detach();
  for (const HiddenFolder& hidden : HiddenFolders())
    if (!parsed.empty() && _wcsicmp(parsed.c_str(), hidden.parsed.c_str()) == 0) return true;
  return false;
}

// A child's file-system path from its folder's path and its name there:
// asking for the whole list's path costs about a millisecond a folder under
// Wine. Empty for a folder outside the file system.
std::wstring ChildPath(IShellFolder* folder, const std::wstring& parent_path, LPCITEMIDLIST child,
                       LPCITEMIDLIST child_full) {
  if (parent_path.empty()) return ShellPathOf(child_full);
  STRRET name = {};
  wchar_t text[MAX_PATH] = {};
  if (FAILED(folder->GetDisplayNameOf(child, SHGDN_INFOLDER | SHGDN_FORPARSING, &name)) ||
      FAILED(StrRetToBufW(&name, child, text, MAX_PATH)) || !text[0])
    return ShellPathOf(child_full);
  std::wstring path = parent_path;
  if (path.back() != L'\\') path += L'\\';
  return path + text;
}

// Owns one reference of a COM object.
template <typename T>
struct Released {
  T* p = nullptr;
  ~Released() {
    if (p) p->Release();
  }
};

// Owns a shell-allocated block.
struct TaskMemory {
  void* p = nullptr;
  ~TaskMemory() { CoTaskMemFree(p); }
};

}  // namespace

bool SameShellId(IShellFolder* folder, LPCITEMIDLIST a, LPCITEMIDLIST b) {
  const HRESULT hr = folder->CompareIDs(0, a, b);
  return SUCCEEDED(hr) && static_cast<short>(HRESULT_CODE(hr)) == 0;
}

std::wstring ShellPathOf(LPCITEMIDLIST full) {
  if (!full || full->mkid.cb == 0) return std::wstring();
  wchar_t path[MAX_PATH] = {};
  if (!SHGetPathFromIDListW(full, path)) return std::wstring();
  // Wine answers with "::{class id}" for folders outside the file system,
  // where Windows fails; neither names a folder a listing could open.
  if (path[0] == L':' && path[1] == L':') return std::wstring();
  return path;
}

void LearnHiddenFolders() {
  static bool learnt = false;  // the first tree's thread, before any listing
  if (learnt) return;
  learnt = true;
  for (int id : kHiddenFolders) {
    lib::CItemIdList location;
    if (!location.SetSpecialFolder(nullptr, id)) continue;
    LPITEMIDLIST last = location.GetLastItem();
    if (!last) continue;
    IShellFolder* desktop = nullptr;
    std::wstring parsed;
    if (SUCCEEDED(SHGetDesktopFolder(&desktop))) {
      parsed = location.GetDisplayName(desktop, SHGDN_FORPARSING);
      desktop->Release();
    }
    HiddenFolders().push_back({last, parsed});
  }
}

IShellFolder* BindFolder(IShellFolder* desktop, LPCITEMIDLIST full) {
  if (!desktop) return nullptr;
  if (!full || full->mkid.cb == 0) {
    desktop->AddRef();
    return desktop;
  }
  IShellFolder* folder = nullptr;
  const HRESULT hr =
      desktop->BindToObject(full, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder));
  if (FAILED(hr) || !folder) {
    OV_LOG(kLogError, "BindToObject失敗 [%08X][%s]", static_cast<unsigned>(hr),
           ToMultiByte(ShellPathOf(full)).c_str());
    return nullptr;
  }
  return folder;
}

bool DescribeFolder(IShellFolder* desktop, IShellFolder* parent, LPCITEMIDLIST child,
                    LPCITEMIDLIST full, const std::wstring& parent_path, FolderChild* out) {
  // Archives the shell shows as folders are files on disk: not listed.
  const std::wstring path = ChildPath(parent, parent_path, child, full);
  const DWORD on_disk = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(path.c_str());
  if (on_disk != INVALID_FILE_ATTRIBUTES && !(on_disk & FILE_ATTRIBUTE_DIRECTORY)) return false;
  ULONG attributes = SFGAO_FOLDER | SFGAO_HASSUBFOLDER | SFGAO_SHARE | SFGAO_FILESYSTEM;
  LPCITEMIDLIST one = child;
  if (FAILED(parent->GetAttributesOf(1, &one, &attributes))) return false;
  if (IsHidden(desktop, parent, child, full, attributes)) return false;
  if (!(attributes & SFGAO_FOLDER)) return false;
  lib::CItemIdList borrowed(const_cast<LPITEMIDLIST>(child));
  const std::wstring name = borrowed.GetDisplayName(parent, SHGDN_NORMAL);
  borrowed.Detach();
  if (name.empty()) {
    OV_LOG(kLogError, "フォルダ表示名の取得失敗");
    return false;
  }
  // A folder that cannot be opened is not offered.
  Released<IShellFolder> folder;
  const HRESULT hr =
      parent->BindToObject(child, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder.p));
  if (FAILED(hr) || !folder.p) {
    OV_LOG(kLogError, "BindToObject失敗 [%08X][%s]", static_cast<unsigned>(hr),
           ToMultiByte(name).c_str());
    return false;
  }
  const BYTE* bytes = reinterpret_cast<const BYTE*>(child);
  out->id.assign(bytes, bytes + lib::CItemIdList::GetSize(child, true));
  out->name = name.substr(0, MAX_PATH);
  out->path = path;
  out->attributes = attributes;
  return true;
}

bool ListChildFolders(IShellFolder* desktop, LPCITEMIDLIST full, int limit,
                      const std::function<bool(FolderChild&&)>& add, bool* over_limit) {
  *over_limit = false;
  Released<IShellFolder> folder;
  folder.p = BindFolder(desktop, full);
  if (!folder.p) return false;
  Released<IEnumIDList> children;
  const HRESULT hr = folder.p->EnumObjects(nullptr, SHCONTF_FOLDERS, &children.p);
  if (FAILED(hr) || !children.p) {
    OV_LOG(kLogError, "EnumObjects失敗");
    return false;
  }
  lib::CItemIdList parent_list;  // borrowed for Append only
  parent_list.Attach(const_cast<LPITEMIDLIST>(full));
  const std::wstring parent_path = ShellPathOf(full);
  std::vector<FolderChild> shown;
  LPITEMIDLIST child = nullptr;
  while (children.p->Next(1, &child, nullptr) == S_OK && child) {
    lib::CItemIdList owned(child);
    TaskMemory child_full;
    child_full.p = parent_list.Append(child);
    if (!child_full.p) continue;
    FolderChild described;
    if (!DescribeFolder(desktop, folder.p, child, static_cast<LPCITEMIDLIST>(child_full.p),
                        parent_path, &described))
      continue;
    if (static_cast<int>(shown.size()) >= limit) {
      *over_limit = true;
      break;
    }
    shown.push_back(std::move(described));
  }
  parent_list.Detach();
  // In the shell's order, sorted here: sorting a few hundred items in the
  // control costs the window's thread a third of a second under Wine. A
  // merge sort, which stays within bounds whatever the comparison says.
  std::stable_sort(shown.begin(), shown.end(), [&](const FolderChild& a, const FolderChild& b) {
    const HRESULT order = folder.p->CompareIDs(0, reinterpret_cast<LPCITEMIDLIST>(a.id.data()),
                                               reinterpret_cast<LPCITEMIDLIST>(b.id.data()));
    return SUCCEEDED(order) && static_cast<short>(HRESULT_CODE(order)) < 0;
  });
  for (FolderChild& one : shown) {
    if (!add(std::move(one))) break;
  }
  return true;
}

CFolderLister::~CFolderLister() { Stop(); }

void CFolderLister::Stop() {
  if (_thread) {
    SetEvent(_stop.Get());
    // The thread stops at its next child; a shell call in progress ends
    // first, however long it takes.
    WaitForSingleObject(_thread.Get(), INFINITE);
    _thread.Reset();
  }
  std::set<FolderListing*> posted;
  {
    lib::wfc::CLock lock(&_lock);
    _jobs.clear();
    posted.swap(_posted);
  }
  // Batches still in a queue of a window that is gone, or never read.
  for (FolderListing* batch : posted) delete batch;
}

bool CFolderLister::Queue(HWND window, UINT message, uint32_t generation, HTREEITEM item,
                          LPCITEMIDLIST full, int limit) {
  if (!_thread) {
    if (!_wake) _wake.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!_stop) _stop.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!_wake || !_stop) return false;
    ResetEvent(_stop.Get());
    const uintptr_t thread = _beginthreadex(nullptr, 0, &ThreadProc, this, 0, nullptr);
    if (!thread) {
      OV_LOG(kLogError, "フォルダ一覧スレッド開始失敗 ERR:0x%08X.",
             static_cast<unsigned>(GetLastError()));
      return false;
    }
    _thread.Reset(reinterpret_cast<HANDLE>(thread));
  }
  const BYTE* bytes = reinterpret_cast<const BYTE*>(full);
  Job job{generation, item, {}, limit, window, message};
  job.full.assign(bytes, bytes + lib::CItemIdList::GetSize(full, true));
  lib::wfc::CLock lock(&_lock);
  _jobs.push_back(std::move(job));
  SetEvent(_wake.Get());
  return true;
}

void CFolderLister::SetGeneration(uint32_t generation) {
  _generation.store(generation);
  lib::wfc::CLock lock(&_lock);
  for (auto it = _jobs.begin(); it != _jobs.end();) {
    it = it->generation == generation ? it + 1 : _jobs.erase(it);
  }
}

std::unique_ptr<FolderListing> CFolderLister::Take(LPARAM lparam) {
  auto* batch = reinterpret_cast<FolderListing*>(lparam);
  lib::wfc::CLock lock(&_lock);
  if (_posted.erase(batch) == 0) return nullptr;
  return std::unique_ptr<FolderListing>(batch);
}

bool CFolderLister::TakeJob(Job* job) {
  lib::wfc::CLock lock(&_lock);
  if (_jobs.empty()) {
    ResetEvent(_wake.Get());
    return false;
  }
  *job = std::move(_jobs.front());
  _jobs.pop_front();
  return true;
}

bool CFolderLister::Post(const Job& job, std::unique_ptr<FolderListing> batch) {
  FolderListing* raw = batch.get();
  {
    lib::wfc::CLock lock(&_lock);
    _posted.insert(raw);
  }
  if (PostMessageW(job.window, job.message, 0, reinterpret_cast<LPARAM>(raw))) {
    batch.release();  // in _posted until taken back or freed by Stop
    return true;
  }
  lib::wfc::CLock lock(&_lock);
  _posted.erase(raw);
  return false;
}

void CFolderLister::RunJob(IShellFolder* desktop, const Job& job) {
  const auto stale = [&] {
    return _generation.load() != job.generation || WaitForSingleObject(_stop.Get(), 0) == 0;
  };
  if (stale()) return;
  auto batch = std::make_unique<FolderListing>();
  const auto begin = [&] {
    batch = std::make_unique<FolderListing>();
    batch->generation = job.generation;
    batch->item = job.item;
  };
  begin();
  bool over = false;
  const auto full = reinterpret_cast<LPCITEMIDLIST>(job.full.data());
  ListChildFolders(
      desktop, full, job.limit,
      [&](FolderChild&& child) {
        if (stale()) return false;
        batch->children.push_back(std::move(child));
        if (batch->children.size() < kBatch) return true;
        if (!Post(job, std::move(batch))) return false;
        begin();
        return true;
      },
      &over);
  if (stale()) return;
  // The last batch, empty or not, ends the folder's listing, failed or not.
  batch->last = true;
  batch->over_limit = over;
  Post(job, std::move(batch));
}

unsigned __stdcall CFolderLister::ThreadProc(void* self) {
  try {
    return static_cast<CFolderLister*>(self)->Run();
  } catch (...) {
    lib::wfc::LogEscapedException("folder lister");
    return static_cast<unsigned>(-1);
  }
}

unsigned CFolderLister::Run() {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  IShellFolder* desktop = nullptr;
  if (FAILED(SHGetDesktopFolder(&desktop))) desktop = nullptr;
  for (;;) {
    const HANDLE events[2] = {_stop.Get(), _wake.Get()};
    const DWORD woken = WaitForMultipleObjects(2, events, FALSE, INFINITE);
    if (woken != WAIT_OBJECT_0 + 1) break;
    Job job;
    while (WaitForSingleObject(_stop.Get(), 0) != WAIT_OBJECT_0 && TakeJob(&job)) {
      RunJob(desktop, job);
    }
  }
  if (desktop) desktop->Release();
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}

}  // namespace ui
