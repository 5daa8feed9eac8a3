// Card-derived paths; see ProbePath.h.
#include "ProbePath.h"

#include <cstring>

#include "OvWindows.h"
#include "StringUtil.h"

namespace {

bool IsDeviceName(const std::string& name) {
  // The base name before the first dot decides: "NUL.txt" is the device.
  const std::string base = ToUpper(name.substr(0, name.find('.')));
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : kDevices) {
    if (base == device) return true;
  }
  if (base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0)) {
    return base[3] >= '0' && base[3] <= '9';
  }
  return false;
}

bool HasForbiddenByte(const std::string& name) {
  for (size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (IsCp932LeadByte(c)) {
      if (i + 1 >= name.size()) return true;  // a character cut in half
      ++i;
      continue;
    }
    if (c < 0x20 || c == 0x7F || std::strchr("\\/:*?\"<>|", c)) return true;
  }
  return false;
}

// The characters of `text` from `start`, as a number, when all `count`
// exist and are digits; else 0.
int DigitField(const std::string& text, size_t start, size_t count) {
  if (start + count > text.size()) return 0;
  int value = 0;
  for (size_t i = start; i < start + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return 0;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// The position of the last backslash that is a separator, not the second
// byte of a two-byte character; npos when there is none.
size_t LastSeparator(const std::string& path) {
  size_t found = std::string::npos;
  for (size_t i = 0; i < path.size(); ++i) {
    if (IsCp932LeadByte(static_cast<unsigned char>(path[i]))) {
      ++i;
    } else if (path[i] == '\\') {
      found = i;
    }
  }
  return found;
}

}  // namespace

bool SafePathJoin(const std::string& folder, const std::string& name, std::string* out,
                  size_t reserve) {
  if (name.empty() || name == "." || name == "..") return false;
  if (HasForbiddenByte(name)) return false;
  // The file system drops trailing dots and spaces, so "A.DAT." would be
  // "A.DAT".
  const char last = name.back();
  if (last == '.' || last == ' ') return false;
  if (IsDeviceName(name)) return false;
  std::string joined = folder;
  if (!joined.empty() && joined.back() != '\\') joined += '\\';
  joined += name;
  if (joined.size() + reserve >= MAX_PATH) return false;
  *out = joined;
  return true;
}

std::string TripFolderOf(const std::string& source_path) {
  const size_t slash = LastSeparator(source_path);
  if (slash == std::string::npos || slash == 0) return std::string();
  const std::string folder = source_path.substr(0, slash);
  // "E:" or "E:\": the card itself.
  if (folder.size() <= 3 && folder.find(':') != std::string::npos) return std::string();
  if (LastSeparator(folder) + 1 == folder.size()) return std::string();
  return folder;
}

TripTime TripTimeOf(const std::string& source_path) {
  const std::string folder = TripFolderOf(source_path);
  const size_t slash = LastSeparator(folder);
  const std::string name = slash == std::string::npos ? folder : folder.substr(slash + 1);
  TripTime t;
  t.year = DigitField(name, 0, 4);
  t.month = DigitField(name, 4, 2);
  t.day = DigitField(name, 6, 2);
  t.hour = DigitField(name, 8, 2);
  t.minute = DigitField(name, 10, 2);
  t.second = DigitField(name, 12, 2);
  return t;
}

std::string SendBlockName(const TripTime& time, const char* file_name) {
  return FormatString("%04d%02d%02d%02d%02d%02d/%s", time.year, time.month, time.day, time.hour,
                      time.minute, time.second, file_name);
}
