// The names the programs share: a card change names no card or a drive
// letter, nothing else, and the map charge's answer events pair up.
#include <gtest/gtest.h>

#include <string>

#include "CoreMessages.h"

namespace {

TEST(CoreMessagesTest, CardChangeTakesNoCardOrADriveLetterOnly) {
  struct Case {
    WPARAM value;
    bool accepted;
  };
  const Case cases[] = {
      {0, true},
      {'A', true},
      {'E', true},
      {'Z', true},
      {'a', false},
      {'z', false},
      {'@', false},
      {'[', false},
      {'1', false},
      {1, false},
      {0x145, false},
      {static_cast<WPARAM>(-1), false},
      {0x10000 + 'E', false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.accepted, IsSDChangeDrive(c.value)) << std::hex << c.value;
  }
}

TEST(CoreMessagesTest, AnswerEventsAreGlobalAndTheirNoTwinsAddNo) {
  for (const char* yes : {kMapLicenseEvent, kMapDownloadEvent, kMapVerifyEvent, kMapProbeEvent}) {
    EXPECT_EQ(0u, std::string(yes).rfind("Global\\EVOVMap", 0)) << yes;
  }
  EXPECT_EQ("Global\\EVOVMapDownloadNo", std::string(kMapDownloadEvent) + kMapAnswerNoSuffix);
  EXPECT_STREQ("OVEVMapChargeDLProgress", kMapChargeDLProgress);
  EXPECT_STREQ("OVEVMapChargeTRProgress", kMapChargeTRProgress);
  EXPECT_EQ(32u, kMapChargeProgressSize);
}

}  // namespace
