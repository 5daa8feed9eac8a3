// MP3 files: read through the media reader, judged by their codec and
// channel count. Made for one file, used by one thread.
#pragma once

#include "MusicFileReaderWMSDK.h"

namespace libmusic {

class CMusicFileReaderMP3 final : public CMusicFileReaderWMSDK {
 public:
  explicit CMusicFileReaderMP3(const WMReaderOptions& options = WMReaderOptions())
      : CMusicFileReaderWMSDK(options) {}

  bool CheckCodec(const CMusicFileInfo& info) override;
};

}  // namespace libmusic
