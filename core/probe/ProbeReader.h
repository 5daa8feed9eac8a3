// What the two probe readers (CProbeFile for the unit's trip files,
// CProbeZone for archived zones) share: the identity record they report,
// their result codes, the checks and reading of the source, the send-data
// file writer and the bookkeeping of the joined driving-history files.
// A reader serves one trip folder on one thread (the charge's worker); the
// abort event (not owned) is set by another thread and only shortens the
// pauses of the retrying file operations.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Handle.h"
#include "OvWindows.h"
#include "WinFileSystemLib.h"
#include "util/GZipIF.h"

// The identity of one trip's probe data. Readers of trip files fill the
// ccid, the uid and the value (their model, 9 or 10); readers of archives
// fill everything, with the value 0.
struct ProbeDiscrimination {
  std::string ccid;
  std::string uid;
  uint32_t data_year = 0;
  std::string unit_model;
  std::string maker;
  std::string application_version;
  std::string map_version;
  std::string device_number;
};

// Result codes of the readers (0 is success).
enum ProbeReaderCode : DWORD {
  kProbeBadPath = 258,      // bad or missing path, no reader, memory for the head part
  kProbeOpenFailed = 259,   // open or create failure; bad data-part frame
  kProbeReadFailed = 260,   // read failure
  kProbeWriteFailed = 261,  // write failure
  kProbePackFailed = 263,   // compression or expansion failure
  kProbeBadFrame = 268,     // tags, sizes, identification, names, counts
  kProbeNoMemory = 0xFFFF,  // memory for the probe file
  kProbeTooShort = 0xFF02,  // probe file shorter than its fixed header
};

constexpr size_t kProbeIdBlockSize = 36;
constexpr size_t kProbeBlockHeaderSize = 144;
constexpr size_t kProbeBlockNameSize = 128;

// One "8BIN" block header as the probe and send-data files store it.
struct ProbeBlockHeader {
  char tag[4];
  uint32_t size_low;
  uint32_t size_high;
  uint32_t name_length;
  std::string name;  // up to the first NUL of the 128-byte field
};
// Reads the header at `offset`; false when it does not fit in `size`.
bool ReadProbeBlockHeader(const uint8_t* data, size_t size, size_t offset,
                          ProbeBlockHeader* header);
uint32_t ReadLe32(const uint8_t* p);
uint64_t ReadLe64(const uint8_t* p);
// The text of a fixed field, up to its first NUL.
std::string FieldText(const uint8_t* p, size_t size);

class CProbeReader {
 public:
  virtual ~CProbeReader();
  CProbeReader(const CProbeReader&) = delete;
  CProbeReader& operator=(const CProbeReader&) = delete;

  // The platform error of the failed step (0 when none).
  DWORD GetLastError() const { return _last_error; }
  // The total size of the joined driving-history files that went into the
  // send-data file.
  uint64_t GetSrcFileSize() const { return _source_size; }
  const std::vector<std::string>& JoinedFiles() const { return _joined; }

  // Builds the send-data file at send_path from the trip's probe file at
  // source_path. 0 with *skip set: the folder held nothing to send and was
  // removed from the card; 0 with *skip clear: the send-data file is
  // written; else a ProbeReaderCode, the folder left as it is.
  DWORD MakeSendFile(BYTE* skip, const char* send_path, const char* source_path);
  // Deletes every file this reader left in the temporary folder.
  virtual DWORD ClearTemporaryFile() = 0;
  virtual ProbeDiscrimination GetProbeDiscrimination() const = 0;

  DWORD _CheckSrcFile(const char* path);

 protected:
  CProbeReader(char drive, HANDLE abort_event);

  // The reader's own steps: the source read into pieces or an archive, and
  // their joining; the joined file's name in the send-data file.
  virtual DWORD ReadStep() = 0;
  virtual DWORD CombineStep() = 0;
  virtual const char* JoinedName() const = 0;

  // Reads the whole source into `bytes`; 0, or the code of the failure
  // (logged). `min_size` is the smallest size the format can hold.
  DWORD ReadSource(size_t min_size, std::vector<uint8_t>* bytes);
  // Writes the send-data file from the identification block and the
  // joined files, each under the block name of the trip's time stamp and
  // `joined_name`; deletes the joined files. 0 or the code (logged).
  DWORD WriteSendFile(const char* joined_name);
  // Deletes the joined files; 0, or the last platform error.
  DWORD DeleteJoinedFiles() { return DeleteTemporaryFiles(_joined); }
  // Deletes files of ours (a missing one is no error), logging each
  // failure; 0, or the last platform error.
  DWORD DeleteTemporaryFiles(const std::vector<std::string>& paths);
  // Writes a file of ours in the temporary folder whole; 0, or 259 when it
  // cannot be created and `write_code` when it cannot be written (logged,
  // the half-written file removed).
  DWORD WriteOutFile(const std::string& path, const uint8_t* data, size_t size, DWORD write_code);
  // Reads an expanded file of ours whole and deletes it; 0 or the code
  // (logged; `open_message` names the file in the open failure's line).
  DWORD ReadExpandedFile(const std::string& path, const char* open_message,
                         std::vector<uint8_t>* bytes);
  // The folder of the send-data file, created when missing.
  DWORD MakeOutputFolder(std::string* folder);
  DWORD Fail(DWORD code, DWORD error) {
    _last_error = error;
    return code;
  }

  char _drive;
  std::string _source_path;
  std::string _send_path;
  uint8_t _id_block[kProbeIdBlockSize] = {};
  std::vector<std::string> _joined;
  uint64_t _source_size = 0;
  BYTE _skip = 0;
  DWORD _last_error = 0;
  HANDLE _abort_event;  // not owned
  CWinFileSystemLib _fs;
  CGZipIF _gzip;

 private:
  DWORD WriteSendBlock(HANDLE send, const std::string& joined, const std::string& block_name);
};

// Whole-file helpers over the retrying file operations, for the readers
// and the probe charge.
enum ProbeFileResult {
  kProbeFileOk = 0,
  kProbeFileNoMemory,
  kProbeFileReadFailed,  // the platform error is in the holder
  kProbeFileShort,       // the file ended early (ERROR_HANDLE_EOF)
};
// Opens through the retrying open; an empty owner on failure (the platform
// error is in the holder).
CFileHandle OpenProbeFile(CWinFileSystemLib& fs, const std::string& path, DWORD access, DWORD share,
                          DWORD disposition);
// Reads the rest of an open file into `bytes`.
ProbeFileResult ReadOpenFile(CWinFileSystemLib& fs, HANDLE file, std::vector<uint8_t>* bytes);
// Writes every byte; a short write counts as ERROR_DISK_FULL. False with
// the platform error in *error.
bool WriteAll(CWinFileSystemLib& fs, HANDLE file, const void* data, size_t size, DWORD* error);
