// Packing folders into zip archives, read back by a reader of the tests'
// own (ZipTestReader.h). One case also leaves its tree and archive for
// Python's zip reader (check_zip.py), when OV_ZIP_EXPORT names a folder.
#include "Folders.h"
#include "Handle.h"
#include "RetryTestSupport.h"
#include "StringUtil.h"
#include "TestBytes.h"
#include "TestSupport.h"
#include "ZipTestReader.h"
#include "zlib/ZipIF.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

using ovtest::CLogCapture;
using ovtest::CompressibleBytes;
using ovtest::CTempDir;
using ovtest::ReadFileOrEmpty;
using ovtest::WriteFileBytes;

bool ReadArchive(const std::string& path, ziptest::Archive* archive) {
  std::string error;
  const bool ok = ziptest::Read(ReadFileOrEmpty(path), archive, &error);
  EXPECT_TRUE(ok) << error;
  return ok;
}

std::map<std::string, ziptest::Entry> ByName(const ziptest::Archive& archive) {
  std::map<std::string, ziptest::Entry> entries;
  for (const auto& e : archive.entries) entries[e.name] = e;
  return entries;
}

std::vector<std::string> Names(const ziptest::Archive& archive) {
  std::vector<std::string> names;
  for (const auto& e : archive.entries) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  return names;
}

// Sets the file's last-write time to a local time.
bool SetLocalWriteTime(const std::string& path, const SYSTEMTIME& local) {
  FILETIME local_time;
  FILETIME utc;
  if (!SystemTimeToFileTime(&local, &local_time) || !LocalFileTimeToFileTime(&local_time, &utc)) {
    return false;
  }
  CFileHandle file(CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return file && SetFileTime(file.Get(), nullptr, nullptr, &utc);
}

// Seconds between a DOS date and time and now.
double SecondsFromNow(uint16_t dos_date, uint16_t dos_time) {
  SYSTEMTIME t = {};
  t.wYear = static_cast<WORD>(1980 + (dos_date >> 9));
  t.wMonth = static_cast<WORD>((dos_date >> 5) & 0x0F);
  t.wDay = static_cast<WORD>(dos_date & 0x1F);
  t.wHour = static_cast<WORD>(dos_time >> 11);
  t.wMinute = static_cast<WORD>((dos_time >> 5) & 0x3F);
  t.wSecond = static_cast<WORD>((dos_time & 0x1F) * 2);
  SYSTEMTIME now;
  GetLocalTime(&now);
  FILETIME a;
  FILETIME b;
  SystemTimeToFileTime(&t, &a);
  SystemTimeToFileTime(&now, &b);
  const auto ticks = [](const FILETIME& f) {
    return static_cast<double>((static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime);
  };
  return (ticks(b) - ticks(a)) / 1e7;
}

class ZipFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char exported[MAX_PATH] = {};
    if (GetEnvironmentVariableA("OV_ZIP_EXPORT", exported, sizeof(exported))) {
      _base = exported;
      AppendBackslash(_base);
      if (PathIsDirectory(_base)) DeleteFolderTree(_base, false);
      ASSERT_TRUE(CreateDirectories(_base));
    } else {
      _base = _dir.Path();
    }
    _source = _base + "source\\";
    _zip = _base + "archive.zip";
    ASSERT_TRUE(CreateDirectories(_source));
  }
  void TearDown() override {
    for (const std::string& path : _protected)
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  void Put(const std::string& relative, const std::string& bytes) {
    const std::string path = _source + relative;
    ASSERT_TRUE(CreateDirectories(GetParentFolder(path)));
    ASSERT_TRUE(WriteFileBytes(path, bytes));
  }
  void SetAttributes(const std::string& relative, DWORD attributes) {
    _protected.push_back(_source + relative);
    ASSERT_TRUE(SetFileAttributesA((_source + relative).c_str(), attributes));
  }

  CTempDir _dir;
  CLogCapture _log;
  std::string _base;
  std::string _source;
  std::string _zip;
  std::vector<std::string> _protected;
};

TEST_F(ZipFolderTest, FileAndEmptyFolderGiveTwoEntries) {
  Put("a.txt", "alpha");
  ASSERT_TRUE(CreateDirectories(_source + "e"));
  CZipIF zip;
  ASSERT_EQ(1, zip.ZipFolder(_source, _zip));
  ziptest::Archive archive;
  ASSERT_TRUE(ReadArchive(_zip, &archive));
  EXPECT_EQ((std::vector<std::string>{"a.txt", "e\\"}), Names(archive));
  const auto entries = ByName(archive);
  const ziptest::Entry& folder = entries.at("e\\");
  EXPECT_EQ(0u, folder.uncompressed);
  EXPECT_EQ(8u, folder.method);
  EXPECT_EQ(static_cast<uint32_t>(FILE_ATTRIBUTE_DIRECTORY), folder.external_attributes);
  EXPECT_LT(std::abs(SecondsFromNow(folder.dos_date, folder.dos_time)), 120.0);
  EXPECT_EQ("alpha", entries.at("a.txt").data);
  EXPECT_TRUE(archive.comment.empty());
  EXPECT_TRUE(_log.Errors().empty());
}

TEST_F(ZipFolderTest, PacksATreeThatReadersAgreeOn) {
  const std::map<std::string, std::string> files = {
      {"a.txt", std::string(300, 'a')},
      {"zero.dat", ""},
      {"sub\\b.bin", CompressibleBytes(5 * 1024 * 1024 + 17)},  // more than one read piece
      {"sub\\deep\\c.txt", "c"},
      {"表\\ソ.txt", "表ソ"},
      {"ro.txt", "read only"},
      {"hidden.txt", "hidden"}};
  for (const auto& file : files) Put(file.first, file.second);
  ASSERT_TRUE(CreateDirectories(_source + "sub\\empty"));
  ASSERT_TRUE(CreateDirectories(_source + "ro-folder"));
  SetAttributes("ro.txt", FILE_ATTRIBUTE_READONLY);
  SetAttributes("hidden.txt", FILE_ATTRIBUTE_HIDDEN);
  SetAttributes("ro-folder", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY);
  SYSTEMTIME known = {};
  known.wYear = 2023;
  known.wMonth = 4;
  known.wDay = 5;
  known.wHour = 6;
  known.wMinute = 7;
  known.wSecond = 9;
  ASSERT_TRUE(SetLocalWriteTime(_source + "a.txt", known));

  CZipIF zip;
  ASSERT_EQ(1, zip.ZipFolder(_source, _zip));
  ziptest::Archive archive;
  ASSERT_TRUE(ReadArchive(_zip, &archive));
  std::vector<std::string> expected = {"ro-folder\\", "sub\\empty\\"};
  for (const auto& file : files) expected.push_back(file.first);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(expected, Names(archive));

  const auto entries = ByName(archive);
  for (const auto& file : files) {
    SCOPED_TRACE(file.first);
    const ziptest::Entry& e = entries.at(file.first);
    EXPECT_TRUE(e.data == file.second);
    EXPECT_EQ(8u, e.method);
    EXPECT_EQ(20u, e.version_needed);
    EXPECT_EQ(0u, e.flags);
    EXPECT_EQ(0u, e.internal_attributes);
    EXPECT_EQ(GetFileAttributesA((_source + file.first).c_str()), e.external_attributes);
  }
  EXPECT_EQ(((2023 - 1980) << 9) | (4 << 5) | 5, entries.at("a.txt").dos_date);
  EXPECT_EQ((6 << 11) | (7 << 5) | 4, entries.at("a.txt").dos_time);
  // Only the read-only bit of a folder's own attributes goes in (Wine may
  // not keep it on folders).
  const DWORD folder_attributes = GetFileAttributesA((_source + "ro-folder").c_str());
  EXPECT_EQ((folder_attributes & FILE_ATTRIBUTE_READONLY) | FILE_ATTRIBUTE_DIRECTORY,
            entries.at("ro-folder\\").external_attributes);
  EXPECT_LT(entries.at("sub\\b.bin").compressed, entries.at("sub\\b.bin").uncompressed);
}

TEST_F(ZipFolderTest, EmptyFolderGivesAnEmptyArchive) {
  CZipIF zip;
  ASSERT_EQ(1, zip.ZipFolder(_source, _zip));
  ziptest::Archive archive;
  ASSERT_TRUE(ReadArchive(_zip, &archive));
  EXPECT_TRUE(archive.entries.empty());
  EXPECT_EQ(22u, ReadFileOrEmpty(_zip).size());
}

TEST_F(ZipFolderTest, CreatesTheTargetsFoldersAndTakesAJapanesePath) {
  Put("f.txt", "f");
  const std::string target = _base + "出力\\表ソ\\log.zip";
  CZipIF zip;
  ASSERT_EQ(1, zip.ZipFolder(_source, target));
  ziptest::Archive archive;
  ASSERT_TRUE(ReadArchive(target, &archive));
  EXPECT_EQ(std::vector<std::string>{"f.txt"}, Names(archive));
}

TEST_F(ZipFolderTest, ArchiveWrittenInsideTheFolderIsNotPackedIntoItself) {
  Put("log.txt", "line");
  Put("sub\\only.txt", "x");
  const std::string target = _source + "sub\\logs.zip";
  CZipIF zip;
  ASSERT_EQ(1, zip.ZipFolder(_source, target));
  ziptest::Archive archive;
  ASSERT_TRUE(ReadArchive(target, &archive));
  EXPECT_EQ((std::vector<std::string>{"log.txt", "sub\\only.txt"}), Names(archive));
}

TEST_F(ZipFolderTest, FilesStillBeingWrittenArePacked) {
  Put("live.log", "first line\r\n");
  // As a program keeps its log open: writing, sharing reads and writes.
  CFileHandle writer(CreateFileA((_source + "live.log").c_str(), GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                 nullptr));
  ASSERT_TRUE(writer);
  CZipIF zip;
  ASSERT_EQ(1, zip.ZipFolder(_source, _zip));
  ziptest::Archive archive;
  ASSERT_TRUE(ReadArchive(_zip, &archive));
  EXPECT_EQ("first line\r\n", ByName(archive).at("live.log").data);
}

TEST_F(ZipFolderTest, FileHeldExclusivelyFailsThePackingAndLeavesNoArchive) {
  Put("a.txt", "a");
  Put("held.txt", "h");
  CFileHandle holder(CreateFileA((_source + "held.txt").c_str(), GENERIC_READ, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder);
  CZipIF zip;
  EXPECT_EQ(0, zip.ZipFolder(_source, _zip));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), zip.LastError());
  EXPECT_FALSE(PathFileExists(_zip));
  const std::string held = _source + "held.txt";
  EXPECT_EQ(
      (std::vector<std::string>{
          FormatString("CZipIF::_ZipFileEx - CreateFile 失敗 PATH%s ERR:0x00000020", held.c_str()),
          FormatString("CZipIF::_ZipFolderEx - _ZipFileEx 失敗 PATH:%s ERR:0x00000020",
                       held.c_str()),
          FormatString("CZipIF::ZipFolder - _ZipFolderEx 失敗 PATH:%s ERR:0x00000020",
                       _source.c_str())}),
      _log.Errors());
}

TEST_F(ZipFolderTest, SourceThatIsNoFolderFailsFirst) {
  Put("file.txt", "x");
  CZipIF zip;
  EXPECT_EQ(0, zip.ZipFolder(_source + "file.txt", _zip));
  EXPECT_EQ(static_cast<DWORD>(ERROR_DIRECTORY), zip.LastError());
  EXPECT_EQ(0, zip.ZipFolder(_source + "missing", _zip));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), zip.LastError());
  EXPECT_FALSE(PathFileExists(_zip));
  const std::vector<std::string> errors = _log.Errors();
  ASSERT_EQ(2u, errors.size());
  EXPECT_EQ(FormatString("CZipIF::ZipFolder - PathIsDirectory 失敗 PATH:%sfile.txt ERR:0x0000010B",
                         _source.c_str()),
            errors[0]);
}

TEST_F(ZipFolderTest, TargetThatCannotBeCreatedFailsToOpen) {
  Put("a.txt", "a");
  ASSERT_TRUE(CreateDirectories(_base + "taken.zip"));
  CZipIF zip;
  EXPECT_EQ(0, zip.ZipFolder(_source, _base + "taken.zip"));
  EXPECT_NE(0u, zip.LastError());
  ASSERT_EQ(1u, _log.Errors().size());
  EXPECT_EQ(0u, _log.Errors()[0].find("CZipIF::ZipFolder - zipOpen 失敗 PATH:"));
  EXPECT_TRUE(PathIsDirectory(_base + "taken.zip"));
}

}  // namespace
