// The media reader's callback object; see ReadInfo.h.
#include "ReadInfo.h"

#include <new>

namespace libmusic {

using namespace media;

HRESULT CReadInfo::Create(CComRef<CReadInfo>* out) {
  CComRef<CReadInfo> made(new (std::nothrow) CReadInfo());
  if (!made) return E_OUTOFMEMORY;
  made->_event.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  if (!made->_event) return HRESULT_FROM_WIN32(GetLastError());
  *out = std::move(made);
  return S_OK;
}

HRESULT CReadInfo::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IWMStatusCallback) ||
      IsEqualIID(iid, IID_IWMReaderCallback)) {
    *out = static_cast<IWMReaderCallback*>(this);
  } else if (IsEqualIID(iid, IID_IWMReaderCallbackAdvanced)) {
    *out = static_cast<IWMReaderCallbackAdvanced*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG CReadInfo::AddRef() { return _refs.Add(); }

ULONG CReadInfo::Release() { return _refs.Drop(this); }

void CReadInfo::Fail(HRESULT hr) {
  _result.store(hr);
  SetEvent(_event.Get());
}

HRESULT CReadInfo::OnStatus(WMT_STATUS status, HRESULT hr, WMT_ATTR_DATATYPE, BYTE*, void*) {
  if (FAILED(_result.load())) {
    SetEvent(_event.Get());
    return S_OK;
  }
  if (FAILED(hr)) {
    Fail(hr);
    return S_OK;
  }
  switch (status) {
    case WMT_OPENED:
      SetEvent(_event.Get());
      break;
    case WMT_ERROR:
    case WMT_EOF:
    case WMT_MISSING_CODEC:
    case WMT_STOPPED:
    case WMT_CLOSED:
      _finished.store(1);
      SetEvent(_event.Get());
      break;
    case WMT_STARTED: {
      _clock_time.store(kStartClockTime);
      CComRef<IWMReaderAdvanced> advanced;
      {
        std::lock_guard<std::mutex> lock(_lock);
        advanced = CComRef<IWMReaderAdvanced>::Share(_advanced.Get());
      }
      const HRESULT delivered = advanced ? advanced->DeliverTime(kStartClockTime) : E_POINTER;
      if (FAILED(delivered)) Fail(delivered);
      break;
    }
    default:
      break;
  }
  return S_OK;
}

HRESULT CReadInfo::OnSample(DWORD, QWORD, QWORD, DWORD, INSSBuffer*, void*) { return S_OK; }
HRESULT CReadInfo::OnStreamSample(WORD, QWORD, QWORD, DWORD, INSSBuffer*, void*) { return S_OK; }
HRESULT CReadInfo::OnTime(QWORD, void*) { return S_OK; }
HRESULT CReadInfo::OnStreamSelection(WORD, WORD*, WMT_STREAM_SELECTION*, void*) { return S_OK; }
HRESULT CReadInfo::OnOutputPropsChanged(DWORD, WM_MEDIA_TYPE*, void*) { return S_OK; }
HRESULT CReadInfo::AllocateForStream(WORD, DWORD, INSSBuffer**, void*) { return E_NOTIMPL; }
HRESULT CReadInfo::AllocateForOutput(DWORD, DWORD, INSSBuffer**, void*) { return E_NOTIMPL; }

void CReadInfo::SetReader(CComRef<IWMReader> reader, CComRef<IWMReaderAdvanced> advanced,
                          CComRef<IWMHeaderInfo> header_info,
                          CComRef<IWMHeaderInfo3> header_info3) {
  std::lock_guard<std::mutex> lock(_lock);
  _reader = std::move(reader);
  _advanced = std::move(advanced);
  _header_info = std::move(header_info);
  _header_info3 = std::move(header_info3);
}

void CReadInfo::SetProfile(CComRef<IWMProfile> profile) {
  std::lock_guard<std::mutex> lock(_lock);
  _profile = std::move(profile);
}

void CReadInfo::ReleaseReader() {
  CComRef<IWMReader> reader;
  CComRef<IWMReaderAdvanced> advanced;
  CComRef<IWMHeaderInfo> header_info;
  CComRef<IWMHeaderInfo3> header_info3;
  CComRef<IWMProfile> profile;
  {
    std::lock_guard<std::mutex> lock(_lock);
    reader = std::move(_reader);
    advanced = std::move(_advanced);
    header_info = std::move(_header_info);
    header_info3 = std::move(_header_info3);
    profile = std::move(_profile);
  }
  // Outside the lock: closing may call back into this object.
  if (reader) reader->Close();
}

}  // namespace libmusic
