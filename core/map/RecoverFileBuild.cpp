// The rebuild's file work: joining pieces, unpacking gzip files, the copy
// to the card, the CRC-16 check and the removal of folders. See
// RecoverFile.h.
#include <memory>
#include <new>

#include "Folders.h"
#include "Handle.h"
#include "Log.h"
#include "RetryPause.h"
#include "StringUtil.h"
#include "WinFileSystemLib.h"
#include "map/CardFileCopy.h"
#include "map/FileCrc16.h"
#include "map/MapDataPaths.h"
#include "map/RecoverFile.h"
#include "util/GZipIF.h"

namespace {

constexpr DWORD kJoinChunk = 0x400000;

std::string PieceName(const std::string& base, uint32_t index) {
  return base + FormatString(".%03d", static_cast<int>(index));
}

// Nothing lies at the path, nor the folder it would be in.
bool IsMissing(const std::string& path) {
  if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool IsFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

uint32_t CRecoverFile::_MakeFile(const std::string& base, const std::string& target, uint32_t count,
                                 bool delete_pieces) {
  OV_LOG(kLogTrace, "CRecoverFile::_MakeFile - Start");
  CWinFileSystemLib files(_abort_event);
  CFileHandle out = files.CreateFile_Recover(target.c_str(), GENERIC_WRITE, 0, nullptr,
                                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (!out) {
    _last_error = files.LastError();
    OV_LOG(kLogError,
           "CRecoverFile::_MakeFile - 連番ファイル結合失敗 結合ファイル作成失敗[ERR:0x%08X]",
           static_cast<unsigned>(_last_error));
    OV_LOG(kLogInfo, "CRecoverFile::_MakeFile - End(%08X)", static_cast<unsigned>(kWriteFailed));
    return kWriteFailed;
  }
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[kJoinChunk]);
  uint32_t code = buffer ? 0 : kJoinFailed;
  if (!buffer) _last_error = ERROR_NOT_ENOUGH_MEMORY;
  for (uint32_t i = 0; code == 0 && i < count; ++i) {
    if (_IsStopped()) {
      OV_LOG(kLogError, "CRecoverFile::_MakeFile - 中断");
      code = kAborted;
      break;
    }
    const std::string piece = PieceName(base, i);
    if (!IsFile(piece)) {
      _last_error = ERROR_FILE_NOT_FOUND;
      OV_LOG(kLogError, "CRecoverFile::_MakeFile - 連番ファイル結合失敗 元ファイル無し");
      code = kJoinFailed;
      break;
    }
    CFileHandle in = files.CreateFile_Recover(piece.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (!in) {
      _last_error = files.LastError();
      OV_LOG(kLogError, "CRecoverFile::_MakeFile - 連番ファイル結合読み込み失敗[ERR:0x%08X]",
             static_cast<unsigned>(_last_error));
      code = kJoinFailed;
      break;
    }
    for (;;) {
      DWORD read = 0;
      if (!files.ReadFile_Recover(in.Get(), buffer.get(), kJoinChunk, &read, nullptr)) {
        _last_error = files.LastError();
        OV_LOG(kLogError, "CRecoverFile::_MakeFile - 連番ファイル結合読み込み失敗[ERR:0x%08X]",
               static_cast<unsigned>(_last_error));
        code = kJoinFailed;
        break;
      }
      if (read == 0) break;
      DWORD written = 0;
      if (!files.WriteFile_Recover(out.Get(), buffer.get(), read, &written, nullptr) ||
          written != read) {
        _last_error = files.LastError() ? files.LastError() : ERROR_DISK_FULL;
        OV_LOG(kLogError, "CRecoverFile::_MakeFile - 連番ファイル結合書込み失敗[ERR:0x%08X]",
               static_cast<unsigned>(_last_error));
        code = kWriteFailed;
        break;
      }
    }
    in.Reset();
    if (code == 0 && delete_pieces) files.DeleteFile_Recover(piece.c_str());
  }
  out.Reset();
  if (code) files.DeleteFile_Recover(target.c_str());
  OV_LOG(kLogInfo, "CRecoverFile::_MakeFile - End(%08X)", static_cast<unsigned>(code));
  return code;
}

uint32_t CRecoverFile::_Unpack(const std::string& source, const std::string& target,
                               const char* who) {
  CWinFileSystemLib files(_abort_event);
  for (int attempt = 0;; ++attempt) {
    CGZipIF gzip(_abort_event);
    if (gzip.UnGZipFile(source, target)) return 0;
    _last_error = gzip.LastError();
    if (attempt > 0) {
      OV_LOG(kLogError, "%s - ファイル解凍連続失敗[ERR:0x%08X]", who,
             static_cast<unsigned>(_last_error));
      files.DeleteFile_Recover(target.c_str());
      return kUnpackFailed;
    }
    OV_LOG(kLogError, "%s - ファイル解凍失敗[ERR:0x%08X] SRC:%s DST:%s", who,
           static_cast<unsigned>(_last_error), source.c_str(), target.c_str());
    PauseBeforeRetry(_abort_event, kUnpackRetryPauseMs);
    files.DeleteFile_Recover(target.c_str());
  }
}

uint32_t CRecoverFile::_MakeUnZipFile(const std::string& base, const std::string& target,
                                      uint32_t count) {
  const std::string joined = target + "_";
  uint32_t code = _MakeFile(base, joined, count, false);
  if (code) return code;
  CWinFileSystemLib files(_abort_event);
  files.DeleteFile_Recover(target.c_str());
  code = _Unpack(joined, target, "CRecoverFile::_MakeUnZipFile");
  files.DeleteFile_Recover(joined.c_str());
  return code;
}

uint32_t CRecoverFile::_UnZipMakeFile(const std::string& base, const std::string& target,
                                      uint32_t count) {
  CWinFileSystemLib files(_abort_event);
  const std::string folder = FolderOfPath(target);
  if (!folder.empty()) CreateDirectories(folder);
  for (uint32_t i = 0; i < count; ++i) {
    if (_IsStopped()) {
      OV_LOG(kLogError, "CRecoverFile::_UnZipMakeFile - 中断");
      return kAborted;
    }
    const std::string unpacked = PieceName(target, i);
    files.DeleteFile_Recover(unpacked.c_str());
    if (const uint32_t code =
            _Unpack(PieceName(base, i), unpacked, "CRecoverFile::_UnZipMakeFile")) {
      return code;
    }
  }
  return _MakeFile(target, target, count, true);
}

bool CRecoverFile::_CopyFileLite(const std::string& source, const std::string& target) {
  OV_LOG(kLogTrace, "CRecoverFile::_CopyFileLite - Start");
  bool result = false;
  if (_IsStopped()) {
    OV_LOG(kLogError, "CRecoverFile::_CopyFileLite - 転送中断 %s -> %s", source.c_str(),
           target.c_str());
  } else if (IsMissing(source)) {
    result = true;  // nothing to copy
  } else {
    CWinFileSystemLib files(_abort_event);
    CFileHandle file =
        files.CreateFile_Recover(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER size = {};
    if (!file) {
      // Only a missing source is nothing to copy; one that cannot be read
      // is a failed copy.
      _last_error = files.LastError();
      OV_LOG(kLogError, "CRecoverFile::_CopyFileLite - CreateFile失敗 0x%08X %s -> %s",
             static_cast<unsigned>(_last_error), source.c_str(), target.c_str());
      result = _last_error == ERROR_FILE_NOT_FOUND;
    } else {
      GetFileSizeEx(file.Get(), &size);
      file.Reset();
      _copied += static_cast<uint64_t>(size.QuadPart);
      result = CopyFileOntoCard(files, source, target);
      if (!result) {
        _last_error = files.LastError();
        OV_LOG(kLogError, "CRecoverFile::_CopyFileLite - CopyFile失敗 0x%08X %s -> %s",
               static_cast<unsigned>(_last_error), source.c_str(), target.c_str());
      }
    }
  }
  OV_LOG(kLogInfo, "CRecoverFile::_CopyFileLite - End(%d)", result ? 1 : 0);
  return result;
}

bool CRecoverFile::_CrcCheck(const std::string& path, uint32_t crc) {
  OV_LOG(kLogTrace, "CRecoverFile::_CrcCheck - Start");
  CWinFileSystemLib files(_abort_event);
  const FileCrc16 sum = SumFileCrc16(files, path, kCrcChunk);
  bool result = false;
  if (sum.status == FileCrc16::kNoMemory) {
    _last_error = sum.error;
    OV_LOG(kLogError, "CRecoverFile::_CrcCheck - ファイル妥当性チェック メモリ確保失敗[ERR:0x%08X]",
           static_cast<unsigned>(_last_error));
  } else if (sum.status != FileCrc16::kSummed) {
    _last_error = sum.error;
    OV_LOG(kLogError, "CRecoverFile::_CrcCheck - ファイル妥当性チェック 読み込み失敗[ERR:0x%08X]",
           static_cast<unsigned>(_last_error));
  } else if (sum.crc != (crc & 0xFFFF)) {
    OV_LOG(kLogError, "CRecoverFile::_CrcCheck - ファイル妥当性チェック 不一致 CONF:%04X FILE:%04X",
           static_cast<unsigned>(crc & 0xFFFF), static_cast<unsigned>(sum.crc));
  } else {
    result = true;
  }
  OV_LOG(kLogInfo, "CRecoverFile::_CrcCheck - End(%d)", result ? 1 : 0);
  return result;
}

bool CRecoverFile::_RemoveDirectoryAll(const std::string& folder) {
  std::string path = folder;
  AppendBackslash(path);
  if (!PathIsDirectory(path)) return true;
  CWinFileSystemLib files(_abort_event);
  return files.RemoveDirectoryAll_RecoverA(path.c_str(), TRUE) != FALSE;
}
