// The tests' client of the stand-in service; see StandIn.h.
#include "StandIn.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "ConnectionFile.h"
#include "Handle.h"
#include "StringUtil.h"
#include "WinHttpWrapper.h"

namespace ovtest {

namespace {

volatile LONG g_namespace_counter = 0;

int PortFromEnvironment(const char* name) {
  char value[32] = {};
  const DWORD n = GetEnvironmentVariableA(name, value, sizeof(value));
  return n > 0 && n < sizeof(value) ? atoi(value) : 0;
}

// A plain GET to the stand-in's HTTP listener; false unless the status is 200.
bool HttpGet(int port, const std::string& path, std::string* body) {
  CWinHttpHandle session(WinHttpOpen(L"ovtest-control", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                     WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) return false;
  WinHttpSetTimeouts(session.Get(), 10000, 10000, 10000, 120000);
  CWinHttpHandle connection(
      WinHttpConnect(session.Get(), L"127.0.0.1", static_cast<INTERNET_PORT>(port), 0));
  if (!connection) return false;
  CWinHttpHandle request(WinHttpOpenRequest(connection.Get(), L"GET", ToWide(path).c_str(), nullptr,
                                            WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0));
  if (!request ||
      !WinHttpSendRequest(request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, nullptr, 0, 0, 0) ||
      !WinHttpReceiveResponse(request.Get(), nullptr)) {
    return false;
  }
  DWORD status = 0;
  DWORD size = sizeof(status);
  if (!WinHttpQueryHeaders(request.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                           WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX) ||
      status != 200) {
    return false;
  }
  body->clear();
  for (;;) {
    char buffer[16384];
    DWORD read = 0;
    if (!WinHttpReadData(request.Get(), buffer, sizeof(buffer), &read)) return false;
    if (read == 0) return true;
    body->append(buffer, read);
  }
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') {
      out += '\\';
      ++i;
    } else if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
      out += static_cast<char>(strtol(text.substr(i + 2, 2).c_str(), nullptr, 16));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string TestNamespace() {
  std::string name = "test";
  if (const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info()) {
    name = std::string(info->test_suite_name()) + "." + info->name();
  }
  for (char& c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!plain) c = '-';
  }
  return FormatString("%s-%lu-%ld", name.c_str(), GetCurrentProcessId(),
                      static_cast<long>(InterlockedIncrement(&g_namespace_counter)));
}

}  // namespace

std::string StandInRequest::Header(const std::string& name) const {
  for (const auto& header : headers) {
    if (_stricmp(header.first.c_str(), name.c_str()) == 0) return header.second;
  }
  return std::string();
}

bool StandInRequest::HasHeader(const std::string& name) const {
  for (const auto& header : headers) {
    if (_stricmp(header.first.c_str(), name.c_str()) == 0) return true;
  }
  return false;
}

std::vector<StandInRequest> ParseStandInLog(const std::string& text) {
  std::vector<StandInRequest> requests;
  StandInRequest current;
  for (const std::string& line : SplitString(text, "\n")) {
    const std::vector<std::string> fields = SplitString(line, "\t", 3);
    if (fields.empty()) continue;
    const std::string name = fields.size() > 1 ? Unescape(fields[1]) : std::string();
    const std::string value = fields.size() > 2 ? Unescape(fields[2]) : std::string();
    const std::string& kind = fields[0];
    if (kind == "method") {
      current.method = value;
    } else if (kind == "path") {
      current.path = value;
    } else if (kind == "query") {
      current.query = value;
    } else if (kind == "header") {
      current.headers.emplace_back(name, value);
    } else if (kind == "form") {
      current.form[name] = value;
    } else if (kind == "part") {
      current.parts.push_back(StandInPart{name, std::string(), false, value});
    } else if (kind == "filename" && !current.parts.empty()) {
      current.parts.back().filename = value;
      current.parts.back().has_filename = true;
    } else if (kind == "note") {
      current.notes.emplace_back(name, value);
    } else if (kind == "body") {
      current.body = value;
    } else if (kind == "end") {
      requests.push_back(current);
      current = StandInRequest();
    }
  }
  return requests;
}

CStandIn::CStandIn() : _namespace(TestNamespace()) {
  _ports[kStandInHttp] = PortFromEnvironment("OV_STANDIN_HTTP");
  _ports[kStandInHttps] = PortFromEnvironment("OV_STANDIN_HTTPS");
  _ports[kStandInUntrusted] = PortFromEnvironment("OV_STANDIN_UNTRUSTED");
}

std::string CStandIn::Url(const std::string& path, StandInListener listener) const {
  // The certificates name "localhost"; plain HTTP goes to the address.
  const char* base = listener == kStandInHttp ? "http://127.0.0.1" : "https://localhost";
  return FormatString("%s:%d/t/%s%s", base, _ports[listener], _namespace.c_str(), path.c_str());
}

bool CStandIn::Control(const std::string& command, std::string* reply) const {
  if (!IsRunning()) return false;
  return HttpGet(_ports[kStandInHttp], "/_control/" + _namespace + "/" + command, reply);
}

bool CStandIn::Set(const std::string& path, const std::string& scenario) const {
  std::string reply;
  return Control("set?path=" + path + (scenario.empty() ? "" : "&" + scenario), &reply);
}

bool CStandIn::Reset() const {
  std::string reply;
  return Control("reset", &reply);
}

std::vector<StandInRequest> CStandIn::Requests() const {
  std::string text;
  if (!Control("log", &text)) return {};
  return ParseStandInLog(text);
}

bool CStandIn::WaitForRequests(size_t count, DWORD limit_ms) const {
  std::string reply;
  return Control(
      FormatString("wait?count=%u&timeout_ms=%lu", static_cast<unsigned>(count), limit_ms), &reply);
}

std::string CStandIn::ConnectionInfo(StandInListener listener) const {
  std::string text;
  for (int id = 0;; ++id) {
    const std::string url = CConnectionFile::GetBuiltInUrl(id);
    if (url.empty()) break;
    const size_t path = url.find('/', url.find("//") + 2);
    text += FormatString("%d,%s\r\n", id, Url(url.substr(path), listener).c_str());
  }
  return text;
}

}  // namespace ovtest
