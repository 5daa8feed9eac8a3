// The manual transfer window on the real skin under Xvfb, a simulated card
// and a PC folder of generated music: when it refuses to open, how its lists
// fill, sort and select, what its menus offer, the operation gate, copies and
// deletes through the real workers, card changes, posts no worker made, and
// what closing keeps of the settings.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CardMaker.h"
#include "CoreProcessLock.h"
#include "ErrorMessage.h"
#include "FileListViewTable.h"
#include "ManualWindow.h"
#include "MessageBoxCapture.h"
#include "MusicFileThreadRequest.h"
#include "MusicFileUtil.h"
#include "MusicTestSupport.h"
#include "OstrovelleLite/OstrovelleConfig.h"
#include "ScreenLock.h"
#include "SmallCardFolder.h"
#include "StringUtil.h"
#include "TestSupport.h"
#include "XvfbScreenshot.h"

namespace {

using musictest::MakeMp3;
using musictest::WriteFileW;
using ui::CManualWindow;

constexpr DWORD kWaitMs = 30000;

std::wstring Widen(const std::string& text) {
  std::wstring wide(text.size(), L'\0');
  wide.resize(MultiByteToWideChar(932, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                                  static_cast<int>(wide.size())));
  return wide;
}

std::wstring BoxText(uint32_t code, uint32_t detail = 0) {
  uint32_t style = 0;
  return Widen(GetErrorMessage(code, &style, detail));
}

bool SamePathW(const std::wstring& a, const std::wstring& b) { return ui::SamePath(a, b); }

bool Contains(const std::wstring& text, const std::wstring& part) {
  return text.find(part) != std::wstring::npos;
}

std::wstring CodeText(uint32_t code) {
  wchar_t text[16];
  swprintf(text, 16, L"%08X", static_cast<unsigned>(code));
  return text;
}

// Mouse input from the shared pointer is dropped: the cases send what they
// mean.
void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) continue;
    if (msg.message == WM_QUIT) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// Pumps until the condition holds or the time is up.
bool WaitUntil(const std::function<bool()>& done, DWORD timeout_ms = kWaitMs) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > timeout_ms) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    Pump();
  }
  return true;
}

// A window posing as the core: it answers the reservation question with the
// scripted bits, or not at all while it hangs.
struct StandInCore {
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
    if (message == RegisterWindowMessageA("OVEVRequestReconfirm")) {
      ++asked;
      if (hang) WaitForSingleObject(release, 10000);
      return bits;
    }
    return DefWindowProcA(hwnd, message, wp, lp);
  }
  StandInCore() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "OSTROVELLEEVCORE";
    RegisterClassA(&wc);
    release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    // Its own thread, so that a hung answer really keeps the window waiting.
    ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread = CreateThread(nullptr, 0, &Run, this, 0, nullptr);
    WaitForSingleObject(ready, 10000);
  }
  ~StandInCore() {
    SetEvent(release);
    PostMessageA(hwnd, WM_CLOSE, 0, 0);
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    CloseHandle(ready);
    CloseHandle(release);
    hang = false;
    bits = 0;
    asked = 0;
  }
  static DWORD WINAPI Run(void* self) {
    auto* core = static_cast<StandInCore*>(self);
    core->hwnd = CreateWindowExA(0, "OSTROVELLEEVCORE", "Ostrovelle Core", WS_POPUP, 0, 0, 1, 1,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetEvent(core->ready);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
      if (msg.message == WM_CLOSE) break;
      DispatchMessageA(&msg);
    }
    DestroyWindow(core->hwnd);
    return 0;
  }
  HWND hwnd = nullptr;
  HANDLE thread = nullptr;
  HANDLE ready = nullptr;
  static inline HANDLE release = nullptr;
  static inline LRESULT bits = 0;
  static inline bool hang = false;
  static inline int asked = 0;
};

// What a scripted popup menu saw.
struct MenuSeen {
  std::vector<UINT> commands;  // in menu order, separators left out
  std::vector<bool> grayed;
};

MenuSeen ReadMenu(HMENU menu) {
  MenuSeen seen;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    const UINT id = GetMenuItemID(menu, i);
    if (id == 0 || id == static_cast<UINT>(-1)) continue;
    seen.commands.push_back(id);
    seen.grayed.push_back((GetMenuState(menu, id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)) != 0);
  }
  return seen;
}

// The one-core lock first: every window asks for the core, and the screen
// lock comes after it in every test program.
class CoreLockFirst {
 protected:
  ovtest::CCoreProcessLock core_lock;
};

class ManualWindowTest : public ::testing::Test, protected CoreLockFirst {
 protected:
  static void SetUpTestSuite() {
    lib::wfc::Initialize(GetModuleHandleA(nullptr), "OvMusicTest", nullptr, nullptr);
    lib::wfc::InitThread();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  }
  static void TearDownTestSuite() {
    CoUninitialize();
    lib::wfc::TermThread();
    lib::wfc::Terminate();
  }

  void SetUp() override {
    ASSERT_TRUE(card.IsValid());
    ASSERT_TRUE(ovtest::CCardMaker().WriteCard(card.Letter(), true));
    letter = card.Letter();
    music = libmusic::GetMusicFolderPathW(static_cast<wchar_t>(letter));
    pc = Widen(data.Root()) + L"パソコン\\音楽";
    ASSERT_TRUE(musictest::CreateFoldersW(pc));
    Store(1);
  }

  void TearDown() override {
    if (window && window->Handle()) {
      SendMessageA(window->Handle(), WM_CLOSE, 0, 0);
      Pump();
    }
    window.reset();
  }

  void Store(int type, const std::wstring& recent = std::wstring()) {
    COstrovelleConfig config;
    config.InitMusic(false);
    config.SetChargeType(type);
    config.SetMusicFolderW(pc);
    config.SetManualRecentFolderW(recent);
    ASSERT_TRUE(config.SaveMusic());
  }

  void PutPc(const std::wstring& name, const std::string& bytes = MakeMp3()) {
    ASSERT_TRUE(WriteFileW(pc + L"\\" + name, bytes));
  }
  void PutSd(const std::wstring& relative, const std::string& bytes = MakeMp3()) {
    ASSERT_TRUE(WriteFileW(music + L"\\" + relative, bytes));
  }

  ui::ManualWindowHooks Hooks() {
    ui::ManualWindowHooks hooks;
    hooks.play = [this](const std::wstring& file) {
      played.push_back(file);
      return true;
    };
    hooks.properties = [this](const std::wstring& file) {
      shown.push_back(file);
      return true;
    };
    hooks.track_popup = [this](HMENU menu, POINT, HWND) {
      menus.push_back(ReadMenu(menu));
      const UINT choice = choices.empty() ? 0 : choices.front();
      if (!choices.empty()) choices.erase(choices.begin());
      return choice;
    };
    hooks.key_state = [this](int key) -> SHORT {
      return (key == VK_SHIFT && shift) || (key == VK_CONTROL && ctrl) ? SHORT(-32768) : 0;
    };
    hooks.async_key_state = [this](int key) -> SHORT {
      return key == VK_LBUTTON && left_down ? SHORT(-32768) : 0;
    };
    hooks.cursor_pos = [] { return POINT{300, 300}; };
    if (real_mouse) {
      hooks.async_key_state = nullptr;
      hooks.cursor_pos = nullptr;
    }
    hooks.core_timeout_ms = 500;
    return hooks;
  }

  // Creates the window; true when it opened.
  bool Open(char drive = 0) {
    window = std::make_unique<CManualWindow>(Hooks());
    window->SetTarget(drive ? drive : letter, nullptr);
    const bool opened = window->CreateMusicWindow();
    if (window->Handle()) {
      SetWindowPos(window->Handle(), HWND_TOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    }
    return opened;
  }

  // Opens and waits until both lists are listed.
  void OpenListed() {
    ASSERT_TRUE(Open());
    ASSERT_TRUE(WaitUntil([&] { return window->Status() == 0; })) << window->Status();
    Pump();
  }

  int Rows(int target) { return window->Table(target).Count(); }
  std::vector<std::wstring> Names(int target) {
    const ui::CFileListViewTableList table = window->Table(target);
    std::vector<std::wstring> names;
    for (int i = 0; i < table.Count(); ++i) names.push_back(table.GetColumnText(i, 0));
    return names;
  }
  int RowOf(int target, const std::wstring& name) {
    const std::vector<std::wstring> names = Names(target);
    for (size_t i = 0; i < names.size(); ++i) {
      if (names[i] == name) return static_cast<int>(i);
    }
    return -1;
  }
  std::vector<int> Selected(int target) {
    const ui::CFileListViewTableList table = window->Table(target);
    std::vector<int> rows;
    for (int i = 0; i < table.Count(); ++i) {
      if (table.IsSelected(i)) rows.push_back(i);
    }
    return rows;
  }
  void Command(UINT id) {
    SendMessageA(window->Handle(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
    Pump();
  }
  void Key(UINT key) {
    SendMessageA(window->Handle(), WM_KEYDOWN, key, 0);
    Pump();
  }
  std::vector<std::wstring> Texts() const {
    std::vector<std::wstring> texts;
    for (const auto& box : boxes.Boxes()) texts.push_back(box.text);
    return texts;
  }
  bool BoxWithCode(uint32_t code) const {
    for (const auto& box : boxes.Boxes()) {
      if (Contains(box.text, CodeText(code)) || box.text == BoxText(code)) return true;
    }
    return false;
  }
  void Screenshot(const char* name) {
    RedrawWindow(window->Handle(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump();
    std::string error;
    EXPECT_TRUE(ovtest::SaveXvfbScreenshot(name, &error)) << error;
  }

  // Every message, the mouse's included, goes to its window (the cases
  // with real input).
  static bool PumpAllUntil(const std::function<bool()>& done) {
    const DWORD start = GetTickCount();
    while (!done()) {
      if (GetTickCount() - start > kWaitMs) return false;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
    }
    return true;
  }
  // Moves the real pointer to a screen point with SendInput, pressing or
  // releasing the buttons named, and pumps until the input has arrived.
  static bool MouseTo(POINT at, DWORD buttons) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = at.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = at.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttons;
    if (SendInput(1, &input, sizeof input) != 1) return false;
    // The input has arrived once the pointer is there.
    if (!PumpAllUntil([&] {
          POINT now = {};
          GetCursorPos(&now);
          return std::abs(now.x - at.x) <= 1 && std::abs(now.y - at.y) <= 1;
        }))
      return false;
    return PumpAllUntil([] { return GetQueueStatus(QS_INPUT) == 0; });
  }

  ovtest::CScreenLock screen;
  ovtest::CScopedDataRoot data;
  ovtest::CTestCard card;
  ovtest::CMessageBoxCapture boxes;
  char letter = 0;
  std::wstring music, pc;
  std::unique_ptr<CManualWindow> window;
  std::vector<std::wstring> played, shown;
  std::vector<MenuSeen> menus;
  std::vector<UINT> choices;
  bool shift = false, ctrl = false, left_down = false;
  bool real_mouse = false;  // the button state and pointer are the system's
};

struct RefusalCase {
  const char* name;
  bool card;
  int core_bits;  // -1: no core window; -2: a core that never answers
  int charge_type;
  std::vector<int> answers;
  bool opens;
  uint32_t box;  // 0: none
  int saved_type;
};

std::ostream& operator<<(std::ostream& out, const RefusalCase& c) { return out << c.name; }

class ManualWindowRefusalTest : public ManualWindowTest,
                                public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(ManualWindowRefusalTest, OpensOrRefusesWithItsMessage) {
  const RefusalCase& c = GetParam();
  std::optional<StandInCore> core;
  if (c.core_bits != -1) {
    StandInCore::bits = c.core_bits < 0 ? 0 : c.core_bits;
    StandInCore::hang = c.core_bits == -2;
    core.emplace();
  }
  Store(c.charge_type);
  for (int answer : c.answers) boxes.Answer(answer);
  // A letter that is no card of the unit: the test card without its file.
  const bool opened = Open(c.card ? 0 : 'Q');
  EXPECT_EQ(opened, c.opens);
  const auto seen = boxes.Boxes();
  if (c.box == 0) {
    EXPECT_TRUE(seen.empty()) << (seen.empty() ? "" : ToMultiByte(seen.front().text));
  } else {
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen.front().text, BoxText(c.box));
  }
  COstrovelleConfig config;
  config.LoadMusic();
  EXPECT_EQ(config.GetChargeType(), c.saved_type);
  if (core) StandInCore::hang = false;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ManualWindowRefusalTest,
    ::testing::Values(
        RefusalCase{"no card", false, -1, 1, {}, false, 0xFF00BB03, 1},
        RefusalCase{"no core, manual charge", true, -1, 1, {}, true, 0, 1},
        RefusalCase{"map charge bits 0x22", true, 0x22, 1, {}, false, 0xFF00BB01, 1},
        RefusalCase{"bit 0x20 alone", true, 0x20, 1, {}, false, 0xFF00BB01, 1},
        RefusalCase{"music charge while automatic", true, 0x10, 2, {IDYES}, false, 0xFF00BB00, 2},
        RefusalCase{"music charge while manual", true, 0x10, 1, {}, true, 0, 1},
        RefusalCase{"a hung core counts as busy", true, -2, 1, {}, false, 0xFF00BB01, 1},
        RefusalCase{"no charge, the user says No", true, 0, 0, {IDNO}, false, 0xFF00BB02, 0},
        RefusalCase{"no charge, the user says Yes", true, 0, 0, {IDYES}, true, 0xFF00BB02, 1},
        RefusalCase{
            "automatic, no charge running, Yes", true, 0, 2, {IDYES}, true, 0xFF00BB02, 1}));

TEST(ManualWindowMathTest, FreeSpaceBarAndItsShare) {
  const struct {
    const char* name;
    uint32_t total, used;
    int percent;
  } cases[] = {
      {"empty card still shows 3 %", 1000, 0, 3},
      {"half of a large card", 30000, 15000, 50},
      {"large card: used over whole hundredths of the total", 1050, 525, 52},
      {"a card of 100 MB: used x 100 / total", 100, 37, 37},
      {"a card of 50 MB", 50, 25, 50},
      {"full", 2000, 2000, 100},
      {"no card", 0, 0, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ui::VolumePercent(c.total, c.used), c.percent) << c.name;
  EXPECT_EQ(ui::BarWidth(352, 0), 0);
  EXPECT_EQ(ui::BarWidth(352, 50), 176);
  EXPECT_EQ(ui::BarWidth(352, 100), 352);
  EXPECT_EQ(ui::BarWidth(352, 140), 352);
}

TEST(ManualWindowMathTest, FreeSpaceTexts) {
  const struct {
    const char* name;
    uint32_t free_mb, used_mb;
    const char *zero, *used, *free;
  } cases[] = {
      {"empty card", 0, 0, "0 MB", "0 M", "空き容量： 0 MB"},
      {"a 4 GB card", 3815, 0, "0 MB", "0 M", "空き容量： 3815 MB"},
      {"a large disk", 12000, 187373, "0 MB", "187373 M", "空き容量： 12000 MB"},
      {"beyond 31 bits", 0, 0x80000000u, "0 MB", "2147483648 M", "空き容量： 0 MB"},
  };
  for (const auto& c : cases) {
    const ui::VolumeTexts texts = ui::MakeVolumeTexts(c.free_mb, c.used_mb);
    EXPECT_EQ(texts.zero, c.zero) << c.name;
    EXPECT_EQ(texts.used, c.used) << c.name;
    EXPECT_EQ(texts.free, c.free) << c.name;
  }
}

TEST(ManualWindowMathTest, AMaximisedWindowStaysWithinItsMonitor) {
  const RECT monitor = {1280, 0, 2560, 1024};  // a second monitor on the right
  const struct {
    const char* name;
    SIZE size, clamped;
  } cases[] = {
      {"fits", {1280, 1024}, {1280, 1024}},
      {"smaller", {955, 600}, {955, 600}},
      {"wider and taller", {1296, 1040}, {1280, 1024}},
      {"taller only", {1000, 2048}, {1000, 1024}},
  };
  for (const auto& c : cases) {
    const SIZE got = ui::ClampToMonitor(c.size, monitor);
    EXPECT_EQ(got.cx, c.clamped.cx) << c.name;
    EXPECT_EQ(got.cy, c.clamped.cy) << c.name;
  }
}

TEST(ManualWindowMathTest, OnlyWhatLiesBelowTheMusicFolderCanBeDeleted) {
  const struct {
    const char* name;
    const wchar_t* path;
    bool inside;
  } cases[] = {
      {"a folder below", L"E:\\AV\\MUSIC\\Rock", true},
      {"deeper, other case", L"e:\\av\\music\\rock\\live", true},
      {"the music folder itself", L"E:\\AV\\MUSIC", false},
      {"the music folder with a slash", L"e:\\av\\music\\", false},
      {"dot parts that climb out", L"E:\\AV\\MUSIC\\..\\MAP", false},
      {"a name that only begins alike", L"E:\\AV\\MUSICAL", false},
      {"another drive", L"F:\\AV\\MUSIC\\Rock", false},
      {"the PC", L"C:\\Users\\Music\\Rock", false},
      {"empty", L"", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ui::IsInsideCardMusicFolder(c.path, 'E'), c.inside) << c.name;
  }
}

TEST_F(ManualWindowTest, ListsFillWithSizesDatesAndTagsAndScreenshot) {
  PutPc(L"さくら.mp3", MakeMp3(L"春のアルバム", 1, 40));
  PutPc(L"あおぞら.mp3", MakeMp3(L"", -1, 8));
  PutPc(L"メモ.txt", "not music");
  PutSd(L"カード曲.mp3", MakeMp3(L"カードのアルバム", 2, 12));
  // A fixed write time: 2026-01-15 20:30 UTC.
  SYSTEMTIME utc = {2026, 1, 4, 15, 20, 30, 0, 0};
  FILETIME file{};
  ASSERT_TRUE(SystemTimeToFileTime(&utc, &file));
  const uint64_t stamp = (static_cast<uint64_t>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
  ASSERT_TRUE(musictest::SetWriteTime(pc + L"\\さくら.mp3", stamp));
  OpenListed();
  EXPECT_EQ(Names(ui::kManualPC), (std::vector<std::wstring>{L"あおぞら.mp3", L"さくら.mp3"}));
  EXPECT_EQ(Names(ui::kManualSD), (std::vector<std::wstring>{L"カード曲.mp3"}));
  const ui::CFileListViewTableList table = window->Table(ui::kManualPC);
  const int sakura = RowOf(ui::kManualPC, L"さくら.mp3");
  EXPECT_EQ(table.GetColumnText(sakura, 2), L"MP3 形式サウンド");
  SYSTEMTIME local{};
  ASSERT_TRUE(ui::FileTimeToLocalCalendar(file, &local));
  EXPECT_EQ(table.GetColumnText(sakura, 3), ui::FormatDate(local)) << "shown in local time";
  EXPECT_EQ(window->Table(ui::kManualSD).GetColumnText(0, 3), L"カードのアルバム");
  EXPECT_TRUE(window->IsCopyEnabled());
  EXPECT_GT(window->VolumeTotal(), 0u);
  EXPECT_TRUE(window->IsItemVisible(CManualWindow::kSDVolumeImage.id));
  EXPECT_NE(window->ItemText(CManualWindow::kSDVolumeVacantTextStatic.id).find("空き容量"),
            std::string::npos);
  EXPECT_TRUE(boxes.Boxes().empty());
  for (const ui::SkinItemDescriptor* d :
       {&CManualWindow::kBackGroundPCFrame, &CManualWindow::kPCFolderTreeHeader,
        &CManualWindow::kPCBackFolderButton, &CManualWindow::kCopyButtonFrame}) {
    const RECT r = window->ItemRect(d->id);
    EXPECT_TRUE(window->IsItemVisible(d->id)) << d->section;
    EXPECT_GT(r.right - r.left, 0) << d->section;
    EXPECT_GT(r.bottom - r.top, 0) << d->section;
  }
  Screenshot("music_manual_lists");
}

TEST_F(ManualWindowTest, ClicksHeadersAndRightClicksFollowTheRules) {
  for (const wchar_t* name : {L"a.mp3", L"b.mp3", L"c.mp3", L"d.mp3"}) PutPc(name);
  OpenListed();
  ui::CButtonListView* view = window->GetListView(ui::kManualPC);
  ASSERT_EQ(Rows(ui::kManualPC), 4);
  // A file the library cannot play, as a listing gives it.
  window->WithTable(ui::kManualPC, [](ui::CFileListViewTableList& t) {
    ui::CFileListViewTable row;
    row.columns.push_back(ui::TextCell(L"z.mp3"));
    row.selectable = false;
    t.Append(row);
  });
  const int broken = RowOf(ui::kManualPC, L"z.mp3");
  const bool broken_playable = false;
  EXPECT_EQ(window->GetCellTextColor(view, broken, 0), 0xCC93A5u);
  EXPECT_EQ(window->GetCellIcon(view, broken, 0), broken % 2);

  window->OnClick(view, 1, ui::kListHitCell, 0, false);
  EXPECT_EQ(Selected(ui::kManualPC), (std::vector<int>{1}));
  shift = true;
  window->OnClick(view, 3, ui::kListHitCell, 0, false);
  EXPECT_EQ(Selected(ui::kManualPC), (std::vector<int>{1, 2, 3})) << "a range from the anchor";
  shift = false;
  ctrl = true;
  window->OnClick(view, 2, ui::kListHitCell, 0, false);
  EXPECT_EQ(Selected(ui::kManualPC), (std::vector<int>{1, 3})) << "Ctrl takes one out";
  shift = true;
  window->OnClick(view, 0, ui::kListHitCell, 0, false);
  EXPECT_EQ(Selected(ui::kManualPC), (std::vector<int>{0, 1, 2})) << "the anchor moved to row 2";
  shift = ctrl = false;
  if (!broken_playable) {
    for (bool with_ctrl : {false, true}) {
      ctrl = with_ctrl;
      window->OnClick(view, broken, ui::kListHitCell, 0, false);
      EXPECT_EQ(Selected(ui::kManualPC), (std::vector<int>{0, 1, 2}))
          << "an unplayable row changes nothing";
    }
    ctrl = false;
  }

  // Header: a new column sorts ascending, the same column again reverses.
  window->OnHeaderClick(view, 0);
  EXPECT_EQ(window->GetHeaderIcon(view, 0), 4);
  EXPECT_EQ(Names(ui::kManualPC).front(), L"z.mp3");
  window->OnHeaderClick(view, 0);
  EXPECT_EQ(window->GetHeaderIcon(view, 0), 3);
  EXPECT_EQ(Names(ui::kManualPC).front(), L"a.mp3");
  EXPECT_EQ(window->GetHeaderIcon(view, 1), -1);

  // Right click on one of several selected rows: the selection stays, play
  // and properties are grayed, delete is grayed on the PC side.
  window->OnClick(view, 0, ui::kListHitCell, 0, false);
  ctrl = true;
  window->OnClick(view, 1, ui::kListHitCell, 0, false);
  ctrl = false;
  window->OnRightClick(view, 1, ui::kListHitCell, 0, false);
  ASSERT_EQ(menus.size(), 1u);
  EXPECT_EQ(menus[0].commands, (std::vector<UINT>{ui::kCmdSelectAll, ui::kCmdPlay, ui::kCmdDelete,
                                                  ui::kCmdProperties}));
  EXPECT_EQ(menus[0].grayed, (std::vector<bool>{false, true, true, true}));
  EXPECT_EQ(Selected(ui::kManualPC), (std::vector<int>{0, 1}));
  // An unselected row becomes the only one; play is offered and chosen.
  choices = {ui::kCmdPlay};
  window->OnRightClick(view, 3, ui::kListHitCell, 0, false);
  ASSERT_EQ(menus.size(), 2u);
  EXPECT_EQ(menus[1].grayed, (std::vector<bool>{false, false, true, false}));
  EXPECT_EQ(Selected(ui::kManualPC), (std::vector<int>{3}));
  ASSERT_EQ(played.size(), 1u);
  EXPECT_TRUE(Contains(played[0], L"\\d.mp3"));
  choices = {ui::kCmdProperties};
  window->OnRightClick(view, 3, ui::kListHitCell, 0, false);
  ASSERT_EQ(shown.size(), 1u);
  // Select all takes every playable row; Delete does nothing on the PC.
  choices = {ui::kCmdSelectAll};
  window->OnRightClick(view, 3, ui::kListHitCell, 0, false);
  EXPECT_EQ(static_cast<int>(Selected(ui::kManualPC).size()), broken_playable ? 5 : 4);
  Key(VK_DELETE);
  EXPECT_TRUE(boxes.Boxes().empty());
  // Keys: Down moves the focus and the selection.
  window->OnMouseDown(view, 0, ui::kListHitCell, 0, false);
  Key(VK_DOWN);
  EXPECT_EQ(Selected(ui::kManualPC), (std::vector<int>{1}));
  shift = true;
  Key(VK_DOWN);
  shift = false;
  EXPECT_EQ(window->Table(ui::kManualPC).FindFocusRow(), 2);
  // Double click plays the row.
  window->OnDoubleClick(view, 0, ui::kListHitCell, 0, false);
  ASSERT_EQ(played.size(), 2u);
  EXPECT_TRUE(Contains(played[1], L"\\a.mp3"));
}

TEST_F(ManualWindowTest, TheCardMenuOffersDeleteOnlyWhenAllowed) {
  PutSd(L"x.mp3");
  OpenListed();
  ui::CButtonListView* view = window->GetListView(ui::kManualSD);
  window->OnRightClick(view, 0, ui::kListHitCell, 0, false);
  ASSERT_EQ(menus.size(), 1u);
  EXPECT_EQ(menus[0].grayed, (std::vector<bool>{false, false, false, false}));
  Screenshot("music_manual_menu_state");
}

struct GateCase {
  const char* name;
  uint32_t status;
  bool lists;    // a folder chosen in a tree is listed; Up and F5 reload
  bool changes;  // copies and deletes start
};

TEST_F(ManualWindowTest, TheStatusWordGatesEveryOperation) {
  PutPc(L"a.mp3");
  PutSd(L"b.mp3");
  ASSERT_TRUE(musictest::CreateFoldersW(music + L"\\Rock"));
  OpenListed();
  ovtest::CLogCapture log;
  const GateCase cases[] = {
      {"idle", 0, true, true},
      {"a copy runs", ui::kOpCopy, false, false},
      {"a delete runs", ui::kOpDelete, false, false},
      {"a copy and a listing run", ui::kOpCopy | ui::kOpListPC, true, false},
      {"a listing runs", ui::kOpListSD, true, false},
  };
  for (const GateCase& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(WaitUntil([&] { return window->Status() == 0; }));
    window->OpenFolder(ui::kManualPC, L"", pc);
    ASSERT_TRUE(WaitUntil([&] { return window->Status() == 0; }));
    window->Operations().Start(c.status);
    log.Clear();
    window->ListFolder(ui::kManualSD, music + L"\\Rock");
    EXPECT_EQ(log.Contains("InitializeFileList[Target:2]"), c.lists) << "listing";
    log.Clear();
    Key(VK_F5);
    // The PC tree is walked down again from the desktop on its lister's
    // thread: the listing starts once the walk is back.
    if (c.lists) {
      EXPECT_TRUE(WaitUntil([&] { return log.Contains("InitializeFileList[Target:1]"); })) << "F5";
    } else {
      EXPECT_FALSE(log.Contains("InitializeFileList[Target:1]")) << "F5";
    }
    // The listings just started may still run; a listing that ended cleared
    // its bit, so the case's word is set again.
    ASSERT_TRUE(WaitUntil([&] { return (window->Status() & ~c.status) == 0; }));
    window->Operations().Start(c.status);
    window->WithTable(ui::kManualSD, [](ui::CFileListViewTableList& t) { t.SelectAll(); });
    const size_t before = boxes.Boxes().size();
    boxes.Answer(IDNO);
    window->DeleteFiles(ui::kManualSD, window->GetCurrentFolder(ui::kManualSD));
    EXPECT_EQ(boxes.Boxes().size() > before, c.changes) << "the delete question";
    log.Clear();
    window->CopyFiles(pc, music);
    EXPECT_EQ(log.Contains("ファイルコピー要求"), c.changes) << "copy";
    window->Operations().End(c.status);
    ASSERT_TRUE(WaitUntil([&] { return window->Status() == 0; }));
    window->Operations().Start(c.status);
    log.Clear();
    Command(CManualWindow::kPCUpFolderButton.id);
    EXPECT_EQ(log.Contains("InitializeFileList[Target:1]"), c.lists) << "Up";
    ASSERT_TRUE(WaitUntil([&] { return (window->Status() & ~c.status) == 0; }));
    window->Operations().End(c.status);
  }
}

TEST_F(ManualWindowTest, CopiesWithAndWithoutASelection) {
  PutPc(L"一曲目.mp3");
  PutPc(L"二曲目.mp3");
  OpenListed();
  ovtest::CLogCapture log;
  // One file chosen: it goes into the card folder shown.
  window->WithTable(ui::kManualPC, [](ui::CFileListViewTableList& t) { t.SelectRow(0); });
  const std::wstring first = Names(ui::kManualPC)[0];
  // Sent, not pumped: the state while the worker copies.
  SendMessageA(window->Handle(), WM_COMMAND, MAKEWPARAM(CManualWindow::kCopyButton.id, 0), 0);
  EXPECT_TRUE(window->Status() & ui::kOpCopy);
  EXPECT_FALSE(window->IsCopyEnabled());
  EXPECT_FALSE(window->IsItemEnabled(CManualWindow::kPCFileListView.id)) << "both sides wait";
  EXPECT_FALSE(window->IsItemEnabled(CManualWindow::kSDFileListView.id));
  ASSERT_TRUE(WaitUntil([&] { return window->Status() == 0; }));
  EXPECT_TRUE(musictest::FileExistsW(music + L"\\" + first));
  EXPECT_EQ(Names(ui::kManualSD), (std::vector<std::wstring>{first})) << "the card side reloaded";
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, BoxText(0xFF00BB0C));
  // Nothing chosen: the whole folder goes into a card folder of its name.
  window->WithTable(ui::kManualPC, [](ui::CFileListViewTableList& t) { t.ClearSelection(); });
  Command(CManualWindow::kCopyButton.id);
  ASSERT_TRUE(WaitUntil([&] { return window->Status() == 0; }));
  EXPECT_TRUE(musictest::FileExistsW(music + L"\\音楽\\一曲目.mp3"));
  EXPECT_TRUE(musictest::FileExistsW(music + L"\\音楽\\二曲目.mp3"));
  EXPECT_TRUE(SamePathW(window->GetCurrentFolder(ui::kManualSD), music + L"\\音楽"));
  EXPECT_TRUE(window->IsCopyEnabled());
  // A file gone since it was listed stops the copy before anything is made.
  window->WithTable(ui::kManualPC, [](ui::CFileListViewTableList& t) { t.SelectAll(); });
  ASSERT_TRUE(DeleteFileW((pc + L"\\二曲目.mp3").c_str()));
  log.Clear();
  Command(CManualWindow::kCopyButton.id);
  EXPECT_EQ(window->Status(), 0u);
  EXPECT_FALSE(log.Contains("ファイルコピー要求"));
  ASSERT_EQ(boxes.Boxes().size(), 3u);
  EXPECT_TRUE(Contains(boxes.Boxes()[2].text, L"二曲目.mp3は存在しないファイルです。"));
  EXPECT_TRUE(Contains(boxes.Boxes()[2].text, L"FF00BB19"));
}

TEST_F(ManualWindowTest, CopyResultsShowTheirMessages) {
  OpenListed();
  const struct {
    const char* name;
    bool result;
    DWORD word;
    DWORD system;
    uint32_t code;
  } cases[] = {
      {"done", true, 0, 0, 0xFF00BB0C},
      {"card full", false, 39, ERROR_DISK_FULL, 0xFF00BB10},
      {"5000 files", false, 5, 0, 0xFF00BB11},
      {"300 folders", false, 6, 0, 0xFF00BB12},
      {"some files failed", false, 7, 5, 0xFF00BB0F},
      {"card missing", false, 0, ERROR_NOT_READY, 0xFF00BB0F},
  };
  for (const auto& c : cases) {
    const size_t before = boxes.Boxes().size();
    for (bool folder : {false, true}) {
      window->Operations().Start(ui::kOpCopy);
      std::unique_ptr<CMusicFileThreadRequest> request;
      if (folder) {
        request = std::make_unique<CMusicFileThreadRequestCopyFolder>(pc, music + L"\\音楽");
      } else {
        request = std::make_unique<CMusicFileThreadRequestCopyFiles>(
            pc, music, std::vector<std::wstring>{L"a.mp3"});
      }
      request->result = c.result;
      request->error_code = c.word;
      request->system_error = c.system;
      window->OnCopyResult(std::move(request));
      EXPECT_EQ(window->Status() & ui::kOpCopy, 0u) << c.name;
    }
    const auto seen = boxes.Boxes();
    ASSERT_EQ(seen.size(), before + 2) << c.name;
    EXPECT_TRUE(BoxWithCode(c.code)) << c.name;
    EXPECT_EQ(seen[before].text, seen[before + 1].text) << c.name;
    ASSERT_TRUE(WaitUntil([&] { return window->Status() == 0; }));
  }
}

TEST_F(ManualWindowTest, DeletesAskAndReportWhatHappened) {
  PutSd(L"残す.mp3");
  PutSd(L"消す.mp3");
  PutSd(L"開いたまま.mp3");
  OpenListed();
  const auto select = [&](const std::wstring& name) {
    const int row = RowOf(ui::kManualSD, name);
    window->WithTable(ui::kManualSD, [row](ui::CFileListViewTableList& t) {
      t.ClearSelection();
      t.SelectRow(row);
    });
  };
  // No: nothing changes, the word stays 0.
  select(L"消す.mp3");
  boxes.Answer(IDNO);
  window->OnMouseDown(window->GetListView(ui::kManualSD), 0, ui::kListHitCell, 0, false);
  Key(VK_DELETE);
  EXPECT_EQ(window->Status(), 0u);
  EXPECT_TRUE(musictest::FileExistsW(music + L"\\消す.mp3"));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, BoxText(0xFF00BB08));
  // Yes: the file goes, the list is read again.
  boxes.Answer(IDYES);
  choices = {ui::kCmdDelete};
  window->OnRightClick(window->GetListView(ui::kManualSD), RowOf(ui::kManualSD, L"消す.mp3"),
                       ui::kListHitCell, 0, false);
  ASSERT_TRUE(WaitUntil([&] { return window->Status() == 0; }));
  EXPECT_FALSE(musictest::FileExistsW(music + L"\\消す.mp3"));
  EXPECT_EQ(RowOf(ui::kManualSD, L"消す.mp3"), -1);
  EXPECT_EQ(boxes.Boxes().back().text, BoxText(0xFF00BB09));
  // A file held open cannot go: the failure is told.
  HANDLE held = CreateFileW((music + L"\\開いたまま.mp3").c_str(), GENERIC_READ, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  select(L"開いたまま.mp3");
  boxes.Answer(IDYES);
  Key(VK_DELETE);
  ASSERT_TRUE(WaitUntil([&] { return window->Status() == 0; }));
  CloseHandle(held);
  EXPECT_TRUE(musictest::FileExistsW(music + L"\\開いたまま.mp3"));
  EXPECT_TRUE(BoxWithCode(0xFF00BB0B));
  EXPECT_TRUE(musictest::FileExistsW(music + L"\\残す.mp3"));
}

TEST_F(ManualWindowTest, TheDeleteGuardsKeepTheMusicFolderAndThePC) {
  PutPc(L"pc.mp3");
  PutSd(L"Rock\\r.mp3");
  OpenListed();
  ovtest::CLogCapture log;
  const std::wstring lower_music =
      std::wstring(1, static_cast<wchar_t>(std::tolower(letter))) + L":\\av\\music";
  for (const std::wstring& folder :
       {music, lower_music, lower_music + L"\\", music + L"\\Rock\\..", pc}) {
    window->DeleteFolder(folder);
    EXPECT_EQ(window->Status(), 0u) << ToMultiByte(folder);
  }
  window->WithTable(ui::kManualPC, [](ui::CFileListViewTableList& t) { t.SelectAll(); });
  window->DeleteFiles(ui::kManualPC, pc);
  window->WithTable(ui::kManualSD, [](ui::CFileListViewTableList& t) { t.SelectAll(); });
  window->DeleteFiles(ui::kManualSD, pc);
  EXPECT_EQ(window->Status(), 0u);
  EXPECT_TRUE(boxes.Boxes().empty()) << "not even asked";
  EXPECT_FALSE(log.Contains("削除要求"));
  EXPECT_TRUE(musictest::FileExistsW(pc + L"\\pc.mp3"));
  // A folder below the music folder is deleted after the question.
  boxes.Answer(IDYES);
  window->DeleteFolder(lower_music + L"\\rock");
  ASSERT_TRUE(WaitUntil([&] { return window->Status() == 0; }));
  EXPECT_EQ(GetFileAttributesW((music + L"\\Rock").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesW(music.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ManualWindowTest, ForgedAndStaleResultsAreDropped) {
  PutPc(L"a.mp3");
  OpenListed();
  const UINT message = RegisterWindowMessageA(kMsgMusicManual);
  // A post no worker made, of every kind, with a made-up pointer.
  for (WPARAM kind : {1, 2, 4, 6, 7}) {
    PostMessageA(window->Handle(), message, kind, 0x12345678);
    PostMessageA(window->Handle(), message, kind, 0);
  }
  Pump();
  EXPECT_EQ(window->Status(), 0u);
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_EQ(Rows(ui::kManualPC), 1);
  // A batch of a folder no longer shown is thrown away.
  auto stale =
      std::make_unique<CMusicFileThreadRequestGetFileList>(ui::kManualPC, pc + L"\\..", 1000);
  stale->last_batch = true;
  stale->first_batch = true;
  window->OnFileListResult(std::move(stale));
  EXPECT_EQ(Rows(ui::kManualPC), 1);
}

TEST_F(ManualWindowTest, AThousandFiveHundredFilesShowAThousandRows) {
  const std::string song = MakeMp3();
  for (int i = 0; i < 1500; ++i) {
    wchar_t name[32];
    swprintf(name, 32, L"曲%04d.mp3", i);
    PutPc(name, song);
  }
  OpenListed();
  EXPECT_EQ(Rows(ui::kManualPC), 1000);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_TRUE(Contains(boxes.Boxes()[0].text, L"上限(1000件)"));
  EXPECT_TRUE(Contains(boxes.Boxes()[0].text, L"1000件まで表示"));
  EXPECT_TRUE(Contains(boxes.Boxes()[0].text, L"FF00BB04"));
}

TEST_F(ManualWindowTest, CardRemovedAndBack) {
  PutSd(L"x.mp3");
  OpenListed();
  // A point of the copy button's own picture, clear of its caption.
  const RECT copy = window->FindItem(CManualWindow::kCopyButton.id)->Rect();
  const auto copy_pixel = [&] {
    return window->BackBuffer()->GetPixel(copy.left + 6, (copy.top + copy.bottom) / 2);
  };
  const COLORREF enabled = copy_pixel();
  const UINT change = RegisterWindowMessageA("OVEVSDChange");
  SendMessageA(window->Handle(), change, 0, 0);
  Pump();
  // Faded while disabled, and no darker for being drawn again and again.
  const COLORREF disabled = copy_pixel();
  EXPECT_NE(disabled, enabled);
  for (int i = 0; i < 3; ++i) {
    SendMessageA(window->Handle(), change, 0, 0);
    window->InvalidateItemRect(copy.left, copy.top, copy.right, copy.bottom, false);
  }
  EXPECT_EQ(copy_pixel(), disabled);
  EXPECT_TRUE(window->IsItemVisible(CManualWindow::kSDFrameOverlay.id));
  EXPECT_FALSE(window->IsCopyEnabled());
  EXPECT_FALSE(window->IsItemEnabled(CManualWindow::kSDFileListView.id));
  EXPECT_EQ(window->VolumeTotal(), 0u);
  EXPECT_FALSE(window->IsItemVisible(CManualWindow::kSDVolumeImage.id));
  Screenshot("music_manual_no_card");
  // A value that is neither 0 nor a letter is no notice.
  SendMessageA(window->Handle(), change, 0x1234, 0);
  EXPECT_EQ(window->Drive(), 0);
  SendMessageA(window->Handle(), change, static_cast<WPARAM>(letter), 0);
  ASSERT_TRUE(WaitUntil([&] { return window->Status() == 0; }));
  EXPECT_FALSE(window->IsItemVisible(CManualWindow::kSDFrameOverlay.id));
  EXPECT_TRUE(window->IsCopyEnabled());
  EXPECT_EQ(copy_pixel(), enabled);
  EXPECT_EQ(Names(ui::kManualSD), (std::vector<std::wstring>{L"x.mp3"}));
  EXPECT_TRUE(boxes.Boxes().empty());
}

// The progress bar grows and shrinks inside the copy band: each step draws
// the bar's old and new places only, and the band's frame, the copy button
// and the bar's frame beside it stay drawn in the buffer.
TEST_F(ManualWindowTest, ProgressStepsKeepTheCopyBandDrawn) {
  OpenListed();
  lib::wfc::CDIB& back = *window->BackBuffer();
  const RECT bar = window->FindItem(CManualWindow::kCopyProgressImage.id)->Rect();
  const RECT button = window->FindItem(CManualWindow::kCopyButton.id)->Rect();
  const RECT band = window->FindItem(CManualWindow::kCopyButtonFrame.id)->Rect();
  const int middle = (bar.top + bar.bottom) / 2;
  const POINT kept[] = {{button.left + 6, (button.top + button.bottom) / 2},
                        {band.left + 2, band.top + 2},
                        {band.right - 3, (band.top + band.bottom) / 2},
                        {bar.left - 1, middle},
                        {bar.right, middle}};
  std::vector<COLORREF> before;
  for (const POINT& p : kept) before.push_back(back.GetPixel(p.x, p.y));
  const COLORREF empty = back.GetPixel(bar.left + 10, middle);
  const UINT manual = RegisterWindowMessageA(kMsgMusicManual);
  const int full = bar.right - bar.left;
  for (int percent : {40, 80, 20}) {
    SendMessageA(window->Handle(), manual, kMusicManualProgress, percent);
    EXPECT_EQ(window->Progress(), percent);
    const int end = bar.left + full * percent / 100;
    EXPECT_NE(back.GetPixel(end - 3, middle), empty) << percent << "%: the bar is drawn";
    EXPECT_EQ(back.GetPixel(end + 3, middle), empty) << percent << "%: and no further";
    for (size_t i = 0; i < before.size(); ++i)
      EXPECT_EQ(back.GetPixel(kept[i].x, kept[i].y), before[i])
          << percent << "% at " << kept[i].x << "," << kept[i].y;
  }
  SendMessageA(window->Handle(), manual, kMusicManualProgress, 0);
  EXPECT_EQ(back.GetPixel(bar.left + 10, middle), empty);
}

TEST_F(ManualWindowTest, ClosingKeepsSettingsSavedSinceAndTheRecentFolder) {
  PutPc(L"a.mp3");
  OpenListed();
  // The settings window saves another music folder while this one is open.
  const std::wstring other = Widen(data.Root()) + L"別の音楽";
  COstrovelleConfig config;
  config.LoadMusic();
  config.SetMusicFolderW(other);
  config.SetChargeType(2);
  ASSERT_TRUE(config.SaveMusic());
  SendMessageA(window->Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(window->Handle(), nullptr);
  COstrovelleConfig after;
  after.LoadMusic();
  EXPECT_EQ(after.GetMusicFolderW(), other);
  EXPECT_EQ(after.GetChargeType(), 2);
  EXPECT_TRUE(SamePathW(after.GetManualRecentFolderW(), pc));
}

TEST_F(ManualWindowTest, ClosingDuringACopyLeavesNoTemporaryFile) {
  // Large enough that the copy is still running when the window closes.
  const std::string song = MakeMp3(L"", -1, 40);
  std::string big;
  while (big.size() < 48u * 1024 * 1024) big += song;
  PutPc(L"大きい.mp3", big);
  OpenListed();
  window->WithTable(ui::kManualPC, [](ui::CFileListViewTableList& t) { t.SelectAll(); });
  // The copy's end is a message to the window: until it is handled the copy
  // counts as running, however quickly the worker is done.
  SendMessageA(window->Handle(), WM_COMMAND, MAKEWPARAM(CManualWindow::kCopyButton.id, 0), 0);
  ASSERT_TRUE(window->Status() & ui::kOpCopy);
  ASSERT_TRUE(WaitUntil([&] { return window->Progress() > 0 || window->Status() == 0; }));
  Screenshot("music_manual_copying");
  SendMessageA(window->Handle(), WM_CLOSE, 0, 0);
  window.reset();
  WIN32_FIND_DATAW found;
  const HANDLE find = FindFirstFileW((music + L"\\*.TMP").c_str(), &found);
  EXPECT_EQ(find, INVALID_HANDLE_VALUE) << "a temporary file stayed";
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
}

TEST_F(ManualWindowTest, DraggingAPCFileOntoTheCardListCopiesIt) {
  PutPc(L"ドラッグ.mp3");
  PutPc(L"残る.mp3");
  OpenListed();
  const HWND hwnd = window->Handle();
  ui::CButtonListView* pc_view = window->GetListView(ui::kManualPC);
  const int row = RowOf(ui::kManualPC, L"ドラッグ.mp3");
  const RECT cell = pc_view->CellRect(row, 0);
  const POINT from = {pc_view->X() + (cell.left + cell.right) / 2,
                      pc_view->Y() + (cell.top + cell.bottom) / 2};
  const RECT target = window->ItemRect(CManualWindow::kSDFileListView.id);
  const POINT to = {(target.left + target.right) / 2, (target.top + target.bottom) / 2};
  const auto mouse = [&](UINT message, POINT p, WPARAM keys) {
    SendMessageA(hwnd, message, keys, MAKELPARAM(p.x, p.y));
  };
  left_down = true;
  mouse(WM_LBUTTONDOWN, from, MK_LBUTTON);
  for (int step = 1; step <= 8; ++step) {
    const POINT p = {from.x + (to.x - from.x) * step / 8, from.y + (to.y - from.y) * step / 8};
    mouse(WM_MOUSEMOVE, p, MK_LBUTTON);
  }
  EXPECT_TRUE(window->FileDragging());
  EXPECT_EQ(GetCursor(), window->Cursor(2)) << "the drop is allowed over the card list";
  left_down = false;
  mouse(WM_LBUTTONUP, to, 0);
  EXPECT_FALSE(window->FileDragging());
  ASSERT_TRUE(WaitUntil([&] { return window->Status() == 0; }));
  EXPECT_TRUE(musictest::FileExistsW(music + L"\\ドラッグ.mp3"));
  EXPECT_FALSE(musictest::FileExistsW(music + L"\\残る.mp3")) << "only the dragged row";
  EXPECT_TRUE(BoxWithCode(0xFF00BB0C));
  // A drag started in the card list never becomes a file drag.
  ui::CButtonListView* sd_view = window->GetListView(ui::kManualSD);
  const RECT sd_cell = sd_view->CellRect(0, 0);
  const POINT sd_from = {sd_view->X() + sd_cell.left + 20, sd_view->Y() + sd_cell.top + 5};
  left_down = true;
  mouse(WM_LBUTTONDOWN, sd_from, MK_LBUTTON);
  mouse(WM_MOUSEMOVE, POINT{sd_from.x + 40, sd_from.y - 200}, MK_LBUTTON);
  EXPECT_FALSE(window->FileDragging());
  left_down = false;
  mouse(WM_LBUTTONUP, POINT{sd_from.x + 40, sd_from.y - 200}, 0);
  Pump();
  EXPECT_EQ(window->Status(), 0u);
}

// The caption's right-click menu offers what the window's state allows and
// its choice arrives as a system command; maximised, the window fills its
// monitor and no more, with the restore button in place of maximise.
TEST_F(ManualWindowTest, TheCaptionMenuMaximisesAndRestoresWithinTheMonitor) {
  OpenListed();
  const HWND hwnd = window->Handle();
  RECT before = {};
  GetWindowRect(hwnd, &before);
  const auto caption_menu = [&](UINT choice) {
    choices = {choice};
    SendMessageA(hwnd, WM_NCRBUTTONUP, HTCAPTION, MAKELPARAM(before.left + 40, before.top + 10));
    Pump();
    EXPECT_TRUE(WaitUntil([&] { return choices.empty(); }));
  };
  const auto grayed = [&](UINT command) {
    const MenuSeen& seen = menus.back();
    for (size_t i = 0; i < seen.commands.size(); ++i)
      if (seen.commands[i] == command) return static_cast<int>(seen.grayed[i]);
    return -1;  // not in the menu
  };
  caption_menu(SC_MAXIMIZE);
  ASSERT_EQ(menus.size(), 1u);
  EXPECT_EQ(grayed(SC_RESTORE), 1);
  EXPECT_EQ(grayed(SC_MAXIMIZE), 0);
  EXPECT_EQ(grayed(SC_MOVE), 0);
  EXPECT_EQ(grayed(SC_SIZE), 1);
  EXPECT_EQ(grayed(SC_MINIMIZE), 0);
  ASSERT_TRUE(WaitUntil([&] { return IsZoomed(hwnd) != FALSE; }));
  Pump();
  EXPECT_TRUE(window->IsItemVisible(CManualWindow::kRestoreButton.id));
  EXPECT_FALSE(window->IsItemVisible(CManualWindow::kMaximizeButton.id));
  const HMONITOR monitor = MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST);
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  ASSERT_TRUE(GetMonitorInfoA(monitor, &info));
  // The layout follows the clamped size: the card plate's right edge lies
  // on the monitor.
  const RECT plate = window->ItemRect(CManualWindow::kBackGroundSDFrame.id);
  EXPECT_LE(plate.right, info.rcMonitor.right - info.rcMonitor.left);
  EXPECT_GT(plate.right, (before.right - before.left)) << "laid out wider than before";
  Screenshot("music_manual_maximised");

  caption_menu(SC_RESTORE);
  ASSERT_EQ(menus.size(), 2u);
  EXPECT_EQ(grayed(SC_RESTORE), 0);
  EXPECT_EQ(grayed(SC_MAXIMIZE), 1);
  EXPECT_EQ(grayed(SC_MOVE), 1);
  EXPECT_EQ(grayed(SC_SIZE), 1);
  EXPECT_EQ(grayed(SC_MINIMIZE), 0);
  ASSERT_TRUE(WaitUntil([&] { return IsZoomed(hwnd) == FALSE; }));
  Pump();
  EXPECT_FALSE(window->IsItemVisible(CManualWindow::kRestoreButton.id));
  EXPECT_TRUE(window->IsItemVisible(CManualWindow::kMaximizeButton.id));
  RECT after = {};
  GetWindowRect(hwnd, &after);
  EXPECT_EQ(after.right - after.left, before.right - before.left);
  EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);

  // Dismissed: nothing happens.
  caption_menu(0);
  EXPECT_FALSE(IsZoomed(hwnd));
}

// A copy that runs out of card space for real (the card on a small tmpfs):
// the card-full message, the file that fitted complete, nothing of the one
// that did not and no temporary file.
TEST_F(ManualWindowTest, ACopyThatFillsTheCardStopsCleanly) {
  const std::string song = MakeMp3(L"", -1, 40);
  std::string big;
  while (big.size() < 700u * 1024) big += song;
  PutPc(L"一曲目.mp3", big);
  PutPc(L"二曲目.mp3", big);
  // Room for one file and the spare megabyte the copy keeps free, not two.
  musictest::CSmallCardFolder small(Widen(card.Root()), 2048);
  if (!small.Mounted()) GTEST_SKIP() << "no small card: " << small.Why();
  card.Empty();
  ASSERT_TRUE(ovtest::CCardMaker().WriteCard(letter, true));
  ASSERT_TRUE(musictest::CreateFoldersW(music));
  OpenListed();
  window->WithTable(ui::kManualPC, [](ui::CFileListViewTableList& t) { t.SelectAll(); });
  window->CopyFiles(window->GetCurrentFolder(ui::kManualPC),
                    window->GetCurrentFolder(ui::kManualSD));
  ASSERT_TRUE(window->Status() & ui::kOpCopy);
  ASSERT_TRUE(WaitUntil([&] { return window->Status() == 0; }));
  EXPECT_TRUE(BoxWithCode(0xFF00BB10)) << "the card-full message";
  std::vector<std::wstring> on_card;
  WIN32_FIND_DATAW found;
  const HANDLE find = FindFirstFileW((music + L"\\*").c_str(), &found);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    on_card.push_back(name);
    EXPECT_EQ(found.nFileSizeLow, big.size()) << "a cut file: " << ToMultiByte(name);
  } while (FindNextFileW(find, &found));
  FindClose(find);
  EXPECT_EQ(on_card, (std::vector<std::wstring>{L"一曲目.mp3"}))
      << "the first file fits, the second does not, no temporary file";
  // The card side is listed again and shows what arrived.
  EXPECT_EQ(Names(ui::kManualSD), (std::vector<std::wstring>{L"一曲目.mp3"}));
  Screenshot("music_manual_card_full");
}

// The same drag with real input: SendInput moves the pointer and presses
// the button, and the window sees only what the system delivers.
TEST_F(ManualWindowTest, ARealMouseDragCopiesAPCFileOntoTheCard) {
  PutPc(L"マウス.mp3");
  PutPc(L"置いたまま.mp3");
  real_mouse = true;
  OpenListed();
  const HWND hwnd = window->Handle();
  SetForegroundWindow(hwnd);
  ui::CButtonListView* pc_view = window->GetListView(ui::kManualPC);
  const int row = RowOf(ui::kManualPC, L"マウス.mp3");
  ASSERT_GE(row, 0);
  const RECT cell = pc_view->CellRect(row, 0);
  POINT from = {pc_view->X() + (cell.left + cell.right) / 2,
                pc_view->Y() + (cell.top + cell.bottom) / 2};
  const RECT target = window->ItemRect(CManualWindow::kSDFileListView.id);
  POINT to = {(target.left + target.right) / 2, (target.top + target.bottom) / 2};
  ClientToScreen(hwnd, &from);
  ClientToScreen(hwnd, &to);
  ASSERT_TRUE(MouseTo(from, 0));
  ASSERT_TRUE(MouseTo(from, MOUSEEVENTF_LEFTDOWN));
  for (int step = 1; step <= 8; ++step) {
    ASSERT_TRUE(MouseTo(
        POINT{from.x + (to.x - from.x) * step / 8, from.y + (to.y - from.y) * step / 8}, 0));
  }
  EXPECT_TRUE(window->FileDragging());
  ASSERT_TRUE(MouseTo(to, MOUSEEVENTF_LEFTUP));
  EXPECT_TRUE(PumpAllUntil([&] { return !window->FileDragging(); }));
  ASSERT_TRUE(PumpAllUntil([&] { return window->Status() == 0 && !boxes.Boxes().empty(); }));
  EXPECT_TRUE(musictest::FileExistsW(music + L"\\マウス.mp3"));
  EXPECT_FALSE(musictest::FileExistsW(music + L"\\置いたまま.mp3")) << "only the dragged row";
  EXPECT_TRUE(BoxWithCode(0xFF00BB0C));
  EXPECT_NE(RowOf(ui::kManualSD, L"マウス.mp3"), -1) << "the card list shows it";
}

// A shown tooltip window of the thread (lParam: where it goes).
BOOL CALLBACK FindShownTip(HWND candidate, LPARAM found) {
  char name[64] = {};
  GetClassNameA(candidate, name, sizeof name);
  if (lstrcmpiA(name, TOOLTIPS_CLASSA) == 0 && IsWindowVisible(candidate)) {
    *reinterpret_cast<HWND*>(found) = candidate;
    return FALSE;
  }
  return TRUE;
}

// The copy button's hint: the pointer rests on the button (real input) and
// the tooltip shows its text, painted in the system's hint colours. The
// pixels are read through Wine's own screen: on Xvfb the X window of a
// tooltip stays black although Wine has painted it (see the screenshot).
TEST_F(ManualWindowTest, TheCopyButtonsHintShowsWhenThePointerRests) {
  real_mouse = true;
  OpenListed();
  const HWND hwnd = window->Handle();
  SetForegroundWindow(hwnd);
  ASSERT_TRUE(window->IsCopyEnabled());
  const RECT button = window->ItemRect(CManualWindow::kCopyButton.id);
  POINT beside = {button.left - 30, (button.top + button.bottom) / 2};
  POINT on = {(button.left + button.right) / 2, (button.top + button.bottom) / 2};
  ClientToScreen(hwnd, &beside);
  ClientToScreen(hwnd, &on);
  ASSERT_TRUE(MouseTo(beside, 0));
  ASSERT_TRUE(MouseTo(on, 0));
  HWND tip = nullptr;
  ASSERT_TRUE(PumpAllUntil([&] {
    EnumThreadWindows(GetCurrentThreadId(), &FindShownTip, reinterpret_cast<LPARAM>(&tip));
    return tip != nullptr;
  })) << "no hint";
  // Every item is a tool of the window; the text is the item's under the
  // pointer, asked for when the tip shows.
  char text[256] = {};
  TOOLINFOA tool = {};
  tool.cbSize = sizeof tool;
  ASSERT_TRUE(SendMessageA(tip, TTM_GETCURRENTTOOLA, 0, reinterpret_cast<LPARAM>(&tool)));
  tool.lpszText = text;
  SendMessageA(tip, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&tool));
  EXPECT_STREQ(text, "選択したファイルをSDカードの表示中のフォルダへコピーします");
  PumpAllUntil([] { return GetQueueStatus(QS_PAINT) == 0; });
  Screenshot("music_manual_hint");
  // The hint's face on the screen: mostly the hint background, never black.
  RECT face = {};
  GetWindowRect(tip, &face);
  const HDC screen_dc = GetDC(nullptr);
  const COLORREF background = GetSysColor(COLOR_INFOBK);
  int black = 0, plain = 0, all = 0;
  for (int y = face.top + 2; y < face.bottom - 2; y += 2) {
    for (int x = face.left + 2; x < face.right - 2; x += 2) {
      const COLORREF colour = GetPixel(screen_dc, x, y);
      ++all;
      if (colour == RGB(0, 0, 0)) ++black;
      if (colour == background) ++plain;
    }
  }
  ReleaseDC(nullptr, screen_dc);
  ASSERT_GT(all, 0);
  EXPECT_GT(plain * 2, all) << "the hint background " << std::hex << background;
  EXPECT_LT(black * 4, all) << "black pixels: " << black << " of " << all;
}

}  // namespace
