// A stand-in for a program that the main program starts (copied into a
// test's install folder as "Ostrovelle_Core.exe" or "Ostrovelle_Music.exe"):
// it appends its command line, one line per start, to a file beside itself
// named after it with ".cmdline" added. As the music manager with "/m
// manual" or "/m setting" it then shows the mode's window under the title
// the launcher looks for, appends each OVEV message and WM_CLOSE that window
// gets to "<name>.messages" ("OVEVSDChange 45 0"), and ends on
// OVEVRequestEnd or WM_CLOSE; any other start ends at once.
#include "OvWindows.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr char kFrameworkClass[] = "WFC-OstrovelleEVDefaultWindowClass";
const char* const kRecordedMessages[] = {"OVEVSDChange", "OVEVRequestEnd", "OVEVRequestReconfirm",
                                         "OVEVRequestAbort", "OVEVMusicManual"};

std::string g_own_path;

bool AppendLine(const std::string& path, const std::string& line) {
  const HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const std::string text = line + "\n";
  DWORD written = 0;
  const BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == text.size();
}

const char* RecordedName(UINT message) {
  if (message == WM_CLOSE) return "WM_CLOSE";
  for (const char* name : kRecordedMessages) {
    if (message == RegisterWindowMessageA(name)) return name;
  }
  return nullptr;
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
  const char* name = RecordedName(message);
  if (name) {
    char line[128];
    snprintf(line, sizeof(line), "%s %llX %llX", name, static_cast<unsigned long long>(wp),
             static_cast<unsigned long long>(lp));
    AppendLine(g_own_path + ".messages", line);
    if (message == WM_CLOSE || strcmp(name, "OVEVRequestEnd") == 0) {
      DestroyWindow(hwnd);
      return 0;
    }
    // A reconfirmation is answered with nothing reserved.
    return 0;
  }
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcA(hwnd, message, wp, lp);
}

// "Ostrovelle Music Manual" or "Ostrovelle Music Setting" for the music
// manager's modes; null otherwise.
const char* MusicWindowTitle(const char* command_line) {
  const char* name = strrchr(g_own_path.c_str(), '\\');
  name = name ? name + 1 : g_own_path.c_str();
  if (lstrcmpiA(name, "Ostrovelle_Music.exe") != 0 || !command_line) return nullptr;
  const char* mode = strstr(command_line, "/m ");
  if (!mode) return nullptr;
  if (_strnicmp(mode + 3, "manual", 6) == 0) return "Ostrovelle Music Manual";
  if (_strnicmp(mode + 3, "setting", 7) == 0) return "Ostrovelle Music Setting";
  return nullptr;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
  char path[MAX_PATH + 16] = {};
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 1;
  g_own_path = path;
  if (!AppendLine(g_own_path + ".cmdline", command_line ? command_line : "")) return 1;
  const char* title = MusicWindowTitle(command_line);
  if (!title) return 0;

  WNDCLASSA wc = {};
  wc.lpfnWndProc = &WindowProc;
  wc.hInstance = instance;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kFrameworkClass;
  RegisterClassA(&wc);
  const HWND window = CreateWindowExA(0, kFrameworkClass, title, WS_OVERLAPPEDWINDOW, 60, 60, 320,
                                      120, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  ShowWindow(window, SW_SHOWNOACTIVATE);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
