// Waiting for one of the cross-process test locks (the screen, the one-core
// lock) in a way that names the case holding it.
#pragma once

#include "OvWindows.h"

namespace ovtest {

// Waits up to `total_ms` for the named mutex `lock`, saying on stderr every
// minute how long this case has waited and which case holds it (case name,
// process id, since when). Once taken, records this case as the holder for
// the next waiter. Returns what WaitForSingleObject gave last.
DWORD WaitForTestLock(HANDLE lock, const char* lock_name, DWORD total_ms);

}  // namespace ovtest
