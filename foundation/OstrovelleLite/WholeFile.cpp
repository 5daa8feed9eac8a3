// Whole-file reads and replacing writes; see WholeFile.h.
#include "OstrovelleLite/WholeFile.h"

#include "StringUtil.h"

namespace {

constexpr int kReplaceAttempts = 10;
constexpr DWORD kReplacePauseMs = 50;

void RemoveFile(const std::wstring& path) {
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(path.c_str());
}

}  // namespace

CReplaceFileWriter::CReplaceFileWriter(const std::wstring& path, DWORD attributes)
    : _path(path), _temp(path + L".new"), _attributes(attributes) {}

CReplaceFileWriter::CReplaceFileWriter(const std::string& path, DWORD attributes)
    : CReplaceFileWriter(ToWide(path), attributes) {}

CReplaceFileWriter::~CReplaceFileWriter() {
  _file.Reset();
  if (!_committed) RemoveFile(_temp);
}

bool CReplaceFileWriter::Fail(DWORD error) {
  if (_error == 0) _error = error ? error : ERROR_GEN_FAILURE;
  SetLastError(_error);
  return false;
}

bool CReplaceFileWriter::Open() {
  if (_path.empty()) return Fail(ERROR_INVALID_PARAMETER);
  // A leftover of an interrupted write may carry attributes that refuse
  // CREATE_ALWAYS.
  RemoveFile(_temp);
  _file.Reset(CreateFileW(_temp.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                          _attributes, nullptr));
  if (!_file) return Fail(GetLastError());
  return true;
}

bool CReplaceFileWriter::Write(const void* data, size_t size) {
  if (!_file) return Fail(ERROR_INVALID_HANDLE);
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const DWORD chunk = size > 0x100000 ? 0x100000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(_file.Get(), p, chunk, &written, nullptr)) return Fail(GetLastError());
    if (written == 0) return Fail(ERROR_DISK_FULL);
    p += written;
    size -= written;
  }
  return true;
}

bool CReplaceFileWriter::Commit() {
  if (!_file) return Fail(ERROR_INVALID_HANDLE);
  if (!FlushFileBuffers(_file.Get())) return Fail(GetLastError());
  _file.Reset();
  // An open file cannot be replaced; our readers hold these files only for
  // the moment of a read, so try again a few times before giving up.
  for (int attempt = 0;; ++attempt) {
    if (MoveFileExW(_temp.c_str(), _path.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      _committed = true;
      return true;
    }
    const DWORD error = GetLastError();
    if (attempt >= kReplaceAttempts ||
        (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED)) {
      return Fail(error);
    }
    Sleep(kReplacePauseMs);
  }
}

bool WriteFileReplacing(const std::wstring& path, const std::string& bytes, DWORD attributes,
                        DWORD* error) {
  CReplaceFileWriter writer(path, attributes);
  const bool ok = writer.Open() && writer.Write(bytes) && writer.Commit();
  if (error) *error = ok ? 0 : writer.Error();
  return ok;
}

int ReadWholeFile(const std::wstring& path, size_t max_size, std::string* bytes, DWORD* error) {
  bytes->clear();
  *error = 0;
  CFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    *error = GetLastError();
    return kWholeFileNotOpened;
  }
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.Get(), &size)) {
    *error = GetLastError();
    return kWholeFileReadFailed;
  }
  if (static_cast<uint64_t>(size.QuadPart) > max_size) {
    *error = ERROR_FILE_TOO_LARGE;
    return kWholeFileTooLarge;
  }
  bytes->resize(static_cast<size_t>(size.QuadPart));
  size_t done = 0;
  while (done < bytes->size()) {
    DWORD got = 0;
    const DWORD want =
        static_cast<DWORD>(bytes->size() - done > 0x100000 ? 0x100000 : bytes->size() - done);
    if (!ReadFile(file.Get(), &(*bytes)[done], want, &got, nullptr)) {
      *error = GetLastError();
      bytes->resize(done);
      return kWholeFileReadFailed;
    }
    if (got == 0) break;  // the file shrank under us: what we have is all
    done += got;
  }
  bytes->resize(done);
  return kWholeFileRead;
}

int ReadWholeFile(const std::string& path, size_t max_size, std::string* bytes, DWORD* error) {
  return ReadWholeFile(ToWide(path), max_size, bytes, error);
}
