// The main program's start-up in this process: an old system is told
// through the box handler and nothing else runs, "Uninstall" empties only
// the product's own data folder, and the launcher's map-download request
// starts the core only with a card.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ErrorMessage.h"
#include "MainStartup.h"
#include "MapDownloadRequest.h"
#include "MessageBoxCapture.h"
#include "StringUtil.h"
#include "TestSupport.h"
#include "Uninstall.h"
#include "Version.h"

namespace {

TEST(MainStartupTest, OlderSystemsAreToldThroughTheBoxHandler) {
  struct Case {
    int type;
    bool runs;
  };
  uint32_t style = 0;
  const std::wstring text = ToWide(GetErrorMessage(0xFF00EE01, &style, 0));
  ASSERT_FALSE(text.empty());
  for (const Case c : {Case{kOSWin2000, false}, Case{kOSWinMe, false}, Case{kOSWinNT4, false},
                       Case{kOSWinXP, true}, Case{kOSWinServer2003, true}, Case{kOSWin7, true}}) {
    ovtest::CScopedDataRoot root;
    ovtest::CLogCapture log;
    ovtest::CMessageBoxCapture boxes;
    MainRunOptions options;
    options.open_log = false;
    options.os_type = [&] { return c.type; };
    // "Uninstall" ends a supported system's run right after the check.
    EXPECT_EQ(0, RunMain(GetModuleHandleA(nullptr), "Uninstall", options));
    if (c.runs) {
      EXPECT_TRUE(boxes.Boxes().empty()) << c.type;
      EXPECT_TRUE(log.Contains("アンインストール要求")) << c.type;
      continue;
    }
    ASSERT_EQ(1u, boxes.Boxes().size()) << c.type;
    const ovtest::CapturedBox box = boxes.Boxes()[0];
    EXPECT_EQ(L"Ostrovelle ", box.caption);
    EXPECT_EQ(text, box.text);
    EXPECT_EQ(style, box.style);
    EXPECT_TRUE(log.Contains(FormatString("起動OS-NG OSType:%d", c.type))) << c.type;
    EXPECT_FALSE(log.Contains("アンインストール要求")) << c.type;
  }
}

TEST(MainUninstallTest, OnlyTheProductsOwnFolderIsEmptied) {
  struct Case {
    const char* name;
    const char* root;
    bool from_environment;
    const char* folder;  // empty: nothing is deleted
  };
  const Case cases[] = {
      {"product folder", "C:\\users\\u\\Application Data\\Brennik\\Ostrovelle EV\\", false,
       "C:\\users\\u\\Application Data\\Brennik\\Ostrovelle EV\\"},
      {"product folder without backslash", "C:\\users\\u\\AppData\\Brennik\\Ostrovelle EV", false,
       "C:\\users\\u\\AppData\\Brennik\\Ostrovelle EV\\"},
      {"other case", "C:\\x\\BRENNIK\\ostrovelle ev\\", false, "C:\\x\\BRENNIK\\ostrovelle ev\\"},
      {"product folder on a drive root", "D:\\Brennik\\Ostrovelle EV\\", false,
       "D:\\Brennik\\Ostrovelle EV\\"},
      {"shared fallback folder", "C:\\Documents and Settings\\All Users\\Application Data\\", false,
       ""},
      {"product name alone", "C:\\data\\Ostrovelle EV\\", false, ""},
      {"product name as a prefix", "C:\\x\\Brennik\\Ostrovelle EV2\\", false, ""},
      {"drive root", "C:\\", false, ""},
      {"empty", "", false, ""},
      {"environment root", "C:\\tests\\root\\", true, "C:\\tests\\root\\"},
      {"environment drive root", "E:\\", true, ""},
      {"environment drive without backslash", "E:", true, ""},
      {"environment share root", "\\\\server\\share\\", true, ""},
      {"environment share root without backslash", "\\\\server\\share", true, ""},
      {"environment folder on a share", "\\\\server\\share\\root", true,
       "\\\\server\\share\\root\\"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.folder, ChooseUninstallFolder(c.root, c.from_environment)) << c.name;
  }
}

TEST(MainUninstallTest, TheDataRootIsEmptiedAndKept) {
  ovtest::CScopedDataRoot root;
  ovtest::CLogCapture log;
  ASSERT_TRUE(CreateDirectoryA((root.Root() + "Setting").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA((root.Root() + "Data").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA((root.Root() + "Data\\user").c_str(), nullptr));
  ASSERT_TRUE(ovtest::WriteFileBytes(root.Root() + "Setting\\OstrovelleEV.ini", "[Setting]\r\n"));
  ASSERT_TRUE(ovtest::WriteFileBytes(root.Root() + "Data\\user\\UserList.dat", "x"));
  EXPECT_TRUE(UninstallData());
  EXPECT_TRUE(log.Contains("アンインストール要求 " + root.Root()));
  WIN32_FIND_DATAA found;
  const HANDLE find = FindFirstFileA((root.Root() + "*").c_str(), &found);
  ASSERT_NE(INVALID_HANDLE_VALUE, find);
  std::vector<std::string> left;
  do {
    const std::string name = found.cFileName;
    if (name != "." && name != "..") left.push_back(name);
  } while (FindNextFileA(find, &found));
  FindClose(find);
  EXPECT_TRUE(left.empty()) << left.front();
}

struct StartCall {
  HWND notify;
  char drive;
  uint32_t kinds;
};
std::vector<StartCall> g_starts;

bool RecordStart(HWND notify, char drive, uint32_t kinds) {
  g_starts.push_back({notify, drive, kinds});
  return true;
}

TEST(MapDownloadRequestTest, TheCoreStartsOnlyForACard) {
  struct Case {
    const char* name;
    char drive;
    bool started;
  };
  const HWND launcher = reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x1234));
  for (const Case c :
       {Case{"card", 'E', true}, Case{"other card", 'L', true}, Case{"no card", 0, false}}) {
    ovtest::CLogCapture log;
    g_starts.clear();
    EXPECT_EQ(c.started, StartMapDownloadCharges(launcher, c.drive, &RecordStart)) << c.name;
    EXPECT_TRUE(log.Contains("マップ再要求")) << c.name;
    if (!c.started) {
      EXPECT_TRUE(g_starts.empty()) << c.name;
      EXPECT_TRUE(log.Contains("マップ再要求時のSDカード無し(チャージ実行無し)")) << c.name;
      continue;
    }
    ASSERT_EQ(1u, g_starts.size()) << c.name;
    EXPECT_EQ(launcher, g_starts[0].notify);
    EXPECT_EQ(c.drive, g_starts[0].drive);
    EXPECT_EQ(30u, g_starts[0].kinds) << "map, probe traffic, weather and music";
  }
}

}  // namespace
