// The reader of configuration images: big-endian, 4-byte aligned binary
// files that list a data set's files, further images and folder paths,
// optionally followed by an XML part. One parser object per thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "map/RNW_ConfInfo.h"

// A byte cursor over [start, end); alignment counts from the start.
// The reads throw lib::IlligalArgumentException when the bytes run out.
class RNW_ParseBase {
 public:
  RNW_ParseBase() = default;
  virtual ~RNW_ParseBase() = default;
  RNW_ParseBase(const RNW_ParseBase&) = delete;
  RNW_ParseBase& operator=(const RNW_ParseBase&) = delete;

  // 0 when the cursor is at or past the end.
  size_t GetRemaining() const { return _cursor < _end ? static_cast<size_t>(_end - _cursor) : 0; }
  // A NUL lies within the remaining bytes.
  bool HasNulAhead() const;
  bool IsAligned() const { return GetOffset() % 4 == 0; }
  size_t GetOffset() const { return static_cast<size_t>(_cursor - _start); }

 protected:
  void SetRange(const void* start, size_t size);
  const unsigned char* GetCursor() const { return _cursor; }
  // Moves to the next aligned offset, at most to the end.
  void SkipToAligned();
  void SkipToEnd() { _cursor = _end; }
  // Needs count bytes at an aligned cursor.
  void RequireAligned(size_t count, const char* what) const;
  uint16_t ReadU16();
  uint32_t ReadU32();
  // The bytes up to the next NUL, which is passed over.
  CxString ReadString(const char* what);

 private:
  const unsigned char* _start = nullptr;  // not owned
  const unsigned char* _cursor = nullptr;
  const unsigned char* _end = nullptr;
};

class RNW_ParseConf final : public RNW_ParseBase {
 public:
  RNW_ParseConf() = default;
  ~RNW_ParseConf() override = default;

  // 1 success; 0 failure, with the info cleared.
  int Parse(const void* bytes, size_t size, RNW_ConfInfo& info);
  // The image's version; 20 until a header has been read.
  uint16_t GetVersion() const { return _version; }
  // Why the last parse failed, for the caller's log.
  const std::string& GetErrorText() const { return _error; }

 private:
  void ParseImage(RNW_ConfInfo& info);
  void ReadHeader(RNW_ConfHeaderInfo& header);
  std::unique_ptr<RNW_ConfFileInfo> ReadFileEntry();
  void ReadPieces(RNW_ConfFileInfo& file);
  void ReadXml(RNW_ConfInfo& info);

  uint16_t _version = 20;
  std::string _error;
};
