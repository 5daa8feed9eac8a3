// The record of one folder of music files (its playable files, their total
// size and newest time) and the list that owns such records. Not shared
// between threads.
#pragma once

#include "MusicFileInfo.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace libmusic {

class CMusicFolderInfo {
 public:
  CMusicFolderInfo() = default;
  virtual ~CMusicFolderInfo() = default;
  CMusicFolderInfo(const CMusicFolderInfo&) = delete;
  CMusicFolderInfo& operator=(const CMusicFolderInfo&) = delete;

  // Relative to the searched root; empty for the root itself.
  std::wstring path;
  std::uint64_t total_size = 0;
  // The latest last-write time of its files as a 64-bit FILETIME; 0 when none.
  std::uint64_t newest_time = 0;
  CMusicFileInfoList files;
};

class CMusicFolderInfoList {
 public:
  CMusicFolderInfoList() = default;
  virtual ~CMusicFolderInfoList() = default;
  CMusicFolderInfoList(const CMusicFolderInfoList&) = delete;
  CMusicFolderInfoList& operator=(const CMusicFolderInfoList&) = delete;

  void Add(std::unique_ptr<CMusicFolderInfo> folder) {
    if (folder) _items.push_back(std::move(folder));
  }
  void Clear() { _items.clear(); }
  size_t Size() const { return _items.size(); }
  bool Empty() const { return _items.empty(); }
  CMusicFolderInfo& operator[](size_t i) { return *_items[i]; }
  const CMusicFolderInfo& operator[](size_t i) const { return *_items[i]; }
  std::vector<std::unique_ptr<CMusicFolderInfo>>& Items() { return _items; }
  const std::vector<std::unique_ptr<CMusicFolderInfo>>& Items() const { return _items; }

 private:
  std::vector<std::unique_ptr<CMusicFolderInfo>> _items;
};

}  // namespace libmusic
