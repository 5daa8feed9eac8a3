// The trip-file reader; see ProbeFile.h.
#include "ProbeFile.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "Folders.h"
#include "Log.h"
#include "ProbeKey.h"
#include "ProbePath.h"
#include "StringUtil.h"

namespace {

// Initial vector, ccid, uid and the identification block.
constexpr size_t kHeaderSize = 70;
constexpr size_t kCcidOffset = 8;
constexpr size_t kCcidSize = 16;
constexpr size_t kUidOffset = 24;
constexpr size_t kUidSize = 10;
constexpr size_t kIdOffset = 34;
// The block walk stops once no more than this is left: the end mark and
// the unit's padding.
constexpr size_t kTailSize = 70;
constexpr uint32_t kBlockCountLimit = 40000;
constexpr DWORD kModelDh3 = 9;
constexpr DWORD kModelDh5 = 10;
const char kDh3[] = "DRVHISREC.DH3";
const char kDh5[] = "DRVHISREC.DH5";
const char kExpanded[] = ".PRB";

unsigned Hex(DWORD value) { return static_cast<unsigned>(value); }

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

CProbeFile::CProbeFile(char drive, HANDLE abort_event) : CProbeReader(drive, abort_event) {}

CProbeFile::~CProbeFile() = default;

DWORD CProbeFile::_ReadFile() {
  std::vector<uint8_t> bytes;
  DWORD result = ReadSource(kHeaderSize, &bytes);
  if (result != 0) return result;
  DecipherProbeData(bytes.data() + 8, bytes.size() - 8, bytes.data());
  _ccid = FieldText(bytes.data() + kCcidOffset, kCcidSize);
  _uid = FieldText(bytes.data() + kUidOffset, kUidSize);
  std::memcpy(_id_block, bytes.data() + kIdOffset, kProbeIdBlockSize);
  if (std::memcmp(_id_block, "PROBE_", 6) != 0) {
    OV_LOG(kLogError, "ファイル識別文字列不正 ERR:0x%08X", Hex(kProbeBadFrame));
    return Fail(kProbeBadFrame, 0);
  }
  std::string folder;
  result = MakeOutputFolder(&folder);
  if (result != 0) return result;
  result = ExtractPieces(bytes, folder);
  SecureZeroMemory(bytes.data(), bytes.size());
  if (result != 0) return result;
  if (_pieces.empty()) {
    // Nothing the server could take: the folder would only wait forever.
    DeleteTripFolder();
    OV_LOG(kLogError, "当該ファイルはファルダごと削除し、処理をスキップします");
    _skip = 1;
    return 0;
  }
  std::sort(_pieces.begin(), _pieces.end());
  return 0;
}

DWORD CProbeFile::ExtractPieces(const std::vector<uint8_t>& bytes, const std::string& folder) {
  const size_t size = bytes.size();
  std::set<std::string> names;  // upper case: the file system ignores case
  size_t pos = kHeaderSize;
  bool end_mark = false;
  while (pos < size && size - pos > kTailSize) {
    if (std::memcmp(bytes.data() + pos, "EOF_", 4) == 0) {
      end_mark = true;
      break;
    }
    ProbeBlockHeader block;
    if (!ReadProbeBlockHeader(bytes.data(), size, pos, &block) || block.size_high != 0 ||
        block.size_low > size - pos - kProbeBlockHeaderSize) {
      OV_LOG(kLogError, "プローブ実ファイルサイズ不正[Path=%s] POS:%u", _source_path.c_str(),
             static_cast<unsigned>(pos));
      return Fail(kProbeBadFrame, 0);
    }
    const uint8_t* data = bytes.data() + pos + kProbeBlockHeaderSize;
    pos += kProbeBlockHeaderSize + block.size_low;
    if (std::memcmp(block.tag, "8BIN", 4) != 0) {
      OV_LOG(kLogError, "プローブ実ファイル識別子チェックエラー[Path=%s]", _source_path.c_str());
      continue;
    }
    const std::string name = RemoveChar(block.name, '/');
    const bool dh3 = name.find(kDh3) != std::string::npos;
    const bool dh5 = !dh3 && name.find(kDh5) != std::string::npos;
    if (!dh3 && !dh5) {
      // Not ours to send: it is not even written out.
      OV_LOG(kLogInfo, "CProbeFile::_ReadFile - 未定義ファイル FILE:%s", name.c_str());
      continue;
    }
    // The name picks a file in the temporary folder: it must stay there,
    // name one piece only and not be the expanded form of another.
    std::string path;
    const std::string upper = ToUpper(name);
    if (!SafePathJoin(folder, name, &path, sizeof(kExpanded)) || EndsWith(upper, kExpanded) ||
        !names.insert(upper).second) {
      OV_LOG(kLogError, "プローブ実ファイル名不正[Path=%s] FILE:%s", _source_path.c_str(),
             name.c_str());
      return Fail(kProbeBadFrame, 0);
    }
    // A piece that cannot be written out fails the whole file: sending the
    // trip without it would lose it once the folder is deleted.
    const DWORD result = WriteOutFile(path, data, block.size_low, kProbeWriteFailed);
    if (result != 0) return result;
    if (dh3) {
      if (_model == 0 || _model == kModelDh3) {
        _model = kModelDh3;
      } else {
        OV_LOG(kLogInfo, "CProbeFile::_ReadFile - モデル混在");
      }
    } else {
      if (_model == kModelDh3) OV_LOG(kLogInfo, "CProbeFile::_ReadFile - モデル混在");
      _model = kModelDh5;
    }
    _pieces.push_back(path);
  }
  // A short tail without the end mark is the unit's padding when pieces
  // came before it; with none, the file was cut inside its first block and
  // is kept as damaged rather than deleted as empty.
  if (_pieces.empty() && !end_mark && pos < size) {
    OV_LOG(kLogError, "プローブ実ファイルサイズ不正[Path=%s] POS:%u", _source_path.c_str(),
           static_cast<unsigned>(pos));
    return Fail(kProbeBadFrame, 0);
  }
  return 0;
}

void CProbeFile::DeleteTripFolder() {
  const std::string folder = TripFolderOf(_source_path);
  if (folder.empty()) {
    OV_LOG(kLogError, "トリップフォルダ不正 PATH:%s", _source_path.c_str());
    return;
  }
  if (!_fs.RemoveDirectoryAll_Recover(folder.c_str(), TRUE)) {
    OV_LOG(kLogError, "トリップフォルダ削除失敗 ERR:0x%08X PATH:%s", Hex(_fs.LastError()),
           folder.c_str());
  }
}

DWORD CProbeFile::_CombineDrvHiRecFile() {
  if (_pieces.empty()) {
    OV_LOG(kLogInfo, "走行履歴なし");
    return 0;
  }
  for (const std::string& piece : _pieces) {
    if (!_gzip.UnGZipFile_Recover(piece, piece + kExpanded)) {
      OV_LOG(kLogError, "プローブファイル解凍失敗 ERR:0x%08X", Hex(_gzip.LastError()));
      const DWORD error = _gzip.LastError();
      DeleteExpandedFiles();
      return Fail(kProbePackFailed, error);
    }
    _fs.DeleteFile_Recover(piece.c_str());
  }
  const char* joined_name = kDh3;
  if (_model == kModelDh5) {
    joined_name = kDh5;
  } else if (_model != kModelDh3) {
    OV_LOG(kLogError, "CProbeFile::_CombineDrvHiRecFile - 未定義モデル");
  }
  std::string joined_path;
  SafePathJoin(GetParentFolder(_pieces.front()), joined_name, &joined_path, sizeof(kExpanded));
  CFileHandle joined;
  uint32_t header[2] = {};  // the joined file's value and block count
  DWORD result = 0;
  for (size_t i = 0; result == 0 && i < _pieces.size(); ++i) {
    std::vector<uint8_t> piece;
    result = ReadExpandedPiece(_pieces[i] + kExpanded, &piece);
    if (result != 0) break;
    if (_model == kModelDh5) {
      piece[0] = 8;
      piece[1] = piece[2] = piece[3] = 0;
    }
    if (i == 0) {
      joined = OpenProbeFile(_fs, joined_path, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
      if (!joined) {
        const DWORD error = _fs.LastError();
        OV_LOG(kLogError, "走行履歴結合ファイル作成失敗 ERR:0x%08X", Hex(error));
        result = Fail(kProbeOpenFailed, error);
        break;
      }
      _joined.push_back(joined_path);
      header[0] = ReadLe32(piece.data());
      header[1] = ReadLe32(piece.data() + 4);
      DWORD error = 0;
      if (!WriteAll(_fs, joined.Get(), piece.data(), piece.size(), &error)) {
        OV_LOG(kLogError, "走行履歴結合ファイル書込み失敗 ERR:0x%08X", Hex(error));
        result = Fail(kProbeWriteFailed, error);
      }
    } else {
      result = AppendPiece(piece, joined.Get(), header);
    }
  }
  if (result != 0) DeleteExpandedFiles();
  return result;
}

DWORD CProbeFile::ReadExpandedPiece(const std::string& path, std::vector<uint8_t>* piece) {
  const DWORD result = ReadExpandedFile(path, "走行履歴分割ファイルオープン失敗", piece);
  if (result != 0) return result;
  // The value and block count come first; a piece without them is damaged.
  if (piece->size() < 8) {
    OV_LOG(kLogError, "走行履歴分割ファイルサイズ不正 SIZE:%d PATH:%s",
           static_cast<int>(piece->size()), path.c_str());
    return Fail(kProbeBadFrame, 0);
  }
  return 0;
}

DWORD CProbeFile::AppendPiece(const std::vector<uint8_t>& piece, HANDLE joined,
                              uint32_t header[2]) {
  const uint32_t count = ReadLe32(piece.data() + 4);
  if (static_cast<uint64_t>(header[1]) + count > kBlockCountLimit) {
    OV_LOG(kLogInfo, "ブロック数規定値(%d)超え", static_cast<int>(kBlockCountLimit));
  }
  header[1] += count;
  uint8_t bytes[8];
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(header[i / 4] >> (8 * (i % 4)));
  DWORD error = 0;
  LARGE_INTEGER start = {};
  if (!SetFilePointerEx(joined, start, nullptr, FILE_BEGIN) ||
      !WriteAll(_fs, joined, bytes, sizeof(bytes), &error)) {
    if (error == 0) error = ::GetLastError();
    OV_LOG(kLogError, "走行履歴結合ファイルヘッダ書込失敗 ERR:0x%08X", Hex(error));
    return Fail(kProbeWriteFailed, error);
  }
  if (!SetFilePointerEx(joined, start, nullptr, FILE_END) ||
      !WriteAll(_fs, joined, piece.data() + 8, piece.size() - 8, &error)) {
    if (error == 0) error = ::GetLastError();
    OV_LOG(kLogError, "走行履歴結合ファイルレコード書込失敗 ERR:0x%08X", Hex(error));
    return Fail(kProbeWriteFailed, error);
  }
  return 0;
}

DWORD CProbeFile::DeleteExpandedFiles() {
  DWORD error = 0;
  for (const std::string& piece : _pieces) {
    const std::string path = piece + kExpanded;
    if (!_fs.DeleteFile_Recover(path.c_str())) {
      error = _fs.LastError();
      OV_LOG(kLogError, "展開ファイル削除失敗 ERR:0x%08X", Hex(error));
      OV_LOG(kLogError, "\t\t%s", path.c_str());
    }
  }
  return error;
}

const char* CProbeFile::JoinedName() const { return _model == kModelDh5 ? kDh5 : kDh3; }

DWORD CProbeFile::ClearTemporaryFile() {
  std::vector<std::string> paths = _joined;
  for (const std::string& piece : _pieces) {
    paths.push_back(piece);
    paths.push_back(piece + kExpanded);
  }
  return DeleteTemporaryFiles(paths);
}

ProbeDiscrimination CProbeFile::GetProbeDiscrimination() const {
  ProbeDiscrimination record;
  record.ccid = _ccid;
  record.uid = _uid;
  record.data_year = _model;
  return record;
}
