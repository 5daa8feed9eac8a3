// The log of each program: one text file per program under the data root's
// "Log" folder, a line per call, guarded across threads and processes by a
// named mutex per file. Any thread may log at any time; nothing is buffered.
#pragma once

#include <string>

#include "StringUtil.h"

enum LogKind {
  kLogInfo = 0,     // ".."
  kLogError = 1,    // "!!"
  kLogTrace = 2,    // "@@", only with OVLOG.ini [Log] Recover
  kLogIn = 3,       // "->"
  kLogOut = 4,      // "<-"
  kLogFatal = 5,    // ";;", the log is copied aside afterwards
  kLogDump = 6,     // no mark
  kLogStart = 7,    // "=="
  kLogEnd = 8,      // "--"
  kLogNotice = 9,   // "##", the facility's own notices
  kLogSystem = 10,  // "##", to the system log file
};

// A path that is set once per process and then only read.
class CBroxlogPathString final {
 public:
  CBroxlogPathString() = default;
  ~CBroxlogPathString() = default;
  CBroxlogPathString(const CBroxlogPathString&) = delete;
  CBroxlogPathString& operator=(const CBroxlogPathString&) = delete;

  void Set(const char* path);
  // Copies the path out; 1 when set, 0 (and an empty string) when not.
  int Get(char* out, size_t size) const;
  std::string Get() const;
  void ResetForTest();

 private:
  volatile LONG _set = 0;
  char _path[MAX_PATH] = {};
};

// Writes one line to one file.
class CBroxLog final {
 public:
  CBroxLog(const char* source_path, int line, const char* log_path);
  ~CBroxLog() = default;
  CBroxLog(const CBroxLog&) = delete;
  CBroxLog& operator=(const CBroxLog&) = delete;

  // 0 written; 1 no path; 2 bad kind; 5/6 fatal copy failed; 8/9 mutex not
  // created/taken; 10 file not opened; 11 bad fatal-copy pattern.
  int Write(int kind, const char* message);

 private:
  int SaveFatalCopy();

  char _source[MAX_PATH];
  int _line;
  char _log_path[MAX_PATH];
  char _backup_path[MAX_PATH + 8];
  char _mutex_name[MAX_PATH];
};

// The front end, built on the stack for each call (see OV_LOG).
class CBroxLogWrapper final {
 public:
  CBroxLogWrapper(const char* source_file, int line) : _source(source_file), _line(line) {}
  ~CBroxLogWrapper() = default;
  CBroxLogWrapper(const CBroxLogWrapper&) = delete;
  CBroxLogWrapper& operator=(const CBroxLogWrapper&) = delete;

  int Log(int kind, const char* format, ...) OV_PRINTF_FORMAT(3, 4);
  int LogV(int kind, const char* format, va_list args) OV_PRINTF_FORMAT(3, 0);
  // Once per program at start-up; an empty path means the program's own log.
  // `reserved` is accepted for the programs that pass one and not used.
  void Open(const char* path, int size_kb, int reserved = 0);
  void End();

 private:
  int HandleResult(int result, int kind);
  int WriteLine(int kind, const char* message);

  const char* _source;  // not owned: a string literal
  int _line;
};

#define OV_LOG(kind, ...) CBroxLogWrapper(__FILE__, __LINE__).Log((kind), __VA_ARGS__)

bool IsTraceLogEnabled();

// Process-wide state, for tests that need a fresh log in one process.
namespace logtest {
void Reset();
void SetMutexTimeout(DWORD ms);
// Trace lines on or off, as OVLOG.ini [Log] Recover would set them.
void SetTraceEnabled(bool enabled);
std::string MainLogPath();
std::string SystemLogPath();
}  // namespace logtest
