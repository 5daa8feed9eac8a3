// The music manager's start-up; see MusicStartup.h.
#include "MusicStartup.h"

#include <objbase.h>

#include "AboutDialog.h"
#include "ErrorMessage.h"
#include "Handle.h"
#include "Log.h"
#include "MessageBox.h"
#include "MusicCommandLine.h"
#include "ManualWindow.h"
#include "MusicResource.h"
#include "SettingWindow.h"
#include "Placement.h"
#include "Version.h"
#include "_WindowPolicy.h"

const char kMusicStartupClass[] = "OSTROVELLEEVMUSIC";
const char kMusicStartupTitle[] = "Ostrovelle Music ";
const char kMusicManualTitle[] = "Ostrovelle Music Manual";
const char kMusicSettingTitle[] = "Ostrovelle Music Setting";
const char kMusicManualMutex[] = "MN_OstrovelleEV_Music";
const char kMusicSettingMutex[] = "MN_OstrovelleEV_MusicSetting";

namespace {

LRESULT CALLBACK StartupWindowProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
  try {
    if (message == WM_COMMAND) {
      switch (LOWORD(wp)) {
        case IDM_MUSIC_ABOUT:
          DialogBoxParamA(reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(hwnd, GWLP_HINSTANCE)),
                          MAKEINTRESOURCEA(IDD_MUSIC_ABOUT), hwnd, &AboutDialogProc, 0);
          return 0;
        case IDM_MUSIC_EXIT:
          DestroyWindow(hwnd);
          return 0;
        default:
          break;
      }
    }
  } catch (...) {
    lib::wfc::LogEscapedException("start-up window");
    return 0;
  }
  return DefWindowProcA(hwnd, message, wp, lp);
}

void RegisterStartupClass(HINSTANCE instance) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof(wc);
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = &StartupWindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_MUSIC));
  wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszMenuName = MAKEINTRESOURCEA(IDR_MUSIC_MENU);
  wc.lpszClassName = kMusicStartupClass;
  wc.hIconSm = wc.hIcon;
  RegisterClassExA(&wc);
}

// The running window of the mode comes to the front.
void RestoreRunning(int mode) {
  const HWND running =
      FindWindowA(lib::wfc::kDefaultWindowClass,
                  mode == kMusicModeManual ? kMusicManualTitle : kMusicSettingTitle);
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

// Gives the mode's window its target and shows it; false when the program
// has no window to live for.
bool OpenModeWindow(IMusicWindow& window, const MusicOptions& command) {
  if (command.mode == kMusicModeManual) {
    OV_LOG(kLogInfo, "手動ミュージックチャージ画面を起動");
  } else {
    OV_LOG(kLogInfo, "ミュージックチャージ設定画面を起動");
  }
  window.SetTarget(command.drive, command.notify);
  const bool created = window.CreateMusicWindow();
  const HWND handle = window.WindowHandle();
  if (command.mode == kMusicModeManual && !created) {
    OV_LOG(kLogError, "手動ミュージックチャージ画面起動不可");
    // Its close path ends the program; without a window there is none.
    if (handle) PostMessageA(handle, WM_CLOSE, 0, 0);
    return handle != nullptr;
  }
  if (!handle) return false;
  ShowWindow(handle, SW_SHOW);
  lib::wfc::ForceForegroundWindow(handle);
  return true;
}

}  // namespace

int RunMusic(HINSTANCE instance, const char* command_line, const MusicRunOptions& options) {
  RegisterStartupClass(instance);
  if (options.open_log) CBroxLogWrapper(__FILE__, __LINE__).Open(nullptr, 4096);
  const lib::wfc::MessageBoxHandler box = lib::wfc::UseErrorBoxUnlessSet();

  const int os_type = options.os_type ? options.os_type() : GetOSType();
  if (!IsSupportedOSType(os_type)) {
    OV_LOG(kLogError, "起動OS-NG OSType:%d", os_type);
    box(nullptr,
        "本アプリケーションはこのOSでは動作できません。\r\n"
        "Windows 7(TM) / Windows Vista(TM) / Windows XP(TM) にて実行してください。",
        kMusicManualTitle, MB_ICONINFORMATION);
    return 0;
  }

  std::vector<CommandToken> tokens;
  MusicCommandLine(command_line, tokens);
  OV_LOG(kLogInfo, "lpCmdLine [%s]", command_line ? command_line : "(null)");
  const MusicOptions command = ParseMusicOptions(tokens);
  if (!command.IsComplete()) {
    OV_LOG(kLogError, "コマンドライン不正");
    return 0;
  }
  OV_LOG(kLogInfo, "ターゲットドライブ %c:\\", command.drive);

  // Held until the program ends.
  CHandle mutex(CreateMutexA(
      nullptr, TRUE, command.mode == kMusicModeManual ? kMusicManualMutex : kMusicSettingMutex));
  if (!mutex || GetLastError() == ERROR_ALREADY_EXISTS) {
    RestoreRunning(command.mode);
    return 0;
  }

  const HWND startup =
      CreateWindowExA(0, kMusicStartupClass, kMusicStartupTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                      0, CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr);
  if (!startup) {
    OV_LOG(kLogError, "アプリケーション初期化失敗[ERR:0x%08X]",
           static_cast<unsigned>(GetLastError()));
    return 0;
  }

  const HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_MUSIC_MENU));
  const HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_MUSIC));
  lib::wfc::Initialize(instance, kMusicStartupTitle, icon, icon);
  lib::wfc::InitThread();
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

  int code = 0;
  {
    // Both windows live for the whole run.
    MusicWindowPtr manual =
        options.create_manual ? options.create_manual() : std::make_unique<ui::CManualWindow>();
    MusicWindowPtr setting =
        options.create_setting ? options.create_setting() : std::make_unique<ui::CSettingWindow>();
    IMusicWindow& window = command.mode == kMusicModeManual ? *manual : *setting;
    if (OpenModeWindow(window, command)) code = RunLoop(accelerators);

    if (SUCCEEDED(com)) CoUninitialize();
    lib::wfc::TermThread();
    lib::wfc::Terminate();
    if (options.open_log) CBroxLogWrapper(__FILE__, __LINE__).End();
    setting.reset();
    manual.reset();
  }
  DestroyWindow(startup);
  return code;
}
