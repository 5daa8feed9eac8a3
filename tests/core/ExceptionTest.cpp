// The parsers' exception family and CreateFolderPath, which throws it.
#include "util/CoreFileUtil.h"
#include "util/Exception.h"

#include "Folders.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <typeinfo>

namespace {

using ovtest::CTempDir;
using ovtest::WriteFileBytes;

TEST(CoreException, EveryMemberCarriesItsMessageThroughEachBase) {
  try {
    throw lib::IOException("io");
  } catch (const lib::Exception& e) {
    EXPECT_STREQ("io", e.what());
  }
  try {
    throw lib::IOException("io");
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ("io", e.what());
  }
  try {
    throw lib::IlligalArgumentException("arg");
  } catch (const std::logic_error& e) {
    EXPECT_STREQ("arg", e.what());
  }
  try {
    throw lib::IlligalArgumentException("arg");
  } catch (const lib::LogicalException& e) {
    EXPECT_STREQ("arg", e.what());
  }
  EXPECT_STREQ("", lib::LogicalException().what());
}

// Raise throws the first-level class, whatever the object's own class is.
template <typename Thrown, typename Caught>
void ExpectRaisedAs(const Thrown& original) {
  try {
    static_cast<const lib::Exception&>(original).Raise();
    FAIL() << "nothing thrown";
  } catch (const Caught& e) {
    EXPECT_EQ(typeid(Caught), typeid(e));
    EXPECT_STREQ(original.what(), e.what());
  }
}

TEST(CoreException, RaiseThrowsACopyAsTheFirstLevelClass) {
  ExpectRaisedAs<lib::RuntimeException, lib::RuntimeException>(lib::RuntimeException("r"));
  ExpectRaisedAs<lib::IOException, lib::RuntimeException>(lib::IOException("i"));
  ExpectRaisedAs<lib::LogicalException, lib::LogicalException>(lib::LogicalException("l"));
  ExpectRaisedAs<lib::IlligalArgumentException, lib::LogicalException>(
      lib::IlligalArgumentException("a"));
}

class CreateFolderPathTest : public ::testing::Test {
 protected:
  CTempDir _dir;
};

TEST_F(CreateFolderPathTest, FilePathCreatesTheFoldersAboveTheFileOnly) {
  const std::string file = _dir.File("one\\two\\data.txt");
  EXPECT_NO_THROW(CreateFolderPath(file.c_str(), true));
  EXPECT_TRUE(PathIsDirectory(_dir.File("one\\two")));
  EXPECT_FALSE(PathFileExists(file));
}

TEST_F(CreateFolderPathTest, FolderPathWithOrWithoutBackslashAndExistingFolders) {
  EXPECT_NO_THROW(CreateFolderPath(_dir.File("a\\b").c_str(), false));
  EXPECT_TRUE(PathIsDirectory(_dir.File("a\\b")));
  EXPECT_NO_THROW(CreateFolderPath(_dir.File("a\\b\\").c_str(), false));
  EXPECT_NO_THROW(CreateFolderPath(_dir.File("a\\b\\c\\").c_str(), false));
  EXPECT_TRUE(PathIsDirectory(_dir.File("a\\b\\c")));
}

TEST_F(CreateFolderPathTest, TrailByteBackslashIsNoSeparator) {
  // 表 and ソ end in the byte 0x5C.
  EXPECT_NO_THROW(CreateFolderPath(_dir.File("表\\ソ\\x.txt").c_str(), true));
  EXPECT_TRUE(PathIsDirectory(_dir.File("表\\ソ")));
}

TEST_F(CreateFolderPathTest, FileInPlaceOfAFolderThrowsAndKeepsWhatWasMade) {
  ASSERT_TRUE(CreateDirectoryA(_dir.File("made").c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(_dir.File("made\\blocker"), "x"));
  try {
    CreateFolderPath(_dir.File("made\\blocker\\inner\\f.txt").c_str(), true);
    FAIL() << "nothing thrown";
  } catch (const lib::IOException& e) {
    EXPECT_STREQ("IOエラー：ディレクトリ作成失敗", e.what());
  }
  EXPECT_TRUE(PathIsDirectory(_dir.File("made")));
  EXPECT_FALSE(PathIsDirectory(_dir.File("made\\blocker")));
}

}  // namespace
