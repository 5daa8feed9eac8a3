// The charges' store on the real files: the settings switches, the unit's
// device number, and the history records through a charge.
#include "CardMaker.h"
#include "ChargeKind.h"
#include "ChargeStore.h"
#include "CoreMessages.h"
#include "CoreTestSupport.h"
#include "Folders.h"
#include "OstrovelleLite/OstrovelleConfig.h"
#include "OstrovelleLite/ProbeLogFile.h"
#include "OstrovelleLite/SDInfoFile.h"
#include "OstrovelleLite/UserListFile.h"

#include <gtest/gtest.h>

namespace {

using coretest::CTestCharge;

class ChargeStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(card.IsValid());
    ASSERT_TRUE(ovtest::CCardMaker().DeviceNo("DIRU0000000042").WriteCard(card.Letter(), true));
  }
  void SetKey(const char* section, const char* key, const char* value) {
    WritePrivateProfileStringA(section, key, value, COstrovelleConfig().GetIniPath().c_str());
  }
  // Runs a charge of the kind on the card with the real store until it ends.
  void Run(uint32_t kind, CTestCharge::Work work) {
    coretest::CRecorderWindow window;
    std::unique_ptr<CTestCharge, ChargeDeleter> charge(new CTestCharge(kind, std::move(work)));
    charge->SetDriveLetter(card.Letter());
    charge->SetTargetWindow(window.Get());
    ASSERT_TRUE(charge->Start());
    ASSERT_TRUE(coretest::PumpUntil(
        [&] { return window.Count(coretest::Msg(kMsgNotifyFinish)) == 1; }, 10000));
  }

  ovtest::CScopedDataRoot root;
  ovtest::CTestCard card;
  ovtest::CLogCapture log;
  IChargeStore& store = GetChargeStore();
};

TEST_F(ChargeStoreTest, ReadsTheSwitchesFromTheSettings) {
  SetKey("Setting", "TransmitExe3", "0");
  SetKey("Music", "ChargeType", "1");
  int value = -1;
  ASSERT_TRUE(store.LoadRunSwitch(CHARGE_KIND_TIDEWHEEL, &value));
  EXPECT_EQ(0, value);
  ASSERT_TRUE(store.LoadRunSwitch(CHARGE_KIND_MAP, &value));
  EXPECT_EQ(1, value);  // absent: on
  ASSERT_TRUE(store.LoadRunSwitch(CHARGE_KIND_MUSIC, &value));
  EXPECT_EQ(1, value);
}

TEST_F(ChargeStoreTest, ReadsTheDeviceNumberOfTheCard) {
  EXPECT_EQ("DIRU0000000042", store.ReadDeviceNo(card.Letter()));
  DeleteFileA(card.Path("PC\\NAVIINFO.DAT").c_str());
  EXPECT_EQ("", store.ReadDeviceNo(card.Letter()));
}

TEST_F(ChargeStoreTest, AChargesHistoryGoesToTheCard) {
  Run(CHARGE_KIND_MAP, [](CTestCharge& self) {
    self._SaveHistory(CTestCharge::Stage(2), 0, 0x02000010, 0x02000010, 0);
    self._NotifyError(0, 0);
    return 0u;
  });
  const CSDInfoFile read(card.Letter());
  SYSTEMTIME date;
  int stage = 0, result = 0, data_version = 0, map_version = 0;
  std::string text;
  ASSERT_TRUE(
      read.GetRecord(CHARGE_KIND_MAP, &date, &stage, &text, &result, &data_version, &map_version));
  EXPECT_EQ(2, stage);
  EXPECT_EQ(0x02000000, result);
  EXPECT_EQ(0x02000010, data_version);
  EXPECT_NE(0, date.wYear);
}

TEST_F(ChargeStoreTest, AProbeUploadIsLoggedForTheCardsUser) {
  ASSERT_TRUE(CUserListFile().Save("DIRU0000000042", "太郎", 1, nullptr, 0));
  Run(CHARGE_KIND_PROBE, [](CTestCharge& self) {
    EXPECT_EQ("DIRU0000000042", self.GetDeviceNo());
    self._SaveHistory(CTestCharge::Stage(0), 0, 0, 0, 0);
    return 0u;
  });
  const CProbeLogFile read("太郎");
  ASSERT_EQ(1u, read.Records().size());
  EXPECT_EQ(0x01000000, read.Records()[0].Result());
  EXPECT_EQ(GetDataFolder() + "太郎\\ProbeLog.dat", read.GetPath());
}

TEST_F(ChargeStoreTest, AnUnregisteredUnitHasNoProbeLog) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  EXPECT_FALSE(store.SaveProbeLog("DIRU0000000042", now, 0, 0x01000000));
  EXPECT_FALSE(store.SaveProbeLog("", now, 0, 0x01000000));
  EXPECT_EQ(2u, log.Errors().size());
}

}  // namespace
