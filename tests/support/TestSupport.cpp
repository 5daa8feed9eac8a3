// Test helpers; see TestSupport.h.
#include "TestSupport.h"

#include "Folders.h"
#include "Handle.h"
#include "StringUtil.h"

#include <cstring>
#include <cwchar>

namespace ovtest {

namespace {

volatile LONG g_temp_counter = 0;

bool IsDotName(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

// Deletes what lies in the folder (a path ending in a backslash), read-only
// entries and names outside the ANSI code page included; keep(name) spares
// an entry of the folder itself.
bool KeepNothing(const wchar_t*) { return false; }

void EmptyFolderW(const std::wstring& folder, bool (*keep)(const wchar_t* name)) {
  WIN32_FIND_DATAW fd;
  CFindHandle find(FindFirstFileW((folder + L"*").c_str(), &fd));
  if (!find) return;
  do {
    if (IsDotName(fd.cFileName) || keep(fd.cFileName)) continue;
    const std::wstring path = folder + fd.cFileName;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      EmptyFolderW(path + L"\\", KeepNothing);
      RemoveDirectoryW(path.c_str());
    } else {
      DeleteFileW(path.c_str());
    }
  } while (FindNextFileW(find.Get(), &fd));
}

void RemoveTree(const std::string& folder) {
  if (!PathIsDirectory(folder)) return;
  EmptyFolderW(ToWide(PathAddBackslash(folder)), KeepNothing);
  RemoveDirectoryA(folder.c_str());
}

}  // namespace

CTempDir::CTempDir() {
  char base[MAX_PATH + 1] = {};
  GetTempPathA(MAX_PATH, base);
  // A fresh prefix names a temporary folder that does not exist yet.
  if (!PathIsDirectory(base)) CreateDirectories(base);
  for (;;) {
    const LONG n = InterlockedIncrement(&g_temp_counter);
    _path = FormatString("%sovtest_%lu_%ld_%lu\\", base, GetCurrentProcessId(),
                         static_cast<long>(n), GetTickCount());
    if (CreateDirectoryA(_path.c_str(), nullptr)) break;
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
}

CTempDir::~CTempDir() { RemoveTree(_path); }

CScopedDataRoot::CScopedDataRoot() {
  SetEnvironmentVariableA("OV_DATA_ROOT", _dir.Path().c_str());
  SetEnvironmentVariableA("OV_DOWNLOAD_FOLDER", (_dir.Path() + "Download\\").c_str());
  folderstest::ResetDataRoot();
}

CScopedDataRoot::~CScopedDataRoot() {
  SetEnvironmentVariableA("OV_DATA_ROOT", nullptr);
  SetEnvironmentVariableA("OV_DOWNLOAD_FOLDER", nullptr);
  folderstest::ResetDataRoot();
}

std::string RemovableDriveLetters() {
  std::string letters;
  for (char c = 'D'; c <= 'Z'; ++c) {
    const char root[4] = {c, ':', '\\', 0};
    if (GetDriveTypeA(root) == DRIVE_REMOVABLE) letters += c;
  }
  return letters;
}

CTestCard::CTestCard() {
  const std::string letters = RemovableDriveLetters();
  if (letters.empty()) return;
  std::vector<HANDLE> mutexes;
  for (char c : letters) {
    mutexes.push_back(CreateMutexA(nullptr, FALSE, FormatString("OvTestCard_%c", c).c_str()));
  }
  // Any free letter will do: wait for the first mutex that comes free.
  const DWORD count = static_cast<DWORD>(mutexes.size() > MAXIMUM_WAIT_OBJECTS
                                             ? MAXIMUM_WAIT_OBJECTS
                                             : mutexes.size());
  const DWORD wait = WaitForMultipleObjects(count, mutexes.data(), FALSE, 600000);
  DWORD index = MAXDWORD;
  if (wait < WAIT_OBJECT_0 + count) index = wait - WAIT_OBJECT_0;
  if (wait >= WAIT_ABANDONED_0 && wait < WAIT_ABANDONED_0 + count) index = wait - WAIT_ABANDONED_0;
  for (DWORD i = 0; i < mutexes.size(); ++i) {
    if (i == index) {
      _mutex = mutexes[i];
      _letter = letters[i];
    } else if (mutexes[i]) {
      CloseHandle(mutexes[i]);
    }
  }
  if (_letter) Empty();
}

CTestCard::~CTestCard() {
  if (_letter) Empty();
  if (_mutex) {
    ReleaseMutex(_mutex);
    CloseHandle(_mutex);
  }
}

std::string CTestCard::Root() const { return std::string(1, _letter) + ":\\"; }

void CTestCard::Empty() {
  EmptyFolderW(ToWide(Root()),
               [](const wchar_t* name) { return std::wcsncmp(name, L".windows-", 9) == 0; });
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  CFileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return bytes.empty() || (WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                     &written, nullptr) &&
                           written == bytes.size());
}

bool ReadFileBytes(const std::string& path, std::string* bytes) {
  CFileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.Get(), &size)) return false;
  bytes->assign(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  return bytes->empty() ||
         (ReadFile(file.Get(), &(*bytes)[0], static_cast<DWORD>(bytes->size()), &read, nullptr) &&
          read == bytes->size());
}

std::string ReadFileOrEmpty(const std::string& path) {
  std::string bytes;
  return ReadFileBytes(path, &bytes) ? bytes : std::string();
}

ProcessResult RunProcess(const std::string& command_line, DWORD timeout_ms) {
  ProcessResult result;
  STARTUPINFOA si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  std::vector<char> line(command_line.begin(), command_line.end());
  line.push_back('\0');
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi)) {
    return result;
  }
  result.started = true;
  CHandle process(pi.hProcess);
  CHandle thread(pi.hThread);
  if (WaitForSingleObject(process.Get(), timeout_ms) == WAIT_OBJECT_0) {
    result.finished = true;
    GetExitCodeProcess(process.Get(), &result.exit_code);
  } else {
    TerminateProcess(process.Get(), 1);
  }
  return result;
}

std::string ExecutableFolder() { return GetModuleFolder(); }

}  // namespace ovtest
