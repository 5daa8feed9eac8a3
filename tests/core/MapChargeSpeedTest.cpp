// The map charge's line-speed test against the stand-in: the two
// measurements, the report and the threshold, the replies the servers may
// give, the arithmetic of the speed, and a run that is aborted mid-file.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "ChargeKind.h"
#include "CoreMessages.h"
#include "CoreTestSupport.h"
#include "MapChargeTestSupport.h"
#include "map/MapCharge.h"

namespace {

using maptest::CMapChargeFixture;

class MapChargeSpeedTest : public CMapChargeFixture {
 protected:
  // The paths of the requests the stand-in saw, in order.
  std::vector<std::string> Paths() const {
    std::vector<std::string> paths;
    for (const ovtest::StandInRequest& r : standin.Requests()) paths.push_back(r.path);
    return paths;
  }
  std::string FileUrl(size_t size) const {
    return standin.Url("/pcapp/SpeedTestFile?size=" + std::to_string(size));
  }
};

constexpr char kAddress[] = "/pcapp/TransmissionRateUrlAPI";
constexpr char kFile[] = "/pcapp/SpeedTestFile";
constexpr char kReport[] = "/pcapp/TransmissionRateRegistAPI";
constexpr char kLimit[] = "/pcapp/TransmissionRateLimitAPI";

TEST_F(MapChargeSpeedTest, MeasuresTwiceReportsSavesAndPasses) {
  // 1000 bytes in 8 ms: 1000000 bit/s.
  maptest::SetClockStep(8);
  ASSERT_TRUE(standin.Set(kAddress, "file_size=1000"));
  ASSERT_TRUE(standin.Set(kLimit, "limit=1000000"));
  ASSERT_TRUE(charge.SpeedTest().Run());
  EXPECT_EQ(charge.GetLineSpeed(), 1000000u);
  EXPECT_EQ(charge.GetErrorCode(), 0u);
  EXPECT_EQ(Paths(), (std::vector<std::string>{kAddress, kFile, kAddress, kFile, kReport, kLimit}));
  const std::vector<ovtest::StandInRequest> requests = standin.Requests();
  EXPECT_EQ(requests[0].form.at("circuit_type"), "0");
  // The card's program record: year 2011, version 2.000001.
  EXPECT_EQ(requests[0].Header("User-Agent"), "11VuqTRNO/2.000001");
  EXPECT_EQ(requests[1].method, "POST");
  EXPECT_EQ(requests[1].body, "");
  // The second address request carries the first measurement.
  EXPECT_EQ(requests[2].form.at("circuit_type"), "4");
  EXPECT_EQ(requests[4].form.at("speed"), "1000000");
  EXPECT_EQ(requests[4].form.at("deviceno"), requests[5].form.at("deviceno"));
  EXPECT_EQ(requests[5].form.count("speed"), 0u);
  EXPECT_EQ(maptest::SavedSpeedOfLine(), 1000000);
}

TEST_F(MapChargeSpeedTest, SavedSpeedAsksOnlyTheThreshold) {
  maptest::SaveSpeedOfLine("3000000");
  ASSERT_TRUE(charge.SpeedTest().Run());
  EXPECT_EQ(charge.GetLineSpeed(), 3000000u);
  EXPECT_EQ(Paths(), (std::vector<std::string>{kLimit}));
}

TEST_F(MapChargeSpeedTest, TooSlowFailsAndForgetsTheSpeed) {
  maptest::SaveSpeedOfLine("1000000");
  ASSERT_TRUE(standin.Set(kLimit, "limit=2000000"));
  EXPECT_FALSE(charge.SpeedTest().Run());
  EXPECT_EQ(charge.GetErrorCode(), 0x10106u);
  EXPECT_TRUE(log.Contains("CMapCharge::_SpeedTest - 回線速度不足 NOW:1000000 SRV:2000000"));
  EXPECT_EQ(maptest::SavedSpeedOfLine(), 0);
}

struct ThresholdCase {
  const char* name;
  std::string scenario;
  bool passes;
  uint32_t code;
};

void PrintTo(const ThresholdCase& c, std::ostream* os) { *os << c.name; }

class MapChargeThresholdTest : public MapChargeSpeedTest,
                               public ::testing::WithParamInterface<ThresholdCase> {};

TEST_P(MapChargeThresholdTest, DecidesThePass) {
  const ThresholdCase& c = GetParam();
  maptest::SaveSpeedOfLine("1000");
  ASSERT_TRUE(standin.Set(kLimit, c.scenario));
  EXPECT_EQ(charge.SpeedTest().Run(), c.passes);
  EXPECT_EQ(charge.GetErrorCode(), c.code);
  EXPECT_FALSE(log.Contains("回線速度不足"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MapChargeThresholdTest,
    ::testing::Values(
        // An unreachable threshold leaves it at 0: the test passes.
        ThresholdCase{"HttpErrorPasses", "status=500", true, 0x1901F4},
        ThresholdCase{"ServerRefusal", "ret=3", false, 0x290003},
        ThresholdCase{"NoLimitValue", "reply_hex=5245543D30", false, 0x29FFFF},  // "RET=0"
        ThresholdCase{"LimitWithoutDigits", "reply_hex=5245543D30264C494D49543D78", false,
                      0x29FFFF}),  // "RET=0&LIMIT=x"
    ovtest::CaseName());

struct ExchangeFailureCase {
  const char* name;
  const char* path;
  std::string scenario;
  uint32_t code;
  const char* line;
};

void PrintTo(const ExchangeFailureCase& c, std::ostream* os) { *os << c.name; }

class MapChargeExchangeFailureTest : public MapChargeSpeedTest,
                                     public ::testing::WithParamInterface<ExchangeFailureCase> {};

TEST_P(MapChargeExchangeFailureTest, FailsWithItsCode) {
  const ExchangeFailureCase& c = GetParam();
  maptest::SetClockStep(8);
  ASSERT_TRUE(standin.Set(kAddress, "file_size=1000"));
  ASSERT_TRUE(standin.Set(c.path, c.scenario));
  EXPECT_FALSE(charge.SpeedTest().Run());
  EXPECT_EQ(charge.GetErrorCode(), c.code);
  EXPECT_TRUE(log.Contains(c.line)) << log.Text();
  EXPECT_EQ(maptest::SavedSpeedOfLine(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MapChargeExchangeFailureTest,
    ::testing::Values(
        ExchangeFailureCase{"AddressRefused", kAddress, "ret=5", 0x270005,
                            "回線速度計測用コンテンツURL取得失敗"},
        ExchangeFailureCase{"AddressWithoutUrl", kAddress, "reply_hex=5245543D30", 0x27FFFF,
                            "回線速度計測用コンテンツURL取得失敗"},
        // Success without an address; the measurement then has nothing to fetch.
        ExchangeFailureCase{"AddressReplyWithoutRet", kAddress, "reply_hex=6F6B", 0x11FF04,
                            "回線速度計測失敗"},
        ExchangeFailureCase{"AddressHttpError", kAddress, "status=404", 0x170194,
                            "回線速度計測用コンテンツURL取得失敗"},
        ExchangeFailureCase{"EmptyTestFile", kAddress, "file_size=0", 0x21FFFF, "回線速度計測失敗"},
        ExchangeFailureCase{"TestFileHttpError", kFile, "status=503", 0x1101F7, "回線速度計測失敗"},
        ExchangeFailureCase{"ReportRefused", kReport, "ret=7", 0x280007, "回線速度通知失敗"},
        ExchangeFailureCase{"ReportNotRet", kReport, "reply_hex=4E47", 0x28FFFF,
                            "回線速度通知失敗"}),
    ovtest::CaseName());

struct SpeedCase {
  const char* name;
  size_t size;
  DWORD step_ms;
  uint32_t speed;
};

void PrintTo(const SpeedCase& c, std::ostream* os) { *os << c.name; }

class MapChargeSpeedArithmeticTest : public MapChargeSpeedTest,
                                     public ::testing::WithParamInterface<SpeedCase> {};

TEST_P(MapChargeSpeedArithmeticTest, Measures) {
  const SpeedCase& c = GetParam();
  maptest::SetClockStep(c.step_ms);
  std::string address = FileUrl(c.size);
  uint32_t speed = 77;
  // The measurement leaves its verdict in the speed, not in its result.
  EXPECT_FALSE(charge.SpeedTest().MeasurementSpeedOfLine(kSpeedModeMeasure, &address, &speed));
  EXPECT_EQ(speed, c.speed);
  EXPECT_EQ(charge.GetErrorCode(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MapChargeSpeedArithmeticTest,
    ::testing::Values(SpeedCase{"ZeroMsCountsAsOne", 1000, 0, 8000000},
                      SpeedCase{"OneMs", 1000, 1, 8000000}, SpeedCase{"TwoMs", 1000, 2, 4000000},
                      // 300000 x 8000 wraps 32 bits; the speed stays at its ceiling.
                      SpeedCase{"FastLineIsClamped", 300000, 0, 0x7FFFFFFF},
                      SpeedCase{"BeyondThirtyTwoBits", 600000, 1, 0x7FFFFFFF},
                      // 1 byte in 100 s: 0.08 bit/s, yet the file came.
                      SpeedCase{"SlowLineIsAtLeastOne", 1, 100000, 1},
                      SpeedCase{"PreciseRounding", 3, 7, 3428}),
    ovtest::CaseName());

TEST_F(MapChargeSpeedTest, UnknownModeAndMissingCard) {
  uint32_t value = 0;
  EXPECT_FALSE(charge.SpeedTest().MeasurementSpeedOfLine(0x20000, nullptr, &value));
  EXPECT_EQ(charge.GetErrorCode(), 0x420000u);
  EXPECT_TRUE(log.Contains("CMapCharge::_MeasurementSpeedOfLine - パラメータ不正[para=131072]"));

  CMapCharge no_card;
  no_card.SetDriveLetter(coretest::MissingDriveLetter());
  EXPECT_FALSE(no_card.SpeedTest().Run());
  EXPECT_EQ(no_card.GetErrorCode(), 0x1FF06u);
  EXPECT_TRUE(Paths().empty());
}

TEST_F(MapChargeSpeedTest, MissingIdentityFailsTheBodies) {
  maptest::WriteCard(card.Letter(), maptest::DefaultCard().CcidHead(0));
  maptest::CChargeAccess::Init(charge);
  maptest::SetClockStep(8);
  ASSERT_TRUE(standin.Set(kAddress, "file_size=1000"));
  EXPECT_FALSE(charge.SpeedTest().Run());
  EXPECT_EQ(charge.GetErrorCode(), 0x8FF05u);
  EXPECT_TRUE(log.Contains("計測結果通知のPOSTデータ生成失敗"));
}

struct ReplyCase {
  const char* name;
  std::string reply;
  uint32_t uri;
  std::string address;
  uint32_t threshold_result;
  uint32_t threshold;
  uint32_t report;
};

void PrintTo(const ReplyCase& c, std::ostream* os) { *os << c.name; }

class MapChargeReplyTest : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(MapChargeReplyTest, ReadsWithExplicitLength) {
  const ReplyCase& c = GetParam();
  // A byte past the reply that a reader must not take for part of it.
  const std::string bytes = c.reply + "9";
  std::string address = "old";
  EXPECT_EQ(CMapSpeedTest::AnalyzeSpeedTestUri(&address, c.reply.size(), bytes.data()), c.uri);
  EXPECT_EQ(address, c.address);
  uint32_t threshold = 0;
  EXPECT_EQ(CMapSpeedTest::AnalyzeThreshold(bytes.data(), c.reply.size(), &threshold),
            c.threshold_result);
  EXPECT_EQ(threshold, c.threshold);
  EXPECT_EQ(CMapSpeedTest::AnalyzeSpeedReport(bytes.data(), c.reply.size()), c.report);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MapChargeReplyTest,
    ::testing::Values(
        ReplyCase{"Good", "RET=0&URL=http://h/f&LIMIT=5", 0, "http://h/f&LIMIT=5", 0, 5, 0},
        ReplyCase{"LineEndAfterAddress", "RET=0&URL=http://h/f\r\n", 0, "http://h/f", 1, 0, 0},
        ReplyCase{"ServerCode", "RET=12&URL=x", 0x1000000C, "", 0x1000000C, 0, 0x1000000C},
        ReplyCase{"NoRet", "URL=x&LIMIT=3", 0, "", 0, 0, 1},
        ReplyCase{"RetOnly", "RET=0", 1, "", 1, 0, 0},
        ReplyCase{"LimitFirst", "RET=0&LIMIT=0&URL=u", 0, "u", 0, 0, 0},
        ReplyCase{"Empty", "", 1, "old", 1, 0, 1}),
    ovtest::CaseName());

TEST_F(MapChargeSpeedTest, RunAbortedMidFileReportsTheAbort) {
  // 1 MB paced at 1000 bytes per 50 ms: the abort comes long before the end.
  ASSERT_TRUE(standin.Set(kAddress, "file_size=1000000"));
  ASSERT_TRUE(standin.Set(kFile, "pace_bytes=1000&pace_ms=50"));
  // A whole run needs the card's link file.
  ASSERT_TRUE(maptest::DefaultCard().WriteCard(card.Letter(), true));
  coretest::CRecorderWindow window;
  coretest::CFakeStore store;
  charge.SetTargetWindow(window.Get());
  charge.SetStore(&store);
  ASSERT_TRUE(charge.Start());
  ASSERT_TRUE(standin.WaitForRequests(2, 10000));
  charge.Abort(1000);
  const UINT error = coretest::Msg(kMsgNotifyError);
  const UINT finish = coretest::Msg(kMsgNotifyFinish);
  ASSERT_TRUE(coretest::PumpUntil([&] { return window.Count(finish) >= 1; }, 20000));
  ASSERT_EQ(window.Count(error), 1u);
  EXPECT_EQ(window.Of(error)[0].wparam, (CHARGE_KIND_MAP << 24) | 0x1FF00u);
  EXPECT_TRUE(log.Contains("回線速度測定ユーザキャンセル"));
  // Recorded as an abort, not as a failure.
  ASSERT_EQ(store.card_history.size(), 1u);
  EXPECT_EQ(store.card_history[0].stage, 3u);
  EXPECT_EQ(standin.Requests().size(), 2u);
}

}  // namespace
