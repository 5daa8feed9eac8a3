// The completion notices that failed to reach the server, kept on the PC in
// the data folder's "CompleteNotifyFile.dat" until a later map charge sends
// them: a gzip file whose unpacked content is a run of 112-byte records. The
// work copy "CompleteNotifyFile.dat_ORG" exists only inside a call.
// Used by the running map charge's worker alone (one charge at a time), so
// the file takes no lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// One notice, in the order of its record on disk.
struct CompleteNotifyRecord {
  static constexpr size_t kSize = 112;
  static constexpr size_t kTextSize = 32;  // NUL included
  static constexpr uint32_t kTypeDownload = 0;

  uint32_t type = kTypeDownload;
  uint32_t values[4] = {};  // from the map charge's notice; values[1] never 0 or ~0
  uint8_t block[16] = {};
  std::string text;       // at most 31 bytes on disk
  std::string device_no;  // at most 31 bytes on disk; notices are grouped by it

  // The 112 record bytes (little-endian numbers, zero padding).
  std::string Encode() const;
  // Fields from 112 bytes; texts end at their first NUL or their field's end.
  static CompleteNotifyRecord Decode(const char* bytes);
};

using CompleteNotifyMap = std::map<std::string, std::vector<CompleteNotifyRecord>>;

class CCompleteNotifyFile final {
 public:
  CCompleteNotifyFile();
  ~CCompleteNotifyFile() = default;
  CCompleteNotifyFile(const CCompleteNotifyFile&) = delete;
  CCompleteNotifyFile& operator=(const CCompleteNotifyFile&) = delete;

  // Appends one record to the stored file; the stored file is replaced only
  // when the new one has been packed whole.
  bool AddNotifyData(uint32_t type, const uint32_t values[4], const uint8_t block[16],
                     const char* text, const char* device_no);
  // A download notice; refused (false) when values[1] is 0 or 0xFFFFFFFF.
  bool AddDownloadNotifyData(const uint32_t values[4], const uint8_t block[16], const char* text,
                             const char* device_no);
  // Loads the stored notices into the object; the file stays (KeepOnly
  // removes what was taken). True with nothing read when there is no file.
  bool ReadFile();
  // Replaces the stored file with the given records, those still to be
  // sent; removes it when none are left. The old file stays on a failure.
  bool KeepOnly(const std::vector<CompleteNotifyRecord>& left);
  // Hands the download notices out by device number, in file order, reading
  // the file first when the object holds none.
  bool GetDownloadNotifyData(CompleteNotifyMap* out);

  const std::vector<CompleteNotifyRecord>& Records() const { return _records; }
  const std::string& StoredPath() const { return _stored_path; }
  const std::string& WorkPath() const { return _work_path; }

 private:
  bool AppendToWorkCopy(const CompleteNotifyRecord& record);
  bool PackWorkCopy();
  bool ReadWorkCopy();

  std::string _stored_path;
  std::string _work_path;
  std::vector<CompleteNotifyRecord> _records;
};
