// Items read from skin sections, and the gallery: a window of every item kind
// built from the test skin, with Japanese captions, kept as a screenshot.
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

#include "MessageBoxCapture.h"
#include "ScreenLock.h"
#include "SkinDefinition.h"
#include "SkinWindow.h"
#include "SkinWindowItemAnimation.h"
#include "SkinWindowItemButton.h"
#include "SkinWindowItemDigitImage.h"
#include "SkinWindowItemOverlay.h"
#include "SkinWindowItemStatic.h"
#include "SkinWindowItemStaticImage.h"
#include "XvfbScreenshot.h"

namespace {

using Keys = std::initializer_list<std::pair<const char*, ui::SkinValues>>;

ui::SkinSection Section(const char* name, Keys keys) {
  ui::SkinSection section(name);
  for (const auto& key : keys) section.Set(key.first, key.second);
  return section;
}

ui::SkinSection ButtonSection(Keys extra) {
  ui::SkinSection section = Section("Button", {{"Position", {"10", "20"}},
                                               {"Size", {"40", "20"}},
                                               {"NormalImage", {"P.png", "5", "100"}},
                                               {"HotNormalImage", {"P.png", "-1", "7"}},
                                               {"PushImage", {"P.png", "-1", "-1"}},
                                               {"HotPushImage", {"P.png", "60", "-1"}},
                                               {"PushImageShift", {"1", "2"}},
                                               {"ToolTipText", {"tip"}}});
  for (const auto& key : extra) section.Set(key.first, key.second);
  return section;
}

bool Same(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(SkinSectionTest, ButtonStatePicturesStackUnderTheNormalOne) {
  const ui::ButtonLook look = ui::ReadButtonLook(ButtonSection({}));
  EXPECT_TRUE(Same(look.pictures[0].rect, RECT{5, 100, 45, 120}));
  EXPECT_TRUE(Same(look.pictures[1].rect, RECT{5, 7, 45, 27}));     // x -1: the normal x
  EXPECT_TRUE(Same(look.pictures[2].rect, RECT{5, 140, 45, 160}));  // both -1: two heights down
  EXPECT_TRUE(Same(look.pictures[3].rect, RECT{60, 160, 100, 180}));
  EXPECT_EQ(look.tooltip_selected, "tip");  // ToolTipTextP falls back
  EXPECT_EQ(look.push_shift.x, 1);
  EXPECT_EQ(look.push_shift.y, 2);
  EXPECT_FALSE(look.divided);
  EXPECT_FALSE(look.auto_disable);
  EXPECT_FALSE(look.pictures[ui::kPictureIcon].IsSet());
}

TEST(SkinSectionTest, ButtonOptionalKeys) {
  const ui::ButtonLook look =
      ui::ReadButtonLook(ButtonSection({{"Image", {"I.png", "1", "2"}},
                                        {"ImageSize", {"16", "8"}},
                                        {"DisableImage", {"I.png", "30", "2"}},
                                        {"Width", {"0"}},
                                        {"Divide", {"6", "28", "6"}},
                                        {"Text", {"caption"}},
                                        {"TextP", {"selected"}},
                                        {"Font", {"MS UI Gothic", "12", "700"}},
                                        {"TextColor", {"1", "2", "3"}},
                                        {"TextIndent", {"4"}},
                                        {"AutoDisable", {"1"}}}));
  EXPECT_TRUE(Same(look.pictures[ui::kPictureIcon].rect, RECT{1, 2, 17, 10}));
  EXPECT_TRUE(Same(look.pictures[ui::kPictureIconSelected].rect, RECT{1, 2, 17, 10}));
  EXPECT_TRUE(Same(look.pictures[ui::kPictureDisabled].rect, RECT{30, 2, 46, 10}));
  EXPECT_FALSE(look.pictures[ui::kPictureDisabledSelected].IsSet());
  EXPECT_TRUE(look.divided);
  EXPECT_EQ(look.layout_width, 40);  // 0: the Size width
  EXPECT_EQ(look.left_cap, 6);
  EXPECT_EQ(look.right_cap, 6);
  EXPECT_EQ(look.text, "caption");
  EXPECT_EQ(look.text_selected, "selected");
  EXPECT_EQ(look.text_colour, RGB(1, 2, 3));
  EXPECT_EQ(look.font.lfWeight, 700);
  EXPECT_EQ(look.text_indent, 4);
  EXPECT_TRUE(look.auto_disable);

  ui::CSkinWindowItemButton wide(
      nullptr, 1, ButtonSection({{"Width", {"150"}}, {"Divide", {"6", "28", "6"}}}), nullptr);
  EXPECT_EQ(wide.Width(), 150);
  EXPECT_EQ(wide.Height(), 20);
}

TEST(SkinSectionTest, ImageItems) {
  const ui::NineGridLook overlay = ui::ReadOverlayLook(Section(
      "Frame",
      {{"Image", {"F.png", "0", "4", "8", "12", "1", "5", "9", "13"}}, {"Alpha", {"300"}}}));
  EXPECT_EQ(overlay.alpha, 255);
  EXPECT_EQ(overlay.xs[2], 8);
  EXPECT_EQ(overlay.ys[3], 13);

  const ui::SkinSection digits = Section("Digits", {{"Position", {"1", "2"}},
                                                    {"Size", {"50", "10"}},
                                                    {"Image", {"D.png", "0", "0", "100", "10"}},
                                                    {"ImageTilde", {"X.png", "0", "0", "0", "0"}}});
  ui::CSkinWindowItemDigitImage no_tilde(nullptr, 1, digits, nullptr);
  EXPECT_FALSE(no_tilde.show_tilde);
  ui::SkinSection with = digits;
  with.Set("ImageTilde", {"X.png", "100", "0", "110", "10"});
  ui::CSkinWindowItemDigitImage tilde(nullptr, 1, with, nullptr);
  EXPECT_TRUE(tilde.show_tilde);
  EXPECT_EQ(tilde.Width(), 50);

  const ui::AnimationLook animation =
      ui::ReadAnimationLook(Section("Anim", {{"Position", {"0", "0"}},
                                             {"Size", {"16", "16"}},
                                             {"Image", {"A.png", "0", "1000", "10", "3"}},
                                             {"Time", {"45"}}}));
  EXPECT_EQ(animation.origin.y, 1000);
  EXPECT_EQ(animation.columns * animation.rows, 30);
  EXPECT_EQ(animation.time, 45);
  EXPECT_TRUE(animation.text.text.empty());

  const ui::StaticImageLook tiled =
      ui::ReadStaticImageLook(Section("Tiled", {{"Position", {"0", "0"}},
                                                {"Size", {"16", "16"}},
                                                {"Image", {"S.png", "0", "0", "4", "4"}},
                                                {"Tile", {"1"}}}));
  EXPECT_TRUE(tiled.tile);

  const ui::StaticLook text =
      ui::ReadStaticLook(Section("Text", {{"Position", {"3", "4"}},
                                          {"Size", {"50", "20"}},
                                          {"Font", {"MS UI Gothic", "12", "400"}},
                                          {"Antialias", {"1"}},
                                          {"Text", {"a\\r\\nb"}}}));
  ui::CSkinWindowItemStatic item(nullptr, 1, text);
  EXPECT_EQ(item.Text(), "a\r\nb");
  EXPECT_TRUE(item.Antialias());
  EXPECT_EQ(item.Format(), static_cast<UINT>(DT_WORDBREAK));
}

// Mouse input from the real pointer is dropped: other test processes share
// the Xvfb pointer, and a hover it brings would change the pixels read here.
void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) continue;
    DispatchMessageA(&msg);
  }
}

// Every item kind of the test skin on one window.
class CGalleryWindow final : public ui::CSkinWindow {
 public:
  void Build() {
    const ui::SkinDefinition skin = ui::SkinDefinition::Load("Gallery.txt");
    LoadBase(skin.GetSection("Base"));
    SetUseRegion(true);
    int id = 2000;
    const auto next = [&](const char* name) {
      return ui::SkinItemDescriptor{name, static_cast<uint16_t>(id++)};
    };
    for (const char* name : {"GalleryTitle", "TwoLines", "GreyText"})
      ui::CreateStaticItem(skin, next(name), this);
    for (const char* name : {"OkButton", "HotButton", "WideButton", "IconButton", "DisabledButton"})
      ui::CreateButtonItem(skin, next(name), this);
    const ui::SkinItemDescriptor toggle = next("ToggleButton");
    CreateToggleButton(toggle.id, skin.GetSection(toggle));
    ui::CreateAnimationItem(skin, next("Spinner"), this);
    ui::CreateDigitImageItem(skin, next("Counter"), this);
    ui::CreateStaticImageItem(skin, next("Centred"), this);
    ui::CreateStaticImageItem(skin, next("Tiled"), this);
    ui::CreateResizableStaticImageItem(skin, next("Panel"), this);
    const ui::SkinItemDescriptor frame = next("Frame");
    CreateOverlay(frame.id, skin.GetSection(frame))->SetRect(0, 0, 480, 320);
  }
};

TEST(SkinGalleryTest, EveryItemKindFromTheTestSkin) {
  ovtest::CScreenLock screen_lock;
  ovtest::CMessageBoxCapture boxes;
  CGalleryWindow window;
  window.Build();
  const RECT client = window.GetDefaultClientRect();
  window.Create(0, nullptr, window.Title().c_str(), WS_POPUP | WS_VISIBLE, 40, 40, client.right,
                client.bottom);
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_EQ(window.GetWindowTextA(), "部品ギャラリー");
  ASSERT_EQ(window.Items().size(), 15u);

  window.FindItem(2002)->SetEnabled(false);  // the grey text
  window.FindItem(2007)->SetEnabled(false);  // the disabled button
  window.FindItem(2008)->OnNotify(ui::kItemSetSelected, 1, 0);
  auto* digits = static_cast<ui::CSkinWindowItemDigitImage*>(window.FindItem(2010));
  digits->maximum_digits = 6;
  digits->minimum_digits = 6;
  digits->SetValue(9402);
  auto* spinner = static_cast<ui::CSkinWindowItemAnimation*>(window.FindItem(2009));
  spinner->Start();
  spinner->OnTick(1000);
  spinner->OnTick(1000 + 120 * 5);
  EXPECT_EQ(spinner->Frame(), 5);
  // The pointer rests on the second button: drawn hot.
  SendMessageA(window.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(130, 50));
  auto* hot = static_cast<ui::CSkinWindowItemButton*>(window.FindItem(2004));
  EXPECT_TRUE(hot->IsHot());
  window.UpdateWindow();
  Pump();

  // The corners are cut away; the frame overlay lets the window show
  // through its magenta centre.
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(window.Handle(), region), ERROR);
  EXPECT_FALSE(PtInRegion(region, 1, 1));
  EXPECT_TRUE(PtInRegion(region, 240, 160));
  DeleteObject(region);

  // The Japanese captions are drawn with ink of their colour: white on the
  // title, grey (102) on the disabled black text.
  int white = 0;
  for (int y = 6; y < 26; ++y)
    for (int x = 16; x < 200; ++x)
      white += window.BackBuffer()->GetPixel(x, y) == RGB(255, 255, 255);
  EXPECT_GT(white, 40);
  int grey = 0;
  for (int y = 250; y < 270; ++y)
    for (int x = 16; x < 216; ++x)
      grey += window.BackBuffer()->GetPixel(x, y) == RGB(102, 102, 102);
  EXPECT_GT(grey, 20);

  std::string error;
  EXPECT_TRUE(ovtest::SaveXvfbScreenshot("gallery", &error)) << error;
  window.DestroyWindow();
  Pump();
}

}  // namespace
