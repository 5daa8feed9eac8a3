// The card information file; see SDInfoFile.h.
#include "OstrovelleLite/SDInfoFile.h"

#include "Log.h"
#include "OstrovelleLite/RecordFields.h"
#include "StringUtil.h"

#include <cstring>

uint32_t SDInfoRecord::Id() const { return LoadLe32(bytes); }
SYSTEMTIME SDInfoRecord::Date() const { return LoadSystemTime(bytes + 4); }
int32_t SDInfoRecord::First() const { return LoadLeI32(bytes + 20); }
int32_t SDInfoRecord::Fourth() const { return LoadLeI32(bytes + 116); }
int32_t SDInfoRecord::Second() const { return LoadLeI32(bytes + 120); }
int32_t SDInfoRecord::Third() const { return LoadLeI32(bytes + 124); }

std::string SDInfoRecord::Text() const { return LoadFixedText(bytes + 24, kTextSize); }

void SDInfoRecord::SetId(uint32_t id) { StoreLe32(bytes, id); }
void SDInfoRecord::SetDate(const SYSTEMTIME& date) { StoreSystemTime(bytes + 4, date); }
void SDInfoRecord::SetFirst(int32_t v) { StoreLeI32(bytes + 20, v); }
void SDInfoRecord::SetFourth(int32_t v) { StoreLeI32(bytes + 116, v); }
void SDInfoRecord::SetSecond(int32_t v) { StoreLeI32(bytes + 120, v); }
void SDInfoRecord::SetThird(int32_t v) { StoreLeI32(bytes + 124, v); }

void SDInfoRecord::SetText(const std::string& text) { StoreFixedText(bytes + 24, kTextSize, text); }

CSDInfoFile::CSDInfoFile(char drive) : _drive(drive) {
  if (_drive == 0) return;
  _path = FormatString("%c:\\PC\\SDINFO.DAT", drive);
  Read();
}

bool CSDInfoFile::Read() {
  if (_drive == 0) return false;
  const DWORD root = GetFileAttributesA(FormatString("%c:\\", _drive).c_str());
  if (root == INVALID_FILE_ATTRIBUTES || !(root & FILE_ATTRIBUTE_DIRECTORY)) {
    OV_LOG(kLogInfo, "SDINFOファイル読み込み時のSD無し");
    return false;
  }
  DWORD error = 0;
  if (!ReadRecordFile(_path, &_records, &error)) {
    OV_LOG(kLogError, "SD情報ファイルデータ読込失敗 0x%08X", static_cast<unsigned>(error));
    return false;
  }
  return true;
}

bool CSDInfoFile::GetRecord(uint32_t id, SYSTEMTIME* date, int* first, std::string* text,
                            int* second, int* third, int* fourth) const {
  if (!date || !first || !text || !second) return false;
  for (const SDInfoRecord& record : _records) {
    if (record.Id() != id) continue;
    *date = record.Date();
    *first = record.First();
    *text = record.Text();
    *second = record.Second();
    if (third) *third = record.Third();
    if (fourth) *fourth = record.Fourth();
    return true;
  }
  *date = SYSTEMTIME{};
  *first = -1;
  text->clear();
  return false;
}
