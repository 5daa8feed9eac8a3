// The music-charge settings window on the real skin under Xvfb: what it
// shows from the files, what OK checks, saves, asks and tells the core, and
// what the defaults, the folder picker and a dropped folder do.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "CoreProcessLock.h"
#include "ErrorMessage.h"
#include "MessageBoxCapture.h"
#include "OstrovelleLite/OstrovelleConfig.h"
#include "ProgramStart.h"
#include "RadioButton.h"
#include "ScreenLock.h"
#include "SettingWindow.h"
#include "SkinWindowItemEditBox.h"
#include "Slider.h"
#include "TestSupport.h"
#include "XvfbScreenshot.h"

namespace {

using ui::CSettingWindow;

std::wstring Widen(const std::string& text) {
  std::wstring wide(text.size(), L'\0');
  wide.resize(MultiByteToWideChar(932, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                                  static_cast<int>(wide.size())));
  return wide;
}

std::string Bytes(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What the window shows for a code, as the boxes are compared.
std::wstring BoxText(uint32_t code) {
  uint32_t style = 0;
  return Widen(GetErrorMessage(code, &style, 0));
}

// Mouse input from the shared pointer is dropped: the cases send what they
// mean.
void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) continue;
    if (msg.message == WM_QUIT) continue;
    DispatchMessageA(&msg);
  }
}

// A window posing as the core: it answers the reservation question with the
// scripted bits and records the aborts it is sent.
struct StandInCore {
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
    if (message == RegisterWindowMessageA("OVEVRequestReconfirm")) {
      ++asked;
      return bits;
    }
    if (message == RegisterWindowMessageA("OVEVRequestAbort")) {
      aborts.push_back(lp);
      return 0;
    }
    return DefWindowProcA(hwnd, message, wp, lp);
  }
  StandInCore() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "OSTROVELLEEVCORE";
    RegisterClassA(&wc);
    hwnd = CreateWindowExA(0, "OSTROVELLEEVCORE", "Ostrovelle Core", WS_POPUP, 0, 0, 1, 1, nullptr,
                           nullptr, GetModuleHandleA(nullptr), nullptr);
  }
  ~StandInCore() { DestroyWindow(hwnd); }
  HWND hwnd = nullptr;
  static inline LRESULT bits = 0;
  static inline int asked = 0;
  static inline std::vector<LPARAM> aborts;
};

struct StartedCore {
  HWND notify;
  char drive;
  uint32_t jobs;
};

// Every test program takes the one-core lock before the screen lock (the
// launcher's and the main program's cases do): cases that show a stand-in
// core take it here, ahead of the fixture's screen lock, never after it.
class CoreLockFirst {
 protected:
  explicit CoreLockFirst(bool take) {
    if (take) core_lock.emplace();
  }
  std::optional<ovtest::CCoreProcessLock> core_lock;
};

class SettingWindowTest : public ::testing::Test, protected CoreLockFirst {
 protected:
  SettingWindowTest() : CoreLockFirst(false) {}
  explicit SettingWindowTest(bool take_core_lock) : CoreLockFirst(take_core_lock) {}
  static void SetUpTestSuite() {
    lib::wfc::Initialize(GetModuleHandleA(nullptr), "OvMusicTest", nullptr, nullptr);
    lib::wfc::InitThread();
  }
  static void TearDownTestSuite() {
    lib::wfc::TermThread();
    lib::wfc::Terminate();
  }

  void SetUp() override {
    root_w = Widen(data.Root());
    system = root_w + L"Windows\\System32";
    ASSERT_TRUE(CreateDirectoryW((root_w + L"Windows").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(system.c_str(), nullptr));
    music = root_w + L"音楽";
    ASSERT_TRUE(CreateDirectoryW(music.c_str(), nullptr));
    std::ofstream((data.Root() + "afile.txt").c_str()) << "x";
    StandInCore::bits = 0;
    StandInCore::asked = 0;
    StandInCore::aborts.clear();
  }

  // Stores the [Music] settings the window opens on.
  void Store(int type, int size = 700, int count = 300) {
    COstrovelleConfig config;
    config.InitMusic(false);
    config.SetChargeType(type);
    config.SetMusicFolderW(music);
    config.SetAutoChargeType(0);
    config.SetRandomPercent(30);
    config.SetChargeInterval(1);
    config.SetChargeLimit(1);
    config.SetLimitSize(size);
    config.SetLimitFileCount(count);
    ASSERT_TRUE(config.SaveMusic());
  }

  void Open() {
    ui::SettingWindowHooks hooks;
    hooks.system_folder = [this] { return system; };
    if (!real_core_start) {
      hooks.start_core = [this](HWND notify, char drive, uint32_t jobs) {
        started.push_back({notify, drive, jobs});
        return true;
      };
    }
    hooks.pick_folder = [this](HWND, const std::wstring& initial, std::wstring* chosen) {
      picker_initial = initial;
      if (picked.empty()) return false;
      *chosen = picked;
      return true;
    };
    window = std::make_unique<CSettingWindow>(hooks);
    window->SetTarget('E', reinterpret_cast<HWND>(0x1234));
    window->Create();
    ASSERT_NE(window->Handle(), nullptr);
    handle = window->Handle();
  }

  void Show() {
    SetWindowPos(handle, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    window->UpdateWindow();
    Pump();
  }

  void Command(const ui::SkinItemDescriptor& item) {
    SendMessageA(handle, WM_COMMAND, MAKEWPARAM(item.id, 1), 0);
    Pump();
  }

  std::string Key(const char* key) {
    COstrovelleConfig config;
    char text[256] = {};
    GetPrivateProfileStringA("Music", key, "", text, sizeof text, config.GetIniPath().c_str());
    return text;
  }

  std::vector<std::wstring> Texts() const {
    std::vector<std::wstring> texts;
    for (const auto& box : boxes.Boxes()) texts.push_back(box.text);
    return texts;
  }

  ovtest::CScreenLock screen;
  ovtest::CScopedDataRoot data;
  ovtest::CMessageBoxCapture boxes;
  std::wstring root_w, system, music, picked, picker_initial;
  std::vector<StartedCore> started;
  std::unique_ptr<CSettingWindow> window;
  HWND handle = nullptr;
  bool real_core_start = false;
};

// Folders a case names: the stored music folder, the system folder and paths
// around it, a folder that is missing, one below a file, and a relative one.
enum FolderKind { kStored, kSystemLower, kBelowSystem, kMissing, kBelowFile, kRelative, kUp };

struct OkCase {
  const char* name;
  int stored_type;
  int type;  // the charge-type radio chosen: 0, 1, 2
  FolderKind folder;
  int limit;  // 0 off, 1 size, 2 count
  const char* size;
  const char* count;
  int random_percent;  // -1: newest first
  int core_bits;       // -1: no core window
  std::vector<int> answers;
  std::vector<uint32_t> expected_boxes;
  bool closed;  // and saved
  const char* saved_size;
  const char* saved_count;
  bool aborted;
  bool core_started;
};

std::ostream& operator<<(std::ostream& out, const OkCase& c) { return out << c.name; }

class SettingWindowOkTest : public SettingWindowTest, public ::testing::WithParamInterface<OkCase> {
 protected:
  SettingWindowOkTest() : SettingWindowTest(true) {}
};

// Cases with a core of their own (a stand-in window or the installed one).
class SettingWindowCoreTest : public SettingWindowTest {
 protected:
  SettingWindowCoreTest() : SettingWindowTest(true) {}
};

TEST_P(SettingWindowOkTest, ChecksSavesAsksAndTellsTheCore) {
  const OkCase& c = GetParam();
  ASSERT_TRUE(core_lock->IsHeld());
  std::unique_ptr<StandInCore> core;
  if (c.core_bits >= 0) {
    core = std::make_unique<StandInCore>();
    StandInCore::bits = c.core_bits;
  }
  Store(c.stored_type);
  COstrovelleConfig before_config;
  const std::string ini_before = Bytes(Widen(before_config.GetIniPath()));
  Open();

  const ui::SkinItemDescriptor* types[] = {&CSettingWindow::kChargeTypeNoChargeRadio,
                                           &CSettingWindow::kChargeTypeManualRadio,
                                           &CSettingWindow::kChargeTypeAutoRadio};
  // Automatic first, so that the other controls can be set, then the case's type.
  Command(CSettingWindow::kChargeTypeAutoRadio);
  std::wstring folder;
  switch (c.folder) {
    case kStored:
      folder = music;
      break;
    case kSystemLower:
      folder = system;
      CharLowerBuffW(&folder[0], static_cast<DWORD>(folder.size()));
      break;
    case kBelowSystem:
      folder = L"  " + system + L"\\drivers\\etc  ";
      break;
    case kMissing:
      folder = root_w + L"新しい\\フォルダ";
      break;
    case kBelowFile:
      folder = root_w + L"afile.txt\\sub";
      break;
    case kRelative:
      folder = L"Music";
      break;
    case kUp:
      folder = L"..\\..\\Windows\\System32";
      break;
  }
  window->Edit(CSettingWindow::kMusicFolderEdit.id)->SetTextW(folder);
  Command(c.random_percent < 0 ? CSettingWindow::kAutoChargeTypeTimeStampRadio
                               : CSettingWindow::kAutoChargeTypeRandomRadio);
  if (c.random_percent >= 0) {
    window->Slider()->OnNotify(ui::kSliderSetValue, 0, c.random_percent);
  }
  window->SetChecked(CSettingWindow::kChargeLimitCheckBox.id, c.limit != 0);
  Command(CSettingWindow::kChargeLimitCheckBox);
  if (c.limit != 0) {
    Command(c.limit == 2 ? CSettingWindow::kChargeLimitByFileCountRadio
                         : CSettingWindow::kChargeLimitBySizeRadio);
  }
  window->Edit(CSettingWindow::kChargeLimitSizeEdit.id)->SetText(c.size);
  window->Edit(CSettingWindow::kChargeLimitFileCountEdit.id)->SetText(c.count);
  Command(*types[c.type]);

  for (int answer : c.answers) boxes.Answer(answer);
  Command(CSettingWindow::kOKButton);
  Pump();

  std::vector<std::wstring> expected;
  for (uint32_t code : c.expected_boxes) expected.push_back(BoxText(code));
  EXPECT_EQ(Texts(), expected);
  for (const auto& box : boxes.Boxes()) EXPECT_EQ(box.owner, handle);
  EXPECT_EQ(!IsWindow(handle), c.closed);
  if (c.closed) {
    EXPECT_EQ(Key("ChargeType"), std::to_string(c.type));
    EXPECT_EQ(Key("LimitSize"), c.saved_size);
    EXPECT_EQ(Key("LimitFileCount"), c.saved_count);
    COstrovelleConfig after;
    after.LoadMusic();
    if (c.type == 2) {
      EXPECT_EQ(after.GetChargeLimit(), c.limit);
      EXPECT_EQ(after.GetChargeInterval(), 1);
      EXPECT_EQ(after.GetAutoChargeType(), c.random_percent < 0 ? 0 : 1);
      if (c.random_percent >= 0) {
        EXPECT_EQ(after.GetRandomPercent(), c.random_percent);
      }
    } else {
      // Only the type changes; the rest keeps what was stored.
      EXPECT_EQ(after.GetMusicFolderW(), music);
      EXPECT_EQ(after.GetChargeLimit(), 1);
      EXPECT_EQ(after.GetRandomPercent(), 30);
    }
  } else {
    EXPECT_EQ(Bytes(Widen(before_config.GetIniPath())), ini_before);
  }
  EXPECT_EQ(StandInCore::aborts, c.aborted ? std::vector<LPARAM>{0x10} : std::vector<LPARAM>{});
  ASSERT_EQ(started.size(), c.core_started ? 1u : 0u);
  if (c.core_started) {
    EXPECT_EQ(started[0].notify, reinterpret_cast<HWND>(0x1234));
    EXPECT_EQ(started[0].drive, 'E');
    EXPECT_EQ(started[0].jobs, 0x10u);
  }
}

constexpr int kNoCore = -1;
constexpr int kNewest = -1;

const OkCase kOkCases[] = {
    // Size limit bounds.
    {"Size99",
     2,
     2,
     kStored,
     1,
     "99",
     "300",
     kNewest,
     kNoCore,
     {},
     {0xFF00AA03},
     false,
     "",
     "",
     false,
     false},
    {"Size100",
     2,
     2,
     kStored,
     1,
     "100",
     "300",
     kNewest,
     kNoCore,
     {},
     {},
     true,
     "100",
     "300",
     false,
     false},
    {"Size3000",
     2,
     2,
     kStored,
     1,
     "3000",
     "300",
     kNewest,
     kNoCore,
     {},
     {},
     true,
     "3000",
     "300",
     false,
     false},
    {"Size3001",
     2,
     2,
     kStored,
     1,
     "3001",
     "300",
     kNewest,
     kNoCore,
     {},
     {0xFF00AA03},
     false,
     "",
     "",
     false,
     false},
    // File-count limit bounds.
    {"Count19",
     2,
     2,
     kStored,
     2,
     "700",
     "19",
     kNewest,
     kNoCore,
     {},
     {0xFF00AA04},
     false,
     "",
     "",
     false,
     false},
    {"Count20",
     2,
     2,
     kStored,
     2,
     "700",
     "20",
     kNewest,
     kNoCore,
     {},
     {},
     true,
     "700",
     "20",
     false,
     false},
    {"Count5000",
     2,
     2,
     kStored,
     2,
     "700",
     "5000",
     kNewest,
     kNoCore,
     {},
     {},
     true,
     "700",
     "5000",
     false,
     false},
    {"Count5001",
     2,
     2,
     kStored,
     2,
     "700",
     "5001",
     kNewest,
     kNoCore,
     {},
     {0xFF00AA04},
     false,
     "",
     "",
     false,
     false},
    // With the limit off, out-of-range numbers are saved as they are.
    {"LimitOffSavesAnyNumber",
     2,
     2,
     kStored,
     0,
     "5",
     "9999",
     kNewest,
     kNoCore,
     {},
     {},
     true,
     "5",
     "9999",
     false,
     false},
    // The system folder, in another letter case and below it.
    {"SystemFolderOtherCase",
     2,
     2,
     kSystemLower,
     1,
     "700",
     "300",
     kNewest,
     kNoCore,
     {},
     {0xFF00AA02},
     false,
     "",
     "",
     false,
     false},
    {"BelowSystemFolder",
     2,
     2,
     kBelowSystem,
     1,
     "700",
     "300",
     kNewest,
     kNoCore,
     {},
     {0xFF00AA02},
     false,
     "",
     "",
     false,
     false},
    // Relative folders are refused before anything else.
    {"RelativeFolder",
     2,
     2,
     kRelative,
     1,
     "700",
     "300",
     kNewest,
     kNoCore,
     {},
     {0xFF00AA09},
     false,
     "",
     "",
     false,
     false},
    {"RelativeUpToSystem",
     2,
     2,
     kUp,
     1,
     "700",
     "300",
     kNewest,
     kNoCore,
     {},
     {0xFF00AA09},
     false,
     "",
     "",
     false,
     false},
    // A missing folder: no keeps the window, yes creates it.
    {"MissingFolderNo",
     2,
     2,
     kMissing,
     1,
     "700",
     "300",
     kNewest,
     kNoCore,
     {IDNO},
     {0xFF00AA01},
     false,
     "",
     "",
     false,
     false},
    {"MissingFolderYes",
     2,
     2,
     kMissing,
     1,
     "700",
     "300",
     kNewest,
     kNoCore,
     {IDYES},
     {0xFF00AA01},
     true,
     "700",
     "300",
     false,
     false},
    {"FolderCannotBeCreated",
     2,
     2,
     kBelowFile,
     1,
     "700",
     "300",
     kNewest,
     kNoCore,
     {IDYES},
     {0xFF00AA01, 0xFF00AA09},
     false,
     "",
     "",
     false,
     false},
    // Random with 0 %.
    {"RandomZeroNo",
     2,
     2,
     kStored,
     1,
     "700",
     "300",
     0,
     kNoCore,
     {IDNO},
     {0xFF00AA05},
     false,
     "",
     "",
     false,
     false},
    {"RandomZeroYes",
     2,
     2,
     kStored,
     1,
     "700",
     "300",
     0,
     kNoCore,
     {IDYES},
     {0xFF00AA05},
     true,
     "700",
     "300",
     false,
     false},
    {"RandomSeventy",
     2,
     2,
     kStored,
     1,
     "700",
     "300",
     70,
     kNoCore,
     {},
     {},
     true,
     "700",
     "300",
     false,
     false},
    // Switching to automatic asks to start at once.
    {"ToAutomaticStartNow",
     0,
     2,
     kStored,
     1,
     "700",
     "300",
     kNewest,
     kNoCore,
     {IDYES},
     {0xFF00AA06},
     true,
     "700",
     "300",
     false,
     true},
    {"ToAutomaticLater",
     1,
     2,
     kStored,
     1,
     "700",
     "300",
     kNewest,
     kNoCore,
     {IDNO},
     {0xFF00AA06},
     true,
     "700",
     "300",
     false,
     false},
    // Not automatic: only the type is saved, whatever the controls show.
    {"ManualSavesOnlyType",
     0,
     1,
     kRelative,
     1,
     "1",
     "1",
     0,
     kNoCore,
     {},
     {},
     true,
     "700",
     "300",
     false,
     false},
    {"NoChargeSavesOnlyType",
     1,
     0,
     kRelative,
     2,
     "1",
     "1",
     0,
     kNoCore,
     {},
     {},
     true,
     "700",
     "300",
     false,
     false},
    // Leaving automatic while the core holds a music charge.
    {"LeaveAutoCoreBusyNo",
     2,
     0,
     kStored,
     1,
     "700",
     "300",
     kNewest,
     0x10 | 0x1,
     {IDNO},
     {0xFF00AA07},
     false,
     "",
     "",
     false,
     false},
    {"LeaveAutoCoreBusyYes",
     2,
     1,
     kStored,
     1,
     "700",
     "300",
     kNewest,
     0x10,
     {IDYES},
     {0xFF00AA07},
     true,
     "700",
     "300",
     true,
     false},
    {"LeaveAutoCoreIdle",
     2,
     0,
     kStored,
     1,
     "700",
     "300",
     kNewest,
     0x1,
     {},
     {},
     true,
     "700",
     "300",
     false,
     false},
};

INSTANTIATE_TEST_SUITE_P(Cases, SettingWindowOkTest, ::testing::ValuesIn(kOkCases),
                         [](const ::testing::TestParamInfo<OkCase>& p) {
                           return std::string(p.param.name);
                         });

#ifdef OV_RECORDER_EXE_RELATIVE
// Switching to automatic and answering yes starts the installed core for a
// music charge that reports to the main program.
TEST_F(SettingWindowCoreTest, StartsTheInstalledCoreForAMusicCharge) {
  ASSERT_TRUE(core_lock->IsHeld());
  ovtest::CTempDir install;
  const std::string recorder = ovtest::ExecutableFolder() + OV_RECORDER_EXE_RELATIVE;
  ASSERT_TRUE(CopyFileA(recorder.c_str(), install.File("Ostrovelle_Core.exe").c_str(), FALSE));
  SetEnvironmentVariableA("OV_INSTALL_DIR", install.Path().c_str());
  Store(1);
  real_core_start = true;
  Open();
  Command(CSettingWindow::kChargeTypeAutoRadio);
  boxes.Answer(IDYES);
  const HANDLE changes = FindFirstChangeNotificationA(
      install.Path().c_str(), FALSE, FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_FILE_NAME);
  ASSERT_NE(changes, INVALID_HANDLE_VALUE);
  Command(CSettingWindow::kOKButton);
  SetEnvironmentVariableA("OV_INSTALL_DIR", nullptr);
  EXPECT_EQ(Texts(), std::vector<std::wstring>{BoxText(0xFF00AA06)});
  EXPECT_FALSE(IsWindow(handle));
  const std::string file = install.File("Ostrovelle_Core.exe.cmdline");
  const DWORD end = GetTickCount() + 20000;
  while (ovtest::ReadFileOrEmpty(file).find('\n') == std::string::npos) {
    const DWORD now = GetTickCount();
    if (now >= end) break;
    if (WaitForSingleObject(changes, end - now) != WAIT_OBJECT_0) break;
    FindNextChangeNotification(changes);
  }
  FindCloseChangeNotification(changes);
  // The recorder keeps the arguments as the program got them, blanks ahead
  // of them or not.
  const auto trimmed = [](std::string text) { return text.erase(0, text.find_first_not_of(' ')); };
  EXPECT_EQ(trimmed(ovtest::ReadFileOrEmpty(file)),
            trimmed(BuildCoreArguments(reinterpret_cast<HWND>(0x1234), 'E', 0x10) + "\n"));
}
#endif

// A core window on a thread of its own that never pumps while it is asked.
struct SilentCore {
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
};

DWORD WINAPI SilentCoreThread(void* p) {
  auto* s = static_cast<SilentCore*>(p);
  const HWND core = CreateWindowExA(0, "OSTROVELLEEVCORE", "Ostrovelle Core", WS_POPUP, 0, 0, 1, 1,
                                    nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  SetEvent(s->ready);
  WaitForSingleObject(s->release, 60000);
  DestroyWindow(core);
  return 0;
}

// A core that does not answer within the time-out counts as having no music
// charge: the window saves and closes without asking.
TEST_F(SettingWindowCoreTest, SilentCoreDoesNotHoldTheWindow) {
  ASSERT_TRUE(core_lock->IsHeld());
  StandInCore registered;  // registers the class; this one answers
  DestroyWindow(registered.hwnd);
  registered.hwnd = nullptr;
  SilentCore silent;
  const HANDLE thread = CreateThread(nullptr, 0, &SilentCoreThread, &silent, 0, nullptr);
  ASSERT_EQ(WaitForSingleObject(silent.ready, 10000), WAIT_OBJECT_0);
  Store(2);
  Open();
  Command(CSettingWindow::kChargeTypeManualRadio);
  const DWORD start = GetTickCount();
  Command(CSettingWindow::kOKButton);
  const DWORD waited = GetTickCount() - start;
  SetEvent(silent.release);
  WaitForSingleObject(thread, 10000);
  CloseHandle(thread);
  CloseHandle(silent.ready);
  CloseHandle(silent.release);
  EXPECT_TRUE(Texts().empty());
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_EQ(Key("ChargeType"), "1");
  EXPECT_GE(waited, ui::kCoreAnswerTimeoutMs - 100);
  EXPECT_EQ(StandInCore::asked, 0);
}

// Enter in an item accepts the window as OK would; Escape does nothing.
TEST_F(SettingWindowTest, EnterPressesOkAndEscapeDoesNothing) {
  Store(2);
  Open();
  window->Cancel(CSettingWindow::kChargeLimitSizeEdit.id);
  Pump();
  EXPECT_TRUE(IsWindow(handle));
  window->Edit(CSettingWindow::kChargeLimitSizeEdit.id)->SetText("3001");
  window->Accept(CSettingWindow::kChargeLimitSizeEdit.id);
  Pump();
  EXPECT_EQ(Texts(), std::vector<std::wstring>{BoxText(0xFF00AA03)});
  EXPECT_TRUE(IsWindow(handle));
}

TEST_F(SettingWindowTest, FailedSaveKeepsTheWindowOpen) {
  Store(2);
  Open();
  COstrovelleConfig config;
  // A folder where the new music settings file would be written.
  ASSERT_TRUE(CreateDirectoryW((config.GetMusicSettingPath() + L".new").c_str(), nullptr));
  Command(CSettingWindow::kOKButton);
  EXPECT_EQ(Texts(), std::vector<std::wstring>{BoxText(0xFF00AA08)});
  EXPECT_TRUE(IsWindow(handle));
}

TEST_F(SettingWindowTest, DefaultsThenCancelLeaveBothFilesUnchanged) {
  Store(0, 900, 50);
  COstrovelleConfig config;
  const std::string ini = Bytes(Widen(config.GetIniPath()));
  const std::string dat = Bytes(config.GetMusicSettingPath());
  Open();
  EXPECT_EQ(window->Edit(CSettingWindow::kChargeLimitSizeEdit.id)->GetText(), "900");
  EXPECT_FALSE(window->IsItemEnabled(CSettingWindow::kMusicFolderEdit.id));
  boxes.Answer(IDYES);
  Command(CSettingWindow::kSetDefaultButton);
  EXPECT_EQ(Texts(), std::vector<std::wstring>{BoxText(0xFF00AA00)});
  // The defaults: automatic, newest first, 50 %, weekly, 500 MB.
  EXPECT_TRUE(window->IsChecked(CSettingWindow::kChargeTypeAutoRadio.id));
  EXPECT_TRUE(window->IsChecked(CSettingWindow::kAutoChargeTypeTimeStampRadio.id));
  EXPECT_TRUE(window->IsChecked(CSettingWindow::kChargeIntervalPerWeekRadio.id));
  EXPECT_TRUE(window->IsChecked(CSettingWindow::kChargeLimitCheckBox.id));
  EXPECT_EQ(window->Edit(CSettingWindow::kChargeLimitSizeEdit.id)->GetText(), "500");
  EXPECT_EQ(window->Edit(CSettingWindow::kChargeLimitFileCountEdit.id)->GetText(), "100");
  EXPECT_EQ(window->ItemText(CSettingWindow::kAutoChargeTypeRateValueTextStatic.id), "50％");
  EXPECT_TRUE(window->IsItemEnabled(CSettingWindow::kMusicFolderEdit.id));
  Command(CSettingWindow::kCancelButton);
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_EQ(Bytes(Widen(config.GetIniPath())), ini);
  EXPECT_EQ(Bytes(config.GetMusicSettingPath()), dat);
}

TEST_F(SettingWindowTest, DefaultsAnsweredNoChangeNothing) {
  Store(0, 900, 50);
  Open();
  boxes.Answer(IDNO);
  Command(CSettingWindow::kSetDefaultButton);
  EXPECT_TRUE(window->IsChecked(CSettingWindow::kChargeTypeNoChargeRadio.id));
  EXPECT_EQ(window->Edit(CSettingWindow::kChargeLimitSizeEdit.id)->GetText(), "900");
}

// The loaders already put the defaults in place of out-of-range keys; a
// settings object that still holds such values shows the lowest valid ones.
TEST_F(SettingWindowTest, OutOfRangeLimitsShowTheLowestValues) {
  Store(2);
  Open();
  const int sizes[][3] = {{99, 5001, 0}, {3001, 19, 0}, {-1, -1, 0}};
  for (const auto& v : sizes) {
    COstrovelleConfig config;
    config.LoadMusic();
    config.SetLimitSize(v[0]);
    config.SetLimitFileCount(v[1]);
    window->ShowSettings(config);
    EXPECT_EQ(window->Edit(CSettingWindow::kChargeLimitSizeEdit.id)->GetText(), "100") << v[0];
    EXPECT_EQ(window->Edit(CSettingWindow::kChargeLimitFileCountEdit.id)->GetText(), "20") << v[1];
  }
}

struct LabelCase {
  int p;
  int left;  // slider at 70, 330 wide: step 30; label 40 wide
};

TEST_F(SettingWindowTest, PercentageLabelStandsOverItsPosition) {
  EXPECT_EQ(ui::RateLabelLeft(70, 330, 40, 0), 65);
  Store(2);
  Open();
  for (const LabelCase& c : {LabelCase{0, 65}, LabelCase{50, 215}, LabelCase{100, 365}}) {
    COstrovelleConfig config;
    config.LoadMusic();
    config.SetRandomPercent(c.p);
    window->ShowSettings(config);
    const RECT label = window->ItemRect(CSettingWindow::kAutoChargeTypeRateValueTextStatic.id);
    EXPECT_EQ(label.left, c.left) << c.p;
    EXPECT_EQ(label.right - label.left, 40) << c.p;
    EXPECT_EQ(window->ItemText(CSettingWindow::kAutoChargeTypeRateValueTextStatic.id),
              std::to_string(c.p) + "％")
        << c.p;
  }
}

TEST_F(SettingWindowTest, SliderMovedByMouseMovesTheLabel) {
  Store(2);
  Open();
  Command(CSettingWindow::kAutoChargeTypeRandomRadio);
  Show();
  ui::CSkinWindowItemSlider* slider = window->Slider();
  const RECT thumb = slider->ThumbRect();
  const int x = slider->X() + (thumb.left + thumb.right) / 2;
  const int y = slider->Y() + (thumb.top + thumb.bottom) / 2;
  const int right = slider->X() + slider->Width() - 1;
  SendMessageA(handle, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  SendMessageA(handle, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(right, y));
  SendMessageA(handle, WM_LBUTTONUP, 0, MAKELPARAM(right, y));
  Pump();
  EXPECT_EQ(slider->OnNotify(ui::kSliderGetValue, 0, 0), 100);
  EXPECT_EQ(window->ItemText(CSettingWindow::kAutoChargeTypeRateValueTextStatic.id), "100％");
  EXPECT_EQ(window->ItemRect(CSettingWindow::kAutoChargeTypeRateValueTextStatic.id).left, 365);
}

TEST_F(SettingWindowTest, SelectedRadioClickedAgainStaysSelectedAndReports) {
  Store(0);
  Open();
  Show();
  // Selected without its command: the folder controls are still disabled.
  window->SetChecked(CSettingWindow::kChargeTypeNoChargeRadio.id, false);
  window->SetChecked(CSettingWindow::kChargeTypeAutoRadio.id, true);
  ASSERT_FALSE(window->IsItemEnabled(CSettingWindow::kMusicFolderEdit.id));
  const RECT r = window->ItemRect(CSettingWindow::kChargeTypeAutoRadio.id);
  const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  SendMessageA(handle, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageA(handle, WM_LBUTTONUP, 0, at);
  Pump();
  EXPECT_TRUE(window->IsChecked(CSettingWindow::kChargeTypeAutoRadio.id));
  EXPECT_EQ(GetCheckedRadioIndex(window.get(), CSettingWindow::kChargeTypeGroup, 3), 2);
  EXPECT_TRUE(window->IsItemEnabled(CSettingWindow::kMusicFolderEdit.id));
}

TEST_F(SettingWindowTest, FolderComesFromThePickerOrADrop) {
  Store(2);
  Open();
  picked = root_w + L"選んだ";
  Command(CSettingWindow::kReferenceButton);
  EXPECT_EQ(picker_initial, music);
  EXPECT_EQ(window->Edit(CSettingWindow::kMusicFolderEdit.id)->GetTextW(), picked);

  // A dropped folder longer than the old path limit is taken whole.
  std::wstring dropped = root_w;
  while (dropped.size() < 300) dropped += L"長いフォルダ名\\";
  const size_t bytes = sizeof(DROPFILES) + (dropped.size() + 2) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GHND, bytes);
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), dropped.c_str(),
         dropped.size() * sizeof(wchar_t));
  GlobalUnlock(memory);
  PostMessageW(window->Edit(CSettingWindow::kMusicFolderEdit.id)->Handle(), WM_DROPFILES,
               reinterpret_cast<WPARAM>(memory), 0);
  Pump();
  EXPECT_EQ(window->Edit(CSettingWindow::kMusicFolderEdit.id)->GetTextW(), dropped);
}

TEST_F(SettingWindowTest, LongMusicFolderRoundTrips) {
  Store(2);
  Open();
  std::wstring folder = root_w;
  while (folder.size() < 300) folder += L"長いフォルダ名\\";
  folder += L"音楽";
  window->Edit(CSettingWindow::kMusicFolderEdit.id)->SetTextW(folder);
  boxes.Answer(IDYES);
  Command(CSettingWindow::kOKButton);
  EXPECT_EQ(Texts(), std::vector<std::wstring>{BoxText(0xFF00AA01)});
  EXPECT_FALSE(IsWindow(handle));
  COstrovelleConfig config;
  config.LoadMusic();
  EXPECT_EQ(config.GetMusicFolderW(), folder);
}

TEST_F(SettingWindowTest, EndRequestAndIconClose) {
  Store(2);
  Open();
  SendMessageA(handle, RegisterWindowMessageA("OVEVRequestEnd"), 0, 0);
  Pump();
  EXPECT_FALSE(IsWindow(handle));
  Open();
  window->Notify(CSettingWindow::kApplicationIcon.id, 3, 0);
  Pump();
  EXPECT_FALSE(IsWindow(handle));
}

TEST_F(SettingWindowTest, ScreenshotsAutomaticRandomAndNoCharge) {
  Store(2);
  Open();
  COstrovelleConfig config;
  config.LoadMusic();
  config.SetAutoChargeType(1);
  config.SetRandomPercent(70);
  window->ShowSettings(config);
  Show();
  EXPECT_TRUE(window->IsItemEnabled(CSettingWindow::kAutoChargeTypeScaleSlider.id));
  std::string error;
  EXPECT_TRUE(ovtest::SaveXvfbScreenshot("music_setting_auto_random", &error)) << error;

  Command(CSettingWindow::kChargeTypeNoChargeRadio);
  window->UpdateWindow();
  Pump();
  for (const ui::SkinItemDescriptor* d :
       {&CSettingWindow::kMusicFolderEdit, &CSettingWindow::kReferenceButton,
        &CSettingWindow::kAutoChargeTypeScaleSlider, &CSettingWindow::kChargeIntervalPerDayRadio,
        &CSettingWindow::kChargeLimitCheckBox, &CSettingWindow::kChargeLimitSizeEdit}) {
    EXPECT_FALSE(window->IsItemEnabled(d->id)) << d->section;
  }
  EXPECT_TRUE(window->IsItemEnabled(CSettingWindow::kChargeTypeAutoRadio.id));
  EXPECT_TRUE(ovtest::SaveXvfbScreenshot("music_setting_no_charge", &error)) << error;
}

}  // namespace
