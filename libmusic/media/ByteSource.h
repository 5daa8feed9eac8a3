// Random-access byte sources the media parsers read from: a file (with a
// small block cache, so header walks do not cost a system call per field)
// and a memory buffer. A read never goes past the end: it fails instead.
// One source serves one thread.
#pragma once

#include "Handle.h"
#include "OvWindows.h"

class CWinFileSystemLib;

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace libmusic {
namespace media {

inline std::uint16_t ReadBE16(const BYTE* p) {
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
inline std::uint32_t ReadBE32(const BYTE* p) {
  return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
         (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}
inline std::uint64_t ReadBE64(const BYTE* p) {
  return (static_cast<std::uint64_t>(ReadBE32(p)) << 32) | ReadBE32(p + 4);
}
inline std::uint16_t ReadLE16(const BYTE* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t ReadLE32(const BYTE* p) {
  return p[0] | (static_cast<std::uint32_t>(p[1]) << 8) | (static_cast<std::uint32_t>(p[2]) << 16) |
         (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t ReadLE64(const BYTE* p) {
  return ReadLE32(p) | (static_cast<std::uint64_t>(ReadLE32(p + 4)) << 32);
}

class CByteSource {
 public:
  virtual ~CByteSource() = default;
  virtual std::uint64_t Size() const = 0;
  // Exactly n bytes from offset; false past the end or when reading fails.
  virtual bool ReadAt(std::uint64_t offset, void* buffer, size_t n) = 0;
  // The platform error of the last failed read; 0 when it only ran past the end.
  DWORD Error() const { return _error; }
  // Whether [offset, offset + n) lies inside the source.
  bool Contains(std::uint64_t offset, std::uint64_t n) const {
    return offset <= Size() && n <= Size() - offset;
  }

 protected:
  DWORD _error = 0;
};

class CMemorySource final : public CByteSource {
 public:
  explicit CMemorySource(std::vector<BYTE> bytes) : _bytes(std::move(bytes)) {}
  explicit CMemorySource(const std::string& bytes) : _bytes(bytes.begin(), bytes.end()) {}

  std::uint64_t Size() const override { return _bytes.size(); }
  bool ReadAt(std::uint64_t offset, void* buffer, size_t n) override;

 private:
  std::vector<BYTE> _bytes;
};

class CFileSource final : public CByteSource {
 public:
  CFileSource() = default;
  CFileSource(const CFileSource&) = delete;
  CFileSource& operator=(const CFileSource&) = delete;

  // 0 or the platform error.
  DWORD Open(const std::wstring& path);
  // Reads a file the caller opened for reading; with file_system, every
  // read goes through its retrying operations.
  DWORD Attach(CFileHandle file, CWinFileSystemLib* file_system = nullptr);
  std::uint64_t Size() const override { return _size; }
  bool ReadAt(std::uint64_t offset, void* buffer, size_t n) override;

 private:
  bool FillBlock(std::uint64_t block_offset);

  static constexpr size_t kBlockSize = 64 * 1024;
  CFileHandle _file;
  CWinFileSystemLib* _file_system = nullptr;  // not owned
  std::uint64_t _size = 0;
  std::vector<BYTE> _block;
  std::uint64_t _block_offset = 0;
  bool _block_valid = false;
};

}  // namespace media
}  // namespace libmusic
