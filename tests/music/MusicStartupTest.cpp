// The music manager's start-up: a refused command line and an unsupported
// system end at once (boxes only through the framework's handler), each
// mode runs once, and the program ends through its window.
#include <gtest/gtest.h>

#include "CardMaker.h"
#include "CoreMessages.h"
#include "CoreProcessLock.h"
#include "Handle.h"
#include "MessageBoxCapture.h"
#include "MusicStartup.h"
#include "MusicTestWindow.h"
#include "OstrovelleLite/OstrovelleConfig.h"
#include "StringUtil.h"
#include "TestSupport.h"
#include "Version.h"
#include "_WindowPolicy.h"

namespace {

TEST(MusicStartupTest, BadCommandLinesEndQuietly) {
  for (const char* line : {"", "/d E /w 0 /m manual", "/d E /w 10 /m other", "/w 10 /m manual"}) {
    ovtest::CLogCapture log;
    ovtest::CMessageBoxCapture boxes;
    MusicRunOptions options;
    options.open_log = false;
    EXPECT_EQ(0, RunMusic(GetModuleHandleA(nullptr), line, options)) << line;
    EXPECT_TRUE(log.Contains("コマンドライン不正")) << line;
    EXPECT_TRUE(log.Contains(FormatString("lpCmdLine [%s]", line))) << line;
    EXPECT_TRUE(boxes.Boxes().empty()) << line;
  }
}

TEST(MusicStartupTest, NullCommandLineIsLoggedAsNull) {
  ovtest::CLogCapture log;
  MusicRunOptions options;
  options.open_log = false;
  EXPECT_EQ(0, RunMusic(GetModuleHandleA(nullptr), nullptr, options));
  EXPECT_TRUE(log.Contains("lpCmdLine [(null)]"));
}

TEST(MusicStartupTest, OlderSystemsAreToldThroughTheBoxHandler) {
  struct Case {
    int type;
    bool runs;
  };
  for (const Case c : {Case{kOSWin2000, false}, Case{kOSWinMe, false}, Case{kOSWinXP, true},
                       Case{kOSWinServer2003R2, true}, Case{kOSWin7, true}}) {
    ovtest::CLogCapture log;
    ovtest::CMessageBoxCapture boxes;
    MusicRunOptions options;
    options.open_log = false;
    options.os_type = [&] { return c.type; };
    // A refused command line ends a supported system's run right after the check.
    EXPECT_EQ(0, RunMusic(GetModuleHandleA(nullptr), "/d E", options));
    if (c.runs) {
      EXPECT_TRUE(boxes.Boxes().empty()) << c.type;
      EXPECT_TRUE(log.Contains("コマンドライン不正")) << c.type;
      continue;
    }
    ASSERT_EQ(1u, boxes.Boxes().size()) << c.type;
    const ovtest::CapturedBox box = boxes.Boxes()[0];
    EXPECT_EQ(L"Ostrovelle Music Manual", box.caption);
    EXPECT_NE(std::wstring::npos, box.text.find(L"このOSでは動作できません"));
    EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION), box.style);
    EXPECT_TRUE(log.Contains(FormatString("起動OS-NG OSType:%d", c.type)));
    EXPECT_FALSE(log.Contains("lpCmdLine"));
  }
}

// The program as a process, one per mode, with a window of this test as
// the notify window.
class MusicProcess final {
 public:
  ~MusicProcess() {
    if (_process && WaitForSingleObject(_process.Get(), 0) == WAIT_TIMEOUT) {
      TerminateProcess(_process.Get(), 1);
      WaitForSingleObject(_process.Get(), 10000);
    }
  }
  bool Start(const std::string& arguments) {
    std::string relative = OV_MUSIC_EXE_RELATIVE;
    ReplaceAll(relative, "/", "\\");
    std::string line = FormatString("\"%s%s\" %s", ovtest::ExecutableFolder().c_str(),
                                    relative.c_str(), arguments.c_str());
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info)) {
      return false;
    }
    CloseHandle(info.hThread);
    _process.Reset(info.hProcess);
    return true;
  }
  // The exit code once it ended within the limit; -1 otherwise.
  long Wait(DWORD limit_ms) const {
    if (WaitForSingleObject(_process.Get(), limit_ms) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(_process.Get(), &code);
    return static_cast<long>(code);
  }
  bool IsRunning() const { return WaitForSingleObject(_process.Get(), 0) == WAIT_TIMEOUT; }
  HANDLE Handle() const { return _process.Get(); }

 private:
  CHandle _process;
};

// The window of a mode, once its program shows it (it starts when the
// process has finished its start-up).
HWND WaitForWindow(const MusicProcess& process, const char* title) {
  WaitForInputIdle(process.Handle(), 20000);
  HWND window = FindWindowA(lib::wfc::kDefaultWindowClass, title);
  // The window may appear just after the process went idle for the first
  // time; the wait ends at once when the process ends instead.
  for (int i = 0; !window && i < 200 && WaitForSingleObject(process.Handle(), 100) == WAIT_TIMEOUT;
       ++i) {
    window = FindWindowA(lib::wfc::kDefaultWindowClass, title);
  }
  return window;
}

std::string Arguments(char drive, HWND notify, const char* mode) {
  return FormatString("/d %c /w %08X /m %s", drive,
                      static_cast<unsigned>(reinterpret_cast<UINT_PTR>(notify)), mode);
}

TEST(MusicProcessTest, EachModeRunsOnceAndEndsWithItsWindow) {
  // The manual window asks the core: no other test's core may answer.
  ovtest::CCoreProcessLock core_lock;
  // One test process at a time runs the program: the mutexes are the desktop's.
  CHandle lock(CreateMutexA(nullptr, FALSE, "OvTestMusicProcessLock"));
  ASSERT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(lock.Get(), 600000));
  ovtest::CScopedDataRoot root;
  // A card of the unit and the manual transfer method: the window opens
  // without a question.
  ovtest::CTestCard card;
  ASSERT_TRUE(card.IsValid());
  ASSERT_TRUE(ovtest::CCardMaker().WriteCard(card.Letter(), true));
  COstrovelleConfig config;
  config.InitMusic(false);
  config.SetChargeType(1);
  ASSERT_TRUE(config.SaveMusic());
  const char drive = card.Letter();
  const HWND notify = GetDesktopWindow();

  MusicProcess manual;
  ASSERT_TRUE(manual.Start(Arguments(drive, notify, "manual")));
  const HWND manual_window = WaitForWindow(manual, "Ostrovelle Music Manual");
  ASSERT_NE(nullptr, manual_window);
  EXPECT_TRUE(IsWindowVisible(manual_window));
  EXPECT_TRUE(musicmanualtest::SaveScreenshot(manual_window, "music_manual_process"));
  EXPECT_NE(nullptr, FindWindowA("OSTROVELLEEVMUSIC", "Ostrovelle Music "));

  MusicProcess second;
  ASSERT_TRUE(second.Start(Arguments('F', notify, "Manual")));
  EXPECT_EQ(0, second.Wait(20000)) << "a second manual start ends at once";
  EXPECT_TRUE(manual.IsRunning());

  MusicProcess setting;
  ASSERT_TRUE(setting.Start(Arguments(drive, notify, "setting")));
  const HWND setting_window = WaitForWindow(setting, "Ostrovelle Music Setting");
  ASSERT_NE(nullptr, setting_window);
  EXPECT_TRUE(setting.IsRunning()) << "the settings mode runs beside the manual one";
  EXPECT_TRUE(musicmanualtest::SaveScreenshot(setting_window, "music_setting_placeholder"));

  EXPECT_TRUE(PostMessageA(manual_window, RegisterOvMessage(kMsgRequestEnd), 0, 0));
  EXPECT_EQ(0, manual.Wait(20000));
  EXPECT_TRUE(PostMessageA(setting_window, WM_CLOSE, 0, 0));
  EXPECT_EQ(0, setting.Wait(20000));

  // With the first one gone, a manual start runs again.
  MusicProcess again;
  ASSERT_TRUE(again.Start(Arguments(drive, notify, "manual")));
  const HWND again_window = WaitForWindow(again, "Ostrovelle Music Manual");
  ASSERT_NE(nullptr, again_window);
  PostMessageA(again_window, WM_CLOSE, 0, 0);
  EXPECT_EQ(0, again.Wait(20000));
  ReleaseMutex(lock.Get());
}

TEST(MusicProcessTest, RefusedCommandLineEndsTheProgram) {
  ovtest::CScopedDataRoot root;
  MusicProcess process;
  ASSERT_TRUE(process.Start("/d E /w 0 /m manual"));
  EXPECT_EQ(0, process.Wait(20000));
}

}  // namespace
