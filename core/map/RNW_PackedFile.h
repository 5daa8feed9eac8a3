// Packed multi-file images: a count, then entries of {size, NUL-terminated
// name, data}, big-endian, each entry padded to a multiple of 4 from the
// file's start. The rebuild expands one into a folder. One object per
// thread; it keeps what the last expansion wrote and its last file error.
#pragma once

#include <cstdint>
#include <string>

#include "OvWindows.h"
#include "map/NList.h"
#include "xString.h"

class RNW_PackedEntry final {
 public:
  RNW_PackedEntry(const CxString& name, uint32_t size) : _name(name), _size(size) {}
  ~RNW_PackedEntry() = default;
  RNW_PackedEntry(const RNW_PackedEntry&) = delete;
  RNW_PackedEntry& operator=(const RNW_PackedEntry&) = delete;

  const CxString& GetName() const { return _name; }
  uint32_t GetSize() const { return _size; }

 private:
  CxString _name;
  uint32_t _size;
};

class RNW_PackedEntryList final : public NTypedList<RNW_PackedEntry> {};

class RNW_PackedFile final {
 public:
  // Longest entry name, in bytes without the NUL.
  static constexpr size_t kMaxNameLength = 127;

  // The abort event (not owned, may be null) cuts the retry pauses short.
  explicit RNW_PackedFile(HANDLE abort_event = nullptr) : _abort_event(abort_event) {}
  ~RNW_PackedFile() = default;
  RNW_PackedFile(const RNW_PackedFile&) = delete;
  RNW_PackedFile& operator=(const RNW_PackedFile&) = delete;

  // Writes every entry of the packed file into the folder, making the
  // subfolders its names hold (a name ending in a separator is a folder
  // alone); 1 when at least one entry was written and none failed, else 0.
  // An entry whose name would leave the folder is not written
  // (ERROR_INVALID_NAME); an entry that cannot be written fails the whole
  // expansion; an entry that runs past the file's bytes ends it.
  int ExtractPackedFiles(const std::string& folder, const std::string& packed_path,
                         DWORD file_size);

  // The written entries, the last one first.
  const RNW_PackedEntryList& GetWrittenEntries() const { return _written; }
  // The platform error of the last failed file operation; 0 when none.
  DWORD GetLastFileError() const { return _last_error; }

 private:
  bool ReadWhole(const std::string& path, DWORD size, std::string* bytes);
  bool MakeFolderOf(const std::string& target);
  bool WriteEntry(const std::string& target, const char* data, uint32_t size);

  HANDLE _abort_event;  // not owned
  RNW_PackedEntryList _written;
  DWORD _last_error = 0;
};
