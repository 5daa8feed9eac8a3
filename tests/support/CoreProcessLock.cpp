// The one-core lock; see CoreProcessLock.h.
#include "CoreProcessLock.h"

#include <algorithm>
#include <vector>

#include "CoreMessages.h"
#include "NamedLockWait.h"
#include "_WindowPolicy.h"

namespace ovtest {

namespace {

constexpr DWORD kLockWaitMs = 600000;
constexpr DWORD kEndWaitMs = 30000;

// The windows by which the programs find each other: the core, the main
// program's hidden start-up window, the launcher and the registration window.
struct Named {
  const char* window_class;
  const char* title;
};
const Named kProgramWindows[] = {
    {kCoreWindowClass, kCoreWindowTitle},
    {"OSTROVELLEEVLAUNCHER", "Ostrovelle "},
    {lib::wfc::kDefaultWindowClass, "Ostrovelle"},
    {lib::wfc::kDefaultWindowClass, "Ostrovelle UserEntry"},
};

bool IsProgramWindow(HWND window) {
  char window_class[64] = {};
  char title[64] = {};
  GetClassNameA(window, window_class, sizeof(window_class));
  GetWindowTextA(window, title, sizeof(title));
  for (const Named& named : kProgramWindows) {
    if (lstrcmpA(window_class, named.window_class) == 0 && lstrcmpA(title, named.title) == 0) {
      return true;
    }
  }
  return false;
}

// A program window and the process that owned it when the windows were listed.
struct Owned {
  HWND window;
  DWORD pid;
};

BOOL CALLBACK CollectOwner(HWND window, LPARAM context) {
  auto* owned = reinterpret_cast<std::vector<Owned>*>(context);
  if (!IsProgramWindow(window)) return TRUE;
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != 0 && pid != GetCurrentProcessId()) owned->push_back(Owned{window, pid});
  return TRUE;
}

// True while `window` is still a program window of process `pid`. Asked with
// the process held open: an id whose process ended may already name another
// process (Wine hands ids out again quickly), which must never be ended.
bool StillOwns(HWND window, DWORD pid) {
  DWORD now = 0;
  if (!IsWindow(window) || GetWindowThreadProcessId(window, &now) == 0) return false;
  return now == pid && IsProgramWindow(window);
}

}  // namespace

void EndStrayPrograms() {
  std::vector<Owned> owned;
  EnumWindows(&CollectOwner, reinterpret_cast<LPARAM>(&owned));
  std::vector<DWORD> ended;
  for (const Owned& entry : owned) {
    if (std::find(ended.begin(), ended.end(), entry.pid) != ended.end()) continue;
    CHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.pid));
    if (!process || !StillOwns(entry.window, entry.pid)) continue;
    TerminateProcess(process.Get(), 1);
    WaitForSingleObject(process.Get(), kEndWaitMs);
    ended.push_back(entry.pid);
  }
}

CCoreProcessLock::CCoreProcessLock()
    : _lock(CreateMutexA(nullptr, FALSE, "OvTestCoreProcessLock")) {
  if (!_lock) return;
  const DWORD wait = WaitForTestLock(_lock.Get(), "OvTestCoreProcessLock", kLockWaitMs);
  _held = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
  if (_held) EndStrayPrograms();
}

CCoreProcessLock::~CCoreProcessLock() {
  if (!_held) return;
  EndStrayPrograms();
  ReleaseMutex(_lock.Get());
}

}  // namespace ovtest
