// One download completion notice: which data set reached the PC, how its
// download ended and for which unit. The download writes one per data set
// into the completion-notice file; the map charge sends them from there
// (and puts back those the server did not take). This file fixes how a
// notice sits in the file's record. Plain values, any thread.
#pragma once

#include <cstdint>
#include <string>

#include "CompleteNotifyFile.h"
#include "CoreConnectionParameterData.h"
#include "OvWindows.h"

struct DownloadNotice {
  // A failed download is not noticed: the file refuses a code of 0.
  enum Code : uint8_t { kDone = 1, kAborted = 2 };

  uint32_t ccid_head = 0;
  uint8_t code = kDone;
  uint8_t data_kind = 0;
  uint8_t detail = 0;
  SYSTEMTIME date = {};
  std::string version;  // the data set's version text
  std::string device_no;

  // values {data kind, code, detail, CCID head}, the date as the 16-byte
  // block, the version as the text.
  CompleteNotifyRecord ToRecord() const;
  static DownloadNotice FromRecord(const CompleteNotifyRecord& record);
  core::ReceiverItem ToReceiverItem() const;
};

// Appends the notice to the completion-notice file; false when it cannot
// be stored (a code of 0, or a file that cannot be written).
bool StoreDownloadNotice(CCompleteNotifyFile& file, const DownloadNotice& notice);
