// The gzip wrapper; see GZipIF.h.
#include "GZipIF.h"

#include "Folders.h"
#include "GzStream.h"
#include "Handle.h"
#include "Log.h"
#include "ReadInChunks.h"
#include "RetryPause.h"

#include <new>
#include <utility>
#include <vector>

namespace {

constexpr unsigned kReadBuffer = 1 << 20;

constexpr DWORD kChunk = 16 * 1024 * 1024;

bool IsExistingFile(const std::string& path) {
  return PathFileExists(path) && !PathIsDirectory(path);
}

// The buffer, or false (error 8) when memory is short.
bool Allocate(std::vector<char>& buffer, size_t size) {
  try {
    buffer.resize(size);
    return true;
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
}

bool WriteAll(HANDLE file, const char* data, DWORD size) {
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(file, data, size, &written, nullptr)) return false;
    if (written == 0) {
      SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

}  // namespace

void CGZipIF::KeepZlibError(gzFile stream, DWORD platform_error, const char* message_prefix) {
  int number = Z_OK;
  const char* message = gzerror(stream, &number);
  if (number != Z_ERRNO && number != Z_OK) {
    _last_error = static_cast<DWORD>(number);
    OV_LOG(kLogError, "%s ： %s", message_prefix, message ? message : "");
  } else {
    _last_error = platform_error;
  }
}

bool CGZipIF::GZipFile(const std::string& source, const std::string& target) {
  if (!IsExistingFile(source)) {
    _last_error = ERROR_FILE_NOT_FOUND;
    return false;
  }
  CGzStream stream(gzopen(target.c_str(), "wb"));
  if (!stream) {
    _last_error = GetLastError();
    OV_LOG(kLogError, "CGZipIF::GZipFile - gzopen ERROR ERR:0x%08X PATH:%s",
           static_cast<unsigned>(_last_error), target.c_str());
    return false;
  }
  if (GZipFileEx(std::move(stream), source)) return true;
  // A half-packed file must not pass for the packed source.
  DeleteFileA(target.c_str());
  return false;
}

bool CGZipIF::GZipFileEx(CGzStream stream, const std::string& source) {
  CFileHandle file(CreateFileA(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    _last_error = GetLastError();
    OV_LOG(kLogError, "CGZipIF::GZipFileEx - CreateFile 失敗 %s ERR:0x%08X", source.c_str(),
           static_cast<unsigned>(_last_error));
    return false;
  }
  if (gzsetparams(stream.Get(), Z_DEFAULT_COMPRESSION, Z_DEFAULT_STRATEGY) != Z_OK) {
    KeepZlibError(stream.Get(), GetLastError(),
                  "CGZipIF::GZipFileEx - gzsetparams エラーメッセージ");
    OV_LOG(kLogError, "CGZipIF::GZipFileEx - gzsetparams 失敗 %s ERR:0x%08X", source.c_str(),
           static_cast<unsigned>(_last_error));
    return false;
  }
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0) {
    _last_error = GetLastError();
    OV_LOG(kLogError, "CGZipIF::GZipFileEx - GetFileSize 不正値 %s ERR:0x%08X", source.c_str(),
           static_cast<unsigned>(_last_error));
    return false;
  }
  const uint64_t total = static_cast<uint64_t>(size.QuadPart);
  const DWORD chunk = total < kChunk ? static_cast<DWORD>(total) : kChunk;
  std::vector<char> buffer;
  if (!Allocate(buffer, static_cast<size_t>(chunk) + 1)) {
    _last_error = GetLastError();
    OV_LOG(kLogError, "CGZipIF::GZipFileEx - メモリ確保 失敗 %s ERR:0x%08X", source.c_str(),
           static_cast<unsigned>(_last_error));
    return false;
  }

  const auto sink = [&](const char* data, DWORD length) {
    if (gzwrite(stream.Get(), data, length) == static_cast<int>(length)) return true;
    KeepZlibError(stream.Get(), GetLastError(), "CGZipIF::GZipFileEx - gzwrite エラーメッセージ");
    OV_LOG(kLogError, "CGZipIF::GZipFileEx - gzwrite 失敗 %s ERR:0x%08X", source.c_str(),
           static_cast<unsigned>(_last_error));
    return false;
  };
  uint64_t done = 0;
  const ChunkReadResult result =
      ReadInChunks(file.Get(), total, buffer.data(), chunk ? chunk : 1, sink, &done);
  if (result == ChunkReadResult::kReadFailed) {
    _last_error = GetLastError();
    OV_LOG(kLogError, "CGZipIF::GZipFileEx - ReadFile 失敗 %s ERR:0x%08X", source.c_str(),
           static_cast<unsigned>(_last_error));
  }
  if (result != ChunkReadResult::kDone) return false;
  return CloseWritten(stream, source);
}

bool CGZipIF::CloseWritten(CGzStream& stream, const std::string& source) {
  // The close writes the last compressed block and the trailer; a close that
  // cannot would leave a truncated file behind a success.
  const int result = stream.Close();
  if (result == Z_OK) return true;
  const DWORD platform_error = GetLastError();
  _last_error = result == Z_ERRNO ? platform_error : static_cast<DWORD>(result);
  OV_LOG(kLogError, "CGZipIF::GZipFileEx - gzclose 失敗 %s ERR:0x%08X", source.c_str(),
         static_cast<unsigned>(_last_error));
  return false;
}

bool CGZipIF::UnGZipFile(const std::string& source, const std::string& target) {
  if (!IsExistingFile(source)) {
    _last_error = ERROR_FILE_NOT_FOUND;
    OV_LOG(kLogError, "CGZipIF::UnGZipFile - 元ファイル無し！ %s ERR:0x%08X", source.c_str(),
           static_cast<unsigned>(_last_error));
    return false;
  }
  return UnGZipFileEx(source, target);
}

bool CGZipIF::UnGZipFileEx(const std::string& source, const std::string& target) {
  CGzStream stream(gzopen(source.c_str(), "rb"));
  if (!stream) {
    _last_error = GetLastError();
    OV_LOG(kLogError, "CGZipIF::UnGZipFileEx - gzopen 失敗 %s ERR:0x%08X", source.c_str(),
           static_cast<unsigned>(_last_error));
    return false;
  }
  // zlib reads 8 KiB at a time unless told otherwise; each read is a trip
  // through the platform, which costs the unpacking of large data sets.
  gzbuffer(stream.Get(), kReadBuffer);
  CFileHandle file(CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    _last_error = GetLastError();
    OV_LOG(kLogError, "CGZipIF::UnGZipFileEx - CreateFile 失敗 %s ERR:0x%08X", target.c_str(),
           static_cast<unsigned>(_last_error));
    return false;
  }

  bool ok = true;
  std::vector<char> buffer;
  if (!Allocate(buffer, kChunk)) {
    _last_error = GetLastError();
    OV_LOG(kLogError, "CGZipIF::UnGZipFileEx - メモリ確保 失敗 ERR:0x%08X",
           static_cast<unsigned>(_last_error));
    ok = false;
  }
  while (ok) {
    const int read = gzread(stream.Get(), buffer.data(), kChunk);
    const DWORD read_error = GetLastError();
    // Leaves the processor to other threads during a long unpacking.
    Sleep(1);
    int number = Z_OK;
    gzerror(stream.Get(), &number);
    // zlib answers the end of a truncated file as an end with Z_BUF_ERROR.
    if (read == 0 && number != Z_BUF_ERROR) break;
    if (read <= 0) {
      KeepZlibError(stream.Get(), read_error, "CGZipIF::UnGZipFileEx - gzread エラーメッセージ");
      OV_LOG(kLogError, "CGZipIF::UnGZipFileEx - gzread 失敗 %s ERR:0x%08X", source.c_str(),
             static_cast<unsigned>(_last_error));
      ok = false;
    } else if (!WriteAll(file.Get(), buffer.data(), static_cast<DWORD>(read))) {
      _last_error = GetLastError();
      OV_LOG(kLogError, "CGZipIF::UnGZipFileEx - WriteFile 失敗 %s ERR:0x%08X", target.c_str(),
             static_cast<unsigned>(_last_error));
      ok = false;
    } else {
      Sleep(1);
    }
  }
  // A stream read to its end has nothing left to flush; its close status
  // tells nothing the reads did not.
  stream.Close();
  file.Reset();
  // A half-unpacked file must not pass for the data.
  if (!ok) DeleteFileA(target.c_str());
  return ok;
}

bool CGZipIF::Recover(Operation operation, const char* name, const std::string& source,
                      const std::string& target) {
  for (int i = 0; i < kRetryTries; ++i) {
    _last_error = 0;
    if ((this->*operation)(source, target)) return true;
    PauseBeforeRetry(_abort_event, kRetryPauseMs);
  }
  OV_LOG(kLogError, "%s( ) - Error ERR:0x%08X SRC:%s, DST:%s", name,
         static_cast<unsigned>(_last_error), source.c_str(), target.c_str());
  return false;
}

bool CGZipIF::GZipFile_Recover(const std::string& source, const std::string& target) {
  return Recover(&CGZipIF::GZipFile, "GZipFile_Recover", source, target);
}

bool CGZipIF::UnGZipFile_Recover(const std::string& source, const std::string& target) {
  return Recover(&CGZipIF::UnGZipFile, "UnGZipFile_Recover", source, target);
}
