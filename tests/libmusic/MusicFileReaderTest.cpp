// The readers of Windows Media files (MP3 and WMA) end to end: files made
// by lame and ffmpeg, files built here, Japanese names and tags, the
// protected and multi-stream cases, and a reader that never answers.
#include "MediaBuilders.h"
#include "MusicFileReaderMP3.h"
#include "MusicFileReaderWMA.h"
#include "MusicTestSupport.h"
#include "StringUtil.h"
#include "media/ComRef.h"

#include <gtest/gtest.h>

using namespace libmusic;
using namespace musictest;

namespace {

std::unique_ptr<CMusicFileInfo> ReadMp3(const std::wstring& path) {
  return CMusicFileReaderMP3().GetInfo(path);
}

// Within one MP3 frame of the expected time (100 ns units).
void ExpectDuration(std::uint64_t expected, std::uint64_t actual) {
  const std::uint64_t frame = 261224;  // 1152 samples at 44100 Hz
  EXPECT_LE(actual, expected + 2 * frame);
  EXPECT_GE(actual + 2 * frame, expected);
}

}  // namespace

TEST(Mp3Reader, LameConstantRateFileWithId3v2) {
  ovtest::CTempDir dir;
  const std::string bytes = GeneratedMedia("cbr128.mp3");
  ASSERT_FALSE(bytes.empty());
  const auto info = ReadMp3(WriteMedia(dir, "cbr128.mp3", bytes));
  ASSERT_TRUE(info);
  EXPECT_EQ(L"Title One", info->title);
  EXPECT_EQ(L"Artist A", info->artist);
  EXPECT_EQ(L"Album X", info->album);
  EXPECT_EQ(L"Rock", info->genre);
  EXPECT_EQ(7, info->track_number);
  EXPECT_EQ(128000, info->bitrate);
  EXPECT_EQ(0, info->vbr);
  EXPECT_EQ(44100, info->sample_rate);
  EXPECT_EQ(2, info->channels);
  EXPECT_EQ(0, info->is_protected);
  EXPECT_TRUE(IsEqualGUID(media::WMMEDIASUBTYPE_MP3, info->media_subtype));
  ExpectDuration(20000000, info->duration);
  EXPECT_TRUE(CMusicFileReaderMP3().CheckCodec(*info));
}

TEST(Mp3Reader, LameVariableRateFileWithId3v1Only) {
  ovtest::CTempDir dir;
  const auto info = ReadMp3(WriteMedia(dir, "vbr.mp3", GeneratedMedia("vbr.mp3")));
  ASSERT_TRUE(info);
  EXPECT_EQ(L"V1 Title", info->title);
  EXPECT_EQ(L"V1 Artist", info->artist);
  EXPECT_EQ(L"V1 Album", info->album);
  EXPECT_EQ(L"Jazz", info->genre);
  EXPECT_EQ(3, info->track_number);
  EXPECT_EQ(1, info->vbr);
  EXPECT_GT(info->bitrate, 32000);
  EXPECT_LT(info->bitrate, 320000);
  ExpectDuration(20000000, info->duration);
}

TEST(Mp3Reader, UntaggedMonoFileTakesItsNameAsTitle) {
  ovtest::CTempDir dir;
  const std::string bytes = GeneratedMedia("mono8k.mp3");
  // A name outside code page 932 must survive as UTF-16.
  const std::wstring path = WriteMediaW(dir, L"\u00C5sa \u0107\u00E9 曲.mp3", bytes);
  ASSERT_FALSE(path.empty());
  const auto info = ReadMp3(path);
  ASSERT_TRUE(info);
  EXPECT_EQ(L"\u00C5sa \u0107\u00E9 曲.mp3", info->title);
  EXPECT_EQ(-1, info->track_number);
  EXPECT_EQ(8000, info->sample_rate);
  EXPECT_EQ(8000, info->bitrate);
  EXPECT_EQ(1, info->channels);
  info->file_name = L"mono.mp3";
  CLogCapture log;
  EXPECT_TRUE(CMusicFileReaderMP3().CheckCodec(*info));
  EXPECT_TRUE(log.Contains("CheckCodec OK [mono.mp3] 8000 Hz, 8000 bps, mono."));
}

TEST(Mp3Reader, JapaneseTagsInBothEncodings) {
  ovtest::CTempDir dir;
  const std::string frames =
      Id3Frame(3, "TIT2", Id3Text(1, Utf16LE(L"夜明けのソナタ", true, true))) +
      Id3Frame(3, "TPE1", Id3Text(0, "\x89\xCC\x8E\xE8")) +  // 歌手 in Shift-JIS
      Id3Frame(3, "TRCK", Id3Text(0, "12"));
  const auto info = ReadMp3(WriteMedia(dir, "j.mp3", Id3Tag(3, frames) + MpegFrames(10)));
  ASSERT_TRUE(info);
  EXPECT_EQ(L"夜明けのソナタ", info->title);
  EXPECT_EQ(L"歌手", info->artist);
  EXPECT_EQ(12, info->track_number);
}

TEST(Mp3Reader, UnreadableFilesGiveNoRecord) {
  ovtest::CTempDir dir;
  EXPECT_FALSE(ReadMp3(WriteMedia(dir, "empty.mp3", "")));
  EXPECT_FALSE(ReadMp3(WriteMedia(dir, "text.mp3", std::string(3000, 'x'))));
  EXPECT_FALSE(ReadMp3(ToWide(dir.File("missing.mp3"))));
}

TEST(WmaReader, FfmpegFileWithMetadata) {
  ovtest::CTempDir dir;
  const std::string bytes = GeneratedMedia("t128.wma");
  ASSERT_FALSE(bytes.empty());
  const auto info = CMusicFileReaderWMA().GetInfo(WriteMedia(dir, "t.wma", bytes));
  ASSERT_TRUE(info);
  EXPECT_EQ(L"WMA Title", info->title);
  EXPECT_EQ(L"WMA Artist", info->artist);
  EXPECT_EQ(L"WMA Album", info->album);
  EXPECT_EQ(L"Jazz", info->genre);
  EXPECT_EQ(5, info->track_number);
  EXPECT_EQ(44100, info->sample_rate);
  EXPECT_EQ(2, info->channels);
  EXPECT_EQ(16, info->bits_per_sample);
  EXPECT_NEAR(128000, info->bitrate, 2000);
  EXPECT_TRUE(IsEqualGUID(media::WMMEDIASUBTYPE_WMAudioV8, info->media_subtype));
  EXPECT_GT(info->duration, 19000000u);
  EXPECT_LT(info->duration, 21500000u);
  info->file_name = L"t.wma";
  CLogCapture log;
  EXPECT_TRUE(CMusicFileReaderWMA().CheckCodec(*info));
  EXPECT_TRUE(log.Contains("CheckCodec OK [t.wma] 44100 Hz, 128 kbps (CBR), stereo."));
}

TEST(WmaReader, TrackNumberFallsBackToTrack) {
  ovtest::CTempDir dir;
  struct Case {
    std::vector<AsfValue> values;
    int track;
  };
  const Case cases[] = {
      {{{L"WM/TrackNumber", 3, LE32(9)}}, 9},
      {{{L"WM/TrackNumber", 0, Utf16LE(L"7/12", false, true)}}, 7},
      {{{L"WM/TrackNumber", 3, LE32(0xFFFFFFFF)}, {L"WM/Track", 3, LE32(2)}}, 2},
      {{{L"WM/Track", 3, LE32(4)}}, 4},
      {{}, -1},
  };
  for (const Case& c : cases) {
    const auto info = CMusicFileReaderWMA().GetInfo(
        WriteMedia(dir, "t.wma", SimpleWma({AsfExtendedContent(c.values)})));
    ASSERT_TRUE(info);
    EXPECT_EQ(c.track, info->track_number);
  }
}

TEST(WmaReader, ProtectedFileIsDescribedByItsProtectionOnly) {
  ovtest::CTempDir dir;
  const auto info = CMusicFileReaderWMA().GetInfo(WriteMedia(
      dir, "drm.wma", SimpleWma({AsfContentDescription(L"Secret", L"X"), AsfContentEncryption()})));
  ASSERT_TRUE(info);
  EXPECT_EQ(1, info->is_protected);
  EXPECT_TRUE(info->title.empty());
  info->file_name = L"drm.wma";
  CLogCapture log;
  EXPECT_FALSE(CMusicFileReaderWMA().CheckCodec(*info));
  EXPECT_TRUE(log.Contains("CheckCodec NG [drm.wma] DRM protected."));
}

TEST(WmaReader, FileWithAVideoStreamIsNotRead) {
  ovtest::CTempDir dir;
  EXPECT_FALSE(
      CMusicFileReaderWMA().GetInfo(WriteMedia(dir, "av.wma", SimpleWma({AsfVideoStream(2)}))));
}

// A reader standing in for the runtime that keeps the callback and never
// reports, or fails its Open at once.
namespace {

OV_COM_CLASSES_BEGIN
class CSilentReader final : public media::IWMReader {
 public:
  static HRESULT Make(IUnknown*, DWORD, media::IWMReader** out) { return Make(false, out); }
  static HRESULT MakeFailing(IUnknown*, DWORD, media::IWMReader** out) { return Make(true, out); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, media::IID_IWMReader) || IsEqualIID(iid, IID_IUnknown)) {
      *out = this;
      AddRef();
      return S_OK;
    }
    // Everything else comes from a real reader of the layer.
    return _inner->QueryInterface(iid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&_refs); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG refs = InterlockedDecrement(&_refs);
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
  }
  HRESULT STDMETHODCALLTYPE Open(const WCHAR*, media::IWMReaderCallback* callback, void*) override {
    if (_fail) return E_ACCESSDENIED;
    callback->AddRef();
    g_kept = callback;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Close() override { return S_OK; }

  static media::IWMReaderCallback* g_kept;

 private:
  static HRESULT Make(bool fail, media::IWMReader** out) {
    auto* r = new CSilentReader();
    r->_fail = fail;
    media::WMCreateReader(nullptr, media::WMT_RIGHT_NONE, r->_inner.Receive());
    *out = r;
    return S_OK;
  }
  volatile LONG _refs = 1;
  bool _fail = false;
  media::CComRef<media::IWMReader> _inner;
};
OV_COM_CLASSES_END

media::IWMReaderCallback* CSilentReader::g_kept = nullptr;

}  // namespace

TEST(WmsdkReader, OpenThatNeverAnswersIsGivenUp) {
  ovtest::CTempDir dir;
  const std::wstring path = WriteMedia(dir, "a.mp3", MpegFrames(5));
  WMReaderOptions options;
  options.create_reader = &CSilentReader::Make;
  options.open_timeout_ms = 200;
  const DWORD start = GetTickCount();
  EXPECT_FALSE(CMusicFileReaderMP3(options).GetInfo(path));
  EXPECT_LT(GetTickCount() - start, 5000u);
  // The answer arrives after the reader gave up: the callback object and
  // its event are still alive.
  ASSERT_NE(nullptr, CSilentReader::g_kept);
  EXPECT_EQ(S_OK, CSilentReader::g_kept->OnStatus(media::WMT_OPENED, S_OK, media::WMT_TYPE_DWORD,
                                                  nullptr, nullptr));
  CSilentReader::g_kept->Release();
  CSilentReader::g_kept = nullptr;
}

TEST(WmsdkReader, OpenThatFailsAtOnceIsNotWaitedFor) {
  ovtest::CTempDir dir;
  WMReaderOptions options;
  options.create_reader = &CSilentReader::MakeFailing;
  options.open_timeout_ms = 60000;
  const DWORD start = GetTickCount();
  EXPECT_FALSE(CMusicFileReaderMP3(options).GetInfo(WriteMedia(dir, "a.mp3", MpegFrames(5))));
  EXPECT_LT(GetTickCount() - start, 5000u);
}

// Damaged files through the whole reader (its thread and callback): every
// cut of a real file gives a record or none, never a crash or a hang.
TEST(WmsdkReader, TruncatedFilesEndCleanly) {
  ovtest::CTempDir dir;
  for (const char* name : {"cbr128.mp3", "t128.wma"}) {
    const std::string bytes = GeneratedMedia(name);
    ASSERT_FALSE(bytes.empty());
    for (size_t n = 0; n < bytes.size(); n += 1 + n / 3) {
      SCOPED_TRACE(n);
      const std::wstring path = WriteMedia(dir, name, bytes.substr(0, n));
      const auto info = std::string(name).find(".mp3") != std::string::npos
                            ? CMusicFileReaderMP3().GetInfo(path)
                            : CMusicFileReaderWMA().GetInfo(path);
      if (info) {
        EXPECT_LE(info->title.size(), 64u);
      }
    }
  }
}

TEST(ReadInfo, CallbacksAsTheReaderSeesThem) {
  media::CComRef<CReadInfo> info;
  ASSERT_EQ(S_OK, CReadInfo::Create(&info));
  EXPECT_EQ(E_INVALIDARG, info->QueryInterface(IID_IUnknown, nullptr));
  void* p = nullptr;
  ASSERT_EQ(S_OK, info->QueryInterface(media::IID_IWMReaderCallbackAdvanced, &p));
  EXPECT_EQ(static_cast<media::IWMReaderCallbackAdvanced*>(info.Get()), p);
  static_cast<IUnknown*>(static_cast<media::IWMReaderCallbackAdvanced*>(info.Get()))->Release();
  ASSERT_EQ(S_OK, info->QueryInterface(media::IID_IWMStatusCallback, &p));
  EXPECT_EQ(static_cast<media::IWMReaderCallback*>(info.Get()), p);
  info->Release();
  EXPECT_EQ(E_NOINTERFACE, info->QueryInterface(media::IID_IWMReader, &p));

  // Opened: the event is set, nothing stored.
  EXPECT_EQ(S_OK, info->OnStatus(media::WMT_OPENED, S_OK, media::WMT_TYPE_DWORD, nullptr, nullptr));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(info->Event(), 0));
  EXPECT_EQ(S_OK, info->Result());
  // End of file: finished.
  info->OnStatus(media::WMT_EOF, S_OK, media::WMT_TYPE_DWORD, nullptr, nullptr);
  EXPECT_TRUE(info->Finished());
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(info->Event(), 0));
  // Started without a reader: the clock is set and the failed delivery stored.
  info->OnStatus(media::WMT_STARTED, S_OK, media::WMT_TYPE_DWORD, nullptr, nullptr);
  EXPECT_EQ(CReadInfo::kStartClockTime, info->ClockTime());
  EXPECT_EQ(E_POINTER, info->Result());
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(info->Event(), 0));
  // A stored failure stays the first one.
  info->OnStatus(media::WMT_OPENED, E_OUTOFMEMORY, media::WMT_TYPE_DWORD, nullptr, nullptr);
  EXPECT_EQ(E_POINTER, info->Result());
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(info->Event(), 0));
  EXPECT_EQ(E_NOTIMPL, info->AllocateForStream(1, 10, nullptr, nullptr));
}
