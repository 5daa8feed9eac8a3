// Data sets for the tests of the map charge's download and transfer: a
// configuration image with its files cut into pieces (plain, gzip of the
// whole file, or gzip of each piece), removal entries and nested images;
// served by the stand-in or laid out in the card's data folder on the PC as
// the download leaves them, with the files the card must hold afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "CoreConnectionParameterData.h"
#include "CoreShareMem.h"
#include "CoreTestSupport.h"
#include "Handle.h"
#include "MapChargeTestSupport.h"
#include "RetryTestSupport.h"
#include "StandIn.h"
#include "map/DownloadList.h"
#include "map/MapChargeProgress.h"

namespace mapdata {

using NamedBytes = std::vector<std::pair<std::string, std::string>>;

// The bytes of the stand-in's "/bytes" pattern, from offset 0.
std::string Pattern(size_t size);
// A gzip file of the bytes.
std::string Gzip(const std::string& bytes);

struct DataFile {
  std::string name;
  std::string content;  // as the card holds it (or the packed image, with 0x400)
  size_t piece_size = 4096;
  uint16_t flags = 0;    // 0x2000, 0x4000, 0x400, ...
  uint16_t crc_xor = 0;  // spoils the image's CRC-16 of the whole file
};

// One configuration image. All its files lie under its one path entry.
class CDataImage final {
 public:
  explicit CDataImage(const std::string& path_entry) : _path(path_entry) {}

  CDataImage& File(const DataFile& file) {
    _files.push_back(file);
    return *this;
  }
  CDataImage& File(const std::string& name, const std::string& content, size_t piece_size = 4096,
                   uint16_t flags = 0);
  // An entry with flag 0x200: removes the file (or, for a name with ".\",
  // the folder of the path entry) from the card.
  CDataImage& Removal(const std::string& name) {
    _removals.push_back(name);
    return *this;
  }
  // A string entry: a further image.
  CDataImage& Nested(const std::string& name) {
    _nested.push_back(name);
    return *this;
  }

  const std::string& PathEntry() const { return _path; }
  const std::vector<DataFile>& Files() const { return _files; }
  std::string Build() const;
  // (piece path below the image's folder with "\", bytes).
  NamedBytes Pieces() const;
  // (path below the card's root, bytes) of every file the card must hold.
  NamedBytes CardFiles() const;
  // The sum of the pieces' sizes.
  uint64_t PiecesSize() const;

 private:
  std::string _path;
  std::vector<DataFile> _files;
  std::vector<std::string> _removals;
  std::vector<std::string> _nested;
};

// Serves the image at url_path ("/mapdata/02/01/1.0/DATA.CNF") and its
// pieces below the image's folder and path entry; false when the stand-in
// refused a scenario.
bool Serve(const ovtest::CStandIn& standin, const std::string& url_path, const CDataImage& image);
// The stand-in's path of an image's piece.
std::string PieceUrlPath(const std::string& image_url_path, const std::string& piece);

// The folder of a data set in the data folder, ending in a backslash.
std::string SetFolder(const std::string& data_folder, uint8_t kind, uint8_t detail,
                      const std::string& name);
// Writes the image (as image_name) and its pieces into the set folder;
// pieces whose names climb out with ".." are left out.
bool LayOut(const std::string& set_folder, const std::string& image_name, const CDataImage& image);
// The data set's download-management record, complete.
bool Register(const std::string& data_folder, uint8_t kind, uint8_t detail, const std::string& name,
              const std::string& image_name = "DATA.CNF", uint8_t percent = 100);

// The map charge's fixture with what the download and the transfer report
// to: a window of the test's thread, the two progress blocks under names of
// the test's own, an abort event, and retry pauses recorded instead of made.
class CMapDataFixture : public maptest::CMapChargeFixture {
 protected:
  void SetUp() override;
  // A failed test shows the log it left.
  void TearDown() override;

  // A download-list record.
  static CDownloadListData Record(uint8_t kind, uint8_t detail, const std::string& version,
                                  uint64_t size, uint8_t order = 0);
  // The stand-in's path of a record's image, as its default address names it.
  static std::string ImageUrlPath(const CDownloadListData& record,
                                  const std::string& image = "DATA.CNF");
  // The records and their configuration requests as the download takes them.
  void Plan(const std::vector<CDownloadListData>& records, CDownloadList* list,
            std::vector<core::ConnectionParameterData>* parameters) const;
  // The block as a second reader sees it: opened by name, read under its
  // "_MTX_EXT" mutex.
  MapProgressWords ReadBlock(uint32_t phase) const;
  // Dispatches what was posted to the window so far.
  void Drain() const;
  // The stand-in's requests whose path begins with the prefix.
  std::vector<ovtest::StandInRequest> RequestsUnder(const std::string& prefix) const;
  size_t CountRequests(const std::string& path) const;

  coretest::CRecorderWindow window;
  ovtest::CPauseRecorder pauses;
  core::CBlockShareMem download_block;
  core::CBlockShareMem transfer_block;
  CHandle abort_event;
  std::string data_folder;
};

}  // namespace mapdata
