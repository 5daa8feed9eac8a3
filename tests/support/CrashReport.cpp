// Linked into every test program. A case that dies must say how: ctest keeps
// only what reached the pipe, and the C runtime buffers stdout in blocks, so
// a crash used to leave a failed case with no output at all.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "OvWindows.h"

namespace {

void WriteError(const char* text) {
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(std::strlen(text)),
              &written, nullptr);
}

LONG WINAPI ReportUnhandled(EXCEPTION_POINTERS* info) {
  char line[160];
  const EXCEPTION_RECORD* record = info ? info->ExceptionRecord : nullptr;
  std::snprintf(line, sizeof(line), "\n*** unhandled exception 0x%08lX at %p (thread %lu)\n",
                record ? static_cast<unsigned long>(record->ExceptionCode) : 0UL,
                record ? record->ExceptionAddress : nullptr,
                static_cast<unsigned long>(::GetCurrentThreadId()));
  WriteError(line);
  return EXCEPTION_CONTINUE_SEARCH;
}

void ReportAbort(int) {
  WriteError("\n*** abort() called\n");
  std::_Exit(3);
}

struct CCrashReport {
  CCrashReport() {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    ::SetUnhandledExceptionFilter(&ReportUnhandled);
    std::signal(SIGABRT, &ReportAbort);
  }
};

const CCrashReport g_crash_report;

}  // namespace
