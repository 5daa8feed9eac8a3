// The launcher window shown for real under the test screen, its drives
// scripted through a card scan of the test's own and its eject through a
// scripted volume device: what it shows with and without a card, the
// detection step after a volume notice (new card, removal, read-only,
// unregistered, small card, another model, drives not ready), the card
// change from other processes, the windows it ends and tells, eject and a
// close that asks before ending a busy core.
#include <gtest/gtest.h>

#include "OvWindows.h"

#include <dbt.h>

#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "CoreMessages.h"
#include "CoreProcessLock.h"
#include "ErrorMessage.h"
#include "LauncherWindow.h"
#include "MainWindowTestSupport.h"
#include "MessageBoxCapture.h"
#include "ScreenLock.h"
#include "TestSupport.h"
#include "ScriptedVolumeDevice.h"
#include "VolumeEject.h"
#include "Window.h"

namespace {

using ui::CLauncherWindow;

constexpr DWORD kLimitMs = 10000;
constexpr uint8_t kModel = 3;

// What the scripted drives hold; shared with the launcher's scan.
struct Drives {
  struct Card {
    bool writable = true;
    bool registered = true;
    uint8_t model = kModel;
    uint64_t free = 16000000000ull;
  };
  std::map<char, Card> cards;
  // Scans that still answer "no card, drive not ready".
  int not_ready_scans = 0;
  int scans = 0;
};

class CScriptedScan final : public CLauncherCardScan {
 public:
  explicit CScriptedScan(Drives* drives) : _drives(drives) {}
  void FindCards(std::vector<char>& cards, DWORD* last_error) override {
    ++_drives->scans;
    cards.clear();
    *last_error = 0;
    if (_drives->not_ready_scans > 0) {
      --_drives->not_ready_scans;
      *last_error = ERROR_NOT_READY;
      return;
    }
    for (const auto& card : _drives->cards) cards.push_back(card.first);
  }
  bool IsWritable(char drive) override { return _drives->cards.at(drive).writable; }
  LauncherCard ReadCard(char drive) override {
    LauncherCard card;
    card.link_read = true;
    card.device_no = std::string("DEV-") + drive;
    card.model = _drives->cards.at(drive).model;
    return card;
  }
  bool IsRegistered(const std::string& device_no) override {
    return _drives->cards.at(device_no.back()).registered;
  }
  uint64_t FreeSpace(char drive) override { return _drives->cards.at(drive).free; }

 private:
  Drives* _drives;  // not owned
};

// The core's window, played by the test: it answers the busy kinds and
// records the end request.
class CCoreStandIn final {
 public:
  explicit CCoreStandIn(uint32_t busy) : _busy(busy) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kCoreWindowClass;
    RegisterClassA(&wc);
    _hwnd = CreateWindowA(kCoreWindowClass, kCoreWindowTitle, WS_POPUP, 0, 0, 10, 10, nullptr,
                          nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrA(_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~CCoreStandIn() {
    if (_hwnd) DestroyWindow(_hwnd);
    UnregisterClassA(kCoreWindowClass, GetModuleHandleA(nullptr));
  }
  CCoreStandIn(const CCoreStandIn&) = delete;
  CCoreStandIn& operator=(const CCoreStandIn&) = delete;

  int ends = 0;
  int asked = 0;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<CCoreStandIn*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self && message == RegisterOvMessage(kMsgRequestReconfirm)) {
      ++self->asked;
      return self->_busy;
    }
    if (self && message == RegisterOvMessage(kMsgRequestEnd)) {
      ++self->ends;
      return 0;
    }
    return DefWindowProcA(hwnd, message, wp, lp);
  }
  HWND _hwnd = nullptr;
  uint32_t _busy;
};

// A music-manager window, played by the test in the framework's class (as
// the launcher looks for it): it records the messages of one kind.
class CMusicStandIn final : public lib::wfc::CWindow {
 public:
  explicit CMusicStandIn(const char* title) { Create(0, nullptr, title, WS_POPUP, 0, 0, 10, 10); }
  ~CMusicStandIn() override {
    if (Handle()) DestroyWindow();
  }
  std::vector<WPARAM> Of(UINT message) const {
    std::vector<WPARAM> found;
    for (const auto& m : _messages) {
      if (m.first == message) found.push_back(m.second);
    }
    return found;
  }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override {
    if (message >= 0xC000) _messages.emplace_back(message, wparam);
    return CWindow::WindowProc(message, wparam, lparam);
  }

 private:
  std::vector<std::pair<UINT, WPARAM>> _messages;
};

// The text the message table gives a code.
std::string CodeText(uint32_t code) {
  uint32_t style = 0;
  return GetErrorMessage(code, &style, 0);
}
const std::string kAskTransfer = "データチャージ中です。転送を中断しますか？";
const std::string kUnregistered =
    "挿入されたSDカードのお客様登録情報が見つかりませんでした。\r\n"
    "Ostrovelleを再起動して、初期設定を行ってください。";

class LauncherWindowTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (_window && _window->Handle()) DestroyWindow(_window->Handle());
    _window.reset();
    maintest::Pump();
    SetVolumeDevice(nullptr);
  }

  void Open() {
    // No version inquiry, and the chain's charge starts go nowhere.
    maintest::WriteSetting(0, 0, SYSTEMTIME{});
    _window = std::make_unique<CLauncherWindow>();
    _window->Chain().SetCoreStarter([](HWND, char, uint32_t) { return true; });
    _window->SetQuitOnDestroy(false);
    _window->SetUnitModel(kModel);
    _window->SetCardScan(std::make_unique<CScriptedScan>(&_drives));
    ASSERT_TRUE(_window->CreateMainWindow());
    ShowWindow(_window->Handle(), SW_SHOW);
    UpdateWindow(_window->Handle());
    maintest::Pump();
  }

  // The system's volume notice, sent as OvDeviceChange sends it.
  void SendVolumeNotice(WPARAM event, char drive) {
    DEV_BROADCAST_VOLUME volume = {};
    volume.dbcv_size = sizeof(volume);
    volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    volume.dbcv_unitmask = 1u << (drive - 'A');
    SendMessageA(_window->Handle(), WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&volume));
  }

  ::testing::AssertionResult WaitForDetection() {
    if (!maintest::PumpUntil([&] { return !_window->IsDetectionPending(); }, kLimitMs)) {
      return ::testing::AssertionFailure() << "the detection step never ran";
    }
    maintest::Pump();
    return ::testing::AssertionSuccess();
  }

  // The texts of the captured boxes in order, in code page 932.
  std::vector<std::string> BoxTexts() const { return maintest::BoxTexts(_boxes); }

  // The pixel in the middle of the card icon's left edge band.
  COLORREF CardIconPixel() { return _window->BackBuffer()->GetPixel(324, 72); }

  // The one-core lock before the screen, in the order every holder takes them.
  ovtest::CCoreProcessLock _core_lock;
  ovtest::CScreenLock _screen;
  ovtest::CScopedDataRoot _root;
  ovtest::CMessageBoxCapture _boxes;
  Drives _drives;
  std::unique_ptr<CLauncherWindow> _window;
};

constexpr COLORREF kNoCardIcon = RGB(190, 192, 198);
constexpr COLORREF kCardIcon = RGB(70, 160, 100);

TEST_F(LauncherWindowTest, ShowsNoCardAndThenTheCardItFinds) {
  Open();
  EXPECT_EQ(0, _window->CurrentDrive());
  EXPECT_EQ("SDカードを挿入してください。", _window->StatusText());
  EXPECT_EQ(kNoCardIcon, CardIconPixel());
  // Each kind's state picture shows its idle frame.
  EXPECT_EQ(RGB(200, 204, 212), _window->BackBuffer()->GetPixel(28 + 20, 140 + 20));
  char title[64] = {};
  GetWindowTextA(_window->Handle(), title, sizeof(title));
  EXPECT_STREQ("Ostrovelle", title);
  maintest::Screenshot("launcher_no_card");

  _drives.cards['E'] = {};
  SendVolumeNotice(DBT_DEVICEARRIVAL, 'E');
  EXPECT_TRUE(_window->IsDetectionPending());
  ASSERT_TRUE(WaitForDetection());
  EXPECT_EQ('E', _window->CurrentDrive());
  EXPECT_EQ("SDカードを検出しました。", _window->StatusText());
  EXPECT_EQ(kCardIcon, CardIconPixel());
  EXPECT_TRUE(_boxes.Boxes().empty());
  maintest::Screenshot("launcher_card");

  _drives.cards.clear();
  SendVolumeNotice(DBT_DEVICEREMOVECOMPLETE, 'E');
  ASSERT_TRUE(WaitForDetection());
  EXPECT_EQ(0, _window->CurrentDrive());
  EXPECT_EQ(kNoCardIcon, CardIconPixel());
}

TEST_F(LauncherWindowTest, FirstScanTakesTheFirstWritableCard) {
  _drives.cards['E'].writable = false;
  _drives.cards['F'] = {};
  Open();
  EXPECT_EQ('F', _window->CurrentDrive());
  EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(LauncherWindowTest, OtherNoticesAndRecordsStartNoDetection) {
  Open();
  DEV_BROADCAST_HDR port = {};
  port.dbch_size = sizeof(port);
  port.dbch_devicetype = DBT_DEVTYP_PORT;
  SendMessageA(_window->Handle(), WM_DEVICECHANGE, DBT_DEVICEARRIVAL,
               reinterpret_cast<LPARAM>(&port));
  SendMessageA(_window->Handle(), WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
  EXPECT_FALSE(_window->IsDetectionPending());
  EXPECT_EQ(1, _drives.scans);  // the first scan only
}

struct DetectCase {
  const char* name;
  std::map<char, Drives::Card> cards;
  char current;                    // the drive taken afterwards
  std::vector<std::string> texts;  // the boxes shown, in order
  bool restarts;
};
void PrintTo(const DetectCase& c, std::ostream* os) { *os << c.name; }

Drives::Card ReadOnly() {
  Drives::Card card;
  card.writable = false;
  return card;
}
Drives::Card Unregistered() {
  Drives::Card card;
  card.registered = false;
  return card;
}
Drives::Card Small() {
  Drives::Card card;
  card.free = CLauncherWindow::kSmallCardBytes - 1;
  return card;
}
Drives::Card OtherModel() {
  Drives::Card card;
  card.model = kModel + 1;
  return card;
}

const DetectCase kDetectCases[] = {
    {"RegisteredCard", {{'E', {}}}, 'E', {}, false},
    {"ReadOnlyCardOnly", {{'E', ReadOnly()}}, 0, {CodeText(0xFF00EE02)}, false},
    {"ReadOnlyCardBeforeAWritableOne", {{'E', ReadOnly()}, {'F', {}}}, 'F', {}, false},
    {"UnregisteredCard", {{'E', Unregistered()}}, 0, {kUnregistered}, false},
    {"SmallCard", {{'E', Small()}}, 'E', {CodeText(0xFF00EE08)}, false},
    {"CardOfAnotherModel", {{'E', OtherModel()}}, 0, {CodeText(0xFF00EE09)}, true},
};

class LauncherDetectTest : public LauncherWindowTest,
                           public ::testing::WithParamInterface<DetectCase> {};

TEST_P(LauncherDetectTest, TakesTheCardTheStepFinds) {
  const DetectCase& c = GetParam();
  Open();
  _drives.cards = c.cards;
  SendVolumeNotice(DBT_DEVICEARRIVAL, 'E');
  ASSERT_TRUE(WaitForDetection());
  EXPECT_EQ(c.current, _window->CurrentDrive());
  EXPECT_EQ(c.texts, BoxTexts());
  EXPECT_EQ(c.restarts, _window->WantsRestart());
  if (c.restarts) {
    EXPECT_TRUE(maintest::PumpUntil([&] { return _window->Handle() == nullptr; }, kLimitMs));
  } else {
    EXPECT_NE(nullptr, _window->Handle());
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, LauncherDetectTest, ::testing::ValuesIn(kDetectCases),
                         ovtest::CaseName());

// While the map charge checks the card its drive answers "not ready": the
// launcher looks again each second instead of taking the card as gone.
TEST_F(LauncherWindowTest, RetriesWhileTheCheckedCardIsNotReady) {
  _drives.cards['E'] = {};
  Open();
  ASSERT_EQ('E', _window->CurrentDrive());
  PostMessageA(_window->Handle(), RegisterOvMessage(kMsgMapProgressStart), 3, 0);
  maintest::Pump();
  _drives.not_ready_scans = 2;
  SendVolumeNotice(DBT_DEVICEREMOVECOMPLETE, 'E');
  ASSERT_TRUE(maintest::PumpUntil([&] { return _window->DetectRetries() == 2; }, kLimitMs));
  ASSERT_TRUE(WaitForDetection());
  EXPECT_EQ('E', _window->CurrentDrive());
  EXPECT_EQ(0, _window->DetectRetries());
  EXPECT_EQ(4, _drives.scans);
}

TEST_F(LauncherWindowTest, WithoutACardCheckANotReadyDriveIsRemoval) {
  _drives.cards['E'] = {};
  Open();
  _drives.not_ready_scans = 1;
  SendVolumeNotice(DBT_DEVICEREMOVECOMPLETE, 'E');
  ASSERT_TRUE(WaitForDetection());
  EXPECT_EQ(0, _window->CurrentDrive());
  EXPECT_EQ(2, _drives.scans);
}

// OVEVSDChange comes from any process: only 0 or A to Z is a drive. A
// change ends the core and the music manager and tells the windows that
// follow the card.
TEST_F(LauncherWindowTest, CardChangeEndsTheCoreAndTellsTheMusicWindows) {
  Open();
  CMusicStandIn music("Ostrovelle Music Manual");
  CCoreStandIn core(0);
  const UINT change = RegisterOvMessage(kMsgSDChange);
  for (const WPARAM bad : {WPARAM('e'), WPARAM('@'), WPARAM(0x145)}) {
    PostMessageA(_window->Handle(), change, bad, 0);
  }
  maintest::Pump();
  EXPECT_EQ(0, _window->CurrentDrive());
  EXPECT_TRUE(music.Of(change).empty());
  EXPECT_EQ(0, core.ends);

  PostMessageA(_window->Handle(), change, 'F', 0);
  ASSERT_TRUE(maintest::PumpUntil([&] { return !music.Of(change).empty(); }, kLimitMs));
  EXPECT_EQ('F', _window->CurrentDrive());
  EXPECT_EQ(std::vector<WPARAM>{WPARAM('F')}, music.Of(change));
  EXPECT_EQ(1u, music.Of(RegisterOvMessage(kMsgRequestEnd)).size());
  EXPECT_EQ(1, core.ends);
}

TEST_F(LauncherWindowTest, OpeningEndsARunningCoreAndMusicManager) {
  CMusicStandIn music("Ostrovelle Music Setting");
  CCoreStandIn core(0);
  Open();
  maintest::Pump();
  EXPECT_EQ(1, core.ends);
  EXPECT_EQ(1u, music.Of(RegisterOvMessage(kMsgRequestEnd)).size());
}

struct EjectCase {
  const char* name;
  bool card;
  bool other_window;
  bool lock_fails;
  uint32_t busy;
  std::vector<int> answers;
  std::vector<std::string> texts;
  int ejects;
  int ends;  // end requests the core got
};
void PrintTo(const EjectCase& c, std::ostream* os) { *os << c.name; }

const EjectCase kEjectCases[] = {
    {"NoCard", false, false, false, 0, {}, {CodeText(0xFF00EE04)}, 0, 0},
    {"AnotherWindowOpen", true, true, false, 0, {}, {CodeText(0xFF00EE07)}, 0, 0},
    {"Ejected", true, false, false, 0, {}, {CodeText(0xFF00EE05)}, 1, 1},
    {"LockRefused", true, false, true, 0, {}, {CodeText(0xFF00EE06)}, 0, 1},
    {"BusyKeptOnNo", true, false, false, 2, {IDNO}, {kAskTransfer}, 0, 0},
    {"BusyEndedOnYes", true, false, false, 2, {IDYES}, {kAskTransfer, CodeText(0xFF00EE05)}, 1, 1},
};

class LauncherEjectTest : public LauncherWindowTest,
                          public ::testing::WithParamInterface<EjectCase> {};

TEST_P(LauncherEjectTest, EjectsOnlyAFreeCard) {
  const EjectCase& c = GetParam();
  if (c.card) _drives.cards['E'] = {};
  maintest::CScriptedDevice device;
  device.lock_fails = c.lock_fails;
  SetVolumeDevice(&device);
  Open();
  CCoreStandIn core(c.busy);
  for (const int answer : c.answers) _boxes.Answer(answer);
  HWND other = nullptr;
  if (c.other_window) {
    other = CreateWindowA("STATIC", "other", WS_POPUP | WS_VISIBLE, 0, 0, 20, 20, _window->Handle(),
                          nullptr, nullptr, nullptr);
  }
  _window->ClickItem(CLauncherWindow::kSDEjectButton.id);
  maintest::Pump();
  if (other) DestroyWindow(other);
  EXPECT_EQ(c.texts, BoxTexts());
  EXPECT_EQ(c.ejects, device.ejects);
  EXPECT_EQ(c.ends, core.ends);
}

INSTANTIATE_TEST_SUITE_P(Cases, LauncherEjectTest, ::testing::ValuesIn(kEjectCases),
                         ovtest::CaseName());

TEST_F(LauncherWindowTest, CloseAsksBeforeEndingABusyCore) {
  _drives.cards['E'] = {};
  Open();
  CCoreStandIn core(0x10);
  _boxes.Answer(IDNO);
  PostMessageA(_window->Handle(), WM_CLOSE, 0, 0);
  maintest::Pump();
  ASSERT_EQ(1u, _boxes.Boxes().size());
  EXPECT_EQ(std::wstring(L"データチャージ中です。転送を中断し、Ostrovelleを終了しますか？"),
            _boxes.Boxes()[0].text);
  EXPECT_EQ(UINT(MB_YESNO | MB_ICONQUESTION), _boxes.Boxes()[0].style);
  EXPECT_NE(nullptr, _window->Handle());
  EXPECT_EQ(0, core.ends);

  _boxes.Answer(IDYES);
  PostMessageA(_window->Handle(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(maintest::PumpUntil([&] { return _window->Handle() == nullptr; }, kLimitMs));
  maintest::Pump();
  EXPECT_EQ(2u, _boxes.Boxes().size());
  EXPECT_EQ(1, core.ends);
}

TEST_F(LauncherWindowTest, CloseWithNothingBusyAsksNothing) {
  Open();
  CCoreStandIn core(0);
  _window->ClickItem(CLauncherWindow::kCloseButton.id);
  ASSERT_TRUE(maintest::PumpUntil([&] { return _window->Handle() == nullptr; }, kLimitMs));
  maintest::Pump();
  EXPECT_TRUE(_boxes.Boxes().empty());
  EXPECT_EQ(1, core.asked);
  EXPECT_EQ(1, core.ends);
}

}  // namespace
