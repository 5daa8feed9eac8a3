// A program that only says it ran: it sets the event named
// "OvMusicTestRan_" followed by its own file name without extension, which
// a test that planted it under some name waits for.
#include <string>

#include "OvWindows.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string name = path;
  const size_t slash = name.find_last_of('\\');
  if (slash != std::string::npos) name.erase(0, slash + 1);
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos) name.erase(dot);
  const HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, ("OvMusicTestRan_" + name).c_str());
  if (!event) return 1;
  SetEvent(event);
  CloseHandle(event);
  return 0;
}
