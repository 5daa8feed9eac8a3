// The core's side of the download-management file: the record writer and
// the deletion of local data sets up to a version. One object serves one
// thread; the file is rewritten whole through a temporary file.
#pragma once

#include "OstrovelleLite/DownloadManageFile.h"

#include <cstdint>
#include <string>

namespace core {

class CDownloadManageFile final : public ::CDownloadManageFile {
 public:
  using ::CDownloadManageFile::CDownloadManageFile;

  // Writes the record of (major, minor, name) in place, or appends it; its
  // local path is ".\mm\nn\<name>\<last part of data_set_path>". Nothing is
  // written to a file that cannot be read or whose last record is cut.
  bool SetDLManage(uint8_t major, uint8_t minor, const std::string& name, uint8_t progress,
                   uint8_t rebuild_flag, const std::string& data_set_path);
  // Deletes the local data of every record of the category whose name's
  // version is not above `version`.
  bool _DeleteLocalDataUnderVersion(uint8_t major, uint8_t minor, uint32_t version,
                                    const std::string& download_folder);
};

}  // namespace core
