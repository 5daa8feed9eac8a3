// Shell item-id lists; see the header.
#include "ItemIdList.h"

#include <cstring>

namespace lib {

namespace {

LPITEMIDLIST Allocate(UINT size) {
  void* memory = CoTaskMemAlloc(size);
  if (memory) std::memset(memory, 0, size);
  return static_cast<LPITEMIDLIST>(memory);
}

const BYTE* Next(LPCITEMIDLIST id) { return reinterpret_cast<const BYTE*>(id) + id->mkid.cb; }

}  // namespace

CItemIdList::~CItemIdList() { CoTaskMemFree(_list); }

LPITEMIDLIST CItemIdList::Detach() {
  LPITEMIDLIST list = _list;
  _list = nullptr;
  return list;
}

void CItemIdList::Attach(LPITEMIDLIST list) {
  if (list != _list) CoTaskMemFree(_list);
  _list = list;
}

bool CItemIdList::SetSpecialFolder(HWND window, int folder_id) {
  Attach(nullptr);
  LPITEMIDLIST list = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(window, folder_id, &list))) return false;
  _list = list;
  return true;
}

bool CItemIdList::ParseDisplayName(IShellFolder* folder, const std::wstring& path) {
  Attach(nullptr);
  if (!folder || path.empty()) return false;
  std::wstring name = path;  // the call takes a writable string
  LPITEMIDLIST list = nullptr;
  if (FAILED(folder->ParseDisplayName(nullptr, nullptr, &name[0], nullptr, &list, nullptr)))
    return false;
  _list = list;
  return true;
}

bool CItemIdList::GetAttributes(IShellFolder* folder, ULONG* attributes) const {
  if (!folder || !_list || !attributes) return false;
  LPCITEMIDLIST one = _list;
  return SUCCEEDED(folder->GetAttributesOf(1, &one, attributes));
}

int CItemIdList::Compare(IShellFolder* folder, LPCITEMIDLIST other) const {
  if (!folder || !_list || !other) return 0;
  const short code = static_cast<short>(HRESULT_CODE(folder->CompareIDs(0, _list, other)));
  return code < 0 ? -1 : code > 0 ? 1 : 0;
}

UINT CItemIdList::GetSize(LPCITEMIDLIST list, bool whole) {
  if (!list) return 0;
  if (!whole) return list->mkid.cb;
  UINT size = 2;
  for (LPCITEMIDLIST id = list; id->mkid.cb != 0; id = reinterpret_cast<LPCITEMIDLIST>(Next(id)))
    size += id->mkid.cb;
  return size;
}

int CItemIdList::Count(LPCITEMIDLIST list) {
  if (!list) return 0;
  int count = 0;
  for (LPCITEMIDLIST id = list; id->mkid.cb != 0; id = reinterpret_cast<LPCITEMIDLIST>(Next(id)))
    ++count;
  return count;
}

LPITEMIDLIST CItemIdList::Append(LPCITEMIDLIST other) const {
  const UINT mine = _list ? GetSize(_list, true) - 2 : 0;
  const UINT theirs = other ? GetSize(other, true) - 2 : 0;
  LPITEMIDLIST list = Allocate(mine + theirs + 2);
  if (!list) return nullptr;
  BYTE* out = reinterpret_cast<BYTE*>(list);
  if (mine) std::memcpy(out, _list, mine);
  if (theirs) std::memcpy(out + mine, other, theirs);
  return list;
}

LPITEMIDLIST CItemIdList::CopyRange(int first, int count) const {
  if (count < 1 || first < 0 || Count(_list) < first + count) return nullptr;
  const BYTE* start = reinterpret_cast<const BYTE*>(_list);
  for (int i = 0; i < first; ++i) start = Next(reinterpret_cast<LPCITEMIDLIST>(start));
  const BYTE* end = start;
  for (int i = 0; i < count; ++i) end = Next(reinterpret_cast<LPCITEMIDLIST>(end));
  const UINT size = static_cast<UINT>(end - start);
  LPITEMIDLIST list = Allocate(size + 2);
  if (!list) return nullptr;
  std::memcpy(list, start, size);
  return list;
}

LPITEMIDLIST CItemIdList::GetLastItem() const { return CopyRange(Count(_list) - 1, 1); }

LPITEMIDLIST CItemIdList::GetParent() const { return CopyRange(0, Count(_list) - 1); }

std::wstring CItemIdList::GetPath() const {
  if (!_list || _list->mkid.cb == 0) return std::wstring();
  wchar_t path[MAX_PATH] = {};
  if (!SHGetPathFromIDListW(_list, path)) return std::wstring();
  return path;
}

std::wstring CItemIdList::GetDisplayName(IShellFolder* folder, DWORD flags) const {
  if (!folder || !_list) return std::wstring();
  STRRET name = {};
  if (FAILED(folder->GetDisplayNameOf(_list, flags, &name))) return std::wstring();
  wchar_t text[520] = {};
  if (FAILED(StrRetToBufW(&name, _list, text, 520))) return std::wstring();
  return text;
}

}  // namespace lib
