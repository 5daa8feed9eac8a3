// What the media parsers found in one file: its file-level attributes under
// the runtime's attribute names and types, its streams with their formats,
// and whether its content is protected. Filled on one thread, then only read.
#pragma once

#include "media/WMRuntime.h"

#include <cstdint>
#include <string>
#include <vector>

namespace libmusic {
namespace media {

// Values longer than this are not kept (pictures, lyrics): a header-info
// call cannot hand out more than 64 KiB anyway.
constexpr size_t kMaxAttributeBytes = 0xFFFF;
// Real files carry a few dozen; a header claiming thousands is broken.
constexpr size_t kMaxAttributes = 4096;

struct MediaAttribute {
  std::wstring name;
  WMT_ATTR_DATATYPE type = WMT_TYPE_BINARY;
  // Strings: UTF-16LE with their terminating zero. Numbers: little-endian.
  std::vector<BYTE> value;
  WORD language = 0;
};

struct MediaStream {
  WORD number = 0;
  GUID type = {};
  GUID subtype = {};
  GUID format_type = {};
  // A WAVEFORMATEX with its extra bytes for audio streams.
  std::vector<BYTE> format;
};

class CMediaDescription final {
 public:
  // Values are appended; an attribute may have several (several artists).
  void AddString(const wchar_t* name, const std::wstring& value);
  void AddDword(const wchar_t* name, DWORD value);
  void AddQword(const wchar_t* name, QWORD value);
  void AddBool(const wchar_t* name, bool value);
  void Add(MediaAttribute attribute);
  // A string only when the attribute has no value yet.
  void AddStringIfMissing(const wchar_t* name, const std::wstring& value);

  bool Has(const std::wstring& name) const { return Find(name) != nullptr; }
  // The first value of an attribute (names compare without case).
  const MediaAttribute* Find(const std::wstring& name) const;
  // Positions in Attributes() of every value of an attribute.
  std::vector<WORD> IndicesOf(const std::wstring& name) const;
  const std::vector<MediaAttribute>& Attributes() const { return _attributes; }

  std::vector<MediaStream>& Streams() { return _streams; }
  const std::vector<MediaStream>& Streams() const { return _streams; }
  const MediaStream* FindStream(WORD number) const;

  bool IsProtected() const { return _protected; }
  void SetProtected() { _protected = true; }

 private:
  std::vector<MediaAttribute> _attributes;
  std::vector<MediaStream> _streams;
  bool _protected = false;
};

// A string value as attributes hold it: UTF-16LE with a terminating zero,
// cut so that it fits kMaxAttributeBytes.
std::vector<BYTE> StringAttributeBytes(const std::wstring& value);

// The attribute's string, empty for other types.
std::wstring AttributeString(const MediaAttribute& attribute);

}  // namespace media
}  // namespace libmusic
