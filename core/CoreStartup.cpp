// The core's start-up; see CoreStartup.h.
#include "CoreStartup.h"

#include "ChargeKind.h"
#include "CoreManager.h"
#include "CoreMessages.h"
#include "CoreResource.h"
#include "CoreWindow.h"
#include "Handle.h"
#include "Log.h"
#include "StringUtil.h"
#include "Version.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

constexpr DWORD kHandOverPollMs = 100;

HWND WindowFromNumber(uint32_t number) {
  // A window number travels as 32 bits; widen it the way handles are widened.
  return reinterpret_cast<HWND>(static_cast<LONG_PTR>(static_cast<LONG>(number)));
}

uint32_t KindOfWord(const std::string& word) {
  const std::string lower = ToLower(word);
  for (const ChargeKindWord* w = ChargeKindWords(); w->word; ++w) {
    if (lower == w->word) return w->kind;
  }
  return 0;
}

char UpperDrive(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

enum class SecondStartResult { kHandedOver, kNoCore, kTookOver };

// Posts the new drive and window, then the requests. False when a post did
// not reach the window (it went away meanwhile).
bool HandOver(HWND window, const CoreCommandLine& command, HWND notify) {
  if (!PostMessageA(window, RegisterOvMessage(kMsgReConstCoreManager),
                    static_cast<WPARAM>(static_cast<unsigned char>(command.drive)),
                    reinterpret_cast<LPARAM>(notify))) {
    return false;
  }
  const UINT request = RegisterOvMessage(kMsgRequestCharge);
  for (uint32_t kind : command.kinds) {
    if (!PostMessageA(window, request, 0, static_cast<LPARAM>(kind))) return false;
  }
  return true;
}

// Hands the command to the running core. The running core may still be
// starting (no window yet) or ending (window gone, mutex about to be freed):
// keep looking for a while, and take over once the mutex is free.
SecondStartResult RunSecondStart(HANDLE mutex, const CoreCommandLine& command, HWND notify,
                                 DWORD limit_ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    const HWND running = FindWindowA(kCoreWindowClass, kCoreWindowTitle);
    if (running && HandOver(running, command, notify)) return SecondStartResult::kHandedOver;
    if (!mutex) return SecondStartResult::kNoCore;
    const DWORD wait = WaitForSingleObject(mutex, kHandOverPollMs);
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) return SecondStartResult::kTookOver;
    if (GetTickCount() - start >= limit_ms) return SecondStartResult::kNoCore;
  }
}

int RunLoop(CCoreManager& manager) {
  HACCEL accelerators = LoadAcceleratorsA(GetCoreInstance(), MAKEINTRESOURCEA(IDR_CORE_MENU));
  MSG msg = {};
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (accelerators && GetCoreWindow() &&
        TranslateAcceleratorA(GetCoreWindow(), accelerators, &msg)) {
      continue;
    }
    if (manager.RecieveWindowMessage(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace

CoreCommandLine ParseCoreCommandLine(const std::string& line) {
  CoreCommandLine result;
  std::vector<CommandToken> tokens;
  ParseCommandLine(line, tokens);
  char option = 0;
  for (const CommandToken& token : tokens) {
    if (token.is_option) {
      const std::string name = ToLower(token.text);
      if (name == "d" || name == "p" || name == "w") option = name[0];
      continue;
    }
    if (option == 'd' && !token.text.empty()) {
      result.drive = UpperDrive(token.text[0]);
    } else if (option == 'w') {
      result.window = static_cast<uint32_t>(strtoul(token.text.c_str(), nullptr, 16));
    } else if (option == 'p') {
      const uint32_t kind = KindOfWord(token.text);
      if (kind != 0) result.kinds.push_back(kind);
    }
  }
  return result;
}

int RunCore(HINSTANCE instance, const char* command_line, const CoreRunOptions& options) {
  CBroxLogWrapper(__FILE__, __LINE__).Open(nullptr, 4096);
  if (!IsSupportedOS()) return 0;

  const std::string line = command_line ? command_line : "";
  OV_LOG(kLogTrace, "lpCmdLine %s", line.c_str());
  CoreCommandLine command = ParseCoreCommandLine(line);
  if (command.drive == 0 || command.window == 0) {
    OV_LOG(kLogError, "コマンドライン不正 %s", line.c_str());
    return 0;
  }
  const HWND notify = WindowFromNumber(command.window);
  std::sort(command.kinds.begin(), command.kinds.end());

  // Held until the process ends.
  CHandle mutex(CreateMutexA(nullptr, TRUE, kCoreMutexName));
  if (!mutex || GetLastError() == ERROR_ALREADY_EXISTS) {
    OV_LOG(kLogError, "多重起動");
    const SecondStartResult result =
        RunSecondStart(mutex.Get(), command, notify, options.hand_over_ms);
    if (result != SecondStartResult::kTookOver) {
      if (result == SecondStartResult::kNoCore) {
        OV_LOG(kLogError, "起動中のCoreウィンドウが見つからない");
      }
      OV_LOG(kLogInfo, "ターゲットドライブ %c:\\", command.drive);
      {
        // Built and dropped for its log lines only: it never runs a charge.
        CCoreManager manager(notify, command.drive);
      }
      return 0;
    }
    OV_LOG(kLogInfo, "起動中のCoreが終了したため、このCoreで処理を継続");
  }
  RegisterCoreWindowClass(instance);
  if (!CreateCoreWindow(instance)) return 0;
  OV_LOG(kLogInfo, "ターゲットドライブ %c:\\", command.drive);

  CoreManagerArgs args;
  args.own_window = GetCoreWindow();
  args.notify_window = notify;
  args.drive = command.drive;
  args.create_charge = options.create_charge;
  auto manager = std::make_unique<CCoreManager>(args);
  SetCoreManager(manager.get());

  const UINT request = RegisterOvMessage(kMsgRequestCharge);
  for (uint32_t kind : command.kinds) {
    PostMessageA(GetCoreWindow(), request, 0, static_cast<LPARAM>(kind));
  }
  const int code = RunLoop(*manager);
  SetCoreManager(nullptr);
  manager.reset();
  CBroxLogWrapper(__FILE__, __LINE__).End();
  return code;
}
