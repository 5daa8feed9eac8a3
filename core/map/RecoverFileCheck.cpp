// What a downloaded data set needs on the card, whether its files on the
// card are intact, and whether its version already lies there. See
// RecoverFile.h.
#include "Log.h"
#include "OstrovelleLite/DownloadManageFile.h"
#include "OstrovelleLite/PcLinkFile.h"
#include "StringUtil.h"
#include "map/MapDataPaths.h"
#include "map/RNW_ParseConf.h"
#include "map/RecoverFile.h"
#include "map/ServerPath.h"

namespace {

constexpr uint32_t kDataIdSearch = 0x30010002;

// Entries that put a file of their own on the card.
bool WritesToCard(uint16_t flags) {
  return (flags & (CRecoverFile::kEntryRemove | CRecoverFile::kEntryPacked)) == 0;
}

}  // namespace

uint32_t CRecoverFile::CheckFile(uint64_t* size, const std::string& name,
                                 const std::string& data_folder, char drive, uint8_t kind,
                                 uint8_t detail, int mode, uint32_t search_no) {
  OV_LOG(kLogTrace, "CRecoverFile::CheckFile - Start");
  SetDataFolder(data_folder);
  SetSearchFolderNo(search_no);
  *size = 0;
  uint32_t code = 0;
  std::string image_path;
  DLManageRecord record;
  if (mode != kCheckSize && mode != kCheckVerify) {
    code = 0;
  } else if (!_ImagePathOf(kind, detail, name, &image_path, &record)) {
    OV_LOG(kLogError, "CRecoverFile::CheckFile - Confファイル取得時の不正 %s",
           record.LocalPath().c_str());
    code = kUnusable;
  } else {
    _set_folder = FolderOfPath(image_path);
    _chain = std::make_unique<CConfImageChain>();
    code = _CheckImage(size, kind, image_path, drive, mode);
  }
  OV_LOG(kLogInfo, "CRecoverFile::CheckFile - End(%08X)", static_cast<unsigned>(code));
  return code;
}

uint32_t CRecoverFile::_CheckImage(uint64_t* size, uint8_t kind, const std::string& image_path,
                                   char drive, int mode) {
  const CConfImageChainScope scope(*_chain, image_path);
  if (!scope.IsEntered()) return kUnusable;
  const char* who = mode == kCheckSize ? "CRecoverFile::_CheckFile(file size)"
                                       : "CRecoverFile::_CheckFile(file transmit)";
  RNW_ConfInfo info;
  if (const uint32_t code = _LoadImage(image_path, &info, who)) return code;
  info.ResetStringIterator();
  while (const CxString* nested = info.NextString()) {
    std::string path;
    if (!_NestedImagePath(nested->ToString(), &path)) return kUnusable;
    if (const uint32_t code = _CheckImage(size, kind, path, drive, mode)) return code;
  }
  const std::string outer_folder = _image_folder;
  _image_folder = FolderOfPath(image_path);
  uint32_t code = 0;
  info.ResetFileIterator();
  while (const RNW_ConfFileInfo* file = info.NextFile()) {
    if (!WritesToCard(file->GetFlags())) continue;
    if (mode == kCheckSize) {
      *size += file->GetSize();
      continue;
    }
    if (_abort_event && WaitForSingleObject(_abort_event, 0) == WAIT_OBJECT_0) {
      OV_LOG(kLogInfo, "CRecoverFile::_CheckFile - ベリファイチェック中のユーザーキャンセル");
      code = kAborted;
      break;
    }
    EntryPaths paths;
    if (!_PathsOf(kind, *file, drive, &paths)) {
      code = kUnusable;
      break;
    }
    OV_LOG(kLogTrace, "CRecoverFile::_CheckFile - ファイルチェック %s", paths.target.c_str());
    if (!_CrcCheck(paths.target, file->GetValue16())) {
      OV_LOG(kLogInfo, "CRecoverFile::_CheckFile - ファイルCRCチェック失敗 0x%08X %s",
             static_cast<unsigned>(kVerifyFailed), paths.target.c_str());
      code = kVerifyFailed;
      break;
    }
  }
  _image_folder = outer_folder;
  return code;
}

bool CRecoverFile::CheckTransferredFile(const std::string& version, char drive,
                                        const std::string& data_folder, uint8_t kind,
                                        uint8_t detail, uint32_t data_id) {
  OV_LOG(kLogTrace, "CRecoverFile::CheckTransferredFile - Start");
  bool result = false;
  if (data_id != kDataIdSearch) {
    const CPcLinkFile link(CPcLinkFile::kLinkFile, drive);
    const CPcLinkFile unit(CPcLinkFile::kUnitInfoFile, drive);
    const uint32_t pc = link.GetVersion(data_id);
    const uint32_t navi = unit.GetVersion(data_id);
    OV_LOG(kLogTrace, "CRecoverFile::CheckTransferredFile - PCリンクバージョン:%d",
           static_cast<int>(pc));
    OV_LOG(kLogTrace, "CRecoverFile::CheckTransferredFile - ナビリンクバージョン:%d",
           static_cast<int>(navi));
    uint64_t size = 0;
    result =
        link.IsLoaded() && unit.IsLoaded() && navi < pc &&
        CheckFile(&size, version, data_folder, drive, kind, detail, kCheckVerify, _search_no) == 0;
  }
  if (result) {
    OV_LOG(kLogInfo, "CRecoverFile::CheckTransferredFile - データ転送済[ID:%02X][Ver:%s]", kind,
           version.c_str());
  } else {
    OV_LOG(kLogInfo, "CRecoverFile::CheckTransferredFile - データ未転送[ID:%02X][Ver:%s]", kind,
           version.c_str());
  }
  OV_LOG(kLogInfo, "CRecoverFile::CheckTransferredFile - End(%d)", result ? 1 : 0);
  return result;
}
