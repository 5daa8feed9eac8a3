// Whole runs of the map charge on its worker, as the charge manager starts
// them: the phases and percentages the main program sees, the questions
// answered through the named events, aborts during the card scan and during
// a question, and the single result every run reports with its history.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "ChargeKind.h"
#include "CoreMessages.h"
#include "CoreTestSupport.h"
#include "Folders.h"
#include "MapChargeRunSupport.h"
#include "MapChargeTestSupport.h"
#include "TestSupport.h"
#include "map/MapCharge.h"

namespace {

using maptest::CMapChargeFixture;
using maptest::No;
using maptest::Yes;

constexpr CMapCharge::Question kDownload = CMapCharge::kQuestionDownload;
constexpr CMapCharge::Question kProbe = CMapCharge::kQuestionProbe;

// The default card's map set is 1.000003 and its program 2.000001.
const std::string kNothingNewer = "00,00,00,1.000003,2011,1000,1,0,0,0,,\r\n";
const std::string kProgramOnly = "00,05,00,2.000002,2012,500,0,0,0,0,,\r\n";
const std::string kMapUpdate =
    "00,00,00,1.000004,2012,1000,1,0,0,0,,\r\n"
    "00,05,00,2.000002,2012,500,0,0,0,0,,\r\n";

class MapChargeProcTest : public CMapChargeFixture {
 protected:
  void SetUp() override {
    CMapChargeFixture::SetUp();
    if (IsSkipped()) return;
    charge.SetTargetWindow(window.Get());
    charge.SetStore(&store);
    maptest::SaveSpeedOfLine("5000000");
  }
  void Serve(const std::string& list) {
    ASSERT_TRUE(standin.Set("/pcapp/DownloadListLiteAPI", "list_hex=" + maptest::Hex(list)));
  }
  bool Finished() { return window.Count(coretest::Msg(kMsgNotifyFinish)) > 0; }
  // Starts the run and answers until it has finished.
  bool Run(const std::vector<maptest::Reply>& replies = {}) {
    return charge.Start() && maptest::PumpAnswering(
                                 window, [this] { return Finished(); }, replies);
  }
  std::vector<WPARAM> Values(const char* message) {
    std::vector<WPARAM> values;
    for (const auto& m : window.Of(coretest::Msg(message))) values.push_back(m.wparam);
    return values;
  }
  std::vector<LPARAM> Details(const char* message) {
    std::vector<LPARAM> values;
    for (const auto& m : window.Of(coretest::Msg(message))) values.push_back(m.lparam);
    return values;
  }
  // Phase starts as +phase, ends as -phase, in the order posted.
  std::vector<int> Phases() {
    const UINT start = coretest::Msg(kMsgMapProgressStart);
    const UINT end = coretest::Msg(kMsgMapProgressEnd);
    std::vector<int> phases;
    for (const coretest::RecordedMessage& m : window.All()) {
      if (m.id == start) phases.push_back(static_cast<int>(m.wparam));
      if (m.id == end) phases.push_back(-static_cast<int>(m.wparam));
    }
    return phases;
  }
  // The one result the run reported.
  WPARAM Result() {
    const std::vector<WPARAM> errors = Values(kMsgNotifyError);
    EXPECT_EQ(errors.size(), 1u);
    return errors.empty() ? 0 : errors.back();
  }
  std::vector<uint32_t> HistoryStages() const {
    std::vector<uint32_t> stages;
    for (const ChargeHistoryRecord& r : store.card_history) stages.push_back(r.stage);
    return stages;
  }

  coretest::CRecorderWindow window;
  coretest::CFakeStore store;
};

WPARAM Word(uint32_t code) { return ChargeErrorWord(CHARGE_KIND_MAP, code); }

TEST_F(MapChargeProcTest, NothingNewerEndsTheDownloadPhase) {
  Serve(kNothingNewer);
  ASSERT_TRUE(Run());
  EXPECT_EQ(Result(), Word(CHARGE_RESULT_NODATA));
  EXPECT_EQ(Values(kMsgNotifyProgress), (std::vector<WPARAM>{0, 0, 3, 5}));
  EXPECT_EQ(Phases(), (std::vector<int>{3, -3, 1, -1}));
  EXPECT_TRUE(store.card_history.empty());
  EXPECT_EQ(window.Count(coretest::Msg(kMsgMapLicense)), 0u);
}

TEST_F(MapChargeProcTest, ASlowLineEndsWithItsCodeAndAFailureRecord) {
  ASSERT_TRUE(standin.Set("/pcapp/TransmissionRateLimitAPI", "limit=9000000"));
  ASSERT_TRUE(Run());
  EXPECT_EQ(Result(), Word(0x10106));
  EXPECT_EQ(Values(kMsgNotifyProgress), (std::vector<WPARAM>{0, 0}));
  EXPECT_EQ(Phases(), (std::vector<int>{3, -3, 1, -1}));
  EXPECT_EQ(HistoryStages(), (std::vector<uint32_t>{4}));
}

TEST_F(MapChargeProcTest, UnmarkedRecordsNeedNoQuestion) {
  Serve(kProgramOnly);
  ASSERT_TRUE(Run());
  EXPECT_EQ(Result(), Word(0));
  EXPECT_EQ(window.Count(coretest::Msg(kMsgMapLicense)), 0u);
  EXPECT_EQ(Values(kMsgNotifyProgress), (std::vector<WPARAM>{0, 0, 3, 5, 8, 10, 55, 100}));
  EXPECT_EQ(Phases(), (std::vector<int>{3, -3, 1, 1, -1, 2, -2}));
  EXPECT_EQ(window.Count(coretest::Msg(kMsgRequestAbort)), 0u);
}

TEST_F(MapChargeProcTest, AConfirmedMapUpdateDropsTheStaleReservations) {
  Serve(kMapUpdate);
  ASSERT_TRUE(Run({Yes(kDownload)}));
  EXPECT_EQ(Result(), Word(0));
  EXPECT_EQ(Values(kMsgMapLicense), (std::vector<WPARAM>{3}));
  EXPECT_EQ(Details(kMsgRequestAbort), (std::vector<LPARAM>{4, 8, 16}));
}

TEST_F(MapChargeProcTest, DecliningTheUpdateKeepsTheReservations) {
  Serve(kMapUpdate);
  ASSERT_TRUE(Run({No(kDownload)}));
  EXPECT_EQ(Result(), Word(0));
  EXPECT_EQ(window.Count(coretest::Msg(kMsgRequestAbort)), 0u);
}

TEST_F(MapChargeProcTest, DecliningTheProbeQuestionEndsWithoutARecord) {
  Serve(kMapUpdate);
  const std::string probe = card.Path("PROBE\\trip1\\ProbeData.dat");
  ASSERT_TRUE(CreateDirectories(GetParentFolder(probe)));
  ASSERT_TRUE(ovtest::WriteFileBytes(probe, "probe"));
  ASSERT_TRUE(Run({Yes(kDownload), No(kProbe)}));
  EXPECT_EQ(Result(), Word(CHARGE_RESULT_SKIP));
  EXPECT_EQ(Values(kMsgNotifyProgress), (std::vector<WPARAM>{0, 0, 3, 5, 8}));
  EXPECT_EQ(Phases(), (std::vector<int>{3, -3, 1, -1}));
  EXPECT_TRUE(store.card_history.empty());
}

TEST_F(MapChargeProcTest, AnAbortDuringAQuestionIsRecordedAsAnAbort) {
  Serve(kMapUpdate);
  ASSERT_TRUE(charge.Start());
  ASSERT_TRUE(coretest::PumpUntil(
      [this] { return window.Count(coretest::Msg(kMsgMapLicense)) > 0; }, 30000));
  charge.Abort(0);
  ASSERT_TRUE(coretest::PumpUntil([this] { return Finished(); }, 30000));
  EXPECT_EQ(Result(), Word(CHARGE_RESULT_ABORT));
  EXPECT_TRUE(log.Contains("CMapCharge::_NotifyDownload - ユーザキャンセル"));
  EXPECT_EQ(Phases(), (std::vector<int>{3, -3, 1, -1}));
  EXPECT_EQ(HistoryStages(), (std::vector<uint32_t>{3}));
}

TEST_F(MapChargeProcTest, AnAbortDuringTheCardScanEndsTheRun) {
  Serve(kProgramOnly);
  const maptest::CHeldChecker checker(standin.Namespace());
  ASSERT_TRUE(charge.Start());
  ASSERT_TRUE(checker.WaitStarted(30000));
  charge.Abort(0);
  ASSERT_TRUE(coretest::PumpUntil([this] { return Finished(); }, 30000));
  EXPECT_EQ(Result(), Word(CHARGE_RESULT_ABORT));
  EXPECT_TRUE(log.Contains("CHKDSK ユーザーキャンセル"));
  EXPECT_EQ(Phases(), (std::vector<int>{3, -3, 1, -1}));
  EXPECT_EQ(HistoryStages(), (std::vector<uint32_t>{3}));
  checker.Release();
  EXPECT_TRUE(checker.WaitDone(30000));
}

}  // namespace
