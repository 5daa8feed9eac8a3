// M4A files; see MusicFileReaderAAC.h.
#include "MusicFileReaderAAC.h"

#include "CodecCheck.h"
#include "Handle.h"
#include "Log.h"
#include "Mp4BoxWalker.h"
#include "StringUtil.h"
#include "WinFileSystemLib.h"
#include "media/ByteSource.h"

#include <cwctype>

namespace libmusic {

std::unique_ptr<CMusicFileInfo> CMusicFileReaderAAC::GetInfo(const std::wstring& path) {
  // A card may be briefly busy: open and read through the retrying operations.
  CWinFileSystemLib file_system(nullptr);
  CFileHandle file =
      file_system.CreateFile_Recover(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  media::CFileSource source;
  const DWORD error = file ? source.Attach(std::move(file), &file_system) : file_system.LastError();
  if (error) {
    OV_LOG(kLogError, "ファイルオープン失敗 ERR:%08X PATH:%s", static_cast<unsigned>(error),
           ToMultiByte(path).c_str());
    return nullptr;
  }
  auto info = std::make_unique<CMusicFileInfo>();
  if (!CMp4BoxWalker(source, info.get()).Walk()) {
    OV_LOG(kLogError, "CMusicFileReaderAAC::GetInfo - unreadable MP4 boxes ERR:%08X PATH:%s",
           static_cast<unsigned>(source.Error()), ToMultiByte(path).c_str());
    return nullptr;
  }
  return info;
}

bool CMusicFileReaderAAC::ParseEncoderVersion(const std::wstring& encoder, std::wstring* version) {
  static const std::wstring kPrefix = L"iTunes";
  if (encoder.compare(0, kPrefix.size(), kPrefix) != 0) return false;
  size_t pos = kPrefix.size();
  while (pos < encoder.size() && std::iswspace(encoder[pos])) ++pos;
  size_t end = pos;
  while (end < encoder.size() && !std::iswspace(encoder[end])) ++end;
  if (end == pos) return false;
  *version = encoder.substr(pos, end - pos);
  return true;
}

bool CMusicFileReaderAAC::CheckCodec(const CMusicFileInfo& info) {
  if (info.is_protected) return RefuseProtected(info);
  if (info.media_cut) {
    // A partly copied file would go to the card with its full duration.
    OV_LOG(kLogError, "CheckCodec NG [%s] Media data runs past the end of the file.",
           LogName(info).c_str());
    return false;
  }
  if (info.encoder.empty()) {
    OV_LOG(kLogError, "CheckCodec NG [%s] No Encoder Name.", LogName(info).c_str());
    return false;
  }
  std::wstring version;
  if (!ParseEncoderVersion(info.encoder, &version)) {
    OV_LOG(kLogError, "CheckCodec NG [%s] Invalid Encoder : %s", LogName(info).c_str(),
           ToMultiByte(info.encoder).c_str());
    return false;
  }
  if (!IsMemberOf(kAacSampleRates, info.sample_rate)) return RefuseSampleRate(info);
  // An average bit rate of 0 means the encoder did not state one (variable
  // rates); only a stated rate outside the set is refused.
  if (info.bitrate != 0 && !IsMemberOf(kAacBitRates, info.bitrate)) return RefuseBitRate(info);
  if (!HasSupportedChannels(info)) return RefuseChannels(info);
  OV_LOG(kLogTrace, "CheckCodec OK [%s] %d Hz, %d bps, %s, Encoder Ver %s.", LogName(info).c_str(),
         info.sample_rate, info.bitrate, ChannelName(info.channels), ToMultiByte(version).c_str());
  return true;
}

}  // namespace libmusic
