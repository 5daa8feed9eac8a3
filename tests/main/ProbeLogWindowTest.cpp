// The probe-log window over the probe log of the unit's user: the cells of
// each outcome, an empty or missing log, the user's data folder, and a card
// change that moves the list to the new unit's user.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "CardMaker.h"
#include "CoreMessages.h"
#include "MainWindowTestSupport.h"
#include "MessageBoxCapture.h"
#include "OstrovelleLite/ProbeLogFile.h"
#include "OstrovelleLite/UserListFile.h"
#include "ProbeLogWindow.h"
#include "ScreenLock.h"
#include "SkinWindowItemScrollBar.h"
#include "TestSupport.h"

namespace {

using maintest::PumpUntil;
using ui::CProbeLogWindow;

constexpr DWORD kLimitMs = 20000;
constexpr const char* kDeviceA = "DIRU00000000A1";
constexpr const char* kDeviceB = "DIRU00000000B2";

struct Entry {
  int outcome;
  int code;
};

SYSTEMTIME Time(int day, int hour) {
  SYSTEMTIME t = {};
  t.wYear = 2026;
  t.wMonth = 3;
  t.wDay = static_cast<WORD>(day);
  t.wHour = static_cast<WORD>(hour);
  t.wMinute = 7;
  t.wSecond = 9;
  return t;
}

// Registers the unit's user and writes its probe log, one record a day.
void WriteLog(const char* device, const char* nickname, const std::vector<Entry>& entries) {
  CUserListFile users;
  ASSERT_TRUE(users.Load());
  ASSERT_TRUE(users.AddUser(device, nickname, 0x11, "UA", 3));
  std::string data_folder;
  std::string name;
  std::string text;
  ASSERT_TRUE(users.GetUser(device, &name, &data_folder, &text));
  const CProbeLogFile file(ProbeLogFolderOf(data_folder));
  std::string bytes;
  int day = 1;
  for (const Entry& entry : entries) {
    ProbeLogRecord record;
    record.SetDate(Time(day++, 10));
    record.SetCode(entry.code);
    record.SetResult(entry.outcome);
    bytes.append(reinterpret_cast<const char*>(record.bytes), ProbeLogRecord::kSize);
  }
  ASSERT_TRUE(ovtest::WriteFileBytes(file.GetPath(), bytes));
}

class ProbeLogWindowTest : public ::testing::Test {
 protected:
  void TearDown() override {
    _window.reset();
    maintest::Pump();
  }

  void Open(const std::string& device, char drive = 0) {
    _window = std::make_unique<CProbeLogWindow>(device, drive);
    _window->Create(nullptr);
    maintest::Pump();
  }

  std::vector<std::string> Row(int row) {
    std::vector<std::string> cells;
    for (int column = 0; column < 3; ++column) {
      cells.push_back(_window->GetCellText(_window->List(), row, column));
    }
    return cells;
  }

  ovtest::CScreenLock _screen;
  ovtest::CScopedDataRoot _root;
  ovtest::CMessageBoxCapture _boxes;
  std::unique_ptr<CProbeLogWindow> _window;
};

TEST_F(ProbeLogWindowTest, EachOutcomeHasItsTextAndACodeOnlyWhenNotZero) {
  WriteLog(kDeviceA, "hanako",
           {{0, 0}, {1, 0x10}, {2, 0x200201}, {3, 0}, {4, 0x100107}, {7, 0x7FFFFFFF}});
  Open(kDeviceA);
  ASSERT_EQ(6, _window->GetRowCount(_window->List()));
  const std::vector<std::vector<std::string>> expected = {
      {" 2026/03/01 10:07:09", " アップロード成功", ""},
      {" 2026/03/02 10:07:09", " 処理中", "処理コード：0x00000010"},
      {" 2026/03/03 10:07:09", " 許諾期限切れ / 未許諾", "処理コード：0x00200201"},
      {" 2026/03/04 10:07:09", " アップロード中断", ""},
      {" 2026/03/05 10:07:09", " アップロード失敗", "処理コード：0x00100107"},
      {" 2026/03/06 10:07:09", " アップロード失敗(未定義)", "処理コード：0x7FFFFFFF"},
  };
  for (int row = 0; row < 6; ++row) EXPECT_EQ(expected[row], Row(row)) << row;
  EXPECT_EQ((std::vector<std::string>{"", "", ""}), Row(6)) << "beyond the count";
  EXPECT_EQ((std::vector<std::string>{"", "", ""}), Row(-1));
  EXPECT_FALSE(_window->IsActiveRow(_window->List(), 0));
  EXPECT_EQ(138, _window->GetMinColumnWidth(_window->List()));
  EXPECT_FALSE(_window->List()->HeaderShown());
  RedrawWindow(_window->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  maintest::Screenshot("main_probe_log_window");
}

TEST_F(ProbeLogWindowTest, TenRecordsFitAndMoreScroll) {
  std::vector<Entry> entries(10, Entry{0, 0});
  WriteLog(kDeviceA, "hanako", entries);
  Open(kDeviceA);
  EXPECT_EQ(10, _window->GetRowCount(_window->List()));
  EXPECT_FALSE(_window->ScrollBar()->IsEnabled()) << "ten rows fit";
  entries.resize(12, Entry{4, 1});
  WriteLog(kDeviceA, "hanako", entries);
  Open(kDeviceA);
  EXPECT_EQ(12, _window->GetRowCount(_window->List()));
  EXPECT_TRUE(_window->ScrollBar()->IsEnabled());
}

TEST_F(ProbeLogWindowTest, AnEmptyOrMissingLogShowsNoRowsAndADisabledBar) {
  struct Case {
    const char* name;
    bool user;
    bool empty_file;
  };
  for (const Case& c : {Case{"no user", false, false}, Case{"no file", true, false},
                        Case{"empty file", true, true}}) {
    if (c.user) {
      CUserListFile users;
      ASSERT_TRUE(users.Load());
      ASSERT_TRUE(users.AddUser(kDeviceB, "jiro", 0x11, "UA", 3));
    }
    if (c.empty_file) WriteLog(kDeviceB, "jiro", {});
    Open(kDeviceB);
    EXPECT_EQ(0, _window->GetRowCount(_window->List())) << c.name;
    EXPECT_FALSE(_window->ScrollBar()->IsEnabled()) << c.name;
    EXPECT_EQ("", _window->GetCellText(_window->List(), 0, 0)) << c.name;
    EXPECT_TRUE(IsWindowVisible(_window->Handle())) << c.name;
  }
  Open("");
  EXPECT_EQ(0, _window->GetRowCount(_window->List()));
  EXPECT_TRUE(_boxes.Boxes().empty());
}

TEST_F(ProbeLogWindowTest, ACardChangeReadsTheNewUnitsLog) {
  ovtest::CTestCard card;
  ASSERT_TRUE(card.IsValid());
  WriteLog(kDeviceA, "hanako", {{0, 0}});
  WriteLog(kDeviceB, "jiro", {{3, 0}, {4, 0x20}});
  card.Empty();
  ASSERT_TRUE(ovtest::CCardMaker().DeviceNo(kDeviceA).WriteCard(card.Letter(), true));
  Open(kDeviceA, card.Letter());
  ASSERT_EQ(1, _window->GetRowCount(_window->List()));

  card.Empty();
  ASSERT_TRUE(ovtest::CCardMaker().DeviceNo(kDeviceB).WriteCard(card.Letter(), true));
  const UINT change = RegisterWindowMessageA(kMsgSDChange);
  PostMessageA(_window->Handle(), change, static_cast<WPARAM>(card.Letter()), 0);
  ASSERT_TRUE(PumpUntil([&] { return _window->GetRowCount(_window->List()) == 2; }, kLimitMs));
  EXPECT_EQ(kDeviceB, _window->DeviceNo());
  EXPECT_EQ(card.Letter(), _window->Drive());
  EXPECT_EQ(" アップロード中断", _window->GetCellText(_window->List(), 0, 1));

  // A card without the unit's file: nobody's log.
  card.Empty();
  PostMessageA(_window->Handle(), change, static_cast<WPARAM>(card.Letter()), 0);
  ASSERT_TRUE(PumpUntil([&] { return _window->GetRowCount(_window->List()) == 0; }, kLimitMs));
  EXPECT_EQ("", _window->DeviceNo());
  // A letter that is no drive letter changes nothing.
  PostMessageA(_window->Handle(), change, 7, 0);
  maintest::Pump();
  EXPECT_EQ(card.Letter(), _window->Drive());
}

UINT g_click_id = 0;
bool g_clicked = false;
void CALLBACK ClickWhenShown(HWND, UINT, UINT_PTR, DWORD) {
  const HWND probe = FindWindowA("WFC-OstrovelleEVDefaultWindowClass", "Ostrovelle Probe");
  if (g_clicked || !probe || !IsWindowVisible(probe)) return;
  g_clicked = true;
  PostMessageA(probe, WM_COMMAND, MAKEWPARAM(g_click_id, 1), 0);
}

TEST_F(ProbeLogWindowTest, OkAndTheCloseButtonEachEndTheModalRun) {
  WriteLog(kDeviceA, "hanako", {{0, 0}});
  for (const UINT id : {CProbeLogWindow::kOKButton.id, CProbeLogWindow::kCloseButton.id}) {
    maintest::CRecordingParent owner(100, 100, 300, 200);
    g_click_id = id;
    g_clicked = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 30, &ClickWhenShown);
    EXPECT_TRUE(ui::ShowProbeLogWindow(owner.Get(), kDeviceA)) << id;
    KillTimer(nullptr, timer);
    EXPECT_TRUE(g_clicked) << id;
    EXPECT_EQ(nullptr, FindWindowA("WFC-OstrovelleEVDefaultWindowClass", "Ostrovelle Probe"));
  }
}

}  // namespace
