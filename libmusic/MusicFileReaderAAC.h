// M4A (AAC) files: read by our own walk over their MP4 boxes, judged by
// encoder, sample rate, bit rate and channel count. Made for one file, used
// by one thread.
#pragma once

#include "MusicFileReader.h"

#include <memory>
#include <string>

namespace libmusic {

class CMusicFileReaderAAC final : public CMusicFileReader {
 public:
  CMusicFileReaderAAC() = default;

  std::unique_ptr<CMusicFileInfo> GetInfo(const std::wstring& path) override;
  bool CheckCodec(const CMusicFileInfo& info) override;

  // The version word of an encoder tag such as "iTunes 8.0.1.11, QuickTime":
  // what follows "iTunes" and optional blanks up to the next blank (a comma
  // stays on it). False when there is none.
  static bool ParseEncoderVersion(const std::wstring& encoder, std::wstring* version);
};

}  // namespace libmusic
