// Packed multi-file images: the entry layout, what is written and listed,
// hostile entry names, and images that end too early.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "ConfImageBuilder.h"
#include "RetryTestSupport.h"
#include "TestSupport.h"
#include "map/RNW_PackedFile.h"

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

struct Extracted {
  int result = 0;
  DWORD error = 0;
  std::vector<std::string> listed;  // "name:size", in list order
};

Extracted Extract(const ovtest::CTempDir& dir, const std::string& image,
                  const std::string& folder_name = "out") {
  const std::string packed = dir.File("packed.bin");
  EXPECT_TRUE(ovtest::WriteFileBytes(packed, image));
  const std::string folder = dir.File(folder_name);
  CreateDirectoryA(folder.c_str(), nullptr);
  RNW_PackedFile file;
  Extracted out;
  out.result = file.ExtractPackedFiles(folder, packed, static_cast<DWORD>(image.size()));
  out.error = file.GetLastFileError();
  for (const RNW_PackedEntry& e : file.GetWrittenEntries()) {
    out.listed.push_back(e.GetName().ToString() + ":" + std::to_string(e.GetSize()));
  }
  return out;
}

}  // namespace

TEST(PackedFile, EntriesArePaddedFromTheFileStart) {
  // Count 2; the first entry holds 3 bytes under "x": 2 + 4 + 2 + 3 = 11,
  // so the second entry starts at 12.
  const std::string image = std::string(
                                "\x00\x02"
                                "\x00\x00\x00\x03"
                                "x\0"
                                "abc"
                                "\0",
                                12) +
                            std::string(
                                "\x00\x00\x00\x02"
                                "yy\0"
                                "zz"
                                "\0\0\0",
                                12);
  EXPECT_EQ(ovtest::BuildPackedImage({{"x", "abc"}, {"yy", "zz"}}), image);

  ovtest::CPauseRecorder pauses;
  ovtest::CTempDir dir;
  const Extracted out = Extract(dir, image);
  EXPECT_EQ(out.result, 1);
  EXPECT_EQ(out.error, 0u);
  EXPECT_EQ(out.listed, (std::vector<std::string>{"yy:2", "x:3"}));
  EXPECT_EQ(ovtest::ReadFileOrEmpty(dir.File("out\\x")), "abc");
  EXPECT_EQ(ovtest::ReadFileOrEmpty(dir.File("out\\yy")), "zz");
}

TEST(PackedFile, EmptyEntriesAndReplacedFiles) {
  ovtest::CPauseRecorder pauses;
  ovtest::CTempDir dir;
  CreateDirectoryA(dir.File("out").c_str(), nullptr);
  ASSERT_TRUE(ovtest::WriteFileBytes(dir.File("out\\e"), "older and longer"));
  const Extracted out = Extract(dir, ovtest::BuildPackedImage({{"e", ""}, {"表ソ.dat", "d"}}));
  EXPECT_EQ(out.result, 1);
  EXPECT_EQ(out.listed, (std::vector<std::string>{"表ソ.dat:1", "e:0"}));
  EXPECT_EQ(ovtest::ReadFileOrEmpty(dir.File("out\\e")), "");
  EXPECT_EQ(ovtest::ReadFileOrEmpty(dir.File("out\\表ソ.dat")), "d");
}

TEST(PackedFile, HostileNamesAreNotWritten) {
  ovtest::CPauseRecorder pauses;
  ovtest::CLogCapture log;
  ovtest::CTempDir dir;
  const Extracted out = Extract(dir, ovtest::BuildPackedImage({{"..\\evil1", "x"},
                                                               {"C:\\evil2", "x"},
                                                               {"ok.bin", "fine"},
                                                               {"CON", "x"},
                                                               {"/evil3", "x"},
                                                               {"", "x"}}));
  EXPECT_EQ(out.result, 1);
  EXPECT_EQ(out.error, static_cast<DWORD>(ERROR_INVALID_NAME));
  EXPECT_EQ(out.listed, (std::vector<std::string>{"ok.bin:4"}));
  EXPECT_EQ(GetFileAttributesA(dir.File("evil1").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA("C:\\evil2"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(log.Errors().size(), 5u);
}

TEST(PackedFile, NothingToWrite) {
  ovtest::CPauseRecorder pauses;
  ovtest::CTempDir dir;
  EXPECT_EQ(Extract(dir, ovtest::BuildPackedImage({})).result, 0);
  EXPECT_EQ(Extract(dir, std::string("\x00", 1)).result, 0);
  EXPECT_EQ(Extract(dir, "").result, 0);
}

TEST(PackedFile, MissingFileKeepsTheError) {
  ovtest::CPauseRecorder pauses;
  ovtest::CTempDir dir;
  RNW_PackedFile file;
  EXPECT_EQ(file.ExtractPackedFiles(dir.Path(), dir.File("missing.bin"), 10), 0);
  EXPECT_EQ(file.GetLastFileError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(pauses.Pauses().empty());
}

TEST(PackedFile, AnEntryThatRunsPastTheBytesEndsTheExpansion) {
  ovtest::CPauseRecorder pauses;
  const std::string name127(127, 'n');
  const std::string name128(128, 'm');
  struct Case {
    const char* name;
    std::string image;
    std::vector<std::string> listed;
  };
  const std::string good = ovtest::BuildPackedImage({{"a", "1"}});
  const std::vector<Case> cases = {
      {"DataTooLong",
       ovtest::BuildPackedImage({{"a", "1"}, {"b", "22222"}}).substr(0, 8 + 4 + 2 + 3),
       {"a:1"}},
      {"CountTooLarge", std::string("\x00\x05", 2) + good.substr(2), {"a:1"}},
      {"LongestName", ovtest::BuildPackedImage({{name127, "z"}}), {name127 + ":1"}},
      {"NameTooLong", ovtest::BuildPackedImage({{"a", "1"}, {name128, "z"}}), {"a:1"}},
  };
  for (const Case& c : cases) {
    ovtest::CTempDir dir;
    const Extracted out = Extract(dir, c.image);
    EXPECT_EQ(out.listed, c.listed) << c.name;
    EXPECT_EQ(out.result, 1) << c.name;
  }
}

TEST(PackedFile, EveryTruncationWritesOnlyWholeEntries) {
  ovtest::CPauseRecorder pauses;
  const std::string image =
      ovtest::BuildPackedImage({{"one", "1111111"}, {"two", "22"}, {"three", "333"}});
  for (size_t n = 0; n < image.size(); ++n) {
    ovtest::CTempDir dir;
    const Extracted out = Extract(dir, image.substr(0, n));
    for (const std::string& entry : out.listed) {
      const std::string name = entry.substr(0, entry.find(':'));
      const std::string content = ovtest::ReadFileOrEmpty(dir.File("out\\" + name));
      EXPECT_EQ(entry, name + ":" + std::to_string(content.size())) << n;
    }
    EXPECT_EQ(out.result, out.listed.empty() ? 0 : 1);
  }
}

TEST(PackedFile, EntriesInSubfoldersAreWrittenThere) {
  ovtest::CPauseRecorder pauses;
  ovtest::CTempDir dir;
  const Extracted out = Extract(dir, ovtest::BuildPackedImage({{"sub\\a.txt", "A"},
                                                               {"sub/deeper/b.txt", "BB"},
                                                               {"empty\\", ""},
                                                               {"表\\ソ.txt", "S"},
                                                               {"top.txt", "T"}}));
  EXPECT_EQ(out.result, 1);
  EXPECT_EQ(out.error, 0u);
  EXPECT_EQ(out.listed.size(), 5u);
  EXPECT_EQ(ovtest::ReadFileOrEmpty(dir.File("out\\sub\\a.txt")), "A");
  EXPECT_EQ(ovtest::ReadFileOrEmpty(dir.File("out\\sub\\deeper\\b.txt")), "BB");
  EXPECT_NE(GetFileAttributesA(dir.File("out\\empty").c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_EQ(ovtest::ReadFileOrEmpty(dir.File("out\\表\\ソ.txt")), "S");
  EXPECT_EQ(ovtest::ReadFileOrEmpty(dir.File("out\\top.txt")), "T");
}

TEST(PackedFile, AnEntryThatCannotBeWrittenFailsTheImage) {
  ovtest::CPauseRecorder pauses;
  ovtest::CTempDir dir;
  // A folder holds the name of the first entry; a file the name of the
  // second one's folder.
  ASSERT_TRUE(CreateDirectoryA(dir.File("out").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(dir.File("out\\taken").c_str(), nullptr));
  ASSERT_TRUE(ovtest::WriteFileBytes(dir.File("out\\file"), "x"));
  for (const auto& entries : {ovtest::BuildPackedImage({{"taken", "a"}, {"ok.txt", "fine"}}),
                              ovtest::BuildPackedImage({{"ok.txt", "fine"}, {"file\\b", "b"}})}) {
    const Extracted out = Extract(dir, entries);
    EXPECT_EQ(out.result, 0);
    EXPECT_NE(out.error, 0u);
    EXPECT_EQ(ovtest::ReadFileOrEmpty(dir.File("out\\ok.txt")), "fine");
  }
}
