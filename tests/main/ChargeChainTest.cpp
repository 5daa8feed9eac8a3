// The launcher's charge chain on a real launcher with a simulated card and
// the stand-in service: log upload -> version check -> automatic update ->
// charge start, with the kinds each version result allows; then what the
// core's reports do to the launcher (posted as the core posts them): each
// kind's state image and status type, the status line, the boxes of failed
// results, the user removal, the after-traffic step, and the map charge's
// figures read from progress blocks that the test writes itself.
#include <gtest/gtest.h>

#include "OvWindows.h"

#include <cstdlib>
#include <iostream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "CardMaker.h"
#include "ChargeKind.h"
#include "ChargeStatus.h"
#include "CoreMessages.h"
#include "CoreProcessLock.h"
#include "ErrorMessage.h"
#include "LauncherWindow.h"
#include "LogUploadWindow.h"
#include "MainWindowTestSupport.h"
#include "MessageBoxCapture.h"
#include "OstrovelleLite/UserAgent.h"
#include "OstrovelleLite/UserListFile.h"
#include "ScreenLock.h"
#include "ShareMem.h"
#include "SkinWindowItemAnimation.h"
#include "SkinWindowItemDigitImage.h"
#include "StandIn.h"
#include "StringUtil.h"
#include "TestSupport.h"
#include "UpdateNotifyWindow.h"
#include "ScriptedVolumeDevice.h"
#include "VolumeEject.h"

namespace {

using ui::CChargeChain;
using ui::CLauncherWindow;

constexpr DWORD kLimitMs = 15000;
constexpr uint8_t kModel = 9;  // a unit model the user agent knows
constexpr const char* kDeviceNo = "DIRU0000000077";
constexpr uint32_t kCcid = 0x1234;
constexpr const char* kLatestPath = "/pcapp/GetLatestPcaplAPI";
constexpr const char* kPermissionPath = "/pcapp/LogUploadCheckAPI";

// The core's starts, recorded instead of made.
struct CoreStart {
  char drive;
  uint32_t kinds;
};
std::vector<CoreStart> g_starts;
bool g_start_fails = false;
bool RecordStart(HWND, char drive, uint32_t kinds) {
  g_starts.push_back({drive, kinds});
  return !g_start_fails;
}

HINSTANCE WINAPI NoBrowser(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT) {
  return reinterpret_cast<HINSTANCE>(42);
}

class CRecordingMenu final : public ILauncherMenu {
 public:
  explicit CRecordingMenu(int* enables) : _enables(enables) {}
  void Build(HWND, UINT, UINT) override {}
  bool IsOpen() const override { return false; }
  void Open() override {}
  void Close() override {}
  HWND MenuWindow() const override { return nullptr; }
  void MoveTo(POINT) override {}
  void Enable(bool enabled) override { *_enables += enabled ? 1 : 0; }

 private:
  int* _enables;  // not owned
};

std::string PrivateName(const char* what) {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  return FormatString("%s-%lu-%s", what, GetCurrentProcessId(), info ? info->name() : "");
}

class ChargeChainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(_standin.IsRunning()) << "tools/test starts the stand-in service";
    ASSERT_TRUE(_card.IsValid());
    UseStandIn(true);
    g_starts.clear();
    g_start_fails = false;
    browsertest::SetShellExecute(&NoBrowser);
    ASSERT_TRUE(_standin.Set(kPermissionPath, "valid=FALSE"));
    maintest::WriteSetting(1, 0, SYSTEMTIME{});
  }
  void TearDown() override {
    if (_window && _window->Handle()) DestroyWindow(_window->Handle());
    _window.reset();
    maintest::Pump();
    browsertest::SetShellExecute(nullptr);
    SetVolumeDevice(nullptr);
    SetEnvironmentVariableA("OV_CONNECTION_INFO", nullptr);
  }

  // Connection.info to the stand-in, or to a port where nothing listens.
  void UseStandIn(bool up) {
    const std::string info = _dir.File("Connection.info");
    std::string text = _standin.ConnectionInfo();
    if (!up) ReplaceAll(text, FormatString(":%d/", _standin.Port(ovtest::kStandInHttp)), ":9/");
    ASSERT_TRUE(ovtest::WriteFileBytes(info, text));
    SetEnvironmentVariableA("OV_CONNECTION_INFO", info.c_str());
  }

  // The unit's card on the test's drive, its user registered here.
  void InsertCard() {
    ASSERT_TRUE(ovtest::CCardMaker()
                    .DeviceNo(kDeviceNo)
                    .CcidHead(kCcid)
                    .Model(kModel)
                    .AddRecord(0x10000001, 0x01000203, 0x2011, 0)
                    .WriteCard(_card.Letter(), true));
    CUserListFile users;
    ASSERT_TRUE(users.AddUser(kDeviceNo, "taro", kCcid, "11VuqTRNO/1.000203", 9));
  }

  void Open() {
    _window = std::make_unique<CLauncherWindow>();
    _window->SetQuitOnDestroy(false);
    _window->SetUnitModel(kModel);
    _window->SetMenu(std::make_unique<CRecordingMenu>(&_enables));
    _window->Chain().SetCoreStarter(&RecordStart);
    _window->Chain().SetCancelEvents(_upload_event.c_str(), _inquiry_event.c_str());
    ASSERT_TRUE(_window->CreateMainWindow());
    ShowWindow(_window->Handle(), SW_SHOW);
    maintest::Pump();
  }

  CChargeChain& Chain() { return _window->Chain(); }

  // The chain has come to its charge start (whatever it started).
  ::testing::AssertionResult WaitForChargeStart(ovtest::CLogCapture& log) {
    if (!maintest::PumpUntil([&] { return log.Contains("データ更新開始"); }, kLimitMs)) {
      return ::testing::AssertionFailure() << "the chain never reached the charge start";
    }
    maintest::Pump();
    return ::testing::AssertionSuccess();
  }

  size_t Requests(const char* path) const {
    size_t count = 0;
    for (const ovtest::StandInRequest& request : _standin.Requests()) count += request.path == path;
    return count;
  }

  int StateFrame(const ui::SkinItemDescriptor& item) {
    return static_cast<int>(
        static_cast<ui::CSkinWindowItemDigitImage*>(_window->FindItem(item.id))->Value());
  }

  void Post(const char* message, WPARAM wparam, LPARAM lparam) {
    PostMessageA(_window->Handle(), RegisterOvMessage(message), wparam, lparam);
  }

  // The status line after the chain's next refresh.
  std::string LineAfterRefresh() {
    Chain().RefreshStatusLine();
    maintest::Pump();
    return _window->StatusText();
  }

  std::vector<std::string> BoxTexts() const { return maintest::BoxTexts(_boxes); }

  ovtest::CCoreProcessLock _core_lock;
  ovtest::CScreenLock _screen;
  ovtest::CScopedDataRoot _root;
  ovtest::CTestCard _card;
  ovtest::CStandIn _standin;
  ovtest::CTempDir _dir;
  ovtest::CMessageBoxCapture _boxes;
  std::string _upload_event = PrivateName("AplLogUploadCancel");
  std::string _inquiry_event = PrivateName("EventInquiryCancel");
  int _enables = 0;
  std::unique_ptr<CLauncherWindow> _window;
};

struct ChainCase {
  const char* name;
  bool standin_up;
  bool inquiry_due;
  const char* reply;  // the latest-version reply
  uint32_t result;    // the version check's result
  uint32_t kinds;     // started; 0 none
  int enables;        // the menu's enabling
};
void PrintTo(const ChainCase& c, std::ostream* os) { *os << c.name; }

const ChainCase kChainCases[] = {
    {"VersionEqualStartsAllKinds", true, true, "", 2, CHARGE_KIND_ALL, 1},
    {"StandInDownStartsMusicOnly", false, true, "", 0x100000, CHARGE_KIND_MUSIC, 1},
    {"ServerErrorStartsMusicOnly", true, true, "ret=12", 0x20000C, CHARGE_KIND_MUSIC, 1},
    {"NoInquiryDueStartsAllKinds", true, false, "", 2, CHARGE_KIND_ALL, 1},
};

class ChargeChainRunTest : public ChargeChainTest,
                           public ::testing::WithParamInterface<ChainCase> {};

TEST_P(ChargeChainRunTest, StartsTheKindsTheVersionCheckAllows) {
  const ChainCase& c = GetParam();
  InsertCard();
  UseStandIn(c.standin_up);
  if (!c.inquiry_due) maintest::WriteSetting(0, 0, SYSTEMTIME{});
  ASSERT_TRUE(_standin.Set(kLatestPath, c.reply));
  ovtest::CLogCapture log;
  Open();
  ASSERT_EQ(_card.Letter(), _window->CurrentDrive());
  ASSERT_TRUE(WaitForChargeStart(log));
  ASSERT_NE(nullptr, Chain().UpdateWindow());
  // A transfer failure carries the client's error below its flag.
  const uint32_t result = Chain().VersionResult();
  EXPECT_EQ(c.result, c.result == 0x100000 ? result & 0xFFF00000 : result) << std::hex << result;
  ASSERT_EQ(1u, g_starts.size());
  EXPECT_EQ(_card.Letter(), g_starts[0].drive);
  EXPECT_EQ(c.kinds, g_starts[0].kinds);
  EXPECT_EQ(c.enables, _enables);
  // The log upload asked its service first (when it could be reached), then
  // the version check asked its own.
  EXPECT_TRUE(log.Contains("ログアップロード開始"));
  EXPECT_TRUE(log.Contains("ログアップロード終了通知"));
  EXPECT_EQ(c.standin_up ? 1u : 0u, Requests(kPermissionPath));
  EXPECT_EQ(c.standin_up && c.inquiry_due ? 1u : 0u, Requests(kLatestPath));
  EXPECT_EQ(c.inquiry_due, log.Contains("自動アップデートサーバーチェック終了通知"));
  EXPECT_TRUE(log.Contains("自動アップデート開始"));
  EXPECT_EQ(c.kinds == CHARGE_KIND_MUSIC,
            log.Contains("バージョンアップ確認接続エラーのため、音楽転送のみ"));
}

INSTANTIATE_TEST_SUITE_P(Results, ChargeChainRunTest, ::testing::ValuesIn(kChainCases),
                         ovtest::CaseName());

TEST_F(ChargeChainTest, ANewerVersionStartsNothingAndLeavesTheMenuDisabled) {
  InsertCard();
  ASSERT_TRUE(_standin.Set(kLatestPath, "ver=99.0.0.0&url=http://127.0.0.1/new/download.html"));
  ovtest::CLogCapture log;
  Open();
  ASSERT_TRUE(maintest::PumpUntil(
      [&] {
        return Chain().UpdateWindow() && Chain().UpdateWindow()->Drawer().Opened() &&
               !Chain().UpdateWindow()->Drawer().Sliding();
      },
      kLimitMs));
  EXPECT_EQ(ui::update::kNewer, Chain().VersionResult());
  ASSERT_TRUE(Chain().UpdateWindow()->ClickItem(ui::CUpdateNotifyWindow::kCancelButton.id));
  ASSERT_TRUE(WaitForChargeStart(log));
  EXPECT_TRUE(g_starts.empty());
  EXPECT_EQ(0, _enables);
  EXPECT_TRUE(log.Contains("バージョンアップ確認未達成のためチャージ無し RET:0x00000001"));
  // The refresh asks the same of the version result.
  PostMessageA(_window->Handle(), RegisterOvMessage(ui::CChargeChain::kRequestStartCharge), 0, 0);
  maintest::Pump();
  EXPECT_TRUE(g_starts.empty());
}

TEST_F(ChargeChainTest, WithoutACardTheLastUserSendsTheLogsAndNothingStarts) {
  CUserListFile users;
  ASSERT_TRUE(users.AddUser(kDeviceNo, "taro", kCcid, "11VuqTRNO/1.000203", 9));
  ovtest::CLogCapture log;
  Open();
  ASSERT_EQ(0, _window->CurrentDrive());
  ASSERT_TRUE(WaitForChargeStart(log));
  EXPECT_EQ(1u, Requests(kPermissionPath));
  EXPECT_TRUE(g_starts.empty());
  EXPECT_TRUE(log.Contains("自動アップデート終了通知時のSDカード無し(チャージ実行無し)"));
}

TEST_F(ChargeChainTest, WithoutAnyUserTheLogUploadIsSkipped) {
  ovtest::CLogCapture log;
  Open();
  ASSERT_TRUE(WaitForChargeStart(log));
  EXPECT_EQ(0u, Requests(kPermissionPath));
  EXPECT_TRUE(log.Contains("ログアップロード用情報不足のためSKIP"));
  EXPECT_TRUE(log.Contains("ログアップロード終了通知 MSG:0x00000000 ERR:0x00000000"));
}

// The core's reports, posted as the core posts them.
class ChargeReportTest : public ChargeChainTest {
 protected:
  void SetUp() override {
    ChargeChainTest::SetUp();
    maintest::WriteSetting(0, 0, SYSTEMTIME{});
    InsertCard();
    ovtest::CLogCapture log;
    Open();
    ASSERT_TRUE(WaitForChargeStart(log));
    g_starts.clear();
  }
};

TEST_F(ChargeReportTest, ProgressAndResultsSetEachKindsStateAndLine) {
  Post(kMsgNotifyProgress, 30, CHARGE_KIND_WEATHER);
  maintest::Pump();
  EXPECT_TRUE(Chain().IsCharging());
  EXPECT_EQ(4, Chain().KindType(CHARGE_KIND_WEATHER));
  const std::string line = LineAfterRefresh();
  EXPECT_EQ(0u, line.find("Stratovine更新中")) << line;
  // The state image blinks between the quarter's frame and the one below.
  ASSERT_TRUE(maintest::PumpUntil(
      [&] { return StateFrame(CLauncherWindow::kWeatherProgressImage) == 3; }, kLimitMs));
  ASSERT_TRUE(maintest::PumpUntil(
      [&] { return StateFrame(CLauncherWindow::kWeatherProgressImage) == 2; }, kLimitMs));
  maintest::Screenshot("launcher_charging");
  // While a charge runs the card's panel offers to abort it.
  SetForegroundWindow(_window->Handle());
  SendMessageA(_window->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(346, 72));
  ASSERT_TRUE(_window->IsSDPanelOpen());
  EXPECT_TRUE(_window->FindItem(CLauncherWindow::kSDAbortButton.id)->IsVisible());
  EXPECT_FALSE(_window->FindItem(CLauncherWindow::kSDEjectButton.id)->IsVisible());
  maintest::Screenshot("launcher_abort_panel");
  SendMessageA(_window->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(346, 72));
  EXPECT_FALSE(_window->IsSDPanelOpen());
  EXPECT_FALSE(_window->FindItem(CLauncherWindow::kSDAbortButton.id)->IsVisible());

  const struct {
    uint32_t word;
    const ui::SkinItemDescriptor* item;
    int frame;
    int type;
  } kResults[] = {
      {0x8000000, &CLauncherWindow::kWeatherProgressImage, 6, 22},
      {0x100FF01, &CLauncherWindow::kProbeProgressImage, 5, 12},
      {0x200FF02, &CLauncherWindow::kMapProgressImage, 5, 17},
      {0x1000FF00, &CLauncherWindow::kMusicProgressImage, 1, 27},
  };
  for (const auto& r : kResults) {
    Post(kMsgNotifyError, r.word, 0);
    maintest::Pump();
    EXPECT_EQ(r.frame, StateFrame(*r.item)) << std::hex << r.word;
    EXPECT_EQ(r.type, Chain().KindType(r.word >> 24)) << std::hex << r.word;
  }
  EXPECT_FALSE(Chain().IsCharging());
  EXPECT_EQ(0, Chain().CurrentType());
  EXPECT_EQ("SDカードを検出しました。", LineAfterRefresh());
  EXPECT_TRUE(_boxes.Boxes().empty()) << "done, skipped, nothing new and aborted show no box";
  // Kind 32 shares the map's running line but has no state image.
  Post(kMsgNotifyProgress, 10, 0x20);
  maintest::Pump();
  EXPECT_EQ(2, Chain().CurrentType());
  Post(kMsgNotifyError, 0x20000000, 0);
  maintest::Pump();
  EXPECT_EQ(17, Chain().KindType(CHARGE_KIND_MAP));
  maintest::Screenshot("launcher_results");

  // A card change forgets every kind.
  PostMessageA(_window->Handle(), RegisterOvMessage(kMsgSDChange), 0, 0);
  maintest::Pump();
  EXPECT_EQ(0, StateFrame(CLauncherWindow::kWeatherProgressImage));
  EXPECT_EQ(0, Chain().KindType(CHARGE_KIND_WEATHER));
}

TEST_F(ChargeReportTest, AFailureShowsItsTextAndAnUnknownUserLeavesTheList) {
  uint32_t style = 0;
  const std::string failed = GetErrorMessage(0x8000005, &style, 0);
  const std::string unknown = GetErrorMessage(0x4200205, &style, 0);
  ASSERT_FALSE(failed.empty());
  ASSERT_FALSE(unknown.empty());
  Post(kMsgNotifyError, 0x8000005, 0);
  maintest::Pump();
  EXPECT_EQ(1, StateFrame(CLauncherWindow::kWeatherProgressImage));
  EXPECT_EQ((std::vector<std::string>{failed}), BoxTexts());
  EXPECT_EQ(23, Chain().KindType(CHARGE_KIND_WEATHER));

  Post(kMsgNotifyError, 0x4200205, 0);
  maintest::Pump();
  EXPECT_EQ((std::vector<std::string>{failed, unknown}), BoxTexts());
  CUserListFile users;
  ASSERT_TRUE(users.Load());
  EXPECT_FALSE(users.Exists(kDeviceNo));
}

TEST_F(ChargeReportTest, TheTrafficResultEjectsOrClosesAfterTheExitStep) {
  maintest::CScriptedDevice device;
  SetVolumeDevice(&device);
  Chain().StartAfterTraffic(CChargeChain::kAfterTrafficEject);
  ASSERT_EQ(1u, g_starts.size());
  EXPECT_EQ(uint32_t{CHARGE_KIND_TIDEWHEEL}, g_starts[0].kinds);
  EXPECT_EQ(0, device.ejects);
  Post(kMsgNotifyError, 0x4000000, 0);
  maintest::Pump();
  EXPECT_EQ(1, device.ejects);
  EXPECT_EQ(CChargeChain::kAfterTrafficNone, Chain().AfterTrafficMode());
  SYSTEMTIME zero = {};
  // The launcher keeps the time for the information charge's rule.
  EXPECT_NE(0, memcmp(&zero, &_window->Notices().LastTraffic(), sizeof(zero)));

  Chain().StartAfterTraffic(CChargeChain::kAfterTrafficClose);
  Post(kMsgNotifyError, 0x400FF02, 0);
  // Closing asks nothing, even with a busy core.
  ASSERT_TRUE(maintest::PumpUntil([&] { return _window->Handle() == nullptr; }, kLimitMs));
}

// When the core cannot be started for the traffic step, nothing would ever
// report: the eject or close follows at once.
TEST_F(ChargeReportTest, ACoreThatCannotStartLetsTheEjectAndCloseGoOnAtOnce) {
  maintest::CScriptedDevice device;
  SetVolumeDevice(&device);
  g_start_fails = true;
  Chain().StartAfterTraffic(CChargeChain::kAfterTrafficEject);
  EXPECT_EQ(1, device.ejects);
  EXPECT_EQ(CChargeChain::kAfterTrafficNone, Chain().AfterTrafficMode());
  Chain().StartAfterTraffic(CChargeChain::kAfterTrafficClose);
  ASSERT_TRUE(maintest::PumpUntil([&] { return _window->Handle() == nullptr; }, kLimitMs));
}

// The core's progress blocks, written by the test as the core writes them.
class CProgressBlockWriter final {
 public:
  explicit CProgressBlockWriter(const char* name) {
    const std::string mutex_name = std::string(name) + "_MTX_EXT";
    _mapping.Reset(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      kMapChargeProgressSize, name));
    _view = MapViewOfFile(_mapping.Get(), FILE_MAP_ALL_ACCESS, 0, 0, 0);
    _mutex.Create(mutex_name.c_str());
  }
  ~CProgressBlockWriter() {
    if (_view) UnmapViewOfFile(_view);
  }
  bool IsValid() const { return _view && _mutex.Get(); }
  void Write(uint32_t phase, uint32_t speed, uint64_t step, uint64_t processed, uint64_t total) {
    const uint32_t words[8] = {phase,
                               speed,
                               static_cast<uint32_t>(step),
                               static_cast<uint32_t>(step >> 32),
                               static_cast<uint32_t>(processed),
                               static_cast<uint32_t>(processed >> 32),
                               static_cast<uint32_t>(total),
                               static_cast<uint32_t>(total >> 32)};
    WaitForSingleObject(_mutex.Get(), INFINITE);
    CopyMemory(_view, words, sizeof(words));
    ReleaseMutex(_mutex.Get());
  }

 private:
  CHandle _mapping;
  void* _view = nullptr;
  CMutexObj _mutex;
};

TEST_F(ChargeReportTest, MapFiguresComeFromTheProgressBlocks) {
  ovtest::CLogCapture log;
  CProgressBlockWriter dl(kMapChargeDLProgress);
  CProgressBlockWriter tr(kMapChargeTRProgress);
  ASSERT_TRUE(dl.IsValid());
  ASSERT_TRUE(tr.IsValid());
  Post(kMsgNotifyProgress, 0, CHARGE_KIND_MAP);
  // Download: 1 of 4 GiB at 2,500,000 bytes a second.
  dl.Write(1, 2500000, 65536, 1ull << 30, 4ull << 30);
  Post(kMsgMapProgressStart, 1, 0);
  maintest::Pump();
  const auto& r = Chain().MapRecord();
  EXPECT_EQ(mapprogress::kPhaseDownload, r.phase);
  EXPECT_EQ(4ull << 30, r.total);
  EXPECT_DOUBLE_EQ(25.0, r.percent);
  EXPECT_EQ((3ull << 30) / 2500000, r.remaining);
  EXPECT_EQ(0u, LineAfterRefresh().find("地図データダウンロード中"));
  maintest::Screenshot("launcher_map_phase_text");

  dl.Write(1, 2500000, 65536, 2ull << 30, 4ull << 30);
  Post(kMsgMapProgress, 1, 0);
  maintest::Pump();
  EXPECT_DOUBLE_EQ(50.0, r.percent);
  // The display steps on: percent and time, then the speed.
  ASSERT_TRUE(maintest::PumpUntil([&] { return r.mode == mapprogress::kModePercent; }, kLimitMs));
  maintest::Pump();
  EXPECT_EQ(0u, _window->StatusText().find(" 50.0％完了　残り時間 約  0:"))
      << _window->StatusText();
  maintest::Screenshot("launcher_map_percent");
  ASSERT_TRUE(maintest::PumpUntil([&] { return r.mode == mapprogress::kModeSpeed; }, kLimitMs));
  maintest::Pump();
  EXPECT_EQ("通信速度 約   20.0 Mbps", _window->StatusText());
  maintest::Screenshot("launcher_map_speed");

  Post(kMsgMapProgressEnd, 1, 0);
  maintest::Pump();
  EXPECT_TRUE(
      log.Contains("CLauncherWindow::OnMapChargeEnd - マップチャージ全体サイズ = 4294967296 "));
  EXPECT_TRUE(log.Contains("CLauncherWindow::OnMapChargeEnd - マップチャージ進捗率 =  50.0 "));
  EXPECT_TRUE(log.Contains("CLauncherWindow::OnMapChargeEnd - マップチャージ回線速度 = 2500000 "));
  EXPECT_EQ(mapprogress::kPhaseNone, r.phase);

  // Transfer: the total comes with the start; later writes leave it 0.
  tr.Write(2, 0, 0, 0, 1000000);
  Post(kMsgMapProgressStart, 2, 0);
  maintest::Pump();
  tr.Write(2, 100000, 4096, 250000, 0);
  Post(kMsgMapProgress, 2, 0);
  maintest::Pump();
  EXPECT_EQ(1000000u, r.total);
  EXPECT_DOUBLE_EQ(25.0, r.percent);
  // 750,000 bytes left at 100,000 a second, less what the countdown took.
  EXPECT_LE(r.remaining, 7u);
  EXPECT_GE(r.remaining, 5u);
  EXPECT_EQ(mapprogress::kModePhase, r.mode);
  EXPECT_EQ(0u, LineAfterRefresh().find("SDカードへ転送中"));
  maintest::Screenshot("launcher_map_transfer");
  // Checking the transferred data stops the countdown; resuming restarts it.
  Post(kMsgMapProgress, 2, 1);
  maintest::Pump();
  EXPECT_EQ(mapprogress::kPhaseChecking, r.phase);
  EXPECT_EQ(0u, LineAfterRefresh().find("転送済データのチェック中です"));
  maintest::Screenshot("launcher_map_checking");
  const uint64_t left = r.remaining;
  Post(kMsgMapProgress, 2, 2);
  maintest::Pump();
  EXPECT_EQ(mapprogress::kPhaseTransfer, r.phase);
  ASSERT_TRUE(maintest::PumpUntil([&] { return r.remaining < left; }, kLimitMs));
  Post(kMsgMapProgressEnd, 2, 0);
  maintest::Pump();
  EXPECT_EQ(0u, r.total);
}

TEST_F(ChargeReportTest, MissingBlocksOnlyLogAndShowThePhaseText) {
  ovtest::CLogCapture log;
  Post(kMsgNotifyProgress, 0, CHARGE_KIND_MAP);
  Post(kMsgMapProgressStart, 1, 0);
  Post(kMsgMapProgress, 2, 0);
  maintest::Pump();
  EXPECT_TRUE(log.Contains("CLauncherWindow::OnMapChargeStart - DL用共有メモリオープン失敗"));
  EXPECT_TRUE(
      log.Contains("CLauncherWindow::OnMapChargeProgress - 共有メモリオープン失敗 : Type=2"));
  EXPECT_EQ(0u, LineAfterRefresh().find("SDカードへ転送中"));
  Post(kMsgMapProgressStart, 3, 0);
  maintest::Pump();
  EXPECT_TRUE(log.Contains("CLauncherWindow::OnMapChargeStart - CHKDSK開始"));
  EXPECT_EQ("マップチャージ中", LineAfterRefresh());
  Post(kMsgMapProgressEnd, 3, 0);
  maintest::Pump();
  EXPECT_TRUE(log.Contains("CLauncherWindow::OnMapChargeEnd - CHKDSK終了"));
}

// The charging animation in the card icon's place: what the back buffer
// shows there, cell (24, 30) of the picture, is the card's data level, which
// rises from frame 3 on; (2, 24) is the animation's frame or the icon's edge.
constexpr POINT kChargingLevel = {322 + 24, 48 + 30};
constexpr POINT kIconEdge = {322 + 2, 48 + 24};
constexpr COLORREF kChargingEdge = RGB(232, 150, 50);
constexpr COLORREF kCardIconEdge = RGB(70, 160, 100);
constexpr COLORREF kDataLevel = RGB(70, 120, 190);
constexpr COLORREF kEmptyCard = RGB(250, 250, 250);

TEST_F(ChargeReportTest, TheChargingAnimationRunsWhileACoreReportsACharge) {
  auto* anime = static_cast<ui::CSkinWindowItemAnimation*>(
      _window->FindItem(CLauncherWindow::kSDChargingAnime.id));
  ASSERT_NE(nullptr, anime);
  const auto pixel = [&](POINT p) { return _window->BackBuffer()->GetPixel(p.x, p.y); };
  EXPECT_FALSE(_window->IsChargingShown());
  EXPECT_EQ(kCardIconEdge, pixel(kIconEdge));

  Post(kMsgNotifyProgress, 10, CHARGE_KIND_MUSIC);
  maintest::Pump();
  ASSERT_TRUE(_window->IsChargingShown());
  EXPECT_FALSE(_window->FindItem(CLauncherWindow::kSDEjectableIcon.id)->IsVisible());
  EXPECT_EQ(kChargingEdge, pixel(kIconEdge));
  // The frames advance on the window's timer: the data level rises, the
  // cycle starts again with an empty card, and rises again.
  for (const COLORREF level : {kDataLevel, kEmptyCard, kDataLevel}) {
    ASSERT_TRUE(maintest::PumpUntil([&] { return pixel(kChargingLevel) == level; }, kLimitMs))
        << std::hex << level << " frame " << anime->Frame();
  }
  maintest::Screenshot("launcher_charging_animation");
  // Further reports keep it running without starting it again.
  Post(kMsgNotifyProgress, 60, CHARGE_KIND_MUSIC);
  maintest::Pump();
  EXPECT_TRUE(_window->IsChargingShown());

  // The result stops it and gives the card icon back, which stays still.
  Post(kMsgNotifyError, 0x10000000, 0);
  maintest::Pump();
  EXPECT_FALSE(_window->IsChargingShown());
  EXPECT_FALSE(anime->IsVisible());
  EXPECT_EQ(0, anime->Frame());
  EXPECT_TRUE(_window->FindItem(CLauncherWindow::kSDEjectableIcon.id)->IsVisible());
  EXPECT_EQ(kCardIconEdge, pixel(kIconEdge));
  const COLORREF idle = pixel(kChargingLevel);
  // A second of the launcher's timers (five frames of a running animation).
  const int dots = Chain().Dots();
  ASSERT_TRUE(maintest::PumpUntil([&] { return Chain().Dots() != dots; }, kLimitMs));
  EXPECT_EQ(idle, pixel(kChargingLevel));
  EXPECT_EQ(0, anime->Frame());

  // A card change ends the core: nothing runs any more, whether it
  // reported its end or not.
  Post(kMsgNotifyProgress, 10, CHARGE_KIND_MAP);
  maintest::Pump();
  ASSERT_TRUE(_window->IsChargingShown());
  PostMessageA(_window->Handle(), RegisterOvMessage(kMsgSDChange), 0, 0);
  maintest::Pump();
  EXPECT_FALSE(_window->IsChargingShown());
  EXPECT_FALSE(Chain().IsCharging());
  EXPECT_TRUE(_window->FindItem(CLauncherWindow::kSDUnAlivalIcon.id)->IsVisible());
}

// The pointer over an item, as the system reports it: the real pointer is
// put there (so that tracking does not report it gone), the move sent.
void PointAt(HWND window, POINT client) {
  POINT screen = client;
  ClientToScreen(window, &screen);
  SetCursorPos(screen.x, screen.y);
  SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(client.x, client.y));
}

constexpr POINT kNoItem = {200, 112};  // between the card panel and the states

struct HoverCase {
  const char* name;
  POINT at;
  int type;          // the hint's status type
  const char* text;  // the line it shows; empty: the card's line
};
void PrintTo(const HoverCase& c, std::ostream* os) { *os << c.name; }

// Weather has done, probe skipped, the map reported nothing yet.
const HoverCase kHoverCases[] = {
    {"WeatherDone", {256 + 20, 140 + 20}, 22, "Stratovine更新完了"},
    {"ProbeSkipped", {28 + 20, 140 + 20}, 12, "プローブデータアップロードスキップ"},
    {"MapNotReported", {104 + 20, 140 + 20}, 0, ""},
    {"CardIcon", {322 + 24, 48 + 24}, 60, "SDカードを取り出します。"},
};

class ChargeHoverTest : public ChargeReportTest, public ::testing::WithParamInterface<HoverCase> {};

TEST_P(ChargeHoverTest, AnItemsHintStaysOnTheLineUntilThePointerLeaves) {
  const HoverCase& c = GetParam();
  Post(kMsgNotifyError, 0x8000000, 0);
  Post(kMsgNotifyError, 0x100FF01, 0);
  maintest::Pump();
  const std::string card_line = "SDカードを検出しました。";
  ASSERT_EQ(card_line, LineAfterRefresh());
  const std::string expected = c.text[0] ? c.text : card_line;

  PointAt(_window->Handle(), c.at);
  ASSERT_TRUE(maintest::PumpUntil([&] { return _window->ShownStatusType() == c.type; }, kLimitMs))
      << _window->ShownStatusType();
  EXPECT_EQ(expected, _window->StatusText());
  // The chain's refresh leaves a hint alone.
  EXPECT_EQ(expected, LineAfterRefresh());
  if (c.type == 60) maintest::Screenshot("launcher_eject_hint");

  // Leaving the item for the launcher's background gives the line back.
  PointAt(_window->Handle(), kNoItem);
  ASSERT_TRUE(maintest::PumpUntil([&] { return _window->ShownStatusType() == 0; }, kLimitMs));
  EXPECT_EQ(card_line, _window->StatusText());

  // So does the pointer leaving the window from the item.
  PointAt(_window->Handle(), c.at);
  ASSERT_TRUE(maintest::PumpUntil([&] { return _window->ShownStatusType() == c.type; }, kLimitMs));
  SendMessageA(_window->Handle(), WM_MOUSELEAVE, 0, 0);
  ASSERT_TRUE(maintest::PumpUntil([&] { return _window->ShownStatusType() == 0; }, kLimitMs));
  EXPECT_EQ(card_line, _window->StatusText());
}

INSTANTIATE_TEST_SUITE_P(Items, ChargeHoverTest, ::testing::ValuesIn(kHoverCases),
                         ovtest::CaseName());

// While a charge runs the animation's hint is the abort's, and the running
// kind's state image shows its running line.
TEST_F(ChargeReportTest, WhileChargingTheAnimationAndTheRunningKindHaveTheirHints) {
  Post(kMsgNotifyProgress, 50, CHARGE_KIND_MUSIC);
  maintest::Pump();
  ASSERT_TRUE(_window->IsChargingShown());
  PointAt(_window->Handle(), {322 + 24, 48 + 24});
  ASSERT_TRUE(maintest::PumpUntil([&] { return _window->ShownStatusType() == 61; }, kLimitMs));
  EXPECT_EQ("処理を中止します。", _window->StatusText());
  maintest::Screenshot("launcher_abort_hint");
  PointAt(_window->Handle(), {332 + 20, 140 + 20});
  ASSERT_TRUE(maintest::PumpUntil([&] { return _window->ShownStatusType() == 5; }, kLimitMs));
  EXPECT_EQ(0u, _window->StatusText().find("ミュージックチャージ中")) << _window->StatusText();
  PointAt(_window->Handle(), kNoItem);
  maintest::Pump();
  // The running line is the chain's own: it stays.
  EXPECT_EQ(0u, LineAfterRefresh().find("ミュージックチャージ中"));
}

TEST_F(ChargeReportTest, AHintOnTheLineIsNotOverwrittenByARefresh) {
  Post(kMsgNotifyProgress, 10, CHARGE_KIND_MUSIC);
  PostMessageA(_window->Handle(), CChargeChain::kStatusMessage, 44, 0);
  maintest::Pump();
  EXPECT_EQ("設定を行います", LineAfterRefresh());
  PostMessageA(_window->Handle(), CChargeChain::kStatusMessage, 0, 0);
  maintest::Pump();
  EXPECT_EQ(0u, LineAfterRefresh().find("ミュージックチャージ中"));
}

}  // namespace

// ---- Real cores started by the launcher, under the one-core lock.

std::string BuiltProgram(const char* relative_path) {
  std::string relative = relative_path;
  ReplaceAll(relative, "/", "\\");
  return ovtest::ExecutableFolder() + relative;
}

// The result words the launcher heard, from its log lines.
std::vector<uint32_t> HeardWords(const ovtest::CLogCapture& log) {
  std::vector<uint32_t> words;
  const std::string text = log.Text();
  const std::string mark = "転送完了通知 CHG:";
  for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + 1)) {
    const size_t erc = text.find("ERC:0x", at);
    if (erc == std::string::npos) break;
    words.push_back(static_cast<uint32_t>(strtoul(text.c_str() + erc + 6, nullptr, 16)));
  }
  return words;
}

class ChargeCoreRunTest : public ChargeChainTest {
 protected:
  void SetUp() override {
    ChargeChainTest::SetUp();
    maintest::WriteSetting(0, 0, SYSTEMTIME{});
    InsertCard();
  }
  void TearDown() override {
    ChargeChainTest::TearDown();
    for (const char* name : _set_variables) SetEnvironmentVariableA(name, nullptr);
    SetEnvironmentVariableA("OV_INSTALL_DIR", nullptr);
  }

  // The install folder's core: the product's or the test host.
  void InstallCore(const char* relative_path) {
    ASSERT_TRUE(CopyFileA(BuiltProgram(relative_path).c_str(),
                          _install.File("Ostrovelle_Core.exe").c_str(), FALSE))
        << BuiltProgram(relative_path);
    SetEnvironmentVariableA("OV_INSTALL_DIR", _install.Path().c_str());
  }
  void SetVariable(const char* name, const std::string& value) {
    SetEnvironmentVariableA(name, value.c_str());
    _set_variables.push_back(name);
  }

  // Opens the launcher with the installed core and waits until every kind
  // has reported its result.
  ::testing::AssertionResult RunAllKinds(ovtest::CLogCapture& log, DWORD limit_ms) {
    _window = std::make_unique<CLauncherWindow>();
    _window->SetQuitOnDestroy(false);
    _window->SetUnitModel(kModel);
    _window->Chain().SetCancelEvents(_upload_event.c_str(), _inquiry_event.c_str());
    if (!_window->CreateMainWindow()) return ::testing::AssertionFailure() << "no launcher";
    ShowWindow(_window->Handle(), SW_SHOW);
    // The map charge's questions are the notice window's; here each is
    // answered no as soon as the core has made its events.
    bool answered[4] = {};
    const bool all = maintest::PumpUntil(
        [&] {
          const char* const kNoEvents[] = {kMapLicenseEvent, kMapDownloadEvent, kMapProbeEvent,
                                           kMapVerifyEvent};
          for (int i = 0; i < 4 && _answer_questions; ++i) {
            if (answered[i]) continue;
            CHandle no(OpenEventA(EVENT_MODIFY_STATE, FALSE,
                                  (std::string(kNoEvents[i]) + kMapAnswerNoSuffix).c_str()));
            if (no) answered[i] = SetEvent(no.Get()) != FALSE;
          }
          for (const uint32_t kind : {1u, 2u, 4u, 8u, 16u}) {
            if (Chain().KindType(kind) < 10) return false;
          }
          return true;
        },
        limit_ms);
    maintest::Pump();
    if (!all) return ::testing::AssertionFailure() << "not every kind reported: " << log.Text();
    return ::testing::AssertionSuccess();
  }

  // Each heard word's state image and box, as the rules give them.
  void ExpectStatesAndBoxesOf(const std::vector<uint32_t>& words) {
    std::string heard;
    for (const uint32_t w : words) heard += FormatString(" %08X", w);
    std::cout << "result words heard:" << heard << std::endl;
    std::vector<std::string> boxes;
    for (const uint32_t word : words) {
      const charge::ResultOutcome outcome = charge::OutcomeOf(word);
      if (outcome.slot < 0) continue;
      EXPECT_EQ(outcome.status_type, Chain().KindType(word >> 24)) << std::hex << word;
      uint32_t style = 0;
      const std::string text = GetErrorMessage(word, &style, 0);
      if (outcome.shows_box && !text.empty()) boxes.push_back(text);
    }
    const std::vector<std::string> shown = BoxTexts();
    ASSERT_EQ(boxes.size(), shown.size());
    for (size_t i = 0; i < boxes.size(); ++i) {
      // The box may add the platform error behind the text.
      EXPECT_EQ(0u, shown[i].find(boxes[i].substr(0, boxes[i].find("\r\n")))) << shown[i];
    }
  }

  ovtest::CTempDir _install;
  std::vector<const char*> _set_variables;
  bool _answer_questions = true;
};

// The test host reports exactly the words the test names: done, skipped,
// nothing new and a failure with its box.
TEST_F(ChargeCoreRunTest, TheHostsWordsGiveEachKindItsStateAndBox) {
  InstallCore(OV_CORE_HOST_RELATIVE);
  const std::string tag = FormatString("chain%lu", GetCurrentProcessId());
  SetVariable("OV_TEST_TAG", tag);
  const struct {
    uint32_t kind;
    const char* code;
    const ui::SkinItemDescriptor* item;
    int frame;
    int type;
  } kKinds[] = {
      {1, "0", &CLauncherWindow::kProbeProgressImage, 6, 10},
      {2, "FF01", &CLauncherWindow::kMapProgressImage, 5, 16},
      {4, "FF02", &CLauncherWindow::kTidewheelProgressImage, 5, 21},
      {8, "5", &CLauncherWindow::kWeatherProgressImage, 1, 23},
      {16, "0", &CLauncherWindow::kMusicProgressImage, 6, 26},
  };
  static const char* const kResultNames[] = {"OV_TEST_RESULT_1", "OV_TEST_RESULT_2",
                                             "OV_TEST_RESULT_4", "OV_TEST_RESULT_8",
                                             "OV_TEST_RESULT_16"};
  std::vector<CHandle> releases;
  for (size_t i = 0; i < 5; ++i) {
    SetVariable(kResultNames[i], kKinds[i].code);
    const std::string name = FormatString("OvCoreHost_%s_release_%u", tag.c_str(), kKinds[i].kind);
    releases.emplace_back(CreateEventA(nullptr, TRUE, TRUE, name.c_str()));
  }
  ovtest::CLogCapture log;
  ASSERT_TRUE(RunAllKinds(log, 60000));
  for (const auto& k : kKinds) {
    EXPECT_EQ(k.frame, StateFrame(*k.item)) << k.kind;
    EXPECT_EQ(k.type, Chain().KindType(k.kind)) << k.kind;
  }
  uint32_t style = 0;
  ASSERT_EQ(1u, BoxTexts().size());
  EXPECT_EQ(0u, BoxTexts()[0].find(GetErrorMessage(0x8000005, &style, 0))) << BoxTexts()[0];
  EXPECT_EQ(5u, HeardWords(log).size());
  maintest::Screenshot("launcher_host_results");
}

// The product's core against the stand-in: every kind runs and ends, and
// the launcher shows what each word says.
TEST_F(ChargeCoreRunTest, TheProductCoreRunsEveryKindFromTheLauncher) {
  InstallCore(OV_CORE_EXE_RELATIVE);
  ovtest::CLogCapture log;
  ASSERT_TRUE(RunAllKinds(log, 240000));
  // On this card: no probe data to send (skipped), the map up to date
  // (nothing new), the information charges refused by the service and no
  // music to send (failed, each with its box).
  const std::vector<uint32_t> words = HeardWords(log);
  EXPECT_EQ((std::vector<uint32_t>{0x100FF01, 0x200FF02, 0x440FF05, 0x830FF03, 0x10000011}), words);
  ExpectStatesAndBoxesOf(words);
  EXPECT_EQ(5, StateFrame(CLauncherWindow::kProbeProgressImage));
  EXPECT_EQ(5, StateFrame(CLauncherWindow::kMapProgressImage));
  EXPECT_EQ(1, StateFrame(CLauncherWindow::kTidewheelProgressImage));
  maintest::Screenshot("launcher_core_results");
}

// With the service down the charges that need it fail, each with its box.
TEST_F(ChargeCoreRunTest, TheProductCoreWithoutTheServiceFailsWithBoxes) {
  InstallCore(OV_CORE_EXE_RELATIVE);
  UseStandIn(false);
  ovtest::CLogCapture log;
  ASSERT_TRUE(RunAllKinds(log, 240000));
  const std::vector<uint32_t> words = HeardWords(log);
  ASSERT_EQ(5u, words.size());
  // The map and the information charges could not connect.
  for (size_t i = 1; i <= 3; ++i) EXPECT_EQ(0x100000u, words[i] & 0xF00000) << std::hex << words[i];
  ExpectStatesAndBoxesOf(words);
  EXPECT_EQ(1, StateFrame(CLauncherWindow::kMapProgressImage));
}
