// Shared codec-check pieces; see CodecCheck.h.
#include "CodecCheck.h"

#include "Log.h"
#include "StringUtil.h"

#include <algorithm>

namespace libmusic {

const std::vector<int> kWmaSampleRates = {8000, 11025, 16000, 22050, 32000, 44100, 48000};
const std::vector<int> kAacSampleRates = {11025, 16000, 22050, 32000, 44100, 48000};
const std::vector<int> kAacBitRates = {8000,   16000,  24000,  32000,  40000,  48000,
                                       56000,  64000,  80000,  96000,  112000, 128000,
                                       144000, 160000, 192000, 224000, 256000, 320000};

bool IsMemberOf(const std::vector<int>& set, int value) {
  return std::find(set.begin(), set.end(), value) != set.end();
}

const char* ChannelName(int channels) { return channels == 1 ? "mono" : "stereo"; }

bool HasSupportedChannels(const CMusicFileInfo& info) {
  return info.channels == 1 || info.channels == 2;
}

std::string LogName(const CMusicFileInfo& info) { return ToMultiByte(info.file_name); }

bool RefuseProtected(const CMusicFileInfo& info) {
  OV_LOG(kLogError, "CheckCodec NG [%s] DRM protected.", LogName(info).c_str());
  return false;
}

bool RefuseSubtype(const CMusicFileInfo& info) {
  const GUID& g = info.media_subtype;
  OV_LOG(kLogError,
         "CheckCodec NG [%s] Invalid GUID : %08X-%04X-%04X-%02X%02X%02X%02X%02X%02X%02X%02X",
         LogName(info).c_str(), static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0],
         g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return false;
}

bool RefuseSampleRate(const CMusicFileInfo& info) {
  OV_LOG(kLogError, "CheckCodec NG [%s] Invalid SampleRate : %d Hz", LogName(info).c_str(),
         info.sample_rate);
  return false;
}

bool RefuseBitRate(const CMusicFileInfo& info) {
  OV_LOG(kLogError, "CheckCodec NG [%s] Invalid BitRate : %d bps", LogName(info).c_str(),
         info.bitrate);
  return false;
}

bool RefuseChannels(const CMusicFileInfo& info) {
  OV_LOG(kLogError, "CheckCodec NG [%s] Invalid Channels : %d bps", LogName(info).c_str(),
         static_cast<int>(info.channels));
  return false;
}

}  // namespace libmusic
