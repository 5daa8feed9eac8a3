// CxString sharing and editing, and the quote-aware fields.
#include "xString.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

TEST(CxString, CopiesShareUntilOneChanges) {
  CxString a = CxString::FromCString("abc表def");
  CxString b(a);
  CxString c;
  c = b;
  EXPECT_TRUE(a.SharesBufferWith(b));
  EXPECT_TRUE(a.SharesBufferWith(c));
  EXPECT_EQ(a.GetRefCount(), 3);

  ASSERT_TRUE(b.MakeUpper());
  EXPECT_FALSE(a.SharesBufferWith(b));
  EXPECT_STREQ(a.c_str(), "abc表def");
  EXPECT_STREQ(b.c_str(), "ABC表DEF");  // the trail byte of 表 is not a letter
  EXPECT_EQ(a.GetRefCount(), 2);
  c.Release();
  EXPECT_EQ(a.GetRefCount(), 1);
}

TEST(CxString, EmptyStringIsStaticAndSelfAssignmentIsHarmless) {
  CxString e;
  EXPECT_EQ(e.GetLength(), 0);
  EXPECT_LT(e.GetRefCount(), 0);
  CxString s = CxString::FromCString("x");
  CxString& alias = s;
  s = alias;
  EXPECT_STREQ(s.c_str(), "x");
  EXPECT_EQ(s.GetRefCount(), 1);
  s.Empty();
  EXPECT_EQ(s.GetLength(), 0);
}

TEST(CxString, IndexOfSkipsTrailBytes) {
  // 表 is 95 5C: its second byte is not a backslash.
  const CxString s = CxString::FromCString("表\\ソ\\");
  EXPECT_EQ(s.IndexOf("\\"), 2);
  EXPECT_EQ(s.IndexOf("\\", 3), 5);
  EXPECT_EQ(s.IndexOf("\\", 6), -1);
  EXPECT_EQ(s.IndexOf("ソ"), 3);
}

TEST(CxString, ReplaceGrowsByCountTimesDifference) {
  CxString s = CxString::FromCString("a-b-c-d");
  ASSERT_TRUE(s.Replace("-", "==="));
  EXPECT_STREQ(s.c_str(), "a===b===c===d");
  EXPECT_EQ(s.GetLength(), 7 + 3 * 2);
  ASSERT_TRUE(s.Replace("===", ""));
  EXPECT_STREQ(s.c_str(), "abcd");
  CxString t = CxString::FromCString("aaaa");
  ASSERT_TRUE(t.Replace("aa", "b"));  // occurrences do not overlap
  EXPECT_STREQ(t.c_str(), "bb");
}

TEST(CxString, BuffersAndReserve) {
  CxString s;
  ASSERT_TRUE(s.GetBuffer(5));
  EXPECT_EQ(s.GetLength(), 5);
  s = CxString::FromCString("abcdef");
  ASSERT_TRUE(s.Reserve(3));
  EXPECT_STREQ(s.c_str(), "abc");
  ASSERT_TRUE(s.Reserve(10));
  EXPECT_STREQ(s.c_str(), "abc");
  ASSERT_TRUE(s.SetLength("xyz", 2));
  EXPECT_STREQ(s.c_str(), "xy");
}

TEST(FormatCxString, CutsAt2048AndSaysSo) {
  CxString s;
  EXPECT_TRUE(FormatCxString(s, "%d:%s", 7, "ok"));
  EXPECT_STREQ(s.c_str(), "7:ok");
  const std::string big(3000, 'q');
  EXPECT_FALSE(FormatCxString(s, "%s", big.c_str()));
  EXPECT_EQ(s.GetLength(), 2048);
}

struct FieldCase {
  const char* name;
  std::string line;
  char delimiter;
  std::vector<std::string> fields;
};

class QuotedFieldTest : public ::testing::TestWithParam<FieldCase> {};

TEST_P(QuotedFieldTest, CountsAndUnquotes) {
  const FieldCase& c = GetParam();
  ASSERT_EQ(CountFields(c.line, c.delimiter), static_cast<int>(c.fields.size()));
  for (size_t i = 0; i < c.fields.size(); ++i) {
    std::string f;
    ASSERT_TRUE(SplitQuotedField(c.line, static_cast<int>(i), c.delimiter, &f)) << i;
    EXPECT_EQ(f, c.fields[i]) << i;
  }
  std::string f;
  EXPECT_FALSE(SplitQuotedField(c.line, static_cast<int>(c.fields.size()), c.delimiter, &f));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QuotedFieldTest,
    ::testing::Values(
        FieldCase{"QuotedDelimiter", "a,\"b,c\",d", ',', {"a", "b,c", "d"}},
        FieldCase{"DoubledQuote", "\"say \"\"hi\"\"\",x", ',', {"say \"hi\"", "x"}},
        FieldCase{"EmptyLine", "", ',', {""}}, FieldCase{"EmptyFields", ",,", ',', {"", "", ""}},
        FieldCase{"QuoteInsideFieldKeptLiterally", "ab\"c,d\"e,f", ',', {"ab\"c,d\"e", "f"}},
        FieldCase{"LaterQuoteIsOrdinary", "\"a\"b\",c", ',', {"ab\"", "c"}},
        FieldCase{"TrailByteIsNotADelimiter", "表\\ソ\\x", '\\', {"表", "ソ", "x"}}),
    ovtest::CaseName());
