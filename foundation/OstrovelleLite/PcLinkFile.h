// The two files the navigation unit and the PC share on the SD card: the
// unit information file "\PC\NAVIINFO.DAT" (written by the unit, only read
// here) and the link file "\PCLINK.DAT" (rewritten by the PC after a charge).
// Both are a plain 32-byte file header, a 64-byte data header and 168-byte
// records, the last two enciphered (DES-CBC) under the file header's vector.
// Also finds the unit's cards among the drives and creates a card's link file.
// A CPcLinkFile object serves one thread; the files carry no lock between
// programs (a writer re-reads just before it changes a file).
#pragma once

#include "OstrovelleLite/RecordFields.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pclink {

constexpr size_t kFileHeaderSize = 32;
constexpr size_t kDataHeaderSize = 64;
constexpr size_t kRecordSize = 168;

constexpr uint32_t kDataIdProgram = 0x10000001;
constexpr uint32_t kDataIdTraffic = 0x20000001;
constexpr uint32_t kDataIdWeather = 0x20000002;
constexpr uint32_t kDataIdMap = 0x30010002;

// Offsets in the plain file header.
constexpr size_t kFormatVersionOffset = 8;
constexpr size_t kIvOffset = 12;
constexpr size_t kFileHeaderCrcOffset = 28;

// Offsets in the plain data header.
constexpr size_t kRecordCountOffset = 8;
constexpr size_t kDeviceNoOffset = 12;
constexpr size_t kDeviceNoSize = 16;
constexpr size_t kPairingOffset = 28;
constexpr size_t kCcidHeadOffset = 44;
constexpr size_t kModelOffset = 48;
constexpr size_t kDataHeaderCrcOffset = 60;

}  // namespace pclink

// One plain 168-byte data record; bytes the PC does not interpret pass
// through unchanged.
struct CPcLinkRecord {
  uint8_t bytes[pclink::kRecordSize] = {};

  static constexpr size_t kSrcPathOffset = 20;
  static constexpr size_t kDstPathOffset = 84;
  static constexpr size_t kPathSize = 64;
  static constexpr size_t kCrcOffset = 160;

  bool HasMagic() const;
  void SetMagic();
  uint32_t DataId() const { return LoadLe32(bytes + 8); }
  uint32_t Version() const { return LoadLe32(bytes + 12); }
  uint16_t Year() const { return LoadLe16(bytes + 16); }  // binary-coded decimal
  uint16_t Status() const { return LoadLe16(bytes + 18); }
  std::string SrcPath() const;
  std::string DstPath() const;
  uint32_t UnitWord() const { return LoadLe32(bytes + 148); }
  uint8_t UnitByte() const { return bytes[152]; }
  uint16_t Crc() const { return LoadLe16(bytes + kCrcOffset); }

  void SetDataId(uint32_t v) { StoreLe32(bytes + 8, v); }
  void SetVersion(uint32_t v) { StoreLe32(bytes + 12, v); }
  void SetYear(uint16_t bcd) { StoreLe16(bytes + 16, bcd); }
  void SetStatus(uint16_t v) { StoreLe16(bytes + 18, v); }
  // Cut to 63 bytes at a character boundary, so the NUL always fits.
  void SetSrcPath(const std::string& path);
  void SetDstPath(const std::string& path);
  void SetUnitWord(uint32_t v) { StoreLe32(bytes + 148, v); }
  void SetUnitByte(uint8_t v) { bytes[152] = v; }
};

class CPcLinkFile {
 public:
  enum Kind { kUnitInfoFile = 0, kLinkFile = 1 };

  // Reads the file of the given kind from the drive at once.
  CPcLinkFile(int kind, char drive);
  virtual ~CPcLinkFile() = default;
  CPcLinkFile(const CPcLinkFile&) = default;
  CPcLinkFile& operator=(const CPcLinkFile&) = default;

  bool IsLoaded() const { return _loaded; }
  bool Read(bool link_file);
  // Rewrites the link file (never the unit information file, never a
  // missing one) through a temporary file, so a failed write leaves the old
  // file whole.
  bool Write();
  void Clear();

  int GetFileKind() const;
  const std::string& GetPath() const { return _path; }
  char GetDrive() const { return _drive; }

  std::string GetDeviceNo() const;
  uint32_t GetPairingId() const;
  bool SetPairingId(uint32_t value);
  uint32_t GetCcidHead() const;
  uint8_t GetModel() const;
  uint32_t GetFormatVersion() const;

  uint32_t GetVersion(uint32_t data_id) const;
  uint16_t GetYear(uint32_t data_id) const;
  int GetStatus(uint32_t data_id) const;

  uint32_t GetVersionByPath(const std::string& path) const;
  int GetStatusByVersion(uint32_t version) const;
  bool HasVersion(uint32_t version) const;

  // The records as read (none when the read failed).
  const std::vector<CPcLinkRecord>& GetRecords() const;

  static std::string FormatVersion6(uint32_t version);
  static std::string FormatVersion2(uint32_t version);
  static std::string FormatVersion3(uint32_t version);

  // The unit information file's and the link file's paths on a drive.
  static std::string UnitInfoPath(char drive);
  static std::string LinkPath(char drive);

 protected:
  // Whole-file form, shared by the reader, the writer and derived tools.
  // Encode sets the vector, the record count and every CRC-16 (in the
  // object too) and returns the file's bytes.
  std::string Encode(const uint8_t iv[8]);
  // Fills the object from a file's bytes; logs as the reader does. The
  // records before a damaged one stay.
  bool Decode(const std::string& bytes);

  const CPcLinkRecord* FindRecord(uint32_t data_id) const;
  const CPcLinkRecord* FindMapRecordByPath(const std::string& prefix) const;
  // The first map record whose SRCPATH is the name, whole: "SEARCH1" finds
  // "SEARCH1" or "SEARCH1\...", never "SEARCH10".
  const CPcLinkRecord* FindMapRecordByName(const std::string& name) const;

  int _kind;
  char _drive;
  std::string _path;
  uint8_t _file_header[pclink::kFileHeaderSize] = {};
  uint8_t _data_header[pclink::kDataHeaderSize] = {};
  std::vector<CPcLinkRecord> _records;
  int _file_kind = 1;
  bool _loaded = false;
};

// Whether a record's SRCPATH is the name, whole: equal, or the name followed
// by a separator ("SEARCH1" is not "SEARCH10"); code page 932 aware.
bool IsSamePathName(const std::string& path, const std::string& name);

// Brings the drive's link file in line with its unit information file; true
// when the link file stands (copied or already present).
bool CopyOutingFile(char drive, bool force);

// Whether the drive is a card of the unit: removable, with volume
// information, and an unit information file that loads.
bool IsDiruSDCard(char drive);

// Empties `letters`, fills it with the unit's cards among D to Z (creating
// a missing link file on each) and returns their number. The environment
// variable OV_CARD_DRIVES ("EF"), when set, narrows the search to its letters.
int FindDiruSDCards(std::vector<char>& letters);
