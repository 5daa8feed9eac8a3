// Packing a file into a gzip file and unpacking one, over zlib's gzip file
// functions, in pieces of at most 16 MiB, with retrying forms that follow
// the file operations' retry scheme (RetryPause.h). Every failure is logged
// and leaves its error in the object: the platform's last error, or zlib's
// error number when zlib names one. A failed packing or unpacking removes
// the half-written target.
// One object serves one thread; the abort event (not owned) is set by
// another thread and only shortens the pauses between tries.
#pragma once

#include "GzStream.h"
#include "OvWindows.h"

#include <zlib.h>

#include <string>

class CGZipIF final {
 public:
  explicit CGZipIF(HANDLE abort_event = nullptr) : _abort_event(abort_event) {}
  ~CGZipIF() = default;
  CGZipIF(const CGZipIF&) = delete;
  CGZipIF& operator=(const CGZipIF&) = delete;

  DWORD LastError() const { return _last_error; }

  // Packs source into a new gzip file at target. A missing source (or a
  // folder) sets error 2 without a log line.
  bool GZipFile(const std::string& source, const std::string& target);
  // Packs source into the open stream, which it takes and closes in every
  // case.
  bool GZipFileEx(CGzStream stream, const std::string& source);
  // Unpacks a gzip file; a file that is not gzip is copied as it is. A
  // truncated or damaged gzip file fails.
  bool UnGZipFile(const std::string& source, const std::string& target);
  bool UnGZipFileEx(const std::string& source, const std::string& target);

  // Up to three tries, the error reset before each, a pause after each
  // failure; one summary line after the last.
  bool GZipFile_Recover(const std::string& source, const std::string& target);
  bool UnGZipFile_Recover(const std::string& source, const std::string& target);

 private:
  using Operation = bool (CGZipIF::*)(const std::string&, const std::string&);
  bool Recover(Operation operation, const char* name, const std::string& source,
               const std::string& target);
  // Keeps zlib's error of the stream (or, when zlib names none, the
  // platform's) and logs zlib's message with the given prefix.
  void KeepZlibError(gzFile stream, DWORD platform_error, const char* message_prefix);
  // Closes a written stream; a close that cannot flush is a failure.
  bool CloseWritten(CGzStream& stream, const std::string& source);

  DWORD _last_error = 0;
  HANDLE _abort_event;  // not owned
};
