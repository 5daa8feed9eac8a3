// The music charge's use of the music-file library; see MusicFileLibImpl.h.
#include "music/MusicFileLibImpl.h"

#include "Log.h"
#include "WinFileSystemLib.h"
#include "music/MusicCharge.h"

CMusicFileLibImpl::CMusicFileLibImpl(const std::wstring& pc_folder, const std::wstring& sd_folder,
                                     CMusicCharge* charge)
    : CMusicFileLib(pc_folder, sd_folder), _charge(charge) {}

bool CMusicFileLibImpl::IsAbort() {
  if (!_charge || !_charge->_IsAbort()) return false;
  OV_LOG(kLogInfo, "中断要求を検出しました");
  SetErrorCode(libmusic::kMusicErrorAborted);
  return true;
}

HANDLE CMusicFileLibImpl::GetAbortEvent() { return _charge ? _charge->_GetAbortEvent() : nullptr; }

DWORD CALLBACK CMusicFileLibImpl::CopyProgress(LARGE_INTEGER total, LARGE_INTEGER done,
                                               LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD reason,
                                               HANDLE, HANDLE, void* data) {
  // The list asked just before the copy began; each chunk that leaves more
  // to copy asks again. Once all of the file is in, cancelling would only
  // throw the copy away: the list asks again before the next file. (Asking
  // is a round trip to the system's server under Wine, for every file.)
  if (reason == CALLBACK_STREAM_SWITCH || done.QuadPart >= total.QuadPart) {
    return PROGRESS_CONTINUE;
  }
  return static_cast<CMusicFileLibImpl*>(data)->IsAbort() ? PROGRESS_CANCEL : PROGRESS_CONTINUE;
}

bool CMusicFileLibImpl::TransferFile(const std::wstring& source, const std::wstring& destination) {
  // Copied under a temporary name first, so that an interrupted copy never
  // passes for a music file.
  const std::wstring temporary = destination + L".TMP";
  CWinFileSystemLib file_system(GetAbortEvent());
  if (!file_system.CopyFileEx_Recover(source.c_str(), temporary.c_str(), &CopyProgress, this,
                                      nullptr, 0)) {
    SetSystemError(file_system.LastError());
    DeleteFileW(temporary.c_str());
    OV_LOG(kLogError, "CMusicFileLibImpl::TransferFile - 一時ファイル作成失敗[ERR:0x%08X]",
           static_cast<unsigned>(GetSystemError()));
    return false;
  }
  // The data on the card before the name is.
  FlushCard();
  if (!file_system.MoveFileEx_Recover(temporary.c_str(), destination.c_str(),
                                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    SetSystemError(file_system.LastError());
    DeleteFileW(temporary.c_str());
    OV_LOG(kLogError, "CMusicFileLibImpl::TransferFile - ファイル転送失敗[ERR:0x%08X]",
           static_cast<unsigned>(GetSystemError()));
    return false;
  }
  return true;
}

void CMusicFileLibImpl::OnTransferProgress(int done, int total) {
  if (_charge && total > 0) _charge->_NotifyProgress(5, done, total);
}

void CMusicFileLibImpl::OnDeleteProgress(int done, int total) {
  if (_charge && total > 0) _charge->_NotifyProgress(4, done, total);
}
