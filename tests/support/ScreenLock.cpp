#include "ScreenLock.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace ovtest {

namespace {

// Window cases take a few seconds each; ten minutes means a case is stuck.
constexpr DWORD kLockWaitMs = 600000;
// A waiter says every minute how long it has waited and who holds the
// screen, so that a case that hangs holding it is named in the output of the
// cases it holds up, even when its own output is lost with its time-out.
constexpr DWORD kReportEveryMs = 60000;
constexpr DWORD kHolderBytes = 512;

// The holder's name, kept in a small shared block beside the mutex.
class CHolderRecord final {
 public:
  CHolderRecord()
      : _mapping(::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      kHolderBytes, "OvTestScreenHolder")),
        _view(_mapping.Get() ? ::MapViewOfFile(_mapping.Get(), FILE_MAP_WRITE, 0, 0, kHolderBytes)
                             : nullptr) {}

  void Write(const std::string& text) {
    if (!_view.Get()) return;
    char* block = static_cast<char*>(_view.Get());
    const size_t n = text.size() < kHolderBytes - 1 ? text.size() : kHolderBytes - 1;
    memcpy(block, text.data(), n);
    block[n] = '\0';
  }

  std::string Read() const {
    if (!_view.Get()) return "(unknown)";
    const char* block = static_cast<const char*>(_view.Get());
    return std::string(block, strnlen(block, kHolderBytes));
  }

 private:
  CHandle _mapping;
  CMappedView _view;
};

// Kept open for the life of the process: the block lives while a process
// has it open, and the holder's name must outlive the constructor.
CHolderRecord& Holder() {
  static CHolderRecord record;
  return record;
}

std::string CurrentCaseName() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  if (!info) return "(outside a case)";
  return std::string(info->test_suite_name()) + "." + info->name();
}

}  // namespace

CScreenLock::CScreenLock() : _mutex(::CreateMutexA(nullptr, FALSE, "OvTestScreen")) {
  if (!_mutex.Get()) return;
  CHolderRecord& holder = Holder();
  DWORD waited = 0;
  DWORD wait = WAIT_TIMEOUT;
  while (waited < kLockWaitMs) {
    wait = ::WaitForSingleObject(_mutex.Get(), kReportEveryMs);
    if (wait != WAIT_TIMEOUT) break;
    waited += kReportEveryMs;
    fprintf(stderr, "CScreenLock: %s has waited %lu s for the screen, held by %s\n",
            CurrentCaseName().c_str(), static_cast<unsigned long>(waited / 1000),
            holder.Read().c_str());
    fflush(stderr);
  }
  _held = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
  if (!_held) return;
  SYSTEMTIME now = {};
  ::GetLocalTime(&now);
  char since[64];
  snprintf(since, sizeof(since), " (pid %lu) since %02u:%02u:%02u",
           static_cast<unsigned long>(::GetCurrentProcessId()), now.wHour, now.wMinute,
           now.wSecond);
  holder.Write(CurrentCaseName() + since +
               (wait == WAIT_ABANDONED ? ", after a holder that ended holding it" : ""));
}

CScreenLock::~CScreenLock() {
  if (_held) ::ReleaseMutex(_mutex.Get());
}

}  // namespace ovtest
