// Radio buttons and sliders read from the test skin, on a real skinned
// window under Xvfb, driven by mouse messages at computed points: what they
// report, what the group operations do and what the back buffer shows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DIB.h"
#include "MessageBoxCapture.h"
#include "RadioButton.h"
#include "ScreenLock.h"
#include "SkinDefinition.h"
#include "SkinException.h"
#include "SkinKeySchema.h"
#include "SkinWindow.h"
#include "Slider.h"
#include "XvfbScreenshot.h"
#include "_WindowPolicy.h"

namespace {

constexpr COLORREF kBase = RGB(30, 60, 90);
constexpr COLORREF kMaxTrack = RGB(200, 40, 40);
constexpr COLORREF kMinTrack = RGB(40, 200, 40);
constexpr COLORREF kSecondTrack = RGB(40, 40, 200);
constexpr COLORREF kDisabledTrack = RGB(128, 128, 128);
constexpr COLORREF kThumb = RGB(250, 250, 0);
constexpr COLORREF kDisabledThumb = RGB(90, 90, 90);
constexpr COLORREF kHotThumb = RGB(255, 160, 0);
constexpr COLORREF kRadioNormal = RGB(20, 20, 20);
constexpr COLORREF kRadioHotPush = RGB(250, 250, 250);
constexpr COLORREF kRadioPush = RGB(220, 220, 220);

enum : int { kRadioOne = 2000, kRadioTwo, kRadioThree, kScale, kPlain };
const int kGroup[] = {kRadioOne, kRadioTwo, kRadioThree};

// Where the sliders sit; rows 0 to 3 of a track are its magenta hole, rows
// 0 to 13 hold the thumb, whose first column is its hole.
constexpr POINT kScaleAt = {40, 60};
constexpr POINT kPlainAt = {40, 90};
constexpr int kTrackRow = 17;  // below the thumb
constexpr int kThumbRow = 8;
constexpr int kHoleRow = 2;

struct Reported {
  int id;
  int code;
  int value;
  bool operator==(const Reported& o) const {
    return id == o.id && code == o.code && value == o.value;
  }
};

std::ostream& operator<<(std::ostream& out, const Reported& r) {
  return out << "{" << r.id << ", " << r.code << ", " << r.value << "}";
}

std::wstring Widen(const std::string& text) {
  std::wstring wide(text.size(), L'\0');
  wide.resize(MultiByteToWideChar(932, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                                  static_cast<int>(wide.size())));
  return wide;
}

class CRadioSliderWindow final : public ui::CSkinWindow {
 public:
  void Build() {
    const ui::SkinDefinition skin = ui::SkinDefinition::Load("RadioSliderTest.txt");
    LoadBase(skin.GetSection("Base"));
    SetUseRegion(true);
    ui::CreateRadioButton(this, kRadioOne, skin.GetSection("RadioOne"));
    ui::CreateRadioButton(this, kRadioTwo, skin.GetSection("RadioTwo"));
    ui::CreateRadioButton(this, kRadioThree, skin.GetSection("RadioThree"));
    ui::CreateSlider(this, kScale, skin.GetSection("ScaleSlider"), ui::kSliderLayoutBoth);
    ui::CreateSlider(this, kPlain, skin.GetSection("PlainSlider"), ui::kSliderLayoutHorizontal);
  }
  bool Notify(int id, int code, int value) override {
    if (code != 14 && code != 15) reports.push_back({id, code, value});
    return CSkinWindow::Notify(id, code, value);
  }
  void OnCommand(UINT id, UINT code, HWND control) override {
    if (code == 1) commands.push_back(static_cast<int>(id));
    CSkinWindow::OnCommand(id, code, control);
  }

  std::vector<Reported> reports;
  std::vector<int> commands;
};

// Mouse input from the shared pointer is dropped: the cases send the mouse
// messages they mean.
void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) continue;
    DispatchMessageA(&msg);
  }
}

class RadioSliderWindowTest : public ::testing::Test {
 protected:
  // The framework as a program's start-up leaves it.
  static void SetUpTestSuite() {
    lib::wfc::Initialize(GetModuleHandleA(nullptr), "OvMusicTest", nullptr, nullptr);
    lib::wfc::InitThread();
  }
  static void TearDownTestSuite() {
    lib::wfc::TermThread();
    lib::wfc::Terminate();
  }
  void SetUp() override {
    window.Build();
    const RECT client = window.GetDefaultClientRect();
    window.Create(0, nullptr, window.Title().c_str(), WS_POPUP | WS_VISIBLE, 100, 100, client.right,
                  client.bottom);
    ASSERT_NE(window.Handle(), nullptr);
    window.UpdateWindow();
    Pump();
    ASSERT_NE(window.BackBuffer(), nullptr);
  }
  void TearDown() override {
    if (window.Handle()) window.DestroyWindow();
    Pump();
    EXPECT_TRUE(boxes.Boxes().empty());
  }

  ui::CSkinWindowItemSlider* Slider(int id) {
    return static_cast<ui::CSkinWindowItemSlider*>(window.FindItem(id));
  }
  ui::CSkinWindowItemRadioButton* Radio(int id) {
    return static_cast<ui::CSkinWindowItemRadioButton*>(window.FindItem(id));
  }
  INT_PTR Code(int id, int code, INT_PTR value, INT_PTR extra) {
    return window.FindItem(id)->OnNotify(code, value, extra);
  }
  void Send(UINT message, WPARAM wp, int x, int y) {
    SendMessageA(window.Handle(), message, wp, MAKELPARAM(x, y));
  }
  // The client point whose thumb centre stands for `value` on a 0 to 100
  // slider: the track is 100 pixels long and starts half a thumb in.
  static POINT ValuePoint(POINT slider, int value) {
    return POINT{slider.x + value + 5, slider.y + 10};
  }
  void Press(POINT pt) { Send(WM_LBUTTONDOWN, MK_LBUTTON, pt.x, pt.y); }
  void Drag(POINT pt) { Send(WM_MOUSEMOVE, MK_LBUTTON, pt.x, pt.y); }
  void Release(POINT pt) { Send(WM_LBUTTONUP, 0, pt.x, pt.y); }
  void Click(POINT pt) {
    Press(pt);
    Release(pt);
    Pump();
  }
  COLORREF Pixel(POINT item, int x, int y) {
    return window.BackBuffer()->GetPixel(item.x + x, item.y + y);
  }
  std::vector<Reported> SliderReports(int id) const {
    std::vector<Reported> out;
    for (const Reported& r : window.reports)
      if (r.id == id) out.push_back(r);
    return out;
  }

  ovtest::CScreenLock screen_lock;  // taken before the window is made
  ovtest::CMessageBoxCapture boxes;
  CRadioSliderWindow window;
};

TEST_F(RadioSliderWindowTest, SliderReportsMovesOnChangeAndEveryRelease) {
  auto* slider = Slider(kScale);
  Press(ValuePoint(kScaleAt, 30));
  EXPECT_TRUE(slider->IsDragging());
  Drag(ValuePoint(kScaleAt, 30));  // the same value: nothing to report
  // The program's setting loses to the hand on the thumb.
  Code(kScale, ui::kSliderSetValue, 0, 90);
  EXPECT_DOUBLE_EQ(slider->Position(), 0.3);
  Drag(ValuePoint(kScaleAt, 60));
  Drag(POINT{kScaleAt.x + 200, kScaleAt.y + 40});  // beyond the end, off the item
  Drag(ValuePoint(kScaleAt, 60));
  Release(ValuePoint(kScaleAt, 60));  // the value of the last move: still reported
  EXPECT_FALSE(slider->IsDragging());
  const std::vector<Reported> expected = {
      {kScale, 8, 30}, {kScale, 8, 60}, {kScale, 8, 100}, {kScale, 8, 60}, {kScale, 9, 60}};
  EXPECT_EQ(SliderReports(kScale), expected);
  EXPECT_EQ(Code(kScale, ui::kSliderGetValue, 0, 0), 60);
  // Released, the program sets the thumb again.
  Code(kScale, ui::kSliderSetValue, 0, 90);
  EXPECT_EQ(Code(kScale, ui::kSliderGetValue, 0, 0), 90);
}

TEST_F(RadioSliderWindowTest, SliderStepAndRangeCodes) {
  const struct {
    const char* name;
    int minimum;
    int maximum;
    int step;
    int set;
    int reads;
  } cases[] = {
      {"step 10", 0, 100, 10, 57, 50},
      {"falling range", 100, 0, 1, 30, 30},
      {"step below 1 becomes 1", 0, 100, -3, 41, 41},
      {"one-value range", 20, 20, 1, 50, 20},
  };
  for (const auto& c : cases) {
    Code(kPlain, ui::kSliderSetMinimum, 0, c.minimum);
    Code(kPlain, ui::kSliderSetMaximum, 0, c.maximum);
    Code(kPlain, ui::kSliderSetStep, 0, c.step);
    Code(kPlain, ui::kSliderSetValue, 0, c.set);
    EXPECT_EQ(Code(kPlain, ui::kSliderGetMinimum, 0, 0), c.minimum) << c.name;
    EXPECT_EQ(Code(kPlain, ui::kSliderGetMaximum, 0, 0), c.maximum) << c.name;
    EXPECT_EQ(Code(kPlain, ui::kSliderGetValue, 0, 0), c.reads) << c.name;
    EXPECT_GE(Slider(kPlain)->Range().step, 1) << c.name;
  }
  // A step of 10 under the hand: 57 is 50, and 58 is no change.
  Code(kPlain, ui::kSliderSetMinimum, 0, 0);
  Code(kPlain, ui::kSliderSetMaximum, 0, 100);
  Code(kPlain, ui::kSliderSetStep, 0, 10);
  Code(kPlain, ui::kSliderSetValue, 0, 0);
  Press(ValuePoint(kPlainAt, 57));
  Drag(ValuePoint(kPlainAt, 58));
  Release(ValuePoint(kPlainAt, 58));
  const std::vector<Reported> expected = {{kPlain, 8, 50}, {kPlain, 9, 50}};
  EXPECT_EQ(SliderReports(kPlain), expected);
}

TEST_F(RadioSliderWindowTest, SliderDrawsTrackPiecesAndThumbThroughTheirHoles) {
  Code(kScale, ui::kSliderSetValue, 0, 50);
  Code(kScale, ui::kSliderSetValue, 1, 30);
  window.UpdateWindow();
  Pump();
  const RECT thumb = Slider(kScale)->ThumbRect();
  EXPECT_EQ(thumb.left, 50);
  EXPECT_EQ(thumb.top, 0);
  EXPECT_EQ(thumb.right, 61);
  EXPECT_EQ(thumb.bottom, 21);
  const struct {
    const char* name;
    int x;
    int y;
    COLORREF colour;
  } probes[] = {
      {"second piece from the minimum end", 0, kTrackRow, kSecondTrack},
      {"second piece ends at 0.3 of 111", 32, kTrackRow, kSecondTrack},
      {"then the first piece", 33, kTrackRow, kMaxTrack},
      {"first piece to column 55", 55, kTrackRow, kMaxTrack},
      {"the rest from column 56", 56, kTrackRow, kMinTrack},
      {"to the maximum end", 110, kTrackRow, kMinTrack},
      {"the hole shows the window", 20, kHoleRow, kBase},
      {"the hole over the rest", 100, kHoleRow, kBase},
      {"thumb at the value", 51, kThumbRow, kThumb},
      {"thumb over the hole row", 55, kHoleRow, kThumb},
      {"thumb's last column", 60, kThumbRow, kThumb},
      {"thumb's hole shows the track", 50, kThumbRow, kMaxTrack},
      {"past the thumb", 61, kThumbRow, kMinTrack},
      {"below the thumb's 14 rows", 55, 14, kMaxTrack},
  };
  for (const auto& p : probes) EXPECT_EQ(Pixel(kScaleAt, p.x, p.y), p.colour) << p.name;
  // The area right of the item is the window's.
  EXPECT_EQ(Pixel(kScaleAt, 111, kTrackRow), kBase);

  // Hot thumb when the pointer rests on it, normal again off it.
  Send(WM_MOUSEMOVE, 0, kScaleAt.x + 55, kScaleAt.y + 5);
  EXPECT_TRUE(Slider(kScale)->IsHot());
  EXPECT_EQ(Pixel(kScaleAt, 55, kThumbRow), kHotThumb);
  Send(WM_MOUSEMOVE, 0, kScaleAt.x + 20, kScaleAt.y + 5);
  EXPECT_FALSE(Slider(kScale)->IsHot());
  EXPECT_EQ(Pixel(kScaleAt, 55, kThumbRow), kThumb);

  // Disabled: the whole track and the thumb from their disabled pieces, and
  // the mouse does nothing.
  window.FindItem(kScale)->SetEnabled(false);
  EXPECT_EQ(Pixel(kScaleAt, 10, kTrackRow), kDisabledTrack);
  EXPECT_EQ(Pixel(kScaleAt, 100, kTrackRow), kDisabledTrack);
  EXPECT_EQ(Pixel(kScaleAt, 20, kHoleRow), kBase);
  EXPECT_EQ(Pixel(kScaleAt, 55, kThumbRow), kDisabledThumb);
  Click(ValuePoint(kScaleAt, 80));
  EXPECT_TRUE(SliderReports(kScale).empty());
  EXPECT_EQ(Code(kScale, ui::kSliderGetValue, 0, 0), 50);
}

TEST_F(RadioSliderWindowTest, SliderSecondPieceEmptyOrFromTheFirstPicture) {
  // At 0 the second piece draws nothing: the rest covers the track.
  Code(kScale, ui::kSliderSetValue, 0, 100);
  window.UpdateWindow();
  EXPECT_EQ(Pixel(kScaleAt, 0, kTrackRow), kMaxTrack);
  EXPECT_EQ(Pixel(kScaleAt, 110, kTrackRow), kMaxTrack);
  // Without its own picture the second piece is cut from the first one.
  Code(kPlain, ui::kSliderSetValue, 1, 30);
  window.UpdateWindow();
  EXPECT_EQ(Pixel(kPlainAt, 0, kTrackRow), kMaxTrack);
  EXPECT_EQ(Pixel(kPlainAt, 32, kTrackRow), kMaxTrack);
  EXPECT_EQ(Pixel(kPlainAt, 33, kTrackRow), kMinTrack);
  EXPECT_EQ(Code(kPlain, ui::kSliderGetValue, 1, 0), 30);
  // A falling range: 0.7 of 111 pixels is 77, and the thumb's track of 100
  // puts it at 69.
  Code(kPlain, ui::kSliderSetValue, 1, 0);
  Code(kPlain, ui::kSliderSetMinimum, 0, 100);
  Code(kPlain, ui::kSliderSetMaximum, 0, 0);
  Code(kPlain, ui::kSliderSetValue, 0, 30);
  window.UpdateWindow();
  EXPECT_DOUBLE_EQ(Slider(kPlain)->Position(), 0.7);
  EXPECT_EQ(Pixel(kPlainAt, 76, kTrackRow), kMaxTrack);
  EXPECT_EQ(Pixel(kPlainAt, 77, kTrackRow), kMinTrack);
  EXPECT_EQ(Slider(kPlain)->ThumbRect().left, 69);
}

TEST_F(RadioSliderWindowTest, RadioGroupSelectsOneAndAClickedSelectedOneStays) {
  EXPECT_EQ(ui::GetCheckedRadioIndex(&window, kGroup, 3), -1);
  EXPECT_EQ(ui::GetCheckedRadioIndex(&window, kGroup, 0), -1);
  EXPECT_TRUE(ui::SelectRadio(&window, kGroup, 3, kRadioTwo));
  EXPECT_FALSE(ui::SelectRadio(&window, kGroup, 3, kRadioTwo));
  EXPECT_EQ(ui::GetCheckedRadioIndex(&window, kGroup, 3), 1);
  window.UpdateWindow();
  EXPECT_EQ(window.BackBuffer()->GetPixel(55, 35), kRadioPush);
  EXPECT_EQ(window.BackBuffer()->GetPixel(25, 35), kRadioNormal);

  // A click selects an unselected radio; clearing the others is the
  // window's business.
  Click(POINT{25, 35});
  EXPECT_TRUE(Radio(kRadioOne)->IsSelected());
  EXPECT_TRUE(Radio(kRadioTwo)->IsSelected());
  EXPECT_EQ(window.commands, std::vector<int>{kRadioOne});
  EXPECT_EQ(window.BackBuffer()->GetPixel(25, 35), kRadioHotPush);
  EXPECT_EQ(ui::GetCheckedRadioIndex(&window, kGroup, 3), 0);
  EXPECT_TRUE(ui::SelectRadio(&window, kGroup, 3, kRadioOne));
  EXPECT_FALSE(Radio(kRadioTwo)->IsSelected());

  // Clicked again it stays selected and reports the click again.
  Click(POINT{25, 35});
  EXPECT_TRUE(Radio(kRadioOne)->IsSelected());
  EXPECT_EQ(window.commands, (std::vector<int>{kRadioOne, kRadioOne}));

  // Pressed and released outside: no click, no selection.
  Press(POINT{85, 35});
  Release(POINT{150, 100});
  Pump();
  EXPECT_FALSE(Radio(kRadioThree)->IsSelected());
  EXPECT_EQ(window.commands.size(), 2u);

  // The code clears it, and "set selected" while pressed is ignored.
  Code(kRadioOne, ui::kItemSetSelected, 0, 0);
  EXPECT_FALSE(Radio(kRadioOne)->IsSelected());
  Press(POINT{25, 35});
  Code(kRadioOne, ui::kItemSetSelected, 1, 0);
  EXPECT_FALSE(Radio(kRadioOne)->IsSelected());
  Release(POINT{25, 35});
  Pump();
  EXPECT_TRUE(Radio(kRadioOne)->IsSelected());

  Code(kScale, ui::kSliderSetValue, 0, 70);
  Code(kScale, ui::kSliderSetValue, 1, 40);
  Code(kPlain, ui::kSliderSetValue, 0, 25);
  window.FindItem(kPlain)->SetEnabled(false);
  window.UpdateWindow();
  Pump();
  std::string error;
  EXPECT_TRUE(ovtest::SaveXvfbScreenshot("music_radio_slider", &error)) << error;
}

TEST(SliderSectionTest, LayoutModesFillTheirSets) {
  ovtest::CMessageBoxCapture boxes;
  const ui::SkinDefinition skin = ui::SkinDefinition::Load("RadioSliderTest.txt");
  const auto same = [](const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
  };

  ui::CSkinWindowItemSlider both(nullptr, 1, skin.GetSection("ScaleSlider"), nullptr,
                                 ui::kSliderLayoutBoth);
  EXPECT_TRUE(same(both.Rect(), RECT{40, 60, 151, 81}));
  EXPECT_TRUE(same(both.Vertical().rect, RECT{170, 24, 191, 114}));
  EXPECT_TRUE(same(both.Horizontal().pictures[ui::kSliderMaxSecond].rect, RECT{0, 170, 111, 191}));
  EXPECT_TRUE(same(both.Horizontal().pictures[ui::kSliderThumbHot].rect, RECT{144, 120, 155, 134}));
  // The vertical set has no second picture of its own.
  EXPECT_TRUE(same(both.Vertical().pictures[ui::kSliderMaxSecond].rect, RECT{0, 120, 21, 210}));
  EXPECT_TRUE(same(both.Vertical().pictures[ui::kSliderThumb].rect, RECT{120, 120, 134, 131}));
  EXPECT_EQ(both.GetText(), "置き換える割合");

  ui::CSkinWindowItemSlider plain(nullptr, 1, skin.GetSection("PlainSlider"), nullptr,
                                  ui::kSliderLayoutHorizontal);
  EXPECT_TRUE(same(plain.Rect(), RECT{40, 90, 151, 111}));
  EXPECT_TRUE(same(plain.Horizontal().pictures[ui::kSliderMaxSecond].rect, RECT{0, 120, 111, 141}));
  EXPECT_FALSE(plain.Vertical().pictures[ui::kSliderMax].IsSet());

  ui::CSkinWindowItemSlider vertical(nullptr, 1, skin.GetSection("PlainSlider"), nullptr,
                                     ui::kSliderLayoutVertical);
  EXPECT_TRUE(same(vertical.Vertical().rect, RECT{40, 90, 151, 111}));
  EXPECT_EQ(vertical.Width(), 0);
  EXPECT_TRUE(boxes.Boxes().empty());

  // Written under the plain names, a layout-2 section misses "Position.h".
  EXPECT_THROW(ui::CSkinWindowItemSlider(nullptr, 1, skin.GetSection("PlainNamesOnly"), nullptr,
                                         ui::kSliderLayoutBoth),
               ui::CSkinWindowException);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, Widen(ui::SkinKeyMissingText("PlainNamesOnly", "Position.h")));
  EXPECT_NE(boxes.Boxes()[0].text.find(L"PlainNamesOnly/Position.h"), std::wstring::npos);
}

}  // namespace
