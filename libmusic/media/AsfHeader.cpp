// ASF headers; see AsfHeader.h. Sizes come from the file: each object must
// lie inside its parent, values are read in place and only small ones are
// kept, so a picture in the tags costs no memory.
#include "media/AsfHeader.h"

#include "media/TagText.h"

#include <algorithm>
#include <cstring>

namespace libmusic {
namespace media {

namespace {

constexpr size_t kGuidSize = 16;
constexpr size_t kObjectHeaderSize = 24;
constexpr size_t kHeaderObjectSize = 30;
// Stream properties hold a wave format and codec data: small.
constexpr std::uint64_t kMaxStreamPropertiesBody = 64 * 1024;
constexpr std::uint64_t kHundredNsPerMs = 10000;

constexpr GUID kAsfAdvancedContentEncryptionObject = {
    0x43058533, 0x6981, 0x49E6, {0x9B, 0x74, 0xAD, 0x12, 0xCB, 0x86, 0xD5, 0x8C}};

struct AsfObject {
  GUID id = {};
  std::uint64_t body = 0;  // offset of the data after the object header
  std::uint64_t end = 0;
};

// ASF attribute value types (extended content description and metadata).
enum AsfValueType : WORD {
  kAsfString = 0,
  kAsfBytes = 1,
  kAsfBool = 2,
  kAsfDword = 3,
  kAsfQword = 4,
  kAsfWord = 5,
  kAsfGuid = 6,
};

class CAsfHeaderReader final {
 public:
  CAsfHeaderReader(CByteSource& source, CMediaDescription* out) : _source(source), _out(out) {}

  HRESULT Read() {
    BYTE h[kHeaderObjectSize] = {};
    if (!_source.ReadAt(0, h, sizeof(h))) return Broken();
    if (!IsEqualGUID(ToGuid(h), kAsfHeaderObject)) return NS_E_INVALID_INPUT_FORMAT;
    const std::uint64_t header_end = ReadLE64(h + 16);
    if (header_end < kHeaderObjectSize || header_end > _source.Size()) return Broken();
    if (!WalkObjects(kHeaderObjectSize, header_end, &CAsfHeaderReader::OnHeaderObject)) {
      return Broken();
    }
    if (!_have_file_properties) return Broken();
    Finish();
    return S_OK;
  }

 private:
  using Handler = bool (CAsfHeaderReader::*)(const AsfObject&);

  HRESULT Broken() const {
    return _source.Error() ? HRESULT_FROM_WIN32(_source.Error()) : NS_E_INVALID_INPUT_FORMAT;
  }

  static GUID ToGuid(const BYTE* p) {
    GUID g;
    std::memcpy(&g, p, sizeof(g));
    return g;
  }

  // Calls the handler for each object in [begin, end); false when one does
  // not fit or a handler fails.
  bool WalkObjects(std::uint64_t begin, std::uint64_t end, Handler handler) {
    std::uint64_t pos = begin;
    while (end - pos >= kObjectHeaderSize) {
      BYTE h[kObjectHeaderSize] = {};
      if (!_source.ReadAt(pos, h, sizeof(h))) return false;
      const std::uint64_t size = ReadLE64(h + kGuidSize);
      if (size < kObjectHeaderSize || size > end - pos) return false;
      AsfObject object;
      object.id = ToGuid(h);
      object.body = pos + kObjectHeaderSize;
      object.end = pos + size;
      if (!(this->*handler)(object)) return false;
      pos += size;
    }
    // A few stray bytes after the last object are tolerated.
    return true;
  }

  bool ReadBody(const AsfObject& o, std::uint64_t min_size, std::uint64_t max_size,
                std::vector<BYTE>* body) {
    const std::uint64_t size = o.end - o.body;
    if (size < min_size || size > max_size) return false;
    body->resize(static_cast<size_t>(size));
    return _source.ReadAt(o.body, body->data(), body->size());
  }

  bool OnHeaderObject(const AsfObject& o) {
    if (IsEqualGUID(o.id, kAsfFilePropertiesObject)) return OnFileProperties(o);
    if (IsEqualGUID(o.id, kAsfStreamPropertiesObject)) return OnStreamProperties(o);
    if (IsEqualGUID(o.id, kAsfContentDescriptionObject)) return OnContentDescription(o);
    if (IsEqualGUID(o.id, kAsfExtendedContentDescriptionObject)) return OnExtendedContent(o);
    if (IsEqualGUID(o.id, kAsfHeaderExtensionObject)) return OnHeaderExtension(o);
    if (IsEqualGUID(o.id, kAsfContentEncryptionObject) ||
        IsEqualGUID(o.id, kAsfExtendedContentEncryptionObject)) {
      _out->SetProtected();
    }
    return true;
  }

  bool OnExtensionObject(const AsfObject& o) {
    if (IsEqualGUID(o.id, kAsfMetadataObject)) return OnMetadata(o, false);
    if (IsEqualGUID(o.id, kAsfMetadataLibraryObject)) return OnMetadata(o, true);
    if (IsEqualGUID(o.id, kAsfExtendedStreamPropertiesObject)) return OnExtendedStream(o);
    if (IsEqualGUID(o.id, kAsfAdvancedContentEncryptionObject)) _out->SetProtected();
    return true;
  }

  bool OnFileProperties(const AsfObject& o) {
    std::vector<BYTE> b;
    if (!ReadBody(o, 80, 4096, &b)) return false;
    _have_file_properties = true;
    const std::uint64_t play = ReadLE64(&b[40]);
    const std::uint64_t preroll = ReadLE64(&b[56]) * kHundredNsPerMs;
    _duration = play > preroll ? play - preroll : 0;
    _seekable = (ReadLE32(&b[64]) & 2) != 0;
    _max_bitrate = ReadLE32(&b[76]);
    return true;
  }

  // A stream properties object's body, from the main header or embedded in
  // an extended stream properties object.
  bool AddStream(const std::vector<BYTE>& b) {
    if (b.size() < 54) return false;
    const std::uint32_t type_len = ReadLE32(&b[40]);
    const WORD flags = ReadLE16(&b[48]);
    if (type_len > b.size() - 54) return false;
    MediaStream s;
    s.number = static_cast<WORD>(flags & 0x7F);
    if (flags & 0x8000) _out->SetProtected();  // encrypted content
    if (_out->FindStream(s.number)) return true;
    const GUID type = ToGuid(&b[0]);
    if (IsEqualGUID(type, kAsfAudioMedia)) {
      s.type = WMMEDIATYPE_Audio;
      if (type_len >= sizeof(WAVEFORMATEX) - 2) {
        s.format.assign(b.begin() + 54, b.begin() + 54 + type_len);
        // An 18-byte structure may arrive as its 16-byte ancestor.
        if (s.format.size() < sizeof(WAVEFORMATEX)) s.format.resize(sizeof(WAVEFORMATEX), 0);
        WAVEFORMATEX wf;
        std::memcpy(&wf, s.format.data(), sizeof(wf));
        // The extra bytes may not claim more than the object holds.
        const size_t room = s.format.size() - sizeof(WAVEFORMATEX);
        if (wf.cbSize > room) {
          wf.cbSize = static_cast<WORD>(room);
          std::memcpy(s.format.data(), &wf, sizeof(wf));
        }
        s.format.resize(sizeof(WAVEFORMATEX) + wf.cbSize);
        s.subtype = AudioSubtypeFromFormatTag(wf.wFormatTag);
        s.format_type = WMFORMAT_WaveFormatEx;
        _audio_bitrate += static_cast<std::uint64_t>(wf.nAvgBytesPerSec) * 8;
      }
    } else if (IsEqualGUID(type, kAsfVideoMedia)) {
      s.type = WMMEDIATYPE_Video;
    } else {
      s.type = type;
    }
    _out->Streams().push_back(std::move(s));
    return true;
  }

  bool OnStreamProperties(const AsfObject& o) {
    std::vector<BYTE> b;
    return ReadBody(o, 54, kMaxStreamPropertiesBody, &b) && AddStream(b);
  }

  bool OnExtendedStream(const AsfObject& o) {
    BYTE fixed[64] = {};
    if (o.end - o.body < sizeof(fixed) || !_source.ReadAt(o.body, fixed, sizeof(fixed))) {
      return false;
    }
    std::uint64_t pos = o.body + sizeof(fixed);
    const WORD names = ReadLE16(fixed + 60);
    const WORD systems = ReadLE16(fixed + 62);
    for (WORD i = 0; i < names; ++i) {
      BYTE n[4] = {};
      if (o.end - pos < 4 || !_source.ReadAt(pos, n, 4)) return false;
      pos += 4;
      if (o.end - pos < ReadLE16(n + 2)) return false;
      pos += ReadLE16(n + 2);
    }
    for (WORD i = 0; i < systems; ++i) {
      BYTE s[22] = {};
      if (o.end - pos < sizeof(s) || !_source.ReadAt(pos, s, sizeof(s))) return false;
      pos += sizeof(s);
      if (o.end - pos < ReadLE32(s + 18)) return false;
      pos += ReadLE32(s + 18);
    }
    // An embedded stream properties object describes a stream the main
    // header may not list.
    if (o.end - pos < kObjectHeaderSize) return true;
    return WalkObjects(pos, o.end, &CAsfHeaderReader::OnEmbeddedObject);
  }

  bool OnEmbeddedObject(const AsfObject& o) {
    if (!IsEqualGUID(o.id, kAsfStreamPropertiesObject)) return true;
    return OnStreamProperties(o);
  }

  bool OnContentDescription(const AsfObject& o) {
    std::vector<BYTE> b;
    if (!ReadBody(o, 10, 5 * 0x10000 + 10, &b)) return false;
    static const wchar_t* const kNames[] = {kAttrTitle, kAttrAuthor, L"Copyright", L"Description",
                                            L"Rating"};
    size_t pos = 10;
    for (int i = 0; i < 5; ++i) {
      const size_t len = ReadLE16(&b[2 * i]);
      if (len > b.size() - pos) return false;
      const std::wstring text = DecodeUtf16Text(&b[pos], len, false);
      if (!text.empty()) _out->AddString(kNames[i], text);
      pos += len;
    }
    return true;
  }

  bool OnExtendedContent(const AsfObject& o) {
    BYTE c[2] = {};
    if (o.end - o.body < 2 || !_source.ReadAt(o.body, c, 2)) return false;
    std::uint64_t pos = o.body + 2;
    for (WORD i = 0, count = ReadLE16(c); i < count; ++i) {
      BYTE n[2] = {};
      if (o.end - pos < 2 || !_source.ReadAt(pos, n, 2)) return false;
      const std::uint64_t name_at = pos + 2;
      const WORD name_len = ReadLE16(n);
      BYTE tv[4] = {};
      if (o.end - name_at < name_len + 4u || !_source.ReadAt(name_at + name_len, tv, 4)) {
        return false;
      }
      const std::uint64_t value_at = name_at + name_len + 4;
      const WORD value_len = ReadLE16(tv + 2);
      if (o.end - value_at < value_len) return false;
      AddValue(name_at, name_len, ReadLE16(tv), value_at, value_len, false);
      pos = value_at + value_len;
    }
    return true;
  }

  bool OnMetadata(const AsfObject& o, bool library) {
    BYTE c[2] = {};
    if (o.end - o.body < 2 || !_source.ReadAt(o.body, c, 2)) return false;
    std::uint64_t pos = o.body + 2;
    for (WORD i = 0, count = ReadLE16(c); i < count; ++i) {
      BYTE r[12] = {};
      if (o.end - pos < sizeof(r) || !_source.ReadAt(pos, r, sizeof(r))) return false;
      const WORD language = ReadLE16(r);
      const WORD stream = ReadLE16(r + 2);
      const WORD name_len = ReadLE16(r + 4);
      const WORD type = ReadLE16(r + 6);
      const std::uint32_t value_len = ReadLE32(r + 8);
      const std::uint64_t name_at = pos + sizeof(r);
      if (o.end - name_at < name_len || o.end - name_at - name_len < value_len) return false;
      // Stream-level values describe one stream, not the file.
      if (stream == 0) {
        AddValue(name_at, name_len, type, name_at + name_len, value_len, true,
                 library ? language : 0);
      }
      pos = name_at + name_len + value_len;
    }
    return true;
  }

  // One named value; values of unknown types or sizes, or too large to
  // keep, are left out.
  void AddValue(std::uint64_t name_at, WORD name_len, WORD type, std::uint64_t value_at,
                std::uint32_t value_len, bool short_bool, WORD language = 0) {
    if (value_len > kMaxAttributeBytes) return;
    std::vector<BYTE> name_bytes(name_len);
    std::vector<BYTE> value(value_len);
    if (!_source.ReadAt(name_at, name_bytes.data(), name_len) ||
        !_source.ReadAt(value_at, value.data(), value_len)) {
      return;
    }
    MediaAttribute a;
    a.name = DecodeUtf16Text(name_bytes.data(), name_bytes.size(), false);
    a.language = language;
    if (a.name.empty()) return;
    switch (type) {
      case kAsfString:
        a.type = WMT_TYPE_STRING;
        a.value = StringAttributeBytes(DecodeUtf16Text(value.data(), value.size(), false));
        break;
      case kAsfBytes:
        a.type = WMT_TYPE_BINARY;
        a.value = std::move(value);
        break;
      case kAsfBool:
        // Always handed out as 4 bytes, as the extended content stores it.
        if (value.size() != (short_bool ? 2u : 4u)) return;
        a.type = WMT_TYPE_BOOL;
        a.value.assign(4, 0);
        a.value[0] = (value[0] || value[1]) ? 1 : 0;
        break;
      case kAsfDword:
      case kAsfQword:
      case kAsfWord:
      case kAsfGuid: {
        static const WMT_ATTR_DATATYPE kTypes[] = {WMT_TYPE_DWORD, WMT_TYPE_QWORD, WMT_TYPE_WORD,
                                                   WMT_TYPE_GUID};
        static const size_t kSizes[] = {4, 8, 2, 16};
        if (value.size() != kSizes[type - kAsfDword]) return;
        a.type = kTypes[type - kAsfDword];
        a.value = std::move(value);
        break;
      }
      default:
        return;
    }
    _out->Add(std::move(a));
  }

  bool OnHeaderExtension(const AsfObject& o) {
    BYTE h[22] = {};
    if (o.end - o.body < sizeof(h) || !_source.ReadAt(o.body, h, sizeof(h))) return false;
    const std::uint64_t begin = o.body + sizeof(h);
    const std::uint32_t size = ReadLE32(h + 18);
    if (size > o.end - begin) return false;
    return WalkObjects(begin, begin + size, &CAsfHeaderReader::OnExtensionObject);
  }

  void Finish() {
    const std::uint64_t bitrate = _audio_bitrate ? _audio_bitrate : _max_bitrate;
    _out->AddQword(kAttrDuration, _duration);
    _out->AddDword(kAttrBitrate, static_cast<DWORD>(std::min<std::uint64_t>(bitrate, 0xFFFFFFFF)));
    _out->AddBool(kAttrSeekable, _seekable);
    _out->AddBool(kAttrIsProtected, _out->IsProtected());
  }

  CByteSource& _source;
  CMediaDescription* _out;
  bool _have_file_properties = false;
  std::uint64_t _duration = 0;
  bool _seekable = false;
  std::uint32_t _max_bitrate = 0;
  std::uint64_t _audio_bitrate = 0;
};

}  // namespace

bool IsAsfFile(CByteSource& source) {
  BYTE id[kGuidSize] = {};
  GUID g;
  if (!source.ReadAt(0, id, sizeof(id))) return false;
  std::memcpy(&g, id, sizeof(g));
  return IsEqualGUID(g, kAsfHeaderObject);
}

HRESULT ReadAsfDescription(CByteSource& source, CMediaDescription* out) {
  return CAsfHeaderReader(source, out).Read();
}

}  // namespace media
}  // namespace libmusic
