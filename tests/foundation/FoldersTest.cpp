// Data folders, path helpers, folder creation and trees.
#include "Folders.h"
#include "Handle.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

TEST(DataRoot, FallsBackToAllUsersWithoutTheProductFolders) {
  EXPECT_EQ(ComputeAppDataRoot("", "D:\\WINDOWS\\system32"),
            "D:\\Documents and Settings\\All Users\\Application Data\\");
  EXPECT_EQ(ComputeAppDataRoot("C:\\Users\\u\\AppData\\Roaming", "C:\\WINDOWS"),
            "C:\\Users\\u\\AppData\\Roaming\\Brennik\\Ostrovelle EV\\");
}

TEST(DataRoot, FixedFoldersAreCreatedBelowTheRoot) {
  ovtest::CScopedDataRoot root;
  EXPECT_EQ(GetAppDataRoot(), root.Root());
  const struct {
    std::string path;
    const char* tail;
  } folders[] = {{GetSettingFolder(), "Setting\\"},
                 {GetDataFolder(), "Data\\"},
                 {GetLogFolder(), "Log\\"},
                 {GetTemporaryFolder(), "TemporaryFile\\"},
                 {GetUserDataFolder("user01"), "Data\\user01\\"}};
  for (const auto& f : folders) {
    EXPECT_EQ(f.path, root.Root() + f.tail);
    EXPECT_TRUE(PathIsDirectory(f.path)) << f.path;
  }
  EXPECT_EQ(GetUserDataFolder(nullptr), "");
  EXPECT_TRUE(PathIsDirectory(GetDownloadFolder()));
}

TEST(DataRoot, RealRootEndsInTheProductFolders) {
  folderstest::ResetDataRoot();
  const std::string root = GetAppDataRoot();
  const std::string tail = "Brennik\\Ostrovelle EV\\";
  ASSERT_GT(root.size(), tail.size());
  EXPECT_EQ(root.substr(root.size() - tail.size()), tail);
  EXPECT_TRUE(PathIsDirectory(root));
}

TEST(InstallPath, ReadsInstallDirAndAddsTheProgram) {
  SetEnvironmentVariableA("OV_INSTALL_DIR", nullptr);
  constexpr char kKey[] = "SOFTWARE\\Brennik\\Ostrovelle EV\\";
  HKEY raw = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw,
                            nullptr),
            ERROR_SUCCESS);
  CRegKey key(raw);
  char old_value[512] = {};
  DWORD old_size = sizeof(old_value);
  const bool had_value =
      RegQueryValueExA(key.Get(), "InstallDir", nullptr, nullptr,
                       reinterpret_cast<BYTE*>(old_value), &old_size) == ERROR_SUCCESS;
  const char dir[] = "C:\\Program Files\\Ostrovelle EV";
  ASSERT_EQ(RegSetValueExA(key.Get(), "InstallDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(dir),
                           sizeof(dir)),
            ERROR_SUCCESS);
  EXPECT_EQ(GetInstallProgramPath(kInstallCore), std::string(dir) + "\\Ostrovelle_Core.exe");
  EXPECT_EQ(GetInstallProgramPath(kInstallMain), std::string(dir) + "\\Ostrovelle_EV.exe");
  EXPECT_EQ(GetInstallProgramPath(kInstallMusic), std::string(dir) + "\\Ostrovelle_Music.exe");
  EXPECT_EQ(GetInstallProgramPath(3), "");
  if (had_value) {
    RegSetValueExA(key.Get(), "InstallDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(old_value),
                   old_size);
  } else {
    RegDeleteValueA(key.Get(), "InstallDir");
  }
}

TEST(InstallPath, TheEnvironmentRedirectsTheInstallFolder) {
  struct Case {
    const char* name;
    const char* folder;
    const char* core;
  };
  const Case cases[] = {
      {"plain", "C:\\tests\\install", "C:\\tests\\install\\Ostrovelle_Core.exe"},
      {"trailing backslash", "C:\\tests\\install\\", "C:\\tests\\install\\Ostrovelle_Core.exe"},
      {"blank in the name", "C:\\a b", "C:\\a b\\Ostrovelle_Core.exe"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(SetEnvironmentVariableA("OV_INSTALL_DIR", c.folder));
    EXPECT_EQ(c.core, GetInstallProgramPath(kInstallCore)) << c.name;
    EXPECT_EQ(PathRemoveFileSpec(c.core) + "\\Ostrovelle_Music.exe",
              GetInstallProgramPath(kInstallMusic))
        << c.name;
    EXPECT_EQ("", GetInstallProgramPath(-1)) << c.name;
  }
  SetEnvironmentVariableA("OV_INSTALL_DIR", nullptr);
}

TEST(PathHelpers, WrapTheShellCalls) {
  EXPECT_EQ(PathFindFileName("C:\\a\\b.txt"), "b.txt");
  EXPECT_EQ(PathFindFileName("b.txt"), "");
  EXPECT_EQ(GetParentFolder("C:\\a\\b.txt"), "C:\\a");
  EXPECT_EQ(GetParentFolder("C:\\"), "C:\\");
  EXPECT_EQ(PathRemoveFileSpec("C:\\a\\b"), "C:\\a");
  EXPECT_EQ(PathAppend("C:\\a", "b\\c"), "C:\\a\\b\\c");
  EXPECT_EQ(PathAppend("C:\\a\\", "b"), "C:\\a\\b");
  EXPECT_EQ(PathAppend(std::string(300, 'x'), "b"), "");
  EXPECT_EQ(PathAddBackslash("C:\\a"), "C:\\a\\");
  EXPECT_TRUE(PathIsRoot("C:\\"));
  EXPECT_FALSE(PathIsRoot("C:\\a"));
}

TEST(PathHelpers, BackslashesAreLeadByteAware) {
  std::string s = "C:\\表";  // ends in 95 5C: no separator at the end
  AppendBackslash(s);
  EXPECT_EQ(s, "C:\\表\\");
  AppendBackslash(s);
  EXPECT_EQ(s, "C:\\表\\");
  RemoveTrailingBackslash(s);
  EXPECT_EQ(s, "C:\\表");
  RemoveTrailingBackslash(s);
  EXPECT_EQ(s, "C:\\表");
  std::string empty;
  RemoveTrailingBackslash(empty);
  EXPECT_EQ(empty, "");
  std::wstring w = L"C:\\x";
  AppendBackslashW(w);
  AppendBackslashW(w);
  EXPECT_EQ(w, L"C:\\x\\");
}

TEST(FolderCreation, LongPathPrefix) {
  EXPECT_EQ(MakeLongPathW("C:\\a"), L"\\\\?\\C:\\a");
  EXPECT_EQ(MakeLongPathW("\\\\server\\share\\x"), L"\\\\?\\UNC\\server\\share\\x");
}

TEST(FolderCreation, CreatesDeepJapaneseAndLongPaths) {
  ovtest::CTempDir dir;
  const std::string japanese = dir.Path() + "表示\\ソフト\\データ";
  EXPECT_TRUE(CreateFolderTree(japanese));
  EXPECT_TRUE(PathIsDirectory(japanese));
  EXPECT_FALSE(CreateFolderTree(""));
  EXPECT_TRUE(CreateFolderTree("C:\\"));

  std::string deep = dir.Path() + "long";
  while (deep.size() < 400) deep += "\\segment_0123456789";
  EXPECT_TRUE(CreateDirectories(deep));
  const DWORD attributes = GetFileAttributesW(MakeLongPathW(deep).c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_TRUE(CreateDirectories(deep));  // already there

  const std::string file = dir.File("plain.txt");
  ASSERT_TRUE(ovtest::WriteFileBytes(file, "x"));
  EXPECT_FALSE(CreateFolderTree(file));
  EXPECT_FALSE(CreateFolderTree(file + "\\below"));
}

TEST(FolderTrees, SizeAndDeletion) {
  ovtest::CTempDir dir;
  const std::string top = dir.Path() + "tree";
  ASSERT_TRUE(CreateDirectories(top + "\\a\\b"));
  ASSERT_TRUE(CreateDirectories(top + "\\empty"));
  ASSERT_TRUE(ovtest::WriteFileBytes(top + "\\one", std::string(100, 'x')));
  ASSERT_TRUE(ovtest::WriteFileBytes(top + "\\a\\two", std::string(250, 'y')));
  ASSERT_TRUE(ovtest::WriteFileBytes(top + "\\a\\b\\三", std::string(7, 'z')));
  EXPECT_EQ(GetFolderTreeSize(top), 357u);
  EXPECT_EQ(GetFolderTreeSize(top + "\\missing"), 0u);

  EXPECT_TRUE(DeleteFolderTree(top, false));
  EXPECT_TRUE(PathIsDirectory(top));
  EXPECT_EQ(GetFolderTreeSize(top), 0u);
  EXPECT_FALSE(PathFileExists(top + "\\a"));
  EXPECT_TRUE(DeleteFolderTree(top, true));
  EXPECT_FALSE(PathFileExists(top));
  EXPECT_FALSE(DeleteFolderTree(top, true));
  EXPECT_FALSE(DeleteFolderTree("", true));
}

TEST(CardLists, KeepListAndMapFolders) {
  EXPECT_EQ(GetCardKeepList().size(), 7u);
  const auto& map = GetMapChargeFolderList();
  ASSERT_EQ(map.size(), 19u);
  EXPECT_EQ(map.front(), ":\\PC\\PROGRAM\\");
  EXPECT_EQ(map[5], ":\\PC\\SEARCH1\\");
  EXPECT_EQ(map[16], ":\\PC\\SEARCH12\\");
  EXPECT_EQ(map.back(), ":\\NAVIDATA\\POINT\\");
}

TEST(Volume, CardVolumeLocksAndUnlocks) {
  ovtest::CTestCard card;
  ASSERT_TRUE(card.IsValid()) << "the prefix has no removable card drive";
  EXPECT_TRUE(IsVolumeLockable(card.Letter()));
}
