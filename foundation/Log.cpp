// The log facility; see Log.h. Every line takes and releases the file's
// named mutex and opens, appends to and closes the file, so a line is on
// disk when Log returns and no other process holds the file between lines
// (it can be rolled over, read or removed). The mutex handles are kept:
// creating and closing one for every line cost two more trips to the Wine
// server.
#include "Log.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "Folders.h"
#include "Handle.h"
#include "Version.h"

namespace {

constexpr LONG kDefaultLimitKb = 4096;
constexpr size_t kMessageRoom = 1024;

// Process-wide state, built before the entry function runs.
CBroxlogPathString g_main_path;
CBroxlogPathString g_system_path;
volatile LONG g_size_limit = kDefaultLimitKb * 1024;
volatile LONG g_trace = 0;
volatile LONG g_mutex_timeout = 10000;

const char* const kMarks[] = {"..", "!!", "@@", "->", "<-", ";;", "", "==", "--", "##", "##"};

const char* AfterLastSeparator(const char* path) {
  const char* name = path;
  for (const char* p = path; *p; ++p) {
    if (*p == '\\' || *p == '/') name = p + 1;
  }
  return name;
}

// The running program's file name with everything from its last "."
// replaced by the given ending (appended when the name has no ".").
std::string ProgramFileWithEnding(const char* ending) {
  std::string name = PathFindFileName(GetModulePath(nullptr));
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name + ending;
}

bool WriteAll(HANDLE file, const char* data, size_t size) {
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) || written == 0) {
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

// The named mutexes of the log files this process wrote to, kept open for
// its life (a handful: the program's log and its system log, more only in
// tests). Past the limit a mutex is made for the line and closed after it.
// The list is never destroyed: a line logged while the process ends still
// finds it.
constexpr size_t kKeptMutexes = 16;
std::mutex g_mutexes_lock;
std::vector<std::pair<std::string, CHandle>>& KeptMutexes() {
  static auto* kept = new std::vector<std::pair<std::string, CHandle>>();
  return *kept;
}

// The file's mutex: a kept handle (owned by the list), or one made for this
// line into *own; null when it cannot be made.
HANDLE LogMutex(const char* name, CHandle* own) {
  std::lock_guard<std::mutex> hold(g_mutexes_lock);
  auto& kept = KeptMutexes();
  for (const auto& entry : kept) {
    if (entry.first == name) return entry.second.Get();
  }
  own->Reset(CreateMutexA(nullptr, FALSE, name));
  if (!*own || kept.size() >= kKeptMutexes) return own->Get();
  kept.emplace_back(name, std::move(*own));
  return kept.back().second.Get();
}

CFileHandle OpenForAppend(const char* path) {
  return CFileHandle(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
}

void SetLogPath(const char* path) {
  if (!g_main_path.Get().empty()) return;
  std::string full(path);
  if (full.find('\\') == std::string::npos) full = GetModuleFolder() + full;
  g_main_path.Set(full.c_str());
  const std::string folder = GetParentFolder(g_main_path.Get());
  if (!PathIsDirectory(folder)) CreateDirectories(folder);
}

void SetSysLogPath() {
  if (!g_system_path.Get().empty()) return;
  const std::string main_path = g_main_path.Get();
  std::string folder;
  if (main_path.empty()) {
    folder = GetModuleFolder();
  } else {
    const size_t slash = main_path.rfind('\\');
    folder = slash == std::string::npos ? GetModuleFolder() : main_path.substr(0, slash + 1);
  }
  g_system_path.Set((folder + ProgramFileWithEnding("_sys.log")).c_str());
}

}  // namespace

void CBroxlogPathString::Set(const char* path) {
  char name[64];
  snprintf(name, sizeof(name), "BroxLogPathStringMutex_%08X_%08X",
           static_cast<unsigned>(reinterpret_cast<UINT_PTR>(this)),
           static_cast<unsigned>(GetCurrentProcessId()));
  CHandle mutex(CreateMutexA(nullptr, FALSE, name));
  const bool locked = mutex && WaitForSingleObject(mutex.Get(), INFINITE) != WAIT_FAILED;
  if (_set == 0) {
    lstrcpynA(_path, path, sizeof(_path));
    InterlockedExchange(&_set, 1);
  }
  if (locked) ReleaseMutex(mutex.Get());
}

int CBroxlogPathString::Get(char* out, size_t size) const {
  if (size == 0) return _set ? 1 : 0;
  if (_set == 0) {
    out[0] = '\0';
    return 0;
  }
  lstrcpynA(out, _path, static_cast<int>(size));
  return 1;
}

std::string CBroxlogPathString::Get() const { return _set ? std::string(_path) : std::string(); }

void CBroxlogPathString::ResetForTest() {
  InterlockedExchange(&_set, 0);
  _path[0] = '\0';
}

CBroxLog::CBroxLog(const char* source_path, int line, const char* log_path) : _line(line) {
  lstrcpynA(_source, AfterLastSeparator(source_path ? source_path : ""), sizeof(_source));
  lstrcpynA(_log_path, log_path ? log_path : "", sizeof(_log_path));
  if (_log_path[0]) {
    snprintf(_backup_path, sizeof(_backup_path), "%s.BAK", _log_path);
  } else {
    _backup_path[0] = '\0';
  }
  const char* slash = strrchr(_log_path, '\\');
  lstrcpynA(_mutex_name, slash ? slash + 1 : _log_path, sizeof(_mutex_name));
}

int CBroxLog::Write(int kind, const char* message) {
  if (kind == kLogTrace && g_trace == 0) return 0;
  if (_log_path[0] == '\0') return 1;
  if (kind < 0 || kind > kLogSystem) return 2;

  CHandle own_mutex;
  const HANDLE mutex = LogMutex(_mutex_name, &own_mutex);
  if (!mutex) return 8;
  const DWORD wait = WaitForSingleObject(mutex, static_cast<DWORD>(g_mutex_timeout));
  if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) return 9;
  CMutexLock lock(mutex);

  SYSTEMTIME t;
  GetLocalTime(&t);
  char head[MAX_PATH + 128];
  const int head_len =
      snprintf(head, sizeof(head), "%04d/%02d/%02d %02d:%02d:%02d:%03d\t%s\t%s\t%d\t%x\t", t.wYear,
               t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds, kMarks[kind],
               _source, _line, static_cast<unsigned>(GetCurrentThreadId()));
  char memory[64] = {};
  if (kind == kLogTrace) {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters))) {
      snprintf(memory, sizeof(memory), "[WS:%dKB, PF:%dKB]\t",
               static_cast<int>(counters.WorkingSetSize / 1024),
               static_cast<int>(counters.PagefileUsage / 1024));
    }
  }

  // The whole line goes out in one write.
  std::string line;
  line.reserve(head_len + sizeof(memory) + strlen(message) + 4);
  line.append(head, head_len).append(memory).append(message).append("\r\n");
  if (kind == kLogEnd) line.append("\r\n");

  {
    CFileHandle file = OpenForAppend(_log_path);
    if (!file) return 10;
    // A file made just now is not rolled over, as none was before.
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    LARGE_INTEGER size = {};
    // The size counts the line without its memory figures and the end
    // line's extra break, as it always has.
    const uint64_t projected =
        (GetFileSizeEx(file.Get(), &size) ? static_cast<uint64_t>(size.QuadPart) : 0) + head_len +
        strlen(message) + 2;
    if (existed && projected > static_cast<uint64_t>(g_size_limit)) {
      file.Reset();
      DeleteFileA(_backup_path);
      MoveFileA(_log_path, _backup_path);
      file = OpenForAppend(_log_path);
      if (!file) return 10;
    }
    SetFilePointer(file.Get(), 0, nullptr, FILE_END);
    WriteAll(file.Get(), line.data(), line.size());
  }
  return kind == kLogFatal ? SaveFatalCopy() : 0;
}

int CBroxLog::SaveFatalCopy() {
  // Work on the file name only: a "." in a folder name is not an extension.
  const std::string path(_log_path);
  const size_t slash = path.rfind('\\');
  if (slash == std::string::npos) return 11;
  const std::string folder = path.substr(0, slash + 1);
  const std::string name = path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  const std::string stem = (dot == std::string::npos ? name : name.substr(0, dot)) + "_fatal";
  const std::string ext = dot == std::string::npos ? std::string() : name.substr(dot);

  SYSTEMTIME t;
  GetLocalTime(&t);
  const std::string copy = folder + stem +
                           FormatString("%04d%02d%02d%02d%02d%02d", t.wYear, t.wMonth, t.wDay,
                                        t.wHour, t.wMinute, t.wSecond) +
                           ext;

  WIN32_FIND_DATAA fd;
  int count = 0;
  std::string oldest;
  {
    CFindHandle find(FindFirstFileA((folder + stem + "*").c_str(), &fd));
    if (find) {
      do {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        ++count;
        if (oldest.empty() || strcmp(fd.cFileName, oldest.c_str()) < 0) oldest = fd.cFileName;
      } while (FindNextFileA(find.Get(), &fd));
    }
  }
  if (count >= 4 && !DeleteFileA((folder + oldest).c_str())) return 6;
  return CopyFileA(_log_path, copy.c_str(), TRUE) ? 0 : 5;
}

int CBroxLogWrapper::WriteLine(int kind, const char* message) {
  if (kind == kLogSystem) SetSysLogPath();
  const std::string path = kind == kLogSystem ? g_system_path.Get() : g_main_path.Get();
  int result = CBroxLog(_source, _line, path.c_str()).Write(kind, message);
  if (result == 0) return 0;
  if (HandleResult(result, kind) == 1) {
    SetSysLogPath();
    result = CBroxLog(_source, _line, g_system_path.Get().c_str()).Write(kind, message);
  }
  return result;
}

int CBroxLogWrapper::HandleResult(int result, int kind) {
  const bool own_line = kind == kLogNotice || kind == kLogSystem;
  switch (result) {
    case 0:
    case 3:
    case 4:
    case 7:
      return 0;
    case 1:
      if (own_line) return 2;
      WriteLine(kLogSystem, "出力先が設定されていません。デフォルト出力先を使用します");
      return 1;
    case 2:
      WriteLine(kLogNotice, FormatString("不正なログ種別[%d]が指定されました", kind).c_str());
      return 0;
    case 5:
      WriteLine(kLogNotice, "退避ファイルの作成に失敗しました");
      return 0;
    case 6:
      WriteLine(kLogNotice, "古い退避ファイル削除失敗のため、退避ファイルを作成できません");
      return 0;
    case 8:
    case 9:
    case 10: {
      if (own_line) return 2;
      const DWORD error = GetLastError();
      std::string text;
      if (result == 8) {
        text = "排他オブジェクト作成に失敗しました";
      } else if (result == 9) {
        text = "排他で待てませんでした";
      } else if (kind == kLogDump) {
        text = FormatString("ダンプファイルエラーが発生しました。GetLastError[%d]",
                            static_cast<int>(error));
      } else {
        text =
            FormatString("ファイルエラーが発生しました。GetLastError[%d]", static_cast<int>(error));
      }
      WriteLine(kLogSystem, text.c_str());
      return 0;
    }
    default:
      WriteLine(kLogNotice, "想定外のエラーが発生しました");
      return 0;
  }
}

int CBroxLogWrapper::LogV(int kind, const char* format, va_list args) {
  char message[kMessageRoom];
  const int n = vsnprintf(message, sizeof(message), format, args);
  if (n < 0) message[0] = '\0';
  if (n >= static_cast<int>(kMessageRoom)) {
    // Cut where a character ends: no lone lead byte at the end of the line.
    message[Cp932SafeLength(message, kMessageRoom - 1)] = '\0';
    if (message[0] != '\0') WriteLine(kLogNotice, "出力サイズオーバーです。出力を切り詰めます");
  }
  return WriteLine(kind, message);
}

int CBroxLogWrapper::Log(int kind, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int result = LogV(kind, format, args);
  va_end(args);
  return result;
}

void CBroxLogWrapper::Open(const char* path, int size_kb, int /*reserved*/) {
  if (path && path[0]) {
    SetLogPath(path);
  } else {
    SetLogPath((GetLogFolder() + ProgramFileWithEnding(".log")).c_str());
  }
  if (size_kb >= 1 && size_kb <= kDefaultLimitKb) {
    InterlockedExchange(&g_size_limit, size_kb * 1024);
  } else {
    InterlockedExchange(&g_size_limit, kDefaultLimitKb * 1024);
    Log(kLogNotice, "サイズ指定%dKBは不正です。%dKBとします", size_kb,
        static_cast<int>(kDefaultLimitKb));
  }
  InterlockedExchange(&g_trace, IsTraceLogEnabled() ? 1 : 0);
  Log(kLogStart, "==========<開始(%s)>==========", GetModuleFileVersion().c_str());
}

void CBroxLogWrapper::End() { Log(kLogEnd, "----------<終了>----------"); }

bool IsTraceLogEnabled() {
  const std::string ini = GetModuleFolder() + "OVLOG.ini";
  return GetPrivateProfileIntA("Log", "Recover", 0, ini.c_str()) != 0;
}

namespace logtest {

void Reset() {
  g_main_path.ResetForTest();
  g_system_path.ResetForTest();
  InterlockedExchange(&g_size_limit, kDefaultLimitKb * 1024);
  InterlockedExchange(&g_trace, 0);
  InterlockedExchange(&g_mutex_timeout, 10000);
}

void SetMutexTimeout(DWORD ms) { InterlockedExchange(&g_mutex_timeout, static_cast<LONG>(ms)); }
void SetTraceEnabled(bool enabled) { InterlockedExchange(&g_trace, enabled ? 1 : 0); }

std::string MainLogPath() { return g_main_path.Get(); }
std::string SystemLogPath() { return g_system_path.Get(); }

}  // namespace logtest
