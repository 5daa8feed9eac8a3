// The record that describes one music file, and the list that owns such
// records. Records are filled by the readers and then only read; neither
// class is shared between threads.
#pragma once

#include "OvWindows.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace libmusic {

// Music types (the record's type field).
enum MusicFileType {
  kMusicTypeNone = 0,
  kMusicTypeMP3 = 1,
  kMusicTypeWMA = 2,
  kMusicTypeAAC = 4,
};

class CMusicFileInfo {
 public:
  CMusicFileInfo() = default;
  virtual ~CMusicFileInfo() = default;
  CMusicFileInfo(const CMusicFileInfo&) = default;
  CMusicFileInfo& operator=(const CMusicFileInfo&) = default;

  // Empty from the readers; the library sets the name, its searches the
  // path relative to the searched root.
  std::wstring file_name;
  FILETIME last_write_time = {};
  std::uint64_t size = 0;
  int type = kMusicTypeNone;
  int is_protected = 0;
  std::wstring title;
  std::wstring album;
  std::wstring artist;
  std::wstring genre;
  int vbr = 0;
  std::uint64_t duration = 0;  // 100 ns
  int bitrate = 0;             // bits per second
  int sample_rate = 0;         // Hz
  std::uint16_t bits_per_sample = 0;
  std::uint16_t channels = 0;
  GUID media_subtype = {};  // Windows Media readers only
  std::wstring encoder;     // MP4 files only
  // MP4 files only: the media data runs past the file's end (a partly
  // copied file), so the file cannot be played whole.
  bool media_cut = false;
  int playable = 1;
  int track_number = -1;
};

// Owns its records: clearing or destroying the list destroys them.
class CMusicFileInfoList {
 public:
  CMusicFileInfoList() = default;
  virtual ~CMusicFileInfoList() = default;
  CMusicFileInfoList(const CMusicFileInfoList&) = delete;
  CMusicFileInfoList& operator=(const CMusicFileInfoList&) = delete;
  CMusicFileInfoList(CMusicFileInfoList&&) = default;
  CMusicFileInfoList& operator=(CMusicFileInfoList&&) = default;

  void Add(std::unique_ptr<CMusicFileInfo> info) {
    if (info) _items.push_back(std::move(info));
  }
  void Clear() { _items.clear(); }
  size_t Size() const { return _items.size(); }
  bool Empty() const { return _items.empty(); }
  CMusicFileInfo& operator[](size_t i) { return *_items[i]; }
  const CMusicFileInfo& operator[](size_t i) const { return *_items[i]; }
  std::vector<std::unique_ptr<CMusicFileInfo>>& Items() { return _items; }
  const std::vector<std::unique_ptr<CMusicFileInfo>>& Items() const { return _items; }

 private:
  std::vector<std::unique_ptr<CMusicFileInfo>> _items;
};

}  // namespace libmusic
