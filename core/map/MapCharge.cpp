// The map charge's state, the contexts of its step classes, its start of a
// run and the one way it talks to the servers; see MapCharge.h. The run is
// in MapChargeRun.cpp, the download in MapChargeDownload.cpp; the steps
// live in the files of their classes.
#include "map/MapCharge.h"

#include "ChargeKind.h"
#include "CoreMessages.h"
#include "Folders.h"
#include "Log.h"
#include "OstrovelleLite/PcLinkFile.h"
#include "OstrovelleLite/UserAgent.h"
#include "StringUtil.h"
#include "WinHttpWrapper.h"

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

CMapCharge::CMapCharge()
    : CCharge(CHARGE_KIND_MAP),
      _speed_test(_SpeedTestContext()),
      _notices(_NoticesContext()),
      _list_step(_ListStepContext()),
      _questions(_QuestionsContext()),
      _card_upkeep(_CardUpkeepContext()),
      _transfer(_TransferContext()) {
  CMapTransfer::CardSteps steps;
  steps.check_volume = [this](bool whole, const CDownloadListData& record) {
    return _ChkSDVolume(whole ? CMapCardUpkeep::kVolumeWhole : CMapCardUpkeep::kVolumeSingle,
                        record);
  };
  steps.update_link = [this](const CDownloadListData& record, int topic_no) {
    return _UpDatePCLinkFile(record, topic_no);
  };
  _transfer.SetCardSteps(std::move(steps));
  OV_LOG(kLogInfo, "CMapCharge::CMapCharge - マップチャージ開始");
}

CMapSpeedTest::Context CMapCharge::_SpeedTestContext() {
  return CMapSpeedTest::Context{[this] { return _IsExistSD(); },
                                _FormPost(),
                                [this] { return _tick(); },
                                &_config,
                                &_ccid_head,
                                &_device_no,
                                &_error_code,
                                &_line_speed};
}

CMapNotices::Context CMapCharge::_NoticesContext() {
  return CMapNotices::Context{[this] { return _IsAbort(); }, _FormPost(), &_error_code};
}

CMapDownloadListStep::Context CMapCharge::_ListStepContext() {
  return CMapDownloadListStep::Context{[this] { return _GetAbortEvent(); },
                                       _FormPost(),
                                       [this] { return _GetDataFolder(); },
                                       [this] { return GetDriveLetter(); },
                                       &_chosen_list,
                                       &_error_code,
                                       &_error_detail,
                                       &_estimate_total,
                                       &_download_total};
}

CMapQuestions::Context CMapCharge::_QuestionsContext() {
  CMapQuestions::Context context;
  context.post = [this](const char* message, WPARAM wparam, LPARAM lparam) {
    _PostToCore(message, wparam, lparam);
  };
  context.abort_event = [this] { return _GetAbortEvent(); };
  context.drive_letter = [this] { return GetDriveLetter(); };
  context.ccid_head = &_ccid_head;
  context.device_no = &_device_no;
  context.line_speed = &_line_speed;
  context.estimate_total = &_estimate_total;
  context.chosen = &_chosen_list;
  context.download_list = &_download_list;
  context.download_parameters = &_download_parameters;
  context.map_update = &_map_update;
  context.error_code = &_error_code;
  context.error_detail = &_error_detail;
  return context;
}

CMapCardUpkeep::Context CMapCharge::_CardUpkeepContext() {
  CMapCardUpkeep::Context context;
  context.drive_letter = [this] { return GetDriveLetter(); };
  context.card_present = [this] { return _IsExistSD(); };
  context.abort_event = [this] { return _GetAbortEvent(); };
  context.data_folder = [this] { return _GetDataFolder(); };
  context.ask_card_clear = [this](DWORD* wait_error) {
    return _questions.Ask(CMapQuestions::kQuestionCardClear, kMsgMapLicense, 239, 0, wait_error);
  };
  context.transfer_size = [this](const CDownloadListData& record, uint64_t* size) {
    return _TransferSizeOf(record, size);
  };
  context.transfer_total = &_transfer_total;
  context.error_code = &_error_code;
  context.error_detail = &_error_detail;
  return context;
}

CMapTransfer::Context CMapCharge::_TransferContext() {
  CMapTransfer::Context context;
  context.abort_event = [this] { return GetAbortEvent(); };
  context.is_aborted = [this] { return IsAbortSet(); };
  context.data_folder = [this] { return _GetDataFolder(); };
  context.drive_letter = [this] { return GetDriveLetter(); };
  context.window = [this] { return GetTargetWindow(); };
  context.tick = [this] { return _tick(); };
  context.notify_progress = [this](uint32_t percent) { _NotifyProgress(percent); };
  context.record_done = [this](uint32_t version, uint32_t data_id) {
    _SaveHistory(kHistoryDone, _error_code, version, 0, data_id);
  };
  context.transmit_plain_list = [this] { return _TransmitDLLST(); };
  context.download_list = &_download_list;
  context.map_update = &_map_update;
  context.transfer_total = &_transfer_total;
  context.error_code = &_error_code;
  context.error_detail = &_error_detail;
  return context;
}

CMapCharge::~CMapCharge() {
  // The worker uses the members below; it must be gone before they are.
  ReapThread();
  OV_LOG(kLogInfo, "CMapCharge::~CMapCharge - マップチャージ終了");
}

std::string CMapCharge::_GetDataFolder() const {
  std::string folder = _config.GetDownloadFolderPath();
  if (folder.empty()) folder = GetDownloadFolder();
  AppendBackslash(folder);
  return folder + FormatString("Data%02X\\", static_cast<unsigned>(_data_folder_no));
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
  _list_step.Clear();
  _chosen_list.Clear();
  _download_list.Clear();
  _line_speed = 0;
  _estimate_total = 0;
  _download_total = 0;
  _transfer_total = 0;
  _error_code = 0;
  _error_detail = 0;
  _map_update = false;
  _download_parameters.clear();
  _questions.OpenEvents();
  _OpenProgressBlocks();
  OV_LOG(kLogTrace, "CMapCharge::_Init - End");
}

CMapCharge::FormPost CMapCharge::_FormPost() {
  return [this](CWinHttpWrapper& http, const std::string& url, const std::string& body,
                HttpExchange* exchange) { _PostForm(http, url, body, exchange); };
}

void CMapCharge::_PostForm(CWinHttpWrapper& http, const std::string& url, const std::string& body,
                           HttpExchange* exchange) {
  if (!http.SetRequest(url.c_str(), 0, nullptr, true)) {
    exchange->stage = HttpExchange::kPrepareFailed;
    exchange->error = GetLastError();
    return;
  }
  // Rebuilt from the card for every request; when the card cannot be read
  // the text of the last request stays.
  _user_agent = ::GetUserAgent(GetDriveLetter()).GetUserAgentW();
  if (!http.OpenRequest(kHttpPost, _user_agent, nullptr)) {
    exchange->stage = HttpExchange::kOpenFailed;
    exchange->error = GetLastError();
    return;
  }
  const HANDLE thread = http.Upload(body.data(), static_cast<DWORD>(body.size()),
                                    "application/x-www-form-urlencoded", nullptr, nullptr);
  if (!thread) {
    exchange->stage = HttpExchange::kOpenFailed;
    exchange->error = GetLastError();
    return;
  }
  WaitForExchange(http, thread, _GetAbortEvent(), 100000, exchange);
}
