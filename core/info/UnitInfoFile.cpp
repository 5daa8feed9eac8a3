// The unit information file's extra fields and the raise of an information
// record in the link file; see UnitInfoFile.h.
#include "info/UnitInfoFile.h"

#include "Log.h"

namespace {

constexpr uint32_t kRecordNotUpdated = 0x30FF03;
constexpr uint16_t kStatusUnitMark = 0xFFF;
constexpr uint16_t kStatusRaisedFromMark = 4;
constexpr uint16_t kStatusRaised = 2;

// The link file with the one record change the information charges make.
class CInfoLinkFile final : public CPcLinkFile {
 public:
  explicit CInfoLinkFile(char drive) : CPcLinkFile(kLinkFile, drive) {}

  // Replaces the first record of the source's data id by the source with
  // the given version and status and writes the file. False when the file
  // did not load, holds no such record, or cannot be written.
  bool SetInfoRecord(const CPcLinkRecord& source, uint32_t version, uint16_t status) {
    if (!IsLoaded()) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return false;
    }
    for (CPcLinkRecord& record : _records) {
      if (record.DataId() != source.DataId()) continue;
      record = source;
      record.SetMagic();
      record.SetVersion(version);
      record.SetStatus(status);
      return Write();
    }
    // The unit would never see a record that is not there: that is no success.
    SetLastError(ERROR_NOT_FOUND);
    return false;
  }
};

}  // namespace

uint32_t BcdToDecimal(uint32_t bcd) {
  uint32_t value = 0;
  for (int shift = 28; shift >= 0; shift -= 4) {
    const uint32_t digit = (bcd >> shift) & 0xF;
    if (digit > 9) break;
    value = value * 10 + digit;
  }
  return value;
}

uint32_t RaiseInfoRecord(char drive, uint32_t data_id, const char* failed_text, uint32_t* version) {
  const CUnitInfoFile unit(drive);
  const CPcLinkRecord* source = unit.GetRecord(data_id);
  if (source == nullptr) {
    OV_LOG(kLogError, "お出かけ管理ファイル 更新データ取得失敗");
    return kRecordNotUpdated;
  }
  const uint32_t raised = source->Version() + 1;
  const uint16_t status =
      source->Status() == kStatusUnitMark ? kStatusRaisedFromMark : kStatusRaised;
  CInfoLinkFile link(drive);
  if (!link.SetInfoRecord(*source, raised, status)) {
    OV_LOG(kLogError, "%s[ERR:0x%08X]", failed_text, static_cast<unsigned>(GetLastError()));
    return kRecordNotUpdated;
  }
  *version = raised;
  return 0;
}
