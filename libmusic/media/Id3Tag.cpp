// MP3 tags; see Id3Tag.h. Every size comes from the file, so every read is
// bounded by the tag and the file, and a broken frame ends the tag rather
// than the file: what was read before it stays.
#include "media/Id3Tag.h"

#include "media/TagText.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <vector>

namespace libmusic {
namespace media {

namespace {

constexpr size_t kId3HeaderSize = 10;
constexpr size_t kId3v1Size = 128;
constexpr size_t kId3v1ExtendedSize = 227;
constexpr size_t kApeFooterSize = 32;
// Tags are read whole only when a whole-tag transformation forces it.
constexpr std::uint64_t kMaxBufferedTag = 16 * 1024 * 1024;
// Consecutive tags at the start (some tools prepend a new one).
constexpr int kMaxLeadingTags = 8;

struct FrameName {
  const char* v22;
  const char* v23;
  const wchar_t* attribute;
};

const FrameName kTextFrames[] = {
    {"TT2", "TIT2", kAttrTitle},  {"TAL", "TALB", kAttrAlbumTitle},
    {"TP1", "TPE1", kAttrAuthor}, {"TP2", "TPE2", kAttrAlbumArtist},
    {"TCO", "TCON", kAttrGenre},  {"TRK", "TRCK", kAttrTrackNumber},
    {"TYE", "TYER", kAttrYear},   {nullptr, "TDRC", kAttrYear},
};

const wchar_t* AttributeOfFrame(const char* id, int major) {
  for (const FrameName& f : kTextFrames) {
    const char* name = major == 2 ? f.v22 : f.v23;
    if (name && std::strcmp(name, id) == 0) return f.attribute;
  }
  return nullptr;
}

bool IsSyncSafe(const BYTE* p) { return ((p[0] | p[1] | p[2] | p[3]) & 0x80) == 0; }

std::uint32_t SyncSafe32(const BYTE* p) {
  return (static_cast<std::uint32_t>(p[0]) << 21) | (static_cast<std::uint32_t>(p[1]) << 14) |
         (static_cast<std::uint32_t>(p[2]) << 7) | p[3];
}

// Undoes the unsynchronisation scheme: 0xFF 0x00 stands for 0xFF.
std::vector<BYTE> RemoveUnsync(const std::vector<BYTE>& in) {
  std::vector<BYTE> out;
  out.reserve(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    out.push_back(in[i]);
    if (in[i] == 0xFF && i + 1 < in.size() && in[i + 1] == 0x00) ++i;
  }
  return out;
}

// The values of a text frame: an encoding byte, then zero-separated texts.
std::vector<std::wstring> DecodeTextFrame(const std::vector<BYTE>& body) {
  std::vector<std::wstring> values;
  if (body.empty()) return values;
  const BYTE encoding = body[0];
  const BYTE* p = body.data() + 1;
  const size_t n = body.size() - 1;
  const bool wide = encoding == 1 || encoding == 2;
  size_t start = 0;
  while (start < n) {
    size_t end = start;
    if (wide) {
      while (end + 1 < n && (p[end] != 0 || p[end + 1] != 0)) end += 2;
      if (end + 1 >= n) end = n;
    } else {
      while (end < n && p[end] != 0) ++end;
    }
    const size_t len = end - start;
    std::wstring value;
    if (encoding == 0)
      value = DecodeAnsiText(p + start, len);
    else if (encoding == 1)
      value = DecodeUtf16Text(p + start, len, false);
    else if (encoding == 2)
      value = DecodeUtf16Text(p + start, len, true);
    else if (encoding == 3)
      value = DecodeUtf8Text(p + start, len);
    value = TrimTrailingBlanks(value);
    if (!value.empty()) values.push_back(value);
    start = end + (wide ? 2 : 1);
  }
  return values;
}

bool IsFrameIdChar(BYTE c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// Reads the frames of one tag whose body (after the header and any
// extended header) lies in [begin, end) of source.
class CId3FrameReader final {
 public:
  CId3FrameReader(CByteSource& source, int major, bool unsync_all, CMediaDescription* out)
      : _source(source), _major(major), _unsync_all(unsync_all), _out(out) {}

  void Read(std::uint64_t begin, std::uint64_t end) {
    const size_t header = _major == 2 ? 6 : 10;
    std::uint64_t pos = begin;
    while (pos + header <= end) {
      BYTE h[10] = {};
      if (!_source.ReadAt(pos, h, header)) return;
      const size_t id_len = _major == 2 ? 3 : 4;
      for (size_t i = 0; i < id_len; ++i) {
        if (!IsFrameIdChar(h[i])) return;  // padding or garbage: the frames end here
      }
      const std::uint64_t size = FrameSize(h, pos, end);
      if (size > end - pos - header) return;
      char id[5] = {};
      std::memcpy(id, h, id_len);
      const BYTE flags = _major == 2 ? 0 : h[9];
      ReadFrame(id, flags, pos + header, size);
      pos += header + size;
    }
  }

 private:
  std::uint64_t FrameSize(const BYTE* h, std::uint64_t pos, std::uint64_t end) {
    if (_major == 2) return (static_cast<std::uint32_t>(h[3]) << 16) | (h[4] << 8) | h[5];
    const std::uint32_t plain = ReadBE32(h + 4);
    if (_major == 3 || !IsSyncSafe(h + 4)) return plain;
    // Some writers put plain sizes into 2.4 tags; believe the reading that
    // lands on the next frame.
    const std::uint32_t safe = SyncSafe32(h + 4);
    if (safe == plain || LandsOnFrame(pos + 10 + safe, end)) return safe;
    return LandsOnFrame(pos + 10 + plain, end) ? plain : safe;
  }

  bool LandsOnFrame(std::uint64_t at, std::uint64_t end) {
    if (at == end) return true;
    if (at > end || end - at < 4) return false;
    BYTE id[4] = {};
    if (!_source.ReadAt(at, id, 4)) return false;
    if (id[0] == 0) return true;  // padding
    return IsFrameIdChar(id[0]) && IsFrameIdChar(id[1]) && IsFrameIdChar(id[2]) &&
           IsFrameIdChar(id[3]);
  }

  void ReadFrame(const char* id, BYTE flags, std::uint64_t at, std::uint64_t size) {
    const wchar_t* attribute = AttributeOfFrame(id, _major);
    if (!attribute || _seen.end() != std::find(_seen.begin(), _seen.end(), attribute)) return;
    // Texts longer than an attribute can hold are not worth reading.
    if (size == 0 || size > 2 * kMaxAttributeBytes) return;
    std::vector<BYTE> body(static_cast<size_t>(size));
    if (!_source.ReadAt(at, body.data(), body.size())) return;
    if (!Unwrap(flags, &body)) return;
    _seen.push_back(attribute);
    if (_out->Has(attribute)) return;  // an earlier tag has it
    for (const std::wstring& value : DecodeTextFrame(body)) {
      _out->AddString(attribute, attribute == kAttrGenre ? ResolveGenre(value) : value);
      if (attribute != kAttrAuthor) break;  // only the artists may be several
    }
  }

  // Strips the per-frame extras; false for frames we cannot read.
  bool Unwrap(BYTE flags, std::vector<BYTE>* body) const {
    size_t skip = 0;
    if (_major == 3) {
      if (flags & 0xC0) return false;  // compressed or encrypted
      if (flags & 0x20) skip = 1;      // group id
    } else if (_major == 4) {
      if (flags & 0x0C) return false;
      if (flags & 0x40) skip += 1;
      if (flags & 0x01) skip += 4;  // data length indicator
    }
    if (skip > body->size()) return false;
    body->erase(body->begin(), body->begin() + static_cast<std::ptrdiff_t>(skip));
    if (_major == 4 && (_unsync_all || (flags & 0x02))) *body = RemoveUnsync(*body);
    return true;
  }

  CByteSource& _source;
  const int _major;
  const bool _unsync_all;
  CMediaDescription* _out;
  std::vector<const wchar_t*> _seen;
};

// Reads one ID3v2 tag at offset; answers its total size, or 0 when none.
std::uint64_t ReadId3v2Tag(CByteSource& source, std::uint64_t offset, CMediaDescription* out) {
  BYTE h[kId3HeaderSize] = {};
  if (!source.ReadAt(offset, h, sizeof(h))) return 0;
  if (std::memcmp(h, "ID3", 3) != 0 || h[3] == 0xFF || h[4] == 0xFF || !IsSyncSafe(h + 6)) {
    return 0;
  }
  const int major = h[3];
  const BYTE flags = h[5];
  const std::uint64_t size = SyncSafe32(h + 6);
  const std::uint64_t total = kId3HeaderSize + size + (major == 4 && (flags & 0x10) ? 10 : 0);
  if (major < 2 || major > 4) return total;        // a version we cannot read: step over it
  if (major == 2 && (flags & 0x40)) return total;  // compressed 2.2 tag

  const std::uint64_t body_begin = offset + kId3HeaderSize;
  const std::uint64_t body_end = std::min(body_begin + size, source.Size());
  if (body_end <= body_begin) return total;

  if (major < 4 && (flags & 0x80)) {
    // Whole-tag unsynchronisation: frame sizes count the restored bytes.
    if (body_end - body_begin > kMaxBufferedTag) return total;
    std::vector<BYTE> raw(static_cast<size_t>(body_end - body_begin));
    if (!source.ReadAt(body_begin, raw.data(), raw.size())) return total;
    CMemorySource restored(RemoveUnsync(raw));
    std::uint64_t begin = 0;
    if (major == 3 && (flags & 0x40)) {
      BYTE ext[4] = {};
      if (!restored.ReadAt(0, ext, 4)) return total;
      begin = 4 + static_cast<std::uint64_t>(ReadBE32(ext));
    }
    CId3FrameReader(restored, major, false, out).Read(begin, restored.Size());
    return total;
  }

  std::uint64_t begin = body_begin;
  if (major >= 3 && (flags & 0x40)) {
    BYTE ext[4] = {};
    if (!source.ReadAt(begin, ext, 4)) return total;
    // 2.3 counts the extended header without its size field, 2.4 with it.
    begin += major == 3 ? 4 + static_cast<std::uint64_t>(ReadBE32(ext))
                        : static_cast<std::uint64_t>(SyncSafe32(ext));
  }
  if (begin < body_end) {
    CId3FrameReader(source, major, (flags & 0x80) != 0, out).Read(begin, body_end);
  }
  return total;
}

void ReadId3v1Tag(const BYTE* tag, CMediaDescription* out) {
  auto field = [tag](size_t at, size_t len) {
    return TrimTrailingBlanks(DecodeAnsiText(tag + at, len));
  };
  const std::wstring title = field(3, 30);
  const std::wstring artist = field(33, 30);
  const std::wstring album = field(63, 30);
  const std::wstring year = field(93, 4);
  if (!title.empty()) out->AddStringIfMissing(kAttrTitle, title);
  if (!artist.empty()) out->AddStringIfMissing(kAttrAuthor, artist);
  if (!album.empty()) out->AddStringIfMissing(kAttrAlbumTitle, album);
  if (!year.empty()) out->AddStringIfMissing(kAttrYear, year);
  // Version 1.1 keeps the track in the comment's last byte after a zero.
  if (tag[125] == 0 && tag[126] != 0) {
    out->AddStringIfMissing(kAttrTrackNumber, std::to_wstring(tag[126]));
  }
  if (const wchar_t* genre = GenreName(tag[127])) out->AddStringIfMissing(kAttrGenre, genre);
}

}  // namespace

std::uint64_t ReadLeadingId3Tags(CByteSource& source, CMediaDescription* out) {
  std::uint64_t offset = 0;
  for (int i = 0; i < kMaxLeadingTags; ++i) {
    const std::uint64_t size = ReadId3v2Tag(source, offset, out);
    if (size == 0) break;
    offset += size;
  }
  return offset;
}

std::uint64_t ReadTrailingTags(CByteSource& source, std::uint64_t audio_begin,
                               CMediaDescription* out) {
  std::uint64_t end = source.Size();
  if (end >= audio_begin + kId3v1Size) {
    BYTE tag[kId3v1Size] = {};
    if (source.ReadAt(end - kId3v1Size, tag, sizeof(tag)) && std::memcmp(tag, "TAG", 3) == 0) {
      ReadId3v1Tag(tag, out);
      end -= kId3v1Size;
      BYTE ext[4] = {};
      if (end >= audio_begin + kId3v1ExtendedSize &&
          source.ReadAt(end - kId3v1ExtendedSize, ext, 4) && std::memcmp(ext, "TAG+", 4) == 0) {
        end -= kId3v1ExtendedSize;
      }
    }
  }
  if (end >= audio_begin + kApeFooterSize) {
    BYTE footer[kApeFooterSize] = {};
    if (source.ReadAt(end - kApeFooterSize, footer, sizeof(footer)) &&
        std::memcmp(footer, "APETAGEX", 8) == 0) {
      std::uint64_t size = ReadLE32(footer + 12);
      if (ReadLE32(footer + 20) & 0x80000000u) size += kApeFooterSize;
      if (size >= kApeFooterSize && size <= end - audio_begin) end -= size;
    }
  }
  return end;
}

std::wstring ResolveGenre(const std::wstring& text) {
  if (text.size() >= 2 && text[0] == L'(' && text[1] == L'(') return text.substr(1);
  auto numbered = [](const std::wstring& digits) -> const wchar_t* {
    if (digits.empty() || digits.size() > 3) return nullptr;
    for (wchar_t c : digits) {
      if (c < L'0' || c > L'9') return nullptr;
    }
    return GenreName(std::stoi(digits));
  };
  if (const wchar_t* name = numbered(text)) return name;
  if (text.empty() || text[0] != L'(') return text;
  // A run of "(n)" references, maybe followed by a refinement text.
  std::wstring first;
  size_t pos = 0;
  while (pos < text.size() && text[pos] == L'(') {
    const size_t close = text.find(L')', pos);
    if (close == std::wstring::npos) return text;
    const std::wstring ref = text.substr(pos + 1, close - pos - 1);
    if (first.empty()) {
      if (ref == L"RX")
        first = L"Remix";
      else if (ref == L"CR")
        first = L"Cover";
      else if (const wchar_t* name = numbered(ref))
        first = name;
      else
        return text;
    }
    pos = close + 1;
  }
  return pos < text.size() ? text.substr(pos) : first;
}

}  // namespace media
}  // namespace libmusic
