// The probe log; see ProbeLogFile.h.
#include "OstrovelleLite/ProbeLogFile.h"

#include "Folders.h"
#include "Log.h"
#include "OstrovelleLite/RecordFields.h"

#include <cstring>

SYSTEMTIME ProbeLogRecord::Date() const { return LoadSystemTime(bytes); }
int32_t ProbeLogRecord::Code() const { return LoadLeI32(bytes + 16); }
int32_t ProbeLogRecord::Result() const { return LoadLeI32(bytes + 20); }
void ProbeLogRecord::SetDate(const SYSTEMTIME& date) { StoreSystemTime(bytes, date); }
void ProbeLogRecord::SetCode(int32_t v) { StoreLeI32(bytes + 16, v); }
void ProbeLogRecord::SetResult(int32_t v) { StoreLeI32(bytes + 20, v); }

std::string ProbeLogFolderOf(const std::string& data_folder) {
  const std::string data = GetDataFolder();
  if (data_folder.size() > data.size() &&
      CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, data_folder.c_str(),
                     static_cast<int>(data.size()), data.c_str(),
                     static_cast<int>(data.size())) == CSTR_EQUAL) {
    return data_folder.substr(data.size());
  }
  return PathFindFileName(data_folder);
}

CProbeLogFile::CProbeLogFile(const std::string& folder_name) {
  SetPath(folder_name);
  Read();
}

void CProbeLogFile::SetPath(const std::string& folder_name) {
  _folder_name = folder_name;
  std::string folder = GetDataFolder() + folder_name;
  AppendBackslash(folder);
  if (!PathIsDirectory(folder)) CreateDirectories(folder);
  _path = folder + "ProbeLog.dat";
}

bool CProbeLogFile::Read() {
  _records.clear();
  DWORD error = 0;
  if (!ReadRecordFile(_path, &_records, &error)) {
    OV_LOG(kLogError, "プローブログファイルデータ読込失敗 0x%08X", static_cast<unsigned>(error));
    return false;
  }
  return true;
}

bool CProbeLogFile::GetRecord(size_t index, SYSTEMTIME* date, int* code, int* result) const {
  if (date) *date = SYSTEMTIME{};
  if (code) *code = -1;
  if (!date || !code || !result || index >= _records.size()) return false;
  *date = _records[index].Date();
  *code = _records[index].Code();
  *result = _records[index].Result();
  return true;
}
