// The readers that describe one music file: each is made for one file,
// reads it (GetInfo) and judges whether it may go onto the card
// (CheckCodec), then is destroyed. One thread uses a reader.
#pragma once

#include "MusicFileInfo.h"

#include <memory>
#include <string>

namespace libmusic {

class CMusicFileReader {
 public:
  CMusicFileReader() = default;
  virtual ~CMusicFileReader() = default;
  CMusicFileReader(const CMusicFileReader&) = delete;
  CMusicFileReader& operator=(const CMusicFileReader&) = delete;

  // A new record, or null when the file cannot be described.
  virtual std::unique_ptr<CMusicFileInfo> GetInfo(const std::wstring& path) = 0;
  // Whether the described file is fit for the card; every verdict is logged.
  virtual bool CheckCodec(const CMusicFileInfo& info) = 0;
};

}  // namespace libmusic
