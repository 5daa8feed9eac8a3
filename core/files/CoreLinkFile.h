// The core's side of the link file: record lookups by data id and by map
// path, the record setter, and the record dump. The core alone changes
// records; the rest of the class is the foundation's. One object serves one
// thread; the file carries no lock between programs.
#pragma once

#include "OstrovelleLite/PcLinkFile.h"

#include <cstdint>
#include <optional>
#include <string>

// What SetDataRecord puts into a record. Callers read the old year, unit
// word and unit value first and pass them back unchanged.
struct LinkRecordValues {
  uint32_t data_id = 0;
  uint32_t version = 0;
  uint16_t year = 0;  // decimal, as 2009; stored in binary-coded decimal
  uint16_t status = 0;
  std::optional<std::string> src_path;  // kept when not given
  std::optional<std::string> dst_path;  // kept when not given
  uint32_t unit_word = 0;
  uint8_t unit_value = 0;
  // Map records only: the record whose SRCPATH is this name, whole
  // ("SEARCH1" never finds "SEARCH10"). Empty for every other data id.
  std::string match_path;
};

namespace core {

class CPcLinkFile final : public ::CPcLinkFile {
 public:
  using ::CPcLinkFile::CPcLinkFile;

  // By data id (the first record of that id in file order).
  bool IsExistDataID(uint32_t data_id) const;
  int64_t GetRecordWord1(uint32_t data_id) const;  // -1 when none
  int GetRecordWord2(uint32_t data_id) const;      // 255 when none
  std::string GetSrcPath(uint32_t data_id) const;
  std::string GetDstPath(uint32_t data_id) const;

  // Over the map records, the first whose SRCPATH begins with `path`; an
  // empty path finds nothing.
  uint16_t GetYearByPath(const std::string& path) const;  // 0 when none
  int GetStatusByPath(const std::string& path) const;     // -1 when none
  int64_t GetRecordWord1ByPath(const std::string& path) const;
  int GetRecordWord2ByPath(const std::string& path) const;
  std::string GetDstPathBySrcPath(const std::string& path) const;

  // Replaces one record and writes the file; never adds a record (a missing
  // one leaves the records as they are, the file is written all the same).
  bool SetDataRecord(const LinkRecordValues& values);
  void DumpRecord() const;
};

}  // namespace core
