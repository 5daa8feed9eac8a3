// What a configuration image says about its data set: the header, the files
// (whole, or split into numbered pieces with their CRC-16), the further
// images, the folder paths and the optional XML part. Filled by
// RNW_ParseConf; read by the data download and the rebuild. An object and
// its iterators belong to one thread at a time.
#pragma once

#include <cstdint>
#include <memory>

#include "map/NList.h"
#include "map/RNW_XmlDocument.h"
#include "xString.h"

// Header flag: an XML part ends the image.
constexpr uint16_t kConfHeaderHasXml = 0x400;
// File flags.
constexpr uint16_t kConfFileWhole = 0x200;    // not split into pieces
constexpr uint16_t kConfFileFlag400 = 0x400;  // read by the data download's file filter

class RNW_ConfHeaderInfo final {
 public:
  uint32_t value1 = 0;
  uint32_t value2 = 0;
  uint32_t value3 = 0;
  uint16_t version = 0;
  uint16_t flags = 0;
  uint16_t file_count = 0;
  uint16_t string_count = 0;
  uint16_t path_count = 0;
  CxString title;
};

class RNW_ConfSplitFileInfo final {
 public:
  RNW_ConfSplitFileInfo(const CxString& name, uint32_t size, uint16_t crc)
      : _name(name), _size(size), _crc(crc) {}
  ~RNW_ConfSplitFileInfo() = default;
  RNW_ConfSplitFileInfo(const RNW_ConfSplitFileInfo&) = delete;
  RNW_ConfSplitFileInfo& operator=(const RNW_ConfSplitFileInfo&) = delete;

  // "<file name>.000", ".001", ...
  const CxString& GetName() const { return _name; }
  uint32_t GetSize() const { return _size; }
  uint16_t GetCrc() const { return _crc; }

 private:
  CxString _name;
  uint32_t _size;
  uint16_t _crc;
};

class RNW_ConfSplitFileInfoList final : public NTypedList<RNW_ConfSplitFileInfo> {};
class RNW_ConfSplitFileInfoListIterator final : public NTypedListIterator<RNW_ConfSplitFileInfo> {
 public:
  using NTypedListIterator::NTypedListIterator;
};

class RNW_ConfFileInfo final {
 public:
  RNW_ConfFileInfo() : _piece_iterator(_pieces) {}
  ~RNW_ConfFileInfo() = default;
  RNW_ConfFileInfo(const RNW_ConfFileInfo&) = delete;
  RNW_ConfFileInfo& operator=(const RNW_ConfFileInfo&) = delete;

  // The name began with "http://" or "https://".
  bool IsUrl() const { return _url; }
  // The name ends in "/" or "\".
  bool IsFolder() const { return _folder; }
  // Up to and including the last separator of a URL name; empty otherwise.
  const CxString& GetBaseUrl() const { return _base_url; }
  const CxString& GetFileName() const { return _file_name; }
  uint32_t GetSize() const { return _size; }
  uint16_t GetFlags() const { return _flags; }
  bool IsWhole() const { return (_flags & kConfFileWhole) != 0; }
  uint16_t GetValue16() const { return _value16; }
  uint32_t GetValue32() const { return _value32; }
  uint16_t GetPathIndex() const { return _path_index; }
  uint16_t GetPieceCount() const { return _piece_count; }
  // The image's path entry that the path index names.
  const CxString& GetPath() const { return _path; }
  const RNW_ConfSplitFileInfoList& GetPieces() const { return _pieces; }
  uint64_t GetPiecesSize() const { return _pieces_size; }
  // The pieces in order; null after the last.
  RNW_ConfSplitFileInfo* NextPiece() { return _piece_iterator.Next(); }
  void ResetPieceIterator() { _piece_iterator.Reset(); }

 private:
  friend class RNW_ParseConf;

  bool _url = false;
  bool _folder = false;
  CxString _base_url;
  CxString _file_name;
  uint32_t _size = 0;
  uint16_t _flags = 0;
  uint16_t _value16 = 0;
  uint32_t _value32 = 0;
  uint16_t _path_index = 0;
  uint16_t _piece_count = 0;
  CxString _path;
  RNW_ConfSplitFileInfoList _pieces;
  uint64_t _pieces_size = 0;
  RNW_ConfSplitFileInfoListIterator _piece_iterator;
};

class RNW_ConfFileInfoList final : public NTypedList<RNW_ConfFileInfo> {};
class RNW_ConfFileInfoListIterator final : public NTypedListIterator<RNW_ConfFileInfo> {
 public:
  using NTypedListIterator::NTypedListIterator;
};

class CxStringList final : public NTypedList<CxString> {};
class CxStringListIterator final : public NTypedListIterator<CxString> {
 public:
  using NTypedListIterator::NTypedListIterator;
};

class RNW_ConfInfo final {
 public:
  RNW_ConfInfo() : _file_iterator(_files), _string_iterator(_strings) {}
  ~RNW_ConfInfo() = default;
  RNW_ConfInfo(const RNW_ConfInfo&) = delete;
  RNW_ConfInfo& operator=(const RNW_ConfInfo&) = delete;

  // Forgets the header and deletes the lists and the XML document.
  void Clear();

  const RNW_ConfHeaderInfo& GetHeader() const { return _header; }
  const RNW_ConfFileInfoList& GetFiles() const { return _files; }
  RNW_ConfFileInfo* NextFile() { return _file_iterator.Next(); }
  void ResetFileIterator() { _file_iterator.Reset(); }
  // The further images of the data set.
  const CxStringList& GetStrings() const { return _strings; }
  CxString* NextString() { return _string_iterator.Next(); }
  void ResetStringIterator() { _string_iterator.Reset(); }
  // Folder paths, with "\" separators.
  const CxStringList& GetPaths() const { return _paths; }
  // Null when the image has no XML part.
  const RNW_XmlDocument* GetXmlDocument() const { return _xml.get(); }

 private:
  friend class RNW_ParseConf;

  RNW_ConfHeaderInfo _header;
  RNW_ConfFileInfoList _files;
  CxStringList _strings;
  CxStringList _paths;
  std::unique_ptr<RNW_XmlDocument> _xml;
  RNW_ConfFileInfoListIterator _file_iterator;
  CxStringListIterator _string_iterator;
};
