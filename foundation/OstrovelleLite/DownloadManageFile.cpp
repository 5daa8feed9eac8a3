// The download-management file; see DownloadManageFile.h.
#include "OstrovelleLite/DownloadManageFile.h"

#include "Folders.h"
#include "Log.h"
#include "OstrovelleLite/OstrovelleConfig.h"
#include "OstrovelleLite/RecordFields.h"
#include "OstrovelleLite/WholeFile.h"
#include "OvWindows.h"
#include "StringUtil.h"

#include <cstring>

namespace {

constexpr size_t kMaxFileSize = 64 * 1024 * 1024;

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
  return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) ==
         CSTR_EQUAL;
}

// Path parts split at backslashes that are not the second byte of a
// character.
std::vector<std::string> SplitParts(const std::string& path) {
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < path.size(); ++i) {
    const char c = path[i];
    if (IsCp932LeadByte(static_cast<unsigned char>(c)) && i + 1 < path.size()) {
      parts.back() += c;
      parts.back() += path[++i];
    } else if (c == '\\') {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

std::string FolderOf(std::string path) {
  RemoveTrailingBackslash(path);
  const std::string parent = GetParentFolder(path);
  return parent.empty() ? path : parent;
}

bool DeleteTree(const std::string& folder) {
  std::string path = folder;
  RemoveTrailingBackslash(path);
  return DeleteFolderTree(path, true);
}

}  // namespace

std::string DLManageRecord::Name() const { return LoadFixedText(bytes + kNameOffset, kNameSize); }

std::string DLManageRecord::LocalPath() const {
  return LoadFixedText(bytes + kLocalPathOffset, kLocalPathSize);
}

void DLManageRecord::SetName(const std::string& name) {
  StoreFixedText(bytes + kNameOffset, kNameSize, name);
}

void DLManageRecord::SetLocalPath(const std::string& path) {
  StoreFixedText(bytes + kLocalPathOffset, kLocalPathSize, path);
}

std::string GetDLManageFilePath(const std::string& download_folder) {
  std::string path = download_folder;
  AppendBackslash(path);
  return path + "DL.DAT";
}

std::string GetDLManageFilePath() {
  COstrovelleConfig config;
  config.SetDownloadFolderPath(GetDownloadFolder());
  config.LoadDownloadFolderPath();
  return GetDLManageFilePath(config.GetDownloadFolderPath());
}

std::string CanonicalizeLocalPath(const std::string& path) {
  if (path.empty()) return path;
  std::string slashed = path;
  for (char& c : slashed) {
    if (c == '/') c = '\\';  // never a second byte in code page 932
  }
  const std::vector<std::string> parts = SplitParts(slashed);
  // Kept as the base: a drive ("C:"), a root, or a share's "\\server\share".
  size_t fixed = 0;
  if (parts.size() > 2 && parts[0].empty() && parts[1].empty()) {
    fixed = parts.size() < 4 ? parts.size() : 4;
  } else if (!parts.empty() && parts[0].size() == 2 && parts[0][1] == ':') {
    fixed = 1;
  } else if (!parts.empty() && parts[0].empty()) {
    fixed = 1;
  }
  std::vector<std::string> kept(parts.begin(), parts.begin() + fixed);
  for (size_t i = fixed; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    const bool last = i + 1 == parts.size();
    if (part == ".") continue;
    if (part == "..") {
      if (kept.size() > fixed) kept.pop_back();
      continue;
    }
    if (part.empty() && !last) continue;
    kept.push_back(part);
  }
  std::string out;
  for (size_t i = 0; i < kept.size(); ++i) {
    if (i) out += '\\';
    out += kept[i];
  }
  if (fixed == 1 && kept.size() == 1) out += '\\';  // "C:\" or "\"
  return out;
}

bool IsPathInsideFolder(const std::string& path, const std::string& folder) {
  std::string base = folder;
  AppendBackslash(base);
  std::string inner = path;
  RemoveTrailingBackslash(inner);
  if (inner.size() <= base.size()) return false;
  if (Cp932SafeLength(inner.data(), base.size()) != base.size()) return false;
  return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, inner.c_str(),
                        static_cast<int>(base.size()), base.c_str(),
                        static_cast<int>(base.size())) == CSTR_EQUAL;
}

CDownloadManageFile::CDownloadManageFile() : _path(GetDLManageFilePath()) {}

CDownloadManageFile::CDownloadManageFile(const std::string& download_folder)
    : _path(GetDLManageFilePath(download_folder)) {}

int CDownloadManageFile::ReadRaw(std::string* bytes, unsigned long* error) const {
  DWORD e = 0;
  const int result = ReadWholeFile(_path, kMaxFileSize, bytes, &e);
  *error = e;
  return result;
}

std::vector<DLManageRecord> CDownloadManageFile::SplitRecords(const std::string& bytes) {
  std::vector<DLManageRecord> records;
  AppendRecords(bytes, &records);
  return records;
}

long CDownloadManageFile::Search(uint8_t major, uint8_t minor, const std::string& name) const {
  OV_LOG(kLogInfo, "CDownloadManageFile::Search - Start");
  long found = kNotFound;
  std::string bytes;
  unsigned long error = 0;
  const int read = ReadRaw(&bytes, &error);
  if (read != kWholeFileRead) {
    found = (read == kWholeFileNotOpened &&
             (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND))
                ? kNoFile
                : kReadFailed;
  } else {
    const std::vector<DLManageRecord> records = SplitRecords(bytes);
    for (size_t i = 0; i < records.size(); ++i) {
      const DLManageRecord& r = records[i];
      if (r.Major() == major && r.Minor() == minor && r.Name() == name) {
        found = static_cast<long>(i * DLManageRecord::kSize);
        break;
      }
    }
    // A cut record at the end is a read that failed, unless a match came first.
    if (found == kNotFound && bytes.size() % DLManageRecord::kSize != 0) found = kReadFailed;
  }
  OV_LOG(kLogInfo, "CDownloadManageFile::Search - End");
  return found;
}

bool CDownloadManageFile::GetDLManage(uint8_t major, uint8_t minor, const std::string& name) {
  OV_LOG(kLogInfo, "CDownloadManageFile::GetDLManage - Start");
  const long offset = Search(major, minor, name);
  bool ok = false;
  if (offset >= 0) {
    std::string bytes;
    unsigned long error = 0;
    if (ReadRaw(&bytes, &error) == kWholeFileRead &&
        bytes.size() >= static_cast<size_t>(offset) + DLManageRecord::kSize) {
      memcpy(_record.bytes, bytes.data() + offset, DLManageRecord::kSize);
      ok = true;
    }
  }
  OV_LOG(kLogInfo, "CDownloadManageFile::GetDLManage - End");
  return ok;
}

bool CDownloadManageFile::DelDLManage(uint8_t major, uint8_t minor, const std::string& name) {
  OV_LOG(kLogInfo, "CDownloadManageFile::DelDLManage - Start");
  std::string bytes;
  unsigned long error = 0;
  const int read = ReadRaw(&bytes, &error);
  if (read == kWholeFileNotOpened) {
    OV_LOG(kLogError,
           "CDownloadManageFile::DelDLManage - ダウンロード管理ファイルオープン失敗 ERR:0x%08X",
           static_cast<unsigned>(error));
    return false;
  }
  if (read == kWholeFileTooLarge) {
    OV_LOG(kLogError, "CDownloadManageFile::DelDLManage - メモリ確保失敗 ERR:0x%08X",
           static_cast<unsigned>(error));
    return false;
  }
  if (read != kWholeFileRead) {
    OV_LOG(kLogError, "CDownloadManageFile::DelDLManage - ファイル読み込み失敗 ERR:0x%08X",
           static_cast<unsigned>(error));
    return false;
  }
  // A damaged file stays as it is: its records are not ours to drop.
  if (bytes.size() % DLManageRecord::kSize != 0) {
    OV_LOG(kLogError,
           "CDownloadManageFile::DelDLManage - ダウンロード管理ファイルサイズ不正 SIZE:%d",
           static_cast<int>(bytes.size()));
    return false;
  }
  std::string kept;
  for (const DLManageRecord& r : SplitRecords(bytes)) {
    if (r.Major() == major && r.Minor() == minor && SameTextIgnoringCase(r.Name(), name)) continue;
    kept.append(reinterpret_cast<const char*>(r.bytes), DLManageRecord::kSize);
  }
  bool ok = true;
  if (kept.size() != bytes.size()) {
    DWORD write_error = 0;
    ok = WriteFileReplacing(ToWide(_path), kept, FILE_ATTRIBUTE_NORMAL, &write_error);
    if (!ok) {
      OV_LOG(kLogError,
             "CDownloadManageFile::DelDLManage - ダウンロード管理ファイル書込み失敗 ERR:0x%08X",
             static_cast<unsigned>(write_error));
    }
  }
  OV_LOG(kLogInfo, "CDownloadManageFile::DelDLManage - End");
  return ok;
}

bool CDownloadManageFile::_DeleteLocalData(uint8_t major, uint8_t minor, const std::string& name,
                                           const std::string& download_folder) {
  OV_LOG(kLogInfo, "CDownloadManageFile::_DeleteLocalData - Start[%02X][%02X][%s]", major, minor,
         name.c_str());
  if (download_folder.empty()) {
    OV_LOG(kLogError, "CDownloadManageFile::_DeleteLocalData - パラメータ異常");
    return false;
  }
  std::string base = CanonicalizeLocalPath(download_folder);
  AppendBackslash(base);
  const std::string category = base + FormatString("%02X\\%02X\\", major, minor);
  bool ok = false;
  if (GetDLManage(major, minor, name)) {
    std::string folder = CanonicalizeLocalPath(base + _record.LocalPath());
    if (folder.find(".CNF") != std::string::npos) folder = FolderOf(folder);
    if (_record.LocalPath().empty() || !IsPathInsideFolder(folder, category)) {
      // Never delete outside the data set's category: the record is dropped
      // and nothing else is touched.
      OV_LOG(kLogError, "CDownloadManageFile::_DeleteLocalData - 不正なローカルパス:%s",
             _record.LocalPath().c_str());
      DelDLManage(major, minor, name);
      ok = false;
    } else if (PathIsDirectory(folder)) {
      ok = DeleteTree(folder) && DelDLManage(major, minor, name);
    } else {
      ok = DelDLManage(major, minor, name);
    }
    // The minor, then the major category's folder, once nothing is left in it.
    for (const std::string& enclosing : {category, base + FormatString("%02X\\", major)}) {
      if (!PathIsDirectory(enclosing) || GetFolderTreeSize(enclosing) != 0) continue;
      OV_LOG(kLogInfo, "CDownloadManageFile::_DeleteLocalData - ディレクトリ削除：%s",
             enclosing.c_str());
      ok = DeleteTree(enclosing) && ok;
    }
  } else {
    const std::string folder = CanonicalizeLocalPath(category + name + "\\");
    if (!name.empty() && IsPathInsideFolder(folder, category) && PathIsDirectory(folder)) {
      DeleteTree(folder);
      OV_LOG(kLogInfo, "管理ファイルに非存のため、ディレクトリ削除 PATH:%s.", folder.c_str());
    }
    ok = false;
  }
  OV_LOG(ok ? kLogInfo : kLogError, "CDownloadManageFile::_DeleteLocalData - End %s",
         ok ? "成功" : "失敗");
  return ok;
}

bool CDownloadManageFile::_DeleteAllLocalData(const std::string& download_folder) {
  OV_LOG(kLogInfo, "CDownloadManageFile::_DeleteAllLocalData - Start");
  std::string base = download_folder;
  AppendBackslash(base);
  std::string bytes;
  unsigned long error = 0;
  bool ok = true;
  if (!download_folder.empty() && ReadRaw(&bytes, &error) == kWholeFileRead) {
    for (const DLManageRecord& r : SplitRecords(bytes)) {
      // Gone already with a record of the same key in another case.
      if (Search(r.Major(), r.Minor(), r.Name()) == kNotFound) continue;
      ok = _DeleteLocalData(r.Major(), r.Minor(), r.Name(), download_folder) && ok;
    }
    // Records of data that could not be deleted stay in the file.
    if (ok) {
      DeleteFileA(_path.c_str());
      DeleteFileA((base + "DL.LST").c_str());
    }
  } else if (!download_folder.empty()) {
    OV_LOG(kLogInfo, "ダウンロード管理ファイルが存在しないため、大項目フォルダごと削除");
    for (int major = 0; major <= 0xFF; ++major) {
      const std::string folder = base + FormatString("%02X", major);
      if (PathIsDirectory(folder)) ok = DeleteFolderTree(folder, true) && ok;
    }
  } else {
    ok = false;
  }
  OV_LOG(ok ? kLogInfo : kLogError, "CDownloadManageFile::_DeleteAllLocalData - End(%s)",
         ok ? "成功" : "失敗");
  return ok;
}
