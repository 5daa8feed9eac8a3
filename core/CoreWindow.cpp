// The core window; see CoreWindow.h.
#include "CoreWindow.h"

#include "AboutDialog.h"
#include "ChargeKind.h"
#include "CoreManager.h"
#include "CoreMessages.h"
#include "CoreResource.h"
#include "Log.h"

#include <exception>

namespace {

HINSTANCE g_instance = nullptr;
HWND g_window = nullptr;
CCoreManager* g_manager = nullptr;  // not owned
HHOOK g_dialog_filter = nullptr;

// Registered before the entry function runs.
const UINT g_reconfirm_message = RegisterOvMessage(kMsgRequestReconfirm);
const UINT g_reconst_message = RegisterOvMessage(kMsgReConstCoreManager);

constexpr uint32_t kDebugKinds[IDM_CORE_DEBUG_COUNT] = {CHARGE_KIND_PROBE, CHARGE_KIND_MAP,
                                                        CHARGE_KIND_TIDEWHEEL, CHARGE_KIND_WEATHER,
                                                        CHARGE_KIND_MUSIC};

// While the version box runs its own modal loop, the charges' messages must
// still reach the manager before dispatch, as in the core's loop.
LRESULT CALLBACK DialogMessageFilter(int code, WPARAM wparam, LPARAM lparam) {
  if (code == MSGF_DIALOGBOX && g_manager) {
    const MSG* msg = reinterpret_cast<const MSG*>(lparam);
    if (msg->hwnd == g_window && g_manager->RecieveWindowMessage(*msg)) return TRUE;
  }
  return CallNextHookEx(g_dialog_filter, code, wparam, lparam);
}

void ShowAboutBox(HWND window) {
  g_dialog_filter =
      SetWindowsHookExA(WH_MSGFILTER, DialogMessageFilter, nullptr, GetCurrentThreadId());
  DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_CORE_ABOUT), window, AboutDialogProc, 0);
  if (g_dialog_filter) UnhookWindowsHookEx(g_dialog_filter);
  g_dialog_filter = nullptr;
}

LRESULT OnCommand(HWND window, WPARAM wparam, LPARAM lparam) {
  const int id = LOWORD(wparam);
  if (id == IDM_CORE_ABOUT) {
    ShowAboutBox(window);
    return 0;
  }
  if (id == IDM_CORE_EXIT) {
    DestroyWindow(window);
    return 0;
  }
  if (id >= IDM_CORE_CHARGE_FIRST && id < IDM_CORE_CHARGE_FIRST + IDM_CORE_DEBUG_COUNT) {
    PostMessageA(window, RegisterOvMessage(kMsgRequestCharge), 0,
                 kDebugKinds[id - IDM_CORE_CHARGE_FIRST]);
    return 0;
  }
  if (id >= IDM_CORE_ABORT_FIRST && id < IDM_CORE_ABORT_FIRST + IDM_CORE_DEBUG_COUNT) {
    PostMessageA(window, RegisterOvMessage(kMsgRequestAbort), 0,
                 kDebugKinds[id - IDM_CORE_ABORT_FIRST]);
    return 0;
  }
  return DefWindowProcA(window, WM_COMMAND, wparam, lparam);
}

LRESULT HandleMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == g_reconfirm_message) {
    return g_manager ? static_cast<LRESULT>(g_manager->ReconfirmChargeReserve()) : 0;
  }
  if (message == g_reconst_message) {
    return g_manager ? g_manager->OnReConstCoreManager(static_cast<char>(wparam),
                                                       reinterpret_cast<HWND>(lparam))
                     : 0;
  }
  switch (message) {
    case WM_DESTROY:
      if (window == g_window) g_window = nullptr;
      PostQuitMessage(0);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(window, &ps);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_SYSKEYDOWN:
      return 0;
    case WM_COMMAND:
      return OnCommand(window, wparam, lparam);
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

}  // namespace

HINSTANCE GetCoreInstance() { return g_instance; }
HWND GetCoreWindow() { return g_window; }
void SetCoreManager(CCoreManager* manager) { g_manager = manager; }
CCoreManager* GetCoreManager() { return g_manager; }

bool RegisterCoreWindowClass(HINSTANCE instance) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof(wc);
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = CoreWndProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_CORE_LARGE));
  wc.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(IDI_CORE_SMALL));
  wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszMenuName = MAKEINTRESOURCEA(IDR_CORE_MENU);
  wc.lpszClassName = kCoreWindowClass;
  return RegisterClassExA(&wc) != 0;
}

bool CreateCoreWindow(HINSTANCE instance) {
  g_instance = instance;
  g_window =
      CreateWindowExA(0, kCoreWindowClass, kCoreWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                      CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr);
  if (!g_window) return false;
  SetWindowPos(g_window, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  return true;
}

LRESULT CALLBACK CoreWndProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  // No exception may cross into the platform's dispatch: it is logged and
  // the message counts as handled.
  try {
    return HandleMessage(window, message, wparam, lparam);
  } catch (const std::exception& e) {
    OV_LOG(kLogError, "コアウィンドウのメッセージ処理の例外 MSG:0x%04X %s", message, e.what());
  } catch (...) {
    OV_LOG(kLogError, "コアウィンドウのメッセージ処理の例外 MSG:0x%04X 不明な例外", message);
  }
  return 0;
}
