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
#include <string>
#include <vector>

#include "Charge.h"
#include "OvWindows.h"
#include "files/CoreConfig.h"
#include "map/DownloadList.h"

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
