// The log-upload consent window against the stand-in's permission check and
// upload, with a recording parent in the launcher's place: when it shows
// itself, what its buttons do, what its parent hears when it closes, and the
// drawer's slide and fade read back from the window and its pixels.
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "ErrorMessage.h"
#include "Folders.h"
#include "LogUploadWindow.h"
#include "MainWindowTestSupport.h"
#include "MessageBoxCapture.h"
#include "ScreenLock.h"
#include "SkinWindowItemOverlay.h"
#include "StandIn.h"
#include "StringUtil.h"
#include "TestSupport.h"

namespace {

using maintest::CRecordingParent;
using maintest::PumpUntil;
using ui::CLogUploadWindow;

constexpr DWORD kLimitMs = 60000;
constexpr const char* kPermissionPath = "/pcapp/LogUploadCheckAPI";
constexpr const char* kUploadPath = "/pcapp/LogUploadAPI";
constexpr uint32_t kCcid = 5;
constexpr COLORREF kPanel = RGB(236, 240, 246);  // the drawer's light panel

// Within the rounding of a blend that has faded to nothing.
bool Near(COLORREF a, COLORREF b) {
  const auto close = [](int x, int y) { return x - y <= 2 && y - x <= 2; };
  return close(GetRValue(a), GetRValue(b)) && close(GetGValue(a), GetGValue(b)) &&
         close(GetBValue(a), GetBValue(b));
}

std::string PrivateEventName() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  return FormatString("AplLogUploadCancel-%lu-%s", GetCurrentProcessId(), info ? info->name() : "");
}

class LogUploadWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(_standin.IsRunning()) << "tools/test starts the stand-in service";
    const std::string info = _dir.File("Connection.info");
    ASSERT_TRUE(ovtest::WriteFileBytes(info, _standin.ConnectionInfo()));
    SetEnvironmentVariableA("OV_CONNECTION_INFO", info.c_str());
    ASSERT_TRUE(
        ovtest::WriteFileBytes(GetLogFolder() + "Ostrovelle_EV.log", "a launcher line\r\n"));
  }
  void TearDown() override {
    _window.reset();
    maintest::Pump();
    SetEnvironmentVariableA("OV_CONNECTION_INFO", nullptr);
  }

  void Open(int parent_top = 400) {
    _parent = std::make_unique<CRecordingParent>(120, parent_top, 480, 300);
    _window = std::make_unique<CLogUploadWindow>(_event_name.c_str());
    ASSERT_TRUE(_window->SetLogUploadInfo(kCcid, "11VuqTRNO/1.000203", "DEV123"));
    _window->Create(_parent->Get());
  }

  bool Closed() const { return _parent->Has(0xB98); }

  // Until the drawer has slid out and its overlay has faded; records
  // whether the window was ever shown before.
  ::testing::AssertionResult WaitForOpenDrawer() {
    const bool opened = PumpUntil(
        [&] {
          return Closed() || (_window->Drawer().Opened() && !_window->Drawer().Sliding() &&
                              !_window->Drawer().Fading());
        },
        kLimitMs);
    if (!opened || Closed()) return ::testing::AssertionFailure() << "the drawer never opened";
    return ::testing::AssertionSuccess();
  }

  ::testing::AssertionResult WaitForClose() {
    if (!PumpUntil([&] { return Closed(); }, kLimitMs)) {
      return ::testing::AssertionFailure() << "the parent heard no close";
    }
    maintest::Pump();
    return ::testing::AssertionSuccess();
  }

  void ExpectClosedWith(uint32_t outcome) {
    const auto closes = _parent->Of(0xB98);
    ASSERT_EQ(1u, closes.size());
    EXPECT_EQ(outcome, static_cast<uint32_t>(closes[0].wparam)) << std::hex << closes[0].wparam;
    EXPECT_EQ(0, closes[0].lparam);
    EXPECT_EQ(nullptr, _window->Handle());
  }

  ovtest::CScreenLock _screen;
  ovtest::CScopedDataRoot _root;
  ovtest::CStandIn _standin;
  ovtest::CTempDir _dir;
  ovtest::CMessageBoxCapture _boxes;
  std::string _event_name = PrivateEventName();
  std::unique_ptr<CRecordingParent> _parent;
  std::unique_ptr<CLogUploadWindow> _window;
};

TEST_F(LogUploadWindowTest, LogsNotWantedNeverShowTheWindow) {
  ASSERT_TRUE(_standin.Set(kPermissionPath, "valid=FALSE"));
  Open();
  bool ever_visible = false;
  ASSERT_TRUE(PumpUntil(
      [&] {
        if (_window->Handle() && IsWindowVisible(_window->Handle())) ever_visible = true;
        return Closed();
      },
      kLimitMs));
  maintest::Pump();
  EXPECT_FALSE(ever_visible);
  EXPECT_FALSE(_window->Drawer().Opened());
  ExpectClosedWith(0x90000001);
  EXPECT_TRUE(_boxes.Boxes().empty());
}

TEST_F(LogUploadWindowTest, WantedLogsSlideTheDrawerOutOfTheParentAndCancelClosesIt) {
  Open();
  ASSERT_TRUE(WaitForOpenDrawer());
  const HWND window = _window->Handle();
  EXPECT_TRUE(IsWindowVisible(window));
  RECT r;
  GetWindowRect(window, &r);
  const RECT parent = _parent->Rect();
  EXPECT_EQ(parent.left, r.left);
  EXPECT_EQ(parent.right, r.right);
  EXPECT_EQ(parent.top + 4, r.bottom);
  EXPECT_EQ(190, r.bottom - r.top);
  EXPECT_EQ(0, _window->ScreenOverlay()->Alpha());
  EXPECT_TRUE(_parent->Has(WM_SYSCOMMAND));
  EXPECT_EQ(static_cast<WPARAM>(SC_RESTORE), _parent->Of(WM_SYSCOMMAND)[0].wparam);
  // The overlay has faded: the panel shows through, and the close button
  // kept its distance from the right edge of the wider drawer.
  EXPECT_TRUE(Near(kPanel, _window->BackBuffer()->GetPixel(6, 120)));
  const RECT close = _window->FindItem(CLogUploadWindow::kCloseButton.id)->Rect();
  EXPECT_EQ(480 - (293 - 267), close.left);
  maintest::Screenshot("log_upload_drawer");
  ASSERT_TRUE(_window->ClickItem(CLogUploadWindow::kCancelButton.id));
  ASSERT_TRUE(WaitForClose());
  ExpectClosedWith(0x90000000);
  EXPECT_TRUE(_boxes.Boxes().empty());
}

TEST_F(LogUploadWindowTest, AParentAtTheTopOfTheScreenIsMovedDownFirst) {
  Open(0);
  ASSERT_TRUE(WaitForOpenDrawer());
  RECT r;
  GetWindowRect(_window->Handle(), &r);
  EXPECT_EQ(190 - 4, _parent->Rect().top);
  EXPECT_EQ(0, r.top);
  EXPECT_EQ(_parent->Rect().top + 4, r.bottom);
}

struct UploadCase {
  const char* name;
  const char* scenario;
  uint32_t outcome;
};
void PrintTo(const UploadCase& c, std::ostream* os) { *os << c.name; }

class LogUploadWindowYesTest : public LogUploadWindowTest,
                               public ::testing::WithParamInterface<UploadCase> {};

TEST_P(LogUploadWindowYesTest, YesUploadsTheLogsAndShowsTheOutcome) {
  ASSERT_TRUE(_standin.Set(kUploadPath, GetParam().scenario));
  Open();
  ASSERT_TRUE(WaitForOpenDrawer());
  ASSERT_TRUE(_window->ClickItem(CLogUploadWindow::kYesButton.id));
  ASSERT_TRUE(PumpUntil(
      [&] { return Closed() || !_window->FindItem(CLogUploadWindow::kYesButton.id)->IsEnabled(); },
      kLimitMs));
  if (!Closed()) {
    EXPECT_FALSE(_window->FindItem(CLogUploadWindow::kCancelButton.id)->IsEnabled());
  }
  ASSERT_TRUE(WaitForClose());
  ExpectClosedWith(GetParam().outcome);

  const auto boxes = _boxes.Boxes();
  ASSERT_EQ(1u, boxes.size());
  uint32_t style = 0;
  EXPECT_EQ(ToWide(GetErrorMessage(GetParam().outcome, &style, 0)), boxes[0].text);
  EXPECT_EQ(style, boxes[0].style);

  bool uploaded = false;
  for (const ovtest::StandInRequest& request : _standin.Requests()) {
    if (request.path != kUploadPath) continue;
    uploaded = true;
    EXPECT_NE(std::string::npos, request.Header("Content-Type").find("multipart/form-data"));
    bool has_log = false;
    for (const auto& note : request.notes) has_log |= note.first == "zip:Ostrovelle_EV.log";
    EXPECT_TRUE(has_log);
  }
  EXPECT_TRUE(uploaded);
}

INSTANTIATE_TEST_SUITE_P(Replies, LogUploadWindowYesTest,
                         ::testing::Values(UploadCase{"Done", "ret=0", 0x90000000},
                                           UploadCase{"ServerError", "ret=3", 0x90200003}),
                         ovtest::CaseName());

TEST_F(LogUploadWindowTest, ClosingDuringADelayedUploadWaitsForTheJob) {
  ASSERT_TRUE(_standin.Set(kUploadPath, "delay_ms=3000"));
  Open();
  ASSERT_TRUE(WaitForOpenDrawer());
  ASSERT_TRUE(_window->ClickItem(CLogUploadWindow::kYesButton.id));
  maintest::Pump();
  // The upload has reached the service, which holds its reply back.
  ASSERT_TRUE(_standin.WaitForRequests(2, kLimitMs));
  ASSERT_TRUE(_window->ClickItem(CLogUploadWindow::kCloseButton.id));
  ASSERT_TRUE(WaitForClose());
  ExpectClosedWith(0x90000000);
  EXPECT_TRUE(_boxes.Boxes().empty());
}

TEST_F(LogUploadWindowTest, WithoutTheUnitNoJobStarts) {
  ovtest::CLogCapture log;
  _parent = std::make_unique<CRecordingParent>(120, 400, 480, 300);
  _window = std::make_unique<CLogUploadWindow>(_event_name.c_str());
  EXPECT_FALSE(_window->SetLogUploadInfo(0, "agent", "DEV123"));
  EXPECT_FALSE(_window->SetLogUploadInfo(kCcid, "", "DEV123"));
  EXPECT_FALSE(_window->SetLogUploadInfo(kCcid, "agent", nullptr));
  EXPECT_EQ((std::vector<std::string>{"CLogUploadWindow::SetLogUploadInfo - CCID指定不正",
                                      "CLogUploadWindow::SetLogUploadInfo - UserAgent指定不正",
                                      "CLogUploadWindow::SetLogUploadInfo - DwvicwNo指定不正"}),
            log.Errors());
  _window->Create(_parent->Get());
  ASSERT_TRUE(WaitForClose());
  ExpectClosedWith(0x9040FFA1);
  EXPECT_TRUE(_standin.Requests().empty());
}

TEST_F(LogUploadWindowTest, KeysGoToTheParentExceptTheWindowsOwnTabs) {
  Open();
  ASSERT_TRUE(WaitForOpenDrawer());
  SendMessageA(_window->Handle(), WM_KEYDOWN, 'A', 0);
  BYTE keys[256];
  GetKeyboardState(keys);
  BYTE held[256];
  memcpy(held, keys, sizeof(held));
  held[VK_CONTROL] = 0x80;
  SetKeyboardState(held);
  SendMessageA(_window->Handle(), WM_KEYDOWN, VK_TAB, 0);
  SetKeyboardState(keys);
  maintest::Pump();
  const auto posted = _parent->Of(WM_KEYDOWN);
  ASSERT_EQ(1u, posted.size());
  EXPECT_EQ(static_cast<WPARAM>('A'), posted[0].wparam);
}

}  // namespace
