// The main program's start-up; see MainStartup.h.
#include "MainStartup.h"

#include <objbase.h>

#include <vector>

#include "AboutDialog.h"
#include "CoreMessages.h"
#include "ErrorMessage.h"
#include "Folders.h"
#include "Handle.h"
#include "Log.h"
#include "MainResource.h"
#include "MessageBox.h"
#include "OstrovelleLite/PcLinkFile.h"
#include "OstrovelleLite/UserListFile.h"
#include "Placement.h"
#include "StringUtil.h"
#include "Uninstall.h"
#include "Version.h"
#include "_WindowPolicy.h"

const char kMainStartupClass[] = "OSTROVELLEEVLAUNCHER";
const char kMainStartupTitle[] = "Ostrovelle ";
const char kMainRegisteredMutex[] = "MN_OstrovelleEV";
const char kMainRegistrationMutex[] = "MN_OstrovelleEV_Init";

namespace {

constexpr uint32_t kCodeOldSystem = 0xFF00EE01;

enum class Special { kNone, kMapDownload, kUninstall };

// "Uninstall" ends the walk at once, so it wins over an earlier "MapDownload".
Special ReadArguments(const char* command_line) {
  std::vector<CommandToken> tokens;
  ParseCommandLine(command_line ? command_line : "", tokens);
  Special found = Special::kNone;
  for (const CommandToken& token : tokens) {
    if (lstrcmpiA(token.text.c_str(), "MapDownload") == 0) found = Special::kMapDownload;
    if (lstrcmpiA(token.text.c_str(), "Uninstall") == 0) return Special::kUninstall;
  }
  return found;
}

void ForwardMapDownload() {
  const UINT message = lib::wfc::RegisterWindowMessageA(kMsgMapDownload);
  const HWND launcher = FindWindowA(lib::wfc::kDefaultWindowClass, "Ostrovelle");
  if (launcher) {
    PostMessageA(launcher, message, 0, 0);
    lib::wfc::ForceForegroundWindow(launcher);
    OV_LOG(kLogInfo, "プロトコル起動");
  } else {
    OV_LOG(kLogInfo, "プロトコル起動 ランチャー無し");
  }
}

// The running window of the mode comes to the front.
void RestoreRunning(bool registered) {
  const HWND running = FindWindowA(lib::wfc::kDefaultWindowClass,
                                   registered ? "Ostrovelle" : "Ostrovelle UserEntry");
  if (!running) return;
  PostMessageA(running, WM_SYSCOMMAND, SC_RESTORE, 0);
  lib::wfc::ForceForegroundWindow(running);
}

int RunLoop(HACCEL accelerators) {
  MSG msg = {};
  for (;;) {
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == -1) {
      OV_LOG(kLogError, "::GetMessageエラー 0x%08X", static_cast<unsigned>(GetLastError()));
      break;
    }
    if (!got) break;
    if (accelerators && msg.hwnd && TranslateAcceleratorA(msg.hwnd, accelerators, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

void OpenOwnProgram() {
  ShellExecuteA(nullptr, "open", GetModulePath(nullptr).c_str(), nullptr, "", SW_SHOWNORMAL);
}

// Creates and shows the window of the mode; false when there is none to
// live for.
bool OpenModeWindow(IMainWindow& window, const MainUser& user) {
  if (user.registered) window.SetUnitModel(user.model);
  if (!window.CreateMainWindow() || !window.WindowHandle()) return false;
  const HWND handle = window.WindowHandle();
  ShowWindow(handle, SW_SHOW);
  SetActiveWindow(handle);
  lib::wfc::ForceForegroundWindow(handle);
  return true;
}

}  // namespace

LRESULT CALLBACK LauncherHiddenWndProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
  try {
    switch (message) {
      case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
      case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(hwnd, &paint);
        EndPaint(hwnd, &paint);
        return 0;
      }
      case WM_COMMAND:
        if (LOWORD(wp) == IDM_MAIN_ABOUT) {
          DialogBoxParamA(reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(hwnd, GWLP_HINSTANCE)),
                          MAKEINTRESOURCEA(IDD_MAIN_ABOUT), hwnd, &AboutDialogProc, 0);
          return 0;
        }
        if (LOWORD(wp) == IDM_MAIN_EXIT) {
          DestroyWindow(hwnd);
          return 0;
        }
        break;
      default:
        break;
    }
  } catch (...) {
    lib::wfc::LogEscapedException("start-up window");
    return 0;
  }
  return DefWindowProcA(hwnd, message, wp, lp);
}

void RegisterLauncherWindowClass(HINSTANCE instance) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof(wc);
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = &LauncherHiddenWndProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_MAIN));
  wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszMenuName = MAKEINTRESOURCEA(IDR_MAIN_MENU);
  wc.lpszClassName = kMainStartupClass;
  wc.hIconSm = wc.hIcon;
  RegisterClassExA(&wc);
}

HWND CreateLauncherHiddenWindow(HINSTANCE instance) {
  return CreateWindowExA(0, kMainStartupClass, kMainStartupTitle, WS_OVERLAPPEDWINDOW,
                         CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr);
}

MainUser CheckRegisteredUser() {
  MainUser user;
  std::vector<char> cards;
  CUserListFile users;
  if (FindDiruSDCards(cards) == 0) {
    OV_LOG(kLogInfo, "SD未挿入起動");
    users.Load();
    std::string device_no;
    uint32_t ccid = 0;
    std::string user_agent;
    int model = 0;
    user.registered = users.GetLastUser(&device_no, &ccid, &user_agent, &model);
    OV_LOG(kLogInfo, user.registered ? "　－最終ユーザーあり" : "　－最終ユーザーなし");
    user.model = static_cast<uint8_t>(model);
  } else {
    OV_LOG(kLogInfo, "SD挿入起動");
    const CPcLinkFile link(CPcLinkFile::kLinkFile, cards[0]);
    if (link.IsLoaded()) {
      users.Load();
      if (users.Exists(link.GetDeviceNo())) {
        OV_LOG(kLogInfo, "　－ユーザー登録情報あり");
        user.registered = true;
      }
      user.model = link.GetModel();
    }
  }
  OV_LOG(kLogInfo, "ユーザー登録状況 %s", user.registered ? "済" : "未");
  return user;
}

int RunMain(HINSTANCE instance, const char* command_line, const MainRunOptions& options) {
  RegisterLauncherWindowClass(instance);
  if (options.open_log) CBroxLogWrapper(__FILE__, __LINE__).Open(nullptr, 4096);
  const lib::wfc::MessageBoxHandler box = lib::wfc::UseErrorBoxUnlessSet();

  const int os_type = options.os_type ? options.os_type() : GetOSType();
  if (!IsSupportedOSType(os_type)) {
    OV_LOG(kLogError, "起動OS-NG OSType:%d", os_type);
    uint32_t style = MB_ICONWARNING;
    const std::string text = GetErrorMessage(kCodeOldSystem, &style, 0);
    box(nullptr, text.c_str(), kMainStartupTitle, style);
    return 0;
  }

  const Special special = ReadArguments(command_line);
  if (special == Special::kUninstall) {
    UninstallData();
    return 0;
  }
  if (special == Special::kMapDownload) {
    ForwardMapDownload();
    if (options.open_log) CBroxLogWrapper(__FILE__, __LINE__).End();
    return 0;
  }

  const MainUser user = CheckRegisteredUser();
  // Held until the program ends.
  CHandle mutex(
      CreateMutexA(nullptr, TRUE, user.registered ? kMainRegisteredMutex : kMainRegistrationMutex));
  if (!mutex || GetLastError() == ERROR_ALREADY_EXISTS) {
    RestoreRunning(user.registered);
    return 0;
  }

  const HWND startup = CreateLauncherHiddenWindow(instance);
  if (!startup) {
    OV_LOG(kLogError, "アプリケーション初期化失敗[ERR:0x%08X]",
           static_cast<unsigned>(GetLastError()));
    return 0;
  }

  const HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_MAIN_MENU));
  const HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_MAIN));
  lib::wfc::Initialize(instance, kMainStartupTitle, icon, icon);
  lib::wfc::InitThread();
  const HRESULT com = CoInitialize(nullptr);

  int code = 0;
  bool restart = false;
  {
    // Both window objects live for the whole run; only one becomes a window.
    MainWindowPtr launcher =
        options.create_launcher ? options.create_launcher() : MakeLauncherWindow();
    MainWindowPtr registration =
        options.create_registration ? options.create_registration() : MakeRegistrationWindow();
    IMainWindow& window = user.registered ? *launcher : *registration;
    if (OpenModeWindow(window, user)) code = RunLoop(accelerators);

    if (SUCCEEDED(com)) CoUninitialize();
    lib::wfc::TermThread();
    lib::wfc::Terminate();
    ReleaseMutex(mutex.Get());
    if (options.open_log) CBroxLogWrapper(__FILE__, __LINE__).End();
    restart = window.WantsRestart();
    if (restart) {
      if (options.restart) {
        options.restart();
      } else {
        OpenOwnProgram();
      }
    }
    registration.reset();
    launcher.reset();
  }
  DestroyWindow(startup);
  // The start-up window's end posts a quit of its own; a caller that goes on
  // pumping (a test) must not meet it.
  MSG stray;
  PeekMessageA(&stray, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  return code;
}
