// Ostrovelle_EV.exe as a process: "MapDownload" reaches a running launcher
// (a window of this test posing as one, or the program's own launcher, which
// then starts the core from the test's install folder) and opens nothing
// without one; "Uninstall" empties the data root; each mode runs once,
// side by side, and a second start brings the running window back.
// Every case holds the one-core lock: the programs' names are global.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ConnectionParameterData.h"
#include "CoreMessages.h"
#include "CoreProcessLock.h"
#include "Handle.h"
#include "OstrovelleLite/UserAgent.h"
#include "OstrovelleLite/UserListFile.h"
#include "PosingWindow.h"
#include "ProgramStart.h"
#include "CardMaker.h"
#include "ScreenLock.h"
#include "StandIn.h"
#include "StringUtil.h"
#include "TestSupport.h"
#include "XvfbScreenshot.h"

namespace {

using maintest::PumpUntil;

constexpr DWORD kTimeoutMs = 20000;
constexpr char kFrameworkClass[] = "WFC-OstrovelleEVDefaultWindowClass";

std::string MainExe() {
  std::string relative = OV_MAIN_EXE_RELATIVE;
  ReplaceAll(relative, "/", "\\");
  return ovtest::ExecutableFolder() + relative;
}

// One start of the program; terminated if it still runs at the end.
class CMainProcess final {
 public:
  explicit CMainProcess(const std::string& arguments) {
    std::string line = "\"" + MainExe() + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &info)) {
      CloseHandle(info.hThread);
      _process.Reset(info.hProcess);
    }
  }
  ~CMainProcess() {
    if (IsRunning()) {
      TerminateProcess(_process.Get(), 1);
      WaitForSingleObject(_process.Get(), kTimeoutMs);
    }
  }
  CMainProcess(const CMainProcess&) = delete;
  CMainProcess& operator=(const CMainProcess&) = delete;

  bool IsStarted() const { return _process.IsValid(); }
  bool IsRunning() const {
    return _process && WaitForSingleObject(_process.Get(), 0) == WAIT_TIMEOUT;
  }
  // The exit code once it ended within the limit (pumping meanwhile); -1
  // otherwise.
  long Wait(DWORD limit_ms = kTimeoutMs) const {
    if (!PumpUntil([this] { return !IsRunning(); }, limit_ms)) return -1;
    DWORD code = 0;
    GetExitCodeProcess(_process.Get(), &code);
    return static_cast<long>(code);
  }
  // The framework window of this title once the program shows it; null
  // when the program ends first or after the limit.
  HWND WaitWindow(const char* title) const {
    HWND window = nullptr;
    PumpUntil(
        [&] {
          window = FindWindowA(kFrameworkClass, title);
          return (window && IsWindowVisible(window)) || !IsRunning();
        },
        kTimeoutMs);
    return window && IsWindowVisible(window) ? window : nullptr;
  }

 private:
  CHandle _process;
};

// The CCID as the request's form carries it.
std::string CcidText(uint32_t ccid) {
  ConnectionParameterData parameters;
  parameters.SetCcidHeadParameter(8, ccid);
  return parameters.GetValue(8);
}

// The message box a program shows (a dialog of its process): answered with
// `button` once it is there; false when none came within the limit.
struct BoxSearch {
  DWORD program;
  HWND box;
};

BOOL CALLBACK FindBoxOfProgram(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<BoxSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  char name[16] = {};
  GetClassNameA(window, name, sizeof(name));
  if (owner == search->program && lstrcmpA(name, "#32770") == 0 && IsWindowVisible(window)) {
    search->box = window;
    return FALSE;
  }
  return TRUE;
}

bool AnswerBoxOf(HWND window_of_program, int button) {
  DWORD program = 0;
  GetWindowThreadProcessId(window_of_program, &program);
  BoxSearch search = {program, nullptr};
  const bool found = PumpUntil(
      [&] {
        EnumWindows(&FindBoxOfProgram, reinterpret_cast<LPARAM>(&search));
        return search.box != nullptr;
      },
      kTimeoutMs);
  if (found) PostMessageA(search.box, WM_COMMAND, static_cast<WPARAM>(button), 0);
  return found;
}

// The edit controls among a window's children.
BOOL CALLBACK CollectEdits(HWND child, LPARAM found) {
  char name[32] = {};
  GetClassNameA(child, name, sizeof(name));
  if (lstrcmpiA(name, "Edit") == 0) reinterpret_cast<std::vector<HWND>*>(found)->push_back(child);
  return TRUE;
}

// An install folder of the test's own (OV_INSTALL_DIR) whose core and music
// manager are the recording stand-in.
class CScopedInstallDir final {
 public:
  CScopedInstallDir() {
    const std::string recorder = ovtest::ExecutableFolder() + OV_RECORDER_EXE;
    _ok = CopyFileA(recorder.c_str(), _dir.File("Ostrovelle_Core.exe").c_str(), FALSE) &&
          CopyFileA(recorder.c_str(), _dir.File("Ostrovelle_Music.exe").c_str(), FALSE);
    SetEnvironmentVariableA("OV_INSTALL_DIR", _dir.Path().c_str());
  }
  ~CScopedInstallDir() { SetEnvironmentVariableA("OV_INSTALL_DIR", nullptr); }
  CScopedInstallDir(const CScopedInstallDir&) = delete;
  CScopedInstallDir& operator=(const CScopedInstallDir&) = delete;

  bool IsReady() const { return _ok; }
  // The command lines the stand-in of a program was started with, each
  // without the blanks before it.
  std::string Started(const char* program) const {
    std::string lines = ovtest::ReadFileOrEmpty(_dir.File(std::string(program) + ".cmdline"));
    ReplaceAll(lines, "\n ", "\n");
    const size_t first = lines.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : lines.substr(first);
  }
  // The messages the music manager's stand-in window got, a line each.
  std::string Messages(const char* program) const {
    return ovtest::ReadFileOrEmpty(_dir.File(std::string(program) + ".messages"));
  }
  // Forgets what the stand-in of a program recorded.
  void Forget(const char* program) {
    DeleteFileA(_dir.File(std::string(program) + ".messages").c_str());
    DeleteFileA(_dir.File(std::string(program) + ".cmdline").c_str());
  }

 private:
  ovtest::CTempDir _dir;
  bool _ok = false;
};

class MainProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(card.IsValid());
    ASSERT_TRUE(lock.IsHeld());
    ASSERT_TRUE(install.IsReady());
  }
  std::string Log() const {
    return ovtest::ReadFileOrEmpty(root.Root() + "Log\\Ostrovelle_EV.log");
  }
  bool Logged(const std::string& line) const { return Log().find(line) != std::string::npos; }
  // Makes the card a unit's card; with `registered` its user is in the user list.
  void MakeUnitCard(bool registered, const char* device = kDevice, uint8_t model = 3) {
    card.Empty();
    ASSERT_TRUE(ovtest::CCardMaker().DeviceNo(device).Model(model).WriteCard(card.Letter(), true));
    if (!registered) return;
    CUserListFile users;
    users.Load();
    ASSERT_TRUE(users.AddUser(device, "tester", 0x1234, "UA", model));
  }
  static void Screenshot(HWND window, const char* name) {
    ovtest::CScreenLock screen;
    SetWindowPos(window, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    PumpUntil([] { return false; }, 300);
    std::string error;
    EXPECT_TRUE(ovtest::SaveXvfbScreenshot(name, &error)) << error;
  }

  static constexpr char kDevice[] = "DIRU0000000042";
  // A card first (held empty: the search sees no card), then the lock.
  ovtest::CScopedDataRoot root;
  ovtest::CTestCard card;
  ovtest::CCoreProcessLock lock;
  CScopedInstallDir install;
};

TEST_F(MainProcessTest, MapDownloadWithoutALauncherOpensNothing) {
  CMainProcess program("MapDownload");
  ASSERT_TRUE(program.IsStarted());
  EXPECT_EQ(0, program.Wait());
  EXPECT_TRUE(Logged("プロトコル起動 ランチャー無し"));
  EXPECT_FALSE(Logged("SD挿入起動")) << "no user check, no window";
  EXPECT_EQ(nullptr, FindWindowA(kFrameworkClass, "Ostrovelle"));
  EXPECT_EQ(nullptr, FindWindowA("OSTROVELLEEVLAUNCHER", "Ostrovelle "));
  EXPECT_EQ("", install.Started("Ostrovelle_Core.exe"));
}

TEST_F(MainProcessTest, MapDownloadIsForwardedInAnyCaseAmongOtherArguments) {
  for (const char* arguments :
       {"MapDownload", "mapdownload", "MAPDOWNLOAD extra", "x MapDownload"}) {
    maintest::CPosingWindow launcher;
    const UINT message = RegisterWindowMessageA(kMsgMapDownload);
    CMainProcess program(arguments);
    ASSERT_TRUE(program.IsStarted()) << arguments;
    EXPECT_EQ(0, program.Wait()) << arguments;
    ASSERT_TRUE(PumpUntil([&] { return !launcher.Of(message).empty(); }, kTimeoutMs)) << arguments;
    const std::vector<maintest::Recorded> got = launcher.Of(message);
    ASSERT_EQ(1u, got.size()) << arguments;
    EXPECT_EQ(0u, got[0].wparam);
    EXPECT_EQ(0, got[0].lparam);
    EXPECT_TRUE(Logged("プロトコル起動")) << arguments;
    EXPECT_FALSE(Logged("ランチャー無し")) << arguments;
  }
}

TEST_F(MainProcessTest, UninstallEmptiesTheDataRootEvenAfterMapDownload) {
  for (const char* arguments : {"Uninstall", "uninstall", "MapDownload UnInstall"}) {
    maintest::CPosingWindow launcher;
    ASSERT_TRUE(CreateDirectoryA((root.Root() + "Setting").c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(ovtest::WriteFileBytes(root.Root() + "Setting\\OstrovelleEV.ini", "[Map]\r\n"));
    ASSERT_TRUE(ovtest::WriteFileBytes(root.Root() + "keep.txt", "x"));
    ovtest::CTempDir beside;
    ASSERT_TRUE(ovtest::WriteFileBytes(beside.File("other.txt"), "y"));
    CMainProcess program(arguments);
    ASSERT_TRUE(program.IsStarted()) << arguments;
    EXPECT_EQ(0, program.Wait()) << arguments;
    EXPECT_FALSE(ovtest::ReadFileOrEmpty(root.Root() + "Setting\\OstrovelleEV.ini") == "[Map]\r\n")
        << arguments;
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((root.Root() + "Setting").c_str()))
        << arguments;
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((root.Root() + "keep.txt").c_str()))
        << arguments;
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(root.Root().c_str())) << arguments;
    EXPECT_EQ("y", ovtest::ReadFileOrEmpty(beside.File("other.txt"))) << arguments;
    PumpUntil([] { return false; }, 100);
    EXPECT_TRUE(launcher.Of(RegisterWindowMessageA(kMsgMapDownload)).empty()) << arguments;
  }
}

TEST_F(MainProcessTest, EachModeRunsOnceSideBySideAndASecondStartRestoresIt) {
  // No card of the unit and no last user: the registration window.
  CMainProcess registration("");
  ASSERT_TRUE(registration.IsStarted());
  const HWND entry = registration.WaitWindow("Ostrovelle UserEntry");
  ASSERT_NE(nullptr, entry);
  EXPECT_NE(nullptr, FindWindowA("OSTROVELLEEVLAUNCHER", "Ostrovelle "));
  EXPECT_FALSE(IsWindowVisible(FindWindowA("OSTROVELLEEVLAUNCHER", "Ostrovelle ")));
  EXPECT_EQ(nullptr, FindWindowA(kFrameworkClass, "Ostrovelle"));
  EXPECT_TRUE(Logged("SD未挿入起動"));
  EXPECT_TRUE(Logged("ユーザー登録状況 未"));
  Screenshot(entry, "main_registration_process");

  // A registered card: the launcher opens beside the registration window.
  MakeUnitCard(true);
  CMainProcess launcher("");
  const HWND main_window = launcher.WaitWindow("Ostrovelle");
  ASSERT_NE(nullptr, main_window);
  EXPECT_TRUE(registration.IsRunning());
  EXPECT_TRUE(Logged("SD挿入起動"));
  EXPECT_TRUE(Logged("　－ユーザー登録情報あり"));
  EXPECT_TRUE(Logged("ユーザー登録状況 済"));
  Screenshot(main_window, "main_launcher_placeholder");

  // A second start of each mode brings its window back and ends.
  ShowWindow(main_window, SW_MINIMIZE);
  ASSERT_TRUE(PumpUntil([&] { return IsIconic(main_window) != FALSE; }, kTimeoutMs));
  CMainProcess again("");
  EXPECT_EQ(0, again.Wait());
  EXPECT_TRUE(PumpUntil([&] { return !IsIconic(main_window); }, kTimeoutMs));
  EXPECT_TRUE(launcher.IsRunning());

  // A card whose unit has no user here: the registration mode again.
  MakeUnitCard(false, "DIRU0000000077");
  ShowWindow(entry, SW_MINIMIZE);
  ASSERT_TRUE(PumpUntil([&] { return IsIconic(entry) != FALSE; }, kTimeoutMs));
  CMainProcess entry_again("");
  EXPECT_EQ(0, entry_again.Wait());
  EXPECT_TRUE(PumpUntil([&] { return !IsIconic(entry); }, kTimeoutMs));
  EXPECT_TRUE(registration.IsRunning());

  // Each ends with its window, without starting again.
  PostMessageA(main_window, WM_CLOSE, 0, 0);
  EXPECT_EQ(0, launcher.Wait());
  // Unregistered, the registration window asks before it goes.
  PostMessageA(entry, WM_CLOSE, 0, 0);
  EXPECT_TRUE(AnswerBoxOf(entry, IDYES));
  EXPECT_EQ(0, registration.Wait());
  EXPECT_EQ(nullptr, FindWindowA("OSTROVELLEEVLAUNCHER", "Ostrovelle "));
}

TEST_F(MainProcessTest, WithoutACardTheLastUserOpensTheLauncher) {
  CUserListFile users;
  users.Load();
  ASSERT_TRUE(users.AddUser(kDevice, "tester", 0x1234, "UA", 3));
  CMainProcess launcher("");
  const HWND main_window = launcher.WaitWindow("Ostrovelle");
  ASSERT_NE(nullptr, main_window);
  EXPECT_TRUE(Logged("　－最終ユーザーあり"));
  PostMessageA(main_window, WM_CLOSE, 0, 0);
  EXPECT_EQ(0, launcher.Wait());
}

TEST_F(MainProcessTest, MapDownloadMakesTheLauncherStartTheCoreOnlyWithACard) {
  struct Case {
    const char* name;
    bool with_card;
  };
  for (const Case c : {Case{"card", true}, Case{"no card", false}}) {
    // The launcher of the last user takes the card it finds at its start.
    CUserListFile users;
    users.Load();
    ASSERT_TRUE(users.AddUser(kDevice, "tester", 0x1234, "UA", 3));
    card.Empty();
    install.Forget("Ostrovelle_Core.exe");
    if (c.with_card) MakeUnitCard(true);
    CMainProcess launcher("");
    const HWND main_window = launcher.WaitWindow("Ostrovelle");
    ASSERT_NE(nullptr, main_window) << c.name;
    CMainProcess forward("MapDownload");
    EXPECT_EQ(0, forward.Wait()) << c.name;
    const std::string expected =
        c.with_card ? FormatString("/d %c /w %08X /p map sm wl msc\n", card.Letter(),
                                   static_cast<unsigned>(reinterpret_cast<UINT_PTR>(main_window)))
                    : std::string();
    // With a card the launcher's own charge chain may start the core too;
    // the forwarded request adds its line.
    if (c.with_card) {
      EXPECT_TRUE(PumpUntil(
          [&] {
            return install.Started("Ostrovelle_Core.exe").find(expected) != std::string::npos;
          },
          kTimeoutMs))
          << c.name << ": " << install.Started("Ostrovelle_Core.exe");
    } else {
      EXPECT_TRUE(PumpUntil([&] { return Logged("マップ再要求時のSDカード無し"); }, kTimeoutMs))
          << c.name;
      EXPECT_EQ(expected, install.Started("Ostrovelle_Core.exe")) << c.name;
    }
    EXPECT_TRUE(Logged("マップ再要求")) << c.name;
    PostMessageA(main_window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, launcher.Wait()) << c.name;
  }
}

TEST_F(MainProcessTest, TheInstallFolderOfTheTestServesTheMusicManager) {
  struct Case {
    const char* name;
    bool setting;
    const char* title;
    const char* mode;
  };
  for (const Case c : {Case{"manual", false, "Ostrovelle Music Manual", "manual"},
                       Case{"setting", true, "Ostrovelle Music Setting", "setting"}}) {
    maintest::CPosingWindow notify("Ostrovelle test notify");
    install.Forget("Ostrovelle_Music.exe");
    ASSERT_TRUE(StartMusic(notify.Handle(), 'E', c.setting)) << c.name;
    HWND window = nullptr;
    ASSERT_TRUE(PumpUntil(
        [&] { return (window = FindWindowA(kFrameworkClass, c.title)) != nullptr; }, kTimeoutMs))
        << c.name;
    EXPECT_EQ(
        FormatString("/d E /w %08X /m %s\n",
                     static_cast<unsigned>(reinterpret_cast<UINT_PTR>(notify.Handle())), c.mode),
        install.Started("Ostrovelle_Music.exe"))
        << c.name;
    PostMessageA(window, RegisterWindowMessageA(kMsgSDChange), 'F', 0);
    PostMessageA(window, RegisterWindowMessageA(kMsgRequestEnd), 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(window); }, kTimeoutMs)) << c.name;
    EXPECT_EQ("OVEVSDChange 46 0\nOVEVRequestEnd 0 0\n", install.Messages("Ostrovelle_Music.exe"))
        << c.name;
  }
}

// The whole first registration: the program types nothing of its own; the
// test types into the edits, presses OK, confirms the completion window and
// meets the launcher of the program's second start.
TEST_F(MainProcessTest, RegistrationAddsTheUserAndStartsAgainIntoTheLauncher) {
  ovtest::CStandIn standin;
  ASSERT_TRUE(standin.IsRunning()) << "tools/test starts the stand-in service";
  ovtest::CTempDir dir;
  const std::string info = dir.File("Connection.info");
  ASSERT_TRUE(ovtest::WriteFileBytes(info, standin.ConnectionInfo()));
  SetEnvironmentVariableA("OV_CONNECTION_INFO", info.c_str());
  card.Empty();
  ASSERT_TRUE(ovtest::CCardMaker()
                  .DeviceNo(kDevice)
                  .CcidHead(0x00C0FFEE)
                  .Model(CUserAgent::kUnitModel)
                  .AddRecord(pclink::kDataIdProgram, 0x01000203, 0x2009, 1)
                  .WriteCard(card.Letter(), true));

  CMainProcess program("");
  const HWND entry = program.WaitWindow("Ostrovelle UserEntry");
  ASSERT_NE(nullptr, entry);
  std::vector<HWND> edits;
  EnumChildWindows(entry, &CollectEdits, reinterpret_cast<LPARAM>(&edits));
  ASSERT_EQ(2u, edits.size());
  for (char c : std::string("hanako")) SendMessageA(edits[0], WM_CHAR, static_cast<BYTE>(c), 1);
  for (char c : std::string("pw-42")) SendMessageA(edits[1], WM_CHAR, static_cast<BYTE>(c), 1);
  Screenshot(entry, "main_registration_typed");
  PostMessageA(entry, WM_COMMAND, MAKEWPARAM(2005, 1), 0);  // OK

  const HWND complete = program.WaitWindow("Ostrovelle InitComplete");
  ASSERT_NE(nullptr, complete);
  PostMessageA(complete, WM_COMMAND, MAKEWPARAM(2003, 1), 0);  // its OK
  EXPECT_EQ(0, program.Wait());

  HWND launcher = nullptr;
  ASSERT_TRUE(PumpUntil(
      [&] {
        launcher = FindWindowA(kFrameworkClass, "Ostrovelle");
        return launcher && IsWindowVisible(launcher);
      },
      kTimeoutMs))
      << "the program started again into the launcher";
  DWORD pid = 0;
  GetWindowThreadProcessId(launcher, &pid);
  CHandle again(OpenProcess(SYNCHRONIZE, FALSE, pid));

  std::vector<ovtest::StandInRequest> requests;
  for (const ovtest::StandInRequest& r : standin.Requests()) {
    if (r.path == "/pcapp/DeviceNoUserAuthenticationAPI") requests.push_back(r);
  }
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ("hanako", requests[0].form["nick"]);
  EXPECT_EQ("pw-42", requests[0].form["pass"]);
  EXPECT_EQ(kDevice, requests[0].form["deviceno"]);
  EXPECT_EQ(CcidText(0x00C0FFEE), requests[0].form["ccid_head"]);
  EXPECT_FALSE(requests[0].Header("User-Agent").empty());
  CUserListFile users;
  ASSERT_TRUE(users.Load());
  EXPECT_TRUE(users.Exists(kDevice));
  std::string text;
  std::string nickname;
  std::string folder;
  ASSERT_TRUE(users.GetUser(kDevice, &nickname, &folder, &text));
  EXPECT_EQ("hanako", nickname);
  EXPECT_EQ(requests[0].Header("User-Agent"), text);
  const std::string ini = ovtest::ReadFileOrEmpty(root.Root() + "Setting\\OstrovelleEV.ini");
  EXPECT_NE(std::string::npos, ini.find("ChargeType=2")) << ini;
  EXPECT_TRUE(Logged("お客様登録確認完了[RET:0x00000000]"));
  EXPECT_FALSE(Logged("pw-42")) << "the password reached the log";

  PostMessageA(launcher, WM_CLOSE, 0, 0);
  EXPECT_TRUE(
      again &&
      PumpUntil([&] { return WaitForSingleObject(again.Get(), 0) == WAIT_OBJECT_0; }, kTimeoutMs));
  SetEnvironmentVariableA("OV_CONNECTION_INFO", nullptr);
}

}  // namespace
