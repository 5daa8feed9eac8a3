// The pieces of the data download: the resume check of a piece already on
// the PC (the file read for its CRC-16), the fetch of the missing ones with
// their CRC-16 check (summed as they are written) and retries, the speed
// samples and the progress. See DownloadDataFromList.h.
#include <numeric>

#include "CoreMessages.h"
#include "Folders.h"
#include "Log.h"
#include "WinFileSystemLib.h"
#include "map/DownloadDataFromList.h"
#include "map/FileCrc16.h"
#include "map/MapCharge.h"
#include "map/MapDataPaths.h"

bool CDownloadDataFromList::_IsValidateFile(uint32_t crc, uint32_t size, const std::string& path) {
  OV_LOG(kLogTrace, "CDownloadDataFromList::_IsValidateFile - Start");
  bool valid = false;
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!path.empty() && GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) &&
      !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    const uint64_t on_disk = data.nFileSizeLow | (static_cast<uint64_t>(data.nFileSizeHigh) << 32);
    CWinFileSystemLib files;
    if (on_disk != size) {
      files.DeleteFile_Recover(path.c_str());
      OV_LOG(kLogInfo,
             "CDownloadDataFromList::_IsValidateFile - 前回ダウンロード中断ファイルの削除");
      OV_LOG(kLogTrace, "\t%s SRC:%dbyte NEW:%dbyte", path.c_str(), static_cast<int>(on_disk),
             static_cast<int>(size));
    } else {
      const FileCrc16 sum = SumFileCrc16(files, path, kCrcChunk);
      valid = sum.status != FileCrc16::kOpenFailed && sum.crc == (crc & 0xFFFF);
      // A file that cannot be read is fetched again like a broken one.
      if (!valid) {
        files.DeleteFile_Recover(path.c_str());
        OV_LOG(kLogInfo,
               "CDownloadDataFromList::_IsValidateFile - 前回ダウンロード中断ファイルの削除");
      }
    }
  }
  OV_LOG(kLogTrace, "CDownloadDataFromList::_IsValidateFile - End");
  return valid;
}

int CDownloadDataFromList::_CheckCrc(const std::string& path, uint32_t crc) {
  CWinFileSystemLib files;
  const FileCrc16 sum = SumFileCrc16(files, path, kCrcChunk);
  if (sum.status == FileCrc16::kOpenFailed || sum.size == 0) return -1;
  if (sum.status == FileCrc16::kNoMemory) {
    OV_LOG(kLogError, "メモリ確保失敗 ERR:0x%08X", static_cast<unsigned>(sum.error));
    return -1;
  }
  if (sum.status == FileCrc16::kReadFailed) {
    OV_LOG(kLogError, "CRCチェック時の読み込み失敗 SIZE:%d DONE:%d ERR:0x%08X",
           static_cast<int>(sum.size), static_cast<int>(sum.done),
           static_cast<unsigned>(sum.error));
  }
  if (sum.crc == (crc & 0xFFFF) && sum.status == FileCrc16::kSummed) return 0;
  OV_LOG(kLogError, "ダウンロードデータCRCエラー！ CRC:%08X, DATACRC:%08X FileSize:%dbyte",
         static_cast<unsigned>(crc), static_cast<unsigned>(sum.crc), static_cast<int>(sum.size));
  return 253;
}

int CDownloadDataFromList::_CheckWrittenCrc(const std::string& path, uint32_t crc) const {
  // A file that could not be removed before the request holds its old bytes
  // in front of what was written: its size tells, and it is read whole.
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (_written.size == 0 || !GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (data.nFileSizeLow | (static_cast<uint64_t>(data.nFileSizeHigh) << 32)) != _written.size) {
    return _CheckCrc(path, crc);
  }
  const uint16_t sum = _written.crc.GetCrc();
  if (sum == (crc & 0xFFFF)) return 0;
  OV_LOG(kLogError, "ダウンロードデータCRCエラー！ CRC:%08X, DATACRC:%08X FileSize:%dbyte",
         static_cast<unsigned>(crc), static_cast<unsigned>(sum), static_cast<int>(_written.size));
  return 253;
}

int CDownloadDataFromList::_DataDownload(CMapCharge& charge, PendingDownload* set) {
  OV_LOG(kLogTrace, "CDownloadDataFromList::_DataDownload - Start");
  int result = 1;
  if (set->pieces.empty()) {
    _WriteManageRecord(charge, set, 100);
    _PostPercentage(charge);
  }
  for (const PendingPiece& piece : set->pieces) {
    if (charge.IsAbortSet()) {
      OV_LOG(kLogInfo, "%s", kPieceTexts.user_cancel);
      charge.SetErrorCode(kPieceAborted);
      result = 0;
      break;
    }
    if (!_FetchPiece(charge, set, piece)) {
      result = 0;
      break;
    }
  }
  OV_LOG(kLogTrace, "CDownloadDataFromList::_DataDownload - End");
  return result;
}

CWinHttpWrapper& CDownloadDataFromList::_PieceClient() {
  if (!_piece_http) {
    _piece_http = std::make_unique<CWinHttpWrapper>();
    _piece_http->KeepSession(true);
  }
  return *_piece_http;
}

int CDownloadDataFromList::_FetchPiece(CMapCharge& charge, PendingDownload* set,
                                       const PendingPiece& piece) {
  CWinFileSystemLib files(charge.GetAbortEvent());
  // The piece's folder may not exist yet on a first download.
  const std::string folder = FolderOfPath(piece.local_path);
  if (!folder.empty() && !CreateDirectories(folder)) {
    OV_LOG(kLogError, "CDownloadDataFromList::_DataDownload - フォルダ作成失敗[ERR:0x%08X] %s",
           static_cast<unsigned>(GetLastError()), folder.c_str());
  }
  CWinHttpWrapper& http = _PieceClient();
  uint32_t attempt = 0;
  for (;;) {
    const DWORD started = charge.Tick();
    if (!_Exchange(charge, http, kPieceTexts, piece.url, std::string(), &piece.local_path, false,
                   &attempt)) {
      files.DeleteFile_Recover(piece.local_path.c_str());
      return 0;
    }
    const int check = _CheckWrittenCrc(piece.local_path, piece.crc);
    if (check == 0) {
      _PieceDone(charge, set, piece, started);
      return 1;
    }
    files.DeleteFile_Recover(piece.local_path.c_str());
    OV_LOG(kLogError,
           "CDownloadDataFromList::_DataDownload - データダウンロード取得時のデータエラー[SIZE:%d] "
           "[ANLERR:0x%08X]URI:%s",
           static_cast<int>(piece.size), static_cast<unsigned>(check), piece.url.c_str());
    if (attempt >= _retry_limit) {
      charge.SetErrorCode(kPieceCrcFailed);
      return 0;
    }
    ++attempt;
    OV_LOG(kLogInfo, "CDownloadDataFromList::_DataDownload - CRCチェック時リトライ%d回目",
           static_cast<int>(attempt));
    if (!_PauseBeforeRetry(charge)) {
      OV_LOG(kLogInfo, "%s", kPieceTexts.user_cancel);
      charge.SetErrorCode(kPieceAborted);
      return 0;
    }
  }
}

void CDownloadDataFromList::_PieceDone(CMapCharge& charge, PendingDownload* set,
                                       const PendingPiece& piece, DWORD started) {
  _done += piece.size;
  DWORD elapsed = charge.Tick() - started;
  if (elapsed <= 1) elapsed = 1;
  const double speed = 1000.0 / elapsed * piece.size;
  if (piece.size >= kMinSampledPiece) {
    if (_speeds.size() >= kMaxSpeedSamples) _speeds.erase(_speeds.begin());
    _speeds.push_back(speed);
  }
  if (!_speeds.empty()) {
    const double mean = std::accumulate(_speeds.begin(), _speeds.end(), 0.0) / _speeds.size();
    _average_speed = mean >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<uint32_t>(mean);
  }
  OV_LOG(kLogTrace, "＠＠ DL速度単体 %10.2f SIZE:%d, DL速度平均 %10.2f", speed,
         static_cast<int>(piece.size), static_cast<double>(_average_speed));
  _SendProgress(charge, piece.size, 0);

  set->present += piece.size;
  const uint8_t percent = set->total ? static_cast<uint8_t>(set->present * 100 / set->total) : 0;
  if (percent != set->percent_written) {
    _WriteManageRecord(charge, set, percent);
    _PostPercentage(charge);
  }
}
