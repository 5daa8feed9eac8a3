// The music-file library: which files are music, one file's record, the
// searches and counts over a PC tree, and list copies and deletions on a
// simulated card with its limits, a full card, a missing card, abort and
// files that fail.
#include "Handle.h"
#include "MusicFileLib.h"
#include "MusicFileUtil.h"
#include "MusicTestSupport.h"
#include "RetryTestSupport.h"
#include "StringUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>

using namespace libmusic;
using namespace musictest;

namespace {

// Records the hooks and answers IsAbort as told.
class CProbeLib final : public CMusicFileLib {
 public:
  using CMusicFileLib::CMusicFileLib;
  using CMusicFileLib::TransferFile;

  bool IsAbort() override {
    ++abort_calls;
    if (abort_after_calls >= 0 && abort_calls > abort_after_calls) return true;
    return abort_after_files >= 0 &&
           static_cast<int>(transfer_progress.size()) >= abort_after_files;
  }
  void OnTransferProgress(int done, int total) override {
    transfer_progress.emplace_back(done, total);
  }
  void OnDeleteProgress(int done, int total) override { delete_progress.emplace_back(done, total); }
  // With replace set, a copy overwrites a file of the same name on the card.
  bool TransferFile(const std::wstring& source, const std::wstring& destination) override {
    if (!replace) return CMusicFileLib::TransferFile(source, destination);
    if (CopyFileW(source.c_str(), destination.c_str(), FALSE)) return true;
    SetSystemError(GetLastError());
    return false;
  }
  bool replace = false;

  int abort_calls = 0;
  int abort_after_calls = -1;
  int abort_after_files = -1;
  std::vector<std::pair<int, int>> transfer_progress;
  std::vector<std::pair<int, int>> delete_progress;
};

std::vector<std::pair<int, int>> Steps(int total) {
  std::vector<std::pair<int, int>> steps;
  for (int i = 1; i <= total; ++i) steps.emplace_back(i, total);
  return steps;
}

std::set<std::wstring> Names(const CMusicFileInfoList& list) {
  std::set<std::wstring> names;
  for (const auto& info : list.Items()) names.insert(info->file_name);
  return names;
}

std::string ReadWide(const std::wstring& path) {
  return ovtest::ReadFileOrEmpty(ToMultiByte(path));
}

// A PC music folder in a temporary folder.
class MusicLibTest : public ::testing::Test {
 protected:
  std::wstring Pc(const std::wstring& relative = std::wstring()) const {
    return relative.empty() ? _pc : _pc + L"\\" + relative;
  }
  void PutPc(const std::wstring& relative, const std::string& bytes = MakeMp3()) {
    ASSERT_TRUE(WriteFileW(Pc(relative), bytes)) << ToMultiByte(relative);
  }

  ovtest::CTempDir _dir;
  const std::wstring _pc = ToWide(_dir.Path()) + L"Music";
};

// A PC music folder and a card whose music folder the library fills.
class MusicCardTest : public MusicLibTest {
 protected:
  void SetUp() override { ASSERT_TRUE(_card.IsValid()); }
  std::wstring Sd(const std::wstring& relative = std::wstring()) const {
    return relative.empty() ? _sd : _sd + L"\\" + relative;
  }
  void PutSd(const std::wstring& relative, const std::string& bytes = std::string()) {
    ASSERT_TRUE(WriteFileW(Sd(relative), bytes)) << ToMultiByte(relative);
  }

  ovtest::CTestCard _card;
  const std::wstring _sd = GetMusicFolderPathW(static_cast<wchar_t>(_card.Letter()));
  CProbeLib _lib{_pc, _sd};
};

}  // namespace

struct TypeCase {
  std::string name;
  std::wstring path;
  int type;
};

void PrintTo(const TypeCase& c, std::ostream* out) { *out << c.name; }

class MusicFileTypeTest : public ::testing::TestWithParam<TypeCase> {};

TEST_P(MusicFileTypeTest, GoesByTheExtension) {
  EXPECT_EQ(GetParam().type, GetMusicFileType(GetParam().path));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MusicFileTypeTest,
    ::testing::Values(TypeCase{"Mp3", L"a.mp3", kMusicTypeMP3},
                      TypeCase{"UpperCaseMp3", L"Song.MP3", kMusicTypeMP3},
                      TypeCase{"Wma", L"C:\\x\\b.Wma", kMusicTypeWMA},
                      TypeCase{"M4a", L"曲.M4A", kMusicTypeAAC},
                      TypeCase{"Mp4IsNotMusic", L"song.mp4", kMusicTypeNone},
                      TypeCase{"NoExtension", L"mp3", kMusicTypeNone},
                      TypeCase{"DotInFolderOnly", L"x.mp3\\readme", kMusicTypeNone},
                      TypeCase{"DoubleExtension", L"a.mp3.txt", kMusicTypeNone}),
    ovtest::CaseName());

TEST(MusicFileType, NullPathIsNotMusic) { EXPECT_EQ(kMusicTypeNone, GetMusicFileType(nullptr)); }

struct TransferPathCase {
  std::string name;
  std::wstring source;
  const wchar_t* target;
  std::wstring expected;
};

void PrintTo(const TransferPathCase& c, std::ostream* out) { *out << c.name; }

class TransferPathTest : public ::testing::TestWithParam<TransferPathCase> {};

TEST_P(TransferPathTest, KeepsOnlyTheParentFolder) {
  EXPECT_EQ(GetParam().expected, MakeTransferPath(GetParam().source, GetParam().target));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TransferPathTest,
    ::testing::Values(
        TransferPathCase{"DeepWithTarget", L"Rock\\Live\\a.mp3", L"E:\\AV\\MUSIC",
                         L"E:\\AV\\MUSIC\\Live\\a.mp3"},
        TransferPathCase{"DeepWithoutTarget", L"Rock\\Live\\a.mp3", nullptr, L"Live\\a.mp3"},
        TransferPathCase{"OneFolder", L"ロック\\曲.mp3", L"F:\\AV\\MUSIC",
                         L"F:\\AV\\MUSIC\\ロック\\曲.mp3"},
        TransferPathCase{"TopFile", L"a.mp3", L"E:\\AV\\MUSIC", L"E:\\AV\\MUSIC\\a.mp3"},
        TransferPathCase{"TopFileWithoutTarget", L"\u0132.mp3", nullptr, L"\u0132.mp3"}),
    ovtest::CaseName());

TEST(MusicFolderPath, IsAvMusicOnTheDrive) {
  EXPECT_EQ("E:\\AV\\MUSIC", GetMusicFolderPath('E'));
  EXPECT_EQ(L"K:\\AV\\MUSIC", GetMusicFolderPathW(L'K'));
}

TEST_F(MusicLibTest, FileInfoOfAFileNamedOutsideCodePage932) {
  const std::wstring name = L"\u0132\u0259 曲.mp3";
  const std::string bytes = MakeMp3(L"アルバム", 3);
  PutPc(name, bytes);
  ASSERT_TRUE(SetWriteTime(Pc(name), 0x01D5000012345678ull));
  const auto info = GetMusicFileInfo(Pc(name).c_str());
  ASSERT_TRUE(info);
  EXPECT_EQ(name, info->file_name);
  EXPECT_EQ(bytes.size(), info->size);
  EXPECT_EQ(kMusicTypeMP3, info->type);
  EXPECT_EQ(1, info->playable);
  EXPECT_EQ(L"アルバム", info->album);
  EXPECT_EQ(3, info->track_number);
  EXPECT_EQ(0x01D50000u, info->last_write_time.dwHighDateTime);
  EXPECT_EQ(0x12345678u, info->last_write_time.dwLowDateTime);
}

TEST_F(MusicLibTest, FileInfoOfWhatIsNotPlayableMusic) {
  CLogCapture log;
  EXPECT_FALSE(GetMusicFileInfo(nullptr));
  EXPECT_TRUE(log.Contains("libmusic::GetMusicFileInfo - ERR[00000057]"));
  PutPc(L"clip.mp4");
  EXPECT_FALSE(GetMusicFileInfo(Pc(L"missing.mp3").c_str()));
  EXPECT_TRUE(log.Contains("libmusic::GetMusicFileInfo - ERR[00000002]"));
  EXPECT_FALSE(GetMusicFileInfo(Pc(L"clip.mp4").c_str()));
  PutPc(L"text.mp3", "not music at all");
  EXPECT_FALSE(GetMusicFileInfo(Pc(L"text.mp3").c_str()));

  // 2 GiB is too big even to be looked at: a sparse file of that size.
  PutPc(L"huge.mp3", MakeMp3());
  {
    const CFileHandle file(
        CreateFileW(Pc(L"huge.mp3").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    LARGE_INTEGER end;
    end.QuadPart = 0x80000000ll;
    EXPECT_TRUE(SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(file.Get()));
  }
  EXPECT_FALSE(GetMusicFileInfo(Pc(L"huge.mp3").c_str()));

  // ffmpeg's M4A names no iTunes encoder: described, but not playable.
  PutPc(L"lavf.m4a", GeneratedMedia("t128.m4a"));
  const auto info = GetMusicFileInfo(Pc(L"lavf.m4a").c_str());
  ASSERT_TRUE(info);
  EXPECT_EQ(kMusicTypeAAC, info->type);
  EXPECT_EQ(0, info->playable);
}

TEST_F(MusicLibTest, FindMusicFilesListsPlayableFilesByRelativePath) {
  PutPc(L"top.mp3");
  PutPc(L"Rock\\Live\\ライブ.mp3");
  PutPc(L"Rock\\\u0132.mp3");
  PutPc(L"Rock\\lavf.m4a", GeneratedMedia("t128.m4a"));
  PutPc(L"Rock\\notes.txt", "text");
  ASSERT_TRUE(CreateDirectoryW(Pc(L"Empty").c_str(), nullptr));
  CMusicFileLib lib(_pc, L"E:\\AV\\MUSIC");

  CMusicFileInfoList all;
  ASSERT_TRUE(lib.FindMusicFiles(&all, _pc.c_str(), nullptr, true));
  EXPECT_EQ((std::set<std::wstring>{L"top.mp3", L"Rock\\Live\\ライブ.mp3", L"Rock\\\u0132.mp3"}),
            Names(all));
  CMusicFileInfoList top;
  ASSERT_TRUE(lib.FindMusicFiles(&top, _pc.c_str(), nullptr, false));
  EXPECT_EQ(std::set<std::wstring>{L"top.mp3"}, Names(top));
  CMusicFileInfoList rock;
  ASSERT_TRUE(lib.FindMusicFiles(&rock, _pc.c_str(), L"Rock", false));
  EXPECT_EQ(std::set<std::wstring>{L"Rock\\\u0132.mp3"}, Names(rock));
  EXPECT_EQ(kMusicErrorNone, lib.GetErrorCode());
}

TEST_F(MusicLibTest, FindMusicFilesFailures) {
  CLogCapture log;
  CProbeLib lib(_pc, L"E:\\AV\\MUSIC");
  CMusicFileInfoList list;
  // A missing folder holds nothing: no failure, but the error is kept.
  EXPECT_TRUE(lib.FindMusicFiles(&list, Pc(L"nothing").c_str(), nullptr, true));
  EXPECT_TRUE(list.Empty());
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), lib.GetErrorCode());
  EXPECT_TRUE(log.Contains("CMusicFileLib::FindMusicFiles - ERR[00000003]"));

  EXPECT_FALSE(lib.FindMusicFiles(&list, nullptr, nullptr, true));
  EXPECT_EQ(kMusicErrorBadArgument, lib.GetErrorCode());

  EXPECT_FALSE(lib.FindMusicFiles(&list, L"Q:\\Music", nullptr, true));
  EXPECT_TRUE(log.Contains("ファイル検索時のSD無し"));

  PutPc(L"a.mp3");
  PutPc(L"b.mp3");
  lib.abort_after_calls = 3;
  EXPECT_FALSE(lib.FindMusicFiles(&list, _pc.c_str(), nullptr, true));
  EXPECT_EQ(kMusicErrorAborted, lib.GetErrorCode());
}

TEST_F(MusicLibTest, FindMusicFileFolderGroupsPlayableFilesByFolder) {
  const std::string one = MakeMp3(L"A", 1);
  const std::string two = MakeMp3(L"A", 2, 6);
  PutPc(L"A\\1.mp3", one);
  PutPc(L"A\\2.mp3", two);
  PutPc(L"A\\Sub\\3.mp3");
  PutPc(L"B\\lavf.m4a", GeneratedMedia("t128.m4a"));
  ASSERT_TRUE(CreateDirectoryW(Pc(L"C").c_str(), nullptr));
  PutPc(L"root.mp3");
  ASSERT_TRUE(SetWriteTime(Pc(L"A\\1.mp3"), 132000000000000000ull));
  ASSERT_TRUE(SetWriteTime(Pc(L"A\\2.mp3"), 132200000000000000ull));
  ASSERT_TRUE(SetWriteTime(Pc(L"A\\Sub\\3.mp3"), 132100000000000000ull));

  CMusicFileLib lib(_pc, L"E:\\AV\\MUSIC");
  CMusicFolderInfoList folders;
  ASSERT_TRUE(lib.FindMusicFileFolder(&folders, _pc.c_str(), nullptr));
  std::vector<std::wstring> order;
  for (const auto& folder : folders.Items()) order.push_back(folder->path);
  ASSERT_EQ(3u, order.size());
  // Each folder comes after its sub-folders; B (nothing playable) and C
  // (empty) are left out.
  const auto at = [&](const std::wstring& path) {
    return std::find(order.begin(), order.end(), path) - order.begin();
  };
  EXPECT_LT(at(L"A\\Sub"), at(L"A"));
  EXPECT_EQ(2, at(L""));
  const CMusicFolderInfo& a = folders[static_cast<size_t>(at(L"A"))];
  EXPECT_EQ(one.size() + two.size(), a.total_size);
  EXPECT_EQ(132200000000000000ull, a.newest_time);
  EXPECT_EQ((std::set<std::wstring>{L"A\\1.mp3", L"A\\2.mp3"}), Names(a.files));
  EXPECT_EQ(132100000000000000ull, folders[static_cast<size_t>(at(L"A\\Sub"))].newest_time);
}

TEST_F(MusicLibTest, CountsGoByExtensionAndFolder) {
  PutPc(L"a.mp3", "x");
  PutPc(L"b.WMA", "x");
  PutPc(L"c.m4a", "x");
  PutPc(L"d.txt", "x");
  PutPc(L"X\\e.mp3", "x");
  PutPc(L"X\\Y\\f.mp3", "x");
  ASSERT_TRUE(CreateDirectoryW(Pc(L"Z").c_str(), nullptr));
  CMusicFileLib lib(_pc, L"E:\\AV\\MUSIC");
  EXPECT_EQ(5, lib.FindMusicFilesEx(_pc.c_str(), nullptr));
  EXPECT_EQ(2, lib.FindMusicFilesEx(_pc.c_str(), L"X"));
  EXPECT_EQ(3, lib.FindMusicFileFolderEx(_pc.c_str(), nullptr));
  EXPECT_EQ(kMusicErrorNone, lib.GetErrorCode());
  // A folder that is not there holds nothing.
  EXPECT_EQ(0, lib.FindMusicFilesEx(Pc(L"none").c_str(), nullptr));
  EXPECT_EQ(0, lib.FindMusicFileFolderEx(Pc(L"none").c_str(), nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), lib.GetErrorCode());
  EXPECT_EQ(0, lib.FindMusicFilesEx(nullptr, nullptr));
  EXPECT_EQ(kMusicErrorBadArgument, lib.GetErrorCode());
}

TEST_F(MusicCardTest, TransferCopiesOneFolderDeepWithWideNames) {
  const std::string live = MakeMp3(L"Live", 1);
  PutPc(L"Rock\\Live\\ライブ.mp3", live);
  PutPc(L"\u0132\\\u0259.mp3");
  PutPc(L"top.mp3");
  const std::vector<std::wstring> list = {L"Rock\\Live\\ライブ.mp3", L"\u0132\\\u0259.mp3",
                                          L"top.mp3"};
  ASSERT_TRUE(_lib.TransferFile(list));
  EXPECT_EQ(live, ReadWide(Sd(L"Live\\ライブ.mp3")));
  EXPECT_TRUE(FileExistsW(Sd(L"\u0132\\\u0259.mp3")));
  EXPECT_TRUE(FileExistsW(Sd(L"top.mp3")));
  EXPECT_FALSE(FileExistsW(Sd(L"Rock")));
  EXPECT_EQ(Steps(3), _lib.transfer_progress);
}

TEST_F(MusicCardTest, TransferReportsFilesThatFailAndCopiesTheRest) {
  ovtest::CPauseRecorder pauses;
  CLogCapture log;
  PutPc(L"a.mp3");
  PutPc(L"here.mp3");
  PutSd(L"here.mp3", "already on the card");
  const std::vector<std::wstring> list = {L"missing.mp3", L"a.mp3", L"here.mp3", L"..\\up.mp3"};
  EXPECT_FALSE(_lib.TransferFile(list));
  EXPECT_EQ(kMusicErrorFilesFailed, _lib.GetErrorCode());
  EXPECT_TRUE(FileExistsW(Sd(L"a.mp3")));
  EXPECT_EQ("already on the card", ReadWide(Sd(L"here.mp3")));
  EXPECT_TRUE(log.Contains("CreateFile() - ERR[00000002]"));
  // The plain copy refuses to overwrite.
  EXPECT_TRUE(log.Contains("TransferFile error [00000050]"));
  EXPECT_TRUE(log.Contains("CreateFile() - ERR[0000007B]"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_NAME), _lib.GetSystemError());
  EXPECT_EQ(Steps(4), _lib.transfer_progress);
}

TEST_F(MusicCardTest, TransferStopsAtTheFolderLimitButFillsExistingFolders) {
  for (int i = 0; i < kMaxCardMusicFolders - 1; ++i) {
    ASSERT_TRUE(CreateFoldersW(Sd(ToWide(FormatString("F%03d", i)))));
  }
  for (const wchar_t* path : {L"x\\F005\\a.mp3", L"New1\\b.mp3", L"F007\\c.mp3", L"New2\\d.mp3"}) {
    PutPc(path);
  }
  const std::vector<std::wstring> list = {L"x\\F005\\a.mp3", L"New1\\b.mp3", L"F007\\c.mp3",
                                          L"New2\\d.mp3"};
  EXPECT_FALSE(_lib.TransferFile(list));
  EXPECT_EQ(kMusicErrorTooManyFolders, _lib.GetErrorCode());
  EXPECT_TRUE(FileExistsW(Sd(L"F005\\a.mp3")));
  EXPECT_TRUE(FileExistsW(Sd(L"New1\\b.mp3")));
  EXPECT_TRUE(FileExistsW(Sd(L"F007\\c.mp3")));
  EXPECT_FALSE(FileExistsW(Sd(L"New2")));
  EXPECT_EQ(3u, _lib.transfer_progress.size());
  EXPECT_FALSE(_lib.CheckFolderCount(_sd.c_str()));
}

TEST_F(MusicCardTest, TransferStopsAtTheFileLimitCountingItsOwnCopies) {
  // Only music files count towards the limit.
  for (int i = 0; i < kMaxCardMusicFiles - 2; ++i) {
    PutSd(ToWide(FormatString("D%02d\\%04d.mp3", i / 500, i)));
  }
  PutSd(L"D00\\cover.jpg");
  for (const wchar_t* path : {L"a.mp3", L"b.mp3", L"c.mp3"}) PutPc(path);
  EXPECT_TRUE(_lib.CheckFileCount(_sd.c_str()));
  EXPECT_FALSE(_lib.TransferFile({L"a.mp3", L"b.mp3", L"c.mp3"}));
  EXPECT_EQ(kMusicErrorTooManyFiles, _lib.GetErrorCode());
  EXPECT_TRUE(FileExistsW(Sd(L"a.mp3")));
  EXPECT_TRUE(FileExistsW(Sd(L"b.mp3")));
  EXPECT_FALSE(FileExistsW(Sd(L"c.mp3")));
  EXPECT_FALSE(_lib.CheckFileCount(_sd.c_str()));

  // Copies that replace a card file of the same name add nothing: two of
  // them, then two new files reach the limit again.
  ASSERT_TRUE(DeleteFileW(Sd(L"a.mp3").c_str()) && DeleteFileW(Sd(L"b.mp3").c_str()));
  const std::vector<std::wstring> list = {L"x\\D00\\0000.mp3", L"x\\D00\\0001.mp3", L"a.mp3",
                                          L"b.mp3", L"c.mp3"};
  for (const std::wstring& path : list) PutPc(path, MakeMp3(L"new"));
  _lib.replace = true;
  _lib.transfer_progress.clear();
  _lib.SetErrorCode(kMusicErrorNone);
  EXPECT_FALSE(_lib.TransferFile(list));
  EXPECT_EQ(kMusicErrorTooManyFiles, _lib.GetErrorCode());
  EXPECT_EQ(MakeMp3(L"new"), ReadWide(Sd(L"D00\\0001.mp3")));
  EXPECT_EQ(MakeMp3(L"new"), ReadWide(Sd(L"b.mp3")));
  EXPECT_FALSE(FileExistsW(Sd(L"c.mp3")));
  EXPECT_EQ(4u, _lib.transfer_progress.size());
}

namespace {
std::uint64_t g_free_answers[2];
int g_free_queries = 0;
bool FakeFreeSpace(const wchar_t*, std::uint64_t* free_bytes) {
  *free_bytes = g_free_answers[std::min(g_free_queries++, 1)];
  return true;
}
}  // namespace

TEST_F(MusicCardTest, TransferNeedsTheFileAndOneMebibyteFree) {
  const std::string bytes = MakeMp3(L"", -1, 10);
  PutPc(L"a.mp3", bytes);
  PutPc(L"b.mp3", bytes);
  g_free_answers[0] = bytes.size() + kCardSpareBytes;
  g_free_answers[1] = bytes.size() + kCardSpareBytes - 1;
  freespacetest::SetFreeSpaceQuery(&FakeFreeSpace);
  const bool copied = _lib.TransferFile({L"a.mp3", L"b.mp3"});
  freespacetest::SetFreeSpaceQuery(nullptr);
  EXPECT_FALSE(copied);
  EXPECT_EQ(kMusicErrorCardFull, _lib.GetErrorCode());
  EXPECT_TRUE(FileExistsW(Sd(L"a.mp3")));
  EXPECT_FALSE(FileExistsW(Sd(L"b.mp3")));
}

TEST_F(MusicCardTest, TransferAndDeletionStopOnAbort) {
  for (const wchar_t* path : {L"a.mp3", L"b.mp3", L"c.mp3"}) PutPc(path);
  _lib.abort_after_files = 2;
  EXPECT_FALSE(_lib.TransferFile({L"a.mp3", L"b.mp3", L"c.mp3"}));
  EXPECT_EQ(kMusicErrorAborted, _lib.GetErrorCode());
  EXPECT_TRUE(FileExistsW(Sd(L"b.mp3")));
  EXPECT_FALSE(FileExistsW(Sd(L"c.mp3")));

  _lib.SetErrorCode(kMusicErrorNone);
  EXPECT_FALSE(_lib.DeleteMusicFile({L"a.mp3", L"b.mp3"}, true));
  EXPECT_EQ(kMusicErrorAborted, _lib.GetErrorCode());
  EXPECT_TRUE(FileExistsW(Sd(L"a.mp3")));
}

TEST_F(MusicLibTest, MissingCardEndsTheLists) {
  CLogCapture log;
  PutPc(L"a.mp3");
  CMusicFileLib lib(_pc, L"Q:\\AV\\MUSIC");
  EXPECT_FALSE(lib.TransferFile(std::vector<std::wstring>{L"a.mp3"}));
  EXPECT_TRUE(log.Contains("ファイル転送中のSD無し"));
  EXPECT_FALSE(lib.DeleteMusicFile({L"a.mp3"}, true));
  EXPECT_TRUE(log.Contains("フォルダ移動時のSD無し"));
  EXPECT_TRUE(FileExistsW(Pc(L"a.mp3")));
}

TEST_F(MusicCardTest, DeletionRemovesEmptiedFoldersButKeepsTheMusicFolder) {
  PutSd(L"Only\\a.mp3");
  PutSd(L"top.mp3");
  PutSd(L"Two\\b.mp3");
  PutSd(L"Two\\cover.jpg");
  PutSd(L"Kept\\c.mp3");
  PutSd(L"Kept\\d.mp3");
  // A copy of a read-only PC file is read-only on the card too.
  ASSERT_TRUE(SetFileAttributesW(Sd(L"Kept\\c.mp3").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(_lib.DeleteMusicFile(
      {L"Only\\a.mp3", L"top.mp3", L"Two\\b.mp3", L"Kept\\c.mp3", L"gone.mp3"}, true));
  EXPECT_FALSE(FileExistsW(Sd(L"Only")));
  EXPECT_FALSE(FileExistsW(Sd(L"top.mp3")));
  EXPECT_TRUE(FileExistsW(Sd(L"Two\\cover.jpg")));
  EXPECT_FALSE(FileExistsW(Sd(L"Kept\\c.mp3")));
  EXPECT_TRUE(FileExistsW(Sd(L"Kept\\d.mp3")));
  EXPECT_TRUE(FileExistsW(Sd()));
  EXPECT_EQ(Steps(5), _lib.delete_progress);

  ASSERT_TRUE(_lib.DeleteMusicFile({L"Kept\\d.mp3"}, false));
  EXPECT_TRUE(FileExistsW(Sd(L"Kept")));
}

TEST_F(MusicCardTest, DeletionReportsFilesThatStayAndStaysInsideTheMusicFolder) {
  ovtest::CPauseRecorder pauses;
  CLogCapture log;
  PutSd(L"Busy\\held.mp3");
  PutSd(L"Busy\\other.mp3");
  ASSERT_TRUE(WriteFileW(_sd.substr(0, 5) + L"\\keep.mp3", "outside"));
  CFileHandle held(CreateFileW(Sd(L"Busy\\held.mp3").c_str(), GENERIC_READ, FILE_SHARE_READ,
                               nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  const bool deleted = _lib.DeleteMusicFile({L"Busy\\held.mp3", L"Busy\\other.mp3"}, true);
  held.Reset();
  EXPECT_FALSE(deleted);
  EXPECT_EQ(kMusicErrorFilesFailed, _lib.GetErrorCode());
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), _lib.GetSystemError());
  EXPECT_TRUE(log.Contains("DeleteMusicFile error [00000020]"));
  EXPECT_TRUE(FileExistsW(Sd(L"Busy\\held.mp3")));
  EXPECT_FALSE(FileExistsW(Sd(L"Busy\\other.mp3")));

  EXPECT_FALSE(_lib.DeleteMusicFile({L"..\\keep.mp3", L"C:\\x.mp3"}, true));
  EXPECT_EQ(kMusicErrorFilesFailed, _lib.GetErrorCode());
  EXPECT_TRUE(FileExistsW(_sd.substr(0, 5) + L"\\keep.mp3"));
}
