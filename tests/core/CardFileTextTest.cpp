// Conversions and string operations of the core's file writers.
#include "TestSupport.h"
#include "files/CardFileText.h"

#include <gtest/gtest.h>

namespace {

TEST(Bcd, KnownAnswersAndRoundTrip) {
  EXPECT_EQ(0x2009, IntToBcd(2009));
  EXPECT_EQ(0x2010, IntToBcd(2010));
  EXPECT_EQ(2010, BcdToInt16(0x2010));
  EXPECT_EQ(0x0, IntToBcd(0));
  EXPECT_EQ(20u, BcdToInt(0x20A9));  // a digit above 9 ends the number
  EXPECT_EQ(12345678u, BcdToInt(0x12345678));
  for (uint16_t year = 1980; year <= 2099; ++year) EXPECT_EQ(year, BcdToInt16(IntToBcd(year)));
}

struct VersionCase {
  const char* name;
  const char* text;
  uint32_t version;
};

class VersionFromTextTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionFromTextTest, ReadsMajorAndMinor) {
  EXPECT_EQ(GetParam().version, VersionFromText(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Names, VersionFromTextTest,
                         ::testing::Values(VersionCase{"Map", "2.000010", 0x02000010},
                                           VersionCase{"HexMinor", "1.00012A", 0x0100012A},
                                           VersionCase{"HexMajor", "A.1", 0x0A000001},
                                           VersionCase{"Empty", "", 0},
                                           VersionCase{"NoPoint", "12", 0},
                                           VersionCase{"SecondPointEndsIt", "1.2.3", 0x01000002}),
                         ovtest::CaseName());

struct PathCase {
  const char* name;
  const char* path;
  const char* canonical;
};

class ServerPathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(ServerPathTest, ResolvesDotParts) {
  EXPECT_EQ(GetParam().canonical, CanonicalizeServerPath(GetParam().path));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ServerPathTest,
    ::testing::Values(PathCase{"Parent", "/data/map/../list.gz", "/data/list.gz"},
                      PathCase{"Current", "/data/./map/list.gz", "/data/map/list.gz"},
                      PathCase{"NeverAboveTheRoot", "/../../x", "/x"},
                      PathCase{"TrailingParent", "/a/b/..", "/a/"},
                      PathCase{"TrailingSlashKept", "/a/b/", "/a/b/"},
                      PathCase{"Relative", "a/b/../../c", "c"},
                      PathCase{"Backslashes untouched", "a\\..\\b", "a\\..\\b"},
                      PathCase{"Empty", "", ""}),
    [](const ::testing::TestParamInfo<PathCase>& p) {
      std::string name = p.param.name;
      for (char& c : name) {
        if (c == ' ') c = '_';
      }
      return name;
    });

CxString Text(const char* text) { return CxString::FromCString(text); }

TEST(CxStringOps, EqualityComparesTheBytes) {
  EXPECT_TRUE(Text("地図") == Text("地図"));
  EXPECT_TRUE(Text("") == CxString());
  EXPECT_TRUE(Text("abc") != Text("abd"));
  EXPECT_TRUE(Text("abc") != Text("ab"));
}

TEST(CxStringOps, AppendBytesAddsARun) {
  CxString text = Text("map");
  ASSERT_TRUE(AppendBytes(text, "_list.gz", 5));
  EXPECT_STREQ("map_list", text.c_str());
  ASSERT_TRUE(AppendBytes(text, "x", 0));
  EXPECT_EQ(8, text.GetLength());
  // The other holder of a shared buffer keeps its text.
  CxString shared = text;
  ASSERT_TRUE(AppendBytes(text, "!", 1));
  EXPECT_STREQ("map_list", shared.c_str());
  EXPECT_STREQ("map_list!", text.c_str());
}

struct PartCase {
  const char* name;
  int start;
  int length;
  const char* part;
};

class TakePartTest : public ::testing::TestWithParam<PartCase> {};

TEST_P(TakePartTest, CutsTheRange) {
  const CxString text = Text("download");
  CxString part = Text("old");
  ASSERT_TRUE(TakePart(text, GetParam().start, GetParam().length, &part));
  EXPECT_STREQ(GetParam().part, part.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, TakePartTest,
    ::testing::Values(PartCase{"Middle", 2, 3, "wnl"}, PartCase{"NegativeStart", -3, 2, "do"},
                      PartCase{"NegativeLength", 1, -1, ""}, PartCase{"PastTheEnd", 4, 100, "load"},
                      PartCase{"StartPastTheEnd", 8, 2, ""}, PartCase{"Whole", 0, 8, "download"}),
    ovtest::CaseName());

TEST(CxStringOps, TheWholeStringIsShared) {
  const CxString text = Text("download");
  CxString part;
  ASSERT_TRUE(TakePart(text, 0, 100, &part));
  EXPECT_TRUE(part.SharesBufferWith(text));
}

}  // namespace
