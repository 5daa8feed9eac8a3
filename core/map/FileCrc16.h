// The CRC-16 of a whole file, summed over reads of a bounded size: the
// check of downloaded pieces, rebuilt files and files on the card. Safe on
// any thread; each call uses a buffer of its own.
#pragma once

#include <cstdint>
#include <string>

#include "OvWindows.h"

class CWinFileSystemLib;

struct FileCrc16 {
  enum Status {
    kSummed,      // every byte was read
    kOpenFailed,  // error holds the platform error
    kNoMemory,    // the read buffer could not be had
    kReadFailed,  // a read failed or came short; crc covers what was read
  };
  Status status = kOpenFailed;
  uint16_t crc = 0;
  uint64_t size = 0;  // the file's size when opened
  uint64_t done = 0;  // bytes summed
  DWORD error = 0;
};

// Opens the file through the retrying operations (which keep their error)
// and sums it in reads of at most chunk bytes.
FileCrc16 SumFileCrc16(CWinFileSystemLib& files, const std::string& path, DWORD chunk);
