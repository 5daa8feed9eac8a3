// "DL.DAT" in the download folder: one 304-byte record per data set that
// the map charge has downloaded there, with its local folder, so that a
// download can resume and old local data can be found and deleted. Finds,
// reads and deletes records and deletes the local data they describe, never
// outside the download folder. One object serves one thread; programs share
// the file without a lock (a writer re-reads it just before changing it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct DLManageRecord {
  static constexpr size_t kSize = 304;
  static constexpr size_t kProgressOffset = 8;
  static constexpr size_t kNameOffset = 12;
  static constexpr size_t kNameSize = 32;
  static constexpr size_t kLocalPathOffset = 44;
  static constexpr size_t kLocalPathSize = 260;
  uint8_t bytes[kSize] = {};

  uint8_t Major() const { return bytes[0]; }
  uint8_t Minor() const { return bytes[4]; }
  uint8_t Progress() const { return bytes[kProgressOffset]; }
  uint8_t RebuildFlag() const { return bytes[9]; }
  std::string Name() const;
  std::string LocalPath() const;

  void SetMajor(uint8_t v) { bytes[0] = v; }
  void SetMinor(uint8_t v) { bytes[4] = v; }
  void SetProgress(uint8_t v) { bytes[kProgressOffset] = v; }
  void SetRebuildFlag(uint8_t v) { bytes[9] = v; }
  // Cut at a character boundary so the NUL always fits.
  void SetName(const std::string& name);
  void SetLocalPath(const std::string& path);
};

// "<folder>\DL.DAT"; without an argument, of the download folder setting.
std::string GetDLManageFilePath();
std::string GetDLManageFilePath(const std::string& download_folder);

// Forward slashes become backslashes, "." parts go and ".." parts take the
// part before them away (never the drive or share). Empty stays empty.
std::string CanonicalizeLocalPath(const std::string& path);

// Whether `path` lies below `folder` (not the folder itself); both canonical.
bool IsPathInsideFolder(const std::string& path, const std::string& folder);

class CDownloadManageFile {
 public:
  enum SearchResult { kReadFailed = -1, kNoFile = -2, kNotFound = -3 };

  // DL.DAT of the download folder setting.
  CDownloadManageFile();
  // DL.DAT of a given download folder.
  explicit CDownloadManageFile(const std::string& download_folder);

  const std::string& GetPath() const { return _path; }
  // The record last read by GetDLManage.
  const DLManageRecord& DLManageData() const { return _record; }

  // Byte offset of the first record of that key (name compared exactly), or
  // a SearchResult.
  long Search(uint8_t major, uint8_t minor, const std::string& name) const;
  bool GetDLManage(uint8_t major, uint8_t minor, const std::string& name);
  // Rewrites DL.DAT without every record of that key (name compared
  // without regard to case). A damaged file is left as it is.
  bool DelDLManage(uint8_t major, uint8_t minor, const std::string& name);
  bool _DeleteLocalData(uint8_t major, uint8_t minor, const std::string& name,
                        const std::string& download_folder);
  bool _DeleteAllLocalData(const std::string& download_folder);

 protected:
  // DL.DAT whole: a WholeFileReadResult, with the platform error.
  int ReadRaw(std::string* bytes, unsigned long* error) const;
  static std::vector<DLManageRecord> SplitRecords(const std::string& bytes);

  std::string _path;
  DLManageRecord _record;
};
