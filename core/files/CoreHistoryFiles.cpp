// The core's writers of the history files; see CoreHistoryFiles.h.
#include "files/CoreHistoryFiles.h"

#include "Folders.h"
#include "Log.h"
#include "OstrovelleLite/WholeFile.h"
#include "StringUtil.h"

#include <algorithm>
#include <string>

namespace core {

namespace {

template <typename Record>
std::string Join(const std::vector<Record>& records) {
  std::string bytes;
  for (const Record& r : records)
    bytes.append(reinterpret_cast<const char*>(r.bytes), Record::kSize);
  return bytes;
}

}  // namespace

bool IsDamagedRecordFile(const std::string& path, size_t record_size) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return false;
  }
  const uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return size % record_size != 0 || size > 64 * 1024 * 1024;
}

bool SetAsideDamagedFile(const std::string& path) {
  const std::string aside = path + ".bad";
  if (!MoveFileExA(path.c_str(), aside.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    OV_LOG(kLogError, "破損ファイルの退避失敗[ERR:0x%08lX] %s", GetLastError(), path.c_str());
    return false;
  }
  OV_LOG(kLogError, "破損ファイルを退避し新規作成 %s -> %s", path.c_str(), aside.c_str());
  return true;
}

bool CSDInfoFile::SetHistory(uint32_t id, const SYSTEMTIME& date, int32_t first, int32_t second,
                             int32_t third, int32_t fourth, const char* text) {
  _records.clear();
  if (!Read()) {
    // A damaged file would lose every later history record: it is set
    // aside and written afresh with the whole records it held.
    if (!IsDamagedRecordFile(_path, SDInfoRecord::kSize) || !SetAsideDamagedFile(_path)) {
      return false;
    }
  }
  auto it = std::find_if(_records.begin(), _records.end(),
                         [id](const SDInfoRecord& r) { return r.Id() == id; });
  if (it == _records.end()) {
    SDInfoRecord fresh;
    fresh.SetId(id);
    _records.push_back(fresh);
    it = _records.end() - 1;
  }
  // A new record takes every value too: its first outcome must not read as
  // a success.
  it->SetDate(date);
  it->SetFirst(first);
  it->SetFourth(fourth);
  it->SetSecond(second);
  it->SetThird(third);
  if (text) it->SetText(text);
  return WriteHistory();
}

bool CSDInfoFile::WriteHistory() {
  if (_drive == 0 || !PathIsDirectory(FormatString("%c:\\", _drive))) {
    OV_LOG(kLogInfo, "SDINFOファイル読み込み時のSD無し");
    return false;
  }
  CReplaceFileWriter writer(_path, FILE_ATTRIBUTE_NORMAL);
  if (!writer.Open()) {
    OV_LOG(kLogError, "履歴保存時のファイル生成失敗 ERR:0x%08X",
           static_cast<unsigned>(writer.Error()));
    return false;
  }
  if (!writer.Write(Join(_records)) || !writer.Commit()) {
    OV_LOG(kLogError, "SD情報ファイルデータ書込み失敗 0x%08X",
           static_cast<unsigned>(writer.Error()));
    return false;
  }
  return true;
}

bool CProbeLogFile::SetLog(const SYSTEMTIME& date, int32_t code, int32_t result) {
  if (!Read()) return false;
  // Another program may have left more than ten: keep the newest.
  if (_records.size() >= kMaxRecords) {
    _records.erase(_records.begin(), _records.end() - (kMaxRecords - 1));
  }
  ProbeLogRecord record;
  record.SetDate(date);
  record.SetCode(code);
  record.SetResult(result);
  _records.push_back(record);
  return Write();
}

bool CProbeLogFile::Write() {
  // An upload that cannot be logged is a failure, not a success.
  DWORD error = 0;
  if (!WriteFileReplacing(ToWide(_path), Join(_records), FILE_ATTRIBUTE_NORMAL, &error)) {
    OV_LOG(kLogError, "SD情報ファイルデータ書込み失敗 0x%08X", static_cast<unsigned>(error));
    return false;
  }
  return true;
}

}  // namespace core
