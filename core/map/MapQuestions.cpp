// The map charge's questions to the main program and the agreement of what
// to download; see MapQuestions.h.
#include "map/MapQuestions.h"

#include "ChargeKind.h"
#include "CoreMessages.h"
#include "Log.h"
#include "StringUtil.h"

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

std::string CMapQuestions::EventName(Question question, bool yes) {
  return std::string(kAnswerEventNames[question]) + (yes ? "" : kMapAnswerNoSuffix) +
         QuestionEventTag();
}

void CMapQuestions::SetEventTag(const std::string& tag) { QuestionEventTag() = tag; }

void CMapQuestions::OpenEvents() {
  for (int q = kQuestionCardClear; q <= kQuestionProbe; ++q) {
    for (int answer = 0; answer < 2; ++answer) {
      const std::string name = EventName(static_cast<Question>(q), answer == 0);
      _answers[q][answer].Reset(CreateEventA(nullptr, FALSE, FALSE, name.c_str()));
    }
  }
}

CMapQuestions::Answer CMapQuestions::Ask(Question question, const char* message, WPARAM wparam,
                                         LPARAM lparam, DWORD* wait_error) {
  const HANDLE yes = _answers[question][0].Get();
  const HANDLE no = _answers[question][1].Get();
  // Reset before the question goes out: an answer that comes at once must
  // not be erased, an answer left from an earlier question must not count.
  if (yes) ResetEvent(yes);
  if (no) ResetEvent(no);
  _context.post(message, wparam, lparam);
  ErrorCode() = 0;
  HANDLE handles[3] = {yes, no, _context.abort_event()};
  const DWORD count = handles[2] ? 3 : 2;
  const DWORD waited = WaitForMultipleObjects(count, handles, FALSE, INFINITE);
  if (waited == WAIT_OBJECT_0) return kAnswerYes;
  if (waited == WAIT_OBJECT_0 + 1) return kAnswerNo;
  if (count == 3 && waited == WAIT_OBJECT_0 + 2) return kAnswerAbort;
  *wait_error = GetLastError();
  return kAnswerWaitFailed;
}

bool CMapQuestions::NotifyDownload() {
  OV_LOG(kLogTrace, "CMapCharge::_NotifyDownload - Start");
  // A successful line-speed test never leaves the speed at 0; the guard
  // only keeps a broken one from dividing by it.
  const uint32_t speed = *_context.line_speed;
  const uint64_t estimate = speed ? *_context.estimate_total * 8 / speed : 0;
  DWORD error = 0;
  const Answer answer = Ask(kQuestionDownload, kMsgMapLicense, 3,
                            static_cast<LPARAM>(static_cast<uint32_t>(estimate)), &error);
  bool result = false;
  switch (answer) {
    case kAnswerYes:
      if (NoSendProbe() == 1) {
        OV_LOG(kLogTrace, "CMapCharge::_NotifyDownload - ダウンロードを開始します。");
        result = CreateDownloadParam(true);
      }
      break;
    case kAnswerNo:
      OV_LOG(kLogTrace, "CMapCharge::_NotifyDownload - 可能な範囲でダウンロードします。");
      result = CreateDownloadParam(false);
      *_context.map_update = false;
      break;
    case kAnswerAbort:
      OV_LOG(kLogError, "CMapCharge::_NotifyDownload - ユーザキャンセル");
      ErrorCode() = CHARGE_RESULT_ABORT;
      break;
    case kAnswerWaitFailed:
      OV_LOG(kLogError, "CMapCharge::_NotifyDownload - ダウンロード確認画面での異常[ERR:0x%08X]",
             static_cast<unsigned>(error));
      ErrorDetail() = error;
      ErrorCode() = CHARGE_RESULT_ABORT;
      break;
  }
  OV_LOG(kLogTrace, "CMapCharge::_NotifyDownload - End(%d)", result ? 1 : 0);
  return result;
}

int CMapQuestions::NoSendProbe() {
  OV_LOG(kLogTrace, "CMapCharge::_NoSendProbe - Start");
  int result = 1;
  if (IsNoSendProbe()) {
    DWORD error = 0;
    switch (Ask(kQuestionProbe, kMsgNoSendProbe, 0, 0, &error)) {
      case kAnswerYes:
        result = 1;
        break;
      case kAnswerNo:
        ErrorCode() = CHARGE_RESULT_SKIP;
        result = 2;
        break;
      case kAnswerAbort:
        OV_LOG(kLogError, "CMapCharge::_NoSendProbe - 未送信プローブチェックユーザーキャンセル");
        ErrorCode() = CHARGE_RESULT_ABORT;
        result = 0;
        break;
      case kAnswerWaitFailed:
        ErrorDetail() = error;
        OV_LOG(kLogError, "CMapCharge::_NoSendProbe - 未送信プローブチェックの異常[ERR:0x%08X]",
               static_cast<unsigned>(error));
        ErrorCode() = CHARGE_RESULT_ABORT;
        result = 0;
        break;
    }
  }
  OV_LOG(kLogTrace, "CMapCharge::_NoSendProbe - End(%d)", result);
  return result;
}

bool CMapQuestions::IsNoSendProbe() {
  OV_LOG(kLogTrace, "CMapCharge::_IsNoSendProbe( ) - Start");
  const std::string folder = FormatString("%c:\\PROBE\\", _context.drive_letter());
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

bool CMapQuestions::CreateDownloadParam(bool include_marked) {
  OV_LOG(kLogTrace, "CMapCharge::_CreateDownloadParam - Start");
  ErrorCode() = 0;
  bool result = true;
  std::vector<core::ConnectionParameterData>& parameters_out = *_context.download_parameters;
  CDownloadList& plan = *_context.download_list;
  for (const CDownloadListData& record : _context.chosen->GetRecords()) {
    if (!include_marked && record.update_mark == 1) continue;
    core::ConnectionParameterData parameters;
    if (!parameters.SetConfUrlParameter(*_context.ccid_head, _context.device_no->c_str(),
                                        record.data_kind, record.detail, record.version.c_str())) {
      OV_LOG(kLogError, "CMapCharge::_CreateDownloadParam - ダウンロード要求パラメータ作成失敗");
      // Both lists go: a download list without its parameters must not run.
      parameters_out.clear();
      plan.Clear();
      ErrorCode() = kCodeNoParameters;
      result = false;
      break;
    }
    parameters_out.push_back(parameters);
    plan.Append(record);
  }
  _context.chosen->Clear();
  OV_LOG(kLogTrace, "CMapCharge::_CreateDownloadParam - End(%d)", result ? 1 : 0);
  return result;
}

bool CMapQuestions::Agree() {
  ErrorCode() = 0;
  const CDownloadListData* update = nullptr;
  for (const CDownloadListData& record : _context.chosen->GetRecords()) {
    if (IsMapSetKind(record.data_kind) && record.update_mark == 1) {
      update = &record;
      break;
    }
  }
  if (!update) return CreateDownloadParam(false);
  *_context.map_update = true;
  // Already complete on the PC: the user agreed to it in an earlier run.
  if (update->downloaded) return CreateDownloadParam(true);
  return NotifyDownload();
}
