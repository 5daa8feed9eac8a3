// The chunked copy behind CopyFileEx_Recover: progress reports, the cancel
// flag set from another thread, the answers of the progress routine.
#include "ChunkedCopy.h"
#include "Folders.h"
#include "Handle.h"
#include "RetryTestSupport.h"
#include "StringUtil.h"
#include "TestBytes.h"
#include "TestSupport.h"
#include "TestThread.h"
#include "WinFileSystemLib.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

using ovtest::CLogCapture;
using ovtest::CompressibleBytes;
using ovtest::CPauseRecorder;
using ovtest::CTempDir;
using ovtest::ReadFileOrEmpty;
using ovtest::WriteFileBytes;

struct Report {
  DWORD reason;
  int64_t total;
  int64_t done;
};

// What the progress routine saw, and what it answers.
struct ProgressLog {
  std::vector<Report> reports;
  DWORD answer_at_chunk = 0;  // 0: never
  DWORD answer = PROGRESS_CONTINUE;
};

DWORD CALLBACK RecordProgress(LARGE_INTEGER total, LARGE_INTEGER done, LARGE_INTEGER, LARGE_INTEGER,
                              DWORD, DWORD reason, HANDLE, HANDLE, void* data) {
  auto* log = static_cast<ProgressLog*>(data);
  log->reports.push_back({reason, total.QuadPart, done.QuadPart});
  if (reason == CALLBACK_CHUNK_FINISHED && log->answer_at_chunk &&
      log->reports.size() - 1 == log->answer_at_chunk) {
    return log->answer;
  }
  return PROGRESS_CONTINUE;
}

class ChunkedCopyTest : public ::testing::Test {
 protected:
  void SetUp() override { copytest::SetChunkSize(4096); }
  void TearDown() override { copytest::SetChunkSize(0); }

  CTempDir _dir;
  CLogCapture _log;
};

TEST_F(ChunkedCopyTest, ReportsEveryChunkAndCopiesDataTimeAndAttributes) {
  const std::string source = _dir.File("source.bin");
  const std::string target = _dir.File("target.bin");
  const std::string data = CompressibleBytes(4096 * 3 + 100);
  ASSERT_TRUE(WriteFileBytes(source, data));
  FILETIME old_time = {0x12345600, 0x01D00000};
  {
    CFileHandle f(
        CreateFileA(source.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(SetFileTime(f.Get(), nullptr, nullptr, &old_time));
  }
  ASSERT_TRUE(SetFileAttributesA(source.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));

  ProgressLog progress;
  CWinFileSystemLib fs;
  ASSERT_TRUE(
      fs.CopyFileEx_Recover(source.c_str(), target.c_str(), RecordProgress, &progress, nullptr, 0));
  EXPECT_EQ(data, ReadFileOrEmpty(target));
  ASSERT_EQ(5u, progress.reports.size());
  EXPECT_EQ(static_cast<DWORD>(CALLBACK_STREAM_SWITCH), progress.reports[0].reason);
  EXPECT_EQ(0, progress.reports[0].done);
  const int64_t expected_done[] = {4096, 8192, 12288, 12388};
  for (size_t i = 1; i < 5; ++i) {
    EXPECT_EQ(static_cast<DWORD>(CALLBACK_CHUNK_FINISHED), progress.reports[i].reason);
    EXPECT_EQ(static_cast<int64_t>(data.size()), progress.reports[i].total);
    EXPECT_EQ(expected_done[i - 1], progress.reports[i].done);
  }
  WIN32_FILE_ATTRIBUTE_DATA copied;
  ASSERT_TRUE(GetFileAttributesExA(target.c_str(), GetFileExInfoStandard, &copied));
  EXPECT_TRUE(copied.dwFileAttributes & FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(copied.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(0, CompareFileTime(&old_time, &copied.ftLastWriteTime));
  SetFileAttributesA(source.c_str(), FILE_ATTRIBUTE_NORMAL);
  SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);

  // Without read-only the target gets its attributes when it is made.
  const std::string hidden_target = _dir.File("hidden.bin");
  ASSERT_TRUE(SetFileAttributesA(source.c_str(), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(
      fs.CopyFileEx_Recover(source.c_str(), hidden_target.c_str(), nullptr, nullptr, nullptr, 0));
  EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN),
            GetFileAttributesA(hidden_target.c_str()) &
                (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
}

TEST_F(ChunkedCopyTest, EmptyFileAndWidePaths) {
  const std::wstring folder = ToWide(_dir.Path());
  ASSERT_TRUE(WriteFileBytes(_dir.File("空.txt"), ""));
  CWinFileSystemLib fs;
  EXPECT_TRUE(fs.CopyFileEx_Recover((folder + L"空.txt").c_str(), (folder + L"表ソ.txt").c_str(),
                                    nullptr, nullptr, nullptr, 0));
  EXPECT_TRUE(PathFileExists(_dir.File("表ソ.txt")));
  EXPECT_EQ("", ReadFileOrEmpty(_dir.File("表ソ.txt")));
}

struct AnswerCase {
  const char* name;
  DWORD answer;
  bool copied;
  size_t reports;  // of a four-chunk file, answering at the first chunk
};

void PrintTo(const AnswerCase& c, std::ostream* os) { *os << c.name; }

class ProgressAnswerTest : public ChunkedCopyTest,
                           public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(ProgressAnswerTest, EndsOrQuietensTheCopy) {
  const AnswerCase& c = GetParam();
  const std::string source = _dir.File("source.bin");
  const std::string target = _dir.File("target.bin");
  ASSERT_TRUE(WriteFileBytes(source, CompressibleBytes(4096 * 4)));
  ProgressLog progress;
  progress.answer_at_chunk = 1;
  progress.answer = c.answer;
  CPauseRecorder pauses;
  CWinFileSystemLib fs;
  EXPECT_EQ(c.copied ? TRUE : FALSE, fs.CopyFileEx_Recover(source.c_str(), target.c_str(),
                                                           RecordProgress, &progress, nullptr, 0));
  EXPECT_EQ(c.reports, progress.reports.size());
  EXPECT_EQ(c.copied, PathFileExists(target));
  // An abort asked for by the user is not tried again.
  EXPECT_TRUE(pauses.Pauses().empty());
  if (!c.copied) {
    EXPECT_EQ(static_cast<DWORD>(ERROR_REQUEST_ABORTED), fs.LastError());
    EXPECT_EQ(std::vector<std::string>{FormatString(
                  "CopyFileEx_Recover( ) - Error ERR:0x000004D3 SRC:%s DST:%s", source.c_str(),
                  target.c_str())},
              _log.Errors());
  }
}

INSTANTIATE_TEST_SUITE_P(Answers, ProgressAnswerTest,
                         ::testing::Values(AnswerCase{"Cancel", PROGRESS_CANCEL, false, 2},
                                           AnswerCase{"Stop", PROGRESS_STOP, false, 2},
                                           AnswerCase{"Quiet", PROGRESS_QUIET, true, 2},
                                           AnswerCase{"Continue", PROGRESS_CONTINUE, true, 5}),
                         [](const ::testing::TestParamInfo<AnswerCase>& p) {
                           return std::string(p.param.name);
                         });

// The routine holds the copy after its first chunk until the test thread has
// set the cancel flag.
struct HeldCopy {
  CHandle first_chunk{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  CHandle go_on{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  int chunks = 0;
};

DWORD CALLBACK HoldAfterFirstChunk(LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER,
                                   DWORD, DWORD reason, HANDLE, HANDLE, void* data) {
  auto* held = static_cast<HeldCopy*>(data);
  if (reason != CALLBACK_CHUNK_FINISHED) return PROGRESS_CONTINUE;
  if (++held->chunks == 1) {
    SetEvent(held->first_chunk.Get());
    WaitForSingleObject(held->go_on.Get(), 30000);
  }
  return PROGRESS_CONTINUE;
}

TEST_F(ChunkedCopyTest, CancelFlagSetByAnotherThreadEndsALongCopyAtOnce) {
  copytest::SetChunkSize(0);  // the product's chunks: 1 MiB
  const std::string source = _dir.File("long.bin");
  const std::string target = _dir.File("copy.bin");
  ASSERT_TRUE(WriteFileBytes(source, CompressibleBytes(16 * 1024 * 1024)));
  HeldCopy held;
  BOOL cancel = FALSE;
  CPauseRecorder pauses;
  CWinFileSystemLib fs;
  BOOL result = TRUE;
  DWORD error = 0;
  const auto cancel_copy = [&] {
    InterlockedExchange(reinterpret_cast<volatile LONG*>(&cancel), TRUE);
    SetEvent(held.go_on.Get());
  };
  ovtest::CTestThread worker(
      [&] {
        result = fs.CopyFileEx_Recover(source.c_str(), target.c_str(), HoldAfterFirstChunk, &held,
                                       &cancel, 0);
        error = fs.LastError();
      },
      cancel_copy);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(held.first_chunk.Get(), 30000));
  cancel_copy();
  worker.Join();
  EXPECT_FALSE(result);
  EXPECT_EQ(static_cast<DWORD>(ERROR_REQUEST_ABORTED), error);
  EXPECT_EQ(1, held.chunks);
  EXPECT_FALSE(PathFileExists(target));
  EXPECT_TRUE(pauses.Pauses().empty());
}

TEST_F(ChunkedCopyTest, MissingSourceAndMissingTargetFolder) {
  ASSERT_TRUE(WriteFileBytes(_dir.File("source.txt"), "x"));
  SetLastError(0);
  EXPECT_FALSE(CopyFileChunked(ToWide(_dir.File("none.txt")).c_str(),
                               ToWide(_dir.File("t.txt")).c_str(), nullptr, nullptr, nullptr, 0));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
  EXPECT_FALSE(CopyFileChunked(ToWide(_dir.File("source.txt")).c_str(),
                               ToWide(_dir.File("no\\t.txt")).c_str(), nullptr, nullptr, nullptr,
                               0));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
  EXPECT_TRUE(PathFileExists(_dir.File("source.txt")));
}

// A copy that takes its final name while open: the old file of that name is
// replaced only by a whole copy, with the source's time and attributes, and
// no temporary is left; when the name cannot be taken the whole copy stays
// under the temporary name; a cancelled copy touches neither name.
TEST_F(ChunkedCopyTest, CopyRenamedInPlaceReplacesOnlyWithAWholeCopy) {
  const std::wstring folder = ToWide(_dir.Path());
  const std::wstring source = folder + L"曲.mp3";
  const std::wstring temporary = folder + L"copy.mp3.TMP";
  const std::wstring final_name = folder + L"copy.mp3";
  const std::string data = CompressibleBytes(4096 * 3 + 7);
  ASSERT_TRUE(WriteFileBytes(ToMultiByte(source), data));
  ASSERT_TRUE(WriteFileBytes(ToMultiByte(final_name), "old"));
  FILETIME old_time = {0x12345600, 0x01D00000};
  {
    CFileHandle f(
        CreateFileW(source.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(SetFileTime(f.Get(), nullptr, nullptr, &old_time));
  }
  ASSERT_TRUE(SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_READONLY));

  ProgressLog progress;
  BOOL renamed = FALSE;
  CWinFileSystemLib fs;
  ASSERT_TRUE(fs.CopyFileExAndRename_Recover(source.c_str(), temporary.c_str(), final_name.c_str(),
                                             RecordProgress, &progress, nullptr, &renamed));
  EXPECT_TRUE(renamed);
  EXPECT_EQ(data, ReadFileOrEmpty(ToMultiByte(final_name)));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(temporary.c_str()));
  EXPECT_EQ(5u, progress.reports.size());
  WIN32_FILE_ATTRIBUTE_DATA copied;
  ASSERT_TRUE(GetFileAttributesExW(final_name.c_str(), GetFileExInfoStandard, &copied));
  EXPECT_TRUE(copied.dwFileAttributes & FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(0, CompareFileTime(&old_time, &copied.ftLastWriteTime));
  ASSERT_TRUE(SetFileAttributesW(final_name.c_str(), FILE_ATTRIBUTE_NORMAL));

  // Attributes other than read-only come with the copy's making.
  ASSERT_TRUE(SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(fs.CopyFileExAndRename_Recover(source.c_str(), temporary.c_str(), final_name.c_str(),
                                             nullptr, nullptr, nullptr, &renamed));
  EXPECT_TRUE(renamed);
  EXPECT_EQ(
      static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN),
      GetFileAttributesW(final_name.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(SetFileAttributesW(final_name.c_str(), FILE_ATTRIBUTE_NORMAL));
  ASSERT_TRUE(SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_NORMAL));
  ASSERT_TRUE(WriteFileBytes(ToMultiByte(final_name), "old"));

  {
    // Another program holds the final name open: the copy stays whole
    // under the temporary name, and the old file under its own.
    const CFileHandle held(
        CreateFileW(final_name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    renamed = TRUE;
    ASSERT_TRUE(fs.CopyFileExAndRename_Recover(source.c_str(), temporary.c_str(),
                                               final_name.c_str(), nullptr, nullptr, nullptr,
                                               &renamed));
    EXPECT_FALSE(renamed);
    EXPECT_NE(0u, GetLastError());
  }
  EXPECT_EQ(data, ReadFileOrEmpty(ToMultiByte(temporary)));
  EXPECT_EQ("old", ReadFileOrEmpty(ToMultiByte(final_name)));
  ASSERT_TRUE(DeleteFileW(temporary.c_str()));

  // Cancelled after the first chunk: neither name is touched.
  progress = ProgressLog();
  progress.answer_at_chunk = 1;
  progress.answer = PROGRESS_CANCEL;
  EXPECT_FALSE(fs.CopyFileExAndRename_Recover(source.c_str(), temporary.c_str(), final_name.c_str(),
                                              RecordProgress, &progress, nullptr, &renamed));
  EXPECT_FALSE(renamed);
  EXPECT_EQ(static_cast<DWORD>(ERROR_REQUEST_ABORTED), fs.LastError());
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(temporary.c_str()));
  EXPECT_EQ("old", ReadFileOrEmpty(ToMultiByte(final_name)));
  EXPECT_TRUE(_log.Contains("CopyFileEx_Recover( ) - Error ERR:0x000004D3"));
}

}  // namespace
