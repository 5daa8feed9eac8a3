// The key schemas with their texts, the button's fallbacks and the value
// converters with their bounds.
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <string>
#include <vector>

#include "MessageBoxCapture.h"
#include "SkinDefinition.h"
#include "SkinException.h"
#include "SkinKeySchema.h"
#include "SkinValues.h"
#include "StringUtil.h"
#include "TestSupport.h"
#include "UiEnvironment.h"

namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new uitest::CUiEnvironment);

// The one section of a text, as a window loads it.
ui::SkinSection SectionOf(const std::string& body, const std::string& name = "Item") {
  uitest::CMemorySkinSource source;
  const HMODULE module = uitest::FreshModule();
  source.Add(module, "s.txt", uitest::SkinText({body.c_str()}));
  return ui::SkinDefinition::Load("s.txt", module).GetSection(name);
}

const char kButtonKeys[] =
    "Position=1,2;Size=16,8;NormalImage=P.png,0,0;PushImage=P.png,16,0;"
    "HotNormalImage=P.png,32,0;HotPushImage=P.png,48,0;PushImageShift=1,1;ToolTipText=tip;";
const char kBaseKeys[] = "Image=B.png,0,0,10,10;Title=t;CaptionHeight=20;Font=f,12,400;";

struct SchemaCase {
  const char* name;
  ui::SkinItemKind kind;
  std::string keys;
  const char* error;  // empty: passes
};

void PrintTo(const SchemaCase& c, std::ostream* os) { *os << c.name; }

class SkinSchemaTest : public ::testing::TestWithParam<SchemaCase> {};

TEST_P(SkinSchemaTest, PassesOrFailsWithItsText) {
  const SchemaCase& c = GetParam();
  ui::SkinSection section = SectionOf("Item{" + c.keys + "}");
  ovtest::CMessageBoxCapture boxes;
  std::string error;
  try {
    ui::CheckSkinItemSection(section, c.kind);
  } catch (const ui::CSkinWindowException& e) {
    error = e.what();
  }
  EXPECT_EQ(error, c.error);
  EXPECT_EQ(boxes.Boxes().size(), error.empty() ? 0u : 1u);
  if (!error.empty()) {
    EXPECT_EQ(boxes.Boxes()[0].caption, L"Skin Load");
  }
}

using K = ui::SkinItemKind;
const std::string kButton = kButtonKeys;
const std::string kBase = kBaseKeys;

INSTANTIATE_TEST_SUITE_P(
    Cases, SkinSchemaTest,
    ::testing::Values(
        SchemaCase{"WindowPasses", K::kWindow, kBase, ""},
        SchemaCase{"WindowWithoutCaptionHeight", K::kWindow,
                   "Image=B.png,0,0,1,1;Title=t;Font=f,1,1;",
                   "Item/CaptionHeightが定義されていません"},
        SchemaCase{"EmptyTitleValueCounts", K::kWindow,
                   "Image=B.png,0,0,1,1;Title=;CaptionHeight=1;Font=f,1,1;", ""},
        SchemaCase{"TableOrderDecides", K::kWindow, "Title=;", "Item/Imageが定義されていません"},
        SchemaCase{"ResizableNeedsItsKeys", K::kResizableWindow, kBase + "BorderWidth=1;",
                   "Item/DivPointが定義されていません"},
        SchemaCase{"ResizablePasses", K::kResizableWindow,
                   kBase + "BorderWidth=1;DivPoint=1,2,3,4;MinSize=1,1;LayoutSize=2,2;", ""},
        SchemaCase{"SizeWithOneValue", K::kText, "Position=0,0;Size=1;Font=f,1,1;",
                   "Item/Sizeのパラメータは 2個必要です"},
        SchemaCase{"SizeWithThreeValues", K::kText, "Position=0,0;Size=1,2,3;Font=f,1,1;",
                   "Item/Sizeのパラメータは 2個必要ですが、3個指定されています"},
        SchemaCase{"KeyWrittenTwice", K::kText, "Position=0,0;Size=1,2;Size=3,4;Font=f,1,1;",
                   "Item/Sizeのパラメータは 2個必要ですが、4個指定されています"},
        SchemaCase{"TextOptionalChecked", K::kText, "Position=0,0;Size=1,2;Font=f,1,1;Color=1,2;",
                   "Item/Colorのパラメータは 3個必要です"},
        SchemaCase{"OverlayNineGrid", K::kOverlay, "Image=P.png,1,2,3,4,5,6,7;",
                   "Item/Imageのパラメータは 9個必要です"},
        SchemaCase{"OverlayAlpha", K::kOverlay, "Image=P.png,1,2,3,4,5,6,7,8;Alpha=1,2;",
                   "Item/Alphaのパラメータは 1個必要ですが、2個指定されています"},
        SchemaCase{"EditFrame", K::kEditBox, "Position=0,0;Size=1,2;Font=f,1,1;Frame=P.png,1;",
                   "Item/Frameのパラメータは 9個必要です"},
        SchemaCase{"AnimationTextBlock", K::kAnimation,
                   "Position=0,0;Size=1,2;Image=P.png,0,0,1,1;Time=1;Text=t;",
                   "Item/TextPositionが定義されていません"},
        SchemaCase{"DigitTilde", K::kDigitImage, "Position=0,0;Size=1,2;Image=P.png,0,0,1,1;",
                   "Item/ImageTildeが定義されていません"},
        SchemaCase{"StaticImageTile", K::kStaticImage,
                   "Position=0,0;Size=1,2;Image=P.png,0,0,1,1;Tile=a,b;",
                   "Item/Tileのパラメータは 1個必要ですが、2個指定されています"},
        SchemaCase{"NineGridImage", K::kNineGridImage,
                   "Position=0,0;Size=1,2;Image=P.png,1,2,3,4,5,6,7,8;", ""},
        SchemaCase{"ButtonPasses", K::kButton, kButton + "AutoDisable=1,2,3;", ""},
        SchemaCase{"ButtonImageNeedsItsSize", K::kButton, kButton + "Image=P.png,0,0;",
                   "Item/ImageSizeが定義されていません"},
        SchemaCase{"ButtonWidthWithoutDivide", K::kButton, kButton + "Width=3;",
                   "Item/Divideが定義されていません"},
        SchemaCase{"ButtonDivideWithoutWidth", K::kButton, kButton + "Divide=1,2,3;",
                   "Item/Widthが定義されていません"},
        SchemaCase{"ButtonTextNeedsFontAndColour", K::kButton, kButton + "Text=t;",
                   "Item/Fontが定義されていません"},
        SchemaCase{"ButtonTextPNeedsTheTextKeys", K::kButton, kButton + "TextP=t;",
                   "Item/Textが定義されていません"},
        SchemaCase{"ButtonDisableImage", K::kButton, kButton + "DisableImage=P.png;",
                   "Item/DisableImageのパラメータは 3個必要です"},
        SchemaCase{"ButtonFallbackIsTested", K::kButton, kButton + "ToolTipText=second;",
                   "Item/ToolTipTextのパラメータは 1個必要ですが、2個指定されています"},
        SchemaCase{"ButtonListPasses", K::kButtonList,
                   "Position=0,0;Size=1,2;Font=f,1,1;NormalButton=P.png,0,0,1,1;"
                   "NormalHotButton=P.png,0,0,1,1;PushedButton=P.png,0,0,1,1;"
                   "PushedHotButton=P.png,0,0,1,1;NormalHeader=P.png,1,2,3,4,5,6;"
                   "PushedHeader=P.png,1,2,3,4,5,6;NormalRowCount=1;ActiveRow=P.png,1,2,3,4,5,6;"
                   "LabelCount=0;",
                   ""},
        SchemaCase{"ScrollBarOrder", K::kScrollBar, "Position=0,0;",
                   "Item/Typeが定義されていません"}),
    ovtest::CaseName());

TEST(SkinSchemaFallbackTest, ButtonTakesToolTipTextForToolTipTextPAndImageForImageP) {
  ui::SkinSection section =
      SectionOf(std::string("Item{") + kButtonKeys + "Image=P.png,3,4;ImageSize=2,2;}");
  ui::CheckSkinItemSection(section, ui::SkinItemKind::kButton);
  EXPECT_EQ(section.GetValues("ToolTipTextP"), (ui::SkinValues{"tip"}));
  EXPECT_EQ(section.GetValues("ImageP"), (ui::SkinValues{"P.png", "3", "4"}));
}

TEST(SkinSchemaFallbackTest, MissingFallbackIsCreatedEmptyAndFailsTheCount) {
  ui::SkinSection section = SectionOf("Item{A=1;}");
  ovtest::CMessageBoxCapture boxes;
  EXPECT_THROW(ui::CheckSkinKeyWithFallback(section, {"K", {ui::kSkinText}}, "F"),
               ui::CSkinWindowException);
  EXPECT_TRUE(section.Has("F"));
  EXPECT_TRUE(section.GetValues("K").empty());
  EXPECT_EQ(ToMultiByte(boxes.Boxes().at(0).text), "Item/Kのパラメータは 1個必要です");
}

TEST(SkinValuesTest, ConvertsPointsRectsColoursImagesAndFonts) {
  const ui::SkinSection s = SectionOf(
      "Item{Position=10,20;Size=30,40;Rect=1,2,3,4;Color=256,-1,0x20;Big=99999999999;"
      "Image=Parts.png,640,643,688,690,230,234,249,250;Font=\"MS UI Gothic\",12,700;"
      "Mixed=12px,abc;}");
  const POINT p = ui::PointFromValues(s, "Position");
  EXPECT_EQ(p.x, 10);
  EXPECT_EQ(p.y, 20);
  const RECT r = ui::RectFromValues(s, "Rect");
  EXPECT_EQ(r.left + r.top * 10 + r.right * 100 + r.bottom * 1000, 4321);
  const RECT ps = ui::RectFromPositionSize(s);
  EXPECT_EQ(ps.right, 40);
  EXPECT_EQ(ps.bottom, 60);
  EXPECT_EQ(ui::ColorFromValues(s, "Color"), RGB(0, 255, 0));
  EXPECT_EQ(ui::IntFromValues(s, "Big"), 2147483647);
  EXPECT_EQ(ui::IntFromValues(s, "Mixed"), 12);
  EXPECT_EQ(ui::IntFromValues(s, "Mixed", 1), 0);
  const ui::SkinImageRef image = ui::ImageRefFromValues(s, "Image");
  EXPECT_EQ(image.name, "Parts.png");
  EXPECT_EQ(image.rect.left, 640);
  EXPECT_EQ(image.rect.bottom, 690);
  const RECT ys = ui::RectFromValues(s, "Image", 5);
  EXPECT_EQ(ys.left, 230);
  EXPECT_EQ(ys.bottom, 250);
  const LOGFONTA f = ui::LogFontFromValues(s, "Font");
  EXPECT_EQ(f.lfHeight, -12);
  EXPECT_EQ(f.lfWidth, 0);
  EXPECT_EQ(f.lfWeight, 700);
  EXPECT_EQ(f.lfCharSet, DEFAULT_CHARSET);
  EXPECT_EQ(f.lfQuality, ANTIALIASED_QUALITY);
  EXPECT_EQ(f.lfItalic + f.lfUnderline + f.lfStrikeOut + f.lfPitchAndFamily, 0);
  EXPECT_STREQ(f.lfFaceName, "MS UI Gothic");
}

struct BoundsCase {
  const char* name;
  std::function<void(const ui::SkinSection&)> read;
  const char* error;
};

void PrintTo(const BoundsCase& c, std::ostream* os) { *os << c.name; }

class SkinValuesBoundsTest : public ::testing::TestWithParam<BoundsCase> {};

TEST_P(SkinValuesBoundsTest, ShortListsThrowTheSchemaText) {
  const ui::SkinSection s = SectionOf("Item{One=1;Three=1,2,3;AutoDisable=;Empty");
  ovtest::CMessageBoxCapture boxes;
  try {
    GetParam().read(s);
    FAIL() << "read past the end";
  } catch (const ui::CSkinWindowException& e) {
    EXPECT_STREQ(e.what(), GetParam().error);
  }
  EXPECT_EQ(boxes.Boxes().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SkinValuesBoundsTest,
    ::testing::Values(
        BoundsCase{"Point", [](const auto& s) { ui::PointFromValues(s, "One"); },
                   "Item/Oneのパラメータは 2個必要です"},
        BoundsCase{"PointAtPosition", [](const auto& s) { ui::PointFromValues(s, "Three", 2); },
                   "Item/Threeのパラメータは 4個必要です"},
        BoundsCase{"Rect", [](const auto& s) { ui::RectFromValues(s, "Three"); },
                   "Item/Threeのパラメータは 4個必要です"},
        BoundsCase{"Colour", [](const auto& s) { ui::ColorFromValues(s, "One"); },
                   "Item/Oneのパラメータは 3個必要です"},
        BoundsCase{"Image", [](const auto& s) { ui::ImageRefFromValues(s, "Three"); },
                   "Item/Threeのパラメータは 5個必要です"},
        BoundsCase{"Font", [](const auto& s) { ui::LogFontFromValues(s, "One"); },
                   "Item/Oneのパラメータは 3個必要です"},
        BoundsCase{"NoValues", [](const auto& s) { ui::IntFromValues(s, "Empty"); },
                   "Item/Emptyのパラメータは 1個必要です"},
        BoundsCase{"AutoDisableHasNoSchema",
                   [](const auto& s) { ui::IntFromValues(s, "AutoDisable", 1); },
                   "Item/AutoDisableのパラメータは 2個必要です"},
        BoundsCase{"MissingKey", [](const auto& s) { ui::PointFromValues(s, "Size"); },
                   "Item/Sizeが定義されていません"},
        BoundsCase{"RectFromMissingSize", [](const auto& s) { ui::RectFromPositionSize(s, "One"); },
                   "Item/Oneのパラメータは 2個必要です"}),
    ovtest::CaseName());

TEST(SkinValuesTest, FaceNameMustFitItsField) {
  const std::string fits(31, 'F');
  const std::string too_long(32, 'F');
  const ui::SkinSection s = SectionOf("Item{Fits=" + fits + ",1,1;Long=" + too_long + ",1,1;}");
  EXPECT_STREQ(ui::LogFontFromValues(s, "Fits").lfFaceName, fits.c_str());
  EXPECT_THROW(ui::LogFontFromValues(s, "Long"), std::bad_alloc);
}

}  // namespace
