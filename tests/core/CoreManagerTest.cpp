// The charge manager in this process: a window of the test's own stands for
// the core window, another for the notify window; the charges are the
// script's (see CoreTestSupport.h).
#include "ChargeKind.h"
#include "CoreManager.h"
#include "CoreMessages.h"
#include "CoreTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using coretest::CChargeScript;
using coretest::CRecorderWindow;
using coretest::Msg;
using Kinds = std::vector<uint32_t>;

constexpr DWORD kTimeoutMs = 10000;

class CoreManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CoreManagerArgs args;
    args.own_window = own.Get();
    args.notify_window = notify.Get();
    args.drive = 'C';
    args.create_charge = script.Factory();
    args.tick = [this] { return now; };
    manager = std::make_unique<CCoreManager>(args);
  }

  void Post(const char* message, LPARAM lparam, WPARAM wparam = 0) {
    PostMessageA(own.Get(), Msg(message), wparam, lparam);
  }
  void Request(uint32_t kind) { Post(kMsgRequestCharge, kind); }
  bool Pump(const std::function<bool()>& done) {
    return coretest::PumpUntil(done, kTimeoutMs, manager.get(), own.Get());
  }
  // Kinds in the order their charges reported their start.
  Kinds Started() const {
    Kinds kinds;
    for (const auto& m : notify.Of(Msg(kMsgNotifyProgress))) {
      if (m.wparam == 0) kinds.push_back(static_cast<uint32_t>(m.lparam));
    }
    return kinds;
  }
  bool WaitStarted(const Kinds& expected) {
    return Pump([&] { return Started() == expected; });
  }
  bool Idle() const { return manager->ReservedKinds().empty(); }
  // Idle, and every report passed on has reached the notify window.
  bool WaitIdle() {
    return Pump([&] {
      MSG pending;
      return Idle() && !PeekMessageA(&pending, nullptr, 0, 0, PM_NOREMOVE);
    });
  }
  // Lets the timer's check run as the loop would.
  void Tick() {
    PostMessageA(own.Get(), WM_TIMER, CCoreManager::kRepeatTimerId, 0);
    Pump([&] { return true; });
  }
  size_t Closes() const { return own.Count(WM_CLOSE); }
  std::vector<WPARAM> ErrorWords() const {
    std::vector<WPARAM> words;
    for (const auto& m : notify.Of(Msg(kMsgNotifyError))) words.push_back(m.wparam);
    return words;
  }

  ovtest::CLogCapture log;
  CRecorderWindow own;
  CRecorderWindow notify;
  CChargeScript script;
  DWORD now = 1000;
  std::unique_ptr<CCoreManager> manager;
};

TEST_F(CoreManagerTest, RunsWaitingChargesInPriorityOrder) {
  Request(CHARGE_KIND_MUSIC);
  Request(CHARGE_KIND_WEATHER);
  Request(CHARGE_KIND_MAP);
  ASSERT_TRUE(Pump([&] { return manager->ReservedKinds().size() == 3 && Started().size() == 1; }));
  EXPECT_EQ(Kinds({CHARGE_KIND_MUSIC}), Started());
  EXPECT_EQ(Kinds({CHARGE_KIND_MUSIC, CHARGE_KIND_WEATHER, CHARGE_KIND_MAP}),
            manager->ReservedKinds());
  EXPECT_EQ(CHARGE_KIND_MUSIC, manager->ActiveKind());

  script.Release(CHARGE_KIND_MUSIC);
  ASSERT_TRUE(WaitStarted({CHARGE_KIND_MUSIC, CHARGE_KIND_MAP}));
  script.Release(CHARGE_KIND_MAP);
  ASSERT_TRUE(WaitStarted({CHARGE_KIND_MUSIC, CHARGE_KIND_MAP, CHARGE_KIND_WEATHER}));
  script.Release(CHARGE_KIND_WEATHER);
  ASSERT_TRUE(Pump([&] { return Idle() && ErrorWords().size() == 3; }));
  EXPECT_EQ(std::vector<WPARAM>({0x10000000, 0x02000000, 0x08000000}), ErrorWords());
  EXPECT_EQ(0u, Closes());
}

TEST_F(CoreManagerTest, ARequestWhileRunningIsAppendedThenSorted) {
  Request(CHARGE_KIND_MAP);
  ASSERT_TRUE(WaitStarted({CHARGE_KIND_MAP}));
  Request(CHARGE_KIND_PROBE);
  ASSERT_TRUE(Pump([&] { return manager->ReservedKinds().size() == 2; }));
  EXPECT_EQ(Kinds({CHARGE_KIND_MAP, CHARGE_KIND_PROBE}), manager->ReservedKinds());
  EXPECT_EQ(0x3u, manager->ReconfirmChargeReserve());
  script.Release(CHARGE_KIND_MAP);
  ASSERT_TRUE(WaitStarted({CHARGE_KIND_MAP, CHARGE_KIND_PROBE}));
  script.Release(CHARGE_KIND_PROBE);
  ASSERT_TRUE(WaitIdle());
}

TEST_F(CoreManagerTest, ReconfirmAnswersTheReservedKinds) {
  EXPECT_EQ(0u, manager->ReconfirmChargeReserve());
  Request(CHARGE_KIND_MAP);
  Request(CHARGE_KIND_MUSIC);
  ASSERT_TRUE(Pump([&] { return manager->ReservedKinds().size() == 2; }));
  EXPECT_EQ(CHARGE_KIND_MAP, manager->ActiveKind());
  EXPECT_EQ(0x12u, manager->ReconfirmChargeReserve());
  EXPECT_TRUE(log.Contains("CCoreManager::ReconfirmChargeReserve チャージ予約確認 [0x00000012]"));
}

TEST_F(CoreManagerTest, TrafficTwiceGivesOneReservationAndOneRepeat) {
  script.Release(CHARGE_KIND_TIDEWHEEL);
  Request(CHARGE_KIND_TIDEWHEEL);
  Request(CHARGE_KIND_TIDEWHEEL);
  ASSERT_TRUE(Pump([&] { return own.Count(Msg(kMsgRequestCharge)) == 2; }));
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(Kinds({CHARGE_KIND_TIDEWHEEL}), manager->RepeatKinds());
  EXPECT_TRUE(manager->IsRepeatTimerRunning());
  const std::string text = log.Text();
  EXPECT_NE(std::string::npos, text.find("CCoreManager::AddCharge 重複登録"));
  EXPECT_NE(std::string::npos, text.find("CCoreManager::AddRepeatCharge 重複登録"));
  EXPECT_EQ(Kinds({CHARGE_KIND_TIDEWHEEL}), Started());
}

TEST_F(CoreManagerTest, TrafficIsReservedAgainAfterTwentyMinutes) {
  Request(CHARGE_KIND_TIDEWHEEL);
  ASSERT_TRUE(WaitStarted({CHARGE_KIND_TIDEWHEEL}));
  script.Release(CHARGE_KIND_TIDEWHEEL);
  ASSERT_TRUE(WaitIdle());
  const int made = script.Created(CHARGE_KIND_TIDEWHEEL);

  now += 1200000;  // exactly the interval: not yet
  Tick();
  EXPECT_TRUE(Idle());
  now += 1;
  Tick();
  ASSERT_TRUE(Pump([&] { return Started().size() == 2; }));
  EXPECT_EQ(made + 1, script.Created(CHARGE_KIND_TIDEWHEEL));

  // The gate is still open: the second run ends at once.
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(Kinds({CHARGE_KIND_TIDEWHEEL}), manager->RepeatKinds());
}

TEST_F(CoreManagerTest, ADueRepeatWhileTrafficIsReservedOnlyRefreshesTheTime) {
  Request(CHARGE_KIND_MAP);
  Request(CHARGE_KIND_TIDEWHEEL);
  ASSERT_TRUE(Pump([&] { return manager->ReservedKinds().size() == 2; }));
  const int made = script.Created(CHARGE_KIND_TIDEWHEEL);
  now += 1200001;
  Tick();
  EXPECT_EQ(Kinds({CHARGE_KIND_MAP, CHARGE_KIND_TIDEWHEEL}), manager->ReservedKinds());
  EXPECT_EQ(made, script.Created(CHARGE_KIND_TIDEWHEEL));
  // Refreshed: one more interval from now is not due.
  now += 1200000;
  Tick();
  EXPECT_EQ(made, script.Created(CHARGE_KIND_TIDEWHEEL));
}

TEST_F(CoreManagerTest, AbortOfTrafficWithNothingReservedDropsTheRepeat) {
  script.Release(CHARGE_KIND_TIDEWHEEL);
  Request(CHARGE_KIND_TIDEWHEEL);
  ASSERT_TRUE(Pump([&] { return Started().size() == 1 && Idle(); }));
  ASSERT_TRUE(manager->IsRepeatTimerRunning());
  Post(kMsgRequestAbort, CHARGE_KIND_TIDEWHEEL);
  ASSERT_TRUE(Pump([&] { return manager->RepeatKinds().empty(); }));
  EXPECT_FALSE(manager->IsRepeatTimerRunning());
  EXPECT_TRUE(log.Contains("CCoreManager::AbortCharge 予約リストなし"));
  now += 1200001;
  Tick();
  EXPECT_TRUE(Idle());
}

TEST_F(CoreManagerTest, AbortRemovesAWaitingReservationAndStopsTheRunningOne) {
  Request(CHARGE_KIND_MAP);
  Request(CHARGE_KIND_WEATHER);
  ASSERT_TRUE(WaitStarted({CHARGE_KIND_MAP}));
  Post(kMsgRequestAbort, CHARGE_KIND_WEATHER);
  ASSERT_TRUE(Pump([&] { return manager->ReservedKinds().size() == 1; }));
  Post(kMsgRequestAbort, CHARGE_KIND_MAP);
  ASSERT_TRUE(Pump([&] { return Idle() && ErrorWords().size() == 1; }));
  EXPECT_EQ(std::vector<WPARAM>({0x0200FF00}), ErrorWords());
  EXPECT_EQ(Kinds({CHARGE_KIND_MAP}), Started());
}

TEST_F(CoreManagerTest, NotRegisteredDropsAllButMusic) {
  script.SetCode(CHARGE_KIND_MAP, 0x200203);
  Request(CHARGE_KIND_MAP);
  ASSERT_TRUE(WaitStarted({CHARGE_KIND_MAP}));
  Request(CHARGE_KIND_PROBE);
  Request(CHARGE_KIND_WEATHER);
  Request(CHARGE_KIND_TIDEWHEEL);
  Request(CHARGE_KIND_MUSIC);
  ASSERT_TRUE(Pump([&] { return manager->ReservedKinds().size() == 5; }));
  script.Release(CHARGE_KIND_MAP);
  ASSERT_TRUE(WaitStarted({CHARGE_KIND_MAP, CHARGE_KIND_MUSIC}));
  EXPECT_EQ(Kinds({CHARGE_KIND_MUSIC}), manager->ReservedKinds());
  EXPECT_TRUE(manager->RepeatKinds().empty());
  EXPECT_TRUE(log.Contains("エラー0x02200203 未登録終了のため、チャージ予約削除"));
}

TEST_F(CoreManagerTest, NoCardDropsEveryReservation) {
  script.SetCode(CHARGE_KIND_PROBE, CHARGE_RESULT_NOSD);
  Request(CHARGE_KIND_PROBE);
  ASSERT_TRUE(WaitStarted({CHARGE_KIND_PROBE}));
  Request(CHARGE_KIND_MUSIC);
  Request(CHARGE_KIND_TIDEWHEEL);
  ASSERT_TRUE(Pump([&] { return manager->ReservedKinds().size() == 3; }));
  script.Release(CHARGE_KIND_PROBE);
  ASSERT_TRUE(WaitIdle());
  EXPECT_TRUE(manager->RepeatKinds().empty());
  EXPECT_FALSE(manager->IsRepeatTimerRunning());
  EXPECT_EQ(Kinds({CHARGE_KIND_PROBE}), Started());
}

// A word left by an earlier charge must not keep a finished charge at the
// head of the list.
TEST_F(CoreManagerTest, AStaleWordLeavesNoFinishedChargeBehind) {
  script.SetCode(CHARGE_KIND_MAP, 0x200203);
  script.SetSilent(CHARGE_KIND_MUSIC);
  Request(CHARGE_KIND_MAP);
  Request(CHARGE_KIND_MUSIC);
  script.Release(CHARGE_KIND_MAP);
  script.Release(CHARGE_KIND_MUSIC);
  ASSERT_TRUE(Pump([&] { return Started().size() == 2 && Idle(); }));
  Request(CHARGE_KIND_WEATHER);
  ASSERT_TRUE(WaitStarted({CHARGE_KIND_MAP, CHARGE_KIND_MUSIC, CHARGE_KIND_WEATHER}));
}

TEST_F(CoreManagerTest, AChargeThatCannotStartDoesNotJamTheList) {
  script.SetStartFails(CHARGE_KIND_MAP);
  Request(CHARGE_KIND_MAP);
  Request(CHARGE_KIND_WEATHER);
  ASSERT_TRUE(WaitStarted({CHARGE_KIND_WEATHER}));
  EXPECT_TRUE(log.Contains("CCoreManager::StartCharge チャージ開始失敗"));
  EXPECT_EQ(Kinds({CHARGE_KIND_WEATHER}), manager->ReservedKinds());
  Post(kMsgRequestEnd, 0);
  ASSERT_TRUE(Pump([&] { return Closes() == 1; }));
}

TEST_F(CoreManagerTest, AChargeThatCannotStartDoesNotKeepTheCoreFromClosing) {
  script.SetStartFails(CHARGE_KIND_MAP);
  Request(CHARGE_KIND_MAP);
  ASSERT_TRUE(Pump([&] { return own.Count(Msg(kMsgRequestCharge)) == 1; }));
  EXPECT_TRUE(Idle());
  Post(kMsgRequestEnd, 0);
  ASSERT_TRUE(Pump([&] { return Closes() == 1; }));
}

TEST_F(CoreManagerTest, KindsWithoutAChargeAreRefused) {
  script.SetMissing(CHARGE_KIND_MAP);
  Request(CHARGE_KIND_MAP);
  Request(3);
  ASSERT_TRUE(Pump([&] { return own.Count(Msg(kMsgRequestCharge)) == 2; }));
  EXPECT_TRUE(Idle());
  const std::string text = log.Text();
  EXPECT_NE(std::string::npos, text.find("CCoreManager::AddCharge 予約オブジェクト作成失敗"));
  EXPECT_NE(std::string::npos, text.find("CCoreManager::OnRequestCharge 想定外のパラメータ"));
}

TEST_F(CoreManagerTest, EndWhileIdleClosesAtOnce) {
  Post(kMsgRequestEnd, 0);
  ASSERT_TRUE(Pump([&] { return Closes() == 1; }));
  EXPECT_TRUE(manager->IsEndRequested());
}

TEST_F(CoreManagerTest, EndWhileRunningAbortsAndClosesAfterTheFinish) {
  Request(CHARGE_KIND_MAP);
  Request(CHARGE_KIND_MUSIC);
  Request(CHARGE_KIND_TIDEWHEEL);
  ASSERT_TRUE(WaitStarted({CHARGE_KIND_MAP}));
  ASSERT_TRUE(Pump([&] { return manager->ReservedKinds().size() == 3; }));
  Post(kMsgRequestEnd, 0);
  ASSERT_TRUE(Pump([&] { return Closes() == 1; }));
  EXPECT_TRUE(Idle());
  EXPECT_TRUE(manager->RepeatKinds().empty());
  EXPECT_EQ(std::vector<WPARAM>({0x0200FF00}), ErrorWords());
  EXPECT_EQ(Kinds({CHARGE_KIND_MAP}), Started());
}

// The close that an end posted is withdrawn by a request that follows it.
TEST_F(CoreManagerTest, ARequestAfterAnEndWhileIdleIsNotDropped) {
  manager->EndCharge();
  Request(CHARGE_KIND_WEATHER);
  ASSERT_TRUE(WaitStarted({CHARGE_KIND_WEATHER}));
  EXPECT_FALSE(manager->IsEndRequested());
  script.Release(CHARGE_KIND_WEATHER);
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(0u, Closes());
}

TEST_F(CoreManagerTest, ARequestAfterAnEndWhileRunningRunsNext) {
  Request(CHARGE_KIND_MAP);
  ASSERT_TRUE(WaitStarted({CHARGE_KIND_MAP}));
  Post(kMsgRequestEnd, 0);
  Request(CHARGE_KIND_WEATHER);
  ASSERT_TRUE(WaitStarted({CHARGE_KIND_MAP, CHARGE_KIND_WEATHER}));
  EXPECT_EQ(0u, Closes());
  Post(kMsgRequestEnd, 0);
  ASSERT_TRUE(Pump([&] { return Closes() == 1; }));
}

// An abort closes the worker's handle before the finish arrives; the
// finish's handle value may by then name another object, which must not
// be waited on.
TEST_F(CoreManagerTest, AFinishAfterAnAbortWaitsOnNoStaleHandle) {
  Request(CHARGE_KIND_MAP);
  ASSERT_TRUE(WaitStarted({CHARGE_KIND_MAP}));
  manager->AbortCharge(CHARGE_KIND_MAP);
  MSG finish;
  ASSERT_TRUE(
      PeekMessageA(&finish, own.Get(), Msg(kMsgNotifyFinish), Msg(kMsgNotifyFinish), PM_NOREMOVE));
  ASSERT_NE(0u, finish.wParam);
  std::vector<CHandle> events;
  HANDLE reused = nullptr;  // not owned
  for (int i = 0; i < 64 && !reused; ++i) {
    events.emplace_back(CreateEventA(nullptr, FALSE, TRUE, nullptr));
    const HANDLE e = events.back().Get();
    if (reinterpret_cast<WPARAM>(e) == finish.wParam) reused = e;
  }
  ASSERT_TRUE(WaitIdle());
  if (reused) {
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(reused, 0));
  }
  if (!reused) GTEST_SKIP() << "the handle value was not reused";
}

TEST_F(CoreManagerTest, AFinishOfAKindThatIsNotRunningChangesNothing) {
  script.SetStubborn(CHARGE_KIND_MAP);
  Request(CHARGE_KIND_MAP);
  Request(CHARGE_KIND_MUSIC);
  ASSERT_TRUE(WaitStarted({CHARGE_KIND_MAP}));
  Post(kMsgNotifyFinish, CHARGE_KIND_MUSIC);
  ASSERT_TRUE(Pump([&] { return own.Count(Msg(kMsgNotifyFinish)) == 1; }));
  EXPECT_EQ(Kinds({CHARGE_KIND_MAP, CHARGE_KIND_MUSIC}), manager->ReservedKinds());
  // Nor does it close the core under the charge that is still running.
  manager->EndCharge();
  Post(kMsgNotifyFinish, CHARGE_KIND_MUSIC);
  ASSERT_TRUE(Pump([&] { return own.Count(Msg(kMsgNotifyFinish)) == 2; }));
  MSG pending;
  EXPECT_FALSE(PeekMessageA(&pending, own.Get(), WM_CLOSE, WM_CLOSE, PM_NOREMOVE));
  script.Release(CHARGE_KIND_MAP);
  ASSERT_TRUE(Pump([&] { return Closes() == 1; }));
  EXPECT_TRUE(Idle());
}

TEST_F(CoreManagerTest, ReportsArePassedOnUnchanged) {
  const char* const through[] = {kMsgNotifyProgress,   kMsgNotifyError,    kMsgMapLicense,
                                 kMsgMapDownload,      kMsgMapVerify,      kMsgNoSendProbe,
                                 kMsgMapProgressStart, kMsgMapProgressEnd, kMsgMapProgress};
  LPARAM l = 100;
  for (const char* name : through) Post(name, l++, 7);
  ASSERT_TRUE(Pump([&] { return notify.All().size() == 9; }));
  l = 100;
  for (size_t i = 0; i < 9; ++i) {
    EXPECT_EQ(Msg(through[i]), notify.All()[i].id) << through[i];
    EXPECT_EQ(7u, notify.All()[i].wparam);
    EXPECT_EQ(l++, notify.All()[i].lparam);
  }
  EXPECT_EQ(7u, manager->GetLastErrorWord());
  // Finishes stay inside the core.
  Post(kMsgNotifyFinish, CHARGE_KIND_MAP);
  Post(kMsgRequestEnd, 0);
  ASSERT_TRUE(Pump([&] { return Closes() == 1; }));
  EXPECT_EQ(0u, notify.Count(Msg(kMsgNotifyFinish)));
}

TEST_F(CoreManagerTest, ReConstTakesTheNewDriveAndWindow) {
  EXPECT_EQ(1, manager->OnReConstCoreManager('C', notify.Get()));
  CRecorderWindow other;
  EXPECT_EQ(0, manager->OnReConstCoreManager('F', other.Get()));
  EXPECT_EQ('F', manager->GetDriveLetter());
  EXPECT_EQ(other.Get(), manager->GetNotifyWindow());
  EXPECT_TRUE(log.Contains("情報再設定時のドライブ変更 C -> F"));
  Post(kMsgNotifyProgress, CHARGE_KIND_MAP, 5);
  ASSERT_TRUE(Pump([&] { return other.All().size() == 1; }));
  EXPECT_EQ(0u, notify.All().size());
}

}  // namespace
