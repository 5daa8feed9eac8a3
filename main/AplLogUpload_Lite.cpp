// Which folders and files the log upload collects; see AplLogUpload.h.
#include <cstring>

#include "AplLogUpload.h"
#include "Folders.h"
#include "Log.h"

namespace logupload {

namespace {

// Tried in this order; a substring match takes rolled-over copies too.
const char* const kProgramLogNames[] = {"Ostrovelle_EV.log", "Ostrovelle_Core.log",
                                        "Ostrovelle_Music.log"};

bool ReadDigits(const char* text, size_t count, int* value) {
  int number = 0;
  for (size_t i = 0; i < count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    number = number * 10 + (text[i] - '0');
  }
  *value = number;
  return true;
}

// "yyyymmdd.log" with a date the programs can have written.
bool IsDatedLogName(const char* name) {
  if (strlen(name) != 12 || _stricmp(name + 8, ".log") != 0) return false;
  int year = 0;
  int month = 0;
  int day = 0;
  if (!ReadDigits(name, 4, &year) || !ReadDigits(name + 4, 2, &month) ||
      !ReadDigits(name + 6, 2, &day)) {
    return false;
  }
  return year >= 1980 && year <= 2099 && month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

}  // namespace

LogFileKind ClassifyLogFileName(const char* name) {
  if (name == nullptr) return kNotALog;
  for (const char* program_log : kProgramLogNames) {
    if (strstr(name, program_log) != nullptr) return kProgramLog;
  }
  return IsDatedLogName(name) ? kDatedLog : kNotALog;
}

bool IsSafeDeviceNumber(const char* device_no) {
  if (device_no == nullptr || device_no[0] == '\0') return false;
  bool after_dot = false;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(device_no); *p; ++p) {
    // A trail byte of a double-byte character may be 0x5C or 0x7C; it
    // separates nothing.
    if (IsDBCSLeadByteEx(932, *p)) {
      if (p[1] == '\0') return false;
      ++p;
      after_dot = false;
      continue;
    }
    if (*p < 0x20 || *p == 0x7F || strchr("\\/:*?\"<>|", *p) != nullptr) return false;
    if (*p == '.' && after_dot) return false;
    after_dot = *p == '.';
  }
  return true;
}

std::vector<std::string> CollectLogFolders() {
  std::vector<std::string> folders;
  const std::string folder = GetLogFolder();
  if (PathIsDirectory(folder)) {
    folders.push_back(folder);
  } else {
    OV_LOG(kLogInfo, "CAplLogUpload::_CollectLogFolders - ログフォルダなし %s", folder.c_str());
  }
  return folders;
}

}  // namespace logupload
