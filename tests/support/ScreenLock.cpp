#include "ScreenLock.h"

#include "NamedLockWait.h"

namespace ovtest {

namespace {

// Window cases take a few seconds each; ten minutes means a case is stuck.
constexpr DWORD kLockWaitMs = 600000;

}  // namespace

CScreenLock::CScreenLock() : _mutex(::CreateMutexA(nullptr, FALSE, "OvTestScreen")) {
  if (!_mutex.Get()) return;
  const DWORD wait = WaitForTestLock(_mutex.Get(), "OvTestScreen", kLockWaitMs);
  _held = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

CScreenLock::~CScreenLock() {
  if (_held) ::ReleaseMutex(_mutex.Get());
}

}  // namespace ovtest
