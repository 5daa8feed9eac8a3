// The core's writers of the card and PC files: the link file's lookups and
// record setter, the card information file, the probe log, the
// download-management file and the two settings the core saves.
#include "CardMaker.h"
#include "CoreTestSupport.h"
#include "Folders.h"
#include "Handle.h"
#include "OstrovelleLite/OstrovelleConfig.h"
#include "StringUtil.h"
#include "TestSupport.h"
#include "files/CardFileText.h"
#include "files/CoreConfig.h"
#include "files/CoreDownloadManage.h"
#include "files/CoreHistoryFiles.h"
#include "files/CoreLinkFile.h"

#include <gtest/gtest.h>

namespace {

using ovtest::CCardMaker;

SYSTEMTIME Date(WORD second) {
  SYSTEMTIME t = {};
  t.wYear = 2012;
  t.wMonth = 3;
  t.wDay = 4;
  t.wSecond = second;
  return t;
}

class CoreLinkFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(card.IsValid()) << "no removable test drive";
    CCardMaker maker;
    maker
        .AddRecord(pclink::kDataIdProgram, 0x01000203, 0x2009, 1, "\\PC\\PROGRAM", "\\UPDATE", 7, 9)
        .AddRecord(pclink::kDataIdMap, 0x02000010, 0x2010, 3, "\\PC\\MAP\\表示", "\\NAVIDATA",
                   0xDEADBEEF, 0xEE)
        .AddRecord(pclink::kDataIdMap, 0x02000020, 0x2011, 4, "\\PC\\MAP\\表示2", "\\SECOND", 5, 6)
        .AddRecord(pclink::kDataIdTraffic, 0x00000004, 0x2012, 0, "\\PC\\PROBE", "", 11, 12);
    maker.Records()[1].bytes[155] = 0xCC;
    ASSERT_TRUE(maker.WriteCard(card.Letter(), true));
  }
  core::CPcLinkFile Link() const {
    return core::CPcLinkFile(CPcLinkFile::kLinkFile, card.Letter());
  }

  ovtest::CTestCard card;
  ovtest::CLogCapture log;
};

TEST_F(CoreLinkFileTest, LooksUpByDataId) {
  const core::CPcLinkFile link = Link();
  ASSERT_TRUE(link.IsLoaded());
  EXPECT_TRUE(link.IsExistDataID(pclink::kDataIdTraffic));
  EXPECT_FALSE(link.IsExistDataID(pclink::kDataIdWeather));
  EXPECT_EQ(0xDEADBEEF, link.GetRecordWord1(pclink::kDataIdMap));
  EXPECT_EQ(0xEE, link.GetRecordWord2(pclink::kDataIdMap));
  EXPECT_EQ(-1, link.GetRecordWord1(pclink::kDataIdWeather));
  EXPECT_EQ(255, link.GetRecordWord2(pclink::kDataIdWeather));
  EXPECT_EQ("\\PC\\PROGRAM", link.GetSrcPath(pclink::kDataIdProgram));
  EXPECT_EQ("\\UPDATE", link.GetDstPath(pclink::kDataIdProgram));
  EXPECT_EQ("", link.GetSrcPath(pclink::kDataIdWeather));
}

TEST_F(CoreLinkFileTest, LooksUpMapRecordsByPathPrefixFirstInFileOrder) {
  const core::CPcLinkFile link = Link();
  EXPECT_EQ(0x2010, link.GetYearByPath("\\PC\\MAP\\表"));
  EXPECT_EQ(3, link.GetStatusByPath("\\PC\\MAP"));
  EXPECT_EQ(4, link.GetStatusByPath("\\PC\\MAP\\表示2"));
  EXPECT_EQ(5, link.GetRecordWord1ByPath("\\PC\\MAP\\表示2"));
  EXPECT_EQ(6, link.GetRecordWord2ByPath("\\PC\\MAP\\表示2"));
  EXPECT_EQ("\\NAVIDATA", link.GetDstPathBySrcPath("\\PC\\MAP\\"));
  // Not a map record, no match, and the empty text.
  EXPECT_EQ(0, link.GetYearByPath("\\PC\\PROBE"));
  EXPECT_EQ(-1, link.GetStatusByPath("\\PC\\NONE"));
  EXPECT_EQ(-1, link.GetRecordWord1ByPath(""));
  EXPECT_EQ(255, link.GetRecordWord2ByPath(""));
  EXPECT_EQ("", link.GetDstPathBySrcPath(""));
}

TEST_F(CoreLinkFileTest, SetDataRecordReplacesTheRecordAndKeepsTheRest) {
  core::CPcLinkFile link = Link();
  LinkRecordValues values;
  values.data_id = pclink::kDataIdMap;
  values.version = 0x02000030;
  values.year = 2013;
  values.status = 2;
  values.dst_path = std::string("\\NEWDATA");
  values.unit_word = 0xDEADBEEF;
  values.unit_value = 0xEE;
  values.match_path = "\\PC\\MAP\\表示";
  ASSERT_TRUE(link.SetDataRecord(values));

  const core::CPcLinkFile read = Link();
  ASSERT_TRUE(read.IsLoaded());
  ASSERT_EQ(4u, read.GetRecords().size());
  const CPcLinkRecord& r = read.GetRecords()[1];
  EXPECT_TRUE(r.HasMagic());
  EXPECT_EQ(0x02000030u, r.Version());
  EXPECT_EQ(0x2013, r.Year());
  EXPECT_EQ(2, r.Status());
  EXPECT_EQ("\\PC\\MAP\\表示", r.SrcPath());  // not given: kept
  EXPECT_EQ("\\NEWDATA", r.DstPath());
  EXPECT_EQ(0xCC, r.bytes[155]);
  EXPECT_EQ(0x02000020u, read.GetRecords()[2].Version());

  // The traffic charge's step: the version raised by one, the rest as read.
  LinkRecordValues traffic;
  traffic.data_id = pclink::kDataIdTraffic;
  traffic.version = read.GetVersion(pclink::kDataIdTraffic) + 1;
  traffic.year = BcdToInt16(read.GetYear(pclink::kDataIdTraffic));
  traffic.unit_word = static_cast<uint32_t>(read.GetRecordWord1(pclink::kDataIdTraffic));
  traffic.unit_value = static_cast<uint8_t>(read.GetRecordWord2(pclink::kDataIdTraffic));
  core::CPcLinkFile again = Link();
  ASSERT_TRUE(again.SetDataRecord(traffic));
  const core::CPcLinkFile last = Link();
  EXPECT_EQ(5u, last.GetVersion(pclink::kDataIdTraffic));
  EXPECT_EQ(0x2012, last.GetYear(pclink::kDataIdTraffic));
  EXPECT_EQ(11, last.GetRecordWord1(pclink::kDataIdTraffic));
  EXPECT_EQ("\\PC\\PROBE", last.GetSrcPath(pclink::kDataIdTraffic));
}

TEST_F(CoreLinkFileTest, AMissingRecordIsNotAddedButTheFileIsRewritten) {
  const std::string before = ovtest::ReadFileOrEmpty(card.Path("PCLINK.DAT"));
  core::CPcLinkFile link = Link();
  LinkRecordValues values;
  values.data_id = pclink::kDataIdWeather;
  values.version = 9;
  EXPECT_TRUE(link.SetDataRecord(values));
  const std::string after = ovtest::ReadFileOrEmpty(card.Path("PCLINK.DAT"));
  EXPECT_EQ(before.size(), after.size());
  EXPECT_NE(before, after);  // a fresh initial vector
  EXPECT_EQ(4u, Link().GetRecords().size());
  EXPECT_FALSE(Link().IsExistDataID(pclink::kDataIdWeather));
}

TEST_F(CoreLinkFileTest, BadParametersAreRefusedAndNothingIsWritten) {
  const std::string before = ovtest::ReadFileOrEmpty(card.Path("PCLINK.DAT"));
  core::CPcLinkFile link = Link();
  LinkRecordValues map;
  map.data_id = pclink::kDataIdMap;
  EXPECT_FALSE(link.SetDataRecord(map));  // no match path
  LinkRecordValues other;
  other.data_id = pclink::kDataIdTraffic;
  other.match_path = "\\PC";
  EXPECT_FALSE(link.SetDataRecord(other));
  LinkRecordValues long_path;
  long_path.data_id = pclink::kDataIdTraffic;
  long_path.src_path = std::string(64, 'A');
  EXPECT_FALSE(link.SetDataRecord(long_path));
  EXPECT_EQ(3u, log.Errors().size());
  EXPECT_TRUE(log.Contains("CPcLinkFile::SetDataRecord - パラメータ不正"));

  core::CPcLinkFile unit(CPcLinkFile::kUnitInfoFile, card.Letter());
  other.match_path.clear();
  EXPECT_FALSE(unit.SetDataRecord(other));
  EXPECT_EQ(before, ovtest::ReadFileOrEmpty(card.Path("PCLINK.DAT")));

  DeleteFileA(card.Path("PCLINK.DAT").c_str());
  core::CPcLinkFile missing = Link();
  EXPECT_FALSE(missing.SetDataRecord(other));
  EXPECT_TRUE(log.Contains("CPcLinkFile::SetDataRecord - データ設定時の未読み込み"));
}

TEST_F(CoreLinkFileTest, DumpRecordLogsEveryRecord) {
  Link().DumpRecord();
  EXPECT_TRUE(log.Contains(card.Path("PCLINK.DAT") + " 読み込み結果"));
  EXPECT_TRUE(
      log.Contains("\tDATAID:30010002, VERSION:02000010, YEAR:2010, STATUS:3, "
                   "SRCPATH:\\PC\\MAP\\表示, DSTPATH:\\NAVIDATA"));
  EXPECT_EQ(5u, log.Messages("..").size());
}

class CoreSDInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(card.IsValid());
    CreateDirectoryA(card.Path("PC").c_str(), nullptr);
  }
  ovtest::CTestCard card;
  ovtest::CLogCapture log;
};

TEST_F(CoreSDInfoTest, SetHistoryAddsThenUpdatesRecordsInPlace) {
  core::CSDInfoFile file(card.Letter());
  ASSERT_TRUE(file.SetHistory(2, Date(1), 2, 0x02000000, 0x100, 0x200, "地図"));
  ASSERT_TRUE(file.SetHistory(16, Date(2), 1, 0x10000000, 0, 0, nullptr));
  ASSERT_TRUE(file.SetHistory(2, Date(3), 4, 0x02200203, 0x101, 0x201, nullptr));
  EXPECT_EQ(256u, ovtest::ReadFileOrEmpty(card.Path("PC\\SDINFO.DAT")).size());

  const ::CSDInfoFile read(card.Letter());
  SYSTEMTIME date;
  int first = 0, second = 0, third = 0, fourth = 0;
  std::string text;
  ASSERT_TRUE(read.GetRecord(2, &date, &first, &text, &second, &third, &fourth));
  EXPECT_EQ(3, date.wSecond);
  EXPECT_EQ(4, first);
  EXPECT_EQ(0x02200203, second);
  EXPECT_EQ(0x101, third);
  EXPECT_EQ(0x201, fourth);
  EXPECT_EQ("地図", text);  // no text given: the old one stays
  EXPECT_EQ(2u, read.Records()[0].Id());
  EXPECT_EQ(16u, read.Records()[1].Id());
}

// The first record of a kind keeps its result: a failed first charge must
// not read as a success.
TEST_F(CoreSDInfoTest, ANewRecordTakesEveryValue) {
  core::CSDInfoFile file(card.Letter());
  ASSERT_TRUE(file.SetHistory(8, Date(5), 4, 0x0830000A, 7, 8, "天気"));
  const ::CSDInfoFile read(card.Letter());
  SYSTEMTIME date;
  int first = 0, second = 0;
  std::string text;
  ASSERT_TRUE(read.GetRecord(8, &date, &first, &text, &second));
  EXPECT_EQ(0x0830000A, second);
  EXPECT_EQ("天気", text);
}

// A damaged file would make every later history record vanish: it is set
// aside and written afresh with its whole records.
TEST_F(CoreSDInfoTest, ADamagedFileIsSetAsideAndWrittenAfresh) {
  SDInfoRecord kept;
  kept.SetId(16);
  kept.SetSecond(0x10000000);
  const std::string damaged =
      std::string(reinterpret_cast<const char*>(kept.bytes), SDInfoRecord::kSize) + "xx";
  ASSERT_TRUE(ovtest::WriteFileBytes(card.Path("PC\\SDINFO.DAT"), damaged));
  core::CSDInfoFile file(card.Letter());
  ASSERT_TRUE(file.SetHistory(2, Date(1), 2, 0x02000000, 0, 0, "地図"));
  EXPECT_EQ(damaged, ovtest::ReadFileOrEmpty(card.Path("PC\\SDINFO.DAT.bad")));
  EXPECT_TRUE(log.Contains("破損ファイルを退避し新規作成"));
  const ::CSDInfoFile read(card.Letter());
  ASSERT_EQ(2u, read.Records().size());
  EXPECT_EQ(16u, read.Records()[0].Id());
  EXPECT_EQ(0x10000000, read.Records()[0].Second());
  SYSTEMTIME date;
  int first = 0, second = 0;
  std::string text;
  ASSERT_TRUE(read.GetRecord(2, &date, &first, &text, &second));
  EXPECT_EQ("地図", text);
  // The next record goes in as usual.
  EXPECT_TRUE(file.SetHistory(8, Date(2), 1, 0, 0, 0, nullptr));
  EXPECT_EQ(384u, ovtest::ReadFileOrEmpty(card.Path("PC\\SDINFO.DAT")).size());
}

TEST_F(CoreSDInfoTest, ALockedFileIsNoDamage) {
  core::CSDInfoFile file(card.Letter());
  ASSERT_TRUE(file.SetHistory(2, Date(1), 2, 0, 0, 0, nullptr));
  CFileHandle holder(CreateFileA(card.Path("PC\\SDINFO.DAT").c_str(), GENERIC_READ, 0, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(holder);
  file.SetHistory(8, Date(2), 1, 0, 0, 0, nullptr);
  holder.Reset();
  EXPECT_EQ(GetFileAttributesA(card.Path("PC\\SDINFO.DAT.bad").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(CoreSDInfo, NoCardNoWrite) {
  ovtest::CLogCapture log;
  const char missing = coretest::MissingDriveLetter();
  ASSERT_NE(0, missing);
  core::CSDInfoFile file(missing);
  EXPECT_FALSE(file.WriteHistory());
  EXPECT_TRUE(log.Contains("SDINFOファイル読み込み時のSD無し"));
}

class CoreProbeLogTest : public ::testing::Test {
 protected:
  std::string Path() const { return GetDataFolder() + "ユーザー\\ProbeLog.dat"; }
  ovtest::CScopedDataRoot root;
  ovtest::CLogCapture log;
};

TEST_F(CoreProbeLogTest, KeepsTheLastTenUploads) {
  for (int i = 0; i < 11; ++i) {
    core::CProbeLogFile file("ユーザー");
    ASSERT_TRUE(file.SetLog(Date(static_cast<WORD>(i)), 0, i));
  }
  const ::CProbeLogFile read("ユーザー");
  ASSERT_EQ(10u, read.Records().size());
  EXPECT_EQ(1, read.Records().front().Result());
  EXPECT_EQ(10, read.Records().back().Result());
  EXPECT_EQ(400u, ovtest::ReadFileOrEmpty(Path()).size());
}

TEST_F(CoreProbeLogTest, MoreThanTenFromElsewhereComeBackToTen) {
  std::string bytes;
  for (int i = 0; i < 12; ++i) {
    ProbeLogRecord r;
    r.SetResult(i);
    bytes.append(reinterpret_cast<const char*>(r.bytes), ProbeLogRecord::kSize);
  }
  CreateDirectories(GetDataFolder() + "ユーザー");
  ASSERT_TRUE(ovtest::WriteFileBytes(Path(), bytes));
  core::CProbeLogFile file("ユーザー");
  ASSERT_TRUE(file.SetLog(Date(1), 3, 99));
  const ::CProbeLogFile read("ユーザー");
  ASSERT_EQ(10u, read.Records().size());
  EXPECT_EQ(3, read.Records().front().Result());
  EXPECT_EQ(99, read.Records().back().Result());
  EXPECT_EQ(3, read.Records().back().Code());
}

TEST_F(CoreProbeLogTest, ACutFileIsLeftAlone) {
  CreateDirectories(GetDataFolder() + "ユーザー");
  const std::string cut(45, '\x02');
  ASSERT_TRUE(ovtest::WriteFileBytes(Path(), cut));
  core::CProbeLogFile file("ユーザー");
  EXPECT_FALSE(file.SetLog(Date(1), 0, 0));
  EXPECT_EQ(cut, ovtest::ReadFileOrEmpty(Path()));
}

class CoreDownloadManageTest : public ::testing::Test {
 protected:
  std::string Folder() const { return root.Root() + "Download\\"; }
  std::string DLData() const { return ovtest::ReadFileOrEmpty(Folder() + "DL.DAT"); }
  static std::vector<DLManageRecord> Records(const std::string& bytes) {
    std::vector<DLManageRecord> records;
    AppendRecords(bytes, &records);
    return records;
  }

  ovtest::CScopedDataRoot root;
  ovtest::CLogCapture log;
};

TEST_F(CoreDownloadManageTest, SetDLManageWritesInPlaceOrAppends) {
  core::CDownloadManageFile file(Folder());
  ASSERT_TRUE(file.SetDLManage(0x0A, 0x01, "2.000010", 0, 0, "\\MAP\\データ\\表示.CNF"));
  std::vector<DLManageRecord> records = Records(DLData());
  ASSERT_EQ(1u, records.size());
  EXPECT_EQ(".\\0a\\01\\2.000010\\表示.CNF", records[0].LocalPath());
  EXPECT_EQ(0, records[0].Progress());

  ASSERT_TRUE(file.SetDLManage(0x0A, 0x02, "2.000010", 0, 0, "PART1.BIN"));
  ASSERT_TRUE(file.SetDLManage(0x0A, 0x01, "2.000010", 100, 1, "\\MAP\\データ\\表示.CNF"));
  records = Records(DLData());
  ASSERT_EQ(2u, records.size());
  EXPECT_EQ(100, records[0].Progress());
  EXPECT_EQ(1, records[0].RebuildFlag());
  EXPECT_EQ(0x02, records[1].Minor());
  EXPECT_EQ(".\\0a\\02\\2.000010\\PART1.BIN", records[1].LocalPath());
  EXPECT_TRUE(file.GetDLManage(0x0A, 0x02, "2.000010"));
}

// A download moving on within a data set changes only the progress byte of
// its record, in place; anything else (the end at 100, another path or
// flag) rewrites the file whole. The log tells the same either way.
TEST_F(CoreDownloadManageTest, AProgressStepIsWrittenInPlace) {
  core::CDownloadManageFile file(Folder());
  ASSERT_TRUE(file.SetDLManage(0x0A, 0x01, "2.000010", 0, 0, "DATA.CNF"));
  ASSERT_TRUE(file.SetDLManage(0x0A, 0x02, "2.000010", 0, 0, "PART1.BIN"));
  const auto file_id = [this] {
    CFileHandle handle(CreateFileA((Folder() + "DL.DAT").c_str(), 0,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    BY_HANDLE_FILE_INFORMATION info = {};
    EXPECT_TRUE(GetFileInformationByHandle(handle.Get(), &info));
    return (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  };
  const struct {
    uint8_t progress;
    uint8_t flag;
    const char* path;
    bool in_place;
  } steps[] = {
      {37, 0, "DATA.CNF", true},   {38, 0, "DATA.CNF", true},   {38, 0, "DATA.CNF", true},
      {39, 0, "OTHER.CNF", false}, {40, 1, "OTHER.CNF", false}, {100, 1, "OTHER.CNF", false},
      {99, 1, "OTHER.CNF", false},
  };
  for (const auto& step : steps) {
    const std::string before = DLData();
    const uint64_t id = file_id();
    log.Clear();
    ASSERT_TRUE(file.SetDLManage(0x0A, 0x01, "2.000010", step.progress, step.flag, step.path))
        << static_cast<int>(step.progress);
    EXPECT_EQ(step.in_place, file_id() == id) << static_cast<int>(step.progress);
    const std::vector<DLManageRecord> records = Records(DLData());
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ(step.progress, records[0].Progress());
    EXPECT_EQ(step.flag, records[0].RebuildFlag());
    EXPECT_EQ(std::string(".\\0a\\01\\2.000010\\") + step.path, records[0].LocalPath());
    if (step.in_place) {
      std::string expected = before;
      expected[DLManageRecord::kProgressOffset] = static_cast<char>(step.progress);
      EXPECT_TRUE(expected == DLData());
    }
    EXPECT_EQ(
        std::vector<std::string>(
            {"CDownloadManageFile::SetDLManage - Start", "CDownloadManageFile::Search - Start",
             "CDownloadManageFile::Search - End", "CDownloadManageFile::SetDLManage - End"}),
        log.Messages(".."));
  }
  EXPECT_FALSE(PathFileExists(Folder() + "DL.DAT.new"));
}

// A damaged file would fail every later map charge: it is set aside and
// started afresh with the whole records it held.
TEST_F(CoreDownloadManageTest, ADamagedFileIsSetAsideAndStartedAfresh) {
  CreateDirectories(Folder());
  for (const size_t size : {size_t{100}, size_t{305}}) {
    const std::string damaged(size, '\x03');
    ASSERT_TRUE(ovtest::WriteFileBytes(Folder() + "DL.DAT", damaged));
    core::CDownloadManageFile file(Folder());
    ASSERT_TRUE(file.SetDLManage(0x0A, 0x01, "2.000010", 0, 0, "X.CNF")) << size;
    EXPECT_EQ(damaged, ovtest::ReadFileOrEmpty(Folder() + "DL.DAT.bad"));
    const std::vector<DLManageRecord> records = Records(DLData());
    ASSERT_EQ(size / DLManageRecord::kSize + 1, records.size()) << size;
    EXPECT_EQ("2.000010", records.back().Name());
    EXPECT_TRUE(file.GetDLManage(0x0A, 0x01, "2.000010"));
  }
  EXPECT_TRUE(log.Contains("破損ファイルを退避し新規作成"));
}

TEST_F(CoreDownloadManageTest, AFileTooLargeToReadIsSetAside) {
  CreateDirectories(Folder());
  {
    // 64 MiB and one record: sparse, so it costs no disk.
    CFileHandle big(CreateFileA((Folder() + "DL.DAT").c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(big);
    LARGE_INTEGER end;
    end.QuadPart = 64ll * 1024 * 1024 + DLManageRecord::kSize;
    ASSERT_TRUE(SetFilePointerEx(big.Get(), end, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(big.Get()));
  }
  core::CDownloadManageFile file(Folder());
  ASSERT_TRUE(file.SetDLManage(0x0A, 0x01, "2.000010", 0, 0, "X.CNF"));
  EXPECT_EQ(1u, Records(DLData()).size());
  WIN32_FILE_ATTRIBUTE_DATA aside = {};
  ASSERT_TRUE(
      GetFileAttributesExA((Folder() + "DL.DAT.bad").c_str(), GetFileExInfoStandard, &aside));
  EXPECT_EQ(0u, aside.nFileSizeHigh);
  EXPECT_EQ(64u * 1024 * 1024 + DLManageRecord::kSize, aside.nFileSizeLow);
  DeleteFileA((Folder() + "DL.DAT.bad").c_str());
}

TEST_F(CoreDownloadManageTest, DeletesTheLocalDataUpToAVersion) {
  core::CDownloadManageFile file(Folder());
  const char* const names[] = {"1.000010", "1.000020", "2.000001"};
  for (const char* name : names) {
    ASSERT_TRUE(file.SetDLManage(0x0A, 0x01, name, 100, 0, "DATA.CNF"));
    const std::string folder = Folder() + FormatString("0A\\01\\%s", name);
    ASSERT_TRUE(CreateDirectories(folder));
    ASSERT_TRUE(ovtest::WriteFileBytes(folder + "\\DATA.CNF", "cnf"));
  }
  ASSERT_TRUE(file.SetDLManage(0x0B, 0x01, "1.000001", 100, 0, "OTHER.CNF"));

  EXPECT_TRUE(file._DeleteLocalDataUnderVersion(0x0A, 0x01, 0x01000020, Folder()));
  EXPECT_FALSE(PathIsDirectory(Folder() + "0A\\01\\1.000010"));
  EXPECT_FALSE(PathIsDirectory(Folder() + "0A\\01\\1.000020"));
  EXPECT_TRUE(PathIsDirectory(Folder() + "0A\\01\\2.000001"));
  const std::vector<DLManageRecord> records = Records(DLData());
  ASSERT_EQ(2u, records.size());
  EXPECT_EQ("2.000001", records[0].Name());
  EXPECT_EQ(0x0B, records[1].Major());
  EXPECT_TRUE(
      log.Contains("CDownloadManageFile::_DeleteLocalDataUnderVersion - 削除対象1001 01000020"));
  EXPECT_FALSE(file._DeleteLocalDataUnderVersion(0x0A, 0x01, 0x01000020, ""));
}

TEST(CoreConfig, SavesTheLastAutoChargeAndTheLineSpeed) {
  ovtest::CScopedDataRoot root;
  core::COstrovelleConfig config;
  SYSTEMTIME date = {};
  date.wYear = 2013;
  date.wMonth = 2;
  date.wDay = 3;
  date.wHour = 4;
  date.wMinute = 5;
  date.wSecond = 6;
  ASSERT_TRUE(config.SaveLastAutoCharge(date));
  ASSERT_TRUE(config.SaveSpeedOfLine(512));
  char text[32] = {};
  GetPrivateProfileStringA("Music", "LastAutoCharge", "", text, sizeof(text),
                           config.GetIniPath().c_str());
  EXPECT_STREQ("20130203040506", text);
  ::COstrovelleConfig read;
  ASSERT_TRUE(read.LoadLastAutoCharge());
  EXPECT_EQ(6, read.GetLastAutoCharge().wSecond);
  ASSERT_TRUE(read.LoadSpeedOfLine());
  EXPECT_EQ(512, read.GetSpeedOfLine());
}

}  // namespace
