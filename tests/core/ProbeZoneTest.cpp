// The archived-zone reader: the head part's identity, the joining of the
// packed files in name order, frames refused before anything is written,
// and damaged archives rejected without a crash.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Folders.h"
#include "Handle.h"
#include "ProbeFixture.h"
#include "RetryTestSupport.h"
#include "TestSupport.h"
#include "probe/ProbeBase.h"
#include "probe/ProbeZone.h"

namespace {

using namespace probetest;
using ovtest::CLogCapture;
using ovtest::CPauseRecorder;
using ovtest::CTempDir;
using ovtest::ReadFileOrEmpty;
using ovtest::WriteFileBytes;

ZoneEntry Entry(const std::string& name, uint32_t v1, uint32_t v2, uint32_t count, uint8_t seed) {
  ZoneEntry e;
  e.name = name;
  e.v1 = v1;
  e.v2 = v2;
  e.records = Records(count, 32, seed);
  return e;
}

class ProbeZoneTest : public ::testing::Test {
 protected:
  std::string Trip(const std::string& bytes, const std::string& trip = "20240102030405") {
    return WriteTrip(_dir.Path(), trip, bytes);
  }
  std::string SendPath() const { return _dir.Path() + "Temp\\PROBE.DAT"; }
  DWORD Make(const std::string& source, CProbeZone& reader) {
    BYTE skip = 1;
    const DWORD result = reader.MakeSendFile(&skip, SendPath().c_str(), source.c_str());
    EXPECT_EQ(0, skip) << "an archive is never skipped";
    return result;
  }
  DWORD Make(const std::string& source) { return Make(source, _reader); }
  bool TempIsEmpty() const { return FolderEntries(_dir.Path() + "Temp").empty(); }

  CTempDir _dir;
  CLogCapture _log;
  CPauseRecorder _pauses;
  CProbeZone _reader{'E'};
};

TEST_F(ProbeZoneTest, JoinsEntriesInNameOrderWithTheFirstStoredValues) {
  ZoneArchive archive;
  archive.expanded = ExpandedArchive(
      {Entry("c", 11, 12, 2, 1), Entry("a", 21, 22, 1, 2), Entry("b", 31, 32, 3, 3)});
  const std::string source = Trip(BuildZoneArchive(archive));
  ASSERT_EQ(0u, Make(source));

  SendFile sent;
  ASSERT_TRUE(ParseSendFile(ReadFileOrEmpty(SendPath()), &sent));
  std::string id = IdBlock();
  id.replace(12, 4, Le32(1));
  EXPECT_EQ(id, sent.id_block);
  ASSERT_EQ(1u, sent.blocks.size());
  EXPECT_EQ("20240102030405/DRVHISREC.DH7", sent.blocks[0].name);
  std::string joined;
  ASSERT_TRUE(Gunzip(sent.blocks[0].packed, &joined));
  const std::string expected =
      Le32(11) + Le32(6) + Le32(12) + Records(1, 32, 2) + Records(3, 32, 3) + Records(2, 32, 1);
  EXPECT_EQ(expected, joined);
  EXPECT_EQ(expected.size(), _reader.GetSrcFileSize());

  const ProbeDiscrimination record = _reader.GetProbeDiscrimination();
  EXPECT_EQ("CCID000000000002", record.ccid);
  EXPECT_EQ("UID0000002", record.uid);
  EXPECT_EQ(0u, record.data_year);
  EXPECT_EQ("NV-200", record.unit_model);
  EXPECT_EQ("MAKER", record.maker);
  EXPECT_EQ("1.000203", record.application_version);
  EXPECT_EQ("12.345678", record.map_version);
  EXPECT_EQ("DEV0000000000001", record.device_number);
  EXPECT_TRUE(PathFileExists(source));
  DeleteFileA(SendPath().c_str());
  EXPECT_TRUE(TempIsEmpty());
}

TEST_F(ProbeZoneTest, TwentySixFilesAreJoinedAndAnEntryWithoutItsTagIsLeftOut) {
  std::vector<ZoneEntry> entries;
  for (int i = 0; i < 26; ++i) {
    entries.push_back(
        Entry(std::string(1, static_cast<char>('z' - i)), 1, 2, 1, static_cast<uint8_t>(i)));
  }
  entries[3].tag = "XBIN";
  ZoneArchive archive;
  archive.expanded = ExpandedArchive(entries);
  ASSERT_EQ(0u, Make(Trip(BuildZoneArchive(archive))));
  SendFile sent;
  ASSERT_TRUE(ParseSendFile(ReadFileOrEmpty(SendPath()), &sent));
  std::string joined;
  ASSERT_TRUE(Gunzip(sent.blocks.at(0).packed, &joined));
  EXPECT_EQ(Le32(1) + Le32(25) + Le32(2), joined.substr(0, 12));
  EXPECT_EQ(Records(1, 32, 25), joined.substr(12, 32)) << "'a' was stored last";
  EXPECT_EQ(12u + 25 * 32, joined.size());
  EXPECT_TRUE(_log.Contains("プローブ実ファイル識別子チェックエラー"));
}

TEST_F(ProbeZoneTest, RecordTotalOverTheLimitIsLoggedAndStillJoined) {
  ZoneArchive archive;
  archive.expanded = ExpandedArchive({Entry("a", 1, 2, 26000, 1), Entry("b", 1, 2, 26001, 2)});
  ASSERT_EQ(0u, Make(Trip(BuildZoneArchive(archive))));
  EXPECT_TRUE(_log.Contains("ブロック数規定値超え"));
}

ZoneArchive GoodArchive() {
  ZoneArchive archive;
  archive.expanded = ExpandedArchive({Entry("a", 1, 2, 2, 1)});
  return archive;
}

std::vector<RefusedFile> RefusedArchives() {
  std::vector<RefusedFile> cases;
  const std::string good = BuildZoneArchive(GoodArchive());
  cases.push_back({"SevenBytes", kProbeTooShort, good.substr(0, 7)});
  cases.push_back({"NoHeadTag", kProbeBadFrame, good.substr(0, 10)});
  ZoneArchive head_tag = GoodArchive();
  head_tag.head_tag = "HEAP";
  cases.push_back({"WrongHeadTag", kProbeBadFrame, BuildZoneArchive(head_tag)});
  cases.push_back({"HeadFrameCut", kProbeBadFrame, good.substr(0, 20)});
  ZoneArchive high = GoodArchive();
  high.head_size_field = (uint64_t{1} << 32) | 136;
  cases.push_back({"HeadSizeHighHalf", kProbeBadFrame, BuildZoneArchive(high)});
  // 48 + H equal to the file size: no room for the data part's frame.
  cases.push_back({"NoRoomForData", kProbeBadFrame, good.substr(0, 48 + 136)});
  ZoneArchive short_head = GoodArchive();
  short_head.head_size = 128;
  cases.push_back({"HeadShorterThanItsFields", kProbeBadFrame, BuildZoneArchive(short_head)});
  ZoneArchive bad_id = GoodArchive();
  bad_id.id_block = IdBlock("PROBE:");
  cases.push_back({"NoProbeMark", kProbeBadFrame, BuildZoneArchive(bad_id)});
  ZoneArchive data_tag = GoodArchive();
  data_tag.data_tag = "DAT_";
  cases.push_back({"WrongDataTag", kProbeOpenFailed, BuildZoneArchive(data_tag)});
  ZoneArchive past_end = GoodArchive();
  past_end.packed_size_field = 100000;
  cases.push_back({"PackedSizePastTheEnd", kProbeOpenFailed, BuildZoneArchive(past_end)});
  ZoneArchive data_past = GoodArchive();
  data_past.data_size_field = 100000;
  cases.push_back({"DataSizePastTheEnd", kProbeOpenFailed, BuildZoneArchive(data_past)});
  ZoneArchive too_many = GoodArchive();
  std::vector<ZoneEntry> entries(27, Entry("x", 1, 2, 1, 1));
  too_many.expanded = ExpandedArchive(entries);
  cases.push_back({"TwentySevenFiles", kProbeBadFrame, BuildZoneArchive(too_many)});
  ZoneArchive count_past = GoodArchive();
  ZoneEntry lying = Entry("a", 1, 2, 2, 1);
  lying.override_count = true;
  lying.count = 0x08000000;
  count_past.expanded = ExpandedArchive({lying});
  cases.push_back({"RecordCountPastTheEnd", kProbeBadFrame, BuildZoneArchive(count_past)});
  ZoneArchive missing = GoodArchive();
  missing.expanded = ExpandedArchive({Entry("a", 1, 2, 2, 1)}, 2);
  cases.push_back({"FewerEntriesThanCounted", kProbeBadFrame, BuildZoneArchive(missing)});
  ZoneArchive tiny = GoodArchive();
  tiny.expanded = "1234";
  cases.push_back({"ExpandedWithoutCount", kProbeBadFrame, BuildZoneArchive(tiny)});
  return cases;
}

class ProbeZoneRefusedTest : public ProbeZoneTest,
                             public ::testing::WithParamInterface<RefusedFile> {};

TEST_P(ProbeZoneRefusedTest, KeepsTheArchiveAndLeavesNothingBehind) {
  const std::string source = Trip(GetParam().bytes);
  EXPECT_EQ(GetParam().result, Make(source));
  _reader.ClearTemporaryFile();
  EXPECT_EQ(GetParam().bytes, ReadFileOrEmpty(source));
  EXPECT_TRUE(TempIsEmpty());
  EXPECT_FALSE(_log.Errors().empty());
}

INSTANTIATE_TEST_SUITE_P(Archives, ProbeZoneRefusedTest, ::testing::ValuesIn(RefusedArchives()),
                         ovtest::CaseName());

TEST_F(ProbeZoneTest, FrameRefusedBeforeAnythingIsWritten) {
  ZoneArchive past_end = GoodArchive();
  past_end.packed_size_field = 100000;
  EXPECT_EQ(static_cast<DWORD>(kProbeOpenFailed), Make(Trip(BuildZoneArchive(past_end))));
  EXPECT_TRUE(TempIsEmpty()) << "no ARCHIVE.DAT was written";
  EXPECT_TRUE(_log.Contains("圧縮ファイルサイズ取得失敗"));
}

TEST_F(ProbeZoneTest, DamagedArchivesNeverCrash) {
  ZoneArchive archive;
  archive.expanded = ExpandedArchive({Entry("b", 1, 2, 3, 1), Entry("a", 3, 4, 2, 2)});
  const std::string good = BuildZoneArchive(archive);
  std::vector<std::string> damaged;
  for (size_t size = 0; size < good.size(); size += 7) damaged.push_back(good.substr(0, size));
  for (size_t pos = 8; pos < good.size(); pos += 5) {
    std::string flipped = good;
    flipped[pos] = static_cast<char>(flipped[pos] ^ 0x10);
    damaged.push_back(flipped);
  }
  for (size_t i = 0; i < damaged.size(); ++i) {
    const std::string source = Trip(damaged[i], "Z" + std::to_string(i));
    CProbeZone reader('E');
    const DWORD result = Make(source, reader);
    reader.ClearTemporaryFile();
    if (result == 0) {
      SendFile sent;
      EXPECT_TRUE(ParseSendFile(ReadFileOrEmpty(SendPath()), &sent)) << i;
    }
    EXPECT_TRUE(PathFileExists(source)) << i;
    DeleteFileA(SendPath().c_str());
  }
}

TEST_F(ProbeZoneTest, FrontPicksTheZoneReaderForOtherTypes) {
  CProbeBase base('E', 2);
  BYTE skip = 0;
  ASSERT_EQ(0u, base.MakeSendFile(&skip, SendPath().c_str(),
                                  Trip(BuildZoneArchive(GoodArchive())).c_str()));
  EXPECT_EQ("MAKER", base.GetProbeDiscrimination().maker);
  EXPECT_EQ(12u + 64u, base.GetSrcFileSize());
  EXPECT_EQ(0u, base._ClearTemporaryFile());
}

}  // namespace
