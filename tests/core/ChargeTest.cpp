// The charge base class: the start test, the reports, the worker's life,
// the history record.
#include "ChargeKind.h"
#include "CoreMessages.h"
#include "CoreTestSupport.h"
#include "Handle.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

namespace {

using coretest::CFakeStore;
using coretest::CRecorderWindow;
using coretest::CTestCharge;
using coretest::Msg;
using coretest::PumpUntil;

class ChargeTest : public ::testing::Test {
 protected:
  // A charge on drive C (always there) reporting to the recorder.
  using TestChargePtr = std::unique_ptr<CTestCharge, ChargeDeleter>;

  TestChargePtr Make(uint32_t kind, CTestCharge::Work work, char drive = 'C') {
    TestChargePtr charge(new CTestCharge(kind, std::move(work)));
    charge->SetDriveLetter(drive);
    charge->SetTargetWindow(window.Get());
    charge->SetStore(&store);
    return charge;
  }
  bool WaitForFinish(size_t count = 1) {
    return PumpUntil([&] { return window.Count(finish) >= count; }, 10000);
  }

  CRecorderWindow window;
  CFakeStore store;
  const UINT error = Msg(kMsgNotifyError);
  const UINT finish = Msg(kMsgNotifyFinish);
  const UINT progress = Msg(kMsgNotifyProgress);
};

uint32_t Succeed(CTestCharge& charge) {
  charge._NotifyError(0, 0);
  return 0;
}

TEST_F(ChargeTest, NoCardPostsErrorAndFinishAndStartsNoThread) {
  const char missing = coretest::MissingDriveLetter();
  ASSERT_NE(0, missing);
  auto charge = Make(CHARGE_KIND_MAP, Succeed, missing);
  ASSERT_TRUE(charge->Start());
  EXPECT_EQ(nullptr, charge->GetThreadHandle());
  ASSERT_TRUE(WaitForFinish());
  ASSERT_EQ(2u, window.All().size());
  EXPECT_EQ(error, window.All()[0].id);
  EXPECT_EQ(0x0200FF06u, window.All()[0].wparam);
  EXPECT_EQ(0, window.All()[0].lparam);
  EXPECT_EQ(finish, window.All()[1].id);
  EXPECT_EQ(0u, window.All()[1].wparam);
  EXPECT_EQ(CHARGE_KIND_MAP, static_cast<uint32_t>(window.All()[1].lparam));
}

struct SwitchCase {
  const char* name;
  uint32_t kind;
  bool loadable;
  int value;
  bool runs;
};

void PrintTo(const SwitchCase& c, std::ostream* os) { *os << c.name; }

class ChargeSwitch : public ChargeTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(ChargeSwitch, DecidesWhetherTheWorkRuns) {
  const SwitchCase& c = GetParam();
  store.loadable = c.loadable;
  store.switches[c.kind] = c.value;
  std::atomic<int> runs{0};
  auto charge = Make(c.kind, [&](CTestCharge& self) {
    ++runs;
    return Succeed(self);
  });
  ASSERT_TRUE(charge->Start());
  ASSERT_TRUE(WaitForFinish());
  ASSERT_EQ(2u, window.All().size());
  EXPECT_EQ(c.runs ? 1 : 0, runs.load());
  const uint32_t word = static_cast<uint32_t>(window.All()[0].wparam);
  EXPECT_EQ(c.runs ? (c.kind << 24) : ((c.kind << 24) | 0xFF01u), word);
  if (!c.runs) {
    EXPECT_EQ(0u, window.All()[1].wparam);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Settings, ChargeSwitch,
    ::testing::Values(SwitchCase{"TrafficSwitchedOff", CHARGE_KIND_TIDEWHEEL, true, 0, false},
                      SwitchCase{"TrafficOn", CHARGE_KIND_TIDEWHEEL, true, 1, true},
                      SwitchCase{"ProbeOff", CHARGE_KIND_PROBE, true, 0, false},
                      SwitchCase{"MapUnloadableRuns", CHARGE_KIND_MAP, false, 0, true},
                      SwitchCase{"WeatherAnyNonZero", CHARGE_KIND_WEATHER, true, 7, true},
                      SwitchCase{"MusicChargeType2", CHARGE_KIND_MUSIC, true, 2, true},
                      SwitchCase{"MusicChargeType1", CHARGE_KIND_MUSIC, true, 1, false},
                      SwitchCase{"MusicChargeType0", CHARGE_KIND_MUSIC, true, 0, false},
                      SwitchCase{"MusicUnloadableRuns", CHARGE_KIND_MUSIC, false, 0, true}),
    ovtest::CaseName());

TEST_F(ChargeTest, FinishCarriesTheWorkersHandleAndTheDeviceNumberIsRead) {
  store.device_no = "0123456789ABCDEFGHIJ";
  auto charge = Make(CHARGE_KIND_WEATHER, Succeed);
  ASSERT_TRUE(charge->Start());
  const HANDLE thread = charge->GetThreadHandle();
  ASSERT_NE(nullptr, thread);
  EXPECT_EQ("0123456789ABCDEF", charge->GetDeviceNo());
  ASSERT_TRUE(WaitForFinish());
  const auto finishes = window.Of(finish);
  EXPECT_EQ(reinterpret_cast<WPARAM>(thread), finishes[0].wparam);
  EXPECT_EQ(CHARGE_KIND_WEATHER, static_cast<uint32_t>(finishes[0].lparam));
  EXPECT_EQ(0x08000000u, window.Of(error)[0].wparam);
}

TEST_F(ChargeTest, RestartRunsTheWorkTwiceNotMore) {
  std::atomic<int> runs{0};
  auto charge = Make(CHARGE_KIND_MAP, [&](CTestCharge& self) {
    ++runs;
    self._SetRestart();
    return Succeed(self);
  });
  ASSERT_TRUE(charge->Start());
  ASSERT_TRUE(WaitForFinish());
  EXPECT_EQ(2, runs.load());
}

struct ThrowCase {
  const char* name;
  CTestCharge::Work work;
  const char* logged;
};

void PrintTo(const ThrowCase& c, std::ostream* os) { *os << c.name; }

class ChargeThrows : public ChargeTest, public ::testing::WithParamInterface<ThrowCase> {};

// Whatever the work throws, the manager still hears of a failed end.
TEST_P(ChargeThrows, PostsAFailureAndTheFinishAndLogsOneLine) {
  const ThrowCase& c = GetParam();
  ovtest::CLogCapture log;
  auto charge = Make(CHARGE_KIND_WEATHER, c.work);
  ASSERT_TRUE(charge->Start());
  const HANDLE thread = charge->GetThreadHandle();
  ASSERT_TRUE(WaitForFinish());
  ASSERT_EQ(1u, window.Of(error).size());
  EXPECT_EQ(0x0800FFFFu, window.Of(error)[0].wparam);
  const auto finishes = window.Of(finish);
  EXPECT_EQ(reinterpret_cast<WPARAM>(thread), finishes[0].wparam);
  EXPECT_EQ(CHARGE_KIND_WEATHER, static_cast<uint32_t>(finishes[0].lparam));
  EXPECT_TRUE(log.Contains(c.logged));
}

INSTANTIATE_TEST_SUITE_P(
    Barrier, ChargeThrows,
    ::testing::Values(ThrowCase{"StandardException",
                                [](CTestCharge&) -> uint32_t {
                                  throw std::runtime_error("broken reply");
                                },
                                "チャージ処理の例外 CHARGTYPE:00000008 broken reply"},
                      ThrowCase{"AnythingElse", [](CTestCharge&) -> uint32_t { throw 42; },
                                "チャージ処理の例外 CHARGTYPE:00000008 不明な例外"}),
    ovtest::CaseName());

TEST_F(ChargeTest, StartWhileTheWorkerIsHeldFails) {
  // Declared before the charge, so it outlives the worker that waits on it.
  const CHandle gate(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  const HANDLE waited = gate.Get();
  auto charge = Make(CHARGE_KIND_MAP, [waited](CTestCharge& self) {
    WaitForSingleObject(waited, 10000);
    return Succeed(self);
  });
  ASSERT_TRUE(charge->Start());
  EXPECT_FALSE(charge->Start());
  SetEvent(gate.Get());
  ASSERT_TRUE(WaitForFinish());
}

TEST_F(ChargeTest, AbortStopsTheWorkerAndReleasesItsHandle) {
  auto charge = Make(CHARGE_KIND_MAP, [](CTestCharge& self) {
    self._NotifyProgress(10);
    WaitForSingleObject(self.AbortEvent(), 10000);
    const uint32_t code = self._IsAbort() ? uint32_t{CHARGE_RESULT_ABORT} : 0u;
    self._NotifyError(code, 0);
    return code;
  });
  ASSERT_TRUE(charge->Start());
  ASSERT_TRUE(PumpUntil([&] { return window.Count(progress) == 1; }, 10000));
  EXPECT_TRUE(charge->Abort(1000));
  EXPECT_EQ(nullptr, charge->GetThreadHandle());
  ASSERT_TRUE(WaitForFinish());
  EXPECT_EQ(0x0200FF00u, window.Of(error)[0].wparam);
  // The event is reset by the next start, so the charge can run again.
  ASSERT_TRUE(charge->Start());
  EXPECT_FALSE(charge->_IsAbort());
  EXPECT_TRUE(charge->Abort(1000));
  ASSERT_TRUE(WaitForFinish(2));
}

TEST_F(ChargeTest, AbortWithoutAWorkerIsRefusedAndLogged) {
  ovtest::CLogCapture log;
  auto charge = Make(CHARGE_KIND_MAP, Succeed);
  EXPECT_FALSE(charge->Abort(1000));
  EXPECT_TRUE(log.Contains("処理中断時のスレッドなし."));
}

TEST_F(ChargeTest, DeletionStopsAWorkerThatIgnoresTheAbort) {
  const CHandle never(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  const CHandle started(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  auto charge = Make(CHARGE_KIND_MAP, [&](CTestCharge&) {
    SetEvent(started.Get());
    WaitForSingleObject(never.Get(), INFINITE);
    return 0u;
  });
  ASSERT_TRUE(charge->Start());
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(started.Get(), 10000));
  CHandle thread;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), charge->GetThreadHandle(), GetCurrentProcess(),
                              thread.Put(), SYNCHRONIZE, FALSE, 0));
  charge.reset();
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.Get(), 0));
}

struct HistoryCase {
  const char* name;
  uint32_t kind;
  uint32_t stage;
  uint32_t code;
  bool card_record;
  bool probe_record;
};

void PrintTo(const HistoryCase& c, std::ostream* os) { *os << c.name; }

class ChargeHistory : public ChargeTest, public ::testing::WithParamInterface<HistoryCase> {};

TEST_P(ChargeHistory, WritesOnlyWhatCounts) {
  const HistoryCase& c = GetParam();
  store.device_no = "DEV01";
  bool saved = false;
  auto charge = Make(c.kind, [&](CTestCharge& self) {
    saved = self._SaveHistory(CTestCharge::Stage(c.stage), c.code, 0x01000002, 0x03000004, 0);
    return 0u;
  });
  ASSERT_TRUE(charge->Start());
  ASSERT_TRUE(WaitForFinish());
  EXPECT_TRUE(saved);
  ASSERT_EQ(c.card_record ? 1u : 0u, store.card_history.size());
  ASSERT_EQ(c.probe_record ? 1u : 0u, store.probe_log.size());
  const uint32_t word = (c.kind << 24) | c.code;
  if (c.card_record) {
    const ChargeHistoryRecord& r = store.card_history[0];
    EXPECT_EQ(c.kind, r.id);
    EXPECT_EQ(c.stage, r.stage);
    EXPECT_EQ(word, r.result);
    EXPECT_EQ(0x01000002u, r.data_version);
    EXPECT_EQ(0x03000004u, r.map_version);
    EXPECT_NE(0, r.time.wYear);
  }
  if (c.probe_record) {
    EXPECT_EQ("DEV01", store.probe_log[0].first);
    EXPECT_EQ(c.stage, store.probe_log[0].second.stage);
    EXPECT_EQ(word, store.probe_log[0].second.result);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Stages, ChargeHistory,
    ::testing::Values(
        HistoryCase{"MapStartNotRecorded", CHARGE_KIND_MAP, 1, 0, false, false},
        HistoryCase{"TrafficStartNotRecorded", CHARGE_KIND_TIDEWHEEL, 1, 0, false, false},
        HistoryCase{"ProbeStartNotRecorded", CHARGE_KIND_PROBE, 1, 0, false, false},
        HistoryCase{"MusicStartRecorded", CHARGE_KIND_MUSIC, 1, 0, true, false},
        HistoryCase{"MapWritten", CHARGE_KIND_MAP, 2, 0, true, false},
        HistoryCase{"WeatherFailed", CHARGE_KIND_WEATHER, 4, 0x30000A, true, false},
        HistoryCase{"SkipNeverRecorded", CHARGE_KIND_MUSIC, 2, 0xFF01, false, false},
        HistoryCase{"NoDataNeverRecorded", CHARGE_KIND_MAP, 2, 0xFF02, false, false},
        HistoryCase{"ProbeToItsLog", CHARGE_KIND_PROBE, 0, 0, false, true},
        HistoryCase{"ProbeAbortedToItsLog", CHARGE_KIND_PROBE, 3, 0xFF00, false, true},
        HistoryCase{"ProbeStage5NotLogged", CHARGE_KIND_PROBE, 5, 0, false, false}),
    ovtest::CaseName());

TEST_F(ChargeTest, HistoryRecordIdIsTheCallersWhenGiven) {
  auto charge = Make(CHARGE_KIND_TIDEWHEEL, [](CTestCharge& self) {
    self._SaveHistory(CTestCharge::Stage(2), 0, 5, 0, 0x20000001);
    return 0u;
  });
  ASSERT_TRUE(charge->Start());
  ASSERT_TRUE(WaitForFinish());
  ASSERT_EQ(1u, store.card_history.size());
  EXPECT_EQ(0x20000001u, store.card_history[0].id);
}

}  // namespace
