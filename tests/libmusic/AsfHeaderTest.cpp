// WMA (ASF) headers as the media reader layer sees them, and the layer's
// reader objects: open, attribute and media-type calls with their size
// protocols and status codes.
#include "MediaBuilders.h"
#include "MusicTestSupport.h"
#include "StringUtil.h"
#include "media/AsfHeader.h"
#include "media/ComRef.h"
#include "media/MediaFile.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace libmusic::media;
using namespace musictest;

namespace {

HRESULT Describe(const std::string& bytes, CMediaDescription* d) {
  CMemorySource source(bytes);
  return ReadMediaDescription(source, d);
}

std::wstring Text(const CMediaDescription& d, const wchar_t* name) {
  const MediaAttribute* a = d.Find(name);
  return a ? AttributeString(*a) : L"<absent>";
}

std::uint64_t Number(const CMediaDescription& d, const wchar_t* name) {
  const MediaAttribute* a = d.Find(name);
  std::uint64_t v = 0;
  if (a) std::memcpy(&v, a->value.data(), std::min<size_t>(8, a->value.size()));
  return v;
}

const std::vector<std::string> kTags = {
    AsfContentDescription(L"曲のタイトル", L"First Artist"),
    AsfExtendedContent({{L"WM/AlbumTitle", 0, Utf16LE(L"Album W", false, true)},
                        {L"WM/Genre", 0, Utf16LE(L"Jazz", false, true)},
                        {L"WM/TrackNumber", 3, LE32(4)},
                        {L"IsVBR", 2, LE32(1)}}),
    AsfHeaderExtension({AsfMetadataLibrary({{L"Author", 0, Utf16LE(L"Second", false, true)},
                                            {L"WM/Picture", 1, std::string(70000, '\x33')}})}),
};

}  // namespace

TEST(AsfHeader, ObjectsGiveAttributesAndTheAudioStream) {
  CMediaDescription d;
  ASSERT_EQ(S_OK, Describe(SimpleWma(kTags), &d));
  EXPECT_EQ(L"曲のタイトル", Text(d, kAttrTitle));
  EXPECT_EQ(L"Album W", Text(d, kAttrAlbumTitle));
  EXPECT_EQ(L"Jazz", Text(d, kAttrGenre));
  EXPECT_EQ(4u, Number(d, kAttrTrackNumber));
  EXPECT_EQ(1u, Number(d, kAttrIsVBR));
  EXPECT_EQ(2u, d.IndicesOf(kAttrAuthor).size());
  EXPECT_FALSE(d.Has(L"WM/Picture"));  // too large to keep
  // Play duration minus the preroll of 3000 ms.
  EXPECT_EQ(30000000u, Number(d, kAttrDuration));
  EXPECT_EQ(128000u, Number(d, kAttrBitrate));
  EXPECT_EQ(0u, Number(d, kAttrIsProtected));
  ASSERT_EQ(1u, d.Streams().size());
  EXPECT_TRUE(IsEqualGUID(WMMEDIASUBTYPE_WMAudioV8, d.Streams()[0].subtype));
  EXPECT_EQ(sizeof(WAVEFORMATEX) + 10, d.Streams()[0].format.size());
}

TEST(AsfHeader, EncryptionMarksTheFileProtected) {
  CMediaDescription d;
  EXPECT_EQ(NS_E_PROTECTED_CONTENT, Describe(SimpleWma({AsfContentEncryption()}), &d));
  CMemorySource source(SimpleWma({AsfContentEncryption()}));
  CMediaDescription raw;
  ASSERT_EQ(S_OK, ReadAsfDescription(source, &raw));
  EXPECT_TRUE(raw.IsProtected());
  EXPECT_EQ(1u, Number(raw, kAttrIsProtected));
}

TEST(AsfHeader, EveryStreamCounts) {
  CMediaDescription d;
  ASSERT_EQ(S_OK, Describe(SimpleWma({AsfVideoStream(2)}), &d));
  ASSERT_EQ(2u, d.Streams().size());
  EXPECT_TRUE(IsEqualGUID(WMMEDIATYPE_Video, d.Streams()[1].type));
}

TEST(AsfHeader, BrokenHeadersAreRefused) {
  CMediaDescription d;
  // No file properties.
  EXPECT_EQ(NS_E_INVALID_INPUT_FORMAT,
            Describe(AsfHeader({AsfAudioStream(1, 0x161, 2, 44100, 16000)}), &d));
  // An object larger than the header.
  std::string wma = SimpleWma({});
  wma.replace(30 + 16, 8, LE64(0xFFFFFF));
  EXPECT_EQ(NS_E_INVALID_INPUT_FORMAT, Describe(wma, &d));
  // A header larger than the file.
  wma = SimpleWma({});
  wma.replace(16, 8, LE64(wma.size() + 1));
  EXPECT_EQ(NS_E_INVALID_INPUT_FORMAT, Describe(wma, &d));
}

TEST(AsfCorruption, TruncationsAndFlippedBytes) {
  const std::string file = SimpleWma(kTags);
  for (size_t n = 0; n < file.size(); n += (n < 2000 ? 1 : 997)) {
    CMediaDescription d;
    const HRESULT hr = Describe(file.substr(0, n), &d);
    EXPECT_TRUE(hr == S_OK || hr == NS_E_INVALID_INPUT_FORMAT) << n;
  }
  const std::string small = SimpleWma({kTags[0], AsfExtendedContent({{L"IsVBR", 2, LE32(1)}})});
  for (size_t i = 0; i < small.size(); ++i) {
    for (char flip : {'\xFF', '\x80', '\x01'}) {
      std::string bad = small;
      bad[i] = static_cast<char>(bad[i] ^ flip);
      CMediaDescription d;
      const HRESULT hr = Describe(bad, &d);
      EXPECT_TRUE(hr == S_OK || hr == NS_E_INVALID_INPUT_FORMAT || hr == NS_E_PROTECTED_CONTENT)
          << i;
    }
  }
}

// The reader objects behind WMCreateReader.

namespace {

OV_COM_CLASSES_BEGIN
class CStatusSink final : public IWMReaderCallback {
 public:
  CStatusSink() : _event(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~CStatusSink() { CloseHandle(_event); }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE OnStatus(WMT_STATUS status, HRESULT hr, WMT_ATTR_DATATYPE, BYTE*,
                                     void* context) override {
    last_status = status;
    last_result = hr;
    last_context = context;
    SetEvent(_event);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnSample(DWORD, QWORD, QWORD, DWORD, INSSBuffer*, void*) override {
    return S_OK;
  }
  bool Wait() { return WaitForSingleObject(_event, 10000) == WAIT_OBJECT_0; }

  WMT_STATUS last_status = WMT_ERROR;
  HRESULT last_result = E_FAIL;
  void* last_context = nullptr;

 private:
  HANDLE _event;
};
OV_COM_CLASSES_END

}  // namespace

TEST(WMReaderLayer, OpensAndAnswersHeaderCalls) {
  ovtest::CTempDir dir;
  const std::wstring path = WriteMedia(dir, "a.wma", SimpleWma(kTags));
  CComRef<IWMReader> reader;
  ASSERT_EQ(S_OK, WMCreateReader(nullptr, WMT_RIGHT_NONE, reader.Receive()));
  CStatusSink sink;
  int context = 0;
  ASSERT_EQ(S_OK, reader->Open(path.c_str(), &sink, &context));
  ASSERT_TRUE(sink.Wait());
  EXPECT_EQ(WMT_OPENED, sink.last_status);
  EXPECT_EQ(S_OK, sink.last_result);
  EXPECT_EQ(&context, sink.last_context);
  EXPECT_EQ(NS_E_INVALID_REQUEST, reader->Open(path.c_str(), &sink, nullptr));

  CComRef<IWMHeaderInfo3> header;
  ASSERT_EQ(S_OK, reader.Query(IID_IWMHeaderInfo3, &header));
  WORD stream = 0;
  WORD length = 0;
  WMT_ATTR_DATATYPE type = WMT_TYPE_BINARY;
  ASSERT_EQ(S_OK, header->GetAttributeByName(&stream, L"Title", &type, nullptr, &length));
  EXPECT_EQ(WMT_TYPE_STRING, type);
  EXPECT_EQ((6u + 1) * 2, length);
  std::vector<BYTE> value(length);
  WORD short_length = 4;
  EXPECT_EQ(ASF_E_BUFFERTOOSMALL,
            header->GetAttributeByName(&stream, L"Title", &type, value.data(), &short_length));
  EXPECT_EQ(length, short_length);
  EXPECT_EQ(S_OK, header->GetAttributeByName(&stream, L"Title", &type, value.data(), &length));
  EXPECT_EQ(0, std::memcmp(value.data(), L"曲のタイトル", length));
  EXPECT_EQ(ASF_E_NOTFOUND,
            header->GetAttributeByName(&stream, L"WM/Nothing", &type, nullptr, &length));

  WORD count = 0;
  ASSERT_EQ(S_OK, header->GetAttributeIndices(0, L"Author", nullptr, nullptr, &count));
  ASSERT_EQ(2, count);
  WORD indices[2] = {};
  ASSERT_EQ(S_OK, header->GetAttributeIndices(0, L"Author", nullptr, indices, &count));
  WCHAR name[16] = {};
  WORD name_length = 16;
  DWORD data_length = 0;
  ASSERT_EQ(S_OK, header->GetAttributeByIndexEx(0, indices[1], name, &name_length, &type, nullptr,
                                                nullptr, &data_length));
  EXPECT_STREQ(L"Author", name);
  EXPECT_EQ(7u, name_length);
  EXPECT_EQ((6u + 1) * 2, data_length);

  CComRef<IWMProfile> profile;
  ASSERT_EQ(S_OK, reader.Query(IID_IWMProfile, &profile));
  DWORD streams = 0;
  ASSERT_EQ(S_OK, profile->GetStreamCount(&streams));
  ASSERT_EQ(1u, streams);
  CComRef<IWMStreamConfig> config;
  ASSERT_EQ(S_OK, profile->GetStream(0, config.Receive()));
  CComRef<IWMMediaProps> props;
  ASSERT_EQ(S_OK, config.Query(IID_IWMMediaProps, &props));
  DWORD size = 0;
  ASSERT_EQ(S_OK, props->GetMediaType(nullptr, &size));
  std::vector<std::uint64_t> buffer((size + 7) / 8);
  auto* media_type = reinterpret_cast<WM_MEDIA_TYPE*>(buffer.data());
  ASSERT_EQ(S_OK, props->GetMediaType(media_type, &size));
  EXPECT_TRUE(IsEqualGUID(WMMEDIATYPE_Audio, media_type->majortype));
  EXPECT_TRUE(IsEqualGUID(WMFORMAT_WaveFormatEx, media_type->formattype));
  ASSERT_EQ(28u, media_type->cbFormat);
  EXPECT_EQ(0x161, reinterpret_cast<const WAVEFORMATEX*>(media_type->pbFormat)->wFormatTag);
  EXPECT_EQ(S_OK, reader->Close());
}

TEST(WMReaderLayer, FailuresArriveThroughTheCallback) {
  ovtest::CTempDir dir;
  struct Case {
    std::string bytes;
    HRESULT expected;
  };
  const Case cases[] = {
      {SimpleWma({AsfContentEncryption()}), NS_E_PROTECTED_CONTENT},
      {"not music at all", NS_E_INVALID_INPUT_FORMAT},
  };
  for (const Case& c : cases) {
    const std::wstring path = WriteMedia(dir, "f.wma", c.bytes);
    CComRef<IWMReader> reader;
    ASSERT_EQ(S_OK, WMCreateReader(nullptr, WMT_RIGHT_NONE, reader.Receive()));
    CStatusSink sink;
    ASSERT_EQ(S_OK, reader->Open(path.c_str(), &sink, nullptr));
    ASSERT_TRUE(sink.Wait());
    EXPECT_EQ(c.expected, sink.last_result);
    CComRef<IWMProfile> profile;
    ASSERT_EQ(S_OK, reader.Query(IID_IWMProfile, &profile));
    DWORD streams = 0;
    EXPECT_EQ(NS_E_INVALID_REQUEST, profile->GetStreamCount(&streams));
  }
  const std::wstring missing = ToWide(dir.File("missing.mp3"));
  CComRef<IWMReader> reader;
  ASSERT_EQ(S_OK, WMCreateReader(nullptr, WMT_RIGHT_NONE, reader.Receive()));
  CStatusSink sink;
  ASSERT_EQ(S_OK, reader->Open(missing.c_str(), &sink, nullptr));
  ASSERT_TRUE(sink.Wait());
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), sink.last_result);
  EXPECT_EQ(E_INVALIDARG, reader->Open(nullptr, &sink, nullptr));
}
