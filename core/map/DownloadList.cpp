// Download-list records and lists; see DownloadList.h.
#include "map/DownloadList.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <limits>
#include <cstring>

#include "Log.h"
#include "StringUtil.h"
#include "files/CardFileText.h"
#include "xString.h"

namespace {

// The number at the start of the text in the given base; 0 for none.
uint64_t ReadNumber(const std::string& text, int base) {
  return strtoull(text.c_str(), nullptr, base);
}

// A number field of a line into its record field: false when the number is
// negative or does not fit the field (it would wrap to another value). An
// empty field, or one without digits, reads as 0 as before.
template <typename Field>
bool ReadField(const std::string& text, int base, Field* out) {
  const size_t first = text.find_first_not_of(" \t");
  if (first != std::string::npos && text[first] == '-') return false;
  errno = 0;
  const unsigned long long value = strtoull(text.c_str(), nullptr, base);
  if (errno == ERANGE || value > std::numeric_limits<Field>::max()) return false;
  *out = static_cast<Field>(value);
  return true;
}

// The line without its "//" comment. The "//" of the first "://" belongs to
// a URL; the cut is made at the first "//" behind it, and the blanks and
// tabs before the cut go with the comment.
std::string CutComment(const std::string& line) {
  const size_t scheme = line.find("://");
  const size_t from = scheme == std::string::npos ? 0 : scheme + 3;
  size_t cut = line.find("//", from);
  if (cut == std::string::npos) return line;
  while (cut > 0 && (line[cut - 1] == ' ' || line[cut - 1] == '\t')) --cut;
  return line.substr(0, cut);
}

bool ReadYear(const std::string& field, uint32_t* year) {
  const size_t mark = field.find("年度版");
  return ReadField(mark == std::string::npos ? field : field.substr(0, mark), 10, year);
}

uint64_t VersionDigits(const std::string& version) {
  return ReadNumber(RemoveChar(version, '.'), 10);
}

}  // namespace

bool CDownloadListData::SetData(const char* line, CDownloadListData* record) {
  OV_LOG(kLogTrace, "CDownloadListData::SetData - Start");
  if (!line || !record) return false;
  const std::string text = CutComment(line);
  std::string field;
  for (int index = 0; index <= 11 && SplitQuotedField(text, index, ',', &field); ++index) {
    bool fits = true;
    switch (index) {
      case 0:
        fits = ReadField(field, 16, &record->result);
        if (fits && record->result != 0) {
          OV_LOG(kLogError, "CDownloadListData::SetData - ダウンロードリストデータ 結果NG %02X",
                 record->result);
          return false;
        }
        break;
      case 1:
        fits = ReadField(field, 16, &record->data_kind);
        break;
      case 2:
        fits = ReadField(field, 16, &record->detail);
        break;
      case 3:
        record->version = field;
        break;
      case 4:
        fits = ReadYear(field, &record->year);
        break;
      case 5:
        fits = ReadField(field, 10, &record->size);
        break;
      case 6:
        fits = ReadField(field, 10, &record->update_mark);
        break;
      case 7:
        fits = ReadField(field, 10, &record->field7);
        break;
      case 8:
        fits = ReadField(field, 10, &record->order);
        break;
      case 9:
        fits = ReadField(field, 10, &record->field9);
        break;
      case 10:
        record->text_a = field;
        break;
      case 11:
        record->text_b = field;
        break;
    }
    if (!fits) {
      // A number that would wrap names another kind or size: the line is
      // not taken.
      OV_LOG(kLogError, "CDownloadListData::SetData - ダウンロードリストデータ 数値不正[%d] %s",
             index, field.c_str());
      return false;
    }
  }
  OV_LOG(kLogTrace, "CDownloadListData::SetData - End");
  return record->result == 0;
}

uint32_t CDownloadListData::GetVersionNumber(const std::string& version) {
  return VersionFromText(version);
}

bool CDownloadList::SetDownloadList(const char* reply, uint32_t* server_code, CDownloadList* list,
                                    size_t size) {
  OV_LOG(kLogTrace, "CDownloadList::SetDownloadList - Start");
  if (!reply || size == 0 || !list) return true;
  const std::string head(reply, std::min<size_t>(size, 2));
  if (ReadNumber(head, 16) != 0) {
    if (server_code) *server_code = static_cast<uint32_t>(ReadNumber(head, 10));
    OV_LOG(kLogError, "CDownloadList::SetDownloadList - ダウンロードリスト解析NG[SVRSERR:0x%02X]",
           static_cast<unsigned>(ReadNumber(head, 10)));
    return false;
  }
  list->Clear();
  for (const std::string& line : SplitString(std::string(reply, size), "\r\n")) {
    if (line.empty()) continue;
    CDownloadListData record;
    if (CDownloadListData::SetData(line.c_str(), &record)) list->Append(record);
  }
  OV_LOG(kLogTrace, "CDownloadList::SetDownloadList - End");
  return true;
}

bool CDownloadList::GetDownloadList(CDownloadList* destination, const CDownloadList& source) {
  if (destination != &source) destination->_records = source._records;
  return true;
}

bool CDownloadList::AddDownloadList(const CDownloadListData& record, CDownloadList* list) {
  for (CDownloadListData& existing : list->_records) {
    if (existing.data_kind == record.data_kind && existing.detail == record.detail &&
        ToUpper(existing.version) == ToUpper(record.version)) {
      existing = record;
      return true;
    }
  }
  list->_records.push_back(record);
  return true;
}

bool CDownloadList::IsBefore(const CDownloadListData& a, const CDownloadListData& b) {
  if (a.year != b.year) return a.year < b.year;
  if (a.data_kind != b.data_kind) return a.data_kind > b.data_kind;
  if (a.detail != b.detail) return a.detail > b.detail;
  if (a.order != b.order) return a.order < b.order;
  return VersionDigits(a.version) > VersionDigits(b.version);
}

void CDownloadList::Sort() { std::stable_sort(_records.begin(), _records.end(), IsBefore); }
