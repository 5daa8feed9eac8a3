// Byte sources; see ByteSource.h.
#include "media/ByteSource.h"

#include "WinFileSystemLib.h"

#include <algorithm>
#include <cstring>

namespace libmusic {
namespace media {

bool CMemorySource::ReadAt(std::uint64_t offset, void* buffer, size_t n) {
  if (!Contains(offset, n)) return false;
  if (n) std::memcpy(buffer, _bytes.data() + offset, n);
  return true;
}

DWORD CFileSource::Open(const std::wstring& path) {
  CFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return GetLastError();
  return Attach(std::move(file));
}

DWORD CFileSource::Attach(CFileHandle file, CWinFileSystemLib* file_system) {
  _file = std::move(file);
  _file_system = file_system;
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(_file.Get(), &size)) {
    const DWORD error = GetLastError();
    _file.Reset();
    return error;
  }
  _size = static_cast<std::uint64_t>(size.QuadPart);
  _block_valid = false;
  return 0;
}

bool CFileSource::FillBlock(std::uint64_t block_offset) {
  _block_valid = false;
  LARGE_INTEGER pos = {};
  pos.QuadPart = static_cast<LONGLONG>(block_offset);
  if (!SetFilePointerEx(_file.Get(), pos, nullptr, FILE_BEGIN)) {
    _error = GetLastError();
    return false;
  }
  const size_t want =
      static_cast<size_t>(std::min<std::uint64_t>(kBlockSize, _size - block_offset));
  _block.resize(want);
  DWORD got = 0;
  const BOOL read =
      _file_system
          ? _file_system->ReadFile_Recover(_file.Get(), _block.data(), static_cast<DWORD>(want),
                                           &got, nullptr)
          : ::ReadFile(_file.Get(), _block.data(), static_cast<DWORD>(want), &got, nullptr);
  if (!read) {
    _error = _file_system ? _file_system->LastError() : GetLastError();
    return false;
  }
  // The file shrank under us: what is missing reads as past the end.
  _block.resize(got);
  _block_offset = block_offset;
  _block_valid = true;
  return true;
}

bool CFileSource::ReadAt(std::uint64_t offset, void* buffer, size_t n) {
  if (!_file || !Contains(offset, n)) return false;
  BYTE* out = static_cast<BYTE*>(buffer);
  while (n > 0) {
    const bool cached =
        _block_valid && offset >= _block_offset && offset < _block_offset + _block.size();
    if (!cached) {
      if (!FillBlock(offset - offset % kBlockSize)) return false;
      if (offset >= _block_offset + _block.size()) return false;
    }
    const size_t at = static_cast<size_t>(offset - _block_offset);
    const size_t take = std::min(n, _block.size() - at);
    std::memcpy(out, _block.data() + at, take);
    out += take;
    offset += take;
    n -= take;
  }
  return true;
}

}  // namespace media
}  // namespace libmusic
