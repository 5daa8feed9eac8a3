// MPEG audio streams (the audio of MP3 files): frame headers, the first
// real frame after the tags, the Xing/Info and VBRI headers that give a
// stream's frame count, and the duration, bit rate and wave format that
// follow from them. Not thread-bound.
#pragma once

#include "media/ByteSource.h"
#include "media/MediaDescription.h"

#include <cstdint>
#include <vector>

namespace libmusic {
namespace media {

struct MpegFrameHeader {
  int version = 0;  // 10 MPEG-1, 20 MPEG-2, 25 MPEG-2.5
  int layer = 0;    // 1..3
  int bitrate = 0;  // bits per second
  int sample_rate = 0;
  int channels = 0;
  int samples_per_frame = 0;
  int frame_length = 0;  // bytes, padding included
  bool mono = false;
};

// False for anything that is not a valid header (free-format bit rates
// included: their frame length cannot be known from the header).
bool ParseMpegFrameHeader(const BYTE* header, MpegFrameHeader* out);

struct MpegStreamInfo {
  MpegFrameHeader first;
  std::uint64_t first_frame = 0;  // file offset
  std::uint64_t audio_bytes = 0;  // from the first frame to the audio's end
  std::uint64_t duration = 0;     // 100 ns
  int bitrate = 0;                // bits per second, averaged for VBR
  bool vbr = false;
};

// Finds the first frame in [begin, end) that a second frame confirms and
// reads the stream's figures. NS_E_INVALID_INPUT_FORMAT when there is no
// MPEG audio, or the source's read error.
HRESULT ReadMpegStream(CByteSource& source, std::uint64_t begin, std::uint64_t end,
                       MpegStreamInfo* out);

// The stream's WAVEFORMATEX with its MPEG extra bytes (format tag 0x55 for
// layer 3, 0x50 for layers 1 and 2).
std::vector<BYTE> MpegWaveFormat(const MpegStreamInfo& info);

// A whole MP3 file: its tags and its audio stream. Fails when no audio is
// found.
HRESULT ReadMp3Description(CByteSource& source, CMediaDescription* out);

}  // namespace media
}  // namespace libmusic
