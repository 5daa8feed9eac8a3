// Builders of music-file bytes for the tests: ID3 tags, MPEG audio frames,
// ASF headers and MP4 boxes, so that well-formed, malformed and protected
// variants are made in code rather than kept as binaries.
#pragma once

#include "OvWindows.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace musictest {

std::string BE16(std::uint16_t v);
std::string BE32(std::uint32_t v);
std::string BE64(std::uint64_t v);
std::string LE16(std::uint16_t v);
std::string LE32(std::uint32_t v);
std::string LE64(std::uint64_t v);
std::string GuidBytes(const GUID& g);

std::string Utf16LE(const std::wstring& text, bool bom = false, bool zero = false);
std::string Utf16BE(const std::wstring& text, bool bom = false, bool zero = false);
std::string Utf8(const std::wstring& text);

// ID3

std::string SyncSafe(std::uint32_t v);
// A frame of version major (2, 3 or 4); flags are the second flag byte.
std::string Id3Frame(int major, const std::string& id, const std::string& body,
                     std::uint8_t flags = 0);
// A text frame body: the encoding byte, then the encoded text.
std::string Id3Text(std::uint8_t encoding, const std::string& text);
std::string Id3Tag(int major, const std::string& frames, std::uint8_t flags = 0,
                   size_t padding = 0);
std::string Id3v1(const std::string& title, const std::string& artist, const std::string& album,
                  int track, int genre);

// MPEG audio

// An MPEG-1 layer 3 frame of 128 kbit/s at 44100 Hz (417 bytes), joint
// stereo or mono; its body is zeros.
std::string MpegFrame(bool mono = false);
// The same frame carrying a Xing ("Xing" or "Info") header.
std::string XingFrame(const char* tag, std::uint32_t frames, std::uint32_t bytes);
std::string VbriFrame(std::uint32_t frames, std::uint32_t bytes);
std::string MpegFrames(int count, bool mono = false);

// ASF

std::string AsfObject(const GUID& id, const std::string& body);
std::string AsfHeader(const std::vector<std::string>& objects);
std::string AsfFileProperties(std::uint64_t play_100ns, std::uint64_t preroll_ms,
                              std::uint32_t max_bitrate);
std::string AsfAudioStream(int number, WORD format_tag, WORD channels, DWORD rate, DWORD avg_bytes,
                           WORD extra_size = 10);
std::string AsfVideoStream(int number);
std::string AsfContentDescription(const std::wstring& title, const std::wstring& author);
struct AsfValue {
  std::wstring name;
  WORD type;  // 0 string, 1 bytes, 2 bool, 3 dword, 4 qword, 5 word
  std::string value;
};
std::string AsfExtendedContent(const std::vector<AsfValue>& values);
std::string AsfMetadataLibrary(const std::vector<AsfValue>& values);
std::string AsfHeaderExtension(const std::vector<std::string>& objects);
std::string AsfContentEncryption();
// A WMA header: file properties, one audio stream, the given extra objects.
std::string SimpleWma(const std::vector<std::string>& extra, WORD format_tag = 0x161,
                      DWORD rate = 44100, WORD channels = 2, DWORD bitrate = 128000);

// MP4

std::string Box(const std::string& type, const std::string& body);
std::string FullBox(const std::string& type, std::uint8_t version, const std::string& body);

struct Mp4Options {
  std::uint32_t timescale = 44100;
  std::uint32_t duration = 44100 * 3;
  bool mvhd_v1 = false;
  std::string format = "mp4a";
  std::uint16_t channels = 2;
  std::uint16_t bits = 16;
  std::uint16_t sample_rate = 44100;
  std::uint32_t avg_bitrate = 128000;
  bool short_lengths = false;  // descriptor lengths in one byte
  std::uint8_t extra_tag = 0;  // a further descriptor of this tag, when not 0
  std::uint32_t sample_count = 10;
  std::vector<std::string> items;  // ilst items (see the Item functions)
  std::string handler = "soun";
};
std::string Mp4ItemText(const std::string& name, const std::wstring& text);
std::string Mp4ItemGenre(std::uint16_t number);
std::string Mp4ItemTrack(std::uint16_t track, std::uint16_t total);
std::string Esds(const Mp4Options& o);
std::string Mp4Moov(const Mp4Options& o);
std::string Mp4File(const Mp4Options& o);

// The name of the encoder item: 0xA9 "too".
std::string ItemName(const char* three);

}  // namespace musictest
