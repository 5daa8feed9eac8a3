// The rebuild and transfer of downloaded data sets onto a test card: pieces
// joined as they are, joined then unpacked, unpacked then joined; nested
// images, removal entries, packed images, search data; the failures that
// leave the card untouched and send the data set back to the download; the
// sizes and the verification of a data set on the card.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "ConfImageBuilder.h"
#include "CoreMessages.h"
#include "Folders.h"
#include "Handle.h"
#include "MapDataTestSupport.h"
#include "OstrovelleLite/DownloadManageFile.h"
#include "OstrovelleLite/NPCrcCalc.h"
#include "StringUtil.h"
#include "TestSupport.h"
#include "map/MapCharge.h"
#include "map/RecoverFile.h"

namespace {

using mapdata::CDataImage;
using mapdata::CMapDataFixture;

constexpr uint8_t kKind = 2;
constexpr uint8_t kDetail = 1;
const char kVersion[] = "1.000010";

class RecoverFileTest : public CMapDataFixture {
 protected:
  void SetUp() override {
    CMapDataFixture::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    recover.SetDataFolder(data_folder);
    recover.SetErrorSink([this](uint32_t code) { charge.SetErrorCode(code); });
    recover.SetAbortTest([this] { return charge.IsAbortSet(); });
    recover.SetWindow(window.Get());
    recover.SetTickSource([] { return maptest::TestTick(); });
    set_folder = mapdata::SetFolder(data_folder, kKind, kDetail, kVersion);
  }
  // The data set's images as the download leaves them.
  void LayOut(const CDataImage& image, const std::string& name = "DATA.CNF") {
    ASSERT_TRUE(mapdata::LayOut(set_folder, name, image));
  }
  void Register(uint8_t percent = 100, const std::string& image = "DATA.CNF") {
    ASSERT_TRUE(mapdata::Register(data_folder, kKind, kDetail, kVersion, image, percent));
  }
  uint32_t Transfer(uint8_t kind = kKind) {
    return recover._JointFile(card.Letter(), kVersion, kind, kDetail);
  }
  DLManageRecord ManageRecord(uint8_t kind = kKind) const {
    CDownloadManageFile manage(data_folder);
    EXPECT_TRUE(manage.GetDLManage(kind, kDetail, kVersion));
    return manage.DLManageData();
  }
  void ExpectOnCard(const mapdata::NamedBytes& files) const {
    for (const auto& file : files) {
      EXPECT_EQ(ovtest::ReadFileOrEmpty(card.Path(file.first)), file.second) << file.first;
    }
  }
  bool Exists(const std::string& path) const {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  // The card's entries besides the volume's own files.
  size_t CardEntries() const {
    size_t count = 0;
    WIN32_FIND_DATAA found;
    const CFindHandle find(FindFirstFileA(card.Path("*").c_str(), &found));
    if (!find) return 0;
    do {
      const std::string name = found.cFileName;
      count += name != "." && name != ".." && name.compare(0, 9, ".windows-") != 0;
    } while (FindNextFileA(find.Get(), &found));
    return count;
  }

  CRecoverFile recover{abort_event.Get()};
  std::string set_folder;
};

CDataImage ThreeWays() {
  CDataImage image("MAP\\");
  image.File("plain.dat", mapdata::Pattern(9000), 4000)
      .File("whole.gz.dat", std::string(20000, 'w') + "end", 1000, 0x2000)
      .File("pieces.gz.dat", mapdata::Pattern(7000) + "tail", 2500, 0x4000);
  return image;
}

TEST_F(RecoverFileTest, RebuildsEveryKindOfPieceOntoTheCard) {
  const CDataImage image = ThreeWays();
  LayOut(image);
  Register();
  ASSERT_EQ(Transfer(), 0u);
  ExpectOnCard(image.CardFiles());

  const DLManageRecord managed = ManageRecord();
  EXPECT_EQ(managed.Progress(), 100);
  EXPECT_EQ(managed.RebuildFlag(), 1);
  EXPECT_FALSE(Exists(set_folder + "RecoverTemp"));
  // The pieces stay on the PC for a later check.
  for (const auto& piece : image.Pieces()) EXPECT_TRUE(Exists(set_folder + piece.first));

  uint64_t total = 0;
  for (const auto& file : image.CardFiles()) total += file.second.size();
  EXPECT_EQ(recover.GetCopiedBytes(), total);
  // Every copied file counts in the block, also those before a speed sample.
  EXPECT_EQ(recover.GetTransferredBytes(), total);
  const MapProgressWords block = ReadBlock(kMapProgressTransfer);
  EXPECT_EQ(block.words[0], 2u);
  EXPECT_EQ(block.Done(), total);
  EXPECT_EQ(block.Total(), 0u);
  Drain();
  const auto posted = window.Of(coretest::Msg(kMsgMapProgress));
  ASSERT_EQ(posted.size(), 3u);
  for (const auto& message : posted) EXPECT_EQ(message.wparam, 2u);
}

TEST_F(RecoverFileTest, TheSpeedOfBigFastCopiesIsAveraged) {
  // Each reading of the clock moves it on 2 ms: 20000 bytes give 10 MB/s.
  maptest::SetClockStep(2);
  CDataImage image("MAP\\");
  image.File("big.dat", mapdata::Pattern(20000), 8000).File("small.dat", "tiny", 4);
  LayOut(image);
  Register();
  ASSERT_EQ(Transfer(), 0u);
  EXPECT_GT(recover.GetAverageSpeed(), 100000u);
  EXPECT_EQ(ReadBlock(kMapProgressTransfer).words[1], recover.GetAverageSpeed());
  EXPECT_TRUE(log.Contains("TR速度単体"));
}

TEST_F(RecoverFileTest, NestedImagesRemovalsAndSearchData) {
  // Old data on the card that the images remove.
  ASSERT_TRUE(CreateDirectories(card.Path("MAP\\")));
  ASSERT_TRUE(ovtest::WriteFileBytes(card.Path("MAP\\old.dat"), "old"));
  ASSERT_TRUE(CreateDirectories(card.Path("OLD\\deep\\")));
  ASSERT_TRUE(ovtest::WriteFileBytes(card.Path("OLD\\deep\\x.dat"), "x"));
  CDataImage main_image("MAP\\");
  main_image.File("map.dat", "the map", 3)
      .Removal("old.dat")
      .Nested("SUB.CNF")
      .Nested("http://elsewhere.example/any/folder/OTHER.CNF");
  CDataImage sub_image("OLD\\");
  sub_image.Removal(".\\");
  CDataImage other_image("EXTRA\\");
  other_image.File("extra.dat", "more", 10);
  LayOut(main_image);
  LayOut(sub_image, "SUB.CNF");
  LayOut(other_image, "OTHER.CNF");
  Register();
  ASSERT_EQ(Transfer(), 0u);
  ExpectOnCard(main_image.CardFiles());
  ExpectOnCard(other_image.CardFiles());
  EXPECT_FALSE(Exists(card.Path("MAP\\old.dat")));
  EXPECT_FALSE(Exists(card.Path("OLD")));
  EXPECT_TRUE(Exists(card.Path("PC\\NAVIINFO.DAT")));
}

TEST_F(RecoverFileTest, SearchDataGoesToTheChosenSearchFolder) {
  CDataImage image("PC\\SEARCH\\");
  image.File("index.dat", "search index", 5);
  set_folder = mapdata::SetFolder(data_folder, 4, kDetail, kVersion);
  LayOut(image);
  ASSERT_TRUE(mapdata::Register(data_folder, 4, kDetail, kVersion));
  recover.SetSearchFolderNo(3);
  EXPECT_EQ(recover.GetSearchCardPath(), "SD\\PC\\SEARCH3");
  ASSERT_EQ(Transfer(4), 0u);
  EXPECT_EQ(ovtest::ReadFileOrEmpty(card.Path("PC\\SEARCH3\\index.dat")), "search index");
}

TEST_F(RecoverFileTest, APackedImageIsExpandedOnThePc) {
  CDataImage image("MAP\\");
  image
      .File("packed.bin",
            ovtest::BuildPackedImage({{"one.txt", "first"}, {"two.txt", "second entry"}}), 16,
            0x400)
      .File("map.dat", "the map", 4);
  LayOut(image);
  Register();
  ASSERT_EQ(Transfer(), 0u);
  EXPECT_TRUE(recover.IsArchiveExpanded());
  EXPECT_EQ(ovtest::ReadFileOrEmpty(set_folder + "MAP\\one.txt"), "first");
  EXPECT_EQ(ovtest::ReadFileOrEmpty(set_folder + "MAP\\two.txt"), "second entry");
  EXPECT_FALSE(Exists(card.Path("MAP\\packed.bin")));
  ExpectOnCard(image.CardFiles());
}

struct FailureCase {
  const char* name;
  std::function<void(CDataImage&)> build;
  // Spoils what lies in the set folder after the layout.
  std::function<void(const std::string& set_folder)> spoil;
  uint32_t code;
  uint32_t charge_code;  // 0: whatever it was
  size_t pauses;
};

std::ostream& operator<<(std::ostream& out, const FailureCase& c) { return out << c.name; }

class RecoverFailureTest : public RecoverFileTest,
                           public ::testing::WithParamInterface<FailureCase> {};

TEST_P(RecoverFailureTest, LeavesTheCardAndSendsTheDataSetBack) {
  const FailureCase& c = GetParam();
  CDataImage image("MAP\\");
  c.build(image);
  LayOut(image);
  if (c.spoil) c.spoil(set_folder);
  Register();
  charge.SetErrorCode(0);
  const size_t before = CardEntries();
  EXPECT_EQ(Transfer(), c.code);
  if (c.charge_code) {
    EXPECT_EQ(charge.GetErrorCode(), c.charge_code);
  }
  EXPECT_EQ(CardEntries(), before);
  EXPECT_FALSE(Exists(card.Path("MAP")));
  const DLManageRecord managed = ManageRecord();
  EXPECT_EQ(managed.Progress(), 0);
  EXPECT_EQ(managed.RebuildFlag(), 0);
  EXPECT_FALSE(Exists(set_folder + "RecoverTemp"));
  EXPECT_EQ(pauses.Pauses().size(), c.pauses);
}

void FlipByte(const std::string& path, size_t at) {
  std::string bytes = ovtest::ReadFileOrEmpty(path);
  ASSERT_GT(bytes.size(), at);
  bytes[at] ^= 0x5A;
  ASSERT_TRUE(ovtest::WriteFileBytes(path, bytes));
}

const FailureCase kFailures[] = {
    {"InvalidJoinFlags",
     [](CDataImage& image) { image.File("bad.dat", "abcdef", 3, 0x6000).File("ok.dat", "ok", 1); },
     nullptr, 0x240, 0, 0},
    {"RebuiltFileWithAnotherCrc",
     [](CDataImage& image) {
       mapdata::DataFile file;
       file.name = "map.dat";
       file.content = "content whose image CRC is wrong";
       file.piece_size = 10;
       file.crc_xor = 0x1111;
       image.File(file);
     },
     nullptr, 0x210, 0x107, 0},
    {"MissingPiece", [](CDataImage& image) { image.File("map.dat", "0123456789", 4); },
     [](const std::string& folder) { DeleteFileA((folder + "MAP\\map.dat.001").c_str()); }, 0x210,
     0x210, 0},
    {"UnpackedWholeWithAnotherCrc",
     [](CDataImage& image) {
       mapdata::DataFile file{"map.dat", mapdata::Pattern(5000), 300, 0x2000, 0x0101};
       image.File(file);
     },
     nullptr, 0x210, 0x107, 0},
    {"UnpackedPiecesWithAnotherCrc",
     [](CDataImage& image) {
       mapdata::DataFile file{"map.dat", mapdata::Pattern(5000), 2000, 0x4000, 0x8000};
       image.File(file);
     },
     nullptr, 0x210, 0x107, 0},
    // Before anything is unpacked, as when the pieces were joined first.
    {"MissingPieceOfAWholeGzip",
     [](CDataImage& image) { image.File("map.dat", mapdata::Pattern(5000), 300, 0x2000); },
     [](const std::string& folder) { DeleteFileA((folder + "MAP\\map.dat.001").c_str()); }, 0x210,
     0x210, 0},
    // A gzip piece of its own that is not there fails its unpacking.
    {"MissingGzipPiece",
     [](CDataImage& image) { image.File("map.dat", mapdata::Pattern(5000), 2000, 0x4000); },
     [](const std::string& folder) { DeleteFileA((folder + "MAP\\map.dat.001").c_str()); }, 0x230,
     0x230, 1},
    {"BrokenGzipIsTriedTwice",
     [](CDataImage& image) { image.File("map.dat", mapdata::Pattern(5000), 100000, 0x2000); },
     [](const std::string& folder) { FlipByte(folder + "MAP\\map.dat.000", 40); }, 0x230, 0x230, 1},
    {"BrokenGzipPiece",
     [](CDataImage& image) { image.File("map.dat", mapdata::Pattern(5000), 2000, 0x4000); },
     [](const std::string& folder) { FlipByte(folder + "MAP\\map.dat.001", 30); }, 0x230, 0x230, 1},
    {"UnreadableImage", [](CDataImage& image) { image.File("map.dat", "abc", 2); },
     [](const std::string& folder) {
       ASSERT_TRUE(ovtest::WriteFileBytes(folder + "DATA.CNF", "not an image at all"));
     },
     0x240, 0, 0},
    {"ImageNameThatLeavesTheFolder",
     [](CDataImage& image) { image.File("..\\..\\up.dat", "abc", 2); }, nullptr, 0x240, 0, 0},
};
INSTANTIATE_TEST_SUITE_P(Failures, RecoverFailureTest, ::testing::ValuesIn(kFailures),
                         ovtest::CaseName());

struct UnpackCase {
  const char* name;
  uint16_t flags;
  size_t piece_size;
};

std::ostream& operator<<(std::ostream& out, const UnpackCase& c) { return out << c.name; }

class RecoverUnpackTest : public RecoverFileTest,
                          public ::testing::WithParamInterface<UnpackCase> {};

// The second try starts where the failed one started: nothing it wrote stays
// in the file, nor in the sum that checks it.
TEST_P(RecoverUnpackTest, ASecondTryThatPassesLeavesNothingOfTheFirst) {
  const UnpackCase& c = GetParam();
  const std::string content = mapdata::Pattern(6000) + "end";
  CDataImage image("MAP\\");
  image.File("map.dat", content, c.piece_size, c.flags);
  LayOut(image);
  Register();
  const std::string piece = set_folder + "MAP\\map.dat.001";
  const std::string intact = ovtest::ReadFileOrEmpty(piece);
  FlipByte(piece, 30);
  ovtest::CPauseRecorder mend([&](int) { ASSERT_TRUE(ovtest::WriteFileBytes(piece, intact)); });
  ASSERT_EQ(Transfer(), 0u);
  EXPECT_EQ(mend.Pauses(), (std::vector<DWORD>{CRecoverFile::kUnpackRetryPauseMs}));
  EXPECT_TRUE(log.Contains("ファイル解凍失敗"));
  ExpectOnCard(image.CardFiles());
}

const UnpackCase kUnpackCases[] = {
    {"WholeGzipInPieces", 0x2000, 300},
    {"GzipPieces", 0x4000, 2000},
};
INSTANTIATE_TEST_SUITE_P(Modes, RecoverUnpackTest, ::testing::ValuesIn(kUnpackCases),
                         ovtest::CaseName());

// The rebuilt file's CRC-16 is summed as it is written, in each way of
// rebuilding; the check reads the file only when it is no longer what was
// written.
TEST_F(RecoverFileTest, TheRebuiltFilesSumIsTakenWhileItIsWritten) {
  const std::string content = mapdata::Pattern(10000);
  const uint16_t crc = NPCrcCalc::Of(content.data(), content.size());
  CDataImage image("MAP\\");
  image.File("plain.dat", content, 3000)
      .File("whole.dat", content, 500, 0x2000)
      .File("pieces.dat", content, 3000, 0x4000);
  LayOut(image);
  const std::string base = set_folder + "MAP\\";
  const std::string target = set_folder + "rebuilt.dat";
  const auto pieces = [&](const char* name) {
    uint32_t count = 0;
    for (const auto& piece : image.Pieces()) count += piece.first.find(name) != std::string::npos;
    return count;
  };
  const std::function<uint32_t()> rebuilds[] = {
      [&] { return recover._MakeFile(base + "plain.dat", target, pieces("plain.dat"), false); },
      [&] { return recover._MakeUnZipFile(base + "whole.dat", target, pieces("whole.dat")); },
      [&] { return recover._UnZipMakeFile(base + "pieces.dat", target, pieces("pieces.dat")); },
  };
  for (const auto& rebuild : rebuilds) {
    ASSERT_EQ(rebuild(), 0u);
    EXPECT_EQ(ovtest::ReadFileOrEmpty(target), content);
    const CRecoverFile::RebuiltSum& sum = recover.GetRebuiltSum();
    EXPECT_TRUE(sum.summed);
    EXPECT_EQ(sum.path, target);
    EXPECT_EQ(sum.size, content.size());
    EXPECT_EQ(sum.crc, crc);
  }
  EXPECT_TRUE(recover._RebuiltCrcCheck(target, crc));
  log.Clear();
  EXPECT_FALSE(recover._RebuiltCrcCheck(target, crc ^ 1));
  EXPECT_TRUE(log.Contains("CRecoverFile::_CrcCheck - ファイル妥当性チェック 不一致"));
  // Changed since it was written: read again, and the change is seen.
  ASSERT_TRUE(ovtest::WriteFileBytes(target, content + "x"));
  EXPECT_FALSE(recover._RebuiltCrcCheck(target, crc));
  EXPECT_TRUE(recover._RebuiltCrcCheck(target, NPCrcCalc::Of((content + "x").data(), 10001)));
  // A failed rebuild leaves no sum behind.
  EXPECT_EQ(recover._MakeFile(base + "none.dat", target, 2, false), 0x210u);
  EXPECT_FALSE(recover.GetRebuiltSum().summed);
}

TEST_F(RecoverFileTest, AnImageThatCannotBeFoundOrNamedIsNoTransfer) {
  // No record at all.
  EXPECT_EQ(Transfer(), 0x240u);
  // A record whose image is not a configuration image.
  LayOut(ThreeWays(), "DATA.BIN");
  Register(100, "DATA.BIN");
  EXPECT_EQ(Transfer(), 0x240u);
  EXPECT_TRUE(log.Contains("ファイル結合時のファイル名不正"));
  EXPECT_EQ(CardEntries(), 1u);  // the PC folder of the unit
}

TEST_F(RecoverFileTest, RemovalsNeverReachTheCardsRoot) {
  for (const char* path : {"", "\\", ".\\", "..\\"}) {
    CDataImage image(path);
    image.Removal(".\\");
    LayOut(image);
    Register();
    EXPECT_EQ(Transfer(), 0x240u) << "[" << path << "]";
    EXPECT_TRUE(Exists(card.Path("PC\\NAVIINFO.DAT")));
  }
}

TEST_F(RecoverFileTest, RemovalsNeverTakeTheUnitsFilesOrTheFoldersHoldingThem) {
  // The unit's files, the launcher, the probe data and the link file, with
  // two entries that are the images' to remove.
  const std::vector<std::string> kept = {"PC\\NAVIINFO.DAT",
                                         "PC\\PCLINK.DAT",
                                         "PC\\SDINFO.DAT",
                                         "PCLINK.DAT",
                                         "AUTORUN.INF",
                                         "PC\\PCAPL\\PCLAUNCHER.EXE",
                                         "PC\\PCAPL\\PCLAUNCHER.INI",
                                         "PROBE\\trip1\\ProbeData.dat"};
  const auto lay_card = [&] {
    for (const std::string& path : kept) {
      ASSERT_TRUE(CreateDirectories(GetParentFolder(card.Path(path))));
      if (!Exists(card.Path(path))) {
        ASSERT_TRUE(ovtest::WriteFileBytes(card.Path(path), path));
      }
    }
    ASSERT_TRUE(ovtest::WriteFileBytes(card.Path("PC\\PCAPL\\OLD.INI"), "old"));
    ASSERT_TRUE(CreateDirectories(card.Path("PC\\PROGRAM\\")));
    ASSERT_TRUE(ovtest::WriteFileBytes(card.Path("PC\\PROGRAM\\APP.BIN"), "app"));
  };
  lay_card();
  // The launcher by its short name, where the file system gives it one.
  char short_name[MAX_PATH] = {};
  GetShortPathNameA(card.Path("PC\\PCAPL\\PCLAUNCHER.EXE").c_str(), short_name, MAX_PATH);
  std::string launcher_short = PathFindFileName(short_name);
  if (launcher_short.empty()) launcher_short = "PCLAUNCHER.EXE";

  struct Case {
    std::string path_entry;
    std::string name;
    const char* removed;  // what the entry may remove; null: nothing
  };
  const Case cases[] = {
      {"PC\\", ".\\", nullptr},
      {"pc\\", "naviinfo.dat", nullptr},
      {"PC\\.\\", "SDINFO.DAT", nullptr},
      {"PC//", "PCLINK.DAT", nullptr},
      {"", "PCLINK.DAT", nullptr},
      {"", "autorun.inf", nullptr},
      {"PC\\PCAPL\\", ".\\", nullptr},
      {"PC\\PCAPL\\", launcher_short, nullptr},
      {"PROBE\\", ".\\", nullptr},
      {"PROBE\\trip1\\", ".\\", nullptr},
      {"Probe\\trip1\\", "ProbeData.dat", nullptr},
      {"PC\\PCAPL\\", "OLD.INI", "PC\\PCAPL\\OLD.INI"},
      {"PC\\PROGRAM\\", ".\\", "PC\\PROGRAM"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("[" + c.path_entry + "][" + c.name + "]");
    lay_card();
    log.Clear();
    CDataImage image(c.path_entry);
    image.Removal(c.name);
    LayOut(image);
    Register();
    EXPECT_EQ(Transfer(), 0u);
    for (const std::string& path : kept) EXPECT_TRUE(Exists(card.Path(path))) << path;
    if (c.removed) {
      EXPECT_FALSE(Exists(card.Path(c.removed)));
    } else {
      EXPECT_TRUE(log.Contains("CRecoverFile::_SendFile - 削除対象外のパス"));
    }
  }
}

TEST_F(RecoverFileTest, PathEntriesFromARootOrOnAShareAreRefused) {
  for (const char* path : {"\\MAP\\", "/MAP/", "\\\\server\\share\\"}) {
    CDataImage image(path);
    image.File("map.dat", "the map", 4);
    // The pieces lie where a path made relative would find them.
    CDataImage relative("MAP\\");
    relative.File("map.dat", "the map", 4);
    LayOut(relative);
    ASSERT_TRUE(ovtest::WriteFileBytes(set_folder + "DATA.CNF", image.Build()));
    Register();
    EXPECT_EQ(Transfer(), 0x240u) << path;
    EXPECT_FALSE(Exists(card.Path("MAP"))) << path;
    EXPECT_TRUE(log.Contains("サーバ指定のパス名を拒否")) << path;
  }
}

TEST_F(RecoverFileTest, AStopIsSeenAtTheNextEntry) {
  LayOut(ThreeWays());
  Register(100);
  SetEvent(abort_event.Get());
  EXPECT_EQ(Transfer(), 0xFF00u);
  EXPECT_FALSE(Exists(card.Path("MAP")));
  // A stopped data set keeps its download.
  EXPECT_EQ(ManageRecord().Progress(), 100);
  EXPECT_EQ(ManageRecord().RebuildFlag(), 0);
}

TEST_F(RecoverFileTest, ACopyThatCannotBeMadeIsAWriteFailure) {
  CDataImage image("MAP\\");
  image.File("map.dat", "the map", 3);
  LayOut(image);
  Register();
  // A folder where the file would go: the copy fails like on a full card.
  ASSERT_TRUE(CreateDirectories(card.Path("MAP\\map.dat\\")));
  EXPECT_EQ(Transfer(), 0x220u);
  EXPECT_NE(recover.GetLastSystemError(), 0u);
  EXPECT_TRUE(log.Contains("CRecoverFile::_CopyFileLite - CopyFile失敗"));
  EXPECT_EQ(ManageRecord().Progress(), 0);
  EXPECT_FALSE(Exists(set_folder + "RecoverTemp"));
}

TEST_F(RecoverFileTest, AMissingSourceIsNothingToCopy) {
  log.Clear();
  EXPECT_TRUE(recover._CopyFileLite(set_folder + "nothing.dat", card.Path("nothing.dat")));
  EXPECT_TRUE(log.Errors().empty());
  EXPECT_FALSE(Exists(card.Path("nothing.dat")));
}

TEST_F(RecoverFileTest, SizesAndVerificationOfADataSet) {
  CDataImage image = ThreeWays();
  image.File("packed.bin", ovtest::BuildPackedImage({{"a", "b"}}), 16, 0x400);
  CDataImage with_extras = image;
  with_extras.Removal("gone.dat");
  LayOut(with_extras);
  Register();
  uint64_t size = 0;
  // Removals and packed images need no room on the card.
  EXPECT_EQ(recover.CheckFile(&size, kVersion, data_folder, card.Letter(), kKind, kDetail,
                              CRecoverFile::kCheckSize, 1),
            0u);
  uint64_t expected = 0;
  for (const auto& file : image.CardFiles()) expected += file.second.size();
  EXPECT_EQ(size, expected);

  ASSERT_EQ(Transfer(), 0u);
  EXPECT_EQ(recover.CheckFile(&size, kVersion, data_folder, card.Letter(), kKind, kDetail,
                              CRecoverFile::kCheckVerify, 1),
            0u);
  FlipByte(card.Path("MAP\\whole.gz.dat"), 7);
  EXPECT_EQ(recover.CheckFile(&size, kVersion, data_folder, card.Letter(), kKind, kDetail,
                              CRecoverFile::kCheckVerify, 1),
            0x107u);
  EXPECT_EQ(recover.CheckFile(&size, kVersion, data_folder, card.Letter(), kKind, kDetail, 1, 1),
            0u);
  EXPECT_EQ(recover.CheckFile(&size, "9.999999", data_folder, card.Letter(), kKind, kDetail,
                              CRecoverFile::kCheckSize, 1),
            0x240u);
}

TEST_F(RecoverFileTest, WhatCountsAsAlreadyTransferred) {
  const CDataImage image = ThreeWays();
  LayOut(image);
  Register();
  ASSERT_EQ(Transfer(), 0u);
  const char drive = card.Letter();
  // The link file says what the core put there, the unit's file what the
  // unit took over.
  const auto link = [&](uint32_t pc_version, uint32_t unit_version) {
    ovtest::CCardMaker unit;
    unit.CcidHead(0x00012345).Model(9).AddRecord(0x30020001, unit_version, 0x2012, 0);
    ASSERT_TRUE(unit.WriteCard(drive));
    ovtest::CCardMaker pc;
    pc.CcidHead(0x00012345).Model(9).AddRecord(0x30020001, pc_version, 0x2012, 0);
    ASSERT_TRUE(pc.WriteFile(CPcLinkFile::LinkPath(drive)));
  };
  const auto transferred = [&](uint32_t data_id) {
    return recover.CheckTransferredFile(kVersion, drive, data_folder, kKind, kDetail, data_id);
  };
  link(0x01000010, 0x01000005);
  EXPECT_TRUE(transferred(0x30020001));
  EXPECT_FALSE(transferred(0x30010002));  // search data is never taken as there
  link(0x01000010, 0x01000010);
  EXPECT_FALSE(transferred(0x30020001));  // the unit has it already
  link(0x01000010, 0x01000005);
  FlipByte(card.Path("MAP\\plain.dat"), 1);
  EXPECT_FALSE(transferred(0x30020001));
}

}  // namespace
