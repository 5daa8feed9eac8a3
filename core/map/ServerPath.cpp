// Joining server names to local folders; see ServerPath.h.
#include "map/ServerPath.h"

#include <cstring>
#include <vector>

#include "Log.h"
#include "OvWindows.h"
#include "StringUtil.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsForbiddenByte(unsigned char c) {
  return c < 0x20 || c == 0x7F || strchr("<>:\"|?*", c) != nullptr;
}

// CON, PRN, AUX, NUL, COM0-9, LPT0-9, CONIN$, CONOUT$: Windows opens the
// device whatever the extension, and ignores blanks before it.
bool IsDeviceName(const std::string& part) {
  std::string stem = part.substr(0, part.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  stem = ToUpper(stem);
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : kDevices) {
    if (stem == device) return true;
  }
  return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
         stem[3] >= '0' && stem[3] <= '9';
}

// Splits at standalone separators; false on a cut double-byte character.
bool SplitParts(const std::string& name, std::vector<std::string>* parts) {
  std::string part;
  for (size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (IsCp932LeadByte(c)) {
      if (i + 1 >= name.size()) return false;
      part += name[i];
      part += name[++i];
    } else if (IsSeparator(name[i])) {
      parts->push_back(part);
      part.clear();
    } else {
      part += name[i];
    }
  }
  parts->push_back(part);
  return true;
}

std::string FullPath(const std::string& path) {
  std::vector<char> buffer(MAX_PATH);
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD n =
        GetFullPathNameA(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (n == 0) return std::string();
    if (n < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(n + 1);
  }
  return std::string();
}

// The last byte is a separator of its own, not the trail byte of 表 or ソ.
bool EndsWithSeparator(const std::string& path) {
  return !path.empty() && IsSeparator(path.back()) &&
         Cp932SafeLength(path.data(), path.size() - 1) == path.size() - 1;
}

}  // namespace

bool IsSafeServerNamePart(const std::string& part) {
  if (part.empty()) return false;
  for (size_t i = 0; i < part.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(part[i]);
    if (IsCp932LeadByte(c)) {
      if (i + 1 >= part.size()) return false;
      ++i;
      continue;
    }
    if (IsForbiddenByte(c) || IsSeparator(part[i])) return false;
  }
  const char last = part.back();
  if (last == '.' || last == ' ') return false;  // also every all-dot part such as ".."
  return !IsDeviceName(part);
}

bool NormalizeServerName(const std::string& name, std::string* out) {
  if (name.empty() || IsSeparator(name[0])) return false;
  std::vector<std::string> parts;
  if (!SplitParts(name, &parts)) return false;
  const bool folder = parts.back().empty();
  std::string joined;
  for (const std::string& part : parts) {
    if (part.empty() || part == ".") continue;
    if (!IsSafeServerNamePart(part)) return false;
    if (!joined.empty()) joined += '\\';
    joined += part;
  }
  if (joined.empty()) return false;
  if (folder) joined += '\\';
  *out = joined;
  return true;
}

bool JoinServerPath(const std::string& folder, const std::string& name, std::string* out) {
  std::string relative;
  bool safe = !folder.empty() && NormalizeServerName(name, &relative);
  std::string joined;
  if (safe) {
    joined = folder;
    if (!EndsWithSeparator(joined)) joined += '\\';
    joined += relative;
    // The checks above leave nothing that climbs out; the platform's own
    // reading of the path has the last word.
    std::string base = FullPath(folder);
    if (!base.empty() && !EndsWithSeparator(base)) base += '\\';
    const std::string full = FullPath(joined);
    safe = !base.empty() && full.size() > base.size() && full.compare(0, base.size(), base) == 0;
  }
  if (!safe) {
    OV_LOG(kLogError, "JoinServerPath - サーバ指定のパス名を拒否 [%s]", name.c_str());
    SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  *out = joined;
  return true;
}
