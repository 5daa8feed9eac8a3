// The chunked copy; see ChunkedCopy.h.
#include "ChunkedCopy.h"

#include "Handle.h"

#include <atomic>
#include <cstddef>
#include <cwchar>
#include <vector>

namespace {

// The platform's information calls on an open file (Vista and later; none
// on XP, where a copy is moved after its close instead), with the two
// records they take here, as documented.
constexpr int kFileBasicInfo = 0;
constexpr int kFileRenameInfo = 3;
struct BasicInfo {
  LARGE_INTEGER creation_time;
  LARGE_INTEGER last_access_time;
  LARGE_INTEGER last_write_time;
  LARGE_INTEGER change_time;
  DWORD attributes;
};
struct RenameInfo {
  DWORD replace_if_exists;  // a byte on older systems, flags since: 1 means the same
  HANDLE root_directory;
  DWORD name_bytes;
  wchar_t name[1];
};
using SetInformationCall = BOOL(WINAPI*)(HANDLE, int, void*, DWORD);

SetInformationCall SetInformation() {
  static const SetInformationCall call =
      reinterpret_cast<SetInformationCall>(reinterpret_cast<void*>(
          GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetFileInformationByHandle")));
  return call;
}

constexpr DWORD kDefaultChunk = 1024 * 1024;
std::atomic<DWORD> g_chunk_size{kDefaultChunk};

bool IsCancelled(const BOOL* cancel) {
  // The flag is written by another thread while we copy.
  return cancel && *static_cast<const volatile BOOL*>(cancel);
}

// One copy in progress: the open files and the progress reporting.
class CChunkedCopy final {
 public:
  // final_path: null for a plain copy, else the name the open copy takes
  // once it is whole.
  CChunkedCopy(const wchar_t* source, const wchar_t* target, const wchar_t* final_path,
               LPPROGRESS_ROUTINE progress, void* data, BOOL* cancel)
      : _source_path(source),
        _target_path(target),
        _final_path(final_path),
        _progress(progress),
        _data(data),
        _cancel(cancel) {}

  // 0 on success, else the platform error.
  DWORD Run(DWORD flags);
  // After a successful run with a final name: whether the copy took it, and
  // the rename's error when it did not.
  bool Renamed() const { return _renamed; }
  DWORD RenameError() const { return _rename_error; }

 private:
  DWORD OpenFiles(DWORD flags);
  // The whole copy's attributes and time, then its final name, on the open
  // handle.
  DWORD FinishInPlace();
  DWORD CopyData();
  // 0 to go on, 1235 when the routine asks to end the copy.
  DWORD Report(DWORD reason);

  const wchar_t* _source_path;  // not owned
  const wchar_t* _target_path;  // not owned
  const wchar_t* _final_path;   // not owned; may be null
  LPPROGRESS_ROUTINE _progress;
  void* _data;
  BOOL* _cancel;  // not owned
  bool _quiet = false;
  CFileHandle _source;
  CFileHandle _target;
  DWORD _attributes = 0;
  FILETIME _last_write = {};
  LARGE_INTEGER _total = {};
  LARGE_INTEGER _done = {};
  bool _renamed = false;
  DWORD _rename_error = 0;
};

DWORD CChunkedCopy::Run(DWORD flags) {
  DWORD error = OpenFiles(flags);
  if (error) return error;
  error = Report(CALLBACK_STREAM_SWITCH);
  if (!error) error = CopyData();
  if (_final_path) {
    if (!error) error = FinishInPlace();
    _target.Reset();
    if (error) DeleteFileW(_target_path);
    return error;
  }
  if (!error && !SetFileTime(_target.Get(), nullptr, nullptr, &_last_write)) {
    error = GetLastError();
  }
  _target.Reset();
  // The target was made with every attribute but read-only.
  if (!error && (_attributes & FILE_ATTRIBUTE_READONLY) &&
      !SetFileAttributesW(_target_path, _attributes)) {
    error = GetLastError();
  }
  // A half-written target must never pass for a copy.
  if (error) DeleteFileW(_target_path);
  return error;
}

DWORD CChunkedCopy::OpenFiles(DWORD flags) {
  _source.Reset(CreateFileW(_source_path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!_source) return GetLastError();
  // Three small queries rather than the whole handle information: that one
  // also asks for the volume's serial, which costs more than the rest of a
  // small file's copy under Wine.
  _attributes = GetFileAttributesW(_source_path);
  if (_attributes == INVALID_FILE_ATTRIBUTES) return GetLastError();
  if (!GetFileSizeEx(_source.Get(), &_total)) return GetLastError();
  if (!GetFileTime(_source.Get(), nullptr, nullptr, &_last_write)) return GetLastError();
  const DWORD disposition = (flags & COPY_FILE_FAIL_IF_EXISTS) ? CREATE_NEW : CREATE_ALWAYS;
  // Written first, so the read-only bit is set only once the data is in.
  DWORD attributes =
      (_attributes & ~(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) | FILE_ATTRIBUTE_NORMAL;
  DWORD access = GENERIC_WRITE;
  if (_final_path) {
    // Renamed while open, so each write must be on the device before the
    // name is: the rename needs the right to delete the temporary name.
    access |= DELETE;
    attributes |= FILE_FLAG_WRITE_THROUGH;
  }
  _target.Reset(CreateFileW(_target_path, access, 0, nullptr, disposition, attributes, nullptr));
  if (!_target) {
    const DWORD error = GetLastError();
    // Nothing of ours to clean up: the target is not ours.
    _source.Reset();
    return error == 0 ? ERROR_CANNOT_MAKE : error;
  }
  return 0;
}

DWORD CChunkedCopy::FinishInPlace() {
  const SetInformationCall set_information = SetInformation();
  if (!set_information) {
    // Left whole under the temporary name, for the caller to move.
    if (!SetFileTime(_target.Get(), nullptr, nullptr, &_last_write)) return GetLastError();
    _rename_error = ERROR_CALL_NOT_IMPLEMENTED;
    if (_attributes & FILE_ATTRIBUTE_READONLY) {
      _target.Reset();
      if (!SetFileAttributesW(_target_path, _attributes)) return GetLastError();
    }
    return 0;
  }
  BasicInfo basic = {};
  basic.last_write_time.LowPart = _last_write.dwLowDateTime;
  basic.last_write_time.HighPart = static_cast<LONG>(_last_write.dwHighDateTime);
  // The copy was made with the source's attributes but read-only; only a
  // read-only source's are set again, now that the data is in. Zero leaves
  // them as they are: setting them costs three more system calls a file
  // under Wine, one of them a change of the file's inode.
  const DWORD kept = _attributes & ~(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_NORMAL);
  if (kept & FILE_ATTRIBUTE_READONLY) basic.attributes = kept;
  if (!set_information(_target.Get(), kFileBasicInfo, &basic, sizeof(basic))) {
    return GetLastError();
  }
  const size_t name_bytes = std::wcslen(_final_path) * sizeof(wchar_t);
  std::vector<unsigned char> buffer(offsetof(RenameInfo, name) + name_bytes + sizeof(wchar_t));
  auto* rename = reinterpret_cast<RenameInfo*>(buffer.data());
  rename->replace_if_exists = 1;
  rename->root_directory = nullptr;
  rename->name_bytes = static_cast<DWORD>(name_bytes);
  std::wmemcpy(rename->name, _final_path, name_bytes / sizeof(wchar_t) + 1);
  if (set_information(_target.Get(), kFileRenameInfo, rename, static_cast<DWORD>(buffer.size()))) {
    _renamed = true;
  } else {
    _rename_error = GetLastError();
  }
  return 0;
}

DWORD CChunkedCopy::CopyData() {
  const DWORD chunk = g_chunk_size.load();
  // One buffer per thread for all its copies: a fresh megabyte for every
  // small file costs as much as copying it.
  thread_local std::vector<char> buffer;
  if (buffer.size() != chunk) buffer.assign(chunk, '\0');
  for (;;) {
    if (IsCancelled(_cancel)) return ERROR_REQUEST_ABORTED;
    DWORD read = 0;
    if (!ReadFile(_source.Get(), buffer.data(), chunk, &read, nullptr)) return GetLastError();
    if (read == 0) return 0;
    for (DWORD offset = 0; offset < read;) {
      DWORD written = 0;
      if (!WriteFile(_target.Get(), buffer.data() + offset, read - offset, &written, nullptr)) {
        return GetLastError();
      }
      if (written == 0) return ERROR_WRITE_FAULT;
      offset += written;
    }
    _done.QuadPart += read;
    const DWORD error = Report(CALLBACK_CHUNK_FINISHED);
    if (error) return error;
  }
}

DWORD CChunkedCopy::Report(DWORD reason) {
  if (!_progress || _quiet) return 0;
  const DWORD answer =
      _progress(_total, _done, _total, _done, 1, reason, _source.Get(), _target.Get(), _data);
  switch (answer) {
    case PROGRESS_CONTINUE:
      return 0;
    case PROGRESS_QUIET:
      _quiet = true;
      return 0;
    default:  // cancel or stop: a partial copy cannot be resumed here
      return ERROR_REQUEST_ABORTED;
  }
}

}  // namespace

BOOL CopyFileChunked(const wchar_t* source, const wchar_t* target, LPPROGRESS_ROUTINE progress,
                     void* data, BOOL* cancel, DWORD flags) {
  if (!source || !target) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const DWORD error = CChunkedCopy(source, target, nullptr, progress, data, cancel).Run(flags);
  SetLastError(error);
  return error == 0;
}

BOOL CopyFileChunkedAndRename(const wchar_t* source, const wchar_t* temporary,
                              const wchar_t* final_name, LPPROGRESS_ROUTINE progress, void* data,
                              BOOL* cancel, BOOL* renamed) {
  if (renamed) *renamed = FALSE;
  if (!source || !temporary || !final_name || !renamed) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  CChunkedCopy copy(source, temporary, final_name, progress, data, cancel);
  const DWORD error = copy.Run(0);
  if (error) {
    SetLastError(error);
    return FALSE;
  }
  *renamed = copy.Renamed() ? TRUE : FALSE;
  SetLastError(copy.RenameError());
  return TRUE;
}

namespace copytest {
void SetChunkSize(DWORD bytes) { g_chunk_size.store(bytes ? bytes : kDefaultChunk); }
}  // namespace copytest
