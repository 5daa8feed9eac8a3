// The music charge's use of the music-file library; see MusicFileLibImpl.h.
#include "music/MusicFileLibImpl.h"

#include "Clock.h"
#include "Log.h"
#include "WinFileSystemLib.h"
#include "music/MusicCharge.h"

CMusicFileLibImpl::CMusicFileLibImpl(const std::wstring& pc_folder, const std::wstring& sd_folder,
                                     CMusicCharge* charge)
    : CMusicFileLib(pc_folder, sd_folder), _charge(charge) {}

bool CMusicFileLibImpl::IsAbort() { return AskAbort(false); }

bool CMusicFileLibImpl::AskAbort(bool always) {
  if (!_charge) return false;
  // The list asks before every file and every folder entry; a question is
  // a trip to the system's server under Wine, about a thirtieth of a small
  // file's copy. So a question within the interval after one that found
  // no abort answers no at once: an abort is seen at most that much later.
  const double now = NowMs();
  if (!always && _asked && now - _last_clear_ms < kAbortAskIntervalMs) return false;
  if (!_charge->_IsAbort()) {
    _asked = true;
    _last_clear_ms = now;
    return false;
  }
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
  // Within a copy every chunk asks: a chunk costs far more than the
  // question.
  return static_cast<CMusicFileLibImpl*>(data)->AskAbort(true) ? PROGRESS_CANCEL
                                                               : PROGRESS_CONTINUE;
}

bool CMusicFileLibImpl::TransferFile(const std::wstring& source, const std::wstring& destination) {
  // Copied under a temporary name first, so that an interrupted copy never
  // passes for a music file. The copy, written through to the card, takes
  // its final name while still open once all of it is in: a move after the
  // close would open it once more (three more trips to the system's server
  // under Wine, a fifth of a small file's copy).
  const std::wstring temporary = destination + L".TMP";
  CWinFileSystemLib file_system(GetAbortEvent());
  BOOL renamed = FALSE;
  if (!file_system.CopyFileExAndRename_Recover(source.c_str(), temporary.c_str(),
                                               destination.c_str(), &CopyProgress, this, nullptr,
                                               &renamed)) {
    SetSystemError(file_system.LastError());
    DeleteFileW(temporary.c_str());
    OV_LOG(kLogError, "CMusicFileLibImpl::TransferFile - 一時ファイル作成失敗[ERR:0x%08X]",
           static_cast<unsigned>(GetSystemError()));
    return false;
  }
  // What the system still holds for the card goes out after each file,
  // and before a move: the data on the card before the name.
  FlushCard();
  // A copy that could not take its name (a card file of that name held
  // open, say) is moved, with the retries of a move.
  if (!renamed &&
      !file_system.MoveFileEx_Recover(temporary.c_str(), destination.c_str(),
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
