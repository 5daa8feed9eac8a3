// The wide path helpers: canonical paths, the folder-tree deletion (missing
// folder, locked and read-only files, long paths, links, names sharing a
// start) and the start of programs and documents, with a planted program
// that a blank in a path must never start.
#include <gtest/gtest.h>

#include "Folders.h"
#include "Handle.h"
#include "MusicTestSupport.h"
#include "StringUtil.h"
#include "TestSupport.h"
#include "WideUtil.h"

using musictest::FileExistsW;
using musictest::WriteFileW;

namespace {

// The first entry of a folder besides "." and ".."; empty for none.
std::wstring FirstEntry(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  CFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &found));
  if (!find) return L"(not listed)";
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") return name;
  } while (FindNextFileW(find.Get(), &found));
  return std::wstring();
}

class WideUtilTest : public ::testing::Test {
 protected:
  std::wstring Path(const std::wstring& relative) const { return _base + relative; }

  ovtest::CTempDir _dir;
  const std::wstring _base = ToWide(_dir.Path());
};

struct CanonicalCase {
  const char* name;
  const wchar_t* in;
  const wchar_t* out;
};

class CanonicalizeTest : public ::testing::TestWithParam<CanonicalCase> {};

TEST_P(CanonicalizeTest, ResolvesDotParts) {
  EXPECT_EQ(std::wstring(GetParam().out), CanonicalizePathW(GetParam().in));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, CanonicalizeTest,
    ::testing::Values(CanonicalCase{"Plain", L"E:\\AV\\MUSIC", L"E:\\AV\\MUSIC"},
                      CanonicalCase{"DotDot", L"E:\\AV\\MUSIC\\Rock\\..\\Pop",
                                    L"E:\\AV\\MUSIC\\Pop"},
                      CanonicalCase{"Dot", L"E:\\AV\\.\\MUSIC", L"E:\\AV\\MUSIC"},
                      CanonicalCase{"AboveTheMusicFolder", L"E:\\AV\\MUSIC\\..", L"E:\\AV"}),
    ovtest::CaseName());

TEST(CanonicalizeLongTest, TooLongComesBackUnchanged) {
  const std::wstring path = L"C:\\" + std::wstring(400, L'a') + L"\\..\\b";
  EXPECT_EQ(path, CanonicalizePathW(path));
}

TEST_F(WideUtilTest, DeleteFolderTreeRemovesEverythingBelowAndTheFolder) {
  ASSERT_TRUE(WriteFileW(Path(L"tree\\a.mp3"), "a"));
  ASSERT_TRUE(WriteFileW(Path(L"tree\\表ソ\\b.mp3"), "b"));
  ASSERT_TRUE(PathCreateDirectory(Path(L"tree\\empty")));
  ASSERT_TRUE(WriteFileW(Path(L"treeside.mp3"), "kept"));
  EXPECT_TRUE(DeleteFolderTreeW(Path(L"tree").c_str(), true));
  EXPECT_FALSE(FileExistsW(Path(L"tree")));
  EXPECT_TRUE(FileExistsW(Path(L"treeside.mp3"))) << "a name sharing the folder's start stays";
}

TEST_F(WideUtilTest, DeleteFolderTreeWithoutFoldersKeepsOnlyTheFolderItself) {
  ASSERT_TRUE(WriteFileW(Path(L"tree\\sub\\b.mp3"), "b"));
  ASSERT_TRUE(WriteFileW(Path(L"tree\\a.mp3"), "a"));
  EXPECT_TRUE(DeleteFolderTreeW(Path(L"tree\\").c_str(), false));
  EXPECT_TRUE(PathIsDirectory(Path(L"tree")));
  EXPECT_EQ(L"", FirstEntry(Path(L"tree")));
}

TEST_F(WideUtilTest, DeleteFolderTreeOfAMissingFolderFailsAndRemovesNothing) {
  ASSERT_TRUE(WriteFileW(Path(L"other\\a.mp3"), "a"));
  EXPECT_FALSE(DeleteFolderTreeW(Path(L"missing").c_str(), true));
  EXPECT_FALSE(DeleteFolderTreeW(nullptr, true));
  EXPECT_FALSE(DeleteFolderTreeW(L"", true));
  EXPECT_TRUE(FileExistsW(Path(L"other\\a.mp3")));
}

TEST_F(WideUtilTest, DeleteFolderTreeGoesOnPastALockedFile) {
  ASSERT_TRUE(WriteFileW(Path(L"tree\\a.mp3"), "a"));
  ASSERT_TRUE(WriteFileW(Path(L"tree\\locked.mp3"), "l"));
  ASSERT_TRUE(WriteFileW(Path(L"tree\\z.mp3"), "z"));
  {
    CFileHandle locked(CreateFileW(Path(L"tree\\locked.mp3").c_str(), GENERIC_READ, 0, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(locked);
    EXPECT_FALSE(DeleteFolderTreeW(Path(L"tree").c_str(), true));
  }
  EXPECT_TRUE(FileExistsW(Path(L"tree\\locked.mp3")));
  EXPECT_FALSE(FileExistsW(Path(L"tree\\a.mp3")));
  EXPECT_FALSE(FileExistsW(Path(L"tree\\z.mp3")));
}

TEST_F(WideUtilTest, DeleteFolderTreeRemovesReadOnlyFiles) {
  ASSERT_TRUE(WriteFileW(Path(L"tree\\ro.mp3"), "r"));
  ASSERT_TRUE(SetFileAttributesW(Path(L"tree\\ro.mp3").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(DeleteFolderTreeW(Path(L"tree").c_str(), true));
  EXPECT_FALSE(FileExistsW(Path(L"tree")));
}

TEST_F(WideUtilTest, DeleteFolderTreeReachesPathsBeyond520Characters) {
  std::wstring deep = Path(L"tree");
  while (deep.size() < 600) deep += L"\\" + std::wstring(60, L'd');
  ASSERT_TRUE(PathCreateDirectory(L"\\\\?\\" + deep));
  const std::wstring file = deep + L"\\" + std::wstring(40, L'f') + L".mp3";
  ASSERT_TRUE(WriteFileW(L"\\\\?\\" + file, "x"));
  // A sibling whose name begins like the long one but is not inside it.
  ASSERT_TRUE(WriteFileW(Path(L"tree2.mp3"), "kept"));
  EXPECT_TRUE(DeleteFolderTreeW(Path(L"tree").c_str(), true));
  EXPECT_FALSE(FileExistsW(Path(L"tree")));
  EXPECT_TRUE(FileExistsW(Path(L"tree2.mp3")));
}

TEST_F(WideUtilTest, DeleteFolderTreeLeavesLinksAndWhatTheyLeadTo) {
  ASSERT_TRUE(WriteFileW(Path(L"elsewhere\\keep.mp3"), "k"));
  ASSERT_TRUE(WriteFileW(Path(L"tree\\a.mp3"), "a"));
  if (!ovtest::MakeFolderLink(_dir.File("tree\\link"), _dir.File("elsewhere"))) {
    GTEST_SKIP() << "no folder links here";
  }
  EXPECT_FALSE(DeleteFolderTreeW(Path(L"tree").c_str(), true)) << "the link keeps its folder";
  EXPECT_TRUE(FileExistsW(Path(L"elsewhere\\keep.mp3")));
  EXPECT_FALSE(FileExistsW(Path(L"tree\\a.mp3")));
  ovtest::RemoveFolderLink(_dir.File("tree\\link"));
}

// A marker program planted under a name; its event tells whether it ran.
class PlantedProgramTest : public WideUtilTest {
 protected:
  CHandle Plant(const std::wstring& relative, const std::string& event_name) {
    const std::wstring marker = ToWide(ovtest::ExecutableFolder() + OV_MARKER_EXE);
    EXPECT_TRUE(CopyFileW(marker.c_str(), Path(relative).c_str(), FALSE));
    return CHandle(CreateEventA(nullptr, TRUE, FALSE, ("OvMusicTestRan_" + event_name).c_str()));
  }
};

TEST_F(PlantedProgramTest, PlayingADocumentNeverStartsAProgramNamedByItsFirstWord) {
  CHandle planted = Plant(L"My.exe", "My");
  ASSERT_TRUE(planted);
  ASSERT_TRUE(WriteFileW(Path(L"My Song.mp3"), "not really music"));
  HANDLE process = nullptr;
  const bool opened = StartProgramW(Path(L"My Song.mp3"), SW_SHOWNORMAL, &process);
  if (opened && process) {
    WaitForSingleObject(process, 10000);
    CloseHandle(process);
  }
  // Whatever the shell did with the document, the planted program is quiet.
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(planted.Get(), 1000));
}

TEST_F(PlantedProgramTest, StartProcessQuotesItsProgram) {
  CHandle planted = Plant(L"My.exe", "My");
  CHandle tool = Plant(L"My Tool.exe", "My Tool");
  ASSERT_TRUE(planted && tool);
  HANDLE process = nullptr;
  ASSERT_TRUE(StartProcessW(Path(L"My Tool.exe"), L" /x", SW_HIDE, &process));
  ASSERT_NE(nullptr, process);
  EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(process, 20000));
  CloseHandle(process);
  EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(tool.Get(), 0));
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(planted.Get(), 0));
}

TEST_F(PlantedProgramTest, ShellOpensAProgramByItsWholeName) {
  CHandle planted = Plant(L"My.exe", "My");
  CHandle tool = Plant(L"My Tool.exe", "My Tool");
  ASSERT_TRUE(planted && tool);
  HANDLE process = nullptr;
  ASSERT_TRUE(ShellExecuteProgramW(Path(L"My Tool.exe"), SW_HIDE, &process));
  EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(tool.Get(), 20000));
  if (process) {
    WaitForSingleObject(process, 20000);
    CloseHandle(process);
  }
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(planted.Get(), 0));
}

TEST(StartProcessRefusalTest, MissingProgramFails) {
  EXPECT_FALSE(StartProcessW(L"", L"", SW_HIDE));
  EXPECT_FALSE(StartProcessW(L"C:\\no\\such\\program.exe", L"", SW_HIDE));
  EXPECT_FALSE(ShellExecuteProgramW(L"", SW_HIDE));
}

TEST(CommandLineFolderTest, FolderOfTheProgram) {
  EXPECT_EQ(L"C:\\Program Files\\App",
            GetCommandLineFolderW(L"\"C:\\Program Files\\App\\run.exe\" /d E"));
  EXPECT_EQ(L"C:\\App", GetCommandLineFolderW(L"C:\\App\\run.exe /x"));
}

}  // namespace
