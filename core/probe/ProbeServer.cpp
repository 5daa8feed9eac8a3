// The probe upload charge's server calls: consent inquiry, upload and
// completion notice, their parameters and the reply words. See
// ProbeUpload.h.
#include <cstring>
#include <new>

#include "ChargeKind.h"
#include "ConnectionFile.h"
#include "CoreConnectionParameterData.h"
#include "Log.h"
#include "OstrovelleLite/UserAgent.h"
#include "ProbeUpload.h"
#include "StringUtil.h"
#include "HttpExchange.h"
#include "WinHttpWrapper.h"

namespace {

constexpr DWORD kStopWaitMs = 30000;
constexpr DWORD kTransportFlag = 0x100000;
const char kFormType[] = "application/x-www-form-urlencoded";

unsigned Hex(DWORD value) { return static_cast<unsigned>(value); }

int FunctionCode(int api) {
  switch (api) {
    case kApiCheckConsent:
      return 41;
    case kApiProbeUpload:
      return 44;
    case kApiProbeUploadComp:
      return 43;
    case kApiCheckConsentNick:
      return 97;
    case kApiProbeUploadDiru:
      return 98;
    case kApiProbeUploadCompNick:
      return 99;
    default:
      return 0;
  }
}

// The reply word for the log: up to the line's end, printable only.
std::string LoggedWord(const std::string& word) {
  std::string out;
  for (char c : word.substr(0, 64)) {
    if (c == '\r' || c == '\n') break;
    out += (static_cast<unsigned char>(c) < 0x20) ? '?' : c;
  }
  return out;
}

}  // namespace

DWORD CProbeUpload::ReplyWordCode(const std::string& word) {
  const std::string head = word.substr(0, 3);
  if (head == "C00" || head == "S00" || head == "R00") return 0;
  if (head == "ABT") return CHARGE_RESULT_ABORT;
  if (head == "E99") return 0x200499;
  if (head.size() == 3 && head[1] == '0' && head[2] >= '1') {
    const DWORD n = static_cast<DWORD>(head[2] - '0');
    if (head[0] == 'C' && n <= 7) return 0x200200 + n;
    if (head[0] == 'S' && n <= 5) return 0x200300 + n;
    if (head[0] == 'R' && n <= 5) return 0x200400 + n;
  }
  return kProbeParameter;
}

DWORD CProbeUpload::CheckConsent(const ProbeSendIdentity& identity) {
  OV_LOG(kLogInfo, "CheckConsent Start");
  const auto cached = _consent_cache.find(identity.record.ccid);
  DWORD result = 0;
  if (cached != _consent_cache.end()) {
    OV_LOG(kLogInfo, "CheckConsent 取得済み");
    result = cached->second;
  } else {
    const int api = _unit_type == 2 ? kApiCheckConsentNick : kApiCheckConsent;
    result = _PostData(api, identity, nullptr, 0);
    _consent_cache[identity.record.ccid] = result;
  }
  OV_LOG(kLogInfo, "CheckConsent End[Ret=%d]", static_cast<int>(result));
  return result;
}

DWORD CProbeUpload::ProbeUpload(const ProbeSendIdentity& identity,
                                const std::vector<uint8_t>& data) {
  OV_LOG(kLogInfo, "ProbeUpload Start");
  const int api = _unit_type == 2 ? kApiProbeUploadDiru : kApiProbeUpload;
  const DWORD result = _PostData(api, identity, data.data(), data.size());
  OV_LOG(kLogInfo, "ProbeUpload End[Ret=%d]", static_cast<int>(result));
  return result;
}

DWORD CProbeUpload::ProbeUploadComp(const ProbeSendIdentity& identity) {
  OV_LOG(kLogInfo, "ProbeUploadComp Start");
  const int api = _unit_type == 2 ? kApiProbeUploadCompNick : kApiProbeUploadComp;
  const DWORD result = _PostData(api, identity, nullptr, 0);
  OV_LOG(kLogInfo, "ProbeUploadComp End[Ret=%d]", static_cast<int>(result));
  return result;
}

DWORD CProbeUpload::_PostData(int api, const ProbeSendIdentity& identity, const uint8_t* data,
                              size_t size) {
  DWORD transport = 0;
  const std::string reply = PostData(api, &identity, data, size, &transport);
  // The word follows the first "="; the local abort mark stands alone.
  const size_t equals = reply.find('=');
  const std::string word = equals == std::string::npos ? reply : reply.substr(equals + 1);
  OV_LOG(kLogInfo, "CProbeUpload::_PostData - API:%d, SVRRET:%s", api, LoggedWord(word).c_str());
  DWORD result = ReplyWordCode(word);
  if (result != 0) OV_LOG(kLogError, "プローブ系通信時のエラー RES:0x%08X", Hex(result));
  if (transport != 0) {
    OV_LOG(kLogError, "プローブ系通信時のその他のエラー RES:0x%08X", Hex(transport));
    result = transport;
  }
  return result;
}

std::string CProbeUpload::PostData(int api, const ProbeSendIdentity* identity, const uint8_t* data,
                                   size_t size, DWORD* transport_error) {
  *transport_error = 0;
  const char* ccid = identity ? identity->record.ccid.c_str() : "";
  OV_LOG(kLogInfo, "PostData Start ID:%s Type:%d AddData:%08X AddDataSize:%d", ccid, api,
         static_cast<unsigned>(reinterpret_cast<UINT_PTR>(data)), static_cast<int>(size));
  const std::string reply = SendRequest(api, identity, data, size, transport_error);
  OV_LOG(kLogInfo, "PostData End[Ret=%s]", LoggedWord(reply).c_str());
  return reply;
}

bool CProbeUpload::BuildParameters(int api, const ProbeSendIdentity* identity,
                                   core::ConnectionParameterData* parameters) {
  const int fc = FunctionCode(api);
  if (fc == 0) {
    OV_LOG(kLogError, "パラメータエラー[para=%d]", api);
    return false;
  }
  if (!identity) {
    OV_LOG(kLogError, "%sパラメータエラー[para=%d]", api >= kApiCheckConsentNick ? "11Model " : "",
           api);
    return false;
  }
  const ProbeDiscrimination& r = identity->record;
  bool built = false;
  if (api == kApiCheckConsentNick || api == kApiProbeUploadCompNick) {
    built = parameters->SetUserNickParameter(r.ccid.c_str(), r.uid.c_str(),
                                             identity->nickname.c_str(), fc);
  } else if (api == kApiProbeUploadDiru) {
    built = parameters->SetUserDiruParameter(
        r.ccid.c_str(), r.uid.c_str(), identity->nickname.c_str(), r.unit_model.c_str(),
        r.maker.c_str(), r.application_version.c_str(), r.map_version.c_str(), fc);
  } else {
    built = parameters->SetUserParameter(r.ccid.c_str(), r.uid.c_str(), fc);
  }
  if (!built) OV_LOG(kLogError, "パラメータエラー[para=%d]", api);
  return built;
}

std::string CProbeUpload::SendRequest(int api, const ProbeSendIdentity* identity,
                                      const uint8_t* data, size_t size, DWORD* transport_error) {
  core::ConnectionParameterData parameters;
  if (!BuildParameters(api, identity, &parameters)) {
    *transport_error = kProbeRequestFailed;
    return std::string();
  }
  CConnectionFile& connections = CConnectionFile::GetInstance();
  connections.SetParameters(parameters);
  std::string body;
  const std::string url = connections.GetUrl(api);
  if (!connections.BuildFormData(api, &body) || url.empty()) {
    *transport_error = kProbeNoUrl;
    return std::string();
  }
  try {
    if (data) {
      // The raw bytes follow the form's fields unencoded.
      body += "&dat=";
      body.append(reinterpret_cast<const char*>(data), size);
    }
  } catch (const std::bad_alloc&) {
    OV_LOG(kLogError, "メモリ確保失敗");
    *transport_error = kProbeRequestFailed;
    return std::string();
  }
  CWinHttpWrapper http;
  if (!http.SetRequest(url.c_str(), 0, nullptr, true)) {
    OV_LOG(kLogError, "HTTPInitialize失敗 ERR:0x%08X", Hex(GetLastError()));
    *transport_error = kProbeHttpSetup;
    return std::string();
  }
  if (!http.OpenRequest(kHttpPost, GetUserAgent(GetDriveLetter()).GetUserAgentW(), nullptr)) {
    OV_LOG(kLogError, "Connect失敗 ERR:0x%08X", Hex(GetLastError()));
    *transport_error = kProbeHttpSetup;
    return std::string();
  }
  const HANDLE transfer =
      http.Upload(body.data(), static_cast<DWORD>(body.size()), kFormType, nullptr, nullptr);
  DWORD error = 0;
  const TransferEnd end = WaitOrStop(http, transfer, _GetAbortEvent(), kStopWaitMs, &error);
  if (end == TransferEnd::kDone) {
    const DWORD result = http.GetResult();
    if (result != 0) {
      OV_LOG(kLogError, "%dの要求失敗[nResponse:0x%08X]", api, Hex(result));
      _detail = result;
      *transport_error = (result & ~kHttpStatusFlag) | kTransportFlag;
      return std::string();
    }
    const std::vector<char>& reply = http.GetReply();
    if (reply.empty()) OV_LOG(kLogError, "データサイズエラーです。");
    return std::string(reply.begin(), reply.end());
  }
  if (end == TransferEnd::kAborted) {
    OV_LOG(kLogInfo, "プローブAPI待機時のキャンセル");
    return "ABT";
  }
  _detail = error;
  OV_LOG(kLogError, "プローブAPI待機時の致命的エラー ERR:0x%08X", Hex(_detail));
  *transport_error = kProbeRequestFailed;
  return std::string();
}
