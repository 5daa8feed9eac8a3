// The probe log; see ProbeLogFile.h.
#include "OstrovelleLite/ProbeLogFile.h"

#include "Folders.h"
#include "Log.h"
#include "OstrovelleLite/LittleEndian.h"
#include "OstrovelleLite/WholeFile.h"

#include <cstring>

namespace {

constexpr size_t kMaxFileSize = 16 * 1024 * 1024;

}  // namespace

SYSTEMTIME ProbeLogRecord::Date() const { return LoadSystemTime(bytes); }
int32_t ProbeLogRecord::Code() const { return static_cast<int32_t>(LoadLe32(bytes + 16)); }
int32_t ProbeLogRecord::Result() const { return static_cast<int32_t>(LoadLe32(bytes + 20)); }
void ProbeLogRecord::SetDate(const SYSTEMTIME& date) { StoreSystemTime(bytes, date); }
void ProbeLogRecord::SetCode(int32_t v) { StoreLe32(bytes + 16, static_cast<uint32_t>(v)); }
void ProbeLogRecord::SetResult(int32_t v) { StoreLe32(bytes + 20, static_cast<uint32_t>(v)); }

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
  std::string bytes;
  DWORD error = 0;
  const int result = ReadWholeFile(_path, kMaxFileSize, &bytes, &error);
  if (result == kWholeFileNotOpened) return true;
  size_t offset = 0;
  for (; offset + ProbeLogRecord::kSize <= bytes.size(); offset += ProbeLogRecord::kSize) {
    ProbeLogRecord record;
    memcpy(record.bytes, bytes.data() + offset, ProbeLogRecord::kSize);
    _records.push_back(record);
  }
  if (result != kWholeFileRead || offset != bytes.size()) {
    OV_LOG(kLogError, "プローブログファイルデータ読込失敗 0x%08X",
           static_cast<unsigned>(result == kWholeFileRead ? ERROR_HANDLE_EOF : error));
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
