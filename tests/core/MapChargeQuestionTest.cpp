// The map charge's questions to the main program: the download
// confirmation with its time estimate, the unsent-probe question, answers
// given through the named events (a stale answer never counts), and the
// download list and parameters that each answer leaves.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "ChargeKind.h"
#include "CoreMessages.h"
#include "CoreTestSupport.h"
#include "Folders.h"
#include "Handle.h"
#include "MapChargeRunSupport.h"
#include "MapChargeTestSupport.h"
#include "TestSupport.h"
#include "map/MapCharge.h"

namespace {

using maptest::CMapChargeFixture;
using maptest::No;
using maptest::Yes;

constexpr CMapQuestions::Question kDownload = CMapQuestions::kQuestionDownload;
constexpr CMapQuestions::Question kProbe = CMapQuestions::kQuestionProbe;

// A marked map update (1000 bytes) and an unmarked program (500 bytes),
// both newer than the default card.
const std::string kUpdateList =
    "00,00,00,1.000004,2012,1000,1,0,0,0,,\r\n"
    "00,05,00,2.000002,2012,500,0,0,0,0,,\r\n";

class MapChargeQuestionTest : public CMapChargeFixture {
 protected:
  void SetUp() override {
    CMapChargeFixture::SetUp();
    if (IsSkipped()) return;
    charge.SetTargetWindow(window.Get());
  }
  // The chosen list of the reply, with a line speed of 1200 bit/s.
  void Analyse(const std::string& list) {
    maptest::SaveSpeedOfLine("1200");
    ASSERT_TRUE(standin.Set("/pcapp/TransmissionRateLimitAPI", "limit=1000"));
    ASSERT_TRUE(standin.Set("/pcapp/DownloadListLiteAPI", "list_hex=" + maptest::Hex(list)));
    ASSERT_TRUE(charge.SpeedTest().Run());
    ASSERT_TRUE(charge.DownloadList().Fetch(charge._GetDataFolder() + "DL.LST"));
    ASSERT_TRUE(charge.DownloadList().Analyze());
  }
  void Put(const std::string& relative) {
    const std::string path = card.Path(relative);
    ASSERT_TRUE(CreateDirectories(GetParentFolder(path)));
    ASSERT_TRUE(ovtest::WriteFileBytes(path, "x"));
  }
  void PutProbeData() { Put("PROBE\\trip1\\ProbeData.dat"); }
  std::vector<int> Kinds() {
    std::vector<int> kinds;
    for (const CDownloadListData& r : charge.GetDownloadPlan().GetRecords()) {
      kinds.push_back(r.data_kind);
    }
    return kinds;
  }
  size_t Asked(const char* message) { return window.Count(coretest::Msg(message)); }

  coretest::CRecorderWindow window;
};

struct ProbeCase {
  const char* name;
  std::vector<const char*> files;
  bool found;
};

void PrintTo(const ProbeCase& c, std::ostream* os) { *os << c.name; }

class MapChargeProbeDataTest : public MapChargeQuestionTest,
                               public ::testing::WithParamInterface<ProbeCase> {};

TEST_P(MapChargeProbeDataTest, FindsUnsentProbeData) {
  for (const char* file : GetParam().files) Put(file);
  EXPECT_EQ(charge.Questions().IsNoSendProbe(), GetParam().found);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MapChargeProbeDataTest,
    ::testing::Values(ProbeCase{"NoProbeFolder", {}, false},
                      ProbeCase{"Trip", {"PROBE\\trip1\\ProbeData.dat"}, true},
                      ProbeCase{"TripWithoutData", {"PROBE\\trip1\\Other.dat"}, false},
                      ProbeCase{"DataOutsideATrip", {"PROBE\\ProbeData.dat"}, false},
                      ProbeCase{
                          "SecondTrip", {"PROBE\\a\\x.dat", "PROBE\\b\\ProbeData.dat"}, true}),
    ovtest::CaseName());

TEST_F(MapChargeQuestionTest, YesTakesEveryRecordWithTheEstimatePosted) {
  Analyse(kUpdateList);
  bool result = false;
  ASSERT_TRUE(maptest::RunAnswering(window, [&] { result = charge.Questions().NotifyDownload(); },
                                    {Yes(kDownload)}));
  EXPECT_TRUE(result);
  const std::vector<coretest::RecordedMessage> asked = window.Of(coretest::Msg(kMsgMapLicense));
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].wparam, 3u);
  // 1500 bytes at 1200 bit/s.
  EXPECT_EQ(asked[0].lparam, 10);
  EXPECT_EQ(Asked(kMsgNoSendProbe), 0u);
  EXPECT_EQ(Kinds(), (std::vector<int>{5, 0}));
  ASSERT_EQ(charge.GetDownloadParameters().size(), 2u);
  EXPECT_TRUE(charge.GetChosenList().IsEmpty());
  EXPECT_EQ(charge.GetErrorCode(), 0u);
}

TEST_F(MapChargeQuestionTest, NoTakesTheUnmarkedRecordsAndDropsTheUpdate) {
  Analyse(kUpdateList);
  charge.SetMapUpdateFlag(true);
  bool result = false;
  ASSERT_TRUE(maptest::RunAnswering(window, [&] { result = charge.Questions().NotifyDownload(); },
                                    {No(kDownload)}));
  EXPECT_TRUE(result);
  EXPECT_FALSE(charge.GetMapUpdateFlag());
  EXPECT_EQ(Kinds(), (std::vector<int>{5}));
  EXPECT_EQ(charge.GetDownloadParameters().size(), 1u);
}

TEST_F(MapChargeQuestionTest, AStaleAnswerDoesNotCount) {
  Analyse(kUpdateList);
  const CHandle stale(
      CreateEventA(nullptr, FALSE, FALSE, maptest::AnswerEvent(kDownload, false).c_str()));
  SetEvent(stale.Get());
  bool result = false;
  ASSERT_TRUE(maptest::RunAnswering(window, [&] { result = charge.Questions().NotifyDownload(); },
                                    {Yes(kDownload)}));
  EXPECT_EQ(Kinds(), (std::vector<int>{5, 0}));
}

struct ProbeAnswerCase {
  const char* name;
  bool yes;
  bool result;
  uint32_t code;
  size_t records;
};

void PrintTo(const ProbeAnswerCase& c, std::ostream* os) { *os << c.name; }

class MapChargeProbeAnswerTest : public MapChargeQuestionTest,
                                 public ::testing::WithParamInterface<ProbeAnswerCase> {};

TEST_P(MapChargeProbeAnswerTest, UnsentProbeDataAsksOnceMore) {
  const ProbeAnswerCase& c = GetParam();
  Analyse(kUpdateList);
  PutProbeData();
  bool result = !c.result;
  ASSERT_TRUE(maptest::RunAnswering(window, [&] { result = charge.Questions().NotifyDownload(); },
                                    {Yes(kDownload), c.yes ? Yes(kProbe) : No(kProbe)}));
  EXPECT_EQ(result, c.result);
  EXPECT_EQ(charge.GetErrorCode(), c.code);
  const std::vector<coretest::RecordedMessage> asked = window.Of(coretest::Msg(kMsgNoSendProbe));
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].wparam, 0u);
  EXPECT_EQ(asked[0].lparam, 0);
  EXPECT_EQ(charge.GetDownloadPlan().GetCount(), c.records);
}

INSTANTIATE_TEST_SUITE_P(Cases, MapChargeProbeAnswerTest,
                         ::testing::Values(ProbeAnswerCase{"GoOn", true, true, 0, 2},
                                           ProbeAnswerCase{"Declined", false, false, 0xFF01, 0}),
                         ovtest::CaseName());

TEST_F(MapChargeQuestionTest, NoProbeQuestionWithoutProbeData) {
  EXPECT_EQ(charge.Questions().NoSendProbe(), 1);
  EXPECT_EQ(Asked(kMsgNoSendProbe), 0u);
}

}  // namespace
