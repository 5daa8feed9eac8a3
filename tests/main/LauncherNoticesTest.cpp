// The launcher's questions with the real launcher on the test screen: the
// core's requests posted as the core posts them, the notice drawer clicked,
// and the named events of the answers, which the test makes and holds as the
// map charge would, read back. Also the five-minute refresh question after a
// declined reminder, the card-too-small box, and the information charge
// offered before closing or ejecting (a clock and a core starter of the
// test's own). Last, the product's core against the stand-in, answered in
// the launcher: the download notice, the unsent-probe notice and the
// card-clear box, with what the core made of each answer.
#include <gtest/gtest.h>

#include "OvWindows.h"

#include <cctype>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "CardMaker.h"
#include "ChargeKind.h"
#include "ConfImageBuilder.h"
#include "CoreMessages.h"
#include "CoreProcessLock.h"
#include "Handle.h"
#include "LauncherWindow.h"
#include "MainWindowTestSupport.h"
#include "ErrorMessage.h"
#include "MessageBoxCapture.h"
#include "OstrovelleLite/NPCrcCalc.h"
#include "OstrovelleLite/OstrovelleConfig.h"
#include "ProgramStart.h"
#include "ScreenLock.h"
#include "SkinWindowItemDigitImage.h"
#include "StandIn.h"
#include "StringUtil.h"
#include "TestSupport.h"
#include "ScriptedVolumeDevice.h"
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
  maintest::CScriptedDevice device;
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

// The launcher on the test's card with the product's core against the
// stand-in; the card and the service's replies are each test's own.
class LauncherRealCoreBase : public ::testing::Test {
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
  }
  void TearDown() override {
    if (_window && _window->Handle()) DestroyWindow(_window->Handle());
    _window.reset();
    maintest::Pump();
    SetEnvironmentVariableA("OV_CONNECTION_INFO", nullptr);
  }

  // The unit one map version behind, with probe data it has not sent when
  // `unsent_probe`.
  ::testing::AssertionResult WriteUnit(bool unsent_probe) {
    ovtest::CCardMaker unit;
    unit.CcidHead(0x00012345).Model(kModel).FormatVersion(0x02000000);
    unit.AddRecord(kMapSetId, 0x01000003, 0x2011, 0, "NAVIDATA", "NAVIDATA");
    if (!unit.WriteCard(_card.Letter(), true)) return ::testing::AssertionFailure() << "no card";
    if (unsent_probe && !(CreateDirectoryA(_card.Path("PROBE").c_str(), nullptr) &&
                          CreateDirectoryA(_card.Path("PROBE\\trip1").c_str(), nullptr) &&
                          ovtest::WriteFileBytes(_card.Path(kProbeData), "probe"))) {
      return ::testing::AssertionFailure() << "no probe data";
    }
    return ::testing::AssertionSuccess();
  }

  void OpenLauncher() {
    _window = std::make_unique<CLauncherWindow>();
    _window->SetQuitOnDestroy(false);
    _window->SetUnitModel(kModel);
    _window->SetCardScan(std::make_unique<COneCardScan>(&_present, _card.Letter()));
    ASSERT_TRUE(_window->CreateMainWindow());
    ShowWindow(_window->Handle(), SW_SHOW);
    maintest::Pump();
    ASSERT_EQ(_card.Letter(), _window->CurrentDrive());
  }

  std::string CoreLog() const {
    return ovtest::ReadFileOrEmpty(_root.Root() + "Log\\Ostrovelle_Core.log");
  }

  std::string _answered_text;
  CMapChargeWindow* Notice() { return _window->Notices().Window(); }
  // Waits for `screen`, keeps its text in _answered_text, takes the
  // screenshot when named and clicks `button`.
  ::testing::AssertionResult AnswerScreen(int screen, const ui::SkinItemDescriptor& button,
                                          const char* screenshot = nullptr) {
    const bool shown = maintest::PumpUntil(
        [&] {
          return Notice() && Notice()->IsShowing() && Notice()->Screen() == screen &&
                 !Notice()->Drawer().Sliding() && !Notice()->Drawer().Fading();
        },
        kCoreLimitMs);
    if (!shown) {
      return ::testing::AssertionFailure()
             << "screen " << screen << " never showed; the core's log:\n"
             << CoreLog();
    }
    if (screenshot) maintest::Screenshot(screenshot);
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
  // Waits until the launcher has heard the map charge's result word.
  ::testing::AssertionResult WaitForMapResult(const ovtest::CLogCapture& log, uint32_t* word) {
    const std::string mark = "転送完了通知 CHG:2 ERC:0x";
    if (!maintest::PumpUntil([&] { return log.Contains(mark); }, kCoreLimitMs)) {
      return ::testing::AssertionFailure() << "no map result; the core's log:\n" << CoreLog();
    }
    maintest::Pump();
    const std::string text = log.Text();
    *word =
        static_cast<uint32_t>(strtoul(text.c_str() + text.find(mark) + mark.size(), nullptr, 16));
    return ::testing::AssertionSuccess();
  }

  static constexpr const char* kProbeData = "PROBE\\trip1\\ProbeData.dat";

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

// The unit with probe data it has not sent and a marked map update of 1 GB
// (at 5 Mbit/s about 26 minutes).
class LauncherRealCoreUpdateTest : public LauncherRealCoreBase {
 protected:
  void SetUp() override {
    LauncherRealCoreBase::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_TRUE(WriteUnit(true));
    ASSERT_TRUE(_standin.Set("/pcapp/DownloadListLiteAPI",
                             "list_hex=" + Hex("00,00,00,1.000004,2012,1000000000,1,0,0,0,,\r\n")));
  }
};

class LauncherRealCoreTest : public LauncherRealCoreUpdateTest,
                             public ::testing::WithParamInterface<bool> {};

TEST_P(LauncherRealCoreTest, TheDownloadAnswerClickedInTheDrawerSteersTheMapCharge) {
  const bool yes = GetParam();
  OpenLauncher();

  ASSERT_TRUE(_core.Start(_window->Handle(), _card.Letter(), 2));
  ASSERT_TRUE(AnswerScreen(
      4, yes ? CMapChargeWindow::kYesBottomButton : CMapChargeWindow::kCancelBottomButton,
      yes ? "launcher_core_download_yes" : "launcher_core_download_no"));
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

int MapStateFrame(CLauncherWindow& window) {
  return static_cast<int>(static_cast<ui::CSkinWindowItemDigitImage*>(
                              window.FindItem(CLauncherWindow::kMapProgressImage.id))
                              ->Value());
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Taking the update but declining to leave the unsent probe data behind:
// the charge skips the update, fetches nothing and leaves the card alone.
TEST_F(LauncherRealCoreUpdateTest, AnUnsentProbeNoticeAnsweredNoSkipsTheMapUpdate) {
  ovtest::CLogCapture log;
  OpenLauncher();
  ASSERT_TRUE(_core.Start(_window->Handle(), _card.Letter(), 2));
  ASSERT_TRUE(AnswerScreen(4, CMapChargeWindow::kYesBottomButton));
  ASSERT_TRUE(AnswerScreen(8, CMapChargeWindow::kCancelButton, "launcher_core_unsent_probe_no"));
  EXPECT_EQ(0u, _answered_text.find("未送信のプローブデータがあります。")) << _answered_text;
  uint32_t word = 0;
  ASSERT_TRUE(WaitForMapResult(log, &word));
  EXPECT_EQ(0x200FF01u, word) << std::hex << word;
  EXPECT_TRUE(log.Contains("マップチャージ画面終了通知 TYPE:17 RESULT:CANCEL"));
  // Skipped: its frame and line, and no box.
  EXPECT_EQ(5, MapStateFrame(*_window));
  EXPECT_EQ(16, _window->Chain().KindType(CHARGE_KIND_MAP));
  EXPECT_TRUE(_boxes.Boxes().empty());
  EXPECT_FALSE(MapDataAsked());
  // The probe data stays for its own upload; nothing of the update came.
  EXPECT_EQ("probe", ovtest::ReadFileOrEmpty(_card.Path(kProbeData)));
  EXPECT_FALSE(Exists(_card.Path("NAVIDATA")));
}

// A map update of one file (20,000 bytes in pieces of 8,192) served as the
// map charge fetches it: its configuration image, then the pieces.
constexpr size_t kUpdateSize = 20000;
bool ServeMapUpdate(const ovtest::CStandIn& standin) {
  std::string content(kUpdateSize, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7 + (i >> 8));
  const std::vector<std::string> pieces = ovtest::CutIntoPieces(content, 8192);
  ovtest::ConfFileSpec file;
  file.name = "MAP.DAT";
  file.size = static_cast<uint32_t>(content.size());
  file.value16 = NPCrcCalc::Of(content.data(), content.size());
  file.pieces = ovtest::PiecesOf(pieces);
  const std::string image =
      ovtest::CConfImageBuilder().Title("map update").Path("NAVIDATA\\").File(file).Build();
  const std::string folder = "/mapdata/00/00/1.000004/";
  bool ok = standin.Set(folder + "DATA.CNF", "hex=" + Hex(image));
  for (size_t i = 0; i < pieces.size(); ++i) {
    ok = standin.Set(folder + FormatString("NAVIDATA/MAP.DAT.%03d", static_cast<int>(i)),
                     "hex=" + Hex(pieces[i])) &&
         ok;
  }
  return ok;
}

// A card of 16 GB with 1,000 bytes free (the core's card space comes from
// the environment it inherits) and a file of the user's: the update does
// not fit, so the charge asks whether it may clear the card.
class LauncherRealCoreCardClearTest : public LauncherRealCoreBase,
                                      public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    LauncherRealCoreBase::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_TRUE(WriteUnit(false));
    ASSERT_TRUE(CreateDirectoryA(_card.Path("VIDEO").c_str(), nullptr));
    ASSERT_TRUE(ovtest::WriteFileBytes(_card.Path(kUserFile), "the user's own"));
    ASSERT_TRUE(
        _standin.Set("/pcapp/DownloadListLiteAPI",
                     "list_hex=" + Hex(FormatString("00,00,00,1.000004,2012,%u,1,0,0,0,,\r\n",
                                                    static_cast<unsigned>(kUpdateSize)))));
    ASSERT_TRUE(ServeMapUpdate(_standin));
    SetEnvironmentVariableA("OV_TEST_CARD_SPACE", "16000000000,1000");
  }
  void TearDown() override {
    SetEnvironmentVariableA("OV_TEST_CARD_SPACE", nullptr);
    LauncherRealCoreBase::TearDown();
  }

  static constexpr const char* kUserFile = "VIDEO\\movie.bin";
};

TEST_P(LauncherRealCoreCardClearTest, TheBoxsAnswerDecidesWhetherTheCoreClearsTheCard) {
  const bool yes = GetParam();
  _boxes.Answer(yes ? IDYES : IDNO);
  ovtest::CLogCapture log;
  OpenLauncher();
  ASSERT_TRUE(_core.Start(_window->Handle(), _card.Letter(), 2));
  ASSERT_TRUE(AnswerScreen(4, CMapChargeWindow::kYesBottomButton));
  uint32_t word = 0;
  ASSERT_TRUE(WaitForMapResult(log, &word));
  const std::vector<ovtest::CapturedBox> boxes = _boxes.Boxes();
  ASSERT_FALSE(boxes.empty());
  EXPECT_NE(std::wstring::npos, boxes[0].text.find(L"空き容量不足"));
  EXPECT_EQ(UINT(MB_YESNO), boxes[0].style & MB_TYPEMASK);
  EXPECT_TRUE(log.Contains("マップチャージ要求 0x000000EF"));
  EXPECT_TRUE(log.Contains(yes ? "マップチャージ画面終了通知 TYPE:239 RESULT:OK"
                               : "マップチャージ画面終了通知 TYPE:239 RESULT:CANCEL"));
  // The download phase ended before the question, with its figures.
  EXPECT_TRUE(log.Contains("CLauncherWindow::OnMapChargeEnd - マップチャージ処理種別 = 1 "));
  EXPECT_TRUE(
      log.Contains(FormatString("CLauncherWindow::OnMapChargeEnd - マップチャージ全体サイズ = %u ",
                                static_cast<unsigned>(kUpdateSize))));
  const std::string core_log = CoreLog();
  if (yes) {
    // The card is cleared (the unit's own files stay); the room it reports
    // is still the environment's 1,000 bytes, so the copy then finds no room
    // and the charge fails with its box.
    EXPECT_FALSE(Exists(_card.Path(kUserFile)));
    EXPECT_TRUE(Exists(_card.Path("PC\\NAVIINFO.DAT")));
    EXPECT_EQ(0x2350109u, word) << std::hex << word;
    EXPECT_EQ(1, MapStateFrame(*_window));
    ASSERT_EQ(2u, boxes.size());
    uint32_t style = 0;
    const std::string text = GetErrorMessage(word, &style, 0);
    EXPECT_EQ(0u, maintest::BoxTexts(_boxes)[1].find(text.substr(0, text.find("\r\n"))));
  } else {
    // Declined: nothing is removed, the charge ends as aborted, no box.
    EXPECT_EQ("the user's own", ovtest::ReadFileOrEmpty(_card.Path(kUserFile)));
    EXPECT_EQ(0x200FF00u, word) << std::hex << word;
    EXPECT_EQ(1u, boxes.size());
    EXPECT_NE(std::string::npos,
              core_log.find("CMapCharge::_ChkSDVolume - ユーザSDクリアキャンセル"))
        << core_log;
  }
  EXPECT_FALSE(Exists(_card.Path("NAVIDATA\\MAP.DAT")));
  if (yes) {
    // The transfer phase ends after the result, and the line comes back to
    // the card once no phase runs.
    ASSERT_TRUE(maintest::PumpUntil(
        [&] {
          return log.Contains("CLauncherWindow::OnMapChargeEnd - マップチャージ処理種別 = 2 ") &&
                 _window->StatusText() == "SDカードを検出しました。";
        },
        kLimitMs))
        << _window->StatusText();
    maintest::Screenshot("launcher_core_card_cleared");
  }
}

INSTANTIATE_TEST_SUITE_P(Answers, LauncherRealCoreCardClearTest, ::testing::Bool());

}  // namespace
