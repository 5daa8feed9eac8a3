// The map charge's download list: the request with the card's versions, the
// reply kept on the PC as a gzip file, the records newer than the card, and
// the plain list put on the card after a transfer. Runs on the charge's
// worker; see MapCharge.h.
#include "ConnectionFile.h"
#include "CoreConnectionParameterData.h"
#include "Folders.h"
#include "Handle.h"
#include "Log.h"
#include "OstrovelleLite/DownloadManageFile.h"
#include "OstrovelleLite/PcLinkFile.h"
#include "StringUtil.h"
#include "WinFileSystemLib.h"
#include "WinHttpWrapper.h"
#include "map/MapCharge.h"
#include "map/ServerPath.h"
#include "util/CoreFileUtil.h"
#include "util/GZipIF.h"

namespace {

constexpr uint32_t kDataIdMapSet = 0x30010001;
constexpr uint32_t kDataIdSearch = 0x30010002;
constexpr uint32_t kDataIdMap = 0x30020001;
constexpr uint32_t kDataIdProgram = 0x10000001;
constexpr uint32_t kDataIdFirmware = 0x10000002;
constexpr uint32_t kDataIdZudov = 0x20000003;
constexpr int kStatusNotOnCard = 0xFFF;

bool IsMapSetKind(uint8_t kind) { return kind == 0 || kind == 1; }

}  // namespace

std::string CMapCharge::_GetDataFolder() const {
  std::string folder = _config.GetDownloadFolderPath();
  if (folder.empty()) folder = GetDownloadFolder();
  AppendBackslash(folder);
  return folder + FormatString("Data%02X\\", static_cast<unsigned>(_data_folder_no));
}

bool CMapCharge::_BuildDownloadListRequest(std::string* url, std::string* body) {
  const CPcLinkFile unit(CPcLinkFile::kUnitInfoFile, GetDriveLetter());
  if (!unit.IsLoaded()) {
    OV_LOG(kLogError,
           "CMapCharge::_GetDownloadList - "
           "ダウンロードリスト取得時のお出かけ管理ファイル読み込み失敗[ERR:0x%08X]",
           static_cast<unsigned>(GetLastError()));
    _error_code = 0x3FF03;
    return false;
  }
  const uint32_t firmware = unit.GetFileKind() == 2 ? 1 : unit.GetVersion(kDataIdFirmware);
  core::ConnectionParameterData parameters;
  const bool set = parameters.SetDownloadListParameter(
      unit.GetVersion(kDataIdMap), unit.GetVersionByPath(std::string()),
      unit.GetVersion(kDataIdProgram), firmware, unit.GetVersion(kDataIdZudov),
      unit.GetDeviceNo().c_str(), unit.GetCcidHead());
  CConnectionFile& connections = CConnectionFile::GetInstance();
  connections.SetParameters(parameters);
  if (!set || !connections.BuildFormData(16, body)) {
    OV_LOG(
        kLogError,
        "CMapCharge::_GetDownloadList - ダウンロードリスト取得時のPOSTデータ生成失敗[ERR:0x%08X]",
        static_cast<unsigned>(GetLastError()));
    _error_code = 0x3FF05;
    return false;
  }
  *url = connections.GetUrl(16);
  return true;
}

// The plain reply as "_SRC" beside the list; the client is not asked to
// save it, since it refuses to save an empty reply and the empty list is an
// answer of its own.
bool CMapCharge::_WriteReplyFile(CWinFileSystemLib& files, const std::string& path,
                                 const std::vector<char>& reply) {
  CFileHandle file = files.CreateFile_Recover(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (!file) return false;
  DWORD written = 0;
  const auto size = static_cast<DWORD>(reply.size());
  return files.WriteFile_Recover(file.Get(), reply.data(), size, &written, nullptr) &&
         written == size;
}

uint32_t CMapCharge::_StoreDownloadList(const CWinHttpWrapper& http, const std::string& path) {
  const std::string source = path + "_SRC";
  const std::vector<char>& reply = http.GetReply();
  CWinFileSystemLib files(_GetAbortEvent());
  uint32_t server_code = 0;
  if (!CDownloadList::SetDownloadList(reply.data(), &server_code, &_parsed_list, reply.size())) {
    OV_LOG(kLogError,
           "CMapCharge::_GetDownloadList - ダウンロードリスト取得時のデータエラー[ERR:0x%08X]",
           static_cast<unsigned>(server_code));
    return server_code | 0x230000;
  }
  if (reply.empty()) {
    OV_LOG(kLogError, "CMapCharge::_GetDownloadList - ダウンロードリストに取得対象データ情報無し");
    return 0;
  }
  // Packed beside the old list and then put in its place, so that a list
  // that cannot be written leaves the previous one whole.
  const std::string packed = path + "_NEW";
  CGZipIF gzip(_GetAbortEvent());
  uint32_t code = 0;
  if (!_WriteReplyFile(files, source, reply)) {
    _error_detail = files.LastError();
    code = 0x430105;
  } else if (!gzip.GZipFile(source, packed)) {
    _error_detail = gzip.LastError();
    code = 0x430105;
  } else if (!files.MoveFileEx_Recover(packed.c_str(), path.c_str(),
                                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
    _error_detail = files.LastError();
    code = 0x430105;
  }
  if (code) {
    OV_LOG(kLogError, "CMapCharge::_GetDownloadList - ダウンロードリスト暗号化失敗[ERR:0x%08X]",
           static_cast<unsigned>(_error_detail));
    files.DeleteFile_Recover(packed.c_str());
  }
  files.DeleteFile_Recover(source.c_str());
  return code;
}

bool CMapCharge::_GetDownloadList(const std::string& path) {
  if (path.empty()) return false;
  OV_LOG(kLogTrace, "CMapCharge::_GetDownloadList - Start");
  std::string url;
  std::string body;
  if (!_BuildDownloadListRequest(&url, &body)) {
    OV_LOG(kLogTrace, "CMapCharge::_GetDownloadList - End(%d)", 0);
    return false;
  }
  const std::string folder = _GetDataFolder();
  if (!PathCreateDirectory(folder)) {
    OV_LOG(kLogError, "CMapCharge::_GetDownloadList - フォルダ作成失敗[ERR:0x%08X] %s",
           static_cast<unsigned>(GetLastError()), folder.c_str());
  }
  CWinHttpWrapper http;
  Exchange exchange;
  _PostForm(http, url, body, nullptr, &exchange);
  uint32_t code = 0;
  switch (exchange.stage) {
    case Exchange::kPrepareFailed:
      OV_LOG(kLogError,
             "CMapCharge::_GetDownloadList - ダウンロードリスト初期化時の失敗[ERR:0x%08X]",
             static_cast<unsigned>(exchange.error));
      code = 0x140004;
      break;
    case Exchange::kOpenFailed:
      OV_LOG(kLogError, "CMapCharge::_GetDownloadList - ダウンロードリスト接続時の失敗[ERR:0x%08X]",
             static_cast<unsigned>(exchange.error));
      code = 0x140004;
      break;
    case Exchange::kAborted:
      OV_LOG(kLogInfo, "CMapCharge::_GetDownloadList - ダウンロードリスト取得時のユーザキャンセル");
      code = 0x3FF00;
      break;
    case Exchange::kWaitFailed:
      OV_LOG(kLogError, "CMapCharge::_GetDownloadList - ダウンロードリスト取得時の失敗[ERR:0x%08X]",
             static_cast<unsigned>(exchange.error));
      code = 0x3FFFF;
      break;
    case Exchange::kDone:
      if (exchange.result != 0) {
        OV_LOG(kLogError,
               "CMapCharge::_GetDownloadList - ダウンロードリスト取得時のエラー[RES:0x%08X]",
               static_cast<unsigned>(exchange.result));
        code = (exchange.result & 0xEFFFFFFF) | 0x130000;
      } else {
        code = _StoreDownloadList(http, path);
      }
      break;
  }
  _error_code = code;
  const bool result = code == 0;
  OV_LOG(kLogTrace, "CMapCharge::_GetDownloadList - End(%d)", result ? 1 : 0);
  return result;
}

bool CMapCharge::_AnalyzeDownloadList() {
  OV_LOG(kLogTrace, "CMapCharge::_AnalyzeDownloadList - Start");
  CDownloadList list;
  CDownloadList::GetDownloadList(&list, _parsed_list);
  _chosen_list.Clear();
  if (list.IsEmpty()) {
    OV_LOG(kLogInfo, "CMapCharge::_AnalyzeDownloadList - データ無し");
    _error_code = 0xFF02;
  }
  for (CDownloadListData& record : list.GetRecords()) {
    if (record.result != 0) {
      OV_LOG(kLogTrace,
             "CMapCharge::_AnalyzeDownloadList - "
             "データダウンロード対象外[Data種別:%02X][結果Status:%d]",
             record.data_kind, record.result);
    } else if (!IsSafeServerNamePart(record.version)) {
      // The version text names the data set's folder on the PC.
      OV_LOG(kLogError,
             "CMapCharge::_AnalyzeDownloadList - 不正なデータバージョン[Data種別:%02X][DataVer:%s]",
             record.data_kind, record.version.c_str());
    } else if (_CheckRecord(&_chosen_list, &record)) {
      _estimate_total += record.size;
      _download_total += record.size;
    } else {
      OV_LOG(
          kLogTrace,
          "CMapCharge::_AnalyzeDownloadList - データダウンロード対象外[Data種別:%02X][DataVer:%s]",
          record.data_kind, record.version.c_str());
    }
  }
  if (!_chosen_list.IsEmpty()) {
    OV_LOG(kLogInfo, "CMapCharge::_AnalyzeDownloadList - ダウンロードリスト %dレコード",
           static_cast<int>(_chosen_list.GetCount()));
  } else if (!list.IsEmpty()) {
    OV_LOG(kLogInfo, "CMapCharge::_AnalyzeDownloadList - データ無し");
    _error_code = 0xFF02;
  }
  _chosen_list.Sort();
  OV_LOG(kLogTrace, "CMapCharge::_AnalyzeDownloadList - End(%d)", 1);
  return true;
}

bool CMapCharge::_CheckRecord(CDownloadList* chosen, CDownloadListData* record) {
  OV_LOG(kLogTrace, "CMapCharge::_CheckRecord - Start");
  if (_IsDownload(record->data_kind, record->detail, record->version)) {
    OV_LOG(kLogTrace,
           "CMapCharge::_CheckRecord - 当該データダウンロード済み[Data種別:%02X][DataVer:%s]",
           record->data_kind, record->version.c_str());
    record->downloaded = true;
  }
  const bool result = _CheckVer(chosen, *record);
  OV_LOG(kLogTrace, "CMapCharge::_CheckRecord - End(%d)", result ? 1 : 0);
  return result;
}

bool CMapCharge::_IsDownload(uint8_t kind, uint8_t detail, const std::string& version) {
  OV_LOG(kLogTrace, "CMapCharge::_IsDownload - Start");
  CDownloadManageFile manage(_GetDataFolder());
  bool result =
      manage.GetDLManage(kind, detail, version) && manage.DLManageData().Progress() == 100;
  if (result) {
    const CPcLinkFile unit(CPcLinkFile::kUnitInfoFile, GetDriveLetter());
    const int64_t data_id = IsMapSetKind(kind) ? kDataIdMapSet : DataIdOfKind(kind);
    result = unit.GetStatus(static_cast<uint32_t>(data_id)) != kStatusNotOnCard;
  }
  OV_LOG(kLogTrace, "CMapCharge::_IsDownload - End(%d)", result ? 1 : 0);
  return result;
}

bool CMapCharge::_CardVersionOfKind(uint8_t kind, uint32_t* version) {
  const CPcLinkFile unit(CPcLinkFile::kUnitInfoFile, GetDriveLetter());
  if (IsMapSetKind(kind)) {
    *version = unit.GetVersion(kDataIdMapSet);
    return true;
  }
  const int64_t data_id = DataIdOfKind(kind);
  if (data_id < 0) return false;
  *version = data_id == kDataIdSearch ? unit.GetVersionByPath(std::string())
                                      : unit.GetVersion(static_cast<uint32_t>(data_id));
  return true;
}

bool CMapCharge::_CheckVer(CDownloadList* chosen, const CDownloadListData& record) {
  OV_LOG(kLogTrace, "CMapCharge::_CheckVer - Start");
  bool result = false;
  uint32_t card = 0;
  if (!_CardVersionOfKind(record.data_kind, &card)) {
    OV_LOG(kLogTrace, "CMapCharge::_CheckVer - データ種別不正[不正となったデータ種別:%02X]",
           record.data_kind);
    _error_code = 0x30102;
  } else {
    _sd_version = card;
    _server_version = record.GetVersionNumber();
    if (_sd_version < _server_version) {
      chosen->Append(record);
      result = true;
    } else {
      OV_LOG(kLogTrace,
             "CMapCharge::_CheckVer - ダウンロード対象外データ[SD:0x%08X][Server:0x%08X]",
             static_cast<unsigned>(_sd_version), static_cast<unsigned>(_server_version));
    }
  }
  OV_LOG(kLogTrace, "CMapCharge::_CheckVer - End(%d)", result ? 1 : 0);
  return result;
}

int CMapCharge::_AddDownloadListByDataID(uint32_t data_id, CDownloadList* list) {
  int added = 0;
  for (const DataIdRow& row : kDataIdTable) {
    if (row.data_id != data_id) continue;
    CDownloadListData record;
    record.data_kind = row.kind;
    record.detail = 0x99;
    CDownloadList::AddDownloadList(record, list);
    ++added;
  }
  return added;
}

uint32_t CMapCharge::_TransmitDLLST() {
  const std::string card = FormatString("%C%s%s", GetDriveLetter(), ":\\PC\\", "DL.LST");
  CWinFileSystemLib files(_GetAbortEvent());
  files.DeleteFile_Recover(card.c_str());
  CGZipIF gzip(_GetAbortEvent());
  if (!gzip.UnGZipFile_Recover(_dl_list_path, card)) {
    _error_detail = gzip.LastError();
    OV_LOG(kLogError, "CMapCharge::_TransmitDLLST - ダウンロードリスト復号化失敗[ERR:0x%08X]",
           static_cast<unsigned>(_error_detail));
    return 0x350260;
  }
  return 0;
}
