// Download-list records and lists: the fields of a line, comments, refused
// replies, merging and the download order.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "map/DownloadList.h"

namespace {

CDownloadListData Record(uint8_t kind, uint8_t detail, const std::string& version,
                         uint32_t year = 0, uint8_t order = 0) {
  CDownloadListData r;
  r.data_kind = kind;
  r.detail = detail;
  r.version = version;
  r.year = year;
  r.order = order;
  return r;
}

bool Read(const std::string& reply, CDownloadList* list, uint32_t* code) {
  // No NUL after the reply: the reader must keep to the size.
  std::vector<char> bytes(reply.begin(), reply.end());
  bytes.push_back('9');
  return CDownloadList::SetDownloadList(bytes.data(), code, list, reply.size());
}

}  // namespace

TEST(DownloadList, ReadsEveryFieldOfALine) {
  CDownloadListData r;
  ASSERT_TRUE(CDownloadListData::SetData(
      "00,1F,0A,2.00001A,2011年度版,5000000000,1,7,3,9,\"A, quoted\",B", &r));
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.data_kind, 0x1F);
  EXPECT_EQ(r.detail, 0x0A);
  EXPECT_EQ(r.version, "2.00001A");
  EXPECT_EQ(r.GetVersionNumber(), 0x0200001Au);
  EXPECT_EQ(r.year, 2011u);
  EXPECT_EQ(r.size, 5000000000ull);
  EXPECT_EQ(r.update_mark, 1);
  EXPECT_EQ(r.field7, 7);
  EXPECT_EQ(r.order, 3);
  EXPECT_EQ(r.field9, 9);
  EXPECT_EQ(r.text_a, "A, quoted");
  EXPECT_EQ(r.text_b, "B");
  EXPECT_FALSE(r.downloaded);
}

TEST(DownloadList, ShortLinesKeepDefaultsAndResultsRefuse) {
  CDownloadListData r;
  ASSERT_TRUE(CDownloadListData::SetData("00,02", &r));
  EXPECT_EQ(r.data_kind, 2);
  EXPECT_EQ(r.version, "");
  EXPECT_EQ(r.size, 0u);
  EXPECT_TRUE(CDownloadListData::SetData("00,1,2,3,4,5,6,7,8,9,10,11,12,13", &r));
  EXPECT_EQ(r.text_b, "11");

  CDownloadListData refused;
  EXPECT_FALSE(CDownloadListData::SetData("0A,02,01,1.0", &refused));
  EXPECT_EQ(refused.result, 0x0A);
  EXPECT_FALSE(CDownloadListData::SetData(nullptr, &refused));
}

struct WrapCase {
  const char* name;
  std::string line;
};

void PrintTo(const WrapCase& c, std::ostream* os) { *os << c.name; }

class DownloadListWrapTest : public ::testing::TestWithParam<WrapCase> {};

// A number that does not fit its field would wrap to another kind or size:
// the line is refused, and a reply keeps the lines around it.
TEST_P(DownloadListWrapTest, NumbersThatDoNotFitRefuseTheLine) {
  CDownloadListData r;
  EXPECT_FALSE(CDownloadListData::SetData(GetParam().line.c_str(), &r));
  CDownloadList list;
  uint32_t code = 0;
  ASSERT_TRUE(
      Read("00,02,01,1.0,,10\r\n" + GetParam().line + "\r\n00,03,01,1.0,,20\r\n", &list, &code));
  ASSERT_EQ(list.GetCount(), 2u);
  EXPECT_EQ(list.GetRecords()[0].data_kind, 2);
  EXPECT_EQ(list.GetRecords()[1].data_kind, 3);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, DownloadListWrapTest,
    ::testing::Values(WrapCase{"ResultOf100", "100,02,01,1.0"},
                      WrapCase{"KindOf100", "00,100,01,1.0,2011,5"},
                      WrapCase{"DetailOf1FF", "00,02,1FF,1.0,2011,5"},
                      WrapCase{"YearOver32Bits", "00,02,01,1.0,4294967296年度版,5"},
                      WrapCase{"NegativeSize", "00,02,01,1.0,2011,-1"},
                      WrapCase{"SizeOver64Bits", "00,02,01,1.0,2011,18446744073709551616"},
                      WrapCase{"NegativeKind", "00,-1,01,1.0,2011,5"},
                      WrapCase{"UpdateMarkOf256", "00,02,01,1.0,2011,5,256"},
                      WrapCase{"OrderOf300", "00,02,01,1.0,2011,5,0,0,300"}),
    ovtest::CaseName());

TEST(DownloadList, NumbersAtTheTopOfTheirFieldAreTaken) {
  CDownloadListData r;
  ASSERT_TRUE(CDownloadListData::SetData(
      "00,FF,FF,1.0,4294967295年度版,18446744073709551615,255,255,255,255", &r));
  EXPECT_EQ(r.data_kind, 0xFF);
  EXPECT_EQ(r.detail, 0xFF);
  EXPECT_EQ(r.year, 4294967295u);
  EXPECT_EQ(r.size, 18446744073709551615ull);
  EXPECT_EQ(r.update_mark, 255);
  EXPECT_EQ(r.field9, 255);
}

struct CommentCase {
  const char* name;
  std::string line;
  std::string text_a;
  std::string text_b;
};

void PrintTo(const CommentCase& c, std::ostream* os) { *os << c.name; }

class DownloadListCommentTest : public ::testing::TestWithParam<CommentCase> {};

TEST_P(DownloadListCommentTest, CutsTheComment) {
  CDownloadListData r;
  ASSERT_TRUE(CDownloadListData::SetData(GetParam().line.c_str(), &r));
  EXPECT_EQ(r.text_a, GetParam().text_a);
  EXPECT_EQ(r.text_b, GetParam().text_b);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DownloadListCommentTest,
    ::testing::Values(
        CommentCase{"Plain", "00,0,0,,,,,,,,a,b // note", "a", "b"},
        CommentCase{"TabsBeforeTheCut", "00,0,0,,,,,,,,a,b\t \t//note", "a", "b"},
        CommentCase{"UrlKeepsItsScheme", "00,0,0,,,,,,,,http://h/p,b", "http://h/p", "b"},
        CommentCase{"UrlThenComment", "00,0,0,,,,,,,,https://h/p//rest,b", "https://h/p", ""},
        CommentCase{"OnlyTheFirstSchemeIsSpared", "00,0,0,,,,,,,,http://a,http://b", "http://a",
                    "http:"},
        CommentCase{"TrailingBlanksWithoutComment", "00,0,0,,,,,,,,a,b  ", "a", "b  "}),
    ovtest::CaseName());

TEST(DownloadList, YearWithAndWithoutItsSuffix) {
  CDownloadListData r;
  ASSERT_TRUE(CDownloadListData::SetData("00,0,0,1.0,2011年度版", &r));
  EXPECT_EQ(r.year, 2011u);
  ASSERT_TRUE(CDownloadListData::SetData("00,0,0,1.0,2013", &r));
  EXPECT_EQ(r.year, 2013u);
}

TEST(DownloadList, VersionNumbers) {
  EXPECT_EQ(CDownloadListData::GetVersionNumber("1.000010"), 0x01000010u);
  EXPECT_EQ(CDownloadListData::GetVersionNumber("FF.FFFFFF"), 0xFFFFFFFFu);
  EXPECT_EQ(CDownloadListData::GetVersionNumber("a.b"), 0x0A00000Bu);
  EXPECT_EQ(CDownloadListData::GetVersionNumber("100"), 0u);
  EXPECT_EQ(CDownloadListData::GetVersionNumber(""), 0u);
}

TEST(DownloadList, ReadsAReplyWithExplicitLength) {
  CDownloadList list;
  list.Append(Record(9, 9, "old"));
  uint32_t code = 77;
  ASSERT_TRUE(
      Read("00,02,01,1.000010,2012,1048576,0,0,0,0,,\r\n"
           "\r\n"
           "01,03,00,1.0\r\n"
           "00,04,00,2.0",
           &list, &code));
  EXPECT_EQ(code, 77u);
  ASSERT_EQ(list.GetCount(), 2u);
  EXPECT_EQ(list.GetRecords()[0].version, "1.000010");
  EXPECT_EQ(list.GetRecords()[0].size, 1048576u);
  // The byte behind the reply is not part of the last line.
  EXPECT_EQ(list.GetRecords()[1].version, "2.0");
}

TEST(DownloadList, RefusedAndEmptyReplies) {
  CDownloadList list;
  list.Append(Record(9, 9, "old"));
  uint32_t code = 77;
  // Hexadecimal 0A refuses; the code is read as decimal: 0.
  EXPECT_FALSE(Read("0A,02,01,1.0\r\n", &list, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_FALSE(Read("12", &list, &code));
  EXPECT_EQ(code, 12u);
  EXPECT_EQ(list.GetCount(), 1u);
  EXPECT_TRUE(Read("", &list, &code));
  EXPECT_TRUE(CDownloadList::SetDownloadList(nullptr, &code, &list, 10));
  EXPECT_EQ(list.GetCount(), 1u);
  EXPECT_TRUE(Read("0", &list, &code));
  EXPECT_EQ(list.GetCount(), 1u);  // "0" is a line whose record has no kind
  EXPECT_EQ(list.GetRecords()[0].version, "");
}

TEST(DownloadList, AddOverwritesTheSameVersionCaseInsensitively) {
  CDownloadList list;
  CDownloadListData first = Record(2, 1, "1.00000a", 2011);
  CDownloadListData later = Record(2, 1, "1.00000A", 2012);
  later.size = 5;
  CDownloadList::AddDownloadList(first, &list);
  CDownloadList::AddDownloadList(Record(2, 2, "1.00000A"), &list);
  CDownloadList::AddDownloadList(later, &list);
  ASSERT_EQ(list.GetCount(), 2u);
  EXPECT_EQ(list.GetRecords()[0].year, 2012u);
  EXPECT_EQ(list.GetRecords()[0].size, 5u);
  EXPECT_EQ(list.GetRecords()[0].version, "1.00000A");

  CDownloadList copy;
  copy.Append(Record(7, 7, "x"));
  EXPECT_TRUE(CDownloadList::GetDownloadList(&copy, list));
  EXPECT_EQ(copy.GetCount(), 2u);
  EXPECT_TRUE(CDownloadList::GetDownloadList(&copy, copy));
  EXPECT_EQ(copy.GetCount(), 2u);
}

TEST(DownloadList, SortOrder) {
  CDownloadList list;
  list.Append(Record(2, 0, "1.0", 2012));          // 0: later year
  list.Append(Record(2, 0, "1.0", 2011, 5));       // 1: larger order value
  list.Append(Record(2, 0, "1.0", 2011, 1));       // 2
  list.Append(Record(3, 0, "1.0", 2011, 9));       // 3: larger kind first
  list.Append(Record(2, 1, "1.0", 2011, 9));       // 4: larger detail first
  list.Append(Record(2, 0, "1.000010", 2011, 1));  // 5: larger version first
  list.Append(Record(2, 0, "1.0", 2011, 1));       // 6: equal to 2, stays behind it
  list.GetRecords()[6].size = 6;
  list.Sort();
  std::vector<std::string> order;
  for (const CDownloadListData& r : list.GetRecords()) {
    order.push_back(std::to_string(r.year) + "/" + std::to_string(r.data_kind) + "/" +
                    std::to_string(r.detail) + "/" + std::to_string(r.order) + "/" + r.version +
                    "/" + std::to_string(r.size));
  }
  EXPECT_EQ(order,
            (std::vector<std::string>{"2011/3/0/9/1.0/0", "2011/2/1/9/1.0/0",
                                      "2011/2/0/1/1.000010/0", "2011/2/0/1/1.0/0",
                                      "2011/2/0/1/1.0/6", "2011/2/0/5/1.0/0", "2012/2/0/0/1.0/0"}));
}
