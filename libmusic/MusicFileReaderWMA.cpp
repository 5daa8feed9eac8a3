// The WMA codec check; see MusicFileReaderWMA.h.
#include "MusicFileReaderWMA.h"

#include "CodecCheck.h"
#include "Log.h"

namespace libmusic {

namespace {

constexpr int kMinSampleRate = 7000;
constexpr int kMaxSampleRate = 49000;
constexpr int kMinVbrBitRate = 47000;
constexpr int kMaxVbrBitRate = 193000;
constexpr int kMinCbrBitRate = 4000;
constexpr int kMaxCbrBitRate = 330000;

}  // namespace

bool CMusicFileReaderWMA::CheckCodec(const CMusicFileInfo& info) {
  if (info.is_protected) return RefuseProtected(info);
  if (!IsEqualGUID(info.media_subtype, media::WMMEDIASUBTYPE_WMAudioV8) &&
      !IsEqualGUID(info.media_subtype, media::WMMEDIASUBTYPE_WMAudioV9)) {
    return RefuseSubtype(info);
  }
  if (!IsMemberOf(kWmaSampleRates, info.sample_rate)) return RefuseSampleRate(info);
  // The range and bit-rate limits refuse silently.
  if (info.sample_rate < kMinSampleRate || info.sample_rate > kMaxSampleRate) return false;
  const int min_bitrate = info.vbr ? kMinVbrBitRate : kMinCbrBitRate;
  const int max_bitrate = info.vbr ? kMaxVbrBitRate : kMaxCbrBitRate;
  if (info.bitrate < min_bitrate || info.bitrate > max_bitrate) return false;
  if (!HasSupportedChannels(info)) return RefuseChannels(info);
  OV_LOG(kLogTrace, "CheckCodec OK [%s] %d Hz, %d %s, %s.", LogName(info).c_str(), info.sample_rate,
         info.bitrate / 1000, info.vbr ? "kbps (VBR)" : "kbps (CBR)", ChannelName(info.channels));
  return true;
}

}  // namespace libmusic
