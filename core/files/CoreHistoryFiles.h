// The core's writers of the two history files: the card information file
// (one record per charge kind or id) and the probe log (the last ten probe
// uploads). Each writer reads its file again just before changing it and
// writes it whole through a temporary file, so a failed write leaves the
// old file as it was. One object serves one thread.
#pragma once

#include "OstrovelleLite/ProbeLogFile.h"
#include "OstrovelleLite/SDInfoFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace core {

// Whether a file of fixed-size records cannot be read whole: a record cut
// at its end, or more than a read takes (64 MiB). A missing or only locked
// file is not damaged.
bool IsDamagedRecordFile(const std::string& path, size_t record_size);
// Renames a damaged file to its name plus ".bad" (replacing an older one)
// and logs it, so that a fresh file can take its place; false (logged)
// when the rename fails.
bool SetAsideDamagedFile(const std::string& path);

class CSDInfoFile final : public ::CSDInfoFile {
 public:
  using ::CSDInfoFile::CSDInfoFile;

  // Sets the record of the id (or appends one) and writes the file; a
  // damaged file is set aside (".bad") and written afresh with its whole
  // records. The values are the charge's stage (first), result word
  // (second), data version (third) and map version (fourth); no text keeps
  // the old one.
  bool SetHistory(uint32_t id, const SYSTEMTIME& date, int32_t first, int32_t second, int32_t third,
                  int32_t fourth, const char* text);
  bool WriteHistory();
};

class CProbeLogFile final : public ::CProbeLogFile {
 public:
  static constexpr size_t kMaxRecords = 10;

  using ::CProbeLogFile::CProbeLogFile;

  // Adds one record, dropping the oldest ones beyond ten, and writes the file.
  bool SetLog(const SYSTEMTIME& date, int32_t code, int32_t result);
  bool Write();
};

}  // namespace core
