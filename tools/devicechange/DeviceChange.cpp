// OvDeviceChange: tells a window that card drives arrived or went away, as
// the system's WM_DEVICECHANGE volume notice would. Wine sends no such
// notice and refuses to post one (it carries a pointer), so tests and
// tools/run send it with this program after they change a card; a sent
// message reaches another process with the volume record intact.
//
//   OvDeviceChange arrival|removal <drive letters> [window]
//
// The letters ("E", "EF", "E:") make the record's unit mask; the window is
// a handle in hexadecimal (as the core's /w takes it), by default the
// launcher ("Ostrovelle" of the window framework's class). Exit code: 0 the
// window took the notice, 1 a bad command line, 2 no such window, 3 the
// send failed.
#include "OvWindows.h"

#include <dbt.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char kFrameworkClass[] = "WFC-OstrovelleEVDefaultWindowClass";
constexpr char kLauncherTitle[] = "Ostrovelle";
// The send waits this long for the window's answer. No "hung" shortcut:
// Wine judges a thread hung when it has not asked for messages for five
// seconds, which a test thread that has just waited for a lock has not.
constexpr UINT kSendLimitMs = 10000;

int Usage() {
  fprintf(stderr, "usage: OvDeviceChange arrival|removal <drive letters> [window]\n");
  return 1;
}

// 0 when the text names no drive or holds anything but letters and colons.
DWORD UnitMask(const char* letters) {
  DWORD mask = 0;
  for (const char* p = letters; *p; ++p) {
    if (*p == ':') continue;
    const int upper = toupper(static_cast<unsigned char>(*p));
    if (upper < 'A' || upper > 'Z') return 0;
    mask |= 1u << (upper - 'A');
  }
  return mask;
}

HWND TargetWindow(int argc, char** argv) {
  if (argc < 4) return FindWindowA(kFrameworkClass, kLauncherTitle);
  char* end = nullptr;
  const unsigned long long value = strtoull(argv[3], &end, 16);
  if (!end || *end != '\0' || value == 0) return nullptr;
  const HWND window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(value));
  return IsWindow(window) ? window : nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) return Usage();
  WPARAM event = 0;
  if (_stricmp(argv[1], "arrival") == 0) {
    event = DBT_DEVICEARRIVAL;
  } else if (_stricmp(argv[1], "removal") == 0) {
    event = DBT_DEVICEREMOVECOMPLETE;
  } else {
    return Usage();
  }
  const DWORD mask = UnitMask(argv[2]);
  if (mask == 0) return Usage();
  const HWND window = TargetWindow(argc, argv);
  if (!window) {
    fprintf(stderr, "OvDeviceChange: no window to tell\n");
    return 2;
  }
  DEV_BROADCAST_VOLUME record = {};
  record.dbcv_size = sizeof(record);
  record.dbcv_devicetype = DBT_DEVTYP_VOLUME;
  record.dbcv_unitmask = mask;
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutA(window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&record),
                           SMTO_NORMAL, kSendLimitMs, &answer)) {
    fprintf(stderr, "OvDeviceChange: the send failed (error %lu)\n",
            static_cast<unsigned long>(GetLastError()));
    return 3;
  }
  printf("%s %s sent to %p\n", argv[1], argv[2], static_cast<void*>(window));
  return 0;
}
