// The values of the named request parameters that the servers expect, each
// formatted (and percent-encoded where the parameter table says so) when it
// is set, and the table of parameters itself: id, key on the wire, kind of
// value, length, required and encode flags, format.
// One object belongs to one thread at a time; copies are independent.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "OvWindows.h"

enum ConnectionParameterType {
  kParamNumber = 0,
  kParamNumber64 = 1,
  kParamText = 2,
  kParamByte = 3,
  kParamDate = 5,
  kParamVersion = 6,
};

struct ConnectionParameterRow {
  int id;
  int type;
  int length;  // -1: free length
  BYTE required;
  BYTE encode;
  const char* key;     // "%02d" in a key makes it a pattern taking an index
  const char* format;  // printf-style; applied by FormatParameterValue
};

// Applies a row format to numbers: literal bytes, "%%" and conversions of the
// form %[0][width](d|X), one number per conversion. False (out untouched)
// when the format holds other conversions or a different count of them, so a
// format never reads an argument that was not given.
bool FormatParameterValue(const char* format, const int64_t* values, size_t count,
                          std::string* out);

class ConnectionParameterData {
 public:
  ConnectionParameterData() = default;
  virtual ~ConnectionParameterData() = default;
  ConnectionParameterData(const ConnectionParameterData&) = default;
  ConnectionParameterData& operator=(const ConnectionParameterData&) = default;

  // The first row with the id; null when the table has none.
  static const ConnectionParameterRow* FindRow(int id);
  static const ConnectionParameterRow* Rows(size_t* count);

  void SetParameter(int id, const char* text);
  void SetIntParameter(int id, int32_t value);
  void SetCcidHeadParameter(int id, uint32_t value);

  // The version text of a module's file (null: the running program), ","
  // turned into "." and blanks removed; "0.0.0.0" for an empty module path,
  // "0.0.0.1" for a missing file, "0.0.0.2" for any other failure.
  static std::string GetAplVersion(HMODULE module);
  static std::string GetAplVersionOfFile(const std::string& path);
  static std::string NormalizeVersionText(const std::string& text);

  bool SetUserParameters(const char* nickname, const char* password, const char* device_no,
                         uint32_t ccid_head);
  bool SetAplParameters(int32_t application_type);
  bool SetUserAgentParameters(const char* user_agent, const char* nickname, int32_t function_code);
  bool SetDeviceParameters(const char* device_no, uint32_t ccid_head);
  bool SetLogFileParameters(const char* device_no, uint32_t ccid_head, const char* log_file);

  // Readers of the connection file.
  static std::string GetKey(int id);
  static bool IsRequired(int id);  // an id missing from the table counts as required
  std::string GetValue(int id) const;
  bool HasValue(int id) const { return _values.count(id) != 0; }
  const std::map<std::string, std::string>& FreePairs() const { return _free_pairs; }
  void ClearFreePairs() { _free_pairs.clear(); }

 protected:
  // Stores a formatted value under the row's id, encoded when the row says so.
  void StoreValue(const ConnectionParameterRow& row, const std::string& text);
  // Stores a formatted value under the row's key pattern filled with index.
  void StoreIndexedValue(const ConnectionParameterRow& row, int index, const std::string& text);
  static std::string EncodeForRow(const ConnectionParameterRow& row, const std::string& text);
  // "%04d%04X": the low half in decimal, the high half in hexadecimal.
  static std::string FormatCcidHead(uint32_t value);

 private:
  std::map<int, std::string> _values;
  std::map<std::string, std::string> _free_pairs;
};
