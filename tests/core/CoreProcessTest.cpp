// The core as a real process: single instance, hand-over of drive, window
// and requests to the running core, the reservation answer, abort, end, the
// version box, the debug menu, and the music charge filling a card.
// Ostrovelle_Core.exe has no other charges yet, so the runs of charges use
// core_test_host.exe (the same start-up with charges of the tests' own; see
// host/). Only one core may run in the Wine session at a time: the tests
// take a lock across processes.
#include "ChargeKind.h"
#include "CoreMessages.h"
#include "CoreProcessLock.h"
#include "CoreTestSupport.h"
#include "Folders.h"
#include "Handle.h"
#include "MusicTestSupport.h"
#include "OstrovelleLite/OstrovelleConfig.h"
#include "StringUtil.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using coretest::CRecorderWindow;
using coretest::Msg;
using coretest::PumpUntil;

constexpr DWORD kTimeoutMs = 30000;

std::string CoreExe() {
  std::string relative = OV_CORE_EXE_RELATIVE;
  ReplaceAll(relative, "/", "\\");
  return ovtest::ExecutableFolder() + relative;
}

std::string HostExe() { return ovtest::ExecutableFolder() + OV_CORE_HOST_EXE; }

std::string CoreArguments(char drive, HWND notify, const char* kinds) {
  return FormatString(" /d %c /w %08X /p %s", drive,
                      static_cast<unsigned>(reinterpret_cast<UINT_PTR>(notify)), kinds);
}

HWND FindCore() { return FindWindowA(kCoreWindowClass, kCoreWindowTitle); }

// One started program; terminated if it is still running at the end.
class CProgram final {
 public:
  explicit CProgram(const std::string& command_line) {
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::string line = command_line;
    if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
      const CHandle thread(pi.hThread);
      _process.Reset(pi.hProcess);
    }
  }
  ~CProgram() {
    if (_process && WaitForSingleObject(_process.Get(), 0) == WAIT_TIMEOUT) {
      TerminateProcess(_process.Get(), 1);
      WaitForSingleObject(_process.Get(), kTimeoutMs);
    }
  }
  CProgram(const CProgram&) = delete;
  CProgram& operator=(const CProgram&) = delete;

  bool IsStarted() const { return _process.IsValid(); }
  bool WaitIdle() const { return WaitForInputIdle(_process.Get(), kTimeoutMs) == 0; }
  // Pumps this thread's messages meanwhile, so that reports keep arriving.
  bool WaitExit(DWORD* code) const {
    const bool ended = PumpUntil(
        [&] { return WaitForSingleObject(_process.Get(), 0) == WAIT_OBJECT_0; }, kTimeoutMs);
    if (ended) GetExitCodeProcess(_process.Get(), code);
    return ended;
  }

 private:
  CHandle _process;
};

class CoreProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(_lock.IsHeld());
    SetEnvironmentVariableA("OV_TEST_TAG", _tag.c_str());
  }
  void TearDown() override {
    ovtest::EndStrayPrograms();
    SetEnvironmentVariableA("OV_TEST_TAG", nullptr);
  }

  // Starts a program that is expected to end by itself (a second start).
  static DWORD RunToEnd(const std::string& command_line) {
    CProgram program(command_line);
    DWORD code = 0xFFFFFFFF;
    program.WaitExit(&code);
    return code;
  }
  bool WaitForCore() {
    return PumpUntil([] { return FindCore() != nullptr; }, kTimeoutMs);
  }
  DWORD_PTR Reconfirm(HWND core) {
    DWORD_PTR answer = 0xFFFFFFFF;
    SendMessageTimeoutA(core, Msg(kMsgRequestReconfirm), 0, reinterpret_cast<LPARAM>(notify.Get()),
                        SMTO_ABORTIFHUNG, kTimeoutMs, &answer);
    return answer;
  }
  void Release(uint32_t kind) {
    CHandle e(CreateEventA(nullptr, TRUE, FALSE,
                           FormatString("OvCoreHost_%s_release_%u", _tag.c_str(), kind).c_str()));
    SetEvent(e.Get());
    // Kept open until the charge has seen it.
    _released.push_back(std::move(e));
  }
  // Kinds whose start (progress 0) the window received, in order.
  static std::vector<uint32_t> Started(const CRecorderWindow& window) {
    std::vector<uint32_t> kinds;
    for (const auto& m : window.Of(Msg(kMsgNotifyProgress))) {
      if (m.wparam == 0) kinds.push_back(static_cast<uint32_t>(m.lparam));
    }
    return kinds;
  }
  static bool WaitStarted(const CRecorderWindow& window, const std::vector<uint32_t>& kinds) {
    return PumpUntil([&] { return Started(window) == kinds; }, kTimeoutMs);
  }
  static bool HasErrorWord(const CRecorderWindow& window, WPARAM word) {
    for (const auto& m : window.Of(Msg(kMsgNotifyError))) {
      if (m.wparam == word) return true;
    }
    return false;
  }
  std::string Log(const char* program) const {
    return ovtest::ReadFileOrEmpty(root.Root() + "Log\\" + program + ".log");
  }

  ovtest::CScopedDataRoot root;
  CRecorderWindow notify;

 private:
  ovtest::CCoreProcessLock _lock;
  const std::string _tag = FormatString("%lu", GetCurrentProcessId());
  std::vector<CHandle> _released;
};

TEST_F(CoreProcessTest, ABadCommandLineEndsBeforeTheMutex) {
  for (const std::string& arguments :
       {std::string(" /d E /p map"), FormatString(" /w %08X /p map", 0x1234u)}) {
    const ovtest::ProcessResult result = ovtest::RunProcess(CoreExe() + arguments, kTimeoutMs);
    ASSERT_TRUE(result.finished) << arguments;
    EXPECT_EQ(0u, result.exit_code);
    CHandle mutex(OpenMutexA(SYNCHRONIZE, FALSE, kCoreMutexName));
    EXPECT_FALSE(mutex) << arguments;
  }
  EXPECT_NE(std::string::npos, Log("Ostrovelle_Core").find("コマンドライン不正"));
}

TEST_F(CoreProcessTest, ASecondStartHandsOverAndTheFirstEndsWhenAsked) {
  CProgram first(CoreExe() + CoreArguments('C', notify.Get(), ""));
  ASSERT_TRUE(first.IsStarted());
  ASSERT_TRUE(WaitForCore());
  const HWND core = FindCore();
  EXPECT_EQ(0u, Reconfirm(core));

  // A drive without a card: the charge ends at its start, whatever its kind.
  const char missing = coretest::MissingDriveLetter();
  ASSERT_NE(missing, 0);
  CRecorderWindow second_notify;
  EXPECT_EQ(0u, RunToEnd(CoreExe() + CoreArguments(missing, second_notify.Get(), "map")));
  EXPECT_EQ(core, FindCore());
  // The new window hears of it; nothing stays reserved.
  const UINT error = Msg(kMsgNotifyError);
  ASSERT_TRUE(PumpUntil([&] { return second_notify.Count(error) > 0; }, kTimeoutMs));
  EXPECT_EQ(ChargeErrorWord(CHARGE_KIND_MAP, CHARGE_RESULT_NOSD),
            second_notify.Of(error)[0].wparam);
  EXPECT_EQ(0u, Reconfirm(core));

  PostMessageA(core, Msg(kMsgRequestEnd), 0, 0);
  DWORD code = 1;
  ASSERT_TRUE(first.WaitExit(&code));
  EXPECT_EQ(0u, code);
  const std::string log = Log("Ostrovelle_Core");
  EXPECT_NE(std::string::npos, log.find("多重起動"));
  EXPECT_NE(std::string::npos,
            log.find(FormatString("情報再設定時のドライブ変更 C -> %c", missing)));
  EXPECT_NE(std::string::npos, log.find("CCoreManager::~CCoreManager - End"));
}

TEST_F(CoreProcessTest, ChargesRunInOrderReportToTheNewWindowAndStopOnAbortAndEnd) {
  CProgram first(HostExe() + CoreArguments('C', notify.Get(), "msc map"));
  ASSERT_TRUE(WaitForCore());
  const HWND core = FindCore();
  ASSERT_TRUE(WaitStarted(notify, {CHARGE_KIND_MAP}));
  EXPECT_EQ(0x12u, Reconfirm(core));

  CRecorderWindow second_notify;
  EXPECT_EQ(0u, RunToEnd(HostExe() + CoreArguments('C', second_notify.Get(), "wl")));
  EXPECT_EQ(0x1Au, Reconfirm(core));

  // Weather comes before music; the reports now go to the second window.
  PostMessageA(core, Msg(kMsgRequestAbort), 0, CHARGE_KIND_MAP);
  ASSERT_TRUE(WaitStarted(second_notify, {CHARGE_KIND_WEATHER}));
  EXPECT_TRUE(HasErrorWord(second_notify, 0x0200FF00));
  Release(CHARGE_KIND_WEATHER);
  ASSERT_TRUE(WaitStarted(second_notify, {CHARGE_KIND_WEATHER, CHARGE_KIND_MUSIC}));
  EXPECT_TRUE(HasErrorWord(second_notify, 0x08000000));
  EXPECT_EQ(0x10u, Reconfirm(core));

  PostMessageA(core, Msg(kMsgRequestEnd), 0, 0);
  DWORD code = 1;
  ASSERT_TRUE(first.WaitExit(&code));
  EXPECT_EQ(0u, code);
  EXPECT_TRUE(HasErrorWord(second_notify, 0x1000FF00));
  EXPECT_EQ(1u, Started(notify).size());
}

// Whichever of two starts comes first becomes the core; the other hands
// its request over, even when the core's window is not there yet.
TEST_F(CoreProcessTest, TwoStartsAtOnceRunTheRequestOnce) {
  CProgram a(HostExe() + CoreArguments('C', notify.Get(), ""));
  CProgram b(HostExe() + CoreArguments('C', notify.Get(), "map"));
  ASSERT_TRUE(WaitStarted(notify, {CHARGE_KIND_MAP})) << Log("core_test_host");
  Release(CHARGE_KIND_MAP);
  ASSERT_TRUE(PumpUntil([&] { return HasErrorWord(notify, 0x02000000); }, kTimeoutMs));
  PostMessageA(FindCore(), Msg(kMsgRequestEnd), 0, 0);
  DWORD code = 1;
  ASSERT_TRUE(a.WaitExit(&code));
  EXPECT_EQ(0u, code);
  ASSERT_TRUE(b.WaitExit(&code));
  EXPECT_EQ(0u, code);
}

// A start that meets a core on its way out is not lost. Here the core
// still waits for its last charge: the new request withdraws the end.
TEST_F(CoreProcessTest, ARequestToACoreThatIsEndingWithdrawsTheEnd) {
  SetEnvironmentVariableA("OV_TEST_STUBBORN_2", "1");
  CProgram a(HostExe() + CoreArguments('C', notify.Get(), "map"));
  SetEnvironmentVariableA("OV_TEST_STUBBORN_2", nullptr);
  ASSERT_TRUE(WaitStarted(notify, {CHARGE_KIND_MAP}));
  const HWND core = FindCore();
  PostMessageA(core, Msg(kMsgRequestEnd), 0, 0);
  EXPECT_EQ(0u, RunToEnd(HostExe() + CoreArguments('C', notify.Get(), "wl")));
  Release(CHARGE_KIND_MAP);
  ASSERT_TRUE(WaitStarted(notify, {CHARGE_KIND_MAP, CHARGE_KIND_WEATHER})) << Log("core_test_host");
  EXPECT_EQ(core, FindCore());
  PostMessageA(core, Msg(kMsgRequestEnd), 0, 0);
  DWORD code = 1;
  ASSERT_TRUE(a.WaitExit(&code));
  EXPECT_EQ(0u, code);
  EXPECT_TRUE(HasErrorWord(notify, 0x0800FF00));
  EXPECT_NE(std::string::npos, Log("core_test_host").find("多重起動"));
}

// Here the core's window is gone but the process still holds the mutex
// while it reaps a worker that ignores its abort: the new start waits for
// the mutex and becomes the core itself.
TEST_F(CoreProcessTest, AStartWhileTheCoreWindowIsGoneTakesOver) {
  SetEnvironmentVariableA("OV_TEST_STUBBORN_2", "1");
  CProgram a(HostExe() + CoreArguments('C', notify.Get(), "map"));
  SetEnvironmentVariableA("OV_TEST_STUBBORN_2", nullptr);
  ASSERT_TRUE(WaitStarted(notify, {CHARGE_KIND_MAP}));
  // The first core lives on for the reap alone (about a second), less than
  // a program start takes under load: kept open here, the mutex outlives
  // it, so the new start always finds it taken or abandoned.
  const CHandle held_name(OpenMutexA(SYNCHRONIZE, FALSE, kCoreMutexName));
  ASSERT_TRUE(held_name);
  PostMessageA(FindCore(), WM_COMMAND, 105, 0);
  ASSERT_TRUE(PumpUntil([] { return FindCore() == nullptr; }, kTimeoutMs));
  CProgram b(HostExe() + CoreArguments('C', notify.Get(), "wl"));
  ASSERT_TRUE(WaitStarted(notify, {CHARGE_KIND_MAP, CHARGE_KIND_WEATHER})) << Log("core_test_host");
  DWORD code = 1;
  ASSERT_TRUE(a.WaitExit(&code));
  EXPECT_EQ(0u, code);
  PostMessageA(FindCore(), Msg(kMsgRequestEnd), 0, 0);
  ASSERT_TRUE(b.WaitExit(&code));
  EXPECT_EQ(0u, code);
  EXPECT_NE(std::string::npos,
            Log("core_test_host").find("起動中のCoreが終了したため、このCoreで処理を継続"));
}

TEST_F(CoreProcessTest, TheMusicChargeFillsTheCard) {
  ovtest::CTestCard card;
  ASSERT_TRUE(card.IsValid());
  ovtest::CTempDir pc;
  const std::wstring folder = ToWide(pc.Path()) + L"ミュージック";
  ASSERT_TRUE(
      musictest::WriteFileW(folder + L"\\Rock\\アルバム\\1.mp3", musictest::MakeMp3(L"A", 1)));
  ASSERT_TRUE(
      musictest::WriteFileW(folder + L"\\Rock\\アルバム\\\u0132.mp3", musictest::MakeMp3(L"A", 2)));
  ASSERT_TRUE(CreateDirectories(GetSettingFolder()));
  COstrovelleConfig config;
  config.InitMusic(false);
  config.SetMusicFolderW(folder);
  config.SetChargeInterval(0);
  ASSERT_TRUE(config.SaveMusic());

  CProgram core(CoreExe() + CoreArguments(card.Letter(), notify.Get(), "msc"));
  ASSERT_TRUE(PumpUntil([&] { return HasErrorWord(notify, 0x10000000); }, kTimeoutMs))
      << Log("Ostrovelle_Core");
  const std::wstring sd = std::wstring(1, static_cast<wchar_t>(card.Letter())) + L":\\AV\\MUSIC";
  EXPECT_TRUE(musictest::FileExistsW(sd + L"\\アルバム\\1.mp3"));
  EXPECT_TRUE(musictest::FileExistsW(sd + L"\\アルバム\\\u0132.mp3"));
  bool full_bar = false;
  for (const auto& m : notify.Of(Msg(kMsgNotifyProgress))) full_bar |= m.wparam == 100;
  EXPECT_TRUE(full_bar);
  PostMessageA(FindCore(), Msg(kMsgRequestEnd), 0, 0);
  DWORD code = 1;
  ASSERT_TRUE(core.WaitExit(&code));
  EXPECT_EQ(0u, code);
}

TEST_F(CoreProcessTest, TheVersionBoxKeepsTheChargesGoingAndTheMenuWorks) {
  CProgram core_program(HostExe() + CoreArguments('C', notify.Get(), ""));
  ASSERT_TRUE(WaitForCore());
  const HWND core = FindCore();
  PostMessageA(core, WM_COMMAND, 104, 0);
  // Found once it is shown, its controls made.
  HWND box = nullptr;
  ASSERT_TRUE(PumpUntil(
      [&] {
        box = FindWindowA("#32770", "バージョン情報");
        return box && IsWindowVisible(box);
      },
      kTimeoutMs));
  EXPECT_EQ(core, GetWindow(box, GW_OWNER));
  EXPECT_NE(nullptr, FindWindowExA(box, nullptr, "Static", "OstrovelleEVCore Version 1.0"));
  char text[64] = {};
  GetWindowTextA(GetDlgItem(box, IDOK), text, sizeof(text));
  EXPECT_STREQ("OK", text);

  // The debug menu's map request runs while the box is open.
  PostMessageA(core, WM_COMMAND, 0x8010, 0);
  ASSERT_TRUE(WaitStarted(notify, {CHARGE_KIND_MAP}));
  PostMessageA(core, WM_COMMAND, 0x8015, 0);
  ASSERT_TRUE(PumpUntil([&] { return HasErrorWord(notify, 0x0200FF00); }, kTimeoutMs));

  PostMessageA(box, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(PumpUntil([&] { return !IsWindow(box); }, kTimeoutMs));
  PostMessageA(core, WM_COMMAND, 105, 0);
  DWORD code = 1;
  ASSERT_TRUE(core_program.WaitExit(&code));
  EXPECT_EQ(0u, code);
}

}  // namespace
