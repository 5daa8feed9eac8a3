// Expanding packed multi-file images; see RNW_PackedFile.h.
#include "map/RNW_PackedFile.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "Folders.h"
#include "Handle.h"
#include "Log.h"
#include "StringUtil.h"
#include "WinFileSystemLib.h"
#include "map/MapDataPaths.h"
#include "map/ServerPath.h"

namespace {

// A name the gate kept with its last separator names a folder.
bool IsFolderName(const std::string& path) {
  return !path.empty() && path.back() == '\\' &&
         Cp932SafeLength(path.data(), path.size() - 1) == path.size() - 1;
}

uint32_t BigEndian32(const unsigned char* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

}  // namespace

bool RNW_PackedFile::ReadWhole(const std::string& path, DWORD size, std::string* bytes) {
  CWinFileSystemLib files(_abort_event);
  CFileHandle file = files.CreateFile_Recover(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (!file) {
    _last_error = files.LastError();
    return false;
  }
  try {
    bytes->resize(size);
  } catch (const std::exception&) {  // bad_alloc, or length_error on 32-bit
    _last_error = ERROR_NOT_ENOUGH_MEMORY;
    return false;
  }
  DWORD read = 0;
  if (size > 0 && !files.ReadFile_Recover(file.Get(), &(*bytes)[0], size, &read, nullptr)) {
    _last_error = files.LastError();
    return false;
  }
  // A file shorter than the caller said: only what is there counts.
  bytes->resize(read);
  return true;
}

bool RNW_PackedFile::MakeFolderOf(const std::string& target) {
  // The gate has kept the target inside the expansion's folder: the
  // entry's subfolders are made there.
  const std::string parent = FolderOfPath(target);
  if (parent.empty() || CreateDirectories(parent)) return true;
  _last_error = GetLastError() ? GetLastError() : ERROR_PATH_NOT_FOUND;
  OV_LOG(kLogError, "RNW_PackedFile::ExtractPackedFiles - フォルダ作成失敗[ERR:0x%08X] %s",
         static_cast<unsigned>(_last_error), parent.c_str());
  return false;
}

bool RNW_PackedFile::WriteEntry(const std::string& target, const char* data, uint32_t size) {
  CWinFileSystemLib files(_abort_event);
  CFileHandle file = files.CreateFile_Recover(target.c_str(), GENERIC_WRITE, 0, nullptr,
                                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (!file) {
    _last_error = files.LastError();
    return false;
  }
  DWORD written = 0;
  if (size > 0 &&
      (!files.WriteFile_Recover(file.Get(), data, size, &written, nullptr) || written != size)) {
    _last_error = files.LastError() ? files.LastError() : ERROR_WRITE_FAULT;
    return false;
  }
  return true;
}

int RNW_PackedFile::ExtractPackedFiles(const std::string& folder, const std::string& packed_path,
                                       DWORD file_size) {
  _written.Clear();
  std::string bytes;
  if (!ReadWhole(packed_path, file_size, &bytes)) return 0;
  if (bytes.size() < 2) return 0;
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t end = bytes.size();
  const unsigned count = (data[0] << 8) | data[1];
  int result = 0;
  // An entry that passed the gate but could not be written is a loss: the
  // image fails rather than report the rest as the whole.
  bool failed = false;
  size_t pos = 2;
  for (unsigned i = 0; i < count; ++i) {
    if (end - pos < 4) break;
    const uint32_t size = BigEndian32(data + pos);
    pos += 4;
    const size_t name_room = std::min(end - pos, kMaxNameLength + 1);
    const void* nul = memchr(data + pos, 0, name_room);
    if (!nul) break;
    const size_t name_length = static_cast<const unsigned char*>(nul) - (data + pos);
    const std::string name(bytes.data() + pos, name_length);
    pos += name_length + 1;
    if (end - pos < size) break;
    std::string target;
    if (!JoinServerPath(folder, name, &target)) {
      _last_error = ERROR_INVALID_NAME;
    } else if (!MakeFolderOf(target)) {
      failed = true;
      // A folder's own entry is made with the folders; a file is written.
    } else if (!IsFolderName(target) && !WriteEntry(target, bytes.data() + pos, size)) {
      failed = true;
    } else {
      CxString entry_name;
      if (!entry_name.AssignCString(name.c_str())) {
        _last_error = ERROR_NOT_ENOUGH_MEMORY;
        break;
      }
      _written.Append(std::make_unique<RNW_PackedEntry>(entry_name, size));
      result = 1;
    }
    pos += size;
    pos = std::min(end, (pos + 3) & ~static_cast<size_t>(3));
  }
  // Told last one first; appended and turned once, as a prepend per entry
  // costs the whole list each time.
  _written.Reverse();
  return failed ? 0 : result;
}
