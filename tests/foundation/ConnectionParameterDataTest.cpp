// Request parameter values: formatting, cutting, encoding and the bundles.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "ConnectionParameterData.h"
#include "Folders.h"
#include "StringUtil.h"
#include "TestSupport.h"

namespace {

struct FormatCase {
  const char* name;
  const char* format;
  std::vector<int64_t> values;
  bool ok;
  const char* expected;
};

class FormatParameterValueTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatParameterValueTest, KnownAnswers) {
  const FormatCase& c = GetParam();
  std::string out = "untouched";
  EXPECT_EQ(c.ok, FormatParameterValue(c.format, c.values.data(), c.values.size(), &out));
  EXPECT_EQ(c.ok ? std::string(c.expected) : std::string("untouched"), out);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, FormatParameterValueTest,
    ::testing::Values(
        FormatCase{"HexPadded", "%08X", {0x1A}, true, "0000001A"},
        FormatCase{"HexOfNegative", "%X", {-1}, true, "FFFFFFFF"},
        FormatCase{"DecimalPadded", "%04d", {7}, true, "0007"},
        FormatCase{"NegativeDecimal", "%d", {-42}, true, "-42"},
        FormatCase{"NegativePadded", "%04d", {-5}, true, "-005"},
        FormatCase{"YearEdition", "%04d年度版", {2012}, true, "2012年度版"},
        FormatCase{"MapVersion", "‐/%d.%06d", {3, 1502}, true, "‐/3.001502"},
        FormatCase{
            "Date", "%04d%02d%02d%02d%02d%02d", {2012, 3, 4, 5, 6, 7}, true, "20120304050607"},
        FormatCase{"Version", "%X.%06X", {0x1A, 0x203}, true, "1A.000203"},
        FormatCase{"Percent", "100%%", {}, true, "100%"},
        FormatCase{"TextConversionRefused", "%s", {1}, false, ""},
        FormatCase{"TooFewValues", "‐/%d.%06d", {3}, false, ""},
        FormatCase{"TooManyValues", "%d", {1, 2}, false, ""},
        FormatCase{"SixtyFourBitFormatRefused", "%016I64X", {1}, false, ""},
        FormatCase{"DanglingPercent", "%", {1}, false, ""}),
    ovtest::CaseName());

TEST(ConnectionParameterData, TableHasItsRowsWithUniqueIds) {
  size_t count = 0;
  const ConnectionParameterRow* rows = ConnectionParameterData::Rows(&count);
  ASSERT_EQ(59u, count);
  std::set<int> ids;
  for (size_t i = 0; i < count; ++i) ids.insert(rows[i].id);
  EXPECT_EQ(count, ids.size());
  EXPECT_EQ("ccid", ConnectionParameterData::GetKey(7));
  EXPECT_EQ("type01_%02d", ConnectionParameterData::GetKey(72));
  EXPECT_EQ("", ConnectionParameterData::GetKey(12345));
  EXPECT_FALSE(ConnectionParameterData::IsRequired(103));
  EXPECT_TRUE(ConnectionParameterData::IsRequired(1));
  EXPECT_TRUE(ConnectionParameterData::IsRequired(12345));
}

TEST(ConnectionParameterData, CcidHeadIsLowHalfDecimalThenHighHalfHex) {
  ConnectionParameterData data;
  data.SetCcidHeadParameter(8, 0x00120034);
  EXPECT_EQ("00520012", data.GetValue(8));
  data.SetCcidHeadParameter(8, 0xABCDFFFF);
  EXPECT_EQ("65535ABCD", data.GetValue(8));
}

TEST(ConnectionParameterData, IntSetterOnlyTakesNumberRows) {
  ConnectionParameterData data;
  data.SetIntParameter(3, 5);  // a text row
  data.SetIntParameter(4242, 5);
  data.SetIntParameter(33, 5);  // its format wants two numbers
  data.SetIntParameter(90, 5);  // its format wants a text
  EXPECT_FALSE(data.HasValue(3));
  EXPECT_FALSE(data.HasValue(4242));
  EXPECT_FALSE(data.HasValue(33));
  EXPECT_FALSE(data.HasValue(90));
  data.SetIntParameter(11, 3);
  EXPECT_EQ("0003", data.GetValue(11));
  data.SetIntParameter(62, 2012);
  // Encoded: the row says so, and the edition text is Japanese.
  EXPECT_EQ("2012%E5%B9%B4%E5%BA%A6%E7%89%88", data.GetValue(62));
}

TEST(ConnectionParameterData, FixedLengthTextIsCutFreeLengthIsNot) {
  ConnectionParameterData data;
  data.SetParameter(31, "ABCDEFGHIJKL");
  EXPECT_EQ("ABCDEFGHIJ", data.GetValue(31));
  // Never half a character: the tenth byte would start 表.
  data.SetParameter(31, "123456789表");
  EXPECT_EQ("123456789", data.GetValue(31));
  const std::string long_text(300, 'x');
  data.SetParameter(1, long_text.c_str());
  EXPECT_EQ(long_text, data.GetValue(1));
}

TEST(ConnectionParameterData, EncodeFlagDecidesPercentEncoding) {
  ConnectionParameterData data;
  data.SetParameter(1, "a b&c=d");
  data.SetParameter(32, "a b&c=d");             // every text of a form body
  data.SetParameter(90, "C:\\log dir\\x.log");  // the upload's file, read from there
  EXPECT_EQ("a%20b%26c%3Dd", data.GetValue(1));
  EXPECT_EQ("a%20b%26c%3Dd", data.GetValue(32));
  EXPECT_EQ("C:\\log dir\\x.log", data.GetValue(90));
}

TEST(ConnectionParameterData, LaterSetReplacesAndCopiesAreIndependent) {
  ConnectionParameterData data;
  data.SetParameter(1, "first");
  ConnectionParameterData copy(data);
  data.SetParameter(1, "second");
  EXPECT_EQ("second", data.GetValue(1));
  EXPECT_EQ("first", copy.GetValue(1));
  data.SetParameter(1, nullptr);
  EXPECT_EQ("second", data.GetValue(1));
}

TEST(ConnectionParameterData, BundlesCheckTheirArguments) {
  ConnectionParameterData data;
  EXPECT_FALSE(data.SetUserParameters("nick", nullptr, "DEV", 1));
  EXPECT_FALSE(data.SetUserParameters("nick", "pw", "DEV", 0));
  EXPECT_FALSE(data.SetUserAgentParameters(nullptr, "nick", 1));
  EXPECT_FALSE(data.SetDeviceParameters("DEV", 0));
  EXPECT_FALSE(data.SetLogFileParameters("DEV", 1, nullptr));
  EXPECT_FALSE(data.HasValue(1) || data.HasValue(2) || data.HasValue(3) || data.HasValue(8) ||
               data.HasValue(200) || data.HasValue(90));

  ASSERT_TRUE(data.SetUserParameters("ニック", "p@ss", "0123ABCD", 0x00120034));
  EXPECT_EQ("%E3%83%8B%E3%83%83%E3%82%AF", data.GetValue(1));
  EXPECT_EQ("p%40ss", data.GetValue(2));
  EXPECT_EQ("0123ABCD", data.GetValue(3));
  EXPECT_EQ("00520012", data.GetValue(8));

  ASSERT_TRUE(data.SetUserAgentParameters("11VuqTRNO/1.000203", "nick", 7));
  EXPECT_EQ("11VuqTRNO%2F1%2E000203", data.GetValue(200));
  EXPECT_EQ("7", data.GetValue(201));
  EXPECT_EQ("nick", data.GetValue(202));

  ASSERT_TRUE(data.SetLogFileParameters("DEV", 2, "C:\\a b.log"));
  EXPECT_EQ("C:\\a b.log", data.GetValue(90));
  EXPECT_EQ("00020000", data.GetValue(8));
}

TEST(ConnectionParameterData, AplParametersCarryTheProgramsVersion) {
  ConnectionParameterData data;
  ASSERT_TRUE(data.SetAplParameters(2));
  EXPECT_EQ(PercentEncode(ConnectionParameterData::GetAplVersion(nullptr)), data.GetValue(10));
  EXPECT_EQ("0002", data.GetValue(11));
}

TEST(ConnectionParameterData, AplVersionOfFiles) {
  EXPECT_EQ("1.2.0.5", ConnectionParameterData::NormalizeVersionText("1, 2, 0, 5"));
  // The test program carries the project's version block.
  const std::string own = ConnectionParameterData::GetAplVersion(nullptr);
  EXPECT_EQ(4, std::count(own.begin(), own.end(), '.') + 1) << own;
  EXPECT_EQ(std::string::npos, own.find_first_of(", "));

  ovtest::CTempDir dir;
  EXPECT_EQ("0.0.0.0", ConnectionParameterData::GetAplVersionOfFile(""));
  EXPECT_EQ("0.0.0.1", ConnectionParameterData::GetAplVersionOfFile(dir.File("missing.exe")));
  ASSERT_TRUE(ovtest::WriteFileBytes(dir.File("plain.exe"), "no version block here"));
  EXPECT_EQ("0.0.0.2", ConnectionParameterData::GetAplVersionOfFile(dir.File("plain.exe")));
}

}  // namespace
