// The reader of MP3 and WMA files through the media reader (media/): it
// opens the file, takes the one audio stream's format and the tags by their
// attribute names. Its children add the codec checks. Made for one file,
// used by one thread, which must have COM initialised (GetInfo makes sure).
#pragma once

#include "MusicFileReader.h"
#include "ReadInfo.h"
#include "media/WMRuntime.h"

#include <cstdint>
#include <memory>
#include <string>

namespace libmusic {

using WMReaderFactory = HRESULT (*)(IUnknown* cert, DWORD rights, media::IWMReader** reader);

struct WMReaderOptions {
  WMReaderFactory create_reader = &media::WMCreateReader;
  // How long an open may take before the file is given up.
  DWORD open_timeout_ms = 30000;
};

// The audio stream's figures from its media type.
struct WMAudioFormat {
  GUID subtype = {};
  WORD format_tag = 0;
  WORD channels = 0;
  DWORD samples_per_sec = 0;
  DWORD avg_bytes_per_sec = 0;
  WORD block_align = 0;
  WORD bits_per_sample = 0;
};

// Creates the reader into info and opens path, waiting at most the
// options' time for the reader's answer.
HRESULT OpenWMReader(CReadInfo& info, const std::wstring& path, const WMReaderOptions& options);
// E_FAIL unless the file has exactly one stream and it is audio.
HRESULT ReadWMAudioFormat(CReadInfo& info, WMAudioFormat* format);

class CMusicFileReaderWMSDK : public CMusicFileReader {
 public:
  explicit CMusicFileReaderWMSDK(const WMReaderOptions& options = WMReaderOptions())
      : _options(options) {}
  ~CMusicFileReaderWMSDK() override = default;

  std::unique_ptr<CMusicFileInfo> GetInfo(const std::wstring& path) override;

 private:
  HRESULT ReadAttributes(CReadInfo& info, const std::wstring& path, CMusicFileInfo* out);
  int ReadTrackNumber(CReadInfo& info, const std::wstring& path);

  const WMReaderOptions _options;
};

}  // namespace libmusic
