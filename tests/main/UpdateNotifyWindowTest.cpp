// The update notice against the stand-in's latest-version service, with a
// recording parent in the launcher's place: the settings rule, the results
// its parent hears, the drawer, the download page and the check box.
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "MainWindowTestSupport.h"
#include "MessageBoxCapture.h"
#include "OstrovelleLite/UserAgent.h"
#include "OstrovelleLite/UserListFile.h"
#include "ScreenLock.h"
#include "StandIn.h"
#include "StringUtil.h"
#include "TestSupport.h"
#include "UpdateNotifyWindow.h"

namespace {

using maintest::CRecordingParent;
using maintest::PumpUntil;
using ui::CUpdateNotifyWindow;

constexpr DWORD kLimitMs = 60000;
constexpr const char* kLatestPath = "/pcapp/GetLatestPcaplAPI";
constexpr const char* kNewer = "ver=99.0.0.0&url=http://127.0.0.1/new/download.html";
constexpr const char* kUserAgent = "11VuqTRNO/1.000203";

std::vector<std::string> g_opened;

HINSTANCE WINAPI RecordShellCall(HWND, LPCSTR, LPCSTR file, LPCSTR, LPCSTR, INT) {
  g_opened.push_back(file ? file : "");
  return reinterpret_cast<HINSTANCE>(42);
}

std::string PrivateEventName() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  return FormatString("EventInquiryCancel-%lu-%s", GetCurrentProcessId(), info ? info->name() : "");
}

class UpdateNotifyWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(_standin.IsRunning()) << "tools/test starts the stand-in service";
    const std::string info = _dir.File("Connection.info");
    ASSERT_TRUE(ovtest::WriteFileBytes(info, _standin.ConnectionInfo()));
    SetEnvironmentVariableA("OV_CONNECTION_INFO", info.c_str());
    CUserListFile users;
    ASSERT_TRUE(users.AddUser("DEV123", "taro", 5, kUserAgent, 9));
    g_opened.clear();
    browsertest::SetShellExecute(&RecordShellCall);
    // Due unless a case says otherwise.
    maintest::WriteSetting(1, 0, SYSTEMTIME{});
  }
  void TearDown() override {
    _window.reset();
    maintest::Pump();
    browsertest::SetShellExecute(nullptr);
    SetEnvironmentVariableA("OV_CONNECTION_INFO", nullptr);
  }

  void Open(int parent_top = 400) {
    _parent = std::make_unique<CRecordingParent>(120, parent_top, 480, 300);
    _window = std::make_unique<CUpdateNotifyWindow>(_parent->Get(), '\0', _event_name.c_str());
    _window->Create(_parent->Get());
  }

  bool Closed() const { return _parent->Has(0xB77); }

  ::testing::AssertionResult WaitForClose() {
    if (!PumpUntil([&] { return Closed(); }, kLimitMs)) {
      return ::testing::AssertionFailure() << "the parent heard no close";
    }
    maintest::Pump();
    return ::testing::AssertionSuccess();
  }

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

  size_t Inquiries() const {
    size_t count = 0;
    for (const ovtest::StandInRequest& request : _standin.Requests()) {
      count += request.path == kLatestPath;
    }
    return count;
  }

  // The parent's 0xB78 and 0xB77 in order, each with its result.
  std::vector<std::pair<UINT, uint32_t>> Reports() const {
    std::vector<std::pair<UINT, uint32_t>> reports;
    for (UINT message : _parent->Sequence()) {
      if (message != 0xB78 && message != 0xB77) continue;
      const auto records = _parent->Of(message);
      size_t seen = 0;
      for (const auto& r : reports) seen += r.first == message;
      reports.emplace_back(message, static_cast<uint32_t>(records[seen].wparam));
    }
    return reports;
  }

  ovtest::CScreenLock _screen;
  ovtest::CScopedDataRoot _root;
  ovtest::CStandIn _standin;
  ovtest::CTempDir _dir;
  ovtest::CMessageBoxCapture _boxes;
  std::string _event_name = PrivateEventName();
  std::unique_ptr<CRecordingParent> _parent;
  std::unique_ptr<CUpdateNotifyWindow> _window;
};

using ReportList = std::vector<std::pair<UINT, uint32_t>>;

TEST_F(UpdateNotifyWindowTest, AutoUpdateOffAsksNothingAndOnlyCloses) {
  maintest::WriteSetting(0, 0, SYSTEMTIME{});
  Open();
  ASSERT_TRUE(WaitForClose());
  EXPECT_EQ(0u, Inquiries());
  EXPECT_EQ((ReportList{{0xB77, 2}}), Reports());
  EXPECT_EQ(nullptr, _window->Handle());
}

struct LaterCase {
  const char* name;
  int days_ago;
  bool asks;
};
void PrintTo(const LaterCase& c, std::ostream* os) { *os << c.name; }

class UpdateNotifyLaterTest : public UpdateNotifyWindowTest,
                              public ::testing::WithParamInterface<LaterCase> {};

TEST_P(UpdateNotifyLaterTest, NotifiesLaterWaitsThreeDaysFromTheLastConfirmation) {
  maintest::WriteSetting(1, 1, maintest::DaysAgo(GetParam().days_ago));
  Open();
  ASSERT_TRUE(WaitForClose());
  EXPECT_EQ(GetParam().asks ? 1u : 0u, Inquiries());
  // The stand-in answers with the program's own version: up to date.
  EXPECT_EQ(GetParam().asks ? (ReportList{{0xB78, 2}, {0xB77, 2}}) : (ReportList{{0xB77, 2}}),
            Reports());
}

INSTANTIATE_TEST_SUITE_P(Dates, UpdateNotifyLaterTest,
                         ::testing::Values(LaterCase{"TwoDaysBack", 2, false},
                                           LaterCase{"FourDaysBack", 4, true}),
                         ovtest::CaseName());

TEST(UpdateNotifyRuleTest, ThreeDaysAreCountedToTheSecond) {
  SYSTEMTIME confirmed = {};
  confirmed.wYear = 2026;
  confirmed.wMonth = 3;
  confirmed.wDay = 1;
  confirmed.wHour = 12;
  SYSTEMTIME now = confirmed;
  now.wDay = 4;
  now.wHour = 11;
  now.wMinute = 59;
  now.wSecond = 59;
  EXPECT_TRUE(ui::update::IsWithinThreeDays(confirmed, now));
  now.wHour = 12;
  now.wMinute = 0;
  now.wSecond = 0;
  EXPECT_FALSE(ui::update::IsWithinThreeDays(confirmed, now));
  EXPECT_FALSE(ui::update::IsWithinThreeDays(SYSTEMTIME{}, now));  // no year: never confirmed
}

struct ReplyCase {
  const char* name;
  const char* scenario;
  uint32_t result;
};
void PrintTo(const ReplyCase& c, std::ostream* os) { *os << c.name; }

class UpdateNotifyReplyTest : public UpdateNotifyWindowTest,
                              public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(UpdateNotifyReplyTest, RepliesWithoutANewerVersionCloseAfterTheInquiry) {
  ovtest::CLogCapture log;
  ASSERT_TRUE(_standin.Set(kLatestPath, GetParam().scenario));
  Open();
  ASSERT_TRUE(WaitForClose());
  EXPECT_EQ(1u, Inquiries());
  EXPECT_EQ((ReportList{{0xB78, GetParam().result}, {0xB77, GetParam().result}}), Reports());
  EXPECT_FALSE(_window->Drawer().Opened());
  EXPECT_EQ(GetParam().result == 2, log.Contains("アプリ更新なし"));
  EXPECT_TRUE(g_opened.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Replies, UpdateNotifyReplyTest,
    ::testing::Values(ReplyCase{"SameVersion", "", 2}, ReplyCase{"OlderVersion", "ver=0.9.0.0", 2},
                      // "<html>error</html>": no ampersand, no RET.
                      ReplyCase{"NoAmpersand", "reply_hex=3c68746d6c3e6572726f723c2f68746d6c3e",
                                0x200000},
                      ReplyCase{"ServerError", "ret=12", 0x20000C},
                      ReplyCase{"Status", "status=500", 0x100000 + 500}),
    ovtest::CaseName());

TEST_F(UpdateNotifyWindowTest, ANewerVersionOpensTheDrawerAndOKOpensItsPage) {
  maintest::WriteSetting(1, 1, maintest::DaysAgo(4));
  ASSERT_TRUE(_standin.Set(kLatestPath, kNewer));
  Open();
  ASSERT_TRUE(WaitForOpenDrawer());
  EXPECT_EQ((ReportList{{0xB78, 1}}), Reports());
  RECT r;
  GetWindowRect(_window->Handle(), &r);
  EXPECT_EQ(172, r.bottom - r.top);
  EXPECT_EQ(_parent->Rect().top + 4, r.bottom);
  EXPECT_TRUE(_window->FindItem(CUpdateNotifyWindow::kDispMsgCheckBox.id)->IsVisible());
  EXPECT_EQ("99.0.0.0", _window->LatestVersion());
  maintest::Screenshot("update_notify_drawer");

  ASSERT_TRUE(_window->ClickItem(CUpdateNotifyWindow::kOKButton.id));
  ASSERT_TRUE(WaitForClose());
  EXPECT_EQ((std::vector<std::string>{"http://127.0.0.1/new/download.html"}), g_opened);
  EXPECT_EQ(0, maintest::ReadNotifiesLater());
  EXPECT_TRUE(_parent->Has(WM_CLOSE));
  EXPECT_EQ((ReportList{{0xB78, 1}, {0xB77, 1}}), Reports());
}

TEST_F(UpdateNotifyWindowTest, AnAddressThatIsNoWebPageOpensTheProductPageInstead) {
  ASSERT_TRUE(
      _standin.Set(kLatestPath, "ver=99.0.0.0&url=file:///C:/windows/system32/notepad.exe"));
  Open();
  ASSERT_TRUE(WaitForOpenDrawer());
  ASSERT_TRUE(_window->ClickItem(CUpdateNotifyWindow::kOKButton.id));
  ASSERT_TRUE(WaitForClose());
  ASSERT_EQ(1u, g_opened.size());
  EXPECT_EQ(0u, g_opened[0].find("http://127.0.0.1:")) << g_opened[0];
  EXPECT_NE(std::string::npos, g_opened[0].find("/car/ostrovelle/ostrovelle_ev/index.html"))
      << g_opened[0];
  EXPECT_TRUE(_parent->Has(WM_CLOSE));
}

TEST_F(UpdateNotifyWindowTest, TheCheckBoxSilencesTheNoticeAndASecondClickUndoesIt) {
  ASSERT_TRUE(_standin.Set(kLatestPath, kNewer));
  Open();
  ASSERT_TRUE(WaitForOpenDrawer());
  ASSERT_TRUE(_window->ClickItem(CUpdateNotifyWindow::kDispMsgCheckBox.id));
  ASSERT_TRUE(PumpUntil([&] { return _window->DoNotShowAgain(); }, kLimitMs));
  EXPECT_EQ(0, maintest::ReadLauncherAutoUpdate());
  ASSERT_TRUE(_window->ClickItem(CUpdateNotifyWindow::kDispMsgCheckBox.id));
  ASSERT_TRUE(PumpUntil([&] { return !_window->DoNotShowAgain(); }, kLimitMs));
  EXPECT_EQ(1, maintest::ReadLauncherAutoUpdate());
  ASSERT_TRUE(_window->ClickItem(CUpdateNotifyWindow::kCloseButton.id));
  ASSERT_TRUE(WaitForClose());
  EXPECT_TRUE(g_opened.empty());
  EXPECT_FALSE(_parent->Has(WM_CLOSE));
}

TEST_F(UpdateNotifyWindowTest, DestroyingTheWindowStopsAndJoinsARunningInquiry) {
  ASSERT_TRUE(_standin.Set(kLatestPath, "delay_ms=3000"));
  Open();
  ASSERT_TRUE(_standin.WaitForRequests(1, kLimitMs));
  ASSERT_TRUE(_window->InquiryRunning());
  _window->DestroyWindow();
  EXPECT_FALSE(_window->InquiryRunning());
  maintest::Pump();
  // Destroyed with its owner, the window reports nothing more.
  EXPECT_FALSE(_parent->Has(0xB78));
  EXPECT_FALSE(_parent->Has(0xB77));
}

}  // namespace
