// The retrying file operations; see WinFileSystemLib.h. The narrow forms
// convert their paths with the ANSI code page, as the platform's narrow
// calls do, and go through the wide ones.
#include "WinFileSystemLib.h"

#include "ChunkedCopy.h"
#include "Folders.h"
#include "Handle.h"
#include "Log.h"
#include "RetryPause.h"
#include "StringUtil.h"

#include <string>

namespace {

// A pause of 0 gives up at once: trying again cannot help.
constexpr DWORD kGiveUp = 0;

DWORD UsualPause(DWORD /*error*/) { return kRetryPauseMs; }

// A copy the user stopped is not tried again.
DWORD CopyPause(DWORD error) { return error == ERROR_REQUEST_ABORTED ? kGiveUp : kRetryPauseMs; }

// Up to kRetryTries tries of attempt (true on success), with a pause of
// pause_for(error) after each failed one, the last included. On failure
// *error is the platform error of the last try.
template <typename Attempt, typename PauseFor>
bool Retry(HANDLE abort_event, Attempt attempt, PauseFor pause_for, DWORD* error) {
  for (int i = 0; i < kRetryTries; ++i) {
    if (attempt()) return true;
    *error = GetLastError();
    const DWORD pause = pause_for(*error);
    if (pause == kGiveUp) break;
    PauseBeforeRetry(abort_event, pause);
  }
  return false;
}

bool Exists(const wchar_t* path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

std::string Narrow(const wchar_t* path) { return path ? ToMultiByte(path) : std::string(); }

std::wstring Wide(const char* path) { return path ? ToWide(path) : std::wstring(); }

bool IsDotEntry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

}  // namespace

CWinFileSystemLib::CWinFileSystemLib(HANDLE abort_event) : _abort_event(abort_event) {}

void CWinFileSystemLib::KeepError(DWORD error) {
  _last_error = error;
  SetLastError(error);
}

BOOL CWinFileSystemLib::FailOnTwoPaths(const char* call, DWORD error, const wchar_t* source,
                                       const wchar_t* target) {
  OV_LOG(kLogError, "%s( ) - Error ERR:0x%08X SRC:%s DST:%s", call, static_cast<unsigned>(error),
         Narrow(source).c_str(), Narrow(target).c_str());
  KeepError(error);
  return FALSE;
}

BOOL CWinFileSystemLib::ReadFile_Recover(HANDLE file, void* buffer, DWORD size, DWORD* read,
                                         OVERLAPPED* overlapped) {
  DWORD error = 0;
  const auto attempt = [&] { return ReadFile(file, buffer, size, read, overlapped) != FALSE; };
  if (Retry(_abort_event, attempt, UsualPause, &error)) return TRUE;
  OV_LOG(kLogError, "ReadFile_Recover( ) - Error ERR:0x%08X SIZE:%d", static_cast<unsigned>(error),
         static_cast<int>(size));
  KeepError(error);
  return FALSE;
}

BOOL CWinFileSystemLib::WriteFile_Recover(HANDLE file, const void* buffer, DWORD size,
                                          DWORD* written, OVERLAPPED* overlapped) {
  DWORD error = 0;
  const auto attempt = [&] { return WriteFile(file, buffer, size, written, overlapped) != FALSE; };
  if (Retry(_abort_event, attempt, UsualPause, &error)) return TRUE;
  OV_LOG(kLogError, "WriteFile_Recover( ) - Error ERR:0x%08X SIZE:%d", static_cast<unsigned>(error),
         static_cast<int>(size));
  KeepError(error);
  return FALSE;
}

CFileHandle CWinFileSystemLib::CreateFile_Recover(const char* path, DWORD access, DWORD share,
                                                  SECURITY_ATTRIBUTES* security, DWORD disposition,
                                                  DWORD flags, HANDLE template_file) {
  if (!path) {
    KeepError(ERROR_INVALID_PARAMETER);
    return CFileHandle();
  }
  return CreateFile_Recover(Wide(path).c_str(), access, share, security, disposition, flags,
                            template_file);
}

CFileHandle CWinFileSystemLib::CreateFile_Recover(const wchar_t* path, DWORD access, DWORD share,
                                                  SECURITY_ATTRIBUTES* security, DWORD disposition,
                                                  DWORD flags, HANDLE template_file) {
  HANDLE handle = INVALID_HANDLE_VALUE;
  DWORD error = 0;
  const auto attempt = [&] {
    handle = CreateFileW(path, access, share, security, disposition, flags, template_file);
    return handle != INVALID_HANDLE_VALUE && handle != nullptr;
  };
  const auto pause_for = [disposition](DWORD e) {
    return disposition == OPEN_EXISTING && e == ERROR_FILE_NOT_FOUND ? kRetryPauseMissingFileMs
                                                                     : kRetryPauseMs;
  };
  if (Retry(_abort_event, attempt, pause_for, &error)) return CFileHandle(handle);
  OV_LOG(kLogError, "CreateFile_Recover( ) - Error ERR:0x%08X PATH:%s ACCESS:%X SHARE:%X",
         static_cast<unsigned>(error), Narrow(path).c_str(), static_cast<unsigned>(access),
         static_cast<unsigned>(share));
  KeepError(error);
  return CFileHandle();
}

BOOL CWinFileSystemLib::CopyFile_Recover(const char* source, const char* target,
                                         BOOL fail_if_exists) {
  return CopyFile_Recover(Wide(source).c_str(), Wide(target).c_str(), fail_if_exists);
}

BOOL CWinFileSystemLib::CopyFile_Recover(const wchar_t* source, const wchar_t* target,
                                         BOOL fail_if_exists) {
  DWORD error = 0;
  const auto attempt = [&] { return CopyFileW(source, target, fail_if_exists) != FALSE; };
  if (Retry(_abort_event, attempt, UsualPause, &error)) return TRUE;
  return FailOnTwoPaths("CopyFile_Recover", error, source, target);
}

BOOL CWinFileSystemLib::CopyFileEx_Recover(const char* source, const char* target,
                                           LPPROGRESS_ROUTINE progress, void* data, BOOL* cancel,
                                           DWORD flags) {
  return CopyFileEx_Recover(Wide(source).c_str(), Wide(target).c_str(), progress, data, cancel,
                            flags);
}

BOOL CWinFileSystemLib::CopyFileEx_Recover(const wchar_t* source, const wchar_t* target,
                                           LPPROGRESS_ROUTINE progress, void* data, BOOL* cancel,
                                           DWORD flags) {
  DWORD error = 0;
  const auto attempt = [&] {
    return CopyFileChunked(source, target, progress, data, cancel, flags) != FALSE;
  };
  if (Retry(_abort_event, attempt, CopyPause, &error)) return TRUE;
  return FailOnTwoPaths("CopyFileEx_Recover", error, source, target);
}

BOOL CWinFileSystemLib::CopyFileExAndRename_Recover(const wchar_t* source, const wchar_t* target,
                                                    const wchar_t* final_name,
                                                    LPPROGRESS_ROUTINE progress, void* data,
                                                    BOOL* cancel, BOOL* renamed) {
  DWORD error = 0;
  const auto attempt = [&] {
    return CopyFileChunkedAndRename(source, target, final_name, progress, data, cancel, renamed) !=
           FALSE;
  };
  if (Retry(_abort_event, attempt, CopyPause, &error)) return TRUE;
  return FailOnTwoPaths("CopyFileEx_Recover", error, source, target);
}

BOOL CWinFileSystemLib::MoveFileEx_Recover(const char* source, const char* target, DWORD flags) {
  // A null target (delete at reboot) must stay null.
  const std::wstring wide_target = Wide(target);
  return MoveFileEx_Recover(Wide(source).c_str(), target ? wide_target.c_str() : nullptr, flags);
}

BOOL CWinFileSystemLib::MoveFileEx_Recover(const wchar_t* source, const wchar_t* target,
                                           DWORD flags) {
  DWORD error = 0;
  const auto attempt = [&] { return MoveFileExW(source, target, flags) != FALSE; };
  if (Retry(_abort_event, attempt, UsualPause, &error)) return TRUE;
  return FailOnTwoPaths("MoveFileEx_Recover", error, source, target);
}

BOOL CWinFileSystemLib::DeleteFile_Recover(const char* path) {
  return DeleteFile_Recover(Wide(path).c_str());
}

BOOL CWinFileSystemLib::DeleteFile_Recover(const wchar_t* path) {
  if (!Exists(path)) return TRUE;
  DWORD error = 0;
  const auto attempt = [&] { return DeleteFileW(path) != FALSE; };
  if (Retry(_abort_event, attempt, UsualPause, &error)) return TRUE;
  OV_LOG(kLogError, "DeleteFile_Recover( ) - Error ERR:0x%08X File:%s",
         static_cast<unsigned>(error), Narrow(path).c_str());
  KeepError(error);
  return FALSE;
}

BOOL CWinFileSystemLib::RemoveDirectory_Recover(const char* path) {
  return RemoveDirectory_Recover(Wide(path).c_str());
}

BOOL CWinFileSystemLib::RemoveDirectory_Recover(const wchar_t* path) {
  if (!Exists(path)) return TRUE;
  DWORD error = 0;
  const auto attempt = [&] { return RemoveDirectoryW(path) != FALSE; };
  if (Retry(_abort_event, attempt, UsualPause, &error)) return TRUE;
  OV_LOG(kLogError, "RemoveDirectory_Recover( ) - Error ERR:0x%08X PATH:%s",
         static_cast<unsigned>(error), Narrow(path).c_str());
  KeepError(error);
  return FALSE;
}

BOOL CWinFileSystemLib::RemoveDirectoryAll_RecoverA(const char* folder, BOOL remove_self) {
  return RemoveTree(Wide(folder).c_str(), remove_self, "RemoveDirectoryAll_RecoverA");
}

BOOL CWinFileSystemLib::RemoveDirectoryAll_RecoverW(const wchar_t* folder, BOOL remove_self) {
  return RemoveTree(folder ? folder : L"", remove_self, "RemoveDirectoryAll_RecoverW");
}

BOOL CWinFileSystemLib::RemoveTree(const wchar_t* folder, BOOL remove_self, const char* operation) {
  std::wstring base(folder);
  AppendBackslashW(base);
  WIN32_FIND_DATAW found;
  CFindHandle find(FindFirstFileW((base + L"*").c_str(), &found));
  if (!find) {
    const DWORD error = GetLastError();
    OV_LOG(kLogError, "%s( ) - Error ERR:0x%08X PATH:%s", operation, static_cast<unsigned>(error),
           Narrow(base.c_str()).c_str());
    KeepError(error);
    return FALSE;
  }
  bool ok = true;
  do {
    if (IsDotEntry(found.cFileName)) continue;
    const std::wstring entry = base + found.cFileName;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ok = RemoveTree(entry.c_str(), TRUE, operation) && ok;
    } else {
      ok = DeleteFile_Recover(entry.c_str()) && ok;
    }
  } while (FindNextFileW(find.Get(), &found));
  find.Reset();
  if (remove_self) {
    // The current folder cannot be removed; the program's own folder is
    // never one we remove.
    SetCurrentDirectoryA(GetModuleFolder().c_str());
    ok = RemoveDirectory_Recover(folder) && ok;
  }
  return ok ? TRUE : FALSE;
}
