// The planned content of the card's music folder: what a survey counts,
// how deletions empty folders as the library does, the card's limits and
// the taken paths.
#include "MusicFileLib.h"
#include "MusicTestSupport.h"
#include "StringUtil.h"
#include "TestSupport.h"
#include "music/CardMusicPlan.h"

#include <gtest/gtest.h>

namespace {

using Fit = CCardMusicPlan::Fit;

bool Never() { return false; }

TEST(CardMusicPlan, SurveyCountsFoldersAndMusicFilesAndDeletionsEmptyFolders) {
  ovtest::CTempDir dir;
  const std::wstring sd = ToWide(dir.Path()) + L"MUSIC";
  for (const wchar_t* name :
       {L"top.mp3", L"A\\a.wma", L"A\\B\\b.m4a", L"C\\c.mp3", L"C\\cover.jpg"}) {
    ASSERT_TRUE(musictest::WriteFileW(sd + L"\\" + name, "x"));
  }
  CCardMusicPlan plan;
  ASSERT_TRUE(plan.Survey(sd, Never));
  EXPECT_EQ(3, plan.Folders());
  EXPECT_EQ(4, plan.MusicFiles());

  // B goes with its only file; A still holds a.wma and stays even once
  // empty of B, until a.wma goes too.
  plan.Delete(L"A\\B\\b.m4a");
  EXPECT_EQ(2, plan.Folders());
  plan.Delete(L"a\\A.WMA");
  EXPECT_EQ(1, plan.Folders());
  // The cover keeps C; the music folder itself never counts.
  plan.Delete(L"C\\c.mp3");
  plan.Delete(L"top.mp3");
  EXPECT_EQ(1, plan.Folders());
  EXPECT_EQ(0, plan.MusicFiles());

  plan.Keep(L"A\\a.wma");
  EXPECT_EQ(2, plan.Folders());
  EXPECT_EQ(1, plan.MusicFiles());

  int calls = 0;
  CCardMusicPlan aborted;
  EXPECT_FALSE(aborted.Survey(sd, [&] { return ++calls > 2; }));
}

TEST(CardMusicPlan, LimitsOfFoldersAndFilesAndTakenPaths) {
  ovtest::CTempDir dir;
  CCardMusicPlan plan;
  ASSERT_TRUE(plan.Survey(ToWide(dir.Path()) + L"none", Never));
  for (int i = 0; i < libmusic::kMaxCardMusicFolders; ++i) {
    const std::wstring path = ToWide(FormatString("F%03d\\x.mp3", i));
    ASSERT_EQ(Fit::kFits, plan.Check(path));
    plan.Add(path);
  }
  EXPECT_EQ(Fit::kTooManyFolders, plan.Check(L"New\\y.mp3"));
  EXPECT_EQ(Fit::kFits, plan.Check(L"F007\\y.mp3"));
  EXPECT_EQ(Fit::kFits, plan.Check(L"top.mp3"));
  EXPECT_TRUE(plan.IsTaken(L"f007\\X.MP3"));
  EXPECT_FALSE(plan.IsTaken(L"F007\\y.mp3"));

  for (int i = plan.MusicFiles(); i < libmusic::kMaxCardMusicFiles; ++i) {
    plan.Add(ToWide(FormatString("F000\\%04d.mp3", i)));
  }
  EXPECT_EQ(Fit::kTooManyFiles, plan.Check(L"F001\\z.mp3"));
  EXPECT_EQ(Fit::kFits, plan.Check(L"F001\\notes.txt"));
}

}  // namespace
