// Stands in for the system's disk checker under Wine, where there is none.
// It checks nothing; the environment it inherits steers it:
//   OV_CHKDSK_LOG   a file to which it appends its command line and its
//                   current folder, one line: "<command line>|<folder>"
//   OV_CHKDSK_HOLD  the name of an event it waits for (up to two minutes)
//                   before it ends, to stand for a slow check; it sets the
//                   events of that name with "_started" and "_done"
//                   appended when it starts and when it ends
//   OV_CHKDSK_EXIT  its exit code (0 when unset: no errors found)
#include <cstdlib>
#include <string>

#include "Handle.h"
#include "OvWindows.h"

namespace {

std::string Environment(const char* name) {
  char value[1024] = {};
  const DWORD length = GetEnvironmentVariableA(name, value, sizeof(value));
  return length > 0 && length < sizeof(value) ? std::string(value, length) : std::string();
}

void AppendLine(const std::string& path, const std::string& line) {
  CFileHandle file(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  DWORD written = 0;
  WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace

int main() {
  const std::string log = Environment("OV_CHKDSK_LOG");
  if (!log.empty()) {
    char folder[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, folder);
    AppendLine(log, std::string(GetCommandLineA()) + "|" + folder + "\r\n");
  }
  const std::string hold = Environment("OV_CHKDSK_HOLD");
  if (!hold.empty()) {
    const CHandle release(CreateEventA(nullptr, TRUE, FALSE, hold.c_str()));
    const CHandle started(CreateEventA(nullptr, TRUE, FALSE, (hold + "_started").c_str()));
    const CHandle done(CreateEventA(nullptr, TRUE, FALSE, (hold + "_done").c_str()));
    if (started) SetEvent(started.Get());
    if (release) WaitForSingleObject(release.Get(), 120000);
    if (done) SetEvent(done.Get());
  }
  const std::string code = Environment("OV_CHKDSK_EXIT");
  return code.empty() ? 0 : atoi(code.c_str());
}
