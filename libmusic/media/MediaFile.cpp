// Picks the parser of a media file; see MediaFile.h.
#include "media/MediaFile.h"

#include "media/AsfHeader.h"
#include "media/MpegAudio.h"

namespace libmusic {
namespace media {

HRESULT ReadMediaDescription(CByteSource& source, CMediaDescription* out) {
  if (!IsAsfFile(source)) return ReadMp3Description(source, out);
  const HRESULT hr = ReadAsfDescription(source, out);
  if (SUCCEEDED(hr) && out->IsProtected()) return NS_E_PROTECTED_CONTENT;
  return hr;
}

HRESULT ReadMediaFile(const std::wstring& path, CMediaDescription* out) {
  CFileSource source;
  const DWORD error = source.Open(path);
  if (error) return HRESULT_FROM_WIN32(error);
  return ReadMediaDescription(source, out);
}

}  // namespace media
}  // namespace libmusic
