// Text helpers: formatting, splitting, encodings, command-line tokens.
#include "StringUtil.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

TEST(FormatString, GrowsUntilTheTextFits) {
  const std::string big(5000, 'x');
  const std::string s = FormatString("[%s]", big.c_str());
  ASSERT_EQ(s.size(), 5002u);
  EXPECT_EQ(s.front(), '[');
  EXPECT_EQ(s.back(), ']');
  EXPECT_EQ(FormatString("%d-%s-%08X", 42, "ab", 0xBEEFu), "42-ab-0000BEEF");
}

TEST(ReplaceAll, DoesNotSearchInsideItsOwnReplacement) {
  std::string s = "a.b.c";
  ReplaceAll(s, ".", "..");
  EXPECT_EQ(s, "a..b..c");
  std::string t = "xx";
  ReplaceAll(t, "", "y");  // nothing to find: unchanged, no endless loop
  EXPECT_EQ(t, "xx");
}

TEST(TrimAndRemove, OnlyTheEndIsTrimmed) {
  EXPECT_EQ(TrimString("  ab  "), "  ab");
  EXPECT_EQ(TrimChar("ab///", '/'), "ab");
  EXPECT_EQ(TrimChar("////", '/'), "");
  EXPECT_EQ(RemoveChar("a-b-c", '-'), "abc");
}

struct SplitCase {
  const char* name;
  const char* text;
  const char* separator;
  size_t max_parts;
  std::vector<std::string> parts;
};

class SplitStringTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitStringTest, Splits) {
  const SplitCase& c = GetParam();
  EXPECT_EQ(SplitString(c.text, c.separator, c.max_parts), c.parts);
  std::vector<std::wstring> wide;
  for (const auto& p : c.parts) wide.push_back(ToWide(p));
  EXPECT_EQ(SplitStringW(ToWide(c.text), ToWide(c.separator), c.max_parts), wide);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitStringTest,
    ::testing::Values(SplitCase{"EmptyMiddleKept", "x,,y", ",", 0, {"x", "", "y"}},
                      SplitCase{"TrailingSeparatorDropped", "x,y,", ",", 0, {"x", "y"}},
                      SplitCase{"LeadingSeparator", ",x", ",", 0, {"", "x"}},
                      SplitCase{"Empty", "", ",", 0, {}},
                      SplitCase{"NoSeparator", "abc", ",", 0, {"abc"}},
                      SplitCase{"MaximumKeepsRest", "a=b=c", "=", 2, {"a", "b=c"}},
                      SplitCase{"LongSeparator", "a<>b<>c", "<>", 0, {"a", "b", "c"}}),
    ovtest::CaseName());

TEST(CaseConversion, MapsLettersAndKeepsJapanese) {
  EXPECT_EQ(ToUpper("abcXYZ表"), "ABCXYZ表");
  EXPECT_EQ(ToLower("ABCxyzソ"), "abcxyzソ");
  EXPECT_EQ(ToUpperW(L"ab\u8868"), L"AB\u8868");
}

TEST(Conversion, RoundTripsCodePage932ThroughUtf16) {
  const std::string sjis = "表示ソフト";
  const std::wstring wide = ToWide(sjis);
  EXPECT_EQ(wide, L"\u8868\u793a\u30bd\u30d5\u30c8");
  EXPECT_EQ(ToMultiByte(wide), sjis);
  std::string utf8;
  ASSERT_TRUE(ConvertCodePage(sjis, 932, CP_UTF8, &utf8));
  EXPECT_EQ(utf8, "\xE8\xA1\xA8\xE7\xA4\xBA\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88");
  std::string back;
  ASSERT_TRUE(ConvertCodePage(utf8, CP_UTF8, 932, &back));
  EXPECT_EQ(back, sjis);
  std::string out = "untouched";
  EXPECT_FALSE(ConvertCodePage("\xFF\xFE\xC0", CP_UTF8, 932, &out));
  EXPECT_EQ(out, "untouched");
}

TEST(PercentEncode, EncodesEverythingButLettersAndDigits) {
  EXPECT_EQ(PercentEncode("a.b"), "a%2Eb");
  EXPECT_EQ(PercentEncode("A z-_*9"), "A%20z%2D%5F%2A9");
  // Three groups per character: its UTF-8 bytes.
  EXPECT_EQ(PercentEncode("表"), "%E8%A1%A8");
  EXPECT_EQ(PercentEncode(""), "");
}

TEST(HexText, KnownAnswers) {
  char out[64];
  size_t size = sizeof(out);
  ASSERT_TRUE(HexEncodeText("abc", out, &size, false));
  EXPECT_STREQ(out, "363136323633");
  size = sizeof(out);
  ASSERT_TRUE(HexEncodeText("abc", out, &size, true));
  EXPECT_STREQ(out, "631363236333");
}

TEST(HexText, RoundTripsEveryByteValueBothWays) {
  std::string all;
  for (int i = 1; i < 256; ++i) all += static_cast<char>(i);
  for (bool swap : {false, true}) {
    std::vector<char> encoded(all.size() * 4 + 1);
    size_t size = encoded.size();
    ASSERT_TRUE(HexEncodeText(all.c_str(), encoded.data(), &size, swap));
    std::vector<char> decoded(all.size() + 1);
    size = decoded.size();
    ASSERT_TRUE(HexDecodeText(encoded.data(), decoded.data(), &size, swap));
    EXPECT_EQ(std::string(decoded.data()), all) << "swap " << swap;
  }
}

TEST(HexText, ReportsShortBuffersAndBadInput) {
  char out[4];
  size_t size = sizeof(out);
  EXPECT_FALSE(HexEncodeText("abc", out, &size, false));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(size, 13u);

  size = sizeof(out);
  EXPECT_FALSE(HexDecodeText("36313", out, &size, false));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  size = 1;
  EXPECT_FALSE(HexDecodeText("36313632", out, &size, false));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(size, 3u);

  for (const char* bad : {"36G1", "4747", "zzzz", "3G31"}) {
    size = sizeof(out);
    EXPECT_FALSE(HexDecodeText(bad, out, &size, false)) << bad;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA)) << bad;
  }
}

TEST(ParseCommandLine, TokensInOrder) {
  std::vector<CommandToken> t;
  ParseCommandLine(" /d E /w 001A02B4 /p map\tsm \"a b\" -x val-ue /y-z", t);
  const std::vector<std::pair<bool, std::string>> expected = {
      {true, "d"},   {false, "E"},   {true, "w"}, {false, "001A02B4"}, {true, "p"}, {false, "map"},
      {false, "sm"}, {false, "a b"}, {true, "x"}, {false, "val-ue"},   {true, "y"}, {true, "z"}};
  ASSERT_EQ(t.size(), expected.size());
  for (size_t i = 0; i < t.size(); ++i) {
    EXPECT_EQ(t[i].is_option, expected[i].first) << i;
    EXPECT_EQ(t[i].text, expected[i].second) << i;
  }
}

TEST(ParseCommandLine, UnclosedQuoteRunsToTheEndAndJapaneseSurvives) {
  std::vector<CommandToken> t;
  ParseCommandLine("\"表示 ソ", t);
  ASSERT_EQ(t.size(), 1u);
  EXPECT_FALSE(t[0].is_option);
  EXPECT_EQ(t[0].text, "表示 ソ");
}

TEST(Cp932, SafeLengthNeverSplitsACharacter) {
  const std::string s = "a表";  // 61 95 5C
  EXPECT_EQ(Cp932SafeLength(s.data(), 3), 3u);
  EXPECT_EQ(Cp932SafeLength(s.data(), 2), 1u);
  EXPECT_EQ(Cp932SafeLength(s.data(), 1), 1u);
}
