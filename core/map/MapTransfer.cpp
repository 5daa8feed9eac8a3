// The map charge's transfer to the card; see MapTransfer.h.
#include "map/MapTransfer.h"

#include "CoreMessages.h"
#include "Log.h"
#include "OstrovelleLite/PcLinkFile.h"
#include "map/MapCharge.h"
#include "map/MapChargeProgress.h"
#include "map/RecoverFile.h"

namespace {

constexpr uint32_t kDataIdMapSet = 0x30010001;
constexpr uint32_t kNoRoomForOne = 0x350109;
constexpr uint32_t kTransmitAborted = 0x5FF00;
constexpr uint32_t kVerifyAborted = 0xAFF00;
constexpr uint32_t kLinkNotUpdated = 0x30FF03;
constexpr uint32_t kNothingToDo = 0xFF02;
// The run has not told the transfer how to check the card and the link file.
constexpr uint32_t kNoCardSteps = 0x5FFFF;

uint32_t DataIdOf(uint8_t kind) {
  if (kind == 0 || kind == 1) return kDataIdMapSet;
  return static_cast<uint32_t>(CMapCharge::DataIdOfKind(kind));
}

}  // namespace

bool CMapTransfer::SumTransferSizes(CRecoverFile& recover) {
  const std::string folder = _context.data_folder();
  const char drive = _context.drive_letter();
  for (const CDownloadListData& record : _context.download_list->GetRecords()) {
    if (recover.CheckTransferredFile(record.version, drive, folder, record.data_kind, record.detail,
                                     DataIdOf(record.data_kind))) {
      if (record.data_kind == 0 || record.data_kind == 1) *_context.map_update = false;
      continue;
    }
    uint64_t size = 0;
    const uint32_t code = recover.CheckFile(&size, record.version, folder, drive, record.data_kind,
                                            record.detail, CRecoverFile::kCheckSize, 1);
    if (code != 0) {
      ErrorCode() = code | 0x50000;
      OV_LOG(kLogError, "CMapCharge::_StartTransmit - 転送サイズ取得失敗 RET:0x%08X",
             static_cast<unsigned>(ErrorCode()));
      return false;
    }
    OV_LOG(kLogInfo, "CMapCharge::_StartTransmit - 転送サイズ KIND:%X SIZE:%lld", record.data_kind,
           static_cast<long long>(size));
    *_context.transfer_total += size;
  }
  return true;
}

bool CMapTransfer::Start() {
  OV_LOG(kLogTrace, "CMapCharge::_StartTransmit - Start");
  if (!_card_steps.check_volume || !_card_steps.update_link) {
    OV_LOG(kLogError, "CMapCharge::_StartTransmit - カード確認手順未設定");
    ErrorCode() = kNoCardSteps;
    return false;
  }
  CRecoverFile recover(_context.abort_event());
  recover.SetDataFolder(_context.data_folder());
  recover.SetErrorSink([this](uint32_t code) { ErrorCode() = code; });
  recover.SetAbortTest(_context.is_aborted);
  recover.SetWindow(_context.window());
  recover.SetTickSource(_context.tick);
  *_context.transfer_total = 0;
  if (!SumTransferSizes(recover)) return false;
  if (_context.is_aborted()) {
    OV_LOG(kLogError, "CMapCharge::_StartTransmit - SDカードサイズ確認前キャンセル RET:0x%08X",
           static_cast<unsigned>(kTransmitAborted));
    ErrorCode() = kTransmitAborted;
    return false;
  }
  CMapProgressWriter block(kMapProgressTransfer);
  block.Write(MapProgressWords::Make(kMapProgressTransfer, 0, 0, 0, *_context.transfer_total));
  PostMapChargeMessage(_context.window(), kMsgMapProgressStart, kMapProgressTransfer, 0);
  const CDownloadList::Records& records = _context.download_list->GetRecords();
  if (records.empty()) {
    ErrorCode() = kNothingToDo;
    OV_LOG(kLogTrace, "CMapCharge::_StartTransmit - 転送対象無しのため終了");
    return false;
  }
  if (!_card_steps.check_volume(true, records.front())) return false;

  bool result = true;
  int topic_no = 0;
  for (size_t i = 0; i < records.size(); ++i) {
    if (records[i].data_kind == 4) ++topic_no;
    const RecordStep step = TransmitRecord(recover, records[i], topic_no, i == 0);
    if (step == RecordStep::kFailedGoOn || step == RecordStep::kFailed) result = false;
    if (step == RecordStep::kEndKeepResult || step == RecordStep::kFailed) break;
  }
  OV_LOG(kLogTrace, "CMapCharge::_StartTransmit - End(%d)", result ? 1 : 0);
  return result;
}

CMapTransfer::RecordStep CMapTransfer::TransmitRecord(CRecoverFile& recover,
                                                      const CDownloadListData& record, int topic_no,
                                                      bool first) {
  const uint32_t version = record.GetVersionNumber();
  if (record.data_kind == 4) recover.SetSearchFolderNo(static_cast<uint32_t>(topic_no));
  if (recover.CheckTransferredFile(record.version, _context.drive_letter(), _context.data_folder(),
                                   record.data_kind, record.detail, DataIdOf(record.data_kind))) {
    OV_LOG(kLogInfo,
           "CMapCharge::_StartTransmit - 転送済み判定 KIND:%X Detail:%X Year:%d Version:%08X "
           "TopicNo:%d",
           record.data_kind, record.detail, static_cast<int>(record.year),
           static_cast<unsigned>(version), topic_no);
  } else {
    const RecordStep copied = CopyRecord(recover, record, topic_no, first);
    if (copied != RecordStep::kNext) return copied;
  }
  if (!TransmitPlainListAfter(record)) return RecordStep::kFailedGoOn;
  PostTransferPercentage(recover);
  if (!_card_steps.update_link(record, topic_no)) {
    OV_LOG(kLogError, "CMapCharge::_StartTransmit - お出かけ管理ファイル 更新失敗");
    ErrorCode() = kLinkNotUpdated;
    return RecordStep::kFailed;
  }
  if (ErrorCode() == 0) _context.record_done(version, DataIdOf(record.data_kind));
  return RecordStep::kNext;
}

CMapTransfer::RecordStep CMapTransfer::CopyRecord(CRecoverFile& recover,
                                                  const CDownloadListData& record, int topic_no,
                                                  bool first) {
  const char drive = _context.drive_letter();
  const uint32_t version = record.GetVersionNumber();
  const auto stop = [this](uint32_t code) {
    ErrorCode() = code;
    return RecordStep::kFailed;
  };
  OV_LOG(kLogInfo,
         "CMapCharge::_StartTransmit - 転送開始 KIND:%X Detail:%X Year:%d Version:%08X "
         "TopicNo:%d",
         record.data_kind, record.detail, static_cast<int>(record.year),
         static_cast<unsigned>(version), topic_no);
  if (_context.is_aborted()) {
    OV_LOG(kLogError, "CMapCharge::_StartTransmit - 転送済み判定キャンセル RET:0x%08X",
           static_cast<unsigned>(kTransmitAborted));
    return stop(kTransmitAborted);
  }
  if (!_card_steps.check_volume(false, record)) {
    // Only a card that is full after the first data set keeps what was
    // copied as a success; every other failure is the run's result.
    if (!first && ErrorCode() == kNoRoomForOne) {
      ErrorCode() = 0;
      return RecordStep::kEndKeepResult;
    }
    return RecordStep::kFailed;
  }
  const uint32_t copied =
      recover._JointFile(drive, record.version, record.data_kind, record.detail);
  if (copied != 0) {
    *_context.error_detail = recover.GetLastSystemError();
    const uint32_t code = _context.is_aborted() ? kTransmitAborted : (copied | 0x350000);
    OV_LOG(kLogError, "CMapCharge::_StartTransmit - 転送失敗 RET:0x%08X",
           static_cast<unsigned>(code));
    return stop(code);
  }
  PostProgress(1);
  OV_LOG(kLogInfo,
         "CMapCharge::_StartTransmit - 転送後のベリファイチェック開始 KIND:%X Detail:%X "
         "Year:%d Version:%08X TopicNo:%d",
         record.data_kind, record.detail, static_cast<int>(record.year),
         static_cast<unsigned>(version), topic_no);
  uint64_t unused = 0;
  const uint32_t verified =
      recover.CheckFile(&unused, record.version, _context.data_folder(), drive, record.data_kind,
                        record.detail, CRecoverFile::kCheckVerify, static_cast<uint32_t>(topic_no));
  PostProgress(2);
  if (verified != 0) {
    const uint32_t code = _context.is_aborted() ? kVerifyAborted : (verified | 0x3A0000);
    OV_LOG(kLogError, "CMapCharge::_StartTransmit - 転送後のベリファイチェック失敗 RET:0x%08X",
           static_cast<unsigned>(code));
    return stop(code);
  }
  return RecordStep::kNext;
}

void CMapTransfer::PostProgress(LPARAM step) const {
  PostMapChargeMessage(_context.window(), kMsgMapProgress, kMapProgressTransfer, step);
}

bool CMapTransfer::TransmitPlainListAfter(const CDownloadListData& record) {
  if (_plain_list_sent || record.data_kind != 3) return true;
  const CPcLinkFile unit(CPcLinkFile::kUnitInfoFile, _context.drive_letter());
  if (!unit.IsLoaded()) {
    OV_LOG(kLogError, "CMapCharge::_StartTransmit - NAVIINFO.DAT読み込み失敗");
    return false;
  }
  if (unit.GetFileKind() != 2) return true;
  const uint32_t code = _context.transmit_plain_list();
  if (code != 0) {
    OV_LOG(kLogError, "CMapCharge::_StartTransmit - 転送後のDLLST転送失敗 RET:0x%08X",
           static_cast<unsigned>(code));
    ErrorCode() = code;
    return false;
  }
  _plain_list_sent = true;
  return true;
}

void CMapTransfer::PostTransferPercentage(const CRecoverFile& recover) {
  const uint64_t done = recover.GetCopiedBytes();
  const uint64_t total = *_context.transfer_total;
  uint32_t percent = 0;
  if (total != 0) {
    const uint64_t part = done >= total ? 45 : done * 45 / total;
    percent = static_cast<uint32_t>(part);
  }
  OV_LOG(kLogTrace, "転送データ総サイズ = %dByte", static_cast<int>(done));
  OV_LOG(kLogTrace, "進捗率 = %d%%", static_cast<int>(percent + 55));
  _context.notify_progress(percent + 55);
}
