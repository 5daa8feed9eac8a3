// The map charge's upkeep of the card; see MapCardUpkeep.h.
#include "map/MapCardUpkeep.h"

#include <vector>

#include "CardClear.h"
#include "ChargeKind.h"
#include "Folders.h"
#include "Log.h"
#include "OstrovelleLite/DownloadManageFile.h"
#include "OstrovelleLite/PcLinkFile.h"
#include "OstrovelleLite/WholeFile.h"
#include "StringUtil.h"
#include "WinFileSystemLib.h"
#include "files/CardFileText.h"
#include "files/CoreDownloadManage.h"
#include "files/CoreLinkFile.h"
#include "map/MapCharge.h"
#include "map/MapDownloadListStep.h"
#include "map/ServerPath.h"
#include "util/CoreFileUtil.h"

namespace {

constexpr uint32_t kDataIdMapSet = 0x30010001;
constexpr uint32_t kDataIdSearch = 0x30010002;
// In the order the upkeep walks them.
constexpr uint32_t kReflectedDataIds[] = {0x10000001, 0x10000002, kDataIdMapSet, kDataIdSearch,
                                          0x30020001};
constexpr int kStatusTakenOver = 1;
// Map data needs a card of at least 7,200,000,000 bytes.
constexpr uint64_t kSmallestMapCard = 7200000000ull;

constexpr uint32_t kCodeNoCard = 0x35FF06;
constexpr uint32_t kCodeNoSpace = 0x35FFFF;
constexpr uint32_t kCodeCardTooSmall = 0x35EEEE;
constexpr uint32_t kCodeNoSize = 0x35010A;
constexpr uint32_t kCodeNoRoom = 0x350109;
constexpr uint32_t kCodeClearFailed = 0x350103;
// The code of a link file that cannot take a copied data set's record.
constexpr uint32_t kCodeLinkFileUnusable = 0x30FF03;

bool IsMapSetKind(uint8_t kind) { return kind == 0 || kind == 1; }

// The first record of the id (and, for search records, whose SRCPATH is
// the folder's name, whole); null when there is none.
const CPcLinkRecord* FindRecordOf(const ::CPcLinkFile& file, uint32_t data_id,
                                  const std::string& prefix) {
  for (const CPcLinkRecord& record : file.GetRecords()) {
    if (record.DataId() != data_id) continue;
    if (prefix.empty() || IsSamePathName(record.SrcPath(), prefix)) return &record;
  }
  return nullptr;
}

// The unit's record as the link file's new record; the link file's own
// unit values pass through.
LinkRecordValues FromUnitRecord(const CPcLinkRecord& unit, uint32_t version,
                                const core::CPcLinkFile& link, const std::string& match) {
  LinkRecordValues values;
  values.data_id = unit.DataId();
  values.version = version;
  values.year = BcdToInt16(unit.Year());
  values.status = unit.Status();
  values.src_path = unit.SrcPath();
  values.dst_path = unit.DstPath();
  values.match_path = match;
  if (const CPcLinkRecord* old = FindRecordOf(link, unit.DataId(), match)) {
    values.unit_word = old->UnitWord();
    values.unit_value = old->UnitByte();
  }
  return values;
}

std::string SearchPath(const ::CPcLinkFile& unit, int number) {
  return FormatString("%s%d", unit.GetFileKind() == 2 ? "SEARCH" : "SD\\PC\\SEARCH", number);
}

// The folder a taken-over data set's SRCPATH names, strictly below `base`
// and holding nothing the card must keep; false when the path is unfit.
bool TakenOverFolder(char drive, const std::string& base, const std::string& path,
                     std::string* folder) {
  if (!JoinServerPath(base, path, folder)) return false;
  AppendBackslash(*folder);
  return !IsProtectedCardPath(drive, *folder);
}

// The bytes a clear of the card leaves on it: the entries it keeps and the
// link file it makes anew.
uint64_t KeptBytesOnCard(char drive) {
  std::vector<std::string> paths = {::CPcLinkFile::LinkPath(drive)};
  for (const std::string& row : GetCardKeepList()) {
    paths.push_back(FormatString("%c%s", drive, row.c_str()));
  }
  uint64_t kept = 0;
  for (const std::string& path : paths) {
    if (path.back() == '\\') {
      kept += GetFolderTreeSize(path);
      continue;
    }
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
      kept += (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
  }
  return kept;
}

bool RemoveCardFolder(CWinFileSystemLib& files, const std::string& folder) {
  if (!PathIsDirectory(folder)) return true;
  return files.RemoveDirectoryAll_RecoverA(folder.c_str(), TRUE) != FALSE;
}

bool WriteLinkRecord(core::CPcLinkFile& link, const LinkRecordValues& values) {
  if (link.SetDataRecord(values)) return true;
  OV_LOG(kLogError, "CMapCharge::_DeleteReflectedData - PCLINK.DAT更新失敗 DATAID:%X ERR:0x%08X",
         static_cast<unsigned>(values.data_id), static_cast<unsigned>(GetLastError()));
  return false;
}

// The minor categories DL.DAT holds for one major category.
class CLocalDataKinds final : public ::CDownloadManageFile {
 public:
  using ::CDownloadManageFile::CDownloadManageFile;

  std::vector<uint8_t> MinorsOf(uint8_t major) const {
    std::string bytes;
    unsigned long error = 0;
    std::vector<uint8_t> minors;
    if (ReadRaw(&bytes, &error) != kWholeFileRead) return minors;
    for (const DLManageRecord& record : SplitRecords(bytes)) {
      if (record.Major() != major) continue;
      bool known = false;
      for (const uint8_t minor : minors) known = known || minor == record.Minor();
      if (!known) minors.push_back(record.Minor());
    }
    return minors;
  }
};

}  // namespace

bool CMapCardUpkeep::ScanCard() {
  OV_LOG(kLogInfo, "SDカードスキャン開始");
  char windows[MAX_PATH] = {};
  GetSystemWindowsDirectoryA(windows, MAX_PATH);
  std::string line =
      FormatString("%s\\system32\\chkdsk.exe %c: /F /X", windows, _context.drive_letter());
  const std::string folder = FormatString("%s\\system32", windows);
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process = {};
  bool result = false;
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                      folder.c_str(), &startup, &process)) {
    OV_LOG(kLogError, "CHKDSK起動失敗 ERR:0x%08X", static_cast<unsigned>(GetLastError()));
  } else {
    const CHandle thread(process.hThread);
    const CHandle checker(process.hProcess);
    result = WaitForChecker(checker.Get());
  }
  OV_LOG(kLogInfo, "SDカードスキャン終了 0x%08X", result ? 1u : 0u);
  return result;
}

bool CMapCardUpkeep::WaitForChecker(HANDLE checker) {
  const HANDLE handles[2] = {checker, _context.abort_event()};
  const DWORD count = handles[1] ? 2 : 1;
  // A checker that overruns both waits is left to finish on its own.
  for (int round = 1;; ++round) {
    const DWORD waited = WaitForMultipleObjects(count, handles, FALSE, _checker_timeout_ms);
    if (waited == WAIT_OBJECT_0) {
      DWORD exit_code = 0;
      GetExitCodeProcess(checker, &exit_code);
      if (exit_code == 0) {
        OV_LOG(kLogInfo, "CHKDSK エラーなし");
        return true;
      }
      if (exit_code == 1) {
        OV_LOG(kLogInfo, "CHKDSK エラーがあった為、修復");
        return true;
      }
      OV_LOG(kLogError, "CHKDSKエラー EXTCODE:0x%08X ERR:0x%08X", static_cast<unsigned>(exit_code),
             static_cast<unsigned>(GetLastError()));
      return false;
    }
    if (count == 2 && waited == WAIT_OBJECT_0 + 1) {
      OV_LOG(kLogError, "CHKDSK ユーザーキャンセル");
      return false;
    }
    if (waited != WAIT_TIMEOUT) {
      OV_LOG(kLogError, "CHKDSK待機失敗 ERR:0x%08X", static_cast<unsigned>(GetLastError()));
      return false;
    }
    if (round == 2) {
      OV_LOG(kLogError, "CHKDSKタイムアウト2回目");
      return false;
    }
    OV_LOG(kLogError, "CHKDSKタイムアウト1回目");
  }
}

bool CMapCardUpkeep::CheckLinkFile() {
  const core::CPcLinkFile link(CPcLinkFile::kLinkFile, _context.drive_letter());
  if (link.IsLoaded()) return true;
  ErrorCode() = kCodeLinkFileUnusable;
  OV_LOG(kLogError, "CMapCharge::_Proc - PCLINK.DAT読み込み失敗のためダウンロード前に中断 %s",
         ::CPcLinkFile::LinkPath(_context.drive_letter()).c_str());
  return false;
}

bool CMapCardUpkeep::DeleteReflectedData(int auto_delete) {
  const char drive = _context.drive_letter();
  const core::CPcLinkFile unit(CPcLinkFile::kUnitInfoFile, drive);
  core::CPcLinkFile link(CPcLinkFile::kLinkFile, drive);
  // Without both files nothing tells what the unit has taken over.
  if (!unit.IsLoaded() || !link.IsLoaded()) {
    OV_LOG(kLogError,
           "CMapCharge::_DeleteReflectedData - 管理ファイル読み込み失敗 NAVI:%d PCLINK:%d",
           unit.IsLoaded() ? 1 : 0, link.IsLoaded() ? 1 : 0);
    return true;
  }
  CWinFileSystemLib files(_context.abort_event());
  for (const uint32_t data_id : kReflectedDataIds) {
    if (data_id == kDataIdSearch) {
      DeleteSearchFolders(files, unit, link);
    } else if (!DeleteTakenOverFolder(files, unit, link, data_id)) {
      continue;
    }
    if (auto_delete != 0) DeleteOldLocalData(data_id, unit.GetVersion(data_id));
  }
  return true;
}

void CMapCardUpkeep::DeleteSearchFolders(CWinFileSystemLib& files, const core::CPcLinkFile& unit,
                                         core::CPcLinkFile& link) {
  const int folders = unit.GetFileKind() == 2 ? 12 : 5;
  for (int n = 1; n <= folders; ++n) {
    const std::string folder =
        FormatString("%C%s", _context.drive_letter(), FormatString(":\\PC\\SEARCH%d\\", n).c_str());
    RemoveCardFolder(files, folder);
    const std::string path = SearchPath(unit, n);
    const CPcLinkRecord* record = FindRecordOf(unit, kDataIdSearch, path);
    if (record) WriteLinkRecord(link, FromUnitRecord(*record, record->Version(), link, path));
  }
}

bool CMapCardUpkeep::DeleteTakenOverFolder(CWinFileSystemLib& files, const core::CPcLinkFile& unit,
                                           core::CPcLinkFile& link, uint32_t data_id) {
  const CPcLinkRecord* record = FindRecordOf(unit, data_id, std::string());
  if (!record || record->Version() < link.GetVersion(data_id) ||
      record->Status() != kStatusTakenOver) {
    return false;
  }
  const char drive = _context.drive_letter();
  std::string path = record->SrcPath();
  std::string base = FormatString("%c:\\", drive);
  if (unit.GetFileKind() == 2) {
    if (data_id == kDataIdMapSet) {
      const std::string model = FormatString("%C:\\%s\\", drive, "KOLTRA58");
      OV_LOG(kLogInfo, "AllDataKOLFolder delete.: %s", model.c_str());
      RemoveCardFolder(files, model);
    } else {
      base += "PC\\";
    }
  } else if (path.compare(0, 2, "SD") == 0 &&
             (path.size() == 2 || path[2] == '\\' || path[2] == '/')) {
    // "SD\PC\PROGRAM" names "\PC\PROGRAM" of the card.
    path.erase(0, path.size() == 2 ? 2 : 3);
  }
  std::string folder;
  // The unit's path decides what goes: never the card's root, its "\PC\"
  // or anything holding the files a card keeps.
  if (!TakenOverFolder(drive, base, path, &folder)) {
    OV_LOG(kLogError, "CMapCharge::_DeleteReflectedData - 削除対象外のパス DATAID:%X PATH:%s",
           static_cast<unsigned>(data_id), path.c_str());
  } else {
    OV_LOG(kLogInfo, "SDフォルダ削除:%s", folder.c_str());
    RemoveCardFolder(files, folder);
  }
  WriteLinkRecord(link, FromUnitRecord(*record, record->Version(), link, std::string()));
  return true;
}

// The records of the id come with the detail 0x99, which names no data set
// of the server's; every detail kept on the PC for the kind is meant.
void CMapCardUpkeep::DeleteOldLocalData(uint32_t data_id, uint32_t version) {
  CDownloadList kinds;
  CMapDownloadListStep::AddByDataId(data_id, &kinds);
  const std::string folder = _context.data_folder();
  for (const CDownloadListData& record : kinds.GetRecords()) {
    const CLocalDataKinds stored(folder);
    core::CDownloadManageFile manage(folder);
    for (const uint8_t detail : stored.MinorsOf(record.data_kind)) {
      manage._DeleteLocalDataUnderVersion(record.data_kind, detail, version, folder);
    }
  }
}

bool CMapCardUpkeep::CheckVolume(int mode, const CDownloadListData& record) {
  OV_LOG(kLogTrace, "CMapCharge::_ChkSDVolume - Start");
  if (!_context.card_present()) {
    ErrorCode() = kCodeNoCard;
    OV_LOG(kLogError, "CMapCharge::_ChkSDVolume - SDカード未接続");
    return false;
  }
  const std::string root = FormatString("%c:\\", _context.drive_letter());
  ULARGE_INTEGER free_bytes = {};
  ULARGE_INTEGER total_bytes = {};
  ULARGE_INTEGER total_free = {};
  if (!_disk_space(root.c_str(), &free_bytes, &total_bytes, &total_free)) {
    ErrorCode() = kCodeNoSpace;
    OV_LOG(kLogError, "CMapCharge::_ChkSDVolume - SDカード容量取得失敗");
    return false;
  }
  if (IsMapSetKind(record.data_kind) && total_bytes.QuadPart < kSmallestMapCard) {
    ErrorCode() = kCodeCardTooSmall;
    OV_LOG(kLogError, "CMapCharge::_ChkSDVolume - SDカードサイズ過小 %dKB",
           static_cast<int>(total_bytes.QuadPart / 1024));
    return false;
  }
  uint64_t needed = *_context.transfer_total;
  if (mode != kVolumeWhole && !RecordSizeOrFail(record, &needed)) return false;
  const uint64_t free_now = free_bytes.QuadPart;
  if (needed < free_now) {
    OV_LOG(kLogInfo, "CMapCharge::_ChkSDVolume - End(%d)", 1);
    return true;
  }
  OV_LOG(kLogInfo, "CMapCharge::_ChkSDVolume - サイズオーバー CHARGE:%lld(%s) SD:%lld",
         static_cast<long long>(needed), mode == kVolumeWhole ? "全" : "単",
         static_cast<long long>(free_now));
  if (mode != kVolumeWhole) {
    OV_LOG(kLogInfo, "CMapCharge::_ChkSDVolume - 容量が不足しています。転送を中断します。[ID:%02x]",
           record.data_kind);
    ErrorCode() = kCodeNoRoom;
    return false;
  }
  return MakeRoomForTransfer(record, needed, free_now, total_bytes.QuadPart);
}

bool CMapCardUpkeep::RecordSizeOrFail(const CDownloadListData& record, uint64_t* size) {
  if (_context.transfer_size(record, size) == 0) return true;
  // The data set cannot be measured: the next run fetches it again.
  core::CDownloadManageFile manage(_context.data_folder());
  if (manage.GetDLManage(record.data_kind, record.detail, record.version)) {
    manage.SetDLManage(record.data_kind, record.detail, record.version, 0, 0,
                       manage.DLManageData().LocalPath());
  }
  OV_LOG(kLogError, "CMapCharge::_ChkSDVolume - SDカード容量確認時のエラー");
  ErrorCode() = kCodeNoSize;
  return false;
}

bool CMapCardUpkeep::MakeRoomForTransfer(const CDownloadListData& first, uint64_t needed,
                                         uint64_t free_bytes, uint64_t capacity) {
  if (!_context.card_present()) {
    ErrorCode() = kCodeNoCard;
    OV_LOG(kLogError, "CMapCharge::_ChkSDVolume - SDカード未接続");
    return false;
  }
  uint64_t charged = 0;
  GetMapChargeFolderSize(_context.drive_letter(), charged);
  if (needed < free_bytes + charged) {
    OV_LOG(kLogTrace,
           "CMapCharge::_ChkSDVolume - SD転送済みマップチャージサイズ比較で転送可能 - "
           "転送済みデータ削除");
    ClearMapChargedData();
    return true;
  }
  uint64_t one = 0;
  if (!RecordSizeOrFail(first, &one)) return false;
  if (one < free_bytes) {
    OV_LOG(kLogInfo, "CMapCharge::_ChkSDVolume - マップチャージサイズ単品比較で転送可能");
    return true;
  }
  if (one < free_bytes + charged) {
    OV_LOG(kLogInfo,
           "CMapCharge::_ChkSDVolume - SD転送済みマップチャージサイズ単品比較で転送可能 - "
           "転送済みデータ削除");
    ClearMapChargedData();
    return true;
  }
  // A clear that could not make room would take the user's files for
  // nothing: the card itself is too small then, and nobody is asked.
  const uint64_t kept = KeptBytesOnCard(_context.drive_letter());
  const uint64_t emptied = capacity > kept ? capacity - kept : 0;
  if (one >= emptied) {
    ErrorCode() = kCodeCardTooSmall;
    OV_LOG(kLogError, "CMapCharge::_ChkSDVolume - SDカードサイズ過小 %dKB",
           static_cast<int>(capacity / 1024));
    OV_LOG(kLogInfo, "CMapCharge::_ChkSDVolume - クリア後も容量不足 CHARGE:%lld SD:%lld",
           static_cast<long long>(one), static_cast<long long>(emptied));
    return false;
  }
  return AskCardClear();
}

bool CMapCardUpkeep::AskCardClear() {
  DWORD error = 0;
  switch (_context.ask_card_clear(&error)) {
    case CMapQuestions::kAnswerYes: {
      const DWORD cleared = ClearSDCard(_context.drive_letter(), true, false);
      if (cleared == 0) {
        OV_LOG(kLogTrace, "CMapCharge::_ChkSDVolume - SDカード内データクリア");
        return true;
      }
      ErrorDetail() = cleared;
      ErrorCode() = kCodeClearFailed;
      OV_LOG(kLogError, "CMapCharge::_ChkSDVolume - SDカード内データクリア失敗");
      return false;
    }
    case CMapQuestions::kAnswerNo:
      OV_LOG(kLogError, "CMapCharge::_ChkSDVolume - ユーザSDクリアキャンセル");
      break;
    case CMapQuestions::kAnswerAbort:
      OV_LOG(kLogError, "CMapCharge::_ChkSDVolume - ユーザキャンセル");
      break;
    case CMapQuestions::kAnswerWaitFailed:
      OV_LOG(kLogError, "CMapCharge::_ChkSDVolume - SDカードクリア確認時の異常[ERR:0x%08X]",
             static_cast<unsigned>(error));
      break;
  }
  ErrorCode() = CHARGE_RESULT_ABORT;
  return false;
}

bool CMapCardUpkeep::ClearMapChargedData() {
  const DWORD folders = DeleteMapChargeFolder(_context.drive_letter());
  const bool link = CopyOutingFile(_context.drive_letter(), true);
  if (folders != 0 || !link) {
    ErrorDetail() = folders;
    OV_LOG(kLogError, "CMapCharge::_ClearMapChargedData - ClearData:%08X PCLINK:%s",
           static_cast<unsigned>(folders), link ? "成功" : "失敗");
  }
  OV_LOG(kLogInfo, "CMapCharge::_ClearMapChargedData - End(%d)", 1);
  return true;
}

bool CMapCardUpkeep::UpdateLinkFile(const CDownloadListData& record, int topic_no) {
  OV_LOG(kLogTrace, "CMapCharge::_UpDatePCLinkFile - Start");
  const char drive = _context.drive_letter();
  const core::CPcLinkFile unit(CPcLinkFile::kUnitInfoFile, drive);
  core::CPcLinkFile link(CPcLinkFile::kLinkFile, drive);
  const int64_t data_id =
      IsMapSetKind(record.data_kind) ? kDataIdMapSet : CMapCharge::DataIdOfKind(record.data_kind);
  const uint32_t version = record.GetVersionNumber();
  bool result = false;
  const CPcLinkRecord* unit_record =
      data_id < 0 ? nullptr : FindRecordOf(unit, static_cast<uint32_t>(data_id), std::string());
  if (!unit_record) {
    OV_LOG(kLogError, "CMapCharge::_UpDatePCLinkFile - お出かけ管理ファイル 更新データ取得失敗");
  } else if (data_id != kDataIdSearch) {
    result = link.SetDataRecord(FromUnitRecord(*unit_record, version, link, std::string()));
  } else if (topic_no == 0) {
    OV_LOG(kLogError, "CMapCharge::_UpDatePCLinkFile - パラメータ不正");
  } else {
    const std::string path = SearchPath(unit, topic_no);
    const CPcLinkRecord* search = FindRecordOf(unit, kDataIdSearch, path);
    if (!search) {
      OV_LOG(kLogError, "CMapCharge::_UpDatePCLinkFile - お出かけ管理ファイル 更新データ取得失敗");
    } else {
      result = link.SetDataRecord(FromUnitRecord(*search, version, link, path));
    }
  }
  OV_LOG(kLogInfo, "CMapCharge::_UpDatePCLinkFile - End(%d)", result ? 1 : 0);
  return result;
}
