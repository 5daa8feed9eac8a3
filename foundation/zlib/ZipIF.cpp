// Packing a folder into a zip archive; see ZipIF.h.
#include "zlib/ZipIF.h"

#include "Folders.h"
#include "Handle.h"
#include "Log.h"
#include "ReadInChunks.h"

#include <cstring>
#include <new>
#include <vector>

namespace {

// Files are read in pieces, so a large file needs no buffer of its size.
constexpr uint64_t kMaxPiece = 4 * 1024 * 1024;

ZipTime ToZipTime(const SYSTEMTIME& t) {
  ZipTime time;
  time.year = t.wYear;
  time.month = t.wMonth - 1u;
  time.day = t.wDay;
  time.hour = t.wHour;
  time.minute = t.wMinute;
  time.second = t.wSecond;
  return time;
}

// The file's last-write time in local time.
ZipTime LocalWriteTime(const FILETIME& written) {
  FILETIME local;
  SYSTEMTIME t;
  if (!FileTimeToLocalFileTime(&written, &local) || !FileTimeToSystemTime(&local, &t)) {
    GetLocalTime(&t);
  }
  return ToZipTime(t);
}

std::string FullPath(const std::string& path) {
  char buffer[MAX_PATH * 2] = {};
  const DWORD n = GetFullPathNameA(path.c_str(), sizeof(buffer), buffer, nullptr);
  return n > 0 && n < sizeof(buffer) ? std::string(buffer, n) : path;
}

}  // namespace

int CZipIF::Failed(DWORD error) {
  _last_error = error ? error : static_cast<DWORD>(ERROR_GEN_FAILURE);
  return 0;
}

bool CZipIF::IsTarget(const std::string& path) const {
  return lstrcmpiA(FullPath(path).c_str(), _target.c_str()) == 0;
}

int CZipIF::ZipFolder(const std::string& source, const std::string& target) {
  const DWORD attributes = GetFileAttributesA(source.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    Failed(attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : ERROR_DIRECTORY);
    OV_LOG(kLogError, "CZipIF::ZipFolder - PathIsDirectory 失敗 PATH:%s ERR:0x%08X", source.c_str(),
           static_cast<unsigned>(_last_error));
    return 0;
  }
  const std::string parent = GetParentFolder(target);
  if (!parent.empty() && parent != target && !PathIsDirectory(parent) &&
      !CreateDirectories(parent)) {
    Failed(GetLastError());
    OV_LOG(kLogError, "CZipIF::ZipFolder - CreateDirectories 失敗 PATH:%s ERR:0x%08X",
           parent.c_str(), static_cast<unsigned>(_last_error));
    return 0;
  }
  CZipWriter zip;
  if (zip.Open(target.c_str()) != kZipOk) {
    Failed(zip.LastError());
    OV_LOG(kLogError, "CZipIF::ZipFolder - zipOpen 失敗 PATH:%s ERR:0x%08X", target.c_str(),
           static_cast<unsigned>(_last_error));
    return 0;
  }
  _target = FullPath(target);
  const int packed = _ZipFolderEx(zip, source, std::string());
  if (!packed) {
    OV_LOG(kLogError, "CZipIF::ZipFolder - _ZipFolderEx 失敗 PATH:%s ERR:0x%08X", source.c_str(),
           static_cast<unsigned>(_last_error));
  }
  const int closed = zip.Close(nullptr);
  if (packed && closed != kZipOk) {
    Failed(zip.LastError());
    OV_LOG(kLogError, "CZipIF::ZipFolder - zipClose 失敗 PATH:%s ERR:0x%08X ZIPERR:0x%08X",
           target.c_str(), static_cast<unsigned>(_last_error), static_cast<unsigned>(closed));
  }
  _target.clear();
  if (packed && closed == kZipOk) return 1;
  // An archive that misses files must not be taken for the folder.
  DeleteFileA(target.c_str());
  return 0;
}

int CZipIF::_ZipFolderEx(CZipWriter& zip, const std::string& folder, const std::string& prefix) {
  std::string base = folder;
  AppendBackslash(base);
  std::string names = prefix;
  if (!names.empty()) AppendBackslash(names);
  WIN32_FIND_DATAA found;
  CFindHandle find(FindFirstFileA((base + "*").c_str(), &found));
  if (!find) {
    Failed(GetLastError());
    OV_LOG(kLogError, "CZipIF::_ZipFolderEx - FindFirstFile 失敗 PATH:%s ERR:0x%08X", base.c_str(),
           static_cast<unsigned>(_last_error));
    return 0;
  }
  int entries = 0;
  do {
    if (strcmp(found.cFileName, ".") == 0 || strcmp(found.cFileName, "..") == 0) continue;
    const std::string path = base + found.cFileName;
    const std::string name = names + found.cFileName;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!_ZipFolderEx(zip, path, name)) {
        OV_LOG(kLogError, "CZipIF::_ZipFolderEx - ZipFolderEx 失敗 PATH:%s ERR:0x%08X",
               path.c_str(), static_cast<unsigned>(_last_error));
        return 0;
      }
    } else if (IsTarget(path)) {
      continue;
    } else if (!_ZipFileEx(zip, path, name)) {
      OV_LOG(kLogError, "CZipIF::_ZipFolderEx - _ZipFileEx 失敗 PATH:%s ERR:0x%08X", path.c_str(),
             static_cast<unsigned>(_last_error));
      return 0;
    }
    ++entries;
  } while (FindNextFileA(find.Get(), &found));
  // The packed folder itself needs no entry: an empty one gives an empty
  // archive.
  if (entries == 0 && !names.empty() && !_ZipEmptyFolder(zip, base, names)) {
    OV_LOG(kLogError, "CZipIF::_ZipFolderEx - _ZipEmptyFolder 失敗 PATH:%s ERR:0x%08X",
           base.c_str(), static_cast<unsigned>(_last_error));
    return 0;
  }
  return 1;
}

int CZipIF::_ZipFileEx(CZipWriter& zip, const std::string& path, const std::string& name) {
  // Shared with writers and deleters: the programs go on logging (and
  // turning their logs over) while their folder is packed.
  CFileHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) {
    Failed(GetLastError());
    OV_LOG(kLogError, "CZipIF::_ZipFileEx - CreateFile 失敗 PATH%s ERR:0x%08X", path.c_str(),
           static_cast<unsigned>(_last_error));
    return 0;
  }
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
    Failed(GetLastError());
    OV_LOG(kLogError, "CZipIF::_ZipFileEx - 指定ファイルなし PATH%s ERR:0x%08X", path.c_str(),
           static_cast<unsigned>(_last_error));
    return 0;
  }
  ZipEntryInfo info;
  info.time = LocalWriteTime(data.ftLastWriteTime);
  info.external_attributes = data.dwFileAttributes;
  CZipEntryScope entry(zip);
  const int opened = entry.Open(name.c_str(), info, kZipDeflated, Z_DEFAULT_COMPRESSION);
  if (opened != kZipOk) {
    Failed(zip.LastError());
    OV_LOG(kLogError,
           "CZipIF::_ZipFileEx - zipOpenNewFileInZip 失敗 PATH%s ERR:0x%08X ZIPERR:0x%08X",
           name.c_str(), static_cast<unsigned>(_last_error), static_cast<unsigned>(opened));
    return 0;
  }
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.Get(), &size)) {
    Failed(GetLastError());
    OV_LOG(kLogError, "CZipIF::_ZipFileEx - GetFileSize 失敗 PATH%s ERR:0x%08X", path.c_str(),
           static_cast<unsigned>(_last_error));
    return 0;
  }
  const uint64_t total = static_cast<uint64_t>(size.QuadPart);
  std::vector<char> buffer;
  try {
    buffer.resize(static_cast<size_t>(total < kMaxPiece ? total : kMaxPiece) + 1);
  } catch (const std::bad_alloc&) {
    Failed(ERROR_NOT_ENOUGH_MEMORY);
    OV_LOG(kLogError, "CZipIF::_ZipFileEx - メモリ確保 失敗 ERR:0x%08X",
           static_cast<unsigned>(_last_error));
    return 0;
  }

  int write_result = kZipOk;
  const auto sink = [&](const char* bytes, DWORD length) {
    write_result = zip.WriteInFileInZip(bytes, length);
    return write_result == kZipOk;
  };
  uint64_t done = 0;
  const ChunkReadResult read = ReadInChunks(file.Get(), total, buffer.data(),
                                            static_cast<DWORD>(buffer.size() - 1), sink, &done);
  if (read == ChunkReadResult::kReadFailed) {
    Failed(GetLastError());
    OV_LOG(kLogError, "CZipIF::_ZipFileEx - ReadFile 失敗 PATH%s ERR:0x%08X", path.c_str(),
           static_cast<unsigned>(_last_error));
    return 0;
  }
  if (read == ChunkReadResult::kSinkFailed) {
    Failed(zip.LastError());
    OV_LOG(kLogError,
           "CZipIF::_ZipFileEx - zipWriteInFileInZip 失敗 PATH%s ERR:0x%08X ZIPERR:0x%08X",
           path.c_str(), static_cast<unsigned>(_last_error), static_cast<unsigned>(write_result));
    return 0;
  }
  const int closed = entry.Close();
  if (closed != kZipOk) {
    Failed(zip.LastError());
    OV_LOG(kLogError, "CZipIF::_ZipFileEx - zipCloseFileInZip 失敗 PATH%s ERR:0x%08X ZIPERR:0x%08X",
           path.c_str(), static_cast<unsigned>(_last_error), static_cast<unsigned>(closed));
    return 0;
  }
  return 1;
}

int CZipIF::_ZipEmptyFolder(CZipWriter& zip, const std::string& path, const std::string& name) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    Failed(GetLastError());
    OV_LOG(kLogError, "CZipIF::_ZipEmptyFolder - 指定ファイルなし PATH%s ERR:0x%08X", path.c_str(),
           static_cast<unsigned>(_last_error));
    return 0;
  }
  SYSTEMTIME now;
  GetLocalTime(&now);
  ZipEntryInfo info;
  info.time = ToZipTime(now);
  info.external_attributes = (attributes & FILE_ATTRIBUTE_READONLY) | FILE_ATTRIBUTE_DIRECTORY;
  CZipEntryScope entry(zip);
  const int opened = entry.Open(name.c_str(), info, kZipDeflated, Z_DEFAULT_COMPRESSION);
  if (opened != kZipOk) {
    Failed(zip.LastError());
    OV_LOG(kLogError,
           "CZipIF::_ZipEmptyFolder - zipOpenNewFileInZip 失敗 PATH%s ERR:0x%08X ZIPERR:0x%08X",
           path.c_str(), static_cast<unsigned>(_last_error), static_cast<unsigned>(opened));
    return 0;
  }
  const int closed = entry.Close();
  if (closed != kZipOk) {
    Failed(zip.LastError());
    OV_LOG(kLogError,
           "CZipIF::_ZipEmptyFolder - zipCloseFileInZip 失敗 PATH%s ERR:0x%08X ZIPERR:0x%08X",
           path.c_str(), static_cast<unsigned>(_last_error), static_cast<unsigned>(closed));
    return 0;
  }
  return 1;
}
