// Configuration images; see RNW_ParseConf.h. Every fault of the image is
// thrown inside as a lib exception and ends in Parse's result.
#include "map/RNW_ParseConf.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "Log.h"
#include "map/ParseError.h"

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool StartsWith(const CxString& text, const char* prefix) {
  const size_t n = strlen(prefix);
  return static_cast<size_t>(text.GetLength()) >= n && memcmp(text.c_str(), prefix, n) == 0;
}

CxString MakeCxString(const char* bytes, size_t length) {
  CxString text;
  if (!text.SetLength(bytes, static_cast<int>(length))) throw std::bad_alloc();
  return text;
}

struct NameParts {
  bool url = false;
  bool folder = false;
  size_t base_length = 0;  // bytes of the base URL, separator included
};

// Splits a file entry's name. Scans forward so that the trail byte of a
// double-byte character (0x5C in 表) is never taken for a backslash.
NameParts SplitName(const CxString& name) {
  NameParts parts;
  const char* text = name.c_str();
  const size_t length = static_cast<size_t>(name.GetLength());
  size_t last_char = 0;
  size_t last_separator = 0;  // 0: none at a position of 1 or more
  for (size_t i = 0; i < length;) {
    last_char = i;
    const bool lead = IsCp932LeadByte(static_cast<unsigned char>(text[i])) && i + 1 < length;
    // Up to the second-to-last character: a trailing separator marks a
    // folder and stays with its name.
    if (!lead && IsSeparator(text[i]) && i >= 1 && i + 1 < length) last_separator = i;
    i += lead ? 2 : 1;
  }
  parts.folder = length > 0 && last_char == length - 1 && IsSeparator(text[length - 1]);
  parts.url = StartsWith(name, "http://") || StartsWith(name, "https://");
  if (parts.url && last_separator > 0) parts.base_length = last_separator + 1;
  return parts;
}

CxString PieceName(const CxString& file_name, unsigned index) {
  char suffix[16];
  snprintf(suffix, sizeof suffix, ".%03u", index);
  std::string name(file_name.c_str(), static_cast<size_t>(file_name.GetLength()));
  name += suffix;
  return MakeCxString(name.data(), name.size());
}

}  // namespace

// ---------------------------------------------------------------------------
// RNW_ParseBase

void RNW_ParseBase::SetRange(const void* start, size_t size) {
  _start = static_cast<const unsigned char*>(start);
  _cursor = _start;
  _end = _start + size;
}

bool RNW_ParseBase::HasNulAhead() const {
  const size_t remaining = GetRemaining();
  return remaining > 0 && memchr(_cursor, 0, remaining) != nullptr;
}

void RNW_ParseBase::SkipToAligned() {
  while (_cursor < _end && !IsAligned()) ++_cursor;
}

void RNW_ParseBase::RequireAligned(size_t count, const char* what) const {
  if (!IsAligned() || GetRemaining() < count) ThrowParseError(what);
}

uint16_t RNW_ParseBase::ReadU16() {
  if (GetRemaining() < 2) ThrowParseError("conf: number cut short");
  const uint16_t value = static_cast<uint16_t>((_cursor[0] << 8) | _cursor[1]);
  _cursor += 2;
  return value;
}

uint32_t RNW_ParseBase::ReadU32() {
  if (GetRemaining() < 4) ThrowParseError("conf: number cut short");
  const uint32_t value = (static_cast<uint32_t>(_cursor[0]) << 24) |
                         (static_cast<uint32_t>(_cursor[1]) << 16) |
                         (static_cast<uint32_t>(_cursor[2]) << 8) | _cursor[3];
  _cursor += 4;
  return value;
}

CxString RNW_ParseBase::ReadString(const char* what) {
  if (!HasNulAhead()) ThrowParseError(what);
  const size_t length = strlen(reinterpret_cast<const char*>(_cursor));
  CxString text = MakeCxString(reinterpret_cast<const char*>(_cursor), length);
  _cursor += length + 1;
  return text;
}

// ---------------------------------------------------------------------------
// RNW_ConfInfo

void RNW_ConfInfo::Clear() {
  _header = RNW_ConfHeaderInfo();
  _files.Clear();
  _strings.Clear();
  _paths.Clear();
  _xml.reset();
  _file_iterator.Reset();
  _string_iterator.Reset();
}

// ---------------------------------------------------------------------------
// RNW_ParseConf

int RNW_ParseConf::Parse(const void* bytes, size_t size, RNW_ConfInfo& info) {
  info.Clear();
  _error.clear();
  if (!bytes || size == 0) {
    _error = "conf: no bytes";
    return 0;
  }
  SetRange(bytes, size);
  try {
    ParseImage(info);
    return 1;
  } catch (const lib::Exception& e) {
    _error = e.what();
  } catch (const std::bad_alloc&) {
    _error = "conf: out of memory";
  }
  OV_LOG(kLogTrace, "RNW_ParseConf::Parse - %s [OFFSET:%u SIZE:%u]", _error.c_str(),
         static_cast<unsigned>(GetOffset()), static_cast<unsigned>(size));
  info.Clear();
  return 0;
}

void RNW_ParseConf::ParseImage(RNW_ConfInfo& info) {
  ReadHeader(info._header);
  const RNW_ConfHeaderInfo& header = info._header;
  for (unsigned i = 0; i < header.file_count; ++i) info._files.Append(ReadFileEntry());
  for (unsigned i = 0; i < header.string_count; ++i) {
    info._strings.Append(std::make_unique<CxString>(ReadString("conf: string cut short")));
  }
  for (unsigned i = 0; i < header.path_count; ++i) {
    auto path = std::make_unique<CxString>(ReadString("conf: path cut short"));
    // "/" is never the trail byte of a double-byte character.
    if (!path->Replace("/", "\\")) throw std::bad_alloc();
    info._paths.Append(std::move(path));
  }
  if (header.flags & kConfHeaderHasXml) {
    ReadXml(info);
  } else if (GetRemaining() != 0) {
    ThrowParseError("conf: bytes after the last path");
  }
  for (size_t i = 0; i < info._files.GetCount(); ++i) {
    RNW_ConfFileInfo* file = info._files.GetAt(i);
    if (file->_path_index >= header.path_count) ThrowParseError("conf: path index out of range");
    file->_path = *info._paths.GetAt(file->_path_index);
    file->ResetPieceIterator();
  }
  info.ResetFileIterator();
  info.ResetStringIterator();
}

void RNW_ParseConf::ReadHeader(RNW_ConfHeaderInfo& header) {
  RequireAligned(24, "conf: header cut short");
  header.value1 = ReadU32();
  header.value2 = ReadU32();
  header.value3 = ReadU32();
  header.version = ReadU16();
  header.flags = ReadU16();
  header.file_count = ReadU16();
  header.string_count = ReadU16();
  header.path_count = ReadU16();
  ReadU16();  // spare
  if (header.file_count > 0 && header.path_count == 0) ThrowParseError("conf: files without paths");
  header.title = ReadString("conf: title cut short");
  _version = header.version;
}

std::unique_ptr<RNW_ConfFileInfo> RNW_ParseConf::ReadFileEntry() {
  auto file = std::make_unique<RNW_ConfFileInfo>();
  const CxString name = ReadString("conf: file name cut short");
  if (name.GetLength() == 0) ThrowParseError("conf: empty file name");
  const NameParts parts = SplitName(name);
  file->_url = parts.url;
  file->_folder = parts.folder;
  if (parts.base_length > 0) {
    file->_base_url = MakeCxString(name.c_str(), parts.base_length);
    file->_file_name = MakeCxString(name.c_str() + parts.base_length,
                                    static_cast<size_t>(name.GetLength()) - parts.base_length);
  } else {
    file->_file_name = name;
  }

  SkipToAligned();
  RequireAligned(16, "conf: file entry cut short");
  file->_size = ReadU32();
  file->_flags = ReadU16();
  file->_value16 = ReadU16();
  file->_value32 = ReadU32();
  file->_path_index = ReadU16();
  file->_piece_count = ReadU16();

  if (file->_folder && !file->IsWhole()) ThrowParseError("conf: folder entry not whole");
  if (file->IsWhole()) {
    if (file->_piece_count != 0) ThrowParseError("conf: whole file with pieces");
  } else {
    ReadPieces(*file);
  }
  return file;
}

void RNW_ParseConf::ReadPieces(RNW_ConfFileInfo& file) {
  for (unsigned i = 0; i < file._piece_count; ++i) {
    RequireAligned(8, "conf: piece cut short");
    const uint32_t size = ReadU32();
    const uint16_t crc = ReadU16();
    ReadU16();  // padding
    file._pieces.Append(
        std::make_unique<RNW_ConfSplitFileInfo>(PieceName(file._file_name, i), size, crc));
    file._pieces_size += size;
  }
}

void RNW_ParseConf::ReadXml(RNW_ConfInfo& info) {
  auto xml = std::make_unique<RNW_XmlDocument>();
  RNW_MemStream stream(GetCursor(), GetRemaining());
  if (!xml->Load(stream)) ThrowParseError(("conf: " + xml->GetErrorText()).c_str());
  SkipToEnd();
  info._xml = std::move(xml);
}
