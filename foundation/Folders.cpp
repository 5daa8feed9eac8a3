// Data folders and path helpers; see Folders.h.
#include "Folders.h"

#include <cstdlib>
#include <cstring>

#include "EnvironmentOverrides.h"
#include "Handle.h"
#include "StringUtil.h"

namespace {

constexpr char kProductFolders[] = "Brennik\\Ostrovelle EV\\";
constexpr char kInstallKey[] = "SOFTWARE\\Brennik\\Ostrovelle EV\\";
constexpr char kInstallValue[] = "InstallDir";

std::string g_data_root;  // set once, by the first successful caller

std::string SystemFolder() {
  char buffer[MAX_PATH + 1] = {};
  const UINT n = GetSystemDirectoryA(buffer, MAX_PATH);
  return n ? std::string(buffer, n) : std::string("C:\\WINDOWS\\system32");
}

std::string EnsureFolder(std::string path) {
  AppendBackslash(path);
  if (!PathIsDirectory(path)) CreateDirectories(path);
  return path;
}

}  // namespace

std::string ComputeAppDataRoot(const std::string& app_data, const std::string& system_folder) {
  if (!app_data.empty()) {
    std::string root = PathAppend(app_data, kProductFolders);
    AppendBackslash(root);
    return root;
  }
  const char drive = system_folder.empty() ? 'C' : system_folder[0];
  return std::string(1, drive) + ":\\Documents and Settings\\All Users\\Application Data\\";
}

std::string GetAppDataRoot() {
  if (!g_data_root.empty()) return g_data_root;
  std::string app_data = GetEnvironmentOverride(kOverrideDataRoot);
  bool keep = true;
  if (!app_data.empty()) {
    AppendBackslash(app_data);
    g_data_root = app_data;
  } else {
    char buffer[MAX_PATH + 1] = {};
    const HRESULT hr =
        SHGetFolderPathA(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, buffer);
    const std::string found = SUCCEEDED(hr) ? std::string(buffer) : std::string();
    keep = !found.empty();
    const std::string root = ComputeAppDataRoot(found, SystemFolder());
    if (keep) g_data_root = root;
    if (!keep) return EnsureFolder(root);
  }
  return EnsureFolder(g_data_root);
}

std::string GetSettingFolder() { return EnsureFolder(GetAppDataRoot() + "Setting\\"); }
std::string GetDataFolder() { return EnsureFolder(GetAppDataRoot() + "Data\\"); }
std::string GetLogFolder() { return EnsureFolder(GetAppDataRoot() + "Log\\"); }
std::string GetTemporaryFolder() { return EnsureFolder(GetAppDataRoot() + "TemporaryFile\\"); }

std::string GetUserDataFolder(const char* user_folder) {
  if (!user_folder) return std::string();
  return EnsureFolder(GetAppDataRoot() + "Data\\" + user_folder + "\\");
}

std::string GetDownloadFolder() {
  const std::string overridden = GetEnvironmentOverride(kOverrideDownloadFolder);
  if (!overridden.empty()) return EnsureFolder(overridden);
  const std::string system = SystemFolder();
  return EnsureFolder(system.substr(0, 1) + ":\\Ostrovelle EV\\Download\\");
}

std::string GetInstallProgramPath(int id) {
  static const char* const kPrograms[] = {"Ostrovelle_EV.exe", "Ostrovelle_Core.exe",
                                          "Ostrovelle_Music.exe"};
  if (id < 0 || id > 2) return std::string();
  std::string overridden = GetEnvironmentOverride(kOverrideInstallDir);
  if (!overridden.empty()) {
    AppendBackslash(overridden);
    return overridden + kPrograms[id];
  }
  CRegKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kInstallKey, 0, KEY_QUERY_VALUE, key.Put()) !=
      ERROR_SUCCESS) {
    return std::string();
  }
  char buffer[512] = {};
  DWORD type = 0;
  DWORD size = sizeof(buffer) - 1;
  if (SHQueryValueExA(key.Get(), kInstallValue, nullptr, &type, buffer, &size) != ERROR_SUCCESS) {
    return std::string();
  }
  buffer[sizeof(buffer) - 1] = '\0';
  std::string path(buffer);
  AppendBackslash(path);
  return path + kPrograms[id];
}

std::string GetModulePath(HMODULE module) {
  char buffer[261] = {};
  const DWORD n = GetModuleFileNameA(module, buffer, sizeof(buffer) - 1);
  return std::string(buffer, n);
}

std::string GetModuleFolder() {
  std::string path = GetModulePath(nullptr);
  const size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool PathFileExists(const std::string& path) { return PathFileExistsA(path.c_str()) != FALSE; }

bool PathIsDirectory(const std::string& path) { return PathIsDirectoryA(path.c_str()) != FALSE; }

bool PathIsRoot(const std::string& path) { return PathIsRootA(path.c_str()) != FALSE; }

bool PathFileExists(const std::wstring& path) { return PathFileExistsW(path.c_str()) != FALSE; }

bool PathIsDirectory(const std::wstring& path) { return PathIsDirectoryW(path.c_str()) != FALSE; }

std::string PathFindFileName(const std::string& path) {
  const char* name = PathFindFileNameA(path.c_str());
  if (!name || name == path.c_str()) return std::string();
  return std::string(name);
}

std::string GetParentFolder(const std::string& path) {
  std::vector<char> buffer(path.begin(), path.end());
  buffer.resize(path.size() + MAX_PATH, '\0');
  if (!PathRemoveFileSpecA(buffer.data())) return path;
  return std::string(buffer.data());
}

std::string PathRemoveFileSpec(const std::string& path) {
  std::vector<char> buffer(path.begin(), path.end());
  buffer.resize(path.size() + MAX_PATH, '\0');
  PathRemoveFileSpecA(buffer.data());
  return std::string(buffer.data());
}

std::string PathAppend(const std::string& path, const std::string& more) {
  if (path.size() + more.size() + 2 > MAX_PATH) return std::string();
  char buffer[MAX_PATH + 1] = {};
  lstrcpynA(buffer, path.c_str(), MAX_PATH);
  if (!PathAppendA(buffer, more.c_str())) return std::string();
  return std::string(buffer);
}

std::string PathAddBackslash(const std::string& path) {
  if (path.size() + 2 > MAX_PATH) return std::string();
  char buffer[MAX_PATH + 1] = {};
  lstrcpynA(buffer, path.c_str(), MAX_PATH);
  if (!PathAddBackslashA(buffer)) return std::string();
  return std::string(buffer);
}

void AppendBackslash(std::string& path) {
  // A trail byte of 0x5C must not be taken for a separator.
  if (path.empty() || path[path.size() - 1] != '\\' ||
      Cp932SafeLength(path.data(), path.size() - 1) != path.size() - 1) {
    path += '\\';
  }
}

void AppendBackslashW(std::wstring& path) {
  if (path.empty() || path[path.size() - 1] != L'\\') path += L'\\';
}

void RemoveTrailingBackslash(std::string& path) {
  if (!path.empty() && path[path.size() - 1] == '\\' &&
      Cp932SafeLength(path.data(), path.size() - 1) == path.size() - 1) {
    path.erase(path.size() - 1);
  }
}

bool CreateFolderTree(const std::string& path) {
  if (path.empty()) return false;
  if (PathIsDirectory(path) || PathIsRoot(path)) return true;
  if (PathFileExists(path)) return false;
  const std::string parent = GetParentFolder(path);
  if (parent != path && !parent.empty()) CreateFolderTree(parent);
  return CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

bool PathCreateDirectory(const std::wstring& path) {
  if (path.empty()) return false;
  if (PathIsDirectory(path) || PathIsRootW(path.c_str())) return true;
  if (PathFileExists(path)) return false;
  std::vector<wchar_t> buffer(path.begin(), path.end());
  buffer.resize(path.size() + MAX_PATH + 2, L'\0');
  // A relative name's parent is the current folder: nothing to create.
  if (!PathRemoveFileSpecW(buffer.data())) return false;
  const std::wstring parent(buffer.data());
  if (parent == path) return false;
  if (!parent.empty() && !PathCreateDirectory(parent)) return false;
  // Another thread may have made it meanwhile: what counts is that it is there.
  return CreateDirectoryW(path.c_str(), nullptr) != FALSE || PathIsDirectory(path);
}

bool PathCreateDirectory(const std::string& path) {
  return !path.empty() && PathCreateDirectory(ToWide(path));
}

std::wstring MakeLongPathW(const std::string& path) {
  std::string prefixed;
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
    prefixed = "\\\\?\\UNC" + path.substr(1);
  } else {
    prefixed = "\\\\?\\" + path;
  }
  if (prefixed.size() >= 32768) return std::wstring();
  return ToWide(prefixed);
}

bool CreateDirectoryLongPath(const std::string& path, SECURITY_ATTRIBUTES* security) {
  const std::wstring wide = MakeLongPathW(path);
  if (wide.empty()) return false;
  return CreateDirectoryW(wide.c_str(), security) != FALSE;
}

namespace {

// PathIsDirectory stops at MAX_PATH; this one does not.
bool IsFolderLongPath(const std::string& path) {
  const std::wstring wide = MakeLongPathW(path);
  if (wide.empty()) return false;
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool CreateDirectories(const std::string& path) {
  if (path.empty()) return false;
  if (IsFolderLongPath(path)) return true;
  // Walk separators lead-byte aware: 0x5C can be the second byte of a character.
  for (size_t i = 1; i < path.size(); ++i) {
    if (IsCp932LeadByte(static_cast<unsigned char>(path[i]))) {
      ++i;
      continue;
    }
    if (path[i] != '\\') continue;
    const std::string part = path.substr(0, i);
    if (part.size() == 2 && part[1] == ':') continue;  // a drive
    if (!IsFolderLongPath(part)) CreateDirectoryLongPath(part, nullptr);
  }
  return CreateDirectoryLongPath(path, nullptr) || IsFolderLongPath(path);
}

uint64_t GetFolderTreeSize(const std::string& folder) {
  std::string base = folder;
  AppendBackslash(base);
  WIN32_FIND_DATAA fd;
  CFindHandle find(FindFirstFileA((base + "*").c_str(), &fd));
  if (!find) return 0;
  uint64_t total = 0;
  do {
    if (strcmp(fd.cFileName, ".") == 0 || strcmp(fd.cFileName, "..") == 0) continue;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      total += GetFolderTreeSize(base + fd.cFileName);
    } else {
      total += (static_cast<uint64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
    }
  } while (FindNextFileA(find.Get(), &fd));
  return total;
}

bool DeleteFolderTree(const std::string& folder, bool remove_folder) {
  if (folder.empty()) return false;
  std::string base = folder;
  RemoveTrailingBackslash(base);
  WIN32_FIND_DATAA fd;
  bool ok = true;
  {
    CFindHandle find(FindFirstFileA((base + "\\*").c_str(), &fd));
    if (!find) return false;
    do {
      if (strcmp(fd.cFileName, ".") == 0 || strcmp(fd.cFileName, "..") == 0) continue;
      const std::string entry = base + "\\" + fd.cFileName;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        ok = DeleteFolderTree(entry, true) && ok;
      } else {
        ok = (DeleteFileA(entry.c_str()) != FALSE) && ok;
      }
    } while (FindNextFileA(find.Get(), &fd));
  }
  if (remove_folder) {
    // The folder cannot be removed while it is the current folder.
    SetCurrentDirectoryA(GetModuleFolder().c_str());
    ok = (RemoveDirectoryA(base.c_str()) != FALSE) && ok;
  }
  return ok;
}

bool IsVolumeLockable(char drive) {
  char name[8];
  wsprintfA(name, "\\\\.\\%c:", drive);
  CFileHandle volume(CreateFileA(name, GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                 nullptr));
  if (!volume) return true;
  DWORD bytes = 0;
  DeviceIoControl(volume.Get(), FSCTL_UNLOCK_VOLUME, nullptr, 0, nullptr, 0, &bytes, nullptr);
  if (!DeviceIoControl(volume.Get(), FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &bytes, nullptr)) {
    return false;
  }
  return DeviceIoControl(volume.Get(), FSCTL_UNLOCK_VOLUME, nullptr, 0, nullptr, 0, &bytes,
                         nullptr) != FALSE;
}

const std::vector<std::string>& GetCardKeepList() {
  static const std::vector<std::string> kList = {":\\PC\\NAVIINFO.DAT",
                                                 ":\\PC\\PCLINK.DAT",
                                                 ":\\PC\\SDINFO.DAT",
                                                 ":\\AUTORUN.INF",
                                                 ":\\PC\\PCAPL\\PCLAUNCHER.EXE",
                                                 ":\\PC\\PCAPL\\PCLAUNCHER.INI",
                                                 ":\\PROBE\\"};
  return kList;
}

const std::vector<std::string>& GetMapChargeFolderList() {
  static const std::vector<std::string> kList = [] {
    std::vector<std::string> list = {":\\PC\\PROGRAM\\", ":\\PC\\BT\\", ":\\PC\\ZUDOV\\",
                                     ":\\UPDATE\\", ":\\PC\\MAP\\"};
    for (int i = 1; i <= 12; ++i) list.push_back(FormatString(":\\PC\\SEARCH%d\\", i));
    list.push_back(":\\NAVIDATA\\");
    list.push_back(":\\NAVIDATA\\POINT\\");
    return list;
  }();
  return kList;
}

namespace folderstest {
void ResetDataRoot() { g_data_root.clear(); }
}  // namespace folderstest
