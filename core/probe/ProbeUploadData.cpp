// The probe upload charge's files: the blocks of a send unit in the
// temporary folder, the combined upload container, and the removal of sent
// trip folders. See ProbeUpload.h.
#include <cstring>
#include <new>

#include "Folders.h"
#include "Log.h"
#include "ProbePath.h"
#include "ProbeUpload.h"
#include "WinFileSystemLib.h"

namespace {

constexpr size_t kCombineHeadSize = 24;
constexpr size_t kCombineTailSize = 4;

unsigned Hex(DWORD value) { return static_cast<unsigned>(value); }

void PutLe(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
}

}  // namespace

DWORD CProbeUpload::_SaveSmallUploadData(const std::string& path,
                                         const std::vector<uint8_t>& data) {
  if (path.empty()) {
    OV_LOG(kLogError, "CProbeUpload::_SaveSmallUploadData - パス指定無効");
    return kProbeTempPath;
  }
  CWinFileSystemLib fs(_GetAbortEvent());
  fs.DeleteFile_Recover(path.c_str());
  const std::string folder = GetParentFolder(path);
  if (!PathIsDirectory(folder) && !CreateFolderTree(folder)) {
    _detail = GetLastError();
    OV_LOG(kLogError, "CProbeUpload::_SaveSmallUploadData - フォルダ作成失敗 ERR:0x%08X PATH:%s",
           Hex(_detail), folder.c_str());
    return kProbeTempFolder;
  }
  CFileHandle file = OpenProbeFile(fs, path, GENERIC_WRITE, 0, CREATE_ALWAYS);
  if (!file) {
    _detail = fs.LastError();
    OV_LOG(kLogError,
           "CProbeUpload::_SaveSmallUploadData - 送信一時ファイル作成失敗 ERR:0x%08X PATH:%s",
           Hex(_detail), path.c_str());
    return kProbeTempOpen;
  }
  DWORD error = 0;
  if (!WriteAll(fs, file.Get(), data.data(), data.size(), &error)) {
    _detail = error;
    OV_LOG(kLogError,
           "CProbeUpload::_SaveSmallUploadData - 送信一時ファイル書込失敗 ERR:0x%08X PATH:%s",
           Hex(_detail), path.c_str());
    file.Reset();
    fs.DeleteFile_Recover(path.c_str());
    return kProbeTempWrite;
  }
  return 0;
}

std::string CProbeUpload::_CreateCombineHeader(uint32_t blocks, uint64_t sizes) {
  std::string head = "OFCD01";
  head.append(6, '\0');
  PutLe(head, blocks, 4);
  PutLe(head, static_cast<uint64_t>(blocks) * 8 + sizes, 8);
  return head;
}

DWORD CProbeUpload::_CreateCombineUploadData(const std::vector<std::string>& files,
                                             std::vector<uint8_t>* data) {
  CWinFileSystemLib fs(_GetAbortEvent());
  // The sizes are taken first, for the head; a file that then reads to
  // another size has changed under us and is refused.
  std::vector<uint64_t> sizes;
  uint64_t sum = 0;
  for (const std::string& path : files) {
    WIN32_FILE_ATTRIBUTE_DATA attributes = {};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &attributes)) {
      _detail = GetLastError();
      OV_LOG(kLogError,
             "CProbeUpload::_CreateCombineUploadData - 結合送信データ作成時元ファイルオープン失敗 "
             "ERR:0x%08X FILE:%s",
             Hex(_detail), path.c_str());
      return kProbeTempOpen;
    }
    sizes.push_back((static_cast<uint64_t>(attributes.nFileSizeHigh) << 32) |
                    attributes.nFileSizeLow);
    sum += sizes.back();
  }
  const std::string head = _CreateCombineHeader(static_cast<uint32_t>(files.size()), sum);
  const uint64_t total = files.size() * 8 + sum + kCombineHeadSize + kCombineTailSize;
  if (total >= 0x100000000ull) {
    OV_LOG(kLogError,
           "CProbeUpload::_CreateCombineUploadData - 結合送信データ作成時サイズ不正 SIZE:%lld",
           static_cast<long long>(total));
    return kProbeCombineSize;
  }
  try {
    data->assign(static_cast<size_t>(total), 0);
  } catch (const std::bad_alloc&) {
    _detail = ERROR_NOT_ENOUGH_MEMORY;
    OV_LOG(kLogError,
           "CProbeUpload::_CreateCombineUploadData - 結合送信データ作成時メモリ確保失敗 "
           "SIZE:%lld ERR:0x%08X",
           static_cast<long long>(total), Hex(_detail));
    return kProbeTempPath;
  }
  std::memcpy(data->data(), head.data(), head.size());
  size_t pos = head.size();
  for (size_t i = 0; i < files.size(); ++i) {
    for (int b = 0; b < 8; ++b) (*data)[pos + b] = static_cast<uint8_t>(sizes[i] >> (8 * b));
    pos += 8;
    std::vector<uint8_t> bytes;
    CFileHandle file = OpenProbeFile(fs, files[i], GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (!file) {
      _detail = fs.LastError();
      OV_LOG(kLogError,
             "CProbeUpload::_CreateCombineUploadData - 結合送信データ作成時元ファイルオープン失敗 "
             "ERR:0x%08X FILE:%s",
             Hex(_detail), files[i].c_str());
      data->clear();
      return kProbeTempOpen;
    }
    if (ReadOpenFile(fs, file.Get(), &bytes) != kProbeFileOk || bytes.size() != sizes[i]) {
      _detail = bytes.size() != sizes[i] ? static_cast<DWORD>(ERROR_HANDLE_EOF) : fs.LastError();
      OV_LOG(kLogError,
             "CProbeUpload::_CreateCombineUploadData - 結合送信データ作成時元ファイル読込失敗 "
             "ERR:0x%08X FILE:%s",
             Hex(_detail), files[i].c_str());
      data->clear();
      return kProbeTempWrite;
    }
    if (!bytes.empty()) std::memcpy(data->data() + pos, bytes.data(), bytes.size());
    pos += bytes.size();
  }
  std::memcpy(data->data() + pos, "DCFO", kCombineTailSize);
  OV_LOG(kLogInfo, "CProbeUpload::_CreateCombineUploadData - 結合送信データ作成完了 SIZE:%lld",
         static_cast<long long>(total));
  return 0;
}

void CProbeUpload::_DeleteTemporaryFiles(std::vector<std::string>& files) {
  CWinFileSystemLib fs(_GetAbortEvent());
  for (const std::string& path : files) fs.DeleteFile_Recover(path.c_str());
  files.clear();
}

DWORD CProbeUpload::_DeleteProbeFolder(const std::string& source) {
  CWinFileSystemLib fs(_GetAbortEvent());
  fs.DeleteFile_Recover(source.c_str());
  const std::string folder = TripFolderOf(source);
  if (folder.empty() || !fs.RemoveDirectoryAll_Recover(folder.c_str(), TRUE)) {
    _detail = folder.empty() ? static_cast<DWORD>(ERROR_INVALID_PARAMETER) : fs.LastError();
    return kProbeFolderNotDeleted;
  }
  return 0;
}
