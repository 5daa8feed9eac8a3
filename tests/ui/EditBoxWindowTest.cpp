// Edit boxes over real EDIT and rich-edit controls under Xvfb: typed
// characters, pastes from the clipboard and dropped files go through the
// real messages, and the control's text is what each case checks. Also the
// keys, focus, drawing while the control is hidden, reading the section,
// and a screenshot of every kind of box with Japanese text.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "MessageBoxCapture.h"
#include "ScreenLock.h"
#include "SkinDefinition.h"
#include "SkinException.h"
#include "SkinWindow.h"
#include "SkinWindowItemEditBox.h"
#include "StringUtil.h"
#include "XvfbScreenshot.h"

namespace {

using ui::CSkinWindowItemEditBox;

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kEdge = RGB(120, 150, 190);
constexpr COLORREF kDisabledEdge = RGB(180, 180, 180);

// Mouse input from the real pointer is dropped: other test processes move
// it over their own windows at the same place.
void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) continue;
    DispatchMessageW(&msg);
  }
}

class CEditTestWindow final : public ui::CSkinWindow {
 public:
  void OnAcceptOrCancel(int id, bool accept) override { answers.emplace_back(id, accept); }
  std::vector<std::pair<int, bool>> answers;
};

// Flags a case gives its box before the control is made.
enum BoxFlags : unsigned {
  kPlain = 0,
  kRich = 1u << 0,
  kWide = 1u << 1,
  kSingle = 1u << 2,
  kAlnum = 1u << 3,
  kPassword = 1u << 4,
  kMulti = 1u << 5,
  kNumber = 1u << 6,
  kNoStrip = 1u << 7,
  kReadOnly = 1u << 8,
};

void Configure(CSkinWindowItemEditBox* box, unsigned flags) {
  if (flags & kRich) box->SetRichEdit(true);
  if (flags & kWide) box->SetUnicode(true);
  if (flags & kSingle) box->SetPasteFilter();
  if (flags & kAlnum) box->SetUpperAlphanumeric(true);
  if (flags & kPassword) box->SetPassword();
  if (flags & kMulti) box->SetMultiLine(true);
  if (flags & kNumber) box->SetNumber(true);
  if (flags & kNoStrip) box->SetStripControls(false);
  if (flags & kReadOnly) box->SetReadOnly(true);
}

std::string Describe(unsigned flags) {
  static const char* const kNames[] = {"rich",  "wide",   "single",  "alnum",   "password",
                                       "multi", "number", "nostrip", "readonly"};
  std::string out = "plain";
  for (unsigned i = 0; i < 9; ++i)
    if (flags & (1u << i)) out += std::string("+") + kNames[i];
  return out;
}

void PutClipboardText(HWND owner, const std::wstring& text) {
  ASSERT_TRUE(OpenClipboard(owner));
  EmptyClipboard();
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  ASSERT_NE(memory, nullptr);
  std::memcpy(GlobalLock(memory), text.c_str(), bytes);
  GlobalUnlock(memory);
  SetClipboardData(CF_UNICODETEXT, memory);  // the clipboard owns it now
  CloseClipboard();
}

// A clipboard holding only a format of our own: no text in any form.
void PutClipboardWithoutText(HWND owner) {
  ASSERT_TRUE(OpenClipboard(owner));
  EmptyClipboard();
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, 4);
  ASSERT_NE(memory, nullptr);
  SetClipboardData(RegisterClipboardFormatA("OvEditTestPrivate"), memory);
  CloseClipboard();
}

// The block a shell drop hands over: DROPFILES, then the wide names, each
// ended, and one more terminator.
HGLOBAL MakeDrop(const std::vector<std::wstring>& names) {
  size_t units = 1;
  for (const auto& name : names) units += name.size() + 1;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + units * 2);
  auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
  header->pFiles = sizeof(DROPFILES);
  header->fWide = TRUE;
  auto* out = reinterpret_cast<wchar_t*>(reinterpret_cast<BYTE*>(header) + sizeof(DROPFILES));
  for (const auto& name : names) {
    std::memcpy(out, name.c_str(), name.size() * 2);
    out += name.size() + 1;
  }
  GlobalUnlock(memory);
  return memory;
}

class EditBoxWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { skin = ui::SkinDefinition::Load("EditBoxes.txt"); }
  void TearDown() override {
    if (window.Handle()) window.DestroyWindow();
    Pump();
  }

  // Configured before it joins the window: the style flags count when the
  // control is made, which is at once when the window exists.
  CSkinWindowItemEditBox* AddBox(const char* section, int id, unsigned flags) {
    auto box = std::make_unique<CSkinWindowItemEditBox>(&window, id, skin.GetSection(section),
                                                        window.GetItemResourceObject());
    Configure(box.get(), flags);
    return static_cast<CSkinWindowItemEditBox*>(window.AddItem(std::move(box)));
  }

  void Create() {
    window.LoadBase(skin.GetSection("Base"));
    const RECT client = window.GetDefaultClientRect();
    window.Create(0, nullptr, window.Title().c_str(), WS_POPUP | WS_VISIBLE, 60, 60, client.right,
                  client.bottom);
    window.UpdateWindow();
    Pump();
  }

  // Types each character as the keyboard would reach the box: UTF-16 units
  // to a wide box, code page 932 bytes to a narrow one.
  static void Type(CSkinWindowItemEditBox* box, const std::wstring& text) {
    for (const wchar_t ch : text) {
      if (box->IsUnicode()) {
        PostMessageW(box->Handle(), WM_CHAR, ch, 1);
        continue;
      }
      for (const char byte : ToMultiByte(std::wstring(1, ch)))
        PostMessageA(box->Handle(), WM_CHAR, static_cast<BYTE>(byte), 1);
    }
    Pump();
  }

  static void Key(CSkinWindowItemEditBox* box, UINT key, bool shift = false, bool control = false) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    keys[VK_CONTROL] = control ? 0x80 : 0;
    SetKeyboardState(keys);
    SendMessageW(box->Handle(), WM_KEYDOWN, key, 1);
    keys[VK_SHIFT] = keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    Pump();
  }

  COLORREF Pixel(int x, int y) { return window.BackBuffer()->GetPixel(x, y); }

  ovtest::CScreenLock screen_lock;  // taken before any window is made
  ovtest::CMessageBoxCapture boxes;
  ui::SkinDefinition skin;
  CEditTestWindow window;
};

TEST_F(EditBoxWindowTest, TypedCharactersPassTheFilters) {
  struct Case {
    unsigned flags;
    std::wstring typed;
    std::wstring shown;
  };
  const Case cases[] = {
      {kPlain, L"abc", L"abc"},
      {kPlain, L"日本語テキスト", L"日本語テキスト"},
      {kRich, L"日本語テキスト", L"日本語テキスト"},
      {kWide, L"日本語テキスト", L"日本語テキスト"},
      {kPlain, L"a\x1b\tb\r", L"ab"},  // Escape, Tab and Return are no text
      {kMulti, L"a\rb", L"a\r\nb"},
      {kWide | kMulti, L"一\r二", L"一\r\n二"},
      {kAlnum, L"ab-1Z_9", L"AB1Z9"},
      {kWide | kAlnum, L"xy日7", L"XY7"},
      {kRich | kAlnum, L"q日r", L"QR"},
      {kSingle, L"a日bｱ", L"abｱ"},  // the half-width katakana is one byte
      {kWide | kSingle, L"a日bｱ", L"abｱ"},
      {kRich | kSingle, L"漢a字b", L"ab"},
      {kPassword, L"p日w", L"pw"},
      {kNumber, L"1a2", L"12"},
      {kReadOnly, L"abc", L""},
      {kRich | kReadOnly, L"a日", L""},
      {kWide | kReadOnly, L"a日", L""},
      {kRich | kMulti, L"行\rb", L"行\r\nb"},
  };
  int id = 2100;
  for (const Case& c : cases) {
    SCOPED_TRACE(Describe(c.flags) + " " + ToMultiByte(c.typed));
    CSkinWindowItemEditBox* box = AddBox("NameEdit", id++, c.flags);
    if (!window.Handle()) Create();
    Type(box, c.typed);
    EXPECT_EQ(box->GetTextW(), c.shown);
    EXPECT_EQ(box->GetText(), ToMultiByte(c.shown));
    box->SetVisible(false);
  }
}

TEST_F(EditBoxWindowTest, TheLimitOfTheSectionHolds) {
  CSkinWindowItemEditBox* code = AddBox("CodeEdit", 2005, kAlnum);     // Limit 8
  CSkinWindowItemEditBox* wide = AddBox("PasswordEdit", 2004, kWide);  // Limit 16
  Create();
  Type(code, L"abcdefghij");
  EXPECT_EQ(code->GetText(), "ABCDEFGH");
  Type(wide, L"あいうえおかきくけこさしすせそたちつ");
  EXPECT_EQ(wide->GetTextW(), L"あいうえおかきくけこさしすせそた");
}

TEST_F(EditBoxWindowTest, PastesTypeTheFilteredClipboardText) {
  struct Case {
    unsigned flags;
    std::wstring clipboard;
    std::wstring shown;
  };
  const Case cases[] = {
      {kAlnum, L"ab-12", L"AB12"},
      {kSingle, L"aＡb日c", L"abc"},
      {kWide | kSingle, L"aＡb日c", L"abc"},
      {kPassword, L"pass語word", L"password"},
      {kPlain, L"a\tb\r\nc", L"abc"},  // control characters stripped
      {kMulti, L"a\tb\r\nc", L"a\tb\r\nc"},
      {kWide | kMulti, L"一\r\n二", L"一\r\n二"},
      {kPlain, L"日本語の文", L"日本語の文"},
      {kRich, L"日本語の文", L"日本語の文"},
      {kWide, L"日本語の文", L"日本語の文"},
      {kNoStrip, L"x\ty", L"x\ty"},  // unfiltered: the control's own paste
      // A Ctrl+V inside the text would paste again, without end.
      {kAlnum | kNoStrip,
       L"a\x16"
       L"b",
       L"AB"},
      {kReadOnly, L"abc", L""},
  };
  int id = 2200;
  for (const Case& c : cases) {
    SCOPED_TRACE(Describe(c.flags) + " " + ToMultiByte(c.clipboard));
    CSkinWindowItemEditBox* box = AddBox("NameEdit", id++, c.flags);
    if (!window.Handle()) Create();
    PutClipboardText(window.Handle(), c.clipboard);
    SendMessageW(box->Handle(), WM_PASTE, 0, 0);
    Pump();
    EXPECT_EQ(box->GetTextW(), c.shown);
    box->SetVisible(false);
  }
}

TEST_F(EditBoxWindowTest, PasteKeysAndAClipboardWithoutText) {
  CSkinWindowItemEditBox* plain = AddBox("NameEdit", 2001, kSingle);
  CSkinWindowItemEditBox* rich = AddBox("RichEdit", 2002, kRich | kSingle);
  CSkinWindowItemEditBox* wide = AddBox("WideEdit", 2003, kWide | kAlnum);
  Create();
  PutClipboardText(window.Handle(), L"ab日c");
  // Ctrl+V reaches a plain control as a character, a rich one as a key.
  Type(plain, L"\x16");
  EXPECT_EQ(plain->GetText(), "abc");
  Key(rich, 'V', false, true);
  EXPECT_EQ(rich->GetText(), "abc");
  Key(wide, VK_INSERT, true, false);
  EXPECT_EQ(wide->GetTextW(), L"ABC");

  PutClipboardWithoutText(window.Handle());
  for (CSkinWindowItemEditBox* box : {plain, rich, wide}) {
    const std::wstring before = box->GetTextW();
    SendMessageW(box->Handle(), WM_PASTE, 0, 0);
    Pump();
    EXPECT_EQ(box->GetTextW(), before);
  }
}

TEST_F(EditBoxWindowTest, DroppedFilesSetTheFirstName) {
  CSkinWindowItemEditBox* plain = AddBox("NameEdit", 2001, kPlain);
  CSkinWindowItemEditBox* rich = AddBox("RichEdit", 2002, kRich);
  CSkinWindowItemEditBox* wide = AddBox("WideEdit", 2003, kWide);
  Create();
  const std::wstring long_name = L"C:\\" + std::wstring(290, L'a') + L"\\曲.mp3";
  struct Case {
    CSkinWindowItemEditBox* box;
    std::vector<std::wstring> names;
    std::wstring shown;
  };
  const Case cases[] = {
      {plain, {L"C:\\音楽\\一曲目.mp3", L"C:\\音楽\\二曲目.mp3"}, L"C:\\音楽\\一曲目.mp3"},
      {rich, {L"D:\\フォルダ"}, L"D:\\フォルダ"},
      {wide, {L"E:\\歌\\a.wma", L"E:\\b.wma", L"E:\\c.wma"}, L"E:\\歌\\a.wma"},
      // Longer than the old fixed buffers: taken whole.
      {plain, {long_name}, long_name},
      {wide, {long_name + long_name}, long_name + long_name},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToMultiByte(c.shown));
    ASSERT_TRUE(PostMessageW(c.box->Handle(), WM_DROPFILES,
                             reinterpret_cast<WPARAM>(MakeDrop(c.names)), 0));
    Pump();
    EXPECT_EQ(c.box->GetTextW(), c.shown);
  }
}

TEST_F(EditBoxWindowTest, TabWrapsAmongTheTabStopsAndReturnAndEscapeAnswer) {
  CSkinWindowItemEditBox* first = AddBox("NameEdit", 2001, kPlain);
  CSkinWindowItemEditBox* middle = AddBox("RichEdit", 2002, kRich);
  CSkinWindowItemEditBox* skipped = AddBox("WideEdit", 2003, kWide);
  CSkinWindowItemEditBox* last = AddBox("PasswordEdit", 2004, kPassword);
  Create();
  skipped->SetEnabled(false);
  struct Case {
    CSkinWindowItemEditBox* from;
    bool shift;
    CSkinWindowItemEditBox* to;
  };
  const Case cases[] = {
      {first, false, middle}, {middle, false, last},  // the disabled box is passed over
      {last, false, first},                           // wraps to the first
      {first, true, last},                            // and back
      {last, true, middle},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.from->Id()) + (c.shift ? " shift" : ""));
    SetFocus(c.from->Handle());
    Key(c.from, VK_TAB, c.shift);
    EXPECT_EQ(GetFocus(), c.to->Handle());
    EXPECT_EQ(window.FocusItem(), c.to);
  }
  // Alone among the children, a box keeps the focus.
  middle->SetEnabled(false);
  last->SetEnabled(false);
  SetFocus(first->Handle());
  Key(first, VK_TAB);
  EXPECT_EQ(GetFocus(), first->Handle());

  Key(first, VK_RETURN);
  Key(first, VK_ESCAPE);
  EXPECT_EQ(window.answers, (std::vector<std::pair<int, bool>>{{2001, true}, {2001, false}}));

  first->SetText("select me");
  Key(first, 'A', false, true);
  DWORD from = 1, to = 0;
  SendMessageW(first->Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&from),
               reinterpret_cast<LPARAM>(&to));
  EXPECT_EQ(from, 0u);
  EXPECT_EQ(to, 9u);
}

TEST_F(EditBoxWindowTest, TheWindowGivesTheFocusBackToTheBoxThatHadIt) {
  AddBox("NameEdit", 2001, kPlain);
  CSkinWindowItemEditBox* rich = AddBox("RichEdit", 2002, kRich);
  Create();
  SetFocus(rich->Handle());
  Pump();
  EXPECT_EQ(window.FocusItem(), rich);
  SetFocus(window.Handle());
  Pump();
  EXPECT_EQ(GetFocus(), rich->Handle());
}

TEST_F(EditBoxWindowTest, LongWideTextRoundTripsAndOutlivesTheControl) {
  CSkinWindowItemEditBox* wide = AddBox("WideEdit", 2003, kWide | kMulti);
  CSkinWindowItemEditBox* rich = AddBox("RichEdit", 2002, kRich);
  Create();
  std::wstring text;
  for (int i = 0; i < 120; ++i) text += L"曲フォルダ" + std::to_wstring(i) + L"\r\n";
  ASSERT_GT(text.size(), 900u);
  wide->SetTextW(text);
  EXPECT_EQ(wide->GetTextW(), text);
  EXPECT_EQ(wide->GetText(), ToMultiByte(text));
  const std::string narrow = ToMultiByte(std::wstring(300, L'字'));
  rich->SetText(narrow);
  EXPECT_EQ(rich->GetText(), narrow);

  window.DestroyWindow();
  Pump();
  EXPECT_EQ(wide->GetTextW(), text);
  EXPECT_EQ(rich->GetText(), narrow);
}

TEST_F(EditBoxWindowTest, VisibilityFollowsTheKindOfControl) {
  CSkinWindowItemEditBox* plain = AddBox("NameEdit", 2001, kPlain);
  CSkinWindowItemEditBox* rich = AddBox("RichEdit", 2002, kRich);
  Create();
  struct Case {
    CSkinWindowItemEditBox* box;
    bool visible, enabled, read_only;
    bool shown, control_enabled;
  };
  // A plain control is shown only while the box takes input; a rich one
  // stays while the box is visible, disabled or read-only as the box is.
  const Case cases[] = {
      {plain, true, true, false, true, true}, {plain, true, false, false, false, false},
      {plain, true, true, true, false, true}, {plain, false, true, false, false, true},
      {rich, true, true, false, true, true},  {rich, true, false, false, true, false},
      {rich, true, true, true, true, true},   {rich, false, true, false, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.box->Id()) + (c.visible ? " visible" : " hidden") +
                 (c.enabled ? " enabled" : " disabled") + (c.read_only ? " read-only" : ""));
    c.box->SetVisible(c.visible);
    c.box->SetEnabled(c.enabled);
    c.box->SetReadOnly(c.read_only);
    EXPECT_EQ(c.box->ControlShown(), c.shown);
    EXPECT_EQ(IsWindowEnabled(c.box->Handle()) != FALSE, c.control_enabled);
    const bool read_only = (GetWindowLongPtrA(c.box->Handle(), GWL_STYLE) & ES_READONLY) != 0;
    EXPECT_EQ(read_only, c.read_only);
  }
}

TEST_F(EditBoxWindowTest, ScrollCodesAndTheInputMethodReachTheControl) {
  CSkinWindowItemEditBox* wide = AddBox("WideEdit", 2003, kWide | kMulti);
  CSkinWindowItemEditBox* plain = AddBox("NameEdit", 2001, kPlain);
  plain->SetImeAllowed(false);
  Create();
  std::wstring lines;
  for (int i = 0; i < 40; ++i) lines += L"行" + std::to_wstring(i) + L"\r\n";
  wide->SetTextW(lines);
  wide->OnNotify(WM_VSCROLL, SB_TOP, 0);
  EXPECT_EQ(SendMessageW(wide->Handle(), EM_GETFIRSTVISIBLELINE, 0, 0), 0);
  wide->OnNotify(WM_VSCROLL, SB_PAGEDOWN, 0);
  EXPECT_GT(SendMessageW(wide->Handle(), EM_GETFIRSTVISIBLELINE, 0, 0), 0);

  EXPECT_EQ(ImmGetContext(plain->Handle()), nullptr);
  plain->SetImeAllowed(true);
  HIMC context = ImmGetContext(plain->Handle());
  EXPECT_NE(context, nullptr);
  ImmReleaseContext(plain->Handle(), context);
}

TEST_F(EditBoxWindowTest, AReplacedItemTakesItsControlAlong) {
  CSkinWindowItemEditBox* old = AddBox("NameEdit", 2001, kPlain);
  Create();
  const HWND control = old->Handle();
  ASSERT_TRUE(IsWindow(control));
  CSkinWindowItemEditBox* fresh = AddBox("NameEdit", 2001, kPlain);
  EXPECT_FALSE(IsWindow(control));
  EXPECT_TRUE(IsWindow(fresh->Handle()));
  EXPECT_EQ(GetDlgItem(window.Handle(), 2001), fresh->Handle());
}

// Whether any pixel of the control rectangle is at least as dark as `limit`
// in every channel.
bool HasPixelDarkerThan(ui::CSkinWindow& window, const RECT& r, int limit) {
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) {
      const COLORREF c = window.BackBuffer()->GetPixel(x, y);
      if (GetRValue(c) <= limit && GetGValue(c) <= limit && GetBValue(c) <= limit) return true;
    }
  return false;
}

TEST_F(EditBoxWindowTest, HiddenControlsAreDrawnByTheItem) {
  CSkinWindowItemEditBox* password = AddBox("PasswordEdit", 2004, kPassword);
  CSkinWindowItemEditBox* stars = AddBox("CodeEdit", 2005, kPlain);
  CSkinWindowItemEditBox* read_only = AddBox("ReadOnlyEdit", 2006, kReadOnly);
  CSkinWindowItemEditBox* shown = AddBox("NameEdit", 2001, kPlain);
  Create();
  password->SetText("secret");
  stars->SetText("******");
  read_only->SetText("読み取り専用");
  password->SetEnabled(false);
  stars->SetEnabled(false);
  EXPECT_FALSE(password->ControlShown());
  EXPECT_FALSE(read_only->ControlShown());
  EXPECT_TRUE(shown->ControlShown());

  // One '*' per character, the same pixels as six typed stars, in grey.
  const RECT a = password->ControlRect();
  const RECT b = stars->ControlRect();
  int differing = 0;
  for (int y = 0; y < a.bottom - a.top; ++y)
    for (int x = 0; x < a.right - a.left; ++x)
      if (Pixel(a.left + x, a.top + y) != Pixel(b.left + x, b.top + y)) ++differing;
  EXPECT_EQ(differing, 0);
  EXPECT_TRUE(HasPixelDarkerThan(window, a, 0xA0));
  EXPECT_FALSE(HasPixelDarkerThan(window, a, 0x60));
  // Read-only text is black.
  EXPECT_TRUE(HasPixelDarkerThan(window, read_only->ControlRect(), 0x30));

  // The frame: its edge while enabled, the disabled frame's edge otherwise.
  EXPECT_EQ(Pixel(shown->X() + 10, shown->Y() + 1), kEdge);
  EXPECT_EQ(Pixel(password->X() + 10, password->Y() + 1), kDisabledEdge);
  EXPECT_EQ(Pixel(read_only->X() + 10, read_only->Y() + 1), kEdge);
  EXPECT_EQ(Pixel(read_only->X() + 120, read_only->Y() + 2), kEdge);

  // Enabled again, the control is back and the item draws no text of its own.
  password->SetEnabled(true);
  EXPECT_TRUE(password->ControlShown());
  EXPECT_EQ(password->GetText(), "secret");
  EXPECT_FALSE(HasPixelDarkerThan(window, a, 0xA0));
  EXPECT_EQ(Pixel(a.left + 2, a.top + 2), kWhite);
}

TEST_F(EditBoxWindowTest, EveryKindWithJapaneseText) {
  int id = 2000;
  const auto next = [&](const char* name) {
    return ui::SkinItemDescriptor{name, static_cast<uint16_t>(id++)};
  };
  ui::CreateStaticItem(skin, next("Heading"), &window);
  struct Box {
    const char* section;
    unsigned flags;
    const wchar_t* text;
  };
  const Box kinds[] = {
      {"NameEdit", kPlain, L"山田太郎"},
      {"RichEdit", kRich, L"東京都千代田区"},
      {"WideEdit", kWide, L"C:\\ミュージック\\曲"},
      {"PasswordEdit", kPassword, L"himitsu"},
      {"CodeEdit", kAlnum, L""},
      {"ReadOnlyEdit", kReadOnly, L"読み取り専用の文字"},
      {"DisabledEdit", kPlain, L"無効な入力欄の文字"},
  };
  std::vector<CSkinWindowItemEditBox*> made;
  for (const Box& kind : kinds) {
    const ui::SkinItemDescriptor d = next(kind.section);
    auto* box =
        static_cast<CSkinWindowItemEditBox*>(window.CreateEditBox(d.id, skin.GetSection(d)));
    Configure(box, kind.flags);  // the window is not made yet
    box->SetTextW(kind.text);
    made.push_back(box);
  }
  for (const char* label : {"NameLabel", "RichLabel", "WideLabel", "PasswordLabel", "CodeLabel",
                            "ReadOnlyLabel", "DisabledLabel"})
    ui::CreateStaticItem(skin, next(label), &window);
  made.back()->SetEnabled(false);
  Create();
  Type(made[4], L"ab12cd");
  EXPECT_EQ(made[4]->GetText(), "AB12CD");
  SendMessageW(made[0]->Handle(), EM_SETSEL, 100, 100);  // the caret after the text
  Type(made[0], L"（入力）");
  EXPECT_EQ(made[0]->GetTextW(), L"山田太郎（入力）");
  EXPECT_TRUE(boxes.Boxes().empty());
  window.UpdateWindow();
  for (CSkinWindowItemEditBox* box : made)
    if (box->ControlShown()) UpdateWindow(box->Handle());
  Pump();
  std::string error;
  EXPECT_TRUE(ovtest::SaveXvfbScreenshot("edit_boxes", &error)) << error;
}

TEST(EditBoxSectionTest, KeysAndTheControlRectangle) {
  ovtest::CMessageBoxCapture boxes;
  ui::SkinSection section("Edit");
  section.Set("Position", {"10", "20"});
  section.Set("Size", {"100", "30"});
  section.Set("Font", {"MS UI Gothic", "12", "400"});
  ui::EditBoxLook look = ui::ReadEditBoxLook(section);
  EXPECT_EQ(look.limit, 0);
  EXPECT_TRUE(look.frame.empty());
  EXPECT_TRUE(look.disabled_frame.empty());
  EXPECT_EQ(look.rect.right, 110);
  EXPECT_EQ(look.rect.bottom, 50);

  section.Set("Limit", {"12"});
  section.Set("Frame", {"F.png", "0", "3", "17", "20", "0", "2", "16", "20"});
  look = ui::ReadEditBoxLook(section);
  EXPECT_EQ(look.limit, 12);
  EXPECT_EQ(look.frame, "F.png");
  EXPECT_EQ(look.frame_grid.x[1], 3);
  EXPECT_EQ(look.frame_grid.y[2], 16);

  struct Case {
    const char* name;
    RECT item;
    bool framed;
    RECT control;
  };
  // Frame edges: left 3, right 3, top 2 (+1), bottom 4.
  const Case cases[] = {
      {"no frame", {10, 20, 110, 50}, false, {10, 20, 110, 50}},
      {"inset", {10, 20, 110, 50}, true, {13, 23, 107, 46}},
      {"narrower than the frame", {10, 20, 14, 24}, true, {13, 23, 13, 23}},
  };
  for (const Case& c : cases) {
    const RECT r = ui::EditControlRect(c.item, c.framed ? &look.frame_grid : nullptr);
    EXPECT_TRUE(EqualRect(&r, &c.control))
        << c.name << ": " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
  }

  // A frame short of its numbers is refused with the skin's box.
  section.Set("DisableFrame", {"F.png", "0", "3", "17"});
  EXPECT_THROW(ui::ReadEditBoxLook(section), ui::CSkinWindowException);
  EXPECT_EQ(boxes.Boxes().size(), 1u);
}

TEST(EditBoxSectionTest, PasswordMaskCountsCharacters) {
  struct Case {
    std::wstring text;
    size_t stars;
  };
  const Case cases[] = {{L"", 0},
                        {L"abc", 3},
                        {L"日本", 2},
                        {L"a\xD83D\xDE00"
                         L"b",
                         3}};
  for (const Case& c : cases) EXPECT_EQ(ui::PasswordMask(c.text), std::wstring(c.stars, L'*'));
}

}  // namespace
