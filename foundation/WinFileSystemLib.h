// File operations on the SD card and in the download folders, where the
// card may be slow, busy or briefly gone: each platform call that fails is
// tried again (RetryPause.h: three tries, a pause after every failed one),
// then the platform error of the last try is kept in the holder, one error
// line names the operation, and the failed platform result is returned.
// Nothing is thrown or shown.
//
// Every operation takes a narrow (code page 932) or a wide path; both reach
// the same platform file system.
//
// Threads: one holder serves one thread (a charge's worker). The abort event
// is not owned; another thread sets it to abort a charge, which only cuts
// the pauses short. RemoveDirectoryAll_* changes the process's current
// folder.
#pragma once

#include "Handle.h"
#include "OvWindows.h"

class CWinFileSystemLib final {
 public:
  explicit CWinFileSystemLib(HANDLE abort_event = nullptr);
  ~CWinFileSystemLib() = default;
  CWinFileSystemLib(const CWinFileSystemLib&) = delete;
  CWinFileSystemLib& operator=(const CWinFileSystemLib&) = delete;

  // The platform error of the last operation that failed for good (0 when
  // none has).
  DWORD LastError() const { return _last_error; }
  HANDLE AbortEvent() const { return _abort_event; }

  BOOL ReadFile_Recover(HANDLE file, void* buffer, DWORD size, DWORD* read, OVERLAPPED* overlapped);
  BOOL WriteFile_Recover(HANDLE file, const void* buffer, DWORD size, DWORD* written,
                         OVERLAPPED* overlapped);

  // The opened file, or an empty owner when the last try failed (a null
  // handle from the platform counts as a failure too).
  CFileHandle CreateFile_Recover(const char* path, DWORD access, DWORD share,
                                 SECURITY_ATTRIBUTES* security, DWORD disposition, DWORD flags,
                                 HANDLE template_file);
  CFileHandle CreateFile_Recover(const wchar_t* path, DWORD access, DWORD share,
                                 SECURITY_ATTRIBUTES* security, DWORD disposition, DWORD flags,
                                 HANDLE template_file);

  BOOL CopyFile_Recover(const char* source, const char* target, BOOL fail_if_exists);
  BOOL CopyFile_Recover(const wchar_t* source, const wchar_t* target, BOOL fail_if_exists);

  // A copy made in chunks (ChunkedCopy.h), so the progress routine is
  // called and the cancel flag is seen. A copy stopped by the routine or the
  // flag ends at once with 1235: the user asked for it, so it is not tried
  // again.
  BOOL CopyFileEx_Recover(const char* source, const char* target, LPPROGRESS_ROUTINE progress,
                          void* data, BOOL* cancel, DWORD flags);
  BOOL CopyFileEx_Recover(const wchar_t* source, const wchar_t* target, LPPROGRESS_ROUTINE progress,
                          void* data, BOOL* cancel, DWORD flags);

  // As CopyFileEx_Recover into target, the whole copy then taking the name
  // final_name while still open (CopyFileChunkedAndRename), which costs less
  // than a move after the close. TRUE with *renamed FALSE: the copy is whole
  // under target but could not take its name (not tried again); the caller
  // moves it.
  BOOL CopyFileExAndRename_Recover(const wchar_t* source, const wchar_t* target,
                                   const wchar_t* final_name, LPPROGRESS_ROUTINE progress,
                                   void* data, BOOL* cancel, BOOL* renamed);

  BOOL MoveFileEx_Recover(const char* source, const char* target, DWORD flags);
  BOOL MoveFileEx_Recover(const wchar_t* source, const wchar_t* target, DWORD flags);

  // A path that does not exist is deleted already: TRUE without a try.
  BOOL DeleteFile_Recover(const char* path);
  BOOL DeleteFile_Recover(const wchar_t* path);
  BOOL RemoveDirectory_Recover(const char* path);
  BOOL RemoveDirectory_Recover(const wchar_t* path);

  // Deletes everything below the folder, and the folder itself with
  // remove_self. A failure does not stop the walk: all that can go goes.
  // TRUE when every step succeeded; a folder that cannot be listed
  // (missing, too) is a failure.
  BOOL RemoveDirectoryAll_RecoverA(const char* folder, BOOL remove_self);
  BOOL RemoveDirectoryAll_RecoverW(const wchar_t* folder, BOOL remove_self);
  BOOL RemoveDirectoryAll_Recover(const char* folder, BOOL remove_self) {
    return RemoveDirectoryAll_RecoverA(folder, remove_self);
  }
  BOOL RemoveDirectoryAll_Recover(const wchar_t* folder, BOOL remove_self) {
    return RemoveDirectoryAll_RecoverW(folder, remove_self);
  }

 private:
  BOOL RemoveTree(const wchar_t* folder, BOOL remove_self, const char* operation);
  // Keeps the error of a final failure in the holder and in the thread's
  // last error; called after the log line, which changes the latter.
  void KeepError(DWORD error);
  // The final failure of a call on a source and a target: its log line
  // ("<call>( ) - Error ERR:... SRC:... DST:..."), then the error kept;
  // answers FALSE.
  BOOL FailOnTwoPaths(const char* call, DWORD error, const wchar_t* source, const wchar_t* target);

  DWORD _last_error = 0;
  HANDLE _abort_event;  // not owned
};
