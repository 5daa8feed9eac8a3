// The archived-zone reader; see ProbeZone.h.
#include "ProbeZone.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "Folders.h"
#include "Log.h"
#include "ProbeKey.h"
#include "ProbePath.h"
#include "StringUtil.h"

namespace {

// The archive's frame: 8 bytes not read, "HEAD", the head part's 64-bit
// length, its initial vector, the head part; "DATA", the data part's
// length, 4 unused bytes, its initial vector, the data part.
constexpr size_t kHeadTagOffset = 8;
constexpr size_t kHeadLengthOffset = 12;
constexpr size_t kHeadIvOffset = 20;
constexpr size_t kHeadOffset = 28;
constexpr size_t kDataFrameSize = 20;
// The fields of the deciphered head part.
constexpr size_t kHeadUsed = 132;
constexpr size_t kHeadIdOffset = 96;
constexpr uint64_t kMaxFiles = 26;
constexpr size_t kEntryHeaderSize = kProbeBlockHeaderSize + 12;
constexpr size_t kRecordSize = 32;
constexpr uint64_t kRecordTotalLimit = 52000;
const char kArchiveName[] = "ARCHIVE.DAT";
const char kJoinedName[] = "DRVHISREC.DH7";
const char kExpanded[] = ".PRB";

unsigned Hex(DWORD value) { return static_cast<unsigned>(value); }

// A 16-character hexadecimal version text as "major.minor".
std::string VersionText(const uint8_t* field) {
  const std::string text = FieldText(field, 16);
  uint64_t value = 0;
  for (char c : text) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (digit < 0) break;
    value = (value << 4) | static_cast<uint64_t>(digit);
  }
  const uint32_t v = static_cast<uint32_t>(value);
  return FormatString("%X.%06X", static_cast<unsigned>(v >> 24),
                      static_cast<unsigned>(v & 0xFFFFFF));
}

struct Entry {
  std::string name;
  size_t records;  // offset of the records in the expanded archive
  size_t length;
};

}  // namespace

CProbeZone::CProbeZone(char drive, HANDLE abort_event) : CProbeReader(drive, abort_event) {}

CProbeZone::~CProbeZone() = default;

void CProbeZone::_Decrypt(uint8_t* buffer, size_t length, const uint8_t iv[8]) {
  DecipherProbeData(buffer, length, iv);
}

DWORD CProbeZone::_ReadArchive() {
  std::vector<uint8_t> bytes;
  DWORD result = ReadSource(8, &bytes);
  if (result != 0) return result;
  const size_t size = bytes.size();
  if (size < kHeadLengthOffset || std::memcmp(bytes.data() + kHeadTagOffset, "HEAD", 4) != 0) {
    OV_LOG(kLogError, "ヘッダ部ブロックヘッダ識別子が不正 ERR:0x%08X", Hex(kProbeBadFrame));
    return Fail(kProbeBadFrame, 0);
  }
  const uint64_t head_size = size < kHeadOffset ? 0 : ReadLe64(bytes.data() + kHeadLengthOffset);
  if (size < kHeadOffset || (head_size >> 32) != 0 || kHeadOffset + head_size >= size) {
    OV_LOG(kLogError, "ファイルサイズが不正 ERR:0x%08X", Hex(kProbeBadFrame));
    return Fail(kProbeBadFrame, 0);
  }
  const size_t head = static_cast<size_t>(head_size);
  const size_t data_frame = kHeadOffset + head;
  if (data_frame + kDataFrameSize >= size) {
    OV_LOG(kLogError, "プローブファイルサイズ不正 SIZE:%dbyte",
           static_cast<int>(size) - static_cast<int>(head) - 48);
    return Fail(kProbeBadFrame, 0);
  }
  result = TakeHeadPart(bytes, head_size);
  if (result != 0) return result;

  if (std::memcmp(bytes.data() + data_frame, "DATA", 4) != 0) {
    OV_LOG(kLogError, "データ部ブロックヘッダ識別子が不正 ERR:0x%08X", Hex(kProbeOpenFailed));
    OV_LOG(kLogError, "圧縮ファイルサイズ取得失敗 ERR:0x%08X", Hex(kProbeOpenFailed));
    return Fail(kProbeOpenFailed, 0);
  }
  // The data part must lie inside the file, and the gzip stream inside the
  // data part, before a byte of either is used.
  const size_t data = data_frame + kDataFrameSize;
  const uint32_t data_size = ReadLe32(bytes.data() + data_frame + 4);
  if (data_size < 8 || data_size > size - data) {
    OV_LOG(kLogError, "圧縮ファイルサイズ取得失敗 ERR:0x%08X", Hex(kProbeOpenFailed));
    return Fail(kProbeOpenFailed, 0);
  }
  uint8_t iv[8];
  std::memcpy(iv, bytes.data() + data_frame + 12, sizeof(iv));
  _Decrypt(bytes.data() + data, data_size, iv);
  const uint64_t packed_size = ReadLe64(bytes.data() + data);
  if (packed_size > data_size - 8) {
    OV_LOG(kLogError, "圧縮ファイルサイズ取得失敗 ERR:0x%08X", Hex(kProbeOpenFailed));
    return Fail(kProbeOpenFailed, 0);
  }
  result = WriteArchive(bytes.data() + data + 8, static_cast<size_t>(packed_size));
  SecureZeroMemory(bytes.data(), bytes.size());
  return result;
}

DWORD CProbeZone::TakeHeadPart(const std::vector<uint8_t>& bytes, uint64_t head_size) {
  if (head_size < kHeadUsed) {
    OV_LOG(kLogError, "ヘッダ部サイズ不足 SIZE:%d", static_cast<int>(head_size));
    return Fail(kProbeBadFrame, 0);
  }
  std::vector<uint8_t> head;
  try {
    head.assign(bytes.begin() + kHeadOffset, bytes.begin() + kHeadOffset + head_size);
  } catch (const std::bad_alloc&) {
    OV_LOG(kLogError, "復号化領域確保失敗 ERR:0x%08X", Hex(ERROR_NOT_ENOUGH_MEMORY));
    return Fail(kProbeBadPath, ERROR_NOT_ENOUGH_MEMORY);
  }
  _Decrypt(head.data(), head.size(), bytes.data() + kHeadIvOffset);
  _device_number = FieldText(head.data(), 16);
  _ccid = FieldText(head.data() + 16, 16);
  _uid = FieldText(head.data() + 32, 10);
  _unit_model = FieldText(head.data() + 42, 6);
  _maker = FieldText(head.data() + 48, 16);
  _application_version = VersionText(head.data() + 64);
  _map_version = VersionText(head.data() + 80);
  std::memcpy(_id_block, head.data() + kHeadIdOffset, kProbeIdBlockSize);
  SecureZeroMemory(head.data(), head.size());
  if (std::memcmp(_id_block, "PROBE_", 6) != 0) {
    OV_LOG(kLogError, "ファイル識別子が不正 ERR:0x%08X", Hex(kProbeBadFrame));
    return Fail(kProbeBadFrame, 0);
  }
  return 0;
}

DWORD CProbeZone::WriteArchive(const uint8_t* data, size_t size) {
  std::string folder;
  DWORD result = MakeOutputFolder(&folder);
  if (result != 0) return result;
  std::string path;
  SafePathJoin(folder, kArchiveName, &path, sizeof(kExpanded));
  result = WriteOutFile(path, data, size, kProbeOpenFailed);
  if (result != 0) return result;
  _archive_path = path;
  return 0;
}

DWORD CProbeZone::_CombineDrvHiRecFile() {
  if (_archive_path.empty()) {
    OV_LOG(kLogError, "アーカイブパス未指定");
    return Fail(kProbeBadPath, ERROR_INVALID_PARAMETER);
  }
  const std::string expanded = _archive_path + kExpanded;
  if (!_gzip.UnGZipFile_Recover(_archive_path, expanded)) {
    const DWORD error = _gzip.LastError();
    OV_LOG(kLogError, "プローブファイル解凍失敗 ERR:0x%08X", Hex(error));
    return Fail(kProbePackFailed, error);
  }
  _fs.DeleteFile_Recover(_archive_path.c_str());
  std::vector<uint8_t> bytes;
  DWORD result = ReadExpandedFile(expanded, "走行履歴ファイルオープン失敗", &bytes);
  if (result != 0) return result;
  std::vector<uint8_t> joined;
  result = JoinEntries(bytes, &joined);
  if (result != 0) return result;
  std::string path;
  SafePathJoin(GetParentFolder(expanded), kJoinedName, &path, sizeof(kExpanded));
  result = WriteJoinedFile(path, joined);
  if (result != 0) DeleteJoinedFiles();
  return result;
}

DWORD CProbeZone::JoinEntries(const std::vector<uint8_t>& expanded, std::vector<uint8_t>* joined) {
  const size_t size = expanded.size();
  const uint64_t files = size < 8 ? 0 : ReadLe64(expanded.data());
  if (size < 8) {
    OV_LOG(kLogError, "解凍ファイルサイズ不正 SIZE:%d", static_cast<int>(size));
    return Fail(kProbeBadFrame, 0);
  }
  if (files > kMaxFiles) {
    OV_LOG(kLogError, "解凍ファイル内のファイル数オーバー ファイル数:0x%08X",
           static_cast<unsigned>(files));
    return Fail(kProbeBadFrame, 0);
  }
  std::vector<Entry> entries;
  uint32_t head_values[2] = {};
  uint64_t total = 0;
  size_t pos = 8;
  for (uint64_t i = 0; i < files; ++i) {
    // Each entry's record count is checked against what is left before a
    // record is touched.
    const uint8_t* entry = expanded.data() + pos;
    const uint32_t count = size - pos >= kEntryHeaderSize ? ReadLe32(entry + 148) : 0;
    if (size - pos < kEntryHeaderSize ||
        static_cast<uint64_t>(count) * kRecordSize > size - pos - kEntryHeaderSize) {
      OV_LOG(kLogError, "解凍ファイルエントリサイズ不正[Path=%s] POS:%u", _source_path.c_str(),
             static_cast<unsigned>(pos));
      return Fail(kProbeBadFrame, 0);
    }
    const size_t length = static_cast<size_t>(count) * kRecordSize;
    ProbeBlockHeader header;
    ReadProbeBlockHeader(expanded.data(), size, pos, &header);
    if (std::memcmp(header.tag, "8BIN", 4) != 0) {
      OV_LOG(kLogError, "プローブ実ファイル識別子チェックエラー[Path=%s]", _source_path.c_str());
    } else {
      if (entries.empty()) {
        head_values[0] = ReadLe32(entry + 144);
        head_values[1] = ReadLe32(entry + 152);
      }
      entries.push_back(Entry{header.name, pos + kEntryHeaderSize, length});
      total += count;
      if (total > kRecordTotalLimit) OV_LOG(kLogInfo, "ブロック数規定値超え");
    }
    pos += kEntryHeaderSize + length;
  }
  std::stable_sort(entries.begin(), entries.end(),
                   [](const Entry& a, const Entry& b) { return a.name < b.name; });
  try {
    joined->assign(12 + static_cast<size_t>(total) * kRecordSize, 0);
  } catch (const std::bad_alloc&) {
    OV_LOG(kLogError, "解凍プローブファイル書込用メモリ確保失敗 ERR:0x%08X",
           Hex(ERROR_NOT_ENOUGH_MEMORY));
    return Fail(kProbeWriteFailed, ERROR_NOT_ENOUGH_MEMORY);
  }
  const uint32_t header[3] = {head_values[0], static_cast<uint32_t>(total), head_values[1]};
  for (int i = 0; i < 12; ++i) (*joined)[i] = static_cast<uint8_t>(header[i / 4] >> (8 * (i % 4)));
  size_t out = 12;
  for (const Entry& e : entries) {
    std::memcpy(joined->data() + out, expanded.data() + e.records, e.length);
    out += e.length;
  }
  return 0;
}

DWORD CProbeZone::WriteJoinedFile(const std::string& path, const std::vector<uint8_t>& joined) {
  CFileHandle file = OpenProbeFile(_fs, path, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
  if (!file) {
    const DWORD error = _fs.LastError();
    OV_LOG(kLogError, "走行履歴結合ファイル作成失敗 ERR:0x%08X", Hex(error));
    return Fail(kProbeOpenFailed, error);
  }
  DWORD error = 0;
  if (!WriteAll(_fs, file.Get(), joined.data(), joined.size(), &error)) {
    OV_LOG(kLogError, "走行履歴結合ファイル書込み失敗 ERR:0x%08X", Hex(error));
    file.Reset();
    if (!_fs.DeleteFile_Recover(path.c_str())) {
      OV_LOG(kLogError, "展開ファイル削除失敗 ERR:0x%08X", Hex(_fs.LastError()));
      OV_LOG(kLogError, "\t\t%s", path.c_str());
    }
    return Fail(kProbeWriteFailed, error);
  }
  _joined.push_back(path);
  return 0;
}

const char* CProbeZone::JoinedName() const { return kJoinedName; }

DWORD CProbeZone::ClearTemporaryFile() {
  std::vector<std::string> paths = _joined;
  if (!_archive_path.empty()) {
    paths.push_back(_archive_path);
    paths.push_back(_archive_path + kExpanded);
  }
  DeleteTemporaryFiles(paths);
  return 0;
}

ProbeDiscrimination CProbeZone::GetProbeDiscrimination() const {
  ProbeDiscrimination record;
  record.ccid = _ccid;
  record.uid = _uid;
  record.data_year = 0;
  record.unit_model = _unit_model;
  record.maker = _maker;
  record.application_version = _application_version;
  record.map_version = _map_version;
  record.device_number = _device_number;
  return record;
}
