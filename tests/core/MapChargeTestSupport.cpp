// The map charge's test helpers; see MapChargeTestSupport.h.
#include "MapChargeTestSupport.h"

#include <atomic>

#include "Charge.h"
#include "Log.h"
#include "OstrovelleLite/OstrovelleConfig.h"
#include "StringUtil.h"
#include "map/MapChargeProgress.h"

namespace maptest {
namespace {

std::atomic<DWORD> g_now{1000};
std::atomic<DWORD> g_step{0};

}  // namespace

void SetClockStep(DWORD step_ms) { g_step = step_ms; }

DWORD WINAPI TestTick() { return g_now += g_step; }

int SavedSpeedOfLine() {
  COstrovelleConfig config;
  config.LoadSpeedOfLine();
  return config.GetSpeedOfLine();
}

void SaveSpeedOfLine(const char* value) {
  const COstrovelleConfig config;
  ASSERT_TRUE(WritePrivateProfileStringA("Map", "SpeedOfLine", value, config.GetIniPath().c_str()));
}

ovtest::CCardMaker DefaultCard() {
  ovtest::CCardMaker maker;
  maker.CcidHead(0x00012345).Model(9);
  maker.AddRecord(0x30020001, 0x01000005, 0x2011, 0);
  maker.AddRecord(0x10000001, 0x02000001, 0x2011, 0);
  maker.AddRecord(0x30010001, 0x01000003, 0x2011, 0);
  return maker;
}

void WriteCard(char drive, ovtest::CCardMaker maker) { ASSERT_TRUE(maker.WriteCard(drive)); }

std::string Hex(const std::string& bytes) {
  std::string out;
  for (const char c : bytes) out += FormatString("%02X", static_cast<unsigned char>(c));
  return out;
}

void CMapChargeFixture::SetUp() {
  if (!standin.IsRunning()) GTEST_SKIP() << "the stand-in service is not running";
  ASSERT_TRUE(card.IsValid());
  const std::string info = dir.File("Connection.info");
  ASSERT_TRUE(ovtest::WriteFileBytes(info, standin.ConnectionInfo()));
  SetEnvironmentVariableA("OV_CONNECTION_INFO", info.c_str());
  // Charges of other test processes must not share this one's abort event.
  chargetest::SetAbortEventTag(standin.Namespace());
  CMapQuestions::SetEventTag(standin.Namespace());
  mapprogresstest::SetBlockNameTag(standin.Namespace());
  charge.SetPhasePause(0);
  WriteCard(card.Letter(), DefaultCard());
  SetClockStep(0);
  // The steps' trace lines carry what the tests look for.
  logtest::SetTraceEnabled(true);
  charge.SetDriveLetter(card.Letter());
  charge.SetTickSource(&TestTick);
  maptest::CChargeAccess::Init(charge);
}

}  // namespace maptest
