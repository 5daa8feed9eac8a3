// The completion-notice file; see CompleteNotifyFile.h.
#include "CompleteNotifyFile.h"

#include <cstring>

#include "Folders.h"
#include "Handle.h"
#include "Log.h"
#include "OvWindows.h"
#include "StringUtil.h"
#include "util/GZipIF.h"

namespace {

void PutU32(char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

uint32_t GetU32(const char* p) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(p[i]);
  return v;
}

void PutText(char* field, const std::string& text) {
  const size_t room = CompleteNotifyRecord::kTextSize - 1;
  const size_t n = text.size() <= room ? text.size() : Cp932SafeLength(text.data(), room);
  memcpy(field, text.data(), n);
}

std::string GetText(const char* field) {
  return std::string(field, strnlen(field, CompleteNotifyRecord::kTextSize));
}

bool FileSize(HANDLE file, uint64_t* size) {
  LARGE_INTEGER value;
  if (!GetFileSizeEx(file, &value)) return false;
  *size = static_cast<uint64_t>(value.QuadPart);
  return true;
}

}  // namespace

std::string CompleteNotifyRecord::Encode() const {
  std::string bytes(kSize, '\0');
  PutU32(&bytes[0], type);
  for (int i = 0; i < 4; ++i) PutU32(&bytes[4 + 4 * i], values[i]);
  memcpy(&bytes[32], block, sizeof(block));
  PutText(&bytes[48], text);
  PutText(&bytes[80], device_no);
  return bytes;
}

CompleteNotifyRecord CompleteNotifyRecord::Decode(const char* bytes) {
  CompleteNotifyRecord record;
  record.type = GetU32(bytes);
  for (int i = 0; i < 4; ++i) record.values[i] = GetU32(bytes + 4 + 4 * i);
  memcpy(record.block, bytes + 32, sizeof(record.block));
  record.text = GetText(bytes + 48);
  record.device_no = GetText(bytes + 80);
  return record;
}

CCompleteNotifyFile::CCompleteNotifyFile()
    : _stored_path(GetDataFolder() + "CompleteNotifyFile.dat"), _work_path(_stored_path + "_ORG") {}

bool CCompleteNotifyFile::AddDownloadNotifyData(const uint32_t values[4], const uint8_t block[16],
                                                const char* text, const char* device_no) {
  OV_LOG(kLogTrace, "CCompleteNotifyFile::AddDownloadNotifyData - Start");
  if (values[1] == 0 || values[1] == 0xFFFFFFFF) return false;
  OV_LOG(kLogTrace, "CCompleteNotifyFile::AddDownloadNotifyData - End");
  return AddNotifyData(CompleteNotifyRecord::kTypeDownload, values, block, text, device_no);
}

bool CCompleteNotifyFile::AddNotifyData(uint32_t type, const uint32_t values[4],
                                        const uint8_t block[16], const char* text,
                                        const char* device_no) {
  OV_LOG(kLogTrace, "CCompleteNotifyFile::AddNotifyData - Start");
  if (!text) return false;
  if (!device_no || !device_no[0]) {
    OV_LOG(kLogError, "CCompleteNotifyFile::AddNotifyData - 完了通知追加時のDeviceNo無し");
  }
  CompleteNotifyRecord record;
  record.type = type;
  memcpy(record.values, values, sizeof(record.values));
  memcpy(record.block, block, sizeof(record.block));
  record.text = text;
  record.device_no = device_no ? device_no : "";

  DeleteFileA(_work_path.c_str());
  if (PathFileExists(_stored_path)) {
    CGZipIF gzip;
    if (!gzip.UnGZipFile(_stored_path, _work_path)) {
      OV_LOG(kLogError, "完了通知追加時の復号化失敗[ERR:0x%08lX]", gzip.LastError());
      DeleteFileA(_work_path.c_str());
      return false;
    }
  }
  // The stored file stays until its successor is whole: a failure below
  // loses no notice that was stored before.
  const bool ok = AppendToWorkCopy(record) && PackWorkCopy();
  DeleteFileA(_work_path.c_str());
  if (ok) OV_LOG(kLogTrace, "CCompleteNotifyFile::AddNotifyData - End");
  return ok;
}

bool CCompleteNotifyFile::AppendToWorkCopy(const CompleteNotifyRecord& record) {
  CFileHandle file(CreateFileA(_work_path.c_str(), GENERIC_WRITE | GENERIC_READ, 0, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    OV_LOG(kLogError, "完了通知追加時のオープン失敗[ERR:0x%08lX]", GetLastError());
    return false;
  }
  uint64_t size = 0;
  FileSize(file.Get(), &size);
  OV_LOG(kLogTrace, "完了通知再送用ファイルサイズ %dbyte", static_cast<int>(size));
  // A damaged file ends inside a record: the new record starts after the
  // last whole one, so every later read stays in step.
  LARGE_INTEGER end;
  end.QuadPart = static_cast<LONGLONG>(size - size % CompleteNotifyRecord::kSize);
  if (size % CompleteNotifyRecord::kSize != 0) {
    OV_LOG(kLogError, "完了通知再送用ファイルサイズ不正 %dbyte", static_cast<int>(size));
  }
  const std::string bytes = record.Encode();
  DWORD written = 0;
  if (!SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN) || !SetEndOfFile(file.Get()) ||
      !WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
      written != bytes.size()) {
    const DWORD error = GetLastError();
    OV_LOG(kLogError, "完了通知追加時の書込み失敗[ERR:0x%08lX]", error ? error : ERROR_WRITE_FAULT);
    return false;
  }
  return true;
}

bool CCompleteNotifyFile::PackWorkCopy() {
  const std::string packed = _stored_path + ".new";
  CGZipIF gzip;
  if (!gzip.GZipFile(_work_path, packed) ||
      !MoveFileExA(packed.c_str(), _stored_path.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD error = gzip.LastError() ? gzip.LastError() : GetLastError();
    OV_LOG(kLogError, "完了通知追加時の暗号化失敗[ERR:0x%08lX]", error);
    DeleteFileA(packed.c_str());
    return false;
  }
  return true;
}

bool CCompleteNotifyFile::ReadFile() {
  OV_LOG(kLogTrace, "CCompleteNotifyFile::ReadFile - Start");
  if (!PathFileExists(_stored_path)) {
    OV_LOG(kLogTrace, "未送信完了通知ファイル無し %s", _stored_path.c_str());
    return true;
  }
  DeleteFileA(_work_path.c_str());
  CGZipIF gzip;
  if (!gzip.UnGZipFile(_stored_path, _work_path)) {
    OV_LOG(kLogError, "未送信完了通知ファイル復号化失敗[ERR:0x%08lX]", gzip.LastError());
    DeleteFileA(_work_path.c_str());
    return false;
  }
  const bool ok = ReadWorkCopy();
  DeleteFileA(_work_path.c_str());
  if (ok) OV_LOG(kLogTrace, "CCompleteNotifyFile::ReadFile - End");
  return ok;
}

bool CCompleteNotifyFile::ReadWorkCopy() {
  CFileHandle file(CreateFileA(_work_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    OV_LOG(kLogError, "未送信完了通知ファイルオープン失敗[ERR:0x%08lX]", GetLastError());
    return false;
  }
  uint64_t size = 0;
  FileSize(file.Get(), &size);
  if (size == 0) {
    OV_LOG(kLogTrace, "未送信完了通知ファイルサイズ０ %s", _stored_path.c_str());
    return false;
  }
  uint64_t done = 0;
  char bytes[CompleteNotifyRecord::kSize];
  while (done < size) {
    DWORD read = 0;
    if (!::ReadFile(file.Get(), bytes, sizeof(bytes), &read, nullptr)) {
      OV_LOG(kLogError, "未送信完了通知ファイル読み込み失敗[ERR:0x%08lX]", GetLastError());
      return false;
    }
    if (read != sizeof(bytes)) {
      OV_LOG(kLogError, "未送信完了通知ファイル読み込みサイズ異常[ERR:0x%08lX]", GetLastError());
      return false;
    }
    _records.push_back(CompleteNotifyRecord::Decode(bytes));
    done += read;
  }
  // The stored file stays until the notices it holds have been taken
  // (KeepOnly): a stop in between loses none of them.
  return true;
}

bool CCompleteNotifyFile::KeepOnly(const std::vector<CompleteNotifyRecord>& left) {
  OV_LOG(kLogTrace, "CCompleteNotifyFile::KeepOnly - Start %d件", static_cast<int>(left.size()));
  if (left.empty()) {
    if (!DeleteFileA(_stored_path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) {
      OV_LOG(kLogError, "再通知読み込み後の削除失敗[ERR:0x%08lX]", GetLastError());
      return false;
    }
    return true;
  }
  // The stored file is replaced only by a whole successor.
  DeleteFileA(_work_path.c_str());
  bool ok = true;
  for (const CompleteNotifyRecord& record : left) {
    ok = ok && AppendToWorkCopy(record);
  }
  ok = ok && PackWorkCopy();
  DeleteFileA(_work_path.c_str());
  return ok;
}

bool CCompleteNotifyFile::GetDownloadNotifyData(CompleteNotifyMap* out) {
  OV_LOG(kLogTrace, "CCompleteNotifyFile::GetDownloadNotifyData - Start");
  if (_records.empty()) ReadFile();
  std::vector<CompleteNotifyRecord> kept;
  for (CompleteNotifyRecord& record : _records) {
    if (record.type == CompleteNotifyRecord::kTypeDownload) {
      (*out)[record.device_no].push_back(std::move(record));
    } else {
      kept.push_back(std::move(record));
    }
  }
  _records = std::move(kept);
  OV_LOG(kLogTrace, "CCompleteNotifyFile::GetDownloadNotifyData - End");
  return true;
}
