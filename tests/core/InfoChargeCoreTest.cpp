// Both information charges in the core as a real process, against the
// stand-in: the core started for "sm wl" fetches and writes both and reports
// to its notify window, an abort through the core ends the traffic charge,
// and the core ends when asked. One core runs in the Wine session at a time:
// these tests share the core tests' lock across processes.
#include <gtest/gtest.h>

#include <string>

#include "ChargeKind.h"
#include "CoreMessages.h"
#include "Handle.h"
#include "InfoTestSupport.h"
#include "StringUtil.h"

namespace {

using coretest::Msg;
using coretest::PumpUntil;

constexpr DWORD kTimeoutMs = 60000;

HWND FindCore() { return FindWindowA(kCoreWindowClass, kCoreWindowTitle); }

class InfoChargeCoreTest : public infotest::CInfoChargeTest {
 protected:
  void SetUp() override {
    infotest::CInfoChargeTest::SetUp();
    _lock.Reset(CreateMutexA(nullptr, FALSE, "OvTestCoreProcessLock"));
    ASSERT_TRUE(_lock);
    const DWORD wait = WaitForSingleObject(_lock.Get(), 600000);
    ASSERT_TRUE(wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED);
    _locked = true;
    ASSERT_EQ(nullptr, FindCore());
  }
  void TearDown() override {
    if (_core && WaitForSingleObject(_core.Get(), 0) == WAIT_TIMEOUT) {
      TerminateProcess(_core.Get(), 1);
      WaitForSingleObject(_core.Get(), kTimeoutMs);
    }
    if (_locked) ReleaseMutex(_lock.Get());
  }

  void StartCore(const char* kinds) {
    std::string relative = OV_CORE_EXE_RELATIVE;
    ReplaceAll(relative, "/", "\\");
    std::string line = FormatString(
        "\"%s%s\" /d %c /w %08X /p %s", ovtest::ExecutableFolder().c_str(), relative.c_str(),
        card.Letter(), static_cast<unsigned>(reinterpret_cast<UINT_PTR>(window.Get())), kinds);
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(
        CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    CloseHandle(pi.hThread);
    _core.Reset(pi.hProcess);
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
  bool EndCore() {
    const HWND core = FindCore();
    if (!core || !PostMessageA(core, Msg(kMsgRequestEnd), 0, 0)) return false;
    return PumpUntil([&] { return WaitForSingleObject(_core.Get(), 0) == WAIT_OBJECT_0; },
                     kTimeoutMs);
  }

 private:
  CHandle _lock;
  bool _locked = false;
  CHandle _core;
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
