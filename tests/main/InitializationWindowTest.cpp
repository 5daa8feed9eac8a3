// The first registration's windows against the stand-in's user
// authentication: OK follows the edits, the check's request, the user it
// adds, the completion window's music charge, the failures and their
// messages (no user added), the question before closing, the check stopped
// with the window, and the registration page.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "CardMaker.h"
#include "ConnectionParameterData.h"
#include "CoreProcessLock.h"
#include "ErrorMessage.h"
#include "Handle.h"
#include "InitCompleteWindow.h"
#include "InitializationWindow.h"
#include "MainWindowTestSupport.h"
#include "MessageBoxCapture.h"
#include "OstrovelleLite/OstrovelleConfig.h"
#include "OstrovelleLite/UserAgent.h"
#include "OstrovelleLite/UserListFile.h"
#include "ScreenLock.h"
#include "SkinWindowItemEditBox.h"
#include "StandIn.h"
#include "StringUtil.h"
#include "TestSupport.h"

namespace {

using maintest::PumpUntil;
using ui::CInitializationWindow;

constexpr DWORD kLimitMs = 60000;
constexpr const char* kAuthPath = "/pcapp/DeviceNoUserAuthenticationAPI";
constexpr const char* kDevice = "DIRU0000000042";
constexpr uint32_t kCcid = 0x1234ABCD;
constexpr const char* kNickname = "taro";
constexpr const char* kPassword = "S3cret-pw";
constexpr char kFrameworkClass[] = "WFC-OstrovelleEVDefaultWindowClass";

// The CCID as the request's form carries it.
std::string CcidText(uint32_t ccid) {
  ConnectionParameterData parameters;
  parameters.SetCcidHeadParameter(8, ccid);
  return parameters.GetValue(8);
}

std::vector<std::string> g_opened;

HINSTANCE WINAPI RecordShellCall(HWND, LPCSTR, LPCSTR file, LPCSTR, LPCSTR, INT) {
  g_opened.push_back(file ? file : "");
  return reinterpret_cast<HINSTANCE>(42);
}

std::string PrivateEventName() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  return FormatString("EventInitializationCancel-%lu-%s", GetCurrentProcessId(),
                      info ? info->name() : "");
}

std::wstring TextOf(uint32_t code) {
  uint32_t style = 0;
  return ToWide(GetErrorMessage(code, &style, 0));
}

// What the thread timer does while the completion window runs its own loop.
std::function<void()> g_on_tick;
void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  if (g_on_tick) g_on_tick();
}

void Type(HWND edit, const std::string& text) {
  for (char c : text) SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
}

class InitializationWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(_standin.IsRunning()) << "tools/test starts the stand-in service";
    ASSERT_TRUE(_card.IsValid());
    ASSERT_TRUE(_lock.IsHeld());
    const std::string info = _dir.File("Connection.info");
    ASSERT_TRUE(ovtest::WriteFileBytes(info, _standin.ConnectionInfo()));
    SetEnvironmentVariableA("OV_CONNECTION_INFO", info.c_str());
    g_opened.clear();
    browsertest::SetShellExecute(&RecordShellCall);
  }
  void TearDown() override {
    g_on_tick = nullptr;
    _window.reset();
    maintest::Pump();
    browsertest::SetShellExecute(nullptr);
    SetEnvironmentVariableA("OV_CONNECTION_INFO", nullptr);
  }

  void MakeCard() {
    _card.Empty();
    // The program record gives the card its user agent.
    ASSERT_TRUE(ovtest::CCardMaker()
                    .DeviceNo(kDevice)
                    .CcidHead(kCcid)
                    .Model(CUserAgent::kUnitModel)
                    .AddRecord(pclink::kDataIdProgram, 0x01000203, 0x2009, 1)
                    .WriteCard(_card.Letter(), true));
  }

  void Open() {
    _window = std::make_unique<CInitializationWindow>(_event_name.c_str());
    _window->Create(nullptr);
    _window->ShowWindow(SW_SHOW);
    maintest::Pump();
  }

  void Enter(const std::string& nickname, const std::string& password) {
    Type(_window->NicknameEdit()->Handle(), nickname);
    Type(_window->PasswordEdit()->Handle(), password);
  }

  ::testing::AssertionResult WaitOkEnabled(bool enabled) {
    if (!PumpUntil([&] { return _window->OkEnabled() == enabled; }, kLimitMs)) {
      return ::testing::AssertionFailure() << "OK never became " << enabled;
    }
    return ::testing::AssertionSuccess();
  }

  // Clicks OK once it is enabled and waits until the check has ended.
  ::testing::AssertionResult Check() {
    if (!WaitOkEnabled(true)) return ::testing::AssertionFailure() << "OK stayed disabled";
    if (!_window->ClickItem(CInitializationWindow::kOKButton.id)) {
      return ::testing::AssertionFailure() << "OK refused the click";
    }
    if (!PumpUntil([&] { return _window->CheckRunning(); }, kLimitMs)) {
      return ::testing::AssertionFailure() << "no check started";
    }
    if (!PumpUntil([&] { return !_window->CheckRunning(); }, kLimitMs)) {
      return ::testing::AssertionFailure() << "the check never ended";
    }
    maintest::Pump();
    return ::testing::AssertionSuccess();
  }

  // A card, a service that never answers, and a check waiting for it.
  void StartStalledCheck() {
    MakeCard();
    ASSERT_TRUE(_standin.Set(kAuthPath, "stall=headers&stall_ms=120000"));
    Open();
    Enter(kNickname, kPassword);
    ASSERT_TRUE(WaitOkEnabled(true));
    ASSERT_TRUE(_window->ClickItem(CInitializationWindow::kOKButton.id));
    ASSERT_TRUE(PumpUntil([&] { return _window->CheckRunning(); }, kLimitMs));
    ASSERT_TRUE(_standin.WaitForRequests(1, kLimitMs));
  }

  std::vector<ovtest::StandInRequest> AuthRequests() const {
    std::vector<ovtest::StandInRequest> found;
    for (const ovtest::StandInRequest& request : _standin.Requests()) {
      if (request.path == kAuthPath) found.push_back(request);
    }
    return found;
  }

  static bool UserAdded() {
    CUserListFile users;
    return users.Load() && users.Exists(kDevice);
  }

  // The window carries a program window's title, which other tests' locks
  // look for: the one-core lock first, then the screen.
  ovtest::CCoreProcessLock _lock;
  ovtest::CScreenLock _screen;
  ovtest::CScopedDataRoot _root;
  ovtest::CTestCard _card;
  ovtest::CStandIn _standin;
  ovtest::CTempDir _dir;
  ovtest::CMessageBoxCapture _boxes;
  std::string _event_name = PrivateEventName();
  std::unique_ptr<CInitializationWindow> _window;
};

TEST_F(InitializationWindowTest, OkIsEnabledOnlyWhileBothEditsHoldText) {
  MakeCard();
  Open();
  EXPECT_EQ(_window->NicknameEdit()->Handle(), GetFocus());
  EXPECT_TRUE(_window->PasswordEdit()->IsPassword());
  EXPECT_TRUE(_window->NicknameEdit()->IsSingleByte());
  EXPECT_FALSE(_window->OkEnabled());
  EXPECT_FALSE(_window->ClickItem(CInitializationWindow::kOKButton.id));

  Type(_window->NicknameEdit()->Handle(), kNickname);
  maintest::PumpUntil([] { return false; }, 300);
  EXPECT_FALSE(_window->OkEnabled()) << "a nickname alone";
  Type(_window->PasswordEdit()->Handle(), "p");
  EXPECT_TRUE(WaitOkEnabled(true));
  _window->NicknameEdit()->SetText("");
  EXPECT_TRUE(WaitOkEnabled(false)) << "the nickname emptied again";
  maintest::Screenshot("main_registration_window");
  EXPECT_TRUE(AuthRequests().empty());
}

TEST_F(InitializationWindowTest, EnterWithAnEmptyEditNamesTheMissingOne) {
  MakeCard();
  Open();
  const HWND window = _window->Handle();
  // Enter in the nickname edit: nothing typed yet.
  SendMessageA(_window->NicknameEdit()->Handle(), WM_KEYDOWN, VK_RETURN, 1);
  maintest::Pump();
  Type(_window->NicknameEdit()->Handle(), kNickname);
  SendMessageA(_window->NicknameEdit()->Handle(), WM_KEYDOWN, VK_RETURN, 1);
  maintest::Pump();
  const std::vector<ovtest::CapturedBox> boxes = _boxes.Boxes();
  ASSERT_EQ(2u, boxes.size());
  EXPECT_EQ(TextOf(0x40000002), boxes[0].text);
  EXPECT_EQ(ToWide("ニックネームが未入力です。"), boxes[0].text);
  EXPECT_EQ(TextOf(0x40000003), boxes[1].text);
  EXPECT_EQ(window, boxes[1].owner);
  EXPECT_EQ(_window->PasswordEdit()->Handle(), GetFocus());
  EXPECT_TRUE(AuthRequests().empty());
}

struct SuccessCase {
  const char* name;
  bool untick;
  int charge_type;
};
void PrintTo(const SuccessCase& c, std::ostream* os) { *os << c.name; }

class InitializationSuccessTest : public InitializationWindowTest,
                                  public ::testing::WithParamInterface<SuccessCase> {};

TEST_P(InitializationSuccessTest, AddsTheUserSetsTheMusicChargeAndCloses) {
  const SuccessCase& c = GetParam();
  MakeCard();
  ovtest::CLogCapture log(true);
  Open();
  const HWND window = _window->Handle();
  Enter(kNickname, kPassword);

  bool seen = false;
  bool answered = false;
  const UINT_PTR timer = SetTimer(nullptr, 0, 30, &Tick);
  g_on_tick = [&] {
    const HWND complete = FindWindowA(kFrameworkClass, "Ostrovelle InitComplete");
    if (!complete || !IsWindowVisible(complete) || answered) return;
    answered = true;
    seen = !IsWindowVisible(window);
    RedrawWindow(complete, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    if (!c.untick) maintest::Screenshot("main_registration_complete");
    if (c.untick) {
      const LPARAM at = MAKELPARAM(28, 100);
      SendMessageA(complete, WM_LBUTTONDOWN, MK_LBUTTON, at);
      SendMessageA(complete, WM_LBUTTONUP, 0, at);
    }
    PostMessageA(complete, WM_COMMAND, MAKEWPARAM(ui::CInitCompleteWindow::kOKButton.id, 1), 0);
  };
  ASSERT_TRUE(WaitOkEnabled(true));
  ASSERT_TRUE(_window->ClickItem(CInitializationWindow::kOKButton.id));
  const bool closed = PumpUntil([&] { return !IsWindow(window); }, kLimitMs);
  KillTimer(nullptr, timer);
  ASSERT_TRUE(closed);
  EXPECT_TRUE(answered);
  EXPECT_TRUE(seen) << "the registration window hides under the completion window";
  EXPECT_TRUE(_boxes.Boxes().empty());
  EXPECT_FALSE(_window->RegistrationPending());
  EXPECT_TRUE(_window->WantsRestart());

  const std::vector<ovtest::StandInRequest> requests = AuthRequests();
  ASSERT_EQ(1u, requests.size());
  const std::string user_agent = GetUserAgent(_card.Letter()).GetUserAgentA();
  EXPECT_FALSE(user_agent.empty());
  EXPECT_EQ("POST", requests[0].method);
  EXPECT_EQ(user_agent, requests[0].Header("User-Agent"));
  EXPECT_EQ(kNickname, requests[0].form.at("nick"));
  EXPECT_EQ(kPassword, requests[0].form.at("pass"));
  EXPECT_EQ(kDevice, requests[0].form.at("deviceno"));
  EXPECT_EQ(CcidText(kCcid), requests[0].form.at("ccid_head"));

  CUserListFile users;
  ASSERT_TRUE(users.Load());
  std::string device_no;
  uint32_t ccid = 0;
  std::string text;
  int unit = 0;
  ASSERT_TRUE(users.GetLastUser(&device_no, &ccid, &text, &unit));
  EXPECT_EQ(kDevice, device_no);
  EXPECT_EQ(kCcid, ccid);
  EXPECT_EQ(user_agent, text);
  EXPECT_EQ(CUserAgent::kUnitModel, unit);
  std::string nickname;
  ASSERT_TRUE(users.GetLastUser(&device_no, &nickname));
  EXPECT_EQ(kNickname, nickname);

  COstrovelleConfig config;
  ASSERT_TRUE(config.LoadMusic());
  EXPECT_EQ(c.charge_type, config.GetChargeType());

  EXPECT_TRUE(log.Contains("お客様登録確認完了[RET:0x00000000]"));
  EXPECT_FALSE(log.Contains(kPassword)) << "the password reached the log";
}

INSTANTIATE_TEST_SUITE_P(Ticks, InitializationSuccessTest,
                         ::testing::Values(SuccessCase{"Ticked", false, 2},
                                           SuccessCase{"Unticked", true, 1}),
                         [](const auto& case_info) { return std::string(case_info.param.name); });

struct FailureCase {
  const char* name;
  bool card;
  const char* scenario;  // of the authentication path; null: none
  uint32_t result;       // 0: any transfer error
  uint32_t message;      // 0: the registration category of the result
  bool general;          // the table has no text: the general failure's
};
void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class InitializationFailureTest : public InitializationWindowTest,
                                  public ::testing::WithParamInterface<FailureCase> {};

TEST_P(InitializationFailureTest, ShowsTheMessageAndAddsNoUser) {
  const FailureCase& c = GetParam();
  if (c.card) MakeCard();
  if (c.scenario) {
    ASSERT_TRUE(_standin.Set(kAuthPath, c.scenario));
  }
  Open();
  Enter(kNickname, kPassword);
  ASSERT_TRUE(Check());
  const uint32_t result = _window->LastResult();
  if (c.result != 0) {
    EXPECT_EQ(c.result, result);
  } else {
    EXPECT_EQ(0x100000u, result & 0xFFF00000u) << std::hex << result;
  }
  const uint32_t message = c.message ? c.message : (0x40000000u | result);
  const std::vector<ovtest::CapturedBox> boxes = _boxes.Boxes();
  ASSERT_EQ(1u, boxes.size());
  if (c.general) {
    // No words of its own: the general failure under the result's code.
    uint32_t style = 0;
    std::string expected = GetErrorMessage(0x4040FFFF, &style, 0);
    ReplaceAll(expected, "4040FFFF", FormatString("%08X", message));
    EXPECT_EQ(ToWide(expected), boxes[0].text);
  } else {
    EXPECT_FALSE(TextOf(message).empty());
    EXPECT_EQ(TextOf(message), boxes[0].text);
  }
  EXPECT_FALSE(UserAdded());
  EXPECT_TRUE(_window->RegistrationPending());
  EXPECT_FALSE(_window->WantsRestart());
  EXPECT_TRUE(IsWindowVisible(_window->Handle()));
  EXPECT_TRUE(WaitOkEnabled(true)) << "the user may try again";
  EXPECT_EQ(c.card ? 1u : 0u, AuthRequests().size());
}

INSTANTIATE_TEST_SUITE_P(
    Replies, InitializationFailureTest,
    ::testing::Values(FailureCase{"Ret3", true, "ret=3", 0x200003, 0x40200003, false},
                      FailureCase{"Http503", true, "status=503", 0, 0, false},
                      // An HTML page without RET is no registration.
                      FailureCase{
                          "HtmlPage", true,
                          "reply_hex=3c68746d6c3e3c626f64793e4f4b3c2f626f64793e3c2f68746d6c3e",
                          0x200FFF, 0, true},
                      FailureCase{"NoCard", false, nullptr, 0xFF06, 0x4000FF06, false}),
    [](const auto& case_info) { return std::string(case_info.param.name); });

TEST_F(InitializationWindowTest, ClosingUnregisteredAsksAndNoKeepsTheWindow) {
  MakeCard();
  Open();
  _boxes.Answer(IDNO);
  _window->ClickItem(CInitializationWindow::kCancelButton.id);
  ASSERT_TRUE(PumpUntil([&] { return !_boxes.Boxes().empty(); }, kLimitMs));
  maintest::Pump();
  EXPECT_TRUE(IsWindow(_window->Handle()));
  EXPECT_EQ(TextOf(0x40000004), _boxes.Boxes()[0].text);
  EXPECT_EQ(static_cast<UINT>(MB_YESNO), _boxes.Boxes()[0].style & MB_TYPEMASK);

  _boxes.Answer(IDYES);
  const HWND window = _window->Handle();
  PostMessageA(window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return !IsWindow(window); }, kLimitMs));
  EXPECT_EQ(2u, _boxes.Boxes().size());
  EXPECT_FALSE(_window->WantsRestart());
}

TEST_F(InitializationWindowTest, ClosingDuringTheCheckStopsAndAwaitsIt) {
  ASSERT_NO_FATAL_FAILURE(StartStalledCheck());
  EXPECT_FALSE(_window->OkEnabled()) << "one check at a time";

  _boxes.Answer(IDYES);
  const HWND window = _window->Handle();
  PostMessageA(window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return !IsWindow(window); }, kLimitMs));
  EXPECT_FALSE(_window->CheckRunning()) << "the check ended with the window";
  EXPECT_FALSE(UserAdded());
  ASSERT_EQ(1u, _boxes.Boxes().size());
  EXPECT_EQ(TextOf(0x40000004), _boxes.Boxes()[0].text);
}

TEST_F(InitializationWindowTest, TheNamedCancelEventEndsTheCheckSilently) {
  ASSERT_NO_FATAL_FAILURE(StartStalledCheck());

  // Any party may cancel the registration through the event's name.
  CHandle cancel(OpenEventA(EVENT_MODIFY_STATE, FALSE, _event_name.c_str()));
  ASSERT_TRUE(cancel);
  SetEvent(cancel.Get());
  ASSERT_TRUE(PumpUntil([&] { return !_window->CheckRunning(); }, kLimitMs));
  EXPECT_EQ(0xFF00u, _window->LastResult());
  EXPECT_TRUE(_boxes.Boxes().empty()) << "a cancel is no failure";
  EXPECT_TRUE(WaitOkEnabled(true));
  EXPECT_TRUE(_window->RegistrationPending());
  EXPECT_FALSE(UserAdded());
}

TEST_F(InitializationWindowTest, TheSessionsEndClosesWithoutAskingAndEndsTheCheck) {
  ASSERT_NO_FATAL_FAILURE(StartStalledCheck());

  const HWND window = _window->Handle();
  EXPECT_NE(0, SendMessageA(window, WM_QUERYENDSESSION, 0, 0));
  // WM_ENDSESSION returns only once the window is gone.
  SendMessageA(window, WM_ENDSESSION, TRUE, 0);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(_window->CheckRunning()) << "the check ended with the window";
  EXPECT_TRUE(_boxes.Boxes().empty()) << "no question at the session's end";
  EXPECT_FALSE(UserAdded());
}

TEST_F(InitializationWindowTest, TheRegistrationPageCarriesTheUnitAndFunctionCode100) {
  MakeCard();
  Open();
  ASSERT_TRUE(_window->ClickItem(CInitializationWindow::kRegistConfirmButton.id));
  ASSERT_TRUE(PumpUntil([] { return !g_opened.empty(); }, kLimitMs));
  const std::string& page = g_opened[0];
  EXPECT_NE(std::string::npos, page.find(_standin.Namespace())) << page;
  EXPECT_NE(std::string::npos, page.find("functionCode=100")) << page;
  EXPECT_NE(std::string::npos, page.find("pcsoft-userAgent=")) << page;
  EXPECT_TRUE(_boxes.Boxes().empty());
}

TEST_F(InitializationWindowTest, TheRegistrationPageWithoutACardNamesTheCard) {
  _card.Empty();
  Open();
  ASSERT_TRUE(_window->ClickItem(CInitializationWindow::kRegistConfirmButton.id));
  ASSERT_TRUE(PumpUntil([&] { return !_boxes.Boxes().empty(); }, kLimitMs));
  EXPECT_EQ(TextOf(0x4000FF06), _boxes.Boxes()[0].text);
  EXPECT_TRUE(g_opened.empty());
}

}  // namespace
