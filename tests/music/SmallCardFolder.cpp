// A small tmpfs over a card folder; see the header.
#include "SmallCardFolder.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "OvWindows.h"

namespace musictest {

namespace {

constexpr DWORD kScriptWaitMs = 15000;

// Wine's own export: the Unix name of a DOS path (UTF-8, from the process
// heap); empty when the process runs on Windows.
std::string UnixPathOf(const std::wstring& path) {
  using UnixName = char*(__cdecl*)(const wchar_t*);
  const auto convert = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!convert) return std::string();
  char* name = convert(path.c_str());
  if (!name) return std::string();
  std::string unix_name = name;
  HeapFree(GetProcessHeap(), 0, name);
  return unix_name;
}

std::string Quoted(const std::string& path) {
  std::string quoted = "'";
  for (char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

CSmallCardFolder::CSmallCardFolder(const std::wstring& folder, int kilobytes) {
  CreateDirectoryW(folder.c_str(), nullptr);
  _unix_folder = UnixPathOf(folder);
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  _work = std::string(temp) + "ov_small_card_" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(_work.c_str(), nullptr);
  if (_unix_folder.empty() || UnixPathOf(std::wstring(_work.begin(), _work.end())).empty()) {
    _why = "not running under Wine: no Unix path for the card folder";
    return;
  }
  char size[32];
  std::snprintf(size, sizeof size, "size=%dk", kilobytes);
  _mounted = RunScript("mount -t tmpfs -o " + std::string(size) + " ov_small_card " +
                       Quoted(_unix_folder)) == 0;
  if (!_mounted && _why.empty()) _why = "mounting a tmpfs needs root";
}

CSmallCardFolder::~CSmallCardFolder() {
  if (_mounted) RunScript("umount -l " + Quoted(_unix_folder));
  for (const char* name : {"\\run.sh", "\\status", "\\output"}) DeleteFileA((_work + name).c_str());
  RemoveDirectoryA(_work.c_str());
}

int CSmallCardFolder::RunScript(const std::string& body) {
  const std::string status = _work + "\\status";
  DeleteFileA(status.c_str());
  // The work folder lies under the prefix, whose path is plain ASCII.
  const std::string unix_work = UnixPathOf(std::wstring(_work.begin(), _work.end()));
  {
    std::ofstream script(_work + "\\run.sh", std::ios::binary);
    // The status goes to a temporary name first: it is read only once whole.
    script << body << " >" << Quoted(unix_work + "/output") << " 2>&1\n"
           << "echo $? >" << Quoted(unix_work + "/status.tmp") << "\n"
           << "mv " << Quoted(unix_work + "/status.tmp") << " " << Quoted(unix_work + "/status")
           << "\n";
  }
  // A Unix program comes without a handle: the status file's arrival says
  // it has ended, seen through a change notice on the work folder.
  const HANDLE change =
      FindFirstChangeNotificationA(_work.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
  if (change == INVALID_HANDLE_VALUE) {
    _why = "no change notice on the work folder";
    return -1;
  }
  std::string command = "\"Z:\\bin\\sh\" " + unix_work + "/run.sh";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA("Z:\\bin\\sh", &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    _why = "the Unix shell could not be started: error " + std::to_string(GetLastError());
    FindCloseChangeNotification(change);
    return -1;
  }
  if (process.hThread) CloseHandle(process.hThread);
  if (process.hProcess) CloseHandle(process.hProcess);
  const DWORD start = GetTickCount();
  while (!Exists(status)) {
    const DWORD waited = GetTickCount() - start;
    if (waited > kScriptWaitMs) {
      _why = "the Unix shell did not finish in time";
      FindCloseChangeNotification(change);
      return -1;
    }
    if (WaitForSingleObject(change, kScriptWaitMs - waited) == WAIT_OBJECT_0)
      FindNextChangeNotification(change);
  }
  FindCloseChangeNotification(change);
  int code = -1;
  std::ifstream(status) >> code;
  if (code != 0) {
    std::ifstream output(_work + "\\output");
    std::stringstream text;
    text << output.rdbuf();
    _why = "mount said: " + text.str();
  }
  return code;
}

}  // namespace musictest
