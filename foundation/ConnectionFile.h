// The table of server connections (id, URL, the parameter ids that are sent)
// and the builders that turn a connection id and the attached parameter
// values into a URL with a query, a form body or a multipart body.
// "Connection.info" beside the program may replace URLs; the environment
// variable OV_CONNECTION_INFO, when set, names that file instead (tests point
// every program of one test at their own stand-in routes that way).
// One object per process (GetInstance); builders and lookups are called from
// one thread at a time, as each request is prepared on its caller's thread.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "ConnectionParameterData.h"

struct ConnectionEntry {
  int id = -1;
  std::string url;
  std::vector<int> parameter_ids;  // in the order in which they are sent
};

// A query or form text with the values of "pass" and "otp" replaced, for
// log lines: passwords and one-time credentials never reach the log.
std::string MaskRequestSecrets(const std::string& text);

class CConnectionFile final {
 public:
  static constexpr const char* kBoundary = "OstrovelleBoundary";

  // info_path: the file of URL replacements; empty: the default place.
  explicit CConnectionFile(std::string info_path = std::string());
  ~CConnectionFile() = default;
  CConnectionFile(const CConnectionFile&) = delete;
  CConnectionFile& operator=(const CConnectionFile&) = delete;

  static CConnectionFile& GetInstance();
  // The default place of the replacement file.
  static std::string DefaultInfoPath();
  // The URL of a row as built in; empty for an unknown id.
  static std::string GetBuiltInUrl(int id);

  // Enters the built-in rows and applies the replacement file. False when
  // the file exists but cannot be read; the built-in rows stay all the same.
  bool Read();
  bool HasTestServerInfo() const;

  void SetParameters(const ConnectionParameterData& data) { _parameters = data; }
  const ConnectionParameterData& Parameters() const { return _parameters; }

  std::string GetUrl(int id);
  std::string BuildRequestUrl(int id, const ConnectionParameterData* data);
  // False (body untouched) when the body cannot be built; the reason is logged.
  bool BuildFormData(int id, std::string* body);
  bool BuildMultipartData(int id, std::string* body);

  const std::string& InfoPath() const { return _info_path; }

 private:
  bool EnsureRead();
  // The row for a build: false with the two build-failure lines.
  bool FindEntryForBuild(int id, ConnectionEntry* entry);
  void ApplyInfoLine(const std::string& line, int line_number);
  bool AppendMultipartPart(int parameter_id, std::string& body);

  std::string _info_path;
  std::map<int, ConnectionEntry> _entries;
  ConnectionParameterData _parameters;
};
