// OvLauncherBench: the main program's launcher measured as a process, for
// launcher_bench.sh, beside a reference process started the same way (this
// program itself with "plain": one plain window, created and painted).
//
//   OvLauncherBench launcher MAIN_EXE [idle seconds=5]
//   OvLauncherBench reference [idle seconds=5]
//
// Prints "<name> <value>" lines:
//   <side>_start: milliseconds from the process's creation until its window
//     is shown and has no part left to paint (the first paint);
//   <side>_idle_cpu: per cent of one core the process takes over the idle
//     seconds with its window shown and nothing happening.
// The window is then asked to close (WM_CLOSE) and the process awaited.
// Exit code 0, 1 bad arguments, 2 the program did not start or show.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "BenchTiming.h"
#include "OvWindows.h"

namespace {

constexpr char kPlainClass[] = "OvLauncherBenchPlain";
constexpr char kPlainTitle[] = "OvLauncherBench plain";
constexpr char kFrameworkClass[] = "WFC-OstrovelleEVDefaultWindowClass";
constexpr char kLauncherTitle[] = "Ostrovelle";
constexpr DWORD kShowLimitMs = 60000;

LRESULT CALLBACK PlainProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      const HDC dc = BeginPaint(hwnd, &ps);
      FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(hwnd, message, wp, lp);
  }
}

// The reference program: a plain window of the launcher's size.
int RunPlain() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = &PlainProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kPlainClass;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  RegisterClassA(&wc);
  const HWND hwnd = CreateWindowExA(0, kPlainClass, kPlainTitle, WS_POPUP | WS_VISIBLE, 100, 100,
                                    400, 260, nullptr, nullptr, wc.hInstance, nullptr);
  if (!hwnd) return 2;
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  return 0;
}

double FileTimeMs(const FILETIME& t) {
  return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) /
         10000.0;
}

double ProcessCpuMs(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  return FileTimeMs(kernel) + FileTimeMs(user);
}

// Starts the command line and waits until the window is shown and painted.
int Measure(const char* side, const std::string& command_line, const char* window_class,
            const char* title, int idle_seconds) {
  STARTUPINFOA si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  std::string line = command_line;
  const double start = NowMs();
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    std::fprintf(stderr, "OvLauncherBench: cannot start %s\n", command_line.c_str());
    return 2;
  }
  CloseHandle(pi.hThread);
  HWND window = nullptr;
  double shown = 0;
  // A bench, not a test: it looks every millisecond.
  while (NowMs() - start < kShowLimitMs) {
    window = FindWindowA(window_class, title);
    if (window && IsWindowVisible(window) && !GetUpdateRect(window, nullptr, FALSE)) {
      shown = NowMs() - start;
      break;
    }
    if (WaitForSingleObject(pi.hProcess, 1) == WAIT_OBJECT_0) break;
  }
  int rc = 0;
  if (shown > 0) {
    std::printf("%s_start %.3f\n", side, shown);
    const double cpu_start = ProcessCpuMs(pi.hProcess);
    const double wall_start = NowMs();
    WaitForSingleObject(pi.hProcess, static_cast<DWORD>(idle_seconds) * 1000);
    std::printf("%s_idle_cpu %.3f\n", side,
                100.0 * (ProcessCpuMs(pi.hProcess) - cpu_start) / (NowMs() - wall_start));
    PostMessageA(window, WM_CLOSE, 0, 0);
  } else {
    std::fprintf(stderr, "OvLauncherBench: %s showed no window\n", side);
    rc = 2;
  }
  if (WaitForSingleObject(pi.hProcess, kShowLimitMs) != WAIT_OBJECT_0) {
    TerminateProcess(pi.hProcess, 1);
    WaitForSingleObject(pi.hProcess, kShowLimitMs);
  }
  CloseHandle(pi.hProcess);
  std::fflush(stdout);
  return rc;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "plain") == 0) return RunPlain();
  if (argc >= 3 && std::strcmp(argv[1], "launcher") == 0) {
    const int idle = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    return Measure("launcher", std::string("\"") + argv[2] + "\"", kFrameworkClass, kLauncherTitle,
                   idle);
  }
  if (argc >= 2 && std::strcmp(argv[1], "reference") == 0) {
    const int idle = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    char own[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, own, MAX_PATH);
    return Measure("reference", std::string("\"") + own + "\" plain", kPlainClass, kPlainTitle,
                   idle);
  }
  std::fprintf(stderr,
               "usage: OvLauncherBench launcher MAIN_EXE [idle seconds]\n"
               "       OvLauncherBench reference [idle seconds]\n");
  return 1;
}
