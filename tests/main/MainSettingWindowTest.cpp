// The launcher's settings window on the real skin: the folder check (a
// table of folders), what OK asks and saves, the picker, the two data
// buttons following the card, the card clear and the download deletion
// with a core posing as busy or idle, and the reset to the defaults.
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "CardMaker.h"
#include "CoreMessages.h"
#include "CoreProcessLock.h"
#include "ErrorMessage.h"
#include "MainWindowTestSupport.h"
#include "MessageBoxCapture.h"
#include "OstrovelleLite/OstrovelleConfig.h"
#include "PosingWindow.h"
#include "ScreenLock.h"
#include "SettingWindow.h"
#include "StringUtil.h"
#include "TestSupport.h"

namespace {

using maintest::CRecordingParent;
using ui::CSettingWindow;
namespace setting = ui::setting;

std::wstring Widen(const std::string& text) {
  std::wstring wide(text.size(), L'\0');
  wide.resize(MultiByteToWideChar(932, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                                  static_cast<int>(wide.size())));
  return wide;
}

bool Exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }
bool IsFolder(const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring BoxText(uint32_t code) {
  uint32_t style = 0;
  return Widen(GetErrorMessage(code, &style, 0));
}

// A window posing as the core: it answers the reservation question with the
// scripted bits and counts the ends it is asked for.
class CPosingCore final {
 public:
  CPosingCore() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kCoreWindowClass;
    RegisterClassA(&wc);
    _window = CreateWindowExA(0, kCoreWindowClass, kCoreWindowTitle, WS_POPUP, 0, 0, 1, 1, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~CPosingCore() {
    if (_window) DestroyWindow(_window);
  }
  CPosingCore(const CPosingCore&) = delete;
  CPosingCore& operator=(const CPosingCore&) = delete;

  HWND Get() const { return _window; }
  LRESULT reserved = 0;
  int asked = 0;
  int ends = 0;

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* self = reinterpret_cast<CPosingCore*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self && message == RegisterWindowMessageA(kMsgRequestReconfirm)) {
      ++self->asked;
      return self->reserved;
    }
    if (self && message == RegisterWindowMessageA(kMsgRequestEnd)) {
      ++self->ends;
      return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
  }

  HWND _window = nullptr;
};

// Settings as a test writes them before the window reads them.
void WriteSettings(const std::string& folder, int auto_delete, int map, int traffic, int weather) {
  COstrovelleConfig config;
  config.InitSetting(false);
  config.InitMap(true);
  config.SetDownloadFolderPath(folder);
  config.SetDataAutoDelete(auto_delete);
  config.SetTransmitExe(2, map);
  config.SetTransmitExe(3, traffic);
  config.SetTransmitExe(4, weather);
  ASSERT_TRUE(config.SaveSetting());
}

COstrovelleConfig ReadSettings() {
  COstrovelleConfig config;
  config.LoadSetting();
  return config;
}

// The one-core lock first (the posing core), then the screen.
class MainSettingWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(_core_lock.IsHeld());
    ASSERT_TRUE(_card.IsValid());
  }

  // The music manager's windows are global: a case waits for them only
  // when it makes one itself.
  void Open(ui::SettingWindowHooks hooks = {}, bool wait_for_music = false) {
    if (!wait_for_music) hooks.wait_music_manager_gone = [] { return true; };
    if (!hooks.free_space) {
      hooks.free_space = [this](const std::string& root, uint64_t* free_bytes, DWORD*) {
        _asked_root = root;
        *free_bytes = _free_bytes;
        return true;
      };
    }
    if (!hooks.clear_card) {
      hooks.clear_card = [this](char drive) {
        _cleared.push_back(drive);
        return _clear_result;
      };
    }
    _window = std::make_unique<CSettingWindow>(std::move(hooks));
    _window->Create(_parent.Get());
  }
  // Clicks an item and lets the command run; its boxes are answered as
  // scripted.
  void Click(const ui::SkinItemDescriptor& item) {
    ASSERT_TRUE(_window->ClickItem(item.id)) << item.section;
    maintest::Pump();
  }
  std::vector<std::wstring> Texts() const {
    std::vector<std::wstring> texts;
    for (const auto& box : _boxes.Boxes()) texts.push_back(box.text);
    return texts;
  }
  std::string Folder(const std::string& name) { return _dir.Path() + name; }

  ovtest::CTestCard _card;
  ovtest::CCoreProcessLock _core_lock;
  ovtest::CScreenLock _screen;
  ovtest::CScopedDataRoot _root;
  ovtest::CTempDir _dir;
  ovtest::CLogCapture _log;
  ovtest::CMessageBoxCapture _boxes;
  CRecordingParent _parent{100, 100, 400, 260};
  std::unique_ptr<CSettingWindow> _window;
  uint64_t _free_bytes = 64ull << 30;
  std::string _asked_root;
  std::vector<char> _cleared;
  DWORD _clear_result = 0;
};

TEST_F(MainSettingWindowTest, ShowsTheSettingsAndTheCard) {
  WriteSettings("C:\\dl", 0, 1, 0, 1);
  Open();
  EXPECT_FALSE(IsWindowVisible(_window->Handle()));
  EXPECT_EQ("C:\\dl", _window->FolderText());
  EXPECT_FALSE(_window->IsChecked(CSettingWindow::kAutoDeleteCheckBox));
  EXPECT_TRUE(_window->IsChecked(CSettingWindow::kMapChargeExeCheckBox));
  EXPECT_FALSE(_window->IsChecked(CSettingWindow::kTidewheelExeCheckBox));
  EXPECT_TRUE(_window->IsChecked(CSettingWindow::kStratovineExeCheckBox));
  // Show reads the file again.
  WriteSettings("C:\\other", 1, 0, 1, 0);
  _window->Show(0);
  EXPECT_TRUE(IsWindowVisible(_window->Handle()));
  EXPECT_EQ("C:\\other", _window->FolderText());
  EXPECT_TRUE(_window->IsChecked(CSettingWindow::kAutoDeleteCheckBox));
  EXPECT_FALSE(_window->IsChecked(CSettingWindow::kMapChargeExeCheckBox));
}

TEST_F(MainSettingWindowTest, DataButtonsFollowTheCard) {
  Open();
  _window->Show(0);
  EXPECT_FALSE(_window->IsItemEnabled(CSettingWindow::kDownloadDeleteButton));
  EXPECT_FALSE(_window->IsItemEnabled(CSettingWindow::kSDClearButton));
  const UINT change = RegisterWindowMessageA(kMsgSDChange);
  PostMessageA(_window->Handle(), change, static_cast<WPARAM>(_card.Letter()), 0);
  maintest::Pump();
  EXPECT_EQ(_card.Letter(), _window->Drive());
  EXPECT_TRUE(_window->IsItemEnabled(CSettingWindow::kDownloadDeleteButton));
  EXPECT_TRUE(_window->IsItemEnabled(CSettingWindow::kSDClearButton));
  PostMessageA(_window->Handle(), change, 0x1234, 0);  // not a drive: ignored
  maintest::Pump();
  EXPECT_TRUE(_window->IsItemEnabled(CSettingWindow::kSDClearButton));
  PostMessageA(_window->Handle(), change, 0, 0);
  maintest::Pump();
  EXPECT_FALSE(_window->IsItemEnabled(CSettingWindow::kDownloadDeleteButton));
  EXPECT_FALSE(_window->IsItemEnabled(CSettingWindow::kSDClearButton));
  _window->Show(_card.Letter());
  EXPECT_TRUE(_window->IsItemEnabled(CSettingWindow::kSDClearButton));
}

// The folder check behind OK: what each folder text gets.
struct FolderCase {
  const char* name;
  const char* text;  // "%T" is the test's temporary folder
  enum Kind { kPlain, kHidden, kFile, kMissing } kind;
  uint32_t code;  // the first box; 0: saved without one
};
void PrintTo(const FolderCase& c, std::ostream* os) { *os << c.name; }

class MainSettingFolderTest : public MainSettingWindowTest,
                              public ::testing::WithParamInterface<FolderCase> {};

TEST_P(MainSettingFolderTest, OkChecksTheFolder) {
  const FolderCase& c = GetParam();
  std::string text = c.text;
  const size_t at = text.find("%T");
  if (at != std::string::npos) text.replace(at, 2, _dir.Path());
  const std::string trimmed = setting::TrimBlanks(text);
  if (c.kind == FolderCase::kPlain || c.kind == FolderCase::kHidden) {
    ASSERT_TRUE(CreateDirectoryA(trimmed.c_str(), nullptr));
  }
  if (c.kind == FolderCase::kHidden) {
    ASSERT_TRUE(SetFileAttributesA(trimmed.c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_NE(0u, GetFileAttributesA(trimmed.c_str()) & FILE_ATTRIBUTE_HIDDEN);
  }
  if (c.kind == FolderCase::kFile) {
    ASSERT_TRUE(ovtest::WriteFileBytes(trimmed, "x"));
  }
  WriteSettings("C:\\before", 1, 1, 1, 1);
  _boxes.Answer(IDNO);  // a question to create the folder is answered No
  Open();
  _window->Show(0);
  _window->SetFolderText(text);
  Click(CSettingWindow::kOKButton);
  const auto texts = Texts();
  if (c.code == 0) {
    EXPECT_TRUE(texts.empty());
    EXPECT_EQ(trimmed, ReadSettings().GetDownloadFolderPath());
    EXPECT_FALSE(IsWindowVisible(_window->Handle()));
    return;
  }
  ASSERT_EQ(1u, texts.size());
  EXPECT_EQ(BoxText(c.code), texts[0]);
  EXPECT_EQ("C:\\before", ReadSettings().GetDownloadFolderPath());
  EXPECT_TRUE(IsWindowVisible(_window->Handle()));
  if (c.kind == FolderCase::kMissing) {
    EXPECT_FALSE(Exists(trimmed.c_str()));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Folders, MainSettingFolderTest,
    ::testing::Values(
        FolderCase{"Empty", "", FolderCase::kMissing, setting::kFolderEmpty},
        FolderCase{"Blanks", "  \t ", FolderCase::kMissing, setting::kFolderEmpty},
        FolderCase{"Windows", "C:\\windows\\dl", FolderCase::kMissing,
                   setting::kFolderNotAcceptable},
        FolderCase{"WindowsUpperCase", "C:\\WINDOWS\\dl", FolderCase::kMissing,
                   setting::kFolderNotAcceptable},
        FolderCase{"WindowsLowerDrive", "c:\\windows\\x", FolderCase::kMissing,
                   setting::kFolderNotAcceptable},
        FolderCase{"ProgramFilesAnyCase", "c:\\PROGRAM files\\dl", FolderCase::kMissing,
                   setting::kFolderNotAcceptable},
        FolderCase{"Hidden", "%Thidden", FolderCase::kHidden, setting::kFolderNotAcceptable},
        FolderCase{"AFile", "%Tfile.bin", FolderCase::kFile, setting::kFolderNotAcceptable},
        FolderCase{"MissingAsksToCreate", "%Tnew\\deeper", FolderCase::kMissing,
                   setting::kAskCreateFolder},
        FolderCase{"PlainFolder", "%Tplain", FolderCase::kPlain, 0},
        FolderCase{"PlainFolderTrimmed", "  %Tspaced \t", FolderCase::kPlain, 0}),
    ovtest::CaseName());

TEST_F(MainSettingWindowTest, OkSavesTheTrimmedFolderAndTheSwitches) {
  WriteSettings("C:\\before", 1, 1, 1, 1);
  _boxes.Answer(IDYES);  // create the folder
  Open();
  _window->Show(0);
  const std::string folder = Folder("made\\here");
  _window->SetFolderText("   " + folder + "  ");
  _window->SetChecked(CSettingWindow::kAutoDeleteCheckBox, false);
  _window->SetChecked(CSettingWindow::kTidewheelExeCheckBox, false);
  Click(CSettingWindow::kOKButton);
  ASSERT_EQ(std::vector<std::wstring>{BoxText(setting::kAskCreateFolder)}, Texts());
  EXPECT_TRUE(IsFolder(folder.c_str()));
  EXPECT_EQ(folder.substr(0, 3), _asked_root);
  const COstrovelleConfig saved = ReadSettings();
  EXPECT_EQ(folder, saved.GetDownloadFolderPath());
  EXPECT_EQ(0, saved.GetDataAutoDelete());
  EXPECT_EQ(1, saved.GetTransmitExe(2));
  EXPECT_EQ(0, saved.GetTransmitExe(3));
  EXPECT_EQ(1, saved.GetTransmitExe(4));
  EXPECT_EQ(folder, _window->FolderText());
  EXPECT_FALSE(IsWindowVisible(_window->Handle()));
}

TEST_F(MainSettingWindowTest, LowSpaceAsksAndSavesNothingOnNo) {
  WriteSettings("C:\\before", 1, 1, 1, 1);
  _free_bytes = 4ull << 30;
  _boxes.Answer(IDNO);
  Open();
  _window->Show(0);
  CreateDirectoryA(Folder("small").c_str(), nullptr);
  _window->SetFolderText(Folder("small"));
  _window->SetChecked(CSettingWindow::kMapChargeExeCheckBox, false);
  Click(CSettingWindow::kOKButton);
  ASSERT_EQ(std::vector<std::wstring>{BoxText(setting::kAskLowSpace)}, Texts());
  const COstrovelleConfig saved = ReadSettings();
  EXPECT_EQ("C:\\before", saved.GetDownloadFolderPath());
  EXPECT_EQ(1, saved.GetTransmitExe(2));
  EXPECT_TRUE(IsWindowVisible(_window->Handle()));
  EXPECT_TRUE(_log.Contains("ダウンロード指定ドライブ容量不正 RET:成功 ERR:0x00000000 4294967296"));

  // Yes goes on and saves.
  _boxes.Answer(IDYES);
  Click(CSettingWindow::kOKButton);
  EXPECT_EQ(Folder("small"), ReadSettings().GetDownloadFolderPath());
  EXPECT_EQ(0, ReadSettings().GetTransmitExe(2));
}

TEST_F(MainSettingWindowTest, EnterAppliesAndCancelKeepsTheFile) {
  WriteSettings("C:\\before", 1, 1, 1, 1);
  Open();
  _window->Show(0);
  CreateDirectoryA(Folder("kept").c_str(), nullptr);
  _window->SetFolderText(Folder("kept"));
  Click(CSettingWindow::kCancelButton);
  EXPECT_FALSE(IsWindowVisible(_window->Handle()));
  EXPECT_EQ("C:\\before", ReadSettings().GetDownloadFolderPath());
  _window->Show(0);
  _window->SetFolderText(Folder("kept"));
  SendMessageA(_window->Handle(), WM_KEYDOWN, VK_RETURN, 0);
  maintest::Pump();
  EXPECT_EQ(Folder("kept"), ReadSettings().GetDownloadFolderPath());
  EXPECT_FALSE(IsWindowVisible(_window->Handle()));
}

TEST_F(MainSettingWindowTest, PickerFillsTheEditOnly) {
  WriteSettings("C:\\before", 1, 1, 1, 1);
  std::string initial;
  bool pick = false;
  ui::SettingWindowHooks hooks;
  hooks.pick_folder = [&](HWND, const std::string& from, std::string* chosen) {
    initial = from;
    *chosen = "D:\\picked";
    return pick;
  };
  Open(hooks);
  _window->Show(0);
  _window->SetFolderText(" C:\\from ");
  Click(CSettingWindow::kDownloadFolderButton);
  EXPECT_EQ("C:\\from", initial);
  EXPECT_EQ(" C:\\from ", _window->FolderText());  // cancelled: unchanged
  pick = true;
  Click(CSettingWindow::kDownloadFolderButton);
  EXPECT_EQ("D:\\picked", _window->FolderText());
  EXPECT_EQ("C:\\before", ReadSettings().GetDownloadFolderPath());
}

TEST_F(MainSettingWindowTest, ResetWritesTheDefaultsOnYes) {
  WriteSettings("C:\\before", 0, 0, 0, 0);
  Open();
  _window->Show(0);
  _boxes.Answer(IDNO);
  Click(CSettingWindow::kReInitializeButton);
  EXPECT_EQ(0, ReadSettings().GetTransmitExe(2));
  EXPECT_FALSE(_window->IsChecked(CSettingWindow::kMapChargeExeCheckBox));
  _boxes.Answer(IDYES);
  Click(CSettingWindow::kReInitializeButton);
  EXPECT_EQ((std::vector<std::wstring>{BoxText(setting::kAskReset), BoxText(setting::kAskReset)}),
            Texts());
  COstrovelleConfig defaults;
  defaults.InitSetting(false);
  const COstrovelleConfig saved = ReadSettings();
  EXPECT_EQ(defaults.GetDownloadFolderPath(), saved.GetDownloadFolderPath());
  for (int i : {2, 3, 4}) EXPECT_EQ(1, saved.GetTransmitExe(i)) << i;
  EXPECT_EQ(1, saved.GetDataAutoDelete());
  EXPECT_EQ(defaults.GetDownloadFolderPath(), _window->FolderText());
  for (const ui::SkinItemDescriptor* box :
       {&CSettingWindow::kMapChargeExeCheckBox, &CSettingWindow::kTidewheelExeCheckBox,
        &CSettingWindow::kStratovineExeCheckBox, &CSettingWindow::kAutoDeleteCheckBox}) {
    EXPECT_TRUE(_window->IsChecked(*box)) << box->section;
  }
}

TEST_F(MainSettingWindowTest, BusyCoreRefusesBothDeletions) {
  CPosingCore core;
  core.reserved = 2;
  const std::string folder = Folder("dl");
  CreateDirectoryA(folder.c_str(), nullptr);
  CreateDirectoryA((folder + "\\01").c_str(), nullptr);
  ASSERT_TRUE(ovtest::WriteFileBytes(folder + "\\01\\kept.bin", "k"));
  WriteSettings(folder, 1, 1, 1, 1);
  Open();
  _window->Show(_card.Letter());
  Click(CSettingWindow::kDownloadDeleteButton);
  Click(CSettingWindow::kSDClearButton);
  EXPECT_EQ(
      (std::vector<std::wstring>{BoxText(setting::kDownloadsBusy), BoxText(setting::kCardBusy)}),
      Texts());
  EXPECT_EQ(2, core.asked);
  EXPECT_EQ(0, core.ends);
  EXPECT_TRUE(_cleared.empty());
  EXPECT_TRUE(Exists((folder + "\\01\\kept.bin").c_str()));
}

#ifdef OV_CORE_HOST_RELATIVE
// A real core (the core tests' host) running a map charge that waits for
// the test: neither deletion runs under it.
TEST_F(MainSettingWindowTest, RealCoreHoldingAChargeRefusesBothDeletions) {
  const std::string tag = FormatString("main%lu", GetCurrentProcessId());
  SetEnvironmentVariableA("OV_TEST_TAG", tag.c_str());
  std::string host = ovtest::ExecutableFolder() + OV_CORE_HOST_RELATIVE;
  ReplaceAll(host, "/", "\\");
  const std::string command =
      "\"" + host + "\"" +
      FormatString(" /d C /w %08X /p map",
                   static_cast<unsigned>(reinterpret_cast<UINT_PTR>(_parent.Get())));
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  std::string line = command;
  ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process));
  CloseHandle(process.hThread);
  // The charge is held once the core says so.
  const auto reserved = [] {
    const HWND core = FindWindowA(kCoreWindowClass, kCoreWindowTitle);
    DWORD_PTR answer = 0;
    return core &&
           SendMessageTimeoutA(core, RegisterWindowMessageA(kMsgRequestReconfirm), 0, 0,
                               SMTO_ABORTIFHUNG, 5000, &answer) &&
           answer != 0;
  };
  const bool held = maintest::PumpUntil(reserved, 20000);
  const std::string folder = Folder("dl");
  CreateDirectoryA(folder.c_str(), nullptr);
  CreateDirectoryA((folder + "\\01").c_str(), nullptr);
  ASSERT_TRUE(ovtest::WriteFileBytes(folder + "\\01\\kept.bin", "k"));
  WriteSettings(folder, 1, 1, 1, 1);
  if (held) {
    Open();
    _window->Show(_card.Letter());
    _boxes.Answer(IDYES);
    _boxes.Answer(IDYES);
    Click(CSettingWindow::kDownloadDeleteButton);
    Click(CSettingWindow::kSDClearButton);
  }
  // The charge is let go and the core asked to end before any check.
  const HANDLE release = CreateEventA(nullptr, TRUE, FALSE,
                                      FormatString("OvCoreHost_%s_release_2", tag.c_str()).c_str());
  SetEvent(release);
  if (const HWND core = FindWindowA(kCoreWindowClass, kCoreWindowTitle)) {
    PostMessageA(core, RegisterWindowMessageA(kMsgRequestEnd), 0, 0);
  }
  const bool ended = maintest::PumpUntil(
      [&] { return WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0; }, 20000);
  if (!ended) TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hProcess);
  CloseHandle(release);
  SetEnvironmentVariableA("OV_TEST_TAG", nullptr);
  ASSERT_TRUE(held);
  EXPECT_TRUE(ended);
  EXPECT_EQ(
      (std::vector<std::wstring>{BoxText(setting::kDownloadsBusy), BoxText(setting::kCardBusy)}),
      Texts());
  EXPECT_TRUE(_cleared.empty());
  EXPECT_TRUE(Exists((folder + "\\01\\kept.bin").c_str()));
}
#endif

TEST_F(MainSettingWindowTest, DeleteRemovesTheDownloadsAndTheUnitsFolder) {
  CPosingCore core;
  ovtest::CCardMaker unit;
  ASSERT_TRUE(unit.Model(0x05).WriteCard(_card.Letter(), true));
  const std::string folder = Folder("dl");
  for (const char* sub : {"", "\\01", "\\Data05", "\\Data05\\02"}) {
    CreateDirectoryA((folder + sub).c_str(), nullptr);
  }
  ASSERT_TRUE(ovtest::WriteFileBytes(folder + "\\01\\a.bin", "a"));
  ASSERT_TRUE(ovtest::WriteFileBytes(folder + "\\Data05\\02\\b.bin", "b"));
  WriteSettings(folder, 1, 1, 1, 1);
  Open();
  _window->Show(_card.Letter());
  _boxes.Answer(IDYES);
  Click(CSettingWindow::kDownloadDeleteButton);
  EXPECT_EQ((std::vector<std::wstring>{BoxText(setting::kAskDeleteDownloads),
                                       BoxText(setting::kDownloadsDeleted)}),
            Texts());
  EXPECT_EQ(1, core.asked);
  EXPECT_FALSE(Exists((folder + "\\01").c_str()));
  EXPECT_FALSE(Exists((folder + "\\Data05").c_str()));
  EXPECT_TRUE(IsFolder(folder.c_str()));
}

TEST_F(MainSettingWindowTest, DeleteChecksTheFolderFirst) {
  Open();
  _window->Show(_card.Letter());
  _window->SetFolderText(Folder("absent"));
  Click(CSettingWindow::kDownloadDeleteButton);
  _window->SetFolderText("C:\\Windows\\Temp");
  Click(CSettingWindow::kDownloadDeleteButton);
  _boxes.Answer(IDNO);
  CreateDirectoryA(Folder("there").c_str(), nullptr);
  _window->SetFolderText(Folder("there"));
  Click(CSettingWindow::kDownloadDeleteButton);
  EXPECT_EQ((std::vector<std::wstring>{BoxText(setting::kNoDownloadFolder),
                                       BoxText(setting::kFolderNotAcceptable),
                                       BoxText(setting::kAskDeleteDownloads)}),
            Texts());
  EXPECT_TRUE(IsFolder(Folder("there").c_str()));
}

TEST_F(MainSettingWindowTest, ClearEndsTheProgramsAndClearsTheCard) {
  CPosingCore core;
  Open();
  _window->Show(_card.Letter());
  _boxes.Answer(IDNO);
  Click(CSettingWindow::kSDClearButton);
  EXPECT_TRUE(_cleared.empty());
  _boxes.Answer(IDYES);
  Click(CSettingWindow::kSDClearButton);
  _clear_result = ERROR_ACCESS_DENIED;
  _boxes.Answer(IDYES);
  Click(CSettingWindow::kSDClearButton);
  EXPECT_EQ(
      (std::vector<std::wstring>{BoxText(setting::kAskClearCard), BoxText(setting::kAskClearCard),
                                 BoxText(setting::kCardCleared), BoxText(setting::kAskClearCard),
                                 BoxText(setting::kCardClearFailed)}),
      Texts());
  EXPECT_EQ((std::vector<char>{_card.Letter(), _card.Letter()}), _cleared);
  maintest::Pump();
  EXPECT_EQ(2, core.ends);
}

TEST_F(MainSettingWindowTest, MusicManagerThatStaysKeepsTheCard) {
  // The music manager's window ignores the end, as one still writing does:
  // after its time the clear is refused.
  maintest::CPosingWindow music("Ostrovelle Music Manual");
  Open({}, true);
  _window->Show(_card.Letter());
  _boxes.Answer(IDYES);
  const ovtest::CStopwatch wait;
  Click(CSettingWindow::kSDClearButton);
  EXPECT_GE(wait.Ms(), 900u);
  EXPECT_EQ(
      (std::vector<std::wstring>{BoxText(setting::kAskClearCard), BoxText(setting::kCardBusy)}),
      Texts());
  EXPECT_TRUE(_cleared.empty());
  maintest::Pump();
  EXPECT_EQ(1u, music.Of(RegisterWindowMessageA(kMsgRequestEnd)).size());
}

TEST_F(MainSettingWindowTest, ClearOfARealCardKeepsTheUnitsFiles) {
  ovtest::CCardMaker unit;
  ASSERT_TRUE(unit.WriteCard(_card.Letter(), true));
  CreateDirectoryA(_card.Path("PC\\WEATHER").c_str(), nullptr);
  ASSERT_TRUE(ovtest::WriteFileBytes(_card.Path("PC\\WEATHER\\w.dat"), "w"));
  ui::SettingWindowHooks hooks;  // the real clear
  hooks.wait_music_manager_gone = [] { return true; };
  _window = std::make_unique<CSettingWindow>(hooks);
  _window->Create(_parent.Get());
  _window->Show(_card.Letter());
  _boxes.Answer(IDYES);
  Click(CSettingWindow::kSDClearButton);
  EXPECT_EQ(
      (std::vector<std::wstring>{BoxText(setting::kAskClearCard), BoxText(setting::kCardCleared)}),
      Texts());
  EXPECT_FALSE(Exists(_card.Path("PC\\WEATHER\\w.dat").c_str()));
  EXPECT_TRUE(Exists(_card.Path("PC\\NAVIINFO.DAT").c_str()));
  EXPECT_TRUE(Exists(_card.Path("PCLINK.DAT").c_str()));
}

TEST_F(MainSettingWindowTest, OpenerKeepsOneWindow) {
  std::unique_ptr<CSettingWindow> slot;
  CSettingWindow& first = ui::ShowKeptWindow(slot, _parent.Get(), 0);
  CSettingWindow& again = ui::ShowKeptWindow(slot, _parent.Get(), _card.Letter());
  EXPECT_EQ(&first, &again);
  EXPECT_TRUE(again.IsItemEnabled(CSettingWindow::kSDClearButton));
  EXPECT_EQ(_parent.Get(), GetWindow(again.Handle(), GW_OWNER));
}

TEST_F(MainSettingWindowTest, Screenshot) {
  WriteSettings("C:\\users\\Public\\Ostrovelle\\Download", 1, 1, 0, 1);
  Open();
  _window->Show(_card.Letter());
  EXPECT_TRUE(maintest::ScreenshotOverOwner(_parent.Get(), _window->Handle(), "setting_window"));
}

}  // namespace
