// The user list; see UserListFile.h.
#include "OstrovelleLite/UserListFile.h"

#include <cstdlib>
#include <cstring>

#include "Folders.h"
#include "Log.h"
#include "OstrovelleLite/WholeFile.h"
#include "OvWindows.h"
#include "StringUtil.h"
#include "xString.h"

namespace {

constexpr char kFileName[] = "UserList.info";
constexpr size_t kMaxFileSize = 16 * 1024 * 1024;
constexpr int kFieldCount = 7;
// The line encoding's nibble swap: the file is not meant to be read as text.
constexpr bool kSwapNibbles = true;

// A field as the quote-aware splitter reads it back: quoted only when it
// holds a comma or a quote.
std::string QuoteField(const std::string& field) {
  bool needs = false;
  for (size_t i = 0; i < field.size() && !needs; ++i) {
    if (IsCp932LeadByte(static_cast<unsigned char>(field[i]))) {
      ++i;
    } else if (field[i] == ',' || field[i] == '"') {
      needs = true;
    }
  }
  if (!needs) return field;
  std::string quoted = "\"";
  for (size_t i = 0; i < field.size(); ++i) {
    const char c = field[i];
    quoted += c;
    if (IsCp932LeadByte(static_cast<unsigned char>(c)) && i + 1 < field.size()) {
      quoted += field[++i];
    } else if (c == '"') {
      quoted += '"';
    }
  }
  return quoted + "\"";
}

bool IsReservedDeviceName(const std::string& name) {
  std::string base = ToUpper(name.substr(0, name.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  static const char* const kNames[] = {"CON", "PRN", "AUX", "NUL"};
  for (const char* reserved : kNames) {
    if (base == reserved) return true;
  }
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

bool SameFolder(const std::string& a, const std::string& b) {
  return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) ==
         CSTR_EQUAL;
}

}  // namespace

CUserListFile::CUserListFile() : _path(GetDataFolder() + kFileName) {}

std::string CUserListFile::EncodeLine(const UserListRecord& r) {
  const std::string plain =
      QuoteField(r.device_no) + "," + QuoteField(r.nickname) + "," + QuoteField(r.data_folder) +
      "," + QuoteField(r.text) + "," +
      FormatString("%d,%X,%d", r.last_used, static_cast<unsigned>(r.number), r.number2);
  std::string encoded(plain.size() * 4 + 1, '\0');
  size_t size = encoded.size();
  if (!HexEncodeText(plain.c_str(), &encoded[0], &size, kSwapNibbles)) return std::string();
  encoded.resize(plain.size() * 4);
  return encoded;
}

bool CUserListFile::DecodeLine(const std::string& line, UserListRecord* record) {
  if (line.empty() || line.size() % 4 != 0) return false;
  std::string plain(line.size() / 4 + 1, '\0');
  size_t size = plain.size();
  if (!HexDecodeText(line.c_str(), &plain[0], &size, kSwapNibbles)) return false;
  plain.resize(strlen(plain.c_str()));
  if (CountFields(plain, ',') != kFieldCount) return false;
  std::string fields[kFieldCount];
  for (int i = 0; i < kFieldCount; ++i) SplitQuotedField(plain, i, ',', &fields[i]);
  if (fields[0].empty()) return false;
  record->device_no = fields[0];
  record->nickname = fields[1];
  record->data_folder = fields[2];
  record->text = fields[3];
  record->last_used = atoi(fields[4].c_str());
  record->number = static_cast<int>(strtoul(fields[5].c_str(), nullptr, 16));
  record->number2 = atoi(fields[6].c_str());
  return true;
}

bool CUserListFile::Load() {
  GetDataFolder();  // created when missing
  if (!PathFileExists(_path)) {
    OV_LOG(kLogInfo, "UserList.infoファイルが存在しない:%s.", _path.c_str());
    return true;
  }
  std::string bytes;
  DWORD error = 0;
  const int result = ReadWholeFile(_path, kMaxFileSize, &bytes, &error);
  if (result == kWholeFileNotOpened) {
    OV_LOG(kLogError, "UserList.infoファイルオープン失敗(ERR:0x%X).%s",
           static_cast<unsigned>(error), _path.c_str());
    return false;
  }
  if (result == kWholeFileTooLarge) {
    OV_LOG(kLogError, "UserList.infoファイル読み込み用バッファ確保失敗(ERR:0x%X).サイズ:%d",
           static_cast<unsigned>(error), static_cast<int>(kMaxFileSize));
    return false;
  }
  if (result != kWholeFileRead) {
    OV_LOG(kLogError, "UserList.infoファイル読み込み失敗(ERR:0x%X).サイズ:%d",
           static_cast<unsigned>(error), static_cast<int>(bytes.size()));
    return false;
  }
  _users.clear();
  _unreadable.clear();
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    start = end + 1;
    if (line.empty()) continue;
    UserListRecord record;
    if (line.size() % 4 != 0 || !DecodeLine(line, &record)) {
      OV_LOG(kLogError, "複合化時の不正な行:%s", line.c_str());
      _unreadable.push_back(line);
      continue;
    }
    _users[record.device_no] = record;
  }
  return true;
}

bool CUserListFile::LoadIfEmpty() { return !_users.empty() || Load(); }

bool CUserListFile::Exists(const std::string& device_no) {
  LoadIfEmpty();
  return _users.count(device_no) != 0;
}

bool CUserListFile::GetUser(const std::string& device_no, std::string* nickname,
                            std::string* data_folder, std::string* text, int* number) {
  LoadIfEmpty();
  if (!nickname || !data_folder || !text) return false;
  const auto it = _users.find(device_no);
  if (it == _users.end()) return false;
  *nickname = it->second.nickname;
  *data_folder = it->second.data_folder;
  *text = it->second.text;
  if (number) *number = it->second.number;
  return true;
}

bool CUserListFile::GetLastUser(std::string* device_no, std::string* nickname, std::string* text,
                                int* number, int* number2) {
  LoadIfEmpty();
  for (const auto& entry : _users) {
    const UserListRecord& r = entry.second;
    if (!r.last_used) continue;
    if (device_no) *device_no = r.device_no;
    if (nickname) *nickname = r.nickname;
    if (text) *text = r.text;
    if (number) *number = r.number;
    if (number2) *number2 = r.number2;
    return true;
  }
  return false;
}

bool CUserListFile::GetLastUser(std::string* device_no, uint32_t* ccid, std::string* user_agent,
                                int* unit_value) {
  int ccid_number = 0;
  if (!GetLastUser(device_no, nullptr, user_agent, unit_value, &ccid_number)) return false;
  if (ccid) *ccid = static_cast<uint32_t>(ccid_number);
  return true;
}

bool CUserListFile::AddUser(const std::string& device_no, const std::string& nickname,
                            uint32_t ccid, const std::string& user_agent, int unit_value) {
  if (nickname.empty()) return false;
  return Save(device_no, nickname.c_str(), unit_value, user_agent.c_str(), static_cast<int>(ccid));
}

std::string CUserListFile::FolderNameFromNickname(const std::string& nickname) {
  static const char kForbidden[] = "\\/:*?\"<>|,";
  std::string name;
  for (size_t i = 0; i < nickname.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(nickname[i]);
    // A two-byte character stays whole, whatever its second byte is.
    if (IsCp932LeadByte(c) && i + 1 < nickname.size()) {
      name += nickname[i];
      name += nickname[++i];
      continue;
    }
    if (c < 0x20 || strchr(kForbidden, c)) continue;
    name += static_cast<char>(c);
  }
  // The platform drops trailing blanks and dots, and a name of dots alone
  // is the folder itself or its parent.
  while (!name.empty() && name.front() == ' ') name.erase(0, 1);
  while (!name.empty() && (name.back() == ' ' || name.back() == '.')) name.pop_back();
  if (IsReservedDeviceName(name)) return std::string();
  return name;
}

std::string CUserListFile::MakeDataFolder(const char* nickname) const {
  if (!nickname) {
    OV_LOG(kLogError, "ニックネームが不正.");
    return std::string();
  }
  std::string name = FolderNameFromNickname(nickname);
  if (name.empty()) {
    OV_LOG(kLogError, "ニックネームからデータパスを設定できなかった:%s.", nickname);
    name = FormatString("USER%d", static_cast<int>(_users.size()));
  }
  std::string folder = GetDataFolder() + name;
  // Repeat until no other user has the folder: an appended number may meet
  // a folder that was already checked.
  for (bool clash = true; clash;) {
    clash = false;
    for (const auto& entry : _users) {
      if (!SameFolder(entry.second.data_folder, folder)) continue;
      OV_LOG(kLogInfo, "データパスが重複した:%s, %s.", entry.second.device_no.c_str(),
             folder.c_str());
      folder += FormatString("%d", static_cast<int>(_users.size()));
      OV_LOG(kLogInfo, "データパスが重複した(変更パス), %s.", folder.c_str());
      clash = true;
    }
  }
  return folder;
}

bool CUserListFile::Save(const std::string& device_no, const char* nickname, int number,
                         const char* text, int number2) {
  LoadIfEmpty();
  if (device_no.empty()) return false;
  auto it = _users.find(device_no);
  if (it == _users.end()) {
    if (!nickname || !nickname[0]) return false;
    for (auto other = _users.begin(); other != _users.end();) {
      other = other->second.nickname == nickname ? _users.erase(other) : std::next(other);
    }
    UserListRecord record;
    record.device_no = device_no;
    record.nickname = nickname;
    record.text = text ? text : "";
    record.number = number;
    record.number2 = number2;
    record.data_folder = MakeDataFolder(nickname);
    CreateDirectories(record.data_folder);
    it = _users.emplace(device_no, record).first;
  } else {
    UserListRecord& record = it->second;
    const bool renamed = nickname && nickname[0] && record.nickname != nickname;
    if (nickname && nickname[0]) record.nickname = nickname;
    if (text) record.text = text;
    if (number) record.number = number;
    if (number2) record.number2 = number2;
    if (renamed || record.data_folder.empty()) {
      record.data_folder.clear();
      record.data_folder = MakeDataFolder(record.nickname.c_str());
      CreateDirectories(record.data_folder);
    }
  }
  for (auto& entry : _users) entry.second.last_used = entry.first == device_no ? 1 : 0;
  return Write();
}

bool CUserListFile::SetUserText(const std::string& device_no, const char* text) {
  return Save(device_no, nullptr, 0, text, 0);
}

bool CUserListFile::SetUserNumber(const std::string& device_no, int number) {
  return Save(device_no, nullptr, number, nullptr, 0);
}

bool CUserListFile::SetUserNumber2(const std::string& device_no, int number2) {
  return Save(device_no, nullptr, 0, nullptr, number2);
}

bool CUserListFile::DeleteUser(const std::string& device_no) {
  LoadIfEmpty();
  if (_users.erase(device_no) == 0) {
    OV_LOG(kLogError, "ユーザー情報削除失敗：ユーザー情報なし");
    OV_LOG(kLogError, "\tDeviceNo : %s", device_no.c_str());
    return false;
  }
  return Write();
}

bool CUserListFile::Write() {
  CReplaceFileWriter writer(_path, FILE_ATTRIBUTE_HIDDEN);
  if (!writer.Open()) {
    OV_LOG(kLogError, "UserList.infoファイルオープン失敗(ERR:0x%X).%s",
           static_cast<unsigned>(writer.Error()), _path.c_str());
    return false;
  }
  std::vector<std::string> lines;
  for (const auto& entry : _users) lines.push_back(EncodeLine(entry.second));
  lines.insert(lines.end(), _unreadable.begin(), _unreadable.end());
  for (const std::string& line : lines) {
    if (!writer.Write(line)) {
      OV_LOG(kLogError, "UserList.info 書込み失敗(ERR:%d)", static_cast<int>(writer.Error()));
      return false;
    }
    if (!writer.Write("\r\n", 2)) {
      OV_LOG(kLogError, "UserList.info 改行書込み失敗(ERR:%d)", static_cast<int>(writer.Error()));
      return false;
    }
  }
  if (!writer.Commit()) {
    OV_LOG(kLogError, "UserList.info 書込み失敗(ERR:%d)", static_cast<int>(writer.Error()));
    return false;
  }
  return true;
}
