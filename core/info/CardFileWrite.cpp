// Whole-file writes on the card; see CardFileWrite.h.
#include "info/CardFileWrite.h"

#include "Handle.h"
#include "Log.h"
#include "util/CoreFileUtil.h"

namespace {

std::string ParentFolder(const std::string& path) {
  const size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

uint32_t WriteWhole(CWinFileSystemLib& files, const std::string& path, const void* data,
                    size_t size, DWORD* error) {
  *error = 0;
  const std::string folder = ParentFolder(path);
  if (!folder.empty() && !PathCreateDirectory(folder)) {
    *error = GetLastError();
    return kCardFileOpenFailed;
  }
  const std::string temp = path + ".tmp";
  files.DeleteFile_Recover(temp.c_str());
  CFileHandle file = files.CreateFile_Recover(temp.c_str(), GENERIC_WRITE, 0, nullptr,
                                              CREATE_ALWAYS, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (!file) {
    *error = files.LastError();
    return kCardFileOpenFailed;
  }
  DWORD written = 0;
  const DWORD wanted = static_cast<DWORD>(size);
  bool whole = files.WriteFile_Recover(file.Get(), data, wanted, &written, nullptr) != FALSE;
  if (!whole) {
    *error = files.LastError();
  } else if (written != wanted) {
    whole = false;
    *error = ERROR_DISK_FULL;
  } else if (!FlushFileBuffers(file.Get())) {
    whole = false;
    *error = GetLastError();
  }
  file.Reset();
  if (whole && files.MoveFileEx_Recover(temp.c_str(), path.c_str(),
                                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return 0;
  }
  if (whole) *error = files.LastError();
  files.DeleteFile_Recover(temp.c_str());
  return kCardFileWriteFailed;
}

}  // namespace

uint32_t WriteCardFile(CWinFileSystemLib& files, const std::string& path, const void* data,
                       size_t size, const char* name, DWORD* error) {
  const uint32_t code = WriteWhole(files, path, data, size, error);
  if (code == kCardFileOpenFailed) {
    OV_LOG(kLogError, "%s書込み時のファイルオープン失敗[ERR:0x%08X].%s", name,
           static_cast<unsigned>(*error), path.c_str());
  } else if (code != 0) {
    OV_LOG(kLogError, "%s書込み失敗[ERR:0x%08X", name, static_cast<unsigned>(*error));
  }
  return code;
}
