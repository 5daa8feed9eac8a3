// Packs a folder, with everything below it, into one new zip archive (the
// main program packs its log folder for upload). Entry names are relative
// to the folder with "\" between parts; a folder's own entry, made only for
// an empty folder, ends in "\". Every entry is deflated at the default
// level. Files are read shared, so folders that programs are still logging
// into can be packed. The first failure ends the packing and removes the
// partial archive; the platform error of the last failure stays in the
// object. One object serves one thread.
#pragma once

#include "OvWindows.h"
#include "zlib/ZipWriter.h"

#include <string>

class CZipIF final {
 public:
  CZipIF() = default;
  ~CZipIF() = default;
  CZipIF(const CZipIF&) = delete;
  CZipIF& operator=(const CZipIF&) = delete;

  DWORD LastError() const { return _last_error; }

  // 1 when the archive was written, else 0. The target's missing folders
  // are created. An archive written into the packed folder is not packed
  // into itself.
  int ZipFolder(const std::string& source, const std::string& target);

  // Adds the folder's entries under the name prefix (empty at the top);
  // recursive.
  int _ZipFolderEx(CZipWriter& zip, const std::string& folder, const std::string& prefix);
  int _ZipFileEx(CZipWriter& zip, const std::string& path, const std::string& name);
  int _ZipEmptyFolder(CZipWriter& zip, const std::string& path, const std::string& name);

 private:
  // Keeps the platform error of a failure and answers 0.
  int Failed(DWORD error);
  bool IsTarget(const std::string& path) const;

  DWORD _last_error = 0;
  std::string _target;  // full path of the archive being written
};
