// The map charge's upkeep of the card: the system's disk checker, the
// removal of the data sets the unit has taken over (with their link-file
// records), the room for the transfer (with the card-clear question), the
// clearing of the map-charge folders and the link-file record after each
// copied data set. The charge owns one and drives it through its steps;
// tests reach each of them. Its log lines name the charge's steps
// (CMapCharge::_ChkSDVolume, ...), as they always have: logs are read by
// them.
//
// Threads: used on the charge's worker only (or a test's thread in its
// place); the charge's state it names in its context is the worker's too.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "OvWindows.h"
#include "map/DownloadList.h"
#include "map/MapQuestions.h"

class CWinFileSystemLib;
namespace core {
class CPcLinkFile;
}  // namespace core

class CMapCardUpkeep final {
 public:
  // Modes of the free-space check.
  enum VolumeMode { kVolumeSingle = 0, kVolumeWhole = 1 };

  using DiskSpaceSource = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
  // The bytes a record will write to the card: 0, or the code of the
  // failed query (having left the error detail).
  using TransferSizeSource = std::function<uint32_t(const CDownloadListData&, uint64_t*)>;

  // What the upkeep takes from the charge that runs it. The pointers name
  // the charge's own members (not owned): the total the whole transfer
  // needs, and the error code and detail the run goes on with.
  struct Context {
    std::function<char()> drive_letter;
    std::function<bool()> card_present;
    // The charge's abort event (not owned; may be null).
    std::function<HANDLE()> abort_event;
    // The card's data folder on the PC, with its trailing backslash.
    std::function<std::string()> data_folder;
    // Asks the main program whether to clear the whole card.
    std::function<CMapQuestions::Answer(DWORD* wait_error)> ask_card_clear;
    // The size a record needs on the card, measured on the PC.
    TransferSizeSource transfer_size;
    const uint64_t* transfer_total = nullptr;
    uint32_t* error_code = nullptr;
    uint32_t* error_detail = nullptr;
  };

  explicit CMapCardUpkeep(Context context) : _context(std::move(context)) {}
  ~CMapCardUpkeep() = default;
  CMapCardUpkeep(const CMapCardUpkeep&) = delete;
  CMapCardUpkeep& operator=(const CMapCardUpkeep&) = delete;

  // Runs the system's disk checker on the card; true when it ended with 0
  // (no errors) or 1 (errors repaired).
  bool ScanCard();
  // Whether the card's link file reads whole. Every copied data set must
  // get its record there, so a run stops before its download when it does
  // not (0x30FF03, with a log line); a card clear makes the file anew.
  bool CheckLinkFile();
  // Removes from the card the data sets the unit has taken over and brings
  // their link-file records in line with the unit's; with auto_delete the
  // older copies on the PC go too. Always true.
  bool DeleteReflectedData(int auto_delete);
  // Whether the card has room: mode kVolumeWhole for the whole transfer
  // (record: the first one), kVolumeSingle for this record alone. May ask
  // the main program whether to clear the card, unless even an emptied card
  // could not hold the first record: then the card is too small (0x35EEEE).
  bool CheckVolume(int mode, const CDownloadListData& record);
  // Removes the card's map-charge folders and makes its link file anew.
  bool ClearMapChargedData();
  // After a data set was copied: its link-file record from the unit's
  // (topic_no: the kind-4 records met so far, this one included).
  bool UpdateLinkFile(const CDownloadListData& record, int topic_no);

  // Seams for the tests: the disk checker's wait (180000 ms, taken twice),
  // the card's space query and the size a record needs on the card.
  void SetCheckerTimeout(DWORD ms) { _checker_timeout_ms = ms; }
  void SetDiskSpaceSource(DiskSpaceSource source) { _disk_space = source; }
  void SetTransferSizeSource(TransferSizeSource source) {
    _context.transfer_size = std::move(source);
  }

 private:
  bool WaitForChecker(HANDLE checker);
  void DeleteSearchFolders(CWinFileSystemLib& files, const core::CPcLinkFile& unit,
                           core::CPcLinkFile& link);
  // False when the unit has not taken the data set over.
  bool DeleteTakenOverFolder(CWinFileSystemLib& files, const core::CPcLinkFile& unit,
                             core::CPcLinkFile& link, uint32_t data_id);
  void DeleteOldLocalData(uint32_t data_id, uint32_t version);
  // The record's size on the card; false with the error code set (and the
  // data set marked for a new download) when it cannot be had.
  bool RecordSizeOrFail(const CDownloadListData& record, uint64_t* size);
  // The room the whole transfer needs: false with the error code set when
  // the run cannot make it (capacity: the card's size).
  bool MakeRoomForTransfer(const CDownloadListData& first, uint64_t needed, uint64_t free_bytes,
                           uint64_t capacity);
  bool AskCardClear();

  uint32_t& ErrorCode() { return *_context.error_code; }
  uint32_t& ErrorDetail() { return *_context.error_detail; }

  Context _context;
  DWORD _checker_timeout_ms = 180000;
  DiskSpaceSource _disk_space = &GetDiskFreeSpaceExA;
};
