// A stand-in for a program that the main program starts (copied into a
// test's install folder as "Ostrovelle_Core.exe" or "Ostrovelle_Music.exe"):
// it appends its command line, one line per start, to a file beside itself
// named after it with ".cmdline" added, and ends.
#include "OvWindows.h"

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_line, int) {
  char path[MAX_PATH + 16] = {};
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 1;
  const std::string record = std::string(path) + ".cmdline";
  const HANDLE file = CreateFileA(record.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  const std::string line = std::string(command_line ? command_line : "") + "\n";
  DWORD written = 0;
  const BOOL ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == line.size() ? 0 : 1;
}
