// OvSkinWindowBench: a 955 x 600 skinned window measured for
// skinwindow_bench.sh. Every line is "<name> <ms>" (best of the rounds) or
// "<name> <value>"; the script prints them with their ratios.
//   hover: the pointer moving from one button to the next (two item
//     redraws, each onto the screen at once);
//   redraw: the whole client redrawn through the items' redraw path;
//   rebuild: the back buffer made again, everything drawn, the region cut
//     (the internal rebuild message);
//   copy: one BitBlt of the whole client from a memory bitmap (the floor of
//     any repaint);
//   idle_cpu: per cent of one core the process uses over a few seconds of
//     its message loop with three animations running.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "BenchTiming.h"
#include "DC.h"
#include "DIB.h"
#include "SkinImage.h"
#include "SkinItemResources.h"
#include "SkinWindow.h"
#include "SkinWindowItemAnimation.h"
#include "SkinWindowItemButton.h"
#include "SkinWindowItemStatic.h"
#include "_WindowPolicy.h"

namespace {

constexpr int kWidth = 955;
constexpr int kHeight = 600;

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

void FillRect(lib::wfc::CDIB& dib, const RECT& r, COLORREF colour) {
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) dib.SetPixel(x, y, colour);
}

// The bench's pictures, made in memory and served to the picture cache.
class CBenchImageSource final : public ui::ISkinImageSource {
 public:
  void Put(const std::string& name, lib::wfc::CDIB picture) {
    _pictures[ui::CCachedDIBImpl::KeyOf(name)] = std::move(picture);
  }
  bool Decode(const std::string& name, bool, lib::wfc::CDIB* out, std::string* error) override {
    const auto found = _pictures.find(ui::CCachedDIBImpl::KeyOf(name));
    if (found == _pictures.end()) {
      *error = name + " is not made here";
      return false;
    }
    out->Create(found->second.Width(), found->second.Height());
    out->BlitKeyed(0, 0, found->second.Width(), found->second.Height(), found->second, 0, 0);
    return true;
  }

 private:
  std::map<std::string, lib::wfc::CDIB> _pictures;
};

CBenchImageSource g_source;

// A base with rounded-off corners, a strip of four button states and eight
// animation cells.
void MakePictures() {
  lib::wfc::CDIB base;
  base.Create(kWidth, kHeight);
  base.Fill(RGB(30, 60, 90));
  for (int i = 0; i < 8; ++i) {
    FillRect(base, RECT{0, i, 8 - i, i + 1}, lib::wfc::kMagenta);
    FillRect(base, RECT{kWidth - 8 + i, i, kWidth, i + 1}, lib::wfc::kMagenta);
  }
  g_source.Put("BenchBase.png", std::move(base));
  lib::wfc::CDIB parts;
  parts.Create(96, 160);
  parts.Fill(lib::wfc::kMagenta);
  const COLORREF states[4] = {RGB(90, 120, 160), RGB(120, 160, 210), RGB(30, 50, 80),
                              RGB(40, 70, 110)};
  for (int s = 0; s < 4; ++s) FillRect(parts, RECT{1, s * 28, 95, s * 28 + 28}, states[s]);
  for (int c = 0; c < 8; ++c)
    FillRect(parts, RECT{(c % 4) * 24, 112 + (c / 4) * 24, (c % 4) * 24 + 24, 136 + (c / 4) * 24},
             RGB(c * 30, 200 - c * 20, 100));
  g_source.Put("BenchParts.png", std::move(parts));
}

ui::ButtonLook Button(int x, int y) {
  ui::ButtonLook look;
  look.x = x;
  look.y = y;
  look.width = 96;
  look.height = 28;
  for (int s = 0; s < 4; ++s) {
    static const int kRow[4] = {0, 28, 56, 84};
    look.pictures[s].name = "BenchParts.png";
    look.pictures[s].rect = RECT{0, kRow[s], 96, kRow[s] + 28};
  }
  look.text = look.text_selected = "ボタン";
  look.font = lib::wfc::DefaultLogFont("MS UI Gothic");
  look.font.lfHeight = -12;
  look.text_colour = look.text_colour_selected = RGB(255, 255, 255);
  look.antialias = true;
  return look;
}

class CBenchWindow final : public ui::CSkinWindow {
 public:
  void Build() {
    SetBaseImage("BenchBase.png", RECT{0, 0, kWidth, kHeight});
    SetUseRegion(true);
    GetItemResourceObject()->Acquire("BenchParts.png");
    int id = 2000;
    for (int row = 0; row < 6; ++row)
      for (int column = 0; column < 6; ++column)
        AddItem(std::make_unique<ui::CSkinWindowItemButton>(
            this, id++, Button(20 + column * 110, 60 + row * 40), nullptr));
    for (int i = 0; i < 6; ++i) {
      ui::StaticLook text;
      text.rect = RECT{700, 60 + i * 40, 940, 90 + i * 40};
      text.font = lib::wfc::DefaultLogFont("MS UI Gothic");
      text.font.lfHeight = -14;
      text.colour = RGB(230, 240, 255);
      text.text = "地図データの更新を確認しています";
      AddItem(std::make_unique<ui::CSkinWindowItemStatic>(this, id++, text));
    }
    for (int i = 0; i < 3; ++i) {
      ui::AnimationLook look;
      look.rect = RECT{20 + i * 40, 400, 44 + i * 40, 424};
      look.picture = "BenchParts.png";
      look.origin = POINT{0, 112};
      look.columns = 4;
      look.rows = 2;
      look.time = 45;
      auto* animation = static_cast<ui::CSkinWindowItemAnimation*>(
          AddItem(std::make_unique<ui::CSkinWindowItemAnimation>(this, id++, look, nullptr)));
      animation->Start();
    }
  }
};

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

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const int idle_seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  lib::wfc::Initialize(GetModuleHandleA(nullptr), "OvSkinWindowBench", nullptr, nullptr);
  lib::wfc::InitThread();
  ui::SetSkinImageSource(&g_source);
  MakePictures();
  {
    CBenchWindow window;
    window.Build();
    window.Create(0, nullptr, "bench", WS_POPUP | WS_VISIBLE, 10, 10, kWidth, kHeight);
    window.UpdateWindow();
    Pump();
    const HWND hwnd = window.Handle();

    int hovers = 0;
    const double hover = Best(rounds * 20, [&] {
      const int x = (hovers++ % 2) ? 30 : 140;
      SendMessageA(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(x, 70));
    });
    const double redraw =
        Best(rounds, [&] { window.InvalidateItemRect(0, 0, kWidth, kHeight, true); });
    const double rebuild =
        Best(rounds, [&] { SendMessageA(hwnd, ui::SkinWindowInternalMessage(), 0, 0); });
    double copy = 0;
    {
      lib::wfc::CClientDC screen(hwnd);
      lib::wfc::CMemDC memory(screen);
      lib::wfc::CDCStateSaver saver(memory);
      saver.SelectObject(0, window.BackBuffer()->Get());
      copy = Best(rounds, [&] {
        BitBlt(screen, 0, 0, kWidth, kHeight, memory, 0, 0, SRCCOPY);
        GdiFlush();
      });
    }
    std::printf("hover %.3f\nredraw %.3f\nrebuild %.3f\ncopy %.3f\n", hover, redraw, rebuild, copy);

    // The message loop alone, animations running on the 33 ms tick.
    SendMessageA(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(500, 550));
    Pump();
    const double cpu_start = ProcessCpuMs();
    const double wall_start = NowMs();
    const double end = wall_start + idle_seconds * 1000.0;
    while (NowMs() < end) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
      Pump();
    }
    const double cpu = ProcessCpuMs() - cpu_start;
    const double wall = NowMs() - wall_start;
    std::printf("idle_cpu %.2f\n", 100.0 * cpu / wall);
    window.DestroyWindow();
    Pump();
  }
  lib::wfc::TermThread();
  lib::wfc::Terminate();
  return 0;
}
