// The launcher's questions with the real launcher on the test screen: the
// core's requests posted as the core posts them, the notice drawer clicked,
// and the named events of the answers, which the test makes and holds as the
// map charge would, read back. Also the five-minute refresh question after a
// declined reminder, the card-too-small box, and the information charge
// offered before closing or ejecting (a clock and a core starter of the
// test's own).
#include <gtest/gtest.h>

#include "OvWindows.h"

#include <cctype>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "CardMaker.h"
#include "CoreMessages.h"
#include "CoreProcessLock.h"
#include "Handle.h"
#include "LauncherWindow.h"
#include "MainWindowTestSupport.h"
#include "MessageBoxCapture.h"
#include "OstrovelleLite/OstrovelleConfig.h"
#include "ProgramStart.h"
#include "ScreenLock.h"
#include "StandIn.h"
#include "StringUtil.h"
#include "TestSupport.h"
#include "VolumeEject.h"

namespace {

using ui::CLauncherWindow;
using ui::CMapChargeWindow;

constexpr DWORD kLimitMs = 10000;
constexpr uint8_t kModel = 3;

// One registered, writable, roomy card, or none.
class COneCardScan final : public CLauncherCardScan {
 public:
  COneCardScan(const bool* present, char letter) : _present(present), _letter(letter) {}
  void FindCards(std::vector<char>& cards, DWORD* last_error) override {
    cards.assign(*_present ? 1 : 0, _letter);
    *last_error = 0;
  }
  bool IsWritable(char) override { return true; }
  LauncherCard ReadCard(char) override {
    LauncherCard card;
    card.link_read = true;
    card.device_no = std::string("DEV-") + _letter;
    card.model = kModel;
    return card;
  }
  bool IsRegistered(const std::string&) override { return true; }
  uint64_t FreeSpace(char) override { return 16000000000ull; }

 private:
  const bool* _present;  // not owned
  char _letter;
};

// Counts ejects; every device call succeeds.
class CCountingDevice final : public CVolumeDevice {
 public:
  int ejects = 0;
  UINT DriveType(const char*) override { return DRIVE_REMOVABLE; }
  HANDLE Open(const char*, DWORD) override { return reinterpret_cast<HANDLE>(0x4242); }
  bool Control(HANDLE, DWORD code, void*, DWORD) override {
    ejects += code == IOCTL_STORAGE_EJECT_MEDIA;
    return true;
  }
  bool Close(HANDLE) override { return true; }
  void Pause(DWORD) override {}
};

// What the launcher asked of the core, the clock and the question.
struct Script {
  std::vector<std::pair<char, uint32_t>> starts;
  bool start_fails = false;
  SYSTEMTIME now = {};
  int asked = 0;
  bool answer_yes = false;
};
Script g_script;

bool RecordStart(HWND, char drive, uint32_t kinds) {
  g_script.starts.emplace_back(drive, kinds);
  return !g_script.start_fails;
}
SYSTEMTIME ScriptClock() { return g_script.now; }
bool ScriptAsk(HWND) {
  ++g_script.asked;
  return g_script.answer_yes;
}

SYSTEMTIME Plus(const SYSTEMTIME& time, int seconds) {
  FILETIME file_time;
  SystemTimeToFileTime(&time, &file_time);
  ULARGE_INTEGER value;
  value.LowPart = file_time.dwLowDateTime;
  value.HighPart = file_time.dwHighDateTime;
  value.QuadPart += static_cast<ULONGLONG>(seconds) * 10000000ull;
  file_time.dwLowDateTime = value.LowPart;
  file_time.dwHighDateTime = value.HighPart;
  SYSTEMTIME out;
  FileTimeToSystemTime(&file_time, &out);
  return out;
}

// The answer events, made as the core's map charge makes them: auto-reset,
// unsignalled, yes and no of each pair.
class CAnswerEvents final {
 public:
  CAnswerEvents() {
    for (const char* yes : {kMapLicenseEvent, kMapDownloadEvent, kMapVerifyEvent, kMapProbeEvent}) {
      for (const std::string& name : {std::string(yes), std::string(yes) + kMapAnswerNoSuffix}) {
        _events[name].Reset(CreateEventA(nullptr, FALSE, FALSE, name.c_str()));
      }
    }
  }
  // The events that are set now (taking them, as the core's wait does).
  std::vector<std::string> Taken() {
    std::vector<std::string> set;
    for (auto& [name, event] : _events) {
      if (WaitForSingleObject(event.Get(), 0) == WAIT_OBJECT_0) set.push_back(name);
    }
    return set;
  }

 private:
  std::map<std::string, CHandle> _events;
};

using Names = std::vector<std::string>;

class LauncherNoticesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_script = Script{};
    GetLocalTime(&g_script.now);
  }
  void TearDown() override {
    if (_window && _window->Handle()) DestroyWindow(_window->Handle());
    _window.reset();
    maintest::Pump();
    SetVolumeDevice(nullptr);
  }

  void Open() {
    _window = std::make_unique<CLauncherWindow>();
    _window->SetQuitOnDestroy(false);
    _window->SetUnitModel(kModel);
    _window->SetCardScan(std::make_unique<COneCardScan>(&_card, 'E'));
    _window->Notices().SetCoreStarter(&RecordStart);
    _window->Notices().SetClock(&ScriptClock);
    _window->Notices().SetAsker(&ScriptAsk);
    ASSERT_TRUE(_window->CreateMainWindow());
    ShowWindow(_window->Handle(), SW_SHOW);
    UpdateWindow(_window->Handle());
    maintest::Pump();
  }

  void Post(const char* message, WPARAM wparam, LPARAM lparam) {
    PostMessageA(_window->Handle(), RegisterOvMessage(message), wparam, lparam);
  }

  CMapChargeWindow* Notice() { return _window->Notices().Window(); }

  // Waits until the drawer shows `screen` and has settled.
  ::testing::AssertionResult WaitForScreen(int screen) {
    const bool shown = maintest::PumpUntil(
        [&] {
          return Notice() && Notice()->IsShowing() && Notice()->Screen() == screen &&
                 !Notice()->Drawer().Sliding() && !Notice()->Drawer().Fading();
        },
        kLimitMs);
    if (!shown) return ::testing::AssertionFailure() << "screen " << screen << " never showed";
    maintest::Pump();
    return ::testing::AssertionSuccess();
  }

  // Clicks an item of the drawer and waits for the launcher to take the
  // answer.
  ::testing::AssertionResult Click(const ui::SkinItemDescriptor& item) {
    if (!Notice()->ClickItem(item.id)) return ::testing::AssertionFailure() << "no click";
    if (!maintest::PumpUntil([&] { return !Notice()->IsShowing(); }, kLimitMs)) {
      return ::testing::AssertionFailure() << "the drawer stayed";
    }
    maintest::Pump();
    return ::testing::AssertionSuccess();
  }

  // A traffic charge that ended well `minutes_ago` minutes before now.
  void TrafficDone(int minutes_ago) {
    const SYSTEMTIME now = g_script.now;
    g_script.now = Plus(now, -minutes_ago * 60);
    Post(kMsgNotifyError, 0x4000000, 0);
    maintest::Pump();
    g_script.now = now;
  }

  ovtest::CCoreProcessLock _core_lock;
  ovtest::CScreenLock _screen;
  ovtest::CScopedDataRoot _root;
  ovtest::CMessageBoxCapture _boxes;
  CAnswerEvents _events;
  bool _card = true;
  std::unique_ptr<CLauncherWindow> _window;
};

struct NoticeCase {
  const char* name;
  const char* message;
  WPARAM wparam;
  LPARAM lparam;
  int screen;
  const ui::SkinItemDescriptor* button;
  Names set;
};
void PrintTo(const NoticeCase& c, std::ostream* os) { *os << c.name; }

const NoticeCase kNoticeCases[] = {
    {"ReminderOK",
     kMsgMapLicense,
     2,
     0x261224,
     2,
     &CMapChargeWindow::kOKShortButton,
     {"Global\\EVOVMapLicense"}},
    {"ReminderReReserve",
     kMsgMapLicense,
     2,
     0x261224,
     2,
     &CMapChargeWindow::kReReserveButton,
     {"Global\\EVOVMapLicenseNo"}},
    {"DownloadYes",
     kMsgMapLicense,
     3,
     3725,
     4,
     &CMapChargeWindow::kYesBottomButton,
     {"Global\\EVOVMapDownload"}},
    {"DownloadNo",
     kMsgMapLicense,
     3,
     3725,
     4,
     &CMapChargeWindow::kCancelBottomButton,
     {"Global\\EVOVMapDownloadNo"}},
    {"VerifyYes", kMsgMapVerify, 0, 0, 7, &CMapChargeWindow::kYesButton, {"Global\\EVOVMapVerify"}},
    {"VerifyNo",
     kMsgMapVerify,
     0,
     0,
     7,
     &CMapChargeWindow::kCancelButton,
     {"Global\\EVOVMapVerifyNo"}},
    {"UnsentProbeYes",
     kMsgNoSendProbe,
     0,
     0,
     8,
     &CMapChargeWindow::kYesButton,
     {"Global\\EVOVMapProbe"}},
    {"UnsentProbeNo",
     kMsgNoSendProbe,
     0,
     0,
     8,
     &CMapChargeWindow::kCancelButton,
     {"Global\\EVOVMapProbeNo"}},
};

class LauncherNoticeAnswerTest : public LauncherNoticesTest,
                                 public ::testing::WithParamInterface<NoticeCase> {};

TEST_P(LauncherNoticeAnswerTest, SetsTheEventOfTheAnswer) {
  const NoticeCase& c = GetParam();
  Open();
  Post(c.message, c.wparam, c.lparam);
  ASSERT_TRUE(WaitForScreen(c.screen));
  EXPECT_TRUE(IsWindowVisible(Notice()->Handle()));
  RECT notice;
  RECT launcher;
  GetWindowRect(Notice()->Handle(), &notice);
  GetWindowRect(_window->Handle(), &launcher);
  EXPECT_EQ(launcher.top + 4, notice.bottom);
  EXPECT_EQ(launcher.left, notice.left);
  if (c.button->id == CMapChargeWindow::kYesButton.id ||
      c.button->id == CMapChargeWindow::kOKShortButton.id ||
      c.button->id == CMapChargeWindow::kYesBottomButton.id) {
    maintest::Screenshot(std::string("launcher_notice_screen") + std::to_string(c.screen));
  }
  EXPECT_TRUE(_events.Taken().empty());
  ASSERT_TRUE(Click(*c.button));
  EXPECT_EQ(c.set, _events.Taken());
  EXPECT_FALSE(IsWindowVisible(Notice()->Handle()));
  // Only a declined reminder arms the refresh question.
  EXPECT_EQ(c.set == Names{"Global\\EVOVMapLicenseNo"}, _window->Notices().IsRefreshArmed());
  EXPECT_TRUE(g_script.starts.empty());
  EXPECT_TRUE(_boxes.Boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, LauncherNoticeAnswerTest, ::testing::ValuesIn(kNoticeCases),
                         ovtest::CaseName());

// The card-too-small question is a box; its answer, not a fixed yes, goes
// to the core, which erases the card only on yes.
TEST_F(LauncherNoticesTest, TheCardTooSmallBoxPassesOnTheUsersAnswer) {
  Open();
  for (const int button : {IDYES, IDNO}) {
    const size_t before = _boxes.Boxes().size();
    _boxes.Answer(button);
    Post(kMsgMapLicense, 239, 0);
    ASSERT_TRUE(maintest::PumpUntil([&] { return _boxes.Boxes().size() == before + 1; }, kLimitMs));
    maintest::Pump();
    EXPECT_EQ(button == IDYES ? Names{"Global\\EVOVMapLicense"} : Names{"Global\\EVOVMapLicenseNo"},
              _events.Taken());
  }
  ASSERT_EQ(2u, _boxes.Boxes().size());
  EXPECT_NE(std::wstring::npos, _boxes.Boxes()[0].text.find(L"空き容量不足"));
  EXPECT_EQ(UINT(MB_ICONQUESTION), _boxes.Boxes()[0].style & MB_ICONMASK);
  EXPECT_EQ(UINT(MB_YESNO), _boxes.Boxes()[0].style & MB_TYPEMASK);
  EXPECT_EQ(nullptr, Notice());
}

TEST_F(LauncherNoticesTest, ASilencedReminderIsDeclinedAtOnceAndStillArmsTheRefresh) {
  COstrovelleConfig config;
  ASSERT_TRUE(config.SaveMapNotifyMessage(0));
  Open();
  ovtest::CLogCapture log;
  Post(kMsgMapLicense, 2, 0x261224);
  ASSERT_TRUE(maintest::PumpUntil([&] { return _window->Notices().IsRefreshArmed(); }, kLimitMs));
  EXPECT_EQ(Names{"Global\\EVOVMapLicenseNo"}, _events.Taken());
  EXPECT_TRUE(Notice() == nullptr || !Notice()->IsShowing());
  EXPECT_TRUE(log.Contains("地図更新リマインド通知 今後表示しないため、即応答"));
}

TEST_F(LauncherNoticesTest, TheReminderCheckBoxSilencesLaterReminders) {
  Open();
  Post(kMsgMapLicense, 2, 0x261224);
  ASSERT_TRUE(WaitForScreen(2));
  ASSERT_TRUE(Notice()->ClickItem(CMapChargeWindow::kDispMsgCheckBox.id));
  ASSERT_TRUE(maintest::PumpUntil([&] { return Notice()->CheckBoxOn(); }, kLimitMs));
  ASSERT_TRUE(Click(CMapChargeWindow::kOKShortButton));
  EXPECT_EQ(Names{"Global\\EVOVMapLicense"}, _events.Taken());
  COstrovelleConfig config;
  config.LoadMap();
  EXPECT_EQ(0, config.GetMapNotifyMessage());
}

// Five minutes after a declined reminder the launcher asks whether to
// refresh everything; the timer's tick is sent rather than waited for.
TEST_F(LauncherNoticesTest, TheRefreshQuestionStartsEveryKindOnlyWithACard) {
  Open();
  Post(kMsgMapLicense, 2, 0x261224);
  ASSERT_TRUE(WaitForScreen(2));
  ASSERT_TRUE(Click(CMapChargeWindow::kReReserveButton));
  ASSERT_TRUE(_window->Notices().IsRefreshArmed());

  SendMessageA(_window->Handle(), WM_TIMER, mapnotice::kRefreshTimer, 0);
  EXPECT_FALSE(_window->Notices().IsRefreshArmed());
  ASSERT_TRUE(WaitForScreen(5));
  EXPECT_EQ("最新の情報に更新しますか？", Notice()->InformationText());
  maintest::Screenshot("launcher_notice_screen5");
  ASSERT_TRUE(Click(CMapChargeWindow::kYesButton));
  EXPECT_EQ((std::vector<std::pair<char, uint32_t>>{{'E', 30}}), g_script.starts);

  // Declined, nothing starts.
  Post(kMsgMapLicense, 5, 0);
  ASSERT_TRUE(WaitForScreen(5));
  ASSERT_TRUE(Click(CMapChargeWindow::kCancelButton));
  EXPECT_EQ(1u, g_script.starts.size());

  // The card left while the question waited: yes starts nothing.
  _card = false;
  PostMessageA(_window->Handle(), RegisterOvMessage(kMsgSDChange), 0, 0);
  maintest::Pump();
  ASSERT_EQ(0, _window->CurrentDrive());
  Post(kMsgMapLicense, 5, 0);
  ASSERT_TRUE(WaitForScreen(5));
  ASSERT_TRUE(Click(CMapChargeWindow::kYesButton));
  EXPECT_EQ(1u, g_script.starts.size());
}

TEST_F(LauncherNoticesTest, AForwardedMapDownloadTakesTheRefreshQuestionAway) {
  Open();
  Post(kMsgMapLicense, 5, 0);
  ASSERT_TRUE(WaitForScreen(5));
  Post(kMsgMapDownload, 0, 0);
  ASSERT_TRUE(maintest::PumpUntil([&] { return !Notice()->IsShowing(); }, kLimitMs));
  EXPECT_FALSE(IsWindowVisible(Notice()->Handle()));
}

TEST_F(LauncherNoticesTest, UnknownRequestsAndAnswersOnlyLog) {
  Open();
  ovtest::CLogCapture log;
  Post(kMsgMapLicense, 4, 0);
  PostMessageA(_window->Handle(), mapnotice::kAnswerMessage, 99, 1);
  maintest::Pump();
  EXPECT_TRUE(log.Contains("未定義のマップチャージ要求 0x00000004"));
  EXPECT_TRUE(log.Contains("未定義のマップチャージ画面終了通知 0x00000063"));
  EXPECT_TRUE(_events.Taken().empty());
  EXPECT_TRUE(_boxes.Boxes().empty());
}

// The information charge before closing.
struct ExitCase {
  const char* name;
  int minutes_since_traffic;  // -1: no traffic charge in this run
  int transmit_exe3;
  bool answer_yes;
  bool start_fails;
  int asked;
  std::vector<std::pair<char, uint32_t>> starts;
  bool closes_at_once;
};
void PrintTo(const ExitCase& c, std::ostream* os) { *os << c.name; }

const ExitCase kExitCases[] = {
    {"NoTrafficCharge", -1, 1, true, false, 0, {}, true},
    {"WithinFifteenMinutes", 15, 1, true, false, 0, {}, true},
    {"TrafficSwitchedOff", 16, 0, true, false, 0, {}, true},
    {"AnsweredNo", 16, 1, false, false, 1, {}, true},
    {"AnsweredYes", 16, 1, true, false, 1, {{'E', 4}}, false},
    {"CoreDoesNotStart", 16, 1, true, true, 1, {{'E', 4}}, true},
};

class LauncherExitTest : public LauncherNoticesTest,
                         public ::testing::WithParamInterface<ExitCase> {};

TEST_P(LauncherExitTest, OffersTheTrafficInformationBeforeClosing) {
  const ExitCase& c = GetParam();
  COstrovelleConfig config;
  ASSERT_TRUE(config.SaveTransmitExe3(c.transmit_exe3));
  g_script.answer_yes = c.answer_yes;
  g_script.start_fails = c.start_fails;
  Open();
  if (c.minutes_since_traffic >= 0) TrafficDone(c.minutes_since_traffic);
  _window->ClickItem(CLauncherWindow::kCloseButton.id);
  maintest::Pump();
  EXPECT_EQ(c.asked, g_script.asked);
  EXPECT_EQ(c.starts, g_script.starts);
  if (c.closes_at_once) {
    ASSERT_TRUE(maintest::PumpUntil([&] { return _window->Handle() == nullptr; }, kLimitMs));
    return;
  }
  EXPECT_NE(nullptr, _window->Handle());
  EXPECT_EQ(2, _window->AfterTrafficMode());
  // The traffic charge's end closes the launcher, a second later.
  Post(kMsgNotifyError, 0x4000000, 0);
  ASSERT_TRUE(maintest::PumpUntil([&] { return _window->Handle() == nullptr; }, kLimitMs));
  EXPECT_TRUE(_boxes.Boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, LauncherExitTest, ::testing::ValuesIn(kExitCases),
                         ovtest::CaseName());

// The information charge before ejecting: the card goes once the traffic
// charge has ended.
TEST_F(LauncherNoticesTest, EjectWaitsForTheTrafficChargeTheUserWanted) {
  CCountingDevice device;
  SetVolumeDevice(&device);
  g_script.answer_yes = true;
  Open();
  TrafficDone(20);
  _window->ClickItem(CLauncherWindow::kSDEjectButton.id);
  maintest::Pump();
  EXPECT_EQ(1, g_script.asked);
  EXPECT_EQ((std::vector<std::pair<char, uint32_t>>{{'E', 4}}), g_script.starts);
  EXPECT_EQ(1, _window->AfterTrafficMode());
  EXPECT_EQ(0, device.ejects);

  Post(kMsgNotifyError, 0x4000000, 0);
  ASSERT_TRUE(maintest::PumpUntil([&] { return device.ejects == 1; }, kLimitMs));
  EXPECT_EQ(0, _window->AfterTrafficMode());

  // Declined, the card goes at once. A failed traffic charge does not
  // count as fresh information.
  g_script.answer_yes = false;
  g_script.now = Plus(g_script.now, 16 * 60);
  Post(kMsgNotifyError, 0x4000001, 0);
  maintest::Pump();
  _window->ClickItem(CLauncherWindow::kSDEjectButton.id);
  maintest::Pump();
  EXPECT_EQ(2, g_script.asked);
  EXPECT_EQ(2, device.ejects);
  EXPECT_EQ(1u, g_script.starts.size());
}

// The product's core, started for the launcher as the launcher starts it,
// against the stand-in: its download question and, after a yes, its
// unsent-probe question come up in the drawer, and the answers clicked there
// steer the map charge.
class CRealCore final {
 public:
  ~CRealCore() {
    if (_process && WaitForSingleObject(_process.Get(), 0) == WAIT_TIMEOUT) {
      TerminateProcess(_process.Get(), 1);
      WaitForSingleObject(_process.Get(), 5000);
    }
  }
  bool Start(HWND notify, char drive, uint32_t kinds) {
    std::string relative = OV_CORE_EXE_RELATIVE;
    ReplaceAll(relative, "/", "\\");
    std::string line = BuildCommandLine(ovtest::ExecutableFolder() + relative,
                                        BuildCoreArguments(notify, drive, kinds));
    SetEnvironmentVariableA("OV_TEST_NO_PHASE_PAUSE", "1");
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
      return false;
    }
    CloseHandle(process.hThread);
    _process.Reset(process.hProcess);
    return true;
  }

 private:
  CHandle _process;
};

std::string Hex(const std::string& bytes) {
  std::string hex;
  for (const unsigned char c : bytes) hex += FormatString("%02x", c);
  return hex;
}

constexpr uint32_t kMapSetId = 0x30010001;
constexpr DWORD kCoreLimitMs = 60000;

class LauncherRealCoreTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (!_standin.IsRunning()) GTEST_SKIP() << "the stand-in service is not running";
    ASSERT_TRUE(_card.IsValid());
    ASSERT_TRUE(_lock.IsHeld());
    const std::string info = _dir.File("Connection.info");
    ASSERT_TRUE(ovtest::WriteFileBytes(info, _standin.ConnectionInfo()));
    SetEnvironmentVariableA("OV_CONNECTION_INFO", info.c_str());
    const COstrovelleConfig config;
    ASSERT_TRUE(
        WritePrivateProfileStringA("Map", "SpeedOfLine", "5000000", config.GetIniPath().c_str()));
    // The unit one map version behind, with probe data it has not sent.
    ovtest::CCardMaker unit;
    unit.CcidHead(0x00012345).Model(kModel).FormatVersion(0x02000000);
    unit.AddRecord(kMapSetId, 0x01000003, 0x2011, 0, "NAVIDATA", "NAVIDATA");
    ASSERT_TRUE(unit.WriteCard(_card.Letter(), true));
    ASSERT_TRUE(CreateDirectoryA(_card.Path("PROBE").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(_card.Path("PROBE\\trip1").c_str(), nullptr));
    ASSERT_TRUE(ovtest::WriteFileBytes(_card.Path("PROBE\\trip1\\ProbeData.dat"), "probe"));
    // A marked map update of 1 GB: at 5 Mbit/s about 26 minutes.
    ASSERT_TRUE(_standin.Set("/pcapp/DownloadListLiteAPI",
                             "list_hex=" + Hex("00,00,00,1.000004,2012,1000000000,1,0,0,0,,\r\n")));
  }
  void TearDown() override {
    if (_window && _window->Handle()) DestroyWindow(_window->Handle());
    _window.reset();
    maintest::Pump();
    SetEnvironmentVariableA("OV_CONNECTION_INFO", nullptr);
  }

  std::string _answered_text;
  CMapChargeWindow* Notice() { return _window->Notices().Window(); }
  // Waits for `screen`, keeps its text in _answered_text and clicks `button`.
  ::testing::AssertionResult AnswerScreen(int screen, const ui::SkinItemDescriptor& button) {
    const bool shown = maintest::PumpUntil(
        [&] {
          return Notice() && Notice()->IsShowing() && Notice()->Screen() == screen &&
                 !Notice()->Drawer().Sliding() && !Notice()->Drawer().Fading();
        },
        kCoreLimitMs);
    if (!shown) {
      return ::testing::AssertionFailure()
             << "screen " << screen << " never showed; the core's log:\n"
             << ovtest::ReadFileOrEmpty(_root.Root() + "Log\\Ostrovelle_Core.log");
    }
    if (screen == 4)
      maintest::Screenshot(GetParam() ? "launcher_core_download_yes" : "launcher_core_download_no");
    _answered_text = Notice()->InformationText();
    if (!Notice()->ClickItem(button.id)) return ::testing::AssertionFailure() << "no click";
    // The core may ask its next question at once, in the same drawer.
    const auto answered = [&] { return !Notice()->IsShowing() || Notice()->Screen() != screen; };
    if (!maintest::PumpUntil(answered, kLimitMs)) {
      return ::testing::AssertionFailure() << "the drawer stayed";
    }
    return ::testing::AssertionSuccess();
  }
  bool MapDataAsked() const {
    for (const ovtest::StandInRequest& r : _standin.Requests()) {
      if (r.path.compare(0, 9, "/mapdata/") == 0) return true;
    }
    return false;
  }

  ovtest::CScopedDataRoot _root;
  ovtest::CTempDir _dir;
  ovtest::CStandIn _standin;
  // A card first, then the one-core lock, then the screen.
  ovtest::CTestCard _card;
  ovtest::CCoreProcessLock _lock;
  ovtest::CScreenLock _screen;
  ovtest::CMessageBoxCapture _boxes;
  bool _present = true;
  std::unique_ptr<CLauncherWindow> _window;
  CRealCore _core;
};

TEST_P(LauncherRealCoreTest, TheDownloadAnswerClickedInTheDrawerSteersTheMapCharge) {
  const bool yes = GetParam();
  _window = std::make_unique<CLauncherWindow>();
  _window->SetQuitOnDestroy(false);
  _window->SetUnitModel(kModel);
  _window->SetCardScan(std::make_unique<COneCardScan>(&_present, _card.Letter()));
  ASSERT_TRUE(_window->CreateMainWindow());
  ShowWindow(_window->Handle(), SW_SHOW);
  maintest::Pump();
  ASSERT_EQ(_card.Letter(), _window->CurrentDrive());

  ASSERT_TRUE(_core.Start(_window->Handle(), _card.Letter(), 2));
  ASSERT_TRUE(AnswerScreen(
      4, yes ? CMapChargeWindow::kYesBottomButton : CMapChargeWindow::kCancelBottomButton));
  // The estimate follows the line speed the charge measured: only its form
  // is fixed ("H:MM").
  const std::string text = _answered_text;
  const std::string fixed =
      "地図ダウンロードが可能になりました。\r\nダウンロードを開始しますか？\r\n（予想時間 ";
  ASSERT_EQ(0u, text.find(fixed)) << text;
  const std::string estimate = text.substr(fixed.size());
  const size_t colon = estimate.find(':');
  ASSERT_NE(std::string::npos, colon) << text;
  EXPECT_EQ("）", estimate.substr(colon + 3)) << text;
  for (size_t i = 0; i < colon + 3; ++i) {
    if (i != colon) {
      EXPECT_TRUE(isdigit(static_cast<unsigned char>(estimate[i]))) << text;
    }
  }
  // Taking the update, the charge asks whether the unsent probe data may
  // be left behind.
  if (yes) {
    ASSERT_TRUE(AnswerScreen(8, CMapChargeWindow::kYesButton));
  }
  // The charge goes on to the update's data only on yes; either way it ends.
  ASSERT_TRUE(maintest::PumpUntil(
      [&] { return (yes && MapDataAsked()) || (!yes && _window->BusyKinds() == 0); },
      kCoreLimitMs));
  if (!yes) {
    EXPECT_FALSE(MapDataAsked());
  }
}

INSTANTIATE_TEST_SUITE_P(Answers, LauncherRealCoreTest, ::testing::Bool());

}  // namespace
