// OvCoreWatch: stands in for the main program until it exists. Starts the
// core for a card and the named charge kinds with a hidden window of its own
// as the notify window, prints every report the core passes on (with the
// map charge's progress blocks), answers yes to the map charge's questions,
// asks the core to end once nothing is reserved any more, and ends with the
// core.
//
//   OvCoreWatch <core program> <drive letter> [prb] [map] [sm] [wl] [msc]
#include "ChargeKind.h"
#include "CoreMessages.h"
#include "Handle.h"
#include "ProgramStart.h"
#include "ShareMem.h"
#include "StringUtil.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr UINT_PTR kPollTimer = 1;
constexpr UINT kPollMs = 1000;
constexpr DWORD kReconfirmMs = 5000;

const char* const kReported[] = {kMsgNotifyProgress,   kMsgNotifyError,    kMsgMapLicense,
                                 kMsgMapDownload,      kMsgMapVerify,      kMsgNoSendProbe,
                                 kMsgMapProgressStart, kMsgMapProgressEnd, kMsgMapProgress};

bool g_end_posted = false;

// The yes event of a question, as the map charge names it.
const char* YesEventOf(const std::string& message, WPARAM wparam) {
  if (message == kMsgNoSendProbe) return kMapProbeEvent;
  if (message != kMsgMapLicense) return nullptr;
  if (wparam == 3) return kMapDownloadEvent;
  if (wparam == 239) return kMapLicenseEvent;
  return nullptr;
}

void Answer(const std::string& message, WPARAM wparam) {
  const char* name = YesEventOf(message, wparam);
  if (!name) return;
  const CHandle event(OpenEventA(EVENT_MODIFY_STATE, FALSE, name));
  printf("  answering yes on %s%s\n", name, event && SetEvent(event.Get()) ? "" : " (failed)");
}

// Words 1 to 7 of the block the message names (1 download, 2 transfer).
void PrintBlock(WPARAM phase) {
  const char* name = phase == 1 ? kMapChargeDLProgress : kMapChargeTRProgress;
  CBlockShareMem block;
  if (block.Open(name) != 0) return;
  uint32_t words[8] = {};
  const DWORD waited = WaitForSingleObject(block.GetMutex(), 1000);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) return;
  memcpy(words, block.GetView(), sizeof(words));
  ReleaseMutex(block.GetMutex());
  const auto wide = [&](int low) {
    return static_cast<unsigned long long>(words[low]) |
           (static_cast<unsigned long long>(words[low + 1]) << 32);
  };
  printf("  block %u: speed %u B/s, last %u, done %llu of %llu\n", words[0], words[1], words[2],
         wide(4), wide(6));
}

LRESULT CALLBACK WatchProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message >= 0xC000) {
    for (const char* name : kReported) {
      if (message == RegisterOvMessage(name)) {
        printf("%-22s w=0x%08X l=0x%08X\n", name, static_cast<unsigned>(wparam),
               static_cast<unsigned>(lparam));
        if (name == kMsgMapProgress) PrintBlock(wparam);
        Answer(name, wparam);
        fflush(stdout);
        return 0;
      }
    }
  }
  if (message == WM_TIMER && wparam == kPollTimer && !g_end_posted) {
    const HWND core = FindWindowA(kCoreWindowClass, kCoreWindowTitle);
    DWORD_PTR reserved = 1;
    if (core &&
        SendMessageTimeoutA(core, RegisterOvMessage(kMsgRequestReconfirm), 0,
                            reinterpret_cast<LPARAM>(window), SMTO_ABORTIFHUNG, kReconfirmMs,
                            &reserved) &&
        reserved == 0) {
      printf("nothing reserved: asking the core to end\n");
      fflush(stdout);
      PostMessageA(core, RegisterOvMessage(kMsgRequestEnd), 0, 0);
      g_end_posted = true;
    }
    return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

uint32_t KindsOf(int argc, char** argv) {
  uint32_t kinds = 0;
  for (int i = 3; i < argc; ++i) {
    for (const ChargeKindWord* w = ChargeKindWords(); w->word; ++w) {
      if (ToLower(argv[i]) == w->word) kinds |= w->kind;
    }
  }
  return kinds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: OvCoreWatch <core program> <drive letter> [kind words]\n");
    return 2;
  }
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = WatchProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "OvCoreWatch";
  RegisterClassExA(&wc);
  const HWND window = CreateWindowExA(0, wc.lpszClassName, "OvCoreWatch", WS_OVERLAPPED, 0, 0, 10,
                                      10, nullptr, nullptr, wc.hInstance, nullptr);
  if (!window) {
    fprintf(stderr, "no window: %lu\n", GetLastError());
    return 1;
  }
  const std::string command_line =
      BuildCommandLine(argv[1], BuildCoreArguments(window, argv[2][0], KindsOf(argc, argv)));
  printf("starting %s\n", command_line.c_str());
  CHandle core;
  if (!StartProgram(command_line, SW_HIDE, &core)) {
    fprintf(stderr, "the core did not start: %lu\n", GetLastError());
    return 1;
  }
  SetTimer(window, kPollTimer, kPollMs, nullptr);
  for (;;) {
    const HANDLE process = core.Get();
    const DWORD wait = MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_ALLINPUT);
    if (wait == WAIT_OBJECT_0) break;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  DWORD code = 0;
  GetExitCodeProcess(core.Get(), &code);
  printf("the core ended with %lu\n", code);
  DestroyWindow(window);
  return 0;
}
