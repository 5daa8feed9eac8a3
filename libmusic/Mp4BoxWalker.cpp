// The MP4 box walk; see Mp4BoxWalker.h.
#include "Mp4BoxWalker.h"

#include "media/TagText.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace libmusic {

using media::ReadBE16;
using media::ReadBE32;
using media::ReadBE64;

namespace {

constexpr int kMaxDepth = 32;
constexpr std::uint64_t kHundredNsPerSecond = 10000000;
// Sample entry: 16 bytes of box header and reserved fields, then 20 of audio fields.
constexpr std::uint64_t kSampleEntryHeader = 16;
constexpr std::uint64_t kAudioFields = 20;
// Text tags longer than this are not read.
constexpr std::uint64_t kMaxTextItem = 64 * 1024;

struct GenreEntry {
  int number;
  const wchar_t* name;
};

const GenreEntry kMp4Genres[] = {
    {3, L"Country"},      {4, L"Dance"},       {9, L"Jazz"},    {11, L"New Age"},
    {14, L"Pop"},         {18, L"Rock"},       {19, L"Techno"}, {20, L"Industrial"},
    {21, L"Alternative"}, {25, L"Soundtrack"}, {32, L"Trance"}, {33, L"Classical"},
    {36, L"House"},       {53, L"Electronic"}, {81, L"Folk"},   {99, L"Easy Listening"},
};

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Four-character codes compare without case.
bool IsType(const char* type, const char* name) {
  for (int i = 0; i < 4; ++i) {
    if (LowerAscii(type[i]) != LowerAscii(name[i])) return false;
  }
  return true;
}

std::uint64_t ToHundredNs(std::uint64_t count, std::uint64_t per_second) {
  return count / per_second * kHundredNsPerSecond +
         count % per_second * kHundredNsPerSecond / per_second;
}

}  // namespace

const wchar_t* Mp4GenreName(int number) {
  for (const GenreEntry& g : kMp4Genres) {
    if (g.number == number) return g.name;
  }
  return nullptr;
}

bool CMp4BoxWalker::Walk() {
  if (!WalkChildren(0, _source.Size(), "    ", 0)) return false;
  return !_damaged || (_have_movie_header && _have_audio_entry);
}

int CMp4BoxWalker::ReadBoxHeader(std::uint64_t pos, std::uint64_t end, Box* box) {
  // Fewer than 8 bytes left: the end of the list (QuickTime ends some with
  // four zero bytes).
  if (end - pos < 8) return 0;
  BYTE h[16] = {};
  if (!Read(pos, h, 8)) return -1;
  std::uint64_t size = ReadBE32(h);
  std::uint64_t header = 8;
  if (size == 1) {
    if (end - pos < 16 || !Read(pos + 8, h + 8, 8)) {
      _damaged = true;
      return -1;
    }
    size = ReadBE64(h + 8);
    header = 16;
  } else if (size == 0) {
    size = end - pos;  // runs to the end of its parent
  }
  if (size < header) {
    _damaged = true;
    return -1;
  }
  box->cut = size > end - pos;
  if (box->cut) {
    // Cut short (a partly copied file): read what is there.
    _damaged = true;
    size = end - pos;
  }
  std::memcpy(box->type, h + 4, 4);
  box->begin = pos + header;
  box->end = pos + size;
  return 1;
}

bool CMp4BoxWalker::WalkChildren(std::uint64_t begin, std::uint64_t end, const char* parent,
                                 int depth) {
  if (depth > kMaxDepth) {
    _damaged = true;
    return true;
  }
  std::uint64_t pos = begin;
  while (pos < end) {
    Box box;
    const int read = ReadBoxHeader(pos, end, &box);
    if (read < 0) return _source.Error() == 0;  // damaged: stop here; a read error fails
    if (read == 0) break;
    if (!OnBox(box, parent, depth)) return false;
    pos = box.end;
  }
  return true;
}

bool CMp4BoxWalker::OnBox(const Box& box, const char* parent, int depth) {
  static const char* const kContainers[] = {"moov", "trak", "mdia", "minf", "stbl", "udta"};
  for (const char* c : kContainers) {
    if (!IsType(box.type, c)) continue;
    if (IsType(box.type, "trak")) _handler.clear();
    return WalkChildren(box.begin, box.end, box.type, depth + 1);
  }
  if (IsType(box.type, "meta")) {
    // A full box (version and flags first), except in QuickTime files,
    // where the handler box follows at once.
    BYTE peek[8] = {};
    std::uint64_t begin = box.begin;
    if (box.end - box.begin >= 8 && Read(box.begin, peek, 8) &&
        !IsType(reinterpret_cast<const char*>(peek + 4), "hdlr")) {
      begin += 4;
    } else if (box.end - box.begin < 8) {
      return true;
    }
    return WalkChildren(begin, box.end, box.type, depth + 1);
  }
  // The samples lie in the media data: cut short, the file cannot be
  // played to its end.
  if (IsType(box.type, "mdat") && box.cut) _info->media_cut = true;
  const bool sound = _handler.empty() || _handler == "soun";
  if (IsType(box.type, "mvhd")) return ReadMovieHeader(box);
  if (IsType(box.type, "hdlr") && IsType(parent, "mdia")) return ReadHandler(box);
  if (IsType(box.type, "stsd")) return !sound || ReadSampleDescription(box, depth);
  if (IsType(box.type, "stsz")) return !sound || ReadSampleSizes(box);
  if (IsType(box.type, "ilst")) return ReadItemList(box);
  return true;
}

bool CMp4BoxWalker::ReadMovieHeader(const Box& box) {
  BYTE b[112] = {};
  const std::uint64_t size = box.end - box.begin;
  if (size < 4 || !Read(box.begin, b, 4)) return false;
  // Version 1 widens the times and the duration to 64 bits.
  const bool wide = b[0] == 1;
  const size_t needed = wide ? 112 : 100;
  if (size < needed || !Read(box.begin, b, needed)) return false;
  const std::uint32_t timescale = ReadBE32(b + (wide ? 20 : 12));
  const std::uint64_t duration = wide ? ReadBE64(b + 24) : ReadBE32(b + 16);
  if (timescale != 0) _info->duration = ToHundredNs(duration, timescale);
  _have_movie_header = true;
  return true;
}

bool CMp4BoxWalker::ReadHandler(const Box& box) {
  BYTE b[12] = {};
  if (box.end - box.begin < sizeof(b) || !Read(box.begin, b, sizeof(b))) return false;
  _handler.assign(reinterpret_cast<const char*>(b + 8), 4);
  return true;
}

bool CMp4BoxWalker::ReadSampleDescription(const Box& box, int depth) {
  BYTE b[8] = {};
  if (box.end - box.begin < sizeof(b) || !Read(box.begin, b, sizeof(b))) return false;
  const std::uint32_t count = ReadBE32(b + 4);
  std::uint64_t pos = box.begin + sizeof(b);
  for (std::uint32_t i = 0; i < count; ++i) {
    if (box.end - pos < kSampleEntryHeader) return false;
    BYTE h[4] = {};
    if (!Read(pos, h, 4)) return false;
    std::uint64_t size = ReadBE32(h);
    if (size < kSampleEntryHeader) return false;
    if (size > box.end - pos) {
      _damaged = true;
      size = box.end - pos;
    }
    if (!ReadSampleEntry(pos, pos + size, depth)) return false;
    pos += size;
  }
  return true;
}

bool CMp4BoxWalker::ReadSampleEntry(std::uint64_t begin, std::uint64_t end, int depth) {
  BYTE h[kSampleEntryHeader + kAudioFields] = {};
  if (end - begin < sizeof(h) || !Read(begin, h, sizeof(h))) return false;
  const char* format = reinterpret_cast<const char*>(h + 4);
  const bool drms = IsType(format, "drms");
  // Only AAC is described; other codecs (Apple Lossless) are not music
  // files of this type.
  if (!drms && !IsType(format, "mp4a")) return false;
  if (drms) _info->is_protected = 1;
  const BYTE* audio = h + kSampleEntryHeader;
  const std::uint16_t version = ReadBE16(audio);
  _info->channels = ReadBE16(audio + 8);
  _info->bits_per_sample = ReadBE16(audio + 10);
  // The integer part of the 16.16 rate.
  _info->sample_rate = ReadBE16(audio + 16);
  _have_audio_entry = true;
  // QuickTime sound descriptions 1 and 2 carry more fields before the boxes.
  const std::uint64_t extra = version == 1 ? 16 : version == 2 ? 36 : 0;
  const std::uint64_t children = begin + sizeof(h) + extra;
  if (children > end) return false;
  return FindElementaryStream(children, end, depth + 1);
}

bool CMp4BoxWalker::FindElementaryStream(std::uint64_t begin, std::uint64_t end, int depth) {
  if (depth > kMaxDepth) return false;
  std::uint64_t pos = begin;
  while (pos < end) {
    Box box;
    if (ReadBoxHeader(pos, end, &box) <= 0) return false;
    if (IsType(box.type, "esds")) {
      // A full box: version and flags, then the descriptors.
      if (box.end - box.begin < 4) return false;
      return ReadDescriptors(box.begin + 4, box.end, depth + 1);
    }
    if (IsType(box.type, "wave") && FindElementaryStream(box.begin, box.end, depth + 1)) {
      return true;
    }
    pos = box.end;
  }
  return false;
}

bool CMp4BoxWalker::ReadDescriptors(std::uint64_t begin, std::uint64_t end, int depth) {
  if (depth > kMaxDepth) return false;
  std::uint64_t pos = begin;
  while (pos < end) {
    BYTE tag = 0;
    if (!Read(pos++, &tag, 1)) return false;
    // The length takes one to four bytes, seven bits each, high bit = more.
    std::uint64_t length = 0;
    for (int i = 0; i < 4; ++i) {
      BYTE b = 0;
      if (pos >= end || !Read(pos++, &b, 1)) return false;
      length = (length << 7) | (b & 0x7F);
      if (!(b & 0x80)) break;
    }
    if (length > end - pos) return false;
    const std::uint64_t body = pos;
    const std::uint64_t body_end = pos + length;
    switch (tag) {
      case 3: {  // elementary stream: id, flags and their optional fields
        BYTE es[4] = {};
        if (length < 3 || !Read(body, es, 3)) return false;
        std::uint64_t skip = 3;
        if (es[2] & 0x80) skip += 2;  // depends on another stream
        if (es[2] & 0x40) {           // URL
          if (length < skip + 1 || !Read(body + skip, es + 3, 1)) return false;
          skip += 1 + es[3];
        }
        if (es[2] & 0x20) skip += 2;  // OCR stream
        if (skip > length || !ReadDescriptors(body + skip, body_end, depth + 1)) return false;
        break;
      }
      case 4: {  // decoder configuration: the average bit rate at 9
        BYTE dc[13] = {};
        if (length < sizeof(dc) || !Read(body, dc, sizeof(dc))) return false;
        _info->bitrate = static_cast<int>(std::min<std::uint32_t>(ReadBE32(dc + 9), 0x7FFFFFFF));
        if (!ReadDescriptors(body + sizeof(dc), body_end, depth + 1)) return false;
        break;
      }
      case 5:  // decoder-specific information
      case 6:  // sync layer configuration
        break;
      default:
        return false;
    }
    pos = body_end;
  }
  return true;
}

bool CMp4BoxWalker::ReadSampleSizes(const Box& box) {
  BYTE b[12] = {};
  if (box.end - box.begin < sizeof(b) || !Read(box.begin, b, sizeof(b))) return false;
  _info->vbr = ReadBE32(b + 8) != 0 ? 1 : 0;
  return true;
}

bool CMp4BoxWalker::ReadItemList(const Box& box) {
  std::uint64_t pos = box.begin;
  while (box.end - pos >= 8) {
    BYTE h[8] = {};
    if (!Read(pos, h, 8)) return false;
    std::uint64_t size = ReadBE32(h);
    if (size < 8) {
      _damaged = true;
      return true;
    }
    if (size > box.end - pos) {
      _damaged = true;
      size = box.end - pos;
    }
    Box item;
    std::memcpy(item.type, h + 4, 4);
    item.begin = pos + 8;
    item.end = pos + size;
    if (!ReadItem(item)) return false;
    pos += size;
  }
  return true;
}

bool CMp4BoxWalker::ReadItem(const Box& item) {
  const char kName[] = {'\xA9', 'n', 'a', 'm'};
  const char kAlbum[] = {'\xA9', 'a', 'l', 'b'};
  const char kArtist[] = {'\xA9', 'a', 'r', 't'};
  const char kGenre[] = {'\xA9', 'g', 'e', 'n'};
  const char kEncoder[] = {'\xA9', 't', 'o', 'o'};
  std::wstring* text = nullptr;
  if (IsType(item.type, kName))
    text = &_info->title;
  else if (IsType(item.type, kAlbum))
    text = &_info->album;
  else if (IsType(item.type, kArtist))
    text = &_info->artist;
  else if (IsType(item.type, kGenre))
    text = &_info->genre;
  else if (IsType(item.type, kEncoder))
    text = &_info->encoder;
  const bool genre_number = IsType(item.type, "gnre");
  const bool track = IsType(item.type, "trkn");
  if (!text && !genre_number && !track) return true;

  // The value lies in the item's data box, after its type and locale.
  BYTE d[8] = {};
  if (item.end - item.begin < 16 || !Read(item.begin, d, 8)) return true;
  if (!IsType(reinterpret_cast<const char*>(d + 4), "data")) return true;
  const std::uint64_t data_end =
      item.begin +
      std::min<std::uint64_t>(std::max<std::uint64_t>(ReadBE32(d), 16), item.end - item.begin);
  const std::uint64_t value = item.begin + 16;
  const std::uint64_t length = data_end - value;
  if (text) {
    if (length > kMaxTextItem) return true;
    std::vector<BYTE> bytes(static_cast<size_t>(length));
    if (!bytes.empty() && !Read(value, bytes.data(), bytes.size())) return false;
    *text = media::DecodeUtf8Text(bytes.data(), bytes.size());
  } else if (genre_number) {
    BYTE g[2] = {};
    if (length < sizeof(g) || !Read(value, g, sizeof(g))) return true;
    const wchar_t* name = Mp4GenreName(ReadBE16(g));
    _info->genre = name ? name : L"";
  } else {
    // Reserved, track, total: the whole 16-bit track number.
    BYTE t[4] = {};
    if (length < sizeof(t) || !Read(value, t, sizeof(t))) return true;
    _info->track_number = ReadBE16(t + 2);
  }
  return true;
}

}  // namespace libmusic
