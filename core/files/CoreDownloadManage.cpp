// The core's side of the download-management file; see
// CoreDownloadManage.h.
#include "files/CoreDownloadManage.h"

#include "Folders.h"
#include "Handle.h"
#include "Log.h"
#include "OstrovelleLite/WholeFile.h"
#include "StringUtil.h"
#include "files/CardFileText.h"
#include "files/CoreHistoryFiles.h"

#include <cstring>
#include <vector>

namespace core {

namespace {

// The part behind the last backslash that is not the second byte of a
// character.
std::string LastPart(const std::string& path) {
  size_t start = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    if (IsCp932LeadByte(static_cast<unsigned char>(path[i]))) {
      ++i;
    } else if (path[i] == '\\') {
      start = i + 1;
    }
  }
  return path.substr(start);
}

// Whether the record at offset differs from the fresh one in its progress
// alone, both below 100: the download moving on within one data set.
bool IsProgressStep(const std::string& bytes, long offset, const DLManageRecord& fresh) {
  if (offset < 0 || static_cast<size_t>(offset) + DLManageRecord::kSize > bytes.size()) {
    return false;
  }
  DLManageRecord stored;
  memcpy(stored.bytes, bytes.data() + offset, DLManageRecord::kSize);
  if (stored.Progress() >= 100 || fresh.Progress() >= 100) return false;
  stored.SetProgress(fresh.Progress());
  return memcmp(stored.bytes, fresh.bytes, DLManageRecord::kSize) == 0;
}

// Writes the progress byte of the record at offset in place. One byte
// cannot be cut: the file stays whole whatever happens, and a step lost
// leaves the step before it, which a download reads the same way (not
// finished). False when the file cannot be opened or written.
bool WriteProgressInPlace(const std::string& path, long offset, uint8_t progress) {
  CFileHandle file(CreateFileW(ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  LARGE_INTEGER at;
  at.QuadPart = offset + static_cast<long>(DLManageRecord::kProgressOffset);
  DWORD written = 0;
  return SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN) &&
         WriteFile(file.Get(), &progress, 1, &written, nullptr) && written == 1;
}

}  // namespace

bool CDownloadManageFile::SetDLManage(uint8_t major, uint8_t minor, const std::string& name,
                                      uint8_t progress, uint8_t rebuild_flag,
                                      const std::string& data_set_path) {
  OV_LOG(kLogInfo, "CDownloadManageFile::SetDLManage - Start");
  DLManageRecord record;
  record.SetMajor(major);
  record.SetMinor(minor);
  record.SetProgress(progress);
  record.SetRebuildFlag(rebuild_flag);
  record.SetName(name);
  record.SetLocalPath(FormatString(".\\%02x\\%02x\\%s\\%s", major, minor, name.c_str(),
                                   LastPart(data_set_path).c_str()));

  long offset = Search(major, minor, name);
  std::string bytes;
  if (offset == kReadFailed && IsDamagedRecordFile(_path, DLManageRecord::kSize)) {
    // A damaged file would fail every later map charge: it is set aside
    // and started afresh with the whole records it held, so the data sets
    // it lost are fetched again.
    unsigned long error = 0;
    std::string damaged;
    if (ReadRaw(&damaged, &error) == kWholeFileRead) {
      bytes = damaged.substr(0, damaged.size() - damaged.size() % DLManageRecord::kSize);
    }
    if (SetAsideDamagedFile(_path)) offset = kNotFound;
  }
  bool readable = offset == kNoFile || (offset == kNotFound && !PathFileExists(_path));
  if (offset != kReadFailed && offset != kNoFile && !readable) {
    unsigned long error = 0;
    readable = ReadRaw(&bytes, &error) == kWholeFileRead;
  }
  bool ok = false;
  if (readable && IsProgressStep(bytes, offset, record)) {
    // The whole file is rewritten (and flushed) for every other change; a
    // step of the progress, once per percent of a download, is one byte.
    ok = WriteProgressInPlace(_path, offset, progress);
  }
  if (readable && !ok) {
    const std::string fresh(reinterpret_cast<const char*>(record.bytes), DLManageRecord::kSize);
    if (offset >= 0 && static_cast<size_t>(offset) + DLManageRecord::kSize <= bytes.size()) {
      bytes.replace(static_cast<size_t>(offset), DLManageRecord::kSize, fresh);
    } else {
      bytes += fresh;
    }
    if (offset == kNoFile) CreateDirectories(GetParentFolder(_path));
    DWORD error = 0;
    ok = WriteFileReplacing(ToWide(_path), bytes, FILE_ATTRIBUTE_NORMAL, &error);
    if (!ok) {
      OV_LOG(kLogError, "CDownloadManageFile::SetDLManage - 書込み失敗 ERR:0x%08X",
             static_cast<unsigned>(error));
    }
  }
  OV_LOG(kLogInfo, "CDownloadManageFile::SetDLManage - End");
  return ok;
}

bool CDownloadManageFile::_DeleteLocalDataUnderVersion(uint8_t major, uint8_t minor,
                                                       uint32_t version,
                                                       const std::string& download_folder) {
  OV_LOG(kLogInfo, "CDownloadManageFile::_DeleteLocalDataUnderVersion - Start");
  if (download_folder.empty()) {
    OV_LOG(kLogError, "CDownloadManageFile::_DeleteLocalDataUnderVersion - パラメータ異常");
    return false;
  }
  std::string bytes;
  unsigned long error = 0;
  const int read = ReadRaw(&bytes, &error);
  if (read == kWholeFileNotOpened) {
    OV_LOG(kLogError,
           "CDownloadManageFile::_DeleteLocalDataUnderVersion - ファイルオープン失敗 ERR:%08X",
           static_cast<unsigned>(error));
    return false;
  }
  if (read != kWholeFileRead) {
    OV_LOG(kLogError,
           "CDownloadManageFile::_DeleteLocalDataUnderVersion - ファイル読み込み失敗 ERR:%08X",
           static_cast<unsigned>(error));
    return false;
  }
  std::vector<std::string> names;
  for (const DLManageRecord& r : SplitRecords(bytes)) {
    const uint32_t record_version = VersionFromText(r.Name());
    if (r.Major() != major || r.Minor() != minor || record_version > version) continue;
    OV_LOG(kLogInfo, "CDownloadManageFile::_DeleteLocalDataUnderVersion - 削除対象%02d%02d %08X",
           major, minor, static_cast<unsigned>(record_version));
    names.push_back(r.Name());
  }
  bool ok = true;
  for (const std::string& name : names) {
    ok = _DeleteLocalData(major, minor, name, download_folder) && ok;
  }
  OV_LOG(ok ? kLogInfo : kLogError, "CDownloadManageFile::_DeleteLocalDataUnderVersion - End %s",
         ok ? "成功" : "失敗");
  return ok;
}

}  // namespace core
