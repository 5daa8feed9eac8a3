// The map charge's download list: the request with the card's versions, the
// reply kept on the PC as a gzip file, the records newer than the card, and
// the plain list put on the card after a transfer. The charge owns one and
// drives it through Fetch() and Analyze(); tests reach the single checks.
// Its log lines name the charge's steps (CMapCharge::_GetDownloadList, ...),
// as they always have: logs are read by them.
//
// Threads: used on the charge's worker only (or a test's thread in its
// place); the charge's state it names in its context is the worker's too.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "HttpExchange.h"
#include "OvWindows.h"
#include "map/DownloadList.h"

class CWinFileSystemLib;
class CWinHttpWrapper;

class CMapDownloadListStep final {
 public:
  // What the step takes from the charge that runs it. The pointers name the
  // charge's own members (not owned): the records chosen for the run, the
  // error code and detail, and the two totals of the download.
  struct Context {
    // The charge's abort event (not owned), for the card and file copies.
    std::function<HANDLE()> abort_event;
    // Sends one form POST and waits for it or for the charge's abort.
    std::function<void(CWinHttpWrapper& http, const std::string& url, const std::string& body,
                       HttpExchange* exchange)>
        post_form;
    // The card's data folder on the PC, with its trailing backslash.
    std::function<std::string()> data_folder;
    // The card's drive letter.
    std::function<char()> drive_letter;
    CDownloadList* chosen = nullptr;
    uint32_t* error_code = nullptr;
    uint32_t* error_detail = nullptr;
    uint64_t* estimate_total = nullptr;
    uint64_t* download_total = nullptr;
  };

  explicit CMapDownloadListStep(Context context) : _context(std::move(context)) {}
  ~CMapDownloadListStep() = default;
  CMapDownloadListStep(const CMapDownloadListStep&) = delete;
  CMapDownloadListStep& operator=(const CMapDownloadListStep&) = delete;

  // Empties the parsed list for a new run.
  void Clear() { _parsed.Clear(); }
  const CDownloadList& Parsed() const { return _parsed; }

  // Fetches the list into the parsed list and keeps its gzip copy at path.
  bool Fetch(const std::string& path);
  // Picks the records newer than the card into the chosen list; always true.
  bool Analyze();
  bool CheckRecord(CDownloadList* chosen, CDownloadListData* record);
  // The data set lies whole in the data folder and the unit has it.
  bool IsDownloaded(uint8_t kind, uint8_t detail, const std::string& version);
  bool CheckVersion(CDownloadList* chosen, const CDownloadListData& record);
  // Puts the plain list kept at list_path on the card: 0, or 0x350260.
  uint32_t TransmitPlain(const std::string& list_path);

  // Adds a fresh record (detail 0x99) per table row of the data id; the
  // number added.
  static int AddByDataId(uint32_t data_id, CDownloadList* list);

 private:
  // Request body and URL of the list; false with the error code set.
  bool BuildRequest(std::string* url, std::string* body);
  // What the exchange of the list left: the error code.
  uint32_t Store(const CWinHttpWrapper& http, const std::string& path);
  static bool WriteReplyFile(CWinFileSystemLib& files, const std::string& path,
                             const std::vector<char>& reply);
  // The card's version of a record's kind; false for a kind without one.
  bool CardVersionOfKind(uint8_t kind, uint32_t* version);

  uint32_t& ErrorCode() { return *_context.error_code; }
  uint32_t& ErrorDetail() { return *_context.error_detail; }

  Context _context;
  CDownloadList _parsed;
};
