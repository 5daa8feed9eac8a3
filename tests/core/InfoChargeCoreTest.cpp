// Both information charges in the core as a real process, against the
// stand-in: the core started for "sm wl" fetches and writes both and reports
// to its notify window, an abort through the core ends the traffic charge,
// and the core ends when asked. One core runs in the Wine session at a time:
// these tests share the core tests' lock across processes.
#include <gtest/gtest.h>

#include <string>

#include "ChargeKind.h"
#include "CoreMessages.h"
#include "CoreProcessLock.h"
#include "CoreProcessSupport.h"
#include "Handle.h"
#include "InfoTestSupport.h"
#include "StringUtil.h"

namespace {

using coretest::Msg;
using coretest::PumpUntil;

constexpr DWORD kTimeoutMs = 60000;

using coretest::FindCore;

class InfoChargeCoreTest : public infotest::CInfoChargeTest {
 protected:
  void SetUp() override {
    infotest::CInfoChargeTest::SetUp();
    ASSERT_TRUE(_lock.IsHeld());
  }

  void StartCore(const char* kinds) {
    ASSERT_TRUE(_core.Start(card.Letter(), window.Get(), kinds));
  }
  bool WaitForWords(const std::vector<WPARAM>& words) {
    return PumpUntil(
        [&] {
          const std::vector<coretest::RecordedMessage> errors = window.Of(Msg(kMsgNotifyError));
          for (const WPARAM word : words) {
            bool seen = false;
            for (const coretest::RecordedMessage& m : errors) seen = seen || m.wparam == word;
            if (!seen) return false;
          }
          return true;
        },
        kTimeoutMs);
  }
  // Asks the core to end and waits for it.
  bool EndCore() { return _core.End(kTimeoutMs); }

 private:
  ovtest::CCoreProcessLock _lock;
  coretest::CCoreProcess _core;
};

TEST_F(InfoChargeCoreTest, CoreRunsBothChargesOnTheCardAndEndsWhenAsked) {
  StartCore("sm wl");
  ASSERT_TRUE(WaitForWords({0x04000000, 0x08000000}));
  // The traffic charge has the higher priority.
  const std::vector<coretest::RecordedMessage> errors = window.Of(Msg(kMsgNotifyError));
  EXPECT_EQ(0x04000000u, errors.front().wparam);
  EXPECT_EQ(300u, CardFile("PC\\PROBE\\RCVDAT.DAT.ENC").size());
  EXPECT_EQ(24u, CardFile("PC\\PROBE\\RCVTIME.DAT").size());
  EXPECT_EQ(537u, CardFile("PC\\WEATHER\\WT_INFO.DAT").size());
  EXPECT_EQ(30800u, CardFile("PC\\WEATHER\\WT_DATA.DAT").size());
  CPcLinkRecord record;
  ASSERT_TRUE(LinkRecord(pclink::kDataIdTraffic, &record));
  EXPECT_EQ(0x01000006u, record.Version());
  ASSERT_TRUE(LinkRecord(pclink::kDataIdWeather, &record));
  EXPECT_EQ(0x0100000Au, record.Version());
  // Password, traffic, and each weather file twice: challenge, then answer.
  EXPECT_EQ(6u, Requests().size());
  ASSERT_TRUE(EndCore());
}

TEST_F(InfoChargeCoreTest, AbortThroughTheCoreEndsTheTrafficCharge) {
  ASSERT_TRUE(standin.Set("/cgi-bin/qzt.cgi", "delay_ms=3000"));
  StartCore("sm");
  ASSERT_TRUE(standin.WaitForRequests(2, kTimeoutMs));
  const HWND core = FindCore();
  ASSERT_NE(nullptr, core);
  ASSERT_TRUE(PostMessageA(core, Msg(kMsgRequestAbort), 0, CHARGE_KIND_TIDEWHEEL));
  ASSERT_TRUE(WaitForWords({0x0400FF00}));
  EXPECT_FALSE(CardHas("PC\\PROBE\\RCVDAT.DAT.ENC"));
  // Nothing is reserved any more, the repeat included.
  DWORD_PTR reserved = 0xFFFFFFFF;
  ASSERT_TRUE(PumpUntil(
      [&] {
        SendMessageTimeoutA(core, Msg(kMsgRequestReconfirm), 0,
                            reinterpret_cast<LPARAM>(window.Get()), SMTO_ABORTIFHUNG, 5000,
                            &reserved);
        return reserved == 0;
      },
      kTimeoutMs));
  ASSERT_TRUE(EndCore());
}

}  // namespace
