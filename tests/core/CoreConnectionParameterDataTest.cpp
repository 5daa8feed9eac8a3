// The core's request parameter setters and bundles, and the bodies built from them.
#include <gtest/gtest.h>

#include <climits>

#include "ConnectionFile.h"
#include "StringUtil.h"
#include "CoreConnectionParameterData.h"
#include "TestSupport.h"

namespace {

using core::ConnectionParameterData;
using core::ReceiverItem;
using core::TrafficRequest;

SYSTEMTIME Time(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
  SYSTEMTIME t = {};
  t.wYear = year;
  t.wMonth = month;
  t.wDay = day;
  t.wHour = hour;
  t.wMinute = minute;
  t.wSecond = second;
  t.wDayOfWeek = 6;
  t.wMilliseconds = 999;
  return t;
}

ReceiverItem Item(BYTE type01, BYTE type02, BYTE cl, const char* version) {
  ReceiverItem item;
  item.type01 = type01;
  item.type02 = type02;
  item.cl = cl;
  item.version = version;
  item.date = Time(2012, 3, 4, 5, 6, 7);
  return item;
}

TrafficRequest Traffic() {
  TrafficRequest r;
  r.ccid = "CC";
  r.otp = "one-time";
  r.map_version = 0x030005DE;
  r.vics = 7;
  r.target_point = "35.1,139.2";
  r.base_point = "35.0,139.0";
  r.comp_type = 0x101;
  r.traffic_class = 2;
  r.max = 500;
  r.range = "10";
  r.geo = "g";
  r.accuracy = 0x203;
  r.max_link = 1000;
  r.crypto_type = 1;
  return r;
}

TEST(CoreConnectionParameterData, TypedSettersOnlyTakeTheirRows) {
  ConnectionParameterData data;
  data.SetByteParameter(60, 0x0A);
  data.SetByteParameter(8, 0x0A);  // a number row
  data.SetVersionParameter(80, 0x1A000203);
  data.SetVersionParameter(60, 1);  // a byte row: stays "0A"
  EXPECT_EQ("0A", data.GetValue(60));
  EXPECT_FALSE(data.HasValue(8));
  EXPECT_EQ("1A%2E000203", data.GetValue(80));

  data.SetIndexedByteParameter(72, 0xFF, 5);
  data.SetIndexedByteParameter(76, 9, 6);
  data.SetIndexedByteParameter(72, 1, 100);  // index out of range
  data.SetIndexedByteParameter(60, 1, 3);    // no key pattern
  data.SetIndexedDateParameter(75, Time(2012, 3, 4, 5, 6, 7), 0);
  data.SetIndexedDateParameter(75, Time(2012, 3, 4, 5, 6, 7), 100);
  data.SetIndexedTextParameter(74, "1.000001", 2);
  data.SetIndexedTextParameter(63, "ver 1", -1);
  data.SetIndexedTextParameter(63, nullptr, -1);
  const std::map<std::string, std::string> expected = {
      {"type01_05", "FF"}, {"cl_06", "9"}, {"date_00", "20120304050607"}, {"ver_02", "1%2E000001"}};
  EXPECT_EQ(expected, data.FreePairs());
  EXPECT_EQ("ver%201", data.GetValue(63));
}

TEST(CoreConnectionParameterData, ReceiverListBecomesIndexedPairs) {
  ConnectionParameterData data;
  EXPECT_FALSE(data.SetReceiverParameter(1, "DEV", {}, 1));
  EXPECT_FALSE(data.SetReceiverParameter(0, "DEV", {Item(1, 2, 3, "v")}, 1));
  EXPECT_TRUE(data.FreePairs().empty());

  ASSERT_TRUE(data.SetReceiverParameter(
      0x00010002, "DEV", {Item(1, 2, 0, "1.0"), Item(0x1A, 0, 1, "2.0"), Item(3, 4, 2, "3.0")}, 1));
  EXPECT_EQ("3", data.GetValue(71));
  EXPECT_EQ("1", data.GetValue(70));
  EXPECT_EQ(15u, data.FreePairs().size());
  EXPECT_EQ("1A", data.FreePairs().at("type01_01"));
  EXPECT_EQ("04", data.FreePairs().at("type02_02"));
  EXPECT_EQ("2", data.FreePairs().at("cl_02"));
  EXPECT_EQ("3%2E0", data.FreePairs().at("ver_02"));
  EXPECT_EQ("20120304050607", data.FreePairs().at("date_00"));
}

TEST(CoreConnectionParameterData, ReceiverItemsBeyondTheIndexRangeGetNoBytesOrDates) {
  std::vector<ReceiverItem> items(101, Item(1, 2, 3, "v"));
  ConnectionParameterData data;
  ASSERT_TRUE(data.SetReceiverParameter(1, "DEV", items, 1));
  EXPECT_EQ("101", data.GetValue(71));
  EXPECT_EQ(1u, data.FreePairs().count("type01_99"));
  EXPECT_EQ(0u, data.FreePairs().count("type01_100"));
  EXPECT_EQ(0u, data.FreePairs().count("date_100"));
  EXPECT_EQ(0u, data.FreePairs().count("cl_100"));
}

TEST(CoreConnectionParameterData, ReceiverFormBody) {
  ConnectionParameterData data;
  ASSERT_TRUE(data.SetReceiverParameter(0x00120034, "DEV",
                                        {Item(1, 2, 0, "1.0"), Item(0x1A, 0, 1, "2.0")}, 1));
  ovtest::CTempDir dir;
  CConnectionFile connections(dir.File("Connection.info"));
  connections.SetParameters(data);
  std::string body;
  ASSERT_TRUE(connections.BuildFormData(18, &body));
  EXPECT_EQ(
      "fc=1&ccid_head=00520012&deviceno=DEV&count_data=2"
      "&cl_00=0&cl_01=1&date_00=20120304050607&date_01=20120304050607"
      "&type01_00=01&type01_01=1A&type02_00=02&type02_01=00&ver_00=1%2E0&ver_01=2%2E0",
      body);
}

TEST(CoreConnectionParameterData, DownloadListSendsZudovVersionOnlyWhenKnown) {
  ConnectionParameterData without;
  ASSERT_TRUE(without.SetDownloadListParameter(0x01000001, 0x01000002, 0x01000003, 0x01000004, 0,
                                               "DEV", 5));
  EXPECT_FALSE(without.HasValue(84));
  EXPECT_EQ("1%2E000003", without.GetValue(82));
  EXPECT_EQ(PercentEncode(ConnectionParameterData::GetAplVersion(nullptr)), without.GetValue(85));
  ConnectionParameterData with;
  ASSERT_TRUE(with.SetDownloadListParameter(1, 2, 3, 4, 0x02000010, "DEV", 5));
  EXPECT_EQ("2%2E000010", with.GetValue(84));
  EXPECT_EQ("0%2E000001", with.GetValue(80));
  ConnectionParameterData refused;
  EXPECT_FALSE(refused.SetDownloadListParameter(1, 2, 3, 4, 5, nullptr, 5));
  EXPECT_FALSE(refused.HasValue(80));
}

TEST(CoreConnectionParameterData, TrafficRequest) {
  ConnectionParameterData data;
  ASSERT_TRUE(data.SetTrafficRequestParameter(Traffic(), 0x2012));
  EXPECT_EQ("‐/3.001502", data.GetValue(33));
  EXPECT_EQ("2012", data.GetValue(43));
  EXPECT_EQ("1", data.GetValue(34));  // low byte
  EXPECT_EQ("3", data.GetValue(40));
  EXPECT_EQ("one%2Dtime", data.GetValue(32));
  EXPECT_EQ("35%2E1%2C139%2E2", data.GetValue(41));
  EXPECT_FALSE(data.HasValue(100));

  ConnectionParameterData link;
  ASSERT_TRUE(link.SetTrafficRequestLinkYearParameter(Traffic(), 2019));
  EXPECT_EQ("2019", link.GetValue(100));
  EXPECT_FALSE(link.HasValue(43));

  TrafficRequest missing = Traffic();
  missing.otp = nullptr;
  ConnectionParameterData refused;
  EXPECT_FALSE(refused.SetTrafficRequestParameter(missing, 0x2012));
  EXPECT_FALSE(refused.SetTrafficRequestParameter(Traffic(), 0));
  EXPECT_FALSE(refused.SetTrafficRequestLinkYearParameter(Traffic(), 0));
  EXPECT_FALSE(refused.HasValue(7));
}

TEST(CoreConnectionParameterData, MapYearThatIsNotDecimalIsRefusedByTheBody) {
  ConnectionParameterData data;
  ASSERT_TRUE(data.SetTrafficRequestParameter(Traffic(), 0x20AB));
  EXPECT_FALSE(data.HasValue(43));
  ovtest::CTempDir dir;
  ovtest::CLogCapture log(true);
  CConnectionFile connections(dir.File("Connection.info"));
  connections.SetParameters(data);
  std::string body;
  EXPECT_FALSE(connections.BuildFormData(12, &body));
  EXPECT_TRUE(log.Contains("送信データ作成失敗:必須データなし"));
  EXPECT_FALSE(log.Contains("one-time"));
}

struct SpeedCase {
  const char* name;
  uint32_t speed;
  int circuit;
};

class CircuitTypeTest : public ::testing::TestWithParam<SpeedCase> {};

TEST_P(CircuitTypeTest, Thresholds) {
  ConnectionParameterData data;
  ASSERT_TRUE(data.SetSpeedURLParameter(GetParam().speed));
  EXPECT_EQ(std::to_string(GetParam().circuit), data.GetValue(78));
}

INSTANTIATE_TEST_SUITE_P(Speeds, CircuitTypeTest,
                         ::testing::Values(SpeedCase{"None", 0, 0}, SpeedCase{"One", 1, 4},
                                           SpeedCase{"OneMegabit", 1000000, 4},
                                           SpeedCase{"AboveOneMegabit", 1000001, 3},
                                           SpeedCase{"FiveMegabit", 5000000, 3},
                                           SpeedCase{"AboveFiveMegabit", 5000001, 2},
                                           SpeedCase{"TwentyMegabit", 20000000, 2},
                                           SpeedCase{"AboveTwentyMegabit", 20000001, 1},
                                           SpeedCase{"Largest", UINT_MAX, 1}),
                         ovtest::CaseName());

TEST(CoreConnectionParameterData, SmallBundles) {
  ConnectionParameterData data;
  ASSERT_TRUE(data.SetOneTimePasswordParameter("0123456789ABCDEF", 0x00120034, 3));
  EXPECT_EQ("0123456789ABCDEF", data.GetValue(4));
  EXPECT_EQ("00520012", data.GetValue(9));
  EXPECT_EQ("03", data.GetValue(30));

  ASSERT_TRUE(data.SetUserDiruParameter("CC", "U", "ニック", "M1", "", "1.0", "2.0", 4));
  EXPECT_EQ("", data.GetValue(103));
  EXPECT_EQ(PercentEncode("ニック"), data.GetValue(101));  // encoded like every text
  EXPECT_FALSE(data.SetUserNickParameter("CC", nullptr, "n", 1));

  ASSERT_TRUE(data.SetPortalParameter("UA/1", "nick", 0x10, 0x20, "1.2", 2012, 9));
  EXPECT_EQ("10", data.GetValue(60));
  EXPECT_EQ("20", data.GetValue(61));
  EXPECT_EQ("1%2E2", data.GetValue(203));
  EXPECT_EQ("2012", data.GetValue(204));
  EXPECT_EQ("9", data.GetValue(201));

  ASSERT_TRUE(data.SetConfUrlParameter(1, "DEV", 0x30, 0x40, "3"));
  EXPECT_EQ("30", data.GetValue(60));
  ASSERT_TRUE(data.SetSpeedRegistParameter(1, "DEV", 123456));
  EXPECT_EQ("123456", data.GetValue(77));
  EXPECT_FALSE(data.SetSpeedRegistParameter(0, "DEV", 1));
}

}  // namespace
