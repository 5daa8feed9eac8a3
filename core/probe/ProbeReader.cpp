// The probe readers' shared part; see ProbeReader.h.
#include "ProbeReader.h"

#include <cstring>
#include <new>

#include "Folders.h"
#include "Log.h"
#include "ProbePath.h"

namespace {

constexpr DWORD kIoChunk = 16 * 1024 * 1024;
// Larger sources are refused as if memory were short: the probe data of one
// trip is a few megabytes.
constexpr uint64_t kMaxWholeFile = 0x40000000;

void PutLe32(uint8_t* p, uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

unsigned Hex(DWORD value) { return static_cast<unsigned>(value); }

}  // namespace

uint32_t ReadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint64_t ReadLe64(const uint8_t* p) {
  return static_cast<uint64_t>(ReadLe32(p)) | (static_cast<uint64_t>(ReadLe32(p + 4)) << 32);
}

std::string FieldText(const uint8_t* p, size_t size) {
  const void* nul = std::memchr(p, 0, size);
  const size_t length = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - p) : size;
  return std::string(reinterpret_cast<const char*>(p), length);
}

bool ReadProbeBlockHeader(const uint8_t* data, size_t size, size_t offset,
                          ProbeBlockHeader* header) {
  if (offset > size || size - offset < kProbeBlockHeaderSize) return false;
  const uint8_t* p = data + offset;
  std::memcpy(header->tag, p, 4);
  header->size_low = ReadLe32(p + 4);
  header->size_high = ReadLe32(p + 8);
  header->name_length = ReadLe32(p + 12);
  header->name = FieldText(p + 16, kProbeBlockNameSize);
  return true;
}

CFileHandle OpenProbeFile(CWinFileSystemLib& fs, const std::string& path, DWORD access, DWORD share,
                          DWORD disposition) {
  return fs.CreateFile_Recover(path.c_str(), access, share, nullptr, disposition,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
}

ProbeFileResult ReadOpenFile(CWinFileSystemLib& fs, HANDLE file, std::vector<uint8_t>* bytes) {
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(file, &size)) return kProbeFileReadFailed;
  if (static_cast<uint64_t>(size.QuadPart) > kMaxWholeFile) return kProbeFileNoMemory;
  try {
    bytes->assign(static_cast<size_t>(size.QuadPart), 0);
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return kProbeFileNoMemory;
  }
  size_t done = 0;
  while (done < bytes->size()) {
    const size_t left = bytes->size() - done;
    const DWORD want = left < kIoChunk ? static_cast<DWORD>(left) : kIoChunk;
    DWORD read = 0;
    if (!fs.ReadFile_Recover(file, bytes->data() + done, want, &read, nullptr)) {
      return kProbeFileReadFailed;
    }
    if (read == 0) {
      SetLastError(ERROR_HANDLE_EOF);
      return kProbeFileShort;
    }
    done += read;
  }
  return kProbeFileOk;
}

bool WriteAll(CWinFileSystemLib& fs, HANDLE file, const void* data, size_t size, DWORD* error) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const DWORD want = size < kIoChunk ? static_cast<DWORD>(size) : kIoChunk;
    DWORD written = 0;
    if (!fs.WriteFile_Recover(file, p, want, &written, nullptr)) {
      *error = fs.LastError();
      return false;
    }
    if (written == 0) {
      *error = ERROR_DISK_FULL;
      return false;
    }
    p += written;
    size -= written;
  }
  return true;
}

CProbeReader::CProbeReader(char drive, HANDLE abort_event)
    : _drive(drive), _abort_event(abort_event), _fs(abort_event), _gzip(abort_event) {}

CProbeReader::~CProbeReader() { SecureZeroMemory(_id_block, sizeof(_id_block)); }

DWORD CProbeReader::_CheckSrcFile(const char* path) {
  if (!path) {
    OV_LOG(kLogError, "プローブファイルパスがNULL");
    return Fail(kProbeBadPath, ERROR_INVALID_PARAMETER);
  }
  if (!*path) {
    OV_LOG(kLogError, "プローブファイルパスがない");
    return Fail(kProbeBadPath, ERROR_INVALID_PARAMETER);
  }
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    OV_LOG(kLogError, "プローブ元ファイルが存在しない");
    return Fail(kProbeBadPath, error);
  }
  return 0;
}

DWORD CProbeReader::MakeSendFile(BYTE* skip, const char* send_path, const char* source_path) {
  _skip = 0;
  if (skip) *skip = 0;
  DWORD result = _CheckSrcFile(source_path);
  if (result != 0) return result;
  if (!send_path || !*send_path) {
    OV_LOG(kLogError, "送信データファイルパスがない");
    return Fail(kProbeBadPath, ERROR_INVALID_PARAMETER);
  }
  _source_path = source_path;
  _send_path = send_path;
  result = ReadStep();
  if (skip) *skip = _skip;
  if (result != 0 || _skip) return result;
  result = CombineStep();
  if (result != 0) return result;
  return WriteSendFile(JoinedName());
}

DWORD CProbeReader::ReadSource(size_t min_size, std::vector<uint8_t>* bytes) {
  // A source that merely cannot be opened or read now (held by another
  // program, a card being pulled) keeps its folder: the next run sends it.
  CFileHandle file = OpenProbeFile(_fs, _source_path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  if (!file) {
    const DWORD error = _fs.LastError();
    OV_LOG(kLogError, "プローブファイルオープン失敗[Path=%s]", _source_path.c_str());
    OV_LOG(kLogError, "当該ファイルはフォルダごと残し、処理をスキップします ERR:0x%08X",
           Hex(error));
    return Fail(kProbeOpenFailed, error);
  }
  const ProbeFileResult read = ReadOpenFile(_fs, file.Get(), bytes);
  if (read == kProbeFileNoMemory) {
    const DWORD error = ::GetLastError();
    OV_LOG(kLogError, "プローブファイル読み込み領域確保失敗 ERR:0x%08X", Hex(error));
    return Fail(kProbeNoMemory, error);
  }
  if (read != kProbeFileOk) {
    const DWORD error =
        read == kProbeFileShort ? static_cast<DWORD>(ERROR_HANDLE_EOF) : _fs.LastError();
    OV_LOG(kLogError, "プローブファイル読み込み失敗[Path=%s]", _source_path.c_str());
    OV_LOG(kLogError, "当該ファイルはフォルダごと残し、処理をスキップします ERR:0x%08X",
           Hex(error));
    return Fail(kProbeReadFailed, error);
  }
  if (bytes->size() < min_size) {
    OV_LOG(kLogError, "プローブファイルサイズ不正 SIZE:%dbyte", static_cast<int>(bytes->size()));
    return Fail(kProbeTooShort, 0);
  }
  return 0;
}

DWORD CProbeReader::MakeOutputFolder(std::string* folder) {
  *folder = GetParentFolder(_send_path);
  if (*folder == _send_path || folder->empty()) {
    OV_LOG(kLogError, "送信データファイルパス不正 PATH:%s", _send_path.c_str());
    return Fail(kProbeBadPath, ERROR_INVALID_PARAMETER);
  }
  if (!PathIsDirectory(*folder) && !CreateFolderTree(*folder)) {
    const DWORD error = ::GetLastError();
    OV_LOG(kLogError, "出力フォルダ作成失敗 ERR:0x%08X PATH:%s", Hex(error), folder->c_str());
    return Fail(kProbeOpenFailed, error);
  }
  return 0;
}

DWORD CProbeReader::WriteSendFile(const char* joined_name) {
  _fs.DeleteFile_Recover(_send_path.c_str());
  CFileHandle send = OpenProbeFile(_fs, _send_path, GENERIC_WRITE, 0, CREATE_ALWAYS);
  if (!send) {
    const DWORD error = _fs.LastError();
    OV_LOG(kLogError, "送信データファイル作成失敗 ERR:0x%08X", Hex(error));
    return Fail(kProbeOpenFailed, error);
  }
  DWORD result = 0;
  uint8_t id_block[kProbeIdBlockSize];
  std::memcpy(id_block, _id_block, sizeof(id_block));
  PutLe32(id_block + 12, static_cast<uint32_t>(_joined.size()));
  DWORD error = 0;
  if (!WriteAll(_fs, send.Get(), id_block, sizeof(id_block), &error)) {
    OV_LOG(kLogError, "送信データファイルヘッダ書込み失敗 ERR:0x%08X", Hex(error));
    result = Fail(kProbeWriteFailed, error);
  }
  const std::string block_name = SendBlockName(TripTimeOf(_source_path), joined_name);
  for (size_t i = 0; result == 0 && i < _joined.size(); ++i) {
    result = WriteSendBlock(send.Get(), _joined[i], block_name);
  }
  if (result == 0 && !WriteAll(_fs, send.Get(), "EOF_", 4, &error)) {
    OV_LOG(kLogError, "送信データファイルフッタ書込み失敗 ERR:0x%08X", Hex(error));
    result = Fail(kProbeWriteFailed, error);
  }
  send.Reset();
  if (result != 0) {
    // Half a send-data file must never be taken for a whole one.
    _fs.DeleteFile_Recover(_send_path.c_str());
    return result;
  }
  DeleteJoinedFiles();
  return 0;
}

DWORD CProbeReader::WriteSendBlock(HANDLE send, const std::string& joined,
                                   const std::string& block_name) {
  WIN32_FILE_ATTRIBUTE_DATA attributes = {};
  if (GetFileAttributesExA(joined.c_str(), GetFileExInfoStandard, &attributes)) {
    _source_size +=
        (static_cast<uint64_t>(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow;
  }
  const std::string packed = joined + ".DAT";
  if (!_gzip.GZipFile_Recover(joined, packed)) {
    OV_LOG(kLogError, "プローブファイル圧縮失敗 ERR:0x%08X", Hex(_gzip.LastError()));
    return Fail(kProbePackFailed, _gzip.LastError());
  }
  std::vector<uint8_t> bytes;
  {
    CFileHandle file = OpenProbeFile(_fs, packed, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (!file) {
      const DWORD error = _fs.LastError();
      OV_LOG(kLogError, "圧縮プローブファイルオープン失敗 ERR:0x%08X", Hex(error));
      _fs.DeleteFile_Recover(packed.c_str());
      return Fail(kProbePackFailed, error);
    }
    const ProbeFileResult read = ReadOpenFile(_fs, file.Get(), &bytes);
    if (read != kProbeFileOk) {
      const DWORD error = read == kProbeFileReadFailed ? _fs.LastError() : ::GetLastError();
      OV_LOG(kLogError,
             read == kProbeFileNoMemory ? "圧縮プローブファイル読込メモリ確保失敗 ERR:0x%08X"
                                        : "圧縮プローブファイル読込失敗 ERR:0x%08X",
             Hex(error));
      file.Reset();
      _fs.DeleteFile_Recover(packed.c_str());
      return Fail(kProbePackFailed, error);
    }
  }
  _fs.DeleteFile_Recover(packed.c_str());

  uint8_t header[kProbeBlockHeaderSize] = {};
  std::memcpy(header, "8BIN", 4);
  PutLe32(header + 4, static_cast<uint32_t>(bytes.size()));
  PutLe32(header + 12, static_cast<uint32_t>(block_name.size()));
  std::memcpy(header + 16, block_name.data(), block_name.size());
  DWORD error = 0;
  if (!WriteAll(_fs, send, header, sizeof(header), &error)) {
    OV_LOG(kLogError, "送信データファイルブロックヘッダ書込み失敗 ERR:0x%08X", Hex(error));
    return Fail(kProbeWriteFailed, error);
  }
  if (!WriteAll(_fs, send, bytes.data(), bytes.size(), &error)) {
    OV_LOG(kLogError, "送信データファイルプローブデータ書込み失敗 ERR:0x%08X", Hex(error));
    return Fail(kProbeWriteFailed, error);
  }
  return 0;
}

DWORD CProbeReader::DeleteTemporaryFiles(const std::vector<std::string>& paths) {
  DWORD error = 0;
  for (const std::string& path : paths) {
    if (_fs.DeleteFile_Recover(path.c_str())) continue;
    error = _fs.LastError();
    OV_LOG(kLogError, "一時データクリア失敗 ERR:0x%08X", Hex(error));
    OV_LOG(kLogError, "\tPath:%s", path.c_str());
  }
  return error;
}

DWORD CProbeReader::WriteOutFile(const std::string& path, const uint8_t* data, size_t size,
                                 DWORD write_code) {
  CFileHandle file = OpenProbeFile(_fs, path, GENERIC_WRITE, 0, CREATE_ALWAYS);
  if (!file) {
    const DWORD error = _fs.LastError();
    OV_LOG(kLogError, "プローブ実ファイル作成失敗 ERR:0x%08X", Hex(error));
    OV_LOG(kLogError, "プローブパス %s", path.c_str());
    return Fail(kProbeOpenFailed, error);
  }
  DWORD error = 0;
  if (!WriteAll(_fs, file.Get(), data, size, &error)) {
    OV_LOG(kLogError, "プローブ実ファイル書込み失敗 ERR:0x%08X", Hex(error));
    OV_LOG(kLogError, "プローブパス %s", path.c_str());
    file.Reset();
    _fs.DeleteFile_Recover(path.c_str());
    return Fail(write_code, error);
  }
  return 0;
}

DWORD CProbeReader::ReadExpandedFile(const std::string& path, const char* open_message,
                                     std::vector<uint8_t>* bytes) {
  CFileHandle file = OpenProbeFile(_fs, path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  if (!file) {
    const DWORD error = _fs.LastError();
    OV_LOG(kLogError, "%s ERR:0x%08X", open_message, Hex(error));
    return Fail(kProbeOpenFailed, error);
  }
  LARGE_INTEGER size = {};
  if (GetFileSizeEx(file.Get(), &size) && (size.QuadPart >> 32) != 0) {
    OV_LOG(kLogError, "走行履歴ファイルサイズ大 0x%X%08X byte",
           static_cast<unsigned>(size.QuadPart >> 32), static_cast<unsigned>(size.QuadPart));
  }
  const ProbeFileResult read = ReadOpenFile(_fs, file.Get(), bytes);
  const DWORD read_error = read == kProbeFileShort      ? static_cast<DWORD>(ERROR_HANDLE_EOF)
                           : read == kProbeFileNoMemory ? ::GetLastError()
                                                        : _fs.LastError();
  file.Reset();
  _fs.DeleteFile_Recover(path.c_str());
  if (read == kProbeFileNoMemory) {
    OV_LOG(kLogError, "走行履歴結合時のメモリ確保失敗 ERR:0x%08X", Hex(read_error));
    return Fail(kProbeBadPath, read_error);
  }
  if (read != kProbeFileOk) {
    OV_LOG(kLogError, "走行履歴結合時のファイル読込失敗 ERR:0x%08X", Hex(read_error));
    return Fail(kProbeReadFailed, read_error);
  }
  return 0;
}
