// Music-file byte builders; see MediaBuilders.h.
#include "MediaBuilders.h"

#include "media/AsfHeader.h"

#include <cstring>

namespace musictest {

using namespace libmusic::media;

namespace {

template <typename T>
std::string BigEndian(T v) {
  std::string s(sizeof(T), '\0');
  for (size_t i = 0; i < sizeof(T); ++i) s[sizeof(T) - 1 - i] = static_cast<char>(v >> (8 * i));
  return s;
}

template <typename T>
std::string LittleEndian(T v) {
  std::string s(sizeof(T), '\0');
  for (size_t i = 0; i < sizeof(T); ++i) s[i] = static_cast<char>(v >> (8 * i));
  return s;
}

std::string Utf16(const std::wstring& text, bool big, bool bom, bool zero) {
  std::wstring t = text;
  if (zero) t += L'\0';
  std::string s;
  if (bom) s += big ? "\xFE\xFF" : "\xFF\xFE";
  for (wchar_t c : t) {
    const char hi = static_cast<char>(c >> 8);
    const char lo = static_cast<char>(c & 0xFF);
    s += big ? std::string{hi, lo} : std::string{lo, hi};
  }
  return s;
}

std::string MpegFrameWith(bool mono, const std::string& at36) {
  std::string f = std::string("\xFF\xFB\x90", 3) + (mono ? '\xC0' : '\x40');
  f.resize(417, '\0');
  if (!at36.empty()) f.replace(mono ? 4 + 17 : 4 + 32, at36.size(), at36);
  return f;
}

}  // namespace

std::string BE16(std::uint16_t v) { return BigEndian(v); }
std::string BE32(std::uint32_t v) { return BigEndian(v); }
std::string BE64(std::uint64_t v) { return BigEndian(v); }
std::string LE16(std::uint16_t v) { return LittleEndian(v); }
std::string LE32(std::uint32_t v) { return LittleEndian(v); }
std::string LE64(std::uint64_t v) { return LittleEndian(v); }

std::string GuidBytes(const GUID& g) {
  std::string s(sizeof(GUID), '\0');
  std::memcpy(&s[0], &g, sizeof(GUID));
  return s;
}

std::string Utf16LE(const std::wstring& text, bool bom, bool zero) {
  return Utf16(text, false, bom, zero);
}
std::string Utf16BE(const std::wstring& text, bool bom, bool zero) {
  return Utf16(text, true, bom, zero);
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                    nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &s[0], n, nullptr,
                      nullptr);
  return s;
}

std::string SyncSafe(std::uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[3 - i] = static_cast<char>((v >> (7 * i)) & 0x7F);
  return s;
}

std::string Id3Frame(int major, const std::string& id, const std::string& body,
                     std::uint8_t flags) {
  const std::uint32_t n = static_cast<std::uint32_t>(body.size());
  if (major == 2) return id + BE32(n).substr(1) + body;
  const std::string size = major == 4 ? SyncSafe(n) : BE32(n);
  return id + size + '\0' + static_cast<char>(flags) + body;
}

std::string Id3Text(std::uint8_t encoding, const std::string& text) {
  return static_cast<char>(encoding) + text;
}

std::string Id3Tag(int major, const std::string& frames, std::uint8_t flags, size_t padding) {
  const std::string body = frames + std::string(padding, '\0');
  return std::string("ID3") + static_cast<char>(major) + '\0' + static_cast<char>(flags) +
         SyncSafe(static_cast<std::uint32_t>(body.size())) + body;
}

std::string Id3v1(const std::string& title, const std::string& artist, const std::string& album,
                  int track, int genre) {
  auto field = [](const std::string& s, size_t n) {
    std::string f = s.substr(0, n);
    f.resize(n, '\0');
    return f;
  };
  std::string comment = field("", 30);
  if (track > 0) comment[29] = static_cast<char>(track);
  return "TAG" + field(title, 30) + field(artist, 30) + field(album, 30) + "2001" + comment +
         static_cast<char>(genre);
}

std::string MpegFrame(bool mono) { return MpegFrameWith(mono, std::string()); }

std::string XingFrame(const char* tag, std::uint32_t frames, std::uint32_t bytes) {
  return MpegFrameWith(false, std::string(tag, 4) + BE32(3) + BE32(frames) + BE32(bytes));
}

std::string VbriFrame(std::uint32_t frames, std::uint32_t bytes) {
  std::string f = MpegFrame();
  f.replace(36, 18,
            std::string("VBRI") + BE16(1) + BE16(0) + BE16(75) + BE32(bytes) + BE32(frames));
  return f;
}

std::string MpegFrames(int count, bool mono) {
  std::string s;
  for (int i = 0; i < count; ++i) s += MpegFrame(mono);
  return s;
}

std::string AsfObject(const GUID& id, const std::string& body) {
  return GuidBytes(id) + LE64(24 + body.size()) + body;
}

std::string AsfHeader(const std::vector<std::string>& objects) {
  std::string body;
  for (const std::string& o : objects) body += o;
  return GuidBytes(kAsfHeaderObject) + LE64(30 + body.size()) +
         LE32(static_cast<std::uint32_t>(objects.size())) + "\x01\x02" + body;
}

std::string AsfFileProperties(std::uint64_t play_100ns, std::uint64_t preroll_ms,
                              std::uint32_t max_bitrate) {
  const std::string body = std::string(16, '\x11') + LE64(0) + LE64(0) + LE64(1) +
                           LE64(play_100ns) + LE64(play_100ns) + LE64(preroll_ms) + LE32(2) +
                           LE32(3200) + LE32(3200) + LE32(max_bitrate);
  return AsfObject(kAsfFilePropertiesObject, body);
}

std::string AsfAudioStream(int number, WORD format_tag, WORD channels, DWORD rate, DWORD avg_bytes,
                           WORD extra_size) {
  const std::string wave = LE16(format_tag) + LE16(channels) + LE32(rate) + LE32(avg_bytes) +
                           LE16(2048) + LE16(16) + LE16(extra_size) + std::string(extra_size, '\0');
  const std::string body = GuidBytes(kAsfAudioMedia) + std::string(16, '\0') + LE64(0) +
                           LE32(static_cast<std::uint32_t>(wave.size())) + LE32(0) +
                           LE16(static_cast<WORD>(number)) + LE32(0) + wave;
  return AsfObject(kAsfStreamPropertiesObject, body);
}

std::string AsfVideoStream(int number) {
  const std::string data(51, '\0');
  const std::string body = GuidBytes(kAsfVideoMedia) + std::string(16, '\0') + LE64(0) +
                           LE32(static_cast<std::uint32_t>(data.size())) + LE32(0) +
                           LE16(static_cast<WORD>(number)) + LE32(0) + data;
  return AsfObject(kAsfStreamPropertiesObject, body);
}

std::string AsfContentDescription(const std::wstring& title, const std::wstring& author) {
  const std::string t = Utf16LE(title, false, true);
  const std::string a = Utf16LE(author, false, true);
  const std::string body = LE16(static_cast<WORD>(t.size())) + LE16(static_cast<WORD>(a.size())) +
                           LE16(0) + LE16(0) + LE16(0) + t + a;
  return AsfObject(kAsfContentDescriptionObject, body);
}

std::string AsfExtendedContent(const std::vector<AsfValue>& values) {
  std::string body = LE16(static_cast<WORD>(values.size()));
  for (const AsfValue& v : values) {
    const std::string name = Utf16LE(v.name, false, true);
    body += LE16(static_cast<WORD>(name.size())) + name + LE16(v.type) +
            LE16(static_cast<WORD>(v.value.size())) + v.value;
  }
  return AsfObject(kAsfExtendedContentDescriptionObject, body);
}

std::string AsfMetadataLibrary(const std::vector<AsfValue>& values) {
  std::string body = LE16(static_cast<WORD>(values.size()));
  for (const AsfValue& v : values) {
    const std::string name = Utf16LE(v.name, false, true);
    body += LE16(0) + LE16(0) + LE16(static_cast<WORD>(name.size())) + LE16(v.type) +
            LE32(static_cast<std::uint32_t>(v.value.size())) + name + v.value;
  }
  return AsfObject(kAsfMetadataLibraryObject, body);
}

std::string AsfHeaderExtension(const std::vector<std::string>& objects) {
  std::string data;
  for (const std::string& o : objects) data += o;
  return AsfObject(
      kAsfHeaderExtensionObject,
      std::string(16, '\0') + LE16(6) + LE32(static_cast<std::uint32_t>(data.size())) + data);
}

std::string AsfContentEncryption() {
  const std::string body = LE32(4) + "seed" + LE32(4) + "kid1" + LE32(4) + "DRM\0" + LE32(0);
  return AsfObject(kAsfContentEncryptionObject, body);
}

std::string SimpleWma(const std::vector<std::string>& extra, WORD format_tag, DWORD rate,
                      WORD channels, DWORD bitrate) {
  std::vector<std::string> objects = {AsfFileProperties(30000000 + 30000000, 3000, bitrate),
                                      AsfAudioStream(1, format_tag, channels, rate, bitrate / 8)};
  objects.insert(objects.end(), extra.begin(), extra.end());
  // A data object header after the header object, as in a real file.
  return AsfHeader(objects) + std::string(50, '\0');
}

std::string Box(const std::string& type, const std::string& body) {
  return BE32(static_cast<std::uint32_t>(8 + body.size())) + type + body;
}

std::string FullBox(const std::string& type, std::uint8_t version, const std::string& body) {
  return Box(type, std::string(1, static_cast<char>(version)) + std::string(3, '\0') + body);
}

std::string ItemName(const char* three) { return std::string("\xA9") + three; }

std::string Mp4ItemText(const std::string& name, const std::wstring& text) {
  return Box(name, Box("data", BE32(1) + BE32(0) + Utf8(text)));
}

std::string Mp4ItemGenre(std::uint16_t number) {
  return Box("gnre", Box("data", BE32(0) + BE32(0) + BE16(number)));
}

std::string Mp4ItemTrack(std::uint16_t track, std::uint16_t total) {
  return Box("trkn",
             Box("data", BE32(0) + BE32(0) + BE16(0) + BE16(track) + BE16(total) + BE16(0)));
}

std::string Esds(const Mp4Options& o) {
  auto descriptor = [&o](std::uint8_t tag, const std::string& body) {
    std::string length;
    if (o.short_lengths) {
      length = std::string(1, static_cast<char>(body.size()));
    } else {
      length = std::string("\x80\x80\x80", 3) + static_cast<char>(body.size());
    }
    return static_cast<char>(tag) + length + body;
  };
  // ffmpeg writes a 5-byte decoder configuration; the old assumption was 2.
  const std::string specific = descriptor(5, std::string("\x12\x10\x56\xE5\x00", 5));
  const std::string config =
      descriptor(4, std::string("\x40\x15\x00\x00\x00", 5) + BE32(o.avg_bitrate) +
                        BE32(o.avg_bitrate) + specific);
  std::string es_body = BE16(1) + std::string(1, '\0') + config + descriptor(6, "\x02");
  if (o.extra_tag) es_body += descriptor(o.extra_tag, "\x00");
  return FullBox("esds", 0, descriptor(3, es_body));
}

std::string Mp4Moov(const Mp4Options& o) {
  std::string mvhd;
  if (o.mvhd_v1) {
    mvhd =
        FullBox("mvhd", 1,
                BE64(0) + BE64(0) + BE32(o.timescale) + BE64(o.duration) + std::string(80, '\0'));
  } else {
    mvhd =
        FullBox("mvhd", 0,
                BE32(0) + BE32(0) + BE32(o.timescale) + BE32(o.duration) + std::string(80, '\0'));
  }
  const std::string entry = Box(o.format, std::string(6, '\0') + BE16(1) + BE16(0) + BE16(0) +
                                              BE32(0) + BE16(o.channels) + BE16(o.bits) + BE16(0) +
                                              BE16(0) + BE16(o.sample_rate) + BE16(0) + Esds(o));
  const std::string stsd = FullBox("stsd", 0, BE32(1) + entry);
  std::string sizes;
  for (std::uint32_t i = 0; i < o.sample_count; ++i) sizes += BE32(371);
  const std::string stsz = FullBox("stsz", 0, BE32(0) + BE32(o.sample_count) + sizes);
  const std::string hdlr = FullBox("hdlr", 0, BE32(0) + o.handler + std::string(12, '\0') + "\0");
  const std::string trak = Box("trak", Box("mdia", hdlr + Box("minf", Box("stbl", stsd + stsz))));
  std::string items;
  for (const std::string& i : o.items) items += i;
  const std::string meta_hdlr = FullBox("hdlr", 0, BE32(0) + "mdirappl" + std::string(9, '\0'));
  const std::string udta = Box("udta", FullBox("meta", 0, meta_hdlr + Box("ilst", items)));
  return Box("moov", mvhd + trak + udta);
}

std::string Mp4File(const Mp4Options& o) {
  return Box("ftyp", "M4A " + BE32(0) + "M4A mp42isom") + Mp4Moov(o) +
         Box("mdat", std::string(64, '\x5A'));
}

}  // namespace musictest
