// The transfer of a downloaded data set: the walk over its images and their
// entries, the rebuild by the entry's flags, the copy to the card and the
// transfer's progress. See RecoverFile.h; the rebuild's file work is in
// RecoverFileBuild.cpp, the size and verify checks in RecoverFileCheck.cpp.
#include "map/RecoverFile.h"

#include <cstring>
#include <new>
#include <numeric>

#include "CardClear.h"
#include "CoreMessages.h"
#include "Folders.h"
#include "Handle.h"
#include "Log.h"
#include "OstrovelleLite/DownloadManageFile.h"
#include "StringUtil.h"
#include "WinFileSystemLib.h"
#include "files/CoreDownloadManage.h"
#include "map/MapCharge.h"
#include "map/MapDataPaths.h"
#include "map/RNW_PackedFile.h"
#include "map/RNW_ParseConf.h"
#include "map/ServerPath.h"

namespace {

const char kRecoverTemp[] = "RecoverTemp\\";

// The entry removes a whole folder: its name says ".\" (or "./").
bool NamesWholeFolder(const std::string& name) {
  return name.find(".\\") != std::string::npos || name.find("./") != std::string::npos;
}

}  // namespace

CRecoverFile::CRecoverFile(HANDLE abort_event)
    : _abort_event(abort_event), _chain(std::make_unique<CConfImageChain>()) {
  SetSearchFolderNo(1);
}

void CRecoverFile::SetDataFolder(const std::string& folder) {
  _data_folder = folder;
  AppendBackslash(_data_folder);
}

void CRecoverFile::SetSearchFolderNo(uint32_t number) {
  _search_no = number;
  _search_card_path = FormatString("%s%d", "SD\\PC\\SEARCH", static_cast<int>(number));
}

uint32_t CRecoverFile::GetAverageSpeed() const {
  if (_speeds.empty()) return 0;
  const double mean = std::accumulate(_speeds.begin(), _speeds.end(), 0.0) / _speeds.size();
  return mean >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<uint32_t>(mean);
}

void CRecoverFile::_SetChargeError(uint32_t code) const {
  if (_error_sink) _error_sink(code);
}

bool CRecoverFile::_ImagePathOf(uint8_t kind, uint8_t detail, const std::string& name,
                                std::string* path, DLManageRecord* record) {
  CDownloadManageFile manage(_data_folder);
  if (!manage.GetDLManage(kind, detail, name)) return false;
  *record = manage.DLManageData();
  const std::string local = record->LocalPath();
  if (local.find(".CNF") == std::string::npos) return false;
  // The record is a file of the PC that anyone can change: its path passes
  // the gate like a server's name.
  const std::string relative = local.compare(0, 2, ".\\") == 0 ? local.substr(2) : local;
  return JoinServerPath(_data_folder, relative, path);
}

CRecoverFile::ImageRead CRecoverFile::_ReadImage(const std::string& path,
                                                 std::vector<char>* bytes) {
  CWinFileSystemLib files(_abort_event);
  CFileHandle file = files.CreateFile_Recover(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (!file) {
    _last_error = files.LastError();
    return kImageOpenFailed;
  }
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart > 0x7FFFFFFF) {
    _last_error = GetLastError() ? GetLastError() : ERROR_FILE_TOO_LARGE;
    return kImageReadFailed;
  }
  const DWORD length = static_cast<DWORD>(size.QuadPart);
  try {
    bytes->assign(length + 1, '\0');
  } catch (const std::bad_alloc&) {
    _last_error = ERROR_NOT_ENOUGH_MEMORY;
    return kImageNoMemory;
  }
  DWORD read = 0;
  if (length > 0 && (!files.ReadFile_Recover(file.Get(), bytes->data(), length, &read, nullptr) ||
                     read != length)) {
    _last_error = files.LastError() ? files.LastError() : ERROR_HANDLE_EOF;
    return kImageReadFailed;
  }
  bytes->resize(length);
  return kImageRead;
}

uint32_t CRecoverFile::_LoadImage(const std::string& path, RNW_ConfInfo* info, const char* who) {
  std::vector<char> bytes;
  switch (_ReadImage(path, &bytes)) {
    case kImageOpenFailed:
      OV_LOG(kLogError, "%s - Confオープン失敗 ERR:0x%08X PATH:%s", who,
             static_cast<unsigned>(_last_error), path.c_str());
      return kUnusable;
    case kImageNoMemory:
      OV_LOG(kLogError, "%s - Conf読み込み用メモリ確保失敗 ERR:0x%08X", who,
             static_cast<unsigned>(_last_error));
      return kNoMemory;
    case kImageReadFailed:
      OV_LOG(kLogError, "%s - Conf読み込み失敗 ERR:0x%08X PATH:%s", who,
             static_cast<unsigned>(_last_error), path.c_str());
      return kUnusable;
    case kImageRead:
      break;
  }
  RNW_ParseConf parser;
  if (!parser.Parse(bytes.data(), bytes.size(), *info)) {
    // An image that cannot be read says nothing about what to transfer:
    // the data set is not transferred.
    OV_LOG(kLogError, "%s - ConfParse失敗 0x%08X %s [%s]", who, static_cast<unsigned>(kUnusable),
           path.c_str(), parser.GetErrorText().c_str());
    return kUnusable;
  }
  return 0;
}

bool CRecoverFile::_NestedImagePath(const std::string& name, std::string* path) const {
  // The download put every image of the data set beside the first one,
  // under its relative name or under the file name of its URL.
  const std::string relative = name.find("http") == std::string::npos ? name : UrlFileName(name);
  return JoinServerPath(_set_folder, relative, path);
}

bool CRecoverFile::_PathsOf(uint8_t kind, const RNW_ConfFileInfo& file, char drive,
                            EntryPaths* paths) const {
  paths->name = file.GetFileName().ToString();
  std::string local;
  if (kind == 4) {
    // Search data goes to the search folder the charge chose.
    local = "PC\\SEARCH\\";
    paths->card = FormatString("PC\\SEARCH%d\\", static_cast<int>(_search_no));
  } else {
    // Kept as the server wrote it: the gate refuses a path from a root or
    // on a share.
    local = file.GetPath().ToString();
    paths->card = local;
  }
  const std::string root = FormatString("%c:\\", drive);
  if (file.GetFlags() & kEntryRemove) return true;  // paths of its own
  return JoinServerPath(_image_folder, local + paths->name, &paths->source) &&
         JoinServerPath(_image_folder + kRecoverTemp, paths->name, &paths->temp) &&
         JoinServerPath(root, paths->card + paths->name, &paths->target);
}

uint32_t CRecoverFile::_JointFile(char drive, const std::string& name, uint8_t kind,
                                  uint8_t detail) {
  OV_LOG(kLogTrace, "CRecoverFile::_JointFile - Start");
  _drive = drive;
  std::string image_path;
  DLManageRecord record;
  if (!_ImagePathOf(kind, detail, name, &image_path, &record)) {
    OV_LOG(kLogError, "CRecoverFile::_JointFile - ファイル結合時のファイル名不正 %s",
           record.LocalPath().c_str());
    OV_LOG(kLogInfo, "CRecoverFile::_JointFile - End(%08X)", static_cast<unsigned>(kUnusable));
    return kUnusable;
  }
  _set_folder = FolderOfPath(image_path);
  _chain = std::make_unique<CConfImageChain>();
  const uint32_t code = _SendFile(kind, image_path, drive);

  uint8_t percent = record.Progress();
  // A failed data set is fetched again by the next download, unless the
  // user stopped the run.
  if (code != 0 && code != kAborted && !_IsStopped()) percent = 0;
  core::CDownloadManageFile manage(_data_folder);
  manage.SetDLManage(kind, detail, name, percent, code == 0 ? 1 : 0, image_path);
  _RemoveDirectoryAll(_set_folder + kRecoverTemp);
  OV_LOG(kLogInfo, "CRecoverFile::_JointFile - End(%08X)", static_cast<unsigned>(code));
  return code;
}

uint32_t CRecoverFile::_SendFile(uint8_t kind, const std::string& image_path, char drive) {
  OV_LOG(kLogTrace, "CRecoverFile::_SendFile - Start");
  if (_set_folder.empty()) _set_folder = FolderOfPath(image_path);
  const std::string outer_folder = _image_folder;
  _image_folder = FolderOfPath(image_path);
  uint32_t code = kUnusable;
  {
    const CConfImageChainScope scope(*_chain, image_path);
    if (scope.IsEntered()) code = _SendImage(kind, image_path, drive);
  }
  // Each image's rebuilt files live only while it is transferred.
  if (_image_folder != _set_folder) _RemoveDirectoryAll(_image_folder + kRecoverTemp);
  _image_folder = outer_folder;
  OV_LOG(kLogInfo, "CRecoverFile::_SendFile - End(%08X)", static_cast<unsigned>(code));
  return code;
}

uint32_t CRecoverFile::_SendImage(uint8_t kind, const std::string& image_path, char drive) {
  RNW_ConfInfo info;
  if (const uint32_t code = _LoadImage(image_path, &info, "CRecoverFile::_SendFile")) return code;
  info.ResetStringIterator();
  while (const CxString* nested = info.NextString()) {
    if (_IsStopped()) {
      OV_LOG(kLogError, "CRecoverFile::_SendFile - 転送中断");
      return kAborted;
    }
    std::string path;
    if (!_NestedImagePath(nested->ToString(), &path)) return kUnusable;
    const uint32_t code = _SendFile(kind, path, drive);
    if (code) return code;
  }
  info.ResetFileIterator();
  while (const RNW_ConfFileInfo* file = info.NextFile()) {
    if (_IsStopped()) {
      OV_LOG(kLogError, "CRecoverFile::_SendFile - 転送中断");
      return kAborted;
    }
    if (const uint32_t code = _SendEntry(kind, *file, drive)) return code;
  }
  return 0;
}

uint32_t CRecoverFile::_SendEntry(uint8_t kind, const RNW_ConfFileInfo& file, char drive) {
  EntryPaths paths;
  if (!_PathsOf(kind, file, drive, &paths)) return kUnusable;
  if (file.GetFlags() & kEntryRemove) return _RemoveEntry(file, paths, drive);
  if ((file.GetFlags() & kEntryModeMask) == kEntryModeMask) {
    OV_LOG(kLogError, "CRecoverFile::_SendFile - ファイルフラグ不正");
    return kUnusable;
  }
  const DWORD started = _Now();
  const bool packed = (file.GetFlags() & kEntryPacked) != 0;
  std::string rebuilt = paths.temp;
  if (packed && file.GetPieceCount() == 0) {
    rebuilt = paths.source;  // taken as it lies
  } else if (const uint32_t code = _Rebuild(file, paths)) {
    return code;
  }
  if (!packed) return _CopyRebuilt(file, paths, started);

  const std::string folder = FolderOfPath(paths.source);
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  const bool found = GetFileAttributesExA(rebuilt.c_str(), GetFileExInfoStandard, &data) != FALSE;
  RNW_PackedFile packed_file(_abort_event);
  if (!found || data.nFileSizeHigh != 0 ||
      !packed_file.ExtractPackedFiles(folder, rebuilt, data.nFileSizeLow)) {
    _last_error = found ? packed_file.GetLastFileError() : GetLastError();
    OV_LOG(kLogError, "CRecoverFile::_SendFile - アーカイブファイル展開失敗[ERR:0x%08X]",
           static_cast<unsigned>(_last_error));
    return kUnusable;
  }
  _archive = true;
  if (rebuilt == paths.temp) {
    CWinFileSystemLib files(_abort_event);
    files.DeleteFile_Recover(rebuilt.c_str());
  }
  return 0;
}

uint32_t CRecoverFile::_RemoveEntry(const RNW_ConfFileInfo& file, const EntryPaths& paths,
                                    char drive) {
  const std::string root = FormatString("%c:\\", drive);
  CWinFileSystemLib files(_abort_event);
  std::string path;
  if (NamesWholeFolder(paths.name)) {
    // The gate never yields the root itself: an empty path is refused.
    if (!JoinServerPath(root, paths.card, &path)) return kUnusable;
    AppendBackslash(path);
  } else {
    if (!JoinServerPath(root, paths.card + paths.name, &path)) return kUnusable;
  }
  // The unit's own files and the folders that hold them are never the
  // image's to remove: the entry is passed over, the image goes on.
  if (IsProtectedCardPath(drive, path)) {
    OV_LOG(kLogError, "CRecoverFile::_SendFile - 削除対象外のパス %s [FLAG:%04X]", path.c_str(),
           static_cast<unsigned>(file.GetFlags()));
    return 0;
  }
  if (NamesWholeFolder(paths.name)) {
    if (PathIsDirectory(path)) files.RemoveDirectoryAll_RecoverA(path.c_str(), TRUE);
  } else {
    files.DeleteFile_Recover(path.c_str());
  }
  OV_LOG(kLogInfo, "CRecoverFile::_SendFile - 削除 %s [FLAG:%04X]", path.c_str(),
         static_cast<unsigned>(file.GetFlags()));
  return 0;
}

uint32_t CRecoverFile::_Rebuild(const RNW_ConfFileInfo& file, const EntryPaths& paths) {
  const std::string temp_folder = FolderOfPath(paths.temp);
  if (!CreateDirectories(temp_folder)) {
    _last_error = GetLastError();
    OV_LOG(kLogError, "CRecoverFile::_SendFile - フォルダ作成失敗[ERR:0x%08X] %s",
           static_cast<unsigned>(_last_error), temp_folder.c_str());
    return kWriteFailed;
  }
  const uint32_t count = file.GetPieceCount();
  uint32_t code = 0;
  switch (file.GetFlags() & kEntryModeMask) {
    case kEntryJoinThenUnpack:
      code = _MakeUnZipFile(paths.source, paths.temp, count);
      if (code) {
        OV_LOG(kLogError, "CRecoverFile::_SendFile - ファイル結合_解凍NG[ERR:0x%08X][%s]",
               static_cast<unsigned>(_last_error), paths.source.c_str());
      }
      break;
    case kEntryUnpackThenJoin:
      code = _UnZipMakeFile(paths.source, paths.temp, count);
      if (code) {
        OV_LOG(kLogError, "CRecoverFile::_SendFile - ファイル解凍_結合NG[ERR:0x%08X][%s]",
               static_cast<unsigned>(_last_error), paths.source.c_str());
      }
      break;
    default:
      code = _MakeFile(paths.source, paths.temp, count, false);
      if (code) {
        OV_LOG(kLogError, "CRecoverFile::_SendFile - ファイル結合NG[ERR:0x%08X][%s]",
               static_cast<unsigned>(_last_error), paths.source.c_str());
      }
      break;
  }
  if (code) {
    _SetChargeError(code);
    CWinFileSystemLib files(_abort_event);
    files.DeleteFile_Recover(paths.source.c_str());
  }
  return code;
}

uint32_t CRecoverFile::_CopyRebuilt(const RNW_ConfFileInfo& file, const EntryPaths& paths,
                                    DWORD started) {
  CWinFileSystemLib files(_abort_event);
  if (!_RebuiltCrcCheck(paths.temp, file.GetValue16())) {
    OV_LOG(kLogError, "CRecoverFile::_SendFile - ファイル結合時 妥当性NG[ERR:0x%08X]",
           static_cast<unsigned>(_last_error));
    _SetChargeError(kVerifyFailed);
    files.DeleteFile_Recover(paths.source.c_str());
    files.DeleteFile_Recover(paths.temp.c_str());
    return kJoinFailed;
  }
  const std::string folder = FolderOfPath(paths.target);
  if (!CreateDirectories(folder)) {
    OV_LOG(kLogError, "CRecoverFile::_SendFile - フォルダ作成失敗[ERR:0x%08X] %s",
           static_cast<unsigned>(GetLastError()), folder.c_str());
  }
  // The old version stays until the new one lies whole beside it.
  const uint64_t before = _copied;
  const bool copied = _CopyFileLite(paths.temp, paths.target);
  files.DeleteFile_Recover(paths.temp.c_str());
  if (!copied) return kWriteFailed;

  const uint64_t size = _copied - before;
  DWORD elapsed = _Now() - started;
  if (elapsed <= 1) elapsed = 1;
  const double speed = 1000.0 / elapsed * static_cast<double>(size);
  if (size > kMinSampledFile && speed > kMinSampledSpeed) {
    if (_speeds.size() >= kMaxSpeedSamples) _speeds.erase(_speeds.begin());
    _speeds.push_back(speed);
    OV_LOG(kLogInfo, "＠＠ TR速度単体 %20.2f SIZE:%d", speed, static_cast<int>(size));
  }
  if (!_speeds.empty()) {
    OV_LOG(kLogInfo, "＠＠ TR速度平均 %20.2f", static_cast<double>(GetAverageSpeed()));
  }
  // Every copied file counts, also those before the first speed sample.
  _SendProgress(GetAverageSpeed(), static_cast<uint32_t>(size));
  return 0;
}

void CRecoverFile::_SendProgress(uint32_t speed, uint32_t bytes) {
  _transferred += bytes;
  const MapProgressWords words =
      MapProgressWords::Make(kMapProgressTransfer, speed, bytes, _transferred, 0);
  if (_block.Publish(words, _window) != 0) {
    OV_LOG(kLogError, "CRecoverFile::_SendProgress - 進捗更新用共有メモリオープン未設定");
  }
}
