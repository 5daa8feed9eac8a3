// The map charge (kind 2): brings the unit's card up to date with the
// map-side data sets the server offers. This file holds the charge's state
// and its first steps: the line-speed test (CMapSpeedTest) and the download
// list (CMapDownloadListStep). The download, the transfer and the run's
// dialogue with the main program build on them.
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
#include "map/MapDownloadListStep.h"
#include "map/MapNotices.h"
#include "map/MapSpeedTest.h"

class CRecoverFile;
class CWinFileSystemLib;
class CWinHttpWrapper;
namespace core {
class CPcLinkFile;
}  // namespace core

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

  // Steps of the run, in the order the run calls them; public for the run's
  // later steps and for tests.

  // Reads the card's unit identity and the settings, empties the lists and
  // zeroes the totals, the line speed and the error code.
  void _Init();

  // The line-speed test the run drives (_SpeedTest); it works on this
  // charge's unit identity, settings, error code and line speed.
  CMapSpeedTest& SpeedTest() { return _speed_test; }
  // The completion notices the run sends (_EndNotify).
  CMapNotices& Notices() { return _notices; }
  // The download list the run fetches and analyses (_GetDownloadList,
  // _AnalyzeDownloadList) and puts on the card (_TransmitDLLST).
  CMapDownloadListStep& DownloadList() { return _list_step; }

  // The card's data folder on the PC, with its trailing backslash.
  std::string _GetDataFolder() const;

  uint32_t GetErrorCode() const { return _error_code; }
  void SetErrorCode(uint32_t code) { _error_code = code; }
  uint32_t GetErrorDetail() const { return _error_detail; }
  uint32_t GetLineSpeed() const { return _line_speed; }
  uint64_t GetEstimateTotal() const { return _estimate_total; }
  uint64_t GetDownloadTotal() const { return _download_total; }
  const CDownloadList& GetChosenList() const { return _chosen_list; }
  const std::string& GetUnitDeviceNo() const { return _device_no; }
  uint32_t GetCcidHead() const { return _ccid_head; }
  const std::string& GetDLListPath() const { return _dl_list_path; }
  void SetDLListPath(const std::string& path) { _dl_list_path = path; }
  const std::wstring& GetUserAgent() const { return _user_agent; }

  // The clock of the speed measurement (GetTickCount); tests give their own.
  using TickSource = DWORD(WINAPI*)();
  void SetTickSource(TickSource tick) { _tick = tick; }

  // ---- The run, its questions to the main program and the card's upkeep
  // (MapChargeRun.cpp, MapChargeQuestions.cpp, MapChargeCard.cpp; the
  // notices are CMapNotices). ----

  // The answers the main program gives by setting named events.
  enum Question { kQuestionCardClear = 0, kQuestionDownload, kQuestionVerify, kQuestionProbe };
  enum Answer { kAnswerYes = 0, kAnswerNo, kAnswerAbort, kAnswerWaitFailed };
  // The yes event's name ("Global\EVOVMapDownload"); the no event's is this
  // with "No" appended. Tests running side by side give a tag that is
  // appended to every name.
  static std::string QuestionEventName(Question question, bool yes);
  static void SetQuestionEventTag(const std::string& tag);

  // Phases of OVEVMapProgressStart / OVEVMapProgressEnd.
  enum Phase { kPhaseDownload = 1, kPhaseTransfer = 2, kPhaseCardScan = 3 };
  // Modes of the free-space check.
  enum VolumeMode { kVolumeSingle = 0, kVolumeWhole = 1 };

  // Runs the system's disk checker on the card; true when it ended with 0
  // (no errors) or 1 (errors repaired).
  bool _ScanSDCard();
  // Removes from the card the data sets the unit has taken over and brings
  // their link-file records in line with the unit's; always true.
  bool _DeleteReflectedData(int auto_delete);
  // Whether the card has room: mode kVolumeWhole for the whole transfer
  // (record: the first one), kVolumeSingle for this record alone. May ask
  // the main program whether to clear the card.
  bool _ChkSDVolume(int mode, const CDownloadListData& record);
  // Removes the card's map-charge folders and makes its link file anew.
  bool _ClearMapChargedData();
  // After a data set was copied: its link-file record from the unit's.
  bool _UpDatePCLinkFile(const CDownloadListData& record, int topic_no);
  // The download confirmation; false with the error code set when the run
  // must end (0 when it may go on with what it has).
  bool _NotifyDownload();
  // 0 failed or aborted, 1 go on, 2 declined.
  int _NoSendProbe();
  // Unsent probe data lies on the card.
  bool _IsNoSendProbe();
  // The download list proper and its request parameters from the chosen
  // list; records carrying the update mark only when include_marked.
  bool _CreateDownloadParam(bool include_marked);

  // Seams for the tests: the disk checker's wait (180000 ms, taken twice),
  // the card's space query, the size a record needs on the card and the
  // pause that lets the main program show a finished phase.
  using DiskSpaceSource = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
  using TransferSizeSource = std::function<uint32_t(const CDownloadListData&, uint64_t*)>;
  void SetCheckerTimeout(DWORD ms) { _checker_timeout_ms = ms; }
  void SetDiskSpaceSource(DiskSpaceSource source) { _disk_space = source; }
  void SetTransferSizeSource(TransferSizeSource source) { _transfer_size = std::move(source); }
  void SetTransferTotal(uint64_t total) { _transfer_total = total; }
  void SetPhasePause(DWORD ms) { _phase_pause_ms = ms; }

 protected:
  // The whole run, from the card scan to the transfer.
  uint32_t _Proc() override;

 private:
  using Exchange = HttpExchange;
  // Prepares, opens and sends one form POST and waits for it or for the
  // abort event.
  void _PostForm(CWinHttpWrapper& http, const std::string& url, const std::string& body,
                 const char* save_path, Exchange* exchange);
  // _PostForm without a reply file, for the steps' own classes.
  using FormPost =
      std::function<void(CWinHttpWrapper&, const std::string&, const std::string&, HttpExchange*)>;
  FormPost _FormPost();
  // The line-speed test: true when the line is fast enough for the run.
  bool _SpeedTest() { return _speed_test.Run(); }
  // Sends the stored completion notices; notices that fail go back to the
  // file.
  bool _EndNotify() { return _notices.SendStored(); }
  bool _MeasurementSpeedOfLine(uint32_t mode, std::string* address, uint32_t* value) {
    return _speed_test.MeasurementSpeedOfLine(mode, address, value);
  }
  // Fetches the list into the parsed list and keeps its gzip copy at path.
  bool _GetDownloadList(const std::string& path) { return _list_step.Fetch(path); }
  // Picks the records newer than the card into the chosen list; always true.
  bool _AnalyzeDownloadList() { return _list_step.Analyze(); }
  // Adds a fresh record (detail 0x99) per table row of the data id; the
  // number added.
  static int _AddDownloadListByDataID(uint32_t data_id, CDownloadList* list) {
    return CMapDownloadListStep::AddByDataId(data_id, list);
  }
  // Puts the plain list on the card: 0, or 0x350260.
  uint32_t _TransmitDLLST() { return _list_step.TransmitPlain(_dl_list_path); }

  // ---- Download, progress blocks and transfer to the card ----
  // (MapChargeDownload.cpp, MapChargeTransmit.cpp; the workers are
  // CDownloadDataFromList and CRecoverFile.)
 public:
  // What the transfer needs from the card maintenance: whether the card has
  // room for the whole transfer (whole, given the first record) or for one
  // record, and the link-file update after a copied record (topic_no: the
  // kind-4 records met so far, this one included). Both leave the error code
  // when they answer false. Until the run sets them a transfer fails: a
  // copied data set must never miss its link-file record.
  struct TransmitCardSteps {
    std::function<bool(bool whole, const CDownloadListData& record)> check_volume;
    std::function<bool(const CDownloadListData& record, int topic_no)> update_link;
  };

  // Downloads the planned records with the retry settings; true on
  // success, false with the error code set.
  bool _StartDownloadData();
  // Rebuilds and copies the downloaded records to the card; true when
  // every record was copied or already lay on the card.
  bool _StartTransmit();
  // The download total with a data set's listed size replaced by the size
  // its configuration image gives.
  void ReplaceProgressDLFileSize(uint64_t old_size, uint64_t new_size);

  void SetTransmitCardSteps(TransmitCardSteps steps) { _card_steps = std::move(steps); }
  // The records to download, in order, with their request parameters.
  void SetDownloadPlan(const CDownloadList& records,
                       const std::vector<core::ConnectionParameterData>& parameters);
  const CDownloadList& GetDownloadPlan() const { return _download_list; }
  const std::vector<core::ConnectionParameterData>& GetDownloadParameters() const {
    return _download_parameters;
  }
  bool GetMapUpdateFlag() const { return _map_update; }
  void SetMapUpdateFlag(bool on) { _map_update = on; }
  void SetDownloadTotal(uint64_t total) { _download_total = total; }
  uint64_t GetTransferTotal() const { return _transfer_total; }

  // The charge's abort event; a test that runs a step without a worker
  // gives one of its own (not owned).
  HANDLE GetAbortEvent() const { return _test_abort ? _test_abort : _GetAbortEvent(); }
  bool IsAbortSet() const;
  void SetAbortEventForTest(HANDLE event) { _test_abort = event; }
  DWORD Tick() const { return _tick(); }

 private:
  // The sizes of the records to copy into the transfer total; false with
  // the error code set.
  bool _SumTransferSizes(CRecoverFile& recover);
  // What one record of the transfer loop leaves for the loop.
  enum class TransmitStep {
    kNext,           // the record is on the card (or already was)
    kFailedGoOn,     // the plain list for the unit failed: the transfer has
                     // failed, yet the next records are still copied
    kEndKeepResult,  // the card is full after the first record: what was
                     // copied stands
    kFailed,         // the transfer ends and fails
  };
  TransmitStep _TransmitRecord(CRecoverFile& recover, const CDownloadListData& record, int topic_no,
                               bool first);
  // After the first record of kind 3, the plain list for a unit that reads
  // it; false when the unit's file or the list cannot be had.
  bool _TransmitDLLSTAfter(const CDownloadListData& record);
  void _PostTransferPercentage(const CRecoverFile& recover);

  bool _map_update = false;
  std::vector<core::ConnectionParameterData> _download_parameters;
  TransmitCardSteps _card_steps;
  HANDLE _test_abort = nullptr;  // not owned
                                 // ---- end of download, progress blocks and transfer ----

 private:
  core::COstrovelleConfig _config;
  std::string _device_no;
  uint32_t _ccid_head = 0;
  uint32_t _error_code = 0;
  uint8_t _data_folder_no = 0;
  uint32_t _line_speed = 0;
  uint64_t _estimate_total = 0;
  uint64_t _transfer_total = 0;
  CDownloadList _chosen_list;
  CDownloadList _download_list;
  std::wstring _user_agent;
  uint64_t _download_total = 0;
  uint32_t _error_detail = 0;
  std::string _dl_list_path;
  bool _dllst_sent = false;
  uint32_t _retry_interval = 5;
  uint32_t _retry_max = 6;
  TickSource _tick = &GetTickCount;
  CMapSpeedTest _speed_test;
  CMapNotices _notices;
  CMapDownloadListStep _list_step;

  // ---- The run, its questions and the card's upkeep. ----
  // Creates the answer events and the progress blocks; part of _Init.
  void _InitRun();
  void _PostToCore(const char* message, WPARAM wparam, LPARAM lparam) const;
  // Resets both answers, posts the question, then waits for an answer.
  Answer _Ask(Question question, const char* message, WPARAM wparam, LPARAM lparam,
              DWORD* wait_error);
  // Rewrites the progress block of the phase as {phase, speed, 0, 0, 0, 0,
  // total}.
  void _ResetProgressBlock(uint32_t phase, uint32_t speed, uint64_t total);
  // The run's part from the download confirmation on; see _Proc.
  uint32_t _ProcDownloadAndTransfer();
  bool _AgreeDownload();
  // The bytes the record will write to the card; 0 or the code of the
  // failed query (the transfer's error detail is set then).
  uint32_t _TransferSizeOf(const CDownloadListData& record, uint64_t* size);
  // The room the whole transfer needs: false with the error code set when
  // the run cannot make it.
  bool _MakeRoomForTransfer(const CDownloadListData& first, uint64_t needed, uint64_t free_bytes);
  bool _AskCardClear();
  // Ends a run whose step failed: reports the code (never 0), records the
  // failure (or the abort), and ends the phase when one is given.
  uint32_t _EndFailedRun(uint32_t phase_to_end);
  bool _WaitForChecker(HANDLE checker);
  void _DeleteSearchFolders(CWinFileSystemLib& files, const core::CPcLinkFile& unit,
                            core::CPcLinkFile& link);
  // False when the unit has not taken the data set over.
  bool _DeleteTakenOverFolder(CWinFileSystemLib& files, const core::CPcLinkFile& unit,
                              core::CPcLinkFile& link, uint32_t data_id);
  void _DeleteOldLocalData(uint32_t data_id, uint32_t version);
  // The record's size on the card; false with the error code set (and the
  // data set marked for a new download) when it cannot be had.
  bool _RecordSizeOrFail(const CDownloadListData& record, uint64_t* size);
  // Waits up to the phase pause, cut short by the abort event.
  void _PhasePause() const;

  CHandle _answers[4][2];  // [question][yes, no]
  // The progress blocks live while the charge holds them.
  core::CBlockShareMem _dl_block;
  core::CBlockShareMem _tr_block;
  DWORD _checker_timeout_ms = 180000;
  DiskSpaceSource _disk_space = &GetDiskFreeSpaceExA;
  TransferSizeSource _transfer_size;
  DWORD _phase_pause_ms = 2000;
};
