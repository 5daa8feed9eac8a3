// The simulated card's files; see CardMaker.h.
#include "CardMaker.h"

#include "OvWindows.h"
#include "TestSupport.h"

#include <cstring>

namespace ovtest {

CCardMaker::CCardMaker() : CPcLinkFile(kUnitInfoFile, 0) {
  Clear();
  _loaded = true;
  DeviceNo("DIRU0000000001");
  FormatVersion(0x02000000);
  memcpy(_data_header, "DECRYPT", 8);
}

CCardMaker& CCardMaker::DeviceNo(const std::string& text) {
  uint8_t* field = _data_header + pclink::kDeviceNoOffset;
  memset(field, 0, pclink::kDeviceNoSize);
  memcpy(field, text.data(),
         text.size() < pclink::kDeviceNoSize ? text.size() : pclink::kDeviceNoSize);
  return *this;
}

CCardMaker& CCardMaker::Pairing(uint32_t value) {
  StoreLe32(_data_header + pclink::kPairingOffset, value);
  return *this;
}

CCardMaker& CCardMaker::CcidHead(uint32_t value) {
  StoreLe32(_data_header + pclink::kCcidHeadOffset, value);
  return *this;
}

CCardMaker& CCardMaker::Model(uint8_t value) {
  _data_header[pclink::kModelOffset] = value;
  return *this;
}

CCardMaker& CCardMaker::FormatVersion(uint32_t value) {
  StoreLe32(_file_header + pclink::kFormatVersionOffset, value);
  return *this;
}

CCardMaker& CCardMaker::AddRecord(uint32_t data_id, uint32_t version, uint16_t year_bcd,
                                  uint16_t status, const std::string& src_path,
                                  const std::string& dst_path, uint32_t unit_word,
                                  uint8_t unit_byte) {
  CPcLinkRecord record;
  record.SetMagic();
  record.SetDataId(data_id);
  record.SetVersion(version);
  record.SetYear(year_bcd);
  record.SetStatus(status);
  record.SetSrcPath(src_path);
  record.SetDstPath(dst_path);
  record.SetUnitWord(unit_word);
  record.SetUnitByte(unit_byte);
  _records.push_back(record);
  return *this;
}

CCardMaker& CCardMaker::AddRawRecord(const CPcLinkRecord& record) {
  _records.push_back(record);
  return *this;
}

std::string CCardMaker::Bytes(uint64_t iv) {
  uint8_t vector[8];
  StoreLe32(vector, static_cast<uint32_t>(iv >> 32));
  StoreLe32(vector + 4, static_cast<uint32_t>(iv));
  return Encode(vector);
}

bool CCardMaker::WriteFile(const std::string& path) { return WriteFileBytes(path, Bytes()); }

bool CCardMaker::WriteCard(const std::string& root, bool with_link) {
  CreateDirectoryA((root + "PC").c_str(), nullptr);
  const std::string bytes = Bytes();
  if (!WriteFileBytes(root + "PC\\NAVIINFO.DAT", bytes)) return false;
  return !with_link || WriteFileBytes(root + "PCLINK.DAT", bytes);
}

bool CCardMaker::WriteCard(char drive, bool with_link) {
  return WriteCard(std::string(1, drive) + ":\\", with_link);
}

}  // namespace ovtest
