// The user list: the line format, round trips (commas, quotes and long
// texts included), data folders made from nicknames, the last-used mark and
// damaged lines that must not cost other users or be dropped on saving.
#include <gtest/gtest.h>

#include <vector>

#include "Folders.h"
#include "OstrovelleLite/UserListFile.h"
#include "StringUtil.h"
#include "TestSupport.h"

namespace {

class UserListFileTest : public ::testing::Test {
 protected:
  std::string Data(const std::string& name) const { return GetDataFolder() + name; }

  // The file's lines decoded back to their plain text.
  std::vector<std::string> PlainLines() const {
    std::vector<std::string> plain;
    for (const std::string& line :
         SplitString(ovtest::ReadFileOrEmpty(CUserListFile().GetPath()), "\r\n")) {
      std::string out(line.size() / 4 + 1, '\0');
      size_t size = out.size();
      if (!HexDecodeText(line.c_str(), &out[0], &size, true)) {
        plain.push_back("<undecodable>" + line);
        continue;
      }
      plain.push_back(out.c_str());
    }
    return plain;
  }

  int LastUsedCount() const {
    int count = 0;
    CUserListFile list;
    list.Load();
    for (const auto& user : list.Users()) count += user.second.last_used;
    return count;
  }

  ovtest::CScopedDataRoot _root;
  ovtest::CLogCapture _log;
};

TEST_F(UserListFileTest, LineFormatAndRoundTrip) {
  CUserListFile list;
  EXPECT_TRUE(list.Load());
  EXPECT_TRUE(_log.Contains("UserList.infoファイルが存在しない:"));
  ASSERT_TRUE(list.Save("DIRU0001", "太郎", 0x1A, "abc", 5));
  ASSERT_EQ(1u, PlainLines().size());
  EXPECT_EQ("DIRU0001,太郎," + Data("太郎") + ",abc,1,1A,5", PlainLines()[0]);
  EXPECT_TRUE(PathIsDirectory(Data("太郎")));
  EXPECT_TRUE(GetFileAttributesA(list.GetPath().c_str()) & FILE_ATTRIBUTE_HIDDEN);

  CUserListFile again;
  std::string nickname, folder, text;
  int number = 0;
  ASSERT_TRUE(again.GetUser("DIRU0001", &nickname, &folder, &text, &number));
  EXPECT_EQ("太郎", nickname);
  EXPECT_EQ(Data("太郎"), folder);
  EXPECT_EQ("abc", text);
  EXPECT_EQ(0x1A, number);
  EXPECT_FALSE(again.GetUser("DIRU0001", &nickname, nullptr, &text));
  EXPECT_FALSE(again.GetUser("NOBODY", &nickname, &folder, &text));
}

TEST_F(UserListFileTest, CommasQuotesAndLongValuesSurviveTheFile) {
  const std::string nickname = "a,\"b\" c";
  const std::string text = std::string(600, 'x') + ",\"" + "表,ソ";
  CUserListFile list;
  ASSERT_TRUE(list.Save("DIRU,1", nickname.c_str(), 1, text.c_str(), 2));
  CUserListFile again;
  std::string got_nickname, folder, got_text;
  ASSERT_TRUE(again.GetUser("DIRU,1", &got_nickname, &folder, &got_text));
  EXPECT_EQ(nickname, got_nickname);
  EXPECT_EQ(text, got_text);
  EXPECT_EQ(Data("ab c"), folder);
}

TEST_F(UserListFileTest, DataFoldersFromNicknames) {
  struct Case {
    const char* nickname;
    const char* folder;
  };
  for (const Case& c : {Case{"表ソ", "表ソ"}, Case{"ポ|ー", "ポー"}, Case{"a/b\\c:d", "abcd"},
                        Case{"name. ", "name"}, Case{"..", ""}, Case{"\\/:*?\"<>|,", ""},
                        Case{"con", ""}, Case{"LPT1.txt", ""}, Case{"COM10", "COM10"}}) {
    EXPECT_EQ(c.folder, CUserListFile::FolderNameFromNickname(c.nickname)) << c.nickname;
  }
}

TEST_F(UserListFileTest, NicknameWithNothingUsableGetsANumberedFolder) {
  CUserListFile list;
  ASSERT_TRUE(list.Save("DIRU0001", "first", 0, nullptr, 0));
  ASSERT_TRUE(list.Save("DIRU0002", "..", 0, nullptr, 0));
  ASSERT_TRUE(list.Save("DIRU0003", "*?", 0, nullptr, 0));
  std::string nickname, folder, text;
  ASSERT_TRUE(list.GetUser("DIRU0002", &nickname, &folder, &text));
  EXPECT_EQ(Data("USER1"), folder);
  ASSERT_TRUE(list.GetUser("DIRU0003", &nickname, &folder, &text));
  EXPECT_EQ(Data("USER2"), folder);
  EXPECT_TRUE(_log.Contains("ニックネームからデータパスを設定できなかった:..."));
}

TEST_F(UserListFileTest, SameFolderForTwoNicknamesIsMadeUnique) {
  CUserListFile list;
  ASSERT_TRUE(list.Save("DIRU0001", "Ken?", 0, nullptr, 0));
  ASSERT_TRUE(list.Save("DIRU0002", "ken*", 0, nullptr, 0));
  std::string nickname, first, second, text;
  ASSERT_TRUE(list.GetUser("DIRU0001", &nickname, &first, &text));
  ASSERT_TRUE(list.GetUser("DIRU0002", &nickname, &second, &text));
  EXPECT_EQ(Data("Ken"), first);
  EXPECT_EQ(Data("ken1"), second) << "folders differing only in case are one folder";
  EXPECT_TRUE(_log.Contains("データパスが重複した(変更パス), " + Data("ken1") + "."));
}

TEST_F(UserListFileTest, SecondUnitUnderAKnownNicknameReplacesTheFirst) {
  CUserListFile list;
  ASSERT_TRUE(list.Save("DIRU0001", "Hanako", 0, nullptr, 0));
  ASSERT_TRUE(list.Save("DIRU0002", "Other", 0, nullptr, 0));
  ASSERT_TRUE(list.Save("DIRU0003", "Hanako", 0, nullptr, 0));
  CUserListFile again;
  EXPECT_FALSE(again.Exists("DIRU0001"));
  EXPECT_TRUE(again.Exists("DIRU0002"));
  EXPECT_TRUE(again.Exists("DIRU0003"));
  EXPECT_FALSE(list.Save("DIRU0004", "", 0, nullptr, 0));
  EXPECT_FALSE(list.Save("DIRU0004", nullptr, 0, nullptr, 0));
  EXPECT_FALSE(list.Save("", "x", 0, nullptr, 0));
}

TEST_F(UserListFileTest, UpdatesKeepWhatIsNotGivenAndMarkOneLastUser) {
  CUserListFile list;
  ASSERT_TRUE(list.Save("DIRU0001", "A", 7, "first", 8));
  ASSERT_TRUE(list.Save("DIRU0002", "B", 0, nullptr, 0));
  EXPECT_EQ(1, LastUsedCount());
  ASSERT_TRUE(list.SetUserText("DIRU0001", "second"));
  ASSERT_TRUE(list.SetUserNumber2("DIRU0001", 9));
  EXPECT_EQ(1, LastUsedCount());

  CUserListFile again;
  std::string device, nickname, text;
  int number = 0, number2 = 0;
  ASSERT_TRUE(again.GetLastUser(&device, &nickname, &text, &number, &number2));
  EXPECT_EQ("DIRU0001", device);
  EXPECT_EQ("A", nickname);
  EXPECT_EQ("second", text);
  EXPECT_EQ(7, number);
  EXPECT_EQ(9, number2);

  // A new nickname gives a new folder.
  ASSERT_TRUE(again.Save("DIRU0001", "Renamed", 0, nullptr, 0));
  std::string folder;
  ASSERT_TRUE(again.GetUser("DIRU0001", &nickname, &folder, &text));
  EXPECT_EQ(Data("Renamed"), folder);
  EXPECT_TRUE(PathIsDirectory(folder));
}

TEST_F(UserListFileTest, DamagedLinesCostOnlyThemselvesAndAreKept) {
  const std::string good1 = CUserListFile::EncodeLine({"DIRU0001", "A", Data("A"), "", 0, 1, 2});
  const std::string good2 = CUserListFile::EncodeLine({"DIRU0002", "B", Data("B"), "", 1, 3, 4});
  const std::string not_hex(16, 'Z');
  ASSERT_TRUE(ovtest::WriteFileBytes(CUserListFile().GetPath(),
                                     good1 + "\r\nABCDE\r\n" + not_hex + "\n" + good2 + "\n"));
  CUserListFile list;
  EXPECT_TRUE(list.Load());
  EXPECT_EQ(2u, list.Users().size());
  EXPECT_TRUE(_log.Contains("複合化時の不正な行:ABCDE"));

  ASSERT_TRUE(list.Save("DIRU0003", "C", 0, nullptr, 0));
  const std::string after = ovtest::ReadFileOrEmpty(list.GetPath());
  EXPECT_NE(std::string::npos, after.find("\r\nABCDE\r\n"));
  EXPECT_NE(std::string::npos, after.find(not_hex));
  CUserListFile again;
  again.Load();
  EXPECT_EQ(3u, again.Users().size());
}

TEST_F(UserListFileTest, DeleteUser) {
  CUserListFile list;
  EXPECT_FALSE(list.DeleteUser("DIRU0001"));
  EXPECT_TRUE(_log.Contains("ユーザー情報削除失敗：ユーザー情報なし"));
  EXPECT_TRUE(_log.Contains("\tDeviceNo : DIRU0001"));
  ASSERT_TRUE(list.Save("DIRU0001", "A", 0, nullptr, 0));
  ASSERT_TRUE(list.Save("DIRU0002", "B", 0, nullptr, 0));
  EXPECT_TRUE(list.DeleteUser("DIRU0001"));
  CUserListFile again;
  EXPECT_FALSE(again.Exists("DIRU0001"));
  EXPECT_TRUE(again.Exists("DIRU0002"));
}

TEST_F(UserListFileTest, FailedWriteKeepsTheOldFile) {
  CUserListFile list;
  ASSERT_TRUE(list.Save("DIRU0001", "A", 0, nullptr, 0));
  const std::string before = ovtest::ReadFileOrEmpty(list.GetPath());
  ASSERT_TRUE(CreateDirectoryA((list.GetPath() + ".new").c_str(), nullptr));
  EXPECT_FALSE(list.Save("DIRU0002", "B", 0, nullptr, 0));
  EXPECT_TRUE(_log.Contains("UserList.infoファイルオープン失敗(ERR:0x"));
  EXPECT_EQ(before, ovtest::ReadFileOrEmpty(list.GetPath()));
}

}  // namespace

namespace {

TEST_F(UserListFileTest, ARegisteredUnitComesBackAsTheLastUser) {
  CUserListFile list;
  EXPECT_FALSE(list.AddUser("DIRU0001", "", 0x12345678u, "UA/1.0", 3));
  EXPECT_FALSE(list.Exists("DIRU0001"));
  ASSERT_TRUE(list.AddUser("DIRU0001", "太郎", 0x12345678u, "UA/1.0 (unit)", 3));
  ASSERT_TRUE(list.AddUser("DIRU0002", "花子", 0xFEDCBA98u, "UA/2.0", 7));

  CUserListFile again;
  std::string device, agent;
  uint32_t ccid = 0;
  int unit = 0;
  ASSERT_TRUE(again.GetLastUser(&device, &ccid, &agent, &unit));
  EXPECT_EQ("DIRU0002", device);
  EXPECT_EQ(0xFEDCBA98u, ccid);  // the full 32 bits, whatever the sign of the stored number
  EXPECT_EQ("UA/2.0", agent);
  EXPECT_EQ(7, unit);
  std::string nickname, folder, text;
  ASSERT_TRUE(again.GetUser("DIRU0001", &nickname, &folder, &text));
  EXPECT_EQ("太郎", nickname);
  EXPECT_EQ(GetDataFolder() + "太郎", folder);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES == GetFileAttributesA(folder.c_str()), false);
}

TEST_F(UserListFileTest, NoLastUserInAnEmptyList) {
  CUserListFile list;
  std::string device = "unchanged";
  uint32_t ccid = 9;
  EXPECT_FALSE(list.GetLastUser(&device, &ccid, nullptr, nullptr));
  EXPECT_EQ("unchanged", device);
  EXPECT_EQ(9u, ccid);
}

}  // namespace
