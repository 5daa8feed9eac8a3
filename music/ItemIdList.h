// One owned shell item-id list (a chain of ids ending in a zero-length
// entry, allocated with the shell's task allocator) and the list operations
// the folder tree needs. Lists returned by an operation belong to the
// caller. UI thread only.
#pragma once

#include <string>

#include "OvWindows.h"

namespace lib {

class CItemIdList {
 public:
  CItemIdList() = default;
  explicit CItemIdList(LPITEMIDLIST list) : _list(list) {}
  virtual ~CItemIdList();
  CItemIdList(const CItemIdList&) = delete;
  CItemIdList& operator=(const CItemIdList&) = delete;

  LPITEMIDLIST Get() const { return _list; }
  LPITEMIDLIST Detach();
  void Attach(LPITEMIDLIST list);
  bool IsEmpty() const { return _list == nullptr; }

  bool SetSpecialFolder(HWND window, int folder_id);
  bool ParseDisplayName(IShellFolder* folder, const std::wstring& path);
  bool GetAttributes(IShellFolder* folder, ULONG* attributes) const;
  // -1, 0 or 1; 0 also when the folder or either list is null.
  int Compare(IShellFolder* folder, LPCITEMIDLIST other) const;

  // whole false: the size of the first id; true: every id plus the 2-byte
  // terminator (2 for an empty list, 0 for null).
  static UINT GetSize(LPCITEMIDLIST list, bool whole);
  static int Count(LPCITEMIDLIST list);

  LPITEMIDLIST Append(LPCITEMIDLIST other) const;
  // Null when the list holds fewer than first + count ids or count < 1.
  LPITEMIDLIST CopyRange(int first, int count) const;
  LPITEMIDLIST GetLastItem() const;
  LPITEMIDLIST GetParent() const;

  std::wstring GetPath() const;
  std::wstring GetDisplayName(IShellFolder* folder, DWORD flags) const;

 private:
  LPITEMIDLIST _list = nullptr;
};

}  // namespace lib
