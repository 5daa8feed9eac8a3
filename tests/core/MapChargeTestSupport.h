// Helpers of the map charge's tests: a fixture with a card of the unit, a
// data root, a log and the stand-in of the test's own, a clock the test
// steps, and the saved line speed.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "CardMaker.h"
#include "OvWindows.h"
#include "StandIn.h"
#include "TestSupport.h"
#include "map/MapCharge.h"

namespace maptest {

// Each reading of the test clock moves it on by step_ms.
void SetClockStep(DWORD step_ms);
DWORD WINAPI TestTick();

// [Map] SpeedOfLine of the data root's settings (0 when none is saved).
int SavedSpeedOfLine();
void SaveSpeedOfLine(const char* value);

// A unit with a CCID head, model 9 and map, program and map-set records.
ovtest::CCardMaker DefaultCard();
void WriteCard(char drive, ovtest::CCardMaker maker);

// Bytes as upper-case hexadecimal, for the stand-in's *_hex fields.
std::string Hex(const std::string& bytes);

// The run's first step and its download, which no step class holds: the
// tests of the download start them without a worker.
class CChargeAccess final {
 public:
  static void Init(CMapCharge& charge) { charge._Init(); }
  static bool StartDownloadData(CMapCharge& charge) { return charge._StartDownloadData(); }
};

class CMapChargeFixture : public ::testing::Test {
 protected:
  void SetUp() override;

  ovtest::CScopedDataRoot root;
  ovtest::CTempDir dir;
  ovtest::CStandIn standin;
  ovtest::CTestCard card;
  ovtest::CLogCapture log;
  CMapCharge charge;
};

}  // namespace maptest
