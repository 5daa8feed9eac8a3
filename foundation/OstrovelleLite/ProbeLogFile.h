// The probe log "ProbeLog.dat" in a folder of the "Data" folder: the last
// probe-data uploads, oldest first, as 40-byte records. The foundation reads
// it; the core writes it. One object serves one thread.
#pragma once

#include "OvWindows.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ProbeLogRecord {
  static constexpr size_t kSize = 40;
  uint8_t bytes[kSize] = {};

  SYSTEMTIME Date() const;
  int32_t Code() const;    // the charge's stage
  int32_t Result() const;  // the charge's result word

  void SetDate(const SYSTEMTIME& date);
  void SetCode(int32_t v);
  void SetResult(int32_t v);
};

// The folder name of a user's data folder (as the user list holds it) inside
// the "Data" folder, as the probe log names it: the path below the "Data"
// folder, compared without regard to case, else its last name; empty for an
// empty path.
std::string ProbeLogFolderOf(const std::string& data_folder);

class CProbeLogFile {
 public:
  // Sets the path (creating the folder) and reads the file.
  explicit CProbeLogFile(const std::string& folder_name);
  virtual ~CProbeLogFile() = default;
  CProbeLogFile(const CProbeLogFile&) = default;
  CProbeLogFile& operator=(const CProbeLogFile&) = default;

  // "<Data folder><folder name>\ProbeLog.dat", creating the folder; no read.
  void SetPath(const std::string& folder_name);
  // Empties the list and reads the file: true when it was read to its end,
  // does not exist or cannot be opened.
  bool Read();
  // Index 0 is the oldest. False (date zeroed, code -1) when the index is
  // out of range or an output is missing.
  bool GetRecord(size_t index, SYSTEMTIME* date, int* code, int* result) const;

  const std::string& GetPath() const { return _path; }
  const std::string& GetFolderName() const { return _folder_name; }
  const std::vector<ProbeLogRecord>& Records() const { return _records; }

 protected:
  std::string _folder_name;
  std::string _path;
  std::vector<ProbeLogRecord> _records;
};
