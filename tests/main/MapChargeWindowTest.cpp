// The map update's question drawer and the information-charge question,
// each with a recording parent in the launcher's place: the screens' texts
// and buttons, the answers the parent hears, the settings that silence them,
// and the rules behind them (answer types, event names, the fifteen-minute
// rule).
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>

#include "CoreMessages.h"
#include "InfoChargeWindow.h"
#include "LauncherNotices.h"
#include "MainWindowTestSupport.h"
#include "MapChargeWindow.h"
#include "MessageBoxCapture.h"
#include "OstrovelleLite/OstrovelleConfig.h"
#include "ScreenLock.h"
#include "SkinWindowItemOverlay.h"
#include "TestSupport.h"

namespace {

using maintest::CRecordingParent;
using maintest::PumpUntil;
using ui::CInfoChargeWindow;
using ui::CMapChargeWindow;

constexpr DWORD kLimitMs = 10000;

TEST(MapNoticeRuleTest, RequestsScreensAndAnswerTypesFollowTheTable) {
  EXPECT_EQ(2, mapnotice::ScreenOfRequest(2));
  EXPECT_EQ(4, mapnotice::ScreenOfRequest(3));
  EXPECT_EQ(5, mapnotice::ScreenOfRequest(5));
  for (const uint32_t other : {0u, 1u, 4u, 7u, 239u, 0xFFFFFFFFu}) {
    EXPECT_EQ(mapnotice::kScreenNone, mapnotice::ScreenOfRequest(other)) << other;
  }
  const std::pair<int, uint32_t> answers[] = {{2, 2},           {4, 3},           {5, 5},
                                              {7, 16},          {8, 17},          {3, 0xFFFFFFFF},
                                              {-1, 0xFFFFFFFF}, {239, 0xFFFFFFFF}};
  for (const auto& [screen, type] : answers) {
    EXPECT_EQ(type, mapnotice::AnswerTypeOfScreen(screen)) << screen;
  }
}

TEST(MapNoticeRuleTest, AnswersSetTheirOwnEventOfThePair) {
  struct Row {
    uint32_t type;
    const char* yes;
    const char* no;
  };
  const Row rows[] = {
      {2, "Global\\EVOVMapLicense", "Global\\EVOVMapLicenseNo"},
      {3, "Global\\EVOVMapDownload", "Global\\EVOVMapDownloadNo"},
      {16, "Global\\EVOVMapVerify", "Global\\EVOVMapVerifyNo"},
      {17, "Global\\EVOVMapProbe", "Global\\EVOVMapProbeNo"},
      {239, "Global\\EVOVMapLicense", "Global\\EVOVMapLicenseNo"},
      {5, "", ""},
      {0xFFFFFFFF, "", ""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.yes, mapnotice::AnswerEventName(row.type, true)) << row.type;
    EXPECT_EQ(row.no, mapnotice::AnswerEventName(row.type, false)) << row.type;
  }
  EXPECT_EQ(0x10001, mapnotice::AnswerParam(true, true));
  EXPECT_EQ(0, mapnotice::AnswerParam(false, false));
  EXPECT_TRUE(mapnotice::AnswerIsYes(0x10001));
  EXPECT_TRUE(mapnotice::AnswerCheckBox(0x10000));
  EXPECT_FALSE(mapnotice::AnswerIsYes(0x10000));
  // An event nobody made: no core waits, nothing to set.
  EXPECT_FALSE(mapnotice::SetAnswerEvent("Global\\EVOVMapNobodyWaits"));
}

TEST(MapNoticeRuleTest, TextsCarryTheDateAndTheEstimate) {
  EXPECT_EQ("2026年12月24日", mapnotice::ReminderDate(0x00261224));
  EXPECT_EQ("2009年01月05日", mapnotice::ReminderDate(0x00090105));
  EXPECT_EQ("1:02", mapnotice::EstimateText(3725));
  EXPECT_EQ("0:00", mapnotice::EstimateText(59));
  EXPECT_EQ("0:59", mapnotice::EstimateText(3599));
  EXPECT_EQ("27:46", mapnotice::EstimateText(100000));
  EXPECT_EQ(
      "地図ダウンロードが可能になりました。\r\nダウンロードを開始しますか？\r\n（予想時間 1:02）",
      mapnotice::ScreenText(4, 3725));
  EXPECT_EQ(
      "地図更新ダウンロード予約日が近づいております。\r\n"
      "ご予約いただいた内容をお知らせいたします。\r\n予約日：2026年12月24日",
      mapnotice::ScreenText(2, 0x261224));
  EXPECT_EQ("", mapnotice::ScreenText(3, 0));
}

SYSTEMTIME At(int hour, int minute, int second) {
  SYSTEMTIME t = {};
  t.wYear = 2026;
  t.wMonth = 12;
  t.wDay = 11;
  t.wHour = static_cast<WORD>(hour);
  t.wMinute = static_cast<WORD>(minute);
  t.wSecond = static_cast<WORD>(second);
  return t;
}

TEST(MapNoticeRuleTest, TheInformationChargeIsOfferedOnlyAfterFifteenMinutes) {
  EXPECT_FALSE(mapnotice::IsInfoChargeDue(SYSTEMTIME{}, At(10, 0, 0)));  // no traffic charge yet
  EXPECT_FALSE(mapnotice::IsInfoChargeDue(At(10, 0, 0), At(10, 14, 59)));
  EXPECT_FALSE(mapnotice::IsInfoChargeDue(At(10, 0, 0), At(10, 15, 0)));
  EXPECT_TRUE(mapnotice::IsInfoChargeDue(At(10, 0, 0), At(10, 15, 1)));
  SYSTEMTIME next_day = At(0, 10, 0);
  next_day.wDay = 12;
  EXPECT_TRUE(mapnotice::IsInfoChargeDue(At(23, 50, 0), next_day));
  // A clock set back is no reason to ask.
  EXPECT_FALSE(mapnotice::IsInfoChargeDue(At(10, 30, 0), At(10, 0, 0)));

  EXPECT_TRUE(mapnotice::IsTrafficSuccess(0x4000000));
  EXPECT_TRUE(mapnotice::IsTrafficSuccess(0x400010B));  // done, 267
  EXPECT_FALSE(mapnotice::IsTrafficSuccess(0x400FF02));
  EXPECT_FALSE(mapnotice::IsTrafficSuccess(0x4000001));
  EXPECT_FALSE(mapnotice::IsTrafficSuccess(0x8000000));
  EXPECT_FALSE(mapnotice::IsTrafficSuccess(0x2000000));
}

void WriteMapNotify(int value) {
  COstrovelleConfig config;
  ASSERT_TRUE(config.SaveMapNotifyMessage(value));
}

class MapChargeWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    _parent = std::make_unique<CRecordingParent>(300, 500, 480, 300);
    _window = std::make_unique<CMapChargeWindow>(_parent->Get());
    _window->Create();
    ASSERT_NE(nullptr, _window->Handle());
  }
  void TearDown() override {
    _window.reset();
    maintest::Pump();
  }

  ::testing::AssertionResult ShowAndWait(int screen, uint32_t data) {
    if (!_window->SetUpScreen(screen, data)) return ::testing::AssertionFailure() << "refused";
    _window->Show();
    const bool opened = PumpUntil(
        [&] { return !_window->Drawer().Sliding() && !_window->Drawer().Fading(); }, kLimitMs);
    if (!opened) return ::testing::AssertionFailure() << "the drawer never settled";
    maintest::Pump();
    return ::testing::AssertionSuccess();
  }

  // The answers the parent heard: (type, lParam).
  std::vector<std::pair<uint32_t, LPARAM>> Answers() const {
    std::vector<std::pair<uint32_t, LPARAM>> answers;
    for (const auto& r : _parent->Of(mapnotice::kAnswerMessage)) {
      answers.emplace_back(static_cast<uint32_t>(r.wparam), r.lparam);
    }
    return answers;
  }

  bool Shown(const ui::SkinItemDescriptor& item) { return _window->FindItem(item.id)->IsVisible(); }

  ovtest::CScreenLock _screen;
  ovtest::CScopedDataRoot _root;
  ovtest::CMessageBoxCapture _boxes;
  std::unique_ptr<CRecordingParent> _parent;
  std::unique_ptr<CMapChargeWindow> _window;
};

using AnswerList = std::vector<std::pair<uint32_t, LPARAM>>;

struct ScreenCase {
  const char* name;
  int screen;
  uint32_t data;
  const ui::SkinItemDescriptor* yes;
  const ui::SkinItemDescriptor* no;
  int height;
  uint32_t answer_type;
  const char* text_part;
};
void PrintTo(const ScreenCase& c, std::ostream* os) { *os << c.name; }

const ScreenCase kScreens[] = {
    {"Reminder", 2, 0x261224, &CMapChargeWindow::kOKShortButton,
     &CMapChargeWindow::kReReserveButton, 172, 2, "予約日：2026年12月24日"},
    {"Download", 4, 3725, &CMapChargeWindow::kYesBottomButton,
     &CMapChargeWindow::kCancelBottomButton, 172, 3, "（予想時間 1:02）"},
    {"Refresh", 5, 0, &CMapChargeWindow::kYesButton, &CMapChargeWindow::kCancelButton, 150, 5,
     "最新の情報に更新しますか？"},
    {"Verify", 7, 0, &CMapChargeWindow::kYesButton, &CMapChargeWindow::kCancelButton, 150, 16,
     "転送済データのチェック"},
    {"UnsentProbe", 8, 0, &CMapChargeWindow::kYesButton, &CMapChargeWindow::kCancelButton, 150, 17,
     "未送信のプローブデータがあります。"},
};

class MapChargeScreenTest : public MapChargeWindowTest,
                            public ::testing::WithParamInterface<ScreenCase> {};

TEST_P(MapChargeScreenTest, ShowsItsOwnButtonsAndAnswersWithThem) {
  const ScreenCase& c = GetParam();
  ASSERT_TRUE(ShowAndWait(c.screen, c.data));
  EXPECT_EQ(c.screen, _window->Screen());
  EXPECT_NE(std::string::npos, _window->InformationText().find(c.text_part))
      << _window->InformationText();
  RECT r;
  GetWindowRect(_window->Handle(), &r);
  EXPECT_EQ(c.height, r.bottom - r.top);
  EXPECT_EQ(_parent->Rect().top + 4, r.bottom);
  EXPECT_EQ(0, _window->ScreenOverlay()->Alpha());
  for (const ui::SkinItemDescriptor* button :
       {&CMapChargeWindow::kYesButton, &CMapChargeWindow::kCancelButton,
        &CMapChargeWindow::kYesBottomButton, &CMapChargeWindow::kCancelBottomButton,
        &CMapChargeWindow::kOKShortButton, &CMapChargeWindow::kReReserveButton}) {
    EXPECT_EQ(button == c.yes || button == c.no, Shown(*button)) << button->section;
  }
  EXPECT_EQ(c.screen == 4, !_window->NoteText().empty());
  EXPECT_EQ(c.screen == 2, Shown(CMapChargeWindow::kDispMsgCheckBox));
  maintest::Screenshot(std::string("map_notice_") + c.name);

  ASSERT_TRUE(_window->ClickItem(c.yes->id));
  ASSERT_TRUE(PumpUntil([&] { return !Answers().empty(); }, kLimitMs));
  EXPECT_FALSE(IsWindowVisible(_window->Handle()));
  EXPECT_FALSE(_window->IsShowing());

  // The same window asks again, and starts at no.
  ASSERT_TRUE(ShowAndWait(c.screen, c.data));
  EXPECT_FALSE(_window->AnswerYes());
  ASSERT_TRUE(_window->ClickItem(c.no->id));
  ASSERT_TRUE(PumpUntil([&] { return Answers().size() == 2; }, kLimitMs));
  maintest::Pump();
  EXPECT_EQ((AnswerList{{c.answer_type, 1}, {c.answer_type, 0}}), Answers());
  EXPECT_TRUE(_boxes.Boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Screens, MapChargeScreenTest, ::testing::ValuesIn(kScreens),
                         ovtest::CaseName());

TEST_F(MapChargeWindowTest, TheCloseButtonAcknowledgesOnlyTheReminder) {
  ASSERT_TRUE(ShowAndWait(2, 0x261224));
  ASSERT_TRUE(_window->ClickItem(CMapChargeWindow::kCloseButton.id));
  ASSERT_TRUE(PumpUntil([&] { return Answers().size() == 1; }, kLimitMs));
  ASSERT_TRUE(ShowAndWait(8, 0));
  ASSERT_TRUE(_window->ClickItem(CMapChargeWindow::kCloseButton.id));
  ASSERT_TRUE(PumpUntil([&] { return Answers().size() == 2; }, kLimitMs));
  maintest::Pump();
  EXPECT_EQ((AnswerList{{2, 1}, {17, 0}}), Answers());
}

TEST_F(MapChargeWindowTest, TheReminderCarriesTheCheckBoxAndANewQuestionClearsIt) {
  ASSERT_TRUE(ShowAndWait(2, 0x261224));
  ASSERT_TRUE(_window->ClickItem(CMapChargeWindow::kDispMsgCheckBox.id));
  ASSERT_TRUE(PumpUntil([&] { return _window->CheckBoxOn(); }, kLimitMs));
  ASSERT_TRUE(_window->ClickItem(CMapChargeWindow::kReReserveButton.id));
  ASSERT_TRUE(PumpUntil([&] { return Answers().size() == 1; }, kLimitMs));
  ASSERT_TRUE(ShowAndWait(2, 0x261224));
  EXPECT_FALSE(_window->CheckBoxOn());
  ASSERT_TRUE(_window->ClickItem(CMapChargeWindow::kOKShortButton.id));
  ASSERT_TRUE(PumpUntil([&] { return Answers().size() == 2; }, kLimitMs));
  maintest::Pump();
  EXPECT_EQ((AnswerList{{2, 0x10000}, {2, 1}}), Answers());
}

TEST_F(MapChargeWindowTest, ASilencedReminderIsAnsweredNoWithoutShowing) {
  WriteMapNotify(0);
  ovtest::CLogCapture log;
  EXPECT_FALSE(_window->SetUpScreen(2, 0x261224));
  maintest::Pump();
  EXPECT_EQ((AnswerList{{2, 0}}), Answers());
  EXPECT_FALSE(IsWindowVisible(_window->Handle()));
  EXPECT_TRUE(log.Contains("今後表示しない設定 TYPE:2"));
  // The setting silences the reminder alone.
  EXPECT_TRUE(ShowAndWait(8, 0));
}

TEST_F(MapChargeWindowTest, AnUnknownScreenIsNeitherShownNorAnswered) {
  ovtest::CLogCapture log;
  EXPECT_FALSE(_window->SetUpScreen(3, 0));
  maintest::Pump();
  EXPECT_TRUE(Answers().empty());
  EXPECT_FALSE(IsWindowVisible(_window->Handle()));
  EXPECT_TRUE(log.Contains("不正な種別指定 3"));
}

TEST_F(MapChargeWindowTest, ASecondQuestionReplacesTheScreenOnShow) {
  ASSERT_TRUE(ShowAndWait(7, 0));
  ASSERT_TRUE(ShowAndWait(4, 7200));
  EXPECT_NE(std::string::npos, _window->InformationText().find("2:00"));
  EXPECT_TRUE(Shown(CMapChargeWindow::kYesBottomButton));
  EXPECT_FALSE(Shown(CMapChargeWindow::kYesButton));
  EXPECT_TRUE(Answers().empty());
}

// The information-charge question.
class InfoChargeWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    maintest::WriteSetting(1, 0, SYSTEMTIME{});
    _parent = std::make_unique<CRecordingParent>(300, 500, 480, 300);
  }
  void TearDown() override {
    _window.reset();
    maintest::Pump();
  }

  ::testing::AssertionResult OpenAndWait() {
    _window = std::make_unique<CInfoChargeWindow>();
    _window->Create(_parent->Get());
    const bool opened = PumpUntil(
        [&] {
          return _window->Done() || (_window->Drawer().Opened() && !_window->Drawer().Sliding() &&
                                     !_window->Drawer().Fading());
        },
        kLimitMs);
    if (!opened || _window->Done()) return ::testing::AssertionFailure() << "never opened";
    maintest::Pump();
    return ::testing::AssertionSuccess();
  }

  ovtest::CScreenLock _screen;
  ovtest::CScopedDataRoot _root;
  ovtest::CMessageBoxCapture _boxes;
  std::unique_ptr<CRecordingParent> _parent;
  std::unique_ptr<CInfoChargeWindow> _window;
};

struct InfoAnswerCase {
  const char* name;
  int item;  // a click on this item, or 0
  UINT key;  // or this key
  bool yes;
};
void PrintTo(const InfoAnswerCase& c, std::ostream* os) { *os << c.name; }

class InfoChargeAnswerTest : public InfoChargeWindowTest,
                             public ::testing::WithParamInterface<InfoAnswerCase> {};

TEST_P(InfoChargeAnswerTest, AnswersYesOnlyThroughItsYesButton) {
  const InfoAnswerCase& c = GetParam();
  ASSERT_TRUE(OpenAndWait());
  RECT r;
  GetWindowRect(_window->Handle(), &r);
  EXPECT_EQ(150, r.bottom - r.top);
  EXPECT_EQ(_parent->Rect().top + 4, r.bottom);
  EXPECT_EQ("終了前にインフォチャージしますか？\r\n(「いいえ」を選ぶと取得せずに終了します)",
            _window->QuestionText());
  EXPECT_FALSE(_window->FindItem(CInfoChargeWindow::kDispMsgCheckBox.id)->IsVisible());
  if (c.item == CInfoChargeWindow::kOKButton.id) maintest::Screenshot("info_charge_question");
  if (c.item) {
    ASSERT_TRUE(_window->ClickItem(c.item));
  } else {
    SendMessageA(_window->Handle(), WM_KEYDOWN, c.key, 0);
  }
  ASSERT_TRUE(PumpUntil([&] { return _window->Done(); }, kLimitMs));
  EXPECT_EQ(c.yes, _window->AnswerYes());
  _window->RunModal();  // ends at once and destroys the window
  EXPECT_EQ(nullptr, _window->Handle());
}

INSTANTIATE_TEST_SUITE_P(
    Answers, InfoChargeAnswerTest,
    ::testing::Values(InfoAnswerCase{"Yes", CInfoChargeWindow::kOKButton.id, 0, true},
                      InfoAnswerCase{"No", CInfoChargeWindow::kCancelButton.id, 0, false},
                      InfoAnswerCase{"Close", CInfoChargeWindow::kCloseButton.id, 0, false},
                      InfoAnswerCase{"Enter", 0, VK_RETURN, true},
                      InfoAnswerCase{"Escape", 0, VK_ESCAPE, false}),
    ovtest::CaseName());

TEST_F(InfoChargeWindowTest, AutomaticUpdateOffAnswersNoWithoutShowing) {
  maintest::WriteSetting(0, 0, SYSTEMTIME{});
  _window = std::make_unique<CInfoChargeWindow>();
  _window->Create(_parent->Get());
  EXPECT_TRUE(_window->Done());
  EXPECT_FALSE(_window->AnswerYes());
  EXPECT_FALSE(_window->Drawer().Opened());
  EXPECT_FALSE(IsWindowVisible(_window->Handle()));
  EXPECT_FALSE(CInfoChargeWindow::Ask(_parent->Get()));
}

// Ask runs its own loop: the test answers from a timer of the thread.
bool g_click_yes = false;
void CALLBACK AnswerFromTimer(HWND, UINT, UINT_PTR id, DWORD) {
  const HWND window = FindWindowA(lib::wfc::kDefaultWindowClass, "Ostrovelle Info");
  if (!window || !IsWindowVisible(window)) return;
  KillTimer(nullptr, id);
  // Enter and Escape stand for the two buttons.
  PostMessageA(window, WM_KEYDOWN, g_click_yes ? VK_RETURN : VK_ESCAPE, 0);
}

TEST_F(InfoChargeWindowTest, AskRunsUntilAnsweredAndDestroysTheWindow) {
  for (const bool yes : {true, false}) {
    g_click_yes = yes;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, &AnswerFromTimer);
    ASSERT_NE(0u, timer);
    EXPECT_EQ(yes, CInfoChargeWindow::Ask(_parent->Get()));
    KillTimer(nullptr, timer);
    EXPECT_EQ(nullptr, FindWindowA(lib::wfc::kDefaultWindowClass, "Ostrovelle Info"));
  }
}

}  // namespace
