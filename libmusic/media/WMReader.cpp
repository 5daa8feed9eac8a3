// The reader objects behind WMCreateReader: one object offers the reader,
// advanced reader, header-info and profile interfaces over one reference
// count; each stream of the profile is a small stream-config object that
// also answers as its media properties.
//
// Open reads the file on a thread of the system's pool, which holds a
// reference to the reader (and, through it, to the callback) until it has
// reported WMT_OPENED, so neither can vanish under it. A pooled thread, not
// one of its own per file: a search reads thousands of files, and every
// thread made and ended leaves the whole process slower under Wine. Close forgets the callback:
// an open still under way then reports nothing.
#include "media/WMRuntime.h"

#include "Log.h"
#include "media/ComRef.h"
#include "media/MediaFile.h"

#include <cstring>
#include <exception>
#include <mutex>
#include <new>
#include <string>

namespace libmusic {
namespace media {

namespace {

// Copies a value out under the runtime's size protocol: a null buffer asks
// for the size, a short one fails with the size needed.
HRESULT CopyOut(const void* data, size_t size, BYTE* out, DWORD* out_size) {
  if (!out) {
    *out_size = static_cast<DWORD>(size);
    return S_OK;
  }
  if (*out_size < size) {
    *out_size = static_cast<DWORD>(size);
    return ASF_E_BUFFERTOOSMALL;
  }
  if (size) std::memcpy(out, data, size);
  *out_size = static_cast<DWORD>(size);
  return S_OK;
}

OV_COM_CLASSES_BEGIN

class CWMStreamConfig final : public IWMStreamConfig, public IWMMediaProps {
 public:
  static CWMStreamConfig* Create(const MediaStream& stream) {
    return new (std::nothrow) CWMStreamConfig(stream);
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IWMStreamConfig)) {
      *out = static_cast<IWMStreamConfig*>(this);
    } else if (IsEqualIID(iid, IID_IWMMediaProps)) {
      *out = static_cast<IWMMediaProps*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return _refs.Add(); }
  ULONG STDMETHODCALLTYPE Release() override { return _refs.Drop(this); }

  HRESULT STDMETHODCALLTYPE GetStreamType(GUID* type) override { return GetType(type); }
  HRESULT STDMETHODCALLTYPE GetStreamNumber(WORD* number) override {
    if (!number) return E_POINTER;
    *number = _stream.number;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetType(GUID* type) override {
    if (!type) return E_POINTER;
    *type = _stream.type;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) override {
    if (!size) return E_POINTER;
    const size_t needed = sizeof(WM_MEDIA_TYPE) + _stream.format.size();
    if (!type) {
      *size = static_cast<DWORD>(needed);
      return S_OK;
    }
    if (*size < needed) {
      *size = static_cast<DWORD>(needed);
      return ASF_E_BUFFERTOOSMALL;
    }
    WM_MEDIA_TYPE t = {};
    t.majortype = _stream.type;
    t.subtype = _stream.subtype;
    t.bFixedSizeSamples = IsEqualGUID(_stream.type, WMMEDIATYPE_Audio);
    t.formattype = _stream.format_type;
    t.cbFormat = static_cast<ULONG>(_stream.format.size());
    if (!_stream.format.empty()) {
      BYTE* format = reinterpret_cast<BYTE*>(type) + sizeof(WM_MEDIA_TYPE);
      std::memcpy(format, _stream.format.data(), _stream.format.size());
      t.pbFormat = format;
    }
    *type = t;
    *size = static_cast<DWORD>(needed);
    return S_OK;
  }

 private:
  friend class libmusic::media::CRefCount;
  explicit CWMStreamConfig(const MediaStream& stream) : _stream(stream) {}
  ~CWMStreamConfig() = default;

  CRefCount _refs;
  const MediaStream _stream;
};

class CWMReader final : public IWMReader,
                        public IWMReaderAdvanced,
                        public IWMHeaderInfo3,
                        public IWMProfile {
 public:
  static CWMReader* Create() { return new (std::nothrow) CWMReader(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IWMReader)) {
      *out = static_cast<IWMReader*>(this);
    } else if (IsEqualIID(iid, IID_IWMReaderAdvanced)) {
      *out = static_cast<IWMReaderAdvanced*>(this);
    } else if (IsEqualIID(iid, IID_IWMHeaderInfo) || IsEqualIID(iid, IID_IWMHeaderInfo3)) {
      *out = static_cast<IWMHeaderInfo3*>(this);
    } else if (IsEqualIID(iid, IID_IWMProfile)) {
      *out = static_cast<IWMProfile*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return _refs.Add(); }
  ULONG STDMETHODCALLTYPE Release() override { return _refs.Drop(this); }

  // IWMReader

  HRESULT STDMETHODCALLTYPE Open(const WCHAR* url, IWMReaderCallback* callback,
                                 void* context) override {
    if (!url || !callback) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(_lock);
    if (_state != kClosed) return NS_E_INVALID_REQUEST;
    _path = url;
    _callback = CComRef<IWMReaderCallback>::Share(callback);
    _context = context;
    _description = CMediaDescription();
    AddRef();  // the pooled work's reference
    if (!QueueUserWorkItem(&CWMReader::OpenWork, this, WT_EXECUTEDEFAULT)) {
      const DWORD error = GetLastError();
      _callback.Reset();
      _refs.Drop(this);  // never the last one: the caller holds its own
      return HRESULT_FROM_WIN32(error);
    }
    _state = kOpening;
    ++_generation;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Close() override {
    // Released after the lock: its last release may call back into us.
    CComRef<IWMReaderCallback> dropped;
    {
      std::lock_guard<std::mutex> lock(_lock);
      dropped = std::move(_callback);
      _state = kClosed;
      ++_generation;
    }
    return S_OK;
  }

  // IWMReaderAdvanced

  HRESULT STDMETHODCALLTYPE SetUserProvidedClock(BOOL user_clock) override {
    std::lock_guard<std::mutex> lock(_lock);
    _user_clock = user_clock != FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DeliverTime(QWORD) override {
    std::lock_guard<std::mutex> lock(_lock);
    // Nothing is ever delivered: no stream is decoded.
    return _state == kOpened && _user_clock ? S_OK : NS_E_INVALID_REQUEST;
  }
  HRESULT STDMETHODCALLTYPE SetManualStreamSelection(BOOL manual) override {
    std::lock_guard<std::mutex> lock(_lock);
    _manual_selection = manual != FALSE;
    return S_OK;
  }

  // IWMHeaderInfo, IWMHeaderInfo3

  HRESULT STDMETHODCALLTYPE GetAttributeByName(WORD* stream, LPCWSTR name, WMT_ATTR_DATATYPE* type,
                                               BYTE* value, WORD* length) override {
    if (!stream || !name || !type || !length) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(_lock);
    if (_state != kOpened) return NS_E_INVALID_REQUEST;
    // Only file-level attributes are known.
    const MediaAttribute* a = *stream == 0 ? _description.Find(name) : nullptr;
    if (!a) return ASF_E_NOTFOUND;
    *type = a->type;
    DWORD size = *length;
    const HRESULT hr = CopyOut(a->value.data(), a->value.size(), value, &size);
    *length = static_cast<WORD>(size);
    return hr;
  }

  HRESULT STDMETHODCALLTYPE GetAttributeIndices(WORD stream, LPCWSTR name, WORD* language,
                                                WORD* indices, WORD* count) override {
    if (!count) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(_lock);
    if (_state != kOpened) return NS_E_INVALID_REQUEST;
    std::vector<WORD> found;
    if (stream == 0) {
      const std::vector<WORD> all =
          name ? _description.IndicesOf(name) : AllIndices(_description.Attributes().size());
      for (WORD i : all) {
        if (!language || _description.Attributes()[i].language == *language) found.push_back(i);
      }
    }
    if (!indices) {
      *count = static_cast<WORD>(found.size());
      return S_OK;
    }
    if (*count < found.size()) {
      *count = static_cast<WORD>(found.size());
      return ASF_E_BUFFERTOOSMALL;
    }
    if (!found.empty()) std::memcpy(indices, found.data(), found.size() * sizeof(WORD));
    *count = static_cast<WORD>(found.size());
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetAttributeByIndexEx(WORD stream, WORD index, LPWSTR name,
                                                  WORD* name_length, WMT_ATTR_DATATYPE* type,
                                                  WORD* language, BYTE* value,
                                                  DWORD* value_length) override {
    if (!name_length || !value_length) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(_lock);
    if (_state != kOpened) return NS_E_INVALID_REQUEST;
    if (stream != 0 || index >= _description.Attributes().size()) return E_INVALIDARG;
    const MediaAttribute& a = _description.Attributes()[index];
    // The name's length counts characters, its zero included.
    DWORD name_bytes = *name_length * sizeof(wchar_t);
    const HRESULT hr = CopyOut(a.name.c_str(), (a.name.size() + 1) * sizeof(wchar_t),
                               reinterpret_cast<BYTE*>(name), &name_bytes);
    *name_length = static_cast<WORD>(name_bytes / sizeof(wchar_t));
    if (FAILED(hr)) return hr;
    if (type) *type = a.type;
    if (language) *language = a.language;
    return CopyOut(a.value.data(), a.value.size(), value, value_length);
  }

  // IWMProfile

  HRESULT STDMETHODCALLTYPE GetStreamCount(DWORD* count) override {
    if (!count) return E_POINTER;
    std::lock_guard<std::mutex> lock(_lock);
    if (_state != kOpened) return NS_E_INVALID_REQUEST;
    *count = static_cast<DWORD>(_description.Streams().size());
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetStream(DWORD index, IWMStreamConfig** config) override {
    if (!config) return E_POINTER;
    *config = nullptr;
    std::lock_guard<std::mutex> lock(_lock);
    if (_state != kOpened) return NS_E_INVALID_REQUEST;
    if (index >= _description.Streams().size()) return E_INVALIDARG;
    CWMStreamConfig* made = CWMStreamConfig::Create(_description.Streams()[index]);
    if (!made) return E_OUTOFMEMORY;
    *config = made;
    return S_OK;
  }

 private:
  enum State { kClosed, kOpening, kOpened, kFailed };

  friend class libmusic::media::CRefCount;
  CWMReader() = default;
  ~CWMReader() = default;

  static std::vector<WORD> AllIndices(size_t n) {
    std::vector<WORD> all(n);
    for (size_t i = 0; i < n; ++i) all[i] = static_cast<WORD>(i);
    return all;
  }

  static DWORD WINAPI OpenWork(void* param) {
    CWMReader* self = static_cast<CWMReader*>(param);
    // The pool's thread is not ours to end: nothing may escape it.
    try {
      self->ReadAndReport();
    } catch (const std::exception& e) {
      OV_LOG(kLogError, "メディアファイルを開く処理の例外 %s", e.what());
    } catch (...) {
      OV_LOG(kLogError, "メディアファイルを開く処理の例外 不明な例外");
    }
    self->Release();
    return 0;
  }

  // A read that throws is a failed open: the opener still hears of it.
  static HRESULT ReadGuarded(const std::wstring& path, CMediaDescription* description) {
    try {
      return ReadMediaFile(path, description);
    } catch (const std::bad_alloc& e) {
      OV_LOG(kLogError, "メディアファイル読み込みの例外 %s", e.what());
      return E_OUTOFMEMORY;
    } catch (const std::exception& e) {
      OV_LOG(kLogError, "メディアファイル読み込みの例外 %s", e.what());
    } catch (...) {
      OV_LOG(kLogError, "メディアファイル読み込みの例外 不明な例外");
    }
    return E_UNEXPECTED;
  }

  void ReadAndReport() {
    std::wstring path;
    unsigned generation = 0;
    {
      std::lock_guard<std::mutex> lock(_lock);
      path = _path;
      generation = _generation;
    }
    CMediaDescription description;
    const HRESULT hr = ReadGuarded(path, &description);
    CComRef<IWMReaderCallback> callback;
    void* context = nullptr;
    {
      std::lock_guard<std::mutex> lock(_lock);
      if (generation != _generation) return;  // closed meanwhile
      _description = std::move(description);
      _state = SUCCEEDED(hr) ? kOpened : kFailed;
      callback = CComRef<IWMReaderCallback>::Share(_callback.Get());
      context = _context;
    }
    // The stored result is in place before the callback hears of it.
    if (callback) callback->OnStatus(WMT_OPENED, hr, WMT_TYPE_DWORD, nullptr, context);
  }

  CRefCount _refs;
  std::mutex _lock;
  // Guarded by _lock:
  State _state = kClosed;
  unsigned _generation = 0;
  std::wstring _path;
  CComRef<IWMReaderCallback> _callback;
  void* _context = nullptr;
  CMediaDescription _description;
  bool _user_clock = false;
  bool _manual_selection = false;
};

OV_COM_CLASSES_END

}  // namespace

HRESULT WMCreateReader(IUnknown* cert, DWORD rights, IWMReader** reader) {
  if (!reader) return E_POINTER;
  *reader = nullptr;
  if (cert || rights != WMT_RIGHT_NONE) return E_INVALIDARG;
  CWMReader* made = CWMReader::Create();
  if (!made) return E_OUTOFMEMORY;
  *reader = made;
  return S_OK;
}

}  // namespace media
}  // namespace libmusic
