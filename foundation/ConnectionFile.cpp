// The connection table and the request builders; see ConnectionFile.h.
#include "ConnectionFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "EnvironmentOverrides.h"
#include "Folders.h"
#include "Handle.h"
#include "Log.h"
#include "OstrovelleLite/WholeFile.h"
#include "StringUtil.h"
#include "xString.h"

namespace {

constexpr int kMaxParameters = 20;
constexpr size_t kMaxLineLength = 1023;
constexpr size_t kMaxLoggedBody = 1023;

struct BuiltInConnection {
  int id;
  const char* url;
  int parameters[kMaxParameters];  // 0 ends the list
};

#define OV_MAKER_SITE "http://www.brennik.co.jp"
#define OV_PORTAL "https://portal.ostrovelle-ev.jp"
#define OV_APP_SERVER "https://pcapp.ostrovelle-ev.jp"
#define OV_PROBE_SERVER "https://probe.ostrovelle-ev.jp"
#define OV_ON_DEMAND_SERVER "https://qzt.ostrovelle-ev.jp"

#define OV_PORTAL_PARAMETERS 200, 201, 202
#define OV_DATA_PORTAL_PARAMETERS 200, 201, 202, 60, 61, 203, 204
#define OV_TRAFFIC_PARAMETERS(year) 7, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, year, 44, 45
#define OV_RECEIVER_PARAMETERS(fc) fc, 8, 3, 71, 72, 73, 74, 75, 76

const BuiltInConnection kConnections[] = {
    {0, OV_MAKER_SITE "/car/ostrovelle/ostrovelle_ev/index.html", {}},
    {1, OV_MAKER_SITE "/car/ostrovelle/ostrovelle_ev/onlinemanual/index.html", {}},
    {2, OV_PORTAL "/evnavi/PcAppTopLite.html", {OV_PORTAL_PARAMETERS}},
    {3, OV_PORTAL "/evnavi/PcAppTopLite.html", {OV_PORTAL_PARAMETERS}},
    {4, OV_APP_SERVER "/pcapp/DeviceNoUserAuthenticationAPI", {1, 2, 8, 3}},
    {5, OV_APP_SERVER "/pcapp/GetLatestPcaplAPI", {10, 11}},
    {6, OV_PROBE_SERVER "/probe/OFPB", {30, 4, 9}},
    {7, OV_PROBE_SERVER "/probe/OFPB", {30, 7, 31}},
    {8, OV_PROBE_SERVER "/probe/OFPB", {30, 7, 31}},
    {9, OV_PROBE_SERVER "/probe/OFPB", {30, 7, 31}},
    {10, OV_PROBE_SERVER "/probe/OFPB", {30, 7, 31}},
    {11, "http://wlink.ostrovelle-ev.jp/wlink/", {}},
    {12, OV_ON_DEMAND_SERVER "/cgi-bin/qzt.cgi", {OV_TRAFFIC_PARAMETERS(43)}},
    {13, OV_APP_SERVER "/pcapp/TransmissionRateUrlAPI", {78}},
    {14, OV_APP_SERVER "/pcapp/TransmissionRateRegistAPI", {8, 3, 77}},
    {15, OV_APP_SERVER "/pcapp/TransmissionRateLimitAPI", {8, 3}},
    {16, OV_APP_SERVER "/pcapp/DownloadListLiteAPI", {8, 3, 80, 81, 82, 83, 84, 85}},
    {17, OV_APP_SERVER "/pcapp/GetConfUrlLiteAPI", {8, 3, 60, 61, 63}},
    {18, OV_APP_SERVER "/pcapp/ReceiverLiteAPI", {OV_RECEIVER_PARAMETERS(70)}},
    {19, OV_APP_SERVER "/pcapp/ReceiverLiteAPI", {OV_RECEIVER_PARAMETERS(30)}},
    {20, OV_PORTAL "/evnavi/PcAppTopLite.html", {OV_DATA_PORTAL_PARAMETERS}},
    {21, OV_PORTAL "/evnavi/PcAppTopLite.html", {OV_DATA_PORTAL_PARAMETERS}},
    {22, OV_PORTAL "/evnavi/PcAppTopLite.html", {OV_DATA_PORTAL_PARAMETERS}},
    {23, OV_APP_SERVER "/pcapp/LogUploadCheckAPI", {8, 3}},
    {24, OV_APP_SERVER "/pcapp/LogUploadAPI", {8, 3, 90}},
    {25, OV_PORTAL "/evnavi/PcAppTopLite.html", {OV_PORTAL_PARAMETERS}},
    {26, "https://wlink36.ostrovelle-ev.jp/wlink36/", {}},
    {27, OV_ON_DEMAND_SERVER "/cgi-bin/qzt.cgi", {OV_TRAFFIC_PARAMETERS(100)}},
    {28, OV_PROBE_SERVER "/probe/OFPB", {30, 7, 31, 101}},
    {29, OV_PROBE_SERVER "/probe/OFPB", {30, 7, 31, 101, 102, 103, 104, 105}},
    {30, OV_PROBE_SERVER "/probe/OFPB", {30, 7, 31, 101}},
};

CConnectionFile g_connection_file;

bool ParseId(const std::string& text, int* id) {
  const std::string trimmed = TrimString(text);
  if (trimmed.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long value = strtol(trimmed.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || value < INT_MIN || value > INT_MAX) return false;
  *id = static_cast<int>(value);
  return true;
}

// Connection.info and an uploaded log file are small; anything larger is
// not what it claims to be.
constexpr size_t kMaxFileSize = 64 * 1024 * 1024;

bool IsSecretKey(const std::string& key) { return key == "pass" || key == "otp"; }

}  // namespace

std::string MaskRequestSecrets(const std::string& text) {
  std::string out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of("&?", start);
    if (end == std::string::npos) end = text.size();
    const std::string pair = text.substr(start, end - start);
    const size_t equals = pair.find('=');
    if (equals != std::string::npos && IsSecretKey(pair.substr(0, equals))) {
      out += pair.substr(0, equals + 1) + "****";
    } else {
      out += pair;
    }
    if (end == text.size()) break;
    out += text[end];
    start = end + 1;
  }
  return out;
}

CConnectionFile::CConnectionFile(std::string info_path) : _info_path(std::move(info_path)) {}

CConnectionFile& CConnectionFile::GetInstance() { return g_connection_file; }

std::string CConnectionFile::DefaultInfoPath() {
  const std::string overridden = GetEnvironmentOverride(kOverrideConnectionInfo);
  if (!overridden.empty()) return overridden;
  return GetModuleFolder() + "Connection.info";
}

std::string CConnectionFile::GetBuiltInUrl(int id) {
  for (const BuiltInConnection& row : kConnections) {
    if (row.id == id) return row.url;
  }
  return std::string();
}

bool CConnectionFile::HasTestServerInfo() const {
  const std::string path = _info_path.empty() ? DefaultInfoPath() : _info_path;
  if (!PathFileExists(path)) return false;
  OV_LOG(kLogInfo, "検証用接続情報あり");
  return true;
}

bool CConnectionFile::Read() {
  for (const BuiltInConnection& row : kConnections) {
    if (row.id == -1) continue;
    ConnectionEntry entry;
    entry.id = row.id;
    entry.url = row.url;
    for (int id : row.parameters) {
      if (id != 0) entry.parameter_ids.push_back(id);
    }
    _entries[row.id] = entry;
  }
  if (_info_path.empty()) _info_path = DefaultInfoPath();
  if (!PathFileExists(_info_path)) return true;

  std::string bytes;
  DWORD error = 0;
  const int read = ReadWholeFile(_info_path, kMaxFileSize, &bytes, &error);
  if (read == kWholeFileNotOpened) {
    OV_LOG(kLogError, "Connection.infoファイルオープン失敗(ERR:0x%lX).%s", error,
           _info_path.c_str());
    return false;
  }
  if (read != kWholeFileRead) {
    OV_LOG(kLogError, "Connection.infoファイル読み込み失敗(ERR:0x%lX).サイズ:%d", error,
           static_cast<int>(bytes.size()));
    return false;
  }
  // A file saved by an editor that marks UTF-8 begins with a byte-order mark.
  size_t start = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  int line_number = 0;
  while (start < bytes.size()) {
    const size_t lf = bytes.find('\n', start);
    const size_t next = lf == std::string::npos ? bytes.size() : lf + 1;
    size_t end = lf == std::string::npos ? bytes.size() : lf;
    if (end > start && bytes[end - 1] == '\r') --end;
    ++line_number;
    if (end == start) break;  // an empty line ends the list
    if (end - start <= kMaxLineLength) {
      ApplyInfoLine(bytes.substr(start, end - start), line_number);
    }
    start = next;
  }
  return true;
}

void CConnectionFile::ApplyInfoLine(const std::string& line, int line_number) {
  std::string id_text;
  int id = 0;
  if (!SplitQuotedField(line, 0, ',', &id_text) || !ParseId(id_text, &id)) {
    OV_LOG(kLogError, "接続ファイル不正 行:%d", line_number);
    return;
  }
  std::string url;
  if (!SplitQuotedField(line, 1, ',', &url)) return;
  const auto it = _entries.find(id);
  if (it == _entries.end()) {
    OV_LOG(kLogError, "接続ファイル不正 ID:%d", id);
    return;
  }
  it->second.url = TrimString(url);
}

bool CConnectionFile::EnsureRead() { return !_entries.empty() || Read(); }

std::string CConnectionFile::GetUrl(int id) {
  if (!EnsureRead()) return std::string();
  const auto it = _entries.find(id);
  return it == _entries.end() ? std::string() : it->second.url;
}

std::string CConnectionFile::BuildRequestUrl(int id, const ConnectionParameterData* data) {
  if (data) SetParameters(*data);
  if (!EnsureRead()) return std::string();
  const auto it = _entries.find(id);
  if (it == _entries.end() || it->second.url.empty()) return std::string();
  std::string url = it->second.url;
  bool first = url.find('?') == std::string::npos;
  for (int parameter : it->second.parameter_ids) {
    url += first ? "?" : "&";
    first = false;
    url += ConnectionParameterData::GetKey(parameter) + "=" + _parameters.GetValue(parameter);
  }
  return url;
}

bool CConnectionFile::FindEntryForBuild(int id, ConnectionEntry* entry) {
  if (!EnsureRead()) {
    OV_LOG(kLogError, "送信データ作成失敗:Connection.info読取失敗");
    return false;
  }
  const auto it = _entries.find(id);
  if (it == _entries.end()) {
    OV_LOG(kLogError, "送信データ作成失敗:該当リストなし");
    return false;
  }
  *entry = it->second;
  return true;
}

bool CConnectionFile::BuildFormData(int id, std::string* body) {
  ConnectionEntry entry;
  if (!FindEntryForBuild(id, &entry)) return false;
  std::string out;
  bool first = true;
  for (int parameter : entry.parameter_ids) {
    const std::string value = _parameters.GetValue(parameter);
    const bool is_first = first;
    first = false;
    if (value.empty()) {
      if (ConnectionParameterData::IsRequired(parameter)) {
        OV_LOG(kLogError, "送信データ作成失敗:必須データなし");
        _parameters.ClearFreePairs();
        return false;
      }
      // The maker is sent even when the unit does not know it.
      if (parameter != 103) continue;
    }
    if (!is_first) out += '&';
    out += ConnectionParameterData::GetKey(parameter) + "=" + value;
  }
  for (const auto& pair : _parameters.FreePairs()) {
    if (!pair.second.empty()) out += "&" + pair.first + "=" + pair.second;
  }
  _parameters.ClearFreePairs();
  if (out.empty()) {
    OV_LOG(kLogError, "送信データ作成失敗");
    return false;
  }
  std::string shown = MaskRequestSecrets(out);
  if (shown.size() > kMaxLoggedBody) shown.resize(Cp932SafeLength(shown.data(), kMaxLoggedBody));
  OV_LOG(kLogTrace, "送信データ(%dbyte)：%s", static_cast<int>(out.size()), shown.c_str());
  *body = std::move(out);
  return true;
}

bool CConnectionFile::AppendMultipartPart(int parameter, std::string& body) {
  const std::string key = ConnectionParameterData::GetKey(parameter);
  std::string header;
  std::string content;
  if (_stricmp(key.c_str(), "file") == 0) {
    const std::string path = _parameters.GetValue(parameter);
    if (!path.empty()) {
      DWORD error = 0;
      const int read = ReadWholeFile(path, kMaxFileSize, &content, &error);
      if (read == kWholeFileNotOpened) {
        OV_LOG(kLogError, "送信データ作成失敗:ファイルオープン失敗 PATH:%s", path.c_str());
        return false;
      }
      if (read != kWholeFileRead) {
        OV_LOG(kLogError, "送信データ作成失敗:ファイル読込み失敗 PATH:%s ERR:0x%08lX", path.c_str(),
               error);
        return false;
      }
    }
    header = "Content-Disposition: form-data; name=\"" + key + "\"; filename=\"" +
             PathFindFileName(path) + "\"\r\nContent-Type: application/octet-stream\r\n";
  } else {
    content = _parameters.GetValue(parameter);
    header = "Content-Disposition: form-data; name=\"" + key + "\"\r\n";
  }
  if (content.empty()) {
    if (!ConnectionParameterData::IsRequired(parameter)) return true;
    OV_LOG(kLogError, "送信データ作成失敗:必須データなし");
    return false;
  }
  body += std::string("--") + kBoundary + "\r\n" + header + "\r\n";
  body += content;
  body += "\r\n";
  return true;
}

bool CConnectionFile::BuildMultipartData(int id, std::string* body) {
  ConnectionEntry entry;
  if (!FindEntryForBuild(id, &entry)) return false;
  std::string out;
  for (int parameter : entry.parameter_ids) {
    if (!AppendMultipartPart(parameter, out)) {
      _parameters.ClearFreePairs();
      return false;
    }
  }
  out += std::string("--") + kBoundary + "--";
  _parameters.ClearFreePairs();
  OV_LOG(kLogTrace, "送信データ(%dbyte)", static_cast<int>(out.size()));
  *body = std::move(out);
  return true;
}
