// The launcher with its fold-out menu, shown for real under the test screen:
// the menu button opens and closes the menu, the entries that need a card
// follow it, hovers put their hints on the status line, and each menu
// command reaches its target: the music manager (a recording stand-in in an
// install folder of the test's own), the web pages (the browser hook), the
// windows (recording openers) and the download-page question against the
// stand-in service, with its fallback page and its end on close.
#include <gtest/gtest.h>

#include "OvWindows.h"

#include <dbt.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "CoreMessages.h"
#include "CoreProcessLock.h"
#include "FoldOutMenu.h"
#include "LauncherMenu.h"
#include "LauncherWindow.h"
#include "MainWindowTestSupport.h"
#include "MessageBoxCapture.h"
#include "OstrovelleLite/UserAgent.h"
#include "OstrovelleLite/UserListFile.h"
#include "ScreenLock.h"
#include "SkinWindowItemButton.h"
#include "SkinWindowItemStatic.h"
#include "StandIn.h"
#include "StringUtil.h"
#include "TestSupport.h"

namespace {

using maintest::PumpUntil;
using ui::CLauncherMenu;
using ui::CLauncherWindow;
using ui::CMenuWindow;

constexpr DWORD kLimitMs = 20000;
constexpr uint8_t kModel = 3;
constexpr const char* kLatestPath = "/pcapp/GetLatestPcaplAPI";
constexpr const char* kUserAgent = "11VuqTRNO/1.000203";

std::vector<std::string> g_opened;

HINSTANCE WINAPI RecordShellCall(HWND, LPCSTR, LPCSTR file, LPCSTR, LPCSTR, INT) {
  g_opened.push_back(file ? file : "");
  return reinterpret_cast<HINSTANCE>(42);
}

// One card on E: or none, registered and of the user's model.
class COneCardScan final : public CLauncherCardScan {
 public:
  explicit COneCardScan(const bool* card) : _card(card) {}
  void FindCards(std::vector<char>& cards, DWORD* last_error) override {
    cards.clear();
    *last_error = 0;
    if (*_card) cards.push_back('E');
  }
  bool IsWritable(char) override { return true; }
  LauncherCard ReadCard(char) override {
    LauncherCard card;
    card.link_read = true;
    card.device_no = "DEV123";
    card.model = kModel;
    return card;
  }
  bool IsRegistered(const std::string&) override { return true; }
  uint64_t FreeSpace(char) override { return 16000000000ull; }

 private:
  const bool* _card;  // not owned
};

// What the replaced window openers were asked for, one line each.
struct OpenerRecord {
  std::vector<std::string> calls;
  ui::LauncherMenuOpeners Openers() {
    ui::LauncherMenuOpeners openers;
    openers.settings = [this](HWND owner, char drive, uint8_t model) {
      calls.push_back(FormatString("settings %d %c %d", owner != nullptr, drive ? drive : '-',
                                   static_cast<int>(model)));
    };
    openers.card_information = [this](HWND owner, char drive) {
      calls.push_back(FormatString("card %d %c", owner != nullptr, drive ? drive : '-'));
    };
    openers.version = [this](HWND owner) {
      calls.push_back(FormatString("version %d", owner != nullptr));
    };
    return openers;
  }
};

class LauncherMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(_standin.IsRunning()) << "tools/test starts the stand-in service";
    const std::string info = _dir.File("Connection.info");
    ASSERT_TRUE(ovtest::WriteFileBytes(info, _standin.ConnectionInfo()));
    SetEnvironmentVariableA("OV_CONNECTION_INFO", info.c_str());
    // The music manager of this test: the recorder, started from here.
    const std::string recorder = ovtest::ExecutableFolder() + OV_RECORDER_EXE;
    ASSERT_TRUE(CopyFileA(recorder.c_str(), _install.File("Ostrovelle_Music.exe").c_str(), FALSE));
    SetEnvironmentVariableA("OV_INSTALL_DIR", _install.Path().c_str());
    CUserListFile users;
    ASSERT_TRUE(users.AddUser("DEV123", "taro", 5, kUserAgent, 9));
    g_opened.clear();
    browsertest::SetShellExecute(&RecordShellCall);
  }
  void TearDown() override {
    if (_window && _window->Handle()) DestroyWindow(_window->Handle());
    _window.reset();
    maintest::Pump();
    // A music manager the case started ends as the launcher would end it.
    for (const char* title : {"Ostrovelle Music Setting", "Ostrovelle Music Manual"}) {
      const HWND music = FindWindowA(lib::wfc::kDefaultWindowClass, title);
      if (music) PostMessageA(music, RegisterOvMessage(kMsgRequestEnd), 0, 0);
    }
    PumpUntil(
        [] {
          return !FindWindowA(lib::wfc::kDefaultWindowClass, "Ostrovelle Music Setting") &&
                 !FindWindowA(lib::wfc::kDefaultWindowClass, "Ostrovelle Music Manual");
        },
        kLimitMs);
    browsertest::SetShellExecute(nullptr);
    SetEnvironmentVariableA("OV_CONNECTION_INFO", nullptr);
    SetEnvironmentVariableA("OV_INSTALL_DIR", nullptr);
  }

  void Open() {
    _window = std::make_unique<CLauncherWindow>();
    _window->SetQuitOnDestroy(false);
    _window->SetUnitModel(kModel);
    _window->SetCardScan(std::make_unique<COneCardScan>(&_card));
    ui::LauncherMenuOpeners openers = _openers.Openers();
    if (_real_version) openers.version = nullptr;
    if (_real_windows) {
      openers.settings = nullptr;
      openers.card_information = nullptr;
    }
    _window->SetMenuOpeners(openers);
    ASSERT_TRUE(_window->CreateMainWindow());
    ShowWindow(_window->Handle(), SW_SHOW);
    UpdateWindow(_window->Handle());
    maintest::Pump();
  }

  CMenuWindow& Root() { return *static_cast<CLauncherMenu*>(_window->Menu())->Root(); }

  // A click on a launcher item, as the item posts it, handled.
  bool Click(int id) {
    if (!_window->ClickItem(id)) return false;
    maintest::Pump();
    return true;
  }

  // The menu entry's click as the menu reports it.
  void Command(int main, int sub) {
    SendMessageA(_window->Handle(), CLauncherWindow::kMenuCommandMessage, main, sub);
  }

  std::string MusicStarts() const {
    return ovtest::ReadFileOrEmpty(_install.File("Ostrovelle_Music.exe.cmdline"));
  }

  size_t Inquiries() const {
    size_t count = 0;
    for (const ovtest::StandInRequest& request : _standin.Requests()) {
      count += request.path == kLatestPath;
    }
    return count;
  }

  ovtest::CCoreProcessLock _core_lock;
  ovtest::CScreenLock _screen;
  ovtest::CScopedDataRoot _root;
  ovtest::CStandIn _standin;
  ovtest::CTempDir _dir;
  ovtest::CTempDir _install;
  ovtest::CMessageBoxCapture _boxes;
  OpenerRecord _openers;
  bool _card = true;
  bool _real_version = false;
  bool _real_windows = false;
  std::unique_ptr<CLauncherWindow> _window;
};

TEST_F(LauncherMenuTest, MenuButtonOpensAndClosesTheFoldOutMenu) {
  Open();
  ASSERT_NE(nullptr, _window->Menu());
  EXPECT_FALSE(_window->Menu()->IsOpen());
  ASSERT_TRUE(Click(CLauncherWindow::kMenuButton.id));
  EXPECT_TRUE(_window->Menu()->IsOpen());
  EXPECT_FALSE(_window->FindItem(CLauncherWindow::kMenuButton.id)->IsVisible());
  EXPECT_TRUE(_window->FindItem(CLauncherWindow::kMenuButtonClose.id)->IsVisible());
  ASSERT_TRUE(PumpUntil([&] { return !Root().IsOpening(); }, kLimitMs));
  // The root hangs at the right of the menu button, level with its top.
  const RECT button = _window->FindItem(CLauncherWindow::kMenuButton.id)->Rect();
  POINT anchor = {button.right + 4, button.top};
  ClientToScreen(_window->Handle(), &anchor);
  RECT placed;
  GetWindowRect(Root().Handle(), &placed);
  EXPECT_EQ(anchor.x, placed.left);
  EXPECT_EQ(anchor.y, placed.top);

  // The launcher moves: the menu goes with it.
  RECT launcher;
  GetWindowRect(_window->Handle(), &launcher);
  SetWindowPos(_window->Handle(), nullptr, launcher.left - 30, launcher.top + 20, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  GetWindowRect(Root().Handle(), &placed);
  EXPECT_EQ(anchor.x - 30, placed.left);
  EXPECT_EQ(anchor.y + 20, placed.top);

  // A sub-menu out for the picture.
  ASSERT_TRUE(Root().ClickItem(CMenuWindow::kFirstButtonId + 1));
  ASSERT_TRUE(PumpUntil(
      [&] {
        CMenuWindow* sub = Root().SubMenu(1);
        return sub->IsOpen() && !sub->IsOpening() && !Root().IsOpening();
      },
      kLimitMs));
  // Faded in and drawn on the screen.
  CMenuWindow* sub = Root().SubMenu(1);
  auto* last = dynamic_cast<ui::CSkinWindowItemButton*>(sub->Button(1));
  ASSERT_NE(nullptr, last);
  const RECT drawn = sub->TargetRect();
  EXPECT_TRUE(PumpUntil(
      [&] {
        RedrawWindow(sub->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        HDC screen = GetDC(nullptr);
        const COLORREF edge = GetPixel(screen, drawn.left + 1, drawn.bottom - 2);
        ReleaseDC(nullptr, screen);
        return last->Alpha() == 255 && edge != RGB(0, 0, 0);
      },
      kLimitMs))
      << "the sub-menu never showed on the screen";
  // Wine stacks the owner's X window over the owned windows that lie on it,
  // which would leave them black in the picture: the owner steps aside.
  ShowWindow(_window->Handle(), SW_HIDE);
  PumpUntil([] { return false; }, 200);
  maintest::Screenshot("launcher_menu_open");
  ShowWindow(_window->Handle(), SW_SHOWNOACTIVATE);

  ASSERT_TRUE(Click(CLauncherWindow::kMenuButtonClose.id));
  EXPECT_FALSE(_window->Menu()->IsOpen());
  EXPECT_FALSE(IsWindowVisible(Root().SubMenu(1)->Handle()));
  EXPECT_TRUE(_window->FindItem(CLauncherWindow::kMenuButton.id)->IsVisible());
  EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(Root().Handle()); }, kLimitMs));
}

// Settings, both music entries and the card information need a card; the
// other entries do not.
TEST_F(LauncherMenuTest, CardEntriesFollowTheCard) {
  _card = false;
  Open();
  const auto enabled = [&](size_t main, size_t sub) {
    return Root().SubMenu(main)->Button(sub)->IsEnabled();
  };
  EXPECT_FALSE(enabled(0, 0));
  EXPECT_FALSE(enabled(1, 0));
  EXPECT_FALSE(enabled(1, 1));
  EXPECT_FALSE(enabled(3, 1));
  EXPECT_TRUE(enabled(0, 1));
  EXPECT_TRUE(enabled(2, 0));
  EXPECT_TRUE(enabled(3, 2));

  _card = true;
  PostMessageA(_window->Handle(), RegisterOvMessage(kMsgSDChange), 'E', 0);
  ASSERT_TRUE(PumpUntil([&] { return enabled(1, 1); }, kLimitMs));
  EXPECT_TRUE(enabled(0, 0));
  EXPECT_TRUE(enabled(3, 1));

  _card = false;
  PostMessageA(_window->Handle(), RegisterOvMessage(kMsgSDChange), 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return !enabled(1, 1); }, kLimitMs));
  EXPECT_FALSE(enabled(0, 0));
}

struct HintCase {
  const char* name;
  WPARAM menu;
  LPARAM item;
  int type;
  const char* text;
};
void PrintTo(const HintCase& c, std::ostream* os) { *os << c.name; }

const HintCase kHintCases[] = {
    {"DataButton", 0xFFFF, 0, 42, "データ取得関連の操作ができます"},
    {"MusicButton", 0xFFFF, 1, 45, "音楽転送関連の操作ができます"},
    {"WebButton", 0xFFFF, 2, 48, "関連webサイトへご案内します"},
    {"InfoButton", 0xFFFF, 3, 53, "各種情報を表示します"},
    {"Settings", 0, 0, 44, "設定を行います"},
    {"Refresh", 0, 1, 43, "各種データの取得を開始します"},
    {"MusicSetting", 1, 0, 47, "音楽ファイルの転送設定を行います"},
    {"MusicManual", 1, 1, 46, "音楽ファイルを選択して転送します"},
    {"DownloadPage", 2, 0, 51, "Ostrovelle関連サイトを開きます"},
    {"Registration", 2, 1, 49, "お客様登録サイトを開きます"},
    {"Version", 3, 0, 54, "バージョン情報を表示します"},
    {"CardInformation", 3, 1, 55, "SDカード情報を表示します"},
    {"Help", 3, 2, 56, "オンラインヘルプを開きます"},
};

class LauncherMenuHintTest : public LauncherMenuTest,
                             public ::testing::WithParamInterface<HintCase> {};

TEST_P(LauncherMenuHintTest, HoverPutsTheHintOnTheStatusLineAndLeavingTakesItOff) {
  const HintCase& c = GetParam();
  Open();
  PostMessageA(_window->Handle(), CLauncherWindow::kMenuHoverMessage, c.menu, c.item);
  ASSERT_TRUE(PumpUntil([&] { return _window->ShownStatusType() == c.type; }, kLimitMs));
  EXPECT_EQ(c.text, _window->StatusText());
  // Leaving gives the line back to what the launcher reports (the card, or
  // the charge chain's own line while it checks the server).
  PostMessageA(_window->Handle(), CLauncherWindow::kMenuHoverMessage, WPARAM(-1), LPARAM(-1));
  ASSERT_TRUE(PumpUntil([&] { return _window->ShownStatusType() < 40; }, kLimitMs));
  EXPECT_NE(c.text, _window->StatusText());
  EXPECT_FALSE(_window->StatusText().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, LauncherMenuHintTest, ::testing::ValuesIn(kHintCases),
                         ovtest::CaseName());

TEST_F(LauncherMenuTest, TheMenuButtonsHaveHintsOfTheirOwn) {
  Open();
  auto* button = _window->FindItem(CLauncherWindow::kMenuButton.id);
  const RECT r = button->Rect();
  SendMessageA(_window->Handle(), WM_MOUSEMOVE, 0,
               MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2));
  ASSERT_TRUE(PumpUntil([&] { return _window->ShownStatusType() == 40; }, kLimitMs));
  EXPECT_EQ("クリックでメニューを開きます", _window->StatusText());
}

struct CommandCase {
  const char* name;
  bool card;
  int main;
  int sub;
  std::vector<std::string> openers;  // what the openers were asked for
  const char* music;                 // the music manager's arguments, empty: not started
  const char* page;                  // part of the page opened, empty: none
};
void PrintTo(const CommandCase& c, std::ostream* os) { *os << c.name; }

const CommandCase kCommandCases[] = {
    {"Settings", true, 0, 0, {"settings 1 E 3"}, "", ""},
    {"MusicSettings", true, 1, 0, {}, "/d E /w @ /m setting", ""},
    {"MusicManual", true, 1, 1, {}, "/d E /w @ /m manual", ""},
    {"MusicWithoutACard", false, 1, 1, {}, "", ""},
    {"Registration", true, 2, 1, {}, "", "/evnavi/PcAppTopLite.html?"},
    {"Version", false, 3, 0, {"version 1"}, "", ""},
    {"CardInformation", true, 3, 1, {"card 1 E"}, "", ""},
    {"Help", false, 3, 2, {}, "", "/car/ostrovelle/ostrovelle_ev/onlinemanual/index.html"},
    {"Unknown", true, 4, 0, {}, "", ""},
};

class LauncherMenuCommandTest : public LauncherMenuTest,
                                public ::testing::WithParamInterface<CommandCase> {};

TEST_P(LauncherMenuCommandTest, EachEntryReachesItsTarget) {
  const CommandCase& c = GetParam();
  _card = c.card;
  Open();
  ASSERT_TRUE(Click(CLauncherWindow::kMenuButton.id));
  Command(c.main, c.sub);
  // Every command closes the menu first.
  EXPECT_FALSE(_window->Menu()->IsOpen());
  EXPECT_TRUE(_window->FindItem(CLauncherWindow::kMenuButton.id)->IsVisible());
  EXPECT_EQ(c.openers, _openers.calls);
  if (c.music[0]) {
    ASSERT_TRUE(PumpUntil([&] { return !MusicStarts().empty(); }, kLimitMs));
    std::string expected = c.music;
    ReplaceAll(expected, "@",
               FormatString("%08X",
                            static_cast<unsigned>(reinterpret_cast<uintptr_t>(_window->Handle()))));
    std::string started = MusicStarts();
    started.erase(0, started.find_first_not_of(' '));
    EXPECT_EQ(expected + "\n", started);
    // Its window, which the end of the case closes.
    const char* title = c.sub == 0 ? "Ostrovelle Music Setting" : "Ostrovelle Music Manual";
    EXPECT_TRUE(PumpUntil(
        [&] { return FindWindowA(lib::wfc::kDefaultWindowClass, title) != nullptr; }, kLimitMs));
  } else {
    maintest::Pump();
    EXPECT_EQ("", MusicStarts());
  }
  if (c.page[0]) {
    ASSERT_EQ(1u, g_opened.size());
    EXPECT_NE(std::string::npos, g_opened[0].find(c.page)) << g_opened[0];
    EXPECT_EQ(0u, g_opened[0].find("http://127.0.0.1:")) << g_opened[0];
  } else {
    EXPECT_TRUE(g_opened.empty());
  }
  EXPECT_TRUE(_boxes.Boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, LauncherMenuCommandTest, ::testing::ValuesIn(kCommandCases),
                         ovtest::CaseName());

TEST_F(LauncherMenuTest, RefreshPostsTheStartOfTheCharges) {
  Open();
  Command(0, 1);
  MSG msg;
  const UINT start = RegisterOvMessage(ui::CChargeChain::kRequestStartCharge);
  EXPECT_TRUE(PeekMessageA(&msg, _window->Handle(), start, start, PM_REMOVE));
}

TEST_F(LauncherMenuTest, RegistrationPageCarriesTheUserAndItsFunctionCode) {
  Open();
  Command(2, 1);
  ASSERT_EQ(1u, g_opened.size());
  EXPECT_NE(std::string::npos, g_opened[0].find("100")) << g_opened[0];
  EXPECT_NE(std::string::npos, g_opened[0].find("taro")) << g_opened[0];
}

// The version window from the menu, shown for real: a timer of the test's
// thread, served by the window's own modal loop, takes its picture once it
// has faded in and ends it with Escape.
struct VersionWatch {
  int ticks = 0;
  int seen = 0;
  bool shot = false;
};
VersionWatch g_watch;

void CALLBACK WatchVersionWindow(HWND, UINT, UINT_PTR, DWORD) {
  ++g_watch.ticks;
  const HWND version = FindWindowA(lib::wfc::kDefaultWindowClass, "Ostrovelle Version");
  if (version && IsWindowVisible(version)) {
    // Four ticks after it shows, the overlay's fade is over. Wine stacks
    // the owner's X window over the owned windows that lie on it, which
    // would leave them black in the picture: the owner steps aside first.
    ++g_watch.seen;
    if (g_watch.seen == 4) {
      const HWND owner = GetWindow(version, GW_OWNER);
      RECT r;
      GetWindowRect(owner, &r);
      SetWindowPos(owner, nullptr, r.left + 480, r.top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (g_watch.seen == 7) {
      maintest::Screenshot("launcher_version_window");
      g_watch.shot = true;
      PostMessageA(version, WM_KEYDOWN, VK_ESCAPE, 0);
    }
  } else if (g_watch.ticks > 200 && version) {
    PostMessageA(version, WM_CLOSE, 0, 0);
  }
}

TEST_F(LauncherMenuTest, VersionEntryShowsTheVersionWindowModally) {
  _real_version = true;
  Open();
  g_watch = VersionWatch{};
  const UINT_PTR timer = SetTimer(nullptr, 0, 100, &WatchVersionWindow);
  Command(3, 0);
  KillTimer(nullptr, timer);
  EXPECT_TRUE(g_watch.shot);
  EXPECT_EQ(nullptr, FindWindowA(lib::wfc::kDefaultWindowClass, "Ostrovelle Version"));
  EXPECT_TRUE(_openers.calls.empty());
}

// Without openers of the test's, the settings and card-information entries
// show the real windows over the launcher; they are made once, and go with
// the launcher.
TEST_F(LauncherMenuTest, SettingsAndCardInformationShowTheirWindows) {
  _real_windows = true;
  Open();
  struct Entry {
    int main;
    int sub;
    const char* title;
  };
  for (const Entry& entry : {Entry{0, 0, "Ostrovelle Setting"}, Entry{3, 1, "Ostrovelle SDInfo"}}) {
    Command(entry.main, entry.sub);
    maintest::Pump();
    const HWND shown = FindWindowA(lib::wfc::kDefaultWindowClass, entry.title);
    ASSERT_NE(nullptr, shown) << entry.title;
    EXPECT_TRUE(IsWindowVisible(shown)) << entry.title;
    EXPECT_EQ(_window->Handle(), GetWindow(shown, GW_OWNER)) << entry.title;
    // Asked again, the same window shows.
    ShowWindow(shown, SW_HIDE);
    Command(entry.main, entry.sub);
    maintest::Pump();
    EXPECT_EQ(shown, FindWindowA(lib::wfc::kDefaultWindowClass, entry.title)) << entry.title;
    EXPECT_TRUE(IsWindowVisible(shown)) << entry.title;
  }
  EXPECT_TRUE(_openers.calls.empty());
  DestroyWindow(_window->Handle());
  maintest::Pump();
  EXPECT_EQ(nullptr, FindWindowA(lib::wfc::kDefaultWindowClass, "Ostrovelle Setting"));
  EXPECT_EQ(nullptr, FindWindowA(lib::wfc::kDefaultWindowClass, "Ostrovelle SDInfo"));
}

// The system menu of a right click on the icon, read while it is open by a
// timer its own loop serves, then dismissed.
struct SystemMenuWatch {
  bool seen = false;
  UINT restore = 0;
  UINT move = 0;
  UINT minimize = 0;
};
SystemMenuWatch g_system_menu;

void CALLBACK WatchSystemMenu(HWND, UINT, UINT_PTR, DWORD) {
  const HWND popup = FindWindowA("#32768", nullptr);
  if (!popup || !IsWindowVisible(popup)) return;
  constexpr UINT kGetMenu = 0x01E1;  // MN_GETHMENU
  const HMENU menu = reinterpret_cast<HMENU>(SendMessageA(popup, kGetMenu, 0, 0));
  if (menu && !g_system_menu.seen) {
    g_system_menu.seen = true;
    g_system_menu.restore = GetMenuState(menu, SC_RESTORE, MF_BYCOMMAND);
    g_system_menu.move = GetMenuState(menu, SC_MOVE, MF_BYCOMMAND);
    g_system_menu.minimize = GetMenuState(menu, SC_MINIMIZE, MF_BYCOMMAND);
  }
  EndMenu();
}

TEST_F(LauncherMenuTest, RightClickOnTheIconOpensTheSystemMenu) {
  Open();
  g_system_menu = SystemMenuWatch{};
  const RECT icon = _window->FindItem(CLauncherWindow::kApplicationIcon.id)->Rect();
  const LPARAM at = MAKELPARAM((icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2);
  const UINT_PTR timer = SetTimer(nullptr, 0, 100, &WatchSystemMenu);
  SendMessageA(_window->Handle(), WM_RBUTTONDOWN, MK_RBUTTON, at);
  SendMessageA(_window->Handle(), WM_RBUTTONUP, 0, at);
  KillTimer(nullptr, timer);
  ASSERT_TRUE(g_system_menu.seen);
  EXPECT_TRUE(g_system_menu.restore & MF_GRAYED);
  EXPECT_FALSE(g_system_menu.move & MF_GRAYED);
  EXPECT_FALSE(g_system_menu.minimize & MF_GRAYED);
  maintest::Pump();
  EXPECT_NE(nullptr, _window->Handle());
  EXPECT_FALSE(IsIconic(_window->Handle()));
}

TEST_F(LauncherMenuTest, DoubleClickOnTheIconCloses) {
  Open();
  const RECT icon = _window->FindItem(CLauncherWindow::kApplicationIcon.id)->Rect();
  const LPARAM at = MAKELPARAM((icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2);
  SendMessageA(_window->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  EXPECT_TRUE(PumpUntil([&] { return _window->Handle() == nullptr; }, kLimitMs));
}

// The card search animation runs from a volume notice until the detection
// step has looked at the drives.
TEST_F(LauncherMenuTest, TheSearchAnimationRunsWhileADetectionIsPending) {
  _card = false;
  Open();
  EXPECT_FALSE(_window->IsSearchShown());
  _card = true;
  DEV_BROADCAST_VOLUME volume = {};
  volume.dbcv_size = sizeof(volume);
  volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
  volume.dbcv_unitmask = 1u << ('E' - 'A');
  SendMessageA(_window->Handle(), WM_DEVICECHANGE, DBT_DEVICEARRIVAL,
               reinterpret_cast<LPARAM>(&volume));
  EXPECT_TRUE(_window->IsSearchShown());
  ASSERT_TRUE(PumpUntil([&] { return !_window->IsDetectionPending(); }, kLimitMs));
  EXPECT_FALSE(_window->IsSearchShown());
  EXPECT_EQ('E', _window->CurrentDrive());
}

// A click on the card icon of the active launcher opens the SD panel.
TEST_F(LauncherMenuTest, TheCardIconOpensTheSDPanel) {
  Open();
  SetForegroundWindow(_window->Handle());
  SetActiveWindow(_window->Handle());
  ASSERT_TRUE(PumpUntil([&] { return GetActiveWindow() == _window->Handle(); }, kLimitMs));
  const RECT icon = _window->FindItem(CLauncherWindow::kSDEjectableIcon.id)->Rect();
  const LPARAM at = MAKELPARAM((icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2);
  SendMessageA(_window->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageA(_window->Handle(), WM_LBUTTONUP, 0, at);
  ASSERT_TRUE(_window->IsSDPanelOpen());
  EXPECT_TRUE(_window->FindItem(CLauncherWindow::kSDEjectButton.id)->IsVisible());
  EXPECT_TRUE(_window->FindItem(CLauncherWindow::kSDEjectButton.id)->IsEnabled());
  EXPECT_TRUE(_window->FindItem(CLauncherWindow::kSDAlivalIcon.id)->IsVisible());
  EXPECT_FALSE(_window->FindItem(CLauncherWindow::kStatusMessageImage.id)->IsVisible());
  UpdateWindow(_window->Handle());
  maintest::Pump();
  maintest::Screenshot("launcher_sd_panel");
  // The menu button closes the panel before it opens the menu.
  ASSERT_TRUE(Click(CLauncherWindow::kMenuButton.id));
  EXPECT_FALSE(_window->IsSDPanelOpen());
  EXPECT_TRUE(_window->Menu()->IsOpen());
}

struct UrlCase {
  const char* name;
  const char* scenario;  // the stand-in's answer to the question
  const char* opened;    // part of the page opened
};
void PrintTo(const UrlCase& c, std::ostream* os) { *os << c.name; }

constexpr const char* kTopPage = "/car/ostrovelle/ostrovelle_ev/index.html";
const UrlCase kUrlCases[] = {
    {"WebPage", "ver=9.0.0.0&url=http://127.0.0.1/new/download.html",
     "http://127.0.0.1/new/download.html"},
    {"NotAWebPage", "ver=9.0.0.0&url=file:///C:/windows/system32/notepad.exe", kTopPage},
    {"ServerError", "ret=12", kTopPage},
    {"HttpStatus", "status=500", kTopPage},
    {"NotAReply", "reply_hex=3c68746d6c3e6572726f723c2f68746d6c3e", kTopPage},
};

class LauncherMenuUrlTest : public LauncherMenuTest,
                            public ::testing::WithParamInterface<UrlCase> {};

// Without a card the question carries the last user's user agent.
TEST_P(LauncherMenuUrlTest, OpensTheDownloadPageOrTheTopPage) {
  const UrlCase& c = GetParam();
  ASSERT_TRUE(_standin.Set(kLatestPath, c.scenario));
  _card = false;
  Open();
  Command(2, 0);
  ASSERT_TRUE(PumpUntil([&] { return !g_opened.empty(); }, kLimitMs));
  EXPECT_FALSE(_window->IsUrlThreadRunning());
  ASSERT_EQ(1u, g_opened.size());
  EXPECT_NE(std::string::npos, g_opened[0].find(c.opened)) << g_opened[0];
  EXPECT_EQ(1u, Inquiries());
  for (const ovtest::StandInRequest& request : _standin.Requests()) {
    if (request.path != kLatestPath) continue;
    EXPECT_EQ("POST", request.method);
    bool agent = false;
    for (const auto& header : request.headers) agent = agent || header.second == kUserAgent;
    EXPECT_TRUE(agent) << "the last user's user agent";
  }
  EXPECT_TRUE(_boxes.Boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, LauncherMenuUrlTest, ::testing::ValuesIn(kUrlCases),
                         ovtest::CaseName());

TEST_F(LauncherMenuTest, ASecondDownloadPageClickWhileTheQuestionRunsIsDropped) {
  ASSERT_TRUE(
      _standin.Set(kLatestPath, "delay_ms=1500&ver=9.0.0.0&url=http://127.0.0.1/new/dl.html"));
  _card = false;
  Open();
  Command(2, 0);
  ASSERT_TRUE(_standin.WaitForRequests(1, kLimitMs));
  EXPECT_TRUE(_window->IsUrlThreadRunning());
  Command(2, 0);
  ASSERT_TRUE(PumpUntil([&] { return !_window->IsUrlThreadRunning(); }, kLimitMs));
  maintest::Pump();
  EXPECT_EQ((std::vector<std::string>{"http://127.0.0.1/new/dl.html"}), g_opened);
  EXPECT_EQ(1u, Inquiries());
  // Once it ended, the entry asks again.
  Command(2, 0);
  ASSERT_TRUE(PumpUntil([&] { return g_opened.size() == 2; }, kLimitMs));
  EXPECT_EQ(2u, Inquiries());
}

TEST_F(LauncherMenuTest, ClosingTheLauncherStopsAndJoinsARunningQuestion) {
  ASSERT_TRUE(_standin.Set(kLatestPath, "delay_ms=8000&ver=9.0.0.0&url=http://127.0.0.1/x.html"));
  _card = false;
  Open();
  Command(2, 0);
  ASSERT_TRUE(_standin.WaitForRequests(1, kLimitMs));
  ASSERT_TRUE(_window->IsUrlThreadRunning());
  PostMessageA(_window->Handle(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return _window->Handle() == nullptr; }, kLimitMs));
  EXPECT_FALSE(_window->IsUrlThreadRunning());
  maintest::Pump();
  EXPECT_TRUE(g_opened.empty());
}

}  // namespace
