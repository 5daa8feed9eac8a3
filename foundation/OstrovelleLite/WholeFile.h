// Whole-file reads and writes of the small data files. A file we own is
// written under a temporary name beside it and then put in the place of the
// old one, so that a failed or interrupted write leaves the old file whole.
// One writer object per write, on one thread; the functions are stateless.
#pragma once

#include "Handle.h"

#include <cstddef>
#include <string>

class CReplaceFileWriter final {
 public:
  // `attributes` are given to the new file (FILE_ATTRIBUTE_NORMAL, HIDDEN..).
  CReplaceFileWriter(const std::wstring& path, DWORD attributes);
  CReplaceFileWriter(const std::string& path, DWORD attributes);
  // Removes the temporary file unless Commit succeeded.
  ~CReplaceFileWriter();
  CReplaceFileWriter(const CReplaceFileWriter&) = delete;
  CReplaceFileWriter& operator=(const CReplaceFileWriter&) = delete;

  bool Open();
  // The whole run or false; a short write counts as ERROR_DISK_FULL.
  bool Write(const void* data, size_t size);
  bool Write(const std::string& bytes) { return Write(bytes.data(), bytes.size()); }
  // Flushes, closes and replaces the target.
  bool Commit();

  // The platform error of the first failure.
  DWORD Error() const { return _error; }
  const std::wstring& TempPath() const { return _temp; }

 private:
  bool Fail(DWORD error);

  std::wstring _path;
  std::wstring _temp;
  DWORD _attributes;
  CFileHandle _file;
  DWORD _error = 0;
  bool _committed = false;
};

// One-call form: the bytes become the whole file.
bool WriteFileReplacing(const std::wstring& path, const std::string& bytes, DWORD attributes,
                        DWORD* error);

enum WholeFileReadResult {
  kWholeFileRead = 0,
  kWholeFileNotOpened = 1,  // missing or not openable; the error says which
  kWholeFileTooLarge = 2,
  kWholeFileReadFailed = 3,
};

// Reads a whole file (opened with shared read and write) into `bytes`.
int ReadWholeFile(const std::wstring& path, size_t max_size, std::string* bytes, DWORD* error);
int ReadWholeFile(const std::string& path, size_t max_size, std::string* bytes, DWORD* error);
