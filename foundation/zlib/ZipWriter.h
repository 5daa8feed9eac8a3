// A writer of standard zip archives over zlib's deflate, offering the calls
// of the usual zip-writer interface: open an archive, open an entry with its
// information, write the entry's data, close the entry, close the archive.
// Entries are stored or deflated; sizes and offsets are 32-bit (no zip64),
// and a larger archive fails with kZipParamError instead of being written
// wrong. Names are written as given (code page 932 bytes, no UTF-8 flag).
// One writer serves one thread.
#pragma once

#include "Handle.h"
#include "OvWindows.h"

#include <zlib.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

constexpr int kZipOk = 0;
constexpr int kZipErrno = -1;  // a platform call failed: see LastError()
constexpr int kZipParamError = -102;
constexpr int kZipBadZipFile = -103;
constexpr int kZipInternalError = -104;

constexpr int kZipStored = 0;
constexpr int kZipDeflated = Z_DEFLATED;

// An entry's local date and time: year in full (1980 to 2107), month
// counted from 0.
struct ZipTime {
  unsigned year = 1980;
  unsigned month = 0;
  unsigned day = 1;
  unsigned hour = 0;
  unsigned minute = 0;
  unsigned second = 0;
};

struct ZipEntryInfo {
  ZipTime time;
  uint32_t dos_date = 0;  // when not 0, used in place of time
  uint16_t internal_attributes = 0;
  uint32_t external_attributes = 0;
};

// The MS-DOS date (high word) and time (low word) of a time; a time outside
// the DOS range is clamped to it.
uint32_t ToDosDateTime(const ZipTime& time);

class CZipWriter final {
 public:
  CZipWriter();
  // An archive still open is abandoned: its file stays, without a central
  // directory.
  ~CZipWriter();
  CZipWriter(const CZipWriter&) = delete;
  CZipWriter& operator=(const CZipWriter&) = delete;

  // Creates a new archive, replacing a file of that name.
  int Open(const char* path);
  // Starts an entry (closing one still open). level: 0 to 9, or -1 for
  // zlib's default.
  int OpenNewFileInZip(const char* name, const ZipEntryInfo& info, int method, int level);
  int WriteInFileInZip(const void* data, unsigned length);
  int CloseFileInZip();
  // Writes the central directory with an optional comment and closes the
  // file.
  int Close(const char* comment);

  bool IsOpen() const { return _file.IsValid(); }
  bool IsEntryOpen() const { return _entry_open; }
  // The platform error behind the last failure (never 0 after one).
  DWORD LastError() const { return _last_error; }

 private:
  struct Entry {
    std::string name;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint32_t dos_date_time = 0;
    uint32_t crc = 0;
    uint64_t compressed = 0;
    uint64_t uncompressed = 0;
    uint16_t internal_attributes = 0;
    uint32_t external_attributes = 0;
    uint64_t offset = 0;
  };

  int Fail(int code, DWORD error);
  int WriteBytes(const void* data, size_t size);
  int Deflate(int flush);
  int PatchLocalHeader(const Entry& entry);
  void Abandon();
  Entry& Current() { return _entries.back(); }

  CFileHandle _file;
  uint64_t _offset = 0;  // bytes written so far
  std::vector<Entry> _entries;
  bool _entry_open = false;
  std::unique_ptr<z_stream> _stream;  // while a deflated entry is open
  std::vector<unsigned char> _out;    // deflate's output buffer
  DWORD _last_error = 0;
};

// One entry of a writer, closed when the scope ends unless Close() closed it
// first. Only the close of a completely written entry has a result worth
// reading; on a failure path the scope drops it.
class CZipEntryScope final {
 public:
  explicit CZipEntryScope(CZipWriter& zip) : _zip(zip) {}  // not owned
  ~CZipEntryScope() {
    if (_open) _zip.CloseFileInZip();
  }
  CZipEntryScope(const CZipEntryScope&) = delete;
  CZipEntryScope& operator=(const CZipEntryScope&) = delete;

  int Open(const char* name, const ZipEntryInfo& info, int method, int level) {
    const int result = _zip.OpenNewFileInZip(name, info, method, level);
    _open = result == kZipOk;
    return result;
  }
  int Close() {
    _open = false;
    return _zip.CloseFileInZip();
  }

 private:
  CZipWriter& _zip;
  bool _open = false;
};
