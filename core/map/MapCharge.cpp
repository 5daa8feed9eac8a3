// The map charge's state, its start of a run and the one way it talks to
// the servers; see MapCharge.h. The steps live in MapSpeedTest.cpp,
// MapDownloadListStep.cpp, MapNotices.cpp and the MapCharge*.cpp files of
// the run.
#include "map/MapCharge.h"

#include "ChargeKind.h"
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
      _speed_test(CMapSpeedTest::Context{[this] { return _IsExistSD(); }, _FormPost(),
                                         [this] { return _tick(); }, &_config, &_ccid_head,
                                         &_device_no, &_error_code, &_line_speed}),
      _notices(CMapNotices::Context{[this] { return _IsAbort(); }, _FormPost(), &_error_code}),
      _list_step(CMapDownloadListStep::Context{
          [this] { return _GetAbortEvent(); }, _FormPost(), [this] { return _GetDataFolder(); },
          [this] { return GetDriveLetter(); }, &_chosen_list, &_error_code, &_error_detail,
          &_estimate_total, &_download_total}) {
  OV_LOG(kLogInfo, "CMapCharge::CMapCharge - マップチャージ開始");
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
  _InitRun();
  OV_LOG(kLogTrace, "CMapCharge::_Init - End");
}

CMapCharge::FormPost CMapCharge::_FormPost() {
  return [this](CWinHttpWrapper& http, const std::string& url, const std::string& body,
                HttpExchange* exchange) { _PostForm(http, url, body, nullptr, exchange); };
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
  WaitForExchange(http, thread, _GetAbortEvent(), 100000, exchange);
}
