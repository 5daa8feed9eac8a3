// The card information file; see SDInfoFile.h.
#include "OstrovelleLite/SDInfoFile.h"

#include "Log.h"
#include "OstrovelleLite/LittleEndian.h"
#include "OstrovelleLite/WholeFile.h"
#include "StringUtil.h"

#include <cstring>

namespace {

constexpr size_t kMaxFileSize = 16 * 1024 * 1024;

int32_t LoadI32(const uint8_t* p) { return static_cast<int32_t>(LoadLe32(p)); }
void StoreI32(uint8_t* p, int32_t v) { StoreLe32(p, static_cast<uint32_t>(v)); }

}  // namespace

uint32_t SDInfoRecord::Id() const { return LoadLe32(bytes); }
SYSTEMTIME SDInfoRecord::Date() const { return LoadSystemTime(bytes + 4); }
int32_t SDInfoRecord::First() const { return LoadI32(bytes + 20); }
int32_t SDInfoRecord::Fourth() const { return LoadI32(bytes + 116); }
int32_t SDInfoRecord::Second() const { return LoadI32(bytes + 120); }
int32_t SDInfoRecord::Third() const { return LoadI32(bytes + 124); }

std::string SDInfoRecord::Text() const {
  const char* text = reinterpret_cast<const char*>(bytes + 24);
  size_t n = 0;
  while (n < kTextSize && text[n] != '\0') ++n;
  return std::string(text, n);
}

void SDInfoRecord::SetId(uint32_t id) { StoreLe32(bytes, id); }
void SDInfoRecord::SetDate(const SYSTEMTIME& date) { StoreSystemTime(bytes + 4, date); }
void SDInfoRecord::SetFirst(int32_t v) { StoreI32(bytes + 20, v); }
void SDInfoRecord::SetFourth(int32_t v) { StoreI32(bytes + 116, v); }
void SDInfoRecord::SetSecond(int32_t v) { StoreI32(bytes + 120, v); }
void SDInfoRecord::SetThird(int32_t v) { StoreI32(bytes + 124, v); }

void SDInfoRecord::SetText(const std::string& text) {
  memset(bytes + 24, 0, kTextSize);
  const size_t n =
      Cp932SafeLength(text.data(), text.size() < kTextSize ? text.size() : kTextSize - 1);
  memcpy(bytes + 24, text.data(), n);
}

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
  std::string bytes;
  DWORD error = 0;
  const int result = ReadWholeFile(_path, kMaxFileSize, &bytes, &error);
  if (result == kWholeFileNotOpened) return true;
  size_t offset = 0;
  for (; offset + SDInfoRecord::kSize <= bytes.size(); offset += SDInfoRecord::kSize) {
    SDInfoRecord record;
    memcpy(record.bytes, bytes.data() + offset, SDInfoRecord::kSize);
    _records.push_back(record);
  }
  if (result != kWholeFileRead || offset != bytes.size()) {
    OV_LOG(kLogError, "SD情報ファイルデータ読込失敗 0x%08X",
           static_cast<unsigned>(result == kWholeFileRead ? ERROR_HANDLE_EOF : error));
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
