// The Base section's font handed down to a window's sections, and the
// session-end wait on a real window that closes itself.
#include <gtest/gtest.h>

#include <string>

#include "EndSessionWaitingWindow.h"
#include "ResizableSkinWindow.h"
#include "ScreenLock.h"

namespace {

struct FontCase {
  const char* name;
  bool section_has_font;
  ui::SkinValues own;
  ui::SkinValues expected;
};

void PrintTo(const FontCase& c, std::ostream* os) { *os << c.name; }

class InheritBaseFontTest : public ::testing::TestWithParam<FontCase> {};

TEST_P(InheritBaseFontTest, FillsWhatTheSectionLeavesOpen) {
  const FontCase& c = GetParam();
  ui::SkinDefinition definition;
  definition.Section("Base").Set("Font", {"Base Face", "12", "700"});
  if (c.section_has_font)
    definition.Section("Item").Set("Font", c.own);
  else
    definition.Section("Item").Set("Position", {"1", "2"});
  ui::InheritBaseFont(definition, "Base");
  EXPECT_EQ(definition.Section("Item").GetValues("Font"), c.expected);
  EXPECT_EQ(definition.Section("Base").GetValues("Font"),
            (ui::SkinValues{"Base Face", "12", "700"}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InheritBaseFontTest,
    ::testing::Values(
        FontCase{"NoFontTakesTheBase", false, {}, {"Base Face", "12", "700"}},
        FontCase{"SizeOnlyKeepsItsSize", true, {"", "9", ""}, {"Base Face", "9", "700"}},
        FontCase{"FullFontUntouched", true, {"Own", "10", "400"}, {"Own", "10", "400"}},
        FontCase{"ShorterListStaysShort", true, {"", "8"}, {"Base Face", "8"}},
        FontCase{
            "LongerListKeepsTheRest", true, {"", "8", "", ""}, {"Base Face", "8", "700", ""}}));

TEST(InheritBaseFontTest, WithoutABaseFontNothingChanges) {
  ui::SkinDefinition definition;
  definition.Section("Base").Set("Title", {"t"});
  definition.Section("Item").Set("Font", {"", "9"});
  const ui::SkinDefinition before = definition;
  ui::InheritBaseFont(definition, "Base");
  ui::InheritBaseFont(definition, "Missing");
  EXPECT_TRUE(definition == before);
}

// Closes itself when the session ends, as the application windows do.
class CClosingWindow final : public ui::CEndSessionWaitingWindow<ui::CResizableSkinWindow> {
 public:
  int end_sessions = 0;

 protected:
  void OnEndSession(bool ending, LPARAM lparam) override {
    ++end_sessions;
    if (ending) ::PostMessageA(Handle(), WM_CLOSE, 0, 0);
    CEndSessionWaitingWindow::OnEndSession(ending, lparam);
  }
};

TEST(EndSessionWaitingWindowTest, ReturnsAfterTheWindowIsDestroyedAndKeepsOneQuit) {
  ovtest::CScreenLock screen_lock;
  CClosingWindow window;
  window.SetLayoutSize(SIZE{80, 60});
  const HWND hwnd =
      window.Create(0, nullptr, "end session test", WS_POPUP | WS_VISIBLE, 10, 10, 80, 60);
  ASSERT_NE(hwnd, nullptr);
  PostQuitMessage(5);
  SendMessageA(hwnd, WM_ENDSESSION, TRUE, 0);
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(window.end_sessions, 1);
  int quits = 0;
  WPARAM code = 0;
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ++quits;
      code = msg.wParam;
    }
  }
  EXPECT_EQ(quits, 1);
  EXPECT_EQ(code, 5u);
}

TEST(EndSessionWaitingWindowTest, ASessionThatGoesOnDoesNotWait) {
  ovtest::CScreenLock screen_lock;
  CClosingWindow window;
  window.SetLayoutSize(SIZE{80, 60});
  const HWND hwnd = window.Create(0, nullptr, "end session test", WS_POPUP, 10, 10, 80, 60);
  SendMessageA(hwnd, WM_ENDSESSION, FALSE, 0);
  EXPECT_TRUE(IsWindow(hwnd));
  window.DestroyWindow();
}

}  // namespace
