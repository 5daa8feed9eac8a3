// The three workers and their requests on a simulated card: each request
// kind, a missing card, FIFO order, a listing cancelling the one before it,
// the 1000-file limit, abort and destruction in the middle of a copy, and a
// window that refuses what no worker posted.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "ChunkedCopy.h"
#include "Folders.h"
#include "Handle.h"
#include "MusicFileLibManual.h"
#include "MusicFileThread.h"
#include "MusicFileThreadRequest.h"
#include "MusicFileUtil.h"
#include "MusicTestSupport.h"
#include "MusicTestWindow.h"
#include "StringUtil.h"
#include "TestSupport.h"

using musicmanualtest::As;
using musicmanualtest::CResultWindow;
using musicmanualtest::Posted;
using musictest::FileExistsW;
using musictest::MakeMp3;
using musictest::WriteFileW;

namespace {

using ListRequest = CMusicFileThreadRequestGetFileList;

// A drive letter with nothing behind it: a card taken out.
wchar_t MissingDrive() {
  for (wchar_t letter = L'Z'; letter >= L'M'; --letter) {
    const wchar_t root[] = {letter, L':', L'\\', 0};
    if (GetFileAttributesW(root) == INVALID_FILE_ATTRIBUTES) return letter;
  }
  return 0;
}

std::set<std::wstring> FilesIn(const std::wstring& folder) {
  std::set<std::wstring> names;
  WIN32_FIND_DATAW found;
  CFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &found));
  if (!find) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.insert(name);
  } while (FindNextFileW(find.Get(), &found));
  return names;
}

// A file of the size, quickly (its bytes are zeros).
bool MakeLargeFile(const std::wstring& path, LONGLONG size) {
  if (!WriteFileW(path, std::string())) return false;
  CFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (!file) return false;
  LARGE_INTEGER at;
  at.QuadPart = size;
  return SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN) && SetEndOfFile(file.Get());
}

class MusicWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(_card.IsValid());
    _worker.SetTargetWindow(_window.Handle());
    _lister.SetTargetWindow(_window.Handle());
    ASSERT_TRUE(PathCreateDirectory(_music));
  }
  void TearDown() override { copytest::SetChunkSize(0); }

  std::wstring Pc(const std::wstring& relative) const { return _pc + L"\\" + relative; }
  std::wstring Sd(const std::wstring& relative) const { return _music + L"\\" + relative; }
  void PutPc(const std::wstring& relative, const std::string& bytes = MakeMp3()) {
    ASSERT_TRUE(WriteFileW(Pc(relative), bytes));
  }
  void PutSd(const std::wstring& relative, const std::string& bytes = MakeMp3()) {
    ASSERT_TRUE(WriteFileW(Sd(relative), bytes));
  }
  // The one result of the kind, after waiting for it.
  Posted Result(WPARAM kind) {
    EXPECT_TRUE(_window.WaitResult(kind));
    const std::vector<Posted> results = _window.Results(kind);
    return results.empty() ? Posted() : results.back();
  }

  ovtest::CTempDir _dir;
  ovtest::CTestCard _card;
  ovtest::CLogCapture _log;
  const std::wstring _pc = ToWide(_dir.Path()) + L"Music";
  const std::wstring _music = libmusic::GetMusicFolderPathW(static_cast<wchar_t>(_card.Letter()));
  CResultWindow _window;
  CMusicFileThread _worker{"MusicFile"};
  CMusicFileThread _lister{"PCFileList"};
};

TEST_F(MusicWorkerTest, FolderCopyReplacesTheCardFolderWithTheFolderItself) {
  PutPc(L"Rock\\a.mp3");
  PutPc(L"Rock\\b.mp3", MakeMp3(L"", -1, 40));
  PutPc(L"Rock\\notes.txt", "not music");
  PutPc(L"Rock\\Live\\c.mp3");
  PutSd(L"Rock\\old.mp3");
  PutSd(L"Rock\\b.mp3", "an old b");
  PutSd(L"Rock\\x.mp3.TMP", "left by a cut copy");
  PutSd(L"Rock\\Old Live\\d.mp3");

  ASSERT_TRUE(CreateCopyFolderRequest(Pc(L"Rock"), Sd(L"Rock"), &_worker));
  const Posted done = Result(kMusicResultCopyFolder);
  auto* request = As<CMusicFileThreadRequestCopyFolder>(done);
  ASSERT_NE(nullptr, request);
  EXPECT_TRUE(request->result);
  EXPECT_EQ(0u, request->error_code);
  EXPECT_EQ((std::set<std::wstring>{L"a.mp3", L"b.mp3"}), FilesIn(Sd(L"Rock")));
  EXPECT_EQ(MakeMp3(L"", -1, 40), ovtest::ReadFileOrEmpty(ToMultiByte(Sd(L"Rock\\b.mp3"))));
  const std::vector<int> percents = _window.Percentages();
  ASSERT_FALSE(percents.empty());
  EXPECT_EQ(0, percents.front());
  EXPECT_EQ(100, percents.back());
  EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
  EXPECT_TRUE(_log.Contains("フォルダコピーを開始します。ファイル数[2]"));
}

TEST_F(MusicWorkerTest, FolderCopyKeepsTheOldCopyWhenTheCardIsFull) {
  PutPc(L"Rock\\a.mp3");
  PutSd(L"Rock\\old.mp3");
  libmusic::freespacetest::SetFreeSpaceQuery([](const wchar_t*, std::uint64_t* free_bytes) {
    *free_bytes = 1000;
    return true;
  });
  ASSERT_TRUE(CreateCopyFolderRequest(Pc(L"Rock"), Sd(L"Rock"), &_worker));
  const Posted done = Result(kMusicResultCopyFolder);
  libmusic::freespacetest::SetFreeSpaceQuery(nullptr);
  auto* request = As<CMusicFileThreadRequestCopyFolder>(done);
  ASSERT_NE(nullptr, request);
  EXPECT_FALSE(request->result);
  EXPECT_EQ(static_cast<DWORD>(libmusic::kMusicErrorCardFull), request->error_code);
  EXPECT_EQ((std::set<std::wstring>{L"old.mp3"}), FilesIn(Sd(L"Rock")));
}

struct RefusedCopyCase {
  const char* name;
  const wchar_t* source;       // under the PC folder; empty: a drive root
  const wchar_t* destination;  // under the card's root
};

class RefusedFolderCopyTest : public MusicWorkerTest,
                              public ::testing::WithParamInterface<RefusedCopyCase> {};

TEST_P(RefusedFolderCopyTest, TouchesNothing) {
  PutPc(L"Rock\\a.mp3");
  PutSd(L"keep.mp3");
  const std::wstring source = GetParam().source[0] ? Pc(GetParam().source) : L"C:\\";
  const std::wstring destination = ToWide(_card.Root()) + GetParam().destination;
  ASSERT_TRUE(CreateCopyFolderRequest(source, destination, &_worker));
  auto* request = As<CMusicFileThreadRequestCopyFolder>(Result(kMusicResultCopyFolder));
  ASSERT_NE(nullptr, request);
  EXPECT_FALSE(request->result);
  EXPECT_EQ(static_cast<DWORD>(libmusic::kMusicErrorBadArgument), request->error_code);
  EXPECT_EQ((std::set<std::wstring>{L"keep.mp3"}), FilesIn(_music));
}

INSTANTIATE_TEST_SUITE_P(
    Targets, RefusedFolderCopyTest,
    ::testing::Values(RefusedCopyCase{"NamelessSource", L"", L"AV\\MUSIC\\C"},
                      RefusedCopyCase{"TheMusicFolderItself", L"Rock", L"AV\\MUSIC"},
                      RefusedCopyCase{"AboveTheMusicFolder", L"Rock", L"AV"},
                      RefusedCopyCase{"OutOfItByDots", L"Rock", L"AV\\MUSIC\\Rock\\..\\.."}),
    ovtest::CaseName());

TEST_F(MusicWorkerTest, FileCopyDropsVanishedFilesAndReplacesExistingOnes) {
  PutPc(L"a.mp3");
  PutPc(L"c.mp3", MakeMp3(L"", -1, 8));
  PutSd(L"Pop\\c.mp3", "old");
  ASSERT_TRUE(CreateCopyFilesRequest(_pc, Sd(L"Pop"), {L"a.mp3", L"gone.mp3", L"c.mp3"}, &_worker));
  auto* request = As<CMusicFileThreadRequestCopyFiles>(Result(kMusicResultCopyFiles));
  ASSERT_NE(nullptr, request);
  EXPECT_TRUE(request->result);
  EXPECT_EQ((std::vector<std::wstring>{L"a.mp3", L"c.mp3"}), request->names);
  EXPECT_EQ((std::set<std::wstring>{L"a.mp3", L"c.mp3"}), FilesIn(Sd(L"Pop")));
  EXPECT_EQ(MakeMp3(L"", -1, 8), ovtest::ReadFileOrEmpty(ToMultiByte(Sd(L"Pop\\c.mp3"))));
  EXPECT_TRUE(_log.Contains("ファイルが存在しません。["));
}

TEST_F(MusicWorkerTest, FileCopyOfOnlyVanishedFilesStillAnswers) {
  ASSERT_TRUE(CreateCopyFilesRequest(_pc, Sd(L"Pop"), {L"gone.mp3"}, &_worker));
  auto* request = As<CMusicFileThreadRequestCopyFiles>(Result(kMusicResultCopyFiles));
  ASSERT_NE(nullptr, request);
  EXPECT_TRUE(request->result);
  EXPECT_TRUE(request->names.empty());
}

TEST_F(MusicWorkerTest, DeletesAFolderAndFiles) {
  PutSd(L"Rock\\a.mp3");
  PutSd(L"Rock\\Live\\b.mp3");
  PutSd(L"Pop\\a.mp3");
  PutSd(L"Pop\\b.mp3");
  ASSERT_TRUE(CreateDeleteFolderRequest(Sd(L"Rock"), &_worker));
  ASSERT_TRUE(CreateDeleteFilesRequest(Sd(L"Pop"), {L"a.mp3"}, &_worker));
  auto* folder = As<CMusicFileThreadRequestDeleteFolder>(Result(kMusicResultDeleteFolder));
  auto* files = As<CMusicFileThreadRequestDeleteFiles>(Result(kMusicResultDeleteFiles));
  ASSERT_TRUE(folder && files);
  EXPECT_TRUE(folder->result);
  EXPECT_TRUE(files->result);
  EXPECT_FALSE(FileExistsW(Sd(L"Rock")));
  EXPECT_EQ((std::set<std::wstring>{L"b.mp3"}), FilesIn(Sd(L"Pop")));
  EXPECT_EQ(100, _window.Percentages().back());
}

TEST_F(MusicWorkerTest, TheMusicFolderItselfIsNeverDeleted) {
  PutSd(L"a.mp3");
  ASSERT_TRUE(CreateDeleteFolderRequest(_music, &_worker));
  auto* request = As<CMusicFileThreadRequestDeleteFolder>(Result(kMusicResultDeleteFolder));
  ASSERT_NE(nullptr, request);
  EXPECT_FALSE(request->result);
  EXPECT_TRUE(FileExistsW(Sd(L"a.mp3")));
}

TEST_F(MusicWorkerTest, ALockedFileFailsTheFolderDeletion) {
  PutSd(L"Rock\\a.mp3");
  PutSd(L"Rock\\b.mp3");
  CFileHandle locked(
      CreateFileW(Sd(L"Rock\\b.mp3").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(locked);
  ASSERT_TRUE(CreateDeleteFolderRequest(Sd(L"Rock"), &_worker));
  auto* request = As<CMusicFileThreadRequestDeleteFolder>(Result(kMusicResultDeleteFolder));
  ASSERT_NE(nullptr, request);
  EXPECT_FALSE(request->result);
  EXPECT_EQ(static_cast<DWORD>(libmusic::kMusicErrorFilesFailed), request->error_code);
  EXPECT_NE(0u, request->system_error);
  EXPECT_FALSE(FileExistsW(Sd(L"Rock\\a.mp3")));
}

TEST_F(MusicWorkerTest, AMissingCardStillAnswersEveryJob) {
  const wchar_t drive = MissingDrive();
  ASSERT_NE(0, drive);
  const std::wstring gone = libmusic::GetMusicFolderPathW(drive);
  PutPc(L"Rock\\a.mp3");
  ASSERT_TRUE(CreateCopyFolderRequest(Pc(L"Rock"), gone + L"\\Rock", &_worker));
  ASSERT_TRUE(CreateCopyFilesRequest(Pc(L"Rock"), gone, {L"a.mp3"}, &_worker));
  ASSERT_TRUE(CreateDeleteFolderRequest(gone + L"\\Rock", &_worker));
  ASSERT_TRUE(CreateDeleteFilesRequest(gone, {L"a.mp3"}, &_worker));
  for (const WPARAM kind : {kMusicResultCopyFolder, kMusicResultCopyFiles, kMusicResultDeleteFolder,
                            kMusicResultDeleteFiles}) {
    const Posted done = Result(kind);
    ASSERT_NE(nullptr, done.request) << kind;
    EXPECT_FALSE(done.request->result) << kind;
    EXPECT_EQ(0u, done.request->error_code) << kind;
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_READY), done.request->system_error) << kind;
  }
  EXPECT_TRUE(_log.Contains("フォルダ移動時のSD無し"));
  EXPECT_TRUE(_worker.IsRunning()) << "the worker goes on with the next job";
}

TEST_F(MusicWorkerTest, RunsItsQueueInOrder) {
  std::vector<std::wstring> names;
  for (int i = 0; i < 6; ++i) {
    names.push_back(ToWide(FormatString("%d.mp3", i)));
    PutPc(names.back());
  }
  for (const std::wstring& name : names) {
    ASSERT_TRUE(CreateCopyFilesRequest(_pc, Sd(L"Pop"), {name}, &_worker));
  }
  ASSERT_TRUE(
      _window.PumpUntil([&] { return _window.Results(kMusicResultCopyFiles).size() == 6; }));
  std::vector<std::wstring> order;
  for (const Posted& p : _window.Results(kMusicResultCopyFiles)) {
    order.push_back(As<CMusicFileThreadRequestCopyFiles>(p)->names.at(0));
  }
  EXPECT_EQ(names, order);
}

TEST_F(MusicWorkerTest, ListsAFolderInBatchesOfTwenty) {
  for (int i = 0; i < 45; ++i) PutPc(ToWide(FormatString("%02d.mp3", i)));
  PutPc(L"notes.txt", "text");
  PutPc(L"Sub\\x.mp3");
  ASSERT_TRUE(CreateGetFileListRequest(_pc, &_lister, kMusicTargetPC));
  ASSERT_TRUE(_window.PumpUntil([&] {
    const auto lists = _window.Results(kMusicResultFileList);
    return !lists.empty() && As<ListRequest>(lists.back())->last_batch;
  }));
  const std::vector<Posted> batches = _window.Results(kMusicResultFileList);
  ASSERT_EQ(4u, batches.size());
  std::vector<size_t> sizes;
  std::set<std::wstring> names;
  for (const Posted& p : batches) {
    auto* batch = As<ListRequest>(p);
    sizes.push_back(batch->files.Size());
    EXPECT_EQ(static_cast<DWORD>(kMusicTargetPC), batch->target);
    EXPECT_EQ(_pc, batch->folder);
    for (const auto& info : batch->files.Items()) names.insert(info->file_name);
  }
  EXPECT_EQ((std::vector<size_t>{0, 20, 20, 5}), sizes);
  EXPECT_TRUE(As<ListRequest>(batches.front())->first_batch);
  EXPECT_TRUE(As<ListRequest>(batches.back())->result);
  EXPECT_EQ(0u, As<ListRequest>(batches.back())->error_code);
  EXPECT_EQ(45u, names.size());
  EXPECT_TRUE(_log.Contains("処理中断時のスレッドなし."));
}

TEST_F(MusicWorkerTest, AThousandAndFirstFileEndsTheListing) {
  for (int i = 0; i < 1001; ++i) PutPc(ToWide(FormatString("%04d.mp3", i)), MakeMp3(L"", -1, 1));
  ASSERT_TRUE(CreateGetFileListRequest(_pc, &_lister, kMusicTargetPC));
  ASSERT_TRUE(_window.PumpUntil(
      [&] {
        const auto lists = _window.Results(kMusicResultFileList);
        return !lists.empty() && As<ListRequest>(lists.back())->last_batch;
      },
      120000));
  size_t total = 0;
  for (const Posted& p : _window.Results(kMusicResultFileList)) {
    total += As<ListRequest>(p)->files.Size();
  }
  EXPECT_EQ(1000u, total);
  auto* last = As<ListRequest>(_window.Results(kMusicResultFileList).back());
  EXPECT_TRUE(last->result);
  EXPECT_EQ(4u, last->error_code);
}

TEST_F(MusicWorkerTest, ANewListingCancelsTheOneUnderWay) {
  for (int i = 0; i < 400; ++i)
    PutPc(ToWide(FormatString("Big\\%04d.mp3", i)), MakeMp3(L"", -1, 1));
  PutPc(L"Small\\a.mp3");
  ASSERT_TRUE(CreateGetFileListRequest(Pc(L"Big"), &_lister, kMusicTargetPC));
  // Once the first batch of files has come, the big listing is under way.
  ASSERT_TRUE(_window.PumpUntil([&] { return _window.Results(kMusicResultFileList).size() >= 2; }));
  ASSERT_TRUE(CreateGetFileListRequest(Pc(L"Small"), &_lister, kMusicTargetPC));
  ASSERT_TRUE(_window.PumpUntil([&] {
    for (const Posted& p : _window.Results(kMusicResultFileList)) {
      if (As<ListRequest>(p)->last_batch) return true;
    }
    return false;
  }));
  _window.Drain();
  int last_batches = 0;
  for (const Posted& p : _window.Results(kMusicResultFileList)) {
    auto* batch = As<ListRequest>(p);
    if (!batch->last_batch) continue;
    ++last_batches;
    EXPECT_EQ(Pc(L"Small"), batch->folder);
    ASSERT_EQ(1u, batch->files.Size());
  }
  EXPECT_EQ(1, last_batches) << "the big listing never answers";
}

TEST_F(MusicWorkerTest, ListingAMissingFolderAnswersEmpty) {
  ASSERT_TRUE(CreateGetFileListRequest(Pc(L"none"), &_lister, kMusicTargetSD));
  ASSERT_TRUE(_window.PumpUntil([&] {
    const auto lists = _window.Results(kMusicResultFileList);
    return !lists.empty() && As<ListRequest>(lists.back())->last_batch;
  }));
  auto* last = As<ListRequest>(_window.Results(kMusicResultFileList).back());
  EXPECT_TRUE(last->result);
  EXPECT_EQ(0u, last->error_code) << "a platform error never reads as one of the library's";
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), last->system_error);
  EXPECT_TRUE(last->files.Empty());
}

// A copy of many chunks, with a second job waiting behind it.
class MusicCopyAbortTest : public MusicWorkerTest {
 protected:
  void StartLongCopy() {
    copytest::SetChunkSize(4096);
    ASSERT_TRUE(MakeLargeFile(Pc(L"big.mp3"), 64ll << 20));
    PutPc(L"after.mp3");
    ASSERT_TRUE(CreateCopyFilesRequest(_pc, Sd(L"Pop"), {L"big.mp3"}, &_worker));
    ASSERT_TRUE(CreateCopyFilesRequest(_pc, Sd(L"Pop"), {L"after.mp3"}, &_worker));
    // Under way once a percent has been copied.
    ASSERT_TRUE(_window.PumpUntil([&] {
      const std::vector<int> percents = _window.Percentages();
      return !percents.empty() && percents.back() >= 1;
    }));
  }
};

TEST_F(MusicCopyAbortTest, AbortStopsTheCopyAtOnce) {
  StartLongCopy();
  const DWORD start = GetTickCount();
  EXPECT_TRUE(_worker.Abort(1000));
  EXPECT_LT(GetTickCount() - start, 1000u);
  EXPECT_FALSE(_worker.IsRunning());
  auto* request = As<CMusicFileThreadRequestCopyFiles>(Result(kMusicResultCopyFiles));
  ASSERT_NE(nullptr, request);
  EXPECT_FALSE(request->result);
  EXPECT_EQ(static_cast<DWORD>(libmusic::kMusicErrorAborted), request->error_code);
  _window.Drain();
  EXPECT_EQ(1u, _window.Results(kMusicResultCopyFiles).size()) << "the queued copy never ran";
  EXPECT_TRUE(FilesIn(Sd(L"Pop")).empty()) << "no .TMP and no partial file stay";
  EXPECT_TRUE(_log.Contains("処理待ちリクエストを削除します.[4]"));

  // A fresh start runs new jobs again.
  ASSERT_TRUE(CreateCopyFilesRequest(_pc, Sd(L"Pop"), {L"after.mp3"}, &_worker));
  ASSERT_TRUE(
      _window.PumpUntil([&] { return _window.Results(kMusicResultCopyFiles).size() == 2; }));
  EXPECT_EQ((std::set<std::wstring>{L"after.mp3"}), FilesIn(Sd(L"Pop")));
}

TEST_F(MusicCopyAbortTest, DestroyingTheWorkerMidCopyEndsItCleanly) {
  auto worker = std::make_unique<CMusicFileThread>("MusicFile");
  worker->SetTargetWindow(_window.Handle());
  copytest::SetChunkSize(4096);
  ASSERT_TRUE(MakeLargeFile(Pc(L"big.mp3"), 64ll << 20));
  ASSERT_TRUE(CreateCopyFilesRequest(_pc, Sd(L"Pop"), {L"big.mp3"}, worker.get()));
  ASSERT_TRUE(CreateDeleteFilesRequest(Sd(L"Pop"), {L"x.mp3"}, worker.get()));
  ASSERT_TRUE(_window.PumpUntil([&] {
    const std::vector<int> percents = _window.Percentages();
    return !percents.empty() && percents.back() >= 1;
  }));
  const DWORD start = GetTickCount();
  worker.reset();
  EXPECT_LT(GetTickCount() - start, 1000u);
  _window.Drain();
  EXPECT_TRUE(_window.Results(kMusicResultDeleteFiles).empty());
  EXPECT_TRUE(FilesIn(Sd(L"Pop")).empty());
}

TEST_F(MusicWorkerTest, TheWindowRefusesWhatNoWorkerPosted) {
  const UINT message = RegisterWindowMessageA(kMsgMusicManual);
  PutPc(L"a.mp3");
  ASSERT_TRUE(CreateCopyFilesRequest(_pc, Sd(L"Pop"), {L"a.mp3"}, &_worker));
  const Posted done = Result(kMusicResultCopyFiles);
  ASSERT_NE(nullptr, done.request);
  // A forged address, a live request posted again, and a wrong kind.
  PostMessageA(_window.Handle(), message, kMusicResultCopyFiles, 0x12345678);
  PostMessageA(_window.Handle(), message, kMusicResultCopyFiles,
               reinterpret_cast<LPARAM>(done.request.get()));
  auto queued = std::make_unique<CMusicFileThreadRequestDeleteFolder>(Sd(L"Rock"));
  PostMessageA(_window.Handle(), message, kMusicResultDeleteFolder,
               reinterpret_cast<LPARAM>(queued.get()));
  _window.Drain();
  EXPECT_EQ(3, _window.Refused());
  EXPECT_EQ(nullptr, CMusicFileThreadRequest::Adopt(kMusicResultDeleteFiles, 0));
}

TEST_F(MusicWorkerTest, AWorkerWhoseThreadEndedStartsANewOne) {
  // An aborted listing ends its thread without an answer.
  for (int i = 0; i < 200; ++i) PutPc(ToWide(FormatString("%04d.mp3", i)), MakeMp3(L"", -1, 1));
  ASSERT_TRUE(CreateGetFileListRequest(_pc, &_lister, kMusicTargetPC));
  ASSERT_TRUE(_window.PumpUntil([&] { return _window.Results(kMusicResultFileList).size() >= 2; }));
  EXPECT_TRUE(_lister.Abort(1000));
  EXPECT_FALSE(_lister.IsRunning());
  EXPECT_TRUE(_lister.Start());
  EXPECT_TRUE(_lister.IsRunning());
  EXPECT_FALSE(_lister.IsAborting()) << "a fresh start clears the abort";
}

}  // namespace

namespace {

TEST(MusicPostTest, ARequestThatCannotBePostedIsDeleted) {
  ovtest::CLogCapture log;
  CMusicFileThread worker("MusicFile");
  auto request = std::make_unique<CMusicFileThreadRequestDeleteFolder>(L"E:\\AV\\MUSIC\\Rock");
  const LPARAM address = reinterpret_cast<LPARAM>(request.get());
  // No window at all, then a window that has gone.
  EXPECT_FALSE(worker.PostResult(std::move(request)));
  EXPECT_EQ(nullptr, CMusicFileThreadRequest::Adopt(kMusicResultDeleteFolder, address));
  {
    CResultWindow gone;
    worker.SetTargetWindow(gone.Handle());
  }
  EXPECT_FALSE(worker.PostResult(std::make_unique<CMusicFileThreadRequestDeleteFolder>(L"E:\\")));
  EXPECT_TRUE(log.Contains("応答送信失敗[6]"));
}

}  // namespace
