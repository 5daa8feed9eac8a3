// MP3 and WMA files through the media reader; see MusicFileReaderWMSDK.h.
#include "MusicFileReaderWMSDK.h"

#include "Log.h"
#include "StringUtil.h"
#include "media/TagText.h"

#include <climits>
#include <cstring>
#include <cwchar>
#include <optional>
#include <vector>

namespace libmusic {

using namespace media;

namespace {

// Media types larger than this are not believed.
constexpr DWORD kMaxMediaTypeSize = 64 * 1024;

// COM for the calling thread, for as long as one file is read.
class CComScope final {
 public:
  CComScope() : _hr(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
  ~CComScope() {
    // A thread already in another apartment keeps it (RPC_E_CHANGED_MODE).
    if (SUCCEEDED(_hr)) CoUninitialize();
  }
  CComScope(const CComScope&) = delete;
  CComScope& operator=(const CComScope&) = delete;

 private:
  const HRESULT _hr;
};

// The value of one attribute of the file; absent reads as empty, typed 0.
struct AttributeValue {
  WMT_ATTR_DATATYPE type = WMT_TYPE_BINARY;
  std::vector<BYTE> bytes;
  bool present = false;
};

HRESULT ReadAttributeByName(IWMHeaderInfo* header, const wchar_t* name, AttributeValue* out) {
  *out = AttributeValue();
  WORD stream = 0;
  WORD length = 0;
  HRESULT hr = header->GetAttributeByName(&stream, name, &out->type, nullptr, &length);
  if (hr == ASF_E_NOTFOUND) return S_OK;
  if (FAILED(hr)) return hr;
  out->bytes.resize(length);
  if (length) {
    hr = header->GetAttributeByName(&stream, name, &out->type, out->bytes.data(), &length);
    if (hr == ASF_E_NOTFOUND) return S_OK;
    if (FAILED(hr)) return hr;
    out->bytes.resize(length);
  }
  out->present = true;
  return S_OK;
}

std::wstring AsString(const AttributeValue& v) {
  if (!v.present || v.type != WMT_TYPE_STRING) return std::wstring();
  return DecodeUtf16Text(v.bytes.data(), v.bytes.size(), false);
}

// Attribute numbers are little-endian, as the platform's integers.
template <typename T>
T LittleEndian(const std::vector<BYTE>& bytes) {
  T value;
  std::memcpy(&value, bytes.data(), sizeof(value));
  return value;
}

// Numbers whatever their width; a string gives its leading decimal number.
std::optional<long long> AsNumber(const AttributeValue& v) {
  if (!v.present) return std::nullopt;
  const size_t n = v.bytes.size();
  switch (v.type) {
    case WMT_TYPE_STRING: {
      const std::wstring text = AsString(v);
      if (text.empty()) return std::nullopt;
      return std::wcstol(text.c_str(), nullptr, 10);
    }
    case WMT_TYPE_DWORD:
    case WMT_TYPE_BOOL:
      if (n < 4) return std::nullopt;
      return static_cast<long long>(LittleEndian<std::int32_t>(v.bytes));
    case WMT_TYPE_WORD:
      if (n < 2) return std::nullopt;
      return static_cast<long long>(LittleEndian<std::uint16_t>(v.bytes));
    case WMT_TYPE_QWORD:
      if (n < 8) return std::nullopt;
      return LittleEndian<long long>(v.bytes);
    default:
      return std::nullopt;
  }
}

int ClampToInt(long long value) {
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

// Logs a failed attribute read and passes its result on.
HRESULT LogAttributeFailure(const wchar_t* name, HRESULT hr, const std::wstring& path) {
  OV_LOG(kLogError,
         "CMusicFileReaderWMSDK::GetInfo - GetAttributeByName(%s) Filure HR:%08X FILE:%s",
         ToMultiByte(name).c_str(), static_cast<unsigned>(hr), ToMultiByte(path).c_str());
  return hr;
}

std::wstring FileNamePart(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// Every value of one attribute, joined with "/".
HRESULT ReadAllStrings(IWMHeaderInfo3* header, const wchar_t* name, std::wstring* out) {
  out->clear();
  WORD count = 0;
  HRESULT hr = header->GetAttributeIndices(0, name, nullptr, nullptr, &count);
  if (hr == ASF_E_NOTFOUND || (SUCCEEDED(hr) && count == 0)) return S_OK;
  if (FAILED(hr)) return hr;
  std::vector<WORD> indices(count);
  hr = header->GetAttributeIndices(0, name, nullptr, indices.data(), &count);
  if (FAILED(hr)) return hr;
  indices.resize(count);
  for (WORD index : indices) {
    WORD name_length = 0;
    DWORD length = 0;
    WMT_ATTR_DATATYPE type = WMT_TYPE_BINARY;
    WORD language = 0;
    hr = header->GetAttributeByIndexEx(0, index, nullptr, &name_length, &type, &language, nullptr,
                                       &length);
    if (FAILED(hr)) return hr;
    std::vector<WCHAR> value_name(name_length + 1u, L'\0');
    std::vector<BYTE> value(length);
    hr = header->GetAttributeByIndexEx(0, index, value_name.data(), &name_length, &type, &language,
                                       value.data(), &length);
    if (FAILED(hr)) return hr;
    if (type != WMT_TYPE_STRING) continue;
    const std::wstring text =
        DecodeUtf16Text(value.data(), std::min<size_t>(length, value.size()), false);
    if (text.empty()) continue;
    if (!out->empty()) *out += L"/";
    *out += text;
  }
  return S_OK;
}

}  // namespace

HRESULT OpenWMReader(CReadInfo& info, const std::wstring& path, const WMReaderOptions& options) {
  CComRef<IWMReader> reader;
  HRESULT hr = options.create_reader(nullptr, WMT_RIGHT_NONE, reader.Receive());
  if (FAILED(hr)) return hr;
  if (!reader) return E_POINTER;
  CComRef<IWMReaderAdvanced> advanced;
  CComRef<IWMHeaderInfo> header_info;
  CComRef<IWMHeaderInfo3> header_info3;
  if (FAILED(hr = reader.Query(IID_IWMReaderAdvanced, &advanced))) return hr;
  if (FAILED(hr = reader.Query(IID_IWMHeaderInfo, &header_info))) return hr;
  if (FAILED(hr = reader.Query(IID_IWMHeaderInfo3, &header_info3))) return hr;
  info.SetReader(CComRef<IWMReader>::Share(reader.Get()),
                 CComRef<IWMReaderAdvanced>::Share(advanced.Get()), std::move(header_info),
                 std::move(header_info3));

  info.ResetResult();
  // An open that failed at once never calls back: waiting would be for nothing.
  hr = reader->Open(path.c_str(), &info, nullptr);
  if (FAILED(hr)) return hr;
  const DWORD waited = WaitForSingleObject(info.Event(), options.open_timeout_ms);
  if (waited == WAIT_TIMEOUT) return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
  if (waited != WAIT_OBJECT_0) return HRESULT_FROM_WIN32(GetLastError());
  hr = info.Result();
  if (FAILED(hr)) return hr;

  if (FAILED(hr = advanced->SetUserProvidedClock(TRUE))) return hr;
  return advanced->SetManualStreamSelection(TRUE);
}

HRESULT ReadWMAudioFormat(CReadInfo& info, WMAudioFormat* format) {
  CComRef<IWMReader> reader = CComRef<IWMReader>::Share(info.Reader());
  CComRef<IWMProfile> profile;
  HRESULT hr = reader.Query(IID_IWMProfile, &profile);
  if (FAILED(hr)) return hr;
  info.SetProfile(CComRef<IWMProfile>::Share(profile.Get()));

  DWORD streams = 0;
  if (FAILED(hr = profile->GetStreamCount(&streams))) return hr;
  if (streams != 1) return E_FAIL;  // a second stream (video): not a music file
  CComRef<IWMStreamConfig> config;
  if (FAILED(hr = profile->GetStream(0, config.Receive()))) return hr;
  GUID type = {};
  if (FAILED(hr = config->GetStreamType(&type))) return hr;
  if (!IsEqualGUID(type, WMMEDIATYPE_Audio)) return E_FAIL;

  CComRef<IWMMediaProps> props;
  if (FAILED(hr = config.Query(IID_IWMMediaProps, &props))) return hr;
  DWORD size = 0;
  if (FAILED(hr = props->GetMediaType(nullptr, &size))) return hr;
  if (size < sizeof(WM_MEDIA_TYPE) || size > kMaxMediaTypeSize) return E_FAIL;
  // 8-byte units keep the structure aligned.
  std::vector<std::uint64_t> buffer((size + 7) / 8);
  WM_MEDIA_TYPE* media_type = reinterpret_cast<WM_MEDIA_TYPE*>(buffer.data());
  if (FAILED(hr = props->GetMediaType(media_type, &size))) return hr;

  WMAudioFormat f;
  f.subtype = media_type->subtype;
  // A wave format may arrive as its 16-byte ancestor without cbSize.
  constexpr ULONG kMinWaveFormat = sizeof(WAVEFORMATEX) - sizeof(WORD);
  if (IsEqualGUID(media_type->formattype, WMFORMAT_WaveFormatEx) && media_type->pbFormat &&
      media_type->cbFormat >= kMinWaveFormat) {
    WAVEFORMATEX wf = {};
    std::memcpy(&wf, media_type->pbFormat, std::min<size_t>(media_type->cbFormat, sizeof(wf)));
    f.format_tag = wf.wFormatTag;
    f.channels = wf.nChannels;
    f.samples_per_sec = wf.nSamplesPerSec;
    f.avg_bytes_per_sec = wf.nAvgBytesPerSec;
    f.block_align = wf.nBlockAlign;
    f.bits_per_sample = wf.wBitsPerSample;
  }
  *format = f;
  return S_OK;
}

std::unique_ptr<CMusicFileInfo> CMusicFileReaderWMSDK::GetInfo(const std::wstring& path) {
  const std::string log_path = ToMultiByte(path);
  OV_LOG(kLogTrace, "CMusicFileReaderWMSDK::GetInfo - %s", log_path.c_str());
  const CComScope com;
  auto info = std::make_unique<CMusicFileInfo>();
  CComRef<CReadInfo> read_info;
  HRESULT hr = CReadInfo::Create(&read_info);
  if (FAILED(hr)) {
    OV_LOG(kLogError, "CMusicFileReaderWMSDK::GetInfo - CreateEvent ERR[%08X] FILE:%s",
           static_cast<unsigned>(hr), log_path.c_str());
    return nullptr;
  }

  hr = OpenWMReader(*read_info, path, _options);
  if (hr == NS_E_PROTECTED_CONTENT) {
    // Described by its protection alone, so that the codec check refuses it.
    read_info->ReleaseReader();
    info->is_protected = 1;
    return info;
  }
  if (SUCCEEDED(hr)) {
    WMAudioFormat format;
    hr = ReadWMAudioFormat(*read_info, &format);
    if (SUCCEEDED(hr)) {
      info->media_subtype = format.subtype;
      info->sample_rate = static_cast<int>(format.samples_per_sec);
      info->channels = format.channels;
      info->bits_per_sample = format.bits_per_sample;
      hr = ReadAttributes(*read_info, path, info.get());
    }
  } else {
    OV_LOG(kLogError, "CMusicFileReaderWMSDK::GetInfo - Open ERR[%08X] FILE:%s",
           static_cast<unsigned>(hr), log_path.c_str());
  }
  read_info->ReleaseReader();
  if (FAILED(hr)) return nullptr;
  return info;
}

HRESULT CMusicFileReaderWMSDK::ReadAttributes(CReadInfo& info, const std::wstring& path,
                                              CMusicFileInfo* out) {
  IWMHeaderInfo* header = info.HeaderInfo();  // not owned
  struct Text {
    const wchar_t* name;
    std::wstring* field;
  };
  const Text texts[] = {{kAttrTitle, &out->title}, {kAttrAlbumTitle, &out->album}};
  AttributeValue value;
  for (const Text& t : texts) {
    const HRESULT hr = ReadAttributeByName(header, t.name, &value);
    if (FAILED(hr)) return LogAttributeFailure(t.name, hr, path);
    *t.field = AsString(value);
  }
  if (out->title.empty()) out->title = FileNamePart(path);

  HRESULT hr = ReadAllStrings(info.HeaderInfo3(), kAttrAuthor, &out->artist);
  if (FAILED(hr)) return LogAttributeFailure(kAttrAuthor, hr, path);
  if (FAILED(hr = ReadAttributeByName(header, kAttrGenre, &value))) {
    return LogAttributeFailure(kAttrGenre, hr, path);
  }
  out->genre = AsString(value);

  struct Number {
    const wchar_t* name;
    long long* field;
  };
  long long is_protected = 0, vbr = 0, duration = 0, bitrate = 0;
  const Number numbers[] = {{kAttrIsProtected, &is_protected},
                            {kAttrIsVBR, &vbr},
                            {kAttrDuration, &duration},
                            {kAttrBitrate, &bitrate}};
  for (const Number& n : numbers) {
    if (FAILED(hr = ReadAttributeByName(header, n.name, &value))) {
      return LogAttributeFailure(n.name, hr, path);
    }
    *n.field = AsNumber(value).value_or(0);
  }
  out->is_protected = is_protected ? 1 : 0;
  out->vbr = vbr ? 1 : 0;
  out->duration = duration > 0 ? static_cast<std::uint64_t>(duration) : 0;
  out->bitrate = ClampToInt(bitrate);
  out->track_number = ReadTrackNumber(info, path);
  return S_OK;
}

int CMusicFileReaderWMSDK::ReadTrackNumber(CReadInfo& info, const std::wstring& path) {
  // Either attribute may be a number or a text such as "7/12".
  auto read = [&](const wchar_t* name) -> std::optional<long long> {
    AttributeValue value;
    const HRESULT hr = ReadAttributeByName(info.HeaderInfo(), name, &value);
    if (FAILED(hr)) {
      LogAttributeFailure(name, hr, path);
      return std::nullopt;
    }
    return AsNumber(value);
  };
  std::optional<long long> track = read(kAttrTrackNumber);
  if (!track || *track == -1) {
    OV_LOG(kLogError, "CMusicFileReaderWMSDK::GetInfo - GetAttributeByName(%s) Filure FILE:%s",
           ToMultiByte(kAttrTrackNumber).c_str(), ToMultiByte(path).c_str());
    track = read(kAttrTrack);
  }
  const int number = track ? ClampToInt(*track) : -1;
  OV_LOG(kLogTrace, "CMusicFileReaderWMSDK::GetInfo - GetAttributeByName() Track:%d FILE:%s",
         number, ToMultiByte(path).c_str());
  return number;
}

}  // namespace libmusic
