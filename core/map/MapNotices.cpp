// The map charge's completion notices; see MapNotices.h.
#include <algorithm>
#include <cstdlib>

#include "ConnectionFile.h"
#include "CoreConnectionParameterData.h"
#include "Log.h"
#include "WinHttpWrapper.h"
#include "map/DownloadNotice.h"
#include "map/MapNotices.h"

namespace {

constexpr int kNoticeConnection = 18;
constexpr int32_t kNoticeFunction = 4;
// The request numbers its entries with two digits.
constexpr size_t kNoticesPerRequest = core::ConnectionParameterData::kMaxIndex + 1;

constexpr uint32_t kCodeNoDevice = 0x6FFFF;
constexpr uint32_t kCodeNoBody = 0x6FF05;
constexpr uint32_t kCodeNotSent = 0x16FF04;

// "RET=0" and nothing else but a line end or further fields.
bool IsAccepted(const std::vector<char>& reply, uint32_t* code) {
  const std::string text(reply.begin(), reply.end());
  *code = 0xFFFFFFFF;
  if (text.compare(0, 4, "RET=") != 0 || text.size() < 5 || text[4] < '0' || text[4] > '9') {
    return false;
  }
  *code = static_cast<uint32_t>(strtoul(text.c_str() + 4, nullptr, 10));
  return *code == 0;
}

}  // namespace

bool CMapNotices::SendStored() {
  OV_LOG(kLogTrace, "CMapCharge::_EndNotify - Start");
  bool result = true;
  CCompleteNotifyFile file;
  CompleteNotifyMap stored;
  if (!file.GetDownloadNotifyData(&stored)) {
    OV_LOG(kLogError,
           "CMapCharge::_EndNotify - "
           "ダウンロード完了通知リスト取得失敗[ERR:0x%08X]",
           static_cast<unsigned>(GetLastError()));
    result = false;
  } else {
    int count = 0;
    for (const auto& unit : stored) count += static_cast<int>(unit.second.size());
    // What the server does not take stays in the file, with the records
    // of other kinds; the file loses a notice only once it was taken.
    std::vector<CompleteNotifyRecord> left = file.Records();
    const bool read_any = count > 0 || !left.empty();
    OV_LOG(kLogTrace, "CMapCharge::_EndNotify - 完了通知未送信データ取得(ダウンロード) %d件",
           count);
    for (const auto& unit : stored) {
      // One request names one CCID: the unit's notices go per CCID, in order.
      std::vector<uint32_t> ccids;
      for (const CompleteNotifyRecord& record : unit.second) {
        if (std::find(ccids.begin(), ccids.end(), DownloadNotice::FromRecord(record).ccid_head) ==
            ccids.end()) {
          ccids.push_back(DownloadNotice::FromRecord(record).ccid_head);
        }
      }
      for (const uint32_t ccid : ccids) {
        std::vector<CompleteNotifyRecord> notices;
        for (const CompleteNotifyRecord& record : unit.second) {
          if (DownloadNotice::FromRecord(record).ccid_head == ccid) notices.push_back(record);
        }
        result = Send(ccid, unit.first, notices, &left) && result;
      }
    }
    if (read_any && !file.KeepOnly(left)) {
      OV_LOG(kLogError, "CMapCharge::_EndNotify - 完了通知未送信データ保存失敗 %dデータ分",
             static_cast<int>(left.size()));
      result = false;
    }
  }
  OV_LOG(kLogTrace, "CMapCharge::_EndNotify - End(%d)", result ? 1 : 0);
  return result;
}

bool CMapNotices::Send(uint32_t ccid, const std::string& device_no,
                       const std::vector<CompleteNotifyRecord>& notices,
                       std::vector<CompleteNotifyRecord>* unsent) {
  if (device_no.empty()) {
    // No request can ever carry them; kept, they would fail every later run.
    OV_LOG(kLogError, "CMapCharge::_EndNotify - DeviceNo未指定");
    OV_LOG(kLogError, "CMapCharge::_EndNotify - 送信できない完了通知を破棄 %dデータ分",
           static_cast<int>(notices.size()));
    return true;
  }
  if (notices.empty()) return true;
  OV_LOG(kLogTrace, "CMapCharge::_EndNotify - 完了通知 CCID:%08X, %dデータ分",
         static_cast<unsigned>(ccid), static_cast<int>(notices.size()));
  bool result = true;
  for (size_t start = 0; start < notices.size(); start += kNoticesPerRequest) {
    const size_t end = std::min(notices.size(), start + kNoticesPerRequest);
    const std::vector<CompleteNotifyRecord> part(notices.begin() + start, notices.begin() + end);
    // After an abort nothing more goes out; what is left waits for the next
    // run.
    if (!_context.is_aborted() && SendRequest(ccid, device_no, part)) continue;
    result = false;
    OV_LOG(kLogTrace, "CMapCharge::_EndNotify - 完了通知未送信データ送信失敗 %dデータ分",
           static_cast<int>(part.size()));
    unsent->insert(unsent->end(), part.begin(), part.end());
  }
  return result;
}

bool CMapNotices::SendRequest(uint32_t ccid, const std::string& device_no,
                              const std::vector<CompleteNotifyRecord>& notices) {
  std::vector<core::ReceiverItem> items;
  for (const CompleteNotifyRecord& record : notices) {
    items.push_back(DownloadNotice::FromRecord(record).ToReceiverItem());
  }
  core::ConnectionParameterData parameters;
  CConnectionFile& connections = CConnectionFile::GetInstance();
  std::string body;
  const bool set = parameters.SetReceiverParameter(ccid, device_no.c_str(), items, kNoticeFunction);
  if (set) connections.SetParameters(parameters);
  if (!set || !connections.BuildFormData(kNoticeConnection, &body)) {
    OV_LOG(kLogError, "CMapCharge::_EndNotify - 完了通知時のPOSTデータ生成失敗[ERR:0x%08X]",
           static_cast<unsigned>(GetLastError()));
    *_context.error_code = kCodeNoBody;
    return false;
  }
  CWinHttpWrapper http;
  HttpExchange exchange;
  _context.post_form(http, connections.GetUrl(kNoticeConnection), body, &exchange);
  uint32_t server_code = 0;
  switch (exchange.stage) {
    case HttpExchange::kPrepareFailed:
      OV_LOG(kLogError, "CMapCharge::_EndNotify - 完了通知初期化時の失敗[ERR:0x%08X]",
             static_cast<unsigned>(exchange.error));
      *_context.error_code = kCodeNotSent;
      return false;
    case HttpExchange::kOpenFailed:
      OV_LOG(kLogError, "CMapCharge::_EndNotify - 完了通知接続時の失敗[ERR:0x%08X]",
             static_cast<unsigned>(exchange.error));
      *_context.error_code = kCodeNotSent;
      return false;
    case HttpExchange::kAborted:
      OV_LOG(kLogInfo, "CMapCharge::_EndNotify - 完了通知時のユーザキャンセル");
      return false;
    case HttpExchange::kWaitFailed:
      OV_LOG(kLogError, "CMapCharge::_EndNotify - 完了通知時の失敗[ERR:0x%08X]",
             static_cast<unsigned>(exchange.error));
      return false;
    case HttpExchange::kDone:
      break;
  }
  if (exchange.result != 0) {
    OV_LOG(kLogError, "CMapCharge::_EndNotify - 完了通知時のエラー[RES:0x%08X]",
           static_cast<unsigned>(exchange.result));
    return false;
  }
  if (!IsAccepted(http.GetReply(), &server_code)) {
    OV_LOG(kLogError, "CMapCharge::_EndNotify - 完了通知時のレスポンスエラー[RES:0x%08X]",
           static_cast<unsigned>(server_code));
    return false;
  }
  return true;
}
