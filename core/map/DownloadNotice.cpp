// The download notice's place in the completion-notice record; see
// DownloadNotice.h.
#include "map/DownloadNotice.h"

#include <cstring>

static_assert(sizeof(SYSTEMTIME) == 16, "the date fills the record's 16-byte block");

CompleteNotifyRecord DownloadNotice::ToRecord() const {
  CompleteNotifyRecord record;
  record.type = CompleteNotifyRecord::kTypeDownload;
  record.values[0] = data_kind;
  record.values[1] = code;
  record.values[2] = detail;
  record.values[3] = ccid_head;
  memcpy(record.block, &date, sizeof(record.block));
  record.text = version;
  record.device_no = device_no;
  return record;
}

DownloadNotice DownloadNotice::FromRecord(const CompleteNotifyRecord& record) {
  DownloadNotice notice;
  notice.data_kind = static_cast<uint8_t>(record.values[0]);
  notice.code = static_cast<uint8_t>(record.values[1]);
  notice.detail = static_cast<uint8_t>(record.values[2]);
  notice.ccid_head = record.values[3];
  memcpy(&notice.date, record.block, sizeof(notice.date));
  notice.version = record.text;
  notice.device_no = record.device_no;
  return notice;
}

core::ReceiverItem DownloadNotice::ToReceiverItem() const {
  core::ReceiverItem item;
  item.type01 = data_kind;
  item.type02 = detail;
  item.cl = code;
  item.date = date;
  item.version = version;
  return item;
}

bool StoreDownloadNotice(CCompleteNotifyFile& file, const DownloadNotice& notice) {
  const CompleteNotifyRecord record = notice.ToRecord();
  return file.AddDownloadNotifyData(record.values, record.block, record.text.c_str(),
                                    record.device_no.c_str());
}
