// The codec and DRM checks of the three readers: each verdict and its log
// line, for records filled by hand.
#include "MusicFileReaderAAC.h"
#include "MusicFileReaderMP3.h"
#include "MusicFileReaderWMA.h"
#include "MusicTestSupport.h"

#include <gtest/gtest.h>

using namespace libmusic;
using namespace musictest;

namespace {

CMusicFileInfo Record(const GUID& subtype, int rate, int bitrate, int channels, int vbr = 0) {
  CMusicFileInfo info;
  info.file_name = L"dir\\song";
  info.media_subtype = subtype;
  info.sample_rate = rate;
  info.bitrate = bitrate;
  info.channels = static_cast<std::uint16_t>(channels);
  info.vbr = vbr;
  return info;
}

const GUID kWma = media::WMMEDIASUBTYPE_WMAudioV8;
const GUID kWmaPro = media::WMMEDIASUBTYPE_WMAudioV9;
const GUID kMp3 = media::WMMEDIASUBTYPE_MP3;
const GUID kOther = media::AudioSubtypeFromFormatTag(0x163);

struct Case {
  const char* name;
  CMusicFileInfo info;
  bool accepted;
  const char* line;  // expected in the log; empty: no refusal line at all
};

void Check(CMusicFileReader& reader, const Case& c) {
  SCOPED_TRACE(c.name);
  CLogCapture log;
  EXPECT_EQ(c.accepted, reader.CheckCodec(c.info));
  const std::string text = log.Text();
  if (c.line[0]) {
    EXPECT_NE(std::string::npos, text.find(c.line)) << text;
  } else {
    EXPECT_EQ(std::string::npos, text.find("CheckCodec")) << text;
  }
}

CMusicFileInfo Protected(CMusicFileInfo info) {
  info.is_protected = 1;
  return info;
}

CMusicFileInfo WithEncoder(CMusicFileInfo info, const wchar_t* encoder) {
  info.encoder = encoder;
  return info;
}

}  // namespace

TEST(CodecCheck, Wma) {
  CMusicFileReaderWMA reader;
  const Case cases[] = {
      {"cbr128", Record(kWma, 44100, 128000, 2), true,
       "CheckCodec OK [dir\\song] 44100 Hz, 128 kbps (CBR), stereo."},
      {"pro", Record(kWmaPro, 48000, 192000, 1, 1), true,
       "CheckCodec OK [dir\\song] 48000 Hz, 192 kbps (VBR), mono."},
      {"vbrTooHigh", Record(kWma, 44100, 200000, 2, 1), false, ""},
      {"cbrTooLow", Record(kWma, 8000, 3999, 2), false, ""},
      {"cbrTop", Record(kWma, 8000, 330000, 2), true, "CheckCodec OK"},
      {"rate12000", Record(kWma, 12000, 64000, 2), false,
       "CheckCodec NG [dir\\song] Invalid SampleRate : 12000 Hz"},
      {"guid163", Record(kOther, 44100, 128000, 2), false,
       "CheckCodec NG [dir\\song] Invalid GUID : 00000163-0000-0010-800000AA00389B71"},
      {"surround", Record(kWma, 44100, 128000, 6), false,
       "CheckCodec NG [dir\\song] Invalid Channels : 6 bps"},
      {"drm", Protected(Record(kWma, 44100, 128000, 2)), false,
       "CheckCodec NG [dir\\song] DRM protected."},
  };
  for (const Case& c : cases) Check(reader, c);
}

TEST(CodecCheck, Mp3) {
  CMusicFileReaderMP3 reader;
  const Case cases[] = {
      {"lowest", Record(kMp3, 8000, 8000, 1), true,
       "CheckCodec OK [dir\\song] 8000 Hz, 8000 bps, mono."},
      {"anyRate", Record(kMp3, 96000, 999000, 2), true, "CheckCodec OK"},
      {"layer2", Record(media::AudioSubtypeFromFormatTag(0x50), 44100, 128000, 2), false,
       "Invalid GUID : 00000050-0000-0010-800000AA00389B71"},
      {"surround", Record(kMp3, 44100, 128000, 6), false, "Invalid Channels : 6 bps"},
      {"noChannels", Record(kMp3, 44100, 128000, 0), false, "Invalid Channels : 0 bps"},
      {"drm", Protected(Record(kMp3, 44100, 128000, 2)), false, "DRM protected."},
  };
  for (const Case& c : cases) Check(reader, c);
}

TEST(CodecCheck, Aac) {
  CMusicFileReaderAAC reader;
  const CMusicFileInfo ok = WithEncoder(Record(GUID{}, 44100, 128000, 2), L"iTunes 8.0.1.11, QT");
  const Case cases[] = {
      {"itunes", ok, true,
       "CheckCodec OK [dir\\song] 44100 Hz, 128000 bps, stereo, Encoder Ver 8.0.1.11,."},
      {"tight", WithEncoder(ok, L"iTunes7.6"), true, "Encoder Ver 7.6."},
      {"noEncoder", WithEncoder(ok, L""), false, "CheckCodec NG [dir\\song] No Encoder Name."},
      {"otherEncoder", WithEncoder(ok, L"Lavf59.27.100"), false,
       "CheckCodec NG [dir\\song] Invalid Encoder : Lavf59.27.100"},
      {"onlyItunes", WithEncoder(ok, L"iTunes   "), false, "Invalid Encoder : iTunes"},
      {"lowerCase", WithEncoder(ok, L"itunes 8"), false, "Invalid Encoder"},
      {"longWord", WithEncoder(ok, (L"iTunes " + std::wstring(5000, L'9')).c_str()), true,
       "Encoder Ver 999"},
      {"bitrate130000", WithEncoder(Record(GUID{}, 44100, 130000, 2), L"iTunes 8"), false,
       "CheckCodec NG [dir\\song] Invalid BitRate : 130000 bps"},
      {"bitrateUnknown", WithEncoder(Record(GUID{}, 44100, 0, 2), L"iTunes 8"), true,
       "CheckCodec OK"},
      {"rate8000", WithEncoder(Record(GUID{}, 8000, 128000, 2), L"iTunes 8"), false,
       "Invalid SampleRate : 8000 Hz"},
      {"rate0", WithEncoder(Record(GUID{}, 0, 128000, 2), L"iTunes 8"), false,
       "Invalid SampleRate : 0 Hz"},
      {"surround", WithEncoder(Record(GUID{}, 48000, 320000, 6), L"iTunes 8"), false,
       "Invalid Channels : 6 bps"},
      {"drm", Protected(ok), false, "DRM protected."},
  };
  for (const Case& c : cases) Check(reader, c);
}
