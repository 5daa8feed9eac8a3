// M4A files through our own MP4 box walk: an ffmpeg file, built variants
// (genre numbers, protection, descriptor layouts, box sizes 0, 1, tiny and
// huge) and corruption sweeps.
#include "MediaBuilders.h"
#include "Mp4BoxWalker.h"
#include "MusicFileReaderAAC.h"
#include "MusicTestSupport.h"
#include "RetryPause.h"
#include "StringUtil.h"

#include <gtest/gtest.h>

using namespace libmusic;
using namespace musictest;

namespace {

// Walks bytes in memory; null when the walk fails.
std::unique_ptr<CMusicFileInfo> Walk(const std::string& bytes) {
  media::CMemorySource source(bytes);
  auto info = std::make_unique<CMusicFileInfo>();
  if (!CMp4BoxWalker(source, info.get()).Walk()) return nullptr;
  return info;
}

Mp4Options Tagged() {
  Mp4Options o;
  o.items = {Mp4ItemText(ItemName("nam"), L"ソナタ"),
             Mp4ItemText(ItemName("ART"), L"奏者"),
             Mp4ItemText(ItemName("alb"), L"Album M"),
             Mp4ItemGenre(18),
             Mp4ItemTrack(200, 300),
             Mp4ItemText(ItemName("too"), L"iTunes 8.0.1.11, QuickTime 7.5.5"),
             Mp4ItemText("covr", std::wstring(100, L'p'))};
  return o;
}

}  // namespace

TEST(AacReader, FfmpegFileWithItunesTags) {
  ovtest::CTempDir dir;
  std::string bytes = GeneratedMedia("t128.m4a");
  ASSERT_FALSE(bytes.empty());
  const auto info = CMusicFileReaderAAC().GetInfo(WriteMedia(dir, "t.m4a", bytes));
  ASSERT_TRUE(info);
  EXPECT_EQ(L"AAC Title", info->title);
  EXPECT_EQ(L"AAC Artist", info->artist);
  EXPECT_EQ(L"AAC Album", info->album);
  EXPECT_EQ(L"Pop", info->genre);
  EXPECT_EQ(200, info->track_number);
  EXPECT_EQ(44100, info->sample_rate);
  EXPECT_EQ(2, info->channels);
  EXPECT_EQ(16, info->bits_per_sample);
  EXPECT_EQ(1, info->vbr);
  EXPECT_EQ(0, info->is_protected);
  EXPECT_EQ(0, info->encoder.find(L"Lavf"));
  EXPECT_NEAR(128000, info->bitrate, 4000);
  EXPECT_GT(info->duration, 19500000u);
  EXPECT_LT(info->duration, 20500000u);
  info->file_name = L"t.m4a";
  CLogCapture log;
  EXPECT_FALSE(CMusicFileReaderAAC().CheckCodec(*info));
  EXPECT_TRUE(log.Contains("CheckCodec NG [t.m4a] Invalid Encoder : Lavf"));
}

TEST(AacReader, FfmpegFileWithAnItunesEncoderIsAccepted) {
  // The same file as if iTunes had written it: its encoder tag and a
  // nominal average bit rate, patched in place at equal lengths.
  std::string bytes = GeneratedMedia("t128.m4a");
  const size_t too = bytes.find(ItemName("too"));
  ASSERT_NE(std::string::npos, too);
  const size_t value = too + 4 + 16;
  const size_t length = static_cast<unsigned char>(bytes[too - 1]) - 8 - 16;
  ASSERT_GE(length, 8u);
  bytes.replace(value, length, "iTunes " + std::string(length - 7, '9'));
  const size_t config = bytes.find(std::string("\x04\x80\x80\x80", 4), bytes.find("esds"));
  ASSERT_NE(std::string::npos, config);
  bytes.replace(config + 5 + 9, 4, BE32(128000));

  ovtest::CTempDir dir;
  const auto info = CMusicFileReaderAAC().GetInfo(WriteMedia(dir, "t.m4a", bytes));
  ASSERT_TRUE(info);
  EXPECT_EQ(128000, info->bitrate);
  info->file_name = L"t.m4a";
  CLogCapture log;
  EXPECT_TRUE(CMusicFileReaderAAC().CheckCodec(*info));
  EXPECT_TRUE(log.Contains("CheckCodec OK [t.m4a] 44100 Hz, 128000 bps, stereo, Encoder Ver 99"));
}

TEST(AacReader, BuiltFileKnownAnswers) {
  ovtest::CTempDir dir;
  const std::wstring path = WriteMediaW(dir, L"\u00C5sa \u0107 曲.m4a", Mp4File(Tagged()));
  ASSERT_FALSE(path.empty());
  const auto info = CMusicFileReaderAAC().GetInfo(path);
  ASSERT_TRUE(info);
  EXPECT_EQ(L"ソナタ", info->title);
  EXPECT_EQ(L"奏者", info->artist);
  EXPECT_EQ(L"Album M", info->album);
  EXPECT_EQ(L"Rock", info->genre);
  EXPECT_EQ(200, info->track_number);
  EXPECT_EQ(L"iTunes 8.0.1.11, QuickTime 7.5.5", info->encoder);
  EXPECT_EQ(30000000u, info->duration);
  EXPECT_EQ(128000, info->bitrate);
  EXPECT_EQ(1, info->vbr);
  EXPECT_TRUE(IsEqualGUID(GUID{}, info->media_subtype));
  info->file_name = L"b.m4a";
  CLogCapture log;
  EXPECT_TRUE(CMusicFileReaderAAC().CheckCodec(*info));
  EXPECT_TRUE(
      log.Contains("CheckCodec OK [b.m4a] 44100 Hz, 128000 bps, stereo, Encoder Ver 8.0.1.11,."));
}

TEST(AacReader, VariantsOfTheBoxes) {
  struct Case {
    const char* name;
    Mp4Options options;
    bool readable;
    const wchar_t* genre;
    int track;
    int is_protected;
  };
  Mp4Options genre2 = Tagged();
  genre2.items[3] = Mp4ItemGenre(2);
  Mp4Options track300 = Tagged();
  track300.items[4] = Mp4ItemTrack(300, 0);
  Mp4Options drms = Tagged();
  drms.format = "drms";
  Mp4Options other_tag = Tagged();
  other_tag.extra_tag = 7;
  Mp4Options short_lengths = Tagged();
  short_lengths.short_lengths = true;
  Mp4Options v1 = Tagged();
  v1.mvhd_v1 = true;
  Mp4Options alac = Tagged();
  alac.format = "alac";
  Mp4Options text_track = Tagged();
  text_track.handler = "text";
  const Case cases[] = {
      {"genre2", genre2, true, L"", 200, 0},
      {"track300", track300, true, L"Rock", 300, 0},
      {"drms", drms, true, L"Rock", 200, 1},
      {"otherTag", other_tag, false, L"", 0, 0},
      {"shortLengths", short_lengths, true, L"Rock", 200, 0},
      {"mvhdV1", v1, true, L"Rock", 200, 0},
      {"alac", alac, false, L"", 0, 0},
      {"textTrack", text_track, true, L"Rock", 200, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto info = Walk(Mp4File(c.options));
    ASSERT_EQ(c.readable, info != nullptr);
    if (!info) continue;
    EXPECT_EQ(c.genre, info->genre);
    EXPECT_EQ(c.track, info->track_number);
    EXPECT_EQ(c.is_protected, info->is_protected);
    EXPECT_EQ(30000000u, info->duration);
    if (c.options.handler == "soun") {
      EXPECT_EQ(44100, info->sample_rate);
      EXPECT_EQ(128000, info->bitrate);
    } else {
      EXPECT_EQ(0, info->sample_rate);  // a text track describes no audio
    }
  }
}

TEST(AacReader, AFileCutInsideItsMediaDataIsNotPlayable) {
  ovtest::CTempDir dir;
  const std::string whole = Mp4File(Tagged());
  const std::wstring cut_path = WriteMediaW(dir, L"cut.m4a", whole.substr(0, whole.size() - 10));
  const std::wstring whole_path = WriteMediaW(dir, L"whole.m4a", whole);
  ASSERT_FALSE(cut_path.empty());
  ASSERT_FALSE(whole_path.empty());
  const auto cut = CMusicFileReaderAAC().GetInfo(cut_path);
  ASSERT_TRUE(cut);
  EXPECT_TRUE(cut->media_cut);
  EXPECT_EQ(30000000u, cut->duration);  // what the movie header claims
  cut->file_name = L"cut.m4a";
  CLogCapture log;
  EXPECT_FALSE(CMusicFileReaderAAC().CheckCodec(*cut));
  EXPECT_TRUE(log.Contains("CheckCodec NG [cut.m4a] Media data runs past the end of the file."));
  const auto complete = CMusicFileReaderAAC().GetInfo(whole_path);
  ASSERT_TRUE(complete);
  EXPECT_FALSE(complete->media_cut);
  EXPECT_TRUE(CMusicFileReaderAAC().CheckCodec(*complete));
}

TEST(AacReader, BoxSizesZeroOneTinyAndHuge) {
  const std::string moov = Mp4Moov(Tagged());
  const std::string ftyp = Box("ftyp", "M4A " + BE32(0));
  // Size 0: the last box runs to the end of the file.
  auto info = Walk(ftyp + moov + BE32(0) + "mdat" + std::string(100, 'z'));
  ASSERT_TRUE(info);
  EXPECT_EQ(L"ソナタ", info->title);
  EXPECT_FALSE(info->media_cut);
  // Size 1: a 64-bit size follows.
  info = Walk(ftyp + BE32(1) + "free" + BE64(16 + 5) + "12345" + moov);
  ASSERT_TRUE(info);
  EXPECT_EQ(L"ソナタ", info->title);
  // Tiny sizes before the movie: the file cannot be described.
  EXPECT_FALSE(Walk(ftyp + BE32(3) + "free" + moov));
  // Tiny size after everything needed was read: what was read stands.
  info = Walk(ftyp + moov + BE32(5) + "free");
  ASSERT_TRUE(info);
  EXPECT_EQ(44100, info->sample_rate);
  // A huge box (a file cut short) after the movie.
  info = Walk(ftyp + moov + BE32(0x7FFFFFF0) + "mdat" + "abc");
  ASSERT_TRUE(info);
  EXPECT_EQ(200, info->track_number);
  EXPECT_TRUE(info->media_cut);
  // A huge 64-bit size.
  info = Walk(ftyp + moov + BE32(1) + "mdat" + BE64(0xFFFFFFFFFFFFFFF0ull));
  ASSERT_TRUE(info);
  EXPECT_TRUE(info->media_cut);
  // Empty file: nothing to read is no failure; the codec check refuses it.
  info = Walk("");
  ASSERT_TRUE(info);
  EXPECT_TRUE(info->encoder.empty());
}

TEST(AacReader, MissingFileIsTriedAgainThenLogged) {
  ovtest::CTempDir dir;
  static int pauses = 0;
  retrytest::SetPauseHook([](HANDLE, DWORD) { ++pauses; });
  CLogCapture log;
  EXPECT_FALSE(CMusicFileReaderAAC().GetInfo(ToWide(dir.File("none.m4a"))));
  retrytest::SetPauseHook(nullptr);
  EXPECT_EQ(3, pauses);
  EXPECT_TRUE(log.Contains("ファイルオープン失敗 ERR:00000002 PATH:"));
}

TEST(AacCorruption, TruncationsAndFlippedBytes) {
  const std::string file = Mp4File(Tagged());
  for (size_t n = 0; n <= file.size(); ++n) Walk(file.substr(0, n));
  for (size_t i = 0; i < file.size(); ++i) {
    for (char flip : {'\xFF', '\x80', '\x01', '\x08'}) {
      std::string bad = file;
      bad[i] = static_cast<char>(bad[i] ^ flip);
      const auto info = Walk(bad);
      if (info) {
        EXPECT_LE(info->title.size(), 100u) << i;
      }
    }
  }
}
