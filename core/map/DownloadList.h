// The download list: the server's text answer to which data sets exist for
// the unit, one comma-separated line per data set (kind, detail, version,
// year, size, ...). CDownloadListData is one record, CDownloadList a list of
// them with the reader of a whole reply, copying, merging and the order in
// which the chosen records are downloaded. Lists belong to one thread (the
// map charge's worker).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CDownloadListData final {
 public:
  uint8_t result = 0;       // field 0, hexadecimal; non-zero: not offered
  uint8_t data_kind = 0;    // field 1, hexadecimal
  uint8_t detail = 0;       // field 2, hexadecimal
  std::string version;      // field 3, "M.N" with M and N hexadecimal
  uint32_t year = 0;        // field 4, decimal, up to "年度版"
  uint64_t size = 0;        // field 5, decimal, bytes
  uint8_t update_mark = 0;  // field 6; 1: taken only with the user's yes
  uint8_t field7 = 0;
  uint8_t order = 0;  // field 8, a sort key and a flag of the data download
  uint8_t field9 = 0;
  std::string text_a;  // field 10
  std::string text_b;  // field 11
  // Set by the analysis: the data set lies complete on the PC.
  bool downloaded = false;

  // Reads one line into the record (comment cut, fields 0 to 11, missing
  // ones keep their defaults). True when the record's result is 0; a null
  // line is false.
  static bool SetData(const char* line, CDownloadListData* record);

  // The version text as a 32-bit word: the hexadecimal number before the
  // first "." in the top byte, OR the low 24 bits of the one after it; 0
  // without a ".".
  static uint32_t GetVersionNumber(const std::string& version);
  uint32_t GetVersionNumber() const { return GetVersionNumber(version); }
};

class CDownloadList final {
 public:
  using Records = std::vector<CDownloadListData>;

  CDownloadList() = default;
  ~CDownloadList() = default;
  CDownloadList(const CDownloadList&) = default;
  CDownloadList& operator=(const CDownloadList&) = default;

  // Reads a whole reply (bytes with their size, no NUL needed). An empty
  // reply leaves the list as it is and is true. A reply whose first two
  // characters read as a non-zero hexadecimal number is refused: false,
  // with those characters read as decimal in *server_code. Otherwise the
  // list is replaced by the lines whose result is 0; true.
  static bool SetDownloadList(const char* reply, uint32_t* server_code, CDownloadList* list,
                              size_t size);
  // Replaces the destination's records with copies of the source's.
  static bool GetDownloadList(CDownloadList* destination, const CDownloadList& source);
  // Overwrites the record of the same kind, detail and version text
  // (compared case-insensitively) or appends the record.
  static bool AddDownloadList(const CDownloadListData& record, CDownloadList* list);
  // True when a goes before b: smaller year, then larger kind, larger
  // detail, smaller order value, larger version (its digits read as a
  // decimal number).
  static bool IsBefore(const CDownloadListData& a, const CDownloadListData& b);
  // Sorts by IsBefore; equal records keep their order.
  void Sort();

  void Clear() { _records.clear(); }
  void Append(const CDownloadListData& record) { _records.push_back(record); }
  bool IsEmpty() const { return _records.empty(); }
  size_t GetCount() const { return _records.size(); }
  const Records& GetRecords() const { return _records; }
  Records& GetRecords() { return _records; }

 private:
  Records _records;
};
