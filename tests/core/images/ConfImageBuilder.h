// Builds configuration images and packed multi-file images byte by byte for
// the core's tests and the transfer benchmark: header, title, file entries
// (whole, or split into pieces with their CRC-16), further images, paths and
// an optional XML part.
// Fields can be set to wrong values on purpose to build broken images.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace ovtest {

struct ConfPiece {
  uint32_t size = 0;
  uint16_t crc = 0;
};

struct ConfFileSpec {
  std::string name;
  uint32_t size = 0;
  uint16_t flags = 0;
  uint16_t value16 = 0;
  uint32_t value32 = 0;
  uint16_t path_index = 0;
  std::vector<ConfPiece> pieces;
  // The piece count written into the entry; -1: the number of pieces.
  int piece_count = -1;
};

// Sizes and CRC-16s of the given piece contents.
std::vector<ConfPiece> PiecesOf(const std::vector<std::string>& contents);
// The contents cut into pieces of at most piece_size bytes.
std::vector<std::string> CutIntoPieces(const std::string& content, size_t piece_size);

class CConfImageBuilder final {
 public:
  CConfImageBuilder& Values(uint32_t v1, uint32_t v2, uint32_t v3) {
    _v1 = v1, _v2 = v2, _v3 = v3;
    return *this;
  }
  CConfImageBuilder& Version(uint16_t version) {
    _version = version;
    return *this;
  }
  // Header flags besides the XML flag, which Xml() sets.
  CConfImageBuilder& Flags(uint16_t flags) {
    _flags = flags;
    return *this;
  }
  CConfImageBuilder& Title(const std::string& title) {
    _title = title;
    return *this;
  }
  // A file entry with flag 0x200 and no pieces.
  CConfImageBuilder& WholeFile(const std::string& name, uint32_t size, uint16_t path_index = 0,
                               uint16_t extra_flags = 0);
  // A split file whose size and pieces come from the contents.
  CConfImageBuilder& SplitFile(const std::string& name, const std::vector<std::string>& contents,
                               uint16_t path_index = 0, uint16_t extra_flags = 0);
  CConfImageBuilder& File(const ConfFileSpec& spec) {
    _files.push_back(spec);
    return *this;
  }
  CConfImageBuilder& String(const std::string& text) {
    _strings.push_back(text);
    return *this;
  }
  CConfImageBuilder& Path(const std::string& path) {
    _paths.push_back(path);
    return *this;
  }
  // Sets the XML flag; the text follows the paths.
  CConfImageBuilder& Xml(const std::string& xml) {
    _xml = xml;
    _has_xml = true;
    return *this;
  }
  // Header counts other than the real ones (-1 keeps the real one).
  CConfImageBuilder& Counts(int files, int strings, int paths) {
    _file_count = files, _string_count = strings, _path_count = paths;
    return *this;
  }
  // Bytes appended after everything.
  CConfImageBuilder& Trailer(const std::string& bytes) {
    _trailer = bytes;
    return *this;
  }

  std::string Build() const;

 private:
  uint32_t _v1 = 0x11223344, _v2 = 0x55667788, _v3 = 0x99AABBCC;
  uint16_t _version = 1;
  uint16_t _flags = 0;
  std::string _title;
  std::vector<ConfFileSpec> _files;
  std::vector<std::string> _strings;
  std::vector<std::string> _paths;
  std::string _xml;
  bool _has_xml = false;
  int _file_count = -1, _string_count = -1, _path_count = -1;
  std::string _trailer;
};

// A packed multi-file image of {name, data} entries.
std::string BuildPackedImage(const std::vector<std::pair<std::string, std::string>>& entries);

}  // namespace ovtest
