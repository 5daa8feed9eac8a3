#include "MessageBox.h"

#include "Log.h"
#include "Placement.h"
#include "StringUtil.h"
#include "_WindowPolicy.h"

namespace lib::wfc {

namespace {

MessageBoxHandler g_handler = nullptr;
MessageBoxHandlerW g_handler_w = nullptr;
HHOOK g_hook = nullptr;
HWND g_hooked_window = nullptr;
WNDPROC g_hooked_proc = nullptr;

LRESULT CALLBACK PlacingProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
  const WNDPROC own = g_hooked_proc;
  if (hwnd != g_hooked_window || !own) return DefWindowProcA(hwnd, message, wp, lp);
  const LRESULT result = CallWindowProcA(own, hwnd, message, wp, lp);
  if (message == WM_INITDIALOG || message == WM_NCDESTROY) {
    try {
      if (message == WM_INITDIALOG) PlaceDialogOverParent(hwnd);
    } catch (...) {
      LogEscapedException("placement");
    }
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(own));
    g_hooked_window = nullptr;
    g_hooked_proc = nullptr;
  }
  return result;
}

LRESULT CALLBACK CreationHookProc(int code, WPARAM wp, LPARAM lp) {
  const HHOOK hook = g_hook;
  try {
    const auto* ret = reinterpret_cast<const CWPRETSTRUCT*>(lp);
    if (code == HC_ACTION && ret && ret->message == WM_NCCREATE && hook) {
      g_hook = nullptr;
      UnhookWindowsHookEx(hook);
      g_hooked_window = ret->hwnd;
      g_hooked_proc = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrA(ret->hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PlacingProc)));
    }
  } catch (...) {
    LogEscapedException("creation hook");
  }
  return CallNextHookEx(hook, code, wp, lp);
}

}  // namespace

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  const MessageBoxHandler previous = g_handler;
  g_handler = handler;
  return previous;
}

MessageBoxHandlerW SetMessageBoxHandler(MessageBoxHandlerW handler) {
  const MessageBoxHandlerW previous = g_handler_w;
  g_handler_w = handler;
  return previous;
}

int MessageBox(HWND owner, const char* text, UINT type) {
  return lib::wfc::MessageBox(owner, text, GetAppName(), type);
}

int MessageBox(HWND owner, const char* text, const char* caption, UINT type) {
  if (g_handler) return g_handler(owner, text, caption, type);
  return ::MessageBoxA(owner, text, caption, type);
}

int MessageBoxW(HWND owner, const wchar_t* text, UINT type) {
  const std::wstring caption = ToWide(GetAppName());
  if (g_handler_w) return g_handler_w(owner, text, caption.c_str(), type);
  return ::MessageBoxW(owner, text, caption.c_str(), type);
}

HHOOK HookNextWindowCreation(HINSTANCE instance, DWORD thread_id) {
  UnhookNextWindowCreation();
  g_hook = SetWindowsHookExA(WH_CALLWNDPROCRET, &CreationHookProc, instance, thread_id);
  return g_hook;
}

bool UnhookNextWindowCreation() {
  const HHOOK hook = g_hook;
  g_hook = nullptr;
  if (!hook) return false;
  UnhookWindowsHookEx(hook);
  return true;
}

bool IsWindowCreationHookArmed() { return g_hook != nullptr; }

int ShowErrorMessageBox(HWND owner, const char* text, const char* caption, UINT style) {
  if (!text || !*text) {
    OV_LOG(kLogError, "メッセージボックス表示時の本文無し");
    return 1;
  }
  HookNextWindowCreation(GetInstanceHandle(), GetCurrentThreadId());
  const int result = ::MessageBoxA(owner, text, caption, style);
  // When the box failed before creating a window the hook is still armed and
  // would take the next unrelated window of this thread.
  UnhookNextWindowCreation();
  return result;
}

MessageBoxHandler UseErrorBoxUnlessSet() {
  const MessageBoxHandler previous = SetMessageBoxHandler(&ShowErrorMessageBox);
  if (!previous) return &ShowErrorMessageBox;
  SetMessageBoxHandler(previous);
  return previous;
}

}  // namespace lib::wfc
