// The retrying file operations: the pauses they would make (recorded, not
// made), the error they keep and the one line they log.
#include "ChunkedCopy.h"
#include "Folders.h"
#include "Handle.h"
#include "RetryTestSupport.h"
#include "StringUtil.h"
#include "TestSupport.h"
#include "WinFileSystemLib.h"

#include <gtest/gtest.h>

#include <atomic>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace {

using ovtest::CLogCapture;
using ovtest::CPauseRecorder;
using ovtest::CTempDir;
using ovtest::ReadFileOrEmpty;
using ovtest::WriteFileBytes;

const std::vector<DWORD> kThreeUsualPauses = {3000, 3000, 3000};

HANDLE OpenFile(const std::string& path, DWORD access, DWORD share) {
  return CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
}

class RetryTest : public ::testing::Test {
 protected:
  CTempDir _dir;
  CLogCapture _log;
};

TEST_F(RetryTest, ReadThatNeverSucceedsPausesAfterEveryTryAndKeepsTheError) {
  const std::string path = _dir.File("data.bin");
  ASSERT_TRUE(WriteFileBytes(path, "0123456789"));
  CFileHandle write_only(OpenFile(path, GENERIC_WRITE, 0));
  ASSERT_TRUE(write_only);
  CPauseRecorder pauses;
  CWinFileSystemLib fs;
  char buffer[16];
  DWORD read = 0;
  EXPECT_FALSE(fs.ReadFile_Recover(write_only.Get(), buffer, sizeof(buffer), &read, nullptr));
  EXPECT_EQ(kThreeUsualPauses, pauses.Pauses());
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), fs.LastError());
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
  EXPECT_EQ(std::vector<std::string>{"ReadFile_Recover( ) - Error ERR:0x00000005 SIZE:16"},
            _log.Errors());
}

TEST_F(RetryTest, WriteThatNeverSucceedsLogsItsSize) {
  const std::string path = _dir.File("data.bin");
  ASSERT_TRUE(WriteFileBytes(path, "x"));
  CFileHandle read_only(OpenFile(path, GENERIC_READ, FILE_SHARE_READ));
  CPauseRecorder pauses;
  CWinFileSystemLib fs;
  DWORD written = 0;
  EXPECT_FALSE(fs.WriteFile_Recover(read_only.Get(), "abc", 3, &written, nullptr));
  EXPECT_EQ(kThreeUsualPauses, pauses.Pauses());
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), fs.LastError());
  EXPECT_EQ(std::vector<std::string>{"WriteFile_Recover( ) - Error ERR:0x00000005 SIZE:3"},
            _log.Errors());
}

struct OpenCase {
  const char* name;
  const char* relative;  // below the test folder; "exists" is there
  DWORD disposition;
  DWORD error;
  DWORD pause;
};

void PrintTo(const OpenCase& c, std::ostream* os) { *os << c.name; }

class OpenFailureTest : public RetryTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(OpenFailureTest, PausesByDispositionAndErrorThenLogsThePath) {
  const OpenCase& c = GetParam();
  ASSERT_TRUE(WriteFileBytes(_dir.File("exists"), "x"));
  const std::string path = _dir.File(c.relative);
  CPauseRecorder pauses;
  CWinFileSystemLib fs;
  const CFileHandle h = fs.CreateFile_Recover(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                              c.disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_FALSE(h);
  EXPECT_EQ(std::vector<DWORD>(3, c.pause), pauses.Pauses());
  EXPECT_EQ(c.error, fs.LastError());
  EXPECT_EQ(std::vector<std::string>{FormatString(
                "CreateFile_Recover( ) - Error ERR:0x%08X PATH:%s ACCESS:80000000 SHARE:1",
                static_cast<unsigned>(c.error), path.c_str())},
            _log.Errors());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OpenFailureTest,
    ::testing::Values(OpenCase{"MissingFileLooksAgainSoon", "missing.txt", OPEN_EXISTING,
                               ERROR_FILE_NOT_FOUND, 500},
                      OpenCase{"MissingFolderIsAnOrdinaryFailure", "nofolder\\missing.txt",
                               OPEN_EXISTING, ERROR_PATH_NOT_FOUND, 3000},
                      OpenCase{"CreateNewOverAnExistingFile", "exists", CREATE_NEW,
                               ERROR_FILE_EXISTS, 3000},
                      OpenCase{"JapaneseNameInTheLine", "表ソ\\ファイル.txt", OPEN_EXISTING,
                               ERROR_PATH_NOT_FOUND, 3000}),
    [](const ::testing::TestParamInfo<OpenCase>& p) { return std::string(p.param.name); });

TEST_F(RetryTest, OpenThatSucceedsAtTheSecondTryLogsNothing) {
  const std::string path = _dir.File("busy.txt");
  ASSERT_TRUE(WriteFileBytes(path, "x"));
  CFileHandle holder(OpenFile(path, GENERIC_READ, 0));
  ASSERT_TRUE(holder);
  CPauseRecorder pauses([&](int) { holder.Reset(); });
  CWinFileSystemLib fs;
  CFileHandle opened(fs.CreateFile_Recover(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  EXPECT_TRUE(opened);
  EXPECT_EQ(std::vector<DWORD>{3000}, pauses.Pauses());
  EXPECT_EQ(0u, fs.LastError());
  EXPECT_TRUE(_log.Errors().empty());
}

TEST_F(RetryTest, CardFileHeldByAnotherProgramGivesUpWithTheSharingError) {
  ovtest::CTestCard card;
  ASSERT_TRUE(card.IsValid());
  const std::string path = card.Path("PC\\SDINFO.DAT");
  ASSERT_TRUE(CreateDirectories(card.Path("PC")));
  ASSERT_TRUE(WriteFileBytes(path, "card"));
  CFileHandle holder(OpenFile(path, GENERIC_READ | GENERIC_WRITE, 0));
  ASSERT_TRUE(holder);
  CPauseRecorder pauses;
  CWinFileSystemLib fs;
  const CFileHandle h = fs.CreateFile_Recover(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_FALSE(h);
  EXPECT_EQ(kThreeUsualPauses, pauses.Pauses());
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), fs.LastError());
  EXPECT_EQ(std::vector<std::string>{FormatString(
                "CreateFile_Recover( ) - Error ERR:0x00000020 PATH:%s ACCESS:40000000 SHARE:0",
                path.c_str())},
            _log.Errors());
}

TEST_F(RetryTest, WidePathWorksAndIsLoggedInTheAnsiCodePage) {
  const std::wstring folder = ToWide(_dir.Path());
  CWinFileSystemLib fs;
  CFileHandle created(fs.CreateFile_Recover((folder + L"表ソ.txt").c_str(), GENERIC_WRITE, 0,
                                            nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  EXPECT_TRUE(created);
  EXPECT_TRUE(PathFileExists(_dir.File("表ソ.txt")));
  created.Reset();
  CPauseRecorder pauses;
  EXPECT_FALSE(
      fs.MoveFileEx_Recover((folder + L"ない.txt").c_str(), (folder + L"表ソ2.txt").c_str(), 0));
  EXPECT_EQ(std::vector<std::string>{FormatString(
                "MoveFileEx_Recover( ) - Error ERR:0x00000002 SRC:%s DST:%s",
                _dir.File("ない.txt").c_str(), _dir.File("表ソ2.txt").c_str())},
            _log.Errors());
}

TEST_F(RetryTest, SignalledAbortEventCutsEveryPauseShort) {
  // The real pauses here: three of 3000 ms would take nine seconds.
  CHandle abort_event(CreateEventA(nullptr, TRUE, TRUE, nullptr));
  CWinFileSystemLib fs(abort_event.Get());
  EXPECT_EQ(abort_event.Get(), fs.AbortEvent());
  const DWORD start = GetTickCount();
  const CFileHandle h = fs.CreateFile_Recover(_dir.File("nofolder\\x").c_str(), GENERIC_READ, 0,
                                              nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_FALSE(h);
  EXPECT_LT(GetTickCount() - start, 2000u);
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), fs.LastError());
  EXPECT_EQ(1u, _log.Errors().size());
}

TEST(RetryPause, RealPauseWaitsOnTheEventAndKeepsTheThreadsError) {
  CHandle unset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  SetLastError(1234);
  const ovtest::CStopwatch event_wait;
  retrytest::RealPause(unset.Get(), 100);
  EXPECT_GE(event_wait.Ms(), 90u);
  EXPECT_EQ(1234u, GetLastError());
  const ovtest::CStopwatch plain_wait;
  retrytest::RealPause(nullptr, 100);
  EXPECT_GE(plain_wait.Ms(), 90u);
}

TEST_F(RetryTest, PausesWaitOnTheHoldersAbortEvent) {
  CHandle abort_event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  CPauseRecorder pauses;
  CWinFileSystemLib fs(abort_event.Get());
  EXPECT_FALSE(fs.CopyFile_Recover(_dir.File("a").c_str(), _dir.File("b").c_str(), FALSE));
  EXPECT_EQ(std::vector<HANDLE>(3, abort_event.Get()), pauses.Events());
}

// The plain copy and the chunked one, each asked to keep an existing target.
struct CopyCase {
  const char* name;
  BOOL(*copy)
  (CWinFileSystemLib& fs, const std::string& source, const std::string& target,
   bool fail_if_exists);
};

void PrintTo(const CopyCase& c, std::ostream* os) { *os << c.name; }

class CopyOverExistingTest : public RetryTest, public ::testing::WithParamInterface<CopyCase> {};

TEST_P(CopyOverExistingTest, FailIfExistsFailsThreeTimesAndLeavesTheTarget) {
  const CopyCase& c = GetParam();
  const std::string source = _dir.File("source.txt");
  const std::string target = _dir.File("target.txt");
  ASSERT_TRUE(WriteFileBytes(source, "new"));
  ASSERT_TRUE(WriteFileBytes(target, "old"));
  CPauseRecorder pauses;
  CWinFileSystemLib fs;
  EXPECT_FALSE(c.copy(fs, source, target, true));
  EXPECT_EQ(kThreeUsualPauses, pauses.Pauses());
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_EXISTS), fs.LastError());
  EXPECT_EQ("old", ReadFileOrEmpty(target));
  EXPECT_EQ(std::vector<std::string>{FormatString("%s( ) - Error ERR:0x00000050 SRC:%s DST:%s",
                                                  c.name, source.c_str(), target.c_str())},
            _log.Errors());
  EXPECT_TRUE(c.copy(fs, source, target, false));
  EXPECT_EQ("new", ReadFileOrEmpty(target));
}

INSTANTIATE_TEST_SUITE_P(
    Copies, CopyOverExistingTest,
    ::testing::Values(CopyCase{"CopyFile_Recover",
                               [](CWinFileSystemLib& fs, const std::string& from,
                                  const std::string& to, bool keep) {
                                 return fs.CopyFile_Recover(from.c_str(), to.c_str(),
                                                            keep ? TRUE : FALSE);
                               }},
                      CopyCase{"CopyFileEx_Recover",
                               [](CWinFileSystemLib& fs, const std::string& from,
                                  const std::string& to, bool keep) {
                                 return fs.CopyFileEx_Recover(from.c_str(), to.c_str(), nullptr,
                                                              nullptr, nullptr,
                                                              keep ? COPY_FILE_FAIL_IF_EXISTS : 0);
                               }}),
    [](const ::testing::TestParamInfo<CopyCase>& p) { return std::string(p.param.name); });

TEST_F(RetryTest, DeletionsOfMissingPathsSucceedWithoutATry) {
  CPauseRecorder pauses;
  CWinFileSystemLib fs;
  EXPECT_TRUE(fs.DeleteFile_Recover(_dir.File("missing.txt").c_str()));
  EXPECT_TRUE(fs.DeleteFile_Recover(ToWide(_dir.File("missing.txt")).c_str()));
  EXPECT_TRUE(fs.RemoveDirectory_Recover(_dir.File("missing").c_str()));
  EXPECT_TRUE(pauses.Pauses().empty());
  EXPECT_TRUE(_log.Errors().empty());
}

TEST_F(RetryTest, DeletionOfAFileInUseFailsAndNamesIt) {
  const std::string path = _dir.File("in use.txt");
  ASSERT_TRUE(WriteFileBytes(path, "x"));
  CFileHandle holder(OpenFile(path, GENERIC_READ, FILE_SHARE_READ));
  CPauseRecorder pauses;
  CWinFileSystemLib fs;
  EXPECT_FALSE(fs.DeleteFile_Recover(path.c_str()));
  EXPECT_EQ(kThreeUsualPauses, pauses.Pauses());
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), fs.LastError());
  EXPECT_EQ(std::vector<std::string>{FormatString(
                "DeleteFile_Recover( ) - Error ERR:0x00000020 File:%s", path.c_str())},
            _log.Errors());
  holder.Reset();
  EXPECT_TRUE(fs.DeleteFile_Recover(path.c_str()));
  EXPECT_FALSE(PathFileExists(path));
}

TEST_F(RetryTest, RemovingAFolderThatIsNotEmptyFails) {
  const std::string folder = _dir.File("full");
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(folder + "\\f", "x"));
  CPauseRecorder pauses;
  CWinFileSystemLib fs;
  EXPECT_FALSE(fs.RemoveDirectory_Recover(folder.c_str()));
  EXPECT_EQ(kThreeUsualPauses, pauses.Pauses());
  EXPECT_EQ(static_cast<DWORD>(ERROR_DIR_NOT_EMPTY), fs.LastError());
  ASSERT_EQ(1u, _log.Errors().size());
  EXPECT_EQ(
      FormatString("RemoveDirectory_Recover( ) - Error ERR:0x00000091 PATH:%s", folder.c_str()),
      _log.Errors()[0]);
}

TEST_F(RetryTest, MoveReplacesWithTheGivenFlags) {
  const std::string source = _dir.File("a.txt");
  const std::string target = _dir.File("b.txt");
  ASSERT_TRUE(WriteFileBytes(source, "a"));
  ASSERT_TRUE(WriteFileBytes(target, "b"));
  CWinFileSystemLib fs;
  EXPECT_TRUE(fs.MoveFileEx_Recover(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ("a", ReadFileOrEmpty(target));
  EXPECT_FALSE(PathFileExists(source));
}

// --- Folder trees ---

class RemoveTreeTest : public RetryTest {
 protected:
  // root\a.txt, root\empty\, root\sub\b.txt, root\sub\deep\c.txt
  std::string MakeTree(const std::string& name) {
    const std::string root = _dir.File(name);
    EXPECT_TRUE(CreateDirectories(root + "\\empty"));
    EXPECT_TRUE(CreateDirectories(root + "\\sub\\deep"));
    EXPECT_TRUE(WriteFileBytes(root + "\\a.txt", "a"));
    EXPECT_TRUE(WriteFileBytes(root + "\\sub\\b.txt", "b"));
    EXPECT_TRUE(WriteFileBytes(root + "\\sub\\deep\\c.txt", "c"));
    return root;
  }
};

TEST_F(RemoveTreeTest, RemovesEverythingAndTheFolderItself) {
  const std::string root = MakeTree("tree");
  CWinFileSystemLib fs;
  EXPECT_TRUE(fs.RemoveDirectoryAll_RecoverA(root.c_str(), TRUE));
  EXPECT_FALSE(PathFileExists(root));
  EXPECT_TRUE(_log.Errors().empty());
}

TEST_F(RemoveTreeTest, KeepsTheFolderWhenAskedTo) {
  const std::string root = MakeTree("tree");
  CWinFileSystemLib fs;
  EXPECT_TRUE(fs.RemoveDirectoryAll_Recover((root + "\\").c_str(), FALSE));
  EXPECT_TRUE(PathIsDirectory(root));
  EXPECT_EQ(0u, GetFolderTreeSize(root));
  EXPECT_FALSE(PathFileExists(root + "\\empty"));
}

TEST_F(RemoveTreeTest, WideTreeWithJapaneseNames) {
  const std::string root = _dir.File("表ソ");
  ASSERT_TRUE(CreateDirectories(root + "\\ソフト"));
  ASSERT_TRUE(WriteFileBytes(root + "\\ソフト\\表.txt", "x"));
  CWinFileSystemLib fs;
  EXPECT_TRUE(fs.RemoveDirectoryAll_RecoverW(ToWide(root).c_str(), TRUE));
  EXPECT_FALSE(PathFileExists(root));
}

TEST_F(RemoveTreeTest, MissingFolderIsAListingFailure) {
  const std::string missing = _dir.File("missing");
  CPauseRecorder pauses;
  CWinFileSystemLib fs;
  EXPECT_FALSE(fs.RemoveDirectoryAll_RecoverA(missing.c_str(), TRUE));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), fs.LastError());
  EXPECT_EQ(
      std::vector<std::string>{FormatString(
          "RemoveDirectoryAll_RecoverA( ) - Error ERR:0x00000003 PATH:%s\\", missing.c_str())},
      _log.Errors());
  EXPECT_TRUE(pauses.Pauses().empty());
  EXPECT_FALSE(fs.RemoveDirectoryAll_RecoverW(ToWide(missing).c_str(), TRUE));
  EXPECT_EQ(2u, _log.Errors().size());
  EXPECT_EQ(0u, _log.Errors()[1].find("RemoveDirectoryAll_RecoverW( ) - Error"));
}

TEST_F(RemoveTreeTest, OneFileInUseStopsOnlyTheFoldersAboveIt) {
  const std::string root = MakeTree("tree");
  CFileHandle holder(OpenFile(root + "\\sub\\deep\\c.txt", GENERIC_READ, FILE_SHARE_READ));
  ASSERT_TRUE(holder);
  CPauseRecorder pauses;
  CWinFileSystemLib fs;
  EXPECT_FALSE(fs.RemoveDirectoryAll_RecoverA(root.c_str(), TRUE));
  EXPECT_TRUE(PathFileExists(root + "\\sub\\deep\\c.txt"));
  EXPECT_FALSE(PathFileExists(root + "\\a.txt"));
  EXPECT_FALSE(PathFileExists(root + "\\empty"));
  EXPECT_FALSE(PathFileExists(root + "\\sub\\b.txt"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_DIR_NOT_EMPTY), fs.LastError());
  // The file, then deep, sub and the root each fail their three tries.
  EXPECT_EQ(4u * 3u, pauses.Pauses().size());
  EXPECT_EQ(4u, _log.Errors().size());
}

}  // namespace
