// The card information file and the probe log: records laid out by hand to
// check every offset, missing files, and files cut inside a record.
#include "Folders.h"
#include "OstrovelleLite/ProbeLogFile.h"
#include "OstrovelleLite/SDInfoFile.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

void Put16(std::string& s, size_t at, uint16_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>(v >> 8);
}

void Put32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// y, mo, dow, d, h, mi, s, ms at `at`.
void PutDate(std::string& s, size_t at, uint16_t year, uint16_t second) {
  const uint16_t fields[8] = {year, 12, 4, 31, 23, 59, second, 999};
  for (int i = 0; i < 8; ++i) Put16(s, at + 2 * i, fields[i]);
}

std::string SDInfoBytes(uint32_t id, uint16_t year, int first, const std::string& text, int second,
                        int third, int fourth) {
  std::string r(128, '\0');
  Put32(r, 0, id);
  PutDate(r, 4, year, 30);
  Put32(r, 20, static_cast<uint32_t>(first));
  memcpy(&r[24], text.data(), text.size());
  Put32(r, 116, static_cast<uint32_t>(fourth));
  Put32(r, 120, static_cast<uint32_t>(second));
  Put32(r, 124, static_cast<uint32_t>(third));
  return r;
}

std::string ProbeLogBytes(uint16_t second, int code, int result) {
  std::string r(40, '\0');
  PutDate(r, 0, 2011, second);
  Put32(r, 16, static_cast<uint32_t>(code));
  Put32(r, 20, static_cast<uint32_t>(result));
  return r;
}

class SDInfoFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(_card.IsValid());
    CreateDirectoryA(_card.Path("PC").c_str(), nullptr);
  }
  std::string Path() const { return _card.Path("PC\\SDINFO.DAT"); }

  ovtest::CTestCard _card;
  ovtest::CLogCapture _log;
};

TEST_F(SDInfoFileTest, ReadsEveryFieldOfEachRecord) {
  const std::string text(91, 'T');
  ASSERT_TRUE(ovtest::WriteFileBytes(
      Path(), SDInfoBytes(2, 2010, 3, "地図更新", 0x02000005, 0x02000010, 0x01000000) +
                  SDInfoBytes(8, 2011, -4, text, -1, 7, 8)));
  const CSDInfoFile file(_card.Letter());
  ASSERT_EQ(2u, file.Records().size());
  SYSTEMTIME date;
  int first = 0, second = 0, third = 0, fourth = 0;
  std::string got;
  ASSERT_TRUE(file.GetRecord(2, &date, &first, &got, &second, &third, &fourth));
  EXPECT_EQ(2010, date.wYear);
  EXPECT_EQ(12, date.wMonth);
  EXPECT_EQ(4, date.wDayOfWeek);
  EXPECT_EQ(31, date.wDay);
  EXPECT_EQ(30, date.wSecond);
  EXPECT_EQ(999, date.wMilliseconds);
  EXPECT_EQ(3, first);
  EXPECT_EQ("地図更新", got);
  EXPECT_EQ(0x02000005, second);
  EXPECT_EQ(0x02000010, third);
  EXPECT_EQ(0x01000000, fourth);
  ASSERT_TRUE(file.GetRecord(8, &date, &first, &got, &second));
  EXPECT_EQ(-4, first);
  EXPECT_EQ(-1, second);
  EXPECT_EQ(text, got);
  EXPECT_FALSE(file.GetRecord(8, &date, nullptr, &got, &second)) << "a required output is missing";
}

TEST_F(SDInfoFileTest, MissingFileReadsEmpty) {
  CSDInfoFile file(_card.Letter());
  EXPECT_TRUE(file.Read());
  EXPECT_TRUE(file.Records().empty());
  SYSTEMTIME date;
  date.wYear = 1;
  int first = 0, second = 0;
  std::string text = "stale";
  EXPECT_FALSE(file.GetRecord(1, &date, &first, &text, &second));
  EXPECT_EQ(-1, first);
  EXPECT_EQ(0, date.wYear);
  EXPECT_EQ("", text);
}

TEST_F(SDInfoFileTest, FileCutInsideARecordFailsAfterItsWholeRecords) {
  const std::string whole =
      SDInfoBytes(1, 2010, 1, "", 0, 0, 0) + SDInfoBytes(2, 2010, 2, "", 0, 0, 0);
  ASSERT_TRUE(ovtest::WriteFileBytes(Path(), whole.substr(0, 128 + 60)));
  CSDInfoFile file(0);
  EXPECT_FALSE(file.Read()) << "no drive";
  CSDInfoFile cut(_card.Letter());
  ASSERT_EQ(1u, cut.Records().size());
  EXPECT_EQ(1u, cut.Records()[0].Id());
  EXPECT_TRUE(_log.Contains("SD情報ファイルデータ読込失敗 0x00000026"));
}

class ProbeLogFileTest : public ::testing::Test {
 protected:
  ovtest::CScopedDataRoot _root;
  ovtest::CLogCapture _log;
};

TEST_F(ProbeLogFileTest, ReadsElevenRecordsOldestFirst) {
  CProbeLogFile probe("user1");
  EXPECT_EQ(GetDataFolder() + "user1\\ProbeLog.dat", probe.GetPath());
  EXPECT_TRUE(PathIsDirectory(GetDataFolder() + "user1"));
  EXPECT_TRUE(probe.Records().empty());
  std::string bytes;
  for (int i = 0; i < 11; ++i) bytes += ProbeLogBytes(static_cast<uint16_t>(i), 2, 0x10 + i);
  ASSERT_TRUE(ovtest::WriteFileBytes(probe.GetPath(), bytes));
  EXPECT_TRUE(probe.Read());
  ASSERT_EQ(11u, probe.Records().size());
  SYSTEMTIME date;
  int code = 0, result = 0;
  ASSERT_TRUE(probe.GetRecord(0, &date, &code, &result));
  EXPECT_EQ(0, date.wSecond);
  EXPECT_EQ(2011, date.wYear);
  EXPECT_EQ(2, code);
  EXPECT_EQ(0x10, result);
  ASSERT_TRUE(probe.GetRecord(10, &date, &code, &result));
  EXPECT_EQ(10, date.wSecond);
  EXPECT_EQ(0x1A, result);
  EXPECT_FALSE(probe.GetRecord(11, &date, &code, &result));
  EXPECT_EQ(-1, code);
  EXPECT_EQ(0, date.wYear);
}

TEST_F(ProbeLogFileTest, PartialRecordFailsButKeepsTheWholeOnes) {
  CProbeLogFile probe("user2");
  ASSERT_TRUE(ovtest::WriteFileBytes(
      probe.GetPath(), ProbeLogBytes(1, 1, 1) + ProbeLogBytes(2, 2, 2).substr(0, 39)));
  EXPECT_FALSE(probe.Read());
  EXPECT_EQ(1u, probe.Records().size());
  EXPECT_TRUE(_log.Contains("プローブログファイルデータ読込失敗 0x00000026"));
  // Read starts afresh each time.
  ASSERT_TRUE(ovtest::WriteFileBytes(probe.GetPath(), ProbeLogBytes(3, 3, 3)));
  EXPECT_TRUE(probe.Read());
  EXPECT_EQ(1u, probe.Records().size());
}

// The folder the probe log names for a user's data folder, as the user list
// holds it: the main program reads that log, the core writes it.
TEST_F(ProbeLogFileTest, FolderOfAUsersDataFolder) {
  const std::string data = GetDataFolder();
  std::string upper = data;
  CharUpperBuffA(&upper[0], static_cast<DWORD>(upper.size()));
  const struct {
    const char* name;
    std::string data_folder;
    std::string expected;
  } kCases[] = {
      {"below the data folder", data + "太郎", "太郎"},
      {"below it, another case", upper + "user1", "user1"},
      {"elsewhere: the last name", "C:\\Elsewhere\\user2", "user2"},
      {"empty", "", ""},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(c.expected, ProbeLogFolderOf(c.data_folder)) << c.name;
  }
}

}  // namespace
