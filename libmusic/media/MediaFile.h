// One media file read whole into a description: ASF (WMA) when it starts
// with an ASF header, MPEG audio (MP3) otherwise. Not thread-bound.
#pragma once

#include "media/ByteSource.h"
#include "media/MediaDescription.h"

#include <string>

namespace libmusic {
namespace media {

// NS_E_PROTECTED_CONTENT for protected content (the reader holds no
// rights), NS_E_INVALID_INPUT_FORMAT for what is neither, or the platform
// error of a failed read as an HRESULT.
HRESULT ReadMediaDescription(CByteSource& source, CMediaDescription* out);
HRESULT ReadMediaFile(const std::wstring& path, CMediaDescription* out);

}  // namespace media
}  // namespace libmusic
