// WMA files: read through the media reader, judged by codec, sample rate,
// bit rate and channel count. Made for one file, used by one thread.
#pragma once

#include "MusicFileReaderWMSDK.h"

namespace libmusic {

class CMusicFileReaderWMA final : public CMusicFileReaderWMSDK {
 public:
  explicit CMusicFileReaderWMA(const WMReaderOptions& options = WMReaderOptions())
      : CMusicFileReaderWMSDK(options) {}

  bool CheckCodec(const CMusicFileInfo& info) override;
};

}  // namespace libmusic
