// Settings: the ini file's bytes, every reset and absent-key default, the
// ranges of the [Music] keys, dates, the UTF-16 music settings file with its
// fallback, and failed writes reported as failures.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Folders.h"
#include "OstrovelleLite/OstrovelleConfig.h"
#include "StringUtil.h"
#include "TestSupport.h"

namespace {

class OstrovelleConfigTest : public ::testing::Test {
 protected:
  void WriteIni(const std::string& text) {
    ASSERT_TRUE(ovtest::WriteFileBytes(COstrovelleConfig().GetIniPath(), text));
  }
  std::string IniBytes() const { return ovtest::ReadFileOrEmpty(COstrovelleConfig().GetIniPath()); }
  std::string MusicFileBytes() const {
    return ovtest::ReadFileOrEmpty(ToMultiByte(COstrovelleConfig().GetMusicSettingPath()));
  }

  ovtest::CScopedDataRoot _root;
  ovtest::CLogCapture _log;
};

SYSTEMTIME Date(WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s) {
  SYSTEMTIME t = {};
  t.wYear = y;
  t.wMonth = mo;
  t.wDay = d;
  t.wHour = h;
  t.wMinute = mi;
  t.wSecond = s;
  return t;
}

bool SameDate(const SYSTEMTIME& a, const SYSTEMTIME& b) {
  return COstrovelleConfig::FormatDate(a) == COstrovelleConfig::FormatDate(b);
}

TEST_F(OstrovelleConfigTest, SavedSettingSectionIsShiftJisTextByteForByte) {
  COstrovelleConfig config;
  config.InitSetting(false);
  config.SetDownloadFolderPath("D:\\表示\\ダウンロード");
  config.SetFinalConfirmationDate(Date(2010, 3, 4, 5, 6, 7));
  config.SetTransmitExe(3, 0);
  ASSERT_TRUE(config.SaveSetting());
  EXPECT_EQ(
      "[Setting]\r\nLauncherAutoUpdate=1\r\nNotifiesLater=0\r\n"
      "FinalConfirmationDate=20100304050607\r\n"
      "DownloadFolderPath=D:"
      "\\\x95\x5C\x8E\xA6\\\x83\x5F\x83\x45\x83\x93\x83\x8D\x81\x5B\x83\x68\r\n"
      "DataAutoDelete=1\r\nTransmitExe1=1\r\nTransmitExe2=1\r\nTransmitExe3=0\r\n"
      "TransmitExe4=1\r\n",
      IniBytes());

  COstrovelleConfig again;
  ASSERT_TRUE(again.LoadSetting());
  EXPECT_EQ("D:\\表示\\ダウンロード", again.GetDownloadFolderPath());
  EXPECT_TRUE(SameDate(Date(2010, 3, 4, 5, 6, 7), again.GetFinalConfirmationDate()));
  EXPECT_EQ(0, again.GetTransmitExe(3));
  EXPECT_EQ(1, again.GetTransmitExe(4));
}

TEST_F(OstrovelleConfigTest, ResetsAndAbsentKeyDefaults) {
  COstrovelleConfig reset;
  reset.InitSetting(false);
  reset.InitMap(false);
  reset.InitMusic(false);
  EXPECT_EQ(1, reset.GetLauncherAutoUpdate());
  EXPECT_EQ(0, reset.GetNotifiesLater());
  EXPECT_EQ(GetDownloadFolder(), reset.GetDownloadFolderPath());
  EXPECT_EQ(0, reset.GetMapNotifiesLater());
  EXPECT_EQ(1, reset.GetMapNotifyMessage());
  EXPECT_EQ(5, reset.GetRetryInterval());
  EXPECT_EQ(6, reset.GetRetryMax());
  EXPECT_EQ(2, reset.GetChargeType());
  EXPECT_EQ(50, reset.GetRandomPercent());
  EXPECT_EQ(7, reset.GetChargeInterval());
  EXPECT_EQ(1, reset.GetChargeLimit());
  EXPECT_EQ(500, reset.GetLimitSize());
  EXPECT_EQ(100, reset.GetLimitFileCount());
  EXPECT_EQ("", reset.GetManualRecentFolder());

  // No ini file at all: the absent-key defaults, which differ from the reset
  // for NotifiesLater.
  COstrovelleConfig loaded;
  EXPECT_TRUE(loaded.LoadSetting());
  EXPECT_TRUE(loaded.LoadMap());
  EXPECT_TRUE(loaded.LoadMusic());
  EXPECT_EQ(1, loaded.GetNotifiesLater());
  EXPECT_EQ(1, loaded.GetLauncherAutoUpdate());
  EXPECT_EQ(1, loaded.GetTransmitExe(1));
  EXPECT_EQ(0, loaded.GetSpeedOfLine());
  EXPECT_EQ(1, loaded.GetZudovTransmit());
  EXPECT_EQ(2, loaded.GetChargeType());
  EXPECT_EQ(500, loaded.GetLimitSize());
  EXPECT_EQ(0, loaded.GetFinalConfirmationDate().wYear);
  EXPECT_TRUE(_log.Contains("COstrovelleConfig::LoadChargeType - error["));
  EXPECT_TRUE(_log.Contains("COstrovelleConfig::LoadDownloadFolder - error["));
  EXPECT_TRUE(_log.Contains("COstrovelleConfig::LoadMusicFolderW - error["));
}

struct RangedCase {
  const char* name;
  const char* key;
  const char* text;
  int expected;     // the value after LoadMusic
  const char* log;  // the line a refusal leaves, or null
};
void PrintTo(const RangedCase& c, std::ostream* os) { *os << c.name; }

class RangedMusicKey : public OstrovelleConfigTest,
                       public ::testing::WithParamInterface<RangedCase> {};

int ValueOf(const COstrovelleConfig& c, const std::string& key) {
  if (key == "ChargeType") return c.GetChargeType();
  if (key == "AutoChargeType") return c.GetAutoChargeType();
  if (key == "RandomPercent") return c.GetRandomPercent();
  if (key == "ChargeInterval") return c.GetChargeInterval();
  if (key == "ChargeLimit") return c.GetChargeLimit();
  if (key == "LimitSize") return c.GetLimitSize();
  return c.GetLimitFileCount();
}

TEST_P(RangedMusicKey, IsTakenOrRefusedWithItsLogLine) {
  const RangedCase& c = GetParam();
  WriteIni(FormatString("[Music]\r\n%s=%s\r\n", c.key, c.text));
  COstrovelleConfig config;
  EXPECT_EQ(c.log == nullptr, config.LoadMusic());
  EXPECT_EQ(c.expected, ValueOf(config, c.key));
  if (c.log) {
    EXPECT_TRUE(_log.Contains(FormatString("COstrovelleConfig::Load%s - %s", c.key, c.log)))
        << _log.Text();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, RangedMusicKey,
    ::testing::Values(
        RangedCase{"ChargeTypeTaken", "ChargeType", "1", 1, nullptr},
        RangedCase{"ChargeTypeZero", "ChargeType", "0", 0, nullptr},
        RangedCase{"ChargeTypeAbove", "ChargeType", "3", 2, "Invalid data[3]"},
        RangedCase{"ChargeTypeNegative", "ChargeType", "-1", 2, "Invalid data[-1]"},
        RangedCase{"ChargeTypeText", "ChargeType", "abc", 2, "Invalid format[abc]"},
        RangedCase{"ChargeTypeTrailingText", "ChargeType", "1x", 2, "Invalid format[1x]"},
        RangedCase{"ChargeTypeEmpty", "ChargeType", "", 2, "Invalid format[]"},
        RangedCase{"AutoChargeTypeAbove", "AutoChargeType", "2", 0, "Invalid data[2]"},
        RangedCase{"RandomPercentTop", "RandomPercent", "100", 100, nullptr},
        RangedCase{"RandomPercentAbove", "RandomPercent", "101", 50, "Invalid data[101]"},
        RangedCase{"ChargeIntervalAbove", "ChargeInterval", "101", 7, "Invalid data[101]"},
        RangedCase{"ChargeLimitTop", "ChargeLimit", "2", 2, nullptr},
        RangedCase{"LimitSizeBelow", "LimitSize", "99", 500, "Invalid data[99]"},
        RangedCase{"LimitSizeBounds", "LimitSize", "3000", 3000, nullptr},
        RangedCase{"LimitFileCountBelow", "LimitFileCount", "19", 100, "Invalid data[19]"},
        RangedCase{"LimitFileCountTop", "LimitFileCount", "5000", 5000, nullptr},
        RangedCase{"LimitFileCountOverflow", "LimitFileCount", "99999999999", 100,
                   "Invalid format[99999999999]"}),
    [](const ::testing::TestParamInfo<RangedCase>& p) { return std::string(p.param.name); });

TEST_F(OstrovelleConfigTest, RetryBoundsAndLineSpeed) {
  struct Case {
    const char* interval;
    const char* max;
    int want_interval;
    int want_max;
  };
  for (const Case& c : {Case{"0", "0", 5, 6}, Case{"301", "21", 5, 6}, Case{"300", "20", 300, 20},
                        Case{"1", "1", 1, 1}, Case{"-3", "-3", 5, 6}}) {
    WriteIni(FormatString("[Map]\r\nRetryInterval=%s\r\nRetryMax=%s\r\nSpeedOfLine=fast\r\n",
                          c.interval, c.max));
    COstrovelleConfig config;
    EXPECT_TRUE(config.LoadMap());
    EXPECT_EQ(c.want_interval, config.GetRetryInterval()) << c.interval;
    EXPECT_EQ(c.want_max, config.GetRetryMax()) << c.max;
    EXPECT_EQ(0, config.GetSpeedOfLine());
  }
  EXPECT_TRUE(_log.Contains("COstrovelleConfig::LoadSpeedOfLine - Invalid format[fast]"));
}

TEST_F(OstrovelleConfigTest, DatesRoundTripAndBadDatesKeepTheMember) {
  COstrovelleConfig config;
  ASSERT_TRUE(config.SaveMapNotifyFinalConfirmationDate(Date(2009, 12, 31, 23, 59, 58)));
  WritePrivateProfileStringA("Setting", "FinalConfirmationDate", "2023",
                             config.GetIniPath().c_str());
  WritePrivateProfileStringA("Music", "LastAutoCharge", "", config.GetIniPath().c_str());
  COstrovelleConfig loaded;
  EXPECT_TRUE(loaded.LoadMap());
  EXPECT_TRUE(SameDate(Date(2009, 12, 31, 23, 59, 58), loaded.GetMapNotifyFinalConfirmationDate()));
  EXPECT_FALSE(loaded.LoadAutoUpdateLater());
  EXPECT_TRUE(_log.Contains("COstrovelleConfig::LoadAutoUpdateLater - Invalid format[2023]"));
  EXPECT_EQ(0, loaded.GetFinalConfirmationDate().wYear);
  EXPECT_TRUE(loaded.LoadLastAutoCharge());
  EXPECT_EQ(0, loaded.GetLastAutoCharge().wYear);

  SYSTEMTIME parsed;
  for (const char* bad : {"2009123123595", "200912312359590", "2009-2-31 2359", "+0091231235958"}) {
    EXPECT_FALSE(COstrovelleConfig::ParseDate(bad, &parsed)) << bad;
  }
}

TEST_F(OstrovelleConfigTest, SingleKeySaversWriteAtOnce) {
  COstrovelleConfig config;
  EXPECT_TRUE(config.SaveNotifiesLater(1));
  EXPECT_TRUE(config.SaveTransmitExe4(0));
  EXPECT_TRUE(config.SaveMapNotifiesLater(1));
  EXPECT_TRUE(config.SaveDownloadFolder("E:\\DL"));
  EXPECT_FALSE(config.SaveDownloadFolder(nullptr));
  EXPECT_TRUE(config.SaveMapNotifyFinalConfirmationDateNow());
  COstrovelleConfig loaded;
  loaded.LoadSetting();
  loaded.LoadMap();
  EXPECT_EQ(1, loaded.GetNotifiesLater());
  EXPECT_EQ(0, loaded.GetTransmitExe(4));
  EXPECT_EQ(1, loaded.GetMapNotifiesLater());
  EXPECT_EQ("E:\\DL", loaded.GetDownloadFolderPath());
  SYSTEMTIME now;
  GetLocalTime(&now);
  EXPECT_EQ(now.wYear, loaded.GetMapNotifyFinalConfirmationDate().wYear);
}

TEST_F(OstrovelleConfigTest, MusicSettingsFileIsUtf16AndCarriesWhatCodePage932Cannot) {
  const std::wstring folder = L"C:\\Music\\caf\u00e9 \u4e02\u0394";
  COstrovelleConfig config;
  config.InitMusic(false);
  config.SetMusicFolderW(folder);
  config.SetManualRecentFolderW(L"D:\\\u8868");
  ASSERT_TRUE(config.SaveMusic());

  const std::wstring expected_text = std::wstring(1, wchar_t(0xFEFF)) + L"MusicFolderW=" + folder +
                                     L"||ManualRecentFolderW=D:\\\u8868||";
  const std::string bytes = MusicFileBytes();
  ASSERT_EQ(expected_text.size() * 2, bytes.size());
  EXPECT_EQ(0, memcmp(expected_text.data(), bytes.data(), bytes.size()));

  COstrovelleConfig loaded;
  EXPECT_TRUE(loaded.LoadMusic());
  EXPECT_EQ(folder, loaded.GetMusicFolderW());
  EXPECT_EQ(L"D:\\\u8868", loaded.GetManualRecentFolderW());
  // The narrow key keeps what it held: the path has no code-page form.
  EXPECT_EQ(config.GetMusicFolder(), loaded.GetMusicFolder());
}

TEST_F(OstrovelleConfigTest, TheWideMusicFolderIsTrimmedAndLeavesTheNarrowKey) {
  COstrovelleConfig config;
  config.InitMusic(false);
  config.SetMusicFolder("C:\\Narrow");
  config.SetMusicFolderW(L"  \tD:\\\u8868 Music \t ");
  EXPECT_EQ(L"D:\\\u8868 Music", config.GetMusicFolderW());
  EXPECT_EQ("C:\\Narrow", config.GetMusicFolder());
  config.SetMusicFolderW(L"   ");
  EXPECT_EQ(L"", config.GetMusicFolderW());
}

TEST_F(OstrovelleConfigTest, MissingRecentEntryFallsBackToTheIniKey) {
  COstrovelleConfig config;
  const std::wstring text = std::wstring(1, wchar_t(0xFEFF)) + L"MusicFolderW=C:\\M||";
  ASSERT_TRUE(ovtest::WriteFileBytes(
      ToMultiByte(config.GetMusicSettingPath()),
      std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2)));
  EXPECT_TRUE(config.LoadMusicSetting(false));
  EXPECT_EQ(L"", config.GetManualRecentFolderW());

  WriteIni("[Music]\r\nManualRecentFolder=E:\\表\r\n");
  EXPECT_TRUE(config.LoadMusicFolderW());
  EXPECT_TRUE(config.LoadManualRecentFolderW());
  EXPECT_EQ(L"C:\\M", config.GetMusicFolderW());
  EXPECT_EQ(L"E:\\\u8868", config.GetManualRecentFolderW());
}

TEST_F(OstrovelleConfigTest, FailedWritesAreReportedAndLogged) {
  COstrovelleConfig config;
  config.InitMusic(false);
  // Folders where the files should be: every write must fail.
  ASSERT_TRUE(CreateDirectoryA(config.GetIniPath().c_str(), nullptr));
  EXPECT_FALSE(config.SaveMusic());
  EXPECT_FALSE(config.SaveSetting());
  EXPECT_FALSE(config.SaveNotifiesLater(0));
  EXPECT_FALSE(config.SaveMapNotifyFinalConfirmationDateNow());
  EXPECT_TRUE(_log.Contains("設定ファイルへの保存失敗 (ChargeType=2) ["));
  EXPECT_TRUE(_log.Contains("COstrovelleConfig::SaveMapNotifyFinalConfirmationDate - error["));

  ASSERT_TRUE(CreateDirectoryW((config.GetMusicSettingPath() + L".new").c_str(), nullptr));
  EXPECT_FALSE(config.SaveMusicSetting());
  EXPECT_TRUE(_log.Contains("COstrovelleConfig::SaveMusicSetting - _wfopen ["));
}

TEST_F(OstrovelleConfigTest, FailedMusicFileWriteKeepsTheOldFile) {
  COstrovelleConfig config;
  config.SetMusicFolderW(L"C:\\Old");
  ASSERT_TRUE(config.SaveMusicSetting());
  const std::string before = MusicFileBytes();
  ASSERT_TRUE(CreateDirectoryW((config.GetMusicSettingPath() + L".new").c_str(), nullptr));
  config.SetMusicFolderW(L"C:\\New");
  EXPECT_FALSE(config.SaveMusicSetting());
  EXPECT_EQ(before, MusicFileBytes());
}

}  // namespace
