// OvFrameWindowBench: the sample frame window (the main program's common
// skin, tests/ui/sample) measured for frame_bench.sh, each figure beside a
// reference run in the same process on the same screen. Every line is
// "<name> <ms>" (best of the rounds) or "<name> <value>":
//   load_cold: skin text loaded and parsed, pictures decoded, items made,
//     window created and painted once, for the first time in the process;
//   load: the same with the definition and pictures cached;
//   plain_create: the reference, a plain window of the same size created
//     and painted once with one BitBlt;
//   drag_<w>x<h>: one step of a border drag at that size (the mouse move
//     under the capture, the buffer rendered again, the region cut, the
//     window moved and painted);
//   plain_<w>x<h>: the reference, a plain window resized by the same pixel
//     and painted with one BitBlt of a buffer of that size;
//   idle_cpu: per cent of one core the process uses over a few seconds of
//     its message loop with the frame window shown and nothing happening;
//   plain_idle_cpu: the reference, the same with only a plain window;
//   plain_tick_idle_cpu: the plain window with a 33 ms timer, the item tick
//     every skinned window runs.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "BenchTiming.h"
#include "DC.h"
#include "DIB.h"
#include "FrameOverlayWindow.h"
#include "SkinDefinition.h"
#include "SkinWindowItemButton.h"
#include "_WindowPolicy.h"

namespace {

const ui::SkinItemDescriptor kBase = {"Base", 0};
const ui::SkinItemDescriptor kTitle = {"Title", 2000};
const ui::SkinItemDescriptor kMinimize = {"MinimizeButton", 2001};
const ui::SkinItemDescriptor kClose = {"CloseButton", 2002};
const ui::SkinItemDescriptor kMessage = {"Message", 2003};
const ui::SkinItemDescriptor kWide = {"WideButton", 2004};
const ui::SkinItemDescriptor kOverlay = {"Overlay", 2005};

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    // The bench sends the mouse messages it means.
    if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) continue;
    DispatchMessageA(&msg);
  }
}

class CFrameWindow final
    : public ui::CFrameOverlayWindowBase<ui::CEndSessionWaitingWindow<ui::CResizableSkinWindow>>,
      public ui::CWindowBase {
 public:
  CFrameWindow() : CFrameOverlayWindowBase(&kOverlay) {}

  HWND Build(int x, int y) {
    ui::SkinDefinition definition;
    LoadDefinition(definition, "SampleFrameWindow.txt", kBase, true);
    CreateStatic(kTitle.id, definition.GetSection(kTitle));
    ui::CreateButtonItem(definition, kMinimize, this);
    ui::CreateButtonItem(definition, kClose, this);
    CreateStatic(kMessage.id, definition.GetSection(kMessage));
    ui::CreateButtonItem(definition, kWide, this);
    CreateFrameOverlay(definition);
    AddItem(kTitle.id, 1, 1, 2, 1);
    AddItem(kMinimize.id, 2, 1, 2, 1);
    AddItem(kClose.id, 2, 1, 2, 1);
    AddItem(kMessage.id, 1, 1, 2, 1);
    AddItem(kWide.id, 3, 2, 3, 2);
    const RECT client = GetDefaultClientRect();
    const HWND hwnd =
        Create(0, nullptr, "frame bench", WS_POPUP | WS_VISIBLE, x, y, client.right, client.bottom);
    UpdateWindow();
    return hwnd;
  }

  UINT GetWindowMessage() const override {
    static const UINT message = RegisterWindowMessageA("OvFrameWindowBench");
    return message;
  }
};

// The reference: a window that paints itself with one BitBlt of a buffer
// the size of its client, made again when the size changes.
lib::wfc::CDIB* g_plain_buffer = nullptr;

LRESULT CALLBACK PlainProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
  switch (message) {
    case WM_SIZE: {
      const int cx = LOWORD(lp), cy = HIWORD(lp);
      if (cx > 0 && cy > 0 && (g_plain_buffer->Width() != cx || g_plain_buffer->Height() != cy)) {
        g_plain_buffer->Create(cx, cy);
        g_plain_buffer->Fill(RGB(236, 240, 246));
      }
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_TIMER:
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      const HDC dc = BeginPaint(hwnd, &ps);
      const HDC memory = CreateCompatibleDC(dc);
      const HGDIOBJ old = SelectObject(memory, g_plain_buffer->Get());
      BitBlt(dc, 0, 0, g_plain_buffer->Width(), g_plain_buffer->Height(), memory, 0, 0, SRCCOPY);
      SelectObject(memory, old);
      DeleteDC(memory);
      EndPaint(hwnd, &ps);
      return 0;
    }
    default:
      return DefWindowProcA(hwnd, message, wp, lp);
  }
}

HWND CreatePlain(int x, int y, int cx, int cy) {
  static const bool registered = [] {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = PlainProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "OvFrameBenchPlain";
    return RegisterClassA(&wc) != 0;
  }();
  if (!registered) return nullptr;
  const HWND hwnd = CreateWindowExA(0, "OvFrameBenchPlain", "plain", WS_POPUP | WS_VISIBLE, x, y,
                                    cx, cy, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (hwnd) UpdateWindow(hwnd);
  return hwnd;
}

double ProcessCpuMs() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  const auto ms = [](const FILETIME& t) {
    return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                               t.dwLowDateTime) /
           10000.0;
  };
  return ms(kernel) + ms(user);
}

void Resize(HWND hwnd, int cx, int cy) {
  SetWindowPos(hwnd, nullptr, 0, 0, cx, cy,
               SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_NOCOPYBITS | SWP_NOACTIVATE);
}

// One drag step: the bottom-right border pressed at the window's corner,
// the pointer moving one pixel out and back in turn; each move resizes.
double DragStep(CFrameWindow& window, int cx, int cy, int rounds) {
  const HWND hwnd = window.Handle();
  Resize(hwnd, cx, cy);
  Pump();
  SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(cx - 1, cy - 1));
  int steps = 0;
  const double best = Best(rounds * 10, [&] {
    // The window's top-left corner stays at 0, 0: client points are
    // screen points.
    const int d = (steps++ % 2) ? 0 : 1;
    SendMessageA(hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(cx - 1 + d, cy - 1 + d));
    UpdateWindow(hwnd);
    GdiFlush();
  });
  SendMessageA(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(cx - 1, cy - 1));
  Pump();
  return best;
}

double PlainStep(HWND hwnd, int cx, int cy, int rounds) {
  Resize(hwnd, cx, cy);
  Pump();
  int steps = 0;
  return Best(rounds * 10, [&] {
    const int d = (steps++ % 2) ? 0 : 1;
    Resize(hwnd, cx + d, cy + d);
    UpdateWindow(hwnd);
    GdiFlush();
  });
}

// Per cent of one core the process takes while its message loop blocks in
// GetMessage until a thread timer ends it.
double IdleCpu(int seconds) {
  const double cpu_start = ProcessCpuMs();
  const double wall_start = NowMs();
  const UINT_PTR timer = SetTimer(nullptr, 0, static_cast<UINT>(seconds * 1000), nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_TIMER && msg.hwnd == nullptr && msg.wParam == timer) break;
    if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) continue;
    DispatchMessageA(&msg);
  }
  KillTimer(nullptr, timer);
  return 100.0 * (ProcessCpuMs() - cpu_start) / (NowMs() - wall_start);
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const int idle_seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  lib::wfc::Initialize(GetModuleHandleA(nullptr), "OvFrameWindowBench", nullptr, nullptr);
  lib::wfc::InitThread();
  lib::wfc::CDIB plain_buffer;
  plain_buffer.Create(1, 1);
  g_plain_buffer = &plain_buffer;
  {
    double start = NowMs();
    auto first = std::make_unique<CFrameWindow>();
    first->Build(0, 0);
    GdiFlush();
    const double load_cold = NowMs() - start;
    first->DestroyWindow();
    Pump();
    first.reset();
    const double load = Best(rounds, [&] {
      CFrameWindow window;
      window.Build(0, 0);
      GdiFlush();
      window.DestroyWindow();
    });
    Pump();
    const double plain_create = Best(rounds, [&] {
      const HWND hwnd = CreatePlain(0, 0, 480, 360);
      GdiFlush();
      DestroyWindow(hwnd);
    });
    Pump();
    std::printf("load_cold %.3f\nload %.3f\nplain_create %.3f\n", load_cold, load, plain_create);

    CFrameWindow window;
    window.Build(0, 0);
    Pump();
    const HWND plain = CreatePlain(0, 0, 480, 360);
    const SIZE sizes[] = {{955, 600}, {1920, 1080}};
    for (const SIZE& s : sizes) {
      const double drag = DragStep(window, s.cx, s.cy, rounds);
      const double reference = PlainStep(plain, s.cx, s.cy, rounds);
      std::printf("drag_%ldx%ld %.3f\nplain_%ldx%ld %.3f\n", s.cx, s.cy, drag, s.cx, s.cy,
                  reference);
      RECT r;
      window.GetWindowRect(&r);
      std::printf("size_%ldx%ld %ldx%ld\n", s.cx, s.cy, r.right - r.left, r.bottom - r.top);
    }
    DestroyWindow(plain);
    Resize(window.Handle(), 955, 600);
    Pump();

    std::printf("idle_cpu %.2f\n", IdleCpu(idle_seconds));
    window.DestroyWindow();
    Pump();
    // The reference: the same loop with only a plain window shown.
    const HWND idle_plain = CreatePlain(0, 0, 955, 600);
    Pump();
    std::printf("plain_idle_cpu %.2f\n", IdleCpu(idle_seconds));
    // And with the skinned windows' 33 ms item tick, which it does nothing
    // with.
    SetTimer(idle_plain, 1, 33, nullptr);
    std::printf("plain_tick_idle_cpu %.2f\n", IdleCpu(idle_seconds));
    KillTimer(idle_plain, 1);
    DestroyWindow(idle_plain);
    Pump();
  }
  lib::wfc::TermThread();
  lib::wfc::Terminate();
  return 0;
}
