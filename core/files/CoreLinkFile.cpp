// The core's side of the link file; see CoreLinkFile.h.
#include "files/CoreLinkFile.h"

#include "Log.h"
#include "files/CardFileText.h"

namespace core {

namespace {

bool FitsPath(const std::optional<std::string>& path) {
  return !path || path->size() < CPcLinkRecord::kPathSize;
}

}  // namespace

bool CPcLinkFile::IsExistDataID(uint32_t data_id) const { return FindRecord(data_id) != nullptr; }

int64_t CPcLinkFile::GetRecordWord1(uint32_t data_id) const {
  const CPcLinkRecord* record = FindRecord(data_id);
  return record ? int64_t{record->UnitWord()} : -1;
}

int CPcLinkFile::GetRecordWord2(uint32_t data_id) const {
  const CPcLinkRecord* record = FindRecord(data_id);
  return record ? record->UnitByte() : 255;
}

std::string CPcLinkFile::GetSrcPath(uint32_t data_id) const {
  const CPcLinkRecord* record = FindRecord(data_id);
  return record ? record->SrcPath() : std::string();
}

std::string CPcLinkFile::GetDstPath(uint32_t data_id) const {
  const CPcLinkRecord* record = FindRecord(data_id);
  return record ? record->DstPath() : std::string();
}

uint16_t CPcLinkFile::GetYearByPath(const std::string& path) const {
  const CPcLinkRecord* record = FindMapRecordByPath(path);
  return record ? record->Year() : 0;
}

int CPcLinkFile::GetStatusByPath(const std::string& path) const {
  const CPcLinkRecord* record = FindMapRecordByPath(path);
  return record ? record->Status() : -1;
}

int64_t CPcLinkFile::GetRecordWord1ByPath(const std::string& path) const {
  const CPcLinkRecord* record = FindMapRecordByPath(path);
  return record ? int64_t{record->UnitWord()} : -1;
}

int CPcLinkFile::GetRecordWord2ByPath(const std::string& path) const {
  const CPcLinkRecord* record = FindMapRecordByPath(path);
  return record ? record->UnitByte() : 255;
}

std::string CPcLinkFile::GetDstPathBySrcPath(const std::string& path) const {
  const CPcLinkRecord* record = FindMapRecordByPath(path);
  return record ? record->DstPath() : std::string();
}

bool CPcLinkFile::SetDataRecord(const LinkRecordValues& values) {
  if (_kind != kLinkFile) return false;
  if (!IsLoaded()) {
    OV_LOG(kLogError, "CPcLinkFile::SetDataRecord - データ設定時の未読み込み");
    return false;
  }
  const bool map = values.data_id == pclink::kDataIdMap;
  // A path that does not fit the record would be stored cut: refuse it.
  if (map == values.match_path.empty() || !FitsPath(values.src_path) ||
      !FitsPath(values.dst_path)) {
    OV_LOG(kLogError, "CPcLinkFile::SetDataRecord - パラメータ不正");
    return false;
  }
  const CPcLinkRecord* found =
      map ? FindMapRecordByName(values.match_path) : FindRecord(values.data_id);
  if (!found) return Write();

  CPcLinkRecord record = *found;
  record.SetMagic();
  record.SetDataId(values.data_id);
  record.SetVersion(values.version);
  record.SetYear(IntToBcd(values.year));
  record.SetStatus(values.status);
  if (values.src_path) record.SetSrcPath(*values.src_path);
  if (values.dst_path) record.SetDstPath(*values.dst_path);
  record.SetUnitWord(values.unit_word);
  record.SetUnitByte(values.unit_value);
  _records[static_cast<size_t>(found - _records.data())] = record;
  return Write();
}

void CPcLinkFile::DumpRecord() const {
  if (!IsLoaded()) return;
  OV_LOG(kLogInfo, "%s 読み込み結果", GetPath().c_str());
  for (const CPcLinkRecord& r : GetRecords()) {
    OV_LOG(kLogInfo, "\tDATAID:%X, VERSION:%08X, YEAR:%X, STATUS:%X, SRCPATH:%s, DSTPATH:%s",
           static_cast<unsigned>(r.DataId()), static_cast<unsigned>(r.Version()),
           static_cast<unsigned>(r.Year()), static_cast<unsigned>(r.Status()), r.SrcPath().c_str(),
           r.DstPath().c_str());
  }
}

}  // namespace core
