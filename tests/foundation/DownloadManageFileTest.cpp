// The download-management file: record layout, search, deletion of records
// (a damaged file left alone) and of local data, which never reaches outside
// the download folder.
#include "Folders.h"
#include "OstrovelleLite/DownloadManageFile.h"
#include "StringUtil.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// A record laid out by hand: major, minor, progress, flag, name, local path.
std::string RecordBytes(uint8_t major, uint8_t minor, const std::string& name,
                        const std::string& local_path, uint8_t progress = 100) {
  std::string r(304, '\0');
  r[0] = static_cast<char>(major);
  r[4] = static_cast<char>(minor);
  r[8] = static_cast<char>(progress);
  r[9] = 1;
  memcpy(&r[12], name.data(), name.size());
  memcpy(&r[44], local_path.data(), local_path.size());
  return r;
}

std::string LocalPath(uint8_t major, uint8_t minor, const std::string& name) {
  return FormatString(".\\%02x\\%02x\\%s\\DATA.CNF", major, minor, name.c_str());
}

class DownloadManageFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    _folder = _root.Root() + "Download\\";
    CreateDirectories(_folder);
  }
  std::string DlDat() const { return _folder + "DL.DAT"; }
  void WriteDlDat(const std::string& bytes) { ASSERT_TRUE(ovtest::WriteFileBytes(DlDat(), bytes)); }
  // A data set's local folder with its image and a piece.
  void MakeDataSet(uint8_t major, uint8_t minor, const std::string& name) {
    const std::string folder =
        _folder + FormatString("%02X\\%02X\\%s\\", major, minor, name.c_str());
    CreateDirectories(folder);
    ASSERT_TRUE(ovtest::WriteFileBytes(folder + "DATA.CNF", "image"));
    ASSERT_TRUE(ovtest::WriteFileBytes(folder + "PIECE.000", "piece"));
  }
  bool Exists(const std::string& relative) const {
    return PathFileExistsA((_folder + relative).c_str()) != FALSE;
  }

  ovtest::CScopedDataRoot _root;
  ovtest::CLogCapture _log;
  std::string _folder;
};

TEST_F(DownloadManageFileTest, RecordLayout) {
  DLManageRecord record;
  const std::string bytes = RecordBytes(0x30, 0x01, "2.000010", LocalPath(0x30, 1, "2.000010"), 55);
  memcpy(record.bytes, bytes.data(), bytes.size());
  EXPECT_EQ(0x30, record.Major());
  EXPECT_EQ(0x01, record.Minor());
  EXPECT_EQ(55, record.Progress());
  EXPECT_EQ(1, record.RebuildFlag());
  EXPECT_EQ("2.000010", record.Name());
  EXPECT_EQ(".\\30\\01\\2.000010\\DATA.CNF", record.LocalPath());
  EXPECT_EQ(_folder + "DL.DAT", GetDLManageFilePath(_folder.substr(0, _folder.size() - 1)));
  EXPECT_EQ(GetDownloadFolder() + "DL.DAT", CDownloadManageFile().GetPath());
}

TEST_F(DownloadManageFileTest, SearchFindsTheExactKey) {
  CDownloadManageFile file(_folder);
  EXPECT_EQ(CDownloadManageFile::kNoFile, file.Search(1, 2, "1.0"));
  WriteDlDat("");
  EXPECT_EQ(CDownloadManageFile::kNotFound, file.Search(1, 2, "1.0"));
  WriteDlDat(RecordBytes(1, 2, "1.00000A", "") + RecordBytes(1, 3, "1.00000a", "") +
             RecordBytes(1, 2, "1.00000a", LocalPath(1, 2, "1.00000a")));
  EXPECT_EQ(0, file.Search(1, 2, "1.00000A"));
  EXPECT_EQ(608, file.Search(1, 2, "1.00000a"));
  EXPECT_EQ(CDownloadManageFile::kNotFound, file.Search(2, 2, "1.00000a"));
  ASSERT_TRUE(file.GetDLManage(1, 2, "1.00000a"));
  EXPECT_EQ(LocalPath(1, 2, "1.00000a"), file.DLManageData().LocalPath());
  EXPECT_FALSE(file.GetDLManage(9, 9, "none"));
  EXPECT_TRUE(_log.Contains("CDownloadManageFile::Search - Start"));
  EXPECT_TRUE(_log.Contains("CDownloadManageFile::GetDLManage - End"));
}

TEST_F(DownloadManageFileTest, DelDLManageRemovesTheKeyInEveryCase) {
  const std::string other = RecordBytes(1, 3, "1.00000a", "");
  WriteDlDat(RecordBytes(1, 2, "1.00000A", "") + other + RecordBytes(1, 2, "1.00000a", ""));
  CDownloadManageFile file(_folder);
  EXPECT_TRUE(file.DelDLManage(1, 2, "1.00000a"));
  EXPECT_EQ(other, ovtest::ReadFileOrEmpty(DlDat()));
}

TEST_F(DownloadManageFileTest, DelDLManageLeavesADamagedFileAlone) {
  CDownloadManageFile file(_folder);
  EXPECT_FALSE(file.DelDLManage(1, 2, "x"));
  EXPECT_TRUE(_log.Contains(
      "CDownloadManageFile::DelDLManage - ダウンロード管理ファイルオープン失敗 ERR:0x00000002"));
  const std::string damaged = RecordBytes(1, 2, "x", "") + "!";
  WriteDlDat(damaged);
  EXPECT_FALSE(file.DelDLManage(1, 2, "x"));
  EXPECT_TRUE(_log.Contains(
      "CDownloadManageFile::DelDLManage - ダウンロード管理ファイルサイズ不正 SIZE:305"));
  EXPECT_EQ(damaged, ovtest::ReadFileOrEmpty(DlDat()));
}

TEST_F(DownloadManageFileTest, FailedRewriteIsAFailureAndKeepsTheFile) {
  const std::string bytes = RecordBytes(1, 2, "x", "") + RecordBytes(1, 2, "y", "");
  WriteDlDat(bytes);
  ASSERT_TRUE(CreateDirectoryA((DlDat() + ".new").c_str(), nullptr));
  CDownloadManageFile file(_folder);
  EXPECT_FALSE(file.DelDLManage(1, 2, "x"));
  EXPECT_TRUE(_log.Contains("ダウンロード管理ファイル書込み失敗 ERR:0x"));
  EXPECT_EQ(bytes, ovtest::ReadFileOrEmpty(DlDat()));
}

TEST_F(DownloadManageFileTest, DeleteLocalDataRemovesTheSetItsRecordAndEmptyCategories) {
  MakeDataSet(0x30, 0x01, "2.000010");
  MakeDataSet(0x30, 0x02, "2.000011");
  WriteDlDat(RecordBytes(0x30, 0x01, "2.000010", LocalPath(0x30, 1, "2.000010")) +
             RecordBytes(0x30, 0x02, "2.000011", LocalPath(0x30, 2, "2.000011")));
  CDownloadManageFile file(_folder);
  EXPECT_TRUE(file._DeleteLocalData(0x30, 0x01, "2.000010", _folder));
  EXPECT_FALSE(Exists("30\\01"));
  EXPECT_TRUE(Exists("30\\02\\2.000011\\DATA.CNF")) << "the other set stays, and so does 30";
  EXPECT_EQ(CDownloadManageFile::kNotFound, file.Search(0x30, 0x01, "2.000010"));
  EXPECT_TRUE(_log.Contains("CDownloadManageFile::_DeleteLocalData - Start[30][01][2.000010]"));
  EXPECT_TRUE(_log.Contains("CDownloadManageFile::_DeleteLocalData - End 成功"));

  EXPECT_TRUE(file._DeleteLocalData(0x30, 0x02, "2.000011", _folder));
  EXPECT_FALSE(Exists("30"));
  EXPECT_TRUE(_log.Contains("CDownloadManageFile::_DeleteLocalData - ディレクトリ削除：" + _folder +
                            "30\\"));
}

TEST_F(DownloadManageFileTest, DeleteLocalDataNeverLeavesTheCategory) {
  ovtest::CTempDir outside;
  ASSERT_TRUE(ovtest::WriteFileBytes(outside.File("precious.txt"), "keep me"));
  MakeDataSet(0x30, 0x01, "2.000010");
  const std::string climb = ".\\30\\01\\..\\..\\..\\..\\..\\..\\..\\..\\" +
                            outside.Path().substr(3);  // below the drive's root
  WriteDlDat(RecordBytes(0x30, 0x01, "evil", climb) + RecordBytes(0x30, 0x01, "empty", "") +
             RecordBytes(0x30, 0x01, "self", ".\\30\\01\\"));
  CDownloadManageFile file(_folder);
  EXPECT_FALSE(file._DeleteLocalData(0x30, 0x01, "evil", _folder));
  EXPECT_FALSE(file._DeleteLocalData(0x30, 0x01, "empty", _folder));
  EXPECT_FALSE(file._DeleteLocalData(0x30, 0x01, "self", _folder));
  EXPECT_FALSE(file._DeleteLocalData(0x30, 0x01, "..\\..", _folder));
  EXPECT_FALSE(file._DeleteLocalData(0x30, 0x01, "", _folder));
  EXPECT_FALSE(file._DeleteLocalData(0x30, 0x01, "x", ""));
  EXPECT_EQ("keep me", ovtest::ReadFileOrEmpty(outside.File("precious.txt")));
  EXPECT_TRUE(Exists("30\\01\\2.000010\\PIECE.000"));
  EXPECT_TRUE(_log.Contains("CDownloadManageFile::_DeleteLocalData - パラメータ異常"));
  // The bad records are dropped, so that deleting everything can finish.
  EXPECT_EQ(CDownloadManageFile::kNotFound, file.Search(0x30, 0x01, "evil"));
}

TEST_F(DownloadManageFileTest, DeleteLocalDataWithoutARecordDeletesTheNamedFolder) {
  MakeDataSet(0x30, 0x01, "2.000010");
  WriteDlDat("");
  CDownloadManageFile file(_folder);
  EXPECT_FALSE(file._DeleteLocalData(0x30, 0x01, "2.000010", _folder));
  EXPECT_FALSE(Exists("30\\01\\2.000010"));
  EXPECT_TRUE(_log.Contains("管理ファイルに非存のため、ディレクトリ削除 PATH:"));
}

TEST_F(DownloadManageFileTest, DeleteAllWithTheFile) {
  MakeDataSet(0x30, 0x01, "2.000010");
  MakeDataSet(0x10, 0x00, "1.000001");
  ASSERT_TRUE(ovtest::WriteFileBytes(_folder + "DL.LST", "list"));
  WriteDlDat(RecordBytes(0x30, 0x01, "2.000010", LocalPath(0x30, 1, "2.000010")) +
             RecordBytes(0x10, 0x00, "1.000001", LocalPath(0x10, 0, "1.000001")) +
             RecordBytes(0x10, 0x00, "1.000001", LocalPath(0x10, 0, "1.000001")));
  CDownloadManageFile file(_folder);
  EXPECT_TRUE(file._DeleteAllLocalData(_folder));
  EXPECT_FALSE(Exists("30"));
  EXPECT_FALSE(Exists("10"));
  EXPECT_FALSE(Exists("DL.DAT"));
  EXPECT_FALSE(Exists("DL.LST"));
  EXPECT_TRUE(_log.Contains("CDownloadManageFile::_DeleteAllLocalData - End(成功)"));
}

TEST_F(DownloadManageFileTest, DeleteAllWithoutTheFileTakesEveryCategoryFolder) {
  for (const char* folder : {"00", "0A", "FF", "ABC", "keep"}) {
    CreateDirectories(_folder + folder + "\\sub");
    ASSERT_TRUE(ovtest::WriteFileBytes(_folder + folder + "\\sub\\f.bin", "x"));
  }
  CDownloadManageFile file(_folder);
  EXPECT_TRUE(file._DeleteAllLocalData(_folder));
  EXPECT_FALSE(Exists("00"));
  EXPECT_FALSE(Exists("0A"));
  EXPECT_FALSE(Exists("FF"));
  EXPECT_TRUE(Exists("ABC\\sub\\f.bin"));
  EXPECT_TRUE(Exists("keep\\sub\\f.bin"));
  EXPECT_TRUE(_log.Contains("ダウンロード管理ファイルが存在しないため、大項目フォルダごと削除"));
}

TEST(CanonicalizeLocalPath, Table) {
  struct Case {
    const char* in;
    const char* out;
  };
  for (const Case& c :
       {Case{"", ""}, Case{"a/b/./c/../d", "a\\b\\d"},
        Case{".\\01\\02\\x\\A.CNF", "01\\02\\x\\A.CNF"}, Case{"C:\\dl\\..\\..\\..\\y", "C:\\y"},
        Case{"C:\\dl\\", "C:\\dl\\"}, Case{"\\\\srv\\share\\..\\..\\x", "\\\\srv\\share\\x"},
        Case{"表\\..\\x", "x"}, Case{"ソ\\a\\.", "ソ\\a"}}) {
    EXPECT_EQ(c.out, CanonicalizeLocalPath(c.in)) << c.in;
  }
  EXPECT_TRUE(IsPathInsideFolder("C:\\dl\\30\\01\\x", "C:\\DL\\30\\01\\"));
  EXPECT_FALSE(IsPathInsideFolder("C:\\dl\\30\\01", "C:\\dl\\30\\01\\"));
  EXPECT_FALSE(IsPathInsideFolder("C:\\dl\\30\\010", "C:\\dl\\30\\01"));
}

}  // namespace
