// The callback object handed to the media reader while one file is read:
// it answers the reader's status, reader and advanced reader callbacks over
// one reference count, keeps the reader's interfaces for the reading
// thread, and owns the event the reading thread waits on, so that a
// callback arriving after the reader gave up still signals a live event.
//
// Threads: OnStatus and the other callbacks arrive on the reader's thread;
// everything else is called by the reading thread. The result is stored
// before the event is set.
#pragma once

#include "Handle.h"
#include "media/ComRef.h"
#include "media/WMRuntime.h"

#include <atomic>
#include <cstdint>
#include <mutex>

namespace libmusic {

OV_COM_CLASSES_BEGIN
class CReadInfo final : public media::IWMReaderCallback, public media::IWMReaderCallbackAdvanced {
 public:
  // The clock time given to the reader once it has started.
  static constexpr media::QWORD kStartClockTime = 10000000;

  // A new object with one reference, or the platform error of its event.
  static HRESULT Create(media::CComRef<CReadInfo>* out);

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IWMStatusCallback, IWMReaderCallback
  HRESULT STDMETHODCALLTYPE OnStatus(media::WMT_STATUS status, HRESULT hr,
                                     media::WMT_ATTR_DATATYPE type, BYTE* value,
                                     void* context) override;
  HRESULT STDMETHODCALLTYPE OnSample(DWORD output, media::QWORD time, media::QWORD duration,
                                     DWORD flags, media::INSSBuffer* sample,
                                     void* context) override;

  // IWMReaderCallbackAdvanced
  HRESULT STDMETHODCALLTYPE OnStreamSample(WORD stream, media::QWORD time, media::QWORD duration,
                                           DWORD flags, media::INSSBuffer* sample,
                                           void* context) override;
  HRESULT STDMETHODCALLTYPE OnTime(media::QWORD time, void* context) override;
  HRESULT STDMETHODCALLTYPE OnStreamSelection(WORD count, WORD* streams,
                                              media::WMT_STREAM_SELECTION* selections,
                                              void* context) override;
  HRESULT STDMETHODCALLTYPE OnOutputPropsChanged(DWORD output, media::WM_MEDIA_TYPE* type,
                                                 void* context) override;
  HRESULT STDMETHODCALLTYPE AllocateForStream(WORD stream, DWORD size, media::INSSBuffer** buffer,
                                              void* context) override;
  HRESULT STDMETHODCALLTYPE AllocateForOutput(DWORD output, DWORD size, media::INSSBuffer** buffer,
                                              void* context) override;

  // The reader's interfaces, kept while one file is read.
  void SetReader(media::CComRef<media::IWMReader> reader,
                 media::CComRef<media::IWMReaderAdvanced> advanced,
                 media::CComRef<media::IWMHeaderInfo> header_info,
                 media::CComRef<media::IWMHeaderInfo3> header_info3);
  void SetProfile(media::CComRef<media::IWMProfile> profile);
  media::IWMReader* Reader() const { return _reader.Get(); }                  // not owned
  media::IWMReaderAdvanced* Advanced() const { return _advanced.Get(); }      // not owned
  media::IWMHeaderInfo* HeaderInfo() const { return _header_info.Get(); }     // not owned
  media::IWMHeaderInfo3* HeaderInfo3() const { return _header_info3.Get(); }  // not owned
  media::IWMProfile* Profile() const { return _profile.Get(); }               // not owned
  // Closes the reader and drops every interface of it.
  void ReleaseReader();

  HANDLE Event() const { return _event.Get(); }  // not owned
  HRESULT Result() const { return _result.load(); }
  void ResetResult() { _result.store(S_OK); }
  bool Finished() const { return _finished.load() != 0; }
  media::QWORD ClockTime() const { return _clock_time.load(); }

 private:
  friend class media::CRefCount;
  CReadInfo() = default;
  ~CReadInfo() = default;
  void Fail(HRESULT hr);

  // Guards the interface pointers: a late callback may use the advanced
  // interface while the reading thread drops it.
  mutable std::mutex _lock;
  media::CComRef<media::IWMReader> _reader;
  media::CComRef<media::IWMReaderAdvanced> _advanced;
  media::CComRef<media::IWMHeaderInfo> _header_info;
  media::CComRef<media::IWMHeaderInfo3> _header_info3;
  media::CComRef<media::IWMProfile> _profile;
  CHandle _event;  // auto-reset
  std::atomic<HRESULT> _result{S_OK};
  std::atomic<media::QWORD> _clock_time{0};
  std::atomic<int> _finished{0};
  media::CRefCount _refs;
};
OV_COM_CLASSES_END

}  // namespace libmusic
