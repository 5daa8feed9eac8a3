// The user's settings of all three programs: the ini file "OstrovelleEV.ini"
// (sections Setting, Map, Music; code page 932, through the platform's
// profile functions) and the music settings file "OstrovelleEV_Music.Dat"
// (UTF-16) that carries the two music folders in full Unicode. Each program
// makes its own object and loads the sections it needs; nothing is cached
// between objects and the last writer of a key wins. One object serves one
// thread.
#pragma once

#include "OvWindows.h"

#include <string>

class COstrovelleConfig {
 public:
  // Sets both paths in the setting folder; reads nothing.
  COstrovelleConfig();
  virtual ~COstrovelleConfig() = default;
  COstrovelleConfig(const COstrovelleConfig&) = default;
  COstrovelleConfig& operator=(const COstrovelleConfig&) = default;

  const std::string& GetIniPath() const { return _ini_path; }
  const std::wstring& GetMusicSettingPath() const { return _music_path; }

  // Section resets (optionally saved at once), loads and saves.
  bool InitSetting(bool save);
  bool InitMap(bool save);
  bool InitMusic(bool save);
  bool LoadSetting();
  bool LoadMap();
  bool LoadMusic();
  bool SaveSetting();
  bool SaveMap();
  // The [Music] keys and the music settings file; false when any write failed.
  bool SaveMusic();

  // Single-key loaders, `Load` followed by the key.
  bool LoadLauncherAutoUpdate();
  bool LoadNotifiesLater();
  bool LoadFinalConfirmationDate();
  bool LoadAutoUpdateLater();  // NotifiesLater and FinalConfirmationDate
  bool LoadDownloadFolderPath();
  bool LoadDataAutoDelete();
  bool LoadTransmitExe1();
  bool LoadTransmitExe2();
  bool LoadTransmitExe3();
  bool LoadTransmitExe4();
  bool LoadSpeedOfLine();
  bool LoadMapNotifyMessage();
  bool LoadMapNotifyFinalConfirmationDate();
  bool LoadMapNotifiesLater();
  bool LoadZudovTransmit();
  bool LoadRetryInterval();
  bool LoadRetryMax();
  bool LoadChargeType();
  bool LoadMusicFolder();
  bool LoadAutoChargeType();
  bool LoadRandomPercent();
  bool LoadChargeInterval();
  bool LoadLastAutoCharge();
  bool LoadChargeLimit();
  bool LoadLimitSize();
  bool LoadLimitFileCount();
  bool LoadManualRecentFolder();

  // Set the member and write the one key at once.
  bool SaveLauncherAutoUpdate(int value);
  bool SaveNotifiesLater(int value);
  bool SaveDataAutoDelete(int value);
  bool SaveTransmitExe2(int value);
  bool SaveTransmitExe3(int value);
  bool SaveTransmitExe4(int value);
  bool SaveDownloadFolder(const char* path);  // null is refused
  bool SaveMapNotifyMessage(int value);
  bool SaveMapNotifiesLater(int value);
  bool SaveMapNotifyFinalConfirmationDate(const SYSTEMTIME& date);
  bool SaveMapNotifyFinalConfirmationDateNow();

  // The music settings file. LoadMusicSetting reads one value (true: the
  // music folder, false: the recent manual folder).
  bool LoadMusicSetting(bool music_folder);
  bool SaveMusicSetting();
  // The wide values, falling back to the narrow ini keys; always true.
  bool LoadMusicFolderW();
  bool LoadManualRecentFolderW();

  int GetLauncherAutoUpdate() const { return _launcher_auto_update; }
  void SetLauncherAutoUpdate(int v) { _launcher_auto_update = v; }
  int GetNotifiesLater() const { return _notifies_later; }
  void SetNotifiesLater(int v) { _notifies_later = v; }
  const SYSTEMTIME& GetFinalConfirmationDate() const { return _final_confirmation_date; }
  void SetFinalConfirmationDate(const SYSTEMTIME& v) { _final_confirmation_date = v; }
  const std::string& GetDownloadFolderPath() const { return _download_folder_path; }
  void SetDownloadFolderPath(const std::string& v) { _download_folder_path = v; }
  int GetDataAutoDelete() const { return _data_auto_delete; }
  void SetDataAutoDelete(int v) { _data_auto_delete = v; }
  // Charge kinds 1, 2, 4, 8 as index 1 to 4.
  int GetTransmitExe(int index) const;
  void SetTransmitExe(int index, int value);

  int GetSpeedOfLine() const { return _speed_of_line; }
  void SetSpeedOfLine(int v) { _speed_of_line = v; }
  int GetMapNotifyMessage() const { return _map_notify_message; }
  void SetMapNotifyMessage(int v) { _map_notify_message = v; }
  const SYSTEMTIME& GetMapNotifyFinalConfirmationDate() const { return _map_notify_date; }
  void SetMapNotifyFinalConfirmationDate(const SYSTEMTIME& v) { _map_notify_date = v; }
  int GetMapNotifiesLater() const { return _map_notifies_later; }
  void SetMapNotifiesLater(int v) { _map_notifies_later = v; }
  int GetZudovTransmit() const { return _zudov_transmit; }
  int GetRetryInterval() const { return _retry_interval; }
  int GetRetryMax() const { return _retry_max; }

  int GetChargeType() const { return _charge_type; }
  void SetChargeType(int v) { _charge_type = v; }
  const std::string& GetMusicFolder() const { return _music_folder; }
  const std::wstring& GetMusicFolderW() const { return _music_folder_w; }
  // Both forms: the narrow one is the code page 932 rendering (lossy).
  void SetMusicFolder(const std::string& v);
  void SetMusicFolderW(const std::wstring& v);
  int GetAutoChargeType() const { return _auto_charge_type; }
  void SetAutoChargeType(int v) { _auto_charge_type = v; }
  int GetRandomPercent() const { return _random_percent; }
  void SetRandomPercent(int v) { _random_percent = v; }
  int GetChargeInterval() const { return _charge_interval; }
  void SetChargeInterval(int v) { _charge_interval = v; }
  const SYSTEMTIME& GetLastAutoCharge() const { return _last_auto_charge; }
  void SetLastAutoCharge(const SYSTEMTIME& v) { _last_auto_charge = v; }
  int GetChargeLimit() const { return _charge_limit; }
  void SetChargeLimit(int v) { _charge_limit = v; }
  int GetLimitSize() const { return _limit_size; }
  void SetLimitSize(int v) { _limit_size = v; }
  int GetLimitFileCount() const { return _limit_file_count; }
  void SetLimitFileCount(int v) { _limit_file_count = v; }
  const std::string& GetManualRecentFolder() const { return _manual_recent_folder; }
  const std::wstring& GetManualRecentFolderW() const { return _manual_recent_folder_w; }
  void SetManualRecentFolder(const std::string& v);
  void SetManualRecentFolderW(const std::wstring& v);

  // "%04d%02d%02d%02d%02d%02d", and its strict reverse (14 digits).
  static std::string FormatDate(const SYSTEMTIME& date);
  static bool ParseDate(const std::string& text, SYSTEMTIME* date);

 protected:
  // The key's text; false when the key is absent (the error is saved).
  bool ReadText(const char* section, const char* key, std::string* text, DWORD* error) const;
  // Writes one key; logs the generic save failure line when it fails.
  bool WriteKey(const char* section, const char* key, const std::string& value) const;

  bool LoadRangedInt(const char* key, const char* loader, int* member, unsigned low, unsigned high);
  bool LoadPlainInt(const char* section, const char* key, int absent, int* member);
  bool LoadDate(const char* section, const char* key, const char* loader, SYSTEMTIME* member);
  bool LoadText(const char* section, const char* key, const char* loader, std::string* member);
  bool LoadWideFolder(bool music_folder);

  std::string _ini_path;
  std::wstring _music_path;

  int _launcher_auto_update = 0;
  int _notifies_later = 0;
  SYSTEMTIME _final_confirmation_date = {};
  std::string _download_folder_path;
  int _data_auto_delete = 0;
  int _transmit_exe[4] = {};

  int _speed_of_line = 0;
  int _map_notify_message = 0;
  SYSTEMTIME _map_notify_date = {};
  int _map_notifies_later = 0;
  int _zudov_transmit = 0;
  int _retry_interval = 5;
  int _retry_max = 6;

  int _charge_type = 0;
  std::string _music_folder;
  std::wstring _music_folder_w;
  int _auto_charge_type = 0;
  int _random_percent = 0;
  int _charge_interval = 0;
  SYSTEMTIME _last_auto_charge = {};
  int _charge_limit = 0;
  int _limit_size = 0;
  int _limit_file_count = 0;
  std::string _manual_recent_folder;
  std::wstring _manual_recent_folder_w;
};
