// The map charge's transfer to the card: the sizes of the downloaded data
// sets, the card's room, the rebuild and copy of each data set with its
// check on the card, the plain download list for the unit and the link
// file. The charge owns one and drives it through Start(); tests reach it
// the same way and give card steps of their own. Its log lines name the
// charge's step (CMapCharge::_StartTransmit), as they always have: logs are
// read by them. The rebuild and copy itself is CRecoverFile's.
//
// Threads: used on the charge's worker only (or a test's thread in its
// place); the charge's state it names in its context is the worker's too.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "OvWindows.h"
#include "map/DownloadList.h"

class CRecoverFile;

class CMapTransfer final {
 public:
  // What the transfer needs from the card upkeep: whether the card has
  // room for the whole transfer (whole, given the first record) or for one
  // record, and the link-file update after a copied record (topic_no: the
  // kind-4 records met so far, this one included). Both leave the error
  // code when they answer false. Until they are set a transfer fails: a
  // copied data set must never miss its link-file record.
  struct CardSteps {
    std::function<bool(bool whole, const CDownloadListData& record)> check_volume;
    std::function<bool(const CDownloadListData& record, int topic_no)> update_link;
  };

  // What the transfer takes from the charge that runs it. The pointers
  // name the charge's own members (not owned): the records to copy, the map
  // update mark (cleared when the map set already lies on the card), the
  // transfer total it sums, and the error code and detail.
  struct Context {
    // The charge's abort event (not owned; may be null) and its test.
    std::function<HANDLE()> abort_event;
    std::function<bool()> is_aborted;
    // The card's data folder on the PC, with its trailing backslash.
    std::function<std::string()> data_folder;
    std::function<char()> drive_letter;
    // The core's window, for the progress messages.
    std::function<HWND()> window;
    std::function<DWORD()> tick;
    // The charge's percentage to the core.
    std::function<void(uint32_t percent)> notify_progress;
    // Records a data set now on the card in the card's history.
    std::function<void(uint32_t version, uint32_t data_id)> record_done;
    // Puts the plain download list on the card: 0, or the code.
    std::function<uint32_t()> transmit_plain_list;
    const CDownloadList* download_list = nullptr;
    bool* map_update = nullptr;
    uint64_t* transfer_total = nullptr;
    uint32_t* error_code = nullptr;
    uint32_t* error_detail = nullptr;
  };

  explicit CMapTransfer(Context context) : _context(std::move(context)) {}
  ~CMapTransfer() = default;
  CMapTransfer(const CMapTransfer&) = delete;
  CMapTransfer& operator=(const CMapTransfer&) = delete;

  void SetCardSteps(CardSteps steps) { _card_steps = std::move(steps); }

  // Rebuilds and copies the downloaded records to the card; true when
  // every record was copied or already lay on the card, false with the
  // error code set.
  bool Start();

 private:
  // What one record of the transfer loop leaves for the loop.
  enum class RecordStep {
    kNext,           // the record is on the card (or already was)
    kFailedGoOn,     // the plain list for the unit failed: the transfer has
                     // failed, yet the next records are still copied
    kEndKeepResult,  // the card is full after the first record: what was
                     // copied stands
    kFailed,         // the transfer ends and fails
  };

  // The sizes of the records to copy into the transfer total; false with
  // the error code set.
  bool SumTransferSizes(CRecoverFile& recover);
  RecordStep TransmitRecord(CRecoverFile& recover, const CDownloadListData& record, int topic_no,
                            bool first);
  // The copy of a record that is not on the card yet, with its check there.
  RecordStep CopyRecord(CRecoverFile& recover, const CDownloadListData& record, int topic_no,
                        bool first);
  // After the first record of kind 3, the plain list for a unit that reads
  // it; false when the unit's file or the list cannot be had.
  bool TransmitPlainListAfter(const CDownloadListData& record);
  void PostTransferPercentage(const CRecoverFile& recover);
  void PostProgress(LPARAM step) const;

  uint32_t& ErrorCode() { return *_context.error_code; }

  Context _context;
  CardSteps _card_steps;
  // The plain list goes to the card once in the life of the charge.
  bool _plain_list_sent = false;
};
