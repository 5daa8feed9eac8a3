// The map charge's questions to the main program: the download
// confirmation, the unsent-probe question and the agreement of what to
// download, with the named answer events they wait on. Runs on the
// charge's worker; the main program sets the answers from its own process.
// See MapCharge.h.
#include "ChargeKind.h"
#include "CoreMessages.h"
#include "Handle.h"
#include "Log.h"
#include "StringUtil.h"
#include "map/MapCharge.h"
#include "map/MapChargeProgress.h"

namespace {

// [question] = the yes event's name; the no event's adds "No".
constexpr const char* kAnswerEventNames[] = {
    kMapLicenseEvent,
    kMapDownloadEvent,
    kMapVerifyEvent,
    kMapProbeEvent,
};

constexpr uint32_t kCodeNoParameters = 0x44FFFF;

// Set by tests before any charge runs.
std::string& QuestionEventTag() {
  static std::string tag;
  return tag;
}

bool IsMapSetKind(uint8_t kind) { return kind == 0 || kind == 1; }

}  // namespace

std::string CMapCharge::QuestionEventName(Question question, bool yes) {
  return std::string(kAnswerEventNames[question]) + (yes ? "" : kMapAnswerNoSuffix) +
         QuestionEventTag();
}

void CMapCharge::SetQuestionEventTag(const std::string& tag) { QuestionEventTag() = tag; }

void CMapCharge::_InitRun() {
  _map_update = false;
  _download_parameters.clear();
  TransmitCardSteps steps;
  steps.check_volume = [this](bool whole, const CDownloadListData& record) {
    return _ChkSDVolume(whole ? kVolumeWhole : kVolumeSingle, record);
  };
  steps.update_link = [this](const CDownloadListData& record, int topic_no) {
    return _UpDatePCLinkFile(record, topic_no);
  };
  SetTransmitCardSteps(std::move(steps));
  for (int q = kQuestionCardClear; q <= kQuestionProbe; ++q) {
    for (int answer = 0; answer < 2; ++answer) {
      const std::string name = QuestionEventName(static_cast<Question>(q), answer == 0);
      _answers[q][answer].Reset(CreateEventA(nullptr, FALSE, FALSE, name.c_str()));
    }
  }
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

CMapCharge::Answer CMapCharge::_Ask(Question question, const char* message, WPARAM wparam,
                                    LPARAM lparam, DWORD* wait_error) {
  const HANDLE yes = _answers[question][0].Get();
  const HANDLE no = _answers[question][1].Get();
  // Reset before the question goes out: an answer that comes at once must
  // not be erased, an answer left from an earlier question must not count.
  if (yes) ResetEvent(yes);
  if (no) ResetEvent(no);
  _PostToCore(message, wparam, lparam);
  _error_code = 0;
  HANDLE handles[3] = {yes, no, _GetAbortEvent()};
  const DWORD count = handles[2] ? 3 : 2;
  const DWORD waited = WaitForMultipleObjects(count, handles, FALSE, INFINITE);
  if (waited == WAIT_OBJECT_0) return kAnswerYes;
  if (waited == WAIT_OBJECT_0 + 1) return kAnswerNo;
  if (count == 3 && waited == WAIT_OBJECT_0 + 2) return kAnswerAbort;
  *wait_error = GetLastError();
  return kAnswerWaitFailed;
}

bool CMapCharge::_NotifyDownload() {
  OV_LOG(kLogTrace, "CMapCharge::_NotifyDownload - Start");
  // A successful line-speed test never leaves the speed at 0; the guard
  // only keeps a broken one from dividing by it.
  const uint64_t estimate = _line_speed ? _estimate_total * 8 / _line_speed : 0;
  DWORD error = 0;
  const Answer answer = _Ask(kQuestionDownload, kMsgMapLicense, 3,
                             static_cast<LPARAM>(static_cast<uint32_t>(estimate)), &error);
  bool result = false;
  switch (answer) {
    case kAnswerYes:
      if (_NoSendProbe() == 1) {
        OV_LOG(kLogTrace, "CMapCharge::_NotifyDownload - ダウンロードを開始します。");
        result = _CreateDownloadParam(true);
      }
      break;
    case kAnswerNo:
      OV_LOG(kLogTrace, "CMapCharge::_NotifyDownload - 可能な範囲でダウンロードします。");
      result = _CreateDownloadParam(false);
      _map_update = false;
      break;
    case kAnswerAbort:
      OV_LOG(kLogError, "CMapCharge::_NotifyDownload - ユーザキャンセル");
      _error_code = CHARGE_RESULT_ABORT;
      break;
    case kAnswerWaitFailed:
      OV_LOG(kLogError, "CMapCharge::_NotifyDownload - ダウンロード確認画面での異常[ERR:0x%08X]",
             static_cast<unsigned>(error));
      _error_detail = error;
      _error_code = CHARGE_RESULT_ABORT;
      break;
  }
  OV_LOG(kLogTrace, "CMapCharge::_NotifyDownload - End(%d)", result ? 1 : 0);
  return result;
}

int CMapCharge::_NoSendProbe() {
  OV_LOG(kLogTrace, "CMapCharge::_NoSendProbe - Start");
  int result = 1;
  if (_IsNoSendProbe()) {
    DWORD error = 0;
    switch (_Ask(kQuestionProbe, kMsgNoSendProbe, 0, 0, &error)) {
      case kAnswerYes:
        result = 1;
        break;
      case kAnswerNo:
        _error_code = CHARGE_RESULT_SKIP;
        result = 2;
        break;
      case kAnswerAbort:
        OV_LOG(kLogError, "CMapCharge::_NoSendProbe - 未送信プローブチェックユーザーキャンセル");
        _error_code = CHARGE_RESULT_ABORT;
        result = 0;
        break;
      case kAnswerWaitFailed:
        _error_detail = error;
        OV_LOG(kLogError, "CMapCharge::_NoSendProbe - 未送信プローブチェックの異常[ERR:0x%08X]",
               static_cast<unsigned>(error));
        _error_code = CHARGE_RESULT_ABORT;
        result = 0;
        break;
    }
  }
  OV_LOG(kLogTrace, "CMapCharge::_NoSendProbe - End(%d)", result);
  return result;
}

bool CMapCharge::_IsNoSendProbe() {
  OV_LOG(kLogTrace, "CMapCharge::_IsNoSendProbe( ) - Start");
  const std::string folder = FormatString("%c:\\PROBE\\", GetDriveLetter());
  bool found = false;
  WIN32_FIND_DATAA entry;
  CFindHandle find(FindFirstFileA((folder + "*").c_str(), &entry));
  if (find) {
    do {
      const std::string name = entry.cFileName;
      if (name == "." || name == "..") continue;
      const std::string probe = folder + name + "\\ProbeData.dat";
      found = GetFileAttributesA(probe.c_str()) != INVALID_FILE_ATTRIBUTES;
    } while (!found && FindNextFileA(find.Get(), &entry));
  }
  OV_LOG(kLogTrace, "CMapCharge::_IsNoSendProbe( ) - End:0x%08X", found ? 1u : 0u);
  return found;
}

bool CMapCharge::_CreateDownloadParam(bool include_marked) {
  OV_LOG(kLogTrace, "CMapCharge::_CreateDownloadParam - Start");
  _error_code = 0;
  bool result = true;
  for (const CDownloadListData& record : _chosen_list.GetRecords()) {
    if (!include_marked && record.update_mark == 1) continue;
    core::ConnectionParameterData parameters;
    if (!parameters.SetConfUrlParameter(_ccid_head, _device_no.c_str(), record.data_kind,
                                        record.detail, record.version.c_str())) {
      OV_LOG(kLogError, "CMapCharge::_CreateDownloadParam - ダウンロード要求パラメータ作成失敗");
      // Both lists go: a download list without its parameters must not run.
      _download_parameters.clear();
      _download_list.Clear();
      _error_code = kCodeNoParameters;
      result = false;
      break;
    }
    _download_parameters.push_back(parameters);
    _download_list.Append(record);
  }
  _chosen_list.Clear();
  OV_LOG(kLogTrace, "CMapCharge::_CreateDownloadParam - End(%d)", result ? 1 : 0);
  return result;
}

bool CMapCharge::_AgreeDownload() {
  _error_code = 0;
  const CDownloadListData* update = nullptr;
  for (const CDownloadListData& record : _chosen_list.GetRecords()) {
    if (IsMapSetKind(record.data_kind) && record.update_mark == 1) {
      update = &record;
      break;
    }
  }
  if (!update) return _CreateDownloadParam(false);
  _map_update = true;
  // Already complete on the PC: the user agreed to it in an earlier run.
  if (update->downloaded) return _CreateDownloadParam(true);
  return _NotifyDownload();
}
