// MP3 files as the media reader layer sees them: ID3 tags in every version
// and text encoding, MPEG frame headers, Xing/Info/VBRI headers, and
// damaged files.
#include "MediaBuilders.h"
#include "MusicTestSupport.h"
#include "media/Id3Tag.h"
#include "media/MpegAudio.h"
#include "media/TagText.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace libmusic::media;
using namespace musictest;

namespace {

struct Described {
  HRESULT hr = E_FAIL;
  CMediaDescription description;

  std::wstring Text(const wchar_t* name) const {
    const MediaAttribute* a = description.Find(name);
    return a ? AttributeString(*a) : L"<absent>";
  }
  std::uint64_t Number(const wchar_t* name) const {
    const MediaAttribute* a = description.Find(name);
    std::uint64_t v = 0;
    if (a) std::memcpy(&v, a->value.data(), std::min<size_t>(8, a->value.size()));
    return v;
  }
  std::vector<std::wstring> All(const wchar_t* name) const {
    std::vector<std::wstring> values;
    for (WORD i : description.IndicesOf(name)) {
      values.push_back(AttributeString(description.Attributes()[i]));
    }
    return values;
  }
};

Described DescribeMp3(const std::string& bytes) {
  Described d;
  CMemorySource source(bytes);
  d.hr = ReadMp3Description(source, &d.description);
  return d;
}

const std::string kAudio = MpegFrames(20);

}  // namespace

struct TextCase {
  const char* name;
  int major;
  std::string body;
  std::wstring expected;
};

class Id3TextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(Id3TextTest, TitleComesThroughAsUtf16) {
  const TextCase& c = GetParam();
  const char* id = c.major == 2 ? "TT2" : "TIT2";
  const Described d = DescribeMp3(Id3Tag(c.major, Id3Frame(c.major, id, c.body)) + kAudio);
  ASSERT_EQ(S_OK, d.hr);
  EXPECT_EQ(c.expected, d.Text(kAttrTitle));
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, Id3TextTest,
    ::testing::Values(
        TextCase{"Latin1_v22", 2, Id3Text(0, "Caf\xE9"), L"Caf\u00E9"},
        // Shift-JIS in a single-byte frame, as Japanese taggers write it.
        TextCase{"ShiftJis_v23", 3, Id3Text(0, "\x93\xFA\x96\x7B\x8C\xEA"), L"日本語"},
        TextCase{"Utf16Bom_v23", 3, Id3Text(1, Utf16LE(L"日本語タイトル", true, true)),
                 L"日本語タイトル"},
        TextCase{"Utf16BigBom_v23", 3, Id3Text(1, Utf16BE(L"表ソ", true)), L"表ソ"},
        TextCase{"Utf16Be_v24", 4, Id3Text(2, Utf16BE(L"ソ表", false, true)), L"ソ表"},
        TextCase{"Utf8_v24", 4, Id3Text(3, Utf8(L"\U0001F3B5 曲 \u00E9\u0101")),
                 L"\U0001F3B5 曲 \u00E9\u0101"},
        TextCase{"TrailingBlanks", 3, Id3Text(0, std::string("Song  \0junk", 11)), L"Song"},
        TextCase{"OddUtf16Length", 3, Id3Text(1, Utf16LE(L"AB", true) + "\x43"), L"AB"}),
    [](const ::testing::TestParamInfo<TextCase>& param) { return std::string(param.param.name); });

TEST(Id3Tags, FramesOfEachVersionMapToAttributes) {
  for (int major = 2; major <= 4; ++major) {
    SCOPED_TRACE(major);
    const bool v2 = major == 2;
    const std::string frames = Id3Frame(major, v2 ? "TT2" : "TIT2", Id3Text(0, "T")) +
                               Id3Frame(major, v2 ? "TAL" : "TALB", Id3Text(0, "Al")) +
                               Id3Frame(major, v2 ? "TP1" : "TPE1", Id3Text(0, "Ar")) +
                               Id3Frame(major, v2 ? "TCO" : "TCON", Id3Text(0, "(17)")) +
                               Id3Frame(major, v2 ? "TRK" : "TRCK", Id3Text(0, "7/12")) +
                               Id3Frame(major, v2 ? "PIC" : "APIC", std::string(3000, '\x77'));
    const Described d = DescribeMp3(Id3Tag(major, frames, 0, 100) + kAudio);
    ASSERT_EQ(S_OK, d.hr);
    EXPECT_EQ(L"T", d.Text(kAttrTitle));
    EXPECT_EQ(L"Al", d.Text(kAttrAlbumTitle));
    EXPECT_EQ(L"Ar", d.Text(kAttrAuthor));
    EXPECT_EQ(L"Rock", d.Text(kAttrGenre));
    EXPECT_EQ(L"7/12", d.Text(kAttrTrackNumber));
  }
}

TEST(Id3Tags, SeveralArtistsAreSeveralValues) {
  const std::string body = Id3Text(3, "One" + std::string(1, '\0') + "Two" + std::string(1, '\0'));
  const Described d = DescribeMp3(Id3Tag(4, Id3Frame(4, "TPE1", body)) + kAudio);
  EXPECT_EQ((std::vector<std::wstring>{L"One", L"Two"}), d.All(kAttrAuthor));
}

TEST(Id3Tags, GenreReferencesResolve) {
  EXPECT_EQ(L"Rock", ResolveGenre(L"(17)"));
  EXPECT_EQ(L"Rock", ResolveGenre(L"17"));
  EXPECT_EQ(L"Blues", ResolveGenre(L"0"));
  EXPECT_EQ(L"SynthPop", ResolveGenre(L"(147)"));
  EXPECT_EQ(L"Heavy", ResolveGenre(L"(17)Heavy"));
  EXPECT_EQ(L"Remix", ResolveGenre(L"(RX)"));
  EXPECT_EQ(L"(paren", ResolveGenre(L"((paren"));
  EXPECT_EQ(L"200", ResolveGenre(L"200"));
  EXPECT_EQ(L"(abc)", ResolveGenre(L"(abc)"));
  EXPECT_EQ(L"J-Pop", ResolveGenre(L"J-Pop"));
}

TEST(Id3Tags, Version1FillsOnlyWhatVersion2LeftOut) {
  const std::string v2 = Id3Tag(3, Id3Frame(3, "TIT2", Id3Text(0, "From v2")));
  const std::string v1 = Id3v1("From v1", "\x89\xCC\x8E\xE8", "Album1", 9, 8);
  const Described d = DescribeMp3(v2 + kAudio + v1);
  ASSERT_EQ(S_OK, d.hr);
  EXPECT_EQ(L"From v2", d.Text(kAttrTitle));
  EXPECT_EQ(L"歌手", d.Text(kAttrAuthor));
  EXPECT_EQ(L"Album1", d.Text(kAttrAlbumTitle));
  EXPECT_EQ(L"9", d.Text(kAttrTrackNumber));
  EXPECT_EQ(L"Jazz", d.Text(kAttrGenre));
}

TEST(Id3Tags, UnsynchronisedAndExtendedHeadersAreUndone) {
  // 2.3 whole-tag unsynchronisation: 0xFF 0x00 stands for 0xFF.
  const std::string frame = Id3Frame(3, "TIT2",
                                     Id3Text(0,
                                             "A\xFF"
                                             "B"));
  std::string unsynced;
  for (char c : frame) {
    unsynced += c;
    if (c == '\xFF') unsynced += '\0';
  }
  // The frame header's size still counts the restored bytes.
  Described d = DescribeMp3(Id3Tag(3, unsynced, 0x80) + kAudio);
  EXPECT_EQ(
      L"A\u00FF"
      L"B",
      d.Text(kAttrTitle));

  const std::string ext23 = BE32(6) + std::string(6, '\0');
  d = DescribeMp3(Id3Tag(3, ext23 + Id3Frame(3, "TIT2", Id3Text(0, "E3")), 0x40) + kAudio);
  EXPECT_EQ(L"E3", d.Text(kAttrTitle));
  const std::string ext24 = SyncSafe(6) + std::string("\x01\x00", 2);
  d = DescribeMp3(Id3Tag(4, ext24 + Id3Frame(4, "TIT2", Id3Text(0, "E4")), 0x40) + kAudio);
  EXPECT_EQ(L"E4", d.Text(kAttrTitle));
}

TEST(Id3Tags, Version24WithPlainSizesIsRead) {
  // Some writers put a plain 32-bit size into 2.4 frames; 200 bytes is
  // 0x000000C8, which as a sync-safe number would be 0x48.
  const std::string title(199, 'x');
  const std::string frame =
      std::string("TIT2") + BE32(200) + std::string(2, '\0') + Id3Text(0, title);
  const std::string next = Id3Frame(4, "TALB", Id3Text(0, "After"));
  const Described d = DescribeMp3(Id3Tag(4, frame + next) + kAudio);
  EXPECT_EQ(std::wstring(199, L'x'), d.Text(kAttrTitle));
  EXPECT_EQ(L"After", d.Text(kAttrAlbumTitle));
}

TEST(Id3Tags, CompressedAndEncryptedFramesAreSkipped) {
  const std::string frames = Id3Frame(3, "TIT2", Id3Text(0, "zipped"), 0x80) +
                             Id3Frame(3, "TALB", Id3Text(0, "locked"), 0x40) +
                             Id3Frame(3, "TPE1", "\x07" + Id3Text(0, "grouped"), 0x20);
  const Described d = DescribeMp3(Id3Tag(3, frames) + kAudio);
  ASSERT_EQ(S_OK, d.hr);
  EXPECT_EQ(L"<absent>", d.Text(kAttrTitle));
  EXPECT_EQ(L"<absent>", d.Text(kAttrAlbumTitle));
  EXPECT_EQ(L"grouped", d.Text(kAttrAuthor));
}

struct HeaderCase {
  const char* bytes;
  int version, layer, bitrate, rate, channels, length;
};

TEST(MpegAudio, FrameHeadersKnownAnswers) {
  const HeaderCase cases[] = {
      {"\xFF\xFB\x90\x40", 10, 3, 128000, 44100, 2, 417},
      {"\xFF\xFB\x92\x40", 10, 3, 128000, 44100, 2, 418},  // padded
      {"\xFF\xFB\xE4\xC0", 10, 3, 320000, 48000, 1, 960},
      {"\xFF\xF3\x10\xC4", 20, 3, 8000, 22050, 1, 26},  // MPEG-2
      {"\xFF\xE3\x18\xC4", 25, 3, 8000, 8000, 1, 72},   // MPEG-2.5
      {"\xFF\xFD\x80\x00", 10, 2, 128000, 44100, 2, 417},
      {"\xFF\xFF\x40\x00", 10, 1, 128000, 44100, 2, 136},
  };
  for (const HeaderCase& c : cases) {
    SCOPED_TRACE(c.length);
    MpegFrameHeader h;
    ASSERT_TRUE(ParseMpegFrameHeader(reinterpret_cast<const BYTE*>(c.bytes), &h));
    EXPECT_EQ(c.version, h.version);
    EXPECT_EQ(c.layer, h.layer);
    EXPECT_EQ(c.bitrate, h.bitrate);
    EXPECT_EQ(c.rate, h.sample_rate);
    EXPECT_EQ(c.channels, h.channels);
    EXPECT_EQ(c.length, h.frame_length);
  }
  const char* const bad[] = {"\xFF\xFB\xF0\x40", "\xFF\xFB\x00\x40", "\xFF\xFB\x9C\x40",
                             "\xFF\xEB\x90\x40", "\xFF\xF9\x90\x40", "\xFE\xFB\x90\x40"};
  for (const char* b : bad) {
    MpegFrameHeader h;
    EXPECT_FALSE(ParseMpegFrameHeader(reinterpret_cast<const BYTE*>(b), &h));
  }
}

TEST(MpegAudio, ConstantRateDurationFollowsFromTheSize) {
  const Described d = DescribeMp3(MpegFrames(100));
  ASSERT_EQ(S_OK, d.hr);
  // 41700 bytes at 128 kbit/s: 2.60625 s.
  EXPECT_EQ(26062500u, d.Number(kAttrDuration));
  EXPECT_EQ(128000u, d.Number(kAttrBitrate));
  EXPECT_EQ(0u, d.Number(kAttrIsVBR));
  ASSERT_EQ(1u, d.description.Streams().size());
  const MediaStream& s = d.description.Streams()[0];
  EXPECT_TRUE(IsEqualGUID(WMMEDIASUBTYPE_MP3, s.subtype));
  WAVEFORMATEX wf;
  std::memcpy(&wf, s.format.data(), sizeof(wf));
  EXPECT_EQ(0x55, wf.wFormatTag);
  EXPECT_EQ(2, wf.nChannels);
  EXPECT_EQ(44100u, wf.nSamplesPerSec);
  EXPECT_EQ(16000u, wf.nAvgBytesPerSec);
  EXPECT_EQ(12, wf.cbSize);
}

TEST(MpegAudio, XingAndVbriHeadersGiveFramesAndRate) {
  // 1000 frames of 1152 samples at 44100 Hz: 26.122448 s; the file holds
  // them (417 bytes each).
  Described d = DescribeMp3(XingFrame("Xing", 1000, 300000) + MpegFrames(999));
  ASSERT_EQ(S_OK, d.hr);
  EXPECT_EQ(261224489u, d.Number(kAttrDuration));
  EXPECT_EQ(1u, d.Number(kAttrIsVBR));
  EXPECT_EQ(91875u, d.Number(kAttrBitrate));  // 300000 * 8 / 26.1224 s

  d = DescribeMp3(XingFrame("Info", 1000, 300000) + MpegFrames(999));
  EXPECT_EQ(0u, d.Number(kAttrIsVBR));
  EXPECT_EQ(128000u, d.Number(kAttrBitrate));
  EXPECT_EQ(261224489u, d.Number(kAttrDuration));

  d = DescribeMp3(VbriFrame(1000, 300000) + MpegFrames(999));
  EXPECT_EQ(1u, d.Number(kAttrIsVBR));
  EXPECT_EQ(261224489u, d.Number(kAttrDuration));
}

TEST(MpegAudio, HeadersThatClaimMoreThanTheFileHoldsFallBackToTheSize) {
  // Six frames of 417 bytes at 128 kbit/s: 2502 bytes, 0.156375 s.
  const std::uint64_t estimate = 2502ull * 8 * 10000000 / 128000;
  const std::string claims[] = {
      XingFrame("Xing", 1000, 2000),  // frames
      XingFrame("Xing", 6, 300000),   // bytes
      XingFrame("Info", 1000, 0),     // frames, no bytes
      VbriFrame(1000, 2000),          // frames
      VbriFrame(6, 300000),           // bytes
  };
  for (const std::string& first : claims) {
    const Described d = DescribeMp3(first + MpegFrames(5));
    ASSERT_EQ(S_OK, d.hr);
    EXPECT_EQ(estimate, d.Number(kAttrDuration));
    EXPECT_EQ(128000u, d.Number(kAttrBitrate));
  }
  // A header that fits stays believed.
  const Described d = DescribeMp3(XingFrame("Xing", 6, 2000) + MpegFrames(5));
  EXPECT_EQ(6ull * 1152 * 10000000 / 44100, d.Number(kAttrDuration));
  EXPECT_EQ(1u, d.Number(kAttrIsVBR));
}

TEST(MpegAudio, FalseSyncInJunkIsNotTakenForAFrame) {
  // A lone frame-like header in junk, not followed by a second frame.
  const std::string junk = std::string("\xFF\xFB\x90\x40", 4) + std::string(600, '\x01');
  const Described d = DescribeMp3(junk + MpegFrames(10));
  ASSERT_EQ(S_OK, d.hr);
  EXPECT_EQ(4170ull * 8 * 10000000 / 128000, d.Number(kAttrDuration));
}

TEST(MpegAudio, FilesWithoutAudioAreRefused) {
  EXPECT_EQ(NS_E_INVALID_INPUT_FORMAT, DescribeMp3("").hr);
  EXPECT_EQ(NS_E_INVALID_INPUT_FORMAT, DescribeMp3(std::string(5000, '\0')).hr);
  EXPECT_EQ(NS_E_INVALID_INPUT_FORMAT,
            DescribeMp3(Id3Tag(3, Id3Frame(3, "TIT2", Id3Text(0, "tag only")))).hr);
}

// Every truncation and every flipped byte of a tagged file ends without a
// crash, with either a description or a format error.
TEST(Mp3Corruption, TruncationsAndFlippedBytes) {
  const std::string frames = Id3Frame(4, "TIT2", Id3Text(1, Utf16LE(L"曲名", true, true))) +
                             Id3Frame(4, "TPE1", Id3Text(3, "a\0b")) +
                             Id3Frame(4, "TCON", Id3Text(0, "(17)x"));
  const std::string file = Id3Tag(4, frames, 0, 20) + XingFrame("Xing", 50, 20000) + MpegFrames(3) +
                           Id3v1("t", "a", "b", 1, 1);
  for (size_t n = 0; n < file.size(); ++n) {
    const Described d = DescribeMp3(file.substr(0, n));
    EXPECT_TRUE(d.hr == S_OK || d.hr == NS_E_INVALID_INPUT_FORMAT) << n;
  }
  for (size_t i = 0; i < file.size(); ++i) {
    for (char flip : {'\xFF', '\x80', '\x01'}) {
      std::string bad = file;
      bad[i] = static_cast<char>(bad[i] ^ flip);
      const Described d = DescribeMp3(bad);
      EXPECT_TRUE(d.hr == S_OK || d.hr == NS_E_INVALID_INPUT_FORMAT) << i;
    }
  }
}

TEST(Mp3Corruption, HugeDeclaredSizesCostNoMemory) {
  // Tag and frame sizes far beyond the file.
  const std::string frame = std::string("TIT2") + SyncSafe(0x0FFFFFFF) + std::string(2, '\0') + "x";
  const std::string tag = std::string("ID3\x04\x00\x00", 6) + SyncSafe(0x0FFFFFFF) + frame;
  EXPECT_EQ(NS_E_INVALID_INPUT_FORMAT, DescribeMp3(tag).hr);
  const std::string tag2 = Id3Tag(3, std::string("TIT2") + BE32(0xFFFFFFF0) + "\0\0" + "x");
  const Described d = DescribeMp3(tag2 + kAudio);
  EXPECT_EQ(S_OK, d.hr);
  EXPECT_EQ(L"<absent>", d.Text(kAttrTitle));
}
