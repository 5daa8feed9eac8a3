// OvButtonListViewBench: a button list view fed by a table of 5,000 rows,
// measured for listview_bench.sh beside the platform's own list view (report
// style, owner data, the same rows, columns, font and size) in the same
// process. Every line is "<name> <value>", times in ms (best of the rounds):
//   first_view / first_ref: a window made, shown and painted, then destroyed;
//   first_view_50: the same with a table of 50 rows (the row count must not
//     change the cost);
//   redraw_view / redraw_ref: the whole list redrawn onto the screen;
//   page_view / page_ref: one page down and its paint, averaged over paging
//     from the top to the bottom; rows_view / rows_ref: rows per page;
//   hover_view / hover_ref: the pointer moving to a cell of another row (the
//     two cells redrawn) beside one list row redrawn.
#include "OvWindows.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "BenchTiming.h"
#include "ButtonListView.h"
#include "DIB.h"
#include "SkinImage.h"
#include "SkinItemResources.h"
#include "SkinWindow.h"
#include "StringUtil.h"
#include "_WindowPolicy.h"

namespace {

constexpr int kRows = 5000;
constexpr int kWidth = 520;
constexpr int kHeight = 400;
constexpr RECT kList = {10, 20, 490, 380};

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

void FillRect(lib::wfc::CDIB& dib, const RECT& r, COLORREF colour) {
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) dib.SetPixel(x, y, colour);
}

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

LOGFONTA Font() {
  LOGFONTA font = lib::wfc::DefaultLogFont("MS UI Gothic");
  font.lfHeight = -12;
  return font;
}

// The texts both lists show, made once.
struct Texts {
  std::string cells[kRows][3];
  Texts() {
    for (int r = 0; r < kRows; ++r) {
      cells[r][0] = FormatString("%05d 地図データ第%d版.dat", r, r % 97);
      cells[r][1] = FormatString("%d KB", (r * 37) % 9000);
      cells[r][2] = r % 3 ? "転送済み" : "未転送";
    }
  }
};
const Texts* g_texts = nullptr;

void MakePictures() {
  lib::wfc::CDIB base;
  base.Create(kWidth, kHeight);
  base.Fill(RGB(30, 60, 90));
  g_source.Put("LvBenchBase.png", std::move(base));
  lib::wfc::CDIB parts;
  parts.Create(128, 96);
  parts.Fill(lib::wfc::kMagenta);
  for (int s = 0; s < 4; ++s)
    FillRect(parts, RECT{s * 20, 0, s * 20 + 20, 20}, RGB(180 + s * 10, 190, 210));
  FillRect(parts, RECT{0, 20, 40, 42}, RGB(220, 225, 235));
  FillRect(parts, RECT{0, 42, 40, 64}, RGB(190, 200, 215));
  FillRect(parts, RECT{0, 64, 40, 84}, RGB(200, 225, 255));
  FillRect(parts, RECT{40, 20, 80, 40}, RGB(255, 255, 255));
  FillRect(parts, RECT{40, 40, 80, 60}, RGB(240, 244, 250));
  g_source.Put("LvBenchParts.png", std::move(parts));
}

ui::ButtonListLook Look() {
  const auto part = [](int x, int y, int w, int h) {
    return ui::SkinItemPicture{"LvBenchParts.png", RECT{x, y, x + w, y + h}};
  };
  ui::ButtonListLook look;
  look.rect = kList;
  look.font = Font();
  for (int s = 0; s < 4; ++s) look.buttons[s] = part(s * 20, 0, 20, 20);
  look.normal_header = ui::ListSlices{part(0, 20, 40, 22), 4, 36};
  look.pushed_header = ui::ListSlices{part(0, 42, 40, 22), 4, 36};
  look.active_row = ui::ListSlices{part(0, 64, 40, 20), 4, 36};
  look.rows = {ui::ListSlices{part(40, 20, 40, 20), 44, 76},
               ui::ListSlices{part(40, 40, 40, 20), 44, 76}};
  return look;
}

class CBenchTable final : public ui::CButtonListViewTable {
 public:
  explicit CBenchTable(int rows) : _rows(rows) {}
  int GetRowCount(ui::CButtonListView*) override { return _rows; }
  bool IsActiveRow(ui::CButtonListView*, int row) override { return row == 3; }
  bool IsButtonEnabled(ui::CButtonListView*, int, int) override { return true; }
  bool IsButtonOn(ui::CButtonListView*, int, int) override { return false; }
  int GetButtonLabel(ui::CButtonListView*, int, int) override { return -1; }
  std::string GetCellText(ui::CButtonListView*, int row, int column) override {
    return g_texts->cells[row][column];
  }
  COLORREF GetCellTextColor(ui::CButtonListView*, int, int) override { return RGB(20, 20, 20); }
  std::string GetCellToolTip(ui::CButtonListView*, int, int) override { return std::string(); }
  int GetMinColumnWidth(ui::CButtonListView*) override { return 40; }

 private:
  int _rows;
};

class CBenchListener final : public ui::CButtonListViewListener {
 public:
  void OnLayoutChanged(ui::CButtonListView*) override {}
  void OnMouseDown(ui::CButtonListView*, int, int, int, bool) override {}
  void OnDoubleClick(ui::CButtonListView*, int, int, int, bool) override {}
  void OnButtonClick(ui::CButtonListView*, int, int) override {}
};

class CViewWindow final : public ui::CSkinWindow {
 public:
  CViewWindow(CBenchTable* table, CBenchListener* listener) {
    SetBaseImage("LvBenchBase.png", RECT{0, 0, kWidth, kHeight});
    auto list = std::make_unique<ui::CButtonListView>(this, 2000, Look(), GetItemResourceObject(),
                                                      nullptr, listener);
    view = list.get();
    AddItem(std::move(list));
    view->AddColumn(ui::ListColumn{"ファイル名", 260, DT_LEFT, false, true});
    view->AddColumn(ui::ListColumn{"サイズ", 100, DT_RIGHT, false, false});
    view->AddColumn(ui::ListColumn{"状態", 100, DT_LEFT, false, false});
    view->ShowHeader(true);
    view->SetTable(table);
    view->LayoutColumns();
  }
  ui::CButtonListView* view = nullptr;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override {
    if (message == WM_VSCROLL) {
      view->OnNotify(WM_VSCROLL, static_cast<INT_PTR>(wparam), lparam);
      return 0;
    }
    return CSkinWindow::WindowProc(message, wparam, lparam);
  }
};

// The reference: a plain window holding the platform's list view.
LRESULT CALLBACK ReferenceProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
  if (message == WM_NOTIFY) {
    auto* header = reinterpret_cast<NMHDR*>(lp);
    if (header->code == LVN_GETDISPINFOA) {
      auto* info = reinterpret_cast<NMLVDISPINFOA*>(lp);
      if (info->item.mask & LVIF_TEXT) {
        const std::string& text = g_texts->cells[info->item.iItem][info->item.iSubItem];
        lstrcpynA(info->item.pszText, text.c_str(), info->item.cchTextMax);
      }
      return 0;
    }
  }
  return DefWindowProcA(hwnd, message, wp, lp);
}

struct Reference {
  HWND parent = nullptr;
  HWND list = nullptr;
  HFONT font = nullptr;

  Reference() {
    parent = CreateWindowExA(0, "OvLvBenchRef", "reference", WS_POPUP | WS_VISIBLE, 540, 10, kWidth,
                             kHeight, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    list = CreateWindowExA(
        0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS,
        kList.left, kList.top, kList.right - kList.left, kList.bottom - kList.top, parent, nullptr,
        GetModuleHandleA(nullptr), nullptr);
    const LOGFONTA logfont = Font();
    font = CreateFontIndirectA(&logfont);
    SendMessageA(list, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    const struct {
      const char* title;
      int width;
      int format;
    } columns[3] = {{"ファイル名", 260, LVCFMT_LEFT},
                    {"サイズ", 100, LVCFMT_RIGHT},
                    {"状態", 100, LVCFMT_LEFT}};
    for (int c = 0; c < 3; ++c) {
      LVCOLUMNA column{};
      column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
      column.fmt = columns[c].format;
      column.cx = columns[c].width;
      column.pszText = const_cast<char*>(columns[c].title);
      column.iSubItem = c;
      SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(c),
                   reinterpret_cast<LPARAM>(&column));
    }
    SendMessageA(list, LVM_SETITEMCOUNT, kRows, 0);
    // The hot row is drawn underlined: a pointer move redraws rows.
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_ONECLICKACTIVATE | LVS_EX_UNDERLINEHOT | LVS_EX_FULLROWSELECT);
    UpdateWindow(parent);
  }
  ~Reference() {
    DestroyWindow(parent);
    DeleteObject(font);
  }
  int Top() const { return static_cast<int>(SendMessageA(list, LVM_GETTOPINDEX, 0, 0)); }
  // One page of rows down, in pixels as the report view scrolls.
  void PageDown() const {
    RECT row = {LVIR_BOUNDS, 0, 0, 0};
    SendMessageA(list, LVM_GETITEMRECT, static_cast<WPARAM>(Top()), reinterpret_cast<LPARAM>(&row));
    const int page = static_cast<int>(SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0));
    SendMessageA(list, LVM_SCROLL, 0, page * (row.bottom - row.top));
  }
  void ToTop() const { SendMessageA(list, LVM_ENSUREVISIBLE, 0, FALSE); }
};

// One page down at a time from the top to the bottom: the time per page and
// the pages it took.
template <typename Page, typename Top>
double Paging(Page page, Top top, int* pages) {
  int count = 0;
  const double start = NowMs();
  int before = top();
  for (;;) {
    page();
    const int now = top();
    if (now == before) break;
    before = now;
    ++count;
  }
  *pages = std::max(count, 1);
  return (NowMs() - start) / *pages;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  lib::wfc::Initialize(GetModuleHandleA(nullptr), "OvButtonListViewBench", nullptr, nullptr);
  lib::wfc::InitThread();
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  WNDCLASSA cls{};
  cls.lpfnWndProc = ReferenceProc;
  cls.hInstance = GetModuleHandleA(nullptr);
  cls.lpszClassName = "OvLvBenchRef";
  cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  RegisterClassA(&cls);
  ui::SetSkinImageSource(&g_source);
  MakePictures();
  static const Texts texts;
  g_texts = &texts;
  CBenchTable table(kRows);
  CBenchTable small(50);
  CBenchListener listener;

  const auto first_view = [&](CBenchTable* t) {
    return Best(rounds, [&] {
      CViewWindow window(t, &listener);
      window.Create(0, nullptr, "view", WS_POPUP | WS_VISIBLE, 10, 10, kWidth, kHeight);
      window.UpdateWindow();
      window.DestroyWindow();
      Pump();
    });
  };
  const double first = first_view(&table);
  const double first_small = first_view(&small);
  const double first_ref = Best(rounds, [&] {
    Reference reference;
    Pump();
  });
  std::printf("first_view %.3f\nfirst_view_50 %.3f\nfirst_ref %.3f\n", first, first_small,
              first_ref);

  CViewWindow window(&table, &listener);
  const HWND hwnd =
      window.Create(0, nullptr, "view", WS_POPUP | WS_VISIBLE, 10, 10, kWidth, kHeight);
  window.UpdateWindow();
  Reference reference;
  Pump();

  const double redraw = Best(rounds, [&] {
    window.view->InvalidateRow(-1);
    window.UpdateWindow();
  });
  const double redraw_ref = Best(rounds, [&] {
    InvalidateRect(reference.list, nullptr, FALSE);
    UpdateWindow(reference.list);
  });
  std::printf("redraw_view %.3f\nredraw_ref %.3f\n", redraw, redraw_ref);

  double page = 1e300, page_ref = 1e300;
  int pages = 0, pages_ref = 0;
  for (int i = 0; i < rounds; ++i) {
    SendMessageA(hwnd, WM_VSCROLL, SB_TOP, 0);
    page = std::min(page, Paging(
                              [&] {
                                SendMessageA(hwnd, WM_VSCROLL, SB_PAGEDOWN, 0);
                                window.UpdateWindow();
                              },
                              [&] { return window.view->GetScrollPos(); }, &pages));
    reference.ToTop();
    page_ref = std::min(page_ref, Paging(
                                      [&] {
                                        reference.PageDown();
                                        UpdateWindow(reference.list);
                                      },
                                      [&] { return reference.Top(); }, &pages_ref));
  }
  std::printf("page_view %.3f\npage_ref %.3f\nrows_view %.1f\nrows_ref %.1f\n", page, page_ref,
              static_cast<double>(kRows) / pages, static_cast<double>(kRows) / pages_ref);

  SendMessageA(hwnd, WM_VSCROLL, SB_TOP, 0);
  int hovers = 0;
  const double hover = Best(rounds * 20, [&] {
    const int y = (hovers++ % 2) ? 60 : 100;
    SendMessageA(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(100, y));
    window.UpdateWindow();
  });
  // The view's own share: its hover and the two cells' redraw, without the
  // window's routing, mouse tracking and tooltip activator.
  int moves = 0;
  const double hover_item = Best(rounds * 20, [&] {
    const int y = (moves++ % 2) ? 60 : 100;
    window.view->OnMouseMove(POINT{90, y - kList.top});
    window.UpdateWindow();
  });
  reference.ToTop();
  int redraws = 0;
  const double hover_ref = Best(rounds * 20, [&] {
    const int y = (redraws++ % 2) ? 60 : 100;
    SendMessageA(reference.list, WM_MOUSEMOVE, 0, MAKELPARAM(90, y - kList.top));
    UpdateWindow(reference.list);
  });
  std::printf("hover_view %.3f\nhover_item %.3f\nhover_ref %.3f\n", hover, hover_item, hover_ref);
  window.DestroyWindow();
  Pump();
  lib::wfc::TermThread();
  lib::wfc::Terminate();
  return 0;
}
