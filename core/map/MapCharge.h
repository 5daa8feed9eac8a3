// The map charge (kind 2): brings the unit's card up to date with the
// map-side data sets the server offers. This file holds the charge's state
// and its first steps: the line-speed test, and fetching, storing and
// analysing the download list. The download, the transfer and the run's
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
#include "CoreConnectionParameterData.h"
#include "OvWindows.h"
#include "files/CoreConfig.h"
#include "map/DownloadList.h"

class CRecoverFile;
class CWinFileSystemLib;
class CWinHttpWrapper;

// Modes of one server exchange of the line-speed test.
enum SpeedExchangeMode : uint32_t {
  kSpeedModeMeasure = 0x10000,  // time the download of the test file
  kSpeedModeAddress = 0x70000,  // the test file's address
  kSpeedModeReport = 0x80000,   // report the measured speed
  kSpeedModeLimit = 0x90000,    // the server's threshold
};

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

  // True when the line speed is known, non-zero and not below the server's
  // threshold; false with the error code set otherwise.
  bool _SpeedTest();
  // One server exchange of the test. value: in for the address request
  // (the current speed) and the report; out for the measurement and the
  // threshold.
  bool _MeasurementSpeedOfLine(uint32_t mode, std::string* address, uint32_t* value);
  // Replies: 0 success, 1 empty or without the value, server code OR
  // 0x10000000 for a refusal. The replies carry no NUL; sizes are explicit.
  static uint32_t _AnalyzeSpeedTestUri(std::string* address, size_t size, const char* reply);
  static uint32_t _AnalyzeThreshold(const char* reply, size_t size, uint32_t* threshold);
  static uint32_t _AnalyzeSpeedReport(const char* reply, size_t size);

  // The card's data folder on the PC, with its trailing backslash.
  std::string _GetDataFolder() const;
  // Fetches the list into the parsed list and keeps its gzip copy at path.
  bool _GetDownloadList(const std::string& path);
  // Picks the records newer than the card into the chosen list; always true.
  bool _AnalyzeDownloadList();
  bool _CheckRecord(CDownloadList* chosen, CDownloadListData* record);
  bool _IsDownload(uint8_t kind, uint8_t detail, const std::string& version);
  bool _CheckVer(CDownloadList* chosen, const CDownloadListData& record);
  // Adds a fresh record (detail 0x99) per table row of the data id; the
  // number added.
  int _AddDownloadListByDataID(uint32_t data_id, CDownloadList* list);
  // Puts the plain list on the card: 0, or 0x350260.
  uint32_t _TransmitDLLST();

  uint32_t GetErrorCode() const { return _error_code; }
  void SetErrorCode(uint32_t code) { _error_code = code; }
  uint32_t GetErrorDetail() const { return _error_detail; }
  uint32_t GetLineSpeed() const { return _line_speed; }
  uint64_t GetEstimateTotal() const { return _estimate_total; }
  uint64_t GetDownloadTotal() const { return _download_total; }
  const CDownloadList& GetParsedList() const { return _parsed_list; }
  const CDownloadList& GetChosenList() const { return _chosen_list; }
  const std::string& GetUnitDeviceNo() const { return _device_no; }
  uint32_t GetCcidHead() const { return _ccid_head; }
  const std::string& GetDLListPath() const { return _dl_list_path; }
  void SetDLListPath(const std::string& path) { _dl_list_path = path; }
  const std::wstring& GetUserAgent() const { return _user_agent; }

  // The clock of the speed measurement (GetTickCount); tests give their own.
  using TickSource = DWORD(WINAPI*)();
  void SetTickSource(TickSource tick) { _tick = tick; }

 protected:
  // The first half of a run: the line-speed test, the list and its
  // analysis, reported as the run reports them.
  uint32_t _Proc() override;

 private:
  struct Exchange;
  // Prepares, opens and sends one form POST and waits for it or for the
  // abort event.
  void _PostForm(CWinHttpWrapper& http, const std::string& url, const std::string& body,
                 const char* save_path, Exchange* exchange);
  bool _SpeedTestSteps();
  bool _MeasurementSteps(uint32_t mode, std::string* address, uint32_t* value);
  bool _BuildSpeedRequest(uint32_t mode, uint32_t value, std::string* url, std::string* body);
  // The speed of a file of size bytes that took from start until now.
  void _FinishMeasurement(size_t size, DWORD start, uint32_t* speed);
  bool _AnalyzeSpeedReply(uint32_t mode, const std::vector<char>& reply, std::string* address,
                          uint32_t* value);
  void _SaveSpeedOfLine(uint32_t speed);
  // Request body and URL of the list; false with the error code set.
  bool _BuildDownloadListRequest(std::string* url, std::string* body);
  // What the exchange of the list left: the error code.
  uint32_t _StoreDownloadList(const CWinHttpWrapper& http, const std::string& path);
  static bool _WriteReplyFile(CWinFileSystemLib& files, const std::string& path,
                              const std::vector<char>& reply);
  // The card's version of a record's kind; false for a kind without one.
  bool _CardVersionOfKind(uint8_t kind, uint32_t* version);

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
  // One record of the transfer loop; false ends the loop with *result.
  bool _TransmitRecord(CRecoverFile& recover, const CDownloadListData& record, int topic_no,
                       bool first, bool* result);
  bool _TransmitDLLSTAfter(const CDownloadListData& record, bool* result);
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
  uint32_t _sd_version = 0;
  uint32_t _server_version = 0;
  uint32_t _error_code = 0;
  uint8_t _data_folder_no = 0;
  uint32_t _line_speed = 0;
  uint64_t _estimate_total = 0;
  uint64_t _transfer_total = 0;
  CDownloadList _parsed_list;
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
};
