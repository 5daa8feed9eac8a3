// The card's unit information file with the fields of its data header that
// the information charges read beyond the foundation's getters: the
// probe-send switch, the VICS link year and the mesh base coordinates of the
// unit's area. A file that did not load answers with zeros (sending off).
//
// Threads: one object serves one thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "OstrovelleLite/PcLinkFile.h"

class CUnitInfoFile final : public CPcLinkFile {
 public:
  // Offsets in the plain data header.
  static constexpr size_t kVicsLinkYearOffset = 32;  // u16, binary-coded decimal
  static constexpr size_t kSettingsOffset = 34;      // bit 0: probe sending on
  static constexpr size_t kMeshBaseXOffset = 36;     // i32
  static constexpr size_t kMeshBaseYOffset = 40;     // i32

  explicit CUnitInfoFile(char drive) : CPcLinkFile(kUnitInfoFile, drive) {}

  bool IsProbeSendOn() const { return (_data_header[kSettingsOffset] & 1) != 0; }
  uint16_t GetVicsLinkYear() const { return LoadLe16(_data_header + kVicsLinkYearOffset); }
  int32_t GetMeshBaseX() const { return LoadLeI32(_data_header + kMeshBaseXOffset); }
  int32_t GetMeshBaseY() const { return LoadLeI32(_data_header + kMeshBaseYOffset); }
  // The first record of the data id; null when there is none.
  const CPcLinkRecord* GetRecord(uint32_t data_id) const { return FindRecord(data_id); }
};

// Raises the link file's record of an information data set after new data
// went onto the card: the unit information file's record of that data id
// with its version plus one, status 4 when the unit marked it 0xFFF (else 2),
// and the rest of it unchanged. 0 with *version set to the new version, or
// 0x30FF03 after a log line: `failed_text` is the charge's line for a record
// that cannot be written (followed by "[ERR:0x%08X]").
uint32_t RaiseInfoRecord(char drive, uint32_t data_id, const char* failed_text, uint32_t* version);
