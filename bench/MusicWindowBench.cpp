// The manual transfer window on a real card and PC folder, in two modes:
//   demo:  opens the window as the music manager does, saves a screenshot
//          once both lists are full and another after copying the PC
//          folder's files onto the card, then closes (tools/run music);
//   bench: the time until both lists are full, the time of the copy, and the
//          longest delay of a message posted to the window's thread every
//          50 ms while opening, listing and copying;
//   inplace: the same with the folder trees listed on the window's thread
//          (the reference for the trees' own listing thread); its figures
//          are named with "inplace_" first.
// Every box is answered (Yes/OK) and its text printed.
//
// Usage: OvMusicWindowBench.exe demo|bench|inplace card_letter pc_folder
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

#include "ManualWindow.h"
#include "MessageBox.h"
#include "OstrovelleLite/OstrovelleConfig.h"
#include "StringUtil.h"
#include "XvfbScreenshot.h"

namespace {

constexpr UINT kTick = WM_APP + 50;
std::atomic<bool> g_ticking{true};
LONG g_longest = 0;  // ms; the window's thread only

int AnswerBox(HWND, const char* text, const char*, UINT type) {
  std::printf("box: %s\n", text);
  std::fflush(stdout);
  return (type & 0xF) == MB_YESNO ? IDYES : IDOK;
}

DWORD WINAPI Ticker(void* thread) {
  const DWORD id = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(thread));
  while (g_ticking) {
    PostThreadMessageA(id, kTick, GetTickCount(), 0);
    Sleep(50);  // the load being measured: one message every 50 ms
  }
  return 0;
}

// Pumps until done() holds or the time is up; false on time-out.
template <typename Done>
bool PumpUntil(Done done, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > timeout_ms) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == kTick && !msg.hwnd) {
        const LONG delay = static_cast<LONG>(GetTickCount() - static_cast<DWORD>(msg.wParam));
        if (delay > g_longest) g_longest = delay;
        continue;
      }
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  return true;
}

void Shot(const char* name) {
  std::string error;
  if (ovtest::SaveXvfbScreenshot(name, &error)) {
    std::printf("screenshot: build/screens/%s.png\n", name);
  } else {
    std::printf("screenshot %s failed: %s\n", name, error.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || (std::strcmp(argv[1], "demo") != 0 && std::strcmp(argv[1], "bench") != 0 &&
                    std::strcmp(argv[1], "inplace") != 0)) {
    std::fprintf(stderr,
                 "usage: OvMusicWindowBench.exe demo|bench|inplace card_letter pc_folder\n");
    return 2;
  }
  const bool demo = std::strcmp(argv[1], "demo") == 0;
  const bool in_place = std::strcmp(argv[1], "inplace") == 0;
  const char* prefix = in_place ? "inplace_" : "";
  const char letter = argv[2][0];
  const std::wstring pc = ToWide(argv[3]);
  lib::wfc::SetMessageBoxHandler(&AnswerBox);
  lib::wfc::Initialize(GetModuleHandleA(nullptr), "OvMusicWindowBench", nullptr, nullptr);
  lib::wfc::InitThread();
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

  COstrovelleConfig config;
  config.LoadMusic();
  config.SetChargeType(1);
  config.SetMusicFolderW(pc);
  config.SetManualRecentFolderW(pc);
  config.SaveMusic();

  int rc = 0;
  {
    MSG peek;
    PeekMessageA(&peek, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue exists
    HANDLE ticker = CreateThread(
        nullptr, 0, &Ticker, reinterpret_cast<void*>(static_cast<UINT_PTR>(GetCurrentThreadId())),
        0, nullptr);
    // The reference: the same thread pumping with nothing else to do, so
    // the delays below read as multiples of what the machine gives anyway.
    PumpUntil([] { return false; }, 1000);
    const LONG idle_delay = g_longest;
    g_longest = 0;
    ui::CManualWindow window;
    window.SetTarget(letter, nullptr);
    if (in_place) {
      window.GetTree(ui::kManualPC)->SetBackgroundListing(false);
      window.GetTree(ui::kManualSD)->SetBackgroundListing(false);
    }
    const DWORD start = GetTickCount();
    if (!window.CreateMusicWindow()) {
      std::printf("the window refused to open\n");
      rc = 1;
    } else {
      // Making the window (skin, items, both trees down to their folders)
      // holds the thread by itself; the listing's delays are counted apart.
      const DWORD open_ms = GetTickCount() - start;
      int pumped = 0;
      PumpUntil([&] { return pumped++ > 0; }, 1000);  // the ticks queued meanwhile
      const LONG opening_delay = g_longest;
      g_longest = 0;
      std::printf("window made: %lu ms\n", static_cast<unsigned long>(open_ms));
      ShowWindow(window.Handle(), SW_SHOW);
      const bool listed = PumpUntil([&] { return window.Status() == 0; }, 600000);
      const DWORD listed_ms = GetTickCount() - start;
      const LONG listing_delay = g_longest;
      std::printf("lists full: PC %d rows, card %d rows, %lu ms%s\n",
                  window.Table(ui::kManualPC).Count(), window.Table(ui::kManualSD).Count(),
                  static_cast<unsigned long>(listed_ms), listed ? "" : " (timed out)");
      PumpUntil([] { return false; }, 300);  // the full render after the last batch
      if (demo) Shot("music_manual_run_lists");
      window.WithTable(ui::kManualPC, [](ui::CFileListViewTableList& t) { t.SelectAll(); });
      g_longest = 0;
      const DWORD copy_start = GetTickCount();
      window.CopyFiles(window.GetCurrentFolder(ui::kManualPC),
                       window.GetCurrentFolder(ui::kManualSD));
      const bool copied = PumpUntil([&] { return window.Status() == 0; }, 600000);
      const DWORD copied_ms = GetTickCount() - copy_start;
      std::printf("copy and reload: %lu ms%s\n", static_cast<unsigned long>(copied_ms),
                  copied ? "" : " (timed out)");
      PumpUntil([] { return false; }, 300);
      if (demo) Shot("music_manual_run_copied");
      std::printf(
          "longest delay of a 50 ms message: opening %ld ms, listing %ld ms, copying %ld ms\n",
          opening_delay, listing_delay, g_longest);
      // One "figure name ms" line each, for the script's summary.
      std::printf("figure %smade %lu\nfigure %slisted %lu\nfigure %scopied %lu\n", prefix,
                  static_cast<unsigned long>(open_ms), prefix,
                  static_cast<unsigned long>(listed_ms), prefix,
                  static_cast<unsigned long>(copied_ms));
      std::printf("figure %sidle_delay %ld\nfigure %sopening_delay %ld\n", prefix, idle_delay,
                  prefix, opening_delay);
      std::printf("figure %slisting_delay %ld\nfigure %scopying_delay %ld\n", prefix, listing_delay,
                  prefix, g_longest);
      rc = listed && copied ? 0 : 1;
      SendMessageA(window.Handle(), WM_CLOSE, 0, 0);
    }
    g_ticking = false;
    WaitForSingleObject(ticker, 5000);
    CloseHandle(ticker);
  }
  CoUninitialize();
  lib::wfc::TermThread();
  lib::wfc::Terminate();
  return rc;
}
