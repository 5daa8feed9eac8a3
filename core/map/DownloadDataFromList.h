// The map charge's data download: for every chosen data set, the address of
// its configuration image, the image and the images it names, and every
// piece the images list, into the card's data folder on the PC. A piece
// already there is kept only when its size and CRC-16 match the image;
// anything else is fetched whole. Failures are retried on the retryable
// errors up to the retry limit. Progress goes out as percentages, through
// the download progress block and in the download-management file; every
// failure leaves its code in the map charge's error word.
//
// Threads: one object per download step, on the map charge's worker. The
// charge's abort event is the only signal from other threads; it ends the
// waits, the retry pauses and the walk between pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "CoreConnectionParameterData.h"
#include "HttpExchange.h"
#include "OstrovelleLite/NPCrcCalc.h"
#include "OvWindows.h"
#include "WinHttpWrapper.h"
#include "map/ConfImageChain.h"
#include "map/DownloadList.h"
#include "map/MapChargeProgress.h"

class CMapCharge;
class RNW_ConfInfo;

// One piece still to fetch.
struct PendingPiece {
  std::string url;
  std::string local_path;
  uint32_t size = 0;
  uint32_t crc = 0;  // the 16-bit value of the image
};

// What one data set needs from the server and what it already has.
struct PendingDownload {
  std::vector<PendingPiece> pieces;
  std::string image_path;  // the local path of the data set's image
  uint64_t total = 0;      // the sizes of all its pieces, as the images give them
  uint64_t present = 0;    // pieces found intact plus pieces fetched
  uint8_t data_kind = 0;
  uint8_t detail = 0;
  uint32_t flags = 0;           // the record's update mark
  std::string name;             // the record's version text, which names its folder
  uint8_t percent_written = 0;  // in the download-management file
  // Local paths of the images read for this data set, with their URLs.
  std::vector<std::pair<std::string, std::string>> images;
};

// Values of a download completion notice as the completion-notice file
// keeps them (values[4] of CompleteNotifyRecord).
enum DownloadNoticeValue {
  kNoticeDataKind = 0,
  kNoticeCode = 1,  // 1 downloaded, 2 aborted; a failed download is not noticed
  kNoticeDetail = 2,
  kNoticeCcidHead = 3,
};

class CDownloadDataFromList final {
 public:
  // Error words of the steps.
  static constexpr uint32_t kConfAborted = 0x2FF00;
  static constexpr uint32_t kConfBodyFailed = 0x2FF05;
  static constexpr uint32_t kConfUnusable = 0x2FFFF;
  static constexpr uint32_t kConfTransferAborted = 0x12FF00;
  static constexpr uint32_t kConfNotOpened = 0x12FF04;
  static constexpr uint32_t kConfFailedBase = 0x120000;
  static constexpr uint32_t kConfReplyBase = 0x220000;
  static constexpr uint32_t kConfEmpty = 0x22FFFF;
  static constexpr uint32_t kPieceAborted = 0x4FF00;
  static constexpr uint32_t kPieceWaitFailed = 0x4FFFF;
  static constexpr uint32_t kPieceTransferAborted = 0x14FF00;
  static constexpr uint32_t kPieceNotOpened = 0x14FF04;
  static constexpr uint32_t kPieceFailedBase = 0x140000;
  static constexpr uint32_t kPieceCrcFailed = 0x40107;

  static constexpr size_t kMaxSpeedSamples = 200;
  static constexpr uint32_t kMinSampledPiece = 102401;
  static constexpr DWORD kCrcChunk = 0x800000;

  // retry_wait_s: seconds between attempts; retry_limit: further attempts
  // after the first.
  CDownloadDataFromList(uint32_t retry_wait_s, uint32_t retry_limit);
  ~CDownloadDataFromList() = default;
  CDownloadDataFromList(const CDownloadDataFromList&) = delete;
  CDownloadDataFromList& operator=(const CDownloadDataFromList&) = delete;

  // 1 when every taken record was downloaded, 0 at the first failure. On
  // return both lists hold only the records downloaded (in download order),
  // whose pending-download sets GetDownloaded gives.
  int StartDownload(CMapCharge& charge, CDownloadList* records,
                    std::vector<core::ConnectionParameterData>* parameters);
  const std::vector<PendingDownload>& GetDownloaded() const { return _downloaded; }

  // Whether the record takes part in this download.
  static bool IsTaken(const CDownloadListData& record, bool map_update);

  bool _GetConfUrl(std::string* url, CMapCharge& charge,
                   const core::ConnectionParameterData& parameters);
  // 0 success, 1 empty reply, server code | 0x10000000 for "ErrorCode=".
  static uint32_t _AnalyzeConfUrl(size_t size, const char* reply, std::string* url);
  // 1 success, 0 failure. relative: a name below url, or null.
  int _AnalyzeConf(CMapCharge& charge, PendingDownload* set, const std::string& url,
                   const std::string* relative);
  bool _GetConf(CMapCharge& charge, std::vector<char>* image, const std::string& url,
                const std::string& local_path);
  bool _IsValidateFile(uint32_t crc, uint32_t size, const std::string& path);
  int _DataDownload(CMapCharge& charge, PendingDownload* set);
  // 0 match, 253 mismatch, -1 unreadable or empty.
  static int _CheckCrc(const std::string& path, uint32_t crc);
  // The same answer and log line for the piece just fetched, from the sum
  // taken while it was written; the file is read (_CheckCrc) only when it
  // is not all of what was written.
  int _CheckWrittenCrc(const std::string& path, uint32_t crc) const;
  void _SendProgress(CMapCharge& charge, uint32_t bytes, uint32_t spare);
  static bool IsRetryable(DWORD code);

  // The overall percentage of the download phase, 10 to 55.
  static uint32_t Percentage(uint64_t done, uint64_t list_total);

  uint64_t GetBytesDone() const { return _done; }
  uint32_t GetAverageSpeed() const { return _average_speed; }
  DWORD GetRetryWaitMs() const { return _retry_wait_ms; }

  // Tests shorten the client's time-outs and its pause after an empty read.
  void SetHttpTuning(const HttpTimeouts& timeouts, DWORD empty_read_pause_ms);

 private:
  // The log texts and error words of one kind of request.
  struct StepTexts {
    const char* error_first;  // null: none
    const char* error;
    const char* retry;
    const char* retries_over;  // null: none
    const char* aborted;
    const char* user_cancel;
    const char* wait_failed;
    const char* open_failed;
    const char* prepare_failed;
    uint32_t cancel_code;
    uint32_t wait_code;
    uint32_t aborted_code;
    uint32_t not_opened_code;
    uint32_t failed_base;
  };
  using Outcome = HttpExchange;
  static const StepTexts kConfUrlTexts;
  static const StepTexts kConfTexts;
  static const StepTexts kPieceTexts;

  bool _DownloadRecord(CMapCharge& charge, const CDownloadListData& record,
                       const core::ConnectionParameterData& parameters, PendingDownload* set);
  // One request with its retries; the reply stays in http.
  bool _Exchange(CMapCharge& charge, CWinHttpWrapper& http, const StepTexts& texts,
                 const std::string& url, const std::string& body, const std::string* file,
                 bool in_memory, uint32_t* attempt);
  Outcome _Transfer(CMapCharge& charge, CWinHttpWrapper& http, const std::string& url,
                    const std::string& body, const std::string* file, bool in_memory);
  // Waits the retry pause; false when the charge was aborted meanwhile.
  bool _PauseBeforeRetry(CMapCharge& charge);
  bool _ReadImage(CMapCharge& charge, PendingDownload* set, const std::string& url,
                  const std::string& local_path, RNW_ConfInfo* info);
  int _TakeFiles(CMapCharge& charge, PendingDownload* set, RNW_ConfInfo& info,
                 const std::string& piece_base_url, const std::string& piece_folder);
  int _FetchPiece(CMapCharge& charge, PendingDownload* set, const PendingPiece& piece);
  // The client of the pieces, made on the first one (on the worker, whose
  // run event it shares) and kept with its session for the others.
  CWinHttpWrapper& _PieceClient();
  void _PieceDone(CMapCharge& charge, PendingDownload* set, const PendingPiece& piece,
                  DWORD started);
  void _WriteManageRecord(CMapCharge& charge, PendingDownload* set, uint8_t percent);
  void _PostPercentage(CMapCharge& charge);
  void _AddNotice(CMapCharge& charge, const PendingDownload& set);

  std::wstring _proxy;
  bool _proxy_known = false;
  uint32_t _average_speed = 0;
  uint64_t _done = 0;
  CMapProgressWriter _block{kMapProgressDownload};
  std::vector<double> _speeds;
  DWORD _retry_wait_ms;
  uint32_t _retry_limit;

  std::wstring _user_agent;
  std::string _data_folder;
  std::unique_ptr<CConfImageChain> _chain;
  std::unique_ptr<CWinHttpWrapper> _piece_http;
  std::vector<PendingDownload> _downloaded;
  HttpTimeouts _timeouts = CWinHttpWrapper::kDefaultTimeouts;
  DWORD _empty_read_pause_ms = 100;
  // What the last try of a piece wrote to its file, summed by the client's
  // worker as it wrote; read after the worker ended.
  struct WrittenSum {
    NPCrcCalc crc;
    uint64_t size = 0;
  };
  WrittenSum _written;
};
