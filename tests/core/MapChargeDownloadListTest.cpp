// The map charge's download list against the stand-in: the request with
// the card's versions, the gzip copy on the PC, refused and failed replies,
// the choice of the records newer than the card, and the plain list on the
// card.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "ChargeKind.h"
#include "CoreMessages.h"
#include "CoreTestSupport.h"
#include "Folders.h"
#include "MapChargeTestSupport.h"
#include "OstrovelleLite/DownloadManageFile.h"
#include "OstrovelleLite/OstrovelleConfig.h"
#include "RetryTestSupport.h"
#include "TestSupport.h"
#include "map/MapCharge.h"
#include "util/GZipIF.h"

namespace {

using maptest::CMapChargeFixture;

constexpr char kList[] = "/pcapp/DownloadListLiteAPI";

// Kind 2 newer than the card (1.000005), kind 2 equal to it, and search
// data (kind 4) newer than the card's none.
const std::string kReply =
    "00,02,01,1.000010,2011年度版,1048576,0,0,0,0,,\r\n"
    "00,02,00,1.000005,2011,10,0,0,0,0,,\r\n"
    "00,04,00,1.000003,2012,20,0,0,2,0,, // search\r\n";

class MapChargeDownloadListTest : public CMapChargeFixture {
 protected:
  void SetUp() override {
    CMapChargeFixture::SetUp();
    if (IsSkipped()) return;
    path = charge._GetDataFolder() + "DL.LST";
    charge.SetDLListPath(path);
  }
  bool Serve(const std::string& reply) {
    return standin.Set(kList, "list_hex=" + maptest::Hex(reply));
  }
  std::string Unpacked(const std::string& gzip_path) {
    const std::string plain = dir.File("unpacked");
    CGZipIF gzip;
    return gzip.UnGZipFile(gzip_path, plain) ? ovtest::ReadFileOrEmpty(plain) : "<none>";
  }
  bool Exists(const std::string& p) const {
    return GetFileAttributesA(p.c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  std::string path;
};

TEST_F(MapChargeDownloadListTest, DataFolderFollowsTheSettingAndTheUnit) {
  EXPECT_EQ(charge._GetDataFolder(), GetDownloadFolder() + "Data09\\");
  const std::string custom = dir.File("表");
  const COstrovelleConfig config;
  ASSERT_TRUE(WritePrivateProfileStringA("Setting", "DownloadFolderPath", custom.c_str(),
                                         config.GetIniPath().c_str()));
  maptest::CChargeAccess::Init(charge);
  EXPECT_EQ(charge._GetDataFolder(), custom + "\\Data09\\");
}

TEST_F(MapChargeDownloadListTest, FetchesParsesAndKeepsAGzipCopy) {
  ASSERT_TRUE(Serve(kReply));
  ASSERT_TRUE(charge.DownloadList().Fetch(path));
  EXPECT_EQ(charge.GetErrorCode(), 0u);
  EXPECT_EQ(charge.DownloadList().Parsed().GetCount(), 3u);
  EXPECT_EQ(ovtest::ReadFileOrEmpty(path).substr(0, 2), "\x1F\x8B");
  EXPECT_EQ(Unpacked(path), kReply);
  EXPECT_FALSE(Exists(path + "_SRC"));
  EXPECT_FALSE(Exists(path + "_NEW"));

  const std::vector<ovtest::StandInRequest> requests = standin.Requests();
  ASSERT_EQ(requests.size(), 1u);
  const auto& form = requests[0].form;
  EXPECT_EQ(form.at("mapver"), "1.000005");
  EXPECT_EQ(form.at("searchver"), "0.000000");
  EXPECT_EQ(form.at("naviaplver"), "2.000001");
  // A unit information file of kind 2 asks for firmware 1.
  EXPECT_EQ(form.at("btfwver"), "0.000001");
  EXPECT_EQ(form.count("orbisver"), 0u);
  EXPECT_EQ(form.at("deviceno"), charge.GetUnitDeviceNo());
  EXPECT_FALSE(form.at("aplver").empty());
}

TEST_F(MapChargeDownloadListTest, ARefusedListKeepsThePreviousCopy) {
  ASSERT_TRUE(Serve(kReply));
  ASSERT_TRUE(charge.DownloadList().Fetch(path));
  const std::string previous = ovtest::ReadFileOrEmpty(path);

  // "0A" is refused; read as decimal it gives server code 0.
  ASSERT_TRUE(Serve("0A,02,01,1.0\r\n"));
  EXPECT_FALSE(charge.DownloadList().Fetch(path));
  EXPECT_EQ(charge.GetErrorCode(), 0x230000u);
  EXPECT_TRUE(log.Contains("ダウンロードリスト取得時のデータエラー"));
  ASSERT_TRUE(Serve("15\r\n"));
  EXPECT_FALSE(charge.DownloadList().Fetch(path));
  EXPECT_EQ(charge.GetErrorCode(), 0x23000Fu);
  EXPECT_EQ(ovtest::ReadFileOrEmpty(path), previous);
  EXPECT_FALSE(Exists(path + "_SRC"));
  EXPECT_EQ(charge.DownloadList().Parsed().GetCount(), 3u);
}

TEST_F(MapChargeDownloadListTest, AnEmptyListIsNoError) {
  ASSERT_TRUE(Serve(""));
  EXPECT_TRUE(charge.DownloadList().Fetch(path));
  EXPECT_EQ(charge.GetErrorCode(), 0u);
  EXPECT_TRUE(log.Contains("ダウンロードリストに取得対象データ情報無し"));
  EXPECT_FALSE(Exists(path));
  EXPECT_FALSE(Exists(path + "_SRC"));
}

TEST_F(MapChargeDownloadListTest, HttpErrors) {
  ASSERT_TRUE(standin.Set(kList, "status=503"));
  EXPECT_FALSE(charge.DownloadList().Fetch(path));
  EXPECT_EQ(charge.GetErrorCode(), 0x1301F7u);
  EXPECT_TRUE(log.Contains("ダウンロードリスト取得時のエラー[RES:0x100001F7]"));
  EXPECT_FALSE(charge.DownloadList().Fetch(""));
}

TEST_F(MapChargeDownloadListTest, AListThatCannotBeWrittenLeavesTheOldOne) {
  ASSERT_TRUE(Serve(kReply));
  ASSERT_TRUE(charge.DownloadList().Fetch(path));
  const std::string previous = ovtest::ReadFileOrEmpty(path);
  // A folder where the new copy would be packed.
  ASSERT_TRUE(CreateDirectoryA((path + "_NEW").c_str(), nullptr));
  ASSERT_TRUE(Serve("00,03,00,2.0\r\n"));
  {
    // Packing is tried three times, with a pause after each failure.
    const ovtest::CPauseRecorder pauses;
    EXPECT_FALSE(charge.DownloadList().Fetch(path));
    EXPECT_EQ(pauses.Pauses(), std::vector<DWORD>(3, 3000));
  }
  EXPECT_EQ(charge.GetErrorCode(), 0x430105u);
  EXPECT_NE(charge.GetErrorDetail(), 0u);
  EXPECT_TRUE(log.Contains("ダウンロードリスト暗号化失敗"));
  EXPECT_EQ(ovtest::ReadFileOrEmpty(path), previous);
  EXPECT_FALSE(Exists(path + "_SRC"));
}

TEST_F(MapChargeDownloadListTest, CardWithoutIdentity) {
  maptest::WriteCard(card.Letter(), maptest::DefaultCard().CcidHead(0));
  EXPECT_FALSE(charge.DownloadList().Fetch(path));
  EXPECT_EQ(charge.GetErrorCode(), 0x3FF05u);
  ASSERT_TRUE(DeleteFileA(card.Path("PC\\NAVIINFO.DAT").c_str()));
  EXPECT_FALSE(charge.DownloadList().Fetch(path));
  EXPECT_EQ(charge.GetErrorCode(), 0x3FF03u);
  EXPECT_TRUE(standin.Requests().empty());
}

TEST_F(MapChargeDownloadListTest, AnalysisPicksWhatIsNewerThanTheCard) {
  ASSERT_TRUE(Serve(kReply + "00,09,00,9.0,2011,5,0,0,0,0,,\r\n"));
  ASSERT_TRUE(charge.DownloadList().Fetch(path));
  EXPECT_TRUE(charge.DownloadList().Analyze());
  const CDownloadList::Records& chosen = charge.GetChosenList().GetRecords();
  ASSERT_EQ(chosen.size(), 2u);
  // Sorted: the smaller year first.
  EXPECT_EQ(chosen[0].version, "1.000010");
  EXPECT_EQ(chosen[1].data_kind, 4);
  EXPECT_EQ(charge.GetEstimateTotal(), 1048576u + 20u);
  EXPECT_EQ(charge.GetDownloadTotal(), 1048576u + 20u);
  // The kind outside the table is named, and its code stays.
  EXPECT_TRUE(log.Contains("データ種別不正[不正となったデータ種別:09]"));
  EXPECT_EQ(charge.GetErrorCode(), 0x30102u);
  EXPECT_FALSE(chosen[0].downloaded);
}

TEST_F(MapChargeDownloadListTest, VersionsThatCannotNameAFolderAreNotChosen) {
  ASSERT_TRUE(
      Serve("00,02,01,9.0/../../x,2011,1,0,0,0,0,,\r\n"
            "00,02,01,9.0\\..,2011,1,0,0,0,0,,\r\n"
            "00,02,01,9.0:s,2011,1,0,0,0,0,,\r\n"
            "00,02,01,,2011,1,0,0,0,0,,\r\n"
            "00,02,01,9.000001,2011,1,0,0,0,0,,\r\n"));
  ASSERT_TRUE(charge.DownloadList().Fetch(path));
  charge.DownloadList().Analyze();
  ASSERT_EQ(charge.GetChosenList().GetCount(), 1u);
  EXPECT_EQ(charge.GetChosenList().GetRecords()[0].version, "9.000001");
  size_t refused = 0;
  for (const std::string& line : log.Errors())
    refused += line.find("不正なデータバージョン") != std::string::npos;
  EXPECT_EQ(refused, 4u);
}

TEST_F(MapChargeDownloadListTest, NothingNewerAndNothingAtAll) {
  ASSERT_TRUE(Serve("00,02,00,1.000005,2011,10,0,0,0,0,,\r\n"));
  ASSERT_TRUE(charge.DownloadList().Fetch(path));
  EXPECT_TRUE(charge.DownloadList().Analyze());
  EXPECT_TRUE(charge.GetChosenList().IsEmpty());
  EXPECT_EQ(charge.GetErrorCode(), 0xFF02u);

  maptest::CChargeAccess::Init(charge);
  EXPECT_TRUE(charge.DownloadList().Analyze());
  EXPECT_EQ(charge.GetErrorCode(), 0xFF02u);
}

TEST_F(MapChargeDownloadListTest, ACompleteDownloadOnThePcIsMarked) {
  // DL.DAT of the data folder with the record complete.
  DLManageRecord record;
  record.SetMajor(2);
  record.SetMinor(1);
  record.SetName("1.000010");
  record.SetProgress(100);
  ASSERT_TRUE(CreateDirectoryA(charge._GetDataFolder().c_str(), nullptr) ||
              GetLastError() == ERROR_ALREADY_EXISTS);
  ASSERT_TRUE(ovtest::WriteFileBytes(
      charge._GetDataFolder() + "DL.DAT",
      std::string(reinterpret_cast<const char*>(record.bytes), DLManageRecord::kSize)));
  ASSERT_TRUE(Serve(kReply));
  ASSERT_TRUE(charge.DownloadList().Fetch(path));
  charge.DownloadList().Analyze();
  ASSERT_FALSE(charge.GetChosenList().IsEmpty());
  EXPECT_TRUE(charge.GetChosenList().GetRecords()[0].downloaded);
  EXPECT_TRUE(charge.DownloadList().IsDownloaded(2, 1, "1.000010"));
  EXPECT_FALSE(charge.DownloadList().IsDownloaded(2, 1, "1.000011"));
}

TEST_F(MapChargeDownloadListTest, PlainListGoesOnTheCard) {
  ASSERT_TRUE(Serve(kReply));
  ASSERT_TRUE(charge.DownloadList().Fetch(path));
  ASSERT_TRUE(ovtest::WriteFileBytes(card.Path("PC\\DL.LST"), "old"));
  EXPECT_EQ(charge.DownloadList().TransmitPlain(path), 0u);
  EXPECT_EQ(ovtest::ReadFileOrEmpty(card.Path("PC\\DL.LST")), kReply);
}

TEST_F(MapChargeDownloadListTest, AMissingListIsNotPutOnTheCard) {
  ovtest::CPauseRecorder pauses;
  EXPECT_EQ(charge.DownloadList().TransmitPlain(dir.File("missing.LST")), 0x350260u);
  EXPECT_NE(charge.GetErrorDetail(), 0u);
  EXPECT_TRUE(log.Contains("ダウンロードリスト復号化失敗"));
}

TEST(MapChargeTable, DataIdsOfKinds) {
  EXPECT_EQ(CMapCharge::DataIdOfKind(2), 0x30020001);
  EXPECT_EQ(CMapCharge::DataIdOfKind(4), 0x30010002);
  EXPECT_EQ(CMapCharge::DataIdOfKind(7), 0x20000003);
  EXPECT_EQ(CMapCharge::DataIdOfKind(1), 0x30010001);
  EXPECT_EQ(CMapCharge::DataIdOfKind(8), -1);

  CDownloadList list;
  EXPECT_EQ(CMapDownloadListStep::AddByDataId(0x30020001, &list), 2);
  EXPECT_EQ(CMapDownloadListStep::AddByDataId(0x30020001, &list), 2);
  ASSERT_EQ(list.GetCount(), 2u);  // the same records again are merged
  EXPECT_EQ(list.GetRecords()[0].data_kind, 2);
  EXPECT_EQ(list.GetRecords()[1].data_kind, 3);
  EXPECT_EQ(list.GetRecords()[1].detail, 0x99);
  EXPECT_EQ(CMapDownloadListStep::AddByDataId(0x12345678, &list), 0);
}

}  // namespace

namespace {

struct RunCase {
  const char* name;
  std::string list;
  uint32_t reported;  // the code of the one error report
  size_t history;     // records of the failure
};

void PrintTo(const RunCase& c, std::ostream* os) { *os << c.name; }

class MapChargeRunTest : public MapChargeDownloadListTest,
                         public ::testing::WithParamInterface<RunCase> {};

TEST_P(MapChargeRunTest, FirstStepsOfARun) {
  const RunCase& c = GetParam();
  maptest::SaveSpeedOfLine("5000000");
  // A whole run needs the card's link file.
  ASSERT_TRUE(maptest::DefaultCard().WriteCard(card.Letter(), true));
  ASSERT_TRUE(Serve(c.list));
  coretest::CRecorderWindow window;
  coretest::CFakeStore store;
  charge.SetTargetWindow(window.Get());
  charge.SetStore(&store);
  ASSERT_TRUE(charge.Start());
  const UINT finish = coretest::Msg(kMsgNotifyFinish);
  ASSERT_TRUE(coretest::PumpUntil([&] { return window.Count(finish) >= 1; }, 20000));
  const std::vector<coretest::RecordedMessage> errors = window.Of(coretest::Msg(kMsgNotifyError));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].wparam, (CHARGE_KIND_MAP << 24) | c.reported);
  std::vector<WPARAM> percents;
  for (const auto& m : window.Of(coretest::Msg(kMsgNotifyProgress))) percents.push_back(m.wparam);
  ASSERT_GE(percents.size(), 3u);
  EXPECT_EQ(percents[2], 3u);
  EXPECT_EQ(store.card_history.size(), c.history);
  EXPECT_EQ(charge.GetDLListPath(), path);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MapChargeRunTest,
    ::testing::Values(RunCase{"NothingNewer", "00,02,00,1.000005,2011,10,0,0,0,0,,\r\n", 0xFF02, 0},
                      RunCase{"RefusedList", "0A,02,01,1.0\r\n", 0x230000, 1},
                      // Nothing serves the data set's image: the download fails.
                      RunCase{"SomethingNewer", kReply, 0x120194, 1}),
    ovtest::CaseName());

}  // namespace
