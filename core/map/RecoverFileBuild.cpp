// The rebuild's file work: the pieces read one after another into the
// rebuilt file (as they are, through one gzip stream, or each through a
// stream of its own), its CRC-16 summed as it is written, the copy to the
// card, the CRC-16 check of a file as it lies and the removal of folders.
// See RecoverFile.h.
#include <memory>
#include <new>

#include "Folders.h"
#include "Handle.h"
#include "Log.h"
#include "OstrovelleLite/NPCrcCalc.h"
#include "RetryPause.h"
#include "StringUtil.h"
#include "WinFileSystemLib.h"
#include "map/CardFileCopy.h"
#include "map/FileCrc16.h"
#include "map/GunzipStream.h"
#include "map/MapDataPaths.h"
#include "map/RecoverFile.h"

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

// The rebuilt file while it is written: every byte passes its CRC-16 on the
// way, so that the file need not be read again for its check.
class CRecoverFile::RebuiltWriter final {
 public:
  struct Mark {
    uint64_t size = 0;
    NPCrcCalc crc;
  };

  RebuiltWriter(CWinFileSystemLib& files, HANDLE file) : _files(files), _file(file) {}

  bool Write(const char* data, DWORD size) {
    DWORD written = 0;
    if (!_files.WriteFile_Recover(_file, data, size, &written, nullptr) || written != size) {
      _error = _files.LastError() ? _files.LastError() : ERROR_DISK_FULL;
      return false;
    }
    _here.crc.Update(data, size);
    _here.size += size;
    return true;
  }
  // Cuts the file back to an earlier mark, for another try of an unpacking.
  bool Rewind(const Mark& mark) {
    if (mark.size == _here.size) return true;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(mark.size);
    if (!SetFilePointerEx(_file, at, nullptr, FILE_BEGIN) || !SetEndOfFile(_file)) {
      _error = GetLastError();
      return false;
    }
    _here = mark;
    return true;
  }
  const Mark& Here() const { return _here; }
  DWORD Error() const { return _error; }

 private:
  CWinFileSystemLib& _files;
  HANDLE _file;  // not owned
  Mark _here;
  DWORD _error = 0;
};

CRecoverFile::PieceRead CRecoverFile::_ReadPiece(CWinFileSystemLib& files, const std::string& path,
                                                 char* buffer, const PieceTaker& take) {
  if (!IsFile(path)) {
    _last_error = ERROR_FILE_NOT_FOUND;
    return kPieceMissing;
  }
  CFileHandle in = files.CreateFile_Recover(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (!in) {
    _last_error = files.LastError();
    return kPieceUnreadable;
  }
  for (;;) {
    DWORD read = 0;
    if (!files.ReadFile_Recover(in.Get(), buffer, kJoinChunk, &read, nullptr)) {
      _last_error = files.LastError();
      return kPieceUnreadable;
    }
    if (read == 0) return kPieceRead;
    if (!take(buffer, read)) return kPieceRefused;
  }
}

uint32_t CRecoverFile::_MakeFile(const std::string& base, const std::string& target, uint32_t count,
                                 bool delete_pieces) {
  return _JoinPieces(base, target, count, kJoinAsTheyAre, delete_pieces);
}

uint32_t CRecoverFile::_MakeUnZipFile(const std::string& base, const std::string& target,
                                      uint32_t count) {
  return _JoinPieces(base, target, count, kJoinUnpackWhole, false);
}

uint32_t CRecoverFile::_UnZipMakeFile(const std::string& base, const std::string& target,
                                      uint32_t count) {
  const std::string folder = FolderOfPath(target);
  if (!folder.empty()) CreateDirectories(folder);
  return _JoinPieces(base, target, count, kJoinUnpackEach, false);
}

uint32_t CRecoverFile::_JoinPieces(const std::string& base, const std::string& target,
                                   uint32_t count, JoinMode mode, bool delete_pieces) {
  OV_LOG(kLogTrace, "CRecoverFile::_MakeFile - Start");
  _rebuilt = RebuiltSum();
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
  RebuiltWriter writer(files, out.Get());
  uint32_t code = 0;
  if (!buffer) {
    _last_error = ERROR_NOT_ENOUGH_MEMORY;
    code = kJoinFailed;
  } else if (mode == kJoinAsTheyAre) {
    code = _JoinAsTheyAre(files, base, count, buffer.get(), writer, delete_pieces);
  } else if (mode == kJoinUnpackWhole) {
    code = _JoinUnpackWhole(files, base, target, count, buffer.get(), writer);
  } else {
    code = _JoinUnpackEach(files, base, target, count, buffer.get(), writer);
  }
  out.Reset();
  if (code) {
    files.DeleteFile_Recover(target.c_str());
  } else {
    _rebuilt.path = target;
    _rebuilt.size = writer.Here().size;
    _rebuilt.crc = writer.Here().crc.GetCrc();
    _rebuilt.summed = true;
  }
  OV_LOG(kLogInfo, "CRecoverFile::_MakeFile - End(%08X)", static_cast<unsigned>(code));
  return code;
}

uint32_t CRecoverFile::_JoinAsTheyAre(CWinFileSystemLib& files, const std::string& base,
                                      uint32_t count, char* buffer, RebuiltWriter& writer,
                                      bool delete_pieces) {
  const auto write = [&writer](const char* data, DWORD size) { return writer.Write(data, size); };
  for (uint32_t i = 0; i < count; ++i) {
    if (_IsStopped()) {
      OV_LOG(kLogError, "CRecoverFile::_MakeFile - 中断");
      return kAborted;
    }
    const std::string piece = PieceName(base, i);
    if (const uint32_t code = _JoinFailure(_ReadPiece(files, piece, buffer, write), writer)) {
      return code;
    }
    if (delete_pieces) files.DeleteFile_Recover(piece.c_str());
  }
  return 0;
}

uint32_t CRecoverFile::_JoinFailure(PieceRead read, const RebuiltWriter& writer) {
  switch (read) {
    case kPieceRead:
      return 0;
    case kPieceMissing:
      OV_LOG(kLogError, "CRecoverFile::_MakeFile - 連番ファイル結合失敗 元ファイル無し");
      return kJoinFailed;
    case kPieceUnreadable:
      OV_LOG(kLogError, "CRecoverFile::_MakeFile - 連番ファイル結合読み込み失敗[ERR:0x%08X]",
             static_cast<unsigned>(_last_error));
      return kJoinFailed;
    case kPieceRefused:
      break;
  }
  _last_error = writer.Error();
  OV_LOG(kLogError, "CRecoverFile::_MakeFile - 連番ファイル結合書込み失敗[ERR:0x%08X]",
         static_cast<unsigned>(_last_error));
  return kWriteFailed;
}

uint32_t CRecoverFile::_JoinUnpackWhole(CWinFileSystemLib& files, const std::string& base,
                                        const std::string& target, uint32_t count, char* buffer,
                                        RebuiltWriter& writer) {
  // A missing piece fails the join before anything is unpacked.
  for (uint32_t i = 0; i < count; ++i) {
    if (!IsFile(PieceName(base, i))) {
      _last_error = ERROR_FILE_NOT_FOUND;
      return _JoinFailure(kPieceMissing, writer);
    }
  }
  CGunzipStream gunzip([&writer](const char* data, size_t size) {
    return writer.Write(data, static_cast<DWORD>(size));
  });
  const auto feed = [&gunzip](const char* data, DWORD size) { return gunzip.Feed(data, size); };
  const RebuiltWriter::Mark start = writer.Here();
  for (int attempt = 0;; ++attempt) {
    gunzip.Restart();
    bool unpacked = writer.Rewind(start);
    for (uint32_t i = 0; unpacked && i < count; ++i) {
      if (_IsStopped()) {
        OV_LOG(kLogError, "CRecoverFile::_MakeFile - 中断");
        return kAborted;
      }
      const PieceRead read = _ReadPiece(files, PieceName(base, i), buffer, feed);
      if (read == kPieceRefused) {
        unpacked = false;
      } else if (read != kPieceRead) {
        return _JoinFailure(read, writer);
      }
    }
    if (unpacked && gunzip.Finish()) return 0;
    _KeepUnpackError(gunzip, writer, "CRecoverFile::_MakeUnZipFile");
    if (const uint32_t code =
            _UnpackFailed(attempt, "CRecoverFile::_MakeUnZipFile", base, target)) {
      return code;
    }
  }
}

uint32_t CRecoverFile::_JoinUnpackEach(CWinFileSystemLib& files, const std::string& base,
                                       const std::string& target, uint32_t count, char* buffer,
                                       RebuiltWriter& writer) {
  CGunzipStream gunzip([&writer](const char* data, size_t size) {
    return writer.Write(data, static_cast<DWORD>(size));
  });
  const auto feed = [&gunzip](const char* data, DWORD size) { return gunzip.Feed(data, size); };
  for (uint32_t i = 0; i < count; ++i) {
    if (_IsStopped()) {
      OV_LOG(kLogError, "CRecoverFile::_UnZipMakeFile - 中断");
      return kAborted;
    }
    const std::string piece = PieceName(base, i);
    const RebuiltWriter::Mark start = writer.Here();
    for (int attempt = 0;; ++attempt) {
      gunzip.Restart();
      // A piece that cannot be read fails its unpacking, as the gzip
      // reader of a single file fails.
      PieceRead read = writer.Rewind(start) ? kPieceRead : kPieceRefused;
      if (read == kPieceRead) read = _ReadPiece(files, piece, buffer, feed);
      if (read == kPieceRead && gunzip.Finish()) break;
      if (read == kPieceRefused || read == kPieceRead)
        _KeepUnpackError(gunzip, writer, "CRecoverFile::_UnZipMakeFile");
      if (const uint32_t code =
              _UnpackFailed(attempt, "CRecoverFile::_UnZipMakeFile", piece, target)) {
        return code;
      }
    }
  }
  return 0;
}

void CRecoverFile::_KeepUnpackError(const CGunzipStream& gunzip, const RebuiltWriter& writer,
                                    const char* who) {
  // zlib's number when zlib names the fault, as the gzip wrapper keeps it.
  if (gunzip.Error() != Z_OK) {
    _last_error = static_cast<DWORD>(gunzip.Error());
    OV_LOG(kLogError, "%s - 解凍データ異常 ： %s", who, gunzip.Message().c_str());
  } else {
    _last_error = writer.Error();
  }
}

uint32_t CRecoverFile::_UnpackFailed(int attempt, const char* who, const std::string& source,
                                     const std::string& target) {
  if (attempt > 0) {
    OV_LOG(kLogError, "%s - ファイル解凍連続失敗[ERR:0x%08X]", who,
           static_cast<unsigned>(_last_error));
    return kUnpackFailed;
  }
  OV_LOG(kLogError, "%s - ファイル解凍失敗[ERR:0x%08X] SRC:%s DST:%s", who,
         static_cast<unsigned>(_last_error), source.c_str(), target.c_str());
  PauseBeforeRetry(_abort_event, kUnpackRetryPauseMs);
  return 0;
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

bool CRecoverFile::_RebuiltCrcCheck(const std::string& path, uint32_t crc) {
  // The sum holds for the file only while it is all that was written there.
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!_rebuilt.summed || _rebuilt.path != path ||
      !GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
      (data.nFileSizeLow | (static_cast<uint64_t>(data.nFileSizeHigh) << 32)) != _rebuilt.size) {
    return _CrcCheck(path, crc);
  }
  OV_LOG(kLogTrace, "CRecoverFile::_CrcCheck - Start");
  const bool result = _rebuilt.crc == (crc & 0xFFFF);
  if (!result) {
    OV_LOG(kLogError, "CRecoverFile::_CrcCheck - ファイル妥当性チェック 不一致 CONF:%04X FILE:%04X",
           static_cast<unsigned>(crc & 0xFFFF), static_cast<unsigned>(_rebuilt.crc));
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
