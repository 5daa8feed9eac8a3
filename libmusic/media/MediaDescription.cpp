// A parsed media file; see MediaDescription.h.
#include "media/MediaDescription.h"

#include "media/TagText.h"

#include <algorithm>
#include <cstring>

namespace libmusic {
namespace media {

namespace {

template <typename T>
std::vector<BYTE> LittleEndianBytes(T value) {
  std::vector<BYTE> bytes(sizeof(T));
  for (size_t i = 0; i < sizeof(T); ++i) bytes[i] = static_cast<BYTE>(value >> (8 * i));
  return bytes;
}

}  // namespace

void CMediaDescription::Add(MediaAttribute attribute) {
  if (attribute.value.size() > kMaxAttributeBytes) return;
  if (_attributes.size() >= kMaxAttributes) return;
  // Files may store one value in two places (the content description and
  // the extended content): it is still one value.
  for (const MediaAttribute& a : _attributes) {
    if (a.type == attribute.type && a.value == attribute.value &&
        a.language == attribute.language && EqualsIgnoreCase(a.name, attribute.name)) {
      return;
    }
  }
  _attributes.push_back(std::move(attribute));
}

std::vector<BYTE> StringAttributeBytes(const std::wstring& value) {
  const size_t chars = std::min(value.size(), kMaxAttributeBytes / 2 - 1);
  std::vector<BYTE> bytes((chars + 1) * 2, 0);
  for (size_t i = 0; i < chars; ++i) {
    bytes[2 * i] = static_cast<BYTE>(value[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<BYTE>(value[i] >> 8);
  }
  return bytes;
}

void CMediaDescription::AddString(const wchar_t* name, const std::wstring& value) {
  Add(MediaAttribute{name, WMT_TYPE_STRING, StringAttributeBytes(value), 0});
}

void CMediaDescription::AddStringIfMissing(const wchar_t* name, const std::wstring& value) {
  if (!Has(name)) AddString(name, value);
}

void CMediaDescription::AddDword(const wchar_t* name, DWORD value) {
  Add(MediaAttribute{name, WMT_TYPE_DWORD, LittleEndianBytes<std::uint32_t>(value), 0});
}

void CMediaDescription::AddQword(const wchar_t* name, QWORD value) {
  Add(MediaAttribute{name, WMT_TYPE_QWORD, LittleEndianBytes<std::uint64_t>(value), 0});
}

void CMediaDescription::AddBool(const wchar_t* name, bool value) {
  Add(MediaAttribute{name, WMT_TYPE_BOOL, LittleEndianBytes<std::uint32_t>(value ? 1 : 0), 0});
}

const MediaAttribute* CMediaDescription::Find(const std::wstring& name) const {
  for (const MediaAttribute& a : _attributes) {
    if (EqualsIgnoreCase(a.name, name)) return &a;
  }
  return nullptr;
}

std::vector<WORD> CMediaDescription::IndicesOf(const std::wstring& name) const {
  std::vector<WORD> indices;
  for (size_t i = 0; i < _attributes.size(); ++i) {
    if (EqualsIgnoreCase(_attributes[i].name, name)) indices.push_back(static_cast<WORD>(i));
  }
  return indices;
}

const MediaStream* CMediaDescription::FindStream(WORD number) const {
  for (const MediaStream& s : _streams) {
    if (s.number == number) return &s;
  }
  return nullptr;
}

std::wstring AttributeString(const MediaAttribute& attribute) {
  if (attribute.type != WMT_TYPE_STRING) return std::wstring();
  return DecodeUtf16Text(attribute.value.data(), attribute.value.size(), false);
}

}  // namespace media
}  // namespace libmusic
