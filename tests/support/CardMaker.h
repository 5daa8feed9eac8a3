// Builds the unit information file and the link file of a simulated card
// through the system's own encoder: chosen identity, format version and
// records, written to a card's root (or any folder standing in for one).
// Used by the tests and by tools/cardmaker; one object per card, one thread.
#pragma once

#include "OstrovelleLite/PcLinkFile.h"

#include <cstdint>
#include <string>

namespace ovtest {

class CCardMaker final : public CPcLinkFile {
 public:
  // A unit with device number "DIRU0000000001", format version 2.0, no records.
  CCardMaker();
  ~CCardMaker() override = default;

  CCardMaker& DeviceNo(const std::string& text);
  CCardMaker& Pairing(uint32_t value);
  CCardMaker& CcidHead(uint32_t value);
  CCardMaker& Model(uint8_t value);
  CCardMaker& FormatVersion(uint32_t value);
  // A record with the magic set; the year is binary-coded decimal (0x2009).
  CCardMaker& AddRecord(uint32_t data_id, uint32_t version, uint16_t year_bcd, uint16_t status,
                        const std::string& src_path = std::string(),
                        const std::string& dst_path = std::string(), uint32_t unit_word = 0,
                        uint8_t unit_byte = 0);
  // Any record as it stands, a bad magic included.
  CCardMaker& AddRawRecord(const CPcLinkRecord& record);

  // Direct access to the plain headers, for the bytes kept as read.
  uint8_t* FileHeaderBytes() { return _file_header; }
  uint8_t* DataHeaderBytes() { return _data_header; }
  std::vector<CPcLinkRecord>& Records() { return _records; }

  // The whole file under a chosen initial vector.
  std::string Bytes(uint64_t iv = 0x0123456789ABCDEFull);

  // Writes "<root>PC\NAVIINFO.DAT" (creating "PC"), and "<root>PCLINK.DAT"
  // as a copy when `with_link` is set. `root` ends in a backslash.
  bool WriteCard(const std::string& root, bool with_link = false);
  bool WriteCard(char drive, bool with_link = false);
  bool WriteFile(const std::string& path);
};

}  // namespace ovtest
