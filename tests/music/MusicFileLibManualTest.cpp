// The manual music library without a worker: the percentage rule, the copy
// through ".TMP", the listing's rules, and the operation-status record.
#include <gtest/gtest.h>

#include "Folders.h"
#include "MusicFileLibManual.h"
#include "MusicTestSupport.h"
#include "OperationManager.h"
#include "StringUtil.h"
#include "TestSupport.h"

using musictest::FileExistsW;
using musictest::MakeMp3;
using musictest::WriteFileW;

namespace {

struct PercentCase {
  const char* name;
  uint64_t done;
  uint64_t whole;
  int percent;
};

class ProgressPercentTest : public ::testing::TestWithParam<PercentCase> {};

TEST_P(ProgressPercentTest, FollowsTheRule) {
  EXPECT_EQ(GetParam().percent, ProgressPercent(GetParam().done, GetParam().whole));
}

INSTANTIATE_TEST_SUITE_P(Rule, ProgressPercentTest,
                         ::testing::Values(PercentCase{"NothingToDo", 5, 0, 0},
                                           PercentCase{"SmallWholeMultipliesFirst", 1, 3, 33},
                                           PercentCase{"SmallWholeDone", 3, 3, 100},
                                           PercentCase{"HundredExactly", 57, 100, 57},
                                           PercentCase{"JustOverAHundredDividesTheWhole", 100, 101,
                                                       100},
                                           PercentCase{"LargeWholeDividesFirst", 199, 200, 99},
                                           PercentCase{"HundredthRoundsDown", 150, 299, 75},
                                           PercentCase{"Gigabytes", 3ull << 30, 4ull << 30, 75},
                                           PercentCase{"Start", 0, 1000, 0}),
                         ovtest::CaseName());

TEST(ProgressPercentFilesTest, NegativeOrNoFilesGiveZero) {
  EXPECT_EQ(0, ProgressPercent(1, 0));
  EXPECT_EQ(0, ProgressPercent(1, -3));
  EXPECT_EQ(50, ProgressPercent(1, 2));
  EXPECT_EQ(3, ProgressPercent(3, 150)) << "150 files: a hundredth is one file";
}

class ManualLibTest : public ::testing::Test {
 protected:
  std::wstring Path(const std::wstring& relative) const { return _base + relative; }

  ovtest::CTempDir _dir;
  ovtest::CLogCapture _log;
  const std::wstring _base = ToWide(_dir.Path());
};

TEST_F(ManualLibTest, CopyReplacesTheDestinationAndAStaleTemporaryFile) {
  ASSERT_TRUE(WriteFileW(Path(L"pc\\a.mp3"), "new bytes"));
  ASSERT_TRUE(WriteFileW(Path(L"sd\\a.mp3"), "old"));
  ASSERT_TRUE(WriteFileW(Path(L"sd\\a.mp3.TMP"), "stale"));
  CMusicFileLibManual lib(Path(L"pc"), Path(L"sd"), nullptr, 9);
  EXPECT_TRUE(lib.TransferFile(Path(L"pc\\a.mp3"), Path(L"sd\\a.mp3")));
  EXPECT_EQ("new bytes", ovtest::ReadFileOrEmpty(ToMultiByte(Path(L"sd\\a.mp3"))));
  EXPECT_FALSE(FileExistsW(Path(L"sd\\a.mp3.TMP")));
  EXPECT_EQ(9u, lib.DoneBytes());
  EXPECT_EQ(100, lib.LastPercent());
}

TEST_F(ManualLibTest, MissingSourceFailsWithoutTouchingTheJob) {
  CMusicFileLibManual lib(Path(L"pc"), Path(L"sd"), nullptr, 50);
  EXPECT_FALSE(lib.TransferFile(Path(L"pc\\gone.mp3"), Path(L"sd\\gone.mp3")));
  EXPECT_EQ(0u, lib.GetErrorCode());
  EXPECT_EQ(50u, lib.TotalBytes());
  EXPECT_TRUE(_log.Contains("ファイルが存在しません。["));
}

TEST_F(ManualLibTest, FailedCopyLeavesNoTemporaryFileAndShrinksTheJob) {
  ASSERT_TRUE(WriteFileW(Path(L"pc\\a.mp3"), "12345"));
  // The destination's folder does not exist: the copy cannot be made.
  CMusicFileLibManual lib(Path(L"pc"), Path(L"sd"), nullptr, 15);
  EXPECT_FALSE(lib.TransferFile(Path(L"pc\\a.mp3"), Path(L"nowhere\\a.mp3")));
  EXPECT_EQ(10u, lib.TotalBytes());
  EXPECT_NE(0u, lib.GetSystemError());
  EXPECT_FALSE(FileExistsW(Path(L"nowhere")));
}

TEST_F(ManualLibTest, ListsOnlyMusicFilesOfTheFolderUpToTheMaximum) {
  for (const wchar_t* name : {L"a.mp3", L"b.MP3", L"c.mp3"}) {
    ASSERT_TRUE(WriteFileW(Path(L"pc\\") + name, MakeMp3()));
  }
  ASSERT_TRUE(WriteFileW(Path(L"pc\\notes.txt"), "x"));
  ASSERT_TRUE(WriteFileW(Path(L"pc\\Sub\\d.mp3"), MakeMp3()));
  CMusicFileLibManual lib(L"", L"", nullptr);
  libmusic::CMusicFileInfoList list;
  EXPECT_TRUE(lib.GetFileList(Path(L"pc").c_str(), &list, 1, 1000));
  EXPECT_EQ(3u, list.Size());
  EXPECT_EQ(0u, lib.GetErrorCode());

  CMusicFileLibManual limited(L"", L"", nullptr);
  libmusic::CMusicFileInfoList two;
  EXPECT_TRUE(limited.GetFileList(Path(L"pc").c_str(), &two, 1, 2));
  EXPECT_EQ(2u, two.Size());
  EXPECT_EQ(4u, limited.GetErrorCode());
}

TEST_F(ManualLibTest, ListingRefusesAMissingFolderArgument) {
  CMusicFileLibManual lib(L"", L"", nullptr);
  libmusic::CMusicFileInfoList list;
  EXPECT_FALSE(lib.GetFileList(nullptr, &list, 1, 1000));
  EXPECT_EQ(static_cast<DWORD>(libmusic::kMusicErrorBadArgument), lib.GetErrorCode());
  EXPECT_TRUE(_log.Contains("引数が不正です。[00000057]"));
}

TEST_F(ManualLibTest, ListingSkipsFilesOverTheSizeLimit) {
  const std::string mp3 = MakeMp3();
  ASSERT_TRUE(WriteFileW(Path(L"pc\\fits.mp3"), mp3));
  ASSERT_TRUE(WriteFileW(Path(L"pc\\big.mp3"), mp3));
  for (const auto& file : {std::make_pair(L"fits.mp3", kMaxListedFileSize),
                           std::make_pair(L"big.mp3", kMaxListedFileSize + 1)}) {
    HANDLE handle = CreateFileW((Path(L"pc\\") + file.first).c_str(), GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, handle);
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(file.second);
    EXPECT_TRUE(SetFilePointerEx(handle, at, nullptr, FILE_BEGIN) && SetEndOfFile(handle));
    CloseHandle(handle);
  }
  CMusicFileLibManual lib(L"", L"", nullptr);
  libmusic::CMusicFileInfoList list;
  EXPECT_TRUE(lib.GetFileList(Path(L"pc").c_str(), &list, 1, 1000));
  ASSERT_EQ(1u, list.Size());
  EXPECT_EQ(L"fits.mp3", list[0].file_name);
}

TEST(OperationManagerTest, KeepsOneBitPerOperation) {
  ovtest::CLogCapture log;
  ui::COperationManager operations;
  operations.Start(0x10);
  operations.Start(0x01);
  EXPECT_EQ(0x11u, operations.Status());
  operations.End(0x10);
  EXPECT_EQ(0x01u, operations.Status());
  EXPECT_TRUE(operations.IsRunning(0x01));
  EXPECT_FALSE(operations.IsRunning(0x10));
  EXPECT_TRUE(log.Contains("Operation Status <Start> [00000011]"));
  EXPECT_TRUE(log.Contains("Operation Status <End> [00000001]"));
}

}  // namespace
