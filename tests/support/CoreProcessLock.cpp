// The one-core lock; see CoreProcessLock.h.
#include "CoreProcessLock.h"

#include <algorithm>
#include <vector>

#include "CoreMessages.h"
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

BOOL CALLBACK CollectOwner(HWND window, LPARAM context) {
  auto* owners = reinterpret_cast<std::vector<DWORD>*>(context);
  if (!IsProgramWindow(window)) return TRUE;
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != 0 && pid != GetCurrentProcessId() &&
      std::find(owners->begin(), owners->end(), pid) == owners->end()) {
    owners->push_back(pid);
  }
  return TRUE;
}

}  // namespace

void EndStrayPrograms() {
  std::vector<DWORD> owners;
  EnumWindows(&CollectOwner, reinterpret_cast<LPARAM>(&owners));
  for (const DWORD pid : owners) {
    CHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
    if (!process) continue;
    TerminateProcess(process.Get(), 1);
    WaitForSingleObject(process.Get(), kEndWaitMs);
  }
}

CCoreProcessLock::CCoreProcessLock()
    : _lock(CreateMutexA(nullptr, FALSE, "OvTestCoreProcessLock")) {
  if (!_lock) return;
  const DWORD wait = WaitForSingleObject(_lock.Get(), kLockWaitMs);
  _held = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
  if (_held) EndStrayPrograms();
}

CCoreProcessLock::~CCoreProcessLock() {
  if (!_held) return;
  EndStrayPrograms();
  ReleaseMutex(_lock.Get());
}

}  // namespace ovtest
