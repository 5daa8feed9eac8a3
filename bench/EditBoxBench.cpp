// OvEditBoxBench: typing and pasting through edit box items, each beside the
// same work on a bare control of the same class (no item, no filter), for
// editbox_bench.sh. Every line is "<name> <ms>", the best of the rounds:
//   <kind>_item / <kind>_bare: N characters typed as WM_CHAR (sent), the
//     text emptied before each round;
//   paste_item / paste_bare: one paste of N characters from the clipboard
//     (the item types it in through its filter, the bare control pastes it).
// Kinds: plain (EDIT, ASCII), alnum (EDIT, lower case typed, capitals kept),
// rich (RichEdit20A, ASCII), wide (RichEdit20W, Japanese).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "BenchTiming.h"
#include "SkinWindow.h"
#include "SkinWindowItemEditBox.h"
#include "StringUtil.h"
#include "_WindowPolicy.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 200;

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

ui::EditBoxLook Look(int y) {
  ui::EditBoxLook look;
  look.rect = RECT{8, y, kWidth - 8, y + 24};
  look.font = lib::wfc::DefaultLogFont("MS UI Gothic");
  look.font.lfHeight = -14;
  return look;
}

void PutClipboard(HWND owner, const std::wstring& text) {
  if (!OpenClipboard(owner)) return;
  EmptyClipboard();
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (memory) {
    std::memcpy(GlobalLock(memory), text.c_str(), bytes);
    GlobalUnlock(memory);
    SetClipboardData(CF_UNICODETEXT, memory);
  }
  CloseClipboard();
}

void Clear(HWND control, bool wide) {
  if (wide)
    SetWindowTextW(control, L"");
  else
    SetWindowTextA(control, "");
}

// Types `text` into the control: UTF-16 units to a wide one, bytes else.
void TypeInto(HWND control, bool wide, const std::wstring& text, const std::string& bytes) {
  if (wide) {
    for (const wchar_t ch : text) SendMessageW(control, WM_CHAR, ch, 1);
  } else {
    for (const char ch : bytes) SendMessageA(control, WM_CHAR, static_cast<BYTE>(ch), 1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::max(std::atoi(argv[1]), 1) : 1000;
  const int rounds = argc > 2 ? std::max(std::atoi(argv[2]), 1) : 5;
  lib::wfc::Initialize(GetModuleHandleA(nullptr), "OvEditBoxBench", nullptr, nullptr);
  lib::wfc::InitThread();
  LoadLibraryA("riched20.dll");  // for the bare rich controls
  {
    ui::CSkinWindow window;
    struct Kind {
      const char* name;
      const char* bare_class;
      bool rich, wide, alnum;
      std::wstring typed;
    };
    const Kind kinds[] = {
        {"plain", "EDIT", false, false, false, std::wstring(count, L'x')},
        {"alnum", "EDIT", false, false, true, std::wstring(count, L'q')},
        {"rich", "RichEdit20A", true, false, false, std::wstring(count, L'x')},
        {"wide", "RichEdit20W", true, true, false, std::wstring(count, L'語')},
    };
    ui::CSkinWindowItemEditBox* items[4] = {};
    for (int i = 0; i < 4; ++i) {
      auto box = std::make_unique<ui::CSkinWindowItemEditBox>(&window, 3000 + i, Look(8 + 28 * i));
      if (kinds[i].rich) box->SetRichEdit(true);
      if (kinds[i].wide) box->SetUnicode(true);
      if (kinds[i].alnum) box->SetUpperAlphanumeric(true);
      items[i] = static_cast<ui::CSkinWindowItemEditBox*>(window.AddItem(std::move(box)));
    }
    window.SetBaseImage("", RECT{0, 0, kWidth, kHeight});
    window.Create(0, nullptr, "edit bench", WS_POPUP | WS_VISIBLE, 40, 40, kWidth, kHeight);
    Pump();
    const DWORD style = WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL;
    for (int i = 0; i < 4; ++i) {
      const Kind& kind = kinds[i];
      const HWND bare = kind.wide
                            ? CreateWindowExW(0, L"RichEdit20W", L"", style, 8, 120, kWidth - 16,
                                              24, window.Handle(), nullptr, nullptr, nullptr)
                            : CreateWindowExA(0, kind.bare_class, "", style, 8, 120, kWidth - 16,
                                              24, window.Handle(), nullptr, nullptr, nullptr);
      if (!bare) {
        std::fprintf(stderr, "no bare %s control\n", kind.bare_class);
        return 1;
      }
      SendMessageA(bare, WM_SETFONT, SendMessageA(items[i]->Handle(), WM_GETFONT, 0, 0), FALSE);
      const std::string bytes = ToMultiByte(kind.typed);
      const HWND item = items[i]->Handle();
      const double typed_item = Best(rounds, [&] {
        Clear(item, kind.wide);
        TypeInto(item, kind.wide, kind.typed, bytes);
      });
      const double typed_bare = Best(rounds, [&] {
        Clear(bare, kind.wide);
        TypeInto(bare, kind.wide, kind.typed, bytes);
      });
      std::printf("%s_item %.3f\n%s_bare %.3f\n", kind.name, typed_item, kind.name, typed_bare);
      DestroyWindow(bare);
    }
    const HWND bare = CreateWindowExA(0, "EDIT", "", style, 8, 120, kWidth - 16, 24,
                                      window.Handle(), nullptr, nullptr, nullptr);
    SendMessageA(bare, WM_SETFONT, SendMessageA(items[0]->Handle(), WM_GETFONT, 0, 0), FALSE);
    PutClipboard(window.Handle(), std::wstring(count, L'p'));
    const double paste_item = Best(rounds, [&] {
      Clear(items[0]->Handle(), false);
      SendMessageA(items[0]->Handle(), WM_PASTE, 0, 0);
    });
    const double paste_bare = Best(rounds, [&] {
      Clear(bare, false);
      SendMessageA(bare, WM_PASTE, 0, 0);
    });
    std::printf("paste_item %.3f\npaste_bare %.3f\n", paste_item, paste_bare);
    std::printf("check %d %d\n", static_cast<int>(items[0]->GetText().size()),
                GetWindowTextLengthA(bare));
    window.DestroyWindow();
    Pump();
  }
  lib::wfc::TermThread();
  lib::wfc::Terminate();
  return 0;
}
