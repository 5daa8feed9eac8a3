// The version window run modally over a recording parent: what it shows,
// read from its item and its pixels, and each way of ending it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <ostream>

#include "MainWindowTestSupport.h"
#include "ScreenLock.h"
#include "TestSupport.h"
#include "Version.h"
#include "VersionWindow.h"

namespace {

using maintest::CRecordingParent;
using ui::CVersionWindow;

// "Ver." and the product version of the running program file, read here
// without the foundation's formatter.
std::string ExpectedVersionText() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &handle);
  std::string block(size, '\0');
  if (size == 0 || !GetFileVersionInfoA(path, 0, size, &block[0])) return std::string();
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), "\\StringFileInfo\\041104b0\\ProductVersion", &value,
                      &length)) {
    return std::string();
  }
  std::string version(static_cast<const char*>(value));
  for (char& c : version) c = c == ',' ? '.' : c;
  version.erase(version.rfind('.'));  // three fields are shown
  return "Ver." + version;
}

struct EndCase {
  const char* name;
  UINT message;
  WPARAM wparam;
  bool click_close;
};
void PrintTo(const EndCase& c, std::ostream* os) { *os << c.name; }

// The running modal loop's window and what the case found in it.
struct ModalVisit {
  CVersionWindow* window = nullptr;
  const EndCase* end = nullptr;
  bool visited = false;
  bool visible = false;
  std::string text;
  COLORREF title_band = 0;
};
ModalVisit g_visit;

void EndModal() {
  ModalVisit& v = g_visit;
  if (v.end->click_close) {
    v.window->ClickItem(CVersionWindow::kCloseButton.id);
  } else {
    PostMessageA(v.window->Handle(), v.end->message, v.end->wparam, MAKELPARAM(10, 10));
  }
}

void CALLBACK VisitModal(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  ModalVisit& v = g_visit;
  v.visited = true;
  v.visible = IsWindowVisible(v.window->Handle()) != FALSE;
  v.text = v.window->VersionText();
  v.title_band = v.window->BackBuffer()->GetPixel(150, 3);
  EndModal();
}

class VersionWindowTest : public ::testing::TestWithParam<EndCase> {
 protected:
  ovtest::CScreenLock _screen;
};

TEST_P(VersionWindowTest, ShowsTheProgramsVersionUntilItIsEnded) {
  CRecordingParent parent(200, 200, 480, 300);
  CVersionWindow window;
  g_visit = ModalVisit();
  g_visit.window = &window;
  g_visit.end = &GetParam();
  // The visit runs inside the modal loop, once the window is up.
  ASSERT_NE(0u, SetTimer(nullptr, 0, 200, &VisitModal));
  window.DoModal(parent.Get());
  EXPECT_TRUE(g_visit.visited);
  EXPECT_TRUE(g_visit.visible);
  EXPECT_EQ(ExpectedVersionText(), g_visit.text);
  EXPECT_EQ(0u, g_visit.text.find("Ver.1."));
  EXPECT_EQ(RGB(45, 65, 100), g_visit.title_band);  // the skin's title band
  EXPECT_EQ(nullptr, window.Handle());
  EXPECT_TRUE(IsWindowEnabled(parent.Get()));
}

INSTANTIATE_TEST_SUITE_P(Ends, VersionWindowTest,
                         ::testing::Values(EndCase{"Escape", WM_KEYDOWN, VK_ESCAPE, false},
                                           EndCase{"Enter", WM_KEYDOWN, VK_RETURN, false},
                                           EndCase{"LeftButtonRelease", WM_LBUTTONUP, 0, false},
                                           EndCase{"CloseButton", 0, 0, true}),
                         ovtest::CaseName());

TEST(VersionWindowShowTest, ShowsTheVersionOverItsOwner) {
  ovtest::CScreenLock screen;
  CRecordingParent parent(200, 200, 480, 300);
  CVersionWindow window;
  window.Create(parent.Get());
  RECT r;
  GetWindowRect(window.Handle(), &r);
  const RECT owner = parent.Rect();
  EXPECT_LE(std::abs((owner.left + owner.right) - (r.left + r.right)), 1);  // centred
  EXPECT_EQ(293, r.right - r.left);
  EXPECT_EQ(150, r.bottom - r.top);
  // Painted: the screen holds the title band where the window is.
  ASSERT_TRUE(maintest::PumpUntil(
      [&] {
        HDC dc = GetDC(nullptr);
        const COLORREF pixel = GetPixel(dc, r.left + 150, r.top + 3);
        ReleaseDC(nullptr, dc);
        return pixel == RGB(45, 65, 100);
      },
      10000));
  // Wine stacks the owner's X window over an owned window that lies on it,
  // which leaves the owned window black in a picture of the display: the
  // owner steps aside for the picture.
  ShowWindow(parent.Get(), SW_HIDE);
  maintest::Pump();
  maintest::Screenshot("version_window");
  ShowWindow(parent.Get(), SW_SHOWNA);
  SendMessageA(window.Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
  ASSERT_TRUE(maintest::PumpUntil([&] { return window.Handle() == nullptr; }, 10000));
  const auto keys = parent.Of(WM_KEYDOWN);
  ASSERT_EQ(1u, keys.size());
  EXPECT_EQ(static_cast<WPARAM>(VK_ESCAPE), keys[0].wparam);
}

}  // namespace
