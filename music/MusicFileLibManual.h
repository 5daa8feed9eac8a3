// The music library as the manual window's workers use it: abort through the
// worker's abort event, each file copied through a ".TMP" name with progress
// in whole percent of the job's bytes, deletion progress in percent of the
// files, and the listing of one folder in batches.
//
// Threads: an instance lives on one worker's stack for one request. The
// reading of music-file information is serialised across all workers of
// the process by one lock.
#pragma once

#include <cstdint>
#include <string>

#include "MusicFileLib.h"

class CMusicFileThread;

// The percentage rule of both progress reports: over 100 parts, done
// divided by a hundredth of the whole; 1 to 100 parts, done times 100 over
// the whole; none (or fewer), 0.
int ProgressPercent(std::uint64_t done, std::uint64_t whole);
int ProgressPercent(int done, int whole);

// Files larger than this are never listed.
constexpr std::uint64_t kMaxListedFileSize = 102398976;

class CMusicFileLibManual : public libmusic::CMusicFileLib {
 public:
  // worker: not owned; may be null (no abort, nothing posted).
  CMusicFileLibManual(const std::wstring& pc_folder, const std::wstring& sd_folder,
                      CMusicFileThread* worker, std::uint64_t total_bytes = 0);

  bool IsAbort() override;
  using libmusic::CMusicFileLib::TransferFile;
  bool TransferFile(const std::wstring& source, const std::wstring& destination) override;
  void OnDeleteProgress(int done, int total) override;
  // Bytes copied of the whole job so far.
  virtual void OnCopyProgress(std::uint64_t bytes);

  // Appends the music files of the folder (not below it) to the list, at
  // most `maximum` (then error word 4); with a worker, every 20 files are
  // posted as a batch and leave the list. False only for a missing folder
  // argument or an abort; a folder that cannot be searched lists as empty
  // (its error in the system error).
  bool GetFileList(const wchar_t* folder, libmusic::CMusicFileInfoList* list, DWORD target,
                   DWORD maximum);

  std::uint64_t TotalBytes() const { return _total_bytes; }
  std::uint64_t DoneBytes() const { return _done_bytes; }
  int LastPercent() const { return _last_percent; }

 private:
  static DWORD CALLBACK CopyProgress(LARGE_INTEGER total, LARGE_INTEGER transferred,
                                     LARGE_INTEGER stream_size, LARGE_INTEGER stream_transferred,
                                     DWORD stream, DWORD reason, HANDLE source, HANDLE target,
                                     void* context);
  void PostPercent(int percent);

  CMusicFileThread* const _worker;  // not owned
  std::uint64_t _total_bytes;
  std::uint64_t _done_bytes = 0;
  int _last_percent = 0;
};
