// The manual window's music library; see MusicFileLibManual.h.
#include "MusicFileLibManual.h"

#include "Folders.h"
#include "Handle.h"
#include "Log.h"
#include "MusicFileThread.h"
#include "MusicFileThreadRequest.h"
#include "MusicFileUtil.h"
#include "StringUtil.h"
#include "Threads.h"
#include "WinFileSystemLib.h"

namespace {

// Only one worker at a time reads music-file information.
lib::wfc::CCriticalSection& InfoLock() {
  static lib::wfc::CCriticalSection lock;
  return lock;
}

bool IsDotEntry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

}  // namespace

int ProgressPercent(std::uint64_t done, std::uint64_t whole) {
  if (whole == 0) return 0;
  if (whole > 100) return static_cast<int>(done / (whole / 100));
  return static_cast<int>(done * 100 / whole);
}

int ProgressPercent(int done, int whole) {
  if (whole <= 0 || done < 0) return 0;
  return ProgressPercent(static_cast<std::uint64_t>(done), static_cast<std::uint64_t>(whole));
}

CMusicFileLibManual::CMusicFileLibManual(const std::wstring& pc_folder,
                                         const std::wstring& sd_folder, CMusicFileThread* worker,
                                         std::uint64_t total_bytes)
    : CMusicFileLib(pc_folder, sd_folder), _worker(worker), _total_bytes(total_bytes) {}

bool CMusicFileLibManual::IsAbort() {
  if (!_worker || !_worker->IsAborting()) return false;
  SetErrorCode(libmusic::kMusicErrorAborted);
  return true;
}

bool CMusicFileLibManual::TransferFile(const std::wstring& source,
                                       const std::wstring& destination) {
  WIN32_FIND_DATAW found;
  {
    CFindHandle find(FindFirstFileW(source.c_str(), &found));
    if (!find) {
      SetSystemError(GetLastError());
      OV_LOG(kLogError, "ファイルが存在しません。[%s]", ToMultiByte(source).c_str());
      return false;
    }
  }
  const std::uint64_t size =
      (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
  const std::wstring temporary = destination + L".TMP";
  // The worker's abort event cuts the retry pauses short.
  CWinFileSystemLib file_system(_worker ? _worker->AbortEvent() : nullptr);
  if (file_system.CopyFileEx_Recover(source.c_str(), temporary.c_str(), &CopyProgress, this,
                                     nullptr, 0)) {
    // The data on the card before the name is.
    FlushCard();
    const bool moved =
        file_system.MoveFileEx_Recover(temporary.c_str(), destination.c_str(),
                                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    if (!moved) {
      SetSystemError(file_system.LastError());
      DeleteFileW(temporary.c_str());
    }
    _done_bytes += size;
    return moved;
  }
  SetSystemError(file_system.LastError());
  const DWORD attributes = GetFileAttributesW(temporary.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    DeleteFileW(temporary.c_str());
  }
  // The other files' share of the job stays right.
  _total_bytes = _total_bytes > size ? _total_bytes - size : 0;
  IsAbort();
  return false;
}

DWORD CALLBACK CMusicFileLibManual::CopyProgress(LARGE_INTEGER, LARGE_INTEGER transferred,
                                                 LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD, HANDLE,
                                                 HANDLE, void* context) {
  auto* self = static_cast<CMusicFileLibManual*>(context);
  if (!self) return PROGRESS_CONTINUE;
  if (self->IsAbort()) return PROGRESS_CANCEL;
  self->OnCopyProgress(self->_done_bytes + static_cast<std::uint64_t>(transferred.QuadPart));
  return PROGRESS_CONTINUE;
}

void CMusicFileLibManual::OnCopyProgress(std::uint64_t bytes) {
  PostPercent(ProgressPercent(bytes, _total_bytes));
}

void CMusicFileLibManual::OnDeleteProgress(int done, int total) {
  PostPercent(ProgressPercent(done, total));
}

void CMusicFileLibManual::PostPercent(int percent) {
  if (percent <= _last_percent) return;
  _last_percent = percent;
  if (_worker) _worker->PostProgress(percent);
}

bool CMusicFileLibManual::GetFileList(const wchar_t* folder, libmusic::CMusicFileInfoList* list,
                                      DWORD target, DWORD maximum) {
  if (!folder || !list) {
    SetErrorCode(libmusic::kMusicErrorBadArgument);
    OV_LOG(kLogError, "引数が不正です。[%08X]", static_cast<unsigned>(GetErrorCode()));
    return false;
  }
  if (IsAbort()) return false;
  std::wstring base = folder;
  AppendBackslashW(base);
  WIN32_FIND_DATAW found;
  CFindHandle find(FindFirstFileW((base + L"*").c_str(), &found));
  if (!find) {
    // A platform error: the error word would read it as one of ours.
    SetSystemError(GetLastError());
    OV_LOG(kLogError, "ファイル検索失敗。[%08X]", static_cast<unsigned>(GetSystemError()));
    return true;
  }
  DWORD count = 0;
  do {
    if (IsAbort()) return false;
    if (IsDotEntry(found.cFileName) || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      continue;
    }
    if (libmusic::GetMusicFileType(found.cFileName) == libmusic::kMusicTypeNone) continue;
    if (found.nFileSizeHigh != 0 || found.nFileSizeLow > kMaxListedFileSize) continue;
    std::unique_ptr<libmusic::CMusicFileInfo> info;
    {
      lib::wfc::CLock lock(&InfoLock());
      info = libmusic::GetMusicFileInfo(base + found.cFileName, found);
    }
    if (!info) continue;
    if (++count > maximum) {
      SetErrorCode(4);
      return true;
    }
    info->file_name = found.cFileName;
    list->Add(std::move(info));
    if (IsAbort()) return false;
    if (count % kMusicListBatch == 0 && _worker) {
      OV_LOG(kLogInfo, "GetFileList途中経過[Target:%d][Count:%d][%s]", static_cast<int>(target),
             static_cast<int>(count), ToMultiByte(folder).c_str());
      PostFileListBatch(_worker, target, folder, false, list);
    }
  } while (FindNextFileW(find.Get(), &found));
  return true;
}
