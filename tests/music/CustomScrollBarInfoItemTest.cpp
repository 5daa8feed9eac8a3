// The skinned scroll bar's section read from a test skin: the part
// rectangles of both bars in every state, the empty rectangle out of range,
// and a section missing keys refused with the skin box.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "CustomScrollBarInfoItem.h"
#include "MessageBoxCapture.h"
#include "SkinException.h"
#include "SkinParser.h"

namespace {

ui::SkinDefinition LoadTestSkin() {
  std::ifstream file(OV_SCROLL_TEST_SKIN, std::ios::binary);
  std::stringstream read;
  read << file.rdbuf();
  // Kept in git with LF; the skin reader splits at CR LF.
  std::string bytes;
  for (char c : read.str()) {
    if (c == '\r') continue;
    if (c == '\n') bytes += '\r';
    bytes += c;
  }
  ui::SkinDefinition definition;
  ui::SkinParseOutput output;
  const std::string error = ui::ParseSkinLines(
      "ScrollBarTestSkin.txt", ui::SplitSkinLines(bytes, false), &definition, &output);
  EXPECT_EQ(error, "");
  return definition;
}

bool Same(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

struct PartCase {
  int bar, row, part;
  RECT rect;
};

TEST(CustomScrollBarInfoItem, ShippedSectionGivesItsPartRectangles) {
  const ui::SkinDefinition skin = LoadTestSkin();
  ASSERT_TRUE(skin.HasSection("CustomScrollBar"));
  ui::CCustomScrollBarInfoItem item;
  item.Load(skin.GetSection("CustomScrollBar"));
  EXPECT_EQ(item.ResourceId(), 131);
  EXPECT_EQ(item.ButtonSize().cx, 11);
  EXPECT_EQ(item.ButtonSize().cy, 11);
  EXPECT_TRUE(Same(item.CornerRect(), {15, 30, 26, 41}));
  const PartCase cases[] = {
      // Vertical thumb: 3-pixel caps around a 12-pixel middle.
      {1, 0, 5, {84, 0, 95, 3}},
      {1, 0, 6, {84, 3, 95, 15}},
      {1, 0, 7, {84, 15, 95, 18}},
      {1, 1, 5, {84, 18, 95, 21}},
      {1, 2, 7, {84, 51, 95, 54}},
      {1, 0, 0, {51, 0, 62, 11}},
      {1, 1, 0, {62, 0, 73, 11}},
      {1, 2, 1, {73, 11, 84, 22}},
      {1, 0, 2, {0, 50, 11, 61}},
      {1, 2, 3, {0, 50, 11, 61}},
      // Horizontal thumb along x.
      {0, 0, 5, {33, 0, 36, 11}},
      {0, 0, 6, {36, 0, 48, 11}},
      {0, 0, 7, {48, 0, 51, 11}},
      {0, 2, 6, {36, 22, 48, 33}},
      {0, 1, 0, {11, 0, 22, 11}},
      {0, 0, 1, {0, 11, 11, 22}},
      {0, 0, 2, {0, 30, 11, 41}},
      // Part 4 and everything out of range: the empty rectangle.
      {0, 0, 4, {-1, -1, -1, -1}},
      {0, 3, 0, {-1, -1, -1, -1}},
      {1, 0, 8, {-1, -1, -1, -1}},
      {2, 0, 0, {-1, -1, -1, -1}},
      {-1, 0, 0, {-1, -1, -1, -1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bar << "/" << c.row << "/" << c.part);
    const RECT& got = item.GetPartRect(c.bar, c.row, c.part);
    EXPECT_TRUE(Same(got, c.rect))
        << got.left << "," << got.top << "," << got.right << "," << got.bottom;
  }
}

TEST(CustomScrollBarInfoItem, SectionMissingKeysIsRefused) {
  const ui::SkinDefinition skin = LoadTestSkin();
  ovtest::CMessageBoxCapture boxes({IDOK, IDOK});
  ui::CCustomScrollBarInfoItem item;
  EXPECT_THROW(item.Load(skin.GetSection("BrokenScrollBar")), ui::CSkinWindowException);
  EXPECT_FALSE(boxes.Boxes().empty());
}

}  // namespace
