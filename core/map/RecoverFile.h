// The rebuild and transfer of downloaded data sets: from a data set's
// configuration image and the pieces the download left in the card's data
// folder on the PC, the card's files. Pieces are read one after another into
// the rebuilt file, gzip data unpacked on the way (no joined file is written
// first), every rebuilt file checked against the image's CRC-16 as summed
// while it was written (a file on the card is read for its check), packed
// multi-file images expanded on the PC, files copied to their place on the
// card and entries marked for removal removed from it. It also sums what a
// data set needs on the card, verifies a data set's files on the card and
// tells whether a data set already lies there. Every name from an image
// passes ServerPath.h's gate: nothing is written or removed outside its
// folder, and the card's root is never removed.
//
// Threads: one object per transfer step or size check, on the map charge's
// worker. The abort test and the abort event are the only signals from
// other threads; a stop is seen at the next image, entry, piece or copy.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "OvWindows.h"
#include "map/ConfImageChain.h"
#include "map/MapChargeProgress.h"

class CGunzipStream;
class CWinFileSystemLib;
class RNW_ConfFileInfo;
class RNW_ConfInfo;
struct DLManageRecord;

class CRecoverFile final {
 public:
  // Result codes.
  static constexpr uint32_t kAborted = 0xFF00;
  static constexpr uint32_t kVerifyFailed = 0x107;
  static constexpr uint32_t kNoMemory = 0x200;
  static constexpr uint32_t kJoinFailed = 0x210;
  static constexpr uint32_t kWriteFailed = 0x220;
  static constexpr uint32_t kUnpackFailed = 0x230;
  static constexpr uint32_t kUnusable = 0x240;

  // Entry flags.
  static constexpr uint16_t kEntryRemove = 0x200;
  static constexpr uint16_t kEntryPacked = 0x400;
  static constexpr uint16_t kEntryModeMask = 0x6000;
  static constexpr uint16_t kEntryJoinThenUnpack = 0x2000;
  static constexpr uint16_t kEntryUnpackThenJoin = 0x4000;

  enum CheckMode { kCheckSize = 0, kCheckVerify = 2 };

  static constexpr DWORD kCrcChunk = 0x400000;
  static constexpr size_t kMaxSpeedSamples = 10;
  static constexpr uint64_t kMinSampledFile = 10240;    // bytes; larger files give samples
  static constexpr double kMinSampledSpeed = 100000.0;  // bytes per second, exclusive
  static constexpr DWORD kUnpackRetryPauseMs = 3000;

  using AbortTest = std::function<bool()>;
  using TickSource = std::function<DWORD()>;
  using ErrorSink = std::function<void(uint32_t code)>;

  // abort_event: not owned, may be null; it cuts the retry pauses short.
  explicit CRecoverFile(HANDLE abort_event);
  ~CRecoverFile() = default;
  CRecoverFile(const CRecoverFile&) = delete;
  CRecoverFile& operator=(const CRecoverFile&) = delete;

  // Set before use. The error sink (may be empty) receives the rebuild's
  // failure codes: the charge's error word.
  void SetDataFolder(const std::string& folder);
  void SetSearchFolderNo(uint32_t number);
  void SetErrorSink(ErrorSink sink) { _error_sink = std::move(sink); }
  void SetAbortTest(AbortTest test) { _abort_test = std::move(test); }
  void SetWindow(HWND window) { _window = window; }
  void SetTickSource(TickSource tick) { _tick = std::move(tick); }

  // Transfers one downloaded data set (its download-management record of
  // kind, detail and name) to the card of the drive; a code.
  uint32_t _JointFile(char drive, const std::string& name, uint8_t kind, uint8_t detail);
  // Transfers the image at image_path and the images it names; a code.
  uint32_t _SendFile(uint8_t kind, const std::string& image_path, char drive);
  // Joins base.000 .. base.(count-1) into target; with delete_pieces each
  // piece goes once it was appended.
  uint32_t _MakeFile(const std::string& base, const std::string& target, uint32_t count,
                     bool delete_pieces);
  // Unpacks the pieces, read one after another, as one gzip file into
  // target; a missing piece fails before anything is unpacked, a failed
  // unpacking is tried once more after a pause.
  uint32_t _MakeUnZipFile(const std::string& base, const std::string& target, uint32_t count);
  // Unpacks every piece as a gzip file of its own onto the end of target,
  // each tried once more after a pause when it fails.
  uint32_t _UnZipMakeFile(const std::string& base, const std::string& target, uint32_t count);
  // The three above leave the CRC-16 and size of what they wrote in
  // GetRebuiltSum() (summed false after a failure).
  struct RebuiltSum {
    std::string path;
    uint64_t size = 0;
    uint16_t crc = 0;
    bool summed = false;
  };
  const RebuiltSum& GetRebuiltSum() const { return _rebuilt; }
  // A missing source counts as copied; any other failure is false.
  bool _CopyFileLite(const std::string& source, const std::string& target);
  // Reads the file for its CRC-16.
  bool _CrcCheck(const std::string& path, uint32_t crc);
  // The rebuilt file's check: the sum taken while it was written when the
  // file at path is still all of what was written, else _CrcCheck. The
  // same log lines either way.
  bool _RebuiltCrcCheck(const std::string& path, uint32_t crc);
  // Removes the folder with everything in it; a missing folder is removed.
  bool _RemoveDirectoryAll(const std::string& folder);

  // kCheckSize: *size = the bytes the data set writes to the card;
  // kCheckVerify: every file of the data set on the card has its CRC-16;
  // any other mode: 0.
  uint32_t CheckFile(uint64_t* size, const std::string& name, const std::string& data_folder,
                     char drive, uint8_t kind, uint8_t detail, int mode, uint32_t search_no);
  // Whether the data set's version lies whole on the card and the unit has
  // not taken it over yet.
  bool CheckTransferredFile(const std::string& version, char drive, const std::string& data_folder,
                            uint8_t kind, uint8_t detail, uint32_t data_id);

  // Counts the bytes of a copied file and writes the transfer block.
  void _SendProgress(uint32_t speed, uint32_t bytes);

  // Bytes of the source files handed to the copy.
  uint64_t GetCopiedBytes() const { return _copied; }
  // The transfer block's count: every copied file.
  uint64_t GetTransferredBytes() const { return _transferred; }
  uint32_t GetAverageSpeed() const;
  DWORD GetLastSystemError() const { return _last_error; }
  bool IsArchiveExpanded() const { return _archive; }
  const std::string& GetSearchCardPath() const { return _search_card_path; }

 private:
  enum ImageRead { kImageRead, kImageOpenFailed, kImageNoMemory, kImageReadFailed };
  enum JoinMode { kJoinAsTheyAre, kJoinUnpackWhole, kJoinUnpackEach };
  enum PieceRead { kPieceRead, kPieceMissing, kPieceUnreadable, kPieceRefused };
  // Takes a run of a piece's bytes; false stops the reading (kPieceRefused).
  using PieceTaker = std::function<bool(const char* data, DWORD size)>;
  class RebuiltWriter;
  // Where one file entry comes from and goes to.
  struct EntryPaths {
    std::string name;    // the entry's file name
    std::string card;    // its folder on the card, below the root ("" for none)
    std::string source;  // the local file (its pieces are source.000, ...)
    std::string temp;    // the rebuilt file
    std::string target;  // the file on the card
  };

  bool _IsStopped() const { return _abort_test && _abort_test(); }
  DWORD _Now() const { return _tick ? _tick() : GetTickCount(); }
  void _SetChargeError(uint32_t code) const;
  // The image path of the data set's download-management record; false
  // when the record is missing or names no image.
  bool _ImagePathOf(uint8_t kind, uint8_t detail, const std::string& name, std::string* path,
                    DLManageRecord* record);
  ImageRead _ReadImage(const std::string& path, std::vector<char>* bytes);
  // Reads and parses; a code (0x240 or 0x200), logging with the caller's texts.
  uint32_t _LoadImage(const std::string& path, RNW_ConfInfo* info, const char* who);
  // The local path of a nested image, beside the data set's image.
  bool _NestedImagePath(const std::string& name, std::string* path) const;
  bool _PathsOf(uint8_t kind, const RNW_ConfFileInfo& file, char drive, EntryPaths* paths) const;
  uint32_t _SendImage(uint8_t kind, const std::string& image_path, char drive);
  uint32_t _SendEntry(uint8_t kind, const RNW_ConfFileInfo& file, char drive);
  uint32_t _RemoveEntry(const RNW_ConfFileInfo& file, const EntryPaths& paths, char drive);
  uint32_t _Rebuild(const RNW_ConfFileInfo& file, const EntryPaths& paths);
  uint32_t _CopyRebuilt(const RNW_ConfFileInfo& file, const EntryPaths& paths, DWORD started);
  // The rebuild of an entry's file from its pieces, written once.
  uint32_t _JoinPieces(const std::string& base, const std::string& target, uint32_t count,
                       JoinMode mode, bool delete_pieces);
  uint32_t _JoinAsTheyAre(CWinFileSystemLib& files, const std::string& base, uint32_t count,
                          char* buffer, RebuiltWriter& writer, bool delete_pieces);
  uint32_t _JoinUnpackWhole(CWinFileSystemLib& files, const std::string& base,
                            const std::string& target, uint32_t count, char* buffer,
                            RebuiltWriter& writer);
  uint32_t _JoinUnpackEach(CWinFileSystemLib& files, const std::string& base,
                           const std::string& target, uint32_t count, char* buffer,
                           RebuiltWriter& writer);
  // Hands the piece's bytes to take in reads of the join's size.
  PieceRead _ReadPiece(CWinFileSystemLib& files, const std::string& path, char* buffer,
                       const PieceTaker& take);
  // The join's code and log line of a piece that did not pass whole.
  uint32_t _JoinFailure(PieceRead read, const RebuiltWriter& writer);
  void _KeepUnpackError(const CGunzipStream& gunzip, const RebuiltWriter& writer, const char* who);
  // After a failed unpacking: 0 after the pause before the second try,
  // kUnpackFailed after the second.
  uint32_t _UnpackFailed(int attempt, const char* who, const std::string& source,
                         const std::string& target);
  uint32_t _CheckImage(uint64_t* size, uint8_t kind, const std::string& image_path, char drive,
                       int mode);

  std::string _data_folder;
  char _drive = 0;
  std::string _image_folder;
  uint64_t _copied = 0;
  std::string _search_card_path;
  uint32_t _search_no = 1;
  ErrorSink _error_sink;
  AbortTest _abort_test;
  bool _archive = false;
  HWND _window = nullptr;  // not owned
  uint64_t _transferred = 0;
  std::vector<double> _speeds;
  CMapProgressWriter _block{kMapProgressTransfer};
  DWORD _last_error = 0;
  HANDLE _abort_event;  // not owned

  std::string _set_folder;  // the folder of the data set's image
  std::unique_ptr<CConfImageChain> _chain;
  TickSource _tick;
  RebuiltSum _rebuilt;
};
