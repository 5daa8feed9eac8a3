// One run of the map charge, from the card scan to the transfer, with the
// phases, percentages and the single result it reports, the progress
// blocks, and the size a data set needs on the card. Runs on the charge's
// worker; see MapCharge.h.
#include "ChargeKind.h"
#include "CoreMessages.h"
#include "Log.h"
#include "map/MapCharge.h"
#include "map/MapChargeProgress.h"
#include "map/RecoverFile.h"

namespace {

// What a step that failed without a code of its own reports.
constexpr uint32_t kCodeUnexplained = 0xFFFF;

bool IsAbortCode(uint32_t code) { return (code & 0xFFFF) == CHARGE_RESULT_ABORT; }

}  // namespace

void CMapCharge::_PhasePause() const {
  const HANDLE abort = _GetAbortEvent();
  if (_phase_pause_ms == 0) return;
  if (abort) {
    WaitForSingleObject(abort, _phase_pause_ms);
  } else {
    Sleep(_phase_pause_ms);
  }
}

void CMapCharge::_OpenProgressBlocks() {
  const struct {
    core::CBlockShareMem* block;
    uint32_t phase;
  } blocks[] = {{&_dl_block, kMapProgressDownload}, {&_tr_block, kMapProgressTransfer}};
  for (const auto& b : blocks) {
    // A main program that still holds the block from an earlier run keeps
    // it alive; the run takes it as it stands rather than going without.
    const std::string name = MapProgressBlockName(b.phase);
    const DWORD error = b.block->Open(name.c_str(), true, kMapChargeProgressSize, true);
    if (error != 0) {
      OV_LOG(kLogError, "共有メモリ作成失敗(%s) ERR:0x%08X", name.c_str(),
             static_cast<unsigned>(error));
    }
  }
}

void CMapCharge::_PostToCore(const char* message, WPARAM wparam, LPARAM lparam) const {
  PostMapChargeMessage(GetTargetWindow(), message, wparam, lparam);
}

void CMapCharge::_ResetProgressBlock(uint32_t phase, uint32_t speed, uint64_t total) {
  CMapProgressWriter block(phase);
  block.Write(MapProgressWords::Make(phase, speed, 0, 0, total));
}

uint32_t CMapCharge::_TransferSizeOf(const CDownloadListData& record, uint64_t* size) {
  CRecoverFile recover(GetAbortEvent());
  recover.SetDataFolder(_GetDataFolder());
  recover.SetErrorSink([this](uint32_t code) { _error_code = code; });
  recover.SetAbortTest([this] { return IsAbortSet(); });
  *size = 0;
  const uint32_t code =
      recover.CheckFile(size, record.version, _GetDataFolder(), GetDriveLetter(), record.data_kind,
                        record.detail, CRecoverFile::kCheckSize, 1);
  if (code != 0) _error_detail = recover.GetLastSystemError();
  return code;
}

uint32_t CMapCharge::_EndFailedRun(uint32_t phase_to_end) {
  if (_error_code == 0) _error_code = kCodeUnexplained;
  _NotifyError(_error_code, _error_detail);
  _SaveHistory(IsAbortCode(_error_code) ? kHistoryAborted : kHistoryFailed, _error_code, 0, 0, 0);
  if (phase_to_end != 0) _PostToCore(kMsgMapProgressEnd, phase_to_end, 0);
  return _error_code;
}

uint32_t CMapCharge::_Proc() {
  OV_LOG(kLogTrace, "CMapCharge::_Proc - Start");
  _Init();
  _NotifyProgress(0);
  _PostToCore(kMsgMapProgressStart, kPhaseCardScan, 0);
  _ScanSDCard();
  _PostToCore(kMsgMapProgressEnd, kPhaseCardScan, 0);

  _ResetProgressBlock(kPhaseDownload, 0, 0);
  _PostToCore(kMsgMapProgressStart, kPhaseDownload, 0);
  _NotifyProgress(0);
  _DeleteReflectedData(_config.GetDataAutoDelete());
  // A link file that cannot be read would fail the run after the whole
  // download, on every run: stop before it.
  if (!_CheckPCLinkFile()) return _EndFailedRun(kPhaseDownload);
  const auto aborted = [this] {
    OV_LOG(kLogInfo, "CMapCharge::_Proc - 処理中断");
    if (_error_code == 0) _error_code = CHARGE_RESULT_ABORT;
    _EndFailedRun(kPhaseDownload);
    return static_cast<uint32_t>(CHARGE_RESULT_ABORT);
  };
  if (_IsAbort()) return aborted();
  if (!_SpeedTest()) return _EndFailedRun(kPhaseDownload);
  _NotifyProgress(3);
  if (_IsAbort()) return aborted();

  _dl_list_path = _GetDataFolder() + "DL.LST";
  if (!_GetDownloadList(_dl_list_path)) {
    OV_LOG(kLogError, "CMapCharge::_Proc - ダウンロードリスト取得失敗");
    return _EndFailedRun(kPhaseDownload);
  }
  _NotifyProgress(5);
  // From here on an abort ends the run as such, whatever a step left.
  _error_code = 0;
  if (_IsAbort()) return aborted();
  _AnalyzeDownloadList();
  if (_chosen_list.IsEmpty()) {
    _NotifyError(CHARGE_RESULT_NODATA, _error_detail);
    OV_LOG(kLogInfo, "CMapCharge::_Proc - End");
    _PostToCore(kMsgMapProgressEnd, kPhaseDownload, 0);
    return CHARGE_RESULT_SUCCESS;
  }
  _NotifyProgress(8);
  _error_code = 0;
  if (_IsAbort()) return aborted();
  return _ProcDownloadAndTransfer();
}

uint32_t CMapCharge::_ProcDownloadAndTransfer() {
  if (!_AgreeDownload() && _error_code != 0) {
    if (_error_code == CHARGE_RESULT_SKIP) {
      _NotifyError(CHARGE_RESULT_SKIP, _error_detail);
      _PostToCore(kMsgMapProgressEnd, kPhaseDownload, 0);
      return CHARGE_RESULT_SKIP;
    }
    OV_LOG(kLogError, "CMapCharge::_Proc - パラメータ作成失敗");
    return _EndFailedRun(kPhaseDownload);
  }
  if (_download_list.IsEmpty()) {
    _NotifyError(CHARGE_RESULT_NODATA, _error_detail);
    OV_LOG(kLogInfo, "CMapCharge::_Proc - End");
    _PostToCore(kMsgMapProgressEnd, kPhaseDownload, 0);
    return CHARGE_RESULT_SUCCESS;
  }

  _NotifyProgress(10);
  _ResetProgressBlock(kPhaseDownload, _line_speed / 8, _download_total);
  _PostToCore(kMsgMapProgressStart, kPhaseDownload, 0);
  const bool downloaded = _StartDownloadData();
  const uint32_t download_code = _error_code;
  if (!_EndNotify()) {
    OV_LOG(kLogError, "CMapCharge::_Proc - 完了通知失敗");
    // A failed download keeps its own code; the notices' failure ends a
    // run only when it left a code of its own.
    if (downloaded && _error_code != 0) {
      _PostToCore(kMsgMapProgressEnd, kPhaseDownload, 0);
      _NotifyError(_error_code, _error_detail);
      return _error_code;
    }
  }
  _error_code = download_code;
  _PhasePause();
  _PostToCore(kMsgMapProgressEnd, kPhaseDownload, 0);
  if (!downloaded) {
    OV_LOG(kLogError, "CMapCharge::_Proc - データダウンロード失敗");
    return _EndFailedRun(0);
  }

  _NotifyProgress(55);
  _ResetProgressBlock(kPhaseTransfer, 0, 0);
  _PostToCore(kMsgMapProgressStart, kPhaseTransfer, 0);
  if (!_StartTransmit()) {
    OV_LOG(kLogError, "CMapCharge::_Proc - データ転送失敗");
    return _EndFailedRun(kPhaseTransfer);
  }
  _PhasePause();
  _PostToCore(kMsgMapProgressEnd, kPhaseTransfer, 0);
  if (_map_update) {
    // The new map makes the traffic, weather and music reservations stale.
    for (const uint32_t kind : {CHARGE_KIND_TIDEWHEEL, CHARGE_KIND_WEATHER, CHARGE_KIND_MUSIC}) {
      _PostToCore(kMsgRequestAbort, 0, static_cast<LPARAM>(kind));
    }
  }
  _NotifyProgress(100);
  _NotifyError(CHARGE_RESULT_SUCCESS, 0);
  OV_LOG(kLogTrace, "CMapCharge::_Proc - End");
  return CHARGE_RESULT_SUCCESS;
}
