// The map charge's data download: the walk over the chosen records and the
// configuration steps; see DownloadDataFromList.h. The pieces are fetched in
// DownloadDataPieces.cpp.
#include "map/DownloadDataFromList.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <set>

#include "CompleteNotifyFile.h"
#include "ConnectionFile.h"
#include "CoreMessages.h"
#include "Folders.h"
#include "Log.h"
#include "OstrovelleLite/UserAgent.h"
#include "OstrovelleLite/WholeFile.h"
#include "RetryPause.h"
#include "StringUtil.h"
#include "files/CoreDownloadManage.h"
#include "map/MapCharge.h"
#include "map/MapDataPaths.h"
#include "map/RNW_ParseConf.h"
#include "map/ServerPath.h"

namespace {

constexpr DWORD kStopWaitMs = 100000;

const char kConfUrlPrefix[] = "CONF-URL=";
const char kErrorCodePrefix[] = "ErrorCode=";

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, strlen(prefix), prefix) == 0;
}

// The text after the prefix up to the line end.
std::string LineAfter(const std::string& text, size_t prefix_length) {
  const size_t end = text.find("\r\n", prefix_length);
  return text.substr(prefix_length,
                     end == std::string::npos ? std::string::npos : end - prefix_length);
}

}  // namespace

const CDownloadDataFromList::StepTexts CDownloadDataFromList::kConfUrlTexts = {
    "CDownloadDataFromList::_GetConfUrl - ConfURI取得時のエラー",
    "CDownloadDataFromList::_GetConfUrl - ConfURI取得時のエラー",
    "ConfURI取得時のWINHTTPエラー時リトライ",
    "ConfURLダウンロード取得時のエラー終了",
    "CDownloadDataFromList::_GetConfUrl - ConfURI取得時の中断",
    "CDownloadDataFromList::_GetConfUrl - ConfURI取得時のユーザキャンセル",
    "CDownloadDataFromList::_GetConfUrl - ConfURI取得時の失敗",
    "CDownloadDataFromList::_GetConfUrl - ConfURI取得接続時の失敗",
    "CDownloadDataFromList::_GetConfUrl - ConfURI取得初期化時の失敗",
    CDownloadDataFromList::kConfAborted,
    CDownloadDataFromList::kConfUnusable,
    CDownloadDataFromList::kConfTransferAborted,
    CDownloadDataFromList::kConfNotOpened,
    CDownloadDataFromList::kConfFailedBase,
};

const CDownloadDataFromList::StepTexts CDownloadDataFromList::kConfTexts = {
    "CDownloadDataFromList::_GetConf - Conf取得時のエラー",
    "CDownloadDataFromList::_GetConf - Conf取得時のエラー",
    "Conf取得時のWINHTTPエラー時リトライ",
    "Confダウンロード取得時のエラー終了",
    "CDownloadDataFromList::_GetConf - Conf取得時の中断",
    "CDownloadDataFromList::_GetConf - Conf取得時のユーザキャンセル",
    "CDownloadDataFromList::_GetConf - Conf取得時の失敗",
    "CDownloadDataFromList::_GetConf - Conf取得接続時の失敗",
    "CDownloadDataFromList::_GetConf - Conf取得初期化時の失敗",
    CDownloadDataFromList::kConfAborted,
    CDownloadDataFromList::kConfUnusable,
    CDownloadDataFromList::kConfTransferAborted,
    CDownloadDataFromList::kConfNotOpened,
    CDownloadDataFromList::kConfFailedBase,
};

const CDownloadDataFromList::StepTexts CDownloadDataFromList::kPieceTexts = {
    nullptr,
    "CDownloadDataFromList::_DataDownload - データダウンロード取得時のエラー",
    "CDownloadDataFromList::_DataDownload - WINHTTPエラー時リトライ",
    nullptr,
    "CDownloadDataFromList::_DataDownload - データダウンロード取得時の中断",
    "CDownloadDataFromList::_DataDownload - データダウンロード時のユーザキャンセル",
    "CDownloadDataFromList::_DataDownload - データダウンロード時の失敗",
    "CDownloadDataFromList::_DataDownload - データダウンロード接続試行時の失敗",
    "CDownloadDataFromList::_DataDownload - データダウンロード初期化時の失敗",
    CDownloadDataFromList::kPieceAborted,
    CDownloadDataFromList::kPieceWaitFailed,
    CDownloadDataFromList::kPieceTransferAborted,
    CDownloadDataFromList::kPieceNotOpened,
    CDownloadDataFromList::kPieceFailedBase,
};

CDownloadDataFromList::CDownloadDataFromList(uint32_t retry_wait_s, uint32_t retry_limit)
    : _retry_wait_ms(retry_wait_s * 1000),
      _retry_limit(retry_limit),
      _chain(std::make_unique<CConfImageChain>()) {}

void CDownloadDataFromList::SetHttpTuning(const HttpTimeouts& timeouts, DWORD empty_read_pause_ms) {
  _timeouts = timeouts;
  _empty_read_pause_ms = empty_read_pause_ms;
}

bool CDownloadDataFromList::IsTaken(const CDownloadListData& record, bool map_update) {
  if (!map_update) return record.order != 1;
  return record.data_kind == 0 || record.data_kind == 1 || record.order != 0;
}

uint32_t CDownloadDataFromList::Percentage(uint64_t done, uint64_t list_total) {
  if (list_total == 0) return 10;
  // Images may give more than the list said; the phase ends at 55 all the same.
  const double share = static_cast<double>(done) / static_cast<double>(list_total);
  const uint32_t part = share >= 1.0 ? 45 : static_cast<uint32_t>(share * 45);
  return part + 10;
}

bool CDownloadDataFromList::IsRetryable(DWORD code) {
  switch (code) {
    case 12001:
    case 12002:
    case 12004:
    case 12007:
    case 12009:
    case 12017:
    case 12019:
    case 12029:
    case 12030:
    case 12032:
    case 12152:
    case 500:
    case 502:
    case 503:
    case 504:
      return true;
    default:
      return false;
  }
}

int CDownloadDataFromList::StartDownload(CMapCharge& charge, CDownloadList* records,
                                         std::vector<core::ConnectionParameterData>* parameters) {
  charge.SetErrorCode(0);
  _average_speed = charge.GetLineSpeed() / 8;
  _speeds.clear();
  if (charge.GetLineSpeed() >= 8) _speeds.push_back(static_cast<double>(_average_speed));
  _done = 0;
  _downloaded.clear();
  _data_folder = charge._GetDataFolder();
  _user_agent = ::GetUserAgent(charge.GetDriveLetter()).GetUserAgentW();
  const bool map_update = charge.GetMapUpdateFlag();

  uint64_t grand_total = 0;
  for (const CDownloadListData& record : records->GetRecords()) {
    if (IsTaken(record, map_update)) grand_total += record.size;
  }
  charge.SetDownloadTotal(grand_total);
  OV_LOG(kLogInfo, "CDownloadDataFromList::StartDownload - データダウンロード開始 総サイズ:%lld",
         static_cast<long long>(grand_total));

  CDownloadList done_records;
  std::vector<core::ConnectionParameterData> done_parameters;
  int result = 1;
  const CDownloadList::Records& all = records->GetRecords();
  for (size_t i = 0; i < all.size(); ++i) {
    if (!IsTaken(all[i], map_update)) continue;
    PendingDownload set;
    const bool has_parameters = i < parameters->size();
    if (!has_parameters) {
      // A record without its parameters cannot be asked for.
      OV_LOG(kLogError, "CDownloadDataFromList::_GetConfUrl - パラメータ異常");
      charge.SetErrorCode(kConfBodyFailed);
    }
    if (!has_parameters || !_DownloadRecord(charge, all[i], (*parameters)[i], &set)) {
      result = 0;
      break;
    }
    done_records.Append(all[i]);
    done_parameters.push_back((*parameters)[i]);
    _downloaded.push_back(std::move(set));
  }
  *records = done_records;
  *parameters = done_parameters;
  if (result) {
    OV_LOG(kLogInfo,
           "CDownloadDataFromList::StartDownload - データダウンロード終了 ダウンロード数:%d "
           "総サイズ:%lld",
           static_cast<int>(done_records.GetCount()), static_cast<long long>(_done));
  }
  return result;
}

bool CDownloadDataFromList::_DownloadRecord(CMapCharge& charge, const CDownloadListData& record,
                                            const core::ConnectionParameterData& parameters,
                                            PendingDownload* set) {
  set->data_kind = record.data_kind;
  set->detail = record.detail;
  set->flags = record.update_mark;
  set->name = record.version;
  std::string url;
  if (!_GetConfUrl(&url, charge, parameters)) {
    OV_LOG(kLogError, "CDownloadDataFromList::StartDownload - ConfファイルURL取得要求失敗");
    return false;
  }
  // The data set's folder and its image's file name both come from the
  // server: each passes the gate.
  std::string folder;
  std::string image;
  const std::string relative =
      FormatString("%02x\\%02x\\%s\\", record.data_kind, record.detail, record.version.c_str());
  if (!JoinServerPath(_data_folder, relative, &folder) ||
      !JoinServerPath(folder, UrlFileName(url), &image)) {
    charge.SetErrorCode(kConfUnusable);
    OV_LOG(kLogError, "CDownloadDataFromList::StartDownload - Confファイル取得・解析失敗");
    return false;
  }
  set->image_path = image;
  _chain = std::make_unique<CConfImageChain>();
  if (!_AnalyzeConf(charge, set, url, nullptr)) {
    OV_LOG(kLogError, "CDownloadDataFromList::StartDownload - Confファイル取得・解析失敗");
    return false;
  }
  charge.ReplaceProgressDLFileSize(record.size, set->total);
  _WriteManageRecord(charge, set, 0);
  const int downloaded = _DataDownload(charge, set);
  _AddNotice(charge, *set);
  if (!downloaded) {
    OV_LOG(kLogError, "CDownloadDataFromList::StartDownload - データダウンロード失敗");
    return false;
  }
  _PostPercentage(charge);
  return true;
}

void CDownloadDataFromList::_AddNotice(CMapCharge& charge, const PendingDownload& set) {
  const uint32_t low = charge.GetErrorCode() & 0xFFFF;
  const uint32_t code = low == 0 ? 1 : (low == 0xFF00 ? 2 : 0);
  // The server hears of data sets that arrived or were stopped; a failed
  // one is fetched again and noticed then.
  if (code == 0) return;
  uint32_t values[4] = {};
  values[kNoticeDataKind] = set.data_kind;
  values[kNoticeCode] = code;
  values[kNoticeDetail] = set.detail;
  values[kNoticeCcidHead] = charge.GetCcidHead();
  SYSTEMTIME now;
  GetLocalTime(&now);
  uint8_t block[16] = {};
  static_assert(sizeof(now) == sizeof(block), "the notice keeps a SYSTEMTIME");
  memcpy(block, &now, sizeof(block));
  CCompleteNotifyFile notices;
  if (!notices.AddDownloadNotifyData(values, block, set.name.c_str(),
                                     charge.GetUnitDeviceNo().c_str())) {
    OV_LOG(kLogError,
           "CDownloadDataFromList::StartDownload - 完了通知用ダウンロードリスト書き込み失敗");
  }
}

void CDownloadDataFromList::_WriteManageRecord(CMapCharge& charge, PendingDownload* set,
                                               uint8_t percent) {
  core::CDownloadManageFile manage(charge._GetDataFolder());
  manage.SetDLManage(set->data_kind, set->detail, set->name, percent, 0, set->image_path);
  set->percent_written = percent;
}

void CDownloadDataFromList::_PostPercentage(CMapCharge& charge) {
  const uint32_t percent = Percentage(_done, charge.GetEstimateTotal());
  OV_LOG(kLogTrace, "ダウンロード総サイズ = %dByte", static_cast<int>(_done));
  OV_LOG(kLogTrace, "進捗率 = %d%%", static_cast<int>(percent));
  PostMapChargeMessage(charge.GetTargetWindow(), kMsgNotifyProgress, percent, charge.GetKind());
}

void CDownloadDataFromList::_SendProgress(CMapCharge& charge, uint32_t bytes, uint32_t spare) {
  MapProgressWords words = MapProgressWords::Make(kMapProgressDownload, _average_speed, bytes,
                                                  _done, charge.GetDownloadTotal());
  words.words[3] = spare;
  _block.Publish(words, charge.GetTargetWindow());
}

CDownloadDataFromList::Outcome CDownloadDataFromList::_Transfer(
    CMapCharge& charge, CWinHttpWrapper& http, const std::string& url, const std::string& body,
    const std::string* file, bool in_memory) {
  Outcome outcome;
  if (!http.SetRequest(url.c_str(), 0, file ? file->c_str() : nullptr, in_memory)) {
    outcome.stage = Outcome::kPrepareFailed;
    outcome.error = GetLastError();
    return outcome;
  }
  http.SetTimeouts(_timeouts);
  http.SetEmptyReadPause(_empty_read_pause_ms);
  if (file && !in_memory) {
    http.SetFileTap([this](const char* data, DWORD size) {
      _written.crc.Update(data, size);
      _written.size += size;
    });
  } else {
    http.SetFileTap(nullptr);
  }
  // The first request looks the proxy up; the later ones take what it found.
  if (!http.OpenRequest(kHttpPost, _user_agent, _proxy_known ? _proxy.c_str() : nullptr)) {
    outcome.stage = Outcome::kOpenFailed;
    outcome.error = GetLastError();
    return outcome;
  }
  if (!_proxy_known) {
    _proxy = CWinHttpWrapper::GetProcessProxy();
    _proxy_known = true;
  }
  const HANDLE thread = http.Upload(body.data(), static_cast<DWORD>(body.size()),
                                    "application/x-www-form-urlencoded", nullptr, nullptr);
  if (!thread) {
    outcome.stage = Outcome::kOpenFailed;
    outcome.error = GetLastError();
    return outcome;
  }
  WaitForExchange(http, thread, charge.GetAbortEvent(), kStopWaitMs, &outcome);
  return outcome;
}

bool CDownloadDataFromList::_PauseBeforeRetry(CMapCharge& charge) {
  PauseBeforeRetry(charge.GetAbortEvent(), _retry_wait_ms);
  return !charge.IsAbortSet();
}

bool CDownloadDataFromList::_Exchange(CMapCharge& charge, CWinHttpWrapper& http,
                                      const StepTexts& texts, const std::string& url,
                                      const std::string& body, const std::string* file,
                                      bool in_memory, uint32_t* attempt) {
  const auto fail = [&charge](uint32_t code) {
    charge.SetErrorCode(code);
    return false;
  };
  for (;;) {
    // A retry starts from an empty file, never behind the bytes of the
    // failed try.
    if (file) DeleteFileA(file->c_str());
    _written = WrittenSum();
    const Outcome outcome = _Transfer(charge, http, url, body, file, in_memory);
    switch (outcome.stage) {
      case Outcome::kPrepareFailed:
        OV_LOG(kLogError, "%s[ERR:0x%08X]", texts.prepare_failed,
               static_cast<unsigned>(outcome.error));
        return fail(texts.not_opened_code);
      case Outcome::kOpenFailed:
        OV_LOG(kLogError, "%s[ERR:0x%08X]", texts.open_failed,
               static_cast<unsigned>(outcome.error));
        return fail(texts.not_opened_code);
      case Outcome::kAborted:
        OV_LOG(kLogInfo, "%s", texts.user_cancel);
        return fail(texts.cancel_code);
      case Outcome::kWaitFailed:
        OV_LOG(kLogError, "%s[ERR:0x%08X]", texts.wait_failed,
               static_cast<unsigned>(outcome.error));
        return fail(texts.wait_code);
      case Outcome::kDone:
        break;
    }
    const DWORD result = outcome.result;
    if (result == 0) return true;
    if (texts.error_first) {
      OV_LOG(kLogError, "%s[RES:0x%08X]", texts.error_first, static_cast<unsigned>(result));
    }
    if (result == ERROR_REQUEST_ABORTED) {
      OV_LOG(kLogInfo, "%s URI:%s", texts.aborted, url.c_str());
      return fail(texts.aborted_code);
    }
    OV_LOG(kLogError, "%s[RES:0x%08X] URI:%s", texts.error, static_cast<unsigned>(result),
           url.c_str());
    const DWORD code = result & ~kHttpStatusFlag;
    if (*attempt < _retry_limit && IsRetryable(code)) {
      ++*attempt;
      OV_LOG(kLogInfo, "%s%d回目", texts.retry, static_cast<int>(*attempt));
      if (!_PauseBeforeRetry(charge)) {
        OV_LOG(kLogInfo, "%s", texts.user_cancel);
        return fail(texts.cancel_code);
      }
      continue;
    }
    if (texts.retries_over) {
      OV_LOG(kLogError, "%s[RES:0x%08X]", texts.retries_over, static_cast<unsigned>(result));
    }
    return fail(code | texts.failed_base);
  }
}

bool CDownloadDataFromList::_GetConfUrl(std::string* url, CMapCharge& charge,
                                        const core::ConnectionParameterData& parameters) {
  OV_LOG(kLogTrace, "CDownloadDataFromList::_GetConfUrl - ConfURL取得開始");
  url->clear();
  CConnectionFile& connections = CConnectionFile::GetInstance();
  connections.SetParameters(parameters);
  std::string body;
  if (!connections.BuildFormData(17, &body)) {
    OV_LOG(kLogError,
           "CDownloadDataFromList::_GetConfUrl - ConfURI取得要求時のPOSTデータ生成失敗[ERR:0x%08X]",
           static_cast<unsigned>(GetLastError()));
    charge.SetErrorCode(kConfBodyFailed);
    return false;
  }
  CWinHttpWrapper http;
  uint32_t attempt = 0;
  uint32_t result = 1;
  if (_Exchange(charge, http, kConfUrlTexts, connections.GetUrl(17), body, nullptr, true,
                &attempt)) {
    const std::vector<char>& reply = http.GetReply();
    result = _AnalyzeConfUrl(reply.size(), reply.data(), url);
    // A reply without an address names no image: that is no success.
    if (result == 0 && url->empty()) result = 1;
    if (result != 0) {
      OV_LOG(kLogError, "CDownloadDataFromList::_GetConfUrl - ConfURI取得時のデータエラー");
      charge.SetErrorCode((result & kHttpStatusFlag) ? (result & ~kHttpStatusFlag) | kConfReplyBase
                                                     : kConfEmpty);
    }
  }
  OV_LOG(kLogTrace, "CDownloadDataFromList::_GetConfUrl - ConfURI取得終了:%s 終了コード:%d",
         url->c_str(), static_cast<int>(result));
  return result == 0 && charge.GetErrorCode() == 0;
}

uint32_t CDownloadDataFromList::_AnalyzeConfUrl(size_t size, const char* reply, std::string* url) {
  OV_LOG(kLogTrace, "CDownloadDataFromList::_AnalyzeConfUrl - ConfURL解析開始");
  uint32_t result = 0;
  url->clear();
  if (!reply || size == 0) {
    result = 1;
  } else {
    const std::string text(reply, size);
    if (StartsWith(text, kErrorCodePrefix)) {
      const std::string digits = LineAfter(text, strlen(kErrorCodePrefix));
      const uint32_t code = static_cast<uint32_t>(strtoul(digits.c_str(), nullptr, 10));
      OV_LOG(
          kLogError,
          "CDownloadDataFromList::_AnalyzeConfUrl - ConfURI取得サーバレスポンスエラー[SVRERR:%d]",
          static_cast<int>(code));
      result = code | kHttpStatusFlag;
    } else if (StartsWith(text, kConfUrlPrefix)) {
      *url = LineAfter(text, strlen(kConfUrlPrefix));
      OV_LOG(kLogTrace, "CDownloadDataFromList::_AnalyzeConfUrl - ConfURI:%s", url->c_str());
    }
  }
  OV_LOG(kLogTrace, "CDownloadDataFromList::_AnalyzeConfUrl - ConfURL解析終了 終了コード:0x%08X",
         static_cast<unsigned>(result));
  return result;
}

bool CDownloadDataFromList::_GetConf(CMapCharge& charge, std::vector<char>* image,
                                     const std::string& url, const std::string& local_path) {
  OV_LOG(kLogTrace, "CDownloadDataFromList::_GetConf - Confファイル取得開始");
  if (url.empty()) {
    charge.SetErrorCode(kConfUnusable);
    return false;
  }
  // The reply is kept here and saved by this step: an empty image is a
  // data error of its own, not a failed save to retry.
  CWinHttpWrapper http;
  uint32_t attempt = 0;
  bool result = false;
  if (_Exchange(charge, http, kConfTexts, url, std::string(), nullptr, true, &attempt)) {
    const std::vector<char>& reply = http.GetReply();
    if (reply.empty()) {
      OV_LOG(kLogError, "CDownloadDataFromList::_GetConf - Conf取得時のデータエラー");
      charge.SetErrorCode(kConfEmpty);
    } else {
      try {
        image->assign(reply.begin(), reply.end());
        result = true;
      } catch (const std::bad_alloc&) {
        OV_LOG(kLogError, "CDownloadDataFromList::_GetConf - Conf格納先確保失敗");
        charge.SetErrorCode(kConfEmpty);
      }
    }
  }
  DWORD error = 0;
  if (result && !WriteFileReplacing(ToWide(local_path), std::string(image->begin(), image->end()),
                                    FILE_ATTRIBUTE_NORMAL, &error)) {
    OV_LOG(kLogError, "CDownloadDataFromList::_GetConf - Conf保存失敗[ERR:0x%08X] %s",
           static_cast<unsigned>(error), local_path.c_str());
    charge.SetErrorCode(kConfUnusable);
    result = false;
  }
  OV_LOG(kLogTrace, "CDownloadDataFromList::_GetConf - Conf取得終了 終了コード:%d",
         static_cast<int>(result));
  return result;
}

bool CDownloadDataFromList::_ReadImage(CMapCharge& charge, PendingDownload* set,
                                       const std::string& url, const std::string& local_path,
                                       RNW_ConfInfo* info) {
  std::vector<char> image;
  if (!_GetConf(charge, &image, url, local_path)) return false;
  RNW_ParseConf parser;
  if (!parser.Parse(image.data(), image.size(), *info)) {
    OV_LOG(
        kLogError,
        "CDownloadDataFromList::_AnalyzeConf - ダウンロードConf解析失敗[ERR:0x%08X][SIZE:%dbyte]",
        static_cast<unsigned>(GetLastError()), static_cast<int>(image.size()));
    OV_LOG(kLogError, "CDownloadDataFromList::_AnalyzeConf - %s", parser.GetErrorText().c_str());
    charge.SetErrorCode(kConfUnusable);
    return false;
  }
  set->images.emplace_back(local_path, url);
  return true;
}

int CDownloadDataFromList::_AnalyzeConf(CMapCharge& charge, PendingDownload* set,
                                        const std::string& url, const std::string* relative) {
  OV_LOG(kLogTrace, "CDownloadDataFromList::_AnalyzeConf - Conf解析開始 %s", url.c_str());
  if (!set || url.empty() || set->image_path.empty()) {
    OV_LOG(kLogError, "CDownloadDataFromList::_AnalyzeConf - パラメータ異常");
    return 0;
  }
  const std::string image_url = NormalizeUrl(relative ? url + *relative : url);
  // Nested images lie beside the data set's image, as the transfer looks
  // for them.
  const std::string set_folder = FolderOfPath(set->image_path);
  std::string local_path = set->image_path;
  if (!set->images.empty() &&
      !JoinServerPath(set_folder, relative ? *relative : UrlFileName(image_url), &local_path)) {
    charge.SetErrorCode(kConfUnusable);
    return 0;
  }
  // An image that names itself, or one above it, is refused here as the
  // transfer refuses it, before it is taken for one read already.
  const CConfImageChainScope scope(*_chain, local_path);
  if (!scope.IsEntered()) {
    charge.SetErrorCode(kConfUnusable);
    return 0;
  }
  for (const auto& seen : set->images) {
    if (_stricmp(seen.first.c_str(), local_path.c_str()) != 0) continue;
    if (seen.second == image_url) return 1;  // read already through another image
    // Two images cannot share one file.
    OV_LOG(kLogError, "CDownloadDataFromList::_AnalyzeConf - Conf保存先重複 %s",
           local_path.c_str());
    charge.SetErrorCode(kConfUnusable);
    return 0;
  }
  // The data set's folder may not exist yet on a first download.
  const std::string image_folder = FolderOfPath(local_path);
  if (!CreateDirectories(image_folder)) {
    OV_LOG(kLogError, "CDownloadDataFromList::_AnalyzeConf - フォルダ作成失敗[ERR:0x%08X] %s",
           static_cast<unsigned>(GetLastError()), image_folder.c_str());
  }
  RNW_ConfInfo info;
  if (!_ReadImage(charge, set, image_url, local_path, &info)) return 0;

  const CxStringList& paths = info.GetPaths();
  // A path entry is relative to the image's folder: one that starts at a
  // root or names a share is refused by the gate, never made relative.
  const std::string first_path = paths.IsEmpty() ? std::string() : paths.GetAt(0)->ToString();
  const std::string piece_base_url = NormalizeUrl(UrlFolder(image_url) + first_path);
  std::string piece_folder = FolderOfPath(local_path);
  if (!first_path.empty() && !JoinServerPath(piece_folder, first_path + "\\", &piece_folder)) {
    charge.SetErrorCode(kConfUnusable);
    return 0;
  }
  info.ResetStringIterator();
  while (const CxString* nested = info.NextString()) {
    const std::string name = nested->c_str();
    const int done = name.find("http") == std::string::npos
                         ? _AnalyzeConf(charge, set, piece_base_url, &name)
                         : _AnalyzeConf(charge, set, name, nullptr);
    if (!done) return done;
  }
  const int result = _TakeFiles(charge, set, info, piece_base_url, piece_folder);
  if (result)
    OV_LOG(kLogTrace, "CDownloadDataFromList::_AnalyzeConf - Conf解析終了 終了コード:%d", 1);
  return result;
}

int CDownloadDataFromList::_TakeFiles(CMapCharge& charge, PendingDownload* set, RNW_ConfInfo& info,
                                      const std::string& piece_base_url,
                                      const std::string& piece_folder) {
  bool packed_taken = false;
  info.ResetFileIterator();
  while (RNW_ConfFileInfo* file = info.NextFile()) {
    const bool packed = (file->GetFlags() & kConfFileFlag400) != 0;
    if (packed_taken && !packed) continue;
    packed_taken = packed_taken || packed;
    // The entry's own name passes the gate: in a piece's name ("%s.%03d")
    // a last dot or blank, which Windows would drop, is no longer last.
    std::string entry_path;
    if (!JoinServerPath(piece_folder, file->GetFileName().c_str(), &entry_path)) {
      charge.SetErrorCode(kConfUnusable);
      return 0;
    }
    file->ResetPieceIterator();
    while (const RNW_ConfSplitFileInfo* piece = file->NextPiece()) {
      if (charge.IsAbortSet()) {
        charge.SetErrorCode(kConfAborted);
        return 0;
      }
      PendingPiece pending;
      pending.url = NormalizeUrl(piece_base_url + piece->GetName().c_str());
      if (!JoinServerPath(piece_folder, piece->GetName().c_str(), &pending.local_path)) {
        charge.SetErrorCode(kConfUnusable);
        return 0;
      }
      pending.size = piece->GetSize();
      pending.crc = piece->GetCrc();
      set->total += pending.size;
      if (_IsValidateFile(pending.crc, pending.size, pending.local_path)) {
        set->present += pending.size;
        _done += pending.size;
        _SendProgress(charge, pending.size, 0);
      } else {
        set->pieces.push_back(pending);
      }
    }
  }
  return 1;
}
