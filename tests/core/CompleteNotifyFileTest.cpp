// The completion-notice file: appends, read-back, grouping, damaged content.
#include <gtest/gtest.h>

#include <cstring>

#include "CompleteNotifyFile.h"
#include "Folders.h"
#include "TestSupport.h"
#include "util/GZipIF.h"

namespace {

const uint32_t kValues[4] = {0x11111111, 0x22222222, 0x33333333, 0x44444444};
const uint8_t kBlock[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

class CompleteNotifyFileTest : public ::testing::Test {
 protected:
  // The stored file's unpacked content.
  std::string Unpacked() {
    const std::string plain = _dir.File("plain.bin");
    CGZipIF gzip;
    if (!gzip.UnGZipFile(_file.StoredPath(), plain)) return "<not unpacked>";
    return ovtest::ReadFileOrEmpty(plain);
  }
  // Stores the given unpacked content as the stored file.
  void Store(const std::string& content) {
    const std::string plain = _dir.File("content.bin");
    ASSERT_TRUE(ovtest::WriteFileBytes(plain, content));
    CGZipIF gzip;
    ASSERT_TRUE(gzip.GZipFile(plain, _file.StoredPath()));
  }
  bool Add(uint32_t second, const char* text, const char* device) {
    uint32_t values[4] = {kValues[0], second, kValues[2], kValues[3]};
    return _file.AddDownloadNotifyData(values, kBlock, text, device);
  }

  ovtest::CScopedDataRoot _root;
  ovtest::CTempDir _dir;
  ovtest::CLogCapture _log{true};
  CCompleteNotifyFile _file;
};

TEST_F(CompleteNotifyFileTest, RecordLayout) {
  CompleteNotifyRecord record;
  record.type = 0;
  memcpy(record.values, kValues, sizeof(kValues));
  memcpy(record.block, kBlock, sizeof(kBlock));
  record.text = "MAP";
  record.device_no = "DEV1";
  const std::string bytes = record.Encode();
  ASSERT_EQ(112u, bytes.size());
  std::string expected(112, '\0');
  memcpy(&expected[4], "\x11\x11\x11\x11\x22\x22\x22\x22\x33\x33\x33\x33\x44\x44\x44\x44", 16);
  memcpy(&expected[32], kBlock, 16);
  memcpy(&expected[48], "MAP", 3);
  memcpy(&expected[80], "DEV1", 4);
  EXPECT_EQ(expected, bytes);

  const CompleteNotifyRecord back = CompleteNotifyRecord::Decode(bytes.data());
  EXPECT_EQ(0x33333333u, back.values[2]);
  EXPECT_EQ("MAP", back.text);
  EXPECT_EQ("DEV1", back.device_no);
  EXPECT_EQ(0, memcmp(kBlock, back.block, 16));
}

TEST_F(CompleteNotifyFileTest, TextsAreCutWithTheirNulAndNeverInsideACharacter) {
  CompleteNotifyRecord record;
  record.text = std::string(30, 'a') + "表";  // 32 bytes; the last character does not fit
  record.device_no = std::string(40, 'd');
  const std::string bytes = record.Encode();
  EXPECT_EQ('\0', bytes[48 + 30]);
  EXPECT_EQ('\0', bytes[80 + 31]);
  const CompleteNotifyRecord back = CompleteNotifyRecord::Decode(bytes.data());
  EXPECT_EQ(std::string(30, 'a'), back.text);
  EXPECT_EQ(std::string(31, 'd'), back.device_no);

  // A damaged record without any NUL still gives bounded texts.
  const std::string full(112, 'x');
  EXPECT_EQ(32u, CompleteNotifyRecord::Decode(full.data()).text.size());
}

TEST_F(CompleteNotifyFileTest, AppendingToAMissingFileCreatesItWithOneRecord) {
  ASSERT_FALSE(PathFileExists(_file.StoredPath()));
  ASSERT_TRUE(Add(7, "MAP", "DEV1"));
  const std::string content = Unpacked();
  ASSERT_EQ(112u, content.size());
  EXPECT_EQ(CompleteNotifyRecord::Decode(content.data()).values[1], 7u);
  EXPECT_FALSE(PathFileExists(_file.WorkPath()));
  EXPECT_TRUE(_log.Contains("CCompleteNotifyFile::AddNotifyData - End"));
}

TEST_F(CompleteNotifyFileTest, DownloadNoticeWithoutItsValueIsRefused) {
  EXPECT_FALSE(Add(0, "MAP", "DEV1"));
  EXPECT_FALSE(Add(0xFFFFFFFF, "MAP", "DEV1"));
  EXPECT_FALSE(_file.AddNotifyData(0, kValues, kBlock, nullptr, "DEV1"));
  EXPECT_FALSE(PathFileExists(_file.StoredPath()));
}

TEST_F(CompleteNotifyFileTest, NoticesComeBackGroupedByDeviceInFileOrder) {
  ASSERT_TRUE(Add(1, "A", "DEV1"));
  ASSERT_TRUE(Add(2, "B", "DEV2"));
  ASSERT_TRUE(Add(3, "C", "DEV1"));
  ASSERT_TRUE(_file.AddNotifyData(5, kValues, kBlock, "other kind", "DEV1"));
  ASSERT_TRUE(Add(4, "D", nullptr));
  EXPECT_TRUE(_log.Contains("完了通知追加時のDeviceNo無し"));
  EXPECT_EQ(5u * 112u, Unpacked().size());

  CCompleteNotifyFile reader;
  CompleteNotifyMap notices;
  ASSERT_TRUE(reader.GetDownloadNotifyData(&notices));
  ASSERT_EQ(3u, notices.size());
  ASSERT_EQ(2u, notices["DEV1"].size());
  EXPECT_EQ("A", notices["DEV1"][0].text);
  EXPECT_EQ("C", notices["DEV1"][1].text);
  EXPECT_EQ(2u, notices["DEV2"][0].values[1]);
  EXPECT_EQ("D", notices[""][0].text);
  // The other kind stays in the object. The file stays whole until what
  // was taken is removed: a stop before the sending loses nothing.
  ASSERT_EQ(1u, reader.Records().size());
  EXPECT_EQ(5u, reader.Records()[0].type);
  EXPECT_EQ(5u * 112u, Unpacked().size());

  ASSERT_TRUE(reader.KeepOnly({}));
  EXPECT_FALSE(PathFileExists(reader.StoredPath()));
  CCompleteNotifyFile later;
  CompleteNotifyMap again;
  EXPECT_TRUE(later.ReadFile());
  EXPECT_TRUE(_log.Contains("未送信完了通知ファイル無し"));
  ASSERT_TRUE(later.GetDownloadNotifyData(&again));
  EXPECT_TRUE(again.empty());
  EXPECT_TRUE(later.KeepOnly({}));
}

TEST_F(CompleteNotifyFileTest, KeepOnlyLeavesExactlyTheRecordsNotTaken) {
  ASSERT_TRUE(Add(1, "A", "DEV1"));
  ASSERT_TRUE(Add(2, "B", "DEV2"));
  ASSERT_TRUE(Add(3, "C", "DEV1"));
  CCompleteNotifyFile reader;
  CompleteNotifyMap notices;
  ASSERT_TRUE(reader.GetDownloadNotifyData(&notices));
  ASSERT_TRUE(reader.KeepOnly({notices["DEV1"][1], notices["DEV2"][0]}));
  EXPECT_FALSE(PathFileExists(reader.WorkPath()));

  CCompleteNotifyFile later;
  CompleteNotifyMap left;
  ASSERT_TRUE(later.GetDownloadNotifyData(&left));
  ASSERT_EQ(1u, left["DEV1"].size());
  EXPECT_EQ("C", left["DEV1"][0].text);
  ASSERT_EQ(1u, left["DEV2"].size());
  EXPECT_EQ("B", left["DEV2"][0].text);
}

TEST_F(CompleteNotifyFileTest, EmptyContentIsRefused) {
  Store("");
  EXPECT_FALSE(_file.ReadFile());
  EXPECT_TRUE(_log.Contains("未送信完了通知ファイルサイズ０"));
  EXPECT_FALSE(PathFileExists(_file.WorkPath()));
}

TEST_F(CompleteNotifyFileTest, ShortContentKeepsTheWholeRecordsAndTheFile) {
  CompleteNotifyRecord first;
  first.values[1] = 9;
  first.device_no = "DEV1";
  Store(first.Encode() + std::string(88, 'z'));  // 200 bytes
  EXPECT_FALSE(_file.ReadFile());
  EXPECT_TRUE(_log.Contains("未送信完了通知ファイル読み込みサイズ異常"));
  ASSERT_EQ(1u, _file.Records().size());
  EXPECT_EQ(9u, _file.Records()[0].values[1]);
  EXPECT_TRUE(PathFileExists(_file.StoredPath()));
  EXPECT_FALSE(PathFileExists(_file.WorkPath()));
}

TEST_F(CompleteNotifyFileTest, AppendAfterDamagedContentStaysInStep) {
  CompleteNotifyRecord first;
  first.values[1] = 9;
  Store(first.Encode() + std::string(88, 'z'));
  ASSERT_TRUE(Add(10, "NEW", "DEV1"));
  EXPECT_TRUE(_log.Contains("完了通知再送用ファイルサイズ不正 200byte"));
  CCompleteNotifyFile reader;
  ASSERT_TRUE(reader.ReadFile());
  ASSERT_EQ(2u, reader.Records().size());
  EXPECT_EQ(9u, reader.Records()[0].values[1]);
  EXPECT_EQ("NEW", reader.Records()[1].text);
}

TEST_F(CompleteNotifyFileTest, DamagedPackingIsRefusedAndKept) {
  ASSERT_TRUE(Add(1, "A", "DEV1"));
  std::string packed = ovtest::ReadFileOrEmpty(_file.StoredPath());
  packed.resize(packed.size() - 6);  // cut inside the gzip trailer
  ASSERT_TRUE(ovtest::WriteFileBytes(_file.StoredPath(), packed));
  EXPECT_FALSE(_file.ReadFile());
  EXPECT_TRUE(_log.Contains("未送信完了通知ファイル復号化失敗"));
  EXPECT_FALSE(Add(2, "B", "DEV1"));
  EXPECT_TRUE(_log.Contains("完了通知追加時の復号化失敗"));
  EXPECT_EQ(packed, ovtest::ReadFileOrEmpty(_file.StoredPath()));
}

TEST_F(CompleteNotifyFileTest, FailedPackingLosesNoStoredNotice) {
  ASSERT_TRUE(Add(1, "A", "DEV1"));
  const std::string before = ovtest::ReadFileOrEmpty(_file.StoredPath());
  // A folder by the name of the packed successor makes the packing fail.
  ASSERT_TRUE(CreateDirectoryA((_file.StoredPath() + ".new").c_str(), nullptr));
  EXPECT_FALSE(Add(2, "B", "DEV1"));
  EXPECT_TRUE(_log.Contains("完了通知追加時の暗号化失敗"));
  EXPECT_EQ(before, ovtest::ReadFileOrEmpty(_file.StoredPath()));
  EXPECT_FALSE(PathFileExists(_file.WorkPath()));
}

}  // namespace
