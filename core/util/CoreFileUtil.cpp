// The core's path and folder helpers; see CoreFileUtil.h.
#include "CoreFileUtil.h"

#include <cstring>

#include "Exception.h"
#include "Folders.h"
#include "Handle.h"
#include "Log.h"
#include "StringUtil.h"
#include "WinFileSystemLib.h"

namespace {

// A writable copy of the path with room for the shell's in-place edits.
std::vector<wchar_t> EditBuffer(const std::wstring& path) {
  std::vector<wchar_t> buffer(path.begin(), path.end());
  buffer.resize(path.size() + MAX_PATH + 2, L'\0');
  return buffer;
}

bool IsDotEntry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

// The card paths of the map-charge folders that are not inside an earlier
// one of the list: a folder inside another is measured and removed with it.
std::vector<std::string> OutermostMapChargeFolders(char drive) {
  std::vector<std::string> folders;
  for (const std::string& entry : GetMapChargeFolderList()) {
    const std::string path = FormatString("%c%s", drive, entry.c_str());
    bool inside = false;
    for (const std::string& outer : folders) {
      inside = inside || (path.size() > outer.size() &&
                          CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path.data(),
                                         static_cast<int>(outer.size()), outer.data(),
                                         static_cast<int>(outer.size())) == CSTR_EQUAL &&
                          outer[outer.size() - 1] == '\\');
    }
    if (!inside) folders.push_back(path);
  }
  return folders;
}

}  // namespace

bool PathIsRoot(const std::wstring& path) { return PathIsRootW(path.c_str()) != FALSE; }

bool PathIsFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring PathFindFileName(const std::wstring& path) {
  const wchar_t* name = PathFindFileNameW(path.c_str());
  if (!name || name == path.c_str()) return std::wstring();
  return std::wstring(name);
}

std::wstring PathFindExtension(const std::wstring& path) {
  const wchar_t* extension = PathFindExtensionW(path.c_str());
  if (!extension || extension == path.c_str()) return std::wstring();
  return std::wstring(extension);
}

std::wstring PathRemoveFileSpec(const std::wstring& path) {
  std::vector<wchar_t> buffer = EditBuffer(path);
  if (!PathRemoveFileSpecW(buffer.data())) return path;
  return std::wstring(buffer.data());
}

std::wstring PathAddBackslash(const std::wstring& path) {
  if (path.size() + 2 > MAX_PATH) return std::wstring();
  std::vector<wchar_t> buffer = EditBuffer(path);
  if (!PathAddBackslashW(buffer.data())) return std::wstring();
  return std::wstring(buffer.data());
}

std::wstring PathStripToRoot(const std::wstring& path) {
  std::vector<wchar_t> buffer = EditBuffer(path);
  if (!PathStripToRootW(buffer.data())) return std::wstring();
  return std::wstring(buffer.data());
}

void CreateFolderPath(const char* path, bool is_file) {
  std::string folder = path ? path : "";
  if (is_file) {
    // Lead-byte aware: 0x5C is also the second byte of 表 and ソ.
    size_t last = std::string::npos;
    for (size_t i = 0; i < folder.size(); ++i) {
      if (IsCp932LeadByte(static_cast<unsigned char>(folder[i]))) {
        ++i;
      } else if (folder[i] == '\\') {
        last = i;
      }
    }
    folder = last == std::string::npos ? std::string() : folder.substr(0, last + 1);
  } else {
    AppendBackslash(folder);
  }

  size_t start = 0;
  if (folder.size() >= 2 && folder[1] == ':') {
    start = folder.find('\\') + 1;
  } else if (folder.compare(0, 2, "\\\\") == 0) {
    // \\server\share\ : the walk starts behind the share's name.
    start = 2;
    for (int i = 0; i < 2; ++i) {
      const size_t slash = folder.find('\\', start);
      start = slash == std::string::npos ? folder.size() : slash + 1;
    }
  }
  for (size_t i = start; i < folder.size(); ++i) {
    if (IsCp932LeadByte(static_cast<unsigned char>(folder[i]))) {
      ++i;
      continue;
    }
    if (folder[i] != '\\' || i == 0) continue;
    const std::string part = folder.substr(0, i);
    // ERROR_ALREADY_EXISTS also answers for a file of that name: only a
    // folder will do.
    if (!CreateDirectoryA(part.c_str(), nullptr) && !PathIsDirectory(part)) {
      throw lib::IOException("IOエラー：ディレクトリ作成失敗");
    }
  }
}

uint64_t GetFolderSize(const std::wstring& folder) {
  std::wstring base = folder;
  AppendBackslashW(base);
  WIN32_FIND_DATAW found;
  CFindHandle find(FindFirstFileW((base + L"*").c_str(), &found));
  if (!find) return 0;
  uint64_t total = 0;
  do {
    if (IsDotEntry(found.cFileName)) continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      total += GetFolderSize(base + found.cFileName);
    } else {
      total += (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    }
  } while (FindNextFileW(find.Get(), &found));
  return total;
}

bool FindFiles(const char* pattern, std::vector<WIN32_FIND_DATAA>& list) {
  if (!pattern) return false;
  WIN32_FIND_DATAA found;
  CFindHandle find(FindFirstFileA(pattern, &found));
  if (!find) return false;
  do {
    list.push_back(found);
  } while (FindNextFileA(find.Get(), &found));
  return true;
}

bool CanOpenFile(const char* path) {
  if (!path) return false;
  CFileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.IsValid();
}

int GetMapChargeFolderSize(char drive, uint64_t& total) {
  total = 0;
  for (const std::string& folder : OutermostMapChargeFolders(drive)) {
    total += GetFolderSize(ToWide(folder));
  }
  return 0;
}

DWORD DeleteMapChargeFolder(char drive) {
  CWinFileSystemLib fs;
  bool ok = true;
  for (const std::string& folder : OutermostMapChargeFolders(drive)) {
    if (!PathFileExists(folder)) continue;
    ok = fs.RemoveDirectoryAll_RecoverA(folder.c_str(), TRUE) && ok;
  }
  if (ok) return 0;
  // Every failed step keeps its error; 0 would read as success.
  const DWORD error = fs.LastError() ? fs.LastError() : static_cast<DWORD>(ERROR_GEN_FAILURE);
  OV_LOG(kLogError, "マップチャージフォルダ削除失敗 ERR:0x%08X", static_cast<unsigned>(error));
  return error;
}
