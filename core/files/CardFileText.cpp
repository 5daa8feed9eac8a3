// Conversions and string operations of the core's file writers; see
// CardFileText.h.
#include "files/CardFileText.h"

#include "StringUtil.h"

#include <cstdlib>
#include <cstring>
#include <vector>

uint16_t IntToBcd(uint16_t value) {
  return static_cast<uint16_t>(strtoul(FormatString("%u", value).c_str(), nullptr, 16));
}

uint32_t BcdToInt(uint32_t value) {
  return static_cast<uint32_t>(
      strtoul(FormatString("%X", static_cast<unsigned>(value)).c_str(), nullptr, 10));
}

uint16_t BcdToInt16(uint16_t value) { return static_cast<uint16_t>(BcdToInt(value)); }

uint32_t VersionFromText(const std::string& text) {
  const size_t point = text.find('.');
  if (point == std::string::npos) return 0;
  const uint32_t major = static_cast<uint32_t>(strtoul(text.substr(0, point).c_str(), nullptr, 16));
  const uint32_t minor =
      static_cast<uint32_t>(strtoul(text.substr(point + 1).c_str(), nullptr, 16));
  return (major << 24) | (minor & 0xFFFFFF);
}

std::string CanonicalizeServerPath(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t slash = path.find('/', start);
    const std::string part =
        path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    const bool last = slash == std::string::npos;
    if (part == "..") {
      // Never above the start: the root of a rooted path stays.
      const bool at_root = parts.size() == 1 && parts[0].empty();
      if (!parts.empty() && !at_root) parts.pop_back();
      if (last) parts.emplace_back();
    } else if (part == ".") {
      if (last) parts.emplace_back();
    } else {
      parts.push_back(part);
    }
    if (last) break;
    start = slash + 1;
  }
  std::string result;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) result += '/';
    result += parts[i];
  }
  return result;
}

bool operator==(const CxString& a, const CxString& b) {
  return a.GetLength() == b.GetLength() &&
         memcmp(a.c_str(), b.c_str(), static_cast<size_t>(a.GetLength())) == 0;
}

bool operator!=(const CxString& a, const CxString& b) { return !(a == b); }

bool AppendBytes(CxString& text, const char* bytes, int length) {
  if (length <= 0) return true;
  std::string joined = text.ToString();
  joined.append(bytes, static_cast<size_t>(length));
  return text.SetLength(joined.data(), static_cast<int>(joined.size()));
}

bool TakePart(const CxString& text, int start, int length, CxString* part) {
  const int size = text.GetLength();
  if (start < 0) start = 0;
  if (length < 0) length = 0;
  if (start >= size) {
    part->Empty();
    return true;
  }
  if (length > size - start) length = size - start;
  if (start == 0 && length == size) {
    part->Assign(text);
    return true;
  }
  return part->SetLength(text.c_str() + start, length);
}
