// The core's wide path helpers, folder sizes and listings, and the card's
// map-charge folders.
#include "util/CoreFileUtil.h"

#include "Folders.h"
#include "Handle.h"
#include "RetryTestSupport.h"
#include "StringUtil.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

namespace {

using ovtest::CLogCapture;
using ovtest::CPauseRecorder;
using ovtest::CTempDir;
using ovtest::CTestCard;
using ovtest::WriteFileBytes;

struct PathCase {
  const char* name;
  std::wstring (*helper)(const std::wstring&);
  const wchar_t* path;
  const wchar_t* expected;
};

void PrintTo(const PathCase& c, std::ostream* os) { *os << c.name; }

class WidePathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(WidePathTest, GivesTheExpectedPart) {
  const PathCase& c = GetParam();
  EXPECT_EQ(std::wstring(c.expected), c.helper(c.path));
}

const std::wstring kLongPath(300, L'a');

INSTANTIATE_TEST_SUITE_P(
    Cases, WidePathTest,
    ::testing::Values(
        PathCase{"FileNameOfFullPath", PathFindFileName, L"C:\\曲\\表ソ.mp3", L"表ソ.mp3"},
        PathCase{"FileNameOfBareName", PathFindFileName, L"表ソ.mp3", L""},
        PathCase{"ExtensionWithDot", PathFindExtension, L"C:\\a.b\\song.WMA", L".WMA"},
        PathCase{"NoExtension", PathFindExtension, L"C:\\a.b\\song", L""},
        PathCase{"PathBeginsWithTheExtension", PathFindExtension, L".profile", L""},
        PathCase{"RemoveFileSpec", PathRemoveFileSpec, L"C:\\a\\b.txt", L"C:\\a"},
        PathCase{"RemoveFileSpecOfRootIsUnchanged", PathRemoveFileSpec, L"C:\\", L"C:\\"},
        PathCase{"AddBackslash", PathAddBackslash, L"C:\\a", L"C:\\a\\"},
        PathCase{"AddBackslashKeepsOne", PathAddBackslash, L"C:\\a\\", L"C:\\a\\"},
        PathCase{"AddBackslashTooLong", PathAddBackslash, kLongPath.c_str(), L""},
        PathCase{"StripToRoot", PathStripToRoot, L"C:\\a\\b.txt", L"C:\\"},
        PathCase{"StripToRootOfShare", PathStripToRoot, L"\\\\server\\share\\a",
                 L"\\\\server\\share"},
        PathCase{"StripToRootOfRelativeFails", PathStripToRoot, L"a\\b", L""}),
    [](const ::testing::TestParamInfo<PathCase>& p) { return std::string(p.param.name); });

class CoreFolderTest : public ::testing::Test {
 protected:
  std::wstring Wide(const std::string& relative) const { return ToWide(_dir.File(relative)); }
  CTempDir _dir;
};

TEST_F(CoreFolderTest, ExistenceTestsTellFilesFromFoldersAndRoots) {
  ASSERT_TRUE(CreateDirectories(_dir.File("表")));
  ASSERT_TRUE(WriteFileBytes(_dir.File("表\\ソ.txt"), "x"));
  EXPECT_TRUE(PathFileExists(Wide("表\\ソ.txt")));
  EXPECT_TRUE(PathIsFile(Wide("表\\ソ.txt")));
  EXPECT_FALSE(PathIsDirectory(Wide("表\\ソ.txt")));
  EXPECT_TRUE(PathIsDirectory(Wide("表")));
  EXPECT_FALSE(PathIsFile(Wide("表")));
  EXPECT_FALSE(PathFileExists(Wide("none")));
  EXPECT_FALSE(PathIsFile(Wide("none")));
  EXPECT_TRUE(PathIsRoot(std::wstring(L"C:\\")));
  EXPECT_TRUE(PathIsRoot(std::wstring(L"\\\\server\\share")));
  EXPECT_FALSE(PathIsRoot(Wide("表")));
}

TEST_F(CoreFolderTest, CreateDirectoryMakesEveryMissingParent) {
  EXPECT_TRUE(PathCreateDirectory(Wide("a\\表\\c")));
  EXPECT_TRUE(PathIsDirectory(_dir.File("a\\表\\c")));
  EXPECT_TRUE(PathCreateDirectory(Wide("a\\表\\c\\")));
  EXPECT_TRUE(PathCreateDirectory(_dir.File("n\\ソ")));
  EXPECT_TRUE(PathIsDirectory(_dir.File("n\\ソ")));
  EXPECT_TRUE(PathCreateDirectory(std::wstring(L"C:\\")));
  EXPECT_FALSE(PathCreateDirectory(std::wstring()));
  EXPECT_FALSE(PathCreateDirectory(std::string()));
}

TEST_F(CoreFolderTest, CreateDirectoryUnderAFileCreatesNothing) {
  ASSERT_TRUE(WriteFileBytes(_dir.File("file"), "x"));
  EXPECT_FALSE(PathCreateDirectory(Wide("file")));
  EXPECT_FALSE(PathCreateDirectory(Wide("file\\sub\\deeper")));
  EXPECT_FALSE(PathFileExists(_dir.File("file\\sub")));
  EXPECT_TRUE(PathIsFile(Wide("file")));
}

TEST_F(CoreFolderTest, FolderSizeAddsEveryFileBelow) {
  ASSERT_TRUE(CreateDirectories(_dir.File("t\\sub\\deep")));
  ASSERT_TRUE(CreateDirectories(_dir.File("t\\empty")));
  ASSERT_TRUE(WriteFileBytes(_dir.File("t\\a"), std::string(1000, 'a')));
  ASSERT_TRUE(WriteFileBytes(_dir.File("t\\sub\\b"), std::string(20, 'b')));
  ASSERT_TRUE(WriteFileBytes(_dir.File("t\\sub\\deep\\ソ"), std::string(3, 'c')));
  EXPECT_EQ(1023u, GetFolderSize(Wide("t")));
  EXPECT_EQ(23u, GetFolderSize(Wide("t\\sub\\")));
  EXPECT_EQ(0u, GetFolderSize(Wide("t\\empty")));
  EXPECT_EQ(0u, GetFolderSize(Wide("missing")));
}

std::vector<std::string> Names(const std::vector<WIN32_FIND_DATAA>& list) {
  std::vector<std::string> names;
  for (const auto& found : list) names.push_back(found.cFileName);
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(CoreFolderTest, FindFilesAppendsEveryMatchDotsIncluded) {
  ASSERT_TRUE(WriteFileBytes(_dir.File("a.txt"), "aa"));
  ASSERT_TRUE(WriteFileBytes(_dir.File("b.dat"), "b"));
  ASSERT_TRUE(CreateDirectories(_dir.File("sub")));
  std::vector<WIN32_FIND_DATAA> list(1);
  list[0].cFileName[0] = '\0';
  EXPECT_TRUE(FindFiles(_dir.File("*").c_str(), list));
  EXPECT_EQ((std::vector<std::string>{"", ".", "..", "a.txt", "b.dat", "sub"}), Names(list));
  list.clear();
  EXPECT_TRUE(FindFiles(_dir.File("*.txt").c_str(), list));
  ASSERT_EQ(1u, list.size());
  EXPECT_EQ(2u, list[0].nFileSizeLow);
  EXPECT_FALSE(FindFiles(_dir.File("missing\\*").c_str(), list));
  EXPECT_EQ(1u, list.size());
}

TEST_F(CoreFolderTest, CanOpenFileSharesWithWritersButNotWithExclusiveHolders) {
  const std::string path = _dir.File("f.txt");
  ASSERT_TRUE(WriteFileBytes(path, "x"));
  EXPECT_TRUE(CanOpenFile(path.c_str()));
  EXPECT_FALSE(CanOpenFile(_dir.File("none").c_str()));
  {
    CFileHandle writer(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer);
    EXPECT_TRUE(CanOpenFile(path.c_str()));
  }
  CFileHandle exclusive(
      CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(exclusive);
  EXPECT_FALSE(CanOpenFile(path.c_str()));
}

// --- The card's map-charge folders ---

class MapChargeFolderTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(_card.IsValid()); }
  void Put(const std::string& relative, size_t size) {
    const std::string path = _card.Path(relative);
    ASSERT_TRUE(CreateDirectories(GetParentFolder(path)));
    ASSERT_TRUE(WriteFileBytes(path, std::string(size, 'x')));
  }
  void PutUsualCard() {
    Put("PC\\MAP\\m.dat", 10);
    Put("PC\\SEARCH12\\s.dat", 4);
    Put("NAVIDATA\\n.dat", 5);
    Put("NAVIDATA\\POINT\\p.dat", 7);
    Put("PC\\PCLINK.DAT", 100);
    Put("PC\\OTHER\\o.dat", 1000);
  }

  CTestCard _card;
  CLogCapture _log;
};

TEST_F(MapChargeFolderTest, SizeCountsEachFolderOnce) {
  PutUsualCard();
  uint64_t total = 99;
  EXPECT_EQ(0, GetMapChargeFolderSize(_card.Letter(), total));
  EXPECT_EQ(26u, total);
}

TEST_F(MapChargeFolderTest, SizeOfAnEmptyCardIsZero) {
  uint64_t total = 99;
  EXPECT_EQ(0, GetMapChargeFolderSize(_card.Letter(), total));
  EXPECT_EQ(0u, total);
}

TEST_F(MapChargeFolderTest, DeletionRemovesTheFoldersPresentAndNothingElse) {
  PutUsualCard();
  EXPECT_EQ(0u, DeleteMapChargeFolder(_card.Letter()));
  EXPECT_FALSE(PathFileExists(_card.Path("PC\\MAP")));
  EXPECT_FALSE(PathFileExists(_card.Path("PC\\SEARCH12")));
  EXPECT_FALSE(PathFileExists(_card.Path("NAVIDATA")));
  EXPECT_TRUE(PathFileExists(_card.Path("PC\\PCLINK.DAT")));
  EXPECT_TRUE(PathFileExists(_card.Path("PC\\OTHER\\o.dat")));
  EXPECT_TRUE(_log.Errors().empty());
  EXPECT_EQ(0u, DeleteMapChargeFolder(_card.Letter()));
}

TEST_F(MapChargeFolderTest, DeletionThatFailsKeepsGoingAndReportsTheError) {
  PutUsualCard();
  CFileHandle holder(CreateFileA(_card.Path("PC\\MAP\\m.dat").c_str(), GENERIC_READ,
                                 FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder);
  CPauseRecorder pauses;
  EXPECT_EQ(static_cast<DWORD>(ERROR_DIR_NOT_EMPTY), DeleteMapChargeFolder(_card.Letter()));
  EXPECT_TRUE(PathFileExists(_card.Path("PC\\MAP\\m.dat")));
  EXPECT_FALSE(PathFileExists(_card.Path("NAVIDATA")));
  const std::vector<std::string> errors = _log.Errors();
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ("マップチャージフォルダ削除失敗 ERR:0x00000091", errors.back());
}

}  // namespace
