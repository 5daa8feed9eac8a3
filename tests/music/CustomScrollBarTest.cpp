// The skinned bars on a real list box: without the bitmap the list keeps
// its system bars, and scroll requests move the mirrored position within
// the range.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "CustomScrollBar.h"
#include "SkinParser.h"

namespace {

ui::SkinDefinition TestSkin() {
  std::ifstream file(OV_SCROLL_TEST_SKIN, std::ios::binary);
  std::stringstream read;
  read << file.rdbuf();
  std::string bytes;
  for (char c : read.str()) {
    if (c == '\r') continue;
    if (c == '\n') bytes += '\r';
    bytes += c;
  }
  ui::SkinDefinition definition;
  ui::SkinParseOutput output;
  ui::ParseSkinLines("ScrollBarTestSkin.txt", ui::SplitSkinLines(bytes, false), &definition,
                     &output);
  return definition;
}

class CustomScrollBarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    _list = CreateWindowExW(0, L"LISTBOX", L"", WS_POPUP | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY, 40,
                            40, 160, 120, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(_list, nullptr);
    for (int i = 0; i < 50; ++i) SendMessageW(_list, LB_ADDSTRING, 0, LPARAM(L"item"));
  }
  void TearDown() override {
    if (_list) DestroyWindow(_list);
  }
  HWND _list = nullptr;
};

TEST_F(CustomScrollBarTest, MissingBitmapLeavesTheSystemBars) {
  auto bar = ui::CreateCustomScrollBar(TestSkin(), "UnshippedBitmapScrollBar");
  ASSERT_NE(bar, nullptr);
  RECT before;
  GetClientRect(_list, &before);
  // This test program carries bitmap 131 only.
  EXPECT_FALSE(bar->Attach(_list));
  EXPECT_FALSE(ui::CCustomScrollBarBase::IsInstalled(_list));
  RECT after;
  GetClientRect(_list, &after);
  EXPECT_EQ(after.right, before.right);
  EXPECT_TRUE(GetWindowLongW(_list, GWL_STYLE) & WS_VSCROLL);
  SCROLLBARINFO info = {};
  info.cbSize = sizeof(info);
  ASSERT_TRUE(GetScrollBarInfo(_list, OBJID_VSCROLL, &info));
  EXPECT_FALSE(info.rgstate[0] & STATE_SYSTEM_INVISIBLE);
}

TEST_F(CustomScrollBarTest, ScrollRequestsStayWithinTheRange) {
  auto bar = ui::CreateCustomScrollBar(TestSkin(), "CustomScrollBar");
  ASSERT_NE(bar, nullptr);
  bar->Attach(_list);
  const struct {
    const char* name;
    WPARAM request;
    int from;
    int to;
  } cases[] = {
      {"line down", SB_LINEDOWN, 5, 6},
      {"line up", SB_LINEUP, 5, 4},
      {"line up at the top", SB_LINEUP, 0, 0},
      {"page down", SB_PAGEDOWN, 5, 15},
      {"page up below min", SB_PAGEUP, 5, 0},
      {"thumb track", MAKEWPARAM(SB_THUMBTRACK, 33), 5, 33},
      {"thumb track beyond max", MAKEWPARAM(SB_THUMBTRACK, 300), 5, 49},
      {"top", SB_TOP, 5, 0},
      {"bottom", SB_BOTTOM, 5, 49},
      {"end scroll changes nothing", SB_ENDSCROLL, 5, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SCROLLINFO copy = {sizeof(copy), SIF_ALL, 0, 49, 10, c.from, 0};
    bar->OnScroll(c.request, SB_VERT, copy);
    EXPECT_EQ(copy.nPos, c.to);
  }
}

}  // namespace
