// The zip writer; see ZipWriter.h. Each entry's local header is written with
// empty CRC and sizes, which are filled in when the entry is closed; the
// central directory follows the last entry.
#include "ZipWriter.h"

#include <cstring>

namespace {

constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kEndSignature = 0x06054b50;
// Version 2.0 (deflate), made on MS-DOS: external attributes are DOS ones.
constexpr uint16_t kVersion = 20;
constexpr uint64_t kMax32 = 0xFFFFFFFFu;
constexpr uint16_t kMax16 = 0xFFFF;
constexpr size_t kOutBuffer = 64 * 1024;
constexpr uint64_t kCrcOffsetInLocalHeader = 14;

// Little-endian record building.
class CRecord final {
 public:
  CRecord& U16(uint32_t v) {
    _bytes.push_back(static_cast<unsigned char>(v & 0xFF));
    _bytes.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
    return *this;
  }
  CRecord& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
  CRecord& Text(const std::string& text) {
    _bytes.insert(_bytes.end(), text.begin(), text.end());
    return *this;
  }
  const unsigned char* Data() const { return _bytes.data(); }
  size_t Size() const { return _bytes.size(); }

 private:
  std::vector<unsigned char> _bytes;
};

// The general-purpose flag bits that tell readers the deflate level used.
uint16_t LevelFlags(int method, int level) {
  if (method != kZipDeflated) return 0;
  if (level == 8 || level == 9) return 2;
  if (level == 2) return 4;
  if (level == 1) return 6;
  return 0;
}

}  // namespace

uint32_t ToDosDateTime(const ZipTime& time) {
  if (time.year < 1980) return (1u << 21) | (1u << 16);  // 1980-01-01 00:00:00
  if (time.year > 2107)
    return (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u;
  const uint32_t date =
      ((time.year - 1980) << 9) | (((time.month + 1) & 0x0F) << 5) | (time.day & 0x1F);
  const uint32_t clock =
      ((time.hour & 0x1F) << 11) | ((time.minute & 0x3F) << 5) | ((time.second / 2) & 0x1F);
  return (date << 16) | clock;
}

CZipWriter::CZipWriter() : _out(kOutBuffer) {}

CZipWriter::~CZipWriter() { Abandon(); }

void CZipWriter::Abandon() {
  if (_stream) deflateEnd(_stream.get());
  _stream.reset();
  _entry_open = false;
  _file.Reset();
}

int CZipWriter::Fail(int code, DWORD error) {
  _last_error = error ? error : static_cast<DWORD>(ERROR_GEN_FAILURE);
  return code;
}

int CZipWriter::Open(const char* path) {
  if (IsOpen() || !path) return Fail(kZipParamError, ERROR_INVALID_PARAMETER);
  _file.Reset(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!_file) return Fail(kZipErrno, GetLastError());
  _offset = 0;
  _entries.clear();
  _last_error = 0;
  return kZipOk;
}

int CZipWriter::WriteBytes(const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const DWORD piece = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(_file.Get(), p, piece, &written, nullptr))
      return Fail(kZipErrno, GetLastError());
    if (written == 0) return Fail(kZipErrno, ERROR_WRITE_FAULT);
    p += written;
    size -= written;
    _offset += written;
  }
  return kZipOk;
}

int CZipWriter::OpenNewFileInZip(const char* name, const ZipEntryInfo& info, int method,
                                 int level) {
  if (!IsOpen()) return Fail(kZipParamError, ERROR_INVALID_HANDLE);
  if (_entry_open) {
    const int closed = CloseFileInZip();
    if (closed != kZipOk) return closed;
  }
  if (!name || (method != kZipStored && method != kZipDeflated) || level < -1 || level > 9) {
    return Fail(kZipParamError, ERROR_INVALID_PARAMETER);
  }
  const size_t name_length = strlen(name);
  if (name_length > kMax16) return Fail(kZipParamError, ERROR_FILENAME_EXCED_RANGE);
  if (_entries.size() >= kMax16 || _offset > kMax32) {
    return Fail(kZipParamError, ERROR_FILE_TOO_LARGE);
  }

  Entry entry;
  entry.name.assign(name, name_length);
  entry.flags = LevelFlags(method, level);
  entry.method = static_cast<uint16_t>(method);
  entry.dos_date_time = info.dos_date ? info.dos_date : ToDosDateTime(info.time);
  entry.internal_attributes = info.internal_attributes;
  entry.external_attributes = info.external_attributes;
  entry.offset = _offset;

  if (method == kZipDeflated) {
    _stream.reset(new z_stream());
    // Raw deflate: the zip entry carries its own CRC and sizes.
    if (deflateInit2(_stream.get(), level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
      _stream.reset();
      return Fail(kZipInternalError, ERROR_NOT_ENOUGH_MEMORY);
    }
  }
  CRecord header;
  header.U32(kLocalSignature).U16(kVersion).U16(entry.flags).U16(entry.method);
  header.U32(entry.dos_date_time).U32(0).U32(0).U32(0);
  header.U16(static_cast<uint32_t>(name_length)).U16(0).Text(entry.name);
  _entries.push_back(entry);
  _entry_open = true;
  return WriteBytes(header.Data(), header.Size());
}

int CZipWriter::Deflate(int flush) {
  for (;;) {
    _stream->next_out = _out.data();
    _stream->avail_out = static_cast<uInt>(_out.size());
    const int result = deflate(_stream.get(), flush);
    if (result == Z_STREAM_ERROR) return Fail(kZipInternalError, ERROR_INVALID_DATA);
    const size_t produced = _out.size() - _stream->avail_out;
    if (produced > 0) {
      const int written = WriteBytes(_out.data(), produced);
      if (written != kZipOk) return written;
      Current().compressed += produced;
    }
    if (flush == Z_FINISH) {
      if (result == Z_STREAM_END) return kZipOk;
    } else if (_stream->avail_in == 0 && _stream->avail_out != 0) {
      return kZipOk;
    }
  }
}

int CZipWriter::WriteInFileInZip(const void* data, unsigned length) {
  if (!_entry_open || (!data && length)) return Fail(kZipParamError, ERROR_INVALID_PARAMETER);
  if (length == 0) return kZipOk;
  Entry& entry = Current();
  if (entry.uncompressed + length > kMax32) return Fail(kZipParamError, ERROR_FILE_TOO_LARGE);
  entry.crc = crc32(entry.crc, static_cast<const Bytef*>(data), length);
  entry.uncompressed += length;
  if (!_stream) {
    entry.compressed += length;
    return WriteBytes(data, length);
  }
  _stream->next_in = static_cast<Bytef*>(const_cast<void*>(data));
  _stream->avail_in = length;
  return Deflate(Z_NO_FLUSH);
}

int CZipWriter::PatchLocalHeader(const Entry& entry) {
  CRecord sizes;
  sizes.U32(entry.crc)
      .U32(static_cast<uint32_t>(entry.compressed))
      .U32(static_cast<uint32_t>(entry.uncompressed));
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(entry.offset + kCrcOffsetInLocalHeader);
  if (!SetFilePointerEx(_file.Get(), at, nullptr, FILE_BEGIN)) {
    return Fail(kZipErrno, GetLastError());
  }
  const uint64_t end = _offset;
  const int written = WriteBytes(sizes.Data(), sizes.Size());
  _offset = end;
  if (written != kZipOk) return written;
  at.QuadPart = static_cast<LONGLONG>(end);
  if (!SetFilePointerEx(_file.Get(), at, nullptr, FILE_BEGIN)) {
    return Fail(kZipErrno, GetLastError());
  }
  return kZipOk;
}

int CZipWriter::CloseFileInZip() {
  if (!_entry_open) return Fail(kZipParamError, ERROR_INVALID_PARAMETER);
  _entry_open = false;
  int result = kZipOk;
  if (_stream) {
    _stream->next_in = nullptr;
    _stream->avail_in = 0;
    result = Deflate(Z_FINISH);
    deflateEnd(_stream.get());
    _stream.reset();
  }
  if (result != kZipOk) return result;
  const Entry& entry = Current();
  if (entry.compressed > kMax32) return Fail(kZipParamError, ERROR_FILE_TOO_LARGE);
  return PatchLocalHeader(entry);
}

int CZipWriter::Close(const char* comment) {
  if (!IsOpen()) return Fail(kZipParamError, ERROR_INVALID_HANDLE);
  int result = _entry_open ? CloseFileInZip() : kZipOk;
  const std::string text = comment ? comment : "";
  const uint64_t directory_offset = _offset;
  for (size_t i = 0; result == kZipOk && i < _entries.size(); ++i) {
    const Entry& e = _entries[i];
    CRecord record;
    record.U32(kCentralSignature).U16(kVersion).U16(kVersion).U16(e.flags).U16(e.method);
    record.U32(e.dos_date_time).U32(e.crc);
    record.U32(static_cast<uint32_t>(e.compressed)).U32(static_cast<uint32_t>(e.uncompressed));
    record.U16(static_cast<uint32_t>(e.name.size())).U16(0).U16(0).U16(0);
    record.U16(e.internal_attributes).U32(e.external_attributes);
    record.U32(static_cast<uint32_t>(e.offset)).Text(e.name);
    result = WriteBytes(record.Data(), record.Size());
  }
  if (result == kZipOk && (_offset > kMax32 || text.size() > kMax16)) {
    result = Fail(kZipParamError, ERROR_FILE_TOO_LARGE);
  }
  if (result == kZipOk) {
    const uint32_t count = static_cast<uint32_t>(_entries.size());
    CRecord end;
    end.U32(kEndSignature).U16(0).U16(0).U16(count).U16(count);
    end.U32(static_cast<uint32_t>(_offset - directory_offset));
    end.U32(static_cast<uint32_t>(directory_offset));
    end.U16(static_cast<uint32_t>(text.size())).Text(text);
    result = WriteBytes(end.Data(), end.Size());
  }
  Abandon();
  return result;
}
