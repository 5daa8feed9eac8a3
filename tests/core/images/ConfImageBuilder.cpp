// Test images; see ConfImageBuilder.h.
#include "ConfImageBuilder.h"

#include "OstrovelleLite/NPCrcCalc.h"

namespace ovtest {
namespace {

void Put16(std::string& out, uint32_t v) {
  out += static_cast<char>((v >> 8) & 0xFF);
  out += static_cast<char>(v & 0xFF);
}

void Put32(std::string& out, uint32_t v) {
  Put16(out, v >> 16);
  Put16(out, v & 0xFFFF);
}

void PutString(std::string& out, const std::string& text) {
  out += text;
  out += '\0';
}

void Align(std::string& out) {
  while (out.size() % 4 != 0) out += '\0';
}

uint16_t CountOr(int count, size_t real) {
  return static_cast<uint16_t>(count >= 0 ? count : static_cast<int>(real));
}

}  // namespace

std::vector<ConfPiece> PiecesOf(const std::vector<std::string>& contents) {
  std::vector<ConfPiece> pieces;
  for (const std::string& content : contents) {
    pieces.push_back(
        {static_cast<uint32_t>(content.size()), NPCrcCalc::Of(content.data(), content.size())});
  }
  return pieces;
}

std::vector<std::string> CutIntoPieces(const std::string& content, size_t piece_size) {
  std::vector<std::string> pieces;
  for (size_t at = 0; at < content.size(); at += piece_size) {
    pieces.push_back(content.substr(at, piece_size));
  }
  return pieces;
}

CConfImageBuilder& CConfImageBuilder::WholeFile(const std::string& name, uint32_t size,
                                                uint16_t path_index, uint16_t extra_flags) {
  ConfFileSpec spec;
  spec.name = name;
  spec.size = size;
  spec.flags = static_cast<uint16_t>(0x200 | extra_flags);
  spec.path_index = path_index;
  return File(spec);
}

CConfImageBuilder& CConfImageBuilder::SplitFile(const std::string& name,
                                                const std::vector<std::string>& contents,
                                                uint16_t path_index, uint16_t extra_flags) {
  ConfFileSpec spec;
  spec.name = name;
  for (const std::string& content : contents) spec.size += static_cast<uint32_t>(content.size());
  spec.flags = extra_flags;
  spec.path_index = path_index;
  spec.pieces = PiecesOf(contents);
  return File(spec);
}

std::string CConfImageBuilder::Build() const {
  std::string out;
  Put32(out, _v1);
  Put32(out, _v2);
  Put32(out, _v3);
  Put16(out, _version);
  Put16(out, _flags | (_has_xml ? 0x400 : 0));
  Put16(out, CountOr(_file_count, _files.size()));
  Put16(out, CountOr(_string_count, _strings.size()));
  Put16(out, CountOr(_path_count, _paths.size()));
  Put16(out, 0);
  PutString(out, _title);
  for (const ConfFileSpec& file : _files) {
    PutString(out, file.name);
    Align(out);
    Put32(out, file.size);
    Put16(out, file.flags);
    Put16(out, file.value16);
    Put32(out, file.value32);
    Put16(out, file.path_index);
    Put16(out, CountOr(file.piece_count, file.pieces.size()));
    for (const ConfPiece& piece : file.pieces) {
      Put32(out, piece.size);
      Put16(out, piece.crc);
      Put16(out, 0);
    }
  }
  for (const std::string& text : _strings) PutString(out, text);
  for (const std::string& path : _paths) PutString(out, path);
  if (_has_xml) out += _xml;
  out += _trailer;
  return out;
}

std::string BuildPackedImage(const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string out;
  Put16(out, static_cast<uint32_t>(entries.size()));
  for (const auto& entry : entries) {
    Put32(out, static_cast<uint32_t>(entry.second.size()));
    PutString(out, entry.first);
    out += entry.second;
    Align(out);
  }
  return out;
}

}  // namespace ovtest
