// Whole-file reads and replacing writes of the data files.
#include "OstrovelleLite/WholeFile.h"
#include "StringUtil.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(WholeFile, ReplacingWriteLeavesOnlyTheNewFile) {
  ovtest::CTempDir dir;
  const std::wstring path = ToWide(dir.File("data.bin"));
  DWORD error = 1;
  ASSERT_TRUE(WriteFileReplacing(path, "first", FILE_ATTRIBUTE_HIDDEN, &error));
  EXPECT_EQ(0u, error);
  ASSERT_TRUE(WriteFileReplacing(path, "second", FILE_ATTRIBUTE_HIDDEN, &error));
  EXPECT_EQ("second", ovtest::ReadFileOrEmpty(dir.File("data.bin")));
  EXPECT_TRUE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((path + L".new").c_str()));
}

TEST(WholeFile, FileHeldOpenIsNotReplacedAndStaysWhole) {
  ovtest::CTempDir dir;
  const std::wstring path = ToWide(dir.File("data.bin"));
  ASSERT_TRUE(WriteFileReplacing(path, "old", FILE_ATTRIBUTE_NORMAL, nullptr));
  CFileHandle reader(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(reader);
  DWORD error = 0;
  EXPECT_FALSE(WriteFileReplacing(path, "new", FILE_ATTRIBUTE_NORMAL, &error));
  EXPECT_NE(0u, error);
  reader.Reset();
  EXPECT_EQ("old", ovtest::ReadFileOrEmpty(dir.File("data.bin")));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((path + L".new").c_str()));
}

TEST(WholeFile, ReadResults) {
  ovtest::CTempDir dir;
  std::string bytes;
  DWORD error = 0;
  EXPECT_EQ(kWholeFileNotOpened, ReadWholeFile(dir.File("missing"), 100, &bytes, &error));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), error);
  ASSERT_TRUE(ovtest::WriteFileBytes(dir.File("ten"), "0123456789"));
  EXPECT_EQ(kWholeFileTooLarge, ReadWholeFile(dir.File("ten"), 9, &bytes, &error));
  EXPECT_EQ(kWholeFileRead, ReadWholeFile(dir.File("ten"), 10, &bytes, &error));
  EXPECT_EQ("0123456789", bytes);
  ASSERT_TRUE(ovtest::WriteFileBytes(dir.File("empty"), ""));
  EXPECT_EQ(kWholeFileRead, ReadWholeFile(dir.File("empty"), 10, &bytes, &error));
  EXPECT_EQ("", bytes);
}

}  // namespace
