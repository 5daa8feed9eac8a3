// The users registered on this PC, one per navigation unit (told apart by
// the unit's device number): nickname, data folder of their own, a text
// value, the last-used mark and two numbers. Kept in the hidden file
// "UserList.info" in the "Data" folder as hex-encoded comma-separated lines.
// One object serves one thread; programs share the file without a lock and
// a writer rewrites it whole (through a temporary file).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct UserListRecord {
  std::string device_no;
  std::string nickname;
  std::string data_folder;
  std::string text;
  int last_used = 0;
  int number = 0;
  int number2 = 0;
};

class CUserListFile {
 public:
  CUserListFile();
  virtual ~CUserListFile() = default;
  CUserListFile(const CUserListFile&) = default;
  CUserListFile& operator=(const CUserListFile&) = default;

  const std::string& GetPath() const { return _path; }

  bool Load();
  bool Exists(const std::string& device_no);
  bool GetUser(const std::string& device_no, std::string* nickname, std::string* data_folder,
               std::string* text, int* number = nullptr);
  bool GetLastUser(std::string* device_no = nullptr, std::string* nickname = nullptr,
                   std::string* text = nullptr, int* number = nullptr, int* number2 = nullptr);
  // The registration's view of a user: the unit's CCID is kept as the
  // second number, the unit's user-agent text as the text value and the
  // unit value as the first number.
  bool GetLastUser(std::string* device_no, uint32_t* ccid, std::string* user_agent,
                   int* unit_value);
  // Registers a unit's user (a new data folder from the nickname, which must
  // not be empty), marks it the last used and rewrites the file.
  bool AddUser(const std::string& device_no, const std::string& nickname, uint32_t ccid,
               const std::string& user_agent, int unit_value);
  // Adds or updates a user, marks it the last used and rewrites the file. A
  // null nickname or text, and a number of 0, leave the stored value.
  bool Save(const std::string& device_no, const char* nickname, int number, const char* text,
            int number2);
  bool SetUserText(const std::string& device_no, const char* text);
  bool SetUserNumber(const std::string& device_no, int number);
  bool SetUserNumber2(const std::string& device_no, int number2);
  bool DeleteUser(const std::string& device_no);
  bool Write();

  const std::map<std::string, UserListRecord>& Users() const { return _users; }

  // The file's line form of a record (without the line end), and back.
  static std::string EncodeLine(const UserListRecord& record);
  static bool DecodeLine(const std::string& line, UserListRecord* record);
  // The nickname with what a folder name cannot hold taken out; empty when
  // nothing usable is left.
  static std::string FolderNameFromNickname(const std::string& nickname);

 protected:
  bool LoadIfEmpty();
  std::string MakeDataFolder(const char* nickname) const;

  std::string _path;
  std::map<std::string, UserListRecord> _users;
  // Lines that did not decode: kept and written back, so that a damaged or
  // foreign line is never dropped for good by the next save.
  std::vector<std::string> _unreadable;
};
