// Clearing a card of the unit: what stays, what goes, the link file made
// again, and the refusals (no drive, not the unit's card, a folder off it).
#include "CardClear.h"
#include "CardMaker.h"
#include "Folders.h"
#include "OstrovelleLite/PcLinkFile.h"
#include "StringUtil.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

class ClearSDCardTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(_card.IsValid()) << "no removable test drive"; }

  std::string At(const std::string& relative) const { return _card.Path(relative); }
  bool Exists(const std::string& relative) const { return PathFileExistsA(At(relative).c_str()); }

  void Put(const std::string& relative, const std::string& bytes = "x") {
    const std::string path = At(relative);
    CreateDirectories(GetParentFolder(path));
    ASSERT_TRUE(ovtest::WriteFileBytes(path, bytes)) << relative;
  }

  // A unit card with the unit's files, a stale link file and plenty to clear.
  void FillCard() {
    ovtest::CCardMaker maker;
    maker.AddRecord(pclink::kDataIdMap, 0x02000010, 0x2010, 1, "\\PC\\MAP");
    ASSERT_TRUE(maker.WriteCard(_card.Letter(), true));
    ovtest::CCardMaker().Pairing(99).WriteFile(At("PCLINK.DAT"));
    Put("PC\\SDINFO.DAT");
    Put("PC\\OTHER.TXT");
    Put("PC\\PCAPL\\PCLAUNCHER.EXE");
    Put("PC\\PCAPL\\PCLAUNCHER.INI");
    Put("PC\\PCAPL\\OLD.EXE");
    Put("AUTORUN.INF");
    Put("PROBE\\TRIP1\\ProbeData.dat");
    Put("PC\\MAP\\MAP.DAT");
    Put("NAVIDATA\\POINT\\P.DAT");
    Put("UPDATE\\U.BIN");
    Put("MUSIC\\ALBUM\\song.mp3");
    Put("READONLY.TXT");
    SetFileAttributesA(At("READONLY.TXT").c_str(), FILE_ATTRIBUTE_READONLY);
    // A name code page 932 cannot hold.
    const std::wstring wide = ToWide(At("MUSIC\\")) + L"caf\u00e9\u0394.mp3";
    CloseHandle(CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(wide.c_str()));
  }

  void ExpectUnitFilesKept() {
    for (const char* kept :
         {"PC\\NAVIINFO.DAT", "PC\\SDINFO.DAT", "PC\\PCAPL\\PCLAUNCHER.EXE",
          "PC\\PCAPL\\PCLAUNCHER.INI", "AUTORUN.INF", "PROBE\\TRIP1\\ProbeData.dat"}) {
      EXPECT_TRUE(Exists(kept)) << kept;
    }
    for (const char* gone : {"PC\\OTHER.TXT", "PC\\PCAPL\\OLD.EXE", "MUSIC", "READONLY.TXT"}) {
      EXPECT_FALSE(Exists(gone)) << gone;
    }
    // The link file is the unit information file's copy again.
    EXPECT_EQ(ovtest::ReadFileOrEmpty(At("PC\\NAVIINFO.DAT")),
              ovtest::ReadFileOrEmpty(At("PCLINK.DAT")));
  }

  ovtest::CTestCard _card;
  ovtest::CLogCapture _log;
};

TEST_F(ClearSDCardTest, ClearsEverythingButTheUnitsFilesAndMakesTheLinkFileAgain) {
  FillCard();
  EXPECT_EQ(0u, ClearSDCard(_card.Letter(), true, false));
  ExpectUnitFilesKept();
  for (const char* gone : {"PC\\MAP", "NAVIDATA", "UPDATE"}) EXPECT_FALSE(Exists(gone)) << gone;
  EXPECT_TRUE(_log.Contains(FormatString("SDカード内クリア要求 %cドライブ", _card.Letter())));
}

TEST_F(ClearSDCardTest, MapFoldersStayUnlessAsked) {
  FillCard();
  EXPECT_EQ(0u, ClearSDCard(_card.Letter(), false, false));
  ExpectUnitFilesKept();
  for (const char* kept : {"PC\\MAP\\MAP.DAT", "NAVIDATA\\POINT\\P.DAT", "UPDATE\\U.BIN"}) {
    EXPECT_TRUE(Exists(kept)) << kept;
  }
}

TEST_F(ClearSDCardTest, FolderLinkIsNeitherFollowedNorRemoved) {
  FillCard();
  ovtest::CTempDir outside;
  ASSERT_TRUE(ovtest::WriteFileBytes(outside.File("precious.txt"), "keep me"));
  if (!ovtest::MakeFolderLink(At("LINKED"), outside.Path())) GTEST_SKIP() << "no folder links";
  ASSERT_TRUE(Exists("LINKED\\precious.txt"));
  EXPECT_EQ(0u, ClearSDCard(_card.Letter(), true, false));
  EXPECT_EQ("keep me", ovtest::ReadFileOrEmpty(outside.File("precious.txt")));
  EXPECT_TRUE(Exists("LINKED\\precious.txt"));
  EXPECT_FALSE(Exists("MUSIC"));
  EXPECT_TRUE(ovtest::RemoveFolderLink(At("LINKED")));
}

TEST_F(ClearSDCardTest, RefusesADriveThatIsNotTheUnitsCard) {
  Put("MUSIC\\song.mp3");
  Put("PC\\OTHER.TXT");
  EXPECT_EQ(3u, ClearSDCard(_card.Letter(), true, false));
  EXPECT_TRUE(Exists("MUSIC\\song.mp3"));
  EXPECT_TRUE(Exists("PC\\OTHER.TXT"));
  EXPECT_TRUE(_log.Contains("SDカード内クリア時のナビSD確認失敗"));
}

TEST_F(ClearSDCardTest, RefusesNoDriveAndAFolderOffTheCard) {
  EXPECT_EQ(3u, ClearSDCard(0, true, false));
  EXPECT_TRUE(_log.Contains("SDカード内クリア時のドライブ指定不正"));

  FillCard();
  ovtest::CTempDir outside;
  ASSERT_TRUE(ovtest::WriteFileBytes(outside.File("precious.txt"), "keep me"));
  const std::wstring off_card = ToWide(outside.Path());
  EXPECT_EQ(3u, ClearSDCard(_card.Letter(), true, true, off_card.c_str()));
  const std::wstring climbing = ToWide(At("MUSIC\\..\\..\\"));
  EXPECT_EQ(3u, ClearSDCard(_card.Letter(), true, true, climbing.c_str()));
  EXPECT_EQ("keep me", ovtest::ReadFileOrEmpty(outside.File("precious.txt")));
  EXPECT_TRUE(Exists("MUSIC\\ALBUM\\song.mp3"));
}

TEST_F(ClearSDCardTest, ClearsOneFolderOfTheCard) {
  FillCard();
  const std::wstring music = ToWide(At("MUSIC\\"));
  EXPECT_EQ(0u, ClearSDCard(_card.Letter(), true, true, music.c_str()));
  EXPECT_FALSE(Exists("MUSIC"));
  EXPECT_TRUE(Exists("PC\\OTHER.TXT"));
}

}  // namespace
