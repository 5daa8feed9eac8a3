// The media reader surface the music-file readers talk to: the interfaces,
// identifiers, status codes and attribute types of the Windows Media Format
// runtime's reader, declared here with the runtime's names and signatures
// and backed by our own file reading (see README.md). Only the methods the
// music library calls are declared; a caller written against these compiles
// unchanged against the runtime's own headers.
//
// Threads: a reader may be used from any thread, one call at a time; the
// callbacks arrive on a thread of the reader's own.
#pragma once

#include "OvWindows.h"

#include <cstdint>

// COM objects are destroyed by their own Release, never through an
// interface pointer, so interfaces and the classes that implement them have
// no virtual destructor; these bracket their declarations.
#define OV_COM_CLASSES_BEGIN \
  _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wnon-virtual-dtor\"")
#define OV_COM_CLASSES_END _Pragma("GCC diagnostic pop")

namespace libmusic {
namespace media {

using QWORD = std::uint64_t;

// Reader status codes handed to IWMStatusCallback::OnStatus.
enum WMT_STATUS {
  WMT_ERROR = 0,
  WMT_OPENED = 1,
  WMT_BUFFERING_START = 2,
  WMT_BUFFERING_STOP = 3,
  WMT_EOF = 4,
  WMT_END_OF_FILE = 4,
  WMT_END_OF_SEGMENT = 5,
  WMT_END_OF_STREAMING = 6,
  WMT_LOCATING = 7,
  WMT_CONNECTING = 8,
  WMT_NO_RIGHTS = 9,
  WMT_MISSING_CODEC = 10,
  WMT_STARTED = 11,
  WMT_STOPPED = 12,
  WMT_CLOSED = 13,
};

// Attribute value types.
enum WMT_ATTR_DATATYPE {
  WMT_TYPE_DWORD = 0,
  WMT_TYPE_STRING = 1,
  WMT_TYPE_BINARY = 2,
  WMT_TYPE_BOOL = 3,
  WMT_TYPE_QWORD = 4,
  WMT_TYPE_WORD = 5,
  WMT_TYPE_GUID = 6,
};

enum WMT_STREAM_SELECTION {
  WMT_OFF = 0,
  WMT_CLEANPOINT_ONLY = 1,
  WMT_ON = 2,
};

// Rights asked of WMCreateReader: none lets protected content fail to open.
constexpr DWORD WMT_RIGHT_NONE = 0;

// Status codes (HRESULTs) of the runtime that callers test for.
constexpr HRESULT ASF_E_BUFFERTOOSMALL = static_cast<HRESULT>(0xC00D07D1L);
constexpr HRESULT ASF_E_NOTFOUND = static_cast<HRESULT>(0xC00D07F0L);
constexpr HRESULT NS_E_INVALID_REQUEST = static_cast<HRESULT>(0xC00D002BL);
constexpr HRESULT NS_E_INVALID_INPUT_FORMAT = static_cast<HRESULT>(0xC00D0BB8L);
constexpr HRESULT NS_E_PROTECTED_CONTENT = static_cast<HRESULT>(0xC00D0BBDL);

// Attribute names as the runtime spells them.
constexpr const wchar_t* kAttrTitle = L"Title";
constexpr const wchar_t* kAttrAuthor = L"Author";
constexpr const wchar_t* kAttrAlbumTitle = L"WM/AlbumTitle";
constexpr const wchar_t* kAttrAlbumArtist = L"WM/AlbumArtist";
constexpr const wchar_t* kAttrGenre = L"WM/Genre";
constexpr const wchar_t* kAttrYear = L"WM/Year";
constexpr const wchar_t* kAttrTrackNumber = L"WM/TrackNumber";
constexpr const wchar_t* kAttrTrack = L"WM/Track";
constexpr const wchar_t* kAttrDuration = L"Duration";
constexpr const wchar_t* kAttrBitrate = L"Bitrate";
constexpr const wchar_t* kAttrIsVBR = L"IsVBR";
constexpr const wchar_t* kAttrIsProtected = L"Is_Protected";
constexpr const wchar_t* kAttrSeekable = L"Seekable";

// Media major types, format types and audio subtypes. An audio subtype is
// the wave format tag in the first field of the common base identifier.
constexpr GUID WMMEDIATYPE_Audio = {
    0x73647561, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
constexpr GUID WMMEDIATYPE_Video = {
    0x73646976, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
constexpr GUID WMFORMAT_WaveFormatEx = {
    0x05589F81, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
constexpr GUID WMMEDIASUBTYPE_MP3 = {
    0x00000055, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
constexpr GUID WMMEDIASUBTYPE_WMAudioV8 = {
    0x00000161, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
constexpr GUID WMMEDIASUBTYPE_WMAudioV9 = {
    0x00000162, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

// The audio subtype that carries a wave format tag.
inline GUID AudioSubtypeFromFormatTag(WORD format_tag) {
  GUID subtype = WMMEDIASUBTYPE_MP3;
  subtype.Data1 = format_tag;
  return subtype;
}

// A media type; pbFormat points at cbFormat bytes of the format block
// (a WAVEFORMATEX for WMFORMAT_WaveFormatEx), stored right after the
// structure when the type is copied out by IWMMediaProps::GetMediaType.
struct WM_MEDIA_TYPE {
  GUID majortype;
  GUID subtype;
  BOOL bFixedSizeSamples;
  BOOL bTemporalCompression;
  ULONG lSampleSize;
  GUID formattype;
  IUnknown* pUnk;
  ULONG cbFormat;
  BYTE* pbFormat;
};

struct INSSBuffer;

// Interface identifiers.
constexpr IID IID_IWMStatusCallback = {
    0x6D7CDC70, 0x9888, 0x11D3, {0x8E, 0xDC, 0x00, 0xC0, 0x4F, 0x61, 0x09, 0xCF}};
constexpr IID IID_IWMReaderCallback = {
    0x96406BD8, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};
constexpr IID IID_IWMReaderCallbackAdvanced = {
    0x96406BEB, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};
constexpr IID IID_IWMReader = {
    0x96406BD6, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};
constexpr IID IID_IWMReaderAdvanced = {
    0x96406BEA, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};
constexpr IID IID_IWMHeaderInfo = {
    0x96406BDA, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};
constexpr IID IID_IWMHeaderInfo3 = {
    0x15CC68E3, 0x27CC, 0x4ECD, {0xB2, 0x22, 0x3F, 0x5D, 0x02, 0xD8, 0x0B, 0xD5}};
constexpr IID IID_IWMProfile = {
    0x96406BDB, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};
constexpr IID IID_IWMStreamConfig = {
    0x96406BDC, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};
constexpr IID IID_IWMMediaProps = {
    0x96406BCE, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};

OV_COM_CLASSES_BEGIN

// Interfaces a caller implements.

class IWMStatusCallback : public IUnknown {
 public:
  virtual HRESULT STDMETHODCALLTYPE OnStatus(WMT_STATUS Status, HRESULT hr,
                                             WMT_ATTR_DATATYPE dwType, BYTE* pValue,
                                             void* pvContext) = 0;
};

class IWMReaderCallback : public IWMStatusCallback {
 public:
  virtual HRESULT STDMETHODCALLTYPE OnSample(DWORD dwOutputNum, QWORD cnsSampleTime,
                                             QWORD cnsSampleDuration, DWORD dwFlags,
                                             INSSBuffer* pSample, void* pvContext) = 0;
};

class IWMReaderCallbackAdvanced : public IUnknown {
 public:
  virtual HRESULT STDMETHODCALLTYPE OnStreamSample(WORD wStreamNum, QWORD cnsSampleTime,
                                                   QWORD cnsSampleDuration, DWORD dwFlags,
                                                   INSSBuffer* pSample, void* pvContext) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnTime(QWORD cnsCurrentTime, void* pvContext) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnStreamSelection(WORD wStreamCount, WORD* pStreamNumbers,
                                                      WMT_STREAM_SELECTION* pSelections,
                                                      void* pvContext) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnOutputPropsChanged(DWORD dwOutputNum,
                                                         WM_MEDIA_TYPE* pMediaType,
                                                         void* pvContext) = 0;
  virtual HRESULT STDMETHODCALLTYPE AllocateForStream(WORD wStreamNum, DWORD cbBuffer,
                                                      INSSBuffer** ppBuffer, void* pvContext) = 0;
  virtual HRESULT STDMETHODCALLTYPE AllocateForOutput(DWORD dwOutputNum, DWORD cbBuffer,
                                                      INSSBuffer** ppBuffer, void* pvContext) = 0;
};

// Interfaces the reader offers.

class IWMReader : public IUnknown {
 public:
  // Opens asynchronously: WMT_OPENED reaches the callback with the result.
  virtual HRESULT STDMETHODCALLTYPE Open(const WCHAR* pwszURL, IWMReaderCallback* pCallback,
                                         void* pvContext) = 0;
  virtual HRESULT STDMETHODCALLTYPE Close() = 0;
};

class IWMReaderAdvanced : public IUnknown {
 public:
  virtual HRESULT STDMETHODCALLTYPE SetUserProvidedClock(BOOL fUserClock) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeliverTime(QWORD cnsTime) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetManualStreamSelection(BOOL fSelection) = 0;
};

class IWMHeaderInfo : public IUnknown {
 public:
  // With pValue null, *pcbLength receives the size the value needs.
  virtual HRESULT STDMETHODCALLTYPE GetAttributeByName(WORD* pwStreamNum, LPCWSTR pszName,
                                                       WMT_ATTR_DATATYPE* pType, BYTE* pValue,
                                                       WORD* pcbLength) = 0;
};

class IWMHeaderInfo3 : public IWMHeaderInfo {
 public:
  // Indices of every value of one attribute (pwszName null: of all); with
  // pwIndices null, *pwCount receives the number of values.
  virtual HRESULT STDMETHODCALLTYPE GetAttributeIndices(WORD wStreamNum, LPCWSTR pwszName,
                                                        WORD* pwLangIndex, WORD* pwIndices,
                                                        WORD* pwCount) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAttributeByIndexEx(WORD wStreamNum, WORD wIndex,
                                                          LPWSTR pwszName, WORD* pwNameLen,
                                                          WMT_ATTR_DATATYPE* pType,
                                                          WORD* pwLangIndex, BYTE* pValue,
                                                          DWORD* pdwDataLength) = 0;
};

class IWMStreamConfig : public IUnknown {
 public:
  virtual HRESULT STDMETHODCALLTYPE GetStreamType(GUID* pguidStreamType) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetStreamNumber(WORD* pwStreamNum) = 0;
};

class IWMProfile : public IUnknown {
 public:
  virtual HRESULT STDMETHODCALLTYPE GetStreamCount(DWORD* pcStreams) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetStream(DWORD dwStreamIndex, IWMStreamConfig** ppConfig) = 0;
};

class IWMMediaProps : public IUnknown {
 public:
  virtual HRESULT STDMETHODCALLTYPE GetType(GUID* pguidType) = 0;
  // With pType null, *pcbType receives the size the media type needs.
  virtual HRESULT STDMETHODCALLTYPE GetMediaType(WM_MEDIA_TYPE* pType, DWORD* pcbType) = 0;
};

OV_COM_CLASSES_END

// Makes a reader. pUnkCert must be null; dwRights WMT_RIGHT_NONE.
HRESULT WMCreateReader(IUnknown* pUnkCert, DWORD dwRights, IWMReader** ppReader);

}  // namespace media
}  // namespace libmusic
