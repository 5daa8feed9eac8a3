// The map charge's download list; see MapDownloadListStep.h.
#include "map/MapDownloadListStep.h"

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
#include "map/CardFileCopy.h"
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

bool CMapDownloadListStep::BuildRequest(std::string* url, std::string* body) {
  const CPcLinkFile unit(CPcLinkFile::kUnitInfoFile, _context.drive_letter());
  if (!unit.IsLoaded()) {
    OV_LOG(kLogError,
           "CMapCharge::_GetDownloadList - "
           "ダウンロードリスト取得時のお出かけ管理ファイル読み込み失敗[ERR:0x%08X]",
           static_cast<unsigned>(GetLastError()));
    ErrorCode() = 0x3FF03;
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
    ErrorCode() = 0x3FF05;
    return false;
  }
  *url = connections.GetUrl(16);
  return true;
}

// The plain reply as "_SRC" beside the list; the client is not asked to
// save it, since it refuses to save an empty reply and the empty list is an
// answer of its own.
bool CMapDownloadListStep::WriteReplyFile(CWinFileSystemLib& files, const std::string& path,
                                          const std::vector<char>& reply) {
  CFileHandle file = files.CreateFile_Recover(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (!file) return false;
  DWORD written = 0;
  const auto size = static_cast<DWORD>(reply.size());
  return files.WriteFile_Recover(file.Get(), reply.data(), size, &written, nullptr) &&
         written == size;
}

uint32_t CMapDownloadListStep::Store(const CWinHttpWrapper& http, const std::string& path) {
  const std::string source = path + "_SRC";
  const std::vector<char>& reply = http.GetReply();
  CWinFileSystemLib files(_context.abort_event());
  uint32_t server_code = 0;
  if (!CDownloadList::SetDownloadList(reply.data(), &server_code, &_parsed, reply.size())) {
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
  CGZipIF gzip(_context.abort_event());
  uint32_t code = 0;
  if (!WriteReplyFile(files, source, reply)) {
    ErrorDetail() = files.LastError();
    code = 0x430105;
  } else if (!gzip.GZipFile(source, packed)) {
    ErrorDetail() = gzip.LastError();
    code = 0x430105;
  } else if (!files.MoveFileEx_Recover(packed.c_str(), path.c_str(),
                                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
    ErrorDetail() = files.LastError();
    code = 0x430105;
  }
  if (code) {
    OV_LOG(kLogError, "CMapCharge::_GetDownloadList - ダウンロードリスト暗号化失敗[ERR:0x%08X]",
           static_cast<unsigned>(ErrorDetail()));
    files.DeleteFile_Recover(packed.c_str());
  }
  files.DeleteFile_Recover(source.c_str());
  return code;
}

bool CMapDownloadListStep::Fetch(const std::string& path) {
  if (path.empty()) return false;
  OV_LOG(kLogTrace, "CMapCharge::_GetDownloadList - Start");
  std::string url;
  std::string body;
  if (!BuildRequest(&url, &body)) {
    OV_LOG(kLogTrace, "CMapCharge::_GetDownloadList - End(%d)", 0);
    return false;
  }
  const std::string folder = _context.data_folder();
  if (!PathCreateDirectory(folder)) {
    OV_LOG(kLogError, "CMapCharge::_GetDownloadList - フォルダ作成失敗[ERR:0x%08X] %s",
           static_cast<unsigned>(GetLastError()), folder.c_str());
  }
  CWinHttpWrapper http;
  HttpExchange exchange;
  _context.post_form(http, url, body, &exchange);
  uint32_t code = 0;
  switch (exchange.stage) {
    case HttpExchange::kPrepareFailed:
      OV_LOG(kLogError,
             "CMapCharge::_GetDownloadList - ダウンロードリスト初期化時の失敗[ERR:0x%08X]",
             static_cast<unsigned>(exchange.error));
      code = 0x140004;
      break;
    case HttpExchange::kOpenFailed:
      OV_LOG(kLogError, "CMapCharge::_GetDownloadList - ダウンロードリスト接続時の失敗[ERR:0x%08X]",
             static_cast<unsigned>(exchange.error));
      code = 0x140004;
      break;
    case HttpExchange::kAborted:
      OV_LOG(kLogInfo, "CMapCharge::_GetDownloadList - ダウンロードリスト取得時のユーザキャンセル");
      code = 0x3FF00;
      break;
    case HttpExchange::kWaitFailed:
      OV_LOG(kLogError, "CMapCharge::_GetDownloadList - ダウンロードリスト取得時の失敗[ERR:0x%08X]",
             static_cast<unsigned>(exchange.error));
      code = 0x3FFFF;
      break;
    case HttpExchange::kDone:
      if (exchange.result != 0) {
        OV_LOG(kLogError,
               "CMapCharge::_GetDownloadList - ダウンロードリスト取得時のエラー[RES:0x%08X]",
               static_cast<unsigned>(exchange.result));
        code = (exchange.result & 0xEFFFFFFF) | 0x130000;
      } else {
        code = Store(http, path);
      }
      break;
  }
  ErrorCode() = code;
  const bool result = code == 0;
  OV_LOG(kLogTrace, "CMapCharge::_GetDownloadList - End(%d)", result ? 1 : 0);
  return result;
}

bool CMapDownloadListStep::Analyze() {
  OV_LOG(kLogTrace, "CMapCharge::_AnalyzeDownloadList - Start");
  CDownloadList list;
  CDownloadList::GetDownloadList(&list, _parsed);
  CDownloadList& chosen = *_context.chosen;
  chosen.Clear();
  if (list.IsEmpty()) {
    OV_LOG(kLogInfo, "CMapCharge::_AnalyzeDownloadList - データ無し");
    ErrorCode() = 0xFF02;
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
    } else if (CheckRecord(&chosen, &record)) {
      *_context.estimate_total += record.size;
      *_context.download_total += record.size;
    } else {
      OV_LOG(
          kLogTrace,
          "CMapCharge::_AnalyzeDownloadList - データダウンロード対象外[Data種別:%02X][DataVer:%s]",
          record.data_kind, record.version.c_str());
    }
  }
  if (!chosen.IsEmpty()) {
    OV_LOG(kLogInfo, "CMapCharge::_AnalyzeDownloadList - ダウンロードリスト %dレコード",
           static_cast<int>(chosen.GetCount()));
  } else if (!list.IsEmpty()) {
    OV_LOG(kLogInfo, "CMapCharge::_AnalyzeDownloadList - データ無し");
    ErrorCode() = 0xFF02;
  }
  chosen.Sort();
  OV_LOG(kLogTrace, "CMapCharge::_AnalyzeDownloadList - End(%d)", 1);
  return true;
}

bool CMapDownloadListStep::CheckRecord(CDownloadList* chosen, CDownloadListData* record) {
  OV_LOG(kLogTrace, "CMapCharge::_CheckRecord - Start");
  if (IsDownloaded(record->data_kind, record->detail, record->version)) {
    OV_LOG(kLogTrace,
           "CMapCharge::_CheckRecord - 当該データダウンロード済み[Data種別:%02X][DataVer:%s]",
           record->data_kind, record->version.c_str());
    record->downloaded = true;
  }
  const bool result = CheckVersion(chosen, *record);
  OV_LOG(kLogTrace, "CMapCharge::_CheckRecord - End(%d)", result ? 1 : 0);
  return result;
}

bool CMapDownloadListStep::IsDownloaded(uint8_t kind, uint8_t detail, const std::string& version) {
  OV_LOG(kLogTrace, "CMapCharge::_IsDownload - Start");
  CDownloadManageFile manage(_context.data_folder());
  bool result =
      manage.GetDLManage(kind, detail, version) && manage.DLManageData().Progress() == 100;
  if (result) {
    const CPcLinkFile unit(CPcLinkFile::kUnitInfoFile, _context.drive_letter());
    const int64_t data_id = IsMapSetKind(kind) ? kDataIdMapSet : CMapCharge::DataIdOfKind(kind);
    result = unit.GetStatus(static_cast<uint32_t>(data_id)) != kStatusNotOnCard;
  }
  OV_LOG(kLogTrace, "CMapCharge::_IsDownload - End(%d)", result ? 1 : 0);
  return result;
}

bool CMapDownloadListStep::CardVersionOfKind(uint8_t kind, uint32_t* version) {
  const CPcLinkFile unit(CPcLinkFile::kUnitInfoFile, _context.drive_letter());
  if (IsMapSetKind(kind)) {
    *version = unit.GetVersion(kDataIdMapSet);
    return true;
  }
  const int64_t data_id = CMapCharge::DataIdOfKind(kind);
  if (data_id < 0) return false;
  *version = data_id == kDataIdSearch ? unit.GetVersionByPath(std::string())
                                      : unit.GetVersion(static_cast<uint32_t>(data_id));
  return true;
}

bool CMapDownloadListStep::CheckVersion(CDownloadList* chosen, const CDownloadListData& record) {
  OV_LOG(kLogTrace, "CMapCharge::_CheckVer - Start");
  bool result = false;
  uint32_t card = 0;
  if (!CardVersionOfKind(record.data_kind, &card)) {
    OV_LOG(kLogTrace, "CMapCharge::_CheckVer - データ種別不正[不正となったデータ種別:%02X]",
           record.data_kind);
    ErrorCode() = 0x30102;
  } else {
    const uint32_t server = record.GetVersionNumber();
    if (card < server) {
      chosen->Append(record);
      result = true;
    } else {
      OV_LOG(kLogTrace,
             "CMapCharge::_CheckVer - ダウンロード対象外データ[SD:0x%08X][Server:0x%08X]",
             static_cast<unsigned>(card), static_cast<unsigned>(server));
    }
  }
  OV_LOG(kLogTrace, "CMapCharge::_CheckVer - End(%d)", result ? 1 : 0);
  return result;
}

int CMapDownloadListStep::AddByDataId(uint32_t data_id, CDownloadList* list) {
  int added = 0;
  for (const CMapCharge::DataIdRow& row : CMapCharge::kDataIdTable) {
    if (row.data_id != data_id) continue;
    CDownloadListData record;
    record.data_kind = row.kind;
    record.detail = 0x99;
    CDownloadList::AddDownloadList(record, list);
    ++added;
  }
  return added;
}

uint32_t CMapDownloadListStep::TransmitPlain(const std::string& list_path) {
  const std::string card = FormatString("%C%s%s", _context.drive_letter(), ":\\PC\\", "DL.LST");
  CWinFileSystemLib files(_context.abort_event());
  // The unit reads the old list until the new one lies whole beside it.
  const std::string temp = CardTempPathOf(card);
  files.DeleteFile_Recover(temp.c_str());
  CGZipIF gzip(_context.abort_event());
  const bool unpacked = gzip.UnGZipFile_Recover(list_path, temp);
  if (!unpacked) files.DeleteFile_Recover(temp.c_str());
  if (!unpacked || !PutCardFileInPlace(files, temp, card)) {
    ErrorDetail() = unpacked ? files.LastError() : gzip.LastError();
    OV_LOG(kLogError, "CMapCharge::_TransmitDLLST - ダウンロードリスト復号化失敗[ERR:0x%08X]",
           static_cast<unsigned>(ErrorDetail()));
    return 0x350260;
  }
  return 0;
}
