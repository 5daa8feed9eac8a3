// Pieces the codec checks of the readers share: the allowed value sets and
// the refusal log lines. Every line names the record's file name. Free of
// shared mutable state; safe on any thread.
#pragma once

#include "MusicFileInfo.h"

#include <string>
#include <vector>

namespace libmusic {

extern const std::vector<int> kWmaSampleRates;
extern const std::vector<int> kAacSampleRates;
extern const std::vector<int> kAacBitRates;

bool IsMemberOf(const std::vector<int>& set, int value);
// "mono" for one channel, "stereo" otherwise.
const char* ChannelName(int channels);
bool HasSupportedChannels(const CMusicFileInfo& info);
// The record's file name as a byte string for the log.
std::string LogName(const CMusicFileInfo& info);

// Each logs its refusal line ("!!") and answers false.
bool RefuseProtected(const CMusicFileInfo& info);
bool RefuseSubtype(const CMusicFileInfo& info);
bool RefuseSampleRate(const CMusicFileInfo& info);
bool RefuseBitRate(const CMusicFileInfo& info);
bool RefuseChannels(const CMusicFileInfo& info);

}  // namespace libmusic
