// The zip writer's calls, read back by the tests' own reader.
#include "TestSupport.h"
#include "ZipTestReader.h"
#include "zlib/ZipWriter.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using ovtest::CTempDir;
using ovtest::ReadFileOrEmpty;

class ZipWriterTest : public ::testing::Test {
 protected:
  ziptest::Archive ReadBack() {
    ziptest::Archive archive;
    std::string error;
    EXPECT_TRUE(ziptest::Read(ReadFileOrEmpty(_path), &archive, &error)) << error;
    return archive;
  }

  CTempDir _dir;
  std::string _path = _dir.File("w.zip");
  CZipWriter _zip;
};

TEST(ZipTime, DosDateAndTimeKnownAnswersAndClamping) {
  ZipTime t;
  t.year = 2024;
  t.month = 11;  // December
  t.day = 31;
  t.hour = 23;
  t.minute = 59;
  t.second = 59;
  EXPECT_EQ((((2024u - 1980) << 9 | 12u << 5 | 31u) << 16) | (23u << 11 | 59u << 5 | 29u),
            ToDosDateTime(t));
  t.year = 1970;
  EXPECT_EQ((1u << 5 | 1u) << 16, ToDosDateTime(t));
  t.year = 2200;
  EXPECT_EQ(127u, ToDosDateTime(t) >> 25);
}

TEST_F(ZipWriterTest, StoredAndDeflatedEntriesWithLevelsAndAComment) {
  ASSERT_EQ(kZipOk, _zip.Open(_path.c_str()));
  const std::string text(10000, 'z');
  ZipEntryInfo info;
  info.dos_date = 0x12345678;
  info.internal_attributes = 1;
  info.external_attributes = 0x20;
  ASSERT_EQ(kZipOk, _zip.OpenNewFileInZip("stored.txt", info, kZipStored, 0));
  ASSERT_EQ(kZipOk, _zip.WriteInFileInZip(text.data(), 5000));
  ASSERT_EQ(kZipOk, _zip.WriteInFileInZip(text.data() + 5000, 5000));
  ASSERT_EQ(kZipOk, _zip.CloseFileInZip());
  ASSERT_EQ(kZipOk, _zip.OpenNewFileInZip("best.txt", ZipEntryInfo(), kZipDeflated, 9));
  ASSERT_EQ(kZipOk, _zip.WriteInFileInZip(text.data(), static_cast<unsigned>(text.size())));
  // Opening the next entry closes this one.
  ASSERT_EQ(kZipOk, _zip.OpenNewFileInZip("fast.txt", ZipEntryInfo(), kZipDeflated, 1));
  ASSERT_EQ(kZipOk, _zip.WriteInFileInZip("abc", 3));
  ASSERT_EQ(kZipOk, _zip.Close("note"));
  EXPECT_FALSE(_zip.IsOpen());

  const ziptest::Archive archive = ReadBack();
  ASSERT_EQ(3u, archive.entries.size());
  EXPECT_EQ("note", archive.comment);
  const ziptest::Entry& stored = archive.entries[0];
  EXPECT_EQ(0u, stored.method);
  EXPECT_EQ(10000u, stored.compressed);
  EXPECT_EQ(text, stored.data);
  EXPECT_EQ(0x1234u, stored.dos_date);
  EXPECT_EQ(0x5678u, stored.dos_time);
  EXPECT_EQ(1u, stored.internal_attributes);
  EXPECT_EQ(0x20u, stored.external_attributes);
  EXPECT_EQ(8u, archive.entries[1].method);
  EXPECT_EQ(2u, archive.entries[1].flags);
  EXPECT_LT(archive.entries[1].compressed, 200u);
  EXPECT_EQ(text, archive.entries[1].data);
  EXPECT_EQ(6u, archive.entries[2].flags);
  EXPECT_EQ("abc", archive.entries[2].data);
  EXPECT_EQ((1u << 5 | 1u), archive.entries[2].dos_date);
}

TEST_F(ZipWriterTest, CallsOutOfOrderAreParameterErrors) {
  ZipEntryInfo info;
  EXPECT_EQ(kZipParamError, _zip.OpenNewFileInZip("a", info, kZipDeflated, -1));
  EXPECT_EQ(kZipParamError, _zip.Close(nullptr));
  ASSERT_EQ(kZipOk, _zip.Open(_path.c_str()));
  EXPECT_EQ(kZipParamError, _zip.Open(_path.c_str()));
  EXPECT_EQ(kZipParamError, _zip.WriteInFileInZip("x", 1));
  EXPECT_EQ(kZipParamError, _zip.CloseFileInZip());
  EXPECT_EQ(kZipParamError, _zip.OpenNewFileInZip("a", info, 12, -1));
  EXPECT_EQ(kZipParamError, _zip.OpenNewFileInZip("a", info, kZipDeflated, 10));
  EXPECT_EQ(kZipParamError, _zip.OpenNewFileInZip(nullptr, info, kZipDeflated, -1));
  EXPECT_NE(0u, _zip.LastError());
  // Closing with an entry open closes the entry first.
  ASSERT_EQ(kZipOk, _zip.OpenNewFileInZip("open.txt", info, kZipDeflated, -1));
  ASSERT_EQ(kZipOk, _zip.WriteInFileInZip("data", 4));
  ASSERT_EQ(kZipOk, _zip.Close(nullptr));
  const ziptest::Archive archive = ReadBack();
  ASSERT_EQ(1u, archive.entries.size());
  EXPECT_EQ("data", archive.entries[0].data);
}

TEST_F(ZipWriterTest, OpenFailureKeepsThePlatformError) {
  EXPECT_EQ(kZipErrno, _zip.Open(_dir.File("no\\w.zip").c_str()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), _zip.LastError());
  EXPECT_FALSE(_zip.IsOpen());
}

}  // namespace
