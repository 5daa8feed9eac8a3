// The tests' side of the stand-in service (tools/standin), which tools/test
// starts once per run: the URLs of its routes in a namespace of the running
// test's own, scenario control, the request log, and Connection.info texts
// that point the programs at it. Control requests go over plain WinHTTP, not
// through the client under test.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "OvWindows.h"

namespace ovtest {

enum StandInListener {
  kStandInHttp,
  kStandInHttps,      // certificate of the test CA, trusted in the prefix
  kStandInUntrusted,  // self-signed certificate that nothing trusts
};

struct StandInPart {
  std::string name;
  std::string filename;
  bool has_filename = false;
  std::string content;
};

struct StandInRequest {
  std::string method;
  std::string path;  // without the namespace prefix
  std::string query;
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
  std::map<std::string, std::string> form;  // decoded values
  std::vector<StandInPart> parts;
  // What the route read from the body (routes/logupload.py: the archive's
  // entries), in order.
  std::vector<std::pair<std::string, std::string>> notes;

  // The first header of that name (case-insensitive); empty when none.
  std::string Header(const std::string& name) const;
  bool HasHeader(const std::string& name) const;
};

class CStandIn final {
 public:
  CStandIn();
  ~CStandIn() = default;
  CStandIn(const CStandIn&) = delete;
  CStandIn& operator=(const CStandIn&) = delete;

  // Whether tools/test published the service's ports.
  bool IsRunning() const { return _ports[kStandInHttp] != 0; }
  int Port(StandInListener listener) const { return _ports[listener]; }
  const std::string& Namespace() const { return _namespace; }

  // The URL of a route path ("/echo") in this test's namespace.
  std::string Url(const std::string& path, StandInListener listener = kStandInHttp) const;
  // Scenario of one path ("*": all), as "status=404&delay_ms=100".
  bool Set(const std::string& path, const std::string& scenario) const;
  bool Reset() const;
  std::vector<StandInRequest> Requests() const;
  // Waits until the log holds at least count requests; false after the limit.
  bool WaitForRequests(size_t count, DWORD limit_ms) const;

  // "id,URL" lines sending every connection id to this namespace.
  std::string ConnectionInfo(StandInListener listener = kStandInHttp) const;

 private:
  bool Control(const std::string& command, std::string* reply) const;

  int _ports[3] = {};
  std::string _namespace;
};

// Parses the stand-in's request log text.
std::vector<StandInRequest> ParseStandInLog(const std::string& text);

// Byte i of the stand-in's "/bytes" route.
inline char StandInPatternByte(size_t i) { return static_cast<char>((i ^ (i >> 8)) & 0xFF); }

}  // namespace ovtest
