#include "NamedLockWait.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "Handle.h"

namespace ovtest {

namespace {

// A waiter says every minute how long it has waited and who holds the
// screen, so that a case that hangs holding it is named in the output of the
// cases it holds up, even when its own output is lost with its time-out.
constexpr DWORD kReportEveryMs = 60000;
constexpr DWORD kHolderBytes = 512;

// The holder's name, kept in a small shared block beside the mutex.
class CHolderRecord final {
 public:
  explicit CHolderRecord(const char* block_name)
      : _mapping(::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      kHolderBytes, block_name)),
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
// has it open, and the holder's name must outlive the wait.
CHolderRecord& HolderOf(const char* lock_name) {
  static std::mutex guard;
  static std::map<std::string, std::unique_ptr<CHolderRecord>> records;
  std::lock_guard<std::mutex> hold(guard);
  std::unique_ptr<CHolderRecord>& record = records[lock_name];
  if (!record)
    record = std::make_unique<CHolderRecord>((std::string(lock_name) + "Holder").c_str());
  return *record;
}

std::string CurrentCaseName() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  if (!info) return "(outside a case)";
  return std::string(info->test_suite_name()) + "." + info->name();
}

}  // namespace

DWORD WaitForTestLock(HANDLE lock, const char* lock_name, DWORD total_ms) {
  CHolderRecord& holder = HolderOf(lock_name);
  DWORD waited = 0;
  DWORD wait = WAIT_TIMEOUT;
  while (waited < total_ms) {
    wait = ::WaitForSingleObject(
        lock, total_ms - waited < kReportEveryMs ? total_ms - waited : kReportEveryMs);
    if (wait != WAIT_TIMEOUT) break;
    waited += kReportEveryMs;
    fprintf(stderr, "%s: %s has waited %lu s, held by %s\n", lock_name, CurrentCaseName().c_str(),
            static_cast<unsigned long>(waited / 1000), holder.Read().c_str());
    fflush(stderr);
  }
  if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) return wait;
  SYSTEMTIME now = {};
  ::GetLocalTime(&now);
  char since[64];
  snprintf(since, sizeof(since), " (pid %lu) since %02u:%02u:%02u",
           static_cast<unsigned long>(::GetCurrentProcessId()), now.wHour, now.wMinute,
           now.wSecond);
  holder.Write(CurrentCaseName() + since +
               (wait == WAIT_ABANDONED ? ", after a holder that ended holding it" : ""));
  return wait;
}

}  // namespace ovtest
