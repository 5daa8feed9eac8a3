// The map charge's transfer step: the sizes of the downloaded data sets,
// the card's room, the rebuild and copy of each data set with its check on
// the card, the plain download list for the unit and the link file. Runs on
// the charge's worker; see MapCharge.h.
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

bool CMapCharge::_SumTransferSizes(CRecoverFile& recover) {
  const std::string folder = _GetDataFolder();
  for (const CDownloadListData& record : _download_list.GetRecords()) {
    if (recover.CheckTransferredFile(record.version, GetDriveLetter(), folder, record.data_kind,
                                     record.detail, DataIdOf(record.data_kind))) {
      if (record.data_kind == 0 || record.data_kind == 1) _map_update = false;
      continue;
    }
    uint64_t size = 0;
    const uint32_t code =
        recover.CheckFile(&size, record.version, folder, GetDriveLetter(), record.data_kind,
                          record.detail, CRecoverFile::kCheckSize, 1);
    if (code != 0) {
      _error_code = code | 0x50000;
      OV_LOG(kLogError, "CMapCharge::_StartTransmit - 転送サイズ取得失敗 RET:0x%08X",
             static_cast<unsigned>(_error_code));
      return false;
    }
    OV_LOG(kLogInfo, "CMapCharge::_StartTransmit - 転送サイズ KIND:%X SIZE:%lld", record.data_kind,
           static_cast<long long>(size));
    _transfer_total += size;
  }
  return true;
}

bool CMapCharge::_StartTransmit() {
  OV_LOG(kLogTrace, "CMapCharge::_StartTransmit - Start");
  if (!_card_steps.check_volume || !_card_steps.update_link) {
    OV_LOG(kLogError, "CMapCharge::_StartTransmit - カード確認手順未設定");
    _error_code = kNoCardSteps;
    return false;
  }
  CRecoverFile recover(GetAbortEvent());
  recover.SetDataFolder(_GetDataFolder());
  recover.SetMapCharge(this);
  recover.SetAbortTest([this] { return IsAbortSet(); });
  recover.SetWindow(GetTargetWindow());
  recover.SetTickSource([this] { return _tick(); });
  _transfer_total = 0;
  if (!_SumTransferSizes(recover)) return false;
  if (IsAbortSet()) {
    OV_LOG(kLogError, "CMapCharge::_StartTransmit - SDカードサイズ確認前キャンセル RET:0x%08X",
           static_cast<unsigned>(kTransmitAborted));
    _error_code = kTransmitAborted;
    return false;
  }
  CMapProgressWriter block(kMapProgressTransfer);
  block.Write(MapProgressWords::Make(kMapProgressTransfer, 0, 0, 0, _transfer_total));
  PostMapChargeMessage(GetTargetWindow(), kMsgMapProgressStart, kMapProgressTransfer, 0);
  if (_download_list.IsEmpty()) {
    _error_code = kNothingToDo;
    OV_LOG(kLogTrace, "CMapCharge::_StartTransmit - 転送対象無しのため終了");
    return false;
  }
  const CDownloadList::Records& records = _download_list.GetRecords();
  if (!_card_steps.check_volume(true, records.front())) return false;

  bool result = true;
  int topic_no = 0;
  for (size_t i = 0; i < records.size(); ++i) {
    if (records[i].data_kind == 4) ++topic_no;
    const TransmitStep step = _TransmitRecord(recover, records[i], topic_no, i == 0);
    if (step == TransmitStep::kFailedGoOn || step == TransmitStep::kFailed) result = false;
    if (step == TransmitStep::kEndKeepResult || step == TransmitStep::kFailed) break;
  }
  OV_LOG(kLogTrace, "CMapCharge::_StartTransmit - End(%d)", result ? 1 : 0);
  return result;
}

CMapCharge::TransmitStep CMapCharge::_TransmitRecord(CRecoverFile& recover,
                                                     const CDownloadListData& record, int topic_no,
                                                     bool first) {
  const char drive = GetDriveLetter();
  const std::string folder = _GetDataFolder();
  const uint32_t version = record.GetVersionNumber();
  const auto stop = [this](uint32_t code) {
    _error_code = code;
    return TransmitStep::kFailed;
  };
  if (record.data_kind == 4) recover.SetSearchFolderNo(static_cast<uint32_t>(topic_no));
  if (recover.CheckTransferredFile(record.version, drive, folder, record.data_kind, record.detail,
                                   DataIdOf(record.data_kind))) {
    OV_LOG(kLogInfo,
           "CMapCharge::_StartTransmit - 転送済み判定 KIND:%X Detail:%X Year:%d Version:%08X "
           "TopicNo:%d",
           record.data_kind, record.detail, static_cast<int>(record.year),
           static_cast<unsigned>(version), topic_no);
  } else {
    OV_LOG(kLogInfo,
           "CMapCharge::_StartTransmit - 転送開始 KIND:%X Detail:%X Year:%d Version:%08X "
           "TopicNo:%d",
           record.data_kind, record.detail, static_cast<int>(record.year),
           static_cast<unsigned>(version), topic_no);
    if (IsAbortSet()) {
      OV_LOG(kLogError, "CMapCharge::_StartTransmit - 転送済み判定キャンセル RET:0x%08X",
             static_cast<unsigned>(kTransmitAborted));
      return stop(kTransmitAborted);
    }
    if (!_card_steps.check_volume(false, record)) {
      // Only a card that is full after the first data set keeps what was
      // copied as a success; every other failure is the run's result.
      if (!first && _error_code == kNoRoomForOne) {
        _error_code = 0;
        return TransmitStep::kEndKeepResult;
      }
      return TransmitStep::kFailed;
    }
    const uint32_t copied =
        recover._JointFile(drive, record.version, record.data_kind, record.detail);
    if (copied != 0) {
      _error_detail = recover.GetLastSystemError();
      const uint32_t code = IsAbortSet() ? kTransmitAborted : (copied | 0x350000);
      OV_LOG(kLogError, "CMapCharge::_StartTransmit - 転送失敗 RET:0x%08X",
             static_cast<unsigned>(code));
      return stop(code);
    }
    PostMapChargeMessage(GetTargetWindow(), kMsgMapProgress, kMapProgressTransfer, 1);
    OV_LOG(kLogInfo,
           "CMapCharge::_StartTransmit - 転送後のベリファイチェック開始 KIND:%X Detail:%X "
           "Year:%d Version:%08X TopicNo:%d",
           record.data_kind, record.detail, static_cast<int>(record.year),
           static_cast<unsigned>(version), topic_no);
    uint64_t unused = 0;
    const uint32_t verified =
        recover.CheckFile(&unused, record.version, folder, drive, record.data_kind, record.detail,
                          CRecoverFile::kCheckVerify, static_cast<uint32_t>(topic_no));
    PostMapChargeMessage(GetTargetWindow(), kMsgMapProgress, kMapProgressTransfer, 2);
    if (verified != 0) {
      const uint32_t code = IsAbortSet() ? kVerifyAborted : (verified | 0x3A0000);
      OV_LOG(kLogError, "CMapCharge::_StartTransmit - 転送後のベリファイチェック失敗 RET:0x%08X",
             static_cast<unsigned>(code));
      return stop(code);
    }
  }
  if (!_TransmitDLLSTAfter(record)) return TransmitStep::kFailedGoOn;
  _PostTransferPercentage(recover);
  if (!_card_steps.update_link(record, topic_no)) {
    OV_LOG(kLogError, "CMapCharge::_StartTransmit - お出かけ管理ファイル 更新失敗");
    return stop(kLinkNotUpdated);
  }
  if (_error_code == 0) {
    _SaveHistory(kHistoryDone, _error_code, version, 0, DataIdOf(record.data_kind));
  }
  return TransmitStep::kNext;
}

bool CMapCharge::_TransmitDLLSTAfter(const CDownloadListData& record) {
  if (_dllst_sent || record.data_kind != 3) return true;
  const CPcLinkFile unit(CPcLinkFile::kUnitInfoFile, GetDriveLetter());
  if (!unit.IsLoaded()) {
    OV_LOG(kLogError, "CMapCharge::_StartTransmit - NAVIINFO.DAT読み込み失敗");
    return false;
  }
  if (unit.GetFileKind() != 2) return true;
  const uint32_t code = _TransmitDLLST();
  if (code != 0) {
    OV_LOG(kLogError, "CMapCharge::_StartTransmit - 転送後のDLLST転送失敗 RET:0x%08X",
           static_cast<unsigned>(code));
    _error_code = code;
    return false;
  }
  _dllst_sent = true;
  return true;
}

void CMapCharge::_PostTransferPercentage(const CRecoverFile& recover) {
  const uint64_t done = recover.GetCopiedBytes();
  uint32_t percent = 0;
  if (_transfer_total != 0) {
    const uint64_t part = done >= _transfer_total ? 45 : done * 45 / _transfer_total;
    percent = static_cast<uint32_t>(part);
  }
  OV_LOG(kLogTrace, "転送データ総サイズ = %dByte", static_cast<int>(done));
  OV_LOG(kLogTrace, "進捗率 = %d%%", static_cast<int>(percent + 55));
  _NotifyProgress(percent + 55);
}
