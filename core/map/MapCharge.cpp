// The map charge's state, its start of a run and the one way it talks to
// the servers; see MapCharge.h. The steps live in MapChargeSpeedTest.cpp
// and MapChargeDownloadList.cpp.
#include "map/MapCharge.h"

#include "ChargeKind.h"
#include "Log.h"
#include "OstrovelleLite/PcLinkFile.h"
#include "OstrovelleLite/UserAgent.h"
#include "WinHttpWrapper.h"
#include "map/MapChargeExchange.h"

const CMapCharge::DataIdRow CMapCharge::kDataIdTable[8] = {
    {2, 0x30020001}, {3, 0x30020001}, {4, 0x30010002}, {5, 0x10000001},
    {6, 0x10000002}, {7, 0x20000003}, {0, 0x30010001}, {1, 0x30010001},
};

int64_t CMapCharge::DataIdOfKind(uint8_t kind) {
  for (const DataIdRow& row : kDataIdTable) {
    if (row.kind == kind) return row.data_id;
  }
  return -1;
}

CMapCharge::CMapCharge() : CCharge(CHARGE_KIND_MAP) {
  OV_LOG(kLogInfo, "CMapCharge::CMapCharge - マップチャージ開始");
}

CMapCharge::~CMapCharge() {
  // The worker uses the members below; it must be gone before they are.
  ReapThread();
  OV_LOG(kLogInfo, "CMapCharge::~CMapCharge - マップチャージ終了");
}

void CMapCharge::_Init() {
  OV_LOG(kLogTrace, "CMapCharge::_Init - Start");
  const CPcLinkFile unit(CPcLinkFile::kUnitInfoFile, GetDriveLetter());
  if (unit.IsLoaded()) {
    _device_no = unit.GetDeviceNo();
    _ccid_head = unit.GetCcidHead();
    // The unit information file names no folder of its own; units of one
    // model take the same data sets, so they share one folder of them.
    _data_folder_no = unit.GetModel();
  }
  _config.LoadSetting();
  _config.LoadMap();
  _retry_interval = static_cast<uint32_t>(_config.GetRetryInterval());
  _retry_max = static_cast<uint32_t>(_config.GetRetryMax());
  _parsed_list.Clear();
  _chosen_list.Clear();
  _download_list.Clear();
  _line_speed = 0;
  _estimate_total = 0;
  _download_total = 0;
  _transfer_total = 0;
  _error_code = 0;
  _error_detail = 0;
  OV_LOG(kLogTrace, "CMapCharge::_Init - End");
}

uint32_t CMapCharge::_Proc() {
  OV_LOG(kLogTrace, "CMapCharge::_Proc - Start");
  _Init();
  const auto aborted = [this] {
    OV_LOG(kLogInfo, "CMapCharge::_Proc - 処理中断");
    _NotifyError(_error_code ? _error_code : CHARGE_RESULT_ABORT, _error_detail);
    _SaveHistory(3, _error_code, 0, 0, 0);
    return static_cast<uint32_t>(CHARGE_RESULT_ABORT);
  };
  const auto failed = [this] {
    _NotifyError(_error_code, _error_detail);
    _SaveHistory(4, _error_code, 0, 0, 0);
    return _error_code;
  };
  if (_IsAbort()) return aborted();
  if (!_SpeedTest()) return failed();
  _NotifyProgress(3);
  if (_IsAbort()) return aborted();
  _dl_list_path = _GetDataFolder() + "DL.LST";
  if (!_GetDownloadList(_dl_list_path)) {
    OV_LOG(kLogError, "CMapCharge::_Proc - ダウンロードリスト取得失敗");
    return failed();
  }
  _NotifyProgress(5);
  if (_IsAbort()) {
    _error_code = CHARGE_RESULT_ABORT;
    return aborted();
  }
  _AnalyzeDownloadList();
  if (_chosen_list.IsEmpty()) {
    _NotifyError(CHARGE_RESULT_NODATA, _error_detail);
    OV_LOG(kLogInfo, "CMapCharge::_Proc - End");
    return CHARGE_RESULT_SUCCESS;
  }
  _NotifyProgress(8);
  _NotifyError(CHARGE_RESULT_SUCCESS, 0);
  OV_LOG(kLogTrace, "CMapCharge::_Proc - End");
  return CHARGE_RESULT_SUCCESS;
}

void CMapCharge::_PostForm(CWinHttpWrapper& http, const std::string& url, const std::string& body,
                           const char* save_path, Exchange* exchange) {
  if (!http.SetRequest(url.c_str(), 0, save_path, true)) {
    exchange->stage = Exchange::kPrepareFailed;
    exchange->error = GetLastError();
    return;
  }
  // Rebuilt from the card for every request; when the card cannot be read
  // the text of the last request stays.
  _user_agent = ::GetUserAgent(GetDriveLetter()).GetUserAgentW();
  if (!http.OpenRequest(kHttpPost, _user_agent, nullptr)) {
    exchange->stage = Exchange::kOpenFailed;
    exchange->error = GetLastError();
    return;
  }
  const HANDLE thread = http.Upload(body.data(), static_cast<DWORD>(body.size()),
                                    "application/x-www-form-urlencoded", nullptr, nullptr);
  if (!thread) {
    exchange->stage = Exchange::kOpenFailed;
    exchange->error = GetLastError();
    return;
  }
  const HANDLE handles[2] = {thread, _GetAbortEvent()};
  const DWORD count = handles[1] ? 2 : 1;
  const DWORD waited = WaitForMultipleObjects(count, handles, FALSE, INFINITE);
  if (waited == WAIT_OBJECT_0) {
    exchange->stage = Exchange::kDone;
    exchange->result = http.GetResult();
  } else if (count == 2 && waited == WAIT_OBJECT_0 + 1) {
    http.Stop(100000);
    exchange->stage = Exchange::kAborted;
  } else {
    exchange->stage = Exchange::kWaitFailed;
    exchange->error = GetLastError();
  }
}
