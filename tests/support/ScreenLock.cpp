#include "ScreenLock.h"

namespace ovtest {

CScreenLock::CScreenLock() : _mutex(::CreateMutexA(nullptr, FALSE, "OvTestScreen")) {
  if (!_mutex.Get()) return;
  // Window cases take a few seconds each; ten minutes means a case is stuck.
  const DWORD wait = ::WaitForSingleObject(_mutex.Get(), 600000);
  _held = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

CScreenLock::~CScreenLock() {
  if (_held) ::ReleaseMutex(_mutex.Get());
}

}  // namespace ovtest
