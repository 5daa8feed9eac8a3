// The map charge's upkeep of the card: the disk checker (through its
// stand-in in the prefix), the removal of data sets the unit has taken over
// with the paths that must never be removed, the room for the transfer with
// the card-clear question, the link-file record after a copy, and the
// download total corrected by an image.
#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "ChargeKind.h"
#include "CoreMessages.h"
#include "CoreTestSupport.h"
#include "Folders.h"
#include "Handle.h"
#include "MapChargeRunSupport.h"
#include "MapChargeTestSupport.h"
#include "OstrovelleLite/DownloadManageFile.h"
#include "StringUtil.h"
#include "TestSupport.h"
#include "files/CoreDownloadManage.h"
#include "map/MapCharge.h"

namespace {

using maptest::CardSpace;
using maptest::CMapChargeFixture;

constexpr uint32_t kProgram = 0x10000001;
constexpr uint32_t kMapSet = 0x30010001;
constexpr uint32_t kSearch = 0x30010002;

// The record of a link file or unit information file, by id and path prefix.
const CPcLinkRecord* Find(const CPcLinkFile& file, uint32_t id, const std::string& prefix = "") {
  for (const CPcLinkRecord& r : file.GetRecords()) {
    if (r.DataId() == id && r.SrcPath().compare(0, prefix.size(), prefix) == 0) return &r;
  }
  return nullptr;
}

class MapChargeCardTest : public CMapChargeFixture {
 protected:
  // The unit information file and a link file of their own on the card.
  void WriteFiles(ovtest::CCardMaker unit, ovtest::CCardMaker link) {
    ASSERT_TRUE(unit.WriteCard(card.Letter(), false));
    ASSERT_TRUE(link.WriteFile(card.Path("PCLINK.DAT")));
    maptest::CChargeAccess::Init(charge);
  }
  void Put(const std::string& relative, const std::string& bytes = "data") {
    const std::string path = card.Path(relative);
    ASSERT_TRUE(CreateDirectories(GetParentFolder(path)));
    ASSERT_TRUE(ovtest::WriteFileBytes(path, bytes));
  }
  bool Exists(const std::string& relative) const {
    return GetFileAttributesA(card.Path(relative).c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  CPcLinkFile Link() const { return CPcLinkFile(CPcLinkFile::kLinkFile, card.Letter()); }
};

// ---- The disk checker ----

struct CheckerCase {
  const char* name;
  const char* exit_code;
  bool result;
  const char* line;
};

void PrintTo(const CheckerCase& c, std::ostream* os) { *os << c.name; }

class MapChargeCheckerTest : public MapChargeCardTest,
                             public ::testing::WithParamInterface<CheckerCase> {};

TEST_P(MapChargeCheckerTest, RunsTheCheckerOnTheCard) {
  const CheckerCase& c = GetParam();
  const std::string calls = dir.File("chkdsk.log");
  const maptest::CScopedEnvironment record("OV_CHKDSK_LOG", calls);
  const maptest::CScopedEnvironment exit_code("OV_CHKDSK_EXIT", c.exit_code);
  EXPECT_EQ(charge.CardUpkeep().ScanCard(), c.result);
  EXPECT_TRUE(log.Contains(c.line)) << log.Text();
  EXPECT_TRUE(log.Contains(FormatString("SDカードスキャン終了 0x%08X", c.result ? 1 : 0)));
  char windows[MAX_PATH] = {};
  GetSystemWindowsDirectoryA(windows, MAX_PATH);
  EXPECT_EQ(ovtest::ReadFileOrEmpty(calls),
            FormatString("%s\\system32\\chkdsk.exe %c: /F /X|%s\\system32\r\n", windows,
                         card.Letter(), windows));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MapChargeCheckerTest,
    ::testing::Values(CheckerCase{"NoErrors", "0", true, "CHKDSK エラーなし"},
                      CheckerCase{"Repaired", "1", true, "CHKDSK エラーがあった為、修復"},
                      CheckerCase{"Failed", "3", false, "CHKDSKエラー EXTCODE:0x00000003"}),
    ovtest::CaseName());

TEST_F(MapChargeCardTest, ACheckerThatOverrunsBothWaitsIsLeftRunning) {
  const maptest::CHeldChecker checker(standin.Namespace());
  charge.CardUpkeep().SetCheckerTimeout(100);
  EXPECT_FALSE(charge.CardUpkeep().ScanCard());
  EXPECT_TRUE(log.Contains("CHKDSKタイムアウト1回目"));
  EXPECT_TRUE(log.Contains("CHKDSKタイムアウト2回目"));
  // Under load the checker may start only after both waits have passed.
  ASSERT_TRUE(checker.WaitStarted(30000));
  checker.Release();
  EXPECT_TRUE(checker.WaitDone(30000));
}

// ---- Data sets the unit has taken over ----

struct TakenOverCase {
  const char* name;
  uint32_t format;
  uint32_t data_id;
  uint32_t unit_version;
  uint16_t unit_status;
  const char* src_path;
  const char* folder;  // on the card; gone afterwards when `removed`
  bool removed;
};

void PrintTo(const TakenOverCase& c, std::ostream* os) { *os << c.name; }

class MapChargeTakenOverTest : public MapChargeCardTest,
                               public ::testing::WithParamInterface<TakenOverCase> {};

TEST_P(MapChargeTakenOverTest, RemovesOnlyWhatTheUnitHasTakenOver) {
  const TakenOverCase& c = GetParam();
  ovtest::CCardMaker unit = maptest::DefaultCard();
  unit.Records().clear();
  unit.FormatVersion(c.format);
  ovtest::CCardMaker link = unit;
  unit.AddRecord(c.data_id, c.unit_version, 0x2012, c.unit_status, c.src_path, "DST", 0, 0);
  link.AddRecord(c.data_id, 0x02000002, 0x2011, 0, "OLD", "OLDDST", 0x1234, 7);
  WriteFiles(unit, link);
  Put(std::string(c.folder) + "data.bin");
  Put("KOLTRA58\\model.bin");
  ASSERT_TRUE(charge.CardUpkeep().DeleteReflectedData(0));
  EXPECT_EQ(!Exists(c.folder), c.removed);
  EXPECT_EQ(!Exists("KOLTRA58\\"), c.removed && c.data_id == kMapSet && c.format >= 0x02000000);

  const CPcLinkFile after = Link();
  const CPcLinkRecord* record = Find(after, c.data_id);
  ASSERT_NE(record, nullptr);
  const bool taken = c.unit_status == 1 && c.unit_version >= 0x02000002;
  EXPECT_EQ(record->Version(), taken ? c.unit_version : 0x02000002u);
  EXPECT_EQ(record->SrcPath(), taken ? c.src_path : "OLD");
  // The unit's own values in the link record pass through.
  EXPECT_EQ(record->UnitWord(), 0x1234u);
  EXPECT_EQ(record->UnitByte(), 7);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MapChargeTakenOverTest,
    ::testing::Values(TakenOverCase{"ProgramTakenOver", 0x02000000, kProgram, 0x02000003, 1,
                                    "PROGRAM", "PC\\PROGRAM\\", true},
                      TakenOverCase{"SameVersionTakenOver", 0x02000000, kProgram, 0x02000002, 1,
                                    "PROGRAM", "PC\\PROGRAM\\", true},
                      TakenOverCase{"NotTakenOver", 0x02000000, kProgram, 0x02000003, 0, "PROGRAM",
                                    "PC\\PROGRAM\\", false},
                      TakenOverCase{"UnitOlderThanTheCard", 0x02000000, kProgram, 0x02000001, 1,
                                    "PROGRAM", "PC\\PROGRAM\\", false},
                      TakenOverCase{"MapSetWithTheModelFolder", 0x02000000, kMapSet, 0x02000003, 1,
                                    "NAVIDATA", "NAVIDATA\\", true},
                      TakenOverCase{"FirstFormatPath", 0x01000000, kProgram, 0x02000003, 1,
                                    "SD\\PC\\PROGRAM", "PC\\PROGRAM\\", true}),
    ovtest::CaseName());

struct UnfitPathCase {
  const char* name;
  uint32_t format;
  uint32_t data_id;
  const char* src_path;
};

void PrintTo(const UnfitPathCase& c, std::ostream* os) { *os << c.name; }

class MapChargeUnfitPathTest : public MapChargeCardTest,
                               public ::testing::WithParamInterface<UnfitPathCase> {};

TEST_P(MapChargeUnfitPathTest, NeverRemovesTheCardsOwnFolders) {
  const UnfitPathCase& c = GetParam();
  ovtest::CCardMaker unit = maptest::DefaultCard();
  unit.Records().clear();
  unit.FormatVersion(c.format);
  ovtest::CCardMaker link = unit;
  unit.AddRecord(c.data_id, 0x02000003, 0x2012, 1, c.src_path, "DST");
  link.AddRecord(c.data_id, 0x02000002, 0x2011, 0, "OLD", "OLDDST");
  WriteFiles(unit, link);
  Put("PC\\PCAPL\\PCLAUNCHER.EXE");
  Put("PROBE\\trip\\ProbeData.dat");
  Put("PC\\keep.bin");
  Put("keep.bin");
  ASSERT_TRUE(charge.CardUpkeep().DeleteReflectedData(0));
  for (const char* kept : {"PC\\NAVIINFO.DAT", "PCLINK.DAT", "PC\\PCAPL\\PCLAUNCHER.EXE",
                           "PROBE\\trip\\ProbeData.dat", "PC\\keep.bin", "keep.bin"}) {
    EXPECT_TRUE(Exists(kept)) << kept;
  }
  EXPECT_TRUE(log.Contains("CMapCharge::_DeleteReflectedData - 削除対象外のパス")) << log.Text();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MapChargeUnfitPathTest,
    ::testing::Values(UnfitPathCase{"Empty", 0x02000000, kProgram, ""},
                      UnfitPathCase{"EmptyMapSet", 0x02000000, kMapSet, ""},
                      UnfitPathCase{"Climbing", 0x02000000, kProgram, "..\\.."},
                      UnfitPathCase{"Absolute", 0x02000000, kProgram, "C:\\windows"},
                      UnfitPathCase{"Launcher", 0x02000000, kProgram, "PCAPL"},
                      UnfitPathCase{"MapSetOnPC", 0x02000000, kMapSet, "PC"},
                      UnfitPathCase{"MapSetOnProbe", 0x02000000, kMapSet, "PROBE"},
                      UnfitPathCase{"FirstFormatPC", 0x01000000, kProgram, "SD\\PC"},
                      UnfitPathCase{"FirstFormatRoot", 0x01000000, kProgram, "SD"}),
    ovtest::CaseName());

TEST_F(MapChargeCardTest, SearchFoldersGoAndTheirRecordsFollowTheUnit) {
  ovtest::CCardMaker unit = maptest::DefaultCard();
  unit.Records().clear();
  ovtest::CCardMaker link = unit;
  unit.AddRecord(kSearch, 0x01000004, 0x2012, 0, "SEARCH1", "S1");
  unit.AddRecord(kSearch, 0x01000005, 0x2012, 1, "SEARCH2", "S2");
  link.AddRecord(kSearch, 0x01000009, 0x2013, 0, "SEARCH1", "OLD1", 0x55, 1);
  link.AddRecord(kSearch, 0x01000009, 0x2013, 0, "SEARCH2", "OLD2", 0x66, 2);
  WriteFiles(unit, link);
  for (int n : {1, 2, 12}) Put(FormatString("PC\\SEARCH%d\\index.bin", n));
  ASSERT_TRUE(charge.CardUpkeep().DeleteReflectedData(0));
  for (int n : {1, 2, 12}) EXPECT_FALSE(Exists(FormatString("PC\\SEARCH%d\\", n))) << n;
  const CPcLinkFile after = Link();
  const CPcLinkRecord* first = Find(after, kSearch, "SEARCH1");
  const CPcLinkRecord* second = Find(after, kSearch, "SEARCH2");
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->Version(), 0x01000004u);
  EXPECT_EQ(first->DstPath(), "S1");
  EXPECT_EQ(first->UnitWord(), 0x55u);
  EXPECT_EQ(second->Version(), 0x01000005u);
  EXPECT_EQ(second->Status(), 1);
  EXPECT_EQ(second->UnitByte(), 2);
}

TEST_F(MapChargeCardTest, AutoDeleteRemovesTheOlderLocalCopies) {
  ovtest::CCardMaker unit = maptest::DefaultCard();
  unit.Records().clear();
  ovtest::CCardMaker link = unit;
  unit.AddRecord(kProgram, 0x02000002, 0x2012, 1, "PROGRAM", "DST");
  link.AddRecord(kProgram, 0x02000002, 0x2012, 0, "PROGRAM", "DST");
  WriteFiles(unit, link);
  const std::string folder = charge._GetDataFolder();
  core::CDownloadManageFile manage(folder);
  for (const char* version : {"2.000001", "2.000002", "2.000003"}) {
    const std::string image = FormatString("%s05\\01\\%s\\DATA.CNF", folder.c_str(), version);
    ASSERT_TRUE(CreateDirectories(GetParentFolder(image)));
    ASSERT_TRUE(ovtest::WriteFileBytes(image, "image"));
    ASSERT_TRUE(manage.SetDLManage(5, 1, version, 100, 0, image));
  }
  ASSERT_TRUE(charge.CardUpkeep().DeleteReflectedData(1));
  EXPECT_FALSE(PathFileExists(folder + "05\\01\\2.000001\\"));
  EXPECT_FALSE(PathFileExists(folder + "05\\01\\2.000002\\"));
  EXPECT_TRUE(PathFileExists(folder + "05\\01\\2.000003\\DATA.CNF"));
  EXPECT_EQ(manage.Search(5, 1, "2.000003"), 0);
}

TEST_F(MapChargeCardTest, WithoutTheUnitsFileNothingIsRemoved) {
  WriteFiles(maptest::DefaultCard(), maptest::DefaultCard());
  Put("PC\\SEARCH1\\index.bin");
  ASSERT_TRUE(ovtest::WriteFileBytes(card.Path("PC\\NAVIINFO.DAT"), "broken"));
  ASSERT_TRUE(charge.CardUpkeep().DeleteReflectedData(1));
  EXPECT_TRUE(Exists("PC\\SEARCH1\\index.bin"));
}

// ---- Room for the transfer ----

struct VolumeCase {
  const char* name;
  int mode;
  uint8_t kind;
  CardSpace space;
  uint64_t needed;   // the transfer total (whole mode) or the record's size
  uint64_t first;    // the first record's size in whole mode
  uint32_t charged;  // bytes in the card's map-charge folders
  bool result;
  uint32_t code;
  bool charged_gone;  // the map-charge folders were removed
};

void PrintTo(const VolumeCase& c, std::ostream* os) { *os << c.name; }

class MapChargeVolumeTest : public MapChargeCardTest,
                            public ::testing::WithParamInterface<VolumeCase> {};

TEST_P(MapChargeVolumeTest, DecidesWhetherTheTransferFits) {
  const VolumeCase& c = GetParam();
  maptest::SetCardSpace(c.space);
  charge.CardUpkeep().SetDiskSpaceSource(&maptest::TestDiskSpace);
  charge.SetTransferTotal(c.needed);
  const uint64_t size = c.mode == CMapCardUpkeep::kVolumeWhole ? c.first : c.needed;
  charge.CardUpkeep().SetTransferSizeSource([size](const CDownloadListData&, uint64_t* out) {
    *out = size;
    return 0u;
  });
  if (c.charged) {
    Put("PC\\MAP\\old.bin", std::string(c.charged, 'm'));
  }
  CDownloadListData record;
  record.data_kind = c.kind;
  EXPECT_EQ(charge.CardUpkeep().CheckVolume(c.mode, record), c.result);
  EXPECT_EQ(charge.GetErrorCode(), c.code);
  if (c.charged) {
    EXPECT_EQ(!Exists("PC\\MAP\\old.bin"), c.charged_gone);
  }
}

constexpr uint64_t kBigCard = 8000000000ull;
constexpr int kWhole = CMapCardUpkeep::kVolumeWhole;
constexpr int kSingle = CMapCardUpkeep::kVolumeSingle;

INSTANTIATE_TEST_SUITE_P(
    Cases, MapChargeVolumeTest,
    ::testing::Values(
        VolumeCase{"Fits", kWhole, 0, {true, kBigCard, 1000}, 999, 0, 0, true, 0, false},
        VolumeCase{"ExactlyFullDoesNotFit",
                   kSingle,
                   5,
                   {true, kBigCard, 1000},
                   1000,
                   0,
                   0,
                   false,
                   0x350109,
                   false},
        VolumeCase{"SpaceUnknown", kWhole, 0, {false, 0, 0}, 1, 0, 0, false, 0x35FFFF, false},
        VolumeCase{"MapCardOneByteTooSmall",
                   kWhole,
                   1,
                   {true, 7199999999ull, 1000},
                   1,
                   0,
                   0,
                   false,
                   0x35EEEE,
                   false},
        VolumeCase{"MapCardJustBigEnough",
                   kWhole,
                   1,
                   {true, 7200000000ull, 1000},
                   1,
                   0,
                   0,
                   true,
                   0,
                   false},
        VolumeCase{
            "SmallCardForOtherData", kSingle, 5, {true, 1000000, 1000}, 1, 0, 0, true, 0, false},
        VolumeCase{"FitsOnceTheOldMapGoes",
                   kWhole,
                   0,
                   {true, kBigCard, 1000},
                   1500,
                   1400,
                   600,
                   true,
                   0,
                   true},
        VolumeCase{
            "FirstFitsAsItIs", kWhole, 0, {true, kBigCard, 1000}, 5000, 900, 600, true, 0, false},
        VolumeCase{"FirstFitsOnceTheOldMapGoes",
                   kWhole,
                   0,
                   {true, kBigCard, 1000},
                   5000,
                   1200,
                   600,
                   true,
                   0,
                   true}),
    ovtest::CaseName());

TEST_F(MapChargeCardTest, ARecordWhoseSizeIsUnknownIsFetchedAgain) {
  maptest::SetCardSpace({true, kBigCard, 1000});
  charge.CardUpkeep().SetDiskSpaceSource(&maptest::TestDiskSpace);
  charge.CardUpkeep().SetTransferSizeSource(
      [](const CDownloadListData&, uint64_t*) { return 0x240u; });
  const std::string folder = charge._GetDataFolder();
  core::CDownloadManageFile manage(folder);
  ASSERT_TRUE(manage.SetDLManage(5, 0, "2.000003", 100, 1, folder + "05\\00\\2.000003\\A.CNF"));
  CDownloadListData record;
  record.data_kind = 5;
  record.version = "2.000003";
  EXPECT_FALSE(charge.CardUpkeep().CheckVolume(kSingle, record));
  EXPECT_EQ(charge.GetErrorCode(), 0x35010Au);
  ASSERT_TRUE(manage.GetDLManage(5, 0, "2.000003"));
  EXPECT_EQ(manage.DLManageData().Progress(), 0);
  EXPECT_EQ(manage.DLManageData().LocalPath(), ".\\05\\00\\2.000003\\A.CNF");
}

TEST_F(MapChargeCardTest, NoCardNoTransfer) {
  charge.SetDriveLetter(coretest::MissingDriveLetter());
  EXPECT_FALSE(charge.CardUpkeep().CheckVolume(kWhole, CDownloadListData()));
  EXPECT_EQ(charge.GetErrorCode(), 0x35FF06u);
}

struct ClearCase {
  const char* name;
  bool yes;
  bool result;
  uint32_t code;
};

void PrintTo(const ClearCase& c, std::ostream* os) { *os << c.name; }

class MapChargeCardClearTest : public MapChargeCardTest,
                               public ::testing::WithParamInterface<ClearCase> {};

TEST_P(MapChargeCardClearTest, AsksBeforeClearingTheCard) {
  const ClearCase& c = GetParam();
  maptest::SetCardSpace({true, kBigCard, 1000});
  charge.CardUpkeep().SetDiskSpaceSource(&maptest::TestDiskSpace);
  charge.SetTransferTotal(5000);
  charge.CardUpkeep().SetTransferSizeSource([](const CDownloadListData&, uint64_t* out) {
    *out = 3000;
    return 0u;
  });
  Put("VIDEO\\movie.bin");
  Put("PC\\MAP\\old.bin");
  coretest::CRecorderWindow window;
  charge.SetTargetWindow(window.Get());
  // An answer left from an earlier question must not count.
  const CHandle stale(
      CreateEventA(nullptr, FALSE, FALSE,
                   maptest::AnswerEvent(CMapQuestions::kQuestionCardClear, !c.yes).c_str()));
  SetEvent(stale.Get());
  bool result = !c.result;
  const maptest::Reply reply = c.yes ? maptest::Yes(CMapQuestions::kQuestionCardClear)
                                     : maptest::No(CMapQuestions::kQuestionCardClear);
  ASSERT_TRUE(maptest::RunAnswering(
      window, [&] { result = charge.CardUpkeep().CheckVolume(kWhole, CDownloadListData()); },
      {reply}));
  EXPECT_EQ(result, c.result);
  EXPECT_EQ(charge.GetErrorCode(), c.code);
  const std::vector<coretest::RecordedMessage> asked = window.Of(coretest::Msg(kMsgMapLicense));
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].wparam, 239u);
  EXPECT_EQ(asked[0].lparam, 0);
  EXPECT_EQ(Exists("VIDEO\\movie.bin"), !c.yes);
  EXPECT_EQ(Exists("PC\\MAP\\old.bin"), !c.yes);
  EXPECT_TRUE(Exists("PC\\NAVIINFO.DAT"));
  // The clear makes the link file anew from the unit's.
  EXPECT_EQ(Exists("PCLINK.DAT"), c.yes);
}

INSTANTIATE_TEST_SUITE_P(Cases, MapChargeCardClearTest,
                         ::testing::Values(ClearCase{"Yes", true, true, 0},
                                           ClearCase{"No", false, false, 0xFF00}),
                         ovtest::CaseName());

// ---- The link file after a copy ----

struct LinkUpdateCase {
  const char* name;
  uint8_t kind;
  int topic_no;
  bool result;
  uint32_t data_id;
  const char* path;  // of the record written
};

void PrintTo(const LinkUpdateCase& c, std::ostream* os) { *os << c.name; }

class MapChargeLinkUpdateTest : public MapChargeCardTest,
                                public ::testing::WithParamInterface<LinkUpdateCase> {};

TEST_P(MapChargeLinkUpdateTest, WritesTheCopiedVersion) {
  const LinkUpdateCase& c = GetParam();
  ovtest::CCardMaker unit = maptest::DefaultCard();
  unit.Records().clear();
  unit.AddRecord(kProgram, 0x02000001, 0x2011, 1, "PROGRAM", "PDST");
  unit.AddRecord(kMapSet, 0x01000001, 0x2011, 1, "NAVIDATA", "MDST");
  unit.AddRecord(kSearch, 0x01000001, 0x2011, 1, "SEARCH1", "S1DST");
  unit.AddRecord(kSearch, 0x01000001, 0x2011, 1, "SEARCH2", "S2DST");
  ovtest::CCardMaker link = unit;
  for (CPcLinkRecord& r : link.Records()) r.SetUnitWord(0xABCD);
  WriteFiles(unit, link);
  CDownloadListData record;
  record.data_kind = c.kind;
  record.version = "3.00000A";
  EXPECT_EQ(charge.CardUpkeep().UpdateLinkFile(record, c.topic_no), c.result);
  if (!c.result) return;
  const CPcLinkFile after = Link();
  const CPcLinkRecord* written = Find(after, c.data_id, c.path);
  ASSERT_NE(written, nullptr);
  EXPECT_EQ(written->Version(), 0x0300000Au);
  EXPECT_EQ(written->Year(), 0x2011);
  EXPECT_EQ(written->Status(), 1);
  EXPECT_EQ(written->UnitWord(), 0xABCDu);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MapChargeLinkUpdateTest,
    ::testing::Values(LinkUpdateCase{"Program", 5, 0, true, kProgram, "PROGRAM"},
                      LinkUpdateCase{"MapSet", 1, 0, true, kMapSet, "NAVIDATA"},
                      LinkUpdateCase{"SecondSearchFolder", 4, 2, true, kSearch, "SEARCH2"},
                      LinkUpdateCase{"SearchWithoutFolder", 4, 0, false, kSearch, ""},
                      LinkUpdateCase{"KindTheUnitLacks", 6, 0, false, 0, ""},
                      LinkUpdateCase{"KindWithoutId", 9, 0, false, 0, ""}),
    ovtest::CaseName());

TEST_F(MapChargeCardTest, SearchFolderOneIsNotFolderTen) {
  ovtest::CCardMaker unit = maptest::DefaultCard();
  unit.Records().clear();
  unit.AddRecord(kSearch, 0x01000010, 0x2011, 1, "SEARCH10", "S10DST");
  unit.AddRecord(kSearch, 0x01000001, 0x2011, 1, "SEARCH1", "S1DST");
  WriteFiles(unit, unit);
  CDownloadListData record;
  record.data_kind = 4;
  record.version = "3.00000A";
  ASSERT_TRUE(charge.CardUpkeep().UpdateLinkFile(record, 1));
  const CPcLinkFile after = Link();
  std::map<std::string, const CPcLinkRecord*> by_path;
  for (const CPcLinkRecord& r : after.GetRecords()) by_path[r.SrcPath()] = &r;
  ASSERT_EQ(by_path.count("SEARCH1"), 1u);
  ASSERT_EQ(by_path.count("SEARCH10"), 1u);
  EXPECT_EQ(by_path["SEARCH1"]->Version(), 0x0300000Au);
  EXPECT_EQ(by_path["SEARCH1"]->DstPath(), "S1DST");
  EXPECT_EQ(by_path["SEARCH10"]->Version(), 0x01000010u);
  EXPECT_EQ(by_path["SEARCH10"]->DstPath(), "S10DST");
}

TEST_F(MapChargeCardTest, AnImageCorrectsTheDownloadTotal) {
  charge.ReplaceProgressDLFileSize(0, 100);
  charge.ReplaceProgressDLFileSize(40, 50);
  EXPECT_EQ(charge.GetDownloadTotal(), 110u);
  charge.ReplaceProgressDLFileSize(110, 30);
  EXPECT_EQ(charge.GetDownloadTotal(), 30u);
  charge.ReplaceProgressDLFileSize(40, 50);
  EXPECT_EQ(charge.GetDownloadTotal(), 50u);
}

}  // namespace
