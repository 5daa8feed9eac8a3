// The map charge (kind 2): brings the unit's card up to date with the
// map-side data sets the server offers. The charge holds the run's state
// and drives its steps; the steps that stand on their own are classes it
// owns, each given what it needs of the charge in a small context: the
// line-speed test (CMapSpeedTest), the download list (CMapDownloadListStep),
// the questions to the main program (CMapQuestions), the upkeep of the card
// (CMapCardUpkeep), the completion notices (CMapNotices) and the transfer
// to the card (CMapTransfer). The charge's own step methods keep their
// names in the logs and delegate to them; tests reach the classes.
//
// Threads: constructed and deleted on the core's main thread; _Proc and
// every step run on the charge's worker. The abort event (CCharge) is the
// only thing another thread touches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Charge.h"
#include "CompleteNotifyFile.h"
#include "CoreConnectionParameterData.h"
#include "CoreShareMem.h"
#include "Handle.h"
#include "HttpExchange.h"
#include "OvWindows.h"
#include "files/CoreConfig.h"
#include "map/DownloadList.h"
#include "map/MapCardUpkeep.h"
#include "map/MapDownloadListStep.h"
#include "map/MapNotices.h"
#include "map/MapQuestions.h"
#include "map/MapSpeedTest.h"
#include "map/MapTransfer.h"

class CWinHttpWrapper;
namespace maptest {
class CChargeAccess;
}  // namespace maptest

class CMapCharge : public CCharge {
 public:
  // One row of the table from a list record's data kind to the link file's
  // data id.
  struct DataIdRow {
    uint8_t kind;
    uint32_t data_id;
  };
  static const DataIdRow kDataIdTable[8];
  // The data id of a kind by the table; -1 when the table lacks it.
  static int64_t DataIdOfKind(uint8_t kind);

  CMapCharge();
  ~CMapCharge() override;

  // The steps the run drives, each working on this charge's state.
  // The line-speed test (_SpeedTest).
  CMapSpeedTest& SpeedTest() { return _speed_test; }
  // The completion notices the run sends (_EndNotify).
  CMapNotices& Notices() { return _notices; }
  // The download list the run fetches and analyses (_GetDownloadList,
  // _AnalyzeDownloadList) and puts on the card (_TransmitDLLST).
  CMapDownloadListStep& DownloadList() { return _list_step; }
  // The questions to the main program and the download plan they agree
  // (_NotifyDownload, _NoSendProbe, _IsNoSendProbe, _CreateDownloadParam).
  CMapQuestions& Questions() { return _questions; }
  // The card's upkeep (_ScanSDCard, _DeleteReflectedData, _ChkSDVolume,
  // _ClearMapChargedData, _UpDatePCLinkFile).
  CMapCardUpkeep& CardUpkeep() { return _card_upkeep; }
  // The transfer to the card (_StartTransmit).
  CMapTransfer& Transfer() { return _transfer; }

  // The card's data folder on the PC, with its trailing backslash.
  std::string _GetDataFolder() const;

  // The run's state, as the steps and the download leave it.
  uint32_t GetErrorCode() const { return _error_code; }
  void SetErrorCode(uint32_t code) { _error_code = code; }
  uint32_t GetErrorDetail() const { return _error_detail; }
  uint32_t GetLineSpeed() const { return _line_speed; }
  uint64_t GetEstimateTotal() const { return _estimate_total; }
  uint64_t GetDownloadTotal() const { return _download_total; }
  void SetDownloadTotal(uint64_t total) { _download_total = total; }
  uint64_t GetTransferTotal() const { return _transfer_total; }
  void SetTransferTotal(uint64_t total) { _transfer_total = total; }
  const CDownloadList& GetChosenList() const { return _chosen_list; }
  const std::string& GetUnitDeviceNo() const { return _device_no; }
  uint32_t GetCcidHead() const { return _ccid_head; }
  const std::string& GetDLListPath() const { return _dl_list_path; }
  void SetDLListPath(const std::string& path) { _dl_list_path = path; }
  const std::wstring& GetUserAgent() const { return _user_agent; }
  bool GetMapUpdateFlag() const { return _map_update; }
  void SetMapUpdateFlag(bool on) { _map_update = on; }
  // The records to download, in order, with their request parameters.
  void SetDownloadPlan(const CDownloadList& records,
                       const std::vector<core::ConnectionParameterData>& parameters);
  const CDownloadList& GetDownloadPlan() const { return _download_list; }
  const std::vector<core::ConnectionParameterData>& GetDownloadParameters() const {
    return _download_parameters;
  }
  // The download total with a data set's listed size replaced by the size
  // its configuration image gives.
  void ReplaceProgressDLFileSize(uint64_t old_size, uint64_t new_size);

  // The charge's abort event; a test that runs a step without a worker
  // gives one of its own (not owned).
  HANDLE GetAbortEvent() const { return _test_abort ? _test_abort : _GetAbortEvent(); }
  bool IsAbortSet() const;
  void SetAbortEventForTest(HANDLE event) { _test_abort = event; }

  // The clock of the speed measurement (GetTickCount); tests give their own.
  using TickSource = DWORD(WINAPI*)();
  void SetTickSource(TickSource tick) { _tick = tick; }
  DWORD Tick() const { return _tick(); }
  // The pause that lets the main program show a finished phase.
  void SetPhasePause(DWORD ms) { _phase_pause_ms = ms; }

  // Phases of OVEVMapProgressStart / OVEVMapProgressEnd.
  enum Phase { kPhaseDownload = 1, kPhaseTransfer = 2, kPhaseCardScan = 3 };

 protected:
  // The whole run, from the card scan to the transfer.
  uint32_t _Proc() override;

 private:
  // Starts a run's first steps without a worker, for the tests of the
  // download that follows them.
  friend class maptest::CChargeAccess;

  // ---- The steps of a run, in the order the run calls them ----

  // Reads the card's unit identity and the settings, empties the lists and
  // zeroes the totals, the line speed and the error code; creates the
  // answer events and the progress blocks.
  void _Init();
  bool _ScanSDCard() { return _card_upkeep.ScanCard(); }
  bool _DeleteReflectedData(int auto_delete) {
    return _card_upkeep.DeleteReflectedData(auto_delete);
  }
  // Whether the card's link file reads; false with the error code set.
  bool _CheckPCLinkFile() { return _card_upkeep.CheckLinkFile(); }
  // The line-speed test: true when the line is fast enough for the run.
  bool _SpeedTest() { return _speed_test.Run(); }
  // Fetches the list into the parsed list and keeps its gzip copy at path.
  bool _GetDownloadList(const std::string& path) { return _list_step.Fetch(path); }
  // Picks the records newer than the card into the chosen list; always true.
  bool _AnalyzeDownloadList() { return _list_step.Analyze(); }
  // The download plan from the chosen records, with the confirmation when
  // the map set is among them.
  bool _AgreeDownload() { return _questions.Agree(); }
  bool _NotifyDownload() { return _questions.NotifyDownload(); }
  int _NoSendProbe() { return _questions.NoSendProbe(); }
  bool _IsNoSendProbe() { return _questions.IsNoSendProbe(); }
  bool _CreateDownloadParam(bool include_marked) {
    return _questions.CreateDownloadParam(include_marked);
  }
  // Downloads the planned records with the retry settings; true on
  // success, false with the error code set.
  bool _StartDownloadData();
  // Sends the stored completion notices; notices that fail go back to the
  // file.
  bool _EndNotify() { return _notices.SendStored(); }
  // Rebuilds and copies the downloaded records to the card.
  bool _StartTransmit() { return _transfer.Start(); }
  bool _ChkSDVolume(int mode, const CDownloadListData& record) {
    return _card_upkeep.CheckVolume(mode, record);
  }
  bool _ClearMapChargedData() { return _card_upkeep.ClearMapChargedData(); }
  bool _UpDatePCLinkFile(const CDownloadListData& record, int topic_no) {
    return _card_upkeep.UpdateLinkFile(record, topic_no);
  }
  // Puts the plain list on the card: 0, or 0x350260.
  uint32_t _TransmitDLLST() { return _list_step.TransmitPlain(_dl_list_path); }

  // ---- The run ----
  // The run's part from the download confirmation on; see _Proc.
  uint32_t _ProcDownloadAndTransfer();
  // Ends a run whose step failed: reports the code (never 0), records the
  // failure (or the abort), and ends the phase when one is given.
  uint32_t _EndFailedRun(uint32_t phase_to_end);
  // Creates the progress blocks; part of _Init.
  void _OpenProgressBlocks();
  void _PostToCore(const char* message, WPARAM wparam, LPARAM lparam) const;
  // Rewrites the progress block of the phase as {phase, speed, 0, 0, 0, 0,
  // total}.
  void _ResetProgressBlock(uint32_t phase, uint32_t speed, uint64_t total);
  // Waits up to the phase pause, cut short by the abort event.
  void _PhasePause() const;
  // The bytes the record will write to the card, measured on the PC; 0 or
  // the code of the failed query (the error detail is set then).
  uint32_t _TransferSizeOf(const CDownloadListData& record, uint64_t* size);

  // Prepares, opens and sends one form POST and waits for it or for the
  // abort event.
  void _PostForm(CWinHttpWrapper& http, const std::string& url, const std::string& body,
                 HttpExchange* exchange);
  using FormPost =
      std::function<void(CWinHttpWrapper&, const std::string&, const std::string&, HttpExchange*)>;
  FormPost _FormPost();

  // The contexts of the step classes.
  CMapSpeedTest::Context _SpeedTestContext();
  CMapNotices::Context _NoticesContext();
  CMapDownloadListStep::Context _ListStepContext();
  CMapQuestions::Context _QuestionsContext();
  CMapCardUpkeep::Context _CardUpkeepContext();
  CMapTransfer::Context _TransferContext();

  core::COstrovelleConfig _config;
  std::string _device_no;
  uint32_t _ccid_head = 0;
  uint32_t _error_code = 0;
  uint32_t _error_detail = 0;
  uint8_t _data_folder_no = 0;
  uint32_t _line_speed = 0;
  uint64_t _estimate_total = 0;
  uint64_t _download_total = 0;
  uint64_t _transfer_total = 0;
  CDownloadList _chosen_list;
  CDownloadList _download_list;
  std::vector<core::ConnectionParameterData> _download_parameters;
  bool _map_update = false;
  std::wstring _user_agent;
  std::string _dl_list_path;
  uint32_t _retry_interval = 5;
  uint32_t _retry_max = 6;
  TickSource _tick = &GetTickCount;
  DWORD _phase_pause_ms = 2000;
  HANDLE _test_abort = nullptr;  // not owned
  // The progress blocks live while the charge holds them.
  core::CBlockShareMem _dl_block;
  core::CBlockShareMem _tr_block;

  // Built after the state they name.
  CMapSpeedTest _speed_test;
  CMapNotices _notices;
  CMapDownloadListStep _list_step;
  CMapQuestions _questions;
  CMapCardUpkeep _card_upkeep;
  CMapTransfer _transfer;
};
