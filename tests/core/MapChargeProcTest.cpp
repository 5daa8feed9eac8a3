// Whole runs of the map charge on its worker, as the charge manager starts
// them: the phases and percentages the main program sees, the questions
// answered through the named events, aborts during the card scan and during
// a question, and the single result every run reports with its history.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "ChargeKind.h"
#include "CompleteNotifyFile.h"
#include "CoreMessages.h"
#include "CoreTestSupport.h"
#include "Folders.h"
#include "MapChargeRunSupport.h"
#include "MapChargeTestSupport.h"
#include "MapDataTestSupport.h"
#include "OstrovelleLite/PcLinkFile.h"
#include "TestSupport.h"
#include "map/MapCharge.h"

namespace {

using maptest::CMapChargeFixture;
using maptest::No;
using maptest::Yes;

constexpr CMapQuestions::Question kDownload = CMapQuestions::kQuestionDownload;
constexpr CMapQuestions::Question kProbe = CMapQuestions::kQuestionProbe;

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
    ASSERT_TRUE(maptest::DefaultCard().WriteCard(card.Letter(), true));
    charge.SetTargetWindow(window.Get());
    charge.SetStore(&store);
    maptest::SaveSpeedOfLine("5000000");
    // A card big enough for map data, whatever the disk under the test card.
    maptest::SetCardSpace({true, 8000000000ull, 1000000000ull});
    charge.CardUpkeep().SetDiskSpaceSource(&maptest::TestDiskSpace);
  }
  // The data sets of kProgramOnly and kMapUpdate, served by the stand-in.
  void ServeDataSets() {
    ASSERT_TRUE(mapdata::Serve(standin, "/mapdata/05/00/2.000002/DATA.CNF", ProgramImage()));
    ASSERT_TRUE(mapdata::Serve(standin, "/mapdata/00/00/1.000004/DATA.CNF", MapImage()));
  }
  static mapdata::CDataImage ProgramImage() {
    return mapdata::CDataImage("PC\\PROGRAM\\").File("APP.BIN", mapdata::Pattern(10000), 4096);
  }
  static mapdata::CDataImage MapImage() {
    return mapdata::CDataImage("NAVIDATA\\").File("MAP.DAT", mapdata::Pattern(20000), 8192);
  }
  // What the card holds afterwards, against the image.
  bool OnCard(const mapdata::CDataImage& image) const {
    for (const auto& file : image.CardFiles()) {
      if (ovtest::ReadFileOrEmpty(card.Path(file.first)) != file.second) return false;
    }
    return true;
  }
  uint32_t LinkVersion(uint32_t data_id) const {
    return CPcLinkFile(CPcLinkFile::kLinkFile, card.Letter()).GetVersion(data_id);
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
  ServeDataSets();
  ASSERT_TRUE(Run());
  EXPECT_EQ(Result(), Word(0));
  EXPECT_EQ(window.Count(coretest::Msg(kMsgMapLicense)), 0u);
  const std::vector<WPARAM> percents = Values(kMsgNotifyProgress);
  ASSERT_GE(percents.size(), 8u);
  EXPECT_EQ(std::vector<WPARAM>(percents.begin(), percents.begin() + 6),
            (std::vector<WPARAM>{0, 0, 3, 5, 8, 10}));
  EXPECT_EQ(percents.back(), 100u);
  const std::vector<int> phases = Phases();
  EXPECT_EQ(std::vector<int>(phases.begin(), phases.begin() + 5),
            (std::vector<int>{3, -3, 1, 1, -1}));
  EXPECT_EQ(phases.back(), -2);
  EXPECT_EQ(window.Count(coretest::Msg(kMsgRequestAbort)), 0u);
  EXPECT_TRUE(OnCard(ProgramImage()));
  EXPECT_EQ(LinkVersion(0x10000001), 0x02000002u);
  // The history holds the data set that reached the card.
  ASSERT_EQ(store.card_history.size(), 1u);
  EXPECT_EQ(store.card_history[0].stage, 2u);
  EXPECT_EQ(store.card_history[0].id, 0x10000001u);
}

TEST_F(MapChargeProcTest, AConfirmedMapUpdateDropsTheStaleReservations) {
  Serve(kMapUpdate);
  ServeDataSets();
  ASSERT_TRUE(Run({Yes(kDownload)}));
  EXPECT_EQ(Result(), Word(0));
  EXPECT_EQ(Values(kMsgMapLicense), (std::vector<WPARAM>{3}));
  EXPECT_EQ(Details(kMsgRequestAbort), (std::vector<LPARAM>{4, 8, 16}));
  EXPECT_TRUE(OnCard(MapImage()));
  EXPECT_EQ(LinkVersion(0x30010001), 0x01000004u);
  // With a map update, records of other kinds come only with an order
  // value; the program has none.
  EXPECT_FALSE(OnCard(ProgramImage()));
}

TEST_F(MapChargeProcTest, DecliningTheUpdateKeepsTheReservations) {
  Serve(kMapUpdate);
  ServeDataSets();
  ASSERT_TRUE(Run({No(kDownload)}));
  EXPECT_EQ(Result(), Word(0));
  EXPECT_EQ(window.Count(coretest::Msg(kMsgRequestAbort)), 0u);
  EXPECT_TRUE(OnCard(ProgramImage()));
  EXPECT_FALSE(OnCard(MapImage()));
  EXPECT_EQ(LinkVersion(0x30010001), 0x01000003u);
}

TEST_F(MapChargeProcTest, AMapAlreadyOnTheCardIsNoUpdate) {
  Serve(kMapUpdate);
  ServeDataSets();
  ASSERT_TRUE(Run({Yes(kDownload)}));
  ASSERT_EQ(Result(), Word(0));
  // The unit has not taken the map over yet: the next run finds it on the
  // card and on the PC, asks nothing and fetches no piece.
  window.Clear();
  const size_t requests = standin.Requests().size();
  CMapCharge again;
  again.SetDriveLetter(card.Letter());
  again.SetTargetWindow(window.Get());
  again.SetStore(&store);
  again.SetPhasePause(0);
  again.CardUpkeep().SetDiskSpaceSource(&maptest::TestDiskSpace);
  ASSERT_TRUE(again.Start());
  ASSERT_TRUE(maptest::PumpAnswering(window, [this] { return Finished(); }, {}));
  EXPECT_EQ(Result(), Word(0));
  EXPECT_EQ(window.Count(coretest::Msg(kMsgMapLicense)), 0u);
  EXPECT_EQ(window.Count(coretest::Msg(kMsgRequestAbort)), 0u);
  const std::vector<ovtest::StandInRequest> all = standin.Requests();
  for (size_t i = requests; i < all.size(); ++i) {
    EXPECT_EQ(all[i].path.find("MAP.DAT."), std::string::npos) << all[i].path;
  }
  EXPECT_TRUE(OnCard(MapImage()));
}

TEST_F(MapChargeProcTest, NoticesTheServerRefusesDoNotEndTheRun) {
  Serve(kProgramOnly);
  ServeDataSets();
  ASSERT_TRUE(standin.Set("/pcapp/ReceiverLiteAPI", "status=500"));
  ASSERT_TRUE(Run());
  EXPECT_EQ(Result(), Word(0));
  EXPECT_TRUE(log.Contains("CMapCharge::_Proc - 完了通知失敗"));
  EXPECT_TRUE(OnCard(ProgramImage()));
  // Kept for the next run.
  CCompleteNotifyFile notices;
  CompleteNotifyMap left;
  notices.GetDownloadNotifyData(&left);
  EXPECT_EQ(left.size(), 1u);
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
