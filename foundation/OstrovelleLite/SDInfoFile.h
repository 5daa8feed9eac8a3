// The card information file "\PC\SDINFO.DAT": per charge kind (or id) the
// time and outcome of the last charge, as 128-byte records. The foundation
// reads it; the core writes it. One object serves one thread.
#pragma once

#include "OvWindows.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct SDInfoRecord {
  static constexpr size_t kSize = 128;
  static constexpr size_t kTextSize = 92;
  uint8_t bytes[kSize] = {};

  uint32_t Id() const;
  SYSTEMTIME Date() const;
  int32_t First() const;  // the charge's stage
  std::string Text() const;
  int32_t Fourth() const;  // the map version
  int32_t Second() const;  // the result word
  int32_t Third() const;   // the data version

  void SetId(uint32_t id);
  void SetDate(const SYSTEMTIME& date);
  void SetFirst(int32_t v);
  void SetText(const std::string& text);  // cut to 91 bytes, whole characters
  void SetFourth(int32_t v);
  void SetSecond(int32_t v);
  void SetThird(int32_t v);
};

class CSDInfoFile {
 public:
  // Reads the card's file at once; with no drive letter it stays empty.
  explicit CSDInfoFile(char drive);
  virtual ~CSDInfoFile() = default;
  CSDInfoFile(const CSDInfoFile&) = default;
  CSDInfoFile& operator=(const CSDInfoFile&) = default;

  // Appends the file's records to those held: true when the card is there
  // and the file was read to its end or does not exist.
  bool Read();
  // False when there is no record of that id (date zeroed, first value -1,
  // text emptied) or a required output is missing.
  bool GetRecord(uint32_t id, SYSTEMTIME* date, int* first, std::string* text, int* second,
                 int* third = nullptr, int* fourth = nullptr) const;

  const std::string& GetPath() const { return _path; }
  const std::vector<SDInfoRecord>& Records() const { return _records; }

 protected:
  char _drive;
  std::string _path;
  std::vector<SDInfoRecord> _records;
};
