// The MP3 codec check; see MusicFileReaderMP3.h.
#include "MusicFileReaderMP3.h"

#include "CodecCheck.h"
#include "Log.h"

namespace libmusic {

bool CMusicFileReaderMP3::CheckCodec(const CMusicFileInfo& info) {
  if (info.is_protected) return RefuseProtected(info);
  if (!IsEqualGUID(info.media_subtype, media::WMMEDIASUBTYPE_MP3)) return RefuseSubtype(info);
  if (!HasSupportedChannels(info)) return RefuseChannels(info);
  // The unit plays every MP3 rate: no sample-rate or bit-rate limit.
  OV_LOG(kLogTrace, "CheckCodec OK [%s] %d Hz, %d bps, %s.", LogName(info).c_str(),
         info.sample_rate, info.bitrate, ChannelName(info.channels));
  return true;
}

}  // namespace libmusic
