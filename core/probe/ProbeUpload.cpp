// The probe upload charge's run: settings, the card's trip folders, send
// units and their fate. See ProbeUpload.h.
#include "ProbeUpload.h"

#include <algorithm>
#include <atomic>

#include "ChargeKind.h"
#include "Folders.h"
#include "Log.h"
#include "OstrovelleLite/PcLinkFile.h"
#include "OstrovelleLite/UserListFile.h"
#include "ProbeBase.h"
#include "ProbePath.h"
#include "StringUtil.h"
#include "WinFileSystemLib.h"
#include "util/CoreFileUtil.h"

namespace {

// The send switch: bit 0 of this byte of the unit information file's data
// header.
constexpr size_t kSendSettingOffset = 34;
const char kProbeDataName[] = "ProbeData.dat";

unsigned Hex(DWORD value) { return static_cast<unsigned>(value); }

// The unit information file with the one byte the charge reads.
class CUnitSendSetting final : public CPcLinkFile {
 public:
  explicit CUnitSendSetting(char drive) : CPcLinkFile(kUnitInfoFile, drive) {}
  bool IsSendOn() const { return IsLoaded() && (_data_header[kSendSettingOffset] & 1) != 0; }
};

std::atomic<uint64_t> g_unit_source_limit{0};

// An abort, the card gone, and the temporary files failing end the charge;
// anything else leaves the unit's folders for the next run and goes on.
bool EndsTheCharge(uint32_t result) {
  switch (result) {
    case CHARGE_RESULT_ABORT:
    case CHARGE_RESULT_NOSD:
    case kProbeTempOpen:
    case kProbeTempWrite:
    case kProbeCombineSize:
    case kProbeTempFolder:
    case kProbeTempPath:
      return true;
    default:
      return false;
  }
}

}  // namespace

namespace probeuploadtest {
void SetUnitSourceLimit(uint64_t limit) { g_unit_source_limit = limit; }
}  // namespace probeuploadtest

uint64_t CProbeUpload::UnitSourceLimit() {
  const uint64_t limit = g_unit_source_limit;
  return limit != 0 ? limit : kUnitSourceLimit;
}

struct CProbeUpload::SendUnit {
  bool HasBlocks() const { return !block_files.empty(); }

  ProbeSendIdentity identity;
  std::vector<std::string> block_files;  // SMALLPROBE files, in unit order
  std::vector<std::string> sources;
  uint64_t source_sum = 0;
  uint64_t block_sum = 0;
  bool closed_by_size = false;
};

CProbeUpload::CProbeUpload(char drive, HWND notify) : CCharge(CHARGE_KIND_PROBE) {
  SetDriveLetter(drive);
  SetTargetWindow(notify);
}

CProbeUpload::~CProbeUpload() {
  // The worker uses the members below: it must end before they go.
  ReapThread();
}

uint32_t CProbeUpload::_Proc() {
  const uint32_t result = _ProbeUploadProc();
  bool record = true;
  HistoryStage stage = kHistoryFailed;
  if (result == 0) {
    stage = kHistorySent;
  } else if (result == 0x201 || result == 0x202) {
    stage = kHistoryDone;
  } else if (result == CHARGE_RESULT_ABORT) {
    stage = kHistoryAborted;
  } else if (result == CHARGE_RESULT_NODATA || result == kProbeSendOff) {
    record = false;
  }
  if (record) _SaveHistory(stage, result, 0, 0, 0);
  const uint32_t reported = result == kProbeSendOff ? CHARGE_RESULT_SKIP : result;
  _NotifyError(reported, static_cast<LPARAM>(_detail));
  return reported;
}

void CProbeUpload::PostProgress() const {
  const double value = 10.0 + _progress;
  _NotifyProgress(static_cast<uint32_t>(value > 100.0 ? 100.0 : value));
}

uint32_t CProbeUpload::_ProbeUploadProc() {
  OV_LOG(kLogInfo, "CProbeUpload::_ProbeUploadProc() - Start");
  _NotifyProgress(0);
  _detail = 0;
  _pending_deletion.clear();
  _progress = 0;
  _units_sent = 0;
  _nickname_skipped = false;

  uint32_t result = _CheckSetting();
  if (result != 0) return result;
  if (_IsAbort()) {
    OV_LOG(kLogInfo, "送信設定確認後の中断");
    return CHARGE_RESULT_ABORT;
  }
  if (!_IsExistSD()) {
    OV_LOG(kLogInfo, "送信対象検索時のSD無し");
    return CHARGE_RESULT_NOSD;
  }
  _source_count = static_cast<size_t>(_AnalyzeProbeData());
  if (_source_count == 0) {
    OV_LOG(kLogInfo, "送信対象ファイル無し");
    return CHARGE_RESULT_NODATA;
  }
  _NotifyProgress(10);

  uint32_t last = 0;
  while (!_sources.empty()) {
    if (_IsAbort()) {
      OV_LOG(kLogInfo, "送信単位先頭の中断");
      result = CHARGE_RESULT_ABORT;
      break;
    }
    SendUnit unit;
    result = CollectUnit(&unit);
    if (result == 0 && unit.HasBlocks()) result = SendCollectedUnit(&unit);
    _DeleteTemporaryFiles(unit.block_files);
    if (EndsTheCharge(result)) break;
    if (result != 0 || unit.HasBlocks()) last = result;
    result = 0;
  }
  // Nothing pending outlives the run: the folders stay for the next one.
  _pending_deletion.clear();
  if (result == 0) {
    result = last;
    if (result == 0 && _units_sent == 0) result = CHARGE_RESULT_NODATA;
    if (_units_sent > 0) {
      _NotifyProgress(100);
      result = _nickname_skipped ? static_cast<uint32_t>(kProbeNicknameSkipped) : 0u;
    }
  }
  OV_LOG(kLogInfo, "CProbeUpload::_ProbeUploadProc() - End Ret:0x%08X", Hex(result));
  return result;
}

uint32_t CProbeUpload::CollectUnit(SendUnit* unit) {
  uint32_t last = 0;
  while (!_sources.empty()) {
    if (_IsAbort()) {
      OV_LOG(kLogInfo, "送信単位先頭の中断");
      return CHARGE_RESULT_ABORT;
    }
    if (!_IsExistSD()) {
      OV_LOG(kLogInfo, "送信ファイル作成時のSD無し");
      return CHARGE_RESULT_NOSD;
    }
    const std::string source = _sources.front();
    if (!CanOpenFile(source.c_str())) {
      _sources.pop_front();
      continue;
    }
    ProbeSendBlock block;
    BYTE skip = 0;
    const DWORD made = _MakeProbeData(source, &block, &skip);
    if (made != 0 || skip) {
      // The folder stays on the card for the next run (or was emptied of
      // nothing the server could take).
      _sources.pop_front();
      if (made == kProbeNoNickname) _nickname_skipped = true;
      if (made != 0) last = made;
      continue;
    }
    if (unit->HasBlocks()) {
      if (const char* change = IdentityChange(unit->identity, block.identity)) {
        OV_LOG(kLogInfo, "%s", change);
        break;
      }
      if (unit->source_sum + block.source_size >= UnitSourceLimit()) {
        OV_LOG(kLogInfo,
               "CProbeUpload::_ProbeUploadProc() - 送信元データサイズ超過(SUM:%lld + THIS:%d) "
               "次ファイルへ",
               static_cast<long long>(unit->source_sum), static_cast<int>(block.source_size));
        unit->closed_by_size = true;
        break;
      }
    } else {
      unit->identity = block.identity;
    }
    ++_block_counter;
    const std::string path =
        GetTemporaryFolder() + FormatString("SMALLPROBE%08X.DAT", _block_counter);
    const DWORD saved = _SaveSmallUploadData(path, block.data);
    if (saved != 0) return saved;
    unit->block_files.push_back(path);
    _progress += 20.0 / static_cast<double>(_source_count);
    PostProgress();
    _sources.pop_front();
    _pending_deletion.push_back(source);
    unit->sources.push_back(source);
    unit->source_sum += block.source_size;
    unit->block_sum += block.data.size();
  }
  // A unit that takes no block leaves the last block error as its result.
  return unit->HasBlocks() ? 0 : last;
}

const char* CProbeUpload::IdentityChange(const ProbeSendIdentity& unit,
                                         const ProbeSendIdentity& block) {
  if (unit.record.ccid != block.record.ccid) {
    return "CProbeUpload::_ProbeUploadProc() - データユーザー変化 次ファイルへ";
  }
  if (unit.record.data_year != block.record.data_year) {
    return "CProbeUpload::_ProbeUploadProc() - データ年度変化 次ファイルへ";
  }
  if (unit.record.application_version != block.record.application_version) {
    return "CProbeUpload::_ProbeUploadProc() - アプリバージョン変化 次ファイルへ";
  }
  if (unit.record.map_version != block.record.map_version) {
    return "CProbeUpload::_ProbeUploadProc() - 地図バージョン変化 次ファイルへ";
  }
  return nullptr;
}

uint32_t CProbeUpload::SendCollectedUnit(SendUnit* unit) {
  const double share =
      static_cast<double>(unit->block_files.size()) / static_cast<double>(_source_count);
  DWORD result = CheckConsent(unit->identity);
  if (result != 0) {
    DropUnitSources(*unit);
    return result;
  }
  _progress += 10 * share;
  PostProgress();
  std::vector<uint8_t> data;
  result = _CreateCombineUploadData(unit->block_files, &data);
  if (result != 0) {
    DropUnitSources(*unit);
    return result;
  }
  _progress += 20 * share;
  PostProgress();
  _DeleteTemporaryFiles(unit->block_files);
  result = ProbeUpload(unit->identity, data);
  std::vector<uint8_t>().swap(data);
  if (result != 0) {
    DropUnitSources(*unit);
    return result;
  }
  _progress += 20 * share;
  PostProgress();
  if (unit->closed_by_size) {
    // Its folders go with those of the next unit whose completion notice
    // the server takes.
    ++_units_sent;
    _progress += 20 * share;
    return 0;
  }
  result = ProbeUploadComp(unit->identity);
  if (result != 0) {
    DropUnitSources(*unit);
    return result;
  }
  if (!_IsExistSD()) {
    OV_LOG(kLogInfo, "送信後のファイル削除時のSD無し");
    return CHARGE_RESULT_NOSD;
  }
  for (const std::string& source : _pending_deletion) {
    if (_DeleteProbeFolder(source) != 0) {
      OV_LOG(kLogError, "プローブファイル削除失敗 ERR:0x%08X PATH:%s", Hex(_detail),
             source.c_str());
    }
  }
  _pending_deletion.clear();
  ++_units_sent;
  _progress += 20 * share;
  PostProgress();
  return 0;
}

void CProbeUpload::DropUnitSources(const SendUnit& unit) {
  // The server has not taken this unit: its folders must not go with a
  // later unit's.
  for (const std::string& source : unit.sources) {
    _pending_deletion.erase(std::remove(_pending_deletion.begin(), _pending_deletion.end(), source),
                            _pending_deletion.end());
  }
}

DWORD CProbeUpload::_CheckSetting() {
  const CUnitSendSetting setting(GetDriveLetter());
  const bool send = setting.IsSendOn();
  _unit_type = static_cast<DWORD>(setting.GetFileKind());
  OV_LOG(kLogInfo, "CProbeUpload::_CheckSetting() RET:%s", send ? "送信設定" : "非送信設定");
  return send ? 0u : static_cast<DWORD>(kProbeSendOff);
}

int CProbeUpload::_AnalyzeProbeData() {
  OV_LOG(kLogInfo, "CProbeUpload::_AnalyzeProbeData( ) - Start");
  _sources.clear();
  const std::string root = FormatString("%c:\\PROBE", GetDriveLetter());
  std::vector<WIN32_FIND_DATAA> entries;
  FindFiles((root + "\\*").c_str(), entries);
  std::vector<std::string> found;
  for (const WIN32_FIND_DATAA& entry : entries) {
    std::string folder;
    std::string source;
    // Names listed on the card are input like any other.
    if (!SafePathJoin(root, entry.cFileName, &folder) ||
        !SafePathJoin(folder, kProbeDataName, &source)) {
      continue;
    }
    if (GetFileAttributesA(source.c_str()) != INVALID_FILE_ATTRIBUTES) found.push_back(source);
  }
  std::sort(found.begin(), found.end());
  _sources.assign(found.begin(), found.end());
  OV_LOG(kLogInfo, "CProbeUpload::_AnalyzeProbeData( ) - End FileCnt:%d",
         static_cast<int>(_sources.size()));
  return static_cast<int>(_sources.size());
}

DWORD CProbeUpload::_MakeProbeData(const std::string& source, ProbeSendBlock* block, BYTE* skip) {
  OV_LOG(kLogInfo, "CProbeUpload::_MakeProbeData - Start");
  *skip = 0;
  if (!block) {
    OV_LOG(kLogError, "CProbeUpload::_MakeProbeData - パラメータ不正");
    return kProbeBadPath;
  }
  const std::string send_path = GetTemporaryFolder() + "PROBE.DAT";
  CProbeBase reader(GetDriveLetter(), _unit_type, _GetAbortEvent());
  const DWORD made = reader.MakeSendFile(skip, send_path.c_str(), source.c_str());
  if (made != 0) {
    _detail = reader.GetLastError();
    OV_LOG(kLogError, "プローブ送信ファイル作成失敗 ERR:0x%08X Ret:0x%08X", Hex(_detail),
           Hex(made));
    reader._ClearTemporaryFile();
    return made;
  }
  if (*skip) return 0;
  CWinFileSystemLib fs(_GetAbortEvent());
  block->identity.record = reader.GetProbeDiscrimination();
  if (_unit_type == 2) {
    block->identity.nickname = _GetNickName(block->identity.record.device_number.c_str());
    if (block->identity.nickname.empty()) {
      OV_LOG(kLogError, "CProbeUpload::_MakeProbeData - ニックネームが存在しないデータ Dev=%s",
             block->identity.record.device_number.c_str());
      fs.DeleteFile_Recover(send_path.c_str());
      return kProbeNoNickname;
    }
  }
  block->source_size = reader.GetSrcFileSize();
  CFileHandle file = OpenProbeFile(fs, send_path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  if (!file) {
    _detail = fs.LastError();
    fs.DeleteFile_Recover(send_path.c_str());
    OV_LOG(kLogError, "プローブファイルオープン失敗 ERR:0x%08X", Hex(_detail));
    return kProbeOpenFailed;
  }
  const ProbeFileResult read = ReadOpenFile(fs, file.Get(), &block->data);
  file.Reset();
  fs.DeleteFile_Recover(send_path.c_str());
  if (read == kProbeFileNoMemory) {
    _detail = ERROR_NOT_ENOUGH_MEMORY;
    OV_LOG(kLogError, "送信用プローブファイル作成時のメモリ確保失敗 ERR:0x%08X", Hex(_detail));
    return kProbeNoMemory;
  }
  if (read != kProbeFileOk) {
    _detail = read == kProbeFileShort ? static_cast<DWORD>(ERROR_HANDLE_EOF) : fs.LastError();
    OV_LOG(kLogError, "ファイル読込失敗 ERR:0x%08X", Hex(_detail));
    return kProbeReadFailed;
  }
  OV_LOG(kLogInfo, "CProbeUpload::_MakeProbeData - End");
  return 0;
}

std::string CProbeUpload::_GetNickName(const char* device_no) {
  if (!device_no) {
    OV_LOG(kLogError, "CProbeUpload::_GetNickName - ニックネーム取得不可 DevNo = NULL");
    return std::string();
  }
  CUserListFile users;
  std::string nickname;
  std::string data_folder;
  std::string text;
  if (!users.GetUser(device_no, &nickname, &data_folder, &text) || nickname.empty()) {
    OV_LOG(kLogError, "CProbeUpload::_GetNickName - ニックネーム取得不可 DevNo = %s", device_no);
    return std::string();
  }
  return nickname;
}
