// The map charge's data download against the stand-in: images, nested
// images and pieces into the data folder, the resume rule, the retries on
// CRC failures and HTTP errors, truncated and stalled replies, an abort in
// the middle of a piece, the server's names that would leave the folder,
// and what the download reports (percentages, the block, the
// download-management record, the completion notice).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <ostream>
#include <thread>

#include "CompleteNotifyFile.h"
#include "CoreMessages.h"
#include "Folders.h"
#include "Handle.h"
#include "MapDataTestSupport.h"
#include "OstrovelleLite/DownloadManageFile.h"
#include "OstrovelleLite/NPCrcCalc.h"
#include "OstrovelleLite/OstrovelleConfig.h"
#include "StringUtil.h"
#include "TestSupport.h"
#include "map/DownloadDataFromList.h"
#include "map/MapCharge.h"

namespace {

using mapdata::CDataImage;
using mapdata::CMapDataFixture;

constexpr char kConfUrl[] = "/pcapp/GetConfUrlLiteAPI";
const HttpTimeouts kShortTimeouts = {0, 5000, 5000, 1500};

class DownloadDataTest : public CMapDataFixture {
 protected:
  // A data set of two images: DATA.CNF with a split file and a gzip file
  // under "MAP\", and SUB.CNF (named relative to the pieces) with one file
  // under "SUB\".
  void ServeDefault(const CDownloadListData& record) {
    main_image.File("map.dat", mapdata::Pattern(10000), 4096)
        .File("road.dat", std::string(5000, 'r'), 3000, 0x2000)
        .Nested("SUB.CNF");
    sub_image.File("poi.dat", "points of interest", 8);
    ASSERT_TRUE(mapdata::Serve(standin, ImageUrlPath(record), main_image));
    // Nested names are fetched below the image's folder and path entry.
    ASSERT_TRUE(mapdata::Serve(standin, ImageUrlPath(record, "MAP/SUB.CNF"), sub_image));
  }
  int Run(CDownloadDataFromList& download, const std::vector<CDownloadListData>& records) {
    Plan(records, &list, &parameters);
    return download.StartDownload(charge, &list, &parameters);
  }
  std::string SetFolder(const CDownloadListData& record) const {
    return mapdata::SetFolder(data_folder, record.data_kind, record.detail, record.version);
  }
  std::vector<ovtest::StandInRequest> PieceRequests() const {
    std::vector<ovtest::StandInRequest> pieces;
    for (const auto& request : RequestsUnder("/mapdata/")) {
      if (request.path.find(".CNF") == std::string::npos) pieces.push_back(request);
    }
    return pieces;
  }
  std::vector<uint32_t> Percentages() const {
    Drain();
    std::vector<uint32_t> out;
    for (const auto& message : window.Of(coretest::Msg(kMsgNotifyProgress))) {
      out.push_back(static_cast<uint32_t>(message.wparam));
      EXPECT_EQ(message.lparam, 2);
    }
    return out;
  }
  DLManageRecord ManageRecord(const CDownloadListData& record) const {
    CDownloadManageFile manage(data_folder);
    EXPECT_TRUE(manage.GetDLManage(record.data_kind, record.detail, record.version));
    return manage.DLManageData();
  }
  std::vector<CompleteNotifyRecord> Notices() const {
    CCompleteNotifyFile notices;
    CompleteNotifyMap map;
    notices.GetDownloadNotifyData(&map);
    std::vector<CompleteNotifyRecord> all;
    for (const auto& group : map) all.insert(all.end(), group.second.begin(), group.second.end());
    return all;
  }

  CDataImage main_image{"MAP\\"};
  CDataImage sub_image{"SUB\\"};
  CDownloadList list;
  std::vector<core::ConnectionParameterData> parameters;
};

TEST_F(DownloadDataTest, FetchesImagesAndPiecesAndReportsThem) {
  // The list's analysis gives the total the percentages go by.
  ASSERT_TRUE(
      standin.Set("/pcapp/DownloadListLiteAPI",
                  "list_hex=" + maptest::Hex("00,02,01,1.000010,2012,40000,0,0,0,0,,\r\n")));
  ASSERT_TRUE(charge.DownloadList().Fetch(data_folder + "DL.LST"));
  charge.DownloadList().Analyze();
  ASSERT_EQ(charge.GetChosenList().GetCount(), 1u);
  ASSERT_EQ(charge.GetEstimateTotal(), 40000u);
  const CDownloadListData record = charge.GetChosenList().GetRecords()[0];
  ServeDefault(record);
  charge.SetErrorCode(0x1234);
  CDownloadDataFromList download(5, 6);
  ASSERT_EQ(Run(download, {record}), 1);
  EXPECT_EQ(charge.GetErrorCode(), 0u);

  const std::string folder = SetFolder(record);
  EXPECT_EQ(ovtest::ReadFileOrEmpty(folder + "DATA.CNF"), main_image.Build());
  EXPECT_EQ(ovtest::ReadFileOrEmpty(folder + "SUB.CNF"), sub_image.Build());
  for (const CDataImage* image : {&main_image, &sub_image}) {
    for (const auto& piece : image->Pieces()) {
      EXPECT_EQ(ovtest::ReadFileOrEmpty(folder + piece.first), piece.second) << piece.first;
    }
  }
  // The configuration request names the record and the unit.
  const auto asked = RequestsUnder(kConfUrl);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].form.at("type01"), "02");
  EXPECT_EQ(asked[0].form.at("type02"), "01");
  EXPECT_EQ(asked[0].form.at("ver"), "1.000010");
  EXPECT_EQ(asked[0].form.at("deviceno"), charge.GetUnitDeviceNo());
  EXPECT_FALSE(asked[0].Header("User-Agent").empty());

  const uint64_t total = main_image.PiecesSize() + sub_image.PiecesSize();
  EXPECT_EQ(download.GetBytesDone(), total);
  // The image's sizes replace the list's in the grand total.
  EXPECT_EQ(charge.GetDownloadTotal(), total);
  const MapProgressWords block = ReadBlock(kMapProgressDownload);
  EXPECT_EQ(block.words[0], 1u);
  EXPECT_EQ(block.Done(), total);
  EXPECT_EQ(block.Total(), total);

  const DLManageRecord managed = ManageRecord(record);
  EXPECT_EQ(managed.Progress(), 100);
  EXPECT_EQ(managed.LocalPath(), ".\\02\\01\\1.000010\\DATA.CNF");

  ASSERT_EQ(download.GetDownloaded().size(), 1u);
  EXPECT_TRUE(download.GetDownloaded()[0].pieces.size() == PieceRequests().size());
  ASSERT_EQ(list.GetCount(), 1u);
  ASSERT_EQ(parameters.size(), 1u);

  const std::vector<CompleteNotifyRecord> notices = Notices();
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].values[kNoticeCode], 1u);
  EXPECT_EQ(notices[0].values[kNoticeDataKind], 2u);
  EXPECT_EQ(notices[0].values[kNoticeDetail], 1u);
  EXPECT_EQ(notices[0].values[kNoticeCcidHead], charge.GetCcidHead());
  EXPECT_EQ(notices[0].text, "1.000010");
  EXPECT_EQ(notices[0].device_no, charge.GetUnitDeviceNo());

  const std::vector<uint32_t> percentages = Percentages();
  ASSERT_FALSE(percentages.empty());
  EXPECT_TRUE(std::is_sorted(percentages.begin(), percentages.end()));
  EXPECT_EQ(percentages.back(), CDownloadDataFromList::Percentage(total, 40000));
  Drain();
  EXPECT_EQ(window.Count(coretest::Msg(kMsgMapProgress)), PieceRequests().size());
}

TEST_F(DownloadDataTest, AResumedDownloadFetchesOnlyMissingOrBrokenPieces) {
  const CDownloadListData record = Record(2, 1, "1.000010", 40000);
  ServeDefault(record);
  const std::string folder = SetFolder(record);
  ASSERT_TRUE(mapdata::LayOut(folder, "DATA.CNF", main_image));
  ASSERT_TRUE(mapdata::LayOut(folder, "SUB.CNF", sub_image));
  // map.dat.001: a cut piece; map.dat.002: right size, a flipped byte;
  // road.dat.000: gone.
  const std::string cut = folder + "MAP\\map.dat.001";
  ASSERT_TRUE(ovtest::WriteFileBytes(cut, ovtest::ReadFileOrEmpty(cut).substr(0, 100)));
  std::string flipped = ovtest::ReadFileOrEmpty(folder + "MAP\\map.dat.002");
  flipped[10] ^= 0x55;
  ASSERT_TRUE(ovtest::WriteFileBytes(folder + "MAP\\map.dat.002", flipped));
  ASSERT_TRUE(DeleteFileA((folder + "MAP\\road.dat.000").c_str()));

  CDownloadDataFromList download(5, 6);
  ASSERT_EQ(Run(download, {record}), 1);
  std::vector<std::string> fetched;
  for (const auto& request : PieceRequests()) fetched.push_back(request.path);
  std::sort(fetched.begin(), fetched.end());
  const std::string base = "/mapdata/02/01/1.000010/MAP/";
  EXPECT_EQ(fetched, (std::vector<std::string>{base + "map.dat.001", base + "map.dat.002",
                                               base + "road.dat.000"}));
  for (const auto& piece : main_image.Pieces()) {
    EXPECT_EQ(ovtest::ReadFileOrEmpty(folder + piece.first), piece.second) << piece.first;
  }
  // Pieces found intact count like fetched ones, in the block too.
  const uint64_t total = main_image.PiecesSize() + sub_image.PiecesSize();
  EXPECT_EQ(download.GetBytesDone(), total);
  EXPECT_EQ(ReadBlock(kMapProgressDownload).Done(), total);
  Drain();
  const size_t pieces = main_image.Pieces().size() + sub_image.Pieces().size();
  EXPECT_EQ(window.Count(coretest::Msg(kMsgMapProgress)), pieces);
  EXPECT_TRUE(log.Contains("前回ダウンロード中断ファイルの削除"));
}

TEST_F(DownloadDataTest, ADataSetWhosePiecesAllLieThereNeedsNoPieceRequest) {
  const CDownloadListData record = Record(2, 1, "1.000010", 40000);
  ServeDefault(record);
  const std::string folder = SetFolder(record);
  ASSERT_TRUE(mapdata::LayOut(folder, "DATA.CNF", main_image));
  ASSERT_TRUE(mapdata::LayOut(folder, "SUB.CNF", sub_image));
  CDownloadDataFromList download(5, 6);
  ASSERT_EQ(Run(download, {record}), 1);
  EXPECT_TRUE(PieceRequests().empty());
  EXPECT_EQ(ManageRecord(record).Progress(), 100);
  EXPECT_FALSE(Percentages().empty());
}

TEST_F(DownloadDataTest, ACrcFailureThatStaysExhaustsItsRetries) {
  const CDownloadListData record = Record(2, 1, "1.000010", 40000);
  ServeDefault(record);
  const std::string broken = "/mapdata/02/01/1.000010/MAP/SUB/poi.dat.001";
  ASSERT_TRUE(standin.Set(broken, "hex=" + maptest::Hex("f intere") + "&flip_all=1"));
  CDownloadDataFromList download(7, 2);
  EXPECT_EQ(Run(download, {record, Record(3, 0, "1.000002", 10)}), 0);
  EXPECT_EQ(charge.GetErrorCode(), 0x40107u);
  EXPECT_EQ(CountRequests(broken), 3u);
  EXPECT_EQ(pauses.Pauses(), (std::vector<DWORD>{7000, 7000}));
  EXPECT_EQ(GetFileAttributesA((SetFolder(record) + "SUB\\poi.dat.001").c_str()),
            INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(log.Contains("CRCチェック時リトライ2回目"));
  // Nothing downloaded, nothing noticed, and the second record never asked.
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_TRUE(parameters.empty());
  EXPECT_TRUE(Notices().empty());
  EXPECT_EQ(CountRequests(kConfUrl), 1u);
  EXPECT_EQ(ManageRecord(record).Progress(), 0);
}

// The check of a fetched piece uses the sum taken while it was written. A
// piece file that another program holds (so that it cannot be removed before
// the request) gets the new bytes behind its old ones; the sum of what was
// written would match, so the file is read whole, and fails.
TEST_F(DownloadDataTest, APieceWrittenBehindOldBytesIsReadWholeAndRefused) {
  const CDownloadListData record = Record(2, 1, "1.000010", 40000);
  ServeDefault(record);
  const std::string path = SetFolder(record) + "SUB\\poi.dat.001";
  ASSERT_TRUE(CreateDirectories(SetFolder(record) + "SUB\\"));
  ASSERT_TRUE(ovtest::WriteFileBytes(path, "old"));
  const CFileHandle held(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(held);
  CDownloadDataFromList download(5, 1);
  EXPECT_EQ(Run(download, {record}), 0);
  EXPECT_EQ(charge.GetErrorCode(), 0x40107u);
  EXPECT_EQ(CountRequests("/mapdata/02/01/1.000010/MAP/SUB/poi.dat.001"), 2u);
  EXPECT_TRUE(log.Contains("ダウンロードデータCRCエラー！"));
  EXPECT_TRUE(log.Contains("CRCチェック時リトライ1回目"));
  EXPECT_EQ(ovtest::ReadFileOrEmpty(path).compare(0, 3, "old"), 0);
}

TEST_F(DownloadDataTest, ACrcFailureOnceIsFetchedAgain) {
  const CDownloadListData record = Record(2, 1, "1.000010", 40000);
  ServeDefault(record);
  const std::string piece = "/mapdata/02/01/1.000010/MAP/map.dat.000";
  ASSERT_TRUE(standin.Set(piece, "pattern=4096&flip_first=1"));
  CDownloadDataFromList download(5, 6);
  ASSERT_EQ(Run(download, {record}), 1);
  EXPECT_EQ(CountRequests(piece), 2u);
  EXPECT_EQ(pauses.Pauses().size(), 1u);
  // The byte counts take the piece once.
  EXPECT_EQ(download.GetBytesDone(), main_image.PiecesSize() + sub_image.PiecesSize());
}

struct HttpCase {
  const char* name;
  const char* where;  // "piece", "image" or "conf"
  const char* scenario;
  int result;
  uint32_t code;
  size_t requests;
  size_t pauses;
};

std::ostream& operator<<(std::ostream& out, const HttpCase& c) { return out << c.name; }

class DownloadHttpTest : public DownloadDataTest, public ::testing::WithParamInterface<HttpCase> {};

TEST_P(DownloadHttpTest, RetriesOnlyWhatMayPass) {
  const HttpCase& c = GetParam();
  const CDownloadListData record = Record(2, 1, "1.000010", 40000);
  ServeDefault(record);
  std::string path = kConfUrl;
  std::string scenario = c.scenario;
  if (std::string(c.where) == "image") {
    path = ImageUrlPath(record);
    scenario += "&hex=" + maptest::Hex(main_image.Build());
  } else if (std::string(c.where) == "piece") {
    path = "/mapdata/02/01/1.000010/MAP/road.dat.000";
    scenario += "&hex=" + maptest::Hex(main_image.Pieces()[3].second);
  }
  ASSERT_TRUE(standin.Set(path, scenario));
  CDownloadDataFromList download(3, 2);
  EXPECT_EQ(Run(download, {record}), c.result);
  EXPECT_EQ(charge.GetErrorCode(), c.code);
  EXPECT_EQ(CountRequests(path), c.requests);
  EXPECT_EQ(pauses.Pauses().size(), c.pauses);
}

const HttpCase kHttpCases[] = {
    {"PieceServiceUnavailableTwice", "piece", "fail_first=2", 1, 0, 3, 2},
    {"PieceNotFound", "piece", "status=404", 0, 0x140194, 1, 0},
    {"PieceServerErrorStays", "piece", "status=500", 0, 0x1401F4, 3, 2},
    {"PieceGatewayTimeoutOnce", "piece", "fail_first=1&fail_status=504", 1, 0, 2, 1},
    {"ImageNotFound", "image", "status=404", 0, 0x120194, 1, 0},
    {"ImageBadGatewayStays", "image", "status=502", 0, 0x1201F6, 3, 2},
    {"ConfUrlForbidden", "conf", "status=403", 0, 0x120193, 1, 0},
    {"ConfUrlServiceUnavailableOnce", "conf", "fail_first=1", 1, 0, 2, 1},
};
INSTANTIATE_TEST_SUITE_P(Statuses, DownloadHttpTest, ::testing::ValuesIn(kHttpCases),
                         ovtest::CaseName());

TEST_F(DownloadDataTest, ATruncatedPieceIsFetchedAgainFromItsFirstByte) {
  const CDownloadListData record = Record(2, 1, "1.000010", 40000);
  ServeDefault(record);
  const std::string path = "/mapdata/02/01/1.000010/MAP/map.dat.001";
  const std::string whole = main_image.Pieces()[1].second;
  ASSERT_TRUE(standin.Set(path, "hex=" + maptest::Hex(whole) + "&truncate=1000"));
  // The pause after the failed try mends the server.
  ovtest::CPauseRecorder mend([&](int) { standin.Set(path, "hex=" + maptest::Hex(whole)); });
  CDownloadDataFromList download(5, 6);
  download.SetHttpTuning(kShortTimeouts, 1);
  ASSERT_EQ(Run(download, {record}), 1);
  EXPECT_EQ(CountRequests(path), 2u);
  EXPECT_EQ(ovtest::ReadFileOrEmpty(SetFolder(record) + "MAP\\map.dat.001"), whole);
}

TEST_F(DownloadDataTest, AStalledPieceTimesOutAndIsRetried) {
  const CDownloadListData record = Record(2, 1, "1.000010", 40000);
  ServeDefault(record);
  const std::string path = "/mapdata/02/01/1.000010/MAP/SUB/poi.dat.000";
  ASSERT_TRUE(standin.Set(
      path, "hex=" + maptest::Hex("points o") + "&stall=body&truncate=3&stall_ms=5000"));
  CDownloadDataFromList download(5, 1);
  download.SetHttpTuning(kShortTimeouts, 1);
  EXPECT_EQ(Run(download, {record}), 0);
  EXPECT_EQ(charge.GetErrorCode() & 0xFFFF0000u, 0x140000u);
  EXPECT_TRUE(CDownloadDataFromList::IsRetryable(charge.GetErrorCode() & 0xFFFF));
  EXPECT_EQ(CountRequests(path), 2u);
  EXPECT_EQ(GetFileAttributesA((SetFolder(record) + "SUB\\poi.dat.000").c_str()),
            INVALID_FILE_ATTRIBUTES);
}

TEST_F(DownloadDataTest, AnAbortInTheMiddleOfAPieceEndsTheRun) {
  const CDownloadListData record = Record(2, 1, "1.000010", 40000);
  ServeDefault(record);
  const std::string path = "/mapdata/02/01/1.000010/MAP/map.dat.000";
  ASSERT_TRUE(standin.Set(path, "pattern=4096&pace_bytes=64&pace_ms=50"));
  std::atomic<bool> finished{false};
  std::thread aborter([&] {
    // Each round waits for one more request, until the piece's has come.
    size_t n = 1;
    while (!finished && CountRequests(path) == 0) n += standin.WaitForRequests(n, 200) ? 1 : 0;
    SetEvent(abort_event.Get());
  });
  CDownloadDataFromList download(5, 6);
  const int result = Run(download, {record, Record(3, 0, "1.000002", 10)});
  finished = true;
  aborter.join();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(charge.GetErrorCode() & 0xFFFF, 0xFF00u);
  EXPECT_EQ(CountRequests(path), 1u);
  EXPECT_EQ(CountRequests(kConfUrl), 1u);
  EXPECT_EQ(GetFileAttributesA((SetFolder(record) + "MAP\\map.dat.000").c_str()),
            INVALID_FILE_ATTRIBUTES);
  const std::vector<CompleteNotifyRecord> notices = Notices();
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].values[kNoticeCode], 2u);
}

// The pieces share one client and its session: an abort while a later
// piece comes still ends the run at once, and the pieces before it stay.
TEST_F(DownloadDataTest, AnAbortInALaterPieceEndsTheRunAndKeepsThePiecesBefore) {
  const CDownloadListData record = Record(2, 1, "1.000010", 40000);
  ServeDefault(record);
  const auto& pieces = main_image.Pieces();
  ASSERT_GE(pieces.size(), 3u);
  const std::string path = "/mapdata/02/01/1.000010/MAP/map.dat.002";
  // About 30 s for the whole piece.
  ASSERT_TRUE(
      standin.Set(path, "hex=" + maptest::Hex(pieces[2].second) + "&pace_bytes=64&pace_ms=1000"));
  const ovtest::CStopwatch clock;
  std::atomic<bool> finished{false};
  std::atomic<uint64_t> aborted_at{0};
  std::thread aborter([&] {
    size_t n = 1;
    while (!finished && CountRequests(path) == 0) n += standin.WaitForRequests(n, 200) ? 1 : 0;
    aborted_at = clock.Ms();
    SetEvent(abort_event.Get());
  });
  CDownloadDataFromList download(5, 6);
  const int result = Run(download, {record});
  const uint64_t ended_at = clock.Ms();
  finished = true;
  aborter.join();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(charge.GetErrorCode() & 0xFFFF, 0xFF00u);
  EXPECT_LT(ended_at - aborted_at.load(), 5000u);
  EXPECT_EQ(CountRequests(path), 1u);
  const std::string folder = SetFolder(record);
  EXPECT_EQ(ovtest::ReadFileOrEmpty(folder + pieces[0].first), pieces[0].second);
  EXPECT_EQ(ovtest::ReadFileOrEmpty(folder + pieces[1].first), pieces[1].second);
  EXPECT_EQ(GetFileAttributesA((folder + pieces[2].first).c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(DownloadDataTest, AnAbortDuringATrickledBodyOfKnownLengthEndsTheRunAtOnce) {
  // 400000 bytes with their length, 256 bytes every 100 ms: the whole body
  // would take minutes, each piece comes well within the receive time-out.
  const CDownloadListData record = Record(2, 1, "1.000010", 400000);
  CDataImage image("MAP\\");
  image.File("big.dat", mapdata::Pattern(400000), 400000);
  ASSERT_TRUE(mapdata::Serve(standin, ImageUrlPath(record), image));
  const std::string path = "/mapdata/02/01/1.000010/MAP/big.dat.000";
  ASSERT_TRUE(standin.Set(path, "pattern=400000&pace_bytes=256&pace_ms=100"));
  std::atomic<bool> finished{false};
  std::atomic<bool> aborted{false};
  std::atomic<DWORD> aborted_at{0};
  std::thread aborter([&] {
    size_t n = 1;
    while (!finished && CountRequests(path) == 0) n += standin.WaitForRequests(n, 200) ? 1 : 0;
    aborted_at = GetTickCount();
    aborted = true;
    SetEvent(abort_event.Get());
  });
  CDownloadDataFromList download(5, 6);
  const int result = Run(download, {record});
  const DWORD ended_at = GetTickCount();
  finished = true;
  aborter.join();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(charge.GetErrorCode() & 0xFFFF, 0xFF00u);
  ASSERT_TRUE(aborted.load());
  // About one piece's pause; far below the 30 s receive time-out and the
  // minutes the body would take.
  EXPECT_LT(ended_at - aborted_at.load(), 5000u);
  EXPECT_EQ(GetFileAttributesA((SetFolder(record) + "MAP\\big.dat.000").c_str()),
            INVALID_FILE_ATTRIBUTES);
}

TEST_F(DownloadDataTest, ServerRepliesThatNameNoImage) {
  const CDownloadListData record = Record(2, 1, "1.000010", 40000);
  const struct {
    const char* scenario;
    uint32_t code;
  } cases[] = {
      {"error_code=9", 0x220009},
      {"reply_hex=", 0x22FFFF},
      // Neither key: no address, which is no success.
      {"reply_hex="
       "48454C4C4F0D0A",
       0x22FFFF},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(standin.Set(kConfUrl, c.scenario));
    CDownloadDataFromList download(5, 6);
    EXPECT_EQ(Run(download, {record}), 0) << c.scenario;
    EXPECT_EQ(charge.GetErrorCode(), c.code) << c.scenario;
  }
  EXPECT_TRUE(RequestsUnder("/mapdata/").empty());

  // An address whose image is empty.
  ASSERT_TRUE(standin.Set(kConfUrl, ""));
  ASSERT_TRUE(standin.Set(ImageUrlPath(record), "hex="));
  CDownloadDataFromList download(5, 6);
  EXPECT_EQ(Run(download, {record}), 0);
  EXPECT_EQ(charge.GetErrorCode(), 0x22FFFFu);
  EXPECT_EQ(CountRequests(ImageUrlPath(record)), 1u);
}

TEST(DownloadConfUrlReply, Analysis) {
  const struct {
    const char* reply;
    uint32_t result;
    const char* url;
  } cases[] = {
      {"ErrorCode=9\r\n", 0x10000009, ""},
      {"ErrorCode=123", 0x1000007B, ""},
      {"CONF-URL=http://h/x/DATA.CNF\r\nmore", 0, "http://h/x/DATA.CNF"},
      {"CONF-URL=http://h/a.CNF", 0, "http://h/a.CNF"},
      {"hello", 0, ""},
      {"", 1, ""},
  };
  for (const auto& c : cases) {
    std::string url = "left over";
    EXPECT_EQ(CDownloadDataFromList::_AnalyzeConfUrl(strlen(c.reply), c.reply, &url), c.result)
        << c.reply;
    EXPECT_EQ(url, c.url) << c.reply;
  }
}

TEST(DownloadRules, RecordFilterAndPercentage) {
  CDownloadListData record;
  const struct {
    uint8_t kind;
    uint8_t order;
    bool update;
    bool taken;
  } cases[] = {
      {2, 0, false, true}, {2, 1, false, false}, {2, 2, false, true}, {0, 1, false, false},
      {0, 0, true, true},  {1, 1, true, true},   {2, 0, true, false}, {5, 3, true, true},
  };
  for (const auto& c : cases) {
    record.data_kind = c.kind;
    record.order = c.order;
    EXPECT_EQ(CDownloadDataFromList::IsTaken(record, c.update), c.taken)
        << int(c.kind) << "/" << int(c.order) << "/" << c.update;
  }
  EXPECT_EQ(CDownloadDataFromList::Percentage(500, 0), 10u);
  EXPECT_EQ(CDownloadDataFromList::Percentage(0, 1000), 10u);
  EXPECT_EQ(CDownloadDataFromList::Percentage(500, 1000), 32u);
  EXPECT_EQ(CDownloadDataFromList::Percentage(1000, 1000), 55u);
  // Images that give more than the list never carry the phase past 55.
  EXPECT_EQ(CDownloadDataFromList::Percentage(5000, 1000), 55u);
  for (DWORD code : {12002ul, 12030ul, 500ul, 503ul, 504ul}) {
    EXPECT_TRUE(CDownloadDataFromList::IsRetryable(code)) << code;
  }
  for (DWORD code : {404ul, 403ul, 12157ul, 1235ul, 501ul}) {
    EXPECT_FALSE(CDownloadDataFromList::IsRetryable(code)) << code;
  }
}

TEST_F(DownloadDataTest, AListTotalOfZeroKeepsThePercentageAtTen) {
  const CDownloadListData record = Record(2, 1, "1.000010", 40000);
  ServeDefault(record);
  CDownloadDataFromList download(5, 6);
  ASSERT_EQ(charge.GetEstimateTotal(), 0u);
  ASSERT_EQ(Run(download, {record}), 1);
  const std::vector<uint32_t> percentages = Percentages();
  ASSERT_FALSE(percentages.empty());
  for (uint32_t percent : percentages) EXPECT_EQ(percent, 10u);
}

struct UnsafeCase {
  const char* name;
  const char* path_entry;
  const char* file;
  const char* nested;
  const char* image;  // the image's name in the address
};

std::ostream& operator<<(std::ostream& out, const UnsafeCase& c) { return out << c.name; }

class DownloadUnsafeNameTest : public DownloadDataTest,
                               public ::testing::WithParamInterface<UnsafeCase> {};

TEST_P(DownloadUnsafeNameTest, NamesThatLeaveTheFolderAreRefused) {
  const UnsafeCase& c = GetParam();
  const CDownloadListData record = Record(2, 1, "1.000010", 40000);
  CDataImage image(c.path_entry);
  image.File(c.file, "escaped bytes", 8);
  if (*c.nested) image.Nested(c.nested);
  ASSERT_TRUE(standin.Set(kConfUrl, std::string("conf=") + c.image));
  ASSERT_TRUE(mapdata::Serve(standin, ImageUrlPath(record, c.image), image));
  CDownloadDataFromList download(5, 6);
  EXPECT_EQ(Run(download, {record}), 0);
  EXPECT_EQ(charge.GetErrorCode(), CDownloadDataFromList::kConfUnusable);
  EXPECT_TRUE(PieceRequests().empty());
  // Nothing lies above the data set's folder.
  EXPECT_EQ(GetFileAttributesA((data_folder + "escaped.bin.000").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA((root.Root() + "escaped.bin.000").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(log.Contains("サーバ指定のパス名を拒否"));
}

const UnsafeCase kUnsafeCases[] = {
    {"PieceClimbsOut", "MAP\\", "..\\..\\..\\..\\escaped.bin", "", "DATA.CNF"},
    {"PathEntryClimbsOut", "..\\..\\..\\..\\", "escaped.bin", "", "DATA.CNF"},
    {"PathEntryOnADrive", "C:\\", "escaped.bin", "", "DATA.CNF"},
    {"DeviceName", "MAP\\", "CON", "", "DATA.CNF"},
    {"NestedClimbsOut", "MAP\\", "a.bin", "../../../../escaped.bin", "DATA.CNF"},
    {"ImageNamedLikeADevice", "MAP\\", "a.bin", "", "NUL"},
    // Path entries are relative to the image: from a root or on a share
    // they are refused, not made relative.
    {"PathEntryFromTheRoot", "\\MAP\\", "a.bin", "", "DATA.CNF"},
    {"PathEntryFromTheRootWithSlashes", "/MAP/", "a.bin", "", "DATA.CNF"},
    {"PathEntryOnAShare", "\\\\server\\share\\", "a.bin", "", "DATA.CNF"},
    // The entry's own name, not its pieces' ("a.bin..000"), is checked.
    {"EntryNameEndsInADot", "MAP\\", "a.bin.", "", "DATA.CNF"},
    {"EntryNameEndsInABlank", "MAP\\", "a.bin ", "", "DATA.CNF"},
};
INSTANTIATE_TEST_SUITE_P(Names, DownloadUnsafeNameTest, ::testing::ValuesIn(kUnsafeCases),
                         ovtest::CaseName());

TEST_F(DownloadDataTest, NestedImagesWithoutEndAreRefused) {
  const CDownloadListData record = Record(2, 1, "1.000010", 40000);
  // DATA.CNF names N1.CNF, which names N2.CNF, and so on.
  const size_t count = CConfImageChain::kMaxDepth + 4;
  for (size_t i = 0; i <= count; ++i) {
    CDataImage image("");
    image.Nested(FormatString("N%u.CNF", static_cast<unsigned>(i + 1)));
    const std::string name =
        i == 0 ? "DATA.CNF" : FormatString("N%u.CNF", static_cast<unsigned>(i));
    ASSERT_TRUE(mapdata::Serve(standin, ImageUrlPath(record, name), image));
  }
  CDownloadDataFromList download(5, 6);
  EXPECT_EQ(Run(download, {record}), 0);
  EXPECT_EQ(charge.GetErrorCode(), CDownloadDataFromList::kConfUnusable);
  EXPECT_EQ(RequestsUnder("/mapdata/").size(), CConfImageChain::kMaxDepth);
}

TEST_F(DownloadDataTest, AnImageThatNamesItselfIsRefused) {
  // The transfer refuses such a data set: the download does not fetch it
  // to no end.
  const CDownloadListData record = Record(2, 1, "1.000010", 40000);
  CDataImage image("");
  image.File("a.bin", "abc", 2).Nested("DATA.CNF");
  ASSERT_TRUE(mapdata::Serve(standin, ImageUrlPath(record), image));
  CDownloadDataFromList download(5, 6);
  EXPECT_EQ(Run(download, {record}), 0);
  EXPECT_EQ(charge.GetErrorCode(), CDownloadDataFromList::kConfUnusable);
  EXPECT_EQ(CountRequests(ImageUrlPath(record)), 1u);
  EXPECT_TRUE(PieceRequests().empty());
  EXPECT_TRUE(log.Contains("Conf循環参照"));
}

TEST_F(DownloadDataTest, AnImageNamedTwiceBelowIsReadOnce) {
  // DATA.CNF names A.CNF and B.CNF, and both name C.CNF: no loop.
  const CDownloadListData record = Record(2, 1, "1.000010", 40000);
  CDataImage top("");
  top.File("t.bin", "top", 2).Nested("A.CNF").Nested("B.CNF");
  CDataImage a("");
  a.Nested("C.CNF");
  CDataImage b("");
  b.Nested("C.CNF");
  CDataImage c("");
  c.File("c.bin", "bottom", 4);
  ASSERT_TRUE(mapdata::Serve(standin, ImageUrlPath(record), top));
  ASSERT_TRUE(mapdata::Serve(standin, ImageUrlPath(record, "A.CNF"), a));
  ASSERT_TRUE(mapdata::Serve(standin, ImageUrlPath(record, "B.CNF"), b));
  ASSERT_TRUE(mapdata::Serve(standin, ImageUrlPath(record, "C.CNF"), c));
  CDownloadDataFromList download(5, 6);
  EXPECT_EQ(Run(download, {record}), 1);
  EXPECT_EQ(CountRequests(ImageUrlPath(record, "C.CNF")), 1u);
  EXPECT_EQ(download.GetBytesDone(), 9u);
}

TEST_F(DownloadDataTest, AFailedSecondRecordKeepsTheFirstInTheLists) {
  const CDownloadListData first = Record(2, 1, "1.000010", 40000);
  const CDownloadListData second = Record(3, 0, "1.000002", 10);
  ServeDefault(first);
  ASSERT_TRUE(standin.Set(ImageUrlPath(second), "status=404"));
  CDownloadDataFromList download(5, 6);
  EXPECT_EQ(Run(download, {first, second}), 0);
  EXPECT_EQ(charge.GetErrorCode(), 0x120194u);
  ASSERT_EQ(list.GetCount(), 1u);
  EXPECT_EQ(list.GetRecords()[0].version, "1.000010");
  EXPECT_EQ(parameters.size(), 1u);
}

TEST_F(DownloadDataTest, TheMapChargesDownloadStepTakesItsPlan) {
  const CDownloadListData record = Record(2, 1, "1.000010", 40000);
  ServeDefault(record);
  Plan({record}, &list, &parameters);
  charge.SetDownloadPlan(list, parameters);
  EXPECT_TRUE(maptest::CChargeAccess::StartDownloadData(charge));
  EXPECT_EQ(charge.GetErrorCode(), 0u);
  EXPECT_EQ(charge.GetDownloadPlan().GetCount(), 1u);

  ASSERT_TRUE(standin.Set(kConfUrl, "error_code=4"));
  charge.SetDownloadPlan(list, parameters);
  EXPECT_FALSE(maptest::CChargeAccess::StartDownloadData(charge));
  EXPECT_EQ(charge.GetErrorCode(), 0x220004u);
  EXPECT_TRUE(charge.GetDownloadPlan().IsEmpty());
}

TEST_F(DownloadDataTest, TheRetriesFollowTheSettings) {
  const COstrovelleConfig config;
  ASSERT_TRUE(WritePrivateProfileStringA("Map", "RetryMax", "1", config.GetIniPath().c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("Map", "RetryInterval", "2", config.GetIniPath().c_str()));
  maptest::CChargeAccess::Init(charge);
  const CDownloadListData record = Record(2, 1, "1.000010", 40000);
  ServeDefault(record);
  const std::string piece = "/mapdata/02/01/1.000010/MAP/map.dat.000";
  ASSERT_TRUE(standin.Set(piece, "status=503"));
  Plan({record}, &list, &parameters);
  charge.SetDownloadPlan(list, parameters);
  EXPECT_FALSE(maptest::CChargeAccess::StartDownloadData(charge));
  EXPECT_EQ(charge.GetErrorCode(), 0x1401F7u);
  EXPECT_EQ(CountRequests(piece), 2u);
  EXPECT_EQ(pauses.Pauses(), std::vector<DWORD>{2000});
}

}  // namespace
