// Test helpers; see TestSupport.h.
#include "TestSupport.h"

#include "Folders.h"
#include "Handle.h"
#include "Log.h"
#include "StringUtil.h"

#include <cstring>

namespace ovtest {

namespace {

volatile LONG g_temp_counter = 0;

void RemoveTree(const std::string& folder) {
  if (PathIsDirectory(folder)) DeleteFolderTree(folder, true);
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

CScopedTestLog::CScopedTestLog() {
  logtest::Reset();
  CBroxLogWrapper(__FILE__, __LINE__).Open(_dir.File("test.log").c_str(), 4096);
  logtest::SetTraceEnabled(true);
}

CScopedTestLog::~CScopedTestLog() { logtest::Reset(); }

std::string CScopedTestLog::Text() const { return ReadFileOrEmpty(_dir.File("test.log")); }

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
  const std::string root = Root();
  WIN32_FIND_DATAA fd;
  CFindHandle find(FindFirstFileA((root + "*").c_str(), &fd));
  if (!find) return;
  do {
    const std::string name = fd.cFileName;
    if (name == "." || name == ".." || name.rfind(".windows-", 0) == 0) continue;
    const std::string path = root + name;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      DeleteFolderTree(path, true);
    } else {
      DeleteFileA(path.c_str());
    }
  } while (FindNextFileA(find.Get(), &fd));
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
