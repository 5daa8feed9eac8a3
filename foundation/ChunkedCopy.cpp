// The chunked copy; see ChunkedCopy.h.
#include "ChunkedCopy.h"

#include "Handle.h"

#include <atomic>
#include <vector>

namespace {

constexpr DWORD kDefaultChunk = 1024 * 1024;
std::atomic<DWORD> g_chunk_size{kDefaultChunk};

bool IsCancelled(const BOOL* cancel) {
  // The flag is written by another thread while we copy.
  return cancel && *static_cast<const volatile BOOL*>(cancel);
}

// One copy in progress: the open files and the progress reporting.
class CChunkedCopy final {
 public:
  CChunkedCopy(const wchar_t* source, const wchar_t* target, LPPROGRESS_ROUTINE progress,
               void* data, BOOL* cancel)
      : _source_path(source),
        _target_path(target),
        _progress(progress),
        _data(data),
        _cancel(cancel) {}

  // 0 on success, else the platform error.
  DWORD Run(DWORD flags);

 private:
  DWORD OpenFiles(DWORD flags);
  DWORD CopyData();
  // 0 to go on, 1235 when the routine asks to end the copy.
  DWORD Report(DWORD reason);

  const wchar_t* _source_path;  // not owned
  const wchar_t* _target_path;  // not owned
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
};

DWORD CChunkedCopy::Run(DWORD flags) {
  DWORD error = OpenFiles(flags);
  if (error) return error;
  error = Report(CALLBACK_STREAM_SWITCH);
  if (!error) error = CopyData();
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
  const DWORD attributes =
      (_attributes & ~(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) | FILE_ATTRIBUTE_NORMAL;
  _target.Reset(
      CreateFileW(_target_path, GENERIC_WRITE, 0, nullptr, disposition, attributes, nullptr));
  if (!_target) {
    const DWORD error = GetLastError();
    // Nothing of ours to clean up: the target is not ours.
    _source.Reset();
    return error == 0 ? ERROR_CANNOT_MAKE : error;
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
  const DWORD error = CChunkedCopy(source, target, progress, data, cancel).Run(flags);
  SetLastError(error);
  return error == 0;
}

namespace copytest {
void SetChunkSize(DWORD bytes) { g_chunk_size.store(bytes ? bytes : kDefaultChunk); }
}  // namespace copytest
