// The launcher against a real core process: the core's test host, started
// for the launcher's window with a music charge that it holds until the
// test lets it go. Close, eject and abort each ask before they end the
// charge; No keeps the launcher, the core and its charge, Yes ends the core.
#include <gtest/gtest.h>

#include "OvWindows.h"

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "CoreMessages.h"
#include "CoreProcessLock.h"
#include "Handle.h"
#include "LauncherWindow.h"
#include "MainWindowTestSupport.h"
#include "MessageBoxCapture.h"
#include "ProgramStart.h"
#include "ScreenLock.h"
#include "StringUtil.h"
#include "TestSupport.h"

#ifdef OV_CORE_HOST_RELATIVE

namespace {

using maintest::PumpUntil;
using ui::CLauncherWindow;

constexpr DWORD kLimitMs = 30000;
constexpr uint32_t kMusicKind = 0x10;
const std::wstring kAskClose = L"データチャージ中です。転送を中断し、Ostrovelleを終了しますか？";
const std::wstring kAskTransfer = L"データチャージ中です。転送を中断しますか？";

HWND FindCore() { return FindWindowA(kCoreWindowClass, kCoreWindowTitle); }

// A card on E: that stays.
class CCardOnE final : public CLauncherCardScan {
 public:
  void FindCards(std::vector<char>& cards, DWORD* last_error) override {
    cards.assign(1, 'E');
    *last_error = 0;
  }
  bool IsWritable(char) override { return true; }
  LauncherCard ReadCard(char) override { return LauncherCard{true, "DEV123", 3}; }
  bool IsRegistered(const std::string&) override { return true; }
  uint64_t FreeSpace(char) override { return 16000000000ull; }
};

enum class Request { kClose, kEject, kAbort };

struct BusyCase {
  const char* name;
  Request request;
  int answer;
  std::wstring question;
  bool core_ends;
  bool launcher_ends;
};
void PrintTo(const BusyCase& c, std::ostream* os) { *os << c.name; }

const BusyCase kBusyCases[] = {
    {"CloseNo", Request::kClose, IDNO, kAskClose, false, false},
    {"CloseYes", Request::kClose, IDYES, kAskClose, true, true},
    {"EjectNo", Request::kEject, IDNO, kAskTransfer, false, false},
    {"AbortNo", Request::kAbort, IDNO, kAskTransfer, false, false},
    {"AbortYes", Request::kAbort, IDYES, kAskTransfer, true, false},
};

class LauncherBusyCoreTest : public ::testing::TestWithParam<BusyCase> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(_core_lock.IsHeld());
    SetEnvironmentVariableA("OV_TEST_TAG", _tag.c_str());
  }
  void TearDown() override {
    if (_window && _window->Handle()) DestroyWindow(_window->Handle());
    _window.reset();
    maintest::Pump();
    if (_core && WaitForSingleObject(_core.Get(), 0) == WAIT_TIMEOUT) {
      TerminateProcess(_core.Get(), 1);
      WaitForSingleObject(_core.Get(), kLimitMs);
    }
    SetEnvironmentVariableA("OV_TEST_TAG", nullptr);
  }

  void OpenWithBusyCore() {
    _window = std::make_unique<CLauncherWindow>();
    _window->SetQuitOnDestroy(false);
    _window->SetUnitModel(3);
    _window->SetCardScan(std::make_unique<CCardOnE>());
    ASSERT_TRUE(_window->CreateMainWindow());
    ShowWindow(_window->Handle(), SW_SHOW);
    maintest::Pump();
    // The host's charge waits for its release event, which never comes.
    std::string host = OV_CORE_HOST_RELATIVE;
    ReplaceAll(host, "/", "\\");
    host = ovtest::ExecutableFolder() + host;
    const std::string command = BuildCommandLine(
        host, FormatString(" /d C /w %08X /p msc",
                           static_cast<unsigned>(reinterpret_cast<UINT_PTR>(_window->Handle()))));
    ASSERT_TRUE(StartProcess(command, SW_HIDE, &_core));
    ASSERT_TRUE(PumpUntil([&] { return _window->BusyKinds() == kMusicKind; }, kLimitMs))
        << "the core never held the charge";
  }

  bool CoreEnded() const { return WaitForSingleObject(_core.Get(), 0) == WAIT_OBJECT_0; }

  ovtest::CCoreProcessLock _core_lock;
  ovtest::CScreenLock _screen;
  ovtest::CScopedDataRoot _root;
  ovtest::CMessageBoxCapture _boxes;
  std::string _tag = FormatString("launcher%lu", GetCurrentProcessId());
  CHandle _core;
  std::unique_ptr<CLauncherWindow> _window;
};

TEST_P(LauncherBusyCoreTest, AsksBeforeEndingTheCharge) {
  const BusyCase& c = GetParam();
  ASSERT_NO_FATAL_FAILURE(OpenWithBusyCore());
  _boxes.Answer(c.answer);
  switch (c.request) {
    case Request::kClose:
      PostMessageA(_window->Handle(), WM_CLOSE, 0, 0);
      break;
    case Request::kEject:
      ASSERT_TRUE(_window->ClickItem(CLauncherWindow::kSDEjectButton.id));
      break;
    case Request::kAbort:
      ASSERT_TRUE(_window->ClickItem(CLauncherWindow::kSDAbortButton.id));
      break;
  }
  ASSERT_TRUE(PumpUntil([&] { return !_boxes.Boxes().empty(); }, kLimitMs));
  ASSERT_EQ(1u, _boxes.Boxes().size());
  EXPECT_EQ(c.question, _boxes.Boxes()[0].text);
  EXPECT_EQ(UINT(MB_YESNO | MB_ICONQUESTION), _boxes.Boxes()[0].style);
  if (c.core_ends) {
    EXPECT_TRUE(PumpUntil([&] { return CoreEnded(); }, kLimitMs)) << "the core kept running";
    EXPECT_EQ(nullptr, FindCore());
  } else {
    maintest::Pump();
    EXPECT_FALSE(CoreEnded());
    EXPECT_EQ(kMusicKind, _window->BusyKinds());
  }
  if (c.launcher_ends) {
    EXPECT_TRUE(PumpUntil([&] { return _window->Handle() == nullptr; }, kLimitMs));
  } else {
    EXPECT_NE(nullptr, _window->Handle());
    EXPECT_EQ('E', _window->CurrentDrive());
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, LauncherBusyCoreTest, ::testing::ValuesIn(kBusyCases),
                         ovtest::CaseName());

}  // namespace

#endif  // OV_CORE_HOST_RELATIVE
