// Every box goes through the replaceable handlers; the error box shows the
// platform's box placed over its owner, answered here from a timer.
#include <gtest/gtest.h>

#include <string>

#include "FrameworkEnvironment.h"
#include "MessageBox.h"
#include "MessageBoxCapture.h"
#include "Placement.h"
#include "TestSupport.h"
#include "Window.h"

namespace {

const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new wfctest::CFrameworkEnvironment);

TEST(MessageBoxTest, NarrowAndWideBoxesReachTheHandlerWithTheAppNameOrTheirCaption) {
  ovtest::CMessageBoxCapture capture({IDYES, IDNO});
  lib::wfc::CWindow owner;
  owner.Create(0, nullptr, "owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100);
  EXPECT_EQ(owner.MessageBox("保存しますか？", MB_YESNO | MB_ICONQUESTION), IDYES);
  EXPECT_EQ(lib::wfc::MessageBoxW(nullptr, L"曲を削除しました。", MB_OK), IDNO);
  EXPECT_EQ(lib::wfc::MessageBox(nullptr, "script ran out", MB_OK), IDOK);
  EXPECT_EQ(lib::wfc::MessageBox(owner.Handle(), "読み込めません", "Skin Load", MB_ICONERROR),
            IDOK);
  const auto boxes = capture.Boxes();
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_EQ(boxes[0].owner, owner.Handle());
  EXPECT_EQ(boxes[0].text, L"保存しますか？");
  EXPECT_EQ(boxes[0].caption, L"OvWfcTest");
  EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
  EXPECT_FALSE(boxes[0].wide);
  EXPECT_EQ(boxes[1].text, L"曲を削除しました。");
  EXPECT_EQ(boxes[1].caption, L"OvWfcTest");
  EXPECT_TRUE(boxes[1].wide);
  EXPECT_EQ(boxes[2].caption, L"OvWfcTest");
  EXPECT_EQ(boxes[3].owner, owner.Handle());
  EXPECT_EQ(boxes[3].text, L"読み込めません");
  EXPECT_EQ(boxes[3].caption, L"Skin Load");
  EXPECT_EQ(boxes[3].style, static_cast<UINT>(MB_ICONERROR));
  EXPECT_FALSE(boxes[3].wide);
  owner.DestroyWindow();
}

TEST(MessageBoxTest, EmptyErrorTextLogsAndAnswersOkWithoutABox) {
  ovtest::CLogCapture log;
  EXPECT_EQ(lib::wfc::ShowErrorMessageBox(nullptr, "", "caption", MB_OK), IDOK);
  EXPECT_EQ(lib::wfc::ShowErrorMessageBox(nullptr, nullptr, "caption", MB_OK), IDOK);
  EXPECT_EQ(log.Errors().size(), 2u);
  EXPECT_TRUE(log.Contains("メッセージボックス表示時の本文無し"));
  EXPECT_FALSE(lib::wfc::IsWindowCreationHookArmed());
}

// Answers the first dialog of this thread from a timer that runs inside the
// box's own loop, noting where the box stood.
struct BoxAnswerer {
  static RECT box_rect;
  static HWND box;
  static BOOL CALLBACK FindDialog(HWND hwnd, LPARAM) {
    char cls[16] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (std::string(cls) != "#32770" || !IsWindowVisible(hwnd)) return TRUE;
    box = hwnd;
    return FALSE;
  }
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &FindDialog, 0);
    if (!box) return;
    GetWindowRect(box, &box_rect);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  }
};
RECT BoxAnswerer::box_rect;
HWND BoxAnswerer::box;

class ErrorBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    _owner.Create(0, nullptr, "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 150, 120, 640, 420);
    _timer = SetTimer(nullptr, 0, 50, &BoxAnswerer::OnTimer);
    ASSERT_NE(_timer, 0u);
  }
  void TearDown() override {
    KillTimer(nullptr, _timer);
    _owner.DestroyWindow();
  }
  lib::wfc::CWindow _owner;
  UINT_PTR _timer = 0;
};

TEST_F(ErrorBoxTest, RealBoxIsPlacedOverItsOwnerAndLeavesNoHook) {
  BoxAnswerer::box_rect = {};
  EXPECT_EQ(lib::wfc::ShowErrorMessageBox(_owner.Handle(), "カードを確認してください。",
                                          "Ostrovelle", MB_OK | MB_ICONWARNING),
            IDOK);
  EXPECT_FALSE(lib::wfc::IsWindowCreationHookArmed());
  const RECT& box = BoxAnswerer::box_rect;
  ASSERT_GT(box.right - box.left, 0);
  RECT owner_rect, desktop;
  _owner.GetWindowRect(&owner_rect);
  GetWindowRect(GetDesktopWindow(), &desktop);
  const auto expected = lib::wfc::DialogPlacement(
      owner_rect, SIZE{box.right - box.left, box.bottom - box.top}, desktop);
  ASSERT_TRUE(expected.has_value());
  EXPECT_EQ(box.left, expected->x);
  EXPECT_EQ(box.top, expected->y);

  // The next window of this thread is left alone.
  lib::wfc::CWindow later;
  later.Create(0, nullptr, "later", WS_OVERLAPPEDWINDOW, 10, 10, 100, 100);
  EXPECT_EQ(GetWindowLongPtrA(later.Handle(), GWLP_WNDPROC),
            reinterpret_cast<LONG_PTR>(&lib::wfc::CWindow::FrameworkProc));
  later.DestroyWindow();
}

TEST_F(ErrorBoxTest, FailedBoxLeavesNoHook) {
  // An owner that is no window makes the box fail before it creates one.
  const HWND no_window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x7FFF1234));
  ASSERT_FALSE(IsWindow(no_window));
  const int result = lib::wfc::ShowErrorMessageBox(no_window, "text", "caption", MB_OK);
  EXPECT_LE(result, 0);  // 0 on Windows; Wine gives its dialog failure, -1
  EXPECT_FALSE(lib::wfc::IsWindowCreationHookArmed());
  lib::wfc::CWindow later;
  later.Create(0, nullptr, "later", WS_OVERLAPPEDWINDOW, 10, 10, 100, 100);
  EXPECT_EQ(GetWindowLongPtrA(later.Handle(), GWLP_WNDPROC),
            reinterpret_cast<LONG_PTR>(&lib::wfc::CWindow::FrameworkProc));
  later.DestroyWindow();
}

}  // namespace
