// MPEG audio streams; see MpegAudio.h.
#include "media/MpegAudio.h"

#include "media/Id3Tag.h"

#include <algorithm>
#include <cstring>

namespace libmusic {
namespace media {

namespace {

// Kilobits per second by [MPEG-1 ? 0 : 1][layer - 1][index].
const int kBitrates[2][3][16] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
};

const int kSampleRates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};

// How far past the tags the first frame is looked for.
constexpr std::uint64_t kMaxSyncSearch = 1024 * 1024;
constexpr size_t kScanChunk = 64 * 1024;
constexpr std::uint64_t kHundredNsPerSecond = 10000000;

constexpr WORD kWaveFormatMpeg = 0x0050;
constexpr WORD kWaveFormatMpegLayer3 = 0x0055;

// count / per_second seconds in 100 ns units, without overflowing.
std::uint64_t ToHundredNs(std::uint64_t count, std::uint64_t per_second) {
  return count / per_second * kHundredNsPerSecond +
         count % per_second * kHundredNsPerSecond / per_second;
}

bool SameStream(const MpegFrameHeader& a, const MpegFrameHeader& b) {
  return a.version == b.version && a.layer == b.layer && a.sample_rate == b.sample_rate;
}

// A frame at pos whose successor (or the audio's end) confirms it.
bool IsConfirmedFrame(CByteSource& source, std::uint64_t pos, std::uint64_t end,
                      MpegFrameHeader* out) {
  BYTE h[4] = {};
  if (!source.ReadAt(pos, h, 4) || !ParseMpegFrameHeader(h, out)) return false;
  const std::uint64_t next = pos + static_cast<std::uint64_t>(out->frame_length);
  if (next == end) return true;
  if (next + 4 > end) return false;
  MpegFrameHeader second;
  return source.ReadAt(next, h, 4) && ParseMpegFrameHeader(h, &second) && SameStream(*out, second);
}

HRESULT FindFirstFrame(CByteSource& source, std::uint64_t begin, std::uint64_t end,
                       MpegStreamInfo* out) {
  const std::uint64_t stop = std::min(end, begin + kMaxSyncSearch);
  std::vector<BYTE> chunk;
  for (std::uint64_t at = begin; at + 4 <= stop;) {
    const size_t n = static_cast<size_t>(std::min<std::uint64_t>(kScanChunk + 3, stop - at));
    chunk.resize(n);
    if (!source.ReadAt(at, chunk.data(), n)) {
      return source.Error() ? HRESULT_FROM_WIN32(source.Error()) : NS_E_INVALID_INPUT_FORMAT;
    }
    for (size_t i = 0; i + 1 < n; ++i) {
      if (chunk[i] != 0xFF || (chunk[i + 1] & 0xE0) != 0xE0) continue;
      if (IsConfirmedFrame(source, at + i, end, &out->first)) {
        out->first_frame = at + i;
        return S_OK;
      }
    }
    at += n > 3 ? n - 3 : n;
  }
  return NS_E_INVALID_INPUT_FORMAT;
}

// Side information length: where a Xing/Info header starts after the
// frame header.
size_t SideInfoSize(const MpegFrameHeader& h) {
  if (h.version == 10) return h.mono ? 17 : 32;
  return h.mono ? 9 : 17;
}

// Frame count and byte count from the first frame's Xing/Info or VBRI
// header; false when it has neither.
bool ReadFrameCountHeader(CByteSource& source, const MpegStreamInfo& info, std::uint64_t* frames,
                          std::uint64_t* bytes, bool* vbr) {
  const MpegFrameHeader& h = info.first;
  if (h.layer != 3) return false;
  BYTE x[16] = {};
  const std::uint64_t xing = info.first_frame + 4 + SideInfoSize(h);
  if (xing + 16 <= info.first_frame + h.frame_length && source.ReadAt(xing, x, sizeof(x)) &&
      (std::memcmp(x, "Xing", 4) == 0 || std::memcmp(x, "Info", 4) == 0)) {
    const std::uint32_t flags = ReadBE32(x + 4);
    size_t at = 8;
    *frames = 0;
    *bytes = 0;
    if (flags & 1) {
      *frames = ReadBE32(x + at);
      at += 4;
    }
    if (flags & 2) *bytes = ReadBE32(x + at);
    // "Info" is what encoders write into constant-rate streams.
    *vbr = std::memcmp(x, "Xing", 4) == 0;
    return *frames != 0;
  }
  BYTE v[18] = {};
  const std::uint64_t vbri = info.first_frame + 4 + 32;
  if (vbri + sizeof(v) <= info.first_frame + h.frame_length && source.ReadAt(vbri, v, sizeof(v)) &&
      std::memcmp(v, "VBRI", 4) == 0) {
    *bytes = ReadBE32(v + 10);
    *frames = ReadBE32(v + 14);
    *vbr = true;
    return *frames != 0;
  }
  return false;
}

// The most frames the bytes could hold: every frame at the lowest bit rate
// of the first frame's version and layer, without padding.
std::uint64_t MostFramesIn(const MpegFrameHeader& h, std::uint64_t bytes) {
  const std::uint64_t lowest =
      static_cast<std::uint64_t>(kBitrates[h.version == 10 ? 0 : 1][h.layer - 1][1]) * 1000;
  const std::uint64_t rate = static_cast<std::uint64_t>(h.sample_rate);
  std::uint64_t length = h.layer == 1
                             ? 12 * lowest / rate * 4
                             : static_cast<std::uint64_t>(h.samples_per_frame) / 8 * lowest / rate;
  if (length == 0) length = 1;
  return bytes / length + 1;
}

}  // namespace

bool ParseMpegFrameHeader(const BYTE* p, MpegFrameHeader* out) {
  if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return false;
  const int version_bits = (p[1] >> 3) & 3;
  const int layer_bits = (p[1] >> 1) & 3;
  const int bitrate_index = p[2] >> 4;
  const int rate_index = (p[2] >> 2) & 3;
  if (version_bits == 1 || layer_bits == 0 || bitrate_index == 0 || bitrate_index == 15 ||
      rate_index == 3) {
    return false;
  }
  MpegFrameHeader h;
  h.version = version_bits == 3 ? 10 : version_bits == 2 ? 20 : 25;
  h.layer = 4 - layer_bits;
  const int table = h.version == 10 ? 0 : 1;
  h.bitrate = kBitrates[table][h.layer - 1][bitrate_index] * 1000;
  h.sample_rate = kSampleRates[h.version == 10 ? 0 : h.version == 20 ? 1 : 2][rate_index];
  const int padding = (p[2] >> 1) & 1;
  h.mono = (p[3] >> 6) == 3;
  h.channels = h.mono ? 1 : 2;
  if (h.layer == 1) {
    h.samples_per_frame = 384;
    h.frame_length = (12 * h.bitrate / h.sample_rate + padding) * 4;
  } else {
    h.samples_per_frame = (h.layer == 3 && h.version != 10) ? 576 : 1152;
    h.frame_length = h.samples_per_frame / 8 * h.bitrate / h.sample_rate + padding;
  }
  if (h.frame_length < 4) return false;
  *out = h;
  return true;
}

HRESULT ReadMpegStream(CByteSource& source, std::uint64_t begin, std::uint64_t end,
                       MpegStreamInfo* out) {
  MpegStreamInfo info;
  const HRESULT hr = FindFirstFrame(source, begin, end, &info);
  if (FAILED(hr)) return hr;
  info.audio_bytes = end - info.first_frame;
  std::uint64_t frames = 0;
  std::uint64_t bytes = 0;
  bool vbr = false;
  // A header that claims more frames or bytes than the file holds (a cut
  // file, or a wrong header) says nothing: the size gives the estimate.
  if (ReadFrameCountHeader(source, info, &frames, &bytes, &vbr) && bytes <= info.audio_bytes &&
      frames <= MostFramesIn(info.first, info.audio_bytes)) {
    const std::uint64_t samples = frames * static_cast<std::uint64_t>(info.first.samples_per_frame);
    info.duration = ToHundredNs(samples, static_cast<std::uint64_t>(info.first.sample_rate));
    info.vbr = vbr;
    if (vbr && info.duration) {
      const double stream_bytes = static_cast<double>(bytes ? bytes : info.audio_bytes);
      const double seconds = static_cast<double>(info.duration) / kHundredNsPerSecond;
      info.bitrate = static_cast<int>(std::min(stream_bytes * 8 / seconds + 0.5, 2147483647.0));
    } else {
      info.bitrate = info.first.bitrate;
    }
  } else {
    info.bitrate = info.first.bitrate;
    info.duration =
        ToHundredNs(info.audio_bytes * 8, static_cast<std::uint64_t>(info.first.bitrate));
  }
  *out = info;
  return S_OK;
}

std::vector<BYTE> MpegWaveFormat(const MpegStreamInfo& info) {
  const bool layer3 = info.first.layer == 3;
  // MPEGLAYER3WAVEFORMAT carries 12 extra bytes, MPEG1WAVEFORMAT 22.
  const WORD extra = layer3 ? 12 : 22;
  std::vector<BYTE> bytes(sizeof(WAVEFORMATEX) + extra, 0);
  WAVEFORMATEX wf = {};
  wf.wFormatTag = layer3 ? kWaveFormatMpegLayer3 : kWaveFormatMpeg;
  wf.nChannels = static_cast<WORD>(info.first.channels);
  wf.nSamplesPerSec = static_cast<DWORD>(info.first.sample_rate);
  wf.nAvgBytesPerSec = static_cast<DWORD>(info.bitrate / 8);
  wf.nBlockAlign = 1;
  wf.wBitsPerSample = 0;
  wf.cbSize = extra;
  std::memcpy(bytes.data(), &wf, sizeof(wf));
  BYTE* x = bytes.data() + sizeof(WAVEFORMATEX);
  if (layer3) {
    // wID 1 (MPEG), padding flags 2 (off) as a DWORD, block size, one
    // frame per block, codec delay.
    const WORD fields[] = {1, 2, 0, static_cast<WORD>(info.first.frame_length), 1, 1393};
    std::memcpy(x, fields, sizeof(fields));
  } else {
    // Layer bit, then the bit rate.
    const WORD head_layer = static_cast<WORD>(1 << (info.first.layer - 1));
    const DWORD bitrate = static_cast<DWORD>(info.first.bitrate);
    std::memcpy(x, &head_layer, 2);
    std::memcpy(x + 2, &bitrate, 4);
  }
  return bytes;
}

HRESULT ReadMp3Description(CByteSource& source, CMediaDescription* out) {
  const std::uint64_t begin = ReadLeadingId3Tags(source, out);
  const std::uint64_t end = ReadTrailingTags(source, std::min(begin, source.Size()), out);
  if (begin >= end) return NS_E_INVALID_INPUT_FORMAT;
  MpegStreamInfo info;
  const HRESULT hr = ReadMpegStream(source, begin, end, &info);
  if (FAILED(hr)) return hr;

  MediaStream stream;
  stream.number = 1;
  stream.type = WMMEDIATYPE_Audio;
  stream.format_type = WMFORMAT_WaveFormatEx;
  stream.format = MpegWaveFormat(info);
  WORD tag = 0;
  std::memcpy(&tag, stream.format.data(), sizeof(tag));
  stream.subtype = AudioSubtypeFromFormatTag(tag);
  out->Streams().push_back(std::move(stream));

  out->AddQword(kAttrDuration, info.duration);
  out->AddDword(kAttrBitrate, static_cast<DWORD>(info.bitrate));
  out->AddBool(kAttrIsVBR, info.vbr);
  out->AddBool(kAttrIsProtected, false);
  out->AddBool(kAttrSeekable, true);
  return S_OK;
}

}  // namespace media
}  // namespace libmusic
