// Settings; see OstrovelleConfig.h.
#include "OstrovelleLite/OstrovelleConfig.h"

#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "Folders.h"
#include "Log.h"
#include "OstrovelleLite/WholeFile.h"
#include "StringUtil.h"

namespace {

constexpr char kIniName[] = "OstrovelleEV.ini";
constexpr char kMusicName[] = "OstrovelleEV_Music.Dat";
constexpr char kSetting[] = "Setting";
constexpr char kMap[] = "Map";
constexpr char kMusic[] = "Music";
// A default no ini file holds, to tell an absent key from an empty one.
constexpr char kAbsent[] = "\x01\x02\x03";
constexpr size_t kTextRoom = 1024;
constexpr size_t kMaxMusicFile = 1024 * 1024;
constexpr wchar_t kMusicKey[] = L"MusicFolderW=";
constexpr wchar_t kRecentKey[] = L"ManualRecentFolderW=";
constexpr wchar_t kSeparator[] = L"||";

// Optional blanks, an optional sign and decimal digits, optional blanks.
bool ParseDecimal(const std::string& text, int* value) {
  const std::string trimmed = TrimString(text);
  size_t i = (!trimmed.empty() && (trimmed[0] == '-' || trimmed[0] == '+')) ? 1 : 0;
  if (i >= trimmed.size()) return false;
  for (size_t k = i; k < trimmed.size(); ++k) {
    if (trimmed[k] < '0' || trimmed[k] > '9') return false;
  }
  if (trimmed.size() - i > 10) return false;
  const long long v = strtoll(trimmed.c_str(), nullptr, 10);
  if (v < -2147483647LL - 1 || v > 2147483647LL) return false;
  *value = static_cast<int>(v);
  return true;
}

std::string Decimal(int value) { return FormatString("%d", value); }

std::wstring MyMusicFolder() {
  wchar_t buffer[MAX_PATH + 1] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_MYMUSIC, nullptr, SHGFP_TYPE_CURRENT, buffer))) {
    return std::wstring();
  }
  return buffer;
}

DWORD LastErrorOr(DWORD fallback) {
  const DWORD error = GetLastError();
  return error ? error : fallback;
}

}  // namespace

COstrovelleConfig::COstrovelleConfig() {
  const std::string folder = GetSettingFolder();
  _ini_path = folder + kIniName;
  _music_path = ToWide(folder + kMusicName);
}

std::string COstrovelleConfig::FormatDate(const SYSTEMTIME& d) {
  return FormatString("%04d%02d%02d%02d%02d%02d", d.wYear, d.wMonth, d.wDay, d.wHour, d.wMinute,
                      d.wSecond);
}

bool COstrovelleConfig::ParseDate(const std::string& text, SYSTEMTIME* date) {
  if (text.size() != 14) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  const auto field = [&text](size_t at, size_t width) {
    return static_cast<WORD>(atoi(text.substr(at, width).c_str()));
  };
  SYSTEMTIME d = {};
  d.wYear = field(0, 4);
  d.wMonth = field(4, 2);
  d.wDay = field(6, 2);
  d.wHour = field(8, 2);
  d.wMinute = field(10, 2);
  d.wSecond = field(12, 2);
  *date = d;
  return true;
}

// ---- reading and writing keys ----

bool COstrovelleConfig::ReadText(const char* section, const char* key, std::string* text,
                                 DWORD* error) const {
  char buffer[kTextRoom] = {};
  SetLastError(0);
  const DWORD n =
      GetPrivateProfileStringA(section, key, kAbsent, buffer, sizeof(buffer), _ini_path.c_str());
  if (strcmp(buffer, kAbsent) == 0) {
    *error = LastErrorOr(ERROR_FILE_NOT_FOUND);
    return false;
  }
  text->assign(buffer, n);
  return true;
}

bool COstrovelleConfig::WriteKey(const char* section, const char* key,
                                 const std::string& value) const {
  if (WritePrivateProfileStringA(section, key, value.c_str(), _ini_path.c_str())) return true;
  const DWORD error = LastErrorOr(ERROR_WRITE_FAULT);
  OV_LOG(kLogError, "設定ファイルへの保存失敗 (%s=%s) [%08x]", key, value.c_str(),
         static_cast<unsigned>(error));
  SetLastError(error);
  return false;
}

bool COstrovelleConfig::LoadRangedInt(const char* key, const char* loader, int* member,
                                      unsigned low, unsigned high) {
  std::string text;
  DWORD error = 0;
  if (!ReadText(kMusic, key, &text, &error)) {
    OV_LOG(kLogError, "COstrovelleConfig::%s - error[%08X]", loader, static_cast<unsigned>(error));
    return true;
  }
  int value = 0;
  if (!ParseDecimal(text, &value)) {
    OV_LOG(kLogError, "COstrovelleConfig::%s - Invalid format[%s]", loader, text.c_str());
    return false;
  }
  // Unsigned, so that a negative value is out of range too.
  if (static_cast<unsigned>(value) < low || static_cast<unsigned>(value) > high) {
    OV_LOG(kLogError, "COstrovelleConfig::%s - Invalid data[%d]", loader, value);
    return false;
  }
  *member = value;
  return true;
}

bool COstrovelleConfig::LoadPlainInt(const char* section, const char* key, int absent,
                                     int* member) {
  *member = static_cast<int>(GetPrivateProfileIntA(section, key, absent, _ini_path.c_str()));
  return true;
}

bool COstrovelleConfig::LoadDate(const char* section, const char* key, const char* loader,
                                 SYSTEMTIME* member) {
  std::string text;
  DWORD error = 0;
  if (!ReadText(section, key, &text, &error) || text.empty()) {
    *member = SYSTEMTIME{};
    return true;
  }
  if (!ParseDate(text, member)) {
    OV_LOG(kLogError, "COstrovelleConfig::%s - Invalid format[%s]", loader, text.c_str());
    return false;
  }
  return true;
}

bool COstrovelleConfig::LoadText(const char* section, const char* key, const char* loader,
                                 std::string* member) {
  std::string text;
  DWORD error = 0;
  if (!ReadText(section, key, &text, &error)) {
    OV_LOG(kLogError, "COstrovelleConfig::%s - error[%08X]", loader, static_cast<unsigned>(error));
    return true;
  }
  *member = text;
  return true;
}

// ---- [Setting] ----

bool COstrovelleConfig::InitSetting(bool save) {
  _launcher_auto_update = 1;
  _notifies_later = 0;
  _final_confirmation_date = SYSTEMTIME{};
  _download_folder_path = GetDownloadFolder();
  _data_auto_delete = 1;
  for (int& v : _transmit_exe) v = 1;
  return !save || SaveSetting();
}

bool COstrovelleConfig::LoadLauncherAutoUpdate() {
  return LoadPlainInt(kSetting, "LauncherAutoUpdate", 1, &_launcher_auto_update);
}

bool COstrovelleConfig::LoadNotifiesLater() {
  return LoadPlainInt(kSetting, "NotifiesLater", 1, &_notifies_later);
}

bool COstrovelleConfig::LoadFinalConfirmationDate() {
  return LoadDate(kSetting, "FinalConfirmationDate", "LoadAutoUpdateLater",
                  &_final_confirmation_date);
}

bool COstrovelleConfig::LoadAutoUpdateLater() {
  const bool later = LoadNotifiesLater();
  return LoadFinalConfirmationDate() && later;
}

bool COstrovelleConfig::LoadDownloadFolderPath() {
  return LoadText(kSetting, "DownloadFolderPath", "LoadDownloadFolder", &_download_folder_path);
}

bool COstrovelleConfig::LoadDataAutoDelete() {
  return LoadPlainInt(kSetting, "DataAutoDelete", 1, &_data_auto_delete);
}

bool COstrovelleConfig::LoadTransmitExe1() {
  return LoadPlainInt(kSetting, "TransmitExe1", 1, &_transmit_exe[0]);
}
bool COstrovelleConfig::LoadTransmitExe2() {
  return LoadPlainInt(kSetting, "TransmitExe2", 1, &_transmit_exe[1]);
}
bool COstrovelleConfig::LoadTransmitExe3() {
  return LoadPlainInt(kSetting, "TransmitExe3", 1, &_transmit_exe[2]);
}
bool COstrovelleConfig::LoadTransmitExe4() {
  return LoadPlainInt(kSetting, "TransmitExe4", 1, &_transmit_exe[3]);
}

int COstrovelleConfig::GetTransmitExe(int index) const {
  return index >= 1 && index <= 4 ? _transmit_exe[index - 1] : 0;
}

void COstrovelleConfig::SetTransmitExe(int index, int value) {
  if (index >= 1 && index <= 4) _transmit_exe[index - 1] = value;
}

bool COstrovelleConfig::LoadSetting() {
  InitSetting(false);
  bool ok = LoadLauncherAutoUpdate();
  ok = LoadNotifiesLater() && ok;
  ok = LoadFinalConfirmationDate() && ok;
  ok = LoadDownloadFolderPath() && ok;
  ok = LoadDataAutoDelete() && ok;
  ok = LoadTransmitExe1() && ok;
  ok = LoadTransmitExe2() && ok;
  ok = LoadTransmitExe3() && ok;
  ok = LoadTransmitExe4() && ok;
  return ok;
}

bool COstrovelleConfig::SaveSetting() {
  const std::pair<const char*, std::string> keys[] = {
      {"LauncherAutoUpdate", Decimal(_launcher_auto_update)},
      {"NotifiesLater", Decimal(_notifies_later)},
      {"FinalConfirmationDate", FormatDate(_final_confirmation_date)},
      {"DownloadFolderPath", _download_folder_path},
      {"DataAutoDelete", Decimal(_data_auto_delete)},
      {"TransmitExe1", Decimal(_transmit_exe[0])},
      {"TransmitExe2", Decimal(_transmit_exe[1])},
      {"TransmitExe3", Decimal(_transmit_exe[2])},
      {"TransmitExe4", Decimal(_transmit_exe[3])},
  };
  bool ok = true;
  for (const auto& key : keys) ok = WriteKey(kSetting, key.first, key.second) && ok;
  return ok;
}

bool COstrovelleConfig::SaveLauncherAutoUpdate(int value) {
  _launcher_auto_update = value;
  return WriteKey(kSetting, "LauncherAutoUpdate", Decimal(value));
}

bool COstrovelleConfig::SaveNotifiesLater(int value) {
  _notifies_later = value;
  return WriteKey(kSetting, "NotifiesLater", Decimal(value));
}

bool COstrovelleConfig::SaveDataAutoDelete(int value) {
  _data_auto_delete = value;
  return WriteKey(kSetting, "DataAutoDelete", Decimal(value));
}

bool COstrovelleConfig::SaveTransmitExe2(int value) {
  _transmit_exe[1] = value;
  return WriteKey(kSetting, "TransmitExe2", Decimal(value));
}

bool COstrovelleConfig::SaveTransmitExe3(int value) {
  _transmit_exe[2] = value;
  return WriteKey(kSetting, "TransmitExe3", Decimal(value));
}

bool COstrovelleConfig::SaveTransmitExe4(int value) {
  _transmit_exe[3] = value;
  return WriteKey(kSetting, "TransmitExe4", Decimal(value));
}

bool COstrovelleConfig::SaveDownloadFolder(const char* path) {
  if (!path) return false;
  _download_folder_path = path;
  return WriteKey(kSetting, "DownloadFolderPath", _download_folder_path);
}

// ---- [Map] ----

bool COstrovelleConfig::InitMap(bool save) {
  _speed_of_line = 0;
  _map_notify_message = 1;
  _map_notify_date = SYSTEMTIME{};
  _map_notifies_later = 0;
  _zudov_transmit = 1;
  return !save || SaveMap();
}

bool COstrovelleConfig::LoadSpeedOfLine() {
  LoadPlainInt(kMap, "SpeedOfLine", 0, &_speed_of_line);
  std::string text;
  DWORD error = 0;
  int value = 0;
  if (ReadText(kMap, "SpeedOfLine", &text, &error) && !ParseDecimal(text, &value)) {
    OV_LOG(kLogError, "COstrovelleConfig::LoadSpeedOfLine - Invalid format[%s]", text.c_str());
  }
  return true;
}

bool COstrovelleConfig::LoadMapNotifyMessage() {
  return LoadPlainInt(kMap, "MapNotifyMessage", 1, &_map_notify_message);
}

bool COstrovelleConfig::LoadMapNotifyFinalConfirmationDate() {
  return LoadDate(kMap, "MapNotifyFinalConfirmationDate", "LoadMapNotifyFinalConfirmationDate",
                  &_map_notify_date);
}

bool COstrovelleConfig::LoadMapNotifiesLater() {
  return LoadPlainInt(kMap, "MapNotifiesLater", 0, &_map_notifies_later);
}

bool COstrovelleConfig::LoadZudovTransmit() {
  return LoadPlainInt(kMap, "ZudovTransmit", 1, &_zudov_transmit);
}

bool COstrovelleConfig::LoadRetryInterval() {
  const UINT v = GetPrivateProfileIntA(kMap, "RetryInterval", 5, _ini_path.c_str());
  _retry_interval = (v == 0 || v > 300) ? 5 : static_cast<int>(v);
  return true;
}

bool COstrovelleConfig::LoadRetryMax() {
  const UINT v = GetPrivateProfileIntA(kMap, "RetryMax", 6, _ini_path.c_str());
  _retry_max = (v == 0 || v > 20) ? 6 : static_cast<int>(v);
  return true;
}

bool COstrovelleConfig::LoadMap() {
  InitMap(false);
  bool ok = LoadSpeedOfLine();
  ok = LoadMapNotifyMessage() && ok;
  ok = LoadMapNotifyFinalConfirmationDate() && ok;
  ok = LoadMapNotifiesLater() && ok;
  ok = LoadZudovTransmit() && ok;
  ok = LoadRetryInterval() && ok;
  ok = LoadRetryMax() && ok;
  return ok;
}

bool COstrovelleConfig::SaveMap() {
  const std::pair<const char*, std::string> keys[] = {
      {"MapNotifyMessage", Decimal(_map_notify_message)},
      {"MapNotifiesLater", Decimal(_map_notifies_later)},
      {"MapNotifyFinalConfirmationDate", FormatDate(_map_notify_date)},
      {"SpeedOfLine", Decimal(_speed_of_line)},
  };
  bool ok = true;
  for (const auto& key : keys) ok = WriteKey(kMap, key.first, key.second) && ok;
  return ok;
}

bool COstrovelleConfig::SaveMapNotifyMessage(int value) {
  _map_notify_message = value;
  return WriteKey(kMap, "MapNotifyMessage", Decimal(value));
}

bool COstrovelleConfig::SaveMapNotifiesLater(int value) {
  _map_notifies_later = value;
  return WriteKey(kMap, "MapNotifiesLater", Decimal(value));
}

bool COstrovelleConfig::SaveMapNotifyFinalConfirmationDate(const SYSTEMTIME& date) {
  _map_notify_date = date;
  _map_notify_date.wDayOfWeek = 0;
  _map_notify_date.wMilliseconds = 0;
  if (WritePrivateProfileStringA(kMap, "MapNotifyFinalConfirmationDate", FormatDate(date).c_str(),
                                 _ini_path.c_str())) {
    return true;
  }
  OV_LOG(kLogError, "COstrovelleConfig::SaveMapNotifyFinalConfirmationDate - error[%08X]",
         static_cast<unsigned>(LastErrorOr(ERROR_WRITE_FAULT)));
  return false;
}

bool COstrovelleConfig::SaveMapNotifyFinalConfirmationDateNow() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return SaveMapNotifyFinalConfirmationDate(now);
}

// ---- [Music] ----

void COstrovelleConfig::SetMusicFolder(const std::string& v) {
  _music_folder = v;
  _music_folder_w = ToWide(v);
}

// The wide folder alone: the narrow key keeps what was stored, since a path
// the code page cannot hold would only reach it lossy.
void COstrovelleConfig::SetMusicFolderW(const std::wstring& v) {
  const size_t first = v.find_first_not_of(L" \t");
  const size_t last = v.find_last_not_of(L" \t");
  _music_folder_w =
      first == std::wstring::npos ? std::wstring() : v.substr(first, last - first + 1);
}

void COstrovelleConfig::SetManualRecentFolder(const std::string& v) {
  _manual_recent_folder = v;
  _manual_recent_folder_w = ToWide(v);
}

void COstrovelleConfig::SetManualRecentFolderW(const std::wstring& v) {
  _manual_recent_folder_w = v;
  _manual_recent_folder = ToMultiByte(v);
}

bool COstrovelleConfig::InitMusic(bool save) {
  _charge_type = 2;
  SetMusicFolder(ToMultiByte(MyMusicFolder()));
  SetMusicFolderW(MyMusicFolder());
  _auto_charge_type = 0;
  _random_percent = 50;
  _charge_interval = 7;
  _last_auto_charge = SYSTEMTIME{};
  _charge_limit = 1;
  _limit_size = 500;
  _limit_file_count = 100;
  SetManualRecentFolderW(std::wstring());
  return !save || SaveMusic();
}

bool COstrovelleConfig::LoadChargeType() {
  return LoadRangedInt("ChargeType", "LoadChargeType", &_charge_type, 0, 2);
}
bool COstrovelleConfig::LoadAutoChargeType() {
  return LoadRangedInt("AutoChargeType", "LoadAutoChargeType", &_auto_charge_type, 0, 1);
}
bool COstrovelleConfig::LoadRandomPercent() {
  return LoadRangedInt("RandomPercent", "LoadRandomPercent", &_random_percent, 0, 100);
}
bool COstrovelleConfig::LoadChargeInterval() {
  return LoadRangedInt("ChargeInterval", "LoadChargeInterval", &_charge_interval, 0, 100);
}
bool COstrovelleConfig::LoadChargeLimit() {
  return LoadRangedInt("ChargeLimit", "LoadChargeLimit", &_charge_limit, 0, 2);
}
bool COstrovelleConfig::LoadLimitSize() {
  return LoadRangedInt("LimitSize", "LoadLimitSize", &_limit_size, 100, 3000);
}
bool COstrovelleConfig::LoadLimitFileCount() {
  return LoadRangedInt("LimitFileCount", "LoadLimitFileCount", &_limit_file_count, 20, 5000);
}

bool COstrovelleConfig::LoadMusicFolder() {
  return LoadText(kMusic, "MusicFolder", "LoadMusicFolder", &_music_folder);
}

bool COstrovelleConfig::LoadManualRecentFolder() {
  return LoadText(kMusic, "ManualRecentFolder", "LoadManualRecentFolder", &_manual_recent_folder);
}

bool COstrovelleConfig::LoadLastAutoCharge() {
  return LoadDate(kMusic, "LastAutoCharge", "LoadLastAutoCharge", &_last_auto_charge);
}

bool COstrovelleConfig::LoadMusic() {
  InitMusic(false);
  bool ok = LoadChargeType();
  ok = LoadMusicFolder() && ok;
  ok = LoadAutoChargeType() && ok;
  ok = LoadRandomPercent() && ok;
  ok = LoadChargeInterval() && ok;
  ok = LoadLastAutoCharge() && ok;
  ok = LoadChargeLimit() && ok;
  ok = LoadLimitSize() && ok;
  ok = LoadLimitFileCount() && ok;
  ok = LoadManualRecentFolder() && ok;
  ok = LoadMusicFolderW() && ok;
  ok = LoadManualRecentFolderW() && ok;
  return ok;
}

bool COstrovelleConfig::SaveMusic() {
  const std::pair<const char*, std::string> keys[] = {
      {"ChargeType", Decimal(_charge_type)},
      {"MusicFolder", _music_folder},
      {"AutoChargeType", Decimal(_auto_charge_type)},
      {"RandomPercent", Decimal(_random_percent)},
      {"ChargeInterval", Decimal(_charge_interval)},
      {"ChargeLimit", Decimal(_charge_limit)},
      {"LimitSize", Decimal(_limit_size)},
      {"LimitFileCount", Decimal(_limit_file_count)},
  };
  bool ok = true;
  for (const auto& key : keys) ok = WriteKey(kMusic, key.first, key.second) && ok;
  // A failed ini write is a failed save too, not only a log line.
  return SaveMusicSetting() && ok;
}

// ---- the music settings file ----

bool COstrovelleConfig::LoadMusicSetting(bool music_folder) {
  std::wstring& member = music_folder ? _music_folder_w : _manual_recent_folder_w;
  member.clear();
  std::string bytes;
  DWORD error = 0;
  const int result = ReadWholeFile(_music_path, kMaxMusicFile, &bytes, &error);
  if (result == kWholeFileNotOpened) {
    OV_LOG(kLogError, "COstrovelleConfig::LoadMusicSetting - _wfopen [%08X]",
           static_cast<unsigned>(error));
    return false;
  }
  if (result == kWholeFileTooLarge) {
    OV_LOG(kLogError, "COstrovelleConfig::LoadMusicSetting - メモリ確保失敗 [%08X]",
           static_cast<unsigned>(ERROR_NOT_ENOUGH_MEMORY));
    return true;
  }
  if (result != kWholeFileRead) {
    OV_LOG(kLogError, "COstrovelleConfig::LoadMusicSetting - ReadFile( ) [%08X]",
           static_cast<unsigned>(error));
    return true;
  }
  std::wstring text(bytes.size() / 2, L'\0');
  if (!text.empty()) memcpy(&text[0], bytes.data(), text.size() * 2);
  if (!text.empty() && text[0] == 0xFEFF) text.erase(0, 1);
  // Entries "Key=Value" end in "||"; a path cannot hold "|".
  const std::wstring key = music_folder ? kMusicKey : kRecentKey;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find(kSeparator, start);
    if (end == std::wstring::npos) break;
    if (text.compare(start, key.size(), key) == 0) {
      member = text.substr(start + key.size(), end - start - key.size());
      break;
    }
    start = end + 2;
  }
  return true;
}

bool COstrovelleConfig::SaveMusicSetting() {
  const std::wstring text = std::wstring(1, wchar_t(0xFEFF)) + kMusicKey + _music_folder_w +
                            kSeparator + kRecentKey + _manual_recent_folder_w + kSeparator;
  std::string bytes(text.size() * 2, '\0');
  for (size_t i = 0; i < text.size(); ++i) {
    bytes[2 * i] = static_cast<char>(text[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(text[i] >> 8);
  }
  CReplaceFileWriter writer(_music_path, FILE_ATTRIBUTE_NORMAL);
  if (!writer.Open()) {
    OV_LOG(kLogError, "COstrovelleConfig::SaveMusicSetting - _wfopen [%08X]",
           static_cast<unsigned>(writer.Error()));
    return false;
  }
  if (!writer.Write(bytes) || !writer.Commit()) {
    OV_LOG(kLogError, "COstrovelleConfig::LoadMusicFolderW - 二件目 fwrite( ) [%08X]",
           static_cast<unsigned>(writer.Error()));
    return false;
  }
  return true;
}

bool COstrovelleConfig::LoadWideFolder(bool music_folder) {
  std::wstring& member = music_folder ? _music_folder_w : _manual_recent_folder_w;
  if (LoadMusicSetting(music_folder) && !member.empty()) return true;
  std::string narrow;
  DWORD error = 0;
  if (ReadText(kMusic, music_folder ? "MusicFolder" : "ManualRecentFolder", &narrow, &error)) {
    member = ToWide(narrow);
    return true;
  }
  member.clear();
  OV_LOG(kLogError, "COstrovelleConfig::%s - error[%08X]",
         music_folder ? "LoadMusicFolderW" : "LoadManualRecentFolderW",
         static_cast<unsigned>(error));
  return true;
}

bool COstrovelleConfig::LoadMusicFolderW() { return LoadWideFolder(true); }

bool COstrovelleConfig::LoadManualRecentFolderW() { return LoadWideFolder(false); }
