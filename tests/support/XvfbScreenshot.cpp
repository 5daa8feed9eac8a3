// Wine runs Unix programs through CreateProcess, so the tool is started with
// the shell's Unix path and the source tree's folder from OV_SOURCE_DIR.
#include "XvfbScreenshot.h"

#include <cstdlib>
#include <vector>

#include "OvWindows.h"

namespace ovtest {

namespace {

std::string SourceDir() {
  const char* dir = std::getenv("OV_SOURCE_DIR");
  return dir ? dir : "";
}

// A Unix path as the Z: drive shows it.
std::string OnZ(const std::string& unix_path) {
  std::string path = "Z:" + unix_path;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

}  // namespace

std::string ScreenshotFolder() { return SourceDir() + "/build/screens"; }

bool SaveXvfbScreenshot(const std::string& name, std::string* error) {
  const std::string source = SourceDir();
  if (source.empty()) {
    if (error) *error = "OV_SOURCE_DIR is not set";
    return false;
  }
  const std::string picture = OnZ(ScreenshotFolder() + "/" + name + ".png");
  DeleteFileA(picture.c_str());
  std::string command = "Z:\\bin\\bash " + source + "/tools/screenshot " + name;
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    if (error) *error = "cannot start the screenshot tool: " + std::to_string(GetLastError());
    return false;
  }
  CloseHandle(process.hThread);
  // Wine signals a Unix program's handle early and does not hand back its
  // exit status: the picture appearing (renamed into place whole) is the
  // answer, watched through the folder's change notification.
  const std::string folder = OnZ(ScreenshotFolder());
  CreateDirectoryA(folder.c_str(), nullptr);
  const HANDLE change =
      FindFirstChangeNotificationA(folder.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
  const DWORD deadline = GetTickCount() + 30000;
  bool written = GetFileAttributesA(picture.c_str()) != INVALID_FILE_ATTRIBUTES;
  while (!written && change != INVALID_HANDLE_VALUE) {
    const DWORD now = GetTickCount();
    if (static_cast<LONG>(deadline - now) <= 0) break;
    if (WaitForSingleObject(change, deadline - now) != WAIT_OBJECT_0) break;
    written = GetFileAttributesA(picture.c_str()) != INVALID_FILE_ATTRIBUTES;
    FindNextChangeNotification(change);
  }
  if (change != INVALID_HANDLE_VALUE) FindCloseChangeNotification(change);
  CloseHandle(process.hProcess);
  if (!written) {
    if (error) *error = "no picture at " + picture;
    return false;
  }
  return true;
}

}  // namespace ovtest
