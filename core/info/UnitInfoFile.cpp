// The unit information file's extra fields and the raise of an information
// record in the link file; see UnitInfoFile.h.
#include "info/UnitInfoFile.h"

#include "Log.h"
#include "files/CardFileText.h"
#include "files/CoreLinkFile.h"

namespace {

constexpr uint32_t kRecordNotUpdated = 0x30FF03;
constexpr uint16_t kStatusUnitMark = 0xFFF;
constexpr uint16_t kStatusRaisedFromMark = 4;
constexpr uint16_t kStatusRaised = 2;

}  // namespace

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
  LinkRecordValues values;
  values.data_id = data_id;
  values.version = raised;
  values.year = BcdToInt16(source->Year());
  values.status = status;
  values.src_path = source->SrcPath();
  values.dst_path = source->DstPath();
  values.unit_word = source->UnitWord();
  values.unit_value = source->UnitByte();
  core::CPcLinkFile link(CPcLinkFile::kLinkFile, drive);
  // The setter writes the file unchanged when the record is missing; the
  // unit would then never see the new data, so that is no success.
  bool written = false;
  if (!link.IsLoaded()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
  } else if (!link.IsExistDataID(data_id)) {
    SetLastError(ERROR_NOT_FOUND);
  } else {
    written = link.SetDataRecord(values);
  }
  if (!written) {
    OV_LOG(kLogError, "%s[ERR:0x%08X]", failed_text, static_cast<unsigned>(GetLastError()));
    return kRecordNotUpdated;
  }
  *version = raised;
  return 0;
}
