// One information request; see InfoTransfer.h.
#include "info/InfoTransfer.h"

#include "ChargeKind.h"
#include "HttpExchange.h"
#include "Log.h"
#include "OstrovelleLite/UserAgent.h"
#include "WinHttpWrapper.h"

namespace {

constexpr DWORD kStopWaitMs = 30000;
const char kFormContentType[] = "application/x-www-form-urlencoded";

unsigned U(DWORD value) { return static_cast<unsigned>(value); }

uint32_t SetupFailure(const char* text) {
  const DWORD error = GetLastError();
  OV_LOG(kLogError, "%s[ERR:0x%08X]", text, U(error));
  return error | kInfoConnectFlag;
}

HANDLE StartTransfer(CWinHttpWrapper& http, const InfoTransfer& transfer) {
  if (transfer.verb == kHttpPost) {
    return http.Upload(transfer.form_body.data(), static_cast<DWORD>(transfer.form_body.size()),
                       kFormContentType, nullptr, nullptr);
  }
  const bool credentials = !transfer.user.empty() && !transfer.password.empty();
  return http.Download(credentials ? transfer.user.c_str() : nullptr,
                       credentials ? transfer.password.c_str() : nullptr);
}

}  // namespace

std::wstring InfoUserAgent(char drive) { return GetUserAgent(drive).GetUserAgentW(); }

uint32_t RunInfoTransfer(const InfoTransfer& transfer, std::vector<char>* reply,
                         DWORD* http_result) {
  const InfoTransferTexts& texts = *transfer.texts;
  *http_result = 0;
  CWinHttpWrapper http;
  if (!http.SetRequest(transfer.url.c_str(), 0, nullptr, true)) {
    return SetupFailure(texts.open_failed);
  }
  if (!http.OpenRequest(transfer.verb, InfoUserAgent(transfer.drive), nullptr)) {
    return SetupFailure(texts.connect_failed);
  }
  if (WaitForSingleObject(transfer.abort_event, 0) == WAIT_OBJECT_0) {
    OV_LOG(kLogInfo, "%s", texts.aborted_early);
    return CHARGE_RESULT_ABORT;
  }
  const HANDLE thread = StartTransfer(http, transfer);
  if (thread == nullptr) return SetupFailure(texts.connect_failed);

  DWORD error = 0;
  const TransferEnd end = WaitOrStop(http, thread, transfer.abort_event, kStopWaitMs, &error);
  if (end == TransferEnd::kAborted) {
    OV_LOG(kLogError, "%s", texts.aborted);
    return CHARGE_RESULT_ABORT;
  }
  if (end == TransferEnd::kFailed) {
    OV_LOG(kLogError, "%s ERR:0x%08X", texts.wait_failed, U(error));
    return kInfoWaitFailed;
  }
  const DWORD result = http.GetResult();
  if (result != 0) {
    *http_result = result;
    OV_LOG(kLogError, "%s[nResponse:0x%08X]", texts.http_failed, U(result));
    return (result & ~kHttpStatusFlag) | kInfoConnectFlag;
  }
  *reply = http.GetReply();
  return 0;
}
