// The link file and the unit information file; see PcLinkFile.h.
#include "OstrovelleLite/PcLinkFile.h"

#include "EnvironmentOverrides.h"
#include "Log.h"
#include "OstrovelleLite/DesCipher.h"
#include "OstrovelleLite/NPCrcCalc.h"
#include "OstrovelleLite/WholeFile.h"
#include "OvWindows.h"
#include "StringUtil.h"

#include <cstring>

using namespace pclink;

namespace {

constexpr char kMagic[] = "DECRYPT";
constexpr size_t kMagicCompare = 7;
constexpr size_t kDataHeaderBlocks = kDataHeaderSize / 8;
constexpr size_t kRecordBlocks = kRecordSize / 8;
// Far beyond any real file; keeps a damaged size from exhausting memory.
constexpr size_t kMaxFileSize = 64 * 1024 * 1024;
constexpr uint32_t kMapDataId = kDataIdMap;

const std::vector<CPcLinkRecord> kNoRecords;

std::string RootOf(char drive) { return FormatString("%c:\\", drive); }

bool RootExists(char drive) {
  const DWORD attributes = GetFileAttributesA(RootOf(drive).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

const char* KindName(bool link_file) { return link_file ? "PCLINK" : "NAVIINFO"; }

// The key lives only as long as one cipher call.
class CScopedCipherKey final {
 public:
  CScopedCipherKey() { BuildCipherKey(_key); }
  ~CScopedCipherKey() { SecureZeroMemory(_key, sizeof(_key)); }
  CScopedCipherKey(const CScopedCipherKey&) = delete;
  CScopedCipherKey& operator=(const CScopedCipherKey&) = delete;
  const uint8_t* Get() const { return _key; }

 private:
  uint8_t _key[16] = {};
};

// Whether `text` begins with `prefix` and the prefix ends on a character
// boundary of `text`.
bool StartsWithCp932(const std::string& text, const std::string& prefix) {
  if (prefix.size() > text.size() || text.compare(0, prefix.size(), prefix) != 0) return false;
  return Cp932SafeLength(text.data(), prefix.size()) == prefix.size();
}

bool FillRandom(uint8_t* out, size_t size) {
  HCRYPTPROV provider = 0;
  if (!CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL,
                            CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
    return false;
  }
  const BOOL ok = CryptGenRandom(provider, static_cast<DWORD>(size), out);
  CryptReleaseContext(provider, 0);
  return ok != FALSE;
}

void FreshVector(uint8_t iv[8]) {
  if (FillRandom(iv, 8)) return;
  // Without the cryptographic source the vector still has to change.
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  StoreLe32(iv, static_cast<uint32_t>(counter.LowPart) ^ GetTickCount());
  StoreLe32(iv + 4, static_cast<uint32_t>(counter.HighPart) ^ GetCurrentProcessId() ^
                        (GetCurrentThreadId() << 16));
}

}  // namespace

bool CPcLinkRecord::HasMagic() const { return memcmp(bytes, kMagic, kMagicCompare) == 0; }

void CPcLinkRecord::SetMagic() { memcpy(bytes, kMagic, sizeof(kMagic)); }

std::string CPcLinkRecord::SrcPath() const {
  return LoadFixedText(bytes + kSrcPathOffset, kPathSize);
}

std::string CPcLinkRecord::DstPath() const {
  return LoadFixedText(bytes + kDstPathOffset, kPathSize);
}

void CPcLinkRecord::SetSrcPath(const std::string& path) {
  StoreFixedText(bytes + kSrcPathOffset, kPathSize, path);
}

void CPcLinkRecord::SetDstPath(const std::string& path) {
  StoreFixedText(bytes + kDstPathOffset, kPathSize, path);
}

CPcLinkFile::CPcLinkFile(int kind, char drive) : _kind(kind), _drive(drive) {
  Read(kind == kLinkFile);
}

std::string CPcLinkFile::UnitInfoPath(char drive) {
  return FormatString("%c:\\PC\\NAVIINFO.DAT", drive);
}

std::string CPcLinkFile::LinkPath(char drive) { return FormatString("%c:\\PCLINK.DAT", drive); }

void CPcLinkFile::Clear() {
  memset(_file_header, 0, sizeof(_file_header));
  memset(_data_header, 0, sizeof(_data_header));
  _records.clear();
}

bool CPcLinkFile::Read(bool link_file) {
  _loaded = false;
  if (_drive == 0) return false;
  if (!RootExists(_drive)) {
    OV_LOG(kLogInfo, "%sファイル読み込み時のSD無し", KindName(link_file));
    return false;
  }
  Clear();
  _path = link_file ? LinkPath(_drive) : UnitInfoPath(_drive);
  std::string bytes;
  DWORD error = 0;
  const int result = ReadWholeFile(_path, kMaxFileSize, &bytes, &error);
  if (result == kWholeFileNotOpened) return false;
  if (result != kWholeFileRead) {
    OV_LOG(kLogError, "お出かけ管理ファイルファイルヘッダ読込失敗 0x%08X",
           static_cast<unsigned>(error));
    return false;
  }
  _loaded = Decode(bytes);
  return _loaded;
}

bool CPcLinkFile::Decode(const std::string& bytes) {
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  if (bytes.size() < kFileHeaderSize) {
    OV_LOG(kLogError, "お出かけ管理ファイルファイルヘッダ読込失敗 0x%08X",
           static_cast<unsigned>(ERROR_HANDLE_EOF));
    return false;
  }
  memcpy(_file_header, data, kFileHeaderSize);
  const uint8_t* iv = _file_header + kIvOffset;
  const CScopedCipherKey key;
  if (bytes.size() < kFileHeaderSize + kDataHeaderSize) {
    OV_LOG(kLogError, "お出かけ管理ファイルデータヘッダ読込失敗 0x%08X",
           static_cast<unsigned>(ERROR_HANDLE_EOF));
    return false;
  }
  memcpy(_data_header, data + kFileHeaderSize, kDataHeaderSize);
  DesCbc(_data_header, key.Get(), iv, kDataHeaderBlocks, kDesDecrypt);
  if (memcmp(_data_header, kMagic, kMagicCompare) != 0) {
    OV_LOG(kLogError, "お出かけ管理ファイルデータヘッダ復号化不正");
    return false;
  }
  size_t offset = kFileHeaderSize + kDataHeaderSize;
  for (; offset + kRecordSize <= bytes.size(); offset += kRecordSize) {
    CPcLinkRecord record;
    memcpy(record.bytes, data + offset, kRecordSize);
    DesCbc(record.bytes, key.Get(), iv, kRecordBlocks, kDesDecrypt);
    // Kept all the same: the next write puts it back as it stands.
    if (!record.HasMagic()) OV_LOG(kLogError, "お出かけ管理ファイルデータレコード復号化不正");
    _records.push_back(record);
  }
  if (offset != bytes.size()) {
    OV_LOG(kLogError, "お出かけ管理ファイルデータレコード読込失敗 0x%08X",
           static_cast<unsigned>(ERROR_HANDLE_EOF));
    return false;
  }
  _file_kind = LoadLe32(_file_header + kFormatVersionOffset) < 0x02000000 ? 1 : 2;
  return true;
}

std::string CPcLinkFile::Encode(const uint8_t iv[8]) {
  memcpy(_file_header + kIvOffset, iv, 8);
  StoreLe16(_file_header + kFileHeaderCrcOffset, NPCrcCalc::Of(_file_header, kFileHeaderCrcOffset));
  StoreLe32(_data_header + kRecordCountOffset, static_cast<uint32_t>(_records.size()));
  StoreLe16(_data_header + kDataHeaderCrcOffset, NPCrcCalc::Of(_data_header, kDataHeaderCrcOffset));

  const CScopedCipherKey key;
  std::string out(reinterpret_cast<const char*>(_file_header), kFileHeaderSize);
  uint8_t header[kDataHeaderSize];
  memcpy(header, _data_header, sizeof(header));
  DesCbc(header, key.Get(), iv, kDataHeaderBlocks, kDesEncrypt);
  out.append(reinterpret_cast<const char*>(header), sizeof(header));
  for (CPcLinkRecord& record : _records) {
    StoreLe16(record.bytes + CPcLinkRecord::kCrcOffset,
              NPCrcCalc::Of(record.bytes, CPcLinkRecord::kCrcOffset));
    CPcLinkRecord copy = record;
    DesCbc(copy.bytes, key.Get(), iv, kRecordBlocks, kDesEncrypt);
    out.append(reinterpret_cast<const char*>(copy.bytes), kRecordSize);
  }
  return out;
}

bool CPcLinkFile::Write() {
  if (_drive == 0) return false;
  const bool link_file = _kind == kLinkFile;
  if (!RootExists(_drive)) {
    OV_LOG(kLogInfo, "%sファイル書き込み時のSD無し", KindName(link_file));
    return false;
  }
  if (!_loaded) {
    OV_LOG(kLogError, "お出かけ管理ファイルへの書込み時の未読み込み");
    return false;
  }
  if (!link_file) {
    OV_LOG(kLogError, "ナビ情報ファイルへの書込み");
    return false;
  }
  // Only CopyOutingFile brings a link file into being.
  const DWORD attributes = GetFileAttributesA(_path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return false;
  }
  uint8_t iv[8];
  FreshVector(iv);
  const std::string bytes = Encode(iv);

  CReplaceFileWriter writer(
      _path, attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE));
  if (!writer.Open()) return false;
  if (!writer.Write(bytes.data(), kFileHeaderSize)) {
    OV_LOG(kLogError, "お出かけ管理ファイルファイルヘッダ書込み失敗 0x%08X",
           static_cast<unsigned>(writer.Error()));
    return false;
  }
  if (!writer.Write(bytes.data() + kFileHeaderSize, kDataHeaderSize)) {
    OV_LOG(kLogError, "お出かけ管理ファイルデータヘッダ書込み失敗 0x%08X",
           static_cast<unsigned>(writer.Error()));
    return false;
  }
  for (size_t offset = kFileHeaderSize + kDataHeaderSize; offset < bytes.size();
       offset += kRecordSize) {
    if (!writer.Write(bytes.data() + offset, kRecordSize)) {
      OV_LOG(kLogError, "お出かけ管理ファイルデータレコード書込み失敗 0x%08X",
             static_cast<unsigned>(writer.Error()));
      return false;
    }
  }
  if (!writer.Commit()) {
    OV_LOG(kLogError, "お出かけ管理ファイル置き換え失敗 0x%08X",
           static_cast<unsigned>(writer.Error()));
    return false;
  }
  return true;
}

int CPcLinkFile::GetFileKind() const { return _loaded ? _file_kind : 1; }

std::string CPcLinkFile::GetDeviceNo() const {
  if (!_loaded) return std::string();
  return LoadFixedText(_data_header + kDeviceNoOffset, kDeviceNoSize);
}

uint32_t CPcLinkFile::GetPairingId() const {
  return _loaded ? LoadLe32(_data_header + kPairingOffset) : 0;
}

bool CPcLinkFile::SetPairingId(uint32_t value) {
  if (!_loaded) return false;
  StoreLe32(_data_header + kPairingOffset, value);
  return Write();
}

uint32_t CPcLinkFile::GetCcidHead() const {
  return _loaded ? LoadLe32(_data_header + kCcidHeadOffset) : 0;
}

uint8_t CPcLinkFile::GetModel() const { return _loaded ? _data_header[kModelOffset] : 0; }

uint32_t CPcLinkFile::GetFormatVersion() const {
  return _loaded ? LoadLe32(_file_header + kFormatVersionOffset) : 0;
}

const std::vector<CPcLinkRecord>& CPcLinkFile::GetRecords() const {
  return _loaded ? _records : kNoRecords;
}

const CPcLinkRecord* CPcLinkFile::FindRecord(uint32_t data_id) const {
  for (const CPcLinkRecord& record : GetRecords()) {
    if (record.DataId() == data_id) return &record;
  }
  return nullptr;
}

bool IsSamePathName(const std::string& path, const std::string& name) {
  if (name.empty() || !StartsWithCp932(path, name)) return false;
  return path.size() == name.size() || path[name.size()] == '\\' || path[name.size()] == '/';
}

const CPcLinkRecord* CPcLinkFile::FindMapRecordByName(const std::string& name) const {
  for (const CPcLinkRecord& record : GetRecords()) {
    if (record.DataId() == kMapDataId && IsSamePathName(record.SrcPath(), name)) return &record;
  }
  return nullptr;
}

const CPcLinkRecord* CPcLinkFile::FindMapRecordByPath(const std::string& prefix) const {
  if (prefix.empty()) return nullptr;
  for (const CPcLinkRecord& record : GetRecords()) {
    if (record.DataId() == kMapDataId && StartsWithCp932(record.SrcPath(), prefix)) {
      return &record;
    }
  }
  return nullptr;
}

uint32_t CPcLinkFile::GetVersion(uint32_t data_id) const {
  const CPcLinkRecord* record = FindRecord(data_id);
  return record ? record->Version() : 0;
}

uint16_t CPcLinkFile::GetYear(uint32_t data_id) const {
  const CPcLinkRecord* record = FindRecord(data_id);
  return record ? record->Year() : 0;
}

int CPcLinkFile::GetStatus(uint32_t data_id) const {
  const CPcLinkRecord* record = FindRecord(data_id);
  return record ? record->Status() : -1;
}

uint32_t CPcLinkFile::GetVersionByPath(const std::string& path) const {
  if (!path.empty()) {
    const CPcLinkRecord* record = FindMapRecordByPath(path);
    return record ? record->Version() : 0;
  }
  uint32_t highest = 0;
  for (const CPcLinkRecord& record : GetRecords()) {
    if (record.DataId() == kMapDataId && record.Version() > highest) highest = record.Version();
  }
  return highest;
}

int CPcLinkFile::GetStatusByVersion(uint32_t version) const {
  if (version == 0) return -1;
  for (const CPcLinkRecord& record : GetRecords()) {
    if (record.DataId() == kMapDataId && record.Version() == version) return record.Status();
  }
  return -1;
}

bool CPcLinkFile::HasVersion(uint32_t version) const { return GetStatusByVersion(version) != -1; }

std::string CPcLinkFile::FormatVersion6(uint32_t version) {
  return FormatString("%X.%06X", static_cast<unsigned>(version >> 24),
                      static_cast<unsigned>(version & 0xFFFFFF));
}

std::string CPcLinkFile::FormatVersion2(uint32_t version) {
  if (version == 0) return "-";
  return FormatString("%X.%02X", static_cast<unsigned>(version >> 24),
                      static_cast<unsigned>((version >> 16) & 0xFF));
}

std::string CPcLinkFile::FormatVersion3(uint32_t version) {
  return FormatString("%X.%03X", static_cast<unsigned>(version >> 24),
                      static_cast<unsigned>((version >> 12) & 0xFFF));
}

namespace {

// The link file is made from a copy under a temporary name, so a failed copy
// never leaves a half-written link file (or none) behind.
bool CopyUnitInfoToLinkFile(char drive) {
  const std::string source = CPcLinkFile::UnitInfoPath(drive);
  const std::string target = CPcLinkFile::LinkPath(drive);
  const std::string temp = target + ".new";
  SetFileAttributesA(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!CopyFileA(source.c_str(), temp.c_str(), FALSE)) return false;
  // The PC rewrites the link file: a read-only mark of the unit's file must
  // not come with the copy.
  const DWORD attributes = GetFileAttributesA(temp.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    SetFileAttributesA(temp.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  }
  SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!MoveFileExA(temp.c_str(), target.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD error = GetLastError();
    DeleteFileA(temp.c_str());
    SetLastError(error);
    return false;
  }
  return true;
}

}  // namespace

bool CopyOutingFile(char drive, bool force) {
  if (drive == 0) {
    OV_LOG(kLogError, "お出かけ管理ファイルコピー時のターゲットドライブ未指定");
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (!PathFileExistsA(CPcLinkFile::UnitInfoPath(drive).c_str())) {
    OV_LOG(kLogError, "DIRU情報非存在");
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  if (force || !PathFileExistsA(CPcLinkFile::LinkPath(drive).c_str())) {
    if (!CopyUnitInfoToLinkFile(drive)) {
      const DWORD error = GetLastError();
      OV_LOG(kLogError, "お出かけ管理コピー失敗 ERR:0x%08X", static_cast<unsigned>(error));
      SetLastError(error ? error : ERROR_GEN_FAILURE);
      return false;
    }
    OV_LOG(kLogInfo, "お出かけ管理コピー完了");
    return true;
  }
  CPcLinkFile unit(CPcLinkFile::kUnitInfoFile, drive);
  CPcLinkFile link(CPcLinkFile::kLinkFile, drive);
  if (!unit.IsLoaded() || !link.IsLoaded()) {
    // A value read from a file that did not load is no value: leave the
    // pairing as it stands rather than write a zero into the link file.
    OV_LOG(kLogError, "ペアリング情報チェック時のファイル読み込み失敗");
  } else if (unit.GetPairingId() != link.GetPairingId()) {
    const bool set = link.SetPairingId(unit.GetPairingId());
    OV_LOG(set ? kLogInfo : kLogError, "ペアリング情報セット%s", set ? "成功" : "失敗");
  }
  OV_LOG(kLogInfo, "お出かけ管理存在時のコピー要求->終了");
  return true;
}

bool IsDiruSDCard(char drive) {
  const std::string root = RootOf(drive);
  if (GetDriveTypeA(root.c_str()) != DRIVE_REMOVABLE) return false;
  if (!GetVolumeInformationA(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, nullptr, 0)) {
    return false;
  }
  if (!PathFileExistsA(CPcLinkFile::UnitInfoPath(drive).c_str())) return false;
  return CPcLinkFile(CPcLinkFile::kUnitInfoFile, drive).IsLoaded();
}

namespace {

// The drives to look at: D to Z, or the letters of OV_CARD_DRIVES when it is
// set, so that test programs running side by side each see their own card.
std::string CardDriveLetters() {
  const std::string letters = GetEnvironmentOverride(kOverrideCardDrives);
  if (!letters.empty()) return ToUpper(letters);
  std::string all;
  for (char drive = 'D'; drive <= 'Z'; ++drive) all += drive;
  return all;
}

}  // namespace

int FindDiruSDCards(std::vector<char>& letters) {
  letters.clear();
  const UINT old_mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  for (const char drive : CardDriveLetters()) {
    if (drive < 'D' || drive > 'Z' || !IsDiruSDCard(drive)) continue;
    letters.push_back(drive);
    CopyOutingFile(drive, false);
  }
  SetErrorMode(old_mode);
  return static_cast<int>(letters.size());
}
